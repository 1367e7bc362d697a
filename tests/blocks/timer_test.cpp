// Timer and counter blocks cycle by cycle: monoflop, on/off delay, the clock timers on a
// clock the test sets, pulse generator, counter and moving mean, and their parameter
// requests.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <ctime>
#include <limits>
#include <vector>

#include "block_cases.h"
#include "blocks/block_family.h"
#include "blocks/timer/timer.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_clock.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

FbParamRequest setRequest(int16_t id, std::vector<uint16_t> words, std::vector<float> items) {
  return FB_SetRequest(kBlock, id, words, items);
}

template <typename State>
State& stateOf(BlockFixture& fx, uint16_t block = kBlock) {
  return BLK_WorkState<State>(fx.layout(block));
}

// ---------------------------------------------------------------------------------------
// The device clock, set by the tests; each test starts from a valid clock and leaves the
// clock as it found it.

int64_t secondsAt(uint16_t y, uint16_t mo, uint16_t d, uint16_t h = 0, uint16_t mi = 0,
                  uint16_t s = 0) {
  return FW_DateToSeconds(
      FwClockFields{.year = y, .month = mo, .day = d, .hour = h, .minute = mi, .second = s});
}

// Sets the clock to a moment in seconds since 1970 (the fields in UTC, so that the host's
// time zone plays no part).
void setClock(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  ASSERT_NE(gmtime_r(&t, &tm), nullptr);
  g_fwClock.now = FwClockFields{.year = static_cast<uint16_t>(tm.tm_year + 1900),
                                .month = static_cast<uint16_t>(tm.tm_mon + 1),
                                .day = static_cast<uint16_t>(tm.tm_mday),
                                .hour = static_cast<uint16_t>(tm.tm_hour),
                                .minute = static_cast<uint16_t>(tm.tm_min),
                                .weekday = static_cast<uint16_t>(tm.tm_wday),
                                .second = static_cast<uint16_t>(tm.tm_sec)};
  g_fwClock.invalid = 0;
}

class ClockTimer : public testing::Test {
 protected:
  void SetUp() override { saved_ = g_fwClock; }
  void TearDown() override { g_fwClock = saved_; }

 private:
  FwClockState saved_{};
};

// ---------------------------------------------------------------------------------------
// MONO

// "Q1" per cycle for a trigger sequence on "trig 1" (or "trig 2" into "Q2").
std::vector<uint16_t> monoOutputs(BlockFixture& fx, uint16_t channel,
                                  const std::vector<uint16_t>& trig) {
  std::vector<uint16_t> q;
  for (uint16_t t : trig) {
    fx.setDigitalInput(kBlock, channel, t);
    fx.run(kBlock);
    const uint16_t out = fx.digitalOut(kBlock, 2 * channel - 1);
    EXPECT_EQ(fx.digitalOut(kBlock, 2 * channel), out ? 0 : 1) << "inverse";
    q.push_back(out);
  }
  return q;
}

TEST(Mono, PulseLengthsAndRetrigger) {
  const struct {
    const char* what;
    float tp;
    uint16_t group, channel;
    std::vector<uint16_t> trig, q;
  } cases[] = {
      {"Tp1 1.0 s in 0.1 s: 10 cycles", 1.0f, 1, 1,
       {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0}},
      {"a new edge restarts the 10 cycles", 1.0f, 1, 1,
       {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}},
      {"Tp1 0.3 s: 3 cycles, not 4", 0.3f, 1, 1, {1, 0, 0, 0, 0}, {1, 1, 1, 0, 0}},
      {"Tp 0.8 s in group 8: 1 cycle", 0.8f, 8, 1, {1, 0, 0}, {1, 0, 0}},
      {"trig 2 fires on its falling edge", 0.3f, 1, 2, {1, 1, 0, 0, 0, 0, 1}, {0, 0, 1, 1, 1, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_MONO, kBlock, c.group);
    setFloatParams(fx, kBlock, {{1, c.tp}, {2, c.tp}});
    fx.setDigitalInput(kBlock, 1, 0);
    fx.setDigitalInput(kBlock, 2, 0);
    fx.init(kBlock);
    EXPECT_EQ(monoOutputs(fx, c.channel, c.trig), c.q);
  }
}

// With "Mode 1" 1 the pulse time is the analog input, taken every cycle: inputs at or below 0
// (and NaN) give 1 cycle, huge ones the largest count, without undefined conversions.
TEST(Mono, TimeFromTheInput) {
  const struct {
    float tp;
    uint32_t cycles;
  } cases[] = {
      {0.3f, 3},         {1.0f, 10},        {0.0f, 1},          {-1.0f, 1},
      {kNaN, 1},         {-1.5e37f, 1},     {1.5e37f, UINT32_MAX}, {kInf, UINT32_MAX},
      {-kInf, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tp);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_MONO, kBlock);
    setWordParams(fx, kBlock, {{1, MONO_MODE_INPUT}});
    fx.setAnalogInput(kBlock, 1, c.tp);
    fx.setDigitalInput(kBlock, 1, 0);
    fx.init(kBlock);
    EXPECT_EQ(stateOf<MonoState>(fx).ch[0].length.get(), 1u) << "1 while the mode is input";
    fx.setDigitalInput(kBlock, 1, 1);
    fx.run(kBlock);
    EXPECT_EQ(stateOf<MonoState>(fx).ch[0].length.get(), c.cycles);
    if (c.cycles <= 10) {
      int on = fx.digitalOut(kBlock, 1);  // the cycle of the edge
      fx.setDigitalInput(kBlock, 1, 0);
      for (int i = 0; i < 20; ++i) {
        fx.run(kBlock);
        on += fx.digitalOut(kBlock, 1);
      }
      EXPECT_EQ(on, static_cast<int>(c.cycles)) << "cycles on";
    }
  }
}

TEST(Mono, WarmStartKeepsOutputsAndColdStartClearsThem) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_MONO, kBlock);
  fx.setDigitalInput(kBlock, 1, 0);
  fx.init(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 2), 1);
  EXPECT_EQ(fx.digitalOut(kBlock, 4), 1);
  fx.setDigitalInput(kBlock, 1, 1);
  fx.run(kBlock);
  {
    WarmStart warm;
    fx.init(kBlock);
  }
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 1);
  fx.init(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  EXPECT_EQ(fx.digitalOut(kBlock, 2), 1);
}

// ---------------------------------------------------------------------------------------
// TONOFF

struct TonoffCase {
  const char* what;
  float ton, toff;
  std::vector<uint16_t> d, q;
};

