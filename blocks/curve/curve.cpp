#include "blocks/curve/curve.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#include "blocks/block_family.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

float CURVE_MinStep(float v) { return std::max(0.0009f, std::fabs(v) * 1e-6f); }

namespace {

// ---------------------------------------------------------------------------------------
// Own state, in the work words of the instance.

struct LinearState {
  uint16_t last;  // index of the last valid point, 0..10
};
struct CharState {
  FbF32 slope[CURVE_POINTS - 1];  // s(1)..s(10): slopes of the segments in use
};
static_assert(sizeof(LinearState) == 2 && sizeof(CharState) == 40);

// ---------------------------------------------------------------------------------------
// Templates. Every type has one text, its tag. Both curves default to the straight line
// through (0, 0) .. (10, 10).

constexpr std::array<float, CURVE_VALUES> kLinePoints = [] {
  std::array<float, CURVE_VALUES> p{};
  for (unsigned k = 0; k < CURVE_POINTS; ++k) p[2 * k] = p[2 * k + 1] = static_cast<float>(k);
  return p;
}();
constexpr std::array<uint32_t, CURVE_VALUES> kLinePointBits = [] {
  std::array<uint32_t, CURVE_VALUES> p{};
  for (unsigned i = 0; i < CURVE_VALUES; ++i) p[i] = std::bit_cast<uint32_t>(kLinePoints[i]);
  return p;
}();

constexpr const char* kLinearTexts[] = {"LINEAR"};
constexpr const char* kGapTexts[] = {"GAP"};
constexpr const char* kCharTexts[] = {"CHAR"};
constexpr float kGapFloats[] = {0.0f, 0.0f};  // Low, High
constexpr uint16_t kCharValues[] = {2};       // Seg

constexpr FbTemplate kLinearTemplate{
    .size = 120, .type = BLK_TYPE_LINEAR, .analogOutputs = 1, .analogInputs = 2,
    .floatParams = kLinePoints, .texts = kLinearTexts,
    .workWords = BLK_WorkWordsOf<LinearState>()};
constexpr FbTemplate kGapTemplate{
    .size = 37, .type = BLK_TYPE_GAP, .analogOutputs = 1, .analogInputs = 1,
    .floatParams = kGapFloats, .texts = kGapTexts};
constexpr FbTemplate kCharTemplate{
    .size = 139, .type = BLK_TYPE_CHAR, .analogOutputs = 1, .analogInputs = 1,
    .longValues = kLinePointBits, .wordValues = kCharValues, .texts = kCharTexts,
    .workWords = BLK_WorkWordsOf<CharState>()};

// Positions of inputs, parameters and outputs.
enum : unsigned { kInX = 0, kInCasc = 1 };
enum : unsigned { kGapLow = 0, kGapHigh = 1 };

// ---------------------------------------------------------------------------------------
// Limits. Every y lies in -29999..999999; the x values rise strictly, each by at least the
// minimum step from its neighbour, checked against the neighbours' pending values. The
// operating pages show every value with 3 decimals.

constexpr float kLow = -29999.0f, kHigh = 999999.0f;
constexpr FwFloatLimit kValue{.min = kLow, .max = kHigh, .attribute = 3};

float above(float neighbour) { return neighbour + CURVE_MinStep(neighbour); }
float below(float neighbour) { return neighbour - CURVE_MinStep(neighbour); }

// LINEAR: x(k) of point j = k - 1 is float parameter 2j. A point from 2 on may be -32000
// (not used), and a neighbour at -32000 bounds nothing.
float linearPendingX(uint16_t block, unsigned j) { return BLK_PendingFloat(block, 2 * j); }

template <unsigned J>
float linearXMin(uint16_t block) {
  const float prev = linearPendingX(block, J - 1);
  return prev == FW_NO_VALUE ? kLow : above(prev);
}
template <unsigned J>
float linearXMax(uint16_t block) {
  if constexpr (J + 1 >= CURVE_POINTS) {
    return kHigh;
  } else {
    const float next = linearPendingX(block, J + 1);
    return next == FW_NO_VALUE ? kHigh : below(next);
  }
}
template <unsigned J>
constexpr FwFloatLimit linearXRecord() {
  if constexpr (J == 0) {
    return {.min = kLow, .max = kHigh, .maxFn = linearXMax<J>, .attribute = 3};
  } else {
    return {.min = FW_NO_VALUE, .max = kHigh, .minFn = linearXMin<J>, .maxFn = linearXMax<J>,
            .attribute = 3};
  }
}

// CHAR: x(k) of point j = k - 1 is 4-byte value 2j; only the neighbours in use (points
// 1 .. Seg + 1 of the pending "Seg") bound a point.
float charPendingX(uint16_t block, unsigned j) { return BLK_PendingLongAsFloat(block, 2 * j); }
unsigned charPendingSeg(uint16_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || L.wordValues == 0) return CHAR_SEG_MIN;
  return std::clamp<unsigned>(L.wv[L.wordValues], CHAR_SEG_MIN, CHAR_SEG_MAX);
}

