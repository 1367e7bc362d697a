#include "trendview/line_pattern.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace {

// The patterns by index, as lengths in 0.01 mm.
constexpr const char* kPatterns[KURVAN_PATTERNS] = {
    "10000",                                          // 0 solid
    "15,15",                                          // 1 grid lines
    "40,40",                                          // 2 analog channel 0 in monochrome
    "100,100",                                        // 3 analog channel 1
    "250,250",                                        // 4 analog channel 2
    "250,40, 40,40, 40,40, 40,40",                    // 5 analog channel 3
    "250,40, 250,40, 40,40, 40,40",                   // 6 analog channel 4
    "250,40, 250,40, 250,40, 40,40, 40,40, 40,40",    // 7 analog channel 5
    "250,40, 40,40",                                  // 8 analog channel 6
    "250,40, 250,40, 40,40",                          // 9 analog channel 7
};

// Points are handed to the painter in batches of this many.
constexpr int kBatch = 256;

}  // namespace

int KurvanLinePattern::period() const {
  int sum = 0;
  for (int i = 0; i < count; ++i) sum += lengths[i];
  return sum;
}

void KurvanLinePattern::skip(long long pixels) {
  if (count <= 0 || pixels <= 0) return;
  // Whole periods change nothing (an odd count repeats after two periods).
  const long long whole = 2LL * period();
  if (whole > 0) pixels %= whole;
  while (pixels > 0) {
    if (pixels < left) {
      left -= static_cast<int>(pixels);
      return;
    }
    pixels -= left;
    index = (index + 1) % count;
    left = lengths[index];
  }
}

KurvanLinePattern KurvanSelectPattern(int index, int dpi, const QColor& colour) {
  KurvanLinePattern p;
  p.colour = colour;
  const char* text = kPatterns[index >= 0 && index < KURVAN_PATTERNS ? index : 0];
  if (dpi <= 0) dpi = 96;
  while (*text && p.count < KurvanLinePattern::kMaxLengths) {
    while (*text == ' ' || *text == ',') ++text;
    if (!*text) break;
    long hm = std::strtol(text, const_cast<char**>(&text), 10);
    // 0.01 mm to device pixels, rounded; never 0, so that the walk always moves on.
    const long px = (hm * dpi + 1270) / 2540;
    p.lengths[p.count++] = static_cast<int>(std::clamp(px, 1L, 1L << 20));
  }
  if (p.count == 0) p.lengths[p.count++] = 1;
  p.left = p.lengths[0];
  return p;
}

void KurvanPatternLine(QPainter& painter, KurvanLinePattern& pattern, QPoint from, QPoint to) {
  if (pattern.count <= 0) return;
  const QPaintDevice* device = painter.device();
  const int width = device ? device->width() : 0;
  const int height = device ? device->height() : 0;
  QPoint batch[kBatch];
  int n = 0;
  painter.save();
  painter.setPen(QPen(pattern.colour, 0));
  const long long dx = static_cast<long long>(to.x()) - from.x();
  const long long dy = static_cast<long long>(to.y()) - from.y();
  const long long ax = std::llabs(dx), ay = std::llabs(dy);
  const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  const long long steps = std::max(ax, ay);
  long long x = from.x(), y = from.y();
  long long err = steps / 2;
  for (long long i = 0; i < steps; ++i) {
    if ((pattern.index & 1) == 0 && x >= 0 && y >= 0 && x < width && y < height) {
      batch[n++] = QPoint(static_cast<int>(x), static_cast<int>(y));
      if (n == kBatch) {
        painter.drawPoints(batch, n);
        n = 0;
      }
    }
    if (--pattern.left <= 0) {
      pattern.index = (pattern.index + 1) % pattern.count;
      pattern.left = pattern.lengths[pattern.index];
    }
    // One step along the longer axis, and along the shorter one when its error runs out.
    if (ax >= ay) {
      x += sx;
      err -= ay;
      if (err < 0) {
        y += sy;
        err += ax;
      }
    } else {
      y += sy;
      err -= ax;
      if (err < 0) {
        x += sx;
        err += ay;
      }
    }
  }
  if (n > 0) painter.drawPoints(batch, n);
  painter.restore();
}
