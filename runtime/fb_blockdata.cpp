#include "runtime/fb_blockdata.h"

#include <cstring>

#include "runtime/fb_schedule.h"
#include "runtime/fw_sysimage.h"

namespace {

constexpr uint16_t kMaxRecordWords = 100;   // parameter-list record, block and length included

// The input groups of a wiring record.
struct Wiring {
  uint16_t* base = nullptr;
  uint16_t analogCount = 0, digitalCount = 0;
  uint16_t* analogPairs = nullptr;
  uint16_t* digitalPairs = nullptr;
};

bool wiringOf(uint16_t block, Wiring* w) {
  uint16_t* wire = FB_GetWiring(block);
  if (!wire) return false;
  w->base = wire;
  w->analogCount = wire[FB_WIRE_ANALOG_COUNT];
  w->analogPairs = wire + FB_WIRE_ANALOG_COUNT + 1;
  w->digitalCount = w->analogPairs[2 * w->analogCount];
  w->digitalPairs = w->analogPairs + 2 * w->analogCount + 1;
  return true;
}

bool permitted(const FbTypeRecord& rec, uint16_t block) {
  if (block == 0 || block > FB_MAX_BLOCK || !rec.permitted) return false;
  for (const FbBlockRange* r = rec.permitted; r->low != 0 || r->high != 0; ++r) {
    if (block >= r->low && block <= r->high) return true;
  }
  return false;
}

uint8_t refuse(uint16_t* badIndex, uint16_t index) {
  if (badIndex) *badIndex = index;
  return FB_ERR_LIMITS;
}

// ---------------------------------------------------------------------------------------
// Writes

uint8_t createOrRewire(FbParamRequest* r, uint16_t* badIndex, uint32_t received) {
  const uint16_t block = r->block();
  const uint16_t type = r->u16(6);
  const FbTypeRecord* rec = FB_GetType(type);
  if (!rec || !rec->tmpl) return refuse(badIndex, 1);
  const uint16_t mType = rec->digitalInputs, nType = rec->analogInputs;
  if (r->u8(FB_REQUEST_COUNT1) != 2u * mType + 2u * nType + 5u) return FB_ERR_COUNT_Y;
  if (r->u8(FB_REQUEST_COUNT2) != 0) return FB_ERR_COUNT_Z;
  const uint16_t* existing = FB_GetInstance(block);
  if (existing && existing[FB_HDR_TYPE] != type) return refuse(badIndex, 1);
  if (!permitted(*rec, block)) return refuse(badIndex, 1);
  const uint16_t group = r->u16(8);
  if (rec->fixedPlaceId ? group != 0 : (group < 1 || group > FB_GROUP_COUNT)) {
    return refuse(badIndex, 2);
  }
  const auto after = static_cast<int16_t>(r->u16(10));
  const bool afterBad = rec->fixedPlaceId ? after != 0
                                          : (after < 0 || (after >= 21 && after <= 55) ||
                                             (after >= 61 && after <= 99) || after > FB_MAX_BLOCK);
  if (afterBad) return refuse(badIndex, 3);
  const uint16_t m = r->u16(12);
  if (m != mType) return refuse(badIndex, 4);
  const uint32_t analogAt = 14u + 4u * m;
  const uint16_t n = r->u16(analogAt);
  if (n != nType) return refuse(badIndex, static_cast<uint16_t>(2 * m + 5));
  if (received < analogAt + 2u + 4u * n) return FB_ERR_COUNT_Y;

  if (!existing) {
    if (const uint8_t c = FB_CreateInstance(type, block)) return c == FB_ERR_NO_ROOM ? c : refuse(badIndex, 1);
  }
  Wiring w;
  if (!wiringOf(block, &w) || w.analogCount != n || w.digitalCount != m) return refuse(badIndex, 1);
  w.base[FB_WIRE_GROUP] = group;
  w.base[FB_WIRE_AFTER] = static_cast<uint16_t>(after);
  for (uint32_t i = 0; i < 2u * n; ++i) w.analogPairs[i] = r->u16(analogAt + 2 + 2 * i);
  for (uint32_t i = 0; i < 2u * m; ++i) w.digitalPairs[i] = r->u16(14 + 2 * i);
  return FB_OK;
}

uint8_t writeExtraRecord(FbParamRequest* r, uint16_t* badIndex, uint32_t received) {
  const uint16_t block = r->block();
  uint16_t type = 0;
  if (block != 0) {
    const uint16_t* inst = FB_GetInstance(block);
    if (!inst) return FB_ERR_NO_BLOCK;
    type = inst[FB_HDR_TYPE];
  }
  if (FW_SysGetParamRecord(block)) return FB_ERR_NOT_NOW;
  if (r->u16(6) != type) return refuse(badIndex, 1);
  const uint16_t n = r->u8(FB_REQUEST_COUNT1);   // record length in words - 1
  if (n + 1u < 2u || n + 1u > kMaxRecordWords) return refuse(badIndex, 0);
  const uint16_t dataWords = static_cast<uint16_t>(n - 1);
  if (received < 8u + 2u * dataWords) return FB_ERR_COUNT_Y;
  uint16_t data[kMaxRecordWords];
  for (uint16_t i = 0; i < dataWords; ++i) data[i] = r->u16(8 + 2u * i);
  const uint8_t result = FW_SysAppendParamRecord(block, data, dataWords);
  if (result == FB_ERR_LIMITS) return refuse(badIndex, 0);
  return result;
}

uint8_t writeTextTable(FbParamRequest* r, uint16_t* badIndex, uint32_t received) {
  FbLayout L;
  if (!FB_GetLayout(r->block(), &L)) return FB_ERR_NO_BLOCK;
  if (r->u8(FB_REQUEST_COUNT1) != L.texts * 8u + 1u) return FB_ERR_COUNT_Y;
  if (r->u16(6) != L.type) return refuse(badIndex, 1);
  const uint32_t bytes = uint32_t{L.texts} * FB_TEXT_LEN;
  if (received < 8u + bytes || 8u + bytes > FB_REQUEST_BYTES) return FB_ERR_COUNT_Y;
  std::memcpy(L.text, r->bytes + 8, bytes);
  return FB_OK;
}

uint8_t writeText(FbParamRequest* r, uint32_t received) {
  FbLayout L;
  if (!FB_GetLayout(r->block(), &L)) return FB_ERR_NO_BLOCK;
  const uint32_t k = static_cast<uint32_t>(r->id() - FB_ID_TEXT);
  if (k + 1 > L.texts) return FB_ERR_UNKNOWN_ID;
  if (received < FB_REQUEST_VALUE + FB_TEXT_LEN) return FB_ERR_COUNT_Y;
  std::memcpy(L.text + k * FB_TEXT_LEN, r->bytes + FB_REQUEST_VALUE, FB_TEXT_LEN);
  return FB_OK;
}

// ---------------------------------------------------------------------------------------
// Reads

// Starts a reply: the two count bytes and the type; false when `dataBytes` from offset 8
// would not fit in the record.
bool beginReply(FbParamRequest* r, uint32_t count1, uint32_t count2, uint16_t type,
                uint32_t dataBytes) {
  if (count1 > 0xFF || count2 > 0xFF || 8u + dataBytes > FB_REQUEST_BYTES) return false;
  r->setU8(4, static_cast<uint8_t>(count1));
  r->setU8(5, static_cast<uint8_t>(count2));
  r->setU16(6, type);
  return true;
}

uint8_t readWiring(FbParamRequest* r, uint16_t* length) {
  const uint16_t block = r->block();
  Wiring w;
  if (block == 0 || !FB_GetInstance(block) || !wiringOf(block, &w)) {
    uint16_t next = 0;
    for (uint32_t b = uint32_t{block} + 1; b <= FB_MAX_BLOCK; ++b) {
      if (FB_GetInstance(b)) {
        next = static_cast<uint16_t>(b);
        break;
      }
    }
    for (uint32_t at = 4; at < 17; ++at) r->setU8(at, 0);
    r->setU8(4, 5);
    r->setU16(12, next);
    *length = 11;
    return FB_OK;
  }
  const uint32_t m = w.digitalCount, n = w.analogCount;
  if (!beginReply(r, 2 * m + 2 * n + 5, 0, w.base[FB_WIRE_TYPE], 8 + 4 * (m + n))) {
    return FB_ERR_UNKNOWN_ID;
  }
  r->setU16(8, w.base[FB_WIRE_GROUP]);
  r->setU16(10, w.base[FB_WIRE_AFTER]);
  uint32_t at = 12;
  r->setU16(at, static_cast<uint16_t>(m)), at += 2;
  for (uint32_t i = 0; i < 2 * m; ++i) r->setU16(at, w.digitalPairs[i]), at += 2;
  r->setU16(at, static_cast<uint16_t>(n)), at += 2;
  for (uint32_t i = 0; i < 2 * n; ++i) r->setU16(at, w.analogPairs[i]), at += 2;
  *length = static_cast<uint16_t>(at - 4);
  return FB_OK;
}

uint8_t readOutputs(FbParamRequest* r, const FbLayout& L, uint16_t* length) {
  const uint32_t nD = L.digitalOutputs, nA = L.analogOutputs;
  if (!beginReply(r, nD + 1, nA, L.type, 2 * nD + 4 * nA)) return FB_ERR_UNKNOWN_ID;
  uint32_t at = 8;
  for (uint32_t i = 0; i < nD; ++i) r->setU16(at, L.dout[i]), at += 2;
  for (uint32_t i = 0; i < nA; ++i) r->setF32(at, L.ao[i]), at += 4;
  *length = static_cast<uint16_t>(at - 4);
  return FB_OK;
}

uint8_t readInputs(FbParamRequest* r, const FbLayout& L, uint16_t* length) {
  const uint32_t nD = L.digitalInputs, nA = L.analogInputs;
  if (!beginReply(r, nD + 1, nA, L.type, 2 * nD + 4 * nA)) return FB_ERR_UNKNOWN_ID;
  uint32_t at = 8;
  for (uint32_t i = 0; i < nD; ++i) r->setU16(at, FB_ReadDigitalRef(L.di[i])), at += 2;
  for (uint32_t i = 0; i < nA; ++i) r->setF32(at, FB_ReadAnalogRef(L.ai[i])), at += 4;
  *length = static_cast<uint16_t>(at - 4);
  return FB_OK;
}

// Writes `words` pending word items and the pending floats first..first+count-1 (0-based).
uint8_t readSetPart(FbParamRequest* r, const FbLayout& L, uint32_t words, uint32_t first,
                    uint32_t count, uint16_t* length) {
  if (first > L.floatParams) first = L.floatParams;
  if (first + count > L.floatParams) count = L.floatParams - first;
  if (!beginReply(r, words + 1, count, L.type, 2 * words + 4 * count)) return FB_ERR_UNKNOWN_ID;
  uint32_t at = 8;
  for (uint32_t i = 0; i < words; ++i) r->setU16(at, L.wp[L.wordParams + i]), at += 2;
  for (uint32_t j = 0; j < count; ++j) r->setF32(at, L.fp[L.floatParams + first + j]), at += 4;
  *length = static_cast<uint16_t>(at - 4);
  return FB_OK;
}

uint8_t readParameterSet(FbParamRequest* r, const FbLayout& L, uint32_t part, uint16_t* length) {
  const bool contr = L.type == FB_TYPE_CONTR || L.type == FB_TYPE_PIDMA;
  const bool contrPlus = L.type == FB_TYPE_CONTR_PLUS;
  if (!contr && !contrPlus) {
    if (part != 0) return FB_ERR_UNKNOWN_ID;
    return readSetPart(r, L, L.wordParams, 0, L.floatParams, length);
  }
  if (part == 0) return readSetPart(r, L, L.wordParams, 0, 22, length);
  if (part == 1) return readSetPart(r, L, 0, 22, L.type == FB_TYPE_PIDMA ? 9 : 6, length);
  if (contrPlus && part <= 6) return readSetPart(r, L, 0, 28 + 6 * (part - 2), 6, length);
  return FB_ERR_UNKNOWN_ID;
}

uint8_t readValues(FbParamRequest* r, const FbLayout& L, uint16_t* length) {
  const uint32_t nV = L.wordValues, nL = L.longValues;
  if (!beginReply(r, nV + 1, nL, L.type, 2 * nV + 4 * nL)) return FB_ERR_UNKNOWN_ID;
  uint32_t at = 8;
  for (uint32_t i = 0; i < nV; ++i) r->setU16(at, L.wv[nV + i]), at += 2;
  for (uint32_t j = 0; j < nL; ++j) r->setU32(at, L.lv[nL + j]), at += 4;
  *length = static_cast<uint16_t>(at - 4);
  return FB_OK;
}

uint8_t readTextTable(FbParamRequest* r, const FbLayout& L, uint16_t* length) {
  const uint32_t bytes = uint32_t{L.texts} * FB_TEXT_LEN;
  if (!beginReply(r, L.texts * 8u + 1u, 0, L.type, bytes)) return FB_ERR_UNKNOWN_ID;
  std::memcpy(r->bytes + 8, L.text, bytes);
  *length = static_cast<uint16_t>(bytes + 4);
  return FB_OK;
}

uint8_t readExtraRecord(FbParamRequest* r, uint16_t* length) {
  const uint16_t block = r->block();
  uint16_t type = 0;
  if (block != 0) {
    const uint16_t* inst = FB_GetInstance(block);
    if (!inst) return FB_ERR_NO_BLOCK;
    type = inst[FB_HDR_TYPE];
  }
  const uint16_t* rec = FW_SysGetParamRecord(block);
  const uint32_t L = rec ? rec[1] : 0;
  if (!rec || L < 2 || L > kMaxRecordWords) {
    beginReply(r, 1, 0, type, 0);
    *length = 4;
    return FB_OK;
  }
  beginReply(r, L - 1, 0, type, 2 * (L - 2));
  for (uint32_t i = 0; i < L - 2; ++i) r->setU16(8 + 2 * i, rec[2 + i]);
  *length = static_cast<uint16_t>(2 * L);
  return FB_OK;
}

}  // namespace

