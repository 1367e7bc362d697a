// Controller core: start-up, the order of one cycle, the process value, the operating
// modes, the setpoint and the output value that the modes impose.
#include "blocks/ctrl/ctrl_core.h"

#include <bit>
#include <cmath>

#include "blocks/ctrl/ctrl_steps.h"
#include "runtime/fw_image.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr float kXMax = 999999.0f;   // process value range
constexpr float kXMin = -29999.0f;
constexpr float kNoLimitStep = 32000.0f;  // ramp step of a gradient that is off
constexpr float kRatioDivisorMin = 1.0e-6f;
constexpr float kChangedHoldMs = 1600.0f;  // `xw sup` holds this long after W last moved

bool isOff(float v) { return v == FW_NO_VALUE; }

// --------------------------------------------------------------------------------------
// Mode machine helpers.

void clearModeFlags(CtrlCore& c) {
  c.w.offActive = c.out.offActive = 0;
  c.w.hardManualActive = c.out.hardManualActive = 0;
  c.w.y2Active = c.out.y2Active = 0;
  c.out.manualActive = 0;
  c.w.failureActive = c.out.failActive = 0;
}

// Leaves the current state (its flags are cleared) and enters `m` with its flags and its
// one-cycle entry flag.
void enterState(CtrlCore& c, CtrlMode m) {
  clearModeFlags(c);
  switch (m) {
    case CtrlMode::Off:
      c.w.offActive = c.out.offActive = 1;
      break;
    case CtrlMode::HardManual:
      c.w.hardManualActive = c.out.hardManualActive = 1;
      c.w.hardManualEntry = 1;
      break;
    case CtrlMode::Y2:
      c.w.y2Active = c.out.y2Active = 1;
      c.w.y2Entry = 1;
      break;
    case CtrlMode::Manual:
      c.out.manualActive = 1;
      c.w.manualEntry = 1;
      break;
    case CtrlMode::Failure:
      c.w.failureActive = c.out.failActive = 1;
      c.w.failureEntry = 1;
      if (c.w.failReaction == CTRL_FAIL_Y2_YMAN) c.out.manualActive = 1;
      break;
    default:
      break;
  }
  c.w.mode = m;
}

CtrlMode targetState(CtrlLeaveTarget t) {
  switch (t) {
    case CtrlLeaveTarget::Failure: return CtrlMode::Failure;
    case CtrlLeaveTarget::Manual: return CtrlMode::Manual;
    case CtrlLeaveTarget::Y2: return CtrlMode::Y2;
    case CtrlLeaveTarget::HardManual: return CtrlMode::HardManual;
    case CtrlLeaveTarget::Off: return CtrlMode::Off;
    default: return CtrlMode::Automatic;
  }
}

// Operator commands: a command that differs from its retained copy updates the copy and
// marks it for saving.
void syncCommand(uint8_t cmd, uint8_t& retained, uint8_t& saveFlag) {
  if (cmd != retained) {
    retained = cmd;
    saveFlag = 1;
  }
}

// --------------------------------------------------------------------------------------
// Setpoint helpers.

void restartFromX(CtrlCore& c) {
  c.out.w = c.out.x * c.w.invSFac;
  c.out.rampAtTarget = 0;
}

// The second setpoint-jump flag is set when a ramp will have to move towards `target`.
bool rampWillMove(const CtrlCore& c, float target) {
  return c.in.gradientOn &&
         ((!isOff(c.p.grwDown) && target < c.out.w) || (!isOff(c.p.grwUp) && c.out.w < target));
}

void setpointReset(CtrlCore& c) {
  if (c.in.setpointReset && c.in.gradientOn && !c.in.wStop && !c.out.xFault) {
    restartFromX(c);
    c.w.setpointJump = c.w.bumplessRestart = 1;
    c.in.setpointReset = 0;
  }
}

void storeInternalSetpoint(CtrlCore& c, float v) {
  c.in.wi = c.in.newWi = c.r.wi = v;
  c.w.saveWi = 1;
}

// --------------------------------------------------------------------------------------
// Stored form of the retained record.

void putF32(uint8_t* p, float v) { FW_PutU32(p, std::bit_cast<uint32_t>(v)); }
float getF32(const uint8_t* p) { return std::bit_cast<float>(FW_GetU32(p)); }

