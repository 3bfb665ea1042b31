#pragma once

#include <cstddef>

// The wire tests replace the global allocation functions to observe the
// largest single allocation requested since the last reset.
void ResetLargestAllocation();
std::size_t LargestAllocation();
