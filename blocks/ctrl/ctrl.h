// Controller blocks: CONTR (type 90), CONTR+ (91, six parameter sets chosen by an analog
// input) and PIDMA (93, its own parameter list for the model-based adaptation).
//
// Each block owns one set of controller core records and the records that the operating
// pages and a cascade slave read, all in one `CtrlBlockState` inside the instance's work
// words. The state's fields are plain native values at their natural alignment: the state
// begins at the first 8-byte boundary of the work words (the instance heap itself is so
// aligned), and references between records are 32-bit handles, never pointers. Use
// CTRL_StateOf to reach it.
//
// Two controllers form a cascade when the slave's `Casc` input is wired to the master's
// `Bl-no` output; the slave then reaches the master's CtrlLink through a handle.
#pragma once

#include <cstddef>
#include <cstdint>

#include "blocks/ctrl/ctrl_core.h"
#include "runtime/fb_store.h"

struct FbParamRequest;

// Type numbers of the family.
enum : uint16_t { BLK_TYPE_CONTR = 90, BLK_TYPE_CONTR_PLUS = 91, BLK_TYPE_PIDMA = 93 };

// `W Block`: which setpoint operations the page refuses.
enum : uint16_t { CTRL_WBLOCK_ALL = 0, CTRL_WBLOCK_WE = 1, CTRL_WBLOCK_W2 = 2, CTRL_WBLOCK_NONE = 3 };

// Flag word of a controller block (CtrlLink::flags).
enum : uint16_t {
  CTRL_FLAG_SLAVE = 0x0001,          // `Casc` is wired to a controller's `Bl-no`
  CTRL_FLAG_SLAVE_OWN = 0x0004,      // slave keeps its own setpoint operations
  CTRL_FLAG_SLAVE_FOLLOWS = 0x0008,  // slave passes them on and follows the master's choices
  CTRL_FLAG_INACTIVE = 0x0010,       // `Casc` is wired to anything else: the block never runs
  CTRL_FLAG_DISPLAY_RETURN = 0x0020, // return the display to `Disp` (cleared every run)
  CTRL_FLAG_MASTER = 0x0100,         // a slave has linked to this block
  CTRL_FLAG_CHOICE2 = 0x0200,        // setpoint choices 2, 1, 3, 4 available
  CTRL_FLAG_CHOICE1 = 0x0400,
  CTRL_FLAG_CHOICE3 = 0x0800,
  CTRL_FLAG_CHOICE4 = 0x1000,
  CTRL_FLAG_SHOW_DEVIATION = 0x2000, // display requests of a slave
  CTRL_FLAG_SHOW_PROCESS = 0x4000,
  CTRL_FLAG_BLOCK_ALL = 0x8000,      // master with `W Block` "Block All"
};

// Status word of CtrlLink.
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

// Operator setpoint commands the page writes into CtrlLink::setpointCommand.
enum : uint8_t {
  CTRL_SPCMD_EXTERNAL = 1,   // internal-setpoint command 0
  CTRL_SPCMD_INTERNAL = 2,   // internal-setpoint command 1
  CTRL_SPCMD_W2_ON = 3,
  CTRL_SPCMD_W2_OFF = 4,
};

// Self-tuning start and stop codes (CtrlLink::optCode).
enum : uint8_t { CTRL_OPT_START = 10, CTRL_OPT_STOP = 11 };

// A value with its range: {value, range start, range end, decimals, kind}.
struct CtrlTriple {
  float value = 0, low = 0, high = 0;
  uint8_t decimals = 0, kind = 0, spare = 0;
};

// What a cascade slave and the operating pages read of a controller, and where they leave
// their requests; the block-list entry's page data points here. The header has the layout of
// the operating interface's block page header (hide, lock, two bytes, the block type).
struct CtrlLink {
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
static_assert(offsetof(CtrlLink, setpointLock) == 2 && offsetof(CtrlLink, type) == 4);

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
  CtrlTriple w, setpoint;      // the page's setpoint fields
  uint8_t setpointOffered = 0; // the page offers setpoint.value as the internal setpoint
  uint8_t notManual = 0;       // the core's mode state is not manual
  uint8_t optCode = 0;         // self-tuning page code
  uint8_t optResult[2] = {};   // copies of the self-tuning results: heating, cooling
  float tu[2] = {}, vmax[2] = {};
};

// Handles of the functions that the two choice descriptors name (CTRL_Choice... below).
enum : uint32_t {
  CTRL_FN_NONE = 0,
  CTRL_FN_PREV_SETPOINT_CHOICE = 1,
  CTRL_FN_NEXT_SETPOINT_CHOICE = 2,
  CTRL_FN_ZERO_TO_ONE = 3,      // 0 -> 1, others unchanged
  CTRL_FN_ONE_TO_ZERO = 4,      // 1 -> 0, others unchanged
  CTRL_FN_OPT_CODE_A = 5,       // page codes 0 and 7 -> start, others -> stop
  CTRL_FN_OPT_CODE_B = 6,       // page codes 1..6 -> stop, others -> start
};

