#include "blocks/limit/limit.h"

#include <cmath>

#include "blocks/block_family.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

namespace {

// ---------------------------------------------------------------------------------------
// Own state, in the work words of the instance (zero at creation, kept over a warm start).

struct AllState {  // ALLP and ALLV
  FbF32 xPrev;      // input of the previous cycle (Select 1)
  FbF32 perSecond;  // 1 / dt
};
struct AlarmState {
  uint16_t s1;         // value alarm suppressed
  uint16_t s2;         // fail alarm suppressed
  uint16_t state;      // ALARM_INSIDE, ALARM_BELOW or ALARM_ABOVE
  uint16_t prevState;  // the state of the previous cycle
};
static_assert(sizeof(AllState) == 8 && sizeof(AlarmState) == 8);

// ---------------------------------------------------------------------------------------
// Templates. Every type has one text, its tag.

constexpr const char* kAllpTexts[] = {"ALLP"};
constexpr const char* kAllvTexts[] = {"ALLV"};
constexpr const char* kEqualTexts[] = {"EQUAL"};
constexpr const char* kVeloTexts[] = {"VELO"};
constexpr const char* kLimitTexts[] = {"LIMIT"};
constexpr const char* kAlarmTexts[] = {"ALARM"};

constexpr float kAllpFloats[] = {9999.0f, 9999.0f, -9999.0f, -9999.0f, 0.0f, 1.0f};
constexpr float kAllvFloats[] = {9999.0f, -9999.0f, 0.0f, 1.0f};  // H 2, L 2, X 0, Xsd
constexpr uint16_t kSelectValues[] = {ALL_SELECT_X};
constexpr float kEqualFloats[] = {0.0f};       // Diff
constexpr uint16_t kEqualWords[] = {0};        // Mode
constexpr float kVeloFloats[] = {0.0f, 0.0f};  // GrX +, GrX -
constexpr uint16_t kVeloWords[] = {0, 0};      // Mode +, Mode -
constexpr float kLimitFloats[] = {0, 0, 0, 0, 0, 0, 0, 0, 0};  // L 1 .. L 8, Xsd
constexpr uint16_t kLimitValues[] = {0, 0, 0, 0, 0, 0, 0, 0};  // Mode 1 .. Mode 8
constexpr float kAlarmFloats[] = {-10.0f, 10.0f, 0.0f};        // LimL, LimH, Lxsd
constexpr uint16_t kAlarmValues[] = {ALARM_FNC_VALUE};         // Fnc

constexpr FbTemplate kAllpTemplate{
    .size = 63, .type = BLK_TYPE_ALLP, .analogOutputs = 1, .digitalOutputs = 4,
    .analogInputs = 1, .floatParams = kAllpFloats, .wordValues = kSelectValues,
    .texts = kAllpTexts, .workWords = BLK_WorkWordsOf<AllState>()};
constexpr FbTemplate kAllvTemplate{
    .size = 59, .type = BLK_TYPE_ALLV, .analogOutputs = 1, .digitalOutputs = 4,
    .analogInputs = 3, .floatParams = kAllvFloats, .wordValues = kSelectValues,
    .texts = kAllvTexts, .workWords = BLK_WorkWordsOf<AllState>()};
constexpr FbTemplate kEqualTemplate{
    .size = 43, .type = BLK_TYPE_EQUAL, .digitalOutputs = 6, .analogInputs = 3,
    .floatParams = kEqualFloats, .wordParams = kEqualWords, .texts = kEqualTexts};
constexpr FbTemplate kVeloTemplate{
    .size = 49, .type = BLK_TYPE_VELO, .analogOutputs = 1, .analogInputs = 3,
    .digitalInputs = 2, .floatParams = kVeloFloats, .wordParams = kVeloWords,
    .texts = kVeloTexts};
constexpr FbTemplate kLimitTemplate{
    .size = 87, .type = BLK_TYPE_LIMIT, .digitalOutputs = 8, .analogInputs = 1,
    .floatParams = kLimitFloats, .wordValues = kLimitValues, .texts = kLimitTexts};
constexpr FbTemplate kAlarmTemplate{
    .size = 50, .type = BLK_TYPE_ALARM, .digitalOutputs = 1, .analogInputs = 1,
    .digitalInputs = 2, .floatParams = kAlarmFloats, .wordValues = kAlarmValues,
    .texts = kAlarmTexts, .workWords = BLK_WorkWordsOf<AlarmState>()};

// Positions of inputs, parameters and outputs.
enum : unsigned { kAllpH1 = 0, kAllpH2 = 1, kAllpL1 = 2, kAllpL2 = 3, kAllpX0 = 4, kAllpXsd = 5 };
enum : unsigned { kAllvH2 = 0, kAllvL2 = 1, kAllvX0 = 2, kAllvXsd = 3 };
enum : unsigned { kInX = 0, kInH1 = 1, kInL1 = 2 };       // ALLV analog inputs
enum : unsigned { kInX2 = 1, kInDiff = 2 };               // EQUAL analog inputs
enum : unsigned { kInRise = 1, kInFall = 2 };             // VELO analog inputs
enum : unsigned { kOffRise = 0, kOffFall = 1 };           // VELO digital inputs
enum : unsigned { kInFail = 0, kInStop = 1 };             // ALARM digital inputs
enum : unsigned { kOutH1 = 0, kOutH2 = 1, kOutL1 = 2, kOutL2 = 3 };
enum : unsigned { kAlarmLow = 0, kAlarmHigh = 1, kAlarmXsd = 2 };
constexpr unsigned kLimitCount = 8;  // LIMIT's comparators; "Xsd" follows their limits

// ---------------------------------------------------------------------------------------
// Limits; the operating pages show every float with 3 decimals.

constexpr float kLow = -29999.0f, kHigh = 999999.0f;
constexpr FwFloatLimit kValue{.min = kLow, .max = kHigh, .attribute = 3};
constexpr FwFloatLimit kPositive{.min = 0.0f, .max = kHigh, .attribute = 3};
constexpr FwShortLimit kOnOff{.min = 0, .max = 1};
constexpr FwShortLimit kThreeWay{.min = 0, .max = 2};

constexpr FwFloatLimit kAllpFloatLimits[] = {kValue, kValue, kValue, kValue, kValue, kPositive};
constexpr FwFloatLimit kAllvFloatLimits[] = {kValue, kValue, kValue, kPositive};
constexpr FwShortLimit kSelectLimits[] = {kThreeWay};
constexpr FwFloatLimit kEqualFloatLimits[] = {kPositive};
constexpr FwShortLimit kEqualWordLimits[] = {kOnOff};
constexpr FwFloatLimit kVeloFloatLimits[] = {kPositive, {.min = kLow, .max = 0.0f, .attribute = 3}};
constexpr FwShortLimit kVeloWordLimits[] = {kOnOff, kOnOff};
constexpr FwFloatLimit kLimitFloatLimits[] = {kValue, kValue, kValue, kValue, kValue,
                                              kValue, kValue, kValue, kPositive};
constexpr FwShortLimit kLimitValueLimits[] = {kOnOff, kOnOff, kOnOff, kOnOff,
                                              kOnOff, kOnOff, kOnOff, kOnOff};
constexpr FwFloatLimit kAlarmFloatLimits[] = {kValue, kValue, kPositive};
constexpr FwShortLimit kAlarmValueLimits[] = {kThreeWay};

constexpr FbLimitTable kAllpLimits{.floatParams = kAllpFloatLimits, .wordValues = kSelectLimits};
constexpr FbLimitTable kAllvLimits{.floatParams = kAllvFloatLimits, .wordValues = kSelectLimits};
constexpr FbLimitTable kEqualLimits{.wordParams = kEqualWordLimits,
                                    .floatParams = kEqualFloatLimits};
constexpr FbLimitTable kVeloLimits{.wordParams = kVeloWordLimits,
                                   .floatParams = kVeloFloatLimits};
constexpr FbLimitTable kLimitLimits{.floatParams = kLimitFloatLimits,
                                    .wordValues = kLimitValueLimits};
constexpr FbLimitTable kAlarmLimits{.floatParams = kAlarmFloatLimits,
                                    .wordValues = kAlarmValueLimits};

// Catalogue groups of the family.
enum : uint16_t { kGroupLimitSignalling = 15, kGroupLimitAlarm = 16 };

// EQUAL's six outputs ("X1>X2", "X1=X2", "X1<X2", "X1=<X2", "X1<>X2", "X1>=X2") by outcome.
enum : unsigned { kEqual = 0, kGreater = 1, kLess = 2 };
constexpr uint16_t kEqualOutputs[3][6] = {
    {0, 1, 0, 1, 0, 1},  // x1 within x2 +- d
    {1, 0, 0, 0, 1, 1},  // x1 above
    {0, 0, 1, 1, 1, 0},  // x1 below
};

// ---------------------------------------------------------------------------------------
// Shared steps

// A maximum comparator is set when s rises above the limit and cleared when s falls to
// limit - h or below; a minimum comparator mirrors it. Between the thresholds (and for an
// s that is not a number) the output keeps its value.
uint16_t maxComparator(uint16_t out, float s, float limit, float h) {
  if (s > limit) return 1;
  if (s <= limit - h) return 0;
  return out != 0 ? 1 : 0;
}
uint16_t minComparator(uint16_t out, float s, float limit, float h) {
  if (s < limit) return 1;
  if (s >= limit + h) return 0;
  return out != 0 ? 1 : 0;
}

// The signal ALLP and ALLV watch, by "Select".
float watchedSignal(const FbLayout& L, AllState& st, float x0) {
  const float x = BLK_AnalogIn(L, kInX);
  switch (L.wv[0]) {
    case ALL_SELECT_RATE: {
      const float s = (x - st.xPrev) * st.perSecond;
      st.xPrev = x;
      return s;
    }
    case ALL_SELECT_DEVIATION: return x - x0;
    default: return x;
  }
}

// ALLP and ALLV: "Y 1" is s held between l1 and h1 (h1 wins when they cross); the four
// comparators watch s itself.
void signalLimits(const FbLayout& L, float s, float h1, float h2, float l1, float l2, float h) {
  const float y = (s > h1 || l1 > h1) ? h1 : (s < l1 ? l1 : s);
  L.ao[0] = FW_ClampValue(y);
  L.dout[kOutH1] = maxComparator(L.dout[kOutH1], s, h1, h);
  L.dout[kOutH2] = maxComparator(L.dout[kOutH2], s, h2, h);
  L.dout[kOutL1] = minComparator(L.dout[kOutL1], s, l1, h);
  L.dout[kOutL2] = minComparator(L.dout[kOutL2], s, l2, h);
}

// Init of ALLP and ALLV: "Select" taken over, 1/dt; a cold start clears the outputs and the
// previous input.
void initSignalLimits(const FbLayout& L) {
  AllState& st = BLK_WorkState<AllState>(L);
  L.wv[0] = L.wv[1];
  st.perSecond = 1.0f / FB_BlockCycleTime(L.block);
  if (!BLK_ColdStart()) return;
  st.xPrev = 0.0f;
  L.ao[0] = 0.0f;
  for (unsigned i = 0; i < 4; ++i) L.dout[i] = 0;
}

// An unconnected limit input reads a bound that it never reaches.
void pointAtIfUnconnected(FbRef& ref, uint32_t constant) {
  if (ref == FB_REF_ZERO) ref = constant;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// ALLP: limit signalling with the limits as parameters.

void FB_ALLP_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float s = watchedSignal(L, BLK_WorkState<AllState>(L), L.fp[kAllpX0]);
  signalLimits(L, s, L.fp[kAllpH1], L.fp[kAllpH2], L.fp[kAllpL1], L.fp[kAllpL2], L.fp[kAllpXsd]);
  FB_ApplyPendingFloats(L.block);
}

void FB_ALLP_Init() {
  FbLayout L;
  if (FB_CurrentLayout(&L)) initSignalLimits(L);
}

// ---------------------------------------------------------------------------------------
// ALLV: limit signalling with the first upper and lower limit from the inputs.

void FB_ALLV_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float s = watchedSignal(L, BLK_WorkState<AllState>(L), L.fp[kAllvX0]);
  signalLimits(L, s, BLK_AnalogIn(L, kInH1), L.fp[kAllvH2], BLK_AnalogIn(L, kInL1),
               L.fp[kAllvL2], L.fp[kAllvXsd]);
  FB_ApplyPendingFloats(L.block);
}

