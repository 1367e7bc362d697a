// Windows and the window tree: creation and deletion, the sibling order with stay-on-top
// windows, coordinates, moving and resizing with anchors, visibility, desktops and
// transparency.
#include <algorithm>

#include "gui/wm/WM_Intern.h"

WM_GLOBALS WM__G;
void (*WM__pfDeleteStaticDevice)(GUI_MEMDEV_Handle hMem);
WM_HWIN WM__hFillingStatic;

void WM__DropStaticDevice(WM_HWIN hWin) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !p->hMem) return;
  const GUI_MEMDEV_Handle hMem = p->hMem;
  p->hMem = 0;
  // A device the memory-device module made is deleted as a device (its device record and
  // usage go with it); any other block is plain heap.
  if (WM__pfDeleteStaticDevice) WM__pfDeleteStaticDevice(hMem);
  else GUI_ALLOC_Free(hMem);
}

namespace {
constexpr int kMaxHandles = 1 << 16;
uint64_t g_live[kMaxHandles / 64];
}  // namespace

bool WM__IsLive(WM_HWIN h) {
  return h > 0 && h < kMaxHandles && (g_live[h >> 6] >> (h & 63) & 1u);
}
void WM__ClearLive() {
  for (uint64_t& w : g_live) w = 0;
}
void WM__SetLive(WM_HWIN h, bool live) {
  if (h <= 0 || h >= kMaxHandles) return;
  if (live)
    g_live[h >> 6] |= uint64_t{1} << (h & 63);
  else
    g_live[h >> 6] &= ~(uint64_t{1} << (h & 63));
}

