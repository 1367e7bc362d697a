#include "opui/op_objects2.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "blocks/block_family.h"
#include "blocks/prog/prog_page.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_Font.h"
#include "opui/op_blockpage.h"
#include "opui/op_display.h"
#include "opui/op_format.h"
#include "opui/op_links.h"
#include "opui/op_pages_prog.h"
#include "opui/op_userpage.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_main_state.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_text_ids.h"

// --- Colours --------------------------------------------------------------------------------------

OpRgb OP_DecodeDecimalRgb(float value) {
  // Through the saturating conversion: NaN is 0, huge values the largest number; each group
  // is then held to 0..99, so that no component leaves 0..255.
  const int32_t n = FW_FloatToI32(value);
  auto group = [](int32_t g) {
    const int32_t c = std::clamp<int32_t>(g, 0, 99);
    return static_cast<uint8_t>(static_cast<float>(c) * 2.5757575f);
  };
  return OpRgb{group(n / 10000), group(n / 100 % 100), group(n % 100)};
}

GUI_COLOR OP_DecimalColour(float value) {
  const OpRgb c = OP_DecodeDecimalRgb(value);
  return static_cast<GUI_COLOR>(c.r) | static_cast<GUI_COLOR>(c.g) << 8 | static_cast<GUI_COLOR>(c.b) << 16;
}

// --- Steps the drawn objects share -----------------------------------------------------------------

namespace {

// A drawn object: its instance and its state record, for a block of its type only.
template <typename State, uint16_t Type>
struct Drawn {
  FbLayout L;
  State* s = nullptr;
  bool get(uint32_t block) {
    if (!FB_GetLayout(block, &L) || L.type != Type || L.workWords < BLK_WorkWordsOf<State>()) return false;
    s = &BLK_WorkState<State>(L);
    return true;
  }
  uint16_t word(uint16_t i) const { return i >= 1 && i <= L.wordValues ? L.wv[i - 1] : 0; }
  // A 4-byte value that holds a float (0 for one the instance does not have).
  float value(uint16_t i) const {
    if (i < 1 || i > L.longValues) return 0.0f;
    const uint32_t bits = L.lv[i - 1];
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }
  float analogIn(uint16_t i) const { return i >= 1 && i <= L.analogInputs ? BLK_AnalogIn(L, i - 1u) : 0.0f; }
  bool analogWired(uint16_t i) const { return i >= 1 && i <= L.analogInputs && BLK_AnalogWired(L, i - 1u); }
  bool digitalIn(uint16_t i) const { return i >= 1 && i <= L.digitalInputs && BLK_DigitalIn(L, i - 1u) != 0; }
  // The slot of the open view that shows the object, with its window.
  OpViewSlot* slot() const {
    OpViewSlot* v = OP_UserViewSlotOf(L.block);
    return v && OP_WinExists(v->window) ? v : nullptr;
  }
};

using PictureObject = Drawn<PictureObjectState, OP_TYPE_IMGOBJ>;
using ProgressObject = Drawn<ProgressObjectState, OP_TYPE_PROOBJ>;
using BarObject = Drawn<BarObjectState, OP_TYPE_BAROBJ>;

// A release that was pressed before, taken once.
bool takeRelease(OpObjectState& obj) {
  if (obj.touch != OP_TOUCH_RELEASED) return false;
  obj.touch = OP_TOUCH_IDLE;
  return true;
}

// A pointer on an object's window, or a notification of the widget the object made in it:
// the object's touch state. True when the message was one of them.
bool objectTouchMessage(const WM_MESSAGE* msg, uint16_t block) {
  int code;
  if (msg->MsgId == WM_MSG_PID_TOUCH) {
    const auto* state = static_cast<const GUI_PID_STATE*>(msg->Data.p);
    if (!state) return true;  // moved out while pressed: the release comes later
    code = state->Pressed ? WM_NOTE_CLICKED : WM_NOTE_RELEASED;
  } else if (msg->MsgId == WM_MSG_NOTIFY_PARENT) {
    code = static_cast<int>(msg->Data.v);
  } else {
    return false;
  }
  if (block) OP_ObjectTouch(block, code);
  return true;
}

// What every drawn object's window callback answers besides its paint: the block as the id,
// the touches; the rest goes to the default procedure.
void objectMessage(WM_MESSAGE* msg, uint16_t block) {
  if (msg->MsgId == WM_MSG_GET_ID) {
    msg->Data.v = block;
    return;
  }
  if (objectTouchMessage(msg, block)) return;
  WM_DefaultProc(msg);
}

// A TEXT widget over the whole object window (transparent), made anew.
WM_HWIN makeTextChild(OpViewSlot& slot, int xSize, int ySize, const GUI_FONT* font, GUI_COLOR colour, int align) {
  if (OP_WinExists(slot.inner)) WM_DeleteWindow(slot.inner);
  slot.inner = TEXT_CreateEx(0, 0, xSize, ySize, slot.window, WM_CF_SHOW, align, 0, "");
  if (font) TEXT_SetFont(slot.inner, font);
  TEXT_SetTextColor(slot.inner, colour);
  return slot.inner;
}

// Shows a text in the object's TEXT widget when it differs from the one shown.
void showText(const OpViewSlot& slot, char* shown, const char* text) {
  if (std::strcmp(shown, text) == 0) return;
  std::snprintf(shown, OP_OBJECT_TEXT_CHARS + 1, "%s", text);
  if (OP_WinExists(slot.inner)) TEXT_SetText(slot.inner, shown);
}

void trimBlanks(char* text) {
  size_t n = std::strlen(text);
  while (n > 0 && text[n - 1] == ' ') text[--n] = 0;
  size_t lead = 0;
  while (text[lead] == ' ') ++lead;
  if (lead) std::memmove(text, text + lead, n - lead + 1);
}

GUI_COLOR frameColour() { return OP_ColorFromCode(OP_CC_FOREGROUND); }

}  // namespace

