// Parameter protocol: limit checks, the standard handler, pending copies and their
// take-over, saving, input failure bits and the scaling helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_mode.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

float zero(uint16_t) { return 0.0f; }
float fifty(uint16_t) { return 50.0f; }
int16_t four(uint16_t, int16_t) { return 4; }
// Minimum callback of a two-value set: the partner of 4 is 2.
int16_t partnerOf(uint16_t, int16_t e) { return e == 4 ? 2 : 0; }
int16_t sixty(uint16_t, int16_t) { return 60; }
int16_t zeroS(uint16_t, int16_t) { return 0; }

TEST(FloatLimit, BoundsCallbacksAndNoValue) {
  const FwFloatLimit plain{.min = -10.0f, .max = 10.0f};
  const FwFloatLimit noValue{.min = -32000.0f, .max = 500.0f, .minFn = zero};
  const FwFloatLimit byCallback{.min = 0.0f, .max = -31001.0f, .maxFn = fifty};
  struct Case {
    const FwFloatLimit* record;
    float x;
    bool allowed;
  } cases[] = {
      {&plain, -10.0f, true},        {&plain, 10.0f, true},
      {&plain, 10.001f, false},      {&plain, -10.5f, false},
      {&plain, -32000.0f, false},    {&plain, kNaN, false},
      {&noValue, -32000.0f, true},   // the callback's higher minimum does not refuse it
      {&noValue, -1.0f, false},      {&noValue, 0.0f, true},
      {&noValue, 501.0f, false},     {&byCallback, 50.0f, true},
      {&byCallback, 50.5f, false},   {nullptr, 0.0f, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(FW_CheckFloatLimit(c.x, c.record, 100), c.allowed);
  }
}

TEST(ShortLimit, BoundsCallbacksNoValueAndDiscreteSets) {
  const FwShortLimit plain{.min = 0, .max = 10};
  const FwShortLimit noValue{.min = -32000, .max = 100};
  const FwShortLimit noValueCb{.min = -32000, .max = 100, .minFn = zeroS};
  const FwShortLimit byCallback{.min = 5, .max = 0, .maxFn = sixty};
  const FwShortLimit discrete{.min = FW_LIMIT_DISCRETE, .max = 0, .minFn = partnerOf, .maxFn = four};
  struct Case {
    const FwShortLimit* record;
    int16_t x;
    int allowed;
  } cases[] = {
      {&plain, 0, 1},           {&plain, 10, 1},         {&plain, 11, 0},
      {&plain, -1, 0},          {&plain, -32000, 0},     {&noValue, -32000, 1},
      {&noValue, -32001, 0},    {&noValue, 100, 1},      {&noValueCb, -32000, 1},
      {&noValueCb, -1, 0},      {&noValueCb, 0, 1},      {&byCallback, 60, 1},
      {&byCallback, 61, 0},     {&byCallback, 4, 0},     {&discrete, 4, 1},
      {&discrete, 5, 0},        {&discrete, 2, 1},       {&discrete, 3, 0},
      {&discrete, -32000, 0},   {nullptr, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(FW_CheckShortLimit(c.x, c.record, 100), c.allowed);
  }
}

TEST(RequestHeader, CountBytes) {
  struct Case {
    uint8_t first, second;
    uint8_t result;
  } cases[] = {
      {3, 2, FB_OK},
      {4, 2, FB_ERR_COUNT_Y},
      {4, 5, FB_ERR_COUNT_Y},  // 'y' even when the second is wrong too
      {3, 5, FB_ERR_COUNT_Z},
  };
  for (const Case& c : cases) {
    FbParamRequest r(100, 4000);
    r.setU8(FB_REQUEST_COUNT1, c.first);
    r.setU8(FB_REQUEST_COUNT2, c.second);
    EXPECT_EQ(FB_CheckRequestHeader(&r, 3, 2), c.result) << int(c.first) << "," << int(c.second);
  }
  EXPECT_EQ(FB_CheckRequestHeader(nullptr, 1, 0), FB_ERR_COUNT_Y);
}

// ---------------------------------------------------------------------------------------
// A type with two word parameters, three floats, two word values and one 4-byte value.
constexpr uint16_t kType = 210;
constexpr uint16_t kBlock = 300;
constexpr float kFloats[] = {1.0f, 2.0f, 3.0f};
constexpr uint16_t kWords[] = {4, 5};
constexpr uint32_t kLongs[] = {0x3F800000u};  // 1.0f
constexpr uint16_t kValues[] = {0, 1};
constexpr const char* kTexts[] = {"PTEST"};
constexpr uint16_t kState[] = {7, 8};
constexpr FbTemplate kTemplate{
    .size = 51,
    .type = kType,
    .floatParams = kFloats,
    .wordParams = kWords,
    .longValues = kLongs,
    .wordValues = kValues,
    .texts = kTexts,
    .stateWords = kState,
};
constexpr FwShortLimit kWordLimits[] = {{.min = 0, .max = 10}, {.min = -32000, .max = 100}};
constexpr FwFloatLimit kFloatLimits[] = {
    {.min = -10.0f, .max = 10.0f},
    {.min = -32000.0f, .max = 500.0f, .minFn = zero},
    {.min = 0.0f, .max = -31001.0f, .maxFn = fifty}};
constexpr FwShortLimit kValueLimits[] = {{.min = 0, .max = 6}, {.min = 0, .max = 1}};
constexpr FwFloatLimit kLongLimits[] = {{.min = 0.1f, .max = 999999.0f}};
constexpr FbLimitTable kLimits{.wordParams = kWordLimits,
                               .floatParams = kFloatLimits,
                               .wordValues = kValueLimits,
                               .longValues = kLongLimits};

void noop() {}

struct SaveCall {
  FbSaveGroup group;
  uint16_t block, first, count;
  bool operator==(const SaveCall&) const = default;
};
std::vector<SaveCall> g_saves;
uint8_t g_saveResult = 0;
uint8_t recordSave(FbSaveGroup group, uint16_t block, uint16_t first, uint16_t count) {
  g_saves.push_back({group, block, first, count});
  return g_saveResult;
}

class ParamTest : public ::testing::Test {
 protected:
  ParamTest() {
    FB_ClearTypeTable();
    FB_ClearStore();
    EXPECT_EQ(FB_RegisterType(kType, FB_TypeFromTemplate(&kTemplate, noop, noop, FB_StandardParam,
                                                         &kLimits, FB_COMMON_BLOCK_RANGES, 0, 0,
                                                         0)),
              FB_OK);
    EXPECT_EQ(FB_CreateInstance(kType, kBlock), FB_OK);
    g_fwRunMode = FW_RUN_MODE_STOP;
    g_saves.clear();
    g_saveResult = 0;
    previousHook_ = FB_SetSaveHook(recordSave);
  }
  ~ParamTest() override {
    FB_SetSaveHook(previousHook_);
    g_fwRunMode = FW_RUN_MODE_STOP;
  }

  static FbLayout layout() {
    FbLayout L;
    EXPECT_TRUE(FB_GetLayout(kBlock, &L));
    return L;
  }
  static float cur(uint16_t k) { return layout().fp[k].get(); }
  static float pend(uint16_t k) { return layout().fp[3 + k].get(); }
  static uint16_t curW(uint16_t k) { return layout().wp[k]; }
  static uint16_t pendW(uint16_t k) { return layout().wp[2 + k]; }
  static std::vector<uint16_t> instanceWords() {
    const uint16_t* p = FB_GetInstance(kBlock);
    return {p, p + kTemplate.size};
  }
  // Sends a request whose answer carries no bad index.
  static uint8_t send(FbParamRequest r) {
    uint16_t bad = 0xFFFF;
    const uint8_t result = FB_StandardParam(&r, &bad);
    EXPECT_EQ(bad, 0);
    return result;
  }

 private:
  FbSaveHook previousHook_ = nullptr;
};

TEST_F(ParamTest, SingleValuesWhileStopped) {
  enum Group { kFloat, kWord, kValue, kLong, kNone };
  struct Case {
    int16_t id;
    float value;  // words are sent as the whole number
    uint8_t result;
    Group changes;
    uint16_t k;
  } cases[] = {
      {1000, 5.0f, FB_OK, kFloat, 0},
      {1000, 10.5f, FB_ERR_LIMITS, kNone, 0},
      {1001, -32000.0f, FB_OK, kFloat, 1},
      {1001, -1.0f, FB_ERR_LIMITS, kNone, 0},
      {1002, 50.0f, FB_OK, kFloat, 2},
      {1002, 51.0f, FB_ERR_LIMITS, kNone, 0},
      {1002, kNaN, FB_ERR_LIMITS, kNone, 0},
      {1003, 1.0f, FB_ERR_UNKNOWN_ID, kNone, 0},  // beyond the three floats
      {1249, 1.0f, FB_ERR_UNKNOWN_ID, kNone, 0},
      {1250, 7, FB_OK, kWord, 0},
      {1250, 11, FB_ERR_LIMITS, kNone, 0},
      {1251, -32000, FB_OK, kWord, 1},
      {1252, 1, FB_ERR_UNKNOWN_ID, kNone, 0},
      {2000, 0, FB_ERR_UNKNOWN_ID, kNone, 0},
      {3000, 6, FB_OK, kValue, 0},
      {3001, 2, FB_ERR_LIMITS, kNone, 0},
      {3002, 0, FB_ERR_UNKNOWN_ID, kNone, 0},
      {3050, 2.5f, FB_OK, kLong, 0},
      {3050, 0.05f, FB_ERR_LIMITS, kNone, 0},
      {3051, 1.0f, FB_ERR_UNKNOWN_ID, kNone, 0},
      {999, 0, FB_ERR_UNKNOWN_ID, kNone, 0},
      {4200, 0, FB_ERR_UNKNOWN_ID, kNone, 0},
      {-1000, 0, FB_ERR_UNKNOWN_ID, kNone, 0},
      {-4000, 0, FB_ERR_UNKNOWN_ID, kNone, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    FB_ClearStore();
    ASSERT_EQ(FB_CreateInstance(kType, kBlock), FB_OK);
    const std::vector<uint16_t> before = instanceWords();
    const bool word = c.changes == kWord || c.changes == kValue ||
                      (c.id >= 1250 && c.id < 2000) || (c.id >= 3000 && c.id < 3050);
    const FbParamRequest r =
        word ? FB_WordRequest(kBlock, c.id, static_cast<uint16_t>(static_cast<int16_t>(c.value)))
             : FB_FloatRequest(kBlock, c.id, c.value);
    EXPECT_EQ(send(r), c.result);

    const FbLayout L = layout();
    switch (c.changes) {
      case kNone:
        EXPECT_EQ(instanceWords(), before) << "a refused request changes nothing";
        break;
      case kFloat:  // stopped: the pending copy applies at once
        EXPECT_EQ(L.fp[3 + c.k].get(), c.value);
        EXPECT_EQ(L.fp[c.k].get(), c.value);
        break;
      case kWord:
        EXPECT_EQ(L.wp[2 + c.k], static_cast<uint16_t>(static_cast<int16_t>(c.value)));
        EXPECT_EQ(L.wp[c.k], L.wp[2 + c.k]);
        break;
      case kValue:  // configuration: only the pending copy, until the next start-up pass
        EXPECT_EQ(L.wv[2 + c.k], static_cast<uint16_t>(c.value));
        EXPECT_EQ(L.wv[c.k], kValues[c.k]);
        break;
      case kLong: {
        uint32_t bits;
        std::memcpy(&bits, &c.value, 4);
        EXPECT_EQ(L.lv[1 + c.k].get(), bits);
        EXPECT_EQ(L.lv[c.k].get(), kLongs[c.k]);
        break;
      }
    }
    EXPECT_EQ(g_fbPending.floats[kBlock], 0);
    EXPECT_EQ(g_fbPending.words[kBlock], 0);
  }
  EXPECT_TRUE(g_saves.empty()) << "nothing is saved per parameter while stopped";
}

TEST_F(ParamTest, BadRequestsChangeNothing) {
  const std::vector<uint16_t> before = instanceWords();
  EXPECT_EQ(send(FB_FloatRequest(kBlock + 1, 1000, 5.0f)), FB_ERR_NO_BLOCK);
  EXPECT_EQ(send(FB_FloatRequest(60000, 1000, 5.0f)), FB_ERR_NO_BLOCK);
  const std::vector<uint16_t> tooManyWords(300, 1);
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4000, tooManyWords, kFloats)), FB_ERR_COUNT_Y);
  uint16_t bad = 0xFFFF;
  EXPECT_EQ(FB_StandardParam(nullptr, &bad), FB_ERR_UNKNOWN_ID);
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(instanceWords(), before);

  // A type without a limit table accepts nothing.
  const FbTypeRecord* rec = FB_GetType(kType);
  FbTypeRecord bare = *rec;
  bare.limits = nullptr;
  ASSERT_EQ(FB_RegisterType(kType, bare), FB_OK);
  EXPECT_EQ(send(FB_FloatRequest(kBlock, 1000, 5.0f)), FB_ERR_UNKNOWN_ID);
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4000, kWords, kFloats)), FB_ERR_UNKNOWN_ID);
  EXPECT_EQ(instanceWords(), before);
}

