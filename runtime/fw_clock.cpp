#include "runtime/fw_clock.h"

#include "runtime/fb_param.h"

FwClockState g_fwClock{};
uint8_t g_fwClockTimerPresent = 0;

namespace {

bool systemLocalTime(std::tm* out) {
  const std::time_t t = std::time(nullptr);
  if (t == static_cast<std::time_t>(-1)) return false;
  return localtime_r(&t, out) != nullptr;
}

FwTimeSource g_source = systemLocalTime;

constexpr uint16_t kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Division rounding toward minus infinity.
int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

uint16_t clampField(int v, int lo, int hi) {
  return static_cast<uint16_t>(v < lo ? lo : (v > hi ? hi : v));
}

}  // namespace

void FW_SetTimeSource(FwTimeSource source) { g_source = source ? source : systemLocalTime; }

int FW_ReadHostClock() {
  std::tm tm{};
  if (!g_source(&tm)) return 0;
  FwClockFields& c = g_fwClock.now;
  int y = (tm.tm_year + 1900) % 100;
  if (y < 0) y += 100;
  c.year = static_cast<uint16_t>(y + 1900 + (y < 70 ? 100 : 0));
  c.month = clampField(tm.tm_mon + 1, 1, 12);
  c.day = clampField(tm.tm_mday, 1, 31);
  c.hour = clampField(tm.tm_hour, 0, 23);
  c.minute = clampField(tm.tm_min, 0, 59);
  c.second = clampField(tm.tm_sec, 0, 59);   // a leap second reads as 59
  c.weekday = clampField(tm.tm_wday, 0, 6);
  g_fwClock.invalid = 0;
  return 1;
}

void FW_ClockEditFromClock() {
  const FwClockFields& c = g_fwClock.now;
  g_fwClock.edit[0] = c.year;
  g_fwClock.edit[1] = c.month;
  g_fwClock.edit[2] = c.day;
  g_fwClock.edit[3] = c.hour;
  g_fwClock.edit[4] = c.minute;
}

void FW_ClockSetDefault() {
  g_fwClock.now = FwClockFields{};
  FW_ClockEditFromClock();
}

uint16_t FW_DaysInMonth(uint32_t month, uint32_t year) {
  switch (month) {
    case 4: case 6: case 9: case 11: return 30;
    case 2: return year % 4 == 0 ? 29 : 28;
    case 1: case 3: case 5: case 7: case 8: case 10: case 12: return 31;
    default: return 1;
  }
}

uint16_t FW_Weekday(uint32_t year, uint32_t month, uint32_t day) {
  if (month < 1 || month > 12) month = 1;
  // Days since 1899-12-31 (a Sunday), with the leap day of a year divisible by 4 counted
  // from March.
  int64_t days = (int64_t{year} - 1900) / 4 + kDaysBefore[month - 1] +
                 365 * (int64_t{year} - 1900) + day;
  if (year % 4 == 0 && month <= 2) --days;
  const int64_t w = days % 7;
  return static_cast<uint16_t>(w < 0 ? w + 7 : w);
}

uint32_t FW_DateToSeconds(const FwClockFields& f) {
  const uint32_t month = f.month >= 1 && f.month <= 12 ? f.month : 1;
  // The leap-day term rounds down, so that 1970 and 1971 (before the first leap year
  // counted) come out right too.
  int64_t days = int64_t{f.day} + kDaysBefore[month - 1] + 365 * int64_t{f.year} +
                 floorDiv(int64_t{f.year} - 1972, 4) - 719050;
  if (floorDiv(int64_t{f.year} - 1972, 4) * 4 == int64_t{f.year} - 1972 && month <= 2) --days;
  const int64_t s = ((days * 24 + f.hour) * 60 + f.minute) * 60 + f.second;
  return s < 0 ? 0u : static_cast<uint32_t>(s);
}

uint32_t FW_RtcToSeconds() { return FW_DateToSeconds(g_fwClock.now); }

bool FW_CheckYear(int32_t year) { return (year >= 0 && year <= 99) || (year >= 1970 && year <= 2069); }

uint16_t FW_FullYear(int32_t year) {
  if (year >= 70 && year <= 99) return static_cast<uint16_t>(1900 + year);
  if (year >= 0 && year < 70) return static_cast<uint16_t>(2000 + year);
  return static_cast<uint16_t>(year);
}

int16_t FW_LimitMaxDay(uint16_t, int16_t) {
  const uint16_t month = g_fwClock.setPending ? g_fwClock.edit[1] : g_fwClock.now.month;
  const uint16_t year = g_fwClock.setPending ? g_fwClock.edit[0] : g_fwClock.now.year;
  return static_cast<int16_t>(FW_DaysInMonth(month, year));
}

void FW_ClockTick() {
  FwClockState& c = g_fwClock;
  if (c.setPending && c.setCountdown == 0) {
    c.setCountdown = 10;
    FwClockFields& n = c.now;
    n.year = c.edit[0];
    n.month = c.edit[1];
    n.day = c.edit[2];
    n.hour = c.edit[3];
    n.minute = c.edit[4];
    n.second = 0;
    n.weekday = FW_Weekday(n.year, n.month, n.day);
    // Writing the real-time clock is an empty operation in the simulator.
    c.setPending = 0;
    c.wasSet = 1;
    c.reread = -10;
    return;
  }
  if (c.setCountdown > 0) --c.setCountdown;
  if (++c.reread >= 10) {
    if (FW_ReadHostClock()) FW_ClockEditFromClock();
    c.reread = 1;
  }
}

uint8_t FW_SetClockField(FbParamRequest* request, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  if (!request) return FB_ERR_UNKNOWN_ID;
  const int16_t field = request->id();
  const auto v = static_cast<int16_t>(request->u16(FB_REQUEST_VALUE));
  uint16_t value = static_cast<uint16_t>(v);
  bool ok;
  switch (field) {
    case FW_CLOCK_YEAR: ok = FW_CheckYear(v); value = FW_FullYear(v); break;
    case FW_CLOCK_MONTH: ok = v >= 1 && v <= 12; break;
    case FW_CLOCK_DAY: ok = v >= 1 && v <= FW_DaysInMonth(g_fwClock.edit[1], g_fwClock.edit[0]); break;
    case FW_CLOCK_HOUR: ok = v >= 0 && v <= 23; break;
    case FW_CLOCK_MINUTE: ok = v >= 0 && v <= 59; break;
    default: return FB_ERR_UNKNOWN_ID;
  }
  if (!ok) return FB_ERR_LIMITS;
  g_fwClock.edit[field - 1] = value;
  g_fwClock.setPending = 1;
  return FB_OK;
}
