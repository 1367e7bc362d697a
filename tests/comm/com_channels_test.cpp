// The serial channels 1 and 3 through the serial driver's test line: the set-up by the
// communication option, the device address and broadcasts on channel 1, the unchecked CRC of
// channel 3, the write lock, receptions with errors and the receive states.
#include <gtest/gtest.h>

#include "comm/com_modbus.h"
#include "comm/com_serial.h"
#include "comm_fixture.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_sysimage.h"

namespace commtest {
namespace {

class SerialChannels : public CommTest {
 protected:
  void SetUp() override {
    CommTest::SetUp();
    setUpInterface('0', 3, 5);
  }
  void TearDown() override { COM_SerialTestAttach(false); }

  // Communication option, protocol byte and device address of the interface settings; the
  // test line attached (which sets the channel up again).
  void setUpInterface(uint8_t option, uint8_t protocol, uint8_t address, uint8_t baud = 2) {
    uint8_t* im = FW_SysImage();
    im[FW_SYS_ORDER_DIGITS + 2] = option;
    im[FW_SYS_PROTOCOL] = protocol;
    im[FW_SYS_ADDRESS] = address;
    im[FW_SYS_BAUD] = baud;
    COM_SerialTestAttach(true);
  }
  // A frame on the line, the channels served, and what went back on the line.
  Bytes line(int channel, const Bytes& frame, uint8_t errors = 0) {
    EXPECT_TRUE(COM_SerialTestReceive(channel, frame.data(), static_cast<uint32_t>(frame.size()), errors));
    COM_ServeChannels();
    uint8_t out[COM_SERIAL_SIZE];
    const uint16_t n = COM_SerialTestTakeTransmission(out, sizeof out);
    return Bytes(out, out + n);
  }
  static Bytes read1(uint8_t address) { return PcModbusFrame({address, 3, 0x00, 0x01, 0x00, 0x01}); }
};

TEST_F(SerialChannels, TheCommunicationOptionSetsTheChannelUp) {
  struct Case {
    uint8_t option, protocol, address, baud;
    uint8_t wantProtocol, wantAddress, wantBaud, driverCode, dataBits;
  } cases[] = {
      {'3', 3, 150, 2, 1, 1, 0, 14, 8},    // option card: its other frames are ASCII
      {'3', 0, 126, 2, 1, 126, 0, 14, 8},
      {'4', 3, 20, 2, 4, 1, 0, 15, 8},     // PROFINET card
      {'0', 3, 0, 1, 3, 1, 1, 11, 8},      // Modbus: address 0 becomes 1
      {'0', 3, 200, 4, 3, 200, 4, 14, 8},
      {'1', 0, 150, 2, 0, 1, 2, 12, 7},    // ASCII: addresses of 100 and above become 1
      {'0', 1, 99, 3, 0, 99, 3, 13, 7},    // any other protocol is ASCII
      {'0', 0, 10, 0, 0, 10, 0, 13, 7},
  };
  for (const Case& c : cases) {
    setUpInterface(c.option, c.protocol, c.address, c.baud);
    const ComChannelSettings& s = g_comModbus.channel;
    EXPECT_EQ(s.protocol, c.wantProtocol) << c.option << int{c.protocol};
    EXPECT_EQ(s.address, c.wantAddress) << c.option << int{c.address};
    EXPECT_EQ(s.baudCode, c.wantBaud) << c.option;
    EXPECT_EQ(g_comSerial.settings.baudCode, c.driverCode) << c.option << int{c.baud};
    EXPECT_EQ(g_comSerial.settings.dataBits, c.dataBits) << c.option;
    EXPECT_EQ(FW_SysImage()[FW_SYS_PROTOCOL], c.protocol) << "the stored setting stays";
  }
}

TEST_F(SerialChannels, ChannelOneAnswersItsOwnAddressAndNotBroadcasts) {
  const Bytes a = line(1, read1(5));
  ASSERT_EQ(a.size(), 7u);
  EXPECT_EQ(a[0], 5);
  EXPECT_EQ(PcCrc16(a.data(), a.size()), 0);
  EXPECT_EQ(g_comChannels.events, 0) << "the event was consumed";
  EXPECT_TRUE(line(1, read1(6)).empty()) << "another device";
  // A broadcast write is done, but not answered.
  g_fbSchedule.ctrlBlocks[0] = 100;
  EXPECT_TRUE(line(1, PcModbusFrame({0, 6, 0x01, 0x70, 0x00, 33})).empty());
  EXPECT_FLOAT_EQ(g_vals.value2, 33.0f);
  // A bad CRC gets nothing, and so does a reception with error bits.
  Bytes bad = read1(5);
  bad.back() ^= 1;
  EXPECT_TRUE(line(1, bad).empty());
  EXPECT_TRUE(line(1, read1(5), COM_SERIAL_ERR_PARITY).empty());
  EXPECT_EQ(COM_SerialErrorFlags(), COM_SERIAL_ERR_PARITY);
  EXPECT_EQ(line(1, read1(5)).size(), 7u);
  EXPECT_EQ(COM_SerialErrorFlags(), 0);
}

TEST_F(SerialChannels, ChannelOneSpeaksTheCharacterProtocolUnlessItsProtocolIsModbus) {
  setUpInterface('0', 0, 5);
  EXPECT_EQ(shown(line(1, {COM_EOT, '0', '5', '0', '1', ',', '1', '0', '0', ',', '1', '0', COM_ENQ})),
            "01=1.5");
  EXPECT_TRUE(line(1, {COM_EOT, '0', '6', '0', '1', ',', '1', '0', '0', ',', '1', '0', COM_ENQ}).empty());
  // With the option card the card's other frames come to channel 1 in the same protocol.
  setUpInterface('3', 3, 5);
  EXPECT_EQ(shown(line(1, {COM_EOT, COM_EOT, '0', '5', '1', '8', COM_ENQ})).substr(0, 3), "18=");
}

TEST_F(SerialChannels, ChannelThreeAnswersWithoutCheckingTheCrc) {
  Bytes frame = read1(9);
  frame.back() ^= 0x55;
  const Bytes a = line(3, frame);
  ASSERT_EQ(a.size(), 7u);
  EXPECT_EQ(a[0], 9);
  // Even a frame without function code does no harm.
  EXPECT_TRUE(line(3, {0x01}).empty());
}

TEST_F(SerialChannels, TheWriteLockRefusesWritesFromTheLineButNotFromThePcTool) {
  g_fbSchedule.ctrlBlocks[0] = 100;
  FW_SysImage()[FW_SYS_FLAGS38] |= 0x10;
  EXPECT_EQ(line(1, PcModbusFrame({5, 6, 0x01, 0x70, 0x00, 3})), PcModbusFrame({5, 0x86, 7}));
  EXPECT_EQ(line(3, PcModbusFrame({5, 6, 0x01, 0x70, 0x00, 3})), PcModbusFrame({5, 0x86, 7}));
  EXPECT_EQ(line(1, read1(5)).size(), 7u) << "reads stay open";
  EXPECT_EQ(ask({6, 0x01, 0x70, 0x00, 3}).size(), 8u) << "the PC-tool channel is not locked";
}

TEST_F(SerialChannels, TheDriverRefusesWhatItCannotSend) {
  // A transmission that was not taken yet keeps the line busy.
  ASSERT_TRUE(COM_SerialTestReceive(1, read1(5).data(), 8));
  COM_ServeChannels();
  const uint16_t refused = g_comSerial.refusedCount;
  ASSERT_TRUE(COM_SerialTestReceive(1, read1(5).data(), 8));
  COM_ServeChannels();
  EXPECT_EQ(g_comSerial.refusedCount, refused + 1);
  // Without the test line the driver stays closed: nothing is received, nothing is sent.
  COM_SerialTestAttach(false);
  EXPECT_FALSE(COM_SerialTestReceive(1, read1(5).data(), 8));
  EXPECT_FALSE(COM_SerialTransmit(read1(5).data(), 8));
  EXPECT_FALSE(COM_SerialTransmit(read1(5).data(), COM_SERIAL_SIZE + 1));
}

TEST_F(SerialChannels, ReceiveStatesTellWaitingDiscardedAndFurtherFrames) {
  COM_SerialFrameReceived(1);
  EXPECT_EQ(g_comChannels.rxState[0], COM_RX_WAITING);
  COM_SerialFrameReceived(1);
  EXPECT_EQ(g_comChannels.rxState[0], COM_RX_WAITING_MORE);
  EXPECT_EQ(g_comChannels.events, 2);
  // A frame marked for discarding is dropped unserved.
  g_comChannels.rxState[0] = COM_RX_DISCARD;
  COM_ServeChannels();
  EXPECT_EQ(g_comChannels.rxState[0], COM_RX_IDLE);
  EXPECT_EQ(g_comChannels.events, 1);
}

}  // namespace
}  // namespace commtest
