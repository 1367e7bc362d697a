#include "runtime/fb_store.h"

#include <algorithm>

#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_clock.h"

FbStore g_fbStore{};
const float g_fbUnconnectedFloat = 0.0f;
const uint16_t g_fbUnconnectedWord = 0;

const FbBlockRange FB_COMMON_BLOCK_RANGES[] = {{100, FB_MAX_BLOCK}, {0, 0}};

FbTypeRecord g_fbTypes[FB_TYPE_COUNT];

namespace {

void writeF32(uint16_t* at, float f) { std::memcpy(at, &f, sizeof f); }
void writeU32(uint16_t* at, uint32_t v) { std::memcpy(at, &v, sizeof v); }

}  // namespace

// ---------------------------------------------------------------------------------------
// Type table

FbTypeRecord FB_TypeFromTemplate(const FbTemplate* tmpl, FbRunHandler run, FbInitHandler init,
                                 FbParamHandler param, const FbLimitTable* limits,
                                 const FbBlockRange* permitted, uint16_t fixedPlaceId,
                                 uint16_t weight, uint16_t group) {
  FbTypeRecord r;
  r.run = run;
  r.init = init;
  r.param = param;
  r.tmpl = tmpl;
  r.limits = limits;
  if (tmpl) {
    r.analogInputs = tmpl->analogInputs;
    r.digitalInputs = tmpl->digitalInputs;
    r.analogOutputs = tmpl->analogOutputs;
    r.digitalOutputs = tmpl->digitalOutputs;
    r.floatParams = static_cast<uint16_t>(tmpl->floatParams.size());
    r.wordParams = static_cast<uint16_t>(tmpl->wordParams.size());
    r.longValues = static_cast<uint16_t>(tmpl->longValues.size());
    r.wordValues = static_cast<uint16_t>(tmpl->wordValues.size());
    r.texts = static_cast<uint16_t>(tmpl->texts.size());
  }
  r.permitted = permitted;
  r.fixedPlaceId = fixedPlaceId;
  r.weight = weight;
  r.group = group;
  return r;
}

uint8_t FB_RegisterType(uint16_t type, const FbTypeRecord& r) {
  if (type >= FB_TYPE_COUNT) return FB_ERR_UNKNOWN_ID;
  if (const FbTemplate* t = r.tmpl) {
    const bool countsAgree =
        t->type == type && t->analogInputs == r.analogInputs &&
        t->digitalInputs == r.digitalInputs && t->analogOutputs == r.analogOutputs &&
        t->digitalOutputs == r.digitalOutputs && t->floatParams.size() == r.floatParams &&
        t->wordParams.size() == r.wordParams && t->longValues.size() == r.longValues &&
        t->wordValues.size() == r.wordValues && t->texts.size() == r.texts;
    if (!countsAgree || FB_LayoutWords(*t) + t->workWords != t->size) return FB_ERR_UNKNOWN_ID;
    for (const char* text : t->texts) {
      if (!text || std::strlen(text) > FB_TEXT_LEN) return FB_ERR_UNKNOWN_ID;
    }
  }
  g_fbTypes[type] = r;
  return FB_OK;
}

void FB_ClearTypeTable() { std::fill(std::begin(g_fbTypes), std::end(g_fbTypes), FbTypeRecord{}); }

// ---------------------------------------------------------------------------------------
// Heaps and block list

void FB_ClearStore() {
  std::fill(std::begin(g_fbStore.instanceHeap), std::end(g_fbStore.instanceHeap), 0);
  std::fill(std::begin(g_fbStore.wiringHeap), std::end(g_fbStore.wiringHeap), 0);
  g_fbStore.instanceFill = 1;
  g_fbStore.wiringFill = 0;
  g_fbStore.instanceFillAfterBlocks = 1;
  g_fbStore.paramListWords = 0;
  std::fill(std::begin(g_fbStore.list), std::end(g_fbStore.list), FbBlockListEntry{});
  g_fbStore.currentBlock = 0;
  // Chains, page lists and pending flags name blocks by number: they go with the blocks.
  FB_ClearSchedule();
  FB_ClearParamState();
  // So does the mark that a clock-timer block is present.
  g_fwClockTimerPresent = 0;
}

