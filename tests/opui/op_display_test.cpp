#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "gui/draw/GUI_Draw.h"
#include "gui/picture_builders.h"
#include "opui/op_services.h"
#include "opui_fixture.h"
#include "runtime/fw_clock.h"

namespace {

constexpr uint32_t kRed565 = 0xF800;
constexpr uint32_t kWhite565 = 0xFFFF;

using DisplayTest = OpuiTest;

TEST_F(DisplayTest, SoftkeyMarksSitUnderTheKeys) {
  const uint32_t before = pixel(261, 238);
  OP_MarkSoftkey(4, 1);
  OP_UpdateDisplay();
  for (int y = 238; y <= 239; ++y) {
    EXPECT_EQ(pixel(262, y), kRed565);
    EXPECT_EQ(pixel(319, y), kRed565);
    EXPECT_EQ(pixel(261, y), before);
  }
  EXPECT_NE(pixel(262, 237), kRed565);
  OP_MarkSoftkey(0, 1);
  OP_UpdateDisplay();
  EXPECT_EQ(pixel(30, 239), kRed565);
  EXPECT_EQ(pixel(87, 239), kRed565);
  EXPECT_NE(pixel(88, 239), kRed565);
  OP_MarkSoftkey(0, 0);
  OP_UpdateDisplay();
  EXPECT_EQ(pixel(30, 239), GUI_Color2Index(g_opDisplay.screenBackground));
}

// The key reader marks the key that is down, only with an engineering loaded.
TEST_F(DisplayTest, KeyReaderDrawsTheMarks) {
  g_opDeviceState.keyCode = OP_KEY_EXIT;  // second key from the left
  OP_ReadKeysAndPointer();
  OP_UpdateDisplay();
  EXPECT_NE(pixel(100, 239), kRed565);
  std::memcpy(g_fwImage, FW_IMAGE_TAG, 4);
  OP_ReadKeysAndPointer();
  OP_UpdateDisplay();
  EXPECT_EQ(pixel(100, 239), kRed565);
  EXPECT_NE(pixel(40, 239), kRed565);
  g_opDeviceState.keyCode = 0;
  OP_ReadKeysAndPointer();
  OP_UpdateDisplay();
  EXPECT_NE(pixel(100, 239), kRed565);
}

TEST_F(DisplayTest, NoKeyScreen) {
  GUI_SetBkColor(0xFFFFFF);
  GUI_Clear();
  OP_ShowNoKey();
  EXPECT_EQ(pixel(0, 0), kWhite565);
  EXPECT_EQ(pixel(319, 239), kWhite565);
  EXPECT_EQ(pixel(319, 0), kWhite565);
  EXPECT_EQ(pixel(1, 1), 0u);
  EXPECT_EQ(pixel(318, 238), 0u);
}

TEST_F(DisplayTest, TouchPointIsClampedToTheScreen) {
  OP_ShowTouchPoint(400, -5);
  EXPECT_EQ(pixel(319, 239), kRed565);
  EXPECT_EQ(pixel(300, 239), kRed565);
  EXPECT_EQ(pixel(100, 100), 0u);
  OP_ShowTouchPoint(60, 70);
  EXPECT_EQ(pixel(60, 70), kRed565);
  EXPECT_EQ(pixel(319, 239), 0u);
}

TEST_F(DisplayTest, KeyTestClampsItsColours) {
  OP_ShowKeyTest(0x1000000, 0x1000000, "Key", 16, 500);
  EXPECT_EQ(pixel(5, 5), kWhite565);
  // The text is drawn in black.
  int dark = 0;
  for (int y = 100; y < 132; ++y)
    for (int x = 100; x < 160; ++x) dark += pixel(x, y) == 0;
  EXPECT_GT(dark, 20);
}

TEST_F(DisplayTest, ColourCodes) {
  for (int i = 0; i < 10; ++i) g_opDeviceState.screenColors[i] = 0x010101 * (i + 1);
  g_opDisplay.screenBackground = 0x123456;
  g_opDisplay.statusColor = 0x654321;
  struct Case {
    int code;
    GUI_COLOR colour;
  };
  const std::vector<Case> cases = {
      {242, 0x000000}, {243, 0xFFFFFF}, {244, 0x123456}, {245, 0x654321}, {246, 0x010101},
      {250, 0x050505}, {251, 0x060606}, {0, 0x060606},   {241, 0x060606}, {252, 0x070707},
      {254, 0x090909}, {255, 0x0A0A0A},
  };
  for (const Case& c : cases) EXPECT_EQ(OP_ColorFromCode(c.code), c.colour) << c.code;
}

TEST_F(DisplayTest, BarLayout) {
  struct Case {
    int g, kind;
    OpRect in, out;
  };
  const OpRect h{10, 20, 100, 10}, v{10, 20, 10, 100};
  const std::vector<Case> cases = {
      {500, OP_ROW_MARKER, h, {60, 20, 1, 10}},
      {500, OP_ROW_BAR_FILLED, h, {10, 20, 49, 10}},
      {500, OP_ROW_BAR_REST, h, {62, 20, 48, 10}},
      {0, OP_ROW_MARKER, h, {10, 20, 0, 10}},
      {0, OP_ROW_BAR_FILLED, h, {10, 20, 0, 10}},
      {0, OP_ROW_BAR_REST, h, h},
      {1000, OP_ROW_MARKER, h, {10, 20, 0, 10}},
      {1000, OP_ROW_BAR_FILLED, h, h},
      {1000, OP_ROW_BAR_REST, h, {10, 20, 0, 10}},
      {20, OP_ROW_MARKER, h, {10, 20, 0, 10}},   // within 2 pixels of the left end
      {970, OP_ROW_MARKER, h, {10, 20, 0, 10}},  // within 3 pixels of the right end
      {500, OP_ROW_MARKER_V, v, {10, 69, 10, 1}},
      {500, OP_ROW_BAR_FILLED_V, v, {10, 71, 10, 49}},
      {500, OP_ROW_BAR_REST_V, v, {10, 20, 10, 48}},
      {0, OP_ROW_BAR_FILLED_V, v, {10, 20, 10, 0}},
      {0, OP_ROW_BAR_REST_V, v, v},
      {1000, OP_ROW_BAR_FILLED_V, v, v},
      {1000, OP_ROW_BAR_REST_V, v, {10, 20, 10, 0}},
  };
  for (const Case& c : cases) {
    const OpRect r = OP_LayoutBar(c.g, c.kind, c.in);
    EXPECT_EQ((std::vector<int>{r.x, r.y, r.xSize, r.ySize}),
              (std::vector<int>{c.out.x, c.out.y, c.out.xSize, c.out.ySize}))
        << "g " << c.g << " kind " << c.kind;
  }
}

TEST_F(DisplayTest, TrendStripY) {
  struct Case {
    int v, mode, y;
  };
  const std::vector<Case> cases = {
      {0, 0, 211},   {1000, 0, 60},  {500, 0, 136}, {-5, 0, 211}, {-5, 1, 211},
      {1001, 0, 61}, {1001, 7, 61},  {0, 1, 212},   {100, 1, 152}, {1000, 1, 60},
  };
  for (const Case& c : cases) EXPECT_EQ(OP_TrendStripY(c.v, c.mode), c.y) << c.v << " mode " << c.mode;
}

// The strip's curve takes the row's colour code, its bottom line the screen foreground.
TEST_F(DisplayTest, TrendStripBottomLineInTheForeground) {
  static const int16_t ring[4] = {500, 500, 500, 500};
  OpTextScreen& s = g_opTextScreen;
  s.type = 1;
  s.count = 0;
  s.trendRing = ring;
  s.trendRingSize = 4;
  s.trendCount = 4;
  s.trendNewest = 3;
  s.trendDrawnIndex = 0;
  s.trendMode = 0;
  s.trendColor = OP_CC_WHITE;
  g_opDeviceState.screenColors[5] = 0x00FF00;   // slot 6, the foreground
  OP_DrawTextScreen(0);
  OP_UpdateDisplay();
  EXPECT_EQ(pixel(100, 212), GUI_Color2Index(0x00FF00));
  EXPECT_EQ(pixel(252, 136), GUI_Color2Index(0xFFFFFF));
  s.trendRing = nullptr;
}

TEST_F(DisplayTest, ShowTextScreenPreparesAtMostTheTemplateRows) {
  EXPECT_EQ(OP_ShowTextScreen(7, 0), 2);
  EXPECT_EQ(g_opTextScreen.count, 9);  // title and eight item rows, then the end mark
  EXPECT_EQ(OP_ShowTextScreen(7, 3), 2);
  EXPECT_EQ(g_opTextScreen.count, 3);
  EXPECT_EQ(OP_ShowTextScreen(7, 1), 1);
  EXPECT_EQ(g_opTextScreen.count, 1);
  EXPECT_EQ(OP_ShowTextScreen(0, 0), 2);  // no such type: no rows
  EXPECT_EQ(g_opTextScreen.count, 0);
}

TEST_F(DisplayTest, RendererDrawsOnlyChangedRows) {
  std::strcpy(g_opMenuRows.title.text, "Menu");
  std::strcpy(g_opMenuRows.items[0].text, "First");
  std::strcpy(g_opMenuRows.items[1].text, "Second");
  std::memset(g_opMenuRows.items[1].colors, OP_ROW_HIGHLIGHT, OP_ROW_CHARS);
  // As the menu page does it: the title with a full redraw, then the changed rows.
  OP_ShowTextScreen(7, 1);
  // The touch list that covers the item rows is hidden, so that the rows show.
  if (g_opTouchList) WM_HideWindow(g_opTouchList);
  g_opMenuRows.items[0].changed = g_opMenuRows.items[1].changed = 1;
  OP_ShowTextScreen(7, 0);
  OP_UpdateDisplay();
  const GUI_COLOR fg = OP_ColorFromCode(OP_CC_FOREGROUND);
  // The highlighted row is filled in the foreground colour.
  EXPECT_EQ(pixel(318, 60 + 22 + 1), GUI_Color2Index(fg));
  EXPECT_EQ(pixel(318, 60 + 1), GUI_Color2Index(g_opDisplay.screenBackground));
  // A row drawn over by hand in the body stays until it is marked changed.
  const GUI_MEMDEV_Handle previous = OP_GfxSelectDevice(g_opDisplay.bodyDev > 0 ? g_opDisplay.bodyDev : 0);
  GUI_SetColor(0x00FF00);
  GUI_FillRect(300, 60, 319, 81);
  OP_GfxSelectDevice(previous);
  OP_DrawTextScreen(0);
  OP_UpdateDisplay();
  EXPECT_EQ(pixel(318, 61), GUI_Color2Index(0x00FF00));
  g_opMenuRows.items[0].changed = 1;
  OP_DrawTextScreen(0);
  OP_UpdateDisplay();
  EXPECT_EQ(pixel(318, 61), GUI_Color2Index(g_opDisplay.screenBackground));
  EXPECT_EQ(g_opMenuRows.items[0].changed, 0);
}

// A user logo the decoder rejects is dropped for good: the custom-logo bits go, once, in RAM
// and through one EEPROM write; the start-logo bits stay; it is not decoded again.
TEST_F(DisplayTest, CorruptUserLogoDroppedOnce) {
  g_fwImage[FW_IMG_PICTURE_FLAGS] = 0x60 | 0x05;
  std::memcpy(g_fwInternalEeprom, "GIF8 but broken", 15);
  for (int n = 0; n < 5; ++n) OP_UpdateDisplay();
  EXPECT_EQ(queuedWrites(), 1);
  EXPECT_EQ(g_fwEeprom.main.entries[0].address, FW_IMG_PICTURE_FLAGS);
  EXPECT_EQ(g_fwEeprom.main.entries[0].remaining, 1u);
  EXPECT_EQ(g_fwImage[FW_IMG_PICTURE_FLAGS], 0x05);
  EXPECT_EQ(g_opDisplay.logoDecodes, 1u);
  EXPECT_EQ(g_opDisplay.userLogo, 0);
  // Even with the flags set again in this run, the logo is not tried again.
  g_fwImage[FW_IMG_PICTURE_FLAGS] = 0x65;
  for (int n = 0; n < 3; ++n) OP_UpdateDisplay();
  EXPECT_EQ(g_opDisplay.logoDecodes, 1u);
  EXPECT_EQ(queuedWrites(), 1);
}

// A bad key-icon table drops the key icons of this run only: the user logo's picture flags
// stay as they are, in RAM and in the EEPROM.
TEST_F(DisplayTest, KeyIconTableOutsideTheAreaDropsTheIcons) {
  g_fwImage[FW_IMG_PICTURE_FLAGS] = 0x65;
  const pictest::Bytes logo = pictest::Gif(4, 4, {0x000000, 0xFFFFFF}, {{0, 0, 4, 4, std::vector<uint8_t>(16, 1)}});
  std::memcpy(g_fwInternalEeprom, logo.data(), logo.size());
  uint8_t* table = g_fwInternalEeprom + OP_ICON_TABLE_OFFSET;
  const uint16_t offsets[9] = {3200, 3300, 3400, 3500, 3600, 3700, 3800, 3900, 9000};
  for (int j = 0; j < 9; ++j) {
    table[2 * j] = static_cast<uint8_t>(offsets[j]);
    table[2 * j + 1] = static_cast<uint8_t>(offsets[j] >> 8);
  }
  for (int j = 0; j < 8; ++j) std::memcpy(g_fwInternalEeprom + offsets[j], "GIF89a\x20\x00\x20\x00", 10);
  OP_UpdateDisplay();
  EXPECT_EQ(g_opDisplay.userIcons, 0);
  EXPECT_EQ(g_opDisplay.userIconsDropped, 1);
  OP_UpdateDisplay();
  EXPECT_EQ(g_fwImage[FW_IMG_PICTURE_FLAGS], 0x65);
  EXPECT_EQ(queuedWrites(), 0);
  EXPECT_EQ(g_opDisplay.userLogo, 1);
}

TEST_F(DisplayTest, ClockFieldBlankRules) {
  g_fwClock.now.hour = 7;
  g_fwClock.now.minute = 5;
  OP_UpdateDisplay();
  const GUI_COLOR text = OP_ColorFromCode(OP_CC_TOPBAR_TEXT);
  auto clockInk = [&] {
    int n = 0;
    for (int y = 0; y < 34; ++y)
      for (int x = 225; x < 288; ++x) n += pixel(x, y) == GUI_Color2Index(text);
    return n;
  };
  EXPECT_GT(clockInk(), 10);
  // The field is filled in the top-bar background from x 224 on, over the bar's full height.
  g_opDeviceState.screenColors[8] = 0x00FF00;
  OP_UpdateDisplay();
  EXPECT_EQ(pixel(OP_CLOCK_X, OP_TOPBAR_HEIGHT - 1), GUI_Color2Index(0x00FF00));
  g_opDeviceState.screenColors[8] = 0;
  g_opDeviceState.displayState = 4;
  OP_UpdateDisplay();
  EXPECT_EQ(clockInk(), 0);
  g_opDeviceState.serviceState = 1;
  OP_UpdateDisplay();
  EXPECT_GT(clockInk(), 10);
  // After the uptime the clock shows only once it was set.
  g_opDeviceState.serviceState = 0;
  g_opDeviceState.displayState = 0;
  g_opDisplay.uptime = OP_UPTIME_LIMIT + 1;
  g_opDisplay.uptimeFlag = 1;
  OP_UpdateDisplay();
  EXPECT_EQ(clockInk(), 0);
  g_fwClock.wasSet = 1;
  OP_UpdateDisplay();
  EXPECT_GT(clockInk(), 10);
}

TEST_F(DisplayTest, TheStartUpPassClearsTheDisplayCounters) {
  g_opDisplay.uptime = OP_UPTIME_LIMIT + 1;
  g_opDisplay.uptimeFlag = 1;
  OP_ClearDisplayCounters();
  EXPECT_EQ(g_opDisplay.uptime, 0);
  EXPECT_EQ(g_opDisplay.uptimeFlag, 0);
}

TEST_F(DisplayTest, UptimeFlagAfterEighteenHundredUpdates) {
  for (int n = 0; n < 1801; ++n) OP_UpdateDisplay();
  EXPECT_EQ(g_opDisplay.uptimeFlag, 0);
  OP_UpdateDisplay();
  EXPECT_EQ(g_opDisplay.uptimeFlag, 1);
}

TEST_F(DisplayTest, StartScreen) {
  OP_ShowStartupLogo();
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "start_screen"));
  ASSERT_GE(g_fwStepCodes.writeIndex, 3);
  const int w = g_fwStepCodes.writeIndex;
  EXPECT_EQ(g_fwStepCodes.entries[w - 3].code, 61);
  EXPECT_EQ(g_fwStepCodes.entries[w - 1].code, 63);
}

