// Fonts, text output and layout, wrapping and rotated text on the stand-in display.
#include <gtest/gtest.h>

#include <string>

#include "draw_fixture.h"
#include "gui/WM.h"
#include "gui/bitmap/GUI_Bitmap.h"
#include "gui/draw/GUI_Draw.h"

namespace {

class Text : public DrawTest {
 protected:
  // Leftmost and rightmost lit columns and top and bottom lit rows inside a rectangle.
  static GUI_RECT litBox(int x0, int y0, int x1, int y1) {
    GUI_RECT r = {32767, 32767, -32768, -32768};
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x)
        if (lit(x, y)) {
          r.x0 = std::min<int16_t>(r.x0, static_cast<int16_t>(x));
          r.x1 = std::max<int16_t>(r.x1, static_cast<int16_t>(x));
          r.y0 = std::min<int16_t>(r.y0, static_cast<int16_t>(y));
          r.y1 = std::max<int16_t>(r.y1, static_cast<int16_t>(y));
        }
    return r;
  }
};

TEST_F(Text, EveryDeviceFontHasTheMetricsOfItsTable) {
  struct Metrics {
    const GUI_FONT* font;
    bool fixed;
    int height, lineDist, baseline, lHeight, cHeight;
  } table[] = {
      {&GUI_Font8_1, true, 8, 8, 7, 5, 7},       {&GUI_FontFixed8x9, true, 8, 9, 7, 5, 7},
      {&GUI_FontProp13, false, 13, 13, 11, 6, 8},   {&GUI_FontProp13B, false, 13, 13, 11, 6, 8},
      {&GUI_FontProp13H, false, 13, 13, 11, 7, 9},  {&GUI_FontProp13HB, false, 13, 13, 11, 7, 9},
      {&GUI_FontProp16, false, 16, 16, 13, 7, 10},  {&GUI_FontProp16B, false, 16, 16, 13, 7, 10},
      {&GUI_FontProp18, false, 18, 18, 0, 0, 0},    {&GUI_FontProp20, false, 20, 20, 16, 10, 13},
      {&GUI_FontProp20B, false, 20, 20, 16, 10, 13}, {&GUI_FontProp22, false, 22, 22, 17, 10, 14},
      {&GUI_FontProp24, false, 24, 24, 19, 11, 15}, {&GUI_FontProp24B, false, 24, 24, 19, 11, 15},
      {&GUI_FontProp32, false, 32, 32, 25, 15, 20}, {&GUI_FontProp32L, false, 32, 32, 26, 15, 20},
      {&GUI_FontProp32LB, false, 32, 32, 26, 15, 20}, {&GUI_FontDigits32, false, 32, 32, 32, 0, 32},
      {&GUI_FontDigits48, false, 48, 48, 48, 0, 48}, {&GUI_FontDigits80, false, 80, 80, 80, 0, 80},
  };
  ASSERT_EQ(sizeof table / sizeof table[0], 20u);
  for (size_t i = 0; i < 20; ++i) {
    const Metrics& m = table[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(GUI_aDeviceFont[i], m.font);
    GUI_SetFont(m.font);
    EXPECT_EQ(GUI_GetFontSizeY(), m.height);
    EXPECT_EQ(GUI_GetFontDistY(), m.lineDist);
    GUI_FONTINFO info;
    GUI_GetFontInfo(m.font, &info);
    EXPECT_EQ(info.Flags, m.fixed ? GUI_FONTINFO_FLAG_MONO : GUI_FONTINFO_FLAG_PROP);
    EXPECT_EQ(info.Baseline, m.baseline);
    EXPECT_EQ(info.LHeight, m.lHeight);
    EXPECT_EQ(info.CHeight, m.cHeight);
    EXPECT_EQ(m.font->XMag, 1);
    EXPECT_EQ(m.font->YMag, 1);
    // The device's 8-bit code page: umlauts, the degree sign and the superscripts.
    for (uint16_t c : {uint16_t('A'), uint16_t('z'), uint16_t('0'), uint16_t(0xE4), uint16_t(0xF6), uint16_t(0xFC), uint16_t(0xDF), uint16_t(0xB0), uint16_t(0xB2), uint16_t(0xB3)})
      EXPECT_TRUE(GUI_IsInFont(m.font, c)) << c;
    EXPECT_FALSE(GUI_IsInFont(m.font, 0x80));
    EXPECT_GT(GUI_GetCharDistX('W'), 0);
  }
}

TEST_F(Text, CapitalsSitOnTheBaseline) {
  // An upright capital fills exactly the capital height above the baseline.
  for (const GUI_FONT* f : {&GUI_FontProp13, &GUI_FontProp16, &GUI_FontProp24, &GUI_FontProp32L}) {
    resetDrawing();
    GUI_SetFont(f);
    GUI_DispStringAt("H", 10, 10);
    const GUI_RECT box = litBox(0, 0, 100, 100);
    EXPECT_EQ(box.y1, 10 + f->Baseline - 1);
    EXPECT_EQ(box.y1 - box.y0 + 1, f->CHeight);
  }
}

TEST_F(Text, LineFeedReturnsToTheLeftBorderOrTheStart) {
  GUI_SetFont(&GUI_Font8_1);
  GUI_SetLBorder(0);
  GUI_DispStringAt("ab\nc", 10, 20);
  // "c" is drawn from x 0 on the next line: the text position is behind it afterwards.
  EXPECT_EQ(GUI_GetDispPosX(), 6);
  EXPECT_EQ(GUI_GetDispPosY(), 28);
  EXPECT_EQ(litBox(0, 28, 5, 35).x0 >= 0, true);
  EXPECT_GT(countLit(0, 28, 5, 35), 0);
  EXPECT_EQ(countLit(6, 28, 60, 35), 0);
  // Right-aligned, the second line ends at the starting x.
  resetDrawing();
  GUI_SetFont(&GUI_Font8_1);
  GUI_SetTextAlign(GUI_TA_RIGHT);
  GUI_DispStringAt("ab\nc", 40, 20);
  EXPECT_EQ(GUI_GetDispPosX(), 40);
  EXPECT_GT(countLit(34, 28, 39, 35), 0);
  EXPECT_EQ(countLit(0, 28, 33, 35), 0);
  // Horizontal alignment applies to one output only.
  EXPECT_EQ(GUI_GetTextAlign(), GUI_TA_LEFT);
}

TEST_F(Text, CentredAlignmentIsClearedAfterOutput) {
  GUI_SetTextAlign(GUI_TA_HCENTER | GUI_TA_VCENTER);
  GUI_DispStringAt("x", 100, 100);
  EXPECT_EQ(GUI_GetTextAlign(), GUI_TA_VCENTER);
  EXPECT_EQ(GUI_GetDispPosY(), 100);
}

TEST_F(Text, FixedFontWithTallerLinesClearsTheGapRow) {
  GUI_SetBkColor(0x0000FF);
  GUI_SetFont(&GUI_FontFixed8x9);
  GUI_DispStringAt("i", 0, 0);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(pixel(x, 8), 0xF800) << x;
  resetDrawing();
  GUI_SetBkColor(0x0000FF);
  GUI_SetFont(&GUI_FontFixed8x9);
  GUI_SetTextMode(GUI_TEXTMODE_TRANS);
  GUI_DispStringAt("i", 0, 0);
  EXPECT_EQ(countLit(0, 8, 5, 8), 0);
}

TEST_F(Text, TransparentTextChangesOnlyGlyphPixels) {
  GUI_SetBkColor(0x0000FF);
  GUI_SetFont(&GUI_FontProp16);
  GUI_DispStringAt("T", 0, 0);
  const int opaque = countLit(0, 0, 20, 15);
  resetDrawing();
  GUI_SetBkColor(0x0000FF);
  GUI_SetFont(&GUI_FontProp16);
  GUI_SetTextMode(GUI_TEXTMODE_TRANS);
  GUI_DispStringAt("T", 0, 0);
  const int trans = countLit(0, 0, 20, 15);
  EXPECT_GT(trans, 0);
  EXPECT_LT(trans, opaque);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 20; ++x) EXPECT_NE(pixel(x, y), 0xF800);
}

