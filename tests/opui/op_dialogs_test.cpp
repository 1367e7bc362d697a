// The touch dialogs opened directly: what they show, how their buttons edit and end them, and
// the overlay nesting count they keep.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "opui_fixture.h"
#include "gui/core/GUI_Input.h"
#include "runtime/fw_text.h"

namespace {

using DialogTest = OpuiDialogTest;

// The text of an EDIT item as it reads on the display (a decimal field pads with blanks).
std::string editText(WM_HWIN dialog, int id) {
  char t[16] = {};
  EDIT_GetText(WM_GetDialogItem(dialog, id), t, sizeof t);
  const char* s = t;
  while (*s == ' ') ++s;
  return s;
}

TEST_F(DialogTest, KeypadShowsTheValueAndTheLimits) {
  float value = 12.5f;
  uint8_t done = 9;
  const WM_HWIN h = OP_OpenKeypad(OP_KEYPAD_INTEGER, &value, 0.0f, 100.0f, 1, &done);
  ASSERT_NE(h, 0);
  EXPECT_EQ(done, OP_DIALOG_OPEN);
  EXPECT_EQ(g_opOverlay.nesting, 1);
  EXPECT_EQ(WM_GetParent(h), g_opDisplay.body);
  editCycle();
  EXPECT_EQ(editText(h, OP_ID_KP_EDIT), "12.5");
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "keypad"));
  touchItem(h, OP_ID_KP_ESC);
  EXPECT_EQ(done, OP_DIALOG_CANCEL);
  EXPECT_FLOAT_EQ(value, 12.5f);
  EXPECT_EQ(g_opOverlay.nesting, 0);
  EXPECT_FALSE(WM_IsWindow(h));
}

TEST_F(DialogTest, KeypadTextEditing) {
  struct Case {
    int kind;
    float start;
    int decimals;
    std::vector<int> keys;
    bool taken;
    float value;
  };
  const int k1 = OP_ID_KP_1, k2 = k1 + 1, k3 = k1 + 2, k5 = k1 + 4, k9 = k1 + 8;
  const int k0 = OP_ID_KP_0, pt = OP_ID_KP_POINT, sg = OP_ID_KP_SIGN, col = OP_ID_KP_COLON;
  const int del = OP_ID_KP_DEL, off = OP_ID_KP_OFF;
  const std::vector<Case> cases = {
      {OP_KEYPAD_NUMBER, 1.0f, 2, {k1, pt, k2, k5}, true, 1.25f},
      {OP_KEYPAD_NUMBER, 1.0f, 0, {k1, pt, k2}, true, 12.0f},         // no point without decimals
      {OP_KEYPAD_NUMBER, 1.0f, 1, {pt, k5}, true, 0.5f},
      {OP_KEYPAD_NUMBER, 1.0f, 1, {k3, sg, sg, sg}, true, -3.0f},
      {OP_KEYPAD_NUMBER, 1.0f, 1, {sg}, true, -1.0f},                  // on the shown value
      {OP_KEYPAD_NUMBER, 1.0f, 1, {k9, col, k9}, true, 99.0f},         // no colon in numbers
      {OP_KEYPAD_NUMBER, 1.0f, 1, {off}, true, -32000.0f},
      {OP_KEYPAD_NUMBER, 1.0f, 1, {off, del, k2}, true, 2.0f},
      {OP_KEYPAD_NUMBER, 7.0f, 1, {del, del, del}, false, 7.0f},       // empty: no number
      {OP_KEYPAD_NUMBER, 7.0f, 1, {k1, sg, del}, false, 7.0f},         // "-": no number
      {OP_KEYPAD_MINSEC, 125.0f, 0, {}, true, 125.0f},
      {OP_KEYPAD_MINSEC, 0.0f, 0, {k2, col, k5}, true, 125.0f},
      {OP_KEYPAD_MINSEC, 0.0f, 0, {k2, col, k5, col, k5}, true, 175.0f},   // one colon only
      {OP_KEYPAD_MINSEC, 0.0f, 0, {k2, pt, sg}, true, 120.0f},             // no point or sign
      {OP_KEYPAD_HMS, 0.0f, 0, {k1, col, k3, k0}, true, 5400.0f},
      {OP_KEYPAD_HMS, 0.0f, 0, {col, k1, col, k1}, true, 61.0f},
      {OP_KEYPAD_DIGITS, 101.0f, 2, {k1, pt, k1}, true, 11.0f},
      {OP_KEYPAD_NUMBER, 0.0f, 0, std::vector<int>(12, k9), true, 9999999999.0f},  // ten digits
  };
  for (const Case& c : cases) {
    float value = c.start;
    uint8_t done = 0;
    const WM_HWIN h = OP_OpenKeypad(c.kind, &value, 0.0f, 1.0e10f, c.decimals, &done);
    ASSERT_NE(h, 0);
    for (int id : c.keys) touchItem(h, id);
    touchItem(h, OP_ID_KP_OK);
    EXPECT_EQ(done, c.taken ? OP_DIALOG_OK : OP_DIALOG_OPEN) << c.kind << "/" << c.keys.size();
    EXPECT_FLOAT_EQ(value, c.value) << c.kind << "/" << c.keys.size();
    if (!c.taken) touchItem(h, OP_ID_KP_ESC);
    EXPECT_EQ(g_opOverlay.nesting, 0);
  }
}

