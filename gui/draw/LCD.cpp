// LCD-level drawing: colour and draw-mode setters, primitives clipped to the context's clip
// rectangle, bitmaps, clearing, and the start of the display.
#include <algorithm>

#include "gui/GUI_Private.h"

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }

void SetColorDefault(GUI_COLOR color) {
  if (color == Ctx().Color) return;
  Ctx().Color = color;
  LCD_SetColorIndex(LCD_Color2Index(color));
}
void SetBkColorDefault(GUI_COLOR color) {
  if (color == Ctx().BkColor) return;
  Ctx().BkColor = color;
  LCD_SetBkColorIndex(LCD_Color2Index(color));
}
int SetDrawModeDefault(int mode) {
  int old = Ctx().DrawMode;
  if ((old ^ mode) & GUI_DRAWMODE_REV) std::swap(*Ctx().LCD_pColorIndex, *Ctx().LCD_pBkColorIndex);
  Ctx().DrawMode = static_cast<uint8_t>(mode);
  return old;
}

bool Inside(int x, int y) {
  const GUI_RECT& c = Ctx().ClipRect;
  return x >= c.x0 && x <= c.x1 && y >= c.y0 && y <= c.y1;
}

void DrawMagnified(int x0, int y0, int xSize, int ySize, int xMag, int yMag, int bpp,
                   int bytesPerLine, const uint8_t* pData, int diff, const uint32_t* pTrans) {
  if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8) return;
  const GUI_RECT& c = Ctx().ClipRect;
  const uint32_t mask = (1u << bpp) - 1;
  const int perByte = 8 / bpp;
  const bool trans = Ctx().DrawMode & GUI_DRAWMODE_TRANS;
  uint32_t* pIndex = Ctx().LCD_pColorIndex;
  const uint32_t saved = *pIndex;
  for (int row = 0; row < ySize; ++row, pData += bytesPerLine) {
    int yTop = y0 + row * yMag;
    if (yTop + yMag - 1 < c.y0 || yTop > c.y1) continue;
    for (int k = 0; k < xSize; ++k) {
      int pos = diff + k;
      uint32_t v = (static_cast<uint32_t>(pData[pos / perByte]) >> (8 - bpp * (pos % perByte + 1))) & mask;
      if (v == 0 && trans) continue;
      *pIndex = pTrans ? pTrans[v] : v;
      int x = x0 + k * xMag;
      LCD_FillRect(x, yTop, x + xMag - 1, yTop + yMag - 1);
    }
  }
  *pIndex = saved;
}

}  // namespace

const LCD_SET_COLOR_API LCD_SetColorAPI_Default = {SetColorDefault, SetBkColorDefault, SetDrawModeDefault};
const LCD_SET_COLOR_API* LCD__pSetColorAPI = &LCD_SetColorAPI_Default;
LCD_DRAWBITMAP_FUNC* LCD__pfDrawBitmapOverride;

GUI_DEVICE* LCD__GetTopDevice() { return GUI_DEVICE__GetHead(Ctx().SelLayer); }

const GUICC* LCD__GetpCC() {
  GUI_DEVICE* d = LCD__GetTopDevice();
  return d ? d->pColorConvAPI : nullptr;
}

// --- colours and modes ------------------------------------------------------------------
void LCD_SetColor(GUI_COLOR color) { SetColorDefault(color); }
void LCD_SetBkColor(GUI_COLOR color) { SetBkColorDefault(color); }

void LCD_SetColorIndex(uint32_t index) {
  if (Ctx().DrawMode & GUI_DRAWMODE_REV)
    *Ctx().LCD_pBkColorIndex = index;
  else
    *Ctx().LCD_pColorIndex = index;
}
void LCD_SetBkColorIndex(uint32_t index) {
  if (Ctx().DrawMode & GUI_DRAWMODE_REV)
    *Ctx().LCD_pColorIndex = index;
  else
    *Ctx().LCD_pBkColorIndex = index;
}
uint32_t LCD_GetColorIndex() { return *Ctx().LCD_pColorIndex; }
uint32_t LCD_GetBkColorIndex() { return *Ctx().LCD_pBkColorIndex; }
int LCD_SetDrawMode(int mode) { return SetDrawModeDefault(mode); }

uint32_t LCD_Color2Index(GUI_COLOR color) {
  const GUICC* cc = LCD__GetpCC();
  return cc ? cc->pfColor2Index(color) : 0;
}
GUI_COLOR LCD_Index2Color(uint32_t index) {
  const GUICC* cc = LCD__GetpCC();
  return cc ? cc->pfIndex2Color(index) : 0;
}
GUI_COLOR LCD_Index2ColorEx(uint32_t index, int layer) {
  if (layer < 0 || layer >= GUI_NUM_LAYERS) return 0;
  GUI_DEVICE* d = GUI_DEVICE_GetDriver(layer);
  return d ? d->pColorConvAPI->pfIndex2Color(index) : 0;
}

