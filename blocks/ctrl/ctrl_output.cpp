// Control algorithm and output stages: from the control deviation in percent to the output
// Y (PID) and from Y to the block's outputs by output kind: switching contacts, pulse-width
// modulated contacts, three-point stepping pulses for a motor actuator, continuous outputs.
#include <cmath>
#include <cstdint>

#include "blocks/ctrl/ctrl_core.h"
#include "blocks/ctrl/ctrl_steps.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr float kTravelLimit = 110.0f;  // stepping: travel at most 110 % in each direction

bool isSteppingKind(uint8_t kind) {
  return kind == CTRL_KIND_STEPPING || kind == CTRL_KIND_STEPPING_YP;
}

// ---------------------------------------------------------------------------------------
// PD and PI steps.

// PD step on the deviation xw% = w% - x%: dead zone, then the D part on XW or on X.
float pdStep(CtrlCore& c) {
  CtrlWork& w = c.w;
  CtrlOutputState& s = w.out;
  float x = w.wPercent - w.xPercent;
  if (x > c.p.xsh1) x -= c.p.xsh1;
  else if (x < -c.p.xsh2) x += c.p.xsh2;
  else x = 0;

  float e = s.dOnXw ? x : x - w.wPercent;
  float d = s.dPrevOut;
  bool skip = false;
  if (w.paramsChanged && w.devStep) {
    if (w.reinit) {
      d = 0;
      skip = true;
    } else if (!w.setpointJump) {
      e = s.dPrevIn;  // no kick from the parameter change
    }
  }
  if (!skip && !w.reinit && !w.setpointJump && !s.manualLike) {
    const float tv = w.set.tv;
    const float den = 4 * w.dt + tv;
    const float b = den != 0 ? tv / den : 0.0f;
    if (b != 0) {
      d = b * (4 * (e - s.dPrevIn) + s.dPrevOut);
      x += d;
    } else {
      d = 0;
    }
  }
  s.dPrevOut = d;
  s.dPrevIn = (w.setpointJump && !w.paramsChanged && s.dOnXw) ? 0.0f : e;
  s.lastPd = s.inverse ? x : -x;
  return s.lastPd;
}

// Integration factor dt / Tn, with Tn never below 5 cycles; `none` without an I part.
float integralFactor(const CtrlWork& w, float none) {
  const float tn = w.set.tn;
  if (tn == 0 || w.pOnly) return none;
  return w.dt / std::fmax(tn, 5 * w.dt);
}

// PI step, position form, with separate gains for the two output directions and
// anti-windup feedback of the clamped excess.
float piPosition(CtrlCore& c, float x) {
  CtrlWork& w = c.w;
  CtrlOutputState& s = w.out;
  const float b = integralFactor(w, 0.0f);
  if (b == 0 || w.reinit) {
    s.iState = 0;
  } else if (!s.manualLike && !w.paramsChanged) {
    s.iState += b * s.iMem;
  } else {
    // Back-calculated so that the output continues bumplessly.
    const float e = ((w.paramsChanged || !s.manualLike) ? s.result : s.modeValue) - s.offset;
    s.iState = e / CTRL_Gain(e >= 0 ? w.set.xp1 : w.set.xp2) - x;
  }
  const float k = CTRL_Gain(s.iState + x >= 0 ? w.set.xp1 : w.set.xp2);
  float result, yu;
  if (s.manualLike && !w.paramsChanged) {
    result = yu = s.modeValue;
  } else if (w.paramsChanged) {
    result = yu = s.result;
  } else {
    yu = k * (s.iState + x) + s.offset;
    result = CTRL_Clamp(yu, s.lower, s.upper);
    s.limited = result != yu;
  }
  s.iMem = w.pOnly ? 0.0f : (result - yu) * 3 / k + x;
  s.result = result;
  return result;
}

// PI step, velocity form (stepping kinds): the change of position per cycle.
float piVelocity(CtrlCore& c, float x) {
  CtrlWork& w = c.w;
  CtrlOutputState& s = w.out;
  float result = 0;
  if (!w.reinit) {
    const float b = integralFactor(w, 1.0f);
    result = (x - (1 - b) * s.velPrevX) * CTRL_Gain(w.set.xp1);
  }
  s.velPrevX = x;
  s.result = result;
  return result;
}

