// The user-alpha device (every pixel drawn on a layer made translucent by one alpha value
// per layer), the default pixel writer and the reading of pixels back from a device chain.
#include <algorithm>
#include <cstring>

#include "gui/memdev/GUI_Memdev.h"

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }

// --- reading and packing ------------------------------------------------------------------------
int LayerBits(int layer) {
  GUI_DEVICE* d = GUI_DEVICE__GetHead(layer);
  int bpp = d ? LCD__GetBPP(d->pColorConvAPI->pfGetIndexMask()) : 16;
  return bpp == 24 ? 32 : bpp;
}

// The device that holds the pixels below `d`: the first memory device or the driver.
GUI_DEVICE* StorageBelow(GUI_DEVICE* d, bool driverOnly) {
  while (d) {
    int cls = d->pDeviceAPI->DeviceClassIndex;
    if (cls == DEVICE_CLASS_DRIVER || (!driverOnly && cls == DEVICE_CLASS_MEMDEV)) return d;
    d = d->pNext;
  }
  return nullptr;
}

void PackLine(uint8_t* out, const uint32_t* idx, int n, int bpp) {
  if (bpp <= 4) {
    int b = bpp <= 1 ? 1 : bpp <= 2 ? 2 : 4;
    int perByte = 8 / b;
    std::memset(out, 0, static_cast<size_t>((n + perByte - 1) / perByte));
    for (int i = 0; i < n; ++i)
      out[i / perByte] |= static_cast<uint8_t>((idx[i] & ((1u << b) - 1)) << (8 - b * (i % perByte + 1)));
  } else if (bpp <= 8) {
    for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(idx[i]);
  } else if (bpp <= 16) {
    for (int i = 0; i < n; ++i) {
      uint16_t v = static_cast<uint16_t>(idx[i]);
      std::memcpy(out + 2 * i, &v, 2);
    }
  } else {
    std::memcpy(out, idx, static_cast<size_t>(n) * 4);
  }
}
int PackedBytes(int n, int bpp) {
  if (bpp <= 1) return (n + 7) / 8;
  if (bpp <= 2) return (n + 3) / 4;
  if (bpp <= 4) return (n + 1) / 2;
  if (bpp <= 8) return n;
  if (bpp <= 16) return 2 * n;
  return 4 * n;
}

void ReadRectFrom(GUI_DEVICE* d, int x0, int y0, int x1, int y1, void* pBuffer) {
  if (!d || x1 < x0 || y1 < y0 || !pBuffer) return;
  typedef void READRECT(GUI_DEVICE*, int, int, int, int, void*);
  GUI_DEVICE* dev = d;
  auto* pf = reinterpret_cast<READRECT*>(d->pDeviceAPI->pfGetDevFunc(&dev, 1));
  if (pf) {
    pf(dev, x0, y0, x1, y1, pBuffer);
    return;
  }
  int bpp = LayerBits(d->LayerIndex);
  auto* out = static_cast<uint8_t*>(pBuffer);
  uint32_t line[64];
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; x += 64) {
      int n = std::min(64, x1 - x + 1);
      for (int i = 0; i < n; ++i) line[i] = d->pDeviceAPI->pfGetPixelIndex(d, x + i, y);
      // Chunks of 64 pixels keep byte alignment at every depth.
      PackLine(out, line, n, bpp);
      out += PackedBytes(n, bpp);
    }
  }
}

bool ClipToContext(int* x0, int* y0, int* x1, int* y1) {
  const GUI_RECT& c = Ctx().ClipRect;
  *x0 = std::max<int>(*x0, c.x0);
  *y0 = std::max<int>(*y0, c.y0);
  *x1 = std::min<int>(*x1, c.x1);
  *y1 = std::min<int>(*y1, c.y1);
  return *x0 <= *x1 && *y0 <= *y1;
}

}  // namespace

void GUI__ReadRect(int x0, int y0, int x1, int y1, void* pBuffer, GUI_DEVICE* pDevice) {
  if (!ClipToContext(&x0, &y0, &x1, &y1)) return;
  ReadRectFrom(StorageBelow(pDevice, false), x0, y0, x1, y1, pBuffer);
}
void GUI__ReadRectDriver(int x0, int y0, int x1, int y1, void* pBuffer) {
  if (!ClipToContext(&x0, &y0, &x1, &y1)) return;
  ReadRectFrom(StorageBelow(LCD__GetTopDevice(), true), x0, y0, x1, y1, pBuffer);
}
void GUI__ReadRectNoClip(int x0, int y0, int x1, int y1, void* pBuffer) {
  ReadRectFrom(StorageBelow(LCD__GetTopDevice(), true), x0, y0, x1, y1, pBuffer);
}
void GUI__ReadRectExpanded(int x0, int y0, int x1, int y1, uint32_t* pBuffer, GUI_DEVICE* pDevice) {
  if (!ClipToContext(&x0, &y0, &x1, &y1)) return;
  GUI_DEVICE* d = StorageBelow(pDevice, false);
  if (!d) return;
  int n = x1 - x0 + 1;
  for (int y = y0; y <= y1; ++y) {
    ReadRectFrom(d, x0, y, x1, y, pBuffer);
    GUI__ExpandPixelIndices(pBuffer, n, LayerBits(d->LayerIndex));
    pBuffer += n;
  }
}

