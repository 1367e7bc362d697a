// What the operating interface reads of the firmware and calls of the graphics library: the
// window manager, the memory devices and the picture decoders.
//
// Each call forwards to the module that owns the thing. The firmware's main cycle and
// hardware adapter and device communication are reached through the links a program's start
// installs (links/sim_links.h); without them (the operating interface's own tests) the calls
// give a plain default, said at each declaration, read from the device-state record below
// (g_opDeviceState), which tests may set, and note that a stand-in was used. What no other
// module keeps (the media, the logos, the device data, the Ethernet settings ...) the calls
// read from that record at all times.
#pragma once

#include <cstdint>

#include "comm/com_services.h"
#include "gui/GUI.h"
#include "gui/WM.h"
#include "opui/op_services.h"

struct GUI_PID_STATE;
struct FwPicture;
struct FwMainState;
struct OpSlotRecord;

// What the operating interface reaches of the firmware and device communication; null keeps
// the stand-in.
struct OpLinkHooks {
  uint8_t (*keyCode)() = nullptr;                         // the hardware adapter's key code
  const FwMainState* main = nullptr;                      // the main cycle's state
  void (*busSetAddress)(uint16_t node) = nullptr;         // the system bus's shown node
  const ComCanNodeTable& (*canNodeTable)() = nullptr;     // the system bus's node table
  const OpSlotRecord& (*slot)(int slot) = nullptr;        // the I/O hardware's slot record
};
// Installs the links (and forgets that a stand-in was used).
void OP_InstallLinks(const OpLinkHooks& hooks);
// True when a stand-in served a call since the last install: a link was not installed.
bool OP_LinksStandInUsed();

// --- Firmware state ----------------------------------------------------------------------

// --- Device data of the info and status pages -------------------------------------------

// The device-data record: the three version bytes, the date word, the CPU and EEPROM
// version bytes (the serial number is the image's).
struct OpDeviceData {
  uint8_t version[3] = {1, 4, 2};
  uint16_t date = 0;
  uint8_t cpu = 0;
  uint8_t eepromVersion = 0;
  uint16_t serial[4] = {};
};
constexpr int OP_PROJECT_NAME_LEN = 18;   // not NUL-terminated when full

// The Ethernet interface: IP address, subnet mask and gateway (four bytes each), the MAC
// address and the host name (17 characters, not NUL-terminated when full).
enum : int { OP_ADDR_IP = 0, OP_ADDR_MASK = 1, OP_ADDR_GATEWAY = 2, OP_ADDRESSES = 3 };
constexpr int OP_HOST_NAME_LEN = 17;
struct OpEthernetData {
  uint8_t address[OP_ADDRESSES][4] = {};
  uint8_t mac[6] = {};
  char host[OP_HOST_NAME_LEN] = {};
};

// The SD card's file table: eight entries of a presence byte and a 24-character name (not
// NUL-terminated when full), filled by the SD-card service.
constexpr int OP_SD_FILES = 8;
constexpr int OP_SD_NAME_LEN = 24;
struct OpSdFile {
  uint8_t present;
  char name[OP_SD_NAME_LEN];
};

