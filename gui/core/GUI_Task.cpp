// The recursive GUI lock and the task slots: each thread that takes the lock draws with the
// context of its own slot.
#include <algorithm>
#include <new>

#include "gui/GUI_Private.h"

namespace {

struct GUI_TASK_SLOT {
  uint32_t TaskId;                 // 0 = slot free
  GUI_CONTEXT Context;
  GUI_DEVICE* pDevList;            // task-private devices while another task draws
};

constexpr int kMaxEntranceCnt = 48;

GUI_TASK_SLOT* g_slots;
int g_maxTasks = 4;                // the library's own default
uint32_t g_ownerId;
int g_curTask = -1;
int g_delayStep = 10;

void (*g_pfSignalEvent)();
void (*g_pfWaitEvent)();
void (*g_pfWaitEventTimed)(int);

void ExitTask();
GUI_REGISTER_EXIT g_exitTask = {nullptr, ExitTask};
void ExitTask() {
  GUI_ALLOC_FreeFixedBlock(g_slots);
  g_slots = nullptr;
  g_curTask = -1;
}

// Makes slot n current: the context pointer and the task-private devices follow.
void SwitchTo(int n) {
  if (n == g_curTask) return;
  if (g_curTask >= 0) g_slots[g_curTask].pDevList = GUI_DEVICE__UnlinkTaskDevices();
  GUI_pContext = &g_slots[n].Context;
  GUI_DEVICE_LinkDevices(g_slots[n].pDevList);
  g_slots[n].pDevList = nullptr;
  g_curTask = n;
}

}  // namespace

int GUITASK__EntranceCnt;

void GUI__RepointContext(GUI_CONTEXT* p) {
  p->pClipRect_HL = &p->ClipRect;
  p->LCD_pColorIndex = &p->aColorIndex[1];
  p->LCD_pBkColorIndex = &p->aColorIndex[0];
  p->LCD_pAColorIndex = p->aColorIndex;
}

void GUITASK_SetMaxTaskCount(int n) {
  if (!g_slots && n > 0) g_maxTasks = n;
}
int GUITASK_GetMaxTaskCount() { return g_maxTasks; }
int GUITASK_GetEntranceCnt() { return GUITASK__EntranceCnt; }

void GUITASK_Init() {
  GUI__AddExitHook(&g_exitTask);
  size_t bytes = sizeof(GUI_TASK_SLOT) * static_cast<size_t>(g_maxTasks);
  auto* p = static_cast<GUI_TASK_SLOT*>(GUI_ALLOC_GetFixedBlock(static_cast<uint32_t>(bytes)));
  if (!p) {
    GUI_ErrorOut("GUI_Task:\nNot enough memory in function GUITASK_Init. Stop execution here!");
    return;
  }
  for (int i = 0; i < g_maxTasks; ++i) new (&p[i]) GUI_TASK_SLOT{};
  g_curTask = -1;
  GUI__pHooks->pfInitOS();
  // The context used so far becomes slot 0's, claimed by the calling thread.
  p[0].Context = *GUI_pContext;
  GUI__RepointContext(&p[0].Context);
  g_slots = p;
  int n = GUITASK__GetTaskNo();
  GUI_pContext = &g_slots[n].Context;
  g_curTask = n;
}

int GUITASK__GetTaskNo() {
  if (!g_slots) return 0;
  uint32_t id = GUI__pHooks->pfGetTaskId();
  for (int i = 0; i < g_maxTasks; ++i)
    if (g_slots[i].TaskId == id) return i;
  for (int i = 0; i < g_maxTasks; ++i)
    if (g_slots[i].TaskId == 0) {
      g_slots[i].TaskId = id;
      return i;
    }
  GUI_ErrorOut("GUI_Task:\nNo Context available for task in _GetTaskNo(). Increase number of maximum tasks!");
  return 0;
}