// Dynamic output correction of the continuous and pulse kinds.
float dynamicCorrection(CtrlCore& c, float y) {
  CtrlWork& w = c.w;
  CtrlOutputState& s = w.out;
  const float k = w.set.tn != 0 ? w.set.tp1 / w.dt : 0.0f;
  float correction = 0;
  if (s.manualLike || w.reinit) {
    s.dyn1 = k * y;
    s.dyn2 = 0;
  } else if (k == 0) {
    s.dyn1 = s.dyn2 = 0;
  } else {
    s.dyn1 += s.dyn2;
    correction = CTRL_Clamp(k * y - s.dyn1, -s.upper, s.upper);
    s.dyn2 = correction;
  }
  const float out = CTRL_Clamp(y + correction, s.lower, s.upper);
  s.dyn2 = out - y;
  s.yDyn = out;
  return out;
}

// Pulse modulator: a sigma-delta modulator with two contacts; y1 is on for Y/100 of the
// time with periods of about Tp1, y2 for -Y/100 with about Tp2.
void pulseModulator(CtrlCore& c, float y) {
  CtrlWork& w = c.w;
  CtrlOutputState& s = w.out;
  if (w.reinit) {
    s.pulseY1 = s.pulseY2 = 0;
    s.pulseAcc = 0;
  }
  int64_t acc = int64_t{s.pulseAcc} + 1000 * (int64_t{s.pulseY2} - s.pulseY1) +
                FW_FloatToI32(10.0f * y);
  const int64_t t1 = FW_FloatToI32(w.set.tp1 * 1000.0f / (4 * w.dt));
  if (acc >= t1) {
    s.pulseY1 = 1;
    if (acc > t1 + 1000) acc = t1 + 1000;
  } else if (acc <= 0) {
    s.pulseY1 = 0;
  }
  const int64_t t2 = FW_FloatToI32(-w.set.tp2 * 1000.0f / (4 * w.dt));
  if (acc <= t2) {
    s.pulseY2 = 1;
    if (acc < t2 - 1000) acc = t2 - 1000;
  } else if (acc >= 0) {
    s.pulseY2 = 0;
  }
  s.pulseAcc = FW_FloatToI32(static_cast<double>(acc));
}

// ---------------------------------------------------------------------------------------
// Contacts of the signal kinds and of 2P-DSO.

void forcedContacts(CtrlCore& c) {
  CtrlOutputState& s = c.w.out;
  if (c.w.mode == CtrlMode::Off) {
    s.forced = 1;
    s.forcedValue = 0;
  } else if (c.w.mode == CtrlMode::Failure) {
    s.forced = 1;
    s.forcedValue = c.w.failReaction == CTRL_FAIL_YMAX;
  } else {
    s.forced = 0;
  }
}

// A switching contact: off on output re-initialise, the forced value when forced, else on
// and off by the switching tests (unchanged between them).
void switchContact(const CtrlCore& c, uint8_t& contact, bool on, bool off) {
  const CtrlOutputState& s = c.w.out;
  if (c.w.reinit) contact = 0;
  else if (s.forced) contact = s.forcedValue;
  else if (on) contact = 1;
  else if (off) contact = 0;
}

// Contact 1 switches on the deviation with the hysteresis Xsd1.
void contact1(CtrlCore& c) {
  const CtrlWork& w = c.w;
  const float x = w.wPercent - w.xPercent;
  const float sw = w.out.inverse ? x : -x;
  const float h = c.p.xsd1 * w.span / 2;
  switchContact(c, c.w.out.contact1, sw >= h, sw <= -h);
}

// Contact 2 switches on the deviation shifted by the limit LW, with the hysteresis Xsd2.
void contact2(CtrlCore& c) {
  const CtrlWork& w = c.w;
  const float x = w.wPercent - w.xPercent;
  const float limit = c.p.lw * w.span;
  const float u = w.out.inverse ? x + limit : -x - limit;
  const float h = c.p.xsd2 * w.span / 2;
  switchContact(c, c.w.out.contact2, u - h >= h, u <= 0);
}

