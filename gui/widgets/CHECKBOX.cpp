// CHECKBOX widget: a box with a text beside it and a number of states (unchecked, checked);
// a click or the space key steps to the next state and tells the parent.
#include "gui/GUI_Private.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/widgets/Widget_Intern.h"

namespace {

constexpr int kNumImages = 6;

struct CHECKBOX_PROPS {
  const GUI_FONT* pFont;
  GUI_COLOR aBkColorBox[2];  // disabled, enabled
  GUI_COLOR BkColor;
  GUI_COLOR TextColor;
  GUI_COLOR FocusColor;
  void (*pfGetDefaultSize)(int* pxSize, int* pySize);
  void (*pfPaint)(WM_HWIN hObj);
  int16_t Align;
  int16_t Spacing;  // gap between box and text
  int32_t Reserved[2];
  // Pictures of the states 1.. (null: the skin draws its own mark). Six slots, so that every
  // index the setter accepts has a place.
  const GUI_BITMAP* apBm[kNumImages];
};

struct CHECKBOX_Obj {
  static constexpr uint32_t kTag = WIDGET_TAG('C', 'H', 'E', 'C');
  static constexpr const char* kLockError = "CHECKBOX:\nWrong handle type or Object not init'ed in CHECKBOX_LockH()";
  WIDGET Widget;
  CHECKBOX_PROPS Props;
  const void* pSkin;
  uint8_t NumStates;
  uint8_t CurrentState;
  GUI_HMEM hText;
  int16_t BoxSize;
};

void GetDefaultSize(int* pxSize, int* pySize);
void PaintFlat(WM_HWIN hObj);

CHECKBOX_PROPS DefaultProps = {&GUI_FontProp13,
                               {0x808080, 0xFFFFFF},
                               0xC0C0C0,
                               0x000000,
                               0x000000,
                               GetDefaultSize,
                               PaintFlat,
                               GUI_TA_VCENTER | GUI_TA_LEFT,
                               4,
                               {0, 0},
                               {}};

constexpr int kBoxSize = 15;

void GetDefaultSize(int* pxSize, int* pySize) {
  *pxSize = kBoxSize;
  *pySize = kBoxSize;
}

// The flat skin: a framed box, a check mark for state 1 and a filled square for further
// states, the text beside the box.
void PaintFlat(WM_HWIN hObj) {
  CHECKBOX_Obj* p = WIDGET__Lock<CHECKBOX_Obj>(hObj);
  if (!p) return;
  GUI_RECT r;
  WM_GetClientRect(&r);
  if (p->Props.BkColor <= 0xFFFFFF) {
    GUI_SetBkColor(p->Props.BkColor);
    GUI_Clear();
  }
  int box = p->BoxSize;
  int y0 = (r.y1 + 1 - box) / 2;
  GUI_RECT rb = {0, int16_t(y0), int16_t(box - 1), int16_t(y0 + box - 1)};
  GUI_SetColor(WIDGET_COLOR_FRAME);
  GUI_DrawRectEx(&rb);
  GUI_SetColor(p->Props.aBkColorBox[WM_IsEnabled(hObj) ? 1 : 0]);
  GUI_FillRect(rb.x0 + 1, rb.y0 + 1, rb.x1 - 1, rb.y1 - 1);
  GUI_SetColor(WIDGET_COLOR_FRAME);
  if (p->CurrentState == 1) {
    // A tick of two strokes, two pixels thick.
    int x = rb.x0 + 3, y = rb.y0 + box / 2;
    for (int i = 0; i < 3; ++i) GUI_DrawVLine(x + i, y + i - 1, y + i);
    int xm = x + 2, ym = y + 2;
    for (int i = 1; xm + i <= rb.x1 - 3; ++i) GUI_DrawVLine(xm + i, ym - i - 1, ym - i);
  } else if (p->CurrentState > 1) {
    GUI_FillRect(rb.x0 + 3, rb.y0 + 3, rb.x1 - 3, rb.y1 - 3);
  }
  if (p->hText) {
    GUI_RECT rt = r;
    rt.x0 = int16_t(box + p->Props.Spacing);
    GUI_SetColor(p->Props.TextColor);
    GUI_SetFont(p->Props.pFont);
    GUI_SetTextMode(GUI_TEXTMODE_TRANS);
    const char* s = static_cast<const char*>(GUI_ALLOC_h2p(p->hText));
    GUI_DispStringInRect(s, &rt, p->Props.Align);
    if (p->Widget.State & WIDGET_STATE_FOCUS) {
      GUI_RECT rf;
      GUI__CalcTextRect(s, &rt, &rf, p->Props.Align);
      GUI_RECT rFocus;
      GUI__ExpandRect(&rFocus, &rf, 1);
      GUI_SetColor(p->Props.FocusColor);
      GUI_DrawFocusRect(&rFocus, 0);
    }
  }
}

// Steps to the next state (SetState notifies the parent).
void Step(WM_HWIN hObj) {
  CHECKBOX_Obj* p = WIDGET__Lock<CHECKBOX_Obj>(hObj);
  if (!p || p->NumStates == 0) return;
  CHECKBOX_SetState(hObj, unsigned((p->CurrentState + 1) % p->NumStates));
}

void Callback(WM_MESSAGE* pMsg) {
  WM_HWIN hObj = pMsg->hWin;
  CHECKBOX_Obj* p = WIDGET__LockMsg<CHECKBOX_Obj>(pMsg);
  if (!p) return;
  if (!WIDGET_HandleActive(hObj, pMsg)) return;
  switch (pMsg->MsgId) {
    case WM_MSG_DELETE: {
      p = WIDGET__Lock<CHECKBOX_Obj>(hObj);
      GUI_HMEM hText = p->hText;
      p->hText = 0;
      GUI_ALLOC_Free(hText);
      break;
    }
    case WM_MSG_KEY: {
      const WM_KEY_INFO* pKey = WIDGET__KeyInfo(pMsg);
      if (pKey && pKey->Key == 32 && pKey->PressedCnt > 0 && WM_IsEnabled(hObj)) Step(hObj);
      break;
    }
    case WM_MSG_PAINT:
      p->Props.pfPaint(hObj);
      return;
    case WM_MSG_PID_TOUCH: {
      const GUI_PID_STATE* pState = WIDGET__PIDState(pMsg);
      if (!pState) {
        WM_NotifyParent(hObj, WM_NOTE_MOVED_OUT);
      } else if (!pState->Pressed) {
        int id = p->Widget.Id;
        WM_NotifyParent(hObj, WM_NOTE_RELEASED);
        GUI_StoreKey(id);
      } else if (!WIDGET__HasCapture(hObj)) {
        WM_SetCapture(hObj, 1);
        Step(hObj);
        WM_NotifyParent(hObj, WM_NOTE_CLICKED);
      } else {
        WM_NotifyParent(hObj, 0);
      }
      break;
    }
    default:
      break;
  }
  WM_DefaultProc(pMsg);
}

}  // namespace