// --- IMGOBJ -----------------------------------------------------------------------------------------

namespace {

uint16_t pictureMode(const PictureObject& p) {
  return p.L.wordParams >= IMGOBJ_WORD_MODE ? p.L.wp[IMGOBJ_WORD_MODE - 1] : uint16_t{IMGOBJ_DISPLAY};
}
uint16_t storedToggle(const PictureObject& p) {
  return p.L.wordParams >= IMGOBJ_WORD_STATE ? p.L.wp[IMGOBJ_WORD_STATE - 1] : 0;
}

// The toggle state, current and pending alike, saved as a parameter change.
void storeToggle(const PictureObject& p, uint16_t state) {
  if (p.L.wordParams < IMGOBJ_WORD_STATE) return;
  p.L.wp[IMGOBJ_WORD_STATE - 1] = state;
  p.L.wp[p.L.wordParams + IMGOBJ_WORD_STATE - 1] = state;
  FB_SaveWordParams(p.L.block, IMGOBJ_WORD_STATE, 1);
}

// The user picture of an index the layout found (null: none, or the table changed since).
const FwPicture* pictureAt(int16_t index) {
  uint32_t count = 0;
  const FwPicture* table = OP_LinkUserPictures(&count);
  if (!table || index < 0 || static_cast<uint32_t>(index) >= count) return nullptr;
  return &table[index];
}

void layoutPicture(PictureObject& p) {
  OpViewSlot* slot = p.slot();
  if (!slot) return;
  PictureObjectState& s = *p.s;
  uint32_t count = 0;
  const FwPicture* table = OP_LinkUserPictures(&count);
  s.xSize = s.ySize = 0;
  for (int k = 0; k < 2; ++k) {
    const FwPicture* pic = OP_FindUserPicture(p.L.text + (IMGOBJ_TEXT_PICTURE0 - 1 + k) * FB_TEXT_LEN);
    s.picture[k] = pic ? static_cast<int16_t>(pic - table) : int16_t{-1};
    if (pic) {
      s.xSize = std::max(s.xSize, pic->xSize);
      s.ySize = std::max(s.ySize, pic->ySize);
    }
  }
  WM_SetSize(slot->window, std::max<int>(s.xSize, 1), std::max<int>(s.ySize, 1));
  if (pictureMode(p) == IMGOBJ_TOGGLE) s.shown = storedToggle(p) ? 2 : 1;
  if (s.shown != 2) s.shown = 1;
  s.obj.made = 1;
  WM_InvalidateWindow(slot->window);
}

}  // namespace

void OP_PictureObjectLayout(uint16_t block) {
  PictureObject p;
  if (p.get(block)) layoutPicture(p);
}

void FB_IMGOBJ_Init() {
  FbLayout L;
  if (!OP_ObjectInit(&L, BLK_WorkWordsOf<PictureObjectState>())) return;
  PictureObjectState& s = BLK_WorkState<PictureObjectState>(L);
  s.picture[0] = s.picture[1] = -1;
  s.shown = 1;
}

uint8_t FB_IMGOBJ_Param(FbParamRequest* request, uint16_t* badIndex) {
  // The stored toggle state is the block's own: no request writes it alone.
  if (request && request->id() == FB_ID_WORD + int{IMGOBJ_WORD_STATE} - 1) {
    if (badIndex) *badIndex = 0;
    return FB_ERR_UNKNOWN_ID;
  }
  return OP_ObjectParam(request, badIndex);
}

