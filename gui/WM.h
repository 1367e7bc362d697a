// Public interface of the window manager and the dialogs built from item tables.
//
// A window handle is the GUI heap handle of the window's block (0 = none). Windows talk to
// their owners through messages passed to their window procedures.
#pragma once

#include <cstdint>

#include "gui/GUI.h"

typedef GUI_HMEM WM_HWIN;

struct WM_MESSAGE {
  int32_t MsgId;
  WM_HWIN hWin;                    // the target; written by the send path
  WM_HWIN hWinSrc;                 // the sender or the notifying child; 0 when not set
  union {
    const void* p;
    intptr_t v;
  } Data;
};

typedef void WM_CALLBACK(WM_MESSAGE* pMsg);

// Status and creation flags of windows.
enum : uint32_t {
  WM_CF_HASTRANS = 0x00000001,
  WM_CF_SHOW = 0x00000002,
  WM_CF_MEMDEV = 0x00000004,
  WM_CF_STAYONTOP = 0x00000008,
  WM_CF_DISABLED = 0x00000010,
  WM_CF_ACTIVATE = 0x00000020,     // creation only: select the new window for drawing
  WM_CF_BGND = 0x00000040,         // creation only: put the new window at the bottom
};

// One record of a dialog's item table (constant data).
struct GUI_DIALOG_ITEM;
typedef WM_HWIN GUI_CREATE_INDIRECT(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0,
                                    WM_CALLBACK* cb);
struct GUI_DIALOG_ITEM {
  GUI_CREATE_INDIRECT* pfCreateIndirect;
  const char* pName;
  int16_t Id;
  int16_t x0, y0;
  int16_t xSize, ySize;
  uint16_t Flags;
  int32_t Para;
  uint32_t NumExtraBytes;
};

WM_HWIN GUI_CreateDialogBox(const GUI_DIALOG_ITEM* paItem, int numItems, WM_CALLBACK* cb,
                            WM_HWIN hParent, int x0, int y0);

void WM_Activate();
WM_HWIN WM_CreateWindow(int x0, int y0, int xSize, int ySize, uint32_t style, WM_CALLBACK* cb,
                        int numExtraBytes);
int WM_EnableMultiBuf(int onOff);  // returns the previous state
void WM_HideWindow(WM_HWIN hWin);
void WM_ShowWindow(WM_HWIN hWin);
void WM_InvalidateWindow(WM_HWIN hWin);
int WM_IsWindow(WM_HWIN hWin);
void WM_Paint(WM_HWIN hWin);
