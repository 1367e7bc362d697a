// The digital programmer: switching patterns on its six tracks, manual patterns, its
// requests, chains of DPROGD blocks, power-up, preset and its page record, cycle by cycle.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "block_cases.h"

#include "blocks/prog/prog.h"
#include "blocks/prog/prog_core.h"
#include "runtime/fb_param.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_mode.h"
#include "support/prog_fixture.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kNone = -32000.0f;
constexpr uint16_t kProg = ProgFixture::kProg;

using Dprog = ProgClockTest;

// A DPROG in group 1 with times in seconds ("Turbo" 1) unless the test says otherwise.
struct DprogFixture : ProgFixture {
  explicit DprogFixture(uint16_t turbo = 1) : ProgFixture(1, FB_TYPE_DPROG) {
    setValue(PROG_WV_TURBO + 1, turbo);
  }
  // do1 .. do6 as bits 0..5.
  uint8_t tracks() const {
    uint8_t bits = 0;
    for (uint8_t k = 0; k < DPROG_TRACKS; ++k) {
      if (dout(static_cast<uint8_t>(DPROG_DO_1 + k))) bits = static_cast<uint8_t>(bits | 1u << k);
    }
    return bits;
  }
  void setManfree(uint16_t on) { fx.setDigitalInput(kProg, DPROG_DI_MANFREE + 1, on); }
};

// =======================================================================================
// Patterns and times

TEST_F(Dprog, PatternsSwitchTheTracks) {
  struct Case {
    const char* what;
    float pattern;
    uint8_t bits;
  } cases[] = {
      {"110", 110.0f, 0b000110},
      {"100000", 100000.0f, 0b100000},
      {"101", 101.0f, 0b000101},
      {"2: a digit above 1 counts as 1", 2.0f, 0b000001},
      {"909090", 909090.0f, 0b101010},
      {"111111", 111111.0f, 0b111111},
      {"0.9 is truncated", 0.9f, 0},
      {"0", 0.0f, 0},
      // Patterns beyond the limits, as an engineering may bring them.
      {"10000001: the six lowest digits", 10000001.0f, 0b000001},
      {"NaN", kNaN, 0},
      {"negative", -5.0f, 0},
      {"1e30 saturates to 4294967295", 1e30f, 0b111111},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DprogFixture p;
    p.addData(FB_TYPE_DPROGD, {{10, c.pattern}});
    p.setRun(1);
    p.start();  // the start cycle takes segment 1 with its pattern
    EXPECT_EQ(p.state().state, PROG_RUNNING);
    EXPECT_EQ(p.tracks(), c.bits);
    EXPECT_EQ(p.readByte(-1), c.bits);
    p.cycle();
    EXPECT_EQ(p.tracks(), c.bits);
  }
}