void FB_ALLV_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  pointAtIfUnconnected(L.ai[kInH1], FB_REF_POS_MAX);
  pointAtIfUnconnected(L.ai[kInL1], FB_REF_NEG_MAX);
  initSignalLimits(L);
}

// ---------------------------------------------------------------------------------------
// EQUAL: "X 1" against "X 2" with the tolerance "Diff" (parameter, or input by "Mode").

void FB_EQUAL_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  float d = L.fp[0];
  if (L.wp[0] == 1) {
    const float in = BLK_AnalogIn(L, kInDiff);
    d = in >= 0.0f && in <= kHigh ? in : 0.0f;
  }
  const float x1 = BLK_AnalogIn(L, kInX), x2 = BLK_AnalogIn(L, kInX2);
  const unsigned outcome = (x1 >= x2 - d && x1 <= x2 + d) ? kEqual
                           : x1 > x2 + d                  ? kGreater
                                                          : kLess;
  for (unsigned i = 0; i < 6; ++i) L.dout[i] = kEqualOutputs[outcome][i];
  FB_ApplyPendingFloats(L.block);
  FB_ApplyPendingWords(L.block);
}

void FB_EQUAL_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L) || !BLK_ColdStart()) return;
  for (unsigned i = 0; i < 6; ++i) L.dout[i] = i < 3 ? 0 : 1;
}

