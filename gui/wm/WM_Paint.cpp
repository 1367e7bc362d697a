// Invalidation, the visible-rectangle iteration that clips drawing to the uncovered parts of
// the window being drawn, the paint of one window with its transparent overlays, the redraw
// and exec passes, window selection and the start of the window manager.
#include <algorithm>

#include "gui/core/GUI_Input.h"
#include "gui/memdev/GUI_Memdev.h"
#include "gui/wm/WM_Intern.h"

namespace {

constexpr int kMaxClipRects = 20000;

// The visible-rectangle iteration (one set).
struct ClipState {
  GUI_RECT Region;                 // what is iterated
  GUI_RECT Cur;                    // the rectangle found last
  int IterCnt = -1;
  int EntranceCnt = 0;
};
ClipState g_clip;

int16_t Clamp16(int v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

GUI_RECT Shift(const GUI_RECT& r, int dx, int dy) {
  return GUI_RECT{Clamp16(r.x0 + dx), Clamp16(r.y0 + dy), Clamp16(r.x1 + dx), Clamp16(r.y1 + dy)};
}

// --- obscuring windows -------------------------------------------------------------------------
// Calls f(rect) for every rectangle that covers the window being iterated: the siblings above
// the window and above each ancestor, and the window's own children. A transparent window
// does not cover; its children do, clipped to it. Hidden windows are skipped.
template <class F>
void ForEachCoverIn(WM_HWIN h, const GUI_RECT& clip, F& f) {
  WM_Obj* p = WM_H2P(h);
  if (!p || !(p->Status & WM_STATUS_VISIBLE)) return;
  GUI_RECT r;
  if (!WM__Intersect(&r, p->Rect, clip)) return;
  if (!(p->Status & WM_STATUS_TRANSPARENT)) {
    f(r);
    return;
  }
  for (WM_HWIN c = p->hFirstChild; c; c = WM__NextOf(c)) ForEachCoverIn(c, r, f);
}

template <class F>
void ForEachCover(WM_HWIN hWin, F& f) {
  const GUI_RECT all{-32768, -32768, 32767, 32767};
  WM_Obj* w = WM_H2P(hWin);
  if (!w) return;
  for (WM_HWIN c = w->hFirstChild; c; c = WM__NextOf(c)) ForEachCoverIn(c, all, f);
  for (WM_HWIN a = hWin; a; a = WM__ParentOf(a))
    for (WM_HWIN s = WM__NextOf(a); s; s = WM__NextOf(s)) ForEachCoverIn(s, all, f);
}

// Finds the next visible rectangle starting at (x, y) of a band that reaches down to yb
// (yb < y: a new band starts at y). Returns false at the end of the region.
bool FindRect(WM_HWIN hWin, int x, int y, int yb, GUI_RECT* pOut) {
  const GUI_RECT& R = g_clip.Region;
  for (;;) {
    if (y > R.y1) return false;
    if (yb < y) {
      // New band: its bottom lies where the set of covering windows changes.
      yb = R.y1;
      auto lower = [&](const GUI_RECT& o) {
        if (o.x1 < R.x0 || o.x0 > R.x1) return;
        if (o.y0 > y && o.y0 <= yb)
          yb = o.y0 - 1;
        else if (o.y0 <= y && o.y1 >= y && o.y1 < yb)
          yb = o.y1;
      };
      ForEachCover(hWin, lower);
      x = R.x0;
    }
    // Move right past every window that covers the band at x.
    for (bool moved = true; moved && x <= R.x1;) {
      moved = false;
      auto skip = [&](const GUI_RECT& o) {
        if (o.y0 <= y && o.y1 >= yb && o.x0 <= x && o.x1 >= x) {
          x = o.x1 + 1;
          moved = true;
        }
      };
      ForEachCover(hWin, skip);
    }
    if (x > R.x1) {
      y = yb + 1;
      yb = y - 1;
      continue;
    }
    int x1 = R.x1;
    auto limit = [&](const GUI_RECT& o) {
      if (o.y0 <= yb && o.y1 >= y && o.x0 > x && o.x0 - 1 < x1) x1 = o.x0 - 1;
    };
    ForEachCover(hWin, limit);
    *pOut = GUI_RECT{Clamp16(x), Clamp16(y), Clamp16(x1), Clamp16(yb)};
    return true;
  }
}

WM_HWIN ClipWindow() { return GUI_pContext->hAWin; }

// The user clip rectangle in screen coordinates (origin of the overlay window or of W).
bool UserClipScreen(GUI_RECT* pOut) {
  if (!GUI_pContext->WM_pUserClipRect) return false;
  WM_Obj* p = WM_H2P(WM__G.hATransWindow ? WM__G.hATransWindow : ClipWindow());
  *pOut = p ? Shift(*GUI_pContext->WM_pUserClipRect, p->Rect.x0, p->Rect.y0) : *GUI_pContext->WM_pUserClipRect;
  return true;
}

void SetClip(GUI_RECT r) {
  GUI_RECT uc;
  if (UserClipScreen(&uc)) WM__Intersect(&r, r, uc);
  LCD_SetClipRectEx(&r);
}

// Clip without window manager: the selected window's outline within the overlay's
// ancestors, and within the user clip rectangle, so that text in rectangles stays inside
// them also while a memory device is drawn.
void SetClipInactive() {
  WM_Obj* p = WM_H2P(ClipWindow());
  if (!p) {
    LCD_SetClipRectMax();
    return;
  }
  GUI_RECT r = p->Rect;
  if (WM__G.hATransWindow) WM__ClipByAncestors(WM__G.hATransWindow, &r);
  GUI_RECT uc;
  if (UserClipScreen(&uc)) WM__Intersect(&r, r, uc);
  LCD_SetClipRectEx(&r);
}

// --- painting ---------------------------------------------------------------------------------------
void ResetDrawing() {
  GUI_SetDefault();
  GUI_pContext->WM_pUserClipRect = nullptr;
}

}  // namespace

void WM__PaintWindow(WM_HWIN hWin) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !p->cb || !(p->Status & WM_STATUS_VISIBLE)) return;
  WM__SendMessageNoPara(hWin, WM_MSG_PRE_PAINT);
  if (!(p = WM_H2P(hWin)) || !WM__IsWindow(hWin)) return;
  ++WM__G.PaintCnt;
  GUI_RECT inv = p->InvalidRect;
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_PAINT;
  msg.Data.p = &inv;
  if (p->Status & WM_STATUS_LATE_CLIP) {
    ResetDrawing();
    WM__SendMessage(hWin, &msg);
  } else if (WM_InitClipRectIteration(&inv)) {
    do {
      ResetDrawing();
      inv = WM_H2P(hWin)->InvalidRect;
      msg.MsgId = WM_MSG_PAINT;
      msg.Data.p = &inv;
      WM__SendMessage(hWin, &msg);
    } while (WM_GetNextClipRect());
  }
  --WM__G.PaintCnt;
  WM__SendMessageNoPara(hWin, WM_MSG_POST_PAINT);
}

