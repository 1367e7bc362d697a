#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "opui/op_services.h"
#include "opui_fixture.h"
#include "runtime/fb_store.h"
#include "simlayer/SIM.h"
#include "support/block_page_override.h"

namespace {

// A page with its text screen alone: the page manager's tests need a block page, not the
// controller's.
const OpBlockPage kPlainPage{.screen = 1};

class PageManagerTest : public OpuiTest {
 protected:
  void SetUp() override {
    OpuiTest::SetUp();
    plainPage_.emplace(90, &kPlainPage);
  }
  void TearDown() override {
    plainPage_.reset();
    OpuiTest::TearDown();
  }
  std::optional<ScopedBlockPage> plainPage_;
  static void press(int16_t x, int16_t y) {
    SIM_POINTER_STATE s{x, y, 2};
    SIM_StorePointerState(&s);
  }
  static void release() {
    SIM_POINTER_STATE s{0, 0, 0};
    SIM_StorePointerState(&s);
  }
  // The operating page of a controller block (type 90) is shown.
  static void showBlockPage(uint16_t block) {
    ASSERT_NE(opuitest::makeBlock(block, 90), nullptr);
    ASSERT_EQ(OP_SelectBlockPage(block), 1);
  }
};

TEST_F(PageManagerTest, TouchZonesOfTheTopBar) {
  struct Case {
    int16_t x, y;
    int zone;
  };
  const std::vector<Case> cases = {
      {0, 0, OP_ZONE_LEFT},   {95, 0, OP_ZONE_LEFT},    {96, 0, OP_ZONE_NONE},
      {224, 0, OP_ZONE_NONE}, {225, 0, OP_ZONE_MIDDLE}, {287, 0, OP_ZONE_MIDDLE},
      {288, 0, OP_ZONE_NONE}, {289, 0, OP_ZONE_RIGHT},  {319, 31, OP_ZONE_RIGHT},
      {10, 32, OP_ZONE_NONE},
  };
  for (const Case& c : cases) {
    press(c.x, c.y);
    OP_ReadKeysAndPointer();
    EXPECT_EQ(FW_GetTouchZone(), c.zone) << c.x << "," << c.y;
    // The firmware's touch mark takes the same position.
    EXPECT_EQ(OpTouchPressed, 1u);
    EXPECT_EQ(OpTouchX, c.x);
    EXPECT_EQ(OpTouchY, c.y);
  }
  release();
  OP_ReadKeysAndPointer();
  EXPECT_EQ(FW_GetTouchZone(), OP_ZONE_NONE);
}

TEST_F(PageManagerTest, PointerIgnoredWhileAKeyIsDownOrAWindowIsOpen) {
  press(10, 10);
  g_opDeviceState.keyCode = OP_KEY_ENTER;
  OP_ReadKeysAndPointer();
  EXPECT_EQ(g_opInput.pointer.state, OP_POINTER_KEY);
  EXPECT_EQ(FW_GetTouchZone(), OP_ZONE_NONE);
  EXPECT_EQ(g_opInput.inputActive, 1);
  g_opDeviceState.keyCode = 0;
  OP_ReadKeysAndPointer();
  EXPECT_EQ(FW_GetTouchZone(), OP_ZONE_LEFT);
  g_opOverlay.nesting = 1;
  EXPECT_EQ(FW_GetTouchZone(), OP_ZONE_NONE);
}

TEST_F(PageManagerTest, OpenOverlayClearsTheKeyMask) {
  g_opOverlay.flag = 1;
  g_opDeviceState.keyCode = OP_KEY_DOWN;
  OP_ReadKeysAndPointer();
  EXPECT_EQ(g_opInput.keyMask, 0u);
  EXPECT_EQ(g_opInput.inputActive, 1);
}

// Holding the exit key goes home in exactly the 30th cycle of the press, once.
TEST_F(PageManagerTest, HomeKeyAfterThirtyCyclesOnce) {
  OP_ResetUi();
  showBlockPage(150);
  std::vector<int> homeCycles;
  for (int n = 1; n <= 60; ++n) {
    g_opPage.current = OP_BlockPageProc;
    g_opPage.pageId = OP_PAGE_BLOCK;
    cycle(OP_KEY_EXIT);
    if (g_opPage.current == OP_MenuPageProc) homeCycles.push_back(n);
  }
  EXPECT_EQ(homeCycles, std::vector<int>{30});
}

TEST_F(PageManagerTest, LanguageChangeRebuildsTheMainMenuStateChangeDoesNot) {
  OP_ResetUi();
  showBlockPage(150);
  g_opPage.current = OP_BlockPageProc;
  g_opPage.pageId = OP_PAGE_MAIN_MENU;
  g_opDeviceState.operatingState = 2;
  cycle(0);
  EXPECT_EQ(g_opPage.current, OP_BlockPageProc);  // a state change alone on the main menu
  EXPECT_EQ(g_opPage.lastOnline, 1);
  g_fwImage[FW_IMG_LANGUAGE] = 1;
  cycle(0);
  EXPECT_EQ(g_opPage.current, OP_MenuPageProc);
  EXPECT_EQ(g_opPage.lastLanguage, 1);
  // Elsewhere the state change counts.
  g_opPage.current = OP_BlockPageProc;
  g_opPage.pageId = OP_PAGE_BLOCK;
  g_opDeviceState.operatingState = 1;
  cycle(0);
  EXPECT_EQ(g_opPage.current, OP_MenuPageProc);
}

TEST_F(PageManagerTest, EngineeringLockChangeResetsABlockPage) {
  OP_ResetUi();
  showBlockPage(150);
  g_opPage.current = OP_BlockPageProc;
  g_opPage.pageId = OP_PAGE_BLOCK;
  g_fwImage[38] = 0x02;
  cycle(0);
  EXPECT_EQ(g_opPage.current, OP_MenuPageProc);
  EXPECT_EQ(g_opPage.lastEngBit, 1);
}

// A block page whose operating page is switched off goes back to the default page.
TEST_F(PageManagerTest, SwitchedOffBlockPageIsLeft) {
  OP_ResetUi();
  showBlockPage(150);
  uint8_t pageRecord[6] = {};
  g_fbStore.list[150].pageData = pageRecord;
  g_opPage.current = OP_BlockPageProc;
  g_opPage.pageId = OP_PAGE_BLOCK;
  g_opPage.currentBlock = 150;
  cycle(0);
  EXPECT_EQ(g_opPage.current, OP_BlockPageProc);
  pageRecord[0] = 1;
  cycle(0);
  EXPECT_EQ(g_opPage.current, OP_MenuPageProc);
  g_fbStore.list[150].pageData = nullptr;
}

// While the idle screen is shown, keys reach no page.
TEST_F(PageManagerTest, IdleScreenSwallowsKeys) {
  OP_ResetUi();
  OpIdleShown = 1;
  for (int n = 0; n < 3; ++n) cycle(OP_KEY_ENTER);
  EXPECT_EQ(g_opKeys.holdEnter, 0);
  EXPECT_EQ(g_opInput.inputActive, 1);
  OpIdleShown = 0;
  cycle(OP_KEY_ENTER);
  EXPECT_EQ(g_opKeys.holdEnter, 1);
}

int g_actionCalls;
int countingAction() {
  ++g_actionCalls;
  return 7;
}
int g_pageCalls;
int countingPage() {
  ++g_pageCalls;
  return 0;
}

// A requested action runs in the next cycle; the two cycles after it call no page procedure.
TEST_F(PageManagerTest, PendingActionDefersThePage) {
  OP_ResetUi();
  g_actionCalls = g_pageCalls = 0;
  g_opPage.current = countingPage;
  EXPECT_EQ(OP_RequestPageAction(countingAction), 0);
  EXPECT_EQ(g_actionCalls, 0);
  std::vector<int> pageCalls;
  for (int n = 0; n < 4; ++n) {
    cycle(0);
    pageCalls.push_back(g_pageCalls);
  }
  EXPECT_EQ(g_actionCalls, 1);
  EXPECT_EQ(pageCalls, (std::vector<int>{0, 0, 0, 1}));
  // Requested while one runs: at once.
  g_opPending.pending = 1;
  EXPECT_EQ(OP_RequestPageAction(countingAction), 7);
  EXPECT_EQ(g_actionCalls, 2);
}

TEST_F(PageManagerTest, TouchWindowClosesAfterThreeHundredIdleCycles) {
  OP_ResetUi();
  g_opOverlay.nesting = 1;
  for (int n = 0; n < 299; ++n) cycle(0);
  EXPECT_EQ(g_opOverlay.nesting, 1);
  cycle(OP_KEY_DOWN);  // input starts the time again
  for (int n = 0; n < 299; ++n) cycle(0);
  EXPECT_EQ(g_opOverlay.nesting, 1);
  cycle(0);
  EXPECT_EQ(g_opOverlay.nesting, 0);
}

TEST_F(PageManagerTest, PublishesTheShownBlock) {
  OP_ResetUi();
  showBlockPage(120);
  g_opPage.current = OP_BlockPageProc;
  g_opPage.currentBlock = 120;
  cycle(0);
  EXPECT_EQ(OP_GetPublishedBlock(), 120);
  EXPECT_EQ(OpShownPageBlock, 120);
  g_opPage.current = OP_MenuPageProc;
  g_opPage.pageId = OP_PAGE_PUBLISH;
  // The menu shown stays as it is built (a new build would take the main menu's page id).
  g_opMenu.buildStep = OP_STEP_SUFFIX + 1;
  cycle(0);
  EXPECT_EQ(OP_GetPublishedBlock(), 120);
  EXPECT_EQ(OpShownPageBlock, 0);
  g_opPage.pageId = OP_PAGE_MAIN_MENU;
  cycle(0);
  EXPECT_EQ(OP_GetPublishedBlock(), 0);
}

}  // namespace
