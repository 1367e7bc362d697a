// Pictures: the bitmap record, streamed bitmaps, run-length coding, BMP, GIF and JPEG files,
// and every decoder fed with truncated and random bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>
#include <random>

#include "gui/bitmap/GUI_Bitmap.h"
#include "gui/memdev/GUI_Memdev.h"
#include "picture_builders.h"
#include "picture_fixture.h"

namespace {

using namespace pictest;

class PicturesTest : public PictureTest {
 protected:
  void Fill(GUI_COLOR c) {
    GUI_SetColor(c);
    LCD_FillRect(0, 0, 319, 239);
  }
};

constexpr GUI_COLOR kGrey = 0x808080, kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

// --- the bitmap record -----------------------------------------------------------------------------
TEST_F(PicturesTest, PaletteWithTransparencyLeavesIndexZeroUntouched) {
  Fill(kGrey);
  static const GUI_COLOR colors[2] = {kRed, kGreen};
  GUI_LOGPALETTE pal{2, 1, colors};
  static const uint8_t data[1] = {0xA0};      // 1 0 1 0
  GUI_BITMAP bmp{4, 1, 1, 1, data, &pal, nullptr};
  GUI_DrawBitmap(&bmp, 10, 10);
  EXPECT_EQ(At(10, 10), Index(kGreen));
  EXPECT_EQ(At(11, 10), Index(kGrey));
  EXPECT_EQ(At(12, 10), Index(kGreen));
  EXPECT_EQ(At(13, 10), Index(kGrey));
  EXPECT_EQ(GUI_GetDrawMode(), 0);            // the mode comes back
  pal.HasTrans = 0;
  GUI_DrawBitmap(&bmp, 10, 10);
  EXPECT_EQ(At(11, 10), Index(kRed));
}

TEST_F(PicturesTest, OneBitPictureWithoutPaletteUsesTheContextColours) {
  GUI_SetBkColor(kBlue);
  GUI_SetColor(kGreen);
  static const uint8_t data[1] = {0x80};
  GUI_BITMAP bmp{2, 1, 1, 1, data, nullptr, nullptr};
  GUI_DrawBitmap(&bmp, 0, 0);
  EXPECT_EQ(At(0, 0), Index(kGreen));
  EXPECT_EQ(At(1, 0), Index(kBlue));
}

TEST_F(PicturesTest, ThirtyTwoBitAlphaPixels) {
  Fill(kGrey);
  static const uint32_t px[3] = {0xFF00FF00u, 0x0000FF00u, 0x80FFFFFFu};
  GUI_BITMAP bmp{3, 1, 12, 32, reinterpret_cast<const uint8_t*>(px), nullptr, &GUI_DRAW_BMP8888};
  GUI_DrawBitmap(&bmp, 5, 5);
  EXPECT_EQ(At(5, 5), Index(kGrey));
  EXPECT_EQ(At(6, 5), Index(kGreen));
  GUI_COLOR mixed = LCD_Index2Color(At(7, 5));
  EXPECT_GT(mixed & 0xFF, 0x80u);
  EXPECT_LT(mixed & 0xFF, 0xFFu);
}

TEST_F(PicturesTest, SixteenBitFormatsConvertTheirPixels) {
  static const uint16_t red565Low[1] = {0x001F};  // red in bits 4..0
  static const uint16_t red565High[1] = {0xF800};
  static const uint16_t red555[1] = {0x7C00};     // red in bits 14..10
  struct Case {
    const GUI_BITMAP_METHODS* m;
    const uint16_t* px;
  } cases[] = {{&GUI_DRAW_BMP565, red565Low}, {&GUI_DRAW_BMPM565, red565High}, {&GUI_DRAW_BMPM555, red555}};
  for (const Case& c : cases) {
    Fill(0);
    GUI_BITMAP bmp{1, 1, 2, 16, reinterpret_cast<const uint8_t*>(c.px), nullptr, c.m};
    GUI_DrawBitmap(&bmp, 3, 3);
    EXPECT_EQ(At(3, 3), Index(kRed));
  }
}

// --- streamed bitmaps ----------------------------------------------------------------------------------
TEST_F(PicturesTest, UnsupportedStreamFormatsAreRefused) {
  for (int id : {14, 30}) {
    Bytes s = Stream(id, 2, 2, 4, 16, {}, false, Bytes(8, 0xFF));
    GUI_BITMAP bmp;
    GUI_LOGPALETTE pal;
    debug.clear();
    EXPECT_EQ(GUI_CreateBitmapFromStream(&bmp, &pal, s.data()), 1);
    EXPECT_TRUE(Reported("GUI_StreamCreate:\nFormat of streamed bitmap not supported in GUI_CreateBitmapFromStream()!"));
    GUI_MEM_SOURCE src{s.data(), static_cast<uint32_t>(s.size())};
    EXPECT_EQ(GUI_DrawStreamedBitmapExAuto(GUI__GetDataMem, &src, 0, 0), 1);
    EXPECT_TRUE(Reported("GUI_Stream:\nFormat of streamed bitmap not supported in GUI_DrawStreamedBitmapExAuto()!"));
    EXPECT_EQ(GUI_CreateBitmapFromStreamFormat(&bmp, &pal, s.data(), 8), 1);
    EXPECT_TRUE(Reported("GUI_StreamCreate:\nFormat of streamed bitmap does not match in _CreateBitmapFromStream()!"));
  }
}

TEST_F(PicturesTest, StreamWithoutColoursHasNoPaletteEntries) {
  Bytes s = Stream(100, 8, 1, 1, 8, {}, false, Bytes(8, 0));
  s.resize(16 + 1);
  GUI_BITMAP bmp;
  GUI_LOGPALETTE pal;
  ASSERT_EQ(GUI_CreateBitmapFromStream(&bmp, &pal, s.data()), 0);
  EXPECT_EQ(pal.NumEntries, 0);
  EXPECT_EQ(pal.pPalEntries, nullptr);
  EXPECT_EQ(bmp.pData, s.data() + 16);
}

TEST_F(PicturesTest, SizedStreamsAreCheckedAgainstTheirLength) {
  Bytes ok = Stream(9, 2, 2, 4, 16, {}, false, Bytes(8, 0x00));
  GUI_BITMAP bmp;
  GUI_LOGPALETTE pal;
  EXPECT_EQ(GUI_CreateBitmapFromStreamSized(&bmp, &pal, ok.data(), static_cast<uint32_t>(ok.size())), 0);
  EXPECT_EQ(GUI_CreateBitmapFromStreamSized(&bmp, &pal, ok.data(), static_cast<uint32_t>(ok.size() - 1)), 1);
  Bytes zeroLine = Stream(9, 2, 2, 0, 16, {}, false, Bytes(8, 0x00));
  EXPECT_EQ(GUI_CreateBitmapFromStreamSized(&bmp, &pal, zeroLine.data(), static_cast<uint32_t>(zeroLine.size())), 1);
  Bytes shortLine = Stream(9, 2, 2, 3, 16, {}, false, Bytes(8, 0x00));
  EXPECT_EQ(GUI_CreateBitmapFromStreamSized(&bmp, &pal, shortLine.data(), static_cast<uint32_t>(shortLine.size())), 1);
  Bytes rle = Stream(7, 4, 1, 4, 8, {kRed}, false, {4, 0});
  EXPECT_EQ(GUI_CreateBitmapFromStreamSized(&bmp, &pal, rle.data(), static_cast<uint32_t>(rle.size())), 0);
  EXPECT_EQ(GUI_CreateBitmapFromStreamSized(&bmp, &pal, rle.data(), static_cast<uint32_t>(rle.size() - 1)), 1);
}

TEST_F(PicturesTest, CallbackReaderSkipsLinesAboveTheClipRectangle) {
  Bytes data;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 2; ++x) Put16(data, 0xF800);
  Bytes s = Stream(9, 2, 4, 4, 16, {}, false, data);
  struct Log {
    GUI_MEM_SOURCE src;
    uint32_t lowest = UINT32_MAX;
  } log{{s.data(), static_cast<uint32_t>(s.size())}};
  auto reader = [](void* p, const uint8_t** pp, unsigned n, uint32_t off) {
    auto* l = static_cast<Log*>(p);
    if (off >= 16) l->lowest = std::min(l->lowest, off);
    return GUI__GetDataMem(&l->src, pp, n, off);
  };
  // Drawing into a memory device from line 12 down clips to it.
  GUI_MEMDEV_Handle h = GUI_MEMDEV_Create(0, 12, 320, 228);
  GUI_MEMDEV_Select(h);
  EXPECT_EQ(GUI_DrawStreamedBitmapExAuto(reader, &log, 0, 10), 0);
  GUI_MEMDEV_Select(0);
  GUI_MEMDEV_CopyToLCD(h);
  GUI_MEMDEV_Delete(h);
  EXPECT_EQ(log.lowest, 16u + 2 * 4);         // the first two lines are never read
  EXPECT_EQ(At(0, 11), 0u);
  EXPECT_EQ(At(0, 12), Index(kRed));
  EXPECT_EQ(At(1, 13), Index(kRed));
}

