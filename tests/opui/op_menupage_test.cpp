// The menu page procedure: building a menu over the cycles, the title with its state
// suffix, the cursor keys, enter and exit, the watched states that show the main menu or
// the operating pages, the value editor on a row, the jumps through the operating-pages
// list, and the menu screen as it is drawn.
#include <gtest/gtest.h>

#include "fakes/fake_comm.h"
#include "menupage_fixture.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_sysimage.h"

namespace {

// The main menu's title: "Hauptmenü" padded to 21 characters and the state suffix.
TEST_F(MenuPageTest, MainMenuTitleCarriesTheStateSuffix) {
  struct Case {
    uint16_t state, runMode;
    const char* suffix;
  };
  const Case cases[] = {
      {1, FW_RUN_MODE_STOP, "(off)"},
      {2, FW_RUN_MODE_RUN, "     "},
      {2, FW_RUN_MODE_STOP, "wait!"},
      {1, FW_RUN_MODE_RUN, "wait!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.suffix);
    g_opDeviceState.operatingState = c.state;
    g_fwRunMode = c.runMode;
    OP_PageEnter(0);
    settle();
    EXPECT_EQ(title(), std::string("Hauptmen\xFC") + std::string(12, ' ') + c.suffix);
    EXPECT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
  }
}

// A menu is built over the cycles: the title, the touch list, ten rows a cycle, then the
// title with its suffix; 31 items take the steps 2..5.
TEST_F(MenuPageTest, AMenuOf31ItemsFillsTheListInFourCycles) {
  TestMenu menu(31, 2400);
  OP_MenuShow(&menu.header);
  cycle(0);
  EXPECT_EQ(g_opMenu.buildStep, OP_STEP_LIST);
  cycle(0);
  EXPECT_EQ(g_opMenu.buildStep, OP_STEP_FILL);
  EXPECT_EQ(listEntries(), 0);
  std::vector<int> filled;
  for (int i = 0; i < 4; ++i) {
    cycle(0);
    filled.push_back(listEntries());
  }
  EXPECT_EQ(filled, (std::vector<int>{10, 20, 30, 31}));
  EXPECT_EQ(g_opMenu.buildStep, OP_STEP_SUFFIX);
  EXPECT_EQ(g_opPage.pageId, 2400);
  EXPECT_EQ(listEntry(30), FW_GetText(FW_TXT_INFO));
  // The text rows hold the window of the first rows, the cursor's highlighted.
  EXPECT_STREQ(g_opMenuRows.items[0].text, FW_GetText(FW_TXT_INFO));
  EXPECT_EQ(g_opMenuRows.items[0].colors[0], OP_ROW_HIGHLIGHT);
  EXPECT_EQ(g_opMenuRows.items[1].colors[0], OP_ROW_NORMAL);
  EXPECT_EQ(LISTBOX_GetSel(OP_TouchListBox()), 0);
}

// A list longer than eight steps of rows goes on filling: no row is lost.
TEST_F(MenuPageTest, AListOfMoreThan80RowsIsFilledToItsEnd) {
  TestMenu menu(95, 2400);
  OP_MenuShow(&menu.header);
  settle();
  EXPECT_EQ(listEntries(), 95);
}

// With the device online and no key, the main menu turns to the operating pages once, 40
// cycles after the page manager's counter was cleared; a key within them keeps the menu.
TEST_F(MenuPageTest, OnlineTheOperatingPagesOpenOnceAfter40IdleCycles) {
  struct Case {
    int keyAt;       // cycle of a key press, -1 none
    int opensAt;     // cycle in which the list is shown, -1 never
  };
  for (const Case c : {Case{-1, 41}, Case{30, -1}}) {
    SCOPED_TRACE(c.keyAt);
    loadEngineering();
    setOnline(true);
    OP_ResetUi();
    std::vector<int> opened;
    uint16_t before = g_opPage.pageId;
    for (int n = 1; n <= 200; ++n) {
      cycle(n == c.keyAt ? OP_KEY_UP : 0);
      if (g_opPage.pageId == OP_PAGE_OPERATING && before != OP_PAGE_OPERATING) opened.push_back(n);
      before = g_opPage.pageId;
      // Back at the main menu, where the list does not open again.
      if (n == 60 && g_opPage.pageId == OP_PAGE_OPERATING) tap(OP_KEY_EXIT);
    }
    EXPECT_EQ(opened, c.opensAt < 0 ? std::vector<int>{} : std::vector<int>{c.opensAt});
    EXPECT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
  }
}

// With a block that has an operating page, the automatic switch opens the block's page.
TEST_F(MenuPageTest, TheAutomaticSwitchOpensTheFirstOperatingPage) {
  loadEngineering();
  setOnline(true);
  pageBlock(150, 96);
  OP_ResetUi();
  run(45);
  EXPECT_EQ(g_opPage.current, &OP_BlockPageProc);
  EXPECT_EQ(g_opPage.currentBlock, 150);
}

// On the last item a held down key does not wrap, a new press goes to the first item; the
// up key held moves one item per cycle from the eighth cycle (every fourth on page 20).
TEST_F(MenuPageTest, CursorKeysWrapOnlyOnANewPressAndRepeatWhenHeld) {
  settle();
  ASSERT_EQ(OP_MenuItemCount(), 5);
  for (int i = 0; i < 4; ++i) tap(OP_KEY_DOWN);
  EXPECT_EQ(g_opMenu.index, 4);
  run(20, OP_KEY_DOWN);
  EXPECT_EQ(g_opMenu.index, 4);
  cycle(0);
  cycle(OP_KEY_DOWN);
  EXPECT_EQ(g_opMenu.index, 0);
  EXPECT_EQ(g_opMenuRows.items[0].colors[0], OP_ROW_HIGHLIGHT);
  EXPECT_EQ(g_opMenuRows.items[4].colors[0], OP_ROW_NORMAL);
  EXPECT_EQ(LISTBOX_GetSel(OP_TouchListBox()), 0);
  run(2, 0);

  struct Case {
    uint16_t pageId;
    std::vector<int> movesAt;   // cycles of holding in which the cursor moves
  };
  const Case cases[] = {
      {2400, {1, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
      {OP_PAGE_PUBLISH, {1, 8, 12, 16}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pageId);
    TestMenu menu(40, c.pageId, FW_TXT_INFO);
    OP_MenuShow(&menu.header);
    settle();
    // From the last item upwards.
    g_opMenu.cursor = g_opMenu.last;
    g_opMenu.index = 39;
    std::vector<int> moves;
    int before = g_opMenu.index;
    for (int n = 1; n <= 16; ++n) {
      cycle(OP_KEY_UP);
      if (g_opMenu.index != before) moves.push_back(n);
      before = g_opMenu.index;
    }
    EXPECT_EQ(moves, c.movesAt);
    run(3, 0);
  }
}

// Moving skips the empty items; the text rows follow the cursor beyond the visible rows.
TEST_F(MenuPageTest, TheCursorSkipsEmptyItemsAndTheRowsFollowIt) {
  OP_MenuShow(&g_opInfoMenu);
  settle();
  // The Info menu starts on its last item ("mehr...").
  EXPECT_EQ(g_opMenu.index, 7);
  tap(OP_KEY_DOWN);
  EXPECT_EQ(g_opMenu.index, 0);
  for (int i = 0; i < 3; ++i) tap(OP_KEY_DOWN);
  EXPECT_EQ(g_opMenu.index, 4);   // item 4 is empty
  tap(OP_KEY_DOWN);
  tap(OP_KEY_DOWN);
  EXPECT_EQ(g_opMenu.index, 7);   // and item 7

  TestMenu menu(30, 2400);
  OP_MenuShow(&menu.header);
  settle();
  for (int i = 0; i < 12; ++i) tap(OP_KEY_DOWN);
  EXPECT_EQ(g_opMenu.index, 12);
  EXPECT_EQ(g_opMenuPage.rowTop, 12 - OP_MENU_VISIBLE_ROWS + 1);
  EXPECT_EQ(g_opMenuRows.items[12 - g_opMenuPage.rowTop].colors[0], OP_ROW_HIGHLIGHT);
  for (int i = 0; i < 12; ++i) tap(OP_KEY_UP);
  EXPECT_EQ(g_opMenuPage.rowTop, 0);
  EXPECT_EQ(g_opMenuRows.items[0].colors[0], OP_ROW_HIGHLIGHT);
}

// Enter shows a sub-menu, exit goes back; the end item acts as the exit key; a minute
// without a key parks the cursor.
TEST_F(MenuPageTest, EnterExitAndTheParkedCursor) {
  g_fwImage[FW_SYS_ORDER_DIGITS + 2] = '1';
  settle();
  for (int i = 0; i < 4; ++i) tap(OP_KEY_DOWN);
  tap(OP_KEY_ENTER);   // "Einstellungen"
  settle();
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_DEVICE_SETTINGS);
  EXPECT_EQ(g_opMenu.depth, 1);
  // Info is a sub-menu.
  for (int i = 0; i < 4; ++i) tap(OP_KEY_DOWN);
  ASSERT_EQ(g_opMenu.cursor->textId, FW_TXT_INFO);
  tap(OP_KEY_ENTER);
  settle();
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_INFO);
  tap(OP_KEY_EXIT);
  settle();
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_DEVICE_SETTINGS);
  EXPECT_EQ(g_opMenu.cursor->textId, FW_TXT_INFO);
  tap(OP_KEY_EXIT);
  settle();
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
  EXPECT_EQ(g_opMenu.depth, 0);
  // At depth 0 the exit key does nothing.
  tap(OP_KEY_EXIT);
  EXPECT_EQ(g_opMenu.header, &g_opMainMenu);
  // An empty list's "Ende" item goes back like the exit key.
  setOnline(true);
  loadEngineering();
  run(2);
  while (g_opMenu.index != 0) tap(OP_KEY_UP);
  tap(OP_KEY_ENTER);
  settle();
  ASSERT_EQ(g_opPage.pageId, OP_PAGE_OPERATING);
  ASSERT_EQ(g_opMenu.cursor->textId, FW_TXT_END);
  tap(OP_KEY_ENTER);
  settle();
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
  // Parked after a minute without a key: no highlight, no selection; a key unparks.
  run(OP_PARK_IDLE + 1);
  EXPECT_EQ(g_opMenuPage.parked, 1);
  EXPECT_EQ(g_opMenuRows.items[g_opMenu.index].colors[0], OP_ROW_NORMAL);
  EXPECT_EQ(LISTBOX_GetSel(OP_TouchListBox()), -1);
  tap(OP_KEY_DOWN);
  EXPECT_EQ(g_opMenuPage.parked, 0);
  EXPECT_EQ(g_opMenuRows.items[g_opMenu.index].colors[0], OP_ROW_HIGHLIGHT);
}

// The date and time menu edits a field on its row; the clock counts as set when the menu is
// left after a change.
TEST_F(MenuPageTest, AValueItemIsEditedOnItsRow) {
  OP_MenuDateTime();
  settle();
  ASSERT_EQ(g_opPage.pageId, OP_PAGE_DATE_TIME);
  tap(OP_KEY_DOWN);   // the month
  tap(OP_KEY_ENTER);
  EXPECT_EQ(g_opMenuPage.editing, 1);
  EXPECT_TRUE(OP_EditActive());
  EXPECT_EQ(g_opEdit.text, g_opMenuRows.items[1].text + 17);
  // The keypad: enter takes the value shown.
  run(2);
  EXPECT_NE(g_opEdit.window, 0);
  tap(OP_KEY_ENTER);
  run(3);
  EXPECT_EQ(g_opMenuPage.editing, 0);
  EXPECT_EQ(g_opMenuPage.clockChanged, 1);
  EXPECT_EQ(g_opMenuRows.items[1].colors[0], OP_ROW_HIGHLIGHT);
  g_fwClock.wasSet = 0;
  tap(OP_KEY_EXIT);
  EXPECT_EQ(g_fwClock.wasSet, 1);
  EXPECT_EQ(g_opMenuPage.clockChanged, 0);
}

// A change of the operating state shows the main menu of the new state; the logo touch
// online shows the operating pages.
TEST_F(MenuPageTest, TheOperatingStateAndTheLogoTouchShowTheirMenus) {
  settle();
  OP_MenuDeviceSettings();
  settle();
  ASSERT_EQ(g_opPage.pageId, OP_PAGE_DEVICE_SETTINGS);
  setOnline(true);
  run(3);
  EXPECT_EQ(g_opMenu.header, &g_opMainMenu);
  EXPECT_EQ(g_opMenu.depth, 0);
  loadEngineering();
  touch(20, 10);
  settle();
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_OPERATING);
  EXPECT_EQ(g_opMenu.depth, 1);
}

