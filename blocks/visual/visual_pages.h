// Page records of the visualisation blocks: what VWERT, VBAR, VPARA and VTREND keep for their
// operating pages, and what the pages hand back to them.
//
// Each block's Init registers its record as the page data of its block-list entry (VIS_Page
// finds it). The block fills the record in every run; a page reads it, and writes an
// operator's change into the record's operator value and sets the change mark beside it; the
// block takes the change into its parameter at its next run and clears the mark.
//
// The records live in the blocks' instances (their work words) and keep the device's layout:
// bytes, 16-bit words and two-word cells, no native pointers. A handle is the word offset of a
// value in the instance heap (0: none); FB_ReadAnalogRef reads the float behind it, and the
// helpers below give the trend rings.
#pragma once

#include <bitset>
#include <cstdint>

#include "blocks/block_family.h"
#include "blocks/page_records.h"
#include "runtime/fb_store.h"
#include "runtime/fb_values.h"

// Block types of the family.
enum : uint16_t {
  BLK_TYPE_VWERT = 96,
  BLK_TYPE_VBAR = 97,
  BLK_TYPE_VPARA = FB_TYPE_VPARA,   // 98
  BLK_TYPE_VTREND = 99,
  BLK_TYPE_VIDLE = 107,
};

// A row's or a value's display mode ("Disp"): shown and adjustable, shown only, or an empty
// line.
enum : uint8_t { VIS_DISP_ADJUST = 0, VIS_DISP_SHOW = 1, VIS_DISP_EMPTY = 2 };

// A mark value that is not shown (an unwired mark input of VBAR), and the range of the values
// the pages show.
constexpr float VIS_NO_MARK = 999999.0f;
constexpr float VIS_VALUE_MIN = -29999.0f, VIS_VALUE_MAX = 999999.0f;

// ---------------------------------------------------------------------------------------
// VWERT: up to six rows of values with adjustable settings.

constexpr unsigned VWERT_ROWS = 6;
constexpr unsigned VWERT_TEXT_CHAIN = 10;   // TEXT blocks of a text row, at most

// "Mode" of a row: how the page shows it and what the operator does with it. analog, time
// and text rows carry the float value, the others the word value (0 or 1).
enum : uint8_t {
  VWERT_MODE_ANALOG = 0,
  VWERT_MODE_DIGITAL = 1,
  VWERT_MODE_TIME = 2,
  VWERT_MODE_RADIO = 3,     // a run of consecutive radio rows is one group: one of them is 1
  VWERT_MODE_TOGGLE = 4,
  VWERT_MODE_BUTTON = 5,    // 1 while the operator holds the key
  VWERT_MODE_TEXT = 6,      // the value selects one of the texts of the row's TEXT chain
  VWERT_MODE_MENU = 7,
};

struct VwertRow {
  uint8_t mode;             // "Mode i"
  uint8_t spare;
  uint16_t digital;         // input d i
  FbF32 analog;             // input X i
  uint16_t word;            // operator's word value ("z i")
  uint8_t wordDisp;         // "Disp i"
  uint8_t wordChanged;      // set by the page when it changed `word`
  FbF32 value;              // operator's float value ("Y i")
  FbF32 min, max;           // adjustment range of `value`
  uint8_t dp;               // decimals "Dp i"
  uint8_t disp;             // "Disp i"
  uint16_t valueChanged;    // set by the page when it changed `value`
  char name[FB_TEXT_LEN];   // "Name i", blank-padded
  char unit[FB_TEXT_LEN];   // "Unit i"
};
static_assert(sizeof(VwertRow) == 60 && alignof(VwertRow) == 2);

struct VwertPage {
  OpBlockPageData header;   // type 96
  char title[FB_TEXT_LEN];
  VwertRow rows[VWERT_ROWS];
  // The TEXT blocks of each text row, nearest first, 0 after the last; the row's range is
  // then 1 .. 4 x their number.
  uint16_t textChain[VWERT_ROWS][VWERT_TEXT_CHAIN];
  // Handles of "L 1" and "H 1" of the ALLP block that feeds X i and gives the row its range
  // (0 without one).
  FbU32 allpLow[VWERT_ROWS];
  FbU32 allpHigh[VWERT_ROWS];
  // The VWERT blocks cascaded behind this one (its successor, whose "Casc" takes this one's
  // "Bl-no") and before it (0: none). The page's two header fields lead to them.
  uint16_t successor;
  uint16_t predecessor;
  uint16_t lastStore;       // "store" in the last run
};
static_assert(sizeof(VwertPage) % 2 == 0 && alignof(VwertPage) == 2);

// ---------------------------------------------------------------------------------------
// VBAR: two values with bar graphs.

