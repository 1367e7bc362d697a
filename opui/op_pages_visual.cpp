#include "opui/op_pages_visual.h"

#include <cstdio>
#include <cstring>

#include "opui/op_blockpage.h"
#include "opui/op_display.h"
#include "opui/op_editor.h"
#include "opui/op_field_editor.h"
#include "opui/op_format.h"
#include "opui/op_input.h"
#include "opui/op_keys.h"
#include "opui/op_services.h"
#include "runtime/fb_param.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_numeric.h"

OpBarPageState g_opBarState;
OpTrendPageState g_opTrendState;
OpAlarmPageState g_opAlarmList;

namespace {

// Glyphs of the device font that the pages use as symbols.
constexpr char kSymPrevious = '\xAB';     // header field 1: the VWERT before
constexpr char kSymNext = '\xBB';         // header field 2: the VWERT behind
constexpr char kSymRadioSet = '\xA4';
constexpr char kSymRadioClear = '\xB0';
constexpr char kSymBullet = '\xB7';
constexpr char kSymHistory = '\xAB';      // the trend shows older points
constexpr char kSymCursor = '\xBB';       // the alarm row under the cursor
constexpr char kSymMoreAbove = '^';
constexpr char kSymMoreBelow = 'v';
constexpr const char* kZoomOn = "Z+";
constexpr const char* kZoomOff = "Z-";
// A row of the alarm list whose input is in state 1 is drawn in this colour byte.
constexpr uint8_t kAlarmRowColour = OP_ROW_ALARM;

OpTextRow* pageRow(int i) { return &g_opPageRows.rows[i]; }

// Writes a page row; the row is marked changed only when its text or colours differ, so that
// a refresh that finds nothing new draws nothing.
void setRow(OpTextRow* row, const char* text, uint8_t colour = OP_ROW_NORMAL, bool allColours = true) {
  OpTextRow next = *row;
  std::snprintf(next.text, sizeof next.text, "%s", text ? text : "");
  std::memset(next.colors, allColours ? colour : uint8_t{OP_ROW_NORMAL}, sizeof next.colors);
  next.colors[0] = colour;
  if (std::memcmp(next.text, row->text, sizeof next.text) != 0 ||
      std::memcmp(next.colors, row->colors, sizeof next.colors) != 0) {
    next.changed = 1;
    *row = next;
  }
}

// The colour bytes of a row that marks a selected (5) or operated (13) item, or none (0).
void markRow(OpTextRow* row, uint8_t colour) {
  bool differs = false;
  for (uint8_t& c : row->colors) {
    differs |= c != colour;
    c = colour;
  }
  if (differs) row->changed = 1;
}

void clearPageArea() {
  for (OpTextRow& r : g_opPageRows.rows) r = OpTextRow{};
  for (int16_t& b : g_opPageRows.bars) b = 0;
}

// The first n characters of a blank-padded text, NUL-terminated; `trim` cuts the blanks.
void textPart(char* out, const char* text, int n, bool trim) {
  int len = 0;
  while (len < n && text[len]) ++len;
  std::memcpy(out, text, static_cast<size_t>(len));
  out[len] = 0;
  if (trim) FW_TrimRight(out);
}

// A key 2 or 4 event that repeats after six held cycles (trend and alarm pages).
bool repeatStep(uint8_t step, uint8_t hold, uint8_t key) {
  return step || (g_opKeys.lastKeyCode == key && hold > 6);
}

// The page record of the page's block, when the block set one of the type.
template <typename Record>
Record* pageRecord(uint16_t type) {
  return VIS_Page<Record>(g_opBlockPage.block, type);
}

bool editorFree() { return !OP_EditActive() && !OP_TouchWindowOpen() && !g_opFieldEditor.editing; }

// ================================================================================================
// Value page (VWERT)

constexpr int kValueLines = VWERT_ROWS;
constexpr int kValueFieldCount = kValueLines + 2;
constexpr int kNameChars = 8, kUnitChars = 6, kValueChars = 8;
constexpr int kValueColumn = kNameChars + 3;   // "%-s = " before the value
constexpr uint8_t kHeaderPrevRow = 0, kHeaderNextRow = 7;

struct ValuePageState {
  uint8_t pause;             // cycles without refresh after a key action
  uint8_t shownLine;         // the line the page's commit writes (0-based)
};
ValuePageState g_value;

const FwShortLimit kByteLimits{0, 1};

// The page's fields, built at every page open for the record's line kinds, and the editor's
// targets of the lines: shadows of the values, their limits and text lists.
struct ValuePageFields {
  float lineFloat[kValueLines];
  uint8_t lineByte[kValueLines];
  uint16_t headerValue[2];   // the blocks the header fields lead to
  FbFloatLimitData lineLimits[kValueLines];
  FbValueEntry entries[kValueFieldCount];
  OpFieldExtra lineExtra[kValueLines];
  OpPageField fields[kValueFieldCount];
};
ValuePageFields g_valueFields;

constexpr OpRect kHeaderPrevRect{260, 34, 30, 24}, kHeaderNextRect{290, 34, 30, 24};
constexpr OpRect lineRect(int i) { return {0, static_cast<int16_t>(60 + 29 * i), 320, 29}; }
constexpr OpRect kLineRects[kValueLines] = {lineRect(0), lineRect(1), lineRect(2),
                                            lineRect(3), lineRect(4), lineRect(5)};

const OpFieldTable kValueTable{nullptr, g_valueFields.fields};

VwertPage* valueRecord() { return pageRecord<VwertPage>(BLK_TYPE_VWERT); }

bool isWordMode(uint8_t mode) {
  return mode == VWERT_MODE_DIGITAL || mode == VWERT_MODE_RADIO || mode == VWERT_MODE_TOGGLE || mode == VWERT_MODE_BUTTON ||
         mode == VWERT_MODE_MENU;
}
uint8_t dispOf(const VwertRow& row) { return isWordMode(row.mode) ? row.wordDisp : row.disp; }

bool lineTakesInput(const VwertPage& r, int line) {
  return line >= 0 && line < kValueLines && !r.header.lock && dispOf(r.rows[line]) == VIS_DISP_ADJUST;
}

int chainCount(const VwertPage& r, int line) {
  int n = 0;
  while (n < static_cast<int>(VWERT_TEXT_CHAIN) && r.textChain[line][n]) ++n;
  return n;
}

// The editor's kind of a line, 0 for the lines that key 1 operates.
uint8_t editKind(uint8_t mode) {
  switch (mode) {
    case VWERT_MODE_DIGITAL: return OP_FIELD_BYTE;
    case VWERT_MODE_TIME: return OP_FIELD_HMS;
    case VWERT_MODE_TEXT: return OP_FIELD_RECORD;
    case VWERT_MODE_RADIO: case VWERT_MODE_TOGGLE: case VWERT_MODE_BUTTON: case VWERT_MODE_MENU: return 0;
    default: return OP_FIELD_FLOAT;
  }
}

// Builds the field table for the record's line kinds (the page-open step "row kinds").
void buildValueFields(const VwertPage& r) {
  for (int f = 0; f < kValueFieldCount; ++f) g_valueFields.entries[f] = FbValueEntry{};
  g_valueFields.headerValue[0] = r.predecessor;
  g_valueFields.headerValue[1] = r.successor;
  g_valueFields.entries[0] = {FB_KIND_WORD, 0, &g_valueFields.headerValue[0], nullptr, nullptr, 0, 0};
  g_valueFields.entries[kValueFieldCount - 1] = {FB_KIND_WORD, 0, &g_valueFields.headerValue[1], nullptr, nullptr, 0, 0};
  g_valueFields.fields[0] = {&g_valueFields.entries[0], nullptr, 0, OP_PF_JUMP, &kHeaderPrevRect, pageRow(kHeaderPrevRow), 0, 0, 0};
  g_valueFields.fields[kValueFieldCount - 1] = {&g_valueFields.entries[kValueFieldCount - 1], nullptr, 0, OP_PF_JUMP,
                                         &kHeaderNextRect, pageRow(kHeaderNextRow), 0, 0, 0};
  for (int i = 0; i < kValueLines; ++i) {
    const uint8_t mode = r.rows[i].mode;
    const bool number = editKind(mode) == OP_FIELD_FLOAT || editKind(mode) == OP_FIELD_HMS;
    FbValueEntry& e = g_valueFields.entries[i + 1];
    e = {FB_KIND_FLOAT, 0, &g_valueFields.lineFloat[i], nullptr, &g_valueFields.lineLimits[i], 0, 0};
    e.kind = editKind(mode) ? editKind(mode) : uint8_t{OP_FIELD_BYTE};
    if (mode == VWERT_MODE_DIGITAL || !editKind(mode)) {
      e.value = &g_valueFields.lineByte[i];
      e.limits = &kByteLimits;
    }
    g_valueFields.lineExtra[i] = OpFieldExtra{0, r.textChain[i], chainCount(r, i), OP_EDIT_MODE_DIALOG, nullptr};
    g_valueFields.fields[i + 1] = {&e, &g_valueFields.lineExtra[i], 0, OP_ValueRowKind(mode), &kLineRects[i], pageRow(1 + i),
                            static_cast<uint8_t>(number ? kValueColumn : 0),
                            static_cast<uint8_t>(number ? kValueChars : OP_ROW_CHARS), 0};
  }
}

void writeLine(const VwertPage& r, int line) {
  char text[OP_ROW_CHARS + 1];
  OP_ValueLineText(r, line, text);
  OpTextRow* row = pageRow(1 + line);
  // The colours stay: a selected line keeps its mark.
  std::snprintf(row->text, sizeof row->text, "%s", text);
  row->changed = 1;
}

void setWord(VwertPage& r, int line, uint16_t value) {
  VwertRow& row = r.rows[line];
  row.word = value;
  row.wordChanged = 1;
  writeLine(r, line);
}

// The commit of a finished edit: the value goes into the record, marked for the block.
int commitLine(const FbValueEntry*, uint16_t, float value) {
  VwertPage* r = valueRecord();
  const int line = g_value.shownLine;
  if (!r || line < 0 || line >= kValueLines) return FW_POST_BAD;
  VwertRow& row = r->rows[line];
  if (row.mode == VWERT_MODE_DIGITAL) {
    row.word = value != 0.0f ? 1 : 0;
    row.wordChanged = 1;
  } else {
    row.value = value;
    row.valueChanged = 1;
  }
  return FW_POST_OK;
}

int valueEnter(uint16_t field) {
  VwertPage* r = valueRecord();
  if (!r) return -1;
  if (field == OP_VALUE_FIELD_PREVIOUS) return OP_BlockPageJump(r->predecessor) ? 1 : -1;
  if (field == OP_VALUE_FIELD_NEXT) return OP_BlockPageJump(r->successor) ? 1 : -1;
  const int line = field - OP_VALUE_FIELD_LINE1;
  if (!lineTakesInput(*r, line)) return -1;
  const VwertRow& row = r->rows[line];
  if (!editKind(row.mode)) return -1;   // key 1 operates these lines
  g_value.shownLine = static_cast<uint8_t>(line);
  g_valueFields.lineByte[line] = row.word ? 1 : 0;
  g_valueFields.lineFloat[line] = row.value;
  OP_SetFloatLimits(&g_valueFields.lineLimits[line], row.min, row.max, row.dp);
  if (row.mode == VWERT_MODE_TEXT) OP_SetFloatLimits(&g_valueFields.lineLimits[line], 1.0f, 4.0f * chainCount(*r, line), 0);
  return OP_ENTER_COMMON;
}

// ================================================================================================
// Bar pages (VBAR)

constexpr int kBarMarkTop = 110, kBarMarkHeight = 122;   // vertical marks (screen 3)
constexpr int kBarMarkLeft = 6, kBarMarkWidth = 308;     // horizontal marks (screen 4)
constexpr int kBarValueChars = 7;

float g_barFloat[2];
FbFloatLimitData g_barLimits[2];
FbValueEntry g_barEntries[2] = {
    {FB_KIND_FLOAT, 0, &g_barFloat[0], nullptr, &g_barLimits[0], 0, 0},
    {FB_KIND_FLOAT, 0, &g_barFloat[1], nullptr, &g_barLimits[1], 0, 0},
};
constexpr OpRect kBarValueRectsV[2] = {{0, 82, 160, 22}, {160, 82, 160, 22}};
constexpr OpRect kBarValueRectsH[2] = {{160, 60, 160, 22}, {160, 134, 160, 22}};
const OpPageField kBarFieldsV[2] = {
    {&g_barEntries[0], nullptr, 0, OP_PF_FLOAT, &kBarValueRectsV[0], &g_opPageRows.rows[1], 0, kBarValueChars, 0},
    {&g_barEntries[1], nullptr, 0, OP_PF_FLOAT, &kBarValueRectsV[1], &g_opPageRows.rows[3], 0, kBarValueChars, 0},
};
const OpPageField kBarFieldsH[2] = {
    {&g_barEntries[0], nullptr, 0, OP_PF_FLOAT, &kBarValueRectsH[0], &g_opPageRows.rows[1], 0, kBarValueChars, 0},
    {&g_barEntries[1], nullptr, 0, OP_PF_FLOAT, &kBarValueRectsH[1], &g_opPageRows.rows[3], 0, kBarValueChars, 0},
};
const OpFieldTable kBarTableV{nullptr, kBarFieldsV};
const OpFieldTable kBarTableH{nullptr, kBarFieldsH};

VbarPage* barRecord() { return pageRecord<VbarPage>(BLK_TYPE_VBAR); }

bool barTakesInput(const VbarPage& r, int i) {
  return !r.header.lock && r.op[i].disp == VIS_DISP_ADJUST;
}

// A bar's length in per mille of its range, the ends snapped: a vertical bar below 10 % is
// empty and above 90 % full, a horizontal one at 5 % and 95 %.
int16_t barLength(const VbarBar& b, bool vertical) {
  const int32_t g = FW_ScaleToPermille(b.value, b.start, b.end);
  const int low = vertical ? 100 : 50;
  if (g < low) return 0;
  if (g > 1000 - low) return 1000;
  return static_cast<int16_t>(g);
}

// The per-mille value that makes the text screen's marker element draw a mark at `place`
// (the element's layout puts it at origin + size x g / 1000, from the bottom for vertical
// bars); 0, no mark, for a hidden one.
int16_t markPermille(int place, bool vertical) {
  const int size = vertical ? kBarMarkHeight : kBarMarkWidth;
  const int d = vertical ? kBarMarkTop + kBarMarkHeight - 1 - place : place - kBarMarkLeft;
  if ((vertical && place >= OP_BAR_MARK_HIDDEN_Y) || (!vertical && place >= OP_BAR_MARK_HIDDEN_X) || d <= 0) {
    return 0;
  }
  const int g = (d * 1000 + size - 1) / size;
  return static_cast<int16_t>(g < 1000 ? g : 0);
}

void writeBarValue(const VbarPage& r, int i) {
  if (r.x[i].disp == VIS_DISP_EMPTY) return;
  const bool adjust = r.op[i].disp == VIS_DISP_ADJUST;
  const float v = adjust ? r.op[i].value : r.x[i].value;
  const int dp = adjust ? r.op[i].dp : r.x[i].dp;
  char number[kBarValueChars + 1], unit[FB_TEXT_LEN + 1];
  OP_NumberText(number, kBarValueChars, v, dp);
  textPart(unit, r.unit[i], sizeof r.unit[i] < kUnitChars ? sizeof r.unit[i] : kUnitChars, true);
  OpTextRow* row = pageRow(1 + 2 * i);
  // The colours stay: a selected value keeps its mark.
  char text[OP_ROW_CHARS + 1];
  std::snprintf(text, sizeof text, "%s %s", number, unit);
  if (std::strcmp(text, row->text) != 0) {
    std::snprintf(row->text, sizeof row->text, "%s", text);
    row->changed = 1;
  }
}

void placeMarks(const VbarPage& r, int bar, bool vertical) {
  const VbarBar& b = r.bar[bar];
  for (int m = 0; m < 2; ++m) {
    const int place = OP_BarMarkerPos(r.mark[2 * bar + m], b.start, b.end, vertical ? kBarMarkTop : kBarMarkLeft,
                                      vertical ? kBarMarkHeight : kBarMarkWidth, vertical);
    g_opBarState.marker[2 * bar + m] = static_cast<int16_t>(place);
    g_opPageRows.bars[2 + 2 * bar + m] = markPermille(place, vertical);
  }
}

int barOpen(bool vertical) {
  VbarPage* r = barRecord();
  if (!r) return 0;
  clearPageArea();
  for (int i = 0; i < 2; ++i) {
    char name[FB_TEXT_LEN + 1];
    textPart(name, r->name[i], sizeof r->name[i], true);
    setRow(pageRow(2 * i), name);
    writeBarValue(*r, i);
    g_opPageRows.bars[i] = barLength(r->bar[i], vertical);
    placeMarks(*r, i, vertical);
  }
  OP_ShowTextScreen(vertical ? 3 : 4, 0);   // every row of the screen (the dispatcher drew the title)
  return 0;
}

int barRefresh(bool vertical) {
  VbarPage* r = barRecord();
  if (!r) return 0;
  switch (OP_BlockRefreshStep(6, &r->header.updated)) {
    case 0:
      if (!OP_RefreshSkips(OP_BAR_FIELD_X1, &r->header.updated)) writeBarValue(*r, 0);
      break;
    case 3:
      if (!OP_RefreshSkips(OP_BAR_FIELD_X2, &r->header.updated)) writeBarValue(*r, 1);
      break;
    case 1: g_opPageRows.bars[0] = barLength(r->bar[0], vertical); break;
    case 2: g_opPageRows.bars[1] = barLength(r->bar[1], vertical); break;
    case 4: placeMarks(*r, 0, vertical); break;
    case 5: placeMarks(*r, 1, vertical); break;
    default: break;
  }
  return 0;
}

uint16_t barCursor(uint16_t index, int direction) {
  const VbarPage* r = barRecord();
  for (int n = 0, i = index; n < 3; ++n, i += direction < 0 ? -1 : 1) {
    if (i > 2) i = 0;
    if (i < 0) i = 2;
    if (i == 0 || (r && barTakesInput(*r, i - 1))) return static_cast<uint16_t>(i);
  }
  return 0;
}

int commitBar(const FbValueEntry*, uint16_t, float value) {
  VbarPage* r = barRecord();
  const uint16_t field = g_opFieldEditor.currentField;
  if (!r || field < OP_BAR_FIELD_X1 || field > OP_BAR_FIELD_X2) return FW_POST_BAD;
  VbarOperator& s = r->op[field - OP_BAR_FIELD_X1];
  s.value = value;
  s.changed = 1;
  return FW_POST_OK;
}

int barEnter(uint16_t field) {
  const VbarPage* r = barRecord();
  if (!r || field < OP_BAR_FIELD_X1 || field > OP_BAR_FIELD_X2) return -1;
  const int i = field - OP_BAR_FIELD_X1;
  if (!barTakesInput(*r, i)) return -1;
  const VbarOperator& s = r->op[i];
  g_barFloat[i] = s.value;
  OP_SetFloatLimits(&g_barLimits[i], s.min, s.max, s.dp);
  return OP_ENTER_COMMON;
}

// ================================================================================================
// Trend page (VTREND)

constexpr uint16_t kTrendPoints = VTREND_RING;
constexpr uint16_t kTrendIdleCycles = 600;        // back to no selection
constexpr uint16_t kHistoryOperatedIdle = 8;      // the history turns "operated" after this
constexpr uint16_t kZoomOperatedIdle = 9;
constexpr uint16_t kScrollFast = 25;              // points a repeat moves the history by
constexpr int kUnitTextChars = 6;
enum : uint8_t {
  kTrendRowLeft = 0, kTrendRowValue = 1, kTrendRowRight = 2, kTrendRowTop = 3, kTrendRowBottom = 4,
  kTrendRowHeader = 5, kTrendRowHistory = 6, kTrendRowZoom = 7,
};

// One ring of the chain, its references checked against the instance heap.
struct TrendRing {
  const int16_t* points = nullptr;
  const FbF32* values = nullptr;
  uint16_t newest = 0, count = 0;
};

// The rings of the page's block and of the blocks that keep its older points, along the
// cascade; a ring that is not full has no older points behind it.
struct TrendChain {
  TrendRing ring[OP_TREND_CHAIN_MAX];
  int n = 0;
  uint32_t length = 0;
};
void chainOf(TrendChain* c) {
  bool ended = false;
  VIS_WalkTrendCascade(g_opBlockPage.block, [c, &ended](uint16_t, const VtrendPage& r) {
    const int16_t* points = VIS_TrendPoints(r);
    if (ended || c->n == OP_TREND_CHAIN_MAX || !points) {
      ended = true;
      return;
    }
    TrendRing& ring = c->ring[c->n++];
    ring.points = points;
    ring.values = VIS_TrendValues(r);
    ring.newest = static_cast<uint16_t>(r.newest % kTrendPoints);
    ring.count = r.count < kTrendPoints ? r.count : kTrendPoints;
    c->length += ring.count;
    ended = ring.count < kTrendPoints;
  });
}

// Point k back from the newest (0 the newest): its per-mille value and its value.
bool chainPoint(const TrendChain& c, uint32_t k, int16_t* permille, float* value) {
  for (int i = 0; i < c.n; ++i) {
    const TrendRing& ring = c.ring[i];
    if (k < ring.count) {
      const uint32_t at = (ring.newest + kTrendPoints - k) % kTrendPoints;
      *permille = ring.points[at];
      if (ring.values) {
        *value = ring.values[at];
      } else {
        *value = FW_NO_VALUE;
      }
      return true;
    }
    k -= ring.count;
  }
  return false;
}

// Collects the window of the points at the history offset and hands it to the text screen's
// trend strip; the offset is clamped to the chain.
void collectWindow(const VtrendPage& r) {
  OpTrendPageState& g = g_opTrendState;
  TrendChain c;
  chainOf(&c);
  g.chainLength = c.length;
  if (g.offset >= c.length) g.offset = static_cast<uint16_t>(c.length ? c.length - 1 : 0);
  int n = 0;
  float value = FW_NO_VALUE;
  for (; n < kTrendPoints; ++n) {
    int16_t p;
    float v;
    if (!chainPoint(c, g.offset + static_cast<uint32_t>(n), &p, &v)) break;
    if (n == 0) value = v;
    g.window[kTrendPoints - 1 - n] = p;
  }
  g.cursorValue = value;
  g.shownNewest = static_cast<uint16_t>(r.newest % kTrendPoints);
  g.shownCount = r.count;
  OpTextScreen& s = g_opTextScreen;
  s.trendRing = g.window;
  s.trendRingSize = kTrendPoints;
  s.trendNewest = kTrendPoints - 1;
  s.trendCount = static_cast<uint16_t>(n);
  s.trendMode = static_cast<uint8_t>(g.zoom > 0 ? g.zoom : 0);
  s.trendColor = OP_CC_FOREGROUND;
  s.trendDrawnIndex = 0xFFFF;   // the strip is drawn anew
}


// The value field: "Reset" and "Stop" while the block is reset or stopped, the newest value
// while the page follows it, else the value under the cursor in brackets.
void trendValueField(const VtrendPage& r) {
  const OpTrendPageState& g = g_opTrendState;
  char number[OP_NUMBER_CHARS + 1], text[OP_ROW_CHARS + 1];
  OP_NumberText(number, OP_NUMBER_CHARS, g.cursorValue, r.dp);
  if (r.reset) {
    std::snprintf(text, sizeof text, "Reset");
  } else if (r.disabl) {
    std::snprintf(text, sizeof text, "Stop");
  } else if (g.offset == 0) {
    std::snprintf(text, sizeof text, "%s", number);
  } else {
    std::snprintf(text, sizeof text, "[%s]", number);
  }
  OpTextRow* row = pageRow(kTrendRowValue);
  if (std::strcmp(text, row->text) != 0) {
    std::snprintf(row->text, sizeof row->text, "%s", text);
    row->changed = 1;
  }
  const float v = g.offset == 0 && g.shownCount == 0 ? r.value.get() : g.cursorValue;
  g_opPageRows.bars[0] = static_cast<int16_t>(FW_ScaleToPermille(v, r.x0, r.x100));
}

// The marks of the items the keys select: 5 selected, 13 operated.
void trendMarks() {
  const OpTrendPageState& g = g_opTrendState;
  const uint16_t idle = g_opKeys.idleTicks;
  uint8_t history = OP_ROW_NORMAL, zoom = OP_ROW_NORMAL, zoomItem = OP_ROW_NORMAL;
  switch (g.keyState) {
    case OP_TREND_KEY_HISTORY: history = OP_ROW_HIGHLIGHT; break;
    case OP_TREND_KEY_SCROLL:
      history = g.operatedNow || idle > kHistoryOperatedIdle ? OP_ROW_EDIT : OP_ROW_HIGHLIGHT;
      break;
    case OP_TREND_KEY_ZOOM: zoom = OP_ROW_HIGHLIGHT; break;
    case OP_TREND_KEY_ZOOMING:
      zoomItem = g.operatedNow || idle >= kZoomOperatedIdle ? OP_ROW_EDIT : OP_ROW_HIGHLIGHT;
      break;
    case OP_TREND_KEY_ZOOM_ITEM: zoomItem = OP_ROW_HIGHLIGHT; break;
    default: break;
  }
  markRow(pageRow(kTrendRowLeft), history);
  markRow(pageRow(kTrendRowRight), history);
  markRow(pageRow(kTrendRowZoom), zoom);
  markRow(pageRow(kTrendRowTop), zoomItem);
  markRow(pageRow(kTrendRowBottom), zoomItem);
}

void trendLabels(const VtrendPage& r) {
  const OpTrendPageState& g = g_opTrendState;
  char a[OP_ROW_CHARS + 1], b[OP_ROW_CHARS + 1];
  OP_TrendTimeLabels(r.period, r.timeUnit, g.offset, a, b, sizeof a);
  setRow(pageRow(kTrendRowLeft), a);
  setRow(pageRow(kTrendRowRight), b);
  float bottom, top;
  OP_TrendValueRange(r.x0, r.x100, g.zoom, &bottom, &top);
  char number[OP_NUMBER_CHARS + 1];
  OP_NumberText(number, OP_NUMBER_CHARS, top, r.dp);
  setRow(pageRow(kTrendRowTop), number);
  OP_NumberText(number, OP_NUMBER_CHARS, bottom, r.dp);
  setRow(pageRow(kTrendRowBottom), number);
  const char history[2] = {g.offset ? kSymHistory : ' ', 0};
  setRow(pageRow(kTrendRowHistory), history);
  setRow(pageRow(kTrendRowZoom), g.zoom > 0 ? kZoomOn : kZoomOff);
}


// ================================================================================================
// Alarm page (VALARM)

constexpr int kAlarmRowY0 = 60, kAlarmRowHeight = 22;
constexpr const char* kEmptyAlarmRow = "----------------";

void alarmText(OpAlarmRow& row, const ValarmState& s) {
  const int k = row.input - 1;
  if (row.state == OP_ALARM_NONE) {
    std::snprintf(row.text, sizeof row.text, "----%d%d----", row.source, row.input);
    return;
  }
  const uint16_t list = s.textBlock[k / 4];
  FbLayout L;
  if (list && FB_GetLayout(list, &L) && L.type == OP_TYPE_TEXT) {
    char text[OP_RECORD_LABEL_CHARS + 1];
    OP_FormatRecordLabel(text, k % 4 + 1, 1, &list);
    std::snprintf(row.text, sizeof row.text, "%16s", text);
  } else {
    std::snprintf(row.text, sizeof row.text, "%d%d : Alarm", row.source, row.input);
  }
}

uint16_t alarmRowsOfBlock() {
  const ValarmState* s = OP_AlarmStateOf(g_opBlockPage.block);
  const uint16_t n = s ? s->numbered : 0;
  return n < OP_ALARM_MAX_NUMBER ? n : OP_ALARM_MAX_NUMBER;
}

void buildAlarmList() {
  OpAlarmPageState& g = g_opAlarmList;
  g.count = static_cast<uint8_t>(alarmRowsOfBlock());
  for (int r = 0; r < OP_ALARM_MAX_NUMBER; ++r) {
    g.rows[r] = OpAlarmRow{};
    if (r < g.count) std::snprintf(g.rows[r].text, sizeof g.rows[r].text, "----------");
  }
  for (int src = 1; src <= OP_ALARM_SLOTS; ++src) {
    const ValarmState* s = OP_AlarmStateOf(static_cast<uint16_t>(OP_ALARM_FIRST_BLOCK + src - 1));
    if (!s) continue;
    for (int in = 1; in <= OP_ALARM_INPUTS; ++in) {
      const int n = s->number[in - 1];
      if (n < 1 || n > g.count) continue;
      OpAlarmRow& row = g.rows[n - 1];
      row.source = static_cast<uint8_t>(src);
      row.input = static_cast<uint8_t>(in);
      row.state = s->state[in - 1] <= OP_ALARM_GONE ? s->state[in - 1] : uint8_t{OP_ALARM_NONE};
      alarmText(row, *s);
    }
  }
}

const ValarmState* sourceOf(const OpAlarmRow& row) {
  if (row.source < 1 || row.source > OP_ALARM_SLOTS || row.input < 1 || row.input > OP_ALARM_INPUTS) return nullptr;
  return OP_AlarmStateOf(static_cast<uint16_t>(OP_ALARM_FIRST_BLOCK + row.source - 1));
}

// Screen row i (0..7) of the window.
void showAlarmRow(int i) {
  const OpAlarmPageState& g = g_opAlarmList;
  const int r = g.top + i;
  const bool listed = r < g.count;
  const char cursor = listed && r == g.cursor ? kSymCursor : ' ';
  char more = ' ';
  if (i == 0 && g.top > 0) more = kSymMoreAbove;
  if (i == OP_ALARM_PAGE_ROWS - 1 && g.top + OP_ALARM_PAGE_ROWS < g.count) more = kSymMoreBelow;
  char text[OP_ROW_CHARS + 1];
  std::snprintf(text, sizeof text, "%c%-16s %c", cursor, listed && g.rows[r].text[0] ? g.rows[r].text : kEmptyAlarmRow,
                more);
  const uint8_t state = listed ? g.rows[r].state : uint8_t{OP_ALARM_NONE};
  if (state == OP_ALARM_ACTIVE) {
    setRow(pageRow(i), text, kAlarmRowColour);
  } else {
    setRow(pageRow(i), text, state, false);
  }
}

void showAlarmWindow() {
  for (int i = 0; i < OP_ALARM_PAGE_ROWS; ++i) showAlarmRow(i);
}

void keepCursorVisible() {
  OpAlarmPageState& g = g_opAlarmList;
  if (g.cursor < g.top) g.top = g.cursor;
  if (g.cursor >= g.top + OP_ALARM_PAGE_ROWS) g.top = static_cast<uint8_t>(g.cursor - (OP_ALARM_PAGE_ROWS - 1));
}

bool rowHasState(int r) {
  const OpAlarmPageState& g = g_opAlarmList;
  return r >= 0 && r < g.count && g.rows[r].source && g.rows[r].state != OP_ALARM_NONE;
}

void moveAlarmCursor(int direction) {
  OpAlarmPageState& g = g_opAlarmList;
  int r = g.cursor + direction;
  while (r >= 0 && r < g.count && !rowHasState(r)) r += direction;
  if (r >= 0 && r < g.count) {
    g.cursor = static_cast<uint8_t>(r);
  } else if (direction < 0) {
    // Up from the first row: the last eight rows, the cursor on the last with a state.
    int last = g.count - 1;
    while (last >= 0 && !rowHasState(last)) --last;
    if (last < 0) return;
    g.top = static_cast<uint8_t>(g.count > OP_ALARM_PAGE_ROWS ? g.count - OP_ALARM_PAGE_ROWS : 0);
    g.cursor = static_cast<uint8_t>(last);
  }
  keepCursorVisible();
  showAlarmWindow();
}

void acknowledgeRow(int r) {
  OpAlarmPageState& g = g_opAlarmList;
  if (r < 0 || r >= g.count) return;
  OpAlarmRow& row = g.rows[r];
  ValarmState* s = const_cast<ValarmState*>(sourceOf(row));
  // While the acknowledge input is held the block acknowledges by itself.
  if (!s || s->ackHeld) return;
  uint8_t& st = s->state[row.input - 1];
  if (st == OP_ALARM_GONE) {
    st = OP_ALARM_NONE;
    s->ackRequest[row.input - 1] = 1;
  } else if (st == OP_ALARM_ACTIVE) {
    st = OP_ALARM_ACKED;
  } else {
    return;
  }
  row.state = st;
  if (r >= g.top && r < g.top + OP_ALARM_PAGE_ROWS) {
    markRow(pageRow(r - g.top), OP_ROW_NORMAL);
    showAlarmRow(r - g.top);
  }
}

void touchAlarmRow(int y) {
  OpAlarmPageState& g = g_opAlarmList;
  const int i = (y - kAlarmRowY0) / kAlarmRowHeight;
  if (y < kAlarmRowY0 || i >= OP_ALARM_PAGE_ROWS) return;
  const int r = g.top + i;
  if (!rowHasState(r)) return;
  g.cursor = static_cast<uint8_t>(r);
  // At the window's edges the list scrolls by six rows.
  if (i == 0 && g.top > 0) g.top = static_cast<uint8_t>(g.top > 6 ? g.top - 6 : 0);
  if (i == OP_ALARM_PAGE_ROWS - 1 && g.top + OP_ALARM_PAGE_ROWS < g.count) {
    const int room = g.count - OP_ALARM_PAGE_ROWS - g.top;
    g.top = static_cast<uint8_t>(g.top + (room < 6 ? room : 6));
  }
  showAlarmWindow();
}

}  // namespace

