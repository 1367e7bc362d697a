// Firmware start-up, the main cycle's run-state machine, the hardware adapter's tick and the
// plant link, run against the recording fakes of the display, operating interface, shell and
// communication.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "blocks/ctrl/ctrl.h"
#include "fakes/fake_comm.h"
#include "fakes/fake_gui.h"
#include "fakes/fake_opui.h"
#include "fakes/fake_shell.h"
#include "firmware/fw_adapter.h"
#include "firmware/fw_links.h"
#include "firmware/fw_main.h"
#include "firmware/fw_plant.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_busdriver.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_io.h"
#include "runtime/fw_login.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_text.h"
#include "support/adapter_firmware.h"
#include "tools/engbuild/eng_builder.h"

namespace {

constexpr uint16_t kPlain = 200;   // an ordinary block type; its run handler counts
int g_runs;
void countRun() { ++g_runs; }
void noInit() {}
constexpr FbTemplate kPlainTemplate{.size = 17, .type = kPlain};

// Main-EEPROM chunks written, in order: address x 256 + first byte.
std::vector<uint32_t> g_written;
bool recordChunk(uint32_t address, const uint8_t* data, uint32_t) {
  g_written.push_back(address * 256 + data[0]);
  return true;
}

bool contains(const std::vector<uint32_t>& v, uint32_t x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

std::vector<std::string> displayTexts() {
  std::vector<std::string> out;
  for (const fakegui::Call& c : fakegui::Calls()) {
    if (c.name == "GUI_DispStringAt") out.push_back(c.text);
  }
  return out;
}

int countCalls(const CallLog& log, const std::string& prefix) {
  return static_cast<int>(std::count_if(log.calls().begin(), log.calls().end(), [&](const std::string& c) {
    return c.rfind(prefix, 0) == 0;
  }));
}

class FirmwareTest : public AdapterFirmware {
 protected:
  FirmwareTest() {
    TheFakeComm().reset();
    FW_SetMainEepromWriter(recordChunk);
    g_written.clear();
    g_runs = 0;
    EXPECT_EQ(FB_RegisterType(kPlain, FB_TypeFromTemplate(&kPlainTemplate, countRun, noInit, nullptr,
                                                          nullptr, FB_COMMON_BLOCK_RANGES, 0, 0, 0)),
              FB_OK);
  }

  void start() {
    FW_SimInit();
    FW_SimStart();
  }
  // Cycles until the run state is reached (at most n); the number of cycles run.
  int cycleUntil(uint16_t state, int n = 100) {
    for (int i = 1; i <= n; ++i) {
      FW_Cycle();
      if (g_fwMain.runState == state) return i;
    }
    return -1;
  }
  // Started with one counting block, stopped, then switched to run: up to the settling.
  void startSettling() {
    projectWithEngineering();
    start();
    ASSERT_GT(cycleUntil(FW_STATE_STOPPED), 0);
    addBlock(100);
    g_fwRunMode = FW_RUN_MODE_RUN;
    ASSERT_GT(cycleUntil(FW_STATE_SETTLING), 0);
  }
  // A block of the counting type in time group 1, chained.
  void addBlock(uint16_t block, uint16_t type = kPlain) {
    ASSERT_EQ(FB_CreateInstance(type, block), FB_OK);
    FB_GetWiring(block)[FB_WIRE_GROUP] = 1;
    FB_GetInstance(block)[FB_HDR_GROUP] = 1;
    ASSERT_EQ(FB_CheckChains(), FB_CHAIN_OK);
  }
};

// --- keys ---------------------------------------------------------------------------------

TEST(KeyMask, OnlyASingleKeyGivesAKeyCode) {
  struct Case {
    uint32_t mask;
    uint8_t code;
  };
  for (const Case& c : {Case{1, 1}, Case{2, 16}, Case{4, 2}, Case{8, 4}, Case{16, 8}, Case{3, 0},
                        Case{0, 0}, Case{32, 0}, Case{0xFFFFFFFF, 0}}) {
    FW_SetKeyMask(c.mask);
    EXPECT_EQ(FW_GetKeyCode(), c.code) << "mask " << c.mask;
  }
}

// --- order-code digits ----------------------------------------------------------------------

SimDeviceConfig config(uint16_t ksx, uint16_t anschluss, uint16_t power, uint16_t commOpt,
                       uint16_t slotB, uint16_t slotC, uint16_t relais) {
  SimDeviceConfig c{};
  c.ksx = ksx;
  c.anschluss = anschluss;
  c.power = power;
  c.commOpt = commOpt;
  c.slotB = slotB;
  c.slotC = slotC;
  c.relais = relais;
  return c;
}

TEST(OrderCode, DigitsAndConfigurationAgree) {
  struct Case {
    SimDeviceConfig config;
    const char* digits;
  };
  const Case cases[] = {
      {config(1, 2, 1, 3, 2, 1, 1), "233121"},
      {config(0, 0, 0, 0, 0, 0, 1), "020000"},
      {config(9, 5, 1, 4, 1, 2, 0), "514912"},
  };
  for (const Case& c : cases) {
    uint8_t d[6];
    FW_DigitsFromConfig(c.config, d);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(d), 6), c.digits);
    SimDeviceConfig back{};
    FW_ConfigFromDigits(d, &back);
    EXPECT_EQ(std::memcmp(&back, &c.config, sizeof back), 0) << c.digits;
  }
}

TEST_F(FirmwareTest, AReloadTakesTheDeviceConfigurationFromTheImageDigits) {
  start();  // first start: the configuration stays the shell's
  projectWithEngineering();
  std::memcpy(eng_.data() + FW_OFS_ORDER_CODE, "233121", 6);
  SimState().device = SimDeviceConfig{};
  FW_SimStart();
  EXPECT_EQ(SimState().device.commOpt, 3);
  EXPECT_EQ(SimState().device.ksx, 1);
  EXPECT_EQ(SimState().device.slotC, 1);
  EXPECT_EQ(std::memcmp(FW_LinkImage() + FW_OFS_ORDER_CODE, "233121", 6), 0);
  EXPECT_EQ(g_fwIoBoards[0].type, FW_BOARD_BASE);
  EXPECT_EQ(g_fwIoBoards[1].type, FW_BOARD_MODULE_RACK);
  EXPECT_EQ(g_fwIoBoards[2].type, FW_BOARD_DIGITAL_CARD);
  EXPECT_EQ(g_fwIoBoards[3].type, FW_BOARD_OUTPUT_ANALOG);
}

