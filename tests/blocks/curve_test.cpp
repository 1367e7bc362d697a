// Characteristic-curve blocks: the interpolation of LINEAR and CHAR, the dead band of GAP,
// the neighbour-dependent limits of the curve points, LINEAR's take-over while running and
// CHAR's points acting at the next start-up pass.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "block_cases.h"
#include "blocks/curve/curve.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

using Floats = std::vector<float>;
using Words = std::vector<uint16_t>;

// LINEAR's float index and request id of x(k) and y(k).
constexpr uint16_t xIndex(uint16_t k) { return static_cast<uint16_t>(2 * k - 1); }
constexpr uint16_t yIndex(uint16_t k) { return static_cast<uint16_t>(2 * k); }
constexpr int16_t linearX(uint16_t k) { return static_cast<int16_t>(1000 + 2 * (k - 1)); }
constexpr int16_t linearY(uint16_t k) { return static_cast<int16_t>(1001 + 2 * (k - 1)); }
// CHAR's ids of x(k) and y(k).
constexpr int16_t charX(uint16_t k) { return static_cast<int16_t>(3050 + 2 * (k - 1)); }
constexpr int16_t charY(uint16_t k) { return static_cast<int16_t>(3051 + 2 * (k - 1)); }

// The default points x(k) = y(k) = k - 1, with some changed: {1-based value index, value}.
Floats linePoints(const Params& changes = {}) {
  Floats p;
  for (int k = 0; k < CURVE_POINTS; ++k) p.push_back(static_cast<float>(k)), p.push_back(k);
  for (const auto& [index, value] : changes) p[index - 1] = value;
  return p;
}

// ---------------------------------------------------------------------------------------
// LINEAR

TEST(Linear, InterpolatesBetweenItsPoints) {
  const struct {
    const char* what;
    Params points;
    std::optional<float> casc;
    float x, y;
  } cases[] = {
      {"defaults, between points", {}, {}, 3.5f, 3.5f},
      {"defaults, on a point", {}, {}, 4.0f, 4.0f},
      {"above the last point", {}, {}, 12.0f, 10.0f},
      {"below the first point", {}, {}, -1.0f, 0.0f},
      {"below the first point with Casc", {}, 7.0f, -1.0f, 7.0f},
      {"Casc does not count inside", {}, 7.0f, 2.5f, 2.5f},
      {"x(4) = -32000: points 1..3", {{xIndex(4), -32000}}, {}, 5.0f, 2.0f},
      {"x(4) = -32000, what follows does not count", {{xIndex(4), -32000}, {xIndex(5), -5}},
       {}, 1.5f, 1.5f},
      {"one point: x passes", {{xIndex(2), -32000}}, {}, 5.0f, 5.0f},
      {"one point: Casc", {{xIndex(2), -32000}}, 7.0f, 5.0f, 7.0f},
      {"no point: x passes", {{xIndex(1), -32000}}, {}, -5.0f, -5.0f},
      {"uneven points", {{yIndex(2), 10}}, {}, 1.5f, 6.0f},
      {"a last segment of zero width", {{xIndex(11), 9}}, {}, 9.0f, 9.0f},
      {"NaN gives 0", {}, {}, kNaN, 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FLOAT_EQ(firstOutputAfterOneRun(BLK_TYPE_LINEAR, c.points, Inputs{c.x, c.casc}), c.y);
  }
}

// A point's x must lie between its neighbours' pending x, by the minimum step from each.
TEST(Linear, PointsRiseByTheMinimumStep) {
  const struct {
    const char* what;
    Params points;
    int16_t id;
    float value;
    uint8_t result;
  } cases[] = {
      {"x(3) below x(2) + 0.0009", {}, linearX(3), 1.0005f, 'l'},
      {"x(3) = x(2) + 0.0009", {}, linearX(3), 1.0009f, FB_OK},
      {"x(1) above x(2) - 0.0009", {}, linearX(1), 0.9995f, 'l'},
      {"x(1) = x(2) - 0.0009", {}, linearX(1), 0.9991f, FB_OK},
      {"x(1) has no marker", {}, linearX(1), -32000.0f, 'l'},
      {"x(2) = -32000: not used", {}, linearX(2), -32000.0f, FB_OK},
      {"x(11) up to 999999", {}, linearX(11), 999999.0f, FB_OK},
      {"x(11) above 999999", {}, linearX(11), 1e6f, 'l'},
      {"y above 999999", {}, linearY(4), 1e6f, 'l'},
      {"a NaN point", {}, linearX(3), kNaN, 'l'},
      {"the step grows with the value: 5000.004", {{xIndex(2), 5000}, {xIndex(4), 7000}},
       linearX(3), 5000.004f, 'l'},
      {"the step grows with the value: 5000.005", {{xIndex(2), 5000}, {xIndex(4), 7000}},
       linearX(3), 5000.005f, FB_OK},
      {"after an unused point from -29999", {{xIndex(4), -32000}}, linearX(5), -29999.0f, FB_OK},
      {"before an unused point up to 999999", {{xIndex(4), -32000}}, linearX(3), 999999.0f,
       FB_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_LINEAR, kBlock);
    setFloatParams(fx, kBlock, c.points);
    uint16_t bad = 99;
    EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, c.id, c.value), &bad), c.result);
    EXPECT_EQ(bad, 0);
    const uint16_t k = static_cast<uint16_t>(c.id - 1000 + 1);
    if (c.result == FB_OK) {
      EXPECT_EQ(fx.floatParam(kBlock, k).get(), c.value);
    }
  }
}

