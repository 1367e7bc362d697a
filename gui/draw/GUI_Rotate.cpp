// Rotated text: while a rotation is selected, glyph bitmaps laid out in an upright rectangle
// are drawn turned by 90 degrees either way or upside down into the rectangle given by the
// caller.
#include <algorithm>

#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_DrawIf.h"
#include "gui/bitmap/GUI_Bitmap.h"

const GUI_ROTATION* GUI__pRotation;


namespace {

// The rectangle given by the caller (window coordinates), before adjustment.
GUI_RECT gR;

struct Point {
  int x, y;
};

// The point maps add the origin of the window being drawn (its top-left corner on the screen).
int wx() { return GUI_pContext->xOff; }
int wy() { return GUI_pContext->yOff; }

Point mapCCW(int x, int y) { return {wx() + gR.x0 + (y - gR.y0), wy() + gR.y1 - (x - gR.x0)}; }
Point mapCW(int x, int y) { return {wx() + gR.x1 - (y - gR.y0), wy() + gR.y0 + (x - gR.x0)}; }
Point map180(int x, int y) { return {wx() + gR.x0 + gR.x1 - x, wy() + gR.y0 + gR.y1 - y}; }

bool inClip(const Point& p) {
  const GUI_RECT& c = GUI_pContext->ClipRect;
  return p.x >= c.x0 && p.x <= c.x1 && p.y >= c.y0 && p.y <= c.y1;
}

// Writes one source pixel of value v (bits per pixel bpp) at screen point p, by draw mode.
// Deeper glyph data (2, 4 or 8 bits) is anti-aliased: pfAA mixes the foreground into the
// background by the pixel's intensity.
void writePixel(const Point& p, LCD_PIXELINDEX v, int bpp, const LCD_PIXELINDEX* pTrans, GUI_AAPIXEL_FUNC* pfAA) {
  const int mode = GUI_pContext->DrawMode;
  if (bpp == 1) {
    if (mode & GUI_DRAWMODE_XOR) {
      if (v) LCD_DrawPixel(p.x, p.y);  // in XOR mode the pixel is inverted by the device
      return;
    }
    if ((mode & GUI_DRAWMODE_TRANS) && !v) return;
    LCD_SetPixelIndex(p.x, p.y, pTrans ? pTrans[v] : v);
    return;
  }
  if (!pfAA) {
    if (v) LCD_SetPixelIndex(p.x, p.y, LCD_GetColorIndex());
    return;
  }
  // 2-bit values 0..3 go through the 4-bit writer as 0, 5, 10, 15.
  pfAA(p.x, p.y, static_cast<uint8_t>(bpp == 2 ? v * 5 : v));
}

// The one drawing routine of the three rotations: each pixel of the upright bitmap goes
// through the rotation's point map; magnified pixels become blocks.
void drawRotated(Point (*map)(int, int), int x0, int y0, int xsize, int ysize, int xmag, int ymag, int bpp,
                 int bytesPerLine, const uint8_t* pData, int diff, const LCD_PIXELINDEX* pTrans) {
  if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8) return;
  if (xmag < 1) xmag = 1;
  if (ymag < 1) ymag = 1;
  // Quick rejection: the mapped area against the clip rectangle.
  const Point a = map(x0, y0);
  const Point b = map(x0 + xsize * xmag - 1, y0 + ysize * ymag - 1);
  const GUI_RECT& c = GUI_pContext->ClipRect;
  if (std::max(a.x, b.x) < c.x0 || std::min(a.x, b.x) > c.x1 || std::max(a.y, b.y) < c.y0 || std::min(a.y, b.y) > c.y1)
    return;
  const int perByte = 8 / bpp;
  GUI_AAPIXEL_FUNC* pfAA = bpp == 1 ? nullptr : GUI_GetAAPixelFunc(bpp == 2 ? 4 : bpp);
  for (int sy = 0; sy < ysize; ++sy) {
    const uint8_t* pLine = pData + sy * bytesPerLine;
    for (int sx = 0; sx < xsize; ++sx) {
      const int pos = diff + sx;
      const int shift = 8 - bpp * (pos % perByte + 1);
      const LCD_PIXELINDEX v = (pLine[pos / perByte] >> shift) & ((1u << bpp) - 1);
      for (int my = 0; my < ymag; ++my)
        for (int mx = 0; mx < xmag; ++mx) {
          const Point p = map(x0 + sx * xmag + mx, y0 + sy * ymag + my);
          if (inClip(p)) writePixel(p, v, bpp, pTrans, pfAA);
        }
    }
  }
}

