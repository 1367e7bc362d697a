// Block types for engineering-image tests and the image fuzz target: ABSV, a type with every
// group populated, a type with the largest work area, and a type with 25 inputs of each kind.
#pragma once

#include <cstdint>

constexpr uint16_t IMG_TYPE_ABSV = 1;
constexpr uint16_t IMG_TYPE_ALL = 200;   // "ALLG": every group, odd-sized groups
constexpr uint16_t IMG_TYPE_BIG = 202;   // "BIG": 2500 work words
constexpr uint16_t IMG_TYPE_WIDE = 203;  // "WIDE": 25 analog and 25 digital inputs and outputs

// Clears the type table and the block store and registers the types above.
void IMG_RegisterTestTypes();