template <unsigned J>
float charXMin(uint16_t block) {
  return J <= charPendingSeg(block) ? above(charPendingX(block, J - 1)) : kLow;
}
template <unsigned J>
float charXMax(uint16_t block) {
  return J + 1 <= charPendingSeg(block) ? below(charPendingX(block, J + 1)) : kHigh;
}
template <unsigned J>
constexpr FwFloatLimit charXRecord() {
  if constexpr (J == 0) {
    return {.min = kLow, .max = kHigh, .maxFn = charXMax<J>, .attribute = 3};
  } else {
    return {.min = kLow, .max = kHigh, .minFn = charXMin<J>, .maxFn = charXMax<J>,
            .attribute = 3};
  }
}

// The 22 records of a curve: x(k) by its neighbours, y(k) within the value range.
template <size_t... J>
constexpr std::array<FwFloatLimit, CURVE_VALUES> linearRecords(std::index_sequence<J...>) {
  std::array<FwFloatLimit, CURVE_VALUES> r{};
  ((r[2 * J] = linearXRecord<J>(), r[2 * J + 1] = kValue), ...);
  return r;
}
template <size_t... J>
constexpr std::array<FwFloatLimit, CURVE_VALUES> charRecords(std::index_sequence<J...>) {
  std::array<FwFloatLimit, CURVE_VALUES> r{};
  ((r[2 * J] = charXRecord<J>(), r[2 * J + 1] = kValue), ...);
  return r;
}

constexpr auto kLinearFloatLimits = linearRecords(std::make_index_sequence<CURVE_POINTS>());
constexpr auto kCharLongLimits = charRecords(std::make_index_sequence<CURVE_POINTS>());
constexpr FwShortLimit kCharValueLimits[] = {{.min = CHAR_SEG_MIN, .max = CHAR_SEG_MAX}};

// GAP: "Low" not above the pending "High", "High" not below the pending "Low".
float gapLowMax(uint16_t block) { return BLK_PendingFloat(block, kGapHigh); }
float gapHighMin(uint16_t block) { return BLK_PendingFloat(block, kGapLow); }
constexpr FwFloatLimit kGapFloatLimits[] = {
    {.min = kLow, .max = kHigh, .maxFn = gapLowMax, .attribute = 3},
    {.min = kLow, .max = kHigh, .minFn = gapHighMin, .attribute = 3}};

constexpr FbLimitTable kLinearLimits{.floatParams = kLinearFloatLimits};
constexpr FbLimitTable kGapLimits{.floatParams = kGapFloatLimits};
constexpr FbLimitTable kCharLimits{.wordValues = kCharValueLimits, .longValues = kCharLongLimits};

// Catalogue group of the family: non-linear.
enum : uint16_t { kGroupNonLinear = 3 };

// ---------------------------------------------------------------------------------------
// Shared steps