// --- start-up -------------------------------------------------------------------------------

TEST_F(FirmwareTest, StartCopiesTheProjectAndMarksTheImage) {
  projectWithEngineering();
  eng_[1000] = 0x5A;
  data_[7000] = 0xA5;
  SimState().language = 2;
  start();
  const uint8_t* img = FW_LinkImage();
  EXPECT_EQ(img[1000], 0x5A);
  EXPECT_EQ(g_fwInternalEeprom[7000], 0xA5);
  EXPECT_EQ(img[FW_OFS_LANGUAGE], 2);
  EXPECT_EQ(img[FW_OFS_PRESENT], 1);
  EXPECT_EQ(img[FW_OFS_ADDRESS], 1);
  // Size-test pattern in the last 4097 bytes.
  const uint8_t* p = img + FW_SIZE_TEST_ADDRESS;
  EXPECT_EQ(p[0], 1);
  EXPECT_EQ(p[1], 2);
  EXPECT_EQ(p[2], 3);
  EXPECT_EQ(p[4096], 14);
  EXPECT_EQ(std::memcmp(SimState().firmwareId, "1230-A\x04\x02", 8), 0);
  EXPECT_EQ(g_fwMain.deviceMode, FW_DEVICE_ENGINEERING);
  EXPECT_EQ(g_fwMain.runState, FW_STATE_PICTURE_DELAY);
  EXPECT_EQ(g_fwEeprom.present, 1);
}

TEST_F(FirmwareTest, AStartWithoutImagesHandsTheFirmwareImagesToTheShell) {
  std::memset(eng_.data(), 0x77, eng_.size());
  start();
  EXPECT_EQ(SimState().imagesValid, 1);
  EXPECT_EQ(eng_[100], 0);
  EXPECT_EQ(engRef_[100], 0);
}

TEST_F(FirmwareTest, ACorruptInternalEepromStopsTheFirmware) {
  std::memcpy(eng_.data(), "MX7N", 4);   // engineering there, internal EEPROM without tag
  SimState().imagesValid = 1;
  SimState().reloadRequest = 1;
  start();
  const std::vector<std::string> texts = displayTexts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Internal EEPROM corrupt!"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Contact Service"), texts.end());
  EXPECT_EQ(g_fwErrorFlags & 3, 3);
  FakeOpuiLog().clear();
  for (int i = 0; i < 5; ++i) FW_SimCycle();
  EXPECT_EQ(countCalls(FakeOpuiLog(), "OP_ReadKeysAndPointer"), 0);
  EXPECT_EQ(countCalls(FakeOpuiLog(), "OP_UpdateDisplay"), 0);
}

TEST_F(FirmwareTest, WithoutEngineeringTheServiceScreenRuns) {
  std::memcpy(data_.data() + FW_IEE_TAG, "MX7N", 4);
  SimState().imagesValid = 1;
  SimState().reloadRequest = 1;
  start();
  EXPECT_EQ(g_fwMain.deviceMode, FW_DEVICE_SERVICE);
  EXPECT_EQ(g_fwMain.screenColors[1], 0xC08048u);  // 0x4880C0 as the graphics library takes it
  const std::vector<std::string> texts = displayTexts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "++>> FSU-Betrieb <<++     "), texts.end());
  FW_Cycle();
  EXPECT_EQ(g_fwMain.runState, FW_STATE_SERVICE);
  EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_RUN);
  EXPECT_EQ(g_fwMain.screenColors[3], 0xFFFFFFu);  // the service colours stay
  FakeOpuiLog().clear();
  for (int i = 0; i < 30; ++i) FW_Cycle();
  EXPECT_EQ(g_fwMain.runState, FW_STATE_SERVICE);  // never runs blocks
  // The full-screen service display keeps the page windows hidden.
  EXPECT_EQ(countCalls(FakeOpuiLog(), "OP_ShowPageWindows(0)"), 30);
  EXPECT_EQ(countCalls(FakeOpuiLog(), "OP_ShowPageWindows(1)"), 0);
}

TEST_F(FirmwareTest, TheKeyTestOfTheServiceScreenShowsEachKey) {
  std::memcpy(data_.data() + FW_IEE_TAG, "MX7N", 4);
  SimState().imagesValid = 1;
  SimState().reloadRequest = 1;
  start();
  FW_Cycle();
  ASSERT_EQ(g_fwMain.runState, FW_STATE_SERVICE);
  g_fwSys.keyTest = 1;
  struct Case {
    uint32_t mask;
    const char* call;
  };
  const Case cases[] = {
      {1, "OP_ShowKeyTest(16711680, 16777215, Key 1 pressed!, 14, 3)"},
      {4, "OP_ShowKeyTest(255, 16777215, Key 3 on!, 9, 6)"},
      {8, "OP_ShowKeyTest(16777215, 0, Key 4 on, 8, 9)"},
      {16, "OP_ShowKeyTest(65535, 16777215, Key 5 !, 7, 12)"},
      {2, "OP_ShowKeyTest(65280, 16777215, Key 2 pressed !, 15, 15)"},
  };
  for (const Case& c : cases) {
    FakeOpuiLog().clear();
    FW_SetKeyMask(c.mask);
    FW_Cycle();
    EXPECT_EQ(countCalls(FakeOpuiLog(), c.call), 1) << c.call;
  }
  FW_SetKeyMask(0);
  FW_Cycle();
  EXPECT_EQ(g_fwMain.keyTestCounter, 0);
  // Without a key a touch draws its mark where the pointer is.
  FakeOpuiLog().clear();
  OpTouchPressed = 1;
  OpTouchX = 123;
  OpTouchY = 45;
  FW_Cycle();
  EXPECT_EQ(countCalls(FakeOpuiLog(), "OP_ShowTouchPoint(123, 45)"), 1);
  OpTouchPressed = 0;
  FW_Cycle();
  EXPECT_EQ(countCalls(FakeOpuiLog(), "OP_ShowNoKey"), 1);
}

