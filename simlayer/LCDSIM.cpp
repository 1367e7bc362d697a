// The emulated display in shared memory.
#include "simlayer/LCDSIM.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "gui/GUI_Private.h"
#include "gui/LCD.h"
#include "host/shared_block.h"
#include "simlayer/SIM.h"

namespace {

constexpr int kMaxLayers = GUI_NUM_LAYERS;
constexpr int kMaxProbe = 99;

struct Layer {
  std::unique_ptr<host::SharedBlock> block;
  uint8_t* p = nullptr;            // block start
  uint8_t* frame = nullptr;        // block + 4096
  int bytesPerLine = 0;
  int xSize = 0, ySize = 0;
  int vxSize = 0, vySize = 0;
  int bpp = 0;                     // 0 until the layer is initialised: pixel access does nothing
  int numColors = 0;
  int orgX = 0, orgY = 0;
  int posX = 0, posY = 0;
  int vram = 0;
  int transMode = 0;
  int curBuffer = 0;
  int showBuffer = 0;
  int ptrX = -1, ptrY = -1, ptrPressed = -1;
  GUI_COLOR lastColor = 0;
  uint32_t changeCount = 0;
  uint32_t lutVersion = 0;
  const GUICC* cc = nullptr;
};

Layer g_layer[kMaxLayers];
std::unique_ptr<host::SharedBlock> g_global;
GUI_COLOR g_rangeMin = 0, g_rangeMax = 0;
int g_alpha = 0;
GUI_COLOR g_compositeColor = 0;
int g_compositeX = 0, g_compositeY = 0;
void (*g_pfPointer)(int, int, int, int);

// 16-bit index -> frame-buffer word 0x00RRGGBB for the layer's colour conversion.
uint32_t g_raw16[65536];
const GUICC* g_raw16For = nullptr;

void Put32(uint8_t* p, uint32_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, 4);
  } else {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
  }
}
uint32_t Get32(const uint8_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  } else {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  }
}

bool ValidLayer(int layer) { return layer >= 0 && layer < kMaxLayers; }
Layer* Get(int layer) { return ValidLayer(layer) ? &g_layer[layer] : nullptr; }

void Hdr(Layer& l, uint32_t off, uint32_t v) {
  if (l.p) Put32(l.p + off, v);
}

void Bump(Layer& l) {
  ++l.changeCount;
  Hdr(l, LCDSIM_HDR_CHANGECNT, l.changeCount);
}

uint32_t SwapRB(uint32_t c) { return (c & 0xFF00FF00u) | ((c & 0xFF) << 16) | ((c >> 16) & 0xFF); }

int PixelBytes(const Layer& l) { return l.bpp > 8 ? 4 : 1; }

// Byte offset of a pixel in the frame buffer, or -1 (reported) when it lies outside.
long Offset(const Layer& l, int x, int y) {
  int pb = PixelBytes(l);
  long off = static_cast<long>(y) * l.bytesPerLine + static_cast<long>(x) * pb;
  if (x < 0 || y < 0 || x >= l.vxSize || off + pb > static_cast<long>(LCDSIM_FRAME_BYTES)) {
    GUI_ErrorOut(pb == 4 ? "LCDSIM:\nIllegal frame buffer address in _XY2PTR_DWORD."
                         : "LCDSIM:\nIllegal frame buffer address in _XY2PTR.");
    return -1;
  }
  return off;
}

uint32_t RawOf(const Layer& l, uint32_t index) {
  if (l.cc == g_raw16For && index <= 0xFFFF) return g_raw16[index];
  return SwapRB(l.cc->pfIndex2Color(index)) & 0x00FFFFFFu;
}

void BuildRaw16(const GUICC* cc) {
  if (g_raw16For == cc || !cc || cc->pfGetIndexMask() > 0xFFFF) return;
  for (uint32_t i = 0; i < 65536; ++i) g_raw16[i] = SwapRB(cc->pfIndex2Color(i)) & 0x00FFFFFFu;
  g_raw16For = cc;
}

// A row x0..x0+n-1 inside the frame buffer: its first byte, or null (reported).
uint8_t* RowStart(Layer& l, int x0, int y, int n) {
  if (l.bpp == 0 || n <= 0) return nullptr;
  if (x0 + n > l.vxSize) {
    Offset(l, l.vxSize, y);        // reports
    return nullptr;
  }
  long first = Offset(l, x0, y);
  return first < 0 ? nullptr : l.frame + first;
}

