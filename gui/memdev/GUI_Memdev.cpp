// Memory devices: the usage bitmap, creation, selection and deletion, the copy to the
// current target and banded drawing.
#include "gui/memdev/GUI_Memdev.h"

#include "gui/WM.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }

constexpr int kUsageHeader = static_cast<int>((sizeof(GUI_USAGE) + 7) & ~size_t{7});

GUI_USAGE* Usage(GUI_HMEM h) { return h ? static_cast<GUI_USAGE*>(GUI_ALLOC_h2p(h)) : nullptr; }
uint8_t* UsageBits(GUI_USAGE* p) { return reinterpret_cast<uint8_t*>(p) + kUsageHeader; }

int (*g_pfAfterBand)(int);

// The handle that an argument of 0 stands for: the selected device.
GUI_MEMDEV_Handle OrSelected(GUI_MEMDEV_Handle h) { return h ? h : Ctx().hDevData; }

}  // namespace


// --- usage bitmap ------------------------------------------------------------------------
static const GUI_USAGE_API kUsageAPI = {GUI_USAGE_BM_AddPixel, GUI_USAGE_BM_AddHLine, GUI_USAGE_BM_Clear};

GUI_HMEM GUI_USAGE_BM_Create(int x0, int y0, int xSize, int ySize, int) {
  if (xSize < 0 || ySize < 0) return 0;
  int32_t bpl = ((xSize + 15) / 8) & ~1;
  int64_t size = kUsageHeader + static_cast<int64_t>(bpl) * ySize;
  GUI_HMEM h = size <= INT32_MAX ? GUI_ALLOC_AllocZero(static_cast<int32_t>(size)) : 0;
  if (!h) {
    GUI_DebugErrorOut("GUIDEV_UsageBM:\nToo little memory in GUI_USAGE_BM_Create()");
    return 0;
  }
  GUI_USAGE* p = Usage(h);
  p->x0 = static_cast<int16_t>(x0);
  p->y0 = static_cast<int16_t>(y0);
  p->XSize = static_cast<int16_t>(xSize);
  p->YSize = static_cast<int16_t>(ySize);
  p->pAPI = &kUsageAPI;
  p->UseCnt = 1;
  p->BytesPerLine = bpl;
  return h;
}

GUI_USAGE* GUI_USAGE__h2p(GUI_HMEM h) { return Usage(h); }

void GUI_USAGE__AddPixel(GUI_USAGE* p, int x, int y) {
  if (!p) return;
  int xr = x - p->x0, yr = y - p->y0;
  if (xr < 0 || xr >= p->XSize || yr < 0 || yr >= p->YSize) {
    GUI_DebugErrorOut2("GUIDEV_UsageBM:\nparameters out of bounds in GUI_USAGE_BM_AddPixel()", x, y);
    return;
  }
  UsageBits(p)[yr * p->BytesPerLine + (xr >> 3)] |= static_cast<uint8_t>(0x80 >> (xr & 7));
}
void GUI_USAGE_BM_AddPixel(GUI_HMEM h, int x, int y) { GUI_USAGE__AddPixel(Usage(h), x, y); }

// Rows outside the bitmap are ignored and the run is clipped to it.
void GUI_USAGE__AddHLine(GUI_USAGE* p, int x, int y, int len) {
  if (!p || len <= 0) return;
  int yr = y - p->y0;
  if (yr < 0 || yr >= p->YSize) return;
  int xr = x - p->x0;
  if (xr < 0) {
    GUI_DebugErrorOut3("GUIDEV_UsageBM:\nNegative x offset, Act= %d, Border= %d, Clip= %d in GUI_USAGE_BM_AddHLine()",
                       x, p->x0, Ctx().ClipRect.x0);
    len += xr;
    xr = 0;
  }
  if (xr >= p->XSize || len <= 0) return;
  len = std::min(len, p->XSize - xr);
  uint8_t* row = UsageBits(p) + yr * p->BytesPerLine;
  int end = xr + len;              // exclusive
  int b0 = xr >> 3, b1 = (end - 1) >> 3;
  uint8_t first = static_cast<uint8_t>(0xFF >> (xr & 7));
  uint8_t last = static_cast<uint8_t>(0xFF << (7 - ((end - 1) & 7)));
  if (b0 == b1) {
    row[b0] |= first & last;
    return;
  }
  row[b0] |= first;
  if (b1 > b0 + 1) std::memset(row + b0 + 1, 0xFF, static_cast<size_t>(b1 - b0 - 1));
  row[b1] |= last;
}
void GUI_USAGE_BM_AddHLine(GUI_HMEM h, int x, int y, int len) { GUI_USAGE__AddHLine(Usage(h), x, y, len); }

