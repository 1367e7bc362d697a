// The pixel formats of memory devices: 1, 8, 16 and 32 bits per pixel. Each is a device
// operations table whose operations write into the buffer of the device they belong to and
// mark the written pixels in its usage bitmap.
#include <algorithm>
#include <cstring>

#include "gui/bitmap/GUI_Bitmap.h"
#include "gui/memdev/GUI_Memdev.h"

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }

GUI_MEMDEV* Dev(GUI_DEVICE* d) {
  return GUI_MEMDEV__h2p(static_cast<GUI_MEMDEV_Handle>(reinterpret_cast<intptr_t>(d->pContext)));
}

const char* OutOfBoundsText(int bytesPerPixel) {
  return bytesPerPixel == 4 ? "GUIDEV_32:\nParameters out of bounds in _XY2PTR()"
                            : "GUIDEV_8:\nParameters out of bounds in _XY2PTR";
}

bool Inside(const GUI_MEMDEV* p, int x, int y) {
  return x >= p->x0 && x < p->x0 + p->XSize && y >= p->y0 && y < p->y0 + p->YSize;
}

template <int B>
uint32_t Load(const uint8_t* a) {
  if constexpr (B == 1) {
    return *a;
  } else if constexpr (B == 2) {
    uint16_t v;
    std::memcpy(&v, a, 2);
    return v;
  } else {
    uint32_t v;
    std::memcpy(&v, a, 4);
    return v;
  }
}
template <int B>
void Store(uint8_t* a, uint32_t v) {
  if constexpr (B == 1) {
    *a = static_cast<uint8_t>(v);
  } else if constexpr (B == 2) {
    uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(a, &w, 2);
  } else {
    std::memcpy(a, &v, 4);
  }
}

// Address of a pixel; null (after the report) outside the device.
template <int B>
uint8_t* XY2PTR(GUI_MEMDEV* p, int x, int y) {
  if (!Inside(p, x, y)) {
    GUI_DebugErrorOut2(OutOfBoundsText(B), x, y);
    return nullptr;
  }
  return GUI_MEMDEV__Pixels(p) + static_cast<ptrdiff_t>(y - p->y0) * p->BytesPerLine + (x - p->x0) * B;
}

template <int B>
uint32_t XorMask(GUI_DEVICE* d) {
  if constexpr (B == 1) return 0xFF;
  return d->pColorConvAPI->pfGetIndexMask();
}

// The usage bitmap of a device, taken once per operation; null when it has none.
GUI_USAGE* UsageOf(const GUI_MEMDEV* p) { return p->hUsage ? GUI_USAGE__h2p(p->hUsage) : nullptr; }

void Mark(GUI_MEMDEV* p, int x, int y) {
  if (p->hUsage) GUI_USAGE__AddPixel(UsageOf(p), x, y);
}

// Marks the pixels of one line as they are written, a run at a time.
class RunMarker {
 public:
  RunMarker(GUI_USAGE* u, int x, int y) : u_(u), x_(x), y_(y) {}
  ~RunMarker() { flush(); }
  RunMarker(const RunMarker&) = delete;
  RunMarker& operator=(const RunMarker&) = delete;
  void add(int k) {
    if (k == end_) {
      ++end_;
      return;
    }
    flush();
    start_ = k;
    end_ = k + 1;
  }

 private:
  void flush() {
    if (u_ && end_ > start_) GUI_USAGE__AddHLine(u_, x_ + start_, y_, end_ - start_);
    start_ = end_ = -2;
  }
  GUI_USAGE* u_;
  int x_, y_;
  int start_ = -2, end_ = -2;
};

// Pixel `pos` of a packed line of 1, 2 or 4 bits, most significant bits first.
template <int BPP>
uint32_t Packed(const uint8_t* line, int pos) {
  constexpr int kPerByteLog = BPP == 1 ? 3 : BPP == 2 ? 2 : 1;
  constexpr int kMask = (1 << kPerByteLog) - 1;
  return (line[pos >> kPerByteLog] >> (8 - BPP * ((pos & kMask) + 1))) & ((1u << BPP) - 1);
}
uint32_t Packed(const uint8_t* line, int bpp, int pos) {
  return bpp == 1 ? Packed<1>(line, pos) : bpp == 2 ? Packed<2>(line, pos) : Packed<4>(line, pos);
}

