// Setpoint programmers and their data blocks.
//
// A programmer (APROG, DPROG) runs a program: a sequence of segments, each with a duration
// and an end value (a setpoint, or a switching pattern for DPROG). The segments live in a
// chain of data blocks (APROGD or APRGD2 for APROG, DPROGD for DPROG) with ten segments
// each: the programmer's input "DBlock" carries the number of the first data block, each
// data block outputs its own number and receives the number of the next one on its input.
//
// Everything here lives in the blocks' work words and keeps the device's 32-bit layout:
// 32-bit values are two-word cells, references to other instances are block numbers or
// 32-bit word offsets into the instance heap. The operating interface reads only the page
// record and the page handlers (prog_page.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "blocks/prog/prog_page.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"

struct FbParamRequest;

constexpr uint16_t PROG_SELECTOR_LIST_SIZE = 33;  // selector blocks on the DBlock path
constexpr uint16_t PROG_TEXT_LIST_SIZE = 25;      // text blocks on the ProgNo path

// Remaining program time of an endless program.
constexpr float PROG_ENDLESS_TIME = 959999.0f;
// Largest value of the segment counter: it wraps to 0 here, a multiple of ten, so that an
// endless program keeps its position inside the data block.
constexpr uint16_t PROG_SEGMENT_WRAP = 60000;

// Programmer states (FbProgState::state).
enum : uint16_t {
  PROG_POWER_UP = 0, PROG_RESET = 1, PROG_STOPPED = 2, PROG_RESET_REQUEST = 3,
  PROG_START = 4, PROG_RUNNING = 5, PROG_PRESET = 6, PROG_END = 7, PROG_SEARCH = 10,
  PROG_WAIT = 11,
};

// Chain status (FbProgState::chainStatus).
enum : uint16_t { PROG_CHAIN_OK = 0, PROG_CHAIN_INVALID = 1, PROG_CHAIN_ENDLESS = 2 };

// ---------------------------------------------------------------------------------------
// Own state of a data block (work words), in this order. DPROGD has the fields up to
// `visited`, APROGD up to `next`, APRGD2 all of them.
struct ProgDataState {
  uint16_t previous;     // previous data block of the chain (written by the programmer's walk)
  uint16_t changed;      // set when the block recomputed its sums; cleared by the programmer
  FbF32 sum;             // sum of the durations of the block's segments
  uint16_t segments;     // 10, or the index of the first segment whose time is -32000
  uint16_t endMarker;    // 1: the program ends in this block
  uint16_t lastInChain;  // 1: the input DBlock is unconnected
  uint16_t visited;      // loop detection while the programmer walks the chain
  uint16_t next;         // number of the next data block (the input's value), 0 = none
  FbF32 start;           // start value of segment 1
  FbF32 startUsed;       // start value the sums were last computed with
};
constexpr uint16_t PROG_DPROGD_WORK_WORDS = offsetof(ProgDataState, next) / 2;
constexpr uint16_t PROG_APROGD_WORK_WORDS = offsetof(ProgDataState, start) / 2;
constexpr uint16_t PROG_APRGD2_WORK_WORDS = sizeof(ProgDataState) / 2;
static_assert(alignof(ProgDataState) == 2 && PROG_APRGD2_WORK_WORDS == 13);

// ---------------------------------------------------------------------------------------
// Program state record. A programmer keeps two copies: each cycle works on the copy not in
// use (filled from the copy in use first) and makes it the copy in use at the end, so that
// the page and a restart always find the complete state of the last finished cycle.
struct FbProgState {
  FbF32 setpoint;        // profile setpoint (APROG) or pattern (DPROG) of this cycle
  uint16_t state;        // PROG_* state
  FbF32 elapsed;         // net time spent in the current segment (ticks * dt)
  FbF32 duration;        // duration of the current segment
  FbU32 ticks;           // cycles counted in the current segment
  FbF32 total;           // total program time
  uint16_t lastSegment;  // index of the last segment of the program
  uint16_t clock[7];     // hour, minute, second, day, month, year % 100, weekday
  FbF32 rampStart;       // setpoint at which the current ramp began
  FbF32 rampDelta;       // segment end value - ramp start
  FbF32 rampTime;        // time the ramp has to run
  FbF32 rampElapsed;     // rampTicks * dt
  FbU32 rampTicks;
  uint16_t savedState;   // state to return to after a search or a power-up
  uint16_t segment;      // current segment, 0-based over the whole program
  FbF32 timeBefore;      // durations of the segments before the current one
  uint16_t grossCount;   // cycles within the current gross-time unit
  FbF32 grossUnits;      // whole time units of gross time
  uint16_t chainStatus;  // PROG_CHAIN_*
  uint16_t dataBlock;    // data block that holds the current segment, 0 = none
  FbU32 segments;        // instance-heap offset of that block's ten {time, value} pairs
  FbU32 types;           // instance-heap offset of its segment types (APRGD2), else 0
  FbU32 dataState;       // instance-heap offset of its ProgDataState
};
static_assert(alignof(FbProgState) == 2 && sizeof(FbProgState) == 88);

