// PIDMA extension: the hand-over of the parameters, the PID step with setpoint weights, a
// filtered D part and a back-calculated integral, the pulse-test identification with its
// model and its proposal from the tuning table, and the adoption of the proposal.
#include "blocks/ctrl/ctrl_ext.h"

#include <cmath>

#include "blocks/ctrl/ctrl_steps.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr float kSlopeFilterCycles = 30;  // time of the two slope filters, in cycles

// Tuning table, values as stored: R[0..12] by structure (PI, PID), process type (static,
// integral) and speed (slow, norm, fast). R[12] is used for PID only.
constexpr float kTuning[12][13] = {
    // PI, static
    {0.41071f, -3.9672f, 22.937f, -35.847f, 20.778f, 0.34044f, 1.675f, -3.0768f, 5.7897f,
     -3.7928f, 0, 0.8f, 0},
    {0.32199f, -4.1097f, 26.399f, -41.351f, 23.047f, 0.30482f, -1.0167f, 10.328f, -15.289f,
     6.4194f, 0, 0.8f, 0},
    {0.28158f, -1.4656f, 11.879f, -16.92f, 10.397f, 0.24423f, 2.7278f, -8.1765f, 14.094f,
     -8.6601f, 0, 0.8f, 0},
    // PI, integral
    {0.44206f, -0.20027f, 1.1301f, -1.4172f, 1.184f, 4.2858f, -0.12626f, 0.48793f, -0.52231f,
     0.1575f, 0, 0.4f, 0},
    {0.48385f, 0.12644f, -0.056234f, 0.21254f, 0.54521f, 3.6846f, 0.21681f, -0.84411f, 1.3946f,
     -0.75969f, 0, 0.35f, 0},
    {0.53788f, -0.15448f, 1.0666f, -1.4112f, 1.3573f, 3.4047f, 0.026631f, -0.13368f, 0.40747f,
     -0.34532f, 0, 0.3f, 0},
    // PID, static
    {0.51782f, -3.6155f, 21.496f, -31.578f, 16.671f, 0.40386f, 1.3965f, -1.8948f, 2.8729f,
     -2.3113f, 2, 0.3f, 0.202f},
    {0.42871f, -2.4274f, 17.126f, -23.311f, 11.776f, 0.39898f, -0.50608f, 6.01f, -8.4416f,
     2.4547f, 4, 0, 0.2229f},
    {0.43882f, -1.9978f, 14.195f, -19.057f, 10.53f, 0.30555f, 3.6707f, -12.49f, 20.654f,
     -12.986f, 8, 0, 0.2355f},
    // PID, integral
    {0.39032f, 1.2472f, -0.16404f, -2.1899f, 3.4223f, 3.8314f, -3.0383f, 7.0358f, -5.8216f,
     1.0268f, 2, 0, 0.202f},
    {0.37339f, 5.3763f, -15.944f, 21.858f, -8.4492f, 4.442f, -6.5756f, 19.431f, -22.186f,
     8.0837f, 4, 0, 0.22229f},
    {0.70028f, 1.5417f, -5.0322f, 10.316f, -4.2884f, 2.2215f, -1.1895f, 3.3026f, -2.0923f,
     -1.015f, 8, 0, 0.2355f},
};

const float* tuningRow(int32_t structure, int32_t processType, int32_t speed) {
  const int pid = structure == CTRL_STRUCT_PID ? 1 : 0;
  const int integral = processType == CTRL_PTYPE_INTEGRAL ? 1 : 0;
  const int v = speed <= 1 ? 0 : speed >= 3 ? 2 : 1;
  return kTuning[(pid * 2 + integral) * 3 + v];
}

float finiteOr(float v, float fallback) { return std::isfinite(v) ? v : fallback; }
bool finite(float a, float b, float c) {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c);
}
bool hasIntegral(int32_t structure) {
  return structure == CTRL_STRUCT_PI || structure == CTRL_STRUCT_PID;
}
bool isKind7(const CtrlExtension& x) { return x.stage == CTRL_STAGE_STEPPING; }
bool isKind8(const CtrlExtension& x) { return x.stage == CTRL_STAGE_STEP_YP; }

// Three decimals, as the block stores adopted values.
float round3(float v) { return std::trunc(v * 1000.0f + 0.5f) / 1000.0f; }

void fail(CtrlExtension& x, int32_t code) {
  x.error = code;
  x.state = CTRL_ID_ERROR;
}

