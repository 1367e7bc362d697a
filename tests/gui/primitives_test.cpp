// Lines, rectangles, circles, polygons, arcs, graphs, gradients and rounded shapes on the
// stand-in display.
#include <gtest/gtest.h>

#include "draw_fixture.h"
#include "gui/draw/GUI_Draw.h"

namespace {

constexpr uint16_t kWhite = 0xFFFF;

class Primitives : public DrawTest {
 protected:
};

TEST_F(Primitives, DottedLineDrawsEverySecondPairCountedFromItsStart) {
  GUI_SetLineStyle(GUI_LS_DOT);
  GUI_DrawLine(0, 0, 7, 0);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(lit(x, 0), x == 2 || x == 3 || x == 6 || x == 7) << x;
  // Drawn the other way round, the pattern starts at the given start point.
  GUI_DrawLine(7, 2, 0, 2);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(lit(x, 2), x == 0 || x == 1 || x == 4 || x == 5) << x;
  EXPECT_EQ(countLit(0, 0, 319, 239), 8);
}

TEST_F(Primitives, LineStylesLeaveOutTheirGaps) {
  struct Case {
    int style;
    int drawnOf24;
  } cases[] = {{GUI_LS_SOLID, 24}, {GUI_LS_DASH, 6}, {GUI_LS_DOT, 12}, {GUI_LS_DASHDOT, 6}, {GUI_LS_DASHDOTDOT, 8}};
  for (const Case& c : cases) {
    resetDrawing();
    GUI_SetLineStyle(c.style);
    GUI_DrawLine(0, 5, 23, 5);
    EXPECT_EQ(countLit(0, 5, 23, 5), c.drawnOf24) << c.style;
  }
}

TEST_F(Primitives, ZeroLengthLines) {
  GUI_DrawLine(5, 5, 5, 5);
  EXPECT_EQ(countLit(0, 0, 319, 239), 1);
  resetDrawing();
  GUI_SetPenSize(3);
  GUI_DrawLine(5, 5, 5, 5);
  EXPECT_EQ(countLit(0, 0, 319, 239), 0);
}

TEST_F(Primitives, SlopedThinLineVisitsOnePixelPerMajorStep) {
  GUI_DrawLine(0, 0, 10, 4);
  EXPECT_EQ(countLit(0, 0, 319, 239), 11);
  EXPECT_TRUE(lit(0, 0));
  EXPECT_TRUE(lit(10, 4));
  EXPECT_TRUE(lit(5, 2));
}

// Lines and polygons whose spans pass 46 000 pixels (far outside the display) still place
// their visible pixels on the exact line: the products of the stepping take 64 bits.
TEST_F(Primitives, ExtremeCoordinatesKeepLinesAndPolygonsExact) {
  struct Line {
    int x0, y0, x1, y1;
    bool xMajor;
    int (*minor)(int major);   // the exact minor coordinate of each visible major one
  };
  const Line lines[] = {
      {-30000, -30000, 30000, 30000, true, [](int x) { return x; }},
      {30000, 30000, -30000, -30000, true, [](int x) { return x; }},
      {-32000, -24000, 32000, 24000, true, [](int x) { return (3 * x + 2) / 4; }},
      {-24000, -32000, 24000, 32000, false, [](int y) { return (3 * y + 2) / 4; }},
  };
  for (const Line& l : lines) {
    resetDrawing();
    GUI_DrawLine(l.x0, l.y0, l.x1, l.y1);
    int expected = 0;
    for (int major = 0; major < (l.xMajor ? 320 : 240); ++major) {
      const int minor = l.minor(major);
      if (minor < 0 || minor >= (l.xMajor ? 240 : 320)) continue;
      ++expected;
      EXPECT_TRUE(l.xMajor ? lit(major, minor) : lit(minor, major)) << l.x0 << "," << l.y0 << " at " << major;
    }
    EXPECT_EQ(countLit(0, 0, 319, 239), expected) << l.x0 << "," << l.y0;
  }

  // Half of the plane above its diagonal, from the far corners of the coordinate range.
  const GUI_POINT triangles[][3] = {
      {{-32768, -32768}, {32767, -32768}, {32767, 32767}},
      {{32767, 32767}, {-32768, -32768}, {32767, -32768}},
  };
  for (const auto& t : triangles) {
    resetDrawing();
    GUI_FillPolygon(t, 3, 0, 0);
    for (int y = 0; y < 240; y += 7)
      for (int x = 0; x < 320; x += 5) {
        if (x - y >= 2 || x - y <= -2) {
          EXPECT_EQ(lit(x, y), x > y) << x << "," << y;
        }
      }
  }
}

TEST_F(Primitives, LineToAndPolygons) {
  GUI_MoveTo(0, 0);
  GUI_DrawLineTo(10, 0);
  GUI_DrawLineTo(10, 10);
  EXPECT_TRUE(lit(5, 0));
  EXPECT_TRUE(lit(10, 5));
  EXPECT_EQ(countLit(0, 0, 319, 239), 21);
  // A polygon whose last point equals its first draws no closing segment: in XOR mode a
  // second pass over the first edge would clear it again.
  resetDrawing();
  LCD_SetDrawMode(GUI_DRAWMODE_XOR);
  const GUI_POINT closed[] = {{0, 0}, {20, 0}, {20, 20}, {0, 0}};
  GUI_DrawPolygon(closed, 4, 50, 50);
  EXPECT_TRUE(lit(60, 50));
  const GUI_POINT open[] = {{0, 0}, {20, 0}, {20, 20}};
  resetDrawing();
  GUI_DrawPolygon(open, 3, 50, 50);
  EXPECT_TRUE(lit(60, 60));  // the closing diagonal
  resetDrawing();
  GUI_DrawPolyLine(open, 3, 50, 50);
  EXPECT_FALSE(lit(60, 60));
}

TEST_F(Primitives, ThickLineCoversItsWidth) {
  GUI_SetPenSize(5);
  GUI_DrawLine(20, 20, 60, 20);
  for (int y = 18; y <= 22; ++y) EXPECT_TRUE(lit(40, y)) << y;
  EXPECT_FALSE(lit(40, 24));
  EXPECT_FALSE(lit(40, 16));
  EXPECT_TRUE(lit(18, 20));  // round end
  resetDrawing();
  GUI_SetPenSize(5);
  GUI_SetPenShape(GUI_PS_FLAT);
  GUI_DrawLine(20, 20, 60, 20);
  EXPECT_FALSE(lit(18, 20));
}

TEST_F(Primitives, Circles) {
  GUI_FillCircle(50, 50, 2);
  EXPECT_EQ(countLit(0, 0, 319, 239), 21);
  EXPECT_FALSE(lit(48, 48));
  EXPECT_TRUE(lit(49, 48));
  resetDrawing();
  GUI_FillCircle(50, 50, 1);
  EXPECT_EQ(countLit(0, 0, 319, 239), 5);
  resetDrawing();
  GUI_DrawCircle(50, 50, 1);
  EXPECT_EQ(countLit(0, 0, 319, 239), 8);
  EXPECT_FALSE(lit(50, 50));
  resetDrawing();
  GUI_DrawCircle(100, 100, 20);
  EXPECT_TRUE(lit(120, 100));
  EXPECT_TRUE(lit(100, 80));
  EXPECT_EQ(countLit(95, 95, 105, 105), 0);
}

TEST_F(Primitives, Rectangles) {
  GUI_DrawRect(10, 10, 20, 10);
  EXPECT_EQ(countLit(0, 0, 319, 239), 11);
  resetDrawing();
  GUI_DrawRect(10, 10, 14, 14);
  EXPECT_EQ(countLit(0, 0, 319, 239), 16);
  resetDrawing();
  const GUI_RECT r = {10, 10, 14, 14};
  GUI_DrawFocusRect(&r, 1);
  // The dotted frame of 9..15: every second pixel from the top-left corner.
  EXPECT_TRUE(lit(9, 9));
  EXPECT_FALSE(lit(10, 9));
  EXPECT_TRUE(lit(11, 9));
  EXPECT_TRUE(lit(15, 15));
  EXPECT_EQ(countLit(10, 10, 14, 14), 0);
  EXPECT_EQ(countLit(0, 0, 319, 239), 12);
  resetDrawing();
  GUI_FillRect(0, 0, 3, 3);
  EXPECT_EQ(countLit(0, 0, 319, 239), 16);
}

TEST_F(Primitives, WindowOriginIsAdded) {
  GUI_pContext->xOff = 100;
  GUI_pContext->yOff = 50;
  GUI_DrawPixel(1, 2);
  EXPECT_TRUE(lit(101, 52));
  GUI_FillRect(0, 0, 1, 1);
  EXPECT_TRUE(lit(100, 50));
}

TEST_F(Primitives, PolygonFillDrawsBaseOnceAndApexAsOnePixel) {
  // In XOR mode a span drawn twice would vanish.
  LCD_SetDrawMode(GUI_DRAWMODE_XOR);
  const GUI_POINT tri[] = {{10, 0}, {20, 10}, {0, 10}};
  GUI_FillPolygon(tri, 3, 0, 0);
  EXPECT_TRUE(lit(10, 0));
  EXPECT_EQ(countLit(0, 0, 30, 0), 1);
  EXPECT_EQ(countLit(1, 10, 19, 10), 19);
  EXPECT_TRUE(lit(10, 5));
}

TEST_F(Primitives, PolygonFillKeepsTwelveCrossings) {
  // A comb with seven teeth crosses row 5 fourteen times; the last tooth is dropped.
  GUI_POINT comb[2 + 7 * 4];
  int n = 0;
  comb[n++] = {0, 10};
  for (int t = 0; t < 7; ++t) {
    const int16_t x = static_cast<int16_t>(t * 10);
    comb[n++] = {x, 0};
    comb[n++] = {static_cast<int16_t>(x + 4), 0};
    comb[n++] = {static_cast<int16_t>(x + 4), 8};
    comb[n++] = {static_cast<int16_t>(x + 10), 8};
  }
  comb[n - 1] = {70, 10};
  GUI_FillPolygon(comb, n, 100, 100);
  EXPECT_TRUE(lit(102, 105));   // first tooth
  EXPECT_TRUE(lit(152, 105));   // sixth tooth
  EXPECT_FALSE(lit(162, 105));  // seventh tooth: crossings 13 and 14 are dropped
}

TEST_F(Primitives, GraphWithGaps) {
  const int16_t values[] = {10, 32767, 12, 32767};
  GUI_DrawGraphEx(values, 4, 0, 0, 1, 1, 0);
  EXPECT_EQ(countLit(0, 0, 319, 239), 2);
  EXPECT_TRUE(lit(0, 10));
  EXPECT_TRUE(lit(2, 12));
  resetDrawing();
  const int16_t tail[] = {10, 32767, 12};
  GUI_DrawGraphEx(tail, 3, 0, 0, 1, 1, 0);
  EXPECT_EQ(countLit(0, 0, 319, 239), 1);
  resetDrawing();
  const int16_t ramp[] = {0, 10};
  GUI_DrawGraphEx(ramp, 2, 0, 50, -1, 1, 0);
  EXPECT_TRUE(lit(0, 50));
  EXPECT_TRUE(lit(1, 40));
  EXPECT_EQ(countLit(0, 0, 319, 239), 12);
  resetDrawing();
  GUI_DrawGraphEx(ramp, 2, 0, 50, 0, 1, 0);  // mul 0 draws nothing
  EXPECT_EQ(countLit(0, 0, 319, 239), 0);
}

TEST_F(Primitives, ArcCoversItsQuadrantsOnly) {
  GUI_DrawArc(100, 100, 20, 20, 0, 90);
  EXPECT_TRUE(lit(120, 100));
  EXPECT_TRUE(lit(100, 80));
  EXPECT_EQ(countLit(0, 101, 319, 239), 0);  // nothing below the centre
  EXPECT_EQ(countLit(0, 0, 99, 239), 0);     // nothing left of it
  resetDrawing();
  GUI_DrawArc(100, 100, 20, 20, 180, 360);
  EXPECT_TRUE(lit(100, 120));
  EXPECT_EQ(countLit(0, 0, 319, 99), 0);
  resetDrawing();
  GUI_SetPenSize(5);
  GUI_DrawArc(100, 100, 20, 20, -45, 45);
  EXPECT_TRUE(lit(122, 100));
  EXPECT_TRUE(lit(118, 100));
  EXPECT_FALSE(lit(80, 100));
}

TEST_F(Primitives, VerticalGradientRowsAndColourKept) {
  GUI_SetColor(0x00FF00);
  const LCD_PIXELINDEX before = LCD_GetColorIndex();
  GUI_DrawGradientV(0, 0, 3, 10, 0x000000, 0x0000FF);
  EXPECT_EQ(pixel(0, 0), 0x0000);
  EXPECT_EQ(pixel(0, 5), 0x8000);
  EXPECT_EQ(pixel(3, 10), 0xF800);
  EXPECT_EQ(GUI_GetColor(), 0x00FF00u);
  EXPECT_EQ(LCD_GetColorIndex(), before);
}

TEST_F(Primitives, OneStepGradients) {
  GUI_DrawGradientV(0, 5, 9, 5, 0x000000, 0xFFFFFF);
  EXPECT_EQ(countLit(0, 0, 319, 239), 0);
  GUI_DrawGradientV(0, 5, 9, 5, 0xFFFFFF, 0xFFFFFF);
  EXPECT_EQ(countLit(0, 0, 319, 239), 10);
  resetDrawing();
  GUI_DrawGradientH(0, 0, 10, 1, 0x0000FF, 0x000000);
  EXPECT_EQ(pixel(0, 1), 0xF800);
  EXPECT_EQ(pixel(10, 0), 0x0000);
}

TEST_F(Primitives, RoundedCornersLeaveTheEdgesToTheCaller) {
  GUI_FillRoundedRect(10, 10, 40, 30, 4, 0xFFFFFF, 0x0000FF, 0x00FF00);
  EXPECT_EQ(countLit(0, 10, 319, 10), 0);  // the edge rows are the caller's
  EXPECT_EQ(countLit(0, 30, 319, 30), 0);
  EXPECT_EQ(pixel(11, 13), kWhite);        // the outer ring on the left
  EXPECT_EQ(pixel(39, 27), kWhite);        // mirrored at the bottom right
  GUI_DrawRoundedTop(50, 80, 10, 0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF);
  EXPECT_EQ(countLit(50, 0, 319, 239), 0);
  GUI_DrawRingedCircle(100, 100, 9, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF);  // odd diameter
  EXPECT_EQ(countLit(90, 90, 120, 120), 0);
  GUI_DrawRingedCircle(100, 100, 10, 0xFFFFFF, 0x0000FF, 0x00FF00);
  EXPECT_GT(countLit(100, 100, 109, 109), 0);
  EXPECT_EQ(pixel(100, 100), 0);  // the corner of the bounding square stays free
}

int gDrawCalls;
void drawObject(GUI_HMEM, int x, int, int param) { gDrawCalls += x + param; }

TEST_F(Primitives, DrawingObjects) {
  gDrawCalls = 0;
  GUI_DRAW__Draw(0, 1, 2, 3);
  EXPECT_EQ(gDrawCalls, 0);
  const GUI_DRAW_FUNC f = drawObject;
  const GUI_HMEM h = GUI_ALLOC_AllocInit(&f, sizeof f);
  GUI_DRAW__Draw(h, 1, 2, 3);
  EXPECT_EQ(gDrawCalls, 4);
}

TEST_F(Primitives, GoldenSetOfPrimitives) {
  GUI_SetColor(0xFFFFFF);
  GUI_DrawRect(2, 2, 157, 117);
  GUI_SetColor(0x0000FF);
  GUI_FillRect(10, 10, 40, 30);
  GUI_SetColor(0x00FF00);
  GUI_DrawCircle(80, 30, 18);
  GUI_FillCircle(130, 30, 15);
  GUI_SetColor(0xFF0000);
  GUI_DrawLine(10, 60, 60, 100);
  GUI_SetPenSize(4);
  GUI_DrawLine(70, 100, 120, 60);
  GUI_SetPenSize(1);
  GUI_SetLineStyle(GUI_LS_DASHDOT);
  GUI_DrawLine(10, 110, 150, 110);
  GUI_SetLineStyle(GUI_LS_SOLID);
  GUI_SetColor(0x00FFFF);
  const GUI_POINT star[] = {{0, -15}, {4, -4}, {15, -4}, {6, 3}, {9, 14}, {0, 7}, {-9, 14}, {-6, 3}, {-15, -4}, {-4, -4}};
  GUI_FillPolygon(star, 10, 140, 80);
  GUI_SetColor(0xFF00FF);
  GUI_SetPenSize(3);
  GUI_DrawArc(40, 80, 15, 15, 30, 250);
  GUI_SetPenSize(1);
  GUI_DrawGradientH(170, 10, 310, 30, 0x0000FF, 0xFF0000);
  GUI_DrawGradientV(170, 40, 200, 110, 0x00FFFF, 0x000000);
  GUI_FillRoundedRect(210, 40, 310, 70, 6, 0xFFFFFF, 0xC0C0C0, 0x808080);
  GUI_DrawRingedCircle(280, 80, 24, 0xFFFFFF, 0x0000FF, 0x000080);
  GUI_SetColor(0xFFFF00);
  const int16_t wave[] = {0, 3, 6, 8, 9, 8, 6, 3, 0, -3, -6, -8, -9, -8, -6, -3, 0, 32767, 5, 5, 32767, 0, 2, 4};
  GUI_DrawGraphEx(wave, 24, 215, 95, 1, 1, 0);
  EXPECT_TRUE(golden("primitives"));
}

}  // namespace
