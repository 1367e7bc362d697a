// Streamed bitmaps: a 16-byte header, an optional palette and the pixel data of one of the
// pixel formats, drawn from memory or read piece by piece through a get-data callback.
#include <algorithm>
#include <cstring>

#include "gui/bitmap/GUI_Bitmap.h"

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }


struct Header {
  uint32_t format, xSize, ySize, bytesPerLine, bitsPerPixel, numColors, hasTrans;
};
Header ParseHeader(const uint8_t* p) {
  return Header{GUI__LE16(p + 2), GUI__LE16(p + 4), GUI__LE16(p + 6), GUI__LE16(p + 8), GUI__LE16(p + 10), GUI__LE16(p + 12), GUI__LE16(p + 14)};
}

// What each format id is: its methods (null for palette pictures), the bits of one pixel in
// the data and whether the data are run-length coded.
struct FormatInfo {
  int id;
  const GUI_BITMAP_METHODS* pMethods;
  const GUI_BITMAP_METHODS* pMethodsEx;  // run-length formats read through a callback
  int bitsPerPixel;                // 0: taken from the header (palette pictures)
  bool rle;
};
const FormatInfo kFormats[] = {
    {100, nullptr, nullptr, 0, false},
    {6, &GUI_DRAW_RLE4, &GUI_DRAW_RLE4_EX, 4, true},
    {7, &GUI_DRAW_RLE8, &GUI_DRAW_RLE8_EX, 8, true},
    {8, &GUI_DRAW_BMP565, nullptr, 16, false},
    {9, &GUI_DRAW_BMPM565, nullptr, 16, false},
    {10, &GUI_DRAW_BMP555, nullptr, 16, false},
    {11, &GUI_DRAW_BMPM555, nullptr, 16, false},
    {12, &GUI_DRAW_RLE16, &GUI_DRAW_RLE16_EX, 16, true},
    {13, &GUI_DRAW_RLEM16, &GUI_DRAW_RLEM16_EX, 16, true},
    {15, &GUI_DRAW_RLE32, &GUI_DRAW_RLE32_EX, 32, true},
    {16, &GUI_DRAW_BMP8888, nullptr, 32, false},
    {17, &GUI_DRAW_BMP24, nullptr, 24, false},
    {18, &GUI_DRAW_RLEALPHA, nullptr, 8, true},
    {19, &GUI_DRAW_BMP444_12, nullptr, 16, false},
    {20, &GUI_DRAW_BMPM444_12, nullptr, 16, false},
    {21, &GUI_DRAW_BMP444_16, nullptr, 16, false},
    {22, &GUI_DRAW_BMPM444_16, nullptr, 16, false},
    {23, &GUI_DRAW_BMP444_12_1, nullptr, 16, false},
    {24, &GUI_DRAW_BMPM444_12_1, nullptr, 16, false},
    {25, &GUI_DRAW_BMPA555, nullptr, 24, false},
    {26, &GUI_DRAW_BMPAM555, nullptr, 24, false},
    {27, &GUI_DRAW_BMPA565, nullptr, 24, false},
    {28, &GUI_DRAW_BMPAM565, nullptr, 24, false},
    {29, &GUI_DRAW_BMPM8888I, nullptr, 32, false},
};

const FormatInfo* FindFormat(uint32_t id) {
  for (const FormatInfo& f : kFormats)
    if (static_cast<uint32_t>(f.id) == id) return &f;
  return nullptr;
}

GUI_STREAM_PALETTE_HOOK* g_pfPaletteHook;

void Fill(GUI_BITMAP* pBMP, GUI_LOGPALETTE* pPAL, const uint8_t* p, const Header& h, const FormatInfo& f) {
  pBMP->XSize = static_cast<uint16_t>(h.xSize);
  pBMP->YSize = static_cast<uint16_t>(h.ySize);
  pBMP->BytesPerLine = static_cast<uint16_t>(h.bytesPerLine);
  pBMP->BitsPerPixel = static_cast<uint16_t>(h.bitsPerPixel);
  pBMP->pData = p + GUI_STREAM_HEADER_BYTES + 4 * h.numColors;
  pBMP->pPal = pPAL;
  pBMP->pMethods = f.pMethods;
  if (pPAL) {
    pPAL->NumEntries = static_cast<int>(h.numColors);
    pPAL->HasTrans = static_cast<char>(h.hasTrans ? 1 : 0);
    pPAL->pPalEntries = h.numColors ? reinterpret_cast<const GUI_COLOR*>(p + GUI_STREAM_HEADER_BYTES) : nullptr;
  }
}

