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
  WM_CF_ANCHOR_RIGHT = 0x00000080,
  WM_CF_ANCHOR_BOTTOM = 0x00000100,
  WM_CF_ANCHOR_LEFT = 0x00000200,
  WM_CF_ANCHOR_TOP = 0x00000400,
  WM_CF_CONST_OUTLINE = 0x00000800,
  WM_CF_LATE_CLIP = 0x00001000,
  WM_CF_MEMDEV_ON_REDRAW = 0x00002000,
  WM_CF_STATIC = 0x00010000,
};
enum : uint32_t {
  WM_STATUS_TRANSPARENT = 0x00000001,
  WM_STATUS_VISIBLE = 0x00000002,
  WM_STATUS_MEMDEV = 0x00000004,
  WM_STATUS_STAYONTOP = 0x00000008,
  WM_STATUS_DISABLED = 0x00000010,
  WM_STATUS_INVALID = 0x00000020,
  WM_CREATE_SELECT = 0x00000020,   // creation only
  WM_CREATE_BOTTOM = 0x00000040,   // creation only
  WM_STATUS_ANCHOR_RIGHT = 0x00000080,
  WM_STATUS_ANCHOR_BOTTOM = 0x00000100,
  WM_STATUS_ANCHOR_LEFT = 0x00000200,
  WM_STATUS_ANCHOR_TOP = 0x00000400,
  WM_STATUS_CONST_OUTLINE = 0x00000800,
  WM_STATUS_LATE_CLIP = 0x00001000,
  WM_STATUS_MEMDEV_ON_REDRAW = 0x00002000,
  WM_STATUS_INVALID_MEMDEV = 0x00004000,
  WM_STATUS_DELETE_PENDING = 0x00008000,
  WM_STATUS_STATIC_MEMDEV = 0x00010000,
};

// Message ids.
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
  // The operating interface's "previous" and "next" commands to its dialogs and lists (the
  // up and down of the hard keys); ids of their own, apart from the pointer messages.
  WM_MSG_CMD_PREVIOUS = 1024,
  WM_MSG_CMD_NEXT = 1025,
};

// Notification codes (data of WM_MSG_NOTIFY_PARENT).
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