TEST_F(Text, CodeOutsideTheFontLeavesThePositionUnchanged) {
  GUI_SetFont(&GUI_FontProp13);
  GUI_GotoXY(50, 50);
  GUI_DispChar(0x85);
  EXPECT_EQ(GUI_GetDispPosX(), 50);
  GUI_DispChar('\r');
  EXPECT_EQ(GUI_GetDispPosX(), 50);
  EXPECT_EQ(countLit(0, 0, 319, 239), 0);
}

TEST_F(Text, SingleCharactersPaddingAndClearingToTheLineEnd) {
  GUI_SetFont(&GUI_Font8_1);  // 6 pixels a character
  GUI_GotoXY(10, 10);
  GUI_DispChars('x', 3);
  EXPECT_EQ(GUI_GetDispPosX(), 28);
  GUI_DispChars('x', 0);
  EXPECT_EQ(GUI_GetDispPosX(), 28);
  GUI_GotoXY(0, 30);
  GUI_DispStringLen("ab", 5);  // the string, then spaces up to five characters
  EXPECT_EQ(GUI_GetDispPosX(), 30);
  GUI_DispCharAt('y', 100, 50);
  EXPECT_EQ(GUI_GetDispPosX(), 106);
  EXPECT_GT(countLit(100, 50, 105, 57), 0);
  // Clearing to the end of the line removes what stood behind the text.
  GUI_FillRect(0, 70, 319, 77);
  GUI_DispStringAtCEOL("ab", 0, 70);
  EXPECT_EQ(countLit(12, 70, 319, 77), 0);
  EXPECT_GT(countLit(0, 70, 11, 77), 0);
}