int GUI_Lock() {
  uint32_t id = GUI__pHooks->pfGetTaskId();
  if (GUITASK__EntranceCnt == 0 || g_ownerId != id) {
    GUI__pHooks->pfLock();
    g_ownerId = id;
  }
  if (GUITASK__EntranceCnt++ == 0 && g_slots) SwitchTo(GUITASK__GetTaskNo());
  if (GUITASK__EntranceCnt > kMaxEntranceCnt)
    GUI_ErrorOut("GUI_Task:\nGUI_Lock() GUITASK__EntranceCnt overflow in GUI_Lock()");
  return GUITASK__EntranceCnt;
}

bool GUITASK__LockHeldByCaller() {
  return GUITASK__EntranceCnt > 0 && g_ownerId == GUI__pHooks->pfGetTaskId();
}

void GUI_Unlock() {
  if (GUITASK__EntranceCnt <= 0) {
    // An unlock without a lock: report it, but keep the depth at 0 so that the next lock
    // still takes the platform lock and switches the context.
    GUITASK__EntranceCnt = 0;
    GUI_ErrorOut("GUI_Task:\nGUI_Unlock() GUITASK__EntranceCnt underflow in GUI_Unlock()");
    return;
  }
  if (--GUITASK__EntranceCnt == 0) GUI__pHooks->pfUnlock();
}

void GUITASK_CopyContext() {
  if (!g_slots) return;
  GUI_CONTEXT src = *GUI_pContext;
  for (int i = 0; i < g_maxTasks; ++i) {
    g_slots[i].Context = src;
    g_slots[i].TaskId = 0;
    GUI__RepointContext(&g_slots[i].Context);
  }
  g_curTask = -1;
  int n = GUITASK__GetTaskNo();
  GUI_pContext = &g_slots[n].Context;
  g_curTask = n;
}

GUI_CONTEXT* GUITASK_GetpContext(int n) {
  GUI_LockGuard lock;
  if (!g_slots || n < 0 || n >= g_maxTasks) return nullptr;
  return &g_slots[n].Context;
}

int32_t GUI_GetTime() { return GUI__pHooks->pfGetTime(); }

void GUI_SetDelayStep(int ms) { g_delayStep = ms; }
int GUI_GetDelayStep() { return g_delayStep; }

int32_t GUI_Delay(int ms) {
  int32_t t0 = GUI_GetTime();
  for (;;) {
    int32_t now = GUI_GetTime();
    int32_t remaining = ms - (now - t0);
    if (remaining <= 0) return now;
    if (GUI__pfExec) GUI__pfExec();
    GUI_X_Delay(std::min<int32_t>(std::max(g_delayStep, 1), remaining));
  }
}

namespace {
// Runs `wait` with every level of the lock released, then restores the same depth.
template <class F>
void WithLockReleased(F wait) {
  GUI_Lock();
  int depth = GUITASK__EntranceCnt;
  for (int i = 0; i < depth; ++i) GUI_Unlock();
  wait();
  for (int i = 0; i < depth; ++i) GUI_Lock();
  GUI_Unlock();
}
}  // namespace

void GUI_X_Delay(int ms) {
  WithLockReleased([ms] { GUI__pHooks->pfDelay(ms); });
}

void GUI_WaitEvent() {
  WithLockReleased([] {
    int32_t next = 0;
    bool haveTimer = GUI__pfTimerNext && GUI__pfTimerNext(&next);
    if (g_pfWaitEventTimed) {
      if (haveTimer && next != 0)
        g_pfWaitEventTimed(next);
      else if (!haveTimer && g_pfWaitEvent)
        g_pfWaitEvent();
    } else if (!haveTimer && g_pfWaitEvent) {
      g_pfWaitEvent();
    }
  });
}

int GUI_SignalEvent() {
  if (!g_pfSignalEvent) return 0;
  g_pfSignalEvent();
  return 1;
}

void GUI_SetSignalEventHook(void (*pf)()) { g_pfSignalEvent = pf; }
void GUI_SetWaitEventHook(void (*pf)()) { g_pfWaitEvent = pf; }
void GUI_SetWaitEventTimedHook(void (*pf)(int)) { g_pfWaitEventTimed = pf; }

int (*GUI__pfExec)();
int (*GUI__pfTimerNext)(int32_t*);
