// LISTBOX widget: a vertical list of text entries, one line each, with one selected entry or
// none. The selection follows the keys, the pointer and the previous/next commands of the
// operating interface, and is always kept in view; with vertical auto-scroll a scrollbar
// appears while the entries do not fit. The parent hears of every change of the selection
// and of presses and releases.
#include <algorithm>
#include <iterator>
#include <cstring>

#include "gui/GUI_Private.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/widgets/Widget_Intern.h"

namespace {

struct LISTBOX_Obj {
  static constexpr uint32_t kTag = WIDGET_TAG('L', 'I', 'S', 'T');
  static constexpr const char* kLockError = "LISTBOX:\nWrong handle type or Object not init'ed in LISTBOX_LockH()";
  WIDGET Widget;
  GUI_ARRAY hItems;        // the entries' texts, NUL-terminated
  const GUI_FONT* pFont;
  GUI_COLOR aBkColor[3];   // LISTBOX_CI_UNSEL, LISTBOX_CI_SEL, LISTBOX_CI_SELFOCUS
  GUI_COLOR aTextColor[3];
  int32_t Sel;             // -1: none
  int32_t First;           // first entry shown
  int16_t ItemSpacing;     // line height in pixels; 0: the font's
  uint8_t AutoScrollV;
  uint8_t Pressed;
};

constexpr int kTextMargin = 2;
// Keys: up and down move by one entry, page up and page down by the lines shown.
enum : int { kKeyUp = 17, kKeyDown = 19, kKeyPageDown = 33, kKeyPageUp = 34 };

const GUI_COLOR kDefaultBk[3] = {0xFFFFFF, 0x808080, 0x000000};
const GUI_COLOR kDefaultText[3] = {0x000000, 0xFFFFFF, 0xFFFFFF};

LISTBOX_Obj* Obj(WM_HWIN h) { return WIDGET__Lock<LISTBOX_Obj>(h); }

int NumItems(const LISTBOX_Obj* p) { return GUI_ARRAY_GetNumItems(p->hItems); }

int LineHeight(const LISTBOX_Obj* p) {
  if (p->ItemSpacing > 0) return p->ItemSpacing;
  const int h = p->pFont ? p->pFont->YDist : 0;
  return h > 0 ? h : 1;
}

// The rectangle the entries are drawn in: inside the frame, left of a vertical scrollbar.
GUI_RECT ItemArea(WM_HWIN hObj) {
  LISTBOX_Obj* p = Obj(hObj);
  GUI_RECT r{};
  if (!p) return r;
  WIDGET__GetInsideRect(&p->Widget, &r);
  WM_HWIN hBar = WM_GetScrollbarV(hObj);
  if (hBar && WM_IsVisible(hBar)) r.x1 = int16_t(r.x1 - WM_GetWindowSizeX(hBar));
  return r;
}

// Lines that fit the area completely (at least one).
int LinesShown(WM_HWIN hObj) {
  const GUI_RECT r = ItemArea(hObj);
  LISTBOX_Obj* p = Obj(hObj);
  if (!p) return 1;
  return std::max(1, (r.y1 - r.y0 + 1) / LineHeight(p));
}

const char* ItemText(const LISTBOX_Obj* p, int index) {
  const char* s = static_cast<const char*>(GUI_ARRAY_GetpItem(p->hItems, unsigned(index)));
  return s ? s : "";
}

// The scroll position that keeps the selection in view and wastes no lines at the end; the
// scrollbar follows it (shown only while the entries do not fit, with auto-scroll on).
void UpdateScroll(WM_HWIN hObj) {
  LISTBOX_Obj* p = Obj(hObj);
  if (!p) return;
  const bool wanted = p->AutoScrollV && NumItems(p) > LinesShown(hObj);
  WM_SetScrollbarV(hObj, wanted ? 1 : 0);
  p = Obj(hObj);
  const int lines = LinesShown(hObj);
  WM_SCROLL_STATE s{NumItems(p), p->First, lines};
  if (p->Sel >= 0) WM_CheckScrollPos(&s, p->Sel, 0, 0);
  WM_CheckScrollBounds(&s);
  if (s.v != p->First) {
    p->First = s.v;
    WM_InvalidateWindow(hObj);
  }
  if (wanted) WIDGET_SetScrollStates(hObj, &s, nullptr);
}

void SetSel(WM_HWIN hObj, int sel) {
  LISTBOX_Obj* p = Obj(hObj);
  if (!p) return;
  if (sel < 0 || sel >= NumItems(p)) sel = -1;
  const bool changed = sel != p->Sel;
  p->Sel = sel;
  UpdateScroll(hObj);
  if (changed) {
    WM_InvalidateWindow(hObj);
    WM_NotifyParent(hObj, WM_NOTE_SEL_CHANGED);
  }
}

// A move of the selection by n entries; from no selection the first entry is selected.
void MoveSel(WM_HWIN hObj, int n) {
  LISTBOX_Obj* p = Obj(hObj);
  if (!p) return;
  const int count = NumItems(p);
  if (count == 0) return;
  const int sel = p->Sel < 0 ? 0 : std::clamp(p->Sel + n, 0, count - 1);
  SetSel(hObj, sel);
}

void Paint(WM_HWIN hObj) {
  LISTBOX_Obj* p = Obj(hObj);
  if (!p) return;
  const GUI_RECT area = ItemArea(hObj);
  p = Obj(hObj);
  const int line = LineHeight(p);
  const int count = NumItems(p);
  const bool focus = (p->Widget.State & WIDGET_STATE_FOCUS) != 0;
  GUI_SetFont(p->pFont);
  GUI_SetTextMode(GUI_TEXTMODE_TRANS);
  int y = area.y0;
  for (int i = p->First; i < count && y <= area.y1; ++i, y += line) {
    const int ci = i != p->Sel ? LISTBOX_CI_UNSEL : focus ? LISTBOX_CI_SELFOCUS : LISTBOX_CI_SEL;
    GUI_RECT r{area.x0, int16_t(y), area.x1, int16_t(std::min<int>(y + line - 1, area.y1))};
    GUI_SetColor(p->aBkColor[ci]);
    GUI_FillRectEx(&r);
    GUI_SetColor(p->aTextColor[ci]);
    GUI_RECT t = r;
    t.x0 = int16_t(t.x0 + kTextMargin);
    t.y1 = int16_t(y + line - 1);
    GUI_DispStringInRect(ItemText(p, i), &t, GUI_TA_LEFT | GUI_TA_VCENTER);
    p = Obj(hObj);
  }
  if (y <= area.y1) {
    GUI_SetColor(p->aBkColor[LISTBOX_CI_UNSEL]);
    GUI_FillRect(area.x0, y, area.x1, area.y1);
  }
  WIDGET__EFFECT_DrawDown(&p->Widget);
}

// The entry under a pointer position in window coordinates, or -1.
int ItemAt(WM_HWIN hObj, int x, int y) {
  const GUI_RECT area = ItemArea(hObj);
  LISTBOX_Obj* p = Obj(hObj);
  if (!p || x < area.x0 || x > area.x1 || y < area.y0 || y > area.y1) return -1;
  const int i = p->First + (y - area.y0) / LineHeight(p);
  return i < NumItems(p) ? i : -1;
}

void OnTouch(WM_HWIN hObj, const GUI_PID_STATE* pState) {
  LISTBOX_Obj* p = Obj(hObj);
  if (!p) return;
  if (!pState) {
    if (p->Pressed) {
      p->Pressed = 0;
      WM_NotifyParent(hObj, WM_NOTE_MOVED_OUT);
    }
    return;
  }
  if (pState->Pressed) {
    const int i = ItemAt(hObj, pState->x, pState->y);
    if (i >= 0) SetSel(hObj, i);
    p = Obj(hObj);
    if (p && !p->Pressed) {
      p->Pressed = 1;
      WM_NotifyParent(hObj, WM_NOTE_CLICKED);
    }
  } else if (p->Pressed) {
    p->Pressed = 0;
    WM_NotifyParent(hObj, WM_NOTE_RELEASED);
  }
}

void Callback(WM_MESSAGE* pMsg) {
  WM_HWIN hObj = pMsg->hWin;
  LISTBOX_Obj* p = WIDGET__LockMsg<LISTBOX_Obj>(pMsg);
  if (!p) return;
  if (!WIDGET_HandleActive(hObj, pMsg)) return;
  switch (pMsg->MsgId) {
    case WM_MSG_PAINT:
      Paint(hObj);
      return;
    case WM_MSG_PID_TOUCH:
      OnTouch(hObj, WIDGET__PIDState(pMsg));
      return;
    case WM_MSG_KEY: {
      const WM_KEY_INFO* pKey = WIDGET__KeyInfo(pMsg);
      if (pKey && pKey->PressedCnt > 0) {
        switch (pKey->Key) {
          case kKeyUp: MoveSel(hObj, -1); return;
          case kKeyDown: MoveSel(hObj, 1); return;
          case kKeyPageUp: MoveSel(hObj, -LinesShown(hObj)); return;
          case kKeyPageDown: MoveSel(hObj, LinesShown(hObj)); return;
          default: break;
        }
      }
      break;
    }
    case WM_MSG_CMD_PREVIOUS:
      MoveSel(hObj, -1);
      return;
    case WM_MSG_CMD_NEXT:
      MoveSel(hObj, 1);
      return;
    case WM_MSG_NOTIFY_PARENT:
      // The attached scrollbar was moved: show the entries from its value on.
      if (pMsg->Data.v == WM_NOTE_VALUE_CHANGED && WM_GetId(pMsg->hWinSrc) == GUI_ID_VSCROLL) {
        WM_SCROLL_STATE s{};
        WM_GetScrollState(pMsg->hWinSrc, &s);
        p = Obj(hObj);
        if (p && s.v != p->First) {
          p->First = s.v;
          WM_InvalidateWindow(hObj);
        }
      }
      return;
    case WM_MSG_SIZE_CHANGED:
      UpdateScroll(hObj);
      break;
    case WM_MSG_DELETE: {
      GUI_ARRAY hItems = p->hItems;
      p->hItems = 0;
      GUI_ARRAY_Delete(hItems);
      break;
    }
    default:
      break;
  }
  WM_DefaultProc(pMsg);
}

// A change of the entries: the selection keeps its entry, the view and scrollbar follow.
void ItemsChanged(WM_HWIN hObj) {
  UpdateScroll(hObj);
  WM_InvalidateWindow(hObj);
}

template <class F>
void Change(WM_HWIN hObj, F change) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  if (p && change(p)) WM_InvalidateWindow(hObj);
}

}  // namespace

