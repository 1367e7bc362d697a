// Timer and counter blocks: the monoflop, the on/off delay, the two clock timers, the pulse
// generator, the up/down counter and the moving mean. The cycle-counting blocks work in cycles
// of their time group; the clock timers work on the device clock in seconds since 1970 and
// stand still while the clock is invalid.
//
// The own state records below are the work words of the instances; the operating pages read
// them (the timer page shows the phases and times of TIMER and TIME2).
#pragma once

#include <cstdint>

#include "runtime/fb_store.h"

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_MONO = 66,
  BLK_TYPE_TIMER = 67,
  BLK_TYPE_TONOFF = 69,
  BLK_TYPE_TIME2 = 70,
  BLK_TYPE_PULS = 73,
  BLK_TYPE_COUNT = 74,
  BLK_TYPE_MEAN = 75,
};

// MONO "Mode 1" / "Mode 2": where the pulse time of the channel comes from.
enum : uint16_t { MONO_MODE_PARAM = 0, MONO_MODE_INPUT = 1 };
// TONOFF "Mode": the delays from the parameters or from the inputs.
enum : uint16_t { TONOFF_MODE_PARAM = 0, TONOFF_MODE_INPUTS = 1 };
// TIMER "Func 1" and "Func 2".
enum : uint16_t { TIMER_CYCLICAL = 0, TIMER_ONCE = 1 };
enum : uint16_t { TIMER_DAILY = 0, TIMER_MO_FR = 1, TIMER_MO_SA = 2, TIMER_WEEKLY = 3 };
// TIMER phases: waiting for the start, switched on, done ("Once" only).
enum : uint16_t { TIMER_PHASE_WAIT = 0, TIMER_PHASE_ON = 1, TIMER_PHASE_DONE = 2 };
// TIME2 phases: start delay running, duration running.
enum : uint16_t { TIME2_PHASE_DELAY = 0, TIME2_PHASE_DURATION = 1 };
// COUNT "Mode": where a preset takes its value from.
enum : uint16_t { COUNT_PRESET_PARAM = 0, COUNT_PRESET_INPUT = 1 };
// MEAN "Unit" of "Sample".
enum : uint16_t { MEAN_UNIT_SEC = 0, MEAN_UNIT_MIN = 1, MEAN_UNIT_HR = 2 };

// Word parameters of TIMER (0-based): start month, day, hour, minute; duration days, hours,
// minutes. TIME2 has the last six, its start delay in place of the start date.
enum : uint16_t {
  TIMER_TS_MO = 0, TIMER_TS_DY = 1, TIMER_TS_HR = 2, TIMER_TS_MI = 3,
  TIMER_TD_DY = 4, TIMER_TD_HR = 5, TIMER_TD_MI = 6,
};
enum : uint16_t {
  TIME2_TS_DY = 0, TIME2_TS_HR = 1, TIME2_TS_MI = 2, TIME2_TD_DY = 3, TIME2_TD_HR = 4,
  TIME2_TD_MI = 5,
};

// Float parameters of PULS and COUNT (0-based).
enum : uint16_t { PULS_X0 = 0, PULS_X100 = 1, PULS_RATE = 2 };
enum : uint16_t { COUNT_Y0 = 0, COUNT_MAX = 1, COUNT_MIN = 2 };

// Length of MEAN's sample ring: the largest "ValNo".
constexpr uint16_t BLK_MEAN_RING = 100;

// ---------------------------------------------------------------------------------------
// Own state (16-bit words and two-word cells only, as the instance holds them).

struct MonoChannel {
  FbU32 length;   // pulse length in cycles
  FbU32 counter;  // cycles of the running pulse, 0 while off
};
struct MonoState {
  FbF32 invDt;  // 1 / cycle time
  MonoChannel ch[2];
  uint16_t prevTrig[2];
};
struct TonoffState {
  FbF32 invDt;
  FbU32 onCounter;   // running on-delay, 0 = none
  FbU32 offCounter;  // running off-delay, 0 = none
  uint16_t prevInput;
};
struct TimerState {
  FbU32 start;      // S, seconds since 1970
  FbU32 duration;   // D, seconds
  FbU32 period;     // P, seconds (0 for "Once")
  uint16_t on;      // switch state
  uint16_t phase;   // TIMER_PHASE_...
  uint16_t startKnown;  // 1 once S was computed from a valid clock
};
struct Time2State {
  FbU32 delay;      // Ts, seconds
  FbU32 duration;   // Td, seconds
  FbU32 reference;  // moment the running phase began, seconds since 1970
  uint16_t prevStart;
  uint16_t phase;   // TIME2_PHASE_...
};
struct PulsState {
  FbF32 k;          // pulse constant
  FbF32 accumulator;
  FbF32 threshold;
};
struct CountState {
  uint16_t prevUp;
  uint16_t prevDown;
};
struct MeanState {
  uint16_t prevTrig;
  uint16_t prevReset;
  FbF32 sinceSample;  // seconds since the last sample
  FbF32 interval;     // sample interval, seconds
  FbF32 dt;           // cycle time
  uint16_t hold;      // cycles "ready" still shows
  uint16_t index;     // ring index of the next sample
  uint16_t filling;   // 1 until the first full window
  FbF32 sum;
  FbF32 ring[BLK_MEAN_RING];
};

// Enters the family's rows into the block-type table.
void BLK_RegisterTimerTypes();

void FB_MONO_Run();
void FB_MONO_Init();
uint8_t FB_MONO_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TIMER_Run();
void FB_TIMER_Init();
uint8_t FB_TIMER_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TONOFF_Run();
void FB_TONOFF_Init();
uint8_t FB_TONOFF_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TIME2_Run();
void FB_TIME2_Init();
uint8_t FB_TIME2_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_PULS_Run();
void FB_PULS_Init();
uint8_t FB_PULS_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_COUNT_Run();
void FB_COUNT_Init();
uint8_t FB_COUNT_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_MEAN_Run();
void FB_MEAN_Init();
uint8_t FB_MEAN_Param(FbParamRequest* request, uint16_t* badIndex);