namespace {
void PaintWindow(WM_HWIN hWin) { WM__PaintWindow(hWin); }

// Paints transparent window t over the window w being painted.
void PaintOverlay(WM_HWIN hT, WM_HWIN hW);

void PaintTransChildren(WM_HWIN hParent, WM_HWIN hW) {
  for (WM_HWIN c = WM__FirstChildOf(hParent); c;) {
    WM_Obj* pc = WM_H2P(c);
    WM_HWIN next = pc->hNext;
    if ((pc->Status & (WM_STATUS_VISIBLE | WM_STATUS_TRANSPARENT)) == (WM_STATUS_VISIBLE | WM_STATUS_TRANSPARENT)) {
      PaintOverlay(c, hW);
      if (WM__IsWindow(c)) PaintTransChildren(c, hW);
    }
    c = WM__IsWindow(next) ? next : 0;
  }
}

void PaintOverlay(WM_HWIN hT, WM_HWIN hW) {
  WM_Obj* t = WM_H2P(hT);
  WM_Obj* w = WM_H2P(hW);
  GUI_RECT r;
  if (!t || !w || !WM__Intersect(&r, t->Rect, w->InvalidRect)) return;
  const GUI_RECT savedW = w->InvalidRect;
  const GUI_RECT savedT = t->InvalidRect;
  t->InvalidRect = r;
  const WM_HWIN oldOverlay = WM__G.hATransWindow;
  const int32_t ox = GUI_pContext->xOff, oy = GUI_pContext->yOff;
  WM__G.hATransWindow = hT;
  GUI_pContext->xOff = t->Rect.x0;
  GUI_pContext->yOff = t->Rect.y0;
  PaintWindow(hT);
  GUI_pContext->xOff = ox;
  GUI_pContext->yOff = oy;
  WM__G.hATransWindow = oldOverlay;
  if ((t = WM_H2P(hT)) && WM__IsWindow(hT)) t->InvalidRect = savedT;
  if ((w = WM_H2P(hW)) && WM__IsWindow(hW)) w->InvalidRect = savedW;
}

void PaintDirect(WM_HWIN hWin) {
  WM_Obj* p = WM_H2P(hWin);
  if (!WM__IsTransNoConst(p)) PaintWindow(hWin);
  if (!WM__G.TransWindowCnt || !WM__IsWindow(hWin)) return;
  PaintTransChildren(hWin, hWin);
  for (WM_HWIN a = hWin; a && WM__IsWindow(hWin);) {
    for (WM_HWIN s = WM__NextOf(a); s;) {
      WM_Obj* ps = WM_H2P(s);
      WM_HWIN next = ps->hNext;
      if ((ps->Status & (WM_STATUS_VISIBLE | WM_STATUS_TRANSPARENT)) == (WM_STATUS_VISIBLE | WM_STATUS_TRANSPARENT)) {
        PaintOverlay(s, hWin);
        if (WM__IsWindow(s)) PaintTransChildren(s, hWin);
      }
      s = WM__IsWindow(next) ? next : 0;
    }
    if (!WM__IsWindow(a)) break;
    a = WM__ParentOf(a);
  }
}

// One band of a window drawn through a memory device: the window's invalid rectangle is the
// band's area while it paints.
void PaintBand(void* pData) {
  const WM_HWIN hWin = *static_cast<WM_HWIN*>(pData);
  WM_Obj* p = WM_H2P(hWin);
  const GUI_MEMDEV_Handle hMem = GUI_pContext->hDevData;
  if (!p || !hMem) return;
  const GUI_RECT saved = p->InvalidRect;
  const int x0 = GUI_MEMDEV_GetXPos(hMem), y0 = GUI_MEMDEV_GetYPos(hMem);
  const GUI_RECT band{Clamp16(x0), Clamp16(y0), Clamp16(x0 + GUI_MEMDEV_GetXSize(hMem) - 1),
                      Clamp16(y0 + GUI_MEMDEV_GetYSize(hMem) - 1)};
  if (!WM__Intersect(&p->InvalidRect, saved, band)) {
    p->InvalidRect = saved;
    return;
  }
  PaintDirect(hWin);
  if ((p = WM_H2P(hWin))) p->InvalidRect = saved;
}

// Redraws one invalid window; 1 when it painted.
int RedrawWindow(WM_HWIN hWin) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !(p->Status & WM__INVALID_BITS)) return 0;
  int r = 0;
  GUI_RECT clipped = p->InvalidRect;
  if (p->cb && WM__ClipByAncestors(hWin, &clipped)) {
    WM__SelectWindowRaw(hWin);
    if (p->Status & WM_STATUS_MEMDEV) {
      // Drawn into a memory device band by band and copied to the visible parts; the
      // device is opaque unless a transparent child window has to show its parent.
      const bool trans = (p->Status & WM_STATUS_TRANSPARENT) && p->hParent;
      WM_HWIN h = hWin;
      GUI_MEMDEV_Draw(&clipped, PaintBand, &h, 0, trans ? GUI_MEMDEV_HASTRANS : GUI_MEMDEV_NOTRANS);
    } else {
      PaintDirect(hWin);
    }
    r = 1;
  }
  if (!WM__IsWindow(hWin)) return r;
  p = WM_H2P(hWin);
  if (p->Status & WM__INVALID_BITS) {
    p->Status &= ~WM__INVALID_BITS;
    --WM__G.NumInvalidWindows;
  }
  if (p->Status & WM_STATUS_MEMDEV_ON_REDRAW) p->Status |= WM_STATUS_MEMDEV;
  return r;
}

