// TEXT widget: a static text drawn into the widget's inside rectangle with alignment and
// wrap mode, on the parent's background unless it has a background colour of its own.
#include "gui/GUI_Private.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/widgets/Widget_Intern.h"

namespace {

struct TEXT_Obj {
  static constexpr uint32_t kTag = WIDGET_TAG('T', 'E', 'X', 'T');
  static constexpr const char* kLockError = "TEXT:\nWrong handle type or Object not init'ed in TEXT_LockH()";
  WIDGET Widget;
  const GUI_FONT* pFont;
  GUI_COLOR TextColor;
  GUI_COLOR BkColor;
  int32_t WrapMode;
  GUI_HMEM hText;
  int16_t Align;
};

void Paint(WM_HWIN hObj) {
  TEXT_Obj* p = WIDGET__Lock<TEXT_Obj>(hObj);
  if (!p) return;
  GUI_SetColor(p->TextColor);
  GUI_SetFont(p->pFont);
  if (p->BkColor <= 0xFFFFFF) {
    GUI_SetBkColor(p->BkColor);
    GUI_Clear();
  }
  if (p->hText) {
    GUI_RECT r;
    WIDGET__GetInsideRect(&p->Widget, &r);
    int align = p->Align, wrap = p->WrapMode;
    const char* s = static_cast<const char*>(GUI_ALLOC_h2p(p->hText));
    GUI_SetTextMode(GUI_TEXTMODE_TRANS);
    GUI_DispStringInRectWrap(s, &r, align, wrap);
  }
}

void Callback(WM_MESSAGE* pMsg) {
  WM_HWIN hObj = pMsg->hWin;
  TEXT_Obj* p = WIDGET__LockMsg<TEXT_Obj>(pMsg);
  if (!p) return;
  if (!WIDGET_HandleActive(hObj, pMsg)) return;
  switch (pMsg->MsgId) {
    case WM_MSG_PAINT:
      Paint(hObj);
      return;
    case WM_MSG_PID_TOUCH: {
      WIDGET__NotifyTouch(hObj, WIDGET__PIDState(pMsg));
      return;
    }
    case WM_MSG_DELETE: {
      p = WIDGET__Lock<TEXT_Obj>(hObj);
      GUI_HMEM hText = p->hText;
      p->hText = 0;
      GUI_ALLOC_Free(hText);
      break;
    }
    default:
      break;
  }
  WM_DefaultProc(pMsg);
}

}  // namespace

WM_HWIN TEXT_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id,
                        const char* pText, int numExtraBytes) {
  GUI_LockGuard lock;
  if (numExtraBytes < 0) numExtraBytes = 0;
  WM_HWIN h = WM_CreateWindowAsChild(x0, y0, xSize, ySize, hParent, winFlags | WM_STATUS_TRANSPARENT, Callback,
                                     int(sizeof(TEXT_Obj) - sizeof(WM_Obj)) + numExtraBytes);
  if (!h) {
    GUI_ErrorOut("TEXT:\nTEXT_CreateUser() failed");
    return 0;
  }
  GUI_HMEM hText = 0;
  if (pText) GUI__SetText(&hText, pText);  // without memory the widget is made without text
  auto* p = static_cast<TEXT_Obj*>(GUI_ALLOC_h2p(h));
  WIDGET__Init(&p->Widget, id, 0);
  p->Widget.DebugId = TEXT_Obj::kTag;
  p->pFont = &GUI_FontProp13;
  p->TextColor = 0x000000;
  p->BkColor = GUI_INVALID_COLOR;
  p->WrapMode = GUI_WRAPMODE_NONE;
  p->hText = hText;
  p->Align = int16_t(exFlags);
  WM_InvalidateWindow(h);
  return h;
}
WM_HWIN TEXT_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id,
                      const char* pText) {
  return TEXT_CreateUser(x0, y0, xSize, ySize, hParent, winFlags, exFlags, id, pText, 0);
}
WM_HWIN TEXT_Create(int x0, int y0, int xSize, int ySize, int id, uint32_t flags, const char* s, int align) {
  return TEXT_CreateUser(x0, y0, xSize, ySize, 0, flags, align, id, s, 0);
}
WM_HWIN TEXT_CreateAsChild(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, int id, uint32_t flags,
                           const char* s, int align) {
  return TEXT_CreateUser(x0, y0, xSize, ySize, hParent, flags, align, id, s, 0);
}
WM_HWIN TEXT_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK*) {
  return TEXT_CreateUser(pItem->x0 + x0, pItem->y0 + y0, pItem->xSize, pItem->ySize, hParent, WM_CF_SHOW,
                         pItem->Flags, pItem->Id, pItem->pName, int(pItem->NumExtraBytes));
}

int TEXT_SetText(WM_HWIN hObj, const char* s) {
  GUI_LockGuard lock;
  TEXT_Obj* p = WIDGET__Lock<TEXT_Obj>(hObj);
  if (!p) return 1;
  GUI_HMEM hText = p->hText;
  const char* pOld = hText ? static_cast<const char*>(GUI_ALLOC_h2p(hText)) : "";
  if (GUI__strcmp(pOld, s ? s : "") == 0 && (hText || !s)) return 0;
  if (!s) {
    GUI_ALLOC_Free(hText);
    WIDGET__Lock<TEXT_Obj>(hObj)->hText = 0;
  } else if (!GUI__SetText(&hText, s)) {
    return 1;
  } else {
    WIDGET__Lock<TEXT_Obj>(hObj)->hText = hText;
  }
  WM_InvalidateWindow(hObj);
  return 0;
}

namespace {
template <class F>
void SetAndInvalidate(WM_HWIN hObj, F change) {
  GUI_LockGuard lock;
  TEXT_Obj* p = WIDGET__Lock<TEXT_Obj>(hObj);
  if (p && change(p)) WM_InvalidateWindow(hObj);
}
}  // namespace

void TEXT_SetFont(WM_HWIN hObj, const GUI_FONT* pFont) {
  SetAndInvalidate(hObj, [pFont](TEXT_Obj* p) { return p->pFont != pFont ? (p->pFont = pFont, true) : false; });
}
void TEXT_SetTextColor(WM_HWIN hObj, GUI_COLOR color) {
  SetAndInvalidate(hObj, [color](TEXT_Obj* p) { return p->TextColor != color ? (p->TextColor = color, true) : false; });
}
void TEXT_SetTextAlign(WM_HWIN hObj, int align) {
  SetAndInvalidate(hObj, [align](TEXT_Obj* p) { return p->Align != align ? (p->Align = int16_t(align), true) : false; });
}
void TEXT_SetBkColor(WM_HWIN hObj, GUI_COLOR color) {
  GUI_LockGuard lock;
  TEXT_Obj* p = WIDGET__Lock<TEXT_Obj>(hObj);
  if (!p || p->BkColor == color) return;
  p->BkColor = color;
  if (color > 0xFFFFFF)
    WM_SetHasTrans(hObj);
  else
    WM_ClrHasTrans(hObj);
  WM_InvalidateWindow(hObj);
}
int TEXT_GetUserData(WM_HWIN hObj, void* pDest, int size) {
  return WIDGET__GetUserDataOf<TEXT_Obj>(hObj, pDest, size);
}
int TEXT_SetUserData(WM_HWIN hObj, const void* pSrc, int size) {
  return WIDGET__SetUserDataOf<TEXT_Obj>(hObj, pSrc, size);
}
