// Alpha colours (colours with a transparency byte drawn through the user-alpha device), the
// alpha write of a 32-bit memory device into the current target, and multi-buffering.
#include <algorithm>
#include <cstring>

#include "gui/memdev/GUI_Memdev.h"

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }

// --- alpha colours ------------------------------------------------------------------------------
struct AlphaState {
  bool enabled;
  const LCD_SET_COLOR_API* pSaved;
  GUI_COLOR color, bkColor;
  unsigned globalAlpha;
  unsigned savedGlobalAlpha;
  unsigned applied;
  GUI_DEVICE* pDevice;
} g_alpha;

void ExitAlpha();
GUI_REGISTER_EXIT g_exitAlpha = {nullptr, ExitAlpha};
void ExitAlpha() {
  if (g_alpha.enabled) LCD__pSetColorAPI = g_alpha.pSaved;
  GUI_DEVICE_Delete(g_alpha.pDevice);
  g_alpha = AlphaState{};
  GUI_SetAlphaMask(0xFFFFFFFFu);
}

void Evaluate();

// The alpha device passes everything on to the device below it, except 1-bit pictures drawn
// in the context's two colours: their background pixels are drawn a second time with the
// background colour and its own transparency.
void ADrawBitmap(GUI_DEVICE* d, int x0, int y0, int xSize, int ySize, int bpp, int bytesPerLine,
                 const uint8_t* pData, int diff, const uint32_t* pTrans) {
  GUI_DEVICE* n = d->pNext;
  if (!n) return;
  GUI_CONTEXT& c = Ctx();
  bool twoColours = bpp == 1 && pTrans && pTrans[0] == *c.LCD_pBkColorIndex && pTrans[1] == *c.LCD_pColorIndex;
  if (!twoColours || (c.DrawMode & (GUI_DRAWMODE_XOR | GUI_DRAWMODE_TRANS)) || diff + xSize > 8 * 512) {
    n->pDeviceAPI->pfDrawBitmap(n, x0, y0, xSize, ySize, bpp, bytesPerLine, pData, diff, pTrans);
    return;
  }
  uint8_t savedMode = c.DrawMode;
  c.DrawMode = static_cast<uint8_t>(savedMode | GUI_DRAWMODE_TRANS);
  n->pDeviceAPI->pfDrawBitmap(n, x0, y0, xSize, ySize, 1, bytesPerLine, pData, diff, pTrans);
  std::swap(g_alpha.color, g_alpha.bkColor);
  Evaluate();
  const uint32_t inverted[2] = {pTrans[1], pTrans[0]};
  uint8_t line[512];
  int bytes = (diff + xSize + 7) / 8;
  for (int i = 0; i < ySize; ++i) {
    const uint8_t* src = pData + static_cast<ptrdiff_t>(i) * bytesPerLine;
    for (int k = 0; k < bytes; ++k) line[k] = static_cast<uint8_t>(~src[k]);
    GUI_DEVICE* below = d->pNext;   // the user-alpha device may have been linked in between
    below->pDeviceAPI->pfDrawBitmap(below, x0, y0 + i, xSize, 1, 1, bytes, line, diff, inverted);
  }
  std::swap(g_alpha.color, g_alpha.bkColor);
  Evaluate();
  c.DrawMode = savedMode;
}

const GUI_DEVICE_API kAlphaAPI = {
    DEVICE_CLASS_ALPHA,
    ADrawBitmap,
    GUI_DEVICE__PassDrawHLine,
    GUI_DEVICE__PassDrawVLine,
    GUI_DEVICE__PassFillRect,
    GUI_DEVICE__PassGetPixelIndex,
    GUI_DEVICE__PassSetPixelIndex,
    GUI_DEVICE__PassXorPixel,
    GUI_DEVICE__PassSetOrg,
    GUI_DEVICE__PassGetDevFunc,
    GUI_DEVICE__PassGetDevProp,
    GUI_DEVICE__PassGetDevData,
    GUI_DEVICE__PassGetRect,
};