void expectTonoff(const TonoffCase& c, uint16_t mode) {
  SCOPED_TRACE(testing::Message() << c.what << (mode ? " (inputs)" : " (parameters)"));
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_TONOFF, kBlock);
  if (mode == TONOFF_MODE_INPUTS) {
    fx.wordValue(kBlock, 1, true) = mode;
    fx.setAnalogInput(kBlock, 1, c.ton);
    fx.setAnalogInput(kBlock, 2, c.toff);
  } else {
    setFloatParams(fx, kBlock, {{1, c.ton}, {2, c.toff}});
  }
  fx.setDigitalInput(kBlock, 1, 0);
  fx.init(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  EXPECT_EQ(fx.digitalOut(kBlock, 2), 1);
  std::vector<uint16_t> q;
  for (uint16_t d : c.d) {
    fx.setDigitalInput(kBlock, 1, d);
    fx.run(kBlock);
    q.push_back(fx.digitalOut(kBlock, 1));
    EXPECT_EQ(fx.digitalOut(kBlock, 2), q.back() ? 0 : 1);
  }
  EXPECT_EQ(q, c.q);
}

TEST(Tonoff, DelaysAndSwallowedPulses) {
  const TonoffCase cases[] = {
      {"Ton 0 passes a rising edge in the same cycle", 0.0f, 0.0f, {0, 1, 1, 0, 0}, {0, 1, 1, 0, 0}},
      {"Ton 0.3, Toff 0.2", 0.3f, 0.2f,
       {1, 1, 1, 1, 1, 0, 0, 0, 0}, {0, 0, 0, 1, 1, 1, 1, 0, 0}},
      {"Ton 1.0, Toff 0: a 0.5 s pulse never reaches Q", 1.0f, 0.0f,
       {1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, std::vector<uint16_t>(15, 0)},
      {"Ton 1.0: on 10 cycles after the edge", 1.0f, 0.0f,
       std::vector<uint16_t>(12, 1), {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1}},
      {"Ton 0.5, Toff 1.0: a 0.3 s gap is swallowed", 0.5f, 1.0f,
       {1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1},
       {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
      {"Ton 0, Toff 0.5: a short gap is swallowed too", 0.0f, 0.5f,
       {1, 1, 0, 0, 1, 1}, {1, 1, 1, 1, 1, 1}},
  };
  for (const TonoffCase& c : cases) {
    expectTonoff(c, TONOFF_MODE_PARAM);
    // The inputs give the same delays, without the factor 1.00001 (none of these times
    // needs it).
    expectTonoff(c, TONOFF_MODE_INPUTS);
  }
}

// Delay inputs that are not a number or below 0 give no delay; a huge one the largest.
TEST(Tonoff, DelayInputsOutOfRange) {
  const struct {
    float ton;
    int firstOn;  // 1-based cycle in which Q comes on after the edge in cycle 1; 0: never
  } cases[] = {
      {0.5f, 6}, {kNaN, 1}, {-1.0f, 1}, {-1.5e37f, 1}, {-kInf, 1}, {1.5e37f, 0}, {kInf, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ton);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_TONOFF, kBlock);
    fx.wordValue(kBlock, 1, true) = TONOFF_MODE_INPUTS;
    fx.setAnalogInput(kBlock, 1, c.ton);
    fx.setDigitalInput(kBlock, 1, 1);
    fx.init(kBlock);
    int firstOn = 0;
    for (int cycle = 1; cycle <= 50 && !firstOn; ++cycle) {
      fx.run(kBlock);
      if (fx.digitalOut(kBlock, 1)) firstOn = cycle;
    }
    EXPECT_EQ(firstOn, c.firstOn);
  }
}

// "Mode" by request waits for the next start-up pass.
TEST(Tonoff, ModeTakesEffectAtInit) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_TONOFF, kBlock);
  fx.init(kBlock);
  uint16_t bad = 99;
  ASSERT_EQ(sendParam(FB_WordRequest(kBlock, 3000, 1), &bad), FB_OK);
  EXPECT_EQ(fx.wordValue(kBlock, 1), 0);
  EXPECT_EQ(fx.wordValue(kBlock, 1, true), 1);
  fx.run(kBlock);
  EXPECT_EQ(fx.wordValue(kBlock, 1), 0);
  {
    WarmStart warm;
    fx.init(kBlock);
  }
  EXPECT_EQ(fx.wordValue(kBlock, 1), 1);
}

// ---------------------------------------------------------------------------------------
// TIMER

// Words TS.Mo, TS.Dy, TS.Hr, TS.Mi, TD.Dy, TD.Hr, TD.Mi.
using TimerWords = std::vector<uint16_t>;

void setupTimer(BlockFixture& fx, const TimerWords& words, uint16_t func1, uint16_t func2) {
  fx.create(BLK_TYPE_TIMER, kBlock);
  for (uint16_t i = 0; i < words.size(); ++i) {
    fx.wordParam(kBlock, static_cast<uint16_t>(i + 1)) = words[i];
    fx.wordParam(kBlock, static_cast<uint16_t>(i + 1), true) = words[i];
  }
  fx.wordValue(kBlock, 1, true) = func1;
  fx.wordValue(kBlock, 2, true) = func2;
  fx.setDigitalInput(kBlock, 1, 0);
}

