// The built-in demo operated from the front panel as a user does: PC keys and mouse clicks on
// the keys and the display, through the program's own cycle. One press acts once (the
// highlighted row is the one the enter key opens) and a press shorter than a cycle is not lost.
#include <gtest/gtest.h>

// The firmware's headers before Qt's (a record of the operating interface has a member named
// as one of Qt's keywords).
#include "support/firmware_reset.h"
#include "support/screen_clock.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "gui/widgets/WIDGET.h"
#include "opui/op_dialogs.h"
#include "opui/op_editor.h"
#include "opui/op_field_editor.h"
#include "opui/op_input.h"
#include "opui/op_menu.h"
#include "opui/op_pages.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_text.h"
#include "shell/firmware_link.h"
#include "shell/front_panel.h"
#include "shell/script.h"
#include "shell/sim_loop.h"
#include "simlayer/SIM.h"
#include "support/lcd_harness.h"
#include "support/shell_app.h"
#include "support/test_env.h"

namespace {

// The main window's part of a cycle for scripts: the player before the firmware's part, the
// recorder after it.
struct ScriptCycle : SimMessageTarget {
  intptr_t send(int id, intptr_t, intptr_t) override {
    if (id == SIM_MSG_PRECYCLE) {
      ++SimState().cycleCount;
      SimScriptStep();
    } else if (id == SIM_MSG_POSTCYCLE) {
      SimRecordStep();
    }
    return 0;
  }
};

class FrontKeys : public lcdtest::LcdTest {
 protected:
  void SetUp() override {
    ShellTestApp();
    lcdtest::LcdTest::SetUp();
    // The top bar's clock reads 08:05, so that screens can be compared.
    FW_SetTimeSource(ScreenClock0805);
    startProject();
    panel.emplace(nullptr);
  }
  // The demo from its start, with the program's cycle.
  void startProject() {
    ClearFirmwareForProject();
    SimSetFirmware(nullptr);
    SIM_InitKeys();
    SIM_SetKeyMaskHook([](uint32_t m) { SimFirmware().setKeyMask(m); });
    for (int i = 0; i < 5; ++i) SIM_HardkeyCallback(i, 0);  // whatever earlier tests held
    SimState().pauseCount = 0;
    SimState().turbo = 0;
    SimClearFirmwareWaits();
    control.begin();
    ASSERT_EQ(SimLoadProject(nullptr), SIM_PROJECT_LOADED);
    SimState().cycleCount = 0;
    StartProjectFirmware();
    ASSERT_EQ(g_fwMain.runState, FW_STATE_RUNNING);
  }
  void TearDown() override {
    panel.reset();
    for (int i = 0; i < 5; ++i) SIM_HardkeyCallback(i, 0);
    SIM_InputBeforeCycle();
    SIM_InputAfterCycle();
    SIM_SetKeyMaskHook(nullptr);
    control.setTarget(nullptr);
    SimScriptClose();
    SimScriptSetHooks({});
    SimScriptSetPaths("", "");
    FW_SetTimeSource(nullptr);
    ReleaseFirmwareHooks();
    lcdtest::LcdTest::TearDown();
  }

  void run(int cycles) {
    for (int i = 0; i < cycles; ++i) control.runCycle(true);
  }
  void key(int qtKey, bool down) {
    QKeyEvent e(down ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, Qt::NoModifier);
    QApplication::sendEvent(&*panel, &e);
  }
  // A PC key pressed for a cycle, then released for two.
  void tap(int qtKey) {
    key(qtKey, true);
    run(1);
    key(qtKey, false);
    run(2);
  }
  // The main menu: the demo's user page left by holding the exit key (◀) for three seconds.
  void toMainMenu() {
    run(100);
    key(Qt::Key_Left, true);
    run(32);
    key(Qt::Key_Left, false);
    run(4);
    ASSERT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
  }
  // The row the touch list highlights.
  static int highlighted() {
    const WM_HWIN list = OP_TouchListBox();
    return list ? LISTBOX_GetSel(list) : -1;
  }
  // Down twice on a list: the cursor and the highlight are on the same row, two below the
  // first (round past the end); the item under both is returned.
  OpMenuItem twoDown() {
    const int start = g_opMenu.index;
    tap(Qt::Key_Down);
    tap(Qt::Key_Down);
    EXPECT_EQ(g_opMenu.index, (start + 2) % OP_MenuItemCount());
    EXPECT_EQ(highlighted(), g_opMenu.index);
    return g_opMenu.cursor ? *g_opMenu.cursor : OpMenuItem{};
  }

  // Moves the cursor down with the PC key to the item that `is` accepts.
  template <typename F>
  bool downTo(F is) {
    for (int i = 0; i < 80; ++i) {
      if (g_opMenu.cursor && is(*g_opMenu.cursor)) return true;
      tap(Qt::Key_Down);
    }
    return false;
  }