// ---------------------------------------------------------------------------------------
// Stepping kinds.

// The positioning target and the manual-like flag of the stepping kinds by mode.
void steppingModeValues(CtrlCore& c) {
  CtrlInputs& in = c.in;
  CtrlWork& w = c.w;
  CtrlOutputState& s = w.out;
  s.posStart = 0;
  // Positions to `value` (with Yp feedback); without it the motor stops.
  auto toValue = [&](float value, bool entry) {
    if (!s.ypFeedback || in.dYpFault) {
      w.reinit = 1;
    } else {
      s.posTarget = value - CTRL_In(in.yp);
      s.posStart = entry;
    }
  };
  auto fullTravel = [&](float target) {
    s.posTarget = target;
    s.posStart = w.failureEntry;
  };
  auto likeManual = [&](bool entry) {
    if (entry) {
      s.posTarget = 0;  // the motor stops
    } else {
      s.posTarget = in.optStep;
      s.posStart = s.addStep;
    }
  };
  // The operator's stepping keys act only where the operator drives the output.
  bool keysIgnored = true;
  const CtrlOutputMode mode = CTRL_DecidingMode(w);
  s.manualLike = mode != CtrlOutputMode::Automatic;
  switch (mode) {
    case CtrlOutputMode::Off:
      w.reinit = 1;
      break;
    case CtrlOutputMode::HardManual:
      toValue(CTRL_In(in.yhm), w.hardManualEntry);
      break;
    case CtrlOutputMode::Y2:
      toValue(c.p.y2, w.y2Entry);
      break;
    case CtrlOutputMode::Manual:
      likeManual(w.manualEntry);
      keysIgnored = false;
      break;
    case CtrlOutputMode::Failure:
      switch (w.failReaction) {
        case CTRL_FAIL_YMIN: fullTravel(-kTravelLimit); break;
        case CTRL_FAIL_YMAX: fullTravel(kTravelLimit); break;
        case CTRL_FAIL_Y2: toValue(c.p.y2, w.failureEntry); break;
        case CTRL_FAIL_Y2_YMAN:
          if (w.failureEntry) {
            toValue(c.p.y2, true);
          } else {
            likeManual(false);
            keysIgnored = false;
          }
          break;
        default:
          w.reinit = 1;  // neutral: the motor stops
          break;
      }
      break;
    case CtrlOutputMode::Automatic:
      keysIgnored = false;
      break;
  }
  if (keysIgnored) in.incCmd = in.dInc = in.decCmd = in.dDec = 0;
}

// Cycles of travel for `percent` %, within +-110 % of the travel.
int32_t travelCycles(float percent, float m) {
  const float limit = kTravelLimit * m;
  return FW_FloatToI32(CTRL_Clamp(percent * m, -limit, limit));
}