// Width of a segment for the interpolation: a width that is not positive counts as 0.001,
// so that no point pair divides by zero or turns the slope round.
float segmentWidth(float x0, float x1) {
  const float w = x1 - x0;
  return w > 0.0f ? w : 0.001f;
}

// LINEAR's points in use: from point 1 up to the first x at -32000, at most 11.
uint16_t linearLastIndex(const FbLayout& L) {
  unsigned n = 0;
  while (n < CURVE_POINTS && L.fp[2 * n].get() != FW_NO_VALUE) ++n;
  return static_cast<uint16_t>(n > 1 ? n - 1 : 0);
}

float charX(const FbLayout& L, unsigned j, bool pending = false) {
  const uint32_t bits = L.lv[(pending ? L.longValues : 0) + 2 * j];
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}
float charY(const FbLayout& L, unsigned j) {
  const uint32_t bits = L.lv[2 * j + 1];
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}
void setPendingCharX(const FbLayout& L, unsigned j, float x) {
  uint32_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  L.lv[L.longValues + 2 * j] = bits;
}

// After "Seg" was written: the pending points 1 .. S + 1 of the new segment count S are
// moved so that they rise, each by at least the minimum step from the one below, and leave
// room for the points above them under 999999.
void fitPendingPointsToSeg(uint16_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || L.longValues != CURVE_VALUES || L.wordValues == 0) return;
  const unsigned s = std::clamp<unsigned>(L.wv[L.wordValues], CHAR_SEG_MIN, CHAR_SEG_MAX);
  const float topOfFirst = kHigh - static_cast<float>(s);
  if (!(charX(L, 0, true) <= topOfFirst)) setPendingCharX(L, 0, topOfFirst);
  for (unsigned i = 1; i < s; ++i) {
    const float top = kHigh - static_cast<float>(s - i);
    const float x = charX(L, i, true), floor = above(charX(L, i - 1, true));
    if (x > top) {
      setPendingCharX(L, i, top);
    } else if (!(x >= floor)) {
      setPendingCharX(L, i, floor);
    }
  }
  const float floor = above(charX(L, s - 1, true));
  if (!(charX(L, s, true) >= floor)) setPendingCharX(L, s, floor);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// LINEAR: linear interpolation between up to 11 points; below the first point the "Casc"
// input (when connected) or y(1), above the last point its y.

void FB_LINEAR_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LinearState& st = BLK_WorkState<LinearState>(L);
  if (FB_ApplyPendingFloats(L.block) != FB_APPLY_NONE) {
    // A cycle that takes changed points over recounts them and leaves the output.
    st.last = linearLastIndex(L);
    return;
  }
  const float x = BLK_AnalogIn(L, kInX);
  const bool cascWired = L.ai[kInCasc] != FB_REF_ZERO;
  const unsigned last = std::min<unsigned>(st.last, CURVE_POINTS - 1);
  auto px = [&](unsigned j) { return L.fp[2 * j].get(); };
  auto py = [&](unsigned j) { return L.fp[2 * j + 1].get(); };
  float y;
  if (last < 1) {
    y = cascWired ? BLK_AnalogIn(L, kInCasc) : x;
  } else if (x < px(0)) {
    y = cascWired ? BLK_AnalogIn(L, kInCasc) : py(0);
  } else if (x > px(last)) {
    y = py(last);
  } else {
    unsigned lo = 0, hi = last;
    while (hi - lo > 1) {
      const unsigned mid = (lo + hi) / 2;
      if (x < px(mid)) {
        hi = mid;
      } else {
        lo = mid;
      }
    }
    y = py(lo) + (py(lo + 1) - py(lo)) * (x - px(lo)) / segmentWidth(px(lo), px(lo + 1));
  }
  L.ao[0] = FW_ClampValue(y);
}

void FB_LINEAR_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BLK_WorkState<LinearState>(L).last = linearLastIndex(L);
  if (BLK_ColdStart()) L.ao[0] = 0.0f;
}

