// Service memory commands on register 0x3FFF in the download state: the windows of the three
// memories, the status line and the error flag, EEPROM writes into the images and their
// write-back, the picture areas.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "comm/com_modbus.h"
#include "comm/com_service.h"
#include "comm_fixture.h"
#include "fakes/fake_shell.h"
#include "firmware/fw_main.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_sysimage.h"

namespace commtest {
namespace {

class Service : public CommTest {
 protected:
  void SetUp() override {
    CommTest::SetUp();
    COM_LinkDeviceMode() = FW_DEVICE_SERVICE;
    SimState().pictureSave = 0;
  }
  void TearDown() override { COM_LinkDeviceMode() = FW_DEVICE_ENGINEERING; }

  // A write to 0x3FFF: command, address, the length word (n words) and the data; `words`
  // overrides the length word's count.
  Bytes command(uint16_t cmd, uint32_t address, const Bytes& data = {}, int words = -1) {
    const auto n = static_cast<uint8_t>(words < 0 ? data.size() / 2 : static_cast<size_t>(words));
    const auto q = static_cast<uint16_t>(4 + data.size() / 2);
    Bytes body{16, 0x3F, 0xFF, static_cast<uint8_t>(q >> 8), static_cast<uint8_t>(q),
               static_cast<uint8_t>(2 * q), static_cast<uint8_t>(cmd >> 8), static_cast<uint8_t>(cmd),
               static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
               static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), 0, n};
    body.insert(body.end(), data.begin(), data.end());
    return ask(body);
  }
  // A read of 0x3FFF of that many registers: the data, or "<failed>".
  Bytes fetch(uint16_t registers) {
    const Bytes a = ask({3, 0x3F, 0xFF, 0x00, static_cast<uint8_t>(registers)});
    if (a.size() == 4) return {};
    EXPECT_EQ(a.size(), 3u + 2u * registers + 2u);
    return Bytes(a.begin() + 3, a.end() - 2);
  }
  static std::string status() { return g_comService.line; }
  static std::string padded(std::string s) {
    s.resize(COM_SVC_STATUS_LEN, ' ');
    return s;
  }
};

TEST_F(Service, EepromWritesGoIntoTheImagesAndTheirWriteBack) {
  const Bytes data = {1, 2, 3, 4};
  EXPECT_EQ(command(COM_SVC_EEPROM_WRITE, 0x100, data),
            PcModbusFrame({1, 16, 0x3F, 0xFF, 0x00, 0x06}));
  EXPECT_EQ(status(), padded("EE_WR: written  x"));
  EXPECT_EQ(status().size(), 26u);
  command(COM_SVC_EEPROM_WRITE, 0x104, {5, 6, 7, 8});
  EXPECT_EQ(status(), padded("EE_WR: written  +"));
  EXPECT_EQ(std::memcmp(FW_SysImage() + 0x100, "\1\2\3\4\5\6\7\x8", 8), 0);
  EXPECT_EQ(g_fwEeprom.main.writePos, 2) << "both queued";
  // The data image from 0x20000 on, up to its 16256 bytes.
  command(COM_SVC_EEPROM_WRITE, 0x20000 + 16252, data);
  EXPECT_EQ(std::memcmp(g_fwInternalEeprom + 16252, data.data(), 4), 0);
  EXPECT_EQ(g_fwEeprom.internal.writePos, 1);
  // The service screen shows the status, with the line above it cleared.
  EXPECT_EQ(std::string(g_fwMain.serviceLines[2]), status());
  EXPECT_EQ(std::string(g_fwMain.serviceLines[1]), padded(""));
  EXPECT_EQ(g_fwMain.serviceDrawn, 0);
}

TEST_F(Service, RefusedCommandsChangeNothingAndSetTheErrorFlag) {
  struct Case {
    const char* what;
    uint16_t cmd;
    uint32_t address;
    Bytes data;
    int words;
    const char* text;
  } cases[] = {
      {"no data", COM_SVC_EEPROM_WRITE, 0x100, {}, -1, "EE_WR: Length error"},
      {"a length word that does not match", COM_SVC_EEPROM_WRITE, 0x100, {1, 2, 3, 4}, 3,
       "EE_WR: Length error"},
      {"across the end of the engineering image", COM_SVC_EEPROM_WRITE, 0x1FFFE, {1, 2, 3, 4}, -1,
       "EE_WR: Address error"},
      {"beyond the data image", COM_SVC_EEPROM_WRITE, 0x20000 + 16254, {1, 2, 3, 4}, -1,
       "EE_WR: Address error"},
      {"RAM outside its windows", COM_SVC_RAM_WRITE, 0x10000000, {1, 2}, -1,
       "RAM_WR: Address error"},
      {"RAM of no length", COM_SVC_RAM_WRITE, 0x20000000, {}, -1, "RAM_WR: Length error"},
      {"flash beyond the start picture", COM_SVC_FLASH_WRITE, 0x1411E846, {1, 2, 3, 4}, -1,
       "FLASH_WR: Address error"},
  };
  for (const Case& c : cases) {
    g_comService.status = 0;
    std::memset(FW_SysImage() + 0x1FF00, 0xAA, 0x100);
    std::memset(g_fwInternalEeprom + 16000, 0xAA, 0x180);
    command(c.cmd, c.address, c.data, c.words);
    EXPECT_EQ(status(), padded(c.text)) << c.what;
    EXPECT_EQ(g_comService.status & COM_SVC_ERROR, COM_SVC_ERROR) << c.what;
    EXPECT_EQ(FW_EepromPending(), 0) << c.what;
    EXPECT_EQ(FW_SysImage()[0x1FFFE], 0xAA) << c.what;
    EXPECT_EQ(g_fwInternalEeprom[16254], 0xAA) << c.what;
  }
  command(COM_SVC_RAM_WRITE, 0x20000000, {1, 2});
  EXPECT_EQ(g_comService.status & COM_SVC_ERROR, 0) << "a successful command clears it";
}

TEST_F(Service, ReadsFetchWhatTheLastWriteSetUp) {
  // One RAM buffer behind all RAM windows.
  const Bytes data = {9, 8, 7, 6, 5, 4, 3, 2};
  command(COM_SVC_RAM_WRITE, 0x20000000, data);
  EXPECT_EQ(status(), padded("RAM_WR: RAM writing"));
  command(COM_SVC_RAM_READ, 0x28100000);
  EXPECT_EQ(status(), padded("RAM_RD: active"));
  EXPECT_EQ(fetch(4), data);
  EXPECT_EQ(status(), padded("RAM_RD: reading ok"));
  // The images by EEPROM address.
  std::memcpy(FW_SysImage() + 0x200, "ABCD", 4);
  std::memcpy(g_fwInternalEeprom + 0x10, "WXYZ", 4);
  command(COM_SVC_EEPROM_READ, 0x200);
  EXPECT_EQ(fetch(2), (Bytes{'A', 'B', 'C', 'D'}));
  command(COM_SVC_EEPROM_READ, 0x20010);
  EXPECT_EQ(fetch(2), (Bytes{'W', 'X', 'Y', 'Z'}));
  // The end of the data image's window is the end of the data image.
  command(COM_SVC_EEPROM_READ, 0x23F80);
  EXPECT_TRUE(fetch(2).empty());
  EXPECT_EQ(status(), padded("EE_RD: Address error"));
  command(COM_SVC_FLASH_READ, 0x14200000);
  EXPECT_EQ(fetch(1), (Bytes{0xFF, 0xFF})) << "erased flash";
  // A write command fetched as a read, and an unknown command.
  command(COM_SVC_EEPROM_WRITE, 0x100, {1, 2});
  EXPECT_TRUE(fetch(1).empty());
  EXPECT_EQ(status(), padded("EE_WR: wrong attempt"));
  command(7, 0x100);
  EXPECT_EQ(status(), padded("undefined command"));
  // Outside the download state register 0x3FFF is no service register.
  COM_LinkDeviceMode() = FW_DEVICE_ENGINEERING;
  EXPECT_EQ(ask({3, 0x3F, 0xFF, 0x00, 0x01}), exception(3, 2));
}

TEST_F(Service, AFlashWriteAtAPicturesStartErasesThePictureFirst) {
  FW_SysImage()[FW_IMAGE_PICTURE_FLAGS] = 0x2B;
  std::memset(g_comPictures.startPicture, 0x11, COM_SVC_START_PICTURE_SIZE);
  command(COM_SVC_FLASH_WRITE, COM_SVC_START_PICTURE, {1, 2, 3, 4});
  EXPECT_EQ(status(), padded("FLASH_WR: written  x"));
  EXPECT_EQ(g_comPictures.startPicture[3], 4);
  EXPECT_EQ(g_comPictures.startPicture[4], 0xFF);
  EXPECT_EQ(g_comPictures.startPicture[COM_SVC_START_PICTURE_SIZE - 1], 0xFF);
  EXPECT_EQ(g_comPictures.startLength, 4u);
  EXPECT_EQ(g_comPictures.startPictureFlag, 1);
  EXPECT_EQ(g_comPictures.state, 2);
  EXPECT_EQ(FW_SysImage()[FW_IMAGE_PICTURE_FLAGS], 0x20) << "the start picture's flags";
  EXPECT_EQ(SimState().pictureSave, 1);
  // A write further on continues the picture; its end is the used length.
  command(COM_SVC_FLASH_WRITE, COM_SVC_START_PICTURE + 0x80, {5, 6});
  EXPECT_EQ(status(), padded("FLASH_WR: written  +"));
  EXPECT_EQ(g_comPictures.startPicture[3], 4);
  EXPECT_EQ(g_comPictures.startLength, 0x82u);
  // The user pictures alike.
  command(COM_SVC_FLASH_WRITE, COM_SVC_USER_PICTURES, {7, 8});
  EXPECT_EQ(g_comPictures.userPictures[0], 7);
  EXPECT_EQ(g_comPictures.userLength, 2u);
}

TEST_F(Service, AWriteBackTheQueueRefusesIsQueuedLater) {
  static const uint8_t filler[4] = {};
  for (uint32_t i = 0; i < FW_EEPROM_RING_ENTRIES; ++i) {
    ASSERT_EQ(FW_QueueEepromWrite(filler, 0x1000 + 4 * i, 4), FW_QUEUE_OK);
  }
  command(COM_SVC_EEPROM_WRITE, 0x300, {1, 2, 3, 4});
  command(COM_SVC_EEPROM_WRITE, 0x308, {5, 6});
  EXPECT_EQ(status(), padded("EE_WR: written  x")) << "never waited for";
  EXPECT_EQ(FW_SysImage()[0x308], 5);
  EXPECT_EQ(g_comService.pendingFirst[0], 0x300u);
  EXPECT_EQ(g_comService.pendingEnd[0], 0x30Au);
  g_fwEeprom.present = 1;
  FW_EepromWriteBack();   // the tick drains the ring
  ask({3, 0x00, 0x01, 0x00, 0x01});   // the next frame queues the pending area
  EXPECT_EQ(g_comService.pendingEnd[0], 0u);
  EXPECT_GT(FW_EepromPending(), 0);
}

}  // namespace
}  // namespace commtest
