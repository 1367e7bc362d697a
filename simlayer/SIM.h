// The simulation layer: the platform side of the graphics library on the PC (lock, time,
// delays, error output), the text log and "SimError.log", the hard-key table with the key
// mask, the application thread of the emulated device, and the settings of the emulation.
// No desktop toolkit: the shell's windows attach through the hooks below.
#pragma once

#include <cstdint>
#include <string>

#include "gui/GUI.h"

// Start and stop: installs the library hooks, starts the clock and creates the LCD memory.
// 0 = done, 1 = the LCD memory could not be made (reported).
int SIM_InitHost();
void SIM_ExitHost();

// Hooks called by the graphics library.
void SIM_DelayHook(int ms);
void SIM_ErrorOutHook(const char* s);
void SIM_IdleHook();
void SIM_InitHook();
void SIM_CreateGUIMutex();
void SIM_LockGUI();
void SIM_UnlockGUI();
void SIM_Log(const char* s);
void SIM_ReportError(const char* s);
const char* SIM_GetTitle();
const char* SIM_GetShortTitle();

// Time and delays.
void SIM_Delay(int ms);
int32_t SIM_GetTime();
void SIM_SetTimeScale(int n);      // ignored for n <= 0
int SIM_GetTimeScale();
void SIM_SetClockSource(uint32_t (*pfMilliseconds)());  // null = the monotonic clock

// Errors and the log.
void SIM_Error(const char* s);
void SIM_CloseErrorLog();
void SIM_LogText(const char* s);
void SIM_ClearLog();
const std::string& SIM_GetLog();
void SIM_ShowErrorBoxes(int on);
int SIM_GetShowErrorBoxes();
int SIM_GetNumErrorBoxes();        // boxes shown so far
// Shows a warning box (text, caption); installed by the shell's windows.
void SIM_SetErrorBoxHandler(void (*pfShow)(const char* text, const char* caption));

// Hard keys.
constexpr int SIM_NUM_HARDKEYS = 129;
typedef void SIM_HARDKEY_CB(int key, int state);
void SIM_HardkeyCallback(int key, int state);
void SIM_InitKeys();
int SIM_HARDKEY_GetState(int index);
SIM_HARDKEY_CB* SIM_HARDKEY_SetCallback(int index, SIM_HARDKEY_CB* pfCallback);
int SIM_HARDKEY_SetMode(int index, int mode);
int SIM_HARDKEY_GetMode(int index);     // 1 = toggle mode
int SIM_HARDKEY_SetState(int index, int state);
uint32_t SIM_GetKeyMask();
// The keys the next cycle sees: those held, or a press released before a cycle saw it.
uint32_t SIM_GetCycleKeyMask();
// Receiver of the key mask (the hardware adapter's key input), set by the shell.
void SIM_SetKeyMaskHook(void (*pfHook)(uint32_t mask));
// Repaint of a key window after a state or mode change, set by the shell's windows.
void SIM_SetKeyRepaintHook(void (*pfHook)(int index));

// Pointer state kept by the LCD window for the firmware.
struct SIM_POINTER_STATE {
  int16_t x, y;
  uint8_t state;                   // 2 = pressed
};
void SIM_GetPointerState(SIM_POINTER_STATE* pState);
void SIM_StorePointerState(const SIM_POINTER_STATE* pState);
// Around each firmware cycle: a key or touch pressed and released since the cycle before is
// handed to this cycle, and its release to the next one.
void SIM_InputBeforeCycle();
void SIM_InputAfterCycle();

// Settings.
void SIM_SetLCDPos(int x, int y);
void SIM_GetLCDPos(int* px, int* py);
void SIM_SetScale(int x, int y);
void SIM_GetScale(int* px, int* py);
uint32_t SIM_SetTransColor(uint32_t color);
uint32_t SIM_GetTransColor();
void SIM_SetColorRange(int layer, GUI_COLOR colorMin, GUI_COLOR colorMax);
void SIM_SetLayerValue(int layer, int value);
void SIM_SetCompositeColor(GUI_COLOR color);
void SIM_SetCompositeSize(int xSize, int ySize);
void SIM_SetDelayCallback(void (*pfDelay)(int ms));  // null = sleep
void SIM_SetIdleCallback(void (*pfIdle)());
void SIM_SetLCDHook(void* pHook);
void* SIM_GetLCDHook();
void SIM_SetPendingKey(int key);
int SIM_GetPendingKey();

// The application thread of the emulated device: it only waits in 1 ms steps.
void SIM_StartApplication();
void SIM_StopApplication();
int SIM_IsApplicationRunning();
