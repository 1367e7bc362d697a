// The trend object TRDOBJ: rings of 500 samples per curve, filled every sample period whether
// the object is shown or not, and a GRAPH widget on the user page that gets the rings when a
// sample was added, with the value scale, the time scale or the legend drawn by its paint
// hook.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "blocks/block_family.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_Font.h"
#include "opui/op_display.h"
#include "opui/op_links.h"
#include "opui/op_objects2.h"
#include "opui/op_userpage.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_numeric.h"

namespace {

struct TrendObject {
  FbLayout L;
  TrendObjectState* s = nullptr;
  bool get(uint32_t block) {
    if (!FB_GetLayout(block, &L) || L.type != OP_TYPE_TRDOBJ || L.floatParams < TRDOBJ_FLOAT_PERIOD ||
        L.analogInputs < OP_TREND_CURVES || L.workWords < BLK_WorkWordsOf<TrendObjectState>()) {
      return false;
    }
    s = &BLK_WorkState<TrendObjectState>(L);
    return true;
  }
  uint16_t word(uint16_t i) const { return i >= 1 && i <= L.wordValues ? L.wv[i - 1] : 0; }
  float param(uint16_t i) const { return L.fp[i - 1].get(); }
  float minimum(int k) const { return param(static_cast<uint16_t>(TRDOBJ_FLOAT_MIN1 + 2 * k)); }
  float maximum(int k) const { return param(static_cast<uint16_t>(TRDOBJ_FLOAT_MIN1 + 2 * k + 1)); }
};

// The graph of a view slot and its curves (the view keeps the graph as the slot's inner
// window; its curves belong to it and go with it).
struct TrendGraph {
  WM_HWIN graph;
  GRAPH_DATA_Handle data[OP_TREND_CURVES];
};
TrendGraph g_graphs[OP_VIEW_SLOTS];

// The graph entry of a shown object, null when its graph is not the slot's (any more).
TrendGraph* graphOf(uint16_t block) {
  const OpViewSlot* slot = OP_UserViewSlotOf(block);
  if (!slot || !OP_WinExists(slot->inner)) return nullptr;
  TrendGraph& g = g_graphs[slot - g_opUserView.slots];
  return g.graph == slot->inner ? &g : nullptr;
}

const GUI_FONT& labelFont() { return GUI_FontProp13; }

// Cycles of the block's time group from one sample to the next: the period rounded to whole
// cycles, at least one.
uint16_t sampleCycles(const TrendObject& t) {
  const float every = std::round(t.param(TRDOBJ_FLOAT_PERIOD) / FB_BlockCycleTime(t.L.block));
  return static_cast<uint16_t>(std::clamp(FW_FloatToI32(every), 1, 65535));
}
// Seconds of one sample.
float samplePeriod(const TrendObject& t) { return sampleCycles(t) * FB_BlockCycleTime(t.L.block); }

void setupTrend(TrendObject& t) {
  TrendObjectState& s = *t.s;
  for (int k = 0; k < OP_TREND_CURVES; ++k) {
    TrendCurve& c = s.curves[k];
    const float lo = t.minimum(k), hi = t.maximum(k);
    const float factor = OP_TREND_SPAN / (hi - lo);
    // A range of no span gives samples of 0.
    if (std::isfinite(factor) && std::isfinite(-lo * factor)) {
      c.factor = factor;
      c.offset = -lo * factor;
    } else {
      c.factor = 0.0f;
      c.offset = 0.0f;
    }
    c.colour = OP_DecimalColour(t.param(static_cast<uint16_t>(TRDOBJ_FLOAT_COLOUR1 + k)));
  }
  s.background = OP_DecimalColour(t.param(TRDOBJ_FLOAT_BK));
  OP_TrendObjectTimeText(static_cast<float>(s.columns) * samplePeriod(t), s.fullText, sizeof s.fullText);
  s.prepared = 1;
}

// The graph from the object's place to the right and bottom edges of the view, with a curve
// for every connected input.
void layoutTrend(TrendObject& t) {
  OpViewSlot* slot = OP_UserViewSlotOf(t.L.block);
  if (!slot || !OP_WinExists(slot->window) || !OP_WinExists(g_opUserView.window)) return;
  TrendObjectState& s = *t.s;
  const OpUserView& v = g_opUserView;
  const int x = WM_GetWindowOrgX(slot->window) - WM_GetWindowOrgX(v.window);
  const int y = WM_GetWindowOrgY(slot->window) - WM_GetWindowOrgY(v.window);
  const int w = std::max(8, v.xSize - x), h = std::max(8, v.ySize - y);
  WM_SetSize(slot->window, w, h);
  if (OP_WinExists(slot->inner)) WM_DeleteWindow(slot->inner);
  TrendGraph& g = g_graphs[slot - v.slots];
  g = TrendGraph{};
  slot->inner = GRAPH_CreateEx(0, 0, w, h, slot->window, WM_CF_SHOW, 0, 0);
  if (!slot->inner) return;
  g.graph = slot->inner;
  GUI_RECT area{};
  GRAPH_GetDataRect(g.graph, &area);
  s.columns = static_cast<uint16_t>(std::max(0, area.x1 - area.x0 + 1));
  s.rows = static_cast<uint16_t>(std::max(0, area.y1 - area.y0 + 1));
  setupTrend(t);
  GRAPH_SetBkColor(g.graph, s.background);
  for (int k = 0; k < OP_TREND_CURVES; ++k) {
    if (!s.curves[k].present) continue;
    g.data[k] = GRAPH_DATA_YT_Create(s.curves[k].colour, OP_TREND_SAMPLES, nullptr, 0);
    if (g.data[k] && GRAPH_AttachData(g.graph, g.data[k]) != 0) {
      GRAPH_DATA_YT_Delete(g.data[k]);
      g.data[k] = 0;
    }
  }
  GRAPH_SetUserDraw(g.graph, OP_TrendObjectPaint);
  s.obj.made = 1;
  s.handed = 0;
}

// Half-way between two colours (the grid lines).
GUI_COLOR blend(GUI_COLOR a, GUI_COLOR b) {
  GUI_COLOR c = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    c |= ((((a >> shift) & 0xFF) + ((b >> shift) & 0xFF)) / 2) << shift;
  }
  return c;
}

