// GUI timers: callbacks run by the exec step when their due time is reached, kept in a list
// sorted by due time; and window timers, which send WM_MSG_TIMER to a window. Timers never
// restart by themselves. Due times are compared by their signed 32-bit difference, so the
// wrap of the millisecond counter does not disturb the order.
#include "gui/core/GUI_Input.h"
#include "gui/wm/WM_Intern.h"

namespace {

struct GUI_TIMER_OBJ {
  GUI_TIMER_CALLBACK* cb;
  GUI_TIMER_HANDLE hNext;          // due list
  GUI_TIMER_HANDLE hNextAll;       // list of all timers
  uint16_t Flags;                  // 1 = window timer
  intptr_t Context;
  int32_t t0;                      // due time
  int32_t Period;
};

struct WM_TIMER_OBJ {
  GUI_TIMER_HANDLE hTimer;
  WM_HWIN hWin;
  int32_t UserId;
};

constexpr uint16_t kWindowTimer = 1;

GUI_TIMER_HANDLE g_hFirstDue;
GUI_TIMER_HANDLE g_hFirstAll;
bool g_exitRegistered;

GUI_TIMER_OBJ* T(GUI_TIMER_HANDLE h) { return h > 0 ? static_cast<GUI_TIMER_OBJ*>(GUI_ALLOC_h2p(h)) : nullptr; }
WM_TIMER_OBJ* W(WM_HTIMER h) { return h > 0 ? static_cast<WM_TIMER_OBJ*>(GUI_ALLOC_h2p(h)) : nullptr; }

// a - b without overflow: negative when a lies before b.
int32_t Diff(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int32_t Add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

bool IsTimer(GUI_TIMER_HANDLE hTimer) {
  if (hTimer <= 0) return false;
  for (GUI_TIMER_HANDLE h = g_hFirstAll; h; h = T(h)->hNextAll)
    if (h == hTimer) return true;
  return false;
}

void UnlinkDue(GUI_TIMER_HANDLE hTimer) {
  if (g_hFirstDue == hTimer) {
    g_hFirstDue = T(hTimer)->hNext;
  } else {
    for (GUI_TIMER_HANDLE h = g_hFirstDue; h; h = T(h)->hNext)
      if (T(h)->hNext == hTimer) {
        T(h)->hNext = T(hTimer)->hNext;
        break;
      }
  }
  T(hTimer)->hNext = 0;
}

void InsertDue(GUI_TIMER_HANDLE hTimer) {
  GUI_TIMER_OBJ* t = T(hTimer);
  if (!g_hFirstDue || Diff(t->t0, T(g_hFirstDue)->t0) <= 0) {
    t->hNext = g_hFirstDue;
    g_hFirstDue = hTimer;
    return;
  }
  GUI_TIMER_HANDLE prev = g_hFirstDue;
  while (T(prev)->hNext && Diff(T(T(prev)->hNext)->t0, t->t0) < 0) prev = T(prev)->hNext;
  t->hNext = T(prev)->hNext;
  T(prev)->hNext = hTimer;
}

void Resort(GUI_TIMER_HANDLE hTimer) {
  UnlinkDue(hTimer);
  InsertDue(hTimer);
}

int TimerNext(int32_t* pDelay) {
  if (pDelay) *pDelay = GUI_TIMER_GetDelay();
  return g_hFirstDue ? 1 : 0;
}

void ExitTimers();
GUI_REGISTER_EXIT g_exitTimers = {nullptr, ExitTimers};
void ExitTimers() {
  g_hFirstDue = g_hFirstAll = 0;
  g_exitRegistered = false;
}

void SendTimerMessage(GUI_TIMER_MESSAGE* pMsg) {
  WM_HTIMER hWT = static_cast<WM_HTIMER>(pMsg->Context);
  WM_TIMER_OBJ* w = W(hWT);
  if (!w || !w->hWin) return;
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_TIMER;
  msg.Data.v = hWT;
  WM__SendMessage(w->hWin, &msg);
}

}  // namespace

void WM__TimerReset() { ExitTimers(); }

GUI_TIMER_HANDLE GUI_TIMER_CreateEx(GUI_TIMER_CALLBACK* cb, int32_t time, intptr_t context, uint16_t flags) {
  GUI_LockGuard lock;
  GUI_TIMER_HANDLE h = GUI_ALLOC_AllocZero(sizeof(GUI_TIMER_OBJ));
  if (!h) return 0;
  GUI__SetTimerHook(GUI_TIMER_Exec);
  GUI__pfTimerNext = TimerNext;
  GUI_TIMER_OBJ* t = T(h);
  t->t0 = time ? time : GUI_GetTime();
  t->cb = cb;
  t->Context = context;
  t->Flags = flags;
  InsertDue(h);
  if (!g_exitRegistered) {
    g_exitRegistered = true;
    GUI__AddExitHook(&g_exitTimers);
  }
  T(h)->hNextAll = g_hFirstAll;
  g_hFirstAll = h;
  GUI_SignalEvent();
  return h;
}

void GUI_TIMER_Delete(GUI_TIMER_HANDLE hTimer) {
  GUI_LockGuard lock;
  if (!IsTimer(hTimer)) return;
  UnlinkDue(hTimer);
  if (g_hFirstAll == hTimer) {
    g_hFirstAll = T(hTimer)->hNextAll;
  } else {
    for (GUI_TIMER_HANDLE h = g_hFirstAll; h; h = T(h)->hNextAll)
      if (T(h)->hNextAll == hTimer) {
        T(h)->hNextAll = T(hTimer)->hNextAll;
        break;
      }
  }
  GUI_ALLOC_Free(hTimer);
}

void GUI_TIMER_SetPeriod(GUI_TIMER_HANDLE hTimer, int32_t period) {
  GUI_LockGuard lock;
  if (IsTimer(hTimer)) T(hTimer)->Period = period;
}
int32_t GUI_TIMER_GetPeriod(GUI_TIMER_HANDLE hTimer) {
  GUI_LockGuard lock;
  return IsTimer(hTimer) ? T(hTimer)->Period : 0;
}

void GUI_TIMER_SetTime(GUI_TIMER_HANDLE hTimer, int32_t time) {
  GUI_LockGuard lock;
  if (!IsTimer(hTimer)) return;
  T(hTimer)->t0 = time;
  Resort(hTimer);
}

void GUI_TIMER_Restart(GUI_TIMER_HANDLE hTimer) {
  GUI_LockGuard lock;
  if (!IsTimer(hTimer)) return;
  T(hTimer)->t0 = Add(GUI_GetTime(), T(hTimer)->Period);
  Resort(hTimer);
  GUI_SignalEvent();
}

int GUI_TIMER_GetFlag(GUI_TIMER_HANDLE hTimer, uint16_t mask) {
  GUI_LockGuard lock;
  if (!hTimer) return 1;
  return (IsTimer(hTimer) && (T(hTimer)->Flags & mask)) ? 1 : 0;
}

int GUI_TIMER_IsAnyPending() { return g_hFirstDue ? 1 : 0; }

int32_t GUI_TIMER_GetDelay() {
  GUI_LockGuard lock;
  if (!g_hFirstDue) return 0;
  int32_t d = Diff(T(g_hFirstDue)->t0, GUI_GetTime());
  return d > 0 ? d : 0;
}

GUI_TIMER_HANDLE GUI_TIMER_GetFirst(intptr_t* pContext) {
  GUI_LockGuard lock;
  if (g_hFirstAll && pContext) *pContext = T(g_hFirstAll)->Context;
  return g_hFirstAll;
}
GUI_TIMER_HANDLE GUI_TIMER_GetNext(GUI_TIMER_HANDLE hTimer, intptr_t* pContext) {
  GUI_LockGuard lock;
  if (!IsTimer(hTimer)) return 0;
  GUI_TIMER_HANDLE h = T(hTimer)->hNextAll;
  if (h && pContext) *pContext = T(h)->Context;
  return h;
}
GUI_TIMER_HANDLE GUI_TIMER_GetFirstDue(GUI_TIMER_HANDLE hTimer, intptr_t* pContext) {
  GUI_LockGuard lock;
  GUI_TIMER_HANDLE h = g_hFirstDue;
  if (hTimer) h = IsTimer(hTimer) ? T(hTimer)->hNext : 0;
  if (h && pContext) *pContext = T(h)->Context;
  return h;
}

int GUI_TIMER_Exec() {
  GUI_LockGuard lock;
  const GUI_TIMER_HANDLE hStart = g_hFirstDue;
  bool ran = false;
  while (g_hFirstDue) {
    const int32_t now = GUI_GetTime();
    const GUI_TIMER_HANDLE h = g_hFirstDue;
    GUI_TIMER_OBJ* t = T(h);
    if (Diff(t->t0, now) > 0) break;
    g_hFirstDue = t->hNext;
    t->hNext = 0;
    // Everything needed after the call is taken now: the callback may delete its timer.
    const GUI_TIMER_HANDLE hSuccessor = g_hFirstDue;
    GUI_TIMER_CALLBACK* cb = t->cb;
    GUI_TIMER_MESSAGE msg{now, t->Context, h};
    if (cb) cb(&msg);
    ran = true;
    if (!hSuccessor || g_hFirstDue == hStart) break;
  }
  return (ran && g_hFirstDue) ? 1 : 0;
}

// --- window timers ----------------------------------------------------------------------------
WM_HTIMER WM_CreateTimer(WM_HWIN hWin, int userId, int32_t period) {
  GUI_LockGuard lock;
  WM_HTIMER hWT = GUI_ALLOC_AllocZero(sizeof(WM_TIMER_OBJ));
  if (!hWT) return 0;
  GUI_TIMER_HANDLE hT = GUI_TIMER_CreateEx(SendTimerMessage, Add(GUI_GetTime(), period), hWT, kWindowTimer);
  if (!hT) {
    GUI_ALLOC_Free(hWT);
    return 0;
  }
  GUI_TIMER_SetPeriod(hT, period);
  WM_TIMER_OBJ* w = W(hWT);
  w->hTimer = hT;
  w->hWin = hWin;
  w->UserId = userId;
  return hWT;
}

void WM_DeleteTimer(WM_HTIMER hTimer) {
  GUI_LockGuard lock;
  WM_TIMER_OBJ* w = W(hTimer);
  if (!w) return;
  GUI_TIMER_HANDLE hT = w->hTimer;
  // Only a record that its GUI timer points back to is a live window timer.
  if (!IsTimer(hT) || T(hT)->Context != hTimer || !(T(hT)->Flags & kWindowTimer)) return;
  GUI_TIMER_Delete(hT);
  GUI_ALLOC_Free(hTimer);
}

void WM_RestartTimer(WM_HTIMER hTimer, int32_t period) {
  GUI_LockGuard lock;
  WM_TIMER_OBJ* w = W(hTimer);
  if (!w || !IsTimer(w->hTimer) || T(w->hTimer)->Context != hTimer) return;
  if (period) GUI_TIMER_SetPeriod(w->hTimer, period);
  GUI_TIMER_Restart(w->hTimer);
}

void WM_DeleteWindowTimers(WM_HWIN hWin) {
  GUI_LockGuard lock;
  for (GUI_TIMER_HANDLE h = g_hFirstAll; h;) {
    GUI_TIMER_OBJ* t = T(h);
    const GUI_TIMER_HANDLE next = t->hNextAll;
    if (t->Flags & kWindowTimer) {
      WM_TIMER_OBJ* w = W(static_cast<WM_HTIMER>(t->Context));
      if (w && w->hWin == hWin) WM_DeleteTimer(static_cast<WM_HTIMER>(t->Context));
    }
    h = next;
  }
}