void drawCCW(int x0, int y0, int xs, int ys, int xm, int ym, int bpp, int bpl, const uint8_t* p, int diff,
             const LCD_PIXELINDEX* t) {
  drawRotated(mapCCW, x0, y0, xs, ys, xm, ym, bpp, bpl, p, diff, t);
}
void drawCW(int x0, int y0, int xs, int ys, int xm, int ym, int bpp, int bpl, const uint8_t* p, int diff,
            const LCD_PIXELINDEX* t) {
  drawRotated(mapCW, x0, y0, xs, ys, xm, ym, bpp, bpl, p, diff, t);
}
void draw180(int x0, int y0, int xs, int ys, int xm, int ym, int bpp, int bpl, const uint8_t* p, int diff,
             const LCD_PIXELINDEX* t) {
  drawRotated(map180, x0, y0, xs, ys, xm, ym, bpp, bpl, p, diff, t);
}

// Width and height exchanged, top-left corner kept.
void adjustQuarter(GUI_RECT* r) {
  const int w = r->x1 - r->x0, h = r->y1 - r->y0;
  r->x1 = static_cast<int16_t>(r->x0 + h);
  r->y1 = static_cast<int16_t>(r->y0 + w);
}
void adjustNone(GUI_RECT*) {}

// Both corners through the point map; the result is ordered so that x0 <= x1 and y0 <= y1
// for either turning direction.
void transform(Point (*map)(int, int), GUI_RECT* r) {
  const Point a = map(r->x0, r->y0);
  const Point b = map(r->x1, r->y1);
  r->x0 = static_cast<int16_t>(std::min(a.x, b.x));
  r->x1 = static_cast<int16_t>(std::max(a.x, b.x));
  r->y0 = static_cast<int16_t>(std::min(a.y, b.y));
  r->y1 = static_cast<int16_t>(std::max(a.y, b.y));
}
void transformCCW(GUI_RECT* r) { transform(mapCCW, r); }
void transformCW(GUI_RECT* r) { transform(mapCW, r); }

}  // namespace

const GUI_ROTATION GUI_ROTATE_CCW_Record = {drawCCW, adjustQuarter, transformCCW};
const GUI_ROTATION GUI_ROTATE_CW_Record = {drawCW, adjustQuarter, transformCW};
const GUI_ROTATION GUI_ROTATE_180_Record = {draw180, adjustNone, nullptr};

namespace {
// The bitmap override that was installed before a rotation took the bitmap path.
LCD_DRAWBITMAP_FUNC* gSavedOverride;
}  // namespace

const GUI_ROTATION* GUI_SetRotation(const GUI_ROTATION* pRotation) {
  GUI_Lock();
  const GUI_ROTATION* old = GUI__pRotation;
  // While a rotation is selected, every bitmap that reaches the LCD level (the glyphs) goes
  // to the rotation's drawer instead of the device.
  if (!old && pRotation) gSavedOverride = LCD__pfDrawBitmapOverride;
  LCD__pfDrawBitmapOverride = pRotation ? pRotation->pfDrawBitmap : gSavedOverride;
  if (!pRotation) gSavedOverride = nullptr;
  GUI__pRotation = pRotation;
  GUI_pContext->pClipRect_HL = pRotation ? nullptr : &GUI_pContext->ClipRect;
  GUI_Unlock();
  return old;
}

void GUI__SetRotationRect(const GUI_RECT* pRect) { gR = *pRect; }
