// The graph view's arithmetic: value rows, steps of labels and scales, the whole-pixel
// advance, the zoom limits and the scroll bars.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "trendview/graf_scale.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(GrafScale, ValueRows) {
  KurvanZoom whole;
  KurvanZoom half;  // the upper half of the lower three quarters: units 2000 .. 6000
  half.visibleUnits = 4000;
  half.valueOffset = 2000;
  struct Case {
    double v, min, max;
    const KurvanZoom* zoom;
    int row;
  } cases[] = {
      {50, 0, 100, &whole, 50},  // inside 101 high: the middle row
      {0, 0, 100, &whole, 100},
      {100, 0, 100, &whole, 0},
      {49.6, 0, 100, &whole, 50},
      {1e9, 0, 100, &whole, 101 - 30000 - 1},  // clamped to 30000 pixels above
      {-1e9, 0, 100, &whole, 101 + 30000 - 1},
      {std::numeric_limits<double>::infinity(), 0, 100, &whole, 101 - 30000 - 1},
      {7, 5, 5, &whole, 100},    // equal limits: at the minimum
      {7, 9, 5, &whole, 100},    // maximum below minimum
      {7, kNaN, 5, &whole, 100},
      {kNaN, 0, 100, &whole, 100},
      {50, 0, 100, &half, 50},
      {25, 0, 100, &half, 100},
      {75, 0, 100, &half, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(KurvanValueRow(c.v, c.min, c.max, *c.zoom, 101), c.row) << c.v << " in " << c.min << ".." << c.max;
}

TEST(GrafScale, DigitalLevels) {
  // Row 1 of rows 20 high, margin 2 on the screen; margin 17 (20 * 6 / 7) when printing.
  EXPECT_EQ(KurvanDigitalRow(1, true, 20, 2, false), 22);
  EXPECT_EQ(KurvanDigitalRow(1, false, 20, 2, false), 36);
  EXPECT_EQ(KurvanDigitalRow(1, true, 20, 17, true), 21);
  EXPECT_EQ(KurvanDigitalRow(1, false, 20, 17, true), 37);
}

TEST(GrafScale, TimeAndValueSteps) {
  struct Case {
    double span;
    int count;
    double step;
  } times[] = {
      {180, 3, 60},
      {25, 2, 10},      // whole labels: 25 / 10 gives 2
      {0.5, 3, 1},
      {0, 3, 1},
      {-5, 3, 1},
      {432000.0 * 4, 3, 1e6},  // past the table: the next power of ten that fits
      {1e30, 1, 1e30},
      {100, 0, 60},     // no room counts as one label
  };
  for (const Case& c : times) EXPECT_DOUBLE_EQ(KurvanTimeStep(c.span, c.count), c.step) << c.span << " " << c.count;
  const Case values[] = {
      {100, 5, 20}, {1, 10, 0.1}, {0.0001, 4, 0.00005}, {2.5e37, 3, 1e37}, {2e6, 2, 1e6}, {0, 5, 0.00001},
  };
  for (const Case& c : values) EXPECT_DOUBLE_EQ(KurvanValueStep(c.span, c.count), c.step) << c.span << " " << c.count;
  EXPECT_TRUE(std::isfinite(KurvanValueStep(std::numeric_limits<double>::infinity(), 3)));
}

TEST(GrafScale, AdvanceCarriesTheRest) {
  int rest = 0;
  int moved = 0;
  for (int i = 0; i < 3; ++i) moved += KurvanAdvance(300, &rest, 900);
  EXPECT_EQ(moved, 1);
  EXPECT_EQ(rest, 0);
  for (int i = 0; i < 900; ++i) moved += KurvanAdvance(300, &rest, 900);
  EXPECT_EQ(moved, 301) << "a whole ring moves the whole width";
  rest = 0;
  EXPECT_EQ(KurvanAdvance(900, &rest, 300), 3);
  EXPECT_EQ(KurvanAdvance(900, &rest, 0), 0);
  EXPECT_EQ(KurvanAdvance(0, &rest, 10), 0);
}

TEST(GrafScale, ZoomKeepsItsLimits) {
  KurvanZoom z;
  z.reset(900, 50);
  EXPECT_EQ(z.visibleSamples, 450);
  for (int percent : {0, -3, 101, 100}) {
    z.reset(900, percent);
    EXPECT_EQ(z.visibleSamples, 900) << percent;
  }
  z.reset(1, 1);
  EXPECT_EQ(z.visibleSamples, 1) << "never less than one slot";

  // Three pixels of 300 would be 10 slots: at least 900 / 50.
  z.reset(900);
  KurvanZoomTime(&z, 100, 102, 300);
  EXPECT_EQ(z.visibleSamples, 18);
  EXPECT_GE(z.timeOffset, 0);
  EXPECT_LE(z.timeOffset, 900 - 18);
  // The left half: the older 451 slots, ending 449 before the newest.
  z.reset(900);
  KurvanZoomTime(&z, 0, 149, 300);
  EXPECT_EQ(z.visibleSamples, 451);
  EXPECT_EQ(z.timeOffset, 449);
  // The lower quarter of a scale 101 high, and a slice too thin: at least 8000 / 500 units.
  KurvanZoomValue(&z, 75, 100, 101);
  EXPECT_EQ(z.visibleUnits, 2080);
  EXPECT_EQ(z.valueOffset, 0);
  z.reset(900);
  KurvanZoomValue(&z, 500, 500, 1001);
  EXPECT_EQ(z.visibleUnits, 16);
  EXPECT_LE(z.valueOffset, 8000 - 16);
  // Degenerate areas change nothing.
  const KurvanZoom before = z;
  KurvanZoomTime(&z, 0, 5, 0);
  KurvanZoomValue(&z, 0, 5, 1);
  EXPECT_EQ(z.visibleSamples, before.visibleSamples);
  EXPECT_EQ(z.visibleUnits, before.visibleUnits);
  // A tiny ring: total / 50 is 0, one slot is still shown.
  z.reset(10);
  KurvanZoomTime(&z, 0, 0, 300);
  EXPECT_EQ(z.visibleSamples, 1);
}

TEST(GrafScale, ScrollBarsMapOffsetsBothWays) {
  KurvanZoom z;
  z.reset(900);
  EXPECT_FALSE(KurvanTimeBar(z, 300).enabled);
  z.visibleSamples = 300;
  for (int offset : {0, 1, 299, 600}) {
    z.timeOffset = offset;
    const KurvanScrollBar bar = KurvanTimeBar(z, 300);
    EXPECT_TRUE(bar.enabled);
    EXPECT_EQ(bar.range, 900);
    EXPECT_EQ(bar.position, 600 - offset) << "the newest at the right end";
    EXPECT_EQ(KurvanTimeOffsetAt(z, bar.position, 300), offset);
  }
  EXPECT_EQ(KurvanTimeOffsetAt(z, -50, 300), 600);
  EXPECT_EQ(KurvanTimeOffsetAt(z, 5000, 300), 0);
  z.visibleUnits = 2000;
  z.valueOffset = 0;
  EXPECT_EQ(KurvanValueBar(z, 100).position, 300) << "the scale's bottom at the bar's end";
  EXPECT_EQ(KurvanValueOffsetAt(z, 0, 100), 6000);
}

TEST(GrafScale, MulDivAndSlots) {
  EXPECT_EQ(KurvanMulDiv(1, 1, 2), 1);
  EXPECT_EQ(KurvanMulDiv(-1, 1, 2), -1);
  EXPECT_EQ(KurvanMulDiv(900, 50, 100), 450);
  EXPECT_EQ(KurvanMulDiv(5, 7, 0), -1);
  EXPECT_EQ(KurvanMulDiv(2000000000, 2000000000, 1), std::numeric_limits<int>::max());
  EXPECT_EQ(KurvanWrapSlot(-1, 10), 9);
  EXPECT_EQ(KurvanWrapSlot(-21, 10), 9);
  EXPECT_EQ(KurvanWrapSlot(25, 10), 5);
}

}  // namespace
