// Stepping stages of the PIDMA extension: the open (y1) and close (y2) outputs of a motor
// actuator from the extension's output, with a minimum pulse and pause, the operator's
// manual moves, and for the kind without position feedback the travel still to run and an
// estimated position.
#include <cmath>

#include "blocks/ctrl/ctrl_ext.h"
#include "blocks/ctrl/ctrl_steps.h"
#include "runtime/fw_numeric.h"

namespace {

// A motor time that is no positive number moves by one cycle over the full travel.
float motorTime(float tm, float dt) { return tm > 0 ? tm : dt; }
// Kp as the thresholds use it: at least the smallest value its limits admit.
float thresholdGain(float kp) { return kp >= 0.001f ? kp : 0.001f; }

// Pulse and pause cycles, at least one each; the manual-move limit of 1.1 x Tm of run.
void counts(CtrlExtStepper& s) {
  const int32_t pulse = FW_FloatToI32(s.tpuls / s.dt + 0.5f);
  const int32_t pause = FW_FloatToI32(s.tpause / s.dt + 0.5f);
  s.pulseCycles = pulse < 1 ? 1 : pulse;
  s.pauseCycles = pause < 1 ? 1 : pause;
  s.manualLimit = FW_FloatToI32(1.1f * motorTime(s.tm, s.dt) / s.dt);
}

void requestOpen(CtrlExtStepper& s) {
  s.openRequest = s.opening = 1;
  s.closeRequest = s.closing = 0;
}
void requestClose(CtrlExtStepper& s) {
  s.closeRequest = s.closing = 1;
  s.openRequest = s.opening = 0;
}
void endOpen(CtrlExtStepper& s) { s.opening = s.openRequest = 0; }
void endClose(CtrlExtStepper& s) { s.closing = s.closeRequest = 0; }

// Manual positioning: the held keys, and the add-step moves of one cycle of travel per
// cycle.
void manualMoves(CtrlExtStepper& s) {
  s.openRequest = s.incHeld && !s.decHeld;
  s.closeRequest = s.decHeld && !s.incHeld;
  if (s.addStep && !s.prevAddStep) {
    const float limit = static_cast<float>(s.manualLimit);
    const float add = std::trunc(motorTime(s.tm, s.dt) * s.stepValue / s.dt);
    s.manualCount = FW_FloatToI32(
        CTRL_Clamp(static_cast<float>(s.manualCount) + FW_ClampValue(add), -limit, limit));
  }
  if (s.manualCount > 0) {
    s.openRequest = 1;
    s.closeRequest = 0;
    --s.manualCount;
  } else if (s.manualCount < 0) {
    s.closeRequest = 1;
    s.openRequest = 0;
    ++s.manualCount;
  }
}

void ready(CtrlExtStepper& s) {
  if (s.openRequest) {
    s.openOut = 1;
    s.pulseState = CTRL_PULSE_OPEN;
  } else if (s.closeRequest) {
    s.closeOut = 1;
    s.pulseState = CTRL_PULSE_CLOSE;
  }
}
void openHeld(CtrlExtStepper& s) {
  if (s.closeRequest || !s.openRequest) {
    s.openOut = 0;
    s.pulseState = CTRL_PULSE_PAUSE;
  }
}
void closeHeld(CtrlExtStepper& s) {
  if (s.openRequest || !s.closeRequest) {
    s.closeOut = 0;
    s.pulseState = CTRL_PULSE_PAUSE;
  }
}

// Every pulse lasts at least the pulse cycles, two pulses are at least the pause apart.
void pulseSequence(CtrlExtStepper& s) {
  switch (s.pulseState) {
    case CTRL_PULSE_IDLE:
      s.openOut = s.closeOut = 0;
      ready(s);
      break;
    case CTRL_PULSE_PAUSE:
      if (++s.counter >= s.pauseCycles) {
        s.counter = 0;
        s.pulseState = CTRL_PULSE_READY;
        ready(s);
      }
      break;
    case CTRL_PULSE_READY:
      ready(s);
      break;
    case CTRL_PULSE_OPEN:
      if (++s.counter >= s.pulseCycles) {
        s.counter = 0;
        s.pulseState = CTRL_PULSE_OPEN_HELD;
        openHeld(s);
      }
      break;
    case CTRL_PULSE_OPEN_HELD:
      openHeld(s);
      break;
    case CTRL_PULSE_CLOSE:
      if (++s.counter >= s.pulseCycles) {
        s.counter = 0;
        s.pulseState = CTRL_PULSE_CLOSE_HELD;
        closeHeld(s);
      }
      break;
    case CTRL_PULSE_CLOSE_HELD:
      closeHeld(s);
      break;
    default:
      s.openOut = s.closeOut = 0;
      s.counter = 0;
      s.pulseState = CTRL_PULSE_IDLE;
      break;
  }
}

// Kind 7: travel τ in the direction of the change c. Travel first takes back what is still
// to run the other way; what is left turns the direction.
void addTravel(CtrlExtStepper& s, float c, float tau) {
  const float limit = static_cast<float>(s.manualLimit);
  const bool up = c > 0;
  float& same = up ? s.openTravel : s.closeTravel;
  float& other = up ? s.closeTravel : s.openTravel;
  const uint8_t dir = up ? 1 : 2;
  if (s.travelDirection == dir) {
    same = std::fmin(limit, same + tau);
    return;
  }
  other = std::fmin(limit, other - tau);
  if (other < 0) {
    const float rest = -other;
    other = 0;
    s.travelDirection = dir;
    same = std::fmin(limit, rest);
  }
}

// The stage's parameters after the thresholds; true when they are to be taken over.
bool stageParams(const CtrlExtStepContext& c, CtrlExtStepper& s) {
  const bool recomputed = CTRL_ExtStepThresholds(s.onThreshold, s.offThreshold, c);
  s.tpause = c.params.yOptm;
  if (!recomputed && !c.work.reinit && !c.work.paramsChanged) return false;
  s.tm = c.params.tm;
  s.tpuls = c.params.tpuls > 0 ? c.params.tpuls : s.dt;
  s.reinit = 1;
  return true;
}

}  // namespace

