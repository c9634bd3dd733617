# Tests of one whole account lookup: reply parsing on literal replies, and
# whole lookups over HTTP against a server on 127.0.0.1. Works when included
# from tests/ or from tests/lookup/; defines its target once.
if(TARGET run_lookup_test OR NOT TARGET pellora_lookup)
  return()
endif()
pellora_add_test(run_lookup_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/run_lookup_test.cpp
  LIBS pellora::lookup pellora::values ${PELLORA_HTTPLIB} Threads::Threads
  LABELS concurrent)