TEST_F(Dprog, ResetShowsD0SegmentsLastTheirTimeAndTheEndKeepsTheLastPattern) {
  DprogFixture p;
  p.setFloat(kProg, DPROG_FP_D0 + 1, 11.0f);
  p.addData(FB_TYPE_DPROGD, {{1.0f, 100}, {1.0f, 1000}, {0.5f, 10000}});
  p.start();
  EXPECT_EQ(p.dout(DPROG_DO_RESET), 1);
  EXPECT_EQ(p.tracks(), 0b11);  // D 0
  EXPECT_EQ(p.out(DPROG_AO_SEGNO), 0.0f);
  EXPECT_NEAR(p.out(DPROG_AO_TREST), 0.0f, 1e-6);

  p.setRun(1);
  const uint8_t bits[] = {0b100, 0b1000, 0b10000};
  std::vector<int> counts(3, 0);
  for (int k = 0; k < 60 && !p.dout(DPROG_DO_END); ++k) {
    p.cycle();
    if (p.dout(DPROG_DO_END)) break;
    const auto seg = static_cast<size_t>(p.out(DPROG_AO_SEGNO));
    ASSERT_TRUE(seg >= 1 && seg <= 3) << k;
    ++counts[seg - 1];
    EXPECT_EQ(p.tracks(), bits[seg - 1]) << "cycle " << k;
    EXPECT_EQ(p.dout(DPROG_DO_RESET), 0);
  }
  EXPECT_EQ(counts[0], 10);  // the start cycle and 9 running cycles
  EXPECT_EQ(counts[1], 10);  // 1.0 s at 0.1 s
  EXPECT_EQ(counts[2], 5);
  ASSERT_EQ(p.dout(DPROG_DO_END), 1);
  for (int k = 0; k < 5; ++k) {
    p.cycle();
    EXPECT_EQ(p.state().state, PROG_END);
    EXPECT_EQ(p.tracks(), 0b10000);  // "PEnd" "Stop": the last pattern stays
    EXPECT_EQ(p.out(DPROG_AO_TREST), 0.0f);
    EXPECT_NEAR(p.out(DPROG_AO_TNETTO), 2.5f, 1e-5);
  }

  ASSERT_EQ(p.request(FB_WordRequest(kProg, 501, 1)), FB_OK);
  p.cycle();
  EXPECT_EQ(p.dout(DPROG_DO_RESET), 1);
  EXPECT_EQ(p.tracks(), 0b11);
  p.cycle(p.settleCycles() - 1);  // the reset loaded the settle time
  EXPECT_EQ(p.tracks(), 0b11);
  p.cycle();  // "run" is still on: the program starts again
  EXPECT_EQ(p.tracks(), 0b100);
}

TEST_F(Dprog, TwelveSegmentsOverTwoChainedDataBlocks) {
  DprogFixture p;
  std::vector<ProgSegment> a, b;
  for (unsigned n = 1; n <= 10; ++n) a.push_back({0.5f, progPatternOf(n)});
  for (unsigned n = 11; n <= 12; ++n) b.push_back({0.5f, progPatternOf(n)});
  const uint16_t first = p.addData(FB_TYPE_DPROGD, a);
  const uint16_t second = p.addData(FB_TYPE_DPROGD, b);
  p.setRun(1);
  p.start();
  EXPECT_EQ(p.state().chainStatus, PROG_CHAIN_OK);
  EXPECT_EQ(p.state().lastSegment, 11);
  EXPECT_FLOAT_EQ(p.state().total, 6.0f);
  std::vector<int> fromSecond;
  for (int k = 0; k < 100 && !p.dout(DPROG_DO_END); ++k) {
    const auto seg = static_cast<unsigned>(p.out(DPROG_AO_SEGNO));
    EXPECT_EQ(p.tracks(), seg) << "cycle " << k;  // the pattern of segment n shows n
    EXPECT_EQ(p.state().dataBlock, seg <= 10 ? first : second) << "cycle " << k;
    if (p.state().dataBlock == second &&
        (fromSecond.empty() || fromSecond.back() != static_cast<int>(seg))) {
      fromSecond.push_back(static_cast<int>(seg));
    }
    p.cycle();
  }
  EXPECT_EQ(fromSecond, (std::vector<int>{11, 12}));
  EXPECT_EQ(p.dout(DPROG_DO_END), 1);
  EXPECT_EQ(p.tracks(), 12);
  EXPECT_NEAR(p.out(DPROG_AO_TNETTO), 6.0f, 1e-5);
}

// =======================================================================================
// Manual operation

