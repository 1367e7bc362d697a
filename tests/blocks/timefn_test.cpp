// Time-function blocks cycle by cycle: dead times, integrator, lag, filter and
// differentiator, their take-over of changed parameters and their parameter requests.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "block_cases.h"
#include "blocks/timefn/timefn.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A whole-set request to kBlock.
FbParamRequest setRequest(int16_t id, std::vector<uint16_t> words, std::vector<float> items) {
  return FB_SetRequest(kBlock, id, words, items);
}

// ---------------------------------------------------------------------------------------
// Dead times

TEST(Delay, ClockedSamples) {
  const struct {
    const char* what;
    uint16_t delay;
    std::vector<uint16_t> clock;  // per cycle; empty: "clock" unconnected
    std::vector<float> x, y;
  } cases[] = {
      {"Delay 3 without clock", 3, {}, {1, 2, 3, 4, 5, 6, 7, 8}, {0, 0, 0, 1, 2, 3, 4, 5}},
      {"Delay 0 passes the input", 0, {}, {1, 2, 3}, {1, 2, 3}},
      {"clock held at 1 samples once", 0, {1, 1, 1, 1}, {1, 2, 3, 4}, {1, 1, 1, 1}},
      {"rising edges of clock", 1, {1, 0, 1, 0, 1}, {1, 2, 3, 4, 5}, {0, 0, 1, 1, 3}},
      {"clock wired at 0", 0, {0, 0, 0}, {1, 2, 3}, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_DELAY, kBlock);
    setWordParams(fx, kBlock, {{1, c.delay}});
    if (!c.clock.empty()) fx.setDigitalInput(kBlock, 3, 0);
    fx.init(kBlock);
    for (size_t i = 0; i < c.x.size(); ++i) {
      fx.setAnalogInput(kBlock, 1, c.x[i]);
      if (!c.clock.empty()) fx.setDigitalInput(kBlock, 3, c.clock[i]);
      fx.run(kBlock);
      EXPECT_EQ(fx.analogOut(kBlock, 1), c.y[i]) << "cycle " << i + 1;
    }
  }
}

// With a ramp 1, 2, 3 ... on "X 1", "Y 1" lags it by the delay in samples.
void expectRampLag(BlockFixture& fx, uint16_t samples, int cycles) {
  for (int n = 1; n <= cycles; ++n) {
    fx.setAnalogInput(kBlock, 1, static_cast<float>(n));
    fx.run(kBlock);
    const float expected = n > samples ? static_cast<float>(n - samples) : 0.0f;
    if (fx.analogOut(kBlock, 1) != expected) {
      ADD_FAILURE() << "cycle " << n << ": " << fx.analogOut(kBlock, 1) << " != " << expected;
      return;
    }
  }
}

TEST(Delay, LongestDelayIs255Clocks) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_DELAY, kBlock);
  setWordParams(fx, kBlock, {{1, 255}});
  fx.init(kBlock);
  expectRampLag(fx, 255, 600);
}

TEST(Delay2, SamplesFromTheDelayTimeAndTheGroup) {
  const struct {
    float td;
    uint16_t group;
    uint16_t samples;
  } cases[] = {
      {0.5f, 1, 5},    {0.0f, 1, 0},  {204.0f, 1, 255}, {204.0f, 8, 255},
      {0.8f, 8, 1},    {0.35f, 1, 4}, {1.6f, 4, 4},     {0.1f, 2, 1},
      {0.500004f, 1, 5},  // just above 5 samples: the factor 0.99999 keeps it at 5
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "Td " << c.td << " in group " << c.group);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_DELAY2, kBlock, c.group);
    setFloatParams(fx, kBlock, {{1, c.td}});
    fx.init(kBlock);
    expectRampLag(fx, c.samples, 300);
  }
}

