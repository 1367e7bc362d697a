// GRAPH: curves of at most 500 points in their colours over the background, gaps, the ring
// of a full curve, the owner's paint hook, and curves that go with their graph.
#include <gtest/gtest.h>

#include <vector>

#include "widget_fixture.h"

namespace widgettest {
namespace {

constexpr GUI_COLOR kBk = 0x202020, kRed = 0x0000FF, kGreen = 0x00FF00;

class GraphTest : public WidgetTest {
 protected:
  // A 60 x 40 graph at 10, 10 with a one-pixel frame: the data area is 58 x 38 from 11, 11.
  WM_HWIN MakeGraph() {
    WM_HWIN h = GRAPH_CreateEx(10, 10, 60, 40, 0, WM_CF_SHOW, 0, 3);
    GRAPH_SetBkColor(h, kBk);
    return h;
  }
  static uint32_t Px(int x, int y) { return LCD_GetPixelIndex(x, y); }
  static uint32_t I(GUI_COLOR c) { return LCD_Color2Index(c); }
};

TEST_F(GraphTest, PointsAreHeightsAboveTheBottomOneColumnEach) {
  WM_HWIN h = MakeGraph();
  GUI_RECT area{};
  GRAPH_GetDataRect(h, &area);
  EXPECT_EQ(area.x0, 1);
  EXPECT_EQ(area.y1, 38);
  const int16_t flat[4] = {5, 5, GRAPH_NO_VALUE, 7};
  GRAPH_DATA_Handle d = GRAPH_DATA_YT_Create(kRed, 100, flat, 4);
  ASSERT_NE(d, 0);
  ASSERT_EQ(GRAPH_AttachData(h, d), 0);
  Exec();
  const int bottom = 10 + 38;
  EXPECT_EQ(Px(11, bottom - 5), I(kRed));
  EXPECT_EQ(Px(12, bottom - 5), I(kRed));
  EXPECT_EQ(Px(13, bottom - 5), I(kBk));   // the gap
  EXPECT_EQ(Px(14, bottom - 7), I(kRed));  // a single point between gaps is a dot
  EXPECT_EQ(Px(15, bottom - 7), I(kBk));
  // Points above the data area stay inside it; the frame is drawn over the background.
  const int16_t high[2] = {100, 100};
  GRAPH_DATA_YT_SetValues(d, high, 2);
  Exec();
  for (int x = 10; x < 70; ++x) EXPECT_NE(Px(x, 9), I(kRed)) << x;
  WM_DeleteWindow(h);
  Exec();
  EXPECT_TRUE(errors.empty());
}

TEST_F(GraphTest, AFullCurveDropsItsOldestPointsAndShowsTheNewest) {
  WM_HWIN h = MakeGraph();
  GRAPH_DATA_Handle d = GRAPH_DATA_YT_Create(kGreen, 3, nullptr, 0);
  GRAPH_AttachData(h, d);
  for (int16_t v : {1, 2, 3, 10}) GRAPH_DATA_YT_AddValue(d, v);
  EXPECT_EQ(GRAPH_DATA_YT_GetNumItems(d), 3);
  Exec();
  const int bottom = 10 + 38;
  EXPECT_EQ(Px(11, bottom - 2), I(kGreen));   // 2, 3, 10: the first point dropped out
  EXPECT_EQ(Px(13, bottom - 10), I(kGreen));
  // More points than fit: the last ones are kept; 500 is the largest curve.
  std::vector<int16_t> many(600);
  for (size_t i = 0; i < many.size(); ++i) many[i] = int16_t(i % 30);
  GRAPH_DATA_Handle big = GRAPH_DATA_YT_Create(kRed, GRAPH_MAX_POINTS, many.data(), int(many.size()));
  EXPECT_EQ(GRAPH_DATA_YT_GetNumItems(big), GRAPH_MAX_POINTS);
  EXPECT_EQ(GRAPH_DATA_YT_Create(kRed, GRAPH_MAX_POINTS + 1, nullptr, 0), 0);
  EXPECT_EQ(GRAPH_DATA_YT_Create(kRed, 0, nullptr, 0), 0);
  GRAPH_DATA_YT_Delete(big);
  errors.clear();
  WM_DeleteWindow(h);
}

TEST_F(GraphTest, FourCurvesAtMostAndTheyGoWithTheGraph) {
  const uint32_t freeBefore = GUI_ALLOC_GetNumFreeBytes();
  WM_HWIN h = MakeGraph();
  GRAPH_DATA_Handle d[5];
  for (int i = 0; i < 5; ++i) d[i] = GRAPH_DATA_YT_Create(kRed, 10, nullptr, 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(GRAPH_AttachData(h, d[i]), 0) << i;
  EXPECT_EQ(GRAPH_AttachData(h, d[4]), 1);
  GRAPH_DetachData(h, d[1]);
  EXPECT_EQ(GRAPH_AttachData(h, d[4]), 0);
  EXPECT_EQ(GRAPH_AttachData(h, d[4]), 1);   // already attached
  GRAPH_DATA_YT_Delete(d[1]);
  WM_DeleteWindow(h);
  Exec();
  EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), freeBefore);
  EXPECT_TRUE(errors.empty());
}

std::vector<int> g_stages;
void RecordStage(WM_HWIN, int stage) {
  g_stages.push_back(stage);
  if (stage == GRAPH_DRAW_LAST) {
    GUI_SetColor(0xFFFFFF);
    GUI_DrawHLine(2, 2, 20);   // a label over everything
  }
}

TEST_F(GraphTest, ThePaintHookDrawsBeforeAndAfterTheCurves) {
  WM_HWIN h = MakeGraph();
  g_stages.clear();
  GRAPH_SetUserDraw(h, RecordStage);
  Exec();
  EXPECT_EQ(g_stages, (std::vector<int>{GRAPH_DRAW_FIRST, GRAPH_DRAW_LAST}));
  EXPECT_EQ(Px(15, 12), I(0xFFFFFF));
  WM_DeleteWindow(h);
}

}  // namespace
}  // namespace widgettest
