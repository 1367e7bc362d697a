// A firmware driven through the hardware adapter against the recording fakes of the display,
// operating interface and shell: the cleared firmware state, the shell's project buffers, and
// a start with an engineering from the engineering builder. The device communication is what
// the test binary links (the recording fake, or the protocols for tests that talk to the
// device the way a PC tool does).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fakes/fake_gui.h"
#include "fakes/fake_opui.h"
#include "fakes/fake_shell.h"
#include "support/firmware_state.h"
#include "tools/engbuild/eng_builder.h"

class AdapterFirmware : public ::testing::Test {
 protected:
  AdapterFirmware()
      : eng_(SIM_ENGINEERING_SIZE), engRef_(SIM_ENGINEERING_SIZE), data_(SIM_DATA_SIZE),
        dataRef_(SIM_DATA_SIZE) {
    fakegui::Reset();
    FakeOpuiLog().clear();
    TheFakeShell().reset();
    FB_ClearTypeTable();
    ClearFirmwareState();
    SimHostState& s = SimState();
    s.engineering = eng_.data();
    s.engineeringRef = engRef_.data();
    s.data = data_.data();
    s.dataRef = dataRef_.data();
    TheFakeShell().restartFirmware = [] {
      FW_SimInit();
      FW_SimStart();
    };
  }
  // The start-up installs hooks and binds the image; other tests start from the defaults.
  ~AdapterFirmware() override { ReleaseFirmwareHooks(); }

  // A project with an engineering (tag in both images) in the shell's buffers.
  void projectWithEngineering() {
    std::memcpy(eng_.data(), "MX7N", 4);
    std::memcpy(data_.data() + FW_IEE_TAG, "MX7N", 4);
    SimState().imagesValid = 1;
    SimState().reloadRequest = 1;
  }

  // Hands the builder's engineering to the firmware as the shell's project, starts it and
  // runs ticks until the device runs (at most `ticks`). The block types must be registered.
  void startWith(EngBuilder& builder, int ticks = 100) {
    std::vector<uint8_t> image;
    ASSERT_TRUE(builder.build(image)) << builder.error();
    std::memcpy(eng_.data(), image.data(), image.size());
    projectWithEngineering();
    FW_SimInit();
    FW_SimStart();
    for (int i = 0; i < ticks && g_fwMain.runState != FW_STATE_RUNNING; ++i) FW_SimCycle();
    ASSERT_EQ(g_fwMain.runState, FW_STATE_RUNNING);
  }

  std::vector<uint8_t> eng_, engRef_, data_, dataRef_;
};
