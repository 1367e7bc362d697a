// Selection and storage blocks cycle by cycle: the selectors, the sort of three values, the
// peak, track-and-hold and recipe memories, the two-out-of-three vote, their starts and
// their parameter requests.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "block_cases.h"
#include "blocks/select/select.h"

namespace {

constexpr float kMax = 1.5e37f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

using Floats = std::vector<float>;
using Words = std::vector<uint16_t>;

Floats analogOutputs(const BlockFixture& fx, uint16_t block = kBlock) {
  const uint16_t n = fx.layout(block).analogOutputs;
  Floats out;
  for (uint16_t i = 1; i <= n; ++i) out.push_back(fx.analogOut(block, i));
  return out;
}

void setDigitalInputs(BlockFixture& fx, const Words& d) {
  for (size_t i = 0; i < d.size(); ++i) {
    fx.setDigitalInput(kBlock, static_cast<uint16_t>(i + 1), d[i]);
  }
}

// ---------------------------------------------------------------------------------------
// EXTR

TEST(Extr, SortsAndRepairsInvalidValues) {
  const struct {
    const char* what;
    Inputs x;
    Floats out;  // Max, Mid, Min, MaxNo, MidNo, MinNo
  } cases[] = {
      {"nothing connected", {}, {kMax, kMax, kMax, 0, 0, 0}},
      {"three valid", {2.0f, 3.0f, 1.0f}, {3, 2, 1, 2, 1, 3}},
      {"ties fall to the otherwise side", {4.0f, 4.0f, 4.0f}, {4, 4, 4, 1, 2, 3}},
      {"X 3 unconnected: Mid = Max", {5.0f, 3.0f}, {5, 5, 3, 1, 1, 2}},
      {"a source at -1.5e37: Mid = Max", {-kMax, 3.0f, 5.0f}, {5, 5, 3, 3, 3, 2}},
      {"one valid input gives it three times", {{}, 7.0f}, {7, 7, 7, 2, 2, 2}},
      {"two at -1.5e37: all the valid maximum", {7.0f, -kMax, -kMax}, {7, 7, 7, 1, 1, 1}},
      {"one at each bound", {kMax, -kMax, 2.0f}, {2, 2, 2, 3, 3, 3}},
      {"NaN counts as invalid", {kNaN, 1.0f, 2.0f}, {2, 2, 1, 3, 3, 2}},
      {"infinity counts as invalid", {kInf, 1.0f}, {1, 1, 1, 2, 2, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_EXTR, kBlock);
    setAnalogInputs(fx, kBlock, c.x);
    fx.init(kBlock);
    fx.run(kBlock);
    EXPECT_EQ(analogOutputs(fx), c.out);
  }
}

// ---------------------------------------------------------------------------------------
// The selectors

TEST(Selectors, PickByDigitalPairOrNumber) {
  const struct {
    const char* what;
    uint16_t type;
    Inputs analog;
    Words digital;
    Params params;
    Floats out;                     // analog outputs after one run
    std::optional<uint16_t> z1;     // SELD's digital output
  } cases[] = {
      // SELD: "Select"; d 1 .. d 4, sel h, sel l; "Casc" starts at 9 to show it unchanged.
      {"SELD by the pair (1, 0)", BLK_TYPE_SELD, {}, {0, 0, 1, 0, 1, 0}, {}, {9}, 1},
      {"SELD by the pair (1, 1)", BLK_TYPE_SELD, {}, {0, 0, 0, 1, 1, 1}, {}, {9}, 1},
      {"SELD: a selector word 2 counts as 1", BLK_TYPE_SELD, {}, {0, 0, 1, 0, 2, 0}, {}, {9}, 1},
      {"SELD: 0xFFFF counts as 1", BLK_TYPE_SELD, {}, {0, 1, 0, 0, 0, 0xFFFF}, {}, {9}, 1},
      {"SELD Select 2 takes d 2", BLK_TYPE_SELD, {2.0f}, {0, 1, 0, 0, 1, 1}, {}, {-1}, 1},
      {"SELD Select 1.49 takes d 1", BLK_TYPE_SELD, {1.49f}, {0, 1, 1, 1}, {}, {1.49f - 3}, 0},
      {"SELD Select NaN takes d 4", BLK_TYPE_SELD, {kNaN}, {0, 0, 0, 1}, {}, {0}, 1},
      {"SELD Select -1.5e37 takes d 1", BLK_TYPE_SELD, {-kMax}, {1}, {}, {-kMax}, 1},
      // SELV1: X 1 .. X 4; sel h, sel l.
      {"SELV1 sel h 2, sel l 0 picks X 3", BLK_TYPE_SELV1, {1, 2, 3, 4}, {2, 0}, {}, {3}, {}},
      {"SELV1 (0, 1) picks X 2", BLK_TYPE_SELV1, {1, 2, 3, 4}, {0, 1}, {}, {2}, {}},
      {"SELV1 0xFFFF twice picks X 4", BLK_TYPE_SELV1, {1, 2, 3, 4}, {0xFFFF, 0xFFFF}, {}, {4},
       {}},
      // SELP: C 1, C 2, C 3 or X 1.
      {"SELP (0, 0) picks C 1", BLK_TYPE_SELP, {9}, {0, 0}, {{1, 5}, {2, 6}, {3, 7}}, {5}, {}},
      {"SELP (0, 1) picks C 2", BLK_TYPE_SELP, {9}, {0, 1}, {{1, 5}, {2, 6}, {3, 7}}, {6}, {}},
      {"SELP (5, 0) picks C 3", BLK_TYPE_SELP, {9}, {5, 0}, {{1, 5}, {2, 6}, {3, 7}}, {7}, {}},
      {"SELP (1, 1) picks X 1", BLK_TYPE_SELP, {9}, {1, 1}, {{1, 5}, {2, 6}, {3, 7}}, {9}, {}},
      // SELOUT: X 1 to one of four outputs.
      {"SELOUT (1, 0) puts X 1 on Y 3", BLK_TYPE_SELOUT, {8}, {1, 0}, {}, {0, 0, 8, 0}, {}},
      {"SELOUT (0, 0) puts X 1 on Y 1", BLK_TYPE_SELOUT, {8}, {0, 0}, {}, {8, 0, 0, 0}, {}},
      {"SELOUT selector word 2: all 0", BLK_TYPE_SELOUT, {8}, {2, 0}, {}, {0, 0, 0, 0}, {}},
      {"SELOUT selector word 0xFFFF: all 0", BLK_TYPE_SELOUT, {8}, {0, 0xFFFF}, {}, {0, 0, 0, 0},
       {}},
      // SELV2: X 1 .. X 4, Select; Y 1, Casc.
      {"SELV2 Select 2.49 picks X 2", BLK_TYPE_SELV2, {1, 2, 3, 4, 2.49f}, {}, {}, {2, 2.49f - 3},
       {}},
      {"SELV2 Select 2.5 picks X 3", BLK_TYPE_SELV2, {1, 2, 3, 4, 2.5f}, {}, {}, {3, -0.5f}, {}},
      {"SELV2 Select 7 picks X 4", BLK_TYPE_SELV2, {1, 2, 3, 4, 7}, {}, {}, {4, 4}, {}},
      {"SELV2 Select NaN picks X 4", BLK_TYPE_SELV2, {1, 2, 3, 4, kNaN}, {}, {}, {4, 0}, {}},
      {"SELV2 Select unconnected picks X 1", BLK_TYPE_SELV2, {1, 2, 3, 4}, {}, {}, {1, -3}, {}},
      // SELC: set 1 or set 2.
      {"SELC sel 0 gives set 1", BLK_TYPE_SELC, {}, {0}, {{1, 5}, {4, 6}}, {5, 0, 0, 6}, {}},
      {"SELC sel 1 gives set 2", BLK_TYPE_SELC, {}, {1}, {{5, 7}}, {7, 1, 1, 1}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(c.type, kBlock);
    setFloatParams(fx, kBlock, c.params);
    setAnalogInputs(fx, kBlock, c.analog);
    setDigitalInputs(fx, c.digital);
    fx.init(kBlock);
    if (c.type == BLK_TYPE_SELD) fx.layout(kBlock).ao[0] = 9.0f;
    fx.run(kBlock);
    EXPECT_EQ(analogOutputs(fx), c.out);
    if (c.z1) {
      EXPECT_EQ(fx.digitalOut(kBlock, 1), *c.z1);
    }
  }
}

// ---------------------------------------------------------------------------------------
// PEAK and TRST

TEST(Peak, StoresExtremesUntilReset) {
  struct Step {
    float x;
    uint16_t stop, reset;
    float max, min;
  };
  const Step steps[] = {
      {7, 0, 0, 7, 5},    // the cold start took 5 for both
      {3, 0, 0, 7, 3},
      {5, 0, 0, 7, 3},
      {10, 1, 0, 7, 3},   // stopped
      {-2, 1, 0, 7, 3},
      {4, 1, 1, 4, 4},    // stop and reset together: reset
      {6, 0, 0, 6, 4},
      {kNaN, 0, 1, 0, 0}, // a reset to NaN stores 0
  };
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_PEAK, kBlock);
  fx.setAnalogInput(kBlock, 1, 5.0f);
  fx.init(kBlock);
  EXPECT_EQ(analogOutputs(fx), (Floats{5, 5}));
  int cycle = 0;
  for (const Step& s : steps) {
    ++cycle;
    fx.setAnalogInput(kBlock, 1, s.x);
    fx.setDigitalInput(kBlock, 1, s.stop);
    fx.setDigitalInput(kBlock, 2, s.reset);
    fx.run(kBlock);
    EXPECT_EQ(analogOutputs(fx), (Floats{s.max, s.min})) << "cycle " << cycle;
  }

  // A warm start puts the stored extremes back on the outputs; a cold start takes X 1.
  fx.setAnalogInput(kBlock, 1, 8.0f);
  fx.setDigitalInput(kBlock, 2, 0);
  fx.run(kBlock);
  fx.layout(kBlock).ao[0] = -1.0f;
  fx.layout(kBlock).ao[1] = -1.0f;
  {
    WarmStart warm;
    fx.init(kBlock);
  }
  EXPECT_EQ(analogOutputs(fx), (Floats{8, 0}));
  fx.init(kBlock);
  EXPECT_EQ(analogOutputs(fx), (Floats{8, 8}));
}

TEST(Trst, HoldsWhileHoldIsSet) {
  const std::pair<float, uint16_t> steps[] = {{1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 0}};
  const float expected[] = {1, 2, 2, 2, 5};
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_TRST, kBlock);
  fx.init(kBlock);
  for (size_t i = 0; i < std::size(steps); ++i) {
    fx.setAnalogInput(kBlock, 1, steps[i].first);
    fx.setDigitalInput(kBlock, 1, steps[i].second);
    fx.run(kBlock);
    EXPECT_EQ(fx.analogOut(kBlock, 1), expected[i]) << "cycle " << i + 1;
  }
}

// ---------------------------------------------------------------------------------------
// RECIPE

TEST(Recipe, SetsManualModeAndTeachIn) {
  struct Step {
    float setNo;
    uint16_t store, manual;
    uint8_t saveAnswer;
    Floats out;    // Y 1 .. Y 4, Casc
    size_t saves;  // saves recorded so far
  };
  // Inputs X 1 .. X 4 = 11, 12, 13, 2e6 throughout; set 2 holds 5, 6, 7, 8.
  const struct {
    const char* what;
    std::vector<Step> steps;
    std::optional<Floats> set2;  // set 2 afterwards, current and pending
  } cases[] = {
      {"set 2", {{2, 0, 0, 0, {5, 6, 7, 8, -3}, 0}}, {}},
      {"SetNo 2.4 rounds to 2", {{2.4f, 0, 0, 0, {5, 6, 7, 8, -3}, 0}}, {}},
      {"set 1 holds the defaults", {{1, 0, 0, 0, {0, 0, 0, 0, -4}, 0}}, {}},
      {"manual passes the inputs", {{2, 0, 1, 0, {11, 12, 13, 2e6f, -3}, 0}}, {}},
      {"SetNo 5.5 rounds to 6: inputs pass, Casc 1", {{5.5f, 0, 0, 0, {11, 12, 13, 2e6f, 1}, 0}},
       {}},
      {"SetNo -0.5 passes, Casc -6", {{-0.5f, 0, 0, 0, {11, 12, 13, 2e6f, -6}, 0}}, {}},
      {"SetNo 0.4 rounds to 0: inputs pass", {{0.4f, 0, 0, 0, {11, 12, 13, 2e6f, -5}, 0}}, {}},
      {"SetNo NaN passes", {{kNaN, 0, 0, 0, {11, 12, 13, 2e6f, 0}, 0}}, {}},
      {"SetNo 1.5e37 passes", {{kMax, 0, 0, 0, {11, 12, 13, 2e6f, kMax}, 0}}, {}},
      {"store held at 1 stores once, clamped to the limits",
       {{2, 1, 0, 0, {5, 6, 7, 8, -3}, 1},
        {2, 1, 0, 0, {11, 12, 13, 999999, -3}, 1},
        {2, 1, 0, 0, {11, 12, 13, 999999, -3}, 1}},
       Floats{11, 12, 13, 999999}},
      {"a new rising edge stores again",
       {{2, 1, 0, 0, {5, 6, 7, 8, -3}, 1},
        {2, 0, 0, 0, {11, 12, 13, 999999, -3}, 1},
        {2, 1, 0, 0, {11, 12, 13, 999999, -3}, 2}},
       Floats{11, 12, 13, 999999}},
      {"stores in manual mode too", {{2, 1, 1, 0, {11, 12, 13, 2e6f, -3}, 1}},
       Floats{11, 12, 13, 999999}},
      {"a save that was not queued is repeated next cycle",
       {{2, 1, 0, 1, {5, 6, 7, 8, -3}, 1},
        {2, 1, 0, 1, {11, 12, 13, 999999, -3}, 2},
        {2, 1, 0, 0, {11, 12, 13, 999999, -3}, 3},
        {2, 1, 0, 0, {11, 12, 13, 999999, -3}, 3}},
       Floats{11, 12, 13, 999999}},
      {"no store without a valid set", {{6, 1, 0, 0, {11, 12, 13, 2e6f, 1}, 0}},
       Floats{5, 6, 7, 8}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    SaveRecorder rec;
    fx.create(BLK_TYPE_RECIPE, kBlock);
    setFloatParams(fx, kBlock, {{5, 5}, {6, 6}, {7, 7}, {8, 8}});
    setAnalogInputs(fx, kBlock, {11.0f, 12.0f, 13.0f, 2e6f});
    fx.init(kBlock);
    int cycle = 0;
    for (const Step& s : c.steps) {
      ++cycle;
      fx.setAnalogInput(kBlock, 5, s.setNo);
      fx.setDigitalInput(kBlock, 1, s.store);
      fx.setDigitalInput(kBlock, 2, s.manual);
      SaveRecorder::answer = s.saveAnswer;
      fx.run(kBlock);
      EXPECT_EQ(analogOutputs(fx), s.out) << "cycle " << cycle;
      EXPECT_EQ(rec.saves.size(), s.saves) << "cycle " << cycle;
    }
    for (const auto& save : rec.saves) {
      EXPECT_EQ(save, (std::array<int, 4>{static_cast<int>(FbSaveGroup::FloatParams), kBlock,
                                          5, 4}));
    }
    if (c.set2) {
      for (uint16_t i = 0; i < 4; ++i) {
        EXPECT_EQ(fx.floatParam(kBlock, 5 + i).get(), (*c.set2)[i]) << i;
        EXPECT_EQ(fx.floatParam(kBlock, 5 + i, true).get(), (*c.set2)[i]) << i;
      }
    }
  }
}

// ---------------------------------------------------------------------------------------
// 2OF3

TEST(TwoOfThree, VotingAndPlainSelection) {
  // Analog inputs: X 1, X1mult, X 2, X2mult, X 3, X3mult (empty: unconnected); digital
  // inputs: fail 1 .. fail 3, off.
  const struct {
    const char* what;
    Inputs in;
    Words d;
    float diff;
    float y, casc;
    uint16_t err1, err2;
  } cases[] = {
      {"one connected input that fails", {4.0f}, {1}, 1, kMax, 0, 1, 0},
      {"one connected input", {4.0f}, {}, 1, 4, 1, 0, 0},
      {"off, all valid and equal", {3.0f, 2.0f, 3.0f, {}, 3.0f}, {0, 0, 0, 1}, 1, 3, 2, 0, 1},
      {"off, X 1 apart from the agreeing others",
       {5.0f, 2.0f, 0.0f, 3.0f, 0.5f}, {0, 0, 0, 1}, 1, 0, 3, 0, 1},
      {"off, X 1 failed: the first valid", {5.0f, {}, 6.0f, 4.0f, 7.0f}, {1, 0, 0, 1}, 1, 6, 4,
       0, 1},
      {"off, all failed", {5.0f, {}, 6.0f}, {1, 1, 0, 1}, 1, kMax, 0, 0, 1},
      {"two valid, multipliers summing to 0: plain mean",
       {2.0f, 1.0f, 4.0f, -1.0f}, {}, 5, 3, 0, 0, 0},
      {"two valid, weighted", {0.0f, 1.0f, 4.0f, 3.0f}, {}, 5, 3, 4, 0, 0},
      {"two valid, apart", {0.0f, 3.0f, 4.0f, 1.0f}, {}, 1, 1, 4, 1, 1},
      {"unconnected multipliers weigh 1", {0.0f, {}, 4.0f}, {}, 5, 2, 2, 0, 0},
      {"three valid, two pairs agree", {0.0f, {}, 2.0f, {}, 1.0f}, {}, 1, 1, 3, 0, 0},
      {"three valid, one pair agrees", {0.0f, {}, 0.5f, {}, 5.0f}, {}, 1, 0.25f, 2, 1, 0},
      {"three valid, no pair agrees", {0.0f, {}, 3.0f, {}, 6.0f}, {}, 1, 3, 3, 1, 1},
      {"one of three failed", {1.0f, {}, 3.0f, {}, 9.0f}, {0, 0, 1}, 5, 2, 2, 1, 0},
      {"two of three failed", {1.0f, {}, 3.0f, {}, 9.0f}, {0, 1, 1}, 5, 1, 1, 1, 1},
      {"a fail input of an unconnected input counts nothing", {{}, {}, 3.0f}, {1}, 5, 3, 1, 0, 0},
      {"a mean beyond the bound is held to it",
       {1e37f, 1.0f, -1e37f, -0.999f}, {}, 5, kMax, 1.0f - 0.999f, 1, 1},
      {"NaN inputs give 0, not NaN", {kNaN, {}, 1.0f}, {}, 5, 0, 2, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_2OF3, kBlock);
    setFloatParams(fx, kBlock, {{1, c.diff}});
    setAnalogInputs(fx, kBlock, c.in);
    setDigitalInputs(fx, c.d);
    fx.init(kBlock);
    fx.run(kBlock);
    EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 1), c.y);
    EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 2), c.casc);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), c.err1);
    EXPECT_EQ(fx.digitalOut(kBlock, 2), c.err2);
  }
}

