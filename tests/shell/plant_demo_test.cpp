// The built-in demo project's controller loop with the plant plug-in host: closed through the
// sample plug-in (its process value is the plug-in's output), on the firmware's own model
// without a plug-in, and unharmed by a plug-in that answers no numbers.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "firmware/fw_plant.h"
#include "runtime/fb_store.h"
#include "runtime/fw_mode.h"
#include "shell/plant_plugin.h"
#include "shell/project.h"
#include "support/demo_firmware.h"
#include "support/plant_probe.h"

namespace {

// Blocks and outputs of the demo (assets/demo.eng).
enum : uint16_t { kCtrl = 100, kProg = 103, kInput = 61 };
enum : uint16_t { kCtrlX = 2, kCtrlY = 3, kProgWp = 1, kProgSegNo = 5 };
constexpr int kProgramCycles = 4800;  // one run of the programmer, 480 s

float Out(uint16_t block, uint16_t output) {
  FbF32* p = nullptr;
  return FB_GetAnalogOutputPtr(block, output, &p) ? p->get() : NAN;
}

class PlantDemo : public DemoFirmware {
 protected:
  void TearDown() override {
    SimPlantUnload();
    SimPlantSetFolder("");
    DemoFirmware::TearDown();
  }
  // Starts the demo in the run mode with its loop on the plant link.
  void StartLoop() {
    ASSERT_EQ(SimLoadProject(nullptr), SIM_PROJECT_LOADED);
    startDemo();
    ASSERT_EQ(g_fwRunMode, FW_RUN_MODE_RUN);
    ASSERT_EQ(g_fwPlant.active, 1);
    ASSERT_EQ(g_fwPlant.view.block, kCtrl);
  }
  // Runs the cycles; counts the programmer's holds in which the process value stays within
  // 2 % of the range of the setpoint from 30 s into the hold to its end. `each` runs after
  // every cycle.
  int FollowedHolds(int cycles, const std::function<void()>& each) {
    constexpr int kSettle = 300;
    int holds = 0, inSegment = 0;
    float lastSeg = Out(kProg, kProgSegNo);
    for (int cycle = 0; cycle < cycles; ++cycle) {
      FW_SimCycle();
      each();
      if (::testing::Test::HasFatalFailure()) return holds;
      const float seg = Out(kProg, kProgSegNo), x = Out(kCtrl, kCtrlX), w = Out(kProg, kProgWp);
      inSegment = seg == lastSeg ? inSegment + 1 : 0;
      lastSeg = seg;
      const bool hold = seg == 2 || seg == 4 || seg == 6;
      if (hold && inSegment >= kSettle) {
        EXPECT_NEAR(x, w, 2.0f) << "segment " << seg << ", cycle " << cycle;
        holds += inSegment == kSettle && std::fabs(x - w) <= 2.0f;
      }
    }
    return holds;
  }
};

// The sample plug-in's plant is a first-order lag (T = 10 s) of the continuous outputs: the
// plant's answer each cycle is that lag computed here, and the controller reads it as its
// process value, so the loop closes through the plug-in.
TEST_F(PlantDemo, TheLoopClosesThroughTheSamplePlugIn) {
  SimPlantSetFolder(PLANT_SAMPLE_DIR);
  ASSERT_NE(SimPlantLoad(1), nullptr);
  ASSERT_NE(SimPlantTable().cycle, nullptr);
  StartLoop();
  double lag = g_fwPlant.result.x;
  float lastIn = Out(kInput, 1), holdSeg = 0.0f;
  int inHold = 0;
  const int holds = FollowedHolds(kProgramCycles + 100, [&] {
    const SimPlantActuators& a = g_fwPlant.actuators;
    const double d = static_cast<double>(a.y1) - a.y2;
    lag += (d - lag) * 0.1 / (10.0 + 0.1);
    ASSERT_NEAR(g_fwPlant.result.x, lag, 1e-3);
    ASSERT_NEAR(g_fwPlant.result.position, d, 1e-3);
    ASSERT_EQ(g_fwPlant.result.valid, 1);
    // The plug-in's value reaches the controller through the main input's block 61, whose filter
    // moves its reading toward the plug-in's value each cycle and never past it.
    const float in = Out(kInput, 1), x = g_fwPlant.result.x;
    ASSERT_GE(in, std::fmin(lastIn, x) - 0.01f);
    ASSERT_LE(in, std::fmax(lastIn, x) + 0.01f);
    ASSERT_EQ(Out(kCtrl, kCtrlX), in);
    lastIn = in;
    // 30 s into a hold the reading has caught up with the plug-in's value.
    const float seg = Out(kProg, kProgSegNo);
    inHold = (seg == 2 || seg == 4 || seg == 6) && seg == holdSeg ? inHold + 1 : 0;
    holdSeg = seg;
    if (inHold >= 300) {
      ASSERT_NEAR(in, x, 0.05f);
    }
  });
  EXPECT_EQ(holds, 3);
}

// Unloaded, the host answers 0 and the firmware's own model closes the loop.
TEST_F(PlantDemo, WithoutAPlugInTheFirmwaresOwnModelClosesTheLoop) {
  SimPlantSetFolder(PLANT_SAMPLE_DIR);
  ASSERT_NE(SimPlantLoad(1), nullptr);
  SimPlantUnload();
  StartLoop();
  const int holds = FollowedHolds(kProgramCycles + 100, [] {
    const float x = Out(kCtrl, kCtrlX);
    ASSERT_TRUE(std::isfinite(x));
  });
  EXPECT_EQ(holds, 3);
  // The host leaves the result record alone without a plug-in: the own model wrote it.
  EXPECT_EQ(SimPlantTable().library, nullptr);
  EXPECT_EQ(g_fwPlant.result.valid, 1);
}

// A plug-in that answers NaN or infinities: the firmware keeps running, its values stay
// numbers and the controller's output stays in its range.
TEST_F(PlantDemo, APlugInThatAnswersNoNumbersDoesNotUpsetTheFirmware) {
  ASSERT_TRUE(SimPlantBind(PLANT_PROBE));
  auto state = reinterpret_cast<PlantProbeStateFn>(dlsym(SimPlantTable().library, "PlantProbeState"));
  ASSERT_NE(state, nullptr);
  PlantProbe* probe = state();
  StartLoop();
  const double answers[][2] = {{NAN, NAN}, {INFINITY, -INFINITY}, {-INFINITY, 1e300}, {1e300, NAN}};
  for (const auto& answer : answers) {
    probe->outputs[0] = answer[0];
    probe->outputs[1] = answer[1];
    for (int i = 0; i < 100; ++i) {
      FW_SimCycle();
      probe->calls[0] = '\0';  // the probe's log is not what this test reads
      ASSERT_TRUE(std::isfinite(Out(kCtrl, kCtrlX))) << i;
      ASSERT_TRUE(std::isfinite(Out(kInput, 1))) << i;
      const float y = Out(kCtrl, kCtrlY);
      ASSERT_GE(y, 0.0f);
      ASSERT_LE(y, 100.0f);
    }
  }
  EXPECT_EQ(g_fwMain.runState, FW_STATE_RUNNING);
}

}  // namespace