// Stepping positioner: turns the velocity result dY (percent per cycle) into open and
// close pulses; m is the number of cycles for 1 % of travel.
void steppingPositioner(CtrlCore& c, float dY) {
  CtrlInputs& in = c.in;
  CtrlWork& w = c.w;
  CtrlOutputState& s = w.out;
  const CtrlParams& p = c.p;
  const float tm = p.tm > 0 ? p.tm : w.dt;  // a motor time of 0 would stop nothing
  const float m = tm / (w.dt * 100);

  if (w.reinit) {
    if (s.manualLike && s.posStart) s.motorCount = travelCycles(s.posTarget, m);
    else if (s.manualLike) s.motorCount = 0;
    else s.pending = 0;
    s.open = s.close = 0;
  } else if (s.manualLike) {
    if (!s.prevManualLike) s.motorCount = 0;
    if (s.posStart) {
      const float limit = kTravelLimit * m;
      s.motorCount = FW_FloatToI32(
          CTRL_Clamp(static_cast<float>(s.motorCount) + std::trunc(s.posTarget * m), -limit, limit));
    }
    // One pulse cycle per cycle towards 0, with a pause cycle when the direction reverses.
    bool open = false, close = false;
    if (s.motorCount > 0 && !s.close) {
      open = true;
      --s.motorCount;
    } else if (s.motorCount < 0 && !s.open) {
      close = true;
      ++s.motorCount;
    }
    if (in.incCmd || in.dInc) open = true;
    if (in.decCmd || in.dDec) close = true;
    if (open) close = false;  // open wins
    s.open = open;
    s.close = close;
  } else {
    const float dYc = dY * m;  // in cycles
    if (s.prevManualLike) s.pending = -dYc;
    // Hysteresis offset f and dead zone e, in percent of the Xp1 scale.
    const float xp1 = w.set.xp1, xsh = p.xsh;
    const bool pulses = p.tpuls != FW_NO_VALUE;
    float f, e;
    if (std::fabs(w.wPercent - w.xPercent) > 0.2f * xp1) {
      f = xp1 > 10 ? 1.0f : 0.1f * xp1;
      if (pulses) f = std::fmax(f, p.tpuls * xp1 / tm);
      e = 2 * f + 0.2f;
      if (xsh > e) {
        f = 0.06f * xsh + 0.08f;
        e = xsh;
      }
    } else if (pulses) {
      f = (p.tpuls - w.dt / 2) * xp1 / tm;
      e = std::fmax(2 * f + 0.02f, xsh);
    } else {
      f = 0.06f * xsh + 0.08f;
      e = xsh;
    }
    if (w.pOnly) {
      s.pending = 0;
      f = 0.06f * xsh + 0.08f;
      e = xsh;
    }
    s.hystOffset = f;
    s.deadZone = e;

    const float k = CTRL_Gain(xp1) * m;
    float on = e / 2 * k;
    float offT = on - k * f;
    const float l = offT;
    float z = 0;  // hysteresis lift
    if (on < 1) {
      z = 1 - on;
      on = 1;
      offT += z;
    }
    s.onThreshold = on;
    s.offThreshold = offT;

    float t = dYc;
    if (z > 0) t = dYc > l ? dYc + z : (dYc < -l ? dYc - z : 0.0f);
    if (!w.pOnly) {
      const float limit = CTRL_Bounded(std::fabs(s.lastPd) * k + z);
      s.pending = CTRL_Clamp(s.pending, -limit, limit);
    }
    const float v = s.pending + t;
    bool open = s.open, close = s.close;
    if (v > on) {
      open = !s.close;  // a pause cycle when close was on
      close = false;
    } else if (v < -on) {
      close = !s.open;
      open = false;
    } else if (v < -offT) {
      open = false;
    } else if (v > offT) {
      close = false;
    } else {
      open = close = false;
    }
    s.pending = CTRL_Bounded(s.pending + dYc + (close ? 1.0f : 0.0f) - (open ? 1.0f : 0.0f));
    s.open = open;
    s.close = close;
  }
  s.prevManualLike = s.manualLike;
}

// Override hand-over of the stepping kinds: the digital overrides may take the contacts.
void overrideHandOver(CtrlCore& c) {
  CtrlInputs& in = c.in;
  CtrlWork& w = c.w;
  CtrlOutputState& s = w.out;
  uint8_t status = w.reinit ? 0 : s.ovcStatus;
  const uint8_t mode = w.optHolds ? uint8_t{CTRL_OVC_OFF} : s.ovcMode;
  const bool plus = in.dOvcPlus, minus = in.dOvcMinus;
  if (mode == CTRL_OVC_PLUS) {
    if (status == 0 && !s.close && minus) status = 2;
    else if (status == 2 && !minus && s.close) status = 0;
  } else if (mode == CTRL_OVC_MINUS) {
    if (status == 0 && !s.open && plus) status = 1;
    else if (status == 1 && !plus && s.open) status = 0;
  } else {
    status = 0;
  }
  if (status != 0) {
    c.out.y1 = plus && !minus;
    c.out.y2 = minus;
  } else {
    c.out.y1 = s.open;
    c.out.y2 = s.close;
  }
  s.ovcStatus = status;
  c.out.steppingLock = status;
}

