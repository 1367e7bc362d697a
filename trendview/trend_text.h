// Texts the trend viewer's views, print header and CSV export share: the date and clock texts
// of a trend time, and number texts. Locale-free; no desktop toolkit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The date and clock texts of `seconds` (negative counts as 0):
// - a time base `base` other than 0 (a negative one counts as 1) gives the local time of
//   seconds + base: date "%02d.%02d.%04d" with `hoursRunOn`, else "%d-%3.3s-%04d" with the
//   month's three letters ("1-JAN-1970"); clock "%02d:%02d:%02d";
// - base 0 gives elapsed time: the clock of seconds mod 86400; with `hoursRunOn` the hours
//   go on past 24 and the date is empty, else the date is "%ld %c" with the days and "T" in
//   language 0, "d" in the others, or empty for less than a day.
void KurvanTimeTexts(int64_t seconds, int64_t base, int language, bool hoursRunOn, std::string* date,
                     std::string* clock);

// "%.8g"; a whole number that prints without a point gets ".0" (5 -> "5.0").
std::string KurvanNumberText(double value);
// "%.*f" with `decimals` (0..20).
std::string KurvanNumberText(double value, int decimals);
// "%*.*f": the value with `decimals` decimals, right-aligned in at least `width` characters.
std::string KurvanFixedText(double value, int decimals, int width);
// The number at the start of a text typed by the user: leading blanks skipped, a "," read as
// the decimal point; 0 when none is there (or it is no finite number).
double KurvanNumberValue(std::string_view text);