uint8_t FB_BlockDataWrite(FbParamRequest* request, uint16_t* badIndex, uint32_t received) {
  if (badIndex) *badIndex = 0;
  if (!request) return FB_ERR_UNKNOWN_ID;
  if (received > FB_REQUEST_BYTES) received = FB_REQUEST_BYTES;
  const int16_t id = request->id();
  if (id == FB_ID_CREATE) return createOrRewire(request, badIndex, received);
  if (id == FB_ID_EXTRA) return writeExtraRecord(request, badIndex, received);
  if (request->block() == 0) return FB_ERR_NO_BLOCK;
  if (id == FB_ID_TEXT_TABLE) return writeTextTable(request, badIndex, received);
  if (id >= FB_ID_TEXT && id < FB_ID_TEXT + 100) return writeText(request, received);
  return FB_ERR_UNKNOWN_ID;
}

uint8_t FB_BlockDataRead(FbParamRequest* request, uint16_t* length) {
  uint16_t unused = 0;
  if (!length) length = &unused;
  *length = 0;
  if (!request) return FB_ERR_UNKNOWN_ID;
  const int32_t id = -int32_t{request->id()};
  if (id == FB_ID_CREATE) return readWiring(request, length);
  if (id == FB_ID_EXTRA) return readExtraRecord(request, length);
  FbLayout L;
  if (request->block() == 0 || !FB_GetLayout(request->block(), &L)) return FB_ERR_NO_BLOCK;

  if (id == FB_ID_OUTPUTS) return readOutputs(request, L, length);
  if (id == FB_ID_INPUTS) return readInputs(request, L, length);
  if (id >= FB_ID_WHOLE_SET && id <= FB_ID_WHOLE_SET + 9) {
    return readParameterSet(request, L, static_cast<uint32_t>(id - FB_ID_WHOLE_SET), length);
  }
  if (id == FB_ID_ALL_VALUES) return readValues(request, L, length);
  if (id == FB_ID_TEXT_TABLE) return readTextTable(request, L, length);

  // Single items: the pending copies, as a write has left them.
  const auto k = [&](int32_t base) { return static_cast<uint32_t>(id - base); };
  if (id >= FB_ID_FLOAT && id < FB_ID_FLOAT + 100) {
    if (k(FB_ID_FLOAT) >= L.floatParams) return FB_ERR_UNKNOWN_ID;
    request->setF32(4, L.fp[L.floatParams + k(FB_ID_FLOAT)]);
    *length = 4;
    return FB_OK;
  }
  if (id >= FB_ID_WORD && id < FB_ID_WORD + 50) {
    if (k(FB_ID_WORD) >= L.wordParams) return FB_ERR_UNKNOWN_ID;
    request->setU16(4, L.wp[L.wordParams + k(FB_ID_WORD)]);
    *length = 2;
    return FB_OK;
  }
  if (id >= FB_ID_TEXT && id <= FB_ID_TEXT + 26) {
    if (k(FB_ID_TEXT) >= L.texts) return FB_ERR_UNKNOWN_ID;
    std::memcpy(request->bytes + 4, L.text + k(FB_ID_TEXT) * FB_TEXT_LEN, FB_TEXT_LEN);
    *length = FB_TEXT_LEN;
    return FB_OK;
  }
  if (id >= FB_ID_WORD_VALUE && id < FB_ID_WORD_VALUE + 50) {
    if (k(FB_ID_WORD_VALUE) >= L.wordValues) return FB_ERR_UNKNOWN_ID;
    request->setU16(4, L.wv[L.wordValues + k(FB_ID_WORD_VALUE)]);
    *length = 2;
    return FB_OK;
  }
  if (id >= FB_ID_LONG_VALUE && id < FB_ID_LONG_VALUE + 50) {
    if (k(FB_ID_LONG_VALUE) >= L.longValues) return FB_ERR_UNKNOWN_ID;
    request->setU32(4, L.lv[L.longValues + k(FB_ID_LONG_VALUE)]);
    *length = 4;
    return FB_OK;
  }
  return FB_ERR_UNKNOWN_ID;
}

