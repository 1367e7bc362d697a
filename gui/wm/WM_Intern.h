// Internals of the window manager shared between its modules: the window header, the
// globals and the helpers that expect the caller to hold the GUI lock.
#pragma once

#include <cstdint>

#include "gui/GUI_Private.h"
#include "gui/WM.h"

// Header of every window block; the owner's extra bytes follow it.
struct WM_Obj {
  GUI_RECT Rect;                   // outline, screen coordinates
  GUI_RECT InvalidRect;            // area still to paint, while an invalid bit is set
  WM_CALLBACK* cb;                 // null = the default procedure
  WM_HWIN hNextLin;                // next window of the list of all windows
  WM_HWIN hParent;
  WM_HWIN hFirstChild;             // lowest child
  WM_HWIN hNext;                   // next sibling, lying above this one
  GUI_MEMDEV_Handle hMem;          // content of a window with a static memory device
  uint32_t Status;
  uint32_t Reserved;
};

constexpr uint32_t WM__INVALID_BITS = WM_STATUS_INVALID | WM_STATUS_INVALID_MEMDEV;

// The globals of the window manager (one set).
struct WM_GLOBALS {
  WM_HWIN hFirstWin;               // head of the list of all windows
  WM_HWIN hATransWindow;           // window painted as a transparent overlay
  WM_HWIN ahDesktop[GUI_NUM_LAYERS];
  GUI_COLOR aBkColor[GUI_NUM_LAYERS];
  WM_HWIN ahFocus[GUI_NUM_LAYERS];
  WM_HWIN ahCapture[GUI_NUM_LAYERS];
  uint8_t CaptureAutoRelease;
  uint16_t NumWindows;
  uint16_t NumInvalidWindows;
  int32_t TransWindowCnt;
  uint32_t InvalidLayerMask;
  uint32_t CreateFlags;
  int32_t TouchedLayer;            // layer of the last pointer state
  uint8_t PaintCnt;                // above 0 while a window paints
  uint8_t DeletePending;
  uint8_t MultiBuf;
  WM_HWIN hRedrawPos;              // next window of the redraw walk (0 = head)
  WM_tfPreExecHook* pfPreExec;
  WM_tfInvalidateHook* pfInvalidate;
  int (*pfHandlePID)();            // installed by the first queued pointer state
  int32_t LastXSize[GUI_NUM_LAYERS], LastYSize[GUI_NUM_LAYERS];
};
extern WM_GLOBALS WM__G;

// Static memory devices of windows. The memory-device module installs the deleter when it
// first gives a window a device, so that the window manager needs that module only when
// static devices are used. Dropping frees the window's device and clears the handle.
extern void (*WM__pfDeleteStaticDevice)(GUI_MEMDEV_Handle hMem);
void WM__DropStaticDevice(WM_HWIN hWin);
// The window whose static device is being painted (0 = none): invalidation keeps its device.
extern WM_HWIN WM__hFillingStatic;
// Drops the devices of a visible window and its visible descendants, all but the one being
// painted.
void WM__DropStaticDevices(WM_HWIN hWin);
// Paints one window through its procedure, clipped to its visible parts (lock held).
void WM__PaintWindow(WM_HWIN hWin);

// Live window handles: set at creation, cleared at deletion, so that a handle whose window
// was deleted (by a procedure, during a walk) is never dereferenced.
bool WM__IsLive(WM_HWIN h);
void WM__SetLive(WM_HWIN h, bool live);
void WM__ClearLive();

// Window header of a handle; null for 0 or a handle that names no window. The pointer is
// valid until the next call that may allocate or send a message.
inline WM_Obj* WM_H2P(WM_HWIN h) { return WM__IsLive(h) ? static_cast<WM_Obj*>(GUI_ALLOC_h2p(h)) : nullptr; }
inline WM_HWIN WM__NextOf(WM_HWIN h) {
  WM_Obj* p = WM_H2P(h);
  return p ? p->hNext : 0;
}
inline WM_HWIN WM__ParentOf(WM_HWIN h) {
  WM_Obj* p = WM_H2P(h);
  return p ? p->hParent : 0;
}
inline WM_HWIN WM__FirstChildOf(WM_HWIN h) {
  WM_Obj* p = WM_H2P(h);
  return p ? p->hFirstChild : 0;
}

// Rectangle helpers.
bool WM__Intersect(GUI_RECT* pDest, const GUI_RECT& a, const GUI_RECT& b);  // true when not empty
bool WM__RectsMeet(const GUI_RECT& a, const GUI_RECT& b);
void WM__MergeRect(GUI_RECT* pDest, const GUI_RECT& a, const GUI_RECT& b);
inline bool WM__IsEmpty(const GUI_RECT& r) { return r.x1 < r.x0 || r.y1 < r.y0; }

// Tree helpers (lock held).
int WM__IsWindow(WM_HWIN hWin);
int WM__GetLayer(WM_HWIN hWin);    // layer whose desktop is the window's root, else -1
int WM__IsTransNoConst(const WM_Obj* p);
void WM__LinkChild(WM_HWIN hChild, WM_HWIN hParent);
void WM__UnlinkChild(WM_HWIN hChild);
void WM__MoveWindowRaw(WM_HWIN hWin, int dx, int dy);  // this window and its descendants
void WM__DeleteWindowNow(WM_HWIN hWin);
void WM__DeletePending();
int WM__ClipByAncestors(WM_HWIN hWin, GUI_RECT* pRect);  // 0 when nothing is left
void WM__ClearHandleVariables(WM_HWIN hWin);

// Invalidation (lock held, screen coordinates).
void WM__AddInvalid(WM_HWIN hWin, const GUI_RECT& r);
void WM__InvalidateScreenRect(WM_HWIN hWin, const GUI_RECT& r);
void WM__InvalidateBelow(WM_HWIN hParent, const GUI_RECT& r, WM_HWIN hStop);
void WM__InvalidateTreeRect(WM_HWIN hWin, const GUI_RECT& r);
void WM__Validate(WM_HWIN hWin);
void WM__SelectWindowRaw(WM_HWIN hWin);

// Input step parts.
void WM__InputReset();
void WM__TimerReset();
int WM__PollKey();