const GUI_LCD_MEMORY_HOOKS kHooks = {
    LCDSIM_SetPixelIndex, LCDSIM_GetPixelIndex, LCDSIM_FillRow,      LCDSIM_WriteRow16,
    LCDSIM_WriteRow32,    LCDSIM_SetLUTEntry,   LCDSIM_SetOrg,       LCDSIM_CheckOrg,
    LCDSIM_SetVRAMAddr,   LCDSIM_SetSize,       LCDSIM_SetShowBuffer, LCDSIM_CopyBuffer,
    LCDSIM_SetLayerValue, LCDSIM_SetColorRange,
};

std::string g_names[kMaxLayers];

}  // namespace

int LCDSIM_Init() {
  if (g_rangeMax == 0) g_rangeMax = 0xFFFFFF;
  Layer& l = g_layer[0];
  if (!l.block) {
    std::string base = "GuiLCDMap";
    std::string name = base;
    int k = 0;
    while (host::SharedBlock::InUse(name)) {
      if (++k > kMaxProbe) {
        SIM_Error("LCDSIM:\nNo free name for the shared LCD memory (GuiLCDMap .. GuiLCDMap_99 are in use).");
        return 1;
      }
      char buf[32];
      std::snprintf(buf, sizeof buf, "%s_%d", base.c_str(), k);
      name = buf;
    }
    std::string err;
    l.block = host::SharedBlock::Create(name, LCDSIM_BLOCK_BYTES, 0, &err);
    if (!l.block) {
      SIM_Error(("LCDSIM:\n" + err).c_str());
      return 1;
    }
    l.p = static_cast<uint8_t*>(l.block->data());
    std::memset(l.p, 0, LCDSIM_FRAME_OFFSET);
    g_names[0] = name;
    // Values set before the block existed reach its header now.
    Hdr(l, LCDSIM_HDR_XSIZE, static_cast<uint32_t>(l.xSize));
    Hdr(l, LCDSIM_HDR_YSIZE, static_cast<uint32_t>(l.ySize));
  }
  if (!g_global) {
    std::string err;
    g_global = host::SharedBlock::OpenOrCreate("GuiGlobalMap", LCDSIM_BLOCK_BYTES, 4096, &err);
    if (g_global)
      static_cast<uint8_t*>(g_global->data())[0] = 0;
    else
      SIM_Error(("LCDSIM:\n" + err).c_str());
  }
  GUI_SetLCDMemoryHooks(&kHooks);
  GUI__InitOnce();
  return 0;
}

const char* LCDSIM_InitServerData() {
  for (int layer = 0; layer < kMaxLayers; ++layer) {
    if (!GUI_DEVICE_GetDriver(layer)) continue;
    Layer& l = g_layer[layer];
    if (!l.p) return "Could not alloc Server data ...";
    l.xSize = LCD_GetXSizeEx(layer);
    l.ySize = LCD_GetYSizeEx(layer);
    l.vxSize = LCD_GetVXSizeEx(layer);
    l.vySize = LCD_GetVYSizeEx(layer);
    l.numColors = static_cast<int>(LCD_GetNumColorsEx(layer));
    l.cc = LCD_GetpColorConvAPIEx(layer);
    int bpp = LCD_GetBitsPerPixelEx(layer);
    l.frame = l.p + LCDSIM_FRAME_OFFSET;
    l.bytesPerLine = bpp > 8 ? l.vxSize * 4 : (l.vxSize + 3) / 4 * 4;
    l.orgX = l.orgY = 0;
    long bytes = static_cast<long>(l.ySize) * l.bytesPerLine;
    if (bytes > static_cast<long>(LCDSIM_FRAME_BYTES)) bytes = LCDSIM_FRAME_BYTES;
    if (bytes > 0) std::memset(l.frame, 0, static_cast<size_t>(bytes));
    std::memset(l.p, 0, 32);
    std::memcpy(l.p, "GUI LCD Simulation", sizeof "GUI LCD Simulation");
    Hdr(l, LCDSIM_HDR_XSIZE, static_cast<uint32_t>(l.xSize));
    Hdr(l, LCDSIM_HDR_YSIZE, static_cast<uint32_t>(l.ySize));
    Hdr(l, LCDSIM_HDR_VXSIZE, static_cast<uint32_t>(l.vxSize));
    Hdr(l, LCDSIM_HDR_VYSIZE, static_cast<uint32_t>(l.vySize));
    Hdr(l, LCDSIM_HDR_BPP, static_cast<uint32_t>(bpp));
    Hdr(l, LCDSIM_HDR_NUMCOLORS, static_cast<uint32_t>(l.numColors));
    if (bpp <= 8) {
      for (int j = 0; j < l.numColors && j < 256; ++j) {
        GUI_COLOR c = LCD_Index2ColorEx(static_cast<uint32_t>(j), layer);
        uint8_t* e = l.p + LCDSIM_HDR_LUT + 4 * j;
        e[0] = static_cast<uint8_t>(c >> 16);
        e[1] = static_cast<uint8_t>(c >> 8);
        e[2] = static_cast<uint8_t>(c);
        e[3] = 0;
      }
    }
    uint8_t* bi = l.p + LCDSIM_HDR_BITMAPINFO;
    std::memset(bi, 0, 40);
    Put32(bi + 0, 40);
    Put32(bi + 4, static_cast<uint32_t>(l.vxSize));
    Put32(bi + 8, static_cast<uint32_t>(-l.vySize));
    bi[12] = 1;                    // planes
    bi[14] = bpp <= 8 ? 8 : 32;    // bit count
    if (l.cc) BuildRaw16(l.cc);
    l.bpp = bpp;
  }
  return nullptr;
}