void GUI__ExpandPixelIndices(void* pBuffer, int n, int bpp) {
  if (!pBuffer || n <= 0 || bpp > 16) return;
  auto* b = static_cast<uint8_t*>(pBuffer);
  auto* out = static_cast<uint32_t*>(pBuffer);
  for (int i = n - 1; i >= 0; --i) {
    uint32_t v;
    if (bpp == 16) {
      uint16_t w;
      std::memcpy(&w, b + 2 * i, 2);
      v = w;
    } else if (bpp == 8) {
      v = b[i];
    } else {
      int bits = bpp <= 1 ? 1 : bpp <= 2 ? 2 : 4;
      int perByte = 8 / bits;
      v = (b[i / perByte] >> (8 - bits * (i % perByte + 1))) & ((1u << bits) - 1);
    }
    std::memcpy(&out[i], &v, 4);
  }
}

void GUI__ExpandPixelColors(void* pBuffer, int n, int bpp, const GUICC* pCC) {
  if (!pBuffer || !pCC || n <= 0) return;
  if (bpp <= 16) GUI__ExpandPixelIndices(pBuffer, n, bpp);
  auto* p = static_cast<uint32_t*>(pBuffer);
  for (int i = 0; i < n; ++i) p[i] = pCC->pfIndex2Color(p[i]);
}

GUI_COLOR GUI__GetPixelColor(int x, int y) { return LCD_Index2Color(GUI_GetPixelIndex(x, y)); }

void GUI__MixPixel(int x, int y, uint8_t intensity, GUI_COLOR color) {
  const GUI_RECT& c = Ctx().ClipRect;
  if (x < c.x0 || x > c.x1 || y < c.y0 || y > c.y1) return;
  GUI_DEVICE* d = LCD__GetTopDevice();
  if (!d) return;
  GUI_COLOR bg = d->pColorConvAPI->pfIndex2Color(d->pDeviceAPI->pfGetPixelIndex(d, x, y));
  d->pDeviceAPI->pfSetPixelIndex(d, x, y, d->pColorConvAPI->pfColor2Index(GUI__MixColors(color, bg, intensity)));
}

// --- default pixel writer --------------------------------------------------------------------------
namespace {

struct Writer {
  GUI_HMEM h;
  uint8_t* p;
  int x0, x, y, bpp, cap, n;
} g_w;

void WriterFlush() {
  if (g_w.n == 0 || !g_w.p) return;
  GUI_DEVICE* d = LCD__GetTopDevice();
  if (d)
    d->pDeviceAPI->pfDrawBitmap(d, g_w.x, g_w.y, g_w.n, 1, g_w.bpp, PackedBytes(g_w.n, g_w.bpp), g_w.p, 0, nullptr);
  g_w.x += g_w.n;
  g_w.n = 0;
}

int WriterBegin(int x0, int y, int x1) {
  int bpp = LayerBits(Ctx().SelLayer);
  int bytesPerPixel = bpp <= 8 ? 1 : bpp <= 16 ? 2 : 4;
  int want = bytesPerPixel * (x1 - x0 + 1);
  int avail = static_cast<int>(std::min<uint32_t>(GUI_ALLOC_GetMaxSize(), 0x7FFFFFF)) / bytesPerPixel * bytesPerPixel;
  int size = std::min(want, avail);
  if (size <= 0) return 1;
  GUI_HMEM h = GUI_ALLOC_AllocNoInit(size);
  if (!h) return 1;
  g_w = Writer{h, static_cast<uint8_t*>(GUI_ALLOC_LockH(h)), x0, x0, y, bpp, size / bytesPerPixel, 0};
  if (bpp < 8) g_w.cap = size * (8 / (bpp <= 1 ? 1 : bpp <= 2 ? 2 : 4));
  return 0;
}
void WriterWrite(uint32_t index) {
  if (!g_w.p) return;
  int bpp = g_w.bpp;
  if (bpp < 8) {
    int bits = bpp <= 1 ? 1 : bpp <= 2 ? 2 : 4;
    int perByte = 8 / bits;
    uint8_t& b = g_w.p[g_w.n / perByte];
    int shift = 8 - bits * (g_w.n % perByte + 1);
    if (g_w.n % perByte == 0) b = 0;
    b = static_cast<uint8_t>(b | ((index & ((1u << bits) - 1)) << shift));
  } else {
    PackLine(g_w.p + PackedBytes(g_w.n, bpp), &index, 1, bpp);
  }
  if (++g_w.n >= g_w.cap) WriterFlush();
}
void WriterNextLine() {
  WriterFlush();
  ++g_w.y;
  g_w.x = g_w.x0;
}
void WriterEnd() {
  WriterFlush();
  if (g_w.h) {
    GUI_ALLOC_UnlockH(&g_w.p);
    GUI_ALLOC_Free(g_w.h);
  }
  g_w = Writer{};
}

const GUI_PIXELWRITER kDefaultWriter = {WriterBegin, WriterWrite, WriterNextLine, WriterEnd};

}  // namespace

