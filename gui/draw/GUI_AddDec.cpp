// Decimal, binary and hexadecimal formatting into text buffers, and decimal and float
// output at the text position. All output goes through GUI_DispString.
#include <cmath>
#include <cstring>

#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_DrawIf.h"
#include "base/float_convert.h"

namespace {

const uint32_t kPow10[10] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// A sign, ten digits, the separator, one digit written again after a carry, the zero, and
// room for the padding of GUI_DispDecSpace.
constexpr int kBufSize = 48;

// Magnitude as unsigned, so that the most negative value has one.
uint32_t magnitude(int32_t v) { return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v); }

// Float to integer for display: rounded value saturated to +-2147483647 (NaN gives 0).
int32_t floatToDisp(float f) {
  const int32_t v = FW_FloatToI32(f);
  return v < -2147483647 ? -2147483647 : v;
}

float pow10f(int n) {
  float p = 1.0f;
  for (int i = 0; i < n; ++i) p *= 10.0f;
  return p;
}

}  // namespace

int GUI__CountDecDigits(int32_t v) {
  const uint32_t m = magnitude(v);
  int n = 1;
  while (n < 10 && m >= kPow10[n]) ++n;
  return v < 0 ? n + 1 : n;
}

int32_t GUI__AddPlusSign(int32_t v, char** ps) {
  if (v > 0) *(*ps)++ = '+';
  **ps = 0;
  return v;
}

int GUI__AddMinusSign(int32_t* pv, char** ps) {
  if (*pv < 0) {
    *(*ps)++ = '-';
    **ps = 0;
    *pv = -*pv;
    return 1;
  }
  return 0;
}

char* GUI_AddDecShift(int32_t v, uint8_t len, uint8_t shift, char** ps) {
  char* s = *ps;
  bool lastPlusOne = false;
  uint32_t u;
  if (v == INT32_MIN) {
    *s++ = '-';
    --len;
    u = 2147483647u;
    lastPlusOne = true;
  } else {
    if (v < 0) {
      *s++ = '-';
      --len;
    }
    u = magnitude(v);
  }
  if (shift) --len;
  if (len > 10) {
    GUI_ErrorOut("GUI_AddDecShift:\nCan not display more than 10 dec. digits in GUI_AddDecShift()");
    len = 10;
  }
  bool rewrite = false;
  while (len) {
    // A position written again after a carry does not get a second separator.
    if (len == shift && !rewrite) *s++ = static_cast<char>(GUI_GetDecChar());
    rewrite = false;
    const uint8_t before = len;
    --len;
    uint32_t q = u / kPow10[len];
    if (q > 10) break;
    u -= q * kPow10[len];
    if (len == 0 && lastPlusOne) ++q;
    if (q == 10) {
      *s++ = '1';
      len = before;
      rewrite = true;
    } else {
      *s++ = static_cast<char>('0' + q);
    }
  }
  *s = 0;
  *ps = s;
  return s;
}

char* GUI_AddDecMin(int32_t v, char** ps) {
  return GUI_AddDecShift(v, static_cast<uint8_t>(GUI__CountDecDigits(v)), 0, ps);
}

void GUI_AddBin(uint32_t v, uint8_t len, char** ps) {
  char* s = *ps;
  if (len > 32) {
    GUI_ErrorOut("GUI_AddBin:\nCan not display more than 32 bin. digits in GUI_AddBin()");
    len = 32;
  }
  while (len) {
    --len;
    *s++ = static_cast<char>('0' + ((v >> len) & 1));
  }
  *s = 0;
  *ps = s;
}

void GUI_AddHex(uint32_t v, uint8_t len, char** ps) {
  static const char kHex[] = "0123456789ABCDEF";
  char* s = *ps;
  if (len > 8) {
    *s = 0;
    return;
  }
  while (len) {
    --len;
    *s++ = kHex[(v >> (4 * len)) & 15];
  }
  *s = 0;
  *ps = s;
}

void GUI_DispBin(uint32_t v, uint8_t len) {
  char ac[kBufSize];
  char* s = ac;
  GUI_AddBin(v, len, &s);
  GUI_DispString(ac);
}

void GUI_DispHex(uint32_t v, uint8_t len) {
  char ac[kBufSize];
  char* s = ac;
  GUI_AddHex(v, len, &s);
  GUI_DispString(ac);
}

void GUI_DispDecShift(int32_t v, uint8_t len, uint8_t shift) {
  char ac[kBufSize];
  char* s = ac;
  GUI_AddDecShift(v, len, shift, &s);
  GUI_DispString(ac);
}

