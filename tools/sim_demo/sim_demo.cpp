// The firmware without the simulator's windows: builds an engineering from a description with
// the engineering builder, hands it to the firmware as a project the way the shell does, on
// the demo's device (the settings' first-run device) with the demo's plant settings, and runs
// CYCLES ticks (0.1 s each). Its display is drawn in memory and not shown.
//
// With a controller in the engineering (the demo's, assets/demo.eng) it prints the first
// controller's process value X, setpoint W and output Y every EVERY cycles (default 10), so
// that the loop can be watched closing; the built-in description (three ABSV blocks) prints
// their outputs each cycle.
//
//   sim_demo [CYCLES] [DESCRIPTION.eng] [EVERY]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gui/GUI.h"
#include "host/shared_block.h"
#include "links/sim_links.h"
#include "opui/op_blocktypes.h"

#include "firmware/fw_adapter.h"
#include "firmware/fw_main.h"
#include "firmware/fw_plant.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_defer.h"
#include "shell/demo_project.h"
#include "simlayer/LCDSIM.h"
#include "simlayer/SIM.h"
#include "tools/headless/headless.h"

namespace {

// Three ABSV blocks in time group 1, each fed by the one before, stored running.
constexpr const char* kDescription = R"(run 2
language 1
block 100 ABSV group 1
  float 1 0.5
  float 2 -3
block 101 ABSV group 1 after 100
  in 1 100.1
  float 1 -2
  float 2 1
block 102 ABSV group 1 after 101
  in 1 101.1
)";

const char* stateName(uint16_t state) {
  switch (state) {
    case FW_STATE_STOPPED: return "stopped";
    case FW_STATE_RUNNING: return "running";
    case FW_STATE_STARTUP_PASS: return "start-up";
    case FW_STATE_WAIT_INPUTS: return "inputs";
    case FW_STATE_SETTLING: return "settling";
    case FW_STATE_SERVICE: return "service";
    case FW_STATE_PICTURE_DELAY:
    case FW_STATE_PICTURES: return "pictures";
    default: return "waiting";
  }
}

float output(uint16_t block) {
  FbF32* y;
  return FB_GetAnalogOutputPtr(block, 1, &y) ? y->get() : 0.0f;
}

float value(const FbF32* p) { return p ? p->get() : 0.0f; }

}  // namespace

int main(int argc, char** argv) {
  const int cycles = argc > 1 ? std::atoi(argv[1]) : 40;
  const char* path = argc > 2 ? argv[2] : nullptr;
  const int every = argc > 3 ? std::atoi(argv[3]) : 10;
  if (every < 1) {
    std::fprintf(stderr, "usage: sim_demo [CYCLES] [DESCRIPTION.eng] [EVERY]\n");
    return 2;
  }
  if (!SimHeadlessStartDisplay("sim_demo")) {
    std::fprintf(stderr, "sim_demo: the display in memory cannot be set up\n");
    return 1;
  }
  SimHostState& s = SimState();
  s.device = SimDemoDeviceConfig();
  std::copy(std::begin(kSimDemoPlantSettings), std::end(kSimDemoPlantSettings), s.plantSettings);
  std::string error;
  if (!SimHeadlessStartDescription(path, kDescription, &error, OP_RegisterBlockTypes)) {
    std::fprintf(stderr, "engineering: %s\n", error.c_str());
    SimHeadlessStopDisplay();
    return 1;
  }

  const FbTypeRecord* absv = path ? nullptr : FB_GetType(1);
  bool header = false;
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    // Each running cycle moves a0 of block 102 through a deferred parameter request; the
    // block takes it over at its next run.
    if (g_fwMain.runState == FW_STATE_RUNNING && absv && absv->param) {
      const float a0 = -0.5f * static_cast<float>(cycle);
      FW_PostDeferredCall(102, FB_ID_FLOAT + 1, &a0, sizeof a0, absv->param, nullptr);
    }
    FW_SimCycle();
    const bool running = g_fwMain.runState == FW_STATE_RUNNING || g_fwMain.runState == FW_STATE_SETTLING;
    if (!path) {
      if (!header) std::printf("cycle  state        B100.Y1   B101.Y1   B102.Y1\n");
      header = true;
      std::printf("%5d  %-9s", cycle, stateName(g_fwMain.runState));
      if (running) std::printf(" %9.3f %9.3f %9.3f", output(100), output(101), output(102));
      std::printf("\n");
      continue;
    }
    if (cycle % every != 0 && cycle != cycles) continue;
    const FwPlantController& v = g_fwPlant.view;
    if (running && g_fwPlant.active) {
      if (!header) {
        std::printf("controller %u: process value X, setpoint W, output Y\n", v.block);
        std::printf("cycle   time/s  state             X         W         Y\n");
      }
      header = true;
      std::printf("%5d %8.1f  %-9s %9.3f %9.3f %9.3f\n", cycle, cycle * 0.1, stateName(g_fwMain.runState),
                  value(v.processValue), value(v.setpoint), value(v.outputs[2]));
    } else {
      std::printf("%5d %8.1f  %-9s%s\n", cycle, cycle * 0.1, stateName(g_fwMain.runState),
                  running ? "  (no controller)" : "");
    }
  }
  std::fflush(stdout);
  SimHeadlessStopDisplay();
  return 0;
}
