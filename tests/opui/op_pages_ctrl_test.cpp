// The controller pages (overview, tuning pages of CONTR/CONTR+ and PIDMA) and the input
// calibration page over the library's blocks: what they show of the blocks' records, the
// refresh rounds, and the requests their fields write.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "blocks/ctrl/ctrl.h"
#include "blocks/ctrl/ctrl_ext.h"
#include "blocks/io/io.h"
#include "opui/op_pages_ctrl.h"
#include "opui_fixture.h"
#include "runtime/fw_clock.h"

namespace {

constexpr uint16_t kCtrl = 150;
constexpr uint16_t kPidma = 151;
constexpr uint16_t kAinp1 = 61;

// The text of a page row from a column on (the whole row from 0).
std::string textOf(const OpTextRow& r, size_t from = 0) {
  const std::string s = r.text;
  return from < s.size() ? s.substr(from) : std::string();
}
const OpTextRow& pageRow(int i) { return g_opPageRows.rows[i]; }
const OpTextRow& line(int i) { return g_opMenuRows.items[i]; }
// A line of the calibration page: "%-6s = %17s".
std::string calLine(const char* label, const char* value) {
  char t[32];
  std::snprintf(t, sizeof t, "%-6s = %17s", label, value);
  return t;
}

class CtrlPageTest : public OpuiBlockPageTest {
 protected:
  // A controller that lets the page change its setpoint (`W Block` "None"), started and run.
  CtrlBlockState& make(uint16_t type = BLK_TYPE_CONTR, uint16_t block = kCtrl) {
    blocks->create(type, block);
    const uint16_t wBlock = type == BLK_TYPE_PIDMA ? 4 : type == BLK_TYPE_CONTR_PLUS ? 2 : 1;
    blocks->wordParam(block, wBlock) = CTRL_WBLOCK_NONE;
    blocks->wordParam(block, wBlock, true) = CTRL_WBLOCK_NONE;
    blocks->init(block);
    blocks->run(block);
    return *CTRL_StateOf(block);
  }
  // The values the overview shows, set as the block's run leaves them.
  static void show(CtrlBlockState& s, float x, float w) {
    s.link.x = CtrlTriple{x, 0, 200, 1, 1};
    s.link.w = CtrlTriple{w, 0, 200, 1, 1};
    s.link.setpoint = CtrlTriple{w, 0, 200, 1, 0};
    std::memcpy(s.link.xUnit, "\xB0" "C", 3);
  }
  // What the block's run does when a value its pages show changed: it raises the page-refresh
  // request (the tests set the values without a run).
  static void changed(CtrlBlockState& s) { s.link.updated = 1; }
};

// The status texts of the overview: the first rule of each field wins.
TEST(CtrlStatusTexts, FirstRuleOfEachFieldWins) {
  struct Case {
    uint16_t status, flags;
    const char *mode, *source, *fault;
  };
  const Case cases[] = {
      {0x82, 0, "Y2    ", "W      ", "\xB0" "C     "},
      {0x102, 0, "Yhm   ", "W      ", "\xB0" "C     "},
      {0x1802, 0, "Man.  ", "W      ", "\xB0" "C     "},
      {0x1800, 0, "Oerr  ", "W      ", "\xB0" "C     "},
      {0x800, 0, "Orun  ", "W      ", "\xB0" "C     "},
      {0x14, 0, "      ", "W2 Stp ", "\xB0" "C     "},
      {0x35, 0, "      ", "W2 Stp ", "\xB0" "C     "},
      {0x21, 0, "      ", "We Grw ", "\xB0" "C     "},
      {0x08, 0, "      ", "W  Trk ", "\xB0" "C     "},
      {0x640, 0x10, "      ", "W      ", "C Err  "},
      {0x640, 0, "      ", "W      ", "Coff   "},
      {0x240, 0, "      ", "W      ", "XFail  "},
      {0x200, 0, "      ", "W      ", "YpFail "},
  };
  for (const Case& c : cases) {
    char mode[7], source[11], fault[11];
    OP_CtrlStatusTexts(c.status, c.flags, "\xB0" "C", mode, source, fault);
    EXPECT_STREQ(mode, c.mode) << std::hex << c.status;
    EXPECT_STREQ(source, c.source) << std::hex << c.status;
    EXPECT_STREQ(fault, c.fault) << std::hex << c.status << " " << c.flags;
  }
}

// One field a cycle: six cycles fill the overview, then it stays until the shown values
// change; the change starts a new round in the next cycle.
TEST_F(CtrlPageTest, OverviewFillsSixStepsThenWaitsForAChange) {
  CtrlBlockState& s = make();
  show(s, 118.2f, 120.5f);
  ASSERT_EQ(openPage(kCtrl), 1);
  EXPECT_NE(s.link.flags & CTRL_FLAG_REDRAW_BAR, 0) << "the page open asks for the bar";
  std::vector<int> steps;
  for (int i = 0; i < 8; ++i) {
    cycle(0);
    steps.push_back(g_opBlockPage.refreshStep);
  }
  EXPECT_EQ(steps, (std::vector<int>{1, 2, 3, 4, 5, 6, 6, 6}));
  EXPECT_EQ(textOf(pageRow(0)), "P1");
  EXPECT_EQ(textOf(pageRow(1)), "  120.5");
  EXPECT_EQ(textOf(pageRow(2)), "  118.2");
  EXPECT_EQ(textOf(pageRow(5)), "\xB0" "C     ");
  EXPECT_NE(s.link.flags & CTRL_FLAG_PAGE_OPEN, 0);
  EXPECT_EQ(s.link.flags & CTRL_FLAG_REDRAW_BAR, 0) << "drawn by step 5";
  s.link.x.value = 99.0f;
  changed(s);
  cycle(0);
  EXPECT_EQ(g_opBlockPage.refreshStep, 0);
  cycles(3);
  EXPECT_EQ(textOf(pageRow(2)), "   99.0");
}

// The field being edited keeps what the editor shows while the other fields refresh; once
// the edit is over (and held for a moment) the field shows the controller's value again.
TEST_F(CtrlPageTest, EditedFieldKeepsItsTextWhileOthersRefresh) {
  CtrlBlockState& s = make();
  show(s, 118.2f, 120.5f);
  ASSERT_EQ(openPage(kCtrl), 1);
  cycles(6);
  ASSERT_TRUE(selectField(OP_CTRL_FIELD_SETPOINT));
  shortPress(OP_KEY_ENTER);
  cycle(0);
  ASSERT_TRUE(g_opEdit.active);
  std::strcpy(g_opPageRows.rows[1].text, "   12.3");
  s.link.x.value = 50.0f;
  s.link.w.value = 60.0f;
  changed(s);
  cycles(8);
  EXPECT_EQ(textOf(pageRow(1)), "   12.3");
  EXPECT_EQ(textOf(pageRow(2)), "   50.0");
  touchItem(g_opEdit.window, OP_ID_KP_ESC);
  cycles(OP_FIELD_HOLD_CYCLES + 8);
  EXPECT_EQ(textOf(pageRow(1)), "   60.0");
}

// With the manual bit the bar shows the output even when the display mode selects X; without
// it the selected signal, with the setpoint marked on the process-value bar.
TEST_F(CtrlPageTest, ManualBarShowsTheOutput) {
  CtrlBlockState& s = make();
  show(s, 80.0f, 100.0f);
  s.display.mode = CTRL_DISPLAY_PROCESS;
  s.display.value[0] = s.display.value[1] = 80.0f;
  s.display.low = 0;
  s.display.high = 200;
  s.display.decimals = 1;
  s.display.y = CtrlTriple{42.0f, 0, 100, 1, 0};
  s.link.status = CTRL_ST_MANUAL;
  ASSERT_EQ(openPage(kCtrl), 1);
  cycles(7);
  EXPECT_EQ(textOf(pageRow(9)), "Y:   42.0");
  EXPECT_EQ(g_opPageRows.bars[0], 420);
  EXPECT_EQ(textOf(pageRow(3)), "Man.  ");
  s.link.status = 0;
  changed(s);
  cycle(0);
  EXPECT_NE(s.link.flags & CTRL_FLAG_REDRAW_BAR, 0) << "the manual bit changed";
  cycles(8);
  EXPECT_EQ(textOf(pageRow(9)), "X:   80.0");
  EXPECT_EQ(g_opPageRows.bars[0], 400);
  EXPECT_EQ(g_opPageRows.bars[1], 500);
  s.display.mode = CTRL_DISPLAY_OUTPUT | CTRL_DISPLAY_OVC_PLUS;
  changed(s);
  cycles(8);
  EXPECT_EQ(textOf(pageRow(9)), "Y:  OVC+");
}

// A cascade slave shows the master's setpoint and, while it follows its master, the master's
// process value and status; an open cascade shows the slave's own and its role.
TEST_F(CtrlPageTest, CascadeSlaveShowsTheMaster) {
  CtrlBlockState& master = make(BLK_TYPE_CONTR, 160);
  CtrlBlockState& slave = make();
  show(master, 70.0f, 75.0f);
  show(slave, 30.0f, 35.0f);
  master.link.status = CTRL_ST_MANUAL;
  slave.master = CTRL_StateHandle(&master);
  slave.link.flags = CTRL_FLAG_SLAVE | CTRL_FLAG_SLAVE_FOLLOWS;
  slave.link.status = CTRL_ST_OFF;
  ASSERT_EQ(openPage(kCtrl), 1);
  cycles(7);
  EXPECT_EQ(textOf(pageRow(1)), "   75.0");
  EXPECT_EQ(textOf(pageRow(2)), "   70.0");
  EXPECT_EQ(textOf(pageRow(3)), "Man.  ");
  EXPECT_EQ(textOf(pageRow(6)), "");
  EXPECT_EQ(textOf(pageRow(7)), "Cascade   ");
  EXPECT_EQ(textOf(pageRow(8)), "Coff    75.0");
  // A change of the master's shown values raises the master's request: the slave's page
  // takes it over and refreshes.
  master.link.x.value = 71.0f;
  changed(master);
  cycles(8);
  EXPECT_EQ(textOf(pageRow(2)), "   71.0");
  EXPECT_EQ(master.link.updated, 0);
  slave.link.flags = CTRL_FLAG_SLAVE | CTRL_FLAG_SLAVE_OWN;
  changed(slave);
  cycles(8);
  EXPECT_EQ(textOf(pageRow(2)), "   30.0");
  EXPECT_EQ(textOf(pageRow(6)), " Slave");
  EXPECT_EQ(textOf(pageRow(7)), "Casc-Open");
}

// The overview's fields: the mode toggles the manual command, a setpoint typed on the keypad
// is offered to the controller, a setpoint choice becomes its setpoint command.
TEST_F(CtrlPageTest, FieldsWriteTheControllersRequests) {
  CtrlBlockState& s = make();
  ASSERT_EQ(s.link.setpointLock, 0);
  ASSERT_EQ(openPage(kCtrl), 1);
  ASSERT_TRUE(selectField(OP_CTRL_FIELD_MODE));
  shortPress(OP_KEY_ENTER);
  EXPECT_EQ(s.link.manualCmd, 1);

  ASSERT_TRUE(selectField(OP_CTRL_FIELD_SETPOINT));
  shortPress(OP_KEY_ENTER);
  cycle(0);
  ASSERT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_KEYPAD);
  typeOnKeypad("55");
  cycle(0);
  EXPECT_EQ(s.link.setpointOffered, 1);
  EXPECT_EQ(s.link.offeredSetpoint, 55.0f);
  blocks->run(kCtrl);
  EXPECT_EQ(s.in.wi, 55.0f);

