// Display objects of the user pages: the number formats they share, the state every object
// keeps at the start of its work words, the table of object kinds the user view creates
// windows for, the text object TXTOBJ and the parameter field PAROBJ.
//
// A display object is a block of its own. Its analog output 1 carries its block number, so
// that a user page (VUSER) binds it by wiring one of its slot inputs to that output. While
// the user page's view is open it creates an object window for every bound object at the
// object's place and clears the object's made flag; the object's own run then lays out what
// it shows inside that window (sized to its text) and, from then on, composes and shows its
// text every cycle and handles the touches that reach its window.
#pragma once

#include <cstdint>

#include "gui/GUI.h"
#include "gui/WM.h"
#include "runtime/fb_store.h"

struct FbParamRequest;
struct FwPicture;

// --- Number formats -------------------------------------------------------------------------

// One format by code: the largest and smallest value shown, the decimals and field width of
// the number, and the texts shown above the largest and below the smallest value.
struct OpNumberFormat {
  float maximum;
  float minimum;
  uint8_t decimals;
  uint8_t width;
  const char* above;
  const char* below;
};
// Codes 1..10 at their index; index 0 is the row of every other code.
extern const OpNumberFormat OP_NumberFormatTable[11];
// The format of a code (a code outside 1..10 gives the last row: 6 digits, no decimals).
const OpNumberFormat& OP_NumberFormat(int code);

// --- Common state of the display objects ------------------------------------------------

// Touch states of an object (set by its window's callback, taken by its run).
enum : uint16_t { OP_TOUCH_IDLE = 0, OP_TOUCH_PRESSED = 1, OP_TOUCH_RELEASED = 2 };
// Requests of an object to the user view that shows it.
enum : uint16_t {
  OP_OBJ_REQ_NONE = 0,
  OP_OBJ_REQ_PAGE = 1,     // close the view and open the page of `target`
  OP_OBJ_REQ_TAKEN = 2,    // the view has served the page request
  OP_OBJ_REQ_REBUILD = 4,  // build the whole view anew
};

// The first work words of every display object. The user view reads and writes them; the
// windows themselves are kept by the view (no window handle lives in an instance).
struct OpObjectState {
  uint16_t made;     // the object's content is laid out in its window
  uint16_t touch;    // OP_TOUCH_*
  uint16_t request;  // OP_OBJ_REQ_*
  uint16_t target;   // the block whose page the object asks for
  uint16_t slot;     // its slot 1..16 in the open view, 0 while not shown
  uint16_t valuesPending;  // changed word or 4-byte values wait for the next run
};

// The common state of a display object, or null for a block that is none (a missing block,
// another type, an instance too small for the record).
OpObjectState* OP_ObjectState(uint32_t block);

// What the user view needs of an object type to show it: the callback of the object's
// window and whether the window takes the view's background as its own (text, picture and
// parameter windows do).
struct OpObjectKind {
  uint16_t type;
  WM_CALLBACK* proc;
  uint8_t transparent;
};
// A notification of an object's window or of what the object made in it (WM_NOTE_CLICKED,
// WM_NOTE_RELEASED): pressed, and released after a press.
void OP_ObjectTouch(uint16_t block, int code);

// The kind of a display-object type, null for any other type.
const OpObjectKind* OP_FindObjectKind(uint32_t type);
constexpr uint16_t OP_OBJECT_TYPE_FIRST = 181, OP_OBJECT_TYPE_LAST = 186;

// --- Helpers of the display objects -----------------------------------------------------

// The user picture whose name (the first 16 bytes of its record, blank- or NUL-padded)
// equals `name` without its trailing blanks (at most 16 characters are compared); null when
// there is none or the name is empty. Only the loaded entries of the picture table are read.
const FwPicture* OP_FindUserPicture(const char* name, int length = FB_TEXT_LEN);

// The chain of text blocks an input is fed from: the TEXT block at input `input` of `block`,
// then the TEXT block at "Casc" of each further one, at most `max` (10) blocks; a block met
// a second time ends the chain. Returns the number of blocks written to `out`.
constexpr int OP_TEXT_CHAIN_MAX = 10;
int OP_WalkTextChain(uint16_t block, uint16_t input, uint16_t* out, int max = OP_TEXT_CHAIN_MAX);