void FB_IMGOBJ_Run() {
  PictureObject p;
  if (!p.get(g_fbStore.currentBlock)) return;
  PictureObjectState& s = *p.s;
  OpObjectState& obj = s.obj;
  OP_ObjectTakePending(p.L, obj);
  if (FB_ApplyPendingWords(p.L.block) != FB_APPLY_NONE) obj.made = 0;
  const uint16_t mode = pictureMode(p);
  const bool state = p.digitalIn(IMGOBJ_DIN_STATE);
  uint16_t* out = p.L.digitalOutputs >= IMGOBJ_DOUT ? &p.L.dout[IMGOBJ_DOUT - 1] : nullptr;
  const uint16_t before = s.shown;
  OpViewSlot* slot = p.slot();
  if (slot && !obj.made) layoutPicture(p);
  if (slot && p.digitalIn(IMGOBJ_DIN_DISABLE)) {
    obj.touch = OP_TOUCH_IDLE;
    s.down = 0;
    return;
  }
  // The touch of this cycle: a press (once until released) and a release.
  bool pressed = false, released = false;
  if (!slot || p.digitalIn(IMGOBJ_DIN_RELEASE) || !obj.made) {
    obj.touch = OP_TOUCH_IDLE;
    if (s.down && mode == IMGOBJ_PUSH && out) *out = 0;
    s.down = 0;
    if (mode == IMGOBJ_PUSH) s.shown = state ? 2 : 1;
  } else if (obj.touch == OP_TOUCH_PRESSED && !s.down) {
    pressed = true;
    s.down = 1;
  } else if (takeRelease(obj)) {
    pressed = !s.down;
    released = true;
    s.down = 0;
  }
  switch (mode) {
    case IMGOBJ_DISPLAY:
      s.shown = state ? 2 : 1;
      if (out) *out = state ? 1 : 0;
      break;
    case IMGOBJ_PUSH:
      if (pressed) {
        s.shown = 2;
        if (out) *out = 1;
      }
      if (released) {
        s.shown = state ? 2 : 1;
        if (out) *out = 0;
      }
      break;
    case IMGOBJ_TOGGLE: {
      uint16_t stored = storedToggle(p) ? 1 : 0;
      if (pressed) {
        stored ^= 1;
        storeToggle(p, stored);
      }
      s.shown = stored ? 2 : 1;
      if (out) *out = stored;
      break;
    }
    case IMGOBJ_PAGE:
      if (pressed) {
        s.shown = 2;
        if (out) *out = 1;
      }
      if (released) {
        OP_ObjectRequestPage(obj, p.analogIn(IMGOBJ_IN_PAGE));
        s.shown = 1;
        if (out) *out = 0;
      }
      break;
    default:
      break;
  }
  if (slot && s.shown != before) WM_InvalidateWindow(slot->window);
}

void OP_PictureObjectProc(WM_MESSAGE* msg) {
  const uint16_t block = OP_ObjectOfWindow(msg->hWin);
  if (msg->MsgId != WM_MSG_PAINT) {
    objectMessage(msg, block);
    return;
  }
  // The shown picture at the window's origin; a missing one leaves the view's background.
  PictureObject p;
  if (!p.get(block) || !p.s->obj.made) return;
  const FwPicture* pic = pictureAt(p.s->picture[p.s->shown == 2 ? 1 : 0]);
  if (pic && pic->memdev) OP_GfxWriteDeviceAt(pic->memdev, WM_GetWindowOrgX(msg->hWin), WM_GetWindowOrgY(msg->hWin));
}

// --- PROOBJ -----------------------------------------------------------------------------------------