// ================================================================================================
// The pages

const OpBlockPage g_opValuePage{.screen = 8, .open = OP_ValuePageOpen, .cycle = OP_ValuePageRefresh,
                                .key1 = OP_ValuePageKey, .cursor = OP_ValuePageCursor, .enter = valueEnter,
                                .fields = &kValueTable};
const OpBlockPage g_opBarPageV{.screen = 3, .open = OP_BarPageOpenV, .cycle = OP_BarPageRefreshV,
                               .cursor = OP_BarPageCursorV, .enter = barEnter, .fields = &kBarTableV};
const OpBlockPage g_opBarPageH{.screen = 4, .open = OP_BarPageOpenH, .cycle = OP_BarPageRefreshH,
                               .cursor = OP_BarPageCursorH, .enter = barEnter, .fields = &kBarTableH};
const OpBlockPage g_opTrendPage{.screen = 5, .open = OP_TrendPageDraw, .cycle = OP_TrendPageRefresh,
                                .keys = OP_TrendPageKey};
const OpBlockPage g_opAlarmPage{.screen = 9, .open = OP_AlarmPageOpen, .cycle = OP_AlarmPageRefresh,
                                .keys = OP_AlarmPageKey};

// --- Value page -----------------------------------------------------------------------------------

uint8_t OP_ValueRowKind(uint8_t mode) {
  static constexpr uint8_t kKinds[] = {OP_PF_FLOAT, 10, 13, 102, 101, 100, 103, 104};
  return mode < sizeof kKinds ? kKinds[mode] : uint8_t{OP_PF_FLOAT};
}

