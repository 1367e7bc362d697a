// Programmer data blocks and the analog setpoint programmer, cycle by cycle.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "block_cases.h"

#include "blocks/arith/arith.h"
#include "blocks/prog/prog.h"
#include "blocks/prog/prog_core.h"
#include "runtime/fb_param.h"
#include "runtime/fw_mode.h"
#include "support/prog_fixture.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kNone = -32000.0f;
constexpr uint16_t kProg = ProgFixture::kProg;

// Every test starts stopped (parameter writes apply at once) and ends stopped.
class Prog : public testing::Test {
 protected:
  ~Prog() override { g_fwRunMode = FW_RUN_MODE_STOP; }
};

uint8_t sendTo(uint16_t block, FbParamRequest r, uint16_t* bad = nullptr) {
  const FbTypeRecord* rec = FB_GetType(FB_GetInstance(block)[FB_HDR_TYPE]);
  uint16_t unused = 0;
  return rec->param(&r, bad ? bad : &unused);
}

// =======================================================================================
// Data blocks

TEST_F(Prog, DataBlockSumsCountsAndEndMarker) {
  BlockFixture fx(BLK_RegisterAllTypes);
  struct Case {
    const char* what;
    uint16_t type;
    std::vector<ProgSegment> segments;
    bool inputConnected;
    float sum;
    uint16_t count, endMarker, lastInChain;
  } cases[] = {
      {"no segment", FB_TYPE_APROGD, {}, true, 0.0f, 0, 1, 0},
      {"two segments, chained on", FB_TYPE_APROGD, {{2, 10}, {3, 20}}, true, 5.0f, 2, 1, 0},
      {"ten segments, chained on", FB_TYPE_DPROGD,
       std::vector<ProgSegment>(10, {1.5f, 101}), true, 15.0f, 10, 0, 0},
      {"ten segments, input unconnected", FB_TYPE_APROGD,
       std::vector<ProgSegment>(10, {1, 5}), false, 10.0f, 10, 1, 1},
      {"rate 0 to 100 at 10 per unit", FB_TYPE_APRGD2, {{10, 100, PROG_SEG_RATE}}, true, 10.0f,
       1, 1, 0},
      {"rate with wait, falling", FB_TYPE_APRGD2,
       {{5, 100}, {20, 0, PROG_SEG_RATE_WAIT}}, true, 10.0f, 2, 1, 0},
      {"dwell and step", FB_TYPE_APRGD2,
       {{1, 50}, {4, 0, PROG_SEG_DWELL}, {2, 80, PROG_SEG_STEP}}, true, 7.0f, 3, 1, 0},
  };
  uint16_t block = 200;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fx.create(c.type, block);
    for (size_t i = 0; i < c.segments.size(); ++i) {
      fx.floatParam(block, static_cast<uint16_t>(2 * i + 1)) = c.segments[i].time;
      fx.floatParam(block, static_cast<uint16_t>(2 * i + 2)) = c.segments[i].value;
      if (c.type == FB_TYPE_APRGD2)
        fx.wordParam(block, static_cast<uint16_t>(i + 1)) = c.segments[i].type;
    }
    if (c.inputConnected) fx.setAnalogInput(block, 1, 999.0f);
    fx.init(block);
    const ProgDataState* st = PROG_DataState(block);
    ASSERT_NE(st, nullptr);
    EXPECT_FLOAT_EQ(st->sum, c.sum);
    EXPECT_EQ(st->segments, c.count);
    EXPECT_EQ(st->endMarker, c.endMarker);
    EXPECT_EQ(st->lastInChain, c.lastInChain);
    EXPECT_EQ(st->changed, 1);
    fx.run(block);
    EXPECT_EQ(fx.analogOut(block, 1), static_cast<float>(block));
    ++block;
  }
  EXPECT_EQ(PROG_DataState(kProg), nullptr);  // no data block there
}

TEST_F(Prog, DwellTakesTheEndValueBeforeIt) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(FB_TYPE_APRGD2, 200);
  fx.floatParam(200, 1) = 2.0f;
  fx.floatParam(200, 2) = 50.0f;
  fx.floatParam(200, 3) = 3.0f;
  fx.floatParam(200, 4) = 7.0f;  // entered, but a dwell keeps its start value
  fx.wordParam(200, 2) = PROG_SEG_DWELL_WAIT;
  fx.init(200);
  EXPECT_EQ(fx.floatParam(200, 4).get(), 50.0f);
  EXPECT_FLOAT_EQ(PROG_DataState(200)->sum, 5.0f);
}

TEST_F(Prog, RateSegmentsNeedATimeOfAtLeastAThousandth) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(FB_TYPE_APRGD2, 200);
  struct Case {
    const char* what;
    int16_t id;
    float time;        // time value of segment 1 before the request
    uint16_t type;     // type word of segment 1 before the request
    float f;
    uint16_t w;
    uint8_t result;
  } cases[] = {
      {"rate time 0.0005", 1000, 1.0f, PROG_SEG_RATE, 0.0005f, 0, FB_ERR_LIMITS},
      {"rate time 0.001", 1000, 1.0f, PROG_SEG_RATE, 0.001f, 0, FB_OK},
      {"rate+wait time 0", 1000, 1.0f, PROG_SEG_RATE_WAIT, 0.0f, 0, FB_ERR_LIMITS},
      {"rate: no segment", 1000, 1.0f, PROG_SEG_RATE, kNone, 0, FB_OK},
      {"time 0 with type time", 1000, 1.0f, PROG_SEG_TIME, 0.0f, 0, FB_OK},
      {"time above 959999", 1000, 1.0f, PROG_SEG_TIME, 960000.0f, 0, FB_ERR_LIMITS},
      {"type rate while the time is 0", 1250, 0.0f, PROG_SEG_TIME, 0, PROG_SEG_RATE, FB_ERR_LIMITS},
      {"type rate+wait while the time is 0.0001", 1250, 0.0001f, PROG_SEG_TIME, 0,
       PROG_SEG_RATE_WAIT, FB_ERR_LIMITS},
      {"type rate without segment", 1250, kNone, PROG_SEG_TIME, 0, PROG_SEG_RATE, FB_OK},
      {"type rate with time 2", 1250, 2.0f, PROG_SEG_TIME, 0, PROG_SEG_RATE, FB_OK},
      {"type dwell while the time is 0", 1250, 0.0f, PROG_SEG_TIME, 0, PROG_SEG_DWELL, FB_OK},
      {"type 8", 1250, 1.0f, PROG_SEG_TIME, 0, 8, FB_ERR_LIMITS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fx.floatParam(200, 1) = c.time;
    fx.floatParam(200, 1, true) = c.time;
    fx.wordParam(200, 1) = c.type;
    fx.wordParam(200, 1, true) = c.type;
    const FbParamRequest r = c.id == 1000 ? FB_FloatRequest(200, c.id, c.f)
                                          : FB_WordRequest(200, c.id, c.w);
    EXPECT_EQ(sendTo(200, r), c.result);
    if (c.result != FB_OK) {
      EXPECT_EQ(fx.floatParam(200, 1).get(), c.time);
      EXPECT_EQ(fx.wordParam(200, 1), c.type);
    }
  }
  // Whatever got in, a rate never lasts forever: a rate with time 0 lasts 0.
  EXPECT_EQ(PROG_Duration(0.0f, 100.0f, 0.0f, PROG_SEG_RATE), 0.0f);
  EXPECT_EQ(PROG_Duration(-1.0f, 100.0f, 0.0f, PROG_SEG_RATE_WAIT), 0.0f);
}

