// A device without display and operating pages: their services do nothing, except that the
// texts the firmware writes on its display are printed. For the tools that need no pictures
// of the device (pctool); sim_demo runs the real display in memory instead.
#include <cstdio>

#include "gui/GUI.h"
#include "gui/WM.h"
#include "gui/draw/GUI_Font.h"
#include "opui/op_services.h"

// --- display --------------------------------------------------------------------------
const GUI_FONT GUI_Font8_1 = {};
const GUI_FONT GUI_FontDigits80 = {};
int GUI_Init() { return 0; }
void GUI_ErrorOut(const char* s) { std::fprintf(stderr, "%s\n", s); }
void GUI_ErrorOut1(const char* s, int32_t a) { std::fprintf(stderr, "%s %d\n", s, static_cast<int>(a)); }
void GUI_Clear() {}
void GUI_DispStringAt(const char* s, int, int) {
  // Blank lines clear a line of the start screen; only text is worth showing.
  for (const char* p = s; p && *p; ++p) {
    if (*p != ' ') {
      std::printf("display: %s\n", s);
      return;
    }
  }
}
void GUI_DrawHLine(int, int, int) {}
void GUI_SetColor(GUI_COLOR) {}
void GUI_SetBkColor(GUI_COLOR) {}
const GUI_FONT* GUI_SetFont(const GUI_FONT* font) { return font; }
GUI_MEMDEV_Handle GUI_MEMDEV_Create(int, int, int, int) { return 0; }
void GUI_MEMDEV_Delete(GUI_MEMDEV_Handle) {}
GUI_MEMDEV_Handle GUI_MEMDEV_Select(GUI_MEMDEV_Handle) { return 0; }
void GUI_MEMDEV_CopyToLCD(GUI_MEMDEV_Handle) {}
int GUI_BMP_GetXSize(const void*) { return 0; }
int GUI_BMP_GetYSize(const void*) { return 0; }
int GUI_BMP_Draw(const void*, int, int) { return 1; }
int GUI_BMP_DrawSized(const void*, uint32_t, int, int) { return 1; }
int GUI_GIF_GetInfo(const void*, uint32_t, GUI_GIF_INFO*) { return 1; }
int GUI_GIF_Draw(const void*, uint32_t, int, int) { return 1; }
void WM_Activate() {}
WM_HWIN WM_CreateWindow(int, int, int, int, uint32_t, WM_CALLBACK*, int) { return 0; }
int WM_EnableMultiBuf(int) { return 0; }
void WM_HideWindow(WM_HWIN) {}
void WM_ShowWindow(WM_HWIN) {}
void WM_InvalidateWindow(WM_HWIN) {}
int WM_IsWindow(WM_HWIN) { return 0; }
void WM_Paint(WM_HWIN) {}

// --- operating pages --------------------------------------------------------------------
void OP_ApplyScreenColors() {}
void OP_ClearDisplayList() {}
void OP_CloseBlockDialog() {}
void OP_CloseBlockView(uint16_t) {}
void OP_CloseOverlays() {}
void OP_CreateDisplayWindows() {}
void OP_InitKeyMap() {}
void OP_ResetUi() {}
void OP_ResetFieldEditor() {}
void OP_ClearDisplayCounters() {}
void OP_FullScreenProc(WM_MESSAGE*) {}
void OP_ShowPageWindows(int) {}
void OP_PageEnter(int) {}
void OP_PageLeave() {}
void OP_ReadKeysAndPointer() {}
void OP_RunPageManager(int) {}
void OP_SetIndicator(int, int, int) {}
void OP_ShowKeyTest(uint32_t, uint32_t, const char*, int, int) {}
void OP_ShowNoKey() {}
void OP_ShowStartupLogo() {}
int OP_ShowTextScreen(int, int count) { return count == 1 ? 1 : 2; }
void OP_ShowTouchPoint(int, int) {}
void OP_UpdateDisplay() {}

