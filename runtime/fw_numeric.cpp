#include "runtime/fw_numeric.h"

#include <cmath>

float FW_ClampValue(float v) {
  if (std::isnan(v)) return 0.0f;
  if (v > FW_VALUE_MAX) return FW_VALUE_MAX;
  if (v < -FW_VALUE_MAX) return -FW_VALUE_MAX;
  return v;
}

float FW_ClampValueD(double v) {
  if (std::isnan(v)) return 0.0f;
  if (v > static_cast<double>(FW_VALUE_MAX)) return FW_VALUE_MAX;
  if (v < -static_cast<double>(FW_VALUE_MAX)) return -FW_VALUE_MAX;
  return static_cast<float>(v);
}