enum : size_t {
  kRetOff = 0, kRetHard = 1, kRetY2 = 2, kRetManual = 3, kRetInternal = 4, kRetW2 = 5,
  kRetSet = 6, kRetResHeat = 7, kRetResCool = 8, kRetSpare0 = 9, kRetWi = 10, kRetTuHeat = 14,
  kRetVmaxHeat = 18, kRetSpare1 = 22, kRetTuCool = 26, kRetVmaxCool = 30,
};

}  // namespace

float CTRL_Clamp(float x, float low, float high) {
  if (x < low) return low;
  if (x > high) return high;
  return x;
}

void CTRL_PackConfig(const CtrlConfigFields& f, CtrlConfig& c) {
  c.word0 = static_cast<uint16_t>(f.kind << 8 | (f.cType & 15) << 4 | (f.spFunc & 15));
  c.word1 = static_cast<uint16_t>((f.direct & 15) << 12 | (f.dOnX & 15) << 8 |
                                  (f.failReaction & 15) << 4);
  c.word2 = 0;
  c.word3 = static_cast<uint16_t>((f.ovc & 15) << 4);
  c.word4 = static_cast<uint16_t>((f.track & 15) << 12);
  c.word5 = static_cast<uint16_t>((f.ratio & 15) << 12 | (f.xdp & 15));
  c.word6 = static_cast<uint16_t>((f.oMode & 15) << 12 | (f.oCond & 15) << 4 |
                                  (f.setSelect & 15));
  c.word7 = 0;
}

void CTRL_RetainedToBytes(const CtrlRetained& r, uint8_t* b) {
  b[kRetOff] = r.offCmd;
  b[kRetHard] = r.hardManualCmd;
  b[kRetY2] = r.y2Cmd;
  b[kRetManual] = r.manualCmd;
  b[kRetInternal] = r.internalCmd;
  b[kRetW2] = r.w2Cmd;
  b[kRetSet] = r.paramSet;
  b[kRetResHeat] = r.optResultHeat;
  b[kRetResCool] = r.optResultCool;
  b[kRetSpare0] = r.spare0;
  putF32(b + kRetWi, r.wi);
  putF32(b + kRetTuHeat, r.tuHeat);
  putF32(b + kRetVmaxHeat, r.vmaxHeat);
  for (size_t i = 0; i < 4; ++i) b[kRetSpare1 + i] = r.spare1[i];
  putF32(b + kRetTuCool, r.tuCool);
  putF32(b + kRetVmaxCool, r.vmaxCool);
}

void CTRL_RetainedFromBytes(const uint8_t* b, CtrlRetained& r) {
  r.offCmd = b[kRetOff];
  r.hardManualCmd = b[kRetHard];
  r.y2Cmd = b[kRetY2];
  r.manualCmd = b[kRetManual];
  r.internalCmd = b[kRetInternal];
  r.w2Cmd = b[kRetW2];
  r.paramSet = b[kRetSet];
  r.optResultHeat = b[kRetResHeat];
  r.optResultCool = b[kRetResCool];
  r.spare0 = b[kRetSpare0];
  r.wi = getF32(b + kRetWi);
  r.tuHeat = getF32(b + kRetTuHeat);
  r.vmaxHeat = getF32(b + kRetVmaxHeat);
  for (size_t i = 0; i < 4; ++i) r.spare1[i] = b[kRetSpare1 + i];
  r.tuCool = getF32(b + kRetTuCool);
  r.vmaxCool = getF32(b + kRetVmaxCool);
}

void CTRL_RetainedToWords(const CtrlRetained& r, uint16_t* words) {
  uint8_t b[CTRL_RETAINED_BYTES];
  CTRL_RetainedToBytes(r, b);
  for (size_t i = 0; i < CTRL_RETAINED_WORDS; ++i) words[i] = FW_GetU16(b + 2 * i);
}

void CTRL_RetainedFromWords(const uint16_t* words, CtrlRetained& r) {
  uint8_t b[CTRL_RETAINED_BYTES];
  for (size_t i = 0; i < CTRL_RETAINED_WORDS; ++i) FW_PutU16(b + 2 * i, words[i]);
  CTRL_RetainedFromBytes(b, r);
}