void OP_ValueLineText(const VwertPage& page, int line, char* out) {
  out[0] = 0;
  if (line < 0 || line >= kValueLines) return;
  const VwertRow& row = page.rows[line];
  const uint8_t disp = dispOf(row);
  if (disp == VIS_DISP_EMPTY) return;
  const bool adjust = disp == VIS_DISP_ADJUST;
  char name[FB_TEXT_LEN + 1];
  if (isWordMode(row.mode)) {
    const uint16_t v = adjust ? row.word : row.digital;
    textPart(name, v ? row.unit : row.name, FB_TEXT_LEN, true);
    if (row.mode == VWERT_MODE_RADIO) {
      std::snprintf(out, OP_ROW_CHARS + 1, "%s %c", name, v ? kSymRadioSet : kSymRadioClear);
    } else if (row.mode == VWERT_MODE_MENU) {
      std::snprintf(out, OP_ROW_CHARS + 1, "%s %c", name, kSymBullet);
    } else {
      std::snprintf(out, OP_ROW_CHARS + 1, "%s", name);
    }
    return;
  }
  const float v = adjust ? row.value.get() : row.analog.get();
  if (row.mode == VWERT_MODE_TEXT) {
    char entry[OP_RECORD_LABEL_CHARS + 1];
    OP_FormatRecordLabel(entry, FW_FloatToI32(v), chainCount(page, line), page.textChain[line]);
    std::snprintf(out, OP_ROW_CHARS + 1, "%s", entry);
    return;
  }
  char shortName[kNameChars + 1], shortUnit[kUnitChars + 1], number[kValueChars + 1];
  textPart(shortName, row.name, kNameChars, false);
  textPart(shortUnit, row.unit, kUnitChars, false);
  if (row.mode == VWERT_MODE_TIME) {
    OP_FormatHms(v, kValueChars, number, sizeof number);
  } else {
    OP_NumberText(number, kValueChars, v, row.dp);
  }
  std::snprintf(out, OP_ROW_CHARS + 1, "%-s = %8s %s", shortName, number, shortUnit);
}