void GUI_USAGE_BM_Clear(GUI_HMEM h) {
  GUI_USAGE* p = Usage(h);
  if (p) std::memset(UsageBits(p), 0, static_cast<size_t>(p->BytesPerLine) * p->YSize);
}

namespace {

// 64 bits of a usage line from byte b on, the first pixel in the top bit; bytes past the
// line read as 0.
inline uint64_t UsageWord(const uint8_t* row, int b, int bytesPerLine) {
  uint64_t v = 0;
  if (b + 8 <= bytesPerLine) {
    std::memcpy(&v, row + b, 8);
#if defined(__GNUC__)
    if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(v);
    if constexpr (std::endian::native == std::endian::big) return v;
#endif
    v = 0;
  }
  for (int i = 0; i < 8; ++i) v = (v << 8) | (b + i < bytesPerLine ? row[b + i] : 0u);
  return v;
}

// The first pixel from x on whose bit equals `set`, or `end` when there is none before it.
// A word of 64 pixels is tested at a time.
int FindBit(const uint8_t* row, int bytesPerLine, int x, int end, bool set) {
  const uint64_t flip = set ? 0 : ~uint64_t{0};
  int base = x & ~7;
  uint64_t w = (UsageWord(row, base >> 3, bytesPerLine) ^ flip) & (~uint64_t{0} >> (x & 7));
  while (!w) {
    base += 64;
    if (base >= end) return end;
    w = UsageWord(row, base >> 3, bytesPerLine) ^ flip;
  }
  return std::min(base + std::countl_zero(w), end);
}

}  // namespace

int GUI_USAGE__GetNextDirty(const GUI_USAGE* p, int* px, int y) {
  if (!p) return 0;
  int x = *px;
  if (y < 0 || y >= p->YSize || x < 0 || x >= p->XSize) return 0;
  const uint8_t* row = reinterpret_cast<const uint8_t*>(p) + kUsageHeader + y * p->BytesPerLine;
  const int start = FindBit(row, p->BytesPerLine, x, p->XSize, true);
  if (start >= p->XSize) return 0;
  *px = start;
  return FindBit(row, p->BytesPerLine, start, p->XSize, false) - start;
}
int GUI_USAGE_GetNextDirty(GUI_HMEM h, int* px, int y) { return GUI_USAGE__GetNextDirty(Usage(h), px, y); }

void GUI_USAGE_DecUseCnt(GUI_HMEM h) {
  GUI_USAGE* p = Usage(h);
  if (!p) return;
  if (--p->UseCnt <= 0) GUI_ALLOC_Free(h);
}

// --- record access ---------------------------------------------------------------------------
GUI_MEMDEV* GUI_MEMDEV__h2p(GUI_MEMDEV_Handle h) {
  return h ? static_cast<GUI_MEMDEV*>(GUI_ALLOC_h2p(h)) : nullptr;
}
uint8_t* GUI_MEMDEV__Pixels(GUI_MEMDEV* p) { return reinterpret_cast<uint8_t*>(p) + GUI_MEMDEV_HEADER_BYTES; }