// Reset clears ring and output on its rising edge and then holds; preset shows the "Preset"
// input and fills the ring with it when it drops. Both dead times, 2 samples.
TEST(Delay, ResetAndPresetOfBothDeadTimes) {
  const struct {
    float x;
    uint16_t reset, preset;
    float presetIn, y;
  } steps[] = {
      {1, 0, 0, 0, 0}, {2, 0, 0, 0, 0}, {3, 0, 0, 0, 1},
      {4, 1, 0, 0, 0},     // rising reset: ring and output cleared
      {5, 1, 0, 0, 0},     // held: nothing happens
      {6, 0, 0, 0, 0},     // the cleared ring comes out
      {7, 0, 0, 0, 0}, {8, 0, 0, 0, 6},
      {9, 0, 1, 9, 9},     // preset shows the input
      {10, 0, 0, 9, 9},    // released: the ring is filled with it, no sample
      {11, 0, 0, 9, 9}, {12, 0, 0, 9, 9}, {13, 0, 0, 9, 11},
  };
  for (uint16_t type : {BLK_TYPE_DELAY, BLK_TYPE_DELAY2}) {
    SCOPED_TRACE(type);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(type, kBlock, 1);
    if (type == BLK_TYPE_DELAY) {
      setWordParams(fx, kBlock, {{1, 2}});
    } else {
      setFloatParams(fx, kBlock, {{1, 0.2f}});
    }
    fx.init(kBlock);
    int cycle = 0;
    for (const auto& s : steps) {
      ++cycle;
      fx.setAnalogInput(kBlock, 1, s.x);
      fx.setAnalogInput(kBlock, 2, s.presetIn);
      fx.setDigitalInput(kBlock, 1, s.reset);
      fx.setDigitalInput(kBlock, 2, s.preset);
      fx.run(kBlock);
      EXPECT_EQ(fx.analogOut(kBlock, 1), s.y) << "cycle " << cycle;
    }
  }
}

// ---------------------------------------------------------------------------------------
// Integrator

struct InteStep {
  float x;
  uint16_t stop, reset, preset;
  float presetIn, y;
  uint16_t max, min;
};

void runInte(BlockFixture& fx, const std::vector<InteStep>& steps) {
  int cycle = 0;
  for (const InteStep& s : steps) {
    ++cycle;
    fx.setAnalogInput(kBlock, 1, s.x);
    fx.setAnalogInput(kBlock, 2, s.presetIn);
    fx.setDigitalInput(kBlock, 1, s.stop);
    fx.setDigitalInput(kBlock, 2, s.reset);
    fx.setDigitalInput(kBlock, 3, s.preset);
    fx.run(kBlock);
    EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 1), s.y) << "cycle " << cycle;
    EXPECT_EQ(fx.digitalOut(kBlock, 1), s.max) << "max, cycle " << cycle;
    EXPECT_EQ(fx.digitalOut(kBlock, 2), s.min) << "min, cycle " << cycle;
  }
}

