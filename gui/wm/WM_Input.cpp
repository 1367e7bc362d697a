// Focus and key delivery, the pointer-state queue and the pointer dispatch with enter/leave,
// press/release bookkeeping and capture, and the window hit test.
#include "gui/core/GUI_Input.h"
#include "gui/wm/WM_Intern.h"

namespace {

constexpr int kQueueSize = 6;

struct PIDQueue {
  GUI_PID_STATE a[kQueueSize];
  int rd, wr;
  GUI_PID_STATE newest;            // last stored state
  bool installed;
};
PIDQueue g_q;

struct LayerInput {
  WM_HWIN hPressed;                // the window that got the last press
  WM_HWIN hUnder;                  // the window under the pointer
  WM_HWIN hModal;
  int32_t x, y;                    // last dispatched state
  uint8_t pressed;
};
LayerInput g_layer[GUI_NUM_LAYERS];
int g_restrictLayer = -1;
int32_t g_offX, g_offY;
bool g_handlesRegistered;

GUI_PID_PRESTORE_HOOK* g_pPreStore;
void (*g_pfPostStore)(const GUI_PID_STATE*);
WM_tfDispatchHook* g_pfPreDispatch;
WM_tfDispatchHook* g_pfPostDispatch;

void ExitInput();
GUI_REGISTER_EXIT g_exitInput = {nullptr, ExitInput};
void ExitInput() {
  g_q = PIDQueue{};
  g_pPreStore = nullptr;
  g_pfPostStore = nullptr;
}

int CurLayer() {
  const int l = WM__G.TouchedLayer;
  return (l >= 0 && l < GUI_NUM_LAYERS) ? l : 0;
}

void RegisterHandles() {
  if (g_handlesRegistered) return;
  g_handlesRegistered = true;
  for (LayerInput& l : g_layer) {
    WM__AddCriticalHandle(&l.hPressed);
    WM__AddCriticalHandle(&l.hUnder);
    WM__AddCriticalHandle(&l.hModal);
  }
}

bool IsFocusableRaw(WM_HWIN h) {
  WM_Obj* p = WM_H2P(h);
  if (!p || !(p->Status & WM_STATUS_VISIBLE) || (p->Status & WM_STATUS_DISABLED)) return false;
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_GET_ACCEPT_FOCUS;
  WM__SendMessage(h, &msg);
  return msg.Data.v != 0;
}

void SendFocusUp(WM_HWIN hFrom, const WM_CHILD_HAS_FOCUS_INFO& info) {
  for (WM_HWIN a = WM_GetParent(hFrom); a; a = WM_GetParent(a)) {
    WM_MESSAGE msg{};
    msg.MsgId = WM_MSG_CHILD_HAS_FOCUS;
    msg.Data.p = &info;
    WM__SendMessage(a, &msg);
    if (!WM__IsWindow(a)) break;
  }
}

WM_HWIN WindowAt(WM_HWIN h, int x, int y, WM_HWIN hExcluded) {
  WM_Obj* p = WM_H2P(h);
  if (!p || !(p->Status & WM_STATUS_VISIBLE)) return 0;
  if (x < p->Rect.x0 || x > p->Rect.x1 || y < p->Rect.y0 || y > p->Rect.y1) return 0;
  WM_HWIN found = h;
  for (WM_HWIN c = p->hFirstChild; c && c != hExcluded; c = WM__NextOf(c))
    if (WM_HWIN r = WindowAt(c, x, y, hExcluded)) found = r;
  return found;
}

void SendPIDState(WM_HWIN hWin, int msgId, const GUI_PID_STATE* pState) {
  GUI_PID_STATE copy;
  WM_MESSAGE msg{};
  msg.MsgId = msgId;
  if (pState) {
    copy = *pState;
    msg.Data.p = &copy;
  }
  WM__SendPIDMessage(hWin, &msg);
}

int HandlePID() {
  if (GUI_PID_IsEmpty()) return 0;
  GUI_PID_STATE s;
  GUI_PID_GetNextState(&s);
  if (s.Layer >= GUI_NUM_LAYERS) {
    GUI_ErrorOut("WM_Touch:\nIllegal value in StateNew.Layer in function WM_HandlePID()!");
    s.Layer = static_cast<uint8_t>(CurLayer());
  }
  const bool noPos = s.x == -1 && s.y == -1;
  if (noPos && s.Pressed == g_layer[CurLayer()].pressed) return 0;
  GUI_LockGuard lock;
  int result = 0;
  if (noPos) {
    s.x = g_layer[s.Layer].x;
    s.y = g_layer[s.Layer].y;
  } else {
    s.x += g_offX;
    s.y += g_offY;
    int lx = 0, ly = 0;
    if (GUI_DEVICE_GetDriver(s.Layer) && LCD_GetPosEx(s.Layer, &lx, &ly) == 0) {
      s.x -= lx;
      s.y -= ly;
    }
  }
  WM__G.TouchedLayer = s.Layer;
  if (!GUI_DEVICE_GetDriver(s.Layer)) return 0;
  LayerInput& L = g_layer[s.Layer];
  if (s.x == L.x && s.y == L.y && s.Pressed == L.pressed) return 0;
  if (g_pfPreDispatch) g_pfPreDispatch(&s, 0);
  WM_HWIN hTarget = WM__G.ahCapture[s.Layer];
  if (!hTarget) hTarget = WM__GetWindowAt(s.x, s.y);
  if (g_pfPostDispatch) g_pfPostDispatch(&s, hTarget);
  // Leave.
  if (L.hUnder && L.hUnder != hTarget && WM__IsPIDTargetAllowed(L.hUnder) && WM_IsEnabled(L.hUnder))
    SendPIDState(L.hUnder, WM_MSG_PID_LEAVE, &s);
  L.hUnder = 0;
  if (WM__IsPIDTargetAllowed(hTarget)) {
    L.hUnder = hTarget;
  } else {
    hTarget = 0;
  }
  const uint8_t prev = L.pressed;
  if (s.Pressed != prev && hTarget) {
    WM_Obj* t = WM_H2P(hTarget);
    WM_PID_STATE_CHANGED_INFO info{s.x - t->Rect.x0, s.y - t->Rect.y0, s.Pressed, prev};
    L.pressed = s.Pressed;
    if (s.Pressed) L.hPressed = hTarget;
    WM_MESSAGE msg{};
    msg.MsgId = WM_MSG_PID_CHANGED;
    msg.Data.p = &info;
    WM__SendMessageIfEnabled(hTarget, &msg);
  }
  if (!s.Pressed && !prev) {
    if (hTarget && WM_IsEnabled(hTarget)) SendPIDState(hTarget, WM_MSG_PID_MOVE, &s);
  } else {
    result = 1;
    if (L.hPressed && L.hPressed != hTarget) {
      WM_HWIN hOld = L.hPressed;
      L.hPressed = 0;
      if (s.Pressed) {
        SendPIDState(hOld, WM_MSG_PID_TOUCH, nullptr);
      } else {
        GUI_PID_STATE up{L.x, L.y, 0, s.Layer, {0, 0}};
        SendPIDState(hOld, WM_MSG_PID_TOUCH, &up);
      }
    }
    L.pressed = s.Pressed;
    if (hTarget && WM__IsWindow(hTarget)) {
      SendPIDState(hTarget, WM_MSG_PID_TOUCH, &s);
      if (s.Pressed) {
        if (WM__IsWindow(hTarget)) L.hPressed = hTarget;
      } else {
        if (WM__G.CaptureAutoRelease) WM_ReleaseCapture();
        L.hPressed = 0;
      }
    }
  }
  L.x = s.x;
  L.y = s.y;
  L.pressed = s.Pressed;
  GUI_PID__SetLastState(&s, s.Layer);
  return result;
}

}  // namespace

