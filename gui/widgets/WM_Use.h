// What the widgets use of the window manager (window records, messages, focus, capture and
// timers), of memory devices and of GIF pictures.
#pragma once

#include "gui/GUI.h"
#include "gui/WM.h"
#include "gui/bitmap/GUI_Bitmap.h"
#include "gui/core/GUI_Input.h"
#include "gui/memdev/GUI_Memdev.h"
#include "gui/wm/WM_Intern.h"
