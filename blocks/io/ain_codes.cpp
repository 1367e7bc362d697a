#include "blocks/io/ain_codes.h"

#include <cmath>

#include "blocks/io/io.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr auto kCodes = [] {
  struct Table {
    AinCodeInfo c[AIN_CODE_COUNT];
  } t{};
  constexpr struct {
    uint16_t code;
    float min, max;
  } temps[] = {{0, -200, 900},  {1, -200, 1200}, {2, -200, 1350}, {3, -200, 1300},
               {4, -50, 1760},  {5, -50, 1760},  {6, -200, 400},  {7, 0, 2300},
               {8, -200, 900},  {9, 0, 1820},    {10, 0, 2300},   {20, -200, 850},
               {21, -200, 250}, {25, -200, 850}, {26, -200, 250}};
  for (const auto& e : temps) t.c[e.code] = {AinCodeKind::Temperature, e.min, e.max};
  t.c[AIN_OHM500] = {AinCodeKind::Resistance, 0, 500};
  t.c[AIN_OHM250] = {AinCodeKind::Resistance, 0, 250};
  for (uint16_t c = AIN_MV30; c <= AIN_MV1500; ++c) t.c[c] = {AinCodeKind::Linear, 0, 0};
  t.c[AIN_MV_LINEAR] = {AinCodeKind::Linear, 0, 0};
  t.c[AIN_POT_TRANS] = {AinCodeKind::Pot, 0, 0};
  return t;
}();

}  // namespace

AinCodeInfo AIN_CodeInfo(uint16_t code) {
  return code < AIN_CODE_COUNT ? kCodes.c[code] : AinCodeInfo{};
}

float AIN_PercentOf(float r, float x0, float x100) {
  return x100 != x0 ? (r - x0) * 100.0f / (x100 - x0) : r;
}

AinConversion AIN_Convert(uint16_t code, float r, bool electrical, float x0, float x100,
                          bool checkMillivolts) {
  const AinCodeInfo info = AIN_CodeInfo(code);
  AinConversion out{r, false};
  bool check = false;
  switch (info.kind) {
    case AinCodeKind::Temperature:
      out.fault = AIN_TemperatureFault(r, info.min, info.max);
      break;
    case AinCodeKind::Resistance:
      out.fault = AIN_ResistanceFault(r, info.max);
      break;
    case AinCodeKind::Linear:
      check = true;
      if (!electrical) {
        out.value = AIN_PercentOf(r, x0, x100);
      } else if (code == AIN_MA_0_20 || code == AIN_V_0_10) {
        out.value = 5.0f * (code == AIN_V_0_10 ? 2.0f * r : r);
      } else if (code == AIN_MA_4_20 || code == AIN_V_2_10) {
        out.value = 6.25f * (code == AIN_V_2_10 ? 2.0f * r : r) - 25.0f;
      } else if (code >= AIN_MV30 && code <= AIN_MV300) {
        check = checkMillivolts;
        if (code == AIN_MV30) out.value = r * 3.3333333f;
        if (code == AIN_MV300) out.value = r * 0.3f;
      } else {
        check = false;
        if (code == AIN_MV1500) out.value = r / 15.0f;
        if (code == AIN_MV_LINEAR) out.value = 2.0f * r;
      }
      break;
    case AinCodeKind::Pot:
    case AinCodeKind::None:
      break;
  }
  if (check) out.fault = AIN_OutOfPercent(out.value);
  if (!std::isfinite(out.value)) out.fault = true;
  return out;
}

float AIN_FilterCoeff(float tfm, float dt) {
  const float c = 1.0f - tfm / (tfm + dt);
  return c >= 0.0f && c <= 1.0f ? c : 1.0f;
}

float AIN_FailValue(uint16_t fail, bool ranged, float min, float max, bool fahrenheit, float x0,
                    float x100, float xfail) {
  const float m = fahrenheit ? 1.8f : 1.0f, add = fahrenheit ? 32.0f : 0.0f;
  switch (fail) {
    case AIN_FAIL_UPSCALE: return ranged ? max * m + add : x100;
    case AIN_FAIL_DOWNSCALE: return ranged ? min * m + add : x0;
    case AIN_FAIL_SUBST: return xfail;
    default: return 0.0f;
  }
}

void AIN_LinearScale(float x0, float x100, float* q, float* a) {
  const float span = (x100 - x0) / 100.0f;
  const bool usable = x100 != x0 && std::isfinite(span);
  *q = usable ? span : 1.0f;
  *a = usable ? x0 : 0.0f;
}

void AIN_PercentScale(float x0, float x100, float* factor, float* offset) {
  float k = 0.0f;
  const bool usable = IO_SpanFactor(x0, x100, 100.0f, &k) && std::isfinite(-k * x0);
  *factor = usable ? k : 1.0f;
  *offset = usable ? -k * x0 : 0.0f;
}

void AIN_Totals(bool correct, const float points[4], float q, float a, float* gain,
                float* offset) {
  float s = 1.0f, o = 0.0f;
  const float x1in = points[0], x1out = points[1], x2in = points[2], x2out = points[3];
  if (correct && x2in != x1in) {
    s = (x2out - x1out) / (x2in - x1in);
    o = x1out - s * x1in;
  }
  *gain = s * q;
  *offset = s * a + o;
}

bool AIN_Bounded(float v) { return std::isfinite(v) && std::fabs(v) <= FW_VALUE_MAX; }

int16_t AIN_NextCode(std::span<const uint8_t> set, int16_t x) {
  for (uint8_t c : set) {
    if (c >= x) return c;
  }
  return set.back();
}

int16_t AIN_PreviousCode(std::span<const uint8_t> set, int16_t e) {
  int16_t prev = set.front();
  for (uint8_t c : set) {
    if (c >= e) break;
    prev = c;
  }
  return prev;
}
