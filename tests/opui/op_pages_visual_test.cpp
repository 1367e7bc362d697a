// The operating pages of the visualisation blocks: value page, bar pages, trend page and alarm
// page, driven through the block page dispatcher as the device's cycle drives them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "visual_fixture.h"

namespace {

using visualtest::putShort;
using visualtest::putText;

// --- Value page -----------------------------------------------------------------------------------

class ValuePageTest : public VisualPageTest {
 protected:
  VwertPage& page(uint16_t block = 200) {
    VwertPage& r = vwert(block);
    for (unsigned i = 0; i < VWERT_ROWS; ++i) {
      VwertRow& row = r.rows[i];
      row.mode = VWERT_MODE_ANALOG;
      row.disp = row.wordDisp = VIS_DISP_SHOW;
      putText(row.name, "Name_" + std::to_string(i + 1));
      putText(row.unit, "Unit_" + std::to_string(i + 1));
    }
    return r;
  }
};

TEST_F(ValuePageTest, LineTexts) {
  VwertPage& r = page();
  struct Case {
    uint8_t mode, disp;
    float value;
    uint16_t word;
    const char* text;
  } cases[] = {
      {VWERT_MODE_ANALOG, VIS_DISP_SHOW, 12.5f, 0, "Temperat =     12.5 degC  "},
      {VWERT_MODE_ANALOG, VIS_DISP_ADJUST, 3.25f, 0, "Temperat =     3.25 degC  "},
      {9, VIS_DISP_SHOW, 12.5f, 0, "Temperat =     12.5 degC  "},   // an unknown kind: a number
      {VWERT_MODE_TIME, VIS_DISP_SHOW, 90.0f, 0, "Temperat = 01:30:00 degC  "},
      {VWERT_MODE_ANALOG, VIS_DISP_EMPTY, 12.5f, 0, ""},
      {VWERT_MODE_DIGITAL, VIS_DISP_SHOW, 0, 1, "On"},
      {VWERT_MODE_DIGITAL, VIS_DISP_SHOW, 0, 0, "Temperature"},
      {VWERT_MODE_RADIO, VIS_DISP_SHOW, 0, 1, "On \xA4"},
      {VWERT_MODE_RADIO, VIS_DISP_SHOW, 0, 0, "Temperature \xB0"},
      {VWERT_MODE_MENU, VIS_DISP_SHOW, 0, 0, "Temperature \xB7"},
      {VWERT_MODE_TOGGLE, VIS_DISP_EMPTY, 0, 1, ""},
      // A text line without a text list: the fallback of a record.
      {VWERT_MODE_TEXT, VIS_DISP_SHOW, 3.0f, 0, "----------------"},
  };
  VwertRow& row = r.rows[0];
  putText(row.name, "Temperature");
  putText(row.unit, "degC");
  row.dp = 1;
  for (const Case& c : cases) {
    row.mode = c.mode;
    row.disp = row.wordDisp = c.disp;
    row.analog = c.value;
    row.value = c.value;
    row.dp = c.value == 3.25f ? 2 : 1;
    row.digital = c.word;
    if (c.word) putText(row.unit, "On");
    char text[OP_ROW_CHARS + 1];
    OP_ValueLineText(r, 0, text);
    EXPECT_STREQ(text, c.text) << int{c.mode} << " " << c.value;
    putText(row.unit, "degC");
  }
}

TEST_F(ValuePageTest, TextLineShowsTheEntryOfItsList) {
  VwertPage& r = page();
  fx->create(BLK_TYPE_TEXT, 300);
  char* t = nullptr;
  ASSERT_EQ(FB_GetTextParamPtr(300, TEXT_FIRST_TEXT + 1, &t), 1);
  putText(t, "Second");
  r.rows[0].mode = VWERT_MODE_TEXT;
  r.rows[0].analog = 2.0f;
  r.textChain[0][0] = 300;
  char text[OP_ROW_CHARS + 1];
  OP_ValueLineText(r, 0, text);
  EXPECT_STREQ(text, "Second          ");
  r.rows[0].analog = 5.0f;   // beyond the one block of the list
  OP_ValueLineText(r, 0, text);
  EXPECT_STREQ(text, "----------------");
}

TEST_F(ValuePageTest, RowKinds) {
  const uint8_t kinds[] = {3, 10, 13, 102, 101, 100, 103, 104, 3, 3};
  for (uint8_t mode = 0; mode < 10; ++mode) EXPECT_EQ(OP_ValueRowKind(mode), kinds[mode]) << int{mode};
}

TEST_F(ValuePageTest, OpenWritesHeaderSymbolsAndLines) {
  VwertPage& r = page();
  r.predecessor = 201;
  r.rows[2].analog = 7.0f;
  showPage(200);
  EXPECT_EQ(row(0), "\xAB");
  EXPECT_EQ(row(7), "");
  EXPECT_EQ(row(3), "Name_3   =        7 Unit_3");
  EXPECT_EQ(g_opTextScreen.type, 8);
}

// Function key on the middle of three radio lines: 0, 1, 0, each marked for the block.
TEST_F(ValuePageTest, RadioGroupOfThreeLines) {
  VwertPage& r = page();
  for (int i = 1; i <= 3; ++i) {
    r.rows[i].mode = VWERT_MODE_RADIO;
    r.rows[i].wordDisp = VIS_DISP_ADJUST;
  }
  r.rows[1].word = 1;
  r.rows[4].mode = VWERT_MODE_RADIO;   // display only, and not adjacent through an adjustable line
  r.rows[4].word = 1;
  r.rows[5].mode = VWERT_MODE_TOGGLE;
  showPage(200);
  press(OP_KEY_DOWN);   // the first line that takes input: line 2
  EXPECT_EQ(g_opFieldEditor.currentField, OP_VALUE_FIELD_LINE1 + 1);
  press(OP_KEY_DOWN);
  EXPECT_EQ(g_opFieldEditor.currentField, OP_VALUE_FIELD_LINE1 + 2);
  press(OP_KEY_FUNCTION);
  EXPECT_EQ(r.rows[1].word, 0);
  EXPECT_EQ(r.rows[2].word, 1);
  EXPECT_EQ(r.rows[3].word, 0);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(r.rows[i].wordChanged, 1) << i;
  // Line 5 belongs to the run of radio lines too, though the operator cannot select it.
  EXPECT_EQ(r.rows[4].word, 0);
  EXPECT_EQ(r.rows[5].wordChanged, 0);
}

TEST_F(ValuePageTest, ToggleAndPushButton) {
  VwertPage& r = page();
  r.rows[0].mode = VWERT_MODE_TOGGLE;
  r.rows[1].mode = VWERT_MODE_BUTTON;
  r.rows[0].wordDisp = r.rows[1].wordDisp = VIS_DISP_ADJUST;
  showPage(200);
  press(OP_KEY_DOWN);
  press(OP_KEY_FUNCTION);
  EXPECT_EQ(r.rows[0].word, 1);
  deviceCycles(OP_VALUE_PAUSE_CYCLES + 2);
  press(OP_KEY_FUNCTION);
  EXPECT_EQ(r.rows[0].word, 0);
  press(OP_KEY_DOWN);
  deviceCycle(OP_KEY_FUNCTION);
  EXPECT_EQ(r.rows[1].word, 1);
  deviceCycle(OP_KEY_FUNCTION);
  EXPECT_EQ(r.rows[1].word, 1);   // held
  deviceCycle();
  EXPECT_EQ(r.rows[1].word, 0);   // released
  EXPECT_EQ(r.rows[1].wordChanged, 1);
}

// Enter on an adjustable number line edits the operator's value within its range; the
// finished value goes into the record, marked for the block.
TEST_F(ValuePageTest, EnteredValueGoesIntoTheRecord) {
  VwertPage& r = page();
  r.rows[1].disp = VIS_DISP_ADJUST;
  r.rows[1].value = 5.0f;
  r.rows[1].min = 0.0f;
  r.rows[1].max = 50.0f;
  r.rows[1].dp = 1;
  r.rows[2].mode = VWERT_MODE_RADIO;
  r.rows[2].wordDisp = VIS_DISP_ADJUST;
  showPage(200);
  press(OP_KEY_DOWN);
  press(OP_KEY_ENTER);
  ASSERT_TRUE(OP_EditActive());
  EXPECT_EQ(g_opEdit.fmax, 50.0f);
  ASSERT_NE(g_opEdit.commit, nullptr);
  EXPECT_EQ(g_opEdit.commit(&g_opEdit.descriptor, g_opEdit.fieldIndex, 12.5f), FW_POST_OK);
  EXPECT_EQ(r.rows[1].value.get(), 12.5f);
  EXPECT_EQ(r.rows[1].valueChanged, 1);
  OP_EditAbort();
  g_opFieldEditor.editing = 0;
  // The radio line is not edited: key 1 operates it.
  press(OP_KEY_DOWN);
  EXPECT_EQ(g_opFieldEditor.currentField, OP_VALUE_FIELD_LINE1 + 2);
  press(OP_KEY_ENTER);
  EXPECT_FALSE(OP_EditActive());
}

TEST_F(ValuePageTest, LockedLinesIgnoreTheFunctionKey) {
  VwertPage& r = page();
  r.rows[0].mode = VWERT_MODE_TOGGLE;
  r.rows[0].wordDisp = VIS_DISP_ADJUST;
  showPage(200);
  press(OP_KEY_DOWN);
  r.header.lock = 1;
  press(OP_KEY_FUNCTION);
  EXPECT_EQ(r.rows[0].word, 0);
  EXPECT_EQ(r.rows[0].wordChanged, 0);
}

// The cursor: 1 only with a VWERT before, 8 only with one behind, lines only when they take
// input; past 8 back to 0.
TEST_F(ValuePageTest, CursorPositions) {
  struct Case {
    uint16_t predecessor, successor;
    int adjustable;   // line index that takes input, -1 none
    uint8_t lock;
    std::vector<uint16_t> downs;
  } cases[] = {
      {0, 0, 2, 0, {4, 0, 4}},
      {201, 202, 2, 0, {1, 4, 8, 0, 1}},
      {201, 0, -1, 0, {1, 0}},
      {0, 202, 2, 1, {8, 0}},   // locked: the lines take no input
  };
  for (const Case& c : cases) {
    FB_ClearStore();
    VwertPage& r = page();
    r.predecessor = c.predecessor;
    r.successor = c.successor;
    r.header.lock = c.lock;
    if (c.adjustable >= 0) r.rows[c.adjustable].disp = VIS_DISP_ADJUST;
    showPage(200);
    std::vector<uint16_t> got;
    for (size_t i = 0; i < c.downs.size(); ++i) {
      press(OP_KEY_DOWN);
      got.push_back(g_opFieldEditor.currentField);
    }
    EXPECT_EQ(got, c.downs) << c.predecessor << " " << c.successor;
  }
}

TEST_F(ValuePageTest, RefreshWaitsAfterAKeyAndSkipsTheHeldLine) {
  VwertPage& r = page();
  r.rows[0].mode = VWERT_MODE_TOGGLE;
  r.rows[0].wordDisp = VIS_DISP_ADJUST;
  showPage(200);
  deviceCycles(8);
  press(OP_KEY_DOWN);
  press(OP_KEY_FUNCTION);
  r.rows[3].analog = 42.0f;
  r.header.updated = 1;
  deviceCycles(OP_VALUE_PAUSE_CYCLES - 2);
  EXPECT_EQ(row(4), "Name_4   =        0 Unit_4");
  deviceCycles(10);
  EXPECT_EQ(row(4), "Name_4   =       42 Unit_4");
}

// --- Bar pages ------------------------------------------------------------------------------------

TEST(BarMarker, Places) {
  struct Case {
    float v, min, max;
    bool vertical;
    int place;
  } cases[] = {
      {50, 0, 100, false, 159},    // 6 + 154 - 0.9
      {50, 0, 100, true, 170},     // 110 + 122 - 61 - 0.9
      {100, 0, 100, false, 313},
      {0, 0, 100, true, 231},
      {101, 0, 100, false, OP_BAR_MARK_HIDDEN_X},   // above the maximum
      {-1, 0, 100, true, OP_BAR_MARK_HIDDEN_Y},
      {50, 50, 50, false, OP_BAR_MARK_HIDDEN_X},    // no span
      {VIS_NO_MARK, 0, VIS_NO_MARK, false, OP_BAR_MARK_HIDDEN_X},   // not shown
      {NAN, 0, 100, false, OP_BAR_MARK_HIDDEN_X},
      {25, 100, 0, false, 236},    // a falling range
  };
  for (const Case& c : cases) {
    const int origin = c.vertical ? 110 : 6, size = c.vertical ? 122 : 308;
    EXPECT_EQ(OP_BarMarkerPos(c.v, c.min, c.max, origin, size, c.vertical), c.place) << c.v << " " << c.vertical;
  }
}

class BarPageTest : public VisualPageTest {
 protected:
  VbarPage& page(uint16_t typ) {
    VbarPage& r = vbar(210, typ);
    for (int i = 0; i < 2; ++i) {
      putShort(r.name[i], i ? "Flow" : "Level");
      putShort(r.unit[i], i ? "m3/h" : "%");
      r.bar[i].start = 0;
      r.bar[i].end = 100;
      r.bar[i].value = 50;
      r.x[i].value = 50;
      r.x[i].disp = r.op[i].disp = VIS_DISP_SHOW;
      for (int m = 0; m < 2; ++m) r.mark[2 * i + m] = VIS_NO_MARK;
    }
    return r;
  }
};

TEST_F(BarPageTest, FormSelectsThePageAndMarksLandWhereTheyBelong) {
  for (uint16_t typ : {0, 1}) {
    FB_ClearStore();
    VbarPage& r = page(typ);
    r.mark[2 * 0 + 0] = 25;
    r.mark[2 * 0 + 1] = 120;   // above the maximum: hidden
    r.mark[2 * 1 + 0] = 60;
    r.bar[1].start = r.bar[1].end = 60;   // no span: no marks
    showPage(210);
    const bool vertical = typ != 0;
    EXPECT_EQ(g_opTextScreen.type, vertical ? 3 : 4);
    EXPECT_EQ(g_opBarState.marker[1], vertical ? OP_BAR_MARK_HIDDEN_Y : OP_BAR_MARK_HIDDEN_X);
    EXPECT_EQ(g_opBarState.marker[2], vertical ? OP_BAR_MARK_HIDDEN_Y : OP_BAR_MARK_HIDDEN_X);
    EXPECT_EQ(g_opPageRows.bars[3], 0);
    EXPECT_EQ(g_opPageRows.bars[4], 0);
    // The text screen draws the visible mark at the place the page computed.
    const OpRect strip = vertical ? OpRect{34, 110, 14, 122} : OpRect{6, 84, 308, 6};
    const OpRect laid = OP_LayoutBar(g_opPageRows.bars[2], vertical ? OP_ROW_MARKER_V : OP_ROW_MARKER, strip);
    EXPECT_EQ(vertical ? laid.y : laid.x, g_opBarState.marker[0]) << typ;
    EXPECT_EQ(g_opBarState.marker[0], vertical ? 200 : 82);   // 232 - 30.5 - 0.9, 6 + 77 - 0.9
  }
}

TEST_F(BarPageTest, EnteredValueGoesIntoTheRecord) {
  VbarPage& r = page(1);
  r.op[0].disp = VIS_DISP_ADJUST;
  r.op[0].min = -10;
  r.op[0].max = 10;
  showPage(210);
  press(OP_KEY_DOWN);
  EXPECT_EQ(g_opFieldEditor.currentField, OP_BAR_FIELD_X1);
  press(OP_KEY_ENTER);
  ASSERT_TRUE(OP_EditActive());
  EXPECT_EQ(g_opEdit.fmin, -10.0f);
  EXPECT_EQ(g_opEdit.commit(&g_opEdit.descriptor, g_opEdit.fieldIndex, -2.0f), FW_POST_OK);
  EXPECT_EQ(r.op[0].value.get(), -2.0f);
  EXPECT_EQ(r.op[0].changed, 1);
  OP_EditAbort();
}

TEST_F(BarPageTest, LengthsSnapAtTheEnds) {
  struct Case {
    uint16_t typ;
    float value;
    int16_t length;
  } cases[] = {
      {1, 9.0f, 0}, {1, 10.0f, 100}, {1, 91.0f, 1000}, {1, 50.0f, 500},
      {0, 4.0f, 0}, {0, 9.0f, 90},   {0, 96.0f, 1000}, {0, 150.0f, 1000},
  };
  for (const Case& c : cases) {
    FB_ClearStore();
    VbarPage& r = page(c.typ);
    r.bar[0].value = c.value;
    showPage(210);
    EXPECT_EQ(g_opPageRows.bars[0], c.length) << c.typ << " " << c.value;
  }
}

TEST_F(BarPageTest, ValuesAndTheirCursor) {
  VbarPage& r = page(0);
  r.x[0].value = 12.5f;
  r.x[0].dp = 1;
  r.x[1].disp = VIS_DISP_EMPTY;
  r.op[1].disp = VIS_DISP_ADJUST;
  r.op[1].value = 3;
  showPage(210);
  EXPECT_EQ(row(0), "Level");
  EXPECT_EQ(row(1), "   12.5 %");
  EXPECT_EQ(row(3), "");   // display mode 2: no value
  // Only the second value takes input.
  press(OP_KEY_DOWN);
  EXPECT_EQ(g_opFieldEditor.currentField, OP_BAR_FIELD_X2);
  press(OP_KEY_DOWN);
  EXPECT_EQ(g_opFieldEditor.currentField, 0);
  // A refresh round follows the block's request.
  r.x[0].value = 20;
  r.header.updated = 1;
  deviceCycles(8);
  EXPECT_EQ(row(1), "   20.0 %");
}

// --- Trend page -----------------------------------------------------------------------------------

TEST(TrendLabels, TimeAxis) {
  struct Case {
    float period;
    uint16_t unit;
    uint32_t offset;
    const char *left, *right;
  } cases[] = {
      {0.2f, OP_TREND_UNIT_S, 0, "-50.00 S", "0.00 S"},
      {0.5f, OP_TREND_UNIT_S, 0, "-125.0 S", "0.0 S"},
      {5.0f, OP_TREND_UNIT_H, 10, "-1300 H", "-50 H"},
      {1.0f, OP_TREND_UNIT_MIN, 50, "-300.0 M", "-50.0 M"},
      {1.0f, 7, 0, "-250.0 ?", "0.0 ?"},
      {1.0f, OP_TREND_UNIT_EXTERNAL, 0, "", "0"},
      {1.0f, OP_TREND_UNIT_EXTERNAL, 20, "270", "20"},
  };
  for (const Case& c : cases) {
    char left[28], right[28];
    OP_TrendTimeLabels(c.period, c.unit, c.offset, left, right, sizeof left);
    EXPECT_STREQ(left, c.left) << c.period << " " << c.unit << " " << c.offset;
    EXPECT_STREQ(right, c.right) << c.period << " " << c.unit << " " << c.offset;
  }
}

TEST(TrendLabels, ValueAxisByZoom) {
  struct Case {
    int zoom;
    float bottom, top;
  } cases[] = {{0, 0, 80}, {3, 20, 40}, {-3, 0, 80}, {1, 0, 20}, {7, 60, 80}, {9, 0, 80}};
  for (const Case& c : cases) {
    float bottom, top;
    OP_TrendValueRange(0, 80, c.zoom, &bottom, &top);
    EXPECT_EQ(bottom, c.bottom) << c.zoom;
    EXPECT_EQ(top, c.top) << c.zoom;
  }
}

class TrendPageTest : public VisualPageTest {
 protected:
  // A trend over 0..80 with n samples of a wave, the newest at index newest.
  visualtest::TrendWork& trend(uint16_t block, int n, float base = 0) {
    visualtest::TrendWork& w = vtrend(block);
    VtrendPage& r = w.page;
    putText(r.unitText, "degC");
    r.x0 = 0;
    r.x100 = 80;
    r.dp = 1;
    r.period = 0.2f;
    r.timeUnit = OP_TREND_UNIT_S;
    for (int i = 0; i < n; ++i) {
      const float v = base + 40.0f + 30.0f * std::sin(static_cast<float>(i) * 0.05f);
      w.values[i] = v;
      w.points[i] = static_cast<int16_t>(FW_ScaleToPermille(v, 0, 80));
    }
    r.count = static_cast<uint16_t>(n);
    r.newest = static_cast<uint16_t>(n ? n - 1 : 0);
    r.value = w.values[r.newest];
    return w;
  }
};

TEST_F(TrendPageTest, AxisLabelsAndValueField) {
  visualtest::TrendWork& w = trend(220, 100);
  showPage(220);
  EXPECT_EQ(row(5), "degC");
  EXPECT_EQ(row(0), "-50.00 S");
  EXPECT_EQ(row(2), "0.00 S");
  EXPECT_EQ(row(3), "  80.0");
  EXPECT_EQ(row(4), "   0.0");
  char newest[8];
  OP_NumberText(newest, 6, w.values[99], 1);
  EXPECT_EQ(row(1), newest);
  EXPECT_EQ(g_opTextScreen.trendCount, 100);
  EXPECT_EQ(g_opTextScreen.trendRing[249], w.points[99]);
  w.page.reset = 1;
  deviceCycle();
  EXPECT_EQ(row(1), "Reset");
  w.page.reset = 0;
  w.page.disabl = 1;
  deviceCycle();
  EXPECT_EQ(row(1), "Stop");
}

// The key states of the table, with the history offset and the zoom they move.
TEST_F(TrendPageTest, KeyStates) {
  trend(220, 200);
  showPage(220);
  struct Step {
    uint8_t key;
    uint8_t state;
    uint16_t offset;
    int zoom;
  } steps[] = {
      {OP_KEY_UP, OP_TREND_KEY_HISTORY, 0, 0},
      {OP_KEY_ENTER, OP_TREND_KEY_SCROLL, 0, 0},
      {OP_KEY_UP, OP_TREND_KEY_SCROLL, 1, 0},
      {OP_KEY_UP, OP_TREND_KEY_SCROLL, 2, 0},
      {OP_KEY_DOWN, OP_TREND_KEY_SCROLL, 1, 0},
      {OP_KEY_DOWN, OP_TREND_KEY_SCROLL, 0, 0},
      {OP_KEY_DOWN, OP_TREND_KEY_SCROLL, 0, 0},   // not below 0
      {OP_KEY_ENTER, OP_TREND_KEY_HISTORY, 0, 0},
      {OP_KEY_DOWN, OP_TREND_KEY_NONE, 0, 0},
      {OP_KEY_DOWN, OP_TREND_KEY_ZOOM, 0, 0},
      {OP_KEY_ENTER, OP_TREND_KEY_ZOOM, 0, 1},     // 0 -> 1
      {OP_KEY_DOWN, OP_TREND_KEY_ZOOM_ITEM, 0, 1},
      {OP_KEY_ENTER, OP_TREND_KEY_ZOOMING, 0, 1},
      {OP_KEY_UP, OP_TREND_KEY_ZOOMING, 0, 2},
      {OP_KEY_UP, OP_TREND_KEY_ZOOMING, 0, 3},
      {OP_KEY_DOWN, OP_TREND_KEY_ZOOMING, 0, 2},
      {OP_KEY_ENTER, OP_TREND_KEY_ZOOM_ITEM, 0, 2},
      {OP_KEY_UP, OP_TREND_KEY_ZOOM, 0, 2},
      {OP_KEY_ENTER, OP_TREND_KEY_ZOOM, 0, -2},    // off, remembered
      {OP_KEY_DOWN, OP_TREND_KEY_HISTORY, 0, -2},
      {OP_KEY_UP, OP_TREND_KEY_ZOOM, 0, -2},
      {OP_KEY_ENTER, OP_TREND_KEY_ZOOM, 0, 2},     // on again
      {OP_KEY_UP, OP_TREND_KEY_NONE, 0, 2},
  };
  int i = 0;
  for (const Step& s : steps) {
    press(s.key);
    EXPECT_EQ(g_opTrendState.keyState, s.state) << "step " << i;
    EXPECT_EQ(g_opTrendState.offset, s.offset) << "step " << i;
    EXPECT_EQ(g_opTrendState.zoom, s.zoom) << "step " << i;
    ++i;
  }
  // Zoom 2 on 0..80: 10 .. 30, and the strip in band 2.
  EXPECT_EQ(row(3), "  30.0");
  EXPECT_EQ(row(4), "  10.0");
  EXPECT_EQ(g_opTextScreen.trendMode, 2);
  // Enter with nothing selected leaves the page.
  press(OP_KEY_ENTER);
  EXPECT_NE(g_opPage.current, OP_BlockPageProc);
}

TEST_F(TrendPageTest, HistoryRunsIntoTheCascadedTrendAndIsClamped) {
  visualtest::TrendWork& first = trend(220, VTREND_RING);
  visualtest::TrendWork& older = trend(221, 30, 5.0f);
  first.page.cascade = 221;
  first.page.newest = 9;   // the ring has wrapped
  showPage(220);
  EXPECT_EQ(g_opTrendState.chainLength, VTREND_RING + 30u);
  press(OP_KEY_UP);
  press(OP_KEY_ENTER);
  // Held beyond six cycles the history moves by 25 a cycle, up to the chain's end.
  for (int i = 0; i < 20; ++i) deviceCycle(OP_KEY_UP);
  deviceCycle();
  EXPECT_EQ(g_opTrendState.offset, VTREND_RING + 29);
  // The point under the cursor is the oldest of the cascaded ring.
  char value[8];
  OP_NumberText(value, 6, older.values[0], 1);
  EXPECT_EQ(row(1), "[" + std::string(value) + "]");
  EXPECT_EQ(row(6), "\xAB");
  EXPECT_EQ(g_opTextScreen.trendCount, 1);
}

// Whatever the record says, the rings are read within their 250 points.
TEST_F(TrendPageTest, BadRingFieldsAreClamped) {
  visualtest::TrendWork& w = trend(220, 10);
  w.page.newest = 9000;
  w.page.count = 60000;
  w.page.cascade = 220;   // a loop
  showPage(220);
  EXPECT_EQ(g_opTrendState.chainLength, VTREND_RING);
  EXPECT_EQ(g_opTextScreen.trendCount, VTREND_RING);
  w.page.points = FB_INSTANCE_HEAP_WORDS - 3;   // would run past the heap
  w.page.count = 5;                             // a new count: the window is taken again
  deviceCycles(5);
  EXPECT_EQ(g_opTrendState.chainLength, 0u);
  EXPECT_EQ(g_opTextScreen.trendCount, 0);
}

TEST_F(TrendPageTest, GoldenTrendPage) {
  trend(220, 180);
  showPage(220);
  press(OP_KEY_UP);
  press(OP_KEY_ENTER);   // the history, operated
  for (int i = 0; i < 10; ++i) deviceCycle(OP_KEY_UP);
  deviceCycles(2);
  EXPECT_EQ(g_opTrendState.offset, 101);
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "trend_page"));
}

