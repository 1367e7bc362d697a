// Number and float formatting, binary and hexadecimal output, fixed-point trigonometry and
// the small helpers: checked through a recording font that collects the drawn characters.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "draw_fixture.h"
#include "gui/bitmap/GUI_Bitmap.h"
#include "gui/draw/GUI_Draw.h"

namespace {

std::string gDrawn;

void recordChar(uint16_t c) {
  gDrawn.push_back(static_cast<char>(c));
  GUI_pContext->DispPosX = static_cast<int16_t>(GUI_pContext->DispPosX + 1);
}
int recordDist(uint16_t, int* pSizeX) {
  if (pSizeX) *pSizeX = 1;
  return 1;
}
void recordInfo(const GUI_FONT*, GUI_FONTINFO* p) { p->Flags = GUI_FONTINFO_FLAG_PROP; }
char recordIsIn(const GUI_FONT*, uint16_t) { return 1; }

// A font that draws nothing and records every character it is asked to draw.
const GUI_FONT kRecordingFont = {recordChar, recordDist, recordInfo, recordIsIn, nullptr, nullptr, 1, 1, 1, 1,
                                 {nullptr},  0,          0,          0};

class Format : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    GUI_SetFont(&kRecordingFont);
    gDrawn.clear();
  }
};

std::string addDecShift(int32_t v, uint8_t len, uint8_t shift) {
  char buf[32];
  char* s = buf;
  GUI_AddDecShift(v, len, shift, &s);
  return std::string(buf, s);
}

