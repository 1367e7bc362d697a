// Helpers of the fuzz targets that run a fixed set of blocks: the handlers of every block in
// turn, and the check that no analog output carries NaN, an infinity or more than the
// device's value range (a breach stops the run at once).
#pragma once

#include <cmath>
#include <cstdint>
#include <span>

#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

struct PlacedBlock {
  uint16_t type, block;
};

// Runs the init (or run) handler of every block, as the current block.
inline void FUZZ_RunPlaced(std::span<const PlacedBlock> blocks, bool init) {
  for (const PlacedBlock& p : blocks) {
    g_fbStore.currentBlock = p.block;
    const FbTypeRecord* rec = FB_GetType(p.type);
    (init ? rec->init : rec->run)();
  }
}

inline void FUZZ_CheckPlacedOutputs(std::span<const PlacedBlock> blocks) {
  for (const PlacedBlock& p : blocks) {
    FbLayout L;
    if (!FB_GetLayout(p.block, &L)) __builtin_trap();
    for (uint16_t i = 0; i < L.analogOutputs; ++i) {
      const float y = L.ao[i];
      if (!std::isfinite(y) || std::fabs(y) > FW_VALUE_MAX) __builtin_trap();
    }
  }
}