// One redraw step: walks the list from the stored position until one window painted.
int Redraw1() {
  if (!GUI_pContext->WM_IsActive || !WM__G.NumInvalidWindows) return 0;
  GUI_LockGuard lock;
  GUI_CONTEXT saved;
  GUI_SaveContext(&saved);
  WM_HWIN h = WM__G.hRedrawPos;
  if (!WM__IsWindow(h)) h = WM__G.hFirstWin;
  bool painted = false;
  while (h && !painted) {
    WM_HWIN next = WM_H2P(h)->hNextLin;
    WM__G.hRedrawPos = next;
    painted = RedrawWindow(h);
    // A paint may delete windows: a deletion resets the position to the head.
    h = WM__G.hRedrawPos;
    if (h && !WM__IsWindow(h)) h = WM__G.hFirstWin;
  }
  WM__G.hRedrawPos = h;
  GUI_RestoreContext(&saved);
  GUI__RepointContext(GUI_pContext);
  return WM__G.NumInvalidWindows ? 1 : 0;
}

// Layers whose redraw is one multi-buffered frame: with multi-buffering on, those that hold
// invalid windows; else the selected one.
uint32_t FrameLayers() {
  if (WM__G.MultiBuf) return WM__G.InvalidLayerMask & ((1u << GUI_NUM_LAYERS) - 1);
  return 1u << GUI_pContext->SelLayer;
}