TEST_F(Dprog, ManualPatternOverridesTheProgramAndTheReset) {
  DprogFixture p;
  p.setFloat(kProg, DPROG_FP_D0 + 1, 1.0f);
  p.addData(FB_TYPE_DPROGD, {{10, 110}});
  p.setManfree(1);
  p.start();
  ASSERT_EQ(p.tracks(), 0b1);  // D 0

  // Ignored while manual operation is off.
  EXPECT_EQ(p.request(FB_FloatRequest(kProg, 305, 10101.0f)), FB_OK);
  EXPECT_EQ(p.own().manualValue.get(), 0.0f);

  ASSERT_EQ(p.request(FB_WordRequest(kProg, 504, 1)), FB_OK);
  ASSERT_EQ(p.request(FB_FloatRequest(kProg, 305, 10101.0f)), FB_OK);
  p.cycle();
  EXPECT_EQ(p.dout(DPROG_DO_MANUAL), 1);
  EXPECT_EQ(p.dout(DPROG_DO_RESET), 1);
  EXPECT_EQ(p.tracks(), 0b10101);  // over D 0
  EXPECT_EQ(p.readFloat(-305), 10101.0f);
  EXPECT_EQ(p.readByte(-9), 2);
  EXPECT_EQ(p.page().manual, 1);
  EXPECT_EQ(p.page().manualLocked, 0);
  EXPECT_EQ(p.page().manualValue.get(), 10101.0f);
  EXPECT_EQ(p.page().output.get(), 10101.0f);

  p.setRun(1);
  p.cycle(3);
  EXPECT_EQ(p.state().state, PROG_RUNNING);
  EXPECT_EQ(p.tracks(), 0b10101);  // over the program's pattern

  for (const float bad : {111112.0f, -1.0f, kNaN, kNone}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(p.request(FB_FloatRequest(kProg, 305, bad)), FB_ERR_LIMITS);
    EXPECT_EQ(p.own().manualValue.get(), 10101.0f);
  }

  // The page's manual pattern and its off command.
  p.page().newManualValue = 100000.0f;
  p.page().manualValueRequest = 1;
  p.cycle();
  EXPECT_EQ(p.tracks(), 0b100000);
  p.page().newManualValue = 200000.0f;  // out of the limits: refused
  p.page().manualValueRequest = 1;
  p.cycle();
  EXPECT_EQ(p.page().manualValueRequest, 0);
  EXPECT_EQ(p.tracks(), 0b100000);
  p.fx.setDigitalInput(kProg, DPROG_DI_HALT + 1, 1);
  p.cycle();
  EXPECT_EQ(p.readByte(-9), 2 + 1);
  // Stopped, nothing recomputes the program's pattern: the manual pattern lay over it and
  // leaves it as it was.
  p.setRun(0);
  p.cycle();
  ASSERT_EQ(p.state().state, PROG_STOPPED);
  p.page().manualRequest = PROG_MANUAL_OFF;
  p.cycle();
  EXPECT_EQ(p.dout(DPROG_DO_MANUAL), 0);
  EXPECT_EQ(p.tracks(), 0b110);  // the program's pattern again
  EXPECT_EQ(p.readFloat(-305), 110.0f);
  EXPECT_EQ(p.readByte(-9), 1);
}

TEST_F(Dprog, RunModeAppliesPendingParametersAtTheNextRun) {
  DprogFixture p;
  p.addData(FB_TYPE_DPROGD, {{1, 10}});
  p.start();
  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_EQ(p.request(FB_FloatRequest(kProg, 1000, 11.0f)), FB_OK);
  ASSERT_EQ(p.request(FB_WordRequest(kProg, 1251, 4)), FB_OK);
  ASSERT_EQ(p.request(FB_WordRequest(kProg, 1250, PROG_PMODE_SEGMENT)), FB_OK);
  EXPECT_EQ(p.fx.floatParam(kProg, 1).get(), 0.0f);
  EXPECT_EQ(p.page().progNoMax, 99);
  p.cycle();
  EXPECT_EQ(p.fx.floatParam(kProg, 1).get(), 11.0f);
  EXPECT_EQ(p.page().progNoMax, 4);
  EXPECT_EQ(p.page().presetMax.get(), 999.0f);  // a segment number now
  p.cycle();
  EXPECT_EQ(p.tracks(), 0b11);  // the reset shows the new D 0
}

