// Bus and cross-communication blocks (CSEND, CRCV, C_MX6x, MX6x, CPREAD, CPWRIT) on the
// mapping tables and node records of the system-bus node, with the node's test driver.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "block_cases.h"
#include "blocks/bus/bus.h"
#include "support/bus_rig.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr uint16_t kOwn = BusRig::kOwnNode;

// Float places of the cross objects, most significant byte first.
float floatAt(const uint8_t* b) {
  return std::bit_cast<float>(uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3]);
}
void putFloat(uint8_t* b, float f) {
  const uint32_t v = std::bit_cast<uint32_t>(f);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
uint16_t le16(const uint8_t* b) { return static_cast<uint16_t>(b[0] | b[1] << 8); }
void putLe16(uint8_t* b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}

// =========================================================================================
// CSEND and CRCV

// CSEND outputs: valid. CRCV outputs: id-err, valid, do 1..16.
constexpr uint16_t kSendValid = 1;
constexpr uint16_t kRcvIdErr = 1, kRcvValid = 2, kRcvDo1 = 3;

// A CSEND with every analog input wired, built, started and run into state 6.
void startSender(BusRig& fx, uint16_t block, float x = 0.0f, float delta = 0.1f) {
  fx.createAt(BLK_TYPE_CSEND, block);
  setFloatParams(fx, block, {{1, delta}});
  for (uint16_t k = 1; k <= 9; ++k) fx.setAnalogInput(block, k, x);
  fx.init(block);
  fx.run(block);
}

// A CRCV listening to `sender`, whose partner record is known and operational; run until it
// takes data.
void startReceiver(BusRig& fx, uint16_t block, uint16_t sender) {
  fx.createAt(BLK_TYPE_CRCV, block);
  fx.setWordValue(block, 1, static_cast<int16_t>(sender));
  BusRig::partner(sender, COM_KIND_OWN_FAMILY);
  fx.init(block);
  ASSERT_TRUE(fx.runUntil(block, BUS_LINK_EXCHANGING));
}

TEST(CrossComm, EachPairUsesFiveIdsFromTheSendersAddress) {
  struct Case {
    uint16_t send, receive;
    std::vector<uint32_t> ids;   // with sender address 5
  } cases[] = {
      {21, 22, {389, 729, 965, 1085, 1205}},  {23, 24, {645, 869, 989, 1109, 1229}},
      {25, 26, {431, 893, 1013, 1133, 1253}}, {27, 28, {687, 917, 1037, 1157, 1277}},
      {29, 30, {473, 941, 1061, 1181, 1301}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.send);
    BusRig fx;
    startSender(fx, c.send);
    EXPECT_EQ(BusRig::outputIds(), c.ids);
    // The receiver sits in another device (node 7) and is set to the sender's address 5.
    BusRig::setOwnNode(7);
    startReceiver(fx, c.receive, kOwn);
    EXPECT_EQ(BusRig::inputIds(), c.ids);
  }
}

TEST(CrossComm, BlockNumbersWithoutIdsStayInactive) {
  BusRig fx;
  startSender(fx, 31);
  fx.createAt(BLK_TYPE_CRCV, 32);
  fx.setWordValue(32, 1, 3);
  fx.init(32);
  EXPECT_EQ(fx.digitalOut(32, kRcvIdErr), 0);
  fx.run(32);
  EXPECT_EQ(BLK_BusLinkState(31), BUS_LINK_INACTIVE);
  EXPECT_EQ(BLK_BusLinkState(32), BUS_LINK_INACTIVE);
  EXPECT_EQ(fx.digitalOut(31, kSendValid), 0);
  EXPECT_EQ(fx.digitalOut(32, kRcvIdErr), 1) << "from the first run";
  EXPECT_TRUE(BusRig::outputIds().empty());
  EXPECT_TRUE(BusRig::inputIds().empty());
  EXPECT_EQ(BusRig::node(3).configStage, COM_USE_CLAIMED) << "the partner is marked first";
}

TEST(CrossComm, SenderCodesFloatsMostSignificantByteFirstAndBitsFromBitZero) {
  BusRig fx;
  startSender(fx, 21);
  fx.setAnalogInput(21, 1, 1.0f);
  fx.setAnalogInput(21, 9, -2.5f);
  fx.setDigitalInput(21, 1, 1);
  fx.setDigitalInput(21, 9, 1);
  fx.setDigitalInput(21, 16, 7);  // any non-zero input is a 1
  fx.run(21);
  const uint8_t* o1 = BusRig::outputObject(389);
  ASSERT_NE(o1, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(o1, o1 + 8),
            (std::vector<uint8_t>{0x01, 0x81, 0x00, 0x00, 0x3F, 0x80, 0x00, 0x00}));
  const uint8_t* o5 = BusRig::outputObject(1205);
  EXPECT_EQ(std::vector<uint8_t>(o5 + 4, o5 + 8), (std::vector<uint8_t>{0xC0, 0x20, 0x00, 0x00}));
  EXPECT_EQ(fx.digitalOut(21, kSendValid), 1) << "the own node is operational";
}

// X 3 lies in object 2, bytes 4..7.
TEST(CrossComm, SenderWritesAValueOnlyWhenItMovedByDelta) {
  struct Case {
    float delta, from, to;
    bool sent;
  } cases[] = {
      {0.5f, 10.0f, 10.4f, false}, {0.5f, 10.0f, 10.5f, true}, {0.5f, 10.0f, 9.5f, true},
      {0.5f, 10.0f, 9.6f, false},  {0.0f, 10.0f, 10.0001f, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
    BusRig fx;
    fx.createAt(BLK_TYPE_CSEND, 21);
    setFloatParams(fx, 21, {{1, c.delta}});
    fx.setAnalogInput(21, 3, c.from);
    fx.init(21);
    fx.run(21, 2);
    const uint8_t* place = BusRig::outputObject(729) + 4;
    ASSERT_EQ(floatAt(place), c.from);
    fx.setAnalogInput(21, 3, c.to);
    fx.run(21, 2);   // values are compared in every second run
    EXPECT_EQ(floatAt(place), c.sent ? c.to : c.from);
  }
}

// With steady inputs the heartbeat counter moves every 20 runs, delta 0 included.
TEST(CrossComm, HeartbeatMovesEveryTwentyRunsWithSteadyInputs) {
  for (float delta : {0.0f, 0.1f, 5.0f}) {
    SCOPED_TRACE(delta);
    BusRig fx;
    startSender(fx, 21, 3.5f, delta);
    const uint8_t* o1 = BusRig::outputObject(389);
    std::vector<int> moves;
    uint16_t last = le16(o1 + 2);
    for (int run = 1; run <= 130; ++run) {
      fx.run(21);
      if (le16(o1 + 2) != last) moves.push_back(run);
      last = le16(o1 + 2);
    }
    ASSERT_GE(moves.size(), 5u);
    for (size_t i = 1; i < moves.size(); ++i) EXPECT_EQ(moves[i] - moves[i - 1], 20);
  }
}

TEST(CrossComm, OnlyObjectsWithAWiredInputAreCreated) {
  struct Case {
    std::vector<uint16_t> wired;
    std::vector<uint32_t> ids;
  } cases[] = {
      {{1, 2, 3}, {389, 729}},
      {{}, {389}},
      {{8}, {389, 1205}},
      {{5, 6}, {389, 965, 1085}},
  };
  for (const Case& c : cases) {
    BusRig fx;
    fx.createAt(BLK_TYPE_CSEND, 21);
    for (uint16_t k : c.wired) fx.setAnalogInput(21, k, 1.0f);
    fx.init(21);
    fx.run(21, 40);
    EXPECT_EQ(BusRig::outputIds(), c.ids);
  }
}

TEST(CrossComm, SenderFailures) {
  struct Case {
    const char* what;
    char option;
    uint16_t freeOutputs;      // places left in the output table before Init
    bool idTaken;              // another block already sends object 1's id
    bool ownOperational;
    uint8_t state;
    uint16_t valid;
    bool written;              // the values reach the object
  } cases[] = {
      {"no bus option", '0', 39, false, true, BUS_LINK_INACTIVE, 0, false},
      {"id already sent", '1', 39, true, true, BUS_LINK_INACTIVE, 0, false},
      {"output table full", '1', 0, false, true, BUS_LINK_INACTIVE, 0, false},
      {"room for two of five", '1', 2, false, true, BUS_LINK_INACTIVE, 0, false},
      {"own node not operational", '1', 39, false, false, BUS_LINK_WAIT_OPERATIONAL, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BusRig fx;
    BusRig::setOption(c.option);
    if (c.idTaken) COM_BusMapOutput(389);
    BusRig::fillOutputs(2000, c.freeOutputs);
    startSender(fx, 21, 4.0f);
    BusRig::ownNode().nmtState = c.ownOperational ? COM_NODE_OPERATIONAL : COM_NODE_PREOPERATIONAL;
    fx.run(21, 3);
    EXPECT_EQ(BLK_BusLinkState(21), c.state);
    EXPECT_EQ(fx.digitalOut(21, kSendValid), c.valid);
    const uint8_t* o1 = BusRig::outputObject(389);
    EXPECT_EQ(!c.idTaken && o1 && floatAt(o1 + 4) == 4.0f, c.written);
  }
}

TEST(CrossComm, ReceiverTakesWhatTheSenderWrites) {
  BusRig fx;
  startSender(fx, 23);
  const float xs[] = {1.5f, -2.0f, 3.25f, 1e6f, -0.25f, 0.0f, 7.0f, -8.5f, 1.5e37f};
  for (uint16_t k = 1; k <= 9; ++k) fx.setAnalogInput(23, k, xs[k - 1]);
  for (uint16_t k = 1; k <= 16; ++k) fx.setDigitalInput(23, k, k % 3 == 0);
  BusRig::setOwnNode(7);   // the receiver's device
  startReceiver(fx, 24, kOwn);
  BusRig::node(7).nmtState = COM_NODE_OPERATIONAL;
  for (int cycle = 0; cycle < 200; ++cycle) {
    fx.run(23);
    BusRig::carry();
    fx.run(24);
    ASSERT_EQ(fx.digitalOut(24, kRcvValid), 1) << "cycle " << cycle;
  }
  for (uint16_t k = 1; k <= 9; ++k) EXPECT_EQ(fx.analogOut(24, k), xs[k - 1]) << "Y " << k;
  for (uint16_t k = 1; k <= 16; ++k) {
    EXPECT_EQ(fx.digitalOut(24, kRcvDo1 + k - 1), k % 3 == 0 ? 1 : 0) << "do " << k;
  }
}

// The partner's counter word moves every `period` runs and nothing else changes.
TEST(CrossComm, ReceiverValidFallsInThe21stRunWithoutAChange) {
  struct Case {
    int period;   // 0: the partner stops changing anything
    int firstInvalidRun;   // 0: valid throughout
  } cases[] = {{20, 0}, {10, 0}, {22, 21}, {0, 21}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.period);
    BusRig fx;
    startReceiver(fx, 22, 3);
    uint8_t* o1 = BusRig::inputObject(387);
    ASSERT_NE(o1, nullptr);
    o1[0] = 0x05;
    putFloat(BusRig::inputObject(727), 2.5f);   // Y 2
    putLe16(o1 + 2, 1);
    fx.run(22);
    ASSERT_EQ(fx.digitalOut(22, kRcvValid), 1);
    int firstInvalid = 0;
    for (int run = 1; run <= 100; ++run) {
      if (c.period && run % c.period == 0) putLe16(o1 + 2, static_cast<uint16_t>(le16(o1 + 2) + 1));
      fx.run(22);
      if (!fx.digitalOut(22, kRcvValid) && !firstInvalid) firstInvalid = run;
    }
    EXPECT_EQ(firstInvalid, c.firstInvalidRun);
    EXPECT_EQ(fx.analogOut(22, 2), 2.5f) << "values stay";
    EXPECT_EQ(fx.digitalOut(22, kRcvDo1), 1);
    EXPECT_EQ(fx.digitalOut(22, kRcvDo1 + 2), 1);
  }
}

// Received bytes of any value: no NaN or infinity reaches Y k.
TEST(CrossComm, ReceivedFloatsAreBoundedWhateverTheirBits) {
  struct Case {
    uint32_t bits;
    float y;
  } cases[] = {
      {0x7FC00000u, 0.0f},      {0xFFC00001u, 0.0f},     {0x7F800000u, 1.5e37f},
      {0xFF800000u, -1.5e37f},  {0x7F7FFFFFu, 1.5e37f},  {0x00000001u, std::bit_cast<float>(1u)},
      {0x41200000u, 10.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    BusRig fx;
    startReceiver(fx, 22, 3);
    uint8_t* o5 = BusRig::inputObject(1203);
    for (int i = 0; i < 4; ++i) o5[4 + i] = static_cast<uint8_t>(c.bits >> (24 - 8 * i));
    fx.run(22, 2);
    EXPECT_EQ(fx.analogOut(22, 9), c.y);
  }
}

TEST(CrossComm, ReceiverIdentificationAndPartnerState) {
  // The own address as NodeId, or no bus option: id-err from the start-up pass on.
  for (char option : {'1', '0'}) {
    BusRig fx;
    BusRig::setOption(option);
    fx.createAt(BLK_TYPE_CRCV, 22);
    fx.setWordValue(22, 1, option == '1' ? kOwn : 3);
    fx.init(22);
    EXPECT_EQ(fx.digitalOut(22, kRcvIdErr), 1);
    EXPECT_EQ(BLK_BusLinkState(22), BUS_LINK_INACTIVE);
    EXPECT_TRUE(BusRig::inputIds().empty());
  }

  BusRig fx;
  fx.createAt(BLK_TYPE_CRCV, 22);
  fx.setWordValue(22, 1, 3);
  fx.init(22);
  EXPECT_EQ(BusRig::node(3).configStage, COM_USE_CLAIMED);
  EXPECT_EQ(BusRig::node(3).identityQuery, COM_QUERY_NEVER) << "the partner announces itself";
  fx.run(22, 20);
  EXPECT_EQ(fx.digitalOut(22, kRcvIdErr), 0) << "20 runs unidentified";
  fx.run(22);
  EXPECT_EQ(fx.digitalOut(22, kRcvIdErr), 1) << "the 21st";

  BusRig::partner(3, 1);   // a controller of the other family
  fx.run(22, 3);
  EXPECT_EQ(fx.digitalOut(22, kRcvIdErr), 1);
  EXPECT_EQ(BLK_BusLinkState(22), BUS_LINK_WAIT_PARTNER);

  BusRig::partner(3, COM_KIND_OWN_FAMILY, COM_NODE_PREOPERATIONAL);
  fx.run(22);
  EXPECT_EQ(fx.digitalOut(22, kRcvIdErr), 0);
  EXPECT_EQ(BusRig::node(3).configStage, COM_USE_STARTED);
  fx.run(22, 10);
  EXPECT_EQ(BusRig::node(3).configStage, COM_USE_CONFIGURED);
  EXPECT_EQ(BLK_BusLinkState(22), BUS_LINK_WAIT_OPERATIONAL) << "waits while pre-operational";

  BusRig::node(3).nmtState = COM_NODE_OPERATIONAL;
  putFloat(BusRig::inputObject(387) + 4, 6.0f);
  fx.run(22);
  EXPECT_EQ(BLK_BusLinkState(22), BUS_LINK_EXCHANGING);
  EXPECT_EQ(fx.analogOut(22, 1), 6.0f);
  EXPECT_EQ(fx.digitalOut(22, kRcvValid), 1);

  BusRig::node(3).nmtState = COM_NODE_PREOPERATIONAL;   // lost from state 7
  fx.run(22);
  EXPECT_EQ(BLK_BusLinkState(22), BUS_LINK_WAIT_PARTNER);
  EXPECT_EQ(fx.digitalOut(22, kRcvValid), 0);
  EXPECT_EQ(fx.analogOut(22, 1), 6.0f);
}

TEST(CrossComm, ReceiverWithAFullInputTableIsInactive) {
  for (uint16_t free : {0, 3}) {
    SCOPED_TRACE(free);
    BusRig fx;
    BusRig::fillInputs(2000, free);
    fx.createAt(BLK_TYPE_CRCV, 22);
    fx.setWordValue(22, 1, 3);
    fx.init(22);
    fx.run(22);
    EXPECT_EQ(BLK_BusLinkState(22), BUS_LINK_INACTIVE);
    EXPECT_EQ(fx.digitalOut(22, kRcvIdErr), 1);
    EXPECT_EQ(COM_BusInputMap().used, COM_BUS_MAP_ENTRIES);
  }
}

// =========================================================================================
// C_MX6x and MX6x

// C_MX6x outputs: et-err, id-err, valid, online, fail 1..3, di1..di4.
constexpr uint16_t kCplEtErr = 1, kCplIdErr = 2, kCplValid = 3, kCplOnline = 4;
// MX6x outputs: X, Y, St1, St2; et-err, valid, xfail. Inputs: C x, W, Yman; a/m .. ostart.
constexpr uint16_t kMxEtErr = 1, kMxValid = 2, kMxFail = 3;
constexpr uint8_t kPartner = 9;

// The coupler at `block` configured by a partner of `kind` that answers every write, and run
// into the exchange; `each` runs after every coupler run (the MX6x blocks).
template <typename Each>
void bringToExchange(BusRig& fx, uint16_t block, uint8_t kind, Each each) {
  BusRig::partner(kPartner, kind, COM_NODE_PREOPERATIONAL);
  for (int i = 0; i < 100 && BLK_BusLinkState(block) != BUS_LINK_EXCHANGING; ++i) {
    const size_t asked = BusRig::requests().size();
    fx.run(block);
    each();
    if (BusRig::requests().size() != asked) BusRig::answer(kPartner);
    if (BLK_BusLinkState(block) == BUS_LINK_WAIT_OPERATIONAL) {
      BusRig::node(kPartner).nmtState = COM_NODE_OPERATIONAL;
    }
  }
  ASSERT_EQ(BLK_BusLinkState(block), BUS_LINK_EXCHANGING);
}
void bringToExchange(BusRig& fx, uint16_t block, uint8_t kind) {
  bringToExchange(fx, block, kind, [] {});
}

void createCoupler(BusRig& fx, uint16_t block, uint16_t node = kPartner) {
  fx.createAt(BLK_TYPE_C_MX6X, block);
  fx.setWordValue(block, 1, static_cast<int16_t>(node));
  fx.init(block);
}

TEST(Coupler, OutputsCarryTheControllerHandles) {
  BusRig fx;
  createCoupler(fx, 22);
  EXPECT_EQ(fx.analogOut(22, 1), 22069.0f);
  EXPECT_EQ(fx.analogOut(22, 2), 22078.0f);
  EXPECT_EQ(fx.analogOut(22, 16), 22204.0f);
}

TEST(Coupler, ConfiguresThePartnerByTwelveWritesInOrder) {
  BusRig fx;
  createCoupler(fx, 21);
  bringToExchange(fx, 21, 1);
  const std::vector<bustest::Bytes>& rq = BusRig::requests();
  ASSERT_EQ(rq.size(), 12u);
  struct Write {
    uint16_t index;
    uint8_t sub;
    std::vector<uint8_t> value;
  } writes[] = {
      {0x100E, 0, {0x09, 0x07}},             {0x100C, 0, {0xE8, 0x03}},
      {0x100D, 0, {3}},                      {0x1400, 1, {0x09, 0x02, 0, 0}},
      {0x1400, 2, {255}},                    {0x1401, 1, {0x09, 0x03, 0, 0}},
      {0x1401, 2, {255}},                    {0x1800, 2, {1}},
      {0x1800, 1, {0x89, 0x01, 0, 0}},       {0x1801, 2, {255}},
      {0x1801, 3, {0xE8, 0x03}},             {0x1801, 1, {0x89, 0x02, 0, 0}},
  };
  for (size_t i = 0; i < rq.size(); ++i) {
    SCOPED_TRACE(i);
    const bustest::Bytes& m = rq[i];
    ASSERT_GE(m.size(), COM_BUS_MSG_DATA);
    EXPECT_EQ(m[0], COM_MSG_DOWNLOAD);
    EXPECT_EQ(m[1], kPartner);
    EXPECT_EQ(m[2] << 8 | m[3], writes[i].index);
    EXPECT_EQ(m[4], writes[i].sub);
    EXPECT_EQ(bustest::dataOf(m), writes[i].value);
  }
  EXPECT_EQ(BusRig::node(kPartner).configStage, COM_USE_CONFIGURED);
  fx.run(21);
  EXPECT_EQ(fx.digitalOut(21, kCplValid), 1);
  EXPECT_EQ(fx.digitalOut(21, kCplIdErr), 0);
  EXPECT_EQ((std::vector<uint32_t>{kPartner + 384u, kPartner + 640u}), BusRig::inputIds());
  EXPECT_EQ((std::vector<uint32_t>{kPartner + 512u, kPartner + 768u}), BusRig::outputIds());
}

// Failed configuration writes reset the block: identification and configuration start again.
TEST(Coupler, FailedWritesResetTheBlock) {
  enum class Fault { Refused, Unanswered, Aborted };
  struct Case {
    const char* what;
    Fault fault;
    int runsInState4;   // runs that still stay configuring
  } cases[] = {
      {"ten refused starts", Fault::Refused, 10},
      {"no answer within nine runs", Fault::Unanswered, 10},
      {"aborted", Fault::Aborted, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BusRig fx;
    createCoupler(fx, 21);
    BusRig::partner(kPartner, 2, COM_NODE_PREOPERATIONAL);
    ASSERT_TRUE(fx.runUntil(21, BUS_LINK_STARTING));
    BusRig::refuseRequests(c.fault == Fault::Refused);
    for (int i = 0; i < c.runsInState4; ++i) {
      fx.run(21);
      if (c.fault == Fault::Aborted) BusRig::abort(kPartner, COM_ABORT_NO_SUBINDEX);
      ASSERT_EQ(BLK_BusLinkState(21), BUS_LINK_STARTING) << "run " << i;
    }
    if (c.fault == Fault::Refused) {
      EXPECT_EQ(BusRig::requests().size(), 10u);
    }
    if (c.fault == Fault::Unanswered) {
      EXPECT_EQ(COM_BusOutstanding(), 1);
    }
    fx.run(21);
    EXPECT_EQ(BLK_BusLinkState(21), BUS_LINK_WAIT_PARTNER);
    EXPECT_EQ(fx.digitalOut(21, kCplIdErr), 1);
    EXPECT_EQ(fx.digitalOut(21, kCplValid), 0);
    EXPECT_EQ(COM_BusOutstanding(), 0) << "a write given up frees its place";
    // It starts over: identified again and configuring from the first write.
    BusRig::refuseRequests(false);
    const size_t asked = BusRig::requests().size();
    ASSERT_TRUE(fx.runUntil(21, BUS_LINK_STARTING));
    fx.run(21);
    ASSERT_EQ(BusRig::requests().size(), asked + 1);
    EXPECT_EQ(BusRig::requests().back()[2] << 8 | BusRig::requests().back()[3], 0x100E);
  }
}

TEST(Coupler, InitAndIdentificationErrors) {
  struct Case {
    const char* what;
    char option;
    uint16_t node;
    bool usedByAnother;
    uint16_t etErr, idErr;
  } cases[] = {
      {"no bus option", '0', kPartner, false, 1, 0},
      {"the own address", '1', kOwn, false, 0, 1},
      {"node used by another block", '1', kPartner, true, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BusRig fx;
    BusRig::setOption(c.option);
    if (c.usedByAnother) createCoupler(fx, 21, c.node);
    createCoupler(fx, 22, c.node);
    EXPECT_EQ(BLK_BusLinkState(22), BUS_LINK_INACTIVE);
    EXPECT_EQ(fx.digitalOut(22, kCplEtErr), c.etErr);
    EXPECT_EQ(fx.digitalOut(22, kCplIdErr), c.idErr);
  }

  BusRig fx;
  createCoupler(fx, 21);
  fx.run(21, 10);
  EXPECT_EQ(fx.digitalOut(21, kCplIdErr), 0) << "10 runs unidentified";
  fx.run(21);
  EXPECT_EQ(fx.digitalOut(21, kCplIdErr), 1) << "the 11th";
  BusRig::partner(kPartner, COM_KIND_OWN_FAMILY);
  fx.run(21, 3);
  EXPECT_EQ(fx.digitalOut(21, kCplIdErr), 1) << "a device of this family is no partner";
  EXPECT_EQ(BLK_BusLinkState(21), BUS_LINK_WAIT_PARTNER);
  BusRig::partner(kPartner, 3);
  fx.run(21);
  EXPECT_EQ(fx.digitalOut(21, kCplIdErr), 0);
  EXPECT_EQ(BLK_BusLinkState(21), BUS_LINK_PARTNER_FOUND);
}

TEST(Coupler, MappingFailureLeavesItInactive) {
  BusRig fx;
  BusRig::fillOutputs(2000, 1);   // room for one of the two sent objects
  createCoupler(fx, 21);
  BusRig::partner(kPartner, 1);
  fx.run(21, 5);
  EXPECT_EQ(BLK_BusLinkState(21), BUS_LINK_INACTIVE);
  EXPECT_EQ(fx.digitalOut(21, kCplIdErr), 1);
}

// A received message: controller, X x 10, status, St1, St2, Y x 10.
void putMessage(uint8_t* m, uint8_t k, int16_t x10, uint8_t status, uint8_t st1, uint8_t st2,
                int16_t y10) {
  m[0] = k;
  putLe16(m + 1, static_cast<uint16_t>(x10));
  m[3] = status;
  m[4] = st1;
  m[5] = st2;
  putLe16(m + 6, static_cast<uint16_t>(y10));
}

TEST(Coupler, ReceivedMessagesReachTheRecordsAndTheMx6x) {
  BusRig fx;
  createCoupler(fx, 21);
  fx.create(BLK_TYPE_MX6X, 100);
  fx.setAnalogInput(100, 1, 21087.0f);   // controller 3
  fx.init(100);
  bringToExchange(fx, 21, 1, [&] { fx.run(100); });
  uint8_t* first = BusRig::inputObject(kPartner + 384);
  putMessage(first, 3, 123, 0b10110001, 0x10, 7, -50);
  fx.run(21);
  fx.run(100);
  EXPECT_EQ(fx.digitalOut(21, kCplValid), 1);
  const uint16_t status[8] = {1, 0, 0, 0, 1, 1, 0, 1};   // online, fail 1..3, di1..di4
  for (uint16_t i = 0; i < 8; ++i) EXPECT_EQ(fx.digitalOut(21, kCplOnline + i), status[i]) << i;
  EXPECT_FLOAT_EQ(fx.analogOut(100, 1), 12.3f);
  EXPECT_EQ(fx.analogOut(100, 2), -5.0f);
  EXPECT_EQ(fx.analogOut(100, 3), 16.0f);
  EXPECT_EQ(fx.analogOut(100, 4), 7.0f);
  EXPECT_EQ(fx.digitalOut(100, kMxValid), 1);
  EXPECT_EQ(fx.digitalOut(100, kMxFail), 16) << "the bit as it stands, not 1";

  // The second object is evaluated only when it changed.
  uint8_t* second = BusRig::inputObject(kPartner + 640);
  putMessage(first, 0, 0, 0, 0, 0, 0);
  putMessage(second, 3, 200, 1, 0, 0, 0);
  fx.run(21);
  EXPECT_EQ(BLK_CrossControllerRecord(21, 2)->x10, 200);
  BLK_CrossControllerRecord(21, 2)->x10 = 0;
  fx.run(21);
  EXPECT_EQ(BLK_CrossControllerRecord(21, 2)->x10, 0) << "unchanged: not taken again";

  // A partner of kind 1 has 8 controllers: controller 9 is refused and changes no record.
  std::vector<uint8_t> before;
  auto records = [] {
    std::vector<uint8_t> v;
    for (uint16_t k = 0; k < BUS_MX6X_CONTROLLERS; ++k) {
      const CrossControllerRecord& r = *BLK_CrossControllerRecord(21, k);
      v.insert(v.end(), {r.fresh, r.st1, r.st2, static_cast<uint8_t>(r.x10), static_cast<uint8_t>(r.y10)});
    }
    return v;
  };
  before = records();
  putMessage(first, 9, 999, 0, 1, 1, 999);
  fx.run(21);
  EXPECT_EQ(fx.digitalOut(21, kCplValid), 0);
  EXPECT_EQ(records(), before);

  // No message for controller 3 for more than 2 x 8 runs: not fresh any more.
  putMessage(first, 0, 0, 0, 0, 0, 0);
  putMessage(second, 0, 0, 0, 0, 0, 0);
  for (int run = 0; run < 14; ++run) fx.run(21);
  fx.run(100);
  EXPECT_EQ(fx.digitalOut(100, kMxValid), 1) << "16 runs without a message";
  fx.run(21);
  fx.run(100);
  EXPECT_EQ(fx.digitalOut(100, kMxValid), 0) << "the 17th";
}

// The MX6x sends W x 10 and Yman x 10, saturated to 16 bits, and its command bits.
TEST(Coupler, Mx6xValuesAreSentInTenths) {
  struct Case {
    float w, yman;
    int16_t w10, yman10;
  } cases[] = {
      {12.34f, 0.0f, 123, 0},        {-0.05f, 50.0f, 0, 500},   {4000.0f, -4000.0f, 32767, -32768},
      {kNaN, 1e30f, 0, 32767},       {-3276.8f, 3276.7f, -32768, 32767},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.w);
    BusRig fx;
    createCoupler(fx, 21);
    fx.create(BLK_TYPE_MX6X, 100);
    fx.setAnalogInput(100, 1, 21069.0f);   // controller 1
    fx.setAnalogInput(100, 2, c.w);
    fx.setAnalogInput(100, 3, c.yman);
    fx.setDigitalInput(100, 1, 1);   // a/m
    fx.setDigitalInput(100, 4, 1);   // we/wi
    fx.init(100);
    bringToExchange(fx, 21, 2, [&] { fx.run(100); });
    fx.run(21);   // the first exchange sends every record, two a run
    const uint8_t* m = BusRig::outputObject(kPartner + 512);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m[0], 1);
    EXPECT_EQ(static_cast<int16_t>(le16(m + 1)), c.w10);
    EXPECT_EQ(static_cast<int16_t>(le16(m + 3)), c.yman10);
    EXPECT_EQ(m[5], BUS_CMD_AUTO_MANUAL | BUS_CMD_EXTERNAL_SETPOINT);
    EXPECT_EQ(m[7], 0);
    EXPECT_EQ(BusRig::outputObject(kPartner + 768)[0], 2);
  }
}

// While configuring the MX6x sends every wired value; once exchanging, only changes.
TEST(Coupler, Mx6xSendsChangesAndTheRecordsTakeTurns) {
  BusRig fx;
  createCoupler(fx, 21);
  fx.create(BLK_TYPE_MX6X, 100);
  fx.setAnalogInput(100, 1, 21123.0f);   // controller 7
  fx.setAnalogInput(100, 2, 50.0f);
  fx.init(100);
  bringToExchange(fx, 21, 1, [&] { fx.run(100); });
  CrossControllerRecord& r = *BLK_CrossControllerRecord(21, 6);
  EXPECT_EQ(r.changed, BUS_CHANGED_W) << "the wired values while configuring";
  // Send-all: 8 controllers, two a run.
  for (int run = 0; run < 4; ++run) {
    fx.run(21);
    fx.run(100);
  }
  for (int run = 0; run < 8; ++run) {
    fx.run(21);
    fx.run(100);
  }
  EXPECT_EQ(r.sendRequest, 0) << "nothing changed";
  fx.setAnalogInput(100, 2, 55.5f);
  fx.run(21);
  fx.run(100);
  EXPECT_EQ(r.sendRequest, 1);
  EXPECT_EQ(r.changed, BUS_CHANGED_W);
  uint8_t* out1 = BusRig::outputObject(kPartner + 512);
  std::memset(out1, 0, 8);
  fx.run(21);
  EXPECT_EQ(out1[0], 7);
  EXPECT_EQ(le16(out1 + 1), 555);
  EXPECT_EQ(out1[6], BUS_CHANGED_W);
  EXPECT_EQ(r.sendRequest, 0);
}

TEST(Coupler, Mx6xRefusesHandlesThatNameNoFreeRecord) {
  struct Case {
    const char* what;
    float handle;
    uint16_t etErr;
  } cases[] = {
      {"controller 1", 22069.0f, 0},        {"controller 16", 22204.0f, 0},
      {"remainder between records", 22070.0f, 1}, {"controller 17", 22213.0f, 1},
      {"remainder below 69", 22060.0f, 1},   {"block of another type", 21069.0f, 1},
      {"no block", 23069.0f, 1},             {"block 26", 26069.0f, 1},
      {"negative", -22069.0f, 1},            {"NaN", kNaN, 1},
      {"far too large", 1e9f, 1},            {"zero", 0.0f, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BusRig fx;
    fx.createAt(BLK_TYPE_CPREAD, 21);
    createCoupler(fx, 22);
    fx.create(BLK_TYPE_MX6X, 100);
    fx.setAnalogInput(100, 1, c.handle);
    fx.setAnalogInput(100, 2, 10.0f);
    fx.init(100);
    EXPECT_EQ(fx.digitalOut(100, kMxEtErr), c.etErr);
    const FbLayout cpread = fx.layout(21);
    const std::vector<uint16_t> untouched(cpread.base, cpread.base + cpread.size);
    bringToExchange(fx, 22, 2, [&] { fx.run(100); });
    EXPECT_EQ(std::vector<uint16_t>(cpread.base, cpread.base + cpread.size), untouched);
  }

  // A second MX6x on a claimed controller.
  BusRig fx;
  createCoupler(fx, 22);
  for (uint16_t block : {100, 101}) {
    fx.create(BLK_TYPE_MX6X, block);
    fx.setAnalogInput(block, 1, 22078.0f);
    fx.init(block);
  }
  EXPECT_EQ(fx.digitalOut(100, kMxEtErr), 0);
  EXPECT_EQ(fx.digitalOut(101, kMxEtErr), 1);
  EXPECT_EQ(BLK_CrossControllerRecord(22, 1)->claimed, 1);
  // The next start-up pass (the bus node resets its tables on entering the run mode) frees
  // the coupler's records.
  COM_BusReset();
  fx.init(22);
  fx.init(101);
  EXPECT_EQ(fx.digitalOut(101, kMxEtErr), 0);
}

TEST(Coupler, PartnerLostInTheExchange) {
  struct Case {
    uint32_t nmt;
    int runsKept;   // runs that stay in the exchange
  } cases[] = {{COM_NODE_PREOPERATIONAL, 21}, {COM_NODE_NMT_OTHER, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nmt);
    BusRig fx;
    createCoupler(fx, 21);
    bringToExchange(fx, 21, 1);
    fx.run(21);
    ASSERT_EQ(fx.digitalOut(21, kCplValid), 1);
    BusRig::node(kPartner).nmtState = c.nmt;
    for (int i = 0; i < c.runsKept; ++i) {
      fx.run(21);
      ASSERT_EQ(BLK_BusLinkState(21), BUS_LINK_EXCHANGING) << i;
    }
    fx.run(21);
    EXPECT_EQ(BLK_BusLinkState(21), BUS_LINK_WAIT_PARTNER);
    EXPECT_EQ(fx.digitalOut(21, kCplValid), 0);
    EXPECT_EQ(fx.digitalOut(21, kCplIdErr), 1);
    for (uint16_t k = 0; k < 8; ++k) EXPECT_EQ(BLK_CrossControllerRecord(21, k)->state, BUS_LINK_WAIT_PARTNER);
  }
}

// =========================================================================================
// CPREAD and CPWRIT

// Digital outputs of both: id-err, et-err, valid.
constexpr uint16_t kRawIdErr = 1, kRawEtErr = 2, kRawValid = 3;
// Word values: NodeId, Guard, COBid1, COBid2.
constexpr uint16_t kWvNode = 1, kWvGuard = 2, kWvCob1 = 3, kWvCob2 = 4;

void createRaw(BusRig& fx, uint16_t type, uint16_t block, int16_t cob1, int16_t cob2,
               uint16_t guard = 0, uint16_t node = kPartner) {
  fx.createAt(type, block);
  fx.setWordValue(block, kWvNode, static_cast<int16_t>(node));
  fx.setWordValue(block, kWvGuard, static_cast<int16_t>(guard));
  fx.setWordValue(block, kWvCob1, cob1);
  fx.setWordValue(block, kWvCob2, cob2);
}

TEST(RawData, CpreadFillsOnlyTheOutputsOfItsMappedObjects) {
  BusRig fx;
  createRaw(fx, BLK_TYPE_CPREAD, 30, FW_NO_VALUE_S, 385);
  fx.init(30);
  EXPECT_EQ(BusRig::inputIds(), (std::vector<uint32_t>{385}));
  uint8_t* o = BusRig::inputObject(385);
  for (int i = 0; i < 8; ++i) o[i] = static_cast<uint8_t>(i == 7 ? 255 : i + 1);
  ASSERT_TRUE(fx.runUntil(30, BUS_LINK_EXCHANGING));
  for (uint16_t i = 1; i <= 8; ++i) {
    EXPECT_EQ(fx.analogOut(30, i), 0.0f) << "R1 " << i;
    EXPECT_EQ(fx.analogOut(30, 8 + i), i == 8 ? 255.0f : i) << "R2 " << i;
  }
  EXPECT_EQ(fx.digitalOut(30, kRawValid), 1);
  o[0] = 42;
  fx.run(30);
  EXPECT_EQ(fx.analogOut(30, 9), 42.0f);
  EXPECT_EQ(fx.digitalOut(30, kRawValid), 1) << "valid in every data pass";
}

TEST(RawData, CpwritWritesTheLowByteOfEachInput) {
  struct Case {
    float t;
    uint8_t byte;
  } cases[] = {{300.0f, 44}, {-1.0f, 255}, {2.9f, 2}, {-2.9f, 254}, {kNaN, 0},
               {255.99f, 255}, {1e30f, 255}, {0.0f, 0}};
  BusRig fx;
  createRaw(fx, BLK_TYPE_CPWRIT, 25, 400, 1320);
  for (uint16_t i = 0; i < 8; ++i) {
    fx.setAnalogInput(25, i + 1, cases[i].t);
    fx.setAnalogInput(25, i + 9, cases[7 - i].t);
  }
  fx.init(25);
  EXPECT_EQ(fx.digitalOut(25, kRawValid), 0);
  ASSERT_TRUE(fx.runUntil(25, BUS_LINK_EXCHANGING));
  EXPECT_EQ(fx.digitalOut(25, kRawValid), 1);
  const uint8_t* o1 = BusRig::outputObject(400);
  const uint8_t* o2 = BusRig::outputObject(1320);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(o1[i], cases[i].byte) << cases[i].t;
    EXPECT_EQ(o2[i], cases[7 - i].byte) << cases[7 - i].t;
  }
}

TEST(RawData, ConnectedStartMustBeExactlyOne) {
  struct Case {
    uint16_t type;
    std::optional<uint16_t> start;   // empty: unconnected
    bool waits;
  } cases[] = {
      {BLK_TYPE_CPREAD, std::nullopt, false}, {BLK_TYPE_CPREAD, 1, false},
      {BLK_TYPE_CPREAD, 2, true},             {BLK_TYPE_CPREAD, 0, true},
      {BLK_TYPE_CPWRIT, std::nullopt, false}, {BLK_TYPE_CPWRIT, 1, false},
      {BLK_TYPE_CPWRIT, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " start " << (c.start ? *c.start : -1));
    BusRig fx;
    createRaw(fx, c.type, 21, 500, FW_NO_VALUE_S);
    if (c.start) fx.setDigitalInput(21, 1, *c.start);
    fx.init(21);
    fx.run(21, 10);
    EXPECT_EQ(BLK_BusLinkState(21), c.waits ? BUS_LINK_STARTING : BUS_LINK_EXCHANGING);
    if (c.start && c.waits) {
      fx.setDigitalInput(21, 1, 1);
      fx.run(21, 2);
      EXPECT_EQ(BLK_BusLinkState(21), BUS_LINK_EXCHANGING);
    }
  }
}

TEST(RawData, InitFailures) {
  struct Case {
    const char* what;
    uint16_t type;
    char option;
    uint16_t guard, node;
    bool nodeClaimed, idSent, tableFull;
    int16_t cob1;
    uint16_t idErr, etErr;
  } cases[] = {
      {"no bus option", BLK_TYPE_CPREAD, '0', 0, kPartner, false, false, false, 400, 0, 1},
      {"guarded own address", BLK_TYPE_CPREAD, '1', 1, kOwn, false, false, false, 400, 1, 0},
      {"unguarded own address", BLK_TYPE_CPREAD, '1', 0, kOwn, false, false, false, 400, 0, 0},
      {"guarded node in use", BLK_TYPE_CPWRIT, '1', 1, kPartner, true, false, false, 400, 0, 1},
      {"id sent by another block", BLK_TYPE_CPWRIT, '1', 0, kPartner, false, true, false, 400, 1, 0},
      {"id read by another block", BLK_TYPE_CPREAD, '1', 0, kPartner, false, true, false, 400, 0, 0},
      {"input table full", BLK_TYPE_CPREAD, '1', 0, kPartner, false, false, true, 400, 1, 0},
      {"output table full", BLK_TYPE_CPWRIT, '1', 0, kPartner, false, false, true, 400, 1, 0},
      {"id outside its limits", BLK_TYPE_CPREAD, '1', 0, kPartner, false, false, false, 384, 1, 0},
      {"node outside its limits", BLK_TYPE_CPREAD, '1', 1, 300, false, false, false, 400, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BusRig fx;
    BusRig::setOption(c.option);
    if (c.nodeClaimed) BusRig::node(c.node).configStage = COM_USE_CLAIMED;
    if (c.idSent) {
      COM_BusMapOutput(400);
      COM_BusMapInput(400);
    }
    if (c.tableFull) c.type == BLK_TYPE_CPREAD ? BusRig::fillInputs(2000) : BusRig::fillOutputs(2000);
    createRaw(fx, c.type, 40, c.cob1, FW_NO_VALUE_S, c.guard, c.node);
    fx.init(40);
    EXPECT_EQ(fx.digitalOut(40, kRawIdErr), c.idErr);
    EXPECT_EQ(fx.digitalOut(40, kRawEtErr), c.etErr);
    EXPECT_EQ(BLK_BusLinkState(40) == BUS_LINK_INACTIVE, c.idErr || c.etErr);
    fx.run(40, 10);
    if (c.idErr || c.etErr) {
      EXPECT_EQ(fx.digitalOut(40, kRawValid), 0);
    }
  }
}

// With Guard on, the data flow only while the partner is known and operational.
TEST(RawData, GuardedBlocksFollowTheirPartner) {
  for (uint16_t type : {BLK_TYPE_CPREAD, BLK_TYPE_CPWRIT}) {
    SCOPED_TRACE(type);
    BusRig fx;
    createRaw(fx, type, 21, 600, FW_NO_VALUE_S, 1);
    fx.init(21);
    EXPECT_EQ(BusRig::node(kPartner).configStage, COM_USE_CLAIMED);
    EXPECT_NE(BusRig::node(kPartner).identityQuery, COM_QUERY_NEVER);
    fx.run(21, 20);
    EXPECT_EQ(fx.digitalOut(21, kRawIdErr), 0);
    fx.run(21);
    EXPECT_EQ(fx.digitalOut(21, kRawIdErr), 1) << "21 runs unidentified";
    BusRig::partner(kPartner, COM_KIND_FOREIGN, COM_NODE_PREOPERATIONAL);  // any kind will do
    fx.run(21, 5);
    EXPECT_EQ(fx.digitalOut(21, kRawIdErr), 0);
    EXPECT_EQ(BusRig::node(kPartner).configStage, COM_USE_CONFIGURED);
    EXPECT_EQ(BLK_BusLinkState(21), BUS_LINK_WAIT_OPERATIONAL);
    EXPECT_EQ(fx.digitalOut(21, kRawValid), 0);
    BusRig::node(kPartner).nmtState = COM_NODE_OPERATIONAL;
    fx.run(21);
    EXPECT_EQ(BLK_BusLinkState(21), BUS_LINK_EXCHANGING);
    EXPECT_EQ(fx.digitalOut(21, kRawValid), 1);
    BusRig::node(kPartner).nmtState = COM_NODE_NMT_OTHER;
    fx.run(21);
    EXPECT_EQ(BLK_BusLinkState(21), BUS_LINK_WAIT_PARTNER);
    EXPECT_EQ(fx.digitalOut(21, kRawValid), 0);
  }
}

// =========================================================================================
// Parameter requests

TEST(BusParams, WordValuesGoToThePendingCopy) {
  struct Case {
    uint16_t type;
    int16_t id;
    int16_t value;
    uint8_t result;
  } cases[] = {
      {BLK_TYPE_CRCV, 3000, 24, FB_OK},     {BLK_TYPE_CRCV, 3000, 25, FB_ERR_LIMITS},
      {BLK_TYPE_CRCV, 3000, 0, FB_ERR_LIMITS}, {BLK_TYPE_CRCV, 3001, 1, FB_ERR_UNKNOWN_ID},
      {BLK_TYPE_C_MX6X, 3000, 42, FB_OK},   {BLK_TYPE_C_MX6X, 3000, 1, FB_ERR_LIMITS},
      {BLK_TYPE_CPREAD, 3002, 384, FB_ERR_LIMITS}, {BLK_TYPE_CPREAD, 3002, FW_NO_VALUE_S, FB_OK},
      {BLK_TYPE_CPREAD, 3002, 385, FB_OK},  {BLK_TYPE_CPWRIT, 3003, 1320, FB_OK},
      {BLK_TYPE_CPWRIT, 3003, 1321, FB_ERR_LIMITS}, {BLK_TYPE_CPWRIT, 3001, 2, FB_ERR_LIMITS},
      {BLK_TYPE_CPWRIT, 3000, 42, FB_OK},   {BLK_TYPE_CPREAD, 3004, 1, FB_ERR_UNKNOWN_ID},
      {BLK_TYPE_CPREAD, 1000, 1, FB_ERR_UNKNOWN_ID}, {BLK_TYPE_CPREAD, 1250, 1, FB_ERR_UNKNOWN_ID},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " " << c.id << " = " << c.value);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(c.type, kBlock);
    const FbLayout L = fx.layout(kBlock);
    const std::vector<uint16_t> current(L.wv, L.wv + L.wordValues);
    uint16_t bad = 99;
    g_fwRunMode = FW_RUN_MODE_RUN;
    const FbParamRequest r = c.id >= 3000
                                 ? FB_WordRequest(kBlock, c.id, static_cast<uint16_t>(c.value))
                                 : FB_FloatRequest(kBlock, c.id, static_cast<float>(c.value));
    EXPECT_EQ(sendParam(r, &bad), c.result);
    g_fwRunMode = FW_RUN_MODE_STOP;
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(std::vector<uint16_t>(L.wv, L.wv + L.wordValues), current) << "current copies";
    if (c.result == FB_OK) {
      EXPECT_EQ(L.wv[L.wordValues + (c.id - 3000)], static_cast<uint16_t>(c.value));
    }
    EXPECT_EQ(g_fbPending.words[kBlock] | g_fbPending.floats[kBlock], 0) << "no pending flag";
  }
}

TEST(BusParams, WholeSetOfWordValues) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_CPREAD, kBlock);
  const FbLayout L = fx.layout(kBlock);
  uint16_t bad = 0;
  ASSERT_EQ(sendParam(FB_WordRequest(kBlock, 3000, 7), &bad), FB_OK);   // waits in the pending copy
  const std::vector<uint16_t> before(L.wv, L.wv + 2 * L.wordValues);

  const uint16_t goodSet[] = {3, 1, 400, static_cast<uint16_t>(FW_NO_VALUE_S)};
  const uint16_t badThird[] = {3, 1, 384, 400};
  const uint16_t badFourth[] = {3, 1, 400, 2000};
  struct Case {
    const char* what;
    FbParamRequest request;
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {"third out of limits", FB_SetRequest(kBlock, 4010, badThird, {}), FB_ERR_LIMITS, 3},
      {"fourth out of limits", FB_SetRequest(kBlock, 4010, badFourth, {}), FB_ERR_LIMITS, 4},
      {"three words", FB_SetRequest(kBlock, 4010, std::span(goodSet, 3), {}), FB_ERR_COUNT_Y, 0},
      {"a 4-byte item", FB_SetRequest(kBlock, 4010, goodSet, std::vector<float>{1.0f}),
       FB_ERR_COUNT_Z, 0},
      {"4000", FB_SetRequest(kBlock, 4000, goodSet, {}), FB_ERR_UNKNOWN_ID, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bad = 99;
    EXPECT_EQ(sendParam(c.request, &bad), c.result);
    EXPECT_EQ(bad, c.bad);
    EXPECT_EQ(std::vector<uint16_t>(L.wv, L.wv + 2 * L.wordValues), before)
        << "the pending copies as before the request";
  }
  ASSERT_EQ(sendParam(FB_SetRequest(kBlock, 4010, goodSet, {}), &bad), FB_OK);
  EXPECT_EQ(std::vector<uint16_t>(L.wv + L.wordValues, L.wv + 2 * L.wordValues),
            std::vector<uint16_t>(std::begin(goodSet), std::end(goodSet)));
  EXPECT_EQ(L.wv[0], 2) << "current until the next start-up pass";
  fx.init(kBlock);
  EXPECT_EQ(L.wv[0], 3);
}

TEST(BusParams, CsendDeltaAndTheTypesWithoutParameters) {
  expectRunModeSave(BLK_TYPE_CSEND, 1000, 0.5f, 2.0f);
  const float one[] = {0.25f};
  const float negative[] = {-1.0f};
  const RefusedRequest refused[] = {
      {"delta below 0", BLK_TYPE_CSEND, FB_FloatRequest(kBlock, 1000, -1.0f), FB_ERR_LIMITS, 0},
      {"no-value marker", BLK_TYPE_CSEND, FB_FloatRequest(kBlock, 1000, FW_NO_VALUE), FB_ERR_LIMITS, 0},
      {"NaN", BLK_TYPE_CSEND, FB_FloatRequest(kBlock, 1000, kNaN), FB_ERR_LIMITS, 0},
      {"no second float", BLK_TYPE_CSEND, FB_FloatRequest(kBlock, 1001, 1.0f), FB_ERR_UNKNOWN_ID, 0},
      {"no word value", BLK_TYPE_CSEND, FB_WordRequest(kBlock, 3000, 1), FB_ERR_UNKNOWN_ID, 0},
      {"set with a word", BLK_TYPE_CSEND, FB_SetRequest(kBlock, 4000, std::vector<uint16_t>{1}, one),
       FB_ERR_COUNT_Y, 0},
      {"set out of limits", BLK_TYPE_CSEND, FB_SetRequest(kBlock, 4000, {}, negative), FB_ERR_LIMITS, 1},
      {"MX6x float", BLK_TYPE_MX6X, FB_FloatRequest(kBlock, 1000, 1.0f), FB_ERR_UNKNOWN_ID, 0},
      {"MX6x word value", BLK_TYPE_MX6X, FB_WordRequest(kBlock, 3000, 30), FB_ERR_UNKNOWN_ID, 0},
      {"MX6x set", BLK_TYPE_MX6X, FB_SetRequest(kBlock, 4010, {}, {}), FB_ERR_UNKNOWN_ID, 0},
  };
  for (const RefusedRequest& c : refused) expectRefusedChangesNothing(c);

  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_CSEND, kBlock);
  uint16_t bad = 99;
  EXPECT_EQ(sendParam(FB_SetRequest(kBlock, 4000, {}, one), &bad), FB_OK);
  EXPECT_EQ(fx.floatParam(kBlock, 1).get(), 0.25f) << "stopped: at once";
}

}  // namespace
