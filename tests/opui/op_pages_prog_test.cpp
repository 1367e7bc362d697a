// The programmer page and its segment table over the library's programmers and data blocks:
// what the page shows of the page record, the commands and requests its fields write, and
// the segment table's lines, cursor, edits and rebuilds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "opui/op_pages_prog.h"
#include "opui_fixture.h"
#include "runtime/fw_defer.h"
#include "support/prog_fixture.h"

namespace {

constexpr uint16_t kProg = ProgFixture::kProg;

std::string text(const OpTextRow& r) { return r.text; }
std::string trimmed(const OpTextRow& r) {
  std::string s = r.text;
  const size_t a = s.find_first_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a);
}
const OpTextRow& pageRow(int i) { return g_opPageRows.rows[i]; }
const OpTextRow& tableRow(int i) { return g_opMenuRows.items[i]; }
// A line of the segment table: "%-6.6s = %*s".
std::string tableLine(const char* label, int width, const char* value) {
  char t[40];
  std::snprintf(t, sizeof t, "%-6.6s = %*s", label, width, value);
  return t;
}

class ProgPageTest : public OpuiBlockPageTest {
 protected:
  void TearDown() override {
    prog.reset();
    g_fwRunMode = FW_RUN_MODE_STOP;
    OpuiBlockPageTest::TearDown();
  }
  // A programmer of the type with one data block of the segments, past its settle time.
  ProgPage& make(uint16_t type, uint16_t dataType, const std::vector<ProgSegment>& segments) {
    blocks.reset();
    prog.emplace(1, type);
    prog->addData(dataType, segments);
    prog->start();
    return prog->page();
  }
  // One firmware cycle: the page manager, the deferred calls, the blocks.
  void tick(uint8_t key = 0) {
    cycle(key);
    FW_RunDeferredCalls();
    prog->cycle();
  }
  void ticks(int n) {
    for (int i = 0; i < n; ++i) tick();
  }
  void press(uint8_t key) {
    tick(key);
    tick();
  }
  // The segment table, opened from the program field and built.
  void openTable() {
    ASSERT_EQ(openPage(kProg), 1);
    press(OP_KEY_DOWN);
    ASSERT_EQ(g_opFieldEditor.currentField, OP_PROG_FIELD_PROGRAM);
    press(OP_KEY_ENTER);
    ticks(6);
    ASSERT_EQ(g_opSegmentTable.open, 1);
    ASSERT_EQ(g_opSegmentTable.rebuild, 0);
  }
  std::optional<ProgFixture> prog;
};

// The page shows the record: the labels by the time unit, the times rounded (the remaining
// ones up, the run time down), mode, halt and state by their texts.
TEST_F(ProgPageTest, ShowsThePageRecord) {
  ProgPage& p = make(FB_TYPE_APROG, FB_TYPE_APROGD, {{10, 50}});
  ASSERT_EQ(openPage(kProg), 1);
  struct Case {
    uint16_t unit;
    float segRes, run, rest;
    const char *segLabel, *runLabel, *restLabel, *segText, *runText, *restText;
  };
  const Case cases[] = {
      {0, 90.5f, 1.999f, 0.001f, "tSegRem [h]", "tRun [h]", "tRem [h]", "01:30:30", "00:01:59", "00:00:01"},
      {1, 90.4f, 59.9f, 3600.0f, "tSegRem [min]", "tRun [min]", "tRem [min]", "1:31", "0:59", "60:00"},
      {0, FW_NO_VALUE, 0.0f, 0.0f, "tSegRem [h]", "tRun [h]", "tRem [h]", "", "00:00:00", "00:00:00"},
  };
  for (const Case& c : cases) {
    p.timeUnit = c.unit;
    p.segRes = c.segRes;
    p.tNetto = c.run;
    p.tRest = c.rest;
    p.pageState = PROG_PAGE_RUN;
    p.manual = 1;
    p.runStatus = 1;
    p.updated = 1;
    cycles(8);
    EXPECT_EQ(text(pageRow(6)), c.segLabel);
    EXPECT_EQ(text(pageRow(8)), c.runLabel);
    EXPECT_EQ(text(pageRow(10)), c.restLabel);
    EXPECT_EQ(trimmed(pageRow(7)), c.segText) << c.segRes;
    EXPECT_EQ(trimmed(pageRow(9)), c.runText) << c.run;
    EXPECT_EQ(trimmed(pageRow(11)), c.restText) << c.rest;
  }
  EXPECT_EQ(text(pageRow(14)), "run");
  EXPECT_EQ(text(pageRow(12)), "manual  ");
  EXPECT_EQ(text(pageRow(13)), "halt");
  // Values outside the texts' tables.
  p.pageState = 10;
  p.manual = 7;
  p.updated = 1;
  cycles(8);
  EXPECT_EQ(text(pageRow(14)), "??????");
  EXPECT_EQ(text(pageRow(12)), "??????");
}

