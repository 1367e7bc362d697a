// Fixture of the I/O card block tests: the block fixture with every library type, the four
// board records set up (base card, digital I/O card in slot B, module rack in slot C, the
// output card with the analog-card bit), blocks built at their fixed numbers as an engineering
// places them (time group 0), and channel readings written as the hardware side writes them.
#pragma once

#include <bit>

#include "blocks/register_all.h"
#include "runtime/fb_param.h"
#include "runtime/fw_io.h"
#include "runtime/fw_mode.h"
#include "support/block_fixture.h"

class IoFixture : public BlockFixture {
 public:
  IoFixture() : BlockFixture(BLK_RegisterAllTypes) {
    const uint16_t types[FW_IO_BOARDS] = {FW_BOARD_BASE, FW_BOARD_DIGITAL_CARD,
                                          FW_BOARD_MODULE_RACK, FW_BOARD_OUTPUT_ANALOG};
    FW_IoResetBoards(types);
    FW_IoBindIndicator(nullptr);
    g_fwRunMode = FW_RUN_MODE_STOP;
  }
  ~IoFixture() {
    FW_IoBindIndicator(nullptr);
    g_fwRunMode = FW_RUN_MODE_STOP;
  }

  // The channel record of a fixed block number (it must have one).
  static FwIoChannel& channel(uint16_t block) { return *FW_IoChannelForBlock(block); }

  // Builds a fixed block (time group 0).
  void createAt(uint16_t type, uint16_t block) { create(type, block, 0); }

  // Word value or 4-byte value k (0-based), current and pending copy alike.
  void setWord(uint16_t block, uint16_t k, uint16_t v) {
    wordValue(block, k + 1) = v;
    wordValue(block, k + 1, true) = v;
  }
  void setLong(uint16_t block, uint16_t k, float v) {
    FbLayout L = layout(block);
    L.lv[k] = std::bit_cast<uint32_t>(v);
    L.lv[k + L.longValues] = std::bit_cast<uint32_t>(v);
  }
  float longValue(uint16_t block, uint16_t k, bool pending = false) {
    FbLayout L = layout(block);
    return std::bit_cast<float>(L.lv[k + (pending ? L.longValues : 0)].get());
  }

  // Init, then the hardware reports the class the block expects (its low byte).
  void initFitted(uint16_t block) {
    init(block);
    FwIoChannel& ch = channel(block);
    ch.reportedClass = static_cast<uint8_t>(ch.expectedClass & 0xFF);
  }

  // A new reading of a sub-channel.
  static void reading(uint16_t block, float raw, bool electrical = false, unsigned sub = 0) {
    FwIoSubChannel& s = channel(block).sub[sub];
    s.raw = raw;
    s.electrical = electrical ? 1 : 0;
    s.newValue = 1;
  }
};

// A parameter request handed to the handler of the block's type; the bad index comes back
// through `bad`.
inline uint8_t ioParam(FbParamRequest r, uint16_t* bad = nullptr) {
  uint16_t b = 0;
  const uint16_t* inst = FB_GetInstance(r.block());
  const uint8_t result = FB_GetType(inst[FB_HDR_TYPE])->param(&r, &b);
  if (bad) *bad = b;
  return result;
}

// Saves that answer "queued" (0) or "ring full" (1) while it lives.
struct SaveHook {
  explicit SaveHook(uint8_t result) : previous(FB_SetSaveHook(hook)), previousResult(answer()) {
    answer() = result;
  }
  ~SaveHook() {
    FB_SetSaveHook(previous);
    answer() = previousResult;
  }
  SaveHook(const SaveHook&) = delete;
  SaveHook& operator=(const SaveHook&) = delete;
  static uint8_t& answer() {
    static uint8_t result = 0;
    return result;
  }
  static uint8_t hook(FbSaveGroup, uint16_t, uint16_t, uint16_t) { return answer(); }
  FbSaveHook previous;
  uint8_t previousResult;
};
