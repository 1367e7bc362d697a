// Run-length coded bitmaps: 4- and 8-bit palette indices, 16-bit 5-6-5 colours, 32-bit
// colours with transparency, and 8-bit transparency values applied to the current colour.
// Runs continue across line ends. Each coding decodes from memory or through a get-data
// callback; decoding stops cleanly when the data end.
#include <algorithm>
#include <cstring>

#include "gui/bitmap/GUI_Bitmap.h"
#include "gui/memdev/GUI_Memdev.h"

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }

// Where the coded bytes come from: memory (bounded when `end` is set) or the callback.
struct Source {
  const uint8_t* p = nullptr;
  const uint8_t* end = nullptr;
  GUI_GET_DATA_FUNC* pfGetData = nullptr;
  void* pParam = nullptr;
  uint32_t off = 0;
  uint8_t* buf = nullptr;
  uint32_t bufSize = 0;
  const uint8_t* rp = nullptr;
  uint32_t left = 0;

  bool Get(uint8_t* b) {
    if (!pfGetData) {
      if (!p || (end && p >= end)) return false;
      *b = *p++;
      return true;
    }
    if (left == 0) {
      const uint8_t* q = buf;
      int n = pfGetData(pParam, &q, bufSize, off);
      if (n <= 0 || !q) return false;
      left = std::min<uint32_t>(static_cast<uint32_t>(n), bufSize);
      rp = q;
      off += static_cast<uint32_t>(n);
    }
    *b = *rp++;
    --left;
    return true;
  }
  bool Get16(uint32_t* v) {
    uint8_t a, b;
    if (!Get(&a) || !Get(&b)) return false;
    *v = a | (b << 8);
    return true;
  }
  bool Get32(uint32_t* v) {
    uint32_t lo, hi;
    if (!Get16(&lo) || !Get16(&hi)) return false;
    *v = lo | (hi << 16);
    return true;
  }
};

// The callback context of one coding, made on first use.
struct CallbackContext {
  GUI_GET_DATA_FUNC* pfGetData;
  void* pParam;
  uint32_t off;
  const GUI_LOGPALETTE* pPal;
};
CallbackContext* g_apCtx[5];       // 4, 8, 16, 32 bpp and 16 bpp red high (shares 16's)
int g_lastResult;

void ExitRLE();
GUI_REGISTER_EXIT g_exitRLE = {nullptr, ExitRLE};
void ExitRLE() {
  for (CallbackContext*& p : g_apCtx) {
    GUI_ALLOC_FreeFixedBlock(p);
    p = nullptr;
  }
}

// Writes pixels that carry a transparency byte; opaque and blended pixels of one line go out
// together as one line bitmap at the depth of the target.
struct AlphaLine {
  int x0 = 0, y = 0, n = 0;
  uint32_t* buf = nullptr;
  int cap = 0;
  const GUICC* pCC = nullptr;
  int bpp = 16;
  bool Init() {
    buf = GUI__GetLineBuffer(1, &cap);
    pCC = LCD__GetpCC();
    if (!pCC) return false;
    bpp = LCD__GetBPPDevice(pCC->pfGetIndexMask());
    return buf != nullptr;
  }
  void Flush() {
    if (n == 0) return;
    GUI__DrawIndexLine(x0, y, n, buf, bpp);
    n = 0;
  }
  void Put(int x, int yy, GUI_COLOR c) {
    uint32_t t = c >> 24;
    const GUI_RECT& r = Ctx().ClipRect;
    if (t == 0xFF || x < r.x0 || x > r.x1 || yy < r.y0 || yy > r.y1) {
      Flush();
      return;
    }
    if (n && (yy != y || x != x0 + n || n == cap)) Flush();
    if (n == 0) {
      x0 = x;
      y = yy;
    }
    if (t) c = GUI__AlphaBlend(c, LCD_Index2Color(LCD_GetPixelIndex(x, yy)));
    buf[n++] = pCC->pfColor2Index(c & (bpp == 32 ? 0xFFFFFFFFu : 0x00FFFFFFu));
  }
};

enum class Coding { Rle4, Rle8, Rle16, RleM16, Rle32, Alpha8 };

// Where decoding of a picture in memory may resume: the last run packet that began on a line
// above the clip rectangle, so that the next clip rectangle of the same picture need not
// decode from the start.
struct Resume {
  const uint8_t* pData;
  Coding coding;
  int line, x;
  const uint8_t* pPacket;
};
Resume g_resume;

