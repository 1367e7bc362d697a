// Colour conversion between 0x00BBGGRR colours and 16-bit 5-6-5 indices, with red (565R,
// the display format) or blue (565B) in the high bits; pixel packing helpers.
#include <bit>
#include <cstring>

#include "gui/GUI_Private.h"

namespace {

constexpr uint8_t k5To8[32] = {0,   8,   16,  25,  33,  41,  49,  58,  66,  74,  82,
                               91,  99,  107, 115, 123, 132, 140, 148, 156, 165, 173,
                               181, 189, 197, 206, 214, 222, 230, 239, 247, 255};

constexpr uint32_t To5(uint32_t v) { return (v * 31 + 128) / 255; }
constexpr uint32_t To6(uint32_t v) { return (v * 63 + 127) / 255; }
constexpr uint32_t From6(uint32_t i) { return (i * 255 + 31) / 63; }

// The expansions as arithmetic, so that whole rows convert in vector registers: exact for
// every 5- and 6-bit value (checked here at compile time).
constexpr uint32_t Expand5(uint32_t i) { return (i * 1053 + 65) >> 7; }
constexpr uint32_t Expand6(uint32_t i) { return (i * 259 + 33) >> 6; }
constexpr bool ExpansionsExact() {
  for (uint32_t i = 0; i < 32; ++i)
    if (Expand5(i) != k5To8[i]) return false;
  for (uint32_t i = 0; i < 64; ++i)
    if (Expand6(i) != From6(i)) return false;
  return true;
}
static_assert(ExpansionsExact());

uint32_t FrameWord565R(uint32_t i) {
  return (Expand5((i >> 11) & 31) << 16) | (Expand6((i >> 5) & 63) << 8) | Expand5(i & 31);
}

uint32_t Pack(uint32_t high, uint32_t green, uint32_t low) {
  return (To5(high) << 11) | (To6(green) << 5) | To5(low);
}

void (*g_pfBulkC2I)(const GUI_COLOR*, void*, int, int);
void (*g_pfBulkI2C)(void*, GUI_COLOR*, int, int);

void StoreIndex(void* p, int i, int step, uint32_t index) {
  uint16_t v = static_cast<uint16_t>(index);
  std::memcpy(static_cast<uint8_t*>(p) + static_cast<ptrdiff_t>(i) * step, &v, 2);
}
uint32_t LoadIndex(const void* p, int i, int step) {
  uint16_t v;
  std::memcpy(&v, static_cast<const uint8_t*>(p) + static_cast<ptrdiff_t>(i) * step, 2);
  return v;
}

template <uint32_t (*C2I)(GUI_COLOR)>
void C2IBulk(const GUI_COLOR* pColor, void* pIndex, int n, int step) {
  for (int i = 0; i < n; ++i) StoreIndex(pIndex, i, step, C2I(pColor[i]));
}
// From the last element down, so that 16-bit indices can become 32-bit colours in place.
template <GUI_COLOR (*I2C)(uint32_t)>
void I2CBulk(void* pIndex, GUI_COLOR* pColor, int n, int step) {
  for (int i = n - 1; i >= 0; --i) {
    GUI_COLOR c = I2C(LoadIndex(pIndex, i, step));
    std::memcpy(reinterpret_cast<uint8_t*>(pColor) + static_cast<ptrdiff_t>(i) * 4, &c, 4);
  }
}

}  // namespace