TEST_F(ClockTimer, StartFromTheClock) {
  const struct {
    const char* what;
    TimerWords words;
    uint16_t func1, func2;
    int64_t now, start;
    uint16_t onAtInit;
  } cases[] = {
      {"every day at 00:00", {0, 0, 0, 0, 0, 1, 0}, TIMER_CYCLICAL, TIMER_DAILY,
       secondsAt(2024, 1, 5, 23), secondsAt(2024, 1, 6), 0},
      {"a start whose duration still runs", {0, 0, 23, 0, 0, 2, 0}, TIMER_CYCLICAL, TIMER_DAILY,
       secondsAt(2024, 1, 6, 0, 30), secondsAt(2024, 1, 5, 23), 1},
      {"compared to the minute", {0, 0, 10, 0, 0, 0, 0}, TIMER_CYCLICAL, TIMER_DAILY,
       secondsAt(2024, 1, 6, 10, 0, 30), secondsAt(2024, 1, 6, 10), 1},
      {"Mo...Fr moves a Saturday to Monday", {0, 0, 0, 0, 0, 1, 0}, TIMER_CYCLICAL, TIMER_MO_FR,
       secondsAt(2024, 1, 6, 0, 30), secondsAt(2024, 1, 8), 0},
      {"Mo...Fr moves a Sunday to Monday", {0, 0, 0, 0, 0, 1, 0}, TIMER_CYCLICAL, TIMER_MO_FR,
       secondsAt(2024, 1, 7, 0, 30), secondsAt(2024, 1, 8), 0},
      {"Mo...Sa keeps a Saturday", {0, 0, 0, 0, 0, 1, 0}, TIMER_CYCLICAL, TIMER_MO_SA,
       secondsAt(2024, 1, 6, 0, 30), secondsAt(2024, 1, 6), 1},
      {"Mo...Sa moves a Sunday", {0, 0, 0, 0, 0, 1, 0}, TIMER_CYCLICAL, TIMER_MO_SA,
       secondsAt(2024, 1, 7, 0, 30), secondsAt(2024, 1, 8), 0},
      {"Once is not moved off the weekend", {0, 0, 0, 0, 0, 1, 0}, TIMER_ONCE, TIMER_MO_FR,
       secondsAt(2024, 1, 6, 0, 30), secondsAt(2024, 1, 6), 1},
      {"day 31 of April rolls into May", {0, 31, 0, 0, 0, 0, 1}, TIMER_ONCE, TIMER_DAILY,
       secondsAt(2023, 4, 10), secondsAt(2023, 5, 1), 0},
      {"day 31 of February lies in early March", {0, 31, 0, 0, 0, 0, 1}, TIMER_ONCE, TIMER_DAILY,
       secondsAt(2023, 3, 2, 12), secondsAt(2023, 3, 3), 0},
      {"day 15 of every month", {0, 15, 12, 0, 0, 0, 30}, TIMER_ONCE, TIMER_DAILY,
       secondsAt(2024, 2, 15, 13), secondsAt(2024, 3, 15, 12), 0},
      {"29 February of a common year", {2, 29, 0, 0, 0, 0, 1}, TIMER_ONCE, TIMER_DAILY,
       secondsAt(2023, 2, 20), secondsAt(2023, 3, 1), 0},
      {"29 February of a leap year", {2, 29, 0, 0, 0, 0, 1}, TIMER_ONCE, TIMER_DAILY,
       secondsAt(2024, 2, 20), secondsAt(2024, 2, 29), 0},
      {"another month, day 0: its first day", {3, 0, 8, 0, 0, 0, 1}, TIMER_ONCE, TIMER_DAILY,
       secondsAt(2024, 1, 10), secondsAt(2024, 3, 1, 8), 0},
      {"this month, day 0: every day of it", {1, 0, 8, 0, 0, 0, 1}, TIMER_ONCE, TIMER_DAILY,
       secondsAt(2024, 1, 10, 9), secondsAt(2024, 1, 11, 8), 0},
      {"this month, day 0, its last day passed", {1, 0, 8, 0, 0, 0, 1}, TIMER_ONCE, TIMER_DAILY,
       secondsAt(2024, 1, 31, 9), secondsAt(2025, 1, 1, 8), 0},
      {"a date that passed this year", {12, 25, 18, 30, 0, 0, 1}, TIMER_ONCE, TIMER_DAILY,
       secondsAt(2024, 12, 26), secondsAt(2025, 12, 25, 18, 30), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    setupTimer(fx, c.words, c.func1, c.func2);
    setClock(c.now);
    fx.init(kBlock);
    const TimerState& s = stateOf<TimerState>(fx);
    EXPECT_EQ(s.start.get(), c.start);
    EXPECT_EQ(s.on, c.onAtInit);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), c.onAtInit);
  }
}

// "Cyclical"/"Daily" from 00:00 for one hour: on from 00:00 to 01:00 each day; "disabl"
// holds "z 1" at 0 while the timing goes on.
TEST_F(ClockTimer, DailyWindowAndDisable) {
  BlockFixture fx(BLK_RegisterAllTypes);
  setupTimer(fx, {0, 0, 0, 0, 0, 1, 0}, TIMER_CYCLICAL, TIMER_DAILY);
  const int64_t begin = secondsAt(2024, 1, 5, 22);
  setClock(begin);
  fx.init(kBlock);
  EXPECT_EQ(g_fwClockTimerPresent, 1);
  for (int64_t t = begin; t < begin + 3 * 86400; t += 60) {
    setClock(t);
    const int64_t timeOfDay = t % 86400;
    const bool disabled = t >= secondsAt(2024, 1, 6, 0, 20) && t < secondsAt(2024, 1, 6, 0, 40);
    fx.setDigitalInput(kBlock, 1, disabled ? 1 : 0);
    fx.run(kBlock);
    const bool window = timeOfDay < 3600;
    ASSERT_EQ(stateOf<TimerState>(fx).on, window ? 1 : 0) << t;
    ASSERT_EQ(fx.digitalOut(kBlock, 1), window && !disabled ? 1 : 0) << t;
  }
}

TEST_F(ClockTimer, WorkingDaysAndWeekday) {
  BlockFixture fx(BLK_RegisterAllTypes);
  setupTimer(fx, {0, 0, 0, 0, 0, 1, 0}, TIMER_CYCLICAL, TIMER_MO_FR);
  setClock(secondsAt(2024, 1, 6, 0, 30));  // a Saturday
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 6.0f);
  setClock(secondsAt(2024, 1, 7, 0, 30));
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 0.0f);
  setClock(secondsAt(2024, 1, 8, 0, 30));  // Monday
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 1);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 1.0f);
  // Friday's window, then the next start is Monday again.
  setClock(secondsAt(2024, 1, 12, 0, 30));
  fx.run(kBlock, 2);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 1);
  setClock(secondsAt(2024, 1, 12, 2));
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  EXPECT_EQ(stateOf<TimerState>(fx).start.get(), secondsAt(2024, 1, 15));
}

TEST_F(ClockTimer, OnceSwitchesOneTime) {
  BlockFixture fx(BLK_RegisterAllTypes);
  setupTimer(fx, {0, 0, 6, 30, 0, 0, 10}, TIMER_ONCE, TIMER_DAILY);
  const int64_t begin = secondsAt(2024, 3, 1, 6);
  setClock(begin);
  fx.init(kBlock);
  int minutesOn = 0;
  for (int64_t t = begin; t < begin + 2 * 86400; t += 60) {
    setClock(t);
    fx.run(kBlock);
    minutesOn += fx.digitalOut(kBlock, 1);
    if (t == secondsAt(2024, 3, 1, 6, 35)) {
      EXPECT_EQ(fx.digitalOut(kBlock, 1), 1);
    }
  }
  EXPECT_EQ(minutesOn, 10);
  EXPECT_EQ(stateOf<TimerState>(fx).phase, TIMER_PHASE_DONE);
}

TEST_F(ClockTimer, WeeklyOnTheWeekdayOfTheFirstStart) {
  BlockFixture fx(BLK_RegisterAllTypes);
  setupTimer(fx, {0, 0, 12, 0, 0, 1, 0}, TIMER_CYCLICAL, TIMER_WEEKLY);
  const int64_t begin = secondsAt(2024, 1, 3, 14);  // Wednesday: first start Thursday
  setClock(begin);
  fx.init(kBlock);
  std::vector<int64_t> days;
  for (int64_t t = begin; t < begin + 21 * 86400; t += 1800) {
    setClock(t);
    fx.run(kBlock);
    if (fx.digitalOut(kBlock, 1) && (days.empty() || days.back() != t / 86400)) {
      days.push_back(t / 86400);
    }
  }
  EXPECT_EQ(days, (std::vector<int64_t>{secondsAt(2024, 1, 4) / 86400,
                                        secondsAt(2024, 1, 11) / 86400,
                                        secondsAt(2024, 1, 18) / 86400}));
}

