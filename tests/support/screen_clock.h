// The device's date and time fixed at 10 December 2026, 08:05, for the tests that compare what
// the display shows (the top bar's clock): FW_SetTimeSource(ScreenClock0805).
#pragma once

#include <ctime>

inline bool ScreenClock0805(std::tm* out) {
  *out = std::tm{};
  out->tm_year = 126;
  out->tm_mon = 11;
  out->tm_mday = 10;
  out->tm_hour = 8;
  out->tm_min = 5;
  return true;
}
