// Templates, limits, parameter handlers and rows of the timer and counter types. The
// instance sizes follow from the groups and the own state records of timer.h.
#include <bit>
#include <cmath>
#include <limits>

#include "blocks/block_family.h"
#include "blocks/timer/timer.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"

namespace {

// ---------------------------------------------------------------------------------------
// Templates. Every type has one text, its tag.

constexpr const char* kMonoTexts[] = {"MONO"};
constexpr const char* kTimerTexts[] = {"TIMER"};
constexpr const char* kTonoffTexts[] = {"TONOFF"};
constexpr const char* kTime2Texts[] = {"TIME2"};
constexpr const char* kPulsTexts[] = {"PULS"};
constexpr const char* kCountTexts[] = {"COUN"};
constexpr const char* kMeanTexts[] = {"MEAN"};

constexpr float kMonoFloats[] = {1.0f, 1.0f};                      // Tp1, Tp2 (s)
constexpr uint16_t kMonoWords[] = {MONO_MODE_PARAM, MONO_MODE_PARAM};  // Mode 1, Mode 2
constexpr uint16_t kTimerWords[] = {0, 0, 0, 0, 0, 0, 0};          // TS.Mo .. TD.Mi
constexpr uint16_t kTimerValues[] = {TIMER_CYCLICAL, TIMER_DAILY};  // Func 1, Func 2
constexpr float kTonoffFloats[] = {0.0f, 0.0f};                    // Ton, Toff (s)
constexpr uint16_t kTonoffValues[] = {TONOFF_MODE_PARAM};          // Mode
constexpr uint16_t kTime2Words[] = {0, 0, 0, 0, 0, 0};             // TS.Dy .. TD.Mi
constexpr float kPulsFloats[] = {0.0f, 1.0f, 0.0f};                // X 0, X 100, Puls/h
constexpr float kCountFloats[] = {0.0f, 9999.0f, 0.0f};            // y0, Max, Min
constexpr uint16_t kCountWords[] = {COUNT_PRESET_PARAM};           // Mode
constexpr uint16_t kMeanValues[] = {BLK_MEAN_RING, MEAN_UNIT_SEC};  // ValNo, Unit
constexpr uint32_t kMeanLongs[] = {std::bit_cast<uint32_t>(1.0f)};  // Sample

constexpr FbTemplate kMonoTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_MONO, .digitalOutputs = 4, .analogInputs = 2, .digitalInputs = 2,
     .floatParams = kMonoFloats, .wordParams = kMonoWords, .texts = kMonoTexts,
     .workWords = BLK_WorkWordsOf<MonoState>()});
constexpr FbTemplate kTimerTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_TIMER, .analogOutputs = 1, .digitalOutputs = 1, .digitalInputs = 1,
     .wordParams = kTimerWords, .wordValues = kTimerValues, .texts = kTimerTexts,
     .workWords = BLK_WorkWordsOf<TimerState>()});
constexpr FbTemplate kTonoffTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_TONOFF, .digitalOutputs = 2, .analogInputs = 2, .digitalInputs = 1,
     .floatParams = kTonoffFloats, .wordValues = kTonoffValues, .texts = kTonoffTexts,
     .workWords = BLK_WorkWordsOf<TonoffState>()});
constexpr FbTemplate kTime2Template = FB_SizedTemplate(
    {.type = BLK_TYPE_TIME2, .analogOutputs = 1, .digitalOutputs = 2, .digitalInputs = 3,
     .wordParams = kTime2Words, .texts = kTime2Texts, .workWords = BLK_WorkWordsOf<Time2State>()});
constexpr FbTemplate kPulsTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_PULS, .digitalOutputs = 1, .analogInputs = 1, .floatParams = kPulsFloats,
     .texts = kPulsTexts, .workWords = BLK_WorkWordsOf<PulsState>()});
constexpr FbTemplate kCountTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_COUNT, .analogOutputs = 1, .digitalOutputs = 2, .analogInputs = 1,
     .digitalInputs = 4, .floatParams = kCountFloats, .wordParams = kCountWords,
     .texts = kCountTexts, .workWords = BLK_WorkWordsOf<CountState>()});
