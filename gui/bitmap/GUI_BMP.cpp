// BMP files drawn from memory or through a get-data callback, clipped to the visible
// rectangles, reading only the bytes of visible pixels; uncompressed, run-length (4 and 8
// bit) and bit-field files.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "gui/bitmap/GUI_Bitmap.h"

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }


struct Reader {
  GUI_GET_DATA_FUNC* pf;
  void* pParam;
  // n bytes at off, or null on a short read; buf receives them when the callback copies.
  const uint8_t* At(uint32_t off, uint32_t n, uint8_t* buf) const {
    const uint8_t* p = buf;
    int got = pf(pParam, &p, n, off);
    if (got < 0 || static_cast<uint32_t>(got) < n || !p) return nullptr;
    return p;
  }
};

struct Header {
  uint32_t dataOff;
  int32_t width, height;
  int lines;
  bool bottomUp;
  int bpp, compression, palSize;
  uint32_t masks[3];
  uint32_t stride;
};

constexpr int kMaxSide = 0x7FFF;

// Reads and checks the header: 0 = accepted.
int ReadHeader(const Reader& rd, Header* h) {
  uint8_t buf[66];
  const uint8_t* p = rd.At(0, 54, buf);
  if (!p) return 1;
  if (GUI__LE16(p) != 0x4D42) return 1;
  h->dataOff = GUI__LE32(p + 10);
  h->width = static_cast<int32_t>(GUI__LE32(p + 18));
  h->height = static_cast<int32_t>(GUI__LE32(p + 22));
  h->bpp = static_cast<int>(GUI__LE16(p + 28));
  h->compression = static_cast<int>(GUI__LE32(p + 30));
  uint32_t used = GUI__LE32(p + 46);
  switch (h->bpp) {
    case 1: h->palSize = 2; break;
    case 4: h->palSize = 16; break;
    case 8: h->palSize = 256; break;
    case 16:
    case 24:
    case 32: h->palSize = 0; break;
    default: return 1;
  }
  if (h->palSize && used) {
    if (used > 256) return 1;
    h->palSize = static_cast<int>(used);
  }
  if (GUI__LE32(p + 30) > 3) return 1;
  if (h->compression == 1 && h->bpp != 8) return 1;
  if (h->compression == 2 && h->bpp != 4) return 1;
  if (h->compression == 3 && h->bpp != 16 && h->bpp != 32) return 1;
  if (h->width <= 0 || h->width > kMaxSide || h->height == 0 || h->height < -kMaxSide || h->height > kMaxSide)
    return 1;
  h->bottomUp = h->height > 0;
  h->lines = std::abs(h->height);
  if ((h->compression == 1 || h->compression == 2) && !h->bottomUp) return 1;
  h->stride = static_cast<uint32_t>((static_cast<uint64_t>(h->width) * h->bpp + 31) / 8) & ~3u;
  if (h->compression == 3) {
    const uint8_t* m = rd.At(54, 12, buf);
    if (!m) return 1;
    for (int i = 0; i < 3; ++i) h->masks[i] = GUI__LE32(m + 4 * i);
  }
  return 0;
}

// One channel of a bit-field pixel scaled to 0..255; an empty mask gives 0.
uint32_t Channel(uint32_t v, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  int len = 0;
  while (shift + len < 32 && ((mask >> (shift + len)) & 1)) ++len;
  uint64_t max = (1ull << len) - 1;
  return static_cast<uint32_t>(((v & mask) >> shift) * 255ull / max);
}

// The default line function of 32-bit files: blue, green, red, the fourth byte ignored.
GUI_COLOR Pixel32Default(const uint8_t* p) { return p[2] | (p[1] << 8) | (p[0] << 16); }
GUI_COLOR (*g_pfPixel32)(const uint8_t*) = Pixel32Default;

GUI_COLOR PixelColor(const Header& h, const uint8_t* p) {
  if (h.compression == 3) {
    uint32_t v = h.bpp == 16 ? GUI__LE16(p) : GUI__LE32(p);
    return Channel(v, h.masks[0]) | (Channel(v, h.masks[1]) << 8) | (Channel(v, h.masks[2]) << 16);
  }
  switch (h.bpp) {
    case 16: {
      uint32_t v = GUI__LE16(p);
      return ((((v >> 10) & 31) * 255 / 31)) | ((((v >> 5) & 31) * 255 / 31) << 8) | (((v & 31) * 255 / 31) << 16);
    }
    case 24: return p[2] | (p[1] << 8) | (p[0] << 16);
    default: return g_pfPixel32(p);
  }
}

struct Palette {
  uint32_t trans[256];
};
int ReadPalette(const Reader& rd, const Header& h, Palette* pal) {
  std::fill(pal->trans, pal->trans + 256, 0u);
  if (!h.palSize) return 0;
  uint8_t buf[1024];
  const uint8_t* p = rd.At(54, 4u * static_cast<uint32_t>(h.palSize), buf);
  if (!p) return 1;
  for (int i = 0; i < h.palSize; ++i)
    pal->trans[i] = LCD_Color2Index(p[4 * i + 2] | (p[4 * i + 1] << 8) | (p[4 * i] << 16));
  return 0;
}

