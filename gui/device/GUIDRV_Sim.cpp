// The simulation display driver: the class-0 device at the bottom of a layer's chain. Every
// pixel goes into the emulated LCD memory through the LCD memory hooks; fills and bitmap rows
// take the bulk row paths, one hook call per row.
#include <cstring>
#include <new>

#include "gui/GUI_Private.h"

int (*GUIDRV_Sim_pfGetNumBuffers)(int layer);
void (*GUIDRV_Sim_pfBufferShown)(int layer, int index);

namespace {

struct DriverContext {
  int32_t yOffset;                 // start row of the buffer drawn into
  int32_t xSize, ySize;
  int32_t vxSize, vySize;
  int32_t xPos, yPos;
  int32_t bufferValue;
  int32_t vramAddr;
  int32_t numBuffers;
  int32_t numLUT;
  uint32_t lut[256];
};

const GUI_LCD_MEMORY_HOOKS kNoHooks = {};
const GUI_LCD_MEMORY_HOOKS* g_pHooks = &kNoHooks;

constexpr int kRowChunk = 512;
uint32_t g_row[kRowChunk];         // one row of translated indices for the bulk path

DriverContext* Data(GUI_DEVICE* d) { return static_cast<DriverContext*>(d->pContext); }

// The device data are made by the first optional function that runs.
DriverContext* MakeData(GUI_DEVICE* d) {
  if (d->pContext) return Data(d);
  void* p = GUI_ALLOC_GetFixedBlock(sizeof(DriverContext));
  if (!p) return nullptr;
  auto* c = new (p) DriverContext{};
  int bpp = LCD__GetBPP(d->pColorConvAPI->pfGetIndexMask());
  c->numLUT = bpp <= 23 ? (1 << bpp) : 0;
  c->numBuffers = 1;
  d->pContext = c;
  return c;
}

int NumBuffers(GUI_DEVICE* d) {
  int n = GUIDRV_Sim_pfGetNumBuffers ? GUIDRV_Sim_pfGetNumBuffers(d->LayerIndex) : 1;
  return n > 0 ? n : 1;
}

void SetPixel(GUI_DEVICE* d, int x, int y, uint32_t index) {
  if (g_pHooks->pfSetPixelIndex) g_pHooks->pfSetPixelIndex(x, y + Data(d)->yOffset, index, d->LayerIndex);
}
uint32_t GetPixel(GUI_DEVICE* d, int x, int y) {
  return g_pHooks->pfGetPixelIndex ? g_pHooks->pfGetPixelIndex(x, y + Data(d)->yOffset, d->LayerIndex) : 0;
}

// --- the twelve operations -----------------------------------------------------------------
void XorPixel(GUI_DEVICE* d, int x, int y) {
  if (!Data(d)) return;
  SetPixel(d, x, y, GetPixel(d, x, y) ^ d->pColorConvAPI->pfGetIndexMask());
}

void SetPixelIndex(GUI_DEVICE* d, int x, int y, uint32_t index) {
  if (Data(d)) SetPixel(d, x, y, index);
}

uint32_t GetPixelIndex(GUI_DEVICE* d, int x, int y) { return Data(d) ? GetPixel(d, x, y) : 0; }

void DrawHLine(GUI_DEVICE* d, int x0, int y, int x1) {
  if (!Data(d) || x1 < x0) return;
  if (GUI_pContext->DrawMode & GUI_DRAWMODE_XOR) {
    for (int x = x0; x <= x1; ++x) XorPixel(d, x, y);
  } else if (g_pHooks->pfFillRow) {
    g_pHooks->pfFillRow(x0, x1, y + Data(d)->yOffset, *GUI_pContext->LCD_pColorIndex, d->LayerIndex);
  }
}

void DrawVLine(GUI_DEVICE* d, int x, int y0, int y1) {
  if (!Data(d)) return;
  bool xorMode = GUI_pContext->DrawMode & GUI_DRAWMODE_XOR;
  uint32_t index = *GUI_pContext->LCD_pColorIndex;
  for (int y = y0; y <= y1; ++y) {
    if (xorMode)
      XorPixel(d, x, y);
    else
      SetPixel(d, x, y, index);
  }
}

void FillRect(GUI_DEVICE* d, int x0, int y0, int x1, int y1) {
  for (int y = y0; y <= y1; ++y) DrawHLine(d, x0, y, x1);
}

// Writes n translated indices of one row through the bulk path.
void FlushRow(GUI_DEVICE* d, int x, int y, int n) {
  if (g_pHooks->pfWriteRow32)
    g_pHooks->pfWriteRow32(x, y + Data(d)->yOffset, n, g_row, d->LayerIndex);
  else
    for (int i = 0; i < n; ++i) SetPixel(d, x + i, y, g_row[i]);
}

// Pixel `pos` of a row of 1, 2, 4 or 8 bits per pixel, most significant bits first.
template <int BPP>
uint32_t PixelValue(const uint8_t* p, int pos) {
  if constexpr (BPP == 8) {
    return p[pos];
  } else {
    constexpr int kPerByteLog = BPP == 1 ? 3 : BPP == 2 ? 2 : 1;
    constexpr int kMask = (1 << kPerByteLog) - 1;
    return (static_cast<uint32_t>(p[pos >> kPerByteLog]) >> (8 - BPP * ((pos & kMask) + 1))) & ((1u << BPP) - 1);
  }
}

// One row of 1, 2, 4 or 8 bits per pixel, starting with pixel `diff` of the data. The
// translated indices go out through the bulk path: the whole row, or in transparent mode
// each run of opaque pixels.
template <int BPP>
void DrawRowIndexed(GUI_DEVICE* d, int x0, int y, int xSize, const uint8_t* p, int diff, const uint32_t* pTrans,
                    int mode) {
  auto translate = [pTrans](uint32_t v) { return pTrans ? pTrans[v] : v; };
  if (mode & GUI_DRAWMODE_XOR) {
    if constexpr (BPP == 1) {      // only 1-bit bitmaps draw in XOR mode
      for (int k = 0; k < xSize; ++k)
        if (PixelValue<1>(p, diff + k)) XorPixel(d, x0 + k, y);
    }
    return;
  }
  if (mode & GUI_DRAWMODE_TRANS) {
    int n = 0, start = 0;
    for (int k = 0; k < xSize; ++k) {
      uint32_t v = PixelValue<BPP>(p, diff + k);
      if (v && n < kRowChunk) {
        if (n == 0) start = k;
        g_row[n++] = translate(v);
        continue;
      }
      if (n) FlushRow(d, x0 + start, y, n);
      n = 0;
      if (v) {
        start = k;
        g_row[n++] = translate(v);
      }
    }
    if (n) FlushRow(d, x0 + start, y, n);
    return;
  }
  for (int k = 0; k < xSize; k += kRowChunk) {
    int n = xSize - k < kRowChunk ? xSize - k : kRowChunk;
    for (int i = 0; i < n; ++i) g_row[i] = translate(PixelValue<BPP>(p, diff + k + i));
    FlushRow(d, x0 + k, y, n);
  }
}

uint16_t Index16(const uint8_t* p, int k) {
  uint16_t v;
  std::memcpy(&v, p + 2 * k, 2);
  return v;
}

// A row of 16-bit indices; in transparent mode each run of non-zero indices goes out alone.
void DrawRow16(GUI_DEVICE* d, int x0, int y, int xSize, const uint8_t* p, int mode) {
  if (mode & GUI_DRAWMODE_TRANS) {
    for (int k = 0; k < xSize;) {
      if (!Index16(p, k)) {
        ++k;
        continue;
      }
      int end = k + 1;
      while (end < xSize && Index16(p, end)) ++end;
      if (g_pHooks->pfWriteRow16)
        g_pHooks->pfWriteRow16(x0 + k, y + Data(d)->yOffset, end - k, p + 2 * k, d->LayerIndex);
      else
        for (int i = k; i < end; ++i) SetPixel(d, x0 + i, y, Index16(p, i));
      k = end;
    }
    return;
  }
  if (g_pHooks->pfWriteRow16) {
    g_pHooks->pfWriteRow16(x0, y + Data(d)->yOffset, xSize, p, d->LayerIndex);
    return;
  }
  for (int k = 0; k < xSize; ++k) SetPixel(d, x0 + k, y, Index16(p, k));
}

void DrawRow32(GUI_DEVICE* d, int x0, int y, int xSize, const uint8_t* p) {
  for (int k = 0; k < xSize; k += kRowChunk) {
    int n = xSize - k < kRowChunk ? xSize - k : kRowChunk;
    std::memcpy(g_row, p + 4 * k, static_cast<size_t>(n) * 4);
    FlushRow(d, x0 + k, y, n);
  }
}

void DrawBitmap(GUI_DEVICE* d, int x0, int y0, int xSize, int ySize, int bpp, int bytesPerLine,
                const uint8_t* pData, int diff, const uint32_t* pTrans) {
  if (!Data(d) || xSize <= 0 || ySize <= 0 || !pData) return;
  int mode = GUI_pContext->DrawMode;
  for (int row = 0; row < ySize; ++row, pData += bytesPerLine) {
    int y = y0 + row;
    switch (bpp) {
      case 1: DrawRowIndexed<1>(d, x0 + diff, y, xSize, pData, diff, pTrans, mode); break;
      case 2: DrawRowIndexed<2>(d, x0 + diff, y, xSize, pData, diff, pTrans, mode); break;
      case 4: DrawRowIndexed<4>(d, x0 + diff, y, xSize, pData, diff, pTrans, mode); break;
      case 8: DrawRowIndexed<8>(d, x0, y, xSize, pData, 0, pTrans, mode & ~GUI_DRAWMODE_XOR); break;
      case 16:
        DrawRow16(d, x0, y, xSize, pData, mode);
        break;
      case 24:
      case 32:
        DrawRow32(d, x0, y, xSize, pData);
        break;
      default:
        return;
    }
  }
}

void SetOrg(GUI_DEVICE* d, int x, int y) {
  if (g_pHooks->pfCheckOrg) g_pHooks->pfCheckOrg(x, y, d->LayerIndex);
}

// --- optional functions ------------------------------------------------------------------
void FnSetBuffer(GUI_DEVICE* d, int v) {
  if (DriverContext* c = MakeData(d)) c->bufferValue = v;
}
void FnSetPos(GUI_DEVICE* d, int x, int y) {
  if (DriverContext* c = MakeData(d)) {
    c->xPos = x;
    c->yPos = y;
  }
}
void FnGetPos(GUI_DEVICE* d, int* px, int* py) {
  DriverContext* c = MakeData(d);
  if (px) *px = c ? c->xPos : 0;
  if (py) *py = c ? c->yPos : 0;
}
void FnSetVRAMAddr(GUI_DEVICE* d, int v) {
  if (DriverContext* c = MakeData(d)) c->vramAddr = v;
}
void FnSetVSize(GUI_DEVICE* d, int x, int y) {
  if (DriverContext* c = MakeData(d)) {
    c->vxSize = x;
    c->vySize = y;
  }
}
void FnSetSize(GUI_DEVICE* d, int x, int y) {
  if (DriverContext* c = MakeData(d)) {
    c->xSize = x;
    c->ySize = y;
  }
}
void FnSetLUTEntry(GUI_DEVICE* d, int index, GUI_COLOR color) {
  DriverContext* c = MakeData(d);
  if (!c) return;
  index &= 0xFF;
  c->lut[index] = color;
  if (index + 1 > c->numLUT) c->numLUT = index + 1;
}
void FnCopyBuffer(GUI_DEVICE* d, int from, int to) {
  DriverContext* c = MakeData(d);
  if (!c || from == to) return;
  if (g_pHooks->pfCopyBuffer) g_pHooks->pfCopyBuffer(d->LayerIndex, from, to);
  c->yOffset = to * c->ySize;
}
void FnShowBuffer(GUI_DEVICE* d, int index) {
  DriverContext* c = MakeData(d);
  if (!c) return;
  if (g_pHooks->pfCheckOrg) g_pHooks->pfCheckOrg(0, index * c->ySize, d->LayerIndex);
  if (g_pHooks->pfSetShowBuffer) g_pHooks->pfSetShowBuffer(index, d->LayerIndex);
  if (GUIDRV_Sim_pfBufferShown) GUIDRV_Sim_pfBufferShown(d->LayerIndex, index);
}

tLCDDEV_Func GetDevFunc(GUI_DEVICE** ppDevice, int index) {
  (void)ppDevice;
  switch (index) {
    case LCD_DEVFUNC_SETBUFFER: return reinterpret_cast<tLCDDEV_Func>(FnSetBuffer);
    case LCD_DEVFUNC_SETPOS: return reinterpret_cast<tLCDDEV_Func>(FnSetPos);
    case LCD_DEVFUNC_GETPOS: return reinterpret_cast<tLCDDEV_Func>(FnGetPos);
    case LCD_DEVFUNC_SETVRAMADDR: return reinterpret_cast<tLCDDEV_Func>(FnSetVRAMAddr);
    case LCD_DEVFUNC_SETVSIZE: return reinterpret_cast<tLCDDEV_Func>(FnSetVSize);
    case LCD_DEVFUNC_SETSIZE: return reinterpret_cast<tLCDDEV_Func>(FnSetSize);
    case LCD_DEVFUNC_SETLUTENTRY: return reinterpret_cast<tLCDDEV_Func>(FnSetLUTEntry);
    case LCD_DEVFUNC_COPYBUFFER: return reinterpret_cast<tLCDDEV_Func>(FnCopyBuffer);
    case LCD_DEVFUNC_SHOWBUFFER: return reinterpret_cast<tLCDDEV_Func>(FnShowBuffer);
    default: return nullptr;
  }
}

int32_t GetDevProp(GUI_DEVICE* d, int index) {
  DriverContext* c = Data(d);
  if (!c) return index >= 1 && index <= 14 ? 0 : -1;
  switch (index) {
    case LCD_DEVCAP_XSIZE: return c->xSize;
    case LCD_DEVCAP_YSIZE: return c->ySize;
    case LCD_DEVCAP_VXSIZE: return c->vxSize;
    case LCD_DEVCAP_VYSIZE: return c->vySize * NumBuffers(d);
    case LCD_DEVCAP_BITSPERPIXEL: return LCD__GetBPP(d->pColorConvAPI->pfGetIndexMask());
    case LCD_DEVCAP_NUMCOLORS: return c->numLUT;
    case 10:
    case 11: return 1;
    case 12:
    case 13:
    case 14: return 0;
    default: return -1;
  }
}

void* GetDevData(GUI_DEVICE* d, int index) {
  if (index == 2) return Data(d) ? Data(d)->lut : nullptr;
  // Index 1, the memory-device operations of this depth, belongs to the memory devices.
  return nullptr;
}

void GetRect(GUI_DEVICE* d, GUI_RECT* r) {
  DriverContext* c = Data(d);
  int vx = c ? c->vxSize : 0, vy = c ? c->vySize : 0;
  *r = GUI_RECT{0, 0, static_cast<int16_t>(vx - 1), static_cast<int16_t>(vy - 1)};
}

}  // namespace

const GUI_DEVICE_API GUIDRV_Sim_API = {
    DEVICE_CLASS_DRIVER, DrawBitmap, DrawHLine, DrawVLine, FillRect,   GetPixelIndex, SetPixelIndex,
    XorPixel,            SetOrg,     GetDevFunc, GetDevProp, GetDevData, GetRect,
};

void GUI_SetLCDMemoryHooks(const GUI_LCD_MEMORY_HOOKS* pHooks) { g_pHooks = pHooks ? pHooks : &kNoHooks; }
const GUI_LCD_MEMORY_HOOKS* GUI_GetLCDMemoryHooks() { return g_pHooks; }
