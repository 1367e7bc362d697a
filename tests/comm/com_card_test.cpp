// The option cards: the PROFIBUS card's exchange frames through the serial driver's test line
// (record swap, reply, refused replies, bad indexes, frames for channel 1, receptions with
// errors, the download state), its reset and its cycle step (device status byte, link
// supervision), the PROFINET card's reset, and the card in the running firmware.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "blocks/register_all.h"
#include "comm/com_card.h"
#include "comm/com_modbus.h"
#include "comm/com_serial.h"
#include "comm_fixture.h"
#include "firmware/fw_adapter.h"
#include "runtime/fw_sysimage.h"
#include "support/adapter_firmware.h"

namespace commtest {
namespace {

using Record = std::array<uint8_t, COM_FB_RECORD_SIZE>;
using Records = std::array<Record, COM_FB_RECORDS>;

Records records() {
  Records r;
  for (uint32_t n = 0; n < COM_FB_RECORDS; ++n) std::memcpy(r[n].data(), g_comFieldbus[n], COM_FB_RECORD_SIZE);
  return r;
}
Record recordAt(const Bytes& bytes, size_t at) {
  Record r;
  std::memcpy(r.data(), bytes.data() + at, COM_FB_RECORD_SIZE);
  return r;
}
// 26 bytes that tell where they came from.
Record pattern(uint8_t seed) {
  Record r;
  for (uint32_t j = 0; j < COM_FB_RECORD_SIZE; ++j) r[j] = static_cast<uint8_t>(seed + j);
  return r;
}

// An exchange frame: the fixed bytes, the card's bus status, index i with its data, index k
// with its data, the final byte.
Bytes exchangeFrame(uint8_t bus, uint8_t i, const Record& first, uint8_t k, const Record& second,
                    uint8_t final = 0x7E) {
  Bytes f(kComCardHeader, kComCardHeader + COM_CARD_HEADER);
  f.push_back(bus);
  f.push_back(i);
  f.insert(f.end(), first.begin(), first.end());
  f.push_back(k);
  f.insert(f.end(), second.begin(), second.end());
  f.push_back(final);
  return f;
}

// Communication option "3" on the test line; records 1..4 hold what the DPREAD blocks would
// have written, record 0 has data-invalid bytes clear.
class OptionCard : public CommTest {
 protected:
  void SetUp() override {
    CommTest::SetUp();
    g_comCard = ComOptionCard{};
    std::memset(g_comFieldbus, 0, sizeof g_comFieldbus);
    g_fwMain.statusBits = 0;
    uint8_t* im = FW_SysImage();
    im[FW_SYS_ORDER_DIGITS + 2] = '3';
    im[FW_SYS_ADDRESS] = 5;
    COM_SerialTestAttach(true);
    for (uint8_t n = 1; n <= 4; ++n) std::memcpy(g_comFieldbus[n], pattern(n * 40).data(), COM_FB_RECORD_SIZE);
  }
  void TearDown() override { COM_SerialTestAttach(false); }