// ---------------------------------------------------------------------------------------
// Start-up.

void CTRL_Init(CtrlInputs& in, CtrlOutputs& out, CtrlParams& params, CtrlConfig& config,
               CtrlWork& work, CtrlRetained& retained) {
  CtrlCore c{in, out, params, config, work, retained};
  // An empty range (Xn0 = Xn100, which stored projects may hold) gives no percent values
  // instead of an infinite span.
  const float range = config.xn100 - config.xn0;
  const float span = range != 0.0f ? 100.0f / range : 0.0f;
  work.span = std::isfinite(span) ? span : 0.0f;
  work.xn0 = FW_ClampValue(config.xn0);
  work.sFac = work.invSFac = 1.0f;
  if (CTRL_CType(config) == CTRL_TYPE_RATIO) {
    const float inv = 1.0f / config.sFac;
    if (std::isfinite(config.sFac) && std::isfinite(inv) && config.sFac != 0.0f) {
      work.sFac = config.sFac;
      work.invSFac = inv;
    }
  }
  CTRL_InitModes(c);
  CTRL_SetpointInit(c);
  if (!work.extension) CTRL_OptInit(in, out, params, config, work, retained);
  CTRL_OutputInit(c);
  work.firstCycle = 1;
}

void CTRL_InitModes(CtrlCore& c) {
  CtrlWork& w = c.w;
  w.kind = CTRL_Kind(c.cfg);
  w.failReaction = CTRL_FailReaction(c.cfg);
  clearModeFlags(c);
  w.pOnly = w.optRequested = w.optHolds = w.optManual = 0;
  w.manualEntry = w.failureEntry = w.hardManualEntry = w.y2Entry = 0;
  w.leaveTarget = CtrlLeaveTarget::None;
  c.in.manualCmd = c.in.y2Cmd = c.in.hardManualCmd = c.in.offCmd = c.in.pOnlyCmd = 0;
  c.in.dManual = c.in.dY2 = c.in.dHardManual = c.in.dOff = c.in.dPOnly = 0;
  c.out.pOnlyActive = 0;
  c.out.optRun = c.out.optStable = c.out.optError = 0;
  w.prevOptRun = 0;
  w.reinit = 1;
  w.setSwitching = 1;
  w.setReload = 1;
  // The first retained command that is set decides the state.
  if (c.r.offCmd) {
    enterState(c, CtrlMode::Off);
    c.in.offCmd = 1;
  } else if (c.r.hardManualCmd) {
    enterState(c, CtrlMode::HardManual);
    c.in.hardManualCmd = 1;
  } else if (c.r.y2Cmd) {
    enterState(c, CtrlMode::Y2);
    c.in.y2Cmd = 1;
  } else if (c.r.manualCmd) {
    enterState(c, CtrlMode::Manual);
    c.in.manualCmd = 1;
  } else {
    enterState(c, CtrlMode::Automatic);
  }
}

void CTRL_SetpointInit(CtrlCore& c) {
  c.in.wi = c.in.newWi = c.r.wi;
  c.in.w2Cmd = c.r.w2Cmd;
  c.in.internalCmd = c.r.internalCmd;
  c.w.rampStart = !isOff(c.p.grwUp) || !isOff(c.p.grwDown);
  c.w.w2Start = !isOff(c.p.grw2);
  CTRL_GradientSteps(c);
  c.w.w2Carry = c.w.downCarry = c.w.upCarry = 0;
  c.out.setpointChanged = 1;
}

void CTRL_GradientSteps(CtrlCore& c) {
  const float perCycle = c.w.dt / 60.0f;
  auto step = [perCycle](float g) { return isOff(g) ? kNoLimitStep : perCycle * g; };
  c.w.w2Step = step(c.p.grw2);
  c.w.downStep = step(c.p.grwDown);
  c.w.upStep = step(c.p.grwUp);
  c.in.gradientMarker = 0;
  c.out.rampAtTarget = 0;
}

// ---------------------------------------------------------------------------------------
// One cycle.

