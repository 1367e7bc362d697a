// Widget base: id, state word, drawing effect and type tag of every widget, the common
// message handling, drawing routines that turn for vertical widgets, and user data.
#include <cstring>

#include "gui/GUI_Private.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/widgets/Widget_Intern.h"

namespace {

// Flat frame: one dark line around the rectangle, the same raised or sunken.
void DrawSimple(const GUI_RECT* pRect) {
  GUI_COLOR old = GUI_GetColor();
  GUI_SetColor(WIDGET_COLOR_FRAME);
  GUI_DrawRect(pRect->x0, pRect->y0, pRect->x1, pRect->y1);
  GUI_SetColor(old);
}

void Draw3D(const GUI_RECT* pRect, GUI_COLOR light, GUI_COLOR dark, GUI_COLOR lightIn, GUI_COLOR darkIn) {
  GUI_COLOR old = GUI_GetColor();
  const GUI_RECT& r = *pRect;
  GUI_SetColor(light);
  GUI_DrawHLine(r.y0, r.x0, r.x1 - 1);
  GUI_DrawVLine(r.x0, r.y0 + 1, r.y1 - 1);
  GUI_SetColor(dark);
  GUI_DrawHLine(r.y1, r.x0, r.x1);
  GUI_DrawVLine(r.x1, r.y0, r.y1 - 1);
  GUI_SetColor(lightIn);
  GUI_DrawHLine(r.y0 + 1, r.x0 + 1, r.x1 - 2);
  GUI_DrawVLine(r.x0 + 1, r.y0 + 2, r.y1 - 2);
  GUI_SetColor(darkIn);
  GUI_DrawHLine(r.y1 - 1, r.x0 + 1, r.x1 - 1);
  GUI_DrawVLine(r.x1 - 1, r.y0 + 1, r.y1 - 2);
  GUI_SetColor(old);
}
void Draw3DUp(const GUI_RECT* pRect) { Draw3D(pRect, 0xFFFFFF, 0x000000, 0xE0E0E0, 0x808080); }
void Draw3DDown(const GUI_RECT* pRect) { Draw3D(pRect, 0x808080, 0xFFFFFF, 0x000000, 0xE0E0E0); }
void DrawNone(const GUI_RECT*) {}

const WIDGET_EFFECT* pDefaultEffect = &WIDGET_Effect_Simple;
GUI_COLOR DefaultBkColor = 0xC0C0C0;

bool IsVertical(const WIDGET* p) { return (p->State & WIDGET_STATE_VERTICAL) != 0; }

// Moves and stretches the children of a widget whose frame width changed by d (old - new),
// as if each edge of the widget had moved outwards by d.
void FollowEffectChange(WM_HWIN hObj, int d) {
  if (d == 0) return;
  for (WM_HWIN h = WM_GetFirstChild(hObj); h; h = WM_GetNextSibling(h)) {
    uint32_t status = WM__GetObj(h)->Status;
    auto edges = [d](uint32_t status, uint32_t lowBit, uint32_t highBit, int* pd0, int* pd1) {
      bool lo = (status & lowBit) != 0, hi = (status & highBit) != 0;
      if (hi && !lo) {
        *pd0 = *pd1 = d;
      } else if (hi && lo) {
        *pd0 = -d;
        *pd1 = d;
      } else {
        *pd0 = *pd1 = -d;
      }
    };
    int dx0, dx1, dy0, dy1;
    edges(status, WM_STATUS_ANCHOR_LEFT, WM_STATUS_ANCHOR_RIGHT, &dx0, &dx1);
    edges(status, WM_STATUS_ANCHOR_TOP, WM_STATUS_ANCHOR_BOTTOM, &dy0, &dy1);
    WM_MoveWindow(h, dx0, dy0);
    if (dx1 != dx0 || dy1 != dy0) WM_ResizeWindow(h, dx1 - dx0, dy1 - dy0);
  }
}

}  // namespace

const WIDGET_EFFECT WIDGET_Effect_None = {0, DrawNone, DrawNone};
const WIDGET_EFFECT WIDGET_Effect_Simple = {1, DrawSimple, DrawSimple};
const WIDGET_EFFECT WIDGET_Effect_3D = {2, Draw3DUp, Draw3DDown};

