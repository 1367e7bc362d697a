// The alarm collector VALARM: alarm states and outputs, the acknowledge input, arrival
// numbers and their renumbering, the blinking of the status icon, the parameter requests and
// the label list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "opui/op_display.h"
#include "opui/op_valarm.h"
#include "runtime/fb_param.h"
#include "runtime/fb_values.h"
#include "runtime/fw_text.h"
#include "support/block_fixture.h"

namespace {

class ValarmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_opAlarms = OpAlarmCollector{};
    g_opStatusIcon = OpStatusIcon{};
    OpAlarmDisplayFlags[0] = 0;
  }
  // Alarm blocks at the given numbers, started as the start-up pass starts them.
  void make(std::vector<uint16_t> numbers) {
    blocks = numbers;
    for (uint16_t b : blocks) fx.create(OP_TYPE_VALARM, b, 0);
    for (uint16_t b : blocks) {
      for (uint16_t k = 1; k <= OP_ALARM_INPUTS + 1; ++k) fx.setDigitalInput(b, k, 0);
    }
    for (uint16_t b : blocks) fx.init(b);
  }
  // One cycle: the output-side blocks in block-number order.
  void cycle(int n = 1) {
    for (int i = 0; i < n; ++i) {
      for (uint16_t b : blocks) fx.run(b);
    }
  }
  void alarm(uint16_t block, uint16_t k, bool on) { fx.setDigitalInput(block, k, on ? 1 : 0); }
  void ack(uint16_t block, bool on) { fx.setDigitalInput(block, VALARM_IN_ACK, on ? 1 : 0); }
  static ValarmState& state(uint16_t block) { return *OP_AlarmStateOf(block); }

  BlockFixture fx{OP_RegisterAlarmTypes};
  std::vector<uint16_t> blocks;
};

TEST_F(ValarmTest, InitTakesTheLastBlockTheTextSourcesAndItsNumber) {
  make({41, 43, 44});
  for (uint16_t b : blocks) {
    ASSERT_NE(OP_AlarmStateOf(b), nullptr);
    EXPECT_EQ(state(b).lastBlock, 44);
    EXPECT_EQ(fx.analogOut(b, VALARM_OUT_BLOCK), static_cast<float>(b));
    EXPECT_EQ(g_fbStore.list[b].pageData, &state(b).header);
    EXPECT_EQ(state(b).header.type, OP_TYPE_VALARM);
  }
  EXPECT_EQ(OP_AlarmStateOf(42), nullptr);
  EXPECT_EQ(g_opAlarms.slot[1], nullptr);
  EXPECT_EQ(g_opAlarms.counter, 1);
  // The analog inputs name the text lists of inputs 1..4 and 5..8.
  fx.setAnalogInput(43, VALARM_IN_TEXT2, 0.0f);
  fx.init(43);
  EXPECT_EQ(state(43).textBlock[0], 0);
  EXPECT_EQ(state(43).textBlock[1], FIXTURE_SOURCE_BLOCK);
}

// The state and output of one alarm through a sequence of inputs.
TEST_F(ValarmTest, StatesFollowTheAlarmAndTheAcknowledgeInput) {
  make({41});
  struct Step {
    bool in, ack;
    uint8_t state;
    uint16_t out;
  } steps[] = {
      {true, false, OP_ALARM_ACTIVE, 1},  // comes
      {false, false, OP_ALARM_GONE, 1},   // goes before anyone acknowledged it: still shown
      {false, false, OP_ALARM_GONE, 1},
      {true, false, OP_ALARM_ACTIVE, 1},  // comes again
      {false, false, OP_ALARM_GONE, 1},
      {false, true, OP_ALARM_NONE, 0},    // acknowledged
      {true, true, OP_ALARM_ACKED, 0},    // with the acknowledge held: straight to state 2
      {true, false, OP_ALARM_ACKED, 0},
      {false, false, OP_ALARM_NONE, 0},   // an acknowledged alarm that goes is over
  };
  int i = 0;
  for (const Step& s : steps) {
    alarm(41, 3, s.in);
    ack(41, s.ack);
    cycle();
    EXPECT_EQ(state(41).state[2], s.state) << "step " << i;
    EXPECT_EQ(fx.digitalOut(41, 3), s.out) << "step " << i;
    EXPECT_EQ(state(41).ackHeld, s.ack ? 1 : 0) << "step " << i;
    ++i;
  }
}