WM_HWIN LISTBOX_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                           int id, const char* const* ppText, int numExtraBytes) {
  GUI_LockGuard lock;
  if (numExtraBytes < 0) numExtraBytes = 0;
  GUI_ARRAY hItems = GUI_ARRAY_Create();
  if (!hItems) {
    GUI_ErrorOut("LISTBOX:\nLISTBOX_CreateUser() failed");
    return 0;
  }
  WM_HWIN h = WM_CreateWindowAsChild(x0, y0, xSize, ySize, hParent, winFlags, Callback,
                                     int(sizeof(LISTBOX_Obj) - sizeof(WM_Obj)) + numExtraBytes);
  if (!h) {
    GUI_ARRAY_Delete(hItems);
    GUI_ErrorOut("LISTBOX:\nLISTBOX_CreateUser() failed");
    return 0;
  }
  auto* p = static_cast<LISTBOX_Obj*>(GUI_ALLOC_h2p(h));
  WIDGET__Init(&p->Widget, id, WIDGET_STATE_FOCUSABLE);
  p->Widget.DebugId = LISTBOX_Obj::kTag;
  p->hItems = hItems;
  p->pFont = &GUI_FontProp13;
  std::copy(std::begin(kDefaultBk), std::end(kDefaultBk), p->aBkColor);
  std::copy(std::begin(kDefaultText), std::end(kDefaultText), p->aTextColor);
  p->Sel = -1;
  p->First = 0;
  p->ItemSpacing = 0;
  p->AutoScrollV = (exFlags & LISTBOX_CF_AUTOSCROLLBAR_V) ? 1 : 0;
  p->Pressed = 0;
  for (; ppText && *ppText; ++ppText) LISTBOX_AddString(h, *ppText);
  ItemsChanged(h);
  return h;
}
WM_HWIN LISTBOX_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id,
                         const char* const* ppText) {
  return LISTBOX_CreateUser(x0, y0, xSize, ySize, hParent, winFlags, exFlags, id, ppText, 0);
}
WM_HWIN LISTBOX_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK*) {
  return LISTBOX_CreateUser(pItem->x0 + x0, pItem->y0 + y0, pItem->xSize, pItem->ySize, hParent, 0, pItem->Flags,
                            pItem->Id, nullptr, int(pItem->NumExtraBytes));
}