WM_Obj* WM__GetObj(WM_HWIN hWin) { return static_cast<WM_Obj*>(GUI_ALLOC_h2p(hWin)); }

WIDGET* WIDGET__GetObj(WM_HWIN hObj) {
  if (!hObj || GUI_ALLOC_GetSize(hObj) < int32_t(sizeof(WIDGET))) return nullptr;
  return static_cast<WIDGET*>(GUI_ALLOC_h2p(hObj));
}

void* WIDGET__LockH(WM_HWIN hObj, uint32_t tag, size_t size, const char* pError) {
  if (!hObj) return nullptr;
  if (GUI_ALLOC_GetSize(hObj) < int32_t(size)) {
    GUI_ErrorOut(pError);
    return nullptr;
  }
  auto* p = static_cast<WIDGET*>(GUI_ALLOC_h2p(hObj));
  if (!p || p->DebugId != tag) {
    GUI_ErrorOut(pError);
    return nullptr;
  }
  return p;
}

void WIDGET__Init(WIDGET* pWidget, int id, uint16_t state) {
  pWidget->pEffect = pDefaultEffect;
  pWidget->State = state;
  pWidget->Id = int16_t(id);
}

// ---- State --------------------------------------------------------------------------------------
void WIDGET_SetState(WM_HWIN hObj, int state) {
  GUI_LockGuard lock;
  WIDGET* p = WIDGET__GetObj(hObj);
  if (!p || p->State == uint16_t(state)) return;
  p->State = uint16_t(state);
  WM_InvalidateWindow(hObj);
}
void WIDGET_OrState(WM_HWIN hObj, int bits) {
  GUI_LockGuard lock;
  WIDGET* p = WIDGET__GetObj(hObj);
  if (p) WIDGET_SetState(hObj, p->State | bits);
}
void WIDGET_AndState(WM_HWIN hObj, int bits) {
  GUI_LockGuard lock;
  WIDGET* p = WIDGET__GetObj(hObj);
  if (p) WIDGET_SetState(hObj, p->State & ~bits);
}
int WIDGET_GetState(WM_HWIN hObj) {
  GUI_LockGuard lock;
  WIDGET* p = WIDGET__GetObj(hObj);
  return p ? p->State : 0;
}
void WIDGET_SetFocusable(WM_HWIN hObj, int onOff) {
  if (onOff)
    WIDGET_OrState(hObj, WIDGET_STATE_FOCUSABLE);
  else
    WIDGET_AndState(hObj, WIDGET_STATE_FOCUSABLE);
}

// ---- Common messages ---------------------------------------------------------------------------
int WIDGET_HandleActive(WM_HWIN hObj, WM_MESSAGE* pMsg) {
  if (!hObj) return 1;
  WIDGET* p = WIDGET__GetObj(hObj);
  if (!p) return 1;
  switch (pMsg->MsgId) {
    case WM_MSG_TOUCH: {
      const auto* pInner = static_cast<const WM_MESSAGE*>(pMsg->Data.p);
      const auto* pState = pInner ? static_cast<const GUI_PID_STATE*>(pInner->Data.p) : nullptr;
      if (pState && pState->Pressed) WM_BringToTop(hObj);
      return 0;
    }
    case WM_MSG_PID_CHANGED: {
      const auto* pInfo = static_cast<const WM_PID_STATE_CHANGED_INFO*>(pMsg->Data.p);
      if ((p->State & WIDGET_STATE_FOCUSABLE) && pInfo && pInfo->State) WM_SetFocus(hObj);
      return 1;
    }
    case WM_MSG_GET_INSIDE_RECT:
      WIDGET__GetEffectInsideRect(p, static_cast<GUI_RECT*>(const_cast<void*>(pMsg->Data.p)));
      return 0;
    case WM_MSG_GET_ID:
      pMsg->Data.v = p->Id;
      return 0;
    case WM_MSG_SET_ID:
      p->Id = int16_t(pMsg->Data.v);
      return 0;
    case WM_MSG_SET_FOCUS:
      if (pMsg->Data.v == 1) {
        if (p->State & WIDGET_STATE_FOCUSABLE) {
          WIDGET_OrState(hObj, WIDGET_STATE_FOCUS);
          WM_NotifyParent(hObj, WM_NOTE_GOT_FOCUS);
          pMsg->Data.v = 0;
        } else {
          pMsg->Data.v = 1;
        }
      } else {
        WIDGET_AndState(hObj, WIDGET_STATE_FOCUS);
        WM_NotifyParent(hObj, WM_NOTE_LOST_FOCUS);
        pMsg->Data.v = 0;
      }
      return 0;
    case WM_MSG_GET_ACCEPT_FOCUS:
      pMsg->Data.v = (p->State & WIDGET_STATE_FOCUSABLE) ? 1 : 0;
      return 0;
    case WM_MSG_GET_WIDGET_TYPE:
      pMsg->Data.v = intptr_t(p->DebugId);
      return 0;
    case WM_MSG_SET_WIDGET_EFFECT: {
      const auto* pNew = static_cast<const WIDGET_EFFECT*>(pMsg->Data.p);
      if (!pNew) pNew = &WIDGET_Effect_None;
      int d = p->pEffect->EffectSize - pNew->EffectSize;
      p->pEffect = pNew;
      FollowEffectChange(hObj, d);
      WM_InvalidateWindow(hObj);
      return 0;
    }
    default:
      return 1;
  }
}