const uint32_t kDefaultTrans[2] = {0, 1};

// --- 8, 16 and 32 bits per pixel ---------------------------------------------------------------
// n pixels of one value from a on.
template <int B>
void FillRun(uint8_t* a, int n, uint32_t index) {
  if constexpr (B == 1)
    std::memset(a, static_cast<int>(index & 0xFF), static_cast<size_t>(n));
  else if constexpr (B == 2)
    GUI__FillWords16(a, n, static_cast<uint16_t>(index));
  else
    GUI__FillWords32(a, n, index);
}

template <int B>
void FillRectT(GUI_DEVICE* d, int x0, int y0, int x1, int y1) {
  GUI_MEMDEV* p = Dev(d);
  if (!p || x1 < x0 || y1 < y0) return;
  const int n = x1 - x0 + 1;
  if (GUI_USAGE* u = UsageOf(p))
    for (int y = y0; y <= y1; ++y) GUI_USAGE__AddHLine(u, x0, y, n);
  bool xorMode = Ctx().DrawMode & GUI_DRAWMODE_XOR;
  uint32_t index = *Ctx().LCD_pColorIndex, mask = XorMask<B>(d);
  const uint8_t* firstRow = nullptr;   // the first filled line, copied into the others
  for (int y = y0; y <= y1; ++y) {
    uint8_t* a = XY2PTR<B>(p, x0, y);
    if (!a || !XY2PTR<B>(p, x1, y)) return;
    if (xorMode) {
      for (int x = 0; x < n; ++x, a += B) Store<B>(a, Load<B>(a) ^ mask);
    } else if (firstRow) {
      std::memcpy(a, firstRow, static_cast<size_t>(n) * B);
    } else {
      FillRun<B>(a, n, index);
      firstRow = a;
    }
  }
}

template <int B>
void DrawHLineT(GUI_DEVICE* d, int x0, int y, int x1) {
  FillRectT<B>(d, x0, y, x1, y);
}

template <int B>
void DrawVLineT(GUI_DEVICE* d, int x, int y0, int y1) {
  GUI_MEMDEV* p = Dev(d);
  if (!p) return;
  bool xorMode = Ctx().DrawMode & GUI_DRAWMODE_XOR;
  uint32_t index = *Ctx().LCD_pColorIndex, mask = XorMask<B>(d);
  GUI_USAGE* u = UsageOf(p);
  for (int y = y0; y <= y1; ++y) {
    uint8_t* a = XY2PTR<B>(p, x, y);
    if (!a) return;
    Store<B>(a, xorMode ? Load<B>(a) ^ mask : index);
    if (u) GUI_USAGE__AddPixel(u, x, y);
  }
}

template <int B>
uint32_t GetPixelIndexT(GUI_DEVICE* d, int x, int y) {
  GUI_MEMDEV* p = Dev(d);
  uint8_t* a = p ? XY2PTR<B>(p, x, y) : nullptr;
  return a ? Load<B>(a) : 0;
}

template <int B>
void SetPixelIndexT(GUI_DEVICE* d, int x, int y, uint32_t index) {
  GUI_MEMDEV* p = Dev(d);
  uint8_t* a = p ? XY2PTR<B>(p, x, y) : nullptr;
  if (!a) return;
  Store<B>(a, index);
  Mark(p, x, y);
}

template <int B>
void XorPixelT(GUI_DEVICE* d, int x, int y) {
  GUI_MEMDEV* p = Dev(d);
  uint8_t* a = p ? XY2PTR<B>(p, x, y) : nullptr;
  if (!a) return;
  Store<B>(a, Load<B>(a) ^ XorMask<B>(d));
  Mark(p, x, y);
}

