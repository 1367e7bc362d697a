// Whole sets with cross limits: limit callbacks that read the block's pending values see the
// values a set brings, and a refused set leaves the pending copies as they were.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_mode.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A type with floats {lo, hi, gain}, words {a, b}, one word value and 4-byte values
// {p0, p1}. Cross limits: lo <= pending hi, hi >= pending lo, b >= pending a, p1 >= pending p0.
constexpr uint16_t kType = 211;
constexpr uint16_t kBlock = 301;
constexpr float kFloats[] = {0.0f, 10.0f, 5.0f};
constexpr uint16_t kWords[] = {1, 2};
constexpr uint32_t kLongs[] = {0x3F800000u, 0x40000000u};  // 1.0f, 2.0f
constexpr uint16_t kValues[] = {0};
constexpr const char* kTexts[] = {"CROSS"};
constexpr FbTemplate kTemplate{
    .size = 51,
    .type = kType,
    .floatParams = kFloats,
    .wordParams = kWords,
    .longValues = kLongs,
    .wordValues = kValues,
    .texts = kTexts,
};

FbLayout layout() {
  FbLayout L;
  EXPECT_TRUE(FB_GetLayout(kBlock, &L));
  return L;
}
// The pending copies, which the callbacks read.
float pendingHi(uint16_t block) {
  FbLayout L;
  return FB_GetLayout(block, &L) ? L.fp[L.floatParams + 1].get() : 0.0f;
}
float pendingLo(uint16_t block) {
  FbLayout L;
  return FB_GetLayout(block, &L) ? L.fp[L.floatParams + 0].get() : 0.0f;
}
int16_t pendingA(uint16_t block, int16_t) {
  FbLayout L;
  return FB_GetLayout(block, &L) ? static_cast<int16_t>(L.wp[L.wordParams + 0]) : 0;
}
float pendingP0(uint16_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L)) return 0.0f;
  const uint32_t bits = L.lv[L.longValues + 0];
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

constexpr FwFloatLimit kFloatLimits[] = {
    {.min = -100.0f, .max = 100.0f, .maxFn = pendingHi},
    {.min = -100.0f, .max = 100.0f, .minFn = pendingLo},
    {.min = 0.0f, .max = 100.0f}};
constexpr FwShortLimit kWordLimits[] = {{.min = 0, .max = 9}, {.min = 0, .max = 9, .minFn = pendingA}};
constexpr FwShortLimit kValueLimits[] = {{.min = 0, .max = 1}};
constexpr FwFloatLimit kLongLimits[] = {{.min = 0.0f, .max = 50.0f},
                                        {.min = 0.0f, .max = 50.0f, .minFn = pendingP0}};
constexpr FbLimitTable kLimits{.wordParams = kWordLimits,
                               .floatParams = kFloatLimits,
                               .wordValues = kValueLimits,
                               .longValues = kLongLimits};

void noop() {}