constexpr FbTemplate kMeanTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_MEAN, .analogOutputs = 1, .digitalOutputs = 1, .analogInputs = 1,
     .digitalInputs = 3, .longValues = kMeanLongs, .wordValues = kMeanValues,
     .texts = kMeanTexts, .workWords = BLK_WorkWordsOf<MeanState>()});

// ---------------------------------------------------------------------------------------
// Limits. Times are shown with 1 decimal, counter values whole.

constexpr float kLow = -29999.0f, kHigh = 999999.0f;
constexpr FwShortLimit kChoice2{.min = 0, .max = 1};
constexpr FwShortLimit kHours{.min = 0, .max = 23};
constexpr FwShortLimit kMinutes{.min = 0, .max = 59};
constexpr FwShortLimit kDays{.min = 0, .max = 255};

// The pending copy of a block's float parameter k, or `fallback` when there is none.
float pendingFloat(uint16_t block, uint16_t k, float fallback) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || k >= L.floatParams) return fallback;
  return L.fp[L.floatParams + k].get();
}

// TIMER: the start day goes up to the length of the pending start month (31 for "every
// month", 29 for February).
int16_t startMonthDays(uint16_t block, int16_t) {
  FbLayout L;
  const uint16_t month =
      FB_GetLayout(block, &L) && L.wordParams > TIMER_TS_MO ? L.wp[L.wordParams + TIMER_TS_MO] : 0;
  if (month == 0 || month > 12) return 31;
  return static_cast<int16_t>(FW_DaysInMonth(month, 2000));  // a leap year
}

// PULS: "X 0" at least 0.001 below the pending "X 100", and "X 100" as far above "X 0".
float pulsX0Ceiling(uint16_t block) { return pendingFloat(block, PULS_X100, kHigh) - 0.001f; }
float pulsX100Floor(uint16_t block) { return pendingFloat(block, PULS_X0, kLow) + 0.001f; }

// COUNT: "y0" between the pending "Min" and "Max", and "Min" not above "Max".
float countFloor(uint16_t block) { return std::fmax(kLow, pendingFloat(block, COUNT_MIN, kLow)); }
float countCeiling(uint16_t block) {
  return std::fmin(kHigh, pendingFloat(block, COUNT_MAX, kHigh));
}

constexpr FwFloatLimit kPulseTime{.min = 0.1f, .max = kHigh, .attribute = 1};
constexpr FwFloatLimit kDelayTime{.min = 0.0f, .max = kHigh, .attribute = 1};

constexpr FwFloatLimit kMonoFloatLimits[] = {kPulseTime, kPulseTime};
constexpr FwShortLimit kMonoWordLimits[] = {kChoice2, kChoice2};
constexpr FwShortLimit kTimerWordLimits[] = {
    {.min = 0, .max = 12}, {.min = 0, .max = 31, .maxFn = startMonthDays}, kHours, kMinutes,
    kDays, kHours, kMinutes};
constexpr FwShortLimit kTimerValueLimits[] = {{.min = TIMER_CYCLICAL, .max = TIMER_ONCE},
                                              {.min = TIMER_DAILY, .max = TIMER_WEEKLY}};
constexpr FwFloatLimit kTonoffFloatLimits[] = {kDelayTime, kDelayTime};
constexpr FwShortLimit kTonoffValueLimits[] = {kChoice2};
constexpr FwShortLimit kTime2WordLimits[] = {kDays, kHours, kMinutes, kDays, kHours, kMinutes};
constexpr FwFloatLimit kPulsFloatLimits[] = {
    {.min = kLow, .max = kHigh, .maxFn = pulsX0Ceiling, .attribute = 3},
    {.min = kLow, .max = kHigh, .minFn = pulsX100Floor, .attribute = 3},
    {.min = 0.0f, .max = 18000.0f, .attribute = 0}};
constexpr FwFloatLimit kCountFloatLimits[] = {
    {.min = kLow, .max = kHigh, .minFn = countFloor, .maxFn = countCeiling, .attribute = 0},
    {.min = kLow, .max = kHigh, .minFn = countFloor, .attribute = 0},
    {.min = kLow, .max = kHigh, .maxFn = countCeiling, .attribute = 0}};
