#include "modpanel/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

const std::string& CNumberText::Format(double value, int width, int decimals) {
  const double magnitude = std::fabs(value);
  width = width < -64 ? -64 : (width > 64 ? 64 : width);
  const size_t fit = static_cast<size_t>(std::abs(width)) + 1;
  char buf[400];  // any double in fixed notation with the decimals asked for
  if (decimals < 0) decimals = 0;
  if (decimals > 20) decimals = 20;
  for (int d = decimals; d >= 0; --d) {
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed, d);
    text_.assign(buf, r.ec == std::errc() ? r.ptr : buf);
    if (static_cast<long>(text_.size()) <= static_cast<long>(width) + 1) break;
  }
  if (width < 0) {
    while (text_.size() < fit) {
      if (text_.find('.') == std::string::npos) {
        if (text_.size() + 1 == fit - 1) break;
        text_ += '.';
      }
      text_ += '0';
    }
  }
  if (value < 0.0) text_.insert(text_.begin(), '-');
  for (char& c : text_)
    if (c == '.') c = decimal_;
  return text_;
}
