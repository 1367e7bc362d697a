// PIDMA extension of the controller core: a PID controller with setpoint weights, a
// derivative gain and a back-calculated integral, a pulse-test identification that proposes
// new controller parameters from tables, and two three-point stepping stages for motor
// actuators.
//
// One `CtrlExtension` record lives in the work words of a PIDMA instance, behind the block
// state; the core reaches it through the offset in `CtrlWork` (CTRL_Extension). The record
// holds plain 32-, 16- and 8-bit fields only, no addresses. The extension calls no runtime
// service: the block hands it its parameters and reads its results back.
//
// Units: W, X, Xsh and Xlimit in the unit of the process value; Y, dYopt, Ymin, Ymax, Y0 in
// percent; Kp in percent per unit; times in seconds. The stepping stages count positions as
// fractions of the full travel and travel in cycles.
#pragma once

#include <cstdint>

#include "blocks/ctrl/ctrl_core.h"
#include "runtime/fw_numeric.h"

// Identification states.
enum : int32_t {
  CTRL_ID_IDLE = 1,
  CTRL_ID_NOISE = 2,     // noise and drift of the process at rest
  CTRL_ID_PULSE = 3,     // the pulse and its response
  CTRL_ID_MODEL = 4,     // moments of the response
  CTRL_ID_PROPOSAL = 5,  // controller parameters from the tuning table
  CTRL_ID_DONE = 6,
  CTRL_ID_ERROR = 8,
};

// Progress codes shown while a test runs (an error shows its code 1..12, idle shows 0).
enum : int32_t {
  CTRL_PROGRESS_NOISE = -1,
  CTRL_PROGRESS_STEP = -2,
  CTRL_PROGRESS_MAXIMUM = -3,
  CTRL_PROGRESS_DECAY = -4,
};

// Error codes of the identification.
enum : int32_t {
  CTRL_EXT_ERR_NOISE = 1,       // noise of X above Xlimit / 5
  CTRL_EXT_ERR_LIMITS = 2,      // the output after the step would leave the limits
  CTRL_EXT_ERR_DRIFT = 3,       // drift over the pulse beyond Xlimit (from manual)
  CTRL_EXT_ERR_SLOPE = 4,       // integrating process: slope peak within the slope noise
  CTRL_EXT_ERR_NO_MAXIMUM = 5,  // no maximum within 100 pulse lengths
  CTRL_EXT_ERR_LIMITED = 6,     // the output reached a limit during the test
  CTRL_EXT_ERR_STRUCTURE = 7,   // neither PI nor PID
  CTRL_EXT_ERR_UNDERSHOOT = 8,
  CTRL_EXT_ERR_DECAY = 9,       // the decay fit failed
  CTRL_EXT_ERR_MODEL = 10,      // the moments give no valid model
  CTRL_EXT_ERR_WITHDRAWN = 11,
  CTRL_EXT_ERR_WRONG_WAY = 12,
};

// Controller structures and stage codes.
enum : int32_t { CTRL_STRUCT_P = 4, CTRL_STRUCT_PD = 5, CTRL_STRUCT_PI = 6, CTRL_STRUCT_PID = 7 };
enum : int32_t { CTRL_STAGE_CONTINUOUS = 1, CTRL_STAGE_STEP_YP = 3, CTRL_STAGE_STEPPING = 4 };
enum : int16_t { CTRL_PTYPE_STATIC = 1, CTRL_PTYPE_INTEGRAL = 2 };

// Status text numbers and the status code of a running test, for the operating page.
enum : int16_t {
  CTRL_EXT_TEXT_RESULT = 12,   // idle or an error (the code is the error)
  CTRL_EXT_TEXT_NOISE = 13,
  CTRL_EXT_TEXT_STEP = 14,
  CTRL_EXT_TEXT_MAXIMUM = 15,
  CTRL_EXT_TEXT_DECAY = 16,
  CTRL_EXT_CODE_RUNNING = 13,
};

