// The shell around a headless firmware: the state record, and the services the firmware calls
// of the shell's windows, which do nothing here (no module panels, no plant plug-in: the
// controller's built-in plant closes the loop).
#include "firmware/fw_adapter.h"
#include "shell/sim_services.h"

SimHostState& SimState() {
  static SimHostState state{};
  return state;
}
void SimModulePanelCloseAll() {}
void SimModulePanelOpen(int32_t) {}
int32_t SimModulePanelQuery(int, int, int) { return 0; }
void SimModulePanelSend(int, int, int, int32_t) {}
int SimPlantCycle(SimPlantActuators*, SimPlantParams*, SimPlantResult*) { return 0; }
// Without a shell around it the device's restart is the firmware's own: the next tick starts
// it again (a download from a PC tool ends so).
void SimRequestRestart() { SimState().restartFlag = 1; }
void SimRestartFirmware() {
  FW_SimInit();
  FW_SimStart();
}