namespace {

constexpr uint32_t kStoredCreateBits = 0x3F3F9F;
constexpr uint32_t kBeingDeleted = 0x40000000;  // never taken from creation flags

// Registered handle variables (the pointer windows of the input and those of owners).
constexpr int kMaxCritical = 96;
WM_HWIN* g_apCritical[kMaxCritical];
int g_numCritical;

int16_t Clamp16(int v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

bool IsStayOnTop(WM_HWIN h) {
  WM_Obj* p = WM_H2P(h);
  return p && (p->Status & WM_STATUS_STAYONTOP);
}

// Sends WM_MSG_VIS_CHANGED to a visible window meeting r and, recursively, to its visible
// descendants that meet it.
void NotifyOverlap(WM_HWIN h, const GUI_RECT& r) {
  WM_Obj* p = WM_H2P(h);
  if (!p || !(p->Status & WM_STATUS_VISIBLE) || !WM__RectsMeet(p->Rect, r)) return;
  WM__SendMessageId(h, WM_MSG_VIS_CHANGED);
  p = WM_H2P(h);
  for (WM_HWIN c = p ? p->hFirstChild : 0; c;) {
    WM_HWIN next = WM__NextOf(c);
    NotifyOverlap(c, r);
    c = next;
  }
}

WM_HWIN ResolveParent(WM_HWIN hParent) {
  if (hParent == -1) return 0;
  if (hParent == 0 && WM__G.NumWindows) return WM__G.ahDesktop[GUI_pContext->SelLayer];
  return hParent;
}

}  // namespace

// --- helpers ---------------------------------------------------------------------------------
bool WM__Intersect(GUI_RECT* pDest, const GUI_RECT& a, const GUI_RECT& b) {
  GUI_RECT r{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
  *pDest = r;
  return !WM__IsEmpty(r);
}
bool WM__RectsMeet(const GUI_RECT& a, const GUI_RECT& b) {
  return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}
void WM__MergeRect(GUI_RECT* pDest, const GUI_RECT& a, const GUI_RECT& b) {
  *pDest = GUI_RECT{std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

// Every window of the list of all windows is live, and only those.
int WM__IsWindow(WM_HWIN hWin) { return WM__IsLive(hWin) ? 1 : 0; }

int WM__GetLayer(WM_HWIN hWin) {
  WM_HWIN root = hWin;
  for (WM_Obj* p = WM_H2P(root); p && p->hParent; p = WM_H2P(root)) root = p->hParent;
  for (int i = 0; i < GUI_NUM_LAYERS; ++i)
    if (root && WM__G.ahDesktop[i] == root) return i;
  return -1;
}

int WM__IsTransNoConst(const WM_Obj* p) {
  return (p->Status & (WM_STATUS_TRANSPARENT | WM_STATUS_CONST_OUTLINE)) == WM_STATUS_TRANSPARENT;
}

int WM__ClipByAncestors(WM_HWIN hWin, GUI_RECT* pRect) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return 0;
  for (WM_HWIN h = p->hParent; h;) {
    WM_Obj* a = WM_H2P(h);
    if (!a || !(a->Status & WM_STATUS_VISIBLE)) return 0;
    if (!WM__Intersect(pRect, *pRect, a->Rect)) return 0;
    h = a->hParent;
  }
  return !WM__IsEmpty(*pRect);
}

void WM__AddCriticalHandle(WM_HWIN* ph) {
  GUI_LockGuard lock;
  for (int i = 0; i < g_numCritical; ++i)
    if (g_apCritical[i] == ph) return;
  if (g_numCritical < kMaxCritical) g_apCritical[g_numCritical++] = ph;
}
void WM__RemoveCriticalHandle(WM_HWIN* ph) {
  GUI_LockGuard lock;
  for (int i = 0; i < g_numCritical; ++i)
    if (g_apCritical[i] == ph) {
      g_apCritical[i] = g_apCritical[--g_numCritical];
      return;
    }
}
void WM__ClearHandleVariables(WM_HWIN hWin) {
  for (int i = 0; i < g_numCritical; ++i)
    if (*g_apCritical[i] == hWin) *g_apCritical[i] = 0;
}

// --- linking -------------------------------------------------------------------------------
void WM__LinkChild(WM_HWIN hChild, WM_HWIN hParent) {
  WM_Obj* c = WM_H2P(hChild);
  WM_Obj* p = WM_H2P(hParent);
  if (!c || !p) return;
  c->hNext = 0;
  c->hParent = hParent;
  const bool top = c->Status & WM_STATUS_STAYONTOP;
  WM_HWIN first = p->hFirstChild;
  if (!first) {
    p->hFirstChild = hChild;
    return;
  }
  if (IsStayOnTop(first) && !top) {
    c->hNext = first;
    p->hFirstChild = hChild;
    return;
  }
  WM_HWIN prev = first;
  for (WM_HWIN next = WM__NextOf(prev); next; next = WM__NextOf(prev)) {
    if (!top && IsStayOnTop(next)) break;
    prev = next;
  }
  c->hNext = WM__NextOf(prev);
  WM_H2P(prev)->hNext = hChild;
  const GUI_RECT r = c->Rect;
  for (WM_HWIN s = WM__FirstChildOf(hParent); s;) {
    WM_Obj* ps = WM_H2P(s);
    WM_HWIN next = ps ? ps->hNext : 0;
    if (s != hChild) NotifyOverlap(s, r);
    s = next;
  }
}

void WM__UnlinkChild(WM_HWIN hChild) {
  WM_Obj* c = WM_H2P(hChild);
  if (!c) return;
  WM_Obj* p = WM_H2P(c->hParent);
  if (!p) return;
  if (p->hFirstChild == hChild) {
    p->hFirstChild = c->hNext;
  } else {
    for (WM_HWIN s = p->hFirstChild; s;) {
      WM_Obj* ps = WM_H2P(s);
      if (ps->hNext == hChild) {
        ps->hNext = c->hNext;
        break;
      }
      s = ps->hNext;
    }
  }
  c->hNext = 0;
}

// --- creation --------------------------------------------------------------------------------
WM_HWIN WM_CreateWindowAsChild(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t flags,
                               WM_CALLBACK* cb, int numExtraBytes) {
  GUI_LockGuard lock;
  hParent = ResolveParent(hParent);
  if (hParent) {
    WM_Obj* p = WM_H2P(hParent);
    if (!p) return 0;
    if (xSize == 0) xSize = p->Rect.x1 - p->Rect.x0 + 1;
    if (ySize == 0) ySize = p->Rect.y1 - p->Rect.y0 + 1;
    x0 += p->Rect.x0;
    y0 += p->Rect.y0;
  }
  int32_t bytes = static_cast<int32_t>(sizeof(WM_Obj)) + std::max(numExtraBytes, 0);
  WM_HWIN h = GUI_ALLOC_AllocZero(bytes);
  if (!h || h >= kMaxHandles) {
    if (h) GUI_ALLOC_Free(h);
    GUI_ErrorOut("WM:\nNo memory to create window in WM_CreateWindowAsChild()");
    return 0;
  }
  WM__SetLive(h, true);
  ++WM__G.NumWindows;
  WM_Obj* w = WM_H2P(h);
  w->Rect = GUI_RECT{Clamp16(x0), Clamp16(y0), Clamp16(x0 + xSize - 1), Clamp16(y0 + ySize - 1)};
  w->cb = cb;
  w->Status |= (flags | WM__G.CreateFlags) & kStoredCreateBits;
  if (!WM__G.hFirstWin) {
    WM__G.hFirstWin = h;
  } else {
    WM_Obj* head = WM_H2P(WM__G.hFirstWin);
    w->hNextLin = head->hNextLin;
    head->hNextLin = h;
  }
  if (hParent) WM__LinkChild(h, hParent);
  const uint32_t all = flags | WM__G.CreateFlags;
  if (all & WM_CREATE_SELECT) WM__SelectWindowRaw(h);
  if (all & WM_STATUS_TRANSPARENT) ++WM__G.TransWindowCnt;
  if (all & WM_CREATE_BOTTOM) WM_BringToBottom(h);
  if ((all & WM_STATUS_VISIBLE) && WM_H2P(h)) {
    WM_H2P(h)->Status |= WM_STATUS_VISIBLE;
    WM_InvalidateWindow(h);
  }
  if (hParent) WM__SendMessageId(hParent, WM_MSG_VIS_CHANGED);
  WM__SendMessageId(h, WM_MSG_CREATE);
  return h;
}

WM_HWIN WM_CreateWindow(int x0, int y0, int xSize, int ySize, uint32_t style, WM_CALLBACK* cb,
                        int numExtraBytes) {
  return WM_CreateWindowAsChild(x0, y0, xSize, ySize, 0, style, cb, numExtraBytes);
}

// --- deletion --------------------------------------------------------------------------------
void WM__DeleteWindowNow(WM_HWIN hWin) {
  if (!WM__IsWindow(hWin)) return;
  // A procedure that deletes its window again while it is being deleted changes nothing.
  if (WM_H2P(hWin)->Status & kBeingDeleted) return;
  WM_H2P(hWin)->Status |= kBeingDeleted;
  const int layer = WM__GetLayer(hWin);
  WM__SendMessageId(hWin, WM_MSG_DELETE);
  if (!WM__IsWindow(hWin)) return;  // the procedure deleted it
  WM_DeleteWindowTimers(hWin);
  WM__DropStaticDevice(hWin);
  WM_Obj* p = nullptr;
  WM__G.hRedrawPos = 0;
  if (GUI_pContext->hAWin == hWin) GUI_pContext->hAWin = 0;
  for (int i = 0; i < GUI_NUM_LAYERS; ++i) {
    if (WM__G.ahCapture[i] == hWin) WM__G.ahCapture[i] = 0;
    if (WM__G.ahFocus[i] == hWin) WM__G.ahFocus[i] = 0;
  }
  WM__ClearHandleVariables(hWin);
  WM_NotifyParent(hWin, WM_NOTE_CHILD_DELETED);
  for (;;) {
    p = WM_H2P(hWin);
    if (!p || !p->hFirstChild) break;
    WM_HWIN c = p->hFirstChild;
    WM__DeleteWindowNow(c);
    p = WM_H2P(hWin);
    if (p && p->hFirstChild == c) WM__UnlinkChild(c);  // never loop on a child that stayed
  }
  if (!WM__IsWindow(hWin)) return;
  WM__SendMessageId(hWin, WM_MSG_VIS_CHANGED);
  if (!WM__IsWindow(hWin)) return;
  p = WM_H2P(hWin);
  if (p->hParent) {
    const GUI_RECT r = p->Rect;
    const bool visible = p->Status & WM_STATUS_VISIBLE;
    WM_HWIN hParent = p->hParent;
    WM__UnlinkChild(hWin);
    if (visible) {
      WM_H2P(hWin)->Status &= ~WM_STATUS_VISIBLE;
      WM__InvalidateBelow(hParent, r, 0);
    }
  }
  // Out of the list of all windows.
  if (WM__G.hFirstWin == hWin) {
    WM__G.hFirstWin = WM_H2P(hWin)->hNextLin;
  } else {
    for (WM_HWIN h = WM__G.hFirstWin; h;) {
      WM_Obj* q = WM_H2P(h);
      if (q->hNextLin == hWin) {
        q->hNextLin = WM_H2P(hWin)->hNextLin;
        break;
      }
      h = q->hNextLin;
    }
  }
  p = WM_H2P(hWin);
  if (p->Status & WM_STATUS_TRANSPARENT) --WM__G.TransWindowCnt;
  if (p->Status & WM__INVALID_BITS) --WM__G.NumInvalidWindows;
  for (int i = 0; i < GUI_NUM_LAYERS; ++i)
    if (WM__G.ahDesktop[i] == hWin) WM__G.ahDesktop[i] = 0;
  WM__SetLive(hWin, false);
  GUI_ALLOC_Free(hWin);
  --WM__G.NumWindows;
  WM__G.hRedrawPos = 0;
  if (layer >= 0 && WM__G.ahDesktop[layer]) WM__SelectWindowRaw(WM__G.ahDesktop[layer]);
}

void WM_DeleteWindow(WM_HWIN hWin) {
  if (!hWin) return;
  GUI_LockGuard lock;
  if (WM__G.PaintCnt) {
    // Freeing a window while a window paints could free the one being painted or walked:
    // the deletion waits for the next exec pass.
    GUI_ErrorOut("Function may not be called from within a paint event");
    WM_MarkForDeletion(hWin);
    return;
  }
  if (!WM__IsWindow(hWin)) {
    GUI_ErrorOut("WM:\nInvalid handle in WM_DeleteWindow()");
    return;
  }
  WM__DeleteWindowNow(hWin);
}

void WM_MarkForDeletion(WM_HWIN hWin) {
  GUI_LockGuard lock;
  if (!WM__IsWindow(hWin)) return;
  WM_H2P(hWin)->Status |= WM_STATUS_DELETE_PENDING;
  WM__G.DeletePending = 1;
  GUI_SignalEvent();
}

void WM__DeletePending() {
  if (!WM__G.DeletePending) return;
  for (;;) {
    WM_HWIN found = 0;
    for (WM_HWIN h = WM__G.hFirstWin; h && !found;) {
      WM_Obj* p = WM_H2P(h);
      if (p->Status & WM_STATUS_DELETE_PENDING) found = h;
      h = p->hNextLin;
    }
    if (!found) break;
    WM_H2P(found)->Status &= ~WM_STATUS_DELETE_PENDING;
    WM__DeleteWindowNow(found);
  }
  WM__G.DeletePending = 0;
}

// --- queries ---------------------------------------------------------------------------------
namespace {
template <class F>
auto Read(WM_HWIN h, F f, decltype(f(static_cast<WM_Obj*>(nullptr))) fallback) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(h);
  return p ? f(p) : fallback;
}
}  // namespace

WM_HWIN WM_GetParent(WM_HWIN h) { return Read(h, [](WM_Obj* p) { return p->hParent; }, 0); }
WM_HWIN WM_GetFirstChild(WM_HWIN h) { return Read(h, [](WM_Obj* p) { return p->hFirstChild; }, 0); }
WM_HWIN WM_GetNextSibling(WM_HWIN h) { return Read(h, [](WM_Obj* p) { return p->hNext; }, 0); }

WM_HWIN WM_GetPrevSibling(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !p->hParent) return 0;
  WM_HWIN prev = 0;
  for (WM_HWIN h = WM__FirstChildOf(p->hParent); h && h != hWin; h = WM__NextOf(h)) prev = h;
  return prev;
}

WM_HWIN WM_GetLastSibling(WM_HWIN hWin) {
  GUI_LockGuard lock;
  if (!WM_H2P(hWin)) return 0;
  WM_HWIN h = hWin;
  while (WM__NextOf(h)) h = WM__NextOf(h);
  return h;
}

int WM_IsAncestor(WM_HWIN hWin, WM_HWIN hAncestor) {
  GUI_LockGuard lock;
  if (!hWin || !hAncestor) return 0;
  for (WM_Obj* p = WM_H2P(hWin); p && p->hParent; p = WM_H2P(p->hParent))
    if (p->hParent == hAncestor) return 1;
  return 0;
}
int WM_IsAncestorOrSelf(WM_HWIN hWin, WM_HWIN hAncestor) {
  return (hWin && hWin == hAncestor) ? 1 : WM_IsAncestor(hWin, hAncestor);
}

int WM_IsWindow(WM_HWIN hWin) {
  GUI_LockGuard lock;
  return WM__IsWindow(hWin);
}
int WM_IsEnabled(WM_HWIN h) { return Read(h, [](WM_Obj* p) { return (p->Status & WM_STATUS_DISABLED) ? 0 : 1; }, 0); }
int WM_IsVisible(WM_HWIN h) { return Read(h, [](WM_Obj* p) { return (p->Status & WM_STATUS_VISIBLE) ? 1 : 0; }, 0); }
int WM_GetNumWindows() { return WM__G.NumWindows; }
int WM_GetNumInvalidWindows() { return WM__G.NumInvalidWindows; }

void WM_ForEachDesc(WM_HWIN hWin, WM_tfForEach* pcb, void* pData) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !pcb) return;
  for (WM_HWIN c = p->hFirstChild; c;) {
    WM_Obj* pc = WM_H2P(c);
    if (!pc) break;
    WM_HWIN next = pc->hNext;
    pcb(c, pData);
    WM_ForEachDesc(c, pcb, pData);
    c = next;
  }
}