// ---------------------------------------------------------------------------------------
// GAP: 0.0 inside the band "Low".."High", the distance from the band outside it.

void FB_GAP_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  FB_ApplyPendingFloats(L.block);
  const float x = BLK_AnalogIn(L, kInX);
  const float low = L.fp[kGapLow], high = L.fp[kGapHigh];
  float y = 0.0f;
  if (low > x) {
    y = x - low;
  } else if (x > high) {
    y = x - high;
  }
  L.ao[0] = FW_ClampValue(y);
}

void FB_GAP_Init() {
  FbLayout L;
  if (FB_CurrentLayout(&L) && BLK_ColdStart()) L.ao[0] = 0.0f;
}

// ---------------------------------------------------------------------------------------
// CHAR: linear segments through points 1 .. Seg + 1, held at the end points outside them.
// Points and "Seg" written by requests take effect at the next start-up pass.

void FB_CHAR_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const CharState& st = BLK_WorkState<CharState>(L);
  const unsigned seg = std::clamp<unsigned>(L.wv[0], CHAR_SEG_MIN, CHAR_SEG_MAX);
  const float x = BLK_AnalogIn(L, kInX);
  unsigned a = 0;  // 0-based: segment a runs from point a to point a + 1
  for (unsigned k = seg; k-- > 0;) {
    if (x >= charX(L, k)) {
      a = k;
      break;
    }
  }
  float y;
  if (a == 0 && x <= charX(L, 0)) {
    y = charY(L, 0);
  } else if (a == seg - 1 && x > charX(L, seg)) {
    y = charY(L, seg);
  } else {
    y = charY(L, a) + st.slope[a].get() * (x - charX(L, a));
  }
  L.ao[0] = FW_ClampValue(y);
}

void FB_CHAR_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const unsigned seg =
      std::clamp<unsigned>(L.wv[L.wordValues], CHAR_SEG_MIN, CHAR_SEG_MAX);
  L.wv[0] = static_cast<uint16_t>(seg);
  for (unsigned i = 0; i < CURVE_VALUES; ++i) L.lv[i] = L.lv[L.longValues + i].get();
  CharState& st = BLK_WorkState<CharState>(L);
  for (unsigned k = 0; k < CURVE_POINTS - 1; ++k) {
    st.slope[k] = k < seg ? (charY(L, k + 1) - charY(L, k)) /
                                segmentWidth(charX(L, k), charX(L, k + 1))
                          : 0.0f;
  }
  if (BLK_ColdStart()) L.ao[0] = 0.0f;
}

// ---------------------------------------------------------------------------------------
// Parameter requests. The point limits read the pending neighbours, so whole sets go
// through the cross-limit check; CHAR's "Seg" also moves the pending points to fit it.

uint8_t FB_LINEAR_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParamCross(r, bad); }
uint8_t FB_GAP_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParamCross(r, bad); }

uint8_t FB_CHAR_Param(FbParamRequest* r, uint16_t* bad) {
  if (!r || r->id() != FB_ID_WORD_VALUE) return FB_StandardParamCross(r, bad);
  if (bad) *bad = 0;
  const uint8_t result = FB_ParamWordValue(r->block(), 0, r->u16(FB_REQUEST_VALUE));
  if (result == FB_OK) fitPendingPointsToSeg(r->block());
  return result;
}

// ---------------------------------------------------------------------------------------

void BLK_RegisterCurveTypes() {
  static constexpr BlkTypeRow kRows[] = {
      {&kLinearTemplate, FB_LINEAR_Run, FB_LINEAR_Init, FB_LINEAR_Param, &kLinearLimits, 4,
       kGroupNonLinear},
      {&kGapTemplate, FB_GAP_Run, FB_GAP_Init, FB_GAP_Param, &kGapLimits, 2, kGroupNonLinear},
      {&kCharTemplate, FB_CHAR_Run, FB_CHAR_Init, FB_CHAR_Param, &kCharLimits, 5,
       kGroupNonLinear},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}