TEST_F(FirmwareTest, TheStartUpWaitsForKeyEightWithoutBlocking) {
  projectWithEngineering();
  eng_[FW_OFS_PICTURE_FLAGS] = 0x08;
  start();
  EXPECT_EQ(g_fwMain.runState, FW_STATE_WAIT_KEY);
  EXPECT_EQ(countCalls(TheFakeComm().log, "COM_Init"), 0);
  FW_SetKeyMask(1);
  for (int i = 0; i < 3; ++i) FW_Cycle();
  EXPECT_EQ(g_fwMain.runState, FW_STATE_WAIT_KEY);
  FW_SetKeyMask(16);  // key code 8
  FW_Cycle();
  EXPECT_EQ(g_fwMain.runState, FW_STATE_PICTURE_DELAY);
  EXPECT_EQ(countCalls(TheFakeComm().log, "COM_Init"), 1);
}

// --- run-state machine ----------------------------------------------------------------------

// The pages' start resets the block page's field editor; the start-up pass clears the
// display-update counters, once.
TEST_F(FirmwareTest, PageStartAndStartUpPassResetTheOperatingInterface) {
  projectWithEngineering();
  FakeOpuiLog().clear();
  start();
  EXPECT_EQ(countCalls(FakeOpuiLog(), "OP_ResetFieldEditor"), 1);
  ASSERT_GT(cycleUntil(FW_STATE_STOPPED), 0);
  EXPECT_EQ(countCalls(FakeOpuiLog(), "OP_ClearDisplayCounters"), 0);
  addBlock(100);
  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_GT(cycleUntil(FW_STATE_SETTLING), 0);
  EXPECT_EQ(countCalls(FakeOpuiLog(), "OP_ClearDisplayCounters"), 1);
}

TEST_F(FirmwareTest, SixteenSettlingCyclesRunBeforeTheRunState) {
  startSettling();
  g_runs = 0;
  int settling = 0;
  while (g_fwMain.runState == FW_STATE_SETTLING && settling < 100) {
    FW_Cycle();
    ++settling;
  }
  EXPECT_EQ(settling, 16);
  EXPECT_EQ(g_runs, 16);  // group 1 runs in every settling cycle
  EXPECT_EQ(g_fwMain.runState, FW_STATE_RUNNING);
  EXPECT_EQ(g_fbSchedule.phase, 0);  // 7 at the end of settling, then advanced
  EXPECT_EQ(FW_LinkStartFlags() & FW_START_PASS, 0);
}

TEST_F(FirmwareTest, AStopWhileSettlingReturnsToStoppedWithoutRunning) {
  startSettling();
  for (int i = 0; i < 5; ++i) FW_Cycle();
  g_fwMain.stopRequest = 2;
  FW_Cycle();
  EXPECT_EQ(g_fwMain.runState, FW_STATE_STOPPED);
  EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_STOP);
  EXPECT_EQ(FW_LinkWarmStart(), 0);  // system datum 3007 is 0: cold start next time
  EXPECT_EQ(FW_LinkStartFlags() & FW_START_COLD, FW_START_COLD);
  for (int i = 0; i < 30; ++i) {
    FW_Cycle();
    ASSERT_NE(g_fwMain.runState, FW_STATE_RUNNING);
  }
}

TEST_F(FirmwareTest, AStopKeepsTheOutputsWhenTheSystemDataAskForAWarmStart) {
  startSettling();
  g_fwSys.shadow[FW_SH_BYTE50] = 1;   // datum 3007
  g_fwRunMode = FW_RUN_MODE_STOP;
  FW_Cycle();
  EXPECT_EQ(g_fwMain.runState, FW_STATE_STOPPED);
  EXPECT_EQ(FW_LinkWarmStart(), 1);
  EXPECT_EQ(FW_LinkStartFlags() & FW_START_COLD, 0);
}

TEST_F(FirmwareTest, TheImageStatusWordClearsAfterTwentyOneStoppedCycles) {
  projectWithEngineering();
  start();
  ASSERT_GT(cycleUntil(FW_STATE_STOPPED), 0);
  uint8_t* img = FW_LinkImage();
  img[FW_OFS_STATUS_WORD] = 5;
  FW_ResetEeprom();
  g_fwEeprom.present = 1;
  for (int i = 0; i < 20; ++i) FW_Cycle();
  EXPECT_EQ(img[FW_OFS_STATUS_WORD], 5);
  EXPECT_EQ(FW_EepromPending(), 0);
  FW_Cycle();
  EXPECT_EQ(img[FW_OFS_STATUS_WORD], 0);
  EXPECT_GT(FW_EepromPending(), 0);
}

TEST_F(FirmwareTest, TheImageStatusWordClearsAtOnceWhileRunning) {
  projectWithEngineering();
  start();
  ASSERT_GT(cycleUntil(FW_STATE_STOPPED), 0);
  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_GT(cycleUntil(FW_STATE_RUNNING), 0);
  FW_LinkImage()[FW_OFS_STATUS_WORD + 1] = 1;
  FW_Cycle();
  EXPECT_EQ(FW_LinkImage()[FW_OFS_STATUS_WORD + 1], 0);
}

// An engineering made with the builder: two counting blocks in time group 1, stored in the
// run mode.
std::vector<uint8_t> builtEngineering(uint8_t runMode = 2) {
  EngBuilder b;
  b.setRunMode(runMode);
  b.setOrderCode("0000000000");
  EXPECT_TRUE(b.addBlock(100, kPlain, 1));
  EXPECT_TRUE(b.addBlock(101, kPlain, 1, 100));
  std::vector<uint8_t> image;
  EXPECT_TRUE(b.build(image)) << b.error();
  return image;
}