// --- coordinates -------------------------------------------------------------------------------
int WM_GetWindowOrgX(WM_HWIN h) { return Read(h, [](WM_Obj* p) { return static_cast<int>(p->Rect.x0); }, 0); }
int WM_GetWindowOrgY(WM_HWIN h) { return Read(h, [](WM_Obj* p) { return static_cast<int>(p->Rect.y0); }, 0); }

void WM_GetWindowRectEx(WM_HWIN hWin, GUI_RECT* pRect) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (p && pRect) *pRect = p->Rect;
}
void WM_GetWindowRect(GUI_RECT* pRect) { WM_GetWindowRectEx(GUI_pContext->hAWin, pRect); }

int WM_GetWindowSizeX(WM_HWIN h) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(h ? h : GUI_pContext->hAWin);
  return p ? p->Rect.x1 - p->Rect.x0 + 1 : 0;
}
int WM_GetWindowSizeY(WM_HWIN h) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(h ? h : GUI_pContext->hAWin);
  return p ? p->Rect.y1 - p->Rect.y0 + 1 : 0;
}

void WM_GetClientRect(GUI_RECT* pRect) {
  if (!pRect) return;
  GUI_LockGuard lock;
  WM_HWIN h = GUI_pContext->hAWin;
  *pRect = GUI_RECT{0, 0, Clamp16(WM_GetWindowSizeX(h) - 1), Clamp16(WM_GetWindowSizeY(h) - 1)};
}

