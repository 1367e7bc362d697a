// Service memory commands: a service tool reads and writes the device's memories through
// register 0x3FFF of the Modbus integer space while the device is in the download state.
// This is how an engineering image, the data image, the start-up picture and the user
// pictures are loaded.
//
// A function-16 write to 0x3FFF carries the command word, the 32-bit address (two
// registers, high word first), a word whose low byte is the length n in 16-bit words, then
// 2n data bytes (the frame is exactly 2n + 17 bytes). Read commands carry no data: the write
// only sets command and address, and a function-3 read of 0x3FFF then fetches 2 x quantity
// bytes from there.
//
//   1 RAM read     4 RAM write      0x10002000..0x10008000, 0x20000000..0x20010000,
//                                   0x28100000..0x29000000 (one 256-byte RAM buffer)
//   2 flash read   6 flash write    0x14100000..0x1411E848 the start-up picture (125000
//                                   bytes), 0x14200000..0x14280000 the user pictures
//   3 EEPROM read  5 EEPROM write   0x00000..0x20000 the engineering image,
//                                   0x20000..0x20000 + 16256 the data image
//
// Each command leaves a 26-character status line, shown on line 8 of the service screen
// (line 7 is cleared); Address and Length errors set the error flag and change nothing, a
// successful command clears it.
#pragma once

#include <cstdint>

#include "runtime/fw_eeprom.h"

enum : uint16_t {
  COM_SVC_RAM_READ = 1,
  COM_SVC_FLASH_READ = 2,
  COM_SVC_EEPROM_READ = 3,
  COM_SVC_RAM_WRITE = 4,
  COM_SVC_EEPROM_WRITE = 5,
  COM_SVC_FLASH_WRITE = 6,
};

constexpr uint32_t COM_SVC_RAM_SIZE = 256;
constexpr uint32_t COM_SVC_START_PICTURE = 0x14100000;
constexpr uint32_t COM_SVC_START_PICTURE_SIZE = 125000;
constexpr uint32_t COM_SVC_USER_PICTURES = 0x14200000;
constexpr uint32_t COM_SVC_USER_PICTURES_SIZE = 0x80000;
constexpr uint32_t COM_SVC_DATA_IMAGE = 0x20000;    // EEPROM address of the data image
constexpr uint32_t COM_SVC_STATUS_LEN = 26;
constexpr uint8_t COM_SVC_ERROR = 0x01;             // bit 0 of the service status byte

// The device's flash picture areas: the start-up picture and the user pictures, each with
// the length in use. The shell saves them when a flash write set its picture-save flag.
struct ComPictures {
  uint8_t startPicture[COM_SVC_START_PICTURE_SIZE];
  uint8_t userPictures[COM_SVC_USER_PICTURES_SIZE];
  uint32_t startLength;
  uint32_t userLength;
  uint8_t startPictureFlag;   // 1 after a flash write of a new start-up picture began
  uint8_t state;              // 2 while a new picture is being written
};
extern ComPictures g_comPictures;

struct ComServiceState {
  uint16_t command;           // of the last write to 0x3FFF
  uint32_t address;
  uint8_t status;             // COM_SVC_ERROR
  char line[COM_SVC_STATUS_LEN + 1];
  uint8_t ram[COM_SVC_RAM_SIZE];
  // EEPROM areas whose write-back the queue refused, queued again later ([0] the
  // engineering image, [1] the data image): first address and end, end 0 = none.
  uint32_t pendingFirst[2];
  uint32_t pendingEnd[2];
};
extern ComServiceState g_comService;

// One request to register 0x3FFF.
struct ComServiceFrame {
  bool write;                 // function 16 (else a function-3 read)
  const uint8_t* values;      // write: the register values (command, address, length, data)
  uint32_t valueBytes;        // write: their count
  uint32_t frameLength;       // write: the whole frame's length, CRC included
  uint32_t byteCount;         // read: the bytes asked for (2 x quantity)
};

// Runs a command on a frame. A write frame records command and address. A read frame's data
// go after the answer's byte count and *answerLength becomes byte count + 3; a failed read
// leaves *answerLength at 2 (address and function code only).
void COM_ServiceCommand(uint16_t command, uint32_t address, const ComServiceFrame& frame,
                        uint8_t* answer, uint16_t* answerLength);

// Queues the EEPROM write-backs the queue refused before (called before each frame). True
// when nothing is left pending.
bool COM_ServiceRetryPending();

// A download into a device that runs an engineering goes to a staging copy of the
// engineering image: the running engineering and its EEPROM stay as they are until the go
// word commits what was written. A download that breaks off (no frame on the PC-tool channel
// for COM_DOWNLOAD_IDLE_MS) is dropped and the device starts its previous engineering again.
// The bound is wall-clock time, as the PC tool's pauses are: the firmware's ticks run as
// fast as they can in turbo. A device without an engineering has nothing to protect: its
// downloads write the image directly.
constexpr uint32_t COM_DOWNLOAD_IDLE_MS = 30000;
void COM_ServiceBeginStaging();
bool COM_ServiceStaging();
// Copies the written part of the staging copy into the image and queues its write-back.
void COM_ServiceCommitStaging();
void COM_ServiceDropStaging();
// A frame of the download itself arrived (a download word, an EEPROM write into the staged
// copy): the staged download is alive. Other frames, on any way, do not count.
void COM_ServiceFrameSeen();
// The run-mode byte that the image is to hold again when the staged download is dropped
// (the device's state before the download began); -1 (the default) keeps the image's byte.
void COM_ServiceKeepRunMode(int runModeByte);
int COM_ServiceKeptRunMode();
// The milliseconds of the download's clock (see COM_SetDownloadClock).
uint64_t COM_DownloadClockMs();
// True when the staged download has had no frame for COM_DOWNLOAD_IDLE_MS.
bool COM_ServiceBrokenOff();
// The milliseconds clock of that bound (null: the steady clock); tests set their own.
using ComMsClock = uint64_t (*)();
void COM_SetDownloadClock(ComMsClock clock);

// Clears command, address, status line, error flag, RAM buffer and pending write-backs
// (COM_Init); the picture areas keep their contents.
void COM_ServiceReset();
// Fills both picture areas with 0xFF and clears their lengths and flags (program start,
// tests).
void COM_ClearPictures();
