// What the widgets use of the window manager: window records, messages, focus, capture and
// timers. Until the window manager's own headers are in the tree, the declarations the
// widgets build against are kept here; they follow the window manager's interface.
#pragma once

#include <cstdint>

#include "gui/GUI.h"
#include "gui/WM.h"
#include "gui/core/GUI_Input.h"

// ---- Window header ---------------------------------------------------------------------------
struct WM_Obj {
  GUI_RECT Rect;
  GUI_RECT InvalidRect;
  WM_CALLBACK* cb;
  WM_HWIN hNextLin;
  WM_HWIN hParent;
  WM_HWIN hFirstChild;
  WM_HWIN hNext;
  GUI_MEMDEV_Handle hMem;
  uint32_t Status;
  uint32_t Spare;
};

// ---- Status bits -----------------------------------------------------------------------------
constexpr uint32_t WM_STATUS_TRANSPARENT = 0x00000001;
constexpr uint32_t WM_STATUS_VISIBLE = 0x00000002;
constexpr uint32_t WM_STATUS_MEMDEV = 0x00000004;
constexpr uint32_t WM_STATUS_STAYONTOP = 0x00000008;
constexpr uint32_t WM_STATUS_DISABLED = 0x00000010;
constexpr uint32_t WM_STATUS_INVALID = 0x00000020;
constexpr uint32_t WM_CREATE_BOTTOM = 0x00000040;
constexpr uint32_t WM_STATUS_ANCHOR_RIGHT = 0x00000080;
constexpr uint32_t WM_STATUS_ANCHOR_BOTTOM = 0x00000100;
constexpr uint32_t WM_STATUS_ANCHOR_LEFT = 0x00000200;
constexpr uint32_t WM_STATUS_ANCHOR_TOP = 0x00000400;
constexpr uint32_t WM_STATUS_CONST_OUTLINE = 0x00000800;
constexpr uint32_t WM_STATUS_LATE_CLIP = 0x00001000;
constexpr uint32_t WM_CF_ANCHOR_RIGHT = 0x00000080;
constexpr uint32_t WM_CF_ANCHOR_BOTTOM = 0x00000100;
constexpr uint32_t WM_CF_ANCHOR_LEFT = 0x00000200;
constexpr uint32_t WM_CF_ANCHOR_TOP = 0x00000400;
constexpr uint32_t WM_CF_LATE_CLIP = 0x00001000;

// ---- Messages and notifications ----------------------------------------------------------------
enum : int32_t {
  WM_MSG_CREATE = 1,
  WM_MSG_MOVE = 3,
  WM_MSG_SIZE_CHANGED = 5,
  WM_MSG_DELETE = 11,
  WM_MSG_TOUCH = 13,
  WM_MSG_KEY = 14,
  WM_MSG_PAINT = 15,
  WM_MSG_PID_MOVE = 16,
  WM_MSG_PID_CHANGED = 17,
  WM_MSG_PID_LEAVE = 18,
  WM_MSG_GET_INSIDE_RECT = 20,
  WM_MSG_GET_ID = 21,
  WM_MSG_SET_ID = 22,
  WM_MSG_GET_CLIENT_WINDOW = 23,
  WM_MSG_CAPTURE_RELEASED = 24,
  WM_MSG_INIT_DIALOG = 29,
  WM_MSG_SET_FOCUS = 30,
  WM_MSG_GET_ACCEPT_FOCUS = 31,
  WM_MSG_CHILD_HAS_FOCUS = 32,
  WM_MSG_GET_BKCOLOR = 34,
  WM_MSG_GET_SCROLL_STATE = 35,
  WM_MSG_SET_SCROLL_STATE = 36,
  WM_MSG_NOTIFY_PARENT = 38,
  WM_MSG_NOTIFY_CHILD_REFLECTION = 39,
  WM_MSG_ENABLE_CHANGED = 40,
  WM_MSG_VIS_CHANGED = 41,
  WM_MSG_HANDLE_DIALOG_STATUS = 42,
  WM_MSG_SCREENSIZE_CHANGED = 45,
  WM_MSG_PRE_PAINT = 46,
  WM_MSG_POST_PAINT = 47,
  WM_MSG_GET_WIDGET_TYPE = 49,
  WM_MSG_USER_DATA = 52,
  WM_MSG_CALLBACK_SET = 53,
  WM_MSG_TIMER = 275,
  WM_MSG_PID_TOUCH = 576,
  WM_MSG_SET_WIDGET_EFFECT = 768,
};
enum : int32_t {
  WM_NOTE_CLICKED = 1,
  WM_NOTE_RELEASED = 2,
  WM_NOTE_MOVED_OUT = 3,
  WM_NOTE_SEL_CHANGED = 4,
  WM_NOTE_VALUE_CHANGED = 5,
  WM_NOTE_SCROLLBAR_ADDED = 6,
  WM_NOTE_CHILD_DELETED = 7,
  WM_NOTE_GOT_FOCUS = 8,
  WM_NOTE_LOST_FOCUS = 9,
};

