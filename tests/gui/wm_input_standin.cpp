// Stand-in of the input buffers of the graphics core (pending key, key-message ring, last
// pointer state per layer and the exec step with its hooks) for the window-manager tests,
// until the input module is part of the library.
#include "gui/core/GUI_Input.h"

#include "gui/GUI.h"

namespace {
int g_pendingKey;
GUI_KEY_MSG g_ring[GUI_KEY_MSG_RING];
int g_rd, g_wr;
GUI_PID_STATE g_layerLast[16];
GUI_EXEC_HOOK g_timerHook;
GUI_EXEC_HOOK g_wmExecHook;
int (*g_sendKeyToFocus)(int, int);
void (*g_pidQueue)(const GUI_PID_STATE*);
}  // namespace

void GUI_StoreKey(int key) {
  if (!g_pendingKey) g_pendingKey = key;
}
int GUI_GetKey() {
  int r = g_pendingKey;
  g_pendingKey = 0;
  return r;
}
int GUI_StoreKeyMsg(int key, int pressedCnt) {
  int next = (g_wr + 1) % GUI_KEY_MSG_RING;
  if (next == g_rd) return 0;
  g_ring[g_wr] = GUI_KEY_MSG{key, pressedCnt};
  g_wr = next;
  g_pendingKey = key;
  return 0;
}
int GUI_PollKeyMsg() {
  if (g_rd == g_wr) return 0;
  GUI_KEY_MSG m = g_ring[g_rd];
  g_rd = (g_rd + 1) % GUI_KEY_MSG_RING;
  if (g_sendKeyToFocus) g_sendKeyToFocus(m.Key, m.PressedCnt);
  return 1;
}
void GUI_PID_StoreState(const GUI_PID_STATE* pState) {
  if (g_pidQueue) g_pidQueue(pState);
}
void GUI_PID__SetLastState(const GUI_PID_STATE* pState, int layer) {
  if (layer >= 0 && layer < 16) g_layerLast[layer] = *pState;
}
void GUI_PID__GetLastState(GUI_PID_STATE* pState, int layer) {
  if (layer >= 0 && layer < 16) *pState = g_layerLast[layer];
}
int GUI_Exec1() {
  int r = 0;
  if (g_timerHook) r |= g_timerHook();
  if (g_wmExecHook) r |= g_wmExecHook();
  return r ? 1 : 0;
}
int GUI_Exec() {
  int r = 0;
  while (GUI_Exec1()) r = 1;
  return r;
}
void GUI__SetTimerHook(GUI_EXEC_HOOK pfHook) { g_timerHook = pfHook; }
void GUI__SetWMExecHook(GUI_EXEC_HOOK pfHook) { g_wmExecHook = pfHook; }
void GUI__SetSendKeyToFocus(int (*pfSend)(int, int)) { g_sendKeyToFocus = pfSend; }
void GUI__SetPIDQueue(void (*pfQueue)(const GUI_PID_STATE*)) { g_pidQueue = pfQueue; }
