// SCROLLBAR widget: a horizontal or vertical bar with two arrows, a page area on either side
// of a thumb and a value v in 0 .. NumItems - PageSize; free-standing or attached to a window
// along the inside of its border, where it answers the scroll-state messages.
#include "gui/GUI_Private.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/widgets/Widget_Intern.h"

namespace {

struct SCROLLBAR_SKIN {
  void (*pfPaint)(WM_HWIN hObj);
  void (*pfGetPositions)(WM_HWIN hObj, SCROLLBAR_POSITIONS* pPos);
};

struct SCROLLBAR_Obj {
  static constexpr uint32_t kTag = WIDGET_TAG('S', 'C', 'R', 'O');
  static constexpr const char* kLockError = "SCROLLBAR:\nWrong handle type or Object not init'ed in SCROLLBAR_LockH()";
  WIDGET Widget;
  GUI_COLOR aColor[3];  // thumb, shaft, arrows
  void (*pfDrawCallback)(WM_HWIN hObj);
  const SCROLLBAR_SKIN* pSkin;
  int32_t NumItems, v, PageSize;
  int32_t PressedPart;  // 0 none, 1 right/down arrow, 2 left/up arrow, 3 thumb
  int32_t RepeatStep;   // 0 = no auto-repeat
  int32_t TargetValue;
  WM_HTIMER hTimer;
};

constexpr int kMinThumb = 4;
constexpr int kFirstDelay = 400;
constexpr int kRepeatDelay = 50;
constexpr int32_t kMsgInsideChanged = 37;

int16_t DefaultWidth = 11;
GUI_COLOR aDefaultColor[3] = {0x808080, 0xC0C0C0, 0x000000};

SCROLLBAR_Obj* Obj(WM_HWIN h) { return WIDGET__Lock<SCROLLBAR_Obj>(h); }

// Layout of the flat skin: square arrows at both ends (shorter when the bar is short), a
// thumb whose length follows the page size, at least four pixels.
void GetPositionsFlat(WM_HWIN hObj, SCROLLBAR_POSITIONS* pPos) {
  SCROLLBAR_Obj* p = Obj(hObj);
  if (!p) {
    *pPos = {};
    return;
  }
  int len = WIDGET__GetXSize(&p->Widget), thick = WIDGET__GetYSize(&p->Widget);
  int arrow = thick;
  if (2 * arrow > len) arrow = len / 2;
  int shaft = len - 2 * arrow;
  int thumb = shaft;
  int range = p->NumItems - p->PageSize;
  if (range > 0 && p->NumItems > 0) {
    thumb = int(int64_t(shaft) * p->PageSize / p->NumItems);
    if (thumb < kMinThumb) thumb = kMinThumb;
    if (thumb > shaft) thumb = shaft;
  }
  int move = shaft - thumb;
  int off = (range > 0 && move > 0) ? int((int64_t(move) * p->v + range / 2) / range) : 0;
  if (off > move) off = move;
  if (off < 0) off = 0;
  pPos->x1_LeftArrow = arrow - 1;
  pPos->x0_Thumb = arrow + off;
  pPos->x1_Thumb = arrow + off + thumb - 1;
  pPos->x0_RightArrow = len - arrow;
  pPos->x1 = len - 1;
  pPos->xSizeMoveable = move;
  pPos->ThumbSize = thumb;
}

// The flat skin: shaft in colour 1, the thumb in colour 0 with a frame, arrows as framed
// squares with a triangle in colour 2.
void PaintFlat(WM_HWIN hObj) {
  SCROLLBAR_Obj* p = Obj(hObj);
  if (!p) return;
  SCROLLBAR_POSITIONS pos;
  p->pSkin->pfGetPositions(hObj, &pos);
  p = Obj(hObj);
  const WIDGET* w = &p->Widget;
  int thick = WIDGET__GetYSize(w);
  GUI_RECT r = {0, 0, int16_t(pos.x1), int16_t(thick - 1)};
  GUI_SetColor(p->aColor[1]);
  WIDGET__FillRectEx(w, &r);
  GUI_SetColor(WIDGET_COLOR_FRAME);
  if (pos.x1_LeftArrow >= 0) {
    GUI_RECT ra = {0, 0, int16_t(pos.x1_LeftArrow), int16_t(thick - 1)};
    WIDGET__DrawRectEx(w, &ra);
    GUI_RECT rb = {int16_t(pos.x0_RightArrow), 0, int16_t(pos.x1), int16_t(thick - 1)};
    WIDGET__DrawRectEx(w, &rb);
    int arrowLen = pos.x1_LeftArrow + 1;
    int size = (thick < arrowLen ? thick : arrowLen) / 2 - 2;
    if (size > 0) {
      GUI_SetColor(p->aColor[2]);
      int yc = (thick - 1) / 2;
      int xc = pos.x1_LeftArrow / 2;
      WIDGET__DrawTriangle(w, xc + size / 2, yc, size, -1);
      WIDGET__DrawTriangle(w, pos.x0_RightArrow + xc - size / 2, yc, size, +1);
    }
  }
  if (pos.ThumbSize > 0 && pos.xSizeMoveable > 0) {
    GUI_RECT rt = {int16_t(pos.x0_Thumb), 0, int16_t(pos.x1_Thumb), int16_t(thick - 1)};
    GUI_SetColor(p->aColor[0]);
    WIDGET__FillRectEx(w, &rt);
    GUI_SetColor(WIDGET_COLOR_FRAME);
    WIDGET__DrawRectEx(w, &rt);
  }
  if (p->Widget.State & WIDGET_STATE_FOCUS) {
    GUI_RECT rf;
    WM_GetClientRect(&rf);
    GUI_SetColor(WIDGET_COLOR_FOCUS);
    GUI_DrawFocusRect(&rf, 0);
  }
}

const SCROLLBAR_SKIN SkinFlat = {PaintFlat, GetPositionsFlat};

void PartnerUpdate(WM_HWIN hObj) {
  WM_HWIN hPartner = WM_GetScrollPartner(hObj);
  if (hPartner) WM_InvalidateWindow(hPartner);
  WM_HWIN hParent = WM_GetParent(hObj);
  if (hParent) {
    WM_MESSAGE msg{};
    msg.MsgId = kMsgInsideChanged;
    msg.hWinSrc = hObj;
    WM_SendMessage(hParent, &msg);
  }
}

void StopRepeat(WM_HWIN hObj) {
  SCROLLBAR_Obj* p = Obj(hObj);
  if (!p) return;
  WM_HTIMER hTimer = p->hTimer;
  p->hTimer = 0;
  p->RepeatStep = 0;
  if (hTimer) WM_DeleteTimer(hTimer);
}

void OnTimer(WM_HWIN hObj) {
  SCROLLBAR_Obj* p = Obj(hObj);
  if (!p || !p->hTimer) return;
  int step = p->RepeatStep;
  SCROLLBAR_AddValue(hObj, step);
  p = Obj(hObj);
  if (!p) return;
  if ((step > 0 && p->v >= p->TargetValue) || (step < 0 && p->v <= p->TargetValue) || step == 0) {
    p->v = p->TargetValue;
    StopRepeat(hObj);
    WM_InvalidateWindow(hObj);
  } else {
    WM_RestartTimer(p->hTimer, kRepeatDelay);
  }
}

void OnPressed(WM_HWIN hObj, const GUI_PID_STATE* pState) {
  SCROLLBAR_Obj* p = Obj(hObj);
  if (!p) return;
  SCROLLBAR_POSITIONS pos;
  p->pSkin->pfGetPositions(hObj, &pos);
  p = Obj(hObj);
  int x = (p->Widget.State & WIDGET_STATE_VERTICAL) ? pState->y : pState->x;
  int r = pos.xSizeMoveable, s = pos.ThumbSize, a = pos.x1_LeftArrow;
  int range = p->NumItems - p->PageSize;
  // The value for the thumb centred under the pointer; only a bar with room for the thumb
  // to move has one (no division by a zero range).
  auto posValue = [&]() { return GUI__DivideRound(range * (x - s / 2 - 1 - a), r); };
  int v = p->v;
  if (p->PressedPart == 3) {
    StopRepeat(hObj);
    p = Obj(hObj);
    if (r >= 1) v = posValue();
  } else {
    int step = 0;
    if (x <= a) {
      step = -1;
      if (p->PressedPart != 2) {
        StopRepeat(hObj);
        p = Obj(hObj);
        v -= 1;
        p->PressedPart = 2;
      }
    } else if (x < pos.x0_Thumb) {
      step = -p->PageSize;
      v -= p->PageSize;
    } else if (x <= pos.x1_Thumb) {
      p->PressedPart = 3;
      if (r >= 1) v = posValue();
    } else if (x < pos.x0_RightArrow) {
      step = p->PageSize;
      v += p->PageSize;
    } else {
      step = 1;
      if (p->PressedPart != 1) {
        StopRepeat(hObj);
        p = Obj(hObj);
        v += 1;
        p->PressedPart = 1;
      }
    }
    p->TargetValue = r >= 1 ? posValue() : (p->PressedPart == 1 ? p->NumItems - 1 : 0);
    if (step && !p->hTimer) {
      p->RepeatStep = step;
      WM_HTIMER hTimer = WM_CreateTimer(hObj, 0, kFirstDelay);
      if ((p = Obj(hObj))) p->hTimer = hTimer;
    } else if (!step && p->hTimer) {
      StopRepeat(hObj);
    }
  }
  WM_SetCapture(hObj, 1);
  SCROLLBAR_SetValue(hObj, v);
  p = Obj(hObj);
  if (p && !(p->Widget.State & WIDGET_STATE_PRESSED)) {
    WIDGET_OrState(hObj, WIDGET_STATE_PRESSED);
    if (WIDGET__IsVisible(hObj)) WM_NotifyParent(hObj, WM_NOTE_CLICKED);
  }
}

void OnReleased(WM_HWIN hObj) {
  SCROLLBAR_Obj* p = Obj(hObj);
  if (!p || !(p->Widget.State & WIDGET_STATE_PRESSED)) return;
  WIDGET_AndState(hObj, WIDGET_STATE_PRESSED);
  StopRepeat(hObj);
  if ((p = Obj(hObj))) p->PressedPart = 0;
  if (WIDGET__IsVisible(hObj)) WM_NotifyParent(hObj, WM_NOTE_RELEASED);
}

void Callback(WM_MESSAGE* pMsg) {
  WM_HWIN hObj = pMsg->hWin;
  SCROLLBAR_Obj* p = WIDGET__LockMsg<SCROLLBAR_Obj>(pMsg);
  if (!p) return;
  switch (pMsg->MsgId) {
    case WM_MSG_DELETE:
      StopRepeat(hObj);
      PartnerUpdate(hObj);
      break;
    case WM_MSG_KEY: {
      const WM_KEY_INFO* pKey = WIDGET__KeyInfo(pMsg);
      if (pKey && pKey->PressedCnt > 0) {
        switch (pKey->Key) {
          case 16:
          case 17:
            SCROLLBAR_Dec(hObj);
            return;
          case 18:
          case 19:
            SCROLLBAR_Inc(hObj);
            return;
          case 33:
            SCROLLBAR_AddValue(hObj, p->PageSize);
            return;
          case 34:
            SCROLLBAR_AddValue(hObj, -p->PageSize);
            return;
          default:
            break;
        }
      }
      break;
    }
    case WM_MSG_PAINT:
      p->pSkin->pfPaint(hObj);
      return;
    case WM_MSG_GET_SCROLL_STATE: {
      auto* pState = static_cast<WM_SCROLL_STATE*>(const_cast<void*>(pMsg->Data.p));
      if (pState) *pState = {p->NumItems, p->v, p->PageSize};
      return;
    }
    case WM_MSG_SET_SCROLL_STATE: {
      const auto* pState = static_cast<const WM_SCROLL_STATE*>(pMsg->Data.p);
      if (pState && (pState->NumItems != p->NumItems || pState->v != p->v || pState->PageSize != p->PageSize)) {
        p->NumItems = pState->NumItems;
        p->v = pState->v;
        p->PageSize = pState->PageSize;
        WM_InvalidateWindow(hObj);
        WM_NotifyParent(hObj, WM_NOTE_VALUE_CHANGED);
      }
      return;
    }
    case WM_MSG_TIMER:
      OnTimer(hObj);
      return;
    case WM_MSG_PID_TOUCH: {
      const GUI_PID_STATE* pState = WIDGET__PIDState(pMsg);
      if (pState) {
        if (pState->Pressed)
          OnPressed(hObj, pState);
        else
          OnReleased(hObj);
      }
      return;
    }
    default:
      break;
  }
  if (WIDGET_HandleActive(hObj, pMsg)) WM_DefaultProc(pMsg);
}

}  // namespace