void WM_GetInsideRectDirect(WM_HWIN hWin, GUI_RECT* pRect) {
  if (!pRect) return;
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return;
  *pRect = GUI_RECT{0, 0, static_cast<int16_t>(p->Rect.x1 - p->Rect.x0), static_cast<int16_t>(p->Rect.y1 - p->Rect.y0)};
}

int WM_GetInvalidRect(WM_HWIN hWin, GUI_RECT* pRect) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !(p->Status & WM__INVALID_BITS)) return 0;
  if (pRect) *pRect = p->InvalidRect;
  return 1;
}

// --- moving and resizing ------------------------------------------------------------------------
void WM__MoveWindowRaw(WM_HWIN hWin, int dx, int dy) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return;
  auto shift = [dx, dy](GUI_RECT& r) {
    r.x0 = Clamp16(r.x0 + dx);
    r.x1 = Clamp16(r.x1 + dx);
    r.y0 = Clamp16(r.y0 + dy);
    r.y1 = Clamp16(r.y1 + dy);
  };
  shift(p->Rect);
  shift(p->InvalidRect);
  for (WM_HWIN c = p->hFirstChild; c;) {
    WM_HWIN next = WM__NextOf(c);
    WM__MoveWindowRaw(c, dx, dy);
    c = next;
  }
  WM_MOVE_INFO info{dx, dy};
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_MOVE;
  msg.Data.p = &info;
  WM__SendMessage(hWin, &msg);
}