void CTRL_Cycle(CtrlInputs& in, CtrlOutputs& out, CtrlParams& params, CtrlConfig& config,
                CtrlWork& work, CtrlRetained& retained) {
  CtrlCore c{in, out, params, config, work, retained};
  CTRL_ProcessValue(c);
  CTRL_ModeMachine(c);
  CTRL_Setpoint(c);

  const float xp = CTRL_Bounded((out.x - work.xn0) * work.span * work.ratioDivisor);
  const float wp =
      CTRL_Bounded((work.sFac * out.w - work.xn0) * work.span * work.ratioDivisor);
  work.xPercent = out.xPercent = xp;
  work.wPercent = out.wPercent = wp;
  work.devStep = std::fabs(work.prevXwPercent - (wp - xp)) > 0.25f;

  if (!work.extension) CTRL_SelectParamSet(in, out, params, config, work, retained);

  out.xw = out.x - work.sFac * out.w;
  out.faultSummary = out.xFault || out.cascadeFault;
  work.prevXwPercent = wp - xp;

  CTRL_OutputStage(c);

  out.xw = FW_ClampValue(out.xw * work.invSFac);
  out.x = CTRL_Clamp(out.x * work.invSFac, kXMin, kXMax);
  work.firstCycle = 0;
}

void CTRL_ProcessValue(CtrlCore& c) {
  const float x1 = CTRL_In(c.in.x1), x2 = CTRL_In(c.in.x2), x3 = CTRL_In(c.in.x3);
  c.w.ratioDivisor = 1.0f;
  float x = x1;
  switch (CTRL_CType(c.cfg)) {
    case CTRL_TYPE_RATIO: {
      const uint8_t formula = CTRL_RatioType(c.cfg);
      float divisor = formula == CTRL_RATIO_TYPE2 ? x1 + x2 : x2;
      if (std::fabs(divisor) < kRatioDivisorMin) divisor = kRatioDivisorMin;
      const float numerator = formula == CTRL_RATIO_TYPE3 ? x2 - x1 + c.p.n0 : x1 + c.p.n0;
      x = numerator / divisor;
      c.w.ratioDivisor = divisor;
      break;
    }
    case CTRL_TYPE_THREE_ELEMENT:
      x = x1 + c.p.a * (x2 - x3);
      break;
    default:
      break;
  }
  c.out.x = CTRL_Clamp(FW_ClampValue(x), kXMin, kXMax);
}

CtrlOutputMode CTRL_DecidingMode(const CtrlWork& w) {
  switch (w.mode) {
    case CtrlMode::Off: return CtrlOutputMode::Off;
    case CtrlMode::HardManual: return CtrlOutputMode::HardManual;
    case CtrlMode::Y2: return CtrlOutputMode::Y2;
    case CtrlMode::Manual: return CtrlOutputMode::Manual;
    case CtrlMode::Failure: return CtrlOutputMode::Failure;
    default: return w.optManual ? CtrlOutputMode::Manual : CtrlOutputMode::Automatic;
  }
}

