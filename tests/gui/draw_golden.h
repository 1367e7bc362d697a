// Golden-image comparison for drawing tests: 8-bit RGB PNG files under tests/gui/golden/,
// compared at tolerance 0. On a mismatch the rendered image is written beside the golden
// one as NAME.actual.png, so that it can be looked at and, when right, copied over.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace draw_golden {

// An RGB image, 3 bytes a pixel, rows from the top.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

bool readPng(const std::string& path, Image* out);
bool writePng(const std::string& path, const Image& img);

// Compares `actual` with tests/gui/golden/NAME.png. Returns an empty string when they are
// equal, else a description of the difference (and writes NAME.actual.png). When the golden
// file is missing and SIM_UPDATE_GOLDEN is set in the environment, the file is written.
std::string compare(const std::string& name, const Image& actual);

}  // namespace draw_golden
