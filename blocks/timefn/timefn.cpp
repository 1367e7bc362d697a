#include "blocks/timefn/timefn.h"

#include <algorithm>
#include <cmath>

#include "blocks/block_family.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

namespace {

// ---------------------------------------------------------------------------------------
// Own state, in the work words of the instance (zero at creation, kept over a warm start).

struct LeadState {
  FbF32 xPrev;  // input of the previous cycle
  FbF32 v;      // derivative part
  FbF32 k;      // T / (T + dt)
  FbF32 r;      // remainder of the compensated sum
};
struct InteState {
  FbF32 k;  // dt / T
  FbF32 h;  // hysteresis of the limit outputs, (Max - Min) / 100
  FbF32 r;  // remainder of the compensated sum
};
struct LagState {  // LAG and FILTER
  FbF32 a;  // T / (T + dt)
  FbF32 b;  // dt / (T + dt)
};
struct DelayRing {  // DELAY after its previous clock; DELAY2 as it stands
  uint16_t w;           // write index
  uint16_t rd;          // read index
  uint16_t prevReset;
  uint16_t prevPreset;
  FbF32 ring[BLK_DELAY_RING];
};
struct DelayState {
  uint16_t prevClock;
  DelayRing d;
};
static_assert(sizeof(LeadState) == 16 && sizeof(InteState) == 12 && sizeof(LagState) == 8);
static_assert(sizeof(DelayState) == 2 * 517 && sizeof(DelayRing) == 2 * 516);

// ---------------------------------------------------------------------------------------
// Templates. Every type has one text, its tag.

constexpr const char* kLeadTexts[] = {"LEAD"};
constexpr const char* kInteTexts[] = {"INTE"};
constexpr const char* kLagTexts[] = {"LAG"};
constexpr const char* kDelayTexts[] = {"DELAY"};
constexpr const char* kDelay2Texts[] = {"DELAY2"};
constexpr const char* kFilterTexts[] = {"FILTER"};

constexpr float kLeadFloats[] = {1.0f, 0.0f, 1.0f};               // a, y0, T
constexpr uint16_t kLeadValues[] = {LEAD_MODE_BOTH};               // Mode
constexpr float kInteFloats[] = {60.0f, 0.0f, 0.0f, 1.0f, 0.0f};  // T, x 0, y 0, Max, Min
constexpr uint16_t kInteWords[] = {INTE_PRESET_PARAM};             // Mode
constexpr float kLagFloats[] = {1.0f};                             // T
constexpr uint16_t kDelayWords[] = {0};                            // Delay
constexpr float kDelay2Floats[] = {0.0f};                          // Td
constexpr float kFilterFloats[] = {1.0f, 1.0f};                    // T, Diff

constexpr FbTemplate kLeadTemplate{
    .size = 53, .type = BLK_TYPE_LEAD, .analogOutputs = 1, .analogInputs = 1,
    .digitalInputs = 1, .floatParams = kLeadFloats, .wordValues = kLeadValues,
    .texts = kLeadTexts, .workWords = BLK_WorkWordsOf<LeadState>()};
constexpr FbTemplate kInteTemplate{
    .size = 67, .type = BLK_TYPE_INTE, .analogOutputs = 1, .digitalOutputs = 2,
    .analogInputs = 2, .digitalInputs = 3, .floatParams = kInteFloats,
    .wordParams = kInteWords, .texts = kInteTexts, .workWords = BLK_WorkWordsOf<InteState>()};
constexpr FbTemplate kLagTemplate{
    .size = 39, .type = BLK_TYPE_LAG, .analogOutputs = 1, .analogInputs = 1,
    .digitalInputs = 1, .floatParams = kLagFloats, .texts = kLagTexts,
    .workWords = BLK_WorkWordsOf<LagState>()};
constexpr FbTemplate kDelayTemplate{
    .size = 556, .type = BLK_TYPE_DELAY, .analogOutputs = 1, .analogInputs = 2,
    .digitalInputs = 3, .wordParams = kDelayWords, .texts = kDelayTexts,
    .workWords = BLK_WorkWordsOf<DelayState>()};
constexpr FbTemplate kDelay2Template{
    .size = 555, .type = BLK_TYPE_DELAY2, .analogOutputs = 1, .analogInputs = 2,
    .digitalInputs = 2, .floatParams = kDelay2Floats, .texts = kDelay2Texts,
    .workWords = BLK_WorkWordsOf<DelayRing>()};
constexpr FbTemplate kFilterTemplate{
    .size = 43, .type = BLK_TYPE_FILTER, .analogOutputs = 1, .analogInputs = 1,
    .digitalInputs = 1, .floatParams = kFilterFloats, .texts = kFilterTexts,
    .workWords = BLK_WorkWordsOf<LagState>()};

// Inputs by position.
enum : unsigned { kInX = 0, kInPreset = 1 };                       // analog
enum : unsigned { kInReset = 0 };                                   // LEAD, LAG, FILTER
enum : unsigned { kInteStop = 0, kInteReset = 1, kIntePreset = 2 };
enum : unsigned { kDelayReset = 0, kDelayPreset = 1, kDelayClock = 2 };
// INTE float parameters and digital outputs.
enum : unsigned { kInteT = 0, kInteX0 = 1, kInteY0 = 2, kInteMax = 3, kInteMin = 4 };
enum : unsigned { kOutMax = 0, kOutMin = 1 };

// ---------------------------------------------------------------------------------------
// Limits. The operating pages show time constants with 1 decimal, the rest with 3.

constexpr float kLow = -29999.0f, kHigh = 999999.0f;
constexpr FwFloatLimit kValue{.min = kLow, .max = kHigh, .attribute = 3};
constexpr FwFloatLimit kTimeConstant{.min = 0.0f, .max = 199999.0f, .attribute = 1};

// INTE's cross limits: "Max" not below the pending "Min", "Min" not above the pending "Max".
float inteMaxFloor(uint16_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L)) return kLow;
  return std::fmax(kLow, L.fp[L.floatParams + kInteMin].get());
}
float inteMinCeiling(uint16_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L)) return kHigh;
  return std::fmin(kHigh, L.fp[L.floatParams + kInteMax].get());
}