TEST_F(ParamTest, RunModeDefersToTheBlocksNextRun) {
  g_fwRunMode = FW_RUN_MODE_RUN;
  EXPECT_EQ(send(FB_FloatRequest(kBlock, 1000, 1.0f)), FB_OK);
  EXPECT_EQ(g_fbPending.floats[kBlock], 0) << "the current value again sets no flag";

  EXPECT_EQ(send(FB_FloatRequest(kBlock, 1000, 5.0f)), FB_OK);
  EXPECT_EQ(pend(0), 5.0f);
  EXPECT_EQ(cur(0), 1.0f);
  EXPECT_EQ(g_fbPending.floats[kBlock], 1);
  EXPECT_EQ(g_fbPending.words[kBlock], 0);

  // Back to the value in force before the change was taken over: the later request wins.
  EXPECT_EQ(send(FB_FloatRequest(kBlock, 1000, 1.0f)), FB_OK);
  EXPECT_EQ(pend(0), 1.0f);

  EXPECT_EQ(send(FB_FloatRequest(kBlock, 1001, 7.0f)), FB_OK);
  EXPECT_EQ(FB_ApplyPendingFloats(kBlock), FB_APPLY_SAVED);
  EXPECT_EQ(cur(0), 1.0f);
  EXPECT_EQ(cur(1), 7.0f);
  EXPECT_EQ(g_fbPending.floats[kBlock], 0);
  EXPECT_EQ(g_saves, (std::vector<SaveCall>{{FbSaveGroup::FloatParams, kBlock, 1, 3}}));
  EXPECT_EQ(FB_ApplyPendingFloats(kBlock), FB_APPLY_NONE);

  EXPECT_EQ(send(FB_WordRequest(kBlock, 1251, 9)), FB_OK);
  EXPECT_EQ(curW(1), 5);
  EXPECT_EQ(g_fbPending.words[kBlock], 1);
  EXPECT_EQ(FB_ApplyPendingWords(kBlock), FB_APPLY_SAVED);
  EXPECT_EQ(curW(1), 9);
  EXPECT_EQ(g_saves.back(), (SaveCall{FbSaveGroup::WordParams, kBlock, 1, 2}));
}