void LISTBOX_AddString(WM_HWIN hObj, const char* s) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  if (!p || !s) return;
  if (GUI_ARRAY_AddItem(p->hItems, s, int(std::strlen(s)) + 1) == 0) ItemsChanged(hObj);
}

void LISTBOX_InsertString(WM_HWIN hObj, const char* s, unsigned index) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  if (!p || !s) return;
  if (index >= unsigned(NumItems(p))) {
    LISTBOX_AddString(hObj, s);
    return;
  }
  const int size = int(std::strlen(s)) + 1;
  GUI_HMEM hItem = GUI_ARRAY_InsertItem(p->hItems, index, size);
  if (!hItem) return;
  std::memcpy(GUI_ALLOC_h2p(hItem), s, size_t(size));
  p = Obj(hObj);
  if (p->Sel >= int(index)) ++p->Sel;   // the selected entry stays selected
  ItemsChanged(hObj);
}

void LISTBOX_SetString(WM_HWIN hObj, const char* s, unsigned index) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  if (!p || !s || index >= unsigned(NumItems(p))) return;
  if (std::strcmp(ItemText(p, int(index)), s) == 0) return;
  if (GUI_ARRAY_SetItem(p->hItems, index, s, int(std::strlen(s)) + 1)) WM_InvalidateWindow(hObj);
}

