// The built-in plant and the controller view of the plant link.
//
// Without a plant plug-in the simulator closes the loop of the engineering's first
// controller itself: CTRL_SimulateOutput turns the controller's outputs into one actuator
// value by the output kind, passes it through a gain and a second-order lag process model
// (CTRL_PlantModel) and scales the model output into the controller's range. The model's
// two time constants are fitted to the delay time Tu and the rise time Tg of its step
// response (CTRL_TwoLagFit) and it is integrated with the trapezoidal rule
// (CTRL_TransferStep). The plant settings are project data: every loop is capped and every
// stored value kept finite, so that no setting hangs the tick or puts NaN into the loop.
#include "blocks/ctrl/ctrl_plant.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

#include "blocks/ctrl/ctrl.h"
#include "blocks/ctrl/ctrl_blocks.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_plant_provider.h"

namespace {

// ---------------------------------------------------------------------------------------
// Two-lag fit.

// Delay time and rise time of the unit step response of two lags, at its inflection point.
struct LagShape {
  double delay, rise;
};

LagShape lagShape(double t1, double t2) {
  double tw, y, v;
  if (std::fabs(t2 - t1) <= 1e-9 * std::max(t1, t2)) {
    // Equal lags T: inflection at T, y(T) = 1 - 2/e, slope 1/(e T).
    tw = t1;
    y = 1.0 - 2.0 / std::numbers::e;
    v = 1.0 / (std::numbers::e * t1);
  } else {
    tw = std::log(t1 / t2) / (1.0 / t2 - 1.0 / t1);
    const double e1 = std::exp(-tw / t1), e2 = std::exp(-tw / t2);
    y = 1.0 + t1 / (t2 - t1) * e1 - t2 / (t2 - t1) * e2;
    v = e2 / t2;
  }
  return {tw - y / v, 1.0 / v};
}

// ---------------------------------------------------------------------------------------
// Transfer step.

constexpr int kMaxOrder = 2;
constexpr int kOutputCopy = 3;     // S3
constexpr int kPreviousFirst = 4;  // the previous stage derivatives

bool converged(double guess, double next) {
  const double change = std::fabs(next - guess);
  return std::fabs(guess) <= 0.001 ? change <= 0.001 : change <= 0.001 * std::fabs(guess);
}

// ---------------------------------------------------------------------------------------
// Output simulation: the actuator value by output kind.

enum class Drive : uint8_t {
  None,            // 0: the load offset alone drives the model
  SwitchDiff,      // (y1 - y2) x 100
  Switch1,         // y1 x 100
  ContMinusSw2,    // Y1 - y2 x 100
  Sw1MinusCont,    // y1 x 100 - Y2
  DoubleStage,     // y1 x 100, three times that while y2 is set
  Motor,           // the motor position before this step
  ContDiff,        // Y1 - Y2
  Cont1,           // Y1
};

constexpr Drive kDrives[] = {
    Drive::SwitchDiff,    // 0 Signal 1
    Drive::Switch1,       // 1 Signal 2
    Drive::SwitchDiff,    // 2 2-point
    Drive::SwitchDiff,    // 3 3-point
    Drive::ContMinusSw2,  // 4 Cont/swi
    Drive::Sw1MinusCont,  // 5 Swi/cont
    Drive::DoubleStage,   // 6 2P-DSO
    Drive::Motor,         // 7 Stepping
    Drive::Motor,         // 8 Step+Yp
    Drive::ContDiff,      // 9 Cont
    Drive::None, Drive::None, Drive::None, Drive::None, Drive::None, Drive::None,  // 10..15
    Drive::ContDiff,      // 16 splitRang
    Drive::Cont1,         // 17 Cont Yp
    Drive::None,          // 18
    Drive::Motor,         // 19
};

Drive driveOf(uint8_t kind) { return kind < std::size(kDrives) ? kDrives[kind] : Drive::None; }

float actuatorValue(Drive drive, const SimPlantActuators& a, double position) {
  const int y1 = a.switch1 ? 1 : 0, y2 = a.switch2 ? 1 : 0;
  const float cont1 = FW_ClampValue(a.y1), cont2 = FW_ClampValue(a.y2);
  switch (drive) {
    case Drive::SwitchDiff: return static_cast<float>(static_cast<int8_t>(y1 - y2) * 100);
    case Drive::Switch1: return static_cast<float>(y1 * 100);
    case Drive::ContMinusSw2: return cont1 - static_cast<float>(y2 * 100);
    case Drive::Sw1MinusCont: return static_cast<float>(y1 * 100) - cont2;
    case Drive::DoubleStage: return static_cast<float>(y1 * 100 * (y2 ? 3 : 1));
    case Drive::Motor: return static_cast<float>(position);
    case Drive::ContDiff: return cont1 - cont2;
    case Drive::Cont1: return cont1;
    case Drive::None: break;
  }
  return 0.0f;
}

// One move of the motor: y1 opens, y2 closes, both together hold; a full travel takes the
// motor time. A motor time that is not a positive number moves nothing.
double moveMotor(double position, const SimPlantActuators& a, const SimPlantParams& p) {
  const double tm = p.motorTime, dt = p.cycleTime;
  if (!(tm > 0.0) || !std::isfinite(tm) || !std::isfinite(dt)) return position;
  const double rate = (a.switch1 ? 100.0 : 0.0) - (a.switch2 ? 100.0 : 0.0);
  const double moved = position + rate * dt / tm;
  return std::isfinite(moved) ? std::clamp(moved, 0.0, 100.0) : position;
}

}  // namespace