// --- Alarm page -----------------------------------------------------------------------------------

class AlarmPageTest : public VisualPageTest {
 protected:
  void alarm(uint16_t block, uint16_t k, bool on) { fx->setDigitalInput(block, k, on ? 1 : 0); }
};

TEST_F(AlarmPageTest, RowsOfAShortList) {
  alarmBlocks({41, 42});
  fx->create(BLK_TYPE_TEXT, 300);
  char* t = nullptr;
  ASSERT_EQ(FB_GetTextParamPtr(300, TEXT_FIRST_TEXT + 2, &t), 1);
  putText(t, "Pump fault");
  fx->connectAnalog(41, VALARM_IN_TEXT1, 300, TEXT_OUT_USRTXT);
  fx->init(41);
  fx->init(42);
  alarm(41, 3, true);   // named by its text list
  deviceCycle();
  alarm(42, 6, true);   // no text list
  deviceCycle();
  alarm(41, 8, true);
  deviceCycle();
  alarm(41, 8, false);
  ASSERT_EQ(OP_AlarmStateOf(41)->numbered, 3);
  showPage(41);
  deviceCycles(8);
  EXPECT_EQ(g_opTextScreen.type, 9);
  // The cursor column, sixteen characters of the row, the column of the more-symbols.
  EXPECT_EQ(row(0), "\xBBPump fault        ");
  EXPECT_EQ(row(1), " 26 : Alarm        ");
  EXPECT_EQ(row(2), " 18 : Alarm        ");
  for (int i = 3; i < OP_ALARM_PAGE_ROWS; ++i) EXPECT_EQ(row(i), " ----------------  ") << i;
  // The waiting alarm is drawn in the alarm colour; the one gone carries its state.
  EXPECT_EQ(g_opPageRows.rows[0].colors[5], OP_ROW_ALARM);
  EXPECT_EQ(g_opPageRows.rows[2].colors[0], OP_ALARM_GONE);
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "alarm_page"));
}

