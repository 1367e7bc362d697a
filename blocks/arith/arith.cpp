#include "blocks/arith/arith.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <span>

#include "blocks/block_family.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_image.h"
#include "runtime/fw_numeric.h"

namespace {

// ---------------------------------------------------------------------------------------
// Templates. Every type has one text, its tag; none has digital I/O, state or work words.

constexpr const char* kAbsvTexts[] = {"ABSV"};
constexpr const char* kA2byteTexts[] = {"A2BYTE"};
constexpr const char* kAdsuTexts[] = {"ADSU"};
constexpr const char* kMudiTexts[] = {"MUDI"};
constexpr const char* kSqrtTexts[] = {"SQRT"};
constexpr const char* kScalTexts[] = {"SCAL"};
constexpr const char* k10expTexts[] = {"10EXP"};
constexpr const char* kEexpTexts[] = {"EEXP"};
constexpr const char* kLnTexts[] = {"LN"};
constexpr const char* kLg10Texts[] = {"LG10"};

constexpr float kAbsvFloats[] = {1.0f, 0.0f};                            // a, a0
constexpr uint16_t kA2byteValues[] = {A2BYTE_UINT8, A2BYTE_UINT8};       // Ioct, Ooct
constexpr float kAdsuFloats[] = {1.0f, 1.0f, 1.0f, 1.0f, 0.0f};         // a, b, c, d, y0
constexpr float kMudiFloats[] = {1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f};   // a, b, c, a0, b0, c0
constexpr float kSqrtFloats[] = {1.0f, 0.0f, 0.0f};                      // a, a0, y0
constexpr float kScalFloats[] = {1.0f, 0.0f, 1.0f};                      // a, a0, Exp

constexpr FbTemplate kAbsvTemplate{
    .size = 37, .type = BLK_TYPE_ABSV, .analogOutputs = 1, .analogInputs = 1,
    .floatParams = kAbsvFloats, .texts = kAbsvTexts};
constexpr FbTemplate kA2byteTemplate{
    .size = 49, .type = BLK_TYPE_A2BYTE, .analogOutputs = 5, .analogInputs = 5,
    .wordValues = kA2byteValues, .texts = kA2byteTexts};
constexpr FbTemplate kAdsuTemplate{
    .size = 55, .type = BLK_TYPE_ADSU, .analogOutputs = 1, .analogInputs = 4,
    .floatParams = kAdsuFloats, .texts = kAdsuTexts};
constexpr FbTemplate kMudiTemplate{
    .size = 57, .type = BLK_TYPE_MUDI, .analogOutputs = 1, .analogInputs = 3,
    .floatParams = kMudiFloats, .texts = kMudiTexts};
constexpr FbTemplate kSqrtTemplate{
    .size = 41, .type = BLK_TYPE_SQRT, .analogOutputs = 1, .analogInputs = 1,
    .floatParams = kSqrtFloats, .texts = kSqrtTexts};
constexpr FbTemplate kScalTemplate{
    .size = 41, .type = BLK_TYPE_SCAL, .analogOutputs = 1, .analogInputs = 1,
    .floatParams = kScalFloats, .texts = kScalTexts};
constexpr FbTemplate k10expTemplate{
    .size = 29, .type = BLK_TYPE_10EXP, .analogOutputs = 1, .analogInputs = 1,
    .texts = k10expTexts};
constexpr FbTemplate kEexpTemplate{
    .size = 29, .type = BLK_TYPE_EEXP, .analogOutputs = 1, .analogInputs = 1,
    .texts = kEexpTexts};
constexpr FbTemplate kLnTemplate{
    .size = 29, .type = BLK_TYPE_LN, .analogOutputs = 1, .analogInputs = 1,
    .texts = kLnTexts};
constexpr FbTemplate kLg10Template{
    .size = 29, .type = BLK_TYPE_LG10, .analogOutputs = 1, .analogInputs = 1,
    .texts = kLg10Texts};

// Limits: every float parameter -29999..999999 shown with 3 decimals; "Ioct" and "Ooct"
// select one of the seven byte formats.
constexpr FwFloatLimit kParam{.min = -29999.0f, .max = 999999.0f, .attribute = 3};
constexpr FwFloatLimit kParams[] = {kParam, kParam, kParam, kParam, kParam, kParam};
constexpr FwShortLimit kByteFormat{.min = A2BYTE_UINT8, .max = A2BYTE_FLOAT};
constexpr FwShortLimit kByteFormats[] = {kByteFormat, kByteFormat};

constexpr FbLimitTable floatLimits(size_t count) {
  return FbLimitTable{.floatParams = std::span<const FwFloatLimit>(kParams, count)};
}
constexpr FbLimitTable kAbsvLimits = floatLimits(std::size(kAbsvFloats));
constexpr FbLimitTable kAdsuLimits = floatLimits(std::size(kAdsuFloats));
constexpr FbLimitTable kMudiLimits = floatLimits(std::size(kMudiFloats));
constexpr FbLimitTable kSqrtLimits = floatLimits(std::size(kSqrtFloats));
constexpr FbLimitTable kScalLimits = floatLimits(std::size(kScalFloats));
constexpr FbLimitTable kA2byteLimits{.wordValues = kByteFormats};

// Catalogue groups of the family.
enum : uint16_t { kGroupArithmetic = 1, kGroupExpLog = 2, kGroupConversion = 9 };

// ---------------------------------------------------------------------------------------
// Shared steps

// Takes pending float parameters over while the device runs; true when it did.
bool takePendingFloats() {
  return FB_ApplyPendingFloats(g_fbStore.currentBlock) != 0;
}

// A 32-bit product widened to double, so that sums are formed in double precision.
double product(float gain, float x) { return static_cast<double>(gain * x); }

float input(const FbLayout& L, unsigned i) { return FB_ReadAnalogRef(L.ai[i]); }

// Init of the single-output types: a cold start clears "Y 1", a warm start keeps it.
void resetOutputOnColdStart() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (!g_fwEng.warmStart) L.ao[0] = 0.0f;
}

