#include "blocks/select/select.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "blocks/block_family.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

namespace {

// ---------------------------------------------------------------------------------------
// Own state, in the work words of the instance (zero at creation, kept over a warm start).

struct PeakState {
  FbF32 max;  // stored maximum
  FbF32 min;  // stored minimum
};
struct RecipeState {
  uint16_t storeEdge;  // "store" of the last cycle whose teach-in was done or not due
};
struct VoteState {
  uint16_t mask;  // connected inputs: bit 0 "X 1", bit 1 "X 2", bit 2 "X 3"
};
static_assert(sizeof(PeakState) == 8 && sizeof(RecipeState) == 2 && sizeof(VoteState) == 2);

// ---------------------------------------------------------------------------------------
// Templates. Every type has one text, its tag.

constexpr const char* kSeldTexts[] = {"SELD"};
constexpr const char* kExtrTexts[] = {"EXTR"};
constexpr const char* kPeakTexts[] = {"PEAK"};
constexpr const char* kTrstTexts[] = {"TRST"};
constexpr const char* kSelcTexts[] = {"SELC"};
constexpr const char* kSelpTexts[] = {"SELP"};
constexpr const char* kSelv1Texts[] = {"SELV1"};
constexpr const char* kSeloutTexts[] = {"SELOUT"};
constexpr const char* kRecipeTexts[] = {"RECIPE"};
constexpr const char* k2of3Texts[] = {"2OF3"};
constexpr const char* kSelv2Texts[] = {"SELV2"};

constexpr float kSelcFloats[] = {0, 0, 0, 0, 1, 1, 1, 1};  // C 1.1 .. C 1.4, C 2.1 .. C 2.4
constexpr float kSelpFloats[] = {0, 0, 0};                 // C 1, C 2, C 3
constexpr float kRecipeFloats[RECIPE_SETS * RECIPE_VALUES] = {};  // Set1.1 .. Set5.4
constexpr float k2of3Floats[] = {1.0f};                    // Diff

constexpr FbTemplate kSeldTemplate{
    .size = 42, .type = BLK_TYPE_SELD, .analogOutputs = 1, .digitalOutputs = 1,
    .analogInputs = 1, .digitalInputs = 6, .texts = kSeldTexts};
constexpr FbTemplate kExtrTemplate{
    .size = 43, .type = BLK_TYPE_EXTR, .analogOutputs = 6, .analogInputs = 3,
    .texts = kExtrTexts};
constexpr FbTemplate kPeakTemplate{
    .size = 39, .type = BLK_TYPE_PEAK, .analogOutputs = 2, .analogInputs = 1,
    .digitalInputs = 2, .texts = kPeakTexts, .workWords = BLK_WorkWordsOf<PeakState>()};
constexpr FbTemplate kTrstTemplate{
    .size = 31, .type = BLK_TYPE_TRST, .analogOutputs = 1, .analogInputs = 1,
    .digitalInputs = 1, .texts = kTrstTexts};
constexpr FbTemplate kSelcTemplate{
    .size = 67, .type = BLK_TYPE_SELC, .analogOutputs = 4, .digitalInputs = 1,
    .floatParams = kSelcFloats, .texts = kSelcTexts};
constexpr FbTemplate kSelpTemplate{
    .size = 45, .type = BLK_TYPE_SELP, .analogOutputs = 1, .analogInputs = 1,
    .digitalInputs = 2, .floatParams = kSelpFloats, .texts = kSelpTexts};
constexpr FbTemplate kSelv1Template{
    .size = 39, .type = BLK_TYPE_SELV1, .analogOutputs = 1, .analogInputs = 4,
    .digitalInputs = 2, .texts = kSelv1Texts};
constexpr FbTemplate kSeloutTemplate{
    .size = 39, .type = BLK_TYPE_SELOUT, .analogOutputs = 4, .analogInputs = 1,
    .digitalInputs = 2, .texts = kSeloutTexts};
constexpr FbTemplate kRecipeTemplate{
    .size = 130, .type = BLK_TYPE_RECIPE, .analogOutputs = 5, .analogInputs = 5,
    .digitalInputs = 2, .floatParams = kRecipeFloats, .texts = kRecipeTexts,
    .workWords = BLK_WorkWordsOf<RecipeState>()};
constexpr FbTemplate k2of3Template{
    .size = 56, .type = BLK_TYPE_2OF3, .analogOutputs = 2, .digitalOutputs = 2,
    .analogInputs = 6, .digitalInputs = 4, .floatParams = k2of3Floats, .texts = k2of3Texts,
    .workWords = BLK_WorkWordsOf<VoteState>()};
constexpr FbTemplate kSelv2Template{
    .size = 39, .type = BLK_TYPE_SELV2, .analogOutputs = 2, .analogInputs = 5,
    .texts = kSelv2Texts};

// Limits: every float -29999..999999 ("Diff" from 0), shown with 3 decimals.
constexpr float kLow = -29999.0f, kHigh = 999999.0f;
constexpr FwFloatLimit kValue{.min = kLow, .max = kHigh, .attribute = 3};
constexpr FwFloatLimit kValues[RECIPE_SETS * RECIPE_VALUES] = {
    kValue, kValue, kValue, kValue, kValue, kValue, kValue, kValue, kValue, kValue,
    kValue, kValue, kValue, kValue, kValue, kValue, kValue, kValue, kValue, kValue};
constexpr FwFloatLimit kDiffLimits[] = {{.min = 0.0f, .max = kHigh, .attribute = 3}};

constexpr FbLimitTable valueLimits(size_t count) {
  return FbLimitTable{.floatParams = std::span<const FwFloatLimit>(kValues, count)};
}
constexpr FbLimitTable kSelcLimits = valueLimits(std::size(kSelcFloats));
constexpr FbLimitTable kSelpLimits = valueLimits(std::size(kSelpFloats));
constexpr FbLimitTable kRecipeLimits = valueLimits(std::size(kRecipeFloats));
constexpr FbLimitTable k2of3Limits{.floatParams = kDiffLimits};

// Catalogue groups of the family.
enum : uint16_t { kGroupSelectStore = 12, kGroupSelect = 13, kGroupSelect2 = 14 };

// Positions of inputs and outputs.
enum : unsigned { kSeldSelect = 0, kSeldSelH = 4, kSeldSelL = 5 };          // SELD
enum : unsigned { kMax = 0, kMid = 1, kMin = 2, kMaxNo = 3, kMidNo = 4, kMinNo = 5 };  // EXTR
enum : unsigned { kPeakStop = 0, kPeakReset = 1, kPeakMax = 0, kPeakMin = 1 };       // PEAK
enum : unsigned { kSelH = 0, kSelL = 1 };  // SELP, SELV1, SELOUT digital inputs
enum : unsigned { kSelv2Select = SELV2_IN_SELECT - 1, kSelv2Casc = SELV2_OUT_CASC - 1 };
enum : unsigned { kRecipeSetNo = 4, kRecipeStore = 0, kRecipeManual = 1, kRecipeCasc = 4 };
enum : unsigned { kVoteOff = 3, kVoteY = 0, kVoteCasc = 1, kErr1 = 0, kErr2 = 1 };  // 2OF3

// ---------------------------------------------------------------------------------------
// Shared steps

// Entry 0..3 picked by the digital pair ("sel h", "sel l"): 2h + l, every word other than
// 0 counting as 1, so that no selector word can pick beyond the fourth entry.
unsigned pickByPair(uint16_t h, uint16_t l) { return (h != 0 ? 2u : 0u) + (l != 0 ? 1u : 0u); }
unsigned pickByPair(const FbLayout& L, unsigned hInput, unsigned lInput) {
  return pickByPair(BLK_DigitalIn(L, hInput), BLK_DigitalIn(L, lInput));
}

// Entry 0..3 picked by an analog number: below 1.5 the first, below 2.5 the second, below
// 3.5 the third, anything else (NaN included) the fourth.
unsigned pickByNumber(float v) {
  if (v < 1.5f) return 0;
  if (v < 2.5f) return 1;
  if (v < 3.5f) return 2;
  return 3;
}

// Init of the types whose cold start clears the first `n` analog outputs.
void clearOutputsOnColdStart(unsigned n) {
  FbLayout L;
  if (!FB_CurrentLayout(&L) || !BLK_ColdStart()) return;
  for (unsigned i = 0; i < n && i < L.analogOutputs; ++i) L.ao[i] = 0.0f;
}

// EXTR: an input as the sort sees it; an unconnected input reads +1.5e37 (Init points it
// there), NaN counts as invalid as well, and values beyond the bounds are held to them.
float extremeInput(const FbLayout& L, unsigned i) {
  const float x = BLK_AnalogIn(L, i);
  return std::isnan(x) ? FW_VALUE_MAX : FW_ClampValue(x);
}
bool isValid(float v) { return v > -FW_VALUE_MAX && v < FW_VALUE_MAX; }

// 2OF3: the mean of the inputs in `set` weighted by their multipliers; a sum of multipliers
// that is (almost) zero gives the plain mean instead of a division by it.
struct Vote {
  float x[3];
  float m[3];
};
double weightedMean(const Vote& v, unsigned set) {
  double num = 0.0, sum = 0.0, plain = 0.0;
  unsigned n = 0;
  for (unsigned i = 0; i < 3; ++i) {
    if (!(set & (1u << i))) continue;
    num += static_cast<double>(v.x[i]) * v.m[i];
    sum += v.m[i];
    plain += v.x[i];
    ++n;
  }
  if (n == 0) return 0.0;
  return std::fabs(sum) <= 1e-37 ? plain / n : num / sum;
}
float multiplierSum(const Vote& v, unsigned set) {
  float sum = 0.0f;
  for (unsigned i = 0; i < 3; ++i) {
    if (set & (1u << i)) sum += v.m[i];
  }
  return sum;
}
unsigned countOf(unsigned set) { return (set & 1u) + ((set >> 1) & 1u) + ((set >> 2) & 1u); }
unsigned firstOf(unsigned set) { return (set & 1u) ? 0 : (set & 2u) ? 1 : 2; }

}  // namespace

