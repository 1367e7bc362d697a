// Internals of the graphics library shared between its modules: the drawing context, the
// task slots, the platform hooks and the links to the window manager.
#pragma once

#include <cstdint>

#include "gui/GUI.h"
#include "gui/LCD.h"

// The drawing context: one per task slot, copied and restored whole.
struct GUI_CONTEXT {
  // The colour indices: [1] foreground, [0] background. As a pair they translate the bits
  // of a 1-bit glyph (bit 0 background, bit 1 foreground).
  uint32_t aColorIndex[2];
  GUI_RECT ClipRect;
  uint8_t DrawMode;
  uint8_t SelLayer;
  uint8_t TextStyle;
  GUI_RECT* pClipRect_HL;          // active clip rectangle
  uint8_t PenSize;
  uint8_t PenShape;
  uint8_t LineStyle;
  uint8_t StyleLineThickness;
  const GUI_FONT* pAFont;
  int16_t LBorder;
  int16_t DispPosX, DispPosY;
  int16_t DrawPosX, DrawPosY;
  int16_t TextMode;
  int16_t TextAlign;
  GUI_COLOR Color;
  GUI_COLOR BkColor;
  uint32_t* LCD_pColorIndex;
  uint32_t* LCD_pBkColorIndex;
  uint32_t* LCD_pAColorIndex;      // the index pair {foreground, background}
  // Window-manager fields.
  const GUI_RECT* WM_pUserClipRect;  // rectangle for text alignment in the drawn window
  int32_t hAWin;                   // window being drawn
  int32_t xOff, yOff;              // window origin: window + offset = screen
  uint8_t WM_IsActive;             // 0: drawing ignores the window clipping
  GUI_DEVICE* apDriver[GUI_NUM_LAYERS];
  GUI_HMEM hDevData;               // selected memory device, 0 = the display
  const LCD_API_LINE_PIXEL* pLCD_HL;
  uint8_t AA_Factor;               // set to 3 at init
  uint8_t AA_HiResEnable;
  int32_t aReserved[2];
  const char* pVersion;
};

extern GUI_CONTEXT* GUI_pContext;  // the current task's context

// Platform hooks in use (never null; the defaults when none were installed).
extern const GUI_PLATFORM_HOOKS* GUI__pHooks;

// Memory fill and copy through the hooks of the application.
void* GUI__memset(void* p, int c, size_t n);
void* GUI__memcpy(void* d, const void* s, size_t n);
// Fills n pixel words of 16 or 32 bits from p on (any alignment) with the value in its
// native byte order: a short run of stores, then copies of the filled part, so that rows of
// the display and of memory devices fill at the speed of a block copy.
void GUI__FillWords16(void* p, int n, uint16_t v);
void GUI__FillWords32(void* p, int n, uint32_t v);

// Links to the window manager, installed by it; null members act as "no window manager":
// window-level drawing then runs once with the context's clip rectangle.
struct GUI_WM_LINK {
  void (*pfInit)();
  int (*pfIterateStart)(const GUI_RECT* pRect);  // non-zero while a clip rectangle is set
  int (*pfIterateNext)();
  void (*pfSelectLayer)(int layer);
  int32_t hNoWindow;               // handle value for "no window being drawn"
};
void GUI__SetWMLink(const GUI_WM_LINK* pLink);
int WM__IterateStart(const GUI_RECT* pRect);
int WM__IterateNext();
void WM__SelectLayer(int layer);

// Exec step of the input module (null = nothing to do); GUI_Delay runs it while it waits.
extern int (*GUI__pfExec)();
// Time of the next GUI timer in ms and whether one exists (set by the timer module).
extern int (*GUI__pfTimerNext)(int32_t* pTime);

// Core internals.
void GUI__InitContext(GUI_CONTEXT* pContext);
// Points the active clip rectangle and the colour-index pointers at the context's own fields.
void GUI__RepointContext(GUI_CONTEXT* pContext);
void GUI__ExitAlloc();
void GUI__AllocInitOnce();
int GUITASK__GetTaskNo();
extern int GUITASK__EntranceCnt;
// True while the calling thread holds the GUI lock (inside a GUI_Lock/GUI_Unlock pair).
bool GUITASK__LockHeldByCaller();
void GUI_DEVICE__ClearChains();
const GUICC* LCD__GetpCC();    // conversion of the selected layer's top device
GUI_DEVICE* LCD__GetTopDevice();

// Locking helpers.
struct GUI_LockGuard {
  GUI_LockGuard() { GUI_Lock(); }
  ~GUI_LockGuard() { GUI_Unlock(); }
  GUI_LockGuard(const GUI_LockGuard&) = delete;
  GUI_LockGuard& operator=(const GUI_LockGuard&) = delete;
};