// Pulse and pause sequence of a stepping stage.
enum : int32_t {
  CTRL_PULSE_IDLE = 0,
  CTRL_PULSE_PAUSE = 1,
  CTRL_PULSE_READY = 2,
  CTRL_PULSE_OPEN = 3,
  CTRL_PULSE_CLOSE = 4,
  CTRL_PULSE_CLOSE_HELD = 5,
  CTRL_PULSE_OPEN_HELD = 6,
};

// The values the extension adopts, in the order of its proposal.
enum : uint8_t {
  CTRL_ADOPT_KP, CTRL_ADOPT_TN, CTRL_ADOPT_TV, CTRL_ADOPT_VD, CTRL_ADOPT_BW, CTRL_ADOPT_CW,
  CTRL_ADOPT_COUNT
};

// One stepping stage: kind 8 compares the target with the position feedback `Yp`, kind 7
// turns the changes of the target and the integral increment into motor run time.
struct CtrlExtStepper {
  // Inputs of each cycle.
  float target = 0;           // Y / 100
  float position = 0;         // kind 8: Yp / 100; kind 7: the velocity (increment / 100)
  float y0 = 0;               // kind 7: Y0 / 100
  uint8_t incHeld = 0, decHeld = 0;
  uint8_t addStep = 0;        // add-step request
  uint8_t manual = 0;         // manual positioning: manual-like and no test running
  float stepValue = 0;        // the operator's step value
  float dt = 0.1f;
  uint8_t reinit = 0;         // re-initialise request
  uint8_t positionMode = 0;   // kind 7: no integral part (Tn = 0)
  uint8_t y1 = 0, y2 = 0;     // open and close outputs
  float onThreshold = 0, offThreshold = 0;  // fractions of the travel
  float tpuls = 0, tpause = 0, tm = 0, tsat = 0;
  // State.
  float deviation = 0, lastTarget = 0, lastPosition = 0;
  float threshold = 0, minThreshold = 0, release = 0;  // kind 7: in cycles of travel
  float halfStep = 0;
  float openTravel = 0, closeTravel = 0;  // kind 7: travel still to run, cycles
  float estimate = 0;         // kind 7: estimated position 0..1
  float prevRate = 0, tracking = 0;
  int32_t pulseCycles = 1, pauseCycles = 1, counter = 0, pulseState = CTRL_PULSE_IDLE;
  int32_t manualCount = 0, manualLimit = 0;
  uint8_t opening = 0, closing = 0;       // latches
  uint8_t first = 0;
  uint8_t openRequest = 0, closeRequest = 0, openOut = 0, closeOut = 0;
  uint8_t prevAddStep = 0;
  uint8_t pulseActive = 0;    // kind 7: a motor output is on
  uint8_t travelDirection = 0;  // kind 7: 1 opening, 2 closing, 0 not yet known
  uint8_t spare = 0;
};