void LISTBOX_DeleteItem(WM_HWIN hObj, unsigned index) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  if (!p || index >= unsigned(NumItems(p))) return;
  GUI_ARRAY_DeleteItem(p->hItems, index);
  p = Obj(hObj);
  if (p->Sel == int(index)) {
    SetSel(hObj, -1);
  } else if (p->Sel > int(index)) {
    --p->Sel;
  }
  ItemsChanged(hObj);
}

int LISTBOX_GetNumItems(WM_HWIN hObj) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  return p ? NumItems(p) : 0;
}

int LISTBOX_GetItemText(WM_HWIN hObj, unsigned index, char* pBuffer, int maxSize) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  if (!p || !pBuffer || maxSize < 1 || index >= unsigned(NumItems(p))) return 1;
  const char* s = ItemText(p, int(index));
  const size_t n = std::min(std::strlen(s), size_t(maxSize - 1));
  std::memcpy(pBuffer, s, n);
  pBuffer[n] = 0;
  return 0;
}

void LISTBOX_SetSel(WM_HWIN hObj, int sel) {
  GUI_LockGuard lock;
  SetSel(hObj, sel);
}
int LISTBOX_GetSel(WM_HWIN hObj) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  return p ? p->Sel : -1;
}
void LISTBOX_IncSel(WM_HWIN hObj) {
  GUI_LockGuard lock;
  MoveSel(hObj, 1);
}
void LISTBOX_DecSel(WM_HWIN hObj) {
  GUI_LockGuard lock;
  MoveSel(hObj, -1);
}
int LISTBOX_GetScrollPos(WM_HWIN hObj) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  return p ? p->First : 0;
}

void LISTBOX_SetFont(WM_HWIN hObj, const GUI_FONT* pFont) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  if (!p || !pFont || p->pFont == pFont) return;
  p->pFont = pFont;
  ItemsChanged(hObj);
}
const GUI_FONT* LISTBOX_GetFont(WM_HWIN hObj) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  return p ? p->pFont : nullptr;
}
void LISTBOX_SetItemSpacing(WM_HWIN hObj, int pixels) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  if (!p) return;
  pixels = std::clamp(pixels, 0, 0x7FFF);
  if (p->ItemSpacing == pixels) return;
  p->ItemSpacing = int16_t(pixels);
  ItemsChanged(hObj);
}
int LISTBOX_GetItemSpacing(WM_HWIN hObj) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  return p ? LineHeight(p) : 0;
}
void LISTBOX_SetBkColor(WM_HWIN hObj, unsigned index, GUI_COLOR color) {
  if (index > LISTBOX_CI_SELFOCUS) return;
  Change(hObj, [&](LISTBOX_Obj* p) { return p->aBkColor[index] != color ? (p->aBkColor[index] = color, true) : false; });
}
void LISTBOX_SetTextColor(WM_HWIN hObj, unsigned index, GUI_COLOR color) {
  if (index > LISTBOX_CI_SELFOCUS) return;
  Change(hObj,
         [&](LISTBOX_Obj* p) { return p->aTextColor[index] != color ? (p->aTextColor[index] = color, true) : false; });
}
void LISTBOX_SetAutoScrollV(WM_HWIN hObj, int onOff) {
  GUI_LockGuard lock;
  LISTBOX_Obj* p = Obj(hObj);
  if (!p || p->AutoScrollV == (onOff ? 1 : 0)) return;
  p->AutoScrollV = onOff ? 1 : 0;
  ItemsChanged(hObj);
}
int LISTBOX_GetUserData(WM_HWIN hObj, void* pDest, int size) {
  return WIDGET__GetUserDataOf<LISTBOX_Obj>(hObj, pDest, size);
}
int LISTBOX_SetUserData(WM_HWIN hObj, const void* pSrc, int size) {
  return WIDGET__SetUserDataOf<LISTBOX_Obj>(hObj, pSrc, size);
}
