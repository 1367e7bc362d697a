// Controller core: one cycle of a continuous PID in automatic, one of a stepping
// controller and one of a controller whose self-tuning waits for the process to rest, per
// call; one plant cycle of the built-in plant.
#include <benchmark/benchmark.h>

#include "blocks/ctrl/ctrl_core.h"
#include "blocks/ctrl/ctrl_plant.h"
#include "support/ctrl_rig.h"

namespace {

void runCycles(benchmark::State& state, CtrlRig& rig) {
  rig.init();
  rig.cycle(100);  // past start-up and the first ramp
  float x = rig.in.x1;
  for (auto _ : state) {
    x = x < 60 ? x + 0.01f : 40;  // a moving process value keeps every path busy
    rig.in.x1 = x;
    CTRL_Cycle(rig.in, rig.out, rig.p, rig.cfg, rig.w, rig.r);
    benchmark::DoNotOptimize(rig.out);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_CtrlCycleContinuousPid(benchmark::State& state) {
  CtrlRig rig;
  rig.r.wi = 50;
  rig.in.x1 = 40;
  runCycles(state, rig);
}
BENCHMARK(BM_CtrlCycleContinuousPid);

void BM_CtrlCycleStepping(benchmark::State& state) {
  CtrlRig rig;
  rig.f.kind = CTRL_KIND_STEPPING;
  rig.r.wi = 50;
  rig.in.x1 = 40;
  runCycles(state, rig);
}
BENCHMARK(BM_CtrlCycleStepping);

// The self-tuning holds the output while the moving process value keeps its rest
// measurement and phases busy.
void BM_CtrlCycleSelfTuning(benchmark::State& state) {
  CtrlRig rig;
  rig.r.wi = 50;
  rig.in.x1 = 40;
  rig.p.yOptm = 30;
  rig.in.optStart = 1;
  runCycles(state, rig);
}
BENCHMARK(BM_CtrlCycleSelfTuning);

}  // namespace

namespace {

// The built-in plant: one plant cycle of a "Cont" controller's outputs through the output
// simulation and the process model (K 1, Tu 5 s, Tg 50 s), the transfer step included.
void BM_PlantCycleBuiltInModel(benchmark::State& state) {
  SimPlantParams params{};
  params.outputKind = CTRL_KIND_CONTINUOUS;
  params.gainPositive = params.gainNegative = 1.0f;
  params.plantGain = 1.0f;
  params.delayTime = 5.0f;
  params.riseTime = 50.0f;
  params.rangeEnd = 100.0f;
  params.cycleTime = 0.1f;
  SimPlantActuators act{};
  act.initialise = 1;
  SimPlantResult result{};
  CtrlPlantState plant{};
  CTRL_SimulateOutput(&act, &params, &result, &plant);
  act.initialise = 0;
  float y = 0;
  for (auto _ : state) {
    y = y < 100 ? y + 0.5f : 0;  // a moving actuator value
    act.y1 = y;
    CTRL_SimulateOutput(&act, &params, &result, &plant);
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlantCycleBuiltInModel);

}  // namespace