// A whole set is checked against the points it brings; a refused one leaves the pending
// copies as they were, changes still waiting in them included.
TEST(Linear, WholeSetsAreCheckedAgainstTheirOwnPoints) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(BLK_TYPE_LINEAR, kBlock);
  fx.init(kBlock);
  uint16_t bad = 99;
  Floats shifted;
  for (int k = 0; k < CURVE_POINTS; ++k) shifted.push_back(100.0f + k), shifted.push_back(k);
  EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, linearX(1), 100.0f), &bad), 'l');
  EXPECT_EQ(sendParam(FB_SetRequest(kBlock, 4000, {}, shifted), &bad), FB_OK);
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(fx.floatParam(kBlock, xIndex(1)).get(), 100.0f);

  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_EQ(sendParam(FB_FloatRequest(kBlock, linearY(1), 5.0f), &bad), FB_OK);
  const FbLayout L = fx.layout(kBlock);
  const std::vector<uint16_t> before(L.base, L.base + L.size);
  const struct {
    const char* what;
    Params changes;
    uint16_t bad;
  } refused[] = {
      {"x(3) below x(2)", {{xIndex(3), 0.5f}}, xIndex(2)},
      {"y(4) above 999999", {{yIndex(4), 1e6f}}, yIndex(4)},
      {"x(2) NaN", {{xIndex(2), kNaN}}, xIndex(1)},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(sendParam(FB_SetRequest(kBlock, 4000, {}, linePoints(c.changes)), &bad), 'l');
    EXPECT_EQ(bad, c.bad);
    EXPECT_EQ(std::vector<uint16_t>(L.base, L.base + L.size), before);
    EXPECT_EQ(g_fbPending.floats[kBlock], 1) << "the waiting change stays";
  }
}

// While running, the cycle that takes changed points over recounts them and leaves "Y 1";
// the next cycle computes with the new points.
TEST(Linear, TakeOverRecountsThePoints) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(BLK_TYPE_LINEAR, kBlock);
  fx.setAnalogInput(kBlock, 1, 5.0f);
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 5.0f);
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 99;
  ASSERT_EQ(sendParam(FB_FloatRequest(kBlock, linearX(4), -32000.0f), &bad), FB_OK);
  fx.setAnalogInput(kBlock, 1, 6.0f);
  SaveRecorder::answer = 1;
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 5.0f) << "not recomputed";
  SaveRecorder::answer = 0;
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 5.0f) << "not recomputed while the save was retried";
  const std::array<int, 4> save{static_cast<int>(FbSaveGroup::FloatParams), kBlock, 1, 22};
  EXPECT_EQ(rec.saves, (std::vector<std::array<int, 4>>{save, save}));
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 2.0f) << "three points";
}

// ---------------------------------------------------------------------------------------
// GAP