// ---------------------------------------------------------------------------------------
// SELD: one of four digital inputs, by the digital pair when "Select" is unconnected, else
// by the number "Select" ("Casc" = "Select" - 3).

void FB_SELD_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  unsigned entry;
  if (L.ai[kSeldSelect] == FB_REF_ZERO) {
    entry = pickByPair(L, kSeldSelH, kSeldSelL);
  } else {
    const float select = BLK_AnalogIn(L, kSeldSelect);
    entry = pickByNumber(select);
    L.ao[0] = FW_ClampValue(select - 3.0f);
  }
  L.dout[0] = BLK_DigitalIn(L, entry);
}

void FB_SELD_Init() { clearOutputsOnColdStart(1); }

// ---------------------------------------------------------------------------------------
// EXTR: maximum, middle and minimum of three inputs with their input numbers; invalid
// values (unconnected, at a bound) are replaced by valid ones where there are any.

void FB_EXTR_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float x1 = extremeInput(L, 0), x2 = extremeInput(L, 1), x3 = extremeInput(L, 2);
  float v[3];   // max, mid, min
  float no[3];  // their input numbers
  auto order = [&](float a, float na, float b, float nb, float c, float nc) {
    v[0] = a, v[1] = b, v[2] = c;
    no[0] = na, no[1] = nb, no[2] = nc;
  };
  if (x1 < x2) {
    if (x1 < x3) {
      if (x2 < x3) {
        order(x3, 3, x2, 2, x1, 1);
      } else {
        order(x2, 2, x3, 3, x1, 1);
      }
    } else {
      order(x2, 2, x1, 1, x3, 3);
    }
  } else if (x2 < x3) {
    if (x1 < x3) {
      order(x3, 3, x1, 1, x2, 2);
    } else {
      order(x1, 1, x3, 3, x2, 2);
    }
  } else {
    order(x1, 1, x2, 2, x3, 3);
  }

  float& max = v[0];
  float& mid = v[1];
  float& min = v[2];
  if (isValid(mid)) {
    if (max >= FW_VALUE_MAX) max = mid, no[0] = no[1];
    if (min <= -FW_VALUE_MAX) {
      min = mid, no[2] = no[1];
      mid = max, no[1] = no[0];
    }
  } else if (mid <= -FW_VALUE_MAX && isValid(max)) {
    mid = min = max;
    no[1] = no[2] = no[0];
  } else if (mid >= FW_VALUE_MAX && isValid(min)) {
    max = mid = min;
    no[0] = no[1] = no[2];
  } else {
    max = mid = min = FW_VALUE_MAX;
    no[0] = no[1] = no[2] = 0.0f;
  }
  for (unsigned i = 0; i < 3; ++i) {
    L.ao[kMax + i] = v[i];
    L.ao[kMaxNo + i] = no[i];
  }
}

