#include "opui/op_dialogs.h"

#include <cstdio>
#include <cstring>

#include "gui/GUI.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_Font.h"
#include "gui/widgets/WIDGET.h"
#include "opui/op_display.h"
#include "opui/op_editor.h"
#include "opui/op_input.h"
#include "opui/op_links.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_text.h"

namespace {

// --- The dialogs' common frame -----------------------------------------------------------

// One open dialog of a kind: its window, whether it counts in the nesting count, and the
// caller's result flag.
struct DialogSlot {
  WM_HWIN window;
  uint8_t counted;
  uint8_t* done;
};
enum : int { kAddress, kKeypad, kList, kPlusMinus, kBits, kMessage, kSlotCount };
DialogSlot g_slots[kSlotCount];

constexpr GUI_COLOR kWhite = 0xFFFFFF;
constexpr int kAlignRight = GUI_TA_RIGHT | GUI_TA_VCENTER;
constexpr int kAlignCentre = GUI_TA_HCENTER | GUI_TA_VCENTER;

constexpr GUI_DIALOG_ITEM item(GUI_CREATE_INDIRECT* create, const char* text, int id, int x, int y,
                               int w, int h, int para = 0, uint16_t flags = 0) {
  return GUI_DIALOG_ITEM{create, text, int16_t(id), int16_t(x), int16_t(y), int16_t(w), int16_t(h),
                         flags, para, 0};
}

// A dialog that is not opened: its result flag reads cancelled.
WM_HWIN refuse(uint8_t* done) {
  if (done) *done = OP_DIALOG_CANCEL;
  return 0;
}

// True when a dialog of the kind is open: a second one is refused (its result flag reads
// cancelled), and the open one keeps its state.
bool busy(int kind, uint8_t* done) {
  const WM_HWIN h = g_slots[kind].window;
  if (!h || !WM_IsWindow(h)) return false;
  refuse(done);
  return true;
}

// The touch that opened a dialog ends there: while it lasts (until the pointer is released)
// the pointer goes to the desktop, which ignores it, so that the key or row now under it is
// neither pressed nor released. The dialog takes only touches that begin after it is shown.
void endOpeningTouch() {
  if (GUI_PID_IsPressed()) WM_SetCapture(WM_GetDesktopWindow(), 1);
}

// Another page window the dialogs open in (0: the body).
WM_HWIN g_dialogParent;

// A dialog's end by its own buttons: the result goes to the caller, the window is deleted
// after the message that ended it (the delete message does the rest).
void endDialog(int kind, uint8_t result) {
  DialogSlot& s = g_slots[kind];
  if (s.done && *s.done == OP_DIALOG_OPEN) *s.done = result;
  if (s.window) GUI_EndDialog(s.window, result);
}

// The dialog's window is being deleted, by its own end or from outside: the nesting count
// is lowered once and an open result reads cancelled.
void dialogDeleted(int kind) {
  DialogSlot& s = g_slots[kind];
  if (s.counted && g_opOverlay.nesting > 0) --g_opOverlay.nesting;
  if (s.done && *s.done == OP_DIALOG_OPEN) *s.done = OP_DIALOG_CANCEL;
  s = DialogSlot{};
}

// The frame's look shared by all dialogs.
void initFrame(WM_HWIN frame) {
  FRAMEWIN_SetTitleHeight(frame, OP_DIALOG_TITLE_HEIGHT);
}

WM_HWIN itemOf(WM_HWIN dialog, int id) { return WM_GetDialogItem(dialog, id); }

// A released child and its id, or 0 for any other message.
int releasedId(const WM_MESSAGE* msg) {
  if (msg->MsgId != WM_MSG_NOTIFY_PARENT || msg->Data.v != WM_NOTE_RELEASED) return 0;
  return WM_GetId(msg->hWinSrc);
}

void setButtonFont(WM_HWIN dialog, int firstId, int lastId, const GUI_FONT* font) {
  for (int id = firstId; id <= lastId; ++id) BUTTON_SetFont(itemOf(dialog, id), font);
}

// --- Address entry -------------------------------------------------------------------------

const GUI_DIALOG_ITEM kAddressItems[] = {
    item(FRAMEWIN_CreateIndirect, "", OP_ID_FRAME, 30, 39, 260, 140),
    item(EDIT_CreateIndirect, "", 2049, 15, 20, 45, 35, 3, kAlignRight),
    item(EDIT_CreateIndirect, "", 2050, 75, 20, 45, 35, 3, kAlignRight),
    item(EDIT_CreateIndirect, "", 2051, 135, 20, 45, 35, 3, kAlignRight),
    item(EDIT_CreateIndirect, "", 2052, 195, 20, 45, 35, 3, kAlignRight),
    item(TEXT_CreateIndirect, ".", 2053, 65, 30, 5, 20),
    item(TEXT_CreateIndirect, ".", 2054, 125, 30, 5, 20),
    item(TEXT_CreateIndirect, ".", 2055, 185, 30, 5, 20),
    item(BUTTON_CreateIndirect, "Close", OP_ID_ADDR_CLOSE, 150, 83, 90, 38),
};

struct AddressState {
  uint8_t* bytes;
  OpAddressEntry entries[4];
  char texts[4][4];       // the editor's target field of each byte
  uint16_t changed;
  uint8_t shown[4];
};
AddressState g_address;

void addressShow(WM_HWIN dialog, int i) {
  g_address.shown[i] = g_address.bytes[i];
  EDIT_SetValue(itemOf(dialog, OP_ID_ADDR_EDIT0 + i), g_address.bytes[i]);
}

// The commit of an address byte: the common commit, then the field shows the new byte.
int addressCommit(const FbValueEntry* descriptor, uint16_t fieldIndex, float value) {
  const int r = OP_ValueCommit(descriptor, fieldIndex, value);
  const WM_HWIN dialog = g_slots[kAddress].window;
  for (int i = 0; i < 4 && dialog; ++i) {
    if (g_address.entries[i].descriptor.value != descriptor->value) continue;
    EDIT_SetValue(itemOf(dialog, OP_ID_ADDR_EDIT0 + i), FW_FloatToU8(value));
  }
  return r;
}

void addressSetUp(WM_HWIN dialog) {
  for (int i = 0; i < 4; ++i) {
    const WM_HWIN e = itemOf(dialog, OP_ID_ADDR_EDIT0 + i);
    EDIT_SetFont(e, &GUI_FontProp24);
    EDIT_SetTextAlign(e, kAlignRight);
    EDIT_SetDecMode(e, g_address.bytes[i], 0, 255, 0, GUI_EDIT_SUPPRESS_LEADING_ZEROES);
    g_address.shown[i] = g_address.bytes[i];
  }
  for (int id = 2053; id <= 2055; ++id) TEXT_SetFont(itemOf(dialog, id), &GUI_FontProp24);
}

// A byte changed behind the fields (a deferred store) shows on the next paint.
bool addressMessage(WM_MESSAGE* msg) {
  if (msg->MsgId != WM_MSG_PAINT) return false;
  if (WM_HWIN frame = g_slots[kAddress].window) {
    for (int i = 0; i < 4; ++i)
      if (g_address.bytes[i] != g_address.shown[i]) addressShow(frame, i);
  }
  return true;
}

// "Close" ends the dialog; a byte's field starts the value editor on it, unless it is busy.
bool addressReleased(WM_HWIN, int id) {
  if (id == OP_ID_ADDR_CLOSE) {
    endDialog(kAddress, OP_DIALOG_OK);
    return true;
  }
  if (id < OP_ID_ADDR_EDIT0 || id >= OP_ID_ADDR_EDIT0 + 4 || OP_EditActive()) return false;
  const int i = id - OP_ID_ADDR_EDIT0;
  if (OP_EditStart(&g_address.entries[i].descriptor, g_address.entries[i].index)) {
    g_opEdit.commit = addressCommit;
    std::snprintf(g_address.texts[i], sizeof g_address.texts[i], "%3u", g_address.bytes[i]);
    OP_EditSetTarget(g_address.texts[i], &g_address.changed, 3, nullptr, 0, nullptr, 0,
                     OP_EDIT_MODE_DIALOG);
  }
  return true;
}

// --- Numeric keypad ------------------------------------------------------------------------

const GUI_DIALOG_ITEM kKeypadItems[] = {
    item(FRAMEWIN_CreateIndirect, "", OP_ID_FRAME, 30, 37, 259, 200),
    item(EDIT_CreateIndirect, "Edit", OP_ID_KP_EDIT, 5, 3, 241, 20, OP_KEYPAD_CHARS, kAlignRight),
    item(BUTTON_CreateIndirect, "1", 2050, 4, 114, 45, 35),
    item(BUTTON_CreateIndirect, "2", 2051, 53, 114, 45, 35),
    item(BUTTON_CreateIndirect, "3", 2052, 102, 114, 45, 35),
    item(BUTTON_CreateIndirect, "4", 2053, 4, 76, 45, 35),
    item(BUTTON_CreateIndirect, "5", 2054, 53, 76, 45, 35),
    item(BUTTON_CreateIndirect, "6", 2055, 102, 76, 45, 35),
    item(BUTTON_CreateIndirect, "7", 2056, 4, 38, 45, 35),
    item(BUTTON_CreateIndirect, "8", 2057, 53, 38, 45, 35),
    item(BUTTON_CreateIndirect, "9", 2058, 102, 38, 45, 35),
    item(BUTTON_CreateIndirect, "0", OP_ID_KP_0, 4, 152, 94, 35),
    item(BUTTON_CreateIndirect, "DEL", OP_ID_KP_DEL, 200, 38, 45, 35),
    item(BUTTON_CreateIndirect, "OK", OP_ID_KP_OK, 200, 114, 45, 74),
    item(BUTTON_CreateIndirect, ".", OP_ID_KP_POINT, 102, 152, 45, 35),
    item(BUTTON_CreateIndirect, "+/-", OP_ID_KP_SIGN, 151, 152, 45, 35),
    item(BUTTON_CreateIndirect, "ESC", OP_ID_KP_ESC, 200, 76, 45, 35),
    item(BUTTON_CreateIndirect, ":", OP_ID_KP_COLON, 151, 114, 45, 35),
    item(BUTTON_CreateIndirect, "Button", OP_ID_KP_SPARE, 151, 76, 45, 35),
    item(BUTTON_CreateIndirect, "OFF", OP_ID_KP_OFF, 151, 38, 45, 35),
    item(TEXT_CreateIndirect, "cu:", OP_ID_KP_CU, 75, 24, 86, 10),
    item(TEXT_CreateIndirect, "min:", OP_ID_KP_MIN, 6, 24, 86, 10),
    item(TEXT_CreateIndirect, "max:", OP_ID_KP_MAX, 145, 24, 100, 10),
};

struct KeypadState {
  int kind;
  float* value;
  float minimum, maximum;
  int decimals;
  char text[OP_KEYPAD_CHARS + 1];
  uint8_t fresh;          // the text shows the current value: the first key replaces it
};
KeypadState g_keypad;

bool isTimeKind(int kind) { return kind == OP_KEYPAD_MINSEC || kind == OP_KEYPAD_HMS; }

// The text of a value in the keypad's kind ("OFF" for -32000).
void keypadValueText(float v, char* out, size_t size) {
  const KeypadState& k = g_keypad;
  if (v == FW_NO_VALUE) {
    std::snprintf(out, size, "OFF");
  } else if (isTimeKind(k.kind)) {
    const uint32_t s = v > 0.0f ? FW_FloatToU32(static_cast<double>(v) + 0.5) : 0;
    if (k.kind == OP_KEYPAD_MINSEC) {
      std::snprintf(out, size, "%u:%.2u", s / 60, s % 60);
    } else {
      std::snprintf(out, size, "%u:%.2u:%.2u", s / 3600, s / 60 % 60, s % 60);
    }
  } else if (k.kind == OP_KEYPAD_DIGITS) {
    std::snprintf(out, size, "%06.0f", static_cast<double>(v));
  } else {
    std::snprintf(out, size, "%.*f", k.decimals, static_cast<double>(v));
  }
}

// The label fields are 10 pixels high: they take the 8-pixel font.
void keypadLabel(WM_HWIN dialog, int id, const char* label, float v) {
  char value[24], text[32];
  keypadValueText(v, value, sizeof value);
  std::snprintf(text, sizeof text, "%s %s", label, value);
  const WM_HWIN h = itemOf(dialog, id);
  TEXT_SetFont(h, &GUI_Font8_1);
  TEXT_SetText(h, text);
}

// Reads the entry: a number of the kind, or a time of up to three parts. False for a text
// that is none.
bool keypadParse(const char* s, float* out) {
  if (std::strcmp(s, "OFF") == 0) {
    *out = FW_NO_VALUE;
    return true;
  }
  const KeypadState& k = g_keypad;
  if (isTimeKind(k.kind)) {
    const int parts = k.kind == OP_KEYPAD_MINSEC ? 2 : 3;
    double part[3] = {0, 0, 0};
    int n = 0, digits = 0;
    for (const char* p = s; *p; ++p) {
      if (*p == ':') {
        if (++n >= parts) return false;
      } else if (*p >= '0' && *p <= '9') {
        part[n] = part[n] * 10 + (*p - '0');
        ++digits;
      } else {
        return false;
      }
    }
    if (digits == 0) return false;
    *out = static_cast<float>(parts == 2 ? part[0] * 60 + part[1]
                                         : part[0] * 3600 + part[1] * 60 + part[2]);
    return true;
  }
  const char* p = s;
  const bool negative = *p == '-';
  if (negative) ++p;
  double v = 0, scale = 1;
  int digits = 0;
  bool point = false;
  for (; *p; ++p) {
    if (*p == '.' && !point) {
      point = true;
    } else if (*p >= '0' && *p <= '9') {
      if (point) {
        scale /= 10;
        v += (*p - '0') * scale;
      } else {
        v = v * 10 + (*p - '0');
      }
      ++digits;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  *out = static_cast<float>(negative ? -v : v);
  return true;
}

// One key of the keypad on its entry text.
void keypadKey(WM_HWIN dialog, int id) {
  KeypadState& k = g_keypad;
  char* t = k.text;
  size_t len = std::strlen(t);
  const bool off = std::strcmp(t, "OFF") == 0;
  const bool time = isTimeKind(k.kind);
  // A digit, point or colon on the shown value or on "OFF" starts a new text.
  const bool starts = id == OP_ID_KP_0 || (id >= OP_ID_KP_1 && id <= OP_ID_KP_1 + 8) ||
                      id == OP_ID_KP_POINT || id == OP_ID_KP_COLON;
  if (starts && (k.fresh || off)) {
    t[0] = 0;
    len = 0;
  }
  const char* point = std::strchr(t, '.');
  if (id == OP_ID_KP_0 || (id >= OP_ID_KP_1 && id <= OP_ID_KP_1 + 8)) {
    const char digit = id == OP_ID_KP_0 ? '0' : static_cast<char>('1' + (id - OP_ID_KP_1));
    const bool decimalsFull = point && static_cast<int>(t + len - point - 1) >= k.decimals;
    if (len < OP_KEYPAD_CHARS && !decimalsFull) {
      t[len++] = digit;
      t[len] = 0;
    }
  } else if (id == OP_ID_KP_POINT) {
    if (!time && k.kind != OP_KEYPAD_DIGITS && k.decimals > 0 && !point) {
      if (len == 0 || (len == 1 && t[0] == '-')) std::strcat(t, "0");
      if (std::strlen(t) < OP_KEYPAD_CHARS) std::strcat(t, ".");
    }
  } else if (id == OP_ID_KP_COLON) {
    int colons = 0;
    for (const char* p = t; *p; ++p) colons += *p == ':';
    if (time && colons < (k.kind == OP_KEYPAD_MINSEC ? 1 : 2)) {
      if (len == 0) std::strcat(t, "0");
      if (std::strlen(t) < OP_KEYPAD_CHARS) std::strcat(t, ":");
    }
  } else if (id == OP_ID_KP_SIGN) {
    if (!time && !off) {
      if (t[0] == '-') {
        std::memmove(t, t + 1, len);
      } else if (len < OP_KEYPAD_CHARS) {
        std::memmove(t + 1, t, len + 1);
        t[0] = '-';
      }
    }
  } else if (id == OP_ID_KP_DEL) {
    if (off) {
      t[0] = 0;
    } else if (len > 0) {
      t[len - 1] = 0;
    }
  } else if (id == OP_ID_KP_OFF) {
    std::strcpy(t, "OFF");
  } else {
    return;
  }
  k.fresh = 0;
  EDIT_SetText(itemOf(dialog, OP_ID_KP_EDIT), t);
}

// OK, ESC or one of the editing keys of the keypad.
void keypadAction(WM_HWIN dialog, int id) {
  KeypadState& k = g_keypad;
  if (id == OP_ID_KP_OK) {
    float v;
    if (keypadParse(k.text, &v)) {
      *k.value = v;
      endDialog(kKeypad, OP_DIALOG_OK);
    }
  } else if (id == OP_ID_KP_ESC) {
    endDialog(kKeypad, OP_DIALOG_CANCEL);
  } else {
    keypadKey(dialog, id);
  }
}

// The keypad key a typed character stands for; 0 for none.
int keypadIdOfChar(int c) {
  if (c >= '1' && c <= '9') return OP_ID_KP_1 + (c - '1');
  switch (c) {
    case '0': return OP_ID_KP_0;
    case '.': case ',': return OP_ID_KP_POINT;
    case ':': return OP_ID_KP_COLON;
    case '-': case '+': return OP_ID_KP_SIGN;
    case 8: return OP_ID_KP_DEL;
    case 13: return OP_ID_KP_OK;
    case 27: return OP_ID_KP_ESC;
    default: return 0;
  }
}

WM_CALLBACK* g_keypadEditDefault;

// The entry line only shows the keypad's text: a character typed on a keyboard acts as the
// keypad key it stands for, so the line never holds a text that OK would not take.
void keypadEditProc(WM_MESSAGE* msg) {
  if (msg->MsgId == WM_MSG_KEY) {
    const auto* key = static_cast<const WM_KEY_INFO*>(msg->Data.p);
    if (key && key->Key >= 32 && key->Key < 256) {
      if (key->PressedCnt > 0) {
        if (const int id = keypadIdOfChar(key->Key)) keypadAction(WM_GetParent(msg->hWin), id);
      }
      return;
    }
    if (key && (key->Key == 8 || key->Key == 13 || key->Key == 27)) {
      if (key->PressedCnt > 0) keypadAction(WM_GetParent(msg->hWin), keypadIdOfChar(key->Key));
      return;
    }
  }
  if (g_keypadEditDefault) g_keypadEditDefault(msg);
}

void keypadSetUp(WM_HWIN dialog) {
  KeypadState& k = g_keypad;
  const WM_HWIN e = itemOf(dialog, OP_ID_KP_EDIT);
  EDIT_SetFont(e, &GUI_FontProp16B);
  WM_CALLBACK* const previous = WM_SetCallback(e, keypadEditProc);
  if (previous != keypadEditProc) g_keypadEditDefault = previous;
  keypadValueText(*k.value, k.text, sizeof k.text);
  k.fresh = 1;
  EDIT_SetText(e, k.text);
  setButtonFont(dialog, OP_ID_KP_1, OP_ID_KP_OFF, &GUI_FontProp16B);
  // "Button" is wider than its key at the keys' font.
  setButtonFont(dialog, OP_ID_KP_SPARE, OP_ID_KP_SPARE, &GUI_FontProp13B);
  keypadLabel(dialog, OP_ID_KP_CU, "cu:", *k.value);
  keypadLabel(dialog, OP_ID_KP_MIN, "min:", k.minimum);
  keypadLabel(dialog, OP_ID_KP_MAX, "max:", k.maximum);
}

// Every released item is a key of the keypad (the others do nothing).
bool keypadReleased(WM_HWIN dialog, int id) {
  keypadAction(dialog, id);
  return true;
}

// --- List selection ------------------------------------------------------------------------

const GUI_DIALOG_ITEM kListItems[] = {
    item(FRAMEWIN_CreateIndirect, "", OP_ID_FRAME, 30, 37, 259, 180),
    item(LISTBOX_CreateIndirect, "Listbox", OP_ID_LIST, 4, 4, 192, 160),
    item(BUTTON_CreateIndirect, "ESC", OP_ID_LIST_ESC, 200, 4, 45, 78),
    item(BUTTON_CreateIndirect, "OK", OP_ID_LIST_OK, 200, 86, 45, 78),
};
constexpr int kListLine = 20;

struct ListState {
  const OpTextList* source;
  int32_t* selected;
  uint16_t count;
  int32_t codes[OP_LIST_ENTRIES];
};
ListState g_list;

int listAdd(WM_HWIN dialog, const char* text, int32_t code) {
  ListState& l = g_list;
  if (l.count >= OP_LIST_ENTRIES) return 0;
  const WM_HWIN box = itemOf(dialog, OP_ID_LIST);
  LISTBOX_AddString(box, text ? text : "");
  l.codes[l.count] = code;
  if (l.selected && *l.selected == code && LISTBOX_GetSel(box) < 0) LISTBOX_SetSel(box, l.count);
  ++l.count;
  return 1;
}

void listSetUp(WM_HWIN dialog) {
  ListState& l = g_list;
  const WM_HWIN box = itemOf(dialog, OP_ID_LIST);
  LISTBOX_SetFont(box, &GUI_FontProp18);
  LISTBOX_SetItemSpacing(box, kListLine);
  LISTBOX_SetBkColor(box, LISTBOX_CI_UNSEL, kWhite);
  l.count = 0;
  if (const OpTextList* src = l.source) {
    for (uint16_t i = 0; i < src->count && src->codes; ++i)
      if (!listAdd(dialog, FW_GetText(src->textOffset + src->codes[i]), src->codes[i])) break;
  }
}

// The next and previous commands move the list's selection.
bool listMessage(WM_MESSAGE* msg) {
  if (msg->MsgId != WM_MSG_CMD_NEXT && msg->MsgId != WM_MSG_CMD_PREVIOUS) return false;
  WM_MESSAGE forward{};
  forward.MsgId = msg->MsgId;
  WM_SendMessage(itemOf(msg->hWin, OP_ID_LIST), &forward);
  return true;
}

bool listReleased(WM_HWIN dialog, int id) {
  ListState& l = g_list;
  if (id == OP_ID_LIST_OK) {
    const int sel = LISTBOX_GetSel(itemOf(dialog, OP_ID_LIST));
    if (sel >= 0 && sel < l.count) {
      if (l.selected) *l.selected = l.codes[sel];
      endDialog(kList, OP_DIALOG_OK);
    }
  } else if (id == OP_ID_LIST_ESC) {
    endDialog(kList, OP_DIALOG_CANCEL);
  } else {
    return false;
  }
  return true;
}

// --- Plus/minus stepper ----------------------------------------------------------------------

const GUI_DIALOG_ITEM kPlusMinusItems[] = {
    item(FRAMEWIN_CreateIndirect, "", OP_ID_FRAME, 62, 40, 166, 150, 100),
    item(BUTTON_CreateIndirect, "-", OP_ID_PM_MINUS, 4, 4, 70, 85),
    item(BUTTON_CreateIndirect, "+", OP_ID_PM_PLUS, 81, 4, 70, 85),
    item(BUTTON_CreateIndirect, "EXIT", OP_ID_PM_EXIT, 4, 94, 90, 38),
};

int8_t* g_pmStep;

void pmAdd(int n) {
  if (!g_pmStep) return;
  const int v = *g_pmStep + n;
  *g_pmStep = static_cast<int8_t>(v < -100 ? -100 : v > 100 ? 100 : v);
}

void plusMinusSetUp(WM_HWIN dialog) {
  BUTTON_SetFont(itemOf(dialog, OP_ID_PM_MINUS), &GUI_FontProp32);
  BUTTON_SetFont(itemOf(dialog, OP_ID_PM_PLUS), &GUI_FontProp32);
  BUTTON_SetFont(itemOf(dialog, OP_ID_PM_EXIT), &GUI_FontProp16B);
}

// The previous command raises the step, the next command lowers it.
bool plusMinusMessage(WM_MESSAGE* msg) {
  if (msg->MsgId == WM_MSG_CMD_PREVIOUS) {
    pmAdd(1);
  } else if (msg->MsgId == WM_MSG_CMD_NEXT) {
    pmAdd(-1);
  } else {
    return false;
  }
  return true;
}

bool plusMinusReleased(WM_HWIN, int id) {
  if (id == OP_ID_PM_MINUS) {
    pmAdd(-1);
  } else if (id == OP_ID_PM_PLUS) {
    pmAdd(1);
  } else if (id == OP_ID_PM_EXIT) {
    endDialog(kPlusMinus, OP_DIALOG_OK);
  } else {
    return false;
  }
  return true;
}

void plusMinusForget() { g_pmStep = nullptr; }

// --- Six-bit entry -------------------------------------------------------------------------

const GUI_DIALOG_ITEM kBitsItems[] = {
    item(FRAMEWIN_CreateIndirect, "", OP_ID_FRAME, 55, 38, 258, 139, 100),
    item(CHECKBOX_CreateIndirect, "Checkbox 1", 2049, 205, 5, 38, 38),
    item(CHECKBOX_CreateIndirect, "Checkbox 2", 2050, 165, 5, 38, 38),
    item(CHECKBOX_CreateIndirect, "Checkbox 3", 2051, 125, 5, 38, 38),
    item(CHECKBOX_CreateIndirect, "Checkbox 5", 2052, 85, 5, 38, 38),
    item(CHECKBOX_CreateIndirect, "Checkbox 5", 2053, 45, 5, 38, 38),
    item(CHECKBOX_CreateIndirect, "Checkbox 6", 2054, 5, 5, 38, 38),
    item(BUTTON_CreateIndirect, "ESC", OP_ID_BITS_ESC, 59, 87, 90, 38),
    item(BUTTON_CreateIndirect, "OK", OP_ID_BITS_OK, 154, 87, 90, 38),
    item(TEXT_CreateIndirect, "6", 2057, 20, 48, 30, 30),
    item(TEXT_CreateIndirect, "1", 2058, 220, 48, 30, 30),
    item(TEXT_CreateIndirect, ".    .    .", 2059, 95, 48, 58, 20),
};

float* g_bitsValue;

void bitsSetUp(WM_HWIN dialog) {
  const float v = g_bitsValue ? *g_bitsValue : 0.0f;
  uint32_t digits = v > 0.0f ? FW_FloatToU32(static_cast<double>(v) + 0.5) : 0;
  for (int bit = 0; bit < OP_BITS; ++bit, digits /= 10)
    CHECKBOX_SetState(itemOf(dialog, OP_ID_BITS_BOX1 + bit), digits % 10 ? 1 : 0);
  for (int id = 2057; id <= 2059; ++id) TEXT_SetFont(itemOf(dialog, id), &GUI_FontProp20B);
  setButtonFont(dialog, OP_ID_BITS_ESC, OP_ID_BITS_OK, &GUI_FontProp16B);
}

bool bitsReleased(WM_HWIN dialog, int id) {
  if (id == OP_ID_BITS_OK) {
    uint32_t v = 0;
    for (int bit = OP_BITS - 1; bit >= 0; --bit)
      v = v * 10 + (CHECKBOX_IsChecked(itemOf(dialog, OP_ID_BITS_BOX1 + bit)) ? 1 : 0);
    if (g_bitsValue) *g_bitsValue = static_cast<float>(v);
    endDialog(kBits, OP_DIALOG_OK);
  } else if (id == OP_ID_BITS_ESC) {
    endDialog(kBits, OP_DIALOG_CANCEL);
  } else {
    return false;
  }
  return true;
}

void bitsForget() { g_bitsValue = nullptr; }

// --- Message box -----------------------------------------------------------------------------

const GUI_DIALOG_ITEM kMessageItems[] = {
    item(FRAMEWIN_CreateIndirect, "", OP_ID_FRAME, 20, 41, 275, 146),
    item(IMAGE_CreateIndirect, "", OP_ID_MSG_IMAGE, 5, 20, 50, 50),
    item(TEXT_CreateIndirect, "", OP_ID_MSG_LINE1, 60, 41, 192, 16),
    item(TEXT_CreateIndirect, "", OP_ID_MSG_LINE2, 60, 58, 192, 16),
    item(BUTTON_CreateIndirect, "OK", OP_ID_MSG_OK, 164, 84, 90, 35),
};
constexpr int kIconX = 5, kIconY = 20;
constexpr int kTextChars = 40;

struct MessageState {
  const uint8_t* icon;
  uint32_t iconSize;
  GUI_MEMDEV_Handle iconDevice;
  char title[kTextChars + 1], line1[kTextChars + 1], line2[kTextChars + 1];
};
MessageState g_message;

void copyLine(char* out, const char* s) {
  std::snprintf(out, kTextChars + 1, "%s", s ? s : "");
}

void messageSetUp(WM_HWIN dialog) {
  const MessageState& m = g_message;
  const WM_HWIN client = WM_GetClientWindow(dialog);
  if (!m.icon && !m.iconDevice) IMAGE_SetGIF(itemOf(dialog, OP_ID_MSG_IMAGE), g_opMessageIcon, g_opMessageIconSize);
  const bool lines = m.line1[0] || m.line2[0];
  // Above the lines the title reaches into the first one: its text stands at the top.
  const WM_HWIN title = TEXT_CreateEx(65, lines ? 28 : 47, 192, 22, client, WM_CF_SHOW,
                                      lines ? GUI_TA_HCENTER : kAlignCentre, OP_ID_MSG_TITLE, m.title);
  TEXT_SetFont(title, &GUI_FontProp16B);
  const char* texts[2] = {m.line1, m.line2};
  for (int i = 0; i < 2; ++i) {
    const WM_HWIN t = itemOf(dialog, OP_ID_MSG_LINE1 + i);
    TEXT_SetFont(t, &GUI_FontProp16);
    TEXT_SetTextAlign(t, kAlignCentre);
    TEXT_SetText(t, texts[i]);
  }
  BUTTON_SetFont(itemOf(dialog, OP_ID_MSG_OK), &GUI_FontProp16B);
}

// An icon of the caller's is drawn at every paint.
bool messageMessage(WM_MESSAGE* msg) {
  if (msg->MsgId != WM_MSG_PAINT) return false;
  const MessageState& m = g_message;
  const WM_HWIN dialog = msg->hWin;
  if (m.icon) OP_GfxDrawStreamed(m.icon, m.iconSize, kIconX, kIconY);
  if (m.iconDevice) {
    OP_GfxWriteDeviceAt(m.iconDevice, WM_GetWindowOrgX(dialog) + kIconX, WM_GetWindowOrgY(dialog) + kIconY);
  }
  return true;
}

// "OK" gives the result; the box stays until its owner closes it.
bool messageReleased(WM_HWIN, int id) {
  if (id != OP_ID_MSG_OK) return false;
  DialogSlot& s = g_slots[kMessage];
  if (s.done) *s.done = OP_DIALOG_OK;
  return true;
}

// --- The dialogs' builder ------------------------------------------------------------------

// A kind of dialog: its item table and the steps of its procedure that are its own. The one
// procedure of all dialogs gives the frame its look before the kind's set-up, lowers the
// nesting count when the window goes before the kind forgets its state, and hands the kind the
// messages of its own (paint, commands) and its released items; what the kind does not take
// goes to the window manager's default procedure.
struct DialogType {
  const GUI_DIALOG_ITEM* items;
  int count;
  void (*setUp)(WM_HWIN dialog);
  bool (*released)(WM_HWIN dialog, int id);   // false: not an item of the kind's
  bool (*message)(WM_MESSAGE* msg);           // null: none; false: not taken
  void (*forget)();                           // null: nothing to forget
};

template <size_t N>
constexpr DialogType dialogType(const GUI_DIALOG_ITEM (&items)[N], void (*setUp)(WM_HWIN),
                                bool (*released)(WM_HWIN, int), bool (*message)(WM_MESSAGE*) = nullptr,
                                void (*forget)() = nullptr) {
  return DialogType{items, static_cast<int>(N), setUp, released, message, forget};
}

// In the order of the slots.
const DialogType kDialogTypes[kSlotCount] = {
    dialogType(kAddressItems, addressSetUp, addressReleased, addressMessage),
    dialogType(kKeypadItems, keypadSetUp, keypadReleased),
    dialogType(kListItems, listSetUp, listReleased, listMessage),
    dialogType(kPlusMinusItems, plusMinusSetUp, plusMinusReleased, plusMinusMessage, plusMinusForget),
    dialogType(kBitsItems, bitsSetUp, bitsReleased, nullptr, bitsForget),
    dialogType(kMessageItems, messageSetUp, messageReleased, messageMessage),
};

template <int Kind>
void dialogProc(WM_MESSAGE* msg) {
  const DialogType& type = kDialogTypes[Kind];
  switch (msg->MsgId) {
    case WM_MSG_INIT_DIALOG:
      initFrame(msg->hWin);
      type.setUp(msg->hWin);
      return;
    case WM_MSG_DELETE:
      dialogDeleted(Kind);
      if (type.forget) type.forget();
      return;
    default:
      break;
  }
  if (type.message && type.message(msg)) return;
  const int id = releasedId(msg);
  if (!id || !type.released(msg->hWin, id)) WM_DefaultProc(msg);
}

WM_CALLBACK* const kDialogProcs[kSlotCount] = {
    dialogProc<kAddress>, dialogProc<kKeypad>, dialogProc<kList>,
    dialogProc<kPlusMinus>, dialogProc<kBits>, dialogProc<kMessage>,
};

// Opens a dialog of the kind from its table as a child of the body window (or of the page
// window set to cover it), with the table's positions taken as screen positions. 0 when it
// cannot be made.
WM_HWIN openDialog(int kind, uint8_t* done) {
  DialogSlot& s = g_slots[kind];
  s = DialogSlot{0, 0, done};
  if (done) *done = OP_DIALOG_OPEN;
  const WM_HWIN parent = OP_WinExists(g_dialogParent) ? g_dialogParent
                         : OP_WinExists(g_opDisplay.body) ? g_opDisplay.body
                                                          : 0;
  const int x0 = parent ? -WM_GetWindowOrgX(parent) : 0;
  const int y0 = parent ? -WM_GetWindowOrgY(parent) : 0;
  const DialogType& type = kDialogTypes[kind];
  const WM_HWIN h = GUI_CreateDialogBox(type.items, type.count, kDialogProcs[kind], parent, x0, y0);
  if (!h) {
    s.done = nullptr;
    return refuse(done);
  }
  s.window = h;
  s.counted = 1;
  if (g_opOverlay.nesting < 0xFF) ++g_opOverlay.nesting;
  endOpeningTouch();
  return h;
}

}  // namespace

// --- Interfaces ------------------------------------------------------------------------------

bool OP_PressDialogButton(WM_HWIN dialog, int id) {
  if (!dialog || !WM_IsWindow(dialog)) return false;
  const WM_HWIN h = itemOf(dialog, id);
  if (!h) return false;
  GUI_RECT r{};
  WM_GetWindowRectEx(h, &r);
  GUI_PID_STATE s{};
  s.x = (r.x0 + r.x1) / 2;
  s.y = (r.y0 + r.y1) / 2;
  s.Layer = 0;
  s.Pressed = 1;
  OP_LinkQueuePointer(&s);
  s.Pressed = 0;
  OP_LinkQueuePointer(&s);
  return true;
}

void OP_CloseTouchDialogs() {
  for (DialogSlot& s : g_slots) {
    if (s.window && WM_IsWindow(s.window)) {
      WM_DeleteWindow(s.window);
    } else if (s.window) {
      // Deleted with its parent without a word to us: settle the count all the same.
      dialogDeleted(static_cast<int>(&s - g_slots));
    }
  }
}

void OP_RepaintTouchDialogs() {
  for (const DialogSlot& s : g_slots) {
    if (s.window && WM_IsWindow(s.window)) WM__InvalidateTree(s.window);
  }
}

void OP_ForgetTouchDialogs() {
  for (DialogSlot& s : g_slots) s = DialogSlot{};
  g_dialogParent = 0;
  g_opEdit = OpEditState{};
  g_pmStep = nullptr;
  g_bitsValue = nullptr;
}

void OP_CloseTouchDialog(WM_HWIN dialog) {
  for (const DialogSlot& s : g_slots) {
    if (dialog && s.window == dialog && WM_IsWindow(dialog)) {
      WM_DeleteWindow(dialog);
      return;
    }
  }
}

WM_HWIN OP_OpenAddressDialog(uint8_t* address, const OpAddressEntry* entries) {
  if (!address || !entries || busy(kAddress, nullptr)) return 0;
  g_address.bytes = address;
  for (int i = 0; i < 4; ++i) g_address.entries[i] = entries[i];
  g_address.changed = 0;
  return openDialog(kAddress, nullptr);
}

WM_HWIN OP_AddressDialog() {
  const WM_HWIN h = g_slots[kAddress].window;
  return h && WM_IsWindow(h) ? h : 0;
}

WM_HWIN OP_OpenKeypad(int kind, float* value, float minimum, float maximum, int decimals,
                      uint8_t* done) {
  if (busy(kKeypad, done)) return 0;
  if (!value || kind < OP_KEYPAD_INTEGER || kind > OP_KEYPAD_DIGITS) return refuse(done);
  KeypadState& k = g_keypad;
  k = KeypadState{};
  k.kind = kind;
  k.value = value;
  k.minimum = minimum;
  k.maximum = maximum;
  const bool whole = kind == OP_KEYPAD_DIGITS || isTimeKind(kind);
  k.decimals = whole || decimals < 0 ? 0 : decimals > 3 ? 3 : decimals;
  return openDialog(kKeypad, done);
}

WM_HWIN OP_OpenListDialog(const OpTextList* list, int32_t* selected, uint8_t* done) {
  if (busy(kList, done)) return 0;
  g_list.source = list;
  g_list.selected = selected;
  g_list.count = 0;
  return openDialog(kList, done);
}

int OP_ListDialogAdd(const char* text, int32_t code) {
  const WM_HWIN h = g_slots[kList].window;
  return h && WM_IsWindow(h) ? listAdd(h, text, code) : 0;
}

int OP_ListDialogCount() { return g_slots[kList].window ? g_list.count : 0; }

WM_HWIN OP_OpenPlusMinus(int8_t* step, uint8_t* done) {
  if (busy(kPlusMinus, done)) return 0;
  g_pmStep = step;
  if (step) *step = 0;
  return openDialog(kPlusMinus, done);
}

WM_HWIN OP_OpenBitsDialog(float* value, uint8_t* done) {
  if (busy(kBits, done)) return 0;
  if (!value) return refuse(done);
  g_bitsValue = value;
  return openDialog(kBits, done);
}

namespace {
WM_HWIN openMessageBox(const uint8_t* icon, uint32_t iconSize, GUI_MEMDEV_Handle iconDevice,
                       const char* title, const char* line1, const char* line2, uint8_t* done) {
  if (busy(kMessage, done)) return 0;
  MessageState& m = g_message;
  m.icon = icon && iconSize ? icon : nullptr;
  m.iconSize = m.icon ? iconSize : 0;
  m.iconDevice = m.icon ? 0 : iconDevice;
  copyLine(m.title, title);
  copyLine(m.line1, line1);
  copyLine(m.line2, line2);
  return openDialog(kMessage, done);
}
}  // namespace

WM_HWIN OP_OpenMessageBox(const uint8_t* icon, uint32_t iconSize, const char* title,
                          const char* line1, const char* line2, uint8_t* done) {
  return openMessageBox(icon, iconSize, 0, title, line1, line2, done);
}

WM_HWIN OP_OpenMessageBoxWithDevice(GUI_MEMDEV_Handle icon, const char* title, const char* line1,
                                    const char* line2, uint8_t* done) {
  return openMessageBox(nullptr, 0, icon > 0 ? icon : 0, title, line1, line2, done);
}

void OP_SetDialogParent(WM_HWIN parent) { g_dialogParent = parent; }

void OP_CloseMessageBox() {
  const WM_HWIN h = g_slots[kMessage].window;
  if (h && WM_IsWindow(h)) WM_DeleteWindow(h);
}
