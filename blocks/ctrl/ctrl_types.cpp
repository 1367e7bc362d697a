// Controller block types: templates, limit records and the rows of the block-type table,
// and the per-type descriptions that the shared handlers work from.
#include <array>
#include <bit>
#include <cmath>
#include <iterator>
#include <span>

#include "blocks/block_family.h"
#include "blocks/ctrl/ctrl.h"
#include "blocks/ctrl/ctrl_blocks.h"
#include "blocks/ctrl/ctrl_plant.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr float kLow = -29999.0f, kHigh = 999999.0f;
constexpr float kOff = FW_NO_VALUE;
constexpr uint8_t N = CTRL_NONE;

// ---------------------------------------------------------------------------------------
// Output functions in CONTR's numbering: the limits of Ymin/Ymax, the largest CFail and
// COVC, whether the output display is two-sided and what a new function resets Ymin/Ymax to.
constexpr CtrlFunctionRow kFunctions[] = {
    {0, 100, 2, 3, false, false},       // 0 Signal 1
    {0, 100, 2, 3, false, false},       // 1 Signal 2
    {0, 100, 4, 3, false, false},       // 2 2-point
    {-100, 100, 4, 3, true, true},      // 3 3-point
    {-100, 105, 4, 3, true, true},      // 4 Cont/swi
    {-105, 100, 4, 3, true, true},      // 5 Swi/cont
    {0, 100, 4, 3, false, false},       // 6 2P-DSO
    {-105, 105, 2, 2, false, true},     // 7 Stepping
    {-105, 105, 2, 2, false, true},     // 8 Step+Yp
    {0, 105, 4, 3, false, false},       // 9 Cont
    {-105, 105, 4, 3, true, true},      // 10 splitRang
    {0, 105, 4, 3, false, false},       // 11 Cont Yp
};
constexpr uint8_t kFunctionCount = std::size(kFunctions);
constexpr uint8_t kFunctionCont = 9;
// PIDMA's functions in CONTR's numbering: 2-point, Cont, 3-point, Cont/swi, Swi/cont,
// splitRang, Stepping, Step+Yp, Cont Yp.
constexpr uint8_t kPidmaFunctions[] = {2, 9, 3, 4, 5, 10, 7, 8, 11};

// ---------------------------------------------------------------------------------------
// Templates.

constexpr float kSetDefaults[] = {100, 100, 10, 10, 5, 5};  // Xp1, Xp2, Tn, Tv, Tp1, Tp2
constexpr float kContrFloats[] = {
    0, 100, 100, kOff, kOff, kOff,   // W0, W100, W2, Grw+, Grw-, Grw2
    0, 1, 0.2f, 0.3f, 30, 1,         // N0, a, Xsh, Tpuls, Tm, Xsd1
    kOff, 1, 0, 0, 0, 0,             // LW, Xsd2, Xsh1, Xsh2, Y2, Ymin
    100, 0, 0, 100,                  // Ymax, Y0, YOptm, dYopt
    100, 100, 10, 10, 5, 5};         // Xp1, Xp2, Tn, Tv, Tp1, Tp2
constexpr uint8_t kSharedFloats = 22;  // CONTR and CONTR+ share the floats up to dYopt

constexpr auto kContrPlusFloats = [] {
  std::array<float, kSharedFloats + 6 * CTRL_PARAM_SETS> a{};
  for (size_t i = 0; i < kSharedFloats; ++i) a[i] = kContrFloats[i];
  for (size_t s = 0; s < CTRL_PARAM_SETS; ++s)
    for (size_t i = 0; i < 6; ++i) a[kSharedFloats + 6 * s + i] = kSetDefaults[i];
  return a;
}();

constexpr float kPidmaFloats[] = {
    0, 100, 100, kOff, kOff, kOff,   // W0, W100, W2, Grw+, Grw-, Grw2
    0, 1, 0.1f, 0.3f, 30, 0.2f,      // N0, a, Tpause, Tpuls, Tm, thron
    0.2f, 0, 0, 100, 0, 20,          // throff, Y2, Ymin, Ymax, Y0, dYopt
    10, 30, 30, 1, 40, 10,           // Xlimit, Tdrift, Tnoise, Kp, Tn, Tv
    5, 5, 4, 1, 0, 10, 0};           // Tp1, Tp2, VD, bW_p, cW_d, Tsat, Xsh

