// Memory devices: creation and its failures, the usage bitmap, the copy to the display, the
// pixel formats and banded drawing.
#include <gtest/gtest.h>

#include "gui/WM.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/memdev/GUI_Memdev.h"
#include "picture_fixture.h"

namespace {

using pictest::PictureTest;

class MemdevTest : public PictureTest {};

TEST_F(MemdevTest, RefusedSizeReportsAndLeavesTheHeapAsItWas) {
  uint32_t before = GUI_ALLOC_GetNumFreeBytes();
  int32_t blocks = GUI_ALLOC_GetNumUsedBlocks();
  EXPECT_EQ(GUI_MEMDEV_Create(0, 0, 100, 0), 0);
  EXPECT_TRUE(Reported("GUIDEV:\nToo little memory in GUI_MEMDEV__CreateFixed()"));
  EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), before);
  EXPECT_EQ(GUI_ALLOC_GetNumUsedBlocks(), blocks);
}

TEST_F(MemdevTest, NegativeSizeMeansThatManyLinesOrAsManyAsFit) {
  GUI_MEMDEV_Handle h = GUI_MEMDEV_Create(0, 0, 100, -40);
  ASSERT_NE(h, 0);
  EXPECT_EQ(GUI_MEMDEV_GetYSize(h), 40);
  GUI_MEMDEV_Delete(h);
  h = GUI_MEMDEV_Create(0, 0, 320, -30000);
  ASSERT_NE(h, 0);
  EXPECT_GT(GUI_MEMDEV_GetYSize(h), 240);
  EXPECT_LT(GUI_MEMDEV_GetYSize(h), 30000);
  GUI_MEMDEV_Delete(h);
}

TEST_F(MemdevTest, WriteOfAFilledDeviceChangesExactlyItsRectangle) {
  GUI_MEMDEV_Handle h = GUI_MEMDEV_Create(10, 20, 50, 30);
  ASSERT_NE(h, 0);
  GUI_MEMDEV_Select(h);
  GUI_SetColor(0x0000FF);
  LCD_FillRect(0, 0, 319, 239);    // clipped to the device
  GUI_MEMDEV_Select(0);
  GUI_MEMDEV_Write(h);
  const uint32_t red = Index(0x0000FF);
  std::vector<uint32_t> f = Frame();
  for (int y = 0; y < LCD_YSIZE; ++y)
    for (int x = 0; x < LCD_XSIZE; ++x) {
      bool inside = x >= 10 && x <= 59 && y >= 20 && y <= 49;
      ASSERT_EQ(f[static_cast<size_t>(y * LCD_XSIZE + x)], inside ? red : 0u) << x << "," << y;
    }
  EXPECT_TRUE(errors.empty()) << errors.front();
  GUI_MEMDEV_Delete(h);
}

TEST_F(MemdevTest, OnlyDrawnPixelsAreCopiedAndAnUntouchedDeviceCopiesNothing) {
  GUI_SetColor(0xFFFFFF);
  LCD_FillRect(0, 0, 319, 239);
  GUI_MEMDEV_Handle h = GUI_MEMDEV_Create(0, 0, 100, 100);
  GUI_MEMDEV_CopyToLCD(h);
  EXPECT_EQ(At(50, 50), Index(0xFFFFFF));
  GUI_MEMDEV_Select(h);
  GUI_SetColor(0x00FF00);
  LCD_DrawHLine(5, 7, 9);
  LCD_DrawPixel(40, 41);
  GUI_MEMDEV_CopyToLCD(h);         // copies while selected, and stays selected
  EXPECT_EQ(GUI_MEMDEV_Select(0), h);
  EXPECT_EQ(At(5, 7), Index(0x00FF00));
  EXPECT_EQ(At(9, 7), Index(0x00FF00));
  EXPECT_EQ(At(10, 7), Index(0xFFFFFF));
  EXPECT_EQ(At(40, 41), Index(0x00FF00));
  EXPECT_EQ(At(41, 41), Index(0xFFFFFF));
  GUI_MEMDEV_Delete(h);
}

