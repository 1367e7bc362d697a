// Number helpers shared by all firmware code: the clamp of block outputs to the device's
// value range, and (from the base library) the one way floats become integers.
#pragma once

#include <cstdint>

#include "base/float_convert.h"

// Largest magnitude a block output may take.
constexpr float FW_VALUE_MAX = 1.5e37f;
// The float that stands for "off" or "no value" in parameters and displays.
constexpr float FW_NO_VALUE = -32000.0f;

// Clamps to +-1.5e37; NaN becomes 0 so that no block passes NaN on to the network.
float FW_ClampValue(float v);
// The same for a result computed in double precision (the comparison is made in double).
float FW_ClampValueD(double v);

// True when v lies within lo..hi, the bounds included; NaN never does.
inline bool FW_Within(float v, float lo, float hi) { return v >= lo && v <= hi; }
