// What the start-up, the main cycle and the hardware adapter need of the engineering image,
// the login, the system-data block, the clock and the I/O blocks, in one place.
//
// Each call forwards to the module that owns the thing. Where that module is not part of
// the firmware yet, fw_links.cpp gives a plain default, said at each declaration.
#pragma once

#include <cstdint>

// --- Engineering image -------------------------------------------------------------------

// The engineering image, 0x20000 bytes (EEPROM address = offset).
uint8_t* FW_LinkImage();
// Engineering status byte (bit 0 loaded, 1 verified, 2 stopped, 3 run change succeeded,
// 4 rewrite), engineering error byte (bit 3 faulty), start flags (bit 0 cold start, bit 2
// start-up pass in progress) and the warm-start flag.
uint8_t& FW_LinkEngStatus();
uint8_t& FW_LinkEngErrors();
uint8_t& FW_LinkStartFlags();
uint16_t& FW_LinkWarmStart();
// Makes the image the main EEPROM's memory and the texts' language byte.
void FW_LinkConnectImage();
// Loads the engineering from the image: 0 loaded, 1 nothing loaded (the device stays
// stopped).
int FW_LinkLoadEngineering();
// Writes the engineering back into the image: 0, or 1 when it does not fit.
int FW_LinkSaveEngineering();
// True when the last load took the image's engineering without a fault: only then may a
// reload switch the device to run.
bool FW_LinkLoadSucceeded();
// True once after the load refused an image of another firmware: the device is to stay
// stopped after the reload.
bool FW_LinkTakeStayStopped();

// --- Login, system data, clock ----------------------------------------------------------

// Reads the password record back from the login block.
void FW_LinkPasswordLoad();
// Removes the password and erases the engineering (before another project is loaded).
void FW_LinkPasswordClear();
// Enters the system-data block's type (type 0) into the block-type table.
void FW_LinkRegisterSystemType();
// Init and run handler of the system-data block, and its hook at the end of the start-up.
void FW_LinkInitSystemData();
void FW_LinkSystemCycle();
void FW_LinkSystemStartupHook();
// System-data value 3007: non-zero when a stop keeps the block outputs (warm start).
uint16_t FW_LinkWarmStartSetting();
// The key test of the service screen is switched on (system datum 522).
bool FW_LinkKeyTest();
// Reads the device clock (end of the settling cycles after a cold start).
void FW_LinkClockHook();
// The firmware's device address (system datum 3002).
uint16_t FW_LinkDeviceAddress();
// Reads the extra data of block 0 into the device identification record (zero-padded):
// true when read; false when the request fails or the record holds no data.
bool FW_LinkReadDeviceIdent(uint8_t* record, uint32_t size);
// What the system block calls back in the firmware: the key code, the palette refresh and
// the new start of the serial channels.
struct FwLinkSystemHooks {
  uint8_t (*keyCode)();
  void (*paletteRefresh)();
  void (*serialInit)();
};
void FW_LinkSystemHooks(const FwLinkSystemHooks& hooks);

// --- I/O blocks ---------------------------------------------------------------------------

// The analog-input failure byte of the analog input card blocks (non-zero: an input has
// failed).
uint8_t FW_LinkAnalogInputFailures();
