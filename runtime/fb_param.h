// Parameter requests, limit records and the pending copies.
//
// Every change of a block's parameters (from the operating pages, the serial protocols, the
// system bus or another block) goes through the parameter handler of the block's type with
// one request record. The handler checks the value against the type's limit records and
// writes it into the pending copy. While the device is stopped the pending copies become
// the current values at once; while it runs, the block's pending flag is set and the
// block's next run takes the change over and saves it into the engineering image.
//
// Word values and 4-byte values are configuration: a request only writes their pending
// copy, and the block's Init takes it over in the next start-up pass.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

// ---------------------------------------------------------------------------------------
// Request record (little-endian bytes):
//   0  u16 block number
//   2  i16 parameter id (negative ids are read requests)
//   4  single value: f32 (float parameter, 4-byte value) or u16 (word parameter, word value)
//   4  u8  whole-set requests: number of word items + 1
//   5  u8  whole-set requests: number of 4-byte items
//   8  whole-set requests: the word items (u16 each), then the 4-byte items (f32 each)
// The record is always FB_REQUEST_BYTES long and zero beyond the bytes the sender filled
// in, so that whatever two count bytes announce lies inside it (a receiver that gets fewer
// bytes than a request's counts need refuses the frame itself).
constexpr uint16_t FB_REQUEST_BYTES = 8 + 255 * 2 + 255 * 4;
constexpr uint16_t FB_REQUEST_VALUE = 4;      // offset of a single value
constexpr uint16_t FB_REQUEST_COUNT1 = 4;     // offset of the first count byte
constexpr uint16_t FB_REQUEST_COUNT2 = 5;     // offset of the second count byte
constexpr uint16_t FB_REQUEST_ITEMS = 8;      // offset of the first whole-set item

struct FbParamRequest {
  uint8_t bytes[FB_REQUEST_BYTES] = {};

  FbParamRequest() = default;
  FbParamRequest(uint16_t block, int16_t id) {
    setU16(0, block);
    setU16(2, static_cast<uint16_t>(id));
  }

  uint16_t block() const { return u16(0); }
  int16_t id() const { return static_cast<int16_t>(u16(2)); }

  // Reads beyond the record give 0; writes beyond it are dropped.
  uint8_t u8(uint32_t at) const { return at < FB_REQUEST_BYTES ? bytes[at] : 0; }
  uint16_t u16(uint32_t at) const { return static_cast<uint16_t>(u8(at) | u8(at + 1) << 8); }
  uint32_t u32(uint32_t at) const { return u16(at) | static_cast<uint32_t>(u16(at + 2)) << 16; }
  float f32(uint32_t at) const;
  void setU8(uint32_t at, uint8_t v);
  void setU16(uint32_t at, uint16_t v) {
    setU8(at, static_cast<uint8_t>(v));
    setU8(at + 1, static_cast<uint8_t>(v >> 8));
  }
  void setU32(uint32_t at, uint32_t v) {
    setU16(at, static_cast<uint16_t>(v));
    setU16(at + 2, static_cast<uint16_t>(v >> 16));
  }
  void setF32(uint32_t at, float v);
};
// Nothing but the bytes: a zero-filled byte buffer of FB_REQUEST_BYTES may be handed to a
// handler as a request.
static_assert(sizeof(FbParamRequest) == FB_REQUEST_BYTES && alignof(FbParamRequest) == 1);

// Length of the value a parameter handler answers to a read (negative id). The handler
// leaves the value in the request from offset 4 and sets this to its bytes: 1 (one byte),
// 2 (a 16-bit integer), 4 (a float or a 32-bit value), or the length of a longer reply. The
// caller clears it before the call; 0 after a successful read means the handler did not say,
// and the caller takes the width of the value's kind. The system-data block (block 0)
// reports in g_fwSys.answerLength instead.
extern uint16_t g_fbReadLength;

// A single-value request (float or 4-byte value; word parameter or word value).
FbParamRequest FB_FloatRequest(uint16_t block, int16_t id, float value);
FbParamRequest FB_WordRequest(uint16_t block, int16_t id, uint16_t value);
// A whole-set request (4000 or 4010): count bytes, the words, then the 4-byte items (more
// than 254 of either gives count bytes no type matches).
FbParamRequest FB_SetRequest(uint16_t block, int16_t id, std::span<const uint16_t> words,
                             std::span<const float> items);

// Parameter ids; k counts from 0 within its group.
enum : int16_t {
  FB_ID_FLOAT = 1000,        // float parameter k: 1000 + k
  FB_ID_WORD = 1250,         // word parameter k
  FB_ID_TEXT = 2000,         // text k (16 characters)
  FB_ID_WORD_VALUE = 3000,   // word value k
  FB_ID_LONG_VALUE = 3050,   // 4-byte value k
  FB_ID_WHOLE_SET = 4000,    // word parameters and float parameters
  FB_ID_ALL_VALUES = 4010,   // word values and 4-byte values
  FB_ID_CREATE = 4200,       // create or connect a block
};

