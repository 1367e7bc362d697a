// The list pages: block lists by kind and their pages of 51 records, the items that open a
// block, the value lists, the settings menu without engineering, the service lists, the page
// enter, and the rotating title.
#include <gtest/gtest.h>

#include <set>

#include "fakes/fake_comm.h"
#include "menupage_fixture.h"
#include "runtime/fb_values.h"
#include "runtime/fw_sysimage.h"

namespace {

class ListTest : public MenuPageTest {
 protected:
  // Builds the list of a kind as its main-menu item does.
  static void buildList(uint16_t kind) {
    static OpMenuItem item;
    item = opmenu::handlerItem(kind, 0, OP_MenuOpenList);
    g_opMenu.cursor = &item;
    OP_BuildBlockList();
  }
  static int records(int page) { return g_opListPages.pages[page]->capacity + 1; }
  static const OpMenuItem& itemOf(int page, int i) { return g_opListPages.pages[page]->items[i]; }
};

// 49 blocks fit one page; the 50th starts a second page headed by "[ previous page ]"; the
// pages for all 1950 blocks hold 51 records at most each.
TEST_F(ListTest, ListsArePagesOf51Records) {
  struct Case {
    int blocks;
    int pages;
  };
  for (const Case c : {Case{49, 1}, Case{50, 2}, Case{97, 2}, Case{98, 3}, Case{FB_MAX_BLOCK, 41}}) {
    SCOPED_TRACE(c.blocks);
    FB_ClearStore();
    for (int b = 1; b <= c.blocks; ++b) opuitest::makeBlock(static_cast<uint16_t>(b), 100);
    OP_PageEnter(0);
    buildList(OP_PAGE_SIGNALS);
    ASSERT_EQ(g_opListPages.count, c.pages);
    int listed = 0;
    for (int p = 0; p < c.pages; ++p) {
      EXPECT_LE(records(p), OP_LIST_PAGE_RECORDS);
      const int n = g_opListPages.pages[p]->capacity;
      const bool last = p == c.pages - 1;
      if (p > 0) {
        EXPECT_EQ(itemOf(p, 0).pageProc, &OP_MenuPrevPage);
      }
      if (!last) {
        EXPECT_EQ(itemOf(p, n - 1).pageProc, &OP_MenuNextPage);
      }
      EXPECT_TRUE(itemOf(p, n - 1).flags & OP_MENU_LAST);
      for (int i = 0; i < n; ++i) listed += (itemOf(p, i).flags & OP_MENU_BLOCK) ? 1 : 0;
    }
    EXPECT_EQ(listed, c.blocks);
    EXPECT_EQ(g_opListState.itemsListed, c.blocks);
  }
  // The paging records step through the pages.
  OP_MenuShow(g_opListPages.pages[0]);
  g_opMenu.cursor = g_opMenu.last;
  OP_MenuNextPage();
  EXPECT_EQ(g_opMenu.header, g_opListPages.pages[1]);
}

// Which blocks each kind lists, and with which handler.
TEST_F(ListTest, EachKindListsItsBlocks) {
  pageBlock(41, 109);              // an alarm block: last on the operating pages
  pageBlock(150, 96);              // a value page
  pageBlock(160, 96);
  record(160).header.hide = 1;     // switched off
  pageBlock(170, 19);              // calibration only
  pageBlock(180, 129);
  opuitest::makeBlock(200, 100);   // no page record
  struct Case {
    uint16_t kind;
    std::vector<uint16_t> blocks;
    OpMenuHandler handler;
  };
  const std::vector<Case> cases = {
      {OP_PAGE_OPERATING, {150, 180, 41}, OP_OpenListedBlock},
      {OP_PAGE_CALIBRATION, {170, 180}, OP_OpenCalibrationBlock},
      {OP_PAGE_SIGNALS, {41, 150, 160, 170, 180, 200}, OP_OpenSignalList},
      {OP_PAGE_CONFIGURATION, {41, 150, 160, 170, 180, 200}, OP_OpenConfigList},
      {OP_PAGE_PARAMETER, {}, OP_OpenParamList},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    OP_PageEnter(0);
    buildList(c.kind);
    std::vector<uint16_t> listed;
    for (int i = 0; i < OP_MenuItemCount(); ++i) {
      const OpMenuItem* item = OP_MenuItemAt(i);
      if (!(item->flags & OP_MENU_BLOCK)) continue;
      listed.push_back(item->sub);
      EXPECT_EQ(item->pageProc, c.handler);
    }
    EXPECT_EQ(listed, c.blocks);
    EXPECT_EQ(g_opPage.pageId, c.kind);
    EXPECT_EQ(g_opMenu.depth, 1);
    if (c.blocks.empty()) {
      EXPECT_EQ(OP_MenuItemAt(0)->textId, FW_TXT_END);
    }
  }
  // The change detector holds the hidden block's page record too.
  OP_PageEnter(0);
  buildList(OP_PAGE_OPERATING);
  EXPECT_EQ(g_opListState.detectorCount, 4);
  EXPECT_EQ(g_opListState.detector[4].record, nullptr);
}

// The list shows the page of the current block with the cursor on it; a block without
// items gives the empty item of the no-engineering condition.
TEST_F(ListTest, TheCursorGoesToTheCurrentBlock) {
  for (int b = 100; b < 160; ++b) pageBlock(static_cast<uint16_t>(b), 96);
  g_opPage.currentBlock = 155;
  buildList(OP_PAGE_OPERATING);
  EXPECT_EQ(g_opListPages.index, 1);
  EXPECT_EQ(g_opMenu.header, g_opListPages.pages[1]);
  EXPECT_EQ(g_opMenu.cursor->sub, 155);

  FB_ClearStore();
  g_fwImage[FW_SYS_FLAGS38] = 0x04;   // no engineering
  buildList(OP_PAGE_OPERATING);
  ASSERT_EQ(OP_MenuItemCount(), 1);
  EXPECT_EQ(OP_MenuItemAt(0)->textId, FW_TXT_EMPTY);
}

// A full navigation stack takes no more levels; the list is still shown.
TEST_F(ListTest, AListAtDepth10IsShownWithoutAWayBack) {
  pageBlock(150, 96);
  OP_PageEnter(0);
  for (int i = 0; i < OP_MENU_DEPTH; ++i) ASSERT_EQ(OP_MenuPush(), 1);
  buildList(OP_PAGE_OPERATING);
  EXPECT_EQ(g_opMenu.depth, OP_MENU_DEPTH);
  EXPECT_EQ(g_opMenu.header, g_opListPages.pages[0]);
  EXPECT_EQ(g_opMenu.cursor->sub, 150);
}

// A listed block opens its page: a VPARA block its parameter list on page 20 of the menu
// page, a VUSER block its block page with its view asked open, others their block page.
TEST_F(ListTest, AListedBlockOpensItsPage) {
  loadEngineering();
  pageBlock(150, FB_TYPE_VPARA);
  pageBlock(160, OP_TYPE_USER_PAGE);
  pageBlock(170, 96);
  OP_PageEnter(0);
  buildList(OP_PAGE_OPERATING);
  ASSERT_EQ(OP_MenuItemCount(), 3);

  g_opMenu.cursor = OP_MenuItemAt(0);
  OP_OpenListedBlock();
  EXPECT_EQ(g_opPage.current, &OP_MenuPageProc);
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_PUBLISH);
  EXPECT_EQ(title(), "Tag             ");
  settle();
  EXPECT_EQ(g_opMenu.header, &g_fbValueLists.header);
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_PUBLISH);
  EXPECT_EQ(g_opPage.currentBlock, 150);

  OP_PageEnter(0);
  buildList(OP_PAGE_OPERATING);
  g_opMenu.cursor = OP_MenuItemAt(1);
  EXPECT_EQ(OP_OpenListedBlock(), 1);
  EXPECT_EQ(g_opDeviceState.viewOpened, 160);
  EXPECT_EQ(g_opPage.current, &OP_BlockPageProc);

  g_opPage.current = OP_MenuPageProc;
  OP_PageEnter(0);
  buildList(OP_PAGE_OPERATING);
  g_opMenu.cursor = OP_MenuItemAt(2);
  EXPECT_EQ(OP_OpenListedBlock(), 1);
  EXPECT_EQ(g_opPage.current, &OP_BlockPageProc);
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_BLOCK);
  EXPECT_EQ(g_opPage.currentBlock, 170);
}

