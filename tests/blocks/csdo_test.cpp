// CSDO (one object of another bus node read or written on a trigger edge) and SAFE (signals
// passed through or replaced by safe values), with the system-bus node's test driver.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "block_cases.h"
#include "blocks/csdo/csdo.h"
#include "runtime/fw_sysimage.h"
#include "support/csdo_rig.h"
#include "support/save_recorder.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr uint16_t kCsdo = CsdoRig::kCsdo;
constexpr uint8_t kPartner = 9;

using bustest::Bytes;

// The fields of a request message the driver was handed.
struct Sent {
  uint8_t kind, node;
  uint16_t index;
  uint8_t sub, length;
  Bytes data;
};
Sent decodeRequest(const Bytes& m) {
  return Sent{m[0], m[1], static_cast<uint16_t>(m[2] << 8 | m[3]), m[4], m[5],
              bustest::dataOf(m)};
}

Bytes leBytes(uint32_t v, unsigned n) {
  Bytes b;
  for (unsigned i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return b;
}

// A CSDO wired to the partner with the given data type and access, idle.
void buildWired(CsdoRig& rig, uint8_t dataType, uint16_t access) {
  rig.build();
  rig.setAnalogInput(kCsdo, CsdoRig::kNode, kPartner);
  rig.setAnalogInput(kCsdo, CsdoRig::kDataType, dataType);
  rig.setDigitalInput(kCsdo, CsdoRig::kAccess, access);
  rig.start();
}

// =========================================================================================
// Start-up and the trigger

TEST(Csdo, WithoutBusOptionOrTriggerItStaysInactive) {
  struct Case {
    const char* what;
    char option;
    bool trigger;
  } cases[] = {{"no system-bus option", '0', true}, {"trig unconnected", '1', false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CsdoRig rig;
    CsdoRig::setOption(c.option);
    rig.createAt(BLK_TYPE_CSDO, kCsdo);
    if (c.trigger) rig.setDigitalInput(kCsdo, CsdoRig::kTrigger, 0);
    rig.init(kCsdo);
    EXPECT_EQ(CsdoRig::state().state, CSDO_INACTIVE);
    EXPECT_EQ(rig.err(), 1);
    EXPECT_EQ(rig.ready(), 1);
    for (int i = 0; i < 4; ++i) {
      rig.setDigitalInput(kCsdo, CsdoRig::kTrigger, static_cast<uint16_t>(i % 2));
      rig.run(kCsdo);
    }
    EXPECT_EQ(CsdoRig::state().state, CSDO_INACTIVE);
    EXPECT_EQ(rig.err(), 1);
    EXPECT_TRUE(CsdoRig::requests().empty());
  }
}

TEST(Csdo, SettlesForTwoCyclesThenWaitsForAnEdge) {
  CsdoRig rig;
  rig.build();
  rig.setDigitalInput(kCsdo, CsdoRig::kTrigger, 1);
  rig.init(kCsdo);
  EXPECT_EQ(rig.err(), 0);
  EXPECT_EQ(rig.ready(), 1);
  EXPECT_EQ(CsdoRig::state().state, CSDO_START);
  rig.run(kCsdo);
  EXPECT_EQ(CsdoRig::state().state, CSDO_SETTLE);
  rig.run(kCsdo);
  EXPECT_EQ(CsdoRig::state().state, CSDO_IDLE);
  rig.run(kCsdo);
  EXPECT_EQ(CsdoRig::state().state, CSDO_RUNNING) << "trig 1 after a remembered 0";
  EXPECT_EQ(rig.ready(), 0);
}

TEST(Csdo, OwnNodeAnswersTheTriggerWithAnErrorAtOnce) {
  CsdoRig rig;
  rig.build();
  rig.setAnalogInput(kCsdo, CsdoRig::kNode, CsdoRig::kOwnNode);
  rig.start();
  rig.trigger();
  EXPECT_EQ(rig.err(), 1);
  EXPECT_EQ(rig.ready(), 1);
  EXPECT_EQ(CsdoRig::state().state, CSDO_IDLE);
  EXPECT_TRUE(CsdoRig::requests().empty());
}

TEST(Csdo, HoldingTheTriggerStartsOneTransferOnly) {
  CsdoRig rig;
  buildWired(rig, CSDO_UINT8, 0);
  rig.trigger();
  ASSERT_EQ(CsdoRig::requests().size(), 1u);
  rig.run(kCsdo, 10);   // times out on the empty bus
  ASSERT_EQ(rig.ready(), 1);
  rig.run(kCsdo, 5);
  EXPECT_EQ(CsdoRig::requests().size(), 1u) << "trig still 1";
  // An edge during the transfer is not remembered.
  rig.trigger();
  ASSERT_EQ(CsdoRig::requests().size(), 2u);
  rig.setDigitalInput(kCsdo, CsdoRig::kTrigger, 0);
  rig.run(kCsdo);
  rig.setDigitalInput(kCsdo, CsdoRig::kTrigger, 1);
  rig.run(kCsdo, 9);
  ASSERT_EQ(rig.ready(), 1);
  rig.run(kCsdo, 3);
  EXPECT_EQ(CsdoRig::requests().size(), 2u);
}

// =========================================================================================
// Inputs of a transfer

// Inputs from analog sources, checked before they become integers: every bad value answers
// the edge with err 1 and ready 1 and hands nothing to the bus; fractions inside the limits
// are truncated.
TEST(Csdo, InputsAreCheckedBeforeTheyBecomeIntegers) {
  struct Case {
    const char* what;
    float node, dataType, subIndex, index;
    uint16_t access;
    std::optional<Sent> sent;   // empty: refused
  } cases[] = {
      {"plain read", 9, 2, 1, 0x2010, 0, Sent{COM_MSG_UPLOAD, 9, 0x2010, 1, 0, {}}},
      {"fractions truncated", 9.9f, 2.5f, 3.7f, 4096.5f, 0,
       Sent{COM_MSG_UPLOAD, 9, 4096, 3, 0, {}}},
      {"lowest values", 1.0f, 0.0f, 0.0f, 1.0f, 0, Sent{COM_MSG_UPLOAD, 1, 1, 0, 0, {}}},
      {"highest values", 42.9f, 6.0f, 255.0f, 65535.0f, 0,
       Sent{COM_MSG_UPLOAD, 42, 65535, 255, 0, {}}},
      {"own node by truncation", 5.5f, 2, 1, 0x2010, 0, std::nullopt},
      {"node NaN", kNaN, 2, 1, 0x2010, 0, std::nullopt},
      {"node 0.5", 0.5f, 2, 1, 0x2010, 0, std::nullopt},
      {"node 43", 43.0f, 2, 1, 0x2010, 0, std::nullopt},
      {"node +1.5e37", 1.5e37f, 2, 1, 0x2010, 0, std::nullopt},
      {"node -1.5e37", -1.5e37f, 2, 1, 0x2010, 0, std::nullopt},
      {"r/w 2", 9, 2, 1, 0x2010, 2, std::nullopt},
      {"data type 6.5", 9, 6.5f, 1, 0x2010, 0, std::nullopt},
      {"data type -0.5", 9, -0.5f, 1, 0x2010, 0, std::nullopt},
      {"data type NaN", 9, kNaN, 1, 0x2010, 0, std::nullopt},
      {"sub-index 256", 9, 2, 256.0f, 0x2010, 0, std::nullopt},
      {"sub-index -1", 9, 2, -1.0f, 0x2010, 0, std::nullopt},
      {"sub-index -1.5e37", 9, 2, -1.5e37f, 0x2010, 0, std::nullopt},
      {"index 0.5", 9, 2, 1, 0.5f, 0, std::nullopt},
      {"index 65535.5", 9, 2, 1, 65535.5f, 0, std::nullopt},
      {"index infinite", 9, 2, 1, kInf, 0, std::nullopt},
      {"index NaN", 9, 2, 1, kNaN, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CsdoRig rig;
    rig.build();
    rig.setAnalogInput(kCsdo, CsdoRig::kNode, c.node);
    rig.setAnalogInput(kCsdo, CsdoRig::kDataType, c.dataType);
    rig.setAnalogInput(kCsdo, CsdoRig::kSubIndex, c.subIndex);
    rig.setAnalogInput(kCsdo, CsdoRig::kIndex, c.index);
    rig.setDigitalInput(kCsdo, CsdoRig::kAccess, c.access);
    rig.start();
    rig.trigger();
    if (!c.sent) {
      EXPECT_TRUE(CsdoRig::requests().empty());
      EXPECT_EQ(rig.err(), 1);
      EXPECT_EQ(rig.ready(), 1);
      EXPECT_EQ(CsdoRig::state().state, CSDO_IDLE);
      continue;
    }
    ASSERT_EQ(CsdoRig::requests().size(), 1u);
    const Sent s = decodeRequest(CsdoRig::requests()[0]);
    EXPECT_EQ(s.kind, c.sent->kind);
    EXPECT_EQ(s.node, c.sent->node);
    EXPECT_EQ(s.index, c.sent->index);
    EXPECT_EQ(s.sub, c.sent->sub);
    EXPECT_EQ(rig.err(), 0);
    EXPECT_EQ(rig.ready(), 0);
  }
}

// A refused edge is not the end: after trig falls, the next edge with good inputs transfers.
TEST(Csdo, ARefusedEdgeLeavesTheBlockIdle) {
  CsdoRig rig;
  rig.build();
  rig.setAnalogInput(kCsdo, CsdoRig::kNode, kNaN);
  rig.start();
  rig.trigger();
  ASSERT_EQ(rig.err(), 1);
  rig.setAnalogInput(kCsdo, CsdoRig::kNode, kPartner);
  rig.trigger();
  EXPECT_EQ(CsdoRig::requests().size(), 1u);
  EXPECT_EQ(rig.err(), 0);
  EXPECT_EQ(rig.ready(), 0);
}

// Unconnected inputs read the parameters: Access, NodeId, D-Type, SubInd, Index and Value;
// the float copies of the word parameters follow a change at the next edge.
TEST(Csdo, UnconnectedInputsReadTheParameters) {
  CsdoRig rig;
  rig.build();
  setWordParams(rig, kCsdo, {{1, 1}, {2, 12}, {3, CSDO_INT16}, {4, 7}});
  setFloatParams(rig, kCsdo, {{1, 0x2345}, {2, -2.0f}});
  rig.start();
  rig.trigger();
  ASSERT_EQ(CsdoRig::requests().size(), 1u);
  Sent s = decodeRequest(CsdoRig::requests()[0]);
  EXPECT_EQ(s.kind, COM_MSG_DOWNLOAD) << "Access 1 writes";
  EXPECT_EQ(s.node, 12);
  EXPECT_EQ(s.index, 0x2345);
  EXPECT_EQ(s.sub, 7);
  EXPECT_EQ(s.length, 2);
  EXPECT_EQ(s.data, (Bytes{0xFE, 0xFF}));
  rig.run(kCsdo, 10);
  ASSERT_EQ(rig.ready(), 1);

  uint16_t bad = 0;
  ASSERT_EQ(sendParam(FB_WordRequest(kCsdo, 1251, 30), &bad), FB_OK);
  ASSERT_EQ(sendParam(FB_WordRequest(kCsdo, 1250, 0), &bad), FB_OK);
  rig.trigger();
  ASSERT_EQ(CsdoRig::requests().size(), 2u);
  s = decodeRequest(CsdoRig::requests()[1]);
  EXPECT_EQ(s.kind, COM_MSG_UPLOAD);
  EXPECT_EQ(s.node, 30);
}

// =========================================================================================
// Writes: the value's low bytes (saturated to 64 bits first), or its IEEE bits for "Float",
// lowest byte first, with the data type's length.

TEST(Csdo, WriteValuesAreCodedByDataType) {
  struct Case {
    uint8_t dataType;
    float value;
    Bytes data;
  } cases[] = {
      {CSDO_INT16, -1.0f, {0xFF, 0xFF}},
      {CSDO_UINT16, 4660.0f, {0x34, 0x12}},
      {CSDO_UINT8, 300.0f, {0x2C}},
      {CSDO_INT8, -2.9f, {0xFE}},
      {CSDO_UINT32, 305419776.0f, {0x00, 0x56, 0x34, 0x12}},
      {CSDO_INT32, -2.0f, {0xFE, 0xFF, 0xFF, 0xFF}},
      {CSDO_UINT32, kNaN, {0, 0, 0, 0}},
      {CSDO_UINT16, 1.5e37f, {0xFF, 0xFF}},
      {CSDO_UINT8, -1.5e37f, {0x00}},
      {CSDO_FLOAT, 2.5f, leBytes(std::bit_cast<uint32_t>(2.5f), 4)},
      {CSDO_FLOAT, -1.5e37f, leBytes(std::bit_cast<uint32_t>(-1.5e37f), 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << int{c.dataType} << " value " << c.value);
    CsdoRig rig;
    rig.build();
    rig.setAnalogInput(kCsdo, CsdoRig::kNode, kPartner);
    rig.setAnalogInput(kCsdo, CsdoRig::kDataType, c.dataType);
    rig.setAnalogInput(kCsdo, CsdoRig::kValue, c.value);
    setWordParams(rig, kCsdo, {{1, 1}});   // r/w unconnected: Access "write"
    rig.start();
    rig.trigger();
    ASSERT_EQ(CsdoRig::requests().size(), 1u);
    const Sent s = decodeRequest(CsdoRig::requests()[0]);
    EXPECT_EQ(s.kind, COM_MSG_DOWNLOAD);
    EXPECT_EQ(s.length, c.data.size());
    EXPECT_EQ(s.data, c.data);
    EXPECT_EQ(CsdoRig::state().request.length, c.data.size());

    CsdoRig::answer(kPartner);
    rig.run(kCsdo);
    EXPECT_EQ(rig.y(), 0.0f);
    EXPECT_EQ(rig.err(), 0);
    EXPECT_EQ(rig.ready(), 1);
    EXPECT_EQ(CsdoRig::state().state, CSDO_IDLE);
  }
}

// =========================================================================================
// Reads, answered by the partner

TEST(Csdo, ReadAnswersAreDecodedByDataType) {
  struct Case {
    uint8_t dataType;
    Bytes data;
    float y;
  } cases[] = {
      {CSDO_UINT8, {0xF4}, 244.0f},
      {CSDO_INT8, {0xF4}, -12.0f},
      {CSDO_UINT16, {0x34, 0x12}, 4660.0f},
      {CSDO_INT16, {0x34, 0xFF}, -204.0f},
      {CSDO_UINT32, {0x78, 0x56, 0x34, 0x12}, 305419896.0f},
      {CSDO_UINT32, {0xFF, 0xFF, 0xFF, 0xFF}, 4294967295.0f},
      {CSDO_INT32, {0xFE, 0xFF, 0xFF, 0xFF}, -2.0f},
      {CSDO_FLOAT, leBytes(std::bit_cast<uint32_t>(-12.75f), 4), -12.75f},
      {CSDO_FLOAT, leBytes(std::bit_cast<uint32_t>(kNaN), 4), 0.0f},
      {CSDO_FLOAT, leBytes(std::bit_cast<uint32_t>(kInf), 4), 1.5e37f},
      {CSDO_UINT16, {0x34}, 52.0f},   // a short answer: the missing byte reads 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << int{c.dataType} << " expecting " << c.y);
    CsdoRig rig;
    buildWired(rig, c.dataType, 0);
    rig.trigger();
    ASSERT_EQ(CsdoRig::requests().size(), 1u);
    EXPECT_EQ(decodeRequest(CsdoRig::requests()[0]).kind, COM_MSG_UPLOAD);
    rig.run(kCsdo, 3);
    EXPECT_EQ(rig.ready(), 0) << "waiting";
    CsdoRig::answerRead(kPartner, c.data);
    rig.run(kCsdo);
    EXPECT_EQ(rig.y(), c.y);
    EXPECT_EQ(rig.err(), 0);
    EXPECT_EQ(rig.ready(), 1);
    EXPECT_EQ(COM_BusOutstanding(), 0);
  }
}

TEST(Csdo, AbortedTransferEndsWithAnError) {
  CsdoRig rig;
  buildWired(rig, CSDO_UINT16, 0);
  rig.trigger();
  CsdoRig::answerRead(kPartner, {0x34, 0x12});
  rig.run(kCsdo);
  ASSERT_EQ(rig.y(), 4660.0f);
  rig.trigger();
  CsdoRig::abort(kPartner, COM_ABORT_NO_OBJECT);
  rig.run(kCsdo);
  EXPECT_EQ(rig.y(), 0.0f);
  EXPECT_EQ(rig.err(), 1);
  EXPECT_EQ(rig.ready(), 1);
  EXPECT_EQ(COM_BusOutstanding(), 0);
}

// =========================================================================================
// Time-outs and refused starts

TEST(Csdo, OnTheEmptyBusATransferEndsAfterNineWaitingCycles) {
  CsdoRig rig;
  buildWired(rig, CSDO_UINT32, 0);
  rig.run(kCsdo);   // trig 0 remembered
  rig.setDigitalInput(kCsdo, CsdoRig::kTrigger, 1);
  rig.run(kCsdo);
  ASSERT_EQ(COM_BusOutstanding(), 1);
  for (int i = 0; i < 9; ++i) {
    rig.run(kCsdo);
    ASSERT_EQ(rig.ready(), 0) << "waiting cycle " << i + 1;
  }
  rig.run(kCsdo);
  EXPECT_EQ(rig.y(), 0.0f);
  EXPECT_EQ(rig.err(), 1);
  EXPECT_EQ(rig.ready(), 1);
  EXPECT_EQ(COM_BusOutstanding(), 0) << "the request is withdrawn";
  EXPECT_EQ(CsdoRig::requests().size(), 1u);
}

TEST(Csdo, TenRefusedStartsEndTheTransfer) {
  CsdoRig rig;
  buildWired(rig, CSDO_UINT32, 1);
  CsdoRig::refuseRequests(true);
  rig.trigger();
  EXPECT_EQ(rig.ready(), 0);
  for (int i = 0; i < 9; ++i) {
    rig.run(kCsdo);
    ASSERT_EQ(rig.ready(), 0) << "retry " << i + 1;
  }
  EXPECT_EQ(CsdoRig::requests().size(), 10u);
  rig.run(kCsdo);
  EXPECT_EQ(rig.err(), 1);
  EXPECT_EQ(rig.ready(), 1);
  EXPECT_EQ(CsdoRig::requests().size(), 10u);
  EXPECT_EQ(COM_BusOutstanding(), 0);
}

// A start refused a few times and then accepted waits for its answer as usual.
TEST(Csdo, AStartAcceptedOnARetryIsAnswered) {
  CsdoRig rig;
  buildWired(rig, CSDO_INT16, 0);
  CsdoRig::refuseRequests(true);
  rig.trigger();
  rig.run(kCsdo, 4);
  CsdoRig::refuseRequests(false);
  rig.run(kCsdo);
  EXPECT_EQ(CsdoRig::state().counter, CSDO_ACCEPTED);
  EXPECT_EQ(COM_BusOutstanding(), 1);
  CsdoRig::answerRead(kPartner, {0x34, 0xFF});
  rig.run(kCsdo);
  EXPECT_EQ(rig.y(), -204.0f);
  EXPECT_EQ(rig.err(), 0);
}

// Timed-out transfers hold none of the bus node's ten request slots: after eleven of them,
// on eleven nodes, a twelfth is still accepted.
TEST(Csdo, TimedOutTransfersFreeTheirRequestSlots) {
  CsdoRig rig;
  constexpr uint16_t kBlocks = 12;
  for (uint16_t i = 0; i < kBlocks; ++i) {
    const auto block = static_cast<uint16_t>(kCsdo + i);
    rig.build(block);
    rig.setAnalogInput(block, CsdoRig::kNode, static_cast<float>(10 + i));
    rig.start(block);
  }
  for (uint16_t i = 0; i + 1 < kBlocks; ++i) {
    const auto block = static_cast<uint16_t>(kCsdo + i);
    rig.trigger(block);
    ASSERT_EQ(COM_BusOutstanding(), 1) << "transfer " << i + 1;
    rig.run(block, 10);
    ASSERT_EQ(rig.err(block), 1);
    ASSERT_EQ(COM_BusOutstanding(), 0);
  }
  const auto last = static_cast<uint16_t>(kCsdo + kBlocks - 1);
  rig.trigger(last);
  EXPECT_EQ(CsdoRig::state(last).counter, CSDO_ACCEPTED);
  EXPECT_EQ(CsdoRig::state(last).request.state, COM_REQ_SENT);
  EXPECT_EQ(COM_BusOutstanding(), 1);
}

// A new start-up pass during a transfer withdraws the request.
TEST(Csdo, InitWithdrawsARunningTransfer) {
  CsdoRig rig;
  buildWired(rig, CSDO_UINT8, 0);
  rig.trigger();
  ASSERT_EQ(COM_BusOutstanding(), 1);
  rig.init(kCsdo);
  EXPECT_EQ(COM_BusOutstanding(), 0);
  EXPECT_EQ(rig.ready(), 1);
  EXPECT_EQ(CsdoRig::state().state, CSDO_START);
}

// =========================================================================================
// Parameters

TEST(CsdoParams, SingleValuesAndTheirLimits) {
  const RefusedRequest refused[] = {
      {"Index 0", BLK_TYPE_CSDO, FB_FloatRequest(kBlock, 1000, 0.0f), FB_ERR_LIMITS, 0},
      {"Index 65536", BLK_TYPE_CSDO, FB_FloatRequest(kBlock, 1000, 65536.0f), FB_ERR_LIMITS, 0},
      {"Index NaN", BLK_TYPE_CSDO, FB_FloatRequest(kBlock, 1000, kNaN), FB_ERR_LIMITS, 0},
      {"Value -30000", BLK_TYPE_CSDO, FB_FloatRequest(kBlock, 1001, -30000.0f), FB_ERR_LIMITS, 0},
      {"Value off", BLK_TYPE_CSDO, FB_FloatRequest(kBlock, 1001, FW_NO_VALUE), FB_ERR_LIMITS, 0},
      {"Access 2", BLK_TYPE_CSDO, FB_WordRequest(kBlock, 1250, 2), FB_ERR_LIMITS, 0},
      {"NodeId 0", BLK_TYPE_CSDO, FB_WordRequest(kBlock, 1251, 0), FB_ERR_LIMITS, 0},
      {"NodeId 43", BLK_TYPE_CSDO, FB_WordRequest(kBlock, 1251, 43), FB_ERR_LIMITS, 0},
      {"D-Type 7", BLK_TYPE_CSDO, FB_WordRequest(kBlock, 1252, 7), FB_ERR_LIMITS, 0},
      {"SubInd 256", BLK_TYPE_CSDO, FB_WordRequest(kBlock, 1253, 256), FB_ERR_LIMITS, 0},
      {"no fifth word", BLK_TYPE_CSDO, FB_WordRequest(kBlock, 1254, 0), FB_ERR_UNKNOWN_ID, 0},
      {"no third float", BLK_TYPE_CSDO, FB_FloatRequest(kBlock, 1002, 0.0f), FB_ERR_UNKNOWN_ID, 0},
      {"no word value", BLK_TYPE_CSDO, FB_WordRequest(kBlock, 3000, 0), FB_ERR_UNKNOWN_ID, 0},
  };
  for (const RefusedRequest& c : refused) expectRefusedChangesNothing(c);
  expectRunModeSave(BLK_TYPE_CSDO, 1001, -29999.0f, 999999.0f);
  expectRunModeSave(BLK_TYPE_CSDO, 1000, 65535.0f, 1.0f);
}

TEST(CsdoParams, WordChangesAreTakenOverAndSavedByTheRun) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveLog log;
  fx.create(BLK_TYPE_CSDO, kBlock);
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 99;
  EXPECT_EQ(sendParam(FB_WordRequest(kBlock, 1252, CSDO_UINT32), &bad), FB_OK);
  EXPECT_EQ(g_fbPending.words[kBlock], 0) << "equal to the current value: nothing marked";
  EXPECT_EQ(sendParam(FB_WordRequest(kBlock, 1253, 9), &bad), FB_OK);
  EXPECT_EQ(fx.wordParam(kBlock, 4), 0) << "waits for the run";
  fx.run(kBlock);
  g_fwRunMode = FW_RUN_MODE_STOP;
  EXPECT_EQ(fx.wordParam(kBlock, 4), 9);
  EXPECT_EQ(log.saves(), (std::vector<SaveCall>{{FbSaveGroup::WordParams, kBlock, 1, 4}}));
}

// 4000: the four words, then the two floats; count check 5 and 2; bad indexes 1..4 and 5..6.
TEST(CsdoParams, WholeSet) {
  const uint16_t words[] = {1, 12, CSDO_FLOAT, 255};
  const float floats[] = {0x2010, 12.5f};
  auto withWord = [&](unsigned k, uint16_t v) {
    std::vector<uint16_t> w(std::begin(words), std::end(words));
    w[k] = v;
    return FB_SetRequest(kBlock, 4000, w, floats);
  };
  auto withFloat = [&](unsigned k, float v) {
    std::vector<float> f(std::begin(floats), std::end(floats));
    f[k] = v;
    return FB_SetRequest(kBlock, 4000, words, f);
  };
  const RefusedRequest refused[] = {
      {"Access 2", BLK_TYPE_CSDO, withWord(0, 2), FB_ERR_LIMITS, 1},
      {"NodeId 43", BLK_TYPE_CSDO, withWord(1, 43), FB_ERR_LIMITS, 2},
      {"D-Type 7", BLK_TYPE_CSDO, withWord(2, 7), FB_ERR_LIMITS, 3},
      {"SubInd 256", BLK_TYPE_CSDO, withWord(3, 256), FB_ERR_LIMITS, 4},
      {"Index 0", BLK_TYPE_CSDO, withFloat(0, 0.0f), FB_ERR_LIMITS, 5},
      {"Value NaN", BLK_TYPE_CSDO, withFloat(1, kNaN), FB_ERR_LIMITS, 6},
      {"three words", BLK_TYPE_CSDO, FB_SetRequest(kBlock, 4000, std::span(words, 3), floats),
       FB_ERR_COUNT_Y, 0},
      {"one float", BLK_TYPE_CSDO, FB_SetRequest(kBlock, 4000, words, std::span(floats, 1)),
       FB_ERR_COUNT_Z, 0},
  };
  for (const RefusedRequest& c : refused) expectRefusedChangesNothing(c);

  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_CSDO, kBlock);
  uint16_t bad = 99;
  ASSERT_EQ(sendParam(FB_SetRequest(kBlock, 4000, words, floats), &bad), FB_OK);
  for (uint16_t k = 0; k < 4; ++k) EXPECT_EQ(fx.wordParam(kBlock, k + 1), words[k]);
  EXPECT_EQ(fx.floatParam(kBlock, 1).get(), floats[0]);
  EXPECT_EQ(fx.floatParam(kBlock, 2).get(), floats[1]);
}

// =========================================================================================
// SAFE

constexpr uint16_t kSafeSelect = 9;

struct SafeRig : BlockFixture {
  SafeRig() : BlockFixture(BLK_RegisterAllTypes) {
    saved_ = FW_SysImage()[FW_SYS_FLAGS38];
    create(BLK_TYPE_SAFE, kBlock);
    for (uint16_t k = 1; k <= 8; ++k) {
      floatParam(kBlock, k) = 100.0f + k;
      wordParam(kBlock, k) = k % 2;
    }
  }
  ~SafeRig() { FW_SysImage()[FW_SYS_FLAGS38] = saved_; }
  SafeRig(const SafeRig&) = delete;
  SafeRig& operator=(const SafeRig&) = delete;

  void setInputs(float base, uint16_t digital) {
    for (uint16_t k = 1; k <= 8; ++k) {
      setAnalogInput(kBlock, k, base + k);
      setDigitalInput(kBlock, k, digital);
    }
  }
  uint8_t saved_ = 0;
};

TEST(Safe, PutsOutItsParametersWhileSelectedOrInTheSafeState) {
  struct Case {
    const char* what;
    uint16_t select;
    uint8_t flags;
    bool safe;
  } cases[] = {
      {"pass-through", 0, 0x00, false},
      {"select", 1, 0x00, true},
      {"select non-zero", 7, 0x00, true},
      {"safe-state flag", 0, 0x20, true},
      {"other flag bits", 0, 0xDF, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SafeRig rig;
    FW_SysImage()[FW_SYS_FLAGS38] = c.flags;
    rig.setDigitalInput(kBlock, kSafeSelect, c.select);
    rig.init(kBlock);
    for (float base : {10.0f, 20.0f}) {   // the inputs change between runs
      const uint16_t digital = base == 10.0f ? 1 : 0;
      rig.setInputs(base, digital);
      rig.run(kBlock);
      for (uint16_t k = 1; k <= 8; ++k) {
        EXPECT_EQ(rig.analogOut(kBlock, k), c.safe ? 100.0f + k : base + k) << "Y " << k;
        EXPECT_EQ(rig.digitalOut(kBlock, k), c.safe ? k % 2 : digital) << "z " << k;
      }
    }
  }
}

TEST(Safe, InitClearsTheOutputsAndPassedValuesStayBounded) {
  SafeRig rig;
  rig.setInputs(1.0f, 1);
  rig.run(kBlock);
  ASSERT_EQ(rig.analogOut(kBlock, 1), 2.0f);
  rig.init(kBlock);
  for (uint16_t k = 1; k <= 8; ++k) {
    EXPECT_EQ(rig.analogOut(kBlock, k), 0.0f);
    EXPECT_EQ(rig.digitalOut(kBlock, k), 0);
  }
  rig.setAnalogInput(kBlock, 1, kNaN);
  rig.setAnalogInput(kBlock, 2, -kInf);
  rig.run(kBlock);
  EXPECT_EQ(rig.analogOut(kBlock, 1), 0.0f);
  EXPECT_EQ(rig.analogOut(kBlock, 2), -FW_VALUE_MAX);
}

// 4000: the eight words first, then the eight floats (count check 9 and 8).
TEST(SafeParams, WholeSetAndSingleValues) {
  const std::vector<uint16_t> words(8, 1);
  const std::vector<float> floats(8, -29999.0f);
  std::vector<float> badThird = floats;
  badThird[2] = 1e6f;
  std::vector<uint16_t> badFifth = words;
  badFifth[4] = 2;
  const RefusedRequest refused[] = {
      {"third float", BLK_TYPE_SAFE, FB_SetRequest(kBlock, 4000, words, badThird), FB_ERR_LIMITS, 11},
      {"fifth word", BLK_TYPE_SAFE, FB_SetRequest(kBlock, 4000, badFifth, floats), FB_ERR_LIMITS, 5},
      {"seven floats", BLK_TYPE_SAFE, FB_SetRequest(kBlock, 4000, words, std::span(floats.data(), 7)),
       FB_ERR_COUNT_Z, 0},
      {"nine words", BLK_TYPE_SAFE, FB_SetRequest(kBlock, 4000, std::vector<uint16_t>(9, 0), floats),
       FB_ERR_COUNT_Y, 0},
      {"Y 8 off", BLK_TYPE_SAFE, FB_FloatRequest(kBlock, 1007, FW_NO_VALUE), FB_ERR_LIMITS, 0},
      {"z 1 = 2", BLK_TYPE_SAFE, FB_WordRequest(kBlock, 1250, 2), FB_ERR_LIMITS, 0},
      {"no ninth float", BLK_TYPE_SAFE, FB_FloatRequest(kBlock, 1008, 0.0f), FB_ERR_UNKNOWN_ID, 0},
  };
  for (const RefusedRequest& c : refused) expectRefusedChangesNothing(c);
  expectRunModeSave(BLK_TYPE_SAFE, 1007, 999999.0f, -5.0f);

  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_SAFE, kBlock);
  uint16_t bad = 99;
  ASSERT_EQ(sendParam(FB_SetRequest(kBlock, 4000, words, floats), &bad), FB_OK);
  for (uint16_t k = 1; k <= 8; ++k) {
    EXPECT_EQ(fx.wordParam(kBlock, k), 1);
    EXPECT_EQ(fx.floatParam(kBlock, k).get(), -29999.0f);
  }
}

}  // namespace
