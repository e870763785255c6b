#pragma once
#include <cstdio>
#include <cstdlib>

// An invariant of the fuzzed code: when it does not hold, libFuzzer keeps
// the input as a crash.
#define FUZZ_REQUIRE(condition)                                                                       \
    do {                                                                                              \
        if (!(condition)) {                                                                           \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                             \
        }                                                                                             \
    } while (0)
