// Rectangle arithmetic, rounding division, byte and word copying and filling, little-endian
// reads, string helpers and pixel access to bitmap data.
#include <cstddef>
#include <cstring>

#include "gui/draw/GUI_Draw.h"
#include "gui/WM.h"
#include "gui/bitmap/GUI_Bitmap.h"
#include "gui/draw/GUI_DrawIf.h"

void GUI_MergeRect(GUI_RECT* pDest, const GUI_RECT* pr0, const GUI_RECT* pr1) {
  if (!pDest) return;
  if (pr0 && pr1) {
    pDest->x0 = pr0->x0 < pr1->x0 ? pr0->x0 : pr1->x0;
    pDest->y0 = pr0->y0 < pr1->y0 ? pr0->y0 : pr1->y0;
    pDest->x1 = pr0->x1 > pr1->x1 ? pr0->x1 : pr1->x1;
    pDest->y1 = pr0->y1 > pr1->y1 ? pr0->y1 : pr1->y1;
  } else if (pr0) {
    *pDest = *pr0;
  } else if (pr1) {
    *pDest = *pr1;
  }
}

void GUI_MoveRect(GUI_RECT* pRect, int dx, int dy) {
  if (!pRect) return;
  pRect->x0 = static_cast<int16_t>(pRect->x0 + dx);
  pRect->x1 = static_cast<int16_t>(pRect->x1 + dx);
  pRect->y0 = static_cast<int16_t>(pRect->y0 + dy);
  pRect->y1 = static_cast<int16_t>(pRect->y1 + dy);
}

int GUI_RectsOverlap(const GUI_RECT* pr0, const GUI_RECT* pr1) {
  if (pr0->y0 > pr1->y1 || pr0->y1 < pr1->y0 || pr0->x0 > pr1->x1 || pr0->x1 < pr1->x0) return 0;
  return 1;
}

void GUI__IntersectRect(GUI_RECT* pDest, const GUI_RECT* pr0) {
  if (pDest->x0 < pr0->x0) pDest->x0 = pr0->x0;
  if (pDest->y0 < pr0->y0) pDest->y0 = pr0->y0;
  if (pDest->x1 > pr0->x1) pDest->x1 = pr0->x1;
  if (pDest->y1 > pr0->y1) pDest->y1 = pr0->y1;
}

int GUI__IntersectRects(GUI_RECT* pDest, const GUI_RECT* pr0, const GUI_RECT* pr1) {
  pDest->x0 = pr0->x0 > pr1->x0 ? pr0->x0 : pr1->x0;
  pDest->y0 = pr0->y0 > pr1->y0 ? pr0->y0 : pr1->y0;
  pDest->x1 = pr0->x1 < pr1->x1 ? pr0->x1 : pr1->x1;
  pDest->y1 = pr0->y1 < pr1->y1 ? pr0->y1 : pr1->y1;
  return pDest->x1 >= pDest->x0 && pDest->y1 >= pDest->y0;
}

void GUI__ReduceRect(GUI_RECT* pDest, const GUI_RECT* pRect, int dist) {
  pDest->x0 = static_cast<int16_t>(pRect->x0 + dist);
  pDest->y0 = static_cast<int16_t>(pRect->y0 + dist);
  pDest->x1 = static_cast<int16_t>(pRect->x1 - dist);
  pDest->y1 = static_cast<int16_t>(pRect->y1 - dist);
}

void GUI__ExpandRect(GUI_RECT* pDest, const GUI_RECT* pRect, int dist) { GUI__ReduceRect(pDest, pRect, -dist); }

void GUI__GetInsideRect(GUI_RECT* pRect) {
  if (!pRect) return;
  WM_GetInsideRectEx(GUI_pContext->hAWin, pRect);
}

int GUI__DivideRound(int a, int b) {
  if (b == 0) return 0;
  return a >= 0 ? (a + b / 2) / b : (a - b / 2) / b;
}

int GUI__DivideRoundPos(int a, int b) {
  if (b == 0) return 0;
  return (a + b / 2) / b;
}

namespace {

template <typename T>
void FillWords(void* dst, int n, T v) {
  if (n <= 0) return;
  auto* p = static_cast<uint8_t*>(dst);
  const size_t total = static_cast<size_t>(n) * sizeof(T);
  const size_t seed = total < 64 ? total : 64;
  for (size_t i = 0; i < seed; i += sizeof(T)) std::memcpy(p + i, &v, sizeof(T));
  for (size_t done = seed; done < total;) {
    const size_t chunk = done < total - done ? done : total - done;
    std::memcpy(p + done, p, chunk);
    done += chunk;
  }
}

}  // namespace

void GUI__FillWords16(void* p, int n, uint16_t v) { FillWords(p, n, v); }
void GUI__FillWords32(void* p, int n, uint32_t v) { FillWords(p, n, v); }

void GUI__memset16(uint16_t* p, uint16_t fill, int numWords) { GUI__FillWords16(p, numWords, fill); }

