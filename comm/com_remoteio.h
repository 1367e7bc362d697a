// The link to the remote I/O modules.
//
// The device reaches remote I/O modules through up to five bus couplers (coupler blocks
// 21..25 of type 14); each module block (types 15..19) claims one of the nine slots of a
// coupler. In the simulator every coupler is a module-panel window of its own, where the
// user sets module inputs and reads module outputs. Once after entering the run mode the
// scan builds one record per coupler from the engineering and has the shell open the
// panels; every tick after it the exchange moves the module values between the couplers'
// slot records and the panels.
//
// The coupler and module blocks belong to the remote I/O block family, which tells the link
// what it needs of them through an installed table of calls (ComIoBlockAccess). Without
// one, couplers are found but no module is.
#pragma once

#include <cstdint>

#include "comm/com_bus.h"

constexpr int COM_COUPLERS = 5;
constexpr int COM_SLOTS = 9;                  // slots 1..9 of a coupler (0..8 in the records)
constexpr int COM_SLOT_CHANNELS = 4;
constexpr uint16_t COM_FIRST_COUPLER = 21;    // coupler n = block 20 + n
constexpr uint32_t COM_PANEL_TITLE_SIZE = 80;
constexpr uint16_t COM_FIRST_MODULE_BLOCK = 100;

// Block types of the family.
enum : uint16_t {
  COM_TYPE_C_TQ5X = 14, COM_TYPE_TQ_DI = 15, COM_TYPE_TQ_DO = 16, COM_TYPE_TQ_AI = 17,
  COM_TYPE_TQ_AO = 18, COM_TYPE_TQ_AIPLUS = 19, COM_TYPE_TQ_DMS = 22,
};

// Slot address carried by a coupler's slot output n: block x 1000 + 47 + 27 x (n - 1).
constexpr uint32_t COM_SLOT_ADDRESS_FIRST = 47;
constexpr uint32_t COM_SLOT_ADDRESS_STEP = 27;

// Coupler block 21..25 and slot 0..8 from the value of a "Slot x" input: false for a value
// that is no slot address (not a whole number, another block, a place between the slot
// records); the outputs are then left as they were.
bool COM_DecodeSlotAddress(float value, uint16_t* coupler, uint8_t* slot);

// Signal types of the analog channels that the scan reads (analog inputs "STyp", analog
// outputs "OTyp").
enum : uint8_t {
  COM_SIGNAL_ELECTRICAL = 40,   // from here up: electrical signals with a table range
  COM_SIGNAL_LIVE_ZERO = 51,    // analog input 4..20 mA
  COM_OUTPUT_LIVE_ZERO = 21,    // analog output 4..20 mA
};
constexpr float COM_LIVE_ZERO_SPAN = 4000.0f;   // the span marker of a live-zero channel

// Signal types of the analog inputs: electrical signals (`range`) map the channel's scale onto
// their raw range low..high (0..10 V in mV, -10..10 V, -3..3 V, 4..20 mA in uA above 4 mA,
// 0..20 mA in uA); a faulty channel reads the upscale or downscale value (raw units for the
// electrical signals, degrees for the temperature sensors).
struct ComSignalRow {
  uint8_t code;
  bool range;
  float low, high;
  float upscale, downscale;
};
// The row of a signal type, or null for an unknown code.
const ComSignalRow* COM_SignalRow(uint8_t code);

// Panel words of analog inputs: a fault, a value meant as raw value, and the bits restored
// from the sign.
constexpr uint32_t COM_PANEL_FAULT = 0x40000000u;
constexpr uint32_t COM_PANEL_RAW = 0x20000000u;
constexpr uint32_t COM_PANEL_SIGN_BITS = 0x70000000u;

// What the family tells the link of one module block.
struct ComIoModule {
  float slotInput = 0.0f;      // the value of its "Slot x" input
  uint8_t claimed = 0;         // 1: the block owns the slot that input names
  uint8_t mode = 0;            // its "MTyp"
  uint8_t inversion = 0;       // digital modules: bit k set for an inverted channel k + 1
  uint8_t signalType[COM_SLOT_CHANNELS] = {};  // analog inputs "STyp k", outputs "OTyp k"
  uint8_t downscale[COM_SLOT_CHANNELS] = {};   // analog inputs: "Fail k" is "Downscale"
  float x0[COM_SLOT_CHANNELS] = {};            // analog inputs: the channel's scale
  float x100[COM_SLOT_CHANNELS] = {};
};

