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

#include "gui/GUI.h"
#include "gui/WM.h"
#include "runtime/fw_io.h"

struct OpSlotRecord;

// Run states.
enum : uint16_t {
  FW_STATE_STOPPED = 1,
  FW_STATE_RUNNING = 2,
  FW_STATE_STARTUP_PASS = 3,
  FW_STATE_WAIT_INPUTS = 4,
  FW_STATE_SETTLING = 5,
  FW_STATE_SERVICE = 6,
  FW_STATE_PICTURE_DELAY = 7,
  FW_STATE_PICTURES = 8,
  FW_STATE_WAIT_KEY = 9,   // start-up waits for the key with code 8 (picture flags bit 3)
};

// Device mode.
enum : uint16_t { FW_DEVICE_ENGINEERING = 1, FW_DEVICE_SERVICE = 2 };

constexpr uint16_t FW_SETTLING_CYCLES = 16;
constexpr uint16_t FW_PICTURE_DELAY_CYCLES = 10;
constexpr uint16_t FW_STATUS_CLEAR_CYCLES = 20;  // stopped cycles before the status word clears
constexpr uint32_t FW_PICTURE_TABLE_SIZE = 200;
constexpr uint32_t FW_PICTURE_HEADER = 20;       // user-picture record header, u32 length at 16
constexpr uint32_t FW_PALETTE_COLOURS = 10;
// The device's default colours, 0xRRGGBB: those of a device without engineering.
inline constexpr uint32_t FW_DEFAULT_COLOURS[FW_PALETTE_COLOURS] = {0, 0x4880C0, 0, 0xFFFFFF, 0,
                                                                    0xFFFFFF, 0, 0, 0, 0};
constexpr uint32_t FW_IDENT_RECORD = 64;
constexpr uint32_t FW_SERVICE_LINE_LEN = 26;     // characters of a start-screen line

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

// One loaded user picture.
struct FwPicture {
  const uint8_t* record;        // the picture's record in the user-picture data
  GUI_MEMDEV_Handle memdev;
  uint16_t xSize;
  uint16_t ySize;
};

struct FwMainState {
  uint16_t runState;
  uint16_t deviceMode;
  uint16_t countdown;            // states 4, 5 and 7
  uint16_t statusCount;          // stopped cycles with a non-zero image status word
  uint8_t stopRequest;           // 2: stop at the next cycle
  uint8_t cycleRunning;
  uint8_t halted;                // the start-up failed: no further cycle
  uint8_t serviceShown;          // the service screen was set up
  uint8_t serviceDrawn;          // the start screen of the service screen was drawn
  // Lines 6, 7 and 8 of the service screen; the service memory commands show their status
  // on line 8 (and clear line 7), and clear serviceDrawn so that the screen is drawn again.
  char serviceLines[3][FW_SERVICE_LINE_LEN + 1];
  uint8_t suppressServiceScreen;
  uint8_t holdDisplay;           // display updates are held back
  uint8_t fullScreen;
  uint8_t commOption;            // order-code digit 2, taken at start-up
  uint8_t picturePresent;        // the internal EEPROM holds a GIF start picture
  uint8_t inputReady;
  uint8_t boardReady[FW_IO_BOARDS];
  uint8_t boardState[FW_IO_BOARDS];  // 3: online
  uint16_t statusBits;           // for the operating interface: bit 0 analog input failed,
                                 // 1 error flags, 2 serial error, 3 engineering faulty
  uint16_t pageState;            // 2 in the running state, else 1
  uint16_t keyTestCounter;
  uint8_t touchShown;            // a touch mark is on the service screen
  int16_t palette;               // current palette 0..3
  GUI_COLOR screenColors[FW_PALETTE_COLOURS];
  WM_HWIN displayWindow;
  GUI_MEMDEV_Handle memdev[2];   // the display memory devices
  uint8_t displaySetUp;
  WM_HWIN popupWindow;
  uint8_t popupCountdown;
  uint8_t identRecord[FW_IDENT_RECORD];
  // Pictures.
  FwPicture pictures[FW_PICTURE_TABLE_SIZE];
  uint32_t pictureCount;
  uint32_t picturePos;           // offset of the next record in the user-picture data
};

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
