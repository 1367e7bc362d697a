// Static memory devices of windows: a window's content painted once into a 32-bit device
// (every untouched pixel fully transparent), written to the current target from there, and
// the merge of a window tree's devices into one.
#include <algorithm>
#include <cstring>

#include "gui/memdev/GUI_Memdev.h"
#include "gui/wm/WM_Intern.h"

namespace {

// Byte every new static device is filled with; 0xFF makes each pixel 0xFFFFFFFF, which
// is fully transparent.
uint8_t g_staticFill = 0xFF;

constexpr int kCreateTries = 5;

void DeleteDevice(GUI_MEMDEV_Handle hMem) { GUI_MEMDEV_Delete(hMem); }

// The window's outline; for a desktop it is limited to the display, and the desktop takes
// that size.
bool DeviceRect(WM_HWIN hWin, GUI_RECT* pRect) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || WM__IsEmpty(p->Rect)) return false;
  GUI_RECT r = p->Rect;
  const int layer = WM__GetLayer(hWin);
  if (layer >= 0 && WM__G.ahDesktop[layer] == hWin) {
    const GUI_RECT screen{0, 0, static_cast<int16_t>(LCD_GetXSizeEx(layer) - 1),
                          static_cast<int16_t>(LCD_GetYSizeEx(layer) - 1)};
    if (!WM__Intersect(&r, r, screen)) return false;
    p->Rect = r;
  }
  *pRect = r;
  return true;
}

// Paints the whole window, whatever part of it is invalid.
void PaintWhole(WM_HWIN hWin) {
  WM_Obj* p = WM_H2P(hWin);
  const GUI_RECT inv = p->InvalidRect;
  p->InvalidRect = p->Rect;
  WM__PaintWindow(hWin);
  if ((p = WM_H2P(hWin))) p->InvalidRect = inv;
}

// Paints the whole window into its freshly made device.
void PaintInto(WM_HWIN hWin, GUI_MEMDEV_Handle hMem) {
  GUI_MEMDEV* pDev = GUI_MEMDEV__h2p(hMem);
  std::memset(GUI_MEMDEV__Pixels(pDev), g_staticFill, static_cast<size_t>(pDev->BytesPerLine) * pDev->YSize);
  GUI_CONTEXT saved = *GUI_pContext;
  const GUI_MEMDEV_Handle hPrev = GUI_MEMDEV_Select(hMem);
  WM__SelectWindowRaw(hWin);
  const WM_HWIN hFillingBefore = WM__hFillingStatic;
  WM__hFillingStatic = hWin;
  PaintWhole(hWin);
  WM__hFillingStatic = hFillingBefore;
  GUI_MEMDEV_Select(hPrev);
  // The selection and the drawing attributes of the caller come back unchanged.
  saved.hDevData = GUI_pContext->hDevData;
  *GUI_pContext = saved;
}

// Draws a 32-bit device over another where they overlap: transparent source pixels (top
// byte 0xFF) are skipped, opaque ones copied, the others blended; a fully transparent
// destination pixel takes the source pixel as it is. The destination keeps its top bytes
// except where it was fully transparent.
void Compose(GUI_MEMDEV_Handle hDst, GUI_MEMDEV_Handle hSrc) {
  GUI_MEMDEV* d = GUI_MEMDEV__h2p(hDst);
  GUI_MEMDEV* s = GUI_MEMDEV__h2p(hSrc);
  if (!d || !s || d->BitsPerPixel != 32 || s->BitsPerPixel != 32) return;
  const int x0 = std::max(d->x0, s->x0), y0 = std::max(d->y0, s->y0);
  const int x1 = std::min(d->x0 + d->XSize, s->x0 + s->XSize), y1 = std::min(d->y0 + d->YSize, s->y0 + s->YSize);
  for (int y = y0; y < y1; ++y) {
    const uint8_t* src = GUI_MEMDEV__Pixels(s) + static_cast<ptrdiff_t>(y - s->y0) * s->BytesPerLine + 4 * (x0 - s->x0);
    uint8_t* dst = GUI_MEMDEV__Pixels(d) + static_cast<ptrdiff_t>(y - d->y0) * d->BytesPerLine + 4 * (x0 - d->x0);
    for (int x = x0; x < x1; ++x, src += 4, dst += 4) {
      uint32_t sv, dv;
      std::memcpy(&sv, src, 4);
      const uint32_t a = sv >> 24;
      if (a == 0xFF) continue;
      std::memcpy(&dv, dst, 4);
      uint32_t out;
      if (a == 0 || (dv >> 24) == 0xFF) out = sv;
      else out = (GUI__MixColors(sv & 0xFFFFFF, dv & 0xFFFFFF, static_cast<uint8_t>(a ^ 0xFF)) & 0xFFFFFF) | (dv & 0xFF000000u);
      std::memcpy(dst, &out, 4);
    }
  }
}