void LCDSIM_Exit() {
  for (int i = 0; i < kMaxLayers; ++i) {
    g_layer[i] = Layer{};
    g_names[i].clear();
  }
  g_global.reset();
  g_rangeMin = g_rangeMax = 0;
  g_alpha = 0;
  g_compositeColor = 0;
  g_compositeX = g_compositeY = 0;
  if (GUI_GetLCDMemoryHooks() == &kHooks) GUI_SetLCDMemoryHooks(nullptr);
}

// The mappings stay until the process ends; the names go with LCDSIM_Exit.
void LCDSIM_CloseMap() {}

const char* LCDSIM_GetMapName(int layer) { return ValidLayer(layer) ? g_names[layer].c_str() : ""; }
uint8_t* LCDSIM_GetBlock(int layer) { return ValidLayer(layer) ? g_layer[layer].p : nullptr; }

// --- pixels ---------------------------------------------------------------------------------
void LCDSIM_SetPixelIndex(int x, int y, uint32_t index, int layer) {
  Layer* l = Get(layer);
  if (!l || l->bpp == 0) return;
  long off = Offset(*l, x, y);
  if (off < 0) return;
  if (l->bpp > 8)
    Put32(l->frame + off, RawOf(*l, index));
  else
    l->frame[off] = static_cast<uint8_t>(index);
  Bump(*l);
}

uint32_t LCDSIM_GetPixelIndex(int x, int y, int layer) {
  Layer* l = Get(layer);
  if (!l || l->bpp == 0) return 0;
  long off = Offset(*l, x, y);
  if (off < 0) return 0;
  if (l->bpp <= 8) return l->frame[off];
  return l->cc->pfColor2Index(SwapRB(Get32(l->frame + off)) & 0x00FFFFFFu);
}

void LCDSIM_SetPixel32(int x, int y, uint32_t raw, int layer) {
  Layer* l = Get(layer);
  if (!l || l->bpp <= 8) return;
  long off = Offset(*l, x, y);
  if (off < 0) return;
  Put32(l->frame + off, raw);
  Bump(*l);
}

GUI_COLOR LCDSIM_GetPixelColor(int x, int y, int layer) {
  Layer* l = Get(layer);
  if (!l || l->bpp == 0) return 0;
  long off = Offset(*l, x, y);
  if (off < 0) return 0;
  if (l->bpp > 8) return SwapRB(Get32(l->frame + off));
  return LCDSIM_GetLUTColor(l->frame[off], layer);
}

GUI_COLOR LCDSIM_GetLUTColor(int index, int layer) {
  Layer* l = Get(layer);
  if (!l || !l->p || l->bpp > 8) return 0;
  const uint8_t* e = l->p + LCDSIM_HDR_LUT + 4 * (index & 0xFF);
  return e[2] | (e[1] << 8) | (static_cast<uint32_t>(e[0]) << 16) | (static_cast<uint32_t>(e[3]) << 24);
}