void WM_MoveWindow(WM_HWIN hWin, int dx, int dy) {
  if (!dx && !dy) return;
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return;
  const GUI_RECT old = p->Rect;
  const bool visible = p->Status & WM_STATUS_VISIBLE;
  WM__MoveWindowRaw(hWin, dx, dy);
  p = WM_H2P(hWin);
  if (!p || !visible) return;
  if (p->hParent) {
    WM__InvalidateBelow(p->hParent, old, hWin);
    p = WM_H2P(hWin);
    if (p) WM__InvalidateBelow(p->hParent, p->Rect, 0);
  } else {
    WM__InvalidateTree(hWin);
  }
}

void WM_MoveTo(WM_HWIN hWin, int x, int y) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (p) WM_MoveWindow(hWin, x - p->Rect.x0, y - p->Rect.y0);
}

void WM_MoveChildTo(WM_HWIN hWin, int x, int y) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return;
  WM_Obj* parent = WM_H2P(p->hParent);
  if (parent) {
    x += parent->Rect.x0;
    y += parent->Rect.y0;
  }
  WM_MoveTo(hWin, x, y);
}

namespace {

// Offsets of a child of a parent whose left/right edges moved by d0/d1.
void FollowAnchors(uint32_t status, uint32_t lowBit, uint32_t highBit, int d0, int d1, int* pMove, int* pSize) {
  const bool high = status & highBit;
  const bool low = status & lowBit;
  *pSize = 0;
  if (high && !low) {
    *pMove = d1;
  } else if (high && low) {
    *pMove = d0;
    *pSize = d1 - d0;
  } else {
    *pMove = d0;
  }
}

void ResizeRaw(WM_HWIN hWin, int dx, int dy) {
  WM_Obj* p = WM_H2P(hWin);
  if (!p || (!dx && !dy)) return;
  const GUI_RECT old = p->Rect;
  GUI_RECT r = old;
  if (dx) {
    if (!(p->Status & WM_STATUS_ANCHOR_RIGHT) || (p->Status & WM_STATUS_ANCHOR_LEFT))
      r.x1 = Clamp16(r.x1 + dx);
    else
      r.x0 = Clamp16(r.x0 - dx);
  }
  if (dy) {
    if (!(p->Status & WM_STATUS_ANCHOR_BOTTOM) || (p->Status & WM_STATUS_ANCHOR_TOP))
      r.y1 = Clamp16(r.y1 + dy);
    else
      r.y0 = Clamp16(r.y0 - dy);
  }
  if ((p->Status & WM_STATUS_STATIC_MEMDEV) && p->hMem) {
    WM__DropStaticDevice(hWin);
    p = WM_H2P(hWin);
  }
  p->Rect = r;
  if ((p->Status & WM_STATUS_VISIBLE) && p->hParent) {
    GUI_RECT u;
    WM__MergeRect(&u, old, r);
    WM__InvalidateBelow(p->hParent, u, 0);
  }
  const int d0x = r.x0 - old.x0, d1x = r.x1 - old.x1, d0y = r.y0 - old.y0, d1y = r.y1 - old.y1;
  p = WM_H2P(hWin);
  for (WM_HWIN c = p ? p->hFirstChild : 0; c;) {
    WM_Obj* pc = WM_H2P(c);
    if (!pc) break;
    WM_HWIN next = pc->hNext;
    int mx, my, sx, sy;
    FollowAnchors(pc->Status, WM_STATUS_ANCHOR_LEFT, WM_STATUS_ANCHOR_RIGHT, d0x, d1x, &mx, &sx);
    FollowAnchors(pc->Status, WM_STATUS_ANCHOR_TOP, WM_STATUS_ANCHOR_BOTTOM, d0y, d1y, &my, &sy);
    if (mx || my) WM__MoveWindowRaw(c, mx, my);
    if (sx || sy) ResizeRaw(c, sx, sy);
    c = next;
  }
  p = WM_H2P(hWin);
  if (!p) return;
  p->InvalidRect = p->Rect;
  WM__SendMessageId(hWin, WM_MSG_SIZE_CHANGED);
}

}  // namespace