// Whether the window takes part in the walks: visible, with a procedure, and something of
// it left inside its ancestors.
bool TakesPart(WM_HWIN hWin) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !(p->Status & WM_STATUS_VISIBLE) || !p->cb) return false;
  GUI_RECT r = p->Rect;
  return WM__ClipByAncestors(hWin, &r) != 0;
}

GUI_MEMDEV_Handle CreateStaticDevice(WM_HWIN hWin);

void CreateTree(WM_HWIN hWin) {
  if (!TakesPart(hWin)) return;
  LCD_SetClipRectMax();
  WM__SelectWindowRaw(hWin);
  GUI_GotoXY(0, 0);
  CreateStaticDevice(hWin);
  for (WM_HWIN h = WM__FirstChildOf(hWin); h; h = WM__NextOf(h)) CreateTree(h);
}

void MergeTree(WM_HWIN hWin, GUI_MEMDEV_Handle* phMerge) {
  if (!TakesPart(hWin)) return;
  WM_Obj* p = WM_H2P(hWin);
  const GUI_MEMDEV_Handle hMem = p->hMem;
  if (hMem) {
    p->hMem = 0;
    if (!*phMerge) {
      *phMerge = hMem;  // the first device becomes the merge device
    } else {
      Compose(*phMerge, hMem);
      GUI_MEMDEV_Delete(hMem);
    }
  }
  for (WM_HWIN h = WM__FirstChildOf(hWin); h; h = WM__NextOf(h)) MergeTree(h, phMerge);
}

// The window's static device, made and painted when it has none (lock held). 0 when it
// could not be made; the window is then painted directly.
GUI_MEMDEV_Handle CreateStaticDevice(WM_HWIN hWin) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return 0;
  if (p->hMem) {
    GUI_MEMDEV* pDev = GUI_MEMDEV__h2p(p->hMem);
    if (pDev && (pDev->x0 != p->Rect.x0 || pDev->y0 != p->Rect.y0)) GUI_MEMDEV_SetOrg(p->hMem, p->Rect.x0, p->Rect.y0);
    return WM_H2P(hWin)->hMem;
  }
  GUI_RECT r;
  if (!DeviceRect(hWin, &r)) return 0;
  const GUI_MEMDEV_Handle hMem = GUI_MEMDEV__CreateFixed(r.x0, r.y0, r.x1 - r.x0 + 1, r.y1 - r.y0 + 1, GUI_MEMDEV_NOTRANS,
                                                         &GUI_MEMDEV_DEVICE_32, &GUICC_8888);
  if (!hMem) {
    GUI_DebugErrorOut("GUIDEV_StaticDevices:\nNot enough memory to create static memory device in _CreateStaticDevice()!");
    const WM_HWIN hOld = GUI_pContext->hAWin;
    WM__SelectWindowRaw(hWin);
    PaintWhole(hWin);
    WM__SelectWindowRaw(hOld);
    return 0;
  }
  WM__pfDeleteStaticDevice = DeleteDevice;
  WM_H2P(hWin)->hMem = hMem;
  PaintInto(hWin, hMem);
  // The procedure may have deleted its window while painting; the device went with it.
  p = WM_H2P(hWin);
  return p ? p->hMem : 0;
}

}  // namespace

GUI_MEMDEV_Handle GUI_MEMDEV__CreateStaticDevice(WM_HWIN hWin) {
  GUI_LockGuard lock;
  return CreateStaticDevice(hWin);
}

GUI_MEMDEV_Handle GUI_MEMDEV_GetStaticDevice(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  return p ? p->hMem : 0;
}

void GUI_MEMDEV_Paint1Static(WM_HWIN hWin) {
  GUI_LockGuard lock;
  for (int i = 0; i < kCreateTries; ++i) {
    const GUI_MEMDEV_Handle hMem = CreateStaticDevice(hWin);
    if (hMem) {
      GUI_MEMDEV_Write(hMem);
      return;
    }
  }
  GUI_DebugErrorOut("GUIDEV_StaticDevices:\nCreation of static device failed in GUI_MEMDEV_Paint1Static().");
}

void GUI_MEMDEV_CreateStatic(WM_HWIN hWin) {
  GUI_LockGuard lock;
  g_staticFill = 0xFF;
  const WM_HWIN hOld = GUI_pContext->hAWin;
  CreateTree(hWin);
  WM__SelectWindowRaw(hOld);
}

void GUI_MEMDEV_UpdateStatic(WM_HWIN hWin, GUI_MEMDEV_Handle* phMerge) {
  GUI_LockGuard lock;
  if (!phMerge) return;
  MergeTree(hWin, phMerge);
}
