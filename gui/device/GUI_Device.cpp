// Device chains per layer, layer properties, layer configuration and palette conversion.
#include <new>

#include "gui/GUI_Private.h"

namespace {

GUI_DEVICE* g_heads[GUI_NUM_LAYERS];
int g_numLayersInUse;
int g_layerValue[GUI_NUM_LAYERS];

int g_maxPalEntries = 256;
uint32_t* g_pPalConv;
void (*g_pfPalConvHook)(const GUI_LOGPALETTE*);

void ExitPalConv();
GUI_REGISTER_EXIT g_exitPalConv = {nullptr, ExitPalConv};
void ExitPalConv() {
  GUI_ALLOC_FreeFixedBlock(g_pPalConv);
  g_pPalConv = nullptr;
}

bool ValidLayer(int layer) { return layer >= 0 && layer < GUI_NUM_LAYERS; }

int DevProp(int layer, int code) {
  if (!ValidLayer(layer)) return 0;
  GUI_DEVICE* d = GUI_DEVICE_GetDriver(layer);
  return d ? d->pDeviceAPI->pfGetDevProp(d, code) : 0;
}

int MaxOverLayers(int code) {
  int m = 0;
  for (int layer = GUI_NUM_LAYERS - 1; layer >= 0; --layer) {
    int v = DevProp(layer, code);
    if (v > m) m = v;
  }
  return m;
}

// Looks up an optional function of the layer's driver; null when there is none.
template <class F>
F* DevFunc(int layer, int code, GUI_DEVICE** ppDevice) {
  if (!ValidLayer(layer)) return nullptr;
  GUI_DEVICE* d = GUI_DEVICE_GetDriver(layer);
  if (!d) return nullptr;
  *ppDevice = d;
  return reinterpret_cast<F*>(d->pDeviceAPI->pfGetDevFunc(ppDevice, code));
}

const GUI_LCD_MEMORY_HOOKS* Mirror() { return GUI_GetLCDMemoryHooks(); }

}  // namespace

GUI_DEVICE* GUI_DEVICE__GetHead(int layer) { return ValidLayer(layer) ? g_heads[layer] : nullptr; }

void GUI_DEVICE__ClearChains() {
  for (GUI_DEVICE*& h : g_heads) h = nullptr;
  for (int& v : g_layerValue) v = 0;
  g_numLayersInUse = 0;
  g_pPalConv = nullptr;
}

GUI_DEVICE* GUI_DEVICE_Create(const GUI_DEVICE_API* pAPI, const GUICC* pCC, uint16_t flags,
                              int layer) {
  if (!ValidLayer(layer)) return nullptr;
  if (!pCC) {
    for (GUI_DEVICE* d = g_heads[layer]; d; d = d->pNext)
      if (!d->pNext) pCC = d->pColorConvAPI;
  }
  void* p = GUI_ALLOC_GetFixedBlock(sizeof(GUI_DEVICE));
  if (!p) return nullptr;
  auto* d = new (p) GUI_DEVICE{};
  d->pDeviceAPI = pAPI;
  d->pColorConvAPI = pCC;
  d->Flags = flags;
  d->LayerIndex = layer;
  return d;
}

int GUI_DEVICE_Link(GUI_DEVICE* pNew) {
  if (!pNew || !ValidLayer(pNew->LayerIndex)) return 1;
  GUI_LockGuard lock;
  int layer = pNew->LayerIndex;
  GUI_DEVICE* head = g_heads[layer];
  int cls = pNew->pDeviceAPI->DeviceClassIndex;
  if (!head) {
    pNew->pNext = pNew->pPrev = nullptr;
    g_heads[layer] = pNew;
  } else {
    GUI_DEVICE* cur = head;
    while (cur && cur->pDeviceAPI->DeviceClassIndex > cls) cur = cur->pNext;
    if (!cur) return 1;  // lower than every class in the chain
    if (cur->pDeviceAPI->DeviceClassIndex == cls && pNew->Flags == 1) {
      while (cur && cur->pDeviceAPI->DeviceClassIndex >= cls) cur = cur->pNext;
      if (!cur) return 1;
    }
    if (cur == pNew) {
      GUI_ErrorOut("GUI_Device:\n'pDeviceNew->pPrev' points to 'pDeviceNew' in _LinkDevice().");
      pNew->pNext = nullptr;
      return 1;
    }
    // Insert above cur.
    pNew->pNext = cur;
    pNew->pPrev = cur->pPrev;
    if (cur->pPrev) {
      if (cur->pPrev == cur) {
        GUI_ErrorOut("GUI_Device:\n'pDeviceCur->pPrev' == pDeviceCur points to 'pDeviceCur' in _LinkDevice().");
        pNew->pNext = nullptr;
        return 1;
      }
      cur->pPrev->pNext = pNew;
    } else {
      g_heads[layer] = pNew;
    }
    cur->pPrev = pNew;
  }
  if (layer + 1 > g_numLayersInUse) g_numLayersInUse = layer + 1;
  return 0;
}