TEST(Gap, DeadBand) {
  const struct {
    float low, high, x, y;
  } cases[] = {
      {2, 4, 3, 0},    {2, 4, 5, 1},    {2, 4, 0, -2},  {2, 4, 2, 0},    {2, 4, 4, 0},
      {-1, 1, 0.5f, 0}, {-1, 1, 3, 2},  {-1, 1, -4, -3}, {0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.low << ".." << c.high << " x " << c.x);
    EXPECT_EQ(firstOutputAfterOneRun(BLK_TYPE_GAP, {{1, c.low}, {2, c.high}}, {c.x}), c.y);
  }
}

TEST(Gap, LowAndHighBoundEachOther) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_GAP, kBlock);
  uint16_t bad = 99;
  EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, 1000, 5.0f), &bad), 'l') << "Low above High";
  EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, 1001, 4.0f), &bad), FB_OK);
  EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, 1000, 2.0f), &bad), FB_OK);
  EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, 1001, 1.0f), &bad), 'l') << "High below Low";
  const float up[] = {7, 8}, crossed[] = {3, 2};
  EXPECT_EQ(sendParam(FB_SetRequest(kBlock, 4000, {}, up), &bad), FB_OK) << "brings its High";
  EXPECT_EQ(fx.floatParam(kBlock, 1).get(), 7.0f);
  EXPECT_EQ(sendParam(FB_SetRequest(kBlock, 4000, {}, crossed), &bad), 'l');
  EXPECT_EQ(bad, 1);
  EXPECT_EQ(fx.floatParam(kBlock, 1, true).get(), 7.0f);
  EXPECT_EQ(fx.floatParam(kBlock, 2, true).get(), 8.0f);
}

TEST(CurveParams, RunModeChangeIsSavedOnceAndRetried) {
  expectRunModeSave(BLK_TYPE_LINEAR, linearY(3), 2.5f, 3.5f);
  expectRunModeSave(BLK_TYPE_GAP, 1001, 2.0f, 3.0f);
}

// ---------------------------------------------------------------------------------------
// CHAR

// Builds a CHAR block with pending points and "Seg" as given and runs its Init.
void buildChar(BlockFixture& fx, const Params& points, std::optional<uint16_t> seg) {
  fx.create(BLK_TYPE_CHAR, kBlock);
  for (const auto& [index, value] : points) fx.setLongValue(kBlock, index, value, true);
  if (seg) fx.wordValue(kBlock, 1, true) = *seg;
  fx.init(kBlock);
}

TEST(Char, SegmentsThroughThePointsInUse) {
  const struct {
    const char* what;
    Params points;
    std::optional<uint16_t> seg;
    float x, y;
  } cases[] = {
      {"defaults: the end of the third point", {}, {}, 5.0f, 2.0f},
      {"defaults, inside", {}, {}, 1.5f, 1.5f},
      {"defaults, on the first point", {}, {}, 0.0f, 0.0f},
      {"defaults, below the first point", {}, {}, -1.0f, 0.0f},
      {"Seg 10", {}, 10, 7.25f, 7.25f},
      {"Seg 10, above the last point", {}, 10, 12.0f, 10.0f},
      {"uneven points", {{4, 10}}, {}, 1.5f, 6.0f},
      {"a descending segment from a stored image stays finite", {{3, 5}, {5, 3}}, {}, 4.0f,
       0.8f},
      {"a descending segment, above", {{3, 5}, {5, 3}}, {}, 6.0f, 2.0f},
      {"a zero-width segment stays finite", {{3, 0}}, {}, 0.0f, 1.0f},
      {"a stored Seg 0 counts as 1", {}, 0, 5.0f, 1.0f},
      {"a stored Seg 40 counts as 10", {}, 40, 5.0f, 5.0f},
      {"NaN gives 0", {}, {}, kNaN, 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    buildChar(fx, c.points, c.seg);
    fx.setAnalogInput(kBlock, 1, c.x);
    fx.run(kBlock);
    EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 1), c.y);
  }
}