// Draws the uncompressed file for the current clip rectangle.
int DrawPlain(const Reader& rd, const Header& h, const Palette& pal, int x0, int y0) {
  const GUI_RECT& c = Ctx().ClipRect;
  int k0 = std::max(0, c.x0 - x0), k1 = std::min<int>(h.width, c.x1 - x0 + 1);
  int r0 = std::max(0, c.y0 - y0), r1 = std::min<int>(h.lines, c.y1 - y0 + 1);
  if (k0 >= k1 || r0 >= r1) return 0;
  uint32_t firstByte = static_cast<uint32_t>(static_cast<uint64_t>(k0) * h.bpp / 8);
  uint32_t lastByte = static_cast<uint32_t>((static_cast<uint64_t>(k1) * h.bpp + 7) / 8);
  uint32_t n = lastByte - firstByte;
  GUI_HMEM hBuf = GUI_ALLOC_AllocNoInit(static_cast<int32_t>(n));
  if (!hBuf) return 1;
  auto* buf = static_cast<uint8_t*>(GUI_ALLOC_LockH(hBuf));
  const GUICC* pCC = LCD__GetpCC();
  int dstBpp = pCC ? LCD__GetBPPDevice(pCC->pfGetIndexMask()) : 16;
  uint32_t idx[128];
  int result = 0;
  // Bottom-first files are drawn from the last line upwards.
  for (int step = 0; step < r1 - r0; ++step) {
    int row = h.bottomUp ? r1 - 1 - step : r0 + step;
    int fileLine = h.bottomUp ? h.lines - 1 - row : row;
    uint64_t off = h.dataOff + static_cast<uint64_t>(fileLine) * h.stride + firstByte;
    const uint8_t* p = off <= UINT32_MAX ? rd.At(static_cast<uint32_t>(off), n, buf) : nullptr;
    if (!p) {
      result = 1;
      break;
    }
    int y = y0 + row;
    if (h.bpp <= 8) {
      int diff = static_cast<int>((static_cast<uint64_t>(k0) * h.bpp) % 8) / h.bpp;
      LCD_DrawBitmapEx(x0 + k0, y, k1 - k0, 1, 1, 1, h.bpp, static_cast<int>(n), p, diff, pal.trans);
      continue;
    }
    int bytesPerPixel = h.bpp / 8;
    for (int k = k0; k < k1; k += 128) {
      int m = std::min(128, k1 - k);
      for (int j = 0; j < m; ++j) idx[j] = pCC ? pCC->pfColor2Index(PixelColor(h, p + (k - k0 + j) * bytesPerPixel)) : 0;
      GUI__DrawIndexLine(x0 + k, y, m, idx, dstBpp);
    }
  }
  GUI_ALLOC_UnlockH(&buf);
  GUI_ALLOC_Free(hBuf);
  return result;
}

// Run-length files, decoded from the bottom line upwards.
int DrawRLE(const Reader& rd, const Header& h, const Palette& pal, int x0, int y0) {
  const bool four = h.compression == 2;
  uint32_t off = h.dataOff;
  int col = 0, row = 0;            // row 0 = bottom line
  uint32_t saved = LCD_GetColorIndex();
  auto screenY = [&](int r) { return y0 + h.lines - 1 - r; };
  auto setIndex = [&](uint32_t v) { LCD_SetColorIndex(pal.trans[v & 0xFF]); };
  // Fills from the current position over n pixels of the same line with palette colour 0.
  auto fillTo = [&](int r, int from, int to) {
    if (r >= h.lines || from >= to) return;
    setIndex(0);
    LCD_DrawHLine(x0 + from, screenY(r), x0 + std::min(to, h.width) - 1);
  };
  auto fillRows = [&](int from, int to) {   // whole lines [from, to)
    to = std::min(to, h.lines);
    if (from >= to) return;
    setIndex(0);
    LCD_FillRect(x0, screenY(to - 1), x0 + h.width - 1, screenY(from));
  };
  int result = 0;
  uint8_t buf[256];
  while (row < h.lines) {
    const uint8_t* p = rd.At(off, 2, buf);
    if (!p) {
      result = 1;
      break;
    }
    off += 2;
    uint32_t count = p[0], value = p[1];
    if (count) {
      uint32_t hi = value >> 4, lo = value & 15;
      if (!four || hi == lo) {
        setIndex(four ? hi : value);
        int end = std::min<int>(col + static_cast<int>(count), h.width);
        if (col < end) LCD_DrawHLine(x0 + col, screenY(row), x0 + end - 1);
      } else {
        for (uint32_t i = 0; i < count && col + static_cast<int>(i) < h.width; ++i)
          LCD_SetPixelIndex(x0 + col + static_cast<int>(i), screenY(row), pal.trans[(i & 1) ? lo : hi]);
      }
      col += static_cast<int>(count);
      continue;
    }
    if (value == 0) {
      fillTo(row, col, h.width);
      col = 0;
      ++row;
    } else if (value == 1) {
      fillTo(row, col, h.width);
      fillRows(row + 1, h.lines);
      break;
    } else if (value == 2) {
      const uint8_t* d = rd.At(off, 2, buf);
      if (!d) {
        result = 1;
        break;
      }
      off += 2;
      int dx = d[0], dy = d[1];
      if (dy == 0) {
        fillTo(row, col, col + dx);
      } else {
        fillTo(row, col, h.width);
        fillRows(row + 1, row + dy);
        fillTo(row + dy, 0, col + dx);
      }
      col += dx;
      row += dy;
    } else {
      uint32_t bytes = four ? (value + 1) / 2 : value;
      uint32_t padded = (bytes + 1) & ~1u;
      const uint8_t* d = rd.At(off, padded, buf);
      if (!d) {
        result = 1;
        break;
      }
      off += padded;
      if (row < h.lines && col < h.width) {
        int n = std::min<int>(static_cast<int>(value), h.width - col);
        LCD_DrawBitmap(x0 + col, screenY(row), n, 1, 1, 1, four ? 4 : 8, static_cast<int>(bytes), d, pal.trans);
      }
      col += static_cast<int>(value);
    }
  }
  LCD_SetColorIndex(saved);
  return result;
}

