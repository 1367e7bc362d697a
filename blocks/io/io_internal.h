// What the files of the I/O family share.
#pragma once

#include <bit>
#include <cstdint>

#include "runtime/fb_store.h"
#include "runtime/fw_io.h"

struct BlkCalPage;

// Registration of each file's rows.
void BLK_RegisterAnalogInputTypes();
void BLK_RegisterOutputTypes();
void BLK_RegisterDualInputTypes();
void BLK_RegisterDualOutputTypes();

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

// Marks the board and the channel's output part (or its input part) in use and writes the
// class the block expects.
void IO_Claim(const IoClaim& c, uint16_t expected, bool output);
// Claims the channel of a block number; the claim is empty for a number without one.
IoClaim IO_ClaimChannel(uint16_t block, uint16_t expected, bool output);

// True when the channel's reported class is the expected one (with `eitherByte` either
// byte of it) and its status byte is clear.
inline bool IO_ChannelGood(const IoClaim& c, bool eitherByte) {
  return c && c.status() == 0 &&
         FW_IoClassMatches(c.channel->reportedClass, c.channel->expectedClass, eitherByte);
}

// The percent factor k = 100 / (x100 - x0) of an output; equal limits (or a factor that is
// no number) give 0, so that the output stays at 0 %.
float IO_PercentFactor(float x0, float x100);

// Copies the pending word values and 4-byte values of an instance into the current ones
// (Init takes the configuration over).
void IO_TakeOverValues(const FbLayout& L);

// Digital input i (0-based) and analog input i of an instance.
inline uint16_t IO_Din(const FbLayout& L, unsigned i) { return FB_ReadDigitalRef(L.di[i]); }
inline float IO_Ain(const FbLayout& L, unsigned i) { return FB_ReadAnalogRef(L.ai[i]); }

// 4-byte value k of an instance as a float.
inline float IO_Long(const FbLayout& L, uint32_t k) { return std::bit_cast<float>(L.lv[k].get()); }

// Calibration through the page record. IO_CalPagePrepare fills the record for its page:
// block type, title, the fields start value, end value, reading and Y (formats from the
// limit records of the 4-byte values at startIndex and endIndex) and the callback handles;
// the rest is cleared. IO_CalExchange hands the page's requests to the
// outputs a/m, inc, dec (digital outputs amOut .. amOut + 2; the inc and dec requests are
// taken once) and gives the page the lock and hide inputs (digital inputs 1 and 2), the
// reading, the Y input and the fault byte.
void IO_CalPagePrepare(const FbLayout& L, BlkCalPage& p, uint16_t startIndex, uint16_t endIndex,
                       float reading);
void IO_CalExchange(const FbLayout& L, BlkCalPage& p, uint16_t amOut, float reading, float y,
                    uint8_t fault);
// Writes a calibrated 4-byte value into the current and the pending copy and saves it; when
// the write ring is full the old value comes back and the answer is false.
bool IO_StoreCalibrated(const FbLayout& L, uint16_t index, float value);
// The start and end steps: state 2 or command 500 take the reading as the value at
// `startIndex`, state 3 or command 501 as the value at `endIndex`, each only within that
// value's limits; the command is cleared and the state moves on to 4 or 5. True when a value
// was stored (the caller recomputes its factors).
bool IO_CalStartEnd(const FbLayout& L, BlkCalPage& p, uint16_t command[2], uint16_t startIndex,
                    uint16_t endIndex, float reading);

// The text id of choice `choice` of word value `index` of a type (0 without a label list).
uint16_t IO_ChoiceText(uint16_t type, uint16_t index, uint16_t choice);
