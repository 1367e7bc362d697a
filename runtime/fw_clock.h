// The device clock. In the simulator it follows the PC's local time: the system block reads
// it once a second, and a value set from a page or a request stands until the next read, 20
// ticks after the set.
#pragma once

#include <cstdint>
#include <ctime>

struct FbParamRequest;

// Clock fields (16-bit each).
struct FwClockFields {
  uint16_t year = 2000;   // four digits
  uint16_t month = 1;     // 1..12
  uint16_t day = 1;       // 1..31
  uint16_t hour = 0;      // 0..23
  uint16_t minute = 0;    // 0..59
  uint16_t weekday = 6;   // 0 = Sunday
  uint16_t second = 0;
};

// Edit-copy fields, the numbers FW_SetClockField takes.
enum : uint16_t {
  FW_CLOCK_YEAR = 1, FW_CLOCK_MONTH = 2, FW_CLOCK_DAY = 3, FW_CLOCK_HOUR = 4, FW_CLOCK_MINUTE = 5,
};

struct FwClockState {
  FwClockFields now;
  uint16_t edit[5];        // year, month, day, hour, minute of a pending set
  uint8_t setPending;      // the edit copy is to become the clock
  uint16_t setCountdown;   // ticks until a further set may be applied
  int16_t reread;          // counts up each tick; at 10 the clock is read again
  uint8_t invalid;         // the clock could not be read
  uint8_t wasSet;          // the clock was set (system datum 561 bit 10)
};
extern FwClockState g_fwClock;

// Set by the Init handler of a clock-timer block (TIMER, TIME2): the engineering switches by
// the clock, and the operating interface offers what goes with that. Cleared with the
// engineering (FB_ClearStore).
extern uint8_t g_fwClockTimerPresent;

// Where the PC's local time comes from: fills *out and answers true, or false when there is
// no time. The default reads the system time with localtime_r. A null source restores it.
using FwTimeSource = bool (*)(std::tm* out);
void FW_SetTimeSource(FwTimeSource source);

// Reads the PC's local time into the clock fields: year = (year mod 100) + 1900, plus 100
// when that is below 70; weekday with Sunday = 0; clears the invalid flag. 1, or 0 when the
// time source has no time (nothing changed).
int FW_ReadHostClock();

// Sets the clock to 2000-01-01 00:00:00 (a Saturday) and the edit copy alike.
void FW_ClockSetDefault();
// Copies the clock's first five fields into the edit copy.
void FW_ClockEditFromClock();

// The clock step of the system block's run handler, once per tick: applies a pending set
// when the set countdown is 0 (countdown restarts at 10, weekday computed, re-read counter
// set to -10); otherwise counts the re-read counter up and reads the clock again when it
// reaches 10 (counter restarts at 1).
void FW_ClockTick();

// Days of a month: 30 for 4, 6, 9, 11; 29 for February of a year divisible by 4, else 28;
// 31 for the other months 1..12; 1 for a month outside 1..12.
uint16_t FW_DaysInMonth(uint32_t month, uint32_t year);
// Weekday of a date, 0 = Sunday (years 1900..2099).
uint16_t FW_Weekday(uint32_t year, uint32_t month, uint32_t day);
// The clock as seconds since 1970-01-01 00:00:00 (years 1970..2069).
uint32_t FW_RtcToSeconds();
// The same for given fields.
uint32_t FW_DateToSeconds(const FwClockFields& f);

// True for the years 0..99 and 1970..2069. A two-digit year y stands for 1900 + y from 70
// up and 2000 + y below.
bool FW_CheckYear(int32_t year);
uint16_t FW_FullYear(int32_t year);

// Setter for the operating pages: request id = field (1 year .. 5 minute), value u16 at
// offset 4. The value goes into the edit copy and the set becomes pending. 0; 'l' for a
// value out of its range (day: by the edit copy's month and year); 'i' for an unknown field
// (nothing changes).
uint8_t FW_SetClockField(FbParamRequest* request, uint16_t* badIndex);

// Limit callback of the day: the largest day of the month of the clock's month and year (the
// pending values while a set is pending).
int16_t FW_LimitMaxDay(uint16_t block, int16_t value);
