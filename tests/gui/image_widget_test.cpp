// The IMAGE widget: a picture tiled over the window, drawn directly and through a cached
// memory device, and an animated GIF picture stepped by its frame timer.
#include <gtest/gtest.h>

#include <algorithm>

#include "widget_fixture.h"

namespace widgettest {

std::vector<uint8_t> MakeGif(int w, int h, const std::vector<int>& frameColors, int delay, bool grid) {
  std::vector<uint8_t> g = {'G', 'I', 'F', '8', '9', 'a'};
  auto put16 = [&g](int v) {
    g.push_back(uint8_t(v & 0xFF));
    g.push_back(uint8_t(v >> 8));
  };
  put16(w);
  put16(h);
  g.push_back(0x81);  // global table of 4 colours
  g.push_back(0);
  g.push_back(0);
  const uint8_t table[12] = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
  g.insert(g.end(), table, table + 12);
  for (int color : frameColors) {
    const uint8_t gce[] = {0x21, 0xF9, 4, 0, uint8_t(delay & 0xFF), uint8_t(delay >> 8), 0, 0};
    g.insert(g.end(), gce, gce + sizeof gce);
    g.push_back(0x2C);
    put16(0);
    put16(0);
    put16(w);
    put16(h);
    g.push_back(0);
    g.push_back(2);  // minimum code size: codes of 3 bits, clear 4, end 5
    // A clear code before every two pixels keeps the code width at 3 bits.
    std::vector<int> codes;
    for (int i = 0; i < w * h; ++i) {
      if (i % 2 == 0) codes.push_back(4);
      codes.push_back(grid && (i % w == 0 || i < w) ? 3 : color);
    }
    codes.push_back(5);
    std::vector<uint8_t> bytes;
    uint32_t acc = 0;
    int bits = 0;
    for (int c : codes) {
      acc |= uint32_t(c) << bits;
      bits += 3;
      while (bits >= 8) {
        bytes.push_back(uint8_t(acc & 0xFF));
        acc >>= 8;
        bits -= 8;
      }
    }
    if (bits) bytes.push_back(uint8_t(acc & 0xFF));
    for (size_t i = 0; i < bytes.size(); i += 255) {
      size_t n = std::min<size_t>(255, bytes.size() - i);
      g.push_back(uint8_t(n));
      g.insert(g.end(), bytes.begin() + long(i), bytes.begin() + long(i + n));
    }
    g.push_back(0);
  }
  g.push_back(0x3B);
  return g;
}

namespace {

// ---- IMAGE ---------------------------------------------------------------------------------------

TEST_F(WidgetTest, ImageTilesItsPictureOverTheWindow) {
  WM_SetDesktopColor(0x000000);
  std::vector<uint8_t> gif = MakeGif(10, 10, {1}, 0, true);  // red with a blue top row and left column
  WM_HWIN img = IMAGE_CreateEx(100, 100, 35, 20, 0, WM_CF_SHOW, IMAGE_CF_TILE, 70);
  IMAGE_SetGIF(img, gif.data(), uint32_t(gif.size()));
  Exec();
  // Tiles at x 0, 10, 20, 30 in the rows 0 and 10, the last column cut at the window edge.
  const uint32_t blue = GUI_Color2Index(0xFF0000), red = GUI_Color2Index(0x0000FF);
  for (int x : {0, 10, 20, 30})
    for (int y : {0, 10}) {
      EXPECT_EQ(pixel(100 + x, 100 + y + 5), blue) << x << "," << y;
      EXPECT_EQ(pixel(100 + x + 3, 100 + y + 5), red) << x << "," << y;
    }
  EXPECT_EQ(countLit(100, 100, 134, 119), 35 * 20);
  EXPECT_EQ(countLit(135, 100, 140, 119), 0);
  EXPECT_EQ(countLit(100, 120, 134, 125), 0);
  EXPECT_TRUE(golden("widget_image_tiles"));
  // Cached in a memory device the picture looks the same.
  WM_HWIN cached = IMAGE_CreateEx(100, 150, 35, 20, 0, WM_CF_SHOW, IMAGE_CF_TILE | IMAGE_CF_MEMDEV, 71);
  IMAGE_SetGIF(cached, gif.data(), uint32_t(gif.size()));
  Exec();
  EXPECT_EQ(countLit(100, 150, 134, 169), 35 * 20);
  WM_MoveWindow(cached, 10, 0);
  Exec();
  EXPECT_EQ(countLit(110, 150, 144, 169), 35 * 20);
  EXPECT_TRUE(errors.empty()) << errors[0];
}

TEST_F(WidgetTest, ImageAnimationChangesFrameEvery100MsAndWraps) {
  std::vector<uint8_t> gif = MakeGif(8, 8, {1, 2, 3}, 0);
  WM_HWIN img = IMAGE_CreateEx(10, 10, 1, 1, 0, WM_CF_SHOW, IMAGE_CF_AUTOSIZE, 72);
  IMAGE_SetGIF(img, gif.data(), uint32_t(gif.size()));
  EXPECT_EQ(WM_GetWindowSizeX(img), 8);
  struct Step {
    uint32_t ms;
    int frame;
  } steps[] = {{0, 0}, {99, 0}, {100, 1}, {199, 1}, {200, 2}, {300, 0}, {400, 1}};
  for (const Step& st : steps) {
    At(st.ms);
    EXPECT_EQ(IMAGE_GetCurrentFrame(img), st.frame) << "at " << st.ms << " ms";
  }
  std::vector<uint8_t> still = MakeGif(8, 8, {1}, 0);
  WM_HWIN one = IMAGE_CreateEx(30, 10, 8, 8, 0, WM_CF_SHOW, 0, 73);
  IMAGE_SetGIF(one, still.data(), uint32_t(still.size()));
  int timers = 0;
  intptr_t ctx;
  for (GUI_TIMER_HANDLE h = GUI_TIMER_GetFirst(&ctx); h; h = GUI_TIMER_GetNext(h, &ctx)) timers += ctx == one;
  EXPECT_EQ(timers, 0) << "a single frame starts no timer";
  WM_DeleteWindow(img);
  At(1000);  // the deleted image's timer is gone with it
}

}  // namespace
}  // namespace widgettest
