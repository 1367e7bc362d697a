// libFuzzer targets of the picture decoders; the build picks one with PICTURE_FUZZ_KIND.
// Every input is drawn through the bounded entries: nothing may be read outside the input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gui/bitmap/GUI_Bitmap.h"

namespace {

void InitOnce() {
  static bool done = [] {
    GUI_Init();
    return true;
  }();
  (void)done;
}

[[maybe_unused]] void Stream(const uint8_t* data, uint32_t size) {
  GUI_DrawStreamedBitmapAutoSized(data, size, 3, -2);
  GUI_MEM_SOURCE src{data, size};
  GUI_DrawStreamedBitmapExAuto(GUI__GetDataMem, &src, -5, 7);
}

// byte 0: the coding, 1 and 2: width and height, then the coded data.
[[maybe_unused]] void Rle(const uint8_t* data, uint32_t size) {
  if (size < 3) return;
  static const int kFormats[] = {6, 7, 12, 13, 15, 18};
  static const int kBits[] = {4, 8, 16, 16, 32, 8};
  int which = data[0] % 6;
  int w = data[1] % 64 + 1, h = data[2] % 64 + 1;
  std::vector<uint8_t> s = {0x42, 0x4D, static_cast<uint8_t>(kFormats[which]), 0, static_cast<uint8_t>(w), 0,
                            static_cast<uint8_t>(h), 0, 0, 0, static_cast<uint8_t>(kBits[which]), 0, 16, 0, 1, 0};
  for (uint32_t i = 0; i < 16; ++i) {
    s.push_back(static_cast<uint8_t>(i * 16));
    s.insert(s.end(), {0x40, 0x80, 0});
  }
  s.insert(s.end(), data + 3, data + size);
  Stream(s.data(), static_cast<uint32_t>(s.size()));
  GUI__RLE_GetDataSize(kBits[which], data + 3, size - 3, static_cast<uint32_t>(w * h));
}

[[maybe_unused]] void Bmp(const uint8_t* data, uint32_t size) {
  GUI_BMP_DrawSized(data, size, -3, 4);
  GUI_MEM_SOURCE src{data, size};
  GUI_BMP_GetXSizeEx(GUI__GetDataMem, &src);
  GUI_BMP_GetYSizeEx(GUI__GetDataMem, &src);
}

[[maybe_unused]] void Gif(const uint8_t* data, uint32_t size) {
  int n = size ? data[size - 1] % 4 : 0;
  GUI_GIF_SetRestoreBkFill(n & 1);
  GUI_GIF_DrawSub(data, size, 2, -1, n);
  GUI_GIF_INFO info;
  GUI_GIF_GetInfo(data, size, &info);
  GUI_GIF_IMAGE_INFO image;
  GUI_GIF_GetImageInfo(data, size, &image, n);
  uint8_t comment[16];
  GUI_GIF_GetComment(data, size, comment, sizeof comment, 0);
}

[[maybe_unused]] void Jpeg(const uint8_t* data, uint32_t size) { GUI_JPEG_Draw(data, static_cast<int>(size), -4, 3); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InitOnce();
  if (size > (1u << 20)) return 0;
  // Owned copy, so that reads past the end are caught.
  std::vector<uint8_t> copy(data, data + size);
  uint32_t n = static_cast<uint32_t>(size);
  PICTURE_FUZZ_KIND(copy.data(), n);
  return 0;
}