// Y of the kinds with position feedback: Yp, or the computed value while Yp is faulty.
float feedbackOrResult(CtrlCore& c, float result) {
  c.out.ypFaultShown = c.in.dYpFault ? 1 : 0;
  return c.in.dYpFault ? result : CTRL_In(c.in.yp);
}

// Output kinds 7 and 8 with the extension: its stepping stages set y1 and y2.
float extensionStepping(CtrlCore& c) {
  steppingModeValues(c);
  CTRL_ExtCycle(CTRL_Extension(c.w), c.in, c.out, c.p, c.w);
  c.out.yout1 = c.out.yout2 = 0;
  c.out.y = c.w.kind == CTRL_KIND_STEPPING_YP ? feedbackOrResult(c, c.w.out.result) : 0.0f;
  return c.w.out.result;
}

// The other kinds with the extension: its result passes the dynamic correction and the
// pulse modulator.
float extensionContinuous(CtrlCore& c) {
  CTRL_ModeValue(c);
  CTRL_ExtCycle(CTRL_Extension(c.w), c.in, c.out, c.p, c.w);
  const float result = dynamicCorrection(c, c.w.out.result);
  pulseModulator(c, result);
  c.out.y1 = c.w.out.pulseY1;
  c.out.y2 = c.w.out.pulseY2;
  c.out.yout1 = std::fmax(result, 0.0f);
  c.out.yout2 = std::fmax(-result, 0.0f);
  c.out.y = c.w.kind == CTRL_KIND_CONTINUOUS_YP ? feedbackOrResult(c, result) : result;
  return result;
}

// One cycle of the plain output stage by output kind; returns the result Y.
float plainOutput(CtrlCore& c) {
  CtrlWork& w = c.w;
  CtrlOutputState& s = w.out;
  CtrlOutputs& out = c.out;
  CtrlParams& p = c.p;
  // Mode value, PD and PI: the common start of the position kinds.
  auto positionPid = [&]() {
    CTRL_ModeValue(c);
    return piPosition(c, pdStep(c));
  };
  float result = 0;
  switch (w.kind) {
    case CTRL_KIND_SIGNAL1:
    case CTRL_KIND_SIGNAL2:
      forcedContacts(c);
      contact1(c);
      out.y1 = s.contact1;
      if (w.kind == CTRL_KIND_SIGNAL2) {
        contact2(c);
        out.y2 = s.contact2;
      }
      break;
    case CTRL_KIND_TWO_POINT:
    case CTRL_KIND_TWO_POINT_DSO:
      p.xsh1 = p.xsh2 = 0;
      w.set.xp2 = w.set.xp1;
      w.set.tp2 = w.set.tp1;
      result = dynamicCorrection(c, positionPid());
      forcedContacts(c);
      pulseModulator(c, result);
      out.y1 = s.pulseY1;
      out.y2 = 0;
      if (w.kind == CTRL_KIND_TWO_POINT_DSO) {
        contact2(c);
        out.y2 = out.optRun ? 0 : s.contact2;
      }
      out.y = result;
      break;
    case CTRL_KIND_THREE_POINT:
    case CTRL_KIND_CONT_SWITCH:
    case CTRL_KIND_SWITCH_CONT:
      result = dynamicCorrection(c, positionPid());
      pulseModulator(c, result);
      out.y1 = s.pulseY1;
      out.y2 = s.pulseY2;
      if (w.kind == CTRL_KIND_CONT_SWITCH) {
        out.y1 = 0;
        out.yout1 = (result > 0 && !s.pulseY2) ? result : 0.0f;
        out.yout2 = 0;
      } else if (w.kind == CTRL_KIND_SWITCH_CONT) {
        out.y2 = 0;
        out.yout1 = 0;
        out.yout2 = (result < 0 && !s.pulseY1) ? -result : 0.0f;
      }
      out.y = result;
      break;
    case CTRL_KIND_STEPPING:
    case CTRL_KIND_STEPPING_YP: {
      p.xsh1 = p.xsh2 = 0;
      steppingModeValues(c);
      result = piVelocity(c, pdStep(c));
      steppingPositioner(c, result);
      overrideHandOver(c);
      if (!w.pOnly) result = s.result = 0;
      out.y = w.kind == CTRL_KIND_STEPPING_YP ? feedbackOrResult(c, result) : 0.0f;
      break;
    }
    case CTRL_KIND_CONTINUOUS:
    case CTRL_KIND_CONTINUOUS_YP:
    case CTRL_KIND_SPLIT_RANGE:
      if (w.kind != CTRL_KIND_SPLIT_RANGE) w.set.xp2 = w.set.xp1;
      result = positionPid();
      out.yout1 = std::fmax(result, 0.0f);
      out.yout2 = std::fmax(-result, 0.0f);
      out.y = w.kind == CTRL_KIND_CONTINUOUS_YP ? feedbackOrResult(c, result) : result;
      break;
    default:
      break;  // a kind without a row computes nothing
  }
  return result;
}

}  // namespace

