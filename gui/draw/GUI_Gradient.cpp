// Colour ramps and the ringed corners and circles of the widget skins.
#include <algorithm>
#include <cstring>

#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_DrawIf.h"

namespace {

GUI_RECT makeRect(int x0, int y0, int x1, int y1) {
  return {static_cast<int16_t>(x0), static_cast<int16_t>(y0), static_cast<int16_t>(x1), static_cast<int16_t>(y1)};
}

// Colour of step k of a ramp of len steps; every byte, the top one included.
GUI_COLOR rampColor(GUI_COLOR c0, GUI_COLOR c1, int k, int len) {
  GUI_COLOR r = 0;
  for (int j = 0; j < 4; ++j) {
    const int a = (c0 >> (8 * j)) & 0xFF;
    const int b = (c1 >> (8 * j)) & 0xFF;
    const int v = (a * len + len / 2 + k * (b - a)) / len;
    r |= static_cast<GUI_COLOR>(v & 0xFF) << (8 * j);
  }
  return r;
}

// Draws steps first..last (rows when vertical, columns otherwise) of the rectangle.
void drawRamp(int x0, int y0, int x1, int y1, GUI_COLOR c0, GUI_COLOR c1, bool vertical) {
  if (c0 == c1) {
    LCD_SetColor(c0);
    LCD_FillRect(x0, y0, x1, y1);
    return;
  }
  const int first = vertical ? y0 : x0;
  const int last = vertical ? y1 : x1;
  const int len = last - first;
  if (len <= 0) return;
  int runStart = first;
  GUI_COLOR runColor = rampColor(c0, c1, 0, len);
  for (int s = first + 1; s <= last + 1; ++s) {
    const bool end = s > last;
    const GUI_COLOR c = end ? 0 : rampColor(c0, c1, s - first, len);
    if (!end && c == runColor) continue;
    LCD_SetColor(runColor);
    const int runEnd = s - 1;
    if (runEnd > runStart) {
      if (vertical)
        LCD_FillRect(x0, runStart, x1, runEnd);
      else
        LCD_FillRect(runStart, y0, runEnd, y1);
    } else if (vertical) {
      LCD_DrawHLine(x0, runStart, x1);
    } else {
      LCD_DrawVLine(runStart, y0, y1);
    }
    runStart = s;
    runColor = c;
  }
}

void gradient(int x0, int y0, int x1, int y1, GUI_COLOR c0, GUI_COLOR c1, bool vertical) {
  GUI_Lock();
  // The foreground colour (and its index) is the caller's again afterwards.
  const GUI_COLOR savedColor = GUI_pContext->Color;
  const LCD_PIXELINDEX savedIndex = *GUI_pContext->LCD_pColorIndex;
  x0 += GUI_pContext->xOff;
  x1 += GUI_pContext->xOff;
  y0 += GUI_pContext->yOff;
  y1 += GUI_pContext->yOff;
  const GUI_RECT r = makeRect(x0, y0, x1, y1);
  for (int ok = WM__IterateStart(&r); ok; ok = WM__IterateNext()) drawRamp(x0, y0, x1, y1, c0, c1, vertical);
  GUI_pContext->Color = savedColor;
  *GUI_pContext->LCD_pColorIndex = savedIndex;
  GUI_Unlock();
}

// The rows j = 1..r-1 of two rounded corners; each row is drawn at y0 + j and, with
// `mirrorY`, also at mirrorY - j.
void ringedCorners(int x0, int x1, int y0, int r, const GUI_COLOR* colors, bool mirror, int y1) {
  if (r <= 0) return;
  for (int pass = 0; pass < 3; ++pass) {
    if (pass >= r) break;  // colour1 needs r >= 2, colour2 r >= 3
    LCD_SetColor(colors[pass]);
    for (int j = 1 + pass; j <= r - 1; ++j) {
      const int n = r - j;
      const int d1 = static_cast<int>(GUI__sqrt32(static_cast<uint32_t>(r * r - n * n)));
      const int d2 = n < r - 1 ? static_cast<int>(GUI__sqrt32(static_cast<uint32_t>((r - 1) * (r - 1) - n * n))) : 0;
      const int d3 = n < r - 2 ? d2 - 1 : 0;
      int la, lb, ra, rb;
      if (pass == 0) {
        la = x0 + r - d1, lb = x0 + r - d2 - 1, ra = x1 - r + d2 + 1, rb = x1 - r + d1;
      } else if (pass == 1) {
        la = x0 + r - d2, lb = x0 + r - d3 - 1, ra = x1 - r + d3 + 1, rb = x1 - r + d2;
      } else {
        la = x0 + r - d3, lb = x0 + r - 1, ra = x1 - r + 1, rb = x1 - r + d3;
      }
      for (int m = 0; m < (mirror ? 2 : 1); ++m) {
        const int y = m == 0 ? y0 + j : y1 - j;
        if (la <= lb) LCD_DrawHLine(la, y, lb);
        if (ra <= rb) LCD_DrawHLine(ra, y, rb);
      }
    }
  }
}

void withSavedColor(void (*draw)(const void*), const void* arg) {
  const GUI_COLOR savedColor = GUI_pContext->Color;
  const LCD_PIXELINDEX savedIndex = *GUI_pContext->LCD_pColorIndex;
  draw(arg);
  GUI_pContext->Color = savedColor;
  *GUI_pContext->LCD_pColorIndex = savedIndex;
}

}  // namespace

