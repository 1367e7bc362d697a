// The built-in demo project run by the firmware with its display: the image made from
// assets/demo.eng starts, and the controller's process value follows the programmer's
// setpoint on the built-in plant (the numbers of assets/demo.eng).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "blocks/block_family.h"
#include "blocks/register_all.h"
#include "comm/com_value.h"
#include "fakes/fake_shell.h"
#include "firmware/fw_adapter.h"
#include "firmware/fw_main.h"
#include "firmware/fw_plant.h"
#include "gui/widgets/WIDGET.h"
#include "opui/op_blockpage.h"
#include "opui/op_display.h"
#include "opui/op_editor.h"
#include "opui/op_menu.h"
#include "opui/op_objects.h"
#include "opui/op_objects2.h"
#include "opui/op_pages.h"
#include "opui/op_userpage.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_io.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_text.h"
#include "runtime/fw_text_ids.h"
#include "shell/demo_project.h"
#include "shell/module_tables.h"
#include "shell/project.h"
#include "shell/settings.h"
#include "support/config_folder.h"
#include "support/demo_firmware.h"
#include "support/test_env.h"

namespace {

// Blocks and outputs of the demo (assets/demo.eng).
enum : uint16_t { kCtrl = 100, kProg = 103, kInput = 61, kUserPage = 116 };
enum : uint16_t { kCtrlWeff = 1, kCtrlX = 2, kCtrlY = 3, kProgWp = 1, kProgSegNo = 5 };

float Out(uint16_t block, uint16_t output) {
  FbF32* p = nullptr;
  return FB_GetAnalogOutputPtr(block, output, &p) ? p->get() : NAN;
}

using DemoProject = DemoFirmware;

TEST_F(DemoProject, TheDemoIsTheEngineeringOfItsDescription) {
  SimLoadDemoProject();
  const SimHostState& s = SimState();
  EXPECT_EQ(std::memcmp(s.engineering, "MX7N", 4), 0);
  EXPECT_EQ(kSimDemoEngineering_size, SIM_ENGINEERING_SIZE);
  EXPECT_EQ(std::memcmp(s.engineering, kSimDemoEngineering, SIM_ENGINEERING_SIZE), 0);
  EXPECT_EQ(std::memcmp(s.engineeringRef, s.engineering, SIM_ENGINEERING_SIZE), 0);
  EXPECT_EQ(std::memcmp(s.data + FW_IEE_TAG, "MX7N", 4), 0);
  EXPECT_STREQ(s.projectName, "demo");
  EXPECT_TRUE(SimProjectIsDemo());
  EXPECT_FALSE(SimProjectHasName());
  EXPECT_EQ(s.plantSettings[0], 1.0f);
  EXPECT_EQ(s.plantSettings[1], 5.0f);
  EXPECT_EQ(s.plantSettings[2], 50.0f);
  // The device it is made for: the Uni-Input at A4 carries the plant's value to block 61,
  // slot P holds only what the module dialog offers there, and the image's order-code digits
  // agree with the configuration.
  EXPECT_EQ(s.device.modules[3], FW_CLASS_UNI_INPUT);
  EXPECT_EQ(s.device.relais, 0);
  for (int p = 0; p < 4; ++p) EXPECT_GE(SimOptionIndex(6, p, s.device.modules[12 + p]), 0) << "P" << p + 1;
  uint8_t digits[6];
  FW_DigitsFromConfig(s.device, digits);
  EXPECT_EQ(std::memcmp(s.engineering + 4, digits, 6), 0);
}

TEST_F(DemoProject, ShiftHeldLoadsEmptyImages) {
  SimSetShiftHeldHook([] { return true; });
  SimLoadDemoProject();
  SimSetShiftHeldHook(nullptr);
  const SimHostState& s = SimState();
  for (const uint8_t* image : {s.engineering, s.data}) {
    const size_t size = image == s.engineering ? SIM_ENGINEERING_SIZE : SIM_DATA_SIZE;
    size_t nonZero = 0;
    for (size_t i = 0; i < size; ++i) nonZero += image[i] != 0;
    EXPECT_EQ(nonZero, 0u);
  }
  EXPECT_STREQ(s.projectName, "demo");
}

// Started without a project, the firmware runs the demo: in the run mode the process value
// stays within 2 % of the range of the programmer's setpoint from 30 s into each hold to its
// end, in the first run of the program (from a cold plant) and in the one after. The device
// is the one a first start of the simulator reads from its new settings file.
TEST_F(DemoProject, TheControllerFollowsTheProgrammerOnTheBuiltInPlant) {
  ASSERT_EQ(SimLoadProject(nullptr), SIM_PROJECT_LOADED);
  {
    ScopedConfigFolder folder("demo");
    ASSERT_EQ(SimInitIni(SimState()), 0);
    SimState().device = SimDeviceConfig{};
    SimReadDeviceSettings(&SimState().device);
  }
  EXPECT_EQ(std::memcmp(&SimState().device, &SimDemoDeviceConfig(), sizeof(SimDeviceConfig)), 0)
      << "the demo's device is the first-run default";
  startDemo();
  ASSERT_EQ(g_fwRunMode, FW_RUN_MODE_RUN);
  ASSERT_EQ(g_fwPlant.active, 1);
  ASSERT_EQ(g_fwPlant.view.block, kCtrl);

  constexpr int kSettle = 300;  // 30 s
  int holds = 0, inSegment = 0;
  float lastSeg = Out(kProg, kProgSegNo);
  for (int cycle = 0; cycle < 2 * 4800 + 100; ++cycle) {
    FW_SimCycle();
    const float seg = Out(kProg, kProgSegNo), x = Out(kCtrl, kCtrlX), w = Out(kProg, kProgWp);
    ASSERT_TRUE(std::isfinite(x)) << "cycle " << cycle;
    const float y = Out(kCtrl, kCtrlY);
    ASSERT_GE(y, 0.0f);
    ASSERT_LE(y, 100.0f);
    inSegment = seg == lastSeg ? inSegment + 1 : 0;
    lastSeg = seg;
    const bool hold = seg == 2 || seg == 4 || seg == 6;
    if (hold && inSegment >= kSettle) {
      ASSERT_NEAR(x, w, 2.0f) << "segment " << seg << ", cycle " << cycle;
      holds += inSegment == kSettle;
    }
  }
  EXPECT_EQ(holds, 6);
  // The controller's effective setpoint is the programmer's.
  EXPECT_NEAR(Out(kCtrl, kCtrlWeff), Out(kProg, kProgWp), 0.01f);
  // The plant's value reaches the controller through the main input's block 61.
  EXPECT_NEAR(Out(kInput, 1), Out(kCtrl, kCtrlX), 0.01f);
}

// The demo's user page shows the loop: six objects on it, the texts of X, W and Y, the bar of
// X with its marker at W, the trend of X and W and the programmer's progress. The page is
// left as "demo_user_page.png" in the test's build folder for a look.
TEST_F(DemoProject, TheUserPageShowsTheLoop) {
  ASSERT_EQ(SimLoadProject(nullptr), SIM_PROJECT_LOADED);
  startDemo();
  for (int cycle = 0; cycle < 1500; ++cycle) FW_SimCycle();
  ASSERT_EQ(OP_SelectBlockPage(kUserPage), 1);
  for (int cycle = 0; cycle < 20; ++cycle) FW_SimCycle();
  ASSERT_EQ(g_opUserView.block, kUserPage);
  EXPECT_EQ(g_opUserView.bound, 6);
  char text[OP_OBJECT_TEXT_CHARS + 1], expected[OP_OBJECT_TEXT_CHARS + 1];
  const uint16_t texts[] = {110, 111, 112};
  const char* names[] = {"X", "W", "Y"};
  const uint16_t outputs[] = {kCtrlX, kCtrlWeff, kCtrlY};
  for (int i = 0; i < 3; ++i) {
    OP_TextObjectCompose(texts[i], text);
    std::snprintf(expected, sizeof expected, "%s %5.1f %%", names[i], static_cast<double>(Out(kCtrl, outputs[i])));
    EXPECT_STREQ(text, expected);
  }
  FbLayout L;
  ASSERT_TRUE(FB_GetLayout(113, &L));
  const auto& bar = BLK_WorkState<BarObjectState>(L);
  EXPECT_NEAR(bar.percent.get(), Out(kCtrl, kCtrlX), 0.5f);
  EXPECT_NE(bar.flags & BAROBJ_FLAG_MARKER, 0);
  ASSERT_TRUE(FB_GetLayout(114, &L));
  const auto& trend = BLK_WorkState<TrendObjectState>(L);
  EXPECT_EQ(trend.curves[0].present + trend.curves[1].present + trend.curves[2].present, 2);
  EXPECT_GE(trend.count, 150) << "a sample a second";
  EXPECT_NE(OP_TrendObjectData(114, 2), 0);
  OP_ProgressObjectText(115, text);
  EXPECT_NE(std::string(text).find(", Segment "), std::string::npos) << text;
  EXPECT_GT(OP_ProgressObjectFraction(115), 0.0f);
  EXPECT_TRUE(lcdtest::WritePng(SIM_DEMO_PAGE_DIR "/demo_user_page.png", 320, 240, lcdtest::ReadFrame()));
}

// The demo's user page in the factory's dark palette and in a light one (dark text on a white
// page, a light top bar): the texts, the trend's labels and grid, the bar and the top bar's
// icons all stand out on what they are drawn on. The top bar's clock reads 08:05.
TEST_F(DemoProject, TheUserPageReadsInADarkAndALightPalette) {
  FW_SetTimeSource(ScreenClock0805);
  ASSERT_EQ(SimLoadProject(nullptr), SIM_PROJECT_LOADED);
  startDemo();
  // Palette 1 (0xRRGGBB): white page, black text, light grey-blue title band and top bar.
  constexpr uint32_t kLight[FW_PALETTE_COLOURS] = {0, 0x4880C0, 0, 0xFFFFFF, 0,
                                                   0xFFFFFF, 0x000000, 0xB0C8E8, 0xD8E0EC, 0x000000};
  for (uint32_t i = 0; i < FW_PALETTE_COLOURS; ++i) {
    uint8_t* p = g_fwInternalEeprom + FW_IEE_PALETTES + (FW_PALETTE_COLOURS + i) * 4;
    for (int b = 0; b < 4; ++b) p[b] = static_cast<uint8_t>(kLight[i] >> (8 * b));
  }
  for (int cycle = 0; cycle < 1500; ++cycle) FW_SimCycle();
  ASSERT_EQ(OP_SelectBlockPage(kUserPage), 1);
  struct Case {
    int palette;
    const char* golden;
  };
  for (const Case& c : {Case{0, "demo_user_page_dark"}, Case{1, "demo_user_page_light"}}) {
    FW_SelectPalette(c.palette);
    ASSERT_EQ(OP_SelectBlockPage(kUserPage), 1);
    for (int cycle = 0; cycle < 20; ++cycle) FW_SimCycle();
    ASSERT_EQ(g_opUserView.block, kUserPage);
    EXPECT_TRUE(lcdtest::MatchesGolden("shell", c.golden)) << c.golden;
  }
  FW_SelectPalette(0);
  FW_SetTimeSource(nullptr);
}

// The demo operated through the front keys, as a user does: from the main menu into the
// parameter list of the controller, its value editor and the keypad over the list.
class DemoKeys : public DemoKeysFirmware {
 protected:
  static std::string label() {
    const OpMenuItem* c = g_opMenu.cursor;
    return c ? FW_GetText(c->textId) : "";
  }
  // The parameter list of the controller, with the cursor on its row "W2".
  void openControllerParameters() {
    ASSERT_EQ(SimLoadProject(nullptr), SIM_PROJECT_LOADED);
    startDemo();
    // The demo opens its user page by itself five seconds into the run.
    run(100);
    holdHome();
    ASSERT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
    ASSERT_TRUE(downTo([](const OpMenuItem& i) { return i.sub == OP_PAGE_PARAMETER; }));
    press(kEnter);
    run(4);
    ASSERT_TRUE(downTo([](const OpMenuItem& i) { return (i.flags & OP_MENU_BLOCK) && i.sub == kCtrl; }));
    press(kEnter);
    run(25);
    ASSERT_EQ(g_opPage.pageId, OP_PAGE_PARAM_LIST);
    title = g_opMenuRows.title.text;
    ASSERT_EQ(title.rfind("100: CONTR", 0), 0u) << title;
    ASSERT_TRUE(downTo([](const OpMenuItem& i) { return label() == "W2" && i.entry; })) << label();
  }
  std::string title;
};

// The status pages of the I/O slots and the device's info rows on the device the user
// configured: each fitted board is its slot's module, online, with the modules of its
// positions; what the simulation does not know reads "---".
class DemoStatus : public DemoKeys {
 protected:
  static std::vector<std::string> rows() {
    std::vector<std::string> out;
    for (int i = 0; i < OP_MenuItemCount(); ++i) out.push_back(OP_BuildListRow(i));
    return out;
  }
  // The demo on `device` (its order-code digits in the engineering image, as the device
  // dialog writes them), running, with the main menu shown.
  void startOn(const SimDeviceConfig& device) {
    ASSERT_EQ(SimLoadProject(nullptr), SIM_PROJECT_LOADED);
    SimState().device = device;
    FW_DigitsFromConfig(device, SimState().engineering + FW_OFS_ORDER_CODE);
    startDemo();
    run(100);
    holdHome();
    ASSERT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
  }
  // Status I/O, opened from the device settings.
  void openStatusIo() {
    ASSERT_TRUE(downTo([](const OpMenuItem& i) { return i.pageProc == OP_MenuDeviceSettings; }));
    press(kEnter);
    run(25);
    ASSERT_TRUE(downTo([](const OpMenuItem& i) { return i.sub == OP_PAGE_STATUS_IO; }));
    press(kEnter);
    run(25);
    ASSERT_EQ(g_opPage.pageId, OP_PAGE_STATUS_IO);
  }
  // The slot page of the slot `letter` (its item on Status I/O).
  void openSlot(int slot) {
    ASSERT_TRUE(downTo([slot](const OpMenuItem& i) { return i.sub == slot + 1; }));
    press(kEnter);
    run(25);
    ASSERT_EQ(g_opPage.pageId, OP_PAGE_SLOT);
  }
  static SimDeviceConfig defaultDevice() {
    SimDeviceConfig d{};
    const uint8_t modules[16] = {21, 0, 0, 1, 22, 22, 22, 41, 0, 0, 0, 0, 43, 43, 0, 0};
    std::memcpy(d.modules, modules, 16);
    d.slotB = 1;
    return d;
  }
};

// The main menu's title band carries its title the first time the menu shows after the start,
// as it does when the menu is shown again.
TEST_F(DemoStatus, TheMainMenusTitleOnItsFirstShowing) {
  // Pixels of the title band that are not its background (the band's right end is blank).
  auto titlePixels = [] {
    const uint32_t back = lcdtest::ReadRaw(318, OP_TITLE_Y0 + 2);
    int n = 0;
    for (int y = OP_TITLE_Y0; y <= OP_TITLE_Y1; ++y)
      for (int x = 0; x < 320; ++x) n += lcdtest::ReadRaw(x, y) != back;
    return n;
  };
  startOn(defaultDevice());
  run(10);
  const std::string mainMenu = FW_GetText(FW_TXT_MAIN_MENU);
  EXPECT_EQ(std::string(g_opMenuRows.title.text).rfind(mainMenu, 0), 0u) << g_opMenuRows.title.text;
  const int first = titlePixels();
  EXPECT_GT(first, 50) << "the title is drawn";
  // The start-up selects the palette again once the device runs, over a menu already built:
  // the screen's colours are laid anew and its rows with them.
  FW_SelectPalette(0);
  run(3);
  EXPECT_EQ(titlePixels(), first) << "the title is drawn again over the new colours";
  // Into the device settings and back.
  ASSERT_TRUE(downTo([](const OpMenuItem& i) { return i.pageProc == OP_MenuDeviceSettings; }));
  press(kEnter);
  run(25);
  ASSERT_NE(g_opPage.pageId, OP_PAGE_MAIN_MENU);
  press(kExit);
  run(25);
  ASSERT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
  EXPECT_EQ(titlePixels(), first) << "the same title as on its second showing";
}

TEST_F(DemoStatus, TheDefaultDeviceOnTheStatusPages) {
  startOn(defaultDevice());
  openStatusIo();
  EXPECT_EQ(rows(), (std::vector<std::string>{"Slot A   = 2DI,2opt,1UI  \xA0", "Slot B   = 10DI,4DO      \xA0",
                                              "Slot C   = ---            ", "Slot P   = 2rel,2opt     \xA0"}));
  for (int slot : {0, 1, 3}) EXPECT_NE(OP_MenuItemAt(slot)->pageProc, nullptr) << "slot " << slot << " opens";
  EXPECT_EQ(OP_MenuItemAt(2)->pageProc, nullptr) << "nothing in slot C";
  openSlot(1);
  EXPECT_EQ(rows(), (std::vector<std::string>{"Status    : Online", "", "Sect   B1 : 2DI/4DI      \xA0",
                                              "Sect   B2 : 2DI/4DI      \xA0", "Sect   B3 : 2DI/4DI      \xA0",
                                              "Sect   B4 : 4DO          \xA0", "", "mehr..."}));
  EXPECT_EQ(std::string(g_opMenuRows.title.text).substr(0, 21), "Slot B: 10DI,4DO     ");
  // The device's info: as fitted, as ordered.
  OP_MenuShow(&g_opInfo2Menu);
  g_opPage.pageId = OP_PAGE_INFO2;
  EXPECT_EQ(std::string(OP_BuildListRow(0)), "HW/akt: MX74-200-00100-000");
  EXPECT_EQ(std::string(OP_BuildListRow(1)), "HW/org: MX74-200-00100-000");
}

TEST_F(DemoStatus, ModulesInSlotsBAndCOnTheStatusPages) {
  SimDeviceConfig d = defaultDevice();
  d.slotB = 2;
  d.slotC = 1;
  const uint8_t b[4] = {11, 2, 0, 33}, c[4] = {22, 22, 22, 41};
  std::memcpy(d.modules + 4, b, 4);
  std::memcpy(d.modules + 8, c, 4);
  startOn(d);
  openStatusIo();
  EXPECT_EQ(rows(), (std::vector<std::string>{"Slot A   = 2DI,2opt,1UI  \xA0", "Slot B   = 4opt          \xA0",
                                              "Slot C   = 10DI,4DO      \xA0", "Slot P   = 2rel,2opt     \xA0"}));
  openSlot(1);
  EXPECT_EQ(rows(), (std::vector<std::string>{"Status    : Online", "", "Sect   B1 : V-Inp        \xA0",
                                              "Sect   B2 : TC-Inp       \xA0", "Sect   B3 : ---           ",
                                              "Sect   B4 : U-Out        \xA0", "", "mehr..."}));
  EXPECT_NE(OP_MenuItemAt(2)->pageProc, nullptr) << "B1 has its channel page";
  EXPECT_EQ(OP_MenuItemAt(4)->pageProc, nullptr) << "B3 is empty";
  // The module page: nothing the simulation does not know is made up.
  ASSERT_TRUE(downTo([](const OpMenuItem& i) { return i.sub == 8; }));
  press(kEnter);
  run(25);
  ASSERT_EQ(g_opPage.pageId, OP_PAGE_MODULE);
  const std::vector<std::string> module = rows();
  ASSERT_EQ(module.size(), 5u);
  EXPECT_EQ(module[0], "SN:    ---");
  EXPECT_EQ(module[1], "HW:    ---");
  EXPECT_EQ(module[2], "SW:    1.0");
  EXPECT_EQ(module[4].substr(0, 20), "Temp.     :   ---   ");
  OP_MenuShow(&g_opInfo2Menu);
  g_opPage.pageId = OP_PAGE_INFO2;
  EXPECT_EQ(std::string(OP_BuildListRow(0)), "HW/akt: MX74-200-00210-000");
  EXPECT_EQ(std::string(OP_BuildListRow(1)), "HW/org: MX74-200-00210-000");
}

// A project that nobody changed asks no save question: after the images come back from the
// firmware (as the question takes them) they are the saved ones, with the demo, after only
// moving between pages, and with a project saved and opened again; two takes in a row agree.
TEST_F(DemoKeys, AnUntouchedProjectCountsAsUnchanged) {
  struct Case {
    const char* what;
    bool loaded;  // saved to a file and opened from there
    bool pages;   // the keys move to the main menu and into the parameter list and back
  } cases[] = {{"the demo", false, false}, {"the demo, pages visited", false, true}, {"an opened project", true, false}};
  const std::string path = testenv::PrivateFolder() + "/untouched.sdg";
  auto firstDifference = [](const uint8_t* a, const uint8_t* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
      if (a[i] != b[i]) return static_cast<long>(i);
    return -1L;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(SimLoadProject(nullptr), SIM_PROJECT_LOADED);
    if (c.loaded) {
      ASSERT_NE(SimSaveProject(path.c_str()), 0);
      ASSERT_EQ(SimLoadProject(path.c_str()), SIM_PROJECT_LOADED);
    }
    startDemo();
    run(120);
    if (c.pages) {
      holdHome();
      ASSERT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
      ASSERT_TRUE(downTo([](const OpMenuItem& i) { return i.sub == OP_PAGE_PARAMETER; }));
      press(kEnter);
      run(20);
      press(kExit);
      run(20);
    }
    for (int take = 0; take < 2; ++take) {
      SimState().saveRequest = 1;
      FW_SimCycle();
      const SimHostState& s = SimState();
      const long at = firstDifference(s.engineering, s.engineeringRef, SIM_ENGINEERING_SIZE);
      EXPECT_EQ(at, -1) << "take " << take << ": " << (at >= 0 ? int(s.engineering[at]) : 0) << " saved "
                        << (at >= 0 ? int(s.engineeringRef[at]) : 0) << ", differing "
                        << [&] {
                             int n = 0;
                             for (size_t i = 0; i < SIM_ENGINEERING_SIZE; ++i) n += s.engineering[i] != s.engineeringRef[i];
                             return n;
                           }();
      EXPECT_EQ(firstDifference(s.data, s.dataRef, SIM_DATA_SIZE), -1) << "take " << take;
      EXPECT_FALSE(SimProjectChanged()) << "take " << take;
      run(30);
    }
  }
}

// The keypad opened over a parameter list stays whole while the list goes on refreshing: no
// list row and no title is drawn over it, whether the keys or a touch moved last.
TEST_F(DemoKeys, TheKeypadStaysWholeOverTheParameterList) {
  openControllerParameters();
  press(kEnter);
  // A few cycles, then the list's refresh rounds; the keys changed the list last.
  run(30);
  ASSERT_TRUE(OP_EditActive());
  ASSERT_NE(g_opEdit.windowFlags & OP_EDIT_WIN_KEYPAD, 0);
  EXPECT_TRUE(lcdtest::MatchesGolden("shell", "demo_keypad_over_list"));
  OP_EditAbort();
}

// After the editor's time-out (30 s without input) the keypad closes and the list shows its
// own title again, not "???".
TEST_F(DemoKeys, TheTitleAfterTheEditorTimesOutIsTheLists) {
  openControllerParameters();
  press(kEnter);
  run(5);
  ASSERT_TRUE(OP_EditActive());
  run(320);
  EXPECT_FALSE(OP_EditActive());
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_PARAM_LIST);
  EXPECT_EQ(std::string(g_opMenuRows.title.text), title);
}

// A value that a PC tool writes while the parameter list is shown appears in its row within
// the list's refresh round.
TEST_F(DemoKeys, TheParameterListShowsAValueAPcToolWrote) {
  openControllerParameters();
  run(30);
  const OpMenuItem* w2 = g_opMenu.cursor;
  const int index = g_opMenu.index;
  auto listed = [&] {
    char text[40] = {};
    LISTBOX_GetItemText(OP_TouchListBox(), static_cast<unsigned>(index), text, sizeof text);
    return std::string(text);
  };
  ASSERT_EQ(listed().rfind("W2", 0), 0u) << listed();
  ComValueAccess a;
  COM_ValueBegin(&a, kCtrl, static_cast<int16_t>(w2->sub));
  const float value = 73.0f;
  std::memcpy(reinterpret_cast<uint8_t*>(&a.request) + 4, &value, 4);
  ASSERT_EQ(COM_AsciiWriteValue(&a, COM_SOURCE_ASCII), 0);
  run(25);
  EXPECT_NE(listed().find(" 73"), std::string::npos) << listed();
  EXPECT_NE(std::string(g_opMenuRows.items[index - g_opMenuPage.rowTop].text).find(" 73"), std::string::npos);
}

}  // namespace
