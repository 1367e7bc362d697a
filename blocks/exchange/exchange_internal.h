// Own state records of the data-exchange types, shared by their handlers and their rows.
#pragma once

#include <cstdint>

#include "blocks/block_family.h"
#include "blocks/exchange/exchange.h"
#include "runtime/fb_store.h"

namespace exchange {

// Catalogue group of the family.
constexpr uint16_t kGroupExchange = 19;

// L1READ: d 1..d 6 as bits 0..5 of byte A, d 7..d 12 as bits 0..5 of byte B.
struct L1ReadState {
  uint8_t a;
  uint8_t b;
};

// L1WRIT: the data received by parameter writes, and the copies that feed the outputs one
// run after a change.
struct L1WritState {
  uint16_t mask;          // z 1..z 15 as bits 0..14
  FbF32 values[8];        // Y 1..Y 8
  uint16_t changed;       // set by a write that changed the data
  uint16_t digital[15];
  FbF32 analog[8];
};

// MBDATA: one link per entry, fixed at Init.
struct MbdataState {
  BlkParamLink entry[MBDATA_ENTRIES];
};

void registerLevel1Types();
void registerFieldbusTypes();
void registerMbdataType();

}  // namespace exchange