// Pixels k0..k1-1 of a line of 1, 2 or 4 bits per pixel (pixel k is pixel diff + k of the
// data) into dst (pixel 0 of the line); the written pixels go to the marker when there is one.
template <int B, int BPP>
void PackedLine(uint8_t* dst, const uint8_t* src, int diff, int k0, int k1, int mode, const uint32_t* pTrans,
                uint32_t mask, RunMarker* marker) {
  const uint32_t* t = pTrans ? pTrans : kDefaultTrans;
  const bool xorMode = mode & GUI_DRAWMODE_XOR, trans = mode & GUI_DRAWMODE_TRANS;
  for (int k = k0; k < k1; ++k) {
    const int pos = diff + k;
    // In XOR and transparent mode a byte of background pixels writes nothing.
    if constexpr (BPP == 1) {
      if ((xorMode || trans) && (pos & 7) == 0 && src[pos >> 3] == 0) {
        k += 7;
        continue;
      }
    }
    const uint32_t v = Packed<BPP>(src, pos);
    uint8_t* a = dst + k * B;
    if (xorMode) {
      if (!v) continue;
      Store<B>(a, Load<B>(a) ^ mask);
    } else {
      if (v == 0 && trans) continue;
      Store<B>(a, (BPP == 1 || pTrans || v < 2) ? t[v] : v);
    }
    if (marker) marker->add(k);
  }
}

template <int B>
void DrawBitmapT(GUI_DEVICE* d, int x0, int y0, int xSize, int ySize, int bpp, int bytesPerLine,
                 const uint8_t* pData, int diff, const uint32_t* pTrans) {
  GUI_MEMDEV* p = Dev(d);
  if (!p || !pData || xSize <= 0 || ySize <= 0) return;
  bool known = bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8 ||
               (B != 1 && (bpp == 16 || bpp == 24 || bpp == 32));
  if (!known) return;
  int x = x0 + diff;
  if (x < p->x0 && bpp < 8) {
    const char* text = B == 4 ? "GUIDEV_32:\nx < pDev->x0: Act= %d, Border= %d, Clip= %d in _DrawBitLine1BPP()"
                              : "GUIDEV:\nx < pDev->x0, Act= %d, Border= %d, Clip= %d in DrawBitLine1BPP()";
    GUI_DebugErrorOut3(text, x, p->x0, Ctx().ClipRect.x0);
  }
  int mode = Ctx().DrawMode & (GUI_DRAWMODE_XOR | GUI_DRAWMODE_TRANS);
  bool markFirst = B == 4 ? !(mode & GUI_DRAWMODE_TRANS) : mode == 0;
  // Only the part of the rectangle inside the device is written.
  int k0 = std::max(0, p->x0 - x), k1 = std::min(xSize, p->x0 + p->XSize - x);
  if (k0 >= k1) return;
  GUI_USAGE* u = UsageOf(p);
  if (markFirst && u)
    for (int i = 0; i < ySize; ++i) GUI_USAGE__AddHLine(u, x + k0, y0 + i, k1 - k0);
  const uint32_t mask = XorMask<B>(d);
  const GUICC* pCC = d->pColorConvAPI;
  // 16-bit indices into a 32-bit device become the colours of the layer's conversion.
  const GUICC* pLayerCC = nullptr;
  if (B == 4 && bpp == 16) {
    GUI_DEVICE* pDriver = d->LayerIndex >= 0 && d->LayerIndex < GUI_NUM_LAYERS ? GUI_DEVICE_GetDriver(d->LayerIndex) : nullptr;
    pLayerCC = pDriver ? pDriver->pColorConvAPI : nullptr;
  }
  for (int i = 0; i < ySize; ++i, pData += bytesPerLine) {
    int y = y0 + i;
    if (y < p->y0 || y >= p->y0 + p->YSize) {
      GUI_DebugErrorOut2(OutOfBoundsText(B), x, y);
      continue;
    }
    uint8_t* dst = GUI_MEMDEV__Pixels(p) + static_cast<ptrdiff_t>(y - p->y0) * p->BytesPerLine + (x - p->x0) * B;
    RunMarker marker(markFirst ? nullptr : u, x, y);
    RunMarker* pMarker = markFirst || !u ? nullptr : &marker;
    auto put = [&](int k, uint32_t v) {
      Store<B>(dst + k * B, v);
      if (pMarker) pMarker->add(k);
    };
    switch (bpp) {
      case 1: PackedLine<B, 1>(dst, pData, diff, k0, k1, mode, pTrans, mask, pMarker); break;
      case 2: PackedLine<B, 2>(dst, pData, diff, k0, k1, mode, pTrans, mask, pMarker); break;
      case 4: PackedLine<B, 4>(dst, pData, diff, k0, k1, mode, pTrans, mask, pMarker); break;
      case 8:
        if (pTrans && (mode & GUI_DRAWMODE_XOR)) break;
        for (int k = k0; k < k1; ++k) {
          uint32_t v = pData[k];
          if (v == 0 && (mode & GUI_DRAWMODE_TRANS)) continue;
          put(k, pTrans ? pTrans[v] : v);
        }
        break;
      case 16:
        if constexpr (B == 2) {
          std::memcpy(dst + k0 * 2, pData + k0 * 2, static_cast<size_t>(k1 - k0) * 2);
          if (!markFirst && u) GUI_USAGE__AddHLine(u, x + k0, y, k1 - k0);
        } else if constexpr (B == 4) {
          for (int k = k0; k < k1; ++k) {
            uint16_t v;
            std::memcpy(&v, pData + 2 * k, 2);
            put(k, pLayerCC ? pLayerCC->pfIndex2Color(v) & 0x00FFFFFFu : 0);
          }
        }
        break;
      default:                     // 24 and 32: one 32-bit colour per pixel
        for (int k = k0; k < k1; ++k) {
          uint32_t c;
          std::memcpy(&c, pData + 4 * k, 4);
          if constexpr (B == 4) {
            uint32_t t = c >> 24;
            if (t == 0xFF) continue;
            put(k, t == 0 ? c : GUI__AlphaBlend(c, Load<4>(dst + 4 * k)));
          } else {
            put(k, pCC->pfColor2Index(c));
          }
        }
        break;
    }
  }
}