void WIDGET_SetEffect(WM_HWIN hObj, const WIDGET_EFFECT* pEffect) {
  GUI_LockGuard lock;
  if (!hObj) return;
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_SET_WIDGET_EFFECT;
  msg.Data.p = pEffect;
  WM_SendMessage(hObj, &msg);
}
const WIDGET_EFFECT* WIDGET_SetDefaultEffect(const WIDGET_EFFECT* pEffect) {
  GUI_LockGuard lock;
  const WIDGET_EFFECT* old = pDefaultEffect;
  pDefaultEffect = pEffect ? pEffect : &WIDGET_Effect_None;
  return old;
}
const WIDGET_EFFECT* WIDGET_GetDefaultEffect() { return pDefaultEffect; }

GUI_COLOR WIDGET_SetDefaultBkColor(GUI_COLOR color) {
  GUI_LockGuard lock;
  GUI_COLOR old = DefaultBkColor;
  DefaultBkColor = color;
  return old;
}
GUI_COLOR WIDGET__GetBkColor(WM_HWIN hObj) {
  GUI_COLOR c = WM_GetBkColor(WM_GetParent(hObj));
  return c == GUI_INVALID_COLOR ? DefaultBkColor : c;
}

// ---- Geometry ---------------------------------------------------------------------------------
void WIDGET__GetEffectInsideRect(const WIDGET* pWidget, GUI_RECT* pRect) {
  const GUI_RECT& r = pWidget->Win.Rect;
  int e = pWidget->pEffect ? pWidget->pEffect->EffectSize : 0;
  pRect->x0 = int16_t(e);
  pRect->y0 = int16_t(e);
  pRect->x1 = int16_t(r.x1 - r.x0 - e);
  pRect->y1 = int16_t(r.y1 - r.y0 - e);
}
void WIDGET__GetInsideRect(const WIDGET* pWidget, GUI_RECT* pRect) {
  WIDGET__GetEffectInsideRect(pWidget, pRect);
  if (IsVertical(pWidget)) {
    GUI_RECT r = *pRect;
    pRect->x0 = r.y0;
    pRect->y0 = r.x0;
    pRect->x1 = r.y1;
    pRect->y1 = r.x1;
  }
}
int WIDGET__GetXSize(const WIDGET* pWidget) {
  const GUI_RECT& r = pWidget->Win.Rect;
  return IsVertical(pWidget) ? r.y1 - r.y0 + 1 : r.x1 - r.x0 + 1;
}
int WIDGET__GetYSize(const WIDGET* pWidget) {
  const GUI_RECT& r = pWidget->Win.Rect;
  return IsVertical(pWidget) ? r.x1 - r.x0 + 1 : r.y1 - r.y0 + 1;
}
void WIDGET_SetWidth(WM_HWIN hObj, int width) {
  GUI_LockGuard lock;
  WIDGET* p = WIDGET__GetObj(hObj);
  if (!p) return;
  int xSize = p->Win.Rect.x1 - p->Win.Rect.x0 + 1, ySize = p->Win.Rect.y1 - p->Win.Rect.y0 + 1;
  if (IsVertical(p))
    WM_SetSize(hObj, width, ySize);
  else
    WM_SetSize(hObj, xSize, width);
}

