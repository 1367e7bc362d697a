// What the operating pages read of a controller block (CONTR, CONTR+, PIDMA) and where they
// leave their requests: the block's display records. The block fills them at every run (and
// its init); the pages read nothing else of the controller, and write only the request
// fields, which the block takes at its next run, or call the block's page handlers below.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/fb_store.h"

// Type numbers of the family.
enum : uint16_t { BLK_TYPE_CONTR = 90, BLK_TYPE_CONTR_PLUS = 91, BLK_TYPE_PIDMA = 93 };

// Flag word of a controller block (CtrlPageLink::flags), written and read by the block and its
// pages under these names alone. Each says who sets it and what it means to either side.
enum : uint16_t {
  // `Casc` is wired to a controller's `Bl-no`: this controller is a cascade slave (the block
  // sets it at its init). The pages show the cascade lines and the master's setpoint.
  CTRL_FLAG_SLAVE = 0x0001,
  // A slave whose own setpoint is in effect (internal setpoint or W2): the cascade is open
  // (the block sets it or CTRL_FLAG_SLAVE_FOLLOWS at every run of a slave). The pages show
  // "Casc-Open".
  CTRL_FLAG_SLAVE_OWN = 0x0004,
  // A slave that follows its master: its setpoint operations go to the master and it takes
  // the master's setpoint choices (the block sets it). The pages show the master's process
  // value and status in place of the slave's.
  CTRL_FLAG_SLAVE_FOLLOWS = 0x0008,
  // `Casc` is wired to anything but a controller's `Bl-no`, a configuration error (the block
  // sets it at its init): the block never runs, the pages show "C Err".
  CTRL_FLAG_CASCADE_ERROR = 0x0010,
  // The controller's page is open: the page sets it at every cycle it shows the controller,
  // the block reads it at its next run and clears it. A following slave then asks its master
  // for the display its `Disp` names (CTRL_FLAG_SHOW_*); a master returns its display to its
  // own `Disp` and drops those requests.
  CTRL_FLAG_PAGE_OPEN = 0x0020,
  // The page is to draw its output bar anew: the page sets it (page open, a change of the
  // manual state) and clears it when it draws the bar. Reserved for the page: the block
  // never touches it.
  CTRL_FLAG_REDRAW_BAR = 0x0040,
  CTRL_FLAG_MASTER = 0x0100,         // a slave has linked to this block (its slave sets it)
  CTRL_FLAG_CHOICE2 = 0x0200,        // setpoint choices 2, 1, 3, 4 available (the block's)
  CTRL_FLAG_CHOICE1 = 0x0400,
  CTRL_FLAG_CHOICE3 = 0x0800,
  CTRL_FLAG_CHOICE4 = 0x1000,
  // Display requests of a following slave to its master (the slave's block sets them, the
  // master's block takes them): show the deviation or the process value.
  CTRL_FLAG_SHOW_DEVIATION = 0x2000,
  CTRL_FLAG_SHOW_PROCESS = 0x4000,
  CTRL_FLAG_BLOCK_ALL = 0x8000,      // master with `W Block` "Block All" (the block's)
};

// Status word of CtrlPageLink.
enum : uint16_t {
  CTRL_ST_RAMP = 0x0001,
  CTRL_ST_MANUAL = 0x0002,
  CTRL_ST_WSTOP = 0x0004,
  CTRL_ST_W2 = 0x0010,
  CTRL_ST_EXTERNAL = 0x0020,     // the internal setpoint is not active
  CTRL_ST_XFAULT = 0x0040,
  CTRL_ST_Y2 = 0x0080,
  CTRL_ST_HARD_MANUAL = 0x0100,
  CTRL_ST_YP_FAULT = 0x0200,
  CTRL_ST_OFF = 0x0400,
  CTRL_ST_OPT_RUN = 0x0800,
  CTRL_ST_OPT_FAILED = 0x1000,   // the mode state is "optimisation failed"
};

// Display mode words of the display record (low bits), and the override indication.
enum : uint16_t {
  CTRL_DISPLAY_OUTPUT = 9,
  CTRL_DISPLAY_DEVIATION = 5,
  CTRL_DISPLAY_PROCESS = 3,
  CTRL_DISPLAY_OVC_PLUS = 0x10,
  CTRL_DISPLAY_OVC_MINUS = 0x20,
};

// Operator setpoint commands the page writes into CtrlPageLink::setpointCommand.
enum : uint8_t {
  CTRL_SPCMD_EXTERNAL = 1,   // internal-setpoint command 0
  CTRL_SPCMD_INTERNAL = 2,   // internal-setpoint command 1
  CTRL_SPCMD_W2_ON = 3,
  CTRL_SPCMD_W2_OFF = 4,
};

// Self-tuning start and stop codes (CtrlPageLink::optCode).
enum : uint8_t { CTRL_OPT_START = 10, CTRL_OPT_STOP = 11 };

// PIDMA: the state text it shows while idle or after an error (CtrlDisplay::tuneText), and
// the result code while a test runs (CtrlDisplay::tuneResult).
constexpr int16_t CTRL_TUNE_TEXT_RESULT = 12;
constexpr int16_t CTRL_TUNE_RESULT_RUNNING = 13;

// A value with its range: {value, range start, range end, decimals, kind}.
struct CtrlTriple {
  float value = 0, low = 0, high = 0;
  uint8_t decimals = 0, kind = 0, spare = 0;
};