// Accepted values only reach the pending copies, stopped or running; Init takes them over.
TEST(Char, PointsActAtTheNextInit) {
  for (uint16_t mode : {FW_RUN_MODE_STOP, FW_RUN_MODE_RUN}) {
    SCOPED_TRACE(static_cast<int>(mode));
    BlockFixture fx(BLK_RegisterAllTypes);
    SaveRecorder rec;
    buildChar(fx, {}, {});
    fx.setAnalogInput(kBlock, 1, 1.5f);
    fx.run(kBlock);
    EXPECT_EQ(fx.analogOut(kBlock, 1), 1.5f);
    g_fwRunMode = mode;
    uint16_t bad = 99;
    ASSERT_EQ(sendParam(FB_FloatRequest(kBlock, charY(2), 5.0f), &bad), FB_OK);
    ASSERT_EQ(sendParam(FB_WordRequest(kBlock, 3000, 1), &bad), FB_OK);
    fx.run(kBlock, 3);
    EXPECT_EQ(fx.analogOut(kBlock, 1), 1.5f) << "not before the next start-up pass";
    EXPECT_EQ(fx.longValue(kBlock, 4), 1.0f);
    EXPECT_TRUE(rec.saves.empty());
    fx.init(kBlock);
    fx.run(kBlock);
    EXPECT_EQ(fx.analogOut(kBlock, 1), 5.0f) << "Seg 1: held at y(2)";
    EXPECT_EQ(fx.wordValue(kBlock, 1), 1);
  }
}

TEST(Char, RefusedRequestsChangeNothing) {
  auto values = [](uint16_t seg, const Params& changes, size_t items = CURVE_VALUES) {
    Floats p = linePoints(changes);
    p.resize(items);
    return FB_SetRequest(kBlock, 4010, std::vector<uint16_t>{seg}, p);
  };
  const RefusedRequest cases[] = {
      {"x(2) below x(1): x(1) is the first bad value", BLK_TYPE_CHAR,
       values(2, {{3, -1.0f}}), 'l', 2},
      {"x(3) below x(2): x(2) is the first bad value", BLK_TYPE_CHAR,
       values(2, {{5, 0.5f}}), 'l', 4},
      {"y(5) above 999999", BLK_TYPE_CHAR, values(2, {{10, 1e6f}}), 'l', 11},
      {"Seg 0", BLK_TYPE_CHAR, values(0, {}), 'l', 1},
      {"Seg 11", BLK_TYPE_CHAR, values(11, {}), 'l', 1},
      {"21 values", BLK_TYPE_CHAR, values(2, {}, 21), 'z', 0},
      {"no Seg", BLK_TYPE_CHAR, FB_SetRequest(kBlock, 4010, {}, linePoints()), 'y', 0},
      {"single Seg 0", BLK_TYPE_CHAR, FB_WordRequest(kBlock, 3000, 0), 'l', 0},
      {"single Seg 11", BLK_TYPE_CHAR, FB_WordRequest(kBlock, 3000, 11), 'l', 0},
      {"x(1) above x(2) - 0.0009", BLK_TYPE_CHAR, FB_FloatRequest(kBlock, charX(1), 0.9995f),
       'l', 0},
      {"x(2) below x(1) + 0.0009", BLK_TYPE_CHAR, FB_FloatRequest(kBlock, charX(2), 0.0005f),
       'l', 0},
      {"a NaN y", BLK_TYPE_CHAR, FB_FloatRequest(kBlock, charY(1), kNaN), 'l', 0},
      {"beyond the values", BLK_TYPE_CHAR, FB_FloatRequest(kBlock, 3072, 1), 'i', 0},
      {"beyond the word values", BLK_TYPE_CHAR, FB_WordRequest(kBlock, 3001, 1), 'i', 0},
      {"no parameter set", BLK_TYPE_CHAR, FB_SetRequest(kBlock, 4000, {}, {}), 'i', 0},
      {"no float parameter", BLK_TYPE_CHAR, FB_FloatRequest(kBlock, 1000, 1), 'i', 0},
      {"no text", BLK_TYPE_CHAR, FB_WordRequest(kBlock, 2000, 0), 'i', 0},
      {"LINEAR has no values", BLK_TYPE_LINEAR, values(2, {}), 'i', 0},
      {"LINEAR beyond its floats", BLK_TYPE_LINEAR, FB_FloatRequest(kBlock, 1022, 1), 'i', 0},
      {"LINEAR set with 21 floats", BLK_TYPE_LINEAR,
       FB_SetRequest(kBlock, 4000, {}, Floats(21, 0.0f)), 'z', 0},
      {"GAP beyond its floats", BLK_TYPE_GAP, FB_FloatRequest(kBlock, 1002, 1), 'i', 0},
      {"GAP Low below -29999", BLK_TYPE_GAP, FB_FloatRequest(kBlock, 1000, -3e4f), 'l', 0},
  };
  for (const RefusedRequest& c : cases) expectRefusedChangesNothing(c);
}

