# The web fetch: request texts (no network), exact request heads against a
# raw socket peer, and fetch behaviours against real servers on 127.0.0.1.
# Every fetch runs a worker thread, hence the label on the network tests.
pellora_add_test(request_text_test
  SOURCES request_text_test.cpp
  LIBS pellora::web)

# The tests below use the POSIX-only test support (sockets, posix_spawn) and,
# for the exit probe, POSIX sockets and wait statuses of their own.
if(NOT UNIX OR NOT TARGET pellora_test_support)
  return()
endif()

pellora_add_test(fetch_request_head_test
  SOURCES fetch_request_head_test.cpp
  LIBS pellora::web pellora::test_support
  LABELS concurrent)

pellora_add_test(http_fetch_test
  SOURCES http_fetch_test.cpp
  LIBS pellora::web pellora::test_support
  LABELS concurrent)

# A program that exits with fetch workers still running; http_fetch_test runs
# it. It links nothing but the fetch, so only the fetch's own set-up decides
# how the exit goes.
add_executable(fetch_exit_probe fetch_exit_probe.cpp)
target_link_libraries(fetch_exit_probe PRIVATE pellora::web)
add_dependencies(http_fetch_test fetch_exit_probe)
target_compile_definitions(http_fetch_test PRIVATE
  PELLORA_FETCH_EXIT_PROBE="$<TARGET_FILE:fetch_exit_probe>")
