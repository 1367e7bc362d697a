// The one way floats become integers, shared by the firmware and the graphics library:
// truncation toward zero, saturated to the target range, NaN gives 0, so that no conversion
// is undefined.
#pragma once

#include <cstdint>

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