// An unconnected input (reference 0) is pointed at the shared constant 1.0.
void pointAtOneIfUnconnected(FbRef& ref) {
  if (ref == FB_REF_ZERO) ref = FB_REF_ONE;
}

// MUDI: a factor whose input is unconnected and whose offset is 0 counts as its gain alone.
void pointUnwiredFactorsAtOne(FbLayout& L) {
  for (unsigned i = 0; i < 3; ++i) {
    if (L.fp[3 + i] == 0.0f) pointAtOneIfUnconnected(L.ai[i]);
  }
}

// A2BYTE: the low byte of a whole number, read as a signed 8-bit number.
float signedLowByte(float v) {
  return static_cast<float>(static_cast<int8_t>(FW_FloatToLow8(v)));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// ABSV: Y 1 = |a * X 1 + a0|, in 32-bit floats.

void FB_ABSV_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  takePendingFloats();
  const float v = L.fp[0] * input(L, 0) + L.fp[1];
  L.ao[0] = FW_ClampValue(std::fabs(v));
}

void FB_ABSV_Init() { resetOutputOnColdStart(); }

// ---------------------------------------------------------------------------------------
// A2BYTE: four bytes to a value by "Ioct", a value to four bytes by "Ooct".

void FB_A2BYTE_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float b1 = input(L, 0), b2 = input(L, 1), b3 = input(L, 2), b4 = input(L, 3);
  float y = 0.0f;
  switch (L.wv[0]) {
    case A2BYTE_UINT8: y = b1; break;
    case A2BYTE_INT8: y = signedLowByte(b1); break;
    case A2BYTE_UINT16: y = b2 * 256.0f + b1; break;
    case A2BYTE_INT16: y = signedLowByte(b2) * 256.0f + b1; break;
    case A2BYTE_UINT32: y = ((b4 * 256.0f + b3) * 256.0f + b2) * 256.0f + b1; break;
    case A2BYTE_INT32: y = ((signedLowByte(b4) * 256.0f + b3) * 256.0f + b2) * 256.0f + b1; break;
    case A2BYTE_FLOAT: {
      const uint32_t pattern =
          ((FW_FloatToLow32(b4) * 256u + FW_FloatToLow32(b3)) * 256u + FW_FloatToLow32(b2)) *
              256u + FW_FloatToLow32(b1);
      std::memcpy(&y, &pattern, sizeof y);
      break;
    }
    default: break;  // no such format: 0
  }
  L.ao[0] = FW_ClampValue(y);

  const float x = input(L, 4);
  const uint16_t ooct = L.wv[1];
  uint32_t pattern;
  if (ooct == A2BYTE_FLOAT) {
    std::memcpy(&pattern, &x, sizeof pattern);
  } else {
    pattern = FW_FloatToLow32(x);
  }
  const unsigned bytesKept = ooct <= A2BYTE_INT8 ? 1 : ooct <= A2BYTE_INT16 ? 2 : 4;
  for (unsigned k = 0; k < 4; ++k) {
    L.ao[1 + k] = k < bytesKept ? static_cast<float>((pattern >> (8 * k)) & 0xFFu) : 0.0f;
  }
}

