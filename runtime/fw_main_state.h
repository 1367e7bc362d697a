// The state record of the firmware's start-up and main cycle, with the run states, device
// modes and sizes it is read by.
//
// The firmware (firmware/fw_main.h) owns the one record and writes it; device communication
// and the operating interface read it through the link a program's start installs, so they
// see only this record, not the firmware that keeps it.
#pragma once

#include <cstdint>

#include "gui/GUI.h"
#include "gui/WM.h"
#include "runtime/fw_io.h"

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

constexpr uint32_t FW_PICTURE_TABLE_SIZE = 200;
constexpr uint32_t FW_PALETTE_COLOURS = 10;
constexpr uint32_t FW_IDENT_RECORD = 64;
constexpr uint32_t FW_SERVICE_LINE_LEN = 26;     // characters of a start-screen line

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