// --- clipped primitives --------------------------------------------------------------------
void LCD_DrawPixel(int x, int y) {
  if (!Inside(x, y)) return;
  GUI_DEVICE* d = LCD__GetTopDevice();
  if (!d) return;
  if (Ctx().DrawMode & GUI_DRAWMODE_XOR)
    d->pDeviceAPI->pfXorPixel(d, x, y);
  else
    d->pDeviceAPI->pfSetPixelIndex(d, x, y, *Ctx().LCD_pColorIndex);
}

void LCD_SetPixelIndex(int x, int y, uint32_t index) {
  if (!Inside(x, y)) return;
  GUI_DEVICE* d = LCD__GetTopDevice();
  if (d) d->pDeviceAPI->pfSetPixelIndex(d, x, y, index);
}

void LCD_DrawHLine(int x0, int y, int x1) {
  const GUI_RECT& c = Ctx().ClipRect;
  if (y < c.y0 || y > c.y1) return;
  x0 = std::max<int>(x0, c.x0);
  x1 = std::min<int>(x1, c.x1);
  if (x0 > x1) return;
  GUI_DEVICE* d = LCD__GetTopDevice();
  if (d) d->pDeviceAPI->pfDrawHLine(d, x0, y, x1);
}

void LCD_DrawVLine(int x, int y0, int y1) {
  const GUI_RECT& c = Ctx().ClipRect;
  if (x < c.x0 || x > c.x1) return;
  y0 = std::max<int>(y0, c.y0);
  y1 = std::min<int>(y1, c.y1);
  if (y0 > y1) return;
  GUI_DEVICE* d = LCD__GetTopDevice();
  if (d) d->pDeviceAPI->pfDrawVLine(d, x, y0, y1);
}

void LCD_FillRect(int x0, int y0, int x1, int y1) {
  const GUI_RECT& c = Ctx().ClipRect;
  x0 = std::max<int>(x0, c.x0);
  y0 = std::max<int>(y0, c.y0);
  x1 = std::min<int>(x1, c.x1);
  y1 = std::min<int>(y1, c.y1);
  if (x0 > x1 || y0 > y1) return;
  GUI_DEVICE* d = LCD__GetTopDevice();
  if (d) d->pDeviceAPI->pfFillRect(d, x0, y0, x1, y1);
}

void LCD_SetClipRectMax() {
  GUI_DEVICE* d = LCD__GetTopDevice();
  if (d) d->pDeviceAPI->pfGetRect(d, &Ctx().ClipRect);
}

void LCD_SetClipRectEx(const GUI_RECT* pRect) {
  if (!pRect) {
    LCD_SetClipRectMax();
    return;
  }
  GUI_RECT max{};
  GUI_DEVICE* d = LCD__GetTopDevice();
  if (d) d->pDeviceAPI->pfGetRect(d, &max);
  GUI_RECT& c = Ctx().ClipRect;
  c.x0 = std::max(pRect->x0, max.x0);
  c.y0 = std::max(pRect->y0, max.y0);
  c.x1 = std::min(pRect->x1, max.x1);
  c.y1 = std::min(pRect->y1, max.y1);
}

void LCD_DrawBitmap(int x0, int y0, int xSize, int ySize, int xMag, int yMag, int bpp,
                    int bytesPerLine, const uint8_t* pData, const uint32_t* pTrans) {
  LCD_DrawBitmapEx(x0, y0, xSize, ySize, xMag, yMag, bpp, bytesPerLine, pData, 0, pTrans);
}

// x0 is the x of the bitmap's first pixel, which is pixel `diff` of the first data byte.
void LCD_DrawBitmapEx(int x0, int y0, int xSize, int ySize, int xMag, int yMag, int bpp,
                      int bytesPerLine, const uint8_t* pData, int diff, const uint32_t* pTrans) {
  if (LCD__pfDrawBitmapOverride) {
    LCD__pfDrawBitmapOverride(x0, y0, xSize, ySize, xMag, yMag, bpp, bytesPerLine, pData, diff, pTrans);
    return;
  }
  if (!pData || xSize <= 0 || ySize <= 0) return;
  if (xMag != 1 || yMag != 1) {
    DrawMagnified(x0, y0, xSize, ySize, xMag, yMag, bpp, bytesPerLine, pData, diff, pTrans);
    return;
  }
  const GUI_RECT& c = Ctx().ClipRect;
  if (y0 < c.y0) {
    int skip = c.y0 - y0;
    if (skip >= ySize) return;
    ySize -= skip;
    y0 = c.y0;
    pData += static_cast<ptrdiff_t>(skip) * bytesPerLine;
  }
  if (y0 + ySize - 1 > c.y1) ySize = c.y1 - y0 + 1;
  if (x0 + xSize - 1 > c.x1) xSize = c.x1 - x0 + 1;
  if (ySize <= 0 || xSize <= 0) return;
  int t = c.x0 > x0 ? c.x0 - x0 : 0;
  if (t >= xSize) return;
  int xDev;                        // x of the first pixel of the first data byte
  switch (bpp) {
    case 1:
    case 2:
    case 4: {
      int perByte = 8 / bpp;
      int pos = diff + t;
      pData += pos / perByte;
      diff = pos % perByte;
      xDev = x0 + t - diff;
      break;
    }
    case 8:
      pData += t;
      xDev = x0 + t;
      diff = 0;
      break;
    case 16:
      pData += 2 * t;
      xDev = x0 + t;
      diff = 0;
      break;
    case 24:
    case 32:
      pData += 4 * t;
      xDev = x0 + t;
      diff = 0;
      break;
    default:
      return;
  }
  xSize -= t;
  GUI_DEVICE* d = LCD__GetTopDevice();
  if (d) d->pDeviceAPI->pfDrawBitmap(d, xDev, y0, xSize, ySize, bpp, bytesPerLine, pData, diff, pTrans);
}