// Data records of messages.
struct WM_KEY_INFO {
  int32_t Key;
  int32_t PressedCnt;
};
struct WM_PID_STATE_CHANGED_INFO {
  int32_t x, y;
  uint8_t State;
  uint8_t StatePrev;
};
struct WM_CHILD_HAS_FOCUS_INFO {
  WM_HWIN hOld;
  WM_HWIN hNew;
};
struct WM_MOVE_INFO {
  int32_t dx, dy;
};
struct WM_SCROLL_STATE {
  int32_t NumItems;
  int32_t v;
  int32_t PageSize;
};

// ---- Windows ---------------------------------------------------------------------------------
WM_HWIN WM_CreateWindowAsChild(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t flags,
                               WM_CALLBACK* cb, int numExtraBytes);
void WM_DeleteWindow(WM_HWIN hWin);
void WM_MarkForDeletion(WM_HWIN hWin);
WM_HWIN WM_GetParent(WM_HWIN hWin);
WM_HWIN WM_GetFirstChild(WM_HWIN hWin);
WM_HWIN WM_GetNextSibling(WM_HWIN hWin);
int WM_IsAncestor(WM_HWIN hWin, WM_HWIN hAncestor);
int WM_IsEnabled(WM_HWIN hWin);
int WM_IsVisible(WM_HWIN hWin);
int WM_GetNumWindows();
WM_HWIN WM_GetDesktopWindow();
int WM_GetWindowOrgX(WM_HWIN hWin);
int WM_GetWindowOrgY(WM_HWIN hWin);
void WM_GetWindowRectEx(WM_HWIN hWin, GUI_RECT* pRect);
int WM_GetWindowSizeX(WM_HWIN hWin);
int WM_GetWindowSizeY(WM_HWIN hWin);
void WM_GetClientRect(GUI_RECT* pRect);
int WM_GetInvalidRect(WM_HWIN hWin, GUI_RECT* pRect);
void WM_MoveWindow(WM_HWIN hWin, int dx, int dy);
void WM_MoveChildTo(WM_HWIN hWin, int x, int y);
void WM_ResizeWindow(WM_HWIN hWin, int dx, int dy);
void WM_SetSize(WM_HWIN hWin, int xSize, int ySize);
void WM_SetWindowPos(WM_HWIN hWin, int x, int y, int xSize, int ySize);
void WM_BringToTop(WM_HWIN hWin);
void WM_SetHasTrans(WM_HWIN hWin);
void WM_ClrHasTrans(WM_HWIN hWin);