struct CtrlExtension {
  // Inputs copied in each cycle.
  float offset = 0;           // Yadd + Y0 (0 for the stepping kinds)
  float w = 0, x = 0;
  float feedback = 0;         // the output actually applied
  float modeValue = 0;
  uint8_t manualLike = 0;     // frozen while the optimisation is requested
  uint8_t pulseActive = 0;    // kind 7: a motor pulse was on in the previous cycle
  uint8_t requested = 0;      // the core's mode state is 1
  uint8_t withdrawn = 0;      // the request is gone while the test runs
  float dt = 0.1f;
  uint8_t direct = 0;         // direct action
  uint8_t recompute = 0;
  uint8_t drift = 0;          // drift compensation
  uint8_t spare0 = 0;
  // Controller parameters.
  int32_t structure = CTRL_STRUCT_P;
  float kp = 0, tn = 0, tv = 0, vd = 0, bwp = 0, cwd = 0, tsat = 0;
  float upper = 0, lower = 0, deadBand = 0;
  int32_t stage = CTRL_STAGE_CONTINUOUS, structureInUse = CTRL_STRUCT_P, processType = 1;
  float tdrift = 0, tnoise = 0, dYopt = 0, xlimit = 0;
  int32_t speed = 1;
  // Results.
  float output = 0, outputChange = 0;
  uint8_t running = 0, failed = 0;      // `o run`, `o err` of the last test
  uint8_t optResult = 0;                // the optimisation result byte: the test failed
  uint8_t spare1 = 0;
  int32_t progress = 0;
  float timeShown = 0;
  float shown[CTRL_ADOPT_COUNT] = {};   // the proposal as the page shows it
  // Controller coefficients and state.
  float pOn = 0, iOn = 0, dOn = 0, sign = 1;
  float pGain = 0, pGainPrev = 0, iGain = 0, trackGain = 0, manualTrackGain = 0, halfStep = 0;
  float a1 = 0, oneMinusA1 = 1, dGain = 0;
  float b = 0, bPrev = 0, c = 0;
  float wf = 0, xf = 0;                 // filtered W and X of the D part
  float integral = 0, prevIntegrand = 0, prevU = 0;
  float lastIncrement = 0, prevI = 0;   // kind 7: the integral leaves as an increment
  // Identification.
  int32_t state = CTRL_ID_IDLE, error = 0, counter = 0;
  int32_t windowEnd = 0, extremesFrom = 0;  // n and m of the noise window
  int32_t maxCounter = 0;
  uint8_t entry = 0, fromManual = 0, stepped = 0;
  uint8_t waitResponse = 0, waitMax = 0, decayRunning = 0;
  uint8_t resultsValid = 0, displayRefresh = 0;
  uint8_t prevRequested = 0, prevWithdrawn = 0, requestRose = 0, withdrawnRose = 0;
  float outStart = 0, outBefore = 0, x0 = 0;
  float pulseLength = 0, pulseEnd = 0;  // L and the response at the pulse end
  float yMax = 0, yMin = 0, tau = 0, w1 = 0, w2 = 0, earliest = 0, latest = 0;
  float xHigh = 0, xLow = 0, slopeHigh = 0, slopeLow = 0;
  float s0 = 0, s1 = 0, s2 = 0;         // area, first and second moment
  float q = 0, st = 0, st2 = 0, sv = 0, stv = 0;  // regression sums
  float yPrev = 0, tPrev = 0;
  float driftSlope = 0, intercept = 0, predictedEnd = 0, noise = 0, slopeNoise = 0;
  float f1 = 0, f2 = 0, alpha = 0, filterTime = 0;
  float decayT = 0, decayA = 0, endTime = 0;
  float modelK = 0, modelE = 0, modelD = 0, modelSd = 0, modelS = 0;
  float proposal[CTRL_ADOPT_COUNT] = {};
  int32_t lastStructure = 0, lastSpeed = 0;
  // The two stepping stages.
  CtrlExtStepper stepYp;      // kind 8
  CtrlExtStepper step;        // kind 7
  // Adoption and the status of the operating page.
  int32_t armed = 0;          // adoption allowed at the next end of a test
  int32_t adoptedParams = 0;  // raises the core's parameters-changed flag
  int16_t statusText = CTRL_EXT_TEXT_RESULT, statusCode = 0;
  int16_t ptypeWord = CTRL_PTYPE_STATIC;
  int16_t cspeedWord = 1, prevCSpeed = 1;
  int16_t band = 0;           // deviation band of the stepping thresholds: -1 large, 1 small
  int32_t adopted = 0;        // the proposal was taken over and not changed by hand since
  int32_t driftWord = 0;
  float statusTime = 0;
  uint32_t paramSet = 0;      // the parameter set of CtrlParams the extension works on
  // The block's limits of the adopted values.
  float adoptMin[CTRL_ADOPT_COUNT] = {-FW_VALUE_MAX, -FW_VALUE_MAX, -FW_VALUE_MAX,
                                       -FW_VALUE_MAX, -FW_VALUE_MAX, -FW_VALUE_MAX};
  float adoptMax[CTRL_ADOPT_COUNT] = {FW_VALUE_MAX, FW_VALUE_MAX, FW_VALUE_MAX,
                                       FW_VALUE_MAX, FW_VALUE_MAX, FW_VALUE_MAX};
};

