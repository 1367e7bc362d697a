// Builders of picture files for the tests and the fuzz seeds: streamed bitmaps, BMP files and
// GIF files (LZW coded without compression: a clear code before the table would grow).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace pictest {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A streamed bitmap: header, palette, data.
inline Bytes Stream(int format, int xSize, int ySize, int bytesPerLine, int bpp, const std::vector<uint32_t>& palette,
                    bool hasTrans, const Bytes& data) {
  Bytes b;
  Put16(b, 0x4D42);
  Put16(b, static_cast<uint32_t>(format));
  Put16(b, static_cast<uint32_t>(xSize));
  Put16(b, static_cast<uint32_t>(ySize));
  Put16(b, static_cast<uint32_t>(bytesPerLine));
  Put16(b, static_cast<uint32_t>(bpp));
  Put16(b, static_cast<uint32_t>(palette.size()));
  Put16(b, hasTrans ? 1 : 0);
  for (uint32_t c : palette) Put32(b, c);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// A BMP file; `lines` holds the stored lines in file order, each already padded.
inline Bytes Bmp(int width, int height, int bpp, int compression, const std::vector<uint32_t>& palette,
                 const Bytes& pixels, uint16_t magic = 0x4D42) {
  Bytes b;
  uint32_t dataOff = 54 + 4 * static_cast<uint32_t>(palette.size());
  Put16(b, magic);
  Put32(b, dataOff + static_cast<uint32_t>(pixels.size()));
  Put32(b, 0);
  Put32(b, dataOff);
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(width));
  Put32(b, static_cast<uint32_t>(height));
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(bpp));
  Put32(b, static_cast<uint32_t>(compression));
  Put32(b, static_cast<uint32_t>(pixels.size()));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, 0);
  Put32(b, 0);
  for (uint32_t c : palette) {  // 0x00BBGGRR -> blue, green, red, 0
    b.push_back(static_cast<uint8_t>(c >> 16));
    b.push_back(static_cast<uint8_t>(c >> 8));
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(0);
  }
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

// LZW data of the indices with minimum code size s, as data sub-blocks with terminator.
inline Bytes GifLzw(int s, const std::vector<uint8_t>& indices) {
  const int clear = 1 << s, end = clear + 1, size = s + 1;
  Bytes packed;
  uint32_t acc = 0;
  int bits = 0;
  auto put = [&](int code) {
    acc |= static_cast<uint32_t>(code) << bits;
    bits += size;
    while (bits >= 8) {
      packed.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
  };
  int sinceClear = 0;
  put(clear);
  for (uint8_t v : indices) {
    if (sinceClear == clear - 2) {
      put(clear);
      sinceClear = 0;
    }
    put(v);
    ++sinceClear;
  }
  put(end);
  if (bits) packed.push_back(static_cast<uint8_t>(acc));
  Bytes out;
  out.push_back(static_cast<uint8_t>(s));
  for (size_t i = 0; i < packed.size(); i += 255) {
    size_t n = packed.size() - i < 255 ? packed.size() - i : 255;
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), packed.begin() + static_cast<long>(i), packed.begin() + static_cast<long>(i + n));
  }
  out.push_back(0);
  return out;
}

struct GifImage {
  int left, top, width, height;
  std::vector<uint8_t> indices;    // in stored order
  bool interlaced = false;
  int transIndex = -1;
  int disposal = 0;
  int delay = 0;
  bool control = true;             // false: no graphic control extension before the image
};

// A GIF file with a global table of 2^(s) colours (0x00BBGGRR).
inline Bytes Gif(int width, int height, const std::vector<uint32_t>& colors, const std::vector<GifImage>& images,
                 const char* version = "GIF89a") {
  int s = 1;
  while ((1u << s) < colors.size()) ++s;
  Bytes b(version, version + 6);
  Put16(b, static_cast<uint32_t>(width));
  Put16(b, static_cast<uint32_t>(height));
  b.push_back(static_cast<uint8_t>(0x80 | (s - 1)));
  b.push_back(0);
  b.push_back(0);
  for (int i = 0; i < (1 << s); ++i) {
    uint32_t c = i < static_cast<int>(colors.size()) ? colors[static_cast<size_t>(i)] : 0;
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(static_cast<uint8_t>(c >> 8));
    b.push_back(static_cast<uint8_t>(c >> 16));
  }
  for (const GifImage& im : images) {
    if (im.control) {
      b.insert(b.end(), {'!', 0xF9, 4});
      b.push_back(static_cast<uint8_t>((im.disposal << 2) | (im.transIndex >= 0 ? 1 : 0)));
      Put16(b, static_cast<uint32_t>(im.delay));
      b.push_back(static_cast<uint8_t>(im.transIndex >= 0 ? im.transIndex : 0));
      b.push_back(0);
    }
    b.push_back(',');
    Put16(b, static_cast<uint32_t>(im.left));
    Put16(b, static_cast<uint32_t>(im.top));
    Put16(b, static_cast<uint32_t>(im.width));
    Put16(b, static_cast<uint32_t>(im.height));
    b.push_back(im.interlaced ? 0x40 : 0);
    Bytes lzw = GifLzw(s < 2 ? 2 : s, im.indices);
    b.insert(b.end(), lzw.begin(), lzw.end());
  }
  b.push_back(';');
  return b;
}

}  // namespace pictest