TEST_F(MemdevTest, AccessorsOfTheSelectedDevice) {
  EXPECT_EQ(GUI_MEMDEV_GetXSize(0), 0);
  GUI_MEMDEV_Handle h = GUI_MEMDEV_Create(3, 4, 20, 40);
  GUI_MEMDEV_Select(h);
  EXPECT_EQ(GUI_MEMDEV_GetXSize(0), 20);
  EXPECT_EQ(GUI_MEMDEV_GetXPos(0), 3);
  EXPECT_EQ(GUI_MEMDEV_GetYPos(0), 4);
  GUI_MEMDEV_ReduceYSize(h, 100);
  EXPECT_EQ(GUI_MEMDEV_GetYSize(h), 40);
  GUI_MEMDEV_ReduceYSize(0, 10);
  EXPECT_EQ(GUI_MEMDEV_GetYSize(h), 10);
  EXPECT_NE(GUI_MEMDEV_GetDataPtr(h), nullptr);
  EXPECT_EQ(GUI_MEMDEV_GetDataPtr(0), nullptr);
  GUI_MEMDEV_Delete(h);            // deselects it
  EXPECT_EQ(GUI_MEMDEV_GetXSize(0), 0);
}

TEST_F(MemdevTest, UsageBitmapRunsAndBounds) {
  GUI_HMEM u = GUI_USAGE_BM_Create(10, 0, 40, 4, 0);
  ASSERT_NE(u, 0);
  GUI_USAGE_BM_AddHLine(u, 13, 1, 12);     // bits 3..14
  GUI_USAGE_BM_AddHLine(u, 45, 1, 100);    // clipped at the right edge: 35..39
  GUI_USAGE_BM_AddHLine(u, 10, 9, 5);      // a row outside: ignored
  GUI_USAGE_BM_AddPixel(u, 60, 1);         // outside: reported, not written
  EXPECT_TRUE(Reported("GUIDEV_UsageBM:\nparameters out of bounds in GUI_USAGE_BM_AddPixel()"));
  int x = 0;
  EXPECT_EQ(GUI_USAGE_GetNextDirty(u, &x, 1), 12);
  EXPECT_EQ(x, 3);
  x = 15;
  EXPECT_EQ(GUI_USAGE_GetNextDirty(u, &x, 1), 5);
  EXPECT_EQ(x, 35);
  x = 0;
  EXPECT_EQ(GUI_USAGE_GetNextDirty(u, &x, 0), 0);
  EXPECT_EQ(GUI_USAGE_GetNextDirty(u, &x, 9), 0);
  GUI_USAGE_BM_AddHLine(u, 5, 2, 10);      // left of the origin: reported, then clipped
  x = 0;
  EXPECT_EQ(GUI_USAGE_GetNextDirty(u, &x, 2), 5);
  EXPECT_EQ(x, 0);
  GUI_USAGE_DecUseCnt(u);
}

// Every format keeps what is drawn into it and brings it to the display in its colours.
TEST_F(MemdevTest, FormatsStoreReadBackAndCopy) {
  struct Case {
    const GUI_DEVICE_API* pAPI;
    const GUICC* pCC;
    int bpp;
  } cases[] = {
      {&GUI_MEMDEV_DEVICE_16, &GUICC_565R, 16},
      {&GUI_MEMDEV_DEVICE_32, &GUICC_8888, 32},
  };
  for (const Case& c : cases) {
    GUI_SetColor(0);
    LCD_FillRect(0, 0, 319, 239);
    GUI_MEMDEV_Handle h = GUI_MEMDEV_CreateFixedLocked(0, 0, 16, 16, 0, c.pAPI, c.pCC);
    ASSERT_NE(h, 0);
    GUI_MEMDEV_Select(h);
    EXPECT_EQ(LCD_GetBitsPerPixel_L0(), c.bpp);
    GUI_SetColor(0x00FF00);
    LCD_FillRect(2, 2, 5, 5);
    EXPECT_EQ(LCD_GetPixelIndex(3, 3), c.pCC->pfColor2Index(0x00FF00));
    GUI_MEMDEV_Select(0);
    GUI_MEMDEV_CopyToLCD(h);
    EXPECT_EQ(At(3, 3), Index(0x00FF00)) << c.bpp;
    EXPECT_EQ(At(6, 6), 0u) << c.bpp;
    GUI_MEMDEV_Delete(h);
  }
}

