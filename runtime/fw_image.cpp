#include "runtime/fw_image.h"

#include <algorithm>
#include <cstring>

#include "runtime/fb_schedule.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_text.h"

uint8_t g_fwImage[FW_IMAGE_SIZE];
FwEngineeringState g_fwEng;

namespace {

FwEngineeringClearHook g_clearHook = nullptr;

uint8_t queueWrite(const uint8_t* ram, uint32_t address, uint32_t length) {
  return FW_QueueEepromWrite(ram, address, length) == FW_QUEUE_OK ? 0 : 1;
}

// Queues an image range, draining the ring while it is full. The ring drains only in the
// tick, and a chunk costs nothing in the simulator, so waiting for room means writing
// chunks here; the number of rounds is bounded so that a ring that cannot drain (EEPROM
// missing) fails the save instead of hanging the firmware.
bool queueWaiting(const uint8_t* ram, uint32_t address, uint32_t length, uint16_t stepCode) {
  constexpr int kRounds = 64;
  for (int round = 0; round < kRounds; ++round) {
    if (queueWrite(ram, address, length) == 0) return true;
    FW_PostStepCode(stepCode);
    FW_EepromWriteBack();
  }
  return false;
}

void queueImageByte(uint32_t offset) { queueWrite(&g_fwImage[offset], offset, 1); }

void setStoppedRunMode() {
  g_fwRunMode = FW_RUN_MODE_STOP;
  g_fwImage[FW_IMG_RUN_MODE] = 1;
  queueImageByte(FW_IMG_RUN_MODE);
}

// ---------------------------------------------------------------------------------------
// The parameter list region.

struct ParamRegion {
  uint16_t words[FB_INSTANCE_HEAP_WORDS];
  uint32_t fill;        // words in use
  uint32_t systemLink;  // link of the system-data block's record
};
ParamRegion g_params{};

void clearParamRegion() {
  std::fill(std::begin(g_params.words), std::begin(g_params.words) + g_params.fill, 0);
  g_params.fill = 0;
  g_params.systemLink = 0;
  g_fbStore.paramListWords = 0;
}

// ---------------------------------------------------------------------------------------
// Bounded reading and writing of the image's lists. A read or write that would reach the
// limit leaves the cursor's ok flag false; nothing past the limit is touched.

class Reader {
 public:
  Reader(const uint8_t* data, uint32_t pos, uint32_t limit) : d_(data), pos_(pos), limit_(limit) {}
  bool take(uint32_t n) {
    if (!ok_ || pos_ > limit_ || n > limit_ - pos_) return ok_ = false;
    pos_ += n;
    return true;
  }
  uint8_t u8() { return take(1) ? d_[pos_ - 1] : 0; }
  uint16_t u16() { return take(2) ? FW_GetU16(d_ + pos_ - 2) : 0; }
  uint32_t pos() const { return pos_; }
  bool ok() const { return ok_; }

 private:
  const uint8_t* d_;
  uint32_t pos_, limit_;
  bool ok_ = true;
};

class Writer {
 public:
  Writer(uint8_t* data, uint32_t pos, uint32_t limit) : d_(data), pos_(pos), limit_(limit) {}
  uint8_t* take(uint32_t n) {
    if (!ok_ || pos_ > limit_ || n > limit_ - pos_) {
      ok_ = false;
      return nullptr;
    }
    pos_ += n;
    return d_ + pos_ - n;
  }
  void u8(uint8_t v) {
    if (uint8_t* p = take(1)) *p = v;
  }
  void u16(uint16_t v) {
    if (uint8_t* p = take(2)) FW_PutU16(p, v);
  }
  void u32(uint32_t v) {
    if (uint8_t* p = take(4)) FW_PutU32(p, v);
  }
  void bytes(const void* src, uint32_t n) {
    if (uint8_t* p = take(n)) std::memcpy(p, src, n);
  }
  uint32_t pos() const { return pos_; }
  bool ok() const { return ok_; }

