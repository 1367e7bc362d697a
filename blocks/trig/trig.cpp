#include "blocks/trig/trig.h"

#include <cmath>

#include "blocks/block_family.h"
#include "runtime/fb_blockdata.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

namespace {

// ---------------------------------------------------------------------------------------
// Templates. The trigonometric types share one layout: "X 1", "Y 1", the word parameter
// "Select" and the tag.

constexpr uint16_t kSelectDefault[] = {TRIG_DEGREES};

constexpr const char* kSinTexts[] = {"SIN"};
constexpr const char* kCosTexts[] = {"COS"};
constexpr const char* kTanTexts[] = {"TAN"};
constexpr const char* kCotTexts[] = {"COT"};
constexpr const char* kArcsinTexts[] = {"ARCSIN"};
constexpr const char* kArccosTexts[] = {"ARCCOS"};
constexpr const char* kArctanTexts[] = {"ARCTAN"};
constexpr const char* kArccotTexts[] = {"ARCCOT"};
constexpr const char* kTextTexts[] = {"TEXT", "TEXT_1", "TEXT_2", "TEXT_3", "TEXT_4"};

constexpr FbTemplate trigTemplate(uint16_t type, std::span<const char* const> texts) {
  return FbTemplate{.size = 31, .type = type, .analogOutputs = 1, .analogInputs = 1,
                    .wordParams = kSelectDefault, .texts = texts};
}
constexpr FbTemplate kSinTemplate = trigTemplate(BLK_TYPE_SIN, kSinTexts);
constexpr FbTemplate kCosTemplate = trigTemplate(BLK_TYPE_COS, kCosTexts);
constexpr FbTemplate kTanTemplate = trigTemplate(BLK_TYPE_TAN, kTanTexts);
constexpr FbTemplate kCotTemplate = trigTemplate(BLK_TYPE_COT, kCotTexts);
constexpr FbTemplate kArcsinTemplate = trigTemplate(BLK_TYPE_ARCSIN, kArcsinTexts);
constexpr FbTemplate kArccosTemplate = trigTemplate(BLK_TYPE_ARCCOS, kArccosTexts);
constexpr FbTemplate kArctanTemplate = trigTemplate(BLK_TYPE_ARCTAN, kArctanTexts);
constexpr FbTemplate kArccotTemplate = trigTemplate(BLK_TYPE_ARCCOT, kArccotTexts);
constexpr FbTemplate kTextTemplate{
    .size = 69, .type = BLK_TYPE_TEXT, .analogOutputs = 1, .analogInputs = 3,
    .texts = kTextTexts, .workWords = BLK_WorkWordsOf<TextBlockState>()};

constexpr FwShortLimit kSelectLimits[] = {{.min = TRIG_DEGREES, .max = TRIG_RADIANS}};
constexpr FbLimitTable kTrigLimits{.wordParams = kSelectLimits};

// Catalogue groups of the family.
enum : uint16_t { kGroupTrig = 4, kGroupArc = 5, kGroupPages = 17 };

// ---------------------------------------------------------------------------------------
// Angles and results

constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707963705062866f;

float toRadians(float x, uint16_t select) {
  return select == TRIG_RADIANS ? x : x * kPi / 180.0f;
}
float fromRadians(float a, uint16_t select) {
  return select == TRIG_RADIANS ? a : a * 180.0f / kPi;
}
float bound(bool negative) { return negative ? -FW_VALUE_MAX : FW_VALUE_MAX; }

// Sine and cosine: results just outside +-1 snap to it.
float snapToUnit(float r) {
  if (r > 1.0f && r < 1.01f) return 1.0f;
  if (r < -1.0f && r > -1.01f) return -1.0f;
  return r;
}

float sinOf(float x, uint16_t select) {
  const float a = toRadians(x, select);
  if (std::fabs(a) > 1.342e8f) return bound(a < 0.0f);
  return snapToUnit(std::sin(a));
}
float cosOf(float x, uint16_t select) {
  const float a = toRadians(x, select);
  if (std::fabs(a) > 1.342e8f) return bound(a < 0.0f);
  return snapToUnit(std::cos(a));
}
// Tangent and cotangent within their principal intervals (-pi/2, pi/2) and (0, pi); angles
// outside give the bound.
float tanOf(float x, uint16_t select) {
  const float a = toRadians(x, select);
  if (std::fabs(a) >= 1.5707954f) return bound(a < 0.0f);
  return std::tan(a);
}
float cotOf(float x, uint16_t select) {
  const float a = toRadians(x, select);
  if (a >= 3.1415918f) return -FW_VALUE_MAX;
  if (a <= 1e-6f) return FW_VALUE_MAX;
  return std::cos(a) / std::sin(a);
}
float arcsinOf(float x, uint16_t select) {
  if (std::fabs(x) > 1.0f) return bound(x < 0.0f);
  return fromRadians(std::asin(x), select);
}
float arccosOf(float x, uint16_t select) {
  if (std::fabs(x) > 1.0f) return bound(x > 0.0f);
  return fromRadians(std::acos(x), select);
}
float arctanOf(float x, uint16_t select) { return fromRadians(std::atan(x), select); }
float arccotOf(float x, uint16_t select) { return fromRadians(kHalfPi - std::atan(x), select); }

// Run of a trigonometric type: a changed "Select" is taken over first; results below 1e-6
// in magnitude are 0, and nothing leaves the block beyond the bounds (NaN gives 0).
void runTrig(float (*fn)(float x, uint16_t select)) {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  FB_ApplyPendingWords(L.block);
  const float r = fn(BLK_AnalogIn(L, 0), L.wp[0]);
  L.ao[0] = std::fabs(r) < 1e-6f ? 0.0f : FW_ClampValue(r);
}

void initTrig() {
  FbLayout L;
  if (FB_CurrentLayout(&L) && BLK_ColdStart()) L.ao[0] = 0.0f;
}

}  // namespace