  // The choices of the controller: "keep" and W2 on ("Block None", setpoint only).
  cycles(OP_FIELD_HOLD_CYCLES);
  ASSERT_TRUE(selectField(OP_CTRL_FIELD_SOURCE));
  shortPress(OP_KEY_ENTER);
  cycle(0);
  ASSERT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_LIST);
  cycle(0);
  EXPECT_EQ(OP_ListDialogCount(), 2);
  shortPress(OP_KEY_DOWN);
  shortPress(OP_KEY_ENTER);
  cycle(0);
  EXPECT_EQ(s.link.setpointCommand, CTRL_SPCMD_W2_ON);
  blocks->run(kCtrl);
  EXPECT_NE(s.link.status & CTRL_ST_W2, 0);
  cycles(OP_FIELD_HOLD_CYCLES + 8);
  EXPECT_EQ(textOf(pageRow(4)).substr(0, 3), "W2 ");
}

// While the controller is in manual, the output field's stepper moves it through the inc and
// dec bytes; when it leaves manual the edit ends.
TEST_F(CtrlPageTest, OutputStepperStepsTheControllerInManual) {
  CtrlBlockState& s = make();
  s.display.y = CtrlTriple{42.0f, 0, 100, 1, 0};
  ASSERT_EQ(openPage(kCtrl), 1);
  EXPECT_FALSE(selectField(OP_CTRL_FIELD_OUTPUT)) << "not in manual";
  s.link.status = CTRL_ST_MANUAL;
  ASSERT_TRUE(selectField(OP_CTRL_FIELD_OUTPUT));
  shortPress(OP_KEY_ENTER);
  cycle(0);
  ASSERT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_PLUSMINUS);
  touchItem(g_opEdit.window, OP_ID_PM_PLUS);
  cycle(0);
  EXPECT_EQ(s.link.incKey, 1);
  EXPECT_EQ(s.link.decKey, 0);
  touchItem(g_opEdit.window, OP_ID_PM_MINUS);
  cycle(0);
  EXPECT_EQ(s.link.decKey, 1);
  EXPECT_EQ(g_opEdit.fvalue, 42.0f) << "the controller moves the output, not the editor";
  s.link.status = 0;
  cycles(2);
  EXPECT_FALSE(g_opEdit.active);
  EXPECT_EQ(g_opEdit.window, 0);
}

