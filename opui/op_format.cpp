#include "opui/op_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "opui/op_display.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_text.h"

const float g_opStepTable[5] = {1.0f, 0.1f, 0.01f, 0.001f, 0.0001f};

namespace {

// Longest number text before the cut: sign, six digits, the point and three decimals.
constexpr int kNumberBuffer = 24;
// Work word of a text block that holds the block of its next language (0 none).
constexpr int kTextAltLanguageWord = 1;
// The first of a text block's four record texts (text 1 is its tag).
constexpr int kTextFirstRecord = 2;
constexpr int kRecordsPerBlock = 4;

// Places `text` (len characters) into the field of `width` characters: right-aligned behind
// blanks, or left-aligned followed by blanks; a text longer than the field is cut.
void placeInField(char* out, int field, const char* text, int len, bool left) {
  if (len > field) len = field;
  const int pad = field - len;
  if (left) {
    std::memcpy(out, text, static_cast<size_t>(len));
    std::memset(out + len, ' ', static_cast<size_t>(pad));
  } else {
    std::memset(out, ' ', static_cast<size_t>(pad));
    std::memcpy(out + pad, text, static_cast<size_t>(len));
  }
}

// Writes a NUL-terminated duration text right-aligned in `width`, within outlen bytes.
void finishDuration(const char* text, int width, char* out, int outlen) {
  if (!out || outlen < 1) return;
  const char* t = text;
  while (*t == ' ') ++t;                          // re-aligned below
  int len = static_cast<int>(std::strlen(t));
  int field = width > len ? width : len;
  if (field > outlen - 1) field = outlen - 1;
  placeInField(out, field, t, len, false);
  out[field] = 0;
}

// Copies a NUL-terminated text, cut to outlen - 1 characters.
void copyText(const char* text, char* out, int outlen) {
  if (!out || outlen < 1) return;
  int len = static_cast<int>(std::strlen(text));
  if (len > outlen - 1) len = outlen - 1;
  std::memcpy(out, text, static_cast<size_t>(len));
  out[len] = 0;
}

// A whole number of seconds from a float, clamped to the duration range (NaN gives 0).
uint32_t durationSeconds(double seconds) {
  if (!(seconds > 0.0)) return 0;
  if (seconds > OP_DURATION_MAX) return OP_DURATION_MAX;
  return static_cast<uint32_t>(seconds);
}

}  // namespace

void OP_FormatNumber(char* out, int outlen, float value, int decimals, int align, int width) {
  if (!out || outlen < 1 || width < 1) return;
  const int field = width < outlen ? width : outlen;
  const bool left = align < 0;
  // No value (a NaN has none either).
  if (value == FW_NO_VALUE || std::isnan(value)) {
    if (align > 0 && field > OP_NUMBER_CHARS) {
      std::memset(out, ' ', static_cast<size_t>(field));
      std::memcpy(out + field - OP_NUMBER_CHARS, "----", 4);
    } else {
      placeInField(out, field, "----", 4, left);
    }
    return;
  }
  char text[kNumberBuffer];
  int len;
  if (value < OP_NUMBER_MIN) {
    std::memcpy(text, "-99999", 7);
    len = 6;
  } else if (value > OP_NUMBER_MAX) {
    std::memcpy(text, "999999", 7);
    len = 6;
  } else {
    const int d = decimals < 0 ? 0 : decimals > 3 ? 3 : decimals;
    const double v = value;
    len = std::snprintf(text, sizeof text, left ? "%-6.*f" : align > 0 ? "%6.*f" : "%.*f", d, v);
    if (len < 0) len = 0;
    if (len > OP_NUMBER_CHARS) len = OP_NUMBER_CHARS;
    text[len] = 0;
    if (len == OP_NUMBER_CHARS && text[len - 1] == '.') {
      if (left) {
        text[len - 1] = ' ';
      } else if (align > 0) {
        std::memmove(text + 1, text, static_cast<size_t>(len - 1));
        text[0] = ' ';
      } else {
        text[--len] = 0;
      }
    }
  }
  const char* t = text;
  if (!left) {
    while (*t == ' ') {
      ++t;
      --len;
    }
  }
  placeInField(out, field, t, len, left);
}

