// PROFINET data blocks (PNSERV, PNREAD, PNWRIT) on the PROFINET link's data area, and the
// small logic blocks AND_2, OR_2 and CMP.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "block_cases.h"
#include "blocks/profinet/profinet.h"
#include "comm/com_card.h"
#include "runtime/fw_defer.h"
#include "support/param_target.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// =========================================================================================
// AND_2, OR_2, CMP

TEST(TwoInputGates, UnconnectedInputsDoNotBlockTheGate) {
  struct Case {
    uint16_t type;
    std::vector<std::optional<uint16_t>> inputs;
    uint16_t z;
  } cases[] = {
      {BLK_TYPE_AND_2, {1, std::nullopt}, 1},  {BLK_TYPE_AND_2, {0, std::nullopt}, 0},
      {BLK_TYPE_AND_2, {std::nullopt, 1}, 1},  {BLK_TYPE_AND_2, {3, 6}, 2},
      {BLK_TYPE_AND_2, {1, 0}, 0},             {BLK_TYPE_OR_2, {1, std::nullopt}, 1},
      {BLK_TYPE_OR_2, {0, std::nullopt}, 0},   {BLK_TYPE_OR_2, {3, 6}, 7},
      {BLK_TYPE_OR_2, {std::nullopt, std::nullopt}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " case " << (&c - cases));
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(c.type, kBlock);
    for (uint16_t i = 0; i < 2; ++i) {
      if (c.inputs[i]) fx.setDigitalInput(kBlock, i + 1, *c.inputs[i]);
    }
    fx.init(kBlock);
    fx.run(kBlock);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), c.z);
    // A warm start keeps the output, a cold start clears it.
    {
      WarmStart warm;
      fx.init(kBlock);
      EXPECT_EQ(fx.digitalOut(kBlock, 1), c.z);
    }
    fx.init(kBlock);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  }
}

TEST(Cmp, ComparesByModeAgainstTheInputOrTheParameter) {
  struct Case {
    std::optional<float> x2;   // unconnected: the parameter X2 = 2
    uint16_t mode;
    uint16_t z;
  } cases[] = {
      {std::nullopt, CMP_GT, 1}, {std::nullopt, CMP_GE, 1}, {std::nullopt, CMP_LT, 0},
      {std::nullopt, CMP_LE, 0}, {std::nullopt, CMP_EQ, 0}, {std::nullopt, CMP_NE, 1},
      {3.0f, CMP_GT, 0},         {3.0f, CMP_GE, 1},         {3.0f, CMP_LE, 1},
      {3.0f, CMP_EQ, 1},         {3.0f, CMP_NE, 0},         {5.0f, CMP_LT, 1},
      {kNaN, CMP_NE, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " x2 " << (c.x2 ? *c.x2 : -1));
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_CMP, kBlock);
    setFloatParams(fx, kBlock, {{1, 2.0f}});
    setWordParams(fx, kBlock, {{1, c.mode}});
    fx.setAnalogInput(kBlock, 1, 3.0f);
    if (c.x2) fx.setAnalogInput(kBlock, 2, *c.x2);
    fx.init(kBlock);
    fx.run(kBlock);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), c.z);
  }
}

TEST(Cmp, ParametersFollowTheRunModeRule) {
  expectRunModeSave(BLK_TYPE_CMP, 1000, 5.0f, 6.0f);
  for (const RefusedRequest& c : {
           RefusedRequest{"Mode above 5", BLK_TYPE_CMP, FB_WordRequest(kBlock, 1250, 6), FB_ERR_LIMITS, 0},
           RefusedRequest{"X2 above 999999", BLK_TYPE_CMP, FB_FloatRequest(kBlock, 1000, 1e6f),
                          FB_ERR_LIMITS, 0},
           RefusedRequest{"set with a bad Mode", BLK_TYPE_CMP,
                          FB_SetRequest(kBlock, 4000, std::vector<uint16_t>{7},
                                        std::vector<float>{1.0f}),
                          FB_ERR_LIMITS, 1},
       }) {
    expectRefusedChangesNothing(c);
  }
  // The word parameter applies in the run after the change and is saved.
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(BLK_TYPE_CMP, kBlock);
  fx.setAnalogInput(kBlock, 1, 3.0f);
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 0;
  ASSERT_EQ(sendParam(FB_WordRequest(kBlock, 1250, CMP_LT), &bad), FB_OK);
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 1) << "compared before the change is applied";
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  EXPECT_EQ(rec.saves.size(), 1u);
}