uint32_t LCD_GetPixelIndex(int x, int y) {
  GUI_DEVICE* d = LCD__GetTopDevice();
  if (!d) return 0;
  GUI_RECT r;
  d->pDeviceAPI->pfGetRect(d, &r);
  if (x < r.x0 || x > r.x1 || y < r.y0 || y > r.y1) return 0;
  return d->pDeviceAPI->pfGetPixelIndex(d, x, y);
}

const LCD_API_LINE_PIXEL LCD_APIListClipped = {LCD_DrawHLine, LCD_DrawPixel};

// --- window-level operations -------------------------------------------------------------
void GUI_ClearRect(int x0, int y0, int x1, int y1) {
  GUI_LockGuard lock;
  int oldMode = LCD__pSetColorAPI->pfSetDrawMode(GUI_DRAWMODE_REV);
  GUI_RECT r{static_cast<int16_t>(std::clamp(x0 + Ctx().xOff, -32768, 32767)),
             static_cast<int16_t>(std::clamp(y0 + Ctx().yOff, -32768, 32767)),
             static_cast<int16_t>(std::clamp(x1 + Ctx().xOff, -32768, 32767)),
             static_cast<int16_t>(std::clamp(y1 + Ctx().yOff, -32768, 32767))};
  if (WM__IterateStart(&r)) {
    do {
      LCD_FillRect(r.x0, r.y0, r.x1, r.y1);
    } while (WM__IterateNext());
  }
  LCD__pSetColorAPI->pfSetDrawMode(oldMode);
}

void GUI_ClearRectEx(const GUI_RECT* pRect) {
  if (pRect) GUI_ClearRect(pRect->x0, pRect->y0, pRect->x1, pRect->y1);
}

void GUI_Clear() {
  GUI_LockGuard lock;
  GUI_GotoXY(0, 0);
  GUI_ClearRect(-16383, -16383, 16383, 16383);
}

void GUI_InvertRect(int x0, int y0, int x1, int y1) {
  GUI_LockGuard lock;
  x0 += Ctx().xOff;
  x1 += Ctx().xOff;
  y0 += Ctx().yOff;
  y1 += Ctx().yOff;
  // Pixels outside the clip rectangle are not written: only the overlap is walked.
  const GUI_RECT& c = Ctx().ClipRect;
  x0 = std::max<int>(x0, c.x0);
  y0 = std::max<int>(y0, c.y0);
  x1 = std::min<int>(x1, c.x1);
  y1 = std::min<int>(y1, c.y1);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      LCD_SetPixelIndex(x, y, LCD_Color2Index(LCD_Index2Color(LCD_GetPixelIndex(x, y)) ^ 0x00FFFFFFu));
}

uint32_t GUI_GetPixelIndex(int x, int y) {
  GUI_LockGuard lock;
  return LCD_GetPixelIndex(x + Ctx().xOff, y + Ctx().yOff);
}

// --- start of the display ----------------------------------------------------------------------
int LCD_Init() {
  LCD_SetClipRectMax();
  if (LCD_InitPalConv()) return 1;
  int r = 0;
  for (int layer = 0; layer < GUI_NUM_LAYERS; ++layer) {
    GUI_DEVICE* d = GUI_DEVICE_GetDriver(layer);
    if (!d) continue;
    GUI_DEVICE* dev = d;
    auto* init = reinterpret_cast<int (*)(GUI_DEVICE*)>(d->pDeviceAPI->pfGetDevFunc(&dev, LCD_DEVFUNC_INIT));
    if (init) r |= init(dev);
  }
  if (r == 0) {
    LCD_InitLUT();
    if (GUI_GetDefaultBkColor() != GUI_INVALID_COLOR) {
      for (int layer = GUI_NUM_LAYERS - 1; layer >= 0; --layer) {
        if (!GUI_DEVICE_GetDriver(layer)) continue;
        Ctx().SelLayer = static_cast<uint8_t>(layer);
        LCD_SetClipRectMax();
        LCD_SetDrawMode(GUI_DRAWMODE_REV);
        LCD_FillRect(0, 0, 0x3FFF, 0x3FFF);
        LCD_SetDrawMode(0);
        LCD_OnEx(layer);
      }
    }
  }
  Ctx().SelLayer = 0;
  LCD_SetClipRectMax();
  return r;
}
