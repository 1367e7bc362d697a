// The bitmap record and its drawing: palette pictures through the device's DrawBitmap with a
// translation table, high-colour and alpha pictures through their methods; colour mixing and
// the shared line buffers.
#include "gui/bitmap/GUI_Bitmap.h"

#include <algorithm>
#include <cstring>

#include "gui/memdev/GUI_Memdev.h"

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }

// --- mixing ---------------------------------------------------------------------------------
GUI_COLOR DefaultMix(GUI_COLOR fg, GUI_COLOR bg, uint8_t i) {
  uint32_t r = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t f = (fg >> shift) & 0xFF, b = (bg >> shift) & 0xFF;
    r |= ((f * i + b * (255u - i) + 127) / 255) << shift;
  }
  return r | (bg & 0xFF000000u);
}
void DefaultMixBulk(const GUI_COLOR* pFg, GUI_COLOR* pBg, int n) {
  for (int k = 0; k < n; ++k) pBg[k] = GUI__AlphaBlend(pFg[k], pBg[k]);
}

GUI_MIX_FUNC* g_pfMix = DefaultMix;
GUI_MIX_BULK_FUNC* g_pfMixBulk = DefaultMixBulk;
uint32_t g_alphaMask = 0xFFFFFFFFu;
uint8_t g_aaGamma[16] = {0, 17, 34, 51, 68, 85, 102, 119, 136, 153, 170, 187, 204, 221, 238, 255};
int g_aaMixMode;

// --- shared line buffers ----------------------------------------------------------------------
int g_lineEntries;                 // 0 = the layer's x size
uint32_t* g_apLine[3];
int g_lineMade;

void ExitLines();
GUI_REGISTER_EXIT g_exitLines = {nullptr, ExitLines};
void ExitLines() {
  for (uint32_t*& p : g_apLine) {
    GUI_ALLOC_FreeFixedBlock(p);
    p = nullptr;
  }
  g_lineMade = 0;
}

}  // namespace

GUI_COLOR GUI__MixColors(GUI_COLOR fg, GUI_COLOR bg, uint8_t intensity) {
  return g_pfMix(fg, bg, intensity) & g_alphaMask;
}

GUI_COLOR GUI__AlphaBlend(GUI_COLOR c, GUI_COLOR bg) {
  uint32_t t = c >> 24;
  if (t == 0) return c;
  if (t == 0xFF) return bg;
  return GUI__MixColors(c, bg, static_cast<uint8_t>(t ^ 0xFF));
}

GUI_MIX_FUNC* GUI_SetFuncMixColors(GUI_MIX_FUNC* pf) {
  GUI_LockGuard lock;
  GUI_MIX_FUNC* old = g_pfMix;
  g_pfMix = pf ? pf : DefaultMix;
  return old;
}
GUI_MIX_BULK_FUNC* GUI_SetFuncMixColorsBulk(GUI_MIX_BULK_FUNC* pf) {
  GUI_LockGuard lock;
  GUI_MIX_BULK_FUNC* old = g_pfMixBulk;
  g_pfMixBulk = pf ? pf : DefaultMixBulk;
  return old;
}
uint32_t GUI_SetAlphaMask(uint32_t mask) {
  uint32_t old = g_alphaMask;
  g_alphaMask = mask;
  return old;
}
int GUI_SetLineBufferSize(int n) {
  GUI_LockGuard lock;
  int old = g_lineEntries;
  if (n > 0 && !g_lineMade) g_lineEntries = n;
  return old;
}
void GUI_SetAAGamma(const uint8_t* pTable) {
  if (pTable) std::memcpy(g_aaGamma, pTable, sizeof g_aaGamma);
}
void GUI_GetAAGamma(uint8_t* pBuffer) {
  if (pBuffer) std::memcpy(pBuffer, g_aaGamma, sizeof g_aaGamma);
}
void GUI_SetAAMixMode(int mode) { g_aaMixMode = mode; }