// ---------------------------------------------------------------------------------------
// Limit records. A callback, when present, replaces the stored bound; it takes the block
// number (the discrete-set callbacks of short records also take a value).
constexpr int16_t FW_NO_VALUE_S = -32000;     // off / no value (floats: FW_NO_VALUE)
constexpr int16_t FW_LIMIT_DISCRETE = -31000; // short minimum: a set of two values
// Stored float maxima that are display markers for the operating pages, not bounds (the
// bounds then come from the callbacks).
constexpr float FW_MARK_MINUTES_SECONDS = -31001.0f;
constexpr float FW_MARK_SIX_DIGITS_A = -31002.0f;
constexpr float FW_MARK_SIX_DIGITS_B = -31003.0f;

using FwFloatBound = float (*)(uint16_t block);
using FwShortBound = int16_t (*)(uint16_t block, int16_t value);

struct FwFloatLimit {
  float min = 0.0f;
  float max = 0.0f;
  FwFloatBound minFn = nullptr;
  FwFloatBound maxFn = nullptr;
  uint16_t attribute = 0;  // decimals shown (0..3), or the instance word that holds them
};

struct FwShortLimit {
  int16_t min = 0;
  int16_t max = 0;
  FwShortBound minFn = nullptr;
  FwShortBound maxFn = nullptr;
};

// The limit records of a type, by group and index k.
struct FbLimitTable {
  std::span<const FwShortLimit> wordParams{};
  std::span<const FwFloatLimit> floatParams{};
  std::span<const FwShortLimit> wordValues{};
  std::span<const FwFloatLimit> longValues{};
};

// True when x <= maximum and (x >= minimum, or x = -32000 while the stored minimum is
// -32000). NaN is never allowed; a null record allows nothing.
bool FW_CheckFloatLimit(float x, const FwFloatLimit* record, uint16_t block);

// 1 when x is allowed, else 0. A stored minimum of -31000 makes the record a set of two
// values: e = maximum callback(block, x); x = e is allowed, x > e is refused, a smaller x
// only when it equals minimum callback(block, e). Otherwise x must not lie above the
// maximum, and below the minimum only x = -32000 with a stored minimum of -32000 passes.
int FW_CheckShortLimit(int16_t x, const FwShortLimit* record, uint16_t block);

// A check of a word against its short limit record (1 allowed, 0 refused). Types whose
// words know neither the discrete sets nor the off value pass a plain check of their own
// where a step below takes one.
using FwShortCheck = int (*)(int16_t x, const FwShortLimit* record, uint16_t block);

// Count bytes of a whole-set request: 0 when both match, 'y' when the first differs, 'z'
// when only the second differs.
uint8_t FB_CheckRequestHeader(const FbParamRequest* request, uint16_t wordsPlusOne,
                              uint16_t items);

// ---------------------------------------------------------------------------------------
// Pending flags, by block number: 1 when the block has changes to apply and save at its
// next run.
struct FbPendingFlags {
  uint8_t floats[FB_LIST_SIZE];
  uint8_t words[FB_LIST_SIZE];
};
extern FbPendingFlags g_fbPending;

// The input-failure word of the fixed input blocks.
extern uint16_t g_fbInputFailWord;

// Sets (fail non-zero) or clears the bit of a fixed input block in the input-failure word:
// 61 -> 8, 65 -> 2, 66 -> 4, 71 -> 16, 72 -> 32, 73 -> 64, 74 -> 128, 67 -> 256, 68 -> 512,
// 63, 64 and 69 -> 1024, 70 -> 2048; other block numbers change nothing.
void FB_SetInputFailBit(uint16_t fail, uint16_t block);

// Clears the pending flags and the input-failure word (the engineering is cleared).
void FB_ClearParamState();

// ---------------------------------------------------------------------------------------
// Saving applied values. The FB_Save... calls take 1-based indexes of the block's group and
// answer 1 when nothing was queued (write ring full, or no such block or values), else 0.
// They hand the save to the save hook, which copies the values into the block's record of
// the engineering image and queues the EEPROM write-back of those bytes.
enum class FbSaveGroup : uint8_t { FloatParams, WordParams, LongValues, StateWords };
using FbSaveHook = uint8_t (*)(FbSaveGroup group, uint16_t block, uint16_t first,
                               uint16_t count);

// Installs the save hook (null: the default, which keeps nothing and answers 0) and
// returns the one it replaces.
FbSaveHook FB_SetSaveHook(FbSaveHook hook);

uint8_t FB_SaveFloatParams(uint16_t block, uint16_t first, uint16_t count);
uint8_t FB_SaveWordParams(uint16_t block, uint16_t first, uint16_t count);
uint8_t FB_SaveLongParams(uint16_t block, uint16_t first, uint16_t count);
uint8_t FB_SaveStateWords(uint16_t block, uint16_t first, uint16_t count);

// Takes the pending float (word) parameters of a block over while the device runs: when the
// block's pending flag is set, copies the pending copies into the current values and saves
// the whole group; the flag is cleared only when the save was queued, so that the next run
// tries again.
enum : uint8_t { FB_APPLY_NONE = 0, FB_APPLY_SAVED = 1, FB_APPLY_NOT_SAVED = 2 };
uint8_t FB_ApplyPendingFloats(uint16_t block);
uint8_t FB_ApplyPendingWords(uint16_t block);

