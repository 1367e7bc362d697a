// The simulator's hardware adapter: the one door between the shell and the firmware.
//
// The shell initialises and starts the firmware, runs one firmware tick per 100 ms cycle,
// hands over the hard-key mask, prepares a project load and takes the data image back
// before a restart. The adapter moves the engineering and data images between the shell's
// project buffers and firmware memory and turns the device configuration into the image's
// order-code digits and back. Everything runs on the UI thread and never blocks: the
// delays of the device go through the delay hook, which does nothing until the shell sets
// it.
#pragma once

#include <cstdint>

#include "runtime/fb_store.h"
#include "shell/sim_services.h"

// The firmware's identification as the start screen shows it (the eight bytes the image and
// the shell carry are FW_FIRMWARE_IDENT).
constexpr char FW_FIRMWARE_ID[] = "1230-A";
constexpr uint8_t FW_FIRMWARE_VERSION = 4;

// Delays of the start (ms).
constexpr int FW_DELAY_START = 1000;
constexpr int FW_DELAY_FIRST_RUN = 3000;
constexpr int FW_DELAY_PROJECT_LOAD = 200;

constexpr uint16_t FW_MODULE_SCAN_TICK = 19;   // the remote modules are scanned then
constexpr uint16_t FW_TICK_COUNTER_MAX = 20;
constexpr uint32_t FW_SIZE_TEST_ADDRESS = 0x1EFFF;  // size-test pattern of the start
constexpr uint16_t FW_RUN_MODE_NONE = 255;     // last run mode before the first tick

struct FwAdapterState {
  uint16_t tickCounter;        // ticks in the run mode, stops at 20
  uint8_t keyCode;             // from the hard-key mask
  uint8_t moduleScanDone;
  uint8_t firstStart;          // 1 until the first start after the program was launched
  uint16_t lastRunMode;        // 255 before the first tick
  uint16_t deviceModeCopy;
  uint8_t startPictureState[4];
};
extern FwAdapterState g_fwAdapter;

// The shell's delay (ms) as the device's waits use it; null = no wait (tests).
using FwDelayHook = void (*)(int ms);
void FW_SetDelayHook(FwDelayHook hook);

// Display set-up and the four key indicators to "no indicator".
void FW_SimInit();
// The firmware start: images in, device configuration, firmware start-up.
void FW_SimStart();
// One firmware tick.
void FW_SimCycle();
// Before the shell loads another project: leaves the page, removes the password, restarts
// the picture loading.
void FW_PrepareProjectLoad();
// Copies the firmware's data image into the shell's data buffer.
void FW_CopyDataAreaToHost();
// Copies the firmware's engineering and data images into the shell's project buffers (before
// a restart: an engineering that a PC tool downloaded lives only in the firmware's image until
// then). The saved copies are left alone, so the project still counts as changed.
void FW_CopyImagesToHost();

// Key code from the hard-key mask: 1, 2, 4, 8, 16 give 1, 16, 2, 4, 8; anything else 0.
void FW_SetKeyMask(uint32_t mask);
uint8_t FW_GetKeyCode();
// The names the operating interface and the shell also use for the two.
inline void FW_SetHwType(uint32_t mask) { FW_SetKeyMask(mask); }
inline uint8_t FW_GetHwFlags() { return FW_GetKeyCode(); }

// Order-code digits d[0..5] (characters '0'..'9') from the device configuration and back:
// d[0] connection, d[1] '0' + 2 x relays + power, d[2] communication option, d[3] base
// unit, d[4] slot B, d[5] slot C. A digit outside '0'..'9' reads as 0.
void FW_DigitsFromConfig(const SimDeviceConfig& config, uint8_t digits[6]);
void FW_ConfigFromDigits(const uint8_t digits[6], SimDeviceConfig* config);

// Trend readers: the L1READ blocks among blocks 1..20, for the shell's trend binding.
constexpr uint16_t FW_TYPE_L1READ = 100;
constexpr uint16_t FW_TREND_BLOCKS = 20;
struct FwTrendReaders {
  uint8_t marked[FW_TREND_BLOCKS + 1];
  uint16_t count;
  int16_t first;                       // -1: none
  uint32_t analog[FW_TREND_BLOCKS + 1][7];
  uint32_t digital[FW_TREND_BLOCKS + 1][12];
  char title[FW_TREND_BLOCKS + 1][FB_TEXT_LEN + 1];
};
extern FwTrendReaders g_fwTrendReaders;
void FW_CollectTrendReaders();

// Resets the adapter (program start, tests): first start pending, no key, no delay hook.
void FW_ResetAdapter();