void GUI__DrawIndexLine(int x, int y, int n, uint32_t* pIndices, int bpp) {
  if (n <= 0) return;
  int bytes = n * 4;
  if (bpp < 32) {
    GUI__CompactPixelIndices(pIndices, n, bpp);
    bytes = (n * bpp + 7) / 8;
  }
  LCD_DrawBitmap(x, y, n, 1, 1, 1, bpp < 32 ? bpp : 32, bytes, reinterpret_cast<const uint8_t*>(pIndices), nullptr);
}

uint32_t* GUI__GetLineBuffer(int which, int* pNumEntries) {
  if (which < 0 || which > 2) return nullptr;
  if (!g_lineMade) {
    int n = g_lineEntries > 0 ? g_lineEntries : std::max(LCD_GetVXSizeMax(), LCD_GetXSizeMax());
    if (n <= 0) return nullptr;
    for (uint32_t*& p : g_apLine) {
      p = static_cast<uint32_t*>(GUI_ALLOC_GetFixedBlock(static_cast<uint32_t>(n) * 4));
      if (!p) {
        ExitLines();
        return nullptr;
      }
    }
    g_lineEntries = n;
    g_lineMade = 1;
    GUI__AddExitHook(&g_exitLines);
  }
  if (pNumEntries) *pNumEntries = g_lineEntries;
  return g_apLine[which];
}

// --- anti-aliased pixel writers --------------------------------------------------------------------
namespace {
void AAPixel(int x, int y, uint8_t intensity, bool trans) {
  if (intensity == 0 && trans) return;
  GUI_COLOR fg = LCD_Index2Color(LCD_GetColorIndex());
  GUI_COLOR bg = trans ? LCD_Index2Color(LCD_GetPixelIndex(x, y)) : LCD_Index2Color(LCD_GetBkColorIndex());
  LCD_SetPixelIndex(x, y, LCD_Color2Index(GUI__MixColors(fg, bg, intensity)));
}
uint8_t Scale4(uint8_t v) { return g_aaMixMode == 1 ? g_aaGamma[v & 15] : static_cast<uint8_t>((v & 15) * 17); }
void AA4Trans(int x, int y, uint8_t v) { AAPixel(x, y, Scale4(v), true); }
void AA4Normal(int x, int y, uint8_t v) { AAPixel(x, y, Scale4(v), false); }
void AA8Trans(int x, int y, uint8_t v) { AAPixel(x, y, v, true); }
void AA8Normal(int x, int y, uint8_t v) { AAPixel(x, y, v, false); }
}  // namespace

GUI_AAPIXEL_FUNC* GUI_GetAAPixelFunc(int bpp) {
  bool trans = Ctx().DrawMode & GUI_DRAWMODE_TRANS;
  if (bpp == 2 || bpp == 4) return trans ? AA4Trans : AA4Normal;
  if (bpp == 8) return trans ? AA8Trans : AA8Normal;
  return nullptr;
}

// --- drawing the record ------------------------------------------------------------------------
void GUI__DrawBitmap(const GUI_BITMAP* pBitmap, int x, int y) {
  if (!pBitmap) return;
  int oldMode = Ctx().DrawMode;
  int mode = (pBitmap->pPal && pBitmap->pPal->HasTrans) ? (oldMode | GUI_DRAWMODE_TRANS) : (oldMode & ~GUI_DRAWMODE_TRANS);
  LCD__pSetColorAPI->pfSetDrawMode(mode);
  if (pBitmap->pMethods) {
    if (pBitmap->pMethods->pfDraw)
      pBitmap->pMethods->pfDraw(x, y, pBitmap->XSize, pBitmap->YSize, pBitmap->pData, pBitmap->pPal, 1, 1);
  } else {
    const uint32_t* pTrans = nullptr;
    if (pBitmap->pPal)
      pTrans = LCD_GetpPalConvTable(pBitmap->pPal);
    else if (pBitmap->BitsPerPixel == 1)
      pTrans = Ctx().LCD_pAColorIndex;
    if (pBitmap->pPal && !pTrans) {
      LCD__pSetColorAPI->pfSetDrawMode(oldMode);
      return;
    }
    LCD_DrawBitmap(x, y, pBitmap->XSize, pBitmap->YSize, 1, 1, pBitmap->BitsPerPixel, pBitmap->BytesPerLine,
                   pBitmap->pData, pTrans);
  }
  LCD__pSetColorAPI->pfSetDrawMode(oldMode);
}