// Formats with colours of their own go out through a conversion to the display's colours.
uint32_t GreyIndex(GUI_COLOR c) { return c & 0xFF; }
GUI_COLOR GreyColor(uint32_t i) { return (i & 0xFF) * 0x010101u; }
uint32_t GreyMask() { return 0xFF; }
uint32_t MonoIndex(GUI_COLOR c) { return (c & 0xFF) >= 0x80 ? 1 : 0; }
GUI_COLOR MonoColor(uint32_t i) { return i & 1 ? 0xFFFFFF : 0; }
uint32_t MonoMask() { return 1; }
const GUICC kGrey = {GreyIndex, GreyColor, GreyMask};
const GUICC kMono = {MonoIndex, MonoColor, MonoMask};

TEST_F(MemdevTest, EightAndOneBitFormatsConvertWhenCopied) {
  struct Case {
    const GUI_DEVICE_API* pAPI;
    const GUICC* pCC;
    int flags;
  } cases[] = {{&GUI_MEMDEV_DEVICE_8, &kGrey, 0},
               {&GUI_MEMDEV_DEVICE_8, &kGrey, GUI_MEMDEV_NOTRANS},
               {&GUI_MEMDEV_DEVICE_1, &kMono, 0}};
  for (const Case& c : cases) {
    GUI_SetColor(0x0000FF);
    LCD_FillRect(0, 0, 319, 239);
    GUI_MEMDEV_Handle h = GUI_MEMDEV_CreateFixedLocked(3, 2, 13, 5, c.flags, c.pAPI, c.pCC);
    ASSERT_NE(h, 0);
    GUI_MEMDEV_Select(h);
    if (c.flags & GUI_MEMDEV_NOTRANS) {
      GUI_SetColorIndex(0);
      LCD_FillRect(0, 0, 319, 239);
    }
    GUI_SetColorIndex(0xFF);
    LCD_FillRect(5, 3, 12, 3);
    LCD_SetPixelIndex(15, 6, 0xFF);
    const uint8_t bits[2] = {0xA5, 0x80};     // 1-bit source with the default table {0, 1}
    LCD_DrawBitmap(4, 5, 9, 1, 1, 1, 1, 2, bits, nullptr);
    GUI_MEMDEV_Select(0);
    GUI_MEMDEV_CopyToLCD(h);
    GUI_MEMDEV_Delete(h);
    const uint32_t white = Index(0xFFFFFF), red = Index(0x0000FF), black = 0;
    EXPECT_EQ(At(5, 3), white);
    EXPECT_EQ(At(12, 3), white);
    EXPECT_EQ(At(13, 3), (c.flags & GUI_MEMDEV_NOTRANS) ? black : red);
    EXPECT_EQ(At(15, 6), white);
    EXPECT_EQ(At(2, 2), red);                  // outside the device
    // The 1-bit source wrote index 1: white for the mono format, nearly black for grey.
    EXPECT_EQ(At(4, 5), c.pCC == &kMono ? white : Index(0x010101));
    EXPECT_EQ(At(5, 5), c.pCC == &kMono ? black : Index(0));
  }
}

TEST_F(MemdevTest, XorOfATwoBitSourceInvertsNonZeroPixels) {
  GUI_MEMDEV_Handle h = GUI_MEMDEV_CreateFixedLocked(0, 0, 8, 1, GUI_MEMDEV_NOTRANS, &GUI_MEMDEV_DEVICE_16, &GUICC_565R);
  GUI_MEMDEV_Select(h);
  GUI_SetColor(0x123456);
  LCD_FillRect(0, 0, 7, 0);
  const uint32_t before = LCD_GetPixelIndex(0, 0);
  const uint8_t line[2] = {0x1B, 0x00};    // 0, 1, 2, 3, 0, 0, 0, 0
  GUI_SetDrawMode(GUI_DRAWMODE_XOR);
  LCD_DrawBitmap(0, 0, 8, 1, 1, 1, 2, 2, line, nullptr);
  GUI_SetDrawMode(0);
  EXPECT_EQ(LCD_GetPixelIndex(0, 0), before);
  for (int x = 1; x <= 3; ++x) EXPECT_EQ(LCD_GetPixelIndex(x, 0), before ^ 0xFFFF) << x;
  EXPECT_EQ(LCD_GetPixelIndex(4, 0), before);
  GUI_MEMDEV_Select(0);
  GUI_MEMDEV_Delete(h);
}

