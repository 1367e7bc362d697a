// Controller core, driven cycle by cycle on its records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "blocks/ctrl/ctrl_core.h"
#include "support/ctrl_rig.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// ---------------------------------------------------------------------------------------
// Clamp.

TEST(CtrlClamp, ClampsAndPassesNaN) {
  EXPECT_EQ(CTRL_Clamp(5, 1, 6), 5);
  EXPECT_EQ(CTRL_Clamp(0.5f, 1, 6), 1);
  EXPECT_EQ(CTRL_Clamp(7, 1, 6), 6);
  EXPECT_TRUE(std::isnan(CTRL_Clamp(kNaN, 1, 6)));
}

// ---------------------------------------------------------------------------------------
// Operating modes.

struct ModeStep {
  const char* what;
  std::function<void(CtrlRig&)> act;
  CtrlMode expect;
};

void runSteps(CtrlRig& rig, const std::vector<ModeStep>& steps) {
  for (const ModeStep& s : steps) {
    SCOPED_TRACE(s.what);
    s.act(rig);
    rig.cycle();
    EXPECT_EQ(static_cast<int>(rig.w.mode), static_cast<int>(s.expect));
  }
}

TEST(CtrlModes, OffWinsOverHardManualAndHandsOverToIt) {
  CtrlRig rig;
  rig.init();
  runSteps(rig, {
      {"off and hard manual", [](CtrlRig& r) { r.in.dOff = r.in.dHardManual = 1; },
       CtrlMode::Off},
      {"off released", [](CtrlRig& r) { r.in.dOff = 0; }, CtrlMode::HardManual},
      {"hard manual released", [](CtrlRig& r) { r.in.dHardManual = 0; }, CtrlMode::Automatic},
  });
  EXPECT_EQ(rig.out.offActive, 0);
  EXPECT_EQ(rig.out.hardManualActive, 0);
}

TEST(CtrlModes, PriorityOfTheRequestsFromEachState) {
  CtrlRig rig;
  rig.init();
  runSteps(rig, {
      {"Y2 command", [](CtrlRig& r) { r.in.y2Cmd = 1; }, CtrlMode::Y2},
      {"manual too: Y2 stays", [](CtrlRig& r) { r.in.manualCmd = 1; }, CtrlMode::Y2},
      {"Y2 released: manual", [](CtrlRig& r) { r.in.y2Cmd = 0; }, CtrlMode::Manual},
      {"fault in manual: manual stays", [](CtrlRig& r) { r.in.dXFault = 1; }, CtrlMode::Manual},
      {"manual released: failure", [](CtrlRig& r) { r.in.manualCmd = 0; }, CtrlMode::Failure},
      {"hard manual out of failure", [](CtrlRig& r) { r.in.dHardManual = 1; },
       CtrlMode::HardManual},
      {"hard manual released: failure", [](CtrlRig& r) { r.in.dHardManual = 0; },
       CtrlMode::Failure},
      {"fault gone", [](CtrlRig& r) { r.in.dXFault = 0; }, CtrlMode::Automatic},
  });
}

TEST(CtrlModes, CommandsAreRetainedAndRestoredAtStartUp) {
  CtrlRig rig;
  rig.init();
  rig.in.y2Cmd = 1;
  rig.cycle();
  EXPECT_EQ(rig.r.y2Cmd, 1);
  EXPECT_EQ(rig.w.saveY2Cmd, 1);

  CtrlRig restarted;
  restarted.r = rig.r;
  restarted.init();
  EXPECT_EQ(static_cast<int>(restarted.w.mode), static_cast<int>(CtrlMode::Y2));
  EXPECT_EQ(restarted.in.y2Cmd, 1);
  EXPECT_EQ(restarted.out.y2Active, 1);
}

TEST(CtrlModes, OptimisationStartAndEnd) {
  CtrlRig rig;
  rig.init();
  runSteps(rig, {
      {"manual command", [](CtrlRig& r) { r.in.manualCmd = 1; }, CtrlMode::Manual},
      {"start from manual", [](CtrlRig& r) { r.in.optStart = 1; }, CtrlMode::Optimisation},
  });
  EXPECT_EQ(rig.in.manualCmd, 0);
  EXPECT_EQ(rig.r.manualCmd, 0);
  EXPECT_EQ(rig.w.saveManualCmd, 1);
  EXPECT_EQ(rig.in.optStart, 1);
  EXPECT_EQ(rig.w.optRequested, 1);
  EXPECT_EQ(rig.out.manualActive, 1) << "the optimisation started from manual";

  runSteps(rig, {
      {"o run rises", [](CtrlRig& r) { r.out.optRun = 1; }, CtrlMode::Optimisation},
      {"o run falls: done", [](CtrlRig& r) { r.out.optRun = 0; }, CtrlMode::Automatic},
  });
  EXPECT_EQ(rig.in.optStart, 0);
  EXPECT_EQ(rig.w.optRequested, 0);
  EXPECT_EQ(rig.out.manualActive, 0);
}