namespace {

// The APROG block the object's input names, 0 for none.
uint16_t progressSource(const ProgressObject& p) {
  const int32_t b = FW_FloatToI32(p.analogIn(PROOBJ_IN_PROG));
  if (b < 1 || b > FB_MAX_BLOCK) return 0;
  const uint16_t* inst = FB_GetInstance(static_cast<uint32_t>(b));
  return inst && inst[FB_HDR_TYPE] == FB_TYPE_APROG && PROG_PageRecordsOf(static_cast<uint32_t>(b)).page
             ? static_cast<uint16_t>(b)
             : uint16_t{0};
}

int progressInner(const ProgressObject& p) {
  return std::max(0, p.s->xSize - (p.word(PROOBJ_WORD_FRAME) == 1 ? 2 : 0));
}

void layoutProgress(ProgressObject& p) {
  OpViewSlot* slot = p.slot();
  if (!slot) return;
  ProgressObjectState& s = *p.s;
  s.xSize = p.word(PROOBJ_WORD_WIDTH) == 1 ? 160 : 320;
  s.ySize = OP_PROGRESS_HEIGHT;
  for (int k = 0; k < 3; ++k) s.colours[k] = OP_DecimalColour(p.value(static_cast<uint16_t>(PROOBJ_LONG_BK + k)));
  WM_SetSize(slot->window, s.xSize, s.ySize);
  if (OP_WinExists(slot->inner)) WM_DeleteWindow(slot->inner);
  slot->inner = 0;
  if (p.word(PROOBJ_WORD_TEXT) != PROOBJ_TEXT_NONE) {
    makeTextChild(*slot, s.xSize, s.ySize, nullptr, s.colours[2], GUI_TA_HCENTER | GUI_TA_VCENTER);
  }
  s.text[0] = 0;
  s.drawn = 0xFFFF;
  s.obj.made = 1;
  WM_InvalidateWindow(slot->window);
}

// The name of the programmer's program, trailing blanks removed.
void programName(const ProgPageRecords& r, char* out) {
  OP_FormatRecordLabel(out, r.page->progNo, r.names.count, r.names.blocks);
  out[OP_RECORD_LABEL_CHARS] = 0;
  trimBlanks(out);
}

}  // namespace

void OP_ProgressObjectLayout(uint16_t block) {
  ProgressObject p;
  if (p.get(block)) layoutProgress(p);
}

float OP_ProgressObjectFraction(uint16_t block) {
  ProgressObject p;
  const uint16_t prog = p.get(block) ? progressSource(p) : 0;
  ProgProgress st;
  if (!prog || !PROG_PageProgress(prog, &st)) return 0.0f;
  float f = 0.0f;
  if (p.word(PROOBJ_WORD_KIND) == 1) {
    f = st.duration > 0.0f ? st.elapsed / st.duration : 0.0f;
  } else if (st.ended) {
    f = 1.0f;
  } else {
    f = st.total > 0.0f ? (st.timeBefore + st.elapsed) / st.total : 0.0f;
  }
  return f >= 0.0f ? std::min(f, 1.0f) : 0.0f;  // NaN too
}

void OP_ProgressObjectText(uint16_t block, char* out) {
  out[0] = 0;
  ProgressObject p;
  const uint16_t prog = p.get(block) ? progressSource(p) : 0;
  const ProgPageRecords r = prog ? PROG_PageRecordsOf(prog) : ProgPageRecords{};
  if (!r.page) return;
  const ProgPage& page = *r.page;
  const bool seconds = page.timeUnit != 0;
  char name[OP_RECORD_LABEL_CHARS + 1], time[24];
  auto timeOf = [&](float v, bool up) {
    time[0] = 0;
    if (v != FW_NO_VALUE) OP_ProgTimeText(time, sizeof time, v, seconds, up, 0);
    trimBlanks(time);
    return time;
  };
  const int n = OP_OBJECT_TEXT_CHARS + 1;
  switch (p.word(PROOBJ_WORD_TEXT)) {
    case PROOBJ_TEXT_SEGMENT_REST: std::snprintf(out, n, "%s", timeOf(page.segRes.get(), true)); break;
    case PROOBJ_TEXT_RUN_TIME: std::snprintf(out, n, "%s", timeOf(page.tNetto.get(), false)); break;
    case PROOBJ_TEXT_PROGRAM_REST: std::snprintf(out, n, "%s", timeOf(page.tRest.get(), true)); break;
    case PROOBJ_TEXT_NAME: programName(r, out); break;
    case PROOBJ_TEXT_SEGMENT: std::snprintf(out, n, "Segment %d", page.segNo); break;
    case PROOBJ_TEXT_NAME_SEGMENT:
      programName(r, name);
      std::snprintf(out, n, "%s, Segment %d", name, page.segNo);
      break;
    case PROOBJ_TEXT_NAME_RUN_TIME:
      programName(r, name);
      std::snprintf(out, n, "%s, %s", name, timeOf(page.tNetto.get(), false));
      break;
    case PROOBJ_TEXT_NAME_STATE: {
      programName(r, name);
      const bool halted = page.runStatus == 1;
      std::snprintf(out, n, "%s, %s", name,
                    halted ? OP_ListText(FW_TXT_PROG_HALT, 1, 2) : OP_ListText(FW_TXT_PROG_STATE, page.pageState, 10));
      break;
    }
    default: break;
  }
}

void FB_PROOBJ_Init() {
  FbLayout L;
  if (!OP_ObjectInit(&L, BLK_WorkWordsOf<ProgressObjectState>())) return;
  BLK_WorkState<ProgressObjectState>(L).drawn = 0xFFFF;
}