void CTRL_OutputInit(CtrlCore& c) {
  CtrlWork& w = c.w;
  CtrlOutputState& s = w.out;
  w.kind = CTRL_Kind(c.cfg);
  s.inverse = CTRL_Inverse(c.cfg);
  s.dOnXw = CTRL_DOnXw(c.cfg);
  w.failReaction = CTRL_FailReaction(c.cfg);
  s.ovcMode = CTRL_Ovc(c.cfg);
  s.algClass = isSteppingKind(w.kind) ? 2 : 1;
  s.stepWithYp = w.kind == CTRL_KIND_STEPPING_YP;
  s.ypFeedback = w.kind == CTRL_KIND_STEPPING_YP;
  s.modeValue = 0;
  if (!w.warmStart) c.in.lastY = c.p.y0;
  w.reinit = 1;
  s.takeOver = 1;
  if (w.extension) CTRL_ExtInit(CTRL_Extension(w), c.p, w);
}

void CTRL_OutputStage(CtrlCore& c) {
  CtrlInputs& in = c.in;
  CtrlOutputs& out = c.out;
  CtrlWork& w = c.w;
  CtrlOutputState& s = w.out;

  // 1 to 3: requests of the block and the return from manual.
  if (!isSteppingKind(w.kind)) in.outputReinit = 0;
  const bool manualOrHard = out.manualActive || out.hardManualActive;
  if (!manualOrHard && s.prevManualOrHard) w.bumplessRestart = 1;
  s.prevManualOrHard = manualOrHard;
  w.reinit = w.reinit || in.outputReinit;
  w.paramsChanged = w.paramsChanged || in.paramReload || w.bumplessRestart;
  in.outputReinit = in.paramReload = 0;

  // 4: a setpoint jump of more than half the proportional band that the deviation has not
  // yet followed restarts the output.
  const float xp1 = w.extension ? CTRL_Gain(c.p.sets[0].xp1) : w.set.xp1;
  if (w.mode == CtrlMode::Automatic && out.rampAtTarget) {
    const float jump = w.wPercent - s.lastWPercent;
    const float xw = w.xPercent - w.wPercent;
    const float half = xp1 / 2;
    if (std::fabs(jump) > half && ((jump > 0 && xw < half) || (jump < 0 && xw > -half))) {
      w.reinit = 1;
    }
  }
  s.lastWPercent = w.wPercent;

  // A new start clears the outputs.
  if (w.reinit) {
    out.y1 = out.y2 = 0;
    out.y = 0;
    out.yout1 = out.yout2 = 0;
    s.result = 0;
  }

  // The output of the controller's kind.
  float result;
  if (!w.extension) result = plainOutput(c);
  else if (isSteppingKind(w.kind)) result = extensionStepping(c);
  else result = extensionContinuous(c);

  // The output is the next run's last output.
  in.lastY = result;
  s.takeOver = s.addStep = 0;
  w.reinit = w.paramsChanged = 0;
  w.manualEntry = w.failureEntry = w.hardManualEntry = w.y2Entry = 0;
  w.setpointJump = w.bumplessRestart = 0;
}