// The formats written by requests take effect here, at the start-up pass; the outputs stay.
void FB_A2BYTE_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L.wv[0] = L.wv[2];
  L.wv[1] = L.wv[3];
}

// ---------------------------------------------------------------------------------------
// ADSU: Y 1 = a X1 + b X2 + c X3 + d X4 + y0, summed in double precision.

void FB_ADSU_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  takePendingFloats();
  double sum = static_cast<double>(L.fp[4]);
  for (unsigned i = 0; i < 4; ++i) sum += product(L.fp[i], input(L, i));
  L.ao[0] = FW_ClampValueD(sum);
}

void FB_ADSU_Init() { resetOutputOnColdStart(); }

// ---------------------------------------------------------------------------------------
// MUDI: Y 1 = (a X1 + a0)(b X2 + b0) / (c X3 + c0).

void FB_MUDI_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (takePendingFloats()) pointUnwiredFactorsAtOne(L);
  const double n = (product(L.fp[0], input(L, 0)) + L.fp[3]) *
                   (product(L.fp[1], input(L, 1)) + L.fp[4]);
  const double d = product(L.fp[2], input(L, 2)) + L.fp[5];
  L.ao[0] = std::fabs(d) <= 1e-37 ? FW_VALUE_MAX : FW_ClampValueD(n / d);
}

void FB_MUDI_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  pointUnwiredFactorsAtOne(L);
  if (!g_fwEng.warmStart) L.ao[0] = 0.0f;
}

// ---------------------------------------------------------------------------------------
// SQRT: Y 1 = sqrt(a x + a0) + y0; a negative radicand gives y0.

void FB_SQRT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  takePendingFloats();
  const double v = product(L.fp[0], input(L, 0)) + L.fp[1];
  const float y0 = L.fp[2];
  if (v < 0.0) {
    L.ao[0] = FW_ClampValue(y0);
  } else if (v > static_cast<double>(FW_VALUE_MAX)) {
    L.ao[0] = FW_VALUE_MAX;
  } else {
    L.ao[0] = FW_ClampValueD(std::sqrt(v) + y0);
  }
}

void FB_SQRT_Init() { resetOutputOnColdStart(); }

// ---------------------------------------------------------------------------------------
// SCAL: Y 1 = (a x + a0) ^ Exp.