// Bytes the pixel lines of a format need at least: 0 when the header cannot be drawn.
uint32_t MinBytesPerLine(const Header& h, const FormatInfo& f) {
  int bpp = f.bitsPerPixel ? f.bitsPerPixel : static_cast<int>(h.bitsPerPixel);
  if (!f.bitsPerPixel && bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8) return 0;
  return (h.xSize * static_cast<uint32_t>(bpp) + 7) / 8;
}

// Reads n bytes at off through the callback: the pointer to them, or null on a short read.
const uint8_t* ReadAt(GUI_GET_DATA_FUNC* pf, void* pParam, uint8_t* buf, uint32_t n, uint32_t off) {
  const uint8_t* p = buf;
  int got = pf(pParam, &p, n, off);
  if (got < 0 || static_cast<uint32_t>(got) < n || !p) return nullptr;
  return p;
}

}  // namespace

int GUI__GetDataMem(void* pParam, const uint8_t** ppData, unsigned numBytes, uint32_t off) {
  auto* src = static_cast<const GUI_MEM_SOURCE*>(pParam);
  if (!src || !src->pData || off >= src->NumBytes) return 0;
  *ppData = src->pData + off;
  return static_cast<int>(std::min<uint32_t>(numBytes, src->NumBytes - off));
}

void GUI_STREAM_SetPaletteHook(GUI_STREAM_PALETTE_HOOK* pfHook) { g_pfPaletteHook = pfHook; }

int GUI_CreateBitmapFromStream(GUI_BITMAP* pBMP, GUI_LOGPALETTE* pPAL, const void* pStream) {
  if (!pBMP || !pStream) return 1;
  auto* p = static_cast<const uint8_t*>(pStream);
  Header h = ParseHeader(p);
  const FormatInfo* f = FindFormat(h.format);
  if (!f) {
    GUI_DebugErrorOut("GUI_StreamCreate:\nFormat of streamed bitmap not supported in GUI_CreateBitmapFromStream()!");
    return 1;
  }
  Fill(pBMP, pPAL, p, h, *f);
  return 0;
}

int GUI_CreateBitmapFromStreamFormat(GUI_BITMAP* pBMP, GUI_LOGPALETTE* pPAL, const void* pStream, int format) {
  if (!pBMP || !pStream) return 1;
  auto* p = static_cast<const uint8_t*>(pStream);
  Header h = ParseHeader(p);
  const FormatInfo* f = FindFormat(static_cast<uint32_t>(format));
  if (!f || h.format != static_cast<uint32_t>(format)) {
    GUI_DebugErrorOut("GUI_StreamCreate:\nFormat of streamed bitmap does not match in _CreateBitmapFromStream()!");
    return 1;
  }
  Fill(pBMP, pPAL, p, h, *f);
  return 0;
}

int GUI_CreateBitmapFromStreamSized(GUI_BITMAP* pBMP, GUI_LOGPALETTE* pPAL, const void* pStream, uint32_t numBytes) {
  if (!pBMP || !pStream || numBytes < GUI_STREAM_HEADER_BYTES) return 1;
  auto* p = static_cast<const uint8_t*>(pStream);
  Header h = ParseHeader(p);
  const FormatInfo* f = FindFormat(h.format);
  if (!f) {
    GUI_DebugErrorOut("GUI_StreamCreate:\nFormat of streamed bitmap not supported in GUI_CreateBitmapFromStream()!");
    return 1;
  }
  uint64_t dataStart = GUI_STREAM_HEADER_BYTES + 4ull * h.numColors;
  if (h.numColors > 256 || dataStart > numBytes) return 1;
  uint32_t rest = numBytes - static_cast<uint32_t>(dataStart);
  if (f->rle) {
    if (GUI__RLE_GetDataSize(f->bitsPerPixel, p + dataStart, rest, h.xSize * h.ySize) < 0) return 1;
  } else {
    uint32_t need = MinBytesPerLine(h, *f);
    // The drawers of the high-colour formats step through the data by the picture's width.
    if (need == 0 || h.bytesPerLine < need || static_cast<uint64_t>(h.ySize) * h.bytesPerLine > rest) return 1;
  }
  Fill(pBMP, pPAL, p, h, *f);
  return 0;
}

