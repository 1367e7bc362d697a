// Fixture of the drawing tests: the graphics library on the emulated LCD, with helpers that
// read pixel indices back and compare the display with golden images.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "gui/draw/GUI_DrawIf.h"  // the drawing context, for tests that set it up
#include "support/lcd_harness.h"

class DrawTest : public lcdtest::LcdTest {
 protected:
  // The colour index of a screen pixel.
  static uint32_t pixel(int x, int y) { return LCD_GetPixelIndex(x, y); }
  static bool lit(int x, int y) { return pixel(x, y) != 0; }
  // Number of pixels that are not black inside the rectangle.
  static int countLit(int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) n += lit(x, y);
    return n;
  }
  // Back to the state after the start: defaults, whole-screen clipping, black display.
  void resetDrawing() {
    GUI_SetDefault();
    GUI_SetTextStyle(GUI_TS_NORMAL);
    GUI_SetLBorder(0);
    GUI_SetPenShape(GUI_PS_ROUND);
    GUI_pContext->xOff = GUI_pContext->yOff = 0;
    LCD_SetClipRectMax();
    GUI_Clear();
    errors.clear();
  }
  static ::testing::AssertionResult golden(const std::string& name) { return lcdtest::MatchesGolden("gui", name); }
};