constexpr uint16_t kContrWords[] = {CTRL_WBLOCK_ALL};
constexpr uint16_t kContrPlusWords[] = {1, CTRL_WBLOCK_ALL};           // POpt, W Block
constexpr uint16_t kPidmaWords[] = {1, 0, 1, CTRL_WBLOCK_ALL};         // PType, Drift, CSpeed
constexpr uint32_t kLongs[] = {std::bit_cast<uint32_t>(0.0f), std::bit_cast<uint32_t>(100.0f),
                               std::bit_cast<uint32_t>(1.0f)};         // Xn0, Xn100, SFac
constexpr uint16_t kContrValues[] = {9, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint16_t kPidmaValues[] = {1, 0, 0, 0, 1, 0, 0, 0, 0, 0};

constexpr const char* kContrTexts[] = {"CONTR", "X-UNIT"};
constexpr const char* kContrPlusTexts[] = {"CONTR+", "X-UNIT"};
constexpr const char* kPidmaTexts[] = {"PIDMA", "X-UNIT"};

// The 21 state words hold the retained record; its internal setpoint starts at 100.
constexpr auto kStateWords = [] {
  std::array<uint16_t, 21> w{};
  const uint32_t wi = std::bit_cast<uint32_t>(100.0f);
  w[5] = static_cast<uint16_t>(wi);         // bytes 10, 11
  w[6] = static_cast<uint16_t>(wi >> 16);   // bytes 12, 13
  return w;
}();
static_assert(CTRL_RETAINED_WORDS <= kStateWords.size());

// Work words: the block state at the first 8-byte boundary of the work words (PIDMA: and
// its extension record behind it).
constexpr uint16_t kWorkWords = CTRL_WORK_WORDS;

constexpr FbTemplate kContrTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_CONTR, .analogOutputs = 8, .digitalOutputs = 12, .analogInputs = 10,
    .digitalInputs = 22, .floatParams = kContrFloats, .wordParams = kContrWords,
    .longValues = kLongs, .wordValues = kContrValues, .texts = kContrTexts,
    .stateWords = kStateWords, .workWords = kWorkWords});
constexpr FbTemplate kContrPlusTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_CONTR_PLUS, .analogOutputs = 9, .digitalOutputs = 12, .analogInputs = 11,
    .digitalInputs = 22, .floatParams = kContrPlusFloats, .wordParams = kContrPlusWords,
    .longValues = kLongs, .wordValues = kContrValues, .texts = kContrPlusTexts,
    .stateWords = kStateWords, .workWords = kWorkWords});
constexpr FbTemplate kPidmaTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_PIDMA, .analogOutputs = 8, .digitalOutputs = 10, .analogInputs = 10,
    .digitalInputs = 19, .floatParams = kPidmaFloats, .wordParams = kPidmaWords,
    .longValues = kLongs, .wordValues = kPidmaValues, .texts = kPidmaTexts,
    .stateWords = kStateWords, .workWords = CTRL_PIDMA_WORK_WORDS});

// The instance word of word value k (current copy): where the limit records that show
// `XDp` decimals find them.
constexpr uint16_t wordValueWord(const FbTemplate& t, size_t k) {
  return static_cast<uint16_t>(
      FB_HDR_WORDS + (1 + 2 * t.analogOutputs) + (1 + t.digitalOutputs) +
      (1 + 2 * t.analogInputs) + (1 + 2 * t.digitalInputs) + (1 + 4 * t.floatParams.size()) +
      (1 + 2 * t.wordParams.size()) + (1 + 4 * t.longValues.size()) + 1 + k);
}

// ---------------------------------------------------------------------------------------
// Descriptions.

constexpr uint8_t kContrClasses[] = {
    CTRL_CC_GRADIENT, CTRL_CC_GRADIENT, CTRL_CC_RAMP, CTRL_CC_GRADIENT, CTRL_CC_GRADIENT,
    CTRL_CC_GRADIENT,                                                 // W0 .. Grw2
    CTRL_CC_NONE, CTRL_CC_NONE,                                       // N0, a
    CTRL_CC_REINIT, CTRL_CC_REINIT, CTRL_CC_REINIT,                   // Xsh, Tpuls, Tm
    CTRL_CC_RELOAD, CTRL_CC_RELOAD, CTRL_CC_RELOAD, CTRL_CC_RELOAD, CTRL_CC_RELOAD,
    CTRL_CC_NONE, CTRL_CC_NONE, CTRL_CC_NONE, CTRL_CC_NONE, CTRL_CC_NONE, CTRL_CC_NONE,
    CTRL_CC_SET, CTRL_CC_SET, CTRL_CC_SET, CTRL_CC_SET, CTRL_CC_SET, CTRL_CC_SET};