void CTRL_ModeMachine(CtrlCore& c) {
  CtrlInputs& in = c.in;
  CtrlOutputs& out = c.out;
  CtrlWork& w = c.w;
  out.xFault = in.dXFault ? 1 : 0;
  if (w.kind < CTRL_KIND_TWO_POINT) {  // signal outputs: no manual modes, no optimisation
    in.manualCmd = in.y2Cmd = in.hardManualCmd = in.optStart = 0;
    in.dManual = in.dY2 = in.dHardManual = 0;
  } else if (w.kind == CTRL_KIND_STEPPING) {
    in.hardManualCmd = in.y2Cmd = 0;
    in.dHardManual = in.dY2 = 0;
  }
  w.pOnlyCmd = in.pOnlyCmd;
  w.pOnly = out.pOnlyActive = (in.dPOnly || in.pOnlyCmd) ? 1 : 0;

  const bool off = in.dOff || in.offCmd;
  const bool hard = in.dHardManual || in.hardManualCmd;
  const bool y2 = in.dY2 || in.y2Cmd;
  const bool manual = in.dManual || in.manualCmd;
  const bool fault = out.xFault;
  const bool start = in.optStart;
  const bool optRunFell = w.prevOptRun && !out.optRun;

  // The state a plain mode request leads to, in priority order, or Automatic.
  auto requested = [&]() {
    if (off) return CtrlMode::Off;
    if (hard) return CtrlMode::HardManual;
    if (y2) return CtrlMode::Y2;
    if (manual) return CtrlMode::Manual;
    if (fault) return CtrlMode::Failure;
    return CtrlMode::Automatic;
  };
  auto leave = [&](CtrlLeaveTarget t) {
    w.mode = CtrlMode::Leaving;
    w.leaveTarget = t;
    w.optRequested = 0;
  };

  const CtrlMode before = w.mode;
  bool keepStart = false;  // a transition that leaves the start request standing
  switch (before) {
    case CtrlMode::Automatic: {
      const CtrlMode next = requested();
      if (next != CtrlMode::Automatic) {
        enterState(c, next);
      } else if (start) {
        w.mode = CtrlMode::Optimisation;
        w.optRequested = 1;
        w.setSwitching = 0;
      }
      break;
    }
    case CtrlMode::Optimisation:
    case CtrlMode::OptFailed:
      if (off) leave(CtrlLeaveTarget::Off);
      else if (hard) leave(CtrlLeaveTarget::HardManual);
      else if (y2) leave(CtrlLeaveTarget::Y2);
      else if (manual) leave(CtrlLeaveTarget::Manual);
      else if (fault) leave(CtrlLeaveTarget::Failure);
      else if (!start) leave(CtrlLeaveTarget::Automatic);
      else if (before == CtrlMode::Optimisation && out.optError) {
        w.mode = CtrlMode::OptFailed;  // held until the start request is withdrawn
        keepStart = true;
      } else if (before == CtrlMode::Optimisation && optRunFell) {
        enterState(c, CtrlMode::Automatic);
        in.optStart = 0;
        w.optRequested = 0;
        in.dManual = 0;
        w.setSwitching = w.setReload = 1;
      }
      break;
    case CtrlMode::Failure:
      if (off || hard || y2) {
        enterState(c, requested());
        w.reinit = 1;
      } else if (manual) {
        enterState(c, CtrlMode::Manual);
      } else if (!fault) {
        enterState(c, CtrlMode::Automatic);
        w.reinit = 1;
      }
      break;
    case CtrlMode::Manual:
      if (off || hard || y2) {
        enterState(c, requested());
      } else if (!in.dManual && start && !fault) {
        // Start from manual: the manual indication stays until the optimisation ends.
        in.manualCmd = 0;
        w.mode = CtrlMode::Optimisation;
        w.optRequested = 1;
        w.setSwitching = 0;
      } else if (!in.dManual && !in.manualCmd) {
        enterState(c, fault ? CtrlMode::Failure : CtrlMode::Automatic);
      }
      break;
    case CtrlMode::Y2:
      if (off || hard || !y2) enterState(c, requested());
      break;
    case CtrlMode::HardManual:
      if (off || !hard) enterState(c, requested());
      break;
    case CtrlMode::Off:
      if (!off) {
        enterState(c, requested());
        w.reinit = 1;
      }
      break;
    case CtrlMode::Leaving:
      if (!out.optRun) {
        enterState(c, targetState(w.leaveTarget));
        w.leaveTarget = CtrlLeaveTarget::None;
        w.setSwitching = w.setReload = 1;
      }
      break;
  }

  // The start request survives only the step into the optimisation (and its failing);
  // the manual-like states and the leaving state drop it every cycle.
  const bool moved = w.mode != before;
  if (moved && w.mode != CtrlMode::Optimisation && !keepStart) in.optStart = 0;
  switch (w.mode) {
    case CtrlMode::Manual:
    case CtrlMode::Y2:
    case CtrlMode::HardManual:
    case CtrlMode::Off:
    case CtrlMode::Leaving:
      in.optStart = 0;
      break;
    default:
      break;
  }
  w.prevOptRun = out.optRun;

  syncCommand(in.offCmd, c.r.offCmd, w.saveOffCmd);
  syncCommand(in.hardManualCmd, c.r.hardManualCmd, w.saveHardManualCmd);
  syncCommand(in.y2Cmd, c.r.y2Cmd, w.saveY2Cmd);
  syncCommand(in.manualCmd, c.r.manualCmd, w.saveManualCmd);
}

