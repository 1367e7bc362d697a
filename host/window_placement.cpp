#include "host/window_placement.h"

#include <cctype>
#include <cstdio>

namespace host {

bool ParseWindowPlacement(const std::string& text, WindowPlacement* out) {
  long v[10];
  size_t pos = 0;
  for (int i = 0; i < 10; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != ',') return false;
      ++pos;
    }
    size_t start = pos;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
    size_t digits = pos;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) && pos - digits < 9) ++pos;
    if (pos == digits) return false;
    v[i] = std::stol(text.substr(start, pos - start));
  }
  if (pos != text.size() || v[0] < 0 || v[1] < 0) return false;
  if (v[8] < v[6] || v[9] < v[7]) return false;
  *out = {static_cast<unsigned>(v[0]), static_cast<unsigned>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3]),
          static_cast<int>(v[4]), static_cast<int>(v[5]), static_cast<int>(v[6]), static_cast<int>(v[7]),
          static_cast<int>(v[8]), static_cast<int>(v[9])};
  return true;
}

std::string FormatWindowPlacement(const WindowPlacement& p) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", p.flags, p.showCmd, p.minX, p.minY, p.maxX, p.maxY,
                p.left, p.top, p.right, p.bottom);
  return buf;
}

}  // namespace host
