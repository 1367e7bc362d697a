// The touch input dialogs: address entry, numeric keypad, list selection, plus/minus stepper,
// six-bit entry and message box. Each is built from its item table as a child of the
// operating interface's body window, at most one of each kind at a time; while one is open
// the overlay nesting count (g_opOverlay.nesting) is one higher. A dialog ends by its own
// buttons or when it is closed from outside; either way its window is deleted, the count
// lowered once, and a result flag that is still open reads cancelled.
//
// The item positions are screen positions: the frames lie just below the top bar, and the
// keypad and the list would run past the bottom of the display if they were placed from the
// body's origin. Frames have a title bar of 5 pixels.
#pragma once

#include <cstdint>

#include "gui/WM.h"
#include "runtime/fb_values.h"

// A dialog's result, written through the caller's flag.
enum : uint8_t { OP_DIALOG_OPEN = 0, OP_DIALOG_OK = 1, OP_DIALOG_CANCEL = 2 };

// Ids of the dialogs' items.
enum : int {
  OP_ID_FRAME = 2048,
  // Address entry.
  OP_ID_ADDR_EDIT0 = 2049, OP_ID_ADDR_CLOSE = 2056,
  // Keypad.
  OP_ID_KP_EDIT = 2049, OP_ID_KP_1 = 2050, OP_ID_KP_0 = 2059, OP_ID_KP_DEL = 2060,
  OP_ID_KP_OK = 2061, OP_ID_KP_POINT = 2062, OP_ID_KP_SIGN = 2063, OP_ID_KP_ESC = 2064,
  OP_ID_KP_COLON = 2065, OP_ID_KP_SPARE = 2066, OP_ID_KP_OFF = 2067, OP_ID_KP_CU = 2068,
  OP_ID_KP_MIN = 2069, OP_ID_KP_MAX = 2070,
  // List selection.
  OP_ID_LIST = 2049, OP_ID_LIST_ESC = 2050, OP_ID_LIST_OK = 2051,
  // Plus/minus.
  OP_ID_PM_MINUS = 2049, OP_ID_PM_PLUS = 2050, OP_ID_PM_EXIT = 2051,
  // Six-bit entry: box of bit 1 (rightmost) to bit 6 (leftmost).
  OP_ID_BITS_BOX1 = 2049, OP_ID_BITS_ESC = 2055, OP_ID_BITS_OK = 2056,
  // Message box.
  OP_ID_MSG_IMAGE = 2049, OP_ID_MSG_TITLE = 2050, OP_ID_MSG_LINE1 = 2051, OP_ID_MSG_LINE2 = 2052,
  OP_ID_MSG_OK = 2054,
};

constexpr int OP_DIALOG_TITLE_HEIGHT = 5;
constexpr int OP_KEYPAD_CHARS = 10;        // the keypad's entry field
constexpr int OP_BITS = 6;
constexpr uint16_t OP_LIST_ENTRIES = 256;  // entries the list dialog keeps

// Presses and releases the middle of a dialog item's window through the pointer input, so
// that the item's own touch handling runs (the hard keys operate the dialogs this way).
// False when the dialog or the item does not exist.
bool OP_PressDialogButton(WM_HWIN dialog, int id);

// Deletes every open touch dialog (the page manager's overlay close and time-out), or the
// one given when it is an open touch dialog.
void OP_CloseTouchDialogs();
void OP_CloseTouchDialog(WM_HWIN dialog);
// Paints every open touch dialog anew, whole, in the next redraw pass: the touch list under
// them repaints its entries as they refresh, and the dialogs must stay above it.
void OP_RepaintTouchDialogs();
// The window the dialogs open in while a page window covers the body (the full-screen user
// view); 0 gives it back to the body. A parent that no longer exists counts as 0.
void OP_SetDialogParent(WM_HWIN parent);
// Forgets the dialogs and the value editor without touching a window (the display and its
// windows were reset).
void OP_ForgetTouchDialogs();

