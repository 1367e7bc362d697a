// Steps the visualisation types share, their own state records and the links to the
// operating interface and the display.
#pragma once

#include <cstdint>

#include "blocks/block_family.h"
#include "blocks/visual/visual.h"
#include "blocks/visual/visual_links.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"

namespace vis {

// Catalogue groups of the family.
enum : uint16_t { kGroupPages = 17, kGroupDevice = 104 };

// The limit record of every float value the pages show and set: -29999..999999.
inline constexpr FwFloatLimit kValueLimit{.min = VIS_VALUE_MIN, .max = VIS_VALUE_MAX, .attribute = 3};
// Word values "Disp i" and "Dp i".
inline constexpr FwShortLimit kDispLimit{.min = VIS_DISP_ADJUST, .max = VIS_DISP_EMPTY};
inline constexpr FwShortLimit kDpLimit{.min = 0, .max = 3};

// The instance word that holds word value k of a type's template (its current copy), so
// that a limit record can name it as the decimals of a float value.
constexpr uint16_t wordValueWord(const FbTemplate& t, size_t k) {
  return static_cast<uint16_t>(FB_HDR_WORDS + (1 + 2 * t.analogOutputs) + (1 + t.digitalOutputs) +
                               (1 + 2 * t.analogInputs) + (1 + 2 * t.digitalInputs) +
                               (1 + 4 * t.floatParams.size()) + (1 + 2 * t.wordParams.size()) +
                               (1 + 4 * t.longValues.size()) + 1 + k);
}

// Header of a page record at Init: the type, hide and lock from the inputs (lockInput < 0:
// the type has none); the record becomes the block's page data.
void initHeader(OpBlockPageData& h, const FbLayout& L, uint16_t type, unsigned hideInput,
                int lockInput, void* record);
// Header in a run: hide and lock from the inputs, and the record marked updated.
void runHeader(OpBlockPageData& h, const FbLayout& L, unsigned hideInput, int lockInput);

// Text k (0-based) of the instance: all 16 characters, or its first six with trailing
// blanks cut off and a terminating 0 (the 8-byte short copies).
void copyText(char (&to)[FB_TEXT_LEN], const FbLayout& L, unsigned k);
void copyShortText(char (&to)[8], const FbLayout& L, unsigned k);

// A row's adjustment range from the ALLP block that feeds analog input `input` (1-based),
// when there is one whose "Select" is 0: the handles of its "L 1" and "H 1", and their
// values now. Else the handles are 0 and the range is that of the limit record.
void takeRange(uint16_t block, uint16_t input, const FwFloatLimit& record, FbU32& low,
               FbU32& high, FbF32& min, FbF32& max);
// The range again from the handles, when it comes from an ALLP block.
inline void refreshRange(const FbU32& low, const FbU32& high, FbF32& min, FbF32& max) {
  if (low.get() != 0 && high.get() != 0) {
    min = FB_ReadAnalogRef(low);
    max = FB_ReadAnalogRef(high);
  }
}

// A rising edge of a digital input; `last` follows the input.
inline bool risingEdge(uint16_t& last, uint16_t now) {
  const bool edge = now != 0 && last == 0;
  last = now;
  return edge;
}

// Takes a value into float (word) parameter k, current and pending copy, when its limit
// record allows it and it differs; sets the pending flag. True when it was taken.
bool takeFloatParam(const FbLayout& L, unsigned k, float value);
bool takeWordParam(const FbLayout& L, unsigned k, uint16_t value);
// The limit record of float (word) parameter k of the block's type (null: none).
const FwFloatLimit* floatParamLimit(const FbLayout& L, unsigned k);
const FwShortLimit* wordParamLimit(const FbLayout& L, unsigned k);

// A byte of a page record from a configuration word (an image may hold any word).
inline uint8_t recordByte(uint16_t w) { return w > 0xFF ? uint8_t{0xFF} : static_cast<uint8_t>(w); }

// Takes the pending copies of the 4-byte values over (the Init of types whose 4-byte values
// are configuration).
inline void takeOverLongValues(const FbLayout& L) {
  FW_MemCopy(L.lv, L.lv + L.longValues, L.longValues * sizeof(FbU32));
}

// VTREND's own data: both rings, where the next sample goes and how many there are, and the
// sampling state; then its page record.
struct VtrendState {
  FbF32 values[VTREND_RING];
  int16_t points[VTREND_RING];
  uint16_t writeIndex;
  uint16_t count;
  FbF32 periodSeconds;      // 0 with external sampling
  FbU32 ticks;              // runs since the last sample
  FbF32 cycleTime;          // of the block's time group
  uint16_t lastSample;      // "sample" in the last run
  uint16_t external;        // 1: sampled on the edges of "sample"
  VtrendPage page;
};

// VIDLE's own data: runs without touch, and the touch state latched while idle.
struct VidleState {
  uint16_t counter;
  uint16_t latch;
};

void registerVwertType();
void registerVbarType();
void registerVparaType();
void registerVtrendType();
void registerVidleType();

}  // namespace vis
