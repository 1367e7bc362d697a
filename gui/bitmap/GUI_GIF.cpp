// GIF pictures (87a and 89a, LZW coded): drawn image by image into the current window, with
// size, image and comment queries. All input comes through a read callback that must
// deliver every byte asked for; the memory forms are bounded by the data's length.
#include <algorithm>
#include <cstring>

#include "gui/bitmap/GUI_Bitmap.h"

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }

constexpr int kMaxScreen = 2000;
constexpr int kMaxCodes = 4096;
constexpr int kStackGuard = 3000;

int g_restoreBkFill;

struct Work {
  GUI_GET_DATA_FUNC* pf;
  void* pParam;
  uint32_t off;
  // LZW state
  int minCodeSize, codeSize, clearCode, endCode, nextFree, limit, prevCode, firstChar;
  uint32_t acc;
  int numBits;
  int blockLeft;                   // bytes left in the current data sub-block
  bool dataEnded;
  uint16_t prefix[kMaxCodes];
  uint8_t suffix[kMaxCodes];
  uint8_t stack[kStackGuard + 2];
  int sp;
  GUI_COLOR colors[256];
  int numColors;
};

struct Screen {
  int width, height, globalSize;
};

// Graphic control of the next image. Without an extension before it an image has no
// transparent index (-1), whatever an earlier image had.
struct Control {
  int disposal = 0, transIndex = -1, delay = 0;
  bool valid = false;
};

struct Desc {
  int left, top, width, height;
  bool local, interlaced;
  int localSize;
};


bool Read(Work* w, uint8_t* out, uint32_t n) {
  const uint8_t* p = out;
  int got = w->pf(w->pParam, &p, n, w->off);
  if (got < 0 || static_cast<uint32_t>(got) != n || !p) return false;
  if (p != out) std::memcpy(out, p, n);
  w->off += n;
  return true;
}
bool ReadByte(Work* w, int* v) {
  uint8_t b;
  if (!Read(w, &b, 1)) return false;
  *v = b;
  return true;
}

bool ReadColors(Work* w, int n) {
  uint8_t rgb[3 * 256];
  if (!Read(w, rgb, static_cast<uint32_t>(3 * n))) return false;
  for (int i = 0; i < n; ++i) w->colors[i] = rgb[3 * i] | (rgb[3 * i + 1] << 8) | (rgb[3 * i + 2] << 16);
  w->numColors = n;
  return true;
}
bool SkipBytes(Work* w, uint32_t n) {
  uint8_t buf[256];
  while (n) {
    uint32_t k = std::min<uint32_t>(n, sizeof buf);
    if (!Read(w, buf, k)) return false;
    n -= k;
  }
  return true;
}
bool SkipSubBlocks(Work* w) {
  for (;;) {
    int len;
    if (!ReadByte(w, &len)) return false;
    if (len == 0) return true;
    if (!SkipBytes(w, static_cast<uint32_t>(len))) return false;
  }
}

bool ReadScreen(Work* w, Screen* s, bool withColors = true) {
  uint8_t h[13];
  if (!Read(w, h, 13)) return false;
  if (h[0] != 'G' || h[1] != 'I' || h[2] != 'F' || h[3] != '8' || (h[4] != '7' && h[4] != '9') || h[5] != 'a')
    return false;
  s->width = static_cast<int>(GUI__LE16(h + 6));
  s->height = static_cast<int>(GUI__LE16(h + 8));
  if (s->width > kMaxScreen || s->height > kMaxScreen) return false;
  s->globalSize = (h[10] & 0x80) ? (2 << (h[10] & 7)) : 0;
  w->numColors = 0;
  return !withColors || !s->globalSize || ReadColors(w, s->globalSize);
}

bool ReadControl(Work* w, Control* c) {
  uint8_t b[4];
  int len, term;
  if (!ReadByte(w, &len) || len != 4 || !Read(w, b, 4) || !ReadByte(w, &term) || term != 0) return false;
  c->disposal = (b[0] >> 2) & 7;
  c->transIndex = (b[0] & 1) ? b[3] : -1;
  c->delay = static_cast<int>(GUI__LE16(b + 1));
  c->valid = true;
  return true;
}