// Links the alpha device while a colour is not opaque and hands the combined alpha on.
void Evaluate() {
  int layer = Ctx().SelLayer;
  bool translucent = (g_alpha.color >> 24) || (g_alpha.bkColor >> 24);
  GUI_DEVICE* linked = GUI_DEVICE_GetpDevice(layer, DEVICE_CLASS_ALPHA);
  if (translucent && !linked) {
    if (!g_alpha.pDevice) g_alpha.pDevice = GUI_DEVICE_Create(&kAlphaAPI, nullptr, 0, layer);
    if (g_alpha.pDevice) {
      g_alpha.pDevice->LayerIndex = layer;
      GUI_DEVICE_Link(g_alpha.pDevice);
    }
  } else if (!translucent && linked) {
    GUI_DEVICE_Unlink(linked);
  }
  unsigned c = g_alpha.color >> 24;
  unsigned a = c + (255 - c) * g_alpha.globalAlpha / 255;
  if (a != g_alpha.applied) {
    g_alpha.applied = a;
    GUI__SetUserAlpha(a);
  }
}

void AlphaSetColor(GUI_COLOR color) {
  if (Ctx().DrawMode & GUI_DRAWMODE_REV)
    g_alpha.bkColor = color;
  else
    g_alpha.color = color;
  Evaluate();
  g_alpha.pSaved->pfSetColor(color & 0x00FFFFFFu);
}
void AlphaSetBkColor(GUI_COLOR color) {
  if (Ctx().DrawMode & GUI_DRAWMODE_REV)
    g_alpha.color = color;
  else
    g_alpha.bkColor = color;
  Evaluate();
  g_alpha.pSaved->pfSetBkColor(color & 0x00FFFFFFu);
}
int AlphaSetDrawMode(int mode) {
  if ((Ctx().DrawMode ^ mode) & GUI_DRAWMODE_REV) std::swap(g_alpha.color, g_alpha.bkColor);
  Evaluate();
  return g_alpha.pSaved->pfSetDrawMode(mode);
}
const LCD_SET_COLOR_API kAlphaColorAPI = {AlphaSetColor, AlphaSetBkColor, AlphaSetDrawMode};

}  // namespace

unsigned GUI_EnableAlpha(unsigned onOff) {
  GUI_LockGuard lock;
  unsigned old = g_alpha.enabled ? 1 : 0;
  if (onOff && !g_alpha.enabled) {
    GUI__AddExitHook(&g_exitAlpha);
    g_alpha.pSaved = LCD__pSetColorAPI;
    g_alpha.savedGlobalAlpha = g_alpha.globalAlpha;
    g_alpha.color = Ctx().Color == GUI_INVALID_COLOR ? 0 : Ctx().Color;
    g_alpha.bkColor = Ctx().BkColor == GUI_INVALID_COLOR ? 0 : Ctx().BkColor;
    LCD__pSetColorAPI = &kAlphaColorAPI;
    g_alpha.enabled = true;
    GUI_SetAlphaMask(0x00FFFFFFu);
  } else if (!onOff && g_alpha.enabled) {
    LCD__pSetColorAPI = g_alpha.pSaved;
    g_alpha.enabled = false;
    g_alpha.globalAlpha = g_alpha.savedGlobalAlpha;
    g_alpha.color &= 0x00FFFFFFu;
    g_alpha.bkColor &= 0x00FFFFFFu;
    if (GUI_DEVICE* d = GUI_DEVICE_GetpDevice(Ctx().SelLayer, DEVICE_CLASS_ALPHA)) GUI_DEVICE_Unlink(d);
    if (g_alpha.applied) {
      g_alpha.applied = 0;
      GUI__SetUserAlpha(0);
    }
    GUI_SetAlphaMask(0xFFFFFFFFu);
  }
  return old;
}