// The two slope filters in series; gives the slope of their input per second.
float slopeOf(CtrlExtension& x, float v) {
  x.f1 = x.alpha * x.f1 + (1 - x.alpha) * v;
  x.f2 = (1 - x.alpha) * x.f1 + x.alpha * x.f2;
  return (x.f1 - x.f2) / x.filterTime;
}

// ---------------------------------------------------------------------------------------
// PID step: W and X in engineering units; returns the controller output u.

float pidStep(CtrlExtension& x) {
  const float b0 = x.bPrev, p0 = x.pGainPrev;
  x.bPrev = x.b;
  x.pGainPrev = x.pGain;
  const float wf0 = x.wf, xf0 = x.xf;
  x.wf = x.a1 * wf0 + x.oneMinusA1 * x.w;
  x.xf = x.a1 * xf0 + x.oneMinusA1 * x.x;
  float e = x.w - x.x;
  if (std::fabs(e) < x.deadBand || (isKind7(x) && x.pulseActive)) e = 0;
  if (isKind7(x)) {
    // The integral of the stepping stage leaves as an increment; the stage turns it into
    // motor run time.
    const float i = x.iGain * e;
    x.lastIncrement = (x.manualLike || x.state > CTRL_ID_NOISE) ? 0.0f : (x.prevI + i) * x.halfStep;
    x.prevI = i;
    e = 0;
  }
  // Back-calculation of the output actually applied.
  const float g = x.manualLike ? x.manualTrackGain : x.trackGain;
  const float r = CTRL_Bounded((x.feedback - x.prevU) * g + x.iGain * e);
  const float p = (x.b * x.w - x.x) * x.pGain;
  if (x.iOn > 0) {
    // Trapezoidal rule; a change of Kp or bW_p moves into the integral, so u does not jump.
    x.integral = CTRL_Bounded(x.integral + (x.prevIntegrand + r) * x.halfStep +
                              (b0 * x.w - x.x) * p0 - p);
  } else {
    x.integral = 0;
  }
  x.prevIntegrand = r;
  const float d = ((x.w - wf0) * x.c - (x.x - xf0)) * x.dGain;
  x.prevU = CTRL_Bounded(x.integral + p + d + x.offset);
  return x.prevU;
}

// ---------------------------------------------------------------------------------------
// Identification states. C is the extension's output.

void enter(CtrlExtension& x, int32_t state) {
  x.state = state;
  x.entry = 1;
}

// State 2: noise and drift of the process at rest, and the trend for the step.
void noiseAndDrift(CtrlExtension& x, float& C, float u) {
  if (x.entry) {
    x.entry = 0;
    x.counter = 0;
    x.q = x.st = x.st2 = x.sv = x.stv = 0;
    const int32_t n = FW_FloatToI32((x.tnoise + x.tdrift) / x.dt);
    x.windowEnd = n < 15 ? 15 : n;
    const int32_t m = FW_FloatToI32(x.tdrift / x.dt);
    x.extremesFrom = (m >= x.windowEnd || m <= 10) ? 10 : m;
    x.f1 = x.f2 = x.x;
    x.timeShown = -1;
    x.progress = CTRL_PROGRESS_NOISE;
  }
  const int32_t k = x.counter;
  const float t = static_cast<float>(k) * x.dt;
  float v = x.x;
  if (!x.fromManual) v = C = u;  // the controller stays in control
  x.q += 1;
  x.st += t;
  x.st2 += t * t;
  x.sv += v;
  x.stv += t * v;
  x.counter = k + 1;
  const float slope = slopeOf(x, x.x);
  if (x.counter == x.extremesFrom) {
    x.xHigh = x.xLow = x.x;
    x.slopeHigh = x.slopeLow = slope;
  } else if (x.counter > x.extremesFrom) {
    x.xHigh = std::fmax(x.xHigh, x.x);
    x.xLow = std::fmin(x.xLow, x.x);
    x.slopeHigh = std::fmax(x.slopeHigh, slope);
    x.slopeLow = std::fmin(x.slopeLow, slope);
  }
  if (x.counter <= x.windowEnd) return;

  x.slopeNoise = (x.slopeHigh - x.slopeLow) / 2;
  x.noise = (x.xHigh - x.xLow) / 2;
  const float count = x.q;
  const float den = count * x.st2 - x.st * x.st;
  x.driftSlope = (count * x.stv - x.st * x.sv) / den;
  x.intercept = (x.st2 * x.sv - x.st * x.stv) / den;
  x.predictedEnd = (x.tnoise + x.tdrift) * x.driftSlope + x.intercept;
  if (!(den > 0) || !finite(x.driftSlope, x.intercept, x.predictedEnd)) {
    fail(x, CTRL_EXT_ERR_MODEL);  // no line through the samples
  } else if (x.xlimit < 5 * x.noise) {
    fail(x, CTRL_EXT_ERR_NOISE);
  } else if (isKind7(x)) {
    enter(x, CTRL_ID_PULSE);
  } else if (FW_Within((x.fromManual ? C : x.predictedEnd) + x.dYopt, x.lower, x.upper)) {
    enter(x, CTRL_ID_PULSE);
  } else {
    fail(x, CTRL_EXT_ERR_LIMITS);
  }
}