TEST_F(ValarmTest, RenumberingKeepsTheOrderOfArrival) {
  make({41, 42, 43});
  alarm(42, 1, true);   // first
  cycle();
  alarm(41, 5, true);   // second
  cycle();
  alarm(43, 8, true);   // third
  cycle();
  EXPECT_EQ(state(42).number[0], 1);
  EXPECT_EQ(state(41).number[4], 2);
  EXPECT_EQ(state(43).number[7], 3);
  EXPECT_EQ(state(43).numbered, 3);
  // The first goes and is acknowledged: after the last block's run the others are 1 and 2.
  alarm(42, 1, false);
  cycle();
  EXPECT_EQ(state(42).number[0], 1);   // gone, not acknowledged: keeps its row
  ack(42, true);
  cycle();
  EXPECT_EQ(state(42).state[0], OP_ALARM_NONE);
  EXPECT_EQ(state(42).number[0], 0);
  EXPECT_EQ(state(41).number[4], 1);
  EXPECT_EQ(state(43).number[7], 2);
  EXPECT_EQ(g_opAlarms.counter, 3);
  EXPECT_EQ(g_opAlarms.acknowledged, 0);
  EXPECT_EQ(state(43).numbered, 2);
  // The next alarm takes the next free number.
  alarm(41, 2, true);
  cycle();
  EXPECT_EQ(state(41).number[1], 3);
}

TEST_F(ValarmTest, AnAcknowledgementOfThePageIsCountedAndRenumbers) {
  make({41, 46});
  alarm(41, 1, true);
  cycle();
  alarm(46, 1, true);
  cycle();
  alarm(41, 1, false);
  cycle();
  // The page acknowledges the gone alarm.
  state(41).state[0] = OP_ALARM_NONE;
  state(41).ackRequest[0] = 1;
  cycle();
  EXPECT_EQ(state(41).ackRequest[0], 0);
  EXPECT_EQ(state(41).number[0], 0);
  EXPECT_EQ(state(46).number[0], 1);
}

TEST_F(ValarmTest, NoNumberBeyondTheLimit) {
  make({41});
  g_opAlarms.counter = OP_ALARM_MAX_NUMBER - 1;
  for (uint16_t k = 1; k <= 3; ++k) alarm(41, k, true);
  cycle();
  EXPECT_EQ(state(41).number[0], OP_ALARM_MAX_NUMBER - 1);
  EXPECT_EQ(state(41).number[1], OP_ALARM_MAX_NUMBER);
  EXPECT_EQ(state(41).number[2], OP_ALARM_MAX_NUMBER);
  EXPECT_EQ(g_opAlarms.counter, OP_ALARM_MAX_NUMBER);
}

TEST_F(ValarmTest, StatusIconBlinksWhileAnAlarmWaitsAndStaysLitWhenAcknowledged) {
  make({41, 42});
  cycle();
  EXPECT_EQ(g_opStatusIcon.request, 0);
  EXPECT_EQ(g_opStatusIcon.lit, 0);
  alarm(41, 1, true);
  std::vector<int> phases, lit;
  for (int i = 0; i < 9; ++i) {
    cycle();
    phases.push_back(g_opAlarms.blinkPhase);
    lit.push_back(g_opStatusIcon.lit);
    EXPECT_EQ(g_opStatusIcon.request, 1);
    EXPECT_EQ(OpAlarmDisplayFlags[0], 1);
  }
  EXPECT_EQ(phases, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 0, 1}));
  EXPECT_EQ(lit, (std::vector<int>{1, 1, 1, 0, 0, 0, 0, 1, 1}));
  // Acknowledged and still active: steady.
  ack(41, true);
  cycle(2);
  EXPECT_EQ(g_opAlarms.blinkPhase, 0);
  EXPECT_EQ(g_opStatusIcon.request, 1);
  EXPECT_EQ(g_opStatusIcon.lit, 1);
  EXPECT_EQ(OpAlarmDisplayFlags[0], 0);
  alarm(41, 1, false);
  cycle();
  EXPECT_EQ(g_opStatusIcon.request, 0);
  EXPECT_EQ(g_opStatusIcon.lit, 0);
  EXPECT_EQ(g_opAlarms.present, 0);
}