namespace {
// The store starts cleared, so that a program that never loads an engineering sees
// consistent fills.
struct StoreInit {
  StoreInit() { FB_ClearStore(); }
} g_storeInit;
}  // namespace

uint16_t* FB_GetInstance(uint32_t block) {
  return block <= FB_MAX_BLOCK ? g_fbStore.list[block].instance : nullptr;
}

uint16_t* FB_GetWiring(uint32_t block) {
  return block <= FB_MAX_BLOCK ? g_fbStore.list[block].wiring : nullptr;
}

uint8_t FB_CreateInstance(uint16_t type, uint16_t block) {
  if (block == 0 || block > FB_MAX_BLOCK) return FB_ERR_NO_BLOCK;
  const FbTypeRecord* rec = FB_GetType(type);
  if (!rec || !rec->tmpl) return FB_ERR_UNKNOWN_ID;
  FbBlockListEntry& entry = g_fbStore.list[block];
  if (entry.instance) return FB_ERR_NOT_NOW;

  const FbTemplate& t = *rec->tmpl;
  const uint32_t wiringWords = 2u * (t.analogInputs + t.digitalInputs + 3u);
  if (g_fbStore.instanceFill + g_fbStore.paramListWords + t.size >= FB_INSTANCE_HEAP_WORDS ||
      g_fbStore.wiringFill + wiringWords >= FB_WIRING_HEAP_WORDS) {
    return FB_ERR_NO_ROOM;
  }

  uint16_t* inst = &g_fbStore.instanceHeap[g_fbStore.instanceFill];
  std::fill(inst, inst + t.size, 0);
  g_fbStore.instanceFill += t.size;
  entry.instance = inst;

  // Header and the four I/O groups: values and references stay zero (a zero reference
  // is the shared unconnected value until the connections are resolved).
  uint16_t* p = inst;
  *p++ = block;
  *p++ = t.size;
  *p++ = t.type;
  *p++ = 0;  // time group: taken from the wiring record when the engineering is loaded
  *p = t.analogOutputs;
  p += 1 + 2 * t.analogOutputs;
  *p = t.digitalOutputs;
  p += 1 + t.digitalOutputs;
  *p = t.analogInputs;
  p += 1 + 2 * t.analogInputs;
  *p = t.digitalInputs;
  p += 1 + 2 * t.digitalInputs;

  // Parameter groups: count, defaults as current values, the same defaults as pending.
  const auto nF = static_cast<uint16_t>(t.floatParams.size());
  *p++ = nF;
  for (int copy = 0; copy < 2; ++copy)
    for (float f : t.floatParams) writeF32(p, f), p += 2;
  const auto nW = static_cast<uint16_t>(t.wordParams.size());
  *p++ = nW;
  for (int copy = 0; copy < 2; ++copy)
    for (uint16_t w : t.wordParams) *p++ = w;
  const auto nL = static_cast<uint16_t>(t.longValues.size());
  *p++ = nL;
  for (int copy = 0; copy < 2; ++copy)
    for (uint32_t v : t.longValues) writeU32(p, v), p += 2;
  const auto nV = static_cast<uint16_t>(t.wordValues.size());
  *p++ = nV;
  for (int copy = 0; copy < 2; ++copy)
    for (uint16_t w : t.wordValues) *p++ = w;

  // Texts, blank-padded to 16 characters, stored byte by byte.
  *p++ = static_cast<uint16_t>(t.texts.size());
  for (const char* text : t.texts) {
    char buf[FB_TEXT_LEN];
    std::memset(buf, ' ', sizeof buf);
    std::memcpy(buf, text, std::min<size_t>(std::strlen(text), FB_TEXT_LEN));
    std::memcpy(p, buf, sizeof buf);
    p += FB_TEXT_LEN / 2;
  }

  *p++ = static_cast<uint16_t>(t.stateWords.size());
  for (uint16_t w : t.stateWords) *p++ = w;
  *p++ = t.workWords;  // the work words follow, zero
  p += t.workWords;
  writeU32(p, 0);      // link to the parameter-list record

  // Wiring record; group and after-block are set by the engineering parser.
  uint16_t* wire = &g_fbStore.wiringHeap[g_fbStore.wiringFill];
  std::fill(wire, wire + wiringWords, 0);
  wire[FB_WIRE_BLOCK] = block;
  wire[FB_WIRE_TYPE] = t.type;
  wire[FB_WIRE_ANALOG_COUNT] = t.analogInputs;
  wire[FB_WIRE_ANALOG_COUNT + 1 + 2 * t.analogInputs] = t.digitalInputs;
  g_fbStore.wiringFill += wiringWords;
  entry.wiring = wire;

  g_fbStore.instanceFillAfterBlocks = g_fbStore.instanceFill;
  g_fbStore.wiringHeap[g_fbStore.wiringFill] = 0;  // end of the wiring records
  return FB_OK;
}