// End of the decay: the exponential fit of ln y over t.
void endOfDecay(CtrlExtension& x, float t) {
  x.endTime = t;
  x.progress = 0;
  x.timeShown = 0;
  x.decayRunning = 0;
  const float den = x.q * x.st2 - x.st * x.st;
  const float sigma = (x.q * x.stv - x.st * x.sv) / den;
  const float T = sigma < 0 ? -1 / sigma : 1.0f;
  const float A = std::exp((x.st2 * x.sv - x.st * x.stv) / den);
  if (x.q - 1 < 10 || !(den > 0) || !(sigma < 0) || !finite(sigma, T, A)) {
    return fail(x, CTRL_EXT_ERR_DECAY);
  }
  x.decayT = T;
  x.decayA = A;
  x.state = CTRL_ID_MODEL;
}

// State 3: the pulse of dYopt, the response until it has decayed.
void pulseResponse(CtrlExtension& x, float& C) {
  if (x.entry) {
    x.entry = 0;
    if (x.fromManual) {
      x.x0 = x.predictedEnd;  // the drift line of X
      x.outBefore = C;
    } else {
      x.x0 = x.x;
      x.outBefore = x.predictedEnd;  // the trend of the controller output
    }
    x.stepped = 1;
    C = x.outBefore + x.dYopt;
    x.counter = 0;
    x.s0 = x.s1 = x.s2 = 0;
    x.q = x.st = x.st2 = x.sv = x.stv = 0;
    x.f1 = x.f2 = 0;
    x.yPrev = x.tPrev = 0;
    x.waitResponse = 1;
    x.waitMax = x.decayRunning = 0;
    x.progress = CTRL_PROGRESS_STEP;
    x.timeShown = -1;
  }
  // 2: the response, positive when X moves as the step should move it.
  const float t = static_cast<float>(x.counter) * x.dt;
  const float xc = (x.drift && x.fromManual) ? x.x - t * x.driftSlope : x.x;
  const bool along = x.direct ? x.dYopt < 0 : x.dYopt > 0;
  const float raw = along ? xc - x.x0 : x.x0 - xc;
  const float y = x.processType == CTRL_PTYPE_INTEGRAL ? slopeOf(x, raw) : raw;
  // 3: trapezoid sums of the area and the first and second moment.
  x.s0 += x.yPrev + y;
  x.s1 += x.tPrev * x.yPrev + t * y;
  x.s2 += t * t * y + x.tPrev * x.tPrev * x.yPrev;
  // The drift, outside hand mode, moves the estimate within its limits.
  if (x.drift && !x.fromManual) {
    C += x.driftSlope * x.dt;
    if (!isKind7(x) && !FW_Within(C, x.lower, x.upper)) return fail(x, CTRL_EXT_ERR_LIMITED);
  }
  // 5: the pulse ends when the response passes Xlimit.
  if (x.waitResponse) {
    if (raw > x.xlimit) {
      C -= x.dYopt;
      x.pulseLength = t;
      x.pulseEnd = y;
      if (x.fromManual && !x.drift && x.xlimit < std::fabs(x.driftSlope) * t) {
        return fail(x, CTRL_EXT_ERR_DRIFT);
      }
      x.progress = CTRL_PROGRESS_MAXIMUM;
      x.waitResponse = 0;
      x.waitMax = 1;
      x.yMax = x.slopeHigh;
      x.yMin = x.slopeLow;
    } else if (raw < -x.xlimit) {
      return fail(x, CTRL_EXT_ERR_WRONG_WAY);
    }
  }
  // 6: the maximum of the response.
  if (x.waitMax) {
    if (y > x.yMax) {
      x.yMax = y;
      x.maxCounter = x.counter;
      x.tau = x.s0 > 0 ? finiteOr((t * x.s0 - x.s1) * 3 / x.s0, 0.0f) : 0.0f;
      x.w1 = std::fmax(0.2f * x.tau, 10 * x.dt);
      x.w2 = 3 * x.w1;
      x.timeShown = 1.2f * x.tau + 3 * x.w1;
    } else if (y < x.yMin) {
      x.yMin = y;
    }
    const float s = static_cast<float>(x.counter - x.maxCounter) * x.dt;
    if ((s > x.w1 && y < 0.8f * x.yMax) || s > x.w2 || y < 0.6f * x.yMax) {
      x.progress = CTRL_PROGRESS_DECAY;
      x.waitMax = 0;
      if (x.processType == CTRL_PTYPE_INTEGRAL && x.yMax < 5 * x.slopeNoise) {
        return fail(x, CTRL_EXT_ERR_SLOPE);
      }
      if (x.yMin < -0.25f * x.yMax) return fail(x, CTRL_EXT_ERR_UNDERSHOOT);
      // 7: the decay window.
      const float w3 = std::fmax(0.6f * x.tau, 10 * x.dt);
      x.earliest = t + w3;
      x.latest = t + 2 * w3;
      x.timeShown = 2 * w3;
      x.decayRunning = 1;
    } else if (t > 100 * x.pulseLength) {
      return fail(x, CTRL_EXT_ERR_NO_MAXIMUM);
    }
  }
  // 8: the decay enters a straight-line fit of ln y.
  if (x.decayRunning) {
    if (y > 0.2f * x.yMax && y > 0) {
      const float ly = std::log(y);
      x.q += 1;
      x.st += t;
      x.st2 += t * t;
      x.sv += ly;
      x.stv += t * ly;
    }
    if ((t >= x.earliest && y < 0.6f * x.yMax) || y <= 0.2f * x.yMax || t > x.latest) {
      endOfDecay(x, t);
    }
  }
  // The time shown counts down; the values of this run for the next.
  if (x.timeShown != -1) x.timeShown = std::fmax(x.timeShown - x.dt, 0.0f);
  x.yPrev = y;
  x.tPrev = t;
  x.counter += 1;
}