TEST_F(Dprog, ManualNeedsManfreeWiredAndOn) {
  enum Manfree { Unwired, Off, On };
  struct Case {
    Manfree manfree;
    uint8_t result;
  } cases[] = {{Unwired, FB_ERR_NOT_NOW}, {Off, FB_ERR_NOT_NOW}, {On, FB_OK}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.manfree);
    DprogFixture p;
    if (c.manfree != Unwired) p.setManfree(c.manfree == On ? 1 : 0);
    p.init();
    EXPECT_EQ(p.request(FB_WordRequest(kProg, 504, 1)), c.result);
    EXPECT_EQ(p.dout(DPROG_DO_MANUAL), c.result == FB_OK ? 1 : 0);
    p.page().manualRequest = PROG_MANUAL_ON;  // the page's command obeys the same release
    p.cycle();
    EXPECT_EQ(p.dout(DPROG_DO_MANUAL), c.result == FB_OK ? 1 : 0);
    EXPECT_EQ(p.page().manualLocked, c.result == FB_OK ? 0 : 1);
  }
}

// =======================================================================================
// Requests

TEST_F(Dprog, RequestResults) {
  using W = std::vector<uint16_t>;
  using F = std::vector<float>;
  struct Case {
    const char* what;
    FbParamRequest request;
    uint8_t result;
    uint16_t bad = 0;
  } cases[] = {
      {"PwrUp 0", FB_WordRequest(kProg, 3000, 0), FB_OK},
      {"PwrUp 1", FB_WordRequest(kProg, 3000, 1), FB_ERR_LIMITS},
      {"PwrUp 2", FB_WordRequest(kProg, 3000, 2), FB_OK},
      {"PwrUp 3", FB_WordRequest(kProg, 3000, 3), FB_ERR_LIMITS},
      {"PwrUp 0xFFFF", FB_WordRequest(kProg, 3000, 0xFFFF), FB_ERR_LIMITS},
      {"PEnd 2", FB_WordRequest(kProg, 3001, 2), FB_OK},
      {"Turbo 2", FB_WordRequest(kProg, 3002, 2), FB_ERR_LIMITS},
      {"word value 5", FB_WordRequest(kProg, 3004, 0), FB_ERR_UNKNOWN_ID},
      {"4010", FB_SetRequest(kProg, 4010, W{2, 1, 1, 2}, {}), FB_OK},
      {"4010 PwrUp 1", FB_SetRequest(kProg, 4010, W{1, 0, 0, 0}, {}), FB_ERR_LIMITS, 1},
      {"4010 PEnd 3", FB_SetRequest(kProg, 4010, W{0, 3, 0, 0}, {}), FB_ERR_LIMITS, 2},
      {"4010 FKey 3", FB_SetRequest(kProg, 4010, W{2, 0, 0, 3}, {}), FB_ERR_LIMITS, 4},
      {"4010 three values", FB_SetRequest(kProg, 4010, W{0, 0, 0}, {}), FB_ERR_COUNT_Y},
      {"4000", FB_SetRequest(kProg, 4000, W{0, 12}, F{101}), FB_OK},
      {"4000 PMode 2", FB_SetRequest(kProg, 4000, W{2, 12}, F{0}), FB_ERR_LIMITS, 1},
      {"4000 RecMax 0", FB_SetRequest(kProg, 4000, W{1, 0}, F{0}), FB_ERR_LIMITS, 2},
      {"4000 D 0 111112", FB_SetRequest(kProg, 4000, W{1, 99}, F{111112}), FB_ERR_LIMITS, 3},
      {"4000 D 0 NaN", FB_SetRequest(kProg, 4000, W{1, 99}, F{kNaN}), FB_ERR_LIMITS, 3},
      {"4000 D 0 -32000", FB_SetRequest(kProg, 4000, W{1, 99}, F{kNone}), FB_ERR_LIMITS, 3},
      {"4000 with APROG's counts", FB_SetRequest(kProg, 4000, W{0, 1, 0, 3, 99, 0}, F{0, 0, 0}),
       FB_ERR_COUNT_Y},
      {"D 0 111111", FB_FloatRequest(kProg, 1000, 111111.0f), FB_OK},
      {"D 0 111112", FB_FloatRequest(kProg, 1000, 111112.0f), FB_ERR_LIMITS},
      {"D 0 negative", FB_FloatRequest(kProg, 1000, -1.0f), FB_ERR_LIMITS},
      {"float parameter 2", FB_FloatRequest(kProg, 1001, 0.0f), FB_ERR_UNKNOWN_ID},
      {"PMode 0", FB_WordRequest(kProg, 1250, 0), FB_OK},
      {"RecMax 100", FB_WordRequest(kProg, 1251, 100), FB_ERR_LIMITS},
      {"word parameter 3", FB_WordRequest(kProg, 1252, 0), FB_ERR_UNKNOWN_ID},
      {"search command", FB_WordRequest(kProg, 502, 1), FB_ERR_UNKNOWN_ID},
      {"search command read", FbParamRequest(kProg, -502), FB_ERR_UNKNOWN_ID},
      {"Wp read", FbParamRequest(kProg, -5), FB_ERR_UNKNOWN_ID},
      {"WEnd read", FbParamRequest(kProg, -7), FB_ERR_UNKNOWN_ID},
      {"manual pattern while manual is off", FB_FloatRequest(kProg, 305, 1e30f), FB_OK},
      {"preset time", FB_FloatRequest(kProg, 304, 959999.0f), FB_OK},
      {"preset time beyond", FB_FloatRequest(kProg, 304, 960000.0f), FB_ERR_LIMITS},
      {"program number", FB_FloatRequest(kProg, 300, 5.0f), FB_OK},
      {"program number NaN", FB_FloatRequest(kProg, 300, kNaN), FB_ERR_LIMITS},
      {"page run", FB_WordRequest(kProg, 500, 1), FB_OK},
      {"page reset 2", FB_WordRequest(kProg, 501, 2), FB_ERR_LIMITS},
      {"function key", FB_WordRequest(kProg, 503, 1), FB_OK},
  };
  // The pending copies a refused request must leave as they were.
  auto pending = [](DprogFixture& p) {
    std::vector<float> v = {p.fx.floatParam(kProg, 1, true).get()};
    for (uint16_t i = 1; i <= 2; ++i) v.push_back(p.fx.wordParam(kProg, i, true));
    for (uint16_t i = 1; i <= 4; ++i) v.push_back(p.fx.wordValue(kProg, i, true));
    return v;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DprogFixture p;
    p.init();
    const std::vector<float> before = pending(p);
    uint16_t bad = 99;
    EXPECT_EQ(p.request(c.request, &bad), c.result);
    EXPECT_EQ(bad, c.bad);
    if (c.result != FB_OK) {
      EXPECT_EQ(pending(p), before);
    }
  }
}

