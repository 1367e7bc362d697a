// The operating page of the setpoint programmers (APROG, DPROG) and their segment table.
//
// The page (text screen 2) shows the program's name, the process value, the segment, the
// setpoint output (DPROG: its six tracks), the range, the remaining segment time, the net
// run time and the remaining program time, the mode, halt and state; its fields open the
// segment table, preset a segment, change the manual value and the manual mode and give the
// commands the block offers. Everything comes from the programmer's page record (prog_page.h);
// what the page writes are the record's requests and commands, each taken once by the
// block's next run.
//
// The segment table (text screen 7) lists the program's values line by line: the program
// being edited ("RecEdt"), the start value and, per segment, its type (APRGD2), its time or
// rate and its target value, read from the programmer's data blocks. The cursor moves with
// the keys; entering a line edits its value through the value editor and the data block's
// parameter handler; two cycles after an edit the table is built again. Exit leaves it.
#pragma once

#include <cstdint>

#include "opui/op_menu.h"
#include "runtime/fb_values.h"

// Fields of the programmer page.
enum : uint16_t {
  OP_PROG_FIELD_PROGRAM = 1,   // opens the segment table
  OP_PROG_FIELD_SEGMENT,       // preset (segment number or time)
  OP_PROG_FIELD_OUTPUT,        // the manual value
  OP_PROG_FIELD_MODE,          // manual on/off
  OP_PROG_FIELD_STATE,         // stop, run, reset, search as offered
  OP_PROG_FIELDS = OP_PROG_FIELD_STATE,
};

constexpr uint16_t OP_SEGMENT_LINES_MAX = 9998;   // the table counts no further
constexpr int OP_SEGMENT_ROWS = 8;                // lines shown at a time
constexpr int OP_SEGMENT_NARROW = 8;              // from this many lines the value column is 15
constexpr uint8_t OP_SEGMENT_REBUILD_DELAY = 2;   // cycles from an edit to the rebuild

// The segment table: its state, and the list records of the lines shown (one menu record,
// edit descriptor and label per line).
struct OpSegmentTable {
  uint8_t open;             // shown instead of the page
  uint8_t editing;          // a line is being edited
  uint8_t rebuild;          // the table is to be built again when the delay has run out
  uint8_t rebuildDelay;
  uint8_t digital;          // DPROG: "D n" lines and six-digit values
  uint8_t typed;            // APRGD2 data blocks: three lines a segment
  uint16_t count;           // lines of the table
  uint16_t cursor;          // the line under the cursor (1 .. count)
  uint16_t top;             // the first line shown
  uint16_t edited;          // the line edited last
  uint16_t recipe;          // the program whose segments are shown
  OpMenuHeader header;
  OpMenuItem items[OP_SEGMENT_ROWS];
  FbValueEntry entries[OP_SEGMENT_ROWS];
  FbFloatLimitData limits[OP_SEGMENT_ROWS];
  char labels[OP_SEGMENT_ROWS][8];
};
extern OpSegmentTable g_opSegmentTable;

// Page-open handler (run once as the pending page action) and refresh handler (the page's
// cycle routine: the selected field; 1 leaves the page).
int OP_ProgPageOpen();
int OP_ProgPageRefresh(uint16_t field);

// A time of a programmer's unit as the page shows it (seconds: minutes:seconds, else
// hours:minutes:seconds), rounded up (`up`) or down to whole seconds first, right-aligned in
// `width` characters (0: no blanks).
void OP_ProgTimeText(char* out, int outlen, float value, bool seconds, bool up, int width);

// Counts the lines of the segment table of the programmer shown: 1 the program, 2 the start
// value, then the segment lines while the data blocks hold them, up to the first target value
// of -32000 (that line counts) or OP_SEGMENT_LINES_MAX lines. Notes in the table whether the
// data blocks have segment types.
uint16_t OP_SegmentCount();

// The reset hooks of the block pages: the segment table's open, rebuild and edit flags and
// its delay; the edit-in-progress flag alone (the overlays were closed).
void OP_ResetBlockPageFlags();
void OP_ClearPageFlag();
