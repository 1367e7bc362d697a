// Parameter requests with arbitrary bytes, run modes and save results, through the
// standard handler, its cross-limit variant and INTE's handler (whose limits read pending
// values): every answer is one of the result codes, a refused request changes nothing, and
// no request touches another block. The curve types' handlers (points bounded by their
// pending neighbours, CHAR's "Seg" moving the pending points) also keep the points in use
// strictly rising.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <vector>

#include "blocks/arith/arith.h"
#include "blocks/curve/curve.h"
#include "blocks/timefn/timefn.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_mode.h"

namespace {

constexpr uint16_t kType = 210;
constexpr float kFloats[] = {1.0f, 2.0f, 3.0f};
constexpr uint16_t kWords[] = {4, 5};
constexpr uint32_t kLongs[] = {0x3F800000u};
constexpr uint16_t kValues[] = {0, 1};
constexpr const char* kTexts[] = {"PFUZZ"};
constexpr FbTemplate kTemplate{.size = 49,
                               .type = kType,
                               .floatParams = kFloats,
                               .wordParams = kWords,
                               .longValues = kLongs,
                               .wordValues = kValues,
                               .texts = kTexts};
float fifty(uint16_t) { return 50.0f; }
int16_t four(uint16_t, int16_t) { return 4; }
int16_t partner(uint16_t, int16_t e) { return static_cast<int16_t>(e - 2); }
constexpr FwShortLimit kWordLimits[] = {{.min = 0, .max = 10},
                                        {.min = FW_LIMIT_DISCRETE, .minFn = partner, .maxFn = four}};
constexpr FwFloatLimit kFloatLimits[] = {{.min = -10.0f, .max = 10.0f},
                                         {.min = -32000.0f, .max = 500.0f},
                                         {.min = 0.0f, .max = -31001.0f, .maxFn = fifty}};
constexpr FwShortLimit kValueLimits[] = {{.min = -32000, .max = 6}};  // shorter than the group
constexpr FwFloatLimit kLongLimits[] = {{.min = 0.1f, .max = 999999.0f}};
constexpr FbLimitTable kLimits{.wordParams = kWordLimits,
                               .floatParams = kFloatLimits,
                               .wordValues = kValueLimits,
                               .longValues = kLongLimits};
void noop() {}

uint8_t fullRing(FbSaveGroup, uint16_t, uint16_t, uint16_t) { return 1; }
uint8_t saved(FbSaveGroup, uint16_t, uint16_t, uint16_t) { return 0; }

std::vector<uint16_t> words(uint16_t block) {
  const uint16_t* p = FB_GetInstance(block);
  return {p, p + p[FB_HDR_SIZE]};
}

// True when the pending x of the points in use rise strictly: LINEAR's up to its first
// unused point, CHAR's points 1 .. Seg + 1.
bool pendingPointsRise(uint16_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L)) return false;
  const bool isChar = L.type == BLK_TYPE_CHAR;
  auto x = [&](unsigned k) {
    float f;
    if (isChar) {
      const uint32_t bits = L.lv[L.longValues + 2 * k];
      std::memcpy(&f, &bits, sizeof f);
    } else {
      f = L.fp[L.floatParams + 2 * k].get();
    }
    return f;
  };
  unsigned used = CURVE_POINTS;
  if (isChar) {
    used = L.wv[L.wordValues] + 1u;
  } else {
    for (unsigned k = 1; k < CURVE_POINTS; ++k) {
      if (x(k) == -32000.0f) {
        used = k;
        break;
      }
    }
  }
  for (unsigned k = 1; k < used && k < CURVE_POINTS; ++k) {
    if (!(x(k) > x(k - 1))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  FB_ClearTypeTable();
  BLK_RegisterArithTypes();
  BLK_RegisterTimeFunctionTypes();
  BLK_RegisterCurveTypes();
  if (FB_RegisterType(kType, FB_TypeFromTemplate(&kTemplate, noop, noop, FB_StandardParam,
                                                 &kLimits, FB_COMMON_BLOCK_RANGES, 0, 0, 0))) {
    std::abort();
  }
  FB_ClearStore();
  if (FB_CreateInstance(kType, 300) || FB_CreateInstance(1, 301) ||
      FB_CreateInstance(BLK_TYPE_INTE, 302) || FB_CreateInstance(BLK_TYPE_CHAR, 303) ||
      FB_CreateInstance(BLK_TYPE_LINEAR, 304)) {
    std::abort();
  }

  const uint8_t control = data[0];
  g_fwRunMode = (control & 1) ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
  FB_SetSaveHook((control & 2) ? fullRing : saved);
  FbParamRequest r;
  std::memcpy(r.bytes, data + 1, std::min<size_t>(size - 1, FB_REQUEST_BYTES));
  // Mostly address the two blocks; keep the bytes' own number now and then.
  constexpr uint16_t kBlocks[] = {0, 300, 301, 302};
  uint16_t block = (control & 0x0C) == 0 ? r.block() : kBlocks[(control >> 2) & 3];
  if (control & 0x20) block = (control & 0x40) ? 304 : 303;
  r.setU16(0, block);

  const std::vector<uint16_t> before300 = words(300), before301 = words(301),
                              before302 = words(302), before303 = words(303),
                              before304 = words(304);
  uint16_t bad = 0xFFFF;
  const uint8_t result = block == 302     ? FB_INTE_Param(&r, &bad)
                         : block == 303   ? FB_CHAR_Param(&r, &bad)
                         : block == 304   ? FB_LINEAR_Param(&r, &bad)
                         : control & 0x10 ? FB_StandardParamCross(&r, &bad)
                                          : FB_StandardParam(&r, &bad);
  switch (result) {
    case FB_OK: case FB_ERR_UNKNOWN_ID: case FB_ERR_NO_BLOCK: case FB_ERR_LIMITS:
    case FB_ERR_COUNT_Y: case FB_ERR_COUNT_Z: break;
    default: std::abort();
  }
  if (result != FB_ERR_LIMITS && bad != 0) std::abort();
  if (result != FB_OK &&
      (words(300) != before300 || words(301) != before301 || words(302) != before302 ||
       words(303) != before303 || words(304) != before304)) {
    std::abort();
  }
  if (block != 303 && words(303) != before303) std::abort();
  if (block != 304 && words(304) != before304) std::abort();
  if (!pendingPointsRise(303) || !pendingPointsRise(304)) std::abort();
  if (control & 0x80) {
    // A "Seg" written after the request moves CHAR's pending points to rise again.
    FbParamRequest seg = FB_WordRequest(303, 3000, data[size - 1] % 12u);
    FB_CHAR_Param(&seg, &bad);
    if (!pendingPointsRise(303)) std::abort();
  }
  if (block != 300 && words(300) != before300) std::abort();
  if (block != 301 && words(301) != before301) std::abort();
  if (block != 302 && words(302) != before302) std::abort();

  FB_ApplyPendingFloats(300);
  FB_ApplyPendingWords(300);
  FB_ApplyPendingFloats(301);
  FB_ApplyPendingFloats(302);
  FB_ApplyPendingWords(302);
  // The curves run on what the requests left: their output stays finite and bounded.
  for (uint16_t curve : {uint16_t{303}, uint16_t{304}}) {
    g_fbStore.currentBlock = curve;
    const FbTypeRecord* rec = FB_GetType(FB_GetInstance(curve)[FB_HDR_TYPE]);
    rec->init();
    rec->run();
    rec->run();
    FbF32* y = nullptr;
    if (FB_GetAnalogOutputPtr(curve, 1, &y) != 1 || !(std::fabs(y->get()) <= 1.5e37f)) {
      std::abort();
    }
  }
  FB_SetSaveHook(nullptr);
  return 0;
}