int InputStep() {
  WM__DeletePending();
  if (WM__G.pfPreExec) WM__G.pfPreExec();
  if (WM__G.pfHandlePID && WM__G.pfHandlePID()) return 1;
  if (GUI_pContext->WM_IsActive && WM__PollKey()) return 1;
  const int layer = GUI_pContext->SelLayer;
  const int xs = LCD_GetXSizeEx(layer), ys = LCD_GetYSizeEx(layer);
  if (xs != WM__G.LastXSize[layer] || ys != WM__G.LastYSize[layer]) {
    WM__G.LastXSize[layer] = xs;
    WM__G.LastYSize[layer] = ys;
    WM_MESSAGE msg{};
    msg.MsgId = WM_MSG_SCREENSIZE_CHANGED;
    WM_BroadcastMessage(&msg);
    return 1;
  }
  return 0;
}

// --- desktop --------------------------------------------------------------------------------------
void DesktopProc(WM_MESSAGE* pMsg) {
  const int layer = WM__GetLayer(pMsg->hWin);
  switch (pMsg->MsgId) {
    case WM_MSG_KEY: {
      auto* pKey = static_cast<const WM_KEY_INFO*>(pMsg->Data.p);
      if (pKey && pKey->PressedCnt == 1) GUI_StoreKey(pKey->Key);
      return;
    }
    case WM_MSG_PAINT:
      if (layer >= 0 && WM__G.aBkColor[layer] != GUI_INVALID_COLOR) {
        GUI_SetBkColor(WM__G.aBkColor[layer]);
        GUI_Clear();
      }
      break;
    default:
      break;
  }
  WM_DefaultProc(pMsg);
}

// --- links into the core ---------------------------------------------------------------------------
int IterateStart(const GUI_RECT* pRect) { return WM_InitClipRectIteration(pRect); }
int IterateNext() { return WM_GetNextClipRect(); }
void SelectLayer(int layer) {
  if (layer >= 0 && layer < GUI_NUM_LAYERS && WM__G.ahDesktop[layer]) WM__SelectWindowRaw(WM__G.ahDesktop[layer]);
}

void ExitWM();
GUI_REGISTER_EXIT g_exitWM = {nullptr, ExitWM};
void ExitWM() {
  WM__G = WM_GLOBALS{};
  WM__ClearLive();
  WM__hFillingStatic = 0;
  g_clip = ClipState{};
  GUI_pContext->WM_pUserClipRect = nullptr;
  WM__InputReset();
  WM__TimerReset();
}

const GUI_WM_LINK kLink = {WM_Init, IterateStart, IterateNext, SelectLayer, 0};
const bool g_linked = (GUI__SetWMLink(&kLink), true);

}  // namespace