// =========================================================================================
// PROFINET blocks

constexpr uint16_t kServ = 100, kTarget = 900;

class Profinet : public testing::Test {
 protected:
  Profinet() : fx(registerTypes) {
    g_fwRunMode = FW_RUN_MODE_STOP;   // the targets take written values at once
    g_comPnData = ComPnData{};
    g_comPnLink.acyclicRequest = 0;
    FW_ClearDeferredCalls();
    fx.create(BLK_TYPE_PNSERV, kServ);
    fx.create(param_target::kType, kTarget);
  }
  ~Profinet() override {
    g_comPnData = ComPnData{};
    g_comPnLink.acyclicRequest = 0;
    FW_ClearDeferredCalls();
  }
  static void registerTypes() {
    BLK_RegisterAllTypes();
    param_target::Register();
  }

  // PNSERV input `input` (1..8) to the first block; each block behind the one before it:
  // the chain input PNR_x (PNW_x) of a block to the chain output of the next.
  void chain(uint16_t input, std::vector<uint16_t> blocks) {
    fx.connectAnalog(kServ, input, blocks[0], chainOutput(blocks[0]));
    for (size_t k = 1; k < blocks.size(); ++k) link(blocks[k - 1], blocks[k]);
  }
  void link(uint16_t block, uint16_t next) {
    const uint16_t chainInput = typeOf(block) == BLK_TYPE_PNREAD ? PN_VALUES + 1 : 1;
    fx.connectAnalog(block, chainInput, next, chainOutput(next));
  }
  static uint16_t chainOutput(uint16_t block) {
    return typeOf(block) == BLK_TYPE_PNREAD ? 1 : PN_VALUES + 1;
  }
  static uint16_t typeOf(uint16_t block) { return FB_GetInstance(block)[FB_HDR_TYPE]; }

  void initAll() {
    for (uint16_t b = 1; b <= FB_MAX_BLOCK; ++b) {
      if (FB_GetInstance(b) && typeOf(b) != FIXTURE_SOURCE_TYPE) fx.init(b);
    }
  }
  // One cycle: the PNREAD blocks, PNSERV, then the PNWRIT blocks, then the deferred calls.
  void cycle() {
    for (uint16_t b = 1; b <= FB_MAX_BLOCK; ++b) {
      if (FB_GetInstance(b) && typeOf(b) == BLK_TYPE_PNREAD) fx.run(b);
    }
    fx.run(kServ);
    for (uint16_t b = 1; b <= FB_MAX_BLOCK; ++b) {
      if (FB_GetInstance(b) && typeOf(b) == BLK_TYPE_PNWRIT) fx.run(b);
    }
    FW_RunDeferredCalls();
  }
  // A PNREAD whose value i (1-based) reads input Xi = first + i - 1.
  void reader(uint16_t block, float first) {
    fx.create(BLK_TYPE_PNREAD, block);
    for (uint16_t i = 1; i <= PN_VALUES; ++i) fx.setAnalogInput(block, i, first + i - 1);
  }
  void setInputArea(ComPnArea a, bool valid, float first) {
    for (uint32_t i = 0; i < g_comPnLayout[a].count; ++i) {
      if (g_comPnLayout[a].size == 2) {
        COM_PnSetWord(a, i, static_cast<int16_t>(first + i));
      } else {
        COM_PnSetFloat(a, i, first + i);
      }
    }
    COM_PnSetValid(a, valid);
  }

  BlockFixture fx;
};

TEST_F(Profinet, ReadChainsFillTheOutputAreasTenValuesPerBlock) {
  reader(200, 1.0f);
  reader(201, 11.0f);
  reader(202, 21.0f);   // a third block: the 20-value area has no room for it
  chain(1, {200, 201, 202});
  reader(210, 0.25f);
  chain(4, {210});      // PNR_50F: the acyclic floats
  initAll();
  cycle();
  for (uint32_t i = 0; i < 20; ++i) EXPECT_EQ(COM_PnWord(COM_PN_OUT_W20, i), i + 1) << i;
  for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(COM_PnFloat(COM_PN_OUT_F50, i), 0.25f + i) << i;
  EXPECT_EQ(COM_PnFloat(COM_PN_OUT_F50, 10), 0.0f);
  EXPECT_EQ(g_comPnLink.acyclicRequest, 1);
  EXPECT_EQ(fx.analogOut(200, 1), 200.0f) << "PNR_x carries the block's own number";
}