// --- creation and deletion ---------------------------------------------------------------------
GUI_MEMDEV_Handle GUI_MEMDEV__CreateFixed(int x0, int y0, int xSize, int ySize, int flags,
                                          const GUI_DEVICE_API* pAPI, const GUICC* pCC) {
  if (!pAPI || !pCC) return 0;
  int bpp = LCD__GetBPPDevice(pCC->pfGetIndexMask());
  int64_t bpl64 = (static_cast<int64_t>(bpp) * std::max(xSize, 0) + 7) / 8;
  int32_t bpl = bpl64 <= INT32_MAX ? static_cast<int32_t>(bpl64) : 0;
  if (ySize <= 0) {
    int64_t free = GUI_ALLOC_GetNumFreeBytes();
    if (!(flags & GUI_MEMDEV_NOTRANS)) free = free / 4 * 3;
    int64_t lines = 0;
    if (bpl == 0)
      GUI_DebugErrorOut("GUIDEV:\nIllegal value for 'BytesPerLine' in function GUI_MEMDEV__CreateFixed().");
    else
      lines = (free - GUI_MEMDEV_HEADER_BYTES) / bpl;
    ySize = static_cast<int>(std::min<int64_t>(-static_cast<int64_t>(ySize), std::max<int64_t>(lines, 0)));
  }
  // Checked before anything is made, so that a refused size leaves the heap as it was.
  if (ySize <= 0 || bpl <= 0 || xSize > 0x7FFF || ySize > 0x7FFF) {
    GUI_DebugErrorOut("GUIDEV:\nToo little memory in GUI_MEMDEV__CreateFixed()");
    return 0;
  }
  GUI_DEVICE* pDevice = GUI_DEVICE_Create(pAPI, pCC, 0, Ctx().SelLayer);
  if (!pDevice) return 0;
  GUI_HMEM hUsage = 0;
  if (!(flags & GUI_MEMDEV_NOTRANS)) {
    hUsage = GUI_USAGE_BM_Create(x0, y0, xSize, ySize, 0);
    if (!hUsage) {
      GUI_DEVICE_Delete(pDevice);
      return 0;
    }
  }
  int64_t size = GUI_MEMDEV_HEADER_BYTES + static_cast<int64_t>(bpl) * ySize;
  GUI_MEMDEV_Handle h = 0;
  if (size <= INT32_MAX)
    h = (flags & GUI_MEMDEV_NOTRANS) ? GUI_ALLOC_AllocNoInit(static_cast<int32_t>(size))
                                     : GUI_ALLOC_AllocZero(static_cast<int32_t>(size));
  if (!h) {
    GUI_DEVICE_Delete(pDevice);
    if (hUsage) GUI_ALLOC_Free(hUsage);
    GUI_DebugErrorOut("GUIDEV:\nAlloc failed in GUI_MEMDEV__CreateFixed()");
    return 0;
  }
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  p->pDevice = pDevice;
  p->x0 = static_cast<int16_t>(x0);
  p->y0 = static_cast<int16_t>(y0);
  p->XSize = static_cast<int16_t>(xSize);
  p->YSize = static_cast<int16_t>(ySize);
  p->BytesPerLine = bpl;
  p->BitsPerPixel = bpp;
  p->hUsage = hUsage;
  p->Pad = 0;
  pDevice->pContext = reinterpret_cast<void*>(static_cast<intptr_t>(h));
  return h;
}

GUI_MEMDEV_Handle GUI_MEMDEV_CreateFixedLocked(int x0, int y0, int xSize, int ySize, int flags,
                                               const GUI_DEVICE_API* pAPI, const GUICC* pCC) {
  GUI_LockGuard lock;
  if (!pCC) return 0;
  return GUI_MEMDEV__CreateFixed(x0, y0, xSize, ySize, flags, pAPI, pCC);
}

GUI_MEMDEV_Handle GUI_MEMDEV_CreateFixedDefault(int x0, int y0, int xSize, int ySize) {
  return GUI_MEMDEV_CreateFixedLocked(x0, y0, xSize, ySize, GUI_MEMDEV_NOTRANS, &GUI_MEMDEV_DEVICE_32, &GUICC_8888);
}

