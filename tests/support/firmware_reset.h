// The firmware's state cleared as before a first start, the block types registered and the
// shell's project buffers attached: the part of the whole-project fixtures that does not
// depend on which shell (the recording one or the program's) is linked.
#pragma once

#include "blocks/register_all.h"
#include "opui/op_blocktypes.h"
#include "opui/op_display.h"
#include "opui/op_userpage.h"
#include "shell/project.h"
#include "support/firmware_state.h"

inline void ClearFirmwareForProject() {
  // The display state of an earlier test names windows and devices of a library started
  // before this test's.
  OP_ResetDisplay();
  OP_ForgetDisplayList();
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  OP_RegisterBlockTypes();
  ClearFirmwareState();
  SimAttachProjectBuffers(SimState());
}

// Starts the firmware with the project in the shell's buffers, as the simulator does at its
// start, and runs ticks until the device runs (at most `ticks`).
inline void StartProjectFirmware(int ticks = 100) {
  SimState().imagesValid = 1;
  FW_SimInit();
  FW_SimStart();
  for (int i = 0; i < ticks && g_fwMain.runState != FW_STATE_RUNNING; ++i) FW_SimCycle();
}
