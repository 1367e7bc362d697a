// The menus: records and the walk, the navigation stack, the constant tree, the run-time
// menus of the handlers and what the handlers carry out, the touch list.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_comm.h"
#include "opui_fixture.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"
#include "runtime/fw_text.h"
#include "runtime/fw_text_ids.h"

namespace {

class MenuTest : public OpuiTest {
 protected:
  void SetUp() override {
    OpuiTest::SetUp();
    TheFakeComm().reset();
    OP_PageEnter(0);
  }
  static void setCommOption(char digit) { g_fwImage[FW_SYS_ORDER_DIGITS + 2] = static_cast<uint8_t>(digit); }
  // Puts the cursor on the item of the current menu with the text; false when there is none.
  static bool cursorOn(uint16_t textId) {
    for (int i = 0; i < OP_MenuItemCount(); ++i) {
      if (OP_MenuItemAt(i)->textId == textId) {
        g_opMenu.cursor = OP_MenuItemAt(i);
        g_opMenu.index = static_cast<uint16_t>(i);
        return true;
      }
    }
    return false;
  }
  static std::set<uint16_t> itemTexts() {
    std::set<uint16_t> texts;
    for (int i = 0; i < OP_MenuItemCount(); ++i) texts.insert(OP_MenuItemAt(i)->textId);
    return texts;
  }
  // Enters the cursor item as the menu page does: a handler is called, a sub-menu is shown.
  static void enter() {
    const OpMenuItem* item = g_opMenu.cursor;
    ASSERT_NE(item, nullptr);
    if (item->flags & OP_MENU_HANDLER) {
      item->pageProc();
    } else if (item->submenu) {
      OP_MenuPush();
      OP_MenuShow(item->submenu);
    }
  }
  static int postedCalls() { return g_fwDeferredCalls.postPos; }
};

// Every constant and run-time menu, each under the conditions that shape it, ends with
// exactly one last item, at the end of what it holds; every item has a text.
TEST_F(MenuTest, EveryMenuEndsWithExactlyOneLastItem) {
  struct Case {
    const char* name;
    std::function<const OpMenuHeader*()> build;
  };
  auto shown = [](std::function<int()> handler) {
    return [handler] {
      handler();
      return g_opMenu.header;
    };
  };
  auto confirmed = [](uint16_t text) {
    return [text] {
      g_opDeviceState.startLogo = g_opDeviceState.customLogo = 1;
      OP_MenuLogo();
      if (!cursorOn(text)) return static_cast<const OpMenuHeader*>(nullptr);
      OP_MenuConfirm();
      return g_opMenu.header;
    };
  };
  const std::vector<Case> cases = {
      {"main", [] { return &g_opMainMenu; }},
      {"device settings", [] { return &g_opDeviceSettingsMenu; }},
      {"settings", [] { return &g_opSettingsMenu; }},
      {"online", [] { return &g_opOnlineMenu; }},
      {"info", [] { return &g_opInfoMenu; }},
      {"info 2", [] { return &g_opInfo2Menu; }},
      {"profibus", [] { return &g_opProfibusMenu; }},
      {"can reset", [] { return &g_opCanResetMenu; }},
      {"device settings '0'", [] { setCommOption('0'); return OP_BuildDeviceSettingsMenu(); }},
      {"device settings all", [] {
         setCommOption('4');
         g_opDeviceState.sdCard = g_opDeviceState.usbStick = g_opDeviceState.startLogo = 1;
         return OP_BuildDeviceSettingsMenu();
       }},
      {"status io empty", shown(OP_MenuStatusIo)},
      {"status io modules", [] {
         g_opDeviceState.slots[3].moduleType = 2;
         OP_MenuStatusIo();
         return g_opMenu.header;
       }},
      {"status can", shown(OP_MenuStatusCan)},
      {"status can locked", [] {
         g_fwLogin.access = FW_ACCESS_LOCKED;
         OP_MenuStatusCan();
         return g_opMenu.header;
       }},
      {"profinet", shown(OP_MenuStatusProfinet)},
      {"logo without logos", shown(OP_MenuLogo)},
      {"logo both", [] {
         g_opDeviceState.startLogo = g_opDeviceState.customLogo = 1;
         OP_MenuLogo();
         return g_opMenu.header;
       }},
      {"sd", shown(OP_MenuSd)},
      {"usb", shown(OP_MenuUsb)},
      {"usb files", [] {
         g_opDeviceState.usbLogoFile = g_opDeviceState.usbUpdateFile = 1;
         OP_MenuUsb();
         return g_opMenu.header;
       }},
      {"date and time", shown(OP_MenuDateTime)},
      {"progress", confirmed(FW_TXT_USE_NEW_START_LOGO)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_opDeviceState = OpDeviceState{};
    FW_ResetLogin();
    OP_PageEnter(0);
    const OpMenuHeader* h = c.build();
    ASSERT_NE(h, nullptr);
    ASSERT_NE(h->items, nullptr);
    ASSERT_GT(h->capacity, 0);
    EXPECT_EQ(h->flags, OP_MENU_HEADER);
    int lastItems = 0;
    for (uint16_t i = 0; i < h->capacity; ++i) {
      const OpMenuItem& item = h->items[i];
      if (item.flags & OP_MENU_LAST) {
        ++lastItems;
        EXPECT_EQ(i, h->capacity - 1);
      }
      EXPECT_NE(std::string(FW_GetText(item.textId)), FW_GetText(FW_TEXT_COUNT)) << "item " << i;
    }
    EXPECT_EQ(lastItems, 1);
    EXPECT_NE(std::string(FW_GetText(h->textId)), FW_GetText(FW_TEXT_COUNT));
    OP_MenuShow(h);
    EXPECT_EQ(g_opMenu.last, h->items + h->capacity - 1);
  }
}

// The walk never reads beyond the menu: a menu without a last item ends at its capacity,
// and items are looked up inside it.
TEST_F(MenuTest, WalkStaysInsideAMenuWithoutEnd) {
  const OpMenuItem items[3] = {};
  const OpMenuHeader h{OP_MENU_HEADER, 4000, nullptr, 0, FW_TXT_INFO, items, 3};
  ASSERT_EQ(OP_MenuShow(&h), &items[0]);
  EXPECT_EQ(g_opMenu.last, &items[2]);
  EXPECT_EQ(OP_MenuItemCount(), 3);
  EXPECT_EQ(OP_MenuItemAt(99), &items[2]);
  EXPECT_EQ(OP_MenuItemAt(-5), &items[0]);
  const OpMenuHeader empty{OP_MENU_HEADER, 4001, nullptr, 0, 0, items, 0};
  EXPECT_EQ(OP_MenuShow(&empty), nullptr);
  EXPECT_EQ(g_opMenu.header, &h);
}

// Where the cursor starts: Info and PROFIBUS on their last item, the main menu there only
// without an engineering.
TEST_F(MenuTest, CursorStartsOnTheLastItemOfSomeMenus) {
  OP_MenuShow(&g_opInfoMenu);
  EXPECT_EQ(g_opMenu.index, 7);
  EXPECT_EQ(g_opMenu.cursor, g_opMenu.last);
  OP_MenuShow(&g_opProfibusMenu);
  EXPECT_EQ(g_opMenu.index, 3);
  OP_MenuShow(&g_opMainMenu);
  EXPECT_EQ(g_opMenu.index, 0);
  g_fwImage[FW_SYS_FLAGS38] = 0x04;
  OP_MenuShow(&g_opMainMenu);
  EXPECT_EQ(g_opMenu.index, 4);
  g_fwImage[FW_SYS_FLAGS38] = 0;
  g_opDeviceState.serviceState = 1;
  OP_MenuShow(&g_opMainMenu);
  EXPECT_EQ(g_opMenu.index, 4);
}

// The device settings by the communication option, the logos and the media.
TEST_F(MenuTest, DeviceSettingsAreFiltered) {
  struct Case {
    char digit;
    bool can, profinet, profibus;
  };
  const std::vector<Case> cases = {
      {'4', true, true, false},
      {'3', true, false, true},
      {'0', false, false, false},
      {'1', true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.digit);
    setCommOption(c.digit);
    OP_PageEnter(0);
    OP_MenuDeviceSettings();
    EXPECT_EQ(g_opPage.pageId, OP_PAGE_DEVICE_SETTINGS);
    EXPECT_EQ(g_opMenu.depth, 1);
    const std::set<uint16_t> texts = itemTexts();
    EXPECT_EQ(texts.count(FW_TXT_STATUS_CAN), c.can ? 1u : 0u);
    EXPECT_EQ(texts.count(FW_TXT_STATUS_PROFINET), c.profinet ? 1u : 0u);
    EXPECT_EQ(texts.count(FW_TXT_STATUS_PROFIBUS), c.profibus ? 1u : 0u);
    EXPECT_EQ(texts.count(FW_TXT_DATE_TIME), 1u);
    EXPECT_EQ(texts.count(FW_TXT_LOGO) + texts.count(FW_TXT_SD_MENU) + texts.count(FW_TXT_USB_MENU), 0u);
  }
  // A logo is offered while one is stored and the logos are not locked; SD and USB while present.
  g_opDeviceState.customLogo = 1;
  g_opDeviceState.sdCard = 1;
  OP_BuildDeviceSettingsMenu();
  OP_MenuShow(OP_BuildDeviceSettingsMenu());
  EXPECT_EQ(itemTexts().count(FW_TXT_LOGO), 1u);
  EXPECT_EQ(itemTexts().count(FW_TXT_SD_MENU), 1u);
  EXPECT_EQ(itemTexts().count(FW_TXT_USB_MENU), 0u);
  g_opDeviceState.pictureLock = 1;
  OP_MenuShow(OP_BuildDeviceSettingsMenu());
  EXPECT_EQ(itemTexts().count(FW_TXT_LOGO), 0u);
}

// Eleven sub-menus deep: the eleventh is shown, and the way back has ten levels.
TEST_F(MenuTest, NavigationStackHoldsTenLevels) {
  OpMenuItem items[12][1] = {};
  OpMenuHeader menus[12];
  for (int i = 0; i < 12; ++i) {
    items[i][0].flags = OP_MENU_LAST;
    menus[i] = OpMenuHeader{OP_MENU_HEADER, static_cast<uint16_t>(5000 + i), nullptr, 0, 0, items[i], 1};
  }
  OP_MenuShow(&menus[0]);
  for (int i = 1; i <= 11; ++i) {
    EXPECT_EQ(OP_MenuPush(), i <= 10 ? 1 : 0) << i;
    OP_MenuShow(&menus[i]);
  }
  EXPECT_EQ(g_opMenu.header, &menus[11]);
  EXPECT_EQ(g_opMenu.depth, OP_MENU_DEPTH);
  std::vector<uint16_t> back;
  while (OP_MenuPop()) back.push_back(g_opMenu.pageId);
  EXPECT_EQ(back, (std::vector<uint16_t>{5009, 5008, 5007, 5006, 5005, 5004, 5003, 5002, 5001, 5000}));
  EXPECT_EQ(g_opMenu.header, &menus[0]);
  EXPECT_EQ(OP_MenuPop(), 0);
  EXPECT_EQ(g_opMenu.header, &menus[0]);
}

// Online/Offline posts system datum 500 once and goes home; "Offline" is refused while the
// engineering is locked or a transfer runs.
TEST_F(MenuTest, OnlineOfflinePostsTheRequestedState) {
  struct Case {
    uint16_t text;
    bool locked, transfer;
    int value;  // -1: nothing posted
  };
  const std::vector<Case> cases = {
      {FW_TXT_ONLINE_REJECT, false, false, 2}, {FW_TXT_ONLINE_APPLY, false, false, 0},
      {FW_TXT_OFFLINE, false, false, 1},       {FW_TXT_OFFLINE, true, false, -1},
      {FW_TXT_OFFLINE, false, true, -1},       {FW_TXT_ONLINE_REJECT, true, false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FW_ClearDeferredCalls();
    g_fwLogin.access = c.locked ? FW_ACCESS_LOCKED : FW_ACCESS_OPEN;
    g_opDeviceState.configTransfer = c.transfer ? 1 : 0;
    OP_PageEnter(0);
    OP_MenuDeviceSettings();
    ASSERT_TRUE(cursorOn(FW_TXT_ONLINE_OFFLINE));
    enter();
    g_opPage.pageId = OP_PAGE_ONLINE;
    ASSERT_TRUE(cursorOn(c.text));
    enter();
    if (c.value < 0) {
      EXPECT_EQ(postedCalls(), 0);
      EXPECT_EQ(g_opMenu.header, &g_opOnlineMenu);
      continue;
    }
    ASSERT_EQ(postedCalls(), 1);
    const FwDeferredCall& call = g_fwDeferredCalls.entries[0];
    EXPECT_EQ(call.block, 0);
    EXPECT_EQ(call.id, 500);
    EXPECT_EQ(call.data[0], c.value);
    EXPECT_EQ(call.data[1], 0);
    EXPECT_EQ(call.handler, &FW_WriteSystemData);
    // Back on the main page.
    EXPECT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
    EXPECT_EQ(g_opMenu.header, &g_opMainMenu);
    EXPECT_EQ(g_opMenu.depth, 0);
  }
  FW_ClearDeferredCalls();
  OP_RequestOffline();
  ASSERT_EQ(postedCalls(), 1);
  EXPECT_EQ(g_fwDeferredCalls.entries[0].data[0], 0);
}

// The logo items change the picture-flag byte and queue it once; deleting the custom logo
// leaves the start logo's nibble.
TEST_F(MenuTest, LogoItemsChangeThePictureFlags) {
  struct Case {
    uint16_t text;
    uint8_t before, after;
    int request;  // the deletion that is done, -1 none
  };
  const std::vector<Case> cases = {
      {FW_TXT_USE_NEW_START_LOGO, 0x00, 0x04, -1},  {FW_TXT_USE_DEF_START_LOGO, 0xFF, 0xFB, -1},
      {FW_TXT_USE_NEW_CUSTOM_LOGO, 0x00, 0x40, -1}, {FW_TXT_USE_DEF_CUSTOM_LOGO, 0xFF, 0xBF, -1},
      {FW_TXT_DELETE_CUSTOM_LOGO, 0xFF, 0x0F, OP_REQ_DELETE_CUSTOM_LOGO},
      {FW_TXT_DELETE_START_LOGO, 0xFF, 0xF0, OP_REQ_DELETE_START_LOGO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FW_ResetEeprom();
    FW_BindMainEeprom(g_fwImage, sizeof g_fwImage);
    g_opServiceRequests = OpServiceRequests{};
    g_fwImage[FW_IMG_PICTURE_FLAGS] = c.before;
    g_opDeviceState.startLogo = g_opDeviceState.customLogo = 1;
    OP_PageEnter(0);
    OP_MenuLogo();
    EXPECT_EQ(g_opPage.pageId, OP_PAGE_LOGO);
    ASSERT_TRUE(cursorOn(c.text));
    enter();
    EXPECT_EQ(g_fwImage[FW_IMG_PICTURE_FLAGS], c.after);
    ASSERT_EQ(queuedWrites(), 1);
    EXPECT_EQ(g_fwEeprom.main.entries[0].address, FW_IMG_PICTURE_FLAGS);
    EXPECT_EQ(g_fwEeprom.main.entries[0].remaining, 1u);
    if (c.request >= 0) {
      EXPECT_EQ(g_opServiceRequests.state[c.request], OP_REQ_DONE);
    }
    // The progress menu, titled with the item.
    EXPECT_EQ(g_opPage.pageId, OP_PAGE_PROGRESS);
    EXPECT_EQ(g_opMenu.header->textId, c.text);
    EXPECT_EQ(OP_MenuItemCount(), 1);
  }
}

// "Ja" in the reset confirmation of a CAN node hands that node to the bus and goes back
// from the confirmation.
TEST_F(MenuTest, CanResetSelectsTheShownNode) {
  const OpMenuItem list[2] = {
      {0, 5, nullptr, 0, FW_TXT_CAN_RESET, nullptr, nullptr, nullptr, &g_opCanResetMenu},
      {OP_MENU_LAST, 7, nullptr, 0, FW_TXT_CAN_RESET, nullptr, nullptr, nullptr, &g_opCanResetMenu},
  };
  const OpMenuHeader listMenu{OP_MENU_HEADER, OP_PAGE_CAN_RESET_LIST, nullptr, 0,
                              FW_TXT_CAN_NODE_RESET, list, 2};
  OP_MenuPush();
  OP_MenuShow(&listMenu);
  g_opMenu.cursor = &list[1];
  g_opMenu.index = 1;
  enter();
  ASSERT_EQ(g_opMenu.header, &g_opCanResetMenu);
  ASSERT_TRUE(cursorOn(FW_TXT_YES));
  enter();
  EXPECT_EQ(TheFakeComm().log.calls(), std::vector<std::string>{"COM_BusSetAddress(7)"});
  // The progress menu stands where the confirmation was: back from it is the node list.
  EXPECT_EQ(g_opMenu.header->value, OP_PAGE_PROGRESS);
  EXPECT_EQ(g_opMenu.header->textId, FW_TXT_CAN_RESET);
  OP_MenuPop();
  EXPECT_EQ(g_opMenu.header, &listMenu);
  EXPECT_EQ(g_opMenu.cursor, &list[1]);
}

// The service items set their requests on the medium of their menu.
TEST_F(MenuTest, ServiceItemsSetTheirRequests) {
  g_opDeviceState.usbStick = 1;
  OP_MenuUsb();
  ASSERT_TRUE(cursorOn(FW_TXT_DISCONNECT));
  enter();
  EXPECT_EQ(g_opServiceRequests.state[OP_REQ_USB_EJECT], 1);
  EXPECT_EQ(g_opServiceRequests.state[OP_REQ_SD_EJECT], 0);
  // An engineering load from a file list under the SD menu takes the file number.
  OP_PageEnter(0);
  OP_MenuSd();
  const OpMenuItem files[2] = {
      {OP_MENU_HANDLER, 0, nullptr, 0, FW_TXT_LOAD_ENGINEERING, nullptr, OP_MenuConfirm, nullptr, nullptr},
      {OP_MENU_HANDLER | OP_MENU_LAST, 3, nullptr, 0, FW_TXT_EMPTY, nullptr, OP_MenuConfirm, nullptr,
       nullptr},
  };
  const OpMenuHeader engMenu{OP_MENU_HEADER, 2341, nullptr, 0, FW_TXT_SD_ENGINEERING, files, 1};
  const OpMenuHeader fileMenu{OP_MENU_HEADER, 2345, nullptr, 0, FW_TXT_LOAD_ENGINEERING, files + 1, 1};
  OP_MenuPush();
  OP_MenuShow(&engMenu);
  OP_MenuPush();
  OP_MenuShow(&fileMenu);
  enter();
  EXPECT_EQ(g_opServiceRequests.state[OP_REQ_SD_LOAD], 1);
  EXPECT_EQ(g_opServiceRequests.loadFile, 3);
}

// Which lists open in which state.
TEST_F(MenuTest, OpenListFollowsTheStateAndTheLocks) {
  struct Case {
    uint16_t id;
    uint16_t state;
    uint8_t engBits;
    bool locked, transfer, load;
    bool opens;
  };
  const std::vector<Case> cases = {
      {OP_PAGE_OPERATING, 2, 0, false, false, false, true},
      {OP_PAGE_OPERATING, 1, 0, false, false, false, false},
      {OP_PAGE_CALIBRATION, 1, 0, false, false, false, false},
      {OP_PAGE_PARAMETER, 2, 0, false, false, false, true},
      {OP_PAGE_PARAMETER, 1, 0x02, false, false, false, true},
      {OP_PAGE_PARAMETER, 1, 0, false, false, false, false},
      {OP_PAGE_PARAMETER, 2, 0, true, false, false, false},
      {OP_PAGE_PARAMETER, 2, 0, false, true, false, false},
      {OP_PAGE_CONFIGURATION, 2, 0, false, false, true, false},
      {OP_PAGE_CONFIGURATION, 1, 0x02, false, false, false, true},
      {OP_PAGE_SIGNALS, 2, 0, false, false, false, true},
      {OP_PAGE_SIGNALS, 2, 0, true, false, false, false},
      {OP_PAGE_SIGNALS, 1, 0x02, false, false, false, false},
      {4321, 1, 0, true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    OP_ClearPendingAction();
    g_opDeviceState.operatingState = c.state;
    g_fwImage[FW_SYS_FLAGS38] = c.engBits;
    g_fwLogin.access = c.locked ? FW_ACCESS_LOCKED : FW_ACCESS_OPEN;
    g_opDeviceState.configTransfer = c.transfer;
    g_opDeviceState.loadRunning = c.load;
    g_opPage.pageId = OP_PAGE_MAIN_MENU;
    const OpMenuItem item = {OP_MENU_HANDLER | OP_MENU_LAST, c.id, nullptr, 0, FW_TXT_INFO, nullptr,
                             OP_MenuOpenList, nullptr, nullptr};
    g_opMenu.cursor = &item;
    EXPECT_EQ(OP_MenuOpenList(), c.opens ? 1 : 0);
    EXPECT_EQ(g_opPage.pageId, c.opens ? c.id : uint16_t{OP_PAGE_MAIN_MENU});
    EXPECT_EQ(g_opPending.pending, c.opens ? 1 : 0);
    if (c.opens) {
      EXPECT_EQ(g_opPending.fn, &OP_BuildBlockList);
    }
    g_opMenu.cursor = nullptr;
  }
  // The title of an accepted list is written into the title row.
  g_fwImage[FW_SYS_FLAGS38] = 0;
  FW_ResetLogin();
  g_opDeviceState = OpDeviceState{};
  g_opDeviceState.operatingState = 2;
  OP_PageEnter(0);
  ASSERT_TRUE(cursorOn(FW_TXT_OPERATING_PAGES));
  enter();
  EXPECT_STREQ(g_opMenuRows.title.text, FW_GetText(FW_TXT_LIST_PAGES));
}

// The date and time items edit the clock's edit copy through the clock setter.
TEST_F(MenuTest, DateAndTimeItemsSetTheClock) {
  g_fwClock.now = FwClockFields{2024, 2, 10, 8, 30, 6, 0};
  OP_MenuDateTime();
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_DATE_TIME);
  ASSERT_EQ(OP_MenuItemCount(), 5);
  const OpMenuItem* day = OP_MenuItemAt(2);
  ASSERT_EQ(day->flags & OP_MENU_VALUE, OP_MENU_VALUE);
  ASSERT_NE(day->entry, nullptr);
  EXPECT_EQ(FW_GetFieldMaxShort(day->entry), 29);  // February of a leap year
  uint16_t shown = 0;
  std::memcpy(&shown, day->entry->value, sizeof shown);
  EXPECT_EQ(shown, 10);
  EXPECT_EQ(OP_ValueCommit(day->entry, day->sub, 29.0f), 0);
  FW_RunDeferredCalls();
  EXPECT_EQ(g_fwClock.edit[2], 29);
  EXPECT_EQ(g_fwClock.setPending, 1);
  // A day the month does not have is refused by the setter.
  EXPECT_EQ(OP_ValueCommit(day->entry, day->sub, 30.0f), 0);
  EXPECT_EQ(FW_RunDeferredCalls(), FB_ERR_LIMITS);
  EXPECT_EQ(g_fwClock.edit[2], 29);
}

// Device data: the system block's values under their title, built in the next cycle.
TEST_F(MenuTest, DeviceDataRequestsItsList) {
  g_opPage.currentBlock = 150;
  OP_MenuDeviceData();
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_DEVICE_DATA);
  EXPECT_EQ(g_opPage.currentBlock, 0);
  EXPECT_STREQ(g_opMenuRows.title.text, FW_GetText(FW_TXT_DEVICE_DATA));
  EXPECT_EQ(g_opPending.fn, &OP_BuildDeviceDataList);
}

// The CAN and I/O status menus.
TEST_F(MenuTest, StatusMenus) {
  OP_MenuStatusCan();
  EXPECT_EQ(OP_MenuItemCount(), 43);
  EXPECT_EQ(g_opMenu.last->pageProc, &OP_ShowCanResetList);
  g_fwLogin.access = FW_ACCESS_LOCKED;
  OP_MenuStatusCan();
  EXPECT_EQ(OP_MenuItemCount(), 42);
  EXPECT_EQ(g_opMenu.last->sub, 42);
  g_opDeviceState.slots[0].moduleType = 3;
  g_opDeviceState.slots[1].moduleType = 171;
  OP_MenuStatusIo();
  ASSERT_EQ(OP_MenuItemCount(), 4);
  EXPECT_EQ(OP_MenuItemAt(0)->pageProc, &OP_BuildSlotPage);
  EXPECT_EQ(OP_MenuItemAt(1)->flags & OP_MENU_HANDLER, 0);
  EXPECT_EQ(OP_MenuItemAt(2)->flags & OP_MENU_HANDLER, 0);
  EXPECT_EQ(OP_MenuItemAt(3)->textId, FW_TXT_SLOT_P);
}

// The pages whose touch list shows no selection.
TEST_F(MenuTest, DisplayOnlyPages) {
  const std::vector<std::pair<uint16_t, bool>> cases = {
      {20, true},    {270, true},   {1803, true},  {2324, false}, {2325, true}, {2328, true},
      {2329, false}, {2331, false}, {2332, true},  {2336, true},  {2337, false}, {2346, true},
      {2305, false}, {9, false},
  };
  for (const auto& [page, displayOnly] : cases) {
    g_opPage.pageId = page;
    EXPECT_EQ(OP_IsDisplayOnlyPage(), displayOnly) << page;
  }
}

// Paging through the pages of a list stops at both ends.
TEST_F(MenuTest, ListPagingStopsAtTheEnds) {
  OpMenuItem items[3][1] = {};
  OpMenuHeader pages[3];
  for (int i = 0; i < 3; ++i) {
    items[i][0].flags = OP_MENU_LAST;
    pages[i] = OpMenuHeader{OP_MENU_HEADER, OP_PAGE_OPERATING, nullptr, 0, 0, items[i], 1};
    g_opListPages.pages[i] = &pages[i];
  }
  g_opListPages.count = 3;
  EXPECT_EQ(OP_MenuPrevPage(), 0);
  EXPECT_EQ(OP_MenuNextPage(), 1);
  EXPECT_EQ(OP_MenuNextPage(), 1);
  EXPECT_EQ(g_opMenu.header, &pages[2]);
  EXPECT_EQ(OP_MenuNextPage(), 0);
  EXPECT_EQ(OP_MenuPrevPage(), 1);
  EXPECT_EQ(g_opMenu.header, &pages[1]);
  EXPECT_EQ(g_opListPages.index, 1);
}

// The touch list with the display windows made: it opens with the menu screen, shows the
// rows, follows the cursor, and a touch on an entry moves the cursor and counts as enter.
class TouchListTest : public OpuiDialogTest {};

TEST_F(TouchListTest, ShowsTheMenuAndTakesATouch) {
  OP_PageEnter(0);
  // The menu page builds the screen and its list.
  while (g_opMenu.buildStep < OP_STEP_SUFFIX) editCycle(0);
  const WM_HWIN box = OP_TouchListBox();
  ASSERT_NE(box, 0);
  OP_FillTouchList(0);
  ASSERT_EQ(LISTBOX_GetNumItems(box), 5);
  char text[32];
  LISTBOX_GetItemText(box, 4, text, sizeof text);
  EXPECT_STREQ(text, FW_GetText(FW_TXT_DEVICE_SETTINGS));
  g_opMenu.index = 2;
  OP_ListSelectCurrent();
  EXPECT_EQ(LISTBOX_GetSel(box), 2);
  // Two rows from index 1: the rest stays.
  LISTBOX_SetString(box, "x", 4);
  OP_FillTouchList(1, 2);
  LISTBOX_GetItemText(box, 4, text, sizeof text);
  EXPECT_STREQ(text, "x");
  // A shorter menu filled to its end leaves no rows of the longer one.
  const OpMenuHeader* main = g_opMenu.header;
  OP_MenuShow(&g_opOnlineMenu);
  OP_FillTouchList(0);
  EXPECT_EQ(LISTBOX_GetNumItems(box), 3);
  OP_MenuShow(main);
  OP_FillTouchList(0);
  EXPECT_EQ(LISTBOX_GetNumItems(box), 5);
  // On a display-only page nothing is selected.
  g_opPage.pageId = OP_PAGE_DATE_TIME;
  OP_ListSelectCurrent();
  EXPECT_EQ(LISTBOX_GetSel(box), -1);
  g_opPage.pageId = OP_PAGE_MAIN_MENU;
  // A touch of the fourth entry, once the menu page has built the menu shown anew.
  while (g_opMenu.buildStep < OP_STEP_SUFFIX) editCycle(0);
  GUI_RECT r{};
  WM_GetWindowRectEx(OP_TouchListBox(), &r);
  touch(100, r.y0 + 3 * OP_TOUCH_LIST_SPACING + 5);
  EXPECT_EQ(g_opMenu.index, 3);
  EXPECT_EQ(g_opMenu.cursor, OP_MenuItemAt(3));
  EXPECT_EQ(g_opKeys.holdEnter, 1);
  editCycle(0);
  EXPECT_EQ(g_opKeys.enterReleased, 1);
  // Closing the overlays closes the list too and asks for the menu to be drawn anew.
  g_opMenu.buildStep = 5;
  OP_CloseOverlays();
  EXPECT_EQ(g_opTouchList, 0);
  EXPECT_EQ(g_opMenu.buildStep, 0);
  // A screen of another type has no touch list.
  OP_ShowTextScreen(7, 1);
  EXPECT_NE(OP_TouchListBox(), 0);
  OP_ShowTextScreen(1, 1);
  EXPECT_EQ(OP_TouchListBox(), 0);
}

}  // namespace