constexpr auto kContrPlusClasses = [] {
  std::array<uint8_t, kSharedFloats + 6 * CTRL_PARAM_SETS> a{};
  for (size_t i = 0; i < kSharedFloats; ++i) a[i] = kContrClasses[i];
  for (size_t s = 0; s < CTRL_PARAM_SETS; ++s)
    for (size_t i = 0; i < 6; ++i) a[kSharedFloats + 6 * s + i] = static_cast<uint8_t>(CTRL_CC_SET | s);
  return a;
}();
constexpr uint8_t kHandReload = CTRL_CC_RELOAD | CTRL_CC_HAND;
constexpr uint8_t kPidmaClasses[] = {
    CTRL_CC_GRADIENT, CTRL_CC_GRADIENT, CTRL_CC_RAMP, CTRL_CC_GRADIENT, CTRL_CC_GRADIENT,
    CTRL_CC_GRADIENT,                                                 // W0 .. Grw2
    CTRL_CC_NONE, CTRL_CC_NONE,                                       // N0, a
    CTRL_CC_REINIT, CTRL_CC_REINIT, CTRL_CC_REINIT,                   // Tpause, Tpuls, Tm
    CTRL_CC_RELOAD, CTRL_CC_RELOAD,                                   // thron, throff
    CTRL_CC_NONE, CTRL_CC_NONE, CTRL_CC_NONE, CTRL_CC_NONE, CTRL_CC_NONE,  // Y2 .. dYopt
    CTRL_CC_NONE, CTRL_CC_NONE, CTRL_CC_NONE,                         // Xlimit, Tdrift, Tnoise
    kHandReload, kHandReload, kHandReload,                            // Kp, Tn, Tv
    CTRL_CC_RELOAD, CTRL_CC_RELOAD,                                   // Tp1, Tp2
    kHandReload, kHandReload, kHandReload,                            // VD, bW_p, cW_d
    CTRL_CC_RELOAD, CTRL_CC_RELOAD};                                  // Tsat, Xsh
static_assert(std::size(kContrClasses) == std::size(kContrFloats));
static_assert(std::size(kPidmaClasses) == std::size(kPidmaFloats));

constexpr std::array<uint8_t, CTRL_DI_COUNT> kContrDi = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21};
constexpr std::array<uint8_t, CTRL_DI_COUNT> kPidmaDi = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, N, N, N, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
constexpr std::array<uint8_t, CTRL_DO_COUNT> kContrDo = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr std::array<uint8_t, CTRL_DO_COUNT> kPidmaDo = {0, 1, 2, 3, 4, 5, 6, N, 7, N, 8, 9};
// W0, W100, W2, Grw+, Grw-, Grw2, N0, a, Tpuls, Tm, Y2, Ymin, Ymax, Y0, dYopt.
constexpr std::array<uint8_t, CTRL_FP_COUNT> kContrFp = {0, 1, 2, 3, 4, 5, 6, 7,
                                                         9, 10, 16, 17, 18, 19, 21};
constexpr std::array<uint8_t, CTRL_FP_COUNT> kPidmaFp = {0, 1, 2, 3, 4, 5, 6, 7,
                                                         9, 10, 13, 14, 15, 16, 17};
constexpr std::array<uint8_t, CTRL_WV_COUNT> kContrWv = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
constexpr std::array<uint8_t, CTRL_WV_COUNT> kPidmaWv = {0, 1, 2, 3, N, 4, 5, 6, 7, 8, 9, N, N};