TEST(Inte, PrioritiesLimitsAndHysteresis) {
  // Floats: T, x 0, y 0, Max, Min; "Mode" 1 presets from the input.
  const struct {
    const char* what;
    Params params;
    uint16_t mode;
    std::vector<InteStep> steps;
  } cases[] = {
      {"reset gives Min, not y 0, and wins over stop and preset",
       {{1, 1.0f}, {3, 0.75f}, {4, 1.0f}, {5, 0.25f}},
       0,
       {{1, 0, 0, 0, 0, 0.35f, 0, 0},
        {1, 1, 0, 0, 0, 0.35f, 0, 0},   // stop holds
        {1, 1, 1, 0, 0, 0.25f, 0, 0},   // stop and reset: reset
        {1, 0, 0, 1, 0, 0.75f, 0, 0},   // preset from y 0
        {1, 0, 1, 1, 0, 0.25f, 0, 0}}}, // preset and reset: reset
      {"stop keeps the limit outputs",
       {{1, 1.0f}, {4, 1.0f}, {5, 0.0f}},
       0,
       {{20, 0, 0, 0, 0, 1, 1, 0}, {-50, 1, 0, 0, 0, 1, 1, 0}, {-50, 0, 0, 0, 0, 0, 0, 1}}},
      {"max and min with 1 % hysteresis",
       {{1, 1.0f}, {4, 1.0f}, {5, 0.0f}},
       1,
       {{100, 0, 0, 0, 0, 1, 1, 0},
        {0, 0, 0, 1, 0.995f, 0.995f, 1, 0},
        {0, 0, 0, 1, 0.99f, 0.99f, 0, 0},
        {0, 0, 0, 1, -5, 0, 0, 1},
        {0, 0, 0, 1, 0.005f, 0.005f, 0, 1},
        {0, 0, 0, 1, 0.01f, 0.01f, 0, 0},
        {0, 0, 0, 1, 0.5f, 0.5f, 0, 0}}},
      {"x 0 is added to the input; preset from the input is limited",
       {{1, 0.5f}, {2, 1.0f}, {4, 10.0f}, {5, -10.0f}},  // T 0.5: k = 0.2
       1,
       {{0, 0, 0, 1, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0.4f, 0, 0}, {-3, 0, 0, 0, 0, 0.0f, 0, 0},
        {0, 0, 0, 1, 50, 10, 1, 0}, {0, 0, 0, 1, -50, -10, 0, 1}}},
      {"a preset input that is not a number keeps the output",
       {{1, 1.0f}, {4, 10.0f}, {5, -10.0f}},
       1,
       {{0, 0, 0, 1, 3, 3, 0, 0}, {0, 0, 0, 1, kNaN, 3, 0, 0}, {kNaN, 0, 0, 0, 0, 3, 0, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_INTE, kBlock, 1);
    setFloatParams(fx, kBlock, c.params);
    setWordParams(fx, kBlock, {{1, c.mode}});
    fx.init(kBlock);
    runInte(fx, c.steps);
  }
}

// The remainder carries what a single-precision sum loses: 1e-5 per cycle on top of 1000
// (a float step there is 6.1e-5) still adds up.
TEST(Inte, CompensatedSumKeepsSmallIncrements) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_INTE, kBlock, 1);
  setFloatParams(fx, kBlock, {{1, 1.0f}, {3, 1000.0f}, {4, 2000.0f}});
  fx.init(kBlock);
  runInte(fx, {{0, 0, 0, 1, 0, 1000.0f, 0, 0}});
  fx.setDigitalInput(kBlock, 3, 0);
  fx.setAnalogInput(kBlock, 1, 1e-4f);
  fx.run(kBlock, 1000);
  EXPECT_NEAR(fx.analogOut(kBlock, 1), 1000.01f, 1e-4f);
}

// Min and Max are cross limits: a single value against the other's pending value, a whole
// set against the values it brings.
TEST(Inte, CrossLimitsOfMinAndMax) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(BLK_TYPE_INTE, kBlock, 1);
  fx.setAnalogInput(kBlock, 1, 0.0f);
  fx.init(kBlock);
  uint16_t bad = 99;
  EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, 1003, -0.5f), &bad), FB_ERR_LIMITS);
  EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, 1004, 1.5f), &bad), FB_ERR_LIMITS);
  EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, 1004, 1.0f), &bad), FB_OK) << "Min = Max";

  g_fwRunMode = FW_RUN_MODE_RUN;
  const uint16_t mode[] = {INTE_PRESET_PARAM};
  const float set[] = {0.5f, 0.0f, 0.0f, 10.0f, 5.0f};  // T 0.5: k = 0.2
  ASSERT_EQ(fx.floatParam(kBlock, 4, true).get(), 1.0f);
  EXPECT_EQ(sendParam(FB_SetRequest(kBlock, 4000, mode, set), &bad), FB_OK);
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(fx.floatParam(kBlock, 4).get(), 1.0f) << "waits for the next run";
  fx.run(kBlock);  // takes the set over: k and h recomputed
  EXPECT_EQ(fx.floatParam(kBlock, 4).get(), 10.0f);
  EXPECT_EQ(fx.floatParam(kBlock, 5).get(), 5.0f);
  EXPECT_EQ(rec.saves.size(), 1u);
  runInte(fx, {{1, 0, 0, 0, 0, 5.0f, 0, 1},     // below the new Min: held there
               {1, 0, 0, 0, 0, 5.2f, 0, 0},     // 5 + 1 * 0.2, above Min + h = 5.05
               {-3, 0, 0, 0, 0, 5.0f, 0, 1}});

  // "Mode" is taken over and saved as a word parameter.
  EXPECT_EQ(sendParam(FB_WordRequest(kBlock, 1250, INTE_PRESET_INPUT), &bad), FB_OK);
  fx.run(kBlock);
  EXPECT_EQ(fx.wordParam(kBlock, 1), INTE_PRESET_INPUT);
  EXPECT_EQ(rec.saves.back(), (std::array<int, 4>{static_cast<int>(FbSaveGroup::WordParams),
                                                  kBlock, 1, 1}));
}

