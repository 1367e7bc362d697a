// Patterned lines: a pattern is a list of lengths in 0.01 mm, alternately drawn and skipped
// (starting with a drawn one) and repeated. A line is walked pixel by pixel from its first
// point up to (not including) its last one, and a pixel is set in the pattern's colour while
// the current length is a drawn one; the place in the pattern goes on from one line to the
// next, so that a polyline keeps its rhythm.
//
// The graph view draws its grid lines and its cursor with pattern 1 and, in monochrome, the
// curve of analog channel i with pattern i + 2.
#pragma once

#include <QColor>
#include <QPoint>

class QPainter;

constexpr int KURVAN_PATTERNS = 10;
constexpr int KURVAN_PATTERN_GRID = 1;
constexpr int KURVAN_PATTERN_FIRST_CURVE = 2;

struct KurvanLinePattern {
  static constexpr int kMaxLengths = 12;
  int lengths[kMaxLengths] = {};  // in device pixels, each at least 1
  int count = 0;
  int index = 0;  // the current length; even ones are drawn
  int left = 0;   // pixels left of the current length
  int width = 1;  // device pixels across the line (a printed page's lines are wider)
  QColor colour;

  // Moves the place in the pattern on by `pixels` without drawing.
  void skip(long long pixels);
  int period() const;
};

// Pattern `index` (0..9; others give the solid pattern 0) converted to device pixels at `dpi`
// dots per inch (a length converts to at least one pixel), at its start, in `colour`. With a
// `width` above 1 the line is that many pixels wide and every length a whole multiple of it,
// so that the pattern looks as on a screen of dpi / width dots per inch, enlarged.
KurvanLinePattern KurvanSelectPattern(int index, int dpi, const QColor& colour, int width = 1);

// Draws the line from `from` towards `to` with the pattern (the point `to` itself is left
// for the next line), through the painter's clipping; pixels outside the painter's device
// only move the place in the pattern on.
void KurvanPatternLine(QPainter& painter, KurvanLinePattern& pattern, QPoint from, QPoint to);