// SetOrg and GetDevProp go to the device below.
template <int B>
void SetOrgT(GUI_DEVICE* d, int x, int y) {
  if (d->pNext) {
    d->pNext->pDeviceAPI->pfSetOrg(d->pNext, x, y);
  } else if (B != 4) {
    GUI_DebugErrorOut("GUIDEV_8: Illegal value of pDevice->pNext in function _SetOrg()");
  }
}

template <int B>
int32_t GetDevPropT(GUI_DEVICE* d, int index) {
  if (index == LCD_DEVCAP_BITSPERPIXEL) return B * 8;
  if (B == 4) return 0;
  if (!d->pNext) {
    GUI_DebugErrorOut("GUIDEV_8: Illegal value of pDevice->pNext in function _GetDevProp()");
    return -1;
  }
  return d->pNext->pDeviceAPI->pfGetDevProp(d->pNext, index);
}

void GetRect(GUI_DEVICE* d, GUI_RECT* r) {
  GUI_MEMDEV* p = Dev(d);
  if (!p) {
    *r = GUI_RECT{0, 0, -1, -1};
    return;
  }
  *r = GUI_RECT{p->x0, p->y0, static_cast<int16_t>(p->x0 + p->XSize - 1), static_cast<int16_t>(p->y0 + p->YSize - 1)};
}

tLCDDEV_Func GetDevFuncStd(GUI_DEVICE**, int index) {
  return index == GUI_MEMDEV_DEVFUNC_COPY ? reinterpret_cast<tLCDDEV_Func>(GUI_MEMDEV__CopyToLCDFunc) : nullptr;
}

// The copy of a 32-bit device: transparent pixels are skipped, translucent ones blended with
// the target, opaque ones copied; every run goes out as one line.
void CopyToLCD32(GUI_MEMDEV_Handle h, int x, int y) {
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  const GUICC* pDst = LCD__GetpCC();
  if (!p || !pDst) return;
  GUI_HMEM hBuf = GUI_ALLOC_AllocNoInit(static_cast<int32_t>(p->XSize) * 4);
  if (!hBuf) return;
  p = GUI_MEMDEV__h2p(h);
  auto* buf = static_cast<uint32_t*>(GUI_ALLOC_h2p(hBuf));
  const GUI_RECT& c = Ctx().ClipRect;
  int dstBpp = LCD__GetBPPDevice(pDst->pfGetIndexMask());
  int i0 = std::max(0, c.y0 - y), i1 = std::min<int>(p->YSize, c.y1 - y + 1);
  int k0 = std::max(0, c.x0 - x), k1 = std::min<int>(p->XSize, c.x1 - x + 1);
  for (int i = i0; i < i1; ++i) {
    const uint8_t* line = GUI_MEMDEV__Pixels(p) + static_cast<ptrdiff_t>(i) * p->BytesPerLine;
    int runStart = 0, n = 0;
    auto flush = [&]() {
      if (n == 0) return;
      GUI__DrawIndexLine(x + runStart, y + i, n, buf, dstBpp);
      n = 0;
    };
    auto span = [&](int from, int to) {
      for (int k = from; k < to; ++k) {
        uint32_t v;
        std::memcpy(&v, line + 4 * k, 4);
        uint32_t t = v >> 24;
        if (t == 0xFF) {
          flush();
          continue;
        }
        if (n == 0) runStart = k;
        GUI_COLOR col = t ? GUI__AlphaBlend(v, LCD_Index2Color(LCD_GetPixelIndex(x + k, y + i))) : v;
        buf[n++] = pDst->pfColor2Index(col & 0x00FFFFFFu);
      }
      flush();
    };
    if (!p->hUsage) {
      span(k0, k1);
      continue;
    }
    // With a usage bitmap only the marked runs go out.
    int xs = k0, l;
    while (xs < k1 && (l = GUI_USAGE_GetNextDirty(p->hUsage, &xs, i)) > 0) {
      span(xs, std::min(xs + l, k1));
      xs += l;
    }
  }
  GUI_ALLOC_Free(hBuf);
}

