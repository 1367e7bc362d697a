// Modbus RTU with a PC tool through the hardware adapter, against a running engineering with a
// controller: its setpoint register, its one-byte and out-of-range values, the edit access
// with a password, and the download of a new engineering.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "blocks/ctrl/ctrl.h"
#include "blocks/register_all.h"
#include "comm/com_modbus.h"
#include "comm/com_service.h"
#include "runtime/fw_login.h"
#include "runtime/fw_sysimage.h"
#include "support/adapter_firmware.h"
#include "tools/pctool/pc_adapter_transport.h"
#include "tools/pctool/pc_modbus.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kController = 100;
uint64_t g_clockMs = 1000;
// The first controller's internal setpoint (code 309) as a float register.
const Bytes kWriteW50 = {0x01, 0x10, 0x82, 0xF6, 0x00, 0x02, 0x04, 0x42, 0x48, 0x00, 0x00, 0x90, 0x09};

class ModbusDevice : public AdapterFirmware {
 protected:
  void SetUp() override {
    BLK_RegisterAllTypes();
    EngBuilder b;
    b.setRunMode(2);
    ASSERT_TRUE(b.addBlock(kController, EngBuilder::typeByName("CONTR"), 1));
    startWith(b);
    ASSERT_EQ(g_fbSchedule.ctrlBlocks[0], kController);
  }
  // One binary exchange as it stands (the frame carries its CRC).
  Bytes exchange(const Bytes& frame) {
    Bytes answer;
    std::string error;
    EXPECT_TRUE(transport_.exchange(frame, true, &answer, &error)) << error;
    return answer;
  }
  // An ASCII write of the setpoint (code 11, sub-index 3 is id 309) and its result.
  bool asciiWriteW(const char* value, std::string* error) {
    return ascii_.write({0x11, kController, 3}, value, error);
  }
  PcAdapterTransport transport_{10};
  PcClient ascii_{transport_};
  PcModbusClient modbus_{transport_};
};

TEST_F(ModbusDevice, TheControllersSetpointIsWrittenAndReadBackOverBothProtocols) {
  EXPECT_EQ(exchange(kWriteW50), (Bytes{0x01, 0x10, 0x82, 0xF6, 0x00, 0x02, 0x89, 0x82}));
  EXPECT_EQ(SimState().responseLength & 0x8000, 0x8000);
  EXPECT_EQ(exchange({0x01, 0x03, 0x82, 0xF6, 0x00, 0x02, 0x0C, 0x41}),
            (Bytes{0x01, 0x03, 0x04, 0x42, 0x48, 0x00, 0x00, 0x6E, 0x5D}));
  std::string value, error;
  ASSERT_TRUE(ascii_.read({0x11, kController, 3}, &value, &error)) << error;
  EXPECT_EQ(value, "50.");
  // Above W100 (100): out of limits, exception 3; the setpoint stays.
  EXPECT_EQ(exchange(PcModbusFrame({0x01, 0x10, 0x82, 0xF6, 0x00, 0x02, 0x04, 0x43, 0x48, 0x00, 0x00})),
            (Bytes{0x01, 0x90, 0x03, 0x0C, 0x01}));
  float w = 0;
  ASSERT_TRUE(modbus_.readFloat(0x82F6, &w, &error)) << error;
  EXPECT_FLOAT_EQ(w, 50.0f);
}

TEST_F(ModbusDevice, OneByteResultsAndLargeSetpointsReadAsTheirNumbers) {
  CTRL_StateOf(kController)->retained.optResultHeat = 4;
  EXPECT_EQ(exchange({0x01, 0x03, 0x83, 0x08, 0x00, 0x02, 0x6C, 0x4D}),
            (Bytes{0x01, 0x03, 0x04, 0x40, 0x80, 0x00, 0x00, 0xEE, 0x1B}));
  // Weff 50000 (W100 raised first) reads 32767 in the integer space.
  std::string error;
  ASSERT_TRUE(ascii_.write({0x02, kController, 0x10}, "60000", &error)) << error;  // W100
  for (int i = 0; i < 3; ++i) FW_SimCycle();
  ASSERT_TRUE(modbus_.writeFloat(0x82F6, 50000.0f, &error)) << error;
  for (int i = 0; i < 5; ++i) FW_SimCycle();
  EXPECT_EQ(exchange({0x01, 0x03, 0x01, 0x70, 0x00, 0x01, 0x84, 0x2D}),
            (Bytes{0x01, 0x03, 0x02, 0x7F, 0xFF, 0xD8, 0x34}));
}