constexpr FwFloatLimit kLeadFloatLimits[] = {kValue, kValue, kTimeConstant};
constexpr FwShortLimit kLeadValueLimits[] = {{.min = LEAD_MODE_BOTH, .max = LEAD_MODE_FALLING}};
constexpr FwFloatLimit kInteFloatLimits[] = {
    {.min = 0.1f, .max = kHigh, .attribute = 1},
    kValue,
    kValue,
    {.min = kLow, .max = kHigh, .minFn = inteMaxFloor, .attribute = 3},
    {.min = kLow, .max = kHigh, .maxFn = inteMinCeiling, .attribute = 3}};
constexpr FwShortLimit kInteWordLimits[] = {{.min = INTE_PRESET_PARAM, .max = INTE_PRESET_INPUT}};
constexpr FwFloatLimit kLagFloatLimits[] = {kTimeConstant};
constexpr FwShortLimit kDelayWordLimits[] = {{.min = 0, .max = BLK_DELAY_RING - 1}};
constexpr FwFloatLimit kDelay2FloatLimits[] = {{.min = 0.0f, .max = 204.0f, .attribute = 1}};
constexpr FwFloatLimit kFilterFloatLimits[] = {kTimeConstant, {.min = 0.0f, .max = kHigh, .attribute = 3}};

constexpr FbLimitTable kLeadLimits{.floatParams = kLeadFloatLimits, .wordValues = kLeadValueLimits};
constexpr FbLimitTable kInteLimits{.wordParams = kInteWordLimits, .floatParams = kInteFloatLimits};
constexpr FbLimitTable kLagLimits{.floatParams = kLagFloatLimits};
constexpr FbLimitTable kDelayLimits{.wordParams = kDelayWordLimits};
constexpr FbLimitTable kDelay2Limits{.floatParams = kDelay2FloatLimits};
constexpr FbLimitTable kFilterLimits{.floatParams = kFilterFloatLimits};

// Catalogue groups of the family.
enum : uint16_t { kGroupTime = 10, kGroupTime2 = 11 };

// ---------------------------------------------------------------------------------------
// Shared steps

float dt(const FbLayout& L) { return FB_BlockCycleTime(L.block); }

// True when |v| exceeds the bound of block values (compared in double precision).
bool beyondBound(float v) {
  return std::fabs(static_cast<double>(v)) > static_cast<double>(FW_VALUE_MAX);
}
float bound(float v) { return v > 0.0f ? FW_VALUE_MAX : -FW_VALUE_MAX; }

// A time constant below 0 (or not a number, as only a damaged image can hold) counts as 0,
// so that the coefficients stay finite.
float timeConstant(float t) { return std::fmax(t, 0.0f); }