  // A frame from the card, handled by the receive handler; what the device sent back.
  Bytes receive(const Bytes& frame, uint8_t errors = 0) {
    EXPECT_TRUE(COM_SerialTestReceive(1, frame.data(), static_cast<uint32_t>(frame.size()), errors));
    return take();
  }
  static Bytes take() {
    uint8_t out[COM_SERIAL_SIZE];
    const uint16_t n = COM_SerialTestTakeTransmission(out, sizeof out);
    return Bytes(out, out + n);
  }
  static void cycles(int n) {
    for (int c = 0; c < n; ++c) FW_OptionCardCycle();
  }
};

TEST_F(OptionCard, AnExchangeFrameFillsTheRecordsAndIsAnsweredWithTheMatchingOnes) {
  struct Case {
    uint8_t i, k;
  } cases[] = {{1, 2}, {3, 3}, {4, 1}, {0, 2}, {2, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "indexes " << int{c.i} << ", " << int{c.k});
    SetUp();
    g_fwSys.cardDeviceStatus = 0x09;
    const Records before = records();
    const Bytes reply = receive(exchangeFrame(0x05, c.i, pattern(100), c.k, pattern(200), 0x5A));
    // The second block wins where both name one record.
    Records want = before;
    want[c.i + 4] = pattern(100);
    want[c.k + 4] = pattern(200);
    want[0][COM_FB_DEVICE_STATUS] = 0x09;
    want[0][COM_FB_BUS_STATUS] = 0x05;
    EXPECT_EQ(records(), want);
    EXPECT_EQ(g_fwSys.cardBusStatus, 0x05);
    ASSERT_EQ(reply.size(), COM_CARD_REPLY);
    EXPECT_EQ(reply[0], 0x02);
    EXPECT_EQ(reply[1], 0x09) << "the device status byte";
    EXPECT_EQ(reply[2], c.i);
    // Index 0 sends record 0 back, with the status bytes as they are now.
    EXPECT_EQ(recordAt(reply, 3), c.i == 0 ? want[0] : before[c.i]) << "record i";
    EXPECT_EQ(reply[29], c.k);
    EXPECT_EQ(recordAt(reply, 30), c.k == 0 ? want[0] : before[c.k]) << "record k";
    EXPECT_EQ(reply[56], 0x5A);
  }
}

TEST_F(OptionCard, AnIndexAboveFourNeitherStoresNorReadsItsHalf) {
  for (const uint8_t bad : {5, 8, 200, 255}) {
    SCOPED_TRACE(int{bad});
    SetUp();
    const Records before = records();
    Bytes reply = receive(exchangeFrame(0x00, bad, pattern(100), 2, pattern(200)));
    Records want = before;
    want[6] = pattern(200);
    EXPECT_EQ(records(), want) << "only the good half and the status bytes changed";
    ASSERT_EQ(reply.size(), COM_CARD_REPLY);
    EXPECT_EQ(reply[2], bad);
    EXPECT_EQ(recordAt(reply, 3), pattern(100)) << "the card's bytes go back as they came";
    EXPECT_EQ(recordAt(reply, 30), before[2]);
    // The same in the second half.
    reply = receive(exchangeFrame(0x00, 1, pattern(10), bad, pattern(20)));
    EXPECT_EQ(records()[5], pattern(10));
    EXPECT_EQ(records()[6], pattern(200));
    EXPECT_EQ(recordAt(reply, 30), pattern(20));
  }
}

TEST_F(OptionCard, AReplyTheDriverRefusesIsLostButTheRecordsKeepWhatTheFrameBrought) {
  const Bytes first = receive(exchangeFrame(0x00, 1, pattern(100), 2, pattern(110)));
  ASSERT_EQ(first.size(), COM_CARD_REPLY);
  // The next reply finds the line busy with one that was not taken yet.
  ASSERT_TRUE(COM_SerialTestReceive(1, exchangeFrame(0x00, 3, pattern(120), 4, pattern(130)).data(), COM_CARD_FRAME));
  const uint16_t refused = g_comSerial.refusedCount;
  const Bytes second = exchangeFrame(0x00, 1, pattern(140), 2, pattern(150));
  ASSERT_TRUE(COM_SerialTestReceive(1, second.data(), COM_CARD_FRAME));
  EXPECT_EQ(g_comSerial.refusedCount, refused + 1);
  EXPECT_EQ(records()[5], pattern(140));
  EXPECT_EQ(records()[6], pattern(150));
  // The running transmission is the reply to the frame before, untouched.
  const Bytes running = take();
  ASSERT_EQ(running.size(), COM_CARD_REPLY);
  EXPECT_EQ(running[2], 3);
  EXPECT_EQ(recordAt(running, 3), records()[3]);
  EXPECT_TRUE(take().empty()) << "nothing else was sent";
}

TEST_F(OptionCard, AFrameWithOtherFixedBytesGoesToChannelOneAndStillRestartsTheLinkCounter) {
  for (uint32_t at = 0; at < COM_CARD_HEADER; ++at) {
    SCOPED_TRACE(at);
    Bytes frame = exchangeFrame(0x00, 1, pattern(100), 2, pattern(110));
    frame[at] ^= 0x40;
    g_comCard.linkCounter = 50;
    g_comChannels.events = 0;
    const Records before = records();
    EXPECT_TRUE(receive(frame).empty()) << "no exchange reply";
    EXPECT_EQ(records(), before);
    EXPECT_EQ(g_comCard.linkCounter, 0);
    EXPECT_EQ(g_comChannels.rxState[0], COM_RX_WAITING);
    EXPECT_EQ(g_comChannels.events, 1);
    COM_ServeChannels();
    EXPECT_EQ(g_comChannels.rxState[0], COM_RX_IDLE);
  }
  // A request of the character protocol from the card is answered from the receive area.
  const Bytes ask = {COM_EOT, COM_EOT, '0', '5', '1', '8', COM_ENQ};
  ASSERT_TRUE(COM_SerialTestReceive(1, ask.data(), static_cast<uint32_t>(ask.size())));
  uint16_t n = 0;
  EXPECT_EQ(std::memcmp(FW_OptionCardReceiveArea(&n), ask.data(), ask.size()), 0);
  EXPECT_EQ(n, ask.size());
  COM_ServeChannels();
  EXPECT_EQ(shown(take()).substr(0, 3), "18=");
}

TEST_F(OptionCard, AReceptionWithErrorBitsClearsTheFrameAndLeavesTheCounterRunning) {
  Bytes longFrame(80, 0x33);
  receive(longFrame);
  COM_ServeChannels();
  take();
  cycles(7);
  const Records before = records();
  EXPECT_TRUE(receive(exchangeFrame(0x00, 1, pattern(100), 2, pattern(110)), COM_SERIAL_ERR_FRAMING).empty());
  uint16_t n = 0;
  const uint8_t* area = FW_OptionCardReceiveArea(&n);
  for (uint32_t j = 0; j < COM_CARD_FRAME; ++j) ASSERT_EQ(area[j], 0) << j;
  EXPECT_EQ(area[COM_CARD_FRAME], 0x33) << "only the first 62 bytes are cleared";
  EXPECT_EQ(records(), before);
  EXPECT_EQ(g_comCard.linkCounter, 7);
  EXPECT_EQ(g_comChannels.rxState[0], COM_RX_IDLE) << "nothing for channel 1";
  cycles(1);
  EXPECT_EQ(g_comCard.linkCounter, 8);
}

TEST_F(OptionCard, InTheDownloadStateFramesAreDroppedAndTheCounterStands) {
  cycles(3);
  COM_LinkDeviceMode() = FW_DEVICE_SERVICE;
  const Records before = records();
  EXPECT_TRUE(receive(exchangeFrame(0x00, 1, pattern(100), 2, pattern(110))).empty());
  EXPECT_EQ(records(), before);
  EXPECT_EQ(g_comCard.linkCounter, 3);
  cycles(200);
  EXPECT_EQ(g_comCard.linkCounter, 3);
  EXPECT_EQ(g_fwSys.cardBusStatus, 0);
}

TEST_F(OptionCard, TheCycleStepKeepsTheDeviceStatusByte) {
  struct Case {
    const char* what;
    uint16_t runMode = FW_RUN_MODE_RUN;
    uint16_t statusBits = 0;
    uint8_t commStatus = 0;
    uint8_t record0At = 0;      // a non-zero byte of record 0 (0: none)
    uint8_t bus = 0;
    uint8_t deviceBefore = 0;
    uint8_t want;
  } cases[] = {
      {.what = "running, nothing wrong", .want = 0x00},
      {.what = "stopped", .runMode = FW_RUN_MODE_STOP, .want = 0x01},
      {.what = "an analog input failed", .statusBits = 1, .want = 0x02},
      {.what = "other status bits", .statusBits = 0x0E, .want = 0x00},
      {.what = "data changed", .commStatus = FW_STAT_CHANGED, .want = 0x08},
      {.what = "other status byte bits", .commStatus = 0x17, .want = 0x00},
      {.what = "block 11 data invalid", .record0At = 22, .want = 0x04},
      {.what = "block 13 data invalid", .record0At = 24, .want = 0x04},
      {.what = "block 14 does not count", .record0At = 25, .want = 0x00},
      {.what = "bus status bit 4", .bus = 0x10, .want = 0x04},
      {.what = "old bits go", .deviceBefore = 0x0F, .want = 0x00},
      {.what = "new address", .deviceBefore = 0x80, .want = 0x80},
      {.what = "address acknowledged", .bus = 0x80, .deviceBefore = 0x80, .want = 0x04},
  };
  for (const Case& c : cases) {
    SetUp();
    g_fwRunMode = c.runMode;
    g_fwMain.statusBits = c.statusBits;
    FW_SysStatus() = c.commStatus;
    if (c.record0At) g_comFieldbus[0][c.record0At] = 1;
    g_fwSys.cardBusStatus = c.bus;
    g_fwSys.cardDeviceStatus = c.deviceBefore;
    cycles(1);
    EXPECT_EQ(g_fwSys.cardDeviceStatus, c.want) << c.what;
    EXPECT_EQ(g_comFieldbus[0][COM_FB_DEVICE_STATUS], c.want) << c.what << ": record 0's copy";
  }
}

TEST_F(OptionCard, TheAddressChangeIsClearedOnceTheCardAcknowledgesIt) {
  g_fwRunMode = FW_RUN_MODE_RUN;
  g_fwSys.cardDeviceStatus |= COM_CARD_DEV_ADDRESS;   // as the system block sets it
  cycles(3);
  EXPECT_EQ(g_fwSys.cardDeviceStatus, 0x80);
  // The card sees it in the reply and sets its bit 7; the next cycle step clears the device's.
  EXPECT_EQ(receive(exchangeFrame(0x80, 1, pattern(1), 2, pattern(2)))[1], 0x80);
  EXPECT_EQ(g_fwSys.cardDeviceStatus, 0x80) << "not before the cycle step";
  cycles(1);
  EXPECT_EQ(g_fwSys.cardDeviceStatus & 0x80, 0);
  EXPECT_EQ(receive(exchangeFrame(0x00, 1, pattern(1), 2, pattern(2)))[1], 0x04)
      << "bit 2 for the bus status byte the card sent before";
}

TEST_F(OptionCard, ACardWithoutFramesForMoreThanAHundredCyclesIsLostAndStaysLost) {
  g_fwSys.cardBusStatus = 0x40;
  cycles(100);
  EXPECT_EQ(g_fwSys.cardBusStatus, 0x40) << "cycle 100";
  cycles(1);
  EXPECT_EQ(g_fwSys.cardBusStatus, 0x4F) << "cycle 101";
  EXPECT_EQ(g_comFieldbus[0][COM_FB_BUS_STATUS], 0x4F) << "record 0's copy";
  cycles(40000);
  EXPECT_EQ(g_fwSys.cardBusStatus & COM_CARD_BUS_ERRORS, COM_CARD_BUS_ERRORS) << "no wrap";
  EXPECT_EQ(g_comCard.linkCounter, 101);
  // Setting the channel up again clears the bus status only until the next cycle step.
  COM_InitChannel();
  EXPECT_EQ(g_fwSys.cardBusStatus, 0);
  cycles(1);
  EXPECT_EQ(g_fwSys.cardBusStatus, COM_CARD_BUS_ERRORS);
  // The next exchange frame brings the card's own bus status byte.
  receive(exchangeFrame(0x00, 1, pattern(1), 2, pattern(2)));
  EXPECT_EQ(g_fwSys.cardBusStatus, 0);
  cycles(100);
  EXPECT_EQ(g_fwSys.cardBusStatus, 0);
}

TEST_F(OptionCard, TheResetStartsTheStatusAndClearsTheRecordsUnlessWarmStarted) {
  for (const uint16_t warm : {0, 1}) {
    SCOPED_TRACE(warm);
    SetUp();
    receive(Bytes(70, 0x44));
    for (uint32_t n = 5; n < COM_FB_RECORDS; ++n) std::memset(g_comFieldbus[n], 0x55, COM_FB_RECORD_SIZE);
    std::memset(g_comFieldbus[0] + COM_FB_INVALID, 1, 4);
    g_fwSys.cardBusStatus = 0x8F;
    g_fwSys.cardDeviceStatus = 0x8E;
    g_comCard.linkCounter = 42;
    const Records before = records();
    g_fwEng.warmStart = warm;
    FW_OptionCardReset();
    EXPECT_EQ(g_fwSys.cardDeviceStatus, 0x01);
    EXPECT_EQ(g_fwSys.cardBusStatus, 0);
    const Record r0 = records()[0];
    EXPECT_EQ(r0[COM_FB_DEVICE_STATUS], 0x01);
    EXPECT_EQ(r0[COM_FB_BUS_STATUS], 0);
    EXPECT_EQ(r0[22] | r0[23] | r0[24], 0);
    EXPECT_EQ(r0[25], 1) << "block 14's byte is its own";
    uint16_t n = 0;
    const uint8_t* area = FW_OptionCardReceiveArea(&n);
    EXPECT_EQ(n, 0);
    for (uint32_t j = 0; j < COM_SERIAL_SIZE; ++j) ASSERT_EQ(area[j], 0) << j;
    for (uint32_t r = 1; r < COM_FB_RECORDS; ++r) {
      EXPECT_EQ(records()[r], warm == 1 ? before[r] : Record{}) << "record " << r;
    }
    EXPECT_EQ(g_comCard.linkCounter, 42) << "the reset does not touch the counter";
  }
}

TEST_F(OptionCard, ClearingTheRecordsLeavesRecordZero) {
  std::memset(g_comFieldbus, 0x66, sizeof g_comFieldbus);
  FW_OptionCardClearRecords();
  const Records r = records();
  for (uint32_t j = 0; j < COM_FB_RECORD_SIZE; ++j) EXPECT_EQ(r[0][j], 0x66);
  for (uint32_t n = 1; n < COM_FB_RECORDS; ++n) EXPECT_EQ(r[n], Record{}) << n;
}

// ---------------------------------------------------------------------------------------
// PROFINET card link.

TEST_F(CommTest, ThePnCardResetClearsTheDataAreaUnlessWarmStarted) {
  for (const uint16_t warm : {0, 1}) {
    SCOPED_TRACE(warm);
    std::memset(g_comPnData.bytes, 0xA5, sizeof g_comPnData.bytes);
    ComPnLink& l = g_comPnLink;
    l.phase = 3;
    l.state = 4;
    l.status = 0x12345678;
    l.statusFlags = 7;
    l.errorCount = 9;
    l.receiveLength = 30;
    l.send[0] = 1;
    l.receive[0] = 2;
    l.acyclicRequest = 1;
    g_fwEng.warmStart = warm;
    FW_SysImage()[FW_SYS_ORDER_DIGITS + 2] = '4';
    COM_InitChannel();
    EXPECT_EQ(l.phase | l.state | l.status | l.statusFlags | l.errorCount | l.receiveLength |
                  l.send[0] | l.receive[0],
              0u);
    EXPECT_EQ(l.acyclicRequest, 1) << "PNSERV's request stays";
    EXPECT_EQ(COM_PnDataType(), 0);
    uint32_t kept = 0;
    for (uint32_t j = 0; j < COM_PN_DATA_TYPE; ++j) kept += g_comPnData.bytes[j] == 0xA5;
    EXPECT_EQ(kept, warm == 1 ? COM_PN_DATA_TYPE : 0u);
  }
}

TEST(PnDataArea, TheAreasLieInTheirOrderWithSixteenBitValidFlags) {
  struct Case {
    ComPnArea area;
    uint16_t offset, valid;
  } cases[] = {{COM_PN_OUT_W20, 0, 0},   {COM_PN_OUT_F20, 40, 0},   {COM_PN_OUT_W50, 120, 0},
               {COM_PN_OUT_F50, 220, 0}, {COM_PN_IN_W20, 420, 460}, {COM_PN_IN_F20, 462, 542},
               {COM_PN_IN_W50, 544, 644}, {COM_PN_IN_F50, 646, 846}};
  for (const Case& c : cases) {
    EXPECT_EQ(g_comPnLayout[c.area].offset, c.offset) << int{c.area};
    EXPECT_EQ(g_comPnLayout[c.area].valid, c.valid) << int{c.area};
  }
  std::memset(g_comPnData.bytes, 0, sizeof g_comPnData.bytes);
  COM_PnSetFloat(COM_PN_IN_F20, 19, -2.5f);
  COM_PnSetWord(COM_PN_IN_W50, 0, -300);
  COM_PnSetValid(COM_PN_IN_F50, true);
  const ComPnData written = g_comPnData;
  EXPECT_FLOAT_EQ(COM_PnFloat(COM_PN_IN_F20, 19), -2.5f);
  EXPECT_EQ(COM_PnWord(COM_PN_IN_W50, 0), -300);
  EXPECT_EQ(g_comPnData.bytes[544], 0xD4) << "little-endian";
  EXPECT_TRUE(COM_PnValid(COM_PN_IN_F50));
  EXPECT_EQ(g_comPnData.bytes[846], 1);
  // Values past an area, of the other kind, or valid flags of outputs are not there.
  COM_PnSetWord(COM_PN_OUT_W20, 20, 1);
  COM_PnSetFloat(COM_PN_OUT_W20, 0, 1.0f);
  COM_PnSetValid(COM_PN_OUT_F50, true);
  EXPECT_EQ(COM_PnWord(COM_PN_IN_F20, 0), 0);
  EXPECT_FALSE(COM_PnValid(COM_PN_OUT_F50));
  EXPECT_EQ(std::memcmp(g_comPnData.bytes, written.bytes, COM_PN_AREA_SIZE), 0);
}

// ---------------------------------------------------------------------------------------
// The card in the running firmware: the simulator gets no frame, so the card is lost from
// the 101st main cycle on; a new device address and a failed input reach the status byte.

class CardFirmware : public AdapterFirmware {
 protected:
  void SetUp() override {
    BLK_RegisterAllTypes();
    g_comCard = ComOptionCard{};
    SimState().device.commOpt = 3;
    EngBuilder b;
    b.setOrderCode("0030000000");
    b.setRunMode(2);
    ASSERT_TRUE(b.addBlock(100, EngBuilder::typeByName("ABSV"), 1));
    startWith(b);
  }
  static uint8_t datum(int16_t number) {
    FbParamRequest r(0, static_cast<int16_t>(-number));
    EXPECT_EQ(FW_WriteSystemData(&r, nullptr), FB_OK);
    return r.u8(4);
  }
};

TEST_F(CardFirmware, TheMainCycleSupervisesTheCardAndKeepsTheStatusByte) {
  ASSERT_EQ(g_fwMain.commOption, '3');
  FW_SysStatus() &= static_cast<uint8_t>(~FW_STAT_CHANGED);
  for (int i = 0; i < 110; ++i) FW_SimCycle();
  EXPECT_EQ(g_fwSys.cardBusStatus, COM_CARD_BUS_ERRORS);
  EXPECT_EQ(datum(9), 0x1F) << "the four error bits and the device's bit 2";
  EXPECT_EQ(g_fwSys.cardDeviceStatus, 0x04) << "running";
  g_fwAnalogInputFailures = 1;
  FW_SimCycle();
  EXPECT_EQ(g_fwSys.cardDeviceStatus, 0x06);
  g_fwAnalogInputFailures = 0;
  // A new device address, once the system block has queued it.
  FbParamRequest r = FB_WordRequest(0, 3002, 12);
  ASSERT_EQ(FW_WriteSystemData(&r, nullptr), FB_OK);
  for (int i = 0; i < 3; ++i) FW_SimCycle();
  EXPECT_EQ(g_fwSys.cardDeviceStatus, 0x84);
}

TEST_F(CardFirmware, ClearingTheEngineeringClearsTheExchangeRecords) {
  std::memset(g_comFieldbus[1], 0x11, 8 * COM_FB_RECORD_SIZE);
  FW_ClearEngineering();
  for (uint32_t n = 1; n < COM_FB_RECORDS; ++n) EXPECT_EQ(records()[n], Record{}) << n;
}

}  // namespace
}  // namespace commtest