constexpr CtrlTypeDesc kDescs[] = {
    {.type = BLK_TYPE_CONTR, .pidma = false, .sets = 1,
     .aiParNo = N, .aiCasc = 9, .aoParNo = N, .aoBlNo = 7,
     .di = kContrDi, .dout = kContrDo, .fp = kContrFp, .wv = kContrWv,
     .wpWBlock = 0, .wpPOpt = N, .firstSetFloat = 22, .floatClasses = kContrClasses,
     .wholeFirstWord = 0, .wholeWords = 1, .setFirstFloat = 22, .setFloats = 6},
    {.type = BLK_TYPE_CONTR_PLUS, .pidma = false, .sets = CTRL_PARAM_SETS,
     .aiParNo = 9, .aiCasc = 10, .aoParNo = 7, .aoBlNo = 8,
     .di = kContrDi, .dout = kContrDo, .fp = kContrFp, .wv = kContrWv,
     .wpWBlock = 1, .wpPOpt = 0, .firstSetFloat = 22, .floatClasses = kContrPlusClasses.data(),
     .wholeFirstWord = 1, .wholeWords = 1, .setFirstFloat = 22, .setFloats = 6},
    {.type = BLK_TYPE_PIDMA, .pidma = true, .sets = 1,
     .aiParNo = N, .aiCasc = 9, .aoParNo = N, .aoBlNo = 7,
     .di = kPidmaDi, .dout = kPidmaDo, .fp = kPidmaFp, .wv = kPidmaWv,
     .wpWBlock = 3, .wpPOpt = N, .firstSetFloat = 21, .floatClasses = kPidmaClasses,
     .wholeFirstWord = 0, .wholeWords = 4, .setFirstFloat = 22, .setFloats = 9},
};

// ---------------------------------------------------------------------------------------
// Limits. A bound written as another parameter is that parameter's pending value.

// The pending copy of float k of a block, or `fallback` when the block is missing.
float pendingFloat(uint16_t block, CtrlFp k, float fallback) {
  FbLayout L;
  const CtrlTypeDesc* d = FB_GetLayout(block, &L) ? CTRL_DescOf(L.type) : nullptr;
  return d ? CTRL_Fp(L, d->fp[k], true) : fallback;
}
float pendingLong(uint16_t block, uint16_t k, float fallback) {
  FbLayout L;
  return FB_GetLayout(block, &L) && k < L.longValues ? CTRL_Lv(L, k, true) : fallback;
}
// The row of the pending output function of a block.
const CtrlFunctionRow& pendingFunction(uint16_t block) {
  FbLayout L;
  const CtrlTypeDesc* d = FB_GetLayout(block, &L) ? CTRL_DescOf(L.type) : nullptr;
  return CTRL_FunctionRow(
      d ? CTRL_ContrFunction(*d, CTRL_Wv(L, *d, CTRL_WV_CFUNC, true)) : kFunctionCont);
}

float w0Max(uint16_t b) { return std::fmin(kHigh, pendingFloat(b, CTRL_FP_W100, kHigh)); }
float w100Min(uint16_t b) { return std::fmax(kLow, pendingFloat(b, CTRL_FP_W0, kLow)); }
float yminLow(uint16_t b) { return pendingFunction(b).yLow; }
float yminMax(uint16_t b) {
  return std::fmin(pendingFunction(b).yHigh, pendingFloat(b, CTRL_FP_YMAX, 105.0f));
}
float ymaxMin(uint16_t b) {
  return std::fmax(pendingFunction(b).yLow, pendingFloat(b, CTRL_FP_YMIN, -105.0f));
}
float ymaxHigh(uint16_t b) { return pendingFunction(b).yHigh; }
float xn0Max(uint16_t b) { return std::fmin(kHigh, pendingLong(b, CTRL_LV_XN100, kHigh)); }
float xn100Min(uint16_t b) { return std::fmax(kLow, pendingLong(b, CTRL_LV_XN0, kLow)); }
float gradientMin(uint16_t) { return 0.001f; }
float lowValueMin(uint16_t) { return kLow; }

int16_t failMax(uint16_t b, int16_t) { return pendingFunction(b).failMax; }
int16_t ovcMax(uint16_t b, int16_t) { return pendingFunction(b).ovcMax; }

constexpr FwFloatLimit range(float min, float max, uint16_t decimals) {
  return {.min = min, .max = max, .attribute = decimals};
}
// "min..max or -32000": the stored minimum -32000 admits the off value.
constexpr FwFloatLimit rangeOrOff(FwFloatBound min, float max, uint16_t decimals) {
  return {.min = kOff, .max = max, .minFn = min, .attribute = decimals};
}

