#include "picture_fixture.h"

#include <algorithm>

namespace pictest {

std::vector<std::string>* PictureTest::pDebug;
int32_t PictureTest::now;

void PictureTest::SetUp() {
  lcdtest::LcdTest::SetUp();
  if (HasFatalFailure()) return;
  pDebug = &debug;
  saved_ = *GUI__pHooks;
  GUI_PLATFORM_HOOKS hooks = saved_;
  hooks.pfLog = [](const char* s) {
    if (pDebug) pDebug->emplace_back(s ? s : "");
  };
  now = 1000;
  hooks.pfGetTime = [] { return now; };
  GUI_SetPlatformHooks(&hooks);
}

void PictureTest::TearDown() {
  GUI_SetPlatformHooks(&saved_);
  pDebug = nullptr;
  lcdtest::LcdTest::TearDown();
}

bool PictureTest::Reported(const std::string& text) const {
  auto match = [&](const std::string& s) { return s == text || s.rfind(text + " ", 0) == 0; };
  return std::any_of(debug.begin(), debug.end(), match) || std::any_of(errors.begin(), errors.end(), match);
}

std::vector<uint32_t> PictureTest::Frame() {
  std::vector<uint32_t> v;
  v.reserve(LCD_XSIZE * LCD_YSIZE);
  for (int y = 0; y < LCD_YSIZE; ++y)
    for (int x = 0; x < LCD_XSIZE; ++x) v.push_back(LCD_GetPixelIndex(x, y));
  return v;
}

}  // namespace pictest