TEST_F(MemdevTest, ThirtyTwoBitDeviceSkipsTransparentSourcePixelsAndAnswersOnlyItsDepth) {
  GUI_MEMDEV_Handle h = GUI_MEMDEV_CreateFixedLocked(0, 0, 4, 1, GUI_MEMDEV_NOTRANS, &GUI_MEMDEV_DEVICE_32, &GUICC_8888);
  GUI_MEMDEV_Select(h);
  GUI_SetColor(0x112233);
  LCD_FillRect(0, 0, 3, 0);
  const uint32_t src[4] = {0xFF00FF00u, 0x0000FF00u, 0x80FFFFFFu, 0xFF000000u};
  LCD_DrawBitmap(0, 0, 4, 1, 1, 1, 32, 16, reinterpret_cast<const uint8_t*>(src), nullptr);
  EXPECT_EQ(LCD_GetPixelIndex(0, 0), 0x112233u);
  EXPECT_EQ(LCD_GetPixelIndex(1, 0), 0x00FF00u);
  EXPECT_NE(LCD_GetPixelIndex(2, 0), 0x112233u);
  EXPECT_EQ(LCD_GetPixelIndex(3, 0), 0x112233u);
  GUI_DEVICE* d = LCD__GetTopDevice();
  EXPECT_EQ(d->pDeviceAPI->pfGetDevProp(d, LCD_DEVCAP_BITSPERPIXEL), 32);
  EXPECT_EQ(d->pDeviceAPI->pfGetDevProp(d, LCD_DEVCAP_XSIZE), 0);
  GUI_MEMDEV_Select(0);
  GUI_MEMDEV_Delete(h);
}

// --- banded drawing -------------------------------------------------------------------------------
// Takes all of the heap but about `leave` bytes.
GUI_HMEM Hog(uint32_t leave) {
  int old = GUI_ALLOC_SetMaxPercentage(100);
  GUI_HMEM h = GUI_ALLOC_AllocNoInit(static_cast<int32_t>(GUI_ALLOC_GetNumFreeBytes() - leave));
  GUI_ALLOC_SetMaxPercentage(old);
  return h;
}

int g_calls;
void Scene(void*) {
  ++g_calls;
  GUI_SetColor(0x203040);
  GUI_ClearRect(0, 0, 319, 239);
  GUI_SetColor(0x00FFFF);
  LCD_FillRect(20, 10, 300, 200);
  GUI_SetColor(0xFF0000);
  for (int y = 0; y < 240; y += 7) LCD_DrawHLine(y, y, 319 - y / 2);
  GUI_SetColor(0x00FF00);
  LCD_DrawVLine(160, 0, 239);
  static const uint8_t glyph[8] = {0x18, 0x3C, 0x66, 0xC3, 0xC3, 0x66, 0x3C, 0x18};
  for (int i = 0; i < 20; ++i) LCD_DrawBitmap(10 + 15 * i, 30 + 9 * i, 8, 8, 1, 1, 1, 1, glyph, nullptr);
}

