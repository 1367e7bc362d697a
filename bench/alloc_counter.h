// The allocations of a benchmark's process, so that a benchmark can tell that its loop made
// none: linking the counter replaces the global operator new.
#pragma once

#include <cstdint>

// The number of allocations so far.
uint64_t BenchAllocations();