void WIDGET_SetScrollStates(WM_HWIN hObj, const WM_SCROLL_STATE* pStateV, const WM_SCROLL_STATE* pStateH) {
  GUI_LockGuard lock;
  const WM_SCROLL_STATE* aState[2] = {pStateV, pStateH};
  const int aId[2] = {GUI_ID_VSCROLL, GUI_ID_HSCROLL};
  for (int i = 0; i < 2; ++i) {
    WM_HWIN h = WM_GetDialogItem(hObj, aId[i]);
    if (!h || !aState[i]) continue;
    WM_MESSAGE msg{};
    msg.MsgId = WM_MSG_SET_SCROLL_STATE;
    msg.Data.p = aState[i];
    WM_SendMessage(h, &msg);
  }
}

// ---- Drawing that turns for vertical widgets --------------------------------------------------
void WIDGET__RotateRect90(const WIDGET* pWidget, GUI_RECT* pDest, const GUI_RECT* pSrc) {
  int w = pWidget->Win.Rect.x1 - pWidget->Win.Rect.x0;
  GUI_RECT r = *pSrc;
  pDest->x0 = int16_t(w - r.y1);
  pDest->y0 = r.x0;
  pDest->x1 = int16_t(w - r.y0);
  pDest->y1 = r.x1;
}
void WIDGET__FillRectEx(const WIDGET* pWidget, const GUI_RECT* pRect) {
  GUI_RECT r = *pRect;
  if (IsVertical(pWidget)) WIDGET__RotateRect90(pWidget, &r, pRect);
  GUI_FillRectEx(&r);
}
void WIDGET__DrawRectEx(const WIDGET* pWidget, const GUI_RECT* pRect) {
  GUI_RECT r = *pRect;
  if (IsVertical(pWidget)) WIDGET__RotateRect90(pWidget, &r, pRect);
  GUI_DrawRectEx(&r);
}
void WIDGET__DrawHLine(const WIDGET* pWidget, int y, int x0, int x1) {
  GUI_RECT r = {int16_t(x0), int16_t(y), int16_t(x1), int16_t(y)};
  WIDGET__FillRectEx(pWidget, &r);
}
void WIDGET__DrawVLine(const WIDGET* pWidget, int x, int y0, int y1) {
  GUI_RECT r = {int16_t(x), int16_t(y0), int16_t(x), int16_t(y1)};
  WIDGET__FillRectEx(pWidget, &r);
}
// An arrow of size + 1 lines: line i stands at x + i * inc and reaches from y - (size - i)
// to y + (size - i).
void WIDGET__DrawTriangle(const WIDGET* pWidget, int x, int y, int size, int inc) {
  for (int i = 0; i <= size; ++i) WIDGET__DrawVLine(pWidget, x + i * inc, y - (size - i), y + (size - i));
}

// ---- Effects ------------------------------------------------------------------------------------
namespace {
void EffectRect(const WIDGET* pWidget, const GUI_RECT* pRect, GUI_RECT* pOut) {
  if (pRect) {
    *pOut = *pRect;
  } else {
    const GUI_RECT& r = pWidget->Win.Rect;
    *pOut = {0, 0, int16_t(r.x1 - r.x0), int16_t(r.y1 - r.y0)};
  }
}
}  // namespace
void WIDGET__EFFECT_DrawDownRect(const WIDGET* pWidget, const GUI_RECT* pRect) {
  GUI_RECT r;
  if (pRect) {
    r = *pRect;
    if (IsVertical(pWidget)) WIDGET__RotateRect90(pWidget, &r, pRect);
  } else {
    EffectRect(pWidget, nullptr, &r);
  }
  if (pWidget->pEffect) pWidget->pEffect->pfDrawDownRect(&r);
}
void WIDGET__EFFECT_DrawDown(const WIDGET* pWidget) { WIDGET__EFFECT_DrawDownRect(pWidget, nullptr); }
void WIDGET__EFFECT_DrawUpRect(const WIDGET* pWidget, const GUI_RECT* pRect) {
  GUI_RECT r;
  EffectRect(pWidget, pRect, &r);
  if (pWidget->pEffect) pWidget->pEffect->pfDrawUpRect(&r);
}