bool ReadDesc(Work* w, Desc* d) {
  uint8_t b[9];
  if (!Read(w, b, 9)) return false;
  d->left = static_cast<int>(GUI__LE16(b));
  d->top = static_cast<int>(GUI__LE16(b + 2));
  d->width = static_cast<int>(GUI__LE16(b + 4));
  d->height = static_cast<int>(GUI__LE16(b + 6));
  d->local = b[8] & 0x80;
  d->interlaced = b[8] & 0x40;
  d->localSize = d->local ? (2 << (b[8] & 7)) : 0;
  return true;
}

// --- LZW ----------------------------------------------------------------------------------------
bool InitLZW(Work* w) {
  int s;
  if (!ReadByte(w, &s) || s < 1 || s > 11) return false;
  w->minCodeSize = s;
  w->clearCode = 1 << s;
  w->endCode = w->clearCode + 1;
  w->nextFree = w->clearCode + 2;
  w->codeSize = s + 1;
  w->limit = 2 * w->clearCode;
  w->prevCode = -1;
  w->firstChar = 0;
  w->acc = 0;
  w->numBits = 0;
  w->blockLeft = 0;
  w->dataEnded = false;
  w->sp = 0;
  for (int i = 0; i < w->clearCode; ++i) {
    w->prefix[i] = 0;
    w->suffix[i] = static_cast<uint8_t>(i);
  }
  return true;
}

int NextDataByte(Work* w) {
  if (w->blockLeft == 0) {
    int len;
    if (w->dataEnded || !ReadByte(w, &len)) return -1;
    if (len == 0) {
      w->dataEnded = true;
      return -1;
    }
    w->blockLeft = len;
  }
  int b;
  if (!ReadByte(w, &b)) return -1;
  --w->blockLeft;
  return b;
}

int GetCode(Work* w) {
  while (w->numBits < w->codeSize) {
    int b = NextDataByte(w);
    if (b < 0) return -1;
    w->acc |= static_cast<uint32_t>(b) << w->numBits;
    w->numBits += 8;
  }
  int code = static_cast<int>(w->acc & ((1u << w->codeSize) - 1));
  w->acc >>= w->codeSize;
  w->numBits -= w->codeSize;
  return code;
}

// The next pixel index: -1 at the end code, -2 on an error.
int NextIndex(Work* w) {
  if (w->sp > 0) return w->stack[--w->sp];
  for (;;) {
    int code = GetCode(w);
    if (code < 0) return -2;
    if (code == w->clearCode) {
      w->codeSize = w->minCodeSize + 1;
      w->nextFree = w->clearCode + 2;
      w->limit = 2 * w->clearCode;
      w->prevCode = -1;
      continue;
    }
    if (code == w->endCode) return -1;
    if (w->prevCode < 0) {
      if (code >= w->clearCode) return -2;
      w->prevCode = code;
      w->firstChar = code;
      return code;
    }
    int in = code;
    if (code >= w->nextFree) {
      if (code > w->nextFree) return -2;
      w->stack[w->sp++] = static_cast<uint8_t>(w->firstChar);
      code = w->prevCode;
    }
    while (code >= w->clearCode && w->sp < kStackGuard) {
      w->stack[w->sp++] = w->suffix[code];
      code = w->prefix[code];
    }
    w->firstChar = w->suffix[code & (kMaxCodes - 1)];
    w->stack[w->sp++] = static_cast<uint8_t>(w->firstChar);
    if (w->nextFree < kMaxCodes) {
      w->prefix[w->nextFree] = static_cast<uint16_t>(w->prevCode);
      w->suffix[w->nextFree] = static_cast<uint8_t>(w->firstChar);
      ++w->nextFree;
      if (w->nextFree >= w->limit && w->limit < kMaxCodes) {
        ++w->codeSize;
        w->limit *= 2;
      }
    }
    w->prevCode = in;
    return w->stack[--w->sp];
  }
}

// Row of the k-th decoded line: plain, or the four passes of an interlaced image.
int RowOf(int k, int height, bool interlaced) {
  if (!interlaced) return k;
  static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    int n = start[pass] < height ? (height - start[pass] + step[pass] - 1) / step[pass] : 0;
    if (k < n) return start[pass] + k * step[pass];
    k -= n;
  }
  return height;
}

