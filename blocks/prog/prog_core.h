// The programmer core shared by APROG and DPROG: the walk along the data-block chain, the
// time base and the settle time, the command evaluation, the states, the segment step with
// its times, the common outputs, the page record and the parameter requests both types
// share.
//
// A programmer type describes itself with a ProgVariant: its row in the block-type table,
// where its inputs, outputs and parameters are, whether its profile ramps, and the steps of
// its own. The steps that only some programmers have (preset, search, power-up modes, the
// program number) are entries of the variant that may be null; the core calls each where
// the cycle needs it. Program selection, the page's list request and its further commands
// are the core's own, the same for every type.
#pragma once

#include <cstdint>

#include "blocks/prog/prog.h"
#include "runtime/fb_param.h"

constexpr uint8_t PROG_NONE = 0xFF;  // an input, output or parameter the type does not have
constexpr uint16_t PROG_CATALOGUE_GROUP = 6;  // catalogue group of the programmer family

// Enters the rows of the three data-block types.
void PROG_RegisterDataTypes();

// Limit of a switching pattern (DPROGD's "D n", DPROG's "D 0" and manual pattern): 0 ..
// 111111, shown as six digits.
constexpr float PROG_MAX_PATTERN = 111111.0f;
float PROG_MaxPattern(uint16_t block);
constexpr FwFloatLimit PROG_PATTERN_LIMIT{
    .min = 0.0f, .max = FW_MARK_SIX_DIGITS_A, .maxFn = PROG_MaxPattern, .attribute = 0};

// Positions (0-based) of a programmer type's inputs, outputs and parameters.
struct ProgIo {
  uint8_t aiPSet, aiDBlock, aiProgNo, aiXVal, aiSlavNo;
  uint8_t diHide, diLock, diRun, diReset, diPreset, diSearch, diPShow, diHalt, diManfree;
  uint8_t aoWp, aoTNetto, aoTBrutt, aoTRest, aoSegNo, aoWEnd, aoProgNo, aoSegRes, aoBlNo;
  uint8_t doRun, doReset, doEnd, doFkey, doPreset, doManual;
  uint8_t wpWMode, wpPMode, wpRecMax, wpDp, wpSMode;
};

// A resolved data block: its instance groups and own state.
struct ProgData {
  FbLayout L;
  ProgDataState* st = nullptr;
  uint16_t block = 0;
  bool valid() const { return st != nullptr; }
};

struct ProgVariant;

// One cycle (or Init, or request) of one programmer.
struct ProgCycle {
  const ProgVariant* v = nullptr;
  FbLayout L;
  ProgWork* w = nullptr;
  ProgOwn* own = nullptr;
  FbProgState* s = nullptr;  // the working copy (Run), else the copy in use
  ProgData data;             // the current data block, when it is valid

  FbF32& ao(uint8_t i) const { return L.ao[i]; }
  uint16_t& dout(uint8_t i) const { return L.dout[i]; }
  bool connected(FbRef* refs, uint8_t i) const { return i != PROG_NONE && refs[i] != FB_REF_ZERO; }
  bool aiConnected(uint8_t i) const { return connected(L.ai, i); }
  bool diConnected(uint8_t i) const { return connected(L.di, i); }
  float ai(uint8_t i) const { return i == PROG_NONE ? 0.0f : FB_ReadAnalogRef(L.ai[i]); }
  uint16_t di(uint8_t i) const { return i == PROG_NONE ? 0 : FB_ReadDigitalRef(L.di[i]); }
  uint16_t word(uint8_t i) const { return i == PROG_NONE ? 0 : L.wp[i]; }
  uint16_t value(uint8_t i) const { return L.wv[i]; }
  void setOut(uint8_t i, float x) const { if (i != PROG_NONE) L.ao[i] = x; }
  void setDout(uint8_t i, uint16_t x) const { if (i != PROG_NONE) L.dout[i] = x; }
  float out(uint8_t i) const { return i == PROG_NONE ? 0.0f : L.ao[i].get(); }
  uint16_t doutValue(uint8_t i) const { return i == PROG_NONE ? 0 : L.dout[i]; }
};

// Read requests that answer an analog output as f32: {id, output position}.
struct ProgReadId {
  int16_t id;
  uint8_t output;
};

struct ProgVariant {
  uint16_t type;
  // The type's row: its template, its limits and its weight.
  const FbTemplate* tmpl;
  const FbLimitTable* limits;
  uint16_t weight;
  uint16_t dataTypes[2];   // accepted data-block types; a second 0 when there is one
  ProgIo io;
  bool ramps;              // the profile ramps between segments (APROG)
  const ProgReadId* readIds;
  uint16_t readIdCount;