TEST_F(FirmwareTest, AnEngineeringFromTheBuilderStartsAndRuns) {
  const std::vector<uint8_t> image = builtEngineering();
  std::memcpy(eng_.data(), image.data(), image.size());
  projectWithEngineering();
  start();
  ASSERT_EQ(g_fwMain.deviceMode, FW_DEVICE_ENGINEERING);
  ASSERT_NE(FB_GetInstance(101), nullptr);
  EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_RUN);  // the image was stored running
  int ticks = 0;
  while (g_fwMain.runState != FW_STATE_RUNNING && ticks < 100) {
    FW_SimCycle();
    ++ticks;
  }
  // 10 picture-delay ticks, the picture tick, the save, the start-up pass, the wait for the
  // inputs and 16 settling ticks.
  EXPECT_EQ(ticks, 10 + 1 + 1 + 1 + 1 + 16);
  EXPECT_EQ(g_runs, 2 * 16);
  FW_SimCycle();
  EXPECT_EQ(g_runs, 2 * 17);
  EXPECT_EQ(SimState().runMode, FW_RUN_MODE_RUN);
  EXPECT_EQ(FW_LinkEngStatus() & FW_ENG_RUN_OK, FW_ENG_RUN_OK);
  EXPECT_EQ(SimState().deviceAddress, 1);
  EXPECT_EQ(g_fwAdapter.deviceModeCopy, FW_DEVICE_ENGINEERING);
}

TEST_F(FirmwareTest, AnImageOfAnotherFirmwareStaysStoppedAfterTheReload) {
  std::vector<uint8_t> image = builtEngineering();
  image[20] = 9;  // another firmware version
  std::memcpy(eng_.data(), image.data(), image.size());
  projectWithEngineering();
  start();
  FW_SimCycle();
  std::memcpy(eng_.data(), image.data(), image.size());
  projectWithEngineering();
  FW_SimCycle();
  EXPECT_EQ(SimState().stayStopped, 1);
  EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_STOP);
  EXPECT_EQ(FB_GetInstance(100), nullptr);
}

// An image the firmware refuses (a block of a type it does not have, or of another shape
// than its type) loads nothing. The reload must not switch the empty device to run, and no
// save may write the empty store over the project.
TEST_F(FirmwareTest, ARefusedImageIsNeverOverwrittenBySaves) {
  constexpr uint16_t kExtra = 201;
  static FbTemplate kWide{.size = 0, .type = kExtra, .analogOutputs = 3};
  static FbTemplate kNarrow{.size = 0, .type = kExtra, .analogOutputs = 1};
  kWide.size = static_cast<uint16_t>(FB_LayoutWords(kWide));
  kNarrow.size = static_cast<uint16_t>(FB_LayoutWords(kNarrow));
  struct Case {
    const char* what;
    const FbTemplate* atLoad;   // the type as the firmware knows it at the load; null: none
  };
  for (const Case& c : {Case{"unregistered type", nullptr}, Case{"other counts", &kNarrow}}) {
    SCOPED_TRACE(c.what);
    FB_ClearTypeTable();
    for (const FbTemplate* t : {&kPlainTemplate, static_cast<const FbTemplate*>(&kWide)}) {
      ASSERT_EQ(FB_RegisterType(t->type, FB_TypeFromTemplate(t, countRun, noInit, nullptr, nullptr,
                                                             FB_COMMON_BLOCK_RANGES, 0, 0, 0)),
                FB_OK);
    }
    EngBuilder b;
    b.setRunMode(2);
    b.setOrderCode("0000000000");
    ASSERT_TRUE(b.addBlock(100, kPlain, 1));
    ASSERT_TRUE(b.addBlock(101, kExtra, 1, 100));
    std::vector<uint8_t> image;
    ASSERT_TRUE(b.build(image)) << b.error();
    FB_ClearTypeTable();
    FB_RegisterType(kPlain, FB_TypeFromTemplate(&kPlainTemplate, countRun, noInit, nullptr, nullptr,
                                                FB_COMMON_BLOCK_RANGES, 0, 0, 0));
    if (c.atLoad) {
      FB_RegisterType(kExtra, FB_TypeFromTemplate(c.atLoad, countRun, noInit, nullptr, nullptr,
                                                  FB_COMMON_BLOCK_RANGES, 0, 0, 0));
    }

    std::memcpy(eng_.data(), image.data(), image.size());
    projectWithEngineering();
    start();
    FW_SimCycle();
    std::memcpy(eng_.data(), image.data(), image.size());
    projectWithEngineering();
    for (int i = 0; i < 40; ++i) FW_SimCycle();   // past the pictures into the stopped state
    EXPECT_NE(g_fwEng.lastError, FwImageError::None);
    EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_STOP);
    EXPECT_EQ(FW_SaveEngineering(), 1);
    g_fwRunMode = FW_RUN_MODE_RUN;   // switched to run from a page or a request
    for (int i = 0; i < 3; ++i) FW_SimCycle();
    SimState().saveRequest = 1;
    FW_SimCycle();
    EXPECT_TRUE(std::equal(image.begin() + FW_IMG_ENG_VALUE, image.begin() + FW_IMG_LOGIN_BLOCK,
                           eng_.begin() + FW_IMG_ENG_VALUE));
    EXPECT_EQ(g_runs, 0);
  }
}

