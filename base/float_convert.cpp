#include "base/float_convert.h"

#include <cmath>
#include <limits>

namespace {
template <typename T>
T saturate(double v) {
  if (std::isnan(v)) return 0;
  const double t = std::trunc(v);
  // The bounds are compared in double; for 64-bit targets the upper bound 2^63 is exact
  // and itself out of range.
  constexpr double lo = static_cast<double>(std::numeric_limits<T>::min());
  constexpr double hi = static_cast<double>(std::numeric_limits<T>::max());
  if (t <= lo) return std::numeric_limits<T>::min();
  if (t >= hi) return std::numeric_limits<T>::max();
  return static_cast<T>(t);
}
}  // namespace

int64_t FW_FloatToI64(double v) { return saturate<int64_t>(v); }
int32_t FW_FloatToI32(double v) { return saturate<int32_t>(v); }
uint32_t FW_FloatToU32(double v) { return saturate<uint32_t>(v); }
int16_t FW_FloatToI16(double v) { return saturate<int16_t>(v); }
uint16_t FW_FloatToU16(double v) { return saturate<uint16_t>(v); }
uint8_t FW_FloatToU8(double v) { return saturate<uint8_t>(v); }