TEST_F(Format, AddDecShiftPlacesDigitsSignAndSeparator) {
  struct Case {
    int32_t v;
    uint8_t len, shift;
    const char* text;
  } cases[] = {
      {1234, 6, 2, "012.34"},
      {-5, 3, 1, "-.5"},
      {5, 2, 0, "05"},
      {0, 1, 0, "0"},
      {INT32_MIN, 11, 0, "-2147483648"},
      {INT32_MAX, 10, 0, "2147483647"},
      {10, 1, 0, "10"},       // a carry into one more position
      {100, 3, 2, ".100"},    // ... which does not write the separator a second time
      {12345, 3, 0, ""},      // too many digits: the text stops at the first quotient above 10
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(addDecShift(c.v, c.len, c.shift), c.text);
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(Format, MoreThanTenDigitsAreReportedAndCut) {
  EXPECT_EQ(addDecShift(42, 14, 0), "0000000042");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "GUI_AddDecShift:\nCan not display more than 10 dec. digits in GUI_AddDecShift()");
}

TEST_F(Format, CountDecDigitsCountsTheSign) {
  EXPECT_EQ(GUI__CountDecDigits(0), 1);
  EXPECT_EQ(GUI__CountDecDigits(9), 1);
  EXPECT_EQ(GUI__CountDecDigits(10), 2);
  EXPECT_EQ(GUI__CountDecDigits(-10), 3);
  EXPECT_EQ(GUI__CountDecDigits(INT32_MIN), 11);
  EXPECT_EQ(GUI__CountDecDigits(INT32_MAX), 10);
}

TEST_F(Format, DecimalOutput) {
  struct Case {
    void (*draw)();
    const char* text;
  } cases[] = {
      {[] { GUI_DispDec(-2147483647 - 1, 11); }, "-2147483648"},
      {[] { GUI_DispDec(7, 3); }, "007"},
      {[] { GUI_DispSDec(7, 3); }, "+07"},
      {[] { GUI_DispSDec(0, 3); }, "000"},
      {[] { GUI_DispSDec(-7, 3); }, "-07"},
      {[] { GUI_DispDecSpace(42, 5); }, "   42"},
      {[] { GUI_DispDecSpace(123456, 3); }, "123456"},
      {[] { GUI_DispDecMin(-305); }, "-305"},
      {[] { GUI_DispDecShift(5, 4, 2); }, "0.05"},
      {[] { GUI_DispHex(0xBEEF, 4); }, "BEEF"},
      {[] { GUI_DispHex(0xBEEF, 9); }, ""},
      {[] { GUI_DispBin(5, 4); }, "0101"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    gDrawn.clear();
    c.draw();
    EXPECT_EQ(gDrawn, c.text);
  }
}

TEST_F(Format, DecimalSeparatorIsTheLibrarys) {
  GUI_SetDecChar(',');
  GUI_DispDecShift(5, 4, 2);
  EXPECT_EQ(gDrawn, "0,05");
}

TEST_F(Format, BinaryOutputIsLimitedTo32Digits) {
  GUI_DispBin(5, 40);
  EXPECT_EQ(gDrawn, std::string(29, '0') + "101");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "GUI_AddBin:\nCan not display more than 32 bin. digits in GUI_AddBin()");
}

TEST_F(Format, FloatOutput) {
  struct Case {
    void (*draw)();
    const char* text;
  } cases[] = {
      {[] { GUI_DispFloat(3.14159f, 2); }, "3.14"},
      {[] { GUI_DispFloat(-0.5f, 1); }, "-0.5"},
      {[] { GUI_DispFloat(0.004f, 2); }, "0.00"},
      {[] { GUI_DispFloat(-0.006f, 2); }, "-.01"},
      {[] { GUI_DispFloat(12.5f, 0); }, "13"},
      {[] { GUI_DispFloat(0.7f, 0); }, "1"},
      {[] { GUI_DispFloat(-0.7f, 0); }, "-1"},
      {[] { GUI_DispFloat(0.2f, 0); }, "0"},
      {[] { GUI_DispFloat(0.0f, 1); }, "0.0"},
      {[] { GUI_DispFloat(-123.456f, 1); }, "-123.5"},
      {[] { GUI_DispSFloat(2.5f, 1); }, "+2.5"},
      {[] { GUI_DispFloatWidth(-0.25f, 5); }, "-0.25"},
      {[] { GUI_DispFloatWidth(12.345f, 6); }, "12.345"},
      {[] { GUI_DispFloatFix(1.5f, 5, 2); }, "01.50"},
      {[] { GUI_DispSFloatFix(1.5f, 5, 1); }, "+01.5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    gDrawn.clear();
    c.draw();
    EXPECT_EQ(gDrawn, c.text);
  }
}

TEST_F(Format, HugeAndInvalidFloatsDoNotCrash) {
  // Out-of-range values saturate to the largest whole number; the text is cut by the rules
  // of the digit engine, but stays within its buffer.
  const float values[] = {3e20f, -3e20f, 1.5e37f, std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(), 1e-30f};
  for (float f : values) {
    gDrawn.clear();
    GUI_DispFloat(f, 2);
    GUI_DispSFloat(f, 9);
    GUI_DispFloatWidth(f, 12);
    GUI_DispFloatFix(f, 250, 120);
    EXPECT_LE(gDrawn.size(), 4u * 14u);
  }
  gDrawn.clear();
  GUI_DispFloat(3e20f, 2);
  EXPECT_EQ(gDrawn.substr(0, 8), "21474836");
}

TEST_F(Format, RoundingAndFirstDecimal) {
  EXPECT_EQ(GUI__RoundFloat(2.5f), 3.0f);
  EXPECT_EQ(GUI__RoundFloat(-2.5f), -3.0f);
  EXPECT_EQ(GUI__RoundFloat(-2.4f), -2.0f);
  EXPECT_EQ(GUI__GetFirstDecimalPos(0.0f), 0);
  EXPECT_EQ(GUI__GetFirstDecimalPos(0.5f), 1);
  EXPECT_EQ(GUI__GetFirstDecimalPos(0.05f), 2);
  EXPECT_EQ(GUI__GetFirstDecimalPos(7.0f), 1);
  EXPECT_EQ(GUI__GetFirstDecimalPos(std::numeric_limits<float>::quiet_NaN()), 0);
}

using Trig = DrawTest;
using Encoding = DrawTest;
using Helpers = DrawTest;

TEST_F(Trig, SquareRootSineAndArcFunctions) {
  EXPECT_EQ(GUI__sqrt32(0), 0u);
  EXPECT_EQ(GUI__sqrt32(15), 3u);
  EXPECT_EQ(GUI__sqrt32(16), 4u);
  EXPECT_EQ(GUI__sqrt32(0xFFFFFFFFu), 65535u);
  EXPECT_EQ(GUI__sqrt32(0xFFFE0001u), 65535u);
  EXPECT_EQ(GUI__SinHQ(90000), 65536);
  EXPECT_EQ(GUI__SinHQ(-30000), -32768);
  EXPECT_EQ(GUI__SinHQ(210000), -32768);
  EXPECT_EQ(GUI__SinHQ(150000), 32768);
  EXPECT_EQ(GUI__SinHQ(360000 + 30000), 32768);
  EXPECT_EQ(GUI__SinHQ(30500), (32768 + 33754) / 2);
  EXPECT_EQ(GUI__CosHQ(0), 65536);
  EXPECT_EQ(GUI__CosHQ(180000), -65536);
  EXPECT_EQ(GUI__SinHQ(INT32_MIN), GUI__SinHQ(-static_cast<int32_t>(2147483648u % 360000u)));
  EXPECT_EQ(GUI__asin(0x10001), -1);
  EXPECT_EQ(GUI__asin(-1), -1);
  EXPECT_EQ(GUI__asin(0x10000), 0x5A0000);
  EXPECT_EQ(GUI__asin(32768), 30 << 16);
  int32_t len = -1;
  EXPECT_EQ(GUI__atan2(0, 0, &len), 0);
  EXPECT_EQ(len, 0);
  EXPECT_EQ(GUI__atan2(3, 4, &len) >> 16, 53);
  EXPECT_EQ(len, 5);
  EXPECT_EQ(GUI__atan2(-1, 0, nullptr), 0xB40000);
  EXPECT_EQ(GUI__atan2(0, -1, nullptr), 0x1680000 - 0x5A0000);
}

TEST_F(Trig, PolygonScalingAndRotation) {
  const GUI_POINT src[2] = {{10, 0}, {0, 5}};
  GUI_POINT dst[2];
  GUI_MagnifyPolygon(dst, src, 2, 3);
  EXPECT_EQ(dst[0].x, 30);
  EXPECT_EQ(dst[1].y, 15);
  GUI_RotatePolygon(dst, src, 2, 3.1415925f / 2);
  // A quarter turn: (10, 0) -> (0, -10), (0, 5) -> (5, 0); the angle is truncated to
  // thousandths of a degree and the fixed point rounds towards minus infinity.
  EXPECT_NEAR(dst[0].x, 0, 1);
  EXPECT_EQ(dst[0].y, -10);
  EXPECT_NEAR(dst[1].x, 5, 1);
  EXPECT_NEAR(dst[1].y, 0, 1);
}

TEST_F(Encoding, EightBitCharactersAndEndOfLine) {
  GUI_UC_SetEncodeNone();
  EXPECT_EQ(GUI_UC_BytesToChars("abc", 2), 2);
  EXPECT_EQ(GUI_UC_CountChars(nullptr), 0);
  EXPECT_EQ(GUI_UC_CountChars("\xE4\xF6\xFC"), 3);
  EXPECT_EQ(GUI_UC_GetCharCode("\xB0"), 176);  // the degree sign is one byte
  EXPECT_EQ(GUI_UC_CharsToBytes("abc", 2), 2);
  char buf[2] = {};
  EXPECT_EQ(GUI_UC_Encode(buf, 0xFC), 1);
  EXPECT_EQ(static_cast<uint8_t>(buf[0]), 0xFC);
  const char* s = "\nx";
  EXPECT_EQ(GUI__HandleEOLine(&s), 0);
  EXPECT_EQ(*s, 'x');
  const char* e = "";
  EXPECT_EQ(GUI__HandleEOLine(&e), 1);
}

TEST_F(Helpers, RectanglesAndRounding) {
  GUI_RECT a = {0, 0, 9, 9}, b = {20, 20, 29, 29}, r;
  EXPECT_EQ(GUI__IntersectRects(&r, &a, &b), 0);
  EXPECT_EQ(GUI_RectsOverlap(&a, &b), 0);
  GUI_MergeRect(&r, &a, &b);
  EXPECT_EQ(r.x0, 0);
  EXPECT_EQ(r.y1, 29);
  GUI_MergeRect(&r, nullptr, &b);
  EXPECT_EQ(r.x0, 20);
  GUI_RECT c = {5, 5, 25, 25};
  EXPECT_EQ(GUI__IntersectRects(&r, &a, &c), 1);
  EXPECT_EQ(r.x0, 5);
  EXPECT_EQ(r.x1, 9);
  GUI__ReduceRect(&r, &a, 2);
  EXPECT_EQ(r.x0, 2);
  EXPECT_EQ(r.x1, 7);
  EXPECT_EQ(GUI__DivideRound(-7, 2), -4);
  EXPECT_EQ(GUI__DivideRound(7, 2), 4);
  EXPECT_EQ(GUI__DivideRound(5, 0), 0);
  EXPECT_EQ(GUI__DivideRoundPos(7, 2), 4);
  EXPECT_EQ(GUI__strlen(nullptr), -1);
  EXPECT_EQ(GUI__strcmp(nullptr, ""), 0);
  EXPECT_EQ(GUI__strcmp("a", "b"), 1);
  const uint8_t data[] = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12};
  const uint8_t* p = data;
  EXPECT_EQ(GUI__Read16(&p), 0x1234);
  EXPECT_EQ(GUI__Read32(&p), 0x12345678u);
  const uint8_t bits[] = {0xA5, 0x3C};
  EXPECT_EQ(GUI__GetPixelIndexFromData(1, 2, bits, 0, 0), 1u);
  EXPECT_EQ(GUI__GetPixelIndexFromData(1, 2, bits, 1, 0), 0u);
  EXPECT_EQ(GUI__GetPixelIndexFromData(2, 2, bits, 1, 0), 2u);
  EXPECT_EQ(GUI__GetPixelIndexFromData(4, 2, bits, 3, 0), 0xCu);
  EXPECT_EQ(GUI__GetPixelIndexFromData(3, 2, bits, 0, 0), 0u);
}

TEST_F(Helpers, BitmapPixelIndexAndColour) {
  // 2 bits per pixel, 3 x 2 pixels: indices 0 1 2 / 3 0 1; palette entry 0 is transparent.
  const uint8_t data[] = {0x18, 0xC4};
  const GUI_COLOR colors[] = {0x111111, 0x0000FF, 0x00FF00};  // index 3 lies beyond the palette
  const GUI_LOGPALETTE trans = {3, 1, colors};
  const GUI_LOGPALETTE opaque = {3, 0, colors};
  GUI_BITMAP bm = {3, 2, 1, 2, data, &trans, nullptr};
  struct Case {
    const GUI_LOGPALETTE* pal;
    unsigned x, y;
    LCD_PIXELINDEX index;
    GUI_COLOR color;
  } cases[] = {
      {&trans, 1, 0, 1, 0x0000FF},          {&trans, 2, 0, 2, 0x00FF00},
      {&trans, 0, 0, 0, GUI_INVALID_COLOR},  // the transparent index
      {&opaque, 0, 0, 0, 0x111111},         {&opaque, 0, 1, 3, GUI_INVALID_COLOR},
      {&opaque, 3, 0, 0, GUI_INVALID_COLOR},  // outside the bitmap: nothing read beyond its data
      {&opaque, 0, 2, 0, GUI_INVALID_COLOR},  {nullptr, 1, 0, 1, GUI_INVALID_COLOR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    bm.pPal = c.pal;
    EXPECT_EQ(GUI_GetBitmapPixelIndex(&bm, c.x, c.y), c.index);
    EXPECT_EQ(GUI_GetBitmapPixelColor(&bm, c.x, c.y), c.color);
  }
  EXPECT_EQ(GUI_GetBitmapPixelIndex(nullptr, 0, 0), 0u);
  EXPECT_EQ(GUI_GetBitmapPixelColor(nullptr, 0, 0), GUI_INVALID_COLOR);
}

TEST_F(Helpers, ClipRectangleLimitsDrawingUntilCleared) {
  const GUI_RECT clip = {10, 10, 19, 14};
  EXPECT_EQ(GUI_SetClipRect(&clip), nullptr);
  GUI_FillRect(0, 0, 319, 239);
  EXPECT_EQ(countLit(0, 0, 319, 239), 50);
  EXPECT_NE(GUI_SetClipRect(nullptr), nullptr);  // the previous one is handed back
  GUI_FillRect(0, 0, 319, 239);
  EXPECT_EQ(countLit(0, 0, 319, 239), 320 * 240);
}

TEST_F(Helpers, LookupTableOfTheLayer) {
  const GUI_COLOR colors[] = {0x0000FF, 0x00FF00, 0xFF0000};
  const GUI_LOGPALETTE pal = {3, 0, colors};
  GUI_SetLUT(&pal);
  EXPECT_EQ(LCD_GetLUTEntry(2), 0xFF0000u);
  EXPECT_EQ(LCD_GetLUTIndex(0x00FF00), 1);
  EXPECT_EQ(LCD_GetLUTIndex(0x10F010), 1);  // the nearest entry
  // The 16-bit display reports 65536 lookup entries: more than 256 gives the mask 127.
  EXPECT_EQ(LCD_GetLUTIndexMask(), 127u);
}

TEST_F(Helpers, SetTextKeepsTheHandleForTheSameText) {
  // 15 characters and the zero fill a block of the smallest payload (16 bytes) exactly.
  GUI_HMEM h = 0;
  EXPECT_EQ(GUI__SetText(&h, "abcdefghijklmno"), 1);
  ASSERT_NE(h, 0);
  const GUI_HMEM first = h;
  EXPECT_EQ(GUI__SetText(&h, "abcdefghijklmno"), 0);
  EXPECT_EQ(h, first);
  EXPECT_EQ(GUI__SetText(&h, "ABCDEFGHIJKLMNO"), 1);  // same size: copied over the old text
  EXPECT_EQ(h, first);
  EXPECT_STREQ(static_cast<const char*>(GUI_ALLOC_h2p(h)), "ABCDEFGHIJKLMNO");
  EXPECT_EQ(GUI__SetText(&h, "longer text"), 1);
  EXPECT_NE(h, first);
  EXPECT_STREQ(static_cast<const char*>(GUI_ALLOC_h2p(h)), "longer text");
}

}  // namespace