WM_HWIN SCROLLBAR_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                             int id, int numExtraBytes) {
  GUI_LockGuard lock;
  if (numExtraBytes < 0) numExtraBytes = 0;
  if (xSize == 0 && ySize == 0) {
    GUI_RECT r;
    WM_GetInsideRectEx(hParent, &r);
    int w = DefaultWidth;
    if (exFlags & SCROLLBAR_CF_VERTICAL) {
      x0 = r.x1 - w + 1;
      y0 = r.y0;
      xSize = w;
      ySize = r.y1 - r.y0 + 1;
    } else {
      x0 = r.x0;
      y0 = r.y1 - w + 1;
      xSize = r.x1 - r.x0 + 1;
      ySize = w;
    }
  }
  uint16_t state = (id == GUI_ID_HSCROLL || id == GUI_ID_VSCROLL)
                       ? uint16_t(exFlags & (SCROLLBAR_CF_VERTICAL | WIDGET_STATE_FOCUSABLE))
                       : uint16_t((exFlags & SCROLLBAR_CF_VERTICAL) | WIDGET_STATE_FOCUSABLE);
  WM_HWIN h = WM_CreateWindowAsChild(x0, y0, xSize, ySize, hParent, winFlags, Callback,
                                     int(sizeof(SCROLLBAR_Obj) - sizeof(WM_Obj)) + numExtraBytes);
  if (!h) {
    GUI_ErrorOut("SCROLLBAR:\nSCROLLBAR_Create failed");
    return 0;
  }
  auto* p = static_cast<SCROLLBAR_Obj*>(GUI_ALLOC_h2p(h));
  WIDGET__Init(&p->Widget, id, state);
  p->Widget.DebugId = SCROLLBAR_Obj::kTag;
  for (int i = 0; i < 3; ++i) p->aColor[i] = aDefaultColor[i];
  p->pSkin = &SkinFlat;
  p->NumItems = 100;
  p->v = 0;
  p->PageSize = 10;
  WM_InvalidateWindow(h);
  PartnerUpdate(h);
  return h;
}
WM_HWIN SCROLLBAR_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                           int id) {
  return SCROLLBAR_CreateUser(x0, y0, xSize, ySize, hParent, winFlags, exFlags, id, 0);
}
WM_HWIN SCROLLBAR_Create(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, int id, uint32_t winFlags, int barFlags) {
  return SCROLLBAR_CreateUser(x0, y0, xSize, ySize, hParent, winFlags, barFlags, id, 0);
}
WM_HWIN SCROLLBAR_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK*) {
  return SCROLLBAR_CreateUser(pItem->x0 + x0, pItem->y0 + y0, pItem->xSize, pItem->ySize, hParent, 0, pItem->Flags,
                              pItem->Id, int(pItem->NumExtraBytes));
}
WM_HWIN SCROLLBAR_CreateAttached(WM_HWIN hParent, int barFlags) {
  GUI_LockGuard lock;
  WM_HWIN h = (barFlags & SCROLLBAR_CF_VERTICAL)
                  ? SCROLLBAR_CreateUser(0, 0, 0, 0, hParent, 0x58A, barFlags, GUI_ID_VSCROLL, 0)
                  : SCROLLBAR_CreateUser(0, 0, 0, 0, hParent, 0x38A, barFlags, GUI_ID_HSCROLL, 0);
  if (h) WM_NotifyParent(h, WM_NOTE_SCROLLBAR_ADDED);
  return h;
}