// A run command chosen on the page reaches the page record once, and the block takes it.
TEST_F(ProgPageTest, RunCommandReachesTheRecordOnce) {
  ProgPage& p = make(FB_TYPE_APROG, FB_TYPE_APROGD, {{10, 50}, {10, 60}});
  ASSERT_EQ(openPage(kProg), 1);
  for (int i = 0; i < 8 && g_opFieldEditor.currentField != OP_PROG_FIELD_STATE; ++i) press(OP_KEY_DOWN);
  ASSERT_EQ(g_opFieldEditor.currentField, OP_PROG_FIELD_STATE);
  press(OP_KEY_ENTER);
  tick();
  ASSERT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_LIST);
  tick();
  EXPECT_EQ(OP_ListDialogCount(), 3);   // stop, run, reset: no search without XVal
  ASSERT_EQ(p.pageState, PROG_PAGE_RESET);
  press(OP_KEY_UP);                     // from "reset" to "run"
  cycle(OP_KEY_ENTER);
  cycle(0);
  cycle(0);
  EXPECT_EQ(p.command, PROG_CMD_RUN);
  prog->cycle();
  EXPECT_EQ(p.command, PROG_CMD_NONE);
  EXPECT_EQ(prog->own().pageRun, 1);
  for (int i = 0; i < 10; ++i) {
    cycle(0);
    EXPECT_EQ(p.command, PROG_CMD_NONE) << "written again in cycle " << i;
    prog->cycle();
  }
  EXPECT_EQ(p.pageState, PROG_PAGE_RUN);
  ticks(OP_FIELD_HOLD_CYCLES + 8);
  EXPECT_EQ(text(pageRow(14)), "run");
}

// Manual on from the mode field, then a manual value from the output field.
TEST_F(ProgPageTest, ModeAndManualValue) {
  ProgPage& p = make(FB_TYPE_APROG, FB_TYPE_APROGD, {{10, 50}});
  prog->fx.setDigitalInput(kProg, APROG_DI_MANFREE + 1, 1);
  ticks(2);
  ASSERT_EQ(openPage(kProg), 1);
  for (int i = 0; i < 8 && g_opFieldEditor.currentField != OP_PROG_FIELD_MODE; ++i) press(OP_KEY_DOWN);
  ASSERT_EQ(g_opFieldEditor.currentField, OP_PROG_FIELD_MODE);
  press(OP_KEY_ENTER);
  EXPECT_EQ(p.manual, 1);
  ticks(8);
  EXPECT_EQ(text(pageRow(12)), "manual  ");
  for (int i = 0; i < 8 && g_opFieldEditor.currentField != OP_PROG_FIELD_OUTPUT; ++i) press(OP_KEY_DOWN);
  ASSERT_EQ(g_opFieldEditor.currentField, OP_PROG_FIELD_OUTPUT);
  press(OP_KEY_ENTER);
  tick();
  ASSERT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_KEYPAD);
  typeOnKeypad("42");
  tick();
  EXPECT_FLOAT_EQ(prog->out(APROG_AO_WP), 42.0f);
}

