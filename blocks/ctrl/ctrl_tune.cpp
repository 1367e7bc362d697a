// Self-tuning of the controller core: the parameter-set selection that runs every cycle and
// the optimisation that identifies the process from an open-loop step of the output.
//
// The optimisation waits until the process is at rest, steps the output by dYopt, measures
// the delay Tu and the steepest rise Vmax of the response by the inflection tangent (a
// least-squares line over short windows of the rise), and sets Xp1, Xp2, Tn, Tv, Tp1 and
// Tp2 of the set it optimises by fixed rules. Output kinds with a cooling side follow the
// heating step with a cooling step. All process values are in percent of the span; times
// are counted in cycles of dt.
#include <cmath>
#include <cstdint>
#include <limits>

#include "blocks/ctrl/ctrl_core.h"
#include "blocks/ctrl/ctrl_steps.h"
#include "runtime/fw_numeric.h"

namespace {

// Results of the window regression (CtrlOptState::winResult).
enum : int8_t {
  kWinNone = 0,
  kWinMaximum = -1,       // new maximum, fewer than three so far
  kWinMaximum3 = -2,      // new maximum, three or more
  kWinInflection = 1,     // inflection passed after fewer than three maxima
  kWinInflection3 = 2,    // after three or more
  kWinTimeout = 4,        // no rise within an hour
};

// x% within this band is at rest; a rise beyond it closes a regression window.
constexpr float kRestBand = 0.5f;
constexpr float kMinStep = 5.0f;           // smallest usable step, percent
constexpr float kMotorClosed = -110.0f;    // runs the stepping motor fully closed
constexpr float kInflectionMargin = 0.0183f;
constexpr float kSteepRise = 0.4f;         // Vmax x Tu from which the result counts as steep
// OCond 1: a drift in the step's direction from this on (per minute) counts as moving.
constexpr float kDriftPerMinute = 0.05f;
constexpr float kFilterKeep = 0.85f;
constexpr float kXpLow = 0.1f, kXpHigh = 999.9f;
constexpr float kTimeLow = 1.0f, kTimeHigh = 9999.0f;  // Tn and Tv
constexpr float kTpHigh = 999.9f;

int32_t cyclesOf(float seconds, float dt) { return FW_FloatToI32(seconds / dt); }
void countUp(int32_t& n) {
  if (n < std::numeric_limits<int32_t>::max()) ++n;
}
float finiteOr0(float v) { return std::isfinite(v) ? v : 0.0f; }

bool isTwoSided(uint8_t kind) {
  return kind == CTRL_KIND_THREE_POINT || kind == CTRL_KIND_CONT_SWITCH ||
         kind == CTRL_KIND_SWITCH_CONT || kind == CTRL_KIND_SPLIT_RANGE;
}

// The set the optimisation works on: `POpt`, never past the sets.
uint8_t optimisedSet(const CtrlParams& p) { return p.pOpt < CTRL_PARAM_SETS ? p.pOpt : 0; }

bool isFinite(const CtrlParamSet& s) {
  const float v[] = {s.xp1,  s.xp2,    s.tn,     s.tv,     s.tp1,
                     s.tp2, s.opt[0], s.opt[1], s.opt[2], s.opt[3]};
  for (float f : v) {
    if (!std::isfinite(f)) return false;
  }
  return true;
}

// Drift-compensated process value and setpoint reference.
float xComp(const CtrlCore& c) {
  const CtrlOptState& o = c.w.opt;
  return c.w.xPercent - static_cast<float>(o.counter) * o.drift;
}
float wComp(const CtrlCore& c) {
  const CtrlOptState& o = c.w.opt;
  return o.wRef - static_cast<float>(o.counter) * o.drift;
}
// +1 when the process value should rise after the step, -1 when it should fall.
float expectedSign(const CtrlOptState& o) { return o.inverse ? 1.0f : -1.0f; }

// ---------------------------------------------------------------------------------------
// The output while the optimisation holds it.

// The output Y as the optimisation measures it; a stepping output with Yp is where its
// feedback says (this cycle's, not the last output's).
float outputY(const CtrlCore& c) {
  if (c.w.opt.positioner == CTRL_OPT_POS_FROM_YP && !c.in.dYpFault) {
    return CTRL_Bounded(CTRL_In(c.in.yp));
  }
  return CTRL_Bounded(c.out.y);
}

// The output takes `y` over, as manual from this value.
void takeOver(CtrlCore& c, float y) {
  c.in.lastY = FW_ClampValue(y);
  c.w.out.takeOver = 1;
}
// The stepping motor is positioned by `travel` percent.
void position(CtrlCore& c, float travel) {
  c.in.optStep = FW_ClampValue(travel);
  c.w.out.addStep = 1;
}
// The output returns to its start value, driven like manual.
void backToStart(CtrlCore& c) {
  const CtrlOptState& o = c.w.opt;
  if (o.positioner == CTRL_OPT_POS_FROM_YP) position(c, o.yStart - outputY(c));
  else if (o.positioner == CTRL_OPT_POS_CLOSED_FIRST) position(c, kMotorClosed);
  else takeOver(c, o.yStart);
  c.w.optManual = 1;
}

// ---------------------------------------------------------------------------------------
// Rest detection.

// The rest window starts again at x%.
void restartWindow(CtrlOptState& o, float x) {
  o.counter = 0;
  o.xRest = o.xWindow = x;
}

void restDetection(CtrlCore& c) {
  CtrlOptState& o = c.w.opt;
  const float x = c.w.xPercent;
  const float y = outputY(c);
  const int32_t minute = cyclesOf(60.0f, c.w.dt);
  if (o.restart) {
    o.restart = 0;
    o.moving = 1;
    o.drift = 0;
    restartWindow(o, x);
    o.yFilt = y;
    o.xFilt = x;
    o.stepApplied = 0;
  }
  if (o.oCond == 0) {
    // grad=0: every movement starts the measurement again.
    if (o.moving) {
      restartWindow(o, x);
      o.drift = 0;
      o.moving = 0;
    }
  } else if (o.moving && o.counter > minute / 2) {
    // A drift measured over half a minute is compensated from here on.
    o.drift = (x - o.xWindow) / static_cast<float>(o.counter);
    restartWindow(o, x);
    if (o.oCond == 2) {
      o.moving = 0;
    } else {
      // grad<0/>0: only a drift against the step's direction is accepted.
      const float towardStep = o.inverse ? o.drift : -o.drift;
      o.moving = towardStep >= kDriftPerMinute / static_cast<float>(minute);
    }
  }
  countUp(o.counter);
  if (o.stepApplied) return;  // the rest values before the step are the reference now
  const float xc = xComp(c);
  o.moving = o.moving || std::fabs(o.xRest - xc) > kRestBand;
  c.out.optStable = !o.moving && o.counter >= minute;
  o.xFilt = std::fabs(o.xFilt - xc) > kRestBand ? xc
                                                : kFilterKeep * o.xFilt + (1 - kFilterKeep) * xc;
  o.yFilt = kFilterKeep * o.yFilt + (1 - kFilterKeep) * y;
}

// ---------------------------------------------------------------------------------------
// Identification.

void restartRegression(CtrlOptState& o, float r) {
  o.sumI = o.sumI2 = o.sumD = o.sumID = 0;
  o.samples = o.winIndex = 0;
  o.maxima = 0;
  o.vmax = o.tu = 0;
  o.winResult = kWinNone;
  o.rise = o.winFirst = r;
}

// One sample of the rise r: the least-squares line over the current window, which closes
// once the rise moved more than the band from the window's first value. A steeper slope
// is a new maximum and gives the tangent's delay; a clearly flatter one passes the
// inflection.
int8_t windowRegression(CtrlOptState& o, float r, int32_t hour) {
  o.rise = r;
  countUp(o.samples);
  const float i = static_cast<float>(o.winIndex);
  const float d = r - o.winFirst;
  o.sumI += i;
  o.sumI2 += i * i;
  o.sumD += d;
  o.sumID += i * d;
  countUp(o.winIndex);
  if (std::fabs(d) <= kRestBand) {
    if (o.samples > hour && o.maxima == 0) o.winResult = kWinTimeout;
    return o.winResult;
  }
  const float n = static_cast<float>(o.winIndex);
  const float den = n * o.sumI2 - o.sumI * o.sumI;
  // A window of one sample, or one whose sums overflowed, gives no line.
  if (den != 0 && std::isfinite(den)) {
    const float slope = (n * o.sumID - o.sumI * o.sumD) / den;
    const float intercept = (o.sumD * o.sumI2 - o.sumI * o.sumID) / den;
    if (slope > 0 && slope >= o.vmax) {
      const float tu = static_cast<float>(o.samples) + 0.5f - n - (intercept + o.winFirst) / slope;
      if (std::isfinite(slope) && std::isfinite(tu)) {
        o.vmax = slope;
        o.tu = std::fmax(0.0f, tu);
        if (o.maxima < 255) ++o.maxima;
        o.winResult = o.maxima < 3 ? kWinMaximum : kWinMaximum3;
      }
    } else if (slope < o.vmax - kInflectionMargin / n) {
      o.winResult = static_cast<int8_t>(-o.winResult);
    }
  }
  o.winFirst = r;
  o.winIndex = 1;
  o.sumI = o.sumI2 = o.sumD = o.sumID = 0;
  return o.winResult;
}

// Normalises Vmax to a 100 % step; for a step that ends on the cooling side, the heating
// that the step removed is taken out. False when nothing of the cooling rise is left.
bool coolingCheck(CtrlOptState& o) {
  o.vmax = o.step != 0 ? std::fabs(100.0f / o.step * o.vmax) : 0.0f;
  if (o.yBefore + o.step >= 0) return true;
  const float f = o.yBefore <= 0 ? 0.0f : std::fabs(o.yBefore / (o.yBefore + o.step));
  const float e = o.vmaxHeat * f;
  o.vmax = (f + 1) * o.vmax - e;
  return !(e > o.vmax);
}

void endPhase(CtrlOptState& o, uint8_t result) {
  o.result = result;
  o.phase = CTRL_OPT_PHASE_ENDED;
}
void identified(CtrlOptState& o, uint8_t result, uint8_t phase) {
  o.result = result;
  o.phase = phase;
}

void identify(CtrlCore& c, int32_t hour) {
  CtrlOptState& o = c.w.opt;
  const float xc = xComp(c);
  if ((xc - o.xFilt) * expectedSign(o) < -kRestBand) {
    endPhase(o, CTRL_ORES_AGAINST_STEP);
    return;
  }
  const float r = std::fabs(xc - o.xFilt);
  const float z = std::fabs(wComp(c) - o.xFilt);
  const int8_t result = windowRegression(o, r, hour);
  const bool passesSetpoint = o.tu * o.vmax + r > z;
  switch (result) {
    case kWinTimeout:
      endPhase(o, CTRL_ORES_NO_RISE);
      break;
    case kWinNone:
    case kWinMaximum:
      if (passesSetpoint) endPhase(o, CTRL_ORES_PASS_SETPOINT);
      break;
    case kWinMaximum3:
      if (!passesSetpoint) break;
      if (coolingCheck(o)) identified(o, CTRL_ORES_SETPOINT_LIMIT, CTRL_OPT_PHASE_IDENTIFIED);
      else endPhase(o, CTRL_ORES_PASS_SETPOINT);
      break;
    case kWinInflection:
      if (coolingCheck(o)) {
        identified(o, CTRL_ORES_INFLECTION,
                   o.vmax * o.tu < kSteepRise ? CTRL_OPT_PHASE_IDENTIFIED
                                              : CTRL_OPT_PHASE_IDENTIFIED_STEEP);
      } else {
        endPhase(o, CTRL_ORES_INFLECTION);
      }
      break;
    case kWinInflection3:
      if (coolingCheck(o)) identified(o, CTRL_ORES_THREE_MAXIMA, CTRL_OPT_PHASE_IDENTIFIED);
      else endPhase(o, CTRL_ORES_INFLECTION);
      break;
    default:
      break;
  }
}

// The phases, after the rest detection.
void phaseStep(CtrlCore& c) {
  CtrlOptState& o = c.w.opt;
  const bool requested = c.w.optRequested;
  if (!requested && o.phase != CTRL_OPT_PHASE_IDLE) {
    o.phase = CTRL_OPT_PHASE_ENDED;
    return;
  }
  const int32_t hour = cyclesOf(3600.0f, c.w.dt);
  switch (o.phase) {
    case CTRL_OPT_PHASE_IDLE:
      o.result = CTRL_ORES_NONE;
      if (requested) o.phase = CTRL_OPT_PHASE_WAIT_REST;
      break;
    case CTRL_OPT_PHASE_WAIT_REST: {
      const float g = (o.wRef - xComp(c)) * expectedSign(o);
      const float h = (c.p.w100 - c.p.w0) * c.w.span * 0.1f;
      if (c.out.optStable && g > h && !o.largeDev) o.phase = CTRL_OPT_PHASE_STEP;
      else if (o.counter > hour || g < -h) endPhase(o, CTRL_ORES_NO_REST);
      break;
    }
    case CTRL_OPT_PHASE_STEP:
      if (!(std::fabs(o.step) >= kMinStep)) {
        endPhase(o, CTRL_ORES_SMALL_STEP);
      } else {
        o.phase = CTRL_OPT_PHASE_IDENTIFY;
        restartRegression(o, std::fabs(xComp(c) - o.xFilt));
      }
      break;
    case CTRL_OPT_PHASE_IDENTIFY:
      identify(c, hour);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------
// Tuning rules.

struct TuneBasis {
  float b;   // rise during Tu, percent
  float ts;  // Tu in seconds
  float e, d;
};

TuneBasis basisOf(const CtrlOptState& o, float dt) {
  const float tu = std::fmax(o.tu, 2.0f);
  TuneBasis t;
  t.b = tu * o.vmax;
  t.ts = dt * tu;
  t.e = 0.04f * t.b + 0.6f;
  t.d = 1 + dt / t.ts;
  return t;
}

float pulseTime(const TuneBasis& t, float dt) { return CTRL_Clamp(t.ts / 4, 4 * dt, kTpHigh); }

// Applies `s` to the active set unless a value is not finite.
bool applySet(CtrlWork& w, const CtrlParamSet& s) {
  if (!isFinite(s)) return false;
  w.set = s;
  return true;
}

// Rule 0, heating: Xp1, Tn, Tv, Tp1 and Tp2 by the controller's structure.
bool tuningRule0(CtrlCore& c) {
  const CtrlWork& w = c.w;
  const float dt = w.dt;
  const TuneBasis t = basisOf(w.opt, dt);
  CtrlParamSet s = w.set;
  const bool integral = s.tn != 0, derivative = s.tv != 0;
  if (!integral && !derivative) {
    s.xp1 = t.d * t.b;
  } else if (!integral) {
    s.xp1 = 0.5f * t.b * t.d;
    s.tv = CTRL_Clamp(t.ts * (t.b <= 10 ? t.e : 0.95f - 0.005f * t.b) * t.d, kTimeLow, kTimeHigh);
  } else if (!derivative) {
    if (w.opt.stepping) {
      const float k = CTRL_Clamp(t.ts / c.p.tm + 0.5f, 1, 2);
      s.xp1 = t.b * 2.6f * k / 3;
      s.tn = t.ts * 6 * t.e / k;
    } else {
      s.xp1 = t.b * 2.6f * t.d;
      s.tn = t.ts * 6 * t.e * t.d;
    }
  } else {
    s.xp1 = t.b * 1.7f * t.d;
    s.tn = t.ts * 2 * t.e * t.d;
    s.tv = t.b <= 10 ? s.tn : t.ts * 2 * (1.055f - 0.0055f * t.b) * t.d;
    s.tv = CTRL_Clamp(s.tv, kTimeLow, kTimeHigh);
  }
  if (integral) s.tn = CTRL_Clamp(s.tn, kTimeLow, kTimeHigh);
  s.xp1 = CTRL_Clamp(s.xp1, kXpLow, kXpHigh);
  s.xp2 = s.xp1;
  s.tp1 = s.tp2 = pulseTime(t, dt);
  return applySet(c.w, s);
}

// Rule 1, cooling: Xp2 and Tp2 from the cooling step.
bool tuningRule1(CtrlCore& c) {
  const float dt = c.w.dt;
  const TuneBasis t = basisOf(c.w.opt, dt);
  CtrlParamSet s = c.w.set;
  const bool integral = s.tn != 0, derivative = s.tv != 0;
  const float o = integral && derivative ? 1.7f : integral ? 2.6f : derivative ? 0.5f : 1.0f;
  s.xp2 = CTRL_Clamp(o * t.b * t.d, kXpLow, kXpHigh);
  s.tp2 = pulseTime(t, dt);
  return applySet(c.w, s);
}

// Rule 2, a steep cooling step: the cooling side follows the heating side.
bool tuningRule2(CtrlCore& c) {
  CtrlParamSet s = c.w.set;
  s.xp2 = CTRL_Clamp(0.5f * s.xp1, kXpLow, kXpHigh);
  s.tp2 = s.tp1;
  return applySet(c.w, s);
}

// ---------------------------------------------------------------------------------------
// States.

// The active set goes into its place in CtrlParams, for the block to take and save.
void storeTunedSet(CtrlCore& c) {
  if (!isFinite(c.w.set)) return;
  c.p.sets[optimisedSet(c.p)] = c.w.set;
  c.w.newParams = 1;
  c.w.saveOptResults = 1;
}

// A side's delay (seconds), steepest rise (percent per second) and result code go into
// the retained record.
void storeSide(CtrlCore& c, float& tu, float& vmax, uint8_t& result) {
  const CtrlOptState& o = c.w.opt;
  tu = finiteOr0(o.tu * c.w.dt);
  vmax = finiteOr0(o.vmax / c.w.dt);
  result = o.result;
  c.w.saveOptResults = 1;
}
void storeHeating(CtrlCore& c) { storeSide(c, c.r.tuHeat, c.r.vmaxHeat, c.r.optResultHeat); }
void storeCooling(CtrlCore& c) { storeSide(c, c.r.tuCool, c.r.vmaxCool, c.r.optResultCool); }

// The end of an optimisation, done or failed.
void finish(CtrlCore& c) {
  CtrlOptState& o = c.w.opt;
  c.out.optRun = 0;
  o.inverse = CTRL_Inverse(c.cfg);
  o.stage = CTRL_OPT_STAGE_IDLE;
  o.phase = CTRL_OPT_PHASE_IDLE;
  o.restart = 1;
  o.oCond = CTRL_OCond(c.cfg);
}

void start(CtrlCore& c) {
  CtrlWork& w = c.w;
  CtrlOptState& o = w.opt;
  CtrlRetained& r = c.r;
  c.out.optRun = 1;
  c.out.optError = 0;
  r.optResultHeat = r.optResultCool = 0;
  r.tuHeat = r.vmaxHeat = r.tuCool = r.vmaxCool = 0;
  w.set = c.p.sets[optimisedSet(c.p)];
  o.wRef = w.wPercent;
  w.reinit = 1;
  w.set.tp1 = w.set.tp2 = 4 * w.dt;
  // What a previous optimisation left must not decide this one.
  o.phase = CTRL_OPT_PHASE_IDLE;
  o.result = CTRL_ORES_NONE;
  o.largeDev = 0;
  o.stepApplied = 0;
  o.step = 0;
  o.vmax = o.tu = o.vmaxHeat = 0;

  const bool fromManual = c.out.manualActive;
  const float y = outputY(c);
  const float yOptm = CTRL_Bounded(c.p.yOptm);
  if (o.positioner == CTRL_OPT_POS_FROM_YP) {
    o.yStart = fromManual ? y : yOptm;
    position(c, o.yStart - y);
  } else if (o.positioner == CTRL_OPT_POS_CLOSED_FIRST) {
    o.yStart = yOptm;
    position(c, kMotorClosed);
  } else {
    o.yStart = fromManual ? y : yOptm;
    takeOver(c, o.yStart);
  }
  // From manual the process may already rest at the manual output: the measurement goes on.
  if (!fromManual) o.restart = 1;
  w.optManual = 1;
  w.optHolds = 1;
  o.stage = o.positioner == CTRL_OPT_POS_CLOSED_FIRST ? CTRL_OPT_STAGE_CLOSING
                                                       : CTRL_OPT_STAGE_HEAT_STEP;
}

void heatingStep(CtrlCore& c) {
  CtrlOptState& o = c.w.opt;
  const CtrlParams& p = c.p;
  o.yBefore = o.positioner == CTRL_OPT_POS_CLOSED_FIRST ? o.yStart : o.yFilt;
  o.xRestPred = o.xFilt + static_cast<float>(o.counter) * o.drift;
  const float dYopt = CTRL_Bounded(p.dYopt);
  float y;
  if (o.positioner != CTRL_OPT_POS_NONE) {
    y = CTRL_Clamp(o.yBefore + dYopt, 0, 100);
    position(c, y - o.yBefore);
  } else {
    y = CTRL_Clamp(o.yBefore + dYopt, p.ymin, p.ymax);
    takeOver(c, y);
  }
  o.step = y - o.yBefore;
  o.stepApplied = 1;
  o.stage = CTRL_OPT_STAGE_HEAT_IDENT;
}

// Heating identified: the heating parameters; a two-sided kind goes on to the cooling step
// from the rest that the new parameters reach.
void heatingIdentified(CtrlCore& c) {
  CtrlWork& w = c.w;
  CtrlOptState& o = w.opt;
  storeHeating(c);
  if (!tuningRule0(c)) {
    o.stage = CTRL_OPT_STAGE_ERROR;
    return;
  }
  if (!o.twoSided) {
    o.stage = CTRL_OPT_STAGE_DONE;
    return;
  }
  storeTunedSet(c);
  o.wRef = o.xRestPred;
  o.vmaxHeat = o.vmax;
  w.set.tp2 = 4 * w.dt;
  w.reinit = 1;
  w.optManual = 0;
  o.inverse = !o.inverse;
  o.oCond = 0;
  o.restart = 1;
  o.phase = CTRL_OPT_PHASE_IDLE;
  o.stage = CTRL_OPT_STAGE_COOL_STEP;
}

void coolingStep(CtrlCore& c) {
  CtrlWork& w = c.w;
  CtrlOptState& o = w.opt;
  w.optManual = 1;
  o.yBefore = o.yFilt;
  const float y = CTRL_Clamp(-CTRL_Bounded(c.p.dYopt), c.p.ymin, c.p.ymax);
  takeOver(c, y);
  o.step = y - o.yBefore;
  o.stepApplied = 1;
  o.stage = CTRL_OPT_STAGE_COOL_IDENT;
}

void stateStep(CtrlCore& c) {
  CtrlWork& w = c.w;
  CtrlOptState& o = w.opt;
  switch (o.stage) {
    case CTRL_OPT_STAGE_IDLE:
      if (w.optRequested) {
        start(c);
      } else {
        w.optHolds = w.optManual = 0;
      }
      break;
    case CTRL_OPT_STAGE_CLOSING:
      o.wRef = w.wPercent;
      if (o.phase == CTRL_OPT_PHASE_ENDED) {
        o.stage = CTRL_OPT_STAGE_ERROR;
      } else if (w.out.motorCount == 0 && !o.largeDev) {
        position(c, o.yStart);
        o.stage = CTRL_OPT_STAGE_HEAT_STEP;
      }
      break;
    case CTRL_OPT_STAGE_HEAT_STEP:
      o.wRef = w.wPercent;
      if (o.phase == CTRL_OPT_PHASE_STEP) {
        heatingStep(c);
      } else if (o.phase == CTRL_OPT_PHASE_ENDED) {
        c.r.optResultHeat = o.result;
        w.saveOptResults = 1;
        o.stage = CTRL_OPT_STAGE_ERROR;
      }
      break;
    case CTRL_OPT_STAGE_HEAT_IDENT:
      if (o.phase == CTRL_OPT_PHASE_IDENTIFIED) {
        heatingIdentified(c);
      } else if (o.phase == CTRL_OPT_PHASE_IDENTIFIED_STEEP || o.phase == CTRL_OPT_PHASE_ENDED) {
        storeHeating(c);
        o.stage = CTRL_OPT_STAGE_ERROR;
      }
      break;
    case CTRL_OPT_STAGE_COOL_STEP:
      o.largeDev = std::fabs(w.wPercent - w.xPercent) > 0.1f * w.wPercent;
      o.wRef = o.xRestPred;
      if (o.phase == CTRL_OPT_PHASE_STEP) {
        coolingStep(c);
      } else if (o.phase == CTRL_OPT_PHASE_ENDED) {
        c.r.optResultCool = o.result;
        w.saveOptResults = 1;
        o.stage = CTRL_OPT_STAGE_ERROR;
      }
      break;
    case CTRL_OPT_STAGE_COOL_IDENT: {
      bool tuned = true;
      if (o.phase == CTRL_OPT_PHASE_IDENTIFIED) {
        storeCooling(c);
        tuned = tuningRule1(c);
      } else if (o.phase == CTRL_OPT_PHASE_IDENTIFIED_STEEP) {
        storeCooling(c);
        tuned = tuningRule2(c);
      } else if (o.phase == CTRL_OPT_PHASE_ENDED) {
        // The cooling side failed: the heating side's parameters serve both sides.
        storeCooling(c);
        w.set.tp2 = w.set.tp1;
      } else {
        break;
      }
      o.stage = tuned ? CTRL_OPT_STAGE_DONE : CTRL_OPT_STAGE_ERROR;
      break;
    }
    case CTRL_OPT_STAGE_DONE:
      storeTunedSet(c);
      finish(c);
      break;
    case CTRL_OPT_STAGE_ERROR:
      c.out.optError = 1;
      if (!w.optRequested) finish(c);
      break;
    default:
      finish(c);
      break;
  }
}

}  // namespace

void CTRL_OptInit(CtrlInputs&, CtrlOutputs& out, CtrlParams& params, CtrlConfig& config,
                  CtrlWork& work, CtrlRetained& retained) {
  CtrlOptState& o = work.opt;
  o.setNumber = retained.paramSet < CTRL_PARAM_SETS ? retained.paramSet : 0;
  out.activeSet = o.setNumber;
  work.set = params.sets[o.setNumber];
  const uint8_t kind = CTRL_Kind(config);
  o.twoSided = isTwoSided(kind);
  o.positioner = kind == CTRL_KIND_STEPPING      ? CTRL_OPT_POS_CLOSED_FIRST
                 : kind == CTRL_KIND_STEPPING_YP ? CTRL_OPT_POS_FROM_YP
                                                 : CTRL_OPT_POS_NONE;
  o.stepping = kind == CTRL_KIND_STEPPING || kind == CTRL_KIND_STEPPING_YP;
  o.inverse = CTRL_Inverse(config);
  o.oCond = CTRL_OCond(config);
  o.restart = 1;
  o.stage = CTRL_OPT_STAGE_IDLE;
  o.phase = CTRL_OPT_PHASE_IDLE;
  o.stepApplied = o.largeDev = 0;
}

void CTRL_SelectParamSet(CtrlInputs& in, CtrlOutputs& out, CtrlParams& params,
                         CtrlConfig& config, CtrlWork& work, CtrlRetained& retained) {
  CtrlOptState& o = work.opt;
  if (work.setSwitching) {
    bool changed = false;
    auto choose = [&](uint8_t n) {
      if (n >= CTRL_PARAM_SETS) n = 0;
      changed = n != o.setNumber;
      o.setNumber = n;
    };
    switch (CTRL_SetSelect(config)) {
      case CTRL_SET_BY_SWITCH:
        choose(in.paramSetSelect);
        if (changed) {
          retained.paramSet = o.setNumber;
          work.saveParamSet = 1;
        }
        break;
      case CTRL_SET_BY_VALUE:
        choose(in.paramSetNumber);
        break;
      default:
        o.setNumber = in.paramSetNumber = 0;
        break;
    }
    out.activeSet = o.setNumber;
    work.set = params.sets[o.setNumber];
    // The first cycle after start-up re-initialises the output with the set just loaded:
    // there is no earlier output to continue from, so nothing counts as changed yet.
    if (!work.firstCycle) {
      work.paramsChanged = work.paramsChanged || work.setReload || changed ||
                           in.changedSet == o.setNumber;
    }
  }
  work.setReload = 0;
  in.changedSet = 255;
  if (!out.optRun) {
    if (in.takeOver) work.out.takeOver = 1;
    if (in.addStep) work.out.addStep = 1;
  }
  in.takeOver = in.addStep = 0;
  CTRL_Optimize(in, out, params, config, work, retained);
}

void CTRL_Optimize(CtrlInputs& in, CtrlOutputs& out, CtrlParams& params, CtrlConfig& config,
                   CtrlWork& work, CtrlRetained& retained) {
  CtrlCore c{in, out, params, config, work, retained};
  CtrlOptState& o = work.opt;
  stateStep(c);
  restDetection(c);
  const uint8_t before = o.phase;
  phaseStep(c);
  // A side that ended or was identified in this cycle gives the output back its start value.
  if (o.phase != before) {
    const bool ended = o.phase == CTRL_OPT_PHASE_ENDED && o.stage >= CTRL_OPT_STAGE_HEAT_STEP &&
                       o.stage <= CTRL_OPT_STAGE_COOL_IDENT;
    const bool done = (o.phase == CTRL_OPT_PHASE_IDENTIFIED ||
                       o.phase == CTRL_OPT_PHASE_IDENTIFIED_STEEP) &&
                      (o.stage == CTRL_OPT_STAGE_HEAT_IDENT ||
                       o.stage == CTRL_OPT_STAGE_COOL_IDENT);
    if (ended || done) backToStart(c);
  }
}
