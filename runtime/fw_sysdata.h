// The system-data block: block 0, type 0, the device itself.
//
// Its data (operating state, interface settings, clock, language, identification, I/O-card
// settings) are read and written by number with the parameter requests of block 0. A write
// never touches the non-volatile settings directly: it changes a 16-bit shadow (or the
// image byte) and raises a store flag; the run handler, called once per tick, copies the
// shadows into the settings bytes of the engineering image and queues their EEPROM
// write-back, retrying at the next tick while the write ring is full.
#pragma once

#include <cstdint>

#include "runtime/fb_param.h"

// Store flags (bits of the store-flag word).
enum : uint32_t {
  FW_STORE_STOP = 0x1,          // run mode 1 into byte 39
  FW_STORE_RUN = 0x2,           // run mode 2 into byte 39
  FW_STORE_FLAGS38 = 0x4,       // byte 38 from the three flag shadows
  FW_STORE_BYTE49 = 0x10,       // datum 3008
  FW_STORE_BYTE50 = 0x20,       // datum 3007
  FW_STORE_BUS = 0x40,          // bytes 110, 111 (data 3005, 3006)
  FW_STORE_CARD_ADDR = 0x80,    // byte 103
  FW_STORE_LANGUAGE = 0x100,    // byte 45
  FW_STORE_PROTOCOL = 0x200,    // byte 57
  FW_STORE_BAUD = 0x400,        // byte 56
  FW_STORE_ADDRESS = 0x800,     // byte 58
  FW_STORE_BYTE44 = 0x1000,     // datum 3003
  FW_STORE_LOGIN = 0x2000,      // the login block, and byte 51 (DH switch) with it
  FW_STORE_LOGIN_SETTINGS = 0x4000,  // bytes 47, 48 and the wrong-try counter
  FW_STORE_PALETTE = 0x8000,    // refresh of the display palette
  FW_STORE_IO_SETTINGS = 0x10000,    // the 44-byte settings block 59..102
};

// Indexes of the nine shadows of data 3000..3008.
enum : uint16_t {
  FW_SH_PROTOCOL = 0, FW_SH_BAUD, FW_SH_ADDRESS, FW_SH_BYTE44, FW_SH_LANGUAGE, FW_SH_BUS_NODE,
  FW_SH_BUS_RATE, FW_SH_BYTE50, FW_SH_BYTE49, FW_SH_COUNT
};

struct FwSystemData {
  uint16_t shadow[FW_SH_COUNT];   // data 3000..3008
  uint16_t flagShadow[3];         // byte 38 bits 0..2 (data 1255..1257)
  uint32_t storeFlags;            // FW_STORE_*
  uint8_t locks[4];               // operating locks, like byte 38 bits 0, 1, 2 and 4
  uint8_t actionByte;
  uint16_t actionWord;            // its 16-bit companion
  uint8_t deviceFlags;            // bit 1 read by data 0 and 504
  uint8_t requestFlags;           // bit 1 set by datum 506
  uint8_t requestFlags2;          // bit 3 cleared by datum 503
  uint8_t keyTest;                // key test of the service screen (datum 522)
  uint8_t commOption;             // cached communication option digit
  uint8_t startupDone;            // 0 until the start-up pass has finished (561 bit 11)
  uint32_t counters[2];           // data 545, 546
  uint16_t boardVersion[7];       // data 554..560, major x 100 + minor
  uint8_t boardFlags;             // bits 0, 1: data 561 bits 8, 9
  // Option-card exchange: the card's bus status byte and the device status byte.
  uint8_t cardBusStatus;
  uint8_t cardDeviceStatus;
  uint16_t answerLength;          // bytes from offset 4 of the last read's answer
};
extern FwSystemData g_fwSys;

// What the system block calls in other parts of the firmware. Every hook may be null.
struct FwSystemHooks {
  uint8_t (*keyCode)() = nullptr;          // the current key code (datum 522)
  void (*serialInit)() = nullptr;          // the serial channel is initialised again
  void (*paletteRefresh)() = nullptr;      // the display palette is refreshed
  void (*applyIoSettings)() = nullptr;     // the I/O settings are applied again
  bool (*busNodeKnown)() = nullptr;        // another system-bus node is known (561 bit 4)
};
extern FwSystemHooks g_fwSysHooks;

// The three handlers of type 0.
// The parameter handler takes positive ids as writes and negative ids as reads; id 0 reads
// datum 0 (which cannot be written). A read leaves its answer in the request from offset 4
// (one byte, a word, a 32-bit value, 16 characters, or count bytes and words from offset 8
// for the whole sets) and its length in g_fwSys.answerLength.
void FW_InitSystemData();
uint8_t FW_WriteSystemData(FbParamRequest* request, uint16_t* badIndex);
void FW_SystemCycle();
// Enters type 0 into the block-type table with its handlers and limit records (nine word
// values 3000..3008).
void FW_RegisterSystemType();
// The limit records of type 0 (word values 3000..3008; clock fields 1250..1254 as word
// parameters).
extern const FbLimitTable g_fwSystemLimits;

// The hook the firmware cycle calls at the end of start-up (nothing to do in the simulator).
void FW_SystemStartupHook();

// True while the interface write lock is in force (image byte 38 bit 4, or the operating
// lock that stands for it): the serial channels then take no writes.
bool FW_InterfaceWriteLocked();

// Copies the communication option digit (order-code digit 2) into the cached byte and
// returns it.
uint8_t FW_GetCommOption();

// Parameter handler of the DH-switch line of block 0's value list: the low byte of the
// value (0 or 1, else 'l') goes into the line's copy and image byte 51; the login-block store
// flag is raised. 0.
uint8_t FW_SetDhSwitch(FbParamRequest* request, uint16_t* badIndex);
// The DH-switch line's copy (0 until the line is edited).
extern uint16_t g_fwDhSwitchCopy;

// Limit callbacks of the system data, answering by hardware variant and run mode.
int16_t FW_LimitZero(uint16_t block, int16_t value);
int16_t FW_LimitFour(uint16_t block, int16_t value);
int16_t FW_LimitOne(uint16_t block, int16_t value);
int16_t FW_LimitMaxAddress(uint16_t block, int16_t value);
int16_t FW_LimitOptionMax(uint16_t block, int16_t value);
int16_t FW_LimitOptionMin(uint16_t block, int16_t value);
int16_t FW_LimitRunLockedMinA(uint16_t block, int16_t value);
int16_t FW_LimitRunLockedMaxA(uint16_t block, int16_t value);
int16_t FW_LimitRunLockedMinB(uint16_t block, int16_t value);
int16_t FW_LimitRunLockedMaxB(uint16_t block, int16_t value);
float FW_LimitMax999999(uint16_t block);

// Resets the system block's RAM state (program start, tests).
void FW_ResetSystemData();
