// The text screens: the template tables of the screen types, the prepared rows of the shown
// screen and their renderer, the bars and markers laid out from their per-mille values, and
// the trend strip.
#include "opui/op_display.h"

#include <cstring>

#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_Font.h"
#include "opui/op_display_internal.h"
#include "opui/op_input.h"
#include "opui/op_links.h"
#include "opui/op_services.h"

OpMenuRows g_opMenuRows;
OpPageRows g_opPageRows;
OpTextScreen g_opTextScreen;

using namespace opdisplay;

namespace {

constexpr int kTrendX0 = 3, kTrendX1 = 252, kTrendTop = 60, kTrendBottom = 212;

// --- Row templates of the screen types --------------------------------------------------------
// The menu and list screen: the title in the band, eight item rows below the line at y 58.
constexpr int16_t kMenuRowY0 = 60, kMenuRowHeight = 22;
#define MENU_ITEM(i, last)                                                                     \
  OpRowTemplate {                                                                              \
    &g_opMenuRows.items[i], nullptr, 0, static_cast<int16_t>(kMenuRowY0 + (i) * kMenuRowHeight), \
        320, kMenuRowHeight, nullptr, OP_ROW_TEXT, OP_CC_FOREGROUND, OP_CC_BACKGROUND,         \
        OP_CC_BACKGROUND, OP_CC_FOREGROUND, last                                               \
  }
const OpRowTemplate kMenuScreen[] = {
    {&g_opMenuRows.title, nullptr, 0, 34, 320, 24, nullptr, OP_ROW_TEXT, OP_CC_FOREGROUND,
     OP_CC_TITLE, OP_CC_TITLE, OP_CC_FOREGROUND, 0},
    MENU_ITEM(0, 0), MENU_ITEM(1, 0), MENU_ITEM(2, 0), MENU_ITEM(3, 0),
    MENU_ITEM(4, 0), MENU_ITEM(5, 0), MENU_ITEM(6, 0), MENU_ITEM(7, 1),
};
#undef MENU_ITEM

// --- Rows of the block pages' screens ---
// Text rows, bars and boxes use the foreground on the screen background; highlighted rows
// swap the two. The title sits in the band at y 34..57.
constexpr OpRowTemplate pageText(int i, int x, int y, int w, int h) {
  return {&g_opPageRows.rows[i], nullptr, static_cast<int16_t>(x), static_cast<int16_t>(y),
          static_cast<int16_t>(w), static_cast<int16_t>(h), nullptr, OP_ROW_TEXT, OP_CC_FOREGROUND,
          OP_CC_BACKGROUND, OP_CC_BACKGROUND, OP_CC_FOREGROUND, 0};
}
constexpr OpRowTemplate bandText(OpTextRow* row, int x, int w) {
  return {row, nullptr, static_cast<int16_t>(x), 34, static_cast<int16_t>(w), 24, nullptr, OP_ROW_TEXT,
          OP_CC_FOREGROUND, OP_CC_TITLE, OP_CC_TITLE, OP_CC_FOREGROUND, 0};
}
constexpr OpRowTemplate pageTitle(int w = 320) { return bandText(&g_opPageRows.title, 0, w); }
constexpr OpRowTemplate element(int kind, int bar, int x, int y, int w, int h) {
  return {nullptr, nullptr, static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(w),
          static_cast<int16_t>(h), bar < 0 ? nullptr : &g_opPageRows.bars[bar], static_cast<uint8_t>(kind),
          OP_CC_FOREGROUND, OP_CC_BACKGROUND, OP_CC_BACKGROUND, OP_CC_FOREGROUND, 0};
}
constexpr OpRowTemplate box(int x, int y, int w, int h) { return element(OP_ROW_BOX, -1, x, y, w, h); }
constexpr OpRowTemplate last(OpRowTemplate t) {
  t.end = 1;
  return t;
}

// 1: controller overview: setpoint and process value in two columns, each labelled "W" and "X",
// the setpoint source above the setpoint and the fault text or unit above the process value;
// parameter set, mode and role below them; cascade texts; the output text and its bar with a
// marker strip.
const OpRowTemplate kControllerScreen[] = {
    pageTitle(),
    pageText(4, 0, 60, 160, 22), pageText(5, 160, 60, 160, 22),
    pageText(10, 0, 84, 24, 30), pageText(1, 24, 84, 136, 30),
    pageText(11, 160, 84, 24, 30), pageText(2, 184, 84, 136, 30),
    pageText(0, 0, 116, 60, 22), pageText(3, 60, 116, 100, 22), pageText(6, 160, 116, 160, 22),
    pageText(7, 0, 140, 160, 22), pageText(8, 160, 140, 160, 22),
    pageText(9, 0, 166, 320, 22),
    box(4, 192, 312, 28),
    element(OP_ROW_BAR_FILLED, 0, 6, 194, 308, 24),
    element(OP_ROW_BAR_REST, 0, 6, 194, 308, 24),
    last(element(OP_ROW_MARKER, 1, 6, 222, 308, 8)),
};

// 2: programmer: program name, process value and segment, output and track label, range,
// the three times as label and value, and mode, halt and state in the last line.
const OpRowTemplate kProgrammerScreen[] = {
    pageTitle(),
    pageText(0, 0, 60, 320, 22),
    pageText(1, 0, 82, 160, 22), pageText(2, 160, 82, 160, 22),
    pageText(3, 0, 104, 160, 22), pageText(4, 160, 104, 160, 22),
    pageText(5, 0, 126, 320, 22),
    pageText(6, 0, 148, 160, 22), pageText(7, 160, 148, 160, 22),
    pageText(8, 0, 170, 160, 22), pageText(9, 160, 170, 160, 22),
    pageText(10, 0, 192, 160, 22), pageText(11, 160, 192, 160, 22),
    pageText(12, 0, 214, 107, 22), pageText(13, 107, 214, 106, 22),
    last(pageText(14, 213, 214, 107, 22)),
};

// 3: two vertical bars, each with its label and value above and a limit marker on either side.
#define VERTICAL_BAR(bar, marker, x)                                                  \
  box(x, 108, 60, 126), element(OP_ROW_BAR_FILLED_V, bar, (x) + 2, 110, 56, 122),             \
      element(OP_ROW_BAR_REST_V, bar, (x) + 2, 110, 56, 122),                                 \
      element(OP_ROW_MARKER_V, marker, (x) - 16, 110, 14, 122)
const OpRowTemplate kVerticalBarScreen[] = {
    pageTitle(),
    pageText(0, 0, 60, 160, 22), pageText(1, 0, 82, 160, 22),
    pageText(2, 160, 60, 160, 22), pageText(3, 160, 82, 160, 22),
    VERTICAL_BAR(0, 2, 50), element(OP_ROW_MARKER_V, 3, 112, 110, 14, 122),
    VERTICAL_BAR(1, 4, 210), last(element(OP_ROW_MARKER_V, 5, 272, 110, 14, 122)),
};
#undef VERTICAL_BAR

// 4: two horizontal bars, each under its label and value with a limit-marker strip above and
// below.
#define HORIZONTAL_BAR(bar, marker, y)                                                         \
  element(OP_ROW_MARKER, marker, 6, y, 308, 6), box(4, (y) + 8, 312, 30),                     \
      element(OP_ROW_BAR_FILLED, bar, 6, (y) + 10, 308, 26),                                  \
      element(OP_ROW_BAR_REST, bar, 6, (y) + 10, 308, 26)
const OpRowTemplate kHorizontalBarScreen[] = {
    pageTitle(),
    pageText(0, 0, 60, 160, 22), pageText(1, 160, 60, 160, 22),
    HORIZONTAL_BAR(0, 2, 84), element(OP_ROW_MARKER, 3, 6, 124, 308, 6),
    pageText(2, 0, 134, 160, 22), pageText(3, 160, 134, 160, 22),
    HORIZONTAL_BAR(1, 4, 158), last(element(OP_ROW_MARKER, 5, 6, 198, 308, 6)),
};
#undef HORIZONTAL_BAR

// 5: trend: the value column right of the strip (its first four rows: frame, marker, filled and
// remaining part; the table gives them as plain rows, a redraw of the rows marks them as the
// vertical bar), the frame around the strip, the title with the unit, the axis labels, the
// history symbol, the value field and the zoom symbol.
const OpRowTemplate kTrendScreen[] = {
    element(OP_ROW_TEXT, -1, 296, 62, 22, 150),
    element(OP_ROW_TEXT, 0, 288, 64, 6, 146),
    element(OP_ROW_TEXT, 0, 298, 64, 18, 146),
    element(OP_ROW_TEXT, 0, 298, 64, 18, 146),
    box(2, 59, 252, 155),
    pageTitle(200), bandText(&g_opPageRows.rows[5], 200, 120),
    pageText(3, 256, 62, 32, 22), pageText(6, 256, 126, 32, 22), pageText(4, 256, 188, 32, 22),
    pageText(0, 0, 214, 96, 22), pageText(1, 96, 214, 128, 22), pageText(2, 224, 214, 64, 22),
    last(pageText(7, 288, 214, 32, 22)),
};

// 6: one text of several lines over the whole body below the title.
const OpRowTemplate kMultiLineScreen[] = {
    pageTitle(),
    last(pageText(0, 0, 60, 320, 176)),
};

// 8: value page: the two header fields at the right of the band and six value lines.
const OpRowTemplate kValueScreen[] = {
    pageTitle(260), bandText(&g_opPageRows.rows[0], 260, 30), bandText(&g_opPageRows.rows[7], 290, 30),
    pageText(1, 0, 60, 320, 29), pageText(2, 0, 89, 320, 29), pageText(3, 0, 118, 320, 29),
    pageText(4, 0, 147, 320, 29), pageText(5, 0, 176, 320, 29), last(pageText(6, 0, 205, 320, 29)),
};

// 9: alarm list: eight rows under the title.
const OpRowTemplate kAlarmScreen[] = {
    pageTitle(),
    pageText(0, 0, 60, 320, 22), pageText(1, 0, 82, 320, 22), pageText(2, 0, 104, 320, 22),
    pageText(3, 0, 126, 320, 22), pageText(4, 0, 148, 320, 22), pageText(5, 0, 170, 320, 22),
    pageText(6, 0, 192, 320, 22), last(pageText(7, 0, 214, 320, 22)),
};

// 10: user page: the title; the block's view covers the rest (or the whole screen).
const OpRowTemplate kUserScreen[] = {
    last(pageTitle()),
};

// --- Drawing the rows ------------------------------------------------------------------------

GUI_COLOR rowColor(uint8_t code) { return OP_ColorFromCode(code); }

void drawTextLine(const char* s, int n, const uint8_t* colors, const OpRowTemplate& t, int x, int y) {
  // Runs of one colour byte: normal, highlighted or being edited.
  int i = 0;
  while (i < n) {
    const uint8_t c = colors ? colors[i] : uint8_t{OP_ROW_NORMAL};
    int j = i + 1;
    while (j < n && (colors ? colors[j] : uint8_t{OP_ROW_NORMAL}) == c) ++j;
    GUI_COLOR fg = rowColor(t.fg), bg = rowColor(t.bg);
    if (c == OP_ROW_HIGHLIGHT) {
      fg = rowColor(t.fgHi);
      bg = rowColor(t.bgHi);
    } else if (c == OP_ROW_EDIT) {
      fg = kWhite;
      bg = rowColor(OP_CC_STATUS);
    } else if (c == OP_ROW_ALARM) {
      fg = kRed;
    }
    GUI_SetColor(fg);
    GUI_SetBkColor(bg);
    GUI_GotoXY(x, y);
    GUI_DispStringLen(s + i, j - i);
    x = GUI_GetDispPosX();
    i = j;
  }
}

void drawTextRow(const OpPreparedRow& row) {
  const OpRowTemplate& t = *row.tmpl;
  const OpTextRow* src = t.source;
  const char* text = src ? src->text : (t.text ? t.text : "");
  const bool highlighted = src && src->colors[0] == OP_ROW_HIGHLIGHT;
  OP_FillRowRect(t.x, t.y, t.xSize, t.ySize, highlighted, &t);
  const int lineHeight = g_opTextScreen.largeText ? OP_LINE_HEIGHT_LARGE : OP_LINE_HEIGHT;
  int lines = t.ySize / lineHeight;
  if (lines > OP_MAX_ROW_LINES) lines = OP_MAX_ROW_LINES;
  if (lines <= 1 || !std::strchr(text, '\n')) {
    const int n = static_cast<int>(strnlen(text, OP_ROW_CHARS));
    const int y = t.y + (t.ySize - GUI_GetFontDistY()) / 2;
    drawTextLine(text, n, src ? src->colors : nullptr, t, t.x + 4, y);
    return;
  }
  const char* p = text;
  for (int line = 0; line < lines && *p; ++line) {
    const char* e = std::strchr(p, '\n');
    const int n = e ? static_cast<int>(e - p) : static_cast<int>(std::strlen(p));
    drawTextLine(p, n, nullptr, t, t.x + 4, t.y + line * lineHeight);
    p = e ? e + 1 : p + n;
  }
}

// Characters shown in place of a bar whose value is beyond its limits.
constexpr uint16_t kBelowH = 172, kAboveH = 160, kBelowV = 161, kAboveV = 162;

void drawBarRow(const OpPreparedRow& row, int value) {
  const OpRowTemplate& t = *row.tmpl;
  const bool vertical = row.kind >= 10;
  if (value < 0 || value > 1000) {
    GUI_SetColor(rowColor(t.bg));
    GUI_FillRect(t.x, t.y, t.x + t.xSize - 1, t.y + t.ySize - 1);
    GUI_SetColor(rowColor(row.fg));
    GUI_SetBkColor(rowColor(t.bg));
    const uint16_t symbol = vertical ? (value < 0 ? kBelowV : kAboveV) : (value < 0 ? kBelowH : kAboveH);
    GUI_DispCharAt(symbol, t.x, t.y);
    return;
  }
  // The element's whole rectangle in the background, then its laid-out part.
  GUI_SetColor(rowColor(t.bg));
  if (row.kind == OP_ROW_MARKER || row.kind == OP_ROW_MARKER_V) {
    GUI_FillRect(t.x, t.y, t.x + t.xSize - 1, t.y + t.ySize - 1);
  }
  const OpRect r = row.rect;
  if (r.xSize > 0 && r.ySize > 0) {
    GUI_SetColor(rowColor(row.kind == OP_ROW_BAR_REST || row.kind == OP_ROW_BAR_REST_V ? t.bg : row.fg));
    GUI_FillRect(r.x, r.y, r.x + r.xSize - 1, r.y + r.ySize - 1);
  }
}

void drawBox(const OpPreparedRow& row, bool highlighted) {
  const OpRowTemplate& t = *row.tmpl;
  const GUI_COLOR fg = rowColor(highlighted ? t.bg : row.fg), bg = rowColor(highlighted ? row.fg : t.bg);
  GUI_SetColor(bg);
  GUI_FillRect(t.x, t.y, t.x + t.xSize - 1, t.y + t.ySize - 1);
  GUI_SetColor(fg);
  GUI_DrawRect(t.x, t.y, t.x + t.xSize - 1, t.y + t.ySize - 1);
}

// Last drawn bar values of the prepared rows (a bar is redrawn when its value moved).
int g_drawnValue[OP_TEXT_ROWS];

bool isBarKind(uint8_t kind) {
  return kind == OP_ROW_MARKER || kind == OP_ROW_MARKER_V || kind == OP_ROW_BAR_FILLED ||
         kind == OP_ROW_BAR_REST || kind == OP_ROW_BAR_FILLED_V || kind == OP_ROW_BAR_REST_V;
}

void layoutBars() {
  OpTextScreen& s = g_opTextScreen;
  for (int i = 0; i < s.count; ++i) {
    OpPreparedRow& row = s.rows[i];
    const OpRowTemplate& t = *row.tmpl;
    if (t.permille && isBarKind(row.kind)) row.rect = OP_LayoutBar(*t.permille, row.kind, row.rect);
  }
}

}  // namespace