// ---------------------------------------------------------------------------------------
// Lag, filter and differentiator

TEST(LagFilterLead, OutputsCycleByCycle) {
  struct Step {
    float x;
    uint16_t reset;
    float y;
  };
  const struct {
    const char* what;
    uint16_t type;
    Params params;
    uint16_t mode;  // LEAD "Mode"
    std::vector<Step> steps;
  } cases[] = {
      {"LAG T 0 passes", BLK_TYPE_LAG, {{1, 0.0f}}, 0, {{1, 0, 1}, {5, 0, 5}, {-3, 0, -3}}},
      {"LAG T 1", BLK_TYPE_LAG, {}, 0, {{1, 0, 0.0909091f}, {1, 0, 0.173554f}, {4, 1, 4}}},
      {"FILTER T 0 passes", BLK_TYPE_FILTER, {{1, 0.0f}}, 0, {{1, 0, 1}, {5, 0, 5}}},
      {"FILTER follows a step beyond Diff, filters a smaller one",
       BLK_TYPE_FILTER,
       {},
       0,
       {{2, 0, 2}, {2.5f, 0, 2.0454545f}, {2.5f, 1, 2.5f}, {2.4f, 0, 2.4909091f}}},
      {"LEAD T 0 gives y0", BLK_TYPE_LEAD, {{2, 2.0f}, {3, 0.0f}}, 0,
       {{1, 0, 2}, {5, 0, 2}, {-3, 0, 2}}},
      {"LEAD: a step from the cold start's 0, then decay",
       BLK_TYPE_LEAD, {}, 0, {{1, 0, 0.909091f}, {1, 0, 0.826446f}, {1, 0, 0.751315f}}},
      {"LEAD both directions", BLK_TYPE_LEAD, {}, LEAD_MODE_BOTH,
       {{1, 0, 0.909091f}, {0, 0, -0.0826446f}}},
      {"LEAD rising only", BLK_TYPE_LEAD, {}, LEAD_MODE_RISING,
       {{1, 0, 0.909091f}, {0, 0, 0.826446f}}},
      {"LEAD falling only", BLK_TYPE_LEAD, {{2, 1.0f}}, LEAD_MODE_FALLING,
       {{1, 0, 1}, {0, 0, 0.090909f}}},
      {"LEAD reset gives y0 and follows the input", BLK_TYPE_LEAD, {{2, 3.0f}}, 0,
       {{1, 0, 3.909091f}, {2, 1, 3}, {2, 0, 3}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(c.type, kBlock, 1);
    setFloatParams(fx, kBlock, c.params);
    if (c.type == BLK_TYPE_LEAD) fx.wordValue(kBlock, 1, true) = c.mode;
    fx.init(kBlock);
    int cycle = 0;
    for (const Step& s : c.steps) {
      ++cycle;
      fx.setAnalogInput(kBlock, 1, s.x);
      fx.setDigitalInput(kBlock, 1, s.reset);
      fx.run(kBlock);
      EXPECT_NEAR(fx.analogOut(kBlock, 1), s.y, 1e-6f) << "cycle " << cycle;
    }
  }
}

// Rising steps of 1.1e37 with a slow decay (T 199999 s) would sum the derivative part past
// the float range; it is held at 1.5e37 instead, and the output stays there.
TEST(Lead, DerivativeSumStaysWithinTheBound) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_LEAD, kBlock, 1);
  setFloatParams(fx, kBlock, {{3, 199999.0f}});
  fx.wordValue(kBlock, 1, true) = LEAD_MODE_RISING;
  fx.init(kBlock);
  for (int n = 0; n < 200; ++n) {
    fx.setAnalogInput(kBlock, 1, n % 2 == 0 ? 1.1e37f : 0.0f);
    fx.run(kBlock);
  }
  EXPECT_GT(fx.analogOut(kBlock, 1), 1.49e37f);
  EXPECT_LE(fx.analogOut(kBlock, 1), FW_VALUE_MAX);
  const FbLayout L = fx.layout(kBlock);
  const float v = reinterpret_cast<const FbF32*>(L.work)[1].get();
  EXPECT_LE(std::fabs(v), FW_VALUE_MAX);
}