// The device font's codes for three characters of engineering texts: the grave accent
// becomes the degree sign (176), the tilde superscript three (179) and code 127 superscript
// two (178). Converts `n` bytes in place.
void OP_DeviceTextChars(char* text, int n);

// A 16-character text parameter as a NUL-terminated text without trailing blanks (out holds
// at least 17 bytes); an empty text for a missing block or text.
void OP_ObjectText(uint16_t block, uint16_t index, char* out);

// The font of a font number 0..3, null for any other number (the font stays unchanged).
const GUI_FONT* OP_ObjectFont(int number);

// The parameter protocol of the operating interface's blocks: the standard handler; changed
// word and 4-byte values take effect at once while the device is stopped, else *pending (the
// flag `pendingFlag` finds in the block) is set and the block's next run takes them over.
uint8_t OP_BlockParam(FbParamRequest* request, uint16_t* badIndex,
                      uint16_t* (*pendingFlag)(const FbLayout& L));
// The pending word and 4-byte values of a block become its current ones.
void OP_TakeOverValues(const FbLayout& L);

// Steps every display object shares. Init: the pending values take effect, the first
// `workWords` work words are cleared, analog output 1 carries the block number; false when
// the block the schedulers run has fewer work words.
bool OP_ObjectInit(FbLayout* L, uint16_t workWords);
// The parameter handler of the display objects (OP_BlockParam): a changed value lays the
// object out anew.
uint8_t OP_ObjectParam(FbParamRequest* request, uint16_t* badIndex);
// Run: pending floats and values are taken over (values lay the object out anew); true when
// anything changed.
bool OP_ObjectTakePending(const FbLayout& L, OpObjectState& obj);
// A page link: asks the view to open the page of the block `value` names, when that block
// has an operating page and is not the one shown; false when nothing was asked.
bool OP_ObjectRequestPage(OpObjectState& obj, float value);
// The block whose object window (or what the object made inside it) is h, 0 none.
uint16_t OP_ObjectOfWindow(WM_HWIN h);

// Display objects lay out and show a text of at most this many characters.
constexpr int OP_OBJECT_TEXT_CHARS = 40;

// The operating interface is free for an object's touch dialog: no dialog, menu or value
// editor is open, and a block page is shown.
bool OP_ObjectDialogAllowed();
// Forgets an object's open dialog without touching a window (the display list is reset).
void OP_ForgetObjectDialog();

// --- TXTOBJ (type 181) ----------------------------------------------------------------------
//
// Inputs "X 1" (the value), "Min" and "Max" (narrow the format's range when connected);
// output "Obj-No" (its block number); float parameter "Value" (1000: the value entered on the
// object); word values (3000..3003) "InKind" (0 display only, 1 value entry, 2 page link),
// "Mode" (0 number, 1 two-state text, 2 time in seconds, 3 a text of the chain of TEXT blocks
// at "X 1"), "Format" (number-format code) and "Font" (0..3); 4-byte values (3050, 3051)
// "Colour" (text colour 0xBBGGRR) and "BkColour" (background 0xBBGGRR, -1 transparent);
// texts "Prefix" and "Suffix" (the two texts of mode 1). The view places the object.
constexpr uint16_t OP_TYPE_TXTOBJ = 181;
enum : uint16_t {
  TXTOBJ_IN_VALUE = 1, TXTOBJ_IN_MIN = 2, TXTOBJ_IN_MAX = 3,
  TXTOBJ_WORD_INKIND = 1, TXTOBJ_WORD_MODE = 2, TXTOBJ_WORD_FORMAT = 3, TXTOBJ_WORD_FONT = 4,
  TXTOBJ_LONG_COLOUR = 1, TXTOBJ_LONG_BKCOLOUR = 2,
  TXTOBJ_TEXT_PREFIX = 2, TXTOBJ_TEXT_SUFFIX = 3,
};
// Input kinds (TXTOBJ and PAROBJ) and display modes (TXTOBJ).
enum : uint16_t { OP_INKIND_DISPLAY = 0, OP_INKIND_ENTRY = 1, OP_INKIND_PAGE = 2 };
enum : uint16_t { TXTOBJ_NUMBER = 0, TXTOBJ_TWO_STATE = 1, TXTOBJ_TIME = 2, TXTOBJ_LIST = 3 };