// ---------------------------------------------------------------------------------------
// VELO: "Y 1" follows "X 1" at no more than the rise and fall limits per second. A
// parameter of 0 switches its limit off; an input of 0 (or of the wrong sign) holds.

void FB_VELO_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float x = BLK_AnalogIn(L, kInX), y = L.ao[0], step = FB_BlockCycleTime(L.block);
  float out;
  if (x >= y) {
    const bool fromInput = L.wp[0] == 1;
    float g = L.fp[0];
    if (fromInput) {
      const float in = BLK_AnalogIn(L, kInRise);
      g = in > kHigh ? FW_VALUE_MAX : (in < 0.0f ? 0.0f : in);
    }
    if (BLK_DigitalIn(L, kOffRise) != 0 || (!fromInput && L.fp[0] <= 0.0f) || g >= kHigh) {
      out = x;
    } else {
      const float ramp = y + g * step;
      out = ramp < x ? ramp : x;
    }
  } else {
    const bool fromInput = L.wp[1] == 1;
    float g = L.fp[1];
    if (fromInput) {
      const float in = BLK_AnalogIn(L, kInFall);
      g = in < kLow ? -FW_VALUE_MAX : (in > 0.0f ? 0.0f : in);
    }
    if (BLK_DigitalIn(L, kOffFall) != 0 || (!fromInput && L.fp[1] >= 0.0f) || g <= kLow) {
      out = x;
    } else {
      const float ramp = y + g * step;
      out = ramp > x ? ramp : x;
    }
  }
  L.ao[0] = FW_ClampValue(out);
  FB_ApplyPendingFloats(L.block);
  FB_ApplyPendingWords(L.block);
}

