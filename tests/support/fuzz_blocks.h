// Steps the block fuzz targets share: a fixed set of placed blocks, wired, started and run
// through their type rows, and the check that no analog output holds NaN, an infinity or a
// value beyond the device's range. No test framework: a failed check traps.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>

#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

namespace fuzzblocks {

struct Placed {
  uint16_t type, block;
};

// Analog input `input` (1-based) of a block to output `output` of another, in the wiring
// record (FB_ResolveConnections makes the reference).
inline void Wire(uint16_t block, uint16_t input, uint16_t source, uint16_t output) {
  uint16_t* w = FB_GetWiring(block);
  w[FB_WIRE_ANALOG_COUNT + 1 + 2 * (input - 1)] = source;
  w[FB_WIRE_ANALOG_COUNT + 2 + 2 * (input - 1)] = output;
}

// Each block's Init (or Run) handler in turn, as the current block.
inline void RunAll(std::span<const Placed> blocks, bool init) {
  for (const Placed& p : blocks) {
    g_fbStore.currentBlock = p.block;
    const FbTypeRecord* rec = FB_GetType(p.type);
    (init ? rec->init : rec->run)();
  }
}

inline void CheckOutputs(std::span<const Placed> blocks) {
  for (const Placed& p : blocks) {
    FbLayout L;
    if (!FB_GetLayout(p.block, &L)) __builtin_trap();
    for (uint16_t i = 0; i < L.analogOutputs; ++i) {
      const float y = L.ao[i];
      if (!std::isfinite(y) || std::fabs(y) > FW_VALUE_MAX) __builtin_trap();
    }
  }
}

}  // namespace fuzzblocks