// ---- Text into a rectangle ----------------------------------------------------------------------
void WIDGET__FillStringInRect(const char* pText, const GUI_RECT* pFillRect, const GUI_RECT* pTextRectMax,
                              const GUI_RECT* pTextRectAct) {
  if (!pText || !*pText) {
    GUI_ClearRectEx(pFillRect);
    return;
  }
  GUI_RECT inter;
  if (!GUI__IntersectRects(&inter, pTextRectMax, pTextRectAct)) inter = {0, 0, -1, -1};
  if (GUI_GetBkColor() < 0x1000000u) {
    const GUI_RECT& f = *pFillRect;
    if (inter.x1 < inter.x0 || inter.y1 < inter.y0) {
      GUI_ClearRectEx(pFillRect);
    } else {
      GUI_ClearRect(f.x0, f.y0, f.x1, inter.y0 - 1);
      GUI_ClearRect(f.x0, inter.y0, inter.x0 - 1, inter.y1);
      GUI_ClearRect(inter.x1 + 1, inter.y0, f.x1, inter.y1);
      GUI_ClearRect(f.x0, inter.y1 + 1, f.x1, f.y1);
    }
    GUI_SetTextMode(GUI_TEXTMODE_NORMAL);
  } else {
    GUI_SetTextMode(GUI_TEXTMODE_TRANS);
  }
  // The text is clipped to the largest text rectangle (in screen coordinates for the clip).
  GUI_RECT clip = *pTextRectMax;
  const GUI_RECT* pOld = WM_SetUserClipRect(&clip);
  GUI_DispStringAt(pText, pTextRectAct->x0, pTextRectAct->y0);
  WM_SetUserClipRect(pOld);
}

// ---- User data ----------------------------------------------------------------------------------
namespace {
int CopyUser(WM_HWIN h, void* pDest, const void* pSrc, int size, int offset) {
  if (!h || size <= 0 || offset < 0) return 0;
  int avail = GUI_ALLOC_GetSize(h) - offset;
  if (avail <= 0) return 0;
  if (size > avail) size = avail;
  uint8_t* pBase = static_cast<uint8_t*>(GUI_ALLOC_h2p(h)) + offset;
  if (pDest)
    std::memcpy(pDest, pBase, size_t(size));
  else
    std::memcpy(pBase, pSrc, size_t(size));
  return size;
}
}  // namespace

int WM_GetUserData(WM_HWIN hWin, void* pDest, int size) {
  GUI_LockGuard lock;
  if (!pDest) return 0;
  return CopyUser(hWin, pDest, nullptr, size, int(sizeof(WM_Obj)));
}
int WM_SetUserData(WM_HWIN hWin, const void* pSrc, int size) {
  GUI_LockGuard lock;
  if (!pSrc) return 0;
  int n = CopyUser(hWin, nullptr, pSrc, size, int(sizeof(WM_Obj)));
  if (n) WM_SendMessageNoPara(hWin, WM_MSG_USER_DATA);
  return n;
}
int WIDGET__GetUserData(WM_HWIN hObj, void* pDest, int size, int offset) {
  GUI_LockGuard lock;
  if (!pDest) return 0;
  return CopyUser(hObj, pDest, nullptr, size, offset);
}
int WIDGET__SetUserData(WM_HWIN hObj, const void* pSrc, int size, int offset) {
  GUI_LockGuard lock;
  if (!pSrc) return 0;
  int n = CopyUser(hObj, nullptr, pSrc, size, offset);
  if (n) WM_SendMessageNoPara(hObj, WM_MSG_USER_DATA);
  return n;
}

int WIDGET__HasCapture(WM_HWIN hObj) {
  int layer = WM__G.TouchedLayer;
  if (layer < 0 || layer >= GUI_NUM_LAYERS) return 0;
  return hObj && WM__G.ahCapture[layer] == hObj;
}
