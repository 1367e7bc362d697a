// The window placement as the settings of every program store it: ten numbers
// "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d": placement flags, show command, minimised x, y, maximised
// x, y, normal rectangle left, top, right, bottom. Plain text, no desktop toolkit.
#pragma once

#include <string>

namespace host {

struct WindowPlacement {
  unsigned flags = 0;
  unsigned showCmd = 1;
  int minX = -1, minY = -1, maxX = -1, maxY = -1;
  int left = 0, top = 0, right = 0, bottom = 0;
};
// False unless the text holds ten numbers and a rectangle that is not inverted.
bool ParseWindowPlacement(const std::string& text, WindowPlacement* out);
std::string FormatWindowPlacement(const WindowPlacement& p);

}  // namespace host