TEST_F(FirmwareTest, EachCycleCopiesTheSimulatedIoAndReportsTheErrorBits) {
  projectWithEngineering();
  start();
  SimState().io.analogIn[5].value = 3.5f;
  SimState().io.digitalIn[63] = 1;
  g_fwIoBoards[3].channel[3].out.b = -2.0f;
  g_fwIoBoards[3].channel[3].out.analogNew = 1;
  g_fwIoBoards[0].channel[0].out.logic[0] = 1;
  g_fwIoBoards[0].channel[0].out.logicNew = 1;
  struct Case {
    uint8_t errorFlags, serial, engErrors;
    uint16_t bits;
  };
  for (const Case& c : {Case{0, 0, 0, 0}, Case{1, 0, 0, 2}, Case{0, 4, 0, 4}, Case{0, 0, 8, 8},
                        Case{2, 1, 8, 14}}) {
    g_fwErrorFlags = c.errorFlags;
    TheFakeComm().serialErrors = c.serial;
    FW_LinkEngErrors() = c.engErrors;
    FW_Cycle();
    EXPECT_EQ(g_fwMain.statusBits, c.bits);
  }
  EXPECT_EQ(g_fwIoBoards[0].channel[2].sub[1].raw, 3.5f);
  EXPECT_EQ(g_fwIoBoards[3].channel[3].din.bits[3], 1);
  EXPECT_EQ(SimState().io.analogOut[31], -2.0f);
  EXPECT_EQ(SimState().io.digitalOut[0], 1);
  EXPECT_EQ(g_fwMain.inputReady, 1);
}

TEST_F(FirmwareTest, PalettesAreCheckedAndSelectedWithRedAndBlueSwapped) {
  g_fwMain.deviceMode = FW_DEVICE_ENGINEERING;
  auto put = [](uint32_t palette, uint32_t entry, uint32_t v) {
    uint8_t* p = g_fwInternalEeprom + FW_IEE_PALETTES + (palette * 10 + entry) * 4;
    for (int b = 0; b < 4; ++b) p[b] = static_cast<uint8_t>(v >> (8 * b));
  };
  put(2, 0, 0x123456);
  put(2, 3, 0x01000000);   // invalid: entries 1, 3, 5 become white
  put(3, 4, 0xFF000000);   // invalid: the others black
  FW_ResetEeprom();
  FW_CheckColours();
  EXPECT_EQ(FW_InternalEepromPending(), 1);
  FW_SelectPalette(2);
  EXPECT_EQ(g_fwMain.palette, 2);
  EXPECT_EQ(g_fwMain.screenColors[0], 0x563412u);
  EXPECT_EQ(g_fwMain.screenColors[3], 0xFFFFFFu);
  FW_SelectPalette(3);
  EXPECT_EQ(g_fwMain.screenColors[4], 0u);
  FW_SelectPalette(9);   // above 3: palette 0
  EXPECT_EQ(g_fwMain.palette, 0);
  FW_SelectPalette(-1);  // keeps it
  EXPECT_EQ(g_fwMain.palette, 0);
  FW_ResetEeprom();
  FW_CheckColours();     // nothing left to reset
  EXPECT_EQ(FW_InternalEepromPending(), 0);
}

// --- pictures -------------------------------------------------------------------------------

// User-picture data of `n` BMP records whose header says `recordLength` bytes, ended by -1.
// Each record takes that many bytes, at least 22 and at most 100; the BMP file's own size
// field names the bytes it really has.
std::vector<uint8_t> pictureData(int n, uint32_t recordLength) {
  std::vector<uint8_t> d;
  for (int i = 0; i < n; ++i) {
    std::vector<uint8_t> r(std::clamp<uint32_t>(recordLength, FW_PICTURE_HEADER + 2, 100), 0);
    for (int b = 0; b < 4; ++b) r[16 + b] = static_cast<uint8_t>(recordLength >> (8 * b));
    const uint32_t fileBytes = static_cast<uint32_t>(r.size()) - FW_PICTURE_HEADER;
    r[FW_PICTURE_HEADER] = 'B';
    r[FW_PICTURE_HEADER + 1] = 'M';
    if (fileBytes >= 6) r[FW_PICTURE_HEADER + 2] = static_cast<uint8_t>(fileBytes);
    d.insert(d.end(), r.begin(), r.end());
  }
  for (int b = 0; b < 20; ++b) d.push_back(b >= 16 ? 0xFF : 0);
  return d;
}

TEST_F(FirmwareTest, PictureLoadingEndsAtTheTableSizeAndAtBadRecords) {
  struct Case {
    int records;
    uint32_t length;
    uint32_t loaded;
  };
  for (const Case& c : {Case{3, 80, 3}, Case{205, 90, FW_PICTURE_TABLE_SIZE}, Case{3, 0, 0},
                        Case{3, 20, 0}, Case{3, 0x7FFFFFF0, 0}, Case{3, 60, 0}}) {
    fakegui::Reset();
    fakegui::SetResult("GUI_BMP_GetXSize", 10);
    fakegui::SetResult("GUI_BMP_GetYSize", 12);
    std::vector<uint8_t> data = pictureData(c.records, c.length);
    FW_ResetMain();
    FW_SetUserPictures(data.data(), static_cast<uint32_t>(data.size()));
    g_fwMain.runState = FW_STATE_PICTURES;
    g_fwMain.deviceMode = FW_DEVICE_ENGINEERING;
    int cycles = 0;
    while (g_fwMain.runState == FW_STATE_PICTURES && cycles < 400) {
      FW_Cycle();
      ++cycles;
    }
    EXPECT_EQ(g_fwMain.runState, FW_STATE_STOPPED) << c.records << "/" << c.length;
    EXPECT_EQ(g_fwMain.pictureCount, c.loaded) << c.records << "/" << c.length;
    if (c.loaded) {
      EXPECT_EQ(g_fwMain.pictures[0].xSize, 10);
    }
  }
}