// ---------------------------------------------------------------------------------------

void CTRL_TwoLagFit(float tu, float tg, float* t1, float* t2) {
  const double u = tu, g = tg;
  if (!(u > 0.0) || !(g > 0.0) || !std::isfinite(u) || !std::isfinite(g)) {
    *t1 = *t2 = 0.0f;
    return;
  }
  const double ratio = u / g, top = 5.0 * (u + g);
  // Shape: T1 = Tu, T2 such that delay/rise = Tu/Tg; the ratio T2/T1 is kept.
  double lo = u, hi = top, b = 0.5 * (lo + hi);
  for (int i = 0; i < CTRL_PLANT_MAX_STEPS; ++i) {
    const LagShape s = lagShape(u, b);
    const double e = s.delay / s.rise - ratio;
    if (std::fabs(e) <= 0.0001) break;
    (e < 0.0 ? hi : lo) = b;
    b = 0.5 * (lo + hi);
  }
  const double q = b / u;
  // Scale: T2 (with T1 = T2/q) such that the rise time is Tg.
  lo = 0.0;
  hi = top;
  b = 0.5 * (lo + hi);
  for (int i = 0; i < CTRL_PLANT_MAX_STEPS; ++i) {
    const LagShape s = lagShape(b / q, b);
    const double e = s.rise - g;
    if (std::fabs(e) <= 0.0001 * g) break;
    (e < 0.0 ? lo : hi) = b;
    b = 0.5 * (lo + hi);
  }
  *t1 = static_cast<float>(b / q);
  *t2 = static_cast<float>(b);
}

void CTRL_TransferStep(int m, int n, float dt, const float* b, const float* a, float u, float* y,
                       bool reset, float* state) {
  if (reset) {
    std::fill(state, state + 6, 0.0f);
    *y = 0.0f;
    return;
  }
  const double an = n >= 1 && n <= kMaxOrder ? a[n] : 0.0;
  if (m < 0 || m > n || an == 0.0 || !std::isfinite(an)) {
    *y = 0.0f;
    return;
  }
  float* const S = state;
  float* const prev = state + kPreviousFirst;
  const double h = 0.5 * dt;
  const double in = FW_ClampValue(u);
  auto feed = [&](int i) { return i <= m ? b[i] * in / an : 0.0; };
  const double direct = m == n ? b[n] * in / an : 0.0;
  // The value carried out of the last stage for a guess of y.
  auto pass = [&](double guess) {
    double c = 0.0;
    for (int i = 0; i < n; ++i) {
      const double d = c - a[i] * guess / an + feed(i);
      c = S[i + 1] + h * (d + prev[i]);
    }
    return c + direct;
  };
  // The step is linear in y: next = alpha + beta x guess. The guesses converge when |beta|
  // is below 1; otherwise (and when the iteration runs out of rounds) the step is solved
  // directly.
  const double alpha = pass(0.0), beta = pass(1.0) - alpha;
  double next = alpha / (1.0 - beta);
  if (std::fabs(beta) < 1.0) {
    double guess = S[kOutputCopy];
    for (int i = 0; i < CTRL_PLANT_MAX_STEPS; ++i) {
      const double y = alpha + beta * guess;
      if (converged(guess, y)) {
        next = y;
        break;
      }
      guess = y;
    }
  }
  if (!std::isfinite(next)) next = 0.0;
  // Commit with the final y; the state stays within the device's value range.
  S[0] = 0.0f;
  for (int i = 0; i < n; ++i) {
    const double d = S[i] - a[i] * next / an + feed(i);
    S[i + 1] = FW_ClampValueD(S[i + 1] + h * (d + prev[i]));
    prev[i] = FW_ClampValueD(d);
  }
  const float out = FW_ClampValueD(S[n] + direct);
  S[kOutputCopy] = out;
  *y = out;
}

void CTRL_PlantModel(CtrlPlantCall* call) {
  CtrlPlantModelRecord& M = *call->model;
  if (call->initialise != 1) {
    CTRL_TransferStep(0, 2, call->dt, &M.b0, M.a, call->u, &call->y, false, M.s);
    return;
  }
  call->y = M.s[kOutputCopy];
  // A second-order lag has Tu/Tg of at most about 0.104; other settings keep the model.
  const float tu = call->tu, tg = call->tg, k = call->k;
  if (!(tu > 0.0f) || !(tg > 0.0f) || !(tu / tg <= 0.1f) || !std::isfinite(k)) return;
  float t1, t2;
  CTRL_TwoLagFit(tu, tg, &t1, &t2);
  const float a1 = t1 + t2, a2 = t1 * t2;
  if (!std::isfinite(a1) || !std::isfinite(a2) || !(a2 > 0.0f)) return;
  M.a[0] = 1.0f;
  M.a[1] = a1;
  M.a[2] = a2;
  M.b0 = k;
  CTRL_TransferStep(0, 2, call->dt, &M.b0, M.a, call->u, &call->y, true, M.s);
}

