// Number helpers shared by all firmware code: the one way floats become integers, and the
// clamp of block outputs to the device's value range.
#pragma once

#include <cstdint>

// Largest magnitude a block output may take.
constexpr float FW_VALUE_MAX = 1.5e37f;
// The float that stands for "off" or "no value" in parameters and displays.
constexpr float FW_NO_VALUE = -32000.0f;

// Clamps to +-1.5e37; NaN becomes 0 so that no block passes NaN on to the network.
float FW_ClampValue(float v);
// The same for a result computed in double precision (the comparison is made in double).
float FW_ClampValueD(double v);

// Truncates toward zero and saturates to the target range; NaN gives 0.
int64_t FW_FloatToI64(double v);
int32_t FW_FloatToI32(double v);
uint32_t FW_FloatToU32(double v);
int16_t FW_FloatToI16(double v);
uint16_t FW_FloatToU16(double v);
uint8_t FW_FloatToU8(double v);

// Modular conversions, where the device keeps only the low bits of a whole number: first
// saturated to 64 bits, then the low bits in two's complement (300 -> 44, -1 -> 255).
inline uint32_t FW_FloatToLow32(double v) { return static_cast<uint32_t>(FW_FloatToI64(v)); }
inline uint16_t FW_FloatToLow16(double v) { return static_cast<uint16_t>(FW_FloatToI64(v)); }
inline uint8_t FW_FloatToLow8(double v) { return static_cast<uint8_t>(FW_FloatToI64(v)); }
