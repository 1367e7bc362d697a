#include "shell/firmware_link.h"

#include "firmware/fw_adapter.h"
#include "firmware/fw_main.h"
#include "opui/op_links.h"
#include "shell/project.h"

namespace {

SimHostState g_state;
SimHostState g_shadow;
const SimFirmwareAdapter* g_adapter;
const SimRestartHooks* g_hooks;
bool g_processRestart;

const SimFirmwareAdapter kDevice = {FW_SimInit, FW_SimStart, FW_SimCycle, FW_SetKeyMask};

}  // namespace

SimHostState& SimState() { return g_state; }
SimHostState& SimShadowState() { return g_shadow; }

const SimFirmwareAdapter& SimDeviceFirmware() { return kDevice; }
const SimFirmwareAdapter& SimFirmware() { return g_adapter ? *g_adapter : SimDeviceFirmware(); }
void SimSetFirmware(const SimFirmwareAdapter* adapter) { g_adapter = adapter; }

void SimSetRestartHooks(const SimRestartHooks* hooks) { g_hooks = hooks; }
bool SimProcessRestartRequested() { return g_processRestart; }
void SimClearProcessRestart() { g_processRestart = false; }

void SimRestartFirmware() {
  if (g_hooks && g_hooks->beforeFirmwareRestart) g_hooks->beforeFirmwareRestart();
  SimFirmware().init();
  if (g_hooks && g_hooks->afterFirmwareInit) g_hooks->afterFirmwareInit();
  SimFirmware().start();
}

void SimRequestRestart() {
  // Both images go back to the shell for the restart project: the engineering too, since a
  // PC tool's download that ends in this restart is only in the firmware's image.
  FW_CopyImagesToHost();
  g_state.endFlag = 1;
  g_state.restartFlag = 1;
  g_processRestart = true;
  if (g_hooks && g_hooks->requestProcessRestart) g_hooks->requestProcessRestart();
}

void SimHandPicturesToFirmware() {
  uint32_t size = 0;
  const uint8_t* logo = SimLogoData(&size);
  OP_SetStartPicture(logo, size);
  const uint8_t* user = SimUserData(&size);
  FW_SetUserPictures(user, size);
}
