// Fixture of the menu page, list and info page tests: the operating interface with its
// windows, driven cycle by cycle as the firmware's main cycle drives it, with menus of any
// length and blocks with page records.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "opui/op_menu_build.h"
#include "opui/op_pages.h"
#include "opui_fixture.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_text.h"
#include "runtime/fw_text_ids.h"

class MenuPageTest : public OpuiDialogTest {
 protected:
  void SetUp() override {
    g_fwRunMode = FW_RUN_MODE_STOP;
    OpuiDialogTest::SetUp();
  }
  void TearDown() override {
    g_fwRunMode = FW_RUN_MODE_STOP;
    OpuiDialogTest::TearDown();
  }
  // The device online (operating state and run mode 2) or offline (both 1).
  static void setOnline(bool on) {
    g_opDeviceState.operatingState = on ? 2 : 1;
    g_fwRunMode = on ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
  }
  static void loadEngineering() { std::memcpy(g_fwImage, FW_IMAGE_TAG, 4); }
  static void run(int cycles, uint8_t key = 0) {
    for (int i = 0; i < cycles; ++i) cycle(key);
  }
  // A short press: one cycle down, one released.
  static void tap(uint8_t key) {
    cycle(key);
    cycle(0);
  }
  // Cycles until the menu shown is built and its title written.
  static void settle() {
    for (int i = 0; i < 40 && (g_opPending.pending || g_opMenu.buildStep <= OP_STEP_SUFFIX); ++i) cycle(0);
  }
  static std::string title() { return g_opMenuRows.title.text; }
  static std::string row(int index) { return OP_BuildListRow(index); }
  static int listEntries() {
    const WM_HWIN box = OP_TouchListBox();
    return box ? LISTBOX_GetNumItems(box) : -1;
  }
  static std::string listEntry(int i) {
    char text[40] = {};
    LISTBOX_GetItemText(OP_TouchListBox(), static_cast<unsigned>(i), text, sizeof text);
    return text;
  }
  // A block with a page record of its own (first byte: hidden, type word as given).
  static uint16_t* pageBlock(uint16_t block, uint16_t type, uint16_t recordType = 0) {
    uint16_t* inst = opuitest::makeBlock(block, type);
    static OpInfoPageRecord records[FB_LIST_SIZE];
    records[block] = OpInfoPageRecord{};
    records[block].header.type = recordType ? recordType : type;
    g_fbStore.list[block].pageData = &records[block];
    return inst;
  }
  static OpInfoPageRecord& record(uint16_t block) {
    return *static_cast<OpInfoPageRecord*>(g_fbStore.list[block].pageData);
  }
};

// A run-time menu of n inert items for the tests, with its page id.
struct TestMenu {
  OpMenuHeader header;
  std::vector<OpMenuItem> items;
  TestMenu(int n, uint16_t pageId, uint16_t text = FW_TXT_INFO) {
    for (int i = 0; i < n; ++i) items.push_back(opmenu::inertItem(static_cast<uint16_t>(i + 1), text));
    items.back().flags |= OP_MENU_LAST;
    header = OpMenuHeader{OP_MENU_HEADER, pageId, opmenu::noCallback, 0, FW_TXT_INFO, items.data(),
                          static_cast<uint16_t>(items.size())};
  }
};