WM_HWIN CHECKBOX_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int /*exFlags*/,
                            int id, int numExtraBytes) {
  GUI_LockGuard lock;
  if (numExtraBytes < 0) numExtraBytes = 0;
  int xDef, yDef;
  DefaultProps.pfGetDefaultSize(&xDef, &yDef);
  if (xSize == 0) xSize = xDef;
  if (ySize == 0) ySize = yDef;
  if (DefaultProps.BkColor == GUI_INVALID_COLOR) winFlags |= WM_STATUS_TRANSPARENT;
  WM_HWIN h = WM_CreateWindowAsChild(x0, y0, xSize, ySize, hParent, winFlags, Callback,
                                     int(sizeof(CHECKBOX_Obj) - sizeof(WM_Obj)) + numExtraBytes);
  if (!h) {
    GUI_ErrorOut("CHECKBOX:\nCHECKBOX_CreateUser() failed");
    return 0;
  }
  auto* p = static_cast<CHECKBOX_Obj*>(GUI_ALLOC_h2p(h));
  WIDGET__Init(&p->Widget, id, WIDGET_STATE_FOCUSABLE);
  p->Widget.DebugId = CHECKBOX_Obj::kTag;
  p->Props = DefaultProps;
  p->pSkin = nullptr;
  p->NumStates = 2;
  p->CurrentState = 0;
  p->hText = 0;
  p->BoxSize = kBoxSize;
  WM_InvalidateWindow(h);
  return h;
}
WM_HWIN CHECKBOX_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                          int id) {
  return CHECKBOX_CreateUser(x0, y0, xSize, ySize, hParent, winFlags, exFlags, id, 0);
}
WM_HWIN CHECKBOX_Create(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, int id, uint32_t flags) {
  return CHECKBOX_CreateUser(x0, y0, xSize, ySize, hParent, flags, 0, id, 0);
}
WM_HWIN CHECKBOX_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK*) {
  return CHECKBOX_CreateUser(pItem->x0 + x0, pItem->y0 + y0, pItem->xSize, pItem->ySize, hParent, 0, pItem->Flags,
                             pItem->Id, int(pItem->NumExtraBytes));
}