// ---------------------------------------------------------------------------------------
// Input sources

namespace {
uint16_t sourceOf(const uint16_t* pairs, uint16_t count, uint16_t i, uint16_t* sourceBlock,
                  uint16_t* sourceOutput) {
  uint16_t b = 0, o = 0;
  if (i >= 1 && i <= count) {
    b = pairs[2 * (i - 1)];
    o = pairs[2 * (i - 1) + 1];
  }
  if (sourceBlock) *sourceBlock = b;
  if (sourceOutput) *sourceOutput = o;
  if (b == 0) return 0;
  const uint16_t* src = FB_GetInstance(b);
  return src ? src[FB_HDR_TYPE] : 0;
}
}  // namespace

uint16_t FB_GetInputSource(uint16_t block, uint16_t i, uint16_t* sourceBlock,
                           uint16_t* sourceOutput) {
  Wiring w;
  if (!FB_GetInstance(block) || !wiringOf(block, &w)) return sourceOf(nullptr, 0, 0, sourceBlock, sourceOutput);
  return sourceOf(w.analogPairs, w.analogCount, i, sourceBlock, sourceOutput);
}

uint16_t FB_GetDigitalInputSource(uint16_t block, uint16_t i, uint16_t* sourceBlock,
                                  uint16_t* sourceOutput) {
  Wiring w;
  if (!FB_GetInstance(block) || !wiringOf(block, &w)) return sourceOf(nullptr, 0, 0, sourceBlock, sourceOutput);
  return sourceOf(w.digitalPairs, w.digitalCount, i, sourceBlock, sourceOutput);
}

int FB_GetAllpLimits(uint16_t block, uint16_t i, FbF32** low, FbF32** high) {
  if (low) *low = nullptr;
  if (high) *high = nullptr;
  uint16_t src = 0, out = 0;
  if (FB_GetInputSource(block, i, &src, &out) != FB_TYPE_ALLP) return 0;
  uint16_t* select = nullptr;
  FbF32 *h1 = nullptr, *l1 = nullptr;
  if (!FB_GetWordValuePtr(src, 1, &select) || *select != 0 || !FB_GetFloatParamPtr(src, 1, &h1) ||
      !FB_GetFloatParamPtr(src, 3, &l1)) {
    return 0;
  }
  if (low) *low = l1;
  if (high) *high = h1;
  return 1;
}

uint16_t FB_GetInputSourceEx(uint16_t block, uint16_t i, FbInputSourceEx* out) {
  FbInputSourceEx r{};
  r.type = FB_GetInputSource(block, i, &r.block, &r.output);
  FbF32* value = nullptr;
  if (r.type && FB_GetAnalogOutputPtr(r.block, r.output, &value)) r.value = value;
  if (!r.value) r.type = 0;
  if (out) *out = r;
  return r.type;
}
