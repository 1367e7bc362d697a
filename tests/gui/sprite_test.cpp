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

// 32-bit sprites, 5 x 4: fully opaque blue with a transparent corner, and half-translucent
// green with a transparent corner (top byte: 0 opaque, 0xFF transparent).
const uint32_t kOpaque32[20] = {
    0xFF000000u, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000,
    0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000};
const uint32_t kHalf32[20] = {
    0xFF000000u, 0x8000FF00, 0x8000FF00, 0x8000FF00, 0x8000FF00, 0x8000FF00, 0x8000FF00, 0x8000FF00, 0x8000FF00,
    0x8000FF00, 0x8000FF00, 0x8000FF00, 0x8000FF00, 0x8000FF00, 0x8000FF00, 0x8000FF00, 0x8000FF00, 0x8000FF00,
    0x8000FF00, 0x8000FF00};
const GUI_BITMAP kOpaqueBitmap = {5, 4, 20, 32, reinterpret_cast<const uint8_t*>(kOpaque32), nullptr, nullptr};
const GUI_BITMAP kHalfBitmap = {5, 4, 20, 32, reinterpret_cast<const uint8_t*>(kHalf32), nullptr, nullptr};

// The colours on the LCD itself (sprites included) of the patterned area.
std::vector<uint32_t> Screen() {
  std::vector<uint32_t> v;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 60; ++x) v.push_back(lcdtest::ReadRaw(x, y) & 0xFFFFFF);
  return v;
}

// Two overlapping sprites of every pair of kinds: moving either one leaves the other whole
// (the screen is as if both had been created where they end), and deleting them in either
// order gives back the background.
TEST_F(SpriteTest, OverlappingSpritesKeepEachOtherWhole) {
  struct Kind {
    const char* name;
    const GUI_BITMAP* bitmap;
  };
  const Kind kinds[] = {{"palette", &kBitmap}, {"opaque 32-bit", &kOpaqueBitmap}, {"translucent", &kHalfBitmap}};
  for (const Kind& lower : kinds)
    for (const Kind& upper : kinds)
      for (int moved = 0; moved < 2; ++moved)
        for (int upperFirst = 0; upperFirst < 2; ++upperFirst) {
          SCOPED_TRACE(std::string(lower.name) + " under " + upper.name + (moved ? ", upper moves" : ", lower moves") +
                       (upperFirst ? ", upper deleted first" : ", lower deleted first"));
          Pattern();
          const std::vector<uint32_t> background = Screen();
          GUI_HSPRITE h[2] = {GUI_SPRITE_Create(lower.bitmap, 10, 10), GUI_SPRITE_Create(upper.bitmap, 12, 11)};
          ASSERT_NE(h[0], 0);
          ASSERT_NE(h[1], 0);
          const int path[][2] = {{11, 11}, {13, 12}, {12, 10}, {14, 11}};
          for (const auto& p : path) GUI_SPRITE_SetPosition(h[moved], p[0] - 2 * moved, p[1] - moved);
          const std::vector<uint32_t> moved_ = Screen();
          GUI_SPRITE_Delete(h[upperFirst]);
          GUI_SPRITE_Delete(h[1 - upperFirst]);
          EXPECT_EQ(Screen(), background);

          // The same two sprites created at their final places.
          const int last[2][2] = {{moved ? 10 : 14, moved ? 10 : 11}, {moved ? 12 : 12, moved ? 10 : 11}};
          GUI_HSPRITE fresh[2] = {GUI_SPRITE_Create(lower.bitmap, last[0][0], last[0][1]),
                                  GUI_SPRITE_Create(upper.bitmap, last[1][0], last[1][1])};
          EXPECT_EQ(moved_, Screen());
          GUI_SPRITE_Delete(fresh[1]);
          GUI_SPRITE_Delete(fresh[0]);
          EXPECT_EQ(Screen(), background);
        }
  EXPECT_TRUE(errors.empty());
}

// Drawing while two sprites overlap lies beneath both: reads return it, and it is what stays
// when they are gone.
TEST_F(SpriteTest, DrawingUnderOverlappingSpritesLiesBeneathBoth) {
  for (const GUI_BITMAP* lower : {&kBitmap, &kHalfBitmap})
    for (const GUI_BITMAP* upper : {&kOpaqueBitmap, &kHalfBitmap}) {
      Pattern();
      GUI_SetColor(0x00FFFF);
      LCD_FillRect(8, 10, 20, 12);
      const std::vector<uint32_t> expected = Screen();
      Pattern();
      GUI_HSPRITE a = GUI_SPRITE_Create(lower, 10, 10);
      GUI_HSPRITE b = GUI_SPRITE_Create(upper, 12, 11);
      const std::vector<uint32_t> before = Screen();
      LCD_FillRect(8, 10, 20, 12);
      EXPECT_EQ(LCD_GetPixelIndex(13, 11), Index(0x00FFFF));   // both sprites cover it
      if (upper == &kOpaqueBitmap) {
        EXPECT_EQ(Screen()[11 * 60 + 13], before[11 * 60 + 13]);  // it stays on top
      }
      GUI_SPRITE_Delete(a);
      GUI_SPRITE_Delete(b);
      EXPECT_EQ(Screen(), expected);
    }
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
