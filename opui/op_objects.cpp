#include "opui/op_objects.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "blocks/block_family.h"
#include "blocks/trig/trig.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_Font.h"
#include "gui/widgets/WIDGET.h"
#include "opui/op_dialogs.h"
#include "opui/op_editor.h"
#include "opui/op_format.h"
#include "opui/op_input.h"
#include "opui/op_links.h"
#include "opui/op_objects2.h"
#include "opui/op_services.h"
#include "opui/op_userpage.h"
#include "runtime/fb_blockdata.h"
#include "runtime/fb_param.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_main_state.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_text.h"

// --- Number formats -----------------------------------------------------------------------------

const OpNumberFormat OP_NumberFormatTable[11] = {
    {999999.0f, -99999.0f, 0, 6, "++++++", "------"},  // every other code
    {9999.9f, -999.9f, 1, 6, "++++++", "------"},
    {999.9f, -99.9f, 2, 6, "++++++", "------"},
    {99.9f, -9.9f, 3, 6, "++++++", "------"},
    {99999.0f, -9999.0f, 0, 5, "+++++", "-----"},
    {999.9f, -99.9f, 1, 5, "+++++", "-----"},
    {99.9f, -9.9f, 2, 5, "+++++", "-----"},
    {9999.0f, -999.0f, 0, 4, "++++", "----"},
    {99.9f, -9.9f, 1, 4, "++++", "----"},
    {999.0f, -99.0f, 0, 3, "+++", "---"},
    {99.0f, -9.0f, 0, 2, "++", "--"},
};

const OpNumberFormat& OP_NumberFormat(int code) {
  return OP_NumberFormatTable[code >= 1 && code <= 10 ? code : 0];
}

// --- Object kinds -------------------------------------------------------------------------------

namespace {

const OpObjectKind kObjectKinds[] = {
    {OP_TYPE_TXTOBJ, OP_TextObjectProc, 1},
    {OP_TYPE_PAROBJ, OP_ParamObjectProc, 1},
    {OP_TYPE_IMGOBJ, OP_PictureObjectProc, 1},
    {OP_TYPE_PROOBJ, OP_ProgressObjectProc, 0},
    {OP_TYPE_BAROBJ, OP_BarObjectProc, 0},
    {OP_TYPE_TRDOBJ, OP_TrendObjectProc, 0},
};

// The touch dialog an object opened (one at a time): its owner, kind, value and range, and
// the list entries still to be added.
enum : uint8_t { kDialogList = 10, kDialogBits = 11 };  // besides the keypad kinds
struct ObjectDialog {
  uint16_t block;         // 0: none
  uint8_t kind;
  uint8_t done;
  float value;
  int32_t listValue;
  int32_t fillNext, fillLast;
  float minimum, maximum;
};
ObjectDialog g_dialog;

}  // namespace

const OpObjectKind* OP_FindObjectKind(uint32_t type) {
  for (const OpObjectKind& k : kObjectKinds) {
    if (k.type == type) return &k;
  }
  return nullptr;
}

OpObjectState* OP_ObjectState(uint32_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || !OP_FindObjectKind(L.type)) return nullptr;
  if (L.workWords * 2u < sizeof(OpObjectState)) return nullptr;
  return reinterpret_cast<OpObjectState*>(L.work);
}

// --- Helpers ------------------------------------------------------------------------------------

namespace {

// Length of a blank- or NUL-padded name of at most 16 characters, trailing blanks removed.
int nameLength(const char* name, int length) {
  int n = 0;
  while (n < length && n < static_cast<int>(FB_TEXT_LEN) && name[n]) ++n;
  while (n > 0 && name[n - 1] == ' ') --n;
  return n;
}

}  // namespace

const FwPicture* OP_FindUserPicture(const char* name, int length) {
  if (!name) return nullptr;
  const int n = nameLength(name, length);
  if (n == 0) return nullptr;
  uint32_t count = 0;
  const FwPicture* table = OP_LinkUserPictures(&count);
  for (uint32_t i = 0; table && i < count && i < FW_PICTURE_TABLE_SIZE; ++i) {
    const auto* rec = reinterpret_cast<const char*>(table[i].record);
    if (rec && nameLength(rec, FB_TEXT_LEN) == n && std::memcmp(rec, name, static_cast<size_t>(n)) == 0) {
      return &table[i];
    }
  }
  return nullptr;
}

int OP_WalkTextChain(uint16_t block, uint16_t input, uint16_t* out, int max) {
  int count = 0;
  uint16_t from = block, at = input;
  while (out && count < max) {
    uint16_t source = 0, output = 0;
    if (FB_GetInputSource(from, at, &source, &output) != BLK_TYPE_TEXT) break;
    bool seen = false;
    for (int i = 0; i < count && !seen; ++i) seen = out[i] == source;
    if (seen) break;
    out[count++] = source;
    from = source;
    at = TEXT_IN_CASC;
  }
  return count;
}

void OP_DeviceTextChars(char* text, int n) {
  for (int i = 0; text && i < n; ++i) {
    switch (static_cast<uint8_t>(text[i])) {
      case 96: text[i] = static_cast<char>(176); break;
      case 126: text[i] = static_cast<char>(179); break;
      case 127: text[i] = static_cast<char>(178); break;
      default: break;
    }
  }
}