void GUI_DrawBitmap(const GUI_BITMAP* pBitmap, int x, int y) {
  if (!pBitmap) return;
  GUI_LockGuard lock;
  x += Ctx().xOff;
  y += Ctx().yOff;
  GUI_RECT r{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(x + pBitmap->XSize - 1),
             static_cast<int16_t>(y + pBitmap->YSize - 1)};
  GUI__RLE_ForgetResume();
  if (WM__IterateStart(&r)) {
    do {
      GUI__DrawBitmap(pBitmap, x, y);
    } while (WM__IterateNext());
  }
}

// --- high-colour drawers --------------------------------------------------------------------------
namespace {

uint32_t X4(uint32_t v) { return (v & 15) * 17; }
GUI_COLOR Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

// A pixel of a format as a colour with its transparency byte (0 opaque, 0xFF transparent).
typedef GUI_COLOR PIXEL_FUNC(const uint8_t* p);

template <GUI_COLOR (*F)(uint32_t)>
GUI_COLOR Pixel16(const uint8_t* p) { return F(GUI__LE16(p)); }
GUI_COLOR Pixel24(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16); }
GUI_COLOR Pixel32(const uint8_t* p) { return GUI__LE32(p); }
GUI_COLOR Pixel32I(const uint8_t* p) {
  uint32_t v = GUI__LE32(p);
  return (~v & 0xFF000000u) | ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}
template <GUI_COLOR (*F)(uint32_t)>
GUI_COLOR PixelA16(const uint8_t* p) { return F((p[1] << 8) | p[2]) | (static_cast<uint32_t>(p[0]) << 24); }

// Draws xSize x ySize pixels of `bytesPerPixel` bytes each: transparent ones are skipped,
// opaque ones written in runs, translucent ones blended with what is there.
void DrawPixels(int x0, int y0, int xSize, int ySize, const uint8_t* pData, int bytesPerPixel, PIXEL_FUNC* pf,
                int xMag, int yMag) {
  if (!pData || xSize <= 0 || ySize <= 0) return;
  const GUI_RECT& c = Ctx().ClipRect;
  const int bytesPerLine = xSize * bytesPerPixel;
  const GUICC* pCC = LCD__GetpCC();
  if (!pCC) return;
  if (xMag != 1 || yMag != 1) {
    uint32_t saved = LCD_GetColorIndex();
    for (int i = 0; i < ySize; ++i) {
      int yt = y0 + i * yMag;
      if (yt + yMag - 1 < c.y0 || yt > c.y1) continue;
      for (int k = 0; k < xSize; ++k) {
        GUI_COLOR col = pf(pData + static_cast<ptrdiff_t>(i) * bytesPerLine + k * bytesPerPixel);
        uint32_t t = col >> 24;
        int xl = x0 + k * xMag;
        if (t == 0xFF) continue;
        if (t == 0) {
          LCD_SetColorIndex(pCC->pfColor2Index(col));
          LCD_FillRect(xl, yt, xl + xMag - 1, yt + yMag - 1);
          continue;
        }
        for (int yy = yt; yy < yt + yMag; ++yy)
          for (int xx = xl; xx < xl + xMag; ++xx) GUI__MixPixel(xx, yy, static_cast<uint8_t>(t ^ 0xFF), col);
      }
    }
    LCD_SetColorIndex(saved);
    return;
  }
  int k0 = std::max(0, c.x0 - x0), k1 = std::min(xSize, c.x1 - x0 + 1);
  int i0 = std::max(0, c.y0 - y0), i1 = std::min(ySize, c.y1 - y0 + 1);
  if (k0 >= k1 || i0 >= i1) return;
  int bufEntries = 0;
  uint32_t* buf = GUI__GetLineBuffer(0, &bufEntries);
  int bpp = LCD__GetBPPDevice(pCC->pfGetIndexMask());
  for (int i = i0; i < i1; ++i) {
    const uint8_t* line = pData + static_cast<ptrdiff_t>(i) * bytesPerLine;
    int y = y0 + i;
    int start = 0, n = 0;
    auto flush = [&]() {
      if (n == 0) return;
      GUI__DrawIndexLine(x0 + start, y, n, buf, bpp);
      n = 0;
    };
    for (int k = k0; k < k1; ++k) {
      GUI_COLOR col = pf(line + k * bytesPerPixel);
      uint32_t t = col >> 24;
      if (t == 0xFF) {
        flush();
        continue;
      }
      if (t != 0) col = GUI__AlphaBlend(col, LCD_Index2Color(LCD_GetPixelIndex(x0 + k, y)));
      uint32_t index = pCC->pfColor2Index(col & (bpp == 32 ? 0xFFFFFFFFu : 0x00FFFFFFu));
      if (!buf) {
        LCD_SetPixelIndex(x0 + k, y, index);
        continue;
      }
      if (n == bufEntries) flush();
      if (n == 0) start = k;
      buf[n++] = index;
    }
    flush();
  }
}