void WM_ResizeWindow(WM_HWIN hWin, int dx, int dy) {
  GUI_LockGuard lock;
  ResizeRaw(hWin, dx, dy);
}

void WM_SetSize(WM_HWIN hWin, int xSize, int ySize) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return;
  ResizeRaw(hWin, xSize - (p->Rect.x1 - p->Rect.x0 + 1), ySize - (p->Rect.y1 - p->Rect.y0 + 1));
}
int WM_SetXSize(WM_HWIN hWin, int xSize) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return 0;
  ResizeRaw(hWin, xSize - (p->Rect.x1 - p->Rect.x0 + 1), 0);
  return WM_GetWindowSizeX(hWin);
}
int WM_SetYSize(WM_HWIN hWin, int ySize) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return 0;
  ResizeRaw(hWin, 0, ySize - (p->Rect.y1 - p->Rect.y0 + 1));
  return WM_GetWindowSizeY(hWin);
}
void WM_SetWindowPos(WM_HWIN hWin, int x, int y, int xSize, int ySize) {
  GUI_LockGuard lock;
  WM_SetSize(hWin, xSize, ySize);
  WM_MoveTo(hWin, x, y);
}

// --- attaching -------------------------------------------------------------------------------------
void WM_DetachWindow(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !p->hParent) return;
  WM_HWIN hParent = p->hParent;
  if (p->Status & WM_STATUS_VISIBLE) WM__InvalidateBelow(hParent, p->Rect, hWin);
  WM__UnlinkChild(hWin);
  WM_Obj* pp = WM_H2P(hParent);
  const int px = pp->Rect.x0, py = pp->Rect.y0;
  WM_H2P(hWin)->hParent = 0;
  WM__MoveWindowRaw(hWin, -px, -py);
}