// A program whose first target value is -32000: the program line, the start value and one
// segment, in the wide value column.
TEST_F(ProgPageTest, TableOfAProgramThatEndsAtOnce) {
  make(FB_TYPE_APROG, FB_TYPE_APROGD, {{10, FW_NO_VALUE}});
  openTable();
  EXPECT_EQ(g_opSegmentTable.count, 4);
  EXPECT_EQ(text(tableRow(0)), tableLine("RecEdt", 17, "1"));
  EXPECT_EQ(text(tableRow(1)), tableLine("Wp 0", 17, "0.000"));
  EXPECT_EQ(text(tableRow(2)), tableLine("Tp 1", 17, "0:10"));
  EXPECT_EQ(text(tableRow(3)), tableLine("Wp 1", 17, "----"));
  EXPECT_EQ(text(tableRow(4)), "");
  EXPECT_EQ(g_opSegmentTable.items[3].flags & FB_ROW_LAST, FB_ROW_LAST);
  EXPECT_EQ(g_opTextScreen.type, 7);
  EXPECT_EQ(g_opSegmentTable.items[3].sub, FB_ID_FLOAT + 1);
}

// With segment types, three lines a segment: a rate segment's time line reads "Rt"; from
// eight lines on the value column narrows to 15; a type outside the table reads "??????".
TEST_F(ProgPageTest, TypedTableNarrowsFromEightLines) {
  make(FB_TYPE_APROG, FB_TYPE_APRGD2, {{10, 50, PROG_SEG_TIME}, {5, FW_NO_VALUE, PROG_SEG_RATE}});
  openTable();
  ASSERT_EQ(g_opSegmentTable.count, 8);
  EXPECT_EQ(text(tableRow(2)), tableLine("Typ 1", 15, "Time"));
  EXPECT_EQ(text(tableRow(3)), tableLine("Tp 1", 15, "0:10"));
  EXPECT_EQ(text(tableRow(4)), tableLine("Wp 1", 15, "50.000"));
  EXPECT_EQ(text(tableRow(5)), tableLine("Typ 2", 15, "Rate"));
  EXPECT_EQ(text(tableRow(6)), tableLine("Rt 2", 15, "0:05"));
  EXPECT_EQ(text(tableRow(7)), tableLine("Wp 2", 15, "----"));
  prog->fx.wordParam(ProgFixture::kFirstData, 1, true) = 9;
  press(OP_KEY_DOWN);
  EXPECT_EQ(text(tableRow(2)), tableLine("Typ 1", 15, "??????"));
}

// DPROG: "D" lines with six digits, the output as six tracks under their label.
TEST_F(ProgPageTest, DigitalProgrammer) {
  ProgPage& p = make(FB_TYPE_DPROG, FB_TYPE_DPROGD, {{10, 101}, {10, FW_NO_VALUE}});
  ASSERT_EQ(openPage(kProg), 1);
  p.output = 101.0f;
  p.updated = 1;
  cycles(8);
  EXPECT_EQ(text(pageRow(3)), "000101");
  EXPECT_EQ(text(pageRow(4)), "6 . . . . 1");
  EXPECT_EQ(text(pageRow(5)), "");
  shortPress(OP_KEY_DOWN);
  press(OP_KEY_ENTER);
  ticks(6);
  ASSERT_EQ(g_opSegmentTable.count, 6);
  EXPECT_EQ(text(tableRow(1)), tableLine("D 0", 17, "000000"));
  EXPECT_EQ(text(tableRow(3)), tableLine("D 1", 17, "000101"));
  EXPECT_EQ(text(tableRow(5)), tableLine("D 2", 17, "----"));
}

// Entering a line edits its value through the data block's handler; two cycles after the
// edit the table is built again (here longer: the program no longer ends at segment 1) with
// the cursor on the edited line.
TEST_F(ProgPageTest, EditedLineRebuildsTheTableTwoCyclesLater) {
  make(FB_TYPE_APROG, FB_TYPE_APROGD, {{10, FW_NO_VALUE}});
  openTable();
  for (int i = 0; i < 3; ++i) press(OP_KEY_DOWN);
  ASSERT_EQ(g_opSegmentTable.cursor, 4);
  EXPECT_EQ(tableRow(3).colors[0], OP_ROW_HIGHLIGHT);
  press(OP_KEY_ENTER);
  tick();
  ASSERT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_KEYPAD);
  typeOnKeypad("75");
  int cyclesToRebuild = 0;
  while (g_opFieldEditor.editing && cyclesToRebuild < 5) tick(), ++cyclesToRebuild;
  ASSERT_FALSE(g_opFieldEditor.editing);
  EXPECT_EQ(prog->fx.floatParam(ProgFixture::kFirstData, 2, true), 75.0f);
  EXPECT_EQ(g_opSegmentTable.count, 4);
  tick();
  EXPECT_EQ(g_opSegmentTable.count, 4);
  tick();
  EXPECT_EQ(g_opSegmentTable.count, 22);
  EXPECT_EQ(g_opSegmentTable.cursor, 4);
  EXPECT_EQ(text(tableRow(3)), tableLine("Wp 1", 15, "75.000"));
}

