// Sprites: devices of class 3 that keep the pixels under their opaque pixels in a save-under
// buffer, and the pointer cursor built on them.
#include "gui/sprite/GUI_Sprite.h"

#include "gui/memdev/GUI_Memdev.h"

#include <algorithm>
#include <cstring>

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }

struct Sprite {
  GUI_DEVICE* pDevice;
  int16_t x0, y0, x1, y1;
  GUI_HMEM hColors;
  uint16_t Flags;                  // bit 1: visible
  const GUI_BITMAP* pBitmap;
  GUI_SPRITE_CALLBACK* pfCallback;
  void* pUserData;
  GUI_HMEM hAnim;                  // animation record, 0 = none
  // followed by XSize x YSize saved indices
};
constexpr uint16_t kVisible = 2;
constexpr int kHeader = static_cast<int>((sizeof(Sprite) + 7) & ~size_t{7});

Sprite* S(GUI_HSPRITE h) { return h ? static_cast<Sprite*>(GUI_ALLOC_h2p(h)) : nullptr; }
uint32_t* Saved(Sprite* s) { return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(s) + kHeader); }
Sprite* OfDevice(GUI_DEVICE* d) { return S(static_cast<GUI_HSPRITE>(reinterpret_cast<intptr_t>(d->pContext))); }

bool Usable(const GUI_BITMAP* b) {
  if (!b || !b->XSize || !b->YSize || !b->pData) return false;
  if (b->BitsPerPixel == 32 && !b->pPal) return true;
  return b->pPal && b->pPal->pPalEntries && b->pPal->NumEntries > 0 &&
         (b->BitsPerPixel == 1 || b->BitsPerPixel == 2 || b->BitsPerPixel == 4 || b->BitsPerPixel == 8);
}

// The raw value of bitmap pixel (i, j): a palette index or a 32-bit colour.
uint32_t BitmapValue(const GUI_BITMAP* b, int i, int j) {
  const uint8_t* line = b->pData + static_cast<ptrdiff_t>(j) * b->BytesPerLine;
  switch (b->BitsPerPixel) {
    case 32: {
      uint32_t v;
      std::memcpy(&v, line + 4 * i, 4);
      return v;
    }
    case 8: return line[i];
    default: {
      int bpp = b->BitsPerPixel, perByte = 8 / bpp;
      return (line[i / perByte] >> (8 - bpp * (i % perByte + 1))) & ((1u << bpp) - 1);
    }
  }
}
bool Opaque(const GUI_BITMAP* b, uint32_t v) { return b->BitsPerPixel == 32 ? (v >> 24) != 0xFF : v != 0; }

// Whether the sprite has an opaque pixel at screen position x, y.
bool Covers(Sprite* s, int x, int y) {
  if (!(s->Flags & kVisible) || x < s->x0 || x > s->x1 || y < s->y0 || y > s->y1) return false;
  return Opaque(s->pBitmap, BitmapValue(s->pBitmap, x - s->x0, y - s->y0));
}
uint32_t& SaveAt(Sprite* s, int x, int y) { return Saved(s)[(y - s->y0) * s->pBitmap->XSize + (x - s->x0)]; }

// The device that holds the pixels below the sprites of a chain.
GUI_DEVICE* Storage(GUI_DEVICE* d) {
  while (d && d->pDeviceAPI->DeviceClassIndex == DEVICE_CLASS_SPRITE) d = d->pNext;
  return d;
}

// --- operations of drawing that arrives from above ------------------------------------------------
GUI_DEVICE* Next(GUI_DEVICE* d) { return d->pNext; }

// Sprites are stacked in the chain, the last linked on top. What a sprite covers is kept in
// its save-under buffer; where a translucent pixel covers it, the screen shows the blend.

// The sprite pixel's layer index over the background index bg.
uint32_t Compose(Sprite* s, int x, int y, uint32_t bg, const GUICC* pCC) {
  const GUI_BITMAP* b = s->pBitmap;
  uint32_t v = BitmapValue(b, x - s->x0, y - s->y0);
  if (b->BitsPerPixel == 32) return pCC->pfColor2Index(GUI__AlphaBlend(v, pCC->pfIndex2Color(bg)) & 0x00FFFFFFu);
  const uint32_t* colors = s->hColors ? static_cast<const uint32_t*>(GUI_ALLOC_h2p(s->hColors)) : nullptr;
  return colors && static_cast<int>(v) < b->pPal->NumEntries ? colors[v] : 0;
}
bool Translucent(Sprite* s, int x, int y) {
  if (s->pBitmap->BitsPerPixel != 32) return false;
  const uint32_t a = BitmapValue(s->pBitmap, x - s->x0, y - s->y0) >> 24;
  return a != 0 && a != 0xFF;
}