GUI_DEVICE* GUI_DEVICE_CreateAndLink(const GUI_DEVICE_API* pAPI, const GUICC* pCC,
                                     uint16_t flags, int layer) {
  GUI_DEVICE* d = GUI_DEVICE_Create(pAPI, pCC, flags, layer);
  if (!d) return nullptr;
  if (GUI_DEVICE_Link(d) != 0) {
    GUI_DEVICE_Delete(d);
    return nullptr;
  }
  if (pAPI->DeviceClassIndex == DEVICE_CLASS_DRIVER) GUI_pContext->apDriver[layer] = d;
  return d;
}

void GUI_DEVICE_Unlink(GUI_DEVICE* pDevice) {
  if (!pDevice || !ValidLayer(pDevice->LayerIndex)) return;
  GUI_LockGuard lock;
  int layer = pDevice->LayerIndex;
  bool linked = g_heads[layer] == pDevice || pDevice->pPrev;
  if (!linked) return;
  if (pDevice->pPrev)
    pDevice->pPrev->pNext = pDevice->pNext;
  else
    g_heads[layer] = pDevice->pNext;
  if (pDevice->pNext) pDevice->pNext->pPrev = pDevice->pPrev;
  pDevice->pNext = pDevice->pPrev = nullptr;
}

void GUI_DEVICE_Delete(GUI_DEVICE* pDevice) { GUI_ALLOC_FreeFixedBlock(pDevice); }

void GUI_DEVICE_LinkDevices(GUI_DEVICE* pList) {
  while (pList) {
    GUI_DEVICE* pNext = pList->pNext;
    GUI_DEVICE_Link(pList);
    pList = pNext;
  }
}

// No device of this system is private to a task.
GUI_DEVICE* GUI_DEVICE__UnlinkTaskDevices() { return nullptr; }

GUI_DEVICE* GUI_DEVICE_GetDriver(int layer) { return GUI_DEVICE_GetpDevice(layer, DEVICE_CLASS_DRIVER); }

GUI_DEVICE* GUI_DEVICE_GetpDevice(int layer, int deviceClass) {
  if (!ValidLayer(layer)) return nullptr;
  for (GUI_DEVICE* d = g_heads[layer]; d; d = d->pNext)
    if (d->pDeviceAPI->DeviceClassIndex == deviceClass) return d;
  return nullptr;
}

// --- layer properties -----------------------------------------------------------------
int LCD_GetXSizeEx(int layer) { return DevProp(layer, LCD_DEVCAP_XSIZE); }
int LCD_GetYSizeEx(int layer) { return DevProp(layer, LCD_DEVCAP_YSIZE); }
int LCD_GetVXSizeEx(int layer) { return DevProp(layer, LCD_DEVCAP_VXSIZE); }
int LCD_GetVYSizeEx(int layer) { return DevProp(layer, LCD_DEVCAP_VYSIZE); }
int LCD_GetBitsPerPixelEx(int layer) { return DevProp(layer, LCD_DEVCAP_BITSPERPIXEL); }
uint32_t LCD_GetNumColorsEx(int layer) {
  return static_cast<uint32_t>(DevProp(layer, LCD_DEVCAP_NUMCOLORS));
}
int LCD_GetDevPropEx(int layer, int code) { return DevProp(layer, code); }
int LCD_GetXSize() { return LCD_GetXSizeEx(GUI_pContext->SelLayer); }
int LCD_GetYSize() { return LCD_GetYSizeEx(GUI_pContext->SelLayer); }
int LCD_GetVXSize() { return LCD_GetVXSizeEx(GUI_pContext->SelLayer); }
int LCD_GetVYSize() { return LCD_GetVYSizeEx(GUI_pContext->SelLayer); }
int LCD_GetBitsPerPixel() { return LCD_GetBitsPerPixelEx(GUI_pContext->SelLayer); }
uint32_t LCD_GetNumColors() { return LCD_GetNumColorsEx(GUI_pContext->SelLayer); }
int LCD_GetXSizeMax() { return MaxOverLayers(LCD_DEVCAP_XSIZE); }
int LCD_GetYSizeMax() { return MaxOverLayers(LCD_DEVCAP_YSIZE); }
int LCD_GetVXSizeMax() { return MaxOverLayers(LCD_DEVCAP_VXSIZE); }
int LCD_GetVYSizeMax() { return MaxOverLayers(LCD_DEVCAP_VYSIZE); }
int LCD_GetBitsPerPixelMax() { return MaxOverLayers(LCD_DEVCAP_BITSPERPIXEL); }