// A 4 x 4 fixed-width font with 'A' in its main range and, through the translation range,
// 0xC4 drawn as 'A' with an overlaid accent, and 0xC5 without any glyph.
const uint8_t kTinyMain[] = {0x60, 0x90, 0xF0, 0x90};  // 'A'
const uint8_t kTinyExtra[] = {0x60, 0x90, 0xF0, 0x90,   // 0: 'A'
                              0x90, 0x00, 0x00, 0x00};  // 1: the accent
const GUI_FONT_TRANSPAIR kTinyPairs[] = {{0, 1}, {-1, -1}};
const GUI_FONT_TRANS kTinyTrans = {0xC4, 0xC5, kTinyPairs};
const GUI_FONT_FIXED kTinyData = {kTinyMain, kTinyExtra, &kTinyTrans, 'A', 'A', 4, 5, 1};
const GUI_FONT kTinyFont = {GUIMONO_DispChar, GUIMONO_GetCharDistX, GUIMONO_GetFontInfo, GUIMONO_IsInFont,
                            nullptr, nullptr, 4, 4, 1, 1, &kTinyData, 3, 2, 3};

TEST_F(Text, FixedFontOverlaysAccentsThroughItsTranslationRange) {
  GUI_SetFont(&kTinyFont);
  GUI_DispStringAt("A", 0, 0);
  EXPECT_FALSE(lit(0, 0));
  GUI_DispStringAt("\xC4", 10, 0);
  EXPECT_TRUE(lit(10, 0));  // the accent's dots over the letter
  EXPECT_TRUE(lit(13, 0));
  EXPECT_TRUE(lit(11, 0));  // the letter itself
  EXPECT_EQ(countLit(10, 1, 13, 3), countLit(0, 1, 3, 3));
  EXPECT_TRUE(GUI_IsInFont(&kTinyFont, 0xC4));
  EXPECT_FALSE(GUI_IsInFont(&kTinyFont, 0xC5));
  // A code without a glyph draws nothing but still advances.
  GUI_GotoXY(20, 0);
  GUI_DispChar(0xC5);
  EXPECT_EQ(GUI_GetDispPosX(), 25);
  EXPECT_EQ(countLit(20, 0, 30, 3), 0);
}