// The controller's page link: the display record of its values and state (the block fills
// it at every run and its init) that the operating pages and a cascade slave read, and the
// request fields where they leave their requests; the block-list entry's page data points
// here. Its companion CtrlDisplay holds what only the controller's own pages show. The header
// has the layout of the operating interface's block page header (hide, lock, two bytes, the
// block type).
struct CtrlPageLink {
  uint8_t hide = 0, lock = 0;
  uint8_t setpointLock = 0;    // the page may not change the setpoint or its source
  uint8_t manualCmd = 0;       // the manual command: the page toggles it, the block follows
  uint16_t type = 0;
  char title[FB_TEXT_LEN] = {};
  char xUnit[FB_TEXT_LEN] = {};
  uint16_t status = 0;         // CTRL_ST_*
  uint16_t flags = 0;          // the block's flag word, CTRL_FLAG_*
  CtrlTriple x, w, setpoint;
  // Requests of the page or of a cascade slave, taken by the block's next run.
  uint8_t setpointOffered = 0; // offeredSetpoint becomes the internal setpoint
  // Published by the block for its pages.
  uint8_t activeSet = 0;       // parameter set in use (0-based)
  uint8_t optimisedSet = 0;    // CONTR+: the set the self-tuning optimises (0-based)
  uint8_t setFromInput = 0;    // CONTR+: `ParNo` is wired, the page may not choose the set
  float offeredSetpoint = 0;
  uint8_t setpointCommand = 0; // CTRL_SPCMD_*
  uint8_t pageRequest = 0;     // with pageRequestValue: non-zero internal, 0 neither W2 nor internal
  uint8_t pageRequestValue = 0;
  uint8_t incKey = 0, decKey = 0;
  uint8_t optCode = 0;         // CTRL_OPT_START / CTRL_OPT_STOP, stored by the self-tuning choice
  // Page-refresh request: the block sets it when a value its pages show changed, the page
  // clears it when it starts a new refresh round.
  uint8_t updated = 0;
};
// The record's layout, fixed: the header is the block page header, the rest what the pages
// and a cascade slave read and write.
static_assert(offsetof(CtrlPageLink, setpointLock) == 2 && offsetof(CtrlPageLink, manualCmd) == 3 &&
              offsetof(CtrlPageLink, type) == 4 && offsetof(CtrlPageLink, title) == 6 &&
              offsetof(CtrlPageLink, xUnit) == 6 + FB_TEXT_LEN &&
              offsetof(CtrlPageLink, status) == 38 && offsetof(CtrlPageLink, flags) == 40 &&
              offsetof(CtrlPageLink, x) == 44 && offsetof(CtrlPageLink, w) == 60 &&
              offsetof(CtrlPageLink, setpoint) == 76 &&
              offsetof(CtrlPageLink, setpointOffered) == 92 &&
              offsetof(CtrlPageLink, activeSet) == 93 && offsetof(CtrlPageLink, optimisedSet) == 94 &&
              offsetof(CtrlPageLink, setFromInput) == 95 &&
              offsetof(CtrlPageLink, offeredSetpoint) == 96 &&
              offsetof(CtrlPageLink, setpointCommand) == 100 &&
              offsetof(CtrlPageLink, incKey) == 103 && offsetof(CtrlPageLink, optCode) == 105 &&
              offsetof(CtrlPageLink, updated) == 106 && sizeof(CtrlPageLink) == 108,
              "the controller's display record moved");
static_assert(sizeof(CtrlTriple) == 16 && offsetof(CtrlTriple, decimals) == 12);

// Display record of the operating page.
struct CtrlDisplay {
  uint16_t mode = 0;           // CTRL_DISPLAY_* plus the override bits
  float value[2] = {};         // the two display values
  float low = 0, high = 0;     // display range
  float scaleLow = 0, scaleHigh = 0;
  float edit = 0;              // working field of the page
  uint8_t step = 0;            // step field
  uint8_t decimals = 0;
  CtrlTriple y;                // the output display
  uint8_t notManual = 0;       // the core's mode state is not manual
  uint8_t optCode = 0;         // self-tuning page code
  uint8_t optResult[2] = {};   // copies of the self-tuning results: heating, cooling
  float tu[2] = {}, vmax[2] = {};
  // PIDMA: its adaptation's status and proposal, published by the block each run.
  int16_t tuneText = CTRL_TUNE_TEXT_RESULT;  // self-tuning state text (0..16)
  int16_t tuneResult = 0;      // result code
  float tuneTime = 0;          // the tuning timer, seconds
  float proposal[3] = {};      // Kp, Tn, Tv
};
static_assert(offsetof(CtrlDisplay, y) == 36 && offsetof(CtrlDisplay, optCode) == 53 &&
              offsetof(CtrlDisplay, tu) == 56 && offsetof(CtrlDisplay, tuneText) == 72 &&
              offsetof(CtrlDisplay, tuneTime) == 76 && offsetof(CtrlDisplay, proposal) == 80 &&
              sizeof(CtrlDisplay) == 92,
              "the controller's page display record moved");

// The parameter sets a page may choose (CONTR+).
constexpr int CTRL_PAGE_SETS = 6;

// The display records of a controller block and of its cascade partner (the master whose
// values a slave's page shows; null without one). `link` is null for another block.
struct CtrlPageRecords {
  CtrlPageLink* link;
  CtrlDisplay* display;
  CtrlPageLink* partner;
};
CtrlPageRecords CTRL_PageRecordsOf(uint16_t block);

// The block's page handlers: the setpoint choice before or after `index` (0 without the
// controller's stepping), and the self-tuning start or stop for the state the page shows
// (false when the controller has none).
uint16_t CTRL_PageSetpointChoice(uint16_t block, uint16_t index, bool next);
bool CTRL_PageOptChoice(uint16_t block, uint16_t pageCode);