// The value lists of a block: their title row, the page id, the list of the runtime.
TEST_F(ListTest, ValueListsOfABlock) {
  opuitest::makeBlock(150, 100);
  struct Case {
    OpMenuHandler open;
    uint16_t pageId;
    const char* kind;
  };
  const Case cases[] = {
      {OP_OpenParamList, OP_PAGE_PARAM_LIST, "Parameter"},
      {OP_OpenSignalList, OP_PAGE_SIGNAL_LIST, "I/O-Daten"},
      {OP_OpenConfigList, OP_PAGE_CONFIG_LIST, "Konfigur."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    OP_PageEnter(0);
    static OpMenuItem item;
    item = opmenu::handlerItem(150, FW_TXT_INFO, c.open, OP_MENU_BLOCK);
    g_opMenu.cursor = &item;
    c.open();
    EXPECT_EQ(title(), std::string("150: Info   ") + c.kind);
    settle();
    EXPECT_EQ(g_opMenu.header, &g_fbValueLists.header);
    EXPECT_EQ(g_opPage.pageId, c.pageId);
    EXPECT_EQ(g_opMenu.depth, 1);
    EXPECT_EQ(title(), std::string("150: Info   ") + c.kind);
  }
  // The device data: block 0's list with its title, and the Ethernet line's page.
  g_fwImage[FW_SYS_ORDER_DIGITS + 2] = '1';
  OP_PageEnter(0);
  OP_MenuDeviceData();
  settle();
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_DEVICE_DATA);
  EXPECT_EQ(title().substr(0, 11), "Ger\xE4tedaten");
  EXPECT_EQ(g_opMenu.last->pageProc, &OP_OpenEthernetPage);
}