void OP_ObjectText(uint16_t block, uint16_t index, char* out) {
  out[0] = 0;
  char* text = nullptr;
  if (!FB_GetTextParamPtr(block, index, &text)) return;
  const int n = nameLength(text, FB_TEXT_LEN);
  std::memcpy(out, text, static_cast<size_t>(n));
  out[n] = 0;
}

const GUI_FONT* OP_ObjectFont(int number) {
  static const GUI_FONT* const kFonts[] = {&GUI_FontProp16, &GUI_FontProp22, &GUI_FontProp24B,
                                           &GUI_FontProp32};
  return number >= 0 && number < static_cast<int>(std::size(kFonts)) ? kFonts[number] : nullptr;
}

void OP_TakeOverValues(const FbLayout& L) {
  for (uint16_t i = 0; i < L.wordValues; ++i) L.wv[i] = L.wv[L.wordValues + i];
  for (uint16_t i = 0; i < L.longValues; ++i) L.lv[i] = L.lv[L.longValues + i].get();
}

uint8_t OP_BlockParam(FbParamRequest* request, uint16_t* badIndex,
                      uint16_t* (*pendingFlag)(const FbLayout& L)) {
  const uint8_t r = FB_StandardParam(request, badIndex);
  if (r != FB_OK) return r;
  const int16_t id = request->id();
  if (!((id >= FB_ID_WORD_VALUE && id < FB_ID_WHOLE_SET) || id == FB_ID_ALL_VALUES)) return r;
  FbLayout L;
  if (!FB_GetLayout(request->block(), &L)) return r;
  uint16_t* pending = pendingFlag ? pendingFlag(L) : nullptr;
  if (!FW_IsRunning()) {
    OP_TakeOverValues(L);
  } else if (pending) {
    *pending = 1;
  }
  return r;
}

void OP_ForgetObjectDialog() { g_dialog = ObjectDialog{}; }

bool OP_ObjectDialogAllowed() {
  return !OP_TouchWindowOpen() && !OP_EditActive() && g_dialog.block == 0 &&
         g_opPage.current == OP_BlockPageProc;
}

// --- Steps every object shares -----------------------------------------------------------------

namespace {

void takeOverValues(const FbLayout& L) { OP_TakeOverValues(L); }

uint16_t* objectPendingFlag(const FbLayout& L) {
  OpObjectState* obj = OP_ObjectState(L.block);
  if (!obj) return nullptr;
  obj->made = 0;  // the object is laid out anew with the values
  return &obj->valuesPending;
}

}  // namespace

bool OP_ObjectInit(FbLayout* L, uint16_t workWords) {
  if (!FB_CurrentLayout(L) || L->workWords < workWords || workWords * 2u < sizeof(OpObjectState)) return false;
  takeOverValues(*L);
  std::memset(L->work, 0, workWords * 2u);
  if (L->analogOutputs > 0) L->ao[0] = static_cast<float>(L->block);
  if (g_dialog.block == L->block) g_dialog = ObjectDialog{};
  return true;
}

uint8_t OP_ObjectParam(FbParamRequest* request, uint16_t* badIndex) {
  return OP_BlockParam(request, badIndex, objectPendingFlag);
}

bool OP_ObjectTakePending(const FbLayout& L, OpObjectState& obj) {
  const bool floats = FB_ApplyPendingFloats(L.block) != FB_APPLY_NONE;
  if (!obj.valuesPending) return floats;
  obj.valuesPending = 0;
  takeOverValues(L);
  obj.made = 0;
  return true;
}