uint8_t FB_PROOBJ_Param(FbParamRequest* request, uint16_t* badIndex) { return OP_ObjectParam(request, badIndex); }

void FB_PROOBJ_Run() {
  ProgressObject p;
  if (!p.get(g_fbStore.currentBlock)) return;
  ProgressObjectState& s = *p.s;
  OP_ObjectTakePending(p.L, s.obj);
  OpViewSlot* slot = p.slot();
  if (!slot) {
    s.obj.touch = OP_TOUCH_IDLE;
    return;
  }
  if (!s.obj.made) layoutProgress(p);
  const int length = FW_FloatToI32(OP_ProgressObjectFraction(p.L.block) * static_cast<float>(progressInner(p)));
  s.length = static_cast<uint16_t>(length);
  if (s.length != s.drawn) WM_InvalidateWindow(slot->window);
  if (OP_WinExists(slot->inner)) {
    char text[OP_OBJECT_TEXT_CHARS + 1];
    OP_ProgressObjectText(p.L.block, text);
    showText(*slot, s.text, text);
  }
  if (p.digitalIn(PROOBJ_DIN_DISABLE) || p.digitalIn(PROOBJ_DIN_RELEASE)) {
    s.obj.touch = OP_TOUCH_IDLE;
  } else if (takeRelease(s.obj)) {
    if (const uint16_t prog = progressSource(p)) OP_ObjectRequestPage(s.obj, prog);
  }
}

void OP_ProgressObjectPaint(uint16_t block) {
  ProgressObject p;
  if (!p.get(block) || !p.s->obj.made) return;
  ProgressObjectState& s = *p.s;
  const bool framed = p.word(PROOBJ_WORD_FRAME) == 1;
  GUI_SetBkColor(s.colours[0]);
  GUI_Clear();
  if (framed) {
    GUI_SetColor(frameColour());
    GUI_DrawRect(0, 0, s.xSize - 1, s.ySize - 1);
  }
  const int inset = framed ? 1 : 0;
  const int length = std::min<int>(s.length, progressInner(p));
  if (length > 0) {
    GUI_SetColor(s.colours[1]);
    GUI_FillRect(inset, inset, inset + length - 1, s.ySize - 1 - inset);
  }
  s.drawn = static_cast<uint16_t>(length);
}

void OP_ProgressObjectProc(WM_MESSAGE* msg) {
  const uint16_t block = OP_ObjectOfWindow(msg->hWin);
  if (msg->MsgId == WM_MSG_PAINT) {
    OP_ProgressObjectPaint(block);
  } else {
    objectMessage(msg, block);
  }
}

// --- BAROBJ -----------------------------------------------------------------------------------------

int OP_BarObjectLength(int size, bool framed, bool vertical, float percent, int* position, int* d) {
  const int avail = std::max(0, size - (framed ? 3 : 1));
  const float p = percent >= 0.0f ? std::min(percent, 100.0f) : 0.0f;
  const int length = std::clamp(FW_FloatToI32(static_cast<float>(avail) * p / 100.0f + 0.5f), 0, avail);
  if (position) *position = vertical ? avail - length + (framed ? 1 : 0) : (framed ? 1 : 0);
  if (d) *d = avail;
  return length;
}