TEST_F(Profinet, WordAreasTakeValuesRoundedHalfAwayFromZeroAndHeldTo16Bits) {
  fx.create(BLK_TYPE_PNREAD, 200);
  const float values[PN_VALUES] = {12.5f, -12.5f, 12.49f, 40000.0f, -40000.0f, kNaN, 1e30f, 0, 0, 0};
  const int16_t words[PN_VALUES] = {13, -13, 12, 32767, -32768, 0, 32767, 0, 0, 0};
  for (uint16_t i = 0; i < PN_VALUES; ++i) fx.setAnalogInput(200, i + 1, values[i]);
  chain(3, {200});   // PNR_50I
  initAll();
  cycle();
  for (uint32_t i = 0; i < PN_VALUES; ++i) EXPECT_EQ(COM_PnWord(COM_PN_OUT_W50, i), words[i]) << i;
  EXPECT_EQ(g_comPnLink.acyclicRequest, 0);
}

// An open input reads the parameter its Block/Num values name: word parameters first, then
// float parameters; a number beyond them, block 0 or a missing block read 0.
TEST_F(Profinet, OpenInputsReadTheParametersTheirWordValuesName) {
  fx.create(BLK_TYPE_PNREAD, 200);
  const uint16_t links[][2] = {{kTarget, 1}, {kTarget, 2}, {kTarget, 3}, {kTarget, 6},
                               {kTarget, 7}, {0, 1},       {kTarget + 1, 1}, {kTarget, 0}};
  for (uint16_t i = 0; i < 8; ++i) {
    fx.wordValue(200, 2 * i + 1, true) = links[i][0];
    fx.wordValue(200, 2 * i + 2, true) = links[i][1];
  }
  fx.wordValue(200, 19, true) = kTarget;   // value 10 is wired: the input wins
  fx.setAnalogInput(200, 10, 77.0f);
  chain(2, {200});   // PNR_20F
  initAll();
  fx.floatParam(kTarget, 4) = -3.25f;
  cycle();
  const float expected[PN_VALUES] = {11, 22, 1.5f, -3.25f, 0, 0, 0, 0, 0, 77};
  for (uint32_t i = 0; i < PN_VALUES; ++i) EXPECT_EQ(COM_PnFloat(COM_PN_OUT_F20, i), expected[i]) << i;
  // The links are fixed at Init.
  fx.wordValue(200, 1, true) = 0;
  cycle();
  EXPECT_EQ(COM_PnFloat(COM_PN_OUT_F20, 0), 11.0f);
}

TEST_F(Profinet, WriteChainsReceiveTheInputAreasWhileValid) {
  fx.create(BLK_TYPE_PNWRIT, 300);
  fx.create(BLK_TYPE_PNWRIT, 301);
  fx.create(BLK_TYPE_PNWRIT, 302);   // beyond the 20-value area
  chain(5, {300, 301, 302});         // PNW_20I
  initAll();
  setInputArea(COM_PN_IN_W20, true, -5.0f);
  cycle();   // the write blocks find the blocks behind them in their first run
  cycle();
  for (uint16_t i = 1; i <= PN_VALUES; ++i) {
    EXPECT_EQ(fx.analogOut(300, i), -6.0f + i);
    EXPECT_EQ(fx.analogOut(301, i), 4.0f + i);
    EXPECT_EQ(fx.analogOut(302, i), 0.0f);
    EXPECT_EQ(fx.digitalOut(300, i), 1) << "a value without target has status 0";
  }
  EXPECT_EQ(fx.digitalOut(300, PN_VALUES + 1), 1);
  EXPECT_EQ(fx.digitalOut(302, PN_VALUES + 1), 0);
  EXPECT_EQ(fx.analogOut(301, PN_VALUES + 1), 301.0f);

  setInputArea(COM_PN_IN_W20, false, 100.0f);
  cycle();
  EXPECT_EQ(fx.analogOut(300, 1), 0.0f);
  EXPECT_EQ(fx.digitalOut(300, 1), 0);
  EXPECT_EQ(fx.digitalOut(300, PN_VALUES + 1), 0);
}