void LCDSIM_FillRow(int x0, int x1, int y, uint32_t index, int layer) {
  Layer* l = Get(layer);
  if (!l) return;
  uint8_t* p = RowStart(*l, x0, y, x1 - x0 + 1);
  if (!p) return;
  int n = x1 - x0 + 1;
  if (l->bpp > 8) {
    uint8_t raw[4];
    Put32(raw, RawOf(*l, index));
    uint32_t word;
    std::memcpy(&word, raw, 4);
    GUI__FillWords32(p, n, word);
  } else {
    std::memset(p, static_cast<int>(index & 0xFF), static_cast<size_t>(n));
  }
  Bump(*l);
}

// The frame-buffer words of n 16-bit indices: the display format converts in vector
// registers, other 16-bit formats through the table of their conversion.
void LCDSIM_WriteRow16(int x0, int y, int n, const uint8_t* pIndices, int layer) {
  Layer* l = Get(layer);
  if (!l) return;
  uint8_t* p = RowStart(*l, x0, y, n);
  if (!p) return;
  auto index = [pIndices](int i) {
    uint16_t v;
    std::memcpy(&v, pIndices + 2 * i, 2);
    return v;
  };
  if (l->bpp > 8 && l->cc == &GUICC_565R) {
    GUICC_565R_IndexToFrameWords(pIndices, p, n);
  } else if (l->bpp > 8 && l->cc == g_raw16For) {
    for (int i = 0; i < n; ++i) Put32(p + 4 * i, g_raw16[index(i)]);
  } else if (l->bpp > 8) {
    for (int i = 0; i < n; ++i) Put32(p + 4 * i, RawOf(*l, index(i)));
  } else {
    for (int i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(index(i));
  }
  Bump(*l);
}

void LCDSIM_WriteRow32(int x0, int y, int n, const uint32_t* pIndices, int layer) {
  Layer* l = Get(layer);
  if (!l) return;
  uint8_t* p = RowStart(*l, x0, y, n);
  if (!p) return;
  if (l->bpp > 8) {
    for (int i = 0; i < n; ++i) Put32(p + 4 * i, RawOf(*l, pIndices[i]));
  } else {
    for (int i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(pIndices[i]);
  }
  Bump(*l);
}

// --- colour table and setters ---------------------------------------------------------------
void LCDSIM_SetLUTEntry(uint8_t index, GUI_COLOR color, int layer) {
  Layer* l = Get(layer);
  if (!l || !l->p) return;
  Hdr(*l, LCDSIM_HDR_BPP, static_cast<uint32_t>(l->bpp));
  Hdr(*l, LCDSIM_HDR_NUMCOLORS, static_cast<uint32_t>(l->numColors));
  uint8_t ch[3];
  for (int i = 0; i < 3; ++i) {
    int c = static_cast<int>((color >> (8 * i)) & 0xFF);
    int lo = static_cast<int>((g_rangeMin >> (8 * i)) & 0xFF);
    int hi = static_cast<int>((g_rangeMax >> (8 * i)) & 0xFF);
    ch[i] = static_cast<uint8_t>(lo + (hi - lo) * c / 255);
  }
  uint8_t* e = l->p + LCDSIM_HDR_LUT + 4 * index;
  e[0] = ch[2];
  e[1] = ch[1];
  e[2] = ch[0];
  e[3] = static_cast<uint8_t>(color >> 24);
  l->lastColor = color;
  Hdr(*l, LCDSIM_HDR_LUTVERSION, ++l->lutVersion);
  Bump(*l);
}

void LCDSIM_SetColorRange(int layer, GUI_COLOR colorMin, GUI_COLOR colorMax) {
  if (layer != 0) return;
  g_rangeMin = colorMin;
  g_rangeMax = colorMax;
  Layer& l = g_layer[0];
  Hdr(l, LCDSIM_HDR_RANGE_MIN, colorMin);
  Hdr(l, LCDSIM_HDR_RANGE_MAX, colorMax);
  if (l.p) Bump(l);
}

void LCDSIM_SetLayerAlpha(int alpha, int layer) {
  Layer* l = Get(layer);
  if (!l) return;
  g_alpha = alpha;
  Hdr(*l, LCDSIM_HDR_ALPHA, static_cast<uint32_t>(alpha));
  if (l->p) Bump(*l);
}

void LCDSIM_SetOrg(int x, int y, int layer) {
  Layer* l = Get(layer);
  if (!l) return;
  l->posX = x;
  l->posY = y;
  Hdr(*l, LCDSIM_HDR_POS_X, static_cast<uint32_t>(x));
  Hdr(*l, LCDSIM_HDR_POS_Y, static_cast<uint32_t>(y));
  if (l->p) Bump(*l);
}

void LCDSIM_CheckOrg(int x, int y, int layer) {
  Layer* l = Get(layer);
  // Refused while the layer is not initialised: nothing could make it so while we wait.
  if (!l || l->bpp == 0) return;
  char text[200];
  if (x < 0 || x + l->xSize > l->vxSize) {
    std::snprintf(text, sizeof text,
                  "LCDSIM - GUI_SetOrg() failed.\n\nThe desired X position of %d exceeds the maximum\n"
                  "value of LDC_VXSIZE - LCD_XSIZE = %d",
                  x, l->vxSize - l->xSize);
    SIM_ReportError(text);
    return;
  }
  if (y < 0 || y + l->ySize > l->vySize) {
    std::snprintf(text, sizeof text,
                  "LCDSIM - GUI_SetOrg() failed.\n\nThe desired Y position of %d exceeds the maximum\n"
                  "value of LDC_VYSIZE - LCD_YSIZE = %d",
                  y, l->vySize - l->ySize);
    SIM_ReportError(text);
    return;
  }
  l->orgX = x;
  l->orgY = y;
  Hdr(*l, LCDSIM_HDR_ORG_X, static_cast<uint32_t>(x));
  Hdr(*l, LCDSIM_HDR_ORG_Y, static_cast<uint32_t>(y));
  Bump(*l);
}

void LCDSIM_SetVRAMAddr(int value, int layer) {
  Layer* l = Get(layer);
  if (!l) return;
  l->vram = value;
  Hdr(*l, LCDSIM_HDR_VRAMADDR, static_cast<uint32_t>(value));
  if (l->p) Bump(*l);
}

void LCDSIM_SetSize(int layer, int xSize, int ySize) {
  Layer* l = Get(layer);
  if (!l) return;
  l->xSize = xSize;
  l->ySize = ySize;
  Hdr(*l, LCDSIM_HDR_XSIZE, static_cast<uint32_t>(xSize));
  Hdr(*l, LCDSIM_HDR_YSIZE, static_cast<uint32_t>(ySize));
  if (l->p) Bump(*l);
}

void LCDSIM_SetShowBuffer(int index, int layer) {
  Layer* l = Get(layer);
  if (!l) return;
  l->showBuffer = index;
  if (l->p) Bump(*l);
}

void LCDSIM_SetLayerValue(int layer, int value) {
  if (layer != 0) return;
  Layer& l = g_layer[0];
  Hdr(l, LCDSIM_HDR_LAYER_VALUE, static_cast<uint32_t>(value));
  if (l.p) Bump(l);
}

void LCDSIM_SetCompositeColor(GUI_COLOR color) {
  g_compositeColor = color;
  Layer& l = g_layer[0];
  Hdr(l, LCDSIM_HDR_COMPOSITE_COLOR, color);
  if (l.p) Bump(l);
}

void LCDSIM_SetCompositeSize(int xSize, int ySize) {
  g_compositeX = xSize;
  g_compositeY = ySize;
  Layer& l = g_layer[0];
  Hdr(l, LCDSIM_HDR_COMPOSITE_SIZE, (static_cast<uint32_t>(xSize) & 0xFFFF) | (static_cast<uint32_t>(ySize) << 16));
  if (l.p) Bump(l);
}

void LCDSIM_CopyBuffer(int layer, int from, int to) {
  Layer* l = Get(layer);
  if (!l || l->bpp == 0) return;
  long bufBytes = static_cast<long>(l->bytesPerLine) * l->ySize;
  int hi = from > to ? from : to;
  if (from < 0 || to < 0 || bufBytes <= 0 || (hi + 1) * bufBytes > static_cast<long>(LCDSIM_FRAME_BYTES)) {
    GUI_ErrorOut("LCDSIM:\nIllegal buffer index in LCDSIM_CopyBuffer().");
    return;
  }
  std::memmove(l->frame + to * bufBytes, l->frame + from * bufBytes, static_cast<size_t>(bufBytes));
  l->curBuffer = to;
  Bump(*l);
}

// --- pointer ------------------------------------------------------------------------------------
void LCDSIM_SetPointerHandler(void (*pf)(int, int, int, int)) { g_pfPointer = pf; }

void LCDSIM_SetPointerState(int x, int y, int pressed, int layer) {
  Layer* l = Get(layer);
  if (!l || !l->p) return;
  Hdr(*l, LCDSIM_HDR_PTR_X, static_cast<uint32_t>(x));
  Hdr(*l, LCDSIM_HDR_PTR_Y, static_cast<uint32_t>(y));
  Hdr(*l, LCDSIM_HDR_PTR_STATE, static_cast<uint32_t>(pressed == 128 ? 1 : pressed));
  LCDSIM_UpdatePointer(layer);
  if (pressed == 128) LCDSIM_UpdatePointer(layer);
}

void LCDSIM_UpdatePointer(int layer) {
  Layer* l = Get(layer);
  if (!l || !l->p) return;
  int x = static_cast<int>(Get32(l->p + LCDSIM_HDR_PTR_X));
  int y = static_cast<int>(Get32(l->p + LCDSIM_HDR_PTR_Y));
  int pressed = static_cast<int>(Get32(l->p + LCDSIM_HDR_PTR_STATE) & 0xFF);
  if (x == l->ptrX && y == l->ptrY && pressed == l->ptrPressed) return;
  l->ptrX = x;
  l->ptrY = y;
  l->ptrPressed = pressed;
  if (g_pfPointer) g_pfPointer(x, y, pressed, layer);
}

uint32_t LCDSIM_GetChangeCount(int layer) {
  Layer* l = Get(layer);
  return (l && l->p) ? Get32(l->p + LCDSIM_HDR_CHANGECNT) : 0;
}

void LCDSIM_Touch(int layer) {
  Layer* l = Get(layer);
  if (l && l->p) Bump(*l);
}

int LCDSIM_GetView(int layer, LCDSIM_VIEW* v) {
  Layer* l = Get(layer);
  if (!l || l->bpp == 0 || !v) return 1;
  v->pBits = l->frame + static_cast<long>(l->orgY) * l->bytesPerLine + static_cast<long>(l->orgX) * PixelBytes(*l);
  v->bytesPerLine = l->bytesPerLine;
  v->xSize = l->xSize;
  v->ySize = l->ySize;
  v->bitsPerPixel = l->bpp;
  return 0;
}

int LCDSIM_IsInColorRange(GUI_COLOR color, int) {
  for (int i = 0; i < 3; ++i) {
    uint32_t c = (color >> (8 * i)) & 0xFF;
    if (c < ((g_rangeMin >> (8 * i)) & 0xFF) || c > ((g_rangeMax >> (8 * i)) & 0xFF)) return 0;
  }
  return 1;
}

// The composite of the layers from topLayer down: a point outside a visible layer or on a
// transparent pixel shows the layer below, else the pixel blended with the layer below.
GUI_COLOR LCDSIM_ComposePixel(int x, int y, int topLayer) {
  if (!ValidLayer(topLayer)) return g_compositeColor;
  for (int layer = topLayer; layer >= 0; --layer) {
    Layer& l = g_layer[layer];
    if (l.bpp == 0 || (layer > 0 && l.vram == 0)) continue;
    int lx = x - l.posX + l.orgX, ly = y - l.posY + l.orgY;
    if (x < l.posX || y < l.posY || x >= l.posX + l.xSize || y >= l.posY + l.ySize) continue;
    GUI_COLOR own = LCDSIM_GetPixelColor(lx, ly, layer);
    if (l.transMode == 1 && LCDSIM_IsInColorRange(own, layer)) continue;
    if (l.transMode == 2 && LCDSIM_GetPixelIndex(lx, ly, layer) == 0) continue;
    uint32_t a = l.bpp == 32 ? (own >> 24) : 0;
    uint32_t alpha = l.bpp < 32 ? static_cast<uint32_t>(g_alpha) : 0;
    uint32_t m = a + (255 - a) * alpha / 255;
    if (m == 0 || layer == 0) return own & 0x00FFFFFFu;
    GUI_COLOR below = LCDSIM_ComposePixel(x, y, layer - 1);
    GUI_COLOR out = 0;
    for (int i = 0; i < 24; i += 8) {
      uint32_t b = (below >> i) & 0xFF, o = (own >> i) & 0xFF;
      out |= ((b * m + o * (256 - m)) / 256) << i;
    }
    return out;
  }
  return g_compositeColor;
}