// Without engineering the main menu is the settings menu, filtered by the communication
// option.
TEST_F(ListTest, TheSettingsMenuFollowsTheCommunicationOption) {
  struct Case {
    char option;
    bool can, profibus, profinet;
  };
  for (const Case c : {Case{'0', false, false, false}, Case{'3', true, true, false}, Case{'4', true, false, true}}) {
    SCOPED_TRACE(c.option);
    g_fwImage[FW_SYS_ORDER_DIGITS + 2] = static_cast<uint8_t>(c.option);
    g_fwImage[FW_SYS_FLAGS38] = 0x04;
    OP_PageEnter(0);
    std::set<uint16_t> ids;
    for (int i = 0; i < OP_MenuItemCount(); ++i) ids.insert(OP_MenuItemAt(i)->sub);
    EXPECT_EQ(ids.count(OP_PAGE_STATUS_CAN), c.can ? 1u : 0u);
    EXPECT_EQ(ids.count(OP_PAGE_PROFIBUS), c.profibus ? 1u : 0u);
    EXPECT_EQ(ids.count(OP_PAGE_PROFINET), c.profinet ? 1u : 0u);
    EXPECT_EQ(g_opMenu.last->textId, FW_TXT_END);
    EXPECT_EQ(g_opMenu.cursor, g_opMenu.last);
  }
}