// A jump of a block page to another block passes through the operating-pages list: the
// target is opened, the list item left is the way back; a target not listed ends the jump.
TEST_F(MenuPageTest, BlockJumpsOpenTheTargetThroughTheList) {
  loadEngineering();
  setOnline(true);
  pageBlock(150, 96);
  pageBlock(160, 96);
  OP_ResetUi();
  OP_PageEnter(1);
  settle();
  ASSERT_EQ(g_opPage.pageId, OP_PAGE_OPERATING);
  ASSERT_EQ(g_opMenu.cursor->sub, 150);
  g_opJump.targetA = 160;
  g_opJump.returnA = 150;
  cycle(0);
  EXPECT_EQ(g_opPage.current, &OP_BlockPageProc);
  EXPECT_EQ(g_opPage.currentBlock, 160);
  EXPECT_EQ(g_opJump.targetA, 0);
  EXPECT_EQ(g_opJump.flags & OP_JUMP_VIA_A, OP_JUMP_VIA_A);
  EXPECT_EQ(g_opJump.pendingReturn, 150);

  g_opPage.current = OP_MenuPageProc;
  OP_PageEnter(1);
  settle();
  g_opJump = OpJumpRecord{};
  g_opJump.targetB = 999;
  g_opJump.flags = OP_JUMP_B_FIRST;
  cycle(0);
  EXPECT_EQ(g_opPage.current, &OP_MenuPageProc);
  EXPECT_EQ(g_opJump.flags, 0);
  EXPECT_EQ(g_opJump.targetB, 0);
  EXPECT_EQ(g_opJump.pendingReturn, 0);
}