// The operating interface's own record of the device's state. Part of it is state that no
// other module of the simulator keeps: the media and their files, the logos, the transfers,
// the access locks, the device data, the project name, the Ethernet settings the user edits
// and the field-bus states; the pages read it and change it, and tests set it. The rest holds
// the values read in place of the firmware's while the links to its main cycle and hardware
// adapter are not installed (the operating interface's own tests).
struct OpDeviceState {
  // Read only while the links are not installed.
  uint8_t keyCode = 0;             // the key code of the hardware adapter
  uint16_t operatingState = 1;     // 2 = online (the main cycle's page state)
  uint16_t displayState = 0;       // above 3: the clock field is blank
  uint8_t serviceState = 0;        // 1: the clock is always shown
  // Slots 1..10: 5 screen background, 6 foreground, 7 title band, 9 and 10 the top bar.
  GUI_COLOR screenColors[10] = {0x000000, 0xC08048, 0x000000, 0xFFFFFF, 0x000000,
                                0xFFFFFF, 0xC08048, 0x000000, 0x000000, 0xFFFFFF};
  // The interface's own: the media, the logos, the transfers.
  uint8_t sdCard = 0;              // an SD card is present
  uint8_t usbStick = 0;            // a USB stick is present
  uint8_t usbLogoFile = 0;         // the stick holds a logo file
  uint8_t usbUpdateFile = 0;       // the stick holds an update file
  uint8_t startLogo = 0;           // a start logo is stored (besides a start picture set)
  uint8_t customLogo = 0;          // a custom logo is stored
  uint8_t pictureLock = 0;         // the logos may not be changed
  uint8_t configTransfer = 0;      // a configuration transfer runs
  uint8_t loadRunning = 0;         // an engineering load runs
  uint8_t startStatus = 0;         // start-status byte: bit 4 asks for the date and time
  uint8_t accessLock[2] = {};      // the two access-lock bytes
  uint16_t viewOpened = 0;         // the last block whose user view was asked to open
  // The interface's own: the device data of the info and status pages.
  OpDeviceData device;
  char projectName[OP_PROJECT_NAME_LEN] = {};
  OpEthernetData ethernet;         // edited on the Ethernet page
  uint8_t profibusStatus = 0;      // bits 0..3: bus access, parameters, configuration, data
  uint8_t profinetState = 0;       // 0..5
  OpSlotRecord slots[OP_SLOTS];    // read only while the links are not installed
  OpSdFile sdFiles[OP_SD_FILES];   // the interface's own
  // Read only while the links are not installed: the user pictures loaded at start-up.
  const FwPicture* pictures = nullptr;
  uint32_t pictureCount = 0;
};
extern OpDeviceState g_opDeviceState;

// The key code of this cycle (0 or one of 1, 2, 4, 8, 16): the hardware adapter's. Default:
// the stand-in.
uint8_t OP_LinkKeyCode();
// Operating state (2 = online): the main cycle's page state. Default: the stand-in.
uint16_t OP_LinkOperatingState();
// Engineering-state flags, image byte 38 (bit 1, the engineering lock, is watched).
uint8_t OP_LinkEngineeringState();
// The engineering image (language byte 45, picture flags 46).
uint8_t* OP_LinkImage();
// An engineering is loaded: the image begins with "MX7N".
bool OP_LinkEngineeringLoaded();
// The ten screen colours of the selected palette (0xBBGGRR): the main cycle's. Default: the
// stand-in.
const GUI_COLOR* OP_LinkScreenColors();
// The device clock and whether it was set (the firmware's clock).
void OP_LinkClock(int* hours, int* minutes);
uint8_t OP_LinkClockSet();
// The display state (the main cycle's run state: above 3 the clock field is blank) and the
// service state (1: the device has no engineering). Default: the stand-in.
uint16_t OP_LinkDisplayState();
uint8_t OP_LinkServiceState();
// The communication option, order-code digit 2 ('0'..'4').
uint8_t OP_LinkCommOption();
// The engineering is locked: a password is set and nobody is logged in, or the image's
// write-lock bit (byte 38, bit 4) is set.
bool OP_LinkEngineeringLocked();
// A configuration transfer or an engineering load runs: the device-state record's (none).
bool OP_LinkConfigTransfer();
bool OP_LinkLoadRunning();
// Media and the files on them: the device-state record's (absent).
bool OP_LinkSdCardPresent();
bool OP_LinkUsbStickPresent();
bool OP_LinkUsbLogoFile();
bool OP_LinkUsbUpdateFile();
// Logos: a start logo is stored (the device-state record says so, or a start picture was
// handed over), a custom logo is stored, the logos are locked (the device-state record's).
bool OP_LinkStartLogoPresent();
bool OP_LinkCustomLogoPresent();
bool OP_LinkPictureLock();
// Module type of I/O slot 0..3 (A, B, C, P): 0 none, 171 failed. Default: the stand-in.
uint8_t OP_LinkSlotModule(int slot);
// The record of I/O slot 0..3 (a slot out of range reads as an unused slot): the simulated
// hardware's. Default: the stand-in.
const OpSlotRecord& OP_LinkSlot(int slot);
// The start-status byte (bit 4: ask for the date and time after start) and the two
// access-lock bytes (0, 1): the device-state record's.
uint8_t OP_LinkStartStatus();
uint8_t OP_LinkAccessLock(int n);
// Asks the user page of a block to open its view (its view-open byte): noted in the
// device-state record.
void OP_LinkOpenBlockView(uint16_t block);
// Device data of the info pages: the record (serial number from the image), the project
// name, the Ethernet interface, the PROFIBUS status byte and the PROFINET state, the SD
// card's file table: the device-state record's.
OpDeviceData OP_LinkDeviceData();
const char* OP_LinkProjectName();   // OP_PROJECT_NAME_LEN characters at most
OpEthernetData& OP_LinkEthernet();
// Stores one byte of an address (OP_ADDR_*, byte 0..3) and queues it for the EEPROM.
void OP_LinkSetAddressByte(int address, int byte, uint8_t value);
uint8_t OP_LinkProfibusStatus();
uint8_t OP_LinkProfinetState();
OpSdFile* OP_LinkSdFiles();         // OP_SD_FILES entries
// The system bus as the pages show it: the node table (device communication's; an empty
// table while its link is not installed) and the node a page shows and resets.
const ComCanNodeTable& OP_LinkCanNodeTable();
void OP_LinkBusSetAddress(uint16_t node);
// The memory device the firmware's start-up draws its full screens into (0 = none): the
// full-screen window shows it.
GUI_MEMDEV_Handle OP_LinkFullScreenDevice();
// The stored top-bar pictures: the user logo (a GIF of at most 3072 bytes) and the key-icon
// area with its table of nine u16 offsets, both in the internal EEPROM.
const uint8_t* OP_LinkUiArea();
uint32_t OP_LinkUiAreaSize();

