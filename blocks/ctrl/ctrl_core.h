// Controller core: the float control engine that the controller blocks run once per cycle.
//
// A controller block owns one set of the six records below and passes them to `CTRL_Init`
// (once per start-up pass) and `CTRL_Cycle` (every cycle of its time group). The core keeps
// no state of its own, so any number of controllers run side by side. Flags are bytes 0/1.
//
// Units: X, W and their limits in the engineering unit of the process value; Y in percent;
// times in seconds; gradients in units per minute; dt is the block's cycle time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/fw_numeric.h"

// ---------------------------------------------------------------------------------------
// Operating modes.

// Mode state of the mode machine.
enum class CtrlMode : uint8_t {
  Automatic = 0,
  Optimisation = 1,   // optimisation requested or running
  OptFailed = 2,      // held until the start request is withdrawn
  Failure = 3,        // process value fault
  Manual = 5,
  Y2 = 7,
  HardManual = 8,
  Off = 9,
  Leaving = 10,       // leaving the optimisation: waits until `o run` is clear
};

// Where state 10 goes once `o run` is clear (its own numbering).
enum class CtrlLeaveTarget : uint8_t {
  None = 0,
  Automatic = 1,
  Failure = 2,
  Manual = 4,
  Y2 = 5,
  HardManual = 6,
  Off = 7,
};

// Output kinds (`CFunc` as the block stores it: the block's numbering plus 6 from 10 up).
enum : uint8_t {
  CTRL_KIND_SIGNAL1 = 0,
  CTRL_KIND_SIGNAL2 = 1,
  CTRL_KIND_TWO_POINT = 2,
  CTRL_KIND_THREE_POINT = 3,
  CTRL_KIND_CONT_SWITCH = 4,
  CTRL_KIND_SWITCH_CONT = 5,
  CTRL_KIND_TWO_POINT_DSO = 6,
  CTRL_KIND_STEPPING = 7,
  CTRL_KIND_STEPPING_YP = 8,
  CTRL_KIND_CONTINUOUS = 9,
  CTRL_KIND_SPLIT_RANGE = 16,
  CTRL_KIND_CONTINUOUS_YP = 17,
};

// Values of the configuration fields.
enum : uint8_t { CTRL_SP_SETPOINT = 0, CTRL_SP_CASCADE = 1 };                    // SPfunc
enum : uint8_t { CTRL_TYPE_STANDARD = 0, CTRL_TYPE_RATIO = 1, CTRL_TYPE_THREE_ELEMENT = 2 };
enum : uint8_t {                                                                // CFail
  CTRL_FAIL_NEUTRAL = 0,
  CTRL_FAIL_YMIN = 1,
  CTRL_FAIL_YMAX = 2,
  CTRL_FAIL_Y2 = 3,
  CTRL_FAIL_Y2_YMAN = 4,
};
enum : uint8_t { CTRL_OVC_OFF = 0, CTRL_OVC_PLUS = 1, CTRL_OVC_MINUS = 2, CTRL_OVC_BOTH = 3 };
enum : uint8_t { CTRL_TRACK_OFF = 0, CTRL_TRACK_SP = 1, CTRL_TRACK_PV = 2 };   // WTrac
enum : uint8_t { CTRL_RATIO_TYPE1 = 0, CTRL_RATIO_TYPE2 = 1, CTRL_RATIO_TYPE3 = 2 };
enum : uint8_t { CTRL_SET_BY_SWITCH = 2, CTRL_SET_BY_VALUE = 3 };              // set selection

// Setpoint status bits of `CtrlOutputs::setpointStatus`.
enum : uint8_t {
  CTRL_SPS_W2 = 0x01,
  CTRL_SPS_INTERNAL = 0x02,
  CTRL_SPS_WSTOP = 0x04,
  CTRL_SPS_RAMP = 0x08,
  CTRL_SPS_TRACK = 0x10,
};

constexpr int CTRL_PARAM_SETS = 6;  // `CONTR` uses set 0, `CONTR+` all six

// ---------------------------------------------------------------------------------------
// Records.