// The lowest visible sprite above device d (towards the top of the chain) with an opaque or
// translucent pixel at x, y; null when nothing above covers it.
Sprite* CoverAbove(GUI_DEVICE* d, int x, int y) {
  for (GUI_DEVICE* u = d->pPrev; u && u->pDeviceAPI->DeviceClassIndex == DEVICE_CLASS_SPRITE; u = u->pPrev) {
    Sprite* s = OfDevice(u);
    if (s && Covers(s, x, y)) return s;
  }
  return nullptr;
}

// What is seen at x, y of everything from device d down (the sprites above d left out).
uint32_t ReadAbove(GUI_DEVICE* d, GUI_DEVICE* storage, int x, int y) {
  if (Sprite* u = CoverAbove(d, x, y)) return SaveAt(u, x, y);
  return storage->pDeviceAPI->pfGetPixelIndex(storage, x, y);
}

// The picture seen at x, y of everything from device d down becomes v: it goes into the
// save-under buffer of the sprite above that covers the pixel, else onto the screen; a
// translucent pixel above shows the new blend.
void WriteAbove(GUI_DEVICE* d, GUI_DEVICE* storage, int x, int y, uint32_t v) {
  while (Sprite* u = CoverAbove(d, x, y)) {
    SaveAt(u, x, y) = v;
    if (!Translucent(u, x, y)) return;
    v = Compose(u, x, y, v, storage->pColorConvAPI);
    d = u->pDevice;
  }
  storage->pDeviceAPI->pfSetPixelIndex(storage, x, y, v);
}

// Whether a visible sprite linked below device d covers x, y.
bool CoveredBelow(GUI_DEVICE* d, int x, int y) {
  for (; d && d->pDeviceAPI->DeviceClassIndex == DEVICE_CLASS_SPRITE; d = d->pNext) {
    Sprite* s = OfDevice(d);
    if (s && Covers(s, x, y)) return true;
  }
  return false;
}

// One pixel written from above lies beneath every sprite: into the save-under buffer of the
// lowest sprite that covers it (a translucent pixel shows the new blend), else below.
void PutPixel(GUI_DEVICE* d, Sprite* s, int x, int y, uint32_t index, bool xorMode) {
  GUI_DEVICE* n = Next(d);
  if (Covers(s, x, y) && !CoveredBelow(n, x, y)) {
    uint32_t& v = SaveAt(s, x, y);
    v = xorMode ? v ^ (n ? n->pColorConvAPI->pfGetIndexMask() : 0xFFFF) : index;
    if (Translucent(s, x, y)) {
      if (GUI_DEVICE* storage = Storage(n)) WriteAbove(d, storage, x, y, Compose(s, x, y, v, storage->pColorConvAPI));
    }
    return;
  }
  if (!n) return;
  if (xorMode)
    n->pDeviceAPI->pfXorPixel(n, x, y);
  else
    n->pDeviceAPI->pfSetPixelIndex(n, x, y, index);
}

void SpFillRect(GUI_DEVICE* d, int x0, int y0, int x1, int y1) {
  Sprite* s = OfDevice(d);
  GUI_DEVICE* n = Next(d);
  if (!s || !n) return;
  int ox0 = std::max<int>(x0, s->x0), ox1 = std::min<int>(x1, s->x1);
  int oy0 = std::max<int>(y0, s->y0), oy1 = std::min<int>(y1, s->y1);
  if (ox0 > ox1 || oy0 > oy1) {
    n->pDeviceAPI->pfFillRect(n, x0, y0, x1, y1);
    return;
  }
  if (y0 < oy0) n->pDeviceAPI->pfFillRect(n, x0, y0, x1, oy0 - 1);
  if (y1 > oy1) n->pDeviceAPI->pfFillRect(n, x0, oy1 + 1, x1, y1);
  if (x0 < ox0) n->pDeviceAPI->pfFillRect(n, x0, oy0, ox0 - 1, oy1);
  if (x1 > ox1) n->pDeviceAPI->pfFillRect(n, ox1 + 1, oy0, x1, oy1);
  bool xorMode = Ctx().DrawMode & GUI_DRAWMODE_XOR;
  uint32_t index = *Ctx().LCD_pColorIndex;
  for (int y = oy0; y <= oy1; ++y)
    for (int x = ox0; x <= ox1; ++x) PutPixel(d, s, x, y, index, xorMode);
}
void SpDrawHLine(GUI_DEVICE* d, int x0, int y, int x1) { SpFillRect(d, x0, y, x1, y); }
void SpDrawVLine(GUI_DEVICE* d, int x, int y0, int y1) { SpFillRect(d, x, y0, x, y1); }