// --- Text screens ---------------------------------------------------------------------------------

const OpRowTemplate* const g_opScreenTemplates[OP_SCREEN_TYPES + 1] = {
    nullptr,          kControllerScreen, kProgrammerScreen, kVerticalBarScreen, kHorizontalBarScreen,
    kTrendScreen,     kMultiLineScreen,  kMenuScreen,       kValueScreen,       kAlarmScreen,
    kUserScreen,
};

OpRect OP_LayoutBar(int g, int kind, OpRect r) {
  if (r.xSize > r.ySize) {
    const int w = r.xSize;
    const int p = w * g / 1000;
    if (g > 0 && g < 1000 && p > 2 && p < w - 3) {
      if (kind == OP_ROW_MARKER) {
        r.x = static_cast<int16_t>(r.x + p);
        r.xSize = 1;
      } else if (kind == OP_ROW_BAR_FILLED) {
        r.xSize = static_cast<int16_t>(p - 1);
      } else if (kind == OP_ROW_BAR_REST) {
        r.x = static_cast<int16_t>(r.x + p + 2);
        r.xSize = static_cast<int16_t>(w - (p + 2));
      }
    } else if (kind == OP_ROW_MARKER) {
      r.xSize = 0;
    } else if (kind == OP_ROW_BAR_FILLED) {
      if (g < 1000 && p + 3 < w) r.xSize = 0;
    } else if (kind == OP_ROW_BAR_REST) {
      if (g > 0 && p > 2) r.xSize = 0;
    }
    return r;
  }
  const int h = r.ySize;
  const int p = h * g / 1000;
  if (g <= 0 || g >= 1000 || p < 3 || p >= h - 3) {
    if (kind == OP_ROW_MARKER_V) {
      r.ySize = 0;
    } else if (kind == OP_ROW_BAR_FILLED_V) {
      if (g < 1000 && p + 3 < h) r.ySize = 0;
    } else if (kind == OP_ROW_BAR_REST_V) {
      if (!(p < 3 || g <= 0)) r.ySize = 0;
    }
    return r;
  }
  if (kind == OP_ROW_MARKER_V) {
    r.y = static_cast<int16_t>(r.y + h - p - 1);
    r.ySize = 1;
  } else if (kind == OP_ROW_BAR_FILLED_V) {
    r.y = static_cast<int16_t>(r.y + h - p + 1);
    r.ySize = static_cast<int16_t>(p - 1);
  } else if (kind == OP_ROW_BAR_REST_V) {
    r.ySize = static_cast<int16_t>(h - p - 2);
  }
  return r;
}