// The extension record of a PIDMA block, for its operating page (status, proposal); null
// for another block or before its first start-up.
const CtrlExtension* CTRL_ExtensionOf(uint16_t block);

// Start-up (from CTRL_OutputInit) and one cycle (from the output stage).
void CTRL_ExtInit(CtrlExtension* ext, CtrlParams& params, CtrlWork& work);
void CTRL_ExtCycle(CtrlExtension* ext, CtrlInputs& in, CtrlOutputs& out, CtrlParams& params,
                   CtrlWork& work);

// Internal steps, in their order within one cycle.
void CTRL_ExtParams(CtrlExtension& x, CtrlParams& params, CtrlWork& work);
void CTRL_ExtControlInit(CtrlExtension& x);
void CTRL_ExtCoefficients(CtrlExtension& x);
void CTRL_ExtIdentify(CtrlExtension& x, const CtrlWork& work);
void CTRL_ExtResult(CtrlExtension& x, CtrlInputs& in, CtrlOutputs& out, CtrlParams& params,
                    CtrlWork& work);
// Adopts `values` (Kp, Tn, Tv, VD, bW_p, cW_d) into parameter set 0 and the extension.
void CTRL_ExtAdopt(CtrlExtension& x, const float* values, CtrlParams& params, CtrlWork& work);

// What the stepping stages read of the extension and the core.
struct CtrlExtStepContext {
  CtrlExtension& ext;
  const CtrlParams& params;   // Tpuls, Tm, Tpause (YOptm), Y0
  const CtrlWork& work;       // dt, xw%, output re-initialise, parameters changed
  const CtrlParamSet& set;    // parameter set 0: Kp, Tn, Xsh, Tsat
};

// The on- and off-threshold of both stepping stages (fractions of the travel); true when
// they were recomputed.
bool CTRL_ExtStepThresholds(float& on, float& off, const CtrlExtStepContext& c);
// Kind 8.
void CTRL_ExtStepperYpParams(const CtrlExtStepContext& c, CtrlExtStepper& s);
void CTRL_ExtStepperYp(CtrlExtStepper& s);
void CTRL_ExtStepperYpInit(CtrlExtStepper& s);
// Kind 7.
void CTRL_ExtStepperParams(const CtrlExtStepContext& c, CtrlExtStepper& s);
void CTRL_ExtStepper(CtrlExtStepper& s);
void CTRL_ExtStepperInit(CtrlExtStepper& s);
void CTRL_ExtStepperReinit(CtrlExtStepper& s);

// The parameter set 0 of CtrlParams as PIDMA fills it: Kp, Tn, Tv, Tp1, Tp2, VD, bW_p,
// cW_d, Tsat, Xsh in the ten floats of the set.
template <typename Set> auto& CTRL_ExtKp(Set& s) { return s.xp1; }
template <typename Set> auto& CTRL_ExtTn(Set& s) { return s.xp2; }
template <typename Set> auto& CTRL_ExtTv(Set& s) { return s.tn; }
template <typename Set> auto& CTRL_ExtTp1(Set& s) { return s.tv; }
template <typename Set> auto& CTRL_ExtTp2(Set& s) { return s.tp1; }
template <typename Set> auto& CTRL_ExtVd(Set& s) { return s.tp2; }
template <typename Set> auto& CTRL_ExtBw(Set& s) { return s.opt[0]; }
template <typename Set> auto& CTRL_ExtCw(Set& s) { return s.opt[1]; }
template <typename Set> auto& CTRL_ExtTsat(Set& s) { return s.opt[2]; }
template <typename Set> auto& CTRL_ExtXsh(Set& s) { return s.opt[3]; }
