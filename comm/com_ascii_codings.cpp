// Codings of the character protocol's answers: numbers without the locale, single values,
// block data, error information and records.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "comm/com_ascii.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_text.h"

// ---------------------------------------------------------------------------------------
// Answer text

void ComText::put(char c) {
  if (full || length >= size) {
    full = true;
    return;
  }
  data[length++] = c;
}

void ComText::put(const char* s) {
  while (*s) put(*s++);
}

void ComText::putBytes(const uint8_t* s, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) put(static_cast<char>(s[i]));
}

void ComText::putInt(int64_t v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  for (const char* p = buf; p < r.ptr; ++p) put(*p);
}

void ComText::putHex(uint32_t v, int minDigits, bool upper) {
  char buf[12];
  auto r = std::to_chars(buf, buf + sizeof buf, v, 16);
  const int n = static_cast<int>(r.ptr - buf);
  for (int i = n; i < minDigits; ++i) put('0');
  for (const char* p = buf; p < r.ptr; ++p) {
    put(upper && *p >= 'a' && *p <= 'f' ? static_cast<char>(*p - 'a' + 'A') : *p);
  }
}

void ComText::putFloat(float v) {
  char buf[24];
  const uint32_t n = COM_FormatFloat(buf, sizeof buf, v, 6, 3);
  if (n == 0) {
    full = true;
    return;
  }
  putBytes(reinterpret_cast<const uint8_t*>(buf), n);
}

uint32_t COM_FormatFloat(char* text, uint32_t size, float value, int integerDigits, int decimals) {
  if (!text || size == 0) return 0;
  if (integerDigits < 1) integerDigits = 1;
  if (integerDigits > 9) integerDigits = 9;
  if (decimals < 0) decimals = 0;
  if (decimals > 6) decimals = 6;
  double limit = 1.0;
  for (int i = 0; i < integerDigits; ++i) limit *= 10.0;
  limit -= 1.0;
  double v = std::isnan(value) ? 0.0 : static_cast<double>(value);
  if (v > limit) v = limit;
  if (v < -limit) v = -limit;

  char buf[48];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  // Rounding may carry into one more integer digit (999999.9996): the whole limit then.
  const char* point = static_cast<const char*>(std::memchr(buf, '.', static_cast<size_t>(r.ptr - buf)));
  const char* intEnd = point ? point : r.ptr;
  const int intDigits = static_cast<int>(intEnd - buf) - (buf[0] == '-' ? 1 : 0);
  if (intDigits > integerDigits) {
    r = std::to_chars(buf, buf + sizeof buf, v < 0 ? -limit : limit, std::chars_format::fixed, 0);
  }
  uint32_t n = static_cast<uint32_t>(r.ptr - buf);
  if (!std::memchr(buf, '.', n)) {
    buf[n++] = '.';
  } else {
    while (buf[n - 1] == '0') --n;
  }
  // A value that rounds to zero reads "0.", without a sign.
  if (buf[0] == '-' && n == 3 && buf[1] == '0') {
    buf[0] = '0';
    buf[1] = '.';
    n = 2;
  }
  if (n + 1 > size) return 0;
  std::memcpy(text, buf, n);
  text[n] = '\0';
  return n;
}