// Characters typed on a keyboard go through the keypad's own rules: the first replaces the shown
// value, a second point is refused, and the text shown is the text OK takes.
TEST_F(DialogTest, KeypadTakesTypedCharactersAsItsKeys) {
  struct Case {
    int kind;
    int decimals;
    const char* typed;   // '\b' is Backspace
    int end;             // 13 (Enter) or 27 (Escape); 0 leaves the dialog open
    const char* shown;
    uint8_t done;
    float value;
  };
  const Case cases[] = {
      {OP_KEYPAD_NUMBER, 1, "12.5", 13, "12.5", OP_DIALOG_OK, 12.5f},
      {OP_KEYPAD_NUMBER, 1, "1.2.5", 0, "1.2", OP_DIALOG_OPEN, 0.0f},   // one point, one decimal
      {OP_KEYPAD_NUMBER, 2, "3-", 13, "-3", OP_DIALOG_OK, -3.0f},
      {OP_KEYPAD_NUMBER, 1, "47\b", 13, "4", OP_DIALOG_OK, 4.0f},
      {OP_KEYPAD_NUMBER, 1, "9x", 27, "9", OP_DIALOG_CANCEL, 0.0f},      // a letter is no key
      {OP_KEYPAD_MINSEC, 0, "2:05", 13, "2:05", OP_DIALOG_OK, 125.0f},
  };
  for (const Case& c : cases) {
    float value = 0.0f;
    uint8_t done = 0;
    const WM_HWIN h = OP_OpenKeypad(c.kind, &value, -100.0f, 1000.0f, c.decimals, &done);
    ASSERT_NE(h, 0);
    editCycle();
    WM_SetFocus(WM_GetDialogItem(h, OP_ID_KP_EDIT));
    for (const char* p = c.typed; *p; ++p) {
      GUI_SendKeyMsg(*p == '\b' ? 8 : *p, 1);
      GUI_SendKeyMsg(*p == '\b' ? 8 : *p, 0);
    }
    editCycle();
    EXPECT_EQ(editText(h, OP_ID_KP_EDIT), c.shown) << c.typed;
    if (c.end) {
      WM_SetFocus(WM_GetDialogItem(h, OP_ID_KP_EDIT));
      GUI_SendKeyMsg(c.end, 1);
      GUI_SendKeyMsg(c.end, 0);
      editCycle();
    }
    EXPECT_EQ(done, c.done) << c.typed;
    EXPECT_FLOAT_EQ(value, c.value) << c.typed;
    if (WM_IsWindow(h)) touchItem(h, OP_ID_KP_ESC);
    EXPECT_EQ(g_opOverlay.nesting, 0);
  }
}

TEST_F(DialogTest, KeypadShowsOffAndTimes) {
  struct Case {
    int kind;
    float value;
    const char* text;
  };
  const std::vector<Case> cases = {
      {OP_KEYPAD_NUMBER, -32000.0f, "OFF"},
      {OP_KEYPAD_DIGITS, 101.0f, "000101"},
      {OP_KEYPAD_MINSEC, 3725.0f, "62:05"},
      {OP_KEYPAD_HMS, 3725.0f, "1:02:05"},
  };
  for (const Case& c : cases) {
    float value = c.value;
    uint8_t done = 0;
    const WM_HWIN h = OP_OpenKeypad(c.kind, &value, 0.0f, 1.0e6f, 1, &done);
    ASSERT_NE(h, 0);
    EXPECT_EQ(editText(h, OP_ID_KP_EDIT), c.text);
    OP_CloseTouchDialogs();
    EXPECT_EQ(done, OP_DIALOG_CANCEL);
  }
  float value = 0.0f;
  uint8_t done = 0;
  EXPECT_EQ(OP_OpenKeypad(7, &value, 0.0f, 1.0f, 0, &done), 0) << "a kind outside the table";
  EXPECT_EQ(done, OP_DIALOG_CANCEL);
  EXPECT_EQ(OP_OpenKeypad(OP_KEYPAD_NUMBER, nullptr, 0.0f, 1.0f, 0, &done), 0);
  EXPECT_EQ(g_opOverlay.nesting, 0);
}