int OP_ValuePageOpen() {
  VwertPage* r = valueRecord();
  if (!r) return 0;
  g_value = ValuePageState{};
  buildValueFields(*r);
  const char previous[2] = {kSymPrevious, 0}, next[2] = {kSymNext, 0};
  setRow(pageRow(kHeaderPrevRow), r->predecessor ? previous : "");
  setRow(pageRow(kHeaderNextRow), r->successor ? next : "");
  for (int i = 0; i < kValueLines; ++i) writeLine(*r, i);
  g_opBlockPage.refreshStep = 0;
  OP_ShowTextScreen(8, 0);   // every row of the screen (the dispatcher drew the title)
  return 0;
}

int OP_ValuePageRefresh(uint16_t) {
  VwertPage* r = valueRecord();
  if (!r) return 0;
  // An edit the common enter started writes into the record.
  if (g_opFieldEditor.editing && g_opEdit.commit == OP_ValueCommit) g_opEdit.commit = commitLine;
  if (g_value.pause) {
    --g_value.pause;
    return 0;
  }
  const int step = OP_BlockRefreshStep(kValueLines, &r->header.updated);
  if (step < 0) return 0;
  if (OP_RefreshSkips(static_cast<uint16_t>(OP_VALUE_FIELD_LINE1 + step), &r->header.updated)) return 0;
  writeLine(*r, step);
  return 0;
}

