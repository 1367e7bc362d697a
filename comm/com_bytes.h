// Values most significant byte first, as bus objects and protocol frames carry them. Each
// call is a byte-reversed copy between a value and its bytes, so one pair serves decoding a
// received value and writing one to be sent.
#pragma once

#include <cstdint>

void COM_GetBE32(uint32_t* out, const uint8_t* bytes);
void COM_GetBE32(float* out, const uint8_t* bytes);
void COM_GetBE16(uint16_t* out, const uint8_t* bytes);
void COM_PutBE32(uint8_t* bytes, uint32_t v);
void COM_PutBE32(uint8_t* bytes, float v);
void COM_PutBE16(uint8_t* bytes, uint16_t v);