void CTRL_Setpoint(CtrlCore& c) {
  CtrlInputs& in = c.in;
  CtrlOutputs& out = c.out;
  CtrlWork& w = c.w;
  const CtrlParams& p = c.p;

  // 1, 2: store and load requests.
  if (in.setpointStore) {
    c.r.wi = in.wi = in.newWi;
    w.saveWi = 1;
    in.setpointStore = 0;
  }
  if (in.setpointLoad) {
    if (in.setpointLoad == 2) {
      in.newWi = c.r.wi = in.wi;
      w.saveWi = 1;
      if (out.internalActive && !out.w2Active) {
        w.setpointJump = 1;
        if (rampWillMove(c, in.wi)) w.bumplessRestart = 1;
      }
    }
    in.setpointLoad = 0;
  }
  // A changed setpoint restarts the ramp.
  if (in.rampRestart || in.wextChanged || in.wi != out.lastWi) out.rampAtTarget = 0;
  in.rampRestart = 0;
  out.lastWi = in.wi;
  if (in.gradientMarker) CTRL_GradientSteps(c);

  // The setpoint sources of the last run.
  const bool prevW2 = w.firstCycle ? (in.dW2 || in.w2Cmd) : out.w2Active;
  const bool prevInternal = w.firstCycle ? (in.dInternal || in.internalCmd) : out.internalActive;

  // The setpoint source of this run.
  CTRL_SetpointSource(c);
  const bool w2Active = in.dW2 || in.w2Cmd;
  out.w2Active = w2Active;
  if (w2Active != prevW2) {
    out.rampAtTarget = 0;
    w.setpointJump = 1;
    if (in.gradientOn && !isOff(p.grw2)) w.bumplessRestart = 1;
  }
  out.cascadeFault = 0;

  const bool xFault = out.xFault;
  const bool xFaultEnded = w.prevXFault && !xFault;
  const bool gradient = in.gradientOn;
  const bool wStop = in.wStop;

  if (w2Active) {
    // 8: second setpoint W2.
    if (!wStop) {
      if (!prevW2 || w.w2Start || xFaultEnded) restartFromX(c);
      w.w2Start = 0;
    }
    setpointReset(c);
    if (gradient && !wStop && !out.rampAtTarget) {
      const float s = w.w2Step, k = w.w2Carry, last = out.w;
      out.w = CTRL_Clamp(p.w2, last - s - k, last + s + k);
      w.w2Carry = k + s - std::fabs(out.w - last);
      CTRL_SetpointTrack(c, p.w2);
      out.rampAtTarget = out.w == p.w2;
    } else if (!gradient && !wStop) {
      out.w = p.w2;
    }
  } else {
    // 9: internal, external or cascade setpoint.
    if (CTRL_SpFunc(c.cfg) == CTRL_SP_CASCADE) {
      CTRL_CascadeSetpoint(c, prevW2, prevInternal);
    } else {
      out.internalActive = 1;
      w.rampTarget = in.wi;
      if (prevW2 && !wStop) {
        out.w = xFault ? in.wi : out.x * w.invSFac;
        w.downCarry = w.upCarry = 0;
      }
    }
    if (!wStop) {
      if (xFaultEnded || (w.prevCascadeFault && !out.cascadeFault)) restartFromX(c);
      if (w.rampStart) {
        restartFromX(c);
        w.rampStart = 0;
      }
    }
    w.rampTarget = CTRL_Clamp(w.rampTarget, p.w0, p.w100);
    setpointReset(c);
    const float target = w.rampTarget;
    if (gradient && !wStop && !out.rampAtTarget) {
      const float last = out.w;
      out.w = CTRL_Clamp(target, last - (w.downStep + w.downCarry), last + (w.upStep + w.upCarry));
      const float moved = std::fabs(out.w - last);
      if (out.w > target) w.downCarry += w.downStep - moved;
      else if (out.w < target) w.upCarry += w.upStep - moved;
      if (out.internalActive) CTRL_SetpointTrack(c, target);
      out.rampAtTarget = out.w == w.rampTarget;
    } else if (!gradient && !wStop) {
      out.w = target;
    }
  }

  // 10: fault states for the has-just-ended tests of the next cycle.
  w.prevXFault = xFault;
  w.prevCascadeFault = out.cascadeFault;

  // 11: status bits.
  uint8_t bits = 0;
  if (out.w2Active) bits |= CTRL_SPS_W2;
  if (out.internalActive) bits |= CTRL_SPS_INTERNAL;
  if (wStop) bits |= CTRL_SPS_WSTOP;
  if (gradient && !wStop && !out.rampAtTarget && !xFault && !out.cascadeFault) bits |= CTRL_SPS_RAMP;
  if (in.dTrack && CTRL_Track(c.cfg) != CTRL_TRACK_OFF) bits |= CTRL_SPS_TRACK;
  out.setpointStatus = bits;

  // 12: `xw sup` holds for 1.6 s after the last change of W.
  if (out.w != w.lastW) {
    out.setpointChanged = 1;
    w.changedTimer = 0;
  }
  w.lastW = out.w;
  if (out.setpointChanged) {
    w.changedTimer += w.dt * 1000.0f;
    if (w.changedTimer > kChangedHoldMs) {
      out.setpointChanged = 0;
      w.changedTimer = 0;
    }
  }

  // The one-run flags are cleared.
  in.wextChanged = 0;
  in.setpointReset = 0;
  w.lastX3 = CTRL_In(in.x3);
}