TEST_F(DialogTest, ListShowsItsTextsAndWritesTheChosenCode) {
  const uint16_t codes[] = {1, 3, 5};
  const OpTextList list{5440, 3, codes};
  int32_t value = 3;
  uint8_t done = 0;
  const WM_HWIN h = OP_OpenListDialog(&list, &value, &done);
  ASSERT_NE(h, 0);
  const WM_HWIN box = WM_GetDialogItem(h, OP_ID_LIST);
  ASSERT_EQ(LISTBOX_GetNumItems(box), 3);
  char text[40];
  LISTBOX_GetItemText(box, 2, text, sizeof text);
  EXPECT_STREQ(text, FW_GetText(5445));
  EXPECT_EQ(LISTBOX_GetSel(box), 1);
  EXPECT_EQ(OP_ListDialogAdd("more", 9), 1);
  EXPECT_EQ(OP_ListDialogCount(), 4);
  LISTBOX_SetSel(box, 3);
  touchItem(h, OP_ID_LIST_OK);
  EXPECT_EQ(done, OP_DIALOG_OK);
  EXPECT_EQ(value, 9);
  EXPECT_EQ(g_opOverlay.nesting, 0);
  EXPECT_EQ(OP_ListDialogAdd("late", 1), 0) << "no list open";

  value = 4;   // among none of the entries
  const WM_HWIN h2 = OP_OpenListDialog(&list, &value, &done);
  ASSERT_NE(h2, 0);
  EXPECT_EQ(LISTBOX_GetSel(WM_GetDialogItem(h2, OP_ID_LIST)), -1);
  OP_CloseTouchDialogs();
  EXPECT_EQ(done, OP_DIALOG_CANCEL);
  EXPECT_EQ(value, 4);
}

TEST_F(DialogTest, ListOkWithoutASelectionStaysOpen) {
  const uint16_t codes[] = {1, 2};
  const OpTextList list{5440, 2, codes};
  int32_t value = 7;
  uint8_t done = 0;
  const WM_HWIN h = OP_OpenListDialog(&list, &value, &done);
  ASSERT_NE(h, 0);
  EXPECT_EQ(LISTBOX_GetSel(WM_GetDialogItem(h, OP_ID_LIST)), -1);
  touchItem(h, OP_ID_LIST_OK);
  EXPECT_EQ(done, OP_DIALOG_OPEN);
  touchItem(h, OP_ID_LIST_ESC);
  EXPECT_EQ(done, OP_DIALOG_CANCEL);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(g_opOverlay.nesting, 0);
}

TEST_F(DialogTest, SixBitEntryShowsAndWritesTheDigits) {
  float value = 101001.0f;
  uint8_t done = 0;
  WM_HWIN h = OP_OpenBitsDialog(&value, &done);
  ASSERT_NE(h, 0);
  // From the left: bit 6 (id 2054) to bit 1 (id 2049).
  std::vector<int> boxes;
  for (int id = OP_ID_BITS_BOX1 + 5; id >= OP_ID_BITS_BOX1; --id)
    boxes.push_back(CHECKBOX_IsChecked(WM_GetDialogItem(h, id)));
  EXPECT_EQ(boxes, (std::vector<int>{1, 0, 1, 0, 0, 1}));
  touchItem(h, OP_ID_BITS_BOX1);
  touchItem(h, OP_ID_BITS_OK);
  EXPECT_EQ(done, OP_DIALOG_OK);
  EXPECT_FLOAT_EQ(value, 101000.0f);

  value = 101001.0f;
  h = OP_OpenBitsDialog(&value, &done);
  ASSERT_NE(h, 0);
  touchItem(h, OP_ID_BITS_BOX1);
  touchItem(h, OP_ID_BITS_ESC);
  EXPECT_EQ(done, OP_DIALOG_CANCEL);
  EXPECT_FLOAT_EQ(value, 101001.0f);
  EXPECT_EQ(g_opOverlay.nesting, 0);
}

TEST_F(DialogTest, PlusMinusReportsItsStepsUntilExit) {
  int8_t step = 5;
  uint8_t done = 0;
  const WM_HWIN h = OP_OpenPlusMinus(&step, &done);
  ASSERT_NE(h, 0);
  EXPECT_EQ(step, 0);
  touchItem(h, OP_ID_PM_PLUS);
  touchItem(h, OP_ID_PM_PLUS);
  touchItem(h, OP_ID_PM_MINUS);
  EXPECT_EQ(step, 1);
  WM_MESSAGE next{};
  next.MsgId = WM_MSG_CMD_NEXT;
  WM_SendMessage(WM_GetClientWindow(h), &next);
  EXPECT_EQ(step, 0);
  touchItem(h, OP_ID_PM_EXIT);
  EXPECT_EQ(done, OP_DIALOG_OK);
  EXPECT_EQ(g_opOverlay.nesting, 0);
}