void rightAligned(const char* text, int x1, int y) { GUI_DispStringAt(text, x1 - GUI_GetStringDistX(text), y); }

}  // namespace

int16_t OP_TrendObjectSample(float factor, float offset, float value) {
  const float v = factor * value + offset;
  if (std::isnan(v)) return 0;
  // -30000 marks a curve without input: a connected curve's value never takes it.
  return static_cast<int16_t>(std::clamp(FW_FloatToI32(v), int32_t{OP_TREND_LOWEST}, int32_t{32767}));
}

int OP_TrendObjectDecimals(float minimum, float maximum, float divisor) {
  const float m = std::max(std::fabs(minimum), std::fabs(maximum)) / (divisor > 0.0f ? divisor : 1.0f);
  if (!(m < 100.0f)) return 0;  // NaN too
  if (m >= 10.0f) return 1;
  if (m >= 1.0f) return 2;
  return 3;
}

void OP_TrendObjectTimeText(float seconds, char* out, int outlen) {
  if (outlen <= 0) return;
  double t = seconds;
  if (!(t > 0.0)) t = 0.0;
  if (t > 1e9) t = 1e9;
  const long whole = std::lround(t);
  const long h = whole / 3600, m = whole / 60 % 60, sec = whole % 60;
  if (whole >= 3600) {
    std::snprintf(out, static_cast<size_t>(outlen), m ? "-%ldh%ldm" : "-%ldh", h, m);
  } else if (whole >= 60) {
    std::snprintf(out, static_cast<size_t>(outlen), sec ? "-%ldm%lds" : "-%ldm", whole / 60, sec);
  } else if (std::lround(t * 10.0) % 10 == 0) {
    std::snprintf(out, static_cast<size_t>(outlen), "-%lds", std::lround(t));
  } else {
    std::snprintf(out, static_cast<size_t>(outlen), "-%.*fs", 1, t);
  }
}

