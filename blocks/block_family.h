// Helpers shared by the block families: the parameter handler of the types without
// parameters, the registration of a family's rows, and the reads every handler makes.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>
#include <span>

#include "runtime/fb_blockdata.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_image.h"

// Parameter handler of the types without parameters: every request gives 'i' with the bad
// index 0.
inline uint8_t BLK_RefuseParams(FbParamRequest*, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  return FB_ERR_UNKNOWN_ID;
}

// One row of the block-type table as a family writes it; the counts come from the template.
struct BlkTypeRow {
  const FbTemplate* tmpl;
  FbRunHandler run;
  FbInitHandler init;
  FbParamHandler param;
  const FbLimitTable* limits;  // null for types without parameters
  uint16_t weight;
  uint16_t group;              // catalogue group
};

// Enters rows of types that run in a time group (no fixed place) and take the common
// permitted block numbers; each row goes under its template's type number.
inline void BLK_RegisterTimeGroupTypes(std::span<const BlkTypeRow> rows) {
  for (const BlkTypeRow& r : rows) {
    FB_RegisterType(r.tmpl->type,
                    FB_TypeFromTemplate(r.tmpl, r.run, r.init, r.param, r.limits,
                                        FB_COMMON_BLOCK_RANGES, 0, r.weight, r.group));
  }
}

// One row of a type bound to fixed block numbers: its own permitted numbers and the
// fixed-place id under which the engineering tool places it. Such blocks run by block number
// (the I/O and fixed blocks of the scheduler) and take no time group and no after-block.
struct BlkFixedTypeRow {
  BlkTypeRow row;
  const FbBlockRange* permitted;  // {low, high} ranges ended by {0, 0}
  uint16_t fixedPlaceId;
};

// Enters rows of fixed-place types, each under its template's type number.
inline void BLK_RegisterFixedPlaceTypes(std::span<const BlkFixedTypeRow> rows) {
  for (const BlkFixedTypeRow& f : rows) {
    const BlkTypeRow& r = f.row;
    FB_RegisterType(r.tmpl->type,
                    FB_TypeFromTemplate(r.tmpl, r.run, r.init, r.param, r.limits, f.permitted,
                                        f.fixedPlaceId, r.weight, r.group));
  }
}

// Input i (0-based) of an instance, read through its reference.
inline float BLK_AnalogIn(const FbLayout& L, unsigned i) { return FB_ReadAnalogRef(L.ai[i]); }
inline uint16_t BLK_DigitalIn(const FbLayout& L, unsigned i) { return FB_ReadDigitalRef(L.di[i]); }

// True during the start-up pass of a cold start (outputs and own state are reset).
inline bool BLK_ColdStart() { return g_fwEng.warmStart == 0; }

// The work words of an instance as the type's own state record. The record holds 16-bit
// words and two-word cells (FbF32, FbU32) only, so that it fits the instance's alignment.
template <typename State>
State& BLK_WorkState(const FbLayout& L) {
  static_assert(alignof(State) <= alignof(uint16_t) && sizeof(State) % 2 == 0);
  return *reinterpret_cast<State*>(L.work);
}
// The number of work words such a record takes (for the type's template).
template <typename State>
constexpr uint16_t BLK_WorkWordsOf() {
  static_assert(sizeof(State) % 2 == 0);
  return static_cast<uint16_t>(sizeof(State) / 2);
}

// Pending copies of a block's values, for limit callbacks that bound one value by others of
// the same block (a whole set is checked against the values it brings). k is 0-based; a
// missing block or value gives NaN, a bound that admits nothing.
inline float BLK_PendingFloat(uint16_t block, unsigned k) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || k >= L.floatParams) {
    return std::numeric_limits<float>::quiet_NaN();
  }
  return L.fp[L.floatParams + k].get();
}
// A 4-byte value that holds a float.
inline float BLK_PendingLongAsFloat(uint16_t block, unsigned k) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || k >= L.longValues) {
    return std::numeric_limits<float>::quiet_NaN();
  }
  const uint32_t bits = L.lv[L.longValues + k];
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// The input-reference handle of a value inside the instance heap (its word offset), so that
// a type can point an unconnected input at one of its own values; 0 for a place outside the
// heap or off a word boundary.
inline uint32_t BLK_HandleOf(const void* value) {
  const auto at = reinterpret_cast<std::uintptr_t>(value);
  const auto base = reinterpret_cast<std::uintptr_t>(g_fbStore.instanceHeap);
  if (at <= base || at >= base + sizeof g_fbStore.instanceHeap || (at - base) % 2 != 0) return 0;
  return static_cast<uint32_t>((at - base) / 2);
}

