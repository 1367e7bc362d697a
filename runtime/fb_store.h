// Block-type table, block list and block instances.
//
// A configured device is a network of up to 1950 numbered function blocks. Each block is
// an instance of a block type; the type's static record says how to run it, start it and
// change its parameters, what its instance looks like and what its limits are.
//
// Instances and wiring records live in two word heaps that keep the device's 32-bit
// layout: every 32-bit field (float, long value, input reference, parameter-list link)
// takes two 16-bit words, and input references are 32-bit handles into the instance
// heap, never native pointers. The block list itself never leaves the process and holds
// native pointers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

// ---------------------------------------------------------------------------------------
// Result bytes of parameter handlers, requests and the store.
enum : uint8_t {
  FB_OK = 0,
  FB_ERR_ABSENT = 'f',       // 102: absent
  FB_ERR_NOT_NOW = 'g',      // 103: not permitted now / record exists
  FB_ERR_UNKNOWN_ID = 'i',   // 105: unknown id or type
  FB_ERR_NO_BLOCK = 'j',     // 106: no such block
  FB_ERR_SUBINDEX = 'k',     // 107: bad sub-index
  FB_ERR_LIMITS = 'l',       // 108: out of limits, with a 1-based bad index
  FB_ERR_COUNT_Y = 'y',      // count mismatch
  FB_ERR_COUNT_Z = 'z',      // count mismatch
  FB_ERR_NO_ROOM = 131,      // a heap or table is full
};

constexpr uint16_t FB_MAX_BLOCK = 1950;        // block numbers 1..1950
constexpr uint16_t FB_LIST_SIZE = FB_MAX_BLOCK + 1;
constexpr uint16_t FB_TYPE_COUNT = 256;
constexpr uint32_t FB_INSTANCE_HEAP_WORDS = 120000;
constexpr uint32_t FB_WIRING_HEAP_WORDS = 40000;
constexpr unsigned FB_TEXT_LEN = 16;           // one text parameter, blank-padded

// ---------------------------------------------------------------------------------------
// 32-bit values inside the word heaps. They sit on 16-bit boundaries, so they are read
// and written through these two-word cells rather than through float* or uint32_t*.
struct FbF32 {
  uint16_t w[2];
  operator float() const {
    float f;
    std::memcpy(&f, w, sizeof f);
    return f;
  }
  FbF32& operator=(float f) {
    std::memcpy(w, &f, sizeof f);
    return *this;
  }
  float get() const { return *this; }
};

struct FbU32 {
  uint16_t w[2];
  operator uint32_t() const {
    uint32_t v;
    std::memcpy(&v, w, sizeof v);
    return v;
  }
  FbU32& operator=(uint32_t v) {
    std::memcpy(w, &v, sizeof v);
    return *this;
  }
  uint32_t get() const { return *this; }
};
static_assert(sizeof(FbF32) == 4 && alignof(FbF32) == 2);
static_assert(sizeof(FbU32) == 4 && alignof(FbU32) == 2);

// An input reference: a 32-bit handle. 0 is the shared unconnected value (0.0 or 0);
// a handle from 1 up is the word offset of the source value in the instance heap; the
// handles from FB_REF_CONST_BASE up name the shared constants some types wire chosen
// unconnected inputs to.
using FbRef = FbU32;
constexpr uint32_t FB_REF_ZERO = 0;
constexpr uint32_t FB_REF_CONST_BASE = 0xFFFFFF00u;
constexpr uint32_t FB_REF_ONE = FB_REF_CONST_BASE + 1;       // 1.0 / the word 1
constexpr uint32_t FB_REF_POS_MAX = FB_REF_CONST_BASE + 2;   // +1.5e37 / 0
constexpr uint32_t FB_REF_NEG_MAX = FB_REF_CONST_BASE + 3;   // -1.5e37 / 0

// ---------------------------------------------------------------------------------------
// The block-type table.
struct FbParamRequest;   // parameter requests and results (parameter protocol)
struct FbLimitTable;     // limit records of a type's parameters (parameter protocol)

using FbRunHandler = void (*)();
using FbInitHandler = void (*)();
using FbParamHandler = uint8_t (*)(FbParamRequest* request, uint16_t* badIndex);

// Permitted block numbers: {low, high} ranges ended by {0, 0}.
struct FbBlockRange {
  uint16_t low;
  uint16_t high;
};

// Instance header word offsets.
enum : uint16_t { FB_HDR_BLOCK = 0, FB_HDR_SIZE = 1, FB_HDR_TYPE = 2, FB_HDR_GROUP = 3, FB_HDR_WORDS = 4 };

// Default image of an instance. Texts are up to 16 characters and are blank-padded in
// the instance; text 1 is the type name.
struct FbTemplate {
  uint16_t size = 0;             // instance size in words
  uint16_t type = 0;
  uint16_t analogOutputs = 0;
  uint16_t digitalOutputs = 0;
  uint16_t analogInputs = 0;
  uint16_t digitalInputs = 0;
  std::span<const float> floatParams{};
  std::span<const uint16_t> wordParams{};
  std::span<const uint32_t> longValues{};
  std::span<const uint16_t> wordValues{};
  std::span<const char* const> texts{};
  std::span<const uint16_t> stateWords{};
  uint16_t workWords = 0;
};

