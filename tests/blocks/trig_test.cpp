// Trigonometric blocks (results, domains, the unit word "Select" and its take-over) and the
// text block (its index output and the flags of its chain inputs).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "block_cases.h"
#include "blocks/block_family.h"
#include "blocks/trig/trig.h"

namespace {

constexpr float kMax = 1.5e37f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr uint16_t kDeg = TRIG_DEGREES, kRad = TRIG_RADIANS;

TEST(Trig, ResultsDomainsAndUnits) {
  const struct {
    uint16_t type, select;
    float x, y;
  } cases[] = {
      {BLK_TYPE_SIN, kDeg, 30, 0.5f},
      {BLK_TYPE_SIN, kDeg, 180, 0},  // |sin| below 1e-6 after the conversion
      {BLK_TYPE_SIN, kDeg, 90, 1},
      {BLK_TYPE_SIN, kDeg, -90, -1},
      {BLK_TYPE_SIN, kRad, 0.5f, std::sin(0.5f)},
      {BLK_TYPE_SIN, kRad, -1e10f, -kMax},
      {BLK_TYPE_SIN, kRad, 1e10f, kMax},
      {BLK_TYPE_SIN, kDeg, kInf, kMax},
      {BLK_TYPE_SIN, kDeg, kNaN, 0},
      {BLK_TYPE_COS, kDeg, 60, 0.5f},
      {BLK_TYPE_COS, kDeg, 90, 0},
      {BLK_TYPE_COS, kDeg, 180, -1},
      {BLK_TYPE_COS, kRad, -2e8f, -kMax},
      {BLK_TYPE_TAN, kDeg, 45, 1},
      {BLK_TYPE_TAN, kDeg, -45, -1},
      {BLK_TYPE_TAN, kDeg, 90, kMax},
      {BLK_TYPE_TAN, kDeg, 180, kMax},  // outside the principal interval
      {BLK_TYPE_TAN, kDeg, -90, -kMax},
      {BLK_TYPE_TAN, kRad, 1.5707f, std::tan(1.5707f)},
      {BLK_TYPE_COT, kDeg, 45, 1},
      {BLK_TYPE_COT, kDeg, 135, -1},
      {BLK_TYPE_COT, kDeg, 90, 0},
      {BLK_TYPE_COT, kDeg, 0, kMax},
      {BLK_TYPE_COT, kDeg, -45, kMax},
      {BLK_TYPE_COT, kDeg, 180, -kMax},
      {BLK_TYPE_COT, kRad, 4, -kMax},
      {BLK_TYPE_ARCSIN, kDeg, 0.5f, 30},
      {BLK_TYPE_ARCSIN, kDeg, 1, 90},
      {BLK_TYPE_ARCSIN, kRad, -1, -1.5707964f},
      {BLK_TYPE_ARCSIN, kDeg, 1.5f, kMax},
      {BLK_TYPE_ARCSIN, kDeg, -1.5f, -kMax},
      {BLK_TYPE_ARCSIN, kDeg, kNaN, 0},
      {BLK_TYPE_ARCCOS, kDeg, 0.5f, 60},
      {BLK_TYPE_ARCCOS, kDeg, 1, 0},
      {BLK_TYPE_ARCCOS, kRad, -1, 3.1415927f},
      {BLK_TYPE_ARCCOS, kDeg, 1.5f, -kMax},
      {BLK_TYPE_ARCCOS, kDeg, -1.5f, kMax},
      {BLK_TYPE_ARCTAN, kDeg, 1, 45},
      {BLK_TYPE_ARCTAN, kDeg, kInf, 90},
      {BLK_TYPE_ARCTAN, kRad, 1, 0.7853982f},
      {BLK_TYPE_ARCTAN, kDeg, 1e-9f, 0},
      {BLK_TYPE_ARCCOT, kDeg, 0, 90},
      {BLK_TYPE_ARCCOT, kDeg, 1, 45},
      {BLK_TYPE_ARCCOT, kDeg, -1, 135},
      {BLK_TYPE_ARCCOT, kRad, 0, 1.5707964f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " select " << c.select << " x "
                                    << c.x);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(c.type, kBlock);
    setWordParams(fx, kBlock, {{1, c.select}});
    fx.setAnalogInput(kBlock, 1, c.x);
    fx.init(kBlock);
    fx.run(kBlock);
    EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 1), c.y);
  }
}

// "Select" changed while running is taken over by the next run and saved as the block's
// one word parameter; a save that was not queued is tried again.
TEST(Trig, SelectTakeOverWhileRunning) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(BLK_TYPE_SIN, kBlock);
  fx.setAnalogInput(kBlock, 1, 90.0f);
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 1.0f);
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 99;
  ASSERT_EQ(sendParam(FB_WordRequest(kBlock, 1250, kRad), &bad), FB_OK);
  EXPECT_EQ(fx.wordParam(kBlock, 1), kDeg) << "waits for the next run";
  EXPECT_EQ(g_fbPending.words[kBlock], 1);
  fx.run(kBlock);
  EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 1), std::sin(90.0f));
  const std::array<int, 4> save{static_cast<int>(FbSaveGroup::WordParams), kBlock, 1, 1};
  EXPECT_EQ(rec.saves, (std::vector<std::array<int, 4>>{save}));
  EXPECT_EQ(g_fbPending.words[kBlock], 0);

  const uint16_t degrees[] = {kDeg};
  ASSERT_EQ(sendParam(FB_SetRequest(kBlock, 4000, degrees, {}), &bad), FB_OK);
  SaveRecorder::answer = 1;
  fx.run(kBlock);
  EXPECT_EQ(g_fbPending.words[kBlock], 1) << "nothing queued: the flag stays";
  SaveRecorder::answer = 0;
  fx.run(kBlock);
  EXPECT_EQ(g_fbPending.words[kBlock], 0);
  EXPECT_EQ(rec.saves.size(), 3u);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 1.0f);
}