TEST_F(ParamTest, FullWriteRingKeepsThePendingFlag) {
  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_EQ(send(FB_FloatRequest(kBlock, 1002, 9.0f)), FB_OK);
  g_saveResult = 1;
  EXPECT_EQ(FB_ApplyPendingFloats(kBlock), FB_APPLY_NOT_SAVED);
  EXPECT_EQ(cur(2), 9.0f) << "the change is in force in RAM";
  EXPECT_EQ(g_fbPending.floats[kBlock], 1);
  g_saveResult = 0;
  EXPECT_EQ(FB_ApplyPendingFloats(kBlock), FB_APPLY_SAVED);
  EXPECT_EQ(g_fbPending.floats[kBlock], 0);
  EXPECT_EQ(g_saves.size(), 2u);
}

TEST_F(ParamTest, WholeSetIsAllOrNothing) {
  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_EQ(send(FB_FloatRequest(kBlock, 1000, 6.0f)), FB_OK);  // a change already waiting
  const std::vector<uint16_t> before = instanceWords();
  struct Case {
    const char* name;
    std::vector<uint16_t> words;
    std::vector<float> floats;
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {"2nd element out of limits", {4, 101}, {1, 2, 3}, FB_ERR_LIMITS, 2},
      {"1st float out of limits", {4, 5}, {11, 2, 3}, FB_ERR_LIMITS, 3},
      {"last float out of limits", {4, 5}, {1, 2, 51}, FB_ERR_LIMITS, 5},
      {"too few words", {4}, {1, 2, 3}, FB_ERR_COUNT_Y, 0},
      {"too few words and floats", {4}, {1, 2}, FB_ERR_COUNT_Y, 0},
      {"too few floats", {4, 5}, {1, 2}, FB_ERR_COUNT_Z, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint16_t bad = 0xFFFF;
    FbParamRequest r = FB_SetRequest(kBlock, 4000, c.words, c.floats);
    EXPECT_EQ(FB_StandardParam(&r, &bad), c.result);
    EXPECT_EQ(bad, c.bad);
    EXPECT_EQ(instanceWords(), before);
    EXPECT_EQ(g_fbPending.words[kBlock], 0);
  }
  EXPECT_EQ(pend(0), 6.0f) << "the waiting change survives a refused set";
}

TEST_F(ParamTest, WholeSetAppliesByRunMode) {
  g_fwRunMode = FW_RUN_MODE_RUN;
  const uint16_t sameWords[] = {4, 5};
  const float sameFloats[] = {1, 2, 3};
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4000, sameWords, sameFloats)), FB_OK);
  EXPECT_EQ(g_fbPending.words[kBlock] | g_fbPending.floats[kBlock], 0) << "nothing differs";

  const float newFloats[] = {1, -32000, 3};
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4000, sameWords, newFloats)), FB_OK);
  EXPECT_EQ(pend(1), -32000.0f);
  EXPECT_EQ(cur(1), 2.0f);
  EXPECT_EQ(g_fbPending.floats[kBlock], 1);
  EXPECT_EQ(g_fbPending.words[kBlock], 0) << "only the group that changed is flagged";

  g_fwRunMode = FW_RUN_MODE_STOP;
  const uint16_t newWords[] = {10, static_cast<uint16_t>(-32000)};
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4000, newWords, newFloats)), FB_OK);
  EXPECT_EQ(curW(0), 10);
  EXPECT_EQ(curW(1), static_cast<uint16_t>(-32000));
  EXPECT_EQ(cur(1), -32000.0f);
  EXPECT_TRUE(g_saves.empty());
}