// Without engineering a stored start-logo state is cleared and queued; the built-in logo shows.
TEST_F(DisplayTest, StartLogoWithoutEngineeringClearsTheStartBits) {
  g_fwImage[FW_IMG_PICTURE_FLAGS] = 0x25;
  OP_ShowStartupLogo();
  EXPECT_EQ(g_fwImage[FW_IMG_PICTURE_FLAGS], 0x20);
  EXPECT_EQ(queuedWrites(), 1);
  EXPECT_EQ(g_fwStepCodes.entries[g_fwStepCodes.writeIndex - 1].code, 63);
}

// With an engineering and picture-flag bit 2 the stored start picture is shown instead of the
// built-in logo.
TEST_F(DisplayTest, StoredStartPictureReplacesTheBuiltInLogo) {
  std::memcpy(g_fwImage, FW_IMAGE_TAG, 4);
  g_fwImage[FW_IMG_PICTURE_FLAGS] = 0x06;  // GIF, use the stored start logo
  static const uint8_t gif[] = {'G', 'I', 'F', '8', '9', 'a', 64, 0, 32, 0, 0, 0, 0};
  OP_SetStartPicture(gif, sizeof gif);
  OP_ShowStartupLogo();
  std::vector<int> codes;
  for (int i = 0; i < g_fwStepCodes.writeIndex; ++i) codes.push_back(g_fwStepCodes.entries[i].code);
  EXPECT_EQ(codes, (std::vector<int>{61, 71, 62}));
  EXPECT_EQ(g_opDisplay.userPictureFlag, 1);
  EXPECT_EQ(pixel(5, 100), 0u);  // no built-in logo
  EXPECT_EQ(queuedWrites(), 0);
}

