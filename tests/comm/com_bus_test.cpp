// The system-bus node: mapping tables, request objects, the own objects served to other
// nodes, the events of the driver and the state machine, with the empty driver and with a
// test driver that delivers events.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "blocks/arith/arith.h"
#include "blocks/register_all.h"
#include "comm/com_bus.h"
#include "comm/com_services.h"
#include "comm/bus_test_driver.h"
#include "comm_fixture.h"
#include "runtime/fw_sysdata.h"
#include "runtime/runtime_state.h"

namespace {

using bustest::Bytes;
using bustest::g_driver;

constexpr uint16_t kOwn = 5;
constexpr uint8_t kPeer = 9;   // the node that reads and writes our objects

uint16_t object(uint16_t block, uint8_t kind) {
  return static_cast<uint16_t>(0x2000 + 16 * block + kind);
}

class BusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetFirmware();
    BLK_RegisterAllTypes();
    rt::registerType(commtest::kValsTemplate, &commtest::kValsLimits, commtest::valsParam);
    commtest::g_vals = commtest::ValsProbe{};
    ASSERT_EQ(FB_CreateInstance(BLK_TYPE_ABSV, 100), FB_OK);
    ASSERT_EQ(FB_CreateInstance(BLK_TYPE_ABSV, 101), FB_OK);   // the source of 100's input
    ASSERT_EQ(FB_CreateInstance(commtest::kVals, 120), FB_OK);
    g_fwSys.shadow[FW_SH_BUS_NODE] = kOwn;
    g_fwSys.shadow[FW_SH_BUS_RATE] = 4;
    g_driver.clear();
    COM_BusSetDriver(&bustest::kDriver);
    COM_BusReset();
    FbLayout L;
    uint32_t source = 0;
    ASSERT_TRUE(FB_GetLayout(100, &L));
    ASSERT_TRUE(FB_AnalogOutputHandle(101, 1, &source));
    L.ai[0] = source;
  }
  void TearDown() override { COM_BusSetDriver(nullptr); }

  static FbLayout layout(uint16_t block) {
    FbLayout L;
    EXPECT_TRUE(FB_GetLayout(block, &L));
    return L;
  }
  // One access of the peer to an own object, served in one step; the answer.
  static Bytes access(uint8_t kind, uint16_t index, uint8_t sub, const Bytes& data = {}) {
    g_driver.replies.clear();
    g_driver.events.push_back(bustest::event(kind, kPeer, index, sub, data));
    COM_BusCycle();
    EXPECT_EQ(g_driver.replies.size(), 1u);
    return g_driver.replies.empty() ? Bytes{} : g_driver.replies.back();
  }
  static void run(int ticks) {
    for (int i = 0; i < ticks; ++i) COM_BusCycle();
  }
  static ComBusRequest readOf(uint16_t node, uint16_t index) {
    ComBusRequest r{};
    r.node = node;
    r.index = index;
    return r;
  }
};

// --- mapping tables ---------------------------------------------------------------------

TEST_F(BusTest, InputObjectsAreSharedAndTakeTheirPresetOffsets) {
  const ComBusMap& map = COM_BusInputMap();
  uint8_t* first = COM_BusMapInput(0x181);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, map.area);
  EXPECT_EQ(COM_BusMapInput(0x181), first) << "an id already there gives the same area";
  EXPECT_EQ(map.used, 1);
  EXPECT_EQ(map.changed, 1);
  for (uint32_t i = 1; i < COM_BUS_MAP_ENTRIES; ++i) {
    EXPECT_EQ(COM_BusMapInput(0x181 + i), map.area + 8 * i) << "id " << i;
  }
  EXPECT_EQ(COM_BusMapInput(0x300), nullptr) << "the 40th id";
  EXPECT_EQ(COM_BusMapInput(0x185), map.area + 32) << "a known id is still found when full";

  COM_BusReset();
  EXPECT_EQ(COM_BusInputMap().used, 0);
  EXPECT_EQ(COM_BusMapInput(0x300), map.area) << "the offsets are preset again";
}

TEST_F(BusTest, AnOutputObjectIsMappedOnce) {
  const ComBusMap& map = COM_BusOutputMap();
  EXPECT_EQ(COM_BusMapOutput(0x201), map.area);
  EXPECT_EQ(COM_BusMapOutput(0x201), nullptr) << "already mapped";
  EXPECT_EQ(COM_BusMapInput(0x201), COM_BusInputMap().area) << "the input table is apart";
  for (uint32_t i = 1; i < COM_BUS_MAP_ENTRIES; ++i) ASSERT_NE(COM_BusMapOutput(0x201 + i), nullptr);
  EXPECT_EQ(COM_BusMapOutput(0x400), nullptr) << "full";
}

