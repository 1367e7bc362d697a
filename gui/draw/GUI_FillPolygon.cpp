// Scan-line polygon fill, arcs of a given pen width, filled ellipse bodies and the graph
// drawer with gaps.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_DrawIf.h"

namespace {

constexpr int kMaxCrossings = 12;

// The crossing list of one scan line, sorted ascending; used under the GUI lock.
int16_t gCrossings[kMaxCrossings];
int gNumCrossings;

void addCrossing(int x) {
  if (gNumCrossings >= kMaxCrossings) return;
  int i = gNumCrossings;
  while (i > 0 && gCrossings[i - 1] > x) {
    gCrossings[i] = gCrossings[i - 1];
    --i;
  }
  gCrossings[i] = static_cast<int16_t>(x);
  ++gNumCrossings;
}

GUI_RECT makeRect(int x0, int y0, int x1, int y1) {
  return {static_cast<int16_t>(x0), static_cast<int16_t>(y0), static_cast<int16_t>(x1), static_cast<int16_t>(y1)};
}

void hline(int x0, int y, int x1) { GUI_pContext->pLCD_HL->pfDrawHLine(x0, y, x1); }

}  // namespace

void GUI__FillPolygon(const GUI_POINT* p, int n, int x, int y) {
  if (!p || n <= 0) return;
  int yMin = 0x3FFF, yMax = -0x3FFF;
  for (int i = 0; i < n; ++i) {
    yMin = std::min<int>(yMin, p[i].y);
    yMax = std::max<int>(yMax, p[i].y);
  }
  if (const GUI_RECT* c = GUI_pContext->pClipRect_HL) {
    yMin = std::max(yMin, c->y0 - y);
    yMax = std::min(yMax, c->y1 - y);
  }
  for (int i = yMin; i <= yMax; ++i) {
    gNumCrossings = 0;
    for (int d = 0; d < n; ++d) {
      const GUI_POINT& a = p[d];
      const GUI_POINT& b = p[(d + 1) % n];
      if (a.y == i && b.y == i) {
        hline(x + std::min(a.x, b.x), y + i, x + std::max(a.x, b.x));
      } else if (a.y == i) {
        // A vertex on the line: the nearest earlier point off the line tells whether the
        // outline passes through (a crossing) or turns (a peak or valley: one pixel).
        int k = d;
        int prevY = i;
        for (int steps = 0; steps < n; ++steps) {
          k = (k + n - 1) % n;
          if (p[k].y != i) {
            prevY = p[k].y;
            break;
          }
        }
        if ((prevY < i && b.y > i) || (prevY > i && b.y < i))
          addCrossing(a.x);
        else
          GUI_pContext->pLCD_HL->pfDrawPixel(x + a.x, y + i);
      } else if ((a.y < i && b.y > i) || (a.y > i && b.y < i)) {
        const GUI_POINT& lo = a.y < b.y ? a : b;
        const GUI_POINT& hi = a.y < b.y ? b : a;
        // 64 bits: the product passes 32 bits for spans above about 46 000 pixels.
        const int64_t dy = hi.y - lo.y;
        const int64_t P = int64_t{hi.x - lo.x} * (i - lo.y);
        const int64_t xc = P > 0 ? lo.x + (P + (dy >> 1)) / dy : lo.x + (P + 1 - (dy >> 1)) / dy;
        addCrossing(static_cast<int>(xc));
      }
    }
    for (int c = 0; c + 1 < gNumCrossings; c += 2) hline(x + gCrossings[c], y + i, x + gCrossings[c + 1]);
  }
}

void GUI_FillPolygon(const GUI_POINT* pPoints, int numPoints, int x0, int y0) {
  if (!pPoints || numPoints <= 0) return;
  GUI_Lock();
  x0 += GUI_pContext->xOff;
  y0 += GUI_pContext->yOff;
  int xa = 0x3FFF, ya = 0x3FFF, xb = -0x3FFF, yb = -0x3FFF;
  for (int i = 0; i < numPoints; ++i) {
    xa = std::min<int>(xa, pPoints[i].x);
    xb = std::max<int>(xb, pPoints[i].x);
    ya = std::min<int>(ya, pPoints[i].y);
    yb = std::max<int>(yb, pPoints[i].y);
  }
  const GUI_RECT r = makeRect(x0 + xa, y0 + ya, x0 + xb, y0 + yb);
  for (int ok = WM__IterateStart(&r); ok; ok = WM__IterateNext()) GUI__FillPolygon(pPoints, numPoints, x0, y0);
  GUI_Unlock();
}

