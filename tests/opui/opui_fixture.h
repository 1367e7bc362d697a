// Fixture of the operating-interface tests: the graphics library on the emulated LCD, a clean
// firmware image, EEPROM rings, key state, page manager and display state; the dialog fixture
// adds the display windows and the value editor.
#pragma once

#include <cstring>
#include <optional>
#include <string>

#include "gui/GUI.h"
#include "gui/LCD.h"
#include "gui/widgets/WIDGET.h"
#include "opui/op_blockpage.h"
#include "opui/op_dialogs.h"
#include "opui/op_display.h"
#include "opui/op_editor.h"
#include "opui/op_field_editor.h"
#include "opui/op_input.h"
#include "opui/op_keys.h"
#include "opui/op_links.h"
#include "opui/op_menu.h"
#include "opui/op_pages.h"
#include "opui/op_services.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_login.h"
#include "runtime/fw_text.h"
#include "simlayer/SIM.h"
#include "support/io_fixture.h"
#include "support/lcd_harness.h"

namespace opuitest {

inline void noRun() {}
inline const char* const kTag[] = {"Tag"};
inline const uint16_t kWordValues[8] = {};
inline const FbBlockRange kAnyBlock[] = {{1, FB_MAX_BLOCK}, {0, 0}};

// A block of a type for the page tests: the type gets a row with eight word values and one
// text (the tag, "Tag"), and the block is created from it. The instance, or null.
inline uint16_t* makeBlock(uint16_t block, uint16_t type) {
  static FbTemplate templates[FB_TYPE_COUNT];
  FbTemplate& t = templates[type];
  t = FB_SizedTemplate(FbTemplate{.type = type, .wordValues = kWordValues, .texts = kTag});
  FB_RegisterType(type, FB_TypeFromTemplate(&t, noRun, nullptr, nullptr, nullptr, kAnyBlock, 0, 0, 0));
  FB_CreateInstance(type, block);
  return FB_GetInstance(block);
}

}  // namespace opuitest

class OpuiTest : public lcdtest::LcdTest {
 protected:
  void SetUp() override {
    lcdtest::LcdTest::SetUp();
    std::memset(g_fwImage, 0, sizeof g_fwImage);
    std::memset(g_fwInternalEeprom, 0, sizeof g_fwInternalEeprom);
    FW_ResetEeprom();
    FW_BindMainEeprom(g_fwImage, sizeof g_fwImage);
    OP_SetStartPicture(nullptr, 0);
    FW_ClearStepCodes();
    g_opDeviceState = OpDeviceState{};
    g_fwClock = FwClockState{};
    g_opKeys = OpKeyState{};
    g_opInput = OpInputState{};
    g_opPage = OpPageManager{};
    g_opOverlay = OpOverlayState{};
    OpIdleShown = 0;
    OpPageRequest = 0;
    OP_ClearPendingAction();
    FB_ClearStore();
    FB_ClearTypeTable();
    FW_ClearDeferredCalls();
    FW_ResetLogin();
    OP_MenuResetState();
    OP_MenuPageReset();
    g_opListState = OpListState{};
    g_opInfo = OpInfoState{};
    OP_ResetFieldEditor();
    g_opBlockPage = OpBlockPageState{};
    g_opJump = OpJumpRecord{};
    g_opListPages = OpListPages{};
    g_opServiceRequests = OpServiceRequests{};
    g_opEdit = OpEditState{};
    OP_ResetDisplay();
    const SIM_POINTER_STATE released{0, 0, 0};
    SIM_StorePointerState(&released);
    LCD_SetClipRectMax();
    GUI_SetBkColor(0);
    GUI_Clear();
  }
  // Writes of the main EEPROM ring that wait to be drained.
  static int queuedWrites() {
    int n = 0;
    for (const FwEepromWriteEntry& e : g_fwEeprom.main.entries) n += e.busy ? 1 : 0;
    return n;
  }
  static uint32_t pixel(int x, int y) { return LCD_GetPixelIndex(x, y); }
  // One firmware cycle as the main cycle runs the operating interface.
  static void cycle(uint8_t key) {
    g_opDeviceState.keyCode = key;
    OP_ReadKeysAndPointer();
    OP_RunPageManager(key);
    OP_UpdateDisplay();
  }
};