// A clock set thirty years forward and back again: the start follows within two cycles.
TEST_F(ClockTimer, ClockJumpsAreSteppedByWeeks) {
  BlockFixture fx(BLK_RegisterAllTypes);
  setupTimer(fx, {0, 0, 0, 0, 0, 1, 0}, TIMER_CYCLICAL, TIMER_MO_FR);
  setClock(secondsAt(2024, 1, 5, 12));
  fx.init(kBlock);
  fx.run(kBlock);
  const struct {
    int64_t now, start;
  } jumps[] = {
      {secondsAt(2054, 3, 10, 0, 30), secondsAt(2054, 3, 10)},  // a Tuesday
      {secondsAt(2024, 1, 9, 0, 30), secondsAt(2024, 1, 9)},
      {secondsAt(2069, 12, 31, 0, 30), secondsAt(2069, 12, 31)},
      {secondsAt(1999, 2, 3, 0, 10), secondsAt(1999, 2, 3)},
  };
  for (const auto& j : jumps) {
    SCOPED_TRACE(j.now);
    setClock(j.now);
    fx.run(kBlock, 2);
    EXPECT_EQ(stateOf<TimerState>(fx).start.get(), j.start);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), 1);
  }
}

// While the clock is invalid both clock timers keep their outputs; a TIMER started with an
// invalid clock takes its start from the first valid time.
TEST_F(ClockTimer, InvalidClockKeepsOutputs) {
  for (uint16_t type : {BLK_TYPE_TIMER, BLK_TYPE_TIME2}) {
    SCOPED_TRACE(type);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(type, kBlock);
    fx.wordParam(kBlock, 6) = 1;  // TIMER: TD.Hr, TIME2: TD.Mi
    fx.setDigitalInput(kBlock, 1, 0);
    if (type == BLK_TYPE_TIME2) fx.setDigitalInput(kBlock, 3, 0);
    setClock(secondsAt(2024, 1, 8, 0, 10));
    fx.init(kBlock);
    if (type == BLK_TYPE_TIME2) {
      fx.run(kBlock);
      fx.setDigitalInput(kBlock, 3, 1);
      fx.run(kBlock, 2);
    } else {
      fx.run(kBlock);
    }
    ASSERT_EQ(fx.digitalOut(kBlock, 1), 1);
    const FbLayout L = fx.layout(kBlock);
    const std::vector<uint16_t> before(L.base, L.base + L.size);
    g_fwClock.invalid = 1;
    setClock(secondsAt(2024, 1, 9, 12));
    g_fwClock.invalid = 1;
    fx.setDigitalInput(kBlock, 1, 1);  // even "disabl" is not looked at
    fx.run(kBlock, 5);
    EXPECT_EQ(std::vector<uint16_t>(L.base, L.base + L.size), before);
  }

  BlockFixture fx(BLK_RegisterAllTypes);
  setupTimer(fx, {0, 0, 0, 0, 0, 1, 0}, TIMER_CYCLICAL, TIMER_DAILY);
  g_fwClock.invalid = 1;
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(stateOf<TimerState>(fx).startKnown, 0);
  setClock(secondsAt(2024, 1, 8, 0, 30));
  fx.run(kBlock);
  EXPECT_EQ(stateOf<TimerState>(fx).start.get(), secondsAt(2024, 1, 8));
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 1);
}

// Changed words apply at the next run: D and S are computed again.
TEST_F(ClockTimer, AppliedWordsRecomputeTheStart) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  setupTimer(fx, {0, 0, 0, 0, 0, 1, 0}, TIMER_CYCLICAL, TIMER_DAILY);
  setClock(secondsAt(2024, 1, 8, 5, 30));
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 99;
  ASSERT_EQ(sendParam(setRequest(4000, {0, 0, 5, 0, 0, 2, 0}, {}), &bad), FB_OK);
  fx.run(kBlock);
  EXPECT_EQ(stateOf<TimerState>(fx).start.get(), secondsAt(2024, 1, 8, 5));
  EXPECT_EQ(stateOf<TimerState>(fx).duration.get(), 7200u);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 1);
  const std::array<int, 4> save{static_cast<int>(FbSaveGroup::WordParams), kBlock, 1, 7};
  EXPECT_EQ(rec.saves, (std::vector<std::array<int, 4>>{save}));
}

TEST_F(ClockTimer, ClockTimerFlagGoesWithTheEngineering) {
  for (uint16_t type : {BLK_TYPE_TIMER, BLK_TYPE_TIME2}) {
    BlockFixture fx(BLK_RegisterAllTypes);
    EXPECT_EQ(g_fwClockTimerPresent, 0);
    fx.create(type, kBlock);
    fx.init(kBlock);
    EXPECT_EQ(g_fwClockTimerPresent, 1);
    FW_ClearEngineering();
    EXPECT_EQ(g_fwClockTimerPresent, 0);
  }
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_MONO, kBlock);
  fx.init(kBlock);
  EXPECT_EQ(g_fwClockTimerPresent, 0);
}

// ---------------------------------------------------------------------------------------
// TIME2

struct Time2Step {
  int64_t t;  // seconds from the start of the run
  uint16_t start, reset;
  uint16_t z1, end;
};