// --- Address entry ----------------------------------------------------------------------
// One byte of an address: its edit descriptor for the value editor (kind 10, the value
// pointing at the byte, limits 0..255; a parameter handler, when it has one, stores the
// byte) and the field index the editor passes on.
struct OpAddressEntry {
  FbValueEntry descriptor;
  uint16_t index;
};
// Shows the four bytes of `address` in four fields 0..255; releasing a field starts the
// value editor on that byte (the page keeps calling OP_EditStep while OP_EditActive()),
// "Close" ends the dialog. The bytes and descriptors stay the caller's.
WM_HWIN OP_OpenAddressDialog(uint8_t* address, const OpAddressEntry* entries);
WM_HWIN OP_AddressDialog();   // the open address dialog, 0 none

// --- Numeric keypad -----------------------------------------------------------------------
// Kinds: 0 and 1 numbers with `decimals` decimals, 4 a six-digit number ("%06.0f"), 2 a time
// minutes:seconds and 3 hours:minutes:seconds (values in seconds). -32000 shows "OFF".
enum : int {
  OP_KEYPAD_INTEGER = 0, OP_KEYPAD_NUMBER = 1, OP_KEYPAD_MINSEC = 2, OP_KEYPAD_HMS = 3,
  OP_KEYPAD_DIGITS = 4,
};
// Opens the keypad on *value; "OK" writes the entered value (not limited: minimum and
// maximum are shown, the caller applies them; "OFF" enters -32000) and *done = OK, "ESC"
// *done = CANCEL. A text that is no number of the kind leaves the keypad open.
WM_HWIN OP_OpenKeypad(int kind, float* value, float minimum, float maximum, int decimals,
                      uint8_t* done);

// --- List selection -------------------------------------------------------------------
// Entries from text ids: entry i shows text textOffset + codes[i] and stands for codes[i].
struct OpTextList {
  uint16_t textOffset;
  uint16_t count;
  const uint16_t* codes;
};
// Opens the list with the entries of `list` (null: none yet, add them with
// OP_ListDialogAdd); the entry whose code equals *selected is selected, none when no entry
// does. "OK" writes the selected entry's code into *selected (nothing selected: stays
// open), "ESC" ends without a result.
WM_HWIN OP_OpenListDialog(const OpTextList* list, int32_t* selected, uint8_t* done);
// Appends an entry to the open list dialog: 1 added, 0 no list dialog or the list is full.
int OP_ListDialogAdd(const char* text, int32_t code);
int OP_ListDialogCount();

// --- Plus/minus stepper ---------------------------------------------------------------
// Each release of "-" lowers *step by one, of "+" raises it (the caller takes the steps and
// sets *step back to 0); the previous command raises it too, the next command lowers it.
// "EXIT" ends the dialog with *done = OK.
WM_HWIN OP_OpenPlusMinus(int8_t* step, uint8_t* done);

// --- Six-bit entry ------------------------------------------------------------------------
// Shows the six decimal digits of *value as boxes, bit 1 rightmost; "OK" writes the boxes
// back as a number of six digits 0 and 1, "ESC" ends without change.
WM_HWIN OP_OpenBitsDialog(float* value, uint8_t* done);

// --- Message box -------------------------------------------------------------------------
// A title and two lines beside an icon: a streamed bitmap of 50 x 50 (null: the built-in
// icon). "OK" sets *done = OK; the box stays until its owner closes it.
WM_HWIN OP_OpenMessageBox(const uint8_t* icon, uint32_t iconSize, const char* title,
                          const char* line1, const char* line2, uint8_t* done);
// The same with a picture of 50 x 50 pixels in a memory device as the icon (0: the built-in
// icon); the device stays the caller's and must live while the box is open.
WM_HWIN OP_OpenMessageBoxWithDevice(GUI_MEMDEV_Handle icon, const char* title, const char* line1,
                                    const char* line2, uint8_t* done);
void OP_CloseMessageBox();

// The built-in message icon: a GIF89a of 50 x 50 pixels.
extern const uint8_t g_opMessageIcon[];
extern const uint32_t g_opMessageIconSize;
