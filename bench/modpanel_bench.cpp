// The module-panel exchange of one cycle against live panel programs: five couplers with
// nine four-channel analog input modules each, 180 round trips to five panel processes. The
// exchange must not allocate.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/alloc_counter.h"
#include "comm/com_remoteio.h"
#include "comm/com_services.h"
#include "shell/module_panels.h"
#include "support/remoteio_standin.h"

namespace {

// Five panels started once for the whole run (they end with the process).
bool StartPanels() {
  static const bool started = [] {
    const std::string config = std::filesystem::temp_directory_path() / ("modpanel_bench" + std::to_string(getpid()));
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    SimModulePanelOptions o;
    o.program = TQ500_PROGRAM;
    SimSetModulePanelOptions(o);
    rio::install();
    uint16_t block = 100;
    for (int c = 0; c < COM_COUPLERS; ++c) {
      const auto coupler = static_cast<uint16_t>(COM_FIRST_COUPLER + c);
      rio::addCoupler(coupler, static_cast<uint16_t>(10 + c));
      for (int s = 1; s <= COM_SLOTS; ++s) rio::addAnalogInput(block++, coupler, s, 52, 100.0f);
    }
    COM_ScanIoModules(1);
    for (int c = 0; c < COM_COUPLERS; ++c)
      if (COM_CouplerRecord(c)->panel == 0) return false;
    return true;
  }();
  return started;
}

void BM_PanelExchangeLive(benchmark::State& state) {
  if (!StartPanels()) {
    state.SkipWithError("the panels could not be started");
    return;
  }
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    COM_ExchangeIoModules();
    allocations += BenchAllocations() - before;
    benchmark::ClobberMemory();
  }
  state.counters["round_trips"] = 180;
  if (allocations) state.SkipWithError("the exchange allocated");
}
// Wall time per cycle: the simulator waits for every answer.
BENCHMARK(BM_PanelExchangeLive)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