// Decodes and draws one image at x, y (the logical screen's top-left): 0 = done.
int DrawImage(Work* w, const Desc& d, const Control& c, int x, int y) {
  if (w->numColors == 0) return 1;
  uint32_t trans[256];
  for (int i = 0; i < w->numColors; ++i) trans[i] = LCD_Color2Index(w->colors[i]);
  if (!InitLZW(w)) return 1;
  bool restoreBk = c.disposal == 2 && g_restoreBkFill;
  uint32_t bkIndex = LCD_GetBkColorIndex();
  int result = 0;
  for (int k = 0; k < d.height && result == 0; ++k) {
    int y1 = y + d.top + RowOf(k, d.height, d.interlaced);
    int runStart = 0, runIndex = -1;
    auto flush = [&](int end) {
      if (runIndex < 0 || end <= runStart) return;
      if (runIndex == c.transIndex && !restoreBk) return;
      LCD_SetColorIndex(runIndex == c.transIndex ? bkIndex : trans[runIndex]);
      if (end - runStart == 1)
        LCD_DrawPixel(x + d.left + runStart, y1);
      else
        LCD_DrawHLine(x + d.left + runStart, y1, x + d.left + end - 1);
    };
    for (int i = 0; i < d.width; ++i) {
      int index = NextIndex(w);
      if (index == -1) {
        flush(i);
        return 0;
      }
      if (index < 0 || index >= w->numColors) {
        flush(i);
        result = 1;
        break;
      }
      if (index != runIndex) {
        flush(i);
        runStart = i;
        runIndex = index;
      }
    }
    if (result == 0) flush(d.width);
  }
  return result;
}

// Fills the part of the previous image's rectangle outside the current one with the
// background colour.
void RestoreBackground(const Desc& prev, const Desc& cur, int x, int y) {
  uint32_t saved = LCD_GetColorIndex();
  LCD_SetColorIndex(LCD_GetBkColorIndex());
  int px0 = prev.left, py0 = prev.top, px1 = prev.left + prev.width - 1, py1 = prev.top + prev.height - 1;
  int cx0 = cur.left, cy0 = cur.top, cx1 = cur.left + cur.width - 1, cy1 = cur.top + cur.height - 1;
  auto fill = [&](int a, int b, int c, int e) {
    if (a <= c && b <= e) LCD_FillRect(x + a, y + b, x + c, y + e);
  };
  fill(px0, py0, px1, std::min(py1, cy0 - 1));                    // above
  fill(px0, std::max(py0, cy1 + 1), px1, py1);                    // below
  int my0 = std::max(py0, cy0), my1 = std::min(py1, cy1);
  fill(px0, my0, std::min(px1, cx0 - 1), my1);                    // left
  fill(std::max(px0, cx1 + 1), my0, px1, my1);                    // right
  LCD_SetColorIndex(saved);
}

enum class Walk { Draw, Count, Info, Comment };

struct WalkResult {
  int count = 0;
  GUI_GIF_IMAGE_INFO info{};
  bool found = false;
};