TEST_F(Dprog, ReadRequests) {
  DprogFixture p;
  EXPECT_EQ(p.request(FbParamRequest(kProg, 0)), FB_ERR_ABSENT);
  EXPECT_EQ(p.request(FbParamRequest(kProg, -9)), FB_ERR_ABSENT);
  p.addData(FB_TYPE_DPROGD, {{2, 11}, {1, 110000}});
  p.setRun(1);
  p.start();
  p.cycle(5);
  ASSERT_EQ(p.request(FB_FloatRequest(kProg, 300, 7.0f)), FB_OK);
  ASSERT_EQ(p.request(FB_FloatRequest(kProg, 304, 1.5f)), FB_OK);
  struct Case {
    int16_t id;
    uint8_t output;
  } outputs[] = {{-2, DPROG_AO_PROGNO}, {-3, DPROG_AO_TNETTO}, {-4, DPROG_AO_TBRUTT},
                 {-6, DPROG_AO_TREST},  {-8, DPROG_AO_SEGNO},  {-11, DPROG_AO_SEGRES}};
  for (const Case& c : outputs) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(p.readFloat(c.id), p.out(c.output));
  }
  EXPECT_NEAR(p.out(DPROG_AO_TNETTO), 0.5f, 1e-6);
  EXPECT_EQ(p.readFloat(-305), 11.0f);
  EXPECT_EQ(p.readFloat(-300), 7.0f);
  EXPECT_EQ(p.readFloat(-304), 1.5f);
  EXPECT_EQ(p.readByte(-1), 0b11);
  EXPECT_EQ(p.readByte(-9), 0);
  EXPECT_EQ(p.readByte(0), 1);  // run
  EXPECT_EQ(p.out(DPROG_AO_BLNO), static_cast<float>(kProg));
}

