// Services the firmware calls whose own modules are not part of the program yet: memory
// devices and bitmap decoders of the graphics library, and the device's operating pages.
// Until they are linked the firmware draws straight onto the display (no memory devices)
// and no operating page reacts to the keys, so the display shows what the start-up writes:
// the start screen.
//
// Every definition is weak: a module that defines the same function takes its place when it
// is linked, without a change here. This file is linked after the real libraries.
#include "gui/GUI.h"
#include "opui/op_services.h"

#define SIM_STANDIN __attribute__((weak))

// --- memory devices: drawing goes to the display --------------------------------------------
SIM_STANDIN GUI_MEMDEV_Handle GUI_MEMDEV_Create(int, int, int, int) { return 0; }
SIM_STANDIN GUI_MEMDEV_Handle GUI_MEMDEV_Select(GUI_MEMDEV_Handle) { return 0; }
SIM_STANDIN void GUI_MEMDEV_CopyToLCD(GUI_MEMDEV_Handle) {}

// --- pictures: none can be drawn ------------------------------------------------------------
SIM_STANDIN int GUI_BMP_GetXSize(const void*) { return 0; }
SIM_STANDIN int GUI_BMP_GetYSize(const void*) { return 0; }
SIM_STANDIN int GUI_BMP_Draw(const void*, int, int) { return 1; }
SIM_STANDIN int GUI_BMP_DrawSized(const void*, uint32_t, int, int) { return 1; }
SIM_STANDIN int GUI_GIF_GetInfo(const void*, uint32_t, GUI_GIF_INFO*) { return 1; }
SIM_STANDIN int GUI_GIF_Draw(const void*, uint32_t, int, int) { return 1; }

// --- operating pages: none -------------------------------------------------------------------
SIM_STANDIN uint16_t OpShownPageBlock;
SIM_STANDIN uint32_t OpTouchPressed;
SIM_STANDIN void OP_ApplyScreenColors() {}
SIM_STANDIN void OP_ClearDisplayList() {}
SIM_STANDIN void OP_CloseBlockDialog() {}
SIM_STANDIN void OP_CloseBlockView(uint16_t) {}
SIM_STANDIN void OP_CloseOverlays() {}
SIM_STANDIN void OP_CreateDisplayWindows() {}
SIM_STANDIN void OP_InitKeyMap() {}
SIM_STANDIN void OP_PageEnter(int) {}
SIM_STANDIN void OP_PageLeave() {}
SIM_STANDIN void OP_ReadKeysAndPointer() {}
SIM_STANDIN void OP_RunPageManager(int) {}
SIM_STANDIN void OP_SetIndicator(int, int, int) {}
SIM_STANDIN void OP_ShowKeyTest(uint32_t, uint32_t, const char*, int, int) {}
SIM_STANDIN void OP_ShowNoKey() {}
SIM_STANDIN void OP_ShowStartupLogo() {}
SIM_STANDIN void OP_ShowTextScreen(int, int) {}
SIM_STANDIN void OP_ShowTouchPoint(int, int) {}
SIM_STANDIN void OP_UpdateDisplay() {}
