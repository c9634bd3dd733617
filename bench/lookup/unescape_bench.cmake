# Throughput of the escape decoder. Works when included from bench/ or from
# bench/lookup/; defines its target once.
if(TARGET bench_unescape OR NOT TARGET pellora_markers)
  return()
endif()
pellora_add_bench(bench_unescape
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/unescape_bench.cpp
  LIBS pellora::markers)