TEST(CtrlModes, WithdrawnOrFailedOptimisationLeavesOnlyOnceORunIsClear) {
  CtrlRig rig;
  rig.init();
  runSteps(rig, {
      {"start", [](CtrlRig& r) { r.in.optStart = 1; }, CtrlMode::Optimisation},
      {"running", [](CtrlRig& r) { r.out.optRun = 1; }, CtrlMode::Optimisation},
      {"o err", [](CtrlRig& r) { r.out.optError = 1; }, CtrlMode::OptFailed},
      {"failed is held", [](CtrlRig&) {}, CtrlMode::OptFailed},
      {"start withdrawn", [](CtrlRig& r) { r.in.optStart = 0; }, CtrlMode::Leaving},
      {"o run still set", [](CtrlRig&) {}, CtrlMode::Leaving},
      {"o run clear", [](CtrlRig& r) { r.out.optRun = r.out.optError = 0; },
       CtrlMode::Automatic},
      {"start again", [](CtrlRig& r) { r.in.optStart = 1; }, CtrlMode::Optimisation},
      {"manual during the optimisation", [](CtrlRig& r) { r.in.dManual = 1; },
       CtrlMode::Leaving},
      {"the optimisation ends its side", [](CtrlRig&) {}, CtrlMode::Leaving},
      {"and clears o run", [](CtrlRig&) {}, CtrlMode::Leaving},
      {"to the manual target", [](CtrlRig&) {}, CtrlMode::Manual},
  });
  EXPECT_EQ(rig.in.optStart, 0);
  EXPECT_EQ(rig.w.setSwitching, 1);
}

TEST(CtrlModes, ProcessValueFaultGivesTheFailureReactionAndRestartsTheSetpoint) {
  CtrlRig rig;
  rig.p.ymin = 5;
  rig.p.grwUp = rig.p.grwDown = 60;  // 0.1 per cycle
  rig.r.wi = 50;
  rig.in.x1 = 20;
  rig.init();
  rig.cycle(400);
  ASSERT_FLOAT_EQ(rig.out.w, 50);

  rig.in.dXFault = 1;
  rig.cycle();
  EXPECT_EQ(static_cast<int>(rig.w.mode), static_cast<int>(CtrlMode::Failure));
  EXPECT_EQ(rig.out.failActive, 1);
  EXPECT_EQ(rig.out.faultSummary, 1);
  EXPECT_FLOAT_EQ(rig.out.y, 5) << "Ymin: Y at the lower limit";

  rig.in.dXFault = 0;
  rig.cycle();
  EXPECT_EQ(static_cast<int>(rig.w.mode), static_cast<int>(CtrlMode::Automatic));
  EXPECT_NEAR(rig.out.w, 20.1f, 1e-4) << "restarted from X, then one ramp step";
}

TEST(CtrlModes, SignalKindsAndSteppingDropTheModesTheyDoNotHave) {
  struct Case {
    uint8_t kind;
    CtrlMode expect;
  } cases[] = {{CTRL_KIND_SIGNAL1, CtrlMode::Automatic},
               {CTRL_KIND_STEPPING, CtrlMode::Manual},
               {CTRL_KIND_CONTINUOUS, CtrlMode::HardManual}};
  for (const Case& k : cases) {
    SCOPED_TRACE(static_cast<int>(k.kind));
    CtrlRig rig;
    rig.f.kind = k.kind;
    rig.init();
    rig.in.hardManualCmd = rig.in.y2Cmd = rig.in.manualCmd = 1;
    rig.cycle();
    EXPECT_EQ(static_cast<int>(rig.w.mode), static_cast<int>(k.expect));
  }
}

// ---------------------------------------------------------------------------------------
// Process value.

TEST(CtrlProcessValue, ByControllerType) {
  struct Case {
    const char* what;
    uint8_t type, ratio;
    float x1, x2, x3, n0, a, x;
  } cases[] = {
      {"standard", CTRL_TYPE_STANDARD, 0, 42, 7, 9, 3, 2, 42},
      {"ratio type 1", CTRL_TYPE_RATIO, CTRL_RATIO_TYPE1, 2, 4, 0, 0, 1, 0.5f},
      {"ratio type 1 with N0", CTRL_TYPE_RATIO, CTRL_RATIO_TYPE1, 2, 4, 0, 2, 1, 1},
      {"ratio type 2", CTRL_TYPE_RATIO, CTRL_RATIO_TYPE2, 1, 3, 0, 0, 1, 0.25f},
      {"ratio type 2, X1 + X2 = 0", CTRL_TYPE_RATIO, CTRL_RATIO_TYPE2, 1, -1, 0, 0, 1, 999999},
      {"ratio type 3", CTRL_TYPE_RATIO, CTRL_RATIO_TYPE3, 1, 4, 0, 0, 1, 0.75f},
      {"three-element", CTRL_TYPE_THREE_ELEMENT, 0, 10, 5, 3, 0, 1, 12},
      {"three-element, a = 2", CTRL_TYPE_THREE_ELEMENT, 0, 10, 5, 3, 0, 2, 14},
      {"clamped low", CTRL_TYPE_STANDARD, 0, -50000, 0, 0, 0, 1, -29999},
      {"clamped high", CTRL_TYPE_STANDARD, 0, 2e6f, 0, 0, 0, 1, 999999},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    CtrlRig rig;
    rig.f.cType = k.type;
    rig.f.ratio = k.ratio;
    rig.p.n0 = k.n0;
    rig.p.a = k.a;
    rig.in.x1 = k.x1;
    rig.in.x2 = k.x2;
    rig.in.x3 = k.x3;
    rig.init();
    rig.cycle();
    EXPECT_FLOAT_EQ(rig.out.x, k.x);
  }
}