bool CTRL_ExtStepThresholds(float& on, float& off, const CtrlExtStepContext& c) {
  CtrlExtension& x = c.ext;
  const CtrlWork& w = c.work;
  const float kp = thresholdGain(CTRL_ExtKp(c.set));
  const float xp = 100 / kp;
  const int16_t band = std::fabs(w.wPercent - w.xPercent) > 0.2f * xp ? -1 : 1;
  if (x.band != 0 && band == x.band && !w.reinit && !w.paramsChanged) return false;
  const float tm = motorTime(c.params.tm, w.dt);
  const float tpuls = c.params.tpuls > 0 ? c.params.tpuls : 0.0f;
  float f;
  if (band < 0) {
    f = xp > 10 ? 1.0f : 0.1f * xp;
    f = std::fmax(f, tpuls * xp / tm);
  } else {
    f = (tpuls - w.dt / 2) * xp / tm;
  }
  const float h = 2 * f + 0.2f;
  const float z = CTRL_ExtXsh(c.set) * kp;
  float onT = std::fmax(z, h) * 0.5f * kp;
  float offT = z > h ? onT : onT - kp * f;
  if (onT < 1) {
    offT += 1 - onT;
    onT = 1;
  }
  on = CTRL_Bounded(onT) / 100;
  off = CTRL_Bounded(offT) / 100;
  x.band = band;
  return true;
}

// ---------------------------------------------------------------------------------------
// Kind 8: with the position feedback Yp.

void CTRL_ExtStepperYpParams(const CtrlExtStepContext& c, CtrlExtStepper& s) { stageParams(c, s); }

void CTRL_ExtStepperYpInit(CtrlExtStepper& s) {
  s.first = 1;
  s.opening = s.closing = 0;
  s.openRequest = s.closeRequest = s.openOut = s.closeOut = 0;
  s.counter = 0;
  s.pulseState = CTRL_PULSE_IDLE;
  s.manualCount = 0;
  s.prevAddStep = 0;
  counts(s);
  s.release = std::fmax(s.offThreshold, 0.5f * s.dt / motorTime(s.tm, s.dt));
  s.threshold = s.onThreshold;
}

void CTRL_ExtStepperYp(CtrlExtStepper& s) {
  // A new start recounts the pulse figures.
  if (s.reinit) {
    s.reinit = 0;
    counts(s);
    s.release = std::fmax(s.offThreshold, 0.5f * s.dt / motorTime(s.tm, s.dt));
  }
  // The first run starts with no request pending.
  if (s.first) {
    s.openRequest = s.closeRequest = 0;
    s.lastTarget = s.target;
    s.lastPosition = s.position;
    s.first = 0;
  }
  // 3: the threshold rises when both the target and Yp moved, to the smaller move.
  s.deviation = s.target - s.position;
  s.threshold = std::fmax(s.onThreshold, std::fmin(std::fabs(s.target - s.lastTarget),
                                                   std::fabs(s.position - s.lastPosition)));
  s.lastTarget = s.target;
  s.lastPosition = s.position;
  // A deviation beyond the threshold asks for an opening or a closing pulse.
  const float d = s.deviation;
  if (d > s.threshold) {
    requestOpen(s);
  } else if (d < -s.threshold) {
    requestClose(s);
  } else {
    if (s.opening && d < s.release) endOpen(s);
    if (s.closing && d > -s.release) endClose(s);
  }
  // Hand moves, then the pulse sequence.
  if (s.manual) manualMoves(s);
  s.prevAddStep = s.addStep;
  pulseSequence(s);
  s.y1 = s.openOut;
  s.y2 = s.closeOut;
}