// The start-up checks the stored user pictures: a corrupt record or a list without its end
// is reported to the error log, and the data is left as it is.
TEST_F(FirmwareTest, TheStartUpChecksTheStoredPictures) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    int records;
    bool reported;
  };
  std::vector<uint8_t> noEnd = pictureData(2, 80);
  noEnd.resize(noEnd.size() - 20);
  std::vector<uint8_t> badKind = pictureData(3, 80);
  badKind[80 + FW_PICTURE_HEADER] = 'X';
  std::vector<uint8_t> tooLong = pictureData(2, 80);
  tooLong[80 + 16] = 0xF0;
  const Case cases[] = {
      {"sound", pictureData(3, 80), 3, false},
      {"no end mark", noEnd, -1, true},
      {"another kind", badKind, 1, true},
      {"record past the data", tooLong, 1, true},
  };
  for (const Case& c : cases) {
    fakegui::Reset();
    const std::vector<uint8_t> before = c.data;
    FW_SetUserPictures(c.data.data(), static_cast<uint32_t>(c.data.size()));
    EXPECT_EQ(FW_CheckStoredPictures(), c.records) << c.what;
    const std::vector<std::string> n = fakegui::Names();
    EXPECT_EQ(std::count(n.begin(), n.end(), "GUI_ErrorOut"), c.reported ? 1 : 0) << c.what;
    EXPECT_EQ(c.data, before) << c.what;
  }
  // It runs in the start-up with an engineering.
  std::vector<uint8_t> bad = badKind;
  FW_SetUserPictures(bad.data(), static_cast<uint32_t>(bad.size()));
  fakegui::Reset();
  projectWithEngineering();
  start();
  const std::vector<std::string> n = fakegui::Names();
  EXPECT_EQ(std::count(n.begin(), n.end(), "GUI_ErrorOut"), 1);
  FW_SetUserPictures(nullptr, 0);
}

TEST_F(FirmwareTest, ARestartOfThePicturesReusesTheirMemoryDevices) {
  fakegui::SetResult("GUI_BMP_GetXSize", 10);
  fakegui::SetResult("GUI_BMP_GetYSize", 12);
  std::vector<uint8_t> data = pictureData(2, 80);
  FW_SetUserPictures(data.data(), static_cast<uint32_t>(data.size()));
  g_fwMain.deviceMode = FW_DEVICE_ENGINEERING;
  auto creates = [] {
    const std::vector<std::string> n = fakegui::Names();
    return std::count(n.begin(), n.end(), "GUI_MEMDEV_Create");
  };
  for (int round = 0; round < 3; ++round) {
    FW_RestartPictures();
    ASSERT_GT(cycleUntil(FW_STATE_STOPPED), 0);
    EXPECT_EQ(g_fwMain.pictureCount, 2u);
  }
  EXPECT_EQ(creates(), 2);
}

// --- adapter tick ---------------------------------------------------------------------------

// A request of the PC-tool channel as the shell hands it in.
void setRequest(const std::string& text, uint16_t flags = 0) {
  SimHostState& s = SimState();
  std::memset(s.requestText, 0, sizeof s.requestText);
  std::memcpy(s.requestText, text.data(), std::min<size_t>(text.size(), SIM_TEXT_SIZE));
  s.requestLength = static_cast<uint16_t>(text.size() | flags);
  s.requestPending = 1;
}

TEST_F(FirmwareTest, AReloadWithStayStoppedKeepsTheDeviceStopped) {
  projectWithEngineering();
  start();
  FW_SimCycle();
  projectWithEngineering();
  SimState().stayStopped = 1;
  SimState().runMode = 9;
  g_written.clear();
  FW_SimCycle();
  EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_STOP);
  EXPECT_EQ(SimState().runMode, FW_RUN_MODE_STOP);  // the change is seen even though it stays 1
  EXPECT_NE(FW_LinkImage()[FW_OFS_RUN_MODE], 2);
  EXPECT_FALSE(contains(g_written, FW_OFS_RUN_MODE * 256 + 2));
  EXPECT_EQ(SimState().reloadRequest, 0);
}

TEST_F(FirmwareTest, AReloadEntersRunModeAndScansModulesOnTheNineteenthTick) {
  projectWithEngineering();
  SimState().instance = 4711;
  start();
  FW_SimCycle();
  projectWithEngineering();
  g_written.clear();
  FW_SimCycle();  // tick 1 in the run mode
  EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_RUN);
  EXPECT_EQ(SimState().runMode, FW_RUN_MODE_RUN);
  EXPECT_EQ(FW_LinkImage()[FW_OFS_RUN_MODE], 2);
  EXPECT_TRUE(contains(g_written, FW_OFS_RUN_MODE * 256 + 2));
  EXPECT_EQ(countCalls(TheFakeComm().log, "COM_BusReset"), 1);
  for (int tick = 2; tick <= 18; ++tick) FW_SimCycle();
  EXPECT_EQ(countCalls(TheFakeComm().log, "COM_ScanIoModules"), 0);
  EXPECT_EQ(countCalls(TheFakeComm().log, "COM_ExchangeIoModules"), 0);
  FW_SimCycle();  // tick 19
  EXPECT_EQ(countCalls(TheFakeComm().log, "COM_ScanIoModules(4711)"), 1);
  EXPECT_EQ(countCalls(TheFakeComm().log, "COM_ExchangeIoModules"), 1);
  for (int i = 0; i < 10; ++i) FW_SimCycle();
  EXPECT_EQ(countCalls(TheFakeComm().log, "COM_ScanIoModules"), 1);
}

TEST_F(FirmwareTest, TheFirstTickWaitsThroughTheDelayHookOnly) {
  static std::vector<int> delays;
  delays.clear();
  FW_SetDelayHook([](int ms) { delays.push_back(ms); });
  projectWithEngineering();
  start();
  FW_SimCycle();
  FW_SimCycle();
  FW_PrepareProjectLoad();
  EXPECT_EQ(delays, (std::vector<int>{FW_DELAY_START, FW_DELAY_FIRST_RUN, FW_DELAY_PROJECT_LOAD}));
  EXPECT_EQ(g_fwMain.runState, FW_STATE_PICTURE_DELAY);
}

TEST_F(FirmwareTest, ATickStartedInsideATickDoesNothing) {
  projectWithEngineering();
  start();
  static int nested;
  nested = 0;
  TheFakeComm().onReceive = [] {
    const uint16_t before = g_fwAdapter.tickCounter;
    FW_SimCycle();
    nested += g_fwAdapter.tickCounter != before;
  };
  g_fwRunMode = FW_RUN_MODE_RUN;
  setRequest("\x04" "01ABC\x05");
  FakeOpuiLog().clear();
  FW_SimCycle();
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(countCalls(TheFakeComm().log, "COM_ReceiveFrame"), 1);
  EXPECT_EQ(countCalls(FakeOpuiLog(), "OP_ReadKeysAndPointer"), 1);
}

