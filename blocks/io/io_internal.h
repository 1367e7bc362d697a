// What the files of the I/O family share.
#pragma once

#include <cstdint>

#include "runtime/fb_store.h"
#include "runtime/fw_io.h"

// Registration of each file's rows.
void BLK_RegisterAnalogInputTypes();
void BLK_RegisterOutputTypes();

// Catalogue groups of the family.
constexpr uint16_t kGroupIoInputs = 0;
constexpr uint16_t kGroupIoFlexInputs = 101;
constexpr uint16_t kGroupIoRelays = 102;
constexpr uint16_t kGroupIoDigital = 103;
constexpr uint16_t kGroupIoPanel = 104;

// The board and channel of the block being run, when its number has one.
struct IoClaim {
  FwIoBoard* board = nullptr;
  FwIoChannel* channel = nullptr;
  uint16_t boardIndex = 0, channelIndex = 0;
  explicit operator bool() const { return channel != nullptr; }
  uint8_t status() const { return board->status[channelIndex]; }
};
IoClaim IO_ClaimOf(uint16_t block);

// Copies the pending word values and 4-byte values of an instance into the current ones
// (Init takes the configuration over).
void IO_TakeOverValues(const FbLayout& L);

// Digital input i (0-based) and analog input i of an instance.
inline uint16_t IO_Din(const FbLayout& L, unsigned i) { return FB_ReadDigitalRef(L.di[i]); }
inline float IO_Ain(const FbLayout& L, unsigned i) { return FB_ReadAnalogRef(L.ai[i]); }

// The text id of choice `choice` of word value `index` of a type (0 without a label list).
uint16_t IO_ChoiceText(uint16_t type, uint16_t index, uint16_t choice);