int OP_TrendStripY(int v, int mode) {
  if (v < 0 && (mode == 0 || mode == 1)) return 211;
  if (v > 1000 && (mode == 0 || mode == 7)) return 61;
  int y;
  if (mode == 0) {
    y = 211 - static_cast<int>(static_cast<float>(v) * 0.15f);
  } else {
    y = (75 * mode - 74) - static_cast<int>(static_cast<float>(v) * 0.6f) + 211;
  }
  if (y < 62) return 60;
  if (y > 211) return 212;
  return y;
}

void OP_DrawTrendStrip() {
  OpTextScreen& s = g_opTextScreen;
  if (!s.trendRing || s.trendRingSize == 0) return;
  static int16_t ys[kTrendX1 - kTrendX0 + 1];
  int n = s.trendCount;
  if (n > s.trendRingSize) n = s.trendRingSize;
  if (n > kTrendX1 - kTrendX0 + 1) n = kTrendX1 - kTrendX0 + 1;
  // Oldest sample first, the newest at the right end.
  for (int i = 0; i < n; ++i) {
    const int index = (s.trendNewest + s.trendRingSize - (n - 1 - i)) % s.trendRingSize;
    ys[i] = static_cast<int16_t>(OP_TrendStripY(s.trendRing[index], s.trendMode));
  }
  fill(g_opDisplay.screenBackground, kTrendX0, 61, kTrendX1, 211);
  GUI_SetColor(OP_ColorFromCode(s.trendColor));
  if (n > 0) GUI_DrawGraph(ys, n, kTrendX1 + 1 - n, 0);
  GUI_SetColor(g_opDisplay.screenBackground);
  GUI_DrawHLine(kTrendTop, kTrendX0, kTrendX1);
  GUI_SetColor(OP_ColorFromCode(OP_CC_FOREGROUND));
  GUI_DrawHLine(kTrendBottom, kTrendX0, kTrendX1);
  s.trendDrawnIndex = s.trendNewest;
}