uint32_t bitsOf(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

class CrossSet : public testing::Test {
 protected:
  CrossSet() {
    FB_ClearTypeTable();
    FB_ClearStore();
    EXPECT_EQ(FB_RegisterType(kType, FB_TypeFromTemplate(&kTemplate, noop, noop,
                                                         FB_StandardParamCross, &kLimits,
                                                         FB_COMMON_BLOCK_RANGES, 0, 0, 0)),
              FB_OK);
    EXPECT_EQ(FB_CreateInstance(kType, kBlock), FB_OK);
    g_fwRunMode = FW_RUN_MODE_STOP;
  }
  ~CrossSet() override { g_fwRunMode = FW_RUN_MODE_STOP; }

  static std::vector<uint16_t> instanceWords() {
    const uint16_t* p = FB_GetInstance(kBlock);
    return {p, p + kTemplate.size};
  }
  static uint8_t send(FbParamRequest r, uint16_t* bad) { return FB_StandardParamCross(&r, bad); }
  static uint8_t set(FbParamRequest r, uint16_t* bad) { return FB_ParamCrossSet(&r, bad); }
  static uint8_t part(FbParamRequest r, const FbSetPart& p, uint16_t* bad) {
    return FB_ParamCrossSetPart(&r, p, bad);
  }
};

// A set that is valid only as a whole passes, where checking it against the values it
// replaces refuses it.
TEST_F(CrossSet, SetIsCheckedAgainstTheValuesItBrings) {
  const uint16_t words[] = {5, 6};
  const float floats[] = {20.0f, 30.0f, 1.0f};  // lo 20 lies above the old pending hi 10
  FbParamRequest r = FB_SetRequest(kBlock, 4000, words, floats);
  uint16_t bad = 99;
  EXPECT_EQ(FB_StandardParam(&r, &bad), FB_ERR_LIMITS);
  EXPECT_EQ(bad, 3);
  EXPECT_EQ(send(r, &bad), FB_OK);
  EXPECT_EQ(bad, 0);
  const FbLayout L = layout();
  EXPECT_EQ(L.fp[0].get(), 20.0f) << "stopped: applied at once";
  EXPECT_EQ(L.fp[1].get(), 30.0f);
  EXPECT_EQ(L.wp[0], 5);
  EXPECT_EQ(L.wp[1], 6);

  // A single value is checked against the pending values in force.
  EXPECT_EQ(send(FB_FloatRequest(kBlock, 1000, 31.0f), &bad), FB_ERR_LIMITS);
  EXPECT_EQ(send(FB_FloatRequest(kBlock, 1000, 30.0f), &bad), FB_OK);
}

TEST_F(CrossSet, RefusedSetRestoresThePendingCopies) {
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 0;
  ASSERT_EQ(send(FB_FloatRequest(kBlock, 1002, 7.0f), &bad), FB_OK);  // a change waiting
  ASSERT_EQ(g_fbPending.floats[kBlock], 1);
  g_fbPending.floats[kBlock] = 0;  // so that a refused set is seen to set no flag
  const std::vector<uint16_t> before = instanceWords();
  struct Case {
    const char* what;
    int16_t id;
    std::vector<uint16_t> words;
    std::vector<float> items;
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {"b below the new a", 4000, {5, 4}, {0, 10, 7}, FB_ERR_LIMITS, 2},
      {"a out of its limits", 4000, {10, 9}, {0, 10, 7}, FB_ERR_LIMITS, 1},
      {"lo above the new hi", 4000, {1, 2}, {20, 15, 7}, FB_ERR_LIMITS, 3},
      {"hi below the new lo, lo first", 4000, {1, 2}, {5, 4, 7}, FB_ERR_LIMITS, 3},
      {"lo NaN", 4000, {1, 2}, {kNaN, 10, 7}, FB_ERR_LIMITS, 3},
      {"last float out of limits", 4000, {3, 4}, {1, 2, 101}, FB_ERR_LIMITS, 5},
      {"too few words", 4000, {1}, {0, 10, 7}, FB_ERR_COUNT_Y, 0},
      {"too few floats", 4000, {1, 2}, {0, 10}, FB_ERR_COUNT_Z, 0},
      {"p1 below the new p0", 4010, {1}, {40, 30}, FB_ERR_LIMITS, 3},
      {"value out of limits", 4010, {2}, {1, 2}, FB_ERR_LIMITS, 1},
      {"values with too few items", 4010, {1}, {1}, FB_ERR_COUNT_Z, 0},
      {"another id", 4001, {1, 2}, {0, 10, 7}, FB_ERR_UNKNOWN_ID, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bad = 99;
    EXPECT_EQ(set(FB_SetRequest(kBlock, c.id, c.words, c.items), &bad), c.result);
    EXPECT_EQ(bad, c.bad);
    EXPECT_EQ(instanceWords(), before);
    EXPECT_EQ(g_fbPending.floats[kBlock] | g_fbPending.words[kBlock], 0);
  }
  EXPECT_EQ(layout().fp[3 + 2].get(), 7.0f) << "the waiting change survives";

  bad = 99;
  EXPECT_EQ(set(FB_SetRequest(kBlock + 1, 4000, {}, {}), &bad), FB_ERR_NO_BLOCK);
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(FB_ParamCrossSet(nullptr, &bad), FB_ERR_UNKNOWN_ID);
}

TEST_F(CrossSet, AcceptedSetFollowsTheRunModeRule) {
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 0;
  const uint16_t sameWords[] = {1, 2};
  const float sameFloats[] = {0.0f, 10.0f, 5.0f};
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4000, sameWords, sameFloats), &bad), FB_OK);
  EXPECT_EQ(g_fbPending.floats[kBlock] | g_fbPending.words[kBlock], 0) << "nothing differs";

  const float newFloats[] = {12.0f, 20.0f, 5.0f};
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4000, sameWords, newFloats), &bad), FB_OK);
  FbLayout L = layout();
  EXPECT_EQ(L.fp[3].get(), 12.0f);
  EXPECT_EQ(L.fp[0].get(), 0.0f) << "running: waits for the block's next run";
  EXPECT_EQ(g_fbPending.floats[kBlock], 1);
  EXPECT_EQ(g_fbPending.words[kBlock], 0) << "only the group that changed is flagged";

  // Word values and 4-byte values only reach their pending copies.
  const uint16_t value[] = {1};
  const float longs[] = {30.0f, 40.0f};
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4010, value, longs), &bad), FB_OK);
  L = layout();
  EXPECT_EQ(L.wv[1], 1);
  EXPECT_EQ(L.wv[0], 0);
  EXPECT_EQ(L.lv[2].get(), bitsOf(30.0f));
  EXPECT_EQ(L.lv[3].get(), bitsOf(40.0f));
  EXPECT_EQ(L.lv[0].get(), kLongs[0]);
  g_fwRunMode = FW_RUN_MODE_STOP;
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4010, value, longs), &bad), FB_OK);
  EXPECT_EQ(layout().lv[0].get(), kLongs[0]) << "also while stopped";
}

