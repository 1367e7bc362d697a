// Pixels, points and lines at window level, with pen size, pen shape and line styles;
// relative lines, poly-lines, polygons and the simple graph.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_DrawIf.h"

namespace {

// Quarter-wave sine in 1024ths, 17 entries in steps of 64 units of a 4096-unit turn.
const int kSin1024[17] = {0, 100, 200, 297, 392, 483, 569, 650, 724, 792, 851, 903, 946, 980, 1004, 1019, 1024};
// Arc tangent of i / 16 in 4096 units per turn.
const int kAtan[17] = {0, 41, 81, 121, 160, 197, 234, 269, 302, 334, 364, 393, 419, 445, 469, 491, 512};

// Linear interpolation in a 17-entry table over 0..1024, weights out of 64, rounded.
int interpolate(const int* table, int v) {
  const int i = v >> 6;
  const int f = v & 63;
  if (i >= 16) return table[16];
  return table[i] + ((table[i + 1] - table[i]) * f + 32) / 64;
}

int sin4096(int a) {
  a &= 4095;
  int sign = 1;
  if (a >= 2048) {
    a -= 2048;
    sign = -1;
  }
  if (a > 1024) a = 2048 - a;
  return sign * interpolate(kSin1024, a);
}

int cos4096(int a) { return sin4096(a + 1024); }

// Direction of (dx, dy) in 4096 units per turn.
int atan4096(int dx, int dy) {
  const int ax = std::abs(dx), ay = std::abs(dy);
  int a;
  if (ax >= ay)
    a = ax ? interpolate(kAtan, ay * 1024 / ax) : 0;
  else
    a = 1024 - interpolate(kAtan, ax * 1024 / ay);
  if (dx < 0) a = 2048 - a;
  if (dy < 0) a = 4096 - a;
  return a & 4095;
}

int ceilHalf(int v) { return v > 0 ? (v + 1) / 2 : v / 2; }
int floorHalf(int v) { return v > 0 ? v / 2 : (v - 1) / 2; }

// Whether a pixel with style counter n is left out.
bool leftOut(int style, int n) {
  const unsigned u = static_cast<unsigned>(n);
  switch (style) {
    case GUI_LS_DASH:
      return (u + 6) % 16 < 12;
    case GUI_LS_DOT:
      return u % 4 < 2;
    case GUI_LS_DASHDOT: {
      const unsigned m = u % 20;
      return m < 12 || m == 16 || m == 17;
    }
    case GUI_LS_DASHDOTDOT: {
      const unsigned m = u % 24;
      return m < 12 || m == 16 || m == 17 || m == 20 || m == 21;
    }
    default:
      return false;
  }
}

void drawPenDot(int x, int y) {
  const int pen = GUI_pContext->PenSize;
  if (pen <= 1)
    GUI_pContext->pLCD_HL->pfDrawPixel(x, y);
  else
    GUI__FillCircle(x, y, (pen - 1) / 2);
}

void drawThinLine(int x0, int y0, int x1, int y1, int* pCnt) {
  int dx = x1 - x0, dy = y1 - y0;
  if (dx == 0 && dy == 0) {
    drawPenDot(x0, y0);
    return;
  }
  const bool xMajor = std::abs(dx) >= std::abs(dy);
  const int major = xMajor ? dx : dy;
  const int style = GUI_pContext->LineStyle;
  const int cnt = pCnt ? *pCnt : 0;
  const bool swapped = major < 0;
  if (swapped) {
    std::swap(x0, x1);
    std::swap(y0, y1);
    dx = -dx;
    dy = -dy;
  }
  const int D = xMajor ? dx : dy;
  const int m = xMajor ? dy : dx;
  if (style == GUI_LS_SOLID) {
    if (m == 0) {
      if (xMajor)
        GUI_pContext->pLCD_HL->pfDrawHLine(x0, y0, x1);
      else
        LCD_DrawVLine(x0, y0, y1);
    } else {
      // Spans beyond about 46 000 pixels pass 32 bits in i * m.
      const int64_t h = m < 0 ? -(D / 2) : D / 2;
      for (int i = 0; i <= D; ++i) {
        const int minor = static_cast<int>((int64_t{i} * m + h) / D);
        if (xMajor)
          GUI_pContext->pLCD_HL->pfDrawPixel(x0 + i, y0 + minor);
        else
          GUI_pContext->pLCD_HL->pfDrawPixel(x0 + minor, y0 + i);
      }
    }
  } else {
    const int64_t h = m < 0 ? -(D / 2) : D / 2;
    for (int i = 0; i <= D; ++i) {
      // The counter runs from the given start point towards the given end point.
      const int n = swapped ? cnt + (D - i) : cnt + i;
      if (leftOut(style, n)) continue;
      const int minor = m ? static_cast<int>((int64_t{i} * m + h) / D) : 0;
      if (xMajor)
        GUI_pContext->pLCD_HL->pfDrawPixel(x0 + i, y0 + minor);
      else
        GUI_pContext->pLCD_HL->pfDrawPixel(x0 + minor, y0 + i);
    }
  }
  if (pCnt) *pCnt = cnt + D + 1;
}

void drawThickLine(int x0, int y0, int x1, int y1) {
  const int dx = x0 - x1, dy = y0 - y1;
  if (dx == 0 && dy == 0) return;
  const int pen = GUI_pContext->PenSize;
  const int a = atan4096(dx, dy) + 1024;
  const int ox = ((pen - 1) * cos4096(a) + 512) >> 10;
  const int oy = ((pen - 1) * sin4096(a) + 512) >> 10;
  const GUI_POINT corners[4] = {
      {static_cast<int16_t>(x0 + ceilHalf(ox)), static_cast<int16_t>(y0 + ceilHalf(oy))},
      {static_cast<int16_t>(x0 - floorHalf(ox)), static_cast<int16_t>(y0 - floorHalf(oy))},
      {static_cast<int16_t>(x1 - floorHalf(ox)), static_cast<int16_t>(y1 - floorHalf(oy))},
      {static_cast<int16_t>(x1 + ceilHalf(ox)), static_cast<int16_t>(y1 + ceilHalf(oy))},
  };
  GUI__FillPolygon(corners, 4, 0, 0);
  if (GUI_pContext->PenShape == GUI_PS_ROUND) {
    drawPenDot(x0, y0);
    drawPenDot(x1, y1);
  }
}

// Screen rectangle that a line with the current pen can touch.
GUI_RECT lineArea(int x0, int y0, int x1, int y1) {
  const int pen = GUI_pContext->PenSize;
  auto coord = [](int v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); };
  GUI_RECT r = {coord(std::min(x0, x1) - pen), coord(std::min(y0, y1) - pen), coord(std::max(x0, x1) + pen),
                coord(std::max(y0, y1) + pen)};
  return r;
}

// A line in window coordinates, for every visible rectangle; the style counter carries on.
void drawLineWin(int x0, int y0, int x1, int y1, int* pCnt) {
  const int xOff = GUI_pContext->xOff, yOff = GUI_pContext->yOff;
  x0 += xOff;
  x1 += xOff;
  y0 += yOff;
  y1 += yOff;
  const GUI_RECT area = lineArea(x0, y0, x1, y1);
  const int start = pCnt ? *pCnt : 0;
  int end = start;
  for (int ok = WM__IterateStart(&area); ok; ok = WM__IterateNext()) {
    int cnt = start;
    GUI__DrawLine(x0, y0, x1, y1, &cnt);
    end = cnt;
  }
  if (pCnt) *pCnt = end;
}

}  // namespace

void GUI__DrawLine(int x0, int y0, int x1, int y1, int* pStyleCount) {
  if (GUI_pContext->PenSize > 1)
    drawThickLine(x0, y0, x1, y1);
  else
    drawThinLine(x0, y0, x1, y1, pStyleCount);
}

void GUI_DrawPixel(int x, int y) {
  GUI_Lock();
  x += GUI_pContext->xOff;
  y += GUI_pContext->yOff;
  const GUI_RECT r = {static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(x), static_cast<int16_t>(y)};
  for (int ok = WM__IterateStart(&r); ok; ok = WM__IterateNext()) GUI_pContext->pLCD_HL->pfDrawPixel(x, y);
  GUI_Unlock();
}

void GUI_DrawPoint(int x, int y) {
  GUI_Lock();
  x += GUI_pContext->xOff;
  y += GUI_pContext->yOff;
  const int pen = GUI_pContext->PenSize;
  const GUI_RECT r = {static_cast<int16_t>(x - pen), static_cast<int16_t>(y - pen), static_cast<int16_t>(x + pen),
                      static_cast<int16_t>(y + pen)};
  for (int ok = WM__IterateStart(&r); ok; ok = WM__IterateNext()) drawPenDot(x, y);
  GUI_Unlock();
}

void GUI_DrawHLine(int y, int x0, int x1) {
  GUI_Lock();
  y += GUI_pContext->yOff;
  x0 += GUI_pContext->xOff;
  x1 += GUI_pContext->xOff;
  const GUI_RECT r = {static_cast<int16_t>(x0), static_cast<int16_t>(y), static_cast<int16_t>(x1), static_cast<int16_t>(y)};
  for (int ok = WM__IterateStart(&r); ok; ok = WM__IterateNext()) GUI_pContext->pLCD_HL->pfDrawHLine(x0, y, x1);
  GUI_Unlock();
}

void GUI_DrawVLine(int x, int y0, int y1) {
  GUI_Lock();
  x += GUI_pContext->xOff;
  y0 += GUI_pContext->yOff;
  y1 += GUI_pContext->yOff;
  const GUI_RECT r = {static_cast<int16_t>(x), static_cast<int16_t>(y0), static_cast<int16_t>(x), static_cast<int16_t>(y1)};
  for (int ok = WM__IterateStart(&r); ok; ok = WM__IterateNext()) LCD_DrawVLine(x, y0, y1);
  GUI_Unlock();
}

void GUI_DrawLine(int x0, int y0, int x1, int y1) {
  GUI_Lock();
  drawLineWin(x0, y0, x1, y1, nullptr);
  GUI_Unlock();
}

void GUI_DrawLineRel(int dx, int dy) {
  GUI_Lock();
  const int x = GUI_pContext->DrawPosX, y = GUI_pContext->DrawPosY;
  drawLineWin(x, y, x + dx, y + dy, nullptr);
  GUI_pContext->DrawPosX = static_cast<int16_t>(x + dx);
  GUI_pContext->DrawPosY = static_cast<int16_t>(y + dy);
  GUI_Unlock();
}

void GUI_DrawLineTo(int x, int y) {
  GUI_Lock();
  int x0 = GUI_pContext->DrawPosX, y0 = GUI_pContext->DrawPosY;
  int x1 = x, y1 = y;
  if (GUI__pRotation && GUI__pRotation->pfTransformRect) {
    // Under a rotation each end point is turned into its screen place (a one-point
    // rectangle keeps the line's direction), then taken back into window coordinates.
    auto turn = [](int* px, int* py) {
      GUI_RECT r = {static_cast<int16_t>(*px), static_cast<int16_t>(*py), static_cast<int16_t>(*px),
                    static_cast<int16_t>(*py)};
      GUI__pRotation->pfTransformRect(&r);
      *px = r.x0 - GUI_pContext->xOff;
      *py = r.y0 - GUI_pContext->yOff;
    };
    turn(&x0, &y0);
    turn(&x1, &y1);
  }
  drawLineWin(x0, y0, x1, y1, nullptr);
  GUI_pContext->DrawPosX = static_cast<int16_t>(x);
  GUI_pContext->DrawPosY = static_cast<int16_t>(y);
  GUI_Unlock();
}

void GUI_MoveRel(int dx, int dy) {
  GUI_Lock();
  GUI_pContext->DrawPosX = static_cast<int16_t>(GUI_pContext->DrawPosX + dx);
  GUI_pContext->DrawPosY = static_cast<int16_t>(GUI_pContext->DrawPosY + dy);
  GUI_Unlock();
}

void GUI_MoveTo(int x, int y) {
  GUI_Lock();
  GUI_pContext->DrawPosX = static_cast<int16_t>(x);
  GUI_pContext->DrawPosY = static_cast<int16_t>(y);
  GUI_Unlock();
}

namespace {

void drawPoly(const GUI_POINT* p, int n, int x0, int y0, bool close) {
  if (!p || n <= 0) return;
  GUI_Lock();
  int cnt = 0;
  int x = p[0].x + x0, y = p[0].y + y0;
  for (int i = 1; i < n; ++i) {
    const int nx = p[i].x + x0, ny = p[i].y + y0;
    drawLineWin(x, y, nx, ny, &cnt);
    x = nx;
    y = ny;
  }
  if (close && (p[n - 1].x != p[0].x || p[n - 1].y != p[0].y)) drawLineWin(x, y, p[0].x + x0, p[0].y + y0, &cnt);
  GUI_pContext->DrawPosX = static_cast<int16_t>(x);
  GUI_pContext->DrawPosY = static_cast<int16_t>(y);
  GUI_Unlock();
}

}  // namespace

void GUI_DrawPolyLine(const GUI_POINT* pPoints, int numPoints, int x0, int y0) {
  drawPoly(pPoints, numPoints, x0, y0, false);
}

void GUI_DrawPolygon(const GUI_POINT* pPoints, int numPoints, int x0, int y0) {
  drawPoly(pPoints, numPoints, x0, y0, true);
}

void GUI_DrawGraph(const int16_t* paY, int numPoints, int x0, int y0) {
  if (!paY || numPoints < 2) return;
  GUI_Lock();
  x0 += GUI_pContext->xOff;
  y0 += GUI_pContext->yOff;
  const GUI_RECT area = {static_cast<int16_t>(x0), -16383, static_cast<int16_t>(x0 + numPoints - 1), 16383};
  for (int ok = WM__IterateStart(&area); ok; ok = WM__IterateNext()) {
    const GUI_RECT& c = GUI_pContext->ClipRect;
    // Columns outside the clip columns are cut away first.
    int first = 1, last = numPoints - 1;
    if (x0 + first - 1 < c.x0) first = c.x0 - x0;
    if (first < 1) first = 1;
    if (x0 + last > c.x1) last = c.x1 - x0 + 1;
    if (last > numPoints - 1) last = numPoints - 1;
    for (int i = first; i <= last; ++i) {
      const int yp = y0 + paY[i - 1];
      const int y = y0 + paY[i];
      if ((yp < c.y0 && y < c.y0) || (yp > c.y1 && y > c.y1)) continue;
      const int m = (yp + y) / 2;
      LCD_DrawVLine(x0 + i - 1, std::min(yp, m), std::max(yp, m));
      LCD_DrawVLine(x0 + i, std::min(m, y), std::max(m, y));
    }
  }
  GUI_Unlock();
}
