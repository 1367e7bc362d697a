// Firmware hot paths: running every block of a full block list once.
#include <benchmark/benchmark.h>

#include "blocks/register_all.h"
#include "runtime/fb_store.h"

namespace {

// 1900 ABSV blocks, each wired to the output of the one before it.
void buildChain() {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  for (uint16_t b = 100; b < 2000 && b <= FB_MAX_BLOCK; ++b) {
    FB_CreateInstance(1, b);
    if (b > 100) {
      uint16_t* w = FB_GetWiring(b);
      w[FB_WIRE_ANALOG_COUNT + 1] = static_cast<uint16_t>(b - 1);
      w[FB_WIRE_ANALOG_COUNT + 2] = 1;
    }
  }
  FB_ResolveConnections();
}

void BM_RunAllBlocks(benchmark::State& state) {
  buildChain();
  for (auto _ : state) {
    for (uint16_t b = 100; b <= FB_MAX_BLOCK; ++b) {
      const uint16_t* inst = g_fbStore.list[b].instance;
      g_fbStore.currentBlock = b;
      FB_GetType(inst[FB_HDR_TYPE])->run();
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (FB_MAX_BLOCK - 99));
}
BENCHMARK(BM_RunAllBlocks);

void BM_ResolveConnections(benchmark::State& state) {
  buildChain();
  for (auto _ : state) benchmark::DoNotOptimize(FB_ResolveConnections());
}
BENCHMARK(BM_ResolveConnections);

}  // namespace