// An input that is not a number adds nothing to the sums, which go on from where they were.
TEST(TimeFunctions, SumsRecoverFromAnInputThatIsNotANumber) {
  const struct {
    uint16_t type;
    std::vector<float> x, y;
  } cases[] = {
      {BLK_TYPE_LEAD, {kNaN, 1, 1, 2}, {0, 0, 0, 0.909091f}},
      {BLK_TYPE_INTE, {1, kNaN, kNaN, 1}, {0.1f, 0.1f, 0.1f, 0.2f}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(c.type, kBlock, 1);
    if (c.type == BLK_TYPE_INTE) setFloatParams(fx, kBlock, {{1, 1.0f}});  // k = 0.1
    fx.init(kBlock);
    for (size_t i = 0; i < c.x.size(); ++i) {
      fx.setAnalogInput(kBlock, 1, c.x[i]);
      fx.run(kBlock);
      EXPECT_NEAR(fx.analogOut(kBlock, 1), c.y[i], 1e-6f) << "cycle " << i + 1;
    }
  }
}

TEST(Lead, ModeWrittenWhileRunningActsAfterTheNextInit) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(BLK_TYPE_LEAD, kBlock, 1);
  setFloatParams(fx, kBlock, {{3, 0.0f}});  // T 0: y = y0 + the change times a
  fx.setAnalogInput(kBlock, 1, 0.0f);
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 99;
  ASSERT_EQ(sendParam(FB_WordRequest(kBlock, 3000, LEAD_MODE_FALLING), &bad), FB_OK);
  EXPECT_EQ(fx.wordValue(kBlock, 1), LEAD_MODE_BOTH);
  EXPECT_EQ(fx.wordValue(kBlock, 1, true), LEAD_MODE_FALLING);
  fx.run(kBlock);
  EXPECT_EQ(fx.wordValue(kBlock, 1), LEAD_MODE_BOTH) << "Run does not take it over";
  EXPECT_TRUE(rec.saves.empty());
  fx.init(kBlock);
  EXPECT_EQ(fx.wordValue(kBlock, 1), LEAD_MODE_FALLING);
}

// ---------------------------------------------------------------------------------------
// Parameters