  // Steps of the type itself.
  // Outputs after the common ones (setpoint or pattern, manual value, clamps).
  void (*outputs)(ProgCycle& c);
  // Writes a manual value (request 305, the page): 0, or 'l' when out of its limits.
  uint8_t (*setManualValue)(ProgCycle& c, float value);
  // Checks the floats of a whole set (values[0..n)): 0, or the 1-based bad float index.
  uint16_t (*checkFloatSet)(uint16_t block, const float* values);
  // Requests of the type beyond the shared ones: sets *handled when it knew the id.
  uint8_t (*param)(ProgCycle& c, FbParamRequest* request, bool* handled);

  // Steps that may be missing (null).
  // Command evaluation: true when a preset (search) is due; the step then sets what the
  // state needs (request cleared, value taken, saved state) and the state becomes 6 (10).
  bool (*presetDue)(ProgCycle& c);
  bool (*searchDue)(ProgCycle& c, uint16_t state);
  // State 6 before its segment step, state 10.
  void (*preset)(ProgCycle& c);
  void (*search)(ProgCycle& c);
  // State 4 with a usable chain: asks for the search that places a started program.
  void (*startSearch)(ProgCycle& c);
  // First cycle after a warm start, after the saved state was restored: "PwrUp".
  void (*powerUp)(ProgCycle& c);
  // Program number before clamping (program selection); null: the "ProgNo" input while
  // the number comes from it, else the number set by request or page.
  float (*programNumber)(ProgCycle& c);
  // Page fields of the type and of master and slave, after the common ones.
  void (*publish)(ProgCycle& c);
};

// ---------------------------------------------------------------------------------------
// Handlers. Each takes the variant of the running type.
void PROG_Run(const ProgVariant& v);
void PROG_Init(const ProgVariant& v);
uint8_t PROG_Param(const ProgVariant& v, FbParamRequest* request, uint16_t* badIndex);

// The variant of a programmer type, null for other types.
const ProgVariant* PROG_VariantOf(uint16_t type);
const ProgVariant& PROG_AprogVariant();
const ProgVariant& PROG_DprogVariant();
// Locates a programmer of the variant's type for a request or a page callback: the state
// pointer is the copy in use. False for another type or an instance too small.
bool PROG_Locate(const ProgVariant& v, uint32_t block, ProgCycle* c);

// ---------------------------------------------------------------------------------------
// Steps the type's own code uses.

// A block number carried by an analog value: the value truncated toward zero when that is
// 1..1950, else 0 (NaN and values out of range included).
uint16_t PROG_BlockNumber(float value);
// Resolves a data block of the given data type (0: of any data type). False for a missing
// block, another type, or an instance too small for its groups and own state.
bool PROG_ResolveData(uint16_t block, uint16_t type, ProgData* out);
// The number of the next data block of the chain, 0 for none.
uint16_t PROG_DataNext(const ProgData& d);
// The first data block named by "DBlock", resolved; false when it is not a data block.
bool PROG_FirstData(const ProgCycle& c, ProgData* out);

// Segment values of in-block index i (0..9).
inline float PROG_SegTime(const ProgData& d, unsigned i) { return d.L.fp[2 * i]; }
inline float PROG_SegValue(const ProgData& d, unsigned i) { return d.L.fp[2 * i + 1]; }
// The segment type; 0 ("Time") for data blocks without types.
uint16_t PROG_SegType(const ProgData& d, unsigned i);
// Start value of segment i: the block's kept start value (APRGD2), the end value of the
// segment before it, or for the first segment of the block the programmer's start value
// or the previous data block's last end value.
float PROG_SegStart(const ProgCycle& c, const ProgData& d, unsigned i);
// Duration of a segment from its time value, end value, start value and type: the time
// value, or for a rate type abs(end - start) / time (0 for a time <= 0).
float PROG_Duration(float time, float end, float start, uint16_t type);
float PROG_SegDuration(const ProgCycle& c, const ProgData& d, unsigned i);

