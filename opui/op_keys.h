// Front-panel key state: the record that every page reads to learn whether a key was
// pressed briefly, is held, or should step a value, and the handlers that keep it.
//
// Once per firmware cycle the dispatcher takes the key code (1, 2, 4, 8 or 16 for the five
// hard keys; 0 or a combination for no key) and calls one handler out of a table of 32,
// indexed by the code's low five bits.
#pragma once

#include <cstdint>

// Key codes and their roles on the pages.
enum : uint8_t {
  OP_KEY_FUNCTION = 1,
  OP_KEY_DOWN = 2,
  OP_KEY_UP = 4,
  OP_KEY_ENTER = 8,
  OP_KEY_EXIT = 16,
};

// A release value below this is a short press; larger values are long presses.
constexpr uint8_t OP_LONG_PRESS = 30;
constexpr uint8_t OP_HOLD_MAX = 255;
constexpr uint16_t OP_IDLE_MAX = 65000;

struct OpKeyState {
  uint8_t exitReleased;      // hold count of the exit key when it was released (0 = none)
  uint8_t enterReleased;
  uint8_t functionReleased;
  uint8_t holdExit;          // cycles the key has been down (0 = up), saturating at 255
  uint8_t holdEnter;
  uint8_t holdUp;            // decays by 3 per idle cycle after release
  uint8_t holdDown;
  uint8_t holdFunction;
  uint16_t idleTicks;        // cycles without any key, saturating at 65000
  uint8_t upStep;            // set for one cycle when the up key starts a new press
  uint8_t downStep;
  uint8_t lastKeyCode;       // the key code of this cycle, low five bits
};

extern OpKeyState g_opKeys;

// A short press: released after 1..29 cycles.
inline bool OP_IsShortPress(uint8_t released) { return released > 0 && released < OP_LONG_PRESS; }

// The handlers (no arguments); the ones for 1, 8 and 16 return the new or previous hold count.
int OP_KeyFunction();
int OP_KeyDown();
int OP_KeyUp();
int OP_KeyEnter();
int OP_KeyExit();
int OP_KeyNone();

// The handler table, indexed by the key code's low five bits.
using OpKeyHandler = int (*)();
extern const OpKeyHandler g_opKeyTable[32];

// Clears the step flags, stores the code and calls its handler.
void OP_DispatchKey(uint32_t code);

// The touch buttons of the value editor's key dialog: only in the touch-key edit state the
// button code becomes the edit list's current line and the press counts as the enter key.
// The state byte and the line are set and read by the value editor.
extern uint8_t g_opTouchEditState;   // 9 = the touch-key edit state
extern uint8_t g_opTouchEditLine;
int OP_EditTouchKey(int buttonCode);

// Clears every field but the step flags and the last key code (start-up, page reset).
void OP_ResetPageCounters();