TEST(CtrlProcessValue, RatioDivisorScalesThePercentValues) {
  CtrlRig rig;
  rig.f.cType = CTRL_TYPE_RATIO;
  rig.f.ratio = CTRL_RATIO_TYPE2;
  rig.in.x1 = 1;
  rig.in.x2 = -1;
  rig.init();
  rig.cycle();
  EXPECT_FLOAT_EQ(rig.w.ratioDivisor, 1e-6f);
  EXPECT_NEAR(rig.out.xPercent, 999999 * 1e-6f, 1e-5);
}

// ---------------------------------------------------------------------------------------
// Output value by mode.

TEST(CtrlManual, IncrementSpeedsUpAfterThreeAndSixSeconds) {
  CtrlRig rig;
  rig.init();
  rig.in.manualCmd = 1;
  rig.cycle();
  ASSERT_FLOAT_EQ(rig.out.y, 0);
  rig.in.dInc = 1;
  const float base = 0.1001f;
  for (int n = 1; n <= 70; ++n) {
    const float before = rig.out.y;
    rig.cycle();
    const float expected = n <= 30 ? base : (n <= 60 ? 2.5f * base : 10 * base);
    ASSERT_NEAR(rig.out.y - before, expected, 2e-5) << "cycle " << n;
  }
  rig.in.dInc = 0;
  rig.cycle();
  EXPECT_EQ(rig.w.out.holdTime, 0);
}

TEST(CtrlManual, DecrementSnapsToZeroBelowOneStep) {
  CtrlRig rig;
  rig.p.ymin = -100;
  rig.in.lastY = 0.15f;
  rig.w.warmStart = 1;  // keeps the last Y
  rig.init();
  rig.in.manualCmd = 1;
  rig.cycle();
  ASSERT_FLOAT_EQ(rig.out.y, 0.15f) << "manual starts from the last Y";
  rig.in.dDec = 1;
  rig.cycle();
  EXPECT_EQ(rig.out.y, 0) << "0.0499: |Y| below one step becomes 0";
  rig.cycle();
  EXPECT_NEAR(rig.out.y, -0.1001f, 1e-5);
  rig.cycle();
  EXPECT_NEAR(rig.out.y, -0.2002f, 1e-5);
}

TEST(CtrlManual, OverrideLimitsStopTheOutput) {
  struct Case {
    const char* what;
    uint8_t ovc;
    float plus, minus;
    bool inc;
    float y;
  } cases[] = {
      {"OVC+ at 50, inc", CTRL_OVC_PLUS, 50, 0, true, 50},
      {"OVC+ below Ymin + 1", CTRL_OVC_PLUS, -20, 0, true, 1},
      {"OVC- at 30, dec", CTRL_OVC_MINUS, 0, 30, false, 30},
      {"both, inc", CTRL_OVC_BOTH, 60, 20, true, 60},
      {"both, dec", CTRL_OVC_BOTH, 60, 20, false, 20},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    CtrlRig rig;
    rig.f.ovc = k.ovc;
    rig.in.ovcPlus = k.plus;
    rig.in.ovcMinus = k.minus;
    rig.in.lastY = 40;
    rig.init();
    rig.in.manualCmd = 1;
    (k.inc ? rig.in.dInc : rig.in.dDec) = 1;
    rig.cycle(200);
    EXPECT_FLOAT_EQ(rig.out.y, k.y);
  }
}