void FB_VELO_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  pointAtIfUnconnected(L.ai[kInRise], FB_REF_POS_MAX);
  pointAtIfUnconnected(L.ai[kInFall], FB_REF_NEG_MAX);
  if (BLK_ColdStart()) L.ao[0] = 0.0f;
}

// ---------------------------------------------------------------------------------------
// LIMIT: eight comparators of "X 1", each a maximum or a minimum one by its mode.

void FB_LIMIT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float x = BLK_AnalogIn(L, kInX), h = L.fp[kLimitCount];
  for (unsigned i = 0; i < kLimitCount; ++i) {
    L.dout[i] = L.wv[i] == LIMIT_MODE_MIN ? minComparator(L.dout[i], x, L.fp[i], h)
                                          : maxComparator(L.dout[i], x, L.fp[i], h);
  }
  FB_ApplyPendingFloats(L.block);
}

// The modes written by requests take effect here, at the start-up pass.
void FB_LIMIT_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  for (unsigned i = 0; i < kLimitCount; ++i) L.wv[i] = L.wv[kLimitCount + i];
  if (!BLK_ColdStart()) return;
  for (unsigned i = 0; i < kLimitCount; ++i) L.dout[i] = 0;
}

// ---------------------------------------------------------------------------------------
// ALARM: "alarm" from "X 1" outside "LimL".."LimH" and from "fail", by "Fnc". "stop"
// acknowledges: the value alarm stays suppressed until x returns inside the limits (with
// the hysteresis) or crosses to the other limit, the fail alarm until "fail" drops.

