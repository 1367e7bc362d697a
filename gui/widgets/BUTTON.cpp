// BUTTON widget: a push button pressed by the pointer or by the Enter or space key. It tells
// its parent clicked, released or moved out, and a release inside stores its id as the
// pending key of the graphics core.
#include "gui/GUI_Private.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/widgets/Widget_Intern.h"

namespace {

struct BUTTON_PROPS {
  GUI_COLOR aBkColor[3];    // unpressed, pressed, disabled
  GUI_COLOR aTextColor[3];  // unpressed, pressed, disabled
  GUI_COLOR aFocusColor[2];
  const GUI_FONT* pFont;
  void (*pfDrawSkin)(WM_HWIN hObj);
  int16_t Align;
  int16_t Reserved;
};

struct BUTTON_Obj {
  static constexpr uint32_t kTag = WIDGET_TAG('B', 'U', 'T', 'T');
  static constexpr const char* kLockError = "BUTTON:\nWrong handle type or Object not init'ed in BUTTON_LockH()";
  WIDGET Widget;
  BUTTON_PROPS Props;
  const void* pSkin;
  GUI_HMEM hText;
  GUI_HMEM ahBitmap[3];
};

void DrawFlat(WM_HWIN hObj);

BUTTON_PROPS DefaultProps = {{0xAAAAAA, 0xFFFFFF, 0xD3D3D3}, {0x000000, 0x000000, 0x404040}, {0, 0},
                             &GUI_FontProp13, DrawFlat, GUI_TA_HCENTER | GUI_TA_VCENTER, 0};
bool ReactOnLevel = false;

// The flat skin: a filled face with a one-pixel frame, the text centred; the focused button
// gets a dotted focus rectangle inside the frame.
void DrawFlat(WM_HWIN hObj) {
  BUTTON_Obj* p = WIDGET__Lock<BUTTON_Obj>(hObj);
  if (!p) return;
  int i = !WM_IsEnabled(hObj) ? 2 : (p->Widget.State & WIDGET_STATE_PRESSED) ? 1 : 0;
  GUI_RECT r;
  WM_GetClientRect(&r);
  GUI_SetColor(WIDGET_COLOR_FRAME);
  GUI_DrawRectEx(&r);
  GUI_RECT inner;
  GUI__ReduceRect(&inner, &r, 1);
  GUI_SetColor(p->Props.aBkColor[i]);
  GUI_FillRectEx(&inner);
  if (p->hText) {
    GUI_SetColor(p->Props.aTextColor[i]);
    GUI_SetFont(p->Props.pFont);
    GUI_SetTextMode(GUI_TEXTMODE_TRANS);
    GUI_DispStringInRect(static_cast<const char*>(GUI_ALLOC_h2p(p->hText)), &inner, p->Props.Align);
  }
  if (p->Widget.State & WIDGET_STATE_FOCUS) {
    GUI_SetColor(WIDGET_COLOR_FOCUS);
    GUI_DrawFocusRect(&inner, 1);
  }
}

void Press(WM_HWIN hObj) {
  WIDGET_OrState(hObj, WIDGET_STATE_PRESSED);
  if (WIDGET__IsVisible(hObj)) WM_NotifyParent(hObj, WM_NOTE_CLICKED);
}

void Release(WM_HWIN hObj, int code) {
  WIDGET_AndState(hObj, WIDGET_STATE_PRESSED);
  if (code == WM_NOTE_RELEASED) {
    BUTTON_Obj* p = WIDGET__Lock<BUTTON_Obj>(hObj);
    if (p) GUI_StoreKey(p->Widget.Id);
  }
  if (WIDGET__IsVisible(hObj)) WM_NotifyParent(hObj, code);
}

bool IsPressed(WM_HWIN hObj) {
  BUTTON_Obj* p = WIDGET__Lock<BUTTON_Obj>(hObj);
  return p && (p->Widget.State & WIDGET_STATE_PRESSED);
}

void OnTouch(WM_HWIN hObj, const GUI_PID_STATE* pState) {
  if (ReactOnLevel) {
    if ((!pState || !pState->Pressed) && IsPressed(hObj)) Release(hObj, WM_NOTE_MOVED_OUT);
    return;
  }
  if (!pState) {
    if (IsPressed(hObj)) Release(hObj, WM_NOTE_MOVED_OUT);
  } else if (pState->Pressed) {
    if (!IsPressed(hObj)) Press(hObj);
  } else if (IsPressed(hObj)) {
    Release(hObj, WM_NOTE_RELEASED);
  }
}

void OnLevel(WM_HWIN hObj, const WM_PID_STATE_CHANGED_INFO* pInfo) {
  if (!pInfo) return;
  if (pInfo->State && !pInfo->StatePrev) {
    if (!IsPressed(hObj)) Press(hObj);
  } else if (!pInfo->State && pInfo->StatePrev && IsPressed(hObj)) {
    Release(hObj, WM_NOTE_RELEASED);
  }
}

void Callback(WM_MESSAGE* pMsg) {
  WM_HWIN hObj = pMsg->hWin;
  BUTTON_Obj* p = WIDGET__LockMsg<BUTTON_Obj>(pMsg);
  if (!p) return;
  if (!WIDGET_HandleActive(hObj, pMsg)) return;
  switch (pMsg->MsgId) {
    case WM_MSG_DELETE: {
      p = WIDGET__Lock<BUTTON_Obj>(hObj);
      GUI_HMEM ah[4] = {p->hText, p->ahBitmap[0], p->ahBitmap[1], p->ahBitmap[2]};
      p->hText = p->ahBitmap[0] = p->ahBitmap[1] = p->ahBitmap[2] = 0;
      for (GUI_HMEM h : ah) GUI_ALLOC_Free(h);
      break;
    }
    case WM_MSG_KEY: {
      const WM_KEY_INFO* pKey = WIDGET__KeyInfo(pMsg);
      if (pKey && pKey->Key == 13) {
        if (pKey->PressedCnt > 0) {
          Press(hObj);
          Release(hObj, WM_NOTE_RELEASED);
        }
        return;
      }
      if (pKey && pKey->Key == 32) {
        if (pKey->PressedCnt > 0)
          Press(hObj);
        else
          Release(hObj, WM_NOTE_RELEASED);
        return;
      }
      break;
    }
    case WM_MSG_ENABLE_CHANGED:
      if (pMsg->Data.v == 0) WIDGET_AndState(hObj, WIDGET_STATE_PRESSED);
      break;
    case WM_MSG_PAINT:
      p->Props.pfDrawSkin(hObj);
      return;
    case WM_MSG_PID_TOUCH:
      OnTouch(hObj, WIDGET__PIDState(pMsg));
      return;
    case WM_MSG_PID_CHANGED:
      if (ReactOnLevel) {
        OnLevel(hObj, static_cast<const WM_PID_STATE_CHANGED_INFO*>(pMsg->Data.p));
        return;
      }
      break;
    default:
      break;
  }
  WM_DefaultProc(pMsg);
}

}  // namespace