int OP_ShowTextScreen(int type, int count) {
  OpTextScreen& s = g_opTextScreen;
  s.type = static_cast<uint8_t>(type);
  if (count == 1) s.redrawState = 0;
  int n = count == 0 ? OP_TEXT_ROWS : count;
  if (n > OP_TEXT_ROWS) n = OP_TEXT_ROWS;
  const OpRowTemplate* tmpl = type >= 1 && type <= OP_SCREEN_TYPES ? g_opScreenTemplates[type] : nullptr;
  int prepared = 0;
  while (tmpl && prepared < n) {
    const OpRowTemplate& t = tmpl[prepared];
    s.rows[prepared] = OpPreparedRow{&t, OpRect{t.x, t.y, t.xSize, t.ySize}, t.kind, t.fg};
    ++prepared;
    if (t.end) break;
  }
  s.count = static_cast<uint8_t>(prepared);
  // The trend strip belongs to the trend screen alone.
  if (type != 5) s.trendRing = nullptr;
  if (type == 1 || type == 3 || type == 4) layoutBars();
  if (type == 5 && s.redrawState != 0) {
    // On a redraw of its rows the trend screen shows its value column as a vertical bar and
    // draws the frame around the strip in the screen background.
    for (int i = 0; i < 4 && i < prepared; ++i) s.rows[i].kind = static_cast<uint8_t>(OP_ROW_BOX_V + i);
    if (OP_TREND_FRAME_ROW < prepared) s.rows[OP_TREND_FRAME_ROW].fg = OP_CC_BACKGROUND;
  }
  // The alarm screen has a background of its own (palette slot 10); every other screen the
  // page background of slot 5, also when it follows the alarm screen.
  if (type == 9) {
    g_opDisplay.pageColorIndex = 10;
    g_opDisplay.pageColor = OP_LinkScreenColors()[9];
  } else {
    g_opDisplay.pageColorIndex = 5;
  }
  for (int& v : g_drawnValue) v = -1;
  OP_DrawTextScreen(s.redrawState == 0);
  s.redrawState = count == 1 ? 1 : 2;
  return s.redrawState;
}

