// Sprites and the cursor: what lies beneath comes back exactly, also what was drawn while
// the sprite covered it.
#include <gtest/gtest.h>

#include "gui/memdev/GUI_Memdev.h"
#include "gui/sprite/GUI_Sprite.h"
#include "picture_fixture.h"

namespace {

using pictest::PictureTest;

class SpriteTest : public PictureTest {
 protected:
  // A background that differs from pixel to pixel.
  static void Pattern() {
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 60; ++x) LCD_SetPixelIndex(x, y, static_cast<uint32_t>((x * 37 + y * 101) & 0xFFFF));
  }
};

// 4 x 3 sprite, the corners transparent.
const GUI_COLOR kColors[2] = {0, 0x0000FF};
const GUI_LOGPALETTE kPal = {2, 1, kColors};
const uint8_t kData[3] = {0x60, 0xF0, 0x60};   // .XX. / XXXX / .XX.
const GUI_BITMAP kBitmap = {4, 3, 1, 1, kData, &kPal, nullptr};

TEST_F(SpriteTest, ShowDrawsOpaquePixelsAndHideRestores) {
  Pattern();
  std::vector<uint32_t> before = Frame();
  GUI_HSPRITE h = GUI_SPRITE_Create(&kBitmap, 10, 10);
  ASSERT_NE(h, 0);
  EXPECT_EQ(GUI_SPRITE_IsVisible(h), 1);
  const uint32_t red = Index(0x0000FF);
  EXPECT_EQ(lcdtest::ReadRaw(11, 10) & 0xFFFFFF, 0xFF0000u);   // on the LCD itself
  EXPECT_EQ(LCD_GetPixelIndex(10, 10), before[10 * LCD_XSIZE + 10]);   // transparent corner
  EXPECT_NE(LCD_GetPixelIndex(10, 11), red);                     // reads return what is beneath
  GUI_SPRITE_Hide(h);
  EXPECT_EQ(Frame(), before);
  EXPECT_TRUE(errors.empty()) << errors.front();
  GUI_SPRITE_Delete(h);
}

TEST_F(SpriteTest, MovingByOnePixelRestoresTheBackgroundDrawnMeanwhile) {
  Pattern();
  GUI_HSPRITE h = GUI_SPRITE_Create(&kBitmap, 20, 20);
  ASSERT_NE(h, 0);
  // Drawing under the visible sprite lands in its save-under buffer.
  GUI_SetColor(0x00FF00);
  LCD_FillRect(18, 21, 25, 21);
  LCD_DrawPixel(21, 20);
  GUI_SPRITE_Hide(h);
  std::vector<uint32_t> expected = Frame();      // the background as drawn
  GUI_SPRITE_Show(h);
  GUI_SPRITE_SetPosition(h, 21, 20);
  GUI_SPRITE_SetPosition(h, 21, 21);
  GUI_SPRITE_Delete(h);
  EXPECT_EQ(Frame(), expected);
}

TEST_F(SpriteTest, SetBitmapOfAnotherSizeIsRefused) {
  GUI_HSPRITE h = GUI_SPRITE_Create(&kBitmap, 0, 0);
  const GUI_BITMAP other = {8, 1, 1, 1, kData, &kPal, nullptr};
  EXPECT_EQ(GUI_SPRITE_SetBitmap(h, &other), 1);
  EXPECT_EQ(GUI_SPRITE_SetBitmap(h, &kBitmap), 0);
  const GUI_BITMAP empty = {0, 0, 0, 1, nullptr, &kPal, nullptr};
  EXPECT_EQ(GUI_SPRITE_Create(&empty, 0, 0), 0);
  EXPECT_EQ(GUI_SPRITE_HitTest(h, 3, 2), 1);
  EXPECT_EQ(GUI_SPRITE_HitTest(h, 4, 2), 0);
  GUI_SPRITE_Delete(h);
}

TEST_F(SpriteTest, MemoryDeviceCopyGoesUnderTheSprite) {
  GUI_HSPRITE h = GUI_SPRITE_Create(&kBitmap, 5, 5);
  GUI_MEMDEV_Handle m = GUI_MEMDEV_Create(0, 0, 20, 20);
  GUI_MEMDEV_Select(m);
  GUI_SetColor(0xFFFFFF);
  LCD_FillRect(0, 0, 19, 19);
  GUI_MEMDEV_CopyToLCD(m);
  GUI_MEMDEV_Select(0);
  GUI_MEMDEV_Delete(m);
  EXPECT_EQ(lcdtest::ReadRaw(6, 5) & 0xFFFFFF, 0xFF0000u);       // the sprite stays on top
  EXPECT_EQ(lcdtest::ReadRaw(5, 5) & 0xFFFFFF, 0xFFFFFFu);
  GUI_SPRITE_Delete(h);
  EXPECT_EQ(lcdtest::ReadRaw(6, 5) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(SpriteTest, CursorShowsTheDefaultArrowAndFollowsThePosition) {
  Pattern();
  std::vector<uint32_t> before = Frame();
  EXPECT_EQ(GUI_CURSOR_GetState(), 0);
  GUI_CURSOR_SetPosition(30, 30);
  GUI_CURSOR_Show();
  EXPECT_EQ(GUI_CURSOR_GetState(), 1);
  EXPECT_EQ(lcdtest::ReadRaw(30, 30) & 0xFFFFFF, 0u);            // black tip
  EXPECT_EQ(lcdtest::ReadRaw(31, 32) & 0xFFFFFF, 0xFFFFFFu);     // white inside
  GUI_CURSOR_SetPosition(31, 30);
  EXPECT_EQ(lcdtest::ReadRaw(31, 30) & 0xFFFFFF, 0u);
  GUI_CURSOR_Hide();
  EXPECT_EQ(Frame(), before);
}

}  // namespace
