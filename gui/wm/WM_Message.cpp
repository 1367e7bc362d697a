// Messages: the one send path with its nesting limit, the default procedure, notifications
// of the parent, broadcast, and the small services built on messages (ids, inside
// rectangle, client window, background colour, scroll states, dialog items).
#include <algorithm>

#include "gui/wm/WM_Intern.h"

namespace {

constexpr int kMaxNesting = 20;
int g_sendNesting;

}  // namespace

void WM__SendMessage(WM_HWIN hWin, WM_MESSAGE* pMsg) {
  if (g_sendNesting >= kMaxNesting) {
    GUI_ErrorOut("WM__SendMessage:\nMax. message nesting exceeded, Message skipped in WM__SendMessage().");
    return;
  }
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return;
  pMsg->hWin = hWin;
  WM_CALLBACK* cb = p->cb;
  if (!cb) {
    WM_DefaultProc(pMsg);
    return;
  }
  ++g_sendNesting;
  cb(pMsg);
  --g_sendNesting;
}

void WM_SendMessage(WM_HWIN hWin, WM_MESSAGE* pMsg) {
  if (!hWin || !pMsg) return;
  GUI_LockGuard lock;
  WM__SendMessage(hWin, pMsg);
}

void WM__SendMessageIfEnabled(WM_HWIN hWin, WM_MESSAGE* pMsg) {
  WM_Obj* p = WM_H2P(hWin);
  if (p && !(p->Status & WM_STATUS_DISABLED)) WM__SendMessage(hWin, pMsg);
}

void WM__SendMessageId(WM_HWIN hWin, int msgId) {
  WM_MESSAGE msg{};
  msg.MsgId = msgId;
  WM__SendMessage(hWin, &msg);
}

void WM__SendMessageNoPara(WM_HWIN hWin, int msgId) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !p->cb) return;
  WM_MESSAGE msg{};
  msg.MsgId = msgId;
  msg.hWin = hWin;
  p->cb(&msg);
}
void WM_SendMessageNoPara(WM_HWIN hWin, int msgId) {
  GUI_LockGuard lock;
  WM__SendMessageNoPara(hWin, msgId);
}

void WM__SendToParent(WM_HWIN hWin, WM_MESSAGE* pMsg) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !pMsg || !p->hParent) return;
  pMsg->hWinSrc = hWin;
  WM__SendMessage(p->hParent, pMsg);
}

void WM_NotifyParent(WM_HWIN hWin, int code) {
  if (!hWin) return;
  GUI_LockGuard lock;
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_NOTIFY_PARENT;
  msg.Data.v = code;
  WM__SendToParent(hWin, &msg);
}

void WM_DefaultProc(WM_MESSAGE* pMsg) {
  WM_HWIN hWin = pMsg->hWin;
  switch (pMsg->MsgId) {
    case WM_MSG_KEY:
      WM__SendToParent(hWin, pMsg);
      return;
    case WM_MSG_GET_INSIDE_RECT: {
      auto* pRect = static_cast<GUI_RECT*>(const_cast<void*>(pMsg->Data.p));
      if (pRect) WM_GetInsideRectDirect(hWin, pRect);
      pMsg->Data.v = 0;
      return;
    }
    case WM_MSG_GET_CLIENT_WINDOW:
      pMsg->Data.v = hWin;
      return;
    case WM_MSG_GET_BKCOLOR:
      pMsg->Data.v = static_cast<intptr_t>(GUI_INVALID_COLOR);
      return;
    case WM_MSG_ENABLE_CHANGED:
      WM_InvalidateWindow(hWin);
      return;
    default:
      pMsg->Data.v = 0;
      return;
  }
}

void WM_BroadcastMessage(WM_MESSAGE* pMsg) {
  if (!pMsg) return;
  GUI_LockGuard lock;
  for (WM_HWIN h = WM__G.hFirstWin; h;) {
    WM_Obj* p = WM_H2P(h);
    if (!p) break;
    WM_HWIN next = p->hNextLin;
    WM_MESSAGE copy = *pMsg;
    WM__SendMessage(h, &copy);
    h = WM__IsWindow(next) ? next : 0;
  }
}

WM_CALLBACK* WM_SetCallback(WM_HWIN hWin, WM_CALLBACK* cb) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return nullptr;
  WM_CALLBACK* old = p->cb;
  p->cb = cb;
  WM__SendMessageNoPara(hWin, WM_MSG_CALLBACK_SET);
  WM_InvalidateWindow(hWin);
  return old;
}

// --- requests -------------------------------------------------------------------------------
namespace {
intptr_t Request(WM_HWIN hWin, int msgId, intptr_t initial) {
  WM_MESSAGE msg{};
  msg.MsgId = msgId;
  msg.Data.v = initial;
  WM__SendMessage(hWin, &msg);
  return msg.Data.v;
}
}  // namespace

