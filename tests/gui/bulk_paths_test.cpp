// The bulk paths of drawing: span fills, bitmap lines of every depth and draw mode, the
// usage-bitmap scan and the copy of memory devices, the row conversions into the LCD words.
// One scene draws every case through the display driver and through memory devices of 8,
// 16 and 32 bits and is compared with its golden image; the word-at-a-time scans are
// compared with a bit-by-bit reading.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "gui/bitmap/GUI_Bitmap.h"
#include "gui/memdev/GUI_Memdev.h"
#include "picture_fixture.h"
#include "simlayer/LCDSIM.h"

namespace {

using pictest::PictureTest;

class BulkPathsTest : public PictureTest {};

// Random bytes from a fixed seed, the same on every platform.
std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t n, bool sparse) {
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) {
    uint32_t r = rng();
    b = static_cast<uint8_t>(r);
    if (sparse && (r >> 8) % 3 == 0) b = 0;  // runs of background pixels for the transparent modes
    if (sparse && (r >> 12) % 4 == 0) b &= 0x0F;
  }
  return v;
}

uint32_t GreyIndex(GUI_COLOR c) { return c & 0xFF; }
GUI_COLOR GreyColor(uint32_t i) { return (i & 0xFF) * 0x010101u; }
uint32_t GreyMask() { return 0xFF; }
const GUICC kGrey = {GreyIndex, GreyColor, GreyMask};

enum class Target { Display, Memdev16, Memdev32, Memdev8 };

// One tile of 64 x 40 pixels: a background on the display, then in the target a fill, an
// XOR fill, a clipped bitmap of the depth in the mode, a line of text and a vertical line.
void DrawTile(std::mt19937& rng, int x0, int y0, Target target, int bpp, int mode) {
  LCD_SetClipRectMax();            // text output leaves the clip rectangle of its window
  GUI_SetDrawMode(0);
  GUI_SetColor(0x204060 + 0x101010 * (bpp & 3));
  LCD_FillRect(x0, y0, x0 + 63, y0 + 39);
  GUI_SetColor(0xC0C0C0);
  for (int k = 0; k < 40; k += 3) LCD_DrawHLine(x0 + k / 2, y0 + k, x0 + 63 - k / 3);
  GUI_MEMDEV_Handle h = 0;
  switch (target) {
    case Target::Display: break;
    case Target::Memdev16: h = GUI_MEMDEV_CreateFixedLocked(x0, y0, 64, 40, 0, &GUI_MEMDEV_DEVICE_16, &GUICC_565R); break;
    case Target::Memdev32: h = GUI_MEMDEV_CreateFixedLocked(x0, y0, 64, 40, 0, &GUI_MEMDEV_DEVICE_32, &GUICC_8888); break;
    case Target::Memdev8: h = GUI_MEMDEV_CreateFixedLocked(x0, y0, 64, 40, 0, &GUI_MEMDEV_DEVICE_8, &kGrey); break;
  }
  if (target != Target::Display) {
    ASSERT_NE(h, 0);
    GUI_MEMDEV_Select(h);
  }
  GUI_SetColor(0x3080F0);
  LCD_FillRect(x0 + 2, y0 + 30, x0 + 40, y0 + 37);
  GUI_SetDrawMode(GUI_DRAWMODE_XOR);
  LCD_FillRect(x0 + 20, y0 + 33, x0 + 61, y0 + 38);
  GUI_SetDrawMode(0);
  // The bitmap: 45 x 22 pixels from x0 - 3, clipped on the left, the top and the right.
  const GUI_RECT clip{static_cast<int16_t>(x0 + 1), static_cast<int16_t>(y0 + 2), static_cast<int16_t>(x0 + 38),
                      static_cast<int16_t>(y0 + 27)};
  LCD_SetClipRectEx(&clip);
  const int xSize = 45, ySize = 22;
  const int bytesPerLine = (xSize * bpp + 7) / 8 + 1;
  std::vector<uint8_t> data = RandomBytes(rng, static_cast<size_t>(bytesPerLine * ySize), mode != 0);
  std::vector<uint32_t> trans(256);
  for (uint32_t& t : trans) t = LCD_Color2Index(rng() & 0x00FFFFFFu);
  const bool withTable = bpp < 16 && (rng() & 3) != 0;
  GUI_SetDrawMode(mode);
  LCD_DrawBitmap(x0 - 3, y0 + 1, xSize, ySize, 1, 1, bpp, bytesPerLine, data.data(), withTable ? trans.data() : nullptr);
  GUI_SetDrawMode(0);
  LCD_SetClipRectMax();
  GUI_SetFont(&GUI_Font8_1);
  GUI_SetColor(0x00FFFF);
  GUI_SetBkColor(0x800000);
  GUI_SetTextMode((bpp & 1) ? GUI_TEXTMODE_TRANS : GUI_TEXTMODE_NORMAL);
  GUI_DispStringAt("Bulk", x0 + 36, y0 + 22);
  GUI_SetTextMode(GUI_TEXTMODE_NORMAL);
  GUI_SetColor(0xFF00FF);
  LCD_DrawVLine(x0 + 62, y0 + 1, y0 + 30);
  if (h) {
    GUI_MEMDEV_Select(0);
    GUI_MEMDEV_CopyToLCD(h);
    GUI_MEMDEV_Delete(h);
  }
}

