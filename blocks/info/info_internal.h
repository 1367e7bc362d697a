// Own state records of the device-function types, shared by their handlers and their rows.
#pragma once

#include <cstdint>

namespace info {

// Catalogue groups of the family.
enum : uint16_t { kGroupPages = 104, kGroupConstants = 105 };

// STATUS: the palette selection made last (2 x colour + di-inv).
struct StatusState {
  uint16_t palette;
};

// CALLPG: the input seen last, its edge, whether a request was made, and the last target.
struct CallpgState {
  uint16_t lastInput;
  uint16_t edge;
  uint16_t requestMade;
  uint16_t targetType;
  uint16_t targetBlock;
};

void registerInfoTypes();
void registerStatusType();
void registerConstType();

}  // namespace info