void WM__InputReset() {
  for (LayerInput& l : g_layer) l = LayerInput{};
  g_restrictLayer = -1;
  g_offX = g_offY = 0;
  g_q = PIDQueue{};
  g_pPreStore = nullptr;
  g_pfPostStore = nullptr;
  g_pfPreDispatch = g_pfPostDispatch = nullptr;
  g_handlesRegistered = false;
  RegisterHandles();
  GUI__SetPIDQueue(GUI_PID_QueueState);
}

// --- focus -------------------------------------------------------------------------------------------
int WM_SetFocus(WM_HWIN hWin) {
  GUI_LockGuard lock;
  const int layer = CurLayer();
  WM_HWIN hOld = WM__G.ahFocus[layer];
  if (!hWin || hWin == hOld) return 1;
  if (hOld) {
    WM_MESSAGE msg{};
    msg.MsgId = WM_MSG_SET_FOCUS;
    msg.Data.v = 0;
    WM__SendMessage(hOld, &msg);
  }
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_SET_FOCUS;
  msg.Data.v = 1;
  WM__SendMessage(hWin, &msg);
  if (msg.Data.v != 0) return static_cast<int>(msg.Data.v);
  WM__G.ahFocus[layer] = hWin;
  const WM_CHILD_HAS_FOCUS_INFO info{hOld, hWin};
  SendFocusUp(hWin, info);
  if (hOld && WM__IsWindow(hOld)) SendFocusUp(hOld, info);
  return 0;
}

