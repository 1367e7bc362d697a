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

KurvanLinePattern KurvanSelectPattern(int index, int dpi, const QColor& colour, int width) {
  KurvanLinePattern p;
  p.colour = colour;
  p.width = std::clamp(width, 1, 1 << 10);
  const char* text = kPatterns[index >= 0 && index < KURVAN_PATTERNS ? index : 0];
  if (dpi <= 0) dpi = 96;
  while (*text && p.count < KurvanLinePattern::kMaxLengths) {
    while (*text == ' ' || *text == ',') ++text;
    if (!*text) break;
    long hm = std::strtol(text, const_cast<char**>(&text), 10);
    // 0.01 mm to device pixels, rounded; never 0, so that the walk always moves on.
    const long w = p.width;
    const long px = (hm * dpi + 1270 * w) / (2540 * w);
    p.lengths[p.count++] = static_cast<int>(std::clamp(px, 1L, 1L << 20) * w);
  }
  if (p.count == 0) p.lengths[p.count++] = p.width;
  p.left = p.lengths[0];
  return p;
}

namespace {

// A run of drawn pixels of a wide line, from its first to its last pixel, as one stroke of
// the line's width: exact boxes along the axes, a square-ended line otherwise.
void WideRun(QPainter& painter, const KurvanLinePattern& pattern, QPoint first, QPoint last) {
  const int w = pattern.width, half = w / 2;
  if (first.y() == last.y()) {
    painter.fillRect(std::min(first.x(), last.x()), first.y() - half, std::abs(last.x() - first.x()) + 1, w,
                     pattern.colour);
  } else if (first.x() == last.x()) {
    painter.fillRect(first.x() - half, std::min(first.y(), last.y()), w, std::abs(last.y() - first.y()) + 1,
                     pattern.colour);
  } else {
    painter.setPen(QPen(pattern.colour, w, Qt::SolidLine, Qt::SquareCap));
    painter.drawLine(first, last);
  }
}

// Walks the line from `from` up to (not including) `to` pixel by pixel, moving the place in
// the pattern on, and hands each pixel to `visit` with whether the pattern draws it there.
template <typename Visit>
void WalkPattern(KurvanLinePattern& pattern, QPoint from, QPoint to, Visit&& visit) {
  const long long dx = static_cast<long long>(to.x()) - from.x();
  const long long dy = static_cast<long long>(to.y()) - from.y();
  const long long ax = std::llabs(dx), ay = std::llabs(dy);
  const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  const long long steps = std::max(ax, ay);
  long long x = from.x(), y = from.y();
  long long err = steps / 2;
  for (long long i = 0; i < steps; ++i) {
    visit(x, y, (pattern.index & 1) == 0);
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
}

}  // namespace

void KurvanPatternLine(QPainter& painter, KurvanLinePattern& pattern, QPoint from, QPoint to) {
  if (pattern.count <= 0) return;
  const QPaintDevice* device = painter.device();
  const int width = device ? device->width() : 0;
  const int height = device ? device->height() : 0;
  painter.save();
  if (pattern.width > 1) {
    // Wide lines: each run of drawn pixels is one stroke.
    bool open = false;
    QPoint first, last;
    WalkPattern(pattern, from, to, [&](long long x, long long y, bool drawn) {
      const QPoint at(static_cast<int>(x), static_cast<int>(y));
      if (drawn && open) {
        last = at;
      } else if (drawn) {
        open = true;
        first = last = at;
      } else if (open) {
        WideRun(painter, pattern, first, last);
        open = false;
      }
    });
    if (open) WideRun(painter, pattern, first, last);
    painter.restore();
    return;
  }
  QPoint batch[kBatch];
  int n = 0;
  painter.setPen(QPen(pattern.colour, 0));
  WalkPattern(pattern, from, to, [&](long long x, long long y, bool drawn) {
    if (!drawn || x < 0 || y < 0 || x >= width || y >= height) return;
    batch[n++] = QPoint(static_cast<int>(x), static_cast<int>(y));
    if (n == kBatch) {
      painter.drawPoints(batch, n);
      n = 0;
    }
  });
  if (n > 0) painter.drawPoints(batch, n);
  painter.restore();
}
