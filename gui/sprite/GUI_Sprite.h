// Sprites and the pointer cursor: bitmaps floating above everything drawn on a layer. Each
// sprite is a device (class 3) in its layer's chain with a save-under buffer of the pixels it
// covers; drawing that arrives while it is shown lands in that buffer under its pixels.
#pragma once

#include <cstdint>

#include "gui/bitmap/GUI_Bitmap.h"

typedef GUI_HMEM GUI_HSPRITE;
typedef void GUI_SPRITE_CALLBACK(void* pUserData, int hidden);  // 0 shown, 1 hidden

GUI_HSPRITE GUI_SPRITE_CreateEx(const GUI_BITMAP* pBitmap, int x, int y, int layer);
GUI_HSPRITE GUI_SPRITE_Create(const GUI_BITMAP* pBitmap, int x, int y);
GUI_HSPRITE GUI_SPRITE_CreateHiddenEx(const GUI_BITMAP* pBitmap, int x, int y, int layer);
GUI_HSPRITE GUI_SPRITE_CreateHidden(const GUI_BITMAP* pBitmap, int x, int y);
void GUI_SPRITE_Delete(GUI_HSPRITE hSprite);
void GUI_SPRITE_Show(GUI_HSPRITE hSprite);
void GUI_SPRITE_Hide(GUI_HSPRITE hSprite);
int GUI_SPRITE_IsVisible(GUI_HSPRITE hSprite);
void GUI_SPRITE_SetPosition(GUI_HSPRITE hSprite, int x, int y);
int GUI_SPRITE_SetBitmap(GUI_HSPRITE hSprite, const GUI_BITMAP* pBitmap);
void GUI_SPRITE_SetCallback(GUI_HSPRITE hSprite, void* pUserData, GUI_SPRITE_CALLBACK* pfCallback);
int GUI_SPRITE_HitTest(GUI_HSPRITE hSprite, int x, int y);

// Animated sprites step through a list of bitmaps on a GUI timer: each bitmap is shown for
// its entry of pPeriods (ms), or for Period when there is no list.
GUI_HSPRITE GUI_SPRITE_CreateAnimEx(const GUI_BITMAP* const* ppBitmaps, int x, int y, int period,
                                    const int* pPeriods, int numItems, int layer);
GUI_HSPRITE GUI_SPRITE_CreateAnim(const GUI_BITMAP* const* ppBitmaps, int x, int y, int period,
                                  const int* pPeriods, int numItems);
// Configuration: whether new animations start again after their last bitmap (default on).
int GUI_SPRITE_SetAnimLoop(int onOff);

// Link between sprites and their animation (set by the animation module).
enum { GUI_SPRITE_ANIM_SHOWN = 0, GUI_SPRITE_ANIM_HIDDEN = 1, GUI_SPRITE_ANIM_DELETED = 2 };
extern void (*GUI_SPRITE__pfAnimHook)(GUI_HSPRITE hSprite, GUI_HMEM hAnim, int event);
void GUI_SPRITE__SetAnim(GUI_HSPRITE hSprite, GUI_HMEM hAnim);

// The pointer cursor of a layer (the forms without Ex act on the selected layer).
struct GUI_CURSOR {
  const GUI_BITMAP* pBitmap;
  int xHot, yHot;
};
extern const GUI_CURSOR GUI_CursorArrow;   // the default cursor
const GUI_CURSOR* GUI_CURSOR_SelectEx(const GUI_CURSOR* pCursor, int layer);
const GUI_CURSOR* GUI_CURSOR_Select(const GUI_CURSOR* pCursor);
void GUI_CURSOR_ShowEx(int layer);
void GUI_CURSOR_Show();
void GUI_CURSOR_HideEx(int layer);
void GUI_CURSOR_Hide();
int GUI_CURSOR_GetStateEx(int layer);
int GUI_CURSOR_GetState();
void GUI_CURSOR_SetPositionEx(int x, int y, int layer);
void GUI_CURSOR_SetPosition(int x, int y);
void GUI_CURSOR_SetBitmapEx(const GUI_BITMAP* pBitmap, int layer);
void GUI_CURSOR_SetBitmap(const GUI_BITMAP* pBitmap);
struct GUI_CURSOR_ANIM {
  const GUI_BITMAP* const* ppBm;
  int xHot, yHot;
  int Period;
  const int* pPeriod;
  int NumItems;
};
// Replaces the layer's cursor sprite with an animated one (built with the GUI timers).
const GUI_CURSOR_ANIM* GUI_CURSOR_SelectAnimEx(const GUI_CURSOR_ANIM* pAnim, int layer);
const GUI_CURSOR_ANIM* GUI_CURSOR_SelectAnim(const GUI_CURSOR_ANIM* pAnim);
// The cursor module's state of a layer, for the animated cursor.
GUI_HSPRITE GUI_CURSOR__ReplaceSprite(int layer, GUI_HSPRITE hNew, int xHot, int yHot);
