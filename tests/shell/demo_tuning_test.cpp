// Self-tuning of the demo's controller on the built-in plant (gain 1.0, delay time 5 s, rise
// time 50 s), started from its tuning page with the hard keys as a user does: what it
// identifies and proposes does not depend on how fast the cycles follow each other, fits the
// plant, and the tuned loop follows the programmer; the program in the build tree finds no
// plug-in that would stand in for that plant.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "blocks/ctrl/ctrl.h"
#include "firmware/fw_adapter.h"
#include "firmware/fw_plant.h"
#include "opui/op_blockpage.h"
#include "opui/op_field_editor.h"
#include "opui/op_pages_ctrl.h"
#include "runtime/fw_clock.h"
#include "shell/plant_plugin.h"
#include "shell/project.h"
#include "simlayer/SIM.h"
#include "support/demo_firmware.h"

namespace {

enum : uint16_t { kCtrl = 100, kProg = 103 };
enum : uint16_t { kCtrlX = 2, kProgWp = 1, kProgSegNo = 5 };
enum : uint32_t { kCtrlXFault = 5 };  // the controller's `x f` input

// The plant of assets/demo.eng and what its step response gives by the tangent: the delay
// time and the steepest rise of a 100 % step (K x 100 % / Tg).
constexpr float kPlantTu = 5.0f, kPlantVmax = 2.0f;

float Out(uint16_t block, uint16_t output) {
  FbF32* p = nullptr;
  return FB_GetAnalogOutputPtr(block, output, &p) ? p->get() : NAN;
}

// The PC's clocks as the tests drive them: milliseconds for the simulation layer, seconds for
// the device's date and time.
uint32_t g_ms;
uint32_t Milliseconds() { return g_ms; }
bool LocalTime(std::tm* out) {
  const std::time_t t = 1796000000 + static_cast<std::time_t>(g_ms / 1000);
  return gmtime_r(&t, out) != nullptr;
}

// What a self-tuning leaves: the result code, Tu and Vmax of the heating side and the tuned
// set's parameters.
struct Tuned {
  int result;
  int error;
  float tu, vmax, xp1, tn, tv, tp1;
};

// The PID rules for a delay of `tu` seconds and a rise of `vmax` percent per second at the
// cycle time dt (Tu counted in cycles, at least two).
Tuned RulesFor(float tu, float vmax, float dt) {
  const float cycles = std::max(tu / dt, 2.0f);
  const float b = cycles * vmax * dt, ts = dt * cycles;
  const float e = 0.04f * b + 0.6f, d = 1 + dt / ts;
  Tuned t{};
  t.xp1 = b * 1.7f * d;
  t.tn = ts * 2 * e * d;
  t.tv = b <= 10 ? t.tn : ts * 2 * (1.055f - 0.0055f * b) * d;
  t.tp1 = std::clamp(ts / 4, 4 * dt, 999.9f);
  return t;
}

class DemoTuning : public DemoFirmware {
 protected:
  void TearDown() override {
    SIM_SetClockSource(nullptr);
    FW_SetTimeSource(nullptr);
    DemoFirmware::TearDown();
  }
  enum : uint32_t { kDown = 4, kEnter = 16 };
  // One cycle, `msPerCycle` of the PC's time after the one before.
  void cycle() {
    g_ms += msPerCycle;
    FW_SimCycle();
  }
  void press(uint32_t mask) {
    FW_SetKeyMask(mask);
    cycle();
    FW_SetKeyMask(0);
    cycle();
  }
  void run(int cycles) {
    for (int i = 0; i < cycles; ++i) cycle();
  }
  bool selectField(uint16_t field) {
    for (int i = 0; i < 12 && g_opFieldEditor.currentField != field; ++i) press(kDown);
    return g_opFieldEditor.currentField == field;
  }
  // The controller's tuning page opened from its overview (enter on X) and its state field
  // entered: the page's start or stop of the self-tuning.
  void enterTuningState() {
    ASSERT_EQ(OP_SelectBlockPage(kCtrl), 1);
    run(10);
    ASSERT_TRUE(selectField(OP_CTRL_FIELD_X));
    press(kEnter);
    run(4);
    ASSERT_EQ(g_opBlockPage.page, &g_opTunePage);
    ASSERT_TRUE(selectField(OP_TUNE_FIELD_STATE));
    press(kEnter);
  }
  // The demo started, its controller's tuning page opened from the overview (enter on X) and
  // the state field entered: the page's start of the self-tuning.
  void startTuning() {
    g_ms = 0;
    SIM_SetClockSource(Milliseconds);
    FW_SetTimeSource(LocalTime);
    ASSERT_EQ(SimLoadProject(nullptr), SIM_PROJECT_LOADED);
    startDemo();
    run(100);
    ASSERT_NO_FATAL_FAILURE(enterTuningState());
    state = CTRL_StateOf(kCtrl);
    ASSERT_NE(state, nullptr);
    ASSERT_EQ(state->out.optRun, 1);
  }
  // Runs until the self-tuning ends (at most two hours of cycles).
  Tuned finish() {
    for (int c = 0; c < 72000 && state->out.optRun; ++c) cycle();
    EXPECT_EQ(state->out.optRun, 0) << "the self-tuning ends";
    const CtrlRetained& r = state->retained;
    const CtrlParamSet& p = state->params.sets[0];
    return Tuned{r.optResultHeat, state->out.optError, r.tuHeat, r.vmaxHeat, p.xp1, p.tn, p.tv, p.tp1};
  }
  // Counts the programmer's holds in which X stays within 2 % of the range of the setpoint
  // from 30 s into the hold to its end.
  int followedHolds(int cycles) {
    constexpr int kSettle = 300;
    int holds = 0, inSegment = 0;
    float lastSeg = Out(kProg, kProgSegNo);
    for (int c = 0; c < cycles; ++c) {
      cycle();
      const float seg = Out(kProg, kProgSegNo), x = Out(kCtrl, kCtrlX), w = Out(kProg, kProgWp);
      inSegment = seg == lastSeg ? inSegment + 1 : 0;
      lastSeg = seg;
      const bool hold = seg == 2 || seg == 4 || seg == 6;
      if (hold && inSegment >= kSettle) {
        EXPECT_NEAR(x, w, 2.0f) << "segment " << seg << ", cycle " << c;
        if (std::fabs(x - w) > 2.0f) return holds;
        holds += inSegment == kSettle;
      }
    }
    return holds;
  }
  uint32_t msPerCycle = 100;
  CtrlBlockState* state = nullptr;
};

// At the normal pace (a cycle every 100 ms of the PC's time) and at Turbo's (the cycles as
// fast as the PC allows) the same cycles give the same tuning: Tu and Vmax within 20 % of
// the plant's, the PID rules' parameters for what was identified, which lie within 20 % of
// the rules' parameters for the plant itself; the loop then holds the programmer's setpoint.
TEST_F(DemoTuning, ThePagesSelfTuningFitsThePlantAtEveryPace) {
  Tuned paced[2];
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i == 0 ? "normal pace" : "Turbo pace");
    msPerCycle = i == 0 ? 100 : 0;
    startTuning();
    if (HasFatalFailure()) return;
    paced[i] = finish();
    if (i == 0) {
      std::printf("identified Tu %.3f s, Vmax %.3f %%/s; Xp1 %.2f, Tn %.2f s, Tv %.2f s, Tp %.2f s\n",
                  static_cast<double>(paced[0].tu), static_cast<double>(paced[0].vmax),
                  static_cast<double>(paced[0].xp1), static_cast<double>(paced[0].tn),
                  static_cast<double>(paced[0].tv), static_cast<double>(paced[0].tp1));
    }
    EXPECT_EQ(followedHolds(2 * 4800), 6) << "the tuned loop holds W within 2 %";
    TearDown();
    SetUp();
  }
  const Tuned& t = paced[0];
  const Tuned& turbo = paced[1];
  EXPECT_EQ(t.error, 0);
  EXPECT_TRUE(t.result == 2 || t.result == 4) << t.result;
  EXPECT_NEAR(t.tu, kPlantTu, 0.2f * kPlantTu);
  EXPECT_NEAR(t.vmax, kPlantVmax, 0.2f * kPlantVmax);
  const Tuned rules = RulesFor(t.tu, t.vmax, 0.1f);
  EXPECT_FLOAT_EQ(t.xp1, rules.xp1);
  EXPECT_FLOAT_EQ(t.tn, rules.tn);
  EXPECT_FLOAT_EQ(t.tv, rules.tv);
  EXPECT_FLOAT_EQ(t.tp1, rules.tp1);
  const Tuned plant = RulesFor(kPlantTu, kPlantVmax, 0.1f);
  EXPECT_NEAR(t.xp1, plant.xp1, 0.2f * plant.xp1);
  EXPECT_NEAR(t.tn, plant.tn, 0.2f * plant.tn);
  EXPECT_NEAR(t.tv, plant.tv, 0.2f * plant.tv);
  EXPECT_NEAR(t.tp1, plant.tp1, 0.2f * plant.tp1);
  // Turbo changes nothing.
  EXPECT_EQ(turbo.result, t.result);
  EXPECT_EQ(turbo.tu, t.tu);
  EXPECT_EQ(turbo.vmax, t.vmax);
  EXPECT_EQ(turbo.xp1, t.xp1);
  EXPECT_EQ(turbo.tn, t.tn);
  EXPECT_EQ(turbo.tv, t.tv);
  EXPECT_EQ(turbo.tp1, t.tp1);
}