TEST_F(ModbusDevice, APasswordProtectsTheControllerFromBothProtocolsUntilLogin) {
  std::string error;
  ASSERT_TRUE(PcSetPassword(ascii_, "secret", &error)) << error;
  g_fwLogin.access = FW_ACCESS_LOCKED;
  struct Case {
    uint8_t level;
    bool done;
  } cases[] = {{2, false}, {1, true}, {3, false}};
  for (const Case& c : cases) {
    FW_SysImage()[FW_SYS_LOGIN_LEVEL] = c.level;
    const Bytes a = exchange(kWriteW50);
    if (c.done) {
      EXPECT_EQ(a, (Bytes{0x01, 0x10, 0x82, 0xF6, 0x00, 0x02, 0x89, 0x82})) << int{c.level};
    } else {
      EXPECT_EQ(a, PcModbusFrame({0x01, 0x90, 0x02})) << int{c.level};
    }
    EXPECT_EQ(asciiWriteW("40", &error), c.done) << int{c.level};
    if (!c.done) {
      EXPECT_EQ(error, "refused: 'g' (103)");
    }
  }
  // Letters in either case log in, at every level; then both protocols write again.
  ASSERT_TRUE(PcLogin(ascii_, "SECRET", &error)) << error;
  EXPECT_EQ(g_fwLogin.access, FW_ACCESS_LOGGED_IN);
  EXPECT_EQ(exchange(kWriteW50), (Bytes{0x01, 0x10, 0x82, 0xF6, 0x00, 0x02, 0x89, 0x82}));
  EXPECT_TRUE(asciiWriteW("40", &error)) << error;
  // A wrong password locks again.
  EXPECT_FALSE(PcLogin(ascii_, "guess", &error));
  EXPECT_EQ(g_fwLogin.access, FW_ACCESS_LOCKED);
}

TEST_F(ModbusDevice, TheToolDownloadsAnEngineeringAndTheFirmwareRunsIt) {
  EngBuilder b;
  b.setRunMode(2);
  ASSERT_TRUE(b.addBlock(200, EngBuilder::typeByName("ABSV"), 1));
  ASSERT_TRUE(b.setFloat(200, 1, 2.5f));
  std::vector<uint8_t> image;
  ASSERT_TRUE(b.build(image)) << b.error();
  std::string error;
  ASSERT_TRUE(modbus_.download(image, &error)) << error;
  // The block list and parameters behind the header (which the start fills in) arrived.
  EXPECT_EQ(std::memcmp(g_fwImage + 256, image.data() + 256, 0x1000), 0);
  for (int i = 0; i < 40 && g_fwMain.runState != FW_STATE_RUNNING; ++i) FW_SimCycle();
  EXPECT_EQ(g_fwMain.runState, FW_STATE_RUNNING);
  EXPECT_EQ(g_fwMain.deviceMode, FW_DEVICE_ENGINEERING);
  EXPECT_EQ(FB_GetInstance(kController), nullptr) << "the old engineering is gone";
  std::string value;
  ASSERT_TRUE(ascii_.read({0x01, 200, 0x10}, &value, &error)) << error;
  EXPECT_EQ(value, "2.5");
}