void CHECKBOX_SetState(WM_HWIN hObj, unsigned state) {
  GUI_LockGuard lock;
  CHECKBOX_Obj* p = WIDGET__Lock<CHECKBOX_Obj>(hObj);
  if (!p || state >= p->NumStates || state == p->CurrentState) return;
  p->CurrentState = uint8_t(state);
  WM_InvalidateWindow(hObj);
  WM_NotifyParent(hObj, WM_NOTE_VALUE_CHANGED);
}
int CHECKBOX_GetState(WM_HWIN hObj) {
  GUI_LockGuard lock;
  CHECKBOX_Obj* p = WIDGET__Lock<CHECKBOX_Obj>(hObj);
  return p ? p->CurrentState : 0;
}
int CHECKBOX_IsChecked(WM_HWIN hObj) { return CHECKBOX_GetState(hObj) == 1; }
void CHECKBOX_SetText(WM_HWIN hObj, const char* s) {
  GUI_LockGuard lock;
  CHECKBOX_Obj* p = WIDGET__Lock<CHECKBOX_Obj>(hObj);
  if (!p) return;
  GUI_HMEM hText = p->hText;
  if (GUI__SetText(&hText, s)) {
    WIDGET__Lock<CHECKBOX_Obj>(hObj)->hText = hText;
    WM_InvalidateWindow(hObj);
  }
}
void CHECKBOX_SetBkColor(WM_HWIN hObj, GUI_COLOR color) {
  GUI_LockGuard lock;
  CHECKBOX_Obj* p = WIDGET__Lock<CHECKBOX_Obj>(hObj);
  if (!p || p->Props.BkColor == color) return;
  p->Props.BkColor = color;
  if (color > 0xFFFFFF)
    WM_SetHasTrans(hObj);
  else
    WM_ClrHasTrans(hObj);
  WM_InvalidateWindow(hObj);
}
void CHECKBOX_SetDefaultImage(const GUI_BITMAP* pBitmap, unsigned index) {
  GUI_LockGuard lock;
  if (index < unsigned(kNumImages)) DefaultProps.apBm[index] = pBitmap;
}
int CHECKBOX_GetUserData(WM_HWIN hObj, void* pDest, int size) {
  return WIDGET__GetUserDataOf<CHECKBOX_Obj>(hObj, pDest, size);
}
int CHECKBOX_SetUserData(WM_HWIN hObj, const void* pSrc, int size) {
  return WIDGET__SetUserDataOf<CHECKBOX_Obj>(hObj, pSrc, size);
}