TEST_F(DialogTest, MessageBoxWithTheBuiltInIcon) {
  uint8_t done = 0;
  const WM_HWIN h = OP_OpenMessageBox(nullptr, 0, "Alarm", "Tank 1", "level high", &done);
  ASSERT_NE(h, 0);
  editCycle();
  // The icon: the white "i" on the blue disc at client 5, 20 (frame 20, 41; border 3 and a
  // 5-pixel title bar with its gap).
  const int x = 20 + 3 + 5, y = 41 + 3 + 5 + 1 + 20;
  EXPECT_EQ(pixel(x + 24, y + 28), LCD_Color2Index(0xFFFFFF)) << "the stem of the i";
  EXPECT_EQ(pixel(x + 12, y + 25), LCD_Color2Index(0xC06020)) << "the disc";
  EXPECT_EQ(pixel(x + 1, y + 1), LCD_Color2Index(0xFFFFFF)) << "the background";
  touchItem(h, OP_ID_MSG_OK);
  EXPECT_EQ(done, OP_DIALOG_OK);
  EXPECT_TRUE(WM_IsWindow(h)) << "the owner closes the box";
  uint8_t second = 0;
  EXPECT_EQ(OP_OpenMessageBox(nullptr, 0, "x", "", "", &second), 0) << "one at a time";
  EXPECT_EQ(second, OP_DIALOG_CANCEL);
  EXPECT_EQ(g_opOverlay.nesting, 1);
  OP_CloseMessageBox();
  EXPECT_EQ(g_opOverlay.nesting, 0);
  EXPECT_EQ(done, OP_DIALOG_OK);
}

TEST_F(DialogTest, AddressBytesAreEditedThroughTheKeypad) {
  uint8_t address[4] = {192, 168, 0, 1};
  FwShortLimit byteRange{0, 255};
  OpAddressEntry entries[4]{};
  for (int i = 0; i < 4; ++i) {
    entries[i].descriptor.kind = OP_FIELD_BYTE;
    entries[i].descriptor.value = &address[i];
    entries[i].descriptor.limits = &byteRange;
    entries[i].index = static_cast<uint16_t>(i);
  }
  const WM_HWIN h = OP_OpenAddressDialog(address, entries);
  ASSERT_NE(h, 0);
  EXPECT_EQ(OP_AddressDialog(), h);
  const char* shown[4] = {"192", "168", "0", "1"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(editText(h, OP_ID_ADDR_EDIT0 + i), shown[i]);
  touchItem(h, OP_ID_ADDR_EDIT0 + 2);
  ASSERT_TRUE(OP_EditActive());
  editCycle();
  ASSERT_NE(g_opEdit.window, 0);
  EXPECT_EQ(g_opOverlay.nesting, 2);
  for (int id : {int(OP_ID_KP_1) + 2, int(OP_ID_KP_0), int(OP_ID_KP_0)}) touchItem(g_opEdit.window, id);
  touchItem(g_opEdit.window, OP_ID_KP_OK);
  editCycle();
  EXPECT_FALSE(OP_EditActive());
  EXPECT_EQ(address[2], 255) << "a byte is 0..255";
  EXPECT_EQ(editText(h, OP_ID_ADDR_EDIT0 + 2), "255");
  EXPECT_EQ(g_opOverlay.nesting, 1);
  touchItem(h, OP_ID_ADDR_CLOSE);
  EXPECT_EQ(OP_AddressDialog(), 0);
  EXPECT_EQ(g_opOverlay.nesting, 0);
}

TEST_F(DialogTest, OneDialogOfAKindAndButtonsThatExist) {
  float value = 1.0f;
  uint8_t first = 0, second = 0;
  const WM_HWIN h = OP_OpenKeypad(OP_KEYPAD_NUMBER, &value, 0.0f, 10.0f, 1, &first);
  ASSERT_NE(h, 0);
  float other = 5.0f;
  EXPECT_EQ(OP_OpenKeypad(OP_KEYPAD_NUMBER, &other, 0.0f, 10.0f, 1, &second), 0);
  EXPECT_EQ(second, OP_DIALOG_CANCEL);
  EXPECT_EQ(first, OP_DIALOG_OPEN);
  EXPECT_EQ(g_opOverlay.nesting, 1);
  EXPECT_TRUE(OP_PressDialogButton(h, OP_ID_KP_OK));
  EXPECT_FALSE(OP_PressDialogButton(h, 1999));
  EXPECT_FALSE(OP_PressDialogButton(0, OP_ID_KP_OK));
  editCycle();
  EXPECT_EQ(first, OP_DIALOG_OK) << "the press hit the button's real rectangle";
  EXPECT_EQ(g_opOverlay.nesting, 0);
}

}  // namespace
