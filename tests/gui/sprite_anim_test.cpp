// Animated sprites on the GUI timers, with a test clock.
#include <gtest/gtest.h>

#include "gui/WM.h"
#include "gui/sprite/GUI_Sprite.h"
#include "picture_fixture.h"

namespace {

using pictest::PictureTest;

class SpriteAnimTest : public PictureTest {
 protected:
  void Advance(int ms) {
    now += ms;
    GUI_TIMER_Exec();
  }
  // What the display shows (reads through the library return what lies under a sprite).
  static uint32_t Shown(int x, int y) { return lcdtest::ReadRaw(x, y) & 0xFFFFFF; }
};

const GUI_COLOR kRed[2] = {0, 0x0000FF}, kGreen[2] = {0, 0x00FF00}, kBlue[2] = {0, 0xFF0000};
const GUI_LOGPALETTE kPals[3] = {{2, 1, kRed}, {2, 1, kGreen}, {2, 1, kBlue}};
const uint8_t kDot[1] = {0x80};
const GUI_BITMAP kFrames[3] = {{1, 1, 1, 1, kDot, &kPals[0], nullptr},
                               {1, 1, 1, 1, kDot, &kPals[1], nullptr},
                               {1, 1, 1, 1, kDot, &kPals[2], nullptr}};
const GUI_BITMAP* const kList[3] = {&kFrames[0], &kFrames[1], &kFrames[2]};

TEST_F(SpriteAnimTest, WithoutLoopTheAnimationStopsAtItsLastBitmap) {
  GUI_SPRITE_SetAnimLoop(0);
  GUI_HSPRITE h = GUI_SPRITE_CreateAnim(kList, 5, 5, 100, nullptr, 3);
  GUI_SPRITE_SetAnimLoop(1);
  ASSERT_NE(h, 0);
  EXPECT_EQ(Shown(5, 5), 0xFF0000u);
  Advance(99);
  EXPECT_EQ(Shown(5, 5), 0xFF0000u);
  Advance(1);
  EXPECT_EQ(Shown(5, 5), 0x00FF00u);
  Advance(100);
  EXPECT_EQ(Shown(5, 5), 0x0000FFu);
  Advance(300);
  EXPECT_EQ(Shown(5, 5), 0x0000FFu);
  EXPECT_EQ(GUI_TIMER_IsAnyPending(), 0);
  GUI_SPRITE_Delete(h);
  EXPECT_EQ(Shown(5, 5), 0u);
}

TEST_F(SpriteAnimTest, LoopingAnimationWithPeriodListAndHideStopsIt) {
  const int periods[3] = {10, 20, 30};
  GUI_HSPRITE h = GUI_SPRITE_CreateAnim(kList, 0, 0, 0, periods, 3);
  ASSERT_NE(h, 0);
  Advance(10);
  EXPECT_EQ(Shown(0, 0), 0x00FF00u);
  Advance(20);
  EXPECT_EQ(Shown(0, 0), 0x0000FFu);
  Advance(30);
  EXPECT_EQ(Shown(0, 0), 0xFF0000u);       // round again
  GUI_SPRITE_Hide(h);
  EXPECT_EQ(GUI_TIMER_IsAnyPending(), 0);
  EXPECT_EQ(GUI_SPRITE_CreateAnim(kList, 0, 0, 0, nullptr, 3), 0);
  GUI_SPRITE_Delete(h);
}

}  // namespace
