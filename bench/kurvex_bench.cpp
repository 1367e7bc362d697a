// The trend library's per-cycle path: one sample into a standard trend (7 analog floats,
// 5 digital channels, 1800 slots), lock and unlock included.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "host/shared_block.h"
#include "trendview/kurvex/kurvex.h"

namespace {

void BM_KurvanCycle(benchmark::State& state) {
  host::SetSharedNamePrefix("simbench" + std::to_string(getpid()) + ".");
  KurvanHandle h = KurvanCreate(0, 7, 200, 1800, 1, 6, 5);
  if (!h) {
    state.SkipWithError("no trend");
    return;
  }
  float analog[7] = {1, 2, 3, 4, 5, 6, 0};
  unsigned char digital[12] = {1, 0, 1, 0};
  for (auto _ : state) {
    analog[0] += 0.5f;
    benchmark::DoNotOptimize(KurvanCycle(h, analog, digital, 1));
  }
  KurvanDestroy(h);
}
BENCHMARK(BM_KurvanCycle);

}  // namespace