// ---------------------------------------------------------------------------------------
// Kind 7: without position feedback.

void CTRL_ExtStepperParams(const CtrlExtStepContext& c, CtrlExtStepper& s) {
  if (!stageParams(c, s)) return;
  s.positionMode = CTRL_ExtTn(c.set) == 0;
  s.tsat = CTRL_ExtTsat(c.set);
}

void CTRL_ExtStepperInit(CtrlExtStepper& s) {
  s.opening = s.closing = 0;
  s.openRequest = s.closeRequest = s.openOut = s.closeOut = 0;
  s.openTravel = s.closeTravel = 0;
  s.travelDirection = 0;
  s.counter = 0;
  s.pulseState = CTRL_PULSE_IDLE;
  s.manualCount = 0;
  s.estimate = s.prevRate = s.tracking = s.lastTarget = 0;
  s.prevAddStep = s.pulseActive = 0;
  s.first = 1;
  CTRL_ExtStepperReinit(s);
}

void CTRL_ExtStepperReinit(CtrlExtStepper& s) {
  counts(s);
  const float cycles = motorTime(s.tm, s.dt) / s.dt;  // cycles over the full travel
  s.halfStep = s.dt / 2;
  s.release = std::fmax(s.offThreshold, 0.5f / cycles) * cycles;
  s.threshold = s.minThreshold = std::fmax(s.release, s.onThreshold * cycles);
}

void CTRL_ExtStepper(CtrlExtStepper& s) {
  if (s.reinit) {
    s.reinit = 0;
    CTRL_ExtStepperReinit(s);
  }
  if (s.first) {
    s.openRequest = s.closeRequest = 0;
    s.first = 0;
  }
  const float tm = motorTime(s.tm, s.dt);
  const float limit = static_cast<float>(s.manualLimit);
  // 1: the change of the P and D parts, and the integral increment between pulses.
  float c = s.target - s.lastTarget;
  s.lastTarget = s.target;
  if (!s.pulseActive) c += s.position;
  if (s.positionMode) {
    // 2: without an integral part the output follows the estimated position.
    const float e = s.tracking + c;
    if (e > s.onThreshold) {
      requestOpen(s);
    } else if (e < -s.onThreshold) {
      requestClose(s);
    } else {
      if (s.opening && e < s.offThreshold) endOpen(s);
      if (s.closing && e >= -s.offThreshold) endClose(s);
    }
  } else {
    // 3: the change becomes travel to run, in cycles.
    const float tau = CTRL_Bounded(std::fabs(c) * tm / s.dt);
    s.threshold = std::fmax(s.minThreshold, tau);
    if (c != 0) addTravel(s, c, tau);
    if (s.openTravel > s.threshold) {
      requestOpen(s);
    } else if (s.closeTravel > s.threshold) {
      requestClose(s);
    } else {
      if (s.opening && s.openTravel < s.release) endOpen(s);
      if (s.closing && s.closeTravel <= s.release) endClose(s);
    }
  }
  // Hand moves, then the pulse sequence.
  if (s.manual) manualMoves(s);
  s.prevAddStep = s.addStep;
  pulseSequence(s);
  // 5: each cycle of a pulse runs one cycle of travel.
  if (s.manual) {
    s.openTravel = s.closeTravel = 0;
  } else {
    if (s.openOut) s.openTravel = std::fmax(s.openTravel - 1, -limit);
    if (s.closeOut) s.closeTravel = std::fmax(s.closeTravel - 1, -limit);
  }
  // 6: the estimated position from the motor's run time.
  const float rate = s.openOut ? 1 / tm : s.closeOut ? -1 / tm : 0.0f;
  s.estimate = s.manual ? 0.0f
                        : CTRL_Clamp(s.estimate + (s.prevRate + rate) * s.halfStep, 0.0f, 1.0f);
  s.prevRate = rate;
  // The tracking term: the estimated position towards the target over the run time.
  s.tracking = s.tsat > 0 ? CTRL_Bounded((s.y0 + s.target - s.estimate) / s.tsat) : 0.0f;
  // The two relay outputs.
  s.y1 = s.openOut;
  s.y2 = s.closeOut;
  s.pulseActive = s.openOut || s.closeOut;
}