void FB_SIN_Run() { runTrig(sinOf); }
void FB_SIN_Init() { initTrig(); }
void FB_COS_Run() { runTrig(cosOf); }
void FB_COS_Init() { initTrig(); }
void FB_TAN_Run() { runTrig(tanOf); }
void FB_TAN_Init() { initTrig(); }
void FB_COT_Run() { runTrig(cotOf); }
void FB_COT_Init() { initTrig(); }
void FB_ARCSIN_Run() { runTrig(arcsinOf); }
void FB_ARCSIN_Init() { initTrig(); }
void FB_ARCCOS_Run() { runTrig(arccosOf); }
void FB_ARCCOS_Init() { initTrig(); }
void FB_ARCTAN_Run() { runTrig(arctanOf); }
void FB_ARCTAN_Init() { initTrig(); }
void FB_ARCCOT_Run() { runTrig(arccotOf); }
void FB_ARCCOT_Init() { initTrig(); }

// The trigonometric types take "Select" (1250, or the whole set 4000) through the standard
// handler; any other id gives 'i'.
uint8_t FB_SIN_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_COS_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_TAN_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_COT_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_ARCSIN_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_ARCCOS_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_ARCTAN_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_ARCCOT_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }

// ---------------------------------------------------------------------------------------
// TEXT: "UsrTxt" is the text index "Index" as a whole number; the block notes which of its
// chain inputs are fed by further TEXT blocks.

void FB_TEXT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L.ao[TEXT_OUT_USRTXT - 1] = static_cast<float>(FW_FloatToI16(BLK_AnalogIn(L, TEXT_IN_INDEX - 1)));
  TextBlockState& s = BLK_WorkState<TextBlockState>(L);
  uint16_t source = 0, output = 0;
  if (FB_GetInputSource(L.block, TEXT_IN_CASC, &source, &output) != BLK_TYPE_TEXT) {
    s.cascNotText = 1;
  }
  if (FB_GetInputSource(L.block, TEXT_IN_ALTLAN, &source, &output) == BLK_TYPE_TEXT) {
    s.altLanBlock = source;
  } else {
    s.altLanNotText = 1;
    s.altLanBlock = 0;
  }
}

// Both flags are cleared at every start; the stored block number stays until the next run.
void FB_TEXT_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  TextBlockState& s = BLK_WorkState<TextBlockState>(L);
  s.cascNotText = 0;
  s.altLanNotText = 0;
}

uint8_t FB_TEXT_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }

// ---------------------------------------------------------------------------------------

void BLK_RegisterTrigTypes() {
  static constexpr BlkTypeRow kRows[] = {
      {&kTextTemplate, FB_TEXT_Run, FB_TEXT_Init, FB_TEXT_Param, nullptr, 1, kGroupPages},
      {&kSinTemplate, FB_SIN_Run, FB_SIN_Init, FB_SIN_Param, &kTrigLimits, 7, kGroupTrig},
      {&kCosTemplate, FB_COS_Run, FB_COS_Init, FB_COS_Param, &kTrigLimits, 7, kGroupTrig},
      {&kTanTemplate, FB_TAN_Run, FB_TAN_Init, FB_TAN_Param, &kTrigLimits, 9, kGroupTrig},
      {&kCotTemplate, FB_COT_Run, FB_COT_Init, FB_COT_Param, &kTrigLimits, 11, kGroupTrig},
      {&kArcsinTemplate, FB_ARCSIN_Run, FB_ARCSIN_Init, FB_ARCSIN_Param, &kTrigLimits, 8,
       kGroupArc},
      {&kArccosTemplate, FB_ARCCOS_Run, FB_ARCCOS_Init, FB_ARCCOS_Param, &kTrigLimits, 7,
       kGroupArc},
      {&kArctanTemplate, FB_ARCTAN_Run, FB_ARCTAN_Init, FB_ARCTAN_Param, &kTrigLimits, 7,
       kGroupArc},
      {&kArccotTemplate, FB_ARCCOT_Run, FB_ARCCOT_Init, FB_ARCCOT_Param, &kTrigLimits, 7,
       kGroupArc},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}
