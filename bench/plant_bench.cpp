// One plant exchange per firmware tick with the sample plug-in loaded: the records laid out
// byte by byte, the plug-in's four calls through the bound entry points and the two answers
// back as floats. The loop must not allocate.
#include <benchmark/benchmark.h>

#include "bench/alloc_counter.h"
#include "shell/plant_plugin.h"
#include "shell/sim_services.h"

namespace {

void BM_PlantCycleThroughThePlugIn(benchmark::State& state) {
  SimPlantSetFolder(PLANT_SAMPLE_DIR);
  if (!SimPlantLoad(1)) {
    state.SkipWithError("the sample plug-in is not there");
    return;
  }
  SimPlantParams params{};
  params.outputKind = 9;
  params.gainPositive = 1.0f;
  params.gainNegative = 1.0f;
  SimPlantActuators act{};
  act.y1 = 40.0f;
  SimPlantResult result{};
  const uint64_t before = BenchAllocations();
  for (auto _ : state) {
    benchmark::DoNotOptimize(SimPlantCycle(&act, &params, &result));
    benchmark::DoNotOptimize(result.x);
  }
  const uint64_t allocations = BenchAllocations() - before;
  SimPlantUnload();
  if (allocations) state.SkipWithError("the exchange allocated");
}
BENCHMARK(BM_PlantCycleThroughThePlugIn);

}  // namespace