TEST_F(ClockTimer, Time2RunsDelayThenDuration) {
  const struct {
    const char* what;
    uint16_t tsMi, tdMi;
    std::vector<Time2Step> steps;
  } cases[] = {
      {"TD.Mi 1: z 1 for 60 s, then end; a new start after it", 0, 1,
       {{0, 0, 0, 0, 1}, {1, 1, 0, 0, 0}, {2, 1, 0, 1, 0}, {61, 1, 0, 1, 0}, {62, 0, 0, 0, 1},
        {63, 1, 0, 0, 0}, {64, 1, 0, 1, 0}}},
      {"start during a run is ignored", 0, 1,
       {{0, 1, 0, 0, 0}, {1, 1, 0, 1, 0}, {20, 0, 0, 1, 0}, {30, 1, 0, 1, 0}, {60, 1, 0, 1, 0},
        {61, 0, 0, 0, 1}, {62, 0, 0, 0, 1}}},
      {"reset ends a run at once", 0, 1,
       {{0, 1, 0, 0, 0}, {1, 1, 0, 1, 0}, {20, 1, 1, 0, 1}, {21, 1, 0, 0, 0}, {22, 1, 0, 1, 0}}},
      {"TS.Mi 1: a start delay first", 1, 1,
       {{0, 1, 0, 0, 0}, {59, 1, 0, 0, 0}, {60, 1, 0, 1, 0}, {119, 1, 0, 1, 0}, {120, 1, 0, 0, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_TIME2, kBlock);
    setWordParams(fx, kBlock, {{3, c.tsMi}, {6, c.tdMi}});
    const int64_t t0 = secondsAt(2024, 5, 17, 23, 59, 30);
    setClock(t0);
    fx.setDigitalInput(kBlock, 1, 0);
    fx.init(kBlock);
    EXPECT_EQ(fx.digitalOut(kBlock, 2), 1) << "idle after a cold start";
    for (const Time2Step& s : c.steps) {
      setClock(t0 + s.t);
      fx.setDigitalInput(kBlock, 3, s.start);
      fx.setDigitalInput(kBlock, 2, s.reset);
      fx.run(kBlock);
      EXPECT_EQ(fx.digitalOut(kBlock, 1), s.z1) << "z 1 at " << s.t;
      EXPECT_EQ(fx.digitalOut(kBlock, 2), s.end) << "end at " << s.t;
    }
    EXPECT_EQ(fx.analogOut(kBlock, 1), g_fwClock.now.weekday) << "Week-D";
  }
}

TEST_F(ClockTimer, Time2ColdStartWithAnInvalidClock) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_TIME2, kBlock);
  g_fwClock.invalid = 1;
  fx.init(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  EXPECT_EQ(fx.digitalOut(kBlock, 2), 0);
}

// ---------------------------------------------------------------------------------------
// PULS

TEST(Puls, PulsesPerHour) {
  const struct {
    const char* what;
    uint16_t group;
    float x0, x100, rate, x;
    int pulses;  // in one hour
  } cases[] = {
      {"at X 100: the rate", 1, 0, 1, 3600, 1, 3600},
      {"half way: half the rate", 1, 0, 100, 3600, 50, 1800},
      {"group 1 at most 18000", 1, 0, 1, 18000, 1, 18000},
      {"group 8 limited to 2250", 8, 0, 1, 18000, 1, 2250},
      {"group 4 limited to 4500", 4, 0, 1, 9000, 1, 4500},
      {"X 1 at X 0: none", 1, 0, 1, 3600, 0, 0},
      {"X 1 below X 0: none", 1, 0, 1, 3600, -5, 0},
      {"X 1 above X 100 counts as X 100", 1, -10, 10, 720, 50, 720},
      {"NaN input: none", 1, 0, 1, 3600, kNaN, 0},
      {"Puls/h 0: every cycle above X 0", 1, 0, 1, 0, 0.001f, 36000},
      {"Puls/h 0 at X 0: none", 1, 0, 1, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_PULS, kBlock, c.group);
    setFloatParams(fx, kBlock, {{1, c.x0}, {2, c.x100}, {3, c.rate}});
    fx.setAnalogInput(kBlock, 1, c.x);
    fx.init(kBlock);
    const int cycles = static_cast<int>(3600.0f / FB_GroupCycleTime(c.group) + 0.5f);
    int pulses = 0;
    for (int i = 0; i < cycles; ++i) {
      fx.run(kBlock);
      pulses += fx.digitalOut(kBlock, 1);
    }
    EXPECT_EQ(pulses, c.pulses);
  }
}

// ---------------------------------------------------------------------------------------
// COUNT

struct CountStep {
  uint16_t up, down, preset, reset;
  float presetIn;
  float count;
  uint16_t carry, borrow;
};

TEST(Count, CountsWrapsAndTerminalOutputs) {
  const struct {
    const char* what;
    Params params;          // y0, Max, Min
    uint16_t mode;
    bool wireUp, wireDown;  // unwired inputs read 1
    std::vector<CountStep> steps;
  } cases[] = {
      {"up only: counts and wraps to Min with carry 1", {{2, 3}}, 0, true, false,
       {{0, 1, 0, 0, 0, 0, 1, 1}, {1, 1, 0, 0, 0, 1, 1, 1}, {0, 1, 0, 0, 0, 1, 1, 1},
        {1, 1, 0, 0, 0, 2, 1, 1}, {0, 1, 0, 0, 0, 2, 1, 1}, {1, 1, 0, 0, 0, 3, 1, 1},
        {0, 1, 0, 0, 0, 3, 0, 1}, {1, 1, 0, 0, 0, 0, 1, 1}}},
      {"preset to 9999 at Max: carry 0, then up wraps to 0", {{1, 9999}}, 0, true, false,
       {{0, 1, 1, 0, 0, 9999, 0, 1}, {0, 1, 0, 0, 0, 9999, 0, 1}, {1, 1, 0, 0, 0, 0, 1, 1}}},
      {"down only: wraps below Min to Max with borrow 1, counts down", {{2, 2}, {3, -1}}, 0,
       false, true,
       {{1, 0, 0, 0, 0, -1, 1, 0}, {1, 1, 0, 0, 0, 2, 1, 1}, {1, 0, 0, 0, 0, 2, 1, 1},
        {1, 1, 0, 0, 0, 1, 1, 1}, {1, 0, 0, 0, 0, 1, 1, 1}, {1, 1, 0, 0, 0, 0, 1, 1},
        {1, 0, 0, 0, 0, 0, 1, 1}, {1, 1, 0, 0, 0, -1, 1, 1}, {1, 0, 0, 0, 0, -1, 1, 0}}},
      {"reset: Min; borrow 0 when down 0 and up 1", {{3, 5}}, 0, true, true,
       {{1, 0, 0, 1, 0, 5, 1, 0}, {0, 1, 0, 1, 0, 5, 1, 1}, {0, 0, 0, 0, 0, 5, 1, 1}}},
      {"preset from the input, rounded half away from zero", {{2, 100}, {3, -100}}, 1, true,
       true,
       {{0, 0, 1, 0, 2.5f, 3, 1, 1}, {0, 0, 1, 0, -2.5f, -3, 1, 1}, {0, 0, 1, 0, 1e9f, 100, 1, 1},
        {0, 0, 1, 0, -kInf, -100, 1, 1}, {0, 0, 1, 0, 7.4f, 7, 1, 1},
        {0, 0, 1, 0, kNaN, 7, 1, 1}}},
      {"up rising while down rises too: no count", {}, 0, true, true,
       {{0, 0, 0, 0, 0, 0, 1, 1}, {1, 1, 0, 0, 0, 0, 1, 1}, {0, 1, 0, 0, 0, 0, 1, 1},
        {1, 1, 0, 0, 0, 1, 1, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_COUNT, kBlock);
    setFloatParams(fx, kBlock, c.params);
    setWordParams(fx, kBlock, {{1, c.mode}});
    if (c.wireUp) fx.setDigitalInput(kBlock, 1, 0);
    if (c.wireDown) fx.setDigitalInput(kBlock, 2, 0);
    fx.setDigitalInput(kBlock, 3, 0);
    fx.setDigitalInput(kBlock, 4, 0);
    fx.init(kBlock);
    EXPECT_EQ(fx.analogOut(kBlock, 1), fx.floatParam(kBlock, 3).get()) << "cold start: Min";
    int cycle = 0;
    for (const CountStep& s : c.steps) {
      ++cycle;
      if (c.wireUp) fx.setDigitalInput(kBlock, 1, s.up);
      if (c.wireDown) fx.setDigitalInput(kBlock, 2, s.down);
      fx.setDigitalInput(kBlock, 3, s.preset);
      fx.setDigitalInput(kBlock, 4, s.reset);
      fx.setAnalogInput(kBlock, 1, s.presetIn);
      fx.run(kBlock);
      EXPECT_EQ(fx.analogOut(kBlock, 1), s.count) << "cycle " << cycle;
      EXPECT_EQ(fx.digitalOut(kBlock, 1), s.carry) << "carry, cycle " << cycle;
      EXPECT_EQ(fx.digitalOut(kBlock, 2), s.borrow) << "borrow, cycle " << cycle;
    }
  }
}

// ---------------------------------------------------------------------------------------
// MEAN

void setMean(BlockFixture& fx, uint16_t valNo, float sample, uint16_t unit = MEAN_UNIT_SEC) {
  fx.wordValue(kBlock, 1, true) = valNo;
  fx.wordValue(kBlock, 2, true) = unit;
  FbU32* lv = fx.layout(kBlock).lv;
  lv[1] = std::bit_cast<uint32_t>(sample);
}

TEST(Mean, FillsAWindowThenSlides) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_MEAN, kBlock);
  setMean(fx, 4, 0.1f);  // one sample per cycle
  fx.init(kBlock);
  const struct {
    float x, mean;
    uint16_t ready;
  } steps[] = {
      {1, 1, 0}, {2, 1.5f, 0}, {3, 2, 0}, {6, 3, 1},  // the full window: ready
      {10, 5.25f, 1}, {10, 7.25f, 1}, {10, 9, 1}, {10, 10, 1},
      {2, 8, 1}, {2, 6, 1}, {2, 4, 1}, {2, 2, 1},
  };
  int cycle = 0;
  for (const auto& s : steps) {
    ++cycle;
    fx.setAnalogInput(kBlock, 1, s.x);
    fx.run(kBlock);
    EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 1), s.mean) << "cycle " << cycle;
    EXPECT_EQ(fx.digitalOut(kBlock, 1), s.ready) << "cycle " << cycle;
  }
}