TEST(Trig, RefusedRequestsChangeNothing) {
  auto words = [](std::vector<uint16_t> w, std::vector<float> f = {}) {
    return FB_SetRequest(kBlock, 4000, w, f);
  };
  const RefusedRequest cases[] = {
      {"Select 2", BLK_TYPE_SIN, FB_WordRequest(kBlock, 1250, 2), 'l', 0},
      {"Select 0xFFFF", BLK_TYPE_COT, FB_WordRequest(kBlock, 1250, 0xFFFF), 'l', 0},
      {"whole set, Select 2", BLK_TYPE_ARCCOT, words({2}), 'l', 1},
      {"whole set without the word", BLK_TYPE_TAN, words({}), 'y', 0},
      {"whole set with a float", BLK_TYPE_ARCSIN, words({0}, {1.0f}), 'z', 0},
      {"beyond the word parameters", BLK_TYPE_COS, FB_WordRequest(kBlock, 1251, 0), 'i', 0},
      {"no float parameter", BLK_TYPE_ARCCOS, FB_FloatRequest(kBlock, 1000, 0), 'i', 0},
      {"no word value", BLK_TYPE_ARCTAN, FB_WordRequest(kBlock, 3000, 0), 'i', 0},
      {"no values", BLK_TYPE_SIN, FB_SetRequest(kBlock, 4010, {}, {}), 'i', 0},
      {"TEXT has no parameters", BLK_TYPE_TEXT, FB_FloatRequest(kBlock, 1000, 0), 'i', 0},
      {"TEXT whole set", BLK_TYPE_TEXT, words({}), 'i', 0},
  };
  for (const RefusedRequest& c : cases) expectRefusedChangesNothing(c);
}

TEST(Trig, ColdStartClearsWarmStartKeeps) {
  for (uint16_t type = BLK_TYPE_SIN; type <= BLK_TYPE_ARCCOT; ++type) {
    SCOPED_TRACE(type);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(type, kBlock);
    fx.layout(kBlock).ao[0] = 7.0f;
    {
      WarmStart warm;
      fx.init(kBlock);
    }
    EXPECT_EQ(fx.analogOut(kBlock, 1), 7.0f);
    fx.init(kBlock);
    EXPECT_EQ(fx.analogOut(kBlock, 1), 0.0f);
  }
}

// ---------------------------------------------------------------------------------------
// TEXT

TEST(Text, IndexIsTruncatedToAWholeNumber) {
  const struct {
    std::optional<float> index;
    float usrTxt;
  } cases[] = {
      {2.9f, 2}, {-2.9f, -2}, {40000.0f, 32767}, {-1e10f, -32768}, {kNaN, 0}, {{}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index ? *c.index : -1.0f);
    EXPECT_EQ(firstOutputAfterOneRun(BLK_TYPE_TEXT, {}, {c.index}), c.usrTxt);
  }
}

TEST(Text, ChainInputFlags) {
  constexpr uint16_t kCasc = kBlock + 1, kAltLan = kBlock + 2;
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_TEXT, kBlock);
  fx.create(BLK_TYPE_TEXT, kCasc);
  fx.create(BLK_TYPE_TEXT, kAltLan);
  const TextBlockState& s = BLK_WorkState<TextBlockState>(fx.layout(kBlock));
  auto state = [&] {
    return std::array<uint16_t, 3>{s.altLanBlock, s.cascNotText, s.altLanNotText};
  };

  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(state(), (std::array<uint16_t, 3>{0, 1, 1})) << "nothing wired";

  fx.init(kBlock);
  EXPECT_EQ(state(), (std::array<uint16_t, 3>{0, 0, 0})) << "Init clears both flags";
  fx.connectAnalog(kBlock, TEXT_IN_CASC, kCasc, TEXT_OUT_USRTXT);
  fx.connectAnalog(kBlock, TEXT_IN_ALTLAN, kAltLan, TEXT_OUT_USRTXT);
  fx.run(kBlock);
  EXPECT_EQ(state(), (std::array<uint16_t, 3>{kAltLan, 0, 0})) << "both fed by TEXT blocks";

  fx.init(kBlock);
  EXPECT_EQ(s.altLanBlock, kAltLan) << "the number stays until the next run";
  fx.setAnalogInput(kBlock, TEXT_IN_CASC, 1.0f);    // fed by another type
  fx.setAnalogInput(kBlock, TEXT_IN_ALTLAN, 1.0f);
  fx.run(kBlock);
  EXPECT_EQ(state(), (std::array<uint16_t, 3>{0, 1, 1}));
  fx.connectAnalog(kBlock, TEXT_IN_CASC, kCasc, TEXT_OUT_USRTXT);
  fx.connectAnalog(kBlock, TEXT_IN_ALTLAN, kAltLan, TEXT_OUT_USRTXT);
  fx.run(kBlock);
  EXPECT_EQ(state(), (std::array<uint16_t, 3>{kAltLan, 1, 1})) << "the flags stay until Init";
}

}  // namespace