// While running, the run that takes a change over recomputes what derives from it, so the
// run after it works with the new value.
TEST(TimeFunctionParams, TakeOverRecomputesCoefficientsAndIndexes) {
  const struct {
    const char* what;
    uint16_t type;
    Params floats;
    WordParams words;
    bool word;
    int16_t id;
    float value;
    float x, y;  // input and output of the run after the take-over
  } cases[] = {
      {"LAG T 0", BLK_TYPE_LAG, {}, {}, false, 1000, 0.0f, 7, 7},
      {"FILTER T 0", BLK_TYPE_FILTER, {}, {}, false, 1000, 0.0f, 0.5f, 0.5f},
      {"LEAD T 0", BLK_TYPE_LEAD, {}, {}, false, 1002, 0.0f, 5, 0},
      {"DELAY Delay 0", BLK_TYPE_DELAY, {}, {{1, 3}}, true, 1250, 0, 7, 7},
      {"DELAY2 Td 0", BLK_TYPE_DELAY2, {{1, 0.5f}}, {}, false, 1000, 0.0f, 7, 7},
      {"INTE T 0.5", BLK_TYPE_INTE, {}, {}, false, 1000, 0.5f, 1, 0.2f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    SaveRecorder rec;
    fx.create(c.type, kBlock, 1);
    setFloatParams(fx, kBlock, c.floats);
    setWordParams(fx, kBlock, c.words);
    fx.setAnalogInput(kBlock, 1, 0.0f);
    fx.init(kBlock);
    g_fwRunMode = FW_RUN_MODE_RUN;
    uint16_t bad = 99;
    const FbParamRequest r = c.word ? FB_WordRequest(kBlock, c.id, static_cast<uint16_t>(c.value))
                                    : FB_FloatRequest(kBlock, c.id, c.value);
    ASSERT_EQ(sendParam(r, &bad), FB_OK);
    fx.run(kBlock);
    EXPECT_EQ(rec.saves.size(), 1u);
    fx.setAnalogInput(kBlock, 1, c.x);
    fx.run(kBlock);
    EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 1), c.y);
  }
}

TEST(TimeFunctionParams, RunModeChangeIsSavedOnceAndRetried) {
  expectRunModeSave(BLK_TYPE_LEAD, 1001, 2.0f, 3.0f);
  expectRunModeSave(BLK_TYPE_INTE, 1000, 2.0f, 3.0f);
  expectRunModeSave(BLK_TYPE_LAG, 1000, 2.0f, 3.0f);
  expectRunModeSave(BLK_TYPE_DELAY2, 1000, 2.0f, 3.0f);
  expectRunModeSave(BLK_TYPE_FILTER, 1001, 2.0f, 3.0f);
}

