// Internal steps of the controller core, shared by its source files; only `CTRL_Init` and
// `CTRL_Cycle` call them.
#pragma once

#include "blocks/ctrl/ctrl_core.h"
#include "runtime/fw_numeric.h"

// The six records of one controller, passed together to the internal steps.
struct CtrlCore {
  CtrlInputs& in;
  CtrlOutputs& out;
  CtrlParams& p;
  CtrlConfig& cfg;
  CtrlWork& w;
  CtrlRetained& r;
};

// What decides the output this cycle.
enum class CtrlOutputMode : uint8_t { Automatic, Off, HardManual, Y2, Manual, Failure };

// Percent values are kept within this bound: far beyond any reading of a real range, and
// small enough that the gains and sums of the output stage stay finite.
constexpr float CTRL_PERCENT_LIMIT = 1.0e7f;

// An analog input as the core uses it: NaN reads as 0, magnitudes stop at 1.5e37.
inline float CTRL_In(float v) { return FW_ClampValue(v); }
// A value kept within +-CTRL_PERCENT_LIMIT (NaN reads as 0).
inline float CTRL_Bounded(float v) {
  return CTRL_Clamp(FW_ClampValue(v), -CTRL_PERCENT_LIMIT, CTRL_PERCENT_LIMIT);
}
// Gain 100 / Xp; a proportional band below 0.0001 % counts as 0.0001 %.
inline float CTRL_Gain(float xp) { return 100.0f / (xp >= 1.0e-4f ? xp : 1.0e-4f); }

// Start-up (controller core).
void CTRL_InitModes(CtrlCore& c);
void CTRL_SetpointInit(CtrlCore& c);
void CTRL_GradientSteps(CtrlCore& c);
// One cycle (controller core).
void CTRL_ProcessValue(CtrlCore& c);
void CTRL_ModeMachine(CtrlCore& c);
void CTRL_Setpoint(CtrlCore& c);
void CTRL_SetpointSource(CtrlCore& c);
void CTRL_CascadeSetpoint(CtrlCore& c, bool prevW2, bool prevInternal);
void CTRL_SetpointTrack(CtrlCore& c, float a);
CtrlOutputMode CTRL_DecidingMode(const CtrlWork& w);
// Output value by mode and the output limits: the first step of the output stage.
void CTRL_ModeValue(CtrlCore& c);

// Output stage.
void CTRL_OutputInit(CtrlCore& c);
void CTRL_OutputStage(CtrlCore& c);

// Self-tuning: parameter-set selection, one step of the optimisation and its start-up
// (which loads the active parameter set).
void CTRL_SelectParamSet(CtrlInputs& in, CtrlOutputs& out, CtrlParams& params,
                         CtrlConfig& config, CtrlWork& work, CtrlRetained& retained);
void CTRL_Optimize(CtrlInputs& in, CtrlOutputs& out, CtrlParams& params, CtrlConfig& config,
                   CtrlWork& work, CtrlRetained& retained);
void CTRL_OptInit(CtrlInputs& in, CtrlOutputs& out, CtrlParams& params, CtrlConfig& config,
                  CtrlWork& work, CtrlRetained& retained);
// PIDMA extension: start-up (end of CTRL_OutputInit) and one cycle (in the output stage, in
// place of the PD and PI steps and the stepping positioner; it leaves its output in
// `work.out.result`, and for the stepping kinds sets y1 and y2).
void CTRL_ExtInit(CtrlExtension* ext, CtrlParams& params, CtrlWork& work);
void CTRL_ExtCycle(CtrlExtension* ext, CtrlInputs& in, CtrlOutputs& out, CtrlParams& params,
                   CtrlWork& work);