// Makes a data block the current one (state record and handles).
void PROG_SetCurrentData(ProgCycle& c, const ProgData& d);
// Walks the chain from data block `from` at program segment `segment` (whose own time
// before is `timeBefore`) and sets the chain status, the last segment and the total.
void PROG_WalkChain(ProgCycle& c, const ProgData& from, uint16_t segment, float timeBefore);
// Takes duration and end value of the current segment.
void PROG_TakeSegment(ProgCycle& c);
// Restarts the ramp at `from` towards the segment's end value.
void PROG_RestartRamp(ProgCycle& c, float from);
// Gross time of the active states.
void PROG_GrossTime(ProgCycle& c);
// Completes the current segment when its time is up (states 5, 6, 11) and forms the
// profile setpoint; sets the next state.
void PROG_SegmentStep(ProgCycle& c);
// Resets the program.
void PROG_Reset(ProgCycle& c);
// The settle time in cycles of the block's group: round(0.8 s / cycle time).
uint16_t PROG_SettleCycles(const ProgCycle& c);
// The cycle time of the block's group in the time unit ("Turbo").
float PROG_TimeBase(const ProgCycle& c);
// True for a data-block type the variant accepts.
bool PROG_AcceptsData(const ProgVariant& v, uint16_t type);
// "RecMax", at least 1.
uint16_t PROG_RecMax(const ProgCycle& c);
// Segment counter + 1, wrapping at PROG_SEGMENT_WRAP (a multiple of ten).
inline uint16_t PROG_NextSegment(uint16_t segment) {
  const uint32_t n = segment + 1u;
  return static_cast<uint16_t>(n >= PROG_SEGMENT_WRAP ? n - PROG_SEGMENT_WRAP : n);
}
// "TRest": 959999 for an endless program, else the total less "TNetto".
void PROG_SetRemaining(ProgCycle& c);
// Cycles of a net time: round(elapsed / dt).
uint32_t PROG_TicksOf(const ProgCycle& c, float elapsed);

// ---------------------------------------------------------------------------------------
// Positions on the program, counted from its first segment.
struct ProgPosition {
  ProgData data;          // the data block that holds the segment
  uint16_t segment = 0;   // 0-based over the whole program
  float timeBefore = 0.0f;
  float duration = 0.0f;
};
// The first segment of the program named by "DBlock"; false without one.
bool PROG_FirstPosition(const ProgCycle& c, ProgPosition* p);
// Steps to the following segment; false at the last segment of the program (its last
// segment index, its end marker, the end of the chain or a broken chain).
bool PROG_NextPosition(const ProgCycle& c, ProgPosition* p);
// The segment that contains net time x: durations are added from the first segment until
// their sum exceeds x; the segment reached (at most the last one) and *elapsed = x - the
// time before it. False without a program.
bool PROG_FindSegment(const ProgCycle& c, float x, ProgPosition* p, float* elapsed);
// The last segment of the program; false without a program.
bool PROG_LastPosition(const ProgCycle& c, ProgPosition* p);
// Makes the position current at `elapsed` into its segment: segment, data block, times,
// ticks, duration and end value, "TNetto" = time before + elapsed and "TRest"; the ramp is
// set on the nominal profile (from the segment's start value, ramp elapsed = elapsed).
void PROG_TakePosition(ProgCycle& c, const ProgPosition& p, float elapsed);

// ---------------------------------------------------------------------------------------
// Steps shared by the programmer types: those that have them (entries of their variants),
// and the core's own for every type (program selection, the list request, page commands).

// Preset: due when the "preset" input is 1 (the value taken from "PSet") or a request is
// pending while it is unconnected; state 6 places the program by segment number or net
// time ("PMode").
bool PROG_PresetDue(ProgCycle& c);
void PROG_Preset(ProgCycle& c);
// "PwrUp" after a warm start in state 5: continue, search ("Cont.Seg."), or advance by the
// outage ("Cont.Time"). The search request follows only for a type with search.
void PROG_PowerUp(ProgCycle& c);
// The outage since the clock snapshot in the time unit ("Turbo"): the full snapshot and the
// clock as seconds since 1970; 0 when the clock stands before the snapshot or there is none.
float PROG_OutageTime(const ProgCycle& c);
// Program selection at the start-up pass: the selector blocks on the "DBlock" path, the
// text blocks on the "ProgNo" path and whether the program number comes from the input.
void PROG_InitSelection(ProgCycle& c);
// The data blocks of program n into the page's zero-terminated list.
void PROG_ListProgram(ProgCycle& c, uint16_t program);
// Page commands 4 (search) and 9 (select program n and list its data blocks).
void PROG_PageCommand(ProgCycle& c, uint16_t command, uint16_t argument);
// Master and slave: the slave named by "SlavNo" records its master number; the page record
// takes the slave and the group flag.
void PROG_MasterSlave(ProgCycle& c);
// The setpoint range of the analog slave shown with this programmer (page.slave, set by
// PROG_MasterSlave); false when no APROG is shown as slave.
bool PROG_AnalogSlaveRange(const ProgCycle& c, float* w0, float* w100);
// Request "manual x 2 + halt input" (APROG -1, DPROG -9): 'f' before the start-up pass.
uint8_t PROG_ReadManualHalt(const ProgCycle& c, FbParamRequest* request);