TEST_F(FirmwareTest, SaveRequestHandsTheImagesBack) {
  projectWithEngineering();
  start();
  FW_LinkImage()[5000] = 0x42;
  g_fwInternalEeprom[SIM_DATA_SIZE - 1] = 0x24;
  g_fwInternalEeprom[SIM_DATA_SIZE] = 0x99;  // beyond the data image: stays in the firmware
  SimState().saveRequest = 1;
  FW_SimCycle();
  EXPECT_EQ(SimState().saveRequest, 0);
  EXPECT_EQ(eng_[5000], 0x42);
  EXPECT_EQ(data_[SIM_DATA_SIZE - 1], 0x24);
}

// --- PC-tool requests -----------------------------------------------------------------------

TEST_F(FirmwareTest, ARequestIsServedOnceAndAnswered) {
  projectWithEngineering();
  start();
  TheFakeComm().answer = "\x02" "ANSWER\x03";
  setRequest("\x04" "01ABC\x05");
  FW_SimCycle();
  EXPECT_EQ(TheFakeComm().lastFrame, "\x04" "01ABC\x05");
  EXPECT_EQ(SimState().requestPending, 0);
  EXPECT_EQ(SimState().responseReady, 1);
  EXPECT_EQ(SimState().responseLength, 0x8000 | 8);
  EXPECT_STREQ(SimState().responseText, "\x02" "ANSWER\x03");
  FW_SimCycle();
  EXPECT_EQ(countCalls(TheFakeComm().log, "COM_ReceiveFrame"), 1);
}

TEST_F(FirmwareTest, RequestsAndAnswersStayInsideTheirBuffers) {
  projectWithEngineering();
  start();
  // A length beyond the request text is not served, but the exchange completes.
  setRequest("\x04" "01ABC\x05");
  SimState().requestLength = 0x7FFF;
  SimState().responseText[0] = 'x';
  FW_SimCycle();
  EXPECT_EQ(countCalls(TheFakeComm().log, "COM_ReceiveFrame"), 0);
  EXPECT_EQ(SimState().requestPending, 0);
  EXPECT_EQ(SimState().responseReady, 1);
  EXPECT_EQ(SimState().responseLength, 0x8000);
  EXPECT_EQ(SimState().responseText[0], 0);
  // A full 500-byte binary frame fits; a long answer is cut at the transmit buffer.
  TheFakeComm().answer = std::string(400, 'a');
  setRequest(std::string(SIM_TEXT_SIZE, 'r'), 0x8000);
  FW_SimCycle();
  EXPECT_EQ(TheFakeComm().lastFrame.size(), SIM_TEXT_SIZE);
  EXPECT_EQ(SimState().responseLength, 0x8000 | COM_TX_SIZE);
  EXPECT_EQ(std::strlen(SimState().responseText), COM_TX_SIZE);
}

TEST_F(FirmwareTest, AZRequestOnTheServiceScreenHaltsAndReloads) {
  std::memcpy(data_.data() + FW_IEE_TAG, "MX7N", 4);
  SimState().imagesValid = 1;
  SimState().reloadRequest = 1;
  start();
  FW_SimCycle();
  EXPECT_EQ(g_fwAdapter.deviceModeCopy, FW_DEVICE_SERVICE);   // follows the device mode
  setRequest("\x04" "00Z1234\x05");
  FW_SimCycle();
  EXPECT_EQ(SimState().haltFlag, 1);
  EXPECT_EQ(SimState().reloadRequest, 1);
  EXPECT_EQ(SimState().responseReady, 1);
  // A request that loads an engineering ends the tick and asks the shell for a restart.
  SimState().haltFlag = 0;
  SimState().reloadRequest = 0;
  TheFakeComm().onReceive = [] { g_fwMain.deviceMode = FW_DEVICE_ENGINEERING; };
  setRequest("\x04" "00Z1234\x05");
  SimState().responseReady = 0;
  FakeOpuiLog().clear();
  FW_SimCycle();
  EXPECT_EQ(countCalls(TheFakeShell().log, "SimRequestRestart"), 1);
  EXPECT_EQ(SimState().responseReady, 0);
  EXPECT_EQ(countCalls(FakeOpuiLog(), "OP_ReadKeysAndPointer"), 0);
}

// --- plant link -----------------------------------------------------------------------------

TEST_F(FirmwareTest, WithoutAControllerThePlantStaysInactive) {
  projectWithEngineering();
  start();
  SimState().plant.outputs[0] = 7.0f;
  FW_SimCycle();
  projectWithEngineering();
  FW_SimCycle();  // reload into the run mode
  ASSERT_EQ(g_fwRunMode, FW_RUN_MODE_RUN);
  EXPECT_EQ(g_fwPlant.active, 0);
  for (const SimPlantRange& r : SimState().plant.ranges) {
    EXPECT_EQ(r.value, 0.0f);
    EXPECT_EQ(r.lower, 0.0f);
    EXPECT_EQ(r.upper, 100.0f);
  }
  EXPECT_EQ(SimState().plant.changed, 1);
  EXPECT_EQ(SimState().plant.outputs[0], 0.0f);
  EXPECT_EQ(countCalls(TheFakeShell().log, "SimPlantCycle"), 0);
}

TEST_F(FirmwareTest, TheFirstControllerByBlockNumberIsTaken) {
  BLK_RegisterCtrlTypes();
  ASSERT_EQ(FB_CreateInstance(FB_TYPE_CONTR, 300), FB_OK);
  ASSERT_EQ(FB_CreateInstance(FB_TYPE_PIDMA, 150), FB_OK);
  FwPlantController view{};
  ASSERT_EQ(FW_FindPlantController(&view), 1);
  EXPECT_EQ(view.block, 150);
  EXPECT_EQ(view.type, FB_TYPE_PIDMA);
  EXPECT_EQ(view.outputConfig, 1);  // PIDMA's default output configuration ...
  EXPECT_EQ(view.outputKind, 9);    // ... is "Cont"
}