TEST_F(DisplayTest, MenuScreen) {
  g_fwClock.now.hour = 12;
  g_fwClock.now.minute = 34;
  std::strcpy(g_opMenuRows.title.text, "Hauptmen\xFC");
  const char* items[] = {"Bedienseiten", "Ger\xE4teeinstellungen", "Info", "Online / Offline"};
  for (int i = 0; i < 4; ++i) std::strcpy(g_opMenuRows.items[i].text, items[i]);
  std::memset(g_opMenuRows.items[1].colors, OP_ROW_HIGHLIGHT, OP_ROW_CHARS - 1);
  OP_ShowTextScreen(7, 1);
  for (int i = 0; i < 4; ++i) g_opMenuRows.items[i].changed = 1;
  OP_ShowTextScreen(7, 0);
  OP_MarkSoftkey(3, 1);
  OP_UpdateDisplay();
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "menu_screen"));
}

}  // namespace

namespace {
// With the display windows made, the page drawing still reaches the display.
TEST_F(DisplayTest, DrawingThroughTheDisplayWindows) {
  std::memcpy(g_fwImage, FW_IMAGE_TAG, 4);
  OP_ResetUi();
  ASSERT_TRUE(OP_WinExists(g_opDisplay.topBar));
  ASSERT_TRUE(OP_WinExists(g_opDisplay.body));
  cycle(0);          // the menu page draws its screen
  cycle(OP_KEY_UP);  // fourth key from the left
  EXPECT_EQ(pixel(210, 239), kRed565);
  EXPECT_EQ(pixel(20, 239), GUI_Color2Index(g_opDisplay.screenBackground));
  // The key icons of the top bar.
  EXPECT_EQ(pixel(96 + 4, 4), kWhite565);
  cycle(0);
  EXPECT_NE(pixel(210, 239), kRed565);
}
}  // namespace

