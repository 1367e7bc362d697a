// The analog programmer placed on its program: preset by segment or net time, the search at
// the process value, and the power-up modes after a warm start.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "block_cases.h"

#include "blocks/prog/prog.h"
#include "runtime/fb_param.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_mode.h"
#include "support/prog_fixture.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kNone = -32000.0f;
constexpr uint16_t kProg = ProgFixture::kProg;

using ProgPlace = ProgClockTest;

// A program in seconds ("Turbo" 1), started and left reset with the run command off.
void startReset(ProgFixture& p, const std::vector<ProgSegment>& segments,
                uint16_t type = FB_TYPE_APROGD) {
  p.setValue(PROG_WV_TURBO + 1, 1);
  p.addData(type, segments);
  p.start();
  ASSERT_EQ(p.state().state, PROG_RESET);
}

// =======================================================================================
// Preset

TEST_F(ProgPlace, PresetPlacesTheProgram) {
  // 0 -> 100 over 10, 100 -> 50 over 5, flat at 50 for 5: total 20, last segment index 2.
  const std::vector<ProgSegment> program = {{10, 100}, {5, 50}, {5, 50}};
  struct Case {
    const char* what;
    uint16_t pMode;
    float value;
    bool byInput;  // "PSet" with the "preset" input, else request 304
    float tNetto, segNo, wp, segRes;
    uint16_t end;
  } cases[] = {
      {"segment 1", PROG_PMODE_SEGMENT, 1, false, 0, 1, 0, 10, 0},
      {"segment 2", PROG_PMODE_SEGMENT, 2, false, 10, 2, 100, 5, 0},
      {"segment 3, the last", PROG_PMODE_SEGMENT, 3, false, 15, 3, 50, 5, 0},
      {"beyond the last + 1", PROG_PMODE_SEGMENT, 999, false, 20, 4, 50, 0, 1},
      {"input: segment -3", PROG_PMODE_SEGMENT, -3, true, 0, 1, 0, 10, 0},
      {"input: segment NaN", PROG_PMODE_SEGMENT, kNaN, true, 0, 1, 0, 10, 0},
      {"time 5", PROG_PMODE_TIME, 5, false, 5, 1, 50, 5, 0},
      {"time 10, a segment's start", PROG_PMODE_TIME, 10, false, 10, 2, 100, 5, 0},
      {"time 12.5", PROG_PMODE_TIME, 12.5f, false, 12.5f, 2, 75, 2.5f, 0},
      {"time beyond the total", PROG_PMODE_TIME, 959999, false, 20, 4, 50, 0, 1},
      {"input: time NaN", PROG_PMODE_TIME, kNaN, true, 0, 1, 0, 10, 0},
      {"input: time 1e30", PROG_PMODE_TIME, 1e30f, true, 20, 4, 50, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgFixture p;
    p.setWord(kProg, APROG_WP_PMODE + 1, c.pMode);
    if (c.byInput) {
      p.fx.setDigitalInput(kProg, APROG_DI_PRESET + 1, 0);
      p.fx.setAnalogInput(kProg, APROG_AI_PSET + 1, c.value);
    }
    startReset(p, program);
    if (c.byInput) {
      p.fx.setDigitalInput(kProg, APROG_DI_PRESET + 1, 1);
    } else {
      ASSERT_EQ(p.request(FB_FloatRequest(kProg, 304, c.value)), FB_OK);
    }
    p.cycle();
    EXPECT_EQ(p.dout(APROG_DO_PRESET), 1);
    EXPECT_EQ(p.dout(APROG_DO_RESET), 0);
    EXPECT_EQ(p.page().presetValue.get(), std::isnan(c.value) ? 0.0f : c.value);
    EXPECT_NEAR(p.out(APROG_AO_TNETTO), c.tNetto, 1e-5);
    EXPECT_EQ(p.out(APROG_AO_SEGNO), c.segNo);
    EXPECT_NEAR(p.out(APROG_AO_WP), c.wp, 1e-4);
    EXPECT_NEAR(p.out(APROG_AO_SEGRES), c.segRes, 1e-5);
    EXPECT_NEAR(p.out(APROG_AO_TREST), 20.0f - c.tNetto, 1e-5);
    EXPECT_EQ(p.dout(APROG_DO_END), c.end);
    // A preset by segment number shows no remaining segment time on the page.
    EXPECT_EQ(p.page().segRes.get(), c.pMode == PROG_PMODE_SEGMENT ? kNone : c.segRes);

    if (c.byInput) p.fx.setDigitalInput(kProg, APROG_DI_PRESET + 1, 0);
    p.cycle();
    EXPECT_EQ(p.dout(APROG_DO_PRESET), 0);  // one cycle only
    EXPECT_NEAR(p.out(APROG_AO_TNETTO), c.tNetto, 1e-5);  // stopped (or ended) there
    EXPECT_EQ(p.state().state, c.end ? PROG_END : PROG_STOPPED);
  }
}

TEST_F(ProgPlace, PresetRequests) {
  enum Wire : uint8_t { None, PresetInput };
  struct Case {
    const char* what;
    uint16_t pMode;
    Wire wire;
    float value;
    uint8_t result;
  } cases[] = {
      {"time 0", PROG_PMODE_TIME, None, 0.0f, FB_OK},
      {"time 959999", PROG_PMODE_TIME, None, 959999.0f, FB_OK},
      {"time 960000", PROG_PMODE_TIME, None, 960000.0f, FB_ERR_LIMITS},
      {"time -1", PROG_PMODE_TIME, None, -1.0f, FB_ERR_LIMITS},
      {"time NaN", PROG_PMODE_TIME, None, kNaN, FB_ERR_LIMITS},
      {"segment 1", PROG_PMODE_SEGMENT, None, 1.0f, FB_OK},
      {"segment 999", PROG_PMODE_SEGMENT, None, 999.0f, FB_OK},
      {"segment 0.5", PROG_PMODE_SEGMENT, None, 0.5f, FB_ERR_LIMITS},
      {"segment 1000", PROG_PMODE_SEGMENT, None, 1000.0f, FB_ERR_LIMITS},
      {"segment NaN", PROG_PMODE_SEGMENT, None, kNaN, FB_ERR_LIMITS},
      {"with the preset input", PROG_PMODE_TIME, PresetInput, 5.0f, FB_ERR_NOT_NOW},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgFixture p;
    p.setWord(kProg, APROG_WP_PMODE + 1, c.pMode);
    if (c.wire == PresetInput) p.fx.setDigitalInput(kProg, APROG_DI_PRESET + 1, 0);
    p.init();
    ASSERT_EQ(p.request(FB_FloatRequest(kProg, 304, 7.0f)), c.wire ? FB_ERR_NOT_NOW : FB_OK);
    p.own().presetRequest = 0;
    EXPECT_EQ(p.request(FB_FloatRequest(kProg, 304, c.value)), c.result);
    EXPECT_EQ(p.own().presetRequest, c.result == FB_OK ? 1 : 0);
    FbParamRequest read(kProg, -304);
    uint16_t bad = 0;
    ASSERT_EQ(FB_GetType(FB_TYPE_APROG)->param(&read, &bad), FB_OK);
    const float kept = c.wire ? 0.0f : 7.0f;
    EXPECT_EQ(read.f32(FB_REQUEST_VALUE), c.result == FB_OK ? c.value : kept);
  }

  // The page's preset value is taken within the page limits only.
  ProgFixture p;
  startReset(p, {{10, 100}, {10, 0}});
  p.page().newPresetValue = 1e7f;
  p.page().presetRequest = 1;
  p.cycle();
  EXPECT_EQ(p.page().presetRequest, 0);
  EXPECT_EQ(p.dout(APROG_DO_PRESET), 0);
  p.page().newPresetValue = 15.0f;
  p.page().presetRequest = 1;
  p.cycle();
  EXPECT_EQ(p.dout(APROG_DO_PRESET), 1);
  EXPECT_NEAR(p.out(APROG_AO_TNETTO), 15.0f, 1e-5);
  EXPECT_NEAR(p.out(APROG_AO_WP), 50.0f, 1e-4);
}

// =======================================================================================
// Search

// One search from a reset program with the run command off: the program then stands
// stopped where the search placed it.
TEST_F(ProgPlace, SearchInOneSegment) {
  struct Case {
    const char* what;
    float wp0;
    ProgSegment segment;
    uint16_t wMode, tPrio;
    std::optional<float> xVal;
    float elapsed, wp;
  } cases[] = {
      {"on the ramp", 0, {10, 100}, 0, 0, 40.0f, 4, 40},
      {"XVal unconnected", 0, {10, 100}, 0, 0, std::nullopt, 0, 0},
      {"XVal NaN", 0, {10, 100}, 0, 0, kNaN, 0, 0},
      {"XVal above the end", 0, {10, 100}, 0, 0, 150.0f, 10, 100},
      {"XVal below the start", 0, {10, 100}, 0, 0, -5.0f, 0, 0},
      {"falling", 100, {10, 0}, 0, 0, 40.0f, 6, 40},
      {"flat", 50, {10, 50}, 0, 0, 50.0f, 0, 50},
      {"time 0", 0, {0, 100}, 0, 0, 40.0f, 0, 100},
      {"Time Prio keeps the time", 0, {10, 100}, 0, 1, 40.0f, 0, 40},
      {"Time Prio without XVal", 0, {10, 100}, 0, 1, std::nullopt, 0, 0},
      {"Time Prio with XVal NaN", 0, {10, 100}, 0, 1, kNaN, 0, 0},
      {"Step", 0, {10, 100}, 1, 0, 40.0f, 0, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgFixture p;
    p.setFloat(kProg, APROG_FP_WP0 + 1, c.wp0);
    p.setWord(kProg, APROG_WP_WMODE + 1, c.wMode);
    p.setWord(kProg, APROG_WP_TPRIO + 1, c.tPrio);
    if (c.xVal) p.setXVal(*c.xVal);
    startReset(p, {c.segment});
    ASSERT_EQ(p.request(FB_WordRequest(kProg, 502, 1)), FB_OK);
    p.cycle();
    EXPECT_EQ(p.state().state, PROG_STOPPED);
    EXPECT_EQ(p.dout(APROG_DO_RESET), 0);
    EXPECT_NEAR(p.state().elapsed.get(), c.elapsed, 1e-5);
    EXPECT_NEAR(p.out(APROG_AO_TNETTO), c.elapsed, 1e-5);
    EXPECT_NEAR(p.out(APROG_AO_WP), c.wp, 1e-4);
    EXPECT_EQ(p.state().ticks.get(), static_cast<uint32_t>(std::lround(c.elapsed / 0.1f)));
    EXPECT_EQ(p.own().searchRequest, 0);
    EXPECT_EQ(p.own().pageSearch, 0);  // the page's command is taken once
  }
}

TEST_F(ProgPlace, SearchOffOnlySetsTheStartOfAProgramThatHasNotRun) {
  ProgFixture p;
  p.setWord(kProg, APROG_WP_SMODE + 1, PROG_SMODE_OFF);
  p.setFloat(kProg, APROG_FP_WP0 + 1, 10.0f);
  p.setXVal(40.0f);
  startReset(p, {{10, 110}});
  ASSERT_EQ(p.request(FB_WordRequest(kProg, 502, 1)), FB_OK);
  p.cycle();
  EXPECT_EQ(p.state().state, PROG_STOPPED);
  EXPECT_EQ(p.out(APROG_AO_TNETTO), 0.0f);
  EXPECT_EQ(p.out(APROG_AO_WP), 10.0f);

  p.setRun(1);
  p.cycle(30);
  const float tNetto = p.out(APROG_AO_TNETTO), wp = p.out(APROG_AO_WP);
  ASSERT_NEAR(tNetto, 3.0f, 1e-5);
  ASSERT_EQ(p.request(FB_WordRequest(kProg, 502, 1)), FB_OK);
  p.cycle();  // the search cycle: nothing changes, not even the net time
  EXPECT_EQ(p.out(APROG_AO_TNETTO), tNetto);
  EXPECT_EQ(p.out(APROG_AO_WP), wp);
  EXPECT_EQ(p.state().state, PROG_RUNNING);
  p.cycle();
  EXPECT_NEAR(p.out(APROG_AO_TNETTO), tNetto + 0.1f, 1e-5);
}

// "SearchSec" with "Grad.Prio": the search walks one segment per cycle.
TEST_F(ProgPlace, SearchWalksSegmentBySegment) {
  struct Case {
    const char* what;
    float wp0;
    std::vector<ProgSegment> program;
    uint16_t type;
    float presetSegment;  // the segment the stopped program stands at
    std::optional<float> xVal;
    int cycles;           // cycles in state 10, the last one included
    float segNo, tNetto, wp;
  } cases[] = {
      {"up into the second segment", 0, {{10, 50}, {10, 100}}, FB_TYPE_APROGD, 1, 75.0f, 2, 2,
       15, 75},
      {"back into the first", 0, {{10, 50}, {10, 100}}, FB_TYPE_APROGD, 2, 20.0f, 2, 1, 4, 20},
      {"stops before the direction changes", 0, {{10, 50}, {10, 100}, {10, 0}},
       FB_TYPE_APROGD, 1, 120.0f, 2, 2, 20, 100},
      {"a flat segment takes its neighbours' direction", 0, {{10, 50}, {10, 50}, {10, 100}},
       FB_TYPE_APROGD, 2, 75.0f, 2, 3, 25, 75},
      {"a flat segment between two directions is searched alone", 0,
       {{10, 50}, {10, 50}, {10, 0}}, FB_TYPE_APROGD, 2, 75.0f, 1, 2, 10, 50},
      {"without XVal only the current segment", 100, {{10, 0}, {10, -50}}, FB_TYPE_APROGD, 1,
       std::nullopt, 1, 1, 0, 100},
      {"a falling step holds XVal between its values", 150,
       {{10, 100}, {10, 50, PROG_SEG_STEP}, {10, 0}}, FB_TYPE_APRGD2, 3, 70.0f, 2, 2, 10, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgFixture p;
    p.setWord(kProg, APROG_WP_SMODE + 1, PROG_SMODE_SEC);
    p.setFloat(kProg, APROG_FP_WP0 + 1, c.wp0);
    p.setWord(kProg, APROG_WP_PMODE + 1, PROG_PMODE_SEGMENT);
    if (c.xVal) p.setXVal(*c.xVal);
    startReset(p, c.program, c.type);
    ASSERT_EQ(p.request(FB_FloatRequest(kProg, 304, c.presetSegment)), FB_OK);
    p.cycle(2);
    ASSERT_EQ(p.state().state, PROG_STOPPED);
    ASSERT_EQ(p.request(FB_WordRequest(kProg, 502, 1)), FB_OK);
    for (int k = 1; k < c.cycles; ++k) {
      p.cycle();
      EXPECT_EQ(p.state().state, PROG_SEARCH) << "cycle " << k;
      EXPECT_EQ(p.page().pageState, PROG_PAGE_SEARCH);
    }
    p.cycle();
    EXPECT_EQ(p.state().state, PROG_STOPPED);
    EXPECT_EQ(p.out(APROG_AO_SEGNO), c.segNo);
    EXPECT_NEAR(p.out(APROG_AO_TNETTO), c.tNetto, 1e-4);
    EXPECT_NEAR(p.out(APROG_AO_WP), c.wp, 1e-4);
    EXPECT_EQ(p.own().searchWalk, 0);
  }
}

TEST_F(ProgPlace, SearchInputAndStart) {
  // The "search" input held at 1: "SearchSeg" searches every cycle and so holds the program
  // at XVal; "SearchSec" searches on the rising edge only.
  for (const uint16_t mode : {PROG_SMODE_SEG, PROG_SMODE_SEC}) {
    SCOPED_TRACE(mode);
    ProgFixture p;
    p.setWord(kProg, APROG_WP_SMODE + 1, mode);
    p.setXVal(40.0f);
    p.setRun(1);
    p.fx.setDigitalInput(kProg, APROG_DI_SEARCH + 1, 0);
    p.setValue(PROG_WV_TURBO + 1, 1);
    p.addData(FB_TYPE_APROGD, {{10, 100}});
    p.start();
    p.cycle(11);  // the start's search places the program at 4, then 1.0 of running
    ASSERT_NEAR(p.out(APROG_AO_TNETTO), 5.0f, 1e-4);
    p.fx.setDigitalInput(kProg, APROG_DI_SEARCH + 1, 1);
    p.cycle();
    EXPECT_NEAR(p.out(APROG_AO_TNETTO), 4.0f, 1e-4);
    p.cycle(5);
    EXPECT_NEAR(p.out(APROG_AO_TNETTO), mode == PROG_SMODE_SEG ? 4.0f : 4.5f, 1e-4);
  }

  // A reset ends a walking search; no search is due once the program has ended.
  ProgFixture p;
  p.setWord(kProg, APROG_WP_SMODE + 1, PROG_SMODE_SEC);
  p.setXVal(75.0f);
  startReset(p, {{10, 50}, {10, 100}});
  ASSERT_EQ(p.request(FB_WordRequest(kProg, 502, 1)), FB_OK);
  p.cycle();
  ASSERT_EQ(p.state().state, PROG_SEARCH);
  ASSERT_EQ(p.request(FB_WordRequest(kProg, 501, 1)), FB_OK);
  p.cycle(3);
  EXPECT_EQ(p.state().state, PROG_RESET);
  EXPECT_EQ(p.dout(APROG_DO_RESET), 1);
  EXPECT_EQ(p.own().searchRequest, 0);

  ASSERT_EQ(p.request(FB_FloatRequest(kProg, 304, 20.0f)), FB_OK);  // "Pres.Time"
  p.cycle();
  ASSERT_EQ(p.state().state, PROG_END);
  ASSERT_EQ(p.request(FB_WordRequest(kProg, 502, 1)), FB_OK);
  p.cycle();
  EXPECT_EQ(p.state().state, PROG_END);
  EXPECT_EQ(p.own().pageSearch, 1);  // kept until a search can take it
}

// =======================================================================================
// Power-up

TEST_F(ProgPlace, PowerUpModes) {
  constexpr float kMin = 0.1f / 60.0f;  // dt with "Turbo" 0: minutes
  const std::vector<ProgSegment> longProgram = {{10000, 100}, {10000, 0}};
  const std::vector<ProgSegment> waiting = {{30, 50, PROG_SEG_TIME_WAIT}, {100, 100}};
  struct Case {
    const char* what;
    uint16_t pwrUp, turbo, type;
    std::vector<ProgSegment> program;
    std::optional<float> xVal;   // connected for the power-up only
    bool stopped;                // stopped before the outage
    uint16_t day, hour, minute;  // the clock at the power-up; the outage began 03-10 12:00
    float tNetto;                // after the power-up cycle
    uint16_t state;
  } cases[] = {
      {"Cont.Prog", PROG_PWRUP_CONT_PROG, 0, FB_TYPE_APROGD, longProgram, 50.0f, false, 10, 13,
       30, 11 * kMin, PROG_RUNNING},
      {"Cont.Time, 90 minutes", PROG_PWRUP_CONT_TIME, 0, FB_TYPE_APROGD, longProgram,
       std::nullopt, false, 10, 13, 30, 11 * kMin + 90, PROG_RUNNING},
      {"Cont.Time, 90 seconds", PROG_PWRUP_CONT_TIME, 1, FB_TYPE_APROGD, longProgram,
       std::nullopt, false, 10, 12, 1, 1.1f + 90, PROG_RUNNING},
      {"Cont.Time, 8 days", PROG_PWRUP_CONT_TIME, 0, FB_TYPE_APROGD, longProgram, std::nullopt,
       false, 18, 12, 0, 11 * kMin + 11520, PROG_RUNNING},
      {"Cont.Time, clock set back", PROG_PWRUP_CONT_TIME, 0, FB_TYPE_APROGD, longProgram,
       std::nullopt, false, 10, 11, 0, 11 * kMin, PROG_RUNNING},
      {"Cont.Time beyond the total", PROG_PWRUP_CONT_TIME, 0, FB_TYPE_APROGD,
       {{10, 100}, {10, 0}}, std::nullopt, false, 10, 13, 30, 20, PROG_END},
      {"Cont.Time, then the search", PROG_PWRUP_CONT_TIME, 0, FB_TYPE_APROGD, longProgram,
       25.0f, false, 10, 13, 30, 2500, PROG_RUNNING},
      {"Cont.Time, stopped", PROG_PWRUP_CONT_TIME, 0, FB_TYPE_APROGD, longProgram,
       std::nullopt, true, 10, 13, 30, 10 * kMin, PROG_STOPPED},
      {"Cont.Time stops at a wait segment passed", PROG_PWRUP_CONT_TIME, 0, FB_TYPE_APRGD2,
       waiting, std::nullopt, false, 10, 13, 0, 30 + kMin, PROG_WAIT},
      {"Cont.Time within a wait segment", PROG_PWRUP_CONT_TIME, 0, FB_TYPE_APRGD2, waiting,
       std::nullopt, false, 10, 12, 10, 11 * kMin + 10, PROG_RUNNING},
      {"Cont.Seg. searches", PROG_PWRUP_CONT_SEG, 0, FB_TYPE_APROGD, longProgram, 50.0f, false,
       10, 13, 30, 5000, PROG_RUNNING},
      {"Cont.Seg. without XVal", PROG_PWRUP_CONT_SEG, 0, FB_TYPE_APROGD, longProgram,
       std::nullopt, false, 10, 13, 30, 11 * kMin, PROG_RUNNING},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgFixture p;
    p.setValue(PROG_WV_PWRUP + 1, c.pwrUp);
    p.setValue(PROG_WV_TURBO + 1, c.turbo);
    p.addData(c.type, c.program);
    p.setRun(1);
    ProgFixture::setClock(2024, 3, 10, 12, 0);
    p.start();
    p.cycle(1 + 10);  // the start's search, 10 cycles of running
    if (c.stopped) {
      p.setRun(0);
      p.cycle();
    }
    ASSERT_NEAR(p.out(APROG_AO_TNETTO), 10 * (c.turbo ? 0.1f : kMin), 1e-5);
    if (c.xVal) p.setXVal(*c.xVal);
    {
      WarmStart warm;
      p.init();
    }
    ProgFixture::setClock(2024, 3, c.day, c.hour, c.minute, c.turbo ? 30 : 0);
    p.cycle();  // the data blocks' start-up pass changed their sums: the chain is recounted
    ASSERT_EQ(p.state().state, PROG_POWER_UP);
    p.cycle();
    EXPECT_EQ(p.state().state, c.state);
    EXPECT_NEAR(p.out(APROG_AO_TNETTO), c.tNetto, 2e-3);
    if (c.state == PROG_END) {
      EXPECT_EQ(p.out(APROG_AO_SEGRES), 0.0f);
      EXPECT_EQ(p.dout(APROG_DO_END), 1);
    }
  }
}

}  // namespace
