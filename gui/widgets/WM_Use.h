// What the widgets use of the window manager (window records, messages, focus, capture and
// timers), of memory devices and of GIF pictures.
#pragma once

#include <cstdint>

#include "gui/GUI.h"
#include "gui/WM.h"
#include "gui/core/GUI_Input.h"
#include "gui/wm/WM_Intern.h"

// Memory devices and GIF pictures (the IMAGE widget).
struct GUI_GIF_IMAGE_INFO {
  int32_t xPos, yPos, xSize, ySize, Delay;
};
int GUI_GIF_GetImageInfo(const void* pGIF, uint32_t numBytes, GUI_GIF_IMAGE_INFO* pInfo, int index);
int GUI_GIF_DrawSub(const void* pGIF, uint32_t numBytes, int x0, int y0, int index);
void GUI_MEMDEV_Delete(GUI_MEMDEV_Handle hMem);
void GUI_MEMDEV_SetOrg(GUI_MEMDEV_Handle hMem, int x0, int y0);
constexpr int GUI_MEMDEV_HASTRANS = 0;
GUI_MEMDEV_Handle GUI_MEMDEV_CreateEx(int x0, int y0, int xSize, int ySize, int flags);
