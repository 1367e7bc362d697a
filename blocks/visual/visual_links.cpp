#include "blocks/visual/visual_links.h"

namespace {
VisualLinkHooks g_links;
bool g_standInUsed = false;
uint8_t g_standInAlarmFlags[2];
uint8_t g_standInIdleShown;

// The installed link, or null (and the stand-in noted) when it is not installed.
template <typename T>
T Linked(T link) {
  if (!link) g_standInUsed = true;
  return link;
}
}  // namespace

void VIS_InstallLinks(const VisualLinkHooks& hooks) {
  g_links = hooks;
  g_standInUsed = false;
}

bool VIS_LinksStandInUsed() { return g_standInUsed; }

const uint8_t* VIS_LinkAlarmDisplayFlags() {
  const uint8_t* flags = Linked(g_links.alarmDisplayFlags);
  return flags ? flags : g_standInAlarmFlags;
}

uint8_t& VIS_LinkIdleShown() {
  uint8_t* shown = Linked(g_links.idleShown);
  return shown ? *shown : g_standInIdleShown;
}

uint32_t VIS_LinkTouchPressed() {
  const uint32_t* touch = Linked(g_links.touchPressed);
  return touch ? *touch : 0;
}

void VIS_LinkDrawIdleScreen(const char* clock, bool clear) {
  if (auto draw = Linked(g_links.drawIdleScreen)) draw(clock, clear);
}