// Kept across a restart; the block keeps it in its state words and saves them while a
// change flag of `CtrlWork` is set. Its stored form is `CTRL_RETAINED_BYTES` bytes.
struct CtrlRetained {
  uint8_t offCmd = 0, hardManualCmd = 0, y2Cmd = 0, manualCmd = 0;  // last operator commands
  uint8_t internalCmd = 0, w2Cmd = 0;                               // we/wi and W/W2 choice
  uint8_t paramSet = 0;
  uint8_t optResultHeat = 0, optResultCool = 0;  // self-tuning result codes
  uint8_t spare0 = 0;
  float wi = 0;                                  // internal setpoint
  float tuHeat = 0, vmaxHeat = 0;                // self-tuning results
  uint8_t spare1[4] = {};
  float tuCool = 0, vmaxCool = 0;
};

// Written by the block before each cycle; the core clears the one-shot requests.
struct CtrlInputs {
  uint8_t incCmd = 0, decCmd = 0;  // operator's manual increment and decrement
  uint8_t manualCmd = 0, w2Cmd = 0, internalCmd = 0, offCmd = 0, hardManualCmd = 0, y2Cmd = 0;
  uint8_t paramSetSelect = 0;      // parameter set chosen by a switch
  uint8_t optStart = 0;            // optimisation start request (`ostart`)
  uint8_t pOnlyCmd = 0;            // operator pi/p
  uint8_t spare0 = 0;
  uint8_t setpointLoad = 0;        // 2: load the internal setpoint Wi and save it
  uint8_t setpointStore = 0;       // take the new internal setpoint
  uint8_t addStep = 0;             // manual output adds the optimisation step
  uint8_t takeOver = 0;            // manual output starts from the last Y
  uint8_t spare1 = 0;
  uint8_t changedSet = 255;        // set whose values were changed (255 = none)
  uint8_t paramReload = 0;
  uint8_t outputReinit = 0;
  uint8_t gradientMarker = 0;      // parameters changed: recompute the gradient steps
  uint8_t spare2 = 0;
  uint8_t rampRestart = 0;
  uint8_t spare3[11] = {};
  float lastY = 0;                 // last output (bumpless start of manual)
  float optStep = 0;               // optimisation step value
  float newWi = 0;                 // new internal setpoint
  float wi = 0;                    // internal setpoint Wi
  // Digital inputs.
  uint8_t dInc = 0, dDec = 0, dXFault = 0, dYpFault = 0, dManual = 0, dW2 = 0, dInternal = 0,
          dPOnly = 0, dOvcPlus = 0, dOvcMinus = 0, dTrack = 0, dY2 = 0, dOff = 0,
          dHardManual = 0;
  uint8_t spare4 = 0;
  uint8_t wStop = 0;               // setpoint frozen
  uint8_t gradientOn = 0;          // inverse of `gr off`
  uint8_t setpointReset = 0;
  uint8_t paramSetNumber = 0;      // parameter set chosen by value
  uint8_t wextChanged = 0;         // the block saw Wext change
  // Analog inputs.
  float x1 = 0, x2 = 0, x3 = 0, wext = 0, ovcPlus = 0, ovcMinus = 0, yp = 0, yhm = 0, yadd = 0;
  uint8_t cascadeFault = 0;        // the cascade master's value is faulty
};

// Results; the block copies them to its outputs.
struct CtrlOutputs {
  uint8_t y1 = 0, y2 = 0;
  uint8_t faultSummary = 0, xFault = 0, cascadeFault = 0;
  uint8_t ypFaultShown = 0;
  uint8_t failActive = 0;          // `c fail`
  uint8_t offActive = 0, manualActive = 0, y2Active = 0, internalActive = 0, w2Active = 0;
  uint8_t rampAtTarget = 0;
  uint8_t spare0 = 0;
  uint8_t setpointStatus = 0;      // CTRL_SPS_* bits
  uint8_t pOnlyActive = 0;
  uint8_t optRun = 0, optStable = 0, optError = 0;
  uint8_t activeSet = 0;
  uint8_t setpointChanged = 0;     // `xw sup`
  uint8_t hardManualActive = 0;
  uint8_t steppingLock = 0;        // stepping output handed to the digital overrides (1, 2)
  float w = 0, x = 0, y = 0, xw = 0, lastWi = 0, yout1 = 0, yout2 = 0, xPercent = 0,
        wPercent = 0;
};