TEST(TimeFunctionParams, RefusedRequestsChangeNothing) {
  const RefusedRequest cases[] = {
      {"LEAD beyond its floats", BLK_TYPE_LEAD, FB_FloatRequest(kBlock, 1003, 1), 'i', 0},
      {"LEAD has no word parameter", BLK_TYPE_LEAD, FB_WordRequest(kBlock, 1250, 0), 'i', 0},
      {"LEAD beyond its word values", BLK_TYPE_LEAD, FB_WordRequest(kBlock, 3001, 0), 'i', 0},
      {"LEAD Mode 3", BLK_TYPE_LEAD, FB_WordRequest(kBlock, 3000, 3), 'l', 0},
      {"LEAD T below 0", BLK_TYPE_LEAD, FB_FloatRequest(kBlock, 1002, -1), 'l', 0},
      {"LEAD T above 199999", BLK_TYPE_LEAD, FB_FloatRequest(kBlock, 1002, 200000), 'l', 0},
      {"LEAD a NaN", BLK_TYPE_LEAD, FB_FloatRequest(kBlock, 1000, kNaN), 'l', 0},
      {"LEAD set with 2 floats", BLK_TYPE_LEAD, setRequest(4000, {}, {1, 0}),
       'z', 0},
      {"LEAD set with a word", BLK_TYPE_LEAD, setRequest(4000, {0}, {1, 0, 1}),
       'y', 0},
      {"LEAD set, y0 bad", BLK_TYPE_LEAD, setRequest(4000, {}, {1, -3e4f, 1}),
       'l', 2},
      {"LEAD values, Mode 3", BLK_TYPE_LEAD, setRequest(4010, {3}, {}), 'l', 1},
      {"LEAD values without the value", BLK_TYPE_LEAD, setRequest(4010, {}, {}),
       'y', 0},
      {"LEAD text", BLK_TYPE_LEAD, FB_WordRequest(kBlock, 2000, 0), 'i', 0},
      {"LEAD read", BLK_TYPE_LEAD, FB_WordRequest(kBlock, -1000, 0), 'i', 0},
      {"INTE T below 0.1", BLK_TYPE_INTE, FB_FloatRequest(kBlock, 1000, 0.05f), 'l', 0},
      {"INTE Max below Min", BLK_TYPE_INTE, FB_FloatRequest(kBlock, 1003, -1), 'l', 0},
      {"INTE Min above Max", BLK_TYPE_INTE, FB_FloatRequest(kBlock, 1004, 2), 'l', 0},
      {"INTE Mode 2", BLK_TYPE_INTE, FB_WordRequest(kBlock, 1250, 2), 'l', 0},
      {"INTE set, Min -30000", BLK_TYPE_INTE,
       setRequest(4000, {0}, {60, 0, 0, 1, -30000}), 'l', 6},
      {"INTE set, Max below its Min", BLK_TYPE_INTE,
       setRequest(4000, {0}, {60, 0, 0, 3, 5}), 'l', 5},
      {"INTE set, Mode 2", BLK_TYPE_INTE, setRequest(4000, {2}, {60, 0, 0, 1, 0}),
       'l', 1},
      {"INTE set without the word", BLK_TYPE_INTE,
       setRequest(4000, {}, {60, 0, 0, 1, 0}), 'y', 0},
      {"INTE set with 4 floats", BLK_TYPE_INTE, setRequest(4000, {0}, {60, 0, 0, 1}),
       'z', 0},
      {"INTE has no values", BLK_TYPE_INTE, setRequest(4010, {}, {}), 'i', 0},
      {"INTE beyond its floats", BLK_TYPE_INTE, FB_FloatRequest(kBlock, 1005, 1), 'i', 0},
      {"INTE has no word value", BLK_TYPE_INTE, FB_WordRequest(kBlock, 3000, 0), 'i', 0},
      {"LAG T above 199999", BLK_TYPE_LAG, FB_FloatRequest(kBlock, 1000, 199999.5f), 'l', 0},
      {"LAG beyond its floats", BLK_TYPE_LAG, FB_FloatRequest(kBlock, 1001, 1), 'i', 0},
      {"LAG set with 2 floats", BLK_TYPE_LAG, setRequest(4000, {}, {1, 1}), 'z', 0},
      {"DELAY Delay 256", BLK_TYPE_DELAY, FB_WordRequest(kBlock, 1250, 256), 'l', 0},
      {"DELAY has no floats", BLK_TYPE_DELAY, FB_FloatRequest(kBlock, 1000, 1), 'i', 0},
      {"DELAY set, Delay 300", BLK_TYPE_DELAY, setRequest(4000, {300}, {}), 'l', 1},
      {"DELAY set without the word", BLK_TYPE_DELAY, setRequest(4000, {}, {}), 'y', 0},
      {"DELAY2 Td above 204", BLK_TYPE_DELAY2, FB_FloatRequest(kBlock, 1000, 204.5f), 'l', 0},
      {"DELAY2 Td NaN", BLK_TYPE_DELAY2, FB_FloatRequest(kBlock, 1000, kNaN), 'l', 0},
      {"DELAY2 has no word parameter", BLK_TYPE_DELAY2, FB_WordRequest(kBlock, 1250, 0), 'i', 0},
      {"FILTER Diff below 0", BLK_TYPE_FILTER, FB_FloatRequest(kBlock, 1001, -0.5f), 'l', 0},
      {"FILTER set, Diff bad", BLK_TYPE_FILTER, setRequest(4000, {}, {1, -1}), 'l',
       2},
      {"FILTER beyond its floats", BLK_TYPE_FILTER, FB_FloatRequest(kBlock, 1002, 1), 'i', 0},
      {"no such block", BLK_TYPE_FILTER, FB_FloatRequest(kBlock + 1, 1000, 1), 'j', 0},
  };
  for (const RefusedRequest& c : cases) expectRefusedChangesNothing(c);
}

}  // namespace