// =======================================================================================
// Chains that give no program

TEST_F(Dprog, DBlockThatNamesNoDprogdGivesChainStatus1) {
  const float cases[] = {999.0f /* missing */, 150.0f /* an APROGD */, 151.0f /* a DPROG */,
                         0.5f, kNaN, -1.0f};
  for (const float dblock : cases) {
    SCOPED_TRACE(dblock);
    DprogFixture p;
    p.fx.create(FB_TYPE_APROGD, 150);
    p.fx.floatParam(150, 1) = 1.0f;
    p.fx.create(FB_TYPE_DPROG, 151);
    p.fx.setAnalogInput(kProg, DPROG_AI_DBLOCK + 1, dblock);
    p.setRun(1);
    p.start();
    p.cycle(5);
    EXPECT_EQ(p.readByte(0), 8 | 4);  // chain status 1, reset
    EXPECT_EQ(p.dout(DPROG_DO_RUN), 0);
    EXPECT_EQ(p.state().state, PROG_RESET);
    EXPECT_EQ(p.page().pageState, PROG_PAGE_ERROR);
    EXPECT_EQ(PROG_PageControl(kProg), 0);  // display only
  }
  // A DPROGD chain that goes on into an APROGD.
  DprogFixture p;
  p.addData(FB_TYPE_DPROGD, std::vector<ProgSegment>(10, {1, 1}));
  p.addData(FB_TYPE_APROGD, {{1, 1}});
  p.setRun(1);
  p.start();
  EXPECT_EQ(p.state().chainStatus, PROG_CHAIN_INVALID);
  EXPECT_EQ(p.dout(DPROG_DO_RUN), 0);
}

TEST_F(Dprog, EmptyFirstBlockResetsEveryCycle) {
  DprogFixture p;
  p.setFloat(kProg, DPROG_FP_D0 + 1, 100.0f);
  p.addData(FB_TYPE_DPROGD, {});
  p.setRun(1);
  p.start();
  for (int k = 0; k < 5; ++k) {
    p.cycle();
    EXPECT_EQ(p.dout(DPROG_DO_RESET), 1);
    EXPECT_EQ(p.dout(DPROG_DO_RUN), 0);
    EXPECT_EQ(p.out(DPROG_AO_SEGNO), 0.0f);
    EXPECT_EQ(p.tracks(), 0b100);
  }
}

// =======================================================================================
// Placing the program: preset and power-up

