// What the primitives, text and font modules use of the graphics core: the drawing context,
// the GUI lock, colours and draw modes, the clipped LCD-level drawing, the visible-rectangle
// iteration and the error output.
#pragma once

#include "gui/GUI_Private.h"
#include "gui/draw/GUI_Draw.h"
