#include "blocks/visual/visual_links.h"

#include "base/link_hooks.h"

namespace {
LinkHooks<VisualLinkHooks> g_links;
uint8_t g_standInAlarmFlags[2];
uint8_t g_standInIdleShown;
const uint32_t kNoTouch = 0;
}  // namespace

void VIS_InstallLinks(const VisualLinkHooks& hooks) { g_links.install(hooks); }

bool VIS_LinksStandInUsed() { return g_links.standInUsed(); }

const uint8_t* VIS_LinkAlarmDisplayFlags() {
  const uint8_t* flags = g_links.get(&VisualLinkHooks::alarmDisplayFlags);
  return flags ? flags : g_standInAlarmFlags;
}

uint8_t& VIS_LinkIdleShown() { return g_links.ref(&VisualLinkHooks::idleShown, g_standInIdleShown); }

uint32_t VIS_LinkTouchPressed() { return g_links.ref(&VisualLinkHooks::touchPressed, kNoTouch); }

void VIS_LinkDrawIdleScreen(const char* clock, bool clear) {
  if (auto draw = g_links.get(&VisualLinkHooks::drawIdleScreen)) draw(clock, clear);
}