namespace {
// The operations table of a memory device in the format of a device: its own table for a
// memory device, else the one for the driver's depth.
const GUI_DEVICE_API* MemdevAPIFor(GUI_DEVICE* pDevice) {
  auto* pAPI = static_cast<const GUI_DEVICE_API*>(pDevice->pDeviceAPI->pfGetDevData(pDevice, 1));
  if (pAPI) return pAPI;
  switch (LCD__GetBPPDevice(pDevice->pColorConvAPI->pfGetIndexMask())) {
    case 1: return &GUI_MEMDEV_DEVICE_1;
    case 8: return &GUI_MEMDEV_DEVICE_8;
    case 16: return &GUI_MEMDEV_DEVICE_16;
    default: return &GUI_MEMDEV_DEVICE_32;
  }
}
}  // namespace

GUI_MEMDEV_Handle GUI_MEMDEV_CreateEx(int x0, int y0, int xSize, int ySize, int flags) {
  GUI_LockGuard lock;
  GUI_DEVICE* pDevice = LCD__GetTopDevice();
  while (pDevice && pDevice->pDeviceAPI->DeviceClassIndex != DEVICE_CLASS_MEMDEV &&
         pDevice->pDeviceAPI->DeviceClassIndex != DEVICE_CLASS_DRIVER)
    pDevice = pDevice->pNext;
  if (!pDevice) return 0;
  const GUICC* pCC = pDevice->pColorConvAPI;
  if (pCC->pfGetIndexMask() == 0xFFFFFFFFu) {
    pCC = &GUICC_8888;
    flags |= GUI_MEMDEV_NOTRANS;
  }
  return GUI_MEMDEV__CreateFixed(x0, y0, xSize, ySize, flags, MemdevAPIFor(pDevice), pCC);
}

GUI_MEMDEV_Handle GUI_MEMDEV_Create(int x0, int y0, int xSize, int ySize) {
  return GUI_MEMDEV_CreateEx(x0, y0, xSize, ySize, GUI_MEMDEV_HASTRANS);
}

GUI_MEMDEV_Handle GUI_MEMDEV_Select(GUI_MEMDEV_Handle h) {
  GUI_LockGuard lock;
  GUI_MEMDEV_Handle old = Ctx().hDevData;
  if (old) {
    if (GUI_MEMDEV* p = GUI_MEMDEV__h2p(old)) GUI_DEVICE_Unlink(p->pDevice);
    Ctx().hDevData = 0;
  }
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  if (p && GUI_DEVICE_Link(p->pDevice) == 0) {
    Ctx().hDevData = h;
    Ctx().WM_IsActive = 0;         // drawing is clipped to the device alone
  } else {
    Ctx().WM_IsActive = 1;
  }
  LCD_SetClipRectMax();
  return old;
}

void GUI_MEMDEV_Delete(GUI_MEMDEV_Handle h) {
  if (!h) return;
  GUI_LockGuard lock;
  if (Ctx().hDevData == h) GUI_MEMDEV_Select(0);
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  if (!p) return;
  GUI_HMEM hUsage = p->hUsage;
  GUI_DEVICE* pDevice = p->pDevice;
  if (hUsage) GUI_USAGE_DecUseCnt(hUsage);
  GUI_DEVICE_Unlink(pDevice);
  GUI_DEVICE_Delete(pDevice);
  GUI_ALLOC_Free(h);
}

void GUI_MEMDEV_SetOrg(GUI_MEMDEV_Handle h, int x0, int y0) {
  GUI_LockGuard lock;
  h = OrSelected(h);
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  if (!p) return;
  p->x0 = static_cast<int16_t>(x0);
  p->y0 = static_cast<int16_t>(y0);
  if (GUI_USAGE* u = Usage(p->hUsage); u && u->XSize && u->YSize) {
    u->x0 = static_cast<int16_t>(x0);
    u->y0 = static_cast<int16_t>(y0);
  }
  if (h == Ctx().hDevData) LCD_SetClipRectMax();
}

void GUI_MEMDEV_ClearUsage(GUI_MEMDEV_Handle h) {
  GUI_LockGuard lock;
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(OrSelected(h));
  if (!p || !p->hUsage) return;
  GUI_USAGE* u = Usage(p->hUsage);
  u->pAPI->pfClear(p->hUsage);
}

