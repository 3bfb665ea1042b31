#pragma once

#include <cstdio>
#include <cstdlib>

// An invariant of the code under test. A broken one is a finding: it is
// printed and the process aborts, so that the fuzzer keeps the input and a
// replay fails loudly.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