TEST_F(Text, MagnifiedFontsScaleGlyphsAndAdvance) {
  GUI_FONT big = GUI_FontProp13;
  big.XMag = 2;
  big.YMag = 2;
  GUI_SetFont(&GUI_FontProp13);
  const int w = GUI_GetStringDistX("H");
  GUI_DispStringAt("H", 0, 0);
  const int n = countLit(0, 0, 40, 40);
  GUI_SetFont(&big);
  EXPECT_EQ(GUI_GetStringDistX("H"), 2 * w);
  EXPECT_EQ(GUI_GetFontSizeY(), 26);
  GUI_DispStringAt("H", 100, 0);
  EXPECT_EQ(GUI_GetDispPosX(), 100 + 2 * w);
  EXPECT_EQ(countLit(100, 0, 160, 40), 4 * n);
}

TEST_F(Text, StyleLines) {
  GUI_SetFont(&GUI_FontProp13);
  GUI_SetTextStyle(GUI_TS_UNDERLINE);
  GUI_DispStringAt("  ", 0, 0);
  // Spaces draw only the underline, on the baseline row.
  EXPECT_EQ(countLit(0, 0, 319, 239), countLit(0, 11, 319, 11));
  EXPECT_EQ(countLit(0, 11, 319, 11), 2 * GUI_GetCharDistX(' '));
}

TEST_F(Text, NumbersGoThroughStringOutput) {
  GUI_SetFont(&GUI_Font8_1);
  GUI_GotoXY(0, 0);
  GUI_DispDec(-2147483647 - 1, 11);
  EXPECT_EQ(GUI_GetDispPosX(), 11 * 6);
  GUI_GotoXY(0, 10);
  GUI_DispBin(5, 40);
  EXPECT_EQ(GUI_GetDispPosX(), 32 * 6);
}

TEST_F(Text, WrappingByWordsAndCharacters) {
  GUI_SetFont(&GUI_Font8_1);  // 6 pixels a character
  EXPECT_EQ(GUI_WrapGetNumLines("abc def ghi", 42, GUI_WRAPMODE_WORD), 2);
  EXPECT_EQ(GUI_WrapGetNumLines("abc def ghi", 42, GUI_WRAPMODE_CHAR), 2);
  EXPECT_EQ(GUI_WrapGetNumLines("abc def ghi", 42, GUI_WRAPMODE_NONE), 1);
  int pos[4];
  EXPECT_EQ(GUI_WrapGetPositions("abc def ghi", 42, GUI_WRAPMODE_WORD, pos, 4), 2);
  EXPECT_EQ(pos[1], 7);  // the space after a full line is not consumed: it does not fit
  EXPECT_EQ(GUI_WrapGetPositions("abc def ghi", 20, GUI_WRAPMODE_WORD, pos, 2), -1);
  // A word wider than the rectangle is cut after the characters that fit.
  EXPECT_EQ(GUI__WrapGetNumCharsDisp("abcdefghij", 30, GUI_WRAPMODE_WORD), 5);
  // Extra break characters break after themselves.
  EXPECT_EQ(GUI__WrapGetNumCharsDisp("ab-cdefgh", 30, GUI_WRAPMODE_WORD), 5);
  const uint16_t dash = '-';
  GUI_SetWrapChars(&dash, 1);
  EXPECT_EQ(GUI__WrapGetNumCharsDisp("ab-cdefgh", 30, GUI_WRAPMODE_WORD), 3);
  GUI_SetWrapChars(nullptr, 0);
  // Line feeds end lines in every mode; a width too small still makes progress.
  EXPECT_EQ(GUI_WrapGetNumLines("a\nb", 100, GUI_WRAPMODE_WORD), 2);
  EXPECT_EQ(GUI_WrapGetNumLines("abc", 1, GUI_WRAPMODE_CHAR), 3);
  EXPECT_EQ(GUI_WrapGetNumLines("   ", 1, GUI_WRAPMODE_WORD), 3);
}