TEST_F(Dprog, PresetTakesTheSegmentsPattern) {
  struct Case {
    const char* what;
    uint16_t pMode;
    float value;
    float segNo, tNetto;
    uint8_t tracks;
    uint16_t end;
  } cases[] = {
      {"segment 2", PROG_PMODE_SEGMENT, 2.0f, 2.0f, 2.0f, 0b10, 0},
      {"segment beyond the last + 1: the end", PROG_PMODE_SEGMENT, 9.0f, 4.0f, 3.5f, 0b100, 1},
      {"time 2.5", PROG_PMODE_TIME, 2.5f, 2.0f, 2.5f, 0b10, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DprogFixture p;
    p.setWord(kProg, DPROG_WP_PMODE + 1, c.pMode);
    p.addData(FB_TYPE_DPROGD, {{2, 1}, {1, 10}, {0.5f, 100}});
    p.start();
    ASSERT_EQ(p.request(FB_FloatRequest(kProg, 304, c.value)), FB_OK);
    p.cycle();
    EXPECT_EQ(p.dout(DPROG_DO_PRESET), 1);
    EXPECT_EQ(p.out(DPROG_AO_SEGNO), c.segNo);
    EXPECT_NEAR(p.out(DPROG_AO_TNETTO), c.tNetto, 1e-5);
    EXPECT_EQ(p.tracks(), c.tracks);
    EXPECT_EQ(p.dout(DPROG_DO_END), c.end);
    p.cycle();
    EXPECT_EQ(p.dout(DPROG_DO_PRESET), 0);
    EXPECT_EQ(p.tracks(), c.tracks);
  }
}

TEST_F(Dprog, PowerUpContinuesOrAdvancesByTheOutageWithoutSearch) {
  constexpr float kMin = 0.1f / 60.0f;  // dt with "Turbo" 0: minutes
  const std::vector<ProgSegment> longProgram = {{10000, 1}, {10000, 10}};
  struct Case {
    const char* what;
    uint16_t pwrUp;
    std::vector<ProgSegment> program;
    uint16_t hour, minute;  // the clock at the power-up; the outage began 03-10 12:00
    float tNetto;           // after the power-up cycle
    uint16_t state;
    uint8_t tracks;
  } cases[] = {
      {"Cont.Prog", PROG_PWRUP_CONT_PROG, longProgram, 13, 30, 11 * kMin, PROG_RUNNING, 0b1},
      {"Cont.Time, 90 minutes", PROG_PWRUP_CONT_TIME, longProgram, 13, 30, 11 * kMin + 90,
       PROG_RUNNING, 0b1},
      {"Cont.Time into segment 2", PROG_PWRUP_CONT_TIME, {{60, 1}, {10000, 10}}, 13, 30,
       11 * kMin + 90, PROG_RUNNING, 0b10},
      {"Cont.Time beyond the total", PROG_PWRUP_CONT_TIME, {{10, 1}, {10, 10}}, 13, 30, 20,
       PROG_END, 0b10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DprogFixture p(0);
    p.setValue(PROG_WV_PWRUP + 1, c.pwrUp);
    p.addData(FB_TYPE_DPROGD, c.program);
    p.setRun(1);
    ProgFixture::setClock(2024, 3, 10, 12, 0);
    p.start();
    p.cycle(10);
    ASSERT_NEAR(p.out(DPROG_AO_TNETTO), 10 * kMin, 1e-5);
    {
      WarmStart warm;
      p.init();
    }
    ProgFixture::setClock(2024, 3, 10, c.hour, c.minute);
    p.cycle();  // the data blocks' start-up pass changed their sums: the chain is recounted
    ASSERT_EQ(p.state().state, PROG_POWER_UP);
    p.cycle();
    EXPECT_EQ(p.state().state, c.state);
    EXPECT_NEAR(p.out(DPROG_AO_TNETTO), c.tNetto, 2e-3);
    EXPECT_EQ(p.tracks(), c.tracks);
    EXPECT_EQ(p.own().searchRequest, 0);
    p.cycle();
    EXPECT_NE(p.state().state, PROG_SEARCH);
  }
}

// =======================================================================================
// The page record, master and slave

TEST_F(Dprog, PageRecordAndCommands) {
  DprogFixture p;
  p.setFloat(kProg, DPROG_FP_D0 + 1, 1.0f);
  const uint16_t data = p.addData(FB_TYPE_DPROGD, {{2, 10}, {1, 100}});
  p.start();
  ProgPage& page = p.page();
  EXPECT_EQ(page.type, FB_TYPE_DPROG);
  EXPECT_EQ(page.block, kProg);
  EXPECT_EQ(page.outputKind.get(), PROG_KIND_DIGITAL);
  EXPECT_EQ(std::string(page.tag, 5), "DPROG");
  EXPECT_EQ(g_fbStore.list[kProg].pageData, &page);
  EXPECT_EQ(page.pageState, PROG_PAGE_RESET);
  EXPECT_EQ(page.output.get(), 1.0f);
  EXPECT_EQ(page.timeUnit, 1);
  EXPECT_EQ(page.w0.get(), 0.0f);
  EXPECT_EQ(page.w100.get(), 0.0f);
  EXPECT_EQ(PROG_PageControl(kProg), PROG_OFFER_RUN_STOP | PROG_OFFER_RESET);
  EXPECT_EQ(PROG_PageSearch(kProg), 0);

  page.command = PROG_CMD_SEARCH;  // the digital programmer has no search
  p.cycle();
  EXPECT_EQ(page.command, PROG_CMD_NONE);
  EXPECT_EQ(p.own().pageSearch, 0);
  EXPECT_EQ(page.pageState, PROG_PAGE_RESET);

  page.command = PROG_CMD_RUN;
  p.cycle(6);  // the start and 5 running cycles
  EXPECT_EQ(page.pageState, PROG_PAGE_RUN);
  EXPECT_EQ(page.output.get(), 10.0f);
  EXPECT_EQ(page.segNo, 1);
  EXPECT_NEAR(page.tNetto.get(), 0.5f, 1e-6);
  EXPECT_NEAR(page.tRest.get(), 2.5f, 1e-5);
  page.command = PROG_CMD_STOP;
  p.cycle(3);
  EXPECT_EQ(page.pageState, PROG_PAGE_STOPPED);
  EXPECT_EQ(page.output.get(), 10.0f);  // stopped in segment 1
  EXPECT_EQ(p.tracks(), 0b10);

  page.command = PROG_CMD_SELECT;
  page.commandArg = 1;
  p.cycle();
  EXPECT_EQ(page.dataBlocks[0], data);
  EXPECT_EQ(page.dataBlocks[1], 0);

  page.command = PROG_CMD_RESET;
  p.cycle();
  EXPECT_EQ(page.pageState, PROG_PAGE_RESET);
  EXPECT_EQ(page.output.get(), 1.0f);
}

TEST_F(Dprog, MasterAndSlave) {
  constexpr uint16_t kAnalog = 101, kDigital = 102;
  DprogFixture p;
  p.fx.create(FB_TYPE_APROG, kAnalog);
  p.fx.create(FB_TYPE_DPROG, kDigital);
  p.fx.connectAnalog(kProg, DPROG_AI_SLAVNO + 1, kAnalog, APROG_AO_BLNO + 1);
  p.fx.connectAnalog(kAnalog, APROG_AI_SLAVNO + 1, kDigital, DPROG_AO_BLNO + 1);
  p.setFloat(kAnalog, APROG_FP_W0 + 1, -10.0f);
  p.setFloat(kAnalog, APROG_FP_W100 + 1, 50.0f);
  for (uint16_t b : {kProg, kAnalog, kDigital}) p.fx.init(b);
  for (uint16_t b : {kProg, kAnalog, kDigital}) p.fx.run(b);
  EXPECT_EQ(PROG_Work(kAnalog)->own.master, kProg);
  EXPECT_EQ(PROG_Work(kDigital)->own.master, kProg);  // the head of the group
  EXPECT_EQ(p.page().slave, kAnalog);
  EXPECT_EQ(p.page().groupFlag, 0);
  EXPECT_EQ(p.page().w0.get(), -10.0f);  // the analog slave's range is shown
  EXPECT_EQ(p.page().w100.get(), 50.0f);
  EXPECT_EQ(PROG_Work(kAnalog)->page.slave, kDigital);
  EXPECT_EQ(PROG_Work(kAnalog)->page.w0.get(), -10.0f);  // a digital slave brings no range
}

}  // namespace