int BitsOf(Coding c) {
  switch (c) {
    case Coding::Rle4: return 4;
    case Coding::Rle8:
    case Coding::Alpha8: return 8;
    case Coding::Rle16:
    case Coding::RleM16: return 16;
    default: return 32;
  }
}

// Decodes one picture; 0 = complete, 1 = the data ended early.
int Decode(Coding coding, Source& src, int x0, int y0, int xSize, int ySize, const GUI_LOGPALETTE* pPal, int xMag,
           int yMag, const uint8_t* pData = nullptr) {
  if (xSize <= 0 || ySize <= 0) return 0;
  if (xMag < 1) xMag = 1;
  if (yMag < 1) yMag = 1;
  const int bpp = BitsOf(coding);
  const bool alpha = coding == Coding::Rle32 || coding == Coding::Alpha8;
  const bool trans = (Ctx().DrawMode & GUI_DRAWMODE_TRANS) != 0;
  const GUI_RECT& clip = Ctx().ClipRect;
  int lines = ySize;
  if (yMag == 1) lines = std::min(ySize, std::max(0, clip.y1 - y0 + 1));
  const uint32_t* pTrans = nullptr;
  if (bpp <= 8 && coding != Coding::Alpha8 && pPal) pTrans = LCD_GetpPalConvTable(pPal);
  const GUICC* pCC = LCD__GetpCC();
  GUI_COLOR fgColor = LCD_Index2Color(LCD_GetColorIndex());
  AlphaLine out;
  if (alpha && !out.Init()) return 0;
  const uint32_t savedFg = *Ctx().LCD_pColorIndex, savedBg = *Ctx().LCD_pBkColorIndex;
  int x = 0, y = 0;
  // Memory pictures of the 8- and 16-bit codings resume where an earlier pass left a mark.
  const bool resumable = pData && yMag == 1 && (coding == Coding::Rle8 || coding == Coding::Rle16 ||
                                                coding == Coding::RleM16);
  if (resumable && g_resume.pData == pData && g_resume.coding == coding && y0 + g_resume.line < clip.y0) {
    src.p = g_resume.pPacket;
    x = g_resume.x;
    y = g_resume.line;
  }
  auto toIndex = [&](uint32_t v) -> uint32_t {
    if (coding == Coding::Rle16) return pCC ? pCC->pfColor2Index(GUICC_565B_Index2Color(v)) : v;
    if (coding == Coding::RleM16) return pCC ? pCC->pfColor2Index(GUICC_565R_Index2Color(v)) : v;
    return pTrans ? pTrans[v & 0xFF] : v;
  };
  auto colorOf = [&](uint32_t v) -> GUI_COLOR {
    return coding == Coding::Alpha8 ? ((v << 24) | (fgColor & 0x00FFFFFFu)) : v;
  };
  auto skip = [&](uint32_t v) { return !alpha && trans && v == 0 && bpp <= 8; };
  auto advance = [&](int n) {
    x += n;
    if (x >= xSize) {
      x = 0;
      ++y;
    }
  };
  // One run of n equal pixels within a line.
  auto drawRun = [&](int n, uint32_t v) {
    if (alpha) {
      GUI_COLOR c = colorOf(v);
      for (int k = 0; k < n; ++k) out.Put(x0 + x + k, y0 + y, c);
      return;
    }
    if (skip(v)) return;
    *Ctx().LCD_pColorIndex = toIndex(v);
    if (xMag == 1 && yMag == 1)
      LCD_DrawHLine(x0 + x, y0 + y, x0 + x + n - 1);
    else
      LCD_FillRect(x0 + x * xMag, y0 + y * yMag, x0 + (x + n) * xMag - 1, y0 + (y + 1) * yMag - 1);
  };
  auto drawOne = [&](uint32_t v) {
    if (alpha) {
      out.Put(x0 + x, y0 + y, colorOf(v));
    } else if (!skip(v)) {
      if (xMag == 1 && yMag == 1) {
        LCD_SetPixelIndex(x0 + x, y0 + y, toIndex(v));
      } else {
        *Ctx().LCD_pColorIndex = toIndex(v);
        LCD_FillRect(x0 + x * xMag, y0 + y * yMag, x0 + (x + 1) * xMag - 1, y0 + (y + 1) * yMag - 1);
      }
    }
    advance(1);
  };
  auto getValue = [&](uint32_t* v) -> bool {
    if (bpp <= 8) {
      uint8_t b;
      if (!src.Get(&b)) return false;
      *v = b;
      return true;
    }
    return bpp == 16 ? src.Get16(v) : src.Get32(v);
  };
  int result = 0;
  while (y < lines) {
    const uint8_t* packet = src.p;
    uint8_t c;
    if (!src.Get(&c)) {
      result = 1;
      break;
    }
    if (c) {
      if (resumable && y0 + y < clip.y0) g_resume = Resume{pData, coding, y, x, packet};
      uint32_t v;
      if (!getValue(&v)) {
        result = 1;
        break;
      }
      if (bpp == 4) v &= 15;
      int count = c;
      while (count > 0 && y < lines) {
        int n = std::min(count, xSize - x);
        drawRun(n, v);
        count -= n;
        advance(n);
      }
      continue;
    }
    uint8_t nb;
    if (!src.Get(&nb)) {
      result = 1;
      break;
    }
    int n = nb;
    if (n == 0 && bpp == 16) n = 256;
    bool ok = true;
    if (bpp == 4) {
      for (int k = 0; k < n; k += 2) {
        uint8_t b;
        if (!src.Get(&b)) {
          ok = false;
          break;
        }
        if (y < lines) drawOne(b >> 4);
        if (k + 1 < n && y < lines) drawOne(b & 15);
      }
    } else {
      for (int k = 0; k < n; ++k) {
        uint32_t v;
        if (!getValue(&v)) {
          ok = false;
          break;
        }
        if (y < lines) drawOne(v);
      }
    }
    if (!ok) {
      result = 1;
      break;
    }
  }
  if (alpha) out.Flush();
  *Ctx().LCD_pColorIndex = savedFg;
  *Ctx().LCD_pBkColorIndex = savedBg;
  return result;
}