// The tuning page of a CONTR: the state text, the result codes and the identified values; a
// state outside the table reads "??????"; entering the state starts the self-tuning.
TEST_F(CtrlPageTest, TuningPageOfAContr) {
  CtrlBlockState& s = make();
  ASSERT_EQ(openPage(kCtrl), 1);
  ASSERT_TRUE(selectField(OP_CTRL_FIELD_X));
  shortPress(OP_KEY_ENTER);
  cycles(4);
  ASSERT_EQ(g_opBlockPage.page, &g_opTunePage);
  s.display.optCode = 14;
  s.display.optResult[0] = 3;
  s.display.tu[0] = 12.0f;
  s.display.vmax[0] = 0.125f;
  changed(s);
  cycles(10);
  EXPECT_EQ(textOf(line(2)), std::string(10, ' ') + "Stat: Pulse");
  EXPECT_EQ(textOf(line(3)), "Ores  H:      3  C:      0");
  EXPECT_EQ(textOf(line(4)), "Tu    H:     12  C:      0");
  EXPECT_EQ(textOf(line(5)), "Vmax  H:  0.125  C:  0.000");
  EXPECT_EQ(textOf(line(1)), "W =    100Weff =    100");
  s.display.optCode = 40;
  changed(s);
  cycles(10);
  EXPECT_EQ(textOf(line(2), 15), "??????");
  s.display.optCode = 0;
  changed(s);
  cycles(10);
  ASSERT_TRUE(selectField(OP_TUNE_FIELD_STATE));
  shortPress(OP_KEY_ENTER);
  EXPECT_EQ(s.link.optCode, CTRL_OPT_START);
  // Exit on the first line goes back to the overview.
  ASSERT_TRUE(selectField(OP_TUNE_FIELD_BACK));
  shortPress(OP_KEY_EXIT);
  cycles(4);
  EXPECT_EQ(g_opBlockPage.page, &g_opCtrlPage);
}