TEST_F(PicturesTest, PaletteHookLendsTheBufferAndGetsItBack) {
  static std::vector<int> cmds;
  static uint32_t store[4];
  cmds.clear();
  GUI_STREAM_SetPaletteHook([](int cmd, int numBytes, void* p) -> void* {
    cmds.push_back(cmd);
    if (cmd == 1) return numBytes <= static_cast<int>(sizeof store) ? store : nullptr;
    (void)p;
    return nullptr;
  });
  Bytes s = Stream(100, 4, 1, 1, 2, {kRed, kGreen, kBlue, 0}, false, {0x1B});   // 0 1 2 3
  GUI_MEM_SOURCE src{s.data(), static_cast<uint32_t>(s.size())};
  EXPECT_EQ(GUI_DrawStreamedBitmapExAuto(GUI__GetDataMem, &src, 0, 0), 0);
  GUI_STREAM_SetPaletteHook(nullptr);
  EXPECT_EQ(cmds, (std::vector<int>{1, 3, 2}));
  EXPECT_EQ(At(0, 0), Index(kRed));
  EXPECT_EQ(At(2, 0), Index(kBlue));
}

TEST_F(PicturesTest, FormatReaderDrawsWithoutLookingAtTheId) {
  Bytes data;
  Put16(data, 0x001F);                          // red in the low bits
  Bytes s = Stream(99, 1, 1, 2, 16, {}, false, data);
  GUI_MEM_SOURCE src{s.data(), static_cast<uint32_t>(s.size())};
  EXPECT_EQ(GUI_DrawStreamedBitmapFormatEx(GUI__GetDataMem, &src, 7, 7, 8), 0);
  EXPECT_EQ(At(7, 7), Index(kRed));
}

