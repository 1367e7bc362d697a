// Reading the fields of a character-protocol request: digits, numbers without the locale and
// separators, each bounded by the end of the text it reads.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>

struct ComCursor {
  const uint8_t* p;
  const uint8_t* end;

  bool done() const { return p >= end; }
  bool at(uint8_t c) const { return p < end && *p == c; }
  bool eat(uint8_t c) {
    if (!at(c)) return false;
    ++p;
    return true;
  }
};

inline int COM_HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Digits in base 10 or 16, at least one; false when there is none or the value passes max.
inline bool COM_ReadDigits(ComCursor& c, int base, uint32_t max, uint32_t* out) {
  uint32_t v = 0;
  bool any = false, over = false;
  while (!c.done()) {
    const int d = COM_HexDigit(*c.p);
    if (d < 0 || d >= base) break;
    ++c.p;
    any = true;
    if (!over) {
      v = v * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
      over = v > max;
    }
  }
  *out = v;
  return any && !over;
}

// A signed decimal integer; a number beyond 32 bits reads as the nearest 32-bit bound, so
// that every range check refuses it. False when there is none.
inline bool COM_ReadInteger(ComCursor& c, int32_t* out) {
  int64_t v = 0;
  const auto r = std::from_chars(reinterpret_cast<const char*>(c.p),
                                 reinterpret_cast<const char*>(c.end), v);
  if (r.ptr == reinterpret_cast<const char*>(c.p)) return false;
  if (r.ec == std::errc::result_out_of_range) v = (*c.p == '-') ? INT64_MIN : INT64_MAX;
  c.p = reinterpret_cast<const uint8_t*>(r.ptr);
  *out = v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
  return true;
}

// A decimal number without exponent ("12", "-0.25", "12."), then one optional "."; false when
// there is none or it is not finite.
inline bool COM_ReadDecimal(ComCursor& c, double* out) {
  double v = 0.0;
  const auto r = std::from_chars(reinterpret_cast<const char*>(c.p),
                                 reinterpret_cast<const char*>(c.end), v,
                                 std::chars_format::fixed);
  if (r.ptr == reinterpret_cast<const char*>(c.p) || r.ec != std::errc() || !std::isfinite(v)) {
    return false;
  }
  c.p = reinterpret_cast<const uint8_t*>(r.ptr);
  c.eat('.');
  *out = v;
  return true;
}

// The float range of a written value: -29999..999999, or exactly the no-value marker -32000.
inline bool COM_FloatInRange(double v) { return (v >= -29999.0 && v <= 999999.0) || v == -32000.0; }
// The integer range: 0..32767, or -32000.
inline bool COM_IntegerInRange(int32_t v) { return (v >= 0 && v <= 32767) || v == -32000; }