// "ready" shows for 0.8 s: 8 cycles in group 1, 1 cycle in group 8 (where the cycle that set
// it must not count it down).
TEST(Mean, ReadyHoldsForPointEightSeconds) {
  for (uint16_t group : {uint16_t{1}, uint16_t{4}, uint16_t{8}}) {
    SCOPED_TRACE(group);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_MEAN, kBlock, group);
    setMean(fx, 20, 0.1f);
    fx.setAnalogInput(kBlock, 1, 1.0f);
    fx.init(kBlock);
    std::vector<int> readyCycles;
    for (int cycle = 1; cycle <= 60; ++cycle) {
      fx.run(kBlock);
      if (fx.digitalOut(kBlock, 1)) readyCycles.push_back(cycle);
    }
    const int hold = group == 1 ? 8 : group == 4 ? 2 : 1;
    std::vector<int> expected;
    for (int w = 20; w <= 60; w += 20) {
      for (int k = 0; k < hold; ++k) expected.push_back(w + k);
    }
    while (!expected.empty() && expected.back() > 60) expected.pop_back();
    EXPECT_EQ(readyCycles, expected);
  }
}

TEST(Mean, ResetTriggerDisableAndInterval) {
  const struct {
    const char* what;
    float sample;
    uint16_t unit;
    bool wireTrig;
    std::vector<uint16_t> trig, reset, disabl;
    std::vector<float> x, mean;
  } cases[] = {
      {"Sample 0.3 s: every third cycle", 0.3f, MEAN_UNIT_SEC, false, {}, {}, {},
       {1, 2, 3, 4, 5, 6, 7}, {0, 0, 3, 3, 3, 4.5f, 4.5f}},
      {"trig wired: rising edges only", 1, MEAN_UNIT_HR, true, {1, 1, 0, 1, 0, 0}, {}, {},
       {1, 2, 3, 4, 5, 6}, {1, 1, 1, 2.5f, 2.5f, 2.5f}},
      {"reset clears on its edge and holds", 0.1f, MEAN_UNIT_SEC, false, {},
       {0, 0, 1, 1, 0, 0}, {}, {4, 6, 8, 8, 2, 4}, {4, 5, 0, 0, 2, 3}},
      {"disabl: no samples, no time", 0.2f, MEAN_UNIT_SEC, false, {}, {},
       {0, 1, 1, 1, 0, 0, 0}, {2, 9, 9, 9, 4, 4, 4}, {0, 0, 0, 0, 4, 4, 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_MEAN, kBlock);
    setMean(fx, 100, c.sample, c.unit);
    if (c.wireTrig) fx.setDigitalInput(kBlock, 3, 0);
    fx.init(kBlock);
    for (size_t i = 0; i < c.x.size(); ++i) {
      fx.setAnalogInput(kBlock, 1, c.x[i]);
      if (c.wireTrig) fx.setDigitalInput(kBlock, 3, c.trig[i]);
      if (!c.reset.empty()) fx.setDigitalInput(kBlock, 2, c.reset[i]);
      if (!c.disabl.empty()) fx.setDigitalInput(kBlock, 1, c.disabl[i]);
      fx.run(kBlock);
      EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 1), c.mean[i]) << "cycle " << i + 1;
    }
  }
}

// A "ValNo" lowered by request below the ring index: the warm start restarts the window, and
// nothing is written past the 100-value ring (the next instance stays as it was).
TEST(Mean, LoweredValNoRestartsTheWindow) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_MEAN, kBlock);
  fx.create(BLK_TYPE_MEAN, kBlock + 1);
  setMean(fx, 100, 0.1f);
  fx.init(kBlock);
  for (int i = 1; i <= 50; ++i) {
    fx.setAnalogInput(kBlock, 1, static_cast<float>(i));
    fx.run(kBlock);
  }
  EXPECT_EQ(stateOf<MeanState>(fx).index, 50);
  const FbLayout next = fx.layout(kBlock + 1);
  const std::vector<uint16_t> neighbour(next.base, next.base + next.size);
  uint16_t bad = 99;
  ASSERT_EQ(sendParam(FB_WordRequest(kBlock, 3000, 10), &bad), FB_OK);
  fx.run(kBlock);
  EXPECT_EQ(stateOf<MeanState>(fx).index, 51) << "the request waits for the start-up pass";
  {
    WarmStart warm;
    fx.init(kBlock);
  }
  EXPECT_EQ(fx.wordValue(kBlock, 1), 10);
  EXPECT_EQ(stateOf<MeanState>(fx).index, 0);
  for (int i = 1; i <= 25; ++i) {
    fx.setAnalogInput(kBlock, 1, 7.0f);
    fx.run(kBlock);
    EXPECT_LT(stateOf<MeanState>(fx).index, 10);
    EXPECT_EQ(fx.analogOut(kBlock, 1), 7.0f) << "the new window holds only the new samples";
    if (i == 10 || i == 20) {
      EXPECT_EQ(fx.digitalOut(kBlock, 1), 1) << i;
    }
  }
  EXPECT_EQ(std::vector<uint16_t>(next.base, next.base + next.size), neighbour);
}

// A "Sample" changed by request takes effect with the interval at the next start-up pass,
// warm starts included.
TEST(Mean, IntervalFollowsSampleAtEveryStart) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_MEAN, kBlock);
  setMean(fx, 100, 1.0f);
  fx.init(kBlock);
  EXPECT_FLOAT_EQ(stateOf<MeanState>(fx).interval, 1.0f);
  uint16_t bad = 99;
  ASSERT_EQ(sendParam(FB_FloatRequest(kBlock, 3050, 0.5f), &bad), FB_OK);
  ASSERT_EQ(sendParam(FB_WordRequest(kBlock, 3001, MEAN_UNIT_MIN), &bad), FB_OK);
  {
    WarmStart warm;
    fx.init(kBlock);
  }
  EXPECT_FLOAT_EQ(stateOf<MeanState>(fx).interval, 30.0f);
}