TEST_F(Text, StringsInRectanglesAreAlignedAndClipped) {
  GUI_SetFont(&GUI_Font8_1);
  GUI_RECT r = {100, 100, 159, 139};
  GUI_DispStringInRect("ab", &r, GUI_TA_RIGHT | GUI_TA_BOTTOM);
  GUI_RECT box = litBox(0, 0, 319, 239);
  EXPECT_LE(box.x1, 159);
  EXPECT_GE(box.x0, 148);
  EXPECT_LE(box.y1, 139);
  EXPECT_GE(box.y0, 132);
  resetDrawing();
  GUI_SetFont(&GUI_Font8_1);
  GUI_RECT narrow = {10, 10, 20, 17};
  GUI_DispStringInRect("WWWWWW", &narrow, GUI_TA_LEFT);
  box = litBox(0, 0, 319, 239);
  EXPECT_LE(box.x1, 20);  // clipped to the rectangle
  // The clip rectangle is the caller's again afterwards.
  GUI_DispStringAt("W", 200, 200);
  EXPECT_GT(countLit(200, 200, 210, 210), 0);
  resetDrawing();
  GUI_SetFont(&GUI_Font8_1);
  GUI_RECT wrapRect = {0, 0, 41, 50};
  GUI_DispStringInRectWrap("abc def ghi", &wrapRect, GUI_TA_HCENTER | GUI_TA_VCENTER, GUI_WRAPMODE_WORD);
  box = litBox(0, 0, 319, 239);
  EXPECT_GE(box.y0, 17);  // two lines of 8 centred in 51 rows start at row 17
  EXPECT_LE(box.y1, 17 + 15);
  GUI_RECT out;
  GUI__CalcTextRect("ab", &r, &out, GUI_TA_HCENTER | GUI_TA_VCENTER);
  EXPECT_EQ(out.x0, 100 + (59 - 12) / 2);
  EXPECT_EQ(out.y0, 100 + (39 - 8 + 1) / 2);
}

TEST_F(Text, RotatedTextIsDrawnAndPlaced) {
  GUI_SetFont(&GUI_Font8_1);
  GUI_RECT r = {10, 10, 19, 59};
  GUI_DispStringInRectEx("AB", &r, GUI_TA_LEFT, 100, GUI_ROTATE_CCW);
  // Read upwards: "A" at the bottom of the rectangle, "B" above it.
  GUI_RECT box = litBox(0, 0, 319, 239);
  EXPECT_GE(box.x0, 10);
  EXPECT_LE(box.x1, 19);
  EXPECT_GT(countLit(10, 54, 19, 59), 0);
  EXPECT_GT(countLit(10, 48, 19, 53), 0);
  EXPECT_EQ(countLit(10, 10, 19, 47), 0);
  EXPECT_EQ(GUI__pRotation, nullptr);
  EXPECT_EQ(GUI_pContext->pClipRect_HL, &GUI_pContext->ClipRect);

  resetDrawing();
  GUI_SetFont(&GUI_Font8_1);
  GUI_DispStringInRectEx("AB", &r, GUI_TA_LEFT, 100, GUI_ROTATE_CW);
  box = litBox(0, 0, 319, 239);
  EXPECT_GT(countLit(0, 0, 319, 239), 0);  // drawn, not clipped away
  EXPECT_GT(countLit(10, 10, 19, 15), 0);   // "A" at the top
  EXPECT_LE(box.y1, 21);

  resetDrawing();
  GUI_SetFont(&GUI_Font8_1);
  GUI_RECT wide = {100, 100, 199, 119};
  GUI_DispStringInRectEx("AB", &wide, GUI_TA_LEFT, 100, GUI_ROTATE_180);
  // The first character lands at the bottom right, upside down.
  box = litBox(0, 0, 319, 239);
  EXPECT_GE(box.x0, 188);
  EXPECT_LE(box.x1, 199);
  EXPECT_GE(box.y0, 112);
}