// --- the node the pages show ------------------------------------------------------------

TEST_F(BusTest, SetAddressSelectsTheShownNodeAndNeverTheOwnAddress) {
  EXPECT_EQ(COM_BusSelectedNode(), 0) << "0 after a reset";
  COM_BusSetAddress(5);
  EXPECT_EQ(COM_BusSelectedNode(), 5);
  for (uint16_t bad : {0, 1, 43, 0xFFFF}) {
    COM_BusSetAddress(bad);
    EXPECT_EQ(COM_BusSelectedNode(), 5) << bad << " keeps the node selected before";
  }
  COM_BusSetAddress(42);
  EXPECT_EQ(COM_BusSelectedNode(), 42);
  EXPECT_EQ(g_fwSys.shadow[FW_SH_BUS_NODE], kOwn) << "datum 3005 is unchanged";
  EXPECT_EQ(COM_CanNodeTable().ownNode, kOwn);
}

// --- own objects --------------------------------------------------------------------------

struct WriteCase {
  const char* what;
  uint16_t index;
  uint8_t sub;
  Bytes data;
  uint32_t abort;   // 0: accepted
};

TEST_F(BusTest, WritesToOwnObjectsAreCheckedAndAnswered) {
  const WriteCase cases[] = {
      {"float parameter a", object(100, 5), 1, bustest::beFloat(2.5f), 0},
      {"float parameter a0 x 10", object(100, 11), 2, bustest::be16(15), 0},
      {"refused by the limits", object(100, 5), 1, bustest::beFloat(1.0e7f), COM_ABORT_REFUSED},
      {"-32000 stays -32000, outside a's limits", object(100, 11), 1,
       bustest::be16(static_cast<uint16_t>(-32000)), COM_ABORT_REFUSED},
      {"32-bit values", object(100, 7), 1, bustest::beFloat(1.0f), COM_ABORT_UNSUPPORTED},
      {"word values", object(100, 8), 1, bustest::be16(1), COM_ABORT_UNSUPPORTED},
      {"32-bit values x 10", object(100, 12), 1, bustest::be16(1), COM_ABORT_UNSUPPORTED},
      {"sub-index 0", object(100, 5), 0, bustest::beFloat(1.0f), COM_ABORT_READ_ONLY},
      {"analog outputs", object(100, 3), 1, bustest::beFloat(1.0f), COM_ABORT_READ_ONLY},
      {"block header", object(100, 0), 0, bustest::be16(1), COM_ABORT_READ_ONLY},
      {"analog inputs x 10", object(100, 9), 1, bustest::be16(1), COM_ABORT_READ_ONLY},
      {"a third float parameter", object(100, 5), 3, bustest::beFloat(1.0f), COM_ABORT_NO_SUBINDEX},
      {"a word parameter the type lacks", object(100, 6), 1, bustest::be16(1), COM_ABORT_NO_SUBINDEX},
      {"block 0", 0x2000, 1, bustest::beFloat(1.0f), COM_ABORT_NO_OBJECT},
      {"no such block", object(102, 5), 1, bustest::beFloat(1.0f), COM_ABORT_NO_OBJECT},
      {"past block 1950", 0x99F0, 1, bustest::beFloat(1.0f), COM_ABORT_NO_OBJECT},
      {"below the own objects", 0x1008, 0, bustest::be16(1), COM_ABORT_NO_OBJECT},
      {"a float in two bytes", object(100, 5), 1, bustest::be16(1), COM_ABORT_GENERAL},
      {"a 16-bit value in four bytes", object(100, 11), 1, bustest::beFloat(1.0f), COM_ABORT_GENERAL},
      {"block data refused by the handler", object(120, 14), 1, bustest::be16(1), COM_ABORT_REFUSED},
      {"block data code past 180", object(120, 15), 181, bustest::beFloat(1.0f), COM_ABORT_NO_SUBINDEX},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes answer = access(COM_MSG_WRITE, c.index, c.sub, c.data);
    ASSERT_GE(answer.size(), COM_BUS_MSG_DATA);
    EXPECT_EQ(answer[1], kPeer) << "answered to the writer";
    if (c.abort) {
      EXPECT_EQ(bustest::abortOf(answer), c.abort);
    } else {
      EXPECT_EQ(answer[0], COM_MSG_DOWNLOADED);
    }
  }
  EXPECT_FLOAT_EQ(layout(100).fp[0], 2.5f) << "a from the accepted write";
  EXPECT_FLOAT_EQ(layout(100).fp[1], 1.5f) << "a0 = 15 / 10";
}

