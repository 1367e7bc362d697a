// What the block data requests, the login and the system data need of the engineering image:
// its bytes, the engineering status and error bytes, the parameter-list records, and the
// load, check, clear and save of the engineering.
//
// All image access of those modules goes through these few calls; they are the engineering
// image's own (runtime/fw_image.h).
#pragma once

#include <cstdint>

// The engineering image: 0x20000 bytes whose offset is the main-EEPROM address.
constexpr uint32_t FW_SYS_IMAGE_SIZE = 0x20000;
uint8_t* FW_SysImage();

// Offsets of the header bytes the system data and the login use.
enum : uint32_t {
  FW_SYS_ORDER_DIGITS = 4,   // six order-code digits d[0..5]; d[2] = communication option
  FW_SYS_IDENT = 14,         // four identification digits, read as datum 512
  FW_SYS_BYTE31 = 31,
  FW_SYS_BYTE32 = 32,
  FW_SYS_FLAGS38 = 38,       // bits 0..2 data 1255..1257, bit 4 write lock, bit 5 datum 501
  FW_SYS_RUN_MODE = 39,      // 1 stopped, 2 running
  FW_SYS_BYTE44 = 44,        // datum 3003
  FW_SYS_LANGUAGE = 45,      // datum 3004
  FW_SYS_LOGIN_LEVEL = 47,   // protection level (datum 536)
  FW_SYS_LOGIN_TRIES = 48,   // allowed wrong tries (datum 537)
  FW_SYS_BYTE49 = 49,        // datum 3008
  FW_SYS_BYTE50 = 50,        // datum 3007
  FW_SYS_DH_SWITCH = 51,
  FW_SYS_BAUD = 56,          // datum 3001
  FW_SYS_PROTOCOL = 57,      // datum 3000; 3 = Modbus
  FW_SYS_ADDRESS = 58,       // datum 3002
  FW_SYS_IO_SETTINGS = 59,   // 44 bytes of I/O and interface settings (59..102)
  FW_SYS_IO_SETTINGS_LEN = 44,
  FW_SYS_TEXT4082 = 87,      // 16-character text (datum 4082), inside the settings block
  FW_SYS_CARD_ADDR_SET = 103,// option-card address set (datum 528)
  FW_SYS_BUS_NODE = 110,     // datum 3005
  FW_SYS_BUS_RATE = 111,     // datum 3006
  FW_SYS_LOGIN_BLOCK = 0x1EFFF,  // login block: 4097 bytes up to the end of the image
};
constexpr uint32_t FW_SYS_LOGIN_BLOCK_LEN = 4097;

// Engineering status byte, which the system data reports as the communication status
// (one byte): bit 0 engineering loaded, bit 1 loaded and checked, bit 2 stopped, bit 3
// something changed (through an interface, or a successful change to the run mode), bit 4
// changed while stopped (the whole image is rewritten at the next save).
enum : uint8_t {
  FW_STAT_LOADED = 0x01,
  FW_STAT_CHECKED = 0x02,
  FW_STAT_STOPPED = 0x04,
  FW_STAT_CHANGED = 0x08,
  FW_STAT_REWRITE = 0x10,
};
uint8_t& FW_SysStatus();
// Engineering error byte: bit 3 while the engineering is faulty.
constexpr uint8_t FW_SYS_ERR_FAULTY = 0x08;
uint8_t& FW_SysErrors();

// True when the image holds an engineering (it begins with the tag "MX7N").
bool FW_SysHasEngineering();

// Loads the engineering from the image (tag, identification, both lists, run mode,
// check): 0 when it loaded. An image without the tag or of another firmware is refused
// (1) before anything changes.
int FW_SysLoadEngineering();
// Loads both lists and checks the engineering: 0 on success.
int FW_SysLoadAndCheck();
// Forgets the loaded engineering.
void FW_SysClearEngineering();
// Writes the engineering back into the image: 0, or 1 when it does not fit.
int FW_SysSaveEngineering();

// The parameter-list record of a block ({block, L, L - 2 data words}), or null; block 0
// names the system-data block's record.
const uint16_t* FW_SysGetParamRecord(uint32_t block);
// Appends a record for an existing block (or block 0) and links it: 0, 'l' for a length
// outside 2..100 words, 'j' for a missing block, 131 when it does not fit beside the
// instances in 120000 words.
uint8_t FW_SysAppendParamRecord(uint16_t block, const uint16_t* data, uint16_t dataWords);
