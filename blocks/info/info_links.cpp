#include "blocks/info/info_links.h"

namespace {
InfoLinkHooks g_links;
bool g_standInUsed = false;
OpDisplaySwitchRecord g_standInSwitches;
uint16_t g_standInPageRequest;

// The installed link, or null (and the stand-in noted) when it is not installed.
template <typename T>
T Linked(T link) {
  if (!link) g_standInUsed = true;
  return link;
}
}  // namespace

void INFO_InstallLinks(const InfoLinkHooks& hooks) {
  g_links = hooks;
  g_standInUsed = false;
}

bool INFO_LinksStandInUsed() { return g_standInUsed; }

OpDisplaySwitchRecord& INFO_LinkDisplaySwitches() {
  OpDisplaySwitchRecord* switches = Linked(g_links.displaySwitches);
  return switches ? *switches : g_standInSwitches;
}

uint16_t& INFO_LinkPageRequest() {
  uint16_t* request = Linked(g_links.pageRequest);
  return request ? *request : g_standInPageRequest;
}

uint16_t INFO_LinkShownPageBlock() {
  const uint16_t* shown = Linked(g_links.shownPageBlock);
  return shown ? *shown : 0;
}

void INFO_LinkSelectPalette(int n) {
  if (auto select = Linked(g_links.selectPalette)) select(n);
}

bool INFO_LinkIoBoardsReady() {
  auto ready = Linked(g_links.ioBoardsReady);
  return ready ? ready() : true;
}
