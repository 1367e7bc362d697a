// The graph view's drawing, for the screen's off-screen image and for a printed page alike:
// the layout of the areas, headers and legend, the time labels with the vertical grid, the
// value scales with the horizontal grid, and the analog and digital traces.
//
// Boxes are in device pixels with exclusive right and bottom edges. The analog area is framed
// at its edges; its inside (one pixel in) is `innerWidth` x `innerHeight` and is where the
// curves are clipped. Sample s of the n visible ones (0 = the oldest) sits at x = area left +
// (s + 1) * innerWidth / n, so that the newest visible sample is on the inside's last column
// and the time t maps to x = area left + (t - tL) * innerWidth / (tR - tL).
#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <vector>

#include "trendview/graf_scale.h"
#include "trendview/kurvex/kurvex.h"

class CTrendDoc;
class QFontMetrics;
class QPainter;

struct KurvanRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
  bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Where everything goes in one drawing target.
struct KurvanGrafLayout {
  KurvanRect client;  // the whole target (the window's inside, or the graph's part of a page)
  KurvanRect analog, digital, timeBand, leftHeader, rightHeader;
  int innerWidth = 0, innerHeight = 0;
  int textHeight = 0, scaleWidth = 0, legendWidth = 0, labelWidth = 0;
  int rowHeight = 0, levelMargin = 2;
  int unit = 1;  // device pixels per screen pixel (1 on the screen)
  bool printing = false;
  bool leftScale = false, rightScale = false;
  int leftChannel = -1, rightChannel = -1;  // analog channels of the scales (-1 = none)
  bool legendRight = false;                 // the legend beside the right edge, left-aligned
  bool tooSmall = false;
  int analogCount = 0, digitalCount = 0;    // shown channels and their indices
  uint8_t analogShown[TREND_MAX_ANALOG] = {};
  uint8_t digitalShown[TREND_MAX_DIGITAL] = {};
  QString leftName, rightName;              // "[name]" texts of the scale headers
  QString digitalNames[TREND_MAX_DIGITAL];  // legend texts by shown row

  // The horizontal extent of both areas (set also when an area is empty).
  int left() const { return analog.left; }
  int right() const { return analog.right; }
  // The x of the newest visible sample (the inside's last column).
  int newestX() const { return left() + innerWidth; }
};

// Colours, font and mode of one drawing.
struct KurvanGrafStyle {
  QFont font;
  QColor back, frame, text;
  QColor analog[TREND_MAX_ANALOG];
  QColor digital[TREND_MAX_DIGITAL];
  bool monochrome = false;  // every line and text black, curves patterned
  bool printing = false;
  int dpi = 96;             // for the patterns' lengths
  QString tooSmallText;     // string 61229
};

// What the screen drawing remembers for the live scrolling.
struct KurvanGrafMarks {
  static constexpr int kMaxGridRows = 64;
  double timeStep = 1.0;
  int lastLabelRight = 0;  // right edge of the newest time label drawn
  int rest = 0;            // sub-pixel remainder of the traces' advance
  int gridRows[kMaxGridRows + 1] = {};  // y of the horizontal grid lines, 0-terminated
  long long scrolled = 0;  // pixels scrolled since the last full drawing (grid pattern phase)
  std::vector<QPoint> points;  // scratch of the traces, kept between drawings
};

// The time at the right and the left edge of what the zoom shows: tR = newest time - offset *
// span / ring, tL = tR - visible * span / ring.
struct KurvanTimeEdges {
  double right = 0.0, left = 0.0;
};
KurvanTimeEdges KurvanTimeAtEdges(const uint8_t* rec, const KurvanZoom& zoom);
// The newest time whose label fits wholly into the target at the right: labels of later
// times wait (in the live scrolling) until they have moved far enough to the left, so that
// no label is drawn cut at the right edge and scrolled in that state.
double KurvanLastLabelTime(const KurvanGrafLayout& l, const KurvanTimeEdges& edges);

// An analog slot as drawn: a gap or a NaN takes the slot one step older; two of them give the
// channel's scale minimum.
double KurvanDrawValue(const CTrendDoc& doc, unsigned channel, unsigned slot, double min);
// A digital slot as drawn: a gap (255) takes the slot one step older.
uint8_t KurvanDrawLevel(const CTrendDoc& doc, unsigned channel, unsigned slot);

// Lays out a locked record for the target `client`: counts the shown channels into +304 and
// +306, and shows the right scale with channel 0 when neither scale is set (+1134 = 0).
KurvanGrafLayout KurvanGrafLayoutFor(uint8_t* rec, const TrendLayout& rings, const KurvanRect& client,
                                     const QFontMetrics& fm, int unit, bool printing);

// The style from the record's colours (black on white lines and texts in monochrome).
KurvanGrafStyle KurvanGrafStyleFor(const uint8_t* rec, const QFont& font, bool monochrome, bool printing, int dpi);

// The full drawing of the locked record (the target's background is the caller's): the
// too-small text alone, or frames, time labels, value scales, headers, legend and, when the
// inside is wide enough and more than one sample is valid, the traces. Fills `marks`.
void KurvanGrafDraw(QPainter& p, const CTrendDoc& doc, const uint8_t* rec, const KurvanGrafLayout& l,
                    const KurvanZoom& zoom, const KurvanGrafStyle& s, KurvanGrafMarks* marks);

// Time labels (and their vertical grid lines) with times in (from, to]: drawn from `to`
// backwards when `backwards`, each more than 10 pixels from the one drawn before; else
// forwards after marks->lastLabelRight. The labels cover the whole width: times before the
// record's time 0 are labelled as well (as clock times with a time base, else as "-hh:mm:ss").
void KurvanDrawTimeLabels(QPainter& p, const uint8_t* rec, const KurvanGrafLayout& l, const KurvanZoom& zoom,
                          const KurvanGrafStyle& s, double from, double to, bool backwards, KurvanGrafMarks* marks);

// The horizontal grid lines from x0 to x1 (exclusive) at the rows in `marks`, the pattern's
// phase as if drawn from the area's left edge `scrolled` pixels ago.
void KurvanDrawGridRows(QPainter& p, const KurvanGrafLayout& l, const KurvanGrafStyle& s,
                        const KurvanGrafMarks& marks, int x0, int x1);

// The segments that a live update brings for the newest `count` samples: xs[j] is the x of
// the sample j steps before the right edge (k = offset + j), for j = 0 .. count (xs[count] is
// the sample drawn before). Each shown channel gets the line from sample j + 1 to sample j
// (a point where only sample j is valid), clipped to its area.
void KurvanDrawNewSegments(QPainter& p, const CTrendDoc& doc, const uint8_t* rec, const KurvanGrafLayout& l,
                           const KurvanZoom& zoom, const KurvanGrafStyle& s, const int* xs, int count);

// The dotted cursor line at x through the analog and the digital area, shifted by (dx, dy).
void KurvanDrawCursorLine(QPainter& p, const KurvanGrafLayout& l, int x, int dx = 0, int dy = 0);
