#include "blocks/visual/visual_links.h"

#include "base/link_hooks.h"

namespace {
LinkHooks<VisualLinkHooks> g_links;
}  // namespace

void VIS_InstallLinks(const VisualLinkHooks& hooks) { g_links.install(hooks); }

bool VIS_LinksStandInUsed() { return g_links.standInUsed(); }

void VIS_LinkDrawIdleScreen(const char* clock, bool clear) {
  if (auto draw = g_links.get(&VisualLinkHooks::drawIdleScreen)) draw(clock, clear);
}
