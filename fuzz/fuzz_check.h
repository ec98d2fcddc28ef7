// The check every fuzz target body uses for its promises.
#pragma once

#include <cstdio>
#include <cstdlib>

// A broken promise is a finding like a crash: say which one and stop where the fuzzer sees it.
#define FUZZ_CHECK(cond)                                                            \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)