tLCDDEV_Func GetDevFunc32(GUI_DEVICE**, int index) {
  return index == GUI_MEMDEV_DEVFUNC_COPY ? reinterpret_cast<tLCDDEV_Func>(CopyToLCD32) : nullptr;
}

void* GetDevData8(GUI_DEVICE*, int index) {
  return index == 1 ? const_cast<GUI_DEVICE_API*>(&GUI_MEMDEV_DEVICE_8) : nullptr;
}
void* GetDevData16(GUI_DEVICE*, int index) {
  return index == 1 ? const_cast<GUI_DEVICE_API*>(&GUI_MEMDEV_DEVICE_16) : nullptr;
}
void* GetDevData32(GUI_DEVICE*, int index) {
  return index == 1 ? const_cast<GUI_DEVICE_API*>(&GUI_MEMDEV_DEVICE_32) : nullptr;
}
void* GetDevData1(GUI_DEVICE*, int index) {
  return index == 1 ? const_cast<GUI_DEVICE_API*>(&GUI_MEMDEV_DEVICE_1) : nullptr;
}

// --- 1 bit per pixel ---------------------------------------------------------------------------
uint8_t* Bit(GUI_MEMDEV* p, int x, int y, int* pShift) {
  if (!Inside(p, x, y)) {
    GUI_DebugErrorOut2("GUIDEV_1:\nParameters out of bounds in _XY2PTR_BITOFFSET()", x, y);
    return nullptr;
  }
  int xr = x - p->x0;
  *pShift = 7 - (xr & 7);
  return GUI_MEMDEV__Pixels(p) + static_cast<ptrdiff_t>(y - p->y0) * p->BytesPerLine + (xr >> 3);
}

void Put1(GUI_MEMDEV* p, int x, int y, uint32_t v, bool xorMode) {
  int s;
  uint8_t* a = Bit(p, x, y, &s);
  if (!a) return;
  if (xorMode)
    *a ^= static_cast<uint8_t>(1u << s);
  else
    *a = static_cast<uint8_t>((*a & ~(1u << s)) | ((v & 1u) << s));
  Mark(p, x, y);
}

uint32_t GetPixelIndex1(GUI_DEVICE* d, int x, int y) {
  GUI_MEMDEV* p = Dev(d);
  int s;
  uint8_t* a = p ? Bit(p, x, y, &s) : nullptr;
  return a ? (*a >> s) & 1u : 0;
}
void SetPixelIndex1(GUI_DEVICE* d, int x, int y, uint32_t index) {
  if (GUI_MEMDEV* p = Dev(d)) Put1(p, x, y, index, false);
}
void XorPixel1(GUI_DEVICE* d, int x, int y) {
  if (GUI_MEMDEV* p = Dev(d)) Put1(p, x, y, 0, true);
}
void FillRect1(GUI_DEVICE* d, int x0, int y0, int x1, int y1) {
  GUI_MEMDEV* p = Dev(d);
  if (!p) return;
  bool xorMode = Ctx().DrawMode & GUI_DRAWMODE_XOR;
  uint32_t index = *Ctx().LCD_pColorIndex;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) Put1(p, x, y, index, xorMode);
}
void DrawHLine1(GUI_DEVICE* d, int x0, int y, int x1) { FillRect1(d, x0, y, x1, y); }
void DrawVLine1(GUI_DEVICE* d, int x, int y0, int y1) { FillRect1(d, x, y0, x, y1); }