// --- invalidation -----------------------------------------------------------------------------------
void WM__AddInvalid(WM_HWIN hWin, const GUI_RECT& rect) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !(p->Status & WM_STATUS_VISIBLE) || WM__IsEmpty(rect) || WM__IsTransNoConst(p)) return;
  GUI_RECT r;
  if (!WM__Intersect(&r, rect, p->Rect)) return;
  WM__SendMessageId(hWin, WM_MSG_VIS_CHANGED);
  if (!(p = WM_H2P(hWin))) return;
  const uint32_t bit = (p->Status & WM_STATUS_STATIC_MEMDEV) ? WM_STATUS_INVALID_MEMDEV : WM_STATUS_INVALID;
  if (p->Status & WM__INVALID_BITS) {
    WM__MergeRect(&p->InvalidRect, p->InvalidRect, r);
    p->Status |= bit;
  } else {
    p->InvalidRect = r;
    p->Status |= bit;
    ++WM__G.NumInvalidWindows;
    const int layer = WM__GetLayer(hWin);
    if (layer >= 0) WM__G.InvalidLayerMask |= 1u << layer;
    GUI_SignalEvent();
  }
  if (WM__G.pfInvalidate) WM__G.pfInvalidate(hWin);
}

void WM__InvalidateTreeRect(WM_HWIN hWin, const GUI_RECT& r) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !(p->Status & WM_STATUS_VISIBLE)) return;
  WM__AddInvalid(hWin, r);
  p = WM_H2P(hWin);
  for (WM_HWIN c = p ? p->hFirstChild : 0; c; c = WM__NextOf(c)) WM__InvalidateTreeRect(c, r);
}

void WM__InvalidateBelow(WM_HWIN hParent, const GUI_RECT& r, WM_HWIN hStop) {
  WM_Obj* p = WM_H2P(hParent);
  if (!p || !(p->Status & WM_STATUS_VISIBLE) || !WM__RectsMeet(p->Rect, r)) return;
  if (WM__IsTransNoConst(p))
    WM__InvalidateBelow(p->hParent, r, p->hNext);
  else
    WM__AddInvalid(hParent, r);
  p = WM_H2P(hParent);
  for (WM_HWIN c = p ? p->hFirstChild : 0; c && c != hStop; c = WM__NextOf(c)) WM__InvalidateTreeRect(c, r);
}

void WM__InvalidateScreenRect(WM_HWIN hWin, const GUI_RECT& rect) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !(p->Status & WM_STATUS_VISIBLE)) return;
  GUI_RECT r;
  if (!WM__Intersect(&r, rect, p->Rect)) return;
  // Clipped by every ancestor; nothing when one is hidden or the root is not a desktop.
  if (!WM__ClipByAncestors(hWin, &r)) return;
  if (WM__GetLayer(hWin) < 0) return;
  if (WM__IsTransNoConst(p))
    WM__InvalidateBelow(p->hParent, r, p->hNext);
  else
    WM__AddInvalid(hWin, r);
}

void WM__DropStaticDevices(WM_HWIN hWin) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !(p->Status & WM_STATUS_VISIBLE)) return;
  if (hWin != WM__hFillingStatic) WM__DropStaticDevice(hWin);
  for (WM_HWIN c = WM__FirstChildOf(hWin); c; c = WM__NextOf(c)) WM__DropStaticDevices(c);
}

void WM_InvalidateRect(WM_HWIN hWin, const GUI_RECT* pRect) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return;
  // What the window's device holds is out of date, and so is what its descendants' hold.
  if (p->Status & WM_STATUS_STATIC_MEMDEV) {
    WM__DropStaticDevices(hWin);
    if (!(p = WM_H2P(hWin))) return;
  }
  GUI_RECT r = pRect ? Shift(*pRect, p->Rect.x0, p->Rect.y0) : p->Rect;
  WM__InvalidateScreenRect(hWin, r);
}

void WM_InvalidateWindow(WM_HWIN hWin) { WM_InvalidateRect(hWin, nullptr); }

void WM_InvalidateArea(const GUI_RECT* pRect) {
  if (!pRect) return;
  GUI_LockGuard lock;
  for (WM_HWIN h = WM__G.hFirstWin; h; h = WM_H2P(h)->hNextLin) WM__AddInvalid(h, *pRect);
}

void WM__InvalidateTree(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return;
  WM_InvalidateWindow(hWin);
  p = WM_H2P(hWin);
  for (WM_HWIN c = p ? p->hFirstChild : 0; c; c = WM__NextOf(c)) WM__InvalidateTree(c);
}

