// The graphics library drawing into the emulated LCD memory: start, the display driver,
// LCD-level drawing and the LCD simulation's header, colour table and origin checks.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gui/GUI.h"
#include "gui/LCD.h"
#include "host/shared_block.h"
#include "simlayer/LCDSIM.h"
#include "simlayer/SIM.h"
#include "support/lcd_harness.h"

namespace {

using lcdtest::HeaderWord;
using lcdtest::ReadRaw;

class LcdDrawTest : public lcdtest::LcdTest {
 protected:
  int Count(const std::string& text) const {
    int n = 0;
    for (const auto& s : errors) n += s == text;
    return n;
  }
};

TEST_F(LcdDrawTest, InitLeavesABlackDisplayAndAFilledHeader) {
  EXPECT_EQ(initResult, 0);
  EXPECT_TRUE(errors.empty());
  for (uint32_t p : lcdtest::ReadFrame()) ASSERT_EQ(p, 0u);
  EXPECT_STREQ(reinterpret_cast<const char*>(LCDSIM_GetBlock(0)), "GUI LCD Simulation");
  EXPECT_STREQ(LCDSIM_GetMapName(0), "GuiLCDMap");
  struct {
    uint32_t offset, value;
  } fields[] = {{LCDSIM_HDR_XSIZE, 320},     {LCDSIM_HDR_YSIZE, 240},
                {LCDSIM_HDR_VXSIZE, 320},    {LCDSIM_HDR_VYSIZE, 240},
                {LCDSIM_HDR_BPP, 16},        {LCDSIM_HDR_NUMCOLORS, 65536},
                {LCDSIM_HDR_BITMAPINFO, 40}, {LCDSIM_HDR_BITMAPINFO + 4, 320},
                {LCDSIM_HDR_BITMAPINFO + 8, static_cast<uint32_t>(-240)},
                {LCDSIM_HDR_BITMAPINFO + 12, 1 | (32u << 16)}};
  for (const auto& f : fields) EXPECT_EQ(HeaderWord(f.offset), f.value) << f.offset;
}

TEST_F(LcdDrawTest, OnePixelWritesOneWordAndMovesTheCounterByOne) {
  uint32_t before = LCDSIM_GetChangeCount(0);
  GUI_SetColor(0x000000FF);
  LCD_DrawPixel(319, 239);
  EXPECT_EQ(lcdtest::PixelOffset(319, 239), 311292u);
  EXPECT_EQ(HeaderWord(311292), 0x00FF0000u);
  EXPECT_EQ(LCDSIM_GetChangeCount(0), before + 1);
  EXPECT_EQ(HeaderWord(LCDSIM_HDR_CHANGECNT), before + 1);
  EXPECT_EQ(ReadRaw(318, 239), 0u);
  EXPECT_EQ(GUI_GetPixelIndex(319, 239), 0xF800u);
  EXPECT_EQ(LCDSIM_GetPixelColor(319, 239, 0), 0x000000FFu);
}

TEST_F(LcdDrawTest, XorTwiceThroughTheDriverGivesTheIndexBack) {
  // 0x5800 is not a colour's exact index path: reading back through the colour would lose it.
  const uint32_t indices[] = {0x5800, 0x1234, 0xFFFF, 0x0001};
  for (uint32_t index : indices) {
    LCD_SetPixelIndex(10, 10, index);
    GUI_SetDrawMode(GUI_DRAWMODE_XOR);
    LCD_DrawPixel(10, 10);
    EXPECT_EQ(LCD_GetPixelIndex(10, 10), index ^ 0xFFFF) << index;
    LCD_DrawPixel(10, 10);
    GUI_SetDrawMode(0);
    EXPECT_EQ(LCD_GetPixelIndex(10, 10), index) << index;
  }
}

TEST_F(LcdDrawTest, ClippedPrimitives) {
  GUI_SetColor(0x00FFFFFF);
  const GUI_RECT clip{10, 10, 19, 19};
  LCD_SetClipRectEx(&clip);
  LCD_FillRect(0, 0, 100, 100);
  LCD_DrawHLine(25, 12, 5);        // empty after clamping
  LCD_DrawPixel(9, 9);
  LCD_SetClipRectMax();
  int white = 0;
  for (uint32_t p : lcdtest::ReadFrame()) white += p == 0xFFFFFFu;
  EXPECT_EQ(white, 100);
  EXPECT_EQ(ReadRaw(10, 10), 0xFFFFFFu);
  EXPECT_EQ(ReadRaw(20, 10), 0u);
  // Reverse draw mode draws with the background colour, and switching back restores it.
  GUI_SetBkColor(0x0000FF00);
  LCD_SetDrawMode(GUI_DRAWMODE_REV);
  LCD_DrawPixel(10, 10);
  LCD_SetDrawMode(0);
  LCD_DrawPixel(11, 10);
  EXPECT_EQ(ReadRaw(10, 10), 0x00FF00u);
  EXPECT_EQ(ReadRaw(11, 10), 0xFFFFFFu);
}

TEST_F(LcdDrawTest, ClearFillsWithTheBackgroundAndResetsTheTextPosition) {
  GUI_SetBkColor(0x00FF0000);
  GUI_GotoXY(30, 40);
  GUI_Clear();
  EXPECT_EQ(GUI_GetDispPosX(), 0);
  EXPECT_EQ(GUI_GetDispPosY(), 0);
  EXPECT_EQ(ReadRaw(0, 0), 0x0000FFu);
  EXPECT_EQ(ReadRaw(319, 239), 0x0000FFu);
  GUI_InvertRect(0, 0, 1, 0);
  EXPECT_EQ(ReadRaw(0, 0), 0xFFFF00u);
  EXPECT_EQ(ReadRaw(2, 0), 0x0000FFu);
}

// 1-bit rows of 24 pixels: 0xF0 0x0F 0xAA.
const uint8_t kBits1[] = {0xF0, 0x0F, 0xAA, 0xF0, 0x0F, 0xAA};

TEST_F(LcdDrawTest, OneBitBitmapClippedOnTheLeftStartsInTheRightByteAndBit) {
  const uint32_t trans[2] = {0x001F, 0xF800};  // blue for 0, red for 1
  const GUI_RECT clip{111, 0, 319, 239};
  LCD_SetClipRectEx(&clip);
  LCD_DrawBitmap(100, 5, 24, 2, 1, 1, 1, 3, kBits1, trans);
  LCD_SetClipRectMax();
  EXPECT_EQ(ReadRaw(110, 5), 0u);                  // clipped
  // Pixel 11 is bit 3 of the second byte 0x0F (0), pixel 12 its bit 4 (1).
  EXPECT_EQ(ReadRaw(111, 5), 0x0000FFu);
  EXPECT_EQ(ReadRaw(112, 5), 0xFF0000u);
  EXPECT_EQ(ReadRaw(123, 6), 0x0000FFu);           // last pixel of the second row: bit 0 of 0xAA
  EXPECT_EQ(ReadRaw(122, 6), 0xFF0000u);
}

TEST_F(LcdDrawTest, BitmapsInXorAndTransparentModes) {
  GUI_SetBkColor(0x00FFFFFF);
  GUI_Clear();
  const uint8_t bits4[] = {0x12, 0x34};
  GUI_SetDrawMode(GUI_DRAWMODE_XOR);
  uint32_t before = LCDSIM_GetChangeCount(0);
  LCD_DrawBitmap(0, 0, 4, 1, 1, 1, 4, 2, bits4, nullptr);  // 4 bits: nothing in XOR mode
  EXPECT_EQ(LCDSIM_GetChangeCount(0), before);
  LCD_DrawBitmap(0, 1, 8, 1, 1, 1, 1, 1, kBits1, nullptr);  // 1 bit: set bits invert
  GUI_SetDrawMode(GUI_DRAWMODE_TRANS);
  const uint16_t px16[3] = {0xF800, 0x0000, 0x001F};
  LCD_DrawBitmap(0, 2, 3, 1, 1, 1, 16, 6, reinterpret_cast<const uint8_t*>(px16), nullptr);
  GUI_SetDrawMode(0);
  EXPECT_EQ(ReadRaw(0, 1), 0u);
  EXPECT_EQ(ReadRaw(4, 1), 0xFFFFFFu);
  EXPECT_EQ(ReadRaw(0, 2), 0xFF0000u);
  EXPECT_EQ(ReadRaw(1, 2), 0xFFFFFFu);             // index 0 left out
  EXPECT_EQ(ReadRaw(2, 2), 0x0000FFu);
}

TEST_F(LcdDrawTest, MagnifiedBitmap) {
  const uint8_t bits[] = {0x80};
  GUI_SetColor(0x00FFFFFF);
  const uint32_t trans[2] = {0, 0xFFFF};
  LCD_DrawBitmap(50, 50, 2, 1, 3, 2, 1, 1, bits, trans);
  EXPECT_EQ(ReadRaw(50, 50), 0xFFFFFFu);
  EXPECT_EQ(ReadRaw(52, 51), 0xFFFFFFu);
  EXPECT_EQ(ReadRaw(53, 50), 0u);
  EXPECT_EQ(ReadRaw(50, 52), 0u);
}

TEST_F(LcdDrawTest, SecondBufferAfterCopyBuffer) {
  GUI_DEVICE* d = GUI_DEVICE_GetDriver(0);
  GUI_DEVICE* dev = d;
  auto copy = reinterpret_cast<void (*)(GUI_DEVICE*, int, int)>(d->pDeviceAPI->pfGetDevFunc(&dev, 33));
  ASSERT_NE(copy, nullptr);
  copy(d, 0, 1);
  GUI_SetColor(0x000000FF);
  LCD_DrawPixel(0, 0);
  EXPECT_EQ(ReadRaw(0, 0), 0u);
  EXPECT_EQ(HeaderWord(LCDSIM_FRAME_OFFSET + 240 * 1280), 0x00FF0000u);
}

TEST_F(LcdDrawTest, AccessOutsideTheFrameBufferIsRefused) {
  const char* text = "LCDSIM:\nIllegal frame buffer address in _XY2PTR_DWORD.";
  uint32_t before = LCDSIM_GetChangeCount(0);
  const int bad[][2] = {{-1, 0}, {0, -1}, {320, 0}, {0, 0x1000000 / 1280 + 1}};
  for (const auto& p : bad) {
    errors.clear();
    LCDSIM_SetPixelIndex(p[0], p[1], 0xFFFF, 0);
    EXPECT_EQ(LCDSIM_GetPixelIndex(p[0], p[1], 0), 0u);
    EXPECT_EQ(Count(text), 2) << p[0] << "," << p[1];
  }
  EXPECT_EQ(LCDSIM_GetChangeCount(0), before);
  EXPECT_EQ(ReadRaw(0, 1), 0u);                    // (320, 0) did not wrap into the next row
  errors.clear();
  LCDSIM_CopyBuffer(0, 0, 1000);
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_EQ(LCDSIM_GetChangeCount(0), before);
}

TEST_F(LcdDrawTest, OriginOutsideTheVirtualAreaIsRefusedWithItsText) {
  struct {
    int x, y;
    const char* text;
  } cases[] = {
      {1, 0,
       "LCDSIM - GUI_SetOrg() failed.\n\nThe desired X position of 1 exceeds the maximum\n"
       "value of LDC_VXSIZE - LCD_XSIZE = 0"},
      {0, 1,
       "LCDSIM - GUI_SetOrg() failed.\n\nThe desired Y position of 1 exceeds the maximum\n"
       "value of LDC_VYSIZE - LCD_YSIZE = 0"},
      {-1, 0,
       "LCDSIM - GUI_SetOrg() failed.\n\nThe desired X position of -1 exceeds the maximum\n"
       "value of LDC_VXSIZE - LCD_XSIZE = 0"},
  };
  for (const auto& c : cases) {
    SIM_ClearLog();
    uint32_t before = LCDSIM_GetChangeCount(0);
    GUI_SetOrg(c.x, c.y);
    EXPECT_NE(SIM_GetLog().find(c.text), std::string::npos) << SIM_GetLog();
    EXPECT_EQ(HeaderWord(LCDSIM_HDR_ORG_X), 0u);
    EXPECT_EQ(HeaderWord(LCDSIM_HDR_ORG_Y), 0u);
    EXPECT_EQ(LCDSIM_GetChangeCount(0), before);
  }
}

TEST_F(LcdDrawTest, ColourTableEntriesAreTintedIntoTheColourRange) {
  struct {
    GUI_COLOR rangeMax, color;
    uint8_t b, g, r;
  } cases[] = {
      {0xFFFFFF, 0x00123456, 0x12, 0x34, 0x56},
      {0x808080, 0x00FFFFFF, 0x80, 0x80, 0x80},
      {0x808080, 0x00000001, 0x00, 0x00, 0x00},
  };
  uint32_t version = HeaderWord(LCDSIM_HDR_LUTVERSION);
  for (const auto& c : cases) {
    SIM_SetColorRange(0, 0, c.rangeMax);
    LCD_SetLUTEntry(7, c.color);
    const uint8_t* e = LCDSIM_GetBlock(0) + LCDSIM_HDR_LUT + 4 * 7;
    EXPECT_EQ(e[0], c.b);
    EXPECT_EQ(e[1], c.g);
    EXPECT_EQ(e[2], c.r);
    EXPECT_EQ(HeaderWord(LCDSIM_HDR_LUTVERSION), ++version);
  }
  EXPECT_EQ(HeaderWord(LCDSIM_HDR_RANGE_MAX), 0x808080u);
}

TEST_F(LcdDrawTest, LayerSettersReachTheHeader) {
  GUI_SetLayerPosEx(0, 3, 4);
  GUI_SetLayerVRAMEx(0, 0x1234);
  SIM_SetLayerValue(0, 9);
  SIM_SetCompositeSize(320, 240);
  EXPECT_EQ(HeaderWord(LCDSIM_HDR_POS_X), 3u);
  EXPECT_EQ(HeaderWord(LCDSIM_HDR_POS_Y), 4u);
  EXPECT_EQ(HeaderWord(LCDSIM_HDR_VRAMADDR), 0x1234u);
  EXPECT_EQ(HeaderWord(LCDSIM_HDR_LAYER_VALUE), 9u);
  EXPECT_EQ(HeaderWord(LCDSIM_HDR_COMPOSITE_SIZE), 320u | (240u << 16));
}

TEST_F(LcdDrawTest, PointerChangesReachTheHandlerOnce) {
  static std::vector<std::string> seen;
  seen.clear();
  LCDSIM_SetPointerHandler([](int x, int y, int pressed, int layer) {
    seen.push_back(std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(pressed) + "," +
                   std::to_string(layer));
  });
  LCDSIM_SetPointerState(5, 6, 0, 0);
  LCDSIM_SetPointerState(5, 6, 0, 0);
  LCDSIM_SetPointerState(5, 6, 128, 0);
  LCDSIM_SetPointerHandler(nullptr);
  EXPECT_EQ(seen, (std::vector<std::string>{"5,6,0,0", "5,6,1,0"}));
  EXPECT_EQ(HeaderWord(LCDSIM_HDR_PTR_STATE), 1u);
}

TEST_F(LcdDrawTest, PrimitivesMatchTheGoldenImage) {
  GUI_SetBkColor(0x00402010);
  GUI_Clear();
  GUI_SetColor(0x0000FFFF);
  LCD_FillRect(10, 10, 109, 59);
  GUI_SetColor(0x00FF00FF);
  LCD_DrawHLine(0, 100, 319);
  LCD_DrawVLine(160, 0, 239);
  // A 16-bit colour ramp, 64 x 32.
  static uint16_t ramp[32][64];
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) ramp[y][x] = static_cast<uint16_t>(((x / 2) << 11) | ((y * 2) << 5) | (31 - x / 2));
  LCD_DrawBitmap(200, 20, 64, 32, 1, 1, 16, 128, reinterpret_cast<const uint8_t*>(ramp), nullptr);
  const uint32_t trans[2] = {0x0000, 0xFFFF};
  LCD_DrawBitmap(20, 120, 24, 2, 4, 4, 1, 3, kBits1, trans);
  GUI_SetDrawMode(GUI_DRAWMODE_XOR);
  LCD_FillRect(60, 40, 149, 129);
  GUI_SetDrawMode(0);
  GUI_InvertRect(250, 150, 299, 199);
  EXPECT_TRUE(lcdtest::MatchesGolden("shell", "lcd_primitives"));
}

