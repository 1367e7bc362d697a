// The rows of the menus and the info and status pages: every row format from the device's
// data, bounded to its 26 characters, unknown codes and missing data shown as such; the
// Ethernet page with its address dialog; the slot pages that follow the slot's state.
#include <gtest/gtest.h>

#include <functional>

#include "fakes/fake_comm.h"
#include "menupage_fixture.h"
#include "runtime/fb_values.h"
#include "runtime/fw_sysimage.h"

namespace {

class InfoTest : public MenuPageTest {
 protected:
  static void setCommOption(char digit) { g_fwImage[FW_SYS_ORDER_DIGITS + 2] = static_cast<uint8_t>(digit); }
  static void putOrderCode(const char* code) { std::memcpy(g_fwImage + FW_IMG_ORDER_CODE, code, 10); }
  static OpSlotRecord& slot(int n) { return g_opDeviceState.slots[n]; }
  // The status page of slot A, opened from the Status I/O menu.
  static void openSlotA() {
    OP_PageEnter(0);
    OP_MenuStatusIo();
    g_opMenu.cursor = OP_MenuItemAt(0);
    g_opMenu.index = 0;
    OP_BuildSlotPage();
  }
};

TEST_F(InfoTest, ModuleCodes) {
  struct Case {
    uint16_t code;
    const char* text;
  };
  for (const Case c : {Case{22, "2DI/4DI"}, Case{0, "---"}, Case{46, "not used"}, Case{43, "Relais"},
                       Case{99, "unbekannt"}, Case{0xFFFF, "unbekannt"}}) {
    EXPECT_STREQ(OP_ModuleTypeText(c.code), c.text) << c.code;
  }
}

// One row of each kind from the device's data, as the menu page builds it.
TEST_F(InfoTest, RowsOfTheInfoAndStatusPages) {
  struct Case {
    const char* name;
    std::function<void()> show;
    int row;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"ip address",
       [] {
         const uint8_t ip[4] = {10, 0, 0, 254};
         std::memcpy(g_opDeviceState.ethernet.address[OP_ADDR_IP], ip, 4);
         OP_ShowEthernetPage();
       },
       0, "IP-Adr  = 010.000.000.254"},
      {"dhcp", [] { g_fwImage[OP_IMG_ADDRESS_MODE] = 1; OP_ShowEthernetPage(); }, 3, "DHCP    = ein"},
      {"mac",
       [] {
         const uint8_t mac[6] = {0, 0x1A, 0x2B, 0xC3, 0xD4, 0xFF};
         std::memcpy(g_opDeviceState.ethernet.mac, mac, 6);
         OP_ShowEthernetPage();
       },
       4, "MAC-Adr =00-1A-2B-C3-D4-FF"},
      // A host name of all 17 characters has no end: it is not read past.
      {"host", [] { std::memcpy(g_opDeviceState.ethernet.host, "ABCDEFGHIJKLMNOPQ", 17); OP_ShowEthernetPage(); },
       5, "Loc Host=ABCDEFGHIJKLMNOPQ"},
      {"profibus access",
       [] { g_opDeviceState.profibusStatus = 0x05; OP_MenuShow(&g_opProfibusMenu); g_opPage.pageId = OP_PAGE_PROFIBUS; },
       0, "Buszugriff   = Fehler"},
      {"profibus parameter",
       [] { g_opDeviceState.profibusStatus = 0x05; OP_MenuShow(&g_opProfibusMenu); g_opPage.pageId = OP_PAGE_PROFIBUS; },
       1, "Parameter    = O.K."},
      {"profinet", [] { g_opDeviceState.profinetState = 4; OP_MenuStatusProfinet(); }, 0, "Status = Verbunden"},
      {"profinet unknown", [] { g_opDeviceState.profinetState = 9; OP_MenuStatusProfinet(); }, 0, "Status"},
      {"can node",
       [] {
         ComCanNodeEntry& n = TheFakeComm().canNodes.nodes[5];
         n.remote = n.nmt = n.use = 3;
         std::strcpy(n.name, "MX6x");
         OP_MenuStatusCan();
       },
       4, " 5: OK-Op-OK-MX6x    "},
      {"can own node", [] { TheFakeComm().canNodes.ownNode = 2; OP_MenuStatusCan(); }, 1, " 2: NC-NA-NU-Ich bins"},
      {"can states out of range",
       [] {
         ComCanNodeEntry& n = TheFakeComm().canNodes.nodes[7];
         n.remote = 9;
         n.nmt = 4;
         n.use = 200;
         OP_MenuStatusCan();
       },
       6, " 7: ---------        "},
      {"can reset",
       [] {
         ComCanNodeEntry& n = TheFakeComm().canNodes.nodes[12];
         n.state = 7;
         std::strcpy(n.name, "Node12");
         OP_ShowCanResetList();
       },
       0, "Reset 12: Node12  "},
      {"can reset nameless",
       [] {
         ComCanNodeEntry& n = TheFakeComm().canNodes.nodes[12];
         n.state = 7;
         n.type = 8;
         OP_ShowCanResetList();
       },
       0, "Reset 12: ???     "},
      {"project name empty", [] { OP_MenuShow(&g_opInfoMenu); g_opPage.pageId = OP_PAGE_INFO; }, 4,
       "Prj.  : ---               "},
      {"project name full",
       [] {
         std::memcpy(g_opDeviceState.projectName, "ABCDEFGHIJKLMNOPQR", OP_PROJECT_NAME_LEN);
         OP_MenuShow(&g_opInfoMenu);
         g_opPage.pageId = OP_PAGE_INFO;
       },
       4, "Prj.  : ABCDEFGHIJKLMNOPQR"},
      {"order code",
       [] { putOrderCode("30123456AB"); OP_MenuShow(&g_opInfoMenu); g_opPage.pageId = OP_PAGE_INFO; }, 0,
       "Ger\xE4t : MX74-230-12345-6AB"},
      {"version",
       [] { OP_MenuShow(&g_opInfoMenu); g_opPage.pageId = OP_PAGE_INFO; }, 1, "Vers. : 1/4.02"},
      {"fitted order code",
       [] {
         putOrderCode("31023456AB");
         setCommOption('3');
         slot(3).moduleType = 5;
         slot(1).moduleType = 2;
         slot(2).moduleType = 3;
         OP_MenuShow(&g_opInfo2Menu);
         g_opPage.pageId = OP_PAGE_INFO2;
       },
       0, "HW/akt: MX74-233-32215-6AB"},
      {"serial number cut at the row",
       [] {
         const uint8_t serial[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
         std::memcpy(g_fwImage + FW_IMG_SERIAL, serial, 8);
         OP_MenuShow(&g_opInfo2Menu);
         g_opPage.pageId = OP_PAGE_INFO2;
       },
       2, "Ser-Nr: 6553565535-65535-6"},
      {"firmware", [] { OP_MenuShow(&g_opInfo2Menu); g_opPage.pageId = OP_PAGE_INFO2; }, 5,
       "SW/FW : CSW-1230-A402     "},
      {"slot list",
       [] {
         slot(0).moduleType = 1;
         slot(0).state = OP_SLOT_ONLINE;
         OP_MenuStatusIo();
       },
       0, "Slot A   = 2DI,2opt,1UI  \xA0"},
      {"slot list empty", [] { OP_MenuStatusIo(); }, 1, "Slot B   = ---            "},
      {"slot list foreign card", [] { slot(1).moduleType = 5; OP_MenuStatusIo(); }, 1, "Slot B   = Fehler        \xA0"},
      {"progress", [] { g_opServiceRequests.state[OP_REQ_SD_SAVE] = 1; OP_MenuSd(); OP_ShowSdEngineering();
                        g_opMenu.cursor = OP_MenuItemAt(1); OP_MenuConfirm(); },
       0, "in Bearbeitung..."},
      {"progress of a deletion done",
       [] {
         g_opDeviceState.startLogo = 1;
         OP_MenuLogo();
         g_opMenu.cursor = OP_MenuItemAt(2);
         OP_MenuConfirm();
       },
       0, "fertig"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TheFakeComm().reset();
    g_opDeviceState = OpDeviceState{};
    std::memset(g_fwImage, 0, 64);
    g_opServiceRequests = OpServiceRequests{};
    OP_PageEnter(0);
    c.show();
    EXPECT_EQ(row(c.row), c.text);
    EXPECT_LE(row(c.row).size(), 26u);
  }
}

// The device row of the info page keeps the whole order code in each language: its label
// fits the six characters before the colon.
TEST_F(InfoTest, TheDeviceRowKeepsTheWholeOrderCodeInEachLanguage) {
  const char* const expected[3] = {"Ger\xE4t : MX74-200-00100-000", "Device: MX74-200-00100-000",
                                   "Appar.: MX74-200-00100-000"};
  for (uint8_t language = 0; language < 3; ++language) {
    SCOPED_TRACE(language);
    FW_SelectTextLanguageByte(language);
    std::memset(g_fwImage, 0, 64);
    putOrderCode("0000100000");
    OP_PageEnter(0);
    OP_MenuShow(&g_opInfoMenu);
    g_opPage.pageId = OP_PAGE_INFO;
    EXPECT_EQ(row(0), expected[language]);
  }
  FW_SelectTextLanguageByte(0);
}

// The rows of a block's value list: by the field kind, the page and the menu's length.
TEST_F(InfoTest, ValueRows) {
  static float f = 12.5f;
  static uint16_t w = 1;
  static uint8_t byteValue = 3;
  static const FbFloatLimitData floatLimits{0.0f, 100.0f, nullptr, nullptr, nullptr, 1};
  static FbFloatLimitData attr = floatLimits;
  attr.attribute = &attr.ownAttribute;
  static FbValueEntry floatEntry{FB_KIND_FLOAT, 0, &f, nullptr, &attr, 150, 0};
  static FbValueEntry wordEntry{FB_KIND_WORD, 0, &w, nullptr, nullptr, 150, 0};
  static FbValueEntry digitalEntry{FB_KIND_DIGITAL, 0, &w, nullptr, nullptr, 150, 0};
  static FbValueEntry oddEntry{42, 0, &w, nullptr, nullptr, 150, 0};
  static FbValueEntry byteEntry{OP_FIELD_BYTE, 0, &byteValue, nullptr, nullptr, 150, 0};
  struct Case {
    const char* name;
    uint16_t pageId;
    FbValueEntry* entry;
    uint16_t sub;
    int items;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"float", OP_PAGE_PARAM_LIST, &floatEntry, 1000, 3, "Info   =              12.5"},
      {"float narrow", OP_PAGE_PARAM_LIST, &floatEntry, 1000, 9, "Info   =            12.5"},
      {"word", OP_PAGE_CONFIG_LIST, &wordEntry, 3000, 3, "Info   =                 1"},
      {"byte", OP_PAGE_CONFIG_LIST, &byteEntry, 3000, 3, "Info   =                 3"},
      {"digital output", OP_PAGE_SIGNAL_LIST, &digitalEntry, FB_SUB_DIGITAL_OUT, 3, "o: Info   =            ein"},
      {"analog input", OP_PAGE_SIGNAL_LIST, &floatEntry, FB_SUB_ANALOG_IN, 3, "i: Info   =           12.5"},
      {"unknown kind", OP_PAGE_CONFIG_LIST, &oddEntry, 3000, 3, "Info   =            ??????"},
      {"no value", OP_PAGE_CONFIG_LIST, nullptr, 3000, 3, "Info   =            ??????"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<OpMenuItem> items(c.items, opmenu::valueItem(c.sub, FW_TXT_INFO, c.entry));
    items.back().flags |= OP_MENU_LAST;
    const OpMenuHeader h{OP_MENU_HEADER, c.pageId, opmenu::noCallback, 0, 0, items.data(),
                         static_cast<uint16_t>(items.size())};
    OP_MenuShow(&h);
    g_opPage.pageId = c.pageId;
    EXPECT_EQ(row(0), c.text);
  }
}

// The block items: the tag alone on the operating-pages list, tag and number elsewhere.
TEST_F(InfoTest, BlockRows) {
  pageBlock(150, 96);
  OP_PageEnter(0);
  static OpMenuItem kind;
  kind = opmenu::handlerItem(OP_PAGE_OPERATING, 0, OP_MenuOpenList);
  g_opMenu.cursor = &kind;
  OP_BuildBlockList();
  EXPECT_EQ(row(0), "Tag             ");
  OP_PageEnter(0);
  kind.sub = OP_PAGE_SIGNALS;
  g_opMenu.cursor = &kind;
  OP_BuildBlockList();
  EXPECT_EQ(row(0), "Tag                    150");
}

// The SD card's file list: "Keine Dateien" while the table is empty, a file name of all
// 24 characters read no further.
TEST_F(InfoTest, SdFileRows) {
  OP_ShowSdFileList();
  EXPECT_EQ(row(0), "Keine Dateien");
  OpSdFile* files = OP_LinkSdFiles();
  files[0].present = 1;
  std::memcpy(files[0].name, "ABCDEFGHIJKLMNOPQRSTUVWX", OP_SD_NAME_LEN);
  files[1].present = 1;   // right behind the first name
  EXPECT_EQ(row(0), "ABCDEFGHIJKLMNOPQRSTUVWX");
  files[0].present = 0;
  EXPECT_EQ(row(0), "---");
}

// The Ethernet page: an address item opens the address dialog, whose byte goes through its
// setter; the enter key closes the dialog; with DHCP on no address can be opened.
TEST_F(InfoTest, TheAddressDialogOfTheEthernetPage) {
  const uint8_t mask[4] = {255, 255, 0, 0};
  std::memcpy(g_opDeviceState.ethernet.address[OP_ADDR_MASK], mask, 4);
  OP_ShowEthernetPage();
  settle();
  tap(OP_KEY_DOWN);
  ASSERT_EQ(g_opMenu.index, 1);
  tap(OP_KEY_ENTER);
  const WM_HWIN dialog = OP_AddressDialog();
  ASSERT_NE(dialog, 0);
  EXPECT_EQ(g_opOverlay.nesting, 1);
  // The fields show the subnet mask.
  EXPECT_EQ(EDIT_GetValue(WM_GetDialogItem(dialog, OP_ID_ADDR_EDIT0)), 255);
  EXPECT_EQ(EDIT_GetValue(WM_GetDialogItem(dialog, OP_ID_ADDR_EDIT0 + 2)), 0);
  tap(OP_KEY_ENTER);
  run(2);
  EXPECT_EQ(OP_AddressDialog(), 0);
  EXPECT_EQ(g_opOverlay.nesting, 0);

  g_fwImage[OP_IMG_ADDRESS_MODE] = 1;
  tap(OP_KEY_ENTER);
  EXPECT_EQ(OP_AddressDialog(), 0);
}

// A slot page: its rows, a channel page for a group with a module, and the sub-pages close
// when the slot falls back to initialisation.
TEST_F(InfoTest, SlotPagesFollowTheSlotsState) {
  OpSlotRecord& a = slot(0);
  a.moduleType = 1;
  a.state = OP_SLOT_ONLINE;
  a.groups[0].code = 1;
  a.groups[0].state = 3;
  a.groups[0].values[0] = 21.5f;
  a.groups[0].errors[1] = 2;
  std::memcpy(a.groups[0].config[0], "Pt100", 5);
  a.groups[1].code = 22;
  a.temperature[0] = 453;
  a.temperatureLimit = 800;
  openSlotA();
  settle();
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_SLOT);
  EXPECT_EQ(title(), "Slot A: 2DI,2opt,1UI (off)");
  EXPECT_EQ(row(0), "Status    : Online");
  EXPECT_EQ(row(2), "Sect   A1 : Uni-Inp      \xA0");
  EXPECT_EQ(row(4), "Sect   A3 : ---           ");
  EXPECT_EQ(OP_MenuItemAt(2)->pageProc, &OP_ShowChannelPage);
  EXPECT_EQ(OP_MenuItemAt(4)->pageProc, nullptr);
  // The channel page of group 1.
  g_opMenu.cursor = OP_MenuItemAt(2);
  g_opMenu.index = 2;
  OP_ShowChannelPage();
  settle();
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_CHANNEL);
  EXPECT_EQ(row(0), "Status    : Ok");
  EXPECT_EQ(row(2), "Signal  1 : 21.5");
  EXPECT_EQ(row(3), "Konf    1 : Pt100");
  EXPECT_EQ(row(4), "Signal  2 : Verpolung     ");
  EXPECT_EQ(row(5), "Konf    2 : ---");
  EXPECT_EQ(title(), "Sect A1: Uni-Inp     (off)");
  // The module and temperature rows.
  OP_MenuPop();
  g_opMenu.cursor = g_opMenu.last;
  OP_ShowModulePage();
  g_opPage.pageId = OP_PAGE_MODULE;
  EXPECT_EQ(row(4), "Temp.     :  45.3 \xB0" "C     \xA0");
  a.temperature[0] = 900;
  EXPECT_EQ(row(4), "Temp.     :   ---        \xA0");
  OP_MenuPop();
  // Group 2 holds a 2DI/4DI module: its channel page has no second channel rows.
  g_opMenu.cursor = OP_MenuItemAt(3);
  OP_ShowChannelPage();
  EXPECT_EQ(OP_MenuItemAt(4)->textId, FW_TXT_EMPTY);
  EXPECT_EQ(OP_MenuItemAt(5)->textId, FW_TXT_EMPTY);
  settle();
  const int depth = g_opMenu.depth;
  // The slot falls back: the channel page closes and the slot page is built anew.
  a.state = OP_SLOT_INIT;
  run(25);
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_SLOT);
  EXPECT_EQ(g_opMenu.depth, depth - 1);
  EXPECT_EQ(OP_MenuItemAt(2)->pageProc, &OP_ShowChannelPage);
  EXPECT_EQ(row(0), "Status    : Initialisierun");   // cut at 26 characters
}

}  // namespace