bool FB_GetLayout(uint32_t block, FbLayout* out) {
  uint16_t* base = FB_GetInstance(block);
  if (!base) return false;
  FbLayout L;
  L.base = base;
  L.block = base[FB_HDR_BLOCK];
  L.size = base[FB_HDR_SIZE];
  L.type = base[FB_HDR_TYPE];
  L.group = base[FB_HDR_GROUP];

  // Walk the counted groups; every step must stay inside the instance's own size.
  uint32_t at = FB_HDR_WORDS;
  const uint32_t size = L.size;
  auto group = [&](uint16_t& count, uint32_t wordsEach, uint16_t*& start) {
    if (at >= size) return false;
    count = base[at];
    start = base + at + 1;
    at += 1 + count * wordsEach;
    return at <= size;
  };
  uint16_t *ao, *ai, *di, *fp, *lv, *text;
  if (!group(L.analogOutputs, 2, ao) || !group(L.digitalOutputs, 1, L.dout) ||
      !group(L.analogInputs, 2, ai) || !group(L.digitalInputs, 2, di) ||
      !group(L.floatParams, 4, fp) || !group(L.wordParams, 2, L.wp) ||
      !group(L.longValues, 4, lv) || !group(L.wordValues, 2, L.wv) ||
      !group(L.texts, FB_TEXT_LEN / 2, text) || !group(L.stateWords, 1, L.state) ||
      !group(L.workWords, 1, L.work) || at + 2 > size) {
    return false;
  }
  L.ao = reinterpret_cast<FbF32*>(ao);
  L.ai = reinterpret_cast<FbRef*>(ai);
  L.di = reinterpret_cast<FbRef*>(di);
  L.fp = reinterpret_cast<FbF32*>(fp);
  L.lv = reinterpret_cast<FbU32*>(lv);
  L.text = reinterpret_cast<char*>(text);
  L.link = reinterpret_cast<FbU32*>(base + at);
  *out = L;
  return true;
}

// ---------------------------------------------------------------------------------------
// Slot lookups

namespace {
template <typename T>
int lookup(uint32_t block, uint32_t index, T** out, uint16_t FbLayout::*count, T* FbLayout::*first,
           uint32_t stride = 1) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || index == 0 || index > L.*count) return 0;
  *out = L.*first + (index - 1) * stride;
  return 1;
}
}  // namespace

