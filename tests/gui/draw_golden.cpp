#include "draw_golden.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace draw_golden {

namespace {

std::string goldenDir() {
  const char* src = std::getenv("SIM_SOURCE_DIR");
#ifdef GUI_TEST_SOURCE_DIR
  if (!src) src = GUI_TEST_SOURCE_DIR;
#endif
  return std::string(src ? src : ".") + "/tests/gui/golden/";
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

bool readPng(const std::string& path, Image* out) {
  std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, f.get());
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_read_update_info(png, info);
  out->width = static_cast<int>(png_get_image_width(png, info));
  out->height = static_cast<int>(png_get_image_height(png, info));
  out->rgb.assign(static_cast<size_t>(out->width) * out->height * 3, 0);
  std::vector<png_bytep> rows(out->height);
  for (int y = 0; y < out->height; ++y) rows[y] = out->rgb.data() + static_cast<size_t>(y) * out->width * 3;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool writePng(const std::string& path, const Image& img) {
  std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f.get());
  png_set_IHDR(png, info, img.width, img.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < img.height; ++y)
    png_write_row(png, const_cast<png_bytep>(img.rgb.data() + static_cast<size_t>(y) * img.width * 3));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

std::string compare(const std::string& name, const Image& actual) {
  const std::string path = goldenDir() + name + ".png";
  const std::string actualPath = goldenDir() + name + ".actual.png";
  Image golden;
  if (!readPng(path, &golden)) {
    if (std::getenv("SIM_UPDATE_GOLDEN") && writePng(path, actual)) return std::string();
    writePng(actualPath, actual);
    return "no golden image " + path + " (actual written to " + actualPath + ")";
  }
  if (golden.width != actual.width || golden.height != actual.height) {
    writePng(actualPath, actual);
    return "size differs from " + path + " (actual written to " + actualPath + ")";
  }
  size_t differing = 0;
  int firstX = -1, firstY = -1;
  for (size_t i = 0; i < golden.rgb.size(); i += 3) {
    if (golden.rgb[i] != actual.rgb[i] || golden.rgb[i + 1] != actual.rgb[i + 1] ||
        golden.rgb[i + 2] != actual.rgb[i + 2]) {
      if (differing++ == 0) {
        firstX = static_cast<int>((i / 3) % golden.width);
        firstY = static_cast<int>((i / 3) / golden.width);
      }
    }
  }
  if (differing == 0) {
    std::remove(actualPath.c_str());
    return std::string();
  }
  writePng(actualPath, actual);
  return std::to_string(differing) + " pixels differ from " + path + ", first at (" + std::to_string(firstX) +
         ", " + std::to_string(firstY) + "); actual written to " + actualPath;
}

}  // namespace draw_golden