const GUI_PIXELWRITER* GUI__GetPixelWriter() {
  GUI_DEVICE* d = LCD__GetTopDevice();
  if (d) {
    GUI_DEVICE* dev = d;
    auto* p = reinterpret_cast<const GUI_PIXELWRITER*>(d->pDeviceAPI->pfGetDevFunc(&dev, 8));
    if (p) return p;
  }
  return &kDefaultWriter;
}

// --- user-alpha device ------------------------------------------------------------------------------
namespace {

uint8_t g_userAlpha[GUI_NUM_LAYERS];
GUI_DEVICE* g_apUserAlpha[GUI_NUM_LAYERS];
bool g_keepAlpha;

void ExitUserAlpha();
GUI_REGISTER_EXIT g_exitUserAlpha = {nullptr, ExitUserAlpha};
void ExitUserAlpha() {
  for (GUI_DEVICE*& d : g_apUserAlpha) {
    GUI_DEVICE_Delete(d);
    d = nullptr;
  }
  std::memset(g_userAlpha, 0, sizeof g_userAlpha);
  GUI_MEMDEV_SetAfterBandHook(nullptr);
  g_keepAlpha = false;
}

GUI_DEVICE* Below(GUI_DEVICE* d) { return d->pNext; }

GUI_COLOR BelowColor(GUI_DEVICE* d, int x, int y) {
  GUI_DEVICE* b = Below(d);
  return b->pColorConvAPI->pfIndex2Color(b->pDeviceAPI->pfGetPixelIndex(b, x, y));
}

void UASetPixelIndex(GUI_DEVICE* d, int x, int y, uint32_t index) {
  GUI_DEVICE* b = Below(d);
  if (!b) return;
  GUI_COLOR c = GUI__UserAlphaMix(b->pColorConvAPI->pfIndex2Color(index), BelowColor(d, x, y));
  b->pDeviceAPI->pfSetPixelIndex(b, x, y, b->pColorConvAPI->pfColor2Index(c));
}
void UAXorPixel(GUI_DEVICE* d, int x, int y) {
  GUI_DEVICE* b = Below(d);
  if (!b) return;
  UASetPixelIndex(d, x, y, b->pDeviceAPI->pfGetPixelIndex(b, x, y) ^ b->pColorConvAPI->pfGetIndexMask());
}
void UADrawHLine(GUI_DEVICE* d, int x0, int y, int x1) {
  if (!Below(d)) return;
  uint32_t index = *Ctx().LCD_pColorIndex;
  bool xorMode = Ctx().DrawMode & GUI_DRAWMODE_XOR;
  for (int x = x0; x <= x1; ++x) {
    if (xorMode)
      UAXorPixel(d, x, y);
    else
      UASetPixelIndex(d, x, y, index);
  }
}
void UADrawVLine(GUI_DEVICE* d, int x, int y0, int y1) {
  for (int y = y0; y <= y1; ++y) UADrawHLine(d, x, y, x);
}
void UAFillRect(GUI_DEVICE* d, int x0, int y0, int x1, int y1) {
  for (int y = y0; y <= y1; ++y) UADrawHLine(d, x0, y, x1);
}
void UADrawBitmap(GUI_DEVICE* d, int x0, int y0, int xSize, int ySize, int bpp, int bytesPerLine,
                  const uint8_t* pData, int diff, const uint32_t* pTrans) {
  GUI_DEVICE* b = Below(d);
  if (!b || !pData) return;
  int mode = Ctx().DrawMode & (GUI_DRAWMODE_XOR | GUI_DRAWMODE_TRANS);
  for (int i = 0; i < ySize; ++i, pData += bytesPerLine) {
    int y = y0 + i;
    for (int k = 0; k < xSize; ++k) {
      int x = x0 + diff + k;
      if (bpp <= 8) {
        uint32_t v;
        if (bpp == 8) {
          v = pData[k];
        } else {
          int pos = diff + k, perByte = 8 / bpp;
          v = (pData[pos / perByte] >> (8 - bpp * (pos % perByte + 1))) & ((1u << bpp) - 1);
        }
        if (mode & GUI_DRAWMODE_XOR) {
          if (bpp == 1 && v) UAXorPixel(d, x, y);
          continue;
        }
        if (v == 0 && (mode & GUI_DRAWMODE_TRANS)) continue;
        UASetPixelIndex(d, x, y, pTrans ? pTrans[v] : v);
      } else if (bpp == 16) {
        uint16_t v;
        std::memcpy(&v, pData + 2 * k, 2);
        UASetPixelIndex(d, x0 + k, y, v);
      } else if (bpp == 24 || bpp == 32) {
        uint32_t v;
        std::memcpy(&v, pData + 4 * k, 4);
        UASetPixelIndex(d, x0 + k, y, v);
      } else {
        return;
      }
    }
  }
}
void* UAGetDevData(GUI_DEVICE*, int) { return nullptr; }

const GUI_DEVICE_API kUserAlphaAPI = {
    DEVICE_CLASS_USER_ALPHA, UADrawBitmap, UADrawHLine, UADrawVLine,  UAFillRect,   GUI_DEVICE__PassGetPixelIndex, UASetPixelIndex,
    UAXorPixel,              GUI_DEVICE__PassSetOrg,     GUI_DEVICE__PassGetDevFunc, GUI_DEVICE__PassGetDevProp,
    UAGetDevData,            GUI_DEVICE__PassGetRect,
};

// The conversion of the user-alpha device is that of the driver of its layer.
const GUICC* LayerCC(int layer) {
  GUI_DEVICE* d = GUI_DEVICE_GetDriver(layer);
  return d ? d->pColorConvAPI : &GUICC_565R;
}

int AfterBand(int v) { return static_cast<int>(GUI__SetUserAlpha(static_cast<unsigned>(v))); }

bool MakeDevices() {
  if (g_apUserAlpha[0]) return true;
  for (int layer = 0; layer < GUI_NUM_LAYERS; ++layer) {
    g_apUserAlpha[layer] = GUI_DEVICE_Create(&kUserAlphaAPI, LayerCC(layer), 0, layer);
    if (!g_apUserAlpha[layer]) {
      ExitUserAlpha();
      return false;
    }
  }
  GUI__AddExitHook(&g_exitUserAlpha);
  return true;
}

}  // namespace