float leadCoefficient(const FbLayout& L) {
  const float t = timeConstant(L.fp[2]);
  return t / (t + dt(L));
}

void setLagCoefficients(const FbLayout& L, LagState& s) {
  const float t = timeConstant(L.fp[0]), step = dt(L);
  s.a = t / (t + step);
  s.b = step / (t + step);
}

void setInteCoefficients(const FbLayout& L, InteState& s) {
  s.k = dt(L) / L.fp[kInteT];
  s.h = (L.fp[kInteMax] - L.fp[kInteMin]) / 100.0f;
}

// The limiter of INTE: y = c held to Min..Max with the limit outputs and their hysteresis.
// A candidate that is not a number keeps the output.
void inteLimit(const FbLayout& L, InteState& s, float c) {
  const float upper = L.fp[kInteMax], lower = L.fp[kInteMin], h = s.h;
  if (std::isnan(c)) c = L.ao[0];
  uint16_t atMax = 0, atMin = 0;
  if (c > upper) {
    c = upper;
    atMax = 1;
    s.r = 0.0f;
  } else if (c < lower) {
    c = lower;
    atMin = 1;
    s.r = 0.0f;
  } else if (L.dout[kOutMax] != 0 && c > upper - h) {
    atMax = 1;
  } else if (L.dout[kOutMin] != 0 && c < lower + h) {
    atMin = 1;
  }
  L.ao[0] = c;
  L.dout[kOutMax] = atMax;
  L.dout[kOutMin] = atMin;
}

// The read index n samples behind the write index (n held to the ring).
uint16_t readIndex(uint16_t w, uint32_t n) {
  n = std::min<uint32_t>(n, BLK_DELAY_RING - 1);
  return static_cast<uint16_t>((w + BLK_DELAY_RING - n) % BLK_DELAY_RING);
}

// DELAY2's delay in samples: 0 for "Td" 0, else Td / dt times 0.99999 rounded up, at most
// 255 (all in single precision).
uint32_t delay2Samples(const FbLayout& L) {
  const float td = L.fp[0];
  if (td == 0.0f) return 0;
  const float samples = td / dt(L) * 0.99999f;
  return std::min<uint32_t>(FW_FloatToU32(std::ceil(samples)), BLK_DELAY_RING - 1);
}

void clearRing(DelayRing& d, float value) {
  for (FbF32& f : d.ring) f = value;
}

// One cycle of a dead time: reset, preset, release of the preset, or a sample when
// `sample` is set; then the previous reset and preset.
void delayCycle(const FbLayout& L, DelayRing& d, uint16_t reset, uint16_t preset, bool sample) {
  if (reset) {
    if (!d.prevReset) {
      clearRing(d, 0.0f);
      L.ao[0] = 0.0f;
    }
  } else if (preset) {
    L.ao[0] = FW_ClampValue(BLK_AnalogIn(L, kInPreset));
  } else if (d.prevPreset) {
    const float p = FW_ClampValue(BLK_AnalogIn(L, kInPreset));
    clearRing(d, p);
    L.ao[0] = p;
  } else if (sample) {
    d.ring[d.w % BLK_DELAY_RING] = FW_ClampValue(BLK_AnalogIn(L, kInX));
    d.w = static_cast<uint16_t>((d.w + 1) % BLK_DELAY_RING);
    L.ao[0] = d.ring[d.rd % BLK_DELAY_RING].get();
    d.rd = static_cast<uint16_t>((d.rd + 1) % BLK_DELAY_RING);
  }
  d.prevReset = reset;
  d.prevPreset = preset;
}

// Cold start of a dead time: ring, indexes and previous inputs cleared, output 0.
void delayColdStart(const FbLayout& L, DelayRing& d) {
  d.w = d.rd = d.prevReset = d.prevPreset = 0;
  clearRing(d, 0.0f);
  L.ao[0] = 0.0f;
}

uint16_t isSet(uint16_t v) { return v != 0 ? 1 : 0; }

}  // namespace

// ---------------------------------------------------------------------------------------
// LEAD: y = y0 + v, where v follows the input's change times "a" and decays with k
// (a derivative with time constant T). The sum carries its rounding loss in r.

