// FRAMEWIN widget: the frame of every dialog, with an optional title bar and a client window
// in which the dialog's widgets live. The owner callback given at creation receives the
// client window's messages; the frame tracks which child had the focus, activates itself
// when a child takes the focus and holds the status of a modal dialog.
#include "gui/GUI_Private.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/widgets/Widget_Intern.h"

namespace {

struct FRAMEWIN_PROPS {
  const GUI_FONT* pFont;
  GUI_COLOR aBarColor[2];  // title bar and border: inactive, active
  GUI_COLOR FrameColor;    // outline
  GUI_COLOR TextColor;     // title text
  GUI_COLOR ClientColor;   // client background
  void (*pfPaint)(WM_HWIN hObj);
  void (*pfCreate)(WM_HWIN hObj);
  int16_t TitleHeight;  // 0 = font height + 2
  int16_t BorderSize;
  int16_t IBorderSize;  // gap between title and client
  int16_t Reserved;
};

struct FRAMEWIN_Obj {
  static constexpr uint32_t kTag = WIDGET_TAG('F', 'R', 'A', 'M');
  static constexpr const char* kLockError = "FRAMEWIN:\nWrong handle type or Object not init'ed in FRAMEWIN_LockH()";
  WIDGET Widget;
  FRAMEWIN_PROPS Props;
  const void* pSkin;
  WM_CALLBACK* cb;
  WM_HWIN hClient;
  WM_HWIN hMenu;
  GUI_HMEM hText;
  int16_t Flags;
  WM_HWIN hFocussedChild;
  WM_DIALOG_STATUS* pDialogStatus;
  FRAMEWIN_HOOK* pFirstHook;
};

constexpr uint32_t kClientTag = WIDGET_TAG('F', 'R', 'A', 'C');

void PaintFlat(WM_HWIN hObj);
void CreateFlat(WM_HWIN) {}

FRAMEWIN_PROPS DefaultProps = {&GUI_FontProp13, {0x404040, 0xFF0000}, 0x000000, 0xFFFFFF, 0xFFFFFF,
                               PaintFlat,       CreateFlat,           0,        3,        1,        0};

struct Layout {
  GUI_RECT Title;   // window coordinates; empty without title bar
  GUI_RECT Client;  // window coordinates
};

Layout CalcLayout(const FRAMEWIN_Obj* p) {
  const GUI_RECT& r = p->Widget.Win.Rect;
  int w = r.x1 - r.x0 + 1, h = r.y1 - r.y0 + 1;
  int b = p->Props.BorderSize;
  int th = 0;
  if (p->Widget.State & FRAMEWIN_SF_TITLEVIS)
    th = p->Props.TitleHeight ? p->Props.TitleHeight : GUI_GetYSizeOfFont(p->Props.pFont) + 2;
  Layout l;
  l.Title = {int16_t(b), int16_t(b), int16_t(w - 1 - b), int16_t(b + th - 1)};
  int yClient = b + (th ? th + p->Props.IBorderSize : 0);
  l.Client = {int16_t(b), int16_t(yClient), int16_t(w - 1 - b), int16_t(h - 1 - b)};
  return l;
}

// The flat skin: border and title bar in the bar colour of the active state, a one-pixel
// outline, the title text left-aligned in the bar.
void PaintFlat(WM_HWIN hObj) {
  FRAMEWIN_Obj* p = WIDGET__Lock<FRAMEWIN_Obj>(hObj);
  if (!p) return;
  Layout l = CalcLayout(p);
  GUI_RECT r;
  WM_GetClientRect(&r);
  int active = (p->Widget.State & FRAMEWIN_SF_ACTIVE) ? 1 : 0;
  GUI_SetColor(p->Props.aBarColor[active]);
  GUI_FillRectEx(&r);
  GUI_SetColor(p->Props.FrameColor);
  GUI_DrawRectEx(&r);
  if ((p->Widget.State & FRAMEWIN_SF_TITLEVIS) && p->hText) {
    GUI_RECT rt = l.Title;
    rt.x0 = int16_t(rt.x0 + 2);
    rt.x1 = int16_t(rt.x1 - 2);
    GUI_SetColor(p->Props.TextColor);
    GUI_SetFont(p->Props.pFont);
    GUI_SetTextMode(GUI_TEXTMODE_TRANS);
    GUI_DispStringInRect(static_cast<const char*>(GUI_ALLOC_h2p(p->hText)), &rt, GUI_TA_LEFT | GUI_TA_VCENTER);
  }
}

void UpdateLayout(WM_HWIN hObj) {
  FRAMEWIN_Obj* p = WIDGET__Lock<FRAMEWIN_Obj>(hObj);
  if (!p) return;
  Layout l = CalcLayout(p);
  WM_HWIN hClient = p->hClient;
  if (hClient) {
    WM_SetSize(hClient, l.Client.x1 - l.Client.x0 + 1, l.Client.y1 - l.Client.y0 + 1);
    WM_MoveChildTo(hClient, l.Client.x0, l.Client.y0);
  }
  WM_InvalidateWindow(hObj);
}

bool IsInside(WM_HWIN h, WM_HWIN hFrame) { return h && (h == hFrame || WM_IsAncestor(h, hFrame)); }

void SetActive(WM_HWIN hObj, bool on) {
  if (on)
    WIDGET_OrState(hObj, FRAMEWIN_SF_ACTIVE);
  else
    WIDGET_AndState(hObj, FRAMEWIN_SF_ACTIVE);
}

// Gives the focus to the remembered child, else to the first focusable child of the client.
// Returns whether a child took it.
bool FocusChild(WM_HWIN hObj) {
  FRAMEWIN_Obj* p = WIDGET__Lock<FRAMEWIN_Obj>(hObj);
  if (!p) return false;
  WM_HWIN hChild = p->hFocussedChild, hClient = p->hClient;
  if (hChild && hChild != hClient && hChild != hObj && WM_IsWindow(hChild)) {
    if (WM_SetFocus(hChild) == 0) return true;
  }
  WM_HWIN hNew = WM_SetFocusOnNextChild(hClient);
  if (hNew && WM_HasFocus(hNew)) {
    if ((p = WIDGET__Lock<FRAMEWIN_Obj>(hObj))) p->hFocussedChild = hNew;
    return true;
  }
  return false;
}

void ClientCallback(WM_MESSAGE* pMsg);

void FrameCallback(WM_MESSAGE* pMsg) {
  WM_HWIN hObj = pMsg->hWin;
  FRAMEWIN_Obj* p = WIDGET__LockMsg<FRAMEWIN_Obj>(pMsg);
  if (!p) return;
  for (FRAMEWIN_HOOK* pHook = p->pFirstHook; pHook; pHook = pHook->pNext)
    if (pHook->pHook(pMsg)) return;
  p = WIDGET__Lock<FRAMEWIN_Obj>(hObj);
  if (!p) return;
  switch (pMsg->MsgId) {
    case WM_MSG_GET_CLIENT_WINDOW:
      pMsg->Data.v = p->hClient;
      return;
    case WM_MSG_DELETE: {
      GUI_HMEM hText = p->hText;
      p->hText = 0;
      GUI_ALLOC_Free(hText);
      break;
    }
    case WM_MSG_TOUCH: {
      const auto* pInner = static_cast<const WM_MESSAGE*>(pMsg->Data.p);
      const auto* pState = pInner ? static_cast<const GUI_PID_STATE*>(pInner->Data.p) : nullptr;
      if (!(p->Widget.State & FRAMEWIN_SF_ACTIVE) && pState && pState->Pressed) WM_SetFocus(hObj);
      break;  // on to the common handling, which brings the frame to the top
    }
    case WM_MSG_PAINT:
      p->Props.pfPaint(hObj);
      return;
    case WM_MSG_PID_CHANGED: {
      const auto* pInfo = static_cast<const WM_PID_STATE_CHANGED_INFO*>(pMsg->Data.p);
      if (pInfo && pInfo->State && !pInfo->StatePrev) p->Widget.State |= WIDGET_STATE_PRESSED;
      break;
    }
    case WM_MSG_GET_INSIDE_RECT: {
      Layout l = CalcLayout(p);
      *static_cast<GUI_RECT*>(const_cast<void*>(pMsg->Data.p)) = l.Client;
      return;
    }
    case WM_MSG_SET_FOCUS:
      if (pMsg->Data.v == 1) {
        bool toChild = FocusChild(hObj);
        SetActive(hObj, true);
        // A child that took the focus keeps it; the frame itself holds it only when no child
        // can take it.
        pMsg->Data.v = toChild ? 1 : 0;
        if (!toChild) WIDGET_OrState(hObj, WIDGET_STATE_FOCUS);
      } else {
        WIDGET_AndState(hObj, WIDGET_STATE_FOCUS);
        SetActive(hObj, false);
        pMsg->Data.v = 0;
      }
      return;
    case WM_MSG_CHILD_HAS_FOCUS: {
      const auto* pInfo = static_cast<const WM_CHILD_HAS_FOCUS_INFO*>(pMsg->Data.p);
      bool active = pInfo && IsInside(pInfo->hNew, hObj);
      if (active) p->hFocussedChild = pInfo->hNew;
      SetActive(hObj, active);
      return;
    }
    case WM_MSG_NOTIFY_PARENT:
      if (pMsg->Data.v == WM_NOTE_RELEASED) {
        WM_MESSAGE msg{};
        msg.MsgId = WM_MSG_NOTIFY_CHILD_REFLECTION;
        msg.hWinSrc = hObj;
        msg.Data.v = 2;
        WM_SendMessage(pMsg->hWinSrc, &msg);
      }
      return;
    case WM_MSG_HANDLE_DIALOG_STATUS:
      WIDGET__HandleDialogStatus(&p->pDialogStatus, pMsg);
      return;
    case WM_MSG_PID_TOUCH: {
      const GUI_PID_STATE* pState = WIDGET__PIDState(pMsg);
      if (pState && pState->Pressed) {
        if (!(p->Widget.State & FRAMEWIN_SF_ACTIVE)) WM_SetFocus(hObj);
        WM_BringToTop(hObj);
      } else if (pState) {
        WIDGET_AndState(hObj, WIDGET_STATE_PRESSED);
      }
      return;
    }
    default:
      break;
  }
  if (WIDGET_HandleActive(hObj, pMsg)) WM_DefaultProc(pMsg);
}

void ClientCallback(WM_MESSAGE* pMsg) {
  WM_HWIN hClient = pMsg->hWin;
  WM_HWIN hObj = WM_GetParent(hClient);
  FRAMEWIN_Obj* p = WIDGET__Lock<FRAMEWIN_Obj>(hObj);
  if (!p) {
    WM_DefaultProc(pMsg);
    return;
  }
  WM_CALLBACK* cb = p->cb;
  switch (pMsg->MsgId) {
    case WM_MSG_SET_FOCUS:
      if (pMsg->Data.v == 1) {
        WM_HWIN hChild = p->hFocussedChild;
        bool toChild = false;
        if (hChild && hChild != hClient && hChild != hObj && WM_IsWindow(hChild))
          toChild = WM_SetFocus(hChild) == 0;
        if (!toChild) {
          WM_HWIN hNew = WM_SetFocusOnNextChild(hClient);
          toChild = hNew && WM_HasFocus(hNew);
        }
        pMsg->Data.v = toChild ? 1 : 0;
      } else {
        pMsg->Data.v = 0;
      }
      return;
    case WM_MSG_GET_ACCEPT_FOCUS:
      WIDGET_HandleActive(hObj, pMsg);
      return;
    case WM_MSG_GET_BKCOLOR:
      pMsg->Data.v = intptr_t(p->Props.ClientColor);
      return;
    case WM_MSG_GET_WIDGET_TYPE:
      pMsg->Data.v = intptr_t(kClientTag);
      return;
    case WM_MSG_KEY: {
      const WM_KEY_INFO* pKey = WIDGET__KeyInfo(pMsg);
      if (pKey && pKey->PressedCnt >= 1 && (pKey->Key == 9 || pKey->Key == 10)) {
        if (pKey->Key == 9)
          WM_SetFocusOnNextChild(hClient);
        else
          WM_SetFocusOnPrevChild(hClient);
        return;
      }
      break;
    }
    case WM_MSG_PAINT: {
      if (p->Props.ClientColor != GUI_INVALID_COLOR) {
        GUI_SetBkColor(p->Props.ClientColor);
        GUI_Clear();
      }
      if (cb) {
        WM_MESSAGE msg = *pMsg;
        msg.hWin = hClient;
        cb(&msg);
      }
      return;
    }
    default:
      break;
  }
  if (cb) {
    pMsg->hWin = hObj;
    cb(pMsg);
  } else {
    WM_DefaultProc(pMsg);
  }
}

}  // namespace