// State 4: gain, mean time and variance of the impulse response from its moments.
void model(CtrlExtension& x) {
  const float half = x.dt * 0.5f;
  float s0 = x.s0 * half, s1 = x.s1 * half, s2 = x.s2 * half;
  // The tail after the end of the decay, from the exponential fit.
  const float T = x.decayT, te = x.endTime;
  const float tail = x.decayA * T * std::exp(-te / T);
  s0 += tail;
  s1 += (T + te) * tail;
  s2 += (2 * te * T + te * te + 2 * T * T) * tail;
  x.s0 = s0;
  x.s1 = s1;
  x.s2 = s2;
  const float L = x.pulseLength;
  const float k = s0 / (std::fabs(x.dYopt) * L);
  const float mean = s1 / s0;
  float e = mean - L / 2;
  float d = s2 / s0 - mean * mean - L * L / 12;
  bool valid = finite(k, e, d) && k > 0 && e > 0 && d > 0 && d < 1.2f * e * e;
  if (valid && x.processType == CTRL_PTYPE_INTEGRAL) {
    // The two slope filters delay and widen the response.
    const float lag = kSlopeFilterCycles * x.dt;
    d -= 2 * lag * lag;
    e -= 2 * lag;
    valid = e > 0 && d > 0;
  }
  if (!valid) return fail(x, CTRL_EXT_ERR_MODEL);
  x.modelK = k;
  x.modelE = e;
  x.modelD = d;
  x.modelSd = std::sqrt(d);
  x.modelS = CTRL_Clamp(x.modelSd / e, 0.1f, 0.95f);
  x.state = CTRL_ID_PROPOSAL;
}

