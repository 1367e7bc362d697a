// Interim stand-in for the runtime's warm-start flag, which is being added to the runtime in
// parallel; removed once the runtime provides it.
#pragma once

#include <cstdint>

// 1 when the last stop asked the blocks to keep their outputs at the next start-up pass.
inline uint16_t g_fwWarmStart = 0;
