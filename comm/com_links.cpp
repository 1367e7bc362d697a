#include "comm/com_links.h"

#include <algorithm>
#include <cstring>

#include "base/link_hooks.h"
#include "runtime/fw_main_state.h"
#include "shell/sim_services.h"

namespace {
LinkHooks<ComLinkHooks> g_links;
uint16_t g_standInDeviceMode = FW_DEVICE_ENGINEERING;

// The main cycle's state and the shell's state record, or null (and the stand-in noted) when
// they are not installed.
FwMainState* Main() { return g_links.get(&ComLinkHooks::main); }
SimHostState* Shell() { return g_links.get(&ComLinkHooks::shell); }
}  // namespace

void COM_InstallLinks(const ComLinkHooks& hooks) { g_links.install(hooks); }

bool COM_LinksStandInUsed() { return g_links.standInUsed(); }

uint16_t& COM_LinkDeviceMode() {
  FwMainState* main = Main();
  return main ? main->deviceMode : g_standInDeviceMode;
}

uint16_t COM_LinkStatusBits() {
  const FwMainState* main = Main();
  return main ? main->statusBits : 0;
}

void COM_LinkServiceLine(int row, const char* text) {
  FwMainState* main = Main();
  if (!main || row < 6 || row > 8) return;
  char* line = main->serviceLines[row - 6];
  const size_t n = std::min<size_t>(std::strlen(text), FW_SERVICE_LINE_LEN);
  std::memset(line, ' ', FW_SERVICE_LINE_LEN);
  std::memcpy(line, text, n);
  line[FW_SERVICE_LINE_LEN] = 0;
  main->serviceDrawn = 0;
}

void COM_LinkSetHaltFlag() {
  if (SimHostState* shell = Shell()) shell->haltFlag = 1;
}

void COM_LinkSetPictureSave() {
  if (SimHostState* shell = Shell()) shell->pictureSave = 1;
}