void OP_TrendObjectSetup(uint16_t block) {
  TrendObject t;
  if (t.get(block)) setupTrend(t);
}

int OP_TrendObjectCurves(uint16_t block) {
  TrendObject t;
  TrendGraph* g = t.get(block) ? graphOf(block) : nullptr;
  if (!g) return -1;
  const TrendObjectState& s = *t.s;
  // The newest sample at the right edge: while the rings hold fewer samples than the graph
  // has columns, gaps come first.
  const int count = std::min<int>(s.count, OP_TREND_SAMPLES);
  const int points = std::max(count, std::min<int>(s.columns, OP_TREND_SAMPLES));
  const int gaps = points - count;
  const int rows = std::max(1, s.rows - 1);
  static int16_t values[OP_TREND_SAMPLES];
  for (int k = 0; k < OP_TREND_CURVES; ++k) {
    if (!g->data[k]) continue;
    const TrendCurve& c = s.curves[k];
    std::fill(values, values + gaps, GRAPH_NO_VALUE);
    for (int i = 0; i < count; ++i) {
      const int16_t v = c.ring[(s.write + OP_TREND_SAMPLES - count + i) % OP_TREND_SAMPLES];
      values[gaps + i] = v == OP_TREND_EMPTY ? GRAPH_NO_VALUE
                                             : static_cast<int16_t>(static_cast<int32_t>(v) * rows / 30000);
    }
    GRAPH_DATA_YT_SetValues(g->data[k], values, points);
  }
  return points;
}

GRAPH_DATA_Handle OP_TrendObjectData(uint16_t block, int k) {
  const TrendGraph* g = k >= 1 && k <= OP_TREND_CURVES ? graphOf(block) : nullptr;
  return g ? g->data[k - 1] : 0;
}

void FB_TRDOBJ_Init() {
  FbLayout L;
  if (!OP_ObjectInit(&L, BLK_WorkWordsOf<TrendObjectState>())) return;
  TrendObject t;
  if (!t.get(L.block)) return;
  TrendObjectState& s = *t.s;
  s.scaleCurve = OP_TREND_CURVES;
  for (int k = 0; k < OP_TREND_CURVES; ++k) {
    OP_ObjectText(L.block, static_cast<uint16_t>(TRDOBJ_TEXT_NAME1 + k), s.names[k]);
    OP_DeviceTextChars(s.names[k], FB_TEXT_LEN);
  }
  setupTrend(t);
}

uint8_t FB_TRDOBJ_Param(FbParamRequest* request, uint16_t* badIndex) {
  return OP_DrawnObjectParam<TrendObjectState, OP_TYPE_TRDOBJ>(request, badIndex);
}

void FB_TRDOBJ_Run() {
  TrendObject t;
  if (!t.get(g_fbStore.currentBlock)) return;
  TrendObjectState& s = *t.s;
  if (OP_ObjectTakePending(t.L, s.obj)) {
    s.prepared = 0;
    s.obj.made = 0;
  }
  if (!s.prepared) setupTrend(t);
  if (!s.started) {
    // The curves are the connected inputs; the first of them gives the value scale.
    for (int k = 0; k < OP_TREND_CURVES; ++k) {
      s.curves[k].present = BLK_AnalogWired(t.L, static_cast<unsigned>(k)) ? 1 : 0;
      if (s.curves[k].present && s.scaleCurve == OP_TREND_CURVES) s.scaleCurve = static_cast<uint16_t>(k);
    }
    s.started = 1;
  }
  // A sample every period (counted in cycles of the block's time group).
  if (++s.cycles >= sampleCycles(t)) {
    s.cycles = 0;
    for (int k = 0; k < OP_TREND_CURVES; ++k) {
      TrendCurve& c = s.curves[k];
      c.ring[s.write] = c.present ? OP_TrendObjectSample(c.factor.get(), c.offset.get(),
                                                         BLK_AnalogIn(t.L, static_cast<unsigned>(k)))
                                  : OP_TREND_EMPTY;
    }
    s.write = static_cast<uint16_t>((s.write + 1) % OP_TREND_SAMPLES);
    if (s.count < OP_TREND_SAMPLES) ++s.count;
    s.handed = 0;
  }
  // The trend has no touch action.
  s.obj.touch = OP_TOUCH_IDLE;
  if (!s.obj.slot || !OP_UserViewSlotOf(t.L.block)) return;
  if (!s.obj.made) layoutTrend(t);
  if (s.obj.made && !s.handed) {
    OP_TrendObjectCurves(t.L.block);
    s.handed = 1;
  }
}

