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