// The CONTR+ tuning page shows the parameter set being optimised and the set in use.
TEST_F(CtrlPageTest, TuningPageOfAContrPlusShowsItsSets) {
  CtrlBlockState& s = make(BLK_TYPE_CONTR_PLUS);
  s.link.optimisedSet = 2;
  s.link.activeSet = 4;
  ASSERT_EQ(openPage(kCtrl), 1);
  ASSERT_EQ(OP_SelectSecondPage(), 1);
  cycles(14);
  EXPECT_EQ(textOf(line(2)), "Popt:3(5) Stat:OFF/OK");
}

// The pages learn the parameter set in use from the block's run alone: a CONTR+ that changes
// its set publishes it with its page-refresh request, and both pages show it.
TEST_F(CtrlPageTest, PagesShowTheSetTheBlockChose) {
  CtrlBlockState& s = make(BLK_TYPE_CONTR_PLUS);
  ASSERT_EQ(openPage(kCtrl), 1);
  cycles(8);
  ASSERT_EQ(textOf(pageRow(0)), "P1");
  s.in.paramSetSelect = 2;   // what the block's set request leaves for its run
  blocks->run(kCtrl);
  ASSERT_EQ(s.out.activeSet, 2);
  cycles(8);
  EXPECT_EQ(textOf(pageRow(0)), "P3");
  ASSERT_EQ(OP_SelectSecondPage(), 1);
  cycles(14);
  EXPECT_EQ(textOf(line(2)).substr(0, 9), "Popt:1(3)");
}