namespace {

// Smallest x with x * x >= v.
int ceilSqrt(int64_t v) {
  if (v <= 0) return 0;
  int r = static_cast<int>(GUI__sqrt32(static_cast<uint32_t>(std::min<int64_t>(v, 0xFFFFFFFF))));
  if (static_cast<int64_t>(r) * r < v) ++r;
  return r;
}

int floorSqrt(int64_t v) {
  if (v <= 0) return 0;
  return static_cast<int>(GUI__sqrt32(static_cast<uint32_t>(std::min<int64_t>(v, 0xFFFFFFFF))));
}

// One quadrant of an arc in local coordinates (x right, y up, both >= 0) between the local
// angles b0 <= b1 (degrees, 0..90), drawn with the mirror signs sx, sy.
void drawQuadrant(int xc, int yc, int rIn, int rOut, int b0, int b1, int sx, int sy) {
  const int64_t s0 = GUI__SinHQ(b0 * 1000), c0 = GUI__CosHQ(b0 * 1000);
  const int64_t s1 = GUI__SinHQ(b1 * 1000), c1 = GUI__CosHQ(b1 * 1000);
  int yFirst = 0, yLast = rOut;
  if (const GUI_RECT* c = GUI_pContext->pClipRect_HL) {
    // Rows outside the clip rectangle are not visited.
    const int ya = sy < 0 ? yc - c->y1 : c->y0 - yc;
    const int yb = sy < 0 ? yc - c->y0 : c->y1 - yc;
    yFirst = std::max(yFirst, ya);
    yLast = std::min(yLast, yb);
  }
  for (int y = yFirst; y <= yLast; ++y) {
    const int64_t yy = static_cast<int64_t>(y) * y;
    // Extents with the tolerance of the circle outline (r * r + r / 2), so that the top row of
    // a ring is not a single pixel.
    const int64_t outer2 = static_cast<int64_t>(rOut) * rOut + rOut / 2;
    const int64_t inner2 = static_cast<int64_t>(rIn) * rIn - rIn / 2;
    int hi = floorSqrt(outer2 - yy);
    const int next = y < rOut ? floorSqrt(outer2 - yy - 2 * y - 1) : -1;
    int lo = y < rIn ? ceilSqrt(inner2 - yy) : 0;
    // The outline stays connected: a row reaches in to the column after the next row's end.
    lo = std::min(lo, next + 1);
    lo = std::min(lo, hi);
    // Angle limits: b0 <= angle(x, y) <= b1.
    if (s0 > 0) {
      const int64_t xmax = y * c0 / s0;
      if (hi > xmax) hi = static_cast<int>(xmax);
    }
    if (s1 > 0) {
      const int64_t num = y * c1;
      const int64_t xmin = (num + s1 - 1) / s1;
      if (lo < xmin) lo = static_cast<int>(xmin);
    } else if (y > 0) {
      continue;  // b1 == 0: only the axis row
    }
    if (lo > hi) continue;
    const int xa = xc + sx * lo, xb = xc + sx * hi;
    hline(std::min(xa, xb), yc + sy * y, std::max(xa, xb));
  }
}

}  // namespace

void GUI_DrawArc(int xc, int yc, int rx, int /*ry*/, int a0, int a1) {
  GUI_Lock();
  xc += GUI_pContext->xOff;
  yc += GUI_pContext->yOff;
  const int pen = GUI_pContext->PenSize;
  const int rIn = std::max(0, rx - pen / 2);
  const int rOut = rx + pen / 2;
  a0 += 360;
  a1 += 360;
  const int turns = a0 >= 0 ? a0 / 360 : (a0 - 359) / 360;
  a0 -= turns * 360;
  a1 -= turns * 360;
  if (a1 - a0 > 720) a1 = a0 + 720;  // more than a turn draws nothing new
  const GUI_RECT area = makeRect(xc - rOut, yc - rOut, xc + rOut, yc + rOut);
  for (int ok = WM__IterateStart(&area); ok; ok = WM__IterateNext()) {
    int a = a0;
    while (a < a1) {
      const int q = a / 90;
      const int end = std::min(a1, (q + 1) * 90);
      const int base = q * 90;
      switch (q % 4) {
        case 0:
          drawQuadrant(xc, yc, rIn, rOut, a - base, end - base, 1, -1);
          break;
        case 1:
          drawQuadrant(xc, yc, rIn, rOut, 90 - (end - base), 90 - (a - base), -1, -1);
          break;
        case 2:
          drawQuadrant(xc, yc, rIn, rOut, a - base, end - base, -1, 1);
          break;
        default:
          drawQuadrant(xc, yc, rIn, rOut, 90 - (end - base), 90 - (a - base), 1, 1);
          break;
      }
      a = end;
    }
  }
  GUI_Unlock();
}

namespace {

void fillEllipse(int xc, int yc, int rx, int ry, int width) {
  if (rx < 0 || ry <= 0) return;
  const int rxi = width > 0 ? rx - width + 1 : 0;
  const int ryi = width > 0 ? ry - width + 1 : 0;
  int prev = rx;
  int prevInner = rxi;
  for (int i = 1; i <= ry; ++i) {
    const int64_t rx2 = static_cast<int64_t>(rx) * rx;
    const int wNew = static_cast<int>(GUI__sqrt32(static_cast<uint32_t>(rx2 - rx2 * i * i / (static_cast<int64_t>(ry) * ry))));
    const int w = prev != wNew ? prev - 1 : prev;
    prev = wNew;
    int wi = -1;  // inner half-width; -1: the row is drawn whole
    if (width > 0 && rxi > 0 && ryi > 0 && i < ryi) {
      const int64_t ri2 = static_cast<int64_t>(rxi) * rxi;
      const int wiNew =
          static_cast<int>(GUI__sqrt32(static_cast<uint32_t>(ri2 - ri2 * i * i / (static_cast<int64_t>(ryi) * ryi))));
      wi = prevInner != wiNew ? prevInner - 1 : prevInner;
      prevInner = wiNew;
    }
    for (int pass = 0; pass < (i > 1 ? 2 : 1); ++pass) {
      const int row = pass == 0 ? yc - i + 1 : yc + i - 1;
      if (wi < 0) {
        hline(xc, row, xc + w);
        hline(xc - w, row, xc - 1);
      } else {
        if (wi + 1 <= w) {
          hline(xc + wi + 1, row, xc + w);
          hline(xc - w, row, xc - wi - 1);
        }
      }
    }
  }
}

}  // namespace

void GUI__FillEllipseHalves(int xc, int yc, int rx, int ry) { fillEllipse(xc, yc, rx, ry, 0); }

void GUI__FillEllipseRing(int xc, int yc, int rx, int ry, int width) { fillEllipse(xc, yc, rx, ry, width); }

void GUI_DrawGraphEx(const int16_t* paY, int numPoints, int x0, int y0, int mul, int div, int reverse) {
  if (!paY || mul == 0 || div == 0 || numPoints <= 0) return;
  constexpr int16_t kGap = 32767;
  GUI_Lock();
  x0 += GUI_pContext->xOff;
  y0 += GUI_pContext->yOff;
  const GUI_RECT area = makeRect(x0, -16383, x0 + numPoints - 1, 16383);
  auto value = [&](int i) { return paY[reverse ? numPoints - 1 - i : i]; };
  auto screenY = [&](int v) { return y0 + v * mul / div; };
  for (int ok = WM__IterateStart(&area); ok; ok = WM__IterateNext()) {
    int first = 0, last = numPoints - 1;
    int cy0 = -0x3FFF, cy1 = 0x3FFF;
    if (const GUI_RECT* c = GUI_pContext->pClipRect_HL) {
      first = std::max(0, c->x0 - 1 - x0);
      last = std::min(last, c->x1 + 1 - x0);
      cy0 = c->y0;
      cy1 = c->y1;
    }
    bool prevValid = false;
    int prevY = 0;
    for (int i = first; i <= last; ++i) {
      const int16_t v = value(i);
      if (v == kGap) {
        prevValid = false;
        continue;
      }
      const int x = x0 + i;
      const int y = screenY(v);
      if (prevValid) {
        if (!((prevY < cy0 && y < cy0) || (prevY > cy1 && y > cy1))) {
          const int m = (prevY + y) / 2;
          LCD_DrawVLine(x - 1, std::min(prevY, m), std::max(prevY, m));
          LCD_DrawVLine(x, std::min(m, y), std::max(m, y));
        }
      } else if (i + 1 < numPoints && value(i + 1) == kGap) {
        // A point alone between gaps (or at the start before a gap) is one pixel.
        GUI_pContext->pLCD_HL->pfDrawPixel(x, y);
      }
      prevValid = true;
      prevY = y;
    }
  }
  GUI_Unlock();
}