// Data records that messages point to.
struct WM_MOVE_INFO {              // WM_MSG_MOVE
  int32_t dx, dy;
};
struct WM_KEY_INFO {               // WM_MSG_KEY
  int32_t Key;
  int32_t PressedCnt;
};
struct WM_PID_STATE_CHANGED_INFO {  // WM_MSG_PID_CHANGED (position relative to the window)
  int32_t x, y;
  uint8_t State;
  uint8_t StatePrev;
};
struct WM_CHILD_HAS_FOCUS_INFO {   // WM_MSG_CHILD_HAS_FOCUS
  WM_HWIN hOld;
  WM_HWIN hNew;
};
struct WM_SCROLL_STATE {           // WM_MSG_GET/SET_SCROLL_STATE
  int32_t NumItems;
  int32_t v;
  int32_t PageSize;
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

// ---------------------------------------------------------------------------------------
// Windows and the window tree. Positions of children are relative to the parent; hParent 0
// is the desktop of the selected layer (once a window exists), -1 no parent.
WM_HWIN WM_CreateWindowAsChild(int x0, int y0, int xSize, int ySize, WM_HWIN hParent,
                               uint32_t flags, WM_CALLBACK* cb, int numExtraBytes);
void WM_DeleteWindow(WM_HWIN hWin);
void WM_MarkForDeletion(WM_HWIN hWin);

WM_HWIN WM_GetParent(WM_HWIN hWin);
WM_HWIN WM_GetFirstChild(WM_HWIN hWin);
WM_HWIN WM_GetNextSibling(WM_HWIN hWin);
WM_HWIN WM_GetPrevSibling(WM_HWIN hWin);
WM_HWIN WM_GetLastSibling(WM_HWIN hWin);
int WM_IsAncestor(WM_HWIN hWin, WM_HWIN hAncestor);
int WM_IsAncestorOrSelf(WM_HWIN hWin, WM_HWIN hAncestor);
int WM_IsEnabled(WM_HWIN hWin);
int WM_IsVisible(WM_HWIN hWin);
int WM_GetNumWindows();
int WM_GetNumInvalidWindows();
typedef void WM_tfForEach(WM_HWIN hWin, void* pData);
void WM_ForEachDesc(WM_HWIN hWin, WM_tfForEach* pcb, void* pData);

int WM_GetWindowOrgX(WM_HWIN hWin);
int WM_GetWindowOrgY(WM_HWIN hWin);
void WM_GetWindowRectEx(WM_HWIN hWin, GUI_RECT* pRect);
void WM_GetWindowRect(GUI_RECT* pRect);
int WM_GetWindowSizeX(WM_HWIN hWin);
int WM_GetWindowSizeY(WM_HWIN hWin);
void WM_GetClientRect(GUI_RECT* pRect);
void WM_GetInsideRectDirect(WM_HWIN hWin, GUI_RECT* pRect);
int WM_GetInvalidRect(WM_HWIN hWin, GUI_RECT* pRect);

void WM_MoveWindow(WM_HWIN hWin, int dx, int dy);
void WM_MoveTo(WM_HWIN hWin, int x, int y);
void WM_MoveChildTo(WM_HWIN hWin, int x, int y);
void WM_ResizeWindow(WM_HWIN hWin, int dx, int dy);
void WM_SetSize(WM_HWIN hWin, int xSize, int ySize);
int WM_SetXSize(WM_HWIN hWin, int xSize);
int WM_SetYSize(WM_HWIN hWin, int ySize);
void WM_SetWindowPos(WM_HWIN hWin, int x, int y, int xSize, int ySize);
void WM_AttachWindow(WM_HWIN hWin, WM_HWIN hParent);
void WM_DetachWindow(WM_HWIN hWin);
void WM_AttachWindowAt(WM_HWIN hWin, WM_HWIN hParent, int x, int y);

void WM_BringToTop(WM_HWIN hWin);
void WM_BringToBottom(WM_HWIN hWin);
void WM_SetStayOnTop(WM_HWIN hWin, int onOff);

void WM_EnableWindow(WM_HWIN hWin);
void WM_DisableWindow(WM_HWIN hWin);

WM_HWIN WM_GetDesktopWindow();
WM_HWIN WM_GetDesktopWindowEx(int layer);
void WM_SetDesktopColor(GUI_COLOR color);
GUI_COLOR WM_SetDesktopColorEx(GUI_COLOR color, int layer);  // returns the old colour
void WM_SetDesktopColors(GUI_COLOR color);
uint32_t WM_SetCreateFlags(uint32_t flags);                  // returns the old flags

void WM_SetHasTrans(WM_HWIN hWin);
void WM_ClrHasTrans(WM_HWIN hWin);
int WM_GetHasTrans(WM_HWIN hWin);
void WM_SetTransState(WM_HWIN hWin, uint32_t state);

// Handle variables that deleting a window clears when they hold it.
void WM__AddCriticalHandle(WM_HWIN* phWin);
void WM__RemoveCriticalHandle(WM_HWIN* phWin);

// ---------------------------------------------------------------------------------------
// Messages and window procedures.
void WM_SendMessage(WM_HWIN hWin, WM_MESSAGE* pMsg);
void WM__SendMessage(WM_HWIN hWin, WM_MESSAGE* pMsg);
void WM__SendMessageIfEnabled(WM_HWIN hWin, WM_MESSAGE* pMsg);
void WM__SendMessageId(WM_HWIN hWin, int msgId);
void WM_SendMessageNoPara(WM_HWIN hWin, int msgId);
void WM__SendMessageNoPara(WM_HWIN hWin, int msgId);
void WM_DefaultProc(WM_MESSAGE* pMsg);
void WM__SendToParent(WM_HWIN hWin, WM_MESSAGE* pMsg);
void WM_NotifyParent(WM_HWIN hWin, int code);
void WM_BroadcastMessage(WM_MESSAGE* pMsg);
WM_CALLBACK* WM_SetCallback(WM_HWIN hWin, WM_CALLBACK* cb);

int WM_GetId(WM_HWIN hWin);
WM_HWIN WM_GetClientWindow(WM_HWIN hWin);
GUI_COLOR WM_GetBkColor(WM_HWIN hWin);
void WM_GetInsideRectEx(WM_HWIN hWin, GUI_RECT* pRect);
void WM_GetInsideRect(GUI_RECT* pRect);
int WM_GetScrollState(WM_HWIN hWin, WM_SCROLL_STATE* pState);
void WM_SetScrollState(WM_HWIN hWin, const WM_SCROLL_STATE* pState);
void WM_CheckScrollBounds(WM_SCROLL_STATE* pState);
int WM_SetScrollValue(WM_SCROLL_STATE* pState, int v);
int WM_CheckScrollPos(WM_SCROLL_STATE* pState, int pos, int lowerDist, int upperDist);
WM_HWIN WM_GetDialogItem(WM_HWIN hWin, int id);
WM_HWIN WM_GetScrollbarH(WM_HWIN hWin);
WM_HWIN WM_GetScrollbarV(WM_HWIN hWin);
WM_HWIN WM_GetScrollPartner(WM_HWIN hWin);

// ---------------------------------------------------------------------------------------
// Invalidation, clipping and the redraw pass. Rectangles of windows are in window
// coordinates, WM_InvalidateArea's in screen coordinates.
void WM_InvalidateRect(WM_HWIN hWin, const GUI_RECT* pRect);
void WM_InvalidateArea(const GUI_RECT* pRect);
void WM__InvalidateTree(WM_HWIN hWin);
void WM_ValidateWindow(WM_HWIN hWin);
int WM_InitClipRectIteration(const GUI_RECT* pRect);
int WM_GetNextClipRect();
WM_HWIN WM_SelectWindow(WM_HWIN hWin);
WM_HWIN WM_GetSelectedWindow();
const GUI_RECT* WM_SetUserClipRect(const GUI_RECT* pRect);
void WM_Update(WM_HWIN hWin);
int WM_Exec1();
int WM_ExecPass();
void WM_Deactivate();
void WM_Init();
typedef void WM_tfPreExecHook();
WM_tfPreExecHook* WM_SetPreExecHook(WM_tfPreExecHook* pfHook);
typedef void WM_tfInvalidateHook(WM_HWIN hWin);
WM_tfInvalidateHook* WM_SetInvalidateHook(WM_tfInvalidateHook* pfHook);
int WM_MULTIBUF_Enable(int onOff);  // returns the previous state
// Opens (1) or closes (0) a multi-buffered frame on the current layer for drawing done outside
// the redraw pass; does nothing while the window manager's multi-buffering is off.
void WM__MultiBufControl(int onOff);

// ---------------------------------------------------------------------------------------
// Focus, keys and pointer input.
struct GUI_PID_STATE;
int WM_SetFocus(WM_HWIN hWin);
WM_HWIN WM_GetFocus();
int WM_HasFocus(WM_HWIN hWin);
WM_HWIN WM_GetFocusedChild(WM_HWIN hParent);
int WM_IsFocusable(WM_HWIN hWin);
WM_HWIN WM_SetFocusOnNextChild(WM_HWIN hParent);
WM_HWIN WM_SetFocusOnPrevChild(WM_HWIN hParent);
int WM__SendKeyToFocus(int key, int pressedCnt);

void GUI_PID_QueueState(const GUI_PID_STATE* pState);
int GUI_PID_GetNextState(GUI_PID_STATE* pState);
int GUI_PID_IsEmpty();
int GUI_PID_IsPressed();
struct GUI_PID_PRESTORE_HOOK {     // node of the pre-store hook list
  GUI_PID_PRESTORE_HOOK* pNext;
  void (*pfHook)(GUI_PID_STATE* pState);
};
void GUI_PID_AddPreStoreHook(GUI_PID_PRESTORE_HOOK* pHook);
void GUI_PID_SetPostStoreHook(void (*pfHook)(const GUI_PID_STATE* pState));
typedef void WM_tfDispatchHook(const GUI_PID_STATE* pState, WM_HWIN hTarget);
WM_tfDispatchHook* WM_SetPreDispatchHook(WM_tfDispatchHook* pfHook);
WM_tfDispatchHook* WM_SetPostDispatchHook(WM_tfDispatchHook* pfHook);
int WM_HandlePID();
void WM__SendPIDMessage(WM_HWIN hWin, WM_MESSAGE* pMsg);
int WM__IsPIDTargetAllowed(WM_HWIN hWin);

void WM_SetCapture(WM_HWIN hWin, int autoRelease);
void WM_ReleaseCapture();
WM_HWIN WM__GetWindowAt(int x, int y);
WM_HWIN WM__GetWindowAtExcept(WM_HWIN hExcluded, int x, int y);
WM_HWIN WM_SetModalWindow(WM_HWIN hWin);         // returns the previous one
int WM_SetLayerRestriction(int layer);           // -1 = none; returns the previous one
void WM_SetScreenOffset(int x, int y);

// ---------------------------------------------------------------------------------------
// GUI timers and window timers. Times are milliseconds of GUI_GetTime(); due times are
// compared by their signed 32-bit difference, so a wrap of the counter is harmless.
typedef GUI_HMEM GUI_TIMER_HANDLE;
struct GUI_TIMER_MESSAGE {
  int32_t Time;
  intptr_t Context;
  GUI_TIMER_HANDLE hTimer;
};
typedef void GUI_TIMER_CALLBACK(GUI_TIMER_MESSAGE* pMsg);

GUI_TIMER_HANDLE GUI_TIMER_CreateEx(GUI_TIMER_CALLBACK* cb, int32_t time, intptr_t context,
                                    uint16_t flags);
void GUI_TIMER_Delete(GUI_TIMER_HANDLE hTimer);
void GUI_TIMER_SetPeriod(GUI_TIMER_HANDLE hTimer, int32_t period);
int32_t GUI_TIMER_GetPeriod(GUI_TIMER_HANDLE hTimer);
void GUI_TIMER_SetTime(GUI_TIMER_HANDLE hTimer, int32_t time);
void GUI_TIMER_Restart(GUI_TIMER_HANDLE hTimer);
int GUI_TIMER_GetFlag(GUI_TIMER_HANDLE hTimer, uint16_t mask);
int GUI_TIMER_IsAnyPending();
int32_t GUI_TIMER_GetDelay();
GUI_TIMER_HANDLE GUI_TIMER_GetFirst(intptr_t* pContext);
GUI_TIMER_HANDLE GUI_TIMER_GetNext(GUI_TIMER_HANDLE hTimer, intptr_t* pContext);
GUI_TIMER_HANDLE GUI_TIMER_GetFirstDue(GUI_TIMER_HANDLE hTimer, intptr_t* pContext);
int GUI_TIMER_Exec();

typedef GUI_HMEM WM_HTIMER;
WM_HTIMER WM_CreateTimer(WM_HWIN hWin, int userId, int32_t period);
void WM_DeleteTimer(WM_HTIMER hTimer);
void WM_RestartTimer(WM_HTIMER hTimer, int32_t period);
void WM_DeleteWindowTimers(WM_HWIN hWin);