TEST(CtrlManual, ValueByMode) {
  struct Case {
    const char* what;
    std::function<void(CtrlRig&)> act;
    float y;
  } cases[] = {
      {"hard manual gives Yhm", [](CtrlRig& r) { r.in.yhm = 33; r.in.dHardManual = 1; }, 33},
      {"hard manual within the limits", [](CtrlRig& r) { r.in.yhm = 130; r.in.dHardManual = 1; },
       100},
      {"Y2", [](CtrlRig& r) { r.p.y2 = 12; r.in.dY2 = 1; }, 12},
      {"off", [](CtrlRig& r) { r.in.yhm = 33; r.in.dOff = 1; }, 0},
      {"failure Ymax", [](CtrlRig& r) { r.w.failReaction = CTRL_FAIL_YMAX; r.in.dXFault = 1; },
       100},
      {"failure Y2", [](CtrlRig& r) { r.p.y2 = 7; r.w.failReaction = CTRL_FAIL_Y2;
                                      r.in.dXFault = 1; }, 7},
      {"failure neutral", [](CtrlRig& r) { r.w.failReaction = CTRL_FAIL_NEUTRAL;
                                           r.in.dXFault = 1; }, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    CtrlRig rig;
    rig.in.lastY = 40;
    rig.init();
    k.act(rig);
    rig.cycle(3);
    EXPECT_FLOAT_EQ(rig.out.y, k.y);
  }
}

TEST(CtrlManual, FailureY2ThenManualStepping) {
  CtrlRig rig;
  rig.f.failReaction = CTRL_FAIL_Y2_YMAN;
  rig.p.y2 = 20;
  rig.init();
  rig.in.dXFault = 1;
  rig.cycle();
  EXPECT_FLOAT_EQ(rig.out.y, 20);
  EXPECT_EQ(rig.out.manualActive, 1);
  rig.in.dInc = 1;
  rig.cycle();
  EXPECT_NEAR(rig.out.y, 20.1001f, 1e-4);
}

// ---------------------------------------------------------------------------------------
// Control algorithm and output kinds.

// Automatic P controller (Tn = Tv = 0) with X = 40 and W = 50, so that xw% = 10.
CtrlRig proportional(uint8_t kind, bool direct) {
  CtrlRig rig;
  rig.f.kind = kind;
  rig.f.direct = direct;
  rig.p.ymin = -100;
  for (CtrlParamSet& s : rig.p.sets) s.tn = s.tv = 0;
  rig.r.wi = 50;
  rig.in.x1 = 40;
  rig.init();
  return rig;
}

TEST(CtrlOutput, SplitRangeShowsTheSidesOfTheResult) {
  CtrlRig rig;
  rig.f.kind = CTRL_KIND_SPLIT_RANGE;
  rig.p.ymin = -105;
  rig.p.y2 = -30;
  rig.init();
  rig.in.dY2 = 1;
  rig.cycle();
  EXPECT_FLOAT_EQ(rig.out.y, -30);
  EXPECT_FLOAT_EQ(rig.out.yout1, 0);
  EXPECT_FLOAT_EQ(rig.out.yout2, 30);
}

TEST(CtrlOutput, DirectActionInvertsThePdResultAndTheContacts) {
  for (bool direct : {false, true}) {
    SCOPED_TRACE(direct ? "direct" : "inverse");
    CtrlRig split = proportional(CTRL_KIND_SPLIT_RANGE, direct);
    split.cycle(2);
    EXPECT_NEAR(split.out.y, direct ? -10 : 10, 1e-4);
    EXPECT_NEAR(split.out.yout1, direct ? 0 : 10, 1e-4);
    EXPECT_NEAR(split.out.yout2, direct ? 10 : 0, 1e-4);

    CtrlRig signal = proportional(CTRL_KIND_SIGNAL1, direct);
    signal.cycle(2);
    EXPECT_EQ(signal.out.y1, direct ? 0 : 1);
    signal.in.x1 = 60;
    signal.cycle();
    EXPECT_EQ(signal.out.y1, direct ? 1 : 0);
  }
}

TEST(CtrlOutput, ContactOneHasAHysteresis) {
  CtrlRig rig = proportional(CTRL_KIND_SIGNAL1, false);
  rig.p.xsd1 = 4;  // switches at +-2
  struct Step {
    float x;
    uint8_t y1;
  } steps[] = {{49, 0}, {48, 1}, {51, 1}, {52, 0}, {49, 0}};
  for (const Step& s : steps) {
    rig.in.x1 = s.x;
    rig.cycle();
    EXPECT_EQ(rig.out.y1, s.y1) << "X " << s.x;
  }
}

TEST(CtrlOutput, TwoPointDsoSecondContactStopsWhileOptimising) {
  CtrlRig rig;
  rig.f.kind = CTRL_KIND_TWO_POINT_DSO;
  rig.p.lw = 5;
  rig.r.wi = 50;
  rig.in.x1 = 50;
  rig.init();
  rig.cycle(2);
  EXPECT_EQ(rig.out.y2, 1) << "u = 5 above the hysteresis";
  rig.in.x1 = 60;
  rig.cycle();
  EXPECT_EQ(rig.out.y2, 0) << "u = -5";
  rig.in.x1 = 50;
  rig.cycle();
  ASSERT_EQ(rig.out.y2, 1);
  rig.out.optRun = 1;
  rig.cycle();
  EXPECT_EQ(rig.w.out.contact2, 1);
  EXPECT_EQ(rig.out.y2, 0);
}

TEST(CtrlOutput, PulseModulatorHalfDutyAtFiftyPercent) {
  struct Case {
    float y;
    int firstOn;  // cycle of the first y1 pulse, 0 for none
  } cases[] = {{50, 50}, {0, 0}, {-50, 0}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.y);
    CtrlRig rig;
    rig.f.kind = CTRL_KIND_THREE_POINT;
    rig.p.ymin = -100;
    for (CtrlParamSet& s : rig.p.sets) s.tp1 = s.tp2 = 10;
    rig.p.y2 = k.y;
    rig.init();
    rig.in.dY2 = 1;
    int firstOn = 0, on1 = 0, on2 = 0;
    for (int n = 1; n <= 1050; ++n) {
      rig.cycle();
      if (rig.out.y1 && !firstOn) firstOn = n;
      if (n > 50) {
        on1 += rig.out.y1;
        on2 += rig.out.y2;
      }
    }
    EXPECT_EQ(firstOn, k.firstOn);
    EXPECT_EQ(on1, k.y > 0 ? 500 : 0);
    EXPECT_NEAR(on2, k.y < 0 ? 500 : 0, 50);
  }
}