uint32_t SpGetPixelIndex(GUI_DEVICE* d, int x, int y) {
  Sprite* s = OfDevice(d);
  GUI_DEVICE* n = Next(d);
  // What lies beneath every sprite: the save-under buffer of the lowest one covering it.
  if (s && Covers(s, x, y) && !CoveredBelow(n, x, y)) return SaveAt(s, x, y);
  return n ? n->pDeviceAPI->pfGetPixelIndex(n, x, y) : 0;
}
void SpSetPixelIndex(GUI_DEVICE* d, int x, int y, uint32_t index) {
  if (Sprite* s = OfDevice(d)) PutPixel(d, s, x, y, index, false);
}
void SpXorPixel(GUI_DEVICE* d, int x, int y) {
  if (Sprite* s = OfDevice(d)) PutPixel(d, s, x, y, 0, true);
}

// A bitmap from above: the rows and columns beside the sprite go below unchanged, the part
// over the sprite pixel by pixel.
void SpDrawBitmap(GUI_DEVICE* d, int x0, int y0, int xSize, int ySize, int bpp, int bytesPerLine,
                  const uint8_t* pData, int diff, const uint32_t* pTrans) {
  Sprite* s = OfDevice(d);
  GUI_DEVICE* n = Next(d);
  if (!s || !n || !pData) return;
  int x = x0 + diff;                // screen x of the first pixel
  int ox0 = std::max<int>(x, s->x0), ox1 = std::min<int>(x + xSize - 1, s->x1);
  int oy0 = std::max<int>(y0, s->y0), oy1 = std::min<int>(y0 + ySize - 1, s->y1);
  if (ox0 > ox1 || oy0 > oy1) {
    n->pDeviceAPI->pfDrawBitmap(n, x0, y0, xSize, ySize, bpp, bytesPerLine, pData, diff, pTrans);
    return;
  }
  // Part of the bitmap: columns k0..k1-1 of rows r0..r1-1.
  auto forward = [&](int k0, int k1, int r0, int r1) {
    if (k0 >= k1 || r0 >= r1) return;
    const uint8_t* p = pData + static_cast<ptrdiff_t>(r0) * bytesPerLine;
    int nd = 0;
    switch (bpp) {
      case 1:
      case 2:
      case 4: {
        int perByte = 8 / bpp, pos = diff + k0;
        p += pos / perByte;
        nd = pos % perByte;
        break;
      }
      case 8: p += k0; break;
      case 16: p += 2 * k0; break;
      default: p += 4 * k0; break;
    }
    n->pDeviceAPI->pfDrawBitmap(n, x + k0 - nd, y0 + r0, k1 - k0, r1 - r0, bpp, bytesPerLine, p, nd, pTrans);
  };
  int kIn0 = ox0 - x, kIn1 = ox1 - x + 1, rIn0 = oy0 - y0, rIn1 = oy1 - y0 + 1;
  forward(0, xSize, 0, rIn0);
  forward(0, xSize, rIn1, ySize);
  forward(0, kIn0, rIn0, rIn1);
  forward(kIn1, xSize, rIn0, rIn1);
  int mode = Ctx().DrawMode & (GUI_DRAWMODE_XOR | GUI_DRAWMODE_TRANS);
  for (int r = rIn0; r < rIn1; ++r) {
    const uint8_t* line = pData + static_cast<ptrdiff_t>(r) * bytesPerLine;
    for (int k = kIn0; k < kIn1; ++k) {
      uint32_t v;
      bool indexed = bpp <= 8;
      if (bpp == 8) {
        v = line[k];
      } else if (bpp < 8) {
        int pos = diff + k, perByte = 8 / bpp;
        v = (line[pos / perByte] >> (8 - bpp * (pos % perByte + 1))) & ((1u << bpp) - 1);
      } else if (bpp == 16) {
        uint16_t w;
        std::memcpy(&w, line + 2 * k, 2);
        v = w;
      } else {
        std::memcpy(&v, line + 4 * k, 4);
        v = n->pColorConvAPI->pfColor2Index(v);
      }
      if (indexed && v == 0 && (mode & GUI_DRAWMODE_TRANS)) continue;
      if (indexed && (mode & GUI_DRAWMODE_XOR)) {
        if (v) PutPixel(d, s, x + k, y0 + r, 0, true);
        continue;
      }
      PutPixel(d, s, x + k, y0 + r, indexed && pTrans ? pTrans[v] : v, false);
    }
  }
}