namespace {

template <typename State>
State* initObject(FbLayout* L) {
  if (!OP_ObjectInit(L, BLK_WorkWordsOf<State>())) return nullptr;
  State& s = BLK_WorkState<State>(*L);
  s = State{};
  return &s;
}

void takePending(const FbLayout& L, OpObjectState& obj) { OP_ObjectTakePending(L, obj); }

uint16_t wordValue(const FbLayout& L, uint16_t index) {
  return index >= 1 && index <= L.wordValues ? L.wv[index - 1] : 0;
}

float longAsFloat(const FbLayout& L, uint16_t index) {
  if (index < 1 || index > L.longValues) return -1.0f;
  const uint32_t bits = L.lv[index - 1];
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// A colour 0xBBGGRR held as a float; anything else is no colour.
GUI_COLOR colourOf(float v) {
  if (!(v >= 0.0f) || v > 16777215.0f) return GUI_INVALID_COLOR;
  return FW_FloatToU32(v);
}

// The shown text: "prefix value suffix", each part only when it has text, at most 40
// characters (the rest is cut).
void assemble(char* out, const char* prefix, const char* value, const char* suffix) {
  if (std::snprintf(out, OP_OBJECT_TEXT_CHARS + 1, "%s%s%s%s%s", prefix, prefix[0] ? " " : "", value,
                    suffix[0] ? " " : "", suffix) < 0) {
    out[0] = 0;
  }
}

// Width (and height) of a text in an object's font; the TEXT widget's own font stands for
// font numbers without a font.
int textWidth(int font, const char* text, int* height = nullptr) {
  const GUI_FONT* f = OP_ObjectFont(font);
  const GUI_FONT* previous = GUI_SetFont(f ? f : &GUI_FontProp13);
  const int w = GUI_GetStringDistX(text);
  if (height) *height = GUI_GetFontDistY();
  GUI_SetFont(previous);
  return w;
}

// The object's TEXT widget in its window, sized to the measured text.
void layoutText(const FbLayout& L, OpObjectState& obj, const char* measure, int font,
                uint16_t colourIndex, uint16_t bkIndex) {
  OpViewSlot* slot = OP_UserViewSlotOf(L.block);
  if (!slot || !OP_WinExists(slot->window)) return;
  const GUI_FONT* f = OP_ObjectFont(font);
  int h = 0;
  const int w = textWidth(font, measure, &h) + 2;
  if (OP_WinExists(slot->inner)) WM_DeleteWindow(slot->inner);
  WM_SetSize(slot->window, w, h);
  const WM_HWIN text = TEXT_CreateEx(0, 0, w, h, slot->window, WM_CF_SHOW, GUI_TA_LEFT | GUI_TA_VCENTER,
                                     static_cast<int>(L.block), "");
  if (f) TEXT_SetFont(text, f);
  const GUI_COLOR colour = colourOf(longAsFloat(L, colourIndex));
  TEXT_SetTextColor(text, colour <= 0xFFFFFF ? colour : 0x000000);
  const GUI_COLOR bk = colourOf(longAsFloat(L, bkIndex));
  if (bk <= 0xFFFFFF) TEXT_SetBkColor(text, bk);
  slot->inner = text;
  obj.made = 1;
}

// Shows a text when it differs from the one shown.
void showText(uint16_t block, char* shown, const char* text) {
  if (std::strcmp(shown, text) == 0) return;
  std::snprintf(shown, OP_OBJECT_TEXT_CHARS + 1, "%s", text);
  const OpViewSlot* slot = OP_UserViewSlotOf(block);
  if (slot && OP_WinExists(slot->inner)) TEXT_SetText(slot->inner, shown);
}

// A page link: the view is asked to open the page of the block the value names, when that is
// a block with an operating page other than the one shown.
void requestPage(OpObjectState& obj, float value) { OP_ObjectRequestPage(obj, value); }

// A release that was pressed before, taken once.
bool takeRelease(OpObjectState& obj) {
  if (obj.touch != OP_TOUCH_RELEASED) return false;
  obj.touch = OP_TOUCH_IDLE;
  return true;
}

// What the text-like objects do in every run while their view shows them: laid out when
// due, the composed text shown, a release taken by the object's input kind (a dialog, or a
// page link to the block the page input names). Off the view a touch is dropped.
template <typename Object>
void runShown(Object& o, void (*layout)(Object&), void (*compose)(const Object&, char*),
              void (*dialog)(const Object&), uint16_t inKindWord, uint16_t pageInput) {
  OpObjectState& obj = o.s->obj;
  if (!obj.slot) {
    obj.touch = OP_TOUCH_IDLE;
    return;
  }
  if (!obj.made) layout(o);
  char text[OP_OBJECT_TEXT_CHARS + 1];
  compose(o, text);
  showText(o.L.block, o.s->text, text);
  if (!takeRelease(obj)) return;
  switch (wordValue(o.L, inKindWord)) {
    case OP_INKIND_ENTRY:
      if (OP_ObjectDialogAllowed()) dialog(o);
      break;
    case OP_INKIND_PAGE:
      requestPage(obj, BLK_AnalogIn(o.L, pageInput - 1u));
      break;
    default:
      break;
  }
}

uint16_t blockOfWindow(WM_HWIN h) { return OP_ObjectOfWindow(h); }

// The window callback of the text-like objects: the block number as the window's id, the
// touches of its TEXT widget as the object's touch state.
void objectWindowProc(WM_MESSAGE* msg) {
  switch (msg->MsgId) {
    case WM_MSG_GET_ID:
      msg->Data.v = blockOfWindow(msg->hWin);
      return;
    case WM_MSG_NOTIFY_PARENT:
      OP_ObjectTouch(blockOfWindow(msg->hWin), static_cast<int>(msg->Data.v));
      return;
    default:
      WM_DefaultProc(msg);
  }
}

void openDialog(uint16_t block, uint8_t kind, float value, float minimum, float maximum,
                int decimals) {
  ObjectDialog& d = g_dialog;
  d = ObjectDialog{};
  d.block = block;
  d.kind = kind;
  d.value = value;
  d.minimum = minimum;
  d.maximum = maximum;
  d.listValue = FW_FloatToI32(value);
  d.fillNext = FW_FloatToI32(minimum);
  d.fillLast = FW_FloatToI32(maximum);
  WM_HWIN h = 0;
  if (kind == kDialogList) {
    h = OP_OpenListDialog(nullptr, &d.listValue, &d.done);
  } else if (kind == kDialogBits) {
    h = OP_OpenBitsDialog(&d.value, &d.done);
  } else {
    h = OP_OpenKeypad(kind, &d.value, minimum, maximum, decimals, &d.done);
  }
  if (!h) d = ObjectDialog{};
}

// The text of list entry `code`, false to leave it out.
using ListEntryText = bool (*)(uint16_t block, int32_t code, char* out);

// One cycle of the object's dialog: the list is filled ten entries a cycle; at the end an
// entered value, limited to the range, is handed back (true). False while it runs, after a
// cancel, or when the object has no dialog.
bool dialogStep(uint16_t block, ListEntryText entryText, float* result) {
  ObjectDialog& d = g_dialog;
  if (d.block == 0 || d.block != block) return false;
  if (d.kind == kDialogList && d.done == OP_DIALOG_OPEN) {
    for (int added = 0; added < OP_EDIT_LIST_ROWS && d.fillNext <= d.fillLast; ++d.fillNext) {
      char text[OP_OBJECT_TEXT_CHARS + 1];
      if (!entryText(block, d.fillNext, text)) continue;
      if (!OP_ListDialogAdd(text, d.fillNext)) {
        d.fillLast = d.fillNext - 1;
        break;
      }
      ++added;
    }
  }
  if (d.done == OP_DIALOG_OPEN) return false;
  const ObjectDialog ended = d;
  d = ObjectDialog{};
  if (ended.done != OP_DIALOG_OK) return false;
  float v = ended.kind == kDialogList ? static_cast<float>(ended.listValue) : ended.value;
  // The keypad does not limit what is entered: the object does.
  if (!(v >= ended.minimum)) v = ended.minimum;
  if (v > ended.maximum) v = ended.maximum;
  *result = v;
  return true;
}

}  // namespace

bool OP_ObjectRequestPage(OpObjectState& obj, float value) {
  const int32_t b = FW_FloatToI32(value);
  if (b < 1 || b > FB_MAX_BLOCK || b == OpShownPageBlock) return false;
  const uint16_t* inst = FB_GetInstance(static_cast<uint32_t>(b));
  if (!inst || !OP_FindBlockPage(inst[FB_HDR_TYPE], static_cast<uint16_t>(b))) return false;
  obj.target = static_cast<uint16_t>(b);
  obj.request = OP_OBJ_REQ_PAGE;
  return true;
}

uint16_t OP_ObjectOfWindow(WM_HWIN h) {
  if (!h) return 0;
  for (const OpViewSlot& s : g_opUserView.slots) {
    if (s.block && (s.window == h || s.inner == h)) return s.block;
  }
  return 0;
}

void OP_ObjectTouch(uint16_t block, int code) {
  OpObjectState* obj = OP_ObjectState(block);
  if (!obj) return;
  if (code == WM_NOTE_CLICKED) {
    obj->touch = OP_TOUCH_PRESSED;
  } else if (code == WM_NOTE_RELEASED && obj->touch == OP_TOUCH_PRESSED) {
    obj->touch = OP_TOUCH_RELEASED;
  }
}

// --- TXTOBJ -------------------------------------------------------------------------------------

namespace {

constexpr uint16_t kNoneShown = 255;
constexpr float kTimeMax = static_cast<float>(OP_DURATION_MAX);
constexpr const char* kListPlaceholder = "XXXXXXXXXXXXXXXX";

struct TextObject {
  FbLayout L;
  TextObjectState* s = nullptr;
  bool get(uint32_t block) {
    if (!FB_GetLayout(block, &L) || L.type != OP_TYPE_TXTOBJ || L.analogInputs < TXTOBJ_IN_MAX ||
        L.floatParams < 1 || L.workWords < BLK_WorkWordsOf<TextObjectState>()) {
      return false;
    }
    s = &BLK_WorkState<TextObjectState>(L);
    return true;
  }
  uint16_t word(uint16_t i) const { return wordValue(L, i); }
};

// The placeholder of a number of the format's width, '8' standing for the widest digit.
const char* digitsPlaceholder(int width) {
  static const char* const kDigits[] = {"88", "888", "8888", "88888", "888888"};
  return kDigits[width <= 2 ? 0 : width >= 6 ? 4 : width - 2];
}

// The value shown: input 1, or the own value of an entry object whose input 1 is open or
// carries the chain of text blocks (then the object picks a text of the chain itself).
float textValue(const TextObject& t) {
  if (t.word(TXTOBJ_WORD_INKIND) == OP_INKIND_ENTRY &&
      (t.s->textSource || t.L.ai[TXTOBJ_IN_VALUE - 1].get() == FB_REF_ZERO)) {
    return t.L.fp[0];
  }
  return BLK_AnalogIn(t.L, TXTOBJ_IN_VALUE - 1);
}

// The range of the mode; a number's is the format's, narrowed by "Min" and "Max" when they
// are connected and the narrowed range does not cross.
void textRange(const TextObject& t, float* lo, float* hi) {
  switch (t.word(TXTOBJ_WORD_MODE)) {
    case TXTOBJ_TWO_STATE: *lo = 0.0f, *hi = 1.0f; return;
    case TXTOBJ_TIME: *lo = 0.0f, *hi = kTimeMax; return;
    case TXTOBJ_LIST: *lo = 1.0f, *hi = static_cast<float>(4 * t.s->chainCount); return;
    default: break;
  }
  const OpNumberFormat& f = OP_NumberFormat(t.word(TXTOBJ_WORD_FORMAT));
  float a = f.minimum, b = f.maximum;
  if (t.s->minBlock) {
    const float m = BLK_AnalogIn(t.L, TXTOBJ_IN_MIN - 1);
    if (m > a) a = m;
  }
  if (t.s->maxBlock) {
    const float m = BLK_AnalogIn(t.L, TXTOBJ_IN_MAX - 1);
    if (m < b) b = m;
  }
  if (a <= b) {
    *lo = a, *hi = b;
  } else {
    *lo = f.minimum, *hi = f.maximum;
  }
}

// The name of record `record` of the object's chain of text blocks, trailing blanks removed.
void chainLabel(const TextObjectState& s, int record, char* out) {
  OP_FormatRecordLabel(out, record, s.chainCount, s.chain);
  for (int n = OP_RECORD_LABEL_CHARS; n > 0 && out[n - 1] == ' '; --n) out[n - 1] = 0;
}

bool chainEntry(uint16_t block, int32_t code, char* out) {
  TextObject t;
  if (!t.get(block)) return false;
  chainLabel(*t.s, code, out);
  return true;
}

void composeText(const TextObject& t, char* out) {
  char prefix[FB_TEXT_LEN + 1], suffix[FB_TEXT_LEN + 1], value[OP_OBJECT_TEXT_CHARS + 1];
  OP_ObjectText(t.L.block, TXTOBJ_TEXT_PREFIX, prefix);
  OP_ObjectText(t.L.block, TXTOBJ_TEXT_SUFFIX, suffix);
  float v = textValue(t);
  float lo, hi;
  textRange(t, &lo, &hi);
  const uint16_t mode = t.word(TXTOBJ_WORD_MODE);
  if (mode == TXTOBJ_TWO_STATE) {
    // The prefix for 0, the suffix for 1, alone.
    const bool on = v >= 0.5f;
    t.s->lastShown = on ? 1 : 0;
    std::snprintf(out, OP_OBJECT_TEXT_CHARS + 1, "%s", on ? suffix : prefix);
    return;
  }
  if (mode == TXTOBJ_TIME) {
    if (!(v >= lo)) v = lo;
    if (v > hi) v = hi;
    OP_FormatHms(v / 60.0f, 0, value, sizeof value);
  } else if (mode == TXTOBJ_LIST || t.s->textSource) {
    chainLabel(*t.s, FW_FloatToI32(v), value);
  } else {
    const OpNumberFormat& f = OP_NumberFormat(t.word(TXTOBJ_WORD_FORMAT));
    if (v > hi) {
      std::snprintf(value, sizeof value, "%s", f.above);
    } else if (!(v >= lo)) {
      std::snprintf(value, sizeof value, "%s", f.below);  // NaN too
    } else {
      std::snprintf(value, sizeof value, "%*.*f", f.width, f.decimals, static_cast<double>(v));
    }
  }
  t.s->lastShown = 0;
  assemble(out, prefix, value, suffix);
}

void layoutTextObject(TextObject& t);

// Opens the touch dialog of an entry object.
void textDialog(const TextObject& t) {
  float lo, hi;
  textRange(t, &lo, &hi);
  const float v = textValue(t);
  switch (t.word(TXTOBJ_WORD_MODE)) {
    case TXTOBJ_NUMBER:
      if (!t.s->textSource) {
        openDialog(t.L.block, OP_KEYPAD_NUMBER, v, lo, hi, OP_NumberFormat(t.word(TXTOBJ_WORD_FORMAT)).decimals);
      }
      break;
    case TXTOBJ_TIME:
      openDialog(t.L.block, OP_KEYPAD_HMS, v, lo, hi, 0);
      break;
    case TXTOBJ_LIST:
      if (t.s->chainCount) openDialog(t.L.block, kDialogList, v, lo, hi, 0);
      break;
    default:
      break;
  }
}

}  // namespace

void FB_TXTOBJ_Init() {
  FbLayout L;
  TextObjectState* s = initObject<TextObjectState>(&L);
  if (!s) return;
  s->lastShown = kNoneShown;
  // The sources of "Min" and "Max", and the chain of text blocks at "X 1".
  FbInputSourceEx src;
  s->minBlock = FB_GetInputSourceEx(L.block, TXTOBJ_IN_MIN, &src) ? src.block : 0;
  s->maxBlock = FB_GetInputSourceEx(L.block, TXTOBJ_IN_MAX, &src) ? src.block : 0;
  s->chainCount = static_cast<uint16_t>(OP_WalkTextChain(L.block, TXTOBJ_IN_VALUE, s->chain));
  s->textSource = s->chainCount > 0 ? 1 : 0;
}

uint8_t FB_TXTOBJ_Param(FbParamRequest* request, uint16_t* badIndex) {
  return OP_ObjectParam(request, badIndex);
}

void OP_TextObjectCompose(uint16_t block, char* out) {
  out[0] = 0;
  TextObject t;
  if (t.get(block)) composeText(t, out);
}

void OP_TextObjectLayout(uint16_t block) {
  TextObject t;
  if (t.get(block)) layoutTextObject(t);
}

namespace {

void layoutTextObject(TextObject& t) {
  char prefix[FB_TEXT_LEN + 1], suffix[FB_TEXT_LEN + 1];
  OP_ObjectText(t.L.block, TXTOBJ_TEXT_PREFIX, prefix);
  OP_ObjectText(t.L.block, TXTOBJ_TEXT_SUFFIX, suffix);
  char measure[OP_OBJECT_TEXT_CHARS + 1];
  switch (t.word(TXTOBJ_WORD_MODE)) {
    case TXTOBJ_TWO_STATE:
      // The wider of the two texts.
      std::snprintf(measure, sizeof measure, "%s",
                    textWidth(t.word(TXTOBJ_WORD_FONT), suffix) > textWidth(t.word(TXTOBJ_WORD_FONT), prefix)
                        ? suffix
                        : prefix);
      break;
    case TXTOBJ_TIME:
      assemble(measure, prefix, "88:88:88", suffix);
      break;
    case TXTOBJ_LIST:
      assemble(measure, prefix, kListPlaceholder, suffix);
      break;
    default:
      assemble(measure, prefix,
               t.s->textSource ? kListPlaceholder
                               : digitsPlaceholder(OP_NumberFormat(t.word(TXTOBJ_WORD_FORMAT)).width),
               suffix);
      break;
  }
  t.s->text[0] = 0;
  t.s->lastShown = kNoneShown;
  layoutText(t.L, t.s->obj, measure, t.word(TXTOBJ_WORD_FONT), TXTOBJ_LONG_COLOUR, TXTOBJ_LONG_BKCOLOUR);
}

}  // namespace

void FB_TXTOBJ_Run() {
  TextObject t;
  if (!t.get(g_fbStore.currentBlock)) return;
  takePending(t.L, t.s->obj);
  // The entered value, once the dialog has ended: the object's value, saved.
  float entered;
  if (dialogStep(t.L.block, chainEntry, &entered)) {
    t.L.fp[0] = entered;
    t.L.fp[t.L.floatParams] = entered;
    FB_SaveFloatParams(t.L.block, 1, 1);
  }
  runShown(t, layoutTextObject, composeText, textDialog, TXTOBJ_WORD_INKIND, TXTOBJ_IN_VALUE);
}

void OP_TextObjectProc(WM_MESSAGE* msg) { objectWindowProc(msg); }

// --- PAROBJ -------------------------------------------------------------------------------------

namespace {

constexpr const char* kUnreadable = "??????";
constexpr const char* kNoValue = "------";

struct ParamObject {
  FbLayout L;
  ParamObjectState* s = nullptr;
  bool get(uint32_t block) {
    if (!FB_GetLayout(block, &L) || L.type != OP_TYPE_PAROBJ || L.analogInputs < PAROBJ_IN_PAGE ||
        L.texts < PAROBJ_TEXT_SUFFIX || L.workWords < BLK_WorkWordsOf<ParamObjectState>()) {
      return false;
    }
    s = &BLK_WorkState<ParamObjectState>(L);
    return true;
  }
  uint16_t word(uint16_t i) const { return wordValue(L, i); }
  uint16_t kind() const { return word(PAROBJ_WORD_KIND); }
  bool wordKind() const { return kind() == PAROBJ_WORD || kind() == PAROBJ_LIST; }
  uint16_t target() const { return word(PAROBJ_WORD_BLOCK); }
  uint16_t number() const { return word(PAROBJ_WORD_PARNO); }
};

// The target's value: false when it cannot be read.
bool readTarget(const ParamObject& p, float* value) {
  if (p.wordKind()) {
    uint16_t* w = nullptr;
    if (!FB_GetWordParamPtr(p.target(), p.number(), &w)) return false;
    *value = static_cast<float>(static_cast<int16_t>(*w));
    return true;
  }
  FbF32* f = nullptr;
  if (!FB_GetFloatParamPtr(p.target(), p.number(), &f)) return false;
  *value = *f;
  return true;
}

// The limit record of the target's parameter, null when its type has none.
const FwShortLimit* wordLimit(const ParamObject& p) {
  const uint16_t* inst = FB_GetInstance(p.target());
  const FbTypeRecord* t = inst ? FB_GetType(inst[FB_HDR_TYPE]) : nullptr;
  if (!t || !t->limits || p.number() < 1 || p.number() > t->limits->wordParams.size()) return nullptr;
  return &t->limits->wordParams[p.number() - 1u];
}
const FwFloatLimit* floatLimit(const ParamObject& p) {
  const uint16_t* inst = FB_GetInstance(p.target());
  const FbTypeRecord* t = inst ? FB_GetType(inst[FB_HDR_TYPE]) : nullptr;
  if (!t || !t->limits || p.number() < 1 || p.number() > t->limits->floatParams.size()) return nullptr;
  return &t->limits->floatParams[p.number() - 1u];
}

// The range the target's limit record gives (its bounds or their callbacks); a discrete set of
// words starts at 0. False without a record.
bool targetRange(const ParamObject& p, float* lo, float* hi) {
  if (p.wordKind()) {
    const FwShortLimit* r = wordLimit(p);
    if (!r) return false;
    const int16_t a = r->minFn ? r->minFn(p.target(), 0) : r->min;
    const int16_t b = r->maxFn ? r->maxFn(p.target(), 0) : r->max;
    *lo = a == FW_LIMIT_DISCRETE ? 0.0f : static_cast<float>(a);
    *hi = static_cast<float>(b);
    return true;
  }
  const FwFloatLimit* r = floatLimit(p);
  if (!r) return false;
  *lo = r->minFn ? r->minFn(p.target()) : r->min;
  *hi = r->maxFn ? r->maxFn(p.target()) : r->max;
  return true;
}

// Entry `code` of the target's text list: text id = first id + value + 2.
bool listEntry(uint16_t block, int32_t code, char* out) {
  ParamObject p;
  if (!p.get(block)) return false;
  if (const FwShortLimit* r = wordLimit(p); r && r->min == FW_LIMIT_DISCRETE &&
      !FW_CheckShortLimit(static_cast<int16_t>(code), r, p.target())) {
    return false;
  }
  std::snprintf(out, OP_OBJECT_TEXT_CHARS + 1, "%s",
                FW_GetText(static_cast<uint32_t>(p.word(PAROBJ_WORD_TEXTID) + code + 2)));
  return true;
}

void formatValue(const ParamObject& p, float v, char* out, size_t n) {
  if (v == FW_NO_VALUE) {
    std::snprintf(out, n, "%s", kNoValue);
    return;
  }
  switch (p.kind()) {
    case PAROBJ_WORD:
      std::snprintf(out, n, "%d", static_cast<int>(v));
      return;
    case PAROBJ_LIST:
      std::snprintf(out, n, "%.24s", FW_GetText(static_cast<uint32_t>(p.word(PAROBJ_WORD_TEXTID) + FW_FloatToI32(v) + 2)));
      return;
    case PAROBJ_TIME:
      OP_FormatMinSec(v, 0, out, static_cast<int>(n));
      break;
    case PAROBJ_BITS:
      std::snprintf(out, n, "%06.0f", static_cast<double>(v));
      return;
    default: {
      char field[OP_NUMBER_CHARS + 1] = {};
      OP_FormatNumber(field, OP_NUMBER_CHARS, v, p.word(PAROBJ_WORD_DECIMALS), OP_ALIGN_LEFT, OP_NUMBER_CHARS);
      std::snprintf(out, n, "%s", field);
      break;
    }
  }
  // Formatters that fill a field: the value without its blanks.
  size_t len = std::strlen(out);
  while (len > 0 && out[len - 1] == ' ') out[--len] = 0;
  size_t lead = 0;
  while (out[lead] == ' ') ++lead;
  if (lead) std::memmove(out, out + lead, len - lead + 1);
}

void composeParam(const ParamObject& p, char* out) {
  char prefix[FB_TEXT_LEN + 1], suffix[FB_TEXT_LEN + 1], value[OP_OBJECT_TEXT_CHARS + 1];
  OP_ObjectText(p.L.block, PAROBJ_TEXT_PREFIX, prefix);
  OP_ObjectText(p.L.block, PAROBJ_TEXT_SUFFIX, suffix);
  float v = 0.0f;
  if (readTarget(p, &v)) {
    formatValue(p, v, value, sizeof value);
  } else {
    std::snprintf(value, sizeof value, "%s", kUnreadable);
  }
  assemble(out, prefix, value, suffix);
}

void layoutParamObject(ParamObject& p) {
  char prefix[FB_TEXT_LEN + 1], suffix[FB_TEXT_LEN + 1], measure[OP_OBJECT_TEXT_CHARS + 1];
  OP_DeviceTextChars(p.L.text + (PAROBJ_TEXT_PREFIX - 1) * FB_TEXT_LEN, 2 * FB_TEXT_LEN);
  OP_ObjectText(p.L.block, PAROBJ_TEXT_PREFIX, prefix);
  OP_ObjectText(p.L.block, PAROBJ_TEXT_SUFFIX, suffix);
  float v;
  const char* placeholder = !readTarget(p, &v)         ? kUnreadable
                            : p.kind() == PAROBJ_TIME ? "88:88:88"
                            : p.kind() == PAROBJ_LIST ? kListPlaceholder
                                                      : "888888";
  assemble(measure, prefix, placeholder, suffix);
  p.s->text[0] = 0;
  layoutText(p.L, p.s->obj, measure, p.word(PAROBJ_WORD_FONT), PAROBJ_LONG_COLOUR, PAROBJ_LONG_BKCOLOUR);
}

void paramDialog(const ParamObject& p) {
  float v;
  if (!readTarget(p, &v)) return;
  float lo = -29999.0f, hi = 999999.0f;
  switch (p.kind()) {
    case PAROBJ_WORD:
      if (targetRange(p, &lo, &hi)) openDialog(p.L.block, OP_KEYPAD_INTEGER, v, lo, hi, 0);
      break;
    case PAROBJ_FLOAT:
      if (targetRange(p, &lo, &hi)) {
        openDialog(p.L.block, OP_KEYPAD_NUMBER, v, lo, hi, p.word(PAROBJ_WORD_DECIMALS));
      }
      break;
    case PAROBJ_TIME:
      openDialog(p.L.block, OP_KEYPAD_MINSEC, v, 0.0f, kTimeMax, 0);
      break;
    case PAROBJ_LIST:
      if (targetRange(p, &lo, &hi)) openDialog(p.L.block, kDialogList, v, lo, hi, 0);
      break;
    case PAROBJ_BITS:
      openDialog(p.L.block, kDialogBits, v, 0.0f, OP_LARGE_MAX, 0);
      break;
    default:
      break;
  }
}

}  // namespace

void FB_PAROBJ_Init() {
  FbLayout L;
  if (!initObject<ParamObjectState>(&L)) return;
  for (uint16_t i : {PAROBJ_TEXT_PREFIX, PAROBJ_TEXT_SUFFIX}) {
    char* text = nullptr;
    if (FB_GetTextParamPtr(L.block, i, &text)) OP_DeviceTextChars(text, FB_TEXT_LEN);
  }
}

uint8_t FB_PAROBJ_Param(FbParamRequest* request, uint16_t* badIndex) {
  return OP_ObjectParam(request, badIndex);
}

void OP_ParamObjectCompose(uint16_t block, char* out) {
  out[0] = 0;
  ParamObject p;
  if (p.get(block)) composeParam(p, out);
}

int OP_ParamObjectCommit(uint16_t block, float value) {
  ParamObject p;
  if (!p.get(block)) return FW_POST_BAD;
  uint8_t data[4] = {};
  int16_t id;
  if (p.wordKind()) {
    const uint16_t w = static_cast<uint16_t>(FW_FloatToI16(std::round(value)));
    data[0] = static_cast<uint8_t>(w);
    data[1] = static_cast<uint8_t>(w >> 8);
    id = static_cast<int16_t>(FB_ID_WORD + p.number() - 1);
  } else {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) data[i] = static_cast<uint8_t>(bits >> (8 * i));
    id = static_cast<int16_t>(FB_ID_FLOAT + p.number() - 1);
  }
  const uint16_t* inst = FB_GetInstance(p.target());
  const FbTypeRecord* t = inst ? FB_GetType(inst[FB_HDR_TYPE]) : nullptr;
  if (!t || !t->param || p.number() < 1) return FW_POST_BAD;
  return FW_PostDeferredCall(p.target(), id, data, sizeof data, t->param, &p.s->result);
}

