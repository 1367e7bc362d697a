// Typed value access for the operating pages.
//
// The operating interface shows any block's inputs, outputs, parameters and values as
// generic lists and lets the user edit parameters there without knowing the block type.
// FB_ReadValuesByClass builds those lists for one block and one data class: list rows, and
// value entries that point straight into the block's instance and carry the label text id,
// the parameter id, the type's parameter handler and the limit record. An edit goes
// through the entry's handler with a request {block, the line's parameter id, the new
// value}, so the pending copies and the run-mode rule apply; lines show the pending copies.
//
// These records never leave the process and hold native pointers.
#pragma once

#include <cstdint>

#include "runtime/fb_param.h"

// Row flags.
enum : uint16_t {
  FB_ROW_LINE = 0x200,       // an ordinary line
  FB_ROW_LAST = 0x800,       // added to the last line
  FB_ROW_TEXT_ONLY = 0x240,  // a class-3 line naming no valid parameter
  FB_ROW_PAGE = 0x100,       // a line that opens a page instead of showing a value
};
constexpr uint16_t FB_LIST_HEADER_FLAGS = 4096;

// Sub-kinds of the input/output list.
enum : uint16_t {
  FB_SUB_ANALOG_IN = 0, FB_SUB_ANALOG_OUT = 1, FB_SUB_DIGITAL_IN = 2, FB_SUB_DIGITAL_OUT = 3,
};

// Kinds of value entries.
enum : uint8_t {
  FB_KIND_FLOAT = 3,         // float parameter or 4-byte value (f32)
  FB_KIND_WORD = 6,          // word parameter or word value (u16)
  FB_KIND_ANALOG = 131,      // analog value reached through a pointer (f32)
  FB_KIND_DIGITAL = 134,     // digital value reached through a pointer (u16)
};

// Limit data of a float line: a copy of the float limit record and the attribute word (the
// record's own value 0..3, or the block's instance word with that number).
struct FbFloatLimitData {
  float min;
  float max;
  FwFloatBound minFn;
  FwFloatBound maxFn;
  const uint16_t* attribute;
  uint16_t ownAttribute;     // where `attribute` points when the record holds the value
};

struct FbValueEntry {
  uint8_t kind;              // FB_KIND_*
  uint8_t zero;
  void* value;               // f32 or u16, 2-byte aligned (read with memcpy)
  FbParamHandler handler;    // parameter handler of the block's type, or none
  const void* limits;        // FbFloatLimitData (float kinds) or FwShortLimit (word kinds)
  uint16_t block;
  uint16_t zero2;
};

// The value lists are menus of the operating interface, and its menus are built of the same
// two records: a header, and the lines (items) it names, which follow one another and end
// with the first line that carries FB_ROW_LAST.
struct FbListHeader;

struct FbListRow {
  uint16_t flags;            // FB_ROW_*
  uint16_t sub;              // sub-kind (class 0), parameter id, or a menu item's number
  FbValueEntry* entry;       // null for text-only, empty and page lines
  uint32_t zero;
  uint16_t textId;           // label text id (0: none)
  const char* ownText;       // class 3: the line's own 16-character label
  int (*pageProc)();         // FB_ROW_PAGE lines: the page procedure or menu handler
  const void* pageInput;     // class 3: the value (f32) at the page block's analog input of
                             // the line's number
  const FbListHeader* submenu;  // a menu item without flags: the menu it opens (null: none)
};

struct FbListHeader {
  uint16_t flags;            // 4096
  uint16_t value;            // the menu's page id; 0 for the value lists
  int (*callback)();         // returns 0
  uint16_t lineCount;        // reset to 0 at each build
  uint16_t textId;           // the title's text id (0: none)
  const FbListRow* items;    // the first line
  uint16_t capacity;         // lines behind `items` a walk may read at most
};

constexpr uint32_t FB_VALUE_ROWS = 256;

struct FbValueLists {
  FbListHeader header;
  uint16_t rowCount;         // rows built (at least 1)
  FbListRow rows[FB_VALUE_ROWS];
  FbValueEntry entries[FB_VALUE_ROWS];
  FbFloatLimitData floatLimits[FB_VALUE_ROWS];
};
extern FbValueLists g_fbValueLists;

// Class-3 page data (a parameter page of other blocks): six lines, each a {block, item}
// pair and a 16-character text. The block-list entry's page data of such a block points at
// this record, behind its 6-byte page header.
constexpr uint32_t FB_PARAM_PAGE_LINES = 6;
struct FbParamPageLine {
  uint16_t block;
  uint16_t item;             // 1..word parameters: word parameter, higher: float parameter
  char text[16];
};
struct FbParamPage {
  uint8_t hide, lock, updated, spare;
  uint16_t type;             // the page block's type
  FbParamPageLine lines[FB_PARAM_PAGE_LINES];
};
// The block type whose page data is a parameter page.
constexpr uint16_t FB_TYPE_VPARA = 98;

// The page procedure of the Ethernet line (the operating interface installs it).
extern int (*g_fbEthernetPage)();

// Builds the lists of a block for a class: 0 inputs and outputs, 1 parameters, 2 values, 3
// the parameter page. *status: 1 done, -1 no such block, -2 class not 0..3 (the lists stay
// as they were). Block 0 is the system-data block: its class-2 list holds data 3000..3008,
// then the DH-switch line while the device is stopped and the Ethernet line with a
// communication option.
void FB_ReadValuesByClass(int32_t cls, uint16_t block, int16_t* status);

// Field accessors on a value entry's limit data.
// The low two bits of the attribute word; 3 when there is none.
int FW_GetFieldAccess(const FbValueEntry* entry);
// Maximum (callback of the block, or the stored value) of a float line.
float FW_GetFieldMaxFloat(const FbValueEntry* entry);
// Minimum of a float line; *offAllowed tells whether -32000 (off) is allowed.
float FW_GetFieldMinFloat(const FbValueEntry* entry, bool* offAllowed);
// Maximum of a word line: -31000 for a discrete set, else callback or stored value.
int16_t FW_GetFieldMaxShort(const FbValueEntry* entry);
// Minimum of a word line: -31000 for a discrete set, else callback or stored value;
// *offAllowed tells whether -32000 is allowed.
int16_t FW_GetFieldMinShort(const FbValueEntry* entry, bool* offAllowed);
