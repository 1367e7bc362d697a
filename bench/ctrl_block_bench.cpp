// Controller blocks: one run of a CONTR in automatic (inputs, one core cycle, outputs, the
// page records), and of a cascade pair, per call.
#include <benchmark/benchmark.h>

#include "blocks/ctrl/ctrl.h"
#include "blocks/register_all.h"
#include "runtime/fb_store.h"
#include "support/block_fixture.h"

namespace {

constexpr uint16_t kMaster = 100, kSlave = 101;

void runBlocks(benchmark::State& state, BlockFixture& fx, std::initializer_list<uint16_t> blocks) {
  for (uint16_t b : blocks) fx.init(b);
  for (uint16_t b : blocks) fx.run(b, 100);  // past start-up and the first ramp
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
      FB_CONTR_Run();
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

}  // namespace