// The layer's index of every value of an opaque 16-bit picture format, for one format and
// conversion each; two are kept, the one used longest ago is made again for a third.
struct Index16Table {
  GUI_COLOR (*pfFormat)(uint32_t);
  const GUICC* pCC;
  uint32_t lastUse;
  uint16_t index[65536];
};
Index16Table g_index16[2];
uint32_t g_index16Uses;

const uint16_t* Index16For(GUI_COLOR (*pfFormat)(uint32_t), const GUICC* pCC) {
  Index16Table* slot = &g_index16[0];
  for (Index16Table& t : g_index16) {
    if (t.pfFormat == pfFormat && t.pCC == pCC) {
      t.lastUse = ++g_index16Uses;
      return t.index;
    }
    if (t.lastUse < slot->lastUse) slot = &t;
  }
  for (uint32_t v = 0; v < 65536; ++v) slot->index[v] = static_cast<uint16_t>(pCC->pfColor2Index(pfFormat(v) & 0x00FFFFFFu));
  slot->pfFormat = pfFormat;
  slot->pCC = pCC;
  slot->lastUse = ++g_index16Uses;
  return slot->index;
}

// A 16-bit picture of another format into a 16-bit layer: each line converted through the
// table, then drawn as a line of the layer's own format. False when it cannot go this way.
bool DrawConverted16(int x0, int y0, int xSize, int ySize, const uint8_t* pData, GUI_COLOR (*pfFormat)(uint32_t),
                     const GUICC* pCC) {
  if (LCD__GetBPPDevice(pCC->pfGetIndexMask()) != 16) return false;
  int bufEntries = 0;
  auto* buf = reinterpret_cast<uint8_t*>(GUI__GetLineBuffer(0, &bufEntries));
  if (!buf || bufEntries <= 0) return false;
  const GUI_RECT& c = Ctx().ClipRect;
  int k0 = std::max(0, c.x0 - x0), k1 = std::min(xSize, c.x1 - x0 + 1);
  int i0 = std::max(0, c.y0 - y0), i1 = std::min(ySize, c.y1 - y0 + 1);
  if (k0 >= k1 || i0 >= i1) return true;
  const uint16_t* table = Index16For(pfFormat, pCC);
  for (int i = i0; i < i1; ++i) {
    const uint8_t* line = pData + static_cast<ptrdiff_t>(i) * xSize * 2;
    for (int k = k0; k < k1; k += bufEntries) {
      const int n = std::min(bufEntries, k1 - k);
      for (int j = 0; j < n; ++j) {
        const uint16_t index = table[GUI__LE16(line + 2 * (k + j))];
        std::memcpy(buf + 2 * j, &index, 2);
      }
      LCD_DrawBitmap(x0 + k, y0 + i, n, 1, 1, 1, 16, n * 2, buf, nullptr);
    }
  }
  return true;
}