uint16_t GUI__Read16(const uint8_t** ppData) {
  const uint8_t* p = *ppData;
  *ppData = p + 2;
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t GUI__Read32(const uint8_t** ppData) {
  const uint8_t* p = *ppData;
  *ppData = p + 4;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

int GUI__strlen(const char* s) {
  if (!s) return -1;
  return static_cast<int>(std::strlen(s));
}

int GUI__strcmp(const char* s0, const char* s1) {
  if (!s0) s0 = "";
  if (!s1) s1 = "";
  return std::strcmp(s0, s1) == 0 ? 0 : 1;
}

LCD_PIXELINDEX GUI__GetPixelIndexFromData(int bitsPerPixel, int bytesPerLine, const uint8_t* pData, int x, int y) {
  const uint8_t* pLine = pData + static_cast<ptrdiff_t>(y) * bytesPerLine;
  switch (bitsPerPixel) {
    case 1:
      return (pLine[x >> 3] >> (7 - (x & 7))) & 1;
    case 2:
      return (pLine[x >> 2] >> (6 - 2 * (x & 3))) & 3;
    case 4:
      return (pLine[x >> 1] >> (4 - 4 * (x & 1))) & 15;
    case 8:
      return pLine[x];
    case 16: {
      const uint8_t* p = pLine + 2 * x;
      return static_cast<LCD_PIXELINDEX>(p[0] | (p[1] << 8));
    }
    case 32: {
      const uint8_t* p = pLine + 4 * x;
      return static_cast<LCD_PIXELINDEX>(p[0]) | (static_cast<LCD_PIXELINDEX>(p[1]) << 8) |
             (static_cast<LCD_PIXELINDEX>(p[2]) << 16) | (static_cast<LCD_PIXELINDEX>(p[3]) << 24);
    }
    default:
      return 0;
  }
}

LCD_PIXELINDEX GUI_GetBitmapPixelIndex(const GUI_BITMAP* pBitmap, unsigned x, unsigned y) {
  if (!pBitmap || !pBitmap->pData || x >= pBitmap->XSize || y >= pBitmap->YSize) return 0;
  return GUI__GetPixelIndexFromData(pBitmap->BitsPerPixel, pBitmap->BytesPerLine, pBitmap->pData, static_cast<int>(x),
                                    static_cast<int>(y));
}

GUI_COLOR GUI_GetBitmapPixelColor(const GUI_BITMAP* pBitmap, unsigned x, unsigned y) {
  if (!pBitmap || !pBitmap->pPal || !pBitmap->pPal->pPalEntries) return GUI_INVALID_COLOR;
  if (x >= pBitmap->XSize || y >= pBitmap->YSize) return GUI_INVALID_COLOR;
  const GUI_LOGPALETTE* pPal = pBitmap->pPal;
  const LCD_PIXELINDEX index = GUI_GetBitmapPixelIndex(pBitmap, x, y);
  if (pPal->HasTrans && index == 0) return GUI_INVALID_COLOR;
  if (pPal->NumEntries < 0 || index >= static_cast<LCD_PIXELINDEX>(pPal->NumEntries)) return GUI_INVALID_COLOR;
  return pPal->pPalEntries[index];
}

void GUI_SelectLCD() {
  GUI_LockGuard lock;
  GUI_CONTEXT* ctx = GUI_pContext;
  if (GUI_DEVICE* pMemDev = GUI_DEVICE_GetpDevice(ctx->SelLayer, DEVICE_CLASS_MEMDEV)) GUI_DEVICE_Unlink(pMemDev);
  ctx->hDevData = 0;
  ctx->pClipRect_HL = &ctx->ClipRect;
  LCD_SetClipRectMax();
  // The indices of a memory device's format mean other colours on the display.
  LCD_SetColorIndex(LCD_Color2Index(ctx->Color));
  LCD_SetBkColorIndex(LCD_Color2Index(ctx->BkColor));
  WM_Activate();
}

const GUI_RECT* GUI_SetClipRect(const GUI_RECT* pRect) {
  GUI_LockGuard lock;
  return WM_SetUserClipRect(pRect);
}

int GUI__SetText(GUI_HMEM* phText, const char* s) {
  if (!s) s = "";
  const char* old = *phText ? static_cast<const char*>(GUI_ALLOC_h2p(*phText)) : nullptr;
  if (old && GUI__strcmp(old, s) == 0) return 0;
  const int size = GUI__strlen(s) + 1;
  if (*phText && GUI_ALLOC_GetSize(*phText) == size) {
    std::memcpy(GUI_ALLOC_h2p(*phText), s, static_cast<size_t>(size));
    return 1;
  }
  const GUI_HMEM h = GUI_ALLOC_AllocNoInit(size);
  if (!h) return 0;
  std::memcpy(GUI_ALLOC_h2p(h), s, static_cast<size_t>(size));
  GUI_ALLOC_Free(*phText);
  *phText = h;
  return 1;
}

namespace {

struct AnimSlot {
  const void* pData;
  void (*pfHook)();
  int Value;
};
AnimSlot gAnimSlots[16];

}  // namespace

void GUI_CURSOR__SetAnimSlot(int layer, const void* pData, void (*pfHook)()) {
  if (layer < 0 || layer >= 16) return;
  gAnimSlots[layer].pData = pData;
  gAnimSlots[layer].pfHook = pfHook;
}

int GUI_CURSOR__GetAnimSlot(int layer, const void** ppData, void (**ppfHook)()) {
  if (layer < 0 || layer >= 16) return 0;
  if (ppData) *ppData = gAnimSlots[layer].pData;
  if (ppfHook) *ppfHook = gAnimSlots[layer].pfHook;
  return gAnimSlots[layer].Value;
}
