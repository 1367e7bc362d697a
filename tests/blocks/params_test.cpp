// Parameter requests of the arithmetic, function and logic types, sent through the
// parameter handler of each type's row.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "block_cases.h"
#include "blocks/arith/arith.h"
#include "blocks/logic/logic.h"
#include "runtime/fb_param.h"
#include "runtime/fw_mode.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The device mode and the save hook are global: every test starts stopped with a save hook
// that records and accepts.
class BlockParams : public testing::Test {
 protected:
  BlockParams() {
    saves.clear();
    previous_ = FB_SetSaveHook([](FbSaveGroup g, uint16_t block, uint16_t first, uint16_t n) {
      saves.push_back({static_cast<int>(g), block, first, n});
      return uint8_t{0};
    });
  }
  ~BlockParams() override {
    FB_SetSaveHook(previous_);
    g_fwRunMode = FW_RUN_MODE_STOP;
  }

  static uint8_t send(FbParamRequest r, uint16_t* bad) {
    const uint16_t* inst = FB_GetInstance(r.block());
    const FbTypeRecord* rec = inst ? FB_GetType(inst[FB_HDR_TYPE]) : nullptr;
    if (!rec || !rec->param) {
      ADD_FAILURE() << "no parameter handler for block " << r.block();
      return 0xFF;
    }
    return rec->param(&r, bad);
  }
  static uint8_t send(FbParamRequest r) {
    uint16_t bad = 0;
    return send(r, &bad);
  }

  BlockFixture fx{BLK_RegisterAllTypes};
  static inline std::vector<std::vector<int>> saves;

 private:
  FbSaveHook previous_ = nullptr;
};