void OP_RequestTextScreen() { g_opTextScreen.request = 1; }

void OP_DrawTextScreen(int redrawAll) {
  OpDisplayState& d = g_opDisplay;
  OpTextScreen& s = g_opTextScreen;
  // A page prepared before the firmware set up the display (a project loaded at start) is
  // drawn with the first cycle.
  if (d.rendererBusy || !GUI_IsInitialized()) return;
  d.rendererBusy = 1;
  const Target target(d.bodyDev);
  // The touch list belongs to the menu and list screens; a block page that shows a type-7
  // screen (its parameter lines) has none.
  const bool listScreen = s.type == 7 && g_opPage.current != OP_BlockPageProc;
  if (!listScreen && g_opTouchList) {
    OP_CloseTouchList();
  } else if (listScreen && !g_opTouchList) {
    OP_OpenTouchList();
  }
  if (redrawAll) fillScreenColors();
  if (s.trendRing && s.trendDrawnIndex != s.trendNewest) OP_DrawTrendStrip();
  const GUI_FONT* previousFont = GUI_SetFont(&GUI_FontProp22);
  for (int i = 0; i < s.count; ++i) {
    const OpPreparedRow& row = s.rows[i];
    const OpRowTemplate& t = *row.tmpl;
    if (t.permille && isBarKind(row.kind)) {
      const int v = *t.permille;
      if (!redrawAll && g_drawnValue[i] == v) continue;
      g_drawnValue[i] = v;
      s.rows[i].rect = OP_LayoutBar(v, row.kind, OpRect{t.x, t.y, t.xSize, t.ySize});
      drawBarRow(s.rows[i], v);
      continue;
    }
    OpTextRow* src = t.source;
    const bool multiLine = t.ySize >= 2 * OP_LINE_HEIGHT && row.kind == OP_ROW_TEXT &&
                           std::strchr(src ? src->text : (t.text ? t.text : ""), '\n');
    if (!redrawAll && !(src && src->changed) && !multiLine) continue;
    if (src) src->changed = 0;
    if (s.type == 9 && src) {
      const uint8_t c = src->colors[0];
      if (c >= 1 && c <= 3) d.pageColor = c == 1 ? kRed : c == 2 ? kBlue : kGreen;
    }
    if (row.kind == OP_ROW_BOX || row.kind == OP_ROW_BOX_V) {
      drawBox(row, src && src->colors[0] == OP_ROW_HIGHLIGHT);
    } else {
      drawTextRow(row);
    }
  }
  GUI_SetFont(previousFont);
  d.rendererBusy = 0;
}