struct FbTypeRecord {
  FbRunHandler run = nullptr;       // empty: the type is not in use
  FbInitHandler init = nullptr;
  FbParamHandler param = nullptr;
  const FbTemplate* tmpl = nullptr; // may be empty (type 0)
  const FbLimitTable* limits = nullptr;
  uint16_t analogInputs = 0;
  uint16_t digitalInputs = 0;
  uint16_t analogOutputs = 0;
  uint16_t digitalOutputs = 0;
  uint16_t floatParams = 0;
  uint16_t wordParams = 0;
  uint16_t longValues = 0;
  uint16_t wordValues = 0;
  uint16_t texts = 0;
  const FbBlockRange* permitted = nullptr;
  uint16_t fixedPlaceId = 0;
  uint16_t weight = 0;
  uint16_t group = 0;
};

// The permitted range most types share: blocks 100..1950.
extern const FbBlockRange FB_COMMON_BLOCK_RANGES[];

// Number of instance words the groups of a template need (work words not included): the
// header, each group with its count word, the work count and the parameter-list link.
constexpr uint32_t FB_LayoutWords(const FbTemplate& t) {
  auto group = [](size_t count, uint32_t wordsEach) {
    return 1 + static_cast<uint32_t>(count) * wordsEach;
  };
  return FB_HDR_WORDS + group(t.analogOutputs, 2) + group(t.digitalOutputs, 1) +
         group(t.analogInputs, 2) + group(t.digitalInputs, 2) + group(t.floatParams.size(), 4) +
         group(t.wordParams.size(), 2) + group(t.longValues.size(), 4) +
         group(t.wordValues.size(), 2) + group(t.texts.size(), FB_TEXT_LEN / 2) +
         group(t.stateWords.size(), 1) + 1 + 2;
}
// A template with its size filled in from its groups and work words.
constexpr FbTemplate FB_SizedTemplate(FbTemplate t) {
  t.size = static_cast<uint16_t>(FB_LayoutWords(t) + t.workWords);
  return t;
}

// Fills in the counts of a type row from its template (families write the template once).
FbTypeRecord FB_TypeFromTemplate(const FbTemplate* tmpl, FbRunHandler run, FbInitHandler init,
                                 FbParamHandler param, const FbLimitTable* limits,
                                 const FbBlockRange* permitted, uint16_t fixedPlaceId,
                                 uint16_t weight, uint16_t group);

// Enters a type row. Each block family registers its own rows. Refuses (FB_ERR_UNKNOWN_ID)
// a type number >= 256, a template of another type, counts that differ from the
// template, or a template whose size does not match its groups plus its work words.
uint8_t FB_RegisterType(uint16_t type, const FbTypeRecord& record);

// The type table; rows are entered with FB_RegisterType.
extern FbTypeRecord g_fbTypes[FB_TYPE_COUNT];

// The row of a type in use, or null (range-checked: any number may be passed). Inline: the
// schedulers look it up for every block they run.
inline const FbTypeRecord* FB_GetType(uint32_t type) {
  if (type >= FB_TYPE_COUNT || !g_fbTypes[type].run) return nullptr;
  return &g_fbTypes[type];
}

// Removes every row (tests start from an empty table).
void FB_ClearTypeTable();

// ---------------------------------------------------------------------------------------
// The block list and the heaps.
struct FbBlockListEntry {
  uint16_t* instance = nullptr;     // RAM instance, empty when the block does not exist
  uint16_t* wiring = nullptr;       // wiring record
  uint8_t* imageRecord = nullptr;   // the block's record in the engineering image (set by the save)
  uint16_t next = 0;                // next block of the same time-group chain, 0 = end
  void* pageData = nullptr;         // operating-page record, set by the type's init handler
};

struct FbStore {
  uint16_t instanceHeap[FB_INSTANCE_HEAP_WORDS];
  uint16_t wiringHeap[FB_WIRING_HEAP_WORDS];
  uint32_t instanceFill;           // next free word of the instance heap (starts at 1)
  uint32_t wiringFill;             // next free word of the wiring heap (starts at 0)
  uint32_t instanceFillAfterBlocks;// fill after the last instance: the parameter list follows
  uint32_t paramListWords;         // words of the parameter list, which count against the
                                   // instance heap's room (the list is kept apart from it)
  FbBlockListEntry list[FB_LIST_SIZE];
  uint16_t currentBlock;           // set by the schedulers before each handler call
};

extern FbStore g_fbStore;

// The unconnected inputs' shared values; blocks never write them.
extern const float g_fbUnconnectedFloat;
extern const uint16_t g_fbUnconnectedWord;

// Clears both heaps and the block list (start-up, engineering cleared), and with them the
// time-group chains, the page lists and the pending flags.
void FB_ClearStore();

