// Written lists of the character protocol (codes 0xB1..0xB4): records of words and floats,
// text tables and extra data, turned into the requests of the parameter protocol and the
// block data.
//
//   record:  index word, float count m, m floats, word count n, n words
//   texts:   index word, 0, text count, the texts (16 characters each)     (B2, 80..84)
//   bytes:   index word, 0, byte count, the bytes (0..255)                 (B2, 85..89)
//
// Elements are separated by commas; the last is followed by ETX. The request gets the two
// count bytes (words + 1, floats) at offset 4, the index word at 6 and the items from 8.
#include <cstring>

#include "comm/com_ascii.h"
#include "comm/com_ascii_fields.h"

namespace {

constexpr uint32_t kMaxFloats = 25;
constexpr uint32_t kMaxWords = 38;
constexpr uint32_t kMaxTexts = 13;
constexpr uint32_t kMaxBytes = 57;
constexpr uint32_t kListBytes = 249;   // the items of a record, in bytes
constexpr uint32_t kCountMax = 0xFFFF;  // counts and bytes read before their range is checked

bool textList(const ComAsciiRequest& q) {
  return q.code == 0xB2 && q.subIndex >= 0x80 && q.subIndex <= 0x84;
}
bool byteList(const ComAsciiRequest& q) {
  return q.code == 0xB2 && q.subIndex >= 0x85 && q.subIndex <= 0x89;
}

// A list whose text ends before its counted elements broke off ('y'); else the fault found.
uint8_t brokeOffOr(const ComCursor& c, uint8_t fault) {
  constexpr uint8_t kBrokeOff = FB_ERR_COUNT_Y;
  return c.done() ? kBrokeOff : fault;
}

// The comma before the next element.
uint8_t separator(ComCursor& c) {
  if (c.eat(',')) return FB_OK;
  return brokeOffOr(c, COM_ERR_SEPARATOR_Q);
}

uint8_t parseRecord(ComCursor& c, uint32_t floats, ComAsciiRequest* q) {
  FbParamRequest& r = q->value.request;
  if (floats > kMaxFloats) return FB_ERR_COUNT_Z;
  float items[kMaxFloats];
  for (uint32_t j = 0; j < floats; ++j) {
    double v;
    if (!COM_ReadDecimal(c, &v)) return brokeOffOr(c, COM_ERR_NUMBER_T);
    if (!COM_FloatInRange(v)) return COM_ERR_NUMBER_T;
    items[j] = static_cast<float>(v);
    if (const uint8_t s = separator(c)) return s;
  }
  uint32_t words;
  if (!COM_ReadDigits(c, 10, kCountMax, &words)) return brokeOffOr(c, COM_ERR_LIST_COUNT);
  if (words > kMaxWords) return FB_ERR_COUNT_Y;
  if (2 * (words + 2 * floats) > kListBytes) return COM_ERR_LIST;
  for (uint32_t i = 0; i < words; ++i) {
    if (const uint8_t s = separator(c)) return s;
    int32_t w;
    if (!COM_ReadInteger(c, &w)) return brokeOffOr(c, FB_ERR_LIMITS);
    if (!COM_IntegerInRange(w)) return FB_ERR_LIMITS;
    r.setU16(8 + 2 * i, static_cast<uint16_t>(w));
  }
  if (!c.done()) return COM_ERR_FRAME_END;
  for (uint32_t j = 0; j < floats; ++j) r.setF32(8 + 2 * words + 4 * j, items[j]);
  r.setU8(4, static_cast<uint8_t>(words + 1));
  r.setU8(5, static_cast<uint8_t>(floats));
  q->value.received = 8 + 2 * words + 4 * floats;
  return FB_OK;
}

uint8_t parseTexts(ComCursor& c, uint32_t count, ComAsciiRequest* q) {
  FbParamRequest& r = q->value.request;
  if (count > kMaxTexts) return FB_ERR_COUNT_Y;
  // Block 0's texts (the login texts, datum 4082) are single texts at the value's place.
  const bool system = q->block == 0;
  if (system && count != 1) return FB_ERR_COUNT_Y;
  const uint32_t at = system ? FB_REQUEST_VALUE : 8;
  for (uint32_t i = 0; i < count; ++i) {
    if (const uint8_t s = separator(c)) return s;
    if (c.end - c.p < static_cast<std::ptrdiff_t>(FB_TEXT_LEN)) return FB_ERR_COUNT_Y;
    std::memcpy(r.bytes + at + FB_TEXT_LEN * i, c.p, FB_TEXT_LEN);
    c.p += FB_TEXT_LEN;
  }
  if (!c.done()) return COM_ERR_FRAME_END;
  if (!system) {
    r.setU8(4, static_cast<uint8_t>(count * 8 + 1));
    r.setU8(5, 0);
  }
  q->value.received = at + FB_TEXT_LEN * count;
  return FB_OK;
}

uint8_t parseBytes(ComCursor& c, uint32_t count, ComAsciiRequest* q) {
  FbParamRequest& r = q->value.request;
  if (count > kMaxBytes) return FB_ERR_COUNT_Y;
  for (uint32_t i = 0; i < count; ++i) {
    if (const uint8_t s = separator(c)) return s;
    uint32_t b;
    if (!COM_ReadDigits(c, 10, kCountMax, &b)) return brokeOffOr(c, COM_ERR_NUMBER_R);
    if (b > 255) return COM_ERR_NUMBER_R;
    r.setU8(8 + i, static_cast<uint8_t>(b));
  }
  if (!c.done()) return COM_ERR_FRAME_END;
  // An odd count is padded with a zero byte (the record is zero beyond the bytes).
  const uint32_t words = (count + 1) / 2;
  r.setU8(4, static_cast<uint8_t>(words + 1));
  r.setU8(5, 0);
  q->value.received = 8 + 2 * words;
  return FB_OK;
}

}  // namespace