// --- accessors -------------------------------------------------------------------------------
int GUI_MEMDEV_GetXPos(GUI_MEMDEV_Handle h) {
  GUI_LockGuard lock;
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(OrSelected(h));
  return p ? p->x0 : 0;
}
int GUI_MEMDEV_GetYPos(GUI_MEMDEV_Handle h) {
  GUI_LockGuard lock;
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(OrSelected(h));
  return p ? p->y0 : 0;
}
int GUI_MEMDEV_GetXSize(GUI_MEMDEV_Handle h) {
  GUI_LockGuard lock;
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(OrSelected(h));
  return p ? p->XSize : 0;
}
int GUI_MEMDEV_GetYSize(GUI_MEMDEV_Handle h) {
  GUI_LockGuard lock;
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(OrSelected(h));
  return p ? p->YSize : 0;
}
void GUI_MEMDEV_ReduceYSize(GUI_MEMDEV_Handle h, int ySize) {
  GUI_LockGuard lock;
  h = OrSelected(h);
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  if (!p || ySize >= p->YSize || ySize < 0) return;
  p->YSize = static_cast<int16_t>(ySize);
  if (GUI_USAGE* u = Usage(p->hUsage)) u->YSize = static_cast<int16_t>(ySize);
  if (h == Ctx().hDevData) LCD_SetClipRectMax();
}
void* GUI_MEMDEV_GetDataPtr(GUI_MEMDEV_Handle h) {
  if (!h) return nullptr;
  GUI_LockGuard lock;
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  return p ? GUI_MEMDEV__Pixels(p) : nullptr;
}

// --- copy to the current target ------------------------------------------------------------------
namespace {

// Draws `len` pixels of device line `yRel` from `xRel` on (and `numLines` lines below it)
// at x, y of the current target; converts through colours when the formats differ.
void PutRun(GUI_MEMDEV_Handle h, int x, int y, int xRel, int yRel, int len, int numLines, uint32_t* pConv) {
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  const uint8_t* line = GUI_MEMDEV__Pixels(p) + static_cast<ptrdiff_t>(yRel) * p->BytesPerLine;
  const GUICC* pSrc = p->pDevice->pColorConvAPI;
  const GUICC* pDst = LCD__GetpCC();
  int bpp = p->BitsPerPixel;
  if (!pDst) return;
  if (pSrc == pDst) {
    int bytesPerPixel = bpp / 8;
    if (bpp == 1)
      LCD_DrawBitmapEx(x, y, len, numLines, 1, 1, 1, p->BytesPerLine, line + (xRel >> 3), xRel & 7, nullptr);
    else
      LCD_DrawBitmapEx(x, y, len, numLines, 1, 1, bpp, p->BytesPerLine, line + xRel * bytesPerPixel, 0, nullptr);
    return;
  }
  if (!pConv) return;
  int dstBpp = LCD__GetBPPDevice(pDst->pfGetIndexMask());
  for (int k = 0; k < numLines; ++k, line += p->BytesPerLine) {
    for (int i = 0; i < len; ++i) {
      int xi = xRel + i;
      uint32_t v;
      switch (bpp) {
        case 1: v = (line[xi >> 3] >> (7 - (xi & 7))) & 1; break;
        case 8: v = line[xi]; break;
        case 16: {
          uint16_t w;
          std::memcpy(&w, line + 2 * xi, 2);
          v = w;
          break;
        }
        default: std::memcpy(&v, line + 4 * xi, 4); break;
      }
      pConv[i] = pDst->pfColor2Index(pSrc->pfIndex2Color(v));
    }
    GUI__DrawIndexLine(x, y + k, len, pConv, dstBpp);
  }
}

}  // namespace