bool COM_FormatValue(ComText& text, const ComValueAccess& a, ComValueKind kind) {
  if (kind == ComValueKind::Text) {
    if (a.length != 0 && a.length < FB_TEXT_LEN) return false;
    const uint8_t* t = a.request.bytes + FB_REQUEST_VALUE;
    uint32_t n = 0;
    while (n < FB_TEXT_LEN && t[n] != 0) ++n;
    text.putBytes(t, n);
    return true;
  }
  double v;
  if (!COM_ReadNumber(a, kind, &v)) return false;
  switch (kind) {
    case ComValueKind::Status: text.put(static_cast<char>(64 + (FW_FloatToLow8(v) & 0x3F))); break;
    case ComValueKind::Integer: text.putInt(FW_FloatToI32(v)); break;
    default: text.putFloat(static_cast<float>(v)); break;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Block data and error information

void COM_AsciiErrorInfo(ComText& text, uint16_t code, const ComAsciiResults& results) {
  text.putHex(code, 2, true);
  text.put('=');
  switch (code) {
    case 0x21: text.putInt(results.write); break;
    case 0x22: text.putInt(results.badIndex); break;
    default: text.putInt(results.read); break;
  }
}

uint8_t COM_FormatBlockData(ComText& text, const ComAsciiRequest& request, uint16_t source) {
  if (request.block == 0 && request.subIndex == 2 && request.code == 0x20) {
    for (uint16_t code = 0x21; code <= 0x23; ++code) {
      if (code != 0x21) text.put(',');
      COM_AsciiErrorInfo(text, code, g_comAscii.results);
    }
    return text.full ? FB_ERR_NO_ROOM : FB_OK;
  }
  ComValueAccess a;
  bool any = false;
  for (uint16_t code = request.code + 1; code <= request.code + 9; ++code) {
    const uint16_t id = FB_FuncCodeToIntCode(request.subIndex, code);
    if (id == FB_FUNC_CODE_ABSENT) continue;
    const ComValueKind kind = COM_ValueKind(id);
    if (kind == ComValueKind::None || kind == ComValueKind::Text) continue;
    COM_ValueBegin(&a, request.block, static_cast<int16_t>(-static_cast<int32_t>(id)));
    if (COM_AsciiReadValue(&a, source) != FB_OK) continue;
    const uint32_t mark = text.length;
    if (any) text.put(',');
    text.putHex(code, 2, false);
    text.put('=');
    if (!COM_FormatValue(text, a, kind)) {
      if (!text.full) text.length = mark;  // a reply without the value: left out
      continue;
    }
    any = true;
  }
  if (text.full) return FB_ERR_NO_ROOM;
  return any ? FB_OK : FB_ERR_UNKNOWN_ID;
}

// ---------------------------------------------------------------------------------------
// Records

namespace {
bool in(uint32_t id, uint32_t low, uint32_t high) { return id >= low && id <= high; }
}  // namespace

bool COM_IsRecordId(uint32_t id) {
  return in(id, 4000, 4019) || in(id, 4080, 4089) || id == 4100 || id == 4101 ||
         in(id, 4110, 4113) || in(id, 4130, 4133) || in(id, 4180, 4189) || id == 4200;
}

void COM_FormatRecord(ComText& text, const ComAsciiRequest& request) {
  const FbParamRequest& r = request.value.request;
  const uint32_t id = static_cast<uint32_t>(-int32_t{r.id()});
  text.putHex(request.code, 2, true);
  text.put(',');
  text.putInt(request.block);
  text.put(',');
  text.putHex(request.subIndex, 1, false);
  text.put('=');

  const uint32_t length = request.value.length;
  const bool table = in(id, 4080, 4089);
  if (table && request.block == 0 && length == FB_TEXT_LEN) {
    // Block 0's text (4082): sixteen bytes at the value's place.
    text.put("0,0,16");
    for (uint32_t i = 0; i < FB_TEXT_LEN; ++i) {
      text.put(',');
      text.putInt(r.u8(FB_REQUEST_VALUE + i));
    }
    return;
  }
  // Reply: two count bytes (words + 1, floats), the index word, the words, then the floats;
  // the reply's length bounds what is read of it.
  const uint32_t dataBytes = length > 4 ? length - 4u : 0u;
  const uint32_t count1 = r.u8(4);
  const uint32_t words = count1 > 0 ? count1 - 1 : 0;
  text.putInt(static_cast<int16_t>(r.u16(6)));
  text.put(',');
  if (table) {
    const uint32_t bytes = std::min(2 * words, dataBytes);
    text.put("0,");
    text.putInt(bytes);
    for (uint32_t i = 0; i < bytes; ++i) {
      text.put(',');
      text.putInt(r.u8(8 + i));
    }
    return;
  }
  const uint32_t wordsShown = std::min(words, dataBytes / 2);
  const uint32_t floats =
      wordsShown == words ? std::min<uint32_t>(r.u8(5), (dataBytes - 2 * words) / 4) : 0;
  text.putInt(floats);
  const uint32_t floatsAt = 8 + 2 * words;
  for (uint32_t j = 0; j < floats; ++j) {
    text.put(',');
    text.putFloat(r.f32(floatsAt + 4 * j));
  }
  text.put(',');
  text.putInt(wordsShown);
  for (uint32_t i = 0; i < wordsShown; ++i) {
    text.put(',');
    text.putInt(static_cast<int16_t>(r.u16(8 + 2 * i)));
  }
}