void CTRL_SetpointSource(CtrlCore& c) {
  if (c.in.w2Cmd != c.r.w2Cmd && !c.in.dW2) {
    c.r.w2Cmd = c.in.w2Cmd;
    c.w.saveW2Cmd = 1;
  }
}

void CTRL_CascadeSetpoint(CtrlCore& c, bool prevW2, bool prevInternal) {
  CtrlInputs& in = c.in;
  CtrlOutputs& out = c.out;
  CtrlWork& w = c.w;
  const bool wStop = in.wStop;

  // The internal-setpoint command is retained.
  if (in.internalCmd != c.r.internalCmd && !in.dInternal) {
    c.r.internalCmd = in.internalCmd;
    w.saveInternalCmd = 1;
  }
  const bool internal = in.dInternal || in.internalCmd;
  out.internalActive = internal;

  bool spTrackChangeover = false;
  if (internal) {
    // 2: internal setpoint; on the change-over from external the setpoint may track.
    const uint8_t track = CTRL_Track(c.cfg);
    if (in.dTrack && track != CTRL_TRACK_OFF && !prevInternal) {
      if (track == CTRL_TRACK_PV) {
        if (!out.xFault && !wStop) storeInternalSetpoint(c, out.x * w.invSFac);
        w.bumplessRestart = 1;
      } else if (track == CTRL_TRACK_SP) {
        if (!w.prevCascadeFault) storeInternalSetpoint(c, out.w);
        spTrackChangeover = true;
      }
      w.saveWi = 1;
    }
    w.rampTarget = in.wi;
  } else {
    // 3: external setpoint.
    const float x3 = CTRL_In(in.x3);
    w.rampTarget = CTRL_In(in.wext);
    if (w.x3Wired && x3 == w.lastX3 && in.wextChanged && !wStop) CTRL_SetpointTrack(c, x3);
    else w.trackOnce = 0;
    out.cascadeFault = in.cascadeFault ? 1 : 0;
  }

  // 4: a change of source restarts W.
  if (!wStop && (prevW2 || internal != prevInternal) && !spTrackChangeover) {
    out.w = out.xFault ? w.rampTarget : out.x * w.invSFac;
    out.rampAtTarget = 0;
    w.setpointJump = 1;
    if (rampWillMove(c, w.rampTarget)) w.bumplessRestart = 1;
  }
}

void CTRL_SetpointTrack(CtrlCore& c, float a) {
  CtrlWork& w = c.w;
  CtrlOutputs& out = c.out;
  const float band = CTRL_CType(c.cfg) == CTRL_TYPE_THREE_ELEMENT ? 1.0f : c.p.a;
  w.trackBand = band;
  float b;
  if (out.internalActive) {
    b = out.w;
    w.trackOnce = 0;
  } else {
    b = CTRL_In(c.in.wext);
  }
  const float x = out.x;
  if ((a < b && b < a + 2 * band && x < a + band) || (a > b && b > a - 2 * band && x > a - band)) {
    out.w = a;
    if (a == CTRL_In(c.in.x3) && !out.internalActive) w.rampTarget = a;
    if (!w.trackOnce) w.setpointJump = w.bumplessRestart = 1;
    w.trackOnce = 1;
  }
}