void WM_AttachWindow(WM_HWIN hWin, WM_HWIN hParent) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !hParent || hParent == hWin || p->hParent == hParent || !WM_H2P(hParent)) return;
  if (WM_IsAncestor(hParent, hWin)) return;  // a window cannot hang below its own descendant
  WM_DetachWindow(hWin);
  WM__LinkChild(hWin, hParent);
  WM_Obj* pp = WM_H2P(hParent);
  WM__MoveWindowRaw(hWin, pp->Rect.x0, pp->Rect.y0);
  WM__InvalidateTree(hWin);
}

void WM_AttachWindowAt(WM_HWIN hWin, WM_HWIN hParent, int x, int y) {
  GUI_LockGuard lock;
  if (!WM_H2P(hWin)) return;
  WM_DetachWindow(hWin);
  WM_MoveTo(hWin, x, y);
  WM_AttachWindow(hWin, hParent);
}

// --- z-order -----------------------------------------------------------------------------------------
void WM_BringToTop(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !p->hParent) return;
  if (p->hNext && IsStayOnTop(p->hNext) && !(p->Status & WM_STATUS_STAYONTOP)) return;
  WM_HWIN hParent = p->hParent;
  WM__UnlinkChild(hWin);
  WM__LinkChild(hWin, hParent);
  // Linking again can also put the window below siblings it covered (a normal window among
  // stay-on-top ones goes first): its whole area in the parent is repainted, which takes in
  // the window and its descendants.
  p = WM_H2P(hWin);
  if (p && (p->Status & WM_STATUS_VISIBLE)) WM__InvalidateBelow(hParent, p->Rect, 0);
}

void WM_BringToBottom(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !p->hParent) return;
  WM_HWIN hParent = p->hParent;
  if (WM__FirstChildOf(hParent) == hWin) return;
  if (p->Status & WM_STATUS_VISIBLE) WM__InvalidateBelow(hParent, p->Rect, 0);
  WM__UnlinkChild(hWin);
  WM_Obj* pp = WM_H2P(hParent);
  WM_H2P(hWin)->hNext = pp->hFirstChild;
  pp->hFirstChild = hWin;
}

void WM_SetStayOnTop(WM_HWIN hWin, int onOff) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return;
  const uint32_t old = p->Status;
  if (onOff)
    p->Status |= WM_STATUS_STAYONTOP;
  else
    p->Status &= ~WM_STATUS_STAYONTOP;
  if (old == p->Status || !p->hParent) return;
  WM_HWIN hParent = p->hParent;
  WM__UnlinkChild(hWin);
  WM__LinkChild(hWin, hParent);
  // The window may have gone down below siblings it covered: its whole area in the parent
  // is repainted, not only the window.
  p = WM_H2P(hWin);
  if (p && (p->Status & WM_STATUS_VISIBLE)) WM__InvalidateBelow(hParent, p->Rect, 0);
}

