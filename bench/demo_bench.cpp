// The built-in demo project running: firmware ticks per second with the demo's engineering
// (its control loop on the built-in plant, the programmer) and the display update drawn
// through the display driver into the LCD memory: the Turbo path without the desktop window.
// The shell around the firmware is the headless one of the tools (no panels, no plug-in).
#include <benchmark/benchmark.h>

#include "blocks/register_all.h"
#include "firmware/fw_adapter.h"
#include "firmware/fw_main.h"
#include "links/sim_links.h"
#include "opui/op_blocktypes.h"
#include "shell/project.h"
#include "shell/sim_services.h"
#include "tools/headless/headless.h"

namespace {

// The firmware started as the simulator starts it without a project: the demo.
struct Demo {
  Demo() {
    if (!SimHeadlessStartDisplay("simdemobench")) return;
    BLK_RegisterAllTypes();
    OP_RegisterBlockTypes();
    SimAttachProjectBuffers(SimState());
    SimLoadProject(nullptr);
    SimState().imagesValid = 1;
    SIM_InstallLinks();
    SimRestartFirmware();
    for (int i = 0; i < 100 && g_fwMain.runState != FW_STATE_RUNNING; ++i) FW_SimCycle();
  }
  ~Demo() { SimHeadlessStopDisplay(); }
};

void BM_DemoTick(benchmark::State& state) {
  static Demo demo;
  if (g_fwMain.runState != FW_STATE_RUNNING) {
    state.SkipWithError("the demo does not run");
    return;
  }
  for (auto _ : state) FW_SimCycle();
  state.SetItemsProcessed(state.iterations());
  state.counters["ticks/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DemoTick);

}  // namespace
