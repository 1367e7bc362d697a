#include "comm/com_bytes.h"

#include <bit>

void COM_GetBE32(uint32_t* out, const uint8_t* b) {
  *out = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

void COM_GetBE32(float* out, const uint8_t* b) {
  uint32_t v;
  COM_GetBE32(&v, b);
  *out = std::bit_cast<float>(v);
}

void COM_GetBE16(uint16_t* out, const uint8_t* b) {
  *out = static_cast<uint16_t>((b[0] << 8) | b[1]);
}

void COM_PutBE32(uint8_t* b, uint32_t v) {
  b[0] = static_cast<uint8_t>(v >> 24);
  b[1] = static_cast<uint8_t>(v >> 16);
  b[2] = static_cast<uint8_t>(v >> 8);
  b[3] = static_cast<uint8_t>(v);
}

void COM_PutBE32(uint8_t* b, float v) { COM_PutBE32(b, std::bit_cast<uint32_t>(v)); }

void COM_PutBE16(uint8_t* b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v >> 8);
  b[1] = static_cast<uint8_t>(v);
}