// ---------------------------------------------------------------------------------------
// Output value by mode.

void CTRL_ModeValue(CtrlCore& c) {
  CtrlInputs& in = c.in;
  CtrlWork& w = c.w;
  CtrlOutputState& s = w.out;
  const CtrlParams& p = c.p;

  // 1: manual step, faster the longer inc or dec is held.
  const bool inc = in.incCmd || in.dInc;
  const bool dec = in.decCmd || in.dDec;
  s.holdTime = (inc || dec) ? s.holdTime + w.dt : 0.0f;
  float step = w.dt + 0.0001f;
  if (s.holdTime > 6.0f) step *= 10.0f;
  else if (s.holdTime > 3.0f) step *= 2.5f;
  s.step = step;

  // 2: output limits, narrowed by the override inputs.
  float upper = p.ymax, lower = p.ymin;
  if (!w.optHolds) {
    const float ovcPlus = CTRL_In(in.ovcPlus), ovcMinus = CTRL_In(in.ovcMinus);
    switch (s.ovcMode) {
      case CTRL_OVC_PLUS:
        upper = CTRL_Clamp(ovcPlus, p.ymin + 1, p.ymax);
        lower = upper < p.ymin ? upper - 1 : p.ymin;
        break;
      case CTRL_OVC_MINUS:
        upper = p.ymax;
        lower = CTRL_Clamp(ovcMinus, std::fmin(p.ymin, p.ymax - 1), p.ymax - 1);
        break;
      case CTRL_OVC_BOTH:
        upper = CTRL_Clamp(ovcPlus, p.ymin + 1, p.ymax);
        lower = CTRL_Clamp(ovcMinus, std::fmin(p.ymin, upper - 1), upper - 1);
        break;
      default:
        break;
    }
  }
  if (lower > upper) lower = upper;

  // 3: the value.
  const CtrlOutputMode mode = CTRL_DecidingMode(w);
  s.manualLike = mode != CtrlOutputMode::Automatic;
  bool stepping = false;
  auto manualValue = [&]() {
    float y = s.takeOver ? in.lastY : s.modeValue;
    if (inc) y += step;
    if (dec) y -= step;
    if (s.addStep) y += in.optStep;
    stepping = inc || dec;
    return y;
  };
  float y = in.lastY;
  switch (mode) {
    case CtrlOutputMode::Off:
      upper = lower = 0;
      y = 0;
      w.reinit = 1;
      break;
    case CtrlOutputMode::HardManual:
      y = CTRL_In(in.yhm);
      break;
    case CtrlOutputMode::Y2:
      y = p.y2;
      break;
    case CtrlOutputMode::Manual:
      y = manualValue();
      break;
    case CtrlOutputMode::Failure:
      switch (w.failReaction) {
        case CTRL_FAIL_YMIN: y = lower; break;
        case CTRL_FAIL_YMAX: y = upper; break;
        case CTRL_FAIL_Y2: y = p.y2; break;
        case CTRL_FAIL_Y2_YMAN: y = w.failureEntry ? p.y2 : manualValue(); break;
        default:
          upper = lower = 0;
          y = 0;
          w.reinit = 1;
          break;
      }
      break;
    case CtrlOutputMode::Automatic:
      break;  // the control algorithm replaces the last Y
  }

  // 4: within the limits; manual stepping moves one step per cycle and snaps to 0.
  if (stepping) {
    y = CTRL_Clamp(y, in.lastY - step, in.lastY + step);
    if (std::fabs(y) < step) y = 0;
  }
  y = CTRL_Clamp(FW_ClampValue(y), lower, upper);

  // The limits and the output for the display.
  s.upper = upper;
  s.lower = lower;
  s.modeValue = y;
  s.lastYRounded = std::round(y * 10.0f) / 10.0f;
  s.offset = CTRL_Bounded(CTRL_In(in.yadd) + p.y0);
}
