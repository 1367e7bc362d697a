#include "gui/core/GUI_Input.h"

#include <cstring>

#include "gui/draw/GUI_DrawIf.h"

namespace {

constexpr int kMaxLayers = 16;

int gPendingKey;
GUI_KEY_MSG gRing[GUI_KEY_MSG_RING];
int gRd, gWr;
GUI_KEY_MSG_HOOK gKeyHook;

GUI_PID_STATE gLastStored;
GUI_PID_STATE gLastQueued;
GUI_PID_HOOK gPIDHook;
GUI_PID_STATE gLayerLast[kMaxLayers];

GUI_EXEC_HOOK gTimerHook;
GUI_EXEC_HOOK gWMExecHook;
GUI_EXEC_HOOK gWorkHook;
void (*gAfterHook)();
int (*gSendKeyToFocus)(int, int);
void (*gPIDQueue)(const GUI_PID_STATE*);

int sendKeyToFocus(int key, int pressedCnt) { return gSendKeyToFocus ? gSendKeyToFocus(key, pressedCnt) : 0; }

}  // namespace

void GUI_StoreKey(int key) {
  if (!gPendingKey) gPendingKey = key;
  GUI_SignalEvent();
}

int GUI_GetKey() {
  const int r = gPendingKey;
  gPendingKey = 0;
  return r;
}

int GUI_WaitKey() {
  for (;;) {
    const int key = GUI_GetKey();
    if (key) return key;
    if (!GUI_Exec()) GUI_WaitEvent();
  }
}

int GUI_StoreKeyMsg(int key, int pressedCnt) {
  const int next = (gWr + 1) % GUI_KEY_MSG_RING;
  int slot;
  if (next == gRd) {
    // Full: the newest entry is overwritten, the write position stays.
    slot = (gWr + GUI_KEY_MSG_RING - 1) % GUI_KEY_MSG_RING;
  } else {
    slot = gWr;
    gWr = next;
  }
  gRing[slot].Key = key;
  gRing[slot].PressedCnt = pressedCnt;
  if (gKeyHook) gKeyHook(&gRing[slot]);
  gPendingKey = key;
  return GUI_SignalEvent();
}

int GUI_SendKeyMsg(int key, int pressedCnt) {
  if (!sendKeyToFocus(key, pressedCnt)) return GUI_StoreKeyMsg(key, pressedCnt);
  return 0;
}

int GUI_PollKeyMsg() {
  GUI_Lock();
  int r = 0;
  if (gRd != gWr) {
    const GUI_KEY_MSG msg = gRing[gRd];
    gRd = (gRd + 1) % GUI_KEY_MSG_RING;
    sendKeyToFocus(msg.Key, msg.PressedCnt);
    r = 1;
  }
  GUI_Unlock();
  return r;
}

void GUI_ClearKeyMsgBuffer() {
  GUI_Lock();
  gRd = gWr;
  GUI_Unlock();
}

int GUI_PeekKeyMsg(GUI_KEY_MSG* pMsg) {
  if (gRd == gWr) return 0;
  *pMsg = gRing[gRd];
  return 1;
}

GUI_KEY_MSG_HOOK GUI_SetKeyMsgHook(GUI_KEY_MSG_HOOK pfHook) {
  const GUI_KEY_MSG_HOOK old = gKeyHook;
  gKeyHook = pfHook;
  return old;
}

void GUI_PID_StoreState(const GUI_PID_STATE* pState) {
  if (std::memcmp(pState, &gLastStored, sizeof(GUI_PID_STATE)) == 0) return;
  gLastStored = *pState;
  if (gPIDHook) {
    GUI_PID_STATE copy = *pState;
    const int swallowed = gPIDHook(&copy);
    gLastQueued = copy;
    if (!swallowed && gPIDQueue) gPIDQueue(&copy);
  } else {
    gLastQueued = *pState;
    if (gPIDQueue) gPIDQueue(pState);
  }
}

int GUI_PID_GetState(GUI_PID_STATE* pState) {
  *pState = gLastStored;
  return pState->Pressed != 0;
}

int GUI_PID_GetCurrentState(GUI_PID_STATE* pState) {
  pState->x = gLastStored.x;
  pState->y = gLastStored.y;
  pState->Pressed = gLastStored.Pressed;
  return pState->Pressed != 0;
}

void GUI_PID__SetLastState(const GUI_PID_STATE* pState, int layer) {
  if (layer < 0 || layer >= kMaxLayers) return;
  gLayerLast[layer].x = pState->x;
  gLayerLast[layer].y = pState->y;
  gLayerLast[layer].Pressed = pState->Pressed;
}

void GUI_PID__GetLastState(GUI_PID_STATE* pState, int layer) {
  if (layer < 0 || layer >= kMaxLayers) return;
  pState->x = gLayerLast[layer].x;
  pState->y = gLayerLast[layer].y;
  pState->Pressed = gLayerLast[layer].Pressed;
}

GUI_PID_HOOK GUI_PID_SetHook(GUI_PID_HOOK pfHook) {
  const GUI_PID_HOOK old = gPIDHook;
  gPIDHook = pfHook;
  return old;
}

int GUI_Exec1() {
  int r = 0;
  if (gTimerHook) r |= gTimerHook();
  if (gWMExecHook) r |= gWMExecHook();
  if (gWorkHook) r |= gWorkHook();
  if (gAfterHook) gAfterHook();
  return r ? 1 : 0;
}

int GUI_Exec() {
  int r = 0;
  while (GUI_Exec1()) r = 1;
  return r;
}

namespace {
// GUI_Delay runs the execution step while it waits.
const bool gExecLinked = (GUI__pfExec = GUI_Exec, true);
}  // namespace

void GUI__SetTimerHook(GUI_EXEC_HOOK pfHook) { gTimerHook = pfHook; }
void GUI__SetWMExecHook(GUI_EXEC_HOOK pfHook) { gWMExecHook = pfHook; }
void GUI__SetWorkHook(GUI_EXEC_HOOK pfHook) { gWorkHook = pfHook; }
void GUI__SetAfterExecHook(void (*pfHook)()) { gAfterHook = pfHook; }
void GUI__SetSendKeyToFocus(int (*pfSend)(int, int)) { gSendKeyToFocus = pfSend; }
void GUI__SetPIDQueue(void (*pfQueue)(const GUI_PID_STATE*)) { gPIDQueue = pfQueue; }
