// Fuzz target of the visualisation blocks: with any configuration words in their instances,
// any bytes the pages write into their page records, any wiring of the cascade, text-chain,
// ALLP and trend inputs (loops included) and any parameter requests, the blocks read and
// write nothing outside the heap, no walk hangs, the trend's ring index and count stay in the
// ring, every setting the blocks take stays inside its limits, and no NaN or infinity reaches
// an analog output.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "blocks/limit/limit.h"
#include "blocks/register_all.h"
#include "blocks/trig/trig.h"
#include "blocks/visual/visual.h"
#include "blocks/visual/visual_internal.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_mode.h"
#include "support/fuzz_blocks.h"
#include "support/param_target.h"

namespace {

using fuzzblocks::Placed;
constexpr uint16_t kAllp = 106, kText1 = 107, kText2 = 108, kTarget = 109;
constexpr Placed kBlocks[] = {
    {BLK_TYPE_VIDLE, VIDLE_BLOCK}, {BLK_TYPE_VWERT, 100},   {BLK_TYPE_VWERT, 101},
    {BLK_TYPE_VBAR, 102},          {BLK_TYPE_VPARA, 103},   {BLK_TYPE_VTREND, 104},
    {BLK_TYPE_VTREND, 105},        {BLK_TYPE_ALLP, kAllp},  {BLK_TYPE_TEXT, kText1},
    {BLK_TYPE_TEXT, kText2},
};
constexpr uint16_t kVisual[] = {100, 101, 102, 103, 104, 105};
constexpr uint16_t kParamBlocks[] = {VIDLE_BLOCK, 100, 101, 102, 103, 104, 105};

// What an input may be wired to.
struct Source {
  uint16_t block, output;
};
constexpr Source kSources[] = {{0, 0},      {kAllp, 1},  {kText1, 1}, {kText2, 1},
                               {100, 7},    {101, 7},    {100, 8},    {104, 1},
                               {105, 1},    {105, 2},    {102, 1},    {103, 1}};

void wire(uint16_t block, uint16_t input, uint8_t pick) {
  const Source& s = kSources[pick % std::size(kSources)];
  fuzzblocks::Wire(block, input, s.block, s.output);
}

uint16_t u16(const uint8_t* b) { return static_cast<uint16_t>(b[0] | b[1] << 8); }

void runAll(bool init) {
  fuzzblocks::RunAll(kBlocks, init);
  FW_RunDeferredCalls();
}

// The settings of VWERT and VBAR, and VIDLE's words, within their limits.
void checkSettings() {
  for (uint16_t b : {uint16_t{100}, uint16_t{101}, uint16_t{102}, VIDLE_BLOCK}) {
    FbLayout L;
    if (!FB_GetLayout(b, &L)) __builtin_trap();
    for (uint16_t k = 0; k < L.floatParams; ++k) {
      for (uint16_t copy : {uint16_t{0}, L.floatParams}) {
        const float v = L.fp[copy + k];
        if (!(v >= VIS_VALUE_MIN && v <= VIS_VALUE_MAX)) __builtin_trap();
      }
    }
    const FbLimitTable* limits = FB_GetType(L.type)->limits;
    for (uint16_t k = 0; k < L.wordParams; ++k) {
      for (uint16_t copy : {uint16_t{0}, L.wordParams}) {
        if (!FW_CheckShortLimit(static_cast<int16_t>(L.wp[copy + k]), &limits->wordParams[k], b)) {
          __builtin_trap();
        }
      }
    }
  }
  for (uint16_t b : {uint16_t{104}, uint16_t{105}}) {
    FbLayout L;
    if (!FB_GetLayout(b, &L)) __builtin_trap();
    const vis::VtrendState& s = BLK_WorkState<vis::VtrendState>(L);
    if (s.writeIndex >= VTREND_RING || s.count > VTREND_RING) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready =
      (FB_ClearTypeTable(), BLK_RegisterAllTypes(), param_target::Register(), true);
  (void)ready;
  constexpr size_t kHeader = 24;
  if (size < kHeader) return 0;
  FB_ClearStore();
  FW_ClearDeferredCalls();
  g_fwRunMode = data[0] & 1 ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
  g_fwEng.warmStart = (data[0] >> 1) & 1;
  for (const Placed& p : kBlocks) {
    if (FB_CreateInstance(p.type, p.block) != FB_OK) __builtin_trap();
  }
  // The parameters VPARA writes (the type runs nothing).
  if (FB_CreateInstance(param_target::kType, kTarget) != FB_OK) __builtin_trap();
  // Rows, cascades, text chains and trend inputs wired to any of the sources.
  size_t w = 1;
  for (uint16_t i = 1; i <= 7; ++i) wire(100, i, data[w++]);
  wire(101, 7, data[w++]);
  wire(101, 1, data[w++]);
  wire(102, 1, data[w++]);
  wire(102, 2, data[w++]);
  wire(102, 5, data[w++]);
  for (uint16_t i = 1; i <= 3; ++i) wire(103, i, data[w++]);
  wire(104, 1, data[w++]);
  wire(105, 1, data[w++]);
  wire(kText1, TEXT_IN_CASC, data[w++]);
  wire(kText2, TEXT_IN_CASC, data[w++]);
  wire(kAllp, 1, data[w++]);
  if (FB_ResolveConnections() != 0) __builtin_trap();

  // Steps of 12 bytes: a configuration word, page-record bytes, an input's value or a
  // parameter request; then a run (and now and then a start-up pass).
  size_t at = kHeader;
  bool started = false;
  while (at + 12 <= size) {
    const uint8_t* s = data + at;
    at += 12;
    switch (s[0] % 5) {
      case 0: {   // a word value or 4-byte value, current and pending, unchecked
        FbLayout L;
        if (!FB_GetLayout(kVisual[s[1] % std::size(kVisual)], &L)) break;
        if (s[2] & 1 && L.longValues) {
          const uint16_t k = s[3] % L.longValues;
          uint32_t v;
          std::memcpy(&v, s + 4, 4);
          L.lv[k] = v;
          L.lv[L.longValues + k] = v;
        } else if (L.wordValues) {
          const uint16_t k = s[3] % L.wordValues;
          L.wv[k] = L.wv[L.wordValues + k] = u16(s + 4);
        }
        break;
      }
      case 1: {   // bytes anywhere in a page record, as a page might write them
        FbLayout L;
        if (!FB_GetLayout(kVisual[s[1] % std::size(kVisual)], &L) || !L.workWords) break;
        auto* record = reinterpret_cast<uint8_t*>(L.work);
        uint32_t bytes = 2u * L.workWords;
        if (L.type == BLK_TYPE_VTREND) {
          record += offsetof(vis::VtrendState, page);
          bytes = sizeof(VtrendPage);
        }
        const uint32_t pos = u16(s + 2) % (bytes - 4);
        std::memcpy(record + pos, s + 4, 4);
        break;
      }
      case 2: {   // the value of a source output
        FbF32* out = nullptr;
        const uint16_t block = s[1] & 1 ? kAllp : kTarget;
        if (FB_GetAnalogOutputPtr(block, 1, &out)) {
          float v;
          std::memcpy(&v, s + 2, 4);
          *out = v;
        }
        FbF32* param = nullptr;
        if (FB_GetFloatParamPtr(kAllp, 1 + s[6] % 4, &param)) {
          float v;
          std::memcpy(&v, s + 7, 4);
          *param = v;
        }
        break;
      }
      default: {  // a request from a PC tool or the page
        const uint16_t block = kParamBlocks[s[1] % std::size(kParamBlocks)];
        FbParamRequest r(block, static_cast<int16_t>(u16(s + 2)));
        for (int i = 0; i < 4; ++i) r.setU8(FB_REQUEST_VALUE + i, s[4 + i]);
        r.setU8(FB_REQUEST_COUNT1, s[8]);
        r.setU8(FB_REQUEST_COUNT2, s[9]);
        uint16_t bad = 0;
        g_fbReadLength = 0;
        const FbTypeRecord* rec = FB_GetType(FB_GetInstance(block)[FB_HDR_TYPE]);
        rec->param(&r, &bad);
        if (r.block() != block || g_fbReadLength > FB_REQUEST_BYTES) __builtin_trap();
        break;
      }
    }
    if (!started || s[11] == 0xA5) runAll(true);
    started = true;
    runAll(false);
    fuzzblocks::CheckOutputs(kBlocks);
    checkSettings();
  }
  FW_ClearDeferredCalls();
  g_fwRunMode = FW_RUN_MODE_STOP;
  g_fwEng.warmStart = 0;
  return 0;
}
