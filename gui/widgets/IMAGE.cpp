// IMAGE widget: a transparent widget that shows a picture, single or tiled, optionally
// cached in a memory device, and plays animated GIF pictures frame by frame with a timer.
#include "gui/GUI_Private.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/widgets/Widget_Intern.h"

namespace {

struct IMAGE_Obj;
typedef void IMAGE_GET_SIZE(WM_HWIN hObj, int* pxSize, int* pySize);
typedef void IMAGE_DRAW_AT(WM_HWIN hObj, int x, int y);
typedef void IMAGE_PAINT(WM_HWIN hObj);

struct IMAGE_Obj {
  static constexpr uint32_t kTag = WIDGET_TAG('I', 'M', 'A', 'G');
  static constexpr const char* kLockError = "IMAGE:\nWrong handle type or Object not init'ed in IMAGE__LockH()";
  WIDGET Widget;
  int32_t Flags;
  const void* pData;
  uint32_t FileSize;
  IMAGE_GET_SIZE* pfGetImageSize;
  IMAGE_DRAW_AT* pfDrawImageAt;
  IMAGE_PAINT* pfPaint;
  int32_t NumFrames;
  int32_t CurrentFrame;
  GUI_TIMER_HANDLE hTimer;
  void* pfGetData;  // pictures read through a callback: not used by this system
  void* pVoid;
  GUI_MEMDEV_Handle hMem;
};

IMAGE_Obj* Obj(WM_HWIN h) { return WIDGET__Lock<IMAGE_Obj>(h); }

void DropCache(WM_HWIN hObj) {
  IMAGE_Obj* p = Obj(hObj);
  if (!p || !p->hMem) return;
  GUI_MEMDEV_Handle hMem = p->hMem;
  p->hMem = 0;
  GUI_MEMDEV_Delete(hMem);
}

// ---- GIF pictures ---------------------------------------------------------------------------
void GIF_GetSize(WM_HWIN hObj, int* pxSize, int* pySize) {
  IMAGE_Obj* p = Obj(hObj);
  GUI_GIF_INFO info{};
  if (!p || !p->pData || GUI_GIF_GetInfo(p->pData, p->FileSize, &info) != 0) info = {};
  *pxSize = info.xSize;
  *pySize = info.ySize;
}
void GIF_DrawAt(WM_HWIN hObj, int x, int y) {
  IMAGE_Obj* p = Obj(hObj);
  if (!p || !p->pData) return;
  GUI_GIF_DrawSub(p->pData, p->FileSize, x, y, p->CurrentFrame);
}

// Period of a frame: its delay in hundredths of a second, 100 ms for a delay of 0.
int32_t FramePeriod(IMAGE_Obj* p, int frame) {
  GUI_GIF_IMAGE_INFO info{};
  if (GUI_GIF_GetImageInfo(p->pData, p->FileSize, &info, frame) != 0) return 100;
  return info.Delay > 0 ? info.Delay * 10 : 100;
}

void OnFrameTimer(GUI_TIMER_MESSAGE* pTM) {
  WM_HWIN hObj = WM_HWIN(pTM->Context);
  if (!WM_IsWindow(hObj)) return;
  IMAGE_Obj* p = Obj(hObj);
  if (!p || p->hTimer != pTM->hTimer) return;
  int32_t period = FramePeriod(p, p->CurrentFrame);
  int next = p->CurrentFrame + 1;
  if (next >= p->NumFrames || period == 0) next = 0;
  p->CurrentFrame = next;
  period = FramePeriod(p, next);
  GUI_TIMER_HANDLE hTimer = p->hTimer;
  GUI_TIMER_SetPeriod(hTimer, period);
  GUI_TIMER_Restart(hTimer);
  DropCache(hObj);
  WM_InvalidateWindow(hObj);
}

void StartAnimation(WM_HWIN hObj) {
  IMAGE_Obj* p = Obj(hObj);
  if (!p) return;
  int32_t period = FramePeriod(p, p->CurrentFrame);
  if (p->hTimer) {
    GUI_TIMER_HANDLE hTimer = p->hTimer;
    GUI_TIMER_SetPeriod(hTimer, period);
    GUI_TIMER_Restart(hTimer);
    return;
  }
  GUI_TIMER_HANDLE hTimer = GUI_TIMER_CreateEx(OnFrameTimer, GUI_GetTime() + period, intptr_t(hObj), 0);
  if (!hTimer) return;
  GUI_TIMER_SetPeriod(hTimer, period);
  if ((p = Obj(hObj))) p->hTimer = hTimer;
}

// ---- Paint --------------------------------------------------------------------------------------
void PaintSingle(WM_HWIN hObj) {
  IMAGE_Obj* p = Obj(hObj);
  if (p && p->pData && p->pfDrawImageAt) p->pfDrawImageAt(hObj, 0, 0);
}

void PaintTiled(WM_HWIN hObj) {
  IMAGE_Obj* p = Obj(hObj);
  if (!p || !p->pData || !p->pfGetImageSize) return;
  int w, h;
  p->pfGetImageSize(hObj, &w, &h);
  if (w <= 0 || h <= 0) return;
  int xSize = WM_GetWindowSizeX(hObj), ySize = WM_GetWindowSizeY(hObj);
  for (int y = 0; y < ySize; y += h)
    for (int x = 0; x < xSize; x += w) p->pfDrawImageAt(hObj, x, y);
}

void Paint(WM_HWIN hObj) {
  IMAGE_Obj* p = Obj(hObj);
  if (!p || !p->pfPaint) return;
  if (p->hMem) {
    GUI_MEMDEV_CopyToLCD(p->hMem);
    return;
  }
  IMAGE_PAINT* pfPaint = p->pfPaint;
  if (!(p->Flags & IMAGE_CF_MEMDEV)) {
    pfPaint(hObj);
    return;
  }
  // The cache keeps only what the picture draws (a device with a usage record), so that the
  // background shows through its transparent pixels.
  GUI_RECT r;
  WM_GetWindowRectEx(hObj, &r);
  GUI_MEMDEV_Handle hMem = GUI_MEMDEV_CreateEx(r.x0, r.y0, r.x1 - r.x0 + 1, r.y1 - r.y0 + 1, GUI_MEMDEV_HASTRANS);
  if (!hMem) {
    pfPaint(hObj);
    return;
  }
  GUI_RECT clip = GUI_pContext->ClipRect;
  GUI_MEMDEV_Handle hOld = GUI_MEMDEV_Select(hMem);
  pfPaint(hObj);
  GUI_MEMDEV_Select(hOld);
  LCD_SetClipRectEx(&clip);
  GUI_MEMDEV_CopyToLCD(hMem);
  if ((p = Obj(hObj)))
    p->hMem = hMem;
  else
    GUI_MEMDEV_Delete(hMem);
}

void OnMove(WM_HWIN hObj, const WM_MOVE_INFO* pInfo) {
  IMAGE_Obj* p = Obj(hObj);
  if (!p || !p->hMem || !pInfo) return;
  GUI_RECT r;
  WM_GetWindowRectEx(hObj, &r);
  GUI_RECT old = r;
  GUI_MoveRect(&old, -pInfo->dx, -pInfo->dy);
  // A cache of a window that lay partly off the display on the side it moved away from
  // lacks the part that now comes into view.
  int xMax = LCD_GetXSize() - 1, yMax = LCD_GetYSize() - 1;
  bool incomplete = (pInfo->dx > 0 && old.x0 < 0) || (pInfo->dx < 0 && old.x1 > xMax) ||
                    (pInfo->dy > 0 && old.y0 < 0) || (pInfo->dy < 0 && old.y1 > yMax);
  if (incomplete)
    DropCache(hObj);
  else
    GUI_MEMDEV_SetOrg(p->hMem, r.x0, r.y0);
}

void Callback(WM_MESSAGE* pMsg) {
  WM_HWIN hObj = pMsg->hWin;
  IMAGE_Obj* p = WIDGET__LockMsg<IMAGE_Obj>(pMsg);
  if (!p) return;
  if (!WIDGET_HandleActive(hObj, pMsg)) return;
  switch (pMsg->MsgId) {
    case WM_MSG_MOVE:
      OnMove(hObj, static_cast<const WM_MOVE_INFO*>(pMsg->Data.p));
      return;
    case WM_MSG_SIZE_CHANGED:
      DropCache(hObj);
      return;
    case WM_MSG_DELETE: {
      DropCache(hObj);
      p = Obj(hObj);
      GUI_TIMER_HANDLE hTimer = p->hTimer;
      p->hTimer = 0;
      if (hTimer) GUI_TIMER_Delete(hTimer);
      break;
    }
    case WM_MSG_PAINT:
      Paint(hObj);
      return;
    case WM_MSG_PID_TOUCH: {
      WIDGET__NotifyTouch(hObj, WIDGET__PIDState(pMsg));
      return;
    }
    default:
      break;
  }
  WM_DefaultProc(pMsg);
}

}  // namespace