// The PIDMA tuning page shows its extension: the result by its text, 100 as the manual end,
// results above 13 in the number form; the status text, its time and the proposal.
TEST_F(CtrlPageTest, TuningPageOfAPidmaShowsTheExtension) {
  make(BLK_TYPE_PIDMA, kPidma);
  CtrlDisplay* x = &CTRL_StateOf(kPidma)->display;
  ASSERT_EQ(openPage(kPidma), 1);
  ASSERT_EQ(OP_SelectSecondPage(), 1);
  cycles(4);
  ASSERT_EQ(g_opBlockPage.page, &g_opPidTunePage);
  struct Case {
    int16_t result;
    const char* text;
  };
  const Case cases[] = {{0, "Ores =  0:No error"}, {13, "Ores =  ---"}, {5, "Ores =  5:No maximum"},
                        {14, "Ores = 14:???"},     {-3, "Ores = -3:???"}, {100, "Ores =  100:Manual end"}};
  for (const Case& c : cases) {
    x->tuneResult = c.result;
    changed(*CTRL_StateOf(kPidma));
    cycles(10);
    EXPECT_EQ(textOf(line(3)), c.text) << c.result;
  }
  x->tuneText = CTRL_EXT_TEXT_STEP;
  x->tuneResult = CTRL_EXT_CODE_RUNNING;
  x->tuneTime = 12.7f;
  x->proposal[0] = 2.5f;
  x->proposal[1] = 40.0f;
  x->proposal[2] = 10.0f;
  changed(*CTRL_StateOf(kPidma));
  cycles(10);
  EXPECT_EQ(textOf(line(2)), "T =    12 Status: Pulse");
  EXPECT_EQ(textOf(line(4)), "Kp =  2.500");
  EXPECT_EQ(textOf(line(5)), "Tn =   40.0    Tv =   10.0");
  // Entering the state while a test runs stops it.
  ASSERT_TRUE(selectField(OP_TUNE_FIELD_STATE));
  shortPress(OP_KEY_ENTER);
  EXPECT_EQ(CTRL_StateOf(kPidma)->link.optCode, CTRL_OPT_STOP);
}

// The overview of a controller, as the display shows it.
TEST_F(CtrlPageTest, OverviewOnTheDisplay) {
  g_fwClock.now.hour = 8;
  g_fwClock.now.minute = 5;
  CtrlBlockState& s = make();
  show(s, 118.2f, 120.5f);
  s.display.mode = CTRL_DISPLAY_PROCESS;
  s.display.value[0] = s.display.value[1] = 118.2f;
  s.display.low = 0;
  s.display.high = 200;
  s.display.decimals = 1;
  s.link.status = CTRL_ST_RAMP;
  ASSERT_EQ(openPage(kCtrl), 1);
  cycles(8);
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "controller_page"));
}