void FB_EXTR_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  for (unsigned i = 0; i < 3; ++i) {
    if (L.ai[i] == FB_REF_ZERO) L.ai[i] = FB_REF_POS_MAX;
  }
  if (!BLK_ColdStart()) return;
  for (unsigned i = 0; i < 3; ++i) {
    L.ao[kMax + i] = 0.0f;
    L.ao[kMaxNo + i] = 1.0f;
  }
}

// ---------------------------------------------------------------------------------------
// PEAK: the largest and smallest input since the last reset; "stop" freezes both.

void FB_PEAK_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  PeakState& s = BLK_WorkState<PeakState>(L);
  const float x = FW_ClampValue(BLK_AnalogIn(L, 0));
  if (BLK_DigitalIn(L, kPeakReset) != 0) {
    s.max = x;
    s.min = x;
    L.ao[kPeakMax] = x;
    L.ao[kPeakMin] = x;
  } else if (BLK_DigitalIn(L, kPeakStop) == 0) {
    if (x > s.max) {
      s.max = x;
      L.ao[kPeakMax] = x;
    } else if (x < s.min) {
      s.min = x;
      L.ao[kPeakMin] = x;
    }
  }
}

void FB_PEAK_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  PeakState& s = BLK_WorkState<PeakState>(L);
  if (BLK_ColdStart()) {
    const float x = FW_ClampValue(BLK_AnalogIn(L, 0));
    s.max = x;
    s.min = x;
  }
  L.ao[kPeakMax] = s.max.get();
  L.ao[kPeakMin] = s.min.get();
}

