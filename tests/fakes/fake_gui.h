// Recording stand-in for the graphics library and window manager, for firmware tests: it
// defines the drawing and window operations that the firmware calls (gui/GUI.h, gui/WM.h)
// and records each call with its arguments instead of drawing. Link `sim_fake_gui` in
// place of the real library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fakegui {

struct Call {
  std::string name;                // the function, e.g. "GUI_DispStringAt"
  std::vector<int64_t> args;       // numbers, handles and pointer values in order
  std::string text;                // the string argument of text output, else empty
};

const std::vector<Call>& Calls();
// The names of the recorded calls in order.
std::vector<std::string> Names();
// Forgets the calls, the results set and the state (font, selected memory device ...).
void Reset();
// What the function of that name returns from now on (handles, sizes, results).
void SetResult(const std::string& name, int64_t value);

}  // namespace fakegui
