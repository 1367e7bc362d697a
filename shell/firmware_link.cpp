#include "shell/firmware_link.h"

#include "gui/GUI.h"

namespace {

SimHostState g_state;
SimHostState g_shadow;
const SimFirmwareAdapter* g_adapter;
const SimRestartHooks* g_hooks;
bool g_processRestart;

// Until the device firmware is linked, the simulator runs without one: the graphics library
// is started so that the display exists, and the keys go nowhere.
bool g_guiStarted;
void StartDisplay() {
  if (!g_guiStarted) GUI_Init();
  g_guiStarted = true;
}
void NoFirmware() {}
void NoKeyMask(uint32_t) {}
const SimFirmwareAdapter kDevice = {StartDisplay, NoFirmware, NoFirmware, NoKeyMask};

}  // namespace

SimHostState& SimState() { return g_state; }
SimHostState& SimShadowState() { return g_shadow; }

const SimFirmwareAdapter& SimDeviceFirmware() { return kDevice; }
bool SimFirmwareLinked() { return false; }
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
  // The firmware's data image goes back to the shell with the restart project (once the
  // firmware is linked, its copy runs here).
  g_state.endFlag = 1;
  g_state.restartFlag = 1;
  g_processRestart = true;
  if (g_hooks && g_hooks->requestProcessRestart) g_hooks->requestProcessRestart();
}

// The module panels and the plant plug-in are not linked yet: no panel windows, no plug-in.
void SimModulePanelCloseAll() {}
void SimModulePanelOpen(int32_t) {}
int32_t SimModulePanelQuery(int, int, int) { return 0; }
void SimModulePanelSend(int, int, int, int32_t) {}
int SimPlantCycle(SimPlantActuators*, SimPlantParams*, SimPlantResult*) { return 0; }