unsigned GUI_SetUserAlphaEx(unsigned* pOld, unsigned alpha) {
  GUI_LockGuard lock;
  unsigned old = g_alpha.globalAlpha;
  if (pOld) *pOld = old;
  g_alpha.globalAlpha = alpha & 0xFF;
  if (g_alpha.enabled) Evaluate();
  return old;
}
void GUI_RestoreUserAlpha(const unsigned* pOld) {
  if (!pOld) return;
  GUI_SetUserAlphaEx(nullptr, *pOld);
}

// --- alpha write of a 32-bit device --------------------------------------------------------------
void GUI_MEMDEV__WriteToActiveAlpha(GUI_MEMDEV_Handle h, int x, int y, const GUICC* pCC) {
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(h);
  if (!p || !pCC || p->BitsPerPixel != 32) return;
  int n = 0;
  uint32_t* buf = GUI__GetLineBuffer(2, &n);
  if (!buf) {
    GUI_DebugErrorOut("GUIDEV_WriteToActiveAlpha:\nNo memory available in GUI_MEMDEV__WriteToActiveAlpha()");
    return;
  }
  p = GUI_MEMDEV__h2p(h);
  GUI_DEVICE* top = LCD__GetTopDevice();
  int bpp = top ? top->pDeviceAPI->pfGetDevProp(top, LCD_DEVCAP_BITSPERPIXEL) : 16;
  if (bpp > 23) bpp = 32;
  if (bpp == 3) bpp = 8;
  const GUI_RECT& c = Ctx().ClipRect;
  int k0 = std::max(0, c.x0 - x), k1 = std::min<int>(p->XSize, c.x1 - x + 1);
  int i0 = std::max(0, c.y0 - y), i1 = std::min<int>(p->YSize, c.y1 - y + 1);
  for (int i = i0; i < i1; ++i) {
    const uint8_t* line = GUI_MEMDEV__Pixels(p) + static_cast<ptrdiff_t>(i) * p->BytesPerLine;
    for (int k = k0; k < k1; k += n) {
      int m = std::min(n, k1 - k);
      for (int j = 0; j < m; ++j) {
        uint32_t v;
        std::memcpy(&v, line + 4 * (k + j), 4);
        GUI_COLOR bg = pCC->pfIndex2Color(LCD_GetPixelIndex(x + k + j, y + i));
        buf[j] = pCC->pfColor2Index(GUI__AlphaBlend(v, bg) & (bpp == 32 ? 0xFFFFFFFFu : 0x00FFFFFFu));
      }
      GUI__DrawIndexLine(x + k, y + i, m, buf, bpp);
    }
  }
}

void GUI_MEMDEV_WriteToActiveAt(GUI_MEMDEV_Handle h, int x, int y) {
  GUI_LockGuard lock;
  GUI_MEMDEV__WriteToActiveAlpha(h, x, y, LCD__GetpCC());
}

// --- multi-buffering --------------------------------------------------------------------------------
namespace {

struct MultiBuf {
  int numBuffers, front, back, nesting, pending;
};
MultiBuf g_mb[GUI_NUM_LAYERS];
bool g_single;                     // all layers share layer 0's state
uint32_t g_layerMask;
void (*g_pfBufferHook)(uint32_t);

void ExitMultiBuf();
GUI_REGISTER_EXIT g_exitMultiBuf = {nullptr, ExitMultiBuf};
void ExitMultiBuf() {
  std::memset(g_mb, 0, sizeof g_mb);
  g_single = false;
  g_layerMask = 0;
  GUIDRV_Sim_pfGetNumBuffers = nullptr;
  GUIDRV_Sim_pfBufferShown = nullptr;
}

MultiBuf* State(int layer) {
  if (layer < 0 || layer >= GUI_NUM_LAYERS) return nullptr;
  return &g_mb[g_single ? 0 : layer];
}

template <class F>
F* DriverFunc(int layer, int code, GUI_DEVICE** ppDevice) {
  GUI_DEVICE* d = GUI_DEVICE_GetDriver(layer);
  if (!d) return nullptr;
  *ppDevice = d;
  return reinterpret_cast<F*>(d->pDeviceAPI->pfGetDevFunc(ppDevice, code));
}

}  // namespace