// Walks the blocks of the picture. Draw: image n at x, y; Count: all images; Info: image n;
// Comment: the first comment into pBuffer. 0 = ok.
int WalkBlocks(Work* w, Walk mode, int n, int x, int y, uint8_t* pBuffer, int maxSize, WalkResult* r) {
  w->off = 0;
  Screen s;
  if (!ReadScreen(w, &s)) return 1;
  Control c{};
  Desc prev{};
  bool havePrev = false;
  int image = 0;
  for (;;) {
    int b;
    if (!ReadByte(w, &b)) return 1;
    if (b == ';') return mode == Walk::Info || mode == Walk::Comment ? 1 : 0;
    if (b == '!') {
      int label;
      if (!ReadByte(w, &label)) return 1;
      if (label == 0xF9) {
        if (!ReadControl(w, &c)) return 1;
      } else if (label == 0xFE && mode == Walk::Comment && n == 0) {
        int len;
        if (!ReadByte(w, &len)) return 1;
        uint8_t buf[256];
        if (!Read(w, buf, static_cast<uint32_t>(len))) return 1;
        if (pBuffer && maxSize > 0) std::memcpy(pBuffer, buf, static_cast<size_t>(std::min(len, maxSize)));
        r->found = true;
        return 0;
      } else if (label == 0x01 || label == 0xFE || label == 0xFF) {
        if (!SkipSubBlocks(w)) return 1;
      } else {
        return 1;
      }
      continue;
    }
    if (b != ',') return 1;
    Desc d;
    if (!ReadDesc(w, &d)) return 1;
    if ((mode == Walk::Draw || mode == Walk::Info) && image == n) {
      if (mode == Walk::Info) {
        r->info = GUI_GIF_IMAGE_INFO{d.left, d.top, d.width, d.height, c.valid ? c.delay : 0};
        r->found = true;
        return 0;
      }
      if (d.local && !ReadColors(w, d.localSize)) return 1;
      GUI_RECT saved = Ctx().ClipRect;
      // Nothing outside the logical screen is drawn.
      GUI_RECT& clip = Ctx().ClipRect;
      clip.x0 = static_cast<int16_t>(std::max<int>(clip.x0, x));
      clip.y0 = static_cast<int16_t>(std::max<int>(clip.y0, y));
      clip.x1 = static_cast<int16_t>(std::min<int>(clip.x1, x + s.width - 1));
      clip.y1 = static_cast<int16_t>(std::min<int>(clip.y1, y + s.height - 1));
      if (havePrev && c.disposal == 2 && g_restoreBkFill) RestoreBackground(prev, d, x, y);
      int result = DrawImage(w, d, c, x, y);
      Ctx().ClipRect = saved;
      r->found = true;
      return result;
    }
    if (d.local && !SkipBytes(w, static_cast<uint32_t>(3 * d.localSize))) return 1;
    int codeSize;
    if (!ReadByte(w, &codeSize) || !SkipSubBlocks(w)) return 1;
    ++image;
    r->count = image;
    prev = d;
    havePrev = true;
    c = Control{};
  }
}

// Runs fn with a work block from the GUI heap; 1 when there is none.
template <class F>
int WithWork(GUI_GET_DATA_FUNC* pf, void* pParam, F fn) {
  if (!pf) return 1;
  GUI_LockGuard lock;
  GUI_HMEM h = GUI_ALLOC_AllocNoInit(static_cast<int32_t>(sizeof(Work)));
  if (!h) return 1;
  auto* w = static_cast<Work*>(GUI_ALLOC_LockH(h));
  w->pf = pf;
  w->pParam = pParam;
  w->off = 0;
  int r = fn(w);
  GUI_ALLOC_UnlockH(&w);
  GUI_ALLOC_Free(h);
  return r;
}

int DrawEx(GUI_GET_DATA_FUNC* pf, void* pParam, int x, int y, int n) {
  return WithWork(pf, pParam, [&](Work* w) {
    Screen s;
    if (!ReadScreen(w, &s)) return 1;
    x += Ctx().xOff;
    y += Ctx().yOff;
    GUI_RECT r{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(x + s.width - 1),
               static_cast<int16_t>(y + s.height - 1)};
    uint32_t saved = LCD_GetColorIndex();
    int result = 0;
    // Nothing visible is no error: only decoding faults give 1.
    if (WM__IterateStart(&r)) {
      do {
        WalkResult wr;
        result |= WalkBlocks(w, Walk::Draw, n, x, y, nullptr, 0, &wr);
      } while (WM__IterateNext());
    }
    LCD_SetColorIndex(saved);
    return result;
  });
}

int SizeEx(GUI_GET_DATA_FUNC* pf, void* pParam, bool height) {
  int v = 0;
  if (WithWork(pf, pParam, [&](Work* w) {
        Screen s;
        if (!ReadScreen(w, &s, false)) return 1;
        v = height ? s.height : s.width;
        return 0;
      }))
    return 0;
  return v;
}

// Memory without a known length: the header alone is read.
constexpr uint32_t kUnknownLength = 13;

}  // namespace

int GUI_GIF_SetRestoreBkFill(int onOff) {
  int old = g_restoreBkFill;
  g_restoreBkFill = onOff > 0 ? 1 : 0;
  return old;
}

