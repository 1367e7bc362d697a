// Patterned lines: the lengths in device pixels, the walk that leaves the end point to the
// next line and keeps the rhythm, and lines that reach far outside the image.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

#include "trendview/line_pattern.h"

namespace {

std::vector<int> Lengths(const KurvanLinePattern& p) { return std::vector<int>(p.lengths, p.lengths + p.count); }

// The pixels of row y from x0 to x1 as '#' (black) and '.' (white).
std::string Row(const QImage& img, int y, int x0, int x1) {
  std::string s;
  for (int x = x0; x < x1; ++x) s += (img.pixel(x, y) & 0xFFFFFF) == 0 ? '#' : '.';
  return s;
}

QImage White(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(Qt::white);
  return img;
}

TEST(LinePattern, LengthsInDevicePixelsNeverZero) {
  struct Case {
    int index, dpi;
    std::vector<int> lengths;
  } cases[] = {
      {1, 96, {1, 1}},        // 0.15 mm is half a pixel on a screen: one pixel
      {1, 2540, {15, 15}},
      {2, 96, {2, 2}},
      {3, 96, {4, 4}},
      {5, 96, {9, 2, 2, 2, 2, 2, 2, 2}},
      {7, 1200, {118, 19, 118, 19, 118, 19, 19, 19, 19, 19, 19, 19}},
      {0, 96, {378}},
      {42, 96, {378}},        // unknown: solid
      {1, 0, {1, 1}},         // no resolution: a screen's
  };
  for (const Case& c : cases)
    EXPECT_EQ(Lengths(KurvanSelectPattern(c.index, c.dpi, Qt::black)), c.lengths) << c.index << " at " << c.dpi;
}

TEST(LinePattern, TheWalkKeepsItsRhythmAcrossLines) {
  QImage img = White(40, 4);
  QPainter p(&img);
  KurvanLinePattern grid = KurvanSelectPattern(1, 96, Qt::black);
  KurvanPatternLine(p, grid, QPoint(0, 0), QPoint(9, 0));
  KurvanPatternLine(p, grid, QPoint(9, 0), QPoint(20, 0));
  KurvanLinePattern dash = KurvanSelectPattern(2, 96, Qt::black);
  KurvanPatternLine(p, dash, QPoint(0, 1), QPoint(5, 1));
  KurvanPatternLine(p, dash, QPoint(5, 1), QPoint(12, 1));
  KurvanLinePattern solid = KurvanSelectPattern(0, 96, Qt::black);
  KurvanPatternLine(p, solid, QPoint(0, 2), QPoint(10, 2));
  KurvanLinePattern skipped = KurvanSelectPattern(2, 96, Qt::black);
  skipped.skip(3);
  KurvanPatternLine(p, skipped, QPoint(0, 3), QPoint(8, 3));
  p.end();
  EXPECT_EQ(Row(img, 0, 0, 22), "#.#.#.#.#.#.#.#.#.#...");
  EXPECT_EQ(Row(img, 1, 0, 14), "##..##..##....");
  EXPECT_EQ(Row(img, 2, 0, 12), "##########..") << "the end point is left to the next line";
  EXPECT_EQ(Row(img, 3, 0, 10), ".##..##...");
}

// A wide line (a printed page's, `width` pixels per screen pixel): the pattern as on a screen
// of dpi / width, enlarged, each drawn run one stroke that wide and as long as the run.
TEST(LinePattern, WideLinesAreTheScreensPatternEnlarged) {
  const struct {
    int index, dpi, width;
    std::vector<int> lengths;
  } cases[] = {
      {1, 192, 2, {2, 2}},
      {1, 1200, 12, {12, 12}},
      {2, 288, 3, {6, 6}},
      {5, 96, 1, {9, 2, 2, 2, 2, 2, 2, 2}},
      {1, 96, 0, {1, 1}},  // no width: one pixel
  };
  for (const auto& c : cases)
    EXPECT_EQ(Lengths(KurvanSelectPattern(c.index, c.dpi, Qt::black, c.width)), c.lengths) << c.index << " " << c.width;

  QImage img = White(24, 12);
  QPainter p(&img);
  KurvanLinePattern grid = KurvanSelectPattern(1, 192, Qt::black, 2);
  KurvanPatternLine(p, grid, QPoint(0, 2), QPoint(14, 2));
  KurvanLinePattern column = KurvanSelectPattern(1, 192, Qt::black, 2);
  KurvanPatternLine(p, column, QPoint(20, 0), QPoint(20, 8));
  p.end();
  // Two rows (1 and 2) of runs of two pixels; the rows beside them stay white.
  for (int y : {1, 2}) EXPECT_EQ(Row(img, y, 0, 16), "##..##..##..##..") << y;
  for (int y : {0, 3}) EXPECT_EQ(Row(img, y, 0, 16), "................") << y;
  std::string down;
  for (int y = 0; y < 10; ++y) down += (img.pixel(19, y) & 0xFFFFFF) == 0 && (img.pixel(20, y) & 0xFFFFFF) == 0 ? '#' : '.';
  EXPECT_EQ(down, "##..##....");
  EXPECT_EQ(Row(img, 4, 18, 23), ".##..") << "two pixels wide, around x 20";
}

TEST(LinePattern, SteepAndFarLines) {
  QImage img = White(8, 8);
  QPainter p(&img);
  KurvanLinePattern solid = KurvanSelectPattern(0, 96, Qt::black);
  KurvanPatternLine(p, solid, QPoint(1, 0), QPoint(1, 6));
  // Far outside: walked without drawing, and without end.
  KurvanLinePattern grid = KurvanSelectPattern(1, 96, Qt::black);
  KurvanPatternLine(p, grid, QPoint(-30000, 3), QPoint(30000, 3));
  KurvanPatternLine(p, grid, QPoint(5, -2000000), QPoint(5, -1000000));
  p.end();
  for (int y = 0; y < 6; ++y) EXPECT_EQ(img.pixel(1, y) & 0xFFFFFF, 0u) << y;
  EXPECT_EQ(img.pixel(1, 6) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(Row(img, 3, 2, 8), "#.#.#.");
}

}  // namespace
