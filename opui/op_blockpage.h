// The block page dispatcher: every block with an operating page (controllers, programmers,
// visualisation blocks, input calibration, alarm and user pages) is shown through one page
// procedure, OP_BlockPageProc. It picks the page of the block's type from a table and does
// what all block pages share: the touch zones of the top bar, the field cursor moved by the
// keys and by touch, entering a field (a link, a jump to another block, or the value
// editor), the time-outs, leaving the page.
//
// A page family registers its page by defining its OpBlockPage record (declared below) in
// its own source; the dispatcher's type table names the record for each block type.
#pragma once

#include <cstdint>
#include <span>

#include "opui/op_display.h"
#include "opui/op_input.h"
#include "runtime/fb_values.h"

// Field kinds of the field tables (the kind byte's bit 7 is the page's own flag).
enum : uint8_t {
  OP_PF_LINK = 0,       // the page's other page; selectable while its instance byte is non-zero
  OP_PF_LONG = 2,       // a 32-bit value
  OP_PF_FLOAT = 3,      // a float value
  OP_PF_WORD = 6,       // a 16-bit selection or number
  OP_PF_JUMP = 7,       // the number of another block (16-bit): entering it opens that block
  OP_PF_BYTE = 10,      // an 8-bit selection or number
  OP_PF_MINSEC = 11,    // a time of seconds shown minutes:seconds, its maximum from the page
  OP_PF_HMS = 13,       // a time of minutes with a limit
  OP_PF_RECORD = 103,   // a text record number
  // 100..102, 104: selections shown as texts.
};
constexpr uint8_t OP_PF_KIND_MASK = 0x7F;

// What a field needs beyond its value: the edit target's text list and mode.
struct OpFieldExtra {
  uint16_t textBase;                 // text id of choice 0 of a selection (0: a number)
  const uint16_t* records;           // text blocks of a record field, one per 4 records
  int recordCount;
  uint8_t mode;                      // OP_EDIT_MODE_*
  float (*timeMax)(uint16_t block);  // the maximum of a minutes:seconds field
};

// One field of a page. Its value is at `offset` bytes into the block's instance unless the
// descriptor names a value of its own (a page record's). Fields whose value would lie
// beyond the instance can be neither selected nor entered.
struct OpPageField {
  const FbValueEntry* descriptor;    // kind, limits and handler of the editor (null: not editable)
  const OpFieldExtra* extra;
  uint32_t offset;
  uint8_t kind;                      // OP_PF_*
  const OpRect* touch;               // touch rectangle, screen positions (null: none)
  OpTextRow* row;                    // the field's text row: highlighted while selected
  uint8_t column, width;             // where the value stands in the row
  int16_t paramId;                   // parameter id of a change through the type's handler
};

// The fields of a page, numbered 1..n. `count` may point at a number the page keeps up to
// date; fewer fields than it says are never read.
struct OpFieldTable {
  const uint16_t* count;
  std::span<const OpPageField> fields;
};

// A block type's operating page.
struct OpBlockPage {
  uint8_t screen = 0;                      // text-screen type 1..10
  OpPageProc open = nullptr;               // draws the page, once, as the pending page action
  int (*cycle)(uint16_t field) = nullptr;  // every cycle with the selected field; 1 leaves
  int (*keys)() = nullptr;                 // the page's own keys (trend, alarm); 1 leaves
  void (*key1)(int field) = nullptr;       // key 1 held or released: the field index - 1
  // Own cursor rules (types 3, 4, 8): the field for the index the key gives (0..n).
  uint16_t (*cursor)(uint16_t index, int direction) = nullptr;
  // Own enter rules: -1, 0, 1 as OP_BlockFieldEnter, or OP_ENTER_COMMON for the common ones.
  int (*enter)(uint16_t field) = nullptr;
  const OpFieldTable* fields = nullptr;
  uint8_t* changed = nullptr;              // set by the page: select it again
  uint8_t altView = 0;                     // a key-1 release toggles the alternate view
};
constexpr int OP_ENTER_COMMON = -2;   // an enter hook's answer: go on with the common rules