TEST(CtrlOutput, IntegralFollowsTheDeviationAndStopsAtTheLimit) {
  CtrlRig rig;
  rig.r.wi = 50;
  rig.in.x1 = 40;
  for (CtrlParamSet& s : rig.p.sets) s.tv = 0;
  rig.init();
  rig.cycle(2);
  EXPECT_NEAR(rig.out.y, 10.1f, 1e-4) << "10 % proportional, then 0.1 % of integral";
  rig.cycle(100);  // Tn 10 s: the integral adds about 10 % in 10 s
  EXPECT_NEAR(rig.out.y, 20, 0.5);
  rig.cycle(2000);
  EXPECT_FLOAT_EQ(rig.out.y, 100);
  EXPECT_EQ(rig.w.out.limited, 1);
  rig.in.x1 = 60;  // anti-windup: the output leaves the limit at once
  rig.cycle(20);
  EXPECT_LT(rig.out.y, 100);
}

TEST(CtrlOutput, ManualToAutomaticIsBumpless) {
  CtrlRig rig;
  rig.r.wi = 50;
  rig.in.x1 = 50;
  rig.init();
  rig.in.manualCmd = 1;
  rig.in.lastY = 30;
  rig.in.takeOver = 1;
  rig.w.out.takeOver = 1;
  rig.cycle(5);
  ASSERT_FLOAT_EQ(rig.out.y, 30);
  rig.in.manualCmd = 0;
  rig.cycle();
  EXPECT_NEAR(rig.out.y, 30, 0.01);
}

TEST(CtrlStepping, ManualTargetIsLimitedToTheTravel) {
  CtrlRig rig;
  rig.f.kind = CTRL_KIND_STEPPING;
  rig.p.tm = 30;  // 3 cycles for 1 % at dt 0.1 s
  rig.init();
  rig.in.manualCmd = 1;
  rig.cycle();
  rig.in.optStep = 200;
  rig.w.out.addStep = 1;  // raised from the block's request by the parameter-set selection
  int open = 0, close = 0;
  for (int n = 0; n < 700; ++n) {
    rig.cycle();
    open += rig.out.y1;
    close += rig.out.y2;
  }
  EXPECT_EQ(open, 330);
  EXPECT_EQ(close, 0);
  EXPECT_EQ(rig.out.y, 0);
}

TEST(CtrlStepping, ManualKeysDriveTheMotorAndAPauseSeparatesDirections) {
  CtrlRig rig;
  rig.f.kind = CTRL_KIND_STEPPING;
  rig.init();
  rig.in.manualCmd = 1;
  rig.cycle();
  rig.in.dInc = 1;
  rig.cycle();
  EXPECT_EQ(rig.out.y1, 1);
  rig.in.dDec = 1;
  rig.cycle();
  EXPECT_EQ(rig.out.y1, 1) << "open wins";
  EXPECT_EQ(rig.out.y2, 0);
  rig.in.dInc = 0;
  rig.cycle();
  EXPECT_EQ(rig.out.y1, 0);
  EXPECT_EQ(rig.out.y2, 1);

  // Positioning closed right after an open pulse: one pause cycle first.
  rig.in.dDec = 0;
  rig.in.dInc = 1;
  rig.cycle();
  rig.in.dInc = 0;
  rig.in.optStep = -1;
  rig.w.out.addStep = 1;
  rig.cycle();
  EXPECT_EQ(rig.out.y1, 0);
  EXPECT_EQ(rig.out.y2, 0) << "pause cycle";
  rig.cycle();
  EXPECT_EQ(rig.out.y2, 1);
}

TEST(CtrlStepping, FailureRunsTheMotorFullyClosed) {
  CtrlRig rig;
  rig.f.kind = CTRL_KIND_STEPPING;
  rig.f.failReaction = CTRL_FAIL_YMIN;
  rig.init();
  rig.cycle();
  rig.in.dXFault = 1;
  rig.in.incCmd = 1;
  int close = 0, open = 0;
  for (int n = 0; n < 400; ++n) {
    rig.cycle();
    close += rig.out.y2;
    open += rig.out.y1;
  }
  EXPECT_EQ(close, 330);
  EXPECT_EQ(open, 0) << "the stepping keys do not act in failure";
  EXPECT_EQ(rig.in.incCmd, 0);
}