// The service lists: what the SD and USB menus offer by run mode, the update question, the
// SD file list, the CAN nodes that can be reset.
TEST_F(ListTest, ServiceListsByRunModeAndNodes) {
  auto texts = [] {
    std::vector<uint16_t> t;
    for (int i = 0; i < OP_MenuItemCount(); ++i) t.push_back(OP_MenuItemAt(i)->textId);
    return t;
  };
  struct Case {
    OpMenuHandler show;
    uint16_t runMode;
    uint16_t pageId;
    std::vector<uint16_t> texts;
  };
  const std::vector<Case> cases = {
      {OP_ShowSdEngineering, FW_RUN_MODE_STOP, OP_PAGE_SD_ENGINEERING, {FW_TXT_LOAD_ENGINEERING, FW_TXT_SAVE_ENGINEERING}},
      {OP_ShowSdEngineering, FW_RUN_MODE_RUN, OP_PAGE_SD_ENGINEERING, {FW_TXT_SAVE_ENGINEERING}},
      {OP_ShowUsbLogo, FW_RUN_MODE_STOP, OP_PAGE_USB_LOGO, {FW_TXT_LOAD_START_LOGO, FW_TXT_LOAD_CUSTOM_LOGO}},
      {OP_ShowUsbLogo, FW_RUN_MODE_RUN, OP_PAGE_USB_LOGO, {FW_TXT_LOAD_CUSTOM_LOGO}},
      {OP_ShowUsbUpdate, FW_RUN_MODE_RUN, OP_PAGE_USB_UPDATE, {FW_TXT_ARE_YOU_SURE, FW_TXT_YES}},
      {OP_ShowSdFileList, FW_RUN_MODE_STOP, OP_PAGE_SD_FILES, {FW_TXT_NO_FILES}},
      {OP_ShowCanResetList, FW_RUN_MODE_STOP, OP_PAGE_CAN_RESET_LIST, {FW_TXT_NO_DEVICE}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pageId);
    g_fwRunMode = c.runMode;
    OP_PageEnter(0);
    c.show();
    EXPECT_EQ(g_opPage.pageId, c.pageId);
    EXPECT_EQ(texts(), c.texts);
    EXPECT_EQ(g_opMenu.depth, 1);
  }
  // Nodes in the states 6..9 can be reset.
  TheFakeComm().reset();
  TheFakeComm().canNodes.nodes[3].state = 6;
  TheFakeComm().canNodes.nodes[9].state = 9;
  TheFakeComm().canNodes.nodes[10].state = 5;
  OP_PageEnter(0);
  OP_ShowCanResetList();
  ASSERT_EQ(OP_MenuItemCount(), 2);
  EXPECT_EQ(OP_MenuItemAt(0)->sub, 3);
  EXPECT_EQ(OP_MenuItemAt(1)->sub, 9);
  EXPECT_EQ(OP_MenuItemAt(1)->submenu, &g_opCanResetMenu);
}

// The page enter: the main menu at depth 0, the jump flags cleared in mode 0 only, mode 1
// shows the operating-pages list.
TEST_F(ListTest, PageEnterResetsTheMenus) {
  pageBlock(150, 96);
  OP_MenuDeviceSettings();
  g_opJump.flags = OP_JUMP_VIA_A;
  g_opJump.targetA = 150;
  OP_PageEnter(2);
  EXPECT_EQ(g_opMenu.header, &g_opMainMenu);
  EXPECT_EQ(g_opMenu.depth, 0);
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
  EXPECT_EQ(g_opJump.targetA, 150);
  OP_PageEnter(1);
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_OPERATING);
  EXPECT_EQ(g_opMenu.depth, 1);
  EXPECT_EQ(g_opJump.targetA, 150);
  OP_PageEnter(0);
  EXPECT_EQ(g_opJump.targetA, 0);
  EXPECT_EQ(g_opJump.flags, 0);
}

// The rotating title of the operating-pages list: every 50th cycle the next text of block
// 97 that is shown, after the last the page's title again; a hidden record ends it.
TEST_F(ListTest, TheTitleRotatesThroughTheShownTexts) {
  loadEngineering();
  setOnline(true);
  pageBlock(150, 96);
  pageBlock(OP_INFO_BLOCK, 100, OP_TYPE_INFO);
  OpInfoPageRecord& info = record(OP_INFO_BLOCK);
  std::memcpy(info.texts[1], "Second text     ", 16);
  std::memcpy(info.texts[4], "Fifth text 16chr", 16);
  info.shown[1] = info.shown[4] = 1;
  OP_ResetUi();
  OP_PageEnter(1);
  settle();
  const std::string pageTitle = g_opPageTitle.text;
  const std::string mark(4, '\xA0');
  std::vector<std::string> titles;
  for (int i = 0; i < 3; ++i) {
    run(50);
    titles.push_back(title());
  }
  EXPECT_EQ(titles[0], mark + " Second text     ");
  EXPECT_EQ(titles[1], mark + " Fifth text 16chr");
  EXPECT_EQ(titles[2].substr(0, pageTitle.size()), pageTitle);
  info.header.hide = 1;
  for (int n = 0; n < 50; ++n) OP_RotateTitleText();
  EXPECT_EQ(g_opListState.rotateIndex, 0);
}

}  // namespace