TEST_F(ParamTest, AllValuesGoToThePendingCopiesOnly) {
  g_fwRunMode = FW_RUN_MODE_RUN;
  const uint16_t values[] = {6, 1};
  const float longs[] = {2.5f};
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4010, values, longs)), FB_OK);
  FbLayout L = layout();
  EXPECT_EQ(L.wv[2], 6);
  EXPECT_EQ(L.wv[3], 1);
  EXPECT_EQ(L.wv[0], 0);
  uint32_t bits;
  const float f = 2.5f;
  std::memcpy(&bits, &f, 4);
  EXPECT_EQ(L.lv[1].get(), bits);
  EXPECT_EQ(L.lv[0].get(), kLongs[0]);
  EXPECT_EQ(g_fbPending.words[kBlock] | g_fbPending.floats[kBlock], 0);

  const std::vector<uint16_t> before = instanceWords();
  const uint16_t badValues[] = {0, 2};
  const float badLongs[] = {0.0f};
  uint16_t bad = 0;
  FbParamRequest r = FB_SetRequest(kBlock, 4010, badValues, longs);
  EXPECT_EQ(FB_StandardParam(&r, &bad), FB_ERR_LIMITS);
  EXPECT_EQ(bad, 2);
  r = FB_SetRequest(kBlock, 4010, values, badLongs);
  EXPECT_EQ(FB_StandardParam(&r, &bad), FB_ERR_LIMITS);
  EXPECT_EQ(bad, 3);
  r = FB_SetRequest(kBlock, 4010, values, {});
  EXPECT_EQ(FB_StandardParam(&r, &bad), FB_ERR_COUNT_Z);
  EXPECT_EQ(instanceWords(), before);
}