TEST_F(BusTest, ASixteenBitValueToKind11SetsTheFloatParameterInTenths) {
  // Index 0x264B: block 100, kind 11, sub-index 1 ("a").
  const Bytes answer = access(COM_MSG_WRITE, 0x264B, 1, bustest::be16(123));
  EXPECT_EQ(answer[0], COM_MSG_DOWNLOADED);
  EXPECT_FLOAT_EQ(layout(100).fp[0], 12.3f);
  EXPECT_EQ(answer[2], 0x26);
  EXPECT_EQ(answer[3], 0x4B);
}

struct ReadCase {
  const char* what;
  uint16_t index;
  uint8_t sub;
  Bytes value;      // the answer's data when accepted
  uint32_t abort;
};

TEST_F(BusTest, ReadsOfOwnObjectsAreCodedMostSignificantByteFirst) {
  layout(101).ao[0] = 12.34f;
  layout(100).ao[0] = -1.5f;
  const ReadCase cases[] = {
      {"block header: the type", object(100, 0), 0, bustest::be16(BLK_TYPE_ABSV), 0},
      {"block header, sub-index 1", object(100, 0), 1, {}, COM_ABORT_NO_SUBINDEX},
      {"analog input", object(100, 1), 1, bustest::beFloat(12.34f), 0},
      {"analog output", object(100, 3), 1, bustest::beFloat(-1.5f), 0},
      {"float parameter a", object(100, 5), 1, bustest::beFloat(1.0f), 0},
      {"analog input x 10", object(100, 9), 1, bustest::be16(123), 0},
      {"analog output x 10", object(100, 10), 1, bustest::be16(static_cast<uint16_t>(-15)), 0},
      {"sub-index 0", object(100, 9), 0, {}, COM_ABORT_NO_SUBINDEX},
      {"a third float of a type with two", object(100, 5), 3, {}, COM_ABORT_NO_SUBINDEX},
      {"no digital inputs", object(100, 2), 1, {}, COM_ABORT_NO_SUBINDEX},
      {"block 0", 0x2000, 0, {}, COM_ABORT_NO_OBJECT},
      {"block data: a status byte", object(120, 13), 10, {5}, 0},
      {"block data: a float", object(120, 13), 3, bustest::beFloat(12.0f), 0},
      {"block data: an integer", object(120, 14), 1, bustest::be16(static_cast<uint16_t>(-1234)), 0},
      {"block data the handler does not know", object(120, 15), 1, {}, COM_ABORT_NO_SUBINDEX},
      {"a word value", object(120, 8), 2, bustest::be16(4), 0},
      {"a 32-bit value", object(120, 7), 1, bustest::beFloat(3.0f), 0},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes answer = access(COM_MSG_READ, c.index, c.sub);
    if (c.abort) {
      EXPECT_EQ(bustest::abortOf(answer), c.abort);
    } else {
      ASSERT_FALSE(answer.empty());
      EXPECT_EQ(answer[0], COM_MSG_UPLOADED);
      EXPECT_EQ(bustest::dataOf(answer), c.value);
    }
  }
}

TEST_F(BusTest, TenfoldReadsKeepTheNoValueMarkerAndSaturate) {
  const struct {
    float input;
    int16_t read;
  } cases[] = {
      {-32000.0f, -32000}, {5000.0f, 32767}, {-1.0e30f, -32768},
      {std::numeric_limits<float>::quiet_NaN(), 0}, {-3200.0f, -32000}, {0.26f, 2},
  };
  for (const auto& c : cases) {
    layout(101).ao[0] = c.input;
    const Bytes answer = access(COM_MSG_READ, object(100, 9), 1);
    EXPECT_EQ(bustest::dataOf(answer), bustest::be16(static_cast<uint16_t>(c.read))) << c.input;
  }
}

// --- the empty driver ---------------------------------------------------------------------