 private:
  uint8_t* d_;
  uint32_t pos_, limit_;
  bool ok_ = true;
};

bool storedTypeRange(uint32_t type) { return (type >= 1 && type <= 129) || (type >= 150 && type <= 255); }

// One block record of the image, checked, with the offsets of its groups.
struct RecordView {
  uint16_t block = 0, size = 0, after = 0, stateWords = 0, workWords = 0;
  uint8_t type = 0, group = 0;
  uint8_t nAO = 0, nDO = 0, nAI = 0, nDI = 0, nF = 0, nW = 0, nL = 0, nV = 0, nT = 0;
  uint32_t at = 0;  // offset of the block number
  uint32_t ai = 0, di = 0, fp = 0, wp = 0, lv = 0, wv = 0, tx = 0, st = 0, end = 0;
};

// Reads the record whose block number lies at `at`: every field within its cap, every byte
// before the login block, the type in use and its template's counts and size.
FwImageError readRecord(const uint8_t* img, uint32_t at, RecordView& v) {
  Reader r(img, at, FW_IMG_LOGIN_BLOCK);
  v.at = at;
  v.block = r.u16();
  v.size = r.u16();
  v.type = r.u8();
  v.group = r.u8();
  v.after = r.u16();
  v.nAO = r.u8();
  v.nDO = r.u8();
  v.nAI = r.u8();
  v.ai = r.pos();
  r.take(3u * v.nAI);
  v.nDI = r.u8();
  v.di = r.pos();
  r.take(3u * v.nDI);
  v.nF = r.u8();
  v.fp = r.pos();
  r.take(4u * v.nF);
  v.nW = r.u8();
  v.wp = r.pos();
  r.take(v.nW);
  v.nL = r.u8();
  v.lv = r.pos();
  r.take(4u * v.nL);
  v.nV = r.u8();
  v.wv = r.pos();
  r.take(2u * v.nV);
  v.nT = r.u8();
  v.tx = r.pos();
  r.take(FB_TEXT_LEN * v.nT);
  v.stateWords = r.u16();
  v.st = r.pos();
  r.take(2u * v.stateWords);
  v.workWords = r.u16();
  v.end = r.pos();
  if (!r.ok()) return FwImageError::Truncated;

  if (v.size > FW_REC_MAX_SIZE || v.group > FW_REC_MAX_GROUP || v.after > FB_MAX_BLOCK ||
      v.nAO > FW_REC_MAX_IO || v.nDO > FW_REC_MAX_IO || v.nAI > FW_REC_MAX_IO ||
      v.nDI > FW_REC_MAX_IO || v.nF > FW_REC_MAX_PARAMS || v.nW > FW_REC_MAX_PARAMS ||
      v.nL > FW_REC_MAX_PARAMS || v.nV > FW_REC_MAX_PARAMS || v.nT > FW_REC_MAX_PARAMS ||
      v.stateWords > FW_REC_MAX_STATE || v.workWords > FW_REC_MAX_WORK) {
    return FwImageError::RecordField;
  }
  const FbTypeRecord* type = storedTypeRange(v.type) ? FB_GetType(v.type) : nullptr;
  if (!type || !type->tmpl) return FwImageError::Type;
  // The instance is built from the type's template, so the record must describe exactly
  // that layout: handlers address their slots by the type's counts.
  const FbTemplate& t = *type->tmpl;
  if (v.size != t.size || v.nAO != t.analogOutputs || v.nDO != t.digitalOutputs ||
      v.nAI != t.analogInputs || v.nDI != t.digitalInputs || v.nF != t.floatParams.size() ||
      v.nW != t.wordParams.size() || v.nL != t.longValues.size() ||
      v.nV != t.wordValues.size() || v.nT != t.texts.size() ||
      v.stateWords != t.stateWords.size() || v.workWords != t.workWords) {
    return FwImageError::TemplateMismatch;
  }
  return FwImageError::None;
}

// The checked block records of the image being loaded, in image order.
RecordView g_views[FB_MAX_BLOCK];

struct ParamListView {
  uint32_t start = 0;   // offset of the first record
  uint32_t count = 0;   // records
};

// Checks both lists of the image without touching the block store: block numbers, records,
// heap room for the instances, wiring records and the parameter list.
FwImageError validateImage(const uint8_t* img, uint32_t& blockCount, ParamListView& params) {
  bool seen[FB_LIST_SIZE] = {};
  uint32_t instanceFill = 1, wiringFill = 0;
  uint32_t pos = FW_IMG_BLOCK_LIST;
  blockCount = 0;
  for (;;) {
    Reader r(img, pos, FW_IMG_LOGIN_BLOCK);
    const uint16_t block = r.u16();
    if (!r.ok()) return FwImageError::Truncated;
    if (block == 0) {
      pos = r.pos();
      break;
    }
    g_fwEng.badBlock = block;
    if (block > FB_MAX_BLOCK || seen[block]) return FwImageError::BlockNumber;
    RecordView& v = g_views[blockCount];
    if (FwImageError e = readRecord(img, pos, v); e != FwImageError::None) return e;
    const uint32_t wiringWords = 2u * (v.nAI + v.nDI + 3u);
    if (instanceFill + v.size >= FB_INSTANCE_HEAP_WORDS ||
        wiringFill + wiringWords >= FB_WIRING_HEAP_WORDS) {
      return FwImageError::HeapFull;
    }
    instanceFill += v.size;
    wiringFill += wiringWords;
    seen[block] = true;
    ++blockCount;
    pos = v.end;
  }

  params.start = pos;
  params.count = 0;
  uint32_t paramWords = 0;
  for (;;) {
    Reader r(img, pos, FW_IMG_LOGIN_BLOCK);
    const uint16_t block = r.u16();
    if (!r.ok()) return FwImageError::Truncated;
    if (block == 0) break;
    g_fwEng.badBlock = block;
    const uint16_t length = r.u16();
    if (!r.ok()) return FwImageError::Truncated;
    const bool named = block == FW_PARAM_SYSTEM_BLOCK || (block <= FB_MAX_BLOCK && seen[block]);
    if (!named || length < 2 || length > FW_PARAM_MAX_WORDS) return FwImageError::ParamRecord;
    if (!r.take(2u * (length - 2u))) return FwImageError::Truncated;
    if (instanceFill + paramWords + length > FB_INSTANCE_HEAP_WORDS) return FwImageError::HeapFull;
    paramWords += length;
    ++params.count;
    pos = r.pos();
  }
  g_fwEng.badBlock = 0;
  return FwImageError::None;
}

// Fills a block built from its template with the values of its record.
void fillBlock(const uint8_t* img, const RecordView& v) {
  FbLayout L;
  FB_GetLayout(v.block, &L);
  L.base[FB_HDR_GROUP] = v.group;

  uint16_t* wire = FB_GetWiring(v.block);
  wire[FB_WIRE_GROUP] = v.group;
  wire[FB_WIRE_AFTER] = v.after;
  uint16_t* pairs = wire + FB_WIRE_ANALOG_COUNT + 1;
  for (uint32_t i = 0; i < v.nAI; ++i) {
    pairs[2 * i] = FW_GetU16(img + v.ai + 3 * i);
    pairs[2 * i + 1] = img[v.ai + 3 * i + 2];
  }
  pairs += 2u * v.nAI + 1;
  for (uint32_t i = 0; i < v.nDI; ++i) {
    pairs[2 * i] = FW_GetU16(img + v.di + 3 * i);
    pairs[2 * i + 1] = img[v.di + 3 * i + 2];
  }

  for (uint32_t i = 0; i < v.nF; ++i) {
    const uint32_t bits = FW_GetU32(img + v.fp + 4 * i);
    std::memcpy(L.fp[i].w, &bits, sizeof bits);
    std::memcpy(L.fp[v.nF + i].w, &bits, sizeof bits);
  }
  for (uint32_t i = 0; i < v.nW; ++i) L.wp[i] = L.wp[v.nW + i] = img[v.wp + i];
  for (uint32_t i = 0; i < v.nL; ++i) L.lv[i] = L.lv[v.nL + i] = FW_GetU32(img + v.lv + 4 * i);
  for (uint32_t i = 0; i < v.nV; ++i) L.wv[i] = L.wv[v.nV + i] = FW_GetU16(img + v.wv + 2 * i);
  std::memcpy(L.text, img + v.tx, FB_TEXT_LEN * v.nT);
  for (uint32_t i = 0; i < v.stateWords; ++i) L.state[i] = FW_GetU16(img + v.st + 2 * i);
  *L.link = 0;
}

void failLoad(FwImageError e) {
  g_fwEng.lastError = e;
  g_fwEng.status |= FW_ENG_STOPPED;
  g_fwEng.status &= static_cast<uint8_t>(~FW_ENG_RUN_OK);
  g_fwEng.errors |= FW_ENG_ERR_FAULTY;
  setStoppedRunMode();
}

// The image's block list was not taken: the store does not hold it, so saves stay off until
// the next load.
void refuseImage(FwImageError e) {
  failLoad(e);
  g_fwEng.refused = 1;
}

// Links a parameter-list record (already in the region at `at`) to its block.
void linkParamRecord(uint16_t block, uint32_t at) {
  if (block == FW_PARAM_SYSTEM_BLOCK) {
    g_params.systemLink = at + 1;
    return;
  }
  FbLayout L;
  if (FB_GetLayout(block, &L)) *L.link = at + 1;
}

// ---------------------------------------------------------------------------------------
// Saving into a scratch copy.

uint8_t g_scratch[FW_IMAGE_SIZE];
uint32_t g_recordAt[FB_LIST_SIZE];  // offsets of the written block records, 0 = none

// Writes one block's record from its instance and wiring record.
bool writeRecord(Writer& w, uint16_t block) {
  FbLayout L;
  const uint16_t* wire = FB_GetWiring(block);
  if (!FB_GetLayout(block, &L) || !wire) return false;
  const uint16_t group = wire[FB_WIRE_GROUP], after = wire[FB_WIRE_AFTER];
  const uint16_t nA = wire[FB_WIRE_ANALOG_COUNT];
  const uint16_t* analogPairs = wire + FB_WIRE_ANALOG_COUNT + 1;
  const uint16_t nD = analogPairs[2 * nA];
  const uint16_t* digitalPairs = analogPairs + 2 * nA + 1;
  if (nA != L.analogInputs || nD != L.digitalInputs || L.size > FW_REC_MAX_SIZE ||
      !storedTypeRange(L.type) || group > FW_REC_MAX_GROUP || after > FB_MAX_BLOCK ||
      L.analogOutputs > FW_REC_MAX_IO || L.digitalOutputs > FW_REC_MAX_IO ||
      nA > FW_REC_MAX_IO || nD > FW_REC_MAX_IO || L.floatParams > FW_REC_MAX_PARAMS ||
      L.wordParams > FW_REC_MAX_PARAMS || L.longValues > FW_REC_MAX_PARAMS ||
      L.wordValues > FW_REC_MAX_PARAMS || L.texts > FW_REC_MAX_PARAMS ||
      L.stateWords > FW_REC_MAX_STATE || L.workWords > FW_REC_MAX_WORK) {
    return false;
  }
  for (uint32_t i = 0; i < nA + nD; ++i) {
    const uint16_t output = i < nA ? analogPairs[2 * i + 1] : digitalPairs[2 * (i - nA) + 1];
    if (output > 0xFF) return false;  // the record keeps output numbers in one byte
  }

  g_recordAt[block] = w.pos();
  w.u16(block);
  w.u16(L.size);
  w.u8(static_cast<uint8_t>(L.type));
  w.u8(static_cast<uint8_t>(group));
  w.u16(after);
  w.u8(static_cast<uint8_t>(L.analogOutputs));
  w.u8(static_cast<uint8_t>(L.digitalOutputs));
  w.u8(static_cast<uint8_t>(nA));
  for (uint32_t i = 0; i < nA; ++i) {
    w.u16(analogPairs[2 * i]);
    w.u8(static_cast<uint8_t>(analogPairs[2 * i + 1]));
  }
  w.u8(static_cast<uint8_t>(nD));
  for (uint32_t i = 0; i < nD; ++i) {
    w.u16(digitalPairs[2 * i]);
    w.u8(static_cast<uint8_t>(digitalPairs[2 * i + 1]));
  }
  w.u8(static_cast<uint8_t>(L.floatParams));
  for (uint32_t i = 0; i < L.floatParams; ++i) {
    uint32_t bits;
    std::memcpy(&bits, L.fp[i].w, sizeof bits);
    w.u32(bits);
  }
  w.u8(static_cast<uint8_t>(L.wordParams));
  for (uint32_t i = 0; i < L.wordParams; ++i) w.u8(static_cast<uint8_t>(L.wp[i]));
  w.u8(static_cast<uint8_t>(L.longValues));
  for (uint32_t i = 0; i < L.longValues; ++i) w.u32(L.lv[L.longValues + i]);
  w.u8(static_cast<uint8_t>(L.wordValues));
  for (uint32_t i = 0; i < L.wordValues; ++i) w.u16(L.wv[L.wordValues + i]);
  w.u8(static_cast<uint8_t>(L.texts));
  w.bytes(L.text, FB_TEXT_LEN * L.texts);
  w.u16(L.stateWords);
  for (uint32_t i = 0; i < L.stateWords; ++i) w.u16(L.state[i]);
  w.u16(L.workWords);
  return w.ok();
}

// Writes the block list into the scratch copy: the position after its end marker, or 0.
uint32_t writeBlockList() {
  std::fill(std::begin(g_recordAt), std::end(g_recordAt), 0);
  FW_PutU32(g_scratch + FW_IMG_ENG_VALUE, g_fwEng.engineeringValue);
  Writer w(g_scratch, FW_IMG_BLOCK_LIST, FW_IMG_LOGIN_BLOCK);
  // The instances in heap order, each found by the size of the one before.
  uint32_t at = 1;
  while (at + FB_HDR_WORDS <= g_fbStore.instanceFill) {
    const uint16_t* inst = &g_fbStore.instanceHeap[at];
    const uint16_t block = inst[FB_HDR_BLOCK];
    if (block == 0) break;
    if (block > FB_MAX_BLOCK || FB_GetInstance(block) != inst || inst[FB_HDR_SIZE] == 0) return 0;
    if (!writeRecord(w, block)) return 0;
    at += inst[FB_HDR_SIZE];
  }
  w.u16(0);
  return w.ok() ? w.pos() : 0;
}

// Appends the parameter list behind the block list in the scratch copy: the position after
// its end marker (padded to an even offset), or 0 when it does not fit its room.
uint32_t writeParamList(uint32_t pos) {
  Writer w(g_scratch, pos, FW_IMG_LISTS_END);
  uint32_t at = 0;
  while (at + 2 <= g_params.fill) {
    const uint16_t block = g_params.words[at];
    const uint16_t length = g_params.words[at + 1];
    if (block == 0 || block > FW_PARAM_SYSTEM_BLOCK || length < 2 || length > FW_PARAM_MAX_WORDS ||
        at + length > g_params.fill) {
      return 0;
    }
    for (uint32_t i = 0; i < length; ++i) w.u16(g_params.words[at + i]);
    if (!w.ok()) return 0;
    at += length;
  }
  Writer end(g_scratch, w.pos(), FW_IMG_LOGIN_BLOCK);
  end.u16(0);
  if (end.pos() % 2) end.u8(0);
  return end.ok() ? end.pos() : 0;
}

// Queues the whole used image for the EEPROM with the tag cleared while it is written,
// then the tag. False when the ring stayed full.
bool rewriteWholeImage(uint32_t usedLength) {
  std::memset(g_fwImage + FW_IMG_TAG, 0, sizeof FW_IMAGE_TAG);
  std::memcpy(g_fwImage + FW_IMG_IDENT, FW_FIRMWARE_IDENT, FW_IMG_IDENT_LEN);
  const bool image = queueWaiting(g_fwImage, 0, usedLength, FW_STEP_SAVE_WAIT_IMAGE);
  std::memcpy(g_fwImage + FW_IMG_TAG, FW_IMAGE_TAG, sizeof FW_IMAGE_TAG);
  return image && queueWaiting(g_fwImage + FW_IMG_TAG, FW_IMG_TAG, sizeof FW_IMAGE_TAG,
                               FW_STEP_SAVE_WAIT_TAG);
}

// ---------------------------------------------------------------------------------------
// Single saves.

uint8_t saveGroup(uint16_t block, FbSaveGroup group, uint16_t first, uint16_t count) {
  if (block == 0 || block > FB_MAX_BLOCK || count == 0 || first == 0) return 0;
  const uint8_t* record = g_fbStore.list[block].imageRecord;
  FbLayout L;
  if (!record || !FB_GetLayout(block, &L)) return 0;
  if (record < g_fwImage || record >= g_fwImage + FW_IMG_LOGIN_BLOCK) return 0;
  const auto at = static_cast<uint32_t>(record - g_fwImage);
  RecordView v;
  if (readRecord(g_fwImage, at, v) != FwImageError::None || v.block != block ||
      v.type != L.type || v.nF != L.floatParams || v.nW != L.wordParams ||
      v.nL != L.longValues || v.stateWords != L.stateWords) {
    return 0;
  }
  const uint32_t last = uint32_t{first} - 1 + count;
  uint32_t start = 0, length = 0;
  switch (group) {
    case FbSaveGroup::FloatParams:
      if (last > v.nF) return 0;
      start = v.fp + 4u * (first - 1);
      length = 4u * count;
      for (uint32_t i = first - 1; i < last; ++i) {
        uint32_t bits;
        std::memcpy(&bits, L.fp[i].w, sizeof bits);
        FW_PutU32(g_fwImage + v.fp + 4 * i, bits);
      }
      break;
    case FbSaveGroup::WordParams:
      if (last > v.nW) return 0;
      start = v.wp + (first - 1u);
      length = count;
      for (uint32_t i = first - 1; i < last; ++i) g_fwImage[v.wp + i] = static_cast<uint8_t>(L.wp[i]);
      break;
    case FbSaveGroup::LongValues:
      if (last > v.nL) return 0;
      start = v.lv + 4u * (first - 1);
      length = 4u * count;
      for (uint32_t i = first - 1; i < last; ++i) FW_PutU32(g_fwImage + v.lv + 4 * i, L.lv[i]);
      break;
    case FbSaveGroup::StateWords:
      if (last > v.stateWords) return 0;
      start = v.st + 2u * (first - 1);
      length = 2u * count;
      for (uint32_t i = first - 1; i < last; ++i) FW_PutU16(g_fwImage + v.st + 2 * i, L.state[i]);
      break;
  }
  return queueWrite(g_fwImage + start, start, length) ? 1 : 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Loading

bool FW_CheckImageIdentity(const uint8_t* image) {
  const uint8_t* id = image + FW_IMG_IDENT;
  if (id[0] == 0 && id[1] == 0 && id[2] == 0 && id[3] == 0) return true;
  return std::memcmp(id, FW_FIRMWARE_IDENT, 6) == 0 && image[FW_IMG_VERSION] == FW_FIRMWARE_IDENT[6];
}

int FW_LoadEngineering() {
  FW_ConnectImage();
  FW_PostStepCode(FW_STEP_ENG_LOAD);
  g_fwEng.lastError = FwImageError::None;
  if (std::memcmp(g_fwImage + FW_IMG_TAG, FW_IMAGE_TAG, sizeof FW_IMAGE_TAG) != 0) {
    FW_ClearEngineering();
    g_fwEng.status |= FW_ENG_STOPPED;
    setStoppedRunMode();
    g_fwEng.lastError = FwImageError::NoTag;
    return 1;
  }
  if (!FW_CheckImageIdentity(g_fwImage)) {
    g_fwEng.errors |= FW_ENG_ERR_FAULTY;
    FW_ClearEngineering();
    g_fwEng.status |= FW_ENG_STOPPED;
    setStoppedRunMode();
    g_fwEng.stayStopped = 1;
    g_fwEng.lastError = FwImageError::Identity;
    return 1;
  }
  const int result = FW_LoadEngineeringData();
  // A structurally bad image loads nothing; a faulty wiring or chain leaves its blocks loaded.
  return result != 0 && g_fwEng.lastError != FwImageError::Connections &&
                 g_fwEng.lastError != FwImageError::Chains
             ? 1
             : 0;
}

int FW_LoadEngineeringData() {
  g_fwEng.lastError = FwImageError::None;
  g_fwEng.refused = 0;
  const uint32_t value = FW_GetU32(g_fwImage + FW_IMG_ENG_VALUE);
  if (value >= FW_ENG_VALUE_LIMIT) {
    refuseImage(FwImageError::EngineeringValue);
    return 1;
  }
  uint32_t blockCount = 0;
  ParamListView params;
  if (FwImageError e = validateImage(g_fwImage, blockCount, params); e != FwImageError::None) {
    refuseImage(e);
    return 1;
  }

  // The image is sound: build its blocks into a cleared store.
  FB_ClearStore();
  clearParamRegion();
  g_fwEng.engineeringValue = value;
  for (uint32_t i = 0; i < blockCount; ++i) {
    const RecordView& v = g_views[i];
    if (FB_CreateInstance(v.type, v.block) != FB_OK) {  // cannot happen after the checks
      FB_ClearStore();
      refuseImage(FwImageError::HeapFull);
      return 1;
    }
    fillBlock(g_fwImage, v);
    g_fbStore.list[v.block].imageRecord = g_fwImage + v.at;
  }
  uint32_t pos = params.start;
  for (uint32_t i = 0; i < params.count; ++i) {
    const uint16_t block = FW_GetU16(g_fwImage + pos);
    const uint16_t length = FW_GetU16(g_fwImage + pos + 2);
    uint16_t data[FW_PARAM_MAX_WORDS];
    for (uint32_t k = 0; k + 2 < length; ++k) data[k] = FW_GetU16(g_fwImage + pos + 4 + 2 * k);
    FW_AppendParamRecord(block, data, static_cast<uint16_t>(length - 2));
    pos += 2u * length;
  }

  g_fwRunMode = g_fwImage[FW_IMG_RUN_MODE] == 2 ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
  g_fwImage[FW_IMG_RUN_MODE] = static_cast<uint8_t>(g_fwRunMode);
  if (g_fwRunMode == FW_RUN_MODE_RUN) {
    g_fwEng.status &= static_cast<uint8_t>(~FW_ENG_STOPPED);
  } else {
    g_fwEng.status |= FW_ENG_STOPPED;
  }
  queueImageByte(FW_IMG_RUN_MODE);

  if (FB_CheckEngineering() != 0) {
    failLoad(g_fwEng.badBlock ? FwImageError::Connections : FwImageError::Chains);
    return 1;
  }
  g_fwEng.status |= FW_ENG_LOADED;
  g_fwEng.status &= static_cast<uint8_t>(~FW_ENG_RUN_OK);
  return 0;
}

int FB_CheckEngineering() {
  g_fwEng.badBlock = FB_ResolveConnections();
  g_fwEng.chainError = FB_CheckChains();
  if (g_fwEng.badBlock == 0 && g_fwEng.chainError == 0) {
    g_fwEng.status |= FW_ENG_VERIFIED;
    g_fwEng.errors &= static_cast<uint8_t>(~FW_ENG_ERR_FAULTY);
    return 0;
  }
  g_fwEng.status &= static_cast<uint8_t>(~FW_ENG_VERIFIED);
  g_fwEng.errors |= FW_ENG_ERR_FAULTY;
  return 1;
}

void FW_ClearEngineering() {
  if (g_clearHook) g_clearHook();
  g_fwEng.startFlags |= FW_START_COLD;
  g_fwEng.warmStart = 0;
  FB_ClearStore();
  clearParamRegion();
  std::memset(g_fwImage + FW_IMG_ENG_VALUE, 0, FW_IMG_LOGIN_BLOCK - FW_IMG_ENG_VALUE);
  g_fwEng.engineeringValue = 0;
  g_fwEng.status &= static_cast<uint8_t>(~(FW_ENG_LOADED | FW_ENG_VERIFIED));
  // Posted requests may point into the instances that are gone.
  FW_ClearDeferredCalls();
}

// ---------------------------------------------------------------------------------------
// Saving

int FW_SaveEngineering() {
  if (g_fwEng.refused) return 1;
  const uint32_t afterBlocks = writeBlockList();
  const uint32_t end = afterBlocks ? writeParamList(afterBlocks) : 0;
  if (end == 0) {
    g_fwEng.lastError = afterBlocks ? FwImageError::ParamRoom : FwImageError::RecordField;
    return 1;
  }
  // Both lists fit: commit them and note where each block's record now lies.
  std::memcpy(g_fwImage + FW_IMG_ENG_VALUE, g_scratch + FW_IMG_ENG_VALUE, end - FW_IMG_ENG_VALUE);
  for (uint32_t block = 1; block <= FB_MAX_BLOCK; ++block) {
    g_fbStore.list[block].imageRecord = g_recordAt[block] ? g_fwImage + g_recordAt[block] : nullptr;
  }
  g_fwEng.usedLength = end;
  if (g_fwEng.status & FW_ENG_REWRITE) {
    g_fwEng.status &= static_cast<uint8_t>(~FW_ENG_REWRITE);
    if (!rewriteWholeImage(end)) {
      g_fwEng.status |= FW_ENG_REWRITE;
      g_fwEng.lastError = FwImageError::WriteBack;
      return 1;
    }
  }
  return 0;
}

int FW_SaveOnRunModeChange() {
  if (FW_SaveEngineering() == 0) {
    g_fwEng.status |= FW_ENG_RUN_OK;
    return 0;
  }
  g_fwEng.status |= FW_ENG_STOPPED;
  setStoppedRunMode();
  g_fwEng.startFlags |= FW_START_COLD;
  g_fwEng.errors |= FW_ENG_ERR_FAULTY;
  g_fwEng.warmStart = 0;
  return 1;
}

uint8_t FW_SaveToImage(FbSaveGroup group, uint16_t block, uint16_t first, uint16_t count) {
  return saveGroup(block, group, first, count);
}

// ---------------------------------------------------------------------------------------
// Connections

void FW_ConnectImage() {
  FW_BindMainEeprom(g_fwImage, FW_IMAGE_SIZE);
  FW_BindLanguageByte(g_fwImage + FW_IMG_LANGUAGE);
  FB_SetSaveHook(FW_SaveToImage);
}

void FW_SetEngineeringClearHook(FwEngineeringClearHook hook) { g_clearHook = hook; }

// ---------------------------------------------------------------------------------------
// Parameter list

const uint16_t* FW_GetParamRecord(uint32_t block) {
  uint32_t link = 0;
  if (block == 0 || block == FW_PARAM_SYSTEM_BLOCK) {
    link = g_params.systemLink;
  } else {
    FbLayout L;
    if (!FB_GetLayout(block, &L)) return nullptr;
    link = *L.link;
  }
  if (link == 0 || link - 1 >= g_params.fill || link + 1 > g_params.fill) return nullptr;
  const uint16_t* record = &g_params.words[link - 1];
  if (record[1] < 2 || link - 1 + record[1] > g_params.fill) return nullptr;
  return record;
}

uint32_t FW_ParamListWords() { return g_params.fill; }

uint8_t FW_AppendParamRecord(uint16_t block, const uint16_t* data, uint16_t dataWords) {
  const uint32_t length = dataWords + 2u;
  if (length > FW_PARAM_MAX_WORDS) return FB_ERR_LIMITS;
  if (block != FW_PARAM_SYSTEM_BLOCK && !FB_GetInstance(block)) return FB_ERR_NO_BLOCK;
  if (g_fbStore.instanceFill + g_params.fill + length > FB_INSTANCE_HEAP_WORDS) return FB_ERR_NO_ROOM;
  const uint32_t at = g_params.fill;
  g_params.words[at] = block;
  g_params.words[at + 1] = static_cast<uint16_t>(length);
  std::copy(data, data + dataWords, &g_params.words[at + 2]);
  g_params.fill += length;
  g_fbStore.paramListWords = g_params.fill;
  linkParamRecord(block, at);
  return FB_OK;
}