int FB_GetAnalogOutputPtr(uint32_t block, uint32_t index, FbF32** out) {
  return lookup(block, index, out, &FbLayout::analogOutputs, &FbLayout::ao);
}
int FB_GetDigitalOutputPtr(uint32_t block, uint32_t index, uint16_t** out) {
  return lookup(block, index, out, &FbLayout::digitalOutputs, &FbLayout::dout);
}
int FB_GetAnalogInputRef(uint32_t block, uint32_t index, FbRef** out) {
  return lookup(block, index, out, &FbLayout::analogInputs, &FbLayout::ai);
}
int FB_GetDigitalInputRef(uint32_t block, uint32_t index, FbRef** out) {
  return lookup(block, index, out, &FbLayout::digitalInputs, &FbLayout::di);
}
int FB_GetFloatParamPtr(uint32_t block, uint32_t index, FbF32** out) {
  return lookup(block, index, out, &FbLayout::floatParams, &FbLayout::fp);
}
int FB_GetWordParamPtr(uint32_t block, uint32_t index, uint16_t** out) {
  return lookup(block, index, out, &FbLayout::wordParams, &FbLayout::wp);
}
int FB_GetLongParamPtr(uint32_t block, uint32_t index, FbU32** out) {
  return lookup(block, index, out, &FbLayout::longValues, &FbLayout::lv);
}
int FB_GetWordValuePtr(uint32_t block, uint32_t index, uint16_t** out) {
  return lookup(block, index, out, &FbLayout::wordValues, &FbLayout::wv);
}
int FB_GetTextParamPtr(uint32_t block, uint32_t index, char** out) {
  return lookup(block, index, out, &FbLayout::texts, &FbLayout::text, FB_TEXT_LEN);
}

int FB_AnalogOutputHandle(uint32_t block, uint32_t index, uint32_t* handle) {
  FbF32* p;
  if (!FB_GetAnalogOutputPtr(block, index, &p)) return 0;
  *handle = static_cast<uint32_t>(reinterpret_cast<uint16_t*>(p) - g_fbStore.instanceHeap);
  return 1;
}

int FB_DigitalOutputHandle(uint32_t block, uint32_t index, uint32_t* handle) {
  uint16_t* p;
  if (!FB_GetDigitalOutputPtr(block, index, &p)) return 0;
  *handle = static_cast<uint32_t>(p - g_fbStore.instanceHeap);
  return 1;
}

// ---------------------------------------------------------------------------------------
// Connections

namespace {
// Resolves one input group of a wiring record into the instance's reference slots.
// `pairs` points at the first {source block, source output} pair.
bool resolveGroup(const uint16_t* pairs, uint16_t count, FbRef* refs,
                  int (*handleOf)(uint32_t, uint32_t, uint32_t*)) {
  for (uint16_t i = 0; i < count; ++i) {
    const uint16_t srcBlock = pairs[2 * i];
    const uint16_t srcOutput = pairs[2 * i + 1];
    uint32_t h = FB_REF_ZERO;
    if (srcBlock == 0 && srcOutput == 0) {
      h = FB_REF_ZERO;
    } else if (srcBlock == 0 || srcOutput == 0 || !handleOf(srcBlock, srcOutput, &h)) {
      return false;
    }
    refs[i] = h;
  }
  return true;
}
}  // namespace

uint16_t FB_ResolveConnections() {
  for (uint16_t block = 1; block <= FB_MAX_BLOCK; ++block) {
    FbLayout L;
    const uint16_t* wire = g_fbStore.list[block].wiring;
    if (!g_fbStore.list[block].instance) continue;
    if (!wire || !FB_GetLayout(block, &L)) return block;
    const uint16_t nA = wire[FB_WIRE_ANALOG_COUNT];
    if (nA != L.analogInputs) return block;
    const uint16_t* analogPairs = wire + FB_WIRE_ANALOG_COUNT + 1;
    const uint16_t nD = analogPairs[2 * nA];
    if (nD != L.digitalInputs) return block;
    const uint16_t* digitalPairs = analogPairs + 2 * nA + 1;
    if (!resolveGroup(analogPairs, nA, L.ai, FB_AnalogOutputHandle) ||
        !resolveGroup(digitalPairs, nD, L.di, FB_DigitalOutputHandle)) {
      return block;
    }
  }
  return 0;
}

// ---------------------------------------------------------------------------------------

void* FW_MemCopy(void* destination, const void* source, size_t n) {
  return n ? std::memmove(destination, source, n) : destination;
}

void* FW_MemSet(void* destination, int value, size_t n) {
  return n ? std::memset(destination, value, n) : destination;
}