WM_HWIN FRAMEWIN_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                            int id, const char* pTitle, WM_CALLBACK* cb, int numExtraBytes) {
  GUI_LockGuard lock;
  if (numExtraBytes < 0) numExtraBytes = 0;
  WM_HWIN h = WM_CreateWindowAsChild(x0, y0, xSize, ySize, hParent, winFlags | WM_STATUS_LATE_CLIP, FrameCallback,
                                     int(sizeof(FRAMEWIN_Obj) - sizeof(WM_Obj)) + numExtraBytes);
  if (!h) {
    GUI_ErrorOut("FRAMEWIN:\nFRAMEWIN_CreateUser() failed");
    return 0;
  }
  auto* p = static_cast<FRAMEWIN_Obj*>(GUI_ALLOC_h2p(h));
  WIDGET__Init(&p->Widget, id, WIDGET_STATE_FOCUSABLE | FRAMEWIN_SF_TITLEVIS);
  p->Widget.DebugId = FRAMEWIN_Obj::kTag;
  p->Props = DefaultProps;
  p->cb = cb;
  p->Flags = int16_t(exFlags);
  Layout l = CalcLayout(p);
  WM_HWIN hClient = WM_CreateWindowAsChild(
      l.Client.x0, l.Client.y0, l.Client.x1 - l.Client.x0 + 1, l.Client.y1 - l.Client.y0 + 1, h,
      WM_CF_SHOW | WM_CF_ANCHOR_LEFT | WM_CF_ANCHOR_RIGHT | WM_CF_ANCHOR_TOP | WM_CF_ANCHOR_BOTTOM | WM_CF_LATE_CLIP,
      ClientCallback, 0);
  if (!hClient) {
    WM_DeleteWindow(h);
    GUI_ErrorOut("FRAMEWIN:\nFRAMEWIN_CreateUser() failed");
    return 0;
  }
  p = static_cast<FRAMEWIN_Obj*>(GUI_ALLOC_h2p(h));
  p->Props.pfCreate(h);
  p = static_cast<FRAMEWIN_Obj*>(GUI_ALLOC_h2p(h));
  p->hClient = hClient;
  FRAMEWIN_SetText(h, pTitle);
  return h;
}
WM_HWIN FRAMEWIN_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                          int id, const char* pTitle, WM_CALLBACK* cb) {
  return FRAMEWIN_CreateUser(x0, y0, xSize, ySize, hParent, winFlags, exFlags, id, pTitle, cb, 0);
}
WM_HWIN FRAMEWIN_Create(const char* pTitle, WM_CALLBACK* cb, uint32_t flags, int x0, int y0, int xSize, int ySize) {
  return FRAMEWIN_CreateUser(x0, y0, xSize, ySize, 0, flags, 0, 0, pTitle, cb, 0);
}
WM_HWIN FRAMEWIN_CreateAsChild(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, const char* pTitle,
                               WM_CALLBACK* cb, uint32_t flags) {
  return FRAMEWIN_CreateUser(x0, y0, xSize, ySize, hParent, flags, 0, 0, pTitle, cb, 0);
}
WM_HWIN FRAMEWIN_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK* cb) {
  return FRAMEWIN_CreateUser(pItem->x0 + x0, pItem->y0 + y0, pItem->xSize, pItem->ySize, hParent, 0, pItem->Flags,
                             pItem->Id, pItem->pName, cb, int(pItem->NumExtraBytes));
}

