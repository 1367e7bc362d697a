// LISTBOX: selection by keys, commands and pointer, kept in view; entries added, inserted,
// replaced and deleted; the notifications to the parent; vertical auto-scroll.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "widget_fixture.h"

namespace widgettest {
namespace {

constexpr int kLine = 15;
constexpr int kId = 7;

class ListboxTest : public WidgetTest {
 protected:
  // Ten entries "Entry 0".."Entry 9" in a list of four lines inside a one-pixel frame.
  WM_HWIN MakeList(int entries = 10, int exFlags = 0) {
    host = Host();
    WM_HWIN h = LISTBOX_CreateEx(10, 10, 120, 4 * kLine + 2, host, WM_CF_SHOW, exFlags, kId, nullptr);
    LISTBOX_SetItemSpacing(h, kLine);
    for (int i = 0; i < entries; ++i) LISTBOX_AddString(h, ("Entry " + std::to_string(i)).c_str());
    Exec();
    return h;
  }
  static std::string Text(WM_HWIN h, int i) {
    char buf[32];
    return LISTBOX_GetItemText(h, unsigned(i), buf, sizeof buf) == 0 ? buf : "<none>";
  }
  static void Command(WM_HWIN h, int id) {
    WM_MESSAGE msg{};
    msg.MsgId = id;
    WM_SendMessage(h, &msg);
  }
  WM_HWIN host = 0;
};

constexpr int kUp = 17, kDown = 19, kPageDown = 33, kPageUp = 34;
constexpr int kPrev = -1, kNext = -2;   // the operating interface's commands

TEST_F(ListboxTest, KeysAndCommandsMoveTheSelectionAndKeepItInView) {
  struct Case {
    int sel;       // before
    int input;     // key, or kPrev / kNext
    int after;
    int first;     // first entry shown afterwards
    bool changed;  // a selection-changed notification
  };
  const Case cases[] = {
      {-1, kDown, 0, 0, true},     {-1, kUp, 0, 0, true},      {0, kUp, 0, 0, false},
      {0, kDown, 1, 0, true},      {3, kDown, 4, 1, true},     {9, kDown, 9, 6, false},
      {5, kPageDown, 9, 6, true},  {9, kPageUp, 5, 5, true},   {1, kPageUp, 0, 0, true},
      {2, kNext, 3, 0, true},      {2, kPrev, 1, 0, true},     {-1, kNext, 0, 0, true},
      {0, kPrev, 0, 0, false},     {9, kNext, 9, 6, false},
  };
  for (const Case& c : cases) {
    WM_HWIN h = MakeList();
    WM_SetFocus(h);
    LISTBOX_SetSel(h, c.sel);
    Exec();
    g_notes.clear();
    if (c.input == kPrev || c.input == kNext) {
      Command(h, c.input == kPrev ? WM_MSG_CMD_PREVIOUS : WM_MSG_CMD_NEXT);
      Exec();
    } else {
      Key(c.input);
    }
    const std::string what = std::to_string(c.sel) + " with " + std::to_string(c.input);
    EXPECT_EQ(LISTBOX_GetSel(h), c.after) << what;
    EXPECT_EQ(LISTBOX_GetScrollPos(h), c.first) << what;
    EXPECT_EQ(NotesOf(h), c.changed ? std::vector<intptr_t>{WM_NOTE_SEL_CHANGED} : std::vector<intptr_t>{}) << what;
    WM_DeleteWindow(host);
    Exec();
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(ListboxTest, SelectionSetOrNoneIsKeptInView) {
  WM_HWIN h = MakeList();
  LISTBOX_SetSel(h, 8);
  EXPECT_EQ(LISTBOX_GetSel(h), 8);
  EXPECT_EQ(LISTBOX_GetScrollPos(h), 5);
  LISTBOX_SetSel(h, 1);
  EXPECT_EQ(LISTBOX_GetScrollPos(h), 1);
  for (int bad : {-1, 10, 1000}) {
    LISTBOX_SetSel(h, 4);
    LISTBOX_SetSel(h, bad);
    EXPECT_EQ(LISTBOX_GetSel(h), -1) << bad;
  }
  // An empty list has nothing to select, from any side.
  WM_HWIN empty = LISTBOX_CreateEx(0, 0, 50, 50, host, WM_CF_SHOW, 0, 9, nullptr);
  LISTBOX_SetSel(empty, 0);
  LISTBOX_IncSel(empty);
  EXPECT_EQ(LISTBOX_GetSel(empty), -1);
  EXPECT_EQ(LISTBOX_GetNumItems(empty), 0);
  EXPECT_EQ(Text(empty, 0), "<none>");
}

TEST_F(ListboxTest, EntriesAddedInsertedReplacedAndDeletedKeepTheSelectedEntry) {
  WM_HWIN h = MakeList(3);
  LISTBOX_SetSel(h, 1);
  LISTBOX_InsertString(h, "First", 0);
  EXPECT_EQ(LISTBOX_GetNumItems(h), 4);
  EXPECT_EQ(Text(h, 0), "First");
  EXPECT_EQ(LISTBOX_GetSel(h), 2);
  EXPECT_EQ(Text(h, LISTBOX_GetSel(h)), "Entry 1");
  LISTBOX_InsertString(h, "Last", 99);   // beyond the end: appended
  EXPECT_EQ(Text(h, 4), "Last");
  LISTBOX_SetString(h, "Second", 1);
  EXPECT_EQ(Text(h, 1), "Second");
  LISTBOX_SetString(h, "Nothing", 5);     // no such entry
  EXPECT_EQ(LISTBOX_GetNumItems(h), 5);
  LISTBOX_DeleteItem(h, 0);
  EXPECT_EQ(LISTBOX_GetSel(h), 1);
  EXPECT_EQ(Text(h, 1), "Entry 1");
  LISTBOX_DeleteItem(h, unsigned(LISTBOX_GetSel(h)));
  EXPECT_EQ(LISTBOX_GetSel(h), -1);
  char small[4];
  ASSERT_EQ(LISTBOX_GetItemText(h, 0, small, sizeof small), 0);
  EXPECT_STREQ(small, "Sec");
  EXPECT_TRUE(errors.empty());
}

TEST_F(ListboxTest, PointerSelectsTheEntryUnderItAndTellsTheParent) {
  WM_HWIN h = MakeList();
  LISTBOX_SetSel(h, 4);            // entries 1..4 shown
  Exec();
  g_notes.clear();
  const int x = WM_GetWindowOrgX(h) + 20, y = WM_GetWindowOrgY(h) + 1 + 2 * kLine + 5;   // third line
  Pointer(x, y, 1);
  Pointer(x, y, 0);
  EXPECT_EQ(LISTBOX_GetSel(h), 3);
  EXPECT_EQ(NotesOf(h), (std::vector<intptr_t>{WM_NOTE_SEL_CHANGED, WM_NOTE_CLICKED, WM_NOTE_RELEASED}));
  // A press below the last entry selects nothing new.
  WM_HWIN few = LISTBOX_CreateEx(150, 10, 100, 100, host, WM_CF_SHOW, 0, 8, nullptr);
  LISTBOX_AddString(few, "Only");
  LISTBOX_SetSel(few, 0);
  Exec();
  g_notes.clear();
  Pointer(WM_GetWindowOrgX(few) + 10, WM_GetWindowOrgY(few) + 80, 1);
  Pointer(WM_GetWindowOrgX(few) + 10, WM_GetWindowOrgY(few) + 80, 0);
  EXPECT_EQ(LISTBOX_GetSel(few), 0);
  EXPECT_EQ(NotesOf(few), (std::vector<intptr_t>{WM_NOTE_CLICKED, WM_NOTE_RELEASED}));
}

TEST_F(ListboxTest, AutoScrollShowsAScrollbarWhileTheEntriesDoNotFit) {
  WM_HWIN h = MakeList(3);
  LISTBOX_SetAutoScrollV(h, 1);
  EXPECT_EQ(WM_GetScrollbarV(h), 0);        // three entries fit four lines
  LISTBOX_AddString(h, "Entry 3");
  LISTBOX_AddString(h, "Entry 4");
  WM_HWIN bar = WM_GetScrollbarV(h);
  ASSERT_NE(bar, 0);
  Exec();
  SCROLLBAR_SetValue(bar, 1);               // the bar scrolls the entries
  Exec();
  EXPECT_EQ(LISTBOX_GetScrollPos(h), 1);
  LISTBOX_SetSel(h, 0);                     // the selection is brought back into view
  EXPECT_EQ(LISTBOX_GetScrollPos(h), 0);
  EXPECT_EQ(SCROLLBAR_GetValue(bar), 0);
  LISTBOX_SetAutoScrollV(h, 0);
  Exec();
  EXPECT_EQ(WM_GetScrollbarV(h), 0);
  // Created with auto-scroll.
  WM_HWIN other = LISTBOX_CreateEx(150, 10, 100, 30, host, WM_CF_SHOW, LISTBOX_CF_AUTOSCROLLBAR_V, 8, nullptr);
  for (const char* s : {"a", "b", "c", "d"}) LISTBOX_AddString(other, s);
  EXPECT_NE(WM_GetScrollbarV(other), 0);
  EXPECT_TRUE(errors.empty());
}

TEST_F(ListboxTest, AnotherWidgetsHandleIsRefused) {
  WM_HWIN text = TEXT_CreateEx(0, 0, 40, 20, 0, WM_CF_SHOW, 0, 1, "x");
  LISTBOX_AddString(text, "x");
  EXPECT_EQ(LISTBOX_GetNumItems(text), 0);
  EXPECT_EQ(LISTBOX_GetSel(text), -1);
  ASSERT_FALSE(errors.empty());
  EXPECT_NE(errors[0].find("LISTBOX"), std::string::npos);
  WM_DeleteWindow(text);
}

}  // namespace
}  // namespace widgettest
