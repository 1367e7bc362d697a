// What the operating pages (the programmer page and its segment table, the progress object)
// read of a setpoint programmer (APROG, DPROG) and where they leave their requests: the
// block's page record, the views below and the page handlers. The block sets up the page
// record's header at its init and fills what it shows at every run; the pages read nothing
// else of the programmer and write only the request fields, which the block takes once at
// its next run and clears.
#pragma once

#include <cstdint>

#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"

// Segments in one data block: the segment table shows the data blocks' segment parameters.
constexpr uint16_t PROG_SEGMENTS_PER_BLOCK = 10;

// Data-block numbers of one program for the page, zero-terminated.
constexpr uint16_t PROG_PAGE_LIST_SIZE = FB_PROG_DATA_LIST_SIZE + 1;

// Segment types of APRGD2 (word parameters "Type 1" .. "Type10").
enum : uint16_t {
  PROG_SEG_TIME = 0, PROG_SEG_RATE = 1, PROG_SEG_DWELL = 2, PROG_SEG_STEP = 3,
  PROG_SEG_TIME_WAIT = 4, PROG_SEG_RATE_WAIT = 5, PROG_SEG_DWELL_WAIT = 6,
  PROG_SEG_STEP_WAIT = 7,
};

// ---------------------------------------------------------------------------------------
// The page record.

// Operating state shown by the page (ProgPage::pageState).
enum : uint16_t {
  PROG_PAGE_STOPPED = 1, PROG_PAGE_RUN = 2, PROG_PAGE_RESET = 3, PROG_PAGE_SEARCH = 4,
  PROG_PAGE_ERROR = 6,
};
// Commands of the page (ProgPage::command).
enum : uint16_t {
  PROG_CMD_NONE = 0, PROG_CMD_STOP = 1, PROG_CMD_RUN = 2, PROG_CMD_RESET = 3,
  PROG_CMD_SEARCH = 4, PROG_CMD_SELECT = 9,
};
// Manual on/off request of the page (ProgPage::manualRequest).
enum : uint16_t { PROG_MANUAL_KEEP = 0, PROG_MANUAL_OFF = 1, PROG_MANUAL_ON = 2 };
// Marker in ProgPage::outputKind of the digital programmer.
constexpr float PROG_KIND_DIGITAL = -31002.0f;

// The page record: what the block shows on its pages, published at every run, and the
// requests and commands of the page, each taken once at the block's next run and cleared.
// The block-list entry's page data points here from the start-up pass on. It lies in the
// block's work words and keeps the device's layout (32-bit values are two-word cells); it
// begins with the header every block page record has.
struct ProgPage {
  // Header of every block page record.
  uint8_t hide;             // digital input "hide"
  uint8_t lock;             // digital input "lock"
  uint8_t updated;          // set by the block after each refresh; the page may clear it
  uint8_t spare;
  uint16_t type;            // block type (24 APROG, 27 DPROG)
  // Set up by the start-up pass.
  uint16_t block;           // own number
  char tag[FB_TEXT_LEN];    // the block's tag
  FbF32 outputKind;         // PROG_KIND_DIGITAL for DPROG, else 0
  // Published each cycle.
  uint16_t manual;          // manual operation is on
  FbF32 manualValue;        // manual setpoint (DPROG: manual pattern)
  FbF32 w0, w100;           // setpoint range (of the slave while one is shown)
  uint16_t dp;              // decimal places
  FbF32 output;             // setpoint output Wp (DPROG: the pattern)
  FbF32 startValue;         // start value of the current segment
  FbF32 endValue;           // WEnd
  FbF32 tRest;
  FbF32 tNetto;
  FbF32 segRes;             // -32000 while a preset by segment number is executed
  FbF32 xVal;               // process value, -32000 when unconnected
  uint16_t segNo;           // 1-based segment number, at most the last segment + 1
  uint16_t progNo;          // program number in use
  uint16_t progNoFixed;     // the program number comes from the input, or the state is not 1
  uint16_t pageState;       // PROG_PAGE_*
  uint16_t manualLocked;    // 1 while "manfree" does not release manual operation
  uint16_t runStatus;       // 2 when the program has ended, else the "halt" input
  uint16_t timeUnit;        // "Turbo": 0 minutes (Hrs:Min), 1 seconds (Min:Sec)
  uint16_t groupFlag;       // 0 for a programmer that leads a slave and has no master
  uint16_t slave;           // the slave programmer shown with this one, 0 none
  uint16_t pShow;           // the "p-show" request (connected and 1, chain valid)
  // Edit limits of the page's fields, recomputed after parameter changes.
  FbF32 presetMin, presetMax;
  uint16_t presetFromInput; // the preset value comes from the "PSet" input
  FbF32 presetValue;        // the preset value last set (request 304, the page, "PSet")
  uint16_t progNoMax;       // RecMax
  // Written by the page; each is applied once at the block's next run and cleared.
  uint16_t manualValueRequest;  // 1: take newManualValue
  FbF32 newManualValue;
  uint16_t manualRequest;       // PROG_MANUAL_*
  uint16_t presetRequest;       // 1: take newPresetValue (time or segment number)
  FbF32 newPresetValue;
  uint16_t progNoRequest;       // 1: take newProgNo
  FbF32 newProgNo;
  uint16_t listRequest;         // n > 0: list the data blocks of program n into dataBlocks
  uint16_t command;             // PROG_CMD_*
  uint16_t commandArg;          // program n of PROG_CMD_SELECT
  // Page side: the segment table's request and open flags.
  uint16_t tableRequest;
  uint16_t tableOpen;
  // Data blocks of the listed program, zero-terminated.
  uint16_t dataBlocks[PROG_PAGE_LIST_SIZE];
};
static_assert(alignof(ProgPage) == 2 && sizeof(ProgPage) % 2 == 0);

// ---------------------------------------------------------------------------------------
// The page handlers and the lookup.

// Which operations the page may offer for programmer `block`.
// PROG_PageControl answers PROG_OFFER_* bits: run/stop while the "run" input is
// unconnected, reset while the "reset" input is unconnected. PROG_PageSearch answers 1 while
// the "search" input is unconnected, "XVal" is connected, "SMode" is not "SearchOff" and
// the program has not ended. Both answer 0 (display only) while the "lock" input is set,
// while the program has no valid data chain, and for a block that is no programmer.
enum : uint16_t { PROG_OFFER_RUN_STOP = 1, PROG_OFFER_RESET = 2 };
uint16_t PROG_PageControl(uint32_t block);
uint16_t PROG_PageSearch(uint32_t block);

// The program names: the text blocks the block found on its "ProgNo" path at its init
// (their texts name programs 1, 2, ...), `count` of them; a view into the block's own state.
struct ProgPageNames {
  const uint16_t* blocks;
  uint16_t count;
};

// The page record of a programmer and its program names; `page` is null (and the names
// empty) for a block that is no programmer.
struct ProgPageRecords {
  ProgPage* page;
  ProgPageNames names;
};
ProgPageRecords PROG_PageRecordsOf(uint32_t block);

// The program's progress after the block's last run: net time in the current segment and
// its duration, the time of the segments before it, the program's total time, and whether
// the program has ended. False for a block that is no programmer.
struct ProgProgress {
  float elapsed, duration, timeBefore, total;
  bool ended;
};
bool PROG_PageProgress(uint32_t block, ProgProgress* out);