constexpr FwShortLimit kCountWordLimits[] = {kChoice2};
constexpr FwShortLimit kMeanValueLimits[] = {{.min = 1, .max = BLK_MEAN_RING},
                                             {.min = MEAN_UNIT_SEC, .max = MEAN_UNIT_HR}};
constexpr FwFloatLimit kMeanLongLimits[] = {{.min = 0.1f, .max = kHigh, .attribute = 1}};

constexpr FbLimitTable kMonoLimits{.wordParams = kMonoWordLimits, .floatParams = kMonoFloatLimits};
constexpr FbLimitTable kTimerLimits{.wordParams = kTimerWordLimits,
                                    .wordValues = kTimerValueLimits};
constexpr FbLimitTable kTonoffLimits{.floatParams = kTonoffFloatLimits,
                                     .wordValues = kTonoffValueLimits};
constexpr FbLimitTable kTime2Limits{.wordParams = kTime2WordLimits};
constexpr FbLimitTable kPulsLimits{.floatParams = kPulsFloatLimits};
constexpr FbLimitTable kCountLimits{.wordParams = kCountWordLimits,
                                    .floatParams = kCountFloatLimits};
constexpr FbLimitTable kMeanLimits{.wordValues = kMeanValueLimits,
                                   .longValues = kMeanLongLimits};

// The checks of MONO's and TONOFF's times by request: above 0 and at least 0, finite. The
// limit tables above are what the pages offer.
constexpr FwFloatLimit kAboveZero{.min = std::numeric_limits<float>::denorm_min(),
                                  .max = std::numeric_limits<float>::max()};
constexpr FwFloatLimit kNotNegative{.min = 0.0f, .max = std::numeric_limits<float>::max()};
constexpr FwFloatLimit kMonoChecks[] = {kAboveZero, kAboveZero};
constexpr FwFloatLimit kTonoffChecks[] = {kNotNegative, kNotNegative};

// Catalogue groups of the family.
enum : uint16_t { kGroupTimer = 4, kGroupCounter = 5 };

// ---------------------------------------------------------------------------------------
// Parameter handlers

// The block of a request, or the result that refuses it: 'i' without a request, 'j' for a
// missing block.
uint8_t requestTarget(const FbParamRequest* r, uint16_t* bad) {
  if (bad) *bad = 0;
  if (!r) return FB_ERR_UNKNOWN_ID;
  return FB_GetInstance(r->block()) ? FB_OK : FB_ERR_NO_BLOCK;
}

// Float parameters `values` from position k on, written as one part of the float group and
// checked against `records` (empty: the limit table); the pending-copy and run-mode rules
// of a single write. 0 or 'l' (a single value carries no bad index).
uint8_t paramFloats(uint16_t block, uint16_t k, std::span<const float> values,
                    std::span<const FwFloatLimit> records = {}) {
  const FbParamRequest one = FB_SetRequest(block, FB_ID_WHOLE_SET, {}, values);
  const FbSetPart part{.firstItem = k,
                       .items = static_cast<uint16_t>(values.size()),
                       .itemLimits = records};
  uint16_t bad = 0;
  return FB_ParamCrossSetPart(&one, part, &bad);
}

// MONO and TONOFF: a time by itself, against its own check.
uint8_t paramTime(const FbParamRequest* r, const FwFloatLimit& check) {
  const float v = r->f32(FB_REQUEST_VALUE);
  return paramFloats(r->block(), static_cast<uint16_t>(r->id() - FB_ID_FLOAT), {&v, 1},
                     {&check, 1});
}

// COUNT: a float by itself, rounded to a whole number; a new "Max" or "Min" pulls the pending
// "y0" into the new range, so that the three stay consistent.
uint8_t countFloat(uint16_t block, uint16_t k, float value) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || L.floatParams != 3) return FB_ERR_UNKNOWN_ID;
  float set[3];
  for (uint16_t j = 0; j < 3; ++j) set[j] = L.fp[3 + j];
  set[k] = std::round(value);
  if (k != COUNT_Y0) set[COUNT_Y0] = std::fmin(std::fmax(set[COUNT_Y0], set[COUNT_MIN]), set[COUNT_MAX]);
  return paramFloats(block, 0, set);
}

}  // namespace

