// The simulator shell as the firmware sees it: the shared state record and the shell
// operations that the hardware adapter, the plant link and the module link call.
//
// The state record is the shell's own, one static record with a shadow copy, read and
// written only on the UI thread. It never leaves the process.
#pragma once

#include <cstdint>

#include "runtime/plant_records.h"

// --- Records -----------------------------------------------------------------------------

constexpr unsigned SIM_TEXT_SIZE = 500;          // communication request and response texts
constexpr unsigned SIM_ENGINEERING_SIZE = 0x20000;
constexpr unsigned SIM_DATA_SIZE = 16256;
constexpr unsigned SIM_COMMAND_LINE_SIZE = 256;
constexpr unsigned SIM_PATH_SIZE = 260;
// The start-up logo and the user data: a 32-bit length L that counts itself (0: none), then
// L - 4 bytes; the rest of the buffer is 0xFF.
constexpr unsigned SIM_LOGO_CAPACITY = 4 + 125000;
constexpr unsigned SIM_USER_DATA_CAPACITY = 4 + 0x80000;

// Device configuration: the same 34 bytes that project files carry.
struct SimDeviceConfig {
  uint16_t ksx;         // base unit
  uint16_t anschluss;   // connection variant (order-code digit 0)
  uint16_t power;       // bit 0 of order-code digit 1
  uint16_t commOpt;     // communication option (order-code digit 2)
  uint16_t unused1;
  uint16_t slotB;       // 1 digital I/O card, 2 module rack, else nothing
  uint16_t slotC;
  uint16_t relais;      // bit 1 of order-code digit 1: relay outputs at P3 and P4
  uint16_t unused2;
  uint8_t modules[16];  // module types A1..A4, B1..B4, C1..C4, P1..P4
};
static_assert(sizeof(SimDeviceConfig) == 34);

// One analog input of the I/O views, as the user typed it.
struct SimAnalogInput {
  char text[40];
  float value;
  uint8_t fFlag;       // the text begins with "f" or "F"
  uint16_t entered;    // the text is not empty
  uint16_t electrical; // the text begins with "#": an electrical value (mA, V, mV or ohm)
};

// I/O image. Analog index: slot * 8 + module * 2 + channel; digital index:
// slot * 16 + module * 4 + channel; slots A, B, C, P = 0..3.
struct SimIoImage {
  SimAnalogInput analogIn[32];
  uint8_t digitalIn[64];
  float analogOut[32];
  uint16_t digitalOut[64];
};

// One range of the plant view.
struct SimPlantRange {
  float value;
  float lower;
  float upper;
};

// What the plant link shows the shell about the controlled loop.
struct SimPlantView {
  SimPlantRange ranges[3];
  float setpoint[2];
  float scaleStep[2];
  uint16_t changed;
  uint16_t threePointOutput;
  uint16_t status;          // bits 0..4 from the controller's five status bytes
  float outputs[3];
  // The controller's values that the standard trends record, after each tick: W, X, Y, Xw,
  // X2 and X3, and the scale limits of each (lower, upper), all 0 without a controller.
  float trend[6];
  float trendScale[12];
  // Bit i set: the plant link writes analog input record i (its process value at A4, its
  // position feedback at A3); the I/O views show that record while the plant is on.
  uint32_t inputs;
};

struct SimHostState {
  // Process and program.
  int32_t instance;                         // the simulator's instance number
  char commandLine[SIM_COMMAND_LINE_SIZE];  // " %s ", lower case
  uint32_t cycleCount;
  int32_t pauseCount;                       // cycles to skip; 0x7fffffff while paused
  uint16_t turbo;
  uint16_t restartFlag;                     // firmware restart requested
  uint16_t endFlag;                         // the program is to end

  // Device.
  SimDeviceConfig device;
  uint16_t language;                        // 0 German, 1 English, 2 French
  uint16_t runMode;                         // copy of the firmware run mode (1 stop, 2 run)
  uint16_t deviceAddress;                   // copy of the firmware device address
  uint8_t firmwareId[8];
  uint8_t firmwareMajor;
  uint8_t firmwareMinor;

  // Communication channel for PC tools.
  char requestText[SIM_TEXT_SIZE];
  char responseText[SIM_TEXT_SIZE];
  uint32_t requestPending;
  uint32_t responseReady;
  uint16_t requestLength;
  uint16_t responseLength;                  // carries 0x8000

  // Requests of the shell to the firmware.
  uint16_t reloadRequest;
  uint16_t saveRequest;
  uint16_t closePanelsRequest;
  uint16_t haltFlag;                        // no firmware cycle while set
  uint16_t stayStopped;                     // after a reload the device stays stopped
  uint16_t plantOff;                        // the plant cycle is skipped while set

  // Project images: the shell's buffers and their reference copies.
  uint8_t imagesValid;
  uint8_t* engineering;                     // SIM_ENGINEERING_SIZE bytes
  uint8_t* engineeringRef;
  uint8_t* data;                            // SIM_DATA_SIZE bytes
  uint8_t* dataRef;

  // Plant.
  float plantSettings[3];                   // plant gain K, delay time Tu and rise time Tg (s)
  SimPlantView plant;

  // I/O views.
  SimIoImage io;
  uint16_t ioViewsShown;
  uint16_t commViewShown;

  // Scripts.
  uint16_t hardKeys;                        // bits 1, 2, 4, 8, 16
  char inputKp[80];
  char inputTu[80];
  char inputTg[80];
  uint16_t playing;

  // Set by a service flash write: the pictures are to be saved.
  uint16_t pictureSave;

  // Files of the start-up logo and the user data (the settings folder's defaults when the
  // settings name none).
  char logoPath[SIM_PATH_SIZE];
  char userDataPath[SIM_PATH_SIZE];

  // The project: its file as it was opened (its case kept; "demo" for the built-in one,
  // empty for a new one), a change that the images do not show, and the logo and user-data
  // buffers (SIM_LOGO_CAPACITY and SIM_USER_DATA_CAPACITY bytes).
  char projectName[SIM_PATH_SIZE];
  uint16_t changed;
  float plantSetting;                       // the plant-settings float of older project files
  uint8_t* logo;
  uint8_t* userData;
};

// The one state record of the process.
SimHostState& SimState();

// --- Operations --------------------------------------------------------------------------

// Sends a close command to every open module-panel window and forgets it.
void SimModulePanelCloseAll();
// Opens, retitles or closes the module panels of the five coupler records.
void SimModulePanelOpen(int32_t instance);
// Reads one channel of a coupler's panel (message 2026); 0 without a panel window.
int32_t SimModulePanelQuery(int coupler, int slot, int channel);
// Writes one channel to a coupler's panel (message 2027); nothing without a panel window.
void SimModulePanelSend(int coupler, int slot, int channel, int32_t value);
// Exchanges one set with the loaded plant plug-in; 0 when none is loaded, so that the
// caller simulates the output itself.
int SimPlantCycle(SimPlantActuators* actuators, SimPlantParams* params, SimPlantResult* result);
// Sets the restart flag and asks the main window to save the restart project and start the
// simulator again.
void SimRequestRestart();
// Shows the front panel and initialises and starts the firmware again.
void SimRestartFirmware();
