// The firmware with its display on the emulated LCD and the recording shell, started from the
// shell's project buffers as the simulator starts it: the fixture of the tests that run a
// whole project (the built-in demo).
#pragma once

#include <gtest/gtest.h>

#include "fakes/fake_shell.h"
#include "support/firmware_reset.h"
#include "support/lcd_harness.h"

class DemoFirmware : public lcdtest::LcdTest {
 protected:
  void SetUp() override {
    lcdtest::LcdTest::SetUp();
    TheFakeShell().reset();
    ClearFirmwareForProject();
    TheFakeShell().restartFirmware = [] {
      FW_SimInit();
      FW_SimStart();
    };
  }
  void TearDown() override {
    ReleaseFirmwareHooks();
    lcdtest::LcdTest::TearDown();
  }

  // Starts the firmware with the project in the shell's buffers, as the simulator does at its
  // start, and runs ticks until the device runs (at most `ticks`).
  void startDemo(int ticks = 100) {
    StartProjectFirmware(ticks);
    ASSERT_EQ(g_fwMain.runState, FW_STATE_RUNNING);
  }
};