TEST_F(BulkPathsTest, EveryDepthModeAndTargetMatchesTheGoldenImage) {
  struct Case {
    Target target;
    int bpp, mode;
  };
  std::vector<Case> cases;
  for (Target target : {Target::Display, Target::Memdev16, Target::Memdev32, Target::Memdev8})
    for (int bpp : {1, 2, 4, 8, 16})
      for (int mode : {0, int{GUI_DRAWMODE_TRANS}, int{GUI_DRAWMODE_XOR}})
        if (!(target == Target::Memdev8 && bpp == 16)) cases.push_back({target, bpp, mode});  // no such depth there
  ASSERT_EQ(cases.size(), 57u);
  std::mt19937 rng(20260060);
  // Two screens of up to 30 tiles; the second also holds a 16-bit picture in the other red
  // order, drawn whole and clipped.
  for (size_t i = 0; i < cases.size(); ++i) {
    const int tile = static_cast<int>(i % 30);
    DrawTile(rng, (tile % 5) * 64, (tile / 5) * 40, cases[i].target, cases[i].bpp, cases[i].mode);
    if (HasFatalFailure()) return;
    if (i == 29) {
      EXPECT_TRUE(lcdtest::MatchesGolden("gui", "bulk_paths_1"));
      GUI_SetColor(0);
      LCD_FillRect(0, 0, 319, 239);
    }
  }
  std::vector<uint8_t> picture = RandomBytes(rng, 2u * 90 * 36, false);
  const GUI_BITMAP bmp{90, 36, 180, 16, picture.data(), nullptr, &GUI_DRAW_BMP565};
  GUI_DrawBitmap(&bmp, 131, 202);
  const GUI_RECT clip{230, 206, 315, 233};
  LCD_SetClipRectEx(&clip);
  GUI_DrawBitmap(&bmp, 226, 201);
  LCD_SetClipRectMax();
  EXPECT_TRUE(lcdtest::MatchesGolden("gui", "bulk_paths_2"));
  EXPECT_TRUE(errors.empty()) << errors.front();
}

// The word-at-a-time scan of the usage bitmap finds the runs that reading bit by bit finds,
// for widths around the word sizes and from every start.
TEST_F(BulkPathsTest, UsageRunsMatchABitByBitReading) {
  std::mt19937 rng(7);
  for (int width : {1, 7, 8, 9, 63, 64, 65, 130, 320}) {
    GUI_HMEM u = GUI_USAGE_BM_Create(5, 3, width, 4, 0);
    ASSERT_NE(u, 0);
    std::vector<std::vector<bool>> bits(4, std::vector<bool>(static_cast<size_t>(width)));
    for (int y = 0; y < 4; ++y)
      for (int k = 0; k < 12; ++k) {
        int x = static_cast<int>(rng() % static_cast<uint32_t>(width));
        int len = y == 3 ? width : 1 + static_cast<int>(rng() % 70);
        if (y == 3) x = 0;
        GUI_USAGE_BM_AddHLine(u, 5 + x, 3 + y, len);
        for (int i = x; i < x + len && i < width; ++i) bits[static_cast<size_t>(y)][static_cast<size_t>(i)] = true;
      }
    for (int y = 0; y < 4; ++y)
      for (int from = 0; from < width; ++from) {
        const std::vector<bool>& row = bits[static_cast<size_t>(y)];
        int start = from;
        while (start < width && !row[static_cast<size_t>(start)]) ++start;
        int end = start;
        while (end < width && row[static_cast<size_t>(end)]) ++end;
        int x = from;
        const int len = GUI_USAGE_GetNextDirty(u, &x, y);
        ASSERT_EQ(len, end - start) << "width " << width << " row " << y << " from " << from;
        if (len) {
          ASSERT_EQ(x, start) << "width " << width << " row " << y << " from " << from;
        }
      }
    GUI_USAGE_DecUseCnt(u);
  }
}

// The display format's rows reach the LCD words as the colour conversion gives them, for
// every index and at every alignment of a row.
TEST_F(BulkPathsTest, DisplayFormatRowsGiveTheWordsOfTheColourConversion) {
  std::vector<uint8_t> indices(2 * 65536), words(4 * 65536 + 4);
  for (uint32_t i = 0; i < 65536; ++i) {
    indices[2 * i] = static_cast<uint8_t>(i);
    indices[2 * i + 1] = static_cast<uint8_t>(i >> 8);
  }
  for (int offset : {0, 1, 3}) {
    GUICC_565R_IndexToFrameWords(indices.data(), words.data() + offset, 65536);
    for (uint32_t i = 0; i < 65536; ++i) {
      const GUI_COLOR c = GUICC_565R_Index2Color(i);
      const uint32_t expected = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
      const uint8_t* w = words.data() + offset + 4 * i;
      ASSERT_EQ(w[0] | (w[1] << 8) | (w[2] << 16) | (static_cast<uint32_t>(w[3]) << 24), expected) << i;
    }
  }
  // Short rows and their tails go the same way through the driver into the LCD memory.
  for (int n : {1, 5, 8, 13}) {
    LCD_DrawBitmap(3, 7, n, 1, 1, 1, 16, 2 * n, indices.data() + 2 * 40000, nullptr);
    for (int k = 0; k < n; ++k) {
      const GUI_COLOR c = GUICC_565R_Index2Color(40000u + static_cast<uint32_t>(k));
      ASSERT_EQ(lcdtest::ReadRaw(3 + k, 7), ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF)) << n << " " << k;
    }
  }
}

}  // namespace
