#include "blocks/info/info_links.h"

#include "base/link_hooks.h"

namespace {
LinkHooks<InfoLinkHooks> g_links;
}  // namespace

void INFO_InstallLinks(const InfoLinkHooks& hooks) { g_links.install(hooks); }

bool INFO_LinksStandInUsed() { return g_links.standInUsed(); }

void INFO_LinkSelectPalette(int n) {
  if (auto select = g_links.get(&InfoLinkHooks::selectPalette)) select(n);
}

bool INFO_LinkIoBoardsReady() {
  auto ready = g_links.get(&InfoLinkHooks::ioBoardsReady);
  return ready ? ready() : true;
}