// --- run-length coding ------------------------------------------------------------------------------------
TEST_F(PicturesTest, FourBitLiteralOfThreePixelsTakesTwoBytes) {
  static const GUI_COLOR colors[16] = {0, kRed, kGreen, kBlue, 0, 0x00FFFF};
  // literal 1 2 3, then a run of two 5s.
  Bytes s = Stream(6, 5, 1, 3, 4, std::vector<uint32_t>(colors, colors + 16), false, {0, 3, 0x12, 0x30, 2, 5});
  GUI_MEM_SOURCE src{s.data(), static_cast<uint32_t>(s.size())};
  for (int pass = 0; pass < 2; ++pass) {
    Fill(0);
    if (pass == 0)
      EXPECT_EQ(GUI_DrawStreamedBitmapAutoSized(s.data(), static_cast<uint32_t>(s.size()), 0, 0), 0);
    else
      EXPECT_EQ(GUI_DrawStreamedBitmapExAuto(GUI__GetDataMem, &src, 0, 0), 0);
    EXPECT_EQ(At(0, 0), Index(kRed)) << pass;
    EXPECT_EQ(At(1, 0), Index(kGreen)) << pass;
    EXPECT_EQ(At(2, 0), Index(kBlue)) << pass;
    EXPECT_EQ(At(3, 0), Index(0x00FFFF)) << pass;
    EXPECT_EQ(At(4, 0), Index(0x00FFFF)) << pass;
  }
}

TEST_F(PicturesTest, RunsContinueOnTheNextLineAndTransparentRunsOnlyAdvance) {
  Fill(kGrey);
  Bytes s = Stream(7, 3, 2, 3, 8, {0, kRed}, true, {2, 0, 4, 1});   // 0 0 | 1 1 1 1
  ASSERT_EQ(GUI_DrawStreamedBitmapAutoSized(s.data(), static_cast<uint32_t>(s.size()), 0, 0), 0);
  EXPECT_EQ(At(0, 0), Index(kGrey));
  EXPECT_EQ(At(1, 0), Index(kGrey));
  EXPECT_EQ(At(2, 0), Index(kRed));
  for (int x = 0; x < 3; ++x) EXPECT_EQ(At(x, 1), Index(kRed)) << x;
  EXPECT_EQ(At(3, 0), Index(kGrey));
}