TEST(CtrlStepping, AutomaticOpensOnAPositiveDeviationAndOverridesTakeOver) {
  CtrlRig rig;
  rig.f.kind = CTRL_KIND_STEPPING;
  rig.f.ovc = CTRL_OVC_MINUS;
  rig.r.wi = 60;
  rig.in.x1 = 40;
  rig.init();
  int open = 0, close = 0;
  for (int n = 0; n < 50; ++n) {
    rig.cycle();
    open += rig.out.y1;
    close += rig.out.y2;
  }
  EXPECT_GT(open, 0);
  EXPECT_EQ(close, 0);

  // OVC-: `d ovc+` takes the contacts while the controller requests no open pulse.
  rig.in.x1 = 60;
  rig.cycle(50);
  rig.in.dOvcPlus = 1;
  rig.cycle();
  EXPECT_EQ(rig.out.steppingLock, 1);
  EXPECT_EQ(rig.out.y1, 1);
  rig.in.dOvcMinus = 1;
  rig.cycle();
  EXPECT_EQ(rig.out.y1, 0);
  EXPECT_EQ(rig.out.y2, 1);
}

// ---------------------------------------------------------------------------------------
// Setpoint.

TEST(CtrlSetpoint, RampsByGradient) {
  struct Case {
    const char* what;
    uint8_t gradientOn;
    float grw, after10;
  } cases[] = {
      {"Grw+ 60/min: 0.1 per cycle", 1, 60, 21},
      {"Grw+ 600/min", 1, 600, 30},
      {"gr off: W jumps", 0, 60, 50},
      {"no gradient", 1, FW_NO_VALUE, 50},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    CtrlRig rig;
    rig.p.grwUp = k.grw;
    rig.r.wi = 50;
    rig.in.x1 = 20;
    rig.in.gradientOn = k.gradientOn;
    rig.init();
    rig.cycle(10);
    EXPECT_NEAR(rig.out.w, k.after10, 1e-3);
  }
}

TEST(CtrlSetpoint, ChangedFlagHoldsForOnePointSixSeconds) {
  CtrlRig rig;
  rig.r.wi = 50;
  rig.init();
  rig.cycle(30);
  ASSERT_EQ(rig.out.setpointChanged, 0);
  rig.in.wi = 60;
  for (int n = 1; n <= 17; ++n) {
    rig.cycle();
    EXPECT_EQ(rig.out.setpointChanged, n <= 16 ? 1 : 0) << "cycle " << n;
  }
}

TEST(CtrlSetpoint, WStopFreezesW) {
  CtrlRig rig;
  rig.p.grwUp = rig.p.grwDown = 60;
  rig.r.wi = 50;
  rig.in.x1 = 50;
  rig.init();
  rig.cycle(5);
  const float w = rig.out.w;
  rig.in.wStop = 1;
  rig.in.wi = 80;
  rig.in.setpointLoad = 2;
  rig.cycle(50);
  EXPECT_EQ(rig.out.w, w);
  EXPECT_TRUE(rig.out.setpointStatus & CTRL_SPS_WSTOP);
  EXPECT_FALSE(rig.out.setpointStatus & CTRL_SPS_RAMP);
  rig.in.wStop = 0;
  rig.cycle();
  EXPECT_GT(rig.out.w, w);
  EXPECT_TRUE(rig.out.setpointStatus & CTRL_SPS_RAMP);
}

TEST(CtrlSetpoint, W2RampsWithItsOwnGradient) {
  CtrlRig rig;
  rig.p.grw2 = 60;
  rig.p.w2 = 30;
  rig.r.wi = 50;
  rig.in.x1 = 25;
  rig.init();
  rig.cycle(3);
  ASSERT_FLOAT_EQ(rig.out.w, 50);
  rig.in.w2Cmd = 1;
  rig.cycle();
  EXPECT_NEAR(rig.out.w, 25.1f, 1e-4) << "restarted from X";
  EXPECT_TRUE(rig.out.setpointStatus & CTRL_SPS_W2);
  EXPECT_TRUE(rig.out.setpointStatus & CTRL_SPS_RAMP);
  EXPECT_EQ(rig.r.w2Cmd, 1);
  int cycles = 1;
  while (rig.out.w != rig.p.w2 && cycles < 100) {
    EXPECT_TRUE(rig.out.setpointStatus & CTRL_SPS_RAMP);
    rig.cycle();
    ++cycles;
  }
  EXPECT_NEAR(cycles, 50, 1);
  EXPECT_FALSE(rig.out.setpointStatus & CTRL_SPS_RAMP);
  EXPECT_EQ(rig.out.rampAtTarget, 1);
}

TEST(CtrlSetpoint, StoreAndLoadRequests) {
  CtrlRig rig;
  rig.r.wi = 50;
  rig.init();
  rig.cycle();
  rig.in.newWi = 70;
  rig.in.setpointStore = 1;
  rig.cycle();
  EXPECT_FLOAT_EQ(rig.r.wi, 70);
  EXPECT_FLOAT_EQ(rig.out.w, 70);
  EXPECT_EQ(rig.w.saveWi, 1);
  EXPECT_EQ(rig.in.setpointStore, 0);

  rig.w.saveWi = 0;
  rig.in.wi = 20;
  rig.in.setpointLoad = 2;
  rig.cycle();
  EXPECT_FLOAT_EQ(rig.r.wi, 20);
  EXPECT_FLOAT_EQ(rig.in.newWi, 20);
  EXPECT_EQ(rig.w.saveWi, 1);
  EXPECT_EQ(rig.in.setpointLoad, 0);
}