// The program line chooses the program: while it may be chosen (reset, not from the input)
// the block selects it and lists its data blocks; the table is built for it.
TEST_F(ProgPageTest, ProgramLineSelectsTheProgram) {
  ProgPage& p = make(FB_TYPE_APROG, FB_TYPE_APROGD, {{10, 50}});
  openTable();
  ASSERT_EQ(p.progNoFixed, 0);
  press(OP_KEY_ENTER);
  tick();
  ASSERT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_KEYPAD);
  typeOnKeypad("2");
  cycle(0);
  EXPECT_EQ(p.command, PROG_CMD_SELECT);
  EXPECT_EQ(p.commandArg, 2);
  ticks(4);
  EXPECT_EQ(p.progNo, 2);
  EXPECT_EQ(g_opSegmentTable.recipe, 2);
  EXPECT_EQ(text(tableRow(0)), tableLine("RecEdt", 15, "2"));
  EXPECT_EQ(g_opSegmentTable.count, 22);
}

// The cursor stops at the first and the last line; a held key repeats; the window follows
// the cursor. Exit leaves the table and shows the page again.
TEST_F(ProgPageTest, TableCursorAndExit) {
  make(FB_TYPE_APROG, FB_TYPE_APROGD, {{10, 50}});
  openTable();
  ASSERT_EQ(g_opSegmentTable.count, 22);
  press(OP_KEY_UP);
  EXPECT_EQ(g_opSegmentTable.cursor, 1);
  for (int i = 0; i < 8; ++i) tick(OP_KEY_DOWN);   // one at once, then from the eighth cycle
  EXPECT_EQ(g_opSegmentTable.cursor, 3);
  for (int i = 0; i < 30; ++i) press(OP_KEY_DOWN);
  EXPECT_EQ(g_opSegmentTable.cursor, 22);
  EXPECT_EQ(g_opSegmentTable.top, 15);
  EXPECT_EQ(text(tableRow(7)).substr(0, 6), "Wp 10 ");
  press(OP_KEY_EXIT);
  ticks(6);
  EXPECT_EQ(g_opSegmentTable.open, 0);
  EXPECT_EQ(prog->page().tableOpen, 0);
  EXPECT_EQ(g_opPage.current, OP_BlockPageProc);
  EXPECT_EQ(g_opTextScreen.type, 2);
}

// The table ends at a data block that is missing or of another type.
TEST_F(ProgPageTest, TableStopsAtAMissingDataBlock) {
  ProgPage& p = make(FB_TYPE_APROG, FB_TYPE_APROGD, {{10, 50}});
  openTable();
  ASSERT_EQ(g_opSegmentTable.count, 22);
  for (uint16_t other : {uint16_t{999}, kProg}) {
    p.dataBlocks[1] = other;
    p.dataBlocks[2] = ProgFixture::kFirstData;
    p.dataBlocks[3] = 0;
    EXPECT_EQ(OP_SegmentCount(), 22) << other;
  }
  p.dataBlocks[1] = ProgFixture::kFirstData;
  p.dataBlocks[2] = 0;
  EXPECT_EQ(OP_SegmentCount(), 42);
}

// The programmer page as the display shows it.
TEST_F(ProgPageTest, PageOnTheDisplay) {
  g_fwClock.now.hour = 9;
  g_fwClock.now.minute = 41;
  ProgPage& p = make(FB_TYPE_APROG, FB_TYPE_APROGD, {{10, 50}});
  ASSERT_EQ(openPage(kProg), 1);
  p.xVal = 48.5f;
  p.segNo = 2;
  p.output = 50.0f;
  p.w0 = 0.0f;
  p.w100 = 100.0f;
  p.dp = 1;
  p.segRes = 12.5f;
  p.tNetto = 30.0f;
  p.tRest = 45.25f;
  p.timeUnit = 0;
  p.pageState = PROG_PAGE_RUN;
  p.updated = 1;
  cycles(8);
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "programmer_page"));
}