// Setpoint-choice descriptor: the page steps through the setpoint sources with it.
struct CtrlSetpointChoice {
  uint32_t prev = CTRL_FN_NONE, next = CTRL_FN_NONE;
  uint16_t first = 0, second = 0;
  uint32_t toPage = CTRL_FN_NONE, fromPage = CTRL_FN_NONE;
  uint8_t edit = 0;             // 2 at start-up; a cascade slave sets it each run
};

// Self-tuning choice descriptor: turns a page code into the block's start/stop code.
struct CtrlOptChoice {
  uint32_t first = CTRL_FN_NONE, second = CTRL_FN_NONE;
};

// The five change bytes that the parameter handler sets and the run hands to the core.
struct CtrlChanges {
  uint8_t changedSet = 255;     // parameter set whose values changed (255 = none)
  uint8_t reload = 0, reinit = 0, gradient = 0, rampRestart = 0;
};

// Own state of a controller block.
struct CtrlBlockState {
  uint32_t magic = 0;           // set once the state was built (CTRL_StateOf)
  CtrlInputs in;
  CtrlOutputs out;
  CtrlParams params;
  CtrlConfig config;
  CtrlWork work;
  CtrlRetained retained;        // its stored form lies in the state words
  CtrlChanges changes;
  CtrlLink link;
  CtrlDisplay display;
  CtrlSetpointChoice setpointChoice;
  CtrlOptChoice optChoice;
  uint32_t master = 0;          // handle of the cascade master's state (0: not a slave)
  // Run state.
  uint8_t manualCopy = 0;       // the block's copy of the manual command
  uint8_t oplockLatch = 0;
  uint8_t startMarker = 0;      // `ostart` rose
  uint8_t pageStart = 0;        // self-tuning started from the page
  uint8_t prevOstart = 0, prevRstart = 0, prevPageStart = 0;
  uint8_t holdInternal = 0;     // neither `Wext` nor `we/wi` is wired: we/wi stays 1
  uint8_t parNoWired = 0;       // CONTR+: `ParNo` is wired
  uint8_t takeOver = 0;         // id 314: a manual output value waits
  uint8_t addStep = 0;          // id 313: an output step waits
  float takeOverValue = 0;      // last value of id 314
  float stepValue = 0;          // last value of id 313
  uint8_t handEdited = 0;       // PIDMA: Kp, Tn, Tv, VD, bW_p or cW_d changed by a request
};

// Handle of a block's state: the word offset of its start in the instance heap.
uint32_t CTRL_StateHandle(const CtrlBlockState* state);
// The state behind a handle, or null when it names none.
CtrlBlockState* CTRL_StateAt(uint32_t handle);
// The state of a controller block (built on first use), or null for another block.
CtrlBlockState* CTRL_StateOf(uint16_t block);

// Cascade lookup of the init handler: sets the slave flag and the master handle when `Casc`
// is wired to a controller's `Bl-no`, the inactive flag when it is wired to anything else.
void CTRL_FindCascadeMaster(uint16_t block);

// The five setpoint choices 0..4 that the page steps through (flags 0/1), mirrored into the
// block's flag word.
void CTRL_SetpointChoices(uint16_t block, uint8_t flags[5]);
uint16_t CTRL_PrevSetpointChoice(uint16_t block, uint16_t index);
uint16_t CTRL_NextSetpointChoice(uint16_t block, uint16_t index);

// Sets the display record: 0 output display, 1 deviation display, 2 process value display.
void CTRL_SetDisplayMode(uint16_t mode, uint16_t block);

// The functions of the choice descriptors' handles; null for a handle of another kind.
using CtrlChoiceStepFn = uint16_t (*)(uint16_t block, uint16_t index);
using CtrlChoiceMapFn = uint16_t (*)(uint16_t value);
using CtrlOptChoiceFn = void (*)(uint16_t block, uint16_t pageCode);
CtrlChoiceStepFn CTRL_ChoiceStepFunction(uint32_t handle);
CtrlChoiceMapFn CTRL_ChoiceMapFunction(uint32_t handle);
CtrlOptChoiceFn CTRL_OptChoiceFunction(uint32_t handle);

// Enters the family's rows into the block-type table.
void BLK_RegisterCtrlTypes();

void FB_CONTR_Run();
void FB_CONTR_Init();
uint8_t FB_CONTR_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_CONTRPLUS_Run();
void FB_CONTRPLUS_Init();
uint8_t FB_CONTRPLUS_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_PIDMA_Run();
void FB_PIDMA_Init();
uint8_t FB_PIDMA_Param(FbParamRequest* request, uint16_t* badIndex);