// The operating interface with its windows made, driven as a page procedure drives the value
// editor: each cycle steps the editor between the page manager and the display update, so
// that presses the editor queues for the dialogs are handled in the same cycle's redraw.
class OpuiDialogTest : public OpuiTest {
 protected:
  void SetUp() override {
    OpuiTest::SetUp();
    OP_ResetUi();
    OP_UpdateDisplay();
  }
  void TearDown() override {
    OP_CloseOverlays();
    OpuiTest::TearDown();
  }
  // One cycle; the editor's answer (1 when no edit runs or it has ended).
  static int editCycle(uint8_t key = 0) {
    g_opDeviceState.keyCode = key;
    OP_ReadKeysAndPointer();
    OP_RunPageManager(key);
    const int ended = OP_EditStep();
    OP_UpdateDisplay();
    return ended;
  }
  // A short press of a hard key: one cycle down, one released.
  static int shortPress(uint8_t key) {
    editCycle(key);
    return editCycle(0);
  }
  // A touch of the display: pressed for one cycle, released in the next.
  static void touch(int x, int y) {
    SIM_POINTER_STATE s{static_cast<int16_t>(x), static_cast<int16_t>(y), 2};
    SIM_StorePointerState(&s);
    editCycle(0);
    s.state = 0;
    SIM_StorePointerState(&s);
    editCycle(0);
  }
  // A touch in the middle of a dialog's item.
  static void touchItem(WM_HWIN dialog, int id) {
    GUI_RECT r{};
    WM_GetWindowRectEx(WM_GetDialogItem(dialog, id), &r);
    touch((r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2);
  }
};

// Block pages over the library's blocks: the operating interface with its windows, and a
// block fixture with every type and the I/O boards (made after the store was cleared). The
// cycles are those of the page manager, which steps the value editor of a block page.
class OpuiBlockPageTest : public OpuiTest {
 protected:
  // The pages in English, the language of the texts the tests compare.
  void SetUp() override {
    OpuiTest::SetUp();
    blocks.emplace();
    OP_LinkImage()[FW_IMG_LANGUAGE] = 1;
    FW_SelectTextLanguageByte(1);
    OP_ResetUi();
    OP_UpdateDisplay();
  }
  void TearDown() override {
    OP_CloseOverlays();
    blocks.reset();
    FW_SelectTextLanguageByte(0);
    OpuiTest::TearDown();
  }
  // Selects a block's page and runs its page-open action: 1 when the page is shown.
  static int openPage(uint16_t block) {
    if (!OP_SelectBlockPage(block)) return 0;
    for (int i = 0; i < 8 && g_opPending.pending; ++i) cycle(0);
    return g_opPage.current == OP_BlockPageProc && !g_opPending.pending ? 1 : 0;
  }
  static void cycles(int n, uint8_t key = 0) {
    for (int i = 0; i < n; ++i) cycle(key);
  }
  // A short press of a hard key: one cycle down, one released.
  static void shortPress(uint8_t key) {
    cycle(key);
    cycle(0);
  }
  // A touch of the display: pressed for one cycle, released in the next.
  static void touch(int x, int y) {
    SIM_POINTER_STATE s{static_cast<int16_t>(x), static_cast<int16_t>(y), 2};
    SIM_StorePointerState(&s);
    cycle(0);
    s.state = 0;
    SIM_StorePointerState(&s);
    cycle(0);
  }
  static void touchItem(WM_HWIN dialog, int id) {
    GUI_RECT r{};
    WM_GetWindowRectEx(WM_GetDialogItem(dialog, id), &r);
    touch((r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2);
  }
  // Types a number on the open keypad (digits, '.', '-') and confirms it.
  static void typeOnKeypad(const char* s) {
    for (; *s; ++s) {
      const int id = *s == '0' ? OP_ID_KP_0 : *s == '.' ? OP_ID_KP_POINT : *s == '-' ? OP_ID_KP_SIGN
                                                                          : OP_ID_KP_1 + (*s - '1');
      touchItem(g_opEdit.window, id);
    }
    touchItem(g_opEdit.window, OP_ID_KP_OK);
  }
  // Moves the field cursor with key 2 until the field is selected (at most n presses).
  static bool selectField(uint16_t field, int n = 12) {
    for (int i = 0; i < n && g_opFieldEditor.currentField != field; ++i) shortPress(OP_KEY_DOWN);
    return g_opFieldEditor.currentField == field;
  }
  static std::string rowText(const OpTextRow& r) { return r.text; }

  std::optional<IoFixture> blocks;
};