// The device's own I/O hardware as the firmware sees it: four boards (slots A, B, C, P)
// of four channels each, the fixed map from I/O block numbers to board and channel, and the
// analog-input failure byte.
//
// The records are firmware RAM that never leaves the process. The start-up sets them up
// (FW_SetupIoBoards), the hardware adapter fills them from the simulated I/O every cycle and
// takes the outputs back (FW_CopyHostIo), and the I/O blocks claim their channel in Init and
// read or write it in Run. Fields are in the order the blocks use them.
#pragma once

#include <cstdint>

constexpr uint32_t FW_IO_BOARDS = 4;
constexpr uint32_t FW_IO_CHANNELS = 4;     // per board
constexpr uint32_t FW_IO_SUBCHANNELS = 2;  // measuring sub-channels a and b of a channel
constexpr uint32_t FW_IO_BITS = 4;         // digital input bits and logic outputs per channel

// Board types (FW_SetupIoBoards): board 0 the base card, boards 1 and 2 the slots, board 3
// the output card.
enum : uint16_t {
  FW_BOARD_NONE = 0,
  FW_BOARD_BASE = 1,
  FW_BOARD_MODULE_RACK = 2,
  FW_BOARD_DIGITAL_CARD = 3,
  FW_BOARD_OUTPUT = 4,
  FW_BOARD_OUTPUT_ANALOG = 5,
};

// Channel status byte bits (any set bit fails the `id_err` checks).
enum : uint8_t { FW_IO_STATUS_CJC = 0x01, FW_IO_STATUS_FAULT = 0x02 };

// Module classes the blocks expect and the hardware reports (the module type numbers of the
// device configuration).
enum : uint8_t {
  FW_CLASS_NONE = 0,
  FW_CLASS_UNI_INPUT = 1,
  FW_CLASS_TC_INPUT = 2,
  FW_CLASS_TPS_INPUT = 3,
  FW_CLASS_U_INPUT = 11,
  FW_CLASS_R_INPUT = 12,
  FW_CLASS_DI_2 = 21,
  FW_CLASS_DI_4 = 22,
  FW_CLASS_I_OUTPUT = 32,
  FW_CLASS_U_OUTPUT = 33,
  FW_CLASS_PWM_OUTPUT = 34,
  FW_CLASS_DO_4 = 41,
  FW_CLASS_RELAY = 43,
  FW_CLASS_SWITCH = 44,
  FW_CLASS_SSR = 45,
  FW_CLASS_DIDO = 50,
};

// An expected class of two acceptable classes: the low byte and the high byte.
constexpr uint16_t FW_IoClassPair(uint8_t first, uint8_t second) {
  return static_cast<uint16_t>(first | second << 8);
}
// True when the reported class is the expected one (the low byte); with `eitherByte` the
// high byte is accepted too. A reported class 0 (no module) never matches.
constexpr bool FW_IoClassMatches(uint8_t reported, uint16_t expected, bool eitherByte) {
  if (reported == FW_CLASS_NONE) return false;
  if (!eitherByte) return reported == expected;
  return reported == (expected & 0xFF) || reported == (expected >> 8);
}

// One measuring sub-channel: its configuration (written by the claiming block) and its
// measurement (written by the hardware side).
struct FwIoSubChannel {
  uint8_t configValid;
  uint8_t sensorCode;
  uint8_t unit;
  uint8_t mainsFrequency;
  uint8_t coldJunction;
  uint16_t textId;          // the sensor's name text
  uint8_t refValid;
  int16_t refTemp;          // reference temperature in tenths
  uint32_t newValue;        // a new reading is there; the block clears it
  uint32_t electrical;      // 1: raw is in mA, V, mV or ohm; 0: already in engineering units
  uint8_t fault;            // low three bits: sensor fault
  float raw;
};

struct FwIoDigitalIn {
  uint32_t valid;
  uint8_t bits[FW_IO_BITS];
};

struct FwIoOutput {
  uint32_t inUse;
  uint8_t analogNew;        // a and b changed; the hardware side clears it
  float a;                  // mA; the single-output blocks drive b
  float b;
  uint8_t logicNew;
  uint8_t logic[FW_IO_BITS];
};

struct FwIoChannel {
  uint16_t expectedClass;   // written by the claiming block's Init
  uint8_t reportedClass;    // from the hardware
  uint8_t reconfigure;      // 1: the hardware asks for the configuration again
  FwIoSubChannel sub[FW_IO_SUBCHANNELS];
  uint32_t inputInUse;
  FwIoDigitalIn din;
  FwIoOutput out;
};

// Output test of a card (system data 4140..4143): channels whose analog outputs are driven
// at the test percentages, channels whose logic outputs are forced, and the forced states.
struct FwIoCardTest {
  uint16_t analogMask;      // bit c: channel c's outputs a, b at percent[2c], percent[2c + 1]
  uint16_t logicMask;       // bit c: channel c's logic outputs forced
  uint16_t logicState;      // bit c: the forced state of channel c's logic outputs
  uint16_t spare;
  float percent[2 * FW_IO_CHANNELS];
};

