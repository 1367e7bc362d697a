// The built-in demo project running: firmware ticks per second with the demo's engineering
// (its control loop on the built-in plant, the programmer) and the display update drawn
// through the display driver into the LCD memory: the Turbo path without the desktop window.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <string>

#include "blocks/register_all.h"
#include "firmware/fw_adapter.h"
#include "firmware/fw_main.h"
#include "host/shared_block.h"
#include "links/sim_links.h"
#include "opui/op_blocktypes.h"
#include "shell/project.h"
#include "shell/sim_services.h"
#include "simlayer/LCDSIM.h"
#include "simlayer/SIM.h"

// --- The shell around the firmware: the state record, no panels, no plug-in -------------------
SimHostState& SimState() {
  static SimHostState state{};
  return state;
}
void SimModulePanelCloseAll() {}
void SimModulePanelOpen(int32_t) {}
int32_t SimModulePanelQuery(int, int, int) { return 0; }
void SimModulePanelSend(int, int, int, int32_t) {}
int SimPlantCycle(SimPlantActuators*, SimPlantParams*, SimPlantResult*) { return 0; }
void SimRequestRestart() { SimState().restartFlag = 1; }
void SimRestartFirmware() {
  FW_SimInit();
  LCDSIM_VIEW view{};
  if (LCDSIM_GetView(0, &view) != 0) LCDSIM_InitServerData();
  FW_SimStart();
}

namespace {

// The firmware started as the simulator starts it without a project: the demo.
struct Demo {
  Demo() {
    host::SetSharedNamePrefix("simdemobench" + std::to_string(getpid()) + ".");
    SIM_InitHost();
    SIM_ShowErrorBoxes(0);
    BLK_RegisterAllTypes();
    OP_RegisterBlockTypes();
    SimAttachProjectBuffers(SimState());
    SimLoadProject(nullptr);
    SimState().imagesValid = 1;
    SIM_InstallLinks();
    SimRestartFirmware();
    for (int i = 0; i < 100 && g_fwMain.runState != FW_STATE_RUNNING; ++i) FW_SimCycle();
  }
  ~Demo() { SIM_ExitHost(); }
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