// ---- Messages --------------------------------------------------------------------------------
void WM_SendMessage(WM_HWIN hWin, WM_MESSAGE* pMsg);
void WM__SendMessage(WM_HWIN hWin, WM_MESSAGE* pMsg);
void WM_SendMessageNoPara(WM_HWIN hWin, int msgId);
void WM_DefaultProc(WM_MESSAGE* pMsg);
void WM_NotifyParent(WM_HWIN hWin, int code);
int WM_GetId(WM_HWIN hWin);
WM_HWIN WM_GetClientWindow(WM_HWIN hWin);
GUI_COLOR WM_GetBkColor(WM_HWIN hWin);
void WM_GetInsideRectEx(WM_HWIN hWin, GUI_RECT* pRect);
WM_HWIN WM_GetDialogItem(WM_HWIN hWin, int id);
WM_HWIN WM_GetScrollPartner(WM_HWIN hWin);

// ---- Painting --------------------------------------------------------------------------------
void WM_InvalidateRect(WM_HWIN hWin, const GUI_RECT* pRect);
WM_HWIN WM_SelectWindow(WM_HWIN hWin);
WM_HWIN WM_GetSelectedWindow();
const GUI_RECT* WM_SetUserClipRect(const GUI_RECT* pRect);
int WM_ExecPass();

// ---- Focus, capture and pointer --------------------------------------------------------------
int WM_SetFocus(WM_HWIN hWin);
WM_HWIN WM_GetFocus();
int WM_HasFocus(WM_HWIN hWin);
WM_HWIN WM_SetFocusOnNextChild(WM_HWIN hParent);
WM_HWIN WM_SetFocusOnPrevChild(WM_HWIN hParent);
void WM_SetCapture(WM_HWIN hWin, int autoRelease);
void WM_ReleaseCapture();

void GUI_PID_QueueState(const GUI_PID_STATE* pState);

// ---- Timers ----------------------------------------------------------------------------------
typedef GUI_HMEM GUI_TIMER_HANDLE;
typedef GUI_HMEM WM_HTIMER;
struct GUI_TIMER_MESSAGE {
  int32_t Time;
  intptr_t Context;
  GUI_TIMER_HANDLE hTimer;
};
typedef void GUI_TIMER_CALLBACK(GUI_TIMER_MESSAGE* pTM);
GUI_TIMER_HANDLE GUI_TIMER_CreateEx(GUI_TIMER_CALLBACK* cb, int32_t time, intptr_t context, uint16_t flags);
void GUI_TIMER_Delete(GUI_TIMER_HANDLE hTimer);
void GUI_TIMER_SetPeriod(GUI_TIMER_HANDLE hTimer, int32_t period);
void GUI_TIMER_Restart(GUI_TIMER_HANDLE hTimer);
WM_HTIMER WM_CreateTimer(WM_HWIN hWin, int userId, int period);
void WM_DeleteTimer(WM_HTIMER hTimer);
void WM_RestartTimer(WM_HTIMER hTimer, int period);

// ---- Memory devices and GIF pictures -----------------------------------------------------------
struct GUI_GIF_IMAGE_INFO {
  int32_t xPos, yPos, xSize, ySize, Delay;
};
int GUI_GIF_GetImageInfo(const void* pGIF, uint32_t numBytes, GUI_GIF_IMAGE_INFO* pInfo, int index);
int GUI_GIF_DrawSub(const void* pGIF, uint32_t numBytes, int x0, int y0, int index);
int GUI_GIF_GetXSize(const void* pGIF);
int GUI_GIF_GetYSize(const void* pGIF);
void GUI_MEMDEV_Delete(GUI_MEMDEV_Handle hMem);
void GUI_MEMDEV_CopyFromLCD(GUI_MEMDEV_Handle hMem);
void GUI_MEMDEV_SetOrg(GUI_MEMDEV_Handle hMem, int x0, int y0);
constexpr int GUI_MEMDEV_HASTRANS = 0;
GUI_MEMDEV_Handle GUI_MEMDEV_CreateEx(int x0, int y0, int xSize, int ySize, int flags);