namespace {

// Where the labels of a trend lie in its data rectangle, so that the grid stops short of
// them: the rows of the legend at the top (or the time labels in the bottom row) and the
// column of the value labels on the right with their three rows.
struct TrendLabels {
  int top;            // first row below the legend
  int timeY;          // top of the time-label row (r.y1 + 1 with the legend)
  int valueX;         // left edge of the value-label column (r.x1 + 1 without a scale curve)
  int valueY[3];      // tops of the maximum, middle and minimum labels
  char values[3][24];
};

TrendLabels layoutLabels(const TrendObject& t, const GUI_RECT& r, bool legend, int fh) {
  const TrendObjectState& s = *t.s;
  TrendLabels L{};
  L.top = r.y0 + 1;
  if (legend) {
    int x = r.x0 + 2;
    for (int k = 0; k < OP_TREND_CURVES; ++k) {
      if (!s.curves[k].present || !s.names[k][0]) continue;
      const int w = GUI_GetStringDistX(s.names[k]);
      if (x > r.x0 + 2 && x + w > r.x1 - 2) {
        x = r.x0 + 2;
        L.top += fh;
      }
      x += w + 6;
    }
    L.top += fh;
  }
  L.timeY = legend ? r.y1 + 1 : r.y1 - fh;
  L.valueX = r.x1 + 1;
  if (s.scaleCurve < OP_TREND_CURVES) {
    const int k = s.scaleCurve;
    const float lo = t.minimum(k), hi = t.maximum(k);
    const int decimals = OP_TrendObjectDecimals(lo, hi);
    const float values[3] = {hi, (lo + hi) / 2.0f, lo};
    const int bottom = r.y1 - fh - (legend ? 0 : fh);
    const int ys[3] = {L.top, (r.y0 + r.y1 - fh) / 2, bottom};
    for (int i = 0; i < 3; ++i) {
      std::snprintf(L.values[i], sizeof L.values[i], "%.*f", decimals, static_cast<double>(values[i]));
      L.valueY[i] = ys[i];
      L.valueX = std::min(L.valueX, r.x1 - 2 - GUI_GetStringDistX(L.values[i]) - 2);
    }
  }
  return L;
}

// A vertical grid line from y0 to y1 that leaves out the rows of the value labels when it
// runs through their column.
void gridVLine(int x, int y0, int y1, const TrendLabels& L, int fh) {
  if (x < L.valueX) {
    GUI_DrawVLine(x, y0, y1);
    return;
  }
  int from = y0;
  for (int y : L.valueY) {
    if (y - 2 >= from) GUI_DrawVLine(x, from, std::min(y - 2, y1));
    from = std::max(from, y + fh + 1);
  }
  if (from <= y1) GUI_DrawVLine(x, from, y1);
}

}  // namespace