WM_HWIN IMAGE_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                         int id, int numExtraBytes) {
  GUI_LockGuard lock;
  if (numExtraBytes < 0) numExtraBytes = 0;
  if (xSize == 0) xSize = 1;
  if (ySize == 0) ySize = 1;
  if ((exFlags & IMAGE_CF_ATTACHED) && hParent) {
    GUI_RECT r;
    WM_GetInsideRectEx(hParent, &r);
    x0 = r.x0;
    y0 = r.y0;
    xSize = r.x1 - r.x0 + 1;
    ySize = r.y1 - r.y0 + 1;
    winFlags |= WM_CF_ANCHOR_LEFT | WM_CF_ANCHOR_RIGHT | WM_CF_ANCHOR_TOP | WM_CF_ANCHOR_BOTTOM;
  }
  WM_HWIN h = WM_CreateWindowAsChild(x0, y0, xSize, ySize, hParent, winFlags | WM_CF_HASTRANS, Callback,
                                     int(sizeof(IMAGE_Obj) - sizeof(WM_Obj)) + numExtraBytes);
  if (!h) {
    GUI_ErrorOut("IMAGE:\nIMAGE_CreateUser() failed");
    return 0;
  }
  auto* p = static_cast<IMAGE_Obj*>(GUI_ALLOC_h2p(h));
  WIDGET__Init(&p->Widget, id, 0);
  p->Widget.DebugId = IMAGE_Obj::kTag;
  p->Flags = exFlags;
  p->pfPaint = (exFlags & IMAGE_CF_TILE) ? PaintTiled : PaintSingle;
  return h;
}
WM_HWIN IMAGE_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id) {
  return IMAGE_CreateUser(x0, y0, xSize, ySize, hParent, winFlags, exFlags, id, 0);
}
WM_HWIN IMAGE_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK*) {
  return IMAGE_CreateUser(pItem->x0 + x0, pItem->y0 + y0, pItem->xSize, pItem->ySize, hParent, pItem->Flags,
                          pItem->Para, pItem->Id, int(pItem->NumExtraBytes));
}