void FB_LEAD_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LeadState& s = BLK_WorkState<LeadState>(L);
  const float x = BLK_AnalogIn(L, kInX), y0 = L.fp[1];
  float y = y0;
  if (BLK_DigitalIn(L, kInReset) != 0) {
    s.v = 0.0f;
    s.r = 0.0f;
  } else {
    const float xPrev = s.xPrev, k = s.k;
    const uint16_t mode = L.wv[0];
    const bool counts = mode == LEAD_MODE_BOTH || (mode == LEAD_MODE_RISING && x > xPrev) ||
                        (mode == LEAD_MODE_FALLING && x < xPrev);
    const float g = counts ? L.fp[0] : 0.0f;
    // An input that is not a number (or an infinite step without gain) adds nothing.
    float change = (x - xPrev) * g * k;
    if (std::isnan(change)) change = 0.0f;
    const float e = change + s.r;
    float v = s.v, r = s.r;
    if (beyondBound(e)) {
      v = bound(e);
      r = 0.0f;
    } else {
      const float p = k * v;
      const float vNew = p + e;
      r = e - (vNew - p);
      v = vNew;
      // The sum itself stays within the bound too, so that it can never overflow.
      if (beyondBound(v)) {
        v = bound(v);
        r = 0.0f;
      }
    }
    y = y0 + v;
    if (beyondBound(y)) {
      y = bound(y);
      r = 0.0f;
    }
    s.v = v;
    s.r = r;
  }
  s.xPrev = x;
  L.ao[0] = FW_ClampValue(y);
  if (FB_ApplyPendingFloats(L.block) != FB_APPLY_NONE) s.k = leadCoefficient(L);
}

// "Mode" written by a request takes effect here, at the start-up pass.
void FB_LEAD_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LeadState& s = BLK_WorkState<LeadState>(L);
  L.wv[0] = L.wv[1];
  s.k = leadCoefficient(L);
  if (!BLK_ColdStart()) return;
  s.v = s.xPrev = s.r = 0.0f;
  L.ao[0] = FW_ClampValue(L.fp[1]);
}

// ---------------------------------------------------------------------------------------
// INTE: y integrates (x + x 0) / T between Min and Max; reset to Min, preset from "y 0"
// or the "Preset" input, stop holds. The limit outputs "max" and "min" have a hysteresis
// of 1 % of the range.

void FB_INTE_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  InteState& s = BLK_WorkState<InteState>(L);
  if (BLK_DigitalIn(L, kInteReset) != 0) {
    L.ao[0] = L.fp[kInteMin].get();
    L.dout[kOutMax] = L.dout[kOutMin] = 0;
    s.r = 0.0f;
  } else if (BLK_DigitalIn(L, kIntePreset) != 0) {
    const float c = L.wp[0] == INTE_PRESET_INPUT ? BLK_AnalogIn(L, kInPreset) : L.fp[kInteY0].get();
    s.r = 0.0f;
    inteLimit(L, s, c);
  } else if (BLK_DigitalIn(L, kInteStop) == 0) {
    // An input that is not a number (or a zero input times an infinite k) adds nothing.
    float change = (BLK_AnalogIn(L, kInX) + L.fp[kInteX0]) * s.k;
    if (std::isnan(change)) change = 0.0f;
    const float e = change + s.r;
    const float y = L.ao[0];
    float c;
    if (beyondBound(e)) {
      c = bound(e);
      s.r = 0.0f;
    } else {
      c = y + e;
      s.r = e - (c - y);
    }
    inteLimit(L, s, c);
  }
  const uint8_t floats = FB_ApplyPendingFloats(L.block);
  const uint8_t mode = FB_ApplyPendingWords(L.block);
  if (floats != FB_APPLY_NONE || mode != FB_APPLY_NONE) setInteCoefficients(L, s);
}

void FB_INTE_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  InteState& s = BLK_WorkState<InteState>(L);
  setInteCoefficients(L, s);
  if (!BLK_ColdStart()) return;
  L.ao[0] = FW_ClampValue(L.fp[kInteMin]);
  L.dout[kOutMax] = L.dout[kOutMin] = 0;
  s.r = 0.0f;
}

// ---------------------------------------------------------------------------------------
// LAG: y = b x + a y; "reset" passes the input.

void FB_LAG_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LagState& s = BLK_WorkState<LagState>(L);
  const float x = BLK_AnalogIn(L, kInX);
  const float y = BLK_DigitalIn(L, kInReset) != 0 ? x : s.b * x + s.a * L.ao[0];
  L.ao[0] = FW_ClampValue(y);
  if (FB_ApplyPendingFloats(L.block) != FB_APPLY_NONE) setLagCoefficients(L, s);
}