int LCD_GetNumLayers() {
  int n = 0;
  for (int layer = 0; layer < GUI_NUM_LAYERS; ++layer)
    if (GUI_DEVICE_GetDriver(layer)) ++n;
  return n;
}

int LCD_GetBitsPerPixel_L0() {
  GUI_DEVICE* d = g_heads[GUI_pContext->SelLayer];
  return d ? d->pDeviceAPI->pfGetDevProp(d, LCD_DEVCAP_BITSPERPIXEL) : 0;
}

const uint32_t* LCD_GetpLUTEx(int layer) {
  GUI_DEVICE* d = GUI_DEVICE_GetDriver(layer);
  return d ? static_cast<const uint32_t*>(d->pDeviceAPI->pfGetDevData(d, 2)) : nullptr;
}
void* LCD_GetpMemdevAPIEx(int layer) {
  GUI_DEVICE* d = GUI_DEVICE_GetDriver(layer);
  return d ? d->pDeviceAPI->pfGetDevData(d, 1) : nullptr;
}
const GUICC* LCD_GetpColorConvAPIEx(int layer) {
  GUI_DEVICE* d = GUI_DEVICE_GetDriver(layer);
  return d ? d->pColorConvAPI : nullptr;
}

int LCD__GetBPP(uint32_t m) {
  if (m == 0) return 0;
  if (m == 1) return 1;
  if (m < 4) return 2;
  if (m < 8) return 3;
  if (m < 16) return 4;
  if (m < 32) return 5;
  if (m < 256) return 8;
  if (m <= 0xFFFF) return 16;
  if (m <= 0x3FFFF) return 18;
  if (m < 0x1000000) return 24;
  return 32;
}

int LCD__GetBPPDevice(uint32_t m) {
  int bpp = LCD__GetBPP(m);
  if (bpp <= 1) return bpp;
  if (bpp <= 8) return 8;
  if (bpp <= 16) return 16;
  return 32;
}

// --- layer selection and position ---------------------------------------------------------
int GUI_SelectLayer(int layer) {
  GUI_LockGuard lock;
  int old = GUI_pContext->SelLayer;
  if (ValidLayer(layer) && GUI_DEVICE_GetDriver(layer)) {
    GUI_pContext->SelLayer = static_cast<uint8_t>(layer);
    LCD_SetClipRectMax();
    WM__SelectLayer(layer);
  }
  return old;
}
int GUI_GetSelLayer() { return GUI_pContext->SelLayer; }

int GUI_GetLayerPosEx(int layer, int* px, int* py) {
  GUI_LockGuard lock;
  int r = LCD_GetPosEx(layer, px, py);
  if (r) {
    if (px) *px = 0;
    if (py) *py = 0;
  }
  return r;
}
int GUI_SetLayerPosEx(int layer, int x, int y) {
  GUI_LockGuard lock;
  return LCD_SetPosEx(layer, x, y);
}
int GUI_SetLayerSizeEx(int layer, int x, int y) {
  GUI_LockGuard lock;
  return LCD_SetSizeEx(layer, x, y);
}
int GUI_SetLayerBufferEx(int layer, int value) {
  GUI_LockGuard lock;
  return LCD_SetBufferPtrEx(layer, value);
}
int GUI_SetLayerVRAMEx(int layer, int value) {
  GUI_LockGuard lock;
  return LCD_SetVRAMAddrEx(layer, value);
}
void GUI_SetLayerValueEx(int layer, int value) {
  GUI_DEVICE* d = nullptr;
  if (DevFunc<void(GUI_DEVICE*, int)>(layer, LCD_DEVFUNC_SETPOS, &d)) g_layerValue[layer] = value;
}
int GUI_GetLayerValueEx(int layer) { return ValidLayer(layer) ? g_layerValue[layer] : 0; }