void GUI_DrawGradientV(int x0, int y0, int x1, int y1, GUI_COLOR color0, GUI_COLOR color1) {
  gradient(x0, y0, x1, y1, color0, color1, true);
}

void GUI_DrawGradientH(int x0, int y0, int x1, int y1, GUI_COLOR color0, GUI_COLOR color1) {
  gradient(x0, y0, x1, y1, color0, color1, false);
}

void GUI_DrawRoundedTop(int x0, int x1, int y0, int r, GUI_COLOR c0, GUI_COLOR c1, GUI_COLOR c2) {
  GUI_Lock();
  x0 += GUI_pContext->xOff;
  x1 += GUI_pContext->xOff;
  y0 += GUI_pContext->yOff;
  struct Args {
    int x0, x1, y0, r;
    GUI_COLOR c[3];
  } args = {x0, x1, y0, r, {c0, c1, c2}};
  const GUI_RECT area = makeRect(x0, y0, x1, y0 + r - 1);
  for (int ok = WM__IterateStart(&area); ok; ok = WM__IterateNext())
    withSavedColor(
        [](const void* p) {
          const Args* a = static_cast<const Args*>(p);
          ringedCorners(a->x0, a->x1, a->y0, a->r, a->c, false, 0);
        },
        &args);
  GUI_Unlock();
}

void GUI_FillRoundedRect(int x0, int y0, int x1, int y1, int r, GUI_COLOR c0, GUI_COLOR c1, GUI_COLOR c2) {
  GUI_Lock();
  x0 += GUI_pContext->xOff;
  x1 += GUI_pContext->xOff;
  y0 += GUI_pContext->yOff;
  y1 += GUI_pContext->yOff;
  struct Args {
    int x0, x1, y0, y1, r;
    GUI_COLOR c[3];
  } args = {x0, x1, y0, y1, r, {c0, c1, c2}};
  const GUI_RECT area = makeRect(x0, y0, x1, y1);
  for (int ok = WM__IterateStart(&area); ok; ok = WM__IterateNext())
    withSavedColor(
        [](const void* p) {
          const Args* a = static_cast<const Args*>(p);
          ringedCorners(a->x0, a->x1, a->y0, a->r, a->c, true, a->y1);
        },
        &args);
  GUI_Unlock();
}

void GUI_DrawRingedCircle(int x0, int y0, int d, GUI_COLOR c0, GUI_COLOR c1, GUI_COLOR c2) {
  if (d <= 0 || (d & 1)) return;
  GUI_Lock();
  x0 += GUI_pContext->xOff;
  y0 += GUI_pContext->yOff;
  struct Args {
    int x0, y0, d;
    GUI_COLOR c[3];
  } args = {x0, y0, d, {c0, c1, c2}};
  const GUI_RECT area = makeRect(x0, y0, x0 + d - 1, y0 + d - 1);
  for (int ok = WM__IterateStart(&area); ok; ok = WM__IterateNext())
    withSavedColor(
        [](const void* p) {
          const Args* a = static_cast<const Args*>(p);
          const int R = a->d / 2;
          const int xm = a->x0 + R;  // first column of the right half
          auto dist = [](int rr, int n) {
            return rr > n ? static_cast<int>(GUI__sqrt32(static_cast<uint32_t>(rr * rr - n * n))) : 0;
          };
          for (int pass = 0; pass < 3; ++pass) {
            LCD_SetColor(a->c[pass]);
            for (int k = 0; k < R; ++k) {
              const int n = R - 1 - k;  // rows from the middle
              const int d1 = dist(R, n), d2 = dist(R - 1, n), d3 = dist(R - 2, n);
              const int d4 = d3 > 0 ? d3 - 1 : 0;
              const int outer = pass == 0 ? d1 : pass == 1 ? d2 : d3;
              const int inner = pass == 0 ? d2 : pass == 1 ? d3 : d4;
              if (outer <= inner) continue;
              for (int m = 0; m < 2; ++m) {
                const int y = m == 0 ? a->y0 + k : a->y0 + a->d - 1 - k;
                LCD_DrawHLine(xm - outer, y, xm - inner - 1);
                LCD_DrawHLine(xm + inner, y, xm + outer - 1);
              }
            }
          }
        },
        &args);
  GUI_Unlock();
}

void GUI_DRAW__Draw(GUI_HMEM hDrawObj, int x, int y, int param) {
  if (!hDrawObj) return;
  GUI_Lock();
  GUI_DRAW_FUNC pfDraw = nullptr;
  if (const void* p = GUI_ALLOC_h2p(hDrawObj)) std::memcpy(&pfDraw, p, sizeof pfDraw);
  GUI_Unlock();
  if (pfDraw) pfDraw(hDrawObj, x, y, param);
}