TEST_F(PicturesTest, LaterClipRectanglesResumeDecodingWithTheSameResult) {
  std::vector<uint32_t> pal = {0, kRed, kGreen, kBlue};
  Bytes rle;
  for (int y = 0; y < 10; ++y) rle.insert(rle.end(), {static_cast<uint8_t>(y % 5 + 1), 1, 0, 3, 2, 3, 1,
                                                      static_cast<uint8_t>(8 - y % 5), 3});
  Bytes s = Stream(7, 12, 10, 12, 8, pal, false, rle);
  GUI_BITMAP bmp;
  GUI_LOGPALETTE lp;
  ASSERT_EQ(GUI_CreateBitmapFromStreamSized(&bmp, &lp, s.data(), static_cast<uint32_t>(s.size())), 0);
  GUI_DrawBitmap(&bmp, 0, 0);
  std::vector<uint32_t> whole = Frame();
  Fill(0);
  GUI__RLE_ForgetResume();
  for (GUI_RECT r : {GUI_RECT{0, 0, 319, 3}, GUI_RECT{0, 4, 319, 6}, GUI_RECT{0, 7, 319, 239}}) {
    LCD_SetClipRectEx(&r);
    GUI__DrawBitmap(&bmp, 0, 0);
  }
  LCD_SetClipRectMax();
  EXPECT_EQ(Frame(), whole);
}

TEST_F(PicturesTest, RunLengthDataThatEndEarlyAreRefusedOrStopCleanly) {
  Bytes s = Stream(7, 4, 4, 4, 8, {0, kRed}, false, {0, 16, 1, 1});
  GUI_MEM_SOURCE src{s.data(), static_cast<uint32_t>(s.size())};
  EXPECT_EQ(GUI_DrawStreamedBitmapAutoSized(s.data(), static_cast<uint32_t>(s.size()), 0, 0), 1);
  EXPECT_EQ(GUI_DrawStreamedBitmapExAuto(GUI__GetDataMem, &src, 0, 0), 1);
  EXPECT_EQ(GUI__RLE_GetDataSize(16, s.data() + 24, 3, 100), -1);
}

// --- BMP --------------------------------------------------------------------------------------------------
Bytes Bmp1Bit(int height, uint16_t magic = 0x4D42) {
  // 8 x |height| pixels, line i (in file order) has pixel i set.
  Bytes px;
  for (int i = 0; i < std::abs(height); ++i) {
    px.push_back(static_cast<uint8_t>(0x80 >> i));
    px.insert(px.end(), {0, 0, 0});
  }
  return Bmp(8, height, 1, 0, {kBlue, kGreen}, px, magic);
}

TEST_F(PicturesTest, BmpHeadersThatAreRefused) {
  Bytes ba = Bmp1Bit(2, 0x4142);
  EXPECT_EQ(GUI_BMP_Draw(ba.data(), 0, 0), 1);
  Bytes comp4 = Bmp1Bit(2);
  comp4[30] = 4;
  EXPECT_EQ(GUI_BMP_DrawSized(comp4.data(), static_cast<uint32_t>(comp4.size()), 0, 0), 1);
  EXPECT_EQ(At(0, 0), 0u);
  Bytes good = Bmp1Bit(2);
  EXPECT_EQ(GUI_BMP_DrawSized(good.data(), 40, 0, 0), 1);   // truncated header
  EXPECT_EQ(GUI_BMP_GetXSize(good.data()), 8);
  EXPECT_EQ(GUI_BMP_GetYSize(Bmp1Bit(-3).data()), 3);
}

TEST_F(PicturesTest, BmpLineOrderFollowsTheSignOfTheHeight) {
  for (int sign : {1, -1}) {
    Fill(0);
    Bytes f = Bmp1Bit(3 * sign);
    ASSERT_EQ(GUI_BMP_DrawSized(f.data(), static_cast<uint32_t>(f.size()), 0, 0), 0);
    // The first stored line has pixel 0 set: at the top for a negative height.
    int rowOfFirst = sign < 0 ? 0 : 2;
    EXPECT_EQ(At(0, rowOfFirst), Index(kGreen)) << sign;
    EXPECT_EQ(At(1, rowOfFirst), Index(kBlue)) << sign;
    EXPECT_EQ(At(2, 2 - rowOfFirst), Index(kGreen)) << sign;
  }
}

TEST_F(PicturesTest, BmpRunLengthLiteralsArePaddedToWholeWords) {
  // 4-bit: literal of 3 pixels (2 bytes, no padding), literal of 5 (3 bytes + 1), run of 2, end.
  std::vector<uint32_t> pal(16, 0);
  pal[1] = kRed;
  pal[2] = kGreen;
  pal[3] = kBlue;
  Bytes data = {0, 3, 0x12, 0x30, 0, 5, 0x11, 0x22, 0x30, 0, 2, 0x33, 0, 1};
  Bytes f = Bmp(10, 1, 4, 2, pal, data);
  ASSERT_EQ(GUI_BMP_DrawSized(f.data(), static_cast<uint32_t>(f.size()), 0, 0), 0);
  const GUI_COLOR want[10] = {kRed, kGreen, kBlue, kRed, kRed, kGreen, kGreen, kBlue, kBlue, kBlue};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(At(x, 0), Index(want[x])) << x;
}