TEST(PlantKinds, PidmaAndStoredKinds) {
  struct Case {
    uint16_t config;
    uint8_t kind;
  };
  for (const Case& c : {Case{0, 2}, Case{1, 9}, Case{5, 10}, Case{8, 11}, Case{2, 3}, Case{12, 13}}) {
    EXPECT_EQ(FW_PidmaOutputKind(c.config), c.kind) << c.config;
  }
  EXPECT_EQ(FW_PlantStoredKind(9), 9);
  EXPECT_EQ(FW_PlantStoredKind(10), 16);
  EXPECT_EQ(FW_PlantStoredKind(11), 17);
}

TEST_F(FirmwareTest, ActuatorValuesAreClampedForContinuousKindsOnly) {
  struct Case {
    uint8_t kind;     // the controller's output function
    float y1, y2;
    float sent1, sent2;
  };
  const Case cases[] = {
      {4, 120.0f, -5.0f, 100.0f, 0.0f},   // continuous
      {10, 50.0f, 130.0f, 50.0f, 100.0f}, // split range (stored 16)
      {1, 120.0f, 50.0f, 0.0f, 0.0f},     // switching output
      {8, 70.0f, 0.0f, 0.0f, 0.0f},       // three-point stepping
  };
  for (const Case& c : cases) {
    TheFakeShell().log.clear();
    FbF32 values[3];
    values[0] = c.y1;
    values[1] = c.y2;
    values[2] = 0.0f;
    FwPlantController view{};
    view.outputs[0] = &values[0];
    view.outputs[1] = &values[1];
    view.outputKind = c.kind;
    const float settings[3] = {1, 2, 3};
    const FwPlantScaling scalings[3] = {{0.05f, 0}, {0.05f, 0}, {0.05f, 0}};
    FW_PlantSetup(settings, view, scalings);
    EXPECT_EQ(g_fwPlant.actuators.initialise, 1);
    FW_PlantCycle();
    ASSERT_EQ(TheFakeShell().log.calls().size(), 1u);
    std::ostringstream expect;
    expect << "SimPlantCycle(" << c.sent1 << ", " << c.sent2 << ", "
           << int{FW_PlantStoredKind(c.kind)} << ")";
    EXPECT_EQ(TheFakeShell().log.calls()[0], expect.str()) << int{c.kind};
    EXPECT_EQ(g_fwPlant.actuators.initialise, 0);
  }
}

TEST_F(FirmwareTest, WithoutPlugInTheBuiltInModelAnswers) {
  BLK_RegisterCtrlTypes();  // the controller family hands the link its built-in plant
  FbF32 values[3];
  values[0] = 10.0f;
  values[1] = 0.0f;
  values[2] = 0.0f;
  FbF32 lower, upper;
  lower = 20.0f;
  upper = 80.0f;
  FwPlantController view{};
  view.outputs[0] = &values[0];
  view.rangeLower = &lower;
  view.rangeUpper = &upper;
  view.outputKind = 4;
  const float settings[3] = {0, 0, 0};
  const FwPlantScaling scalings[3] = {};
  FW_PlantSetup(settings, view, scalings);
  TheFakeShell().plantLoaded = 0;
  FW_PlantCycle();
  EXPECT_EQ(g_fwPlant.result.valid, 1);  // the built-in model answered: not set up, at 0 %
  EXPECT_EQ(g_fwPlant.result.x, 20.0f);
  TheFakeShell().plantLoaded = 1;
  TheFakeShell().plantAnswer = SimPlantResult{42.0f, 3.0f, 1};
  FW_PlantCycle();
  EXPECT_EQ(g_fwPlant.result.x, 42.0f);
  FW_PlantValuesToHost();
  EXPECT_EQ(SimState().plant.outputs[0], 10.0f);
  EXPECT_EQ(SimState().plant.scaleStep[1], 6.0f);
  EXPECT_EQ(SimState().plant.status, 2);  // status byte 2 clear
}

}  // namespace

namespace {

// --- bus driver -------------------------------------------------------------------------------

TEST(BusDriver, AcceptsEverythingAndDeliversNothing) {
  const FwBusDriver& d = g_fwBusDriver;
  uint8_t message[8] = {};
  EXPECT_EQ(d.busy() | d.poll() | d.nodeState(2) | d.selectNode(2) | d.reset() | d.receive(message, 8), 0);
  EXPECT_EQ(d.command(2, 1) & d.sendBlock(message, 8) & d.sendReply(message, 8) & d.request(message, 8), 1);
  EXPECT_EQ(d.start() + d.setBitRate(125), 2);
  EXPECT_EQ(d.status() + d.errors(), 0);
}

TEST(BusDriver, IdentityIsCopiedUnlessLocked) {
  const char* names[4] = {"MX74+", "0123456789ABCDEFGHIJ", "", nullptr};
  uint8_t area[FW_BUS_IDENTITY_SIZE + 1];
  std::memset(area, 0x55, sizeof area);
  g_fwBusIdentityLocked = 0;
  EXPECT_EQ(FW_BusSetIdentity(area, names, 0x1234), 1);
  EXPECT_EQ(std::memcmp(area, "MX74+\0", 6), 0);
  EXPECT_EQ(std::memcmp(area + 16, "0123456789ABCDEF", 16), 0);
  EXPECT_EQ(area[32], 0);
  EXPECT_EQ(area[64], 0x34);
  EXPECT_EQ(area[65], 0x12);
  EXPECT_EQ(area[66], 0x55);  // nothing beyond the area
  g_fwBusIdentityLocked = 1;
  EXPECT_EQ(FW_BusSetIdentity(area, names, 0x1234), 0);
  EXPECT_EQ(area[0], 0xFF);
  EXPECT_EQ(area[65], 0xFF);
  EXPECT_EQ(area[66], 0x55);
  g_fwBusIdentityLocked = 0;
}

}  // namespace
