#include "base/link_hooks.h"
#include "blocks/visual/visual_links.h"
#include "gui/GUI.h"
#include "gui/draw/GUI_Font.h"
#include "links/sim_links.h"
#include "firmware/fw_main.h"

namespace {
constexpr GUI_COLOR kWhite = 0x00FFFFFF, kBlack = 0;
constexpr int kClockX = 10, kClockY = 65;

// VIDLE's idle screen: the clock in large digits on the main cycle's background device, shown
// by the next full-screen redraw.
void DrawIdleScreen(const char* clock, bool clear) {
  const GUI_MEMDEV_Handle background = g_fwMain.memdev[0];
  if (background <= 0) return;   // the display is not set up
  const GUI_MEMDEV_Handle previous = GUI_MEMDEV_Select(background);
  GUI_SetBkColor(kBlack);
  GUI_SetColor(kWhite);
  if (clear) GUI_Clear();
  GUI_SetFont(&GUI_FontDigits80);
  GUI_DispStringAt(clock, kClockX, kClockY);
  GUI_MEMDEV_Select(previous);
  g_fwMain.fullScreen = 1;
}
}  // namespace

bool SIM_InstallVisualLinks() {
  const VisualLinkHooks hooks{.drawIdleScreen = DrawIdleScreen};
  VIS_InstallLinks(hooks);
  return LinkHooksComplete(hooks);
}