const GUI_DEVICE_API kSpriteAPI = {
    DEVICE_CLASS_SPRITE, SpDrawBitmap, SpDrawHLine,  SpDrawVLine,  SpFillRect,   SpGetPixelIndex, SpSetPixelIndex,
    SpXorPixel,          GUI_DEVICE__PassSetOrg,     GUI_DEVICE__PassGetDevFunc, GUI_DEVICE__PassGetDevProp,
    GUI_DEVICE__PassGetDevData, GUI_DEVICE__PassGetRect,
};

// --- showing and hiding ----------------------------------------------------------------------------
// The area of the layer the sprite may cover.
GUI_RECT LayerArea(int layer) {
  GUI_DEVICE* drv = GUI_DEVICE_GetDriver(layer);
  GUI_RECT r{0, 0, -1, -1};
  if (drv) drv->pDeviceAPI->pfGetRect(drv, &r);
  return r;
}

// Saves what lies under the opaque pixels and draws them, beneath the sprites linked above.
void Draw(GUI_HSPRITE h, bool notify = true) {
  Sprite* s = S(h);
  GUI_DEVICE* below = Storage(s->pDevice->pNext);
  if (!below) return;
  const GUI_BITMAP* b = s->pBitmap;
  GUI_RECT a = LayerArea(s->pDevice->LayerIndex);
  const GUICC* pCC = below->pColorConvAPI;
  for (int y = std::max<int>(s->y0, a.y0); y <= std::min<int>(s->y1, a.y1); ++y)
    for (int x = std::max<int>(s->x0, a.x0); x <= std::min<int>(s->x1, a.x1); ++x) {
      if (!Opaque(b, BitmapValue(b, x - s->x0, y - s->y0))) continue;
      const uint32_t bg = ReadAbove(s->pDevice, below, x, y);
      SaveAt(s, x, y) = bg;
      WriteAbove(s->pDevice, below, x, y, Compose(s, x, y, bg, pCC));
    }
  if (notify && s->pfCallback) s->pfCallback(s->pUserData, 0);
}

// Puts the saved pixels back, beneath the sprites linked above.
void Restore(GUI_HSPRITE h, bool notify = true) {
  Sprite* s = S(h);
  GUI_DEVICE* below = Storage(s->pDevice->pNext);
  if (!below) return;
  GUI_RECT a = LayerArea(s->pDevice->LayerIndex);
  for (int y = std::max<int>(s->y0, a.y0); y <= std::min<int>(s->y1, a.y1); ++y)
    for (int x = std::max<int>(s->x0, a.x0); x <= std::min<int>(s->x1, a.x1); ++x)
      if (Opaque(s->pBitmap, BitmapValue(s->pBitmap, x - s->x0, y - s->y0)))
        WriteAbove(s->pDevice, below, x, y, SaveAt(s, x, y));
  s = S(h);
  if (notify && s->pfCallback) s->pfCallback(s->pUserData, 1);
}

GUI_HMEM MakeColors(const GUI_BITMAP* b, int layer) {
  if (b->BitsPerPixel == 32) return 0;
  int n = std::min(b->pPal->NumEntries, 256);
  GUI_HMEM h = GUI_ALLOC_AllocNoInit(4 * n);
  if (!h) return 0;
  auto* p = static_cast<uint32_t*>(GUI_ALLOC_h2p(h));
  GUI_DEVICE* drv = GUI_DEVICE_GetDriver(layer);
  const GUICC* pCC = drv ? drv->pColorConvAPI : &GUICC_565R;
  for (int i = 0; i < n; ++i) p[i] = pCC->pfColor2Index(b->pPal->pPalEntries[i]);
  return h;
}

