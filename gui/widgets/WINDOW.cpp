// WINDOW widget: a plain widget window with a user procedure and a background colour. It
// cycles the focus among its children with the tab keys, remembers which child had the
// focus and keeps a dialog status like a frame window.
#include "gui/GUI_Private.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/widgets/Widget_Intern.h"

namespace {

struct WINDOW_Obj {
  static constexpr uint32_t kTag = WIDGET_TAG('W', 'I', 'N', 'D');
  static constexpr const char* kLockError = "WINDOW:\nWrong handle type or Object not init'ed in WINDOW_LockH()";
  WIDGET Widget;
  WM_CALLBACK* cb;
  WM_HWIN hFocussedChild;
  WM_DIALOG_STATUS* pDialogStatus;
  GUI_COLOR BkColor;
};

GUI_COLOR DefaultBkColor = 0xFFFFFF;

bool IsInside(WM_HWIN h, WM_HWIN hWin) { return h && h != hWin && WM_IsAncestor(h, hWin); }

void Callback(WM_MESSAGE* pMsg) {
  WM_HWIN hObj = pMsg->hWin;
  WINDOW_Obj* p = WIDGET__LockMsg<WINDOW_Obj>(pMsg);
  if (!p) return;
  WM_CALLBACK* cb = p->cb;
  switch (pMsg->MsgId) {
    case WM_MSG_KEY: {
      const WM_KEY_INFO* pKey = WIDGET__KeyInfo(pMsg);
      if (pKey && pKey->PressedCnt > 0 && (pKey->Key == 9 || pKey->Key == 10)) {
        if (pKey->Key == 9)
          WM_SetFocusOnNextChild(hObj);
        else
          WM_SetFocusOnPrevChild(hObj);
        return;
      }
      break;
    }
    case WM_MSG_PAINT:
      if (p->BkColor != GUI_INVALID_COLOR) {
        GUI_SetBkColor(p->BkColor);
        GUI_Clear();
      }
      break;
    case WM_MSG_SET_FOCUS:
      if (pMsg->Data.v == 1) {
        // A child that takes the focus keeps it (a widget marks itself focused); the window
        // itself holds it only when no child can take it.
        WM_HWIN hChild = p->hFocussedChild;
        bool toChild = false;
        if (hChild && WM_IsWindow(hChild)) toChild = WM_SetFocus(hChild) == 0;
        if (!toChild) {
          WM_HWIN hNew = WM_SetFocusOnNextChild(hObj);
          toChild = hNew && WM_HasFocus(hNew);
        }
        pMsg->Data.v = toChild ? 1 : 0;
      }
      return;
    case WM_MSG_GET_ACCEPT_FOCUS:
      WIDGET_HandleActive(hObj, pMsg);
      return;
    case WM_MSG_CHILD_HAS_FOCUS: {
      const auto* pInfo = static_cast<const WM_CHILD_HAS_FOCUS_INFO*>(pMsg->Data.p);
      if (pInfo) {
        if (IsInside(pInfo->hNew, hObj))
          p->hFocussedChild = pInfo->hNew;
        else if (IsInside(pInfo->hOld, hObj))
          p->hFocussedChild = pInfo->hOld;
      }
      return;
    }
    case WM_MSG_GET_BKCOLOR:
      pMsg->Data.v = intptr_t(p->BkColor);
      return;
    case WM_MSG_HANDLE_DIALOG_STATUS:
      WIDGET__HandleDialogStatus(&p->pDialogStatus, pMsg);
      return;
    default:
      break;
  }
  if (cb)
    cb(pMsg);
  else
    WM_DefaultProc(pMsg);
}

}  // namespace

WM_HWIN WINDOW_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int /*exFlags*/,
                          int id, WM_CALLBACK* cb, int numExtraBytes) {
  GUI_LockGuard lock;
  if (numExtraBytes < 0) numExtraBytes = 0;
  WM_HWIN h = WM_CreateWindowAsChild(x0, y0, xSize, ySize, hParent, winFlags, Callback,
                                     int(sizeof(WINDOW_Obj) - sizeof(WM_Obj)) + numExtraBytes);
  if (!h) return 0;
  auto* p = static_cast<WINDOW_Obj*>(GUI_ALLOC_h2p(h));
  WIDGET__Init(&p->Widget, id, WIDGET_STATE_FOCUSABLE);
  p->Widget.DebugId = WINDOW_Obj::kTag;
  p->cb = cb;
  p->hFocussedChild = 0;
  p->pDialogStatus = nullptr;
  p->BkColor = DefaultBkColor;
  WM_InvalidateWindow(h);
  return h;
}
WM_HWIN WINDOW_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id,
                        WM_CALLBACK* cb) {
  return WINDOW_CreateUser(x0, y0, xSize, ySize, hParent, winFlags, exFlags, id, cb, 0);
}
WM_HWIN WINDOW_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK* cb) {
  return WINDOW_CreateUser(pItem->x0 + x0, pItem->y0 + y0, pItem->xSize, pItem->ySize, hParent, pItem->Flags, 0,
                           pItem->Id, cb, int(pItem->NumExtraBytes));
}
void WINDOW_SetBkColor(WM_HWIN hObj, GUI_COLOR color) {
  GUI_LockGuard lock;
  WINDOW_Obj* p = WIDGET__Lock<WINDOW_Obj>(hObj);
  if (!p) return;
  p->BkColor = color;
  WM_InvalidateWindow(hObj);
}
GUI_COLOR WINDOW_SetDefaultBkColor(GUI_COLOR color) {
  GUI_LockGuard lock;
  GUI_COLOR old = DefaultBkColor;
  DefaultBkColor = color;
  return old;
}
GUI_COLOR WINDOW_GetDefaultBkColor() { return DefaultBkColor; }
int WINDOW_GetUserData(WM_HWIN hObj, void* pDest, int size) {
  return WIDGET__GetUserDataOf<WINDOW_Obj>(hObj, pDest, size);
}
int WINDOW_SetUserData(WM_HWIN hObj, const void* pSrc, int size) {
  return WIDGET__SetUserDataOf<WINDOW_Obj>(hObj, pSrc, size);
}