namespace {

bool barVertical(const BarObject& b) { return b.word(BAROBJ_WORD_ORIENT) == 1; }
bool barFramed(const BarObject& b) { return b.word(BAROBJ_WORD_FRAME) == 1; }
int barWidth(const BarObject& b) { return std::clamp<int>(b.word(BAROBJ_WORD_WIDTH), 1, 320); }
int barHeight(const BarObject& b) { return std::clamp<int>(b.word(BAROBJ_WORD_HEIGHT), 1, 240); }
int barAlong(const BarObject& b) { return barVertical(b) ? barHeight(b) : barWidth(b); }

// Factor and offset of the range, and the colours. A range of no span leaves the bar empty.
void setupBar(BarObject& b) {
  BarObjectState& s = *b.s;
  const float start = b.value(BAROBJ_LONG_START), end = b.value(BAROBJ_LONG_END);
  const float factor = 100.0f / (end - start);
  s.flags &= static_cast<uint16_t>(~BAROBJ_FLAG_EMPTY);
  if (std::isfinite(factor) && std::isfinite(-start * factor)) {
    s.factor = factor;
    s.offset = -start * factor;
  } else {
    s.factor = 0.0f;
    s.offset = 0.0f;
    s.flags |= BAROBJ_FLAG_EMPTY;
  }
  for (int k = 0; k < 3; ++k) s.colours[k] = OP_DecimalColour(b.value(static_cast<uint16_t>(BAROBJ_LONG_BK + k)));
  s.prepared = 1;
}

// The percent of a value on the range, 0..100; *range says where the value lies.
float barPercent(const BarObject& b, float value, uint16_t* range) {
  const BarObjectState& s = *b.s;
  if (s.flags & BAROBJ_FLAG_EMPTY) {
    const float start = b.value(BAROBJ_LONG_START);
    *range = value > start ? BAROBJ_ABOVE : value < start ? BAROBJ_BELOW : BAROBJ_INSIDE;
    return 0.0f;
  }
  const float p = s.factor.get() * value + s.offset.get();
  if (!(p >= 0.0f)) {  // NaN too
    *range = BAROBJ_BELOW;
    return 0.0f;
  }
  if (p > 100.0f) {
    *range = BAROBJ_ABOVE;
    return 100.0f;
  }
  *range = BAROBJ_INSIDE;
  return p;
}

void layoutBar(BarObject& b) {
  OpViewSlot* slot = b.slot();
  if (!slot) return;
  BarObjectState& s = *b.s;
  setupBar(b);
  WM_SetSize(slot->window, barWidth(b), barHeight(b));
  if (OP_WinExists(slot->inner)) WM_DeleteWindow(slot->inner);
  slot->inner = 0;
  if (b.word(BAROBJ_WORD_TEXT) == 1) {
    const uint16_t font = b.word(BAROBJ_WORD_FONT);
    makeTextChild(*slot, barWidth(b), barHeight(b), font <= 2 ? OP_ObjectFont(font) : nullptr, s.colours[2],
                  GUI_TA_HCENTER | GUI_TA_VCENTER);
  }
  s.text[0] = 0;
  s.drawnLength = s.drawnMarker = s.drawnFlags = 0xFFFF;
  s.obj.made = 1;
  WM_InvalidateWindow(slot->window);
}

}  // namespace

void OP_BarObjectLayout(uint16_t block) {
  BarObject b;
  if (b.get(block)) layoutBar(b);
}

void OP_BarObjectText(uint16_t block, char* out) {
  out[0] = 0;
  BarObject b;
  if (!b.get(block)) return;
  float v = b.analogIn(BAROBJ_IN_VALUE);
  if (!(v >= -199999.0f)) v = -199999.0f;  // NaN too
  if (v > 999999.0f) v = 999999.0f;
  char number[32];
  std::snprintf(number, sizeof number, "%.*f", std::min<int>(b.word(BAROBJ_WORD_DECIMALS), 3), static_cast<double>(v));
  number[6] = 0;  // at most six characters
  char unit[FB_TEXT_LEN + 1];
  OP_ObjectText(block, BAROBJ_TEXT_UNIT, unit);
  std::snprintf(out, OP_OBJECT_TEXT_CHARS + 1, "%.6s%.16s", number, unit);
}

void FB_BAROBJ_Init() {
  FbLayout L;
  OP_ObjectInit(&L, BLK_WorkWordsOf<BarObjectState>());
}

uint8_t FB_BAROBJ_Param(FbParamRequest* request, uint16_t* badIndex) {
  return OP_DrawnObjectParam<BarObjectState, OP_TYPE_BAROBJ>(request, badIndex);
}