void OP_ValuePageKey(int fieldIndex) {
  VwertPage* r = valueRecord();
  const int line = fieldIndex + 1 - OP_VALUE_FIELD_LINE1;
  if (!r || !editorFree() || !lineTakesInput(*r, line)) return;
  const OpKeyState& k = g_opKeys;
  const uint8_t mode = r->rows[line].mode;
  if (k.holdFunction == 1) {
    switch (mode) {
      case VWERT_MODE_RADIO: {
        // A run of radio lines is one group: the others go off.
        for (int i = line - 1; i >= 0 && r->rows[i].mode == VWERT_MODE_RADIO; --i) setWord(*r, i, 0);
        for (int i = line + 1; i < kValueLines && r->rows[i].mode == VWERT_MODE_RADIO; ++i) setWord(*r, i, 0);
        setWord(*r, line, 1);
        break;
      }
      case VWERT_MODE_TOGGLE: setWord(*r, line, r->rows[line].word ? 0 : 1); break;
      case VWERT_MODE_BUTTON: setWord(*r, line, 1); break;
      default: return;
    }
  } else if (k.functionReleased && !k.holdFunction && mode == VWERT_MODE_BUTTON) {
    setWord(*r, line, 0);
  } else {
    return;
  }
  g_value.pause = OP_VALUE_PAUSE_CYCLES;
}