namespace {
using TextScreenTest = OpuiTest;

// Every screen type prepares its whole table, up to and including the row with the end mark,
// and every row stays inside the body below the top bar.
TEST_F(TextScreenTest, EveryTypePreparesItsTableInsideTheBody) {
  struct Case {
    int type;
    int rows;
  };
  const Case cases[] = {{1, 17}, {2, 16}, {3, 15}, {4, 15}, {5, 14}, {6, 2}, {7, 9}, {8, 9}, {9, 9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    OP_ShowTextScreen(c.type, 1);
    EXPECT_EQ(OP_ShowTextScreen(c.type, 0), 2);
    ASSERT_EQ(g_opTextScreen.count, c.rows);
    const OpRowTemplate* table = g_opScreenTemplates[c.type];
    for (int i = 0; i < c.rows; ++i) {
      const OpRowTemplate& t = table[i];
      EXPECT_EQ(g_opTextScreen.rows[i].tmpl, &t);
      EXPECT_EQ(t.end, i == c.rows - 1 ? 1 : 0) << "row " << i;
      EXPECT_GE(t.x, 0) << "row " << i;
      EXPECT_GE(t.y, 34) << "row " << i;
      EXPECT_LE(t.x + t.xSize, 320) << "row " << i;
      EXPECT_LE(t.y + t.ySize, 240) << "row " << i;
      EXPECT_TRUE(t.source || t.text || t.permille || t.kind == OP_ROW_BOX || t.kind == OP_ROW_TEXT);
    }
    // A smaller count stops early.
    OP_ShowTextScreen(c.type, 2);
    EXPECT_EQ(g_opTextScreen.count, 2);
  }
}

// The trend screen marks its first four rows as the vertical bar and its frame in the screen
// background only when it redraws its rows; the table itself stays as it is.
TEST_F(TextScreenTest, TrendScreenMarksItsBarOnARowRedraw) {
  g_opPageRows.bars[0] = 500;
  OP_ShowTextScreen(5, 0);  // full draw: redraw state was 0
  for (int i = 0; i < 4; ++i) EXPECT_EQ(g_opTextScreen.rows[i].kind, OP_ROW_TEXT) << i;
  EXPECT_EQ(g_opTextScreen.rows[OP_TREND_FRAME_ROW].fg, OP_CC_FOREGROUND);
  EXPECT_EQ(g_opTextScreen.rows[OP_TREND_FRAME_ROW].kind, OP_ROW_BOX);
  OP_ShowTextScreen(5, 0);  // rows only
  const uint8_t kinds[4] = {OP_ROW_BOX_V, OP_ROW_MARKER_V, OP_ROW_BAR_FILLED_V, OP_ROW_BAR_REST_V};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(g_opTextScreen.rows[i].kind, kinds[i]) << i;
  EXPECT_EQ(g_opTextScreen.rows[OP_TREND_FRAME_ROW].fg, 250);
  EXPECT_EQ(g_opScreenTemplates[5][0].kind, OP_ROW_TEXT);
  EXPECT_EQ(g_opScreenTemplates[5][OP_TREND_FRAME_ROW].fg, OP_CC_FOREGROUND);
  // The marked column is drawn as a bar: the filled part (x 298..315) from its value up.
  OP_UpdateDisplay();
  const uint32_t fg = GUI_Color2Index(OP_ColorFromCode(OP_CC_FOREGROUND));
  EXPECT_EQ(pixel(306, 200), fg);
  EXPECT_NE(pixel(306, 80), fg);
  // Other screen types are not marked.
  OP_ShowTextScreen(1, 0);
  EXPECT_EQ(g_opTextScreen.rows[0].tmpl, &g_opScreenTemplates[1][0]);
  EXPECT_EQ(g_opTextScreen.rows[0].kind, OP_ROW_TEXT);
}

// Bars of the bar screens are laid out from their per-mille values and drawn in the
// foreground, the rest of the frame in the background.
TEST_F(TextScreenTest, BarScreensDrawTheirBars) {
  const uint32_t fg = GUI_Color2Index(OP_ColorFromCode(OP_CC_FOREGROUND));
  g_opPageRows.bars[0] = 500;
  g_opPageRows.bars[1] = 250;
  OP_ShowTextScreen(4, 0);  // a full draw of the whole screen
  // Horizontal bar 1 in x 6..313: filled up to x 6 + 154 - 2, the rest from x 6 + 156.
  EXPECT_EQ(g_opTextScreen.rows[5].rect.xSize, 153);
  OP_UpdateDisplay();
  const uint32_t bg = GUI_Color2Index(g_opDisplay.screenBackground);
  EXPECT_EQ(pixel(100, 105), fg);
  EXPECT_EQ(pixel(158, 105), fg);
  EXPECT_EQ(pixel(160, 105), bg);
  EXPECT_EQ(pixel(200, 105), bg);
  EXPECT_EQ(pixel(4, 92), fg);  // the frame
  // Vertical bar 1 in y 110..231: the filled part from its middle down.
  OP_ShowTextScreen(3, 1);
  OP_ShowTextScreen(3, 0);
  OP_UpdateDisplay();
  EXPECT_EQ(pixel(80, 200), fg);
  EXPECT_EQ(pixel(80, 130), bg);
  // A bar whose value moved is drawn again on a rows-only redraw.
  g_opPageRows.bars[0] = 900;
  OP_DrawTextScreen(0);
  OP_UpdateDisplay();
  EXPECT_EQ(pixel(80, 130), fg);
}

// A value beyond the bar's limits shows the out-of-range symbol at the bar's start, no bar.
TEST_F(TextScreenTest, BarBeyondItsLimitsShowsNoBar) {
  const uint32_t fg = GUI_Color2Index(OP_ColorFromCode(OP_CC_FOREGROUND));
  g_opPageRows.bars[0] = 1200;
  OP_ShowTextScreen(4, 0);
  OP_UpdateDisplay();
  int lit = 0;
  for (int x = 60; x < 310; ++x) lit += pixel(x, 105) == fg;
  EXPECT_EQ(lit, 0);
}

// The multi-line screen draws its text line by line, 12 pixels apart.
TEST_F(TextScreenTest, MultiLineScreenDrawsEachLine) {
  std::strcpy(g_opPageRows.rows[0].text, "Erste\n\nDritte");
  OP_ShowTextScreen(6, 0);
  OP_UpdateDisplay();
  const uint32_t bg = GUI_Color2Index(g_opDisplay.screenBackground);
  auto inkIn = [&](int y0, int y1) {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
      for (int x = 0; x < 120; ++x) n += pixel(x, y) != bg;
    return n;
  };
  EXPECT_GT(inkIn(60, 71), 0);
  EXPECT_GT(inkIn(84, 95), 0);
  EXPECT_EQ(inkIn(110, 235), 0);  // nothing after the third line
}

// On the alarm screen a row's colour byte 1, 2 or 3 turns the page red, blue or green.
TEST_F(TextScreenTest, AlarmRowColourSetsThePageColour) {
  struct Case {
    uint8_t colour;
    GUI_COLOR page;
  };
  const Case cases[] = {{1, 0x0000FF}, {2, 0xFF0000}, {3, 0x00FF00}};
  for (const Case& c : cases) {
    std::strcpy(g_opPageRows.rows[0].text, "11 : Alarm");
    g_opPageRows.rows[0].colors[0] = c.colour;
    g_opPageRows.rows[0].changed = 1;
    OP_ShowTextScreen(9, 1);
    OP_ShowTextScreen(9, 0);
    EXPECT_EQ(g_opDisplay.pageColor, c.page) << int{c.colour};
  }
}

// The controller overview and the vertical bar page as they appear on the display.
TEST_F(TextScreenTest, ControllerScreen) {
  g_fwClock.now.hour = 8;
  g_fwClock.now.minute = 5;
  std::strcpy(g_opPageRows.title.text, "Regler 1");
  const char* texts[] = {"P1", "  120.5", "  118.2", "Man.  ", "W  Grw ", "\xB0" "C", " Slave",
                         "", "", "Y =  42.0 %", "W", "X"};
  for (int i = 0; i < 12; ++i) std::strcpy(g_opPageRows.rows[i].text, texts[i]);
  g_opPageRows.bars[0] = 420;
  g_opPageRows.bars[1] = 700;
  OP_ShowTextScreen(1, 0);
  OP_UpdateDisplay();
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "controller_screen"));
}