void FB_BAROBJ_Run() {
  BarObject b;
  if (!b.get(g_fbStore.currentBlock)) return;
  BarObjectState& s = *b.s;
  if (OP_ObjectTakePending(b.L, s.obj)) s.prepared = 0;
  if (!s.prepared) setupBar(b);
  // The value, and the marker where its input is connected.
  uint16_t range = BAROBJ_BELOW;
  const float p = barPercent(b, b.analogIn(BAROBJ_IN_VALUE), &range);
  s.percent = p;
  uint16_t flags = static_cast<uint16_t>((s.flags & BAROBJ_FLAG_EMPTY) | range);
  const bool vertical = barVertical(b), framed = barFramed(b);
  int position = 0;
  s.length = static_cast<uint16_t>(OP_BarObjectLength(barAlong(b), framed, vertical, p, &position));
  s.position = static_cast<uint16_t>(position);
  if (b.analogWired(BAROBJ_IN_MARKER) && !(flags & BAROBJ_FLAG_EMPTY)) {
    uint16_t markerRange;
    const float m = barPercent(b, b.analogIn(BAROBJ_IN_MARKER), &markerRange);
    int at = 0;
    const int len = OP_BarObjectLength(barAlong(b), framed, vertical, m, &at);
    s.marker = static_cast<uint16_t>(vertical ? at : at + len);
    flags |= BAROBJ_FLAG_MARKER;
  }
  s.flags = flags;
  OpViewSlot* slot = b.slot();
  if (!slot) {
    s.obj.touch = OP_TOUCH_IDLE;
    return;
  }
  if (!s.obj.made) layoutBar(b);
  const bool hide = b.digitalIn(BAROBJ_DIN_HIDE);
  if (hide != (s.hidden != 0)) {
    hide ? WM_HideWindow(slot->window) : WM_ShowWindow(slot->window);
    s.hidden = hide ? 1 : 0;
  }
  if (s.length != s.drawnLength || s.flags != s.drawnFlags ||
      ((s.flags & BAROBJ_FLAG_MARKER) && s.marker != s.drawnMarker)) {
    WM_InvalidateWindow(slot->window);
  }
  if (OP_WinExists(slot->inner)) {
    char text[OP_OBJECT_TEXT_CHARS + 1];
    OP_BarObjectText(b.L.block, text);
    showText(*slot, s.text, text);
  }
  if (b.digitalIn(BAROBJ_DIN_RELEASE)) {
    s.obj.touch = OP_TOUCH_IDLE;
  } else if (takeRelease(s.obj)) {
    OP_ObjectRequestPage(s.obj, b.analogIn(BAROBJ_IN_PAGE));
  }
}

namespace {

void paintBar(BarObject& b) {
  BarObjectState& s = *b.s;
  const int w = barWidth(b), h = barHeight(b);
  const bool vertical = barVertical(b), framed = barFramed(b);
  const int inset = framed ? 1 : 0;
  GUI_SetBkColor(s.colours[0]);
  GUI_Clear();
  // The bar from its start over its length, across the window inside the frame.
  if (!(s.flags & BAROBJ_FLAG_EMPTY) && s.length > 0) {
    GUI_SetColor(s.colours[1]);
    if (vertical) {
      GUI_FillRect(inset, s.position, w - 1 - inset, s.position + s.length - 1);
    } else {
      GUI_FillRect(s.position, inset, s.position + s.length - 1, h - 1 - inset);
    }
  }
  GUI_SetColor(frameColour());
  if (framed) GUI_DrawRect(0, 0, w - 1, h - 1);
  if (s.flags & BAROBJ_FLAG_MARKER) {
    if (vertical) {
      GUI_DrawHLine(s.marker, inset, w - 1 - inset);
    } else {
      GUI_DrawVLine(s.marker, inset, h - 1 - inset);
    }
  }
  s.drawnLength = s.length;
  s.drawnMarker = s.marker;
  s.drawnFlags = s.flags;
}

}  // namespace

void OP_BarObjectProc(WM_MESSAGE* msg) {
  const uint16_t block = OP_ObjectOfWindow(msg->hWin);
  if (msg->MsgId != WM_MSG_PAINT) {
    objectMessage(msg, block);
    return;
  }
  BarObject b;
  if (b.get(block) && b.s->obj.made && !b.digitalIn(BAROBJ_DIN_HIDE)) paintBar(b);
}

// --- Type rows --------------------------------------------------------------------------------------