// --- visibility and enable state ---------------------------------------------------------------------
void WM_ShowWindow(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p || (p->Status & WM_STATUS_VISIBLE)) return;
  p->Status |= WM_STATUS_VISIBLE;
  WM__InvalidateTree(hWin);
  p = WM_H2P(hWin);
  if (p && p->hParent) WM__InvalidateScreenRect(p->hParent, p->Rect);
}

void WM_HideWindow(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p || !(p->Status & WM_STATUS_VISIBLE)) return;
  p->Status &= ~WM_STATUS_VISIBLE;
  if (p->hParent) WM__InvalidateBelow(p->hParent, p->Rect, hWin);
  WM__SendMessageId(hWin, WM_MSG_VIS_CHANGED);
}

namespace {
void SetDisabled(WM_HWIN hWin, bool disabled) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return;
  const bool was = p->Status & WM_STATUS_DISABLED;
  if (was == disabled) return;
  if (disabled)
    p->Status |= WM_STATUS_DISABLED;
  else
    p->Status &= ~WM_STATUS_DISABLED;
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_ENABLE_CHANGED;
  msg.Data.v = disabled ? 0 : 1;
  WM__SendMessage(hWin, &msg);
}
}  // namespace

void WM_EnableWindow(WM_HWIN hWin) { SetDisabled(hWin, false); }
void WM_DisableWindow(WM_HWIN hWin) { SetDisabled(hWin, true); }

// --- desktops ---------------------------------------------------------------------------------------
WM_HWIN WM_GetDesktopWindow() { return WM_GetDesktopWindowEx(GUI_pContext->SelLayer); }
WM_HWIN WM_GetDesktopWindowEx(int layer) {
  if (layer < 0 || layer >= GUI_NUM_LAYERS) return 0;
  return WM__G.ahDesktop[layer];
}

GUI_COLOR WM_SetDesktopColorEx(GUI_COLOR color, int layer) {
  if (layer < 0 || layer >= GUI_NUM_LAYERS) return GUI_INVALID_COLOR;
  GUI_LockGuard lock;
  GUI_COLOR old = WM__G.aBkColor[layer];
  WM__G.aBkColor[layer] = color;
  WM_InvalidateWindow(WM__G.ahDesktop[layer]);
  return old;
}
void WM_SetDesktopColor(GUI_COLOR color) { WM_SetDesktopColorEx(color, GUI_pContext->SelLayer); }
void WM_SetDesktopColors(GUI_COLOR color) {
  for (int i = 0; i < GUI_NUM_LAYERS; ++i) WM_SetDesktopColorEx(color, i);
}
uint32_t WM_SetCreateFlags(uint32_t flags) {
  uint32_t old = WM__G.CreateFlags;
  WM__G.CreateFlags = flags;
  return old;
}

// --- transparency -----------------------------------------------------------------------------------
void WM_SetTransState(WM_HWIN hWin, uint32_t state) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (!p) return;
  constexpr uint32_t kBits = WM_STATUS_TRANSPARENT | WM_STATUS_CONST_OUTLINE;
  const uint32_t old = p->Status & kBits;
  const uint32_t now = state & kBits;
  if (old == now) return;
  if ((old ^ now) & WM_STATUS_TRANSPARENT) WM__G.TransWindowCnt += (now & WM_STATUS_TRANSPARENT) ? 1 : -1;
  // Invalidated as an opaque window, so that it repaints itself, and then with its new
  // state, so that a transparent window also repaints what lies below it.
  p->Status = (p->Status & ~kBits) | (now & ~WM_STATUS_TRANSPARENT);
  WM_InvalidateWindow(hWin);
  if ((p = WM_H2P(hWin))) p->Status = (p->Status & ~kBits) | now;
  WM_InvalidateWindow(hWin);
}
void WM_SetHasTrans(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (p) WM_SetTransState(hWin, (p->Status & WM_STATUS_CONST_OUTLINE) | WM_STATUS_TRANSPARENT);
}
void WM_ClrHasTrans(WM_HWIN hWin) {
  GUI_LockGuard lock;
  WM_Obj* p = WM_H2P(hWin);
  if (p) WM_SetTransState(hWin, p->Status & WM_STATUS_CONST_OUTLINE);
}
int WM_GetHasTrans(WM_HWIN h) {
  return Read(h, [](WM_Obj* p) { return (p->Status & WM_STATUS_TRANSPARENT) ? 1 : 0; }, 0);
}