void FB_PAROBJ_Run() {
  ParamObject p;
  if (!p.get(g_fbStore.currentBlock)) return;
  takePending(p.L, p.s->obj);
  float entered;
  if (dialogStep(p.L.block, listEntry, &entered)) OP_ParamObjectCommit(p.L.block, entered);
  runShown(p, layoutParamObject, composeParam, paramDialog, PAROBJ_WORD_INKIND, PAROBJ_IN_PAGE);
}

void OP_ParamObjectProc(WM_MESSAGE* msg) { objectWindowProc(msg); }

// --- Type rows ----------------------------------------------------------------------------------

namespace {

constexpr uint16_t kGroupPages = 17;   // catalogue group of the operating-page blocks
constexpr uint16_t kWeight = 2;
constexpr uint32_t kNoColour = 0xBF800000u;  // -1.0f: transparent

constexpr const char* kTxtTexts[] = {"TXTOBJ", "", ""};
constexpr float kTxtFloats[] = {0.0f};
constexpr uint16_t kTxtValues[] = {OP_INKIND_DISPLAY, TXTOBJ_NUMBER, 1, 0};
constexpr uint32_t kColours[] = {0, kNoColour};
constexpr FbTemplate kTxtTemplate = FB_SizedTemplate(FbTemplate{
    .type = OP_TYPE_TXTOBJ, .analogOutputs = 1, .analogInputs = 3, .floatParams = kTxtFloats,
    .longValues = kColours, .wordValues = kTxtValues, .texts = kTxtTexts,
    .workWords = BLK_WorkWordsOf<TextObjectState>()});

constexpr const char* kParTexts[] = {"PAROBJ", "", ""};
constexpr uint16_t kParValues[] = {0, 1, PAROBJ_FLOAT, OP_INKIND_DISPLAY, 1, 0, 0};
constexpr FbTemplate kParTemplate = FB_SizedTemplate(FbTemplate{
    .type = OP_TYPE_PAROBJ, .analogOutputs = 1, .analogInputs = 1, .longValues = kColours,
    .wordValues = kParValues, .texts = kParTexts, .workWords = BLK_WorkWordsOf<ParamObjectState>()});

constexpr FwFloatLimit kValueLimits[] = {{.min = -29999.0f, .max = 999999.0f, .attribute = 3}};
constexpr FwFloatLimit kColourLimits[] = {{.min = 0.0f, .max = 16777215.0f},
                                          {.min = -1.0f, .max = 16777215.0f}};
constexpr FwShortLimit kTxtValueLimits[] = {{0, 2}, {0, 3}, {0, 99}, {0, 9}};
constexpr FwShortLimit kParValueLimits[] = {{0, FB_MAX_BLOCK}, {1, 255}, {0, 6}, {0, 2},
                                            {0, 3}, {0, 9}, {0, static_cast<int16_t>(FW_TEXT_COUNT - 1)}};
constexpr FbLimitTable kTxtLimits{.floatParams = kValueLimits, .wordValues = kTxtValueLimits,
                                  .longValues = kColourLimits};
constexpr FbLimitTable kParLimits{.wordValues = kParValueLimits, .longValues = kColourLimits};

constexpr BlkTypeRow kRows[] = {
    {&kTxtTemplate, FB_TXTOBJ_Run, FB_TXTOBJ_Init, FB_TXTOBJ_Param, &kTxtLimits, kWeight, kGroupPages},
    {&kParTemplate, FB_PAROBJ_Run, FB_PAROBJ_Init, FB_PAROBJ_Param, &kParLimits, kWeight, kGroupPages},
};

}  // namespace

void OP_RegisterObjectTypes() { BLK_RegisterTimeGroupTypes(kRows); }