// One parameter set (40 bytes).
struct CtrlParamSet {
  float xp1 = 0, xp2 = 0, tn = 0, tv = 0, tp1 = 0, tp2 = 0;
  float opt[4] = {};               // filled by the self-tuning
};

// Float parameters; the block copies its parameters here. -32000 (FW_NO_VALUE) is "off"
// for the gradients, Tpuls and LW.
struct CtrlParams {
  float n0 = 0, a = 0, spare0 = 0, w0 = 0, w100 = 0, w2 = 0;
  float grwUp = 0, grwDown = 0, grw2 = 0;    // Grw+, Grw-, Grw2
  float xsh = 0, tpuls = 0, tm = 0, xsd1 = 0, lw = 0, xsd2 = 0, xsh1 = 0, xsh2 = 0;
  float y2 = 0, ymin = 0, ymax = 0, y0 = 0, yOptm = 0, dYopt = 0;
  float spare1[5] = {};
  CtrlParamSet sets[CTRL_PARAM_SETS] = {};
  uint8_t pOpt = 0;                          // set the self-tuning optimises
};

// Configuration words; the block packs its word parameters into them (CTRL_PackConfig).
struct CtrlConfig {
  uint16_t word0 = 0;  // bits 0-3 SPfunc, 4-7 C-type, 8-15 output kind
  uint16_t word1 = 0;  // bits 4-7 CFail, 8-11 CDiff (0: D on XW), 12-15 C-mode (0: inverse)
  uint16_t word2 = 0;
  uint16_t word3 = 0;  // bits 4-7 COVC
  uint16_t word4 = 0;  // bits 12-15 WTrac
  uint16_t word5 = 0;  // bits 12-15 Ratio, low bits XDp
  uint16_t word6 = 0;  // bits 0-3 set selection, 4-7 OCond, 12-15 OMode
  uint16_t word7 = 0;
  float xn0 = 0, xn100 = 0;  // process value range that maps to 0..100 %
  uint8_t spare[8] = {};
  float sFac = 1;            // ratio scaling factor
};

// The configuration as separate fields, for packing.
struct CtrlConfigFields {
  uint8_t spFunc = CTRL_SP_SETPOINT, cType = CTRL_TYPE_STANDARD, kind = CTRL_KIND_CONTINUOUS;
  uint8_t failReaction = CTRL_FAIL_YMIN, dOnX = 0, direct = 0;  // CFail, CDiff, C-mode
  uint8_t ovc = CTRL_OVC_OFF, track = CTRL_TRACK_OFF, ratio = CTRL_RATIO_TYPE1, xdp = 0;
  uint8_t setSelect = 0, oCond = 0, oMode = 0;
};

// State of the output stage.
struct CtrlOutputState {
  uint8_t algClass = 0;        // 1 position algorithm, 2 velocity (stepping kinds)
  uint8_t inverse = 0;         // inverse action (`C-mode` 0)
  uint8_t dOnXw = 0;           // D part acts on XW
  uint8_t ovcMode = 0;         // COVC
  uint8_t ypFeedback = 0;      // kind 8
  uint8_t stepWithYp = 0;      // kind 8 (read as ypFeedback; the byte keeps the layout)
  uint8_t manualLike = 0;      // off, hard manual, Y2, manual or failure decides the output
  uint8_t forced = 0, forcedValue = 0;  // forced contacts (off and failure)
  uint8_t contact1 = 0, contact2 = 0;   // switching contacts of the signal kinds
  uint8_t takeOver = 0, addStep = 0;    // manual output: from the last Y, plus the step
  uint8_t prevManualOrHard = 0;         // manual or hard manual active in the last cycle
  // PD part.
  float dPrevIn = 0, dPrevOut = 0;
  // PI part.
  float iMem = 0, iState = 0;
  uint8_t limited = 0;
  float velPrevX = 0;          // velocity form: previous input
  // Dynamic output correction.
  float dyn1 = 0, dyn2 = 0;
  // Pulse modulator: accumulator in 1/1000 cycle.
  int32_t pulseAcc = 0;
  uint8_t pulseY1 = 0, pulseY2 = 0;
  // Stepping positioner.
  float pending = 0;           // travel still to run, in cycles (automatic)
  float onThreshold = 0, offThreshold = 0, hystOffset = 0, deadZone = 0;
  int32_t motorCount = 0;      // manual-like positioning, cycles (+ open, - close)
  uint8_t open = 0, close = 0;
  float posTarget = 0;         // positioning target in percent (target minus Yp)
  uint8_t posStart = 0;        // positioning to posTarget starts this cycle
  uint8_t prevManualLike = 0;
  float lastPd = 0;            // PD result of this cycle
  uint8_t ovcStatus = 0;       // 0 controller drives, 1 `d ovc+`, 2 `d ovc-`
  // From the output value by mode.
  float upper = 0, lower = 0, modeValue = 0, lastYRounded = 0, offset = 0;
  float holdTime = 0, step = 0;  // manual step: time inc/dec held, step per cycle
  float lastWPercent = 0;      // for the setpoint-jump test
  float result = 0;            // result of the PD/PI steps
  float yDyn = 0;              // after the dynamic correction
};