// --- per-layer configuration ----------------------------------------------------------------
// Each calls the driver's optional function when it has one; the mirror into the LCD
// simulation runs here, once, whether or not it has (the driver's functions only store).
namespace {
int Config1(int layer, int code, int v, void (*mirror)(int layer, int v)) {
  if (!ValidLayer(layer) || !GUI_DEVICE_GetDriver(layer)) return 1;
  GUI_DEVICE* d = nullptr;
  auto* f = DevFunc<void(GUI_DEVICE*, int)>(layer, code, &d);
  if (f) f(d, v);
  if (mirror) mirror(layer, v);
  return (f || mirror) ? 0 : 1;
}
int Config2(int layer, int code, int a, int b, void (*mirror)(int layer, int a, int b)) {
  if (!ValidLayer(layer) || !GUI_DEVICE_GetDriver(layer)) return 1;
  GUI_DEVICE* d = nullptr;
  auto* f = DevFunc<void(GUI_DEVICE*, int, int)>(layer, code, &d);
  if (f) f(d, a, b);
  if (mirror) mirror(layer, a, b);
  return (f || mirror) ? 0 : 1;
}
int Config0(int layer, int code) {
  GUI_DEVICE* d = nullptr;
  auto* f = DevFunc<void(GUI_DEVICE*)>(layer, code, &d);
  if (!f) return 1;
  f(d);
  return 0;
}
void MirrorBuffer(int layer, int v) {
  if (Mirror()->pfSetShowBuffer) Mirror()->pfSetShowBuffer(v, layer);
}
void MirrorPos(int layer, int x, int y) {
  if (Mirror()->pfSetOrg) Mirror()->pfSetOrg(x, y, layer);
}
void MirrorVRAM(int layer, int v) {
  if (Mirror()->pfSetVRAMAddr) Mirror()->pfSetVRAMAddr(v, layer);
}
void MirrorSize(int layer, int x, int y) {
  if (Mirror()->pfSetSize) Mirror()->pfSetSize(layer, x, y);
}
void MirrorVis(int layer, int v) {
  if (Mirror()->pfSetLayerValue) Mirror()->pfSetLayerValue(layer, v);
}
void MirrorChroma(int layer, int a, int b) {
  if (Mirror()->pfSetColorRange)
    Mirror()->pfSetColorRange(layer, static_cast<GUI_COLOR>(a), static_cast<GUI_COLOR>(b));
}
}  // namespace

int LCD_SetBufferPtrEx(int layer, int v) { return Config1(layer, LCD_DEVFUNC_SETBUFFER, v, MirrorBuffer); }
int LCD_SetPosEx(int layer, int x, int y) { return Config2(layer, LCD_DEVFUNC_SETPOS, x, y, MirrorPos); }
int LCD_GetPosEx(int layer, int* px, int* py) {
  GUI_DEVICE* d = nullptr;
  auto* f = DevFunc<void(GUI_DEVICE*, int*, int*)>(layer, LCD_DEVFUNC_GETPOS, &d);
  if (!f) return 1;
  f(d, px, py);
  return 0;
}
int LCD_SetVRAMAddrEx(int layer, int v) { return Config1(layer, LCD_DEVFUNC_SETVRAMADDR, v, MirrorVRAM); }
int LCD_SetVRAMSizeEx(int layer, int x, int y) { return Config2(layer, LCD_DEVFUNC_SETVRAMSIZE, x, y, nullptr); }
int LCD_SetVSizeEx(int layer, int x, int y) { return Config2(layer, LCD_DEVFUNC_SETVSIZE, x, y, nullptr); }
int LCD_SetSizeEx(int layer, int x, int y) { return Config2(layer, LCD_DEVFUNC_SETSIZE, x, y, MirrorSize); }
int LCD_OnEx(int layer) { return Config0(layer, LCD_DEVFUNC_ON); }
int LCD_OffEx(int layer) { return Config0(layer, LCD_DEVFUNC_OFF); }
int LCD_RefreshEx(int layer) { return Config0(layer, LCD_DEVFUNC_REFRESH); }
int LCD_SetLUTEntryEx(int layer, uint8_t index, GUI_COLOR color) {
  if (!ValidLayer(layer) || !GUI_DEVICE_GetDriver(layer)) return 1;
  GUI_DEVICE* d = nullptr;
  auto* f = DevFunc<void(GUI_DEVICE*, int, GUI_COLOR)>(layer, LCD_DEVFUNC_SETLUTENTRY, &d);
  if (f) f(d, index, color);
  if (Mirror()->pfSetLUTEntry) Mirror()->pfSetLUTEntry(index, color, layer);
  return 0;
}
int LCD_SetAlphaEx(int layer, int v) { return Config1(layer, LCD_DEVFUNC_SETALPHA, v, nullptr); }
int LCD_SetVisEx(int layer, int v) { return Config1(layer, LCD_DEVFUNC_SETVIS, v, MirrorVis); }
int LCD_SetChromaEx(int layer, GUI_COLOR a, GUI_COLOR b) {
  return Config2(layer, LCD_DEVFUNC_SETCHROMA, static_cast<int>(a), static_cast<int>(b), MirrorChroma);
}
int LCD_SetChromaModeEx(int layer, int a, int b) { return Config2(layer, LCD_DEVFUNC_SETCHROMAMODE, a, b, nullptr); }
int LCD_SetDevFuncEx(int layer, int v) { return Config1(layer, LCD_DEVFUNC_SETFUNC, v, nullptr); }