// Which neighbours bound a point depends on the pending "Seg"; a whole set is checked
// against the "Seg" and points it brings, and a refused one keeps what was waiting.
TEST(Char, OnlyPointsInUseBoundTheirNeighbours) {
  BlockFixture fx(BLK_RegisterAllTypes);
  buildChar(fx, {}, {});
  uint16_t bad = 99;
  EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, charX(4), -29999.0f), &bad), FB_OK)
      << "point 4 is not in use with Seg 2";
  EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, charX(3), 500.0f), &bad), FB_OK)
      << "nor does it bound point 3";
  EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, charX(2), 600.0f), &bad), 'l');
  Floats shifted;
  for (int k = 0; k < CURVE_POINTS; ++k) shifted.push_back(100.0f + k), shifted.push_back(k);
  const uint16_t seg3[] = {3};
  EXPECT_EQ(sendParam(FB_SetRequest(kBlock, 4010, seg3, shifted), &bad), FB_OK);
  EXPECT_EQ(fx.longValue(kBlock, 1, true), 100.0f);
  EXPECT_EQ(fx.longValue(kBlock, 1), 0.0f) << "in force only after the next Init";

  ASSERT_EQ(sendParam(FB_FloatRequest(kBlock, charY(2), 5.0f), &bad), FB_OK);
  const uint16_t seg10[] = {10};
  Floats descending = shifted;
  descending[2 * 9] = 50.0f;  // x(10)
  EXPECT_EQ(sendParam(FB_SetRequest(kBlock, 4010, seg10, descending), &bad), 'l');
  EXPECT_EQ(bad, 2 * 9 - 1 + 1) << "x(9), whose upper neighbour x(10) is now in use";
  EXPECT_EQ(fx.longValue(kBlock, 4, true), 5.0f) << "the waiting change stays";
  EXPECT_EQ(fx.wordValue(kBlock, 1, true), 3);
}

// Writing "Seg" moves the pending points of the new segment count so that they rise, each
// by the minimum step from the pending point below, and leave room under 999999.
TEST(Char, SegMovesThePendingPointsToRise) {
  auto step = [](float v) { return v + CURVE_MinStep(v); };
  const float big2 = step(20000.0f);
  const struct {
    const char* what;
    Params current, pending;  // x(k) by their value index 2k - 1
    uint16_t seg;
    Floats x;  // pending x(1) .. x(seg + 1) afterwards
  } cases[] = {
      {"rising points stay", {}, {}, 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
      {"flat points are spread", {}, {{3, 5}, {5, 5}, {7, 5}}, 3, {0, 5, step(5), step(step(5))}},
      {"compared with the pending point below, not the one in force",
       {{3, 5}, {5, 6}}, {{1, 1}, {3, 0.5f}}, 2, {1, step(1), 2}},
      {"large values keep a step that a float can hold",
       {}, {{1, 20000}, {3, 20000}, {5, 20000}}, 2, {20000, big2, step(big2)}},
      {"room is left under 999999",
       {}, {{1, 999999}, {3, 999999}, {5, 999999}, {7, 999999}}, 3,
       {999996, 999997, 999998, 999999}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_CHAR, kBlock);
    for (const auto& [index, value] : c.current) fx.setLongValue(kBlock, index, value);
    for (const auto& [index, value] : c.pending) fx.setLongValue(kBlock, index, value, true);
    uint16_t bad = 99;
    ASSERT_EQ(sendParam(FB_WordRequest(kBlock, 3000, c.seg), &bad), FB_OK);
    for (uint16_t k = 1; k <= c.seg + 1; ++k) {
      EXPECT_EQ(fx.longValue(kBlock, xIndex(k), true), c.x[k - 1]) << "x(" << k << ")";
      if (k > 1) {
        EXPECT_GT(fx.longValue(kBlock, xIndex(k), true), fx.longValue(kBlock, xIndex(k - 1), true))
            << "x(" << k << ")";
      }
    }
  }
}

}  // namespace