int WM_GetId(WM_HWIN hWin) {
  if (!hWin) return 0;
  GUI_LockGuard lock;
  return static_cast<int>(Request(hWin, WM_MSG_GET_ID, 0));
}

WM_HWIN WM_GetClientWindow(WM_HWIN hWin) {
  if (!hWin) return 0;
  GUI_LockGuard lock;
  return static_cast<WM_HWIN>(Request(hWin, WM_MSG_GET_CLIENT_WINDOW, 0));
}

GUI_COLOR WM_GetBkColor(WM_HWIN hWin) {
  if (!hWin) return GUI_INVALID_COLOR;
  GUI_LockGuard lock;
  return static_cast<GUI_COLOR>(Request(hWin, WM_MSG_GET_BKCOLOR, static_cast<intptr_t>(GUI_INVALID_COLOR)));
}

void WM_GetInsideRectEx(WM_HWIN hWin, GUI_RECT* pRect) {
  if (!hWin || !pRect) return;
  GUI_LockGuard lock;
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_GET_INSIDE_RECT;
  msg.Data.p = pRect;
  WM__SendMessage(hWin, &msg);
}
void WM_GetInsideRect(GUI_RECT* pRect) { WM_GetInsideRectEx(GUI_pContext->hAWin, pRect); }

int WM_GetScrollState(WM_HWIN hWin, WM_SCROLL_STATE* pState) {
  if (!hWin || !pState) return 0;
  GUI_LockGuard lock;
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_GET_SCROLL_STATE;
  msg.Data.p = pState;
  WM__SendMessage(hWin, &msg);
  return 1;
}
void WM_SetScrollState(WM_HWIN hWin, const WM_SCROLL_STATE* pState) {
  if (!hWin || !pState) return;
  GUI_LockGuard lock;
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_SET_SCROLL_STATE;
  msg.Data.p = pState;
  WM__SendMessage(hWin, &msg);
}

// --- scroll states -------------------------------------------------------------------------------
void WM_CheckScrollBounds(WM_SCROLL_STATE* pState) {
  int32_t max = pState->NumItems - pState->PageSize;
  if (max < 0) max = 0;
  pState->v = std::clamp<int32_t>(pState->v, 0, max);
}

int WM_SetScrollValue(WM_SCROLL_STATE* pState, int v) {
  const int32_t old = pState->v;
  pState->v = v;
  WM_CheckScrollBounds(pState);
  return pState->v - old;
}

int WM_CheckScrollPos(WM_SCROLL_STATE* pState, int pos, int lowerDist, int upperDist) {
  const int32_t old = pState->v;
  if (pos > pState->v + pState->PageSize - 1 - upperDist) pState->v = pos - (pState->PageSize - 1 - upperDist);
  if (pos < pState->v + lowerDist) pState->v = pos - lowerDist;
  WM_CheckScrollBounds(pState);
  return pState->v - old;
}

// --- dialog items ----------------------------------------------------------------------------------
namespace {

// Below the first level: all children of a window are tested before any subtree is searched.
WM_HWIN SearchLevel(WM_HWIN hWin, int id) {
  for (WM_HWIN c = WM__FirstChildOf(hWin); c; c = WM__NextOf(c))
    if (WM_GetId(c) == id) return c;
  for (WM_HWIN c = WM__FirstChildOf(hWin); c; c = WM__NextOf(c))
    if (WM_HWIN r = SearchLevel(c, id)) return r;
  return 0;
}

}  // namespace

WM_HWIN WM_GetDialogItem(WM_HWIN hWin, int id) {
  GUI_LockGuard lock;
  if (!WM_H2P(hWin)) return 0;
  for (WM_HWIN c = WM__FirstChildOf(hWin); c; c = WM__NextOf(c)) {
    if (WM_GetId(c) == id) return c;
    if (WM_HWIN r = SearchLevel(c, id)) return r;
  }
  return 0;
}

WM_HWIN WM_GetScrollbarH(WM_HWIN hWin) { return WM_GetDialogItem(hWin, 255); }
WM_HWIN WM_GetScrollbarV(WM_HWIN hWin) { return WM_GetDialogItem(hWin, 254); }

WM_HWIN WM_GetScrollPartner(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return 0;
  int id = WM_GetId(hWin);
  if (id == 255)
    id = 254;
  else if (id == 254)
    id = 255;
  WM_HWIN hParent = WM__ParentOf(hWin);
  if (!hParent) return 0;
  for (WM_HWIN c = WM__FirstChildOf(hParent); c; c = WM__NextOf(c))
    if (c != hWin && WM_GetId(c) == id) return c;
  return 0;
}