TEST_F(BusTest, WithTheEmptyDriverTheNodeWaitsForItsOwnIdentity) {
  COM_BusSetDriver(nullptr);
  ASSERT_NE(COM_BusMapInput(0x181), nullptr);
  COM_BusNode(7)->remoteState = COM_REMOTE_LOST;
  COM_BusSetAddress(7);
  g_fwRunMode = FW_RUN_MODE_STOP;
  run(2);
  EXPECT_EQ(COM_BusMachineState(), 0) << "stopped";

  g_fwRunMode = FW_RUN_MODE_RUN;
  COM_BusCycle();
  EXPECT_EQ(COM_BusInputMap().used, 0) << "entering the run mode resets the tables";
  EXPECT_EQ(COM_BusNode(7)->remoteState, COM_REMOTE_UNKNOWN);
  EXPECT_EQ(COM_BusSelectedNode(), 0);
  EXPECT_EQ(COM_BusNode(kOwn)->remoteState, COM_REMOTE_KNOWN);
  EXPECT_EQ(COM_BusNode(kOwn)->kind, COM_KIND_OWN_FAMILY);
  EXPECT_EQ(COM_BusMachineState(), 1);

  ComBusRequest r = readOf(7, 0x1008);
  EXPECT_EQ(COM_BusStartReadRequest(&r), 1);
  run(30);
  EXPECT_EQ(COM_BusMachineState(), 1) << "the own identity is never answered";
  EXPECT_EQ(r.state, COM_REQ_SENT) << "started requests stay outstanding";
  EXPECT_EQ(COM_BusOutstanding(), 1);

  g_fwRunMode = FW_RUN_MODE_STOP;
  COM_BusCycle();
  EXPECT_EQ(COM_BusMachineState(), 0);
}

// --- request objects ----------------------------------------------------------------------

TEST_F(BusTest, AtMostTenRequestsAreOutstandingOnePerNode) {
  ComBusRequest r[12];
  for (int i = 0; i < 12; ++i) r[i] = readOf(static_cast<uint16_t>(10 + i), 0x6000);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(COM_BusStartReadRequest(&r[i]), 1) << i;
  EXPECT_EQ(COM_BusStartReadRequest(&r[10]), 0) << "the eleventh";
  EXPECT_EQ(r[10].state, COM_REQ_FREE) << "a refused request is left as it was";
  EXPECT_EQ(COM_BusOutstanding(), 10);

  // The owner gives one up: its slot is free again.
  r[3].state = COM_REQ_FREE;
  EXPECT_EQ(COM_BusStartReadRequest(&r[10]), 1);
  COM_BusCancelRequest(&r[4]);
  EXPECT_EQ(COM_BusStartRequest(&r[11]), 1);
  EXPECT_EQ(COM_BusOutstanding(), 10);
}

TEST_F(BusTest, RequestsThatCannotBeSentAreRefused) {
  ComBusRequest first = readOf(12, 0x6000);
  ASSERT_EQ(COM_BusStartReadRequest(&first), 1);
  EXPECT_EQ(COM_BusStartReadRequest(&first), 0) << "already running";
  ComBusRequest second = readOf(12, 0x6001);
  EXPECT_EQ(COM_BusStartRequest(&second), 0) << "the node has one outstanding";
  for (uint16_t node : {0, 43, 300}) {
    ComBusRequest bad = readOf(node, 0x6000);
    EXPECT_EQ(COM_BusStartReadRequest(&bad), 0) << node;
  }
  ComBusRequest tooLong = readOf(13, 0x6000);
  tooLong.length = COM_BUS_DATA_BYTES + 1;
  EXPECT_EQ(COM_BusStartRequest(&tooLong), 0);
  EXPECT_EQ(COM_BusStartRequest(nullptr), 0);
  g_driver.accept = 0;
  ComBusRequest refused = readOf(14, 0x6000);
  EXPECT_EQ(COM_BusStartReadRequest(&refused), 0) << "the driver refuses";
  EXPECT_EQ(COM_BusOutstanding(), 1);
}

TEST_F(BusTest, AWriteRequestCarriesItsDataToTheDriver) {
  ComBusRequest w = readOf(12, 0x2100);
  w.subIndex = 3;
  w.length = 2;
  w.data[0] = 0x34;
  w.data[1] = 0x12;
  g_driver.requests.clear();
  ASSERT_EQ(COM_BusStartRequest(&w), 1);
  ASSERT_EQ(g_driver.requests.size(), 1u);
  EXPECT_EQ(g_driver.requests[0], (Bytes{COM_MSG_DOWNLOAD, 12, 0x21, 0x00, 3, 2, 0x34, 0x12}));
  g_driver.events.push_back(bustest::event(COM_MSG_DOWNLOADED, 12, 0x2100, 3));
  COM_BusCycle();
  EXPECT_EQ(w.state, COM_REQ_ANSWERED);
  EXPECT_EQ(COM_BusOutstanding(), 0);
}