// Stages of the self-tuning (CtrlOptState::stage), the numbers the page shows.
enum : uint8_t {
  CTRL_OPT_STAGE_IDLE = 0,
  CTRL_OPT_STAGE_CLOSING = 1,      // stepping without Yp: the motor runs closed first
  CTRL_OPT_STAGE_HEAT_STEP = 2,    // waits for rest, then the heating step
  CTRL_OPT_STAGE_HEAT_IDENT = 3,
  CTRL_OPT_STAGE_COOL_STEP = 4,    // two-sided kinds: waits for rest, then the cooling step
  CTRL_OPT_STAGE_COOL_IDENT = 5,
  CTRL_OPT_STAGE_DONE = 6,
  CTRL_OPT_STAGE_ERROR = 7,        // `o err`, held while the request stays
};

// Phases of the identification within a stage (CtrlOptState::phase).
enum : uint8_t {
  CTRL_OPT_PHASE_IDLE = 0,
  CTRL_OPT_PHASE_WAIT_REST = 1,
  CTRL_OPT_PHASE_STEP = 2,
  CTRL_OPT_PHASE_IDENTIFY = 3,
  CTRL_OPT_PHASE_IDENTIFIED = 4,
  CTRL_OPT_PHASE_IDENTIFIED_STEEP = 5,  // identified with Vmax x Tu >= 0.4
  CTRL_OPT_PHASE_ENDED = 6,
};

// How the self-tuning positions a stepping output (CtrlOptState::positioner).
enum : uint8_t {
  CTRL_OPT_POS_NONE = 0,          // continuous output: no positioning
  CTRL_OPT_POS_FROM_YP = 1,       // stepping with Yp: positions by the feedback
  CTRL_OPT_POS_CLOSED_FIRST = 2,  // stepping without Yp: the motor runs closed first
};

// Result codes of the self-tuning, per side (CtrlRetained::optResultHeat / optResultCool).
enum : uint8_t {
  CTRL_ORES_NONE = 0,
  CTRL_ORES_AGAINST_STEP = 1,   // the process moved against the step
  CTRL_ORES_THREE_MAXIMA = 2,   // identified after three or more slope maxima
  CTRL_ORES_NO_RISE = 3,        // no rise within an hour
  CTRL_ORES_INFLECTION = 4,     // identified at the inflection (or the cooling check failed)
  CTRL_ORES_PASS_SETPOINT = 5,  // the process would have passed the setpoint
  CTRL_ORES_SETPOINT_LIMIT = 6, // ended at the setpoint limit with a usable result
  CTRL_ORES_SMALL_STEP = 7,     // the step was smaller than 5 %
  CTRL_ORES_NO_REST = 8,        // no start within an hour at rest, or x beyond the setpoint
};

