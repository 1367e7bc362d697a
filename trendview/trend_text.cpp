#include "trendview/trend_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

constexpr char kMonths[] = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";

std::string ToChars(double value, std::chars_format format, int precision) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, value, format, precision);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}

}  // namespace

void KurvanTimeTexts(int64_t seconds, int64_t base, int language, bool hoursRunOn, std::string* date,
                     std::string* clock) {
  date->clear();
  clock->clear();
  if (seconds < 0) seconds = 0;
  if (base < 0) base = 1;
  char buf[64];
  if (base != 0) {
    const time_t t = static_cast<time_t>(seconds + base);
    tm local{};
    if (!localtime_r(&t, &local)) return;
    if (hoursRunOn)
      std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900);
    else
      std::snprintf(buf, sizeof buf, "%d-%3.3s-%04d", local.tm_mday, kMonths + 3 * local.tm_mon, local.tm_year + 1900);
    *date = buf;
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    *clock = buf;
    return;
  }
  const int64_t days = seconds / 86400;
  const int64_t rest = seconds % 86400;
  int64_t hours = rest / 3600;
  if (hoursRunOn) {
    hours += 24 * days;
  } else if (days > 0) {
    std::snprintf(buf, sizeof buf, "%lld %c", static_cast<long long>(days), language == 0 ? 'T' : 'd');
    *date = buf;
  }
  std::snprintf(buf, sizeof buf, "%02lld:%02d:%02d", static_cast<long long>(hours), static_cast<int>(rest / 60 % 60),
                static_cast<int>(rest % 60));
  *clock = buf;
}

std::string KurvanNumberText(double value) {
  std::string text = ToChars(value, std::chars_format::general, 8);
  if (std::isfinite(value) && value == std::trunc(value) && text.find_first_of(".e") == std::string::npos)
    text += ".0";
  return text;
}

std::string KurvanNumberText(double value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 20) decimals = 20;
  return ToChars(value, std::chars_format::fixed, decimals);
}

std::string KurvanFixedText(double value, int decimals, int width) {
  std::string text = KurvanNumberText(value, decimals);
  if (width > 0 && text.size() < static_cast<size_t>(width)) text.insert(0, width - text.size(), ' ');
  return text;
}

double KurvanNumberValue(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (c == ',') c = '.';
  size_t i = s.find_first_not_of(" \t");
  if (i == std::string::npos) return 0.0;
  if (s[i] == '+') ++i;
  double v = 0.0;
  const auto r = std::from_chars(s.data() + i, s.data() + s.size(), v, std::chars_format::general);
  return r.ec == std::errc() && std::isfinite(v) ? v : 0.0;
}
