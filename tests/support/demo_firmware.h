// The firmware with its display on the emulated LCD and the recording shell, started from the
// shell's project buffers as the simulator starts it: the fixture of the tests that run a
// whole project (the built-in demo).
#pragma once

#include <gtest/gtest.h>

#include "fakes/fake_shell.h"
#include "opui/op_menu.h"
#include "runtime/fw_clock.h"
#include "support/firmware_reset.h"
#include "support/lcd_harness.h"
#include "support/screen_clock.h"

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

// The demo operated through its front keys, as a user does, with the top bar's clock at 08:05
// so that its screens can be compared: the fixture of the tests that walk its menus and pages.
class DemoKeysFirmware : public DemoFirmware {
 protected:
  void SetUp() override {
    DemoFirmware::SetUp();
    FW_SetTimeSource(ScreenClock0805);
  }
  void TearDown() override {
    FW_SetTimeSource(nullptr);
    DemoFirmware::TearDown();
  }
  // Key masks of the adapter: exit, down, enter.
  enum : uint32_t { kExit = 2, kDown = 4, kEnter = 16 };
  static void press(uint32_t mask) {
    FW_SetKeyMask(mask);
    FW_SimCycle();
    FW_SetKeyMask(0);
    FW_SimCycle();
  }
  static void run(int cycles) {
    for (int i = 0; i < cycles; ++i) FW_SimCycle();
  }
  // The home key: exit held for three seconds, which leads to the main menu.
  static void holdHome() {
    FW_SetKeyMask(kExit);
    run(32);
    FW_SetKeyMask(0);
    run(2);
  }
  // Moves the cursor down to the item that `is` accepts: false when it wraps without one.
  template <typename F>
  static bool downTo(F is) {
    for (int i = 0; i < 80; ++i) {
      if (g_opMenu.cursor && is(*g_opMenu.cursor)) return true;
      press(kDown);
    }
    return false;
  }
};