// V_Data set: the data are taken only while the first value (as a whole number) is V_Data;
// a wired "valid" input at 0 refuses them as well.
TEST_F(Profinet, WriteBlocksRefuseDataByVDataAndTheirValidInput) {
  fx.create(BLK_TYPE_PNWRIT, 300);
  setWordParams(fx, 300, {{1, 7}});
  chain(6, {300});   // PNW_20F
  initAll();
  struct Case {
    float first;
    std::optional<uint16_t> validIn;
    bool taken;
  } cases[] = {{7.0f, std::nullopt, true}, {7.9f, std::nullopt, true}, {8.0f, std::nullopt, false},
               {-7.0f, std::nullopt, false}, {7.0f, 1, true}, {7.0f, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << " valid " << (c.validIn ? *c.validIn : -1));
    setInputArea(COM_PN_IN_F20, true, 1.0f);
    COM_PnSetFloat(COM_PN_IN_F20, 0, c.first);
    if (c.validIn) fx.setDigitalInput(300, 1, *c.validIn);
    cycle();
    EXPECT_EQ(fx.analogOut(300, 2), c.taken ? 2.0f : 0.0f);
    EXPECT_EQ(fx.digitalOut(300, 2), c.taken ? 1 : 0);
    EXPECT_EQ(fx.digitalOut(300, PN_VALUES + 1), c.taken ? 1 : 0);
  }
}

// Values are written to their targets through the deferred-call ring when they change: a word
// target takes the value rounded half away from zero, and a change is noted against the value
// written, so that a target that got 8 for 7.6 gets 7 when the value becomes 7.0.
TEST_F(Profinet, WriteBlocksWriteChangesToTheirTargets) {
  fx.create(BLK_TYPE_PNWRIT, 300);
  fx.wordValue(300, 1, true) = kTarget;   // value 1 -> word parameter 1 (-100..100)
  fx.wordValue(300, 2, true) = 1;
  fx.wordValue(300, 3, true) = kTarget;   // value 2 -> float parameter 1
  fx.wordValue(300, 4, true) = 3;
  chain(6, {300});
  initAll();
  struct Step {
    float v1, v2;
    uint16_t word;
    float flt;
    uint16_t valid1, valid2;
  } steps[] = {
      {11.0f, 1.5f, 11, 1.5f, 1, 1},        // equal to the targets: nothing to write
      {12.5f, 2.0f, 13, 2.0f, 1, 1},
      {-12.5f, 2.0f, static_cast<uint16_t>(-13), 2.0f, 1, 1},
      {7.6f, 2.0f, 8, 2.0f, 1, 1},
      {7.0f, 2.0f, 7, 2.0f, 1, 1},
      {7.2f, 2.0f, 7, 2.0f, 1, 1},
      {500.0f, 200.0f, 7, 2.0f, 0, 0},      // refused by the targets' limits
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << s.v1 << " " << s.v2);
    setInputArea(COM_PN_IN_F20, true, 0.0f);
    COM_PnSetFloat(COM_PN_IN_F20, 0, s.v1);
    COM_PnSetFloat(COM_PN_IN_F20, 1, s.v2);
    cycle();   // posts; the ring runs after the cycle
    EXPECT_EQ(fx.wordParam(kTarget, 1), s.word);
    EXPECT_EQ(fx.floatParam(kTarget, 1).get(), s.flt);
    cycle();   // the outputs show the result of the write
    EXPECT_EQ(fx.digitalOut(300, 1), s.valid1);
    EXPECT_EQ(fx.digitalOut(300, 2), s.valid2);
    EXPECT_EQ(fx.analogOut(300, 1), s.v1);
  }
}

// While the ring has no room the change stays noted and is posted in a later cycle.
TEST_F(Profinet, AChangeWaitsForRoomInTheRing) {
  fx.create(BLK_TYPE_PNWRIT, 300);
  fx.wordValue(300, 1, true) = kTarget;
  fx.wordValue(300, 2, true) = 4;   // float parameter 2
  chain(6, {300});
  initAll();
  cycle();
  static uint8_t results[FW_DEFER_ENTRIES];
  const uint8_t data[4] = {};
  for (uint32_t i = 0; i < FW_DEFER_ENTRIES; ++i) {
    ASSERT_EQ(FW_PostDeferredCall(kTarget, 1250, data, 2, FB_StandardParam, &results[i]), FW_POST_OK);
  }
  setInputArea(COM_PN_IN_F20, true, 0.0f);
  COM_PnSetFloat(COM_PN_IN_F20, 0, 42.0f);
  fx.run(kServ);
  fx.run(300);
  EXPECT_EQ(fx.digitalOut(300, 1), 0) << "not written yet";
  FW_RunDeferredCalls();   // the 32 others
  EXPECT_EQ(fx.floatParam(kTarget, 2).get(), 2.5f);
  cycle();
  EXPECT_EQ(fx.floatParam(kTarget, 2).get(), 42.0f);
  cycle();
  EXPECT_EQ(fx.digitalOut(300, 1), 1);
}

