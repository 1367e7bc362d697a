// Rectangles (filled, outlined, dotted focus frame) and circles (outline and filled) at
// window level.
#include <algorithm>

#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_DrawIf.h"

namespace {

GUI_RECT makeRect(int x0, int y0, int x1, int y1) {
  return {static_cast<int16_t>(x0), static_cast<int16_t>(y0), static_cast<int16_t>(x1), static_cast<int16_t>(y1)};
}

// The eight symmetric points of (e, f) around (x, y); the mirrored four only when f != 0.
void plotSymmetric(int x, int y, int e, int f) {
  void (*px)(int, int) = GUI_pContext->pLCD_HL->pfDrawPixel;
  px(x + e, y + f);
  px(x - e, y + f);
  px(x + f, y + e);
  px(x + f, y - e);
  if (f != 0) {
    px(x + e, y - f);
    px(x - e, y - f);
    px(x - f, y + e);
    px(x - f, y - e);
  }
}

}  // namespace

void GUI__DrawCircle(int x, int y, int r) {
  if (r < 0) return;
  int i = 1, d = r, e = r, f = 0;
  const int stop = r * 707 / 1000 + 1;
  for (;;) {
    plotSymmetric(x, y, e, f);
    if (i > stop) break;
    if (r * r + r / 2 < i * i + d * d) {
      plotSymmetric(x, y, i, d);
      --d;
    }
    e = i;
    f = d;
    ++i;
  }
}

void GUI__FillCircle(int x, int y, int r) {
  if (r < 0) return;
  void (*hl)(int, int, int) = GUI_pContext->pLCD_HL->pfDrawHLine;
  hl(x - r, y, x + r);
  const int n = r * 707 / 1000 + 1;
  int w = r;
  for (int j = 1; j <= n; ++j) {
    if (r * r + r / 2 < j * j + w * w) {
      if (w > n) {
        hl(x - (j - 1), y + w, x + (j - 1));
        hl(x - (j - 1), y - w, x + (j - 1));
      }
      --w;
    }
    hl(x - w, y + j, x + w);
    hl(x - w, y - j, x + w);
  }
}

void GUI_FillRect(int x0, int y0, int x1, int y1) {
  GUI_Lock();
  x0 += GUI_pContext->xOff;
  x1 += GUI_pContext->xOff;
  y0 += GUI_pContext->yOff;
  y1 += GUI_pContext->yOff;
  const GUI_RECT r = makeRect(x0, y0, x1, y1);
  for (int ok = WM__IterateStart(&r); ok; ok = WM__IterateNext()) LCD_FillRect(x0, y0, x1, y1);
  GUI_Unlock();
}

void GUI_FillRectEx(const GUI_RECT* pRect) {
  if (pRect) GUI_FillRect(pRect->x0, pRect->y0, pRect->x1, pRect->y1);
}

void GUI_DrawRect(int x0, int y0, int x1, int y1) {
  GUI_Lock();
  x0 += GUI_pContext->xOff;
  x1 += GUI_pContext->xOff;
  y0 += GUI_pContext->yOff;
  y1 += GUI_pContext->yOff;
  const int d = GUI_pContext->PenSize - 1;
  const GUI_RECT r = makeRect(x0 - d, y0 - d, x1 + d, y1 + d);
  for (int ok = WM__IterateStart(&r); ok; ok = WM__IterateNext()) {
    LCD_DrawHLine(x0, y0, x1);
    LCD_DrawHLine(x0, y1, x1);
    if (y1 - y0 >= 2) {
      LCD_DrawVLine(x0, y0 + 1, y1 - 1);
      LCD_DrawVLine(x1, y0 + 1, y1 - 1);
    }
  }
  GUI_Unlock();
}

void GUI_DrawRectEx(const GUI_RECT* pRect) {
  if (pRect) GUI_DrawRect(pRect->x0, pRect->y0, pRect->x1, pRect->y1);
}

void GUI_DrawFocusRect(const GUI_RECT* pRect, int dist) {
  if (!pRect) return;
  GUI_Lock();
  GUI_RECT r;
  GUI__ExpandRect(&r, pRect, dist);
  GUI_MoveRect(&r, GUI_pContext->xOff, GUI_pContext->yOff);
  for (int ok = WM__IterateStart(&r); ok; ok = WM__IterateNext()) {
    for (int x = r.x0; x <= r.x1; x += 2) {
      LCD_DrawPixel(x, r.y0);
      LCD_DrawPixel(x, r.y1);
    }
    for (int y = r.y0; y <= r.y1; y += 2) {
      LCD_DrawPixel(r.x0, y);
      LCD_DrawPixel(r.x1, y);
    }
  }
  GUI_Unlock();
}

void GUI_DrawCircle(int x0, int y0, int r) {
  GUI_Lock();
  x0 += GUI_pContext->xOff;
  y0 += GUI_pContext->yOff;
  const GUI_RECT a = makeRect(x0 - r, y0 - r, x0 + r, y0 + r);
  for (int ok = WM__IterateStart(&a); ok; ok = WM__IterateNext()) GUI__DrawCircle(x0, y0, r);
  GUI_Unlock();
}

void GUI_FillCircle(int x0, int y0, int r) {
  GUI_Lock();
  x0 += GUI_pContext->xOff;
  y0 += GUI_pContext->yOff;
  const GUI_RECT a = makeRect(x0 - r, y0 - r, x0 + r, y0 + r);
  for (int ok = WM__IterateStart(&a); ok; ok = WM__IterateNext()) GUI__FillCircle(x0, y0, r);
  GUI_Unlock();
}
