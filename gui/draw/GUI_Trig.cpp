// Integer square root, fixed-point sine, cosine, arc sine and arc tangent, and polygon
// scaling and rotation.
#include <cstdlib>

#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_DrawIf.h"
#include "base/float_convert.h"

namespace {

// sin(i degrees) * 65536, rounded, for i = 0..90.
const uint32_t kSin[91] = {
    0,     1144,  2287,  3430,  4572,  5712,  6850,  7987,  9121,  10252, 11380, 12505, 13626,
    14742, 15855, 16962, 18064, 19161, 20252, 21336, 22415, 23486, 24550, 25607, 26656, 27697,
    28729, 29753, 30767, 31772, 32768, 33754, 34729, 35693, 36647, 37590, 38521, 39441, 40348,
    41243, 42126, 42995, 43852, 44695, 45525, 46341, 47143, 47930, 48703, 49461, 50203, 50931,
    51643, 52339, 53020, 53684, 54332, 54963, 55578, 56175, 56756, 57319, 57865, 58393, 58903,
    59396, 59870, 60326, 60764, 61183, 61584, 61966, 62328, 62672, 62997, 63303, 63589, 63856,
    64104, 64332, 64540, 64729, 64898, 65048, 65177, 65287, 65376, 65446, 65496, 65526, 65536,
};

}  // namespace

unsigned GUI__sqrt32(uint32_t v) {
  uint32_t root = 0;
  uint32_t bit = 1u << 30;
  while (bit > v) bit >>= 2;
  while (bit != 0) {
    if (v >= root + bit) {
      v -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
    bit >>= 2;
  }
  return root;
}

int32_t GUI__SinHQ(int32_t angle) {
  const bool negative = angle < 0;
  // The magnitude as unsigned, so that the most negative angle is no overflow.
  uint32_t r = (negative ? 0u - static_cast<uint32_t>(angle) : static_cast<uint32_t>(angle)) % 360000u;
  bool invert = false;
  if (r > 180000) {
    r -= 180000;
    invert = true;
  }
  if (r > 90000) r = 180000 - r;
  const uint32_t i = r / 1000;
  const uint32_t f = r % 1000;
  int32_t value;
  if (i < 90)
    value = static_cast<int32_t>(kSin[i] + (kSin[i + 1] - kSin[i]) * f / 1000);
  else
    value = 0x10000;
  if (invert) value = -value;
  return negative ? -value : value;
}

int32_t GUI__CosHQ(int32_t angle) {
  // angle + 90000 wraps for angles near the top of the range; go through the period instead.
  return GUI__SinHQ(static_cast<int32_t>((static_cast<int64_t>(angle) % 360000) + 90000));
}

int32_t GUI__asin(int32_t v) {
  if (v < 0 || v > 0x10000) return -1;
  if (v == 0x10000) return 0x5A0000;
  // Binary search for the table pair i, i + 1 with kSin[i] <= v < kSin[i + 1].
  int lo = 0, hi = 90;
  while (hi - lo > 1) {
    const int mid = (lo + hi) / 2;
    if (kSin[mid] <= static_cast<uint32_t>(v))
      lo = mid;
    else
      hi = mid;
  }
  const uint32_t span = kSin[lo + 1] - kSin[lo];
  const uint32_t frac = (static_cast<uint32_t>(v) - kSin[lo]) * 0x10000u / span;
  return static_cast<int32_t>((static_cast<uint32_t>(lo) << 16) + frac);
}

int32_t GUI__atan2(int32_t x, int32_t y, int32_t* pLength) {
  const uint64_t sq = static_cast<uint64_t>(static_cast<int64_t>(x) * x) + static_cast<uint64_t>(static_cast<int64_t>(y) * y);
  const uint32_t length = GUI__sqrt32(sq > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(sq));
  if (pLength) *pLength = static_cast<int32_t>(length);
  if (length == 0) return 0;
  const int64_t ay = y < 0 ? -static_cast<int64_t>(y) : y;
  int64_t ratio = ay * 0x10000 / length;
  if (ratio > 0x10000) ratio = 0x10000;  // the root is rounded down: keep the ratio in range
  int32_t a = GUI__asin(static_cast<int32_t>(ratio));
  if (x < 0) a = 0xB40000 - a;
  if (y < 0) a = 0x1680000 - a;
  return a;
}

void GUI_MagnifyPolygon(GUI_POINT* pDest, const GUI_POINT* pSrc, int numPoints, int factor) {
  for (int i = 0; i < numPoints; ++i) {
    pDest[i].x = static_cast<int16_t>(pSrc[i].x * factor);
    pDest[i].y = static_cast<int16_t>(pSrc[i].y * factor);
  }
}

void GUI_RotatePolygon(GUI_POINT* pDest, const GUI_POINT* pSrc, int numPoints, float angle) {
  const int32_t a = FW_FloatToI32(angle * 180000.0f / 3.1415925f);
  const int64_t c = GUI__CosHQ(a);
  const int64_t s = GUI__SinHQ(a);
  for (int i = 0; i < numPoints; ++i) {
    const int64_t x = pSrc[i].x;
    const int64_t y = pSrc[i].y;
    pDest[i].x = static_cast<int16_t>((x * c + y * s) >> 16);
    pDest[i].y = static_cast<int16_t>((y * c - x * s) >> 16);
  }
}