// One request per row against a fresh block of the type, in stop mode.
TEST_F(BlockParams, IdsLimitsAndResultsByType) {
  enum Kind { Float, Word, Set, Values };
  struct Case {
    const char* what;
    uint16_t type;
    Kind kind;
    int16_t id;
    std::vector<uint16_t> words;  // Word: words[0]; Set/Values: the word items
    std::vector<float> floats;    // Float: floats[0]; Set/Values: the 4-byte items
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {"ABSV a0", BLK_TYPE_ABSV, Float, 1001, {}, {-29999.0f}, FB_OK, 0},
      {"ABSV a below its limit", BLK_TYPE_ABSV, Float, 1000, {}, {-29999.5f}, FB_ERR_LIMITS, 0},
      {"ABSV past its floats", BLK_TYPE_ABSV, Float, 1002, {}, {1.0f}, FB_ERR_UNKNOWN_ID, 0},
      {"ADSU whole set", BLK_TYPE_ADSU, Set, 4000, {}, {1, 2, 3, 4, 5}, FB_OK, 0},
      {"ADSU y0", BLK_TYPE_ADSU, Float, 1004, {}, {999999.0f}, FB_OK, 0},
      {"ADSU past its floats", BLK_TYPE_ADSU, Float, 1005, {}, {1.0f}, FB_ERR_UNKNOWN_ID, 0},
      {"MUDI whole set, fourth bad", BLK_TYPE_MUDI, Set, 4000, {}, {1, 1, 1, 1e6f, 0, 0},
       FB_ERR_LIMITS, 4},
      {"MUDI c0", BLK_TYPE_MUDI, Float, 1005, {}, {2.0f}, FB_OK, 0},
      {"MUDI NaN", BLK_TYPE_MUDI, Float, 1000, {}, {kNaN}, FB_ERR_LIMITS, 0},
      {"SQRT y0", BLK_TYPE_SQRT, Float, 1002, {}, {3.0f}, FB_OK, 0},
      {"SQRT whole set with a wrong count", BLK_TYPE_SQRT, Set, 4000, {}, {1, 2},
       FB_ERR_COUNT_Z, 0},
      {"SCAL Exp", BLK_TYPE_SCAL, Float, 1002, {}, {0.5f}, FB_OK, 0},
      {"SCAL past its floats", BLK_TYPE_SCAL, Float, 1003, {}, {0.5f}, FB_ERR_UNKNOWN_ID, 0},
      {"A2BYTE Ioct Float", BLK_TYPE_A2BYTE, Word, 3000, {A2BYTE_FLOAT}, {}, FB_OK, 0},
      {"A2BYTE Ooct 7", BLK_TYPE_A2BYTE, Word, 3001, {7}, {}, FB_ERR_LIMITS, 0},
      {"A2BYTE past its values", BLK_TYPE_A2BYTE, Word, 3002, {1}, {}, FB_ERR_UNKNOWN_ID, 0},
      {"A2BYTE all values", BLK_TYPE_A2BYTE, Values, 4010, {3, 6}, {}, FB_OK, 0},
      {"A2BYTE all values, second bad", BLK_TYPE_A2BYTE, Values, 4010, {3, 9}, {},
       FB_ERR_LIMITS, 2},
      {"A2BYTE has no floats", BLK_TYPE_A2BYTE, Float, 1000, {}, {1.0f}, FB_ERR_UNKNOWN_ID, 0},
      {"10EXP", BLK_TYPE_10EXP, Float, 1000, {}, {1.0f}, FB_ERR_UNKNOWN_ID, 0},
      {"EEXP whole set", BLK_TYPE_EEXP, Set, 4000, {}, {}, FB_ERR_UNKNOWN_ID, 0},
      {"LN", BLK_TYPE_LN, Word, 3000, {0}, {}, FB_ERR_UNKNOWN_ID, 0},
      {"LG10 all values", BLK_TYPE_LG10, Values, 4010, {}, {}, FB_ERR_UNKNOWN_ID, 0},
      {"AND", BLK_TYPE_AND, Float, 1000, {}, {1.0f}, FB_ERR_UNKNOWN_ID, 0},
      {"NOT", BLK_TYPE_NOT, Word, 1250, {1}, {}, FB_ERR_UNKNOWN_ID, 0},
      {"OR", BLK_TYPE_OR, Set, 4000, {}, {}, FB_ERR_UNKNOWN_ID, 0},
      {"EXOR", BLK_TYPE_EXOR, Values, 4010, {}, {}, FB_ERR_UNKNOWN_ID, 0},
      {"FLIP", BLK_TYPE_FLIP, Word, 3000, {0}, {}, FB_ERR_UNKNOWN_ID, 0},
      {"STEP", BLK_TYPE_STEP, Float, 1000, {}, {1.0f}, FB_ERR_UNKNOWN_ID, 0},
      {"TRUNC", BLK_TYPE_TRUNC, Float, 1000, {}, {1.0f}, FB_ERR_UNKNOWN_ID, 0},
      {"BOUNCE Delay", BLK_TYPE_BOUNCE, Float, 1000, {}, {0.5f}, FB_OK, 0},
      {"BOUNCE negative Delay", BLK_TYPE_BOUNCE, Float, 1000, {}, {-0.1f}, FB_ERR_LIMITS, 0},
      {"BOUNCE Delay NaN", BLK_TYPE_BOUNCE, Float, 1000, {}, {kNaN}, FB_ERR_LIMITS, 0},
      {"BOUNCE whole set, bad", BLK_TYPE_BOUNCE, Set, 4000, {}, {-1.0f}, FB_ERR_LIMITS, 1},
      {"BOUNCE whole set with a word", BLK_TYPE_BOUNCE, Set, 4000, {0}, {1.0f},
       FB_ERR_COUNT_Y, 0},
      {"BOUNCE past its floats", BLK_TYPE_BOUNCE, Float, 1001, {}, {1.0f}, FB_ERR_UNKNOWN_ID,
       0},
      {"ABIN Select", BLK_TYPE_ABIN, Word, 3000, {ABIN_ONE_OF_EIGHT}, {}, FB_OK, 0},
      {"ABIN Select 3", BLK_TYPE_ABIN, Word, 3000, {3}, {}, FB_ERR_LIMITS, 0},
      {"ABIN all values, bad", BLK_TYPE_ABIN, Values, 4010, {3}, {}, FB_ERR_LIMITS, 1},
      {"ABIN has no floats", BLK_TYPE_ABIN, Float, 1000, {}, {1.0f}, FB_ERR_UNKNOWN_ID, 0},
      {"ABIN past its values", BLK_TYPE_ABIN, Word, 3001, {1}, {}, FB_ERR_UNKNOWN_ID, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture local(BLK_RegisterAllTypes);
    local.create(c.type, kBlock);
    FbParamRequest r;
    switch (c.kind) {
      case Float: r = FB_FloatRequest(kBlock, c.id, c.floats.at(0)); break;
      case Word: r = FB_WordRequest(kBlock, c.id, c.words.at(0)); break;
      case Set:
      case Values: r = FB_SetRequest(kBlock, c.id, c.words, c.floats); break;
    }
    uint16_t bad = 99;
    EXPECT_EQ(send(r, &bad), c.result);
    EXPECT_EQ(bad, c.bad);
  }
}

// A2BYTE's formats go into the pending copies only; a refused whole set leaves the pending
// copies as they were before it (an accepted change is not lost).
TEST_F(BlockParams, A2byteFormatsWaitForTheStartUpPass) {
  fx.create(BLK_TYPE_A2BYTE, kBlock);
  fx.setAnalogInput(kBlock, 1, 200.0f);
  fx.init(kBlock);
  ASSERT_EQ(send(FB_WordRequest(kBlock, 3000, A2BYTE_INT8)), FB_OK);
  EXPECT_EQ(fx.wordValue(kBlock, 1), A2BYTE_UINT8);
  EXPECT_EQ(fx.wordValue(kBlock, 1, true), A2BYTE_INT8);
  const uint16_t badSet[] = {A2BYTE_UINT16, 9};
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4010, badSet, {})), FB_ERR_LIMITS);
  EXPECT_EQ(fx.wordValue(kBlock, 1, true), A2BYTE_INT8);
  EXPECT_EQ(fx.wordValue(kBlock, 2, true), A2BYTE_UINT8);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 200.0f);
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), -56.0f);
}