struct VbarValue {          // X 1, X 2 as shown
  FbF32 value;
  FbF32 min, max;           // -29999, 999999
  uint8_t dp, disp;
};
struct VbarBar {            // Bar1, Bar2
  FbF32 value;
  FbF32 start, end, middle; // "X3   0", "X3 100", "X3 mid" (bar 2: "X4 ...")
  uint16_t form;            // always 3
};
struct VbarOperator {       // the settings Y 1, Y 2
  FbF32 value;
  FbF32 min, max;           // adjustment range
  uint8_t dp, disp;
  uint8_t changed;          // set by the page when it changed `value`
  uint8_t spare;
};
struct VbarPage {
  OpBlockPageData header;   // type 97
  char title[FB_TEXT_LEN];
  // "name i" and "unit i": their first six characters, trailing blanks cut off, 0-ended.
  char name[2][8];
  char unit[2][8];
  VbarValue x[2];
  VbarBar bar[2];
  VbarOperator op[2];
  uint16_t typ;             // 0 horizontal, 1 vertical
  FbF32 mark[4];            // Mark11, Mark12 (bar 1), Mark21, Mark22 (bar 2); VIS_NO_MARK: none
  uint16_t lastStore;
  FbU32 allpLow[2];         // as VWERT's, for X 1 and X 2
  FbU32 allpHigh[2];
};
static_assert(sizeof(VbarPage) % 2 == 0 && alignof(VbarPage) == 2);

// ---------------------------------------------------------------------------------------
// VPARA: six parameters of other blocks. The record begins with the parameter page that the
// typed value access builds its class-3 list from; the block's own fields per row follow.

struct VparaRow {
  BlkParamLink target;      // target block (0: none), translated id, size, value handle
  uint8_t handler;          // 1: X i is wired and the target's type has a parameter handler
  uint8_t send;             // a write of X i waits for room in the deferred-call ring
  uint8_t result;           // result of the last write (255 while it waits to run); z i
  uint8_t spare;
};
struct VparaPage {
  FbParamPage page;         // header (type 98); per row block, parameter number, label
  char title[FB_TEXT_LEN];
  VparaRow rows[FB_PARAM_PAGE_LINES];
  uint16_t lastStore;
};
static_assert(sizeof(VparaPage) % 2 == 0 && alignof(VparaPage) == 2);

// ---------------------------------------------------------------------------------------
// VTREND: the trend of one value in a ring of 250 samples, kept twice: the float values and
// the values in per mille of the display range X 0 .. X 100 (-1 below it, 1001 above it).

constexpr uint16_t VTREND_RING = 250;

struct VtrendPage {
  OpBlockPageData header;   // type 99; `updated` is set by every run that records
  uint8_t disabl, reset;    // the inputs "disabl" and "reset"
  char title[FB_TEXT_LEN];
  char unitText[FB_TEXT_LEN];
  FbF32 value;              // X 1 now
  FbF32 x0, x100;           // display range
  uint16_t dp;              // decimals
  FbU32 values;             // handle of the float ring (VTREND_RING two-word cells)
  FbU32 points;             // handle of the per-mille ring (VTREND_RING i16)
  uint16_t length;          // VTREND_RING
  uint16_t newest;          // index of the newest sample
  uint16_t count;           // samples in the ring, 0 .. VTREND_RING
  FbF32 period;             // "Sample", in its unit
  uint16_t timeUnit;        // "Unit" + 1 (1 s, 2 min, 3 h); 0: sampled by the "sample" input
  uint16_t cascade;         // the VTREND fed by this one's "X-125", whose ring holds the
                            // older history (0: none)
};
static_assert(sizeof(VtrendPage) % 2 == 0 && alignof(VtrendPage) == 2);

// ---------------------------------------------------------------------------------------
// Finding the records.

// The page record of a block of `type`: its block-list entry's page data when the block
// exists, is of that type and the record carries the type; else null.
template <typename Page>
Page* VIS_Page(uint32_t block, uint16_t type) {
  const uint16_t* inst = FB_GetInstance(block);
  if (!inst || inst[FB_HDR_TYPE] != type) return nullptr;
  auto* page = static_cast<Page*>(g_fbStore.list[block].pageData);
  if (!page) return nullptr;
  const auto* header = reinterpret_cast<const OpBlockPageData*>(page);
  return header->type == type ? page : nullptr;
}

// The rings of a trend record; null when a handle does not name a whole ring in the heap.
inline const FbF32* VIS_TrendValues(const VtrendPage& p) {
  const uint32_t h = p.values;
  if (h == 0 || h > FB_INSTANCE_HEAP_WORDS - 2u * VTREND_RING) return nullptr;
  return reinterpret_cast<const FbF32*>(g_fbStore.instanceHeap + h);
}
inline const int16_t* VIS_TrendPoints(const VtrendPage& p) {
  const uint32_t h = p.points;
  if (h == 0 || h > FB_INSTANCE_HEAP_WORDS - VTREND_RING) return nullptr;
  return reinterpret_cast<const int16_t*>(g_fbStore.instanceHeap + h);
}

// Visits the trend records of a cascade from block `head` along their cascade links, newest
// history first: visit(block, record). The walk ends at a block that is missing or not a
// VTREND and at a block visited before, so that a cascade wired into a loop ends. Answers the
// number of records visited.
template <typename Visit>
unsigned VIS_WalkTrendCascade(uint16_t head, Visit visit) {
  std::bitset<FB_LIST_SIZE> seen;
  unsigned n = 0;
  for (uint16_t b = head; b != 0 && b <= FB_MAX_BLOCK && !seen[b];) {
    const VtrendPage* p = VIS_Page<const VtrendPage>(b, BLK_TYPE_VTREND);
    if (!p) break;
    seen[b] = true;
    visit(b, *p);
    ++n;
    b = p->cascade;
  }
  return n;
}