int32_t OP_ChooseDecimals(float value, uint8_t* decimals) {
  uint8_t most = decimals ? *decimals : 0;
  if (most > 3) most = 3;
  if (value == FW_NO_VALUE) return static_cast<int32_t>(FW_NO_VALUE);
  int32_t n = 0;
  for (int d = 3; d >= 0; --d) {
    if (d > most) continue;
    const float q = std::round(value / g_opStepTable[d]);
    n = FW_FloatToI32(q);
    if (d == 0 || (q >= -9999.0f && q <= 99999.0f)) {
      if (decimals) *decimals = static_cast<uint8_t>(d);
      return n;
    }
  }
  return n;
}

void OP_FormatMinSec(float seconds, int width, char* out, int outlen) {
  if (seconds == FW_NO_VALUE) {
    copyText(" --:--", out, outlen);
    return;
  }
  const uint32_t s = durationSeconds(static_cast<double>(seconds) + 0.5);
  char text[kNumberBuffer];
  std::snprintf(text, sizeof text, "%5lu:%02lu", static_cast<unsigned long>(s / 60),
                static_cast<unsigned long>(s % 60));
  finishDuration(text, width, out, outlen);
}

void OP_FormatHms(float minutes, int width, char* out, int outlen) {
  if (minutes == FW_NO_VALUE) {
    copyText(" --:--:--", out, outlen);
    return;
  }
  // The total is rounded once, so that the seconds never read 60.
  double x = minutes;
  if (!(x > 0.0)) x = 0.0;
  if (x > OP_DURATION_MAX) x = OP_DURATION_MAX;
  const uint64_t total = static_cast<uint64_t>(std::llround(x * 60.0));
  const unsigned long h = static_cast<unsigned long>(total / 3600);
  const unsigned long m = static_cast<unsigned long>(total / 60 % 60);
  const unsigned long sec = static_cast<unsigned long>(total % 60);
  char text[kNumberBuffer];
  if (h < 100) {
    std::snprintf(text, sizeof text, "%02lu:%02lu:%02lu", h, m, sec);
  } else if (h > 99999) {
    std::snprintf(text, sizeof text, "%lu", h);
  } else {
    std::snprintf(text, sizeof text, "%5lu:%02lu", h, m);
  }
  finishDuration(text, width, out, outlen);
}

void OP_FormatRecordLabel(char* out, int record, int count, const uint16_t* table) {
  if (!out) return;
  out[OP_RECORD_LABEL_CHARS] = 0;
  if (table && count > 0 && record >= 1 && record <= kRecordsPerBlock * count) {
    uint16_t block = table[(record - 1) / kRecordsPerBlock];
    FbLayout l;
    if (FB_GetLayout(block, &l) && l.type == OP_TYPE_TEXT) {
      // The block of the current language: as many steps along the language chain as the
      // language's number, as far as the chain goes.
      for (uint8_t n = FW_CurrentTextLanguage(); n > 0; --n) {
        FbLayout next;
        const uint16_t alt = l.workWords > kTextAltLanguageWord ? l.work[kTextAltLanguageWord] : 0;
        if (alt == 0 || !FB_GetLayout(alt, &next) || next.type != OP_TYPE_TEXT) break;
        l = next;
      }
      const int text = kTextFirstRecord + (record - 1) % kRecordsPerBlock;
      if (text <= l.texts) {
        std::memcpy(out, l.text + (text - 1) * FB_TEXT_LEN, OP_RECORD_LABEL_CHARS);
        return;
      }
    }
  }
  const uint8_t type = g_opTextScreen.type;
  if (type == 2 || type == 10) {
    char text[kNumberBuffer];
    std::snprintf(text, sizeof text, "Rec %2d", record);
    placeInField(out, OP_RECORD_LABEL_CHARS, text, static_cast<int>(std::strlen(text)), true);
  } else {
    std::memset(out, '-', OP_RECORD_LABEL_CHARS);
  }
}