// Limits by the decimals attribute (the `XDp` word of the type).
struct SharedLimits {
  FwFloatLimit w0, w100, w2, grw, n0, a, y2, ymin, ymax, y0;
};
constexpr SharedLimits sharedLimits(uint16_t xdp) {
  return {.w0 = {.min = kLow, .max = kHigh, .maxFn = w0Max, .attribute = xdp},
          .w100 = {.min = kLow, .max = kHigh, .minFn = w100Min, .attribute = xdp},
          .w2 = {.min = kLow, .max = kHigh, .minFn = w100Min, .maxFn = w0Max, .attribute = xdp},
          .grw = rangeOrOff(gradientMin, kHigh, 3),
          .n0 = range(kLow, kHigh, 1),
          .a = range(-9.99f, 99.99f, 2),
          .y2 = range(-105, 105, 1),
          .ymin = {.min = -105, .max = 105, .minFn = yminLow, .maxFn = yminMax, .attribute = 0},
          .ymax = {.min = -105, .max = 105, .minFn = ymaxMin, .maxFn = ymaxHigh, .attribute = 0},
          .y0 = range(-105, 105, 1)};
}

constexpr uint16_t kContrXdp = wordValueWord(kContrTemplate, 9);
constexpr uint16_t kContrPlusXdp = wordValueWord(kContrPlusTemplate, 9);
constexpr uint16_t kPidmaXdp = wordValueWord(kPidmaTemplate, 8);

constexpr FwFloatLimit kXp = range(0.1f, 999.9f, 1);
constexpr FwFloatLimit kTime = range(0, kHigh, 1);
constexpr FwFloatLimit kTp = range(0.4f, 999.9f, 1);

template <size_t Count>
constexpr std::array<FwFloatLimit, Count> contrFloatLimits(uint16_t xdp) {
  const SharedLimits s = sharedLimits(xdp);
  std::array<FwFloatLimit, Count> a{};
  const FwFloatLimit shared[kSharedFloats] = {
      s.w0, s.w100, s.w2, s.grw, s.grw, s.grw, s.n0, s.a,
      range(0.2f, kHigh, 1),                // Xsh
      range(0.1f, 2, 1),                    // Tpuls
      range(5, kHigh, 0),                   // Tm
      range(0.1f, kHigh, 2),                // Xsd1
      rangeOrOff(lowValueMin, kHigh, 2),    // LW
      range(0.1f, kHigh, 2),                // Xsd2
      range(0, 1000, 1), range(0, 1000, 1), // Xsh1, Xsh2
      s.y2, s.ymin, s.ymax, s.y0,
      range(-105, 105, 1),                  // YOptm
      range(5, 100, 0)};                    // dYopt
  for (size_t i = 0; i < kSharedFloats; ++i) a[i] = shared[i];
  const FwFloatLimit set[6] = {kXp, kXp, kTime, kTime, kTp, kTp};
  for (size_t i = kSharedFloats; i < Count; ++i) a[i] = set[(i - kSharedFloats) % 6];
  return a;
}

constexpr auto kContrFloatLimits = contrFloatLimits<std::size(kContrFloats)>(kContrXdp);
constexpr auto kContrPlusFloatLimits = contrFloatLimits<kContrPlusFloats.size()>(kContrPlusXdp);
constexpr auto kPidmaFloatLimits = [] {
  const SharedLimits s = sharedLimits(kPidmaXdp);
  return std::array<FwFloatLimit, std::size(kPidmaFloats)>{
      s.w0, s.w100, s.w2, s.grw, s.grw, s.grw, s.n0, s.a,
      range(0.1f, kHigh, 1),                // Tpause
      range(0.1f, 2, 1),                    // Tpuls
      range(5, kHigh, 0),                   // Tm
      range(0.2f, 100, 1), range(0.2f, 100, 1),  // thron, throff
      s.y2, s.ymin, s.ymax, s.y0,
      range(-100, 100, 0),                  // dYopt
      range(0.5f, kHigh, 1),                // Xlimit
      kTime, kTime,                         // Tdrift, Tnoise
      range(0.001f, kHigh, 3),              // Kp
      kTime, kTime,                         // Tn, Tv
      kTp, kTp,                             // Tp1, Tp2
      range(1, kHigh, 1),                   // VD
      range(0, 1, 2), range(0, 1, 2),       // bW_p, cW_d
      range(1, kHigh, 1),                   // Tsat
      range(0, kHigh, 1)};                  // Xsh
}();

constexpr FwFloatLimit longLimits(uint16_t xdp, int k) {
  switch (k) {
    case 0: return {.min = kLow, .max = kHigh, .maxFn = xn0Max, .attribute = xdp};
    case 1: return {.min = kLow, .max = kHigh, .minFn = xn100Min, .attribute = xdp};
    default: return range(0.01f, 99.99f, 3);
  }
}
constexpr FwFloatLimit kContrLongLimits[] = {longLimits(kContrXdp, 0), longLimits(kContrXdp, 1),
                                             longLimits(kContrXdp, 2)};
