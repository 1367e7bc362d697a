// The clock timers: TIMER, a switching clock that switches on at a start date for a duration
// (once, or again every day, working day or week), and TIME2, a timer started by an input that
// waits a start delay and then runs for a duration. Both work on the device clock in seconds
// since 1970-01-01 (the device's own calendar, never the host's time zone) and stand still,
// outputs kept, while the clock is invalid.
#include <algorithm>
#include <cstdint>

#include "blocks/block_family.h"
#include "blocks/timer/timer.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"

namespace {

static_assert(sizeof(TimerState) == 2 * 9 && sizeof(Time2State) == 2 * 8);

constexpr int64_t kMinute = 60, kDay = 86400, kWeek = 7 * kDay;

uint16_t isSet(uint16_t v) { return v != 0 ? 1 : 0; }

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int64_t floorMod(int64_t a, int64_t b) { return a - floorDiv(a, b) * b; }

// Seconds held to what a 32-bit state field stores.
uint32_t toU32(int64_t s) { return static_cast<uint32_t>(std::clamp<int64_t>(s, 0, UINT32_MAX)); }

// ---------------------------------------------------------------------------------------
// Calendar in days since 1970-01-01 (Gregorian). A day beyond the month's length counts on
// into the following months.

int64_t daysFromDate(int64_t year, unsigned month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = floorDiv(year, 400);
  const int64_t yoe = year - era * 400;                 // 0..399
  const int64_t firstOfMonth = (153 * ((month + 9) % 12) + 2) / 5;  // from March 1
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + firstOfMonth;
  return era * 146097 + doe - 719468 + (day - 1);
}

struct Date {
  int64_t year;
  unsigned month, day;
};

Date dateFromDays(int64_t days) {
  const int64_t z = days + 719468;
  const int64_t era = floorDiv(z, 146097);
  const int64_t doe = z - era * 146097;                                   // 0..146096
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);            // from March 1
  const int64_t mp = (5 * doy + 2) / 153;
  const auto day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
  const auto month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// Weekday of a moment, 0 = Sunday (1970-01-01 was a Thursday).
int64_t weekdayOf(int64_t s) { return floorMod(floorDiv(s, kDay) + 4, 7); }

// Days, hours and minutes as seconds.
uint32_t secondsOf(uint16_t days, uint16_t hours, uint16_t minutes) {
  return toU32(((int64_t{days} * 24 + hours) * 60 + minutes) * kMinute);
}

uint16_t clockWeekday() {
  const FwClockFields& c = g_fwClock.now;
  return FW_Weekday(c.year, c.month, c.day);
}

// ---------------------------------------------------------------------------------------
// TIMER

enum : unsigned { kTimerDisable = 0 };

// The next moment at or after t, compared to the minute, that month `mo` (0: every month),
// day `dy` (0: every day), hour and minute name. With a month other than t's, day 0 is its
// first day.
int64_t nextStart(int64_t t, unsigned mo, int64_t dy, int64_t hour, int64_t minute) {
  const int64_t from = t - floorMod(t, kMinute);
  const int64_t today = floorDiv(t, kDay);
  const Date now = dateFromDays(today);
  const int64_t timeOfDay = (hour * 60 + minute) * kMinute;
  auto at = [&](int64_t year, unsigned month, int64_t day) {
    return daysFromDate(year, month, day) * kDay + timeOfDay;
  };
  mo = std::min(mo, 12u);
  if (dy == 0 && (mo == 0 || mo == now.month)) {
    // Every day (of this month): today or tomorrow.
    int64_t s = today * kDay + timeOfDay;
    if (s < from) s += kDay;
    if (mo == 0 || dateFromDays(floorDiv(s, kDay)).month == mo) return s;
    return at(now.year + 1, mo, 1);
  }
  if (mo == 0) {
    // Day dy of every month, from the month before t's: a day that runs on past the end of
    // that month may still lie ahead.
    int64_t year = now.year;
    unsigned month = now.month == 1 ? 12 : now.month - 1;
    if (now.month == 1) --year;
    int64_t s = 0;
    for (int i = 0; i < 3; ++i) {
      s = at(year, month, dy);
      if (s >= from) break;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
    return s;
  }
  // A given month: once a year.
  const int64_t day = dy == 0 ? 1 : dy;
  const int64_t s = at(now.year, mo, day);
  return s >= from ? s : at(now.year + 1, mo, day);
}

// Moves a start off the weekend for the working-day choices.
int64_t offWeekend(int64_t s, uint16_t func2) {
  const int64_t wd = weekdayOf(s);
  if (func2 == TIMER_MO_FR) {
    if (wd == 6) return s + 2 * kDay;
    if (wd == 0) return s + kDay;
  } else if (func2 == TIMER_MO_SA && wd == 0) {
    return s + kDay;
  }
  return s;
}

bool cyclical(const FbLayout& L) { return L.wv[0] != TIMER_ONCE; }

uint32_t timerPeriod(const FbLayout& L) {
  if (!cyclical(L)) return 0;
  return L.wv[1] == TIMER_WEEKLY ? kWeek : kDay;
}

uint32_t timerDuration(const FbLayout& L) {
  return secondsOf(L.wp[TIMER_TD_DY], L.wp[TIMER_TD_HR], L.wp[TIMER_TD_MI]);
}

// The start S from the clock time now: the first start the words name from now - D on, so
// that a start whose duration still runs counts; "z 1" follows the switch state.
void computeStart(const FbLayout& L, TimerState& s, int64_t now) {
  int64_t start = nextStart(now - int64_t{s.duration}, L.wp[TIMER_TS_MO], L.wp[TIMER_TS_DY],
                            L.wp[TIMER_TS_HR], L.wp[TIMER_TS_MI]);
  if (cyclical(L)) start = offWeekend(start, L.wv[1]);
  s.start = toU32(start);
  const bool running = start <= now;
  s.on = running ? 1 : 0;
  s.phase = running ? TIMER_PHASE_ON : TIMER_PHASE_WAIT;
  s.startKnown = 1;
}

void setTimerOutput(const FbLayout& L, const TimerState& s) {
  L.dout[0] = BLK_DigitalIn(L, kTimerDisable) != 0 ? 0 : s.on;
}

// "Cyclical": after the window, or after the clock moved, S moves to the next start. Whole
// weeks are stepped at once, so that a clock set years forward or back costs a few steps.
int64_t nextCycle(const FbLayout& L, int64_t start, int64_t now, int64_t d, int64_t p) {
  if (start + d < now) {
    start += (now - (start + d)) / kWeek * kWeek;
  } else if (start + d - p >= now) {
    start -= ((start + d - p - now) / kWeek + 1) * kWeek;
  }
  // Less than a week (plus a weekend) remains: at most 9 steps of a day or more.
  for (int i = 0; i < 16 && start + d < now; ++i) start = offWeekend(start + p, L.wv[1]);
  return start;
}

}  // namespace

void FB_TIMER_Run() {
  if (g_fwClock.invalid) return;
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  TimerState& s = BLK_WorkState<TimerState>(L);
  const int64_t now = FW_RtcToSeconds();
  // The clock was invalid at the start-up pass: S comes from the first valid time.
  if (!s.startKnown) computeStart(L, s, now);
  L.ao[0] = static_cast<float>(clockWeekday());
  const int64_t start = s.start, d = s.duration, p = s.period;
  switch (s.phase) {
    case TIMER_PHASE_WAIT:
      if (start <= now && now < start + d) {
        s.on = 1;
        s.phase = TIMER_PHASE_ON;
      }
      break;
    case TIMER_PHASE_ON:
      if (now >= start + d || now < start) {
        s.on = 0;
        s.phase = cyclical(L) ? TIMER_PHASE_WAIT : TIMER_PHASE_DONE;
      }
      break;
    default:  // done; the clock went back into or before the window
      if (now < start + d) s.phase = TIMER_PHASE_WAIT;
      break;
  }
  if (cyclical(L) && p > 0) s.start = toU32(nextCycle(L, start, now, d, p));
  setTimerOutput(L, s);
  if (FB_ApplyPendingWords(L.block) != FB_APPLY_NONE) {
    s.duration = timerDuration(L);
    computeStart(L, s, now);
    setTimerOutput(L, s);
  }
}

// "Func 1" and "Func 2" written by request take effect here.
void FB_TIMER_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  TimerState& s = BLK_WorkState<TimerState>(L);
  L.wv[0] = L.wv[2];
  L.wv[1] = L.wv[3];
  g_fwClockTimerPresent = 1;
  if (BLK_ColdStart()) {
    s.on = 0;
    s.phase = TIMER_PHASE_WAIT;
    s.startKnown = 0;
    L.dout[0] = 0;
  }
  s.period = timerPeriod(L);
  s.duration = timerDuration(L);
  if (!g_fwClock.invalid) {
    computeStart(L, s, FW_RtcToSeconds());
    setTimerOutput(L, s);
  }
}

