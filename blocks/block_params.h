// Parameter handling shared by the block families.
#pragma once

#include <cstdint>

#include "runtime/fb_param.h"

// Parameter handler of the types without parameters: every request gives 'i' with the bad
// index 0.
inline uint8_t BLK_RefuseParams(FbParamRequest*, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  return FB_ERR_UNKNOWN_ID;
}