TEST_F(Prog, DataBlockWholeSets) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(FB_TYPE_APROGD, 200);
  fx.create(FB_TYPE_APRGD2, 201);
  fx.create(FB_TYPE_DPROGD, 202);
  std::vector<float> times(20);
  for (size_t j = 0; j < 20; ++j) times[j] = j % 2 == 0 ? 1.0f : 10.0f * static_cast<float>(j);
  auto with = [&](size_t j, float v) {
    std::vector<float> f = times;
    f[j] = v;
    return f;
  };
  const std::vector<uint16_t> noWords, types(10, PROG_SEG_TIME);
  auto typesWith = [&](size_t i, uint16_t v) {
    std::vector<uint16_t> t = types;
    t[i] = v;
    return t;
  };
  struct Case {
    const char* what;
    uint16_t block;
    std::vector<uint16_t> words;
    std::vector<float> floats;
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {"APROGD accepted", 200, noWords, times, FB_OK, 0},
      {"APROGD end value 2 too low", 200, noWords, with(3, -30000.0f), FB_ERR_LIMITS, 4},
      {"APROGD time 10 negative", 200, noWords, with(18, -1.0f), FB_ERR_LIMITS, 19},
      {"APROGD with words", 200, types, times, FB_ERR_COUNT_Y, 0},
      {"APRGD2 accepted", 201, types, times, FB_OK, 0},
      {"APRGD2 type 4 is 9", 201, typesWith(3, 9), times, FB_ERR_LIMITS, 4},
      {"APRGD2 rate in the set needs its time", 201, typesWith(2, PROG_SEG_RATE),
       with(4, 0.0f), FB_ERR_LIMITS, 15},
      {"APRGD2 rate and time together", 201, typesWith(2, PROG_SEG_RATE), with(4, 0.5f), FB_OK, 0},
      {"APRGD2 without words", 201, noWords, times, FB_ERR_COUNT_Y, 0},
      {"DPROGD pattern above 111111", 202, noWords, with(1, 111112.0f), FB_ERR_LIMITS, 2},
      {"DPROGD accepted", 202, noWords, with(1, 111111.0f), FB_OK, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<float> before = {fx.floatParam(c.block, 1).get(),
                                       fx.floatParam(c.block, 4).get()};
    uint16_t bad = 99;
    EXPECT_EQ(sendTo(c.block, FB_SetRequest(c.block, 4000, c.words, c.floats), &bad), c.result);
    EXPECT_EQ(bad, c.bad);
    if (c.result == FB_OK) {
      EXPECT_EQ(fx.floatParam(c.block, 2).get(), c.floats[1]);
    } else {
      EXPECT_EQ(fx.floatParam(c.block, 1).get(), before[0]);
      EXPECT_EQ(fx.floatParam(c.block, 4).get(), before[1]);
    }
  }
  // Other ids are unknown: texts, word values, and APROGD has no words.
  EXPECT_EQ(sendTo(200, FB_WordRequest(200, 1250, 1)), FB_ERR_UNKNOWN_ID);
  EXPECT_EQ(sendTo(200, FB_FloatRequest(200, 1020, 1)), FB_ERR_UNKNOWN_ID);
  EXPECT_EQ(sendTo(201, FB_WordRequest(201, 1260, 1)), FB_ERR_UNKNOWN_ID);
  EXPECT_EQ(sendTo(201, FB_WordRequest(201, 3000, 1)), FB_ERR_UNKNOWN_ID);
}

// A change of Wp 10 reaches the next APRGD2 as its start value, which recomputes its rate
// segment; the changed flags travel one block per cycle towards the programmer.
TEST_F(Prog, ChangesTravelAlongTheChain) {
  ProgFixture p;
  const uint16_t a = p.addData(FB_TYPE_APRGD2, std::vector<ProgSegment>(10, {1, 0}));
  std::vector<ProgSegment> full(10, {1, 100});  // no end marker: B looks at C
  full[0] = {10, 100, PROG_SEG_RATE};
  const uint16_t b = p.addData(FB_TYPE_APRGD2, full);
  const uint16_t c = p.addData(FB_TYPE_APRGD2, {{1, 100}});
  p.init();
  p.cycle();
  PROG_DataState(a)->changed = PROG_DataState(b)->changed = PROG_DataState(c)->changed = 0;
  EXPECT_FLOAT_EQ(PROG_DataState(b)->sum, 19.0f);  // from 0 to 100 at 10 per unit, then 9 x 1

  // Run mode: the change waits for A's next run, which takes it over and recomputes.
  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_EQ(sendTo(a, FB_FloatRequest(a, 1019, 50.0f)), FB_OK);
  for (uint16_t k : {a, b}) p.fx.run(k);  // A takes Wp 10 over; B still has the old start
  EXPECT_FLOAT_EQ(PROG_DataState(b)->sum, 19.0f);
  for (uint16_t k : {a, b}) p.fx.run(k);  // next cycle: B recomputes from 50
  EXPECT_FLOAT_EQ(PROG_DataState(b)->sum, 14.0f);
  EXPECT_EQ(PROG_DataState(b)->start.get(), 50.0f);

  // C changes: B sets its flag in the next cycle, A in the one after.
  PROG_DataState(a)->changed = PROG_DataState(b)->changed = 0;
  ASSERT_EQ(sendTo(c, FB_FloatRequest(c, 1000, 2.0f)), FB_OK);
  const uint16_t order[] = {a, b, c};
  for (uint16_t k : order) p.fx.run(k);
  EXPECT_EQ(PROG_DataState(c)->changed, 1);
  EXPECT_EQ(PROG_DataState(b)->changed, 0);
  for (uint16_t k : order) p.fx.run(k);
  EXPECT_EQ(PROG_DataState(b)->changed, 1);
  EXPECT_EQ(PROG_DataState(a)->changed, 0);
  for (uint16_t k : order) p.fx.run(k);
  EXPECT_EQ(PROG_DataState(a)->changed, 1);
}

