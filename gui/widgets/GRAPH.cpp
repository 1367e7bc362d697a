// GRAPH widget: a window in a background colour with up to four curves, each a data object
// of at most 500 16-bit points drawn as a line in its colour, one point per pixel column
// from the left of the data area (the newest points when there are more than columns). A
// point's value is its height in pixels above the bottom of the data area; GRAPH_NO_VALUE
// leaves a gap. The owner's paint hook draws what the graph does not (legend, labels),
// before and after the curves.
#include <algorithm>
#include <iterator>

#include "gui/GUI_Private.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/widgets/Widget_Intern.h"

namespace {

struct GRAPH_Obj {
  static constexpr uint32_t kTag = WIDGET_TAG('G', 'R', 'A', 'P');
  static constexpr const char* kLockError = "GRAPH:\nWrong handle type or Object not init'ed in GRAPH_LockH()";
  WIDGET Widget;
  GUI_COLOR BkColor;
  GRAPH_USER_DRAW* pfUserDraw;
  GRAPH_DATA_Handle ahData[GRAPH_MAX_CURVES];   // 0: free place
};

// A curve: a ring of at most 500 points, the oldest at `First`.
constexpr uint32_t kDataTag = WIDGET_TAG('G', 'D', 'Y', 'T');
struct GRAPH_DATA_Obj {
  uint32_t Tag;
  GUI_COLOR Color;
  WM_HWIN hGraph;          // the graph it is attached to, 0 = none
  int16_t MaxNumItems;
  int16_t NumItems;
  int16_t First;
  int16_t aValue[GRAPH_MAX_POINTS];
};

GRAPH_Obj* Obj(WM_HWIN h) { return WIDGET__Lock<GRAPH_Obj>(h); }

GRAPH_DATA_Obj* Data(GRAPH_DATA_Handle h) {
  if (!h) return nullptr;
  auto* p = static_cast<GRAPH_DATA_Obj*>(GUI_ALLOC_h2p(h));
  if (!p || p->Tag != kDataTag) {
    GUI_ErrorOut("GRAPH_DATA:\nWrong handle type in GRAPH_DATA_YT_LockH()");
    return nullptr;
  }
  return p;
}

int16_t Point(const GRAPH_DATA_Obj* d, int i) { return d->aValue[(d->First + i) % d->MaxNumItems]; }

void InvalidateOwner(const GRAPH_DATA_Obj* d) {
  if (d->hGraph && WM_IsWindow(d->hGraph)) WM_InvalidateWindow(d->hGraph);
}

// The curve as lines between neighbouring points; a single point between gaps is a dot.
void DrawCurve(GRAPH_DATA_Handle h, const GUI_RECT& area) {
  const GRAPH_DATA_Obj* d = Data(h);
  if (!d || d->NumItems == 0) return;
  GUI_SetColor(d->Color);
  const int columns = area.x1 - area.x0 + 1;
  const int skip = std::max(0, d->NumItems - columns);
  bool havePrev = false;
  int px = 0, py = 0;
  for (int i = skip; i < d->NumItems; ++i) {
    const int16_t v = Point(d, i);
    if (v == GRAPH_NO_VALUE) {
      havePrev = false;
      continue;
    }
    const int x = area.x0 + (i - skip), y = area.y1 - v;
    const bool nextValid = i + 1 < d->NumItems && Point(d, i + 1) != GRAPH_NO_VALUE;
    if (havePrev) {
      GUI_DrawLine(px, py, x, y);
    } else if (!nextValid) {
      GUI_DrawPixel(x, y);
    }
    havePrev = true;
    px = x;
    py = y;
  }
}

void Paint(WM_HWIN hObj) {
  GRAPH_Obj* p = Obj(hObj);
  if (!p) return;
  GUI_SetBkColor(p->BkColor);
  GUI_Clear();
  GUI_RECT area;
  WIDGET__GetInsideRect(&p->Widget, &area);
  if (GRAPH_USER_DRAW* pf = p->pfUserDraw) pf(hObj, GRAPH_DRAW_FIRST);
  const GUI_RECT* pOldClip = WM_SetUserClipRect(&area);
  for (int i = 0; i < GRAPH_MAX_CURVES; ++i) {
    p = Obj(hObj);
    if (p && p->ahData[i]) DrawCurve(p->ahData[i], area);
  }
  WM_SetUserClipRect(pOldClip);
  p = Obj(hObj);
  if (p) WIDGET__EFFECT_DrawDown(&p->Widget);
  p = Obj(hObj);
  if (p && p->pfUserDraw) p->pfUserDraw(hObj, GRAPH_DRAW_LAST);
}

void Callback(WM_MESSAGE* pMsg) {
  WM_HWIN hObj = pMsg->hWin;
  GRAPH_Obj* p = WIDGET__LockMsg<GRAPH_Obj>(pMsg);
  if (!p) return;
  if (!WIDGET_HandleActive(hObj, pMsg)) return;
  switch (pMsg->MsgId) {
    case WM_MSG_PAINT:
      Paint(hObj);
      return;
    case WM_MSG_PID_TOUCH:
      WIDGET__NotifyTouch(hObj, WIDGET__PIDState(pMsg));
      return;
    case WM_MSG_DELETE: {
      // Attached curves belong to the graph and go with it.
      GRAPH_DATA_Handle ah[GRAPH_MAX_CURVES];
      std::copy(std::begin(p->ahData), std::end(p->ahData), ah);
      std::fill(std::begin(p->ahData), std::end(p->ahData), 0);
      for (GRAPH_DATA_Handle h : ah) {
        if (h) GUI_ALLOC_Free(h);
      }
      break;
    }
    default:
      break;
  }
  WM_DefaultProc(pMsg);
}

}  // namespace