GUI_HSPRITE Create(const GUI_BITMAP* b, int x, int y, int layer, bool show) {
  if (!Usable(b) || layer < 0 || layer >= GUI_NUM_LAYERS || !GUI_DEVICE_GetDriver(layer)) return 0;
  GUI_LockGuard lock;
  GUI_HMEM hColors = 0;
  if (b->BitsPerPixel != 32 && !(hColors = MakeColors(b, layer))) return 0;
  int64_t size = kHeader + 4ll * b->XSize * b->YSize;
  GUI_HSPRITE h = GUI_ALLOC_AllocZero(static_cast<int32_t>(size));
  GUI_DEVICE* pDevice = h ? GUI_DEVICE_Create(&kSpriteAPI, nullptr, 0, layer) : nullptr;
  if (!pDevice) {
    if (h) GUI_ALLOC_Free(h);
    if (hColors) GUI_ALLOC_Free(hColors);
    return 0;
  }
  pDevice->pContext = reinterpret_cast<void*>(static_cast<intptr_t>(h));
  Sprite* s = S(h);
  s->pDevice = pDevice;
  s->x0 = static_cast<int16_t>(x);
  s->y0 = static_cast<int16_t>(y);
  s->x1 = static_cast<int16_t>(x + b->XSize - 1);
  s->y1 = static_cast<int16_t>(y + b->YSize - 1);
  s->hColors = hColors;
  s->Flags = 1;
  s->pBitmap = b;
  if (show) GUI_SPRITE_Show(h);
  return h;
}

}  // namespace

GUI_HSPRITE GUI_SPRITE_CreateEx(const GUI_BITMAP* b, int x, int y, int layer) { return Create(b, x, y, layer, true); }
GUI_HSPRITE GUI_SPRITE_Create(const GUI_BITMAP* b, int x, int y) { return Create(b, x, y, Ctx().SelLayer, true); }
GUI_HSPRITE GUI_SPRITE_CreateHiddenEx(const GUI_BITMAP* b, int x, int y, int layer) {
  return Create(b, x, y, layer, false);
}
GUI_HSPRITE GUI_SPRITE_CreateHidden(const GUI_BITMAP* b, int x, int y) {
  return Create(b, x, y, Ctx().SelLayer, false);
}

void (*GUI_SPRITE__pfAnimHook)(GUI_HSPRITE hSprite, GUI_HMEM hAnim, int event);

void GUI_SPRITE__SetAnim(GUI_HSPRITE h, GUI_HMEM hAnim) {
  if (Sprite* s = S(h)) s->hAnim = hAnim;
}

namespace {
void AnimEvent(GUI_HSPRITE h, int event) {
  Sprite* s = S(h);
  if (s && s->hAnim && GUI_SPRITE__pfAnimHook) GUI_SPRITE__pfAnimHook(h, s->hAnim, event);
}
}  // namespace

void GUI_SPRITE_Show(GUI_HSPRITE h) {
  GUI_LockGuard lock;
  Sprite* s = S(h);
  if (!s || (s->Flags & kVisible)) return;
  if (GUI_DEVICE_Link(s->pDevice) != 0) return;
  s->Flags |= kVisible;
  Draw(h);
  AnimEvent(h, GUI_SPRITE_ANIM_SHOWN);
}

void GUI_SPRITE_Hide(GUI_HSPRITE h) {
  GUI_LockGuard lock;
  Sprite* s = S(h);
  if (!s || !(s->Flags & kVisible)) return;
  Restore(h);
  s = S(h);
  s->Flags &= static_cast<uint16_t>(~kVisible);
  GUI_DEVICE_Unlink(s->pDevice);
  AnimEvent(h, GUI_SPRITE_ANIM_HIDDEN);
}

int GUI_SPRITE_IsVisible(GUI_HSPRITE h) {
  GUI_LockGuard lock;
  Sprite* s = S(h);
  return s && (s->Flags & kVisible) ? 1 : 0;
}

void GUI_SPRITE_Delete(GUI_HSPRITE h) {
  GUI_LockGuard lock;
  Sprite* s = S(h);
  if (!s) return;
  GUI_SPRITE_Hide(h);
  AnimEvent(h, GUI_SPRITE_ANIM_DELETED);
  s = S(h);
  GUI_DEVICE_Unlink(s->pDevice);
  GUI_DEVICE_Delete(s->pDevice);
  if (s->hColors) GUI_ALLOC_Free(s->hColors);
  GUI_ALLOC_Free(h);
}

