// Helpers shared by the block families: the parameter handler of the types without
// parameters, the registration of a family's rows, and the reads every handler makes.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>
#include <span>

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