// A second instance finds the name taken and uses the next one.
TEST(LcdSharedMemory, SecondInstanceUsesTheNextName) {
  lcdtest::UsePrivateSharedNames();
  std::string err;
  auto other = host::SharedBlock::Create("GuiLCDMap", 4096, 0, &err);
  ASSERT_TRUE(other) << err;
  ASSERT_EQ(SIM_InitHost(), 0);
  EXPECT_STREQ(LCDSIM_GetMapName(0), "GuiLCDMap_1");
  EXPECT_TRUE(host::SharedBlock::InUse("GuiLCDMap_1"));
  EXPECT_TRUE(host::SharedBlock::InUse("GuiGlobalMap"));
  SIM_ExitHost();
  EXPECT_FALSE(host::SharedBlock::InUse("GuiLCDMap_1"));
  EXPECT_FALSE(host::SharedBlock::InUse("GuiGlobalMap"));
}

TEST(LcdSharedMemory, StartFailsWhenEveryNameIsTaken) {
  lcdtest::UsePrivateSharedNames();
  std::vector<std::unique_ptr<host::SharedBlock>> taken;
  std::string err;
  taken.push_back(host::SharedBlock::Create("GuiLCDMap", 16, 0, &err));
  for (int k = 1; k <= 99; ++k) taken.push_back(host::SharedBlock::Create("GuiLCDMap_" + std::to_string(k), 16, 0, &err));
  SIM_ShowErrorBoxes(0);
  SIM_ClearLog();
  EXPECT_EQ(SIM_InitHost(), 1);
  EXPECT_STREQ(LCDSIM_GetMapName(0), "");
  EXPECT_NE(SIM_GetLog().find("GuiLCDMap_99 are in use"), std::string::npos);
  SIM_ExitHost();
  std::filesystem::remove("SimError.log");  // written by the error path in the current folder
}

TEST(LcdSharedMemory, ServerDataWithoutABlockFails) {
  lcdtest::UsePrivateSharedNames();
  GUI_Init();
  EXPECT_STREQ(LCDSIM_InitServerData(), "Could not alloc Server data ...");
  GUI_Exit();
}

}  // namespace