// TXTOBJ's work words.
struct TextObjectState {
  OpObjectState obj;
  uint16_t lastShown;       // 255 until a text was shown
  uint16_t minBlock;        // the blocks feeding "Min" and "Max" (0 unconnected)
  uint16_t maxBlock;
  uint16_t textSource;      // "X 1" is fed by a TEXT block
  uint16_t chainCount;      // the chain of TEXT blocks at "X 1"
  uint16_t chain[OP_TEXT_CHAIN_MAX];
  FbF32 minimum, maximum;   // the range in force
  uint16_t width, decimals; // of the number
  uint16_t format;          // the format code the range was taken from
  char text[OP_OBJECT_TEXT_CHARS + 2];  // the text shown
};

void FB_TXTOBJ_Init();
uint8_t FB_TXTOBJ_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TXTOBJ_Run();
void OP_TextObjectProc(WM_MESSAGE* msg);
// Lays out the object in its window (the first run after the view bound it).
void OP_TextObjectLayout(uint16_t block);
// Composes the text the object shows into out (at most 40 characters and a NUL).
void OP_TextObjectCompose(uint16_t block, char* out);

// --- PAROBJ (type 186) ----------------------------------------------------------------------
//
// Input "Page" (page-link block number); output "Obj-No"; word values (3000..3006) "Block"
// (the target block), "ParNo" (the target's parameter 1..n: float parameter ParNo for the
// float kinds, word parameter ParNo for the word kinds), "Kind" (1 word as a number, 2 float
// as a number, 3 float as a time in seconds, 4 word as an entry of a text list, 5 float as
// six binary digits, 0 and 6 display only), "InKind" (0 display only, 1 edit, 2 page link),
// "Dec" (decimals of kind 2), "Font" (0..3) and "TextId" (text id of the list's first text);
// 4-byte values (3050, 3051) "Colour" and "BkColour" as TXTOBJ; texts "Prefix", "Suffix".
constexpr uint16_t OP_TYPE_PAROBJ = 186;
enum : uint16_t {
  PAROBJ_IN_PAGE = 1,
  PAROBJ_WORD_BLOCK = 1, PAROBJ_WORD_PARNO = 2, PAROBJ_WORD_KIND = 3, PAROBJ_WORD_INKIND = 4,
  PAROBJ_WORD_DECIMALS = 5, PAROBJ_WORD_FONT = 6, PAROBJ_WORD_TEXTID = 7,
  PAROBJ_LONG_COLOUR = 1, PAROBJ_LONG_BKCOLOUR = 2,
  PAROBJ_TEXT_PREFIX = 2, PAROBJ_TEXT_SUFFIX = 3,
};
enum : uint16_t {
  PAROBJ_SHOW = 0, PAROBJ_WORD = 1, PAROBJ_FLOAT = 2, PAROBJ_TIME = 3, PAROBJ_LIST = 4,
  PAROBJ_BITS = 5, PAROBJ_SHOW_ONLY = 6,
};

// PAROBJ's work words.
struct ParamObjectState {
  OpObjectState obj;
  uint8_t result;           // the answer to the last parameter request (255 while it waits)
  uint8_t spare;
  char text[OP_OBJECT_TEXT_CHARS + 2];
};

void FB_PAROBJ_Init();
uint8_t FB_PAROBJ_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_PAROBJ_Run();
void OP_ParamObjectProc(WM_MESSAGE* msg);
void OP_ParamObjectCompose(uint16_t block, char* out);
// Posts an entered value to the target as a deferred parameter request {target, parameter
// id, 4 bytes, the target type's parameter handler}; the post's answer (0 posted).
int OP_ParamObjectCommit(uint16_t block, float value);

// Enters the rows of TXTOBJ and PAROBJ into the block-type table.
void OP_RegisterObjectTypes();