void GUI_MULTIBUF_ConfigEx(int layer, int numBuffers) {
  MultiBuf* s = State(layer);
  if (!s) return;
  GUI__AddExitHook(&g_exitMultiBuf);
  s->numBuffers = std::max(numBuffers, 1);
  s->pending = -1;
  GUIDRV_Sim_pfGetNumBuffers = GUI_MULTIBUF_GetNumBuffersEx;
  GUIDRV_Sim_pfBufferShown = GUI_MULTIBUF_ConfirmEx;
}
void GUI_MULTIBUF_Config(int numBuffers) { GUI_MULTIBUF_ConfigEx(Ctx().SelLayer, numBuffers); }
int GUI_MULTIBUF_GetNumBuffersEx(int layer) {
  MultiBuf* s = State(layer);
  return s && s->numBuffers > 1 ? s->numBuffers : 1;
}
int GUI_MULTIBUF_GetNumBuffers() { return GUI_MULTIBUF_GetNumBuffersEx(Ctx().SelLayer); }
int GUI_MULTIBUF_GetFrontBufferEx(int layer) {
  MultiBuf* s = State(layer);
  return s ? s->front : 0;
}
int GUI_MULTIBUF_GetBackBufferEx(int layer) {
  MultiBuf* s = State(layer);
  return s ? s->back : 0;
}

void GUI_MULTIBUF_BeginEx(int layer) {
  GUI_LockGuard lock;
  MultiBuf* s = State(layer);
  if (!s || s->numBuffers < 2) return;
  if (s->nesting++ > 0) return;
  int next = s->back;
  do {
    next = (next + 1) % s->numBuffers;
  } while (next == s->front);
  int old = s->back;
  s->back = next;
  GUI_DEVICE* d = nullptr;
  if (auto* f = DriverFunc<void(GUI_DEVICE*, int, int)>(layer, LCD_DEVFUNC_COPYBUFFER, &d)) f(d, old, next);
}

void GUI_MULTIBUF_EndEx(int layer) {
  GUI_LockGuard lock;
  MultiBuf* s = State(layer);
  if (!s || s->numBuffers < 2 || s->nesting == 0) return;
  if (--s->nesting > 0) return;
  if (g_pfBufferHook) g_pfBufferHook(1u << layer);
  s->pending = s->back;
  GUI_DEVICE* d = nullptr;
  if (auto* f = DriverFunc<void(GUI_DEVICE*, int)>(layer, LCD_DEVFUNC_SHOWBUFFER, &d)) f(d, s->back);
}

void GUI_MULTIBUF_Begin() { GUI_MULTIBUF_BeginEx(Ctx().SelLayer); }
void GUI_MULTIBUF_End() { GUI_MULTIBUF_EndEx(Ctx().SelLayer); }

void GUI_MULTIBUF_ConfirmEx(int layer, int index) {
  MultiBuf* s = State(layer);
  if (!s || s->pending < 0) return;
  s->front = index;
  s->pending = -1;
}
void GUI_MULTIBUF_Confirm(int index) { GUI_MULTIBUF_ConfirmEx(Ctx().SelLayer, index); }
void GUI_MULTIBUF_UseSingleBuffer() { g_single = true; }
void GUI_MULTIBUF_SetLayerMask(uint32_t mask) { g_layerMask = mask; }
void GUI_MULTIBUF_SetBufferHook(void (*pfHook)(uint32_t)) { g_pfBufferHook = pfHook; }

// The window manager's calls around a redraw pass; the state has one entry per layer.
void GUI_MULTIBUF_BeginAll() {
  for (int layer = 0; layer < GUI_NUM_LAYERS; ++layer)
    if (g_layerMask & (1u << layer)) GUI_MULTIBUF_BeginEx(layer);
}
void GUI_MULTIBUF_EndAll() {
  for (int layer = 0; layer < GUI_NUM_LAYERS; ++layer)
    if (g_layerMask & (1u << layer)) GUI_MULTIBUF_EndEx(layer);
}