uint16_t OP_ValuePageCursor(uint16_t index, int direction) {
  const VwertPage* r = valueRecord();
  const int step = direction < 0 ? -1 : 1;
  int i = index;
  for (int n = 0; n <= kValueFieldCount; ++n, i += step) {
    if (i > kValueFieldCount) i = 0;
    if (i < 0) i = kValueFieldCount;
    if (i == 0) return 0;
    if (!r) continue;
    if (i == OP_VALUE_FIELD_PREVIOUS ? r->predecessor != 0
        : i == OP_VALUE_FIELD_NEXT   ? r->successor != 0
                                     : lineTakesInput(*r, i - OP_VALUE_FIELD_LINE1)) {
      return static_cast<uint16_t>(i);
    }
  }
  return 0;
}

// --- Bar pages ------------------------------------------------------------------------------------

int OP_BarMarkerPos(float v, float min, float max, int origin, int size, bool vertical) {
  const int hidden = vertical ? OP_BAR_MARK_HIDDEN_Y : OP_BAR_MARK_HIDDEN_X;
  const float lo = min < max ? min : max, hi = min < max ? max : min;
  // A mark that is not shown, outside the range, or on a range without span is hidden.
  if (v == VIS_NO_MARK || !(v >= lo && v <= hi) || !(hi > lo)) return hidden;
  const float f = (v - min) / (max - min) * static_cast<float>(size);
  const float place = vertical ? static_cast<float>(origin + size) - f - 0.9f : static_cast<float>(origin) + f - 0.9f;
  return FW_FloatToI32(place);
}