// ---------------------------------------------------------------------------------------
// Parameter requests

TEST(TimerParams, RefusedRequestsChangeNothing) {
  const RefusedRequest cases[] = {
      {"MONO set, Tp2 0", BLK_TYPE_MONO, setRequest(4000, {0, 0}, {1, 0}), 'l', 4},
      {"MONO set, Mode 2 = 2", BLK_TYPE_MONO, setRequest(4000, {0, 2}, {1, 1}), 'l', 2},
      {"MONO set, Tp1 NaN", BLK_TYPE_MONO, setRequest(4000, {1, 1}, {kNaN, 1}), 'l', 3},
      {"MONO set with one word", BLK_TYPE_MONO, setRequest(4000, {0}, {1, 1}), 'y', 0},
      {"MONO Tp1 0", BLK_TYPE_MONO, FB_FloatRequest(kBlock, 1000, 0), 'l', 0},
      {"MONO Tp2 -1", BLK_TYPE_MONO, FB_FloatRequest(kBlock, 1001, -1), 'l', 0},
      {"MONO Tp1 infinite", BLK_TYPE_MONO, FB_FloatRequest(kBlock, 1000, kInf), 'l', 0},
      {"MONO Mode 1 = 2", BLK_TYPE_MONO, FB_WordRequest(kBlock, 1250, 2), 'l', 0},
      {"MONO beyond its floats", BLK_TYPE_MONO, FB_FloatRequest(kBlock, 1002, 1), 'i', 0},
      {"MONO has no values", BLK_TYPE_MONO, setRequest(4010, {}, {}), 'i', 0},
      {"MONO text", BLK_TYPE_MONO, FB_WordRequest(kBlock, 2000, 0), 'i', 0},
      {"MONO of a missing block", BLK_TYPE_MONO, FB_FloatRequest(kBlock + 5, 1000, 1), 'j', 0},
      {"TONOFF Ton below 0", BLK_TYPE_TONOFF, FB_FloatRequest(kBlock, 1000, -0.1f), 'l', 0},
      {"TONOFF Mode 2", BLK_TYPE_TONOFF, FB_WordRequest(kBlock, 3000, 2), 'l', 0},
      {"TONOFF set, Toff below 0", BLK_TYPE_TONOFF, setRequest(4000, {}, {1, -1}), 'l', 2},
      {"TONOFF set with a word", BLK_TYPE_TONOFF, setRequest(4000, {0}, {1, 1}), 'y', 0},
      {"TONOFF values, Mode 3", BLK_TYPE_TONOFF, setRequest(4010, {3}, {}), 'l', 1},
      {"TONOFF has no word parameter", BLK_TYPE_TONOFF, FB_WordRequest(kBlock, 1250, 0), 'i', 0},
      {"TIMER TS.Mo 13", BLK_TYPE_TIMER, FB_WordRequest(kBlock, 1250, 13), 'l', 0},
      {"TIMER TD.Mi 60", BLK_TYPE_TIMER, FB_WordRequest(kBlock, 1256, 60), 'l', 0},
      {"TIMER beyond its words", BLK_TYPE_TIMER, FB_WordRequest(kBlock, 1257, 0), 'i', 0},
      {"TIMER Func 2 = 4", BLK_TYPE_TIMER, FB_WordRequest(kBlock, 3001, 4), 'l', 0},
      {"TIMER set, 30 February", BLK_TYPE_TIMER, setRequest(4000, {2, 30, 0, 0, 0, 0, 0}, {}),
       'l', 2},
      {"TIMER set, TD.Dy 256", BLK_TYPE_TIMER, setRequest(4000, {0, 0, 0, 0, 256, 0, 0}, {}),
       'l', 5},
      {"TIMER values, Func 1 = 2", BLK_TYPE_TIMER, setRequest(4010, {2, 0}, {}), 'l', 1},
      {"TIMER has no floats", BLK_TYPE_TIMER, FB_FloatRequest(kBlock, 1000, 0), 'i', 0},
      {"TIME2 TS.Dy 256", BLK_TYPE_TIME2, FB_WordRequest(kBlock, 1250, 256), 'l', 0},
      {"TIME2 set, TD.Hr 24", BLK_TYPE_TIME2, setRequest(4000, {0, 0, 0, 0, 24, 0}, {}), 'l', 5},
      {"TIME2 has no values", BLK_TYPE_TIME2, FB_WordRequest(kBlock, 3000, 0), 'i', 0},
      {"PULS X 0 at X 100", BLK_TYPE_PULS, FB_FloatRequest(kBlock, 1000, 1.0f), 'l', 0},
      {"PULS X 100 at X 0", BLK_TYPE_PULS, FB_FloatRequest(kBlock, 1001, 0.0f), 'l', 0},
      {"PULS Puls/h 18001", BLK_TYPE_PULS, FB_FloatRequest(kBlock, 1002, 18001), 'l', 0},
      {"PULS set, X 100 at its X 0", BLK_TYPE_PULS, setRequest(4000, {}, {5, 5, 0}), 'l', 1},
      {"COUNT set, Min -30000", BLK_TYPE_COUNT, setRequest(4000, {0}, {0, 100, -30000}), 'l', 4},
      {"COUNT set, y0 above its Max", BLK_TYPE_COUNT, setRequest(4000, {0}, {101, 100, 0}), 'l',
       2},
      {"COUNT set, Mode 2", BLK_TYPE_COUNT, setRequest(4000, {2}, {0, 100, 0}), 'l', 1},
      {"COUNT Max rounded below Min", BLK_TYPE_COUNT, FB_FloatRequest(kBlock, 1001, -0.6f), 'l', 0},
      {"COUNT Min NaN", BLK_TYPE_COUNT, FB_FloatRequest(kBlock, 1002, kNaN), 'l', 0},
      {"COUNT beyond its floats", BLK_TYPE_COUNT, FB_FloatRequest(kBlock, 1003, 0), 'i', 0},
      {"COUNT has no values", BLK_TYPE_COUNT, setRequest(4010, {}, {}), 'i', 0},
      {"MEAN ValNo 0", BLK_TYPE_MEAN, FB_WordRequest(kBlock, 3000, 0), 'l', 0},
      {"MEAN ValNo 101", BLK_TYPE_MEAN, FB_WordRequest(kBlock, 3000, 101), 'l', 0},
      {"MEAN Sample 0.05", BLK_TYPE_MEAN, FB_FloatRequest(kBlock, 3050, 0.05f), 'l', 0},
      {"MEAN values, Unit 3", BLK_TYPE_MEAN, setRequest(4010, {10, 3}, {1}), 'l', 2},
      {"MEAN values without Sample", BLK_TYPE_MEAN, setRequest(4010, {10, 1}, {}), 'z', 0},
      {"MEAN has no floats", BLK_TYPE_MEAN, FB_FloatRequest(kBlock, 1000, 1), 'i', 0},
  };
  for (const RefusedRequest& c : cases) expectRefusedChangesNothing(c);
}

