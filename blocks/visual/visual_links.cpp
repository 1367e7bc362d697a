// VIDLE's links to the operating interface, the main cycle and the graphics library, when
// they are linked. Weak references pull nothing in and stay null when they are not.
#include "blocks/visual/visual_internal.h"
#include "gui/GUI.h"
#include "gui/draw/GUI_Font.h"
#include "runtime/fw_main.h"

extern uint8_t OpAlarmDisplayFlags[2] __attribute__((weak));
extern uint8_t OpIdleShown __attribute__((weak));
extern uint32_t OpTouchPressed __attribute__((weak));
extern FwMainState g_fwMain __attribute__((weak));
extern const GUI_FONT GUI_FontDigits80 __attribute__((weak));
GUI_MEMDEV_Handle GUI_MEMDEV_Select(GUI_MEMDEV_Handle hMem) __attribute__((weak));
void GUI_SetBkColor(GUI_COLOR color) __attribute__((weak));
void GUI_SetColor(GUI_COLOR color) __attribute__((weak));
void GUI_Clear() __attribute__((weak));
const GUI_FONT* GUI_SetFont(const GUI_FONT* pFont) __attribute__((weak));
void GUI_DispStringAt(const char* s, int x, int y) __attribute__((weak));

namespace {
uint8_t g_standInAlarmFlags[2];
uint8_t g_standInIdleShown;

constexpr GUI_COLOR kWhite = 0x00FFFFFF, kBlack = 0;
constexpr int kClockX = 10, kClockY = 65;
}  // namespace

const uint8_t* VIS_LinkAlarmDisplayFlags() {
  return &OpAlarmDisplayFlags ? OpAlarmDisplayFlags : g_standInAlarmFlags;
}

uint8_t& VIS_LinkIdleShown() { return &OpIdleShown ? OpIdleShown : g_standInIdleShown; }

uint32_t VIS_LinkTouchPressed() { return &OpTouchPressed ? OpTouchPressed : 0; }

void VIS_LinkDrawIdleScreen(const char* clock, bool clear) {
  if (!&g_fwMain || !GUI_MEMDEV_Select || !GUI_SetBkColor || !GUI_SetColor || !GUI_Clear ||
      !GUI_SetFont || !GUI_DispStringAt) {
    return;
  }
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