void FB_LAG_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  setLagCoefficients(L, BLK_WorkState<LagState>(L));
  if (BLK_ColdStart()) L.ao[0] = 0.0f;
}

// ---------------------------------------------------------------------------------------
// FILTER: LAG inside a band of "Diff" around the output; outside it (or on "reset") the
// output follows the input at once.

void FB_FILTER_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LagState& s = BLK_WorkState<LagState>(L);
  const float x = BLK_AnalogIn(L, kInX), y = L.ao[0];
  const bool filtered = BLK_DigitalIn(L, kInReset) == 0 && L.fp[1] >= std::fabs(x - y);
  L.ao[0] = FW_ClampValue(filtered ? s.b * x + s.a * y : x);
  if (FB_ApplyPendingFloats(L.block) != FB_APPLY_NONE) setLagCoefficients(L, s);
}

void FB_FILTER_Init() { FB_LAG_Init(); }

// ---------------------------------------------------------------------------------------
// DELAY: the input of "Delay" clock samples before. Without a wired "clock" it samples in
// every cycle, else on each rising edge of "clock".

void FB_DELAY_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  DelayState& s = BLK_WorkState<DelayState>(L);
  const uint16_t clock = isSet(BLK_DigitalIn(L, kDelayClock));
  const bool sample = L.di[kDelayClock] == FB_REF_ZERO || (clock && !s.prevClock);
  delayCycle(L, s.d, isSet(BLK_DigitalIn(L, kDelayReset)), isSet(BLK_DigitalIn(L, kDelayPreset)),
             sample);
  s.prevClock = clock;
  if (FB_ApplyPendingWords(L.block) != FB_APPLY_NONE) s.d.rd = readIndex(s.d.w, L.wp[0]);
}

void FB_DELAY_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  DelayState& s = BLK_WorkState<DelayState>(L);
  if (BLK_ColdStart()) {
    s.prevClock = 0;
    delayColdStart(L, s.d);
  }
  s.d.rd = readIndex(s.d.w, L.wp[0]);
}

// ---------------------------------------------------------------------------------------
// DELAY2: the input of "Td" seconds before, sampled in every cycle.

void FB_DELAY2_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  DelayRing& d = BLK_WorkState<DelayRing>(L);
  delayCycle(L, d, isSet(BLK_DigitalIn(L, kDelayReset)), isSet(BLK_DigitalIn(L, kDelayPreset)),
             true);
  if (FB_ApplyPendingFloats(L.block) != FB_APPLY_NONE) d.rd = readIndex(d.w, delay2Samples(L));
}

void FB_DELAY2_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  DelayRing& d = BLK_WorkState<DelayRing>(L);
  if (BLK_ColdStart()) delayColdStart(L, d);
  d.rd = readIndex(d.w, delay2Samples(L));
}

// ---------------------------------------------------------------------------------------
// Parameter requests go through the standard handler and the limit tables; INTE's whole
// set is checked against the "Min" and "Max" it brings.

uint8_t FB_LEAD_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_INTE_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParamCross(r, bad); }
uint8_t FB_LAG_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_DELAY_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_DELAY2_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_FILTER_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }

// ---------------------------------------------------------------------------------------

void BLK_RegisterTimeFunctionTypes() {
  static constexpr BlkTypeRow kRows[] = {
      {&kLeadTemplate, FB_LEAD_Run, FB_LEAD_Init, FB_LEAD_Param, &kLeadLimits, 3, kGroupTime},
      {&kInteTemplate, FB_INTE_Run, FB_INTE_Init, FB_INTE_Param, &kInteLimits, 4, kGroupTime},
      {&kLagTemplate, FB_LAG_Run, FB_LAG_Init, FB_LAG_Param, &kLagLimits, 2, kGroupTime},
      {&kDelayTemplate, FB_DELAY_Run, FB_DELAY_Init, FB_DELAY_Param, &kDelayLimits, 2,
       kGroupTime},
      {&kDelay2Template, FB_DELAY2_Run, FB_DELAY2_Init, FB_DELAY2_Param, &kDelay2Limits, 2,
       kGroupTime2},
      {&kFilterTemplate, FB_FILTER_Run, FB_FILTER_Init, FB_FILTER_Param, &kFilterLimits, 2,
       kGroupTime2},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}