// A chain wired into a loop ends at the first block met again, on either side.
TEST_F(Profinet, ChainLoopsEndAtTheFirstBlockMetAgain) {
  reader(200, 1.0f);
  reader(201, 11.0f);
  chain(3, {200, 201});
  link(201, 200);   // 201 -> 200: a loop
  fx.create(BLK_TYPE_PNWRIT, 300);
  fx.create(BLK_TYPE_PNWRIT, 301);
  chain(7, {300, 301});
  link(301, 300);
  initAll();
  setInputArea(COM_PN_IN_W50, true, 1.0f);
  cycle();
  cycle();
  for (uint32_t i = 0; i < 20; ++i) EXPECT_EQ(COM_PnWord(COM_PN_OUT_W50, i), i + 1) << i;
  for (uint32_t i = 20; i < 50; ++i) EXPECT_EQ(COM_PnWord(COM_PN_OUT_W50, i), 0) << i;
  EXPECT_EQ(fx.analogOut(300, 1), 1.0f) << "not overwritten by a second visit";
  EXPECT_EQ(fx.analogOut(301, 1), 11.0f);
}

// A chain input wired to a block of another type is ignored.
TEST_F(Profinet, ChainsOfAnotherTypeAreIgnored) {
  fx.create(BLK_TYPE_PNWRIT, 300);
  reader(200, 1.0f);
  fx.connectAnalog(kServ, 1, 300, PN_VALUES + 1);   // a PNWRIT on a read chain
  fx.connectAnalog(kServ, 5, 200, 1);               // a PNREAD on a write chain
  initAll();
  setInputArea(COM_PN_IN_W20, true, 5.0f);
  cycle();
  EXPECT_EQ(COM_PnWord(COM_PN_OUT_W20, 0), 0);
  EXPECT_EQ(fx.digitalOut(300, PN_VALUES + 1), 0);
}

TEST_F(Profinet, PnservShowsTheLinksDataType) {
  fx.init(kServ);
  const struct {
    uint8_t type;
    uint16_t valid;
  } cases[] = {{5, 1}, {4, 0}, {7, 1}, {1, 0}, {0xFF, 1}};
  for (const auto& c : cases) {
    COM_PnDataType() = c.type;
    fx.run(kServ);
    EXPECT_EQ(fx.analogOut(kServ, 1), c.type);
    EXPECT_EQ(fx.digitalOut(kServ, 1), c.valid) << int{c.type};
  }
}

TEST_F(Profinet, ParametersOfTheDataBlocks) {
  for (const RefusedRequest& c : {
           RefusedRequest{"V_Data above 255", BLK_TYPE_PNWRIT, FB_WordRequest(kBlock, 1250, 256),
                          FB_ERR_LIMITS, 0},
           RefusedRequest{"Block above 1950", BLK_TYPE_PNWRIT, FB_WordRequest(kBlock, 3018, 1951),
                          FB_ERR_LIMITS, 0},
           RefusedRequest{"Num 0", BLK_TYPE_PNREAD, FB_WordRequest(kBlock, 3019, 0), FB_ERR_LIMITS, 0},
           RefusedRequest{"no word value 21", BLK_TYPE_PNREAD, FB_WordRequest(kBlock, 3020, 1),
                          FB_ERR_UNKNOWN_ID, 0},
           RefusedRequest{"PNSERV takes none", BLK_TYPE_PNSERV, FB_WordRequest(kBlock, 3000, 1),
                          FB_ERR_UNKNOWN_ID, 0},
           RefusedRequest{"AND_2 takes none", BLK_TYPE_AND_2, FB_WordRequest(kBlock, 1250, 1),
                          FB_ERR_UNKNOWN_ID, 0},
       }) {
    expectRefusedChangesNothing(c);
  }
  // 4010 carries all 20 values into the pending copy.
  fx.create(BLK_TYPE_PNREAD, 200);
  std::vector<uint16_t> values(20, 1);
  values[0] = kTarget;
  uint16_t bad = 0;
  ASSERT_EQ(sendParam(FB_SetRequest(200, 4010, values, {}), &bad), FB_OK);
  EXPECT_EQ(fx.wordValue(200, 1, true), kTarget);
  EXPECT_EQ(fx.wordValue(200, 1), 0);
  fx.init(200);
  EXPECT_EQ(fx.wordValue(200, 1), kTarget);
}

}  // namespace