// Numbers and text lists as the blocks hold them, out of range: the fallback rows.
TEST_F(AlarmPageTest, BadNumbersAndTextListsShowTheFallbackRows) {
  alarmBlocks({41});
  fx->create(BLK_TYPE_SIN, 300);   // not a text block
  alarm(41, 1, true);
  deviceCycle();
  alarm(41, 2, true);
  deviceCycle();
  ValarmState& s = *OP_AlarmStateOf(41);
  s.textBlock[0] = 300;
  s.number[1] = 200;   // beyond the list
  showPage(41);
  deviceCycles(8);
  EXPECT_EQ(row(0), "\xBB" "11 : Alarm        ");
  EXPECT_EQ(row(1), " ----------        ");   // row 2 without its alarm
  EXPECT_EQ(row(2), " ----------------  ");
}

TEST_F(AlarmPageTest, EnterAcknowledgesTheCursorRow) {
  alarmBlocks({41});
  alarm(41, 1, true);
  deviceCycle();
  alarm(41, 2, true);
  deviceCycle();
  alarm(41, 1, false);   // gone, not acknowledged
  deviceCycle();
  showPage(41);
  ValarmState& s = *OP_AlarmStateOf(41);
  press(OP_KEY_ENTER);
  EXPECT_EQ(s.state[0], OP_ALARM_NONE);
  EXPECT_EQ(s.ackRequest[0] + 0 || s.number[0] == 0, true);   // the block counts it at once
  EXPECT_EQ(s.number[1], 1);                                   // renumbered
  deviceCycles(10);
  EXPECT_EQ(g_opAlarmList.count, 1);
  press(OP_KEY_ENTER);
  EXPECT_EQ(s.state[1], OP_ALARM_ACKED);
  // With the acknowledge input held the page leaves the acknowledgement to the block.
  alarm(41, 3, true);
  deviceCycles(10);
  fx->setDigitalInput(41, VALARM_IN_ACK, 1);
  alarm(41, 4, true);
  deviceCycles(10);
  EXPECT_EQ(s.state[3], OP_ALARM_ACKED);
}