TEST_F(MemdevTest, BandedDrawingWithLittleHeapGivesTheDirectPicture) {
  g_calls = 0;
  Scene(nullptr);
  std::vector<uint32_t> direct = Frame();
  GUI_SetBkColor(0);
  GUI_Clear();
  // Leave about 40 KiB of heap: the 150 KiB screen device cannot be had whole.
  GUI_HMEM big = Hog(40000);
  ASSERT_NE(big, 0);
  g_calls = 0;
  EXPECT_EQ(GUI_MEMDEV_Draw(nullptr, Scene, nullptr, 0, 0), 0);
  EXPECT_GT(g_calls, 1);
  EXPECT_EQ(Frame(), direct);
  EXPECT_TRUE(errors.empty()) << errors.front();
  GUI_ALLOC_Free(big);
  const GUI_RECT off{400, 10, 500, 20};
  g_calls = 0;
  EXPECT_EQ(GUI_MEMDEV_Draw(&off, Scene, nullptr, 0, 0), 0);
  EXPECT_EQ(g_calls, 0);
}

std::vector<int> g_bandMessages;
void BandWindow(WM_MESSAGE* pMsg) {
  if (pMsg->MsgId == GUI_MEMDEV_MSG_BANDS_BEGIN || pMsg->MsgId == GUI_MEMDEV_MSG_BANDS_END)
    g_bandMessages.push_back(pMsg->MsgId);
}

TEST_F(MemdevTest, TheWindowBeingDrawnHearsOfBands) {
  WM_HWIN hWin = WM_CreateWindow(0, 0, 320, 240, WM_CF_SHOW, BandWindow, 0);
  ASSERT_NE(hWin, 0);
  WM_SelectWindow(hWin);
  g_bandMessages.clear();
  EXPECT_EQ(GUI_MEMDEV_Draw(nullptr, Scene, nullptr, 0, 0), 0);     // one band: no messages
  EXPECT_TRUE(g_bandMessages.empty());
  EXPECT_EQ(GUI_MEMDEV_Draw(nullptr, Scene, nullptr, 50, 0), 0);    // bands of 50 lines
  EXPECT_EQ(g_bandMessages, (std::vector<int>{GUI_MEMDEV_MSG_BANDS_BEGIN, GUI_MEMDEV_MSG_BANDS_END}));
  WM_SelectWindow(0);
  WM_DeleteWindow(hWin);
}

TEST_F(MemdevTest, BandedDrawingWithoutAnyDeviceDrawsDirectly) {
  GUI_HMEM big = Hog(200);
  ASSERT_NE(big, 0);
  g_calls = 0;
  EXPECT_EQ(GUI_MEMDEV_Draw(nullptr, Scene, nullptr, 0, 0), 1);
  EXPECT_EQ(g_calls, 1);
  EXPECT_TRUE(Reported("GUIDEV_Banding:\nNot enough memory in GUI_MEMDEV_Draw()"));
  EXPECT_EQ(At(100, 100), Index(0x00FFFF));
  GUI_ALLOC_Free(big);
}

TEST_F(MemdevTest, SelectLCDLeavesTheDeviceAndRecomputesTheColourIndices) {
  const uint32_t red = Index(0x0000FF), green = Index(0x00FF00);  // on the display
  GUI_MEMDEV_Handle h = GUI_MEMDEV__CreateFixed(10, 10, 20, 20, 0, &GUI_MEMDEV_DEVICE_32, &GUICC_8888);
  ASSERT_NE(h, 0);
  GUI_MEMDEV_Select(h);
  GUI_SetColor(0x0000FF);
  GUI_SetBkColor(0x00FF00);
  ASSERT_NE(LCD_GetColorIndex(), red);  // an index of the device's 32-bit format
  GUI_SelectLCD();
  EXPECT_EQ(GUI_pContext->hDevData, 0);
  EXPECT_EQ(GUI_DEVICE_GetpDevice(GUI_pContext->SelLayer, DEVICE_CLASS_MEMDEV), nullptr);
  EXPECT_EQ(GUI_pContext->pClipRect_HL, &GUI_pContext->ClipRect);
  EXPECT_EQ(GUI_pContext->WM_IsActive, 1);
  EXPECT_EQ(LCD_GetColorIndex(), red);
  EXPECT_EQ(LCD_GetBkColorIndex(), green);
  // Drawing reaches the whole display again, not just the device's rectangle.
  GUI_FillRect(0, 0, 319, 239);
  EXPECT_EQ(At(0, 0), red);
  EXPECT_EQ(At(319, 239), red);
  GUI_MEMDEV_Delete(h);
}

}  // namespace