// ---------------------------------------------------------------------------------------
// Links to a parameter of another block, named by block number and parameter number as the
// data-exchange and PROFINET blocks take them from their word values: number n (1-based)
// is word parameter n while n does not exceed the target type's word parameters, else float
// parameter n - words. The link keeps the device's layout (16-bit words and a 32-bit
// handle, no pointer): the handle is the word offset of the parameter's current value in
// the instance heap, read back with FB_ReadDigitalRef / FB_ReadAnalogRef.
enum : uint16_t { BLK_LINK_NONE = 0, BLK_LINK_WORD = 2, BLK_LINK_FLOAT = 4 };
struct BlkParamLink {
  uint16_t block;   // target block, 0 for none
  int16_t id;       // translated parameter id: 1249 + n, or 999 + (n - words)
  uint16_t size;    // BLK_LINK_*: 2 word, 4 float, 0 no value
  FbU32 handle;
};
static_assert(sizeof(BlkParamLink) == 10 && alignof(BlkParamLink) == 2);

// The link of (block, n). A block outside 1..1950, n = 0 or a missing block give no target
// (block 0); a number beyond the type's word and float parameters keeps the target block but
// no value (size 0).
inline BlkParamLink BLK_LinkParam(uint32_t block, uint32_t n) {
  BlkParamLink link{};
  FbLayout T;
  if (block < 1 || block > FB_MAX_BLOCK || n == 0 || !FB_GetLayout(block, &T)) return link;
  link.block = static_cast<uint16_t>(block);
  const uint16_t* value = nullptr;
  if (n <= T.wordParams) {
    link.id = static_cast<int16_t>(FB_ID_WORD - 1 + n);
    link.size = BLK_LINK_WORD;
    value = T.wp + (n - 1);
  } else if (n - T.wordParams <= T.floatParams) {
    const uint32_t k = n - T.wordParams - 1;
    link.id = static_cast<int16_t>(FB_ID_FLOAT + k);
    link.size = BLK_LINK_FLOAT;
    value = T.fp[k].w;
  }
  if (value) link.handle = static_cast<uint32_t>(value - g_fbStore.instanceHeap);
  return link;
}

// The current value behind a link: a word parameter as a signed 16-bit number, a float
// parameter as it is, 0 without a value.
inline float BLK_ReadParamLink(const BlkParamLink& link) {
  switch (link.size) {
    case BLK_LINK_WORD: return static_cast<int16_t>(FB_ReadDigitalRef(link.handle));
    case BLK_LINK_FLOAT: return FB_ReadAnalogRef(link.handle);
    default: return 0.0f;
  }
}

// The parameter handler of a block's type (null for a missing block or a type without one).
inline FbParamHandler BLK_ParamHandlerOf(uint32_t block) {
  const uint16_t* inst = FB_GetInstance(block);
  const FbTypeRecord* rec = inst ? FB_GetType(inst[FB_HDR_TYPE]) : nullptr;
  return rec ? rec->param : nullptr;
}

// Takes the pending copies of a block's word values over (the Init of types whose word
// values are configuration).
inline void BLK_TakeOverWordValues(const FbLayout& L) {
  std::memcpy(L.wv, L.wv + L.wordValues, L.wordValues * sizeof(uint16_t));
}

// The own state record of another block, when the block exists, is of `type` and its work
// words hold the record; else null (chains between blocks check every link this way).
template <typename State>
State* BLK_StateOf(uint32_t block, uint16_t type) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || L.type != type || L.workWords < BLK_WorkWordsOf<State>()) {
    return nullptr;
  }
  return &BLK_WorkState<State>(L);
}

// True when an input has a source (unconnected inputs hold the reference 0).
inline bool BLK_AnalogWired(const FbLayout& L, unsigned i) { return L.ai[i] != FB_REF_ZERO; }
inline bool BLK_DigitalWired(const FbLayout& L, unsigned i) { return L.di[i] != FB_REF_ZERO; }

// True when one of the first `count` entries of a list of block numbers is `block`.
inline bool BLK_ListContains(const uint16_t* list, uint16_t count, uint16_t block) {
  for (uint16_t k = 0; k < count; ++k) {
    if (list[k] == block) return true;
  }
  return false;
}

// Walks a chain of blocks of one type backwards through their wiring, from input `input`
// (1-based) of `block`: the first must feed that input (from output `firstOutput`, 0 for
// any), each further one input `linkInput` of the one before (from `linkOutput`, 0 for any).
// Stops at `max` blocks, at a block of another type and at a block met before (the start
// block included), so that a chain wired into a loop ends. Writes the numbers found to `out`,
// nearest first, and answers their count.
inline uint16_t BLK_WalkSources(uint16_t block, uint16_t input, uint16_t type,
                                uint16_t firstOutput, uint16_t linkInput, uint16_t linkOutput,
                                uint16_t* out, uint16_t max) {
  uint16_t count = 0, source = 0, output = 0;
  uint16_t from = block, at = input, wantOutput = firstOutput;
  while (count < max && FB_GetInputSource(from, at, &source, &output) == type &&
         (wantOutput == 0 || output == wantOutput) && source != block &&
         !BLK_ListContains(out, count, source)) {
    out[count++] = source;
    from = source;
    at = linkInput;
    wantOutput = linkOutput;
  }
  return count;
}