void SCROLLBAR_SetValue(WM_HWIN hObj, int v) {
  GUI_LockGuard lock;
  SCROLLBAR_Obj* p = Obj(hObj);
  if (!p) return;
  int max = p->NumItems - p->PageSize;
  if (max < 0) max = 0;
  if (v > max) v = max;
  if (v < 0) v = 0;
  if (v == p->v) return;
  p->v = v;
  WM_InvalidateWindow(hObj);
  WM_NotifyParent(hObj, WM_NOTE_VALUE_CHANGED);
}
void SCROLLBAR_AddValue(WM_HWIN hObj, int add) {
  GUI_LockGuard lock;
  SCROLLBAR_Obj* p = Obj(hObj);
  if (p) SCROLLBAR_SetValue(hObj, int(int64_t(p->v) + add > INT32_MAX ? INT32_MAX : p->v + int64_t(add)));
}
void SCROLLBAR_Inc(WM_HWIN hObj) { SCROLLBAR_AddValue(hObj, 1); }
void SCROLLBAR_Dec(WM_HWIN hObj) { SCROLLBAR_AddValue(hObj, -1); }
int SCROLLBAR_GetValue(WM_HWIN hObj) {
  GUI_LockGuard lock;
  SCROLLBAR_Obj* p = Obj(hObj);
  return p ? p->v : 0;
}
void SCROLLBAR_SetNumItems(WM_HWIN hObj, int numItems) {
  GUI_LockGuard lock;
  SCROLLBAR_Obj* p = Obj(hObj);
  if (!p || p->NumItems == numItems) return;
  p->NumItems = numItems;
  WM_InvalidateWindow(hObj);
}
void SCROLLBAR_SetPageSize(WM_HWIN hObj, int pageSize) {
  GUI_LockGuard lock;
  SCROLLBAR_Obj* p = Obj(hObj);
  if (!p || p->PageSize == pageSize) return;
  p->PageSize = pageSize;
  WM_InvalidateWindow(hObj);
}
void SCROLLBAR_SetState(WM_HWIN hObj, const WM_SCROLL_STATE* pState) {
  GUI_LockGuard lock;
  if (!pState) return;
  SCROLLBAR_SetPageSize(hObj, pState->PageSize);
  SCROLLBAR_SetNumItems(hObj, pState->NumItems);
  SCROLLBAR_SetValue(hObj, pState->v);
}
GUI_COLOR SCROLLBAR_SetColor(WM_HWIN hObj, int index, GUI_COLOR color) {
  GUI_LockGuard lock;
  SCROLLBAR_Obj* p = Obj(hObj);
  if (!p || index < 0 || index > 2) return 0;
  GUI_COLOR old = p->aColor[index];
  if (old != color) {
    p->aColor[index] = color;
    WM_InvalidateWindow(hObj);
  }
  return old;
}
void SCROLLBAR_SetWidth(WM_HWIN hObj, int width) {
  GUI_LockGuard lock;
  if (!Obj(hObj)) return;
  WIDGET_SetWidth(hObj, width);
  PartnerUpdate(hObj);
}
int SCROLLBAR_GetDefaultWidth() { return DefaultWidth; }
int SCROLLBAR_SetDefaultWidth(int width) {
  GUI_LockGuard lock;
  int old = DefaultWidth;
  DefaultWidth = int16_t(width);
  return old;
}
GUI_COLOR SCROLLBAR_SetDefaultColor(GUI_COLOR color, unsigned index) {
  GUI_LockGuard lock;
  if (index > 2) return 0;
  GUI_COLOR old = aDefaultColor[index];
  aDefaultColor[index] = color;
  return old;
}
void SCROLLBAR_GetPositions(WM_HWIN hObj, SCROLLBAR_POSITIONS* pPos) {
  GUI_LockGuard lock;
  SCROLLBAR_Obj* p = Obj(hObj);
  if (!p || !pPos) return;
  p->pSkin->pfGetPositions(hObj, pPos);
}
namespace {
int SetScrollbar(WM_HWIN hWin, int onOff, int id, int barFlags) {
  GUI_LockGuard lock;
  if (!hWin) return 0;
  WM_HWIN h = WM_GetDialogItem(hWin, id);
  if (onOff) {
    if (h) {
      if (WM_Obj* p = WM_H2P(h)) p->Status &= ~WM_STATUS_DELETE_PENDING;
      WM_ShowWindow(h);
    } else {
      SCROLLBAR_CreateAttached(hWin, barFlags);
    }
  } else if (h) {
    WM_HideWindow(h);
    WM_MarkForDeletion(h);
  }
  return h ? 1 : 0;
}
}  // namespace

int WM_SetScrollbarH(WM_HWIN hWin, int onOff) { return SetScrollbar(hWin, onOff, GUI_ID_HSCROLL, 0); }
int WM_SetScrollbarV(WM_HWIN hWin, int onOff) {
  return SetScrollbar(hWin, onOff, GUI_ID_VSCROLL, SCROLLBAR_CF_VERTICAL);
}
int SCROLLBAR_GetUserData(WM_HWIN hObj, void* pDest, int size) {
  return WIDGET__GetUserDataOf<SCROLLBAR_Obj>(hObj, pDest, size);
}
int SCROLLBAR_SetUserData(WM_HWIN hObj, const void* pSrc, int size) {
  return WIDGET__SetUserDataOf<SCROLLBAR_Obj>(hObj, pSrc, size);
}