TEST(CtrlSetpoint, ExternalSetpointWithinTheSetpointRange) {
  CtrlRig rig;
  rig.f.spFunc = CTRL_SP_CASCADE;
  rig.p.w100 = 80;
  rig.in.wext = 95;
  rig.init();
  rig.cycle(2);
  EXPECT_FLOAT_EQ(rig.out.w, 80);
  EXPECT_EQ(rig.out.internalActive, 0);
  rig.in.cascadeFault = 1;
  rig.cycle();
  EXPECT_EQ(rig.out.cascadeFault, 1);
  EXPECT_EQ(rig.out.faultSummary, 1);
  rig.in.cascadeFault = 0;
  rig.in.internalCmd = 1;
  rig.r.wi = rig.in.wi = 30;
  rig.cycle();
  EXPECT_EQ(rig.out.internalActive, 1);
  EXPECT_EQ(rig.r.internalCmd, 1);
  EXPECT_FLOAT_EQ(rig.out.w, 30);
}

TEST(CtrlSetpoint, PvTrackingTakesXAtTheChangeOver) {
  CtrlRig rig;
  rig.f.spFunc = CTRL_SP_CASCADE;
  rig.f.track = CTRL_TRACK_PV;
  rig.in.wext = 60;
  rig.in.x1 = 42;
  rig.in.dTrack = 1;
  rig.init();
  rig.cycle(2);
  rig.in.internalCmd = 1;
  rig.cycle();
  EXPECT_FLOAT_EQ(rig.in.wi, 42);
  EXPECT_FLOAT_EQ(rig.r.wi, 42);
  EXPECT_FLOAT_EQ(rig.out.w, 42);
  EXPECT_TRUE(rig.out.setpointStatus & CTRL_SPS_TRACK);
}