int GUI_GIF_DrawEx(GUI_GET_DATA_FUNC* pf, void* pParam, int x0, int y0, int index) {
  return DrawEx(pf, pParam, x0, y0, index);
}
int GUI_GIF_DrawFirstEx(GUI_GET_DATA_FUNC* pf, void* pParam, int x0, int y0) { return DrawEx(pf, pParam, x0, y0, 0); }
int GUI_GIF_DrawSub(const void* pGIF, uint32_t numBytes, int x0, int y0, int index) {
  GUI_MEM_SOURCE src{static_cast<const uint8_t*>(pGIF), numBytes};
  return pGIF ? DrawEx(GUI__GetDataMem, &src, x0, y0, index) : 1;
}
int GUI_GIF_Draw(const void* pGIF, uint32_t numBytes, int x0, int y0) { return GUI_GIF_DrawSub(pGIF, numBytes, x0, y0, 0); }

int GUI_GIF_GetXSizeEx(GUI_GET_DATA_FUNC* pf, void* pParam) { return SizeEx(pf, pParam, false); }
int GUI_GIF_GetYSizeEx(GUI_GET_DATA_FUNC* pf, void* pParam) { return SizeEx(pf, pParam, true); }
int GUI_GIF_GetXSize(const void* pGIF) {
  GUI_MEM_SOURCE src{static_cast<const uint8_t*>(pGIF), kUnknownLength};
  return pGIF ? SizeEx(GUI__GetDataMem, &src, false) : 0;
}
int GUI_GIF_GetYSize(const void* pGIF) {
  GUI_MEM_SOURCE src{static_cast<const uint8_t*>(pGIF), kUnknownLength};
  return pGIF ? SizeEx(GUI__GetDataMem, &src, true) : 0;
}

int GUI_GIF_GetInfoEx(GUI_GET_DATA_FUNC* pf, void* pParam, GUI_GIF_INFO* pInfo) {
  return WithWork(pf, pParam, [&](Work* w) {
    WalkResult r;
    if (WalkBlocks(w, Walk::Count, -1, 0, 0, nullptr, 0, &r)) return 1;
    w->off = 0;
    Screen s;
    if (!ReadScreen(w, &s)) return 1;
    if (pInfo) *pInfo = GUI_GIF_INFO{s.width, s.height, r.count};
    return 0;
  });
}
int GUI_GIF_GetInfo(const void* pGIF, uint32_t numBytes, GUI_GIF_INFO* pInfo) {
  GUI_MEM_SOURCE src{static_cast<const uint8_t*>(pGIF), numBytes};
  return pGIF ? GUI_GIF_GetInfoEx(GUI__GetDataMem, &src, pInfo) : 1;
}

int GUI_GIF_GetImageInfoEx(GUI_GET_DATA_FUNC* pf, void* pParam, GUI_GIF_IMAGE_INFO* pInfo, int index) {
  return WithWork(pf, pParam, [&](Work* w) {
    WalkResult r;
    if (WalkBlocks(w, Walk::Info, index, 0, 0, nullptr, 0, &r) || !r.found) return 1;
    if (pInfo) *pInfo = r.info;
    return 0;
  });
}
int GUI_GIF_GetImageInfo(const void* pGIF, uint32_t numBytes, GUI_GIF_IMAGE_INFO* pInfo, int index) {
  GUI_MEM_SOURCE src{static_cast<const uint8_t*>(pGIF), numBytes};
  return pGIF ? GUI_GIF_GetImageInfoEx(GUI__GetDataMem, &src, pInfo, index) : 1;
}

// Only the first comment of a picture is found (index 0).
int GUI_GIF_GetCommentEx(GUI_GET_DATA_FUNC* pf, void* pParam, uint8_t* pBuffer, int maxSize, int index) {
  return WithWork(pf, pParam, [&](Work* w) {
    WalkResult r;
    if (WalkBlocks(w, Walk::Comment, index, 0, 0, pBuffer, maxSize, &r) || !r.found) return 1;
    return 0;
  });
}
int GUI_GIF_GetComment(const void* pGIF, uint32_t numBytes, uint8_t* pBuffer, int maxSize, int index) {
  GUI_MEM_SOURCE src{static_cast<const uint8_t*>(pGIF), numBytes};
  return pGIF ? GUI_GIF_GetCommentEx(GUI__GetDataMem, &src, pBuffer, maxSize, index) : 1;
}