TEST_F(TextScreenTest, VerticalBarScreen) {
  std::strcpy(g_opPageRows.title.text, "Tank");
  const char* texts[] = {"Level", "   63.0 %", "Temp.", "   21.4 \xB0" "C"};
  for (int i = 0; i < 4; ++i) std::strcpy(g_opPageRows.rows[i].text, texts[i]);
  const int16_t bars[6] = {630, 214, 800, 200, 500, 100};
  std::memcpy(g_opPageRows.bars, bars, sizeof bars);
  OP_ShowTextScreen(3, 0);
  OP_UpdateDisplay();
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "vertical_bar_screen"));
}
}  // namespace

namespace {
using TopBarIconTest = OpuiTest;

// Brightness of a display pixel (RGB 565), 0..255, and of a colour (0x00BBGGRR).
int brightnessAt(int x, int y) {
  const uint32_t i = LCD_GetPixelIndex(x, y);
  return static_cast<int>((299 * ((i >> 11) << 3) + 587 * (((i >> 5) & 63) << 2) + 114 * ((i & 31) << 3)) / 1000);
}
int brightnessOf(GUI_COLOR c) {
  return static_cast<int>((299 * (c & 0xFF) + 587 * ((c >> 8) & 0xFF) + 114 * ((c >> 16) & 0xFF)) / 1000);
}

// The key icons (one active, one idle) and the lit and the dim alarm icon keep marks that stand
// out on every top-bar background: dark, the factory blue, light grey, white and yellow (a
// white square or a yellow triangle would vanish on the last ones).
TEST_F(TopBarIconTest, IconsStandOutOnEveryTopBarBackground) {
  const GUI_COLOR backgrounds[] = {0x000000, 0x60341C, 0xC0C0C0, 0xFFFFFF, 0x00FFFF, 0xE0F0D8};
  std::memcpy(g_fwImage, FW_IMAGE_TAG, 4);
  OP_ResetUi();
  for (const GUI_COLOR bg : backgrounds) {
    for (const bool lit : {true, false}) {
      SCOPED_TRACE(testing::Message() << std::hex << "top bar 0x" << bg << (lit ? ", alarm lit" : ", alarm dim"));
      g_opDeviceState.screenColors[8] = bg;
      OP_SetIndicator(OP_KEY_INDICATOR_FIRST, OP_ICON_KEY1, 1);
      OP_SetIndicator(OP_KEY_INDICATOR_FIRST + 1, OP_ICON_KEY1 + 1, 0);
      g_opStatusIcon.lit = lit ? 1 : 0;
      OP_ClearTopBar();
      cycle(0);
      const int back = brightnessAt(OP_STATUS_ICON_X - 1, 1);
      ASSERT_LE(std::abs(back - brightnessOf(bg)), 8);
      // Each icon box holds marks that differ clearly from the bar, around and inside its mark.
      for (const int x0 : {96, 128, OP_STATUS_ICON_X}) {
        int marks = 0;
        for (int y = 0; y < OP_ICON_SIZE; ++y)
          for (int x = x0; x < x0 + OP_ICON_SIZE; ++x)
            marks += std::abs(brightnessAt(x, y) - back) >= OP_READABLE_DIM;
        EXPECT_GT(marks, 40) << "icon at x " << x0;
      }
    }
  }
  g_opDeviceState.screenColors[8] = 0;
}
}  // namespace
