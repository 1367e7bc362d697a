// Firmware start-up and main cycle.
//
// FW_Init brings the firmware up after each start by the hardware adapter: display, RAM
// areas, the EEPROM checks and the engineering from its image, or the service screen when
// there is none. FW_Cycle is the main cycle, once per 100 ms tick: keys and inputs, the
// page manager, the system block and the bus, then one step of the run-state machine that
// decides which block handlers run.
//
// Nothing here waits: where the device waits (for a key at start-up), the wait is a state
// that the next cycles look at.
#pragma once

#include <cstdint>

#include "runtime/fw_main_state.h"

struct OpSlotRecord;

constexpr uint16_t FW_SETTLING_CYCLES = 16;
constexpr uint16_t FW_PICTURE_DELAY_CYCLES = 10;
constexpr uint16_t FW_STATUS_CLEAR_CYCLES = 20;  // stopped cycles before the status word clears
constexpr uint32_t FW_PICTURE_HEADER = 20;       // user-picture record header, u32 length at 16
// The device's default colours, 0xRRGGBB: those of a device without engineering.
inline constexpr uint32_t FW_DEFAULT_COLOURS[FW_PALETTE_COLOURS] = {0, 0x4880C0, 0, 0xFFFFFF, 0,
                                                                    0xFFFFFF, 0, 0, 0, 0};

// Image offsets the start-up and the cycle read.
enum : uint32_t {
  FW_OFS_ORDER_CODE = 4,      // 10 characters: 2 + 5 + 3; the first six are the digits
  FW_OFS_SERIAL = 22,         // four u16
  FW_OFS_OEM = 30,
  FW_OFS_PRESENT = 37,
  FW_OFS_RUN_MODE = 39,
  FW_OFS_LANGUAGE = 45,
  FW_OFS_PICTURE_FLAGS = 46,
  FW_OFS_ADDRESS = 58,
  FW_OFS_STATUS_WORD = 246,
};

// Error flags byte (g_fwErrorFlags): bit 1 fatal start-up error.
constexpr uint8_t FW_ERROR_FATAL = 0x02;
// Start flags: bit 2 while the start-up pass and the settling run.
constexpr uint8_t FW_START_PASS = 0x04;

// Start-up failures.
enum : int { FW_START_OK = 0, FW_START_EEPROM1 = 100, FW_START_EEPROM2 = 200, FW_START_INTERNAL = 1 };

// The main cycle's state (runtime/fw_main_state.h).
extern FwMainState g_fwMain;

// Start-up: display, RAM areas, EEPROM checks, engineering or service screen. The result
// is FW_START_OK or the failure; after a failure the firmware runs no further cycle.
int FW_Init();
// One main cycle.
void FW_Cycle();

// Restarts the picture loading: state 7 with its 10-cycle delay, the table from the start.
void FW_RestartPictures();
// The user-picture data (records of a 20-byte header and a BMP or GIF file, ended by the
// u32 -1). The data stays the caller's; null forgets it.
void FW_SetUserPictures(const uint8_t* data, uint32_t size);

// Checks the user-picture data at start-up: the records before the end mark (-1) are whole
// and of a kind the loading takes ('B' BMP, 'G' GIF). Returns the number of records before
// the end mark; a corrupt record or data without end mark is reported to the error log
// (the data itself is left as it is; loading stops at the fault). -1 without end mark.
int FW_CheckStoredPictures();

// Display set-up (the graphics library once, then the page windows and the display memory
// devices), the start screen and the palettes.
void FW_SetupDisplay();
void FW_DrawTextLine(int column, int row, const char* text);
void FW_ShowStartScreen();
void FW_SelectPalette(int n);
void FW_CheckColours();

// The I/O boards from the device configuration, and the per-cycle copy of the simulated
// inputs and outputs between the shell and the board records (runtime/fw_io.h); in
// fw_hostio.cpp.
void FW_SetupIoBoards();
void FW_CopyHostIo();
bool FW_AllIoBoardsReady();
// The status record of I/O slot 0..3 (A, B, C, P) as the simulated hardware reports it: the
// board as module type, its state, the modules fitted at its four positions with their
// readings; what the simulation has no source for (serial number, hardware version,
// temperatures) is marked as not reported. Rebuilt at each call from the board records.
const OpSlotRecord& FW_SlotRecord(int slot);

// The two display hooks of one block type's page.
int FW_DisplayHookZero();
void FW_DisplayHookNop();

// Resets the start-up and cycle state (program start, tests).
void FW_ResetMain();