// 16-bit pictures in the layer's own format go straight to the device, those of another
// format line by line through a conversion table.
template <GUI_COLOR (*F)(uint32_t)>
void Draw16(int x0, int y0, int xSize, int ySize, const uint8_t* pData, const GUI_LOGPALETTE*, int xMag, int yMag) {
  const GUICC* pCC = LCD__GetpCC();
  if (pCC && pCC->pfIndex2Color == F && xMag == 1 && yMag == 1) {
    LCD_DrawBitmap(x0, y0, xSize, ySize, 1, 1, 16, xSize * 2, pData, nullptr);
    return;
  }
  if (pCC && pData && xSize > 0 && ySize > 0 && xMag == 1 && yMag == 1 &&
      DrawConverted16(x0, y0, xSize, ySize, pData, F, pCC))
    return;
  DrawPixels(x0, y0, xSize, ySize, pData, 2, Pixel16<F>, xMag, yMag);
}

template <PIXEL_FUNC* PF, int B>
void DrawWith(int x0, int y0, int xSize, int ySize, const uint8_t* pData, const GUI_LOGPALETTE*, int xMag, int yMag) {
  DrawPixels(x0, y0, xSize, ySize, pData, B, PF, xMag, yMag);
}

GUI_COLOR C555(uint32_t v) { return Rgb(((v & 31) * 255 + 15) / 31, (((v >> 5) & 31) * 255 + 15) / 31, (((v >> 10) & 31) * 255 + 15) / 31); }
GUI_COLOR CM555(uint32_t v) { return Rgb((((v >> 10) & 31) * 255 + 15) / 31, (((v >> 5) & 31) * 255 + 15) / 31, ((v & 31) * 255 + 15) / 31); }
GUI_COLOR C444_12(uint32_t v) { return Rgb(X4(v), X4(v >> 4), X4(v >> 8)); }
GUI_COLOR CM444_12(uint32_t v) { return Rgb(X4(v >> 8), X4(v >> 4), X4(v)); }
GUI_COLOR C444_16(uint32_t v) { return Rgb(X4(v >> 4), X4(v >> 8), X4(v >> 12)); }
GUI_COLOR CM444_16(uint32_t v) { return Rgb(X4(v >> 12), X4(v >> 8), X4(v >> 4)); }
GUI_COLOR C444_12_1(uint32_t v) { return Rgb(X4(v >> 1), X4(v >> 6), X4(v >> 11)); }
GUI_COLOR CM444_12_1(uint32_t v) { return Rgb(X4(v >> 11), X4(v >> 6), X4(v >> 1)); }

}  // namespace

GUI_COLOR GUI__Index2Color565(uint32_t v) { return GUICC_565B_Index2Color(v); }
GUI_COLOR GUI__Index2ColorM565(uint32_t v) { return GUICC_565R_Index2Color(v); }
GUI_COLOR GUI__Index2Color555(uint32_t v) { return C555(v); }
GUI_COLOR GUI__Index2ColorM555(uint32_t v) { return CM555(v); }

const GUI_BITMAP_METHODS GUI_DRAW_BMP565 = {Draw16<GUICC_565B_Index2Color>, GUICC_565B_Index2Color, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMPM565 = {Draw16<GUICC_565R_Index2Color>, GUICC_565R_Index2Color, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMP555 = {Draw16<C555>, C555, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMPM555 = {Draw16<CM555>, CM555, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMP444_12 = {Draw16<C444_12>, C444_12, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMPM444_12 = {Draw16<CM444_12>, CM444_12, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMP444_16 = {Draw16<C444_16>, C444_16, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMPM444_16 = {Draw16<CM444_16>, CM444_16, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMP444_12_1 = {Draw16<C444_12_1>, C444_12_1, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMPM444_12_1 = {Draw16<CM444_12_1>, CM444_12_1, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMP24 = {DrawWith<Pixel24, 3>, nullptr, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMP8888 = {DrawWith<Pixel32, 4>, nullptr, DrawWith<Pixel32, 4>, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMPM8888I = {DrawWith<Pixel32I, 4>, nullptr, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMPA555 = {DrawWith<PixelA16<C555>, 3>, C555, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMPAM555 = {DrawWith<PixelA16<CM555>, 3>, CM555, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMPA565 = {DrawWith<PixelA16<GUICC_565B_Index2Color>, 3>, GUICC_565B_Index2Color,
                                             nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_BMPAM565 = {DrawWith<PixelA16<GUICC_565R_Index2Color>, 3>, GUICC_565R_Index2Color,
                                              nullptr, nullptr};