TEST(TimerParams, AcceptedRequests) {
  const struct {
    const char* what;
    uint16_t type;
    FbParamRequest request;
    std::vector<std::pair<uint16_t, float>> floats;  // {1-based index, value} afterwards
  } cases[] = {
      {"MONO Tp1 0.05: above 0 is enough", BLK_TYPE_MONO, FB_FloatRequest(kBlock, 1000, 0.05f),
       {{1, 0.05f}, {2, 1}}},
      {"MONO set", BLK_TYPE_MONO, setRequest(4000, {1, 0}, {2, 3}), {{1, 2}, {2, 3}}},
      {"TONOFF Toff 0", BLK_TYPE_TONOFF, FB_FloatRequest(kBlock, 1001, 0), {{2, 0}}},
      {"PULS X 0 just below X 100", BLK_TYPE_PULS, FB_FloatRequest(kBlock, 1000, 0.999f),
       {{1, 0.999f}}},
      {"PULS set checked against the values it brings", BLK_TYPE_PULS,
       setRequest(4000, {}, {50, 60, 18000}), {{1, 50}, {2, 60}, {3, 18000}}},
      {"COUNT Max 20.4 stores 20", BLK_TYPE_COUNT, FB_FloatRequest(kBlock, 1001, 20.4f),
       {{2, 20}}},
      {"COUNT Min -2.5 stores -3", BLK_TYPE_COUNT, FB_FloatRequest(kBlock, 1002, -2.5f),
       {{3, -3}}},
      {"COUNT Min 10 pulls y0 up", BLK_TYPE_COUNT, FB_FloatRequest(kBlock, 1002, 10),
       {{1, 10}, {3, 10}}},
      {"COUNT set, rounded", BLK_TYPE_COUNT, setRequest(4000, {1}, {4.5f, 10.4f, -0.5f}),
       {{1, 5}, {2, 10}, {3, -1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(c.type, kBlock);
    uint16_t bad = 99;
    EXPECT_EQ(sendParam(c.request, &bad), FB_OK);
    for (const auto& [index, value] : c.floats) {
      EXPECT_EQ(fx.floatParam(kBlock, index).get(), value) << index;
      EXPECT_EQ(fx.floatParam(kBlock, index, true).get(), value) << index;
    }
  }
}

// COUNT with "y0" 50: a "Max" of 20.4 stores 20 and pulls the pending "y0" to 20; while the
// device runs both wait in the pending copies, and a refused set leaves them as they were.
TEST(TimerParams, CountPullsY0AndARefusedSetKeepsThePendingCopies) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(BLK_TYPE_COUNT, kBlock);
  setFloatParams(fx, kBlock, {{1, 50}});
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 99;
  ASSERT_EQ(sendParam(FB_FloatRequest(kBlock, 1001, 20.4f), &bad), FB_OK);
  EXPECT_EQ(fx.floatParam(kBlock, 2, true).get(), 20.0f);
  EXPECT_EQ(fx.floatParam(kBlock, 1, true).get(), 20.0f);
  EXPECT_EQ(fx.floatParam(kBlock, 1).get(), 50.0f) << "waits for the next run";
  const FbLayout L = fx.layout(kBlock);
  const std::vector<uint16_t> before(L.base, L.base + L.size);
  EXPECT_EQ(sendParam(setRequest(4000, {0}, {0, 100, -30000}), &bad), FB_ERR_LIMITS);
  EXPECT_EQ(bad, 4);
  EXPECT_EQ(std::vector<uint16_t>(L.base, L.base + L.size), before);
  EXPECT_EQ(g_fbPending.floats[kBlock], 1);
  fx.run(kBlock);
  EXPECT_EQ(fx.floatParam(kBlock, 1).get(), 20.0f);
  EXPECT_EQ(fx.floatParam(kBlock, 2).get(), 20.0f);
  EXPECT_EQ(rec.saves.size(), 1u);
}

// TIMER's start day is checked against the pending month, of a whole set the month it brings.
TEST(TimerParams, TimerStartDayFollowsThePendingMonth) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_TIMER, kBlock);
  uint16_t bad = 99;
  EXPECT_EQ(sendParam(FB_WordRequest(kBlock, 1251, 31), &bad), FB_OK);
  EXPECT_EQ(sendParam(FB_WordRequest(kBlock, 1250, 4), &bad), FB_OK);
  EXPECT_EQ(sendParam(FB_WordRequest(kBlock, 1251, 31), &bad), FB_ERR_LIMITS);
  EXPECT_EQ(sendParam(FB_WordRequest(kBlock, 1251, 30), &bad), FB_OK);
  EXPECT_EQ(sendParam(setRequest(4000, {2, 29, 0, 0, 0, 0, 0}, {}), &bad), FB_OK);
  EXPECT_EQ(sendParam(setRequest(4000, {0, 31, 0, 0, 0, 0, 0}, {}), &bad), FB_OK);
  EXPECT_EQ(fx.wordParam(kBlock, 2), 31);
  // Word values only into their pending copies.
  EXPECT_EQ(sendParam(setRequest(4010, {1, 3}, {}), &bad), FB_OK);
  EXPECT_EQ(fx.wordValue(kBlock, 1), 0);
  EXPECT_EQ(fx.wordValue(kBlock, 2, true), 3);
}

TEST(TimerParams, AppliedInTheRunModeAndSaved) {
  expectRunModeSave(BLK_TYPE_MONO, 1001, 0.5f, 0.7f);
  expectRunModeSave(BLK_TYPE_TONOFF, 1000, 2.0f, 3.0f);
  expectRunModeSave(BLK_TYPE_PULS, 1002, 100.0f, 200.0f);
  expectRunModeSave(BLK_TYPE_COUNT, 1001, 500.0f, 600.0f);
}

// A MONO whose time changed by request counts the new length after the run that applied it.
TEST(TimerParams, MonoRecomputesItsLengthAfterApplying) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(BLK_TYPE_MONO, kBlock);
  fx.init(kBlock);
  EXPECT_EQ(stateOf<MonoState>(fx).ch[1].length.get(), 10u);
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 99;
  ASSERT_EQ(sendParam(FB_FloatRequest(kBlock, 1001, 0.3f), &bad), FB_OK);
  EXPECT_EQ(stateOf<MonoState>(fx).ch[1].length.get(), 10u);
  fx.run(kBlock);
  EXPECT_EQ(stateOf<MonoState>(fx).ch[1].length.get(), 3u);
  ASSERT_EQ(sendParam(FB_WordRequest(kBlock, 1251, MONO_MODE_INPUT), &bad), FB_OK);
  fx.run(kBlock);
  EXPECT_EQ(stateOf<MonoState>(fx).ch[1].length.get(), 1u);
}

}  // namespace