GUI_COLOR GUI__UserAlphaMix(GUI_COLOR color, GUI_COLOR bk) {
  uint32_t a = g_userAlpha[Ctx().SelLayer];
  if (g_keepAlpha) {
    uint32_t t = color >> 24;
    uint32_t v = (a << 24) | (color & 0xFFFFFFu);
    return t == 0 ? v : GUI__MixColors(v, bk, static_cast<uint8_t>(255 - t));
  }
  return GUI__MixColors(color, bk, static_cast<uint8_t>(255 - a)) & 0x00FFFFFFu;
}

unsigned GUI__SetUserAlpha(unsigned alpha) {
  int layer = Ctx().SelLayer;
  unsigned old = g_userAlpha[layer];
  GUI_DEVICE* linked = GUI_DEVICE_GetpDevice(layer, DEVICE_CLASS_USER_ALPHA);
  if (alpha == 0) {
    if (linked) {
      GUI_MEMDEV_SetAfterBandHook(nullptr);
      GUI_DEVICE_Unlink(linked);
    }
    g_userAlpha[layer] = 0;
    return old;
  }
  if (!MakeDevices()) return old;
  if (!linked) {
    GUI_MEMDEV_SetAfterBandHook(AfterBand);
    GUI_DEVICE_Link(g_apUserAlpha[layer]);
  }
  g_userAlpha[layer] = static_cast<uint8_t>(alpha);
  return old;
}

int GUI__KeepAlphaByte(int onOff) {
  int old = g_keepAlpha ? 1 : 0;
  g_keepAlpha = onOff != 0;
  GUI_SetAlphaMask(g_keepAlpha ? 0xFFFFFFFFu : 0x00FFFFFFu);
  return old;
}
int GUI_KeepAlphaByte(int onOff) {
  GUI_LockGuard lock;
  return GUI__KeepAlphaByte(onOff);
}