int Draw(const Reader& rd, int x, int y) {
  GUI_LockGuard lock;
  Header h{};
  if (ReadHeader(rd, &h)) return 1;
  x += Ctx().xOff;
  y += Ctx().yOff;
  GUI_RECT r{static_cast<int16_t>(std::clamp(x, -32768, 32767)), static_cast<int16_t>(std::clamp(y, -32768, 32767)),
             static_cast<int16_t>(std::clamp(x + h.width - 1, -32768, 32767)),
             static_cast<int16_t>(std::clamp(y + h.lines - 1, -32768, 32767))};
  Palette pal;
  if (ReadPalette(rd, h, &pal)) return 1;
  int result = 0;
  if (WM__IterateStart(&r)) {
    do {
      result |= (h.compression == 1 || h.compression == 2) ? DrawRLE(rd, h, pal, x, y) : DrawPlain(rd, h, pal, x, y);
    } while (WM__IterateNext());
  }
  return result;
}

int SizeField(const Reader& rd, bool height) {
  uint8_t buf[26];
  const uint8_t* p = rd.At(0, 26, buf);
  if (!p) return 0;
  if (!height) return static_cast<int32_t>(GUI__LE32(p + 18));
  int64_t v = static_cast<int32_t>(GUI__LE32(p + 22));
  return static_cast<int>(std::min<int64_t>(v < 0 ? -v : v, INT32_MAX));
}

// Files in memory whose length the caller does not know are read without a bound.
Reader MemoryReader(const void* pFile, uint32_t numBytes, GUI_MEM_SOURCE* src) {
  src->pData = static_cast<const uint8_t*>(pFile);
  src->NumBytes = numBytes;
  return Reader{GUI__GetDataMem, src};
}

}  // namespace

int GUI_BMP_DrawEx(GUI_GET_DATA_FUNC* pf, void* pParam, int x0, int y0) {
  if (!pf) return 1;
  return Draw(Reader{pf, pParam}, x0, y0);
}
int GUI_BMP_DrawSized(const void* pFile, uint32_t numBytes, int x0, int y0) {
  if (!pFile) return 1;
  GUI_MEM_SOURCE src;
  return Draw(MemoryReader(pFile, numBytes, &src), x0, y0);
}
int GUI_BMP_Draw(const void* pFile, int x0, int y0) { return GUI_BMP_DrawSized(pFile, UINT32_MAX, x0, y0); }

int GUI_BMP_GetXSizeEx(GUI_GET_DATA_FUNC* pf, void* pParam) { return pf ? SizeField(Reader{pf, pParam}, false) : 0; }
int GUI_BMP_GetYSizeEx(GUI_GET_DATA_FUNC* pf, void* pParam) { return pf ? SizeField(Reader{pf, pParam}, true) : 0; }
int GUI_BMP_GetXSize(const void* pFile) {
  if (!pFile) return 0;
  GUI_MEM_SOURCE src;
  return SizeField(MemoryReader(pFile, UINT32_MAX, &src), false);
}
int GUI_BMP_GetYSize(const void* pFile) {
  if (!pFile) return 0;
  GUI_MEM_SOURCE src;
  return SizeField(MemoryReader(pFile, UINT32_MAX, &src), true);
}
void GUI_BMP_DisableAlpha() { g_pfPixel32 = Pixel32Default; }