int OP_BarPageOpenV() { return barOpen(true); }
int OP_BarPageOpenH() { return barOpen(false); }

int OP_BarPageRefreshV(uint16_t) {
  if (g_opFieldEditor.editing && g_opEdit.commit == OP_ValueCommit) g_opEdit.commit = commitBar;
  return barRefresh(true);
}
int OP_BarPageRefreshH(uint16_t) {
  if (g_opFieldEditor.editing && g_opEdit.commit == OP_ValueCommit) g_opEdit.commit = commitBar;
  return barRefresh(false);
}
uint16_t OP_BarPageCursorV(uint16_t index, int direction) { return barCursor(index, direction); }
uint16_t OP_BarPageCursorH(uint16_t index, int direction) { return barCursor(index, direction); }

// --- Trend page -----------------------------------------------------------------------------------

void OP_TrendTimeLabels(float period, uint16_t unit, uint32_t offset, char* left, char* right, int size) {
  if (size <= 0) return;
  const size_t n = static_cast<size_t>(size);
  if (unit == OP_TREND_UNIT_EXTERNAL) {
    if (offset == 0) {
      left[0] = 0;
    } else {
      std::snprintf(left, n, "%d", static_cast<int>(offset + kTrendPoints));
    }
    std::snprintf(right, n, "%d", static_cast<int>(offset));
    return;
  }
  const char letter = unit == OP_TREND_UNIT_S ? 'S' : unit == OP_TREND_UNIT_MIN ? 'M' : unit == OP_TREND_UNIT_H ? 'H' : '?';
  const float span = static_cast<float>(kTrendPoints) * period;
  const int decimals = span > 1000.0f ? 0 : span > 100.0f ? 1 : 2;
  const float a = -static_cast<float>(offset + kTrendPoints) * period;
  // The right end at the newest point reads 0, not "-0".
  const float b = offset ? -static_cast<float>(offset) * period : 0.0f;
  std::snprintf(left, n, "%.*f %c", decimals, static_cast<double>(a), letter);
  std::snprintf(right, n, "%.*f %c", decimals, static_cast<double>(b), letter);
}

void OP_TrendValueRange(float min, float max, int zoom, float* bottom, float* top) {
  if (zoom <= 0 || zoom > OP_TREND_MAX_ZOOM) {
    *bottom = min;
    *top = max;
    return;
  }
  const float span = max - min;
  *bottom = min + static_cast<float>(zoom - 1) * span / 8.0f;
  *top = *bottom + span / 4.0f;
}

void OP_ResetStopResetPage() { g_opTrendState.drawing = 0; }

int OP_TrendPageDraw() {
  OpTrendPageState& g = g_opTrendState;
  if (g.drawing) return 0;
  const VtrendPage* r = pageRecord<VtrendPage>(BLK_TYPE_VTREND);
  if (!r) return 0;
  g.drawing = 1;
  if (g.block != g_opBlockPage.block) {
    const uint16_t block = g_opBlockPage.block;
    g = OpTrendPageState{};
    g.block = block;
    g.drawing = 1;
  }
  if (g.zoom > OP_TREND_MAX_ZOOM || g.zoom < -OP_TREND_MAX_ZOOM) g.zoom = 0;
  if (g.keyState > OP_TREND_KEY_ZOOM_ITEM) g.keyState = OP_TREND_KEY_NONE;
  clearPageArea();
  char unit[FB_TEXT_LEN + 1];
  textPart(unit, r->unitText, kUnitTextChars, true);
  setRow(pageRow(kTrendRowHeader), unit);
  collectWindow(*r);
  trendLabels(*r);
  trendValueField(*r);
  trendMarks();
  OP_ShowTextScreen(5, 0);
  g.drawing = 0;
  return 0;
}

int OP_TrendPageRefresh(uint16_t) {
  OpTrendPageState& g = g_opTrendState;
  VtrendPage* r = pageRecord<VtrendPage>(BLK_TYPE_VTREND);
  if (!r || g.block != g_opBlockPage.block) return 0;
  // A run that recorded marks the record; a new round of the page's rows is not needed, the
  // window follows the newest index below.
  r->header.updated = 0;
  // While the page follows the newest point a new sample moves the window.
  if (g.offset == 0 && (r->newest % kTrendPoints != g.shownNewest || r->count != g.shownCount)) {
    collectWindow(*r);
  }
  trendValueField(*r);
  trendMarks();
  return 0;
}