// The mask of connected inputs follows the wiring at every start.
TEST(TwoOfThree, MaskIsRebuiltAtEveryInit) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_2OF3, kBlock);
  fx.setAnalogInput(kBlock, 1, 2.0f);
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 2.0f);
  fx.setAnalogInput(kBlock, 3, 4.0f);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 2.0f) << "X 2 counts from the next start on";
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 3.0f);
  EXPECT_EQ(fx.analogOut(kBlock, 2), 2.0f);
}

// ---------------------------------------------------------------------------------------
// Starts

TEST(SelectStarts, ColdStartClearsWarmStartKeeps) {
  const struct {
    uint16_t type;
    Floats cold;  // analog outputs after a cold start, from all at 7
  } cases[] = {
      {BLK_TYPE_SELD, {0}},
      {BLK_TYPE_EXTR, {0, 0, 0, 1, 1, 1}},
      {BLK_TYPE_TRST, {0}},
      {BLK_TYPE_SELC, {0, 0, 0, 0}},
      {BLK_TYPE_SELP, {0}},
      {BLK_TYPE_SELV1, {0}},
      {BLK_TYPE_SELOUT, {0, 7, 7, 7}},
      {BLK_TYPE_RECIPE, {0, 0, 0, 0, 0}},
      {BLK_TYPE_2OF3, {0, 0}},
      {BLK_TYPE_SELV2, {0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(c.type, kBlock);
    const FbLayout L = fx.layout(kBlock);
    auto setAll = [&] {
      for (uint16_t i = 0; i < L.analogOutputs; ++i) L.ao[i] = 7.0f;
      for (uint16_t i = 0; i < L.digitalOutputs; ++i) L.dout[i] = 1;
    };
    setAll();
    {
      WarmStart warm;
      fx.init(kBlock);
    }
    EXPECT_EQ(analogOutputs(fx), Floats(L.analogOutputs, 7.0f)) << "warm start";
    fx.init(kBlock);
    EXPECT_EQ(analogOutputs(fx), c.cold) << "cold start";
    if (c.type == BLK_TYPE_2OF3) {
      EXPECT_EQ(L.dout[0], 0);
      EXPECT_EQ(L.dout[1], 0);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Parameter requests

TEST(SelectParams, RunModeChangeIsSavedOnceAndRetried) {
  expectRunModeSave(BLK_TYPE_SELC, 1007, 2.0f, 3.0f);
  expectRunModeSave(BLK_TYPE_SELP, 1002, 2.0f, 3.0f);
  expectRunModeSave(BLK_TYPE_RECIPE, 1019, 2.0f, 3.0f);
  expectRunModeSave(BLK_TYPE_2OF3, 1000, 2.0f, 3.0f);
}

TEST(SelectParams, AcceptedRequests) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_SELC, kBlock);
  fx.create(BLK_TYPE_RECIPE, kBlock + 1);
  uint16_t bad = 99;
  const float consts[] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(sendParam(FB_SetRequest(kBlock, 4000, {}, consts), &bad), FB_OK);
  EXPECT_EQ(fx.floatParam(kBlock, 8).get(), 8.0f) << "stopped: applies at once";
  std::vector<float> sets(20, 999999.0f);
  EXPECT_EQ(sendParam(FB_SetRequest(kBlock + 1, 4000, {}, sets), &bad), FB_OK);
  EXPECT_EQ(fx.floatParam(kBlock + 1, 20).get(), 999999.0f);
}

TEST(SelectParams, RefusedRequestsChangeNothing) {
  auto set = [](uint16_t n, float v, int badAt = -1) {
    std::vector<float> items(n, 1.0f);
    if (badAt >= 0) items[badAt] = v;
    return FB_SetRequest(kBlock, 4000, {}, items);
  };
  const RefusedRequest cases[] = {
      {"SELD has no parameters", BLK_TYPE_SELD, FB_FloatRequest(kBlock, 1000, 1), 'i', 0},
      {"EXTR has no whole set", BLK_TYPE_EXTR, set(0, 0), 'i', 0},
      {"PEAK", BLK_TYPE_PEAK, FB_WordRequest(kBlock, 1250, 0), 'i', 0},
      {"TRST", BLK_TYPE_TRST, FB_WordRequest(kBlock, 3000, 0), 'i', 0},
      {"SELV1", BLK_TYPE_SELV1, FB_FloatRequest(kBlock, 1000, 1), 'i', 0},
      {"SELOUT", BLK_TYPE_SELOUT, FB_FloatRequest(kBlock, 1000, 1), 'i', 0},
      {"SELV2", BLK_TYPE_SELV2, set(0, 0), 'i', 0},
      {"SELC beyond its floats", BLK_TYPE_SELC, FB_FloatRequest(kBlock, 1008, 1), 'i', 0},
      {"SELC above 999999", BLK_TYPE_SELC, FB_FloatRequest(kBlock, 1003, 1e6f), 'l', 0},
      {"SELC set with 7 floats", BLK_TYPE_SELC, set(7, 0), 'z', 0},
      {"SELC set, sixth NaN", BLK_TYPE_SELC, set(8, kNaN, 5), 'l', 6},
      {"SELP beyond its floats", BLK_TYPE_SELP, FB_FloatRequest(kBlock, 1003, 1), 'i', 0},
      {"SELP set, third below -29999", BLK_TYPE_SELP, set(3, -3e4f, 2), 'l', 3},
      {"RECIPE beyond its floats", BLK_TYPE_RECIPE, FB_FloatRequest(kBlock, 1020, 1), 'i', 0},
      {"RECIPE set, fifth bad", BLK_TYPE_RECIPE, set(20, 1e7f, 4), 'l', 5},
      {"RECIPE values", BLK_TYPE_RECIPE, FB_SetRequest(kBlock, 4010, {}, {}), 'i', 0},
      {"2OF3 Diff below 0", BLK_TYPE_2OF3, FB_FloatRequest(kBlock, 1000, -1), 'l', 0},
      {"2OF3 beyond its floats", BLK_TYPE_2OF3, FB_FloatRequest(kBlock, 1001, 1), 'i', 0},
      {"2OF3 set with a word", BLK_TYPE_2OF3, FB_SetRequest(kBlock, 4000, Words{0}, Floats{1}),
       'y', 0},
  };
  for (const RefusedRequest& c : cases) expectRefusedChangesNothing(c);
}

}  // namespace