  SimControl control;
  std::optional<SimFrontPanel> panel;
};

// Down, Down, Right on the main menu opens the item highlighted; on the operating-pages list
// it opens the block page of the highlighted row.
TEST_F(FrontKeys, DownTwiceThenRightOpensTheHighlightedItem) {
  toMainMenu();
  const OpMenuItem item = twoDown();
  tap(Qt::Key_Right);
  run(6);
  EXPECT_EQ(g_opMenu.pageId, item.sub);

  toMainMenu();
  ASSERT_EQ(g_opMenu.index, 0);
  tap(Qt::Key_Right);  // "Operating pages"
  run(6);
  ASSERT_EQ(g_opMenu.pageId, OP_PAGE_OPERATING);
  const OpMenuItem page = twoDown();
  ASSERT_NE(page.flags & OP_MENU_BLOCK, 0);
  tap(Qt::Key_Right);
  run(8);
  EXPECT_EQ(g_opPage.current, OP_BlockPageProc);
  EXPECT_EQ(g_opPage.currentBlock, page.sub);
}

// In the list dialog of the controller's `W Block` parameter, Down twice moves the selection two
// rows and Right takes the row highlighted.
TEST_F(FrontKeys, DownTwiceInAListDialogSelectsTheHighlightedChoice) {
  constexpr uint16_t kCtrl = 100;
  toMainMenu();
  ASSERT_TRUE(downTo([](const OpMenuItem& i) { return i.sub == OP_PAGE_PARAMETER; }));
  tap(Qt::Key_Right);
  run(4);
  ASSERT_TRUE(downTo([](const OpMenuItem& i) { return (i.flags & OP_MENU_BLOCK) && i.sub == kCtrl; }));
  tap(Qt::Key_Right);
  run(25);
  ASSERT_EQ(g_opPage.pageId, OP_PAGE_PARAM_LIST);
  ASSERT_TRUE(downTo([](const OpMenuItem& i) { return std::string(FW_GetText(i.textId)) == "W Block" && i.entry; }));
  const int row = g_opMenu.index;
  tap(Qt::Key_Right);
  run(5);
  ASSERT_TRUE(OP_EditActive());
  ASSERT_NE(g_opEdit.windowFlags & OP_EDIT_WIN_LIST, 0);
  const WM_HWIN list = WM_GetDialogItem(g_opEdit.window, OP_ID_LIST);
  const int count = LISTBOX_GetNumItems(list);
  ASSERT_GE(count, 3);
  const int start = LISTBOX_GetSel(list);
  tap(Qt::Key_Down);
  tap(Qt::Key_Down);
  const int chosen = LISTBOX_GetSel(list);
  EXPECT_EQ(chosen, (start + 2) % count);
  char text[40] = {};
  LISTBOX_GetItemText(list, static_cast<unsigned>(chosen), text, sizeof text);
  tap(Qt::Key_Right);
  run(30);
  EXPECT_FALSE(OP_EditActive());
  char listed[40] = {};
  LISTBOX_GetItemText(OP_TouchListBox(), static_cast<unsigned>(row), listed, sizeof listed);
  EXPECT_NE(std::string(listed).find(text), std::string::npos) << listed << " / " << text;
}

// A click on a key shorter than a cycle (press and release between two cycles) reaches the
// firmware: the cursor moves once. Twenty presses between two cycles move it once as well.
TEST_F(FrontKeys, AClickShorterThanACycleMovesTheCursorOnce) {
  toMainMenu();
  QWidget* down = panel->key(2);
  const QPoint mid = down->rect().center();
  const int start = g_opMenu.index;
  for (int i = 0; i < 3; ++i) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(mid), QPointF(mid), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(down, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(mid), QPointF(mid), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(down, &release);
    run(3);
  }
  EXPECT_EQ(g_opMenu.index, start + 3);
  EXPECT_EQ(highlighted(), g_opMenu.index);
  for (int i = 0; i < 20; ++i) {
    key(Qt::Key_Down, true);
    key(Qt::Key_Down, false);
  }
  run(3);
  EXPECT_EQ(g_opMenu.index, start + 4);
  EXPECT_EQ(highlighted(), g_opMenu.index);
}

// A session recorded with each of the five keys (◀ held, ▲, ▼, the page key, ▶, ▼, ▶, ▼ ▼) plays back to the same
// screen: the ▶ key travels in the key lines as well.
TEST_F(FrontKeys, ARecordedSessionWithEveryKeyPlaysBackToTheSameScreen) {
  const std::filesystem::path dir = std::filesystem::path(testenv::FreshFolder("frontkeys"));
  std::filesystem::create_directories(dir);
  const std::string script = (dir / "SESSION.TXT").string();
  SimScriptHooks hooks;
  hooks.front = [this](int id, intptr_t w, intptr_t l) { return panel->send(id, w, l); };
  SimScriptSetHooks(hooks);
  ScriptCycle cycle;
  control.setTarget(&cycle);
  SimScriptSetPaths("", script);
  SimScriptOpen();
  toMainMenu();
  tap(Qt::Key_Up);
  tap(Qt::Key_Down);
  tap(Qt::Key_PageDown);
  run(4);
  tap(Qt::Key_Right);
  run(6);
  tap(Qt::Key_Down);
  tap(Qt::Key_Right);
  run(8);
  tap(Qt::Key_Down);
  tap(Qt::Key_Down);
  run(6);
  const uint32_t cycles = SimState().cycleCount;
  const uint16_t pageId = g_opPage.pageId, block = g_opPage.currentBlock;
  const uint16_t field = g_opFieldEditor.currentField;
  ASSERT_EQ(g_opPage.current, OP_BlockPageProc);
  SimScriptClose();
  std::ifstream in(script);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("key 10000"), std::string::npos) << text;
  EXPECT_NE(text.find("key 00000"), std::string::npos) << text;

  // The same start, the recorded script played.
  startProject();
  SimScriptSetPaths(script, "");
  SimScriptOpen();
  ASSERT_TRUE(panel->pointerMode());
  while (SimState().cycleCount < cycles) run(1);
  EXPECT_EQ(g_opPage.pageId, pageId);
  EXPECT_EQ(g_opPage.currentBlock, block);
  EXPECT_EQ(g_opFieldEditor.currentField, field);
  std::filesystem::remove_all(dir);
}

}  // namespace