TEST_F(PicturesTest, BmpTrueColourAndEmptyBitFieldMasks) {
  Bytes px = {0xFF, 0, 0, 0, 0, 0xFF, 0};   // blue, red (24 bit), padded to 8
  px.push_back(0);
  Bytes f = Bmp(2, 1, 24, 0, {}, px);
  ASSERT_EQ(GUI_BMP_DrawSized(f.data(), static_cast<uint32_t>(f.size()), 0, 0), 0);
  EXPECT_EQ(At(0, 0), Index(kBlue));
  EXPECT_EQ(At(1, 0), Index(kRed));
  // Bit fields with an empty green mask: that channel is 0.
  Bytes fields;
  Put32(fields, 0x00FF0000);
  Put32(fields, 0);
  Put32(fields, 0x000000FF);
  Bytes pix;
  Put32(pix, 0x00FFFFFF);
  Bytes g = Bmp(1, 1, 32, 3, {}, Bytes());
  g.insert(g.end(), fields.begin(), fields.end());
  g.insert(g.end(), pix.begin(), pix.end());
  g[10] = 66;
  ASSERT_EQ(GUI_BMP_DrawSized(g.data(), static_cast<uint32_t>(g.size()), 5, 0), 0);
  EXPECT_EQ(At(5, 0), Index(0xFF00FF));
}

// --- GIF ----------------------------------------------------------------------------------------------------
std::vector<uint32_t> Palette4() { return {0, kRed, kGreen, kBlue}; }

TEST_F(PicturesTest, GifSignatureAndScreenLimits) {
  GifImage im{0, 0, 2, 1, {1, 2}};
  Bytes gif88 = Gif(2, 1, Palette4(), {im}, "GIF88a");
  EXPECT_EQ(GUI_GIF_Draw(gif88.data(), static_cast<uint32_t>(gif88.size()), 0, 0), 1);
  EXPECT_EQ(GUI_GIF_GetXSize(gif88.data()), 0);
  Bytes wide = Gif(2001, 1, Palette4(), {im});
  EXPECT_EQ(GUI_GIF_Draw(wide.data(), static_cast<uint32_t>(wide.size()), 0, 0), 1);
  Bytes ok = Gif(2, 1, Palette4(), {im}, "GIF87a");
  EXPECT_EQ(GUI_GIF_Draw(ok.data(), static_cast<uint32_t>(ok.size()), 0, 0), 0);
  EXPECT_EQ(At(0, 0), Index(kRed));
  EXPECT_EQ(At(1, 0), Index(kGreen));
  EXPECT_EQ(GUI_GIF_GetXSize(ok.data()), 2);
}

TEST_F(PicturesTest, InterlacedRowsAreDrawnInPassOrder) {
  // Stored row k has colour k; ten colours need a table of 16.
  std::vector<uint32_t> colors;
  for (uint32_t k = 0; k < 16; ++k) colors.push_back(0x101010u * k + 0x000008u);
  GifImage im{0, 0, 3, 10, {}};
  im.interlaced = true;
  for (uint8_t k = 0; k < 10; ++k)
    for (int x = 0; x < 3; ++x) im.indices.push_back(k);
  Bytes gif = Gif(3, 10, colors, {im});
  ASSERT_EQ(GUI_GIF_Draw(gif.data(), static_cast<uint32_t>(gif.size()), 0, 0), 0);
  const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  for (int k = 0; k < 10; ++k) EXPECT_EQ(At(1, order[k]), Index(colors[static_cast<size_t>(k)])) << k;
}

TEST_F(PicturesTest, GifImagesInfoAndMissingImages) {
  GifImage a{0, 0, 2, 2, {1, 1, 1, 1}};
  GifImage b{1, 1, 1, 1, {2}};
  b.delay = 25;
  GifImage c{0, 0, 1, 1, {3}};
  Bytes gif = Gif(2, 2, Palette4(), {a, b, c});
  GUI_GIF_INFO info{};
  ASSERT_EQ(GUI_GIF_GetInfo(gif.data(), static_cast<uint32_t>(gif.size()), &info), 0);
  EXPECT_EQ(info.xSize, 2);
  EXPECT_EQ(info.NumImages, 3);
  GUI_GIF_IMAGE_INFO ii{};
  ASSERT_EQ(GUI_GIF_GetImageInfo(gif.data(), static_cast<uint32_t>(gif.size()), &ii, 1), 0);
  EXPECT_EQ(ii.xPos, 1);
  EXPECT_EQ(ii.Delay, 25);
  EXPECT_EQ(GUI_GIF_GetImageInfo(gif.data(), static_cast<uint32_t>(gif.size()), &ii, 3), 1);
  EXPECT_EQ(GUI_GIF_DrawSub(gif.data(), static_cast<uint32_t>(gif.size()), 0, 0, 5), 0);
  EXPECT_EQ(At(0, 0), 0u);
  EXPECT_EQ(GUI_GIF_DrawSub(gif.data(), static_cast<uint32_t>(gif.size()), 0, 0, 1), 0);
  EXPECT_EQ(At(1, 1), Index(kGreen));
  EXPECT_EQ(At(0, 0), 0u);
}

