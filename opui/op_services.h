// Services of the device operating interface that the firmware calls: the display calls
// of the start-up and the main cycle, and the I/O slots' record. The small records the
// operating pages share with the blocks are the blocks' (blocks/page_records.h).
#pragma once

#include <cstdint>

#include "blocks/page_records.h"

struct WM_MESSAGE;

// --- The I/O slots' record ---------------------------------------------------------------
// Filled by the firmware from its I/O boards, read by the status pages.

// One I/O slot (A, B, C, P) and its four channel groups.
constexpr int OP_SLOTS = 4;
constexpr int OP_SLOT_GROUPS = 4;
constexpr int OP_GROUP_CHANNELS = 2;
constexpr int OP_CHANNEL_TEXT_LEN = 12;   // not NUL-terminated when full
enum : uint8_t {
  OP_SLOT_INIT = 1, OP_SLOT_CONFIG = 2, OP_SLOT_ONLINE = 3, OP_SLOT_UNUSED = 4,
};
constexpr uint8_t OP_SLOT_FAILED = 171;   // module type of a slot whose module failed
// Marks of a slot value the hardware does not report: the pages show "---" for it.
constexpr uint16_t OP_SLOT_NO_SERIAL = 0xFFFF;   // in serial[0]
constexpr uint8_t OP_SLOT_NO_VERSION = 0xFF;     // hardware version, software version high byte
constexpr int16_t OP_SLOT_NO_TEMPERATURE = INT16_MIN;
struct OpSlotGroup {
  uint16_t code = 0;          // module code (0 none)
  uint8_t state = 0;          // 0 unused, 3 in use, 4 wrong module, other: configuring
  uint8_t channelState = 0;   // in use: 0 ok, 1 cold-junction error, other module error
  uint8_t errors[OP_GROUP_CHANNELS] = {};  // 1 open circuit, 2 reversed polarity, 4 short
  float values[OP_GROUP_CHANNELS] = {};
  char config[OP_GROUP_CHANNELS][OP_CHANNEL_TEXT_LEN] = {};
};
struct OpSlotRecord {
  uint8_t state = OP_SLOT_UNUSED;  // OP_SLOT_*, other values an error
  uint8_t moduleType = 0;          // 1..6; 0 none, 171 failed
  OpSlotGroup groups[OP_SLOT_GROUPS];
  uint16_t serial[4] = {};
  uint8_t hwVersion = 0;
  uint8_t swVersion[2] = {};       // high, low
  int16_t temperature[3] = {};     // current, minimum, maximum in tenths of a degree
  int16_t temperatureLimit = 0;    // a temperature above it is not shown
};

// --- Display calls ---------------------------------------------------------------------

// Sets the screen colours, clears and paints the band y 34..57; the text screen is drawn whole
// again with the next display update.
void OP_ApplyScreenColors();
// Resets the display-object list.
void OP_ClearDisplayList();
// Deletes the pop-up window of the block whose dialog is open.
void OP_CloseBlockDialog();
// Closes a display block's view and its overlays.
void OP_CloseBlockView(uint16_t block);
// Deletes open pop-up windows (menu, edit, message).
void OP_CloseOverlays();
// Creates once the top bar (320 x 34 at y 0) and the body window (320 x 206 at y 34).
void OP_CreateDisplayWindows();
// Resets two key assignments to code 11 and the four key indicators to codes 16..19, state 0.
void OP_InitKeyMap();
// Page procedure of the "Ethernet" line of block 0's value list: pushes the current page
// (at most 10 entries) and opens the Ethernet settings page.
int OP_OpenEthernetPage();
// Resets the page and menu state before a page is shown; 0 also clears the page flags.
void OP_PageEnter(int flag);
// Leaves the current page (closes a block view and overlays, restores the normal display).
void OP_PageLeave();
// The operating interface's reset at firmware start: pending action cleared, page counters
// reset, the default page current, the page entered and the display windows created.
void OP_ResetUi();
// Shows (1) or hides (0) the two page windows, top bar and body; the firmware hides them
// while its full-screen display window is shown.
void OP_ShowPageWindows(int show);
// Window procedure of the firmware's full-screen display window.
void OP_FullScreenProc(WM_MESSAGE* msg);
// Reads the key code and the pointer state at the start of each cycle.
void OP_ReadKeysAndPointer();
// On a language or run-mode change reloads the texts and resets the page, then calls the
// current page procedure with the key event.
void OP_RunPageManager(int keyEvent);
// Sets entry n of the indicator table to {code, state}; entries 3..6 are the four key
// indicators, code 11 means no indicator, codes 16..19 light indicator 1..4.
void OP_SetIndicator(int n, int code, int on);
// Fills the screen in the key's colour (above 0xFFFFFF: white) with its text in the text
// colour (above 0xFFFFFF: black) and the icon of iconNo (20 and up: none) above the keys,
// moved up by yOffset (negative or above 200: not moved).
void OP_ShowKeyTest(uint32_t colour, uint32_t textColour, const char* text, int iconNo,
                    int yOffset);
// Clears the display-update counters (the uptime count and its flag): the start-up pass.
void OP_ClearDisplayCounters();
// Resets the block operating page's field editor (no field, no edit, empty value entry).
void OP_ResetFieldEditor();
// Clears and shows "No key" at 100, 100.
void OP_ShowNoKey();
// Posts start-up step codes, writes pending flag bytes and draws the stored start-up logo.
void OP_ShowStartupLogo();
// Prepares and draws a text screen of type 1..10.
// Returns the new redraw state: 1 when count was 1 (rows only), else 2.
int OP_ShowTextScreen(int type, int count);
// Clears and draws a circle of radius 30 at the touch point (clamped to 319, 239).
void OP_ShowTouchPoint(int x, int y);
// 1 when the byte is set, else sets it and returns 0.
int OP_TestAndSetFlag(uint8_t* flag);
// Per-cycle display update: requested text screen or status text, uptime, page redraw.
void OP_UpdateDisplay();
