// Internals shared by the widget modules: record access with the type check, the widget
// records' common helpers and the colours of the flat skin.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gui/GUI_Private.h"
#include "gui/widgets/WIDGET.h"

// Type tags: four letters read as a big-endian number.
constexpr uint32_t WIDGET_TAG(char a, char b, char c, char d) {
  return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) | uint8_t(d);
}

// Colours of the flat skin.
constexpr GUI_COLOR WIDGET_COLOR_FRAME = 0x000000;
constexpr GUI_COLOR WIDGET_COLOR_FOCUS = 0x000000;

// The window header of a window (valid until the next call that may allocate).
WM_Obj* WM__GetObj(WM_HWIN hWin);
// The widget record of a window, or null for a block too small to be a widget.
WIDGET* WIDGET__GetObj(WM_HWIN hObj);
// The record of a widget of the type `tag` (at least `size` bytes), or null after reporting
// `pError` for a handle of another type. Valid until the next call that may allocate or send
// a message.
void* WIDGET__LockH(WM_HWIN hObj, uint32_t tag, size_t size, const char* pError);

template <class T>
T* WIDGET__Lock(WM_HWIN hObj) {
  return static_cast<T*>(WIDGET__LockH(hObj, T::kTag, sizeof(T), T::kLockError));
}

// Whether the widget's window is shown (notifications are sent only then).
inline bool WIDGET__IsVisible(WM_HWIN hObj) { return (WM__GetObj(hObj)->Status & WM_STATUS_VISIBLE) != 0; }

// Sends a key message {key, pressed count} record of WM_MSG_KEY.
inline const WM_KEY_INFO* WIDGET__KeyInfo(const WM_MESSAGE* pMsg) {
  return static_cast<const WM_KEY_INFO*>(pMsg->Data.p);
}
inline const GUI_PID_STATE* WIDGET__PIDState(const WM_MESSAGE* pMsg) {
  return static_cast<const GUI_PID_STATE*>(pMsg->Data.p);
}

// The record of the widget a window procedure was called for. Messages that arrive while the
// window is being created (before the record is set up) go to the default procedure.
template <class T>
T* WIDGET__LockMsg(WM_MESSAGE* pMsg) {
  WIDGET* pWidget = WIDGET__GetObj(pMsg->hWin);
  if (pWidget && pWidget->DebugId == 0) {
    WM_DefaultProc(pMsg);
    return nullptr;
  }
  return WIDGET__Lock<T>(pMsg->hWin);
}

// Whether the window holds the pointer capture of the current input layer.
int WIDGET__HasCapture(WM_HWIN hObj);

// User data of a widget of type T: the bytes after its record.
template <class T>
int WIDGET__GetUserDataOf(WM_HWIN hObj, void* pDest, int size) {
  GUI_LockGuard lock;
  if (!WIDGET__Lock<T>(hObj)) return 0;
  return WIDGET__GetUserData(hObj, pDest, size, int(sizeof(T)));
}
template <class T>
int WIDGET__SetUserDataOf(WM_HWIN hObj, const void* pSrc, int size) {
  GUI_LockGuard lock;
  if (!WIDGET__Lock<T>(hObj)) return 0;
  return WIDGET__SetUserData(hObj, pSrc, size, int(sizeof(T)));
}

// Tells the parent what the pointer did: clicked, released, or moved out (no state).
inline void WIDGET__NotifyTouch(WM_HWIN hObj, const GUI_PID_STATE* pState) {
  WM_NotifyParent(hObj, !pState ? WM_NOTE_MOVED_OUT : pState->Pressed ? WM_NOTE_CLICKED : WM_NOTE_RELEASED);
}

// The dialog-status message: a pointer in the message is stored, a null one is answered
// with the stored pointer.
inline void WIDGET__HandleDialogStatus(WM_DIALOG_STATUS** ppStatus, WM_MESSAGE* pMsg) {
  if (pMsg->Data.p)
    *ppStatus = static_cast<WM_DIALOG_STATUS*>(const_cast<void*>(pMsg->Data.p));
  else
    pMsg->Data.p = *ppStatus;
}
