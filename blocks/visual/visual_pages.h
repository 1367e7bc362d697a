// Page records of the visualisation blocks VWERT, VBAR and VTREND: what each block keeps for
// its operating page, in its own work words. The block's Init points the block-list entry's
// page data at the record; the operating pages read it there and write back only what the
// operator changed (marked by the changed-by-page bytes), which the block takes over at its
// next run.
//
// The records keep the device's layout: 16-bit words, bytes in pairs, 32-bit values in
// two-word cells, and references into the instance heap as 32-bit handles (word offsets),
// never native pointers.
#pragma once

#include <cstdint>

#include "runtime/fb_store.h"

enum : uint16_t { VIS_TYPE_VWERT = 96, VIS_TYPE_VBAR = 97, VIS_TYPE_VTREND = 99 };

constexpr float VIS_MARK_NONE = 999999.0f;   // a VBAR mark whose input is not wired
constexpr uint16_t VIS_TREND_POINTS = 250;   // samples of one VTREND ring
constexpr unsigned VIS_TEXT_CHARS = 16;

// The header every page record begins with (the operating interface's OpBlockPageData).
struct VisPageHeader {
  uint8_t hide;     // the page is switched off
  uint8_t lock;     // its values are locked against the operator
  uint8_t updated;  // set by every run: the page refreshes
  uint8_t spare;
  uint16_t type;    // the block type
};
static_assert(sizeof(VisPageHeader) == 6);

// --- VWERT ------------------------------------------------------------------------------------

constexpr unsigned VWERT_ROWS = 6;
constexpr unsigned VWERT_TEXT_CHAIN = 10;   // TEXT blocks of a `text` row

// `Mode` of a row.
enum : uint8_t {
  VWERT_ANALOG = 0, VWERT_DIGITAL = 1, VWERT_TIME = 2, VWERT_RADIO = 3, VWERT_TOGGLE = 4,
  VWERT_BUTTON = 5, VWERT_TEXT = 6, VWERT_MENU = 7,
};
// `Disp` of a row.
enum : uint8_t { VWERT_DISP_ADJUST = 0, VWERT_DISP_SHOW = 1, VWERT_DISP_EMPTY = 2 };

struct VwertPageRow {
  uint8_t mode;            // `Mode`
  uint8_t spare;
  uint16_t digital;        // input d i
  FbF32 analog;            // input X i
  uint16_t word;           // the operator's word value (word parameter z i)
  uint8_t wordDisp;        // `Disp` of the word value
  uint8_t wordChanged;     // set by the page when it changed `word`
  FbF32 value;             // the operator's float value (float parameter Y i)
  FbF32 min, max;          // its adjustment range
  uint8_t dp;              // `Dp`
  uint8_t disp;            // `Disp`
  uint16_t valueChanged;   // set by the page when it changed `value`
  char name[VIS_TEXT_CHARS];
  char unit[VIS_TEXT_CHARS];
};
static_assert(sizeof(VwertPageRow) == 60);

struct VwertPage {
  VisPageHeader header;    // type 96
  char title[VIS_TEXT_CHARS];
  VwertPageRow rows[VWERT_ROWS];
  uint16_t textChain[VWERT_ROWS][VWERT_TEXT_CHAIN];  // block numbers, 0 after the last
  FbU32 limitLow[VWERT_ROWS], limitHigh[VWERT_ROWS];  // ALLP limits (handles, 0 none)
  uint16_t successor;      // the VWERT cascaded behind this one, 0 none
  uint16_t predecessor;    // the VWERT before this one, 0 none
  uint16_t lastStore;
};

// --- VBAR -------------------------------------------------------------------------------------

// The value of X 1 / X 2 as the page shows it.
struct VbarPageValue {
  FbF32 value;
  FbF32 min, max;          // -29999, 999999
  uint16_t dp, disp;
};
// A bar: its value over start..end, the middle line and the bar's constant 3.
struct VbarPageBar {
  FbF32 value;
  FbF32 start, end, middle;
  uint16_t constant;
};
// An operator value with its adjustment range.
struct VbarPageSetting {
  FbF32 value;
  FbF32 min, max;
  uint8_t dp, disp;
  uint8_t changed;         // set by the page when it changed `value`
  uint8_t spare;
};

struct VbarPage {
  VisPageHeader header;    // type 97
  char title[VIS_TEXT_CHARS];
  char name[2][VIS_TEXT_CHARS];   // trailing blanks of the first six characters cut off
  char unit[2][VIS_TEXT_CHARS];
  VbarPageValue x[2];
  VbarPageBar bar[2];
  VbarPageSetting setting[2];
  uint16_t typ;            // 0 horizontal, 1 vertical
  FbF32 mark[2][2];        // limit marks of each bar, VIS_MARK_NONE when not shown
  uint16_t lastStore;
  FbU32 limitLow[2], limitHigh[2];  // ALLP limits of X 1 and X 2 (handles, 0 none)
};

// --- VTREND -----------------------------------------------------------------------------------

// `Unit` + 1 as the page record holds it; 0 with external sampling.
enum : uint16_t { VTREND_UNIT_EXTERNAL = 0, VTREND_UNIT_S = 1, VTREND_UNIT_MIN = 2, VTREND_UNIT_H = 3 };

struct VtrendPage {
  VisPageHeader header;    // type 99
  uint8_t disabled;        // input `disabl`: nothing is recorded
  uint8_t reset;           // input `reset`
  char title[VIS_TEXT_CHARS];
  char unitText[VIS_TEXT_CHARS];
  FbF32 value;             // the current value
  FbF32 x0, x100;          // display range
  uint16_t dp;
  FbU32 valueRing;         // handle of the 250 float samples
  FbU32 permilleRing;      // handle of the 250 samples scaled to -1..1001 (16-bit each)
  uint16_t ringLength;     // 250
  uint16_t newest;         // index of the newest sample
  uint16_t count;          // samples in the ring (at most 250)
  FbF32 period;            // `Sample`, in the unit below
  uint16_t unit;           // VTREND_UNIT_*
  uint16_t cascade;        // the VTREND that keeps the older samples, 0 none
  uint8_t redraw;          // the block asks the page to draw itself anew
  uint8_t spare;
};
