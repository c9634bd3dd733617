// The check every fuzz target uses: on failure it prints the message and
// aborts, so libFuzzer saves the input as a crash artifact.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, message)                                        \
  do {                                                                        \
    if (!(condition)) {                                                       \
      std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", (message),      \
                   __FILE__, __LINE__);                                       \
      std::abort();                                                           \
    }                                                                         \
  } while (0)
