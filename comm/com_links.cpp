#include "comm/com_links.h"

#include <algorithm>
#include <cstring>

#include "runtime/fw_main.h"
#include "shell/sim_services.h"

// The main cycle's state and the shell's state record, when they are linked.
extern FwMainState g_fwMain __attribute__((weak));
extern SimHostState& SimState() __attribute__((weak));

namespace {
uint16_t g_standInDeviceMode = FW_DEVICE_ENGINEERING;
}

uint16_t& COM_LinkDeviceMode() { return &g_fwMain ? g_fwMain.deviceMode : g_standInDeviceMode; }

uint16_t COM_LinkStatusBits() { return &g_fwMain ? g_fwMain.statusBits : 0; }

void COM_LinkServiceLine(int row, const char* text) {
  if (!&g_fwMain || row < 6 || row > 8) return;
  char* line = g_fwMain.serviceLines[row - 6];
  const size_t n = std::min<size_t>(std::strlen(text), FW_SERVICE_LINE_LEN);
  std::memset(line, ' ', FW_SERVICE_LINE_LEN);
  std::memcpy(line, text, n);
  line[FW_SERVICE_LINE_LEN] = 0;
  g_fwMain.serviceDrawn = 0;
}

void COM_LinkSetHaltFlag() {
  if (SimState) SimState().haltFlag = 1;
}

void COM_LinkSetPictureSave() {
  if (SimState) SimState().pictureSave = 1;
}
