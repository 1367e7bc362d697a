// Interim stand-ins for runtime services that are being added to the runtime in parallel
// (cycle time of a block, warm-start flag, taking over pending floats). Removed once the
// runtime provides them.
#pragma once

#include <cstdint>

#include "runtime/fb_store.h"

inline uint16_t g_fwWarmStart = 0;

inline float FB_GroupCycleTime(uint32_t group) {
  constexpr float kTimes[16] = {0.1f, 0.1f, 0.2f, 0.2f, 0.4f, 0.4f, 0.4f, 0.4f,
                                0.8f, 0.8f, 0.8f, 0.8f, 0.8f, 0.8f, 0.8f, 0.8f};
  return kTimes[group <= 15 ? group : 0];
}

inline float FB_BlockCycleTime(uint32_t block) {
  const uint16_t* w = FB_GetWiring(block);
  return FB_GroupCycleTime(w ? w[FB_WIRE_GROUP] : 0);
}

inline uint8_t FB_ApplyPendingFloats(uint16_t) { return 0; }