TEST_F(Text, TurnedRectanglesAreOrderedForBothDirections) {
  const GUI_RECT r = {10, 10, 19, 59};
  GUI__SetRotationRect(&r);
  for (const GUI_ROTATION* rot : {GUI_ROTATE_CCW, GUI_ROTATE_CW}) {
    GUI_RECT layout = r;
    rot->pfRect2TextRect(&layout);
    EXPECT_EQ(layout.x1, 59);  // width and height exchanged
    EXPECT_EQ(layout.y1, 19);
    rot->pfTransformRect(&layout);
    // The layout rectangle turns back into the caller's rectangle on the screen.
    EXPECT_EQ(layout.x0, 10);
    EXPECT_EQ(layout.y0, 10);
    EXPECT_EQ(layout.x1, 19);
    EXPECT_EQ(layout.y1, 59);
  }
  EXPECT_EQ(GUI_ROTATE_180->pfTransformRect, nullptr);
}

TEST_F(Text, LinesFollowASelectedRotation) {
  const GUI_RECT r = {100, 100, 119, 159};  // 20 wide, 60 high
  GUI__SetRotationRect(&r);
  GUI_pContext->xOff = 10;
  GUI_pContext->yOff = 5;
  GUI_SetRotation(GUI_ROTATE_CCW);
  // Along the first row of the upright layout: on the screen, up the left column.
  GUI_MoveTo(100, 100);
  GUI_DrawLineTo(109, 100);
  GUI_SetRotation(nullptr);
  EXPECT_EQ(countLit(0, 0, 319, 239), 10);
  EXPECT_TRUE(lit(110, 164));  // layout (100, 100): the bottom-left corner of r, moved by the origin
  EXPECT_TRUE(lit(110, 155));
  EXPECT_EQ(GUI_pContext->DrawPosX, 109);
}

TEST_F(Text, RotatedGlyphsOutsideTheClipRectangleDrawNothing) {
  GUI_SetFont(&GUI_Font8_1);
  const GUI_RECT clip = {0, 0, 50, 50};
  WM_SetUserClipRect(&clip);  // the window manager sets the clip of every drawing operation
  GUI_RECT r = {200, 200, 209, 239};
  GUI_DispStringInRectEx("AB", &r, GUI_TA_LEFT, 100, GUI_ROTATE_CCW);
  WM_SetUserClipRect(nullptr);
  EXPECT_EQ(countLit(0, 0, 319, 239), 0);
}

