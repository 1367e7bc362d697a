// Operating input and the page manager: the per-cycle read of the hard keys and the touch
// pointer, the touch zones of the top bar, the key-state dispatch, the watch for language
// and operating-state changes, the home key, the dialog timeout, and the call of the
// current page procedure. Pages switch screens through the pending page action, so that a
// page procedure never rebuilds the screen it is being called from.
#pragma once

#include <cstdint>

// A page procedure: called once per cycle without arguments; non-zero falls back to the
// default page procedure.
using OpPageProc = int (*)();

// Page ids.
enum : uint16_t {
  OP_PAGE_BLOCK = 9,
  OP_PAGE_PUBLISH = 20,      // a page that publishes the current block
  OP_PAGE_MAIN_MENU = 2305,
};

// Touch zones of the top bar (all with y < 32).
enum : int { OP_ZONE_NONE = 0, OP_ZONE_LEFT = 1, OP_ZONE_MIDDLE = 2, OP_ZONE_RIGHT = 3 };
constexpr int16_t OP_ZONE_LEFT_END = 96;      // x < 96
constexpr int16_t OP_ZONE_MIDDLE_START = 224; // 224 < x < 288
constexpr int16_t OP_ZONE_MIDDLE_WIDTH = 64;
constexpr int16_t OP_ZONE_RIGHT_START = 288;  // x > 288
constexpr int16_t OP_ZONE_HEIGHT = 32;

constexpr uint16_t OP_HOME_HOLD = 30;         // cycles of the exit key that go home
constexpr uint16_t OP_DIALOG_TIMEOUT = 300;   // cycles without input that close a touch window
constexpr uint16_t OP_BLOCK_VIEW_TYPE = 180;  // VUSER: its view is closed on a page reset

// Pointer states of the copy: 2 pressed on the display, 1 a key is down, 0 not pressed.
enum : uint8_t { OP_POINTER_UP = 0, OP_POINTER_KEY = 1, OP_POINTER_PRESSED = 2 };

struct OpPointerCopy {
  int16_t x, y;
  uint8_t state;
  uint8_t layer;
};

struct OpInputState {
  uint32_t keyMask;          // the key code of this cycle (cleared while an overlay is open)
  OpPointerCopy pointer;
  uint8_t inputActive;       // a key is down or the pointer is pressed
};
extern OpInputState g_opInput;

struct OpPageManager {
  OpPageProc current;        // null until the operating interface was reset
  uint16_t pageId;
  uint16_t currentBlock;
  uint16_t counter1;         // cycle counters, saturating at 0xFFFF
  uint16_t counter2;
  uint8_t lastOnline;        // remembered operating state (= 2 or not)
  uint8_t lastEngBit;        // remembered bit 1 of the engineering-state byte
  uint8_t lastLanguage;      // remembered language byte
  uint16_t dialogTimeout;
  uint16_t publishedBlock;   // read by the display objects
  uint8_t jumpPending;       // a jump to a block page or an alarm page is pending
};
extern OpPageManager g_opPage;

struct OpPendingAction {
  OpPageProc fn;
  uint8_t pending;
  uint16_t countdown;
};
extern OpPendingAction g_opPending;

// Overlays of the menus (touch dialogs, lists, editor windows): the overlay flag asks the
// page manager to close them; the nesting count says how many are open.
struct OpOverlayState {
  uint8_t flag;
  uint8_t nesting;
};
extern OpOverlayState g_opOverlay;
inline bool OP_TouchWindowOpen() { return g_opOverlay.nesting != 0; }

// The zone of a pointer press in the top bar (OP_ZONE_*); 0 when not pressed, below the bar,
// outside the zones, or while a touch window is open.
int FW_GetTouchZone();

// Stores the key code and calls its key-state handler.
void OP_DispatchKeyState();

// Pending page action: runs fn at once when an action is already running, else stores it
// for the next cycle. The result of fn, or 0 when stored.
int OP_RequestPageAction(OpPageProc fn);
void OP_PollPendingAction();
void OP_ClearPendingAction();

// One page-manager cycle; the block number published for the display objects (0 none).
uint16_t OP_PageManagerCycle();
uint16_t OP_GetPublishedBlock();

// The operating interface's reset at firmware start: pending action cleared, key state and
// pages reset, the default page current, counters cleared, the watched values taken over.
void OP_ResetUi();

// What the page manager needs of the pages (default page, block page, page leave).
int OP_MenuPageProc();
int OP_BlockPageProc();
