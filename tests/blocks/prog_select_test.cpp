// The analog programmer's program selection through selector and text blocks, the lists of
// a program's data blocks, master and slave, and what the page may do.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "blocks/arith/arith.h"
#include "blocks/prog/prog.h"
#include "blocks/select/select.h"
#include "blocks/trig/trig.h"
#include "runtime/fb_param.h"
#include "runtime/fw_mode.h"
#include "support/prog_fixture.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr uint16_t kProg = ProgFixture::kProg;

class ProgSelect : public testing::Test {
 protected:
  ~ProgSelect() override { g_fwRunMode = FW_RUN_MODE_STOP; }
};

std::vector<uint16_t> pageList(ProgFixture& p) {
  std::vector<uint16_t> list;
  for (uint16_t b : p.page().dataBlocks) {
    if (b == 0) break;
    list.push_back(b);
  }
  return list;
}

// =======================================================================================
// Program number

TEST_F(ProgSelect, ProgramNumberFromTheInputIsClamped) {
  struct Case {
    float input;
    uint16_t recMax;
    float progNo;
  } cases[] = {{0, 99, 1},    {150, 99, 99}, {5.7f, 99, 5}, {-3, 99, 1},
               {kNaN, 99, 1}, {7, 4, 4},     {1e30f, 99, 99}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    ProgFixture p;
    p.setWord(kProg, APROG_WP_RECMAX + 1, c.recMax);
    p.fx.setAnalogInput(kProg, APROG_AI_PROGNO + 1, c.input);
    p.addData(FB_TYPE_APROGD, {{1, 10}});
    p.start();
    EXPECT_EQ(p.out(APROG_AO_PROGNO), c.progNo);
    EXPECT_EQ(p.page().progNo, static_cast<uint16_t>(c.progNo));
    EXPECT_EQ(p.page().progNoFixed, 1);
    EXPECT_EQ(p.request(FB_FloatRequest(kProg, 300, 2.0f)), FB_ERR_NOT_NOW);
  }
}

// A text block on the "ProgNo" path gives the number only while its own "Index" is wired;
// otherwise it only names the programs and the number comes from request 300 or the page.
TEST_F(ProgSelect, TextBlocksOnTheProgNoPath) {
  for (const bool indexWired : {true, false}) {
    SCOPED_TRACE(indexWired);
    ProgFixture p;
    p.fx.create(BLK_TYPE_TEXT, 300);
    p.fx.create(BLK_TYPE_TEXT, 301);
    p.fx.create(BLK_TYPE_TEXT, 302);
    p.fx.connectAnalog(kProg, APROG_AI_PROGNO + 1, 300, TEXT_OUT_USRTXT);
    p.fx.connectAnalog(300, TEXT_IN_CASC, 301, TEXT_OUT_USRTXT);
    p.fx.connectAnalog(301, TEXT_IN_CASC, 302, TEXT_OUT_USRTXT);
    if (indexWired) p.fx.setAnalogInput(300, TEXT_IN_INDEX, 3.7f);
    p.addData(FB_TYPE_APROGD, {{1, 10}});
    p.init();
    EXPECT_EQ(p.own().textCount, 3);
    EXPECT_EQ(p.own().texts[0], 300);
    EXPECT_EQ(p.own().texts[2], 302);
    const ProgPageNames names = PROG_PageRecordsOf(kProg).names;   // what the pages name
    ASSERT_EQ(names.count, 3);
    EXPECT_EQ(names.blocks[0], 300);
    EXPECT_EQ(names.blocks[2], 302);
    EXPECT_EQ(p.own().progNoFromInput, indexWired ? 1 : 0);
    EXPECT_EQ(p.request(FB_FloatRequest(kProg, 300, 5.0f)),
              indexWired ? FB_ERR_NOT_NOW : FB_OK);
    p.fx.run(300);
    p.cycle(p.settleCycles());  // the state machine's first reset takes the number
    EXPECT_EQ(p.out(APROG_AO_PROGNO), indexWired ? 3.0f : 5.0f);
    EXPECT_EQ(p.page().progNoFixed, indexWired ? 1 : 0);
  }
}

