// A small firmware demo: builds an engineering with the engineering builder, hands it to the
// firmware as a project the way the shell does, starts the firmware and runs its ticks,
// printing the block outputs once the device runs. It stands in for the simulator program
// until the shell exists; the device has no display here (headless.cpp).
//
//   sim_demo [CYCLES] [DESCRIPTION.eng]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_adapter.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_main.h"
#include "tools/sim_demo/headless.h"

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

}  // namespace

int main(int argc, char** argv) {
  const int cycles = argc > 1 ? std::atoi(argv[1]) : 40;
  std::string error;
  if (!SimHeadlessStartDescription(argc > 2 ? argv[2] : nullptr, kDescription, &error)) {
    std::fprintf(stderr, "engineering: %s\n", error.c_str());
    return 1;
  }

  std::printf("cycle  state        B100.Y1   B101.Y1   B102.Y1\n");
  const FbTypeRecord* absv = FB_GetType(1);
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    // Each running cycle moves a0 of block 102 through a deferred parameter request; the
    // block takes it over at its next run.
    if (g_fwMain.runState == FW_STATE_RUNNING && absv && absv->param) {
      const float a0 = -0.5f * static_cast<float>(cycle);
      FW_PostDeferredCall(102, FB_ID_FLOAT + 1, &a0, sizeof a0, absv->param, nullptr);
    }
    FW_SimCycle();
    std::printf("%5d  %-9s", cycle, stateName(g_fwMain.runState));
    if (g_fwMain.runState == FW_STATE_RUNNING || g_fwMain.runState == FW_STATE_SETTLING) {
      std::printf(" %9.3f %9.3f %9.3f", output(100), output(101), output(102));
    }
    std::printf("\n");
  }
  return 0;
}