// ---------------------------------------------------------------------------------------
// TRST: "Y 1" follows "X 1" and keeps its value while "hold" is set.

void FB_TRST_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (BLK_DigitalIn(L, 0) == 0) L.ao[0] = FW_ClampValue(BLK_AnalogIn(L, 0));
}

void FB_TRST_Init() { clearOutputsOnColdStart(1); }

// ---------------------------------------------------------------------------------------
// SELC: the four constants of set 2 while "sel" is set, else those of set 1.

void FB_SELC_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  FB_ApplyPendingFloats(L.block);
  const unsigned set = BLK_DigitalIn(L, 0) != 0 ? 4 : 0;
  for (unsigned i = 0; i < 4; ++i) L.ao[i] = L.fp[set + i].get();
}

void FB_SELC_Init() { clearOutputsOnColdStart(4); }

// ---------------------------------------------------------------------------------------
// SELP: "C 1", "C 2", "C 3" or the input "X 1", by the digital pair.

void FB_SELP_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  FB_ApplyPendingFloats(L.block);
  const unsigned entry = pickByPair(L, kSelH, kSelL);
  L.ao[0] = entry < 3 ? L.fp[entry].get() : FW_ClampValue(BLK_AnalogIn(L, 0));
}

void FB_SELP_Init() { clearOutputsOnColdStart(1); }

// ---------------------------------------------------------------------------------------
// SELV1: one of four inputs by the digital pair.

void FB_SELV1_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L.ao[0] = FW_ClampValue(BLK_AnalogIn(L, pickByPair(L, kSelH, kSelL)));
}

void FB_SELV1_Init() { clearOutputsOnColdStart(1); }

// ---------------------------------------------------------------------------------------
// SELOUT: "X 1" to the output picked by the digital pair, 0.0 to the others; a selector
// word other than 0 and 1 leaves all four at 0.0.

void FB_SELOUT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  for (unsigned i = 0; i < 4; ++i) L.ao[i] = 0.0f;
  const uint16_t h = BLK_DigitalIn(L, kSelH), l = BLK_DigitalIn(L, kSelL);
  if (h > 1 || l > 1) return;
  L.ao[pickByPair(h, l)] = FW_ClampValue(BLK_AnalogIn(L, 0));
}

void FB_SELOUT_Init() { clearOutputsOnColdStart(1); }

// ---------------------------------------------------------------------------------------
// RECIPE: the four values of the set "SetNo", or the inputs in manual mode or without a
// valid set; a rising "store" teaches the inputs into the set.