TEST_F(ParamTest, SavesCheckTheirRangeBeforeTheHook) {
  struct Case {
    uint8_t (*save)(uint16_t, uint16_t, uint16_t);
    FbSaveGroup group;
    uint16_t block, first, count;
    uint8_t result;
    bool reachesHook;
  } cases[] = {
      {FB_SaveFloatParams, FbSaveGroup::FloatParams, kBlock, 1, 3, 0, true},
      {FB_SaveFloatParams, FbSaveGroup::FloatParams, kBlock, 3, 1, 0, true},
      {FB_SaveFloatParams, FbSaveGroup::FloatParams, kBlock, 3, 2, 1, false},
      {FB_SaveFloatParams, FbSaveGroup::FloatParams, kBlock, 0, 1, 1, false},
      {FB_SaveFloatParams, FbSaveGroup::FloatParams, kBlock, 1, 0, 0, false},
      {FB_SaveWordParams, FbSaveGroup::WordParams, kBlock, 2, 1, 0, true},
      {FB_SaveWordParams, FbSaveGroup::WordParams, kBlock, 2, 2, 1, false},
      {FB_SaveLongParams, FbSaveGroup::LongValues, kBlock, 1, 1, 0, true},
      {FB_SaveStateWords, FbSaveGroup::StateWords, kBlock, 1, 2, 0, true},
      {FB_SaveStateWords, FbSaveGroup::StateWords, kBlock, 1, 3, 1, false},
      {FB_SaveFloatParams, FbSaveGroup::FloatParams, kBlock + 1, 1, 1, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.group) << " " << c.block << " " << c.first << "+"
                                    << c.count);
    g_saves.clear();
    EXPECT_EQ(c.save(c.block, c.first, c.count), c.result);
    EXPECT_EQ(g_saves.size(), c.reachesHook ? 1u : 0u);
    if (c.reachesHook) {
      EXPECT_EQ(g_saves[0], (SaveCall{c.group, c.block, c.first, c.count}));
    }
  }
  // The default hook keeps nothing and reports the save as done.
  FB_SetSaveHook(nullptr);
  EXPECT_EQ(FB_SaveFloatParams(kBlock, 1, 3), 0);
}

