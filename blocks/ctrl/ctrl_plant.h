// The built-in plant: a second-order lag process model whose step response has a given delay
// time Tu and rise time Tg, and the output simulation that turns a controller's outputs into
// the model's input and its output into a process value. The plant link runs it once per
// 0.1 s plant cycle when no plant plug-in answers.
#pragma once

#include <cstdint>

#include "runtime/fw_plant_provider.h"

// Model record, owned by the caller and kept between steps: the denominator a0, a1, a2
// (1, T1 + T2, T1 x T2), the numerator b0 (the gain K), then the integration state: S0
// (always 0), the integrator states S1 and S2, the output copy S3 (the first guess of the
// next step) and the two previous stage derivatives. A record of zeros is a model never set
// up; it answers 0.
struct CtrlPlantModelRecord {
  float a[3];
  float b0;
  float s[6];
};
static_assert(sizeof(CtrlPlantModelRecord) == 10 * sizeof(float));

// Call record of CTRL_PlantModel.
struct CtrlPlantCall {
  float u;                       // input (read)
  float y;                       // output (written)
  float dt;                      // step, seconds (the plant passes 0.1)
  float k, tu, tg;               // gain, delay time and rise time (seconds)
  uint8_t initialise;            // 1: fit and set up the model; otherwise one step from u to y
  CtrlPlantModelRecord* model;
};

// What the output simulation keeps between plant cycles: the motor position of the stepping
// kinds (percent, double precision) and the process model.
struct CtrlPlantState {
  double position;
  CtrlPlantModelRecord model;
};

// Loops of the fit and of the implicit step stop after this many rounds at the latest.
constexpr int CTRL_PLANT_MAX_STEPS = 100;

// With the flag set, fits two time constants to Tu and Tg and sets the model up (the state
// cleared, y = 0); Tu or Tg not above 0, or Tu/Tg above 0.1, leave the model as it was.
// Otherwise runs one step.
void CTRL_PlantModel(CtrlPlantCall* call);
// Two lags T1, T2 whose step response has the delay time tu and the rise time tg (both above
// 0, tu/tg at most 0.1); nested bisection, each loop capped.
void CTRL_TwoLagFit(float tu, float tg, float* t1, float* t2);
// One step of b(s)/a(s) with numerator order m <= denominator order n <= 2 (observer
// canonical form, trapezoidal rule, implicit in y). With reset the state is cleared and y
// is 0. A denominator whose a[n] is 0 or not finite gives 0.
void CTRL_TransferStep(int m, int n, float dt, const float* b, const float* a, float u, float* y,
                       bool reset, float* state);

// The output simulation: the plant's answer to the actuator values when no plug-in runs.
// `state` persists between calls; the call with the initialise flag sets it up.
void CTRL_SimulateOutput(SimPlantActuators* actuators, SimPlantParams* params,
                         SimPlantResult* result, CtrlPlantState* state);
// Points the plant link's view at a controller's instance slots; 0 when the block is not a
// controller.
int CTRL_PlantView(uint16_t block, FwPlantController* view);
// Hands the plant link the controller view and the built-in plant (with its state).
void CTRL_RegisterPlant();