constexpr FwFloatLimit kContrPlusLongLimits[] = {longLimits(kContrPlusXdp, 0),
                                                 longLimits(kContrPlusXdp, 1),
                                                 longLimits(kContrPlusXdp, 2)};
constexpr FwFloatLimit kPidmaLongLimits[] = {longLimits(kPidmaXdp, 0), longLimits(kPidmaXdp, 1),
                                             longLimits(kPidmaXdp, 2)};

constexpr FwShortLimit choice(int16_t max) { return {.min = 0, .max = max}; }
constexpr FwShortLimit kFail{.min = 0, .max = 4, .maxFn = failMax};
constexpr FwShortLimit kOvc{.min = 0, .max = 3, .maxFn = ovcMax};
constexpr FwShortLimit kWBlock = choice(CTRL_WBLOCK_NONE);

// CFunc, C-type, SPfunc, C-mode, CDiff, CFail, COVC, WTrac, Ratio, XDp, Disp, OMode, OCond.
constexpr FwShortLimit kContrValueLimits[] = {
    choice(11), choice(2), choice(1), choice(1), choice(1), kFail, kOvc,
    choice(2),  choice(2), choice(3), choice(2), choice(0), choice(2)};
// CFunc, C-type, SPfunc, C-mode, CFail, COVC, WTrac, Ratio, XDp, Disp.
constexpr FwShortLimit kPidmaValueLimits[] = {choice(8), choice(2), choice(1), choice(1), kFail,
                                              kOvc,      choice(2), choice(2), choice(3), choice(2)};
constexpr FwShortLimit kContrWordLimits[] = {kWBlock};
constexpr FwShortLimit kContrPlusWordLimits[] = {{.min = 1, .max = CTRL_PARAM_SETS}, kWBlock};
constexpr FwShortLimit kPidmaWordLimits[] = {{.min = 1, .max = 2}, choice(1), {.min = 1, .max = 3},
                                             kWBlock};

constexpr FbLimitTable kContrLimits{.wordParams = kContrWordLimits,
                                    .floatParams = kContrFloatLimits,
                                    .wordValues = kContrValueLimits,
                                    .longValues = kContrLongLimits};
constexpr FbLimitTable kContrPlusLimits{.wordParams = kContrPlusWordLimits,
                                        .floatParams = kContrPlusFloatLimits,
                                        .wordValues = kContrValueLimits,
                                        .longValues = kContrPlusLongLimits};
constexpr FbLimitTable kPidmaLimits{.wordParams = kPidmaWordLimits,
                                    .floatParams = kPidmaFloatLimits,
                                    .wordValues = kPidmaValueLimits,
                                    .longValues = kPidmaLongLimits};

// Catalogue group of the family.
constexpr uint16_t kGroupController = 25;

}  // namespace

const CtrlTypeDesc* CTRL_DescOf(uint16_t type) {
  for (const CtrlTypeDesc& d : kDescs) {
    if (d.type == type) return &d;
  }
  return nullptr;
}

uint8_t CTRL_ContrFunction(const CtrlTypeDesc& d, uint16_t cfunc) {
  if (d.pidma) return cfunc < std::size(kPidmaFunctions) ? kPidmaFunctions[cfunc] : kFunctionCont;
  return cfunc < kFunctionCount ? static_cast<uint8_t>(cfunc) : kFunctionCont;
}

const CtrlFunctionRow& CTRL_FunctionRow(uint8_t function) {
  return kFunctions[function < kFunctionCount ? function : kFunctionCont];
}

void BLK_RegisterCtrlTypes() {
  static constexpr BlkTypeRow kRows[] = {
      {&kContrTemplate, FB_CONTR_Run, FB_CONTR_Init, FB_CONTR_Param, &kContrLimits, 51,
       kGroupController},
      {&kContrPlusTemplate, FB_CONTRPLUS_Run, FB_CONTRPLUS_Init, FB_CONTRPLUS_Param,
       &kContrPlusLimits, 53, kGroupController},
      {&kPidmaTemplate, FB_PIDMA_Run, FB_PIDMA_Init, FB_PIDMA_Param, &kPidmaLimits, 68,
       kGroupController},
  };
  BLK_RegisterTimeGroupTypes(kRows);
  CTRL_RegisterPlant();
}
