// Limit and alarm blocks cycle by cycle: limit signalling, comparison, ramp limiter, limit
// comparators and alarm, their take-over of changed parameters and their requests.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <vector>

#include "block_cases.h"
#include "blocks/limit/limit.h"

namespace {

using Outputs = std::vector<uint16_t>;

Outputs digitalOutputs(const BlockFixture& fx) {
  const uint16_t n = fx.layout(kBlock).digitalOutputs;
  Outputs out;
  for (uint16_t i = 1; i <= n; ++i) out.push_back(fx.digitalOut(kBlock, i));
  return out;
}

// A whole-set request to kBlock.
FbParamRequest setRequest(int16_t id, std::vector<uint16_t> words, std::vector<float> items) {
  return FB_SetRequest(kBlock, id, words, items);
}

// ---------------------------------------------------------------------------------------
// ALLP and ALLV

TEST(LimitSignalling, HeldOutputAndComparators) {
  struct Step {
    float x;
    float y;
    Outputs hl;  // "h 1", "h 2", "l 1", "l 2"
  };
  // ALLP floats: H 1, H 2, L 1, L 2, X 0, Xsd. ALLV floats: H 2, L 2, X 0, Xsd; its "H 1"
  // and "L 1" are inputs 2 and 3.
  const struct {
    const char* what;
    uint16_t type;
    Params params;
    uint16_t select;
    std::optional<float> h1, l1;  // ALLV inputs; empty: unconnected
    std::vector<Step> steps;
  } cases[] = {
      {"ALLP: L 1 above H 1 gives H 1", BLK_TYPE_ALLP, {{1, 5}, {3, 8}}, ALL_SELECT_X, {}, {},
       {{-100, 5, {0, 0, 1, 0}}, {6, 5, {1, 0, 1, 0}}, {100, 5, {1, 0, 0, 0}}}},
      {"ALLP: h 1 set above H 1 clears at H 1 - Xsd", BLK_TYPE_ALLP, {{1, 10}}, ALL_SELECT_X, {}, {},
       {{10.5f, 10, {1, 0, 0, 0}}, {9.5f, 9.5f, {1, 0, 0, 0}}, {9, 9, {0, 0, 0, 0}},
        {10, 10, {0, 0, 0, 0}}, {10.5f, 10, {1, 0, 0, 0}}}},
      {"ALLP: l 1 set below L 1 clears at L 1 + Xsd", BLK_TYPE_ALLP, {{3, -10}}, ALL_SELECT_X, {}, {},
       {{-10.5f, -10, {0, 0, 1, 0}}, {-9.5f, -9.5f, {0, 0, 1, 0}}, {-9, -9, {0, 0, 0, 0}},
        {-10, -10, {0, 0, 0, 0}}}},
      {"ALLP: H 2 and L 2 without hysteresis", BLK_TYPE_ALLP, {{2, 5}, {4, -5}, {6, 0}},
       ALL_SELECT_X, {}, {},
       {{6, 6, {0, 1, 0, 0}}, {5, 5, {0, 0, 0, 0}}, {-6, -6, {0, 0, 0, 1}}, {-5, -5, {0, 0, 0, 0}}}},
      {"ALLP: rate from the cold start's 0", BLK_TYPE_ALLP, {}, ALL_SELECT_RATE, {}, {},
       {{1, 10, {0, 0, 0, 0}}, {1, 0, {0, 0, 0, 0}}, {3, 20, {0, 0, 0, 0}}}},
      {"ALLP: deviation from X 0; comparators on the signal", BLK_TYPE_ALLP, {{1, 1}, {5, 5}},
       ALL_SELECT_DEVIATION, {}, {},
       {{7, 1, {1, 0, 0, 0}}, {3, -2, {0, 0, 0, 0}}}},
      {"ALLV: limits from the inputs", BLK_TYPE_ALLV, {}, ALL_SELECT_X, 5.0f, -5.0f,
       {{6, 5, {1, 0, 0, 0}}, {0, 0, {0, 0, 0, 0}}, {-6, -5, {0, 0, 1, 0}}}},
      {"ALLV: unconnected limits never trigger", BLK_TYPE_ALLV, {}, ALL_SELECT_X, {}, {},
       {{1e30f, 1e30f, {0, 1, 0, 0}}, {-1e30f, -1e30f, {0, 0, 0, 1}}}},
      {"ALLV: crossed limit inputs give H 1", BLK_TYPE_ALLV, {}, ALL_SELECT_X, 1.0f, 2.0f,
       {{-3, 1, {0, 0, 1, 0}}, {3, 1, {1, 0, 0, 0}}}},
      {"ALLV: deviation from X 0", BLK_TYPE_ALLV, {{3, 2}}, ALL_SELECT_DEVIATION, {}, {},
       {{7, 5, {0, 0, 0, 0}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(c.type, kBlock, 1);
    setFloatParams(fx, kBlock, c.params);
    fx.wordValue(kBlock, 1, true) = c.select;
    if (c.h1) fx.setAnalogInput(kBlock, 2, *c.h1);
    if (c.l1) fx.setAnalogInput(kBlock, 3, *c.l1);
    fx.init(kBlock);
    int cycle = 0;
    for (const Step& s : c.steps) {
      ++cycle;
      fx.setAnalogInput(kBlock, 1, s.x);
      fx.run(kBlock);
      EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 1), s.y) << "cycle " << cycle;
      EXPECT_EQ(digitalOutputs(fx), s.hl) << "cycle " << cycle;
    }
  }
}

// ---------------------------------------------------------------------------------------
// EQUAL

TEST(Equal, OutcomesByTolerance) {
  const Outputs kEq{0, 1, 0, 1, 0, 1}, kGt{1, 0, 0, 0, 1, 1}, kLt{0, 0, 1, 1, 1, 0};
  const struct {
    const char* what;
    float diff;
    uint16_t mode;
    std::optional<float> diffIn;
    float x1, x2;
    Outputs out;
  } cases[] = {
      {"tolerance 0, equal", 0, 0, {}, 3, 3, kEq},
      {"tolerance 0, above", 0, 0, {}, 4, 3, kGt},
      {"tolerance 0, below", 0, 0, {}, 2, 3, kLt},
      {"within the tolerance", 0.5f, 0, {}, 3.5f, 3, kEq},
      {"at the lower edge of the tolerance", 0.5f, 0, {}, 2.5f, 3, kEq},
      {"beyond the tolerance", 0.5f, 0, {}, 3.6f, 3, kGt},
      {"parameter mode ignores the input", 0, 0, 5.0f, 3.1f, 3, kGt},
      {"tolerance from the input", 0, 1, 0.5f, 3.1f, 3, kEq},
      {"a negative tolerance input counts as 0", 5, 1, -1.0f, 3.1f, 3, kGt},
      {"a tolerance input above 999999 counts as 0", 5, 1, 2e6f, 2.9f, 3, kLt},
      {"an unconnected tolerance input reads 0", 5, 1, {}, 3, 3, kEq},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_EQUAL, kBlock);
    setFloatParams(fx, kBlock, {{1, c.diff}});
    setWordParams(fx, kBlock, {{1, c.mode}});
    fx.setAnalogInput(kBlock, 1, c.x1);
    fx.setAnalogInput(kBlock, 2, c.x2);
    if (c.diffIn) fx.setAnalogInput(kBlock, 3, *c.diffIn);
    fx.init(kBlock);
    fx.run(kBlock);
    EXPECT_EQ(digitalOutputs(fx), c.out);
  }
}

// ---------------------------------------------------------------------------------------
// VELO

TEST(Velo, RampLimits) {
  // Floats "GrX +", "GrX -"; words "Mode +", "Mode -"; inputs X 1, GrX +, GrX -; digital
  // inputs "off +", "off -".
  const struct {
    const char* what;
    uint16_t group;
    Params params;
    WordParams modes;
    std::optional<float> riseIn, fallIn;
    uint16_t offRise, offFall;
    std::vector<float> x, y;
  } cases[] = {
      {"GrX + 10 in a 0.1 s group", 1, {{1, 10}}, {}, {}, {}, 0, 0,
       {5, 5, 5, 5, 5, 5}, {1, 2, 3, 4, 5, 5}},
      {"GrX + 10 in a 0.8 s group", 8, {{1, 10}}, {}, {}, {}, 0, 0, {20, 20, 20}, {8, 16, 20}},
      {"GrX + 0 passes rising inputs", 1, {}, {}, {}, {}, 0, 0, {5, 7}, {5, 7}},
      {"off + passes", 1, {{1, 10}}, {}, {}, {}, 1, 0, {5}, {5}},
      {"input GrX + 0 holds", 1, {}, {{1, 1}}, 0.0f, {}, 0, 0, {5, 5}, {0, 0}},
      {"a negative input GrX + holds", 1, {}, {{1, 1}}, -3.0f, {}, 0, 0, {5}, {0}},
      {"input GrX + 20", 1, {}, {{1, 1}}, 20.0f, {}, 0, 0, {5, 5, 5}, {2, 4, 5}},
      {"input GrX + above 999999 passes", 1, {}, {{1, 1}}, 1e6f, {}, 0, 0, {5}, {5}},
      {"an unconnected input GrX + passes", 1, {}, {{1, 1}}, {}, {}, 0, 0, {5}, {5}},
      {"GrX - -10 falls by 1 per cycle", 1, {{2, -10}}, {}, {}, {}, 0, 0,
       {5, 0, 0, 0}, {5, 4, 3, 2}},
      {"GrX - 0 passes falling inputs", 1, {}, {}, {}, {}, 0, 0, {5, -5}, {5, -5}},
      {"off - passes", 1, {{2, -10}}, {}, {}, {}, 0, 1, {5, 0}, {5, 0}},
      {"input GrX - 0 holds", 1, {}, {{2, 1}}, {}, 0.0f, 0, 0, {5, 0}, {5, 5}},
      {"a positive input GrX - holds", 1, {}, {{2, 1}}, {}, 3.0f, 0, 0, {5, 0}, {5, 5}},
      {"input GrX - below -29999 passes", 1, {}, {{2, 1}}, {}, -30000.0f, 0, 0, {5, 0}, {5, 0}},
      {"an unconnected input GrX - passes", 1, {}, {{2, 1}}, {}, {}, 0, 0, {5, 0}, {5, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_VELO, kBlock, c.group);
    setFloatParams(fx, kBlock, c.params);
    setWordParams(fx, kBlock, c.modes);
    if (c.riseIn) fx.setAnalogInput(kBlock, 2, *c.riseIn);
    if (c.fallIn) fx.setAnalogInput(kBlock, 3, *c.fallIn);
    fx.setDigitalInput(kBlock, 1, c.offRise);
    fx.setDigitalInput(kBlock, 2, c.offFall);
    fx.init(kBlock);
    for (size_t i = 0; i < c.x.size(); ++i) {
      fx.setAnalogInput(kBlock, 1, c.x[i]);
      fx.run(kBlock);
      EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 1), c.y[i]) << "cycle " << i + 1;
    }
  }
}

