// The trend page of VTREND (text screen 5): the points of the block and of the blocks that
// keep its older points, a history the keys scroll through and a zoom of the value range.
#include <cstdio>
#include <cstring>

#include "opui/op_format.h"
#include "opui/op_input.h"
#include "opui/op_keys.h"
#include "opui/op_pages_visual_internal.h"
#include "runtime/fb_param.h"
#include "runtime/fw_numeric.h"

using opvis::clearPageArea;
using opvis::markRow;
using opvis::pageRecord;
using opvis::pageRow;
using opvis::repeatStep;
using opvis::setRow;
using opvis::textPart;

OpTrendPageState g_opTrendState;

namespace {

// Glyphs of the device font that the page uses as symbols.
constexpr char kSymHistory = '\xAB';      // the trend shows older points
constexpr const char* kZoomOn = "Z+";
constexpr const char* kZoomOff = "Z-";

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

}  // namespace

const OpBlockPage g_opTrendPage{.screen = 5, .open = OP_TrendPageDraw, .cycle = OP_TrendPageRefresh,
                                .keys = OP_TrendPageKey};

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