// The pages of the block families, each defined in the family's page source.
extern const OpBlockPage g_opInputPage;     // 19, 77, 110, 115, 129: input calibration
extern const OpBlockPage g_opProgPage;      // 24, 27: programmers
extern const OpBlockPage g_opCtrlPage;      // 90, 93: controller overview
extern const OpBlockPage g_opCtrlPlusPage;  // 91: controller overview, second field table
extern const OpBlockPage g_opTunePage;      // second page of 90 and 91: parameters
extern const OpBlockPage g_opPidTunePage;   // second page of 93
extern const OpBlockPage g_opValuePage;     // 96 VWERT
extern const OpBlockPage g_opBarPageH;      // 97 VBAR, horizontal (form 0)
extern const OpBlockPage g_opBarPageV;      // 97 VBAR, vertical
extern const OpBlockPage g_opTrendPage;     // 99 VTREND
extern const OpBlockPage g_opAlarmPage;     // 109 VALARM
extern const OpBlockPage g_opUserPage;      // 180 VUSER

// A row of the type table: the page of a block type; with a form word (1-based index of the
// block's word values) a non-zero form selects the other page.
struct OpBlockPageType {
  uint16_t type;            // block type; + 1000 for the second page
  const OpBlockPage* page;
  const OpBlockPage* otherForm;
  uint8_t formWord;
};
constexpr uint16_t OP_SECOND_PAGE = 1000;
// The page of a type (+ 1000: its second page) for a block, null for none.
const OpBlockPage* OP_FindBlockPage(uint16_t type, uint16_t block);

// --- Dispatcher state -----------------------------------------------------------------------

struct OpBlockPageState {
  const OpBlockPage* page;  // the page shown (null: none)
  uint16_t block;           // its block
  uint16_t type;            // the block's type when the page was selected
  uint8_t second;           // the second page of the block is shown
  uint8_t altView;          // the page's alternate view
  uint8_t reselect;         // request: select the page again
  uint8_t leave;            // request: leave the page in this cycle
  uint8_t lastPointer;      // the pointer's state byte in the last cycle
  uint16_t refreshStep;     // the page's refresh step, 0 when a page is selected
  char tag[17];             // the block's tag
};
extern OpBlockPageState g_opBlockPage;

// Jumps between blocks: the record that the block pages and the menu pages share. Path A:
// a block page jumped to another block; path B: the parameter page (page 20) did.
enum : uint16_t {
  OP_JUMP_VIA_B = 0x01,      // the page shown was reached by path B
  OP_JUMP_VIA_A = 0x02,      // ... by path A
  OP_JUMP_RETURN = 0x04,     // the pending target is the way back
  OP_JUMP_B_FIRST = 0x10,    // path B started
  OP_JUMP_A_PENDING = 0x20,  // path A started by a field of a block page
  OP_JUMP_B_AGAIN = 0x40,    // path B started again from a page reached by B
};
struct OpJumpRecord {
  uint16_t flags;
  uint16_t returnA, targetA, returnB, targetB;
  uint16_t pendingReturn;    // the block to go back to from the date and time menu
  uint8_t returnToBlock;
  uint8_t listRebuild;       // the operating-pages list is to be built anew
};
extern OpJumpRecord g_opJump;
constexpr uint16_t OP_JUMP_IDLE_CYCLES = 10;   // a pending path-B jump leaves after this
constexpr uint16_t OP_FIELD_HOLD_CYCLES = 15;  // a field just edited stays as entered
constexpr uint16_t OP_KEY_REPEAT_START = 8, OP_KEY_REPEAT_EVERY = 4;

