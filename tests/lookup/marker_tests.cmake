# Tests of the marker cutters and the escape decoder, on literal texts.
# Works when included from tests/ or from tests/lookup/; defines its target once.
if(TARGET marker_test OR NOT TARGET pellora_markers)
  return()
endif()
find_package(ICU REQUIRED COMPONENTS uc)
pellora_add_test(marker_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_between_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/unescape_test.cpp
  LIBS pellora::markers pellora::values ICU::uc)
