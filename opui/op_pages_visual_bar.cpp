// The bar pages of VBAR: two vertical bars (text screen 3) or two horizontal ones (screen 4),
// each with its value, its unit and two limit marks.
#include <cstdio>
#include <cstring>

#include "opui/op_editor.h"
#include "opui/op_field_editor.h"
#include "opui/op_format.h"
#include "opui/op_pages_visual_internal.h"
#include "runtime/fb_param.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_numeric.h"

using opvis::clearPageArea;
using opvis::kUnitChars;
using opvis::pageRecord;
using opvis::pageRow;
using opvis::setRow;
using opvis::textPart;

OpBarPageState g_opBarState;

namespace {

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

}  // namespace

const OpBlockPage g_opBarPageV{.screen = 3, .open = OP_BarPageOpenV, .cycle = OP_BarPageRefreshV,
                               .cursor = OP_BarPageCursorV, .enter = barEnter, .fields = &kBarTableV};
const OpBlockPage g_opBarPageH{.screen = 4, .open = OP_BarPageOpenH, .cycle = OP_BarPageRefreshH,
                               .cursor = OP_BarPageCursorH, .enter = barEnter, .fields = &kBarTableH};

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