// The tuning page as the display shows it: the setpoint under "W =", then "Weff =" and the
// effective setpoint, each value in its own columns.
TEST_F(CtrlPageTest, TuningPageOnTheDisplay) {
  g_fwClock.now.hour = 8;
  g_fwClock.now.minute = 5;
  CtrlBlockState& s = make();
  show(s, 118.2f, 120.5f);
  s.link.w.value = 95.25f;
  s.link.w.decimals = 2;
  s.display.y.value = 42.0f;
  ASSERT_EQ(openPage(kCtrl), 1);
  ASSERT_EQ(OP_SelectSecondPage(), 1);
  cycles(14);
  ASSERT_EQ(g_opBlockPage.page, &g_opTunePage);
  EXPECT_EQ(textOf(line(1)), "W =  120.5Weff =  95.25");
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "tuning_page"));
}

// The tuning page of a cascade master, entered from its overview's process value: the first
// round after the open fills every line, the process value and output too, though no value
// changed since (the page-refresh byte stays clear).
TEST_F(CtrlPageTest, TuningPageOfACascadeMasterIsWholeRightAfterOpening) {
  g_fwClock.now.hour = 8;
  g_fwClock.now.minute = 5;
  CtrlBlockState& master = make(BLK_TYPE_CONTR, 160);
  CtrlBlockState& slave = make();
  show(master, 70.0f, 75.0f);
  show(slave, 30.0f, 35.0f);
  master.display.y.value = 55.0f;
  slave.master = CTRL_StateHandle(&master);
  slave.link.flags = CTRL_FLAG_SLAVE | CTRL_FLAG_SLAVE_FOLLOWS;
  ASSERT_EQ(openPage(160), 1);
  cycles(8);
  ASSERT_TRUE(selectField(OP_CTRL_FIELD_X));
  master.link.updated = 0;
  shortPress(OP_KEY_ENTER);
  ASSERT_EQ(g_opBlockPage.page, &g_opTunePage);
  for (int i = 0; i < 8 && g_opPending.pending; ++i) cycle(0);
  cycles(9);
  EXPECT_EQ(master.link.updated, 0);
  EXPECT_EQ(textOf(line(0)), "X =  70.0    Y =        55");
  EXPECT_EQ(textOf(line(1)), "W =   75.0Weff =   75.0");
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "tuning_page_cascade_master"));
}

// A block that vanished while its page was open leaves the page.
TEST_F(CtrlPageTest, VanishedControllerLeavesThePage) {
  make();
  ASSERT_EQ(openPage(kCtrl), 1);
  cycles(2);
  uint16_t* instance = g_fbStore.list[kCtrl].instance;
  void* page = g_fbStore.list[kCtrl].pageData;
  g_fbStore.list[kCtrl].instance = nullptr;
  g_fbStore.list[kCtrl].pageData = nullptr;
  cycle(0);
  EXPECT_EQ(g_opPage.current, OP_MenuPageProc);
  g_fbStore.list[kCtrl].instance = instance;
  g_fbStore.list[kCtrl].pageData = page;
}

// --- The calibration page -------------------------------------------------------------------

class InputPageTest : public OpuiBlockPageTest {
 protected:
  // AINP1 with a potentiometric transmitter: the calibration page record is there.
  BlkCalPage& make() {
    blocks->createAt(BLK_TYPE_AINP1, kAinp1);
    blocks->setWord(kAinp1, AIN_WV_TYP, AIN_POT_TRANS);
    blocks->initFitted(kAinp1);
    BlkCalPage* p = BLK_CalPageOf(kAinp1);
    EXPECT_NE(p, nullptr);
    return *p;
  }
};

TEST_F(InputPageTest, ShowsTheCalibrationRecord) {
  BlkCalPage& p = make();
  ASSERT_EQ(p.hide, 0);
  p.field[BLK_CAL_X0].value = 2.5f;
  p.field[BLK_CAL_X0].format = 1;
  p.field[BLK_CAL_READING].value = 47.25f;
  p.field[BLK_CAL_READING].format = 2;
  p.field[BLK_CAL_Y].value = 12.0f;
  p.field[BLK_CAL_Y].format = 0;
  p.fault = 1;
  p.state = BLK_CAL_STATE_END;
  ASSERT_EQ(openPage(kAinp1), 1);
  cycles(7);
  EXPECT_EQ(textOf(line(0)), calLine("x0", "2.5"));
  EXPECT_EQ(textOf(line(2)), calLine("X", "47.25"));
  EXPECT_EQ(textOf(line(3)), calLine("fail", "on"));
  EXPECT_EQ(textOf(line(4)), calLine("Y", "12"));
  EXPECT_EQ(textOf(line(5)), std::string(14, ' ') + " Set 100%");
  p.fault = 0;
  p.autoManual = 1;
  p.state = 9;
  p.updated = 1;
  cycles(8);
  EXPECT_EQ(textOf(line(3)), calLine("fail", "off"));
  EXPECT_EQ(textOf(line(5)), "Man." + std::string(10, ' ') + "   ??????");
}