// A programmer that vanished while its page was open leaves the page, also from its table.
TEST_F(ProgPageTest, VanishedProgrammerLeavesThePage) {
  make(FB_TYPE_APROG, FB_TYPE_APROGD, {{10, 50}});
  openTable();
  uint16_t* instance = g_fbStore.list[kProg].instance;
  void* record = g_fbStore.list[kProg].pageData;
  g_fbStore.list[kProg].instance = nullptr;
  g_fbStore.list[kProg].pageData = nullptr;
  cycle(0);
  EXPECT_EQ(g_opPage.current, OP_MenuPageProc);
  g_fbStore.list[kProg].instance = instance;
  g_fbStore.list[kProg].pageData = record;
}

// The reset hook closes the table's state.
TEST_F(ProgPageTest, ResetHookClearsTheTableFlags) {
  make(FB_TYPE_APROG, FB_TYPE_APROGD, {{10, 50}});
  openTable();
  g_opSegmentTable.editing = g_opSegmentTable.rebuild = 1;
  g_opSegmentTable.rebuildDelay = 2;
  OP_ResetBlockPageFlags();
  EXPECT_EQ(g_opSegmentTable.open, 0);
  EXPECT_EQ(g_opSegmentTable.editing, 0);
  EXPECT_EQ(g_opSegmentTable.rebuild, 0);
  EXPECT_EQ(g_opSegmentTable.rebuildDelay, 0);
}

}  // namespace

namespace {

// The touch that opens the keypad on the segment field ends there: the key now under the
// pointer is not typed, whether the touch is let go at once, held for a while or slid over
// the key before it is let go; the touches that begin after the keypad is shown are keys.
TEST_F(ProgPageTest, TheTouchThatOpensTheKeypadTypesNothing) {
  struct Case {
    const char* what;
    int heldCycles;   // cycles the second touch stays down after it opened the keypad
    int slide;        // pixels it moves while down
  };
  const Case cases[] = {{"let go at once", 0, 0}, {"held", 6, 0}, {"slid", 6, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    make(FB_TYPE_APROG, FB_TYPE_APROGD, {{10, 50}});
    ASSERT_EQ(openPage(kProg), 1);
    ticks(4);
    const OpRect& r = *g_opProgPage.fields->fields[OP_PROG_FIELD_SEGMENT - 1].touch;
    const int x = r.x + r.xSize / 2, y = r.y + r.ySize / 2;
    auto pointer = [&](int px, int state) {
      SIM_POINTER_STATE s{static_cast<int16_t>(px), static_cast<int16_t>(y), static_cast<uint8_t>(state)};
      SIM_StorePointerState(&s);
      tick();
    };
    // The first touch selects the field, the second enters it.
    pointer(x, 2);
    pointer(x, 0);
    ASSERT_EQ(g_opFieldEditor.currentField, OP_PROG_FIELD_SEGMENT);
    pointer(x, 2);
    for (int i = 0; i < 3 && !(g_opEdit.windowFlags & OP_EDIT_WIN_KEYPAD); ++i) pointer(x, 2);
    ASSERT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_KEYPAD);
    const WM_HWIN keypad = g_opEdit.window;
    ASSERT_TRUE(WM_IsWindow(keypad));
    auto entry = [&] {
      char t[16] = {};
      EDIT_GetText(WM_GetDialogItem(keypad, OP_ID_KP_EDIT), t, sizeof t);
      const std::string text(t);
      return text.substr(std::min(text.size(), text.find_first_not_of(' ')));
    };
    const std::string shown = entry();
    for (int i = 0; i < c.heldCycles; ++i) pointer(x + (i + 1) * c.slide / c.heldCycles, 2);
    pointer(x + c.slide, 0);
    ticks(2);
    ASSERT_TRUE(WM_IsWindow(keypad));
    EXPECT_EQ(entry(), shown) << "nothing typed";
    // A new touch on a key types it.
    touchItem(keypad, OP_ID_KP_1 + 6);
    ticks(2);
    EXPECT_EQ(entry(), "7");
    OP_EditAbort();
    ticks(4);
    TearDown();
    SetUp();
  }
}

}  // namespace
