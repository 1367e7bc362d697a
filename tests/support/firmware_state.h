// The firmware's state cleared as before a first start, and the hooks a start installs put
// back to their defaults: what every fixture that starts the firmware does before and after
// a test, whichever display, operating interface and shell (recording fakes or the real ones)
// the test binary links.
#pragma once

#include <cstring>

#include "firmware/fw_adapter.h"
#include "firmware/fw_main.h"
#include "firmware/fw_plant.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_login.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_text.h"

// The block store, EEPROMs, deferred calls, main cycle, adapter, run mode, images, plant link,
// system data and login as before a first start. The block types stay registered.
inline void ClearFirmwareState() {
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
