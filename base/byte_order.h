// Little-endian access to stored and sent bytes (images, project files, settings blocks,
// frames between processes), shared by the firmware, the shell and the platform stand-ins.
// Every stored format is read and written byte by byte, never by casting a struct over bytes.
#pragma once

#include <cstdint>

inline uint16_t FW_GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t FW_GetU32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline void FW_PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void FW_PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
