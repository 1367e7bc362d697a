// The operating interface with the firmware's start-up and main cycle linked: what the
// firmware draws reaches the display through the windows of the operating interface.
#include <gtest/gtest.h>

#include <cstring>

#include <vector>

#include "fakes/fake_shell.h"
#include "firmware/fw_adapter.h"
#include "firmware/fw_main.h"
#include "gui/picture_builders.h"
#include "opui_fixture.h"

namespace {

class FirmwareDisplayTest : public OpuiTest {
 protected:
  void SetUp() override {
    OpuiTest::SetUp();
    TheFakeShell().reset();
    std::memcpy(g_fwInternalEeprom + FW_IEE_TAG, FW_IMAGE_TAG, 4);
    FW_ResetMain();
    FW_ResetAdapter();
    FW_SetupDisplay();
  }
};

// Without engineering the service screen shows; its full screen is the firmware's device,
// shown by the full-screen window once that window runs the full-screen procedure.
TEST_F(FirmwareDisplayTest, ServiceScreenThroughTheFullScreenWindow) {
  ASSERT_EQ(FW_Init(), FW_START_OK);
  WM_SetCallback(g_fwMain.displayWindow, OP_FullScreenProc);
  for (int n = 0; n < 5; ++n) FW_Cycle();
  EXPECT_EQ(g_fwMain.runState, FW_STATE_SERVICE);
  int lit = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 320; ++x) lit += pixel(x, y) != 0;
  EXPECT_GT(lit, 200);  // the first two lines of the start screen
}

// The key code of the hardware adapter reaches the key state.
TEST_F(FirmwareDisplayTest, KeysFromTheAdapter) {
  OP_ResetUi();
  FW_SetKeyMask(1u << 4);  // the fifth key: code 8
  for (int n = 0; n < 3; ++n) {
    OP_ReadKeysAndPointer();
    OP_RunPageManager(FW_GetKeyCode());
  }
  EXPECT_EQ(g_opKeys.holdEnter, 3);
  FW_SetKeyMask(0);
}

// With the firmware linked, the top bar's clock follows the firmware's states, not the
// stand-in values of the device-state record.
TEST_F(FirmwareDisplayTest, DisplayAndServiceStatesAreTheFirmwares) {
  g_opDeviceState.displayState = 0;
  g_opDeviceState.serviceState = 0;
  g_fwMain.runState = FW_STATE_SETTLING;
  g_fwMain.deviceMode = FW_DEVICE_ENGINEERING;
  EXPECT_EQ(OP_LinkDisplayState(), FW_STATE_SETTLING);
  EXPECT_EQ(OP_LinkServiceState(), 0);
  g_fwMain.runState = FW_STATE_SERVICE;
  g_fwMain.deviceMode = FW_DEVICE_SERVICE;
  EXPECT_EQ(OP_LinkServiceState(), 1);
}

// User-picture data: one record (20-byte header, u32 length at 16) per BMP of these sizes,
// then the end mark -1.
std::vector<uint8_t> userPictures(std::initializer_list<std::pair<int, int>> sizes) {
  std::vector<uint8_t> data;
  for (auto [w, h] : sizes) {
    const int line = (w * 3 + 3) & ~3;
    const pictest::Bytes bmp = pictest::Bmp(w, h, 24, 0, {}, pictest::Bytes(static_cast<size_t>(line * h), 0x40));
    pictest::Bytes header(16, 0);
    pictest::Put32(header, static_cast<uint32_t>(FW_PICTURE_HEADER + bmp.size()));
    data.insert(data.end(), header.begin(), header.end());
    data.insert(data.end(), bmp.begin(), bmp.end());
  }
  pictest::Bytes end(16, 0);
  pictest::Put32(end, 0xFFFFFFFFu);
  data.insert(data.end(), end.begin(), end.end());
  return data;
}

// Reloading pictures of other sizes frees the memory devices it does not reuse: over repeated
// restarts the graphics heap comes back to where it was.
TEST_F(FirmwareDisplayTest, RestartedPicturesGiveTheirMemoryBack) {
  const std::vector<uint8_t> first = userPictures({{10, 12}, {30, 4}});
  const std::vector<uint8_t> other = userPictures({{20, 8}});
  g_fwMain.deviceMode = FW_DEVICE_ENGINEERING;
  auto load = [](const std::vector<uint8_t>& data, uint32_t count) {
    FW_SetUserPictures(data.data(), static_cast<uint32_t>(data.size()));
    FW_RestartPictures();
    for (int n = 0; n < 20 && g_fwMain.runState != FW_STATE_STOPPED; ++n) FW_Cycle();
    ASSERT_EQ(g_fwMain.runState, FW_STATE_STOPPED);
    ASSERT_EQ(g_fwMain.pictureCount, count);
  };
  load(first, 2);
  const uint32_t freeBytes = GUI_ALLOC_GetNumFreeBytes();
  for (int round = 0; round < 3; ++round) {
    load(other, 1);
    load(first, 2);
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), freeBytes) << round;
  }
  EXPECT_EQ(g_fwMain.pictures[0].xSize, 10);
  EXPECT_EQ(g_fwMain.pictures[1].xSize, 30);
  FW_SetUserPictures(nullptr, 0);
}

}  // namespace