// A self-tuning that cannot run leaves its result code on the page and the loop as it was:
// started with the loop in hand mode, the output held where the operator left it, it finds
// the demo's process beyond its setpoint and gives up with code 8, the loop still in hand at
// the same output; stopped by the operator from the page while it waits for the process to
// rest, it ends with code 0 and the loop back in automatic; asked for while the process value
// has failed, it does not start: code 0, the loop stays on its failure output. None of them
// touches the parameters.
TEST_F(DemoTuning, ATuningThatCannotRunLeavesTheLoopAsItWas) {
  struct Row {
    const char* name;
    bool hand;     // the operator puts the loop in hand mode before the start
    bool stop;     // the operator stops the tuning from the page
    bool failed;   // the process value's fault input is set before the start
    int result;    // the code the page shows on "Ores"
    bool running;  // the tuning still holds the loop (its start request stays)
    bool held;     // the output stays where it was (hand or failure value)
  };
  const Row rows[] = {
      {"started in hand mode", true, false, false, CTRL_ORES_NO_REST, true, true},
      {"stopped by the operator", false, true, false, CTRL_ORES_NONE, false, false},
      {"started with the sensor failed", false, false, true, CTRL_ORES_NONE, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    g_ms = 0;
    SIM_SetClockSource(Milliseconds);
    FW_SetTimeSource(LocalTime);
    ASSERT_EQ(SimLoadProject(nullptr), SIM_PROJECT_LOADED);
    startDemo();
    run(100);
    state = CTRL_StateOf(kCtrl);
    ASSERT_NE(state, nullptr);
    if (row.hand) {
      state->link.manualCmd = 1;  // what the overview's hand/auto field sends
      run(50);
      ASSERT_EQ(state->out.manualActive, 1);
    }
    if (row.failed) {
      // The transmitter's fault signal on the controller's `x f` input.
      FbRef* xf = nullptr;
      ASSERT_TRUE(FB_GetDigitalInputRef(kCtrl, kCtrlXFault, &xf));
      *xf = FB_REF_ONE;
      run(10);
      ASSERT_EQ(state->out.xFault, 1);
    }
    const CtrlParamSet before = state->params.sets[0];
    const float yBefore = state->out.y;
    ASSERT_NO_FATAL_FAILURE(enterTuningState());
    run(20);
    EXPECT_EQ(state->out.optRun, row.failed ? 0 : 1) << "the tuning starts unless the process value failed";
    if (row.stop) {
      press(kEnter);
      run(20);
      EXPECT_EQ(state->out.optRun, 0) << "the stop ends the tuning";
    }
    run(600);
    EXPECT_EQ(state->out.optRun, row.running ? 1 : 0);
    EXPECT_EQ(state->retained.optResultHeat, row.result);
    char shown[40];
    std::snprintf(shown, sizeof shown, "Ores  H: %6d", row.result);
    bool onPage = false;
    for (const OpTextRow& r : g_opMenuRows.items) onPage = onPage || std::strstr(r.text, shown) != nullptr;
    EXPECT_TRUE(onPage) << shown;
    EXPECT_EQ(state->out.manualActive, row.hand ? 1 : 0) << "the mode it had";
    EXPECT_EQ(state->out.failActive, row.failed ? 1 : 0) << "the mode it had";
    if (row.held) {
      EXPECT_EQ(state->out.y, yBefore) << "the output it had";
    }
    const CtrlParamSet& after = state->params.sets[0];
    EXPECT_EQ(after.xp1, before.xp1);
    EXPECT_EQ(after.xp2, before.xp2);
    EXPECT_EQ(after.tn, before.tn);
    EXPECT_EQ(after.tv, before.tv);
    EXPECT_EQ(after.tp1, before.tp1);
    EXPECT_EQ(after.tp2, before.tp2);
    TearDown();
    SetUp();
  }
}

// The program started from the build tree closes the demo's loop with the built-in plant: no
// plug-in edition lies beside it (the sample plug-in, a first-order lag, is built apart).
TEST(DemoPlant, NoPlugInStandsInForTheDemosPlant) {
  ASSERT_TRUE(std::filesystem::is_directory(SIM_PROGRAM_DIR)) << SIM_PROGRAM_DIR;
  for (int language : {0, 1, 2})
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(SIM_PROGRAM_DIR) / SimPlantEditionFile(language)))
        << SimPlantEditionFile(language);
}

}  // namespace