// ---------------------------------------------------------------------------------------
// LIMIT

TEST(Limit, EightComparators) {
  const struct {
    const char* what;
    std::array<uint16_t, 8> modes;
    float xsd;
    std::vector<std::pair<float, Outputs>> steps;
  } cases[] = {
      {"alternating kinds, L i = i",
       {0, 1, 0, 1, 0, 1, 0, 1},
       0,
       {{4.5f, {1, 0, 1, 0, 0, 1, 0, 1}}, {0, {0, 1, 0, 1, 0, 1, 0, 1}}}},
      {"Xsd 0: a maximum comparator follows x > limit exactly",
       {},
       0,
       {{1, {0, 0, 0, 0, 0, 0, 0, 0}},
        {1.0001f, {1, 0, 0, 0, 0, 0, 0, 0}},
        {1, {0, 0, 0, 0, 0, 0, 0, 0}}}},
      {"one hysteresis for all eight",
       {0, 1, 0, 0, 0, 0, 0, 0},
       1,
       {{3.5f, {1, 0, 1, 0, 0, 0, 0, 0}},
        {2.5f, {1, 0, 1, 0, 0, 0, 0, 0}},
        {1.5f, {1, 1, 0, 0, 0, 0, 0, 0}},
        {0, {0, 1, 0, 0, 0, 0, 0, 0}},
        {2.5f, {1, 1, 0, 0, 0, 0, 0, 0}},
        {3, {1, 0, 0, 0, 0, 0, 0, 0}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_LIMIT, kBlock);
    Params limits{{9, c.xsd}};
    for (uint16_t i = 1; i <= 8; ++i) {
      limits.push_back({i, static_cast<float>(i)});
      fx.wordValue(kBlock, i, true) = c.modes[i - 1];
    }
    setFloatParams(fx, kBlock, limits);
    fx.init(kBlock);
    int cycle = 0;
    for (const auto& [x, out] : c.steps) {
      ++cycle;
      fx.setAnalogInput(kBlock, 1, x);
      fx.run(kBlock);
      EXPECT_EQ(digitalOutputs(fx), out) << "cycle " << cycle;
    }
  }
}

// ---------------------------------------------------------------------------------------
// ALARM

TEST(Alarm, FunctionsAndSuppression) {
  struct Step {
    float x;
    uint16_t fail, stop, alarm;
  };
  const struct {
    const char* what;
    uint16_t fnc;
    float hysteresis;
    std::vector<Step> steps;
  } cases[] = {
      {"above and below the limits", ALARM_FNC_VALUE, 0,
       {{0, 0, 0, 0}, {11, 0, 0, 1}, {0, 0, 0, 0}, {-11, 0, 0, 1}, {0, 0, 0, 0}}},
      {"back inside only past the hysteresis", ALARM_FNC_VALUE, 1,
       {{11, 0, 0, 1}, {9.5f, 0, 0, 1}, {8.9f, 0, 0, 0}, {9.5f, 0, 0, 0}}},
      {"stop suppresses until x is back inside", ALARM_FNC_VALUE, 0,
       {{11, 0, 0, 1}, {11, 0, 1, 0}, {11, 0, 0, 0}, {12, 0, 0, 0}, {5, 0, 0, 0},
        {11, 0, 0, 1}}},
      {"after stop a jump to the other side alarms at once", ALARM_FNC_VALUE, 0,
       {{11, 0, 0, 1}, {11, 0, 1, 0}, {11, 0, 0, 0}, {-11, 0, 0, 1}}},
      {"Fnc 0 ignores fail", ALARM_FNC_VALUE, 0, {{0, 1, 0, 0}, {11, 1, 0, 1}}},
      {"Fnc 1: value or fail", ALARM_FNC_VALUE_FAIL, 0,
       {{0, 1, 0, 1}, {11, 0, 0, 1}, {0, 0, 0, 0}}},
      {"Fnc 2 ignores x", ALARM_FNC_FAIL, 0,
       {{11, 0, 0, 0}, {11, 1, 0, 1}, {-11, 0, 0, 0}}},
      {"the fail alarm stays suppressed until fail drops", ALARM_FNC_FAIL, 0,
       {{0, 1, 0, 1}, {0, 1, 1, 0}, {0, 1, 0, 0}, {0, 0, 0, 0}, {0, 1, 0, 1}}},
      {"a value alarm ends the fail suppression", ALARM_FNC_VALUE_FAIL, 0,
       {{0, 1, 0, 1}, {0, 1, 1, 0}, {0, 1, 0, 0}, {11, 1, 0, 1}, {0, 1, 0, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_ALARM, kBlock);
    setFloatParams(fx, kBlock, {{3, c.hysteresis}});  // LimL -10, LimH 10
    fx.wordValue(kBlock, 1, true) = c.fnc;
    fx.init(kBlock);
    int cycle = 0;
    for (const Step& s : c.steps) {
      ++cycle;
      fx.setAnalogInput(kBlock, 1, s.x);
      fx.setDigitalInput(kBlock, 1, s.fail);
      fx.setDigitalInput(kBlock, 2, s.stop);
      fx.run(kBlock);
      EXPECT_EQ(fx.digitalOut(kBlock, 1), s.alarm) << "cycle " << cycle;
    }
  }
}

// ---------------------------------------------------------------------------------------
// Parameters

TEST(LimitParams, RunModeChangeIsSavedOnceAndRetried) {
  expectRunModeSave(BLK_TYPE_ALLP, 1000, 50.0f, 60.0f);
  expectRunModeSave(BLK_TYPE_ALLV, 1003, 2.0f, 3.0f);
  expectRunModeSave(BLK_TYPE_EQUAL, 1000, 2.0f, 3.0f);
  expectRunModeSave(BLK_TYPE_VELO, 1001, -2.0f, -3.0f);
  expectRunModeSave(BLK_TYPE_LIMIT, 1008, 2.0f, 3.0f);
  expectRunModeSave(BLK_TYPE_ALARM, 1001, 20.0f, 30.0f);
}

// While running, word parameters are taken over by the next run and saved; word values
// wait for the next start-up pass.
TEST(LimitParams, WordParametersAtTheNextRunWordValuesAtInit) {
  const struct {
    uint16_t type;
    int16_t id;
    uint16_t value;
    bool wordValue;
    uint16_t words;  // the word group saved
  } cases[] = {
      {BLK_TYPE_EQUAL, 1250, 1, false, 1}, {BLK_TYPE_VELO, 1251, 1, false, 2},
      {BLK_TYPE_ALLP, 3000, 2, true, 0},   {BLK_TYPE_ALLV, 3000, 1, true, 0},
      {BLK_TYPE_LIMIT, 3007, 1, true, 0},  {BLK_TYPE_ALARM, 3000, 2, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " id " << c.id);
    BlockFixture fx(BLK_RegisterAllTypes);
    SaveRecorder rec;
    fx.create(c.type, kBlock);
    fx.init(kBlock);
    g_fwRunMode = FW_RUN_MODE_RUN;
    uint16_t bad = 99;
    ASSERT_EQ(sendParam(FB_WordRequest(kBlock, c.id, c.value), &bad), FB_OK);
    const uint16_t k = static_cast<uint16_t>(c.id - (c.wordValue ? 3000 : 1250) + 1);
    auto current = [&] { return c.wordValue ? fx.wordValue(kBlock, k) : fx.wordParam(kBlock, k); };
    EXPECT_EQ(current(), 0);
    fx.run(kBlock);
    if (c.wordValue) {
      EXPECT_EQ(current(), 0);
      EXPECT_TRUE(rec.saves.empty());
      fx.init(kBlock);
    } else {
      EXPECT_EQ(rec.saves, (std::vector<std::array<int, 4>>{
                               {static_cast<int>(FbSaveGroup::WordParams), kBlock, 1, c.words}}));
    }
    EXPECT_EQ(current(), c.value);
  }
}

TEST(LimitParams, RefusedRequestsChangeNothing) {
  const RefusedRequest cases[] = {
      {"ALLP Xsd below 0", BLK_TYPE_ALLP, FB_FloatRequest(kBlock, 1005, -1), 'l', 0},
      {"ALLP H 1 above 999999", BLK_TYPE_ALLP, FB_FloatRequest(kBlock, 1000, 1e6f), 'l', 0},
      {"ALLP beyond its floats", BLK_TYPE_ALLP, FB_FloatRequest(kBlock, 1006, 1), 'i', 0},
      {"ALLP Select 3", BLK_TYPE_ALLP, FB_WordRequest(kBlock, 3000, 3), 'l', 0},
      {"ALLP has no word parameter", BLK_TYPE_ALLP, FB_WordRequest(kBlock, 1250, 0), 'i', 0},
      {"ALLP set, L 2 bad", BLK_TYPE_ALLP, setRequest(4000, {}, {1, 2, 3, -3e4f, 5, 6}), 'l',
       4},
      {"ALLP set with 5 floats", BLK_TYPE_ALLP, setRequest(4000, {}, {1, 2, 3, 4, 5}), 'z', 0},
      {"ALLP values, Select 5", BLK_TYPE_ALLP, setRequest(4010, {5}, {}), 'l', 1},
      {"ALLP values with two", BLK_TYPE_ALLP, setRequest(4010, {0, 0}, {}), 'y', 0},
      {"ALLV beyond its floats", BLK_TYPE_ALLV, FB_FloatRequest(kBlock, 1004, 1), 'i', 0},
      {"ALLV set, Xsd bad", BLK_TYPE_ALLV, setRequest(4000, {}, {1, 2, 3, -1}), 'l', 4},
      {"EQUAL Diff below 0", BLK_TYPE_EQUAL, FB_FloatRequest(kBlock, 1000, -0.1f), 'l', 0},
      {"EQUAL Mode 2", BLK_TYPE_EQUAL, FB_WordRequest(kBlock, 1250, 2), 'l', 0},
      {"EQUAL set, Mode 2", BLK_TYPE_EQUAL, setRequest(4000, {2}, {0}), 'l', 1},
      {"EQUAL set without the word", BLK_TYPE_EQUAL, setRequest(4000, {}, {0}), 'y', 0},
      {"EQUAL has no values", BLK_TYPE_EQUAL, setRequest(4010, {}, {}), 'i', 0},
      {"VELO GrX + below 0", BLK_TYPE_VELO, FB_FloatRequest(kBlock, 1000, -1), 'l', 0},
      {"VELO GrX - above 0", BLK_TYPE_VELO, FB_FloatRequest(kBlock, 1001, 1), 'l', 0},
      {"VELO Mode - 2", BLK_TYPE_VELO, FB_WordRequest(kBlock, 1251, 2), 'l', 0},
      {"VELO beyond its words", BLK_TYPE_VELO, FB_WordRequest(kBlock, 1252, 0), 'i', 0},
      {"VELO set, GrX - bad", BLK_TYPE_VELO, setRequest(4000, {0, 1}, {1, 1}), 'l', 4},
      {"VELO set, one word", BLK_TYPE_VELO, setRequest(4000, {0}, {1, -1}), 'y', 0},
      {"LIMIT Xsd below 0", BLK_TYPE_LIMIT, FB_FloatRequest(kBlock, 1008, -1), 'l', 0},
      {"LIMIT beyond its floats", BLK_TYPE_LIMIT, FB_FloatRequest(kBlock, 1009, 1), 'i', 0},
      {"LIMIT Mode 8 = 2", BLK_TYPE_LIMIT, FB_WordRequest(kBlock, 3007, 2), 'l', 0},
      {"LIMIT beyond its values", BLK_TYPE_LIMIT, FB_WordRequest(kBlock, 3008, 0), 'i', 0},
      {"LIMIT values, the seventh bad", BLK_TYPE_LIMIT,
       setRequest(4010, {0, 1, 0, 1, 0, 1, 2, 0}, {}), 'l', 7},
      {"LIMIT values, seven only", BLK_TYPE_LIMIT, setRequest(4010, {0, 0, 0, 0, 0, 0, 0}, {}),
       'y', 0},
      {"ALARM Lxsd below 0", BLK_TYPE_ALARM, FB_FloatRequest(kBlock, 1002, -1), 'l', 0},
      {"ALARM Fnc 3", BLK_TYPE_ALARM, FB_WordRequest(kBlock, 3000, 3), 'l', 0},
      {"ALARM set, LimL bad", BLK_TYPE_ALARM, setRequest(4000, {}, {-3e4f, 10, 0}), 'l', 1},
      {"ALARM text", BLK_TYPE_ALARM, FB_WordRequest(kBlock, 2000, 0), 'i', 0},
      {"no such block", BLK_TYPE_ALARM, FB_FloatRequest(kBlock + 1, 1000, 0), 'j', 0},
  };
  for (const RefusedRequest& c : cases) expectRefusedChangesNothing(c);
}

}  // namespace