WM_HWIN GRAPH_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int /*exFlags*/,
                         int id, int numExtraBytes) {
  GUI_LockGuard lock;
  if (numExtraBytes < 0) numExtraBytes = 0;
  WM_HWIN h = WM_CreateWindowAsChild(x0, y0, xSize, ySize, hParent, winFlags, Callback,
                                     int(sizeof(GRAPH_Obj) - sizeof(WM_Obj)) + numExtraBytes);
  if (!h) {
    GUI_ErrorOut("GRAPH:\nGRAPH_CreateUser() failed");
    return 0;
  }
  auto* p = static_cast<GRAPH_Obj*>(GUI_ALLOC_h2p(h));
  WIDGET__Init(&p->Widget, id, 0);
  p->Widget.DebugId = GRAPH_Obj::kTag;
  p->BkColor = 0x000000;
  p->pfUserDraw = nullptr;
  for (GRAPH_DATA_Handle& d : p->ahData) d = 0;
  WM_InvalidateWindow(h);
  return h;
}
WM_HWIN GRAPH_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id) {
  return GRAPH_CreateUser(x0, y0, xSize, ySize, hParent, winFlags, exFlags, id, 0);
}
WM_HWIN GRAPH_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK*) {
  return GRAPH_CreateUser(pItem->x0 + x0, pItem->y0 + y0, pItem->xSize, pItem->ySize, hParent, 0, pItem->Flags,
                          pItem->Id, int(pItem->NumExtraBytes));
}

void GRAPH_SetBkColor(WM_HWIN hObj, GUI_COLOR color) {
  GUI_LockGuard lock;
  GRAPH_Obj* p = Obj(hObj);
  if (!p || p->BkColor == color) return;
  p->BkColor = color;
  WM_InvalidateWindow(hObj);
}

void GRAPH_SetUserDraw(WM_HWIN hObj, GRAPH_USER_DRAW* pfUserDraw) {
  GUI_LockGuard lock;
  GRAPH_Obj* p = Obj(hObj);
  if (!p || p->pfUserDraw == pfUserDraw) return;
  p->pfUserDraw = pfUserDraw;
  WM_InvalidateWindow(hObj);
}

void GRAPH_GetDataRect(WM_HWIN hObj, GUI_RECT* pRect) {
  GUI_LockGuard lock;
  GRAPH_Obj* p = Obj(hObj);
  if (!p || !pRect) return;
  WIDGET__GetInsideRect(&p->Widget, pRect);
}

int GRAPH_AttachData(WM_HWIN hObj, GRAPH_DATA_Handle hData) {
  GUI_LockGuard lock;
  GRAPH_Obj* p = Obj(hObj);
  GRAPH_DATA_Obj* d = Data(hData);
  if (!p || !d || d->hGraph) return 1;
  for (GRAPH_DATA_Handle& h : p->ahData) {
    if (h) continue;
    h = hData;
    d->hGraph = hObj;
    WM_InvalidateWindow(hObj);
    return 0;
  }
  return 1;
}

