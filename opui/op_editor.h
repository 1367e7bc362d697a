// The value editor: every page and display object changes a value through it. An edit
// starts from the field's edit descriptor (OP_EditStart) and the text field that shows the
// value (OP_EditSetTarget); then the page procedure calls OP_EditStep once per cycle until
// it reports the end. The first step opens the touch dialog that fits the field (list,
// keypad, six-bit entry or plus/minus stepper), later steps let the hard keys operate it;
// when the dialog ends the entered value is limited to the field's range, written back
// through the commit hook and shown in the target text.
//
// The edit descriptor is the value entry of the value lists: its kind byte (bit 7 masked
// off) is one of the field kinds below, its value points at the field's value (f32 for the
// float kinds, u16 for kind 6, u8 for kind 10), its limits at FbFloatLimitData (float
// kinds) or FwShortLimit (kinds 6 and 10), and its block is the one whose limit callbacks
// answer and whose handler takes the change.
#pragma once

#include <cstdint>

#include "gui/WM.h"
#include "runtime/fb_values.h"

// Field kinds the editor takes.
enum : uint8_t {
  OP_FIELD_FLOAT = 3,
  OP_FIELD_WORD = 6,
  OP_FIELD_BYTE = 10,
  OP_FIELD_MINSEC = 11,    // seconds, shown minutes:seconds
  OP_FIELD_HMS = 13,       // minutes, shown hours:minutes:seconds
  OP_FIELD_DIGITS = 15,    // a six-digit number
  OP_FIELD_RECORD = 103,   // the number of a text record, shown by its name
};
constexpr uint8_t OP_FIELD_KIND_MASK = 0x7F;

// Editor modes of the target (OP_EditSetTarget).
enum : uint8_t { OP_EDIT_MODE_DIALOG = 0, OP_EDIT_MODE_PLUSMINUS = 1 };

// The editor's open touch window (window flags).
enum : uint8_t {
  OP_EDIT_WIN_KEYPAD = 1, OP_EDIT_WIN_LIST = 2, OP_EDIT_WIN_PLUSMINUS = 4, OP_EDIT_WIN_BITS = 8,
};

constexpr int OP_EDIT_LIST_ROWS = 10;     // list rows filled per cycle
constexpr int OP_EDIT_LIST_CYCLES = 13;   // cycles the fill goes on at most
constexpr float OP_LARGE_MAX = 111111.0f; // six binary digits
constexpr uint8_t OP_HOLD_REPEAT = 7;     // a key held longer repeats every cycle

// Writes a finished value back: 0 done, else the post's or handler's answer.
using OpEditCommit = int (*)(const FbValueEntry* descriptor, uint16_t fieldIndex, float value);

struct OpEditState {
  uint8_t active;          // an edit runs: OP_EditStep is due every cycle
  uint8_t opened;          // the first step has run
  uint8_t redraw;          // set at the start, for the page
  uint8_t kind;            // field kind (after the tags: 11 and 15 from a kind-3 field)
  uint8_t storage;         // bytes of the integer value behind the descriptor (1 or 2; 4 float)
  uint8_t large;           // six binary digits (limits 0..111111, six-bit entry)
  uint8_t selection;       // a choice among texts (list dialog)
  uint8_t discrete;        // the choices are the indices the limit record allows
  uint8_t offAllowed;      // the minimum admits -32000 (off)
  uint8_t off;             // the value is off (-32000)
  uint8_t maxDecimals;     // the most decimals the value may take
  int32_t value, minimum, maximum;      // scaled: value x 10^decimals
  uint8_t valueDecimals, minimumDecimals, maximumDecimals;
  float fvalue, fmin, fmax;             // the same as floats
  float stepUnit;
  FbValueEntry descriptor;              // copy
  uint16_t fieldIndex;
  OpEditCommit commit;                  // OP_ValueCommit unless the caller sets another
  // The target text field.
  char* text;
  uint16_t* changed;
  uint8_t* colours;
  int width;
  uint16_t textBase;                    // text id of choice 0 of a selection
  const uint16_t* records;              // text blocks of a record field, one per 4 records
  int recordCount;
  uint8_t mode;
  uint8_t* stepUp;                      // plus/minus steps set these bytes (OP_EditSetStepTargets)
  uint8_t* stepDown;
  // The open touch window.
  WM_HWIN window;
  uint8_t windowFlags;                  // OP_EDIT_WIN_*
  uint8_t done;                         // the dialog's result flag
  float entry;                          // keypad and six-bit value
  int32_t listValue;                    // list choice
  int8_t step;                          // plus/minus steps not yet taken
  uint16_t fillNext;                    // next candidate of the list fill
  uint8_t fillCycles;
  int32_t startValue;
  uint8_t startDecimals, startOff;
  // After the end.
  uint8_t result;                       // 1: a value was taken and committed
  float resultValue;
  int commitResult;
};
extern OpEditState g_opEdit;

// Prepares an edit of the field: 1 when it can be edited, 0 for no descriptor, no value, no
// limit record or a kind the editor does not take (nothing changes then).
int OP_EditStart(const FbValueEntry* descriptor, uint16_t fieldIndex);
// The text field that shows the value: `width` characters at `text` (never written beyond),
// its changed flag and colour bytes (either may be null; 13 while editing, 5 after), the
// text id of choice 0 for a selection (0: numbers), the record table of a kind-103 field
// and its number of blocks, and the mode (OP_EDIT_MODE_PLUSMINUS asks for the stepper).
void OP_EditSetTarget(char* text, uint16_t* changed, int width, uint8_t* colours,
                      uint16_t textBase, const uint16_t* records, int recordCount, int mode);
// Bytes that the plus/minus dialog's steps set to 1 in place of changing the value, so that
// a block moves the value itself (a manual output, a calibration drive): `up` for a step
// up, `down` for a step down. Null for both: steps change the value again.
void OP_EditSetStepTargets(uint8_t* up, uint8_t* down);
// One cycle of the edit: 1 when it has ended (also when none runs), else 0.
int OP_EditStep();
inline bool OP_EditActive() { return g_opEdit.active != 0; }
// Ends an edit without a result: its dialog is closed and the target shows the value again.
void OP_EditAbort();

// The commit of a finished entry: through the descriptor's parameter handler as a deferred
// request {block, fieldIndex, value} (f32 for the float kinds, u16 otherwise), else straight
// into the value. -32000 is passed as it is.
int OP_ValueCommit(const FbValueEntry* descriptor, uint16_t fieldIndex, float value);