// Own state of a programmer besides the two state copies.
struct ProgOwn {
  uint16_t copyInUse;       // 0 or 1
  uint16_t settle;          // cycles until the data chain is read
  FbF32 dt;                 // cycle time of the group in the time unit
  uint16_t pageRun;         // page run command (request 500)
  uint16_t pageReset;       // page reset command (501)
  uint16_t pageSearch;      // page search command (502)
  uint16_t keyState;        // function-key state (503)
  uint16_t keyPrevious;     // key state of the previous cycle (pulse modes)
  uint16_t presetRequest;
  FbF32 presetValue;
  FbF32 progNo;             // program number set by request 300 or the page
  uint16_t searchPrevious;  // "search" input of the previous cycle
  uint16_t searchRequest;
  uint16_t searchDirection; // direction memory of the segment search
  int16_t searchWalk;       // walking direction of the segment search (+1 / -1, 0 idle)
  uint16_t searchSteps;     // segments the segment search has walked
  uint16_t selectorCount;
  uint16_t selectors[PROG_SELECTOR_LIST_SIZE];
  uint16_t textCount;
  uint16_t texts[PROG_TEXT_LIST_SIZE];
  uint16_t progNoFromInput; // the program number comes from the "ProgNo" input
  uint16_t master;          // head of the master/slave group, 0 none
  FbF32 endValue;           // end value of the current segment ("WEnd"; DPROG: pattern)
  FbF32 manualValue;        // manual value of a programmer without setpoint output (DPROG)
  uint16_t started;         // 1 once the start-up pass has run
};
static_assert(alignof(ProgOwn) == 2);

// Work words of a programmer.
struct ProgWork {
  FbProgState copy[2];
  ProgOwn own;
  ProgPage page;            // the page record (prog_page.h)
};
constexpr uint16_t PROG_WORK_WORDS = sizeof(ProgWork) / 2;
static_assert(alignof(ProgWork) == 2 && sizeof(ProgWork) % 2 == 0);

// ---------------------------------------------------------------------------------------
// APROG inputs and outputs (0-based positions in their groups).
enum : uint8_t {
  APROG_AI_PSET = 0, APROG_AI_DBLOCK = 1, APROG_AI_PROGNO = 2, APROG_AI_XVAL = 3,
  APROG_AI_SLAVNO = 4,
};
enum : uint8_t {
  APROG_DI_HIDE = 0, APROG_DI_LOCK = 1, APROG_DI_RUN = 2, APROG_DI_RESET = 3,
  APROG_DI_PRESET = 4, APROG_DI_SEARCH = 5, APROG_DI_PSHOW = 6, APROG_DI_HALT = 7,
  APROG_DI_MANFREE = 8,
};
enum : uint8_t {
  APROG_AO_WP = 0, APROG_AO_TNETTO = 1, APROG_AO_TBRUTT = 2, APROG_AO_TREST = 3,
  APROG_AO_SEGNO = 4, APROG_AO_WEND = 5, APROG_AO_PROGNO = 6, APROG_AO_SEGRES = 7,
  APROG_AO_BLNO = 8,
};
enum : uint8_t {
  APROG_DO_RUN = 0, APROG_DO_RESET = 1, APROG_DO_END = 2, APROG_DO_FKEY = 3,
  APROG_DO_PRESET = 4, APROG_DO_MANUAL = 5,
};
// Parameters: floats Wp 0, W0, W100; words WMode, PMode, TPrio, Dp, RecMax, SMode; word
// values PwrUp, PEnd, Turbo, FKey.
enum : uint8_t { APROG_FP_WP0 = 0, APROG_FP_W0 = 1, APROG_FP_W100 = 2 };
enum : uint8_t {
  APROG_WP_WMODE = 0, APROG_WP_PMODE = 1, APROG_WP_TPRIO = 2, APROG_WP_DP = 3,
  APROG_WP_RECMAX = 4, APROG_WP_SMODE = 5,
};
enum : uint8_t { PROG_WV_PWRUP = 0, PROG_WV_PEND = 1, PROG_WV_TURBO = 2, PROG_WV_FKEY = 3 };