void GRAPH_DetachData(WM_HWIN hObj, GRAPH_DATA_Handle hData) {
  GUI_LockGuard lock;
  GRAPH_Obj* p = Obj(hObj);
  GRAPH_DATA_Obj* d = Data(hData);
  if (!p || !d || d->hGraph != hObj) return;
  for (GRAPH_DATA_Handle& h : p->ahData) {
    if (h == hData) h = 0;
  }
  d->hGraph = 0;
  WM_InvalidateWindow(hObj);
}

GRAPH_DATA_Handle GRAPH_DATA_YT_Create(GUI_COLOR color, int maxNumItems, const int16_t* pData, int numItems) {
  GUI_LockGuard lock;
  if (maxNumItems < 1 || maxNumItems > GRAPH_MAX_POINTS) {
    GUI_ErrorOut("GRAPH_DATA:\nIllegal number of points in GRAPH_DATA_YT_Create()");
    return 0;
  }
  GRAPH_DATA_Handle h = GUI_ALLOC_AllocZero(int32_t(sizeof(GRAPH_DATA_Obj)));
  if (!h) return 0;
  auto* d = static_cast<GRAPH_DATA_Obj*>(GUI_ALLOC_h2p(h));
  d->Tag = kDataTag;
  d->Color = color;
  d->MaxNumItems = int16_t(maxNumItems);
  GRAPH_DATA_YT_SetValues(h, pData, numItems);
  return h;
}

void GRAPH_DATA_YT_Delete(GRAPH_DATA_Handle hData) {
  GUI_LockGuard lock;
  GRAPH_DATA_Obj* d = Data(hData);
  if (!d) return;
  if (d->hGraph) GRAPH_DetachData(d->hGraph, hData);
  GUI_ALLOC_Free(hData);
}

void GRAPH_DATA_YT_AddValue(GRAPH_DATA_Handle hData, int16_t v) {
  GUI_LockGuard lock;
  GRAPH_DATA_Obj* d = Data(hData);
  if (!d) return;
  if (d->NumItems < d->MaxNumItems) {
    d->aValue[(d->First + d->NumItems) % d->MaxNumItems] = v;
    ++d->NumItems;
  } else {
    d->aValue[d->First] = v;   // the oldest point makes room
    d->First = int16_t((d->First + 1) % d->MaxNumItems);
  }
  InvalidateOwner(d);
}

void GRAPH_DATA_YT_SetValues(GRAPH_DATA_Handle hData, const int16_t* pValues, int numItems) {
  GUI_LockGuard lock;
  GRAPH_DATA_Obj* d = Data(hData);
  if (!d) return;
  if (!pValues || numItems < 0) numItems = 0;
  // More points than the curve holds: the last ones are kept.
  const int skip = std::max(0, numItems - d->MaxNumItems);
  d->First = 0;
  d->NumItems = int16_t(numItems - skip);
  std::copy(pValues + skip, pValues + numItems, d->aValue);
  InvalidateOwner(d);
}

void GRAPH_DATA_YT_Clear(GRAPH_DATA_Handle hData) { GRAPH_DATA_YT_SetValues(hData, nullptr, 0); }

void GRAPH_DATA_YT_SetColor(GRAPH_DATA_Handle hData, GUI_COLOR color) {
  GUI_LockGuard lock;
  GRAPH_DATA_Obj* d = Data(hData);
  if (!d || d->Color == color) return;
  d->Color = color;
  InvalidateOwner(d);
}

int GRAPH_DATA_YT_GetNumItems(GRAPH_DATA_Handle hData) {
  GUI_LockGuard lock;
  const GRAPH_DATA_Obj* d = Data(hData);
  return d ? d->NumItems : 0;
}

int GRAPH_GetUserData(WM_HWIN hObj, void* pDest, int size) { return WIDGET__GetUserDataOf<GRAPH_Obj>(hObj, pDest, size); }
int GRAPH_SetUserData(WM_HWIN hObj, const void* pSrc, int size) {
  return WIDGET__SetUserDataOf<GRAPH_Obj>(hObj, pSrc, size);
}