// ---------------------------------------------------------------------------------------
// TIME2: a rising "start" while idle begins the start delay Ts; then "z 1" is 1 for the
// duration Td, and "end" 1 once it is over. "reset" ends a run at once.

namespace {

enum : unsigned { kTime2Disable = 0, kTime2Reset = 1, kTime2Start = 2 };
enum : unsigned { kTime2Z1 = 0, kTime2End = 1 };

void setTime2Times(const FbLayout& L, Time2State& s) {
  s.delay = secondsOf(L.wp[TIME2_TS_DY], L.wp[TIME2_TS_HR], L.wp[TIME2_TS_MI]);
  s.duration = secondsOf(L.wp[TIME2_TD_DY], L.wp[TIME2_TD_HR], L.wp[TIME2_TD_MI]);
}

}  // namespace

void FB_TIME2_Run() {
  if (g_fwClock.invalid) return;
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  Time2State& s = BLK_WorkState<Time2State>(L);
  const int64_t now = FW_RtcToSeconds();
  L.ao[0] = static_cast<float>(clockWeekday());
  const uint16_t start = isSet(BLK_DigitalIn(L, kTime2Start));
  uint16_t& end = L.dout[kTime2End];
  if (BLK_DigitalIn(L, kTime2Reset) != 0) {
    end = 1;
    s.phase = TIME2_PHASE_DELAY;
    s.prevStart = 0;
  } else if (end == 0) {
    // A run is in progress; "start" is not looked at.
    const int64_t reference = s.reference;
    if (s.phase == TIME2_PHASE_DELAY) {
      if (now >= reference + int64_t{s.delay}) {
        s.reference = toU32(now);
        s.phase = TIME2_PHASE_DURATION;
      }
    } else if (now >= reference + int64_t{s.duration}) {
      s.prevStart = start;
      s.phase = TIME2_PHASE_DELAY;
      end = 1;
    }
  } else {
    if (start && !s.prevStart) {
      s.reference = toU32(now);
      end = 0;
    }
    s.prevStart = start;
  }
  L.dout[kTime2Z1] =
      BLK_DigitalIn(L, kTime2Disable) == 0 && s.phase == TIME2_PHASE_DURATION ? 1 : 0;
  if (FB_ApplyPendingWords(L.block) != FB_APPLY_NONE) setTime2Times(L, s);
}

void FB_TIME2_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  Time2State& s = BLK_WorkState<Time2State>(L);
  g_fwClockTimerPresent = 1;
  setTime2Times(L, s);
  if (!BLK_ColdStart()) return;
  s.reference = 0;
  s.phase = TIME2_PHASE_DELAY;
  s.prevStart = 0;
  L.dout[kTime2Z1] = 0;
  L.dout[kTime2End] = g_fwClock.invalid ? 0 : 1;
}