// ---------------------------------------------------------------------------------------
// DPROG inputs and outputs (0-based positions in their groups).
enum : uint8_t { DPROG_AI_PSET = 0, DPROG_AI_DBLOCK = 1, DPROG_AI_PROGNO = 2, DPROG_AI_SLAVNO = 3 };
enum : uint8_t {
  DPROG_DI_HIDE = 0, DPROG_DI_LOCK = 1, DPROG_DI_RUN = 2, DPROG_DI_RESET = 3,
  DPROG_DI_PRESET = 4, DPROG_DI_PSHOW = 5, DPROG_DI_HALT = 6, DPROG_DI_MANFREE = 7,
};
enum : uint8_t {
  DPROG_AO_TNETTO = 0, DPROG_AO_TBRUTT = 1, DPROG_AO_TREST = 2, DPROG_AO_SEGNO = 3,
  DPROG_AO_PROGNO = 4, DPROG_AO_SEGRES = 5, DPROG_AO_BLNO = 6,
};
// do1 .. do6 are DPROG_DO_1 + 0 .. 5.
enum : uint8_t {
  DPROG_DO_RUN = 0, DPROG_DO_RESET = 1, DPROG_DO_END = 2, DPROG_DO_FKEY = 3, DPROG_DO_1 = 4,
  DPROG_DO_PRESET = 10, DPROG_DO_MANUAL = 11,
};
constexpr uint8_t DPROG_TRACKS = 6;  // switched outputs do1 .. do6
// Parameters: float D 0; words PMode, RecMax; the word values as APROG's.
enum : uint8_t { DPROG_FP_D0 = 0 };
enum : uint8_t { DPROG_WP_PMODE = 0, DPROG_WP_RECMAX = 1 };

// "PEnd" and "FKey" choices.
enum : uint16_t { PROG_PEND_STOP = 0, PROG_PEND_RESET = 1, PROG_PEND_RESET_STOP = 2 };
enum : uint16_t { PROG_FKEY_SWITCH = 0, PROG_FKEY_PULSE = 1, PROG_FKEY_PROGCTRL = 2 };
// "PwrUp", "PMode", "TPrio" and "SMode" choices.
enum : uint16_t { PROG_PWRUP_CONT_PROG = 0, PROG_PWRUP_CONT_SEG = 1, PROG_PWRUP_CONT_TIME = 2 };
enum : uint16_t { PROG_PMODE_SEGMENT = 0, PROG_PMODE_TIME = 1 };
enum : uint16_t { PROG_TPRIO_GRADIENT = 0, PROG_TPRIO_TIME = 1 };
enum : uint16_t { PROG_SMODE_SEG = 0, PROG_SMODE_SEC = 1, PROG_SMODE_OFF = 2 };

// ---------------------------------------------------------------------------------------
// Access for the programmer code. All take any number and answer null (or 0) for a block
// that does not exist or is of another type.

// Work words of an APROG or DPROG.
ProgWork* PROG_Work(uint32_t block);
// The state copy in use of an APROG or DPROG.
const FbProgState* PROG_StateInUse(uint32_t block);
// Own state of an APROGD, APRGD2 or DPROGD.
ProgDataState* PROG_DataState(uint32_t block);
// True for the data block types.
bool PROG_IsDataType(uint32_t type);

// Enters the rows of APROG, DPROG, APROGD, APRGD2 and DPROGD into the block-type table.
void BLK_RegisterProgTypes();

void FB_DPROG_Run();
void FB_DPROG_Init();
uint8_t FB_DPROG_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_APROG_Run();
void FB_APROG_Init();
uint8_t FB_APROG_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_APROGD_Run();
void FB_APROGD_Init();
uint8_t FB_APROGD_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_APRGD2_Run();
void FB_APRGD2_Init();
uint8_t FB_APRGD2_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_DPROGD_Run();
void FB_DPROGD_Init();
uint8_t FB_DPROGD_Param(FbParamRequest* request, uint16_t* badIndex);