TEST_F(BusTest, AnswersAndAbortsFinishTheNodesRequest) {
  ComBusRequest read = readOf(12, 0x100A);
  ComBusRequest other = readOf(13, 0x6000);
  ASSERT_EQ(COM_BusStartReadRequest(&read), 1);
  ASSERT_EQ(COM_BusStartReadRequest(&other), 1);
  g_driver.events.push_back(bustest::event(COM_MSG_UPLOADED, 12, 0x100A, 0, bustest::text("SW-V01.27")));
  g_driver.events.push_back(bustest::event(COM_MSG_ABORT, 13, 0x6000, 0, bustest::be32(0x06020000)));
  COM_BusCycle();
  EXPECT_EQ(read.state, COM_REQ_ANSWERED);
  EXPECT_EQ(read.length, 9);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(read.data), 9), "SW-V01.27");
  EXPECT_EQ(other.state, COM_REQ_ABORTED);
  EXPECT_EQ(other.abortIndex, 0x6000);
  EXPECT_EQ(other.abortCode, 0x06020000u);
  EXPECT_EQ(COM_BusNode(13)->failCount, 1);
  EXPECT_EQ(COM_BusNode(13)->failCode, 0x06020000u);
  EXPECT_EQ(COM_BusOutstanding(), 0);

  // An answer longer than the buffer is cut to it; an answer nobody waits for changes nothing.
  ComBusRequest again = readOf(12, 0x100A);
  ASSERT_EQ(COM_BusStartReadRequest(&again), 1);
  g_driver.events.push_back(bustest::event(COM_MSG_UPLOADED, 12, 0x100A, 0, Bytes(30, 'y')));
  g_driver.events.push_back(bustest::event(COM_MSG_UPLOADED, 20, 0x100A, 0, bustest::text("z")));
  COM_BusCycle();
  EXPECT_EQ(again.length, COM_BUS_DATA_BYTES);
}

TEST_F(BusTest, AtMost25EventsATickAndAbort1542EndsThem) {
  for (int i = 0; i < 30; ++i) {
    g_driver.events.push_back(bustest::event(COM_MSG_READ, kPeer, object(100, 0), 0));
  }
  COM_BusCycle();
  EXPECT_EQ(g_driver.replies.size(), 25u);
  EXPECT_EQ(g_driver.events.size(), 5u);
  COM_BusCycle();
  EXPECT_EQ(g_driver.replies.size(), 30u);

  g_driver.replies.clear();
  g_driver.events.push_back(bustest::event(COM_MSG_ABORT, 12, 0, 0, bustest::be32(COM_ABORT_STOP_EVENTS)));
  g_driver.events.push_back(bustest::event(COM_MSG_READ, kPeer, object(100, 0), 0));
  COM_BusCycle();
  EXPECT_TRUE(g_driver.replies.empty()) << "the read waits for the next tick";
  COM_BusCycle();
  EXPECT_EQ(g_driver.replies.size(), 1u);
}

TEST_F(BusTest, MalformedEventsAreHarmless) {
  const Bytes events[] = {
      {COM_MSG_UPLOADED}, {COM_MSG_ABORT, 200, 0, 0, 0, 4, 1, 2, 3, 4},
      {COM_MSG_IDENTITY, 255, 0, 0, 0, 255}, {COM_MSG_LOST, 0}, {COM_MSG_WRITE, 1, 0x26, 0x45, 1, 200},
      {77, 3, 1, 2, 3, 4, 5, 6, 7}, {},
  };
  for (const Bytes& e : events) g_driver.events.push_back(e);
  COM_BusCycle();
  EXPECT_FLOAT_EQ(layout(100).fp[0], 1.0f);
  EXPECT_EQ(COM_BusNode(0)->remoteState, COM_REMOTE_UNKNOWN);
}

// --- identities and the state machine ---------------------------------------------------

