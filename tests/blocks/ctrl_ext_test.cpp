// PIDMA extension on the core's records: the refused starts, the noise window, the pulse and
// its withdrawal, the model's failures, the proposal from the tuning table and its adoption,
// the PID coefficients and the stepping stages.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "blocks/ctrl/ctrl_ext.h"
#include "support/ctrl_ext_rig.h"

namespace {

// A controller at rest on a process of gain 1 (Tu 2 s, Tg 30 s) at W = X = 50.
CtrlExtRig atRest(float kp = 1, float tn = 40, float tv = 10) {
  CtrlExtRig g;
  g.setPid(kp, tn, tv);
  g.withPlant(1, 2, 30);
  g.init();
  g.cycle(6000);
  return g;
}

// Runs the rig until the test has ended (o run clear) or n cycles have passed.
bool runTest(CtrlExtRig& g, int n = 20000) {
  g.in.optStart = 1;
  g.cycle();
  return g.cycleUntil([&] { return !g.ext.running; }, n);
}

bool allFinite(std::initializer_list<float> values) {
  for (float v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Starts that are refused, and a test that ends in the noise window.

TEST(CtrlExtStart, RefusedStartsEndAtOnceWithTheOutputUnmoved) {
  struct Case {
    const char* what;
    std::function<void(CtrlExtRig&)> setUp;
    int32_t error;
  } cases[] = {
      {"Tn 0: neither PI nor PID", [](CtrlExtRig& g) { g.setPid(1, 0, 10); }, CTRL_EXT_ERR_STRUCTURE},
      {"manual at 90 % with Ymax 100 and dYopt 20",
       [](CtrlExtRig& g) {
         g.in.manualCmd = 1;
         g.cycle();
         g.w.out.modeValue = 90;  // the operator's manual output
       },
       CTRL_EXT_ERR_LIMITS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CtrlExtRig g;
    g.withPlant(1, 2, 30);
    g.init();
    g.cycle(20);
    c.setUp(g);
    g.in.paramReload = 1;
    g.cycle(20);
    const float before = g.out.y;
    g.in.optStart = 1;
    g.cycle();
    EXPECT_EQ(g.ext.error, c.error);
    EXPECT_EQ(g.ext.progress, c.error);
    EXPECT_EQ(g.ext.running, 0);
    EXPECT_EQ(g.out.optRun, 0);
    EXPECT_EQ(g.out.optError, 1);
    EXPECT_NEAR(g.out.y, before, 0.05f) << "no step";
    EXPECT_EQ(g.ext.stepped, 0);
    g.cycle();
    EXPECT_EQ(static_cast<int>(g.w.mode), static_cast<int>(CtrlMode::OptFailed));
    EXPECT_EQ(g.ext.statusText, CTRL_EXT_TEXT_RESULT);
    EXPECT_EQ(g.ext.statusCode, c.error);
  }
}

TEST(CtrlExtStart, NoiseBeyondAFifthOfXlimitEndsTheTestAfterTheNoiseWindow) {
  CtrlExtRig g = atRest();
  g.noise = 3;  // +-3 around the process value, Xlimit 10
  g.cycle(200);
  const float before = g.out.y;
  g.in.optStart = 1;
  g.cycle();
  ASSERT_EQ(g.ext.running, 1);
  // (Tnoise + Tdrift) / dt = 600 cycles after the first sample.
  for (int i = 1; i < 600; ++i) {
    g.cycle();
    ASSERT_EQ(g.ext.running, 1) << "cycle " << i;
    ASSERT_EQ(g.ext.progress, CTRL_PROGRESS_NOISE);
    ASSERT_EQ(g.ext.statusText, CTRL_EXT_TEXT_NOISE);
    ASSERT_EQ(g.ext.statusCode, CTRL_EXT_CODE_RUNNING);
  }
  EXPECT_NEAR(g.ext.statusTime, 60.0f, 0.01f) << "seconds since the start";
  g.cycle();
  EXPECT_EQ(g.ext.error, CTRL_EXT_ERR_NOISE);
  EXPECT_EQ(g.out.optError, 1);
  EXPECT_NEAR(g.ext.noise, 3.0f, 0.01f);
  EXPECT_EQ(g.ext.stepped, 0);
  EXPECT_FLOAT_EQ(g.out.y, g.ext.outStart) << "back to the output at the start, no step";
  EXPECT_NEAR(g.ext.outStart, before, 20.0f);
}

// ---------------------------------------------------------------------------------------
// The pulse.

TEST(CtrlExtPulse, TheStepIsTakenBackInTheCycleTheResponsePassesXlimit) {
  CtrlExtRig g = atRest();
  g.in.optStart = 1;
  g.cycle();
  bool ended = false;
  float prevOutput = 0;
  for (int i = 0; i < 20000 && g.ext.running && !ended; ++i) {
    const bool pulseOn = g.ext.progress == CTRL_PROGRESS_STEP;
    prevOutput = g.ext.output;
    g.cycle();
    if (pulseOn && g.ext.x - g.ext.x0 > g.ext.xlimit) {
      ended = true;
      EXPECT_FLOAT_EQ(prevOutput, g.ext.outBefore + 20) << "the step of dYopt was on";
      EXPECT_FLOAT_EQ(g.ext.output, g.ext.outBefore);
      EXPECT_EQ(g.ext.progress, CTRL_PROGRESS_MAXIMUM);
      EXPECT_NEAR(g.ext.pulseLength, g.ext.counter * 0.1f - 0.1f, 1e-3f);
    } else if (pulseOn && g.ext.state == CTRL_ID_PULSE) {
      ASSERT_FLOAT_EQ(g.ext.output, g.ext.outBefore + 20);
    }
  }
  ASSERT_TRUE(ended);
  // Without drift compensation the output stays where it was until the test ends.
  const float held = g.ext.outBefore;
  while (g.ext.running) {
    g.cycle();
    ASSERT_FLOAT_EQ(g.ext.output, held);
  }
  EXPECT_EQ(g.ext.failed, 0);
}

TEST(CtrlExtPulse, WithdrawingTheRequestGivesError11AndTheOutputBeforeTheStep) {
  CtrlExtRig g = atRest();
  g.in.optStart = 1;
  ASSERT_TRUE(g.cycleUntil([&] { return g.ext.progress == CTRL_PROGRESS_STEP; }, 2000));
  g.cycle(20);
  ASSERT_FLOAT_EQ(g.out.y, g.ext.outBefore + 20);
  g.in.optStart = 0;
  g.cycle();
  EXPECT_EQ(g.ext.error, CTRL_EXT_ERR_WITHDRAWN);
  EXPECT_EQ(g.ext.progress, CTRL_EXT_ERR_WITHDRAWN);
  EXPECT_EQ(g.ext.running, 0);
  EXPECT_EQ(g.out.optRun, 0);
  EXPECT_FLOAT_EQ(g.out.y, g.ext.outBefore);
  g.cycle(2);
  EXPECT_EQ(static_cast<int>(g.w.mode), static_cast<int>(CtrlMode::Automatic));
  EXPECT_EQ(g.w.newParams, 0) << "nothing of the aborted test is adopted";
  EXPECT_EQ(g.p.sets[0].xp1, 1.0f);
}

// ---------------------------------------------------------------------------------------
// A whole test, and the model's failures.

TEST(CtrlExtTest, ASuccessfulTestAdoptsItsProposal) {
  CtrlExtRig g = atRest();
  ASSERT_TRUE(runTest(g));
  EXPECT_EQ(g.ext.failed, 0) << "error " << g.ext.error;
  EXPECT_EQ(g.ext.resultsValid, 1);
  // A gain of about 1 and a mean time near the two lags.
  EXPECT_NEAR(g.ext.modelK, 1.0f, 0.1f);
  EXPECT_GT(g.ext.modelE, 10.0f);
  EXPECT_LT(g.ext.modelE, 40.0f);
  const CtrlParamSet& set = g.p.sets[0];
  EXPECT_FLOAT_EQ(CTRL_ExtKp(set), std::trunc(g.ext.proposal[CTRL_ADOPT_KP] * 1000 + 0.5f) / 1000);
  EXPECT_FLOAT_EQ(CTRL_ExtTn(set), std::trunc(g.ext.proposal[CTRL_ADOPT_TN] * 1000 + 0.5f) / 1000);
  EXPECT_EQ(CTRL_ExtTp1(set), 5.0f) << "Tp1, Tp2, Tsat and Xsh stay";
  EXPECT_EQ(CTRL_ExtTsat(set), 10.0f);
  EXPECT_EQ(g.w.newParams, 1) << "the block takes the set over";
  EXPECT_EQ(g.w.saveOptResults, 1) << "and saves its state words";
  for (int i = 0; i < CTRL_ADOPT_COUNT; ++i) EXPECT_EQ(g.ext.shown[i], g.ext.proposal[i]);
  g.cycle(2);
  EXPECT_EQ(static_cast<int>(g.w.mode), static_cast<int>(CtrlMode::Automatic));
  EXPECT_FLOAT_EQ(g.ext.kp, CTRL_ExtKp(set)) << "the coefficients follow the adoption";
  EXPECT_FLOAT_EQ(g.ext.pGain, CTRL_ExtKp(set));
  g.cycle(3000);
  EXPECT_NEAR(g.out.x, 50.0f, 0.5f) << "the new parameters hold the setpoint";
}

// A process value that the test feeds itself: at rest at 50, then from the cycle that
// applies the step the response `shape` (t in seconds since that cycle). From automatic the
// first cycle of the step takes X as its reference, so the response starts a cycle later.
void runShapedTest(CtrlExtRig& g, bool fromManual, const std::function<float(float)>& shape) {
  g.in.x1 = 50;
  if (fromManual) {
    g.in.manualCmd = 1;
    g.cycle();
    g.w.out.modeValue = 50;
  }
  g.cycle(100);
  g.in.optStart = 1;
  g.cycle();
  int cycles = -1;  // of the pulse state
  for (int i = 0; i < 30000 && g.ext.running; ++i) {
    if (g.ext.state == CTRL_ID_PULSE) ++cycles;
    const float t = static_cast<float>(cycles - (fromManual ? 0 : 1)) * 0.1f;
    g.in.x1 = t < 0 ? 50 : 50 + shape(t);
    g.cycle();
    ASSERT_TRUE(allFinite({g.out.y, g.ext.output, g.ext.s0, g.ext.s1, g.ext.s2, g.ext.modelK,
                           g.ext.decayA, g.ext.decayT}));
  }
}

TEST(CtrlExtTest, FailedFitsAndModelsEndWithTheirErrorAndAdoptNothing) {
  struct Case {
    const char* what;
    bool fromManual;
    std::function<float(float)> shape;
    int32_t error;
  } cases[] = {
      {"the response falls at once: no decay to fit", false,
       [](float t) { return t < 2 ? 15.0f : 0.0f; }, CTRL_EXT_ERR_DECAY},
      {"the response rises without end", false, [](float t) { return t; },
       CTRL_EXT_ERR_NO_MAXIMUM},
      {"the response goes the wrong way", false, [](float t) { return t > 1 ? -12.0f : 0.0f; },
       CTRL_EXT_ERR_WRONG_WAY},
      {"undershoot", false, [](float t) { return t < 0.5f ? 15.0f : -5.0f; },
       CTRL_EXT_ERR_UNDERSHOOT},
      {"a pulse of length 0: no moments (from manual)", true,
       [](float t) { return t < 0.05f ? 15.0f : 8 * std::exp(-t / 5); }, CTRL_EXT_ERR_MODEL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CtrlExtRig g;
    g.init();
    runShapedTest(g, c.fromManual, c.shape);
    EXPECT_EQ(g.ext.error, c.error);
    EXPECT_EQ(g.ext.failed, 1);
    EXPECT_EQ(g.out.optError, 1);
    EXPECT_EQ(g.w.newParams, 0);
    EXPECT_EQ(g.ext.resultsValid, 0);
    EXPECT_EQ(CTRL_ExtKp(g.p.sets[0]), 1.0f);
    EXPECT_EQ(CTRL_ExtTn(g.p.sets[0]), 40.0f);
  }
}

// ---------------------------------------------------------------------------------------
// The proposal from a stored model.

// A rig whose extension holds the model of an earlier test that was adopted.
CtrlExtRig withStoredModel(float k, float e, float s) {
  CtrlExtRig g;
  g.init();
  g.cycle(10);
  g.ext.modelK = k;
  g.ext.modelE = e;
  g.ext.modelS = s;
  g.ext.resultsValid = 1;
  g.ext.adopted = 1;
  // The proposal that was adopted: the rig's parameters.
  const float adopted[CTRL_ADOPT_COUNT] = {1, 40, 10, 4, 1, 0};
  for (int i = 0; i < CTRL_ADOPT_COUNT; ++i) g.ext.proposal[i] = g.ext.shown[i] = adopted[i];
  return g;
}

TEST(CtrlExtProposal, ASpeedChangeAfterAnAdoptionRetunesFromTheStoredModel) {
  CtrlExtRig g = withStoredModel(1, 20, 0.3f);
  g.ext.cspeedWord = 2;  // "norm", PID "static"
  g.cycle();
  const float expected[CTRL_ADOPT_COUNT] = {0.567f, 9.563f, 2.132f, 4, 0, 0};
  const CtrlParamSet& set = g.p.sets[0];
  const float adopted[CTRL_ADOPT_COUNT] = {CTRL_ExtKp(set), CTRL_ExtTn(set), CTRL_ExtTv(set),
                                           CTRL_ExtVd(set), CTRL_ExtBw(set), CTRL_ExtCw(set)};
  for (int i = 0; i < CTRL_ADOPT_COUNT; ++i) {
    EXPECT_FLOAT_EQ(adopted[i], expected[i]) << i;
    EXPECT_NEAR(g.ext.shown[i], expected[i], 0.0006f) << i;
  }
  EXPECT_EQ(g.w.newParams, 1);
  EXPECT_EQ(g.ext.running, 0) << "no new test";
  g.cycle();
  EXPECT_FLOAT_EQ(g.ext.kp, 0.567f);
  EXPECT_FLOAT_EQ(g.ext.pGain, 0.567f) << "the coefficients follow";
  EXPECT_FLOAT_EQ(g.ext.a1, std::exp(-4 * 0.1f / 2.132f));
  EXPECT_EQ(g.ext.state, CTRL_ID_IDLE);

  // Written by hand, the parameters stay when the speed changes again.
  g.ext.adopted = 0;
  g.w.newParams = 0;
  g.ext.cspeedWord = 3;
  g.cycle();
  EXPECT_NEAR(g.ext.shown[CTRL_ADOPT_KP], 0.5628f, 0.0005f) << "recomputed for \"fast\"";
  EXPECT_FLOAT_EQ(CTRL_ExtKp(set), 0.567f);
  EXPECT_EQ(g.w.newParams, 0);
}

TEST(CtrlExtProposal, AStructureChangeGivesANewProposalWithoutAdoptingIt) {
  CtrlExtRig g = withStoredModel(1, 20, 0.3f);
  g.ext.adopted = 0;
  g.setPid(1, 40, 0);  // PI
  g.in.paramReload = 1;
  g.cycle();
  EXPECT_EQ(g.ext.structureInUse, CTRL_STRUCT_PI);
  EXPECT_EQ(g.ext.shown[CTRL_ADOPT_TV], 0.0f);
  EXPECT_EQ(g.ext.shown[CTRL_ADOPT_BW], 0.8f) << "PI static, slow";
  EXPECT_GT(g.ext.shown[CTRL_ADOPT_KP], 0.0f);
  EXPECT_EQ(CTRL_ExtKp(g.p.sets[0]), 1.0f);
}

TEST(CtrlExtProposal, ValuesBeyondTheLimitsAreAdoptedAtTheLimitAndNoNumberNever) {
  // The block's limit records of Kp, Tn, Tv, VD, bW_p, cW_d.
  const float low[CTRL_ADOPT_COUNT] = {0.001f, 0, 0, 1, 0, 0};
  const float high[CTRL_ADOPT_COUNT] = {999999, 999999, 999999, 999999, 1, 1};
  {
    CtrlExtRig g = withStoredModel(1e-7f, 20, 0.3f);  // Kp 5.67e6
    for (int i = 0; i < CTRL_ADOPT_COUNT; ++i) {
      g.ext.adoptMin[i] = low[i];
      g.ext.adoptMax[i] = high[i];
    }
    g.ext.cspeedWord = 2;
    g.cycle();
    EXPECT_EQ(CTRL_ExtKp(g.p.sets[0]), 999999.0f);
    EXPECT_FLOAT_EQ(CTRL_ExtTn(g.p.sets[0]), 9.563f);
  }
  {
    // A gain so small that the proposal is no number: the former values stay.
    CtrlExtRig g = withStoredModel(1e-45f, 20, 0.3f);
    g.ext.cspeedWord = 2;
    g.cycle();
    EXPECT_EQ(CTRL_ExtKp(g.p.sets[0]), 1.0f);
    EXPECT_TRUE(std::isfinite(g.ext.shown[CTRL_ADOPT_KP]));
  }
  {
    // The same at the end of a test: error 10.
    CtrlExtRig g = withStoredModel(1e-45f, 20, 0.3f);
    g.ext.state = CTRL_ID_PROPOSAL;
    g.ext.running = 1;
    CTRL_ExtIdentify(g.ext, g.w);
    EXPECT_EQ(g.ext.error, CTRL_EXT_ERR_MODEL);
    EXPECT_EQ(g.ext.failed, 1);
    EXPECT_EQ(g.ext.running, 0);
  }
}

// ---------------------------------------------------------------------------------------
// The PID step.

TEST(CtrlExtPid, DFilterCoefficientFollowsTvAndVd) {
  CtrlExtRig g;
  g.init();
  EXPECT_NEAR(g.ext.a1, 0.960789f, 1e-6f);  // exp(-4 x 0.1 / 10)
  EXPECT_FLOAT_EQ(g.ext.oneMinusA1, 1 - g.ext.a1);
  EXPECT_FLOAT_EQ(g.ext.dGain, 4.0f);
  EXPECT_FLOAT_EQ(g.ext.iGain, 1.0f / 40);
  EXPECT_FLOAT_EQ(g.ext.trackGain, 0.1f);  // 1 / Tsat
  g.setPid(1, 40, 0);
  g.in.paramReload = 1;
  g.cycle();
  EXPECT_EQ(g.ext.a1, 0.0f);
  EXPECT_EQ(g.ext.dGain, 0.0f);
}

TEST(CtrlExtPid, KpAndSetpointWeightChangesInAutomaticLeaveTheOutputContinuous) {
  struct Case {
    const char* what;
    float kp, bw;
  } cases[] = {{"Kp 1 to 3", 3, 1}, {"bW_p 1 to 0", 1, 0}, {"both", 0.2f, 0.5f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CtrlExtRig g;
    g.in.x1 = 49;  // a deviation that the I part works on
    g.init();
    g.cycle(2000);  // past the start-up of the D filter
    const float before = g.out.y;
    g.cycle();
    const float change = g.out.y - before;
    CTRL_ExtKp(g.p.sets[0]) = c.kp;
    CTRL_ExtBw(g.p.sets[0]) = c.bw;
    g.in.paramReload = 1;
    const float last = g.out.y;
    g.cycle();
    EXPECT_EQ(g.ext.pGain, c.kp);
    EXPECT_NEAR(g.out.y - last, change, 0.05f) << "no jump of the P part";
  }
}

// ---------------------------------------------------------------------------------------
// Stepping stages.

// A stage of kind 8 with the thresholds and times of a PIDMA (Tpuls 0.3 s, Tpause 0.1 s).
CtrlExtStepper stageYp() {
  CtrlExtStepper s;
  s.dt = 0.1f;
  s.tpuls = 0.3f;
  s.tpause = 0.1f;
  s.tm = 30;
  s.onThreshold = 0.011f;
  s.offThreshold = 0.001f;
  CTRL_ExtStepperYpInit(s);
  return s;
}

// The shortest pulse and the shortest gap between two pulses of an output record (+1 open,
// -1 close, 0 off); a run cut off by the end of the record does not count.
struct Runs {
  int shortestOn = 1 << 30, shortestGap = 1 << 30, pulses = 0;
};
Runs runsOf(const std::vector<int>& out) {
  Runs r;
  size_t start = 0;
  for (size_t i = 1; i < out.size(); ++i) {
    if (out[i] == out[i - 1]) continue;
    const int len = static_cast<int>(i - start);
    if (out[start] != 0) {
      r.shortestOn = std::min(r.shortestOn, len);
      ++r.pulses;
    } else if (start > 0) {
      r.shortestGap = std::min(r.shortestGap, len);
    }
    start = i;
  }
  return r;
}

TEST(CtrlExtStepping, PulsesLastTheirMinimumAndKeepThePauseApart) {
  struct Case {
    const char* what;
    bool manual;
    std::function<void(CtrlExtStepper&, int)> drive;
  } cases[] = {
      {"target flipping around Yp",
       false, [](CtrlExtStepper& s, int i) { s.target = s.position + ((i / 2) % 2 ? 0.05f : -0.05f); }},
      {"a target one cycle away", false,
       [](CtrlExtStepper& s, int i) { s.target = s.position + (i % 7 == 0 ? 0.05f : 0.0f); }},
      {"inc held in manual", true, [](CtrlExtStepper& s, int i) { s.incHeld = i < 100; }},
      {"inc pressed for single cycles", true,
       [](CtrlExtStepper& s, int i) { s.incHeld = i % 5 == 0; }},
      {"inc and dec in turn", true, [](CtrlExtStepper& s, int i) {
         s.incHeld = i % 4 == 0;
         s.decHeld = i % 4 == 2;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CtrlExtStepper s = stageYp();
    s.position = 0.5f;
    s.manual = c.manual;
    std::vector<int> out;  // +1 open, -1 close, 0 off
    for (int i = 0; i < 400; ++i) {
      s.incHeld = s.decHeld = 0;
      c.drive(s, i);
      CTRL_ExtStepperYp(s);
      ASSERT_FALSE(s.y1 && s.y2);
      out.push_back(s.y1 ? 1 : s.y2 ? -1 : 0);
    }
    const Runs r = runsOf(out);
    EXPECT_GT(r.pulses, 0);
    EXPECT_GE(r.shortestOn, 3);
    if (r.pulses > 1) {
      EXPECT_GE(r.shortestGap, 1);
    }
  }
}

TEST(CtrlExtStepping, ThresholdsAtALargeDeviation) {
  CtrlExtRig g;
  g.p.tpuls = 0.3f;
  g.p.tm = 30;
  g.w.wPercent = 80;
  g.w.xPercent = 20;  // |xw%| 60 > 0.2 x Xp (Xp 100 with Kp 1)
  float on = 0, off = 0;
  const CtrlExtStepContext c{g.ext, g.p, g.w, g.p.sets[0]};
  EXPECT_TRUE(CTRL_ExtStepThresholds(on, off, c));
  EXPECT_FLOAT_EQ(on, 0.011f);
  EXPECT_FLOAT_EQ(off, 0.001f);
  EXPECT_EQ(g.ext.band, -1);
  EXPECT_FALSE(CTRL_ExtStepThresholds(on, off, c)) << "unchanged band";
  g.w.wPercent = 22;
  EXPECT_TRUE(CTRL_ExtStepThresholds(on, off, c)) << "small deviation";
  EXPECT_EQ(g.ext.band, 1);
  EXPECT_FLOAT_EQ(on, 0.01f) << "(0.25 x 100 / 30) gives below 1: lifted to 1";
}

TEST(CtrlExtStepping, TheThresholdRisesOnlyWhenTargetAndYpJumpTogether) {
  struct Case {
    const char* what;
    float targetJump, ypJump, threshold;
  } cases[] = {
      {"both jump: the smaller jump", 0.2f, 0.15f, 0.15f},
      {"both jump, Yp more", 0.1f, 0.3f, 0.1f},
      {"only the target", 0.2f, 0, 0.011f},
      {"only Yp", 0, 0.2f, 0.011f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CtrlExtStepper s = stageYp();
    s.target = s.position = 0.3f;
    CTRL_ExtStepperYp(s);
    s.target += c.targetJump;
    s.position += c.ypJump;
    CTRL_ExtStepperYp(s);
    EXPECT_FLOAT_EQ(s.threshold, c.threshold);
  }
}

TEST(CtrlExtStepping, Kind8InHardManualKeepsTheMotorStillAndIncDrivesItInManual) {
  CtrlExtRig g;
  g.f.kind = CTRL_KIND_STEPPING_YP;
  g.in.yp = 40;
  g.in.x1 = 20;  // far from W: automatic would open
  g.init();
  g.in.dHardManual = 1;
  g.in.yhm = 80;
  for (int i = 0; i < 100; ++i) {
    g.cycle();
    ASSERT_EQ(g.out.y1 + g.out.y2, 0) << i;
  }
  EXPECT_FLOAT_EQ(g.ext.output, 40.0f) << "the target follows Yp";
  g.in.dHardManual = 0;
  g.in.manualCmd = 1;
  g.cycle(5);
  EXPECT_EQ(g.out.y1 + g.out.y2, 0);
  g.in.dInc = 1;
  g.cycle(5);
  EXPECT_EQ(g.out.y1, 1);
  EXPECT_EQ(g.out.y2, 0);
}

TEST(CtrlExtStepping, Kind7ManualClearsTheEstimateAndTheTravel) {
  CtrlExtRig g;
  g.f.kind = CTRL_KIND_STEPPING;
  g.in.x1 = 20;
  g.init();
  g.cycle(300);
  EXPECT_GT(g.ext.step.estimate, 0.0f) << "automatic opened the motor";
  g.in.manualCmd = 1;
  g.cycle(20);
  EXPECT_EQ(g.ext.step.estimate, 0.0f);
  EXPECT_EQ(g.ext.step.openTravel, 0.0f);
  EXPECT_EQ(g.ext.step.closeTravel, 0.0f);
  EXPECT_EQ(g.out.y1 + g.out.y2, 0);
  // An add-step move of 10 % in manual runs 10 % of Tm.
  g.in.optStep = 0.1f;
  g.in.addStep = 1;
  int on = 0;
  for (int i = 0; i < 100; ++i) {
    g.cycle();
    on += g.out.y1;
  }
  EXPECT_EQ(on, 30);
  EXPECT_EQ(g.ext.step.estimate, 0.0f);
}

TEST(CtrlExtStepping, Kind7TravelAndEstimateStayWithinTheirBounds) {
  for (float x : {-1.0e6f, 0.0f, 100.0f, 1.0e6f}) {
    SCOPED_TRACE(x);
    CtrlExtRig g;
    g.f.kind = CTRL_KIND_STEPPING;
    g.in.x1 = x;
    g.init();
    const float limit = static_cast<float>(g.ext.step.manualLimit);
    EXPECT_EQ(limit, 330.0f) << "1.1 x Tm of run";
    for (int i = 0; i < 3000; ++i) {
      g.cycle();
      const CtrlExtStepper& s = g.ext.step;
      ASSERT_GE(s.estimate, 0.0f);
      ASSERT_LE(s.estimate, 1.0f);
      ASSERT_LE(std::fabs(s.openTravel), limit);
      ASSERT_LE(std::fabs(s.closeTravel), limit);
      ASSERT_TRUE(std::isfinite(g.ext.output));
    }
  }
}

}  // namespace