WM_HWIN WM_GetFocus() { return WM__G.ahFocus[CurLayer()]; }
int WM_HasFocus(WM_HWIN hWin) { return (hWin && WM_GetFocus() == hWin) ? 1 : 0; }

WM_HWIN WM_GetFocusedChild(WM_HWIN hParent) {
  GUI_LockGuard lock;
  WM_HWIN f = WM_GetFocus();
  return (f && WM_GetParent(f) == hParent) ? f : 0;
}

int WM_IsFocusable(WM_HWIN hWin) {
  GUI_LockGuard lock;
  return IsFocusableRaw(hWin) ? 1 : 0;
}

WM_HWIN WM_SetFocusOnNextChild(WM_HWIN hParent) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hParent);
  if (!p || !p->hFirstChild) return 0;
  WM_HWIN start = WM_GetFocusedChild(hParent);
  WM_HWIN c = start ? WM_GetNextSibling(start) : p->hFirstChild;
  for (int guard = 0; guard < 0x10000; ++guard) {
    if (!c) c = WM_GetFirstChild(hParent);
    if (c == start) return 0;
    if (IsFocusableRaw(c)) {
      WM_SetFocus(c);
      return c;
    }
    c = WM_GetNextSibling(c);
    if (!start && !c) return 0;
  }
  return 0;
}

WM_HWIN WM_SetFocusOnPrevChild(WM_HWIN hParent) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hParent);
  if (!p || !p->hFirstChild) return 0;
  WM_HWIN start = WM_GetFocusedChild(hParent);
  WM_HWIN c = start ? WM_GetPrevSibling(start) : 0;
  if (!start) c = WM_GetLastSibling(p->hFirstChild);
  for (int guard = 0; guard < 0x10000; ++guard) {
    if (!c) c = WM_GetLastSibling(WM_GetFirstChild(hParent));
    if (c == start) return 0;
    if (IsFocusableRaw(c)) return WM_SetFocus(c) == 0 ? c : 0;
    WM_HWIN prev = WM_GetPrevSibling(c);
    if (!start && !prev) return 0;
    c = prev;
  }
  return 0;
}

int WM__SendKeyToFocus(int key, int pressedCnt) {
  WM_HWIN h = WM__G.ahFocus[CurLayer()];
  if (!h) return 0;
  WM_KEY_INFO info{key, pressedCnt};
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_KEY;
  msg.Data.p = &info;
  WM__SendMessage(h, &msg);
  return 1;
}

int WM__PollKey() { return GUI_PollKeyMsg(); }

// --- pointer queue -----------------------------------------------------------------------------------
void GUI_PID_QueueState(const GUI_PID_STATE* pState) {
  if (!pState) return;
  if (!g_q.installed) {
    g_q.installed = true;
    GUI__AddExitHook(&g_exitInput);
  }
  WM__G.pfHandlePID = HandlePID;
  GUI_PID_STATE s = *pState;
  for (GUI_PID_PRESTORE_HOOK* h = g_pPreStore; h; h = h->pNext)
    if (h->pfHook) h->pfHook(&s);
  const int count = (g_q.wr - g_q.rd + kQueueSize) % kQueueSize;
  const int newest = (g_q.wr + kQueueSize - 1) % kQueueSize;
  const int second = (g_q.wr + kQueueSize - 2) % kQueueSize;
  if (count >= 2 && g_q.a[newest].Pressed == s.Pressed && g_q.a[second].Pressed == s.Pressed) {
    g_q.a[newest] = s;             // moves coalesce
  } else {
    g_q.a[g_q.wr] = s;
    g_q.wr = (g_q.wr + 1) % kQueueSize;
    if (g_q.wr == g_q.rd) g_q.rd = (g_q.rd + 1) % kQueueSize;  // full: drop the oldest
  }
  g_q.newest = s;
  if (g_pfPostStore) g_pfPostStore(&s);
  GUI_SignalEvent();
}

int GUI_PID_GetNextState(GUI_PID_STATE* pState) {
  if (g_q.rd != g_q.wr) {
    *pState = g_q.a[g_q.rd];
    g_q.rd = (g_q.rd + 1) % kQueueSize;
  } else {
    *pState = g_q.newest;
  }
  return pState->Pressed;
}