void WM__Validate(WM_HWIN hWin) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !(p->Status & WM__INVALID_BITS)) return;
  p->Status &= ~WM__INVALID_BITS;
  --WM__G.NumInvalidWindows;
}
void WM_ValidateWindow(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM__Validate(hWin);
}

// --- visible-rectangle iteration ---------------------------------------------------------------------
int WM_InitClipRectIteration(const GUI_RECT* pRect) {
  if (!GUI_pContext->WM_IsActive) {
    SetClipInactive();
    return 1;
  }
  if (g_clip.EntranceCnt++ >= 1) return 1;
  g_clip.IterCnt = -1;
  WM_HWIN hWin = ClipWindow();
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !(p->Status & WM_STATUS_VISIBLE)) {
    --g_clip.EntranceCnt;
    return 0;
  }
  GUI_RECT R = WM__G.PaintCnt ? p->InvalidRect : p->Rect;
  bool ok = true;
  if (pRect) ok = WM__Intersect(&R, R, *pRect);
  GUI_RECT uc;
  if (ok && UserClipScreen(&uc)) ok = WM__Intersect(&R, R, uc);
  if (ok && WM__G.hATransWindow) ok = WM__ClipByAncestors(WM__G.hATransWindow, &R);
  if (ok) ok = WM__ClipByAncestors(hWin, &R);
  if (!ok) {
    --g_clip.EntranceCnt;
    return 0;
  }
  g_clip.Region = R;
  return WM_GetNextClipRect();
}

int WM_GetNextClipRect() {
  if (!GUI_pContext->WM_IsActive) return 0;
  if (g_clip.EntranceCnt > 1) {
    --g_clip.EntranceCnt;
    return 0;
  }
  if (g_clip.EntranceCnt < 1) return 0;
  ++g_clip.IterCnt;
  int x, y, yb;
  if (g_clip.IterCnt == 0) {
    x = g_clip.Region.x0;
    y = g_clip.Region.y0;
    yb = y - 1;                    // a new band
  } else {
    x = g_clip.Cur.x1 + 1;
    y = g_clip.Cur.y0;
    yb = g_clip.Cur.y1;
    if (x > g_clip.Region.x1) {
      y = g_clip.Cur.y1 + 1;
      yb = y - 1;
    }
  }
  GUI_RECT r;
  if (g_clip.IterCnt > kMaxClipRects || !FindRect(ClipWindow(), x, y, yb, &r)) {
    --g_clip.EntranceCnt;
    return 0;
  }
  g_clip.Cur = r;
  SetClip(r);
  return 1;
}

// --- selection --------------------------------------------------------------------------------------
void WM__SelectWindowRaw(WM_HWIN hWin) {
  if (!hWin) hWin = WM__G.hFirstWin;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return;
  GUI_CONTEXT& c = *GUI_pContext;
  c.hAWin = hWin;
  const int layer = WM__GetLayer(hWin);
  if (layer >= 0 && GUI_DEVICE_GetDriver(layer)) c.SelLayer = static_cast<uint8_t>(layer);
  c.xOff = p->Rect.x0;
  c.yOff = p->Rect.y0;
  SetClipInactive();
}

WM_HWIN WM_SelectWindow(WM_HWIN hWin) {
  GUI_LockGuard lock;
  if (WM__G.PaintCnt) GUI_ErrorOut("Function may not be called from within a paint event");
  WM_HWIN old = GUI_pContext->hAWin;
  WM__SelectWindowRaw(hWin);
  return old;
}

WM_HWIN WM_GetSelectedWindow() { return GUI_pContext->hAWin; }

const GUI_RECT* WM_SetUserClipRect(const GUI_RECT* pRect) {
  GUI_LockGuard lock;
  const GUI_RECT* old = GUI_pContext->WM_pUserClipRect;
  GUI_pContext->WM_pUserClipRect = pRect;
  SetClipInactive();
  return old;
}

// --- update and passes ---------------------------------------------------------------------------
void WM_Update(WM_HWIN hWin) {
  GUI_LockGuard lock;
  if (WM__G.PaintCnt) {
    GUI_ErrorOut("Function may not be called from within a paint event");
    return;
  }
  GUI_CONTEXT saved;
  GUI_SaveContext(&saved);
  RedrawWindow(hWin);
  GUI_RestoreContext(&saved);
  GUI__RepointContext(GUI_pContext);
}