void IMAGE_SetGIF(WM_HWIN hObj, const void* pData, uint32_t fileSize) {
  GUI_LockGuard lock;
  if (!hObj || !pData || !fileSize) return;
  IMAGE_Obj* p = Obj(hObj);
  if (!p) return;
  GUI_GIF_INFO info{};
  if (GUI_GIF_GetInfo(pData, fileSize, &info) != 0) info = {};
  p->pData = pData;
  p->FileSize = fileSize;
  p->pfGetImageSize = GIF_GetSize;
  p->pfDrawImageAt = GIF_DrawAt;
  p->NumFrames = info.NumImages;
  p->CurrentFrame = 0;
  int flags = p->Flags;
  DropCache(hObj);
  if ((flags & IMAGE_CF_AUTOSIZE) && info.xSize > 0 && info.ySize > 0) WM_SetSize(hObj, info.xSize, info.ySize);
  if (info.NumImages > 1) StartAnimation(hObj);
  WM_InvalidateWindow(hObj);
}
int IMAGE_GetCurrentFrame(WM_HWIN hObj) {
  GUI_LockGuard lock;
  IMAGE_Obj* p = Obj(hObj);
  return p ? p->CurrentFrame : 0;
}
int IMAGE_GetUserData(WM_HWIN hObj, void* pDest, int size) {
  return WIDGET__GetUserDataOf<IMAGE_Obj>(hObj, pDest, size);
}
int IMAGE_SetUserData(WM_HWIN hObj, const void* pSrc, int size) {
  return WIDGET__SetUserDataOf<IMAGE_Obj>(hObj, pSrc, size);
}
