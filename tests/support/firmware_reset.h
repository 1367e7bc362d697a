// The firmware's state cleared as before a first start, the block types registered and the
// shell's project buffers attached: the part of the whole-project fixtures that does not
// depend on which shell (the recording one or the program's) is linked.
#pragma once

#include <cstring>

#include "blocks/register_all.h"
#include "firmware/fw_adapter.h"
#include "firmware/fw_main.h"
#include "firmware/fw_plant.h"
#include "opui/op_blocktypes.h"
#include "opui/op_display.h"
#include "opui/op_userpage.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_login.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_text.h"
#include "shell/project.h"

inline void ClearFirmwareForProject() {
  // The display state of an earlier test names windows and devices of a library started
  // before this test's.
  OP_ResetDisplay();
  OP_ForgetDisplayList();
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
}

// The hooks a start installs, back to the defaults for the next test.
inline void ReleaseFirmwareHooks() {
  FW_SetMainEepromWriter(nullptr);
  FW_SetEepromFaultHook(nullptr);
  FW_SetEngineeringClearHook(nullptr);
  FW_BindMainEeprom(nullptr, 0);
  FW_BindLanguageByte(nullptr);
  FB_SetSaveHook(nullptr);
  g_fwSysHooks = FwSystemHooks{};
  g_fwPlant = FwPlantLink{};
}

// Starts the firmware with the project in the shell's buffers, as the simulator does at its
// start, and runs ticks until the device runs (at most `ticks`).
inline void StartProjectFirmware(int ticks = 100) {
  SimState().imagesValid = 1;
  FW_SimInit();
  FW_SimStart();
  for (int i = 0; i < ticks && g_fwMain.runState != FW_STATE_RUNNING; ++i) FW_SimCycle();
}