void OP_TrendObjectPaint(WM_HWIN graph, int stage) {
  TrendObject t;
  if (!t.get(OP_ObjectOfWindow(graph))) return;
  const TrendObjectState& s = *t.s;
  GUI_RECT r{};
  GRAPH_GetDataRect(graph, &r);
  const bool legend = t.word(TRDOBJ_WORD_LEGEND) == 1;
  const int step = std::max<int>(1, t.word(TRDOBJ_WORD_LBLSTEP));
  const GUI_FONT* previous = GUI_SetFont(&labelFont());
  const int fh = GUI_GetFontDistY();
  const TrendLabels labels = layoutLabels(t, r, legend, fh);
  if (stage == GRAPH_DRAW_FIRST) {
    // Grid lines: one a label step from the newest sample on the right, and the middle; they
    // stop short of the labels.
    GUI_SetColor(blend(s.background, OP_ColorReadableOn(s.background, OP_ColorFromCode(OP_CC_FOREGROUND))));
    const int y0 = legend ? labels.top : r.y0, y1 = legend ? r.y1 : labels.timeY - 2;
    for (int x = r.x1 - step; x > r.x0; x -= step) gridVLine(x, y0, y1, labels, fh);
    GUI_DrawHLine((r.y0 + r.y1) / 2, r.x0, labels.valueX - 1);
    GUI_SetFont(previous);
    return;
  }
  const int mode = GUI_SetTextMode(GUI_TEXTMODE_TRANS);
  char text[24];
  if (legend) {
    // The names of the curves in their colours, in rows from the top.
    int x = r.x0 + 2, top = r.y0 + 1;
    for (int k = 0; k < OP_TREND_CURVES; ++k) {
      if (!s.curves[k].present || !s.names[k][0]) continue;
      const int w = GUI_GetStringDistX(s.names[k]);
      if (x > r.x0 + 2 && x + w > r.x1 - 2) {
        x = r.x0 + 2;
        top += fh;
      }
      GUI_SetColor(s.curves[k].colour);
      GUI_DispStringAt(s.names[k], x, top);
      x += w + 6;
    }
  } else {
    // The time labels along the bottom: the full width on the left, then every XStep-th grid
    // line, centred under it, where it does not run into its neighbour.
    const int y = labels.timeY;
    GUI_SetColor(OP_ColorReadableOn(s.background, OP_ColorFromCode(OP_CC_FOREGROUND)));
    GUI_DispStringAt(s.fullText, r.x0 + 2, y);
    int leftFree = r.x0 + 2 + GUI_GetStringDistX(s.fullText) + 4;
    const int every = std::max<int>(1, t.word(TRDOBJ_WORD_XSTEP));
    const float period = samplePeriod(t);
    int rightFree = r.x1;
    for (int n = 1; r.x1 - n * step > r.x0; ++n) {
      if (n % every) continue;
      const int x = r.x1 - n * step;
      OP_TrendObjectTimeText(static_cast<float>(n * step) * period, text, sizeof text);
      const int w = GUI_GetStringDistX(text);
      if (x - w / 2 < leftFree || x + (w + 1) / 2 > rightFree) continue;
      GUI_DispStringHCenterAt(text, x, y);
      rightFree = x - w / 2 - 4;
    }
  }
  // The value scale of the scale curve on the right: its maximum, middle and minimum.
  if (s.scaleCurve < OP_TREND_CURVES) {
    GUI_SetColor(s.curves[s.scaleCurve].colour);
    for (int i = 0; i < 3; ++i) rightAligned(labels.values[i], r.x1 - 2, labels.valueY[i]);
  }
  GUI_SetTextMode(mode);
  GUI_SetFont(previous);
}

void OP_TrendObjectProc(WM_MESSAGE* msg) {
  const uint16_t block = OP_ObjectOfWindow(msg->hWin);
  switch (msg->MsgId) {
    case WM_MSG_PAINT:
      return;  // the graph covers the window
    case WM_MSG_GET_ID:
      msg->Data.v = block;
      return;
    case WM_MSG_NOTIFY_PARENT:
    case WM_MSG_PID_TOUCH:
      return;  // no touch action
    default:
      WM_DefaultProc(msg);
  }
}