// Chains of selectors (each further one feeds "Select" of the one before from "Casc") and of
// text blocks (through "Casc"): kept up to their limits, never round a loop.
TEST_F(ProgSelect, WalksStopAtTheirLimitsAndAtLoops) {
  enum Shape : uint8_t { Chain, Loop, FirstFromCasc, FurtherFromY1 };
  struct Case {
    const char* what;
    uint16_t type;
    uint16_t blocks;
    Shape shape;
    uint16_t kept;
  } cases[] = {
      {"34 selectors", BLK_TYPE_SELV2, 34, Chain, 33},
      {"two selectors in a loop", BLK_TYPE_SELV2, 2, Loop, 2},
      {"a selector feeding DBlock from Casc", BLK_TYPE_SELV2, 2, FirstFromCasc, 0},
      {"a further selector feeding Select from Y 1", BLK_TYPE_SELV2, 2, FurtherFromY1, 1},
      {"26 text blocks", BLK_TYPE_TEXT, 26, Chain, 25},
      {"two text blocks in a loop", BLK_TYPE_TEXT, 2, Loop, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgFixture p;
    const bool sel = c.type == BLK_TYPE_SELV2;
    const uint16_t link = sel ? uint16_t{SELV2_IN_SELECT} : uint16_t{TEXT_IN_CASC};
    const uint16_t linkOut = sel && c.shape != FurtherFromY1 ? SELV2_OUT_CASC : 1;
    for (uint16_t k = 0; k < c.blocks; ++k) p.fx.create(c.type, static_cast<uint16_t>(300 + k));
    p.fx.connectAnalog(kProg, sel ? APROG_AI_DBLOCK + 1 : APROG_AI_PROGNO + 1, 300,
                       c.shape == FirstFromCasc ? SELV2_OUT_CASC : 1);
    for (uint16_t k = 1; k < c.blocks; ++k) {
      p.fx.connectAnalog(static_cast<uint16_t>(300 + k - 1), link, static_cast<uint16_t>(300 + k),
                         linkOut);
    }
    if (c.shape == Loop) p.fx.connectAnalog(static_cast<uint16_t>(300 + c.blocks - 1), link, 300, linkOut);
    p.init();
    const ProgOwn& o = p.own();
    EXPECT_EQ(sel ? o.selectorCount : o.textCount, c.kept);
    if (sel && c.kept > 0) {
      EXPECT_EQ(o.selectors[c.kept - 1], 300);  // the nearest is the last entry
      EXPECT_EQ(o.selectors[0], 300 + c.kept - 1);
    } else if (c.kept > 0) {
      EXPECT_EQ(o.texts[0], 300);
      EXPECT_EQ(o.texts[c.kept - 1], 300 + c.kept - 1);
    }
  }
}

// =======================================================================================
// The lists of a program's data blocks

// Two selectors: the far one (300) picks programs 1..4 and feeds "X 1" of the near one
// (301), which feeds "DBlock" and picks programs 5, 6 and 7 on "X 2".."X 4".
class TwoSelectors {
 public:
  TwoSelectors() {
    p.fx.create(BLK_TYPE_SELV2, kFar);
    p.fx.create(BLK_TYPE_SELV2, kNear);
    p.fx.connectAnalog(kProg, APROG_AI_DBLOCK + 1, kNear, SELV2_OUT_Y1);
    p.fx.connectAnalog(kNear, SELV2_IN_SELECT, kFar, SELV2_OUT_CASC);
    p.fx.connectAnalog(kNear, SELV2_IN_X1, kFar, SELV2_OUT_Y1);
    p.fx.connectAnalog(kFar, SELV2_IN_SELECT, kProg, APROG_AO_PROGNO + 1);
    const struct {
      uint16_t selector, input, first;
    } heads[] = {{kFar, 1, 201},  {kFar, 2, 202},  {kFar, 3, 203}, {kFar, 4, 204},
                 {kNear, 2, 205}, {kNear, 3, 207}, {kNear, 4, 208}};
    for (uint16_t b = 201; b <= 208; ++b) p.fx.create(FB_TYPE_APROGD, b);
    for (const auto& h : heads) p.fx.connectAnalog(h.selector, h.input, h.first, 1);
    ProgFixture::link(205, 1, 206);  // program 5 has two data blocks
    for (uint16_t b = 201; b <= 208; ++b) {
      p.setSegment(b, 0, {1, static_cast<float>(b)});
      p.fx.init(b);
    }
    p.init();
    for (uint16_t b = 208; b >= 201; --b) p.fx.run(b);  // each sees the next one's number
  }
  static constexpr uint16_t kFar = 300, kNear = 301;
  ProgFixture p;
};

TEST_F(ProgSelect, ListsTheDataBlocksOfAProgram) {
  TwoSelectors t;
  ProgFixture& p = t.p;
  ASSERT_EQ(p.own().selectorCount, 2);
  EXPECT_EQ(p.own().selectors[0], TwoSelectors::kFar);
  struct Case {
    uint16_t program;
    std::vector<uint16_t> list;
  } cases[] = {{1, {201}}, {2, {202}}, {3, {203}}, {4, {204}},      {5, {205, 206}},
               {6, {207}}, {7, {208}}, {8, {208}}, {99, {208}},     {100, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    p.page().dataBlocks[0] = 999;
    p.page().listRequest = c.program;
    p.cycle();
    EXPECT_EQ(p.page().listRequest, 0);
    EXPECT_EQ(pageList(p), c.list);
  }

  // Command 9 selects the program as well.
  p.page().command = PROG_CMD_SELECT;
  p.page().commandArg = 6;
  p.cycle();
  EXPECT_EQ(pageList(p), std::vector<uint16_t>{207});
  EXPECT_EQ(p.own().progNo.get(), 6.0f);
  p.page().command = PROG_CMD_SELECT;
  for (const uint16_t n : {0, 100}) {  // beyond 1..RecMax: nothing selected, nothing listed
    p.page().command = PROG_CMD_SELECT;
    p.page().commandArg = n;
    p.cycle();
    EXPECT_EQ(pageList(p), std::vector<uint16_t>{});
    EXPECT_EQ(p.own().progNo.get(), 6.0f);
  }
}

TEST_F(ProgSelect, ListsFollowOneChainOfOneType) {
  struct Case {
    const char* what;
    std::vector<uint16_t> types;  // the chain on DBlock, data blocks 200, 201, ...
    bool loop;
    std::vector<uint16_t> list;
  } cases[] = {
      {"without selectors", {FB_TYPE_APRGD2, FB_TYPE_APRGD2, FB_TYPE_APRGD2}, false,
       {200, 201, 202}},
      {"a loop", {FB_TYPE_APROGD, FB_TYPE_APROGD}, true, {200, 201}},
      {"a block of another type ends it", {FB_TYPE_APROGD, FB_TYPE_APRGD2}, false, {200}},
      {"no programmer data", {FB_TYPE_DPROGD}, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgFixture p;
    for (uint16_t type : c.types) p.addData(type, std::vector<ProgSegment>(10, {1, 5}));
    if (c.loop) p.closeLoop();
    p.start();
    p.page().command = PROG_CMD_SELECT;
    p.page().commandArg = 1;
    p.cycle();
    EXPECT_EQ(pageList(p), c.list);
  }
}

// =======================================================================================
// Master and slave

TEST_F(ProgSelect, SlaveRecordsItsMaster) {
  ProgFixture p;
  constexpr uint16_t kSlave = 101, kSlaveOfSlave = 102;
  p.fx.create(FB_TYPE_APROG, kSlave);
  p.fx.create(FB_TYPE_APROG, kSlaveOfSlave);
  p.fx.connectAnalog(kProg, APROG_AI_SLAVNO + 1, kSlave, APROG_AO_BLNO + 1);
  p.fx.connectAnalog(kSlave, APROG_AI_SLAVNO + 1, kSlaveOfSlave, APROG_AO_BLNO + 1);
  p.setFloat(kSlave, APROG_FP_W0 + 1, -10.0f);
  p.setFloat(kSlave, APROG_FP_W100 + 1, 50.0f);
  p.init();
  p.fx.init(kSlave);
  p.fx.init(kSlaveOfSlave);
  for (uint16_t b : {kProg, kSlave, kSlaveOfSlave}) p.fx.run(b);
  EXPECT_EQ(PROG_Work(kProg)->own.master, 0);
  EXPECT_EQ(PROG_Work(kSlave)->own.master, kProg);
  EXPECT_EQ(PROG_Work(kSlaveOfSlave)->own.master, kProg);  // the head of the group
  EXPECT_EQ(p.page().groupFlag, 0);
  EXPECT_EQ(p.page().slave, kSlave);
  EXPECT_EQ(p.page().w0.get(), -10.0f);  // the slave's range is shown
  EXPECT_EQ(p.page().w100.get(), 50.0f);
  EXPECT_EQ(PROG_Work(kSlave)->page.groupFlag, 1);  // leads a slave, but has a master
  EXPECT_EQ(PROG_Work(kSlave)->page.slave, kSlaveOfSlave);
  EXPECT_EQ(PROG_Work(kSlaveOfSlave)->page.groupFlag, 1);
  EXPECT_EQ(PROG_Work(kSlaveOfSlave)->page.w0.get(), -29999.0f);

  // "SlavNo" naming no programmer, or the programmer itself.
  for (const float slavNo : {150.0f, static_cast<float>(kProg), kNaN}) {
    SCOPED_TRACE(slavNo);
    ProgFixture q;
    q.fx.create(BLK_TYPE_ABSV, 150);
    q.fx.setAnalogInput(kProg, APROG_AI_SLAVNO + 1, slavNo);
    q.init();
    q.cycle();
    EXPECT_EQ(q.page().slave, 0);
    EXPECT_EQ(q.page().groupFlag, 1);
    EXPECT_EQ(q.own().master, 0);
  }
}

// =======================================================================================
// The page

TEST_F(ProgSelect, PageCallbacksOfferWhatTheInputsLeaveFree) {
  enum Setup : uint8_t { Free, RunWired, ResetWired, SearchWired, NoXVal, SearchOff, Ended,
                         Locked, NoData };
  struct Case {
    const char* what;
    Setup setup;
    uint16_t control, search;
  } cases[] = {
      {"nothing wired", Free, PROG_OFFER_RUN_STOP | PROG_OFFER_RESET, 1},
      {"run wired", RunWired, PROG_OFFER_RESET, 1},
      {"reset wired", ResetWired, PROG_OFFER_RUN_STOP, 1},
      {"search wired", SearchWired, PROG_OFFER_RUN_STOP | PROG_OFFER_RESET, 0},
      {"XVal unconnected", NoXVal, PROG_OFFER_RUN_STOP | PROG_OFFER_RESET, 0},
      {"SearchOff", SearchOff, PROG_OFFER_RUN_STOP | PROG_OFFER_RESET, 0},
      {"program ended", Ended, PROG_OFFER_RUN_STOP | PROG_OFFER_RESET, 0},
      {"locked", Locked, 0, 0},
      {"no valid data", NoData, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgFixture p;
    p.setValue(PROG_WV_TURBO + 1, 1);
    if (c.setup != NoXVal) p.setXVal(50.0f);
    if (c.setup == RunWired) p.setRun(0);
    if (c.setup == ResetWired) p.fx.setDigitalInput(kProg, APROG_DI_RESET + 1, 0);
    if (c.setup == SearchWired) p.fx.setDigitalInput(kProg, APROG_DI_SEARCH + 1, 0);
    if (c.setup == SearchOff) p.setWord(kProg, APROG_WP_SMODE + 1, PROG_SMODE_OFF);
    if (c.setup == Locked) p.fx.setDigitalInput(kProg, APROG_DI_LOCK + 1, 1);
    if (c.setup == NoData) {
      p.fx.setAnalogInput(kProg, APROG_AI_DBLOCK + 1, 999.0f);
    } else {
      p.addData(FB_TYPE_APROGD, {{10, 100}});
    }
    p.start();
    if (c.setup == Ended) {
      ASSERT_EQ(p.request(FB_FloatRequest(kProg, 304, 10.0f)), FB_OK);
      p.cycle();
      ASSERT_EQ(p.dout(APROG_DO_END), 1);
    }
    EXPECT_EQ(PROG_PageControl(kProg), c.control);
    EXPECT_EQ(PROG_PageSearch(kProg), c.search);
    EXPECT_EQ(p.page().pageState, c.setup == NoData ? PROG_PAGE_ERROR
                                  : c.setup == Ended ? PROG_PAGE_STOPPED
                                                     : PROG_PAGE_RESET);
  }
  ProgFixture p;
  p.fx.create(BLK_TYPE_ABSV, 150);
  EXPECT_EQ(PROG_PageControl(150), 0);
  EXPECT_EQ(PROG_PageSearch(150), 0);
  EXPECT_EQ(PROG_PageControl(1951), 0);
}

TEST_F(ProgSelect, PageSearchCommand) {
  for (const bool searchWired : {false, true}) {
    SCOPED_TRACE(searchWired);
    ProgFixture p;
    p.setValue(PROG_WV_TURBO + 1, 1);
    p.setXVal(40.0f);
    if (searchWired) p.fx.setDigitalInput(kProg, APROG_DI_SEARCH + 1, 0);
    p.addData(FB_TYPE_APROGD, {{10, 100}});
    p.start();
    p.page().command = PROG_CMD_SEARCH;
    p.cycle();
    EXPECT_EQ(p.page().command, PROG_CMD_NONE);
    EXPECT_EQ(p.state().state, searchWired ? PROG_RESET : PROG_STOPPED);
    EXPECT_NEAR(p.out(APROG_AO_TNETTO), searchWired ? 0.0f : 4.0f, 1e-5);
    EXPECT_NEAR(p.page().xVal.get(), 40.0f, 0.0f);
  }
}

}  // namespace
