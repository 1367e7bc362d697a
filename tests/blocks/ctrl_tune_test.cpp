// Self-tuning of the controller core, driven cycle by cycle on its records: the
// parameter-set selection, the rest detection, the phases with their result codes, the
// tuning rules and the optimisation of both sides of a three-point controller.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "blocks/ctrl/ctrl_core.h"
#include "support/ctrl_process.h"
#include "support/ctrl_rig.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr int kMinute = 600;  // cycles at dt 0.1 s
constexpr int kHour = 36000;

// A continuous PI controller at rest at x with the setpoint w; the optimisation starts from
// YOptm with the step dYopt.
struct TuneRig : CtrlRig {
  explicit TuneRig(float x = 20, float w = 50) {
    r.wi = w;
    in.x1 = x;
    p.yOptm = 30;
    p.dYopt = 20;
    for (CtrlParamSet& s : p.sets) s.tv = 0;
  }
  // Starts up and requests the optimisation.
  void start() {
    init();
    in.optStart = 1;
  }
  // Runs cycles until `until` holds (checked after each cycle) or `limit` cycles ran;
  // returns the cycles run.
  int runUntil(const std::function<bool()>& until, int limit) {
    for (int i = 1; i <= limit; ++i) {
      cycle();
      if (until()) return i;
    }
    return limit;
  }
  // Runs the optimisation until `o run` falls (or `limit` cycles).
  int runToEnd(int limit) { return runUntil([this] { return !out.optRun; }, limit); }
  bool stepApplied() const { return w.opt.stepApplied != 0; }
};

void expectSetsEqual(const CtrlParamSet& a, const CtrlParamSet& b) {
  EXPECT_EQ(a.xp1, b.xp1);
  EXPECT_EQ(a.xp2, b.xp2);
  EXPECT_EQ(a.tn, b.tn);
  EXPECT_EQ(a.tv, b.tv);
  EXPECT_EQ(a.tp1, b.tp1);
  EXPECT_EQ(a.tp2, b.tp2);
}

// ---------------------------------------------------------------------------------------
// Parameter-set selection.