// State of the self-tuning: the state machine, the rest detection and the identification
// of the step response. Percent values are those of the span; counts are in cycles.
struct CtrlOptState {
  uint8_t stage = 0;           // CTRL_OPT_STAGE_* (the page shows it)
  uint8_t phase = 0;           // CTRL_OPT_PHASE_*
  uint8_t result = 0;          // result code of the side being identified
  uint8_t oCond = 0;           // OCond: 0 grad=0, 1 grad<0/>0, 2 grad<>0
  uint8_t inverse = 0;         // direction: inverse action (inverted for the cooling step)
  uint8_t twoSided = 0;        // a cooling step follows the heating step
  uint8_t positioner = 0;      // CTRL_OPT_POS_*
  uint8_t stepping = 0;        // stepping output (the PI rule uses the motor time)
  uint8_t moving = 0;          // the process is moving
  uint8_t restart = 0;         // restart the rest measurement
  uint8_t stepApplied = 0;
  uint8_t largeDev = 0;        // |w% - x%| > 0.1 w% (shown as the second flag)
  uint8_t setNumber = 0;       // parameter-set number
  int32_t counter = 0;         // cycles of the rest measurement
  float xRest = 0;             // x% at the last rest check
  float xWindow = 0;           // x% at the start of the rest window
  float yFilt = 0, xFilt = 0;  // filtered Y and filtered x'
  float drift = 0;             // drift of x% per cycle
  float wRef = 0;              // reference w%
  float yStart = 0;            // output at the start of the optimisation
  float yBefore = 0;           // output before the step
  float step = 0;              // the step applied
  float xRestPred = 0;         // predicted rest value of x% (the reference of the cooling step)
  float vmaxHeat = 0;          // heating Vmax, kept for the cooling check
  float vmax = 0, tu = 0;      // steepest rise per cycle and delay in cycles
  // Window regression of the rise.
  int8_t winResult = 0;        // -1/-2 new maximum, 1/2 inflection (< 3 / >= 3 maxima), 4 timeout
  uint8_t maxima = 0;          // slope maxima found
  int32_t samples = 0;         // samples since the restart
  int32_t winIndex = 0;        // index of the next sample in the window
  float rise = 0;              // last rise value
  float winFirst = 0;          // rise at the start of the window
  float sumI = 0, sumI2 = 0, sumD = 0, sumID = 0;
};

struct CtrlExtension;  // the PIDMA extension record

// Internal state; the core owns it. The block sets dt, warmStart and x3Wired before
// `CTRL_Init` and may read the save flags.
struct CtrlWork {
  // Change flags for saving the retained record (the block clears them once saved).
  uint8_t saveWi = 0, saveInternalCmd = 0, saveW2Cmd = 0, saveParamSet = 0, saveOptResults = 0;
  uint8_t newParams = 0;       // the set POpt holds new tuned parameters for the block to take
  // Working flags.
  uint8_t warmStart = 0;       // the block's start-up pass is a warm start
  uint8_t x3Wired = 0;         // tracking enable: `X 3` is wired
  uint8_t firstCycle = 0, rampStart = 0, w2Start = 0, trackOnce = 0;
  uint8_t prevXFault = 0, prevCascadeFault = 0, prevOptRun = 0;
  float dt = 0.1f;
  float xPercent = 0, wPercent = 0, prevXwPercent = 0, ratioDivisor = 1;
  float sFac = 1, invSFac = 1, span = 1, xn0 = 0;
  uint8_t devStep = 0;         // deviation step flag
  CtrlParamSet set;            // active parameter set
  uint8_t offActive = 0, y2Active = 0, hardManualActive = 0, pOnly = 0, optRequested = 0,
          failureActive = 0;
  uint8_t manualEntry = 0, failureEntry = 0, hardManualEntry = 0, y2Entry = 0;  // one cycle
  uint8_t reinit = 0;          // output re-initialise
  uint8_t paramsChanged = 0;
  // A setpoint jump this cycle: the D part takes no kick from it.
  uint8_t setpointJump = 0;
  // The output goes on as after a parameter change (a ramp starts to move, manual ends, the
  // setpoint tracks): no step from the recomputation.
  uint8_t bumplessRestart = 0;
  uint8_t setSwitching = 0, setReload = 0;
  uint8_t kind = 0, failReaction = 0;
  CtrlMode mode = CtrlMode::Automatic;
  CtrlLeaveTarget leaveTarget = CtrlLeaveTarget::None;
  uint8_t pOnlyCmd = 0;
  uint8_t optHolds = 0;        // the optimisation holds the output
  uint8_t optManual = 0;       // the optimisation drives the output like manual
  uint8_t saveOffCmd = 0, saveHardManualCmd = 0, saveY2Cmd = 0, saveManualCmd = 0;
  // Setpoint.
  float rampTarget = 0, w2Step = 0, downStep = 0, upStep = 0, lastW = 0;
  float w2Carry = 0, downCarry = 0, upCarry = 0, changedTimer = 0, lastX3 = 0;
  float trackBand = 0;
  CtrlOutputState out;
  CtrlOptState opt;
  // PIDMA extension: the byte offset of its record from this record (both lie in the
  // block's instance), 0 for the plain forms. CTRL_Extension resolves it.
  int32_t extension = 0;
};