// ---------------------------------------------------------------------------------------
// The standard parameter handler. A type whose parameters need no more than their limit
// records registers it as its parameter handler together with its limit table:
//   1000 + k, 1250 + k   one float / word parameter, checked, compared with its pending
//                        copy (equal: 0, nothing changes), then the run-mode rule
//   3000 + k, 3050 + k   one word value / 4-byte value, checked, into its pending copy
//   4000                 the word and float parameters (header words + 1, floats)
//   4010                 the word values and 4-byte values (header values + 1, 4-byte values)
// Any k outside the group, a whole set for a type with no such values, texts, reads and
// other ids give 'i'; a missing block gives 'j'; a value out of limits gives 'l' with the
// 1-based position of the first bad element of a whole set (words first). A refused
// request changes nothing.
uint8_t FB_StandardParam(FbParamRequest* request, uint16_t* badIndex);

// The steps of the standard handler, for handlers of their own that accept only some ids
// or recompute after a change. Results as above.
uint8_t FB_ParamFloat(uint16_t block, uint16_t k, float value);
// `check` replaces FW_CheckShortLimit when set.
uint8_t FB_ParamWord(uint16_t block, uint16_t k, uint16_t value, FwShortCheck check = nullptr);
uint8_t FB_ParamWordValue(uint16_t block, uint16_t k, uint16_t value,
                          FwShortCheck check = nullptr);
uint8_t FB_ParamLongValue(uint16_t block, uint16_t k, float value);
uint8_t FB_ParamWholeSet(const FbParamRequest* request, uint16_t* badIndex);
uint8_t FB_ParamAllValues(const FbParamRequest* request, uint16_t* badIndex);
// The storing half of FB_ParamWholeSet, for handlers whose limits depend on other members of
// the same set and that have checked the request (header and every element) themselves:
// the word and float items go into the pending copies, then the run-mode rule.
void FB_StoreWholeSet(const FbParamRequest* request);

// ---------------------------------------------------------------------------------------
// Whole sets with cross limits. Where limit callbacks read other pending values of the same
// block (a maximum that is the pending value of another parameter, a point that must lie
// between its neighbours), a whole set has to be checked against the values it brings, not
// against those it replaces. These variants save the pending copies the set writes, write
// the set into them, check every element against its record (so the callbacks see the new
// pending values) and, when one fails, put the saved copies back: a refused set leaves the
// pending copies exactly as they were before the request, changes waiting in them included.
// An accepted set follows the same rules as FB_ParamWholeSet / FB_ParamAllValues (equal
// values set no flag; the run-mode rule; values only into their pending copies).

// The groups a set writes: the word and float parameters, or the word values and the
// 4-byte values.
enum class FbSetGroups : uint8_t { Params, Values };

// The part of the groups one request writes, for handlers with several sets over one
// group: `words` words from position firstWord and `items` 4-byte items from position
// firstItem (0-based positions in the block's groups). The request must announce
// words + 1 and items in its count bytes. Empty record spans take the records of the
// type's limit table from firstWord / firstItem on; given spans hold one record per element
// of the set. checkWord replaces FW_CheckShortLimit for the words when set.
struct FbSetPart {
  FbSetGroups groups = FbSetGroups::Params;
  uint16_t firstWord = 0;
  uint16_t words = 0;
  uint16_t firstItem = 0;
  uint16_t items = 0;
  std::span<const FwShortLimit> wordLimits{};
  std::span<const FwFloatLimit> itemLimits{};
  FwShortCheck checkWord = nullptr;
};

// One part of a block's groups. Results: 0; 'i' for a null request, a part that is empty or
// runs past the block's groups or past its records; 'j' for a missing block; the header
// check's 'y' / 'z'; 'l' with the 1-based position of the first bad element (words first).
uint8_t FB_ParamCrossSetPart(const FbParamRequest* request, const FbSetPart& part,
                             uint16_t* badIndex);
// The whole groups, chosen by the request's id: 4000 all word and float parameters, 4010
// all word values and 4-byte values; any other id gives 'i'.
uint8_t FB_ParamCrossSet(const FbParamRequest* request, uint16_t* badIndex);
// The standard handler with its whole sets (4000, 4010) checked by FB_ParamCrossSet: the
// parameter handler of a type whose limit callbacks read pending values.
uint8_t FB_StandardParamCross(FbParamRequest* request, uint16_t* badIndex);

// ---------------------------------------------------------------------------------------
// Maps x from the range between a and b to 0..1000, rounded half away from zero. With
// a < b: -1 below a, 1001 above b; with a >= b the scale runs downwards: -1 below b, 1001
// above a. a = b gives 1000 at x = a; NaN gives 0.
int32_t FW_ScaleToPermille(float x, float a, float b);

// Removes trailing blanks from a 0-terminated text in place.
void FW_TrimRight(char* text);