// Moving restores the old place and draws at the new one; drawing that arrived meanwhile is
// in the save-under buffer and comes back with it.
void GUI_SPRITE_SetPosition(GUI_HSPRITE h, int x, int y) {
  GUI_LockGuard lock;
  Sprite* s = S(h);
  if (!s || (s->x0 == x && s->y0 == y)) return;
  bool visible = s->Flags & kVisible;
  if (visible) Restore(h, false);
  s = S(h);
  int w = s->x1 - s->x0, hgt = s->y1 - s->y0;
  s->x0 = static_cast<int16_t>(x);
  s->y0 = static_cast<int16_t>(y);
  s->x1 = static_cast<int16_t>(x + w);
  s->y1 = static_cast<int16_t>(y + hgt);
  if (visible) Draw(h, false);
}

int GUI_SPRITE_SetBitmap(GUI_HSPRITE h, const GUI_BITMAP* b) {
  GUI_LockGuard lock;
  Sprite* s = S(h);
  if (!s || !Usable(b) || b->XSize != s->pBitmap->XSize || b->YSize != s->pBitmap->YSize) return 1;
  GUI_HMEM hColors = 0;
  if (b->BitsPerPixel != 32 && !(hColors = MakeColors(b, S(h)->pDevice->LayerIndex))) return 1;
  s = S(h);
  bool visible = s->Flags & kVisible;
  if (visible) Restore(h, false);
  s = S(h);
  if (s->hColors) GUI_ALLOC_Free(s->hColors);
  s = S(h);
  s->hColors = hColors;
  s->pBitmap = b;
  if (visible) Draw(h, false);
  return 0;
}

void GUI_SPRITE_SetCallback(GUI_HSPRITE h, void* pUserData, GUI_SPRITE_CALLBACK* pf) {
  GUI_LockGuard lock;
  if (Sprite* s = S(h)) {
    s->pUserData = pUserData;
    s->pfCallback = pf;
  }
}

int GUI_SPRITE_HitTest(GUI_HSPRITE h, int x, int y) {
  GUI_LockGuard lock;
  Sprite* s = S(h);
  return s && (s->Flags & kVisible) && x >= s->x0 && x <= s->x1 && y >= s->y0 && y <= s->y1 ? 1 : 0;
}

// --- cursor ----------------------------------------------------------------------------------------------
namespace {

const GUI_COLOR kArrowColors[3] = {0x000000, 0x000000, 0xFFFFFF};
const GUI_LOGPALETTE kArrowPal = {3, 1, kArrowColors};
// 12 x 20 pixels at 2 bits: 1 black, 2 white, 0 transparent.
constexpr uint8_t Row(const char (&s)[13], int byte) {
  uint8_t v = 0;
  for (int k = 0; k < 4; ++k) v = static_cast<uint8_t>(v | ((s[byte * 4 + k] - '0') << (6 - 2 * k)));
  return v;
}
#define ARROW_ROW(s) Row(s, 0), Row(s, 1), Row(s, 2)
const uint8_t kArrowData[60] = {
    ARROW_ROW("100000000000"), ARROW_ROW("110000000000"), ARROW_ROW("121000000000"), ARROW_ROW("122100000000"),
    ARROW_ROW("122210000000"), ARROW_ROW("122221000000"), ARROW_ROW("122222100000"), ARROW_ROW("122222210000"),
    ARROW_ROW("122222221000"), ARROW_ROW("122222222100"), ARROW_ROW("122222222210"), ARROW_ROW("122222211111"),
    ARROW_ROW("122122210000"), ARROW_ROW("121012221000"), ARROW_ROW("110012221000"), ARROW_ROW("100001222100"),
    ARROW_ROW("000001222100"), ARROW_ROW("000000122210"), ARROW_ROW("000000122210"), ARROW_ROW("000000011100"),
};
#undef ARROW_ROW
const GUI_BITMAP kArrowBitmap = {12, 20, 3, 2, kArrowData, &kArrowPal, nullptr};

struct CursorState {
  const GUI_CURSOR* pCursor;       // the selected cursor (null: none or an animated one)
  bool selected;
  bool visible;
  int x, y;
  int xHot, yHot;
  GUI_HSPRITE hSprite;
};
CursorState g_cursor[GUI_NUM_LAYERS];

void ExitCursor();
GUI_REGISTER_EXIT g_exitCursor = {nullptr, ExitCursor};
void ExitCursor() {
  for (CursorState& c : g_cursor) c = CursorState{};
}

CursorState* Cursor(int layer) {
  if (layer < 0 || layer >= GUI_NUM_LAYERS) return nullptr;
  GUI__AddExitHook(&g_exitCursor);
  return &g_cursor[layer];
}

}  // namespace