// State 5: the proposal from the tuning table.
void proposal(CtrlExtension& x) {
  if (hasIntegral(x.structureInUse)) {
    const float* R = tuningRow(x.structureInUse, x.processType, x.speed);
    const float s = x.modelS, s2 = s * s, s3 = s2 * s, s4 = s3 * s;
    const float u = x.processType == CTRL_PTYPE_INTEGRAL ? x.modelE : 1.0f;
    float v[CTRL_ADOPT_COUNT];
    v[CTRL_ADOPT_KP] = R[0] * std::exp(R[1] * s + R[2] * s2 + R[3] * s3 + R[4] * s4) / (u * x.modelK);
    v[CTRL_ADOPT_TN] = R[5] * x.modelE * std::exp(R[6] * s + R[7] * s2 + R[8] * s3 + R[9] * s4);
    v[CTRL_ADOPT_TV] = x.structureInUse == CTRL_STRUCT_PID ? v[CTRL_ADOPT_TN] * R[12] : 0.0f;
    v[CTRL_ADOPT_VD] = R[10];
    v[CTRL_ADOPT_BW] = R[11];
    v[CTRL_ADOPT_CW] = 0;
    bool ok = true;
    for (float value : v) ok = ok && std::isfinite(value);
    if (ok) {
      for (int i = 0; i < CTRL_ADOPT_COUNT; ++i) x.proposal[i] = v[i];
    } else if (x.running) {
      return fail(x, CTRL_EXT_ERR_MODEL);  // nothing of it reaches the parameters
    }
  }
  // Any other structure (it changed during the test) keeps the former values.
  x.lastStructure = x.structureInUse;
  x.lastSpeed = x.speed;
  x.resultsValid = 1;
  x.displayRefresh = 1;
  x.state = CTRL_ID_DONE;
}

