// The operating interface with the firmware's start-up and main cycle linked: what the
// firmware draws reaches the display through the windows of the operating interface.
#include <gtest/gtest.h>

#include <cstring>

#include "fakes/fake_shell.h"
#include "opui_fixture.h"
#include "runtime/fw_adapter.h"
#include "runtime/fw_main.h"

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

}  // namespace