GUI_HSPRITE GUI_CURSOR__ReplaceSprite(int layer, GUI_HSPRITE hNew, int xHot, int yHot) {
  CursorState* c = Cursor(layer);
  if (!c) return 0;
  GUI_SPRITE_Delete(c->hSprite);
  c->hSprite = hNew;
  c->xHot = xHot;
  c->yHot = yHot;
  c->selected = hNew != 0;
  GUI_SPRITE_SetPosition(hNew, c->x - xHot, c->y - yHot);
  if (c->visible) GUI_SPRITE_Show(hNew);
  return hNew;
}

const GUI_CURSOR GUI_CursorArrow = {&kArrowBitmap, 0, 0};

const GUI_CURSOR* GUI_CURSOR_SelectEx(const GUI_CURSOR* pCursor, int layer) {
  GUI_LockGuard lock;
  CursorState* c = Cursor(layer);
  if (!c) return nullptr;
  const GUI_CURSOR* old = c->pCursor;
  if (!pCursor || !pCursor->pBitmap) return old;
  GUI_HSPRITE h = GUI_SPRITE_CreateHiddenEx(pCursor->pBitmap, c->x - pCursor->xHot, c->y - pCursor->yHot, layer);
  GUI_CURSOR__ReplaceSprite(layer, h, pCursor->xHot, pCursor->yHot);
  c->pCursor = pCursor;
  return old;
}
const GUI_CURSOR* GUI_CURSOR_Select(const GUI_CURSOR* p) { return GUI_CURSOR_SelectEx(p, Ctx().SelLayer); }

void GUI_CURSOR_ShowEx(int layer) {
  GUI_LockGuard lock;
  CursorState* c = Cursor(layer);
  if (!c) return;
  c->visible = true;
  if (c->selected)
    GUI_SPRITE_Show(c->hSprite);
  else
    GUI_CURSOR_SelectEx(&GUI_CursorArrow, layer);
}
void GUI_CURSOR_Show() { GUI_CURSOR_ShowEx(Ctx().SelLayer); }

void GUI_CURSOR_HideEx(int layer) {
  GUI_LockGuard lock;
  CursorState* c = Cursor(layer);
  if (!c) return;
  c->visible = false;
  if (c->selected) {
    GUI_SPRITE_SetPosition(c->hSprite, c->x - c->xHot, c->y - c->yHot);
    GUI_SPRITE_Hide(c->hSprite);
  }
}
void GUI_CURSOR_Hide() { GUI_CURSOR_HideEx(Ctx().SelLayer); }

int GUI_CURSOR_GetStateEx(int layer) {
  CursorState* c = Cursor(layer);
  return c && c->visible ? 1 : 0;
}
int GUI_CURSOR_GetState() { return GUI_CURSOR_GetStateEx(Ctx().SelLayer); }

void GUI_CURSOR_SetPositionEx(int x, int y, int layer) {
  GUI_LockGuard lock;
  CursorState* c = Cursor(layer);
  if (!c || (c->x == x && c->y == y)) return;
  c->x = x;
  c->y = y;
  if (c->selected) GUI_SPRITE_SetPosition(c->hSprite, x - c->xHot, y - c->yHot);
}
void GUI_CURSOR_SetPosition(int x, int y) { GUI_CURSOR_SetPositionEx(x, y, Ctx().SelLayer); }

void GUI_CURSOR_SetBitmapEx(const GUI_BITMAP* pBitmap, int layer) {
  GUI_LockGuard lock;
  CursorState* c = Cursor(layer);
  if (c && c->hSprite) GUI_SPRITE_SetBitmap(c->hSprite, pBitmap);
}
void GUI_CURSOR_SetBitmap(const GUI_BITMAP* pBitmap) { GUI_CURSOR_SetBitmapEx(pBitmap, Ctx().SelLayer); }