// A download cut off after some frames, by the way it is entered: the device drops it once
// no frame came for the bounded time and runs its previous engineering again; neither the
// image nor the project's buffer took a byte of it.
TEST_F(ModbusDevice, ADownloadThatBreaksOffLeavesThePreviousEngineeringRunning) {
  COM_SetDownloadClock([] { return g_clockMs; });
  struct ClockBack {
    ~ClockBack() { COM_SetDownloadClock(nullptr); }
  } clockBack;
  EngBuilder b;
  b.setRunMode(2);
  ASSERT_TRUE(b.addBlock(200, EngBuilder::typeByName("ABSV"), 1));
  std::vector<uint8_t> image;
  ASSERT_TRUE(b.build(image)) << b.error();
  constexpr uint16_t kRunMode = 5, kDownloadWord = 31;
  struct Case {
    const char* name;
    bool stopFirst;        // the way a PC tool enters: stop, then "ET"
    uint16_t word;         // 0: the character protocol's handshake instead of a download word
    size_t frames;         // EEPROM frames sent before the download breaks off
    bool polled;           // a tool reads a value every 5 s meanwhile (keeps nothing alive)
  } cases[] = {
      {"stopped, ET, cut after 3 frames", true, COM_DL_ENTER_STOPPED, 3, false},
      {"running, FU, cut after 1 frame", false, COM_DL_ENTER, 1, false},
      {"stopped, ET, no frame at all", true, COM_DL_ENTER_STOPPED, 0, false},
      {"running, the handshake F, 98, U, cut after 2 frames", false, 0, 2, false},
      {"stopped, ET, cut after 2 frames, polled meanwhile", true, COM_DL_ENTER_STOPPED, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int i = 0; i < 40 && g_fwMain.runState != FW_STATE_RUNNING; ++i) FW_SimCycle();
    ASSERT_EQ(g_fwMain.runState, FW_STATE_RUNNING);
    std::string error;
    ASSERT_TRUE(modbus_.writeFloat(0x82F6, 40.0f, &error)) << error;
    for (int i = 0; i < 5; ++i) FW_SimCycle();
    const std::vector<uint8_t> imageBefore(g_fwImage, g_fwImage + SIM_ENGINEERING_SIZE);
    const std::vector<uint8_t> projectBefore(eng_);
    if (c.stopFirst) {
      ASSERT_TRUE(modbus_.writeRegister(kRunMode, 1, &error)) << error;
      for (int i = 0; i < 5; ++i) FW_SimCycle();
    }
    if (c.word) {
      ASSERT_TRUE(modbus_.writeRegister(kDownloadWord, c.word, &error)) << error;
    } else {
      std::string confirmed;
      ASSERT_TRUE(ascii_.write({0x98}, "F", &error)) << error;
      ASSERT_TRUE(ascii_.read({0x98}, &confirmed, &error)) << error;
      ASSERT_TRUE(ascii_.write({0x98}, "U", &error)) << error;
    }
    ASSERT_EQ(g_fwMain.deviceMode, FW_DEVICE_SERVICE);
    for (size_t k = 0; k < c.frames; ++k) {
      ASSERT_TRUE(modbus_.serviceWrite(COM_SVC_EEPROM_WRITE, static_cast<uint32_t>(240 * k),
                                       image.data() + 240 * k, 240, &error))
          << error;
    }
    // However many ticks run, inside the bound the download waits for its next frame; frames
    // that are no part of the download do not hold it.
    const uint64_t lastFrame = g_clockMs;
    while (c.polled && g_clockMs + 5000 < lastFrame + COM_DOWNLOAD_IDLE_MS) {
      g_clockMs += 5000;
      float ignored = 0;
      modbus_.readFloat(0x82F6, &ignored, &error);
      FW_SimCycle();
    }
    g_clockMs = lastFrame + COM_DOWNLOAD_IDLE_MS - 1;
    for (int i = 0; i < 50; ++i) FW_SimCycle();
    EXPECT_EQ(g_fwMain.deviceMode, FW_DEVICE_SERVICE);
    g_clockMs += 1;
    for (int i = 0; i < 40 && g_fwMain.runState != FW_STATE_RUNNING; ++i) FW_SimCycle();
    EXPECT_EQ(g_fwMain.deviceMode, FW_DEVICE_ENGINEERING);
    EXPECT_EQ(g_fwMain.runState, FW_STATE_RUNNING);
    ASSERT_NE(FB_GetInstance(kController), nullptr) << "the previous engineering is gone";
    EXPECT_EQ(FB_GetInstance(200), nullptr);
    float w = 0;
    ASSERT_TRUE(modbus_.readFloat(0x82F6, &w, &error)) << error;
    EXPECT_FLOAT_EQ(w, 40.0f);
    // The device runs as before the download began: the run mode, and blocks answer.
    EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_RUN);
    std::vector<uint16_t> runMode;
    ASSERT_TRUE(modbus_.readRegisters(kRunMode, 1, &runMode, &error)) << error;
    EXPECT_EQ(runMode.at(0), 0);  // 1 while stopped
    // Nothing of the download in the image, nor written back to the project's buffer: the
    // whole image is as it was, the run-mode byte included.
    for (int i = 0; i < 20; ++i) FW_SimCycle();
    EXPECT_EQ(std::memcmp(g_fwImage, imageBefore.data(), SIM_ENGINEERING_SIZE), 0);
    EXPECT_EQ(std::memcmp(eng_.data(), projectBefore.data(), SIM_ENGINEERING_SIZE), 0);
  }
}

TEST_F(ModbusDevice, TheSystemBlockSetsTheSerialChannelUpAgain) {
  EXPECT_EQ(g_fwSysHooks.serialInit, &COM_InitChannel);
}

}  // namespace