// A setpoint jump of more than Xp1/2 at ramp end in automatic restarts the output: the
// integral and the pulse accumulator start from 0.
TEST(CtrlSetpoint, JumpBeyondHalfTheBandReinitialisesTheOutput) {
  struct Case {
    const char* what;
    float x, newW;
    bool reinit;
  } cases[] = {
      {"jump by 60", 40, 110, true},
      {"jump by 20", 40, 70, false},
      {"jump by 60 that the deviation has followed", 165, 110, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    CtrlRig rig;
    rig.f.kind = CTRL_KIND_THREE_POINT;
    rig.p.ymin = -100;
    rig.p.w100 = 200;
    rig.r.wi = 50;
    rig.in.x1 = k.x;
    rig.init();
    rig.cycle(100);
    ASSERT_NE(rig.w.out.iState, 0);
    ASSERT_NE(rig.w.out.pulseAcc, 0);
    rig.in.wi = k.newW;
    rig.in.setpointLoad = 2;
    rig.cycle();
    if (k.reinit) {
      EXPECT_EQ(rig.w.out.iState, 0);
      EXPECT_EQ(rig.w.out.pulseAcc, static_cast<int32_t>(10 * rig.out.y));
      EXPECT_EQ(rig.out.y1, 0);
    } else {
      EXPECT_NE(rig.w.out.iState, 0);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Retained record.

TEST(CtrlRetained, ByteFormRoundTripsAndIsLittleEndian) {
  CtrlRetained r;
  r.offCmd = 1;
  r.hardManualCmd = 0;
  r.y2Cmd = 1;
  r.manualCmd = 1;
  r.internalCmd = 1;
  r.w2Cmd = 0;
  r.paramSet = 4;
  r.optResultHeat = 2;
  r.optResultCool = 7;
  r.spare0 = 0x5A;
  r.wi = 123.5f;
  r.tuHeat = 12.25f;
  r.vmaxHeat = -0.75f;
  r.spare1[0] = 1;
  r.spare1[3] = 0xFF;
  r.tuCool = 3e-3f;
  r.vmaxCool = 1e6f;

  uint8_t bytes[CTRL_RETAINED_BYTES];
  CTRL_RetainedToBytes(r, bytes);
  EXPECT_EQ(bytes[6], 4);
  // Wi = 123.5f = 0x42F70000, stored low byte first at offset 10.
  EXPECT_EQ(bytes[10], 0x00);
  EXPECT_EQ(bytes[11], 0x00);
  EXPECT_EQ(bytes[12], 0xF7);
  EXPECT_EQ(bytes[13], 0x42);

  CtrlRetained back;
  CTRL_RetainedFromBytes(bytes, back);
  uint8_t again[CTRL_RETAINED_BYTES];
  CTRL_RetainedToBytes(back, again);
  EXPECT_EQ(std::memcmp(bytes, again, sizeof bytes), 0);
  EXPECT_EQ(back.wi, r.wi);
  EXPECT_EQ(back.vmaxCool, r.vmaxCool);
  EXPECT_EQ(back.spare1[3], 0xFF);

  uint16_t words[CTRL_RETAINED_WORDS];
  CTRL_RetainedToWords(r, words);
  EXPECT_EQ(words[5], 0x0000);
  EXPECT_EQ(words[6], 0x42F7);
  CtrlRetained fromWords;
  CTRL_RetainedFromWords(words, fromWords);
  CTRL_RetainedToBytes(fromWords, again);
  EXPECT_EQ(std::memcmp(bytes, again, sizeof bytes), 0);
}

TEST(CtrlRetained, ParameterSetNumberOutOfRangeLoadsSetZero) {
  CtrlRig rig;
  rig.p.sets[0].xp1 = 17;
  rig.p.sets[5].xp1 = 42;
  rig.r.paramSet = 5;
  rig.init();
  EXPECT_FLOAT_EQ(rig.w.set.xp1, 42);
  EXPECT_EQ(rig.out.activeSet, 5);
  CtrlRig bad;
  bad.p.sets[0].xp1 = 17;
  bad.r.paramSet = 200;
  bad.init();
  EXPECT_FLOAT_EQ(bad.w.set.xp1, 17);
}

// ---------------------------------------------------------------------------------------
// Bad input: nothing becomes NaN, X stays in its range and Y within the effective limits.

void expectSane(const CtrlRig& rig, bool yInLimits) {
  const float values[] = {rig.out.w, rig.out.x, rig.out.y, rig.out.xw, rig.out.lastWi,
                          rig.out.yout1, rig.out.yout2, rig.out.xPercent, rig.out.wPercent,
                          rig.in.lastY, rig.w.out.iState, rig.w.out.pending};
  for (float v : values) ASSERT_TRUE(std::isfinite(v)) << v;
  ASSERT_GE(rig.out.x, -29999);
  ASSERT_LE(rig.out.x, 999999);
  if (yInLimits) {
    ASSERT_GE(rig.out.y, rig.w.out.lower);
    ASSERT_LE(rig.out.y, rig.w.out.upper);
  }
}

TEST(CtrlBadInput, NoNaNAndOutputsStayInRange) {
  const uint8_t kinds[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 16, 17};
  const float bad[] = {kNaN, 1.5e37f, -1.5e37f};
  struct Config {
    const char* what;
    std::function<void(CtrlRig&)> set;
  } configs[] = {
      {"defaults", [](CtrlRig&) {}},
      {"Tn and Tv 0", [](CtrlRig& r) { for (auto& s : r.p.sets) s.tn = s.tv = 0; }},
      {"Xn0 = Xn100", [](CtrlRig& r) { r.cfg.xn0 = r.cfg.xn100 = 50; }},
      {"W0 = W100", [](CtrlRig& r) { r.p.w0 = r.p.w100 = 40; }},
      {"Ymin = Ymax", [](CtrlRig& r) { r.p.ymin = r.p.ymax = 100; }},
      {"ratio, SFac 0.01", [](CtrlRig& r) { r.f.cType = CTRL_TYPE_RATIO; r.cfg.sFac = 0.01f; }},
      {"ratio 2, SFac 99.99", [](CtrlRig& r) { r.f.cType = CTRL_TYPE_RATIO;
                                               r.f.ratio = CTRL_RATIO_TYPE2;
                                               r.cfg.sFac = 99.99f; }},
      {"three-element", [](CtrlRig& r) { r.f.cType = CTRL_TYPE_THREE_ELEMENT; r.p.a = 99.99f; }},
      {"cascade, gradients, overrides", [](CtrlRig& r) {
         r.f.spFunc = CTRL_SP_CASCADE; r.f.ovc = CTRL_OVC_BOTH; r.p.grwUp = r.p.grwDown = 1;
       }},
  };
  for (const Config& cf : configs) {
    for (uint8_t kind : kinds) {
      for (float v : bad) {
        SCOPED_TRACE(testing::Message() << cf.what << ", kind " << int(kind) << ", input " << v);
        CtrlRig rig;
        rig.f.kind = kind;
        rig.p.ymin = -100;
        cf.set(rig);
        rig.init();
        for (float* in : {&rig.in.x1, &rig.in.x2, &rig.in.x3, &rig.in.wext, &rig.in.ovcPlus,
                          &rig.in.ovcMinus, &rig.in.yp, &rig.in.yhm, &rig.in.yadd}) {
          *in = v;
        }
        rig.in.wextChanged = 1;
        const bool yInLimits = kind != CTRL_KIND_STEPPING_YP && kind != CTRL_KIND_CONTINUOUS_YP;
        for (int n = 0; n < 60; ++n) {
          rig.cycle();
          expectSane(rig, yInLimits);
        }
        rig.in.dHardManual = 1;
        rig.cycle(3);
        expectSane(rig, yInLimits);
        rig.in.dHardManual = 0;
        rig.in.manualCmd = 1;
        rig.in.dInc = 1;
        rig.cycle(3);
        expectSane(rig, yInLimits);
        rig.in.manualCmd = rig.in.dInc = 0;
        rig.in.x1 = 10;
        rig.cycle(20);
        expectSane(rig, yInLimits);
      }
    }
  }
}

}  // namespace