void FB_SCAL_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  takePendingFloats();
  const float b = FW_ClampValueD(product(L.fp[0], input(L, 0)) + L.fp[1]);
  const float e = L.fp[2];
  if (b < 0.0f && e != std::trunc(e)) {
    L.ao[0] = 0.0f;  // negative base, fractional exponent
  } else if (e < 0.0f && std::fabs(b) < 1e-37f) {
    L.ao[0] = FW_VALUE_MAX;  // zero base, negative exponent
  } else {
    L.ao[0] = FW_ClampValueD(std::pow(static_cast<double>(b), static_cast<double>(e)));
  }
}

void FB_SCAL_Init() { resetOutputOnColdStart(); }

// ---------------------------------------------------------------------------------------
// Exponentials and logarithms of X 1.

void FB_10EXP_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float x = input(L, 0);
  L.ao[0] = x > 36.7f ? FW_VALUE_MAX : FW_ClampValue(std::pow(10.0f, x));
}

void FB_10EXP_Init() { resetOutputOnColdStart(); }

void FB_EEXP_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float x = input(L, 0);
  L.ao[0] = x > 85.0f ? FW_VALUE_MAX : FW_ClampValue(std::exp(x));
}

void FB_EEXP_Init() { resetOutputOnColdStart(); }

void FB_LN_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float x = input(L, 0);
  L.ao[0] = x <= 0.0f ? -FW_VALUE_MAX : FW_ClampValue(std::log(x));
}

// An unconnected X 1 reads 1.0, so that the output is 0.
void FB_LN_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  pointAtOneIfUnconnected(L.ai[0]);
  if (!g_fwEng.warmStart) L.ao[0] = 0.0f;
}

void FB_LG10_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float x = input(L, 0);
  L.ao[0] = x <= 0.0f ? -FW_VALUE_MAX : FW_ClampValue(std::log10(x));
}

void FB_LG10_Init() { FB_LN_Init(); }

// ---------------------------------------------------------------------------------------
// Parameter requests. The types with parameters take them through the standard handler and
// their limit tables; the exp/log types have none and refuse every request.

uint8_t FB_ABSV_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_A2BYTE_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_ADSU_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_MUDI_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_SQRT_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_SCAL_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
uint8_t FB_10EXP_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }
uint8_t FB_EEXP_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }
uint8_t FB_LN_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }
uint8_t FB_LG10_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }

// ---------------------------------------------------------------------------------------

void BLK_RegisterArithTypes() {
  static constexpr BlkTypeRow kRows[] = {
      {&kAbsvTemplate, FB_ABSV_Run, FB_ABSV_Init, FB_ABSV_Param,
       &kAbsvLimits, 1, kGroupArithmetic},
      {&kA2byteTemplate, FB_A2BYTE_Run, FB_A2BYTE_Init, FB_A2BYTE_Param,
       &kA2byteLimits, 2, kGroupConversion},
      {&kAdsuTemplate, FB_ADSU_Run, FB_ADSU_Init, FB_ADSU_Param,
       &kAdsuLimits, 3, kGroupArithmetic},
      {&kMudiTemplate, FB_MUDI_Run, FB_MUDI_Init, FB_MUDI_Param,
       &kMudiLimits, 3, kGroupArithmetic},
      {&kSqrtTemplate, FB_SQRT_Run, FB_SQRT_Init, FB_SQRT_Param,
       &kSqrtLimits, 2, kGroupArithmetic},
      {&kScalTemplate, FB_SCAL_Run, FB_SCAL_Init, FB_SCAL_Param,
       &kScalLimits, 18, kGroupArithmetic},
      {&k10expTemplate, FB_10EXP_Run, FB_10EXP_Init, FB_10EXP_Param,
       nullptr, 17, kGroupExpLog},
      {&kEexpTemplate, FB_EEXP_Run, FB_EEXP_Init, FB_EEXP_Param,
       nullptr, 5, kGroupExpLog},
      {&kLnTemplate, FB_LN_Run, FB_LN_Init, FB_LN_Param,
       nullptr, 6, kGroupExpLog},
      {&kLg10Template, FB_LG10_Run, FB_LG10_Init, FB_LG10_Param,
       nullptr, 7, kGroupExpLog},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}