TEST(InputFailBits, ByFixedInputBlock) {
  FB_ClearParamState();
  const struct {
    uint16_t block, bit;
  } map[] = {{61, 8},    {65, 2},    {66, 4},    {71, 16},   {72, 32},  {73, 64},  {74, 128},
             {67, 256},  {68, 512},  {63, 1024}, {64, 1024}, {69, 1024}, {70, 2048}};
  for (const auto& m : map) {
    SCOPED_TRACE(m.block);
    FB_SetInputFailBit(1, m.block);
    EXPECT_EQ(g_fbInputFailWord, m.bit);
    FB_SetInputFailBit(0, m.block);
    EXPECT_EQ(g_fbInputFailWord, 0);
  }
  for (uint16_t other : {0, 60, 62, 75, 91, 1950, 65535}) FB_SetInputFailBit(1, other);
  EXPECT_EQ(g_fbInputFailWord, 0);
  FB_SetInputFailBit(7, 61);
  FB_SetInputFailBit(1, 70);
  EXPECT_EQ(g_fbInputFailWord, 8 | 2048);
  FB_SetInputFailBit(0, 61);
  EXPECT_EQ(g_fbInputFailWord, 2048);
}

TEST(ScaleToPermille, RisingFallingAndOutside) {
  struct Case {
    float x, a, b;
    int32_t expected;
  } cases[] = {
      {5, 10, 0, 500},     {11, 0, 10, 1001},  {-1, 0, 10, -1},     {0, 0, 10, 0},
      {10, 0, 10, 1000},   {2.5f, 0, 10, 250}, {11, 10, 0, 1001},   {-0.5f, 10, 0, -1},
      {0, 10, 0, 1000},    {10, 10, 0, 0},     {1, 0, 16, 63},      {3, 0, 16, 188},
      {1, 16, 0, 938},     {3, 16, 0, 813},  {4, 4, 4, 1000},     {3, 4, 4, -1},
      {5, 4, 4, 1001},     {kNaN, 0, 10, 0},   {5, 0, kNaN, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FW_ScaleToPermille(c.x, c.a, c.b), c.expected) << c.x << " in " << c.a << ".." << c.b;
  }
}

TEST(TrimRight, RemovesTrailingBlanksOnly) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"ABSV            ", "ABSV"}, {"  a b  ", "  a b"}, {"    ", ""}, {"", ""},
               {"x", "x"}};
  for (const auto& c : cases) {
    char buf[32];
    std::strcpy(buf, c.in);
    FW_TrimRight(buf);
    EXPECT_STREQ(buf, c.out);
  }
  FW_TrimRight(nullptr);
}

}  // namespace