TEST_F(ValarmTest, ParameterRequests) {
  make({41});
  fx.wordValue(41, 3, true) = 1;
  struct Case {
    int16_t id;
    uint16_t value;
    uint8_t result;
  } cases[] = {
      {3000, 1, FB_OK},            // within its limits
      {3007, 0, FB_OK},
      {3001, 2, FB_ERR_LIMITS},
      {3008, 1, FB_ERR_UNKNOWN_ID},
      {3050, 0, FB_ERR_LIMITS},    // no 4-byte values
      {3100, 0, FB_ERR_UNKNOWN_ID},
      {1000, 0, FB_ERR_UNKNOWN_ID},
  };
  for (const Case& c : cases) {
    FbParamRequest r = FB_WordRequest(41, c.id, c.value);
    uint16_t bad = 0;
    EXPECT_EQ(FB_VALARM_Param(&r, &bad), c.result) << c.id;
  }
  EXPECT_EQ(fx.wordValue(41, 1, true), 1);
  EXPECT_EQ(fx.wordValue(41, 1), 0);   // configuration: taken over by the next start

  // 4000: only the header of an empty set.
  const uint16_t none[] = {0};
  FbParamRequest empty = FB_SetRequest(41, FB_ID_WHOLE_SET, {}, {});
  uint16_t bad = 0;
  EXPECT_EQ(FB_VALARM_Param(&empty, &bad), FB_OK);
  FbParamRequest one = FB_SetRequest(41, FB_ID_WHOLE_SET, none, {});
  EXPECT_NE(FB_VALARM_Param(&one, &bad), FB_OK);

  // 4010 with its third word out of limits: 'l', index 3, no word changed, no text copied.
  char* tag = nullptr;
  char* pending = nullptr;
  ASSERT_EQ(FB_GetTextParamPtr(41, VALARM_TEXT_TAG, &tag), 1);
  ASSERT_EQ(FB_GetTextParamPtr(41, VALARM_TEXT_PENDING, &pending), 1);
  std::memcpy(pending, "ALARMS 1        ", FB_TEXT_LEN);
  const uint16_t badWords[8] = {0, 1, 5, 0, 0, 0, 0, 0};
  FbParamRequest set = FB_SetRequest(41, FB_ID_ALL_VALUES, badWords, {});
  EXPECT_EQ(FB_VALARM_Param(&set, &bad), FB_ERR_LIMITS);
  EXPECT_EQ(bad, 3);
  const uint16_t before[8] = {1, 0, 1, 0, 0, 0, 0, 0};
  for (uint16_t k = 1; k <= 8; ++k) EXPECT_EQ(fx.wordValue(41, k, true), before[k - 1]) << k;
  EXPECT_EQ(std::string(tag, 6), "VALARM");
  // A good one stores the words and takes the written tag over.
  const uint16_t goodWords[8] = {1, 1, 0, 0, 1, 0, 0, 1};
  set = FB_SetRequest(41, FB_ID_ALL_VALUES, goodWords, {});
  EXPECT_EQ(FB_VALARM_Param(&set, &bad), FB_OK);
  for (uint16_t k = 1; k <= 8; ++k) EXPECT_EQ(fx.wordValue(41, k, true), goodWords[k - 1]) << k;
  EXPECT_EQ(std::string(tag, FB_TEXT_LEN), "ALARMS 1        ");
}

TEST_F(ValarmTest, EverySlotHasALabel) {
  make({41});
  const std::string fallback = FW_GetText(0);
  for (int cls : {0, 1, 2}) {
    int16_t status = 0;
    FB_ReadValuesByClass(cls, 41, &status);
    ASSERT_EQ(status, 1);
    const FbValueLists& l = g_fbValueLists;
    if (l.rowCount == 1 && l.rows[0].entry == nullptr) continue;
    for (uint16_t r = 0; r < l.rowCount; ++r) {
      EXPECT_NE(l.rows[r].textId, 0) << "class " << cls << " row " << r;
      EXPECT_NE(FW_GetText(l.rows[r].textId), fallback) << "class " << cls << " row " << r;
    }
  }
}

}  // namespace