void GUI_DispSDecShift(int32_t v, uint8_t len, uint8_t shift) {
  char ac[kBufSize];
  char* s = ac;
  if (v > 0) {
    GUI__AddPlusSign(v, &s);
    if (len) --len;
  }
  GUI_AddDecShift(v, len, shift, &s);
  GUI_DispString(ac);
}

void GUI_DispDec(int32_t v, uint8_t len) { GUI_DispDecShift(v, len, 0); }
void GUI_DispSDec(int32_t v, uint8_t len) { GUI_DispSDecShift(v, len, 0); }

void GUI_DispDecMin(int32_t v) {
  char ac[kBufSize];
  char* s = ac;
  GUI_AddDecMin(v, &s);
  GUI_DispString(ac);
}

void GUI_DispDecSpace(int32_t v, uint8_t maxDigits) {
  char ac[kBufSize];
  char* s = ac;
  const int digits = GUI__CountDecDigits(v);
  // The padding stays within the buffer: a sign, ten digits and the zero need 12 bytes.
  int pad = maxDigits > digits ? maxDigits - digits : 0;
  if (pad > kBufSize - 13) pad = kBufSize - 13;
  while (pad--) *s++ = ' ';
  GUI_AddDecMin(v, &s);
  GUI_DispString(ac);
}

void GUI_DispDecAt(int32_t v, int x, int y, uint8_t len) {
  GUI_Lock();
  GUI_GotoXY(x, y);
  GUI_DispDec(v, len);
  GUI_Unlock();
}

float GUI__RoundFloat(float f) { return f >= 0 ? std::floor(f + 0.5f) : std::ceil(f - 0.5f); }

void GUI__DispFloatFix(float f, uint8_t len, uint8_t decimals, int withSign) {
  const int32_t v = floatToDisp(GUI__RoundFloat(f * pow10f(decimals)));
  if (withSign)
    GUI_DispSDecShift(v, len, decimals);
  else
    GUI_DispDecShift(v, len, decimals);
}

void GUI_DispFloatFix(float f, uint8_t len, uint8_t decimals) { GUI__DispFloatFix(f, len, decimals, 0); }
void GUI_DispSFloatFix(float f, uint8_t len, uint8_t decimals) { GUI__DispFloatFix(f, len, decimals, 1); }

int GUI__GetFirstDecimalPos(float f) {
  if (f == 0 || std::isnan(f)) return 0;
  float x = std::fabs(f) + 1e-9f;
  int n = 0;
  // At most a few dozen steps: the added 1e-9 bounds the count for every finite value.
  do {
    x *= 10.0f;
    ++n;
  } while (FW_FloatToI32(x) == 0 && n < 40);
  return n;
}

namespace {

void dispFloat(float f, int8_t decimals, int withSign) {
  if (decimals < 0) decimals = 0;
  float m;
  const float a = std::fabs(f);
  if (f == 0 || std::isnan(f)) {
    m = 1;
    if (std::isnan(f)) f = 0;
  } else if (a >= 1) {
    m = f;
  } else {
    const int p = GUI__GetFirstDecimalPos(f);
    if (p <= decimals) {
      m = f > 0 ? f + 1 : f - 1;
    } else if (decimals == 0) {
      if (f >= 0.5f && f < 1) {
        m = 0;
        f = 1;
      } else if (f > -1 && f <= -0.5f) {
        m = -1;
        f = -1;
      } else {
        m = 0;
        f = 0;
      }
    } else {
      m = 1;
      if (f > 0) f = 0;
    }
  }
  const int k = GUI__CountDecDigits(floatToDisp(GUI__RoundFloat(m * pow10f(decimals))));
  int n = k - decimals;
  if (n < 0) n = 0;
  if (withSign && f > 0) ++n;
  GUI__DispFloatFix(f, static_cast<uint8_t>(n + decimals + (decimals > 0 ? 1 : 0)), static_cast<uint8_t>(decimals),
                    withSign);
}

}  // namespace

void GUI_DispFloat(float f, uint8_t decimals) { dispFloat(f, static_cast<int8_t>(decimals), 0); }
void GUI_DispSFloat(float f, uint8_t decimals) { dispFloat(f, static_cast<int8_t>(decimals), 1); }

void GUI_DispFloatWidth(float f, uint8_t width) {
  int decimals = width - ((f > -1 && f < 0) ? 1 : 0) - GUI__CountDecDigits(FW_FloatToI32(f)) - 1;
  if (decimals < 0) decimals = 0;
  GUI__DispFloatFix(f, width, static_cast<uint8_t>(decimals), 0);
}