// The stored start picture (a JPEG or GIF file, shown when picture-flag bit 2 is set), as the
// shell loads it from "startuplogo.dat" or the project. The data stays the caller's; null
// forgets it. Default: none.
void OP_SetStartPicture(const uint8_t* data, uint32_t size);
const uint8_t* OP_LinkStartPicture(uint32_t* size);

// The user pictures the start-up loaded (up to 200: name, memory device, size) and their
// number: the main cycle's table. Default: the stand-in's.
const FwPicture* OP_LinkUserPictures(uint32_t* count);

// --- Graphics library parts ---------------------------------------------------------------

// Memory devices. Default until they are linked: no device (0); drawing then goes straight
// to the display, which keeps what was drawn.
GUI_MEMDEV_Handle OP_GfxCreateDevice(int x0, int y0, int xSize, int ySize);
void OP_GfxDeleteDevice(GUI_MEMDEV_Handle h);
GUI_MEMDEV_Handle OP_GfxSelectDevice(GUI_MEMDEV_Handle h);
// Drawing straight on the display outside a paint, without the window manager's clipping:
// begin (true when the clipping was switched off) and end.
bool OP_GfxDirectBegin();
void OP_GfxDirectEnd();
void OP_GfxCopyToLcd(GUI_MEMDEV_Handle h);
void OP_GfxWriteDevice(GUI_MEMDEV_Handle h);
// Writes a device with its top-left corner at x, y on the screen (clipped by the window
// manager while a window paints).
void OP_GfxWriteDeviceAt(GUI_MEMDEV_Handle h, int x, int y);
// Draws a GIF held in memory at x, y: 0 done, 1 the data is not a GIF the decoder takes.
// Default until the decoder is linked: a stream without a GIF header or with a bad logical
// screen is rejected (1); a sound header draws nothing (0).
int OP_GfxDrawGif(const uint8_t* data, uint32_t size, int x, int y);
// Draws a JPEG held in memory at x, y: 0 done, 1 not drawn. Default until the decoder is
// linked: 1 for everything.
int OP_GfxDrawJpeg(const uint8_t* data, uint32_t size, int x, int y);
// Draws a streamed bitmap held in memory at x, y. Default until the library's streamed
// bitmaps are linked: the 8-bit run-length format with a palette (format 7), which the
// built-in pictures use; other formats draw nothing.
int OP_GfxDrawStreamed(const uint8_t* data, uint32_t size, int x, int y);

// Windows of the window manager: the display windows are visible children of the desktop.
WM_HWIN OP_WinCreate(int x0, int y0, int xSize, int ySize, WM_CALLBACK* cb);
bool OP_WinExists(WM_HWIN h);
void OP_WinInvalidate(WM_HWIN h);
void OP_WinDefaultProc(WM_MESSAGE* msg);
// One redraw of the display (activate, exec).
void OP_GfxExec();
// Hands a pointer state to the window manager's pointer input.
void OP_LinkQueuePointer(const GUI_PID_STATE* state);
