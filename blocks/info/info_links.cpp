#include "blocks/info/info_links.h"

// The operating interface's records and the main cycle's calls, when they are linked.
extern OpDisplaySwitchRecord OpDisplaySwitches __attribute__((weak));
extern uint16_t OpPageRequest __attribute__((weak));
extern uint16_t OpShownPageBlock __attribute__((weak));
void FW_SelectPalette(int n) __attribute__((weak));
bool FW_AllIoBoardsReady() __attribute__((weak));

namespace {
OpDisplaySwitchRecord g_standInSwitches;
uint16_t g_standInPageRequest;
InfoCycleHooks g_hooks;
}  // namespace

OpDisplaySwitchRecord& INFO_LinkDisplaySwitches() {
  return &OpDisplaySwitches ? OpDisplaySwitches : g_standInSwitches;
}

uint16_t& INFO_LinkPageRequest() { return &OpPageRequest ? OpPageRequest : g_standInPageRequest; }

uint16_t INFO_LinkShownPageBlock() { return &OpShownPageBlock ? OpShownPageBlock : 0; }

void INFO_LinkSelectPalette(int n) {
  if (g_hooks.selectPalette) {
    g_hooks.selectPalette(n);
  } else if (FW_SelectPalette) {
    FW_SelectPalette(n);
  }
}

bool INFO_LinkIoBoardsReady() {
  if (g_hooks.ioBoardsReady) return g_hooks.ioBoardsReady();
  return FW_AllIoBoardsReady ? FW_AllIoBoardsReady() : true;
}

void INFO_SetCycleHooks(const InfoCycleHooks& hooks) { g_hooks = hooks; }