// A handler with several sets over one group sends each through its own part.
TEST_F(CrossSet, PartsOfAGroup) {
  uint16_t bad = 0;
  FbSetPart upper{.firstItem = 1, .items = 2};  // hi and gain
  const float hiAndGain[] = {-5.0f, 50.0f};
  EXPECT_EQ(part(FB_SetRequest(kBlock, 4001, {}, hiAndGain), upper, &bad),
            FB_ERR_LIMITS);
  EXPECT_EQ(bad, 1) << "hi below the pending lo; positions count within the part";
  const float ok[] = {60.0f, 50.0f};
  EXPECT_EQ(part(FB_SetRequest(kBlock, 4001, {}, ok), upper, &bad), FB_OK);
  FbLayout L = layout();
  EXPECT_EQ(L.fp[0].get(), 0.0f);
  EXPECT_EQ(L.fp[1].get(), 60.0f);
  EXPECT_EQ(L.fp[2].get(), 50.0f);
  const uint16_t oneWord[] = {0};
  EXPECT_EQ(part(FB_SetRequest(kBlock, 4001, oneWord, ok), upper, &bad),
            FB_ERR_COUNT_Y);

  const struct {
    const char* what;
    FbSetPart part;
  } outside[] = {
      {"past the floats", {.firstItem = 2, .items = 2}},
      {"past the words", {.firstWord = 1, .words = 2}},
      {"empty", {}},
      {"past the 4-byte values", {.groups = FbSetGroups::Values, .items = 3}},
  };
  for (const auto& c : outside) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(part(FB_SetRequest(kBlock, 4001, {}, ok), c.part, &bad),
              FB_ERR_UNKNOWN_ID);
  }

  // Records and the word check of the handler's own.
  static constexpr FwShortLimit kOwn[] = {{.min = -32000, .max = 3}};
  const FbSetPart own{.firstWord = 1,
                      .words = 1,
                      .wordLimits = kOwn,
                      .checkWord = [](int16_t x, const FwShortLimit* r, uint16_t) {
                        return x >= r->min && x <= r->max ? 1 : 0;
                      }};
  const uint16_t three[] = {3}, four[] = {4}, noValue[] = {static_cast<uint16_t>(-32000)};
  EXPECT_EQ(part(FB_SetRequest(kBlock, 4002, three, {}), own, &bad), FB_OK);
  EXPECT_EQ(part(FB_SetRequest(kBlock, 4002, four, {}), own, &bad),
            FB_ERR_LIMITS);
  EXPECT_EQ(part(FB_SetRequest(kBlock, 4002, noValue, {}), own, &bad), FB_OK);
  EXPECT_EQ(layout().wp[1], static_cast<uint16_t>(-32000));
  EXPECT_EQ(layout().wp[0], 1);
}

}  // namespace