TEST_F(PicturesTest, RestoreToBackgroundClearsTheUncoveredPartOfThePreviousImage) {
  GifImage big{0, 0, 4, 4, std::vector<uint8_t>(16, 1)};
  GifImage small{1, 1, 2, 2, {2, 2, 2, 2}};
  small.disposal = 2;
  Bytes gif = Gif(4, 4, Palette4(), {big, small});
  Fill(kGrey);
  GUI_SetBkColor(kBlue);
  EXPECT_EQ(GUI_GIF_SetRestoreBkFill(1), 0);
  ASSERT_EQ(GUI_GIF_DrawSub(gif.data(), static_cast<uint32_t>(gif.size()), 0, 0, 1), 0);
  GUI_GIF_SetRestoreBkFill(0);
  EXPECT_EQ(At(0, 0), Index(kBlue));
  EXPECT_EQ(At(3, 2), Index(kBlue));
  EXPECT_EQ(At(1, 1), Index(kGreen));
  EXPECT_EQ(At(4, 4), Index(kGrey));
}

TEST_F(PicturesTest, GifCommentIsFoundBeforeTheImages) {
  GifImage im{0, 0, 1, 1, {1}};
  Bytes gif = Gif(1, 1, Palette4(), {im});
  const uint8_t comment[] = {'!', 0xFE, 5, 'h', 'e', 'l', 'l', 'o', 0};
  gif.insert(gif.begin() + 13 + 12, comment, comment + sizeof comment);
  uint8_t buf[8] = {};
  ASSERT_EQ(GUI_GIF_GetComment(gif.data(), static_cast<uint32_t>(gif.size()), buf, 3, 0), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), "hel");
  EXPECT_EQ(GUI_GIF_GetComment(gif.data(), static_cast<uint32_t>(gif.size()), buf, 3, 1), 1);
  EXPECT_EQ(GUI_GIF_Draw(gif.data(), static_cast<uint32_t>(gif.size()), 0, 0), 0);
  EXPECT_EQ(At(0, 0), Index(kRed));
}

TEST_F(PicturesTest, GifTransparentIndexLeavesPixels) {
  Fill(kGrey);
  GifImage im{0, 0, 3, 1, {1, 0, 2}};
  im.transIndex = 0;
  Bytes gif = Gif(3, 1, Palette4(), {im});
  ASSERT_EQ(GUI_GIF_Draw(gif.data(), static_cast<uint32_t>(gif.size()), 0, 0), 0);
  EXPECT_EQ(At(0, 0), Index(kRed));
  EXPECT_EQ(At(1, 0), Index(kGrey));
  EXPECT_EQ(At(2, 0), Index(kGreen));
}