void CTRL_SimulateOutput(SimPlantActuators* actuators, SimPlantParams* params,
                         SimPlantResult* result, CtrlPlantState* state) {
  const SimPlantActuators& a = *actuators;
  const SimPlantParams& p = *params;
  const Drive drive = driveOf(p.outputKind);
  // 1., 2. The actuator value; a motor runs from the position before its move.
  if (a.initialise) state->position = std::clamp<double>(FW_ClampValue(p.startPosition), 0.0, 100.0);
  const double before = state->position;
  if (drive == Drive::Motor) state->position = moveMotor(before, a, p);
  const float d = actuatorValue(drive, a, before);
  // 3. Weighted input.
  const float u = FW_ClampValue((d > 0.0f ? p.gainPositive : p.gainNegative) * d + a.loadOffset);
  // 4. The process model.
  if (a.initialise) state->model.a[0] = 0.0f;
  CtrlPlantCall call{.u = u, .y = 0.0f, .dt = 0.1f, .k = p.plantGain, .tu = p.delayTime,
                     .tg = p.riseTime, .initialise = a.initialise, .model = &state->model};
  CTRL_PlantModel(&call);
  // 5. Process value in the controller's range.
  const float o = call.y;
  const float c = p.inverse ? a.processOffset + 100.0f - o : a.processOffset + o;
  result->x = FW_ClampValue((p.rangeEnd - p.rangeStart) * c / 100.0f + p.rangeStart);
  // 6. Position feedback.
  result->position = drive == Drive::Cont1   ? FW_ClampValue(a.y1)
                     : drive == Drive::Motor ? static_cast<float>(before)
                                             : 0.0f;
  result->valid = 1;
}

// ---------------------------------------------------------------------------------------
// Controller view: where the plant link reads a controller block.

int CTRL_PlantView(uint16_t block, FwPlantController* view) {
  FbLayout L;
  const CtrlTypeDesc* d = FB_GetLayout(block, &L) ? CTRL_DescOf(L.type) : nullptr;
  CtrlBlockState* s = d ? CTRL_LayoutState(L) : nullptr;
  if (!s) return 0;
  // The range's 4-byte values hold floats; the instance words are read as such.
  auto longAsFloat = [&](uint16_t k) { return reinterpret_cast<FbF32*>(L.lv[k].w); };
  view->processValue = &L.ao[CTRL_AO_X];
  view->rangeLower = longAsFloat(CTRL_LV_XN0);
  view->rangeUpper = longAsFloat(CTRL_LV_XN100);
  view->setpoint = &L.ao[CTRL_AO_WEFF];
  view->analog[0] = &L.ao[CTRL_AO_W];
  view->analog[1] = &L.ao[CTRL_AO_XW];
  view->inputs[0] = &L.ai[CTRL_AI_X2];
  view->inputs[1] = &L.ai[CTRL_AI_X3];
  view->outputs[0] = &L.ao[CTRL_AO_YOUT1];
  view->outputs[1] = &L.ao[CTRL_AO_YOUT2];
  view->outputs[2] = &L.ao[CTRL_AO_Y];
  view->contacts[0] = &L.dout[d->dout[CTRL_DO_Y1]];
  view->contacts[1] = &L.dout[d->dout[CTRL_DO_Y2]];
  // Status bytes: manual, internal setpoint, W2, off, failure reaction.
  const CtrlOutputs& o = s->out;
  const uint8_t* status[5] = {&o.manualActive, &o.internalActive, &o.w2Active, &o.offActive,
                              &o.failActive};
  std::copy(std::begin(status), std::end(status), view->status);
  const uint16_t cfunc = CTRL_Wv(L, *d, CTRL_WV_CFUNC);
  view->outputConfig = cfunc;
  view->outputKind = CTRL_ContrFunction(*d, cfunc);
  view->mode = CTRL_Wv(L, *d, CTRL_WV_CMODE) ? 1 : 0;
  // A direct-acting controller raises its output as the process value rises: its plant
  // falls as the actuator opens, so that the loop it closes is stable.
  view->plantInverse = view->mode;
  view->motorTime = CTRL_Fp(L, d->fp[CTRL_FP_TM]);
  return 1;
}

namespace {
// The built-in plant's state of the plant link, cleared at every set-up.
CtrlPlantState g_plantState;
void resetPlant() { g_plantState = CtrlPlantState{}; }
void simulatePlant(SimPlantActuators* actuators, SimPlantParams* params, SimPlantResult* result) {
  CTRL_SimulateOutput(actuators, params, result, &g_plantState);
}
constexpr FwPlantProvider kPlantProvider{CTRL_PlantView, resetPlant, simulatePlant};
}  // namespace

void CTRL_RegisterPlant() { FW_RegisterPlantProvider(&kPlantProvider); }