void GUI_DrawStreamedBitmapAuto(const void* pStream, int x, int y) {
  GUI_LockGuard lock;
  GUI_BITMAP bmp;
  GUI_LOGPALETTE pal;
  if (GUI_CreateBitmapFromStream(&bmp, &pal, pStream)) {
    GUI_DebugErrorOut("GUI_Stream:\nError on initializing bitmap and palette structure in GUI_DrawStreamedBitmapAuto()!");
    return;
  }
  GUI_DrawBitmap(&bmp, x, y);
}

int GUI_DrawStreamedBitmapAutoSized(const void* pStream, uint32_t numBytes, int x, int y) {
  GUI_LockGuard lock;
  GUI_BITMAP bmp;
  GUI_LOGPALETTE pal;
  if (GUI_CreateBitmapFromStreamSized(&bmp, &pal, pStream, numBytes)) {
    GUI_DebugErrorOut("GUI_Stream:\nError on initializing bitmap and palette structure in GUI_DrawStreamedBitmapAuto()!");
    return 1;
  }
  GUI_DrawBitmap(&bmp, x, y);
  return 0;
}

// --- reading through a callback --------------------------------------------------------------------
namespace {

// One pass of the line reader for the current clip rectangle.
int LinePass(GUI_GET_DATA_FUNC* pf, void* pParam, const Header& h, const FormatInfo& f,
             const GUI_LOGPALETTE* pPal, int x, int y) {
  uint32_t bpl = h.bytesPerLine;
  const GUI_RECT& c = Ctx().ClipRect;
  int first = std::max(0, c.y0 - y);
  int last = std::min<int>(static_cast<int>(h.ySize), c.y1 - y + 1);
  if (first >= last) return 0;
  uint32_t avail = GUI_ALLOC_GetMaxSize();
  uint32_t reserve = 4 * h.xSize + 64;
  int64_t chunkLines = avail > reserve ? (avail - reserve) / bpl : 0;
  chunkLines = std::min<int64_t>(chunkLines, last - first);
  if (chunkLines <= 0) return 1;
  GUI_HMEM hChunk = GUI_ALLOC_AllocNoInit(static_cast<int32_t>(chunkLines * bpl));
  if (!hChunk) return 1;
  auto* chunk = static_cast<uint8_t*>(GUI_ALLOC_LockH(hChunk));
  uint32_t off = GUI_STREAM_HEADER_BYTES + 4 * h.numColors + static_cast<uint32_t>(first) * bpl;
  int result = 0;
  for (int line = first; line < last;) {
    int n = static_cast<int>(std::min<int64_t>(chunkLines, last - line));
    const uint8_t* data = ReadAt(pf, pParam, chunk, static_cast<uint32_t>(n) * bpl, off);
    if (!data) {
      result = 1;
      break;
    }
    if (f.pMethods) {
      f.pMethods->pfDraw(x, y + line, static_cast<int>(h.xSize), n, data, nullptr, 1, 1);
    } else {
      GUI_BITMAP bmp{static_cast<uint16_t>(h.xSize), static_cast<uint16_t>(n), static_cast<uint16_t>(bpl),
                     static_cast<uint16_t>(h.bitsPerPixel), data, pPal->pPalEntries ? pPal : nullptr, nullptr};
      GUI__DrawBitmap(&bmp, x, y + line);
    }
    off += static_cast<uint32_t>(n) * bpl;
    line += n;
  }
  GUI_ALLOC_UnlockH(&chunk);
  GUI_ALLOC_Free(hChunk);
  return result;
}

// Reads the palette of a stream into a buffer (from the hook or the heap): 0 = done.
struct PaletteBuffer {
  GUI_HMEM h = 0;
  uint8_t* p = nullptr;
  bool fromHook = false;
  uint32_t bytes = 0;
  ~PaletteBuffer() {
    if (fromHook) {
      g_pfPaletteHook(2, static_cast<int>(bytes), p);
    } else if (h) {
      GUI_ALLOC_UnlockH(&p);
      GUI_ALLOC_Free(h);
    }
  }
  int Read(GUI_GET_DATA_FUNC* pf, void* pParam, uint32_t numColors) {
    bytes = 4 * numColors;
    if (bytes == 0) return 0;
    if (g_pfPaletteHook) p = static_cast<uint8_t*>(g_pfPaletteHook(1, static_cast<int>(bytes), nullptr));
    if (p) {
      fromHook = true;
    } else {
      h = GUI_ALLOC_AllocNoInit(static_cast<int32_t>(bytes));
      if (!h) return 1;
      p = static_cast<uint8_t*>(GUI_ALLOC_LockH(h));
    }
    const uint8_t* src = ReadAt(pf, pParam, p, bytes, GUI_STREAM_HEADER_BYTES);
    if (!src) return 1;
    for (uint32_t i = 0; i < numColors; ++i) {
      GUI_COLOR c = GUI__LE32(src + 4 * i);
      std::memcpy(p + 4 * i, &c, 4);
    }
    if (fromHook) g_pfPaletteHook(3, static_cast<int>(bytes), p);
    return 0;
  }
};

int DrawThroughCallback(GUI_GET_DATA_FUNC* pf, void* pParam, int x, int y, const Header& h, const FormatInfo& f) {
  x += Ctx().xOff;
  y += Ctx().yOff;
  if (h.numColors > 256) return 1;
  PaletteBuffer palBuf;
  GUI_LOGPALETTE pal{static_cast<int>(h.numColors), static_cast<char>(h.hasTrans ? 1 : 0), nullptr};
  if (!f.pMethods || f.rle) {
    if (palBuf.Read(pf, pParam, h.numColors)) return 1;
    pal.pPalEntries = reinterpret_cast<const GUI_COLOR*>(palBuf.p);
  }
  GUI_RECT r{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(x + static_cast<int>(h.xSize) - 1),
             static_cast<int16_t>(y + static_cast<int>(h.ySize) - 1)};
  int result = 0;
  if (f.rle) {
    uint32_t off = GUI_STREAM_HEADER_BYTES + 4 * h.numColors;
    int set = 1;
    switch (f.id) {
      case 6: set = LCD__RLE4_SetFunc(pf, pParam, off, &pal); break;
      case 7: set = LCD__RLE8_SetFunc(pf, pParam, off, &pal); break;
      case 12:
      case 13: set = LCD__RLE16_SetFunc(pf, pParam, off, &pal); break;
      default: set = LCD__RLE32_SetFunc(pf, pParam, off, &pal); break;
    }
    if (set) return 1;
    GUI_BITMAP bmp{static_cast<uint16_t>(h.xSize), static_cast<uint16_t>(h.ySize), static_cast<uint16_t>(h.bytesPerLine),
                   static_cast<uint16_t>(f.bitsPerPixel), nullptr, h.numColors ? &pal : nullptr, f.pMethodsEx};
    if (WM__IterateStart(&r)) {
      do {
        GUI__DrawBitmap(&bmp, x, y);
        result |= GUI__RLE_GetLastResult();
      } while (WM__IterateNext());
    }
    return result;
  }
  uint32_t need = MinBytesPerLine(h, f);
  if (need == 0 || h.bytesPerLine < need) return 1;
  if (WM__IterateStart(&r)) {
    do {
      result |= LinePass(pf, pParam, h, f, &pal, x, y);
    } while (WM__IterateNext());
  }
  return result;
}

}  // namespace