// Selects the operating page of a block by its type: current block, text screen, pending
// draw. 1 done; 0 for a missing block or a type without a page (nothing changes).
int OP_SelectBlockPage(uint16_t block);
// The block's other page (the second page, or back to the first): 1 done, 0 none.
int OP_SelectSecondPage();
// The block page procedure: 1 leaves to the default page.
int OP_BlockPageProc();
// Enters the selected field: -1 nothing, 0 entered (editor or link), 1 leave the page.
int OP_BlockFieldEnter();
// From a field index, the next selectable one in `direction` (+1, -1); 0 stays 0 (no field),
// and the search ends at 0 past either end.
uint16_t OP_NextEditableField(uint16_t index, int direction = 1);
// Makes another block the pending jump of path A and asks to leave the page: 1, or 0 for a
// number that names no block with a page, or the block shown.
int OP_BlockPageJump(uint16_t block);
// Leaves the page: a user view closed, the overlays closed, then OP_PageExit.
void OP_PageLeave();
// Resolves the page's exit: a pending jump is kept for the menu page to open, otherwise the
// jump record is cleared; then the operating-pages list is shown again.
void OP_PageExit();
// Serves a request for a block's page (OpPageRequest): 1 when a page was selected.
int OP_ServePageRequest();
// The field is being edited, or was entered within the last 15 cycles: its text is not to
// be rewritten.
bool OP_FieldIsHeld(uint16_t field);
// The field table's entry of a field 1..n, null for none.
const OpPageField* OP_PageField(uint16_t field);
// Number of fields of the page shown.
uint16_t OP_PageFieldCount();
// From a field index, the next field of the page shown in `direction` (+1, -1) that
// `available(field)` accepts; 0 stays 0 (no field), and the search ends at 0 past either
// end. The common cursor (OP_NextEditableField) and the pages' own cursor rules use it.
template <typename Available>
uint16_t OP_NextFieldWhere(uint16_t index, int direction, Available available) {
  const uint16_t n = OP_PageFieldCount();
  const int step = direction < 0 ? -1 : 1;
  for (int i = index; i >= 1 && i <= n; i += step) {
    if (available(static_cast<uint16_t>(i))) return static_cast<uint16_t>(i);
  }
  return 0;
}

// --- What the block pages share -------------------------------------------------------------

// One step of the refresh round that every block page runs, one field (or group) a cycle:
// the step to fill now (0 .. steps - 1; step 0 first clears the block's refresh request),
// or -1 past the last step, where a set request is cleared and the next cycle starts a new
// round. The step counter is g_opBlockPage.refreshStep, 0 whenever a page is selected.
int OP_BlockRefreshStep(int steps, uint8_t* request);
// Whether a refresh step skips its field: the field is being edited or was just entered. A
// skip sets the request, so that another round follows and the field is filled once free.
bool OP_RefreshSkips(uint16_t field, uint8_t* request);
// A key 2 or 4 event on a page: a new press (its step flag), or while the key is held every
// fourth cycle from the eighth on.
bool OP_KeyStepEvent(uint8_t step, uint8_t hold, uint8_t key);
// The text of a list of texts by index (first id + index), "??????" for an index outside
// 0 .. count - 1: an instance value never names a text beyond its list.
const char* OP_ListText(uint16_t firstId, int index, int count);
// Writes a page row: the formatted line (cut at the row's end) and the changed word.
void OP_RowPrintf(OpTextRow* row, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Writes `width` characters of a row from `column` on, blank-padded or cut (the rest of
// the row stays), and marks it changed; a longer row is extended with blanks.
void OP_RowPut(OpTextRow* row, int column, int width, const char* text);
// A number of the common format right-aligned in `width` characters and a NUL (out holds
// width + 1 bytes); out is returned.
const char* OP_NumberText(char* out, int width, float value, int decimals);
// A number of the common format, right-aligned in `width` characters at `column`.
void OP_RowNumber(OpTextRow* row, int column, int width, float value, int decimals);
// Sets a page's own float limit record to the range between `a` and `b` (either order),
// without limit callbacks, with `decimals` (clamped to 0..3) as its own attribute: the
// pages load it from the block before the editor starts on a field.
void OP_SetFloatLimits(FbFloatLimitData* limits, float a, float b, int decimals);