namespace {

constexpr uint16_t kGroupPages = 17;  // catalogue group of the operating-page blocks
constexpr uint16_t kWeight = 2;

constexpr uint32_t floatBits(float f) { return std::bit_cast<uint32_t>(f); }

// IMGOBJ.
constexpr const char* kImgTexts[] = {"IMGOBJ", "", ""};
constexpr uint16_t kImgWords[] = {0, IMGOBJ_DISPLAY};
constexpr uint16_t kImgValues[] = {0};
constexpr FbTemplate kImgTemplate = FB_SizedTemplate(FbTemplate{
    .type = OP_TYPE_IMGOBJ, .analogOutputs = 1, .digitalOutputs = 1, .analogInputs = 1, .digitalInputs = 3,
    .wordParams = kImgWords, .wordValues = kImgValues, .texts = kImgTexts,
    .workWords = BLK_WorkWordsOf<PictureObjectState>()});
constexpr FwShortLimit kImgWordLimits[] = {{0, 1}, {0, 3}};
constexpr FwShortLimit kImgValueLimits[] = {{0, 1}};
constexpr FbLimitTable kImgLimits{.wordParams = kImgWordLimits, .wordValues = kImgValueLimits};

// Colours (decimal RRGGBB) and ranges.
constexpr FwFloatLimit kColour{.min = 0.0f, .max = 999999.0f};
constexpr FwFloatLimit kRange{.min = -99999.0f, .max = 999999.0f, .attribute = 1};

// PROOBJ.
constexpr const char* kProTexts[] = {"PROGRESSOBJ"};
constexpr uint16_t kProValues[] = {1, PROOBJ_TEXT_NAME_SEGMENT, 1, 0};
constexpr uint32_t kProColours[] = {floatBits(999999.0f), floatBits(6699.0f), floatBits(0.0f)};
constexpr FbTemplate kProTemplate = FB_SizedTemplate(FbTemplate{
    .type = OP_TYPE_PROOBJ, .analogOutputs = 1, .analogInputs = 1, .digitalInputs = 2, .longValues = kProColours,
    .wordValues = kProValues, .texts = kProTexts, .workWords = BLK_WorkWordsOf<ProgressObjectState>()});
constexpr FwShortLimit kProValueLimits[] = {{0, 1}, {0, 8}, {0, 1}, {0, 1}};
constexpr FwFloatLimit kProColourLimits[] = {kColour, kColour, kColour};
constexpr FbLimitTable kProLimits{.wordValues = kProValueLimits, .longValues = kProColourLimits};

// BAROBJ.
constexpr const char* kBarTexts[] = {"BAROBJ", ""};
constexpr uint16_t kBarValues[] = {100, 20, 0, 1, 0, 1, 0};
constexpr uint32_t kBarFloats[] = {floatBits(0.0f), floatBits(100.0f), floatBits(999999.0f), floatBits(6699.0f),
                                   floatBits(0.0f)};
constexpr FbTemplate kBarTemplate = FB_SizedTemplate(FbTemplate{
    .type = OP_TYPE_BAROBJ, .analogOutputs = 1, .analogInputs = 3, .digitalInputs = 2, .longValues = kBarFloats,
    .wordValues = kBarValues, .texts = kBarTexts, .workWords = BLK_WorkWordsOf<BarObjectState>()});
constexpr FwShortLimit kBarValueLimits[] = {{1, 320}, {1, 240}, {0, 1}, {0, 1}, {0, 1}, {0, 3}, {0, 2}};
constexpr FwFloatLimit kBarFloatLimits[] = {kRange, kRange, kColour, kColour, kColour};
constexpr FbLimitTable kBarLimits{.wordValues = kBarValueLimits, .longValues = kBarFloatLimits};

// TRDOBJ.
constexpr const char* kTrdTexts[] = {"TRDOBJ", "", "", "", ""};
constexpr float kTrdFloats[] = {0.0f, 100.0f, 0.0f,   100.0f, 0.0f,    100.0f, 0.0f, 100.0f,
                                990000.0f, 9900.0f, 99.0f, 999900.0f, 0.0f, 1.0f};
constexpr uint16_t kTrdValues[] = {60, 1, 0};
constexpr FbTemplate kTrdTemplate = FB_SizedTemplate(FbTemplate{
    .type = OP_TYPE_TRDOBJ, .analogOutputs = 1, .analogInputs = OP_TREND_CURVES, .floatParams = kTrdFloats,
    .wordValues = kTrdValues, .texts = kTrdTexts, .workWords = BLK_WorkWordsOf<TrendObjectState>()});
constexpr FwFloatLimit kPeriod{.min = 0.0f, .max = 3600.0f, .attribute = 1};
constexpr FwFloatLimit kTrdFloatLimits[] = {kRange,  kRange,  kRange,  kRange,  kRange,  kRange, kRange,
                                            kRange,  kColour, kColour, kColour, kColour, kColour, kPeriod};
constexpr FwShortLimit kTrdValueLimits[] = {{1, OP_TREND_SAMPLES}, {1, 10}, {0, 1}};
constexpr FbLimitTable kTrdLimits{.floatParams = kTrdFloatLimits, .wordValues = kTrdValueLimits};

constexpr BlkTypeRow kRows[] = {
    {&kImgTemplate, FB_IMGOBJ_Run, FB_IMGOBJ_Init, FB_IMGOBJ_Param, &kImgLimits, kWeight, kGroupPages},
    {&kProTemplate, FB_PROOBJ_Run, FB_PROOBJ_Init, FB_PROOBJ_Param, &kProLimits, kWeight, kGroupPages},
    {&kBarTemplate, FB_BAROBJ_Run, FB_BAROBJ_Init, FB_BAROBJ_Param, &kBarLimits, kWeight, kGroupPages},
    {&kTrdTemplate, FB_TRDOBJ_Run, FB_TRDOBJ_Init, FB_TRDOBJ_Param, &kTrdLimits, kWeight, kGroupPages},
};

}  // namespace

void OP_RegisterDrawnObjectTypes() { BLK_RegisterTimeGroupTypes(kRows); }
