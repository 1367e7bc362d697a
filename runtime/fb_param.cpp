#include "runtime/fb_param.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/fw_mode.h"

FbPendingFlags g_fbPending{};
uint16_t g_fbInputFailWord = 0;
uint16_t g_fbReadLength = 0;

// ---------------------------------------------------------------------------------------
// Request record

float FbParamRequest::f32(uint32_t at) const {
  const uint32_t bits = u32(at);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

void FbParamRequest::setU8(uint32_t at, uint8_t v) {
  if (at < FB_REQUEST_BYTES) bytes[at] = v;
}

void FbParamRequest::setF32(uint32_t at, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  setU32(at, bits);
}

FbParamRequest FB_FloatRequest(uint16_t block, int16_t id, float value) {
  FbParamRequest r(block, id);
  r.setF32(FB_REQUEST_VALUE, value);
  return r;
}

FbParamRequest FB_WordRequest(uint16_t block, int16_t id, uint16_t value) {
  FbParamRequest r(block, id);
  r.setU16(FB_REQUEST_VALUE, value);
  return r;
}

FbParamRequest FB_SetRequest(uint16_t block, int16_t id, std::span<const uint16_t> words,
                             std::span<const float> items) {
  FbParamRequest r(block, id);
  if (words.size() >= 0xFF || items.size() >= 0xFF) {
    // Counts no type has: the request is answered 'y' rather than read with wrapped counts.
    r.setU8(FB_REQUEST_COUNT1, 0xFF);
    r.setU8(FB_REQUEST_COUNT2, 0xFF);
    return r;
  }
  r.setU8(FB_REQUEST_COUNT1, static_cast<uint8_t>(words.size() + 1));
  r.setU8(FB_REQUEST_COUNT2, static_cast<uint8_t>(items.size()));
  uint32_t at = FB_REQUEST_ITEMS;
  for (uint16_t w : words) r.setU16(at, w), at += 2;
  for (float f : items) r.setF32(at, f), at += 4;
  return r;
}

// ---------------------------------------------------------------------------------------
// Limit checks

bool FW_CheckFloatLimit(float x, const FwFloatLimit* record, uint16_t block) {
  if (!record) return false;
  const float max = record->maxFn ? record->maxFn(block) : record->max;
  if (!(x <= max)) return false;  // also refuses NaN
  const float min = record->minFn ? record->minFn(block) : record->min;
  return x >= min || (x == FW_NO_VALUE && record->min == FW_NO_VALUE);
}

int FW_CheckShortLimit(int16_t x, const FwShortLimit* record, uint16_t block) {
  if (!record) return 0;
  if (record->min == FW_LIMIT_DISCRETE) {
    const int16_t e = record->maxFn ? record->maxFn(block, x) : record->max;
    if (x == e) return 1;
    if (x > e) return 0;
    const int16_t other = record->minFn ? record->minFn(block, e) : record->min;
    return x == other ? 1 : 0;
  }
  const int16_t max = record->maxFn ? record->maxFn(block, x) : record->max;
  if (x > max) return 0;
  const int16_t min = record->minFn ? record->minFn(block, x) : record->min;
  if (x >= min) return 1;
  return x == FW_NO_VALUE_S && record->min == FW_NO_VALUE_S ? 1 : 0;
}

uint8_t FB_CheckRequestHeader(const FbParamRequest* request, uint16_t wordsPlusOne,
                              uint16_t items) {
  if (!request || request->u8(FB_REQUEST_COUNT1) != wordsPlusOne) return FB_ERR_COUNT_Y;
  if (request->u8(FB_REQUEST_COUNT2) != items) return FB_ERR_COUNT_Z;
  return FB_OK;
}

// ---------------------------------------------------------------------------------------
// Input failures and state

void FB_SetInputFailBit(uint16_t fail, uint16_t block) {
  uint16_t bit;
  switch (block) {
    case 61: bit = 8; break;
    case 65: bit = 2; break;
    case 66: bit = 4; break;
    case 71: bit = 16; break;
    case 72: bit = 32; break;
    case 73: bit = 64; break;
    case 74: bit = 128; break;
    case 67: bit = 256; break;
    case 68: bit = 512; break;
    case 63: case 64: case 69: bit = 1024; break;
    case 70: bit = 2048; break;
    default: return;
  }
  if (fail) {
    g_fbInputFailWord = static_cast<uint16_t>(g_fbInputFailWord | bit);
  } else {
    g_fbInputFailWord = static_cast<uint16_t>(g_fbInputFailWord & ~bit);
  }
}

void FB_ClearParamState() {
  std::fill(std::begin(g_fbPending.floats), std::end(g_fbPending.floats), 0);
  std::fill(std::begin(g_fbPending.words), std::end(g_fbPending.words), 0);
  g_fbInputFailWord = 0;
}

// ---------------------------------------------------------------------------------------
// Saving

namespace {

uint8_t keepNothing(FbSaveGroup, uint16_t, uint16_t, uint16_t) { return 0; }

FbSaveHook g_saveHook = keepNothing;

uint8_t save(FbSaveGroup group, uint16_t block, uint16_t first, uint16_t count) {
  FbLayout L;
  if (!FB_GetLayout(block, &L)) return 1;
  uint16_t n = 0;
  switch (group) {
    case FbSaveGroup::FloatParams: n = L.floatParams; break;
    case FbSaveGroup::WordParams: n = L.wordParams; break;
    case FbSaveGroup::LongValues: n = L.longValues; break;
    case FbSaveGroup::StateWords: n = L.stateWords; break;
  }
  if (count == 0) return 0;
  if (first == 0 || first - 1u + count > n) return 1;
  return g_saveHook(group, block, first, count) ? 1 : 0;
}

}  // namespace

FbSaveHook FB_SetSaveHook(FbSaveHook hook) {
  const FbSaveHook previous = g_saveHook;
  g_saveHook = hook ? hook : keepNothing;
  return previous;
}

uint8_t FB_SaveFloatParams(uint16_t block, uint16_t first, uint16_t count) {
  return save(FbSaveGroup::FloatParams, block, first, count);
}
uint8_t FB_SaveWordParams(uint16_t block, uint16_t first, uint16_t count) {
  return save(FbSaveGroup::WordParams, block, first, count);
}
uint8_t FB_SaveLongParams(uint16_t block, uint16_t first, uint16_t count) {
  return save(FbSaveGroup::LongValues, block, first, count);
}
uint8_t FB_SaveStateWords(uint16_t block, uint16_t first, uint16_t count) {
  return save(FbSaveGroup::StateWords, block, first, count);
}

// ---------------------------------------------------------------------------------------
// Pending copies

namespace {

void takeOverFloats(const FbLayout& L) {
  for (uint16_t i = 0; i < L.floatParams; ++i) L.fp[i] = L.fp[L.floatParams + i].get();
}
void takeOverWords(const FbLayout& L) {
  std::copy(L.wp + L.wordParams, L.wp + 2 * L.wordParams, L.wp);
}

// The run-mode rule after an accepted request for the float (word) parameters: while the
// device runs, a change sets the block's pending flag; while it is stopped the pending
// copies apply at once, also those of a change that was still waiting when it stopped.
void floatsAccepted(const FbLayout& L, uint16_t block, bool changed) {
  if (!FW_IsRunning()) {
    takeOverFloats(L);
  } else if (changed) {
    g_fbPending.floats[block] = 1;
  }
}
void wordsAccepted(const FbLayout& L, uint16_t block, bool changed) {
  if (!FW_IsRunning()) {
    takeOverWords(L);
  } else if (changed) {
    g_fbPending.words[block] = 1;
  }
}

// The block's instance and its type's limit records (none when the type has no table).
struct Target {
  FbLayout L;
  FbLimitTable limits;
};

bool findTarget(uint16_t block, Target* t) {
  if (!FB_GetLayout(block, &t->L)) return false;
  const FbTypeRecord* rec = FB_GetType(t->L.type);
  t->limits = rec && rec->limits ? *rec->limits : FbLimitTable{};
  return true;
}

// The target of a whole-set request.
uint8_t findSetTarget(const FbParamRequest* request, uint16_t* badIndex, Target* t) {
  if (badIndex) *badIndex = 0;
  if (!request) return FB_ERR_UNKNOWN_ID;
  return findTarget(request->block(), t) ? FB_OK : FB_ERR_NO_BLOCK;
}

// Record k of a group, or null when k lies outside the group or the table.
template <typename R>
const R* recordOf(std::span<const R> records, uint16_t count, uint32_t k) {
  return k < count && k < records.size() ? &records[k] : nullptr;
}

// The float whose bits a pending 4-byte copy holds.
float pendingFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// True when the table has a record for every member of the group.
template <typename R>
bool covers(std::span<const R> records, uint16_t count) {
  return records.size() >= count;
}

}  // namespace

uint8_t FB_ApplyPendingFloats(uint16_t block) {
  if (block > FB_MAX_BLOCK || !g_fbPending.floats[block]) return FB_APPLY_NONE;
  FbLayout L;
  if (!FB_GetLayout(block, &L)) return FB_APPLY_NONE;
  takeOverFloats(L);
  if (FB_SaveFloatParams(block, 1, L.floatParams) != 0) return FB_APPLY_NOT_SAVED;
  g_fbPending.floats[block] = 0;
  return FB_APPLY_SAVED;
}

uint8_t FB_ApplyPendingWords(uint16_t block) {
  if (block > FB_MAX_BLOCK || !g_fbPending.words[block]) return FB_APPLY_NONE;
  FbLayout L;
  if (!FB_GetLayout(block, &L)) return FB_APPLY_NONE;
  takeOverWords(L);
  if (FB_SaveWordParams(block, 1, L.wordParams) != 0) return FB_APPLY_NOT_SAVED;
  g_fbPending.words[block] = 0;
  return FB_APPLY_SAVED;
}

// ---------------------------------------------------------------------------------------
// The standard handler and its steps

uint8_t FB_ParamFloat(uint16_t block, uint16_t k, float value) {
  Target t;
  if (!findTarget(block, &t)) return FB_ERR_NO_BLOCK;
  const FwFloatLimit* rec = recordOf(t.limits.floatParams, t.L.floatParams, k);
  if (!rec) return FB_ERR_UNKNOWN_ID;
  if (!FW_CheckFloatLimit(value, rec, block)) return FB_ERR_LIMITS;
  FbF32& pending = t.L.fp[t.L.floatParams + k];
  // Compared with the pending copy: a value that equals the current one while another
  // change still waits must not be dropped.
  const bool changed = pending.get() != value;
  if (changed) pending = value;
  floatsAccepted(t.L, block, changed);
  return FB_OK;
}

uint8_t FB_ParamWord(uint16_t block, uint16_t k, uint16_t value, FwShortCheck check) {
  Target t;
  if (!findTarget(block, &t)) return FB_ERR_NO_BLOCK;
  const FwShortLimit* rec = recordOf(t.limits.wordParams, t.L.wordParams, k);
  if (!rec) return FB_ERR_UNKNOWN_ID;
  if (!(check ? check : FW_CheckShortLimit)(static_cast<int16_t>(value), rec, block)) {
    return FB_ERR_LIMITS;
  }
  uint16_t& pending = t.L.wp[t.L.wordParams + k];
  const bool changed = pending != value;
  if (changed) pending = value;
  wordsAccepted(t.L, block, changed);
  return FB_OK;
}

uint8_t FB_ParamWordValue(uint16_t block, uint16_t k, uint16_t value, FwShortCheck check) {
  Target t;
  if (!findTarget(block, &t)) return FB_ERR_NO_BLOCK;
  const FwShortLimit* rec = recordOf(t.limits.wordValues, t.L.wordValues, k);
  if (!rec) return FB_ERR_UNKNOWN_ID;
  if (!(check ? check : FW_CheckShortLimit)(static_cast<int16_t>(value), rec, block)) {
    return FB_ERR_LIMITS;
  }
  t.L.wv[t.L.wordValues + k] = value;
  return FB_OK;
}

uint8_t FB_ParamLongValue(uint16_t block, uint16_t k, float value) {
  Target t;
  if (!findTarget(block, &t)) return FB_ERR_NO_BLOCK;
  const FwFloatLimit* rec = recordOf(t.limits.longValues, t.L.longValues, k);
  if (!rec) return FB_ERR_UNKNOWN_ID;
  if (!FW_CheckFloatLimit(value, rec, block)) return FB_ERR_LIMITS;
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  t.L.lv[t.L.longValues + k] = bits;
  return FB_OK;
}

namespace {

// Checks a whole-set request against the records of its word group and of its 4-byte
// group: 'i' when the type has neither group or lacks records for them, the count check's
// result, or 'l' with the 1-based position of the first bad element (words first). Every
// element is checked before anything is written, so that a refused set changes nothing.
uint8_t checkSet(const FbParamRequest* request, uint16_t block,
                 std::span<const FwShortLimit> wordRecords, uint16_t nWords,
                 std::span<const FwFloatLimit> itemRecords, uint16_t nItems, uint16_t* badIndex) {
  if (nWords + nItems == 0 || !covers(wordRecords, nWords) || !covers(itemRecords, nItems)) {
    return FB_ERR_UNKNOWN_ID;
  }
  if (const uint8_t h = FB_CheckRequestHeader(request, nWords + 1, nItems)) return h;
  const uint32_t itemsAt = FB_REQUEST_ITEMS + 2u * nWords;
  for (uint16_t i = 0; i < nWords; ++i) {
    const auto x = static_cast<int16_t>(request->u16(FB_REQUEST_ITEMS + 2u * i));
    if (!FW_CheckShortLimit(x, &wordRecords[i], block)) {
      if (badIndex) *badIndex = static_cast<uint16_t>(i + 1);
      return FB_ERR_LIMITS;
    }
  }
  for (uint16_t j = 0; j < nItems; ++j) {
    if (!FW_CheckFloatLimit(request->f32(itemsAt + 4u * j), &itemRecords[j], block)) {
      if (badIndex) *badIndex = static_cast<uint16_t>(nWords + j + 1);
      return FB_ERR_LIMITS;
    }
  }
  return FB_OK;
}

}  // namespace

uint8_t FB_ParamWholeSet(const FbParamRequest* request, uint16_t* badIndex) {
  Target t;
  if (const uint8_t r = findSetTarget(request, badIndex, &t)) return r;
  const uint16_t block = request->block(), nW = t.L.wordParams, nF = t.L.floatParams;
  if (const uint8_t r =
          checkSet(request, block, t.limits.wordParams, nW, t.limits.floatParams, nF, badIndex)) {
    return r;
  }
  FB_StoreWholeSet(request);
  return FB_OK;
}

void FB_StoreWholeSet(const FbParamRequest* request) {
  Target t;
  if (!request || !findTarget(request->block(), &t)) return;
  const uint16_t block = request->block(), nW = t.L.wordParams, nF = t.L.floatParams;
  const uint32_t floatsAt = FB_REQUEST_ITEMS + 2u * nW;
  bool wordsDiffer = false, floatsDiffer = false;
  for (uint16_t i = 0; i < nW; ++i) {
    uint16_t& pending = t.L.wp[nW + i];
    const uint16_t x = request->u16(FB_REQUEST_ITEMS + 2u * i);
    if (pending != x) pending = x, wordsDiffer = true;
  }
  for (uint16_t j = 0; j < nF; ++j) {
    FbF32& pending = t.L.fp[nF + j];
    const float x = request->f32(floatsAt + 4u * j);
    if (pending.get() != x) pending = x, floatsDiffer = true;
  }
  if (nW) wordsAccepted(t.L, block, wordsDiffer);
  if (nF) floatsAccepted(t.L, block, floatsDiffer);
}

uint8_t FB_ParamAllValues(const FbParamRequest* request, uint16_t* badIndex) {
  Target t;
  if (const uint8_t r = findSetTarget(request, badIndex, &t)) return r;
  const uint16_t block = request->block(), nV = t.L.wordValues, nL = t.L.longValues;
  if (const uint8_t r =
          checkSet(request, block, t.limits.wordValues, nV, t.limits.longValues, nL, badIndex)) {
    return r;
  }
  const uint32_t longsAt = FB_REQUEST_ITEMS + 2u * nV;
  for (uint16_t i = 0; i < nV; ++i) t.L.wv[nV + i] = request->u16(FB_REQUEST_ITEMS + 2u * i);
  for (uint16_t j = 0; j < nL; ++j) t.L.lv[nL + j] = request->u32(longsAt + 4u * j);
  return FB_OK;
}

// ---------------------------------------------------------------------------------------
// Whole sets with cross limits

uint8_t FB_ParamCrossSetPart(const FbParamRequest* request, const FbSetPart& part,
                             uint16_t* badIndex) {
  Target t;
  if (const uint8_t r = findSetTarget(request, badIndex, &t)) return r;
  const bool params = part.groups == FbSetGroups::Params;
  const uint16_t nW = params ? t.L.wordParams : t.L.wordValues;
  const uint16_t nI = params ? t.L.floatParams : t.L.longValues;
  const uint32_t wordEnd = uint32_t{part.firstWord} + part.words;
  const uint32_t itemEnd = uint32_t{part.firstItem} + part.items;
  if (part.words + part.items == 0 || wordEnd > nW || itemEnd > nI) return FB_ERR_UNKNOWN_ID;

  // The records of the set's elements.
  std::span<const FwShortLimit> wordRecords = part.wordLimits;
  std::span<const FwFloatLimit> itemRecords = part.itemLimits;
  if (wordRecords.empty() && part.words) {
    const auto table = params ? t.limits.wordParams : t.limits.wordValues;
    if (table.size() < wordEnd) return FB_ERR_UNKNOWN_ID;
    wordRecords = table.subspan(part.firstWord, part.words);
  }
  if (itemRecords.empty() && part.items) {
    const auto table = params ? t.limits.floatParams : t.limits.longValues;
    if (table.size() < itemEnd) return FB_ERR_UNKNOWN_ID;
    itemRecords = table.subspan(part.firstItem, part.items);
  }
  if (wordRecords.size() < part.words || itemRecords.size() < part.items) {
    return FB_ERR_UNKNOWN_ID;
  }
  if (const uint8_t h = FB_CheckRequestHeader(request, part.words + 1, part.items)) return h;

  // The pending copies the set writes (4-byte items as their bits: floats and 4-byte values
  // alike). The count bytes bound the set to 254 words and 255 items.
  uint16_t* pendingWords = (params ? t.L.wp : t.L.wv) + nW + part.firstWord;
  FbU32* pendingItems =
      (params ? reinterpret_cast<FbU32*>(t.L.fp) : t.L.lv) + nI + part.firstItem;
  uint16_t savedWords[255];
  uint32_t savedItems[255];
  const uint32_t itemsAt = FB_REQUEST_ITEMS + 2u * part.words;
  bool wordsDiffer = false, itemsDiffer = false;
  for (uint16_t i = 0; i < part.words; ++i) {
    savedWords[i] = pendingWords[i];
    const uint16_t x = request->u16(FB_REQUEST_ITEMS + 2u * i);
    if (pendingWords[i] != x) pendingWords[i] = x, wordsDiffer = true;
  }
  for (uint16_t j = 0; j < part.items; ++j) {
    savedItems[j] = pendingItems[j];
    const uint32_t bits = request->u32(itemsAt + 4u * j);
    // Floats compare as floats (0.0 equals -0.0; NaN never passes the check below).
    if (request->f32(itemsAt + 4u * j) != pendingFloat(pendingItems[j])) itemsDiffer = true;
    pendingItems[j] = bits;
  }

  const uint16_t block = request->block();
  auto checkWord = part.checkWord ? part.checkWord : FW_CheckShortLimit;
  uint16_t bad = 0;
  for (uint16_t i = 0; i < part.words && !bad; ++i) {
    if (!checkWord(static_cast<int16_t>(pendingWords[i]), &wordRecords[i], block)) {
      bad = static_cast<uint16_t>(i + 1);
    }
  }
  for (uint16_t j = 0; j < part.items && !bad; ++j) {
    if (!FW_CheckFloatLimit(pendingFloat(pendingItems[j]), &itemRecords[j], block)) {
      bad = static_cast<uint16_t>(part.words + j + 1);
    }
  }
  if (bad) {
    for (uint16_t i = 0; i < part.words; ++i) pendingWords[i] = savedWords[i];
    for (uint16_t j = 0; j < part.items; ++j) pendingItems[j] = savedItems[j];
    if (badIndex) *badIndex = bad;
    return FB_ERR_LIMITS;
  }
  if (params) {
    if (part.words) wordsAccepted(t.L, block, wordsDiffer);
    if (part.items) floatsAccepted(t.L, block, itemsDiffer);
  }
  return FB_OK;
}

uint8_t FB_ParamCrossSet(const FbParamRequest* request, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  if (!request) return FB_ERR_UNKNOWN_ID;
  FbLayout L;
  if (!FB_GetLayout(request->block(), &L)) return FB_ERR_NO_BLOCK;
  FbSetPart part;
  if (request->id() == FB_ID_WHOLE_SET) {
    part.words = L.wordParams;
    part.items = L.floatParams;
  } else if (request->id() == FB_ID_ALL_VALUES) {
    part.groups = FbSetGroups::Values;
    part.words = L.wordValues;
    part.items = L.longValues;
  } else {
    return FB_ERR_UNKNOWN_ID;
  }
  return FB_ParamCrossSetPart(request, part, badIndex);
}

uint8_t FB_StandardParamCross(FbParamRequest* request, uint16_t* badIndex) {
  if (request && (request->id() == FB_ID_WHOLE_SET || request->id() == FB_ID_ALL_VALUES)) {
    return FB_ParamCrossSet(request, badIndex);
  }
  return FB_StandardParam(request, badIndex);
}

// ---------------------------------------------------------------------------------------

uint8_t FB_StandardParam(FbParamRequest* request, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  if (!request) return FB_ERR_UNKNOWN_ID;
  const uint16_t block = request->block();
  if (!FB_GetInstance(block)) return FB_ERR_NO_BLOCK;
  const int16_t id = request->id();
  if (id == FB_ID_WHOLE_SET) return FB_ParamWholeSet(request, badIndex);
  if (id == FB_ID_ALL_VALUES) return FB_ParamAllValues(request, badIndex);

  const bool single = (id >= FB_ID_FLOAT && id < FB_ID_TEXT) ||
                      (id >= FB_ID_WORD_VALUE && id < FB_ID_WHOLE_SET);
  if (!single) return FB_ERR_UNKNOWN_ID;  // texts, reads and requests of other kinds
  const float f = request->f32(FB_REQUEST_VALUE);
  const uint16_t w = request->u16(FB_REQUEST_VALUE);
  if (id < FB_ID_WORD) return FB_ParamFloat(block, static_cast<uint16_t>(id - FB_ID_FLOAT), f);
  if (id < FB_ID_TEXT) return FB_ParamWord(block, static_cast<uint16_t>(id - FB_ID_WORD), w);
  if (id < FB_ID_LONG_VALUE) {
    return FB_ParamWordValue(block, static_cast<uint16_t>(id - FB_ID_WORD_VALUE), w);
  }
  return FB_ParamLongValue(block, static_cast<uint16_t>(id - FB_ID_LONG_VALUE), f);
}

// ---------------------------------------------------------------------------------------

int32_t FW_ScaleToPermille(float x, float a, float b) {
  if (std::isnan(x) || std::isnan(a) || std::isnan(b)) return 0;
  float v;
  if (a < b) {
    if (x < a) return -1;
    if (x > b) return 1001;
    v = (x - a) / (b - a) * 1000.0f;
  } else {
    if (x < b) return -1;
    if (x > a) return 1001;
    if (a == b) return 1000;  // an empty range: no division by zero
    v = 1000.0f - (x - b) / (a - b) * 1000.0f;
  }
  return FW_FloatToI32(std::round(static_cast<double>(v)));
}

void FW_TrimRight(char* text) {
  if (!text) return;
  size_t n = std::strlen(text);
  while (n > 0 && text[n - 1] == ' ') text[--n] = '\0';
}