// Copy function of the 1-, 8- and 16-bit formats: by usage runs, or whole lines.
void GUI_MEMDEV__CopyToLCDFunc(GUI_MEMDEV_Handle h, int x, int y) {
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  if (!p) return;
  // A conversion buffer only when the formats differ (made before the pointers are taken).
  GUI_HMEM hConv = 0;
  if (p->pDevice->pColorConvAPI != LCD__GetpCC()) {
    hConv = GUI_ALLOC_AllocNoInit(static_cast<int32_t>(p->XSize) * 4);
    if (!hConv) return;
    p = GUI_MEMDEV__h2p(h);
  }
  auto* pConv = hConv ? static_cast<uint32_t*>(GUI_ALLOC_h2p(hConv)) : nullptr;
  int xSize = p->XSize, ySize = p->YSize;
  GUI_HMEM hUsage = p->hUsage;
  if (!hUsage) {
    PutRun(h, x, y, 0, 0, xSize, pConv ? 1 : ySize, pConv);
    if (pConv)
      for (int i = 1; i < ySize; ++i) PutRun(h, x, y + i, 0, i, xSize, 1, pConv);
  } else {
    for (int i = 0; i < ySize;) {
      int xr = 0;
      int len = GUI_USAGE_GetNextDirty(hUsage, &xr, i);
      if (len == xSize) {
        int n = 1;
        while (i + n < ySize) {
          int xn = 0;
          if (GUI_USAGE_GetNextDirty(hUsage, &xn, i + n) != xSize) break;
          ++n;
        }
        if (pConv) {
          for (int k = 0; k < n; ++k) PutRun(h, x, y + i + k, 0, i + k, xSize, 1, pConv);
        } else {
          PutRun(h, x, y + i, 0, i, xSize, n, nullptr);
        }
        i += n;
        continue;
      }
      while (len > 0) {
        PutRun(h, x + xr, y + i, xr, i, len, 1, pConv);
        xr += len;
        len = GUI_USAGE_GetNextDirty(hUsage, &xr, i);
      }
      ++i;
    }
  }
  if (hConv) GUI_ALLOC_Free(hConv);
}

namespace {

GUI_MEMDEV_COPYFUNC* CopyFuncOf(GUI_MEMDEV_Handle h) {
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  if (!p) return nullptr;
  GUI_DEVICE* pDevice = p->pDevice;
  return reinterpret_cast<GUI_MEMDEV_COPYFUNC*>(pDevice->pDeviceAPI->pfGetDevFunc(&pDevice, GUI_MEMDEV_DEVFUNC_COPY));
}

// Runs the copy once for each visible rectangle of the target rectangle.
void WriteLoop(GUI_MEMDEV_Handle h, int x, int y, GUI_MEMDEV_COPYFUNC* pf) {
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  if (!p || !pf) return;
  if (x == GUI_POS_AUTO) {
    x = p->x0;
    y = p->y0;
  }
  GUI_RECT r{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(x + p->XSize - 1),
             static_cast<int16_t>(y + p->YSize - 1)};
  if (WM__IterateStart(&r)) {
    do {
      pf(h, x, y);
    } while (WM__IterateNext());
  }
}

}  // namespace

void GUI_MEMDEV_WriteAt(GUI_MEMDEV_Handle h, int x, int y) {
  if (!h) return;
  GUI_LockGuard lock;
  WriteLoop(h, x, y, CopyFuncOf(h));
}
void GUI_MEMDEV_Write(GUI_MEMDEV_Handle h) { GUI_MEMDEV_WriteAt(h, GUI_POS_AUTO, GUI_POS_AUTO); }
void GUI_MEMDEV_WriteAtDirect(GUI_MEMDEV_Handle h, int x, int y) {
  if (!h) return;
  GUI_LockGuard lock;
  WriteLoop(h, x, y, GUI_MEMDEV__CopyToLCDFunc);
}
void GUI_MEMDEV_WriteDirect(GUI_MEMDEV_Handle h) { GUI_MEMDEV_WriteAtDirect(h, GUI_POS_AUTO, GUI_POS_AUTO); }