int GUI_DrawStreamedBitmapExAuto(GUI_GET_DATA_FUNC* pf, void* pParam, int x, int y) {
  if (!pf) return 1;
  GUI_LockGuard lock;
  uint8_t buf[GUI_STREAM_HEADER_BYTES];
  const uint8_t* p = ReadAt(pf, pParam, buf, GUI_STREAM_HEADER_BYTES, 0);
  if (!p) return 1;
  Header h = ParseHeader(p);
  const FormatInfo* f = FindFormat(h.format);
  if (!f || (f->rle && !f->pMethodsEx)) {
    GUI_DebugErrorOut("GUI_Stream:\nFormat of streamed bitmap not supported in GUI_DrawStreamedBitmapExAuto()!");
    return 1;
  }
  return DrawThroughCallback(pf, pParam, x, y, h, *f);
}

int GUI_DrawStreamedBitmapFormatEx(GUI_GET_DATA_FUNC* pf, void* pParam, int x, int y, int format) {
  if (!pf) return 1;
  GUI_LockGuard lock;
  const FormatInfo* f = FindFormat(static_cast<uint32_t>(format));
  if (!f || f->rle || !f->pMethods) return 1;
  uint8_t buf[GUI_STREAM_HEADER_BYTES];
  const uint8_t* p = ReadAt(pf, pParam, buf, GUI_STREAM_HEADER_BYTES, 0);
  if (!p) return 1;
  return DrawThroughCallback(pf, pParam, x, y, ParseHeader(p), *f);
}