// One slot record of a coupler block as the link reads and writes it. Multi-byte values are
// little-endian: the input image holds the digital input mask in byte 0, four i16 analog
// values, or two i32 strain-gauge values; the output image the digital output mask in byte 0
// or four i16 analog values; the raw area the four 32-bit panel words last read.
struct ComIoSlotView {
  uint8_t* kind = nullptr;           // kind code reported for the slot
  uint8_t* input = nullptr;          // 8 bytes
  uint8_t* channelStatus = nullptr;  // 4 bytes
  const uint8_t* output = nullptr;   // 8 bytes
  uint8_t* raw = nullptr;            // 16 bytes
};

// The calls the family installs. Each may be null.
struct ComIoBlockAccess {
  // Fills *out for a module block of types 15..19: false when the block is none.
  bool (*module)(uint16_t block, ComIoModule* out);
  // The slot record 0..8 of a coupler block: false when there is none.
  bool (*slot)(uint16_t coupler, uint8_t slot, ComIoSlotView* out);
  // The coupler block's request object, or null.
  ComBusRequest* (*request)(uint16_t coupler);
};
// Installs the family's calls (null: none) and returns those replaced; the calls installed.
// These and the helpers the family shares with the link (slot addresses, kind codes, signal
// rows) do not reach the shell, so that programs without module panels link the family.
const ComIoBlockAccess* COM_SetIoBlockAccess(const ComIoBlockAccess* access);
const ComIoBlockAccess* COM_IoBlockAccess();

// The record of one coupler; the shell's module-panel link reads the first part and keeps
// the panel id and the previous kinds and block numbers.
struct ComCouplerRecord {
  char title[COM_PANEL_TITLE_SIZE];   // "TQ500 - #%d" with the coupler's bus address
  int32_t panel;                      // the shell's panel id; 0: no panel open
  int16_t couplerBlock;               // 21..25
  int16_t moduleCount;                // -1: no coupler
  int16_t kinds[COM_SLOTS];           // module kind codes by slot; 0: empty
  int16_t blocks[COM_SLOTS];          // module block numbers by slot
  int16_t previousKinds[COM_SLOTS];   // as the shell last configured the panel
  int16_t previousBlocks[COM_SLOTS];

  // Exchange data.
  uint16_t* instance;                 // the coupler's instance; null: not present
  uint16_t settings[COM_SLOTS];       // inversion masks of the digital modules
  float scale[COM_SLOTS][COM_SLOT_CHANNELS];
  float offset[COM_SLOTS][COM_SLOT_CHANNELS];
  float span[COM_SLOTS][COM_SLOT_CHANNELS];        // 4000.0 for a live-zero channel, else 0
  float substitute[COM_SLOTS][COM_SLOT_CHANNELS];  // value of a faulty analog input
  ComIoSlotView slotViews[COM_SLOTS];
};
using SimModulePanelRecord = ComCouplerRecord;

// The record of coupler 0..4 (block 21..25), or null.
ComCouplerRecord* COM_CouplerRecord(int coupler);

// Module kind codes (what a module block's parameters select).
enum : int16_t {
  COM_KIND_TQ_DO = 1, COM_KIND_TQ_DI = 2, COM_KIND_TQ_AI = 4, COM_KIND_TQ_AO = 5,
  COM_KIND_TQ_DI_8 = 6, COM_KIND_TQ_DO_4 = 7, COM_KIND_TQ_AI_TC = 8, COM_KIND_TQ_DI_4 = 9,
  COM_KIND_TQ_DMS = 10, COM_KIND_TQ_AI_V = 11, COM_KIND_TQ_AI_TC2 = 14,
  COM_KIND_TQ_AI_MIXED = 15, COM_KIND_TQ_AI_1 = 68, COM_KIND_TQ_AO_2 = 69,
  COM_KIND_TQ_AI_V1 = 75, COM_KIND_TQ_AI_2 = 132, COM_KIND_TQ_AO_1 = 133,
  COM_KIND_TQ_AI_V2 = 139,
};
// The kind code of a module block of `type` with the mode `mode`; 0 for another type.
int16_t COM_ModuleKind(uint16_t type, uint8_t mode);

// COM_ScanIoModules and COM_ExchangeIoModules are in comm/com_services.h.