TEST_F(BusTest, ConfiguredNodesAreIdentifiedStartedAndSupervised) {
  ComBusNode& coupler = *COM_BusNode(7);
  coupler.configStage = COM_USE_CLAIMED;
  COM_BusNode(8)->configStage = COM_USE_CLAIMED;
  COM_BusNode(9)->configStage = COM_USE_CLAIMED;
  COM_BusNode(9)->identityQuery = COM_QUERY_NEVER;   // announces itself
  g_fwRunMode = FW_RUN_MODE_RUN;
  COM_BusCycle();   // state 0: reset, own identity sent
  ASSERT_EQ(COM_BusMachineState(), 1);
  ASSERT_EQ(g_driver.blocks.size(), 1u);
  EXPECT_EQ(bustest::dataOf(g_driver.blocks[0]), bustest::text("MX74+"));
  EXPECT_EQ(g_driver.bitRate, 125);
  EXPECT_EQ(COM_BusNode(7)->configStage, COM_USE_NONE) << "the reset cleared the claims";

  // The blocks claim their nodes again in the start-up pass.
  coupler.configStage = COM_USE_CLAIMED;
  COM_BusNode(8)->configStage = COM_USE_CLAIMED;
  COM_BusNode(9)->configStage = COM_USE_CLAIMED;
  COM_BusNode(9)->identityQuery = COM_QUERY_NEVER;
  g_driver.events.push_back(bustest::event(COM_MSG_UPLOADED, kOwn, 0x1008, 0, bustest::text("MX74+")));
  run(3);
  EXPECT_EQ(COM_BusMachineState(), 1);
  COM_BusCycle();
  EXPECT_EQ(COM_BusMachineState(), 2) << "the tick that sees the answer, then two more";
  g_driver.requests.clear();
  COM_BusCycle();
  EXPECT_EQ(COM_BusMachineState(), 3);
  EXPECT_EQ(coupler.remoteState, COM_REMOTE_ASKED);
  EXPECT_EQ(COM_BusNode(9)->remoteState, COM_REMOTE_UNKNOWN) << "not asked";
  ASSERT_EQ(g_driver.requests.size(), 2u);
  EXPECT_EQ(g_driver.requests[0], (Bytes{COM_MSG_UPLOAD, 7, 0x10, 0x08, 0, 0}));

  coupler.nmtState = COM_NODE_PREOPERATIONAL;
  g_driver.commands.clear();
  g_driver.events.push_back(bustest::event(COM_MSG_UPLOADED, 7, 0x1008, 0, bustest::text("TQ 510  ")));
  g_driver.events.push_back(bustest::event(COM_MSG_ABORT, 8, 0x1008, 0, bustest::be32(COM_ABORT_NO_NAME)));
  COM_BusCycle();   // the answers arrive
  COM_BusCycle();   // state 3 takes them
  EXPECT_EQ(coupler.kind, COM_KIND_COUPLER);
  EXPECT_STREQ(coupler.name, "TQ 510");
  EXPECT_EQ(coupler.remoteState, COM_REMOTE_KNOWN);
  EXPECT_EQ(coupler.configStage, COM_USE_STARTED);
  EXPECT_EQ(COM_BusNode(8)->kind, COM_KIND_NO_NAME);
  EXPECT_EQ(COM_BusNode(8)->failCount, 0) << "cleared when identified";
  EXPECT_EQ(g_driver.commands.front(), (std::pair<int, int>{7, COM_NMT_START}));
  EXPECT_EQ(COM_BusMachineState(), 4);

  COM_BusCycle();
  EXPECT_EQ(COM_BusMachineState(), 4) << "waiting for the coupler block";
  coupler.configStage = COM_USE_CONFIGURED;
  COM_BusNode(8)->configStage = COM_USE_CONFIGURED;
  g_driver.events.push_back(bustest::event(COM_MSG_ABORT, 7, 0, 0, {COM_DRIVER_OPERATIONAL}));
  COM_BusCycle();
  EXPECT_EQ(COM_BusMachineState(), 7);
  EXPECT_EQ(coupler.nmtState, COM_NODE_OPERATIONAL) << "from its state report";
  EXPECT_EQ(COM_BusSelectedNode(), 7) << "an operational coupler is shown";

  // Supervision: the node that reported its state is left alone; the silent one is reset.
  g_driver.commands.clear();
  COM_BusCycle();
  EXPECT_EQ(g_driver.commands, (std::vector<std::pair<int, int>>{{8, COM_NMT_RESET}}));
  run(19);
  EXPECT_EQ(g_driver.commands.size(), 1u);
  COM_BusCycle();
  EXPECT_EQ(g_driver.commands.back(), (std::pair<int, int>{7, COM_NMT_RESET})) << "21 ticks silent";
  EXPECT_EQ(coupler.remoteState, COM_REMOTE_KNOWN);
}