WM_HWIN BUTTON_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int /*exFlags*/,
                          int id, int numExtraBytes) {
  GUI_LockGuard lock;
  if (numExtraBytes < 0) numExtraBytes = 0;
  WM_HWIN h = WM_CreateWindowAsChild(x0, y0, xSize, ySize, hParent, winFlags, Callback,
                                     int(sizeof(BUTTON_Obj) - sizeof(WM_Obj)) + numExtraBytes);
  if (!h) {
    GUI_ErrorOut("BUTTON:\nBUTTON_CreateUser() failed");
    return 0;
  }
  auto* p = static_cast<BUTTON_Obj*>(GUI_ALLOC_h2p(h));
  WIDGET__Init(&p->Widget, id, WIDGET_STATE_FOCUSABLE);
  p->Widget.DebugId = BUTTON_Obj::kTag;
  p->Props = DefaultProps;
  p->pSkin = nullptr;
  WM_InvalidateWindow(h);
  return h;
}
WM_HWIN BUTTON_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                        int id) {
  return BUTTON_CreateUser(x0, y0, xSize, ySize, hParent, winFlags, exFlags, id, 0);
}
WM_HWIN BUTTON_Create(int x0, int y0, int xSize, int ySize, int id, uint32_t flags) {
  return BUTTON_CreateUser(x0, y0, xSize, ySize, 0, flags, 0, id, 0);
}
WM_HWIN BUTTON_CreateAsChild(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, int id, uint32_t flags) {
  return BUTTON_CreateUser(x0, y0, xSize, ySize, hParent, flags, 0, id, 0);
}
WM_HWIN BUTTON_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK*) {
  WM_HWIN h = BUTTON_CreateUser(pItem->x0 + x0, pItem->y0 + y0, pItem->xSize, pItem->ySize, hParent, 0, pItem->Flags,
                                pItem->Id, int(pItem->NumExtraBytes));
  if (h) BUTTON_SetText(h, pItem->pName);
  return h;
}

int BUTTON_SetText(WM_HWIN hObj, const char* s) {
  GUI_LockGuard lock;
  BUTTON_Obj* p = WIDGET__Lock<BUTTON_Obj>(hObj);
  if (!p) return 1;
  GUI_HMEM hText = p->hText;
  const char* pOld = hText ? static_cast<const char*>(GUI_ALLOC_h2p(hText)) : nullptr;
  if (pOld && GUI__strcmp(pOld, s ? s : "") == 0) return 0;
  if (!GUI__SetText(&hText, s)) return 1;
  WIDGET__Lock<BUTTON_Obj>(hObj)->hText = hText;
  WM_InvalidateWindow(hObj);
  return 0;
}
void BUTTON_SetFont(WM_HWIN hObj, const GUI_FONT* pFont) {
  GUI_LockGuard lock;
  BUTTON_Obj* p = WIDGET__Lock<BUTTON_Obj>(hObj);
  if (!p) return;
  p->Props.pFont = pFont;
  WM_InvalidateWindow(hObj);
}
void BUTTON_SetState(WM_HWIN hObj, int state) {
  GUI_LockGuard lock;
  if (WIDGET__Lock<BUTTON_Obj>(hObj)) WIDGET_SetState(hObj, state);
}
void BUTTON_SetPressed(WM_HWIN hObj, int onOff) {
  GUI_LockGuard lock;
  if (!WIDGET__Lock<BUTTON_Obj>(hObj)) return;
  if (onOff)
    WIDGET_OrState(hObj, WIDGET_STATE_PRESSED);
  else
    WIDGET_AndState(hObj, WIDGET_STATE_PRESSED);
}
int BUTTON_IsPressed(WM_HWIN hObj) {
  GUI_LockGuard lock;
  return IsPressed(hObj) ? 1 : 0;
}
void BUTTON_SetReactOnLevel() { ReactOnLevel = true; }
void BUTTON_SetReactOnTouch() { ReactOnLevel = false; }
int BUTTON_GetUserData(WM_HWIN hObj, void* pDest, int size) {
  return WIDGET__GetUserDataOf<BUTTON_Obj>(hObj, pDest, size);
}
int BUTTON_SetUserData(WM_HWIN hObj, const void* pSrc, int size) {
  return WIDGET__SetUserDataOf<BUTTON_Obj>(hObj, pSrc, size);
}