// The extension record of a controller, or null for the plain forms.
inline CtrlExtension* CTRL_Extension(CtrlWork& work) {
  if (work.extension == 0) return nullptr;
  return reinterpret_cast<CtrlExtension*>(reinterpret_cast<char*>(&work) + work.extension);
}
// Gives a controller its extension record (null: none).
inline void CTRL_SetExtension(CtrlWork& work, CtrlExtension* ext) {
  work.extension = ext ? static_cast<int32_t>(reinterpret_cast<char*>(ext) -
                                              reinterpret_cast<char*>(&work))
                       : 0;
}

// ---------------------------------------------------------------------------------------
// Operations.

// Start-up, once per start-up pass (cold or warm).
void CTRL_Init(CtrlInputs& in, CtrlOutputs& out, CtrlParams& params, CtrlConfig& config,
               CtrlWork& work, CtrlRetained& retained);
// One cycle.
void CTRL_Cycle(CtrlInputs& in, CtrlOutputs& out, CtrlParams& params, CtrlConfig& config,
                CtrlWork& work, CtrlRetained& retained);

// low when x < low, high when x > high, else x; a NaN x comes back unchanged.
float CTRL_Clamp(float x, float low, float high);

// Clears the configuration words and packs the fields into them.
void CTRL_PackConfig(const CtrlConfigFields& fields, CtrlConfig& config);

// Stored form of the retained record: little-endian, byte for byte.
constexpr size_t CTRL_RETAINED_BYTES = 34;
constexpr size_t CTRL_RETAINED_WORDS = CTRL_RETAINED_BYTES / 2;
void CTRL_RetainedToBytes(const CtrlRetained& r, uint8_t* bytes);
void CTRL_RetainedFromBytes(const uint8_t* bytes, CtrlRetained& r);
// The same over state words (word i holds bytes 2i and 2i + 1).
void CTRL_RetainedToWords(const CtrlRetained& r, uint16_t* words);
void CTRL_RetainedFromWords(const uint16_t* words, CtrlRetained& r);

// Configuration fields.
inline uint8_t CTRL_SpFunc(const CtrlConfig& c) { return c.word0 & 15; }
inline uint8_t CTRL_CType(const CtrlConfig& c) { return (c.word0 >> 4) & 15; }
inline uint8_t CTRL_Kind(const CtrlConfig& c) { return static_cast<uint8_t>(c.word0 >> 8); }
inline uint8_t CTRL_FailReaction(const CtrlConfig& c) { return (c.word1 >> 4) & 15; }
inline bool CTRL_DOnXw(const CtrlConfig& c) { return ((c.word1 >> 8) & 15) == 0; }
inline bool CTRL_Inverse(const CtrlConfig& c) { return c.word1 < 4096; }
inline uint8_t CTRL_Ovc(const CtrlConfig& c) { return (c.word3 >> 4) & 15; }
inline uint8_t CTRL_Track(const CtrlConfig& c) { return c.word4 >> 12; }
inline uint8_t CTRL_RatioType(const CtrlConfig& c) { return c.word5 >> 12; }
inline uint8_t CTRL_SetSelect(const CtrlConfig& c) { return c.word6 & 15; }
inline uint8_t CTRL_OCond(const CtrlConfig& c) { return (c.word6 >> 4) & 15; }