TEST_F(BusTest, NodeAnnouncementsAndLosses) {
  const struct {
    Bytes event;
    uint16_t node;
    uint32_t remote;
    uint8_t kind;
  } cases[] = {
      {bustest::event(COM_MSG_IDENTITY, 11, 0, 0, bustest::text("MX74+")), 11, COM_REMOTE_KNOWN,
       COM_KIND_OWN_FAMILY},
      {bustest::event(COM_MSG_IDENTITY, 12, 0, 0, bustest::text("OTHER")), 12, COM_REMOTE_LOST, 0},
      {bustest::event(COM_MSG_LOST, 13), 13, COM_REMOTE_LOST, 0},
  };
  for (const auto& c : cases) {
    g_driver.events.push_back(c.event);
    COM_BusCycle();
    EXPECT_EQ(COM_BusNode(c.node)->remoteState, c.remote) << c.node;
    EXPECT_EQ(COM_BusNode(c.node)->kind, c.kind) << c.node;
  }
  EXPECT_EQ(COM_BusNode(11)->retry, COM_BUS_RETRY_LIMIT);
}

TEST_F(BusTest, TheOperationalStateSendsThePeriodicMessageWhileTheDriverAsks) {
  g_fwRunMode = FW_RUN_MODE_RUN;
  COM_BusCycle();
  g_driver.events.push_back(bustest::event(COM_MSG_UPLOADED, kOwn, 0x1008, 0, bustest::text("MX74+")));
  run(7);
  ASSERT_EQ(COM_BusMachineState(), 7);
  g_driver.status = 1;
  g_driver.blocks.clear();
  run(9);
  EXPECT_TRUE(g_driver.blocks.empty());
  COM_BusCycle();
  ASSERT_EQ(g_driver.blocks.size(), 1u);
  EXPECT_EQ(g_driver.blocks[0][0], COM_MSG_PERIODIC);
  run(10);
  EXPECT_EQ(g_driver.blocks.size(), 2u);

  g_driver.status = 0;
  g_driver.ownState = COM_DRIVER_PREOPERATIONAL;
  g_driver.commands.clear();
  COM_BusCycle();
  EXPECT_EQ(COM_BusNode(kOwn)->nmtState, COM_NODE_PREOPERATIONAL);
  COM_BusCycle();
  EXPECT_EQ(g_driver.commands.front(), (std::pair<int, int>{kOwn, COM_NMT_START}));
}

// --- the pages' table ---------------------------------------------------------------------

TEST_F(BusTest, TheCanNodeTableShowsTheNodeRecords) {
  ComBusNode& n = *COM_BusNode(7);
  n.remoteState = COM_REMOTE_KNOWN;
  n.nmtState = COM_NODE_OPERATIONAL;
  n.configStage = COM_USE_CONFIGURED;
  n.kind = COM_KIND_COUPLER;
  std::memcpy(n.name, "TQ 510 long", 11);
  COM_BusNode(8)->configStage = 9;   // no such stage
  const ComCanNodeTable& t = COM_CanNodeTable();
  EXPECT_EQ(t.ownNode, kOwn);
  EXPECT_EQ(t.nodes[7].remote, 3);
  EXPECT_EQ(t.nodes[7].nmt, 3);
  EXPECT_EQ(t.nodes[7].use, 3);
  EXPECT_EQ(t.nodes[7].state, COM_KIND_COUPLER);
  EXPECT_EQ(t.nodes[7].type, COM_KIND_COUPLER);
  EXPECT_STREQ(t.nodes[7].name, "TQ 510 l") << "eight characters";
  EXPECT_EQ(t.nodes[8].use, 0) << "an index outside the page's codes";
  EXPECT_EQ(t.nodes[kOwn].remote, 3);

  COM_Init();
  ASSERT_NE(g_fwSysHooks.busNodeKnown, nullptr);
  EXPECT_TRUE(g_fwSysHooks.busNodeKnown()) << "node 7 is known (datum 561 bit 4)";
  n.remoteState = COM_REMOTE_LOST;
  EXPECT_FALSE(g_fwSysHooks.busNodeKnown()) << "the own node does not count";
}

}  // namespace