void GUI_MEMDEV_CopyToLCDAt(GUI_MEMDEV_Handle h, int x, int y) {
  if (!h) return;
  GUI_LockGuard lock;
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  if (!p) return;
  GUI_CONTEXT& c = Ctx();
  GUI_MEMDEV_Handle hSel = c.hDevData;
  if (hSel) {
    GUI_DEVICE_Unlink(GUI_MEMDEV__h2p(hSel)->pDevice);
    c.hDevData = 0;
  }
  GUI_RECT savedClip = c.ClipRect;
  uint8_t savedLayer = c.SelLayer;
  uint8_t savedActive = c.WM_IsActive;
  c.SelLayer = static_cast<uint8_t>(p->pDevice->LayerIndex);
  LCD_SetClipRectMax();
  c.WM_IsActive = 1;
  WriteLoop(h, x, y, CopyFuncOf(h));
  c.WM_IsActive = savedActive;
  c.SelLayer = savedLayer;
  if (hSel && GUI_DEVICE_Link(GUI_MEMDEV__h2p(hSel)->pDevice) == 0) c.hDevData = hSel;
  c.ClipRect = savedClip;
}

void GUI_MEMDEV_CopyToLCD(GUI_MEMDEV_Handle h) { GUI_MEMDEV_CopyToLCDAt(h, GUI_POS_AUTO, GUI_POS_AUTO); }

// --- banded drawing ---------------------------------------------------------------------------
void GUI_MEMDEV_SetAfterBandHook(int (*pfHook)(int)) { g_pfAfterBand = pfHook; }

int GUI_MEMDEV_Draw(const GUI_RECT* pRect, GUI_CALLBACK_VOID_P* pfDraw, void* pData, int numLines, int flags) {
  if (!pfDraw) return 1;
  GUI_LockGuard lock;
  int xMax, yMax;
  if (GUI_MULTIBUF_GetNumBuffers() < 2) {
    xMax = LCD_GetVXSize();
    yMax = LCD_GetVYSize();
  } else {
    xMax = LCD_GetXSize();
    yMax = LCD_GetYSize();
  }
  GUI_RECT r{0, 0, static_cast<int16_t>(xMax - 1), static_cast<int16_t>(yMax - 1)};
  if (pRect) {
    r.x0 = std::max<int16_t>(pRect->x0, 0);
    r.y0 = std::max<int16_t>(pRect->y0, 0);
    r.x1 = std::min<int16_t>(pRect->x1, static_cast<int16_t>(xMax - 1));
    r.y1 = std::min<int16_t>(pRect->y1, static_cast<int16_t>(yMax - 1));
  }
  int width = r.x1 - r.x0 + 1, height = r.y1 - r.y0 + 1;
  if (width <= 0 || height <= 0) return 0;
  GUI_MEMDEV_Handle h = GUI_MEMDEV_CreateEx(r.x0, r.y0, width, numLines ? numLines : -height, flags);
  if (!h) {
    GUI_DebugErrorOut("GUIDEV_Banding:\nNot enough memory in GUI_MEMDEV_Draw()");
    pfDraw(pData);
    return 1;
  }
  int band = GUI_MEMDEV_GetYSize(h);
  // The window being drawn hears when its drawing is split into bands.
  WM_HWIN hWin = Ctx().hAWin;
  bool messages = band < height && hWin && WM_IsWindow(hWin);
  if (messages) WM_SendMessageNoPara(hWin, GUI_MEMDEV_MSG_BANDS_BEGIN);
  GUI_MEMDEV_Select(h);
  for (int done = 0; done < height; done += band) {
    int rest = height - done;
    if (rest < band) GUI_MEMDEV_ReduceYSize(h, rest);
    if (done > 0) {
      GUI_MEMDEV_SetOrg(h, r.x0, r.y0 + done);
      GUI_MEMDEV_ClearUsage(h);
    }
    pfDraw(pData);
    if (g_pfAfterBand) g_pfAfterBand(0);
    GUI_MEMDEV_CopyToLCD(h);
  }
  if (messages && WM_IsWindow(hWin)) WM_SendMessageNoPara(hWin, GUI_MEMDEV_MSG_BANDS_END);
  GUI_MEMDEV_Delete(h);
  GUI_MEMDEV_Select(0);
  return 0;
}