// Back at the operating-pages list after a menu: the block left becomes the current block.
TEST_F(MenuPageTest, TheListTakesBackThePendingReturnBlock) {
  loadEngineering();
  setOnline(true);
  pageBlock(150, 96);
  pageBlock(160, 96);
  OP_ResetUi();
  OP_PageEnter(1);
  settle();
  g_opJump.pendingReturn = 160;
  cycle(0);
  settle();
  EXPECT_EQ(g_opJump.pendingReturn, 0);
  EXPECT_EQ(g_opMenu.cursor->sub, 160);
}

// The operating-pages list is built anew when a listed block's page is switched off.
TEST_F(MenuPageTest, AHiddenPageRebuildsTheOperatingPagesList) {
  loadEngineering();
  setOnline(true);
  pageBlock(150, 96);
  pageBlock(160, 96);
  OP_ResetUi();
  OP_PageEnter(1);
  settle();
  ASSERT_EQ(OP_MenuItemCount(), 2);
  record(160).header.hide = 1;
  run(OP_REBUILD_DELAY + 5);
  settle();
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_OPERATING);
  EXPECT_EQ(OP_MenuItemCount(), 1);
  EXPECT_EQ(g_opMenu.cursor->sub, 150);
}

// The main menu with its touch list as the display shows it.
TEST_F(MenuPageTest, MainMenuScreen) {
  g_fwClock.now.hour = 12;
  g_fwClock.now.minute = 34;
  loadEngineering();
  settle();
  tap(OP_KEY_DOWN);
  run(3);
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "main_menu"));
}

// The device settings menu in French: the capitals' accents ("Étalonnage") are whole.
TEST_F(MenuPageTest, FrenchDeviceSettingsShowWholeAccents) {
  g_fwClock.now.hour = 12;
  g_fwClock.now.minute = 34;
  loadEngineering();
  OP_LinkImage()[FW_IMG_LANGUAGE] = 2;
  FW_BindLanguageByte(&OP_LinkImage()[FW_IMG_LANGUAGE]);
  FW_SelectTextLanguage();
  settle();
  for (int i = 0; i < 8 && g_opMenu.cursor && g_opMenu.cursor->textId != FW_TXT_DEVICE_SETTINGS; ++i) tap(OP_KEY_DOWN);
  tap(OP_KEY_ENTER);
  settle();
  ASSERT_EQ(g_opMenu.pageId, OP_PAGE_DEVICE_SETTINGS);
  bool calibration = false;
  for (int i = 0; i < listEntries(); ++i) calibration |= listEntry(i) == "\xC9talonnage";
  EXPECT_TRUE(calibration);
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "device_settings_french"));
  OP_LinkImage()[FW_IMG_LANGUAGE] = 0;
  FW_BindLanguageByte(nullptr);
  FW_SelectTextLanguageByte(0);
}

}  // namespace