// Wiring record word offsets (the pairs follow the counts).
enum : uint16_t {
  FB_WIRE_BLOCK = 0, FB_WIRE_TYPE = 1, FB_WIRE_GROUP = 2, FB_WIRE_AFTER = 3, FB_WIRE_ANALOG_COUNT = 4
};

// Builds the instance and the wiring record of a block from its type's template and enters
// both into the block list. 0, 131 when a heap is full (nothing changed), 'j' for a block
// number outside 1..1950, 'i' for a type not in use or without template, 'g' when the
// block already exists.
uint8_t FB_CreateInstance(uint16_t type, uint16_t block);

// Resolves every input reference from the wiring records: 0, or the number of the first
// block whose wiring is invalid (the references of blocks before it are resolved).
uint16_t FB_ResolveConnections();

// Instance and wiring record of a block; null for a missing block or a number out of range.
uint16_t* FB_GetInstance(uint32_t block);
uint16_t* FB_GetWiring(uint32_t block);

// The groups of one instance, located by walking its counts.
struct FbLayout {
  uint16_t* base = nullptr;
  uint16_t block = 0, size = 0, type = 0, group = 0;
  uint16_t analogOutputs = 0, digitalOutputs = 0, analogInputs = 0, digitalInputs = 0;
  uint16_t floatParams = 0, wordParams = 0, longValues = 0, wordValues = 0, texts = 0;
  uint16_t stateWords = 0, workWords = 0;
  FbF32* ao = nullptr;       // analog outputs
  uint16_t* dout = nullptr;  // digital outputs
  FbRef* ai = nullptr;       // analog-input references
  FbRef* di = nullptr;       // digital-input references
  FbF32* fp = nullptr;       // float parameters: current [0, n), pending [n, 2n)
  uint16_t* wp = nullptr;    // word parameters: current, then pending
  FbU32* lv = nullptr;       // 4-byte values: current, then pending
  uint16_t* wv = nullptr;    // word values: current, then pending
  char* text = nullptr;      // texts, 16 characters each
  uint16_t* state = nullptr; // state words
  uint16_t* work = nullptr;  // work words
  FbU32* link = nullptr;     // link to the block's parameter-list record
};

// Locates the groups of a block's instance. False for a missing block or an instance whose
// counts run past its size (then *out is left as it was).
bool FB_GetLayout(uint32_t block, FbLayout* out);
// The same for the block the schedulers are running.
inline bool FB_CurrentLayout(FbLayout* out) { return FB_GetLayout(g_fbStore.currentBlock, out); }

// Slot lookups: status 1 when the block exists and the 1-based index is 1..count, else 0
// with *out unchanged.
int FB_GetAnalogOutputPtr(uint32_t block, uint32_t index, FbF32** out);
int FB_GetDigitalOutputPtr(uint32_t block, uint32_t index, uint16_t** out);
int FB_GetAnalogInputRef(uint32_t block, uint32_t index, FbRef** out);
int FB_GetDigitalInputRef(uint32_t block, uint32_t index, FbRef** out);
int FB_GetFloatParamPtr(uint32_t block, uint32_t index, FbF32** out);   // pending: n further
int FB_GetWordParamPtr(uint32_t block, uint32_t index, uint16_t** out); // pending: n further
int FB_GetLongParamPtr(uint32_t block, uint32_t index, FbU32** out);    // pending: n further
int FB_GetWordValuePtr(uint32_t block, uint32_t index, uint16_t** out); // pending: n further
int FB_GetTextParamPtr(uint32_t block, uint32_t index, char** out);     // 16 characters

// The handle of analog (digital) output `index` of a block, as an input reference holds
// it: status 1, or 0 when the block or output does not exist.
int FB_AnalogOutputHandle(uint32_t block, uint32_t index, uint32_t* handle);
int FB_DigitalOutputHandle(uint32_t block, uint32_t index, uint32_t* handle);

// Reads the value behind an input reference. A handle that does not name a value inside
// the instance heap reads as the shared unconnected value.
inline float FB_ReadAnalogRef(uint32_t h) {
  if (h - 1u < FB_INSTANCE_HEAP_WORDS - 2u) {
    float f;
    std::memcpy(&f, &g_fbStore.instanceHeap[h], sizeof f);
    return f;
  }
  switch (h) {
    case FB_REF_ONE: return 1.0f;
    case FB_REF_POS_MAX: return 1.5e37f;
    case FB_REF_NEG_MAX: return -1.5e37f;
    default: return g_fbUnconnectedFloat;
  }
}
inline uint16_t FB_ReadDigitalRef(uint32_t h) {
  if (h - 1u < FB_INSTANCE_HEAP_WORDS - 1u) return g_fbStore.instanceHeap[h];
  return h == FB_REF_ONE ? uint16_t{1} : g_fbUnconnectedWord;
}

// Byte copy and fill used by all block code; both return the destination. The copy
// tolerates overlapping areas.
void* FW_MemCopy(void* destination, const void* source, size_t n);
void* FW_MemSet(void* destination, int value, size_t n);
