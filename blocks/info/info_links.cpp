#include "blocks/info/info_links.h"

#include "base/link_hooks.h"

namespace {
LinkHooks<InfoLinkHooks> g_links;
OpDisplaySwitchRecord g_standInSwitches;
uint16_t g_standInPageRequest;
const uint16_t kNoShownPage = 0;
}  // namespace

void INFO_InstallLinks(const InfoLinkHooks& hooks) { g_links.install(hooks); }

bool INFO_LinksStandInUsed() { return g_links.standInUsed(); }

OpDisplaySwitchRecord& INFO_LinkDisplaySwitches() {
  return g_links.ref(&InfoLinkHooks::displaySwitches, g_standInSwitches);
}

uint16_t& INFO_LinkPageRequest() { return g_links.ref(&InfoLinkHooks::pageRequest, g_standInPageRequest); }

uint16_t INFO_LinkShownPageBlock() { return g_links.ref(&InfoLinkHooks::shownPageBlock, kNoShownPage); }

void INFO_LinkSelectPalette(int n) {
  if (auto select = g_links.get(&InfoLinkHooks::selectPalette)) select(n);
}

bool INFO_LinkIoBoardsReady() {
  auto ready = g_links.get(&InfoLinkHooks::ioBoardsReady);
  return ready ? ready() : true;
}
