#include "support/lcd_harness.h"

#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "gui/GUI.h"
#include "host/shared_block.h"
#include "simlayer/LCDSIM.h"
#include "simlayer/SIM.h"
#include "support/test_env.h"

namespace lcdtest {

namespace {
std::vector<std::string>* g_errors;
std::filesystem::path g_startDir;
std::filesystem::path g_workDir;
void CollectError(const char* s) {
  if (g_errors) g_errors->push_back(s ? s : "");
}
}  // namespace

void UsePrivateSharedNames() { host::SetSharedNamePrefix(testenv::SharedNamePrefix()); }

void LcdTest::SetUp() {
  UsePrivateSharedNames();
  // Error texts go to "SimError.log" in the current directory: keep it out of the sources.
  const std::filesystem::path dir = testenv::FreshFolder("lcd");
  g_startDir = std::filesystem::current_path();
  g_workDir = dir;
  std::filesystem::current_path(dir);
  g_errors = &errors;
  ASSERT_EQ(SIM_InitHost(), 0);
  SIM_ShowErrorBoxes(0);
  SIM_SetDelayCallback([](int) {});
  GUI_SetErrorHook(CollectError);
  initResult = GUI_Init();
  ASSERT_EQ(LCDSIM_InitServerData(), nullptr);
}

void LcdTest::TearDown() {
  GUI_Exit();
  GUI_SetErrorHook(nullptr);
  g_errors = nullptr;
  SIM_ExitHost();
  std::error_code ec;
  std::filesystem::current_path(g_startDir, ec);
  std::filesystem::remove_all(g_workDir, ec);
}

uint32_t PixelOffset(int x, int y) {
  return LCDSIM_FRAME_OFFSET + static_cast<uint32_t>(y) * LCD_XSIZE * 4 + static_cast<uint32_t>(x) * 4;
}

namespace {
uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
}  // namespace

uint32_t HeaderWord(uint32_t offset) { return Le32(LCDSIM_GetBlock(0) + offset); }
uint32_t ReadRaw(int x, int y) { return Le32(LCDSIM_GetBlock(0) + PixelOffset(x, y)); }

std::vector<uint32_t> ReadFrame() {
  std::vector<uint32_t> out;
  out.reserve(LCD_XSIZE * LCD_YSIZE);
  for (int y = 0; y < LCD_YSIZE; ++y)
    for (int x = 0; x < LCD_XSIZE; ++x) out.push_back(ReadRaw(x, y) & 0x00FFFFFFu);
  return out;
}

bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t p = pixels[static_cast<size_t>(y) * width + x];
      row[3 * x] = static_cast<png_byte>(p >> 16);
      row[3 * x + 1] = static_cast<png_byte>(p >> 8);
      row[3 * x + 2] = static_cast<png_byte>(p);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return true;
}

bool ReadPng(const std::string& path, int* width, int* height, std::vector<uint32_t>* pixels) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> buf(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, buf.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  pixels->resize(static_cast<size_t>(*width) * *height);
  for (size_t i = 0; i < pixels->size(); ++i)
    (*pixels)[i] = (static_cast<uint32_t>(buf[3 * i]) << 16) | (buf[3 * i + 1] << 8) | buf[3 * i + 2];
  return true;
}

::testing::AssertionResult MatchesGolden(const std::string& folder, const std::string& name) {
  const char* src = std::getenv("SIM_SOURCE_DIR");
  std::filesystem::path dir = std::filesystem::path(src ? src : SIM_SOURCE_TOP) / "tests" / folder / "golden";
  std::filesystem::path golden = dir / (name + ".png");
  std::filesystem::path actualPath = dir / (name + ".actual.png");
  std::vector<uint32_t> actual = ReadFrame();
  const char* update = std::getenv("SIM_UPDATE_GOLDEN");
  if (update && std::strcmp(update, "1") == 0) {
    std::filesystem::create_directories(dir);
    if (!WritePng(golden.string(), LCD_XSIZE, LCD_YSIZE, actual))
      return ::testing::AssertionFailure() << "cannot write " << golden;
    return ::testing::AssertionSuccess();
  }
  int w = 0, h = 0;
  std::vector<uint32_t> expected;
  if (!ReadPng(golden.string(), &w, &h, &expected)) {
    WritePng(actualPath.string(), LCD_XSIZE, LCD_YSIZE, actual);
    return ::testing::AssertionFailure() << "no golden image " << golden << "; actual written to " << actualPath;
  }
  if (w != LCD_XSIZE || h != LCD_YSIZE)
    return ::testing::AssertionFailure() << golden << " is " << w << " x " << h;
  for (size_t i = 0; i < actual.size(); ++i) {
    if (actual[i] != expected[i]) {
      WritePng(actualPath.string(), LCD_XSIZE, LCD_YSIZE, actual);
      char msg[160];
      std::snprintf(msg, sizeof msg, "first difference at (%zu, %zu): 0x%06X, expected 0x%06X", i % LCD_XSIZE,
                    i / LCD_XSIZE, actual[i], expected[i]);
      return ::testing::AssertionFailure() << msg << "; actual written to " << actualPath;
    }
  }
  std::filesystem::remove(actualPath);
  return ::testing::AssertionSuccess();
}

}  // namespace lcdtest