struct FwIoBoard {
  uint32_t inUse;           // set by every block that claims a channel of the board
  uint16_t type;            // FW_BOARD_*
  uint8_t status[FW_IO_CHANNELS];
  FwIoChannel channel[FW_IO_CHANNELS];
  FwIoCardTest test;
};

extern FwIoBoard g_fwIoBoards[FW_IO_BOARDS];

// Bits of the analog-input failure byte (one per input block that has one).
enum : uint8_t {
  FW_AIN_FAIL_AINP1 = 0x01,
  FW_AIN_FAIL_AINP3 = 0x04,
  FW_AIN_FAIL_AINP4 = 0x08,
  FW_AIN_FAIL_AINP5 = 0x10,
  FW_AIN_FAIL_AINP6 = 0x20,
};
extern uint8_t g_fwAnalogInputFailures;
// Sets (fail non-zero) or clears bits of the analog-input failure byte.
void FW_IoReportFailure(uint8_t bits, uint16_t fail);

// --- Channel map ---------------------------------------------------------------------------

// Board and channel of a fixed I/O block number: 61 board 0 channel 3; 63, 64 board 2
// channel 2; 65 board 0 channel 1; 66 board 0 channel 2; 67..70 board 2 channels 0..3;
// 71..74 board 1 channels 0..3; 81, 82, 84, 85 board 3 channels 3, 2, 1, 0; 91 board 0
// channel 0; 95 board 1 channel 3. False for every other number.
bool FW_IoChannelOf(uint32_t block, uint16_t* board, uint16_t* channel);
// The channel record of a block number and its board, or null without a channel.
FwIoChannel* FW_IoChannelForBlock(uint32_t block, FwIoBoard** board = nullptr);

// Index of a channel's sub-channel (or output side) in the shell's analog I/O image
// (board x 8 + channel x 2 + sub), and of a bit in its digital image (board x 16 +
// channel x 4 + bit).
constexpr uint32_t FW_IoAnalogIndex(uint32_t board, uint32_t channel, uint32_t sub) {
  return board * 8 + channel * 2 + sub;
}
constexpr uint32_t FW_IoDigitalIndex(uint32_t board, uint32_t channel, uint32_t bit) {
  return board * 16 + channel * 4 + bit;
}

// --- Start-up ------------------------------------------------------------------------------

// Every board and channel record to its defaults (nothing claimed, no classes, no values,
// sub-channel units and cold-junction modes 1), the given board types, the failure byte 0.
void FW_IoResetBoards(const uint16_t types[FW_IO_BOARDS]);

// The mains-frequency setting of the system block that the blocks write into their
// sub-channel configuration (0 50 Hz, 1 60 Hz).
uint8_t FW_IoMainsFrequency();

// The front-panel indicators are set through the operating interface; the firmware binds
// that call here, so that the block library needs no display to link (null: nothing is set).
using FwIndicatorFn = void (*)(int n, int code, int on);
void FW_IoBindIndicator(FwIndicatorFn fn);
void FW_IoSetIndicator(int n, int code, int on);

// --- System data of the cards (block 0) ------------------------------------------------------

constexpr uint32_t FW_IO_MODULE_WORDS = 31;   // data 4110..4113
constexpr uint32_t FW_IO_VALUE_BYTES = 56;    // data 4130..4133: 14 bytes per channel
constexpr uint16_t FW_IO_ABSENT = 0xFFFF;     // -1

// Module data of slot k: board state (3 online, 4 unused), board type, per channel {module
// class (-1 none), status byte, fault bits (bit 0 sub-channel a, bit 1 b), readings a and b
// in tenths}, serial number (four words), hardware version, software version (major high
// byte, minor low byte), and the board temperature now, lowest and highest in tenths. An
// absent board gives 31 words of -1.
void FW_IoModuleData(uint32_t board, uint16_t out[FW_IO_MODULE_WORDS]);
// Values of the four channels of card k, 14 bytes each: reading a and b (f32, little
// endian), fault a, fault b, status, reported class, the input bits in the low and the
// logic outputs in the high nibble (bit i = input or output i), the low byte of the expected
// class.
void FW_IoChannelValues(uint32_t board, uint8_t out[FW_IO_VALUE_BYTES]);
// Configures both sub-channels of channel `channel` (0..3) of card `board`: words {code,
// unit, mains frequency, cold-junction mode} for a, then for b; reference temperatures in
// degrees, stored in tenths with their valid bytes. The values are checked by the caller.
void FW_IoConfigureChannel(uint32_t board, uint32_t channel, const uint16_t words[8],
                           const float refs[2]);
// Sets the output test of a card (checked by the caller).
void FW_IoSetCardTest(uint32_t board, const uint16_t words[4], const float percent[8]);