int GUI_PID_IsEmpty() { return g_q.rd == g_q.wr ? 1 : 0; }
int GUI_PID_IsPressed() { return g_q.newest.Pressed; }

void GUI_PID_AddPreStoreHook(GUI_PID_PRESTORE_HOOK* pHook) {
  if (!pHook) return;
  for (GUI_PID_PRESTORE_HOOK* h = g_pPreStore; h; h = h->pNext)
    if (h == pHook) return;
  pHook->pNext = g_pPreStore;
  g_pPreStore = pHook;
}
void GUI_PID_SetPostStoreHook(void (*pfHook)(const GUI_PID_STATE*)) { g_pfPostStore = pfHook; }

WM_tfDispatchHook* WM_SetPreDispatchHook(WM_tfDispatchHook* pfHook) {
  WM_tfDispatchHook* old = g_pfPreDispatch;
  g_pfPreDispatch = pfHook;
  return old;
}
WM_tfDispatchHook* WM_SetPostDispatchHook(WM_tfDispatchHook* pfHook) {
  WM_tfDispatchHook* old = g_pfPostDispatch;
  g_pfPostDispatch = pfHook;
  return old;
}

int WM_HandlePID() { return HandlePID(); }

int WM__IsPIDTargetAllowed(WM_HWIN hWin) {
  if (!hWin) return 0;
  if (g_restrictLayer >= 0 && g_restrictLayer < GUI_NUM_LAYERS &&
      !WM_IsAncestorOrSelf(hWin, WM__G.ahDesktop[g_restrictLayer]))
    return 0;
  WM_HWIN hModal = g_layer[CurLayer()].hModal;
  if (hModal && !WM_IsAncestorOrSelf(hWin, hModal)) return 0;
  return 1;
}

void WM__SendPIDMessage(WM_HWIN hWin, WM_MESSAGE* pMsg) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !pMsg) return;
  if (pMsg->Data.p) {
    auto* s = static_cast<GUI_PID_STATE*>(const_cast<void*>(pMsg->Data.p));
    s->x -= p->Rect.x0;
    s->y -= p->Rect.y0;
  }
  for (WM_HWIN a = p->hParent; a && WM__IsWindow(hWin);) {
    WM_Obj* pa = WM_H2P(a);
    if (!pa) break;
    WM_HWIN next = pa->hParent;
    WM_MESSAGE touch{};
    touch.MsgId = WM_MSG_TOUCH;
    touch.hWinSrc = hWin;
    touch.Data.p = pMsg;
    WM__SendMessageIfEnabled(a, &touch);
    a = (WM__IsWindow(a) && WM__IsWindow(next)) ? next : 0;
  }
  if (WM__IsWindow(hWin)) WM__SendMessageIfEnabled(hWin, pMsg);
}

// --- capture and hit test -------------------------------------------------------------------------
void WM_SetCapture(WM_HWIN hWin, int autoRelease) {
  GUI_LockGuard lock;
  const int layer = CurLayer();
  if (WM__G.ahCapture[layer] != hWin) WM_ReleaseCapture();
  WM__G.ahCapture[layer] = hWin;
  WM__G.CaptureAutoRelease = autoRelease ? 1 : 0;
}

void WM_ReleaseCapture() {
  GUI_LockGuard lock;
  const int layer = CurLayer();
  WM_HWIN h = WM__G.ahCapture[layer];
  if (!h) return;
  WM__SendMessageId(h, WM_MSG_CAPTURE_RELEASED);
  WM__G.ahCapture[layer] = 0;
}

WM_HWIN WM__GetWindowAt(int x, int y) { return WM__GetWindowAtExcept(0, x, y); }

WM_HWIN WM__GetWindowAtExcept(WM_HWIN hExcluded, int x, int y) {
  GUI_LockGuard lock;
  return WindowAt(WM__G.ahDesktop[CurLayer()], x, y, hExcluded);
}

WM_HWIN WM_SetModalWindow(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_HWIN old = g_layer[CurLayer()].hModal;
  g_layer[CurLayer()].hModal = hWin;
  return old;
}
int WM_SetLayerRestriction(int layer) {
  int old = g_restrictLayer;
  g_restrictLayer = layer;
  return old;
}
void WM_SetScreenOffset(int x, int y) {
  g_offX = x;
  g_offY = y;
}