TEST_F(Text, GoldenScreenInSeveralFonts) {
  GUI_SetBkColor(0x000000);
  struct Line {
    const GUI_FONT* font;
    GUI_COLOR color;
    const char* text;
  } lines[] = {
      {&GUI_Font8_1, 0xFFFFFF, "Fixed 8: 0123456789 ABC abc \xE4\xF6\xFC \xB0""C m\xB2 m\xB3"},
      {&GUI_FontFixed8x9, 0x00FFFF, "Fixed 8 on 9: Temperatur 23.5\xB0""C"},
      {&GUI_FontProp13, 0xFFFFFF, "Prop 13: Regler \xDC""bersicht -12.5 %"},
      {&GUI_FontProp13HB, 0x00FF00, "Prop 13 bold: Sollwert 100.0"},
      {&GUI_FontProp16, 0xFFFFFF, "Prop 16: Grenzwert \xFC""berschritten"},
      {&GUI_FontProp20B, 0x0080FF, "Prop 20 bold: Alarm 3"},
      {&GUI_FontProp22, 0xFFFFFF, "Prop 22: Men\xFC 12:45"},
      {&GUI_FontProp32, 0xFFFF00, "Prop 32: 98.6\xB0"},
  };
  int y = 2;
  for (const Line& l : lines) {
    GUI_SetFont(l.font);
    GUI_SetColor(l.color);
    GUI_DispStringAt(l.text, 2, y);
    y += l.font->YDist + 2;
  }
  GUI_SetFont(&GUI_FontDigits48);
  GUI_SetColor(0xFFFFFF);
  GUI_SetTextAlign(GUI_TA_RIGHT);
  GUI_GotoXY(318, y);
  GUI_DispFloat(-12.75f, 2);
  GUI_SetFont(&GUI_FontProp13);
  GUI_SetTextStyle(GUI_TS_UNDERLINE);
  GUI_DispStringAt("underlined", 2, y + 4);
  GUI_SetTextStyle(GUI_TS_NORMAL);
  EXPECT_TRUE(golden("text_fonts"));
}

TEST_F(Text, GoldenRotatedText) {
  GUI_SetColor(0xFFFFFF);
  GUI_DrawRect(9, 9, 30, 130);
  GUI_DrawRect(39, 9, 60, 130);
  GUI_DrawRect(69, 9, 230, 30);
  GUI_SetFont(&GUI_FontProp16);
  GUI_SetColor(0x00FFFF);
  GUI_RECT ccw = {10, 10, 29, 129};
  GUI_DispStringInRectEx("Druck bar", &ccw, GUI_TA_HCENTER | GUI_TA_VCENTER, 100, GUI_ROTATE_CCW);
  GUI_RECT cw = {40, 10, 59, 129};
  GUI_DispStringInRectEx("Fl\xFC""ssigkeit", &cw, GUI_TA_LEFT | GUI_TA_VCENTER, 100, GUI_ROTATE_CW);
  GUI_RECT upside = {70, 10, 229, 29};
  GUI_SetFont(&GUI_FontFixed8x9);
  GUI_DispStringInRectEx("upside down 180\xB0", &upside, GUI_TA_LEFT, 100, GUI_ROTATE_180);
  EXPECT_TRUE(golden("text_rotated"));
}

}  // namespace

namespace {

// Deeper glyph pixels under a rotation are mixed from the background into the foreground by
// their intensity; 2-bit values count as 0, 5, 10, 15 of 15.
TEST_F(Text, RotatedDeepGlyphPixelsAreAntiAliased) {
  struct Case {
    int bpp;
    uint8_t data;  // one byte of pixel data, read from its most significant bits
    int numPixels;
    uint8_t intensity[4];
  } cases[] = {
      {2, 0x1B, 4, {0, 85, 170, 255}},  // 0, 1, 2, 3
      {4, 0x08, 2, {0, 136}},
      {8, 0x40, 1, {0x40}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bpp);
    resetDrawing();
    GUI_SetColor(0xFFFFFFu);
    GUI_SetBkColor(0x000000u);
    const GUI_RECT r = {10, 10, 19, 19};
    GUI__SetRotationRect(&r);
    GUI_SetRotation(GUI_ROTATE_180);
    // One line of pixels at the top-left of the upright layout: on the screen they run
    // leftwards from the bottom-right corner.
    LCD_DrawBitmap(10, 10, c.numPixels, 1, 1, 1, c.bpp, 1, &c.data, nullptr);
    GUI_SetRotation(nullptr);
    for (int i = 0; i < c.numPixels; ++i) {
      const GUI_COLOR want = GUI__MixColors(0xFFFFFFu, 0x000000u, c.intensity[i]);
      EXPECT_EQ(pixel(19 - i, 19), LCD_Color2Index(want)) << "pixel " << i;
    }
  }
}

}  // namespace