// Entering a point asks for it, entering it again takes the reading; the output field's
// stepper sets the block's inc and dec requests.
TEST_F(InputPageTest, FieldsDriveTheCalibration) {
  BlkCalPage& p = make();
  ASSERT_EQ(openPage(kAinp1), 1);
  ASSERT_TRUE(selectField(OP_INPUT_FIELD_X100));
  shortPress(OP_KEY_ENTER);
  EXPECT_EQ(p.state, BLK_CAL_STATE_END);
  EXPECT_EQ(p.startRequest, 0);
  shortPress(OP_KEY_ENTER);
  EXPECT_EQ(p.startRequest, 1);
  ASSERT_TRUE(selectField(OP_INPUT_FIELD_OUTPUT));
  shortPress(OP_KEY_ENTER);
  cycle(0);
  ASSERT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_PLUSMINUS);
  touchItem(g_opEdit.window, OP_ID_PM_PLUS);
  cycle(0);
  EXPECT_EQ(p.incRequest, 1);
  touchItem(g_opEdit.window, OP_ID_PM_MINUS);
  cycle(0);
  EXPECT_EQ(p.decRequest, 1);
  // The block takes them at its run.
  blocks->run(kAinp1);
  EXPECT_EQ(p.incRequest, 0);
  EXPECT_EQ(p.decRequest, 0);
  // A locked page offers nothing.
  touchItem(g_opEdit.window, OP_ID_PM_EXIT);
  cycles(2);
  p.lock = 1;
  g_opFieldEditor.currentField = 0;
  EXPECT_FALSE(selectField(OP_INPUT_FIELD_X0));
}

// A transmitter-type universal input: the row that Down highlights is the row that the
// enter key acts on, and the step line says which point the page now asks for.
TEST_F(InputPageTest, EnterActsOnTheHighlightedRow) {
  constexpr uint16_t kUniIn = 65;
  struct Case {
    int downs;
    int row;            // the highlighted line
    uint16_t state;     // the step after enter
    const char* step;   // as the step line shows it
  };
  const Case cases[] = {
      {1, 0, BLK_CAL_STATE_START, "Set   0%"},
      {2, 1, BLK_CAL_STATE_END, "Set 100%"},
  };
  blocks->createAt(BLK_TYPE_UNI_IN, kUniIn);
  blocks->setWord(kUniIn, AIN_WV_TYP, AIN_POT_TRANS);
  blocks->initFitted(kUniIn);
  BlkCalPage* p = BLK_CalPageOf(kUniIn);
  ASSERT_NE(p, nullptr);
  auto highlighted = [] {
    std::vector<int> rows;
    for (int i = 0; i < OP_MENU_ITEM_ROWS; ++i) {
      if (line(i).colors[0] == OP_ROW_HIGHLIGHT) rows.push_back(i);
    }
    return rows;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.downs);
    p->state = 0;
    g_opFieldEditor.currentField = 0;
    ASSERT_EQ(openPage(kUniIn), 1);
    cycles(8);
    EXPECT_TRUE(highlighted().empty());
    for (int i = 0; i < c.downs; ++i) shortPress(OP_KEY_DOWN);
    cycles(8);
    EXPECT_EQ(highlighted(), std::vector<int>{c.row});
    shortPress(OP_KEY_ENTER);
    cycles(8);
    EXPECT_EQ(p->state, c.state);
    EXPECT_NE(textOf(line(5)).find(c.step), std::string::npos) << textOf(line(5));
    EXPECT_EQ(highlighted(), std::vector<int>{c.row});
    shortPress(OP_KEY_EXIT);
    cycles(4);
  }
}

}  // namespace