uint32_t GUICC_565R_Color2Index(GUI_COLOR c) { return Pack(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
GUI_COLOR GUICC_565R_Index2Color(uint32_t i) {
  return k5To8[(i >> 11) & 31] | (From6((i >> 5) & 63) << 8) | (static_cast<uint32_t>(k5To8[i & 31]) << 16);
}
uint32_t GUICC_565R_GetIndexMask() { return 0xFFFF; }
void GUICC_565R_Color2IndexBulk(const GUI_COLOR* pColor, void* pIndex, int n, int step) {
  if (g_pfBulkC2I)
    g_pfBulkC2I(pColor, pIndex, n, step);
  else
    C2IBulk<GUICC_565R_Color2Index>(pColor, pIndex, n, step);
}
void GUICC_565R_Index2ColorBulk(void* pIndex, GUI_COLOR* pColor, int n, int step) {
  if (g_pfBulkI2C)
    g_pfBulkI2C(pIndex, pColor, n, step);
  else
    I2CBulk<GUICC_565R_Index2Color>(pIndex, pColor, n, step);
}
void GUICC_565R_SetBulkHooks(void (*pfC2I)(const GUI_COLOR*, void*, int, int),
                             void (*pfI2C)(void*, GUI_COLOR*, int, int)) {
  g_pfBulkC2I = pfC2I;
  g_pfBulkI2C = pfI2C;
}

#if defined(__GNUC__)
namespace {

typedef uint16_t U16x8 __attribute__((vector_size(16)));
typedef uint16_t U16x16 __attribute__((vector_size(32)));

// The three channels of a vector of indices, expanded to 8 bits: the low halves of the LCD
// words (green, blue) and their high halves (red).
template <typename V>
inline __attribute__((always_inline)) void SplitFrameHalves(const V& v, V* low, V* high) {
  *high = (((v >> 11) & 31) * 1053 + 65) >> 7;
  const V g = (((v >> 5) & 63) * 259 + 33) >> 6;
  const V b = ((v & 31) * 1053 + 65) >> 7;
  *low = (g << 8) | b;
}

// Eight indices a step; returns the number converted (a multiple of 8).
int IndexToFrameWords8(const uint8_t* pIndices, uint8_t* pWords, int n) {
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    U16x8 v, low, high;
    std::memcpy(&v, pIndices + 2 * i, 16);
    SplitFrameHalves(v, &low, &high);
    const U16x8 w0 = __builtin_shufflevector(low, high, 0, 8, 1, 9, 2, 10, 3, 11);
    const U16x8 w1 = __builtin_shufflevector(low, high, 4, 12, 5, 13, 6, 14, 7, 15);
    std::memcpy(pWords + 4 * i, &w0, 16);
    std::memcpy(pWords + 4 * i + 16, &w1, 16);
  }
  return i;
}

#if defined(__x86_64__) || defined(__i386__)
// Sixteen indices a step in the 256-bit registers of processors that have them.
__attribute__((target("avx2"))) int IndexToFrameWords16(const uint8_t* pIndices, uint8_t* pWords, int n) {
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    U16x16 v, low, high;
    std::memcpy(&v, pIndices + 2 * i, 32);
    SplitFrameHalves(v, &low, &high);
    const U16x16 w0 = __builtin_shufflevector(low, high, 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    const U16x16 w1 = __builtin_shufflevector(low, high, 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
    std::memcpy(pWords + 4 * i, &w0, 32);
    std::memcpy(pWords + 4 * i + 32, &w1, 32);
  }
  return i;
}
const bool g_haveAvx2 = __builtin_cpu_supports("avx2");
#endif

}  // namespace
#endif

void GUICC_565R_IndexToFrameWords(const uint8_t* pIndices, uint8_t* pWords, int n) {
  int i = 0;
#if defined(__GNUC__)
  if constexpr (std::endian::native == std::endian::little) {
#if defined(__x86_64__) || defined(__i386__)
    if (g_haveAvx2) i = IndexToFrameWords16(pIndices, pWords, n);
#endif
    i += IndexToFrameWords8(pIndices + 2 * i, pWords + 4 * i, n - i);
  }
#endif
  for (; i < n; ++i) {
    const uint32_t w = FrameWord565R(pIndices[2 * i] | (pIndices[2 * i + 1] << 8));
    for (int k = 0; k < 4; ++k) pWords[4 * i + k] = static_cast<uint8_t>(w >> (8 * k));
  }
}

uint32_t GUICC_565B_Color2Index(GUI_COLOR c) { return Pack((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }
GUI_COLOR GUICC_565B_Index2Color(uint32_t i) {
  return (static_cast<uint32_t>(k5To8[(i >> 11) & 31]) << 16) | (From6((i >> 5) & 63) << 8) | k5To8[i & 31];
}
uint32_t GUICC_565B_GetIndexMask() { return 0xFFFF; }
void GUICC_565B_Color2IndexBulk(const GUI_COLOR* pColor, void* pIndex, int n, int step) {
  C2IBulk<GUICC_565B_Color2Index>(pColor, pIndex, n, step);
}
void GUICC_565B_Index2ColorBulk(void* pIndex, GUI_COLOR* pColor, int n, int step) {
  I2CBulk<GUICC_565B_Index2Color>(pIndex, pColor, n, step);
}

const GUICC GUICC_565R = {GUICC_565R_Color2Index, GUICC_565R_Index2Color, GUICC_565R_GetIndexMask};
const GUICC GUICC_565B = {GUICC_565B_Color2Index, GUICC_565B_Index2Color, GUICC_565B_GetIndexMask};
const GUICC_BULK GUICC_565R_BULK = {GUICC_565R_Color2IndexBulk, GUICC_565R_Index2ColorBulk};
const GUICC_BULK GUICC_565B_BULK = {GUICC_565B_Color2IndexBulk, GUICC_565B_Index2ColorBulk};

// --- locked helpers for the selected layer -------------------------------------------------
uint32_t GUI_Color2Index(GUI_COLOR color) {
  GUI_LockGuard lock;
  return LCD_Color2Index(color);
}
GUI_COLOR GUI_Index2Color(uint32_t index) {
  GUI_LockGuard lock;
  return LCD_Index2Color(index);
}
GUI_COLOR GUI_GetColorNearest(GUI_COLOR color) {
  GUI_LockGuard lock;
  return LCD_Index2Color(LCD_Color2Index(color));
}
int GUI_ColorIsAvailable(GUI_COLOR color) { return GUI_GetColorNearest(color) == color ? 1 : 0; }
uint32_t GUI_CalcColorDist(GUI_COLOR a, GUI_COLOR b) {
  uint32_t d = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int32_t x = static_cast<int32_t>((a >> shift) & 0xFF) - static_cast<int32_t>((b >> shift) & 0xFF);
    d += static_cast<uint32_t>(x * x);
  }
  return d;
}
uint32_t GUI_CalcVisColorError(GUI_COLOR color) { return GUI_CalcColorDist(color, GUI_GetColorNearest(color)); }

// --- pixel packing -------------------------------------------------------------------------
int GUI__CompactPixelIndices(uint32_t* pBuffer, int n, int bpp) {
  return GUI__CompactPixelIndicesEx(reinterpret_cast<const GUI_COLOR*>(pBuffer), n, bpp, nullptr, nullptr);
}

// With a conversion the values are colours, else indices. Reading runs ahead of writing,
// so the packing may work in place.
int GUI__CompactPixelIndicesEx(const GUI_COLOR* pColors, int n, int bpp, const GUICC* pCC, void* pDest) {
  if (bpp > 16 || bpp < 1 || n < 1) return bpp <= 16 ? 1 : 0;
  auto* out = static_cast<uint8_t*>(pDest ? pDest : const_cast<GUI_COLOR*>(pColors));
  auto value = [&](int i) { return pCC ? pCC->pfColor2Index(pColors[i]) : pColors[i]; };
  if (bpp == 1 || bpp == 2 || bpp == 4) {
    int perByte = 8 / bpp;
    uint32_t mask = (1u << bpp) - 1;
    for (int i = 0; i < n; i += perByte) {
      uint8_t b = 0;
      for (int k = 0; k < perByte; ++k) {
        uint32_t v = (i + k < n) ? (value(i + k) & mask) : 0;
        b = static_cast<uint8_t>(b | (v << (8 - bpp * (k + 1))));
      }
      out[i / perByte] = b;
    }
  } else if (bpp <= 8) {
    for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(value(i));
  } else {
    for (int i = 0; i < n; ++i) {
      uint16_t v = static_cast<uint16_t>(value(i));
      std::memcpy(out + i * 2, &v, 2);
    }
  }
  return 1;
}

int GUI__ConvertColorsToIndices(GUI_COLOR* pColors, int n, int bpp, const GUICC* pCC) {
  return GUI__CompactPixelIndicesEx(pColors, n, bpp, pCC, nullptr);
}
