// Controller blocks: one run of a CONTR in automatic (inputs, one core cycle, outputs, the
// page records), and of a cascade pair, per call; PIDMA over its extension in automatic, as
// a stepping controller and during the noise window of its pulse test.
#include <benchmark/benchmark.h>

#include "blocks/ctrl/ctrl.h"
#include "blocks/ctrl/ctrl_ext.h"
#include "blocks/register_all.h"
#include "runtime/fb_store.h"
#include "support/block_fixture.h"

namespace {

constexpr uint16_t kMaster = 100, kSlave = 101;

// Init, `warmUp` runs past start-up and the first ramp, then `ready` (when given) and the
// measured runs.
void runBlocks(benchmark::State& state, BlockFixture& fx, std::initializer_list<uint16_t> blocks,
               void (*run)() = FB_CONTR_Run, int warmUp = 100,
               void (*ready)(BlockFixture&) = nullptr) {
  for (uint16_t b : blocks) fx.init(b);
  for (uint16_t b : blocks) fx.run(b, warmUp);
  if (ready) ready(fx);
  // The source output that feeds the master's X 1.
  FbRef* ref = nullptr;
  FB_GetAnalogInputRef(kMaster, 1, &ref);
  auto* source = reinterpret_cast<FbF32*>(&g_fbStore.instanceHeap[ref->get()]);
  float x = 40;
  for (auto _ : state) {
    x = x < 60 ? x + 0.01f : 40;  // a moving process value keeps every path busy
    *source = x;
    for (uint16_t b : blocks) {
      g_fbStore.currentBlock = b;
      run();
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(blocks.size()));
}

void BM_ContrRun(benchmark::State& state) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_CONTR, kMaster);
  fx.setAnalogInput(kMaster, 1, 40);
  fx.floatParam(kMaster, 4) = fx.floatParam(kMaster, 4, true) = 60.0f;  // Grw+
  runBlocks(state, fx, {kMaster});
}
BENCHMARK(BM_ContrRun);

void BM_ContrCascadeRun(benchmark::State& state) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_CONTR, kMaster);
  fx.create(BLK_TYPE_CONTR, kSlave);
  fx.setAnalogInput(kMaster, 1, 40);
  fx.wireAnalogInput(kSlave, 10, kMaster, 8);  // Casc to the master's Bl-no
  fx.wireAnalogInput(kSlave, 4, kMaster, 3);   // Wext from the master's Y
  fx.wordValue(kSlave, 3, true) = CTRL_SP_CASCADE;
  runBlocks(state, fx, {kMaster, kSlave});
}
BENCHMARK(BM_ContrCascadeRun);

// PIDMA: Kp 1, Tn 40, Tv 10 on a moving process value; `CFunc` 1 "Cont" or 6 "Stepping".
void BM_PidmaRun(benchmark::State& state) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_PIDMA, kMaster);
  fx.setAnalogInput(kMaster, 1, 40);
  fx.wordValue(kMaster, 1, true) = static_cast<uint16_t>(state.range(0));
  runBlocks(state, fx, {kMaster}, FB_PIDMA_Run);
}
BENCHMARK(BM_PidmaRun)->Arg(1)->Arg(6);

// PIDMA measuring noise and drift: a noise window far longer than the benchmark, the output
// limits wide enough for the moving process value (W 100, X 40..60).
void BM_PidmaNoiseWindowRun(benchmark::State& state) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_PIDMA, kMaster);
  fx.setAnalogInput(kMaster, 1, 40);
  fx.setDigitalInput(kMaster, 14, 0);  // ostart
  fx.floatParam(kMaster, 21) = fx.floatParam(kMaster, 21, true) = 999999.0f;  // Tnoise
  fx.floatParam(kMaster, 23) = fx.floatParam(kMaster, 23, true) = 1.0e6f;     // Tn
  fx.floatParam(kMaster, 16) = fx.floatParam(kMaster, 16, true) = 1.0e6f;     // Ymax
  runBlocks(state, fx, {kMaster}, FB_PIDMA_Run, 1000, [](BlockFixture& f) {
    f.setDigitalInput(kMaster, 14, 1);
    f.run(kMaster);
  });
  if (CTRL_ExtensionOf(kMaster)->state != CTRL_ID_NOISE) state.SkipWithError("no test ran");
}
BENCHMARK(BM_PidmaNoiseWindowRun);

}  // namespace
