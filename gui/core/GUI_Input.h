// Input buffers of the graphics library: the pending key, the key-message ring, the pointer
// state store, the execution step (GUI_Exec) and the time base.
//
// The window manager connects itself through hooks: the pointer queue, the key delivery to
// the focus window, its redraw pass, and the timer hook of the GUI timers.
#pragma once

#include <cstdint>

// Pointer state: position, pressed flag and layer; compared and copied as 12 bytes.
struct GUI_PID_STATE {
  int32_t x;
  int32_t y;
  uint8_t Pressed;
  uint8_t Layer;
  uint8_t Spare[2];
};
static_assert(sizeof(GUI_PID_STATE) == 12);

struct GUI_KEY_MSG {
  int32_t Key;
  int32_t PressedCnt;
};

// Number of entries of the key-message ring; at most one less are held.
constexpr int GUI_KEY_MSG_RING = 10;

// Keys.
void GUI_StoreKey(int key);
int GUI_GetKey();
int GUI_WaitKey();
int GUI_StoreKeyMsg(int key, int pressedCnt);
int GUI_SendKeyMsg(int key, int pressedCnt);
int GUI_PollKeyMsg();
void GUI_ClearKeyMsgBuffer();
int GUI_PeekKeyMsg(GUI_KEY_MSG* pMsg);
using GUI_KEY_MSG_HOOK = void (*)(const GUI_KEY_MSG* pMsg);
GUI_KEY_MSG_HOOK GUI_SetKeyMsgHook(GUI_KEY_MSG_HOOK pfHook);

// Pointer.
void GUI_PID_StoreState(const GUI_PID_STATE* pState);
int GUI_PID_GetState(GUI_PID_STATE* pState);
int GUI_PID_GetCurrentState(GUI_PID_STATE* pState);
void GUI_PID__SetLastState(const GUI_PID_STATE* pState, int layer);
void GUI_PID__GetLastState(GUI_PID_STATE* pState, int layer);
// May change the state or swallow it (non-zero result: not queued).
using GUI_PID_HOOK = int (*)(GUI_PID_STATE* pState);
GUI_PID_HOOK GUI_PID_SetHook(GUI_PID_HOOK pfHook);

// Execution step.
int GUI_Exec1();
int GUI_Exec();

// Hooks set by the window manager and the GUI timers. Each returns 1 when it did work.
using GUI_EXEC_HOOK = int (*)();
void GUI__SetTimerHook(GUI_EXEC_HOOK pfHook);    // the GUI timers, on the first timer
void GUI__SetWMExecHook(GUI_EXEC_HOOK pfHook);   // one window-manager pass
void GUI__SetWorkHook(GUI_EXEC_HOOK pfHook);     // a further work hook
void GUI__SetAfterExecHook(void (*pfHook)());    // called after each step
// Delivery of a key message to the focus window (1 = taken) and the pointer queue.
void GUI__SetSendKeyToFocus(int (*pfSend)(int key, int pressedCnt));
void GUI__SetPIDQueue(void (*pfQueue)(const GUI_PID_STATE* pState));
