// The firmware with its display on the emulated LCD and the recording shell, started from the
// shell's project buffers as the simulator starts it: the fixture of the tests that run a
// whole project (the built-in demo).
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "blocks/register_all.h"
#include "fakes/fake_shell.h"
#include "opui/op_blocktypes.h"
#include "opui/op_display.h"
#include "opui/op_userpage.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_adapter.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_login.h"
#include "runtime/fw_main.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_plant.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_text.h"
#include "shell/project.h"
#include "support/lcd_harness.h"

class DemoFirmware : public lcdtest::LcdTest {
 protected:
  void SetUp() override {
    lcdtest::LcdTest::SetUp();
    // The display state of an earlier test names windows and devices of a library started
    // before this test's.
    OP_ResetDisplay();
    OP_ForgetDisplayList();
    TheFakeShell().reset();
    FB_ClearTypeTable();
    BLK_RegisterAllTypes();
    OP_RegisterBlockTypes();
    FB_ClearStore();
    FW_ResetEeprom();
    FW_ClearDeferredCalls();
    FW_ResetMain();
    FW_ResetAdapter();
    g_fwRunMode = FW_RUN_MODE_STOP;
    g_fwErrorFlags = 0;
    g_fbSchedule.phase = 0;
    std::memset(g_fwImage, 0, sizeof g_fwImage);
    std::memset(g_fwInternalEeprom, 0, sizeof g_fwInternalEeprom);
    g_fwEng = FwEngineeringState{};
    g_fwPlant = FwPlantLink{};
    FW_ResetSystemData();
    FW_ResetLogin();
    SimAttachProjectBuffers(SimState());
    TheFakeShell().restartFirmware = [] {
      FW_SimInit();
      FW_SimStart();
    };
  }
  void TearDown() override {
    FW_SetMainEepromWriter(nullptr);
    FW_SetEepromFaultHook(nullptr);
    FW_SetEngineeringClearHook(nullptr);
    FW_BindMainEeprom(nullptr, 0);
    FW_BindLanguageByte(nullptr);
    FB_SetSaveHook(nullptr);
    g_fwSysHooks = FwSystemHooks{};
    g_fwPlant = FwPlantLink{};
    lcdtest::LcdTest::TearDown();
  }

  // Starts the firmware with the project in the shell's buffers, as the simulator does at its
  // start, and runs ticks until the device runs (at most `ticks`).
  void startDemo(int ticks = 100) {
    SimState().imagesValid = 1;
    FW_SimInit();
    FW_SimStart();
    for (int i = 0; i < ticks && g_fwMain.runState != FW_STATE_RUNNING; ++i) FW_SimCycle();
    ASSERT_EQ(g_fwMain.runState, FW_STATE_RUNNING);
  }
};
