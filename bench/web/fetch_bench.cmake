# HttpFetch against bare libcurl on a new thread: a small GET and a 64 MB
# body on 127.0.0.1, with the peak memory of the large one.
find_package(CURL REQUIRED)
if(TARGET pellora_test_support AND CMAKE_SYSTEM_NAME STREQUAL "Linux")  # reads /proc
  pellora_add_bench(bench_http_fetch
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/fetch_bench.cpp
    LIBS pellora::web pellora::test_support CURL::libcurl)
  target_include_directories(bench_http_fetch PRIVATE ${PROJECT_SOURCE_DIR}/tests)
endif()
