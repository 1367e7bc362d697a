// The library on the emulated LCD with the debug texts collected as well, and pixel helpers.
#pragma once

#include <string>
#include <vector>

#include "gui/GUI_Private.h"
#include "support/lcd_harness.h"

namespace pictest {

class PictureTest : public lcdtest::LcdTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // True when a debug or error text equal to `text` was reported.
  bool Reported(const std::string& text) const;
  static uint32_t Index(GUI_COLOR c) { return LCD_Color2Index(c); }
  static uint32_t At(int x, int y) { return LCD_GetPixelIndex(x, y); }
  // Indices of the whole display, row by row.
  static std::vector<uint32_t> Frame();
  static std::vector<std::string>* pDebug;
  static int32_t now;              // the library's time in ms while a test runs
  std::vector<std::string> debug;

 private:
  GUI_PLATFORM_HOOKS saved_{};
};

}  // namespace pictest