// While the device runs a change waits for the block's next run, which applies it and
// saves all floats; stopped, it applies at once.
TEST_F(BlockParams, FloatsApplyAtTheNextRunWhileRunning) {
  const struct {
    uint16_t type;
    int16_t id;
    float value;
    Inputs inputs;
    float after;
    uint16_t floats;
  } cases[] = {
      {BLK_TYPE_ADSU, 1004, 2.0f, {1.0f}, 3.0f, 5},
      {BLK_TYPE_SQRT, 1002, 1.0f, {4.0f}, 3.0f, 3},
      {BLK_TYPE_SCAL, 1002, 2.0f, {3.0f}, 9.0f, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    BlockFixture local(BLK_RegisterAllTypes);
    saves.clear();
    local.create(c.type, kBlock);
    setAnalogInputs(local, kBlock, c.inputs);
    local.init(kBlock);
    g_fwRunMode = FW_RUN_MODE_RUN;
    ASSERT_EQ(send(FB_FloatRequest(kBlock, c.id, c.value)), FB_OK);
    EXPECT_NE(local.floatParam(kBlock, c.id - 999), c.value);
    EXPECT_TRUE(saves.empty());
    local.run(kBlock);
    EXPECT_EQ(local.analogOut(kBlock, 1), c.after);
    EXPECT_EQ(saves, (std::vector<std::vector<int>>{
                         {static_cast<int>(FbSaveGroup::FloatParams), kBlock, 1, c.floats}}));
    g_fwRunMode = FW_RUN_MODE_STOP;
    ASSERT_EQ(send(FB_FloatRequest(kBlock, c.id, c.value + 1.0f)), FB_OK);
    EXPECT_EQ(local.floatParam(kBlock, c.id - 999), c.value + 1.0f);
  }
}

// MUDI: once a change of an offset to 0 has been taken over while running, the unwired
// input of that factor reads 1.0.
TEST_F(BlockParams, MudiRepointsAnUnwiredFactorAfterAChange) {
  fx.create(BLK_TYPE_MUDI, kBlock);
  setFloatParams(fx, kBlock, {{4, 2.0f}});  // a0 = 2: X 1 stays unwired at 0.0
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 2.0f);
  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_EQ(send(FB_FloatRequest(kBlock, 1003, 0.0f)), FB_OK);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 1.0f);
  EXPECT_EQ(fx.layout(kBlock).ai[0].get(), FB_REF_ONE);
  // Pointed at the constant, the input stays there when the offset changes back.
  ASSERT_EQ(send(FB_FloatRequest(kBlock, 1003, 2.0f)), FB_OK);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 3.0f);
}

// BOUNCE recomputes its delay in cycles when it takes a change over while running; a change
// made while stopped counts from the next start-up pass.
TEST_F(BlockParams, BounceRecomputesItsDelayAfterAChange) {
  fx.create(BLK_TYPE_BOUNCE, kBlock, 1);
  fx.setDigitalInput(kBlock, 1, 0);
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_EQ(send(FB_FloatRequest(kBlock, 1000, 0.2f)), FB_OK);  // 2 cycles
  fx.run(kBlock);
  EXPECT_EQ(saves.size(), 1u);
  fx.setDigitalInput(kBlock, 1, 1);
  fx.run(kBlock, 2);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 1);

  g_fwRunMode = FW_RUN_MODE_STOP;
  ASSERT_EQ(send(FB_FloatRequest(kBlock, 1000, 0.0f)), FB_OK);
  fx.setDigitalInput(kBlock, 1, 0);
  fx.run(kBlock, 2);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 1) << "still 2 cycles until the start-up pass";
  fx.init(kBlock);
  fx.setDigitalInput(kBlock, 1, 1);
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 1) << "no delay after the start-up pass";
}

}  // namespace