template <Coding C>
void DrawMem(int x0, int y0, int xSize, int ySize, const uint8_t* pData, const GUI_LOGPALETTE* pPal, int xMag,
             int yMag) {
  Source src;
  src.p = pData;
  g_lastResult = Decode(C, src, x0, y0, xSize, ySize, pPal, xMag, yMag, pData);
}

int CtxSlot(Coding c) {
  switch (c) {
    case Coding::Rle4: return 0;
    case Coding::Rle8: return 1;
    case Coding::Rle16:
    case Coding::RleM16: return 2;
    default: return 3;
  }
}

const char* const kNoContext[4] = {"LCD_RLE4:\nNo context available in _DrawBitmap_RLE4Ex()!",
                                   "LCD_RLE8:\nNo context available in _DrawBitmap_RLE8Ex()!",
                                   "LCD_RLE16:\nNo context available in _DrawBitmap_Ex()!",
                                   "LCD_RLE32:\nNo context available in _DrawBitmap_RLE32Ex()!"};
const char* const kNoMemory[4] = {"LCD_RLE4:\nNo memory available in _DrawBitmap_RLE4Ex()!",
                                  "LCD_RLE8:\nNo memory available in _DrawBitmap_RLE8Ex()!",
                                  "LCD_RLE16:\nMaxNumBytesInBuffer is zero in _DrawBitmap_Ex()!",
                                  "LCD_RLE32:\nNo memory available in _DrawBitmap_RLE32Ex()!"};
const char* const kNoBuffer[4] = {"LCD_RLE4:\nNo buffer available in _DrawBitmap_RLE4Ex()!",
                                  "LCD_RLE8:\nNo buffer available in _DrawBitmap_RLE8Ex()!",
                                  "LCD_RLE16:\nNo buffer available in _DrawBitmap_Ex()!",
                                  "LCD_RLE32:\nNo buffer available in _DrawBitmap_RLE32Ex()!"};
const char* const kNoCtxMemory[4] = {"LCD_RLE4:\nNo memory for context available in LCD__RLE4_SetFunc()!",
                                     "LCD_RLE8:\nNo memory for context available in LCD__RLE8_SetFunc()!",
                                     "LCD_RLE16:\nNo memory for context available in LCD__RLE16_SetFunc()!",
                                     "LCD_RLE32:\nNo memory for context available in LCD__RLE32_SetFunc()!"};

constexpr uint32_t kMaxReadBuffer = 0x10000;

