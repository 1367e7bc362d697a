// EEPROM write-back: the two write rings and their drain from the tick.
//
// The firmware changes its non-volatile data in RAM first and queues the write-back; the
// tick writes the queued areas in chunks that never cross a 128-byte page. Two memories
// are served: the main EEPROM, whose content is the engineering image (EEPROM address =
// image offset), and the internal EEPROM of 16 KiB, whose content is the data image.
// Callers never wait; they learn only whether the ring had room.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr uint32_t FW_EEPROM_RING_ENTRIES = 16;
constexpr uint32_t FW_EEPROM_PAGE = 128;
constexpr uint32_t FW_EEPROM_PASSES_PER_TICK = 10;
constexpr uint32_t FW_MAIN_EEPROM_SIZE = 0x20000;      // the engineering image
constexpr uint32_t FW_INTERNAL_EEPROM_SIZE = 0x4000;   // 16 KiB
constexpr uint32_t FW_DATA_IMAGE_SIZE = 16256;         // the part the project file carries

// Results of the queue calls: 0 queued, 1 ring full (retry later), 2 a request that can
// never be written (outside the memory, no RAM area); nothing is queued for 1 and 2.
enum : uint8_t { FW_QUEUE_OK = 0, FW_QUEUE_FULL = 1, FW_QUEUE_BAD = 2 };

// Results of one internal chunk.
enum : uint8_t {
  FW_IEE_DONE = 0,
  FW_IEE_LOCKED = 5,      // the internal EEPROM was locked; the entry stays
  FW_IEE_FAULT = 6,       // the chunk broke the address rule; the firmware is stopped
  FW_IEE_EMPTY = 255,
};

// Layout of the internal EEPROM (data image).
constexpr uint32_t FW_IEE_PICTURE = 0;     // optional GIF picture ("GIF8")
constexpr uint32_t FW_IEE_TAG = 6144;      // the 4-byte tag "MX7N"
constexpr uint32_t FW_IEE_PALETTES = 6148; // four palettes of ten 0xRRGGBB colours
constexpr uint32_t FW_IEE_PALETTE_BYTES = 160;

struct FwEepromWriteEntry {
  const uint8_t* ram;   // RAM address of the remaining bytes
  uint32_t address;     // EEPROM address of the remaining bytes
  uint32_t remaining;   // bytes still to write
  uint16_t busy;        // 1 = queued
};

struct FwEepromWriteRing {
  FwEepromWriteEntry entries[FW_EEPROM_RING_ENTRIES];
  uint16_t writePos;
  uint16_t drainPos;
};

struct FwEepromState {
  FwEepromWriteRing main;
  FwEepromWriteRing internal;
  uint8_t present;         // EEPROM present (set by the start); without it main writes fail
  uint8_t idle;            // 0 while a main chunk is written
  uint8_t internalErrors;  // bit 0: the last internal chunk failed
  uint8_t internalLock;    // test-and-set byte, held while an internal chunk is copied
  uint8_t stopped;         // an internal chunk broke the address rule: firmware stopped
};

extern FwEepromState g_fwEeprom;

// Error flags byte of the firmware: bit 0 the last main-EEPROM chunk failed (this module),
// bit 1 fatal start-up error (set by the start-up).
extern uint8_t g_fwErrorFlags;

// The internal EEPROM: the firmware's data image. Only the first FW_DATA_IMAGE_SIZE bytes
// travel to and from the shell's project.
extern uint8_t g_fwInternalEeprom[FW_INTERNAL_EEPROM_SIZE];

// The main EEPROM's memory. Until the engineering image is bound here, a stand-in buffer of
// FW_MAIN_EEPROM_SIZE bytes of this module takes the writes. A null base restores it.
void FW_BindMainEeprom(uint8_t* base, uint32_t size);
uint8_t* FW_MainEepromBase();
uint32_t FW_MainEepromSize();

// The write of one main-EEPROM chunk, standing in for the EEPROM driver: true when written.
// The default copies the chunk into the main EEPROM memory. A null writer restores it.
using FwEepromChunkWriter = bool (*)(uint32_t address, const uint8_t* data, uint32_t length);
void FW_SetMainEepromWriter(FwEepromChunkWriter writer);

// Clears both rings, the flags and the lock (program start); EEPROM-present stays 0.
void FW_ResetEeprom();

// Main ring.
uint8_t FW_QueueEepromWrite(const void* ram, uint32_t address, uint32_t length);
int FW_EepromPending();
// Once per tick: ten passes, each one main chunk and one internal chunk.
void FW_EepromWriteBack();

// Internal ring.
uint8_t FW_QueueInternalEepromWrite(const void* ram, uint32_t address, uint32_t length);
int FW_InternalEepromPending();
uint8_t FW_InternalEepromWriteBack();
// Clears the internal ring's entries, its lock and the stopped flag (start-up).
void FW_ClearInternalRing();
// The name the operating interface uses for the same start-up reset.
inline void FW_ResetEepromQueue() { FW_ClearInternalRing(); }

// Zero-fills an area of the internal EEPROM, the length rounded up to a multiple of 4, and
// posts step code 501. 0 done; 0x4000 for a length above 0x4000 or an area beyond the end.
uint32_t FW_ClearArea(uint32_t address, uint32_t length);

// Reads up to 512 bytes from `offset` of an open file into a shared buffer; *out points
// at the buffer; the number of bytes read (0 for no file or a failed seek).
constexpr uint32_t FW_FILE_CHUNK = 512;
uint32_t FW_ReadFileChunk(std::FILE* file, const uint8_t** out, uint32_t length, uint32_t offset);

// The stored start picture (the 125000-byte picture area) and the picture flags, byte 46
// of the engineering image (read through the main EEPROM memory, which is the image):
// bit 0 the picture is a JPEG file, bit 1 a GIF file.
constexpr uint32_t FW_IMAGE_PICTURE_FLAGS = 46;
enum FwPictureKind : uint8_t { FW_PICTURE_JPEG = 0, FW_PICTURE_GIF = 1 };
struct FwStartPictureHooks {
  // Draws the stored start picture of that kind full screen (the graphics core's decoder).
  void (*draw)(FwPictureKind kind) = nullptr;
  // Repaints the display.
  void (*repaint)() = nullptr;
};
// Default: no hooks (nothing is drawn; the flags are handled all the same).
void FW_SetStartPictureHooks(const FwStartPictureHooks& hooks);
// Draws the start picture as JPEG (bit 0) or else as GIF (bit 1); with neither, clears bits
// 0..3 of the picture flags and queues that byte; while a picture kind is set, repaints the
// display and posts step code 71.
void FW_ShowStartPicture();

// The message the firmware shows when an internal chunk breaks the address rule.
extern const char FW_IEE_FAULT_TEXT[];
// Called with that message when it happens, after step code 502 was posted and the stopped
// flag set: the firmware shows the text on display line 5 and stops. Default: none (the
// stopped flag alone stops the write-back). A null hook restores the default.
using FwEepromFaultHook = void (*)(const char* text);
void FW_SetEepromFaultHook(FwEepromFaultHook hook);