void DrawBitmap1(GUI_DEVICE* d, int x0, int y0, int xSize, int ySize, int bpp, int bytesPerLine,
                 const uint8_t* pData, int diff, const uint32_t* pTrans) {
  GUI_MEMDEV* p = Dev(d);
  if (!p || !pData || (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8)) return;
  int mode = Ctx().DrawMode & (GUI_DRAWMODE_XOR | GUI_DRAWMODE_TRANS);
  const uint32_t* t = pTrans ? pTrans : kDefaultTrans;
  int x = x0 + diff;
  for (int i = 0; i < ySize; ++i, pData += bytesPerLine) {
    for (int k = 0; k < xSize; ++k) {
      if (!Inside(p, x + k, y0 + i)) continue;
      uint32_t v = bpp == 8 ? pData[k] : Packed(pData, bpp, diff + k);
      if (bpp == 1) {
        if (mode & GUI_DRAWMODE_XOR) {
          if (v) Put1(p, x + k, y0 + i, 0, true);
        } else if (!(v == 0 && (mode & GUI_DRAWMODE_TRANS))) {
          Put1(p, x + k, y0 + i, t[v], false);
        }
      } else {
        if (v == 0 && (mode & GUI_DRAWMODE_TRANS)) continue;
        Put1(p, x + k, y0 + i, pTrans ? pTrans[v] : v, false);
      }
    }
  }
}

void SetOrg1(GUI_DEVICE* d, int x, int y) {
  if (d->pNext) d->pNext->pDeviceAPI->pfSetOrg(d->pNext, x, y);
}
int32_t GetDevProp1(GUI_DEVICE* d, int index) {
  return d->pNext ? d->pNext->pDeviceAPI->pfGetDevProp(d->pNext, index) : -1;
}

// --- identity conversion -----------------------------------------------------------------------
uint32_t Identity(GUI_COLOR c) { return c; }
GUI_COLOR IdentityColor(uint32_t i) { return i; }
uint32_t AllBits() { return 0xFFFFFFFFu; }

}  // namespace

const GUICC GUICC_8888 = {Identity, IdentityColor, AllBits};

const GUI_DEVICE_API GUI_MEMDEV_DEVICE_16 = {
    DEVICE_CLASS_MEMDEV, DrawBitmapT<2>, DrawHLineT<2>, DrawVLineT<2>, FillRectT<2>, GetPixelIndexT<2>,
    SetPixelIndexT<2>,   XorPixelT<2>,   SetOrgT<2>,    GetDevFuncStd, GetDevPropT<2>, GetDevData16,
    GetRect,
};
const GUI_DEVICE_API GUI_MEMDEV_DEVICE_8 = {
    DEVICE_CLASS_MEMDEV, DrawBitmapT<1>, DrawHLineT<1>, DrawVLineT<1>, FillRectT<1>, GetPixelIndexT<1>,
    SetPixelIndexT<1>,   XorPixelT<1>,   SetOrgT<1>,    GetDevFuncStd, GetDevPropT<1>, GetDevData8,
    GetRect,
};
const GUI_DEVICE_API GUI_MEMDEV_DEVICE_32 = {
    DEVICE_CLASS_MEMDEV, DrawBitmapT<4>, DrawHLineT<4>, DrawVLineT<4>, FillRectT<4>, GetPixelIndexT<4>,
    SetPixelIndexT<4>,   XorPixelT<4>,   SetOrgT<4>,    GetDevFunc32,  GetDevPropT<4>, GetDevData32,
    GetRect,
};
const GUI_DEVICE_API GUI_MEMDEV_DEVICE_1 = {
    DEVICE_CLASS_MEMDEV, DrawBitmap1, DrawHLine1,  DrawVLine1,    FillRect1,   GetPixelIndex1, SetPixelIndex1,
    XorPixel1,           SetOrg1,     GetDevFuncStd, GetDevProp1, GetDevData1, GetRect,
};
