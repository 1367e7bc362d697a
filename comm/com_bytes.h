// Big-endian values of received and sent frames and of the fieldbus records (most
// significant byte first), by explicit byte access. Inline, so that the blocks that fill
// and read the fieldbus records need no link to the protocols.
#pragma once

#include <bit>
#include <cstdint>

inline void COM_GetBE32(uint32_t* out, const uint8_t* b) {
  *out = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}
inline void COM_GetBE32(float* out, const uint8_t* b) {
  uint32_t v;
  COM_GetBE32(&v, b);
  *out = std::bit_cast<float>(v);
}
inline void COM_GetBE16(uint16_t* out, const uint8_t* b) {
  *out = static_cast<uint16_t>((b[0] << 8) | b[1]);
}
inline void COM_PutBE32(uint8_t* b, uint32_t v) {
  b[0] = static_cast<uint8_t>(v >> 24);
  b[1] = static_cast<uint8_t>(v >> 16);
  b[2] = static_cast<uint8_t>(v >> 8);
  b[3] = static_cast<uint8_t>(v);
}
inline void COM_PutBE32(uint8_t* b, float v) { COM_PutBE32(b, std::bit_cast<uint32_t>(v)); }
inline void COM_PutBE16(uint8_t* b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v >> 8);
  b[1] = static_cast<uint8_t>(v);
}