int OP_TrendPageKey() {
  OpTrendPageState& g = g_opTrendState;
  const VtrendPage* r = pageRecord<VtrendPage>(BLK_TYPE_VTREND);
  if (!r || g.block != g_opBlockPage.block || OP_TouchWindowOpen()) return 0;
  const OpKeyState& k = g_opKeys;
  if (OP_IsShortPress(k.exitReleased)) {
    // Leaving clears the selection.
    g.keyState = OP_TREND_KEY_NONE;
    return 0;
  }
  if (k.idleTicks > kTrendIdleCycles) g.keyState = OP_TREND_KEY_NONE;
  const bool up = repeatStep(k.upStep, k.holdUp, OP_KEY_UP);
  const bool down = !up && repeatStep(k.downStep, k.holdDown, OP_KEY_DOWN);
  const bool enter = OP_IsShortPress(k.enterReleased);
  const uint8_t zoomOrItem = g.zoom > 0 ? OP_TREND_KEY_ZOOM_ITEM : OP_TREND_KEY_ZOOM;
  const uint8_t historyOrItem = g.zoom > 0 ? OP_TREND_KEY_ZOOM_ITEM : OP_TREND_KEY_HISTORY;
  bool redraw = false;
  if (up || down || enter) g.operatedNow = 0;
  switch (g.keyState) {
    case OP_TREND_KEY_NONE:
      if (enter) return 1;
      if (up) g.keyState = OP_TREND_KEY_HISTORY;
      if (down) g.keyState = OP_TREND_KEY_ZOOM;
      break;
    case OP_TREND_KEY_HISTORY:
      if (up) g.keyState = zoomOrItem;
      if (down) g.keyState = OP_TREND_KEY_NONE;
      if (enter) {
        g.keyState = OP_TREND_KEY_SCROLL;
        g.operatedNow = 1;
      }
      break;
    case OP_TREND_KEY_SCROLL: {
      const bool fast = (up && k.holdUp > 6) || (down && k.holdDown > 6);
      const uint32_t stepBy = fast ? kScrollFast : 1;
      const uint32_t last = g.chainLength ? g.chainLength - 1 : 0;
      if (up && g.offset < last) {
        g.offset = static_cast<uint16_t>(g.offset + stepBy < last ? g.offset + stepBy : last);
        redraw = true;
      }
      if (down && g.offset > 0) {
        g.offset = static_cast<uint16_t>(g.offset > stepBy ? g.offset - stepBy : 0);
        redraw = true;
      }
      if (enter) g.keyState = OP_TREND_KEY_HISTORY;
      break;
    }
    case OP_TREND_KEY_ZOOM:
      if (up) g.keyState = OP_TREND_KEY_NONE;
      if (down) g.keyState = historyOrItem;
      if (enter) {
        g.zoom = static_cast<int8_t>(g.zoom > 0 ? -g.zoom : g.zoom == 0 ? 1 : -g.zoom);
        redraw = true;
      }
      break;
    case OP_TREND_KEY_ZOOMING:
      if (up && g.zoom < OP_TREND_MAX_ZOOM) {
        ++g.zoom;
        redraw = true;
      }
      if (down && g.zoom > 1) {
        --g.zoom;
        redraw = true;
      }
      if (enter) g.keyState = OP_TREND_KEY_ZOOM_ITEM;
      break;
    case OP_TREND_KEY_ZOOM_ITEM:
      if (up) g.keyState = OP_TREND_KEY_ZOOM;
      if (down) g.keyState = OP_TREND_KEY_HISTORY;
      if (enter) {
        g.keyState = OP_TREND_KEY_ZOOMING;
        g.operatedNow = 1;
      }
      break;
    default:
      g.keyState = OP_TREND_KEY_NONE;
      break;
  }
  if (redraw) OP_TrendPageDraw();
  trendMarks();
  return 0;
}

// --- Alarm page -----------------------------------------------------------------------------------

int OP_AlarmPageOpen() {
  OpAlarmPageState& g = g_opAlarmList;
  if (g.building) return 0;
  g.building = 1;
  // A renumbering that the blocks have not finished yet: the list is built once more.
  for (int pass = 0; pass < 2; ++pass) {
    buildAlarmList();
    if (g_opAlarms.acknowledged == 0) break;
  }
  g.top = 0;
  g.cursor = 0;
  g.refresh = 0;
  while (g.cursor + 1 < g.count && !rowHasState(g.cursor)) ++g.cursor;
  for (OpTextRow& row : g_opPageRows.rows) row = OpTextRow{};
  showAlarmWindow();
  OP_ShowTextScreen(9, 0);   // every row of the screen (the dispatcher drew the title)
  g.building = 0;
  return 0;
}

int OP_AlarmPageRefresh(uint16_t) {
  OpAlarmPageState& g = g_opAlarmList;
  if (g.building) return 0;
  // New alarms or a renumbering give another list.
  if (alarmRowsOfBlock() != g.count) return OP_AlarmPageOpen();
  const int i = g.refresh;
  g.refresh = static_cast<uint8_t>((i + 1) % OP_ALARM_PAGE_ROWS);
  const int r = g.top + i;
  if (r < g.count) {
    OpAlarmRow& row = g.rows[r];
    if (const ValarmState* s = sourceOf(row)) {
      if (s->number[row.input - 1] != r + 1) return OP_AlarmPageOpen();
      const uint8_t st = s->state[row.input - 1] <= OP_ALARM_GONE ? s->state[row.input - 1] : uint8_t{OP_ALARM_NONE};
      if (st != row.state) {
        row.state = st;
        alarmText(row, *s);
      }
    }
  }
  showAlarmRow(i);
  return 0;
}

int OP_AlarmPageKey() {
  OpAlarmPageState& g = g_opAlarmList;
  const uint8_t pointerBefore = g.lastPointer;
  g.lastPointer = g_opInput.pointer.state;
  if (OP_TouchWindowOpen()) return 0;
  const OpKeyState& k = g_opKeys;
  if (k.functionReleased) return OP_AlarmPageOpen();
  if (repeatStep(k.upStep, k.holdUp, OP_KEY_UP)) {
    moveAlarmCursor(-1);
  } else if (repeatStep(k.downStep, k.holdDown, OP_KEY_DOWN)) {
    moveAlarmCursor(1);
  }
  if (OP_IsShortPress(k.enterReleased)) acknowledgeRow(g.cursor);
  const OpPointerCopy& p = g_opInput.pointer;
  if (p.state == OP_POINTER_PRESSED && pointerBefore != OP_POINTER_PRESSED && p.y >= OP_BODY_Y) {
    touchAlarmRow(p.y);
  }
  return 0;
}