// Transparency comes only from a graphic control extension, and only for the image it stands
// before: an image without one draws every index, colour 0 included.
TEST_F(PicturesTest, GifWithoutControlExtensionHasNoTransparentIndex) {
  GifImage plain{0, 0, 3, 1, {0, 1, 0}};
  plain.control = false;
  GifImage keyed = plain;
  keyed.control = true;
  keyed.transIndex = 0;
  struct Case {
    const char* what;
    std::vector<GifImage> images;
    int n;
  };
  const Case cases[] = {
      {"single image", {plain}, 0},
      {"after an image with a transparent index", {keyed, plain}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fill(kGrey);
    Bytes gif = Gif(3, 1, Palette4(), c.images);
    ASSERT_EQ(GUI_GIF_DrawSub(gif.data(), static_cast<uint32_t>(gif.size()), 0, 0, c.n), 0);
    EXPECT_EQ(At(0, 0), Index(0));
    EXPECT_EQ(At(1, 0), Index(kRed));
    EXPECT_EQ(At(2, 0), Index(0));
  }
}

// --- JPEG ----------------------------------------------------------------------------------------------------
Bytes Jpeg(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 100, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
  for (int x = 0; x < w; ++x) {
    row[3 * x] = r;
    row[3 * x + 1] = g;
    row[3 * x + 2] = b;
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes bytes(out, out + size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return bytes;
}

TEST_F(PicturesTest, JpegIsDrawnAtItsPlaceAndBadDataFail) {
  Bytes j = Jpeg(16, 8, 0, 0, 255);
  GUI_JPEG_INFO info{};
  ASSERT_EQ(GUI_JPEG_GetInfo(j.data(), static_cast<int>(j.size()), &info), 0);
  EXPECT_EQ(info.XSize, 16);
  EXPECT_EQ(info.YSize, 8);
  Fill(kGrey);
  ASSERT_EQ(GUI_JPEG_Draw(j.data(), static_cast<int>(j.size()), 20, 30), 0);
  GUI_COLOR c = LCD_Index2Color(At(27, 33));
  EXPECT_GE((c >> 16) & 0xFF, 0xF0u);
  EXPECT_LE(c & 0xFF, 0x10u);
  EXPECT_EQ(At(19, 30), Index(kGrey));
  EXPECT_EQ(At(36, 30), Index(kGrey));
  EXPECT_EQ(At(20, 38), Index(kGrey));
  Bytes junk = {0xFF, 0xD8, 0xFF, 0x00, 1, 2, 3};
  EXPECT_EQ(GUI_JPEG_Draw(junk.data(), static_cast<int>(junk.size()), 0, 0), 1);
  EXPECT_EQ(GUI_JPEG_Draw(j.data(), 0, 0, 0), 1);
}

// --- truncated and random data -----------------------------------------------------------------------------
// Every prefix of a valid file, and random bytes, must end cleanly (the sanitizer build
// checks that nothing is read outside the data).
TEST_F(PicturesTest, TruncatedAndRandomDataEndCleanly) {
  std::vector<uint32_t> pal16(16, kRed);
  std::vector<Bytes> files = {
      Stream(100, 8, 2, 1, 8, {kRed, kGreen}, true, Bytes(16, 1)),
      Stream(6, 5, 1, 3, 4, pal16, false, {0, 3, 0x12, 0x30, 2, 5}),
      Stream(7, 4, 2, 4, 8, {kRed, kGreen}, false, {3, 1, 0, 2, 1, 0, 3, 1}),
      Stream(12, 4, 1, 8, 16, {}, false, {2, 0x1F, 0, 0, 2, 0xE0, 0x07, 0xF8}),
      Stream(15, 2, 1, 8, 32, {}, false, {2, 0xFF, 0, 0, 0x40}),
      Stream(17, 2, 1, 6, 24, {}, false, {1, 2, 3, 4, 5, 6}),
      Stream(27, 2, 1, 6, 24, {}, false, {0, 0xF8, 0, 0x80, 0x07, 0xE0}),
  };
  std::mt19937 rng(7);
  for (const Bytes& f : files) {
    for (size_t n = 0; n <= f.size(); ++n) {
      GUI_MEM_SOURCE src{f.data(), static_cast<uint32_t>(n)};
      GUI_DrawStreamedBitmapExAuto(GUI__GetDataMem, &src, 1, 1);
      GUI_DrawStreamedBitmapAutoSized(f.data(), static_cast<uint32_t>(n), 1, 1);
    }
  }
  Bytes bmp = Bmp1Bit(-4);
  Bytes bmpRle = Bmp(10, 2, 8, 1, {kRed, kGreen}, {2, 1, 0, 3, 1, 0, 1, 0, 0, 0, 0, 2, 1, 1, 0, 1});
  GifImage im{0, 0, 3, 2, {1, 2, 3, 3, 2, 1}};
  Bytes gif = Gif(3, 2, Palette4(), {im, im});
  Bytes jpg = Jpeg(24, 16, 10, 200, 30);
  for (size_t n = 0; n <= std::max({bmp.size(), bmpRle.size(), gif.size(), jpg.size()}); ++n) {
    if (n <= bmp.size()) GUI_BMP_DrawSized(bmp.data(), static_cast<uint32_t>(n), 0, 0);
    if (n <= bmpRle.size()) GUI_BMP_DrawSized(bmpRle.data(), static_cast<uint32_t>(n), 0, 0);
    if (n <= gif.size()) {
      GUI_GIF_DrawSub(gif.data(), static_cast<uint32_t>(n), 0, 0, 1);
      GUI_GIF_INFO info;
      GUI_GIF_GetInfo(gif.data(), static_cast<uint32_t>(n), &info);
    }
    if (n <= jpg.size()) GUI_JPEG_Draw(jpg.data(), static_cast<int>(n), 0, 0);
  }
  for (int i = 0; i < 200; ++i) {
    Bytes r(static_cast<size_t>(rng() % 300));
    for (uint8_t& b : r) b = static_cast<uint8_t>(rng());
    uint32_t n = static_cast<uint32_t>(r.size());
    const Bytes* prefixes[3] = {&bmp, &gif, &files[2]};
    // Random bytes behind a valid header reach the pixel decoders.
    Bytes withHeader = *prefixes[i % 3];
    withHeader.resize(std::min<size_t>(withHeader.size(), 30));
    withHeader.insert(withHeader.end(), r.begin(), r.end());
    uint32_t m = static_cast<uint32_t>(withHeader.size());
    GUI_BMP_DrawSized(withHeader.data(), m, 0, 0);
    GUI_GIF_DrawSub(withHeader.data(), m, 0, 0, 0);
    GUI_DrawStreamedBitmapAutoSized(withHeader.data(), m, 0, 0);
    GUI_MEM_SOURCE src{r.data(), n};
    GUI_DrawStreamedBitmapExAuto(GUI__GetDataMem, &src, 0, 0);
    GUI_JPEG_Draw(r.data(), static_cast<int>(n), 0, 0);
  }
  EXPECT_EQ(GUI_ALLOC_GetNumLockedHandles(), 0);
  EXPECT_TRUE(errors.empty()) << errors.front();
}

}  // namespace

namespace {

// One screen of every kind of picture, compared with its golden image.
TEST_F(PicturesTest, GoldenScreenOfPictures) {
  GUI_SetBkColor(0x303030);
  GUI_Clear();
  std::vector<uint32_t> pal16;
  for (uint32_t k = 0; k < 16; ++k) pal16.push_back(0x0F0F0Fu * k + 0x200000u);
  // A palette stream with transparency, 16 x 16 at 8 bits.
  Bytes px8;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) px8.push_back(static_cast<uint8_t>((x + y) % 16));
  Bytes s8 = Stream(100, 16, 16, 16, 8, pal16, true, px8);
  GUI_DrawStreamedBitmapAutoSized(s8.data(), static_cast<uint32_t>(s8.size()), 10, 10);
  // A run-length 8-bit stream: stripes.
  Bytes rle;
  for (int y = 0; y < 20; ++y) rle.insert(rle.end(), {10, static_cast<uint8_t>(y % 16), 0, 4, 1, 3, 5, 7, 6, 15});
  Bytes sr = Stream(7, 20, 20, 20, 8, pal16, false, rle);
  GUI_DrawStreamedBitmapAutoSized(sr.data(), static_cast<uint32_t>(sr.size()), 40, 10);
  // A 24-bit BMP gradient, bottom line first.
  Bytes bpx;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 30; ++x) bpx.insert(bpx.end(), {static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 12), 0x80});
    bpx.insert(bpx.end(), {0, 0});
  }
  Bytes bmp = Bmp(30, 20, 24, 0, {}, bpx);
  GUI_BMP_DrawSized(bmp.data(), static_cast<uint32_t>(bmp.size()), 70, 10);
  // An interlaced GIF with a transparent index.
  GifImage im{0, 0, 24, 12, {}};
  im.interlaced = true;
  im.transIndex = 0;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 24; ++x) im.indices.push_back(static_cast<uint8_t>((x / 3 + y) % 16));
  Bytes gif = Gif(24, 12, pal16, {im});
  GUI_GIF_Draw(gif.data(), static_cast<uint32_t>(gif.size()), 110, 10);
  // 32-bit alpha pixels over the background.
  std::vector<uint32_t> alpha;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 32; ++x) alpha.push_back((static_cast<uint32_t>(x * 8) << 24) | 0x00FF80u);
  GUI_BITMAP ab{32, 10, 128, 32, reinterpret_cast<const uint8_t*>(alpha.data()), nullptr, &GUI_DRAW_BMP8888};
  GUI_DrawBitmap(&ab, 150, 10);
  // A magnified 16-bit picture.
  std::vector<uint16_t> p565 = {0xF800, 0x07E0, 0x001F, 0xFFFF};
  GUI_BITMAP m565{2, 2, 4, 16, reinterpret_cast<const uint8_t*>(p565.data()), nullptr, &GUI_DRAW_BMPM565};
  LCD_SetClipRectMax();
  m565.pMethods->pfDraw(200, 10, 2, 2, m565.pData, nullptr, 6, 4);
  EXPECT_TRUE(lcdtest::MatchesGolden("gui", "pictures"));
  EXPECT_TRUE(errors.empty()) << errors.front();
}

}  // namespace