uint8_t FB_MONO_Param(FbParamRequest* r, uint16_t* bad) {
  if (const uint8_t e = requestTarget(r, bad)) return e;
  switch (r->id()) {
    case FB_ID_FLOAT:
    case FB_ID_FLOAT + 1:
      return paramTime(r, kAboveZero);
    case FB_ID_WORD:
    case FB_ID_WORD + 1:
      return FB_ParamWord(r->block(), static_cast<uint16_t>(r->id() - FB_ID_WORD),
                          r->u16(FB_REQUEST_VALUE));
    case FB_ID_WHOLE_SET:
      return FB_ParamCrossSetPart(r, {.words = 2, .items = 2, .itemLimits = kMonoChecks}, bad);
    default:
      return FB_ERR_UNKNOWN_ID;
  }
}

uint8_t FB_TONOFF_Param(FbParamRequest* r, uint16_t* bad) {
  if (const uint8_t e = requestTarget(r, bad)) return e;
  switch (r->id()) {
    case FB_ID_FLOAT:
    case FB_ID_FLOAT + 1:
      return paramTime(r, kNotNegative);
    case FB_ID_WORD_VALUE:
      return FB_ParamWordValue(r->block(), 0, r->u16(FB_REQUEST_VALUE));
    case FB_ID_WHOLE_SET:
      return FB_ParamCrossSetPart(r, {.items = 2, .itemLimits = kTonoffChecks}, bad);
    case FB_ID_ALL_VALUES:
      return FB_ParamAllValues(r, bad);
    default:
      return FB_ERR_UNKNOWN_ID;
  }
}

// "Max" and "Min" are rounded before their check; the whole set is checked against the
// values it brings, rounded likewise.
uint8_t FB_COUNT_Param(FbParamRequest* r, uint16_t* bad) {
  if (const uint8_t e = requestTarget(r, bad)) return e;
  const int16_t id = r->id();
  if (id >= FB_ID_FLOAT && id - FB_ID_FLOAT <= int{COUNT_MIN}) {
    return countFloat(r->block(), static_cast<uint16_t>(id - FB_ID_FLOAT),
                      r->f32(FB_REQUEST_VALUE));
  }
  if (id == FB_ID_WORD) return FB_ParamWord(r->block(), 0, r->u16(FB_REQUEST_VALUE));
  if (id != FB_ID_WHOLE_SET) return FB_ERR_UNKNOWN_ID;
  FbParamRequest rounded = *r;
  const uint32_t floatsAt = FB_REQUEST_ITEMS + 2;  // after the one word
  for (uint32_t j = 0; j < 3; ++j) {
    rounded.setF32(floatsAt + 4 * j, std::round(r->f32(floatsAt + 4 * j)));
  }
  return FB_ParamCrossSet(&rounded, bad);
}

// TIMER's start day and PULS's range read pending values of their neighbours; the others
// need no more than their limit records.
uint8_t FB_TIMER_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParamCross(r, bad); }
uint8_t FB_TIME2_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_PULS_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParamCross(r, bad); }
uint8_t FB_MEAN_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }

// ---------------------------------------------------------------------------------------

void BLK_RegisterTimerTypes() {
  static constexpr BlkTypeRow kRows[] = {
      {&kMonoTemplate, FB_MONO_Run, FB_MONO_Init, FB_MONO_Param, &kMonoLimits, 2, kGroupTimer},
      {&kTimerTemplate, FB_TIMER_Run, FB_TIMER_Init, FB_TIMER_Param, &kTimerLimits, 4,
       kGroupTimer},
      {&kTonoffTemplate, FB_TONOFF_Run, FB_TONOFF_Init, FB_TONOFF_Param, &kTonoffLimits, 2,
       kGroupTimer},
      {&kTime2Template, FB_TIME2_Run, FB_TIME2_Init, FB_TIME2_Param, &kTime2Limits, 3,
       kGroupTimer},
      {&kPulsTemplate, FB_PULS_Run, FB_PULS_Init, FB_PULS_Param, &kPulsLimits, 2, kGroupCounter},
      {&kCountTemplate, FB_COUNT_Run, FB_COUNT_Init, FB_COUNT_Param, &kCountLimits, 2,
       kGroupCounter},
      {&kMeanTemplate, FB_MEAN_Run, FB_MEAN_Init, FB_MEAN_Param, &kMeanLimits, 5, kGroupCounter},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}