void FB_RECIPE_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  RecipeState& st = BLK_WorkState<RecipeState>(L);
  const float setNo = BLK_AnalogIn(L, kRecipeSetNo);
  // The set number s = floor(SetNo + 0.5), compared as a float so that no value converts
  // out of range (NaN fails the first test).
  const float rounded = std::floor(setNo + 0.5f);
  const bool valid = setNo >= 0.0f && rounded >= 1.0f && rounded <= RECIPE_SETS;
  const bool store = BLK_DigitalIn(L, kRecipeStore) != 0;
  float inputs[RECIPE_VALUES];
  for (unsigned i = 0; i < RECIPE_VALUES; ++i) inputs[i] = FW_ClampValue(BLK_AnalogIn(L, i));

  if (!valid) {
    for (unsigned i = 0; i < RECIPE_VALUES; ++i) L.ao[i] = inputs[i];
  } else {
    const unsigned first = (static_cast<unsigned>(rounded) - 1) * RECIPE_VALUES;
    const bool manual = BLK_DigitalIn(L, kRecipeManual) != 0;
    for (unsigned i = 0; i < RECIPE_VALUES; ++i) {
      L.ao[i] = manual ? inputs[i] : L.fp[first + i].get();
    }
    if (store && st.storeEdge == 0) {
      // Teach-in: the inputs, held to the parameters' limits, become the set's current
      // values and pending copies; a save that could not be queued is tried again next
      // cycle.
      for (unsigned i = 0; i < RECIPE_VALUES; ++i) {
        const float v = std::clamp(inputs[i], kLow, kHigh);
        L.fp[first + i] = v;
        L.fp[L.floatParams + first + i] = v;
      }
      const uint8_t notQueued =
          FB_SaveFloatParams(L.block, static_cast<uint16_t>(first + 1), RECIPE_VALUES);
      st.storeEdge = notQueued ? 0 : 1;
    } else {
      st.storeEdge = store ? 1 : 0;
    }
  }
  L.ao[kRecipeCasc] = FW_ClampValue(std::round(setNo - 5.0f));
  FB_ApplyPendingFloats(L.block);
}

void FB_RECIPE_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L) || !BLK_ColdStart()) return;
  BLK_WorkState<RecipeState>(L).storeEdge = 0;
  for (unsigned i = 0; i < 5; ++i) L.ao[i] = 0.0f;
}

// ---------------------------------------------------------------------------------------
// 2OF3: two-out-of-three voting of the connected inputs with their multipliers as weights,
// or a plain selection while "off" is set.

void FB_2OF3_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const unsigned mask = BLK_WorkState<VoteState>(L).mask & 7u;
  Vote v;
  unsigned failed = 0;
  for (unsigned i = 0; i < 3; ++i) {
    v.x[i] = BLK_AnalogIn(L, 2 * i);
    v.m[i] = BLK_AnalogIn(L, 2 * i + 1);
    if ((mask & (1u << i)) && BLK_DigitalIn(L, i) != 0) failed |= 1u << i;
  }
  const unsigned valid = mask & ~failed;
  const float d = L.fp[0];
  auto differ = [&](unsigned i, unsigned j) { return std::fabs(v.x[i] - v.x[j]) > d; };

  double y = 0.0;
  float casc = 0.0f;
  uint16_t err1 = 0, err2 = 0;
  if (BLK_DigitalIn(L, kVoteOff) != 0) {
    err2 = 1;
    if (valid == 0) {
      if (failed != 0) y = FW_VALUE_MAX;
    } else if (valid == 7u) {
      const unsigned pick = differ(0, 1) && differ(0, 2) && !differ(1, 2) ? 1 : 0;
      y = v.x[pick], casc = v.m[pick];
    } else {
      const unsigned pick = firstOf(valid);
      y = v.x[pick], casc = v.m[pick];
    }
  } else {
    if (failed != 0) err1 = 1;
    if (countOf(failed) >= 2) err2 = 1;
    if (failed == mask) y = FW_VALUE_MAX;
    unsigned averaged = valid;
    switch (countOf(valid)) {
      case 1: {
        const unsigned i = firstOf(valid);
        y = v.x[i];
        break;
      }
      case 2: {
        const unsigned i = firstOf(valid), j = firstOf(valid & ~(1u << i));
        if (differ(i, j)) err1 = err2 = 1;
        y = weightedMean(v, valid);
        break;
      }
      case 3: {
        const bool a01 = !differ(0, 1), a02 = !differ(0, 2), a12 = !differ(1, 2);
        const unsigned agreeing = unsigned{a01} + a02 + a12;
        if (agreeing == 1) {
          averaged = a01 ? 3u : a02 ? 5u : 6u;
          err1 = 1;
        } else if (agreeing == 0) {
          err1 = err2 = 1;
        }
        y = weightedMean(v, averaged);
        break;
      }
      default: averaged = 0; break;  // nothing valid: "Y 1" as set above
    }
    if (averaged != 0) casc = multiplierSum(v, averaged);
  }
  L.ao[kVoteY] = FW_ClampValueD(y);
  L.ao[kVoteCasc] = FW_ClampValue(casc);
  L.dout[kErr1] = err1;
  L.dout[kErr2] = err2;
  FB_ApplyPendingFloats(L.block);
}