void WM_Paint(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_InvalidateWindow(hWin);
  WM_Update(hWin);
}

int WM_Exec1() {
  GUI_LockGuard lock;
  if (InputStep()) return 1;
  return Redraw1() ? 1 : (WM__G.NumInvalidWindows ? 1 : 0);
}

int WM_ExecPass() {
  int r = 0;
  GUI_Lock();
  while (InputStep()) r = 1;
  const bool frame = GUI_pContext->WM_IsActive && WM__G.NumInvalidWindows;
  GUI_Unlock();
  if (frame) {
    uint32_t layers;
    {
      GUI_LockGuard lock;
      layers = FrameLayers();
      for (int layer = 0; layer < GUI_NUM_LAYERS; ++layer)
        if (layers & (1u << layer)) GUI_MULTIBUF_BeginEx(layer);
    }
    // Redraw steps until nothing is left; each paints one window.
    int guard = 0;
    while (WM__G.NumInvalidWindows && guard++ < 0x10000) {
      Redraw1();
      r = 1;
    }
    GUI_LockGuard lock;
    for (int layer = 0; layer < GUI_NUM_LAYERS; ++layer)
      if (layers & (1u << layer)) GUI_MULTIBUF_EndEx(layer);
    if (WM__G.MultiBuf) WM__G.InvalidLayerMask = 0;
  }
  return r;
}

void WM_Activate() { GUI_pContext->WM_IsActive = 1; }
void WM_Deactivate() {
  GUI_LockGuard lock;
  GUI_pContext->WM_IsActive = 0;
  SetClipInactive();
}

int WM_MULTIBUF_Enable(int onOff) {
  int old = WM__G.MultiBuf;
  WM__G.MultiBuf = onOff ? 1 : 0;
  return old;
}
void WM__MultiBufControl(int onOff) {
  if (!WM__G.MultiBuf) return;
  if (onOff)
    GUI_MULTIBUF_Begin();
  else
    GUI_MULTIBUF_End();
}
int WM_EnableMultiBuf(int onOff) { return WM_MULTIBUF_Enable(onOff); }

WM_tfPreExecHook* WM_SetPreExecHook(WM_tfPreExecHook* pfHook) {
  WM_tfPreExecHook* old = WM__G.pfPreExec;
  WM__G.pfPreExec = pfHook;
  return old;
}
WM_tfInvalidateHook* WM_SetInvalidateHook(WM_tfInvalidateHook* pfHook) {
  WM_tfInvalidateHook* old = WM__G.pfInvalidate;
  WM__G.pfInvalidate = pfHook;
  return old;
}

void WM_Init() {
  GUI_LockGuard lock;
  (void)g_linked;
  WM__G = WM_GLOBALS{};
  WM__ClearLive();
  WM__hFillingStatic = 0;
  g_clip = ClipState{};
  GUI_pContext->WM_pUserClipRect = nullptr;
  for (int layer = 0; layer < GUI_NUM_LAYERS; ++layer) {
    WM__G.aBkColor[layer] = GUI_INVALID_COLOR;
    WM__G.LastXSize[layer] = LCD_GetXSizeEx(layer);
    WM__G.LastYSize[layer] = LCD_GetYSizeEx(layer);
  }
  WM__InputReset();
  for (int layer = 0; layer < GUI_NUM_LAYERS; ++layer) {
    if (!GUI_DEVICE_GetDriver(layer)) continue;
    WM_HWIN h = WM_CreateWindowAsChild(0, 0, 0x3FFF, 0x3FFF, -1, WM_STATUS_VISIBLE, DesktopProc, 4);
    WM__G.ahDesktop[layer] = h;
    WM_InvalidateWindow(h);
  }
  WM__SelectWindowRaw(WM__G.ahDesktop[0]);
  GUI_pContext->WM_IsActive = 1;
  GUI__SetWMExecHook(WM_ExecPass);
  GUI__SetSendKeyToFocus(WM__SendKeyToFocus);
  GUI__AddExitHook(&g_exitWM);
}