// The callback decoders read through a buffer as large as the heap allows (at most 64 KiB).
template <Coding C>
void DrawEx(int x0, int y0, int xSize, int ySize, const uint8_t*, const GUI_LOGPALETTE* pPal, int xMag, int yMag) {
  int slot = CtxSlot(C);
  CallbackContext* pCtx = g_apCtx[slot];
  g_lastResult = 1;
  if (!pCtx) {
    GUI_DebugErrorOut(kNoContext[slot]);
    return;
  }
  uint32_t size = std::min(GUI_ALLOC_GetMaxSize() / 2, kMaxReadBuffer);
  if (size == 0) {
    GUI_DebugErrorOut(kNoMemory[slot]);
    return;
  }
  GUI_HMEM h = GUI_ALLOC_AllocNoInit(static_cast<int32_t>(size));
  if (!h) {
    GUI_DebugErrorOut(kNoBuffer[slot]);
    return;
  }
  Source src;
  src.pfGetData = pCtx->pfGetData;
  src.pParam = pCtx->pParam;
  src.off = pCtx->off;
  src.buf = static_cast<uint8_t*>(GUI_ALLOC_LockH(h));
  src.bufSize = size;
  g_lastResult = Decode(C, src, x0, y0, xSize, ySize, pPal ? pPal : pCtx->pPal, xMag, yMag);
  GUI_ALLOC_UnlockH(&src.buf);
  GUI_ALLOC_Free(h);
}

int SetFunc(int slot, GUI_GET_DATA_FUNC* pf, void* pParam, uint32_t off, const GUI_LOGPALETTE* pPal) {
  if (!g_apCtx[slot]) {
    g_apCtx[slot] = static_cast<CallbackContext*>(GUI_ALLOC_GetFixedBlock(sizeof(CallbackContext)));
    if (!g_apCtx[slot]) {
      GUI_DebugErrorOut(kNoCtxMemory[slot]);
      return 1;
    }
    GUI__AddExitHook(&g_exitRLE);
  }
  *g_apCtx[slot] = CallbackContext{pf, pParam, off, pPal};
  return 0;
}

}  // namespace

int LCD__RLE4_SetFunc(GUI_GET_DATA_FUNC* pf, void* pParam, uint32_t off, const GUI_LOGPALETTE* pPal) {
  return SetFunc(0, pf, pParam, off, pPal);
}
int LCD__RLE8_SetFunc(GUI_GET_DATA_FUNC* pf, void* pParam, uint32_t off, const GUI_LOGPALETTE* pPal) {
  return SetFunc(1, pf, pParam, off, pPal);
}
int LCD__RLE16_SetFunc(GUI_GET_DATA_FUNC* pf, void* pParam, uint32_t off, const GUI_LOGPALETTE* pPal) {
  return SetFunc(2, pf, pParam, off, pPal);
}
int LCD__RLE32_SetFunc(GUI_GET_DATA_FUNC* pf, void* pParam, uint32_t off, const GUI_LOGPALETTE* pPal) {
  return SetFunc(3, pf, pParam, off, pPal);
}

int GUI__RLE_GetLastResult() { return g_lastResult; }
void GUI__RLE_ForgetResume() { g_resume = Resume{}; }

int32_t GUI__RLE_GetDataSize(int bpp, const uint8_t* pData, uint32_t numBytes, uint32_t numPixels) {
  if (!pData && numBytes) return -1;
  uint64_t pos = 0, done = 0;
  const uint32_t valueBytes = bpp <= 8 ? 1 : static_cast<uint32_t>(bpp / 8);
  while (done < numPixels) {
    if (pos + 2 > numBytes) return -1;
    uint32_t c = pData[pos];
    if (c) {
      pos += 1 + valueBytes;
      done += c;
    } else {
      uint32_t n = pData[pos + 1];
      if (n == 0 && bpp == 16) n = 256;
      pos += 2 + (bpp == 4 ? (n + 1) / 2 : static_cast<uint64_t>(n) * valueBytes);
      done += n;
    }
    if (pos > numBytes) return -1;
  }
  return static_cast<int32_t>(pos);
}

const GUI_BITMAP_METHODS GUI_DRAW_RLE4 = {DrawMem<Coding::Rle4>, nullptr, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_RLE8 = {DrawMem<Coding::Rle8>, nullptr, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_RLE16 = {DrawMem<Coding::Rle16>, GUICC_565B_Index2Color, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_RLEM16 = {DrawMem<Coding::RleM16>, GUICC_565R_Index2Color, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_RLE32 = {DrawMem<Coding::Rle32>, nullptr, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_RLEALPHA = {DrawMem<Coding::Alpha8>, nullptr, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_RLE4_EX = {DrawEx<Coding::Rle4>, nullptr, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_RLE8_EX = {DrawEx<Coding::Rle8>, nullptr, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_RLE16_EX = {DrawEx<Coding::Rle16>, GUICC_565B_Index2Color, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_RLEM16_EX = {DrawEx<Coding::RleM16>, GUICC_565R_Index2Color, nullptr, nullptr};
const GUI_BITMAP_METHODS GUI_DRAW_RLE32_EX = {DrawEx<Coding::Rle32>, nullptr, nullptr, nullptr};
