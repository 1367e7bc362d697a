// The arithmetic of the graph view, free of windows: value positions, digital levels, the
// steps of the time labels and value scales, the whole-pixel advance of the traces, the time
// and value zoom with its limits and scrolling, and the cursor's slot.
#pragma once

#include <cstdint>

// a * b / c rounded to the nearest integer (halves away from zero) in 64 bits; -1 for c = 0.
int KurvanMulDiv(int64_t a, int64_t b, int64_t c);

// Value units of the value zoom: the whole scale is 8000 units.
constexpr int KURVAN_VALUE_UNITS = 8000;

// What the view shows of time and value. Time in ring slots: `visibleSamples` of
// `totalSamples` (the ring length), the right edge `timeOffset` slots before the newest
// sample. Value in units: `visibleUnits` of `totalUnits`, starting `valueOffset` units above
// the scale minimum.
struct KurvanZoom {
  int totalSamples = 1;
  int visibleSamples = 1;
  int timeOffset = 0;
  int totalUnits = KURVAN_VALUE_UNITS;
  int visibleUnits = KURVAN_VALUE_UNITS;
  int valueOffset = 0;

  // The whole ring and scale, or `percent` of the ring (outside 1..100 the whole ring).
  void reset(int ring, int percent = 100);
  bool zoomedInTime() const { return visibleSamples != totalSamples; }
  // Keeps every field in its range: at least one slot and one unit shown, offsets inside.
  void limit();
};

// Row of a value in the analog area's inside (0 = top row) of height `innerHeight`: the
// fraction (v - min) / (max - min) of the channel's scale (0 when max <= min or it is not a
// number) shifted and stretched by the value zoom; the pixel distance is clamped to
// -30000 .. 30000, so that a value far outside still gives a line towards the edge.
int KurvanValueRow(double v, double min, double max, const KurvanZoom& zoom, int innerHeight);

// Row inside the digital area of digital row `row` (rows `rowHeight` high, level margin
// `margin`) for a sample that is `high`. On screen 1 is near the top of the row; when
// printing the margin is measured the other way round (margin = height * 6 / 7), so that 1
// stays near the top there too.
int KurvanDigitalRow(int row, bool high, int rowHeight, int margin, bool printing);

// The time-label step in seconds: the first of 1, 2, 5, 10 ... 432000 for which the whole
// seconds of `span` give at most `count` labels; past the table the next power of ten that
// does. At least 1.
double KurvanTimeStep(double span, int count);
// The value-scale step: the first of 0.00001, 0.00002, 0.00005 ... 500000 for which `span`
// gives at most `count` labels; past the table the next power of ten that does. Positive.
double KurvanValueStep(double span, int count);

// The whole pixels the traces move on for one sample: (width + rest) / samples, the remainder
// kept in `rest` for the next sample. 0 for no samples.
int KurvanAdvance(int width, int* rest, int samples);

// Zoom to the pixel span a..b (inclusive, relative to the inside of the area) of an inside
// `innerWidth` wide: never fewer than total / 50 slots.
void KurvanZoomTime(KurvanZoom* zoom, int a, int b, int innerWidth);
// Zoom to the rows a..b of an inside `innerHeight` high: never fewer than total / 500 units.
void KurvanZoomValue(KurvanZoom* zoom, int a, int b, int innerHeight);

// Scroll bars. Time: `range` pixels over the ring for a client `client` pixels wide; the bar
// position of the time offset and the offset of a bar position (its thumb); a line is
// visible / 20 slots, a page visible * 2 / 5. Value: the same with the units.
struct KurvanScrollBar {
  int range = 0;     // total * client / visible
  int position = 0;  // 0 .. range - client
  bool enabled = false;
};
KurvanScrollBar KurvanTimeBar(const KurvanZoom& zoom, int client);
KurvanScrollBar KurvanValueBar(const KurvanZoom& zoom, int client);
// Offsets from a thumb position, limited to their ranges.
int KurvanTimeOffsetAt(const KurvanZoom& zoom, int position, int client);
int KurvanValueOffsetAt(const KurvanZoom& zoom, int position, int client);

// The ring slot `slot` brought into 0 .. ring - 1.
int KurvanWrapSlot(int64_t slot, int ring);
