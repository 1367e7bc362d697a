// A stand-in for the graphics core's drawing context and LCD level, for the drawing tests:
// one 320 x 240 display of 16-bit 5-6-5 indices (red in the high bits) in a plain array.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "draw_golden.h"
#include "gui/draw/GUI_DrawIf.h"

namespace standin {

constexpr int kXSize = 320;
constexpr int kYSize = 240;

// Resets the context to its defaults and clears the display to black.
void reset();
uint16_t pixel(int x, int y);
// The display as an RGB image (the 5-6-5 index expanded to 8 bits a component).
draw_golden::Image capture(int x0 = 0, int y0 = 0, int x1 = kXSize - 1, int y1 = kYSize - 1);
// Number of pixels that are not black inside the rectangle.
int countLit(int x0, int y0, int x1, int y1);
// Texts given to GUI_ErrorOut since the last reset.
const std::vector<std::string>& errors();
// The decimal separator that GUI_GetDecChar reports.
void setDecChar(int c);
// A handle-memory block holding a copy of n bytes.
GUI_HMEM alloc(const void* p, int n);

}  // namespace standin