int LCD_SetBufferPtr(int v) { return LCD_SetBufferPtrEx(GUI_pContext->SelLayer, v); }
int LCD_SetPos(int x, int y) { return LCD_SetPosEx(GUI_pContext->SelLayer, x, y); }
int LCD_GetPos(int* px, int* py) { return LCD_GetPosEx(GUI_pContext->SelLayer, px, py); }
int LCD_SetVRAMAddr(int v) { return LCD_SetVRAMAddrEx(GUI_pContext->SelLayer, v); }
int LCD_SetVRAMSize(int x, int y) { return LCD_SetVRAMSizeEx(GUI_pContext->SelLayer, x, y); }
int LCD_SetVSize(int x, int y) { return LCD_SetVSizeEx(GUI_pContext->SelLayer, x, y); }
int LCD_SetSize(int x, int y) { return LCD_SetSizeEx(GUI_pContext->SelLayer, x, y); }
int LCD_On() { return LCD_OnEx(GUI_pContext->SelLayer); }
int LCD_Off() { return LCD_OffEx(GUI_pContext->SelLayer); }
int LCD_Refresh() { return LCD_RefreshEx(GUI_pContext->SelLayer); }
int LCD_SetLUTEntry(uint8_t i, GUI_COLOR c) { return LCD_SetLUTEntryEx(GUI_pContext->SelLayer, i, c); }
int LCD_SetAlpha(int v) { return LCD_SetAlphaEx(GUI_pContext->SelLayer, v); }
int LCD_SetVis(int v) { return LCD_SetVisEx(GUI_pContext->SelLayer, v); }
int LCD_SetChroma(GUI_COLOR a, GUI_COLOR b) { return LCD_SetChromaEx(GUI_pContext->SelLayer, a, b); }
int LCD_SetChromaMode(int a, int b) { return LCD_SetChromaModeEx(GUI_pContext->SelLayer, a, b); }
int LCD_SetDevFunc(int v) { return LCD_SetDevFuncEx(GUI_pContext->SelLayer, v); }

// --- palette conversion ---------------------------------------------------------------------
int GUI_SetMaxPalEntries(int n) {
  if (n < 2 || n > 256) return 1;
  g_maxPalEntries = n;
  return 0;
}

int LCD_InitPalConv() {
  if (g_pPalConv) return 0;
  g_pPalConv = static_cast<uint32_t*>(
      GUI_ALLOC_GetFixedBlock(static_cast<uint32_t>(g_maxPalEntries) * sizeof(uint32_t)));
  if (!g_pPalConv) return 1;
  GUI__AddExitHook(&g_exitPalConv);
  return 0;
}

const uint32_t* LCD_GetpPalConvTable(const GUI_LOGPALETTE* pPal) {
  if (!pPal || !pPal->pPalEntries || !g_pPalConv || pPal->NumEntries > 256) return nullptr;
  int n = pPal->NumEntries < g_maxPalEntries ? pPal->NumEntries : g_maxPalEntries;
  for (int i = 0; i < n; ++i) g_pPalConv[i] = LCD_Color2Index(pPal->pPalEntries[i]);
  if (g_pfPalConvHook) g_pfPalConvHook(pPal);
  return g_pPalConv;
}

void LCD_SetPalConvHook(void (*pfHook)(const GUI_LOGPALETTE*)) { g_pfPalConvHook = pfHook; }

void LCD_InitLUT() {
  for (int layer = 0; layer < GUI_NUM_LAYERS; ++layer) {
    GUI_DEVICE* d = GUI_DEVICE_GetDriver(layer);
    if (!d || LCD_GetBitsPerPixelEx(layer) > 8) continue;
    int n = LCD_GetDevPropEx(layer, LCD_DEVCAP_NUMCOLORS);
    for (int i = 0; i < n && i < 256; ++i)
      LCD_SetLUTEntryEx(layer, static_cast<uint8_t>(i), d->pColorConvAPI->pfIndex2Color(static_cast<uint32_t>(i)));
  }
}