// The mask of connected inputs is rebuilt at every start; the unconnected multiplier of a
// connected input weighs 1.0.
void FB_2OF3_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  uint16_t mask = 0;
  for (unsigned i = 0; i < 3; ++i) {
    if (L.ai[2 * i] == FB_REF_ZERO) continue;
    mask = static_cast<uint16_t>(mask | (1u << i));
    if (L.ai[2 * i + 1] == FB_REF_ZERO) L.ai[2 * i + 1] = FB_REF_ONE;
  }
  BLK_WorkState<VoteState>(L).mask = mask;
  if (!BLK_ColdStart()) return;
  L.ao[kVoteY] = 0.0f;
  L.ao[kVoteCasc] = 0.0f;
  L.dout[kErr1] = 0;
  L.dout[kErr2] = 0;
}

// ---------------------------------------------------------------------------------------
// SELV2: one of four inputs by the number "Select"; "Casc" = "Select" - 3 feeds the
// "Select" of a further SELV2, which then picks among the next four.

void FB_SELV2_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float select = BLK_AnalogIn(L, kSelv2Select);
  L.ao[0] = FW_ClampValue(BLK_AnalogIn(L, pickByNumber(select)));
  L.ao[kSelv2Casc] = FW_ClampValue(select - 3.0f);
}

void FB_SELV2_Init() { clearOutputsOnColdStart(2); }

// ---------------------------------------------------------------------------------------
// Parameter requests: the types with parameters take them through the standard handler and
// their limit tables, the others refuse every request.

uint8_t FB_SELD_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }
uint8_t FB_EXTR_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }
uint8_t FB_PEAK_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }
uint8_t FB_TRST_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }
uint8_t FB_SELC_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_SELP_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_SELV1_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }
uint8_t FB_SELOUT_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }
uint8_t FB_RECIPE_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_2OF3_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_SELV2_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }

// ---------------------------------------------------------------------------------------

void BLK_RegisterSelectTypes() {
  static constexpr BlkTypeRow kRows[] = {
      {&kSeldTemplate, FB_SELD_Run, FB_SELD_Init, FB_SELD_Param, nullptr, 2, kGroupSelect},
      {&kExtrTemplate, FB_EXTR_Run, FB_EXTR_Init, FB_EXTR_Param, nullptr, 3, kGroupSelectStore},
      {&kPeakTemplate, FB_PEAK_Run, FB_PEAK_Init, FB_PEAK_Param, nullptr, 2, kGroupSelectStore},
      {&kTrstTemplate, FB_TRST_Run, FB_TRST_Init, FB_TRST_Param, nullptr, 1, kGroupSelectStore},
      {&kSelcTemplate, FB_SELC_Run, FB_SELC_Init, FB_SELC_Param, &kSelcLimits, 1,
       kGroupSelectStore},
      {&kSelpTemplate, FB_SELP_Run, FB_SELP_Init, FB_SELP_Param, &kSelpLimits, 1, kGroupSelect},
      {&kSelv1Template, FB_SELV1_Run, FB_SELV1_Init, FB_SELV1_Param, nullptr, 1, kGroupSelect},
      {&kSeloutTemplate, FB_SELOUT_Run, FB_SELOUT_Init, FB_SELOUT_Param, nullptr, 1,
       kGroupSelect},
      {&kRecipeTemplate, FB_RECIPE_Run, FB_RECIPE_Init, FB_RECIPE_Param, &kRecipeLimits, 6,
       kGroupSelect},
      {&k2of3Template, FB_2OF3_Run, FB_2OF3_Init, FB_2OF3_Param, &k2of3Limits, 5, kGroupSelect2},
      {&kSelv2Template, FB_SELV2_Run, FB_SELV2_Init, FB_SELV2_Param, nullptr, 2, kGroupSelect2},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}