void FB_ALARM_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  AlarmState& s = BLK_WorkState<AlarmState>(L);
  const float x = BLK_AnalogIn(L, kInX);
  const float low = L.fp[kAlarmLow], high = L.fp[kAlarmHigh], h = L.fp[kAlarmXsd];
  const uint16_t a = s.state;
  s.prevState = a;
  uint16_t b = a;
  if (a != ALARM_INSIDE && x >= low + h && x <= high - h) b = ALARM_INSIDE;
  if (x > high) {
    b = ALARM_ABOVE;
  } else if (x < low) {
    b = ALARM_BELOW;
  }
  s.state = b;

  if (BLK_DigitalIn(L, kInStop) != 0) {
    s.s1 = s.s2 = 1;
    L.dout[0] = 0;
  } else {
    if (b == ALARM_INSIDE || a + b == ALARM_BELOW + ALARM_ABOVE) s.s1 = 0;
    const uint16_t fnc = L.wv[0];
    const bool watchesValue = fnc == ALARM_FNC_VALUE || fnc == ALARM_FNC_VALUE_FAIL;
    const bool watchesFail = fnc == ALARM_FNC_VALUE_FAIL || fnc == ALARM_FNC_FAIL;
    const bool value = watchesValue && s.s1 == 0 && b != ALARM_INSIDE;
    const bool fail = BLK_DigitalIn(L, kInFail) != 0;
    if (!fail) s.s2 = 0;
    const bool alarm = value || (watchesFail && s.s2 == 0 && fail);
    if (alarm) s.s1 = s.s2 = 0;
    L.dout[0] = alarm ? 1 : 0;
  }
  FB_ApplyPendingFloats(L.block);
}

// "Fnc" written by a request takes effect here, at the start-up pass.
void FB_ALARM_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L.wv[0] = L.wv[1];
  if (!BLK_ColdStart()) return;
  AlarmState& s = BLK_WorkState<AlarmState>(L);
  s.s1 = s.s2 = 0;
  s.state = s.prevState = ALARM_INSIDE;
  L.dout[0] = 0;
}

// ---------------------------------------------------------------------------------------
// Parameter requests: every type takes its parameters through the standard handler and its
// limit table.

uint8_t FB_ALLP_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_ALLV_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_EQUAL_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_VELO_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_LIMIT_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_ALARM_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }

// ---------------------------------------------------------------------------------------

void BLK_RegisterLimitTypes() {
  static constexpr BlkTypeRow kRows[] = {
      {&kAllpTemplate, FB_ALLP_Run, FB_ALLP_Init, FB_ALLP_Param, &kAllpLimits, 2,
       kGroupLimitSignalling},
      {&kAllvTemplate, FB_ALLV_Run, FB_ALLV_Init, FB_ALLV_Param, &kAllvLimits, 4,
       kGroupLimitSignalling},
      {&kEqualTemplate, FB_EQUAL_Run, FB_EQUAL_Init, FB_EQUAL_Param, &kEqualLimits, 2,
       kGroupLimitSignalling},
      {&kVeloTemplate, FB_VELO_Run, FB_VELO_Init, FB_VELO_Param, &kVeloLimits, 2,
       kGroupLimitAlarm},
      {&kLimitTemplate, FB_LIMIT_Run, FB_LIMIT_Init, FB_LIMIT_Param, &kLimitLimits, 4,
       kGroupLimitAlarm},
      {&kAlarmTemplate, FB_ALARM_Run, FB_ALARM_Init, FB_ALARM_Param, &kAlarmLimits, 3,
       kGroupLimitAlarm},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}