// The states, for one cycle. The computing states 4, 5 and 6 and an error follow at once;
// the measuring states 2 and 3 take one step per cycle.
void runStates(CtrlExtension& x, float& C, float u) {
  for (int step = 0; step < 8; ++step) {
    switch (x.state) {
      case CTRL_ID_IDLE:
        C = x.manualLike ? x.modeValue : u;
        return;
      case CTRL_ID_NOISE:
        noiseAndDrift(x, C, u);
        if (x.state != CTRL_ID_ERROR) return;
        break;
      case CTRL_ID_PULSE:
        pulseResponse(x, C);
        if (x.state == CTRL_ID_PULSE) return;
        break;
      case CTRL_ID_MODEL:
        model(x);
        break;
      case CTRL_ID_PROPOSAL:
        proposal(x);
        break;
      case CTRL_ID_DONE:
        x.running = 0;
        x.state = CTRL_ID_IDLE;  // the values are adopted by CTRL_ExtResult
        return;
      case CTRL_ID_ERROR:
        x.progress = x.error;
        x.running = 0;
        x.failed = 1;
        C = x.stepped ? x.outBefore : x.outStart;
        x.timeShown = 0;
        x.stepped = 0;
        x.state = CTRL_ID_IDLE;
        return;
      default:
        x.state = CTRL_ID_IDLE;
        return;
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------

void CTRL_ExtParams(CtrlExtension& x, CtrlParams& params, CtrlWork& work) {
  work.paramsChanged = work.paramsChanged || x.adoptedParams;
  x.adoptedParams = 0;
  CtrlParamSet& set = params.sets[x.paramSet < CTRL_PARAM_SETS ? x.paramSet : 0];
  if (work.reinit || work.paramsChanged) {
    const bool i = CTRL_ExtTn(set) != 0, d = CTRL_ExtTv(set) != 0;
    x.structure = i && d ? CTRL_STRUCT_PID : i ? CTRL_STRUCT_PI : d ? CTRL_STRUCT_PD : CTRL_STRUCT_P;
    x.kp = CTRL_ExtKp(set);
    x.tn = CTRL_ExtTn(set);
    x.tv = CTRL_ExtTv(set);
    x.vd = CTRL_ExtVd(set);
    x.bwp = CTRL_ExtBw(set);
    x.cwd = CTRL_ExtCw(set);
    x.tsat = CTRL_ExtTsat(set);
    // The pulse modulator and the dynamic correction of the core use these.
    work.set.tp1 = CTRL_ExtTp1(set);
    work.set.tp2 = CTRL_ExtTp2(set);
    x.recompute = 1;
  }
  if (isKind7(x) || isKind8(x)) {
    x.upper = params.ymax;
    x.lower = params.ymin;
  } else {
    x.upper = work.out.upper;
    x.lower = work.out.lower;
  }
  x.deadBand = CTRL_ExtXsh(set);
  x.structureInUse = x.structure;
  x.processType = x.ptypeWord;
  x.drift = x.driftWord != 0;
  x.tdrift = params.lw;
  x.tnoise = params.xsd2;
  x.dYopt = params.dYopt;
  x.xlimit = params.xsd1;
  x.speed = x.cspeedWord;
}

void CTRL_ExtControlInit(CtrlExtension& x) {
  x.state = CTRL_ID_IDLE;
  CTRL_ExtCoefficients(x);
  x.pGainPrev = x.pGain;
  x.bPrev = x.bwp;
  x.lastStructure = x.structureInUse;
  x.lastSpeed = x.speed;
  x.filterTime = kSlopeFilterCycles * x.dt;
  x.alpha = std::exp(-1.0f / kSlopeFilterCycles);
  x.integral = x.prevIntegrand = x.lastIncrement = x.prevI = 0;
  x.wf = x.xf = x.prevU = 0;
  x.entry = x.prevRequested = x.prevWithdrawn = x.requestRose = x.withdrawnRose = 0;
  x.resultsValid = x.displayRefresh = 0;
  x.error = 0;
  x.output = x.outputChange = 0;
  x.running = x.failed = 0;
  x.progress = 0;
  x.timeShown = 0;
  for (int i = 0; i < CTRL_ADOPT_CW; ++i) x.shown[i] = 0;
}

void CTRL_ExtCoefficients(CtrlExtension& x) {
  if (x.state != CTRL_ID_IDLE) return;  // the values reach the controller after the test
  switch (x.structure) {
    case CTRL_STRUCT_P: x.pOn = 1, x.iOn = 0, x.dOn = 0; break;
    case CTRL_STRUCT_PD: x.pOn = 1, x.iOn = 0, x.dOn = 1; break;
    case CTRL_STRUCT_PI: x.pOn = 1, x.iOn = 1, x.dOn = 0; break;
    default: x.pOn = 1, x.iOn = 1, x.dOn = 1; break;
  }
  if (!hasIntegral(x.structure)) x.integral = 0;
  x.sign = x.direct ? -1.0f : 1.0f;
  x.b = x.bwp;
  x.c = x.cwd;
  x.pGain = finiteOr(x.sign * x.pOn * x.kp, 0.0f);
  x.iGain = x.tn > 0 ? finiteOr(x.sign * x.iOn * x.kp / x.tn, 0.0f) : 0.0f;
  if (x.dt <= x.tsat) {
    x.trackGain = x.iOn / x.tsat;
  } else {
    x.trackGain = x.tn > 0 ? x.iOn * 2 / x.tn : x.iOn * 2 / (5 * x.dt);
  }
  x.trackGain = finiteOr(x.trackGain, 0.0f);
  x.manualTrackGain = finiteOr(x.iOn / (2.6f * x.dt), 0.0f);
  x.halfStep = x.iOn * x.dt * 0.5f;
  if (x.tv > 0 && x.vd > 0) {
    x.a1 = finiteOr(std::exp(-x.vd * x.dt / x.tv), 0.0f);
    x.dGain = finiteOr(x.sign * x.dOn * x.kp * x.vd, 0.0f);
  } else {
    x.a1 = 0;
    x.dGain = 0;
  }
  x.oneMinusA1 = 1 - x.a1;
}

void CTRL_ExtIdentify(CtrlExtension& x, const CtrlWork&) {
  if (x.recompute) {
    x.recompute = 0;
    CTRL_ExtCoefficients(x);
  }
  const float u = pidStep(x);
  float C = x.output;

  // Before the states: the start of a test, its withdrawal, a new proposal.
  if (x.requestRose && x.state == CTRL_ID_IDLE) {
    x.outStart = x.output;
    x.stepped = 0;
    if (!hasIntegral(x.structureInUse)) {
      fail(x, CTRL_EXT_ERR_STRUCTURE);
    } else if (x.manualLike && !FW_Within(x.modeValue + x.dYopt, x.lower, x.upper)) {
      fail(x, CTRL_EXT_ERR_LIMITS);
    } else {
      x.fromManual = x.manualLike;
      x.running = 1;
      x.failed = 0;
      x.progress = 0;
      x.error = 0;
      enter(x, CTRL_ID_NOISE);
    }
  }
  if (x.withdrawnRose) fail(x, CTRL_EXT_ERR_WITHDRAWN);
  if (x.state == CTRL_ID_IDLE && x.resultsValid) {
    // The stored model gives a new proposal when the structure or the speed changed.
    if (x.structureInUse != x.lastStructure || x.speed != x.lastSpeed) x.state = CTRL_ID_PROPOSAL;
    x.lastStructure = x.structureInUse;
    x.lastSpeed = x.speed;
  }

  runStates(x, C, u);

  // After the states.
  C = CTRL_Bounded(C);
  if (isKind7(x)) {
    x.outputChange = x.lastIncrement;  // C carries the P and D parts and the integral
    x.output = C;
  } else {
    const float limited = CTRL_Clamp(C, x.lower, x.upper);
    if (x.running && limited != C) fail(x, CTRL_EXT_ERR_LIMITED);  // acts in the next cycle
    x.outputChange = limited - x.output;
    x.output = limited;
  }
  if (x.displayRefresh) {
    for (int i = 0; i < CTRL_ADOPT_COUNT; ++i) x.shown[i] = x.proposal[i];
    x.displayRefresh = 0;
  }
}

void CTRL_ExtAdopt(CtrlExtension& x, const float* values, CtrlParams& params, CtrlWork& work) {
  CtrlParamSet& set = params.sets[x.paramSet < CTRL_PARAM_SETS ? x.paramSet : 0];
  float* to[CTRL_ADOPT_COUNT] = {&CTRL_ExtKp(set), &CTRL_ExtTn(set), &CTRL_ExtTv(set),
                                 &CTRL_ExtVd(set), &CTRL_ExtBw(set), &CTRL_ExtCw(set)};
  float* copy[CTRL_ADOPT_COUNT] = {&x.kp, &x.tn, &x.tv, &x.vd, &x.bwp, &x.cwd};
  for (int i = 0; i < CTRL_ADOPT_COUNT; ++i) {
    float v = values[i];
    if (!std::isfinite(v)) continue;  // never a value that is no number
    if (i == CTRL_ADOPT_KP) v = std::fmax(v, 0.001f);
    if (i == CTRL_ADOPT_VD) v = std::fmax(v, 1.0f);
    // Within the block's limits, so that the saved set can be written back as it is.
    v = CTRL_Clamp(round3(v), x.adoptMin[i], x.adoptMax[i]);
    *to[i] = *copy[i] = v;
  }
  x.adoptedParams = 1;  // the next hand-over recomputes the coefficients
  work.newParams = 1;   // the block takes the set over and saves it
}

void CTRL_ExtResult(CtrlExtension& x, CtrlInputs& in, CtrlOutputs& out, CtrlParams& params,
                    CtrlWork& work) {
  work.out.result = x.output;
  out.optRun = x.running;
  if (!x.requested) x.armed = 1;
  // The end of a test (also after a withdrawal while the first value shown is 100.0).
  const bool oddEnd = x.withdrawn && x.shown[CTRL_ADOPT_KP] == 100.0f;
  if ((x.armed && x.requested) || oddEnd) {
    x.optResult = x.failed;
    if (!x.running) {
      if (!x.failed) {
        x.adopted = 1;
        CTRL_ExtAdopt(x, x.proposal, params, work);
        out.manualActive = 0;  // the controller returns to automatic
        in.manualCmd = 0;
      }
      x.armed = 0;
      out.optError = x.failed;
      work.saveOptResults = 1;  // the block saves its state words
    }
  }
  // A speed change after an adoption retunes from the stored model at once.
  if (x.adopted && x.cspeedWord != x.prevCSpeed) CTRL_ExtAdopt(x, x.shown, params, work);
  x.prevCSpeed = x.cspeedWord;

  // Status of the operating page.
  const int32_t p = x.progress;
  if (p >= 0) {
    x.statusText = CTRL_EXT_TEXT_RESULT;
    x.statusCode = static_cast<int16_t>(p > 0x7FFF ? 0x7FFF : p);
    x.statusTime = 0;
  } else if (p == CTRL_PROGRESS_NOISE || p == CTRL_PROGRESS_STEP) {
    x.statusText = p == CTRL_PROGRESS_NOISE ? CTRL_EXT_TEXT_NOISE : CTRL_EXT_TEXT_STEP;
    x.statusCode = CTRL_EXT_CODE_RUNNING;
    x.statusTime += x.dt;  // seconds since the test started
  } else {
    x.statusText = p == CTRL_PROGRESS_MAXIMUM ? CTRL_EXT_TEXT_MAXIMUM : CTRL_EXT_TEXT_DECAY;
    x.statusCode = CTRL_EXT_CODE_RUNNING;
    x.statusTime = x.timeShown;  // the remaining time, -1 until the first maximum
  }
}

void CTRL_ExtInit(CtrlExtension* ext, CtrlParams& params, CtrlWork& work) {
  if (!ext) return;
  CtrlExtension& x = *ext;
  x.dt = work.dt;
  x.direct = work.out.inverse ? 0 : 1;
  x.stage = work.kind == CTRL_KIND_STEPPING      ? CTRL_STAGE_STEPPING
            : work.kind == CTRL_KIND_STEPPING_YP ? CTRL_STAGE_STEP_YP
                                                 : CTRL_STAGE_CONTINUOUS;
  x.band = 0;
  CTRL_ExtParams(x, params, work);
  CTRL_ExtControlInit(x);
  x.prevCSpeed = x.cspeedWord;
  const CtrlExtStepContext c{x, params, work, params.sets[0]};
  if (isKind7(x)) {
    x.step.dt = x.dt;
    x.step.reinit = 1;
    CTRL_ExtStepperParams(c, x.step);
    CTRL_ExtStepperInit(x.step);
  } else if (isKind8(x)) {
    x.stepYp.dt = x.dt;
    x.stepYp.reinit = 1;
    CTRL_ExtStepperYpParams(c, x.stepYp);
    CTRL_ExtStepperYpInit(x.stepYp);
  }
}

void CTRL_ExtCycle(CtrlExtension* ext, CtrlInputs& in, CtrlOutputs& out, CtrlParams& params,
                   CtrlWork& work) {
  if (!ext) return;
  CtrlExtension& x = *ext;
  const CtrlOutputState& s = work.out;
  const bool kind7 = isKind7(x), kind8 = isKind8(x);
  const bool requested = work.mode == CtrlMode::Optimisation;
  // The stepping kinds do not run the core's output value by mode: their last Y is
  // the extension's output.
  x.offset = s.offset;
  x.w = out.w;
  x.x = out.x;
  x.modeValue = (kind7 || kind8) ? std::round(CTRL_Bounded(in.lastY) * 10.0f) / 10.0f
                                 : s.lastYRounded;
  if (!requested) x.manualLike = s.manualLike;
  // The stepping kind works on the estimated position.
  if (kind7) {
    x.offset = 0;
    x.modeValue = 100 * x.step.estimate;  // the estimated position, in percent
    x.feedback = x.manualLike ? x.modeValue : x.output;
    x.pulseActive = x.step.pulseActive;
  } else if (kind8) {
    x.offset = 0;
    if (x.manualLike && !requested) {
      x.feedback = x.modeValue = CTRL_In(in.yp);
    } else {
      x.feedback = x.output;
    }
  } else {
    x.feedback = x.output;
  }
  // A rising tuning request clears the last error.
  x.requestRose = requested && !x.prevRequested;
  if (x.requestRose) out.optError = 0;
  x.requested = requested;
  x.withdrawn = !requested && x.running;
  x.withdrawnRose = x.withdrawn && !x.prevWithdrawn;
  x.prevRequested = requested;
  x.prevWithdrawn = x.withdrawn;
  // The parameters, the identification and its result.
  CTRL_ExtParams(x, params, work);
  CTRL_ExtIdentify(x, work);
  CTRL_ExtResult(x, in, out, params, work);
  // In the manual-like modes the stages move the motor only by the operator's moves.
  if (kind7 || kind8) {
    CtrlExtStepper& st = kind7 ? x.step : x.stepYp;
    st.target = x.output / 100;
    st.position = kind7 ? x.outputChange / 100 : CTRL_In(in.yp) / 100;
    st.y0 = params.y0 / 100;
    st.incHeld = in.incCmd || in.dInc;
    st.decHeld = in.decCmd || in.dDec;
    st.stepValue = in.optStep;
    st.addStep = in.addStep;
    st.manual = x.manualLike && !x.running;
    const CtrlExtStepContext c{x, params, work, params.sets[0]};
    if (kind7) {
      CTRL_ExtStepperParams(c, st);
      CTRL_ExtStepper(st);
    } else {
      CTRL_ExtStepperYpParams(c, st);
      CTRL_ExtStepperYp(st);
    }
    out.y1 = st.y1;
    out.y2 = st.y2;
  }
  in.addStep = 0;  // a one-cycle request
}