TEST(CtrlParamSetSelect, BySwitchByValueOrSetZero) {
  struct Case {
    const char* what;
    uint8_t select;
    uint8_t expectSet, expectRetained;
  } cases[] = {
      {"by switch: the select byte, retained", CTRL_SET_BY_SWITCH, 3, 3},
      {"by value: the set number, not retained", CTRL_SET_BY_VALUE, 1, 0},
      {"otherwise set 0", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TuneRig rig;
    for (uint8_t n = 0; n < CTRL_PARAM_SETS; ++n) rig.p.sets[n].xp1 = 10.0f + n;
    rig.f.setSelect = c.select;
    rig.init();
    rig.cycle();
    rig.in.paramSetSelect = 3;
    rig.in.paramSetNumber = 1;
    rig.cycle();
    EXPECT_EQ(rig.out.activeSet, c.expectSet);
    EXPECT_EQ(rig.w.set.xp1, 10.0f + c.expectSet);
    EXPECT_EQ(rig.r.paramSet, c.expectRetained);
    EXPECT_EQ(rig.w.saveParamSet, c.select == CTRL_SET_BY_SWITCH ? 1 : 0);
    if (c.select == 0) {
      EXPECT_EQ(rig.in.paramSetNumber, 0);
    }
  }
}

// A new set, a change of the active set's values and a reload continue the output from
// where it was instead of jumping to the new gain; the changed-set byte is reset to 255.
TEST(CtrlParamSetSelect, ChangesContinueTheOutputBumplessly) {
  struct Case {
    const char* what;
    std::function<void(TuneRig&)> change;
  } cases[] = {
      {"another set", [](TuneRig& r) { r.in.paramSetSelect = 1; }},
      {"values of the active set", [](TuneRig& r) { r.p.sets[0].xp1 = 10; r.in.changedSet = 0; }},
      {"reload", [](TuneRig& r) { r.p.sets[0].xp1 = 10; r.w.setReload = 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TuneRig rig(40, 50);
    rig.f.setSelect = CTRL_SET_BY_SWITCH;
    rig.p.sets[1].xp1 = 10;
    rig.init();
    rig.cycle(3);
    const float before = rig.out.y;
    ASSERT_NEAR(before, 10, 0.5f) << "P part of Xp 100";
    c.change(rig);
    rig.cycle();
    EXPECT_NEAR(rig.out.y, before, 0.1f) << "a gain of 10 would give 100";
    EXPECT_EQ(rig.in.changedSet, 255);
    EXPECT_EQ(rig.w.setReload, 0);
  }
}

// The first cycle after start-up takes the set just loaded (and a set chosen by value that
// differs from the retained one) without holding the output at 0.
TEST(CtrlParamSetSelect, FirstCycleAfterStartUpGivesTheOutputAtOnce) {
  for (uint8_t select : {uint8_t{0}, uint8_t{CTRL_SET_BY_VALUE}}) {
    SCOPED_TRACE(select);
    TuneRig rig(40, 50);
    rig.f.setSelect = select;
    rig.p.sets[2].xp1 = 50;
    rig.in.paramSetNumber = 2;
    rig.init();
    rig.cycle();
    EXPECT_NEAR(rig.out.y, select ? 20 : 10, 0.01f);
  }
}

// The take-over and add-step requests reach the manual output, except while the
// optimisation runs; the requests are cleared either way.
TEST(CtrlParamSetSelect, TakeOverAndAddStepReachTheOutputUnlessOptimising) {
  TuneRig rig;
  rig.init();
  rig.in.manualCmd = 1;
  rig.cycle(2);
  rig.in.lastY = 40;
  rig.in.takeOver = 1;
  rig.cycle();
  EXPECT_FLOAT_EQ(rig.out.y, 40);
  rig.in.optStep = 5;
  rig.in.addStep = 1;
  rig.cycle();
  EXPECT_FLOAT_EQ(rig.out.y, 45);
  EXPECT_EQ(rig.in.takeOver, 0);
  EXPECT_EQ(rig.in.addStep, 0);

  TuneRig opt;
  opt.start();
  opt.cycle(3);
  ASSERT_EQ(opt.out.optRun, 1);
  ASSERT_FLOAT_EQ(opt.out.y, 30) << "held at YOptm";
  opt.in.lastY = 70;
  opt.in.takeOver = 1;
  opt.in.optStep = 5;
  opt.in.addStep = 1;
  opt.cycle();
  EXPECT_FLOAT_EQ(opt.out.y, 30);
  EXPECT_EQ(opt.in.takeOver, 0);
}

// Switching is off while the optimisation runs: the optimised set stays active.
TEST(CtrlParamSetSelect, OptimisedSetStaysWhileOptimising) {
  TuneRig rig;
  rig.f.setSelect = CTRL_SET_BY_SWITCH;
  rig.p.pOpt = 4;
  rig.p.sets[4].xp1 = 44;
  rig.start();
  rig.cycle();
  EXPECT_EQ(rig.w.set.xp1, 44);
  EXPECT_FLOAT_EQ(rig.w.set.tp1, 0.4f) << "pulse times 4 dt while optimising";
  rig.in.paramSetSelect = 2;
  rig.cycle();
  EXPECT_EQ(rig.w.set.xp1, 44);
}

// ---------------------------------------------------------------------------------------
// Rest detection.

// `o stab` after a minute at rest; OCond decides how a drift counts.
TEST(CtrlRest, StableAfterAMinuteByOCond) {
  struct Case {
    const char* what;
    uint8_t oCond;
    float drift;  // percent per cycle
    bool stable;
  } cases[] = {
      {"grad=0, at rest", 0, 0, true},
      {"grad=0, drifting", 0, 0.002f, false},
      {"grad<>0, drift compensated", 2, 0.002f, true},
      {"grad<0/>0, drift against the step", 1, -0.002f, true},
      {"grad<0/>0, drift with the step", 1, 0.002f, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TuneRig rig(20, 50);
    rig.f.oCond = c.oCond;
    rig.init();
    int first = 0;
    for (int i = 1; i <= 3 * kMinute && !first; ++i) {
      rig.in.x1 += c.drift;
      rig.cycle();
      if (rig.out.optStable) first = i;
    }
    if (!c.stable) {
      EXPECT_EQ(first, 0);
      continue;
    }
    EXPECT_GE(first, kMinute);
    EXPECT_LE(first, kMinute + kMinute / 2 + 10);
  }
}

TEST(CtrlRest, MovementRestartsTheMinute) {
  TuneRig rig(20, 50);
  rig.init();
  rig.cycle(kMinute - 100);
  rig.in.x1 = 20.6f;
  rig.cycle(200);
  EXPECT_EQ(rig.out.optStable, 0);
  const int more = rig.runUntil([&] { return rig.out.optStable != 0; }, kMinute);
  EXPECT_GT(more, kMinute - 200);
}

// ---------------------------------------------------------------------------------------
// Results of the phases.

// Waiting for rest: the process too close to the setpoint waits an hour and ends with 8;
// beyond the setpoint it ends with 8 at once. The hour counts past 16 bits.
TEST(CtrlOptimise, NoStartAtRestEndsWithEight) {
  struct Case {
    const char* what;
    float x;
    int waits;  // cycles in phase 1 at least
  } cases[] = {
      {"within 10 % below the setpoint", 45, kHour},
      {"beyond the setpoint by more than 10 %", 65, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TuneRig rig(c.x, 50);
    rig.start();
    rig.cycle(c.waits);
    if (c.waits) {
      EXPECT_EQ(rig.w.opt.phase, CTRL_OPT_PHASE_WAIT_REST);
      EXPECT_EQ(rig.out.optRun, 1);
    }
    rig.runUntil([&] { return rig.out.optError != 0; }, kMinute);
    rig.cycle();  // the mode machine follows `o err`
    EXPECT_EQ(rig.r.optResultHeat, CTRL_ORES_NO_REST);
    EXPECT_EQ(rig.w.opt.stage, CTRL_OPT_STAGE_ERROR);
    EXPECT_EQ(rig.w.mode, CtrlMode::OptFailed);
    EXPECT_FLOAT_EQ(rig.out.y, 30) << "the start value";
  }
}

// After the heating side of a three-point controller, the cooling step waits for the
// process to rest near the setpoint; far from it the large-deviation flag holds it back
// until the hour ends with 8 for the cooling side. The heating result stays.
TEST(CtrlOptimise, CoolingStepWaitsNearTheSetpoint) {
  TuneRig rig(20, 50);
  rig.f.kind = CTRL_KIND_THREE_POINT;
  rig.p.ymin = -100;
  rig.start();
  rig.cycle();
  rig.w.opt.stage = CTRL_OPT_STAGE_HEAT_IDENT;
  rig.w.opt.phase = CTRL_OPT_PHASE_IDENTIFIED;
  rig.w.opt.result = CTRL_ORES_THREE_MAXIMA;
  rig.w.opt.tu = 20;
  rig.w.opt.vmax = 0.25f;
  rig.cycle(2);
  ASSERT_EQ(rig.w.opt.stage, CTRL_OPT_STAGE_COOL_STEP);
  EXPECT_EQ(rig.w.newParams, 1) << "the heating side is handed over";
  EXPECT_EQ(rig.w.optManual, 0) << "automatic with the new parameters";
  rig.in.x1 = 20;  // held far below the setpoint
  rig.cycle(kHour - 10);
  EXPECT_EQ(rig.w.opt.largeDev, 1);
  EXPECT_EQ(rig.w.opt.phase, CTRL_OPT_PHASE_WAIT_REST);
  rig.runUntil([&] { return rig.out.optError != 0; }, kMinute);
  EXPECT_EQ(rig.r.optResultCool, CTRL_ORES_NO_REST);
  EXPECT_EQ(rig.r.optResultHeat, CTRL_ORES_THREE_MAXIMA);
  EXPECT_EQ(rig.w.opt.largeDev, 1) << "the page shows the second flag";
}

// Resting at Y 98, dYopt 5 with Ymax 100 gives a step of 2: result 7, `o err`, the output
// back at its start value; the start request withdrawn ends it.
TEST(CtrlOptimise, StepBelowFivePercentEndsWithSeven) {
  TuneRig rig(20, 50);
  rig.p.yOptm = 98;
  rig.p.dYopt = 5;
  rig.start();
  rig.runUntil([&] { return rig.out.optError != 0; }, 2 * kMinute);
  EXPECT_NEAR(rig.w.opt.step, 2, 1e-3f);
  EXPECT_EQ(rig.r.optResultHeat, CTRL_ORES_SMALL_STEP);
  EXPECT_EQ(rig.out.optRun, 1) << "held while the request stays";
  EXPECT_FLOAT_EQ(rig.out.y, 98);
  rig.in.optStart = 0;
  rig.cycle(3);
  EXPECT_EQ(rig.out.optRun, 0);
  EXPECT_EQ(rig.w.mode, CtrlMode::Automatic);
  EXPECT_EQ(rig.w.optHolds, 0);
}

// After the step the process does something other than rise: the result, the original
// parameters kept, nothing non-finite anywhere.
TEST(CtrlOptimise, ProcessThatDoesNotRiseEndsWithItsResult) {
  struct Case {
    const char* what;
    std::vector<float> after;  // x from the first cycle after the step on, the last one held
    uint8_t result;
    int within;
  } cases[] = {
      {"falls by more than 0.5", {19.4f}, CTRL_ORES_AGAINST_STEP, 5},
      {"never rises", {20}, CTRL_ORES_NO_RISE, kHour + 10},
      {"jumps in the first sample (one-sample window)", {21}, CTRL_ORES_NO_RISE, kHour + 10},
      // The first window: 0, 0.5, 0.5, 0.5, 0.125, 0, 0, 0.625 has a slope of exactly 0.
      {"a window of zero slope", {20, 20.5f, 20.5f, 20.5f, 20.125f, 20, 20, 20.625f},
       CTRL_ORES_NO_RISE, kHour + 10},
      {"NaN", {kNaN}, CTRL_ORES_AGAINST_STEP, 5},
      {"+1.5e37", {1.5e37f}, CTRL_ORES_PASS_SETPOINT, 5},
      {"-1.5e37", {-1.5e37f}, CTRL_ORES_AGAINST_STEP, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TuneRig rig(20, 50);
    rig.start();
    const CtrlParamSet original = rig.p.sets[0];
    rig.runUntil([&] { return rig.stepApplied(); }, 2 * kMinute);
    ASSERT_TRUE(rig.stepApplied());
    ASSERT_FLOAT_EQ(rig.out.y, 50) << "stepped by dYopt";
    size_t k = 0;
    rig.in.x1 = c.after[0];
    const int n = rig.runUntil(
        [&] {
          if (k + 1 < c.after.size()) ++k;
          rig.in.x1 = c.after[k];
          return rig.out.optError != 0;
        },
        c.within);
    EXPECT_LT(n, c.within);
    EXPECT_EQ(rig.r.optResultHeat, c.result);
    EXPECT_EQ(rig.w.opt.maxima, 0);
    EXPECT_TRUE(std::isfinite(rig.w.opt.tu) && std::isfinite(rig.w.opt.vmax));
    EXPECT_TRUE(std::isfinite(rig.r.tuHeat) && std::isfinite(rig.r.vmaxHeat));
    EXPECT_EQ(rig.w.newParams, 0);
    expectSetsEqual(rig.p.sets[0], original);
    EXPECT_FLOAT_EQ(rig.out.y, 30) << "back at the start value";
  }
}

// ---------------------------------------------------------------------------------------
// Tuning rules, applied to the active set from an identified state.

struct RuleCase {
  const char* what;
  uint8_t kind;
  CtrlParamSet set;   // the active set when the side is identified
  uint8_t stage, phase;
  float tu, vmax;     // cycles, percent per cycle (of a 100 % step)
  CtrlParamSet expect;
};

TEST(CtrlTuningRules, ByStructureAndSide) {
  const CtrlParamSet pi{.xp1 = 100, .xp2 = 100, .tn = 10, .tv = 0, .tp1 = 5, .tp2 = 5};
  const CtrlParamSet pd{.xp1 = 100, .xp2 = 100, .tn = 0, .tv = 10, .tp1 = 5, .tp2 = 5};
  const CtrlParamSet p{.xp1 = 100, .xp2 = 100, .tn = 0, .tv = 0, .tp1 = 5, .tp2 = 5};
  const CtrlParamSet pid{.xp1 = 100, .xp2 = 100, .tn = 10, .tv = 10, .tp1 = 5, .tp2 = 5};
  const CtrlParamSet heated{.xp1 = 13.65f, .xp2 = 13.65f, .tn = 10.08f, .tv = 0, .tp1 = 0.5f,
                            .tp2 = 0.4f};
  const uint8_t cont = CTRL_KIND_CONTINUOUS, three = CTRL_KIND_THREE_POINT;
  const uint8_t heat = CTRL_OPT_STAGE_HEAT_IDENT, cool = CTRL_OPT_STAGE_COOL_IDENT;
  const uint8_t found = CTRL_OPT_PHASE_IDENTIFIED, steep = CTRL_OPT_PHASE_IDENTIFIED_STEEP;
  const RuleCase cases[] = {
      {"PI", cont, pi, heat, found, 20, 0.25f,
       {.xp1 = 13.65f, .xp2 = 13.65f, .tn = 10.08f, .tv = 0, .tp1 = 0.5f, .tp2 = 0.5f}},
      {"PD", cont, pd, heat, found, 20, 0.25f,
       {.xp1 = 2.625f, .xp2 = 2.625f, .tn = 0, .tv = 1.68f, .tp1 = 0.5f, .tp2 = 0.5f}},
      {"P", cont, p, heat, found, 20, 0.25f,
       {.xp1 = 5.25f, .xp2 = 5.25f, .tn = 0, .tv = 0, .tp1 = 0.5f, .tp2 = 0.5f}},
      {"PID", cont, pid, heat, found, 20, 0.25f,
       {.xp1 = 8.925f, .xp2 = 8.925f, .tn = 3.36f, .tv = 3.36f, .tp1 = 0.5f, .tp2 = 0.5f}},
      {"PI of a stepping output (Tm 30 s)", CTRL_KIND_STEPPING_YP, pi, heat, found, 20,
       0.25f, {.xp1 = 13.0f / 3, .xp2 = 13.0f / 3, .tn = 9.6f, .tv = 0, .tp1 = 0.5f, .tp2 = 0.5f}},
      {"Tu below 2 cycles counts as 2", cont, pi, heat, found, 1, 0.25f,
       {.xp1 = 1.95f, .xp2 = 1.95f, .tn = 1.116f, .tv = 0, .tp1 = 0.4f, .tp2 = 0.4f}},
      {"rule 1: cooling identified", three, heated, cool, found, 40, 0.5f,
       {.xp1 = 13.65f, .xp2 = 53.3f, .tn = 10.08f, .tv = 0, .tp1 = 0.5f, .tp2 = 1.0f}},
      {"rule 2: cooling identified steep", three, heated, cool, steep, 40, 0.5f,
       {.xp1 = 13.65f, .xp2 = 6.825f, .tn = 10.08f, .tv = 0, .tp1 = 0.5f, .tp2 = 0.5f}},
      {"cooling failed: Tp2 follows Tp1", three, heated, cool, CTRL_OPT_PHASE_ENDED, 40, 0.5f,
       {.xp1 = 13.65f, .xp2 = 13.65f, .tn = 10.08f, .tv = 0, .tp1 = 0.5f, .tp2 = 0.5f}},
  };
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.what);
    TuneRig rig;
    rig.f.kind = c.kind;
    rig.start();
    rig.cycle();
    rig.w.set = c.set;
    rig.w.opt.stage = c.stage;
    rig.w.opt.phase = c.phase;
    rig.w.opt.tu = c.tu;
    rig.w.opt.vmax = c.vmax;
    rig.cycle(2);  // the rule, then the done state stores the set
    const CtrlParamSet& s = rig.p.sets[0];
    EXPECT_NEAR(s.xp1, c.expect.xp1, 1e-4f);
    EXPECT_NEAR(s.xp2, c.expect.xp2, 1e-4f);
    EXPECT_NEAR(s.tn, c.expect.tn, 1e-4f);
    EXPECT_NEAR(s.tv, c.expect.tv, 1e-4f);
    EXPECT_NEAR(s.tp1, c.expect.tp1, 1e-5f);
    EXPECT_NEAR(s.tp2, c.expect.tp2, 1e-5f);
    EXPECT_EQ(rig.w.newParams, 1);
    EXPECT_EQ(rig.out.optRun, 0);
    EXPECT_EQ(rig.out.optError, 0);
  }
}

// `POpt` names the set that is loaded, tuned and stored; a value past the sets is set 0.
TEST(CtrlTuningRules, TheSetPOptIsTunedAndStored) {
  for (uint8_t popt : {uint8_t{5}, uint8_t{200}}) {
    SCOPED_TRACE(popt);
    TuneRig rig;
    rig.p.pOpt = popt;
    const uint8_t n = popt < CTRL_PARAM_SETS ? popt : 0;
    rig.p.sets[n].xp1 = 77;
    rig.start();
    rig.cycle();
    EXPECT_EQ(rig.w.set.xp1, 77);
    rig.w.opt.stage = CTRL_OPT_STAGE_HEAT_IDENT;
    rig.w.opt.phase = CTRL_OPT_PHASE_IDENTIFIED;
    rig.w.opt.tu = 20;
    rig.w.opt.vmax = 0.25f;
    rig.cycle(2);
    EXPECT_NEAR(rig.p.sets[n].xp1, 13.65f, 1e-4f);
    for (uint8_t other = 0; other < CTRL_PARAM_SETS; ++other) {
      if (other != n) {
        EXPECT_EQ(rig.p.sets[other].xp1, 100) << int{other};
      }
    }
  }
}

// ---------------------------------------------------------------------------------------
// Whole optimisations on a test process.

// Runs the loop: the process follows the output of the previous cycle.
int runLoop(TuneRig& rig, CtrlTestProcess& proc, int limit) {
  return rig.runUntil(
      [&] {
        rig.in.x1 = proc.step(rig.out.y);
        return !rig.out.optRun;
      },
      limit);
}

TEST(CtrlOptimise, ContinuousPiOnATestProcess) {
  TuneRig rig(10, 60);
  rig.p.yOptm = 0;
  rig.p.dYopt = 40;
  CtrlTestProcess proc;
  proc.settle(0);
  rig.in.x1 = proc.x();
  rig.start();
  const int n = runLoop(rig, proc, 20 * kMinute);
  ASSERT_LT(n, 20 * kMinute);
  EXPECT_EQ(rig.out.optError, 0);
  EXPECT_TRUE(rig.r.optResultHeat == CTRL_ORES_THREE_MAXIMA ||
              rig.r.optResultHeat == CTRL_ORES_SETPOINT_LIMIT)
      << int{rig.r.optResultHeat};
  // Two lags of 10 and 5 s after 2 s: the tangent meets the start after about 3.9 s with
  // a slope of 5 % per second for a 100 % step.
  EXPECT_NEAR(rig.r.tuHeat, 3.9f, 0.2f);
  EXPECT_NEAR(rig.r.vmaxHeat, 5.0f, 0.2f);
  EXPECT_EQ(rig.r.optResultCool, 0);
  const CtrlParamSet& s = rig.p.sets[0];
  const float tu = rig.r.tuHeat / 0.1f, vmax = rig.r.vmaxHeat * 0.1f;
  const float b = tu * vmax, ts = tu * 0.1f, d = 1 + 0.1f / ts;
  EXPECT_NEAR(s.xp1, b * 2.6f * d, 1e-3f * s.xp1);
  EXPECT_NEAR(s.tn, ts * 6 * (0.04f * b + 0.6f) * d, 1e-3f * s.tn);
  EXPECT_EQ(s.tv, 0);
  EXPECT_EQ(rig.w.saveOptResults, 1);
  rig.cycle(3);
  EXPECT_EQ(rig.w.mode, CtrlMode::Automatic);
  EXPECT_EQ(rig.w.optHolds, 0);
  EXPECT_EQ(rig.w.set.xp1, s.xp1) << "the tuned set is active";
}

// A three-point controller follows the heating step with a cooling step of -dYopt from
// the rest that the tuned heating parameters reach, and sets Xp2 and Tp2 from it.
TEST(CtrlOptimise, ThreePointOptimisesBothSides) {
  TuneRig rig(10, 60);
  rig.f.kind = CTRL_KIND_THREE_POINT;
  rig.p.ymin = -100;
  rig.p.yOptm = 0;
  rig.p.dYopt = 40;
  CtrlTestProcess proc;
  proc.settle(0);
  proc.coolGain = 2;
  rig.in.x1 = proc.x();
  rig.start();
  float coolStep = 0;
  const int n = rig.runUntil(
      [&] {
        rig.in.x1 = proc.step(rig.out.y);
        if (rig.w.opt.stage == CTRL_OPT_STAGE_COOL_IDENT && coolStep == 0) coolStep = rig.out.y;
        return !rig.out.optRun;
      },
      60 * kMinute);
  ASSERT_LT(n, 60 * kMinute);
  EXPECT_EQ(rig.out.optError, 0);
  EXPECT_FLOAT_EQ(coolStep, -40) << "the cooling step";
  EXPECT_TRUE(rig.r.optResultHeat == CTRL_ORES_THREE_MAXIMA ||
              rig.r.optResultHeat == CTRL_ORES_SETPOINT_LIMIT);
  const uint8_t cool = rig.r.optResultCool;
  EXPECT_TRUE(cool == CTRL_ORES_THREE_MAXIMA || cool == CTRL_ORES_SETPOINT_LIMIT ||
              cool == CTRL_ORES_INFLECTION)
      << int{cool};
  EXPECT_NEAR(rig.r.tuCool, rig.r.tuHeat, 0.2f);
  EXPECT_NEAR(rig.r.vmaxCool, 2 * rig.r.vmaxHeat, 0.1f * rig.r.vmaxHeat)
      << "the heating taken out of the cooling step";

  const CtrlParamSet& s = rig.p.sets[0];
  const float tu = std::fmax(rig.r.tuCool / 0.1f, 2), vmax = rig.r.vmaxCool * 0.1f;
  const float b = tu * vmax, ts = tu * 0.1f, d = 1 + 0.1f / ts;
  if (cool == CTRL_ORES_INFLECTION && b >= 0.4f) {
    EXPECT_NEAR(s.xp2, 0.5f * s.xp1, 1e-4f);  // rule 2
    EXPECT_EQ(s.tp2, s.tp1);
  } else {
    EXPECT_NEAR(s.xp2, CTRL_Clamp(2.6f * b * d, 0.1f, 999.9f), 2e-3f * s.xp2);  // rule 1
    EXPECT_NEAR(s.tp2, CTRL_Clamp(ts / 4, 0.4f, 999.9f), 1e-4f);
  }
  EXPECT_NE(s.xp2, s.xp1);
}

// Stepping outputs position the motor: without Yp it first runs fully closed and then
// opens by YOptm; with Yp it positions by YOptm - Yp. The step opens it by dYopt more.
TEST(CtrlOptimise, SteppingOutputsPositionTheMotor) {
  struct Case {
    const char* what;
    uint8_t kind;
    float closedFirst;  // lowest position before the step
  } cases[] = {
      {"stepping without Yp", CTRL_KIND_STEPPING, 0},
      {"stepping with Yp", CTRL_KIND_STEPPING_YP, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TuneRig rig(10, 60);
    rig.f.kind = c.kind;
    rig.p.tm = 30;  // 3 cycles per percent of travel
    rig.p.yOptm = 30;
    rig.p.dYopt = 20;
    CtrlTestProcess proc;
    float valve = 10;  // percent open
    proc.settle(valve);
    rig.in.x1 = proc.x();
    rig.in.yp = valve;
    rig.start();
    float lowest = valve, atStep = -1, afterStep = -1;
    int sinceStep = 0;
    const int n = rig.runUntil(
        [&] {
          if (rig.out.y1) valve += 1.0f / 3;
          if (rig.out.y2) valve -= 1.0f / 3;
          valve = CTRL_Clamp(valve, 0, 100);
          rig.in.yp = valve;
          rig.in.x1 = proc.step(valve);
          if (!rig.stepApplied()) lowest = std::fmin(lowest, valve);
          if (rig.stepApplied() && atStep < 0) atStep = valve;
          if (rig.stepApplied() && ++sinceStep == 80) afterStep = valve;
          return !rig.out.optRun;
        },
        30 * kMinute);
    ASSERT_LT(n, 30 * kMinute);
    EXPECT_EQ(rig.out.optError, 0);
    EXPECT_NEAR(lowest, c.closedFirst, 0.5f);
    EXPECT_NEAR(atStep, 30, 0.7f);
    EXPECT_NEAR(afterStep, 50, 0.7f);
    EXPECT_TRUE(rig.r.optResultHeat == CTRL_ORES_THREE_MAXIMA ||
                rig.r.optResultHeat == CTRL_ORES_SETPOINT_LIMIT);
    // The PI rule of a stepping output: Xp1 = 2.6 b t / 3 with t = Ts / Tm + 0.5 within 1..2.
    const float tu = rig.r.tuHeat / 0.1f, b = tu * rig.r.vmaxHeat * 0.1f;
    const float t = CTRL_Clamp(tu * 0.1f / 30 + 0.5f, 1, 2);
    EXPECT_NEAR(rig.p.sets[0].xp1, b * 2.6f * t / 3, 1e-3f * rig.p.sets[0].xp1);
  }
}

}  // namespace