// =======================================================================================
// The programmer: segments and times

// Cycles spent in each segment number from now until the program ends (at most `limit`).
std::vector<int> cyclesPerSegment(ProgFixture& p, int limit) {
  std::vector<int> counts;
  for (int k = 0; k < limit && !p.dout(APROG_DO_END); ++k) {
    p.cycle();
    const auto seg = static_cast<size_t>(p.out(APROG_AO_SEGNO));
    if (seg == 0 || p.dout(APROG_DO_END)) continue;
    if (counts.size() < seg) counts.resize(seg, 0);
    ++counts[seg - 1];
  }
  return counts;
}

TEST_F(Prog, SegmentsLastTheirTimeInCycles) {
  struct Case {
    const char* what;
    uint16_t group, turbo;
    float time;
    int cycles;
  } cases[] = {
      {"1.0 s at 0.1 s", 1, 1, 1.0f, 10},
      {"2.4 s at 0.4 s", 4, 1, 2.4f, 6},
      {"0.1 s at 0.1 s", 1, 1, 0.1f, 1},
      {"1.6 s at 0.8 s", 8, 1, 1.6f, 2},
      {"90 min at 0.1 s", 1, 0, 90.0f, 54000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgFixture p(c.group);
    p.setValue(PROG_WV_TURBO + 1, c.turbo);
    p.addData(FB_TYPE_APROGD, {{c.time, 10}, {c.time, 20}, {c.time, 30}});
    p.setRun(1);
    p.start();
    const std::vector<int> counts = cyclesPerSegment(p, 4 * c.cycles + 10);
    ASSERT_EQ(counts.size(), 3u);
    EXPECT_EQ(counts[1], c.cycles);
    EXPECT_EQ(counts[2], c.cycles);
    EXPECT_EQ(p.dout(APROG_DO_END), 1);
    EXPECT_EQ(p.out(APROG_AO_WP), 30.0f);
    EXPECT_EQ(p.out(APROG_AO_TREST), 0.0f);
  }
}

TEST_F(Prog, RampsStepsAndTimes) {
  ProgFixture p;
  p.setValue(PROG_WV_TURBO + 1, 1);
  p.setFloat(kProg, APROG_FP_WP0 + 1, 20.0f);
  p.addData(FB_TYPE_APROGD, {{2, 40}, {0, 70}, {1, 60}});
  p.setRun(1);
  p.start();
  EXPECT_EQ(p.out(APROG_AO_SEGNO), 1.0f);  // the start cycle
  EXPECT_EQ(p.out(APROG_AO_WP), 20.0f);
  p.cycle();  // the start's search: nothing to search for, the program stays at its start
  EXPECT_EQ(p.out(APROG_AO_TNETTO), 0.0f);
  p.cycle(10);  // half of segment 1
  EXPECT_NEAR(p.out(APROG_AO_WP), 30.0f, 1e-4);
  EXPECT_NEAR(p.out(APROG_AO_TNETTO), 1.0f, 1e-6);
  EXPECT_NEAR(p.out(APROG_AO_TREST), 2.0f, 1e-6);
  EXPECT_NEAR(p.out(APROG_AO_SEGRES), 1.0f, 1e-6);
  EXPECT_NEAR(p.out(APROG_AO_TBRUTT), 1.1f, 1e-6);  // the search cycle counts
  EXPECT_EQ(p.out(APROG_AO_WEND), 40.0f);
  EXPECT_EQ(p.dout(APROG_DO_RUN), 1);
  EXPECT_EQ(p.dout(APROG_DO_RESET), 0);
  p.cycle(10);
  // Segment 2 has time 0: reached, the setpoint jumps to its end value; it completes in the
  // next cycle without counting time.
  EXPECT_EQ(p.out(APROG_AO_SEGNO), 2.0f);
  EXPECT_EQ(p.out(APROG_AO_WP), 70.0f);
  EXPECT_EQ(p.out(APROG_AO_SEGRES), 0.0f);
  p.cycle();
  EXPECT_EQ(p.out(APROG_AO_SEGNO), 3.0f);
  EXPECT_EQ(p.out(APROG_AO_WP), 70.0f);  // the ramp to 60 starts at 70
  p.cycle(5);
  EXPECT_NEAR(p.out(APROG_AO_WP), 65.0f, 1e-4);
  EXPECT_NEAR(p.out(APROG_AO_TNETTO), 2.5f, 1e-5);

  // "Step": the setpoint takes each end value at once.
  ProgFixture q;
  q.setValue(PROG_WV_TURBO + 1, 1);
  q.setWord(kProg, APROG_WP_WMODE + 1, 1);
  q.addData(FB_TYPE_APROGD, {{2, 40}, {1, 60}});
  q.setRun(1);
  q.start();
  q.cycle(4);
  EXPECT_EQ(q.out(APROG_AO_WP), 40.0f);
}

TEST_F(Prog, TypedSegmentsWaitAndStep) {
  ProgFixture p;
  p.setValue(PROG_WV_TURBO + 1, 1);
  p.addData(FB_TYPE_APRGD2, {{1, 10, PROG_SEG_STEP_WAIT}, {20, 30, PROG_SEG_RATE}, {1, 0}});
  p.setRun(1);
  p.start();
  p.cycle();  // the start's search
  p.cycle();
  EXPECT_EQ(p.out(APROG_AO_WP), 10.0f);  // a step segment is at its end value at once
  EXPECT_EQ(p.state().duration.get(), 1.0f);
  p.cycle(9);
  // End of a wait segment: the run output drops and the programmer waits in state 11 while
  // the run input is off.
  EXPECT_EQ(p.state().state, PROG_WAIT);
  EXPECT_EQ(p.dout(APROG_DO_RUN), 0);
  p.setRun(0);
  p.cycle(5);
  EXPECT_EQ(p.state().state, PROG_WAIT);
  EXPECT_EQ(p.out(APROG_AO_SEGNO), 1.0f);
  EXPECT_NEAR(p.out(APROG_AO_TBRUTT), 1.6f, 1e-5);  // gross time runs on while waiting
  p.setRun(1);
  p.cycle();
  EXPECT_EQ(p.out(APROG_AO_SEGNO), 2.0f);
  EXPECT_FLOAT_EQ(p.state().duration, 1.0f);  // rate 20 per unit from 10 to 30
  EXPECT_EQ(p.state().state, PROG_RUNNING);
}

TEST_F(Prog, SegmentNumberAndStates) {
  ProgFixture p;
  p.setValue(PROG_WV_TURBO + 1, 1);
  p.addData(FB_TYPE_APROGD, {{1, 10}});
  p.start();
  EXPECT_EQ(p.state().state, PROG_RESET);
  EXPECT_EQ(p.out(APROG_AO_SEGNO), 0.0f);  // reset at the very start
  EXPECT_EQ(p.dout(APROG_DO_RESET), 1);
  EXPECT_EQ(p.readByte(0), 4);
  p.setRun(1);
  p.cycle();
  EXPECT_EQ(p.state().state, PROG_RUNNING);
  EXPECT_EQ(p.readByte(0), 1);
  p.cycle();  // the start's search
  EXPECT_EQ(p.state().elapsed.get(), 0.0f);
  p.setRun(0);
  p.cycle();
  EXPECT_EQ(p.state().state, PROG_STOPPED);
  EXPECT_EQ(p.out(APROG_AO_SEGNO), 1.0f);  // stopped at the start: segment 1
  p.cycle(3);
  EXPECT_EQ(p.state().elapsed.get(), 0.0f);  // no net time while stopped
  EXPECT_NEAR(p.out(APROG_AO_TBRUTT), 0.5f, 1e-6);
  p.setRun(1);
  p.cycle(10);
  EXPECT_EQ(p.state().state, PROG_END);
  EXPECT_EQ(p.readByte(0), 2);  // end, run off ("PEnd" 0 stops)
  p.cycle(5);
  EXPECT_EQ(p.state().state, PROG_END);
  // Reset by the input, from the end.
  p.fx.setDigitalInput(kProg, APROG_DI_RESET + 1, 1);
  p.cycle();
  EXPECT_EQ(p.state().state, PROG_RESET);
  EXPECT_EQ(p.dout(APROG_DO_RESET), 1);
  EXPECT_EQ(p.dout(APROG_DO_END), 0);
  EXPECT_EQ(p.out(APROG_AO_TNETTO), 0.0f);
}

TEST_F(Prog, SetpointHeldToItsLimitsAlsoInManual) {
  ProgFixture p;
  p.setValue(PROG_WV_TURBO + 1, 1);
  p.setFloat(kProg, APROG_FP_W0 + 1, 10.0f);
  p.setFloat(kProg, APROG_FP_W100 + 1, 50.0f);
  p.addData(FB_TYPE_APROGD, {{1, 100}});
  p.start();
  EXPECT_EQ(p.out(APROG_AO_WP), 10.0f);  // Wp 0 = 0 is below W0
  p.setRun(1);
  p.cycle(20);
  EXPECT_EQ(p.out(APROG_AO_WP), 50.0f);

  p.fx.setDigitalInput(kProg, APROG_DI_MANFREE + 1, 1);
  ASSERT_EQ(p.request(FB_WordRequest(kProg, 504, 1)), FB_OK);
  EXPECT_EQ(p.request(FB_FloatRequest(kProg, 305, 60.0f)), FB_ERR_LIMITS);
  ASSERT_EQ(p.request(FB_FloatRequest(kProg, 305, 40.0f)), FB_OK);
  p.cycle();
  EXPECT_EQ(p.out(APROG_AO_WP), 40.0f);
  EXPECT_EQ(p.readByte(-1), 2);
  p.setFloat(kProg, APROG_FP_W100 + 1, 30.0f);
  p.cycle();
  EXPECT_EQ(p.out(APROG_AO_WP), 30.0f);
  // The page's manual setpoint goes the same way.
  p.page().newManualValue = 20.0f;
  p.page().manualValueRequest = 1;
  p.cycle();
  EXPECT_EQ(p.out(APROG_AO_WP), 20.0f);
  EXPECT_EQ(p.page().manualValueRequest, 0);
  EXPECT_EQ(p.page().manual, 1);
}

TEST_F(Prog, ProgramChangeWaitsTheSettleTime) {
  ProgFixture p;
  p.addData(FB_TYPE_APROGD, {{1, 10}});
  p.start();
  EXPECT_EQ(p.out(APROG_AO_PROGNO), 1.0f);
  ASSERT_EQ(p.request(FB_FloatRequest(kProg, 300, 2.0f)), FB_OK);
  p.cycle();  // the reset takes the new number and waits
  EXPECT_EQ(p.out(APROG_AO_PROGNO), 2.0f);
  p.setRun(1);
  for (int k = 1; k <= 8; ++k) {
    p.cycle();
    EXPECT_EQ(p.dout(APROG_DO_RUN), k == 8 ? 1 : 0) << "cycle " << k;
  }
  EXPECT_EQ(p.state().state, PROG_RUNNING);
}

TEST_F(Prog, RestartsAfterEachEndWithPEndReset) {
  ProgFixture p;
  p.setValue(PROG_WV_TURBO + 1, 1);
  p.setValue(PROG_WV_PEND + 1, PROG_PEND_RESET);
  p.addData(FB_TYPE_APROGD, {{0.5f, 10}});
  p.setRun(1);
  p.start();
  int starts = 0, ends = 0;
  uint16_t wasReset = 1, wasEnd = 0;
  for (int k = 0; k < 100; ++k) {
    p.cycle();
    if (wasReset && !p.dout(APROG_DO_RESET)) ++starts;
    if (!wasEnd && p.dout(APROG_DO_END)) ++ends;
    wasReset = p.dout(APROG_DO_RESET);
    wasEnd = p.dout(APROG_DO_END);
    EXPECT_EQ(p.dout(APROG_DO_RUN), 1);
  }
  // Each round: 5 running cycles, the end, the reset, 8 cycles to read the chain again.
  EXPECT_GE(starts, 6);
  EXPECT_GE(ends, 6);
}

// =======================================================================================
// Chain status

TEST_F(Prog, InvalidFirstDataBlockKeepsTheProgrammerReset) {
  const float cases[] = {999.0f /* missing */, 150.0f /* an ABSV */, 0.5f, kNaN, -1.0f, 3.0e9f};
  for (const float dblock : cases) {
    SCOPED_TRACE(dblock);
    ProgFixture p;
    p.fx.create(BLK_TYPE_ABSV, 150);
    p.fx.setAnalogInput(kProg, APROG_AI_DBLOCK + 1, dblock);
    p.setRun(1);
    p.start();
    p.cycle(5);
    EXPECT_EQ(p.readByte(0), 8 | 4);  // chain status 1, reset
    EXPECT_EQ(p.dout(APROG_DO_RUN), 0);
    EXPECT_EQ(p.state().state, PROG_RESET);
    EXPECT_EQ(p.page().pageState, PROG_PAGE_ERROR);
  }
}

TEST_F(Prog, ChainsOfMixedTypesOrMissingBlocksAreInvalid) {
  ProgFixture p;
  p.addData(FB_TYPE_APROGD, std::vector<ProgSegment>(10, {1, 1}));
  p.addData(FB_TYPE_APRGD2, {{1, 1}});
  p.setRun(1);
  p.start();
  EXPECT_EQ(p.state().chainStatus, PROG_CHAIN_INVALID);
  EXPECT_EQ(p.dout(APROG_DO_RUN), 0);
}

TEST_F(Prog, EmptyFirstBlockResetsEveryCycle) {
  for (uint16_t type : {FB_TYPE_APROGD, FB_TYPE_APRGD2}) {
    SCOPED_TRACE(type);
    ProgFixture p;
    p.addData(type, {});
    p.setRun(1);
    p.start();
    for (int k = 0; k < 5; ++k) {
      p.cycle();
      EXPECT_EQ(p.dout(APROG_DO_RESET), 1);
      EXPECT_EQ(p.dout(APROG_DO_RUN), 0);
      EXPECT_EQ(p.out(APROG_AO_SEGNO), 0.0f);
    }
  }
}

TEST_F(Prog, EndlessProgramNeverEnds) {
  ProgFixture p;
  p.setValue(PROG_WV_TURBO + 1, 1);
  std::vector<ProgSegment> a, b;
  for (int i = 0; i < 10; ++i) a.push_back({0.1f, 100.0f + i}), b.push_back({0.1f, 200.0f + i});
  p.addData(FB_TYPE_APROGD, a);
  p.addData(FB_TYPE_APROGD, b);
  p.closeLoop();
  p.setRun(1);
  p.start();
  EXPECT_EQ(p.state().chainStatus, PROG_CHAIN_ENDLESS);
  EXPECT_EQ(p.readByte(0), 16 | 1);
  p.cycle();  // the start's search
  p.cycle(50);
  EXPECT_EQ(p.out(APROG_AO_TREST), PROG_ENDLESS_TIME);
  EXPECT_EQ(p.out(APROG_AO_SEGNO), 51.0f);
  EXPECT_EQ(p.out(APROG_AO_WEND), 200.0f);  // segment 51 is the first of block B again
  EXPECT_EQ(p.dout(APROG_DO_END), 0);

  // Far on, the segment counter passes the 16-bit range without losing its place in the
  // data block.
  FbProgState& s = p.stateForEdit();
  ASSERT_EQ(s.segment % 10, 0);
  s.segment = 65530;
  std::vector<float> seen;
  for (int k = 0; k < 30; ++k) {
    p.cycle();
    seen.push_back(p.out(APROG_AO_WEND));
  }
  for (int k = 0; k < 30; ++k) {
    const int i = (k + 1) % 20;  // 1..9 of B, 0..9 of A, 0.. of B
    EXPECT_EQ(seen[static_cast<size_t>(k)], (i < 10 ? 200.0f : 100.0f) + static_cast<float>(i % 10))
        << "cycle " << k;
  }
  EXPECT_EQ(p.dout(APROG_DO_END), 0);
}

TEST_F(Prog, ChangedDataIsRecountedWhileRunning) {
  ProgFixture p;
  p.setValue(PROG_WV_TURBO + 1, 1);
  const uint16_t a = p.addData(FB_TYPE_APROGD, {{2, 100}, {1, 0}});
  p.setRun(1);
  p.start();
  p.cycle(6);  // the start's search, 5 running cycles
  EXPECT_NEAR(p.out(APROG_AO_TREST), 2.5f, 1e-5);
  ASSERT_EQ(sendTo(a, FB_FloatRequest(a, 1000, 3.0f)), FB_OK);  // stopped: at once
  ASSERT_EQ(sendTo(a, FB_FloatRequest(a, 1001, 50.0f)), FB_OK);
  p.cycle();  // the recount
  EXPECT_NEAR(p.out(APROG_AO_TREST), 3.5f, 1e-5);
  EXPECT_EQ(p.out(APROG_AO_WEND), 50.0f);
  const float wp = p.out(APROG_AO_WP);
  p.cycle(25);  // the ramp goes on from where it was to the new end value
  EXPECT_NEAR(p.out(APROG_AO_WP), 50.0f, 1e-3);
  EXPECT_GT(wp, 0.0f);
}

// =======================================================================================
// Requests

TEST_F(Prog, RequestsBeforeTheStartUpPass) {
  ProgFixture p;
  EXPECT_EQ(p.request(FbParamRequest(kProg, 0)), FB_ERR_ABSENT);
  EXPECT_EQ(p.request(FbParamRequest(kProg, -1)), FB_ERR_ABSENT);
  p.init();
  EXPECT_EQ(p.request(FbParamRequest(kProg, 0)), FB_OK);
  EXPECT_EQ(g_fbStore.list[kProg].pageData, &p.page());
  EXPECT_EQ(p.page().block, kProg);
  EXPECT_EQ(p.page().type, FB_TYPE_APROG);
  EXPECT_EQ(p.out(APROG_AO_BLNO), static_cast<float>(kProg));
}

TEST_F(Prog, RequestResults) {
  enum Wire : uint8_t { None, Run, Reset, Search, ProgNo, ManfreeOff, ManfreeOn, Manual };
  struct Case {
    const char* what;
    Wire wire;
    FbParamRequest request;
    uint8_t result;
  } cases[] = {
      {"program number", None, FB_FloatRequest(kProg, 300, 5.0f), FB_OK},
      {"program number above RecMax", None, FB_FloatRequest(kProg, 300, 100.0f), FB_ERR_LIMITS},
      {"program number 0", None, FB_FloatRequest(kProg, 300, 0.0f), FB_ERR_LIMITS},
      {"program number from the input", ProgNo, FB_FloatRequest(kProg, 300, 5.0f), FB_ERR_NOT_NOW},
      {"page run", None, FB_WordRequest(kProg, 500, 1), FB_OK},
      {"page run 2", None, FB_WordRequest(kProg, 500, 2), FB_ERR_LIMITS},
      {"page run with the input", Run, FB_WordRequest(kProg, 500, 1), FB_ERR_NOT_NOW},
      {"page reset with the input", Reset, FB_WordRequest(kProg, 501, 1), FB_ERR_NOT_NOW},
      {"page search with the input", Search, FB_WordRequest(kProg, 502, 1), FB_ERR_NOT_NOW},
      {"page search", None, FB_WordRequest(kProg, 502, 1), FB_OK},
      {"function key", None, FB_WordRequest(kProg, 503, 1), FB_OK},
      {"function key 3", None, FB_WordRequest(kProg, 503, 3), FB_ERR_LIMITS},
      {"manual without manfree", None, FB_WordRequest(kProg, 504, 1), FB_ERR_NOT_NOW},
      {"manual with manfree 0", ManfreeOff, FB_WordRequest(kProg, 504, 1), FB_ERR_NOT_NOW},
      {"manual with manfree 1", ManfreeOn, FB_WordRequest(kProg, 504, 1), FB_OK},
      {"manual value while off: ignored", None, FB_FloatRequest(kProg, 305, 1e30f), FB_OK},
      {"manual value out of range", Manual, FB_FloatRequest(kProg, 305, 1e30f), FB_ERR_LIMITS},
      {"Wp 0 above W100", None, FB_FloatRequest(kProg, 1000, 1e7f), FB_ERR_LIMITS},
      {"W0 -32000", None, FB_FloatRequest(kProg, 1001, kNone), FB_ERR_LIMITS},
      {"RecMax 0", None, FB_WordRequest(kProg, 1254, 0), FB_ERR_LIMITS},
      {"SMode 2", None, FB_WordRequest(kProg, 1255, 2), FB_OK},
      {"Turbo 2", None, FB_WordRequest(kProg, 3002, 2), FB_ERR_LIMITS},
      {"text", None, FB_WordRequest(kProg, 2000, 0), FB_ERR_UNKNOWN_ID},
      {"word parameter 7", None, FB_WordRequest(kProg, 1256, 0), FB_ERR_UNKNOWN_ID},
      {"unknown read", None, FbParamRequest(kProg, -9), FB_ERR_UNKNOWN_ID},
      {"4010 header", None, FB_SetRequest(kProg, 4010, std::vector<uint16_t>{0, 0, 0}, {}),
       FB_ERR_COUNT_Y},
      {"4010 FKey 3", None, FB_SetRequest(kProg, 4010, std::vector<uint16_t>{0, 0, 0, 3}, {}),
       FB_ERR_LIMITS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgFixture p;
    switch (c.wire) {
      case Run: p.fx.setDigitalInput(kProg, APROG_DI_RUN + 1, 0); break;
      case Reset: p.fx.setDigitalInput(kProg, APROG_DI_RESET + 1, 0); break;
      case Search: p.fx.setDigitalInput(kProg, APROG_DI_SEARCH + 1, 0); break;
      case ProgNo: p.fx.setAnalogInput(kProg, APROG_AI_PROGNO + 1, 3.0f); break;
      case ManfreeOff: p.fx.setDigitalInput(kProg, APROG_DI_MANFREE + 1, 0); break;
      case ManfreeOn:
      case Manual: p.fx.setDigitalInput(kProg, APROG_DI_MANFREE + 1, 1); break;
      case None: break;
    }
    p.init();
    if (c.wire == Manual) {
      ASSERT_EQ(p.request(FB_WordRequest(kProg, 504, 1)), FB_OK);
    }
    const float wp = p.out(APROG_AO_WP);
    EXPECT_EQ(p.request(c.request), c.result);
    if (c.result != FB_OK) {
      EXPECT_EQ(p.out(APROG_AO_WP), wp);
    }
  }
}

TEST_F(Prog, ReadRequests) {
  ProgFixture p;
  p.setValue(PROG_WV_TURBO + 1, 1);
  p.addData(FB_TYPE_APROGD, {{2, 40}, {1, 60}});
  p.setRun(1);
  p.start();
  p.cycle(5);
  ASSERT_EQ(p.request(FB_WordRequest(kProg, 503, 1)), FB_OK);
  ASSERT_EQ(p.request(FB_FloatRequest(kProg, 300, 7.0f)), FB_OK);
  struct Case {
    int16_t id;
    uint8_t output;
  } outputs[] = {{-2, APROG_AO_PROGNO}, {-3, APROG_AO_TNETTO}, {-4, APROG_AO_TBRUTT},
                 {-5, APROG_AO_WP},     {-305, APROG_AO_WP},   {-6, APROG_AO_TREST},
                 {-7, APROG_AO_WEND},   {-8, APROG_AO_SEGNO},  {-11, APROG_AO_SEGRES}};
  for (const Case& c : outputs) {
    SCOPED_TRACE(c.id);
    FbParamRequest r(kProg, c.id);
    uint16_t bad = 0;
    ASSERT_EQ(FB_GetType(FB_TYPE_APROG)->param(&r, &bad), FB_OK);
    EXPECT_EQ(r.f32(FB_REQUEST_VALUE), p.out(c.output));
  }
  FbParamRequest r(kProg, -300);
  uint16_t bad = 0;
  ASSERT_EQ(FB_GetType(FB_TYPE_APROG)->param(&r, &bad), FB_OK);
  EXPECT_EQ(r.f32(FB_REQUEST_VALUE), 7.0f);
  FbParamRequest key(kProg, -503);
  ASSERT_EQ(FB_GetType(FB_TYPE_APROG)->param(&key, &bad), FB_OK);
  EXPECT_EQ(key.u16(FB_REQUEST_VALUE), 1);
}

TEST_F(Prog, WholeSetsChangeNothingWhenRefused) {
  ProgFixture p;
  p.init();
  const std::vector<uint16_t> words = {0, 1, 0, 3, 99, 0};
  auto wordsWith = [&](size_t i, uint16_t v) {
    std::vector<uint16_t> w = words;
    w[i] = v;
    return w;
  };
  struct Case {
    const char* what;
    std::vector<uint16_t> words;
    std::vector<float> floats;
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {"RecMax 0", wordsWith(APROG_WP_RECMAX, 0), {0, -100, 100}, FB_ERR_LIMITS, 5},
      {"Dp 4", wordsWith(APROG_WP_DP, 4), {0, -100, 100}, FB_ERR_LIMITS, 4},
      {"W0 -40000", words, {0, -40000, 100}, FB_ERR_LIMITS, 8},
      {"Wp 0 below the new W0", words, {-200, -100, 100}, FB_ERR_LIMITS, 7},
      {"an empty range", words, {45, 50, 40}, FB_ERR_LIMITS, 7},
      {"W100 above 999999", words, {0, 0, 1e7f}, FB_ERR_LIMITS, 9},
      {"float count", words, {0, 0}, FB_ERR_COUNT_Z, 0},
      // A range that only fits with the set's own bounds.
      {"new range above the old one", wordsWith(APROG_WP_RECMAX, 5), {2e6f / 4, 5e5f - 1, 6e5f},
       FB_OK, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const float w0 = p.fx.floatParam(kProg, 2, true), recMax = p.fx.wordParam(kProg, 5, true);
    uint16_t bad = 99;
    EXPECT_EQ(p.request(FB_SetRequest(kProg, 4000, c.words, c.floats), &bad), c.result);
    EXPECT_EQ(bad, c.bad);
    if (c.result == FB_OK) {
      EXPECT_EQ(p.fx.floatParam(kProg, 2).get(), c.floats[1]);
      EXPECT_EQ(p.fx.wordParam(kProg, 5), c.words[APROG_WP_RECMAX]);
    } else {
      EXPECT_EQ(p.fx.floatParam(kProg, 2, true).get(), w0);
      EXPECT_EQ(p.fx.wordParam(kProg, 5, true), recMax);
    }
  }
}

TEST_F(Prog, WordValuesActAtTheNextStartUpPass) {
  ProgFixture p;
  p.setValue(PROG_WV_TURBO + 1, 1);
  p.addData(FB_TYPE_APROGD, {{0.5f, 10}});
  p.setRun(1);
  p.start();
  const std::vector<uint16_t> values = {0, PROG_PEND_RESET_STOP, 1, 0};
  ASSERT_EQ(p.request(FB_SetRequest(kProg, 4010, values, {})), FB_OK);
  EXPECT_EQ(p.fx.wordValue(kProg, PROG_WV_PEND + 1), PROG_PEND_STOP);
  p.cycle(10);
  EXPECT_EQ(p.state().state, PROG_END);  // "Stop" still: stays at the end

  p.init();  // a cold start pass takes the new values
  EXPECT_EQ(p.fx.wordValue(kProg, PROG_WV_PEND + 1), PROG_PEND_RESET_STOP);
  p.cycle(8 + 1 + 5);  // settle time, the start's search, the segment
  EXPECT_EQ(p.state().state, PROG_END);
  p.cycle();
  EXPECT_EQ(p.state().state, PROG_RESET);  // "Reset+Stp": reset at the end
  EXPECT_EQ(p.dout(APROG_DO_RESET), 1);
}

TEST_F(Prog, RunModeAppliesPendingParametersAtTheNextRun) {
  ProgFixture p;
  p.addData(FB_TYPE_APROGD, {{1, 10}});
  p.start();
  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_EQ(p.request(FB_FloatRequest(kProg, 1000, 5.0f)), FB_OK);
  ASSERT_EQ(p.request(FB_WordRequest(kProg, 1254, 4)), FB_OK);
  EXPECT_EQ(p.fx.floatParam(kProg, 1).get(), 0.0f);
  EXPECT_EQ(p.page().progNoMax, 99);
  p.cycle();
  EXPECT_EQ(p.fx.floatParam(kProg, 1).get(), 5.0f);
  EXPECT_EQ(p.page().progNoMax, 4);
  p.cycle();
  EXPECT_EQ(p.out(APROG_AO_WP), 5.0f);  // the reset shows the new start value
}

// =======================================================================================
// Page record

TEST_F(Prog, PageRecordAndCommands) {
  ProgFixture p;
  p.setValue(PROG_WV_TURBO + 1, 1);
  p.addData(FB_TYPE_APROGD, {{2, 40}, {1, 60}});
  p.fx.setDigitalInput(kProg, APROG_DI_LOCK + 1, 1);
  p.start();
  ProgPage& page = p.page();
  EXPECT_EQ(page.pageState, PROG_PAGE_RESET);
  EXPECT_EQ(page.lock, 1);
  EXPECT_EQ(page.hide, 0);
  EXPECT_EQ(page.manualLocked, 1);
  EXPECT_EQ(page.timeUnit, 1);
  EXPECT_EQ(page.dp, 3);
  EXPECT_EQ(page.xVal.get(), kNone);
  EXPECT_EQ(page.progNoFixed, 0);
  EXPECT_EQ(std::string(page.tag, 5), "APROG");

  page.command = PROG_CMD_RUN;
  p.cycle();
  EXPECT_EQ(page.command, PROG_CMD_NONE);
  EXPECT_EQ(p.dout(APROG_DO_RUN), 1);
  p.cycle(5);  // the start's search, then 4 running cycles
  EXPECT_EQ(page.pageState, PROG_PAGE_RUN);
  EXPECT_EQ(page.progNoFixed, 1);
  EXPECT_EQ(page.segNo, 1);
  EXPECT_NEAR(page.tNetto.get(), 0.4f, 1e-6);
  EXPECT_EQ(page.endValue.get(), 40.0f);
  EXPECT_EQ(page.startValue.get(), 0.0f);

  page.command = PROG_CMD_STOP;
  p.cycle();
  EXPECT_EQ(page.pageState, PROG_PAGE_STOPPED);
  page.command = PROG_CMD_RESET;
  p.cycle();
  EXPECT_EQ(page.pageState, PROG_PAGE_RESET);
  EXPECT_EQ(p.out(APROG_AO_TNETTO), 0.0f);

  // Program number from the page, then the segment numbers limited to last + 1 at the end.
  // The reset above restarted the settle time; the number is taken when it has passed.
  page.newProgNo = 3.0f;
  page.progNoRequest = 1;
  p.cycle();
  EXPECT_EQ(page.progNoRequest, 0);
  EXPECT_EQ(page.progNo, 1);
  p.cycle(7);
  EXPECT_EQ(page.progNo, 3);
  page.command = PROG_CMD_RUN;
  p.cycle(8 + 40);
  EXPECT_EQ(p.dout(APROG_DO_END), 1);
  EXPECT_EQ(p.out(APROG_AO_SEGNO), 3.0f);
  EXPECT_EQ(page.segNo, 2);
  EXPECT_EQ(page.runStatus, 2);
}

// The pages' lookups follow the block run by run: the page record is the block's, and the
// progress is that of the state copy the last run finished (the two copies take turns), so
// that it agrees with the outputs of that run; a data block has neither.
TEST_F(Prog, PageLookupsFollowTheRuns) {
  ProgFixture p;
  p.setValue(PROG_WV_TURBO + 1, 1);
  const uint16_t data = p.addData(FB_TYPE_APROGD, {{2, 40}, {1, 60}});
  p.start();
  const ProgPageRecords r = PROG_PageRecordsOf(kProg);
  ASSERT_EQ(r.page, &p.page());
  r.page->command = PROG_CMD_RUN;
  ProgProgress g{};
  for (int run = 1; run <= 35 && !g.ended; ++run) {
    SCOPED_TRACE(run);
    p.cycle();
    ASSERT_TRUE(PROG_PageProgress(kProg, &g));
    EXPECT_EQ(g.total, 3.0f);
    EXPECT_NEAR(g.timeBefore + g.elapsed, p.out(APROG_AO_TNETTO), 1e-5f);
    EXPECT_EQ(g.duration, r.page->segNo == 1 ? 2.0f : 1.0f);
    EXPECT_EQ(g.ended, p.dout(APROG_DO_END) == 1);
  }
  EXPECT_TRUE(g.ended) << "the program ran to its end";
  EXPECT_EQ(PROG_PageRecordsOf(data).page, nullptr);
  EXPECT_FALSE(PROG_PageProgress(data, &g));
}

TEST_F(Prog, FunctionKey) {
  struct Case {
    uint16_t mode;
    uint16_t keys[4];
    uint16_t fkey[4];
  } cases[] = {
      {PROG_FKEY_SWITCH, {1, 1, 0, 0}, {1, 1, 0, 0}},
      {PROG_FKEY_PULSE, {1, 1, 0, 0}, {1, 0, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    ProgFixture p;
    p.setValue(PROG_WV_FKEY + 1, c.mode);
    p.addData(FB_TYPE_APROGD, {{1, 10}});
    p.start();
    for (int k = 0; k < 4; ++k) {
      ASSERT_EQ(p.request(FB_WordRequest(kProg, 503, c.keys[k])), FB_OK);
      p.cycle();
      EXPECT_EQ(p.dout(APROG_DO_FKEY), c.fkey[k]) << k;
    }
  }
  // "ProgCtrl": each press starts or stops the program.
  ProgFixture p;
  p.setValue(PROG_WV_FKEY + 1, PROG_FKEY_PROGCTRL);
  p.setValue(PROG_WV_TURBO + 1, 1);
  p.addData(FB_TYPE_APROGD, {{10, 10}});
  p.start();
  const uint16_t keys[] = {1, 1, 0, 0, 1}, runs[] = {1, 1, 0, 0, 1};
  for (int k = 0; k < 5; ++k) {
    ASSERT_EQ(p.request(FB_WordRequest(kProg, 503, keys[k])), FB_OK);
    p.cycle();
    EXPECT_EQ(p.dout(APROG_DO_RUN), runs[k]) << k;
  }
}

TEST_F(Prog, WarmStartKeepsTheProgram) {
  ProgFixture p;
  p.setValue(PROG_WV_TURBO + 1, 1);
  p.addData(FB_TYPE_APROGD, {{2, 40}, {1, 60}});
  p.setRun(1);
  p.start();
  p.cycle(10);
  const float tNetto = p.out(APROG_AO_TNETTO);
  {
    WarmStart warm;
    p.init();
  }
  EXPECT_EQ(p.state().state, PROG_POWER_UP);
  p.cycle();  // the data blocks' start-up pass changed their sums: the chain is recounted
  EXPECT_EQ(p.state().state, PROG_POWER_UP);
  p.cycle();
  EXPECT_EQ(p.state().state, PROG_RUNNING);
  EXPECT_NEAR(p.out(APROG_AO_TNETTO), tNetto + 0.1f, 1e-5);
}

}  // namespace