TEST_F(AlarmPageTest, CursorWrapsAndScrolls) {
  alarmBlocks({41, 42});
  for (uint16_t k = 1; k <= 6; ++k) {
    alarm(41, k, true);
    alarm(42, k, true);
    deviceCycle();
  }
  ASSERT_EQ(OP_AlarmStateOf(42)->numbered, 12);
  showPage(41);
  EXPECT_EQ(g_opAlarmList.cursor, 0);
  press(OP_KEY_UP);   // from the first row: the last eight
  EXPECT_EQ(g_opAlarmList.cursor, 11);
  EXPECT_EQ(g_opAlarmList.top, 4);
  deviceCycles(8);
  EXPECT_EQ(row(0).back(), '^');
  EXPECT_EQ(row(7)[0], '\xBB');
  press(OP_KEY_DOWN);   // no row after the last
  EXPECT_EQ(g_opAlarmList.cursor, 11);
  for (int i = 0; i < 8; ++i) press(OP_KEY_UP);
  EXPECT_EQ(g_opAlarmList.cursor, 3);
  EXPECT_EQ(g_opAlarmList.top, 3);
  // A touch on the top row selects it and scrolls by six.
  press(OP_KEY_DOWN);
  touchAt(100, 70);
  EXPECT_EQ(g_opAlarmList.cursor, 3);
  EXPECT_EQ(g_opAlarmList.top, 0);
}

TEST_F(AlarmPageTest, StatusIconTouchOpensTheAlarmPage) {
  alarmBlocks({42});
  alarm(42, 1, true);
  deviceCycle();
  VwertPage& r = vwert(200);
  (void)r;
  showPage(200);
  touchAt(300, 10);
  deviceCycles(6);
  EXPECT_EQ(g_opBlockPage.block, 42);
  EXPECT_EQ(g_opBlockPage.page, &g_opAlarmPage);
}

}  // namespace