void FRAMEWIN_SetText(WM_HWIN hObj, const char* s) {
  GUI_LockGuard lock;
  FRAMEWIN_Obj* p = WIDGET__Lock<FRAMEWIN_Obj>(hObj);
  if (!p) return;
  GUI_HMEM hText = p->hText;
  if (GUI__SetText(&hText, s)) {
    WIDGET__Lock<FRAMEWIN_Obj>(hObj)->hText = hText;
    WM_InvalidateWindow(hObj);
  }
}
void FRAMEWIN_SetActive(WM_HWIN hObj, int onOff) {
  GUI_LockGuard lock;
  if (WIDGET__Lock<FRAMEWIN_Obj>(hObj)) SetActive(hObj, onOff != 0);
}
int FRAMEWIN_IsActive(WM_HWIN hObj) {
  GUI_LockGuard lock;
  FRAMEWIN_Obj* p = WIDGET__Lock<FRAMEWIN_Obj>(hObj);
  return p && (p->Widget.State & FRAMEWIN_SF_ACTIVE) ? 1 : 0;
}
int FRAMEWIN_SetTitleHeight(WM_HWIN hObj, int height) {
  GUI_LockGuard lock;
  FRAMEWIN_Obj* p = WIDGET__Lock<FRAMEWIN_Obj>(hObj);
  if (!p) return 0;
  int old = p->Props.TitleHeight;
  if (height != old) {
    p->Props.TitleHeight = int16_t(height);
    UpdateLayout(hObj);
  }
  return old;
}
void FRAMEWIN_SetTitleVisibility(WM_HWIN hObj, int onOff) {
  GUI_LockGuard lock;
  FRAMEWIN_Obj* p = WIDGET__Lock<FRAMEWIN_Obj>(hObj);
  if (!p) return;
  uint16_t state = onOff ? (p->Widget.State | FRAMEWIN_SF_TITLEVIS) : (p->Widget.State & ~FRAMEWIN_SF_TITLEVIS);
  if (state == p->Widget.State) return;
  p->Widget.State = state;
  bool whole = (p->Flags & FRAMEWIN_CF_TITLEFRAME) != 0;
  UpdateLayout(hObj);
  if (whole) {
    if (onOff)
      WM_ShowWindow(hObj);
    else
      WM_HideWindow(hObj);
  }
}
void FRAMEWIN_AddHook(WM_HWIN hObj, FRAMEWIN_HOOK* pHook) {
  GUI_LockGuard lock;
  FRAMEWIN_Obj* p = WIDGET__Lock<FRAMEWIN_Obj>(hObj);
  if (!p || !pHook) return;
  pHook->pNext = p->pFirstHook;
  p->pFirstHook = pHook;
}
int FRAMEWIN_GetUserData(WM_HWIN hObj, void* pDest, int size) {
  return WIDGET__GetUserDataOf<FRAMEWIN_Obj>(hObj, pDest, size);
}
int FRAMEWIN_SetUserData(WM_HWIN hObj, const void* pSrc, int size) {
  return WIDGET__SetUserDataOf<FRAMEWIN_Obj>(hObj, pSrc, size);
}
