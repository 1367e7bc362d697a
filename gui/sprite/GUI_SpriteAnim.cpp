// Animated sprites and the animated cursor: a GUI timer steps the sprite through its list of
// bitmaps while it is shown.
#include "gui/WM.h"
#include "gui/sprite/GUI_Sprite.h"

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }

struct Anim {
  const GUI_BITMAP* const* ppBitmaps;
  const int* pPeriods;
  int period;
  int numItems;
  int index;
  GUI_TIMER_HANDLE hTimer;
  GUI_HSPRITE hSprite;
  uint16_t flags;                  // bit 0: loop
};

int g_loop = 1;

Anim* A(GUI_HMEM h) { return h ? static_cast<Anim*>(GUI_ALLOC_h2p(h)) : nullptr; }

int PeriodOf(const Anim* a, int index) { return a->pPeriods ? a->pPeriods[index] : a->period; }

void OnTimer(GUI_TIMER_MESSAGE* pMsg) {
  GUI_HMEM hAnim = static_cast<GUI_HMEM>(pMsg->Context);
  Anim* a = A(hAnim);
  if (!a || !GUI_SPRITE_IsVisible(a->hSprite)) return;
  a->index = (a->index + 1) % a->numItems;
  int period = PeriodOf(a, a->index);
  if (a->index == a->numItems - 1 && !(a->flags & 1)) period = 0;
  if (period <= 0) {
    GUI_TIMER_Delete(a->hTimer);
    a->hTimer = 0;
  } else {
    GUI_TIMER_SetPeriod(a->hTimer, period);
    GUI_TIMER_Restart(a->hTimer);
  }
  a = A(hAnim);
  GUI_SPRITE_SetBitmap(a->hSprite, a->ppBitmaps[a->index]);
}

// Starts the timer for the current bitmap (from the first one again when it had stopped at
// the last).
void Start(GUI_HMEM hAnim) {
  Anim* a = A(hAnim);
  if (!a || a->hTimer) return;
  if (a->index == a->numItems - 1 && !(a->flags & 1)) {
    a->index = 0;
    GUI_SPRITE_SetBitmap(a->hSprite, a->ppBitmaps[0]);
    a = A(hAnim);
  }
  int period = PeriodOf(a, a->index);
  if (period <= 0) return;
  GUI_TIMER_HANDLE hTimer = GUI_TIMER_CreateEx(OnTimer, GUI_GetTime() + period, hAnim, 0);
  a = A(hAnim);
  a->hTimer = hTimer;
  if (hTimer) GUI_TIMER_SetPeriod(hTimer, period);
}

void Stop(GUI_HMEM hAnim) {
  Anim* a = A(hAnim);
  if (!a || !a->hTimer) return;
  GUI_TIMER_Delete(a->hTimer);
  a = A(hAnim);
  a->hTimer = 0;
}

void Hook(GUI_HSPRITE, GUI_HMEM hAnim, int event) {
  switch (event) {
    case GUI_SPRITE_ANIM_SHOWN: Start(hAnim); break;
    case GUI_SPRITE_ANIM_HIDDEN: Stop(hAnim); break;
    default:
      Stop(hAnim);
      GUI_ALLOC_Free(hAnim);
      break;
  }
}

GUI_HSPRITE CreateAnim(const GUI_BITMAP* const* ppBitmaps, int x, int y, int period, const int* pPeriods,
                       int numItems, int layer, bool show) {
  if (!ppBitmaps || numItems <= 0 || (period <= 0 && !pPeriods)) return 0;
  GUI_LockGuard lock;
  GUI_SPRITE__pfAnimHook = Hook;
  GUI_HSPRITE hSprite = GUI_SPRITE_CreateHiddenEx(ppBitmaps[0], x, y, layer);
  if (!hSprite) return 0;
  GUI_HMEM hAnim = GUI_ALLOC_AllocZero(static_cast<int32_t>(sizeof(Anim)));
  if (!hAnim) {
    GUI_SPRITE_Delete(hSprite);
    return 0;
  }
  *A(hAnim) = Anim{ppBitmaps, pPeriods, period, numItems, 0, 0, hSprite, static_cast<uint16_t>(g_loop ? 1 : 0)};
  GUI_SPRITE__SetAnim(hSprite, hAnim);
  if (!show) return hSprite;
  GUI_SPRITE_Show(hSprite);
  Anim* a = A(hAnim);
  if (numItems > 1 && !a->hTimer) {  // the timer could not be made
    GUI_SPRITE_Delete(hSprite);
    return 0;
  }
  return hSprite;
}

struct AnimCursor {
  const GUI_CURSOR_ANIM* pAnim;
};
AnimCursor g_animCursor[GUI_NUM_LAYERS];

}  // namespace

int GUI_SPRITE_SetAnimLoop(int onOff) {
  int old = g_loop;
  g_loop = onOff ? 1 : 0;
  return old;
}

GUI_HSPRITE GUI_SPRITE_CreateAnimEx(const GUI_BITMAP* const* ppBitmaps, int x, int y, int period,
                                    const int* pPeriods, int numItems, int layer) {
  return CreateAnim(ppBitmaps, x, y, period, pPeriods, numItems, layer, true);
}
GUI_HSPRITE GUI_SPRITE_CreateAnim(const GUI_BITMAP* const* ppBitmaps, int x, int y, int period,
                                  const int* pPeriods, int numItems) {
  return CreateAnim(ppBitmaps, x, y, period, pPeriods, numItems, Ctx().SelLayer, true);
}

const GUI_CURSOR_ANIM* GUI_CURSOR_SelectAnimEx(const GUI_CURSOR_ANIM* pAnim, int layer) {
  if (layer < 0 || layer >= GUI_NUM_LAYERS) return nullptr;
  GUI_LockGuard lock;
  const GUI_CURSOR_ANIM* old = g_animCursor[layer].pAnim;
  if (!pAnim || !pAnim->ppBm) return old;
  GUI_HSPRITE h = CreateAnim(pAnim->ppBm, 0, 0, pAnim->Period, pAnim->pPeriod, pAnim->NumItems, layer, false);
  if (!h) return old;
  GUI_CURSOR__ReplaceSprite(layer, h, pAnim->xHot, pAnim->yHot);
  g_animCursor[layer].pAnim = pAnim;
  return old;
}
const GUI_CURSOR_ANIM* GUI_CURSOR_SelectAnim(const GUI_CURSOR_ANIM* pAnim) {
  return GUI_CURSOR_SelectAnimEx(pAnim, Ctx().SelLayer);
}
