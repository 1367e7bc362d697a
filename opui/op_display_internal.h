// What the sources of the display share inside the operating interface: the fixed colours,
// the drawing target of a piece of the display, the top bar's steps (op_display_pictures.cpp)
// and the fill of the body in the screen's colours (op_display.cpp).
#pragma once

#include <cstdint>

#include "gui/draw/GUI_Draw.h"
#include "opui/op_display.h"
#include "opui/op_links.h"

namespace opdisplay {

inline constexpr GUI_COLOR kBlack = 0x000000;
inline constexpr GUI_COLOR kWhite = 0xFFFFFF;
inline constexpr GUI_COLOR kRed = 0x0000FF;
inline constexpr GUI_COLOR kBlue = 0xFF0000;
inline constexpr GUI_COLOR kGreen = 0x00FF00;
inline constexpr GUI_COLOR kYellow = 0x00FFFF;
inline constexpr GUI_COLOR kGrey = 0x808080;

// Set while a display procedure paints: the window manager then clips to the window.
extern bool g_inPaint;

// The drawing target of a piece of the display for the life of the object: its memory device,
// or, while there is none, the display itself. Outside a paint the display is drawn on without
// the window manager's clipping, which would clip the area away under the windows that cover it.
class Target {
 public:
  explicit Target(GUI_MEMDEV_Handle dev) : previous_(OP_GfxSelectDevice(dev > 0 ? dev : 0)) {
    if (dev < 1 && !g_inPaint) direct_ = OP_GfxDirectBegin();
  }
  ~Target() {
    if (direct_) OP_GfxDirectEnd();
    OP_GfxSelectDevice(previous_);
  }
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;

 private:
  GUI_MEMDEV_Handle previous_;
  bool direct_ = false;
};

inline void deleteDevice(GUI_MEMDEV_Handle* h) {
  if (*h > 0) OP_GfxDeleteDevice(*h);
  *h = -1;
}

inline void fill(GUI_COLOR c, int x0, int y0, int x1, int y1) {
  GUI_SetColor(c);
  GUI_FillRect(x0, y0, x1, y1);
}

// The top bar: its memory devices with the user logo and key icons, and its paint of the logo,
// the key icons and the status icon (the display update draws the clock).
void topBarCreate();
void topBarDelete();
void topBarPaint();

// Fills the body in the screen's colours: the background, the title band and its line.
void fillScreenColors();

}  // namespace opdisplay