uint8_t COM_AsciiParseList(const uint8_t* p, const uint8_t* etx, ComAsciiRequest* q) {
  ComCursor c{p, etx};
  int32_t index;
  if (!COM_ReadInteger(c, &index) || index < INT16_MIN || index > INT16_MAX || !c.eat(',')) {
    return COM_ERR_LIST_INDEX;
  }
  uint32_t floats;
  if (!COM_ReadDigits(c, 10, kCountMax, &floats) || !c.eat(',')) return COM_ERR_LIST_FLOATS;
  q->value.request.setU16(6, static_cast<uint16_t>(index));
  if (!textList(*q) && !byteList(*q)) return parseRecord(c, floats, q);
  if (floats != 0) return FB_ERR_COUNT_Z;
  uint32_t count;
  if (!COM_ReadDigits(c, 10, kCountMax, &count)) return brokeOffOr(c, COM_ERR_LIST_COUNT);
  return textList(*q) ? parseTexts(c, count, q) : parseBytes(c, count, q);
}

uint16_t COM_AsciiListPosition(const ComAsciiRequest& q, uint16_t badIndex) {
  if (badIndex == 0) return 0;
  const FbParamRequest& r = q.value.request;
  const uint32_t id = static_cast<uint32_t>(r.id() < 0 ? -int32_t{r.id()} : r.id());
  const uint32_t words = r.u8(4) > 0 ? r.u8(4) - 1u : 0u;
  const uint32_t floats = r.u8(5);
  // Text fields: 1 index word, 2 float count, then the floats, the word count and the words.
  const auto wordAt = [&](uint32_t i) { return static_cast<uint16_t>(floats + 3 + i); };
  // The block data requests count the index word (the block's type) as element 1.
  if ((id >= 4080 && id <= 4089) || id == FB_ID_CREATE) {
    return badIndex <= 1 ? badIndex : wordAt(badIndex - 1u);
  }
  if (badIndex <= words) return wordAt(badIndex);
  return static_cast<uint16_t>(2 + (badIndex - words));
}
