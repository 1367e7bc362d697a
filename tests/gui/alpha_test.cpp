// The user-alpha device, pixel reading and writing, alpha colours and multi-buffering.
#include <gtest/gtest.h>

#include "gui/WM.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/memdev/GUI_Memdev.h"
#include "picture_fixture.h"

namespace {

using pictest::PictureTest;

class AlphaTest : public PictureTest {};

TEST_F(AlphaTest, UserAlphaMakesDrawingTranslucent) {
  EXPECT_EQ(GUI__SetUserAlpha(0), 0u);         // nothing linked: only the stored value
  GUI_SetColor(0);
  LCD_FillRect(0, 0, 319, 239);
  GUI__SetUserAlpha(128);
  EXPECT_NE(GUI_DEVICE_GetpDevice(0, DEVICE_CLASS_USER_ALPHA), nullptr);
  GUI_SetColor(0xFFFFFF);
  LCD_DrawHLine(0, 5, 9);
  EXPECT_EQ(At(3, 5), Index(0x7F7F7F));
  // A 2-bit bitmap in XOR mode changes nothing through the device.
  const uint8_t line[1] = {0x1B};
  GUI_SetDrawMode(GUI_DRAWMODE_XOR);
  LCD_DrawBitmap(0, 5, 4, 1, 1, 1, 2, 1, line, nullptr);
  GUI_SetDrawMode(0);
  EXPECT_EQ(At(1, 5), Index(0x7F7F7F));
  EXPECT_EQ(GUI__SetUserAlpha(0), 128u);
  EXPECT_EQ(GUI_DEVICE_GetpDevice(0, DEVICE_CLASS_USER_ALPHA), nullptr);
}

TEST_F(AlphaTest, PackedIndicesExpandFromTheEnd) {
  uint8_t buf[12] = {0xAB, 0xC0};
  GUI__ExpandPixelIndices(buf, 3, 4);
  const uint32_t* v = reinterpret_cast<const uint32_t*>(buf);
  EXPECT_EQ(v[0], 0x0Au);
  EXPECT_EQ(v[1], 0x0Bu);
  EXPECT_EQ(v[2], 0x0Cu);
}

TEST_F(AlphaTest, DefaultPixelWriterAndRectangleReading) {
  const GUI_PIXELWRITER* w = GUI__GetPixelWriter();
  ASSERT_EQ(w->pfBegin(10, 20, 13), 0);
  for (uint32_t v : {0x1111u, 0x2222u, 0x3333u, 0x4444u}) w->pfWrite(v);
  w->pfNextLine();
  w->pfWrite(0x5555);
  w->pfEnd();
  EXPECT_EQ(At(10, 20), 0x1111u);
  EXPECT_EQ(At(13, 20), 0x4444u);
  EXPECT_EQ(At(10, 21), 0x5555u);
  uint16_t read[4] = {};
  GUI__ReadRect(10, 20, 13, 20, read, LCD__GetTopDevice());
  EXPECT_EQ(read[0], 0x1111u);
  EXPECT_EQ(read[3], 0x4444u);
  EXPECT_EQ(GUI_ALLOC_GetNumLockedHandles(), 0);
}

TEST_F(AlphaTest, EnablingAlphaTwiceChangesNothingAndTranslucentColoursBlend) {
  GUI_SetColor(0);
  LCD_FillRect(0, 0, 319, 239);
  EXPECT_EQ(GUI_EnableAlpha(1), 0u);
  EXPECT_EQ(GUI_EnableAlpha(1), 1u);
  GUI_SetColor(0x80FFFFFF);                    // half transparent white
  EXPECT_NE(GUI_DEVICE_GetpDevice(0, DEVICE_CLASS_ALPHA), nullptr);
  LCD_FillRect(0, 0, 3, 3);
  GUI_COLOR c = LCD_Index2Color(At(1, 1));
  EXPECT_GT(c & 0xFF, 0x60u);
  EXPECT_LT(c & 0xFF, 0xA0u);
  GUI_SetColor(0x00FFFFFF);
  EXPECT_EQ(GUI_DEVICE_GetpDevice(0, DEVICE_CLASS_ALPHA), nullptr);
  EXPECT_EQ(GUI_EnableAlpha(0), 1u);
  LCD_FillRect(0, 0, 3, 3);
  EXPECT_EQ(At(1, 1), Index(0xFFFFFF));
}

TEST_F(AlphaTest, OneBitPictureDrawsItsBackgroundWithTheBackgroundTransparency) {
  GUI_SetColor(0x0000FF);
  LCD_FillRect(0, 0, 319, 239);
  GUI_EnableAlpha(1);
  GUI_SetColor(0x00FFFFFF);
  GUI_SetBkColor(0x80000000);                  // half transparent black
  const uint8_t data[1] = {0x80};              // one foreground, one background pixel
  GUI_BITMAP bmp{2, 1, 1, 1, data, nullptr, nullptr};
  GUI_DrawBitmap(&bmp, 4, 4);
  EXPECT_EQ(At(4, 4), Index(0xFFFFFF));
  GUI_COLOR bg = LCD_Index2Color(At(5, 4));
  EXPECT_GT(bg & 0xFF, 0x60u);                 // red, darkened by half
  EXPECT_LT(bg & 0xFF, 0xA0u);
  GUI_EnableAlpha(0);
}

TEST_F(AlphaTest, MultiBufferingProtocol) {
  GUI_MULTIBUF_Begin();                        // single buffer: nothing
  GUI_MULTIBUF_End();
  EXPECT_EQ(GUI_MULTIBUF_GetNumBuffers(), 1);
  GUI_MULTIBUF_Config(3);
  EXPECT_EQ(GUI_MULTIBUF_GetNumBuffers(), 3);
  GUI_MULTIBUF_Begin();
  GUI_MULTIBUF_Begin();
  EXPECT_EQ(GUI_MULTIBUF_GetBackBufferEx(0), 1);
  GUI_MULTIBUF_End();
  EXPECT_EQ(GUI_MULTIBUF_GetFrontBufferEx(0), 0);   // nested: nothing shown yet
  GUI_MULTIBUF_End();                                // the driver shows and confirms buffer 1
  EXPECT_EQ(GUI_MULTIBUF_GetFrontBufferEx(0), 1);
  GUI_MULTIBUF_Begin();                              // back 1 -> 2 (front is 1)
  EXPECT_EQ(GUI_MULTIBUF_GetBackBufferEx(0), 2);
  GUI_MULTIBUF_End();
  GUI_MULTIBUF_Begin();                              // back 2 -> 0
  EXPECT_EQ(GUI_MULTIBUF_GetBackBufferEx(0), 0);
  GUI_MULTIBUF_End();
  GUI_MULTIBUF_Begin();                              // front 0, back 0 -> 1
  EXPECT_EQ(GUI_MULTIBUF_GetBackBufferEx(0), 1);
  GUI_MULTIBUF_End();
  // A mask with all 32 bits set reaches only the layers that exist.
  GUI_MULTIBUF_SetLayerMask(0xFFFFFFFFu);
  GUI_MULTIBUF_BeginAll();
  EXPECT_EQ(GUI_MULTIBUF_GetBackBufferEx(0), 2);
  GUI_MULTIBUF_EndAll();
  EXPECT_EQ(GUI_MULTIBUF_GetFrontBufferEx(0), 2);
}

int g_shown;  // buffers the multi-buffering handed to the display
void CountShown(uint32_t) { ++g_shown; }

TEST_F(AlphaTest, TextLineOutsideTheClipRectangleIsDrawnInABufferedFrame) {
  struct Case {
    int wmMultiBuf;
    GUI_RECT clip;
    int shown;
  } cases[] = {
      {1, {200, 200, 210, 210}, 1},  // the line lies outside the clip rectangle
      {1, {0, 0, 319, 239}, 0},      // inside it: drawn within the current frame
      {0, {200, 200, 210, 210}, 0},  // the window manager draws unbuffered
  };
  GUI_MULTIBUF_Config(2);
  GUI_MULTIBUF_SetBufferHook(CountShown);
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    g_shown = 0;
    WM_MULTIBUF_Enable(c.wmMultiBuf);
    LCD_SetClipRectEx(&c.clip);
    GUI_DispStringAt("A", 10, 10);
    EXPECT_EQ(g_shown, c.shown);
  }
  WM_MULTIBUF_Enable(0);
  GUI_MULTIBUF_SetBufferHook(nullptr);
  GUI_MULTIBUF_Config(1);
}

TEST_F(AlphaTest, ThirtyTwoBitDeviceBlendsIntoTheTarget) {
  GUI_SetColor(0x0000FF);
  LCD_FillRect(0, 0, 319, 239);
  GUI_MEMDEV_Handle h = GUI_MEMDEV_CreateFixedDefault(10, 10, 3, 1);
  const uint32_t px[3] = {0xFF000000u, 0x0000FF00u, 0x80FF0000u};
  // transparent, opaque green, half transparent blue
  uint32_t* p = static_cast<uint32_t*>(GUI_MEMDEV_GetDataPtr(h));
  p[0] = px[0];
  p[1] = px[1];
  p[2] = px[2];
  GUI_MEMDEV_WriteToActiveAt(h, 10, 10);
  EXPECT_EQ(At(10, 10), Index(0x0000FF));
  EXPECT_EQ(At(11, 10), Index(0x00FF00));
  GUI_COLOR c = LCD_Index2Color(At(12, 10));
  EXPECT_GT((c >> 16) & 0xFF, 0x40u);
  EXPECT_GT(c & 0xFF, 0x40u);
  GUI_MEMDEV_Delete(h);
}

}  // namespace
