// Widgets and dialogs on the window manager: dialog creation from item tables and the focus
// cycle, the notifications of buttons, check boxes and scrollbars under pointer and keys,
// the scrollbar's auto-repeat with a moved clock, the EDIT field's text and decimal modes,
// TEXT transparency and the widget base.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "gui/draw/GUI_Draw.h"
#include "widget_fixture.h"

namespace widgettest {

namespace {

constexpr int kIdButton = 10, kIdEdit = 11, kIdButton2 = 12, kIdCheck = 13;

WM_HWIN FailingItem(const GUI_DIALOG_ITEM*, WM_HWIN, int, int, WM_CALLBACK*) { return 0; }

const GUI_DIALOG_ITEM kFocusDialog[] = {
    {FRAMEWIN_CreateIndirect, "Focus", 0, 10, 10, 200, 120, 0, 0, 0},
    {TEXT_CreateIndirect, "Label", 20, 5, 5, 60, 16, GUI_TA_LEFT, 0, 0},
    {BUTTON_CreateIndirect, "One", kIdButton, 5, 25, 60, 20, 0, 0, 0},
    {EDIT_CreateIndirect, nullptr, kIdEdit, 70, 25, 60, 20, 0, 8, 0},
    {BUTTON_CreateIndirect, "Two", kIdButton2, 5, 50, 60, 20, 0, 0, 0},
};

// ---- Dialogs ---------------------------------------------------------------------------------

TEST_F(WidgetTest, DialogWhoseThirdItemFailsLeavesNoWindowBehind) {
  const GUI_DIALOG_ITEM table[] = {
      {FRAMEWIN_CreateIndirect, "Broken", 0, 10, 10, 150, 100, 0, 0, 0},
      {BUTTON_CreateIndirect, "Ok", kIdButton, 5, 5, 50, 20, 0, 0, 0},
      {FailingItem, nullptr, 99, 5, 30, 50, 20, 0, 0, 0},
      {BUTTON_CreateIndirect, "Never", kIdButton2, 5, 55, 50, 20, 0, 0, 0},
  };
  int before = WM_GetNumWindows();
  int32_t blocks = GUI_ALLOC_GetNumUsedBlocks();
  EXPECT_EQ(GUI_CreateDialogBox(table, 4, RecordingDialog, 0, 0, 0), 0);
  EXPECT_EQ(WM_GetNumWindows(), before);
  EXPECT_EQ(GUI_ALLOC_GetNumUsedBlocks(), blocks);
  for (const Note& n : g_notes) EXPECT_NE(n.msg, WM_MSG_INIT_DIALOG) << "no init message for a dialog not made";
}

TEST_F(WidgetTest, DialogFocusStartsOnTheFirstFocusableItemAndTabWraps) {
  WM_HWIN hDlg = GUI_CreateDialogBox(kFocusDialog, 5, RecordingDialog, 0, 0, 0);
  ASSERT_NE(hDlg, 0);
  Exec();
  ASSERT_FALSE(g_notes.empty());
  EXPECT_EQ(g_notes[0].msg, WM_MSG_INIT_DIALOG);
  EXPECT_EQ(g_notes[0].hWin, hDlg) << "the owner sees the init message addressed to the frame";
  WM_HWIN b1 = WM_GetDialogItem(hDlg, kIdButton), e = WM_GetDialogItem(hDlg, kIdEdit),
          b2 = WM_GetDialogItem(hDlg, kIdButton2);
  EXPECT_EQ(WM_GetFocus(), b1);
  EXPECT_TRUE(FRAMEWIN_IsActive(hDlg));
  Key(9);
  EXPECT_EQ(WM_GetFocus(), e);
  Key(9);
  EXPECT_EQ(WM_GetFocus(), b2);
  Key(9);
  EXPECT_EQ(WM_GetFocus(), b1) << "tab on the last focusable child wraps to the first";
  Key(10);
  EXPECT_EQ(WM_GetFocus(), b2);
  EXPECT_TRUE(WIDGET_GetState(b2) & WIDGET_STATE_FOCUS);
  EXPECT_FALSE(WIDGET_GetState(b1) & WIDGET_STATE_FOCUS);
  EXPECT_TRUE(errors.empty()) << errors[0];
}

TEST_F(WidgetTest, DialogKeepsAFocusAlreadyInsideAndNoParentMeansNoFocusChange) {
  WM_HWIN other = BUTTON_CreateEx(250, 200, 40, 20, 0, WM_CF_SHOW, 0, 77);
  WM_SetFocus(other);
  WM_HWIN hDlg = GUI_CreateDialogBox(kFocusDialog, 5, RecordingDialog, -1, 0, 0);
  ASSERT_NE(hDlg, 0);
  EXPECT_EQ(WM_GetFocus(), other);
  WM_DeleteWindow(hDlg);
  // Reopened under the desktop, the dialog takes the focus.
  hDlg = GUI_CreateDialogBox(kFocusDialog, 5, RecordingDialog, 0, 0, 0);
  EXPECT_EQ(WM_GetFocus(), WM_GetDialogItem(hDlg, kIdButton));
  // After the focus left the dialog, focusing the frame returns it to the child it had.
  Key(9);
  WM_SetFocus(other);
  EXPECT_FALSE(FRAMEWIN_IsActive(hDlg));
  WM_SetFocus(hDlg);
  EXPECT_EQ(WM_GetFocus(), WM_GetDialogItem(hDlg, kIdEdit));
}

TEST_F(WidgetTest, EndDialogEndsTheModalWaitWithItsValue) {
  WM_HWIN hDlg = GUI_CreateDialogBox(kFocusDialog, 5, RecordingDialog, 0, 0, 0);
  // The frame keeps the status pointer that GUI_EndDialog fills.
  WM_DIALOG_STATUS status{};
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_HANDLE_DIALOG_STATUS;
  msg.Data.p = &status;
  WM_SendMessage(hDlg, &msg);
  GUI_EndDialog(hDlg, 42);
  EXPECT_EQ(status.Done, 1);
  EXPECT_EQ(status.ReturnValue, 42);
  Exec();
  EXPECT_FALSE(WM_IsWindow(hDlg)) << "deleted by the next exec pass";
}

void EndOnRelease(WM_MESSAGE* pMsg) {
  if (pMsg->MsgId == WM_MSG_NOTIFY_PARENT && pMsg->Data.v == WM_NOTE_RELEASED && WM_GetId(pMsg->hWinSrc) == kIdButton2)
    GUI_EndDialog(pMsg->hWin, 7);
  WM_DefaultProc(pMsg);
}

TEST_F(WidgetTest, ModalDialogRunsUntilAButtonEndsIt) {
  WM_HWIN hDlg = GUI_CreateDialogBox(kFocusDialog, 5, EndOnRelease, 0, 0, 0);
  WM_HWIN b = WM_GetDialogItem(hDlg, kIdButton2);
  QueueClick(b);
  EXPECT_EQ(GUI_ExecCreatedDialog(hDlg), 7);
  Exec();
  EXPECT_FALSE(WM_IsWindow(hDlg));
}

void DeleteOnRelease(WM_MESSAGE* pMsg) {
  if (pMsg->MsgId == WM_MSG_NOTIFY_PARENT && pMsg->Data.v == WM_NOTE_RELEASED) WM_MarkForDeletion(pMsg->hWin);
  WM_DefaultProc(pMsg);
}

TEST_F(WidgetTest, ModalWaitEndsWhenTheDialogIsDeletedWithoutEnding) {
  WM_HWIN hDlg = GUI_CreateDialogBox(kFocusDialog, 5, DeleteOnRelease, 0, 0, 0);
  WM_HWIN b = WM_GetDialogItem(hDlg, kIdButton);
  QueueClick(b);
  EXPECT_EQ(GUI_ExecCreatedDialog(hDlg), 0);
  EXPECT_FALSE(WM_IsWindow(hDlg));
}

TEST_F(WidgetTest, WindowCyclesAndRemembersTheFocusOfItsChildren) {
  WM_HWIN w = WINDOW_CreateEx(10, 10, 200, 100, 0, WM_CF_SHOW, 0, 40, RecordingDialog);
  WM_HWIN a = BUTTON_CreateEx(5, 5, 50, 20, w, WM_CF_SHOW, 0, 41);
  WM_HWIN b = BUTTON_CreateEx(5, 30, 50, 20, w, WM_CF_SHOW, 0, 42);
  WM_HWIN other = BUTTON_CreateEx(250, 200, 40, 20, 0, WM_CF_SHOW, 0, 43);
  WM_SetFocus(w);
  EXPECT_EQ(WM_GetFocus(), a);
  Key(9);
  EXPECT_EQ(WM_GetFocus(), b);
  Key(9);
  EXPECT_EQ(WM_GetFocus(), a) << "tab on the last child wraps to the first";
  Key(9);
  WM_SetFocus(other);
  WM_SetFocus(w);
  EXPECT_EQ(WM_GetFocus(), b) << "the window gives the focus back to the child that had it";
  EXPECT_TRUE(WIDGET_GetState(b) & WIDGET_STATE_FOCUS);
}

// ---- BUTTON --------------------------------------------------------------------------------------

struct ButtonCase {
  const char* name;
  int releaseDx;  // where the pointer is released, relative to the centre
  std::vector<intptr_t> notes;
  int key;
};

TEST_F(WidgetTest, ButtonPressAndReleaseNotifyAndQueueTheId) {
  const ButtonCase cases[] = {
      {"release inside", 0, {WM_NOTE_CLICKED, WM_NOTE_RELEASED}, kIdButton},
      {"slide out", 200, {WM_NOTE_CLICKED, WM_NOTE_MOVED_OUT}, 0},
  };
  for (const ButtonCase& c : cases) {
    g_notes.clear();
    WM_HWIN hDlg = GUI_CreateDialogBox(kFocusDialog, 5, RecordingDialog, 0, 0, 0);
    WM_HWIN b = WM_GetDialogItem(hDlg, kIdButton);
    Exec();
    int x = CenterX(b), y = CenterY(b);
    Pointer(x, y, 1);
    EXPECT_TRUE(BUTTON_IsPressed(b)) << c.name;
    Pointer(x + c.releaseDx, y, 1);
    Pointer(x + c.releaseDx, y, 0);
    EXPECT_EQ(NotesOf(b), c.notes) << c.name;
    EXPECT_FALSE(BUTTON_IsPressed(b)) << c.name;
    EXPECT_EQ(GUI_GetKey(), c.key) << c.name;
    WM_DeleteWindow(hDlg);
  }
}

TEST_F(WidgetTest, ButtonKeysHiddenAndDisabledButtons) {
  WM_HWIN hDlg = GUI_CreateDialogBox(kFocusDialog, 5, RecordingDialog, 0, 0, 0);
  WM_HWIN b = WM_GetDialogItem(hDlg, kIdButton);
  Key(13);
  EXPECT_EQ(NotesOf(b), (std::vector<intptr_t>{WM_NOTE_CLICKED, WM_NOTE_RELEASED}));
  EXPECT_EQ(GUI_GetKey(), kIdButton);
  // A hidden button changes its state but tells nobody.
  g_notes.clear();
  WM_HideWindow(b);
  BUTTON_SetPressed(b, 0);
  WM_MESSAGE msg{};
  WM_KEY_INFO info{32, 1};
  msg.MsgId = WM_MSG_KEY;
  msg.Data.p = &info;
  WM_SendMessage(b, &msg);
  EXPECT_TRUE(BUTTON_IsPressed(b));
  EXPECT_TRUE(NotesOf(b).empty());
  // Disabling a pressed button clears its pressed look without a notification.
  WM_ShowWindow(b);
  WM_DisableWindow(b);
  EXPECT_FALSE(BUTTON_IsPressed(b));
  EXPECT_TRUE(NotesOf(b).empty());
}

// ---- CHECKBOX ------------------------------------------------------------------------------------

TEST_F(WidgetTest, CheckboxClickedTwiceReturnsToZeroValueChangedFirst) {
  const GUI_DIALOG_ITEM table[] = {
      {FRAMEWIN_CreateIndirect, "Check", 0, 10, 10, 150, 80, 0, 0, 0},
      {CHECKBOX_CreateIndirect, nullptr, kIdCheck, 5, 5, 100, 20, 0, 0, 0},
  };
  WM_HWIN hDlg = GUI_CreateDialogBox(table, 2, RecordingDialog, 0, 0, 0);
  WM_HWIN c = WM_GetDialogItem(hDlg, kIdCheck);
  Exec();
  std::vector<int> states;
  for (int i = 0; i < 2; ++i) {
    Pointer(WM_GetWindowOrgX(c) + 5, CenterY(c), 1);
    Pointer(WM_GetWindowOrgX(c) + 6, CenterY(c), 1);  // held: the capture keeps it at one step
    Pointer(WM_GetWindowOrgX(c) + 6, CenterY(c), 0);
    states.push_back(CHECKBOX_GetState(c));
  }
  EXPECT_EQ(states, (std::vector<int>{1, 0}));
  const std::vector<intptr_t> once = {WM_NOTE_VALUE_CHANGED, WM_NOTE_CLICKED, 0, WM_NOTE_RELEASED};
  std::vector<intptr_t> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(NotesOf(c), twice);
  EXPECT_EQ(GUI_GetKey(), kIdCheck);
  // A state equal to the number of states changes nothing and tells nobody.
  g_notes.clear();
  CHECKBOX_SetState(c, 2);
  EXPECT_EQ(CHECKBOX_GetState(c), 0);
  EXPECT_TRUE(NotesOf(c).empty());
  // Every default picture index the setter accepts has its slot.
  for (unsigned i = 0; i < 8; ++i) CHECKBOX_SetDefaultImage(nullptr, i);
  // Space steps it too.
  WM_SetFocus(c);
  Key(32);
  EXPECT_TRUE(CHECKBOX_IsChecked(c));
}

// ---- SCROLLBAR -----------------------------------------------------------------------------------

TEST_F(WidgetTest, ScrollbarValueStaysInsideTheRange) {
  WM_HWIN s = SCROLLBAR_CreateEx(10, 10, 200, 16, 0, WM_CF_SHOW, 0, 30);
  SCROLLBAR_SetValue(s, 95);
  EXPECT_EQ(SCROLLBAR_GetValue(s), 90);
  SCROLLBAR_SetValue(s, -5);
  EXPECT_EQ(SCROLLBAR_GetValue(s), 0);
  WM_SetFocus(s);
  Key(33);
  EXPECT_EQ(SCROLLBAR_GetValue(s), 10) << "page up adds a page";
  Key(34);
  EXPECT_EQ(SCROLLBAR_GetValue(s), 0);
  Key(18);
  EXPECT_EQ(SCROLLBAR_GetValue(s), 1);
  // Fewer items than a page: v stays 0.
  SCROLLBAR_SetPageSize(s, 200);
  SCROLLBAR_SetValue(s, 50);
  EXPECT_EQ(SCROLLBAR_GetValue(s), 0);
  // Setting the item count below v leaves v until the next change.
  SCROLLBAR_SetPageSize(s, 10);
  SCROLLBAR_SetValue(s, 80);
  SCROLLBAR_SetNumItems(s, 50);
  EXPECT_EQ(SCROLLBAR_GetValue(s), 80);
  SCROLLBAR_AddValue(s, 0);
  EXPECT_EQ(SCROLLBAR_GetValue(s), 40);
}

TEST_F(WidgetTest, ScrollbarArrowRepeatsAfter400MsThenEvery50Ms) {
  WM_HWIN s = SCROLLBAR_CreateEx(10, 10, 200, 16, Host(), WM_CF_SHOW, 0, 30);
  Exec();
  SCROLLBAR_POSITIONS pos;
  SCROLLBAR_GetPositions(s, &pos);
  int x = WM_GetWindowOrgX(s) + pos.x0_RightArrow + 2, y = CenterY(s);
  Pointer(x, y, 1);
  struct Step {
    uint32_t ms;
    int v;
  } steps[] = {{0, 1}, {399, 1}, {400, 2}, {449, 2}, {450, 3}, {500, 4}, {550, 5}};
  for (const Step& st : steps) {
    At(st.ms);
    EXPECT_EQ(SCROLLBAR_GetValue(s), st.v) << "at " << st.ms << " ms";
  }
  Pointer(x, y, 0);
  At(1000);
  EXPECT_EQ(SCROLLBAR_GetValue(s), 5) << "the release stops the repeat";
  std::vector<intptr_t> notes = NotesOf(s);
  ASSERT_GE(notes.size(), 2u);
  EXPECT_EQ(notes[0], WM_NOTE_VALUE_CHANGED) << "the first step, then the click";
  EXPECT_EQ(notes[1], WM_NOTE_CLICKED);
  EXPECT_EQ(notes.back(), WM_NOTE_RELEASED);
}

TEST_F(WidgetTest, ScrollbarPageRepeatStopsWhereThePointerIs) {
  WM_HWIN s = SCROLLBAR_CreateEx(10, 10, 200, 16, 0, WM_CF_SHOW, 0, 30);
  Exec();
  int x = WM_GetWindowOrgX(s) + 150, y = CenterY(s);
  Pointer(x, y, 1);
  for (uint32_t ms = 400; ms <= 2000; ms += 50) At(ms);
  SCROLLBAR_POSITIONS pos;
  SCROLLBAR_GetPositions(s, &pos);
  int xRel = x - WM_GetWindowOrgX(s);
  EXPECT_LE(pos.x0_Thumb, xRel + 3);
  EXPECT_GE(pos.x1_Thumb, xRel - 3) << "the thumb ends under the pointer";
  Pointer(x, y, 0);
}

TEST_F(WidgetTest, DraggingAThumbWithoutRoomDoesNotCrash) {
  struct Case {
    int length, numItems, pageSize;
  } cases[] = {{20, 100, 10}, {100, 5, 10}, {2, 100, 10}};
  for (const Case& c : cases) {
    WM_HWIN s = SCROLLBAR_CreateEx(10, 100, c.length, 16, 0, WM_CF_SHOW, 0, 30);
    SCROLLBAR_SetNumItems(s, c.numItems);
    SCROLLBAR_SetPageSize(s, c.pageSize);
    Exec();
    for (int dx = 0; dx < c.length; dx += 3) Pointer(WM_GetWindowOrgX(s) + dx, CenterY(s), 1);
    Pointer(WM_GetWindowOrgX(s), CenterY(s), 0);
    At(5000);
    EXPECT_GE(SCROLLBAR_GetValue(s), 0);
    EXPECT_LE(SCROLLBAR_GetValue(s), std::max(0, c.numItems - c.pageSize));
    WM_DeleteWindow(s);
  }
}

TEST_F(WidgetTest, ScrollbarDraggedThumbFollowsThePointer) {
  WM_HWIN s = SCROLLBAR_CreateEx(10, 10, 200, 16, 0, WM_CF_SHOW, 0, 30);
  Exec();
  SCROLLBAR_POSITIONS pos;
  SCROLLBAR_GetPositions(s, &pos);
  int x0 = WM_GetWindowOrgX(s) + (pos.x0_Thumb + pos.x1_Thumb) / 2;
  Pointer(x0, CenterY(s), 1);
  Pointer(WM_GetWindowOrgX(s) + 199, CenterY(s) + 30, 1);  // the capture keeps the drag
  EXPECT_EQ(SCROLLBAR_GetValue(s), 90);
  Pointer(WM_GetWindowOrgX(s) - 50, CenterY(s), 1);
  EXPECT_EQ(SCROLLBAR_GetValue(s), 0);
  Pointer(WM_GetWindowOrgX(s) - 50, CenterY(s), 0);
}

TEST_F(WidgetTest, AttachedScrollbarsAnswerTheScrollState) {
  WM_HWIN w = WINDOW_CreateEx(20, 20, 150, 100, 0, WM_CF_SHOW, 0, 40, nullptr);
  WM_HWIN v = SCROLLBAR_CreateAttached(w, SCROLLBAR_CF_VERTICAL);
  ASSERT_NE(v, 0);
  EXPECT_EQ(WM_GetScrollbarV(w), v);
  EXPECT_EQ(WM_GetWindowSizeX(v), SCROLLBAR_GetDefaultWidth());
  EXPECT_EQ(WM_GetWindowSizeY(v), 100);
  WM_SCROLL_STATE st{50, 7, 5};
  WIDGET_SetScrollStates(w, &st, nullptr);
  WM_SCROLL_STATE got{};
  WM_GetScrollState(v, &got);
  EXPECT_EQ(got.NumItems, 50);
  EXPECT_EQ(got.v, 7);
  EXPECT_EQ(got.PageSize, 5);
}

TEST_F(WidgetTest, WindowScrollbarsComeAndGo) {
  WM_HWIN w = WINDOW_CreateEx(20, 20, 150, 100, 0, WM_CF_SHOW, 0, 40, nullptr);
  EXPECT_EQ(WM_SetScrollbarH(w, 1), 0);
  WM_HWIN h = WM_GetScrollbarH(w);
  ASSERT_NE(h, 0);
  EXPECT_EQ(WM_GetWindowOrgY(h) + WM_GetWindowSizeY(h), 20 + 100) << "along the bottom of the inside";
  EXPECT_EQ(WM_SetScrollbarH(w, 1), 1);
  EXPECT_EQ(WM_GetScrollbarH(w), h);
  // Switched off and on again before the next exec pass, the same scrollbar stays.
  EXPECT_EQ(WM_SetScrollbarH(w, 0), 1);
  EXPECT_FALSE(WM_IsVisible(h));
  WM_SetScrollbarH(w, 1);
  Exec();
  EXPECT_TRUE(WM_IsWindow(h));
  EXPECT_TRUE(WM_IsVisible(h));
  WM_SetScrollbarH(w, 0);
  Exec();
  EXPECT_FALSE(WM_IsWindow(h));
  EXPECT_EQ(WM_SetScrollbarV(w, 1), 0);
  EXPECT_NE(WM_GetScrollbarV(w), 0);
}

// ---- EDIT ----------------------------------------------------------------------------------------

TEST_F(WidgetTest, EditDecimalModeShowsShiftedValueAndStepsDigits) {
  struct Case {
    uint8_t flags;
    const char* shown;
  } cases[] = {{0, "012.3"}, {GUI_EDIT_SUPPRESS_LEADING_ZEROES, " 12.3"}};
  for (const Case& c : cases) {
    WM_HWIN e = EDIT_CreateEx(10, 10, 80, 20, 0, WM_CF_SHOW, 0, 50, 5);
    EDIT_SetDecMode(e, 123, 0, 5000, 1, c.flags);
    EXPECT_EQ(EditText(e), c.shown);
    EDIT_SetCursorAtChar(e, 4);
    EDIT_AddKey(e, 17);
    EXPECT_EQ(EDIT_GetValue(e), 124) << "up on the last digit gives 12.4";
    // The cursor skips the separator both ways.
    EDIT_AddKey(e, 16);
    EXPECT_EQ(EDIT_GetCursorCharPos(e), 2);
    EDIT_AddKey(e, 18);
    EXPECT_EQ(EDIT_GetCursorCharPos(e), 4);
    EDIT_SetCursorAtChar(e, 2);
    EDIT_AddKey(e, 17);
    EXPECT_EQ(EDIT_GetValue(e), 134) << "up left of the separator adds one";
    EDIT_SetCursorAtChar(e, 0);
    EDIT_AddKey(e, '9');
    EXPECT_EQ(EDIT_GetValue(e), 5000) << "a typed digit beyond the maximum is clamped";
    WM_DeleteWindow(e);
  }
}

TEST_F(WidgetTest, EditSelectionStopsAtTheEndOfTheText) {
  WM_HWIN e = EDIT_CreateEx(10, 10, 120, 20, 0, WM_CF_SHOW, 0, 50, 16);
  EDIT_SetText(e, "abcd");
  WM_SetFocus(e);
  EDIT_SetSel(e, 1, 3);
  Exec();
  const std::vector<uint32_t> upToLast = lcdtest::ReadFrame();
  EDIT_SetSel(e, 1, 14);  // past the text: the selection ends at its last character
  Exec();
  EXPECT_EQ(lcdtest::ReadFrame(), upToLast);
  EDIT_SetSel(e, 1, -1);
  Exec();
  EXPECT_EQ(lcdtest::ReadFrame(), upToLast);
}

TEST_F(WidgetTest, EditDecimalModeNegativeValuesAndSign) {
  WM_HWIN e = EDIT_CreateEx(10, 10, 80, 20, 0, WM_CF_SHOW, 0, 50, 6);
  EDIT_SetDecMode(e, -45, -999, 999, 1, GUI_EDIT_SIGNED);
  EXPECT_EQ(EditText(e).back(), '5');
  EXPECT_NE(EditText(e).find('-'), std::string::npos);
  EDIT_SetCursorAtChar(e, 0);
  EDIT_AddKey(e, 17);  // on the sign: toggles it
  EXPECT_EQ(EDIT_GetValue(e), 45);
  EXPECT_EQ(EditText(e)[0], '+');
}

TEST_F(WidgetTest, EditTextKeysAtTheEdges) {
  WM_HWIN e = EDIT_CreateEx(10, 10, 80, 20, 0, WM_CF_SHOW, 0, 50, 4);
  g_notes.clear();
  EDIT_SetText(e, "abcd");
  EXPECT_EQ(EDIT_GetCursorCharPos(e), 4);
  EDIT_AddKey(e, 'x');
  EXPECT_EQ(EditText(e), "abcd") << "a full field in insert mode takes nothing";
  EDIT_AddKey(e, 30);
  EXPECT_EQ(EditText(e), "abcd") << "delete at the end does nothing";
  EDIT_SetCursorAtChar(e, 0);
  EDIT_AddKey(e, 8);
  EXPECT_EQ(EditText(e), "abcd") << "backspace at 0 does nothing";
  EDIT_AddKey(e, 30);
  EXPECT_EQ(EditText(e), "bcd");
  EDIT_AddKey(e, 17);
  EXPECT_EQ(EditText(e), "ccd");
  EDIT_AddKey(e, 29);  // overwrite
  for (int i = 0; i < 6; ++i) EDIT_AddKey(e, 'z');
  EXPECT_EQ(EditText(e), "zzzz");
  EXPECT_EQ(EDIT_GetCursorCharPos(e), 3) << "in overwrite mode the cursor stops at the last place";
  // Up and down never step a character out of the code page (nor onto the terminator).
  EDIT_SetText(e, "\xFF\x01");
  EDIT_SetCursorAtChar(e, 0);
  EDIT_AddKey(e, 17);
  EDIT_SetCursorAtChar(e, 1);
  EDIT_AddKey(e, 19);
  EXPECT_EQ(EditText(e), "\xFF\x01");
  EDIT_SetText(e, "a much too long text");
  EXPECT_EQ(EditText(e), "a mu");
  EDIT_SetSel(e, 1, 30);
  EDIT_SetText(e, nullptr);
  EXPECT_EQ(EDIT_GetNumChars(e), 0);
  EXPECT_EQ(EditText(e), "");
  EDIT_AddKey(e, 'q');
  EXPECT_EQ(EditText(e), "q");
}

// ---- TEXT and the widget base -----------------------------------------------------------------

TEST_F(WidgetTest, TextBackgroundColourSetsTransparency) {
  WM_HWIN t = TEXT_CreateEx(10, 10, 80, 20, 0, WM_CF_SHOW, 0, 60, "Hello");
  EXPECT_TRUE(WM_GetHasTrans(t));
  TEXT_SetBkColor(t, 0x00FFFFFF);
  EXPECT_FALSE(WM_GetHasTrans(t));
  TEXT_SetBkColor(t, GUI_INVALID_COLOR);
  EXPECT_TRUE(WM_GetHasTrans(t));
  EXPECT_EQ(TEXT_SetText(t, "World"), 0);
}

TEST_F(WidgetTest, WidgetBaseFocusRefusalEffectsAndUserData) {
  WM_HWIN w = WINDOW_CreateEx(20, 20, 150, 100, 0, WM_CF_SHOW, 0, 40, RecordingDialog);
  WM_HWIN t = TEXT_CreateEx(10, 10, 40, 20, w, WM_CF_SHOW, 0, 61, "x");
  g_notes.clear();
  EXPECT_EQ(WM_SetFocus(t), 1) << "a TEXT is not focusable";
  EXPECT_TRUE(NotesOf(t).empty());
  // From a frame of 2 to a frame of 1: a child without anchors moves one pixel left and up;
  // one anchored on all sides grows by two pixels each way.
  WM_HWIN b = BUTTON_CreateEx(20, 20, 60, 30, 0, WM_CF_SHOW, 0, 62);
  WIDGET_SetEffect(b, &WIDGET_Effect_3D);
  WM_HWIN free = WM_CreateWindowAsChild(10, 10, 10, 10, b, WM_CF_SHOW, nullptr, 0);
  WM_HWIN all = WM_CreateWindowAsChild(
      5, 5, 20, 10, b, WM_CF_SHOW | WM_CF_ANCHOR_LEFT | WM_CF_ANCHOR_RIGHT | WM_CF_ANCHOR_TOP | WM_CF_ANCHOR_BOTTOM,
      nullptr, 0);
  WIDGET_SetEffect(b, &WIDGET_Effect_Simple);
  EXPECT_EQ(WM_GetWindowOrgX(free), 20 + 9);
  EXPECT_EQ(WM_GetWindowOrgY(free), 20 + 9);
  EXPECT_EQ(WM_GetWindowOrgX(all), 20 + 4);
  EXPECT_EQ(WM_GetWindowSizeX(all), 22);
  EXPECT_EQ(WM_GetWindowSizeY(all), 12);
  // User data: only what the block holds after the record is copied.
  WM_HWIN u = WM_CreateWindowAsChild(0, 0, 10, 10, w, 0, nullptr, 8);
  uint8_t src[64];
  for (int i = 0; i < 64; ++i) src[i] = uint8_t(i);
  int n = WM_SetUserData(u, src, 64);
  EXPECT_GE(n, 8);
  EXPECT_LT(n, 64);
  uint8_t dst[64] = {};
  EXPECT_EQ(WM_GetUserData(u, dst, 64), n);
  EXPECT_EQ(std::memcmp(src, dst, size_t(n)), 0);
  WM_HWIN ub = BUTTON_CreateUser(0, 0, 10, 10, w, 0, 0, 63, 4);
  int32_t value = 0x12345678, back = 0;
  EXPECT_EQ(BUTTON_SetUserData(ub, &value, 4), 4);
  EXPECT_EQ(BUTTON_GetUserData(ub, &back, 4), 4);
  EXPECT_EQ(back, value);
  // A handle of another widget type is reported and changes nothing.
  errors.clear();
  EXPECT_EQ(CHECKBOX_GetState(ub), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "CHECKBOX:\nWrong handle type or Object not init'ed in CHECKBOX_LockH()");
}

}  // namespace
}  // namespace widgettest
