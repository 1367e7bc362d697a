#include "fakes/fake_shell.h"

#include <cstring>

namespace {
SimHostState g_state;
}

SimHostState& SimState() { return g_state; }

FakeShell& TheFakeShell() {
  static FakeShell shell;
  return shell;
}

void FakeShell::reset() {
  log.clear();
  plantLoaded = 0;
  plantAnswer = {};
  panelValues.clear();
  restartFirmware = nullptr;
  std::memset(static_cast<void*>(&g_state), 0, sizeof g_state);
}

void SimModulePanelCloseAll() { TheFakeShell().log.add("SimModulePanelCloseAll"); }
void SimModulePanelOpen(int32_t instance) { TheFakeShell().log.add("SimModulePanelOpen", instance); }

int32_t SimModulePanelQuery(int coupler, int slot, int channel) {
  FakeShell& f = TheFakeShell();
  f.log.add("SimModulePanelQuery", coupler, slot, channel);
  auto it = f.panelValues.find({coupler, slot, channel});
  return it == f.panelValues.end() ? 0 : it->second;
}

void SimModulePanelSend(int coupler, int slot, int channel, int32_t value) {
  TheFakeShell().log.add("SimModulePanelSend", coupler, slot, channel, value);
}

void SimRequestRestart() {
  TheFakeShell().log.add("SimRequestRestart");
  g_state.restartFlag = 1;
}

void SimRestartFirmware() {
  TheFakeShell().log.add("SimRestartFirmware");
  if (TheFakeShell().restartFirmware) TheFakeShell().restartFirmware();
}
