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
// `Bl-no` output; the slave then reaches the master's CtrlPageLink through a handle.
#pragma once

#include <cstddef>
#include <cstdint>

#include "blocks/ctrl/ctrl_core.h"
#include "blocks/ctrl/ctrl_page.h"
#include "runtime/fb_store.h"

struct FbParamRequest;

// `W Block`: which setpoint operations the page refuses.
enum : uint16_t { CTRL_WBLOCK_ALL = 0, CTRL_WBLOCK_WE = 1, CTRL_WBLOCK_W2 = 2, CTRL_WBLOCK_NONE = 3 };

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
  CtrlPageLink link;
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
  // Unused: keeps the state at the size of the stored work-word count (ctrl_blocks.h).
  uint8_t spare[19] = {};
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
