// The engineering image: the device's non-volatile memory in flash form, 0x20000 bytes whose
// byte offset is the EEPROM address. It holds the device header, the block list with every
// block's type, time group, wiring and parameters, and the parameter list of further
// per-block records.
//
// Loading builds the block instances and wiring records from the image (block store);
// saving writes the RAM state back into it. Every stored value is read and written byte by
// byte, little-endian; nothing is cast over the image's bytes. Every count and offset read
// from the image is checked against the image, the caps of the stored format and the
// block type's template before it is used.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_order.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"

constexpr uint32_t FW_IMAGE_SIZE = 0x20000;

// Header fields and areas of the image (byte offsets).
enum : uint32_t {
  FW_IMG_TAG = 0,              // "MX7N"; 0 while a full rewrite is in progress
  FW_IMG_ORDER_CODE = 4,       // 10 characters: 2 + 5 + 3
  FW_IMG_IDENT = 14,           // 4 identification characters ("1230")
  FW_IMG_IDENT_SUFFIX = 18,    // 2 identification characters ("-A")
  FW_IMG_VERSION = 20,         // firmware version
  FW_IMG_IDENT_EXTRA = 21,     // one more identification byte
  FW_IMG_SERIAL = 22,          // four u16
  FW_IMG_OEM = 30,
  FW_IMG_PRESENT = 37,         // engineering present: 1
  FW_IMG_RUN_MODE = 39,        // 1 stop, 2 run
  FW_IMG_LANGUAGE = 45,        // 0 German, 1 English, 2 French
  FW_IMG_PICTURE_FLAGS = 46,
  FW_IMG_LOGIN = 47,
  FW_IMG_PROTOCOL = 57,
  FW_IMG_ADDRESS = 58,
  FW_IMG_STATUS_WORD = 246,
  FW_IMG_ENG_VALUE = 256,      // 32-bit engineering value, below 120000
  FW_IMG_BLOCK_LIST = 260,     // block list, then the parameter list
  FW_IMG_LISTS_END = 126870,   // end of the room for the two lists
  FW_IMG_LOGIN_BLOCK = 126975, // login block up to the end of the image
};

constexpr uint32_t FW_IMG_IDENT_LEN = 8;     // 14..21
constexpr uint8_t FW_IMAGE_TAG[4] = {'M', 'X', '7', 'N'};
// The firmware's own identification as it is written at offset 14.
constexpr uint8_t FW_FIRMWARE_IDENT[FW_IMG_IDENT_LEN] = {'1', '2', '3', '0', '-', 'A', 4, 2};

// Caps of the stored block record.
constexpr uint16_t FW_REC_MAX_SIZE = 3500;
constexpr uint8_t FW_REC_MAX_GROUP = 15;
constexpr uint8_t FW_REC_MAX_IO = 25;          // inputs and outputs of each kind
constexpr uint8_t FW_REC_MAX_PARAMS = 60;      // float, word, long, word-value, text counts
constexpr uint16_t FW_REC_MAX_STATE = 25;
constexpr uint16_t FW_REC_MAX_WORK = 2500;
constexpr uint32_t FW_ENG_VALUE_LIMIT = 120000;

// Parameter-list records: {block number, length L in words, L - 2 data words}.
constexpr uint16_t FW_PARAM_SYSTEM_BLOCK = 1955;  // names the system-data block
constexpr uint16_t FW_PARAM_MAX_WORDS = 100;

// Engineering status byte.
enum : uint8_t {
  FW_ENG_LOADED = 0x01,      // engineering loaded
  FW_ENG_VERIFIED = 0x02,    // connections and time-group chains verified
  FW_ENG_STOPPED = 0x04,     // not loaded, failed, or loaded in stop mode
  FW_ENG_RUN_OK = 0x08,      // last change to run mode succeeded
  FW_ENG_REWRITE = 0x10,     // rewrite the whole image on the next save
};
// Engineering error byte.
constexpr uint8_t FW_ENG_ERR_FAULTY = 0x08;
// Start flags byte.
constexpr uint8_t FW_START_COLD = 0x01;

// Step codes of the image.
enum : uint16_t { FW_STEP_ENG_LOAD = 402, FW_STEP_SAVE_WAIT_IMAGE = 403, FW_STEP_SAVE_WAIT_TAG = 404 };

// Why the last load or save failed (for diagnostics and the engineering tool).
enum class FwImageError : uint8_t {
  None,
  NoTag,             // the image does not begin with "MX7N"
  Identity,          // another firmware's identification
  EngineeringValue,  // the value at offset 256 is not below 120000
  Truncated,         // a list runs into the login block
  BlockNumber,       // a block number above 1950, or twice
  Type,              // a type outside the stored range or not in use
  RecordField,       // a count or size beyond its cap
  TemplateMismatch,  // counts or size differ from the type's template
  HeapFull,          // the blocks do not fit the instance or wiring heap
  ParamRecord,       // a parameter-list record is malformed or names no block
  ParamRoom,         // the parameter list does not fit its room
  Connections,       // an input names a missing source
  Chains,            // the time-group chains are faulty
  WriteBack,         // the write-back ring stayed full
};

// Firmware state the image reads and writes.
// The run mode itself is g_fwRunMode (runtime/fw_mode.h).
struct FwEngineeringState {
  uint8_t status = 0;            // engineering status byte (FW_ENG_*)
  uint8_t errors = 0;            // engineering error byte (FW_ENG_ERR_FAULTY)
  uint8_t startFlags = 0;        // FW_START_COLD
  uint16_t warmStart = 0;        // 1: the blocks keep their outputs at the next start-up pass
  uint32_t engineeringValue = 0; // offset 256, kept while loaded
  uint32_t usedLength = 0;       // end of the parameter list written by the last save
  uint16_t stayStopped = 0;      // set when an image of another firmware was refused; the
                                 // adapter hands it to the shell's stay-stopped flag
  uint16_t chainError = 0;       // result of the last chain check
  uint16_t badBlock = 0;         // first block with invalid wiring, or the failing record
  uint8_t refused = 0;           // the last load refused the image's block list: RAM does
                                 // not hold it, so no save may write RAM over it
  FwImageError lastError = FwImageError::None;
};

extern uint8_t g_fwImage[FW_IMAGE_SIZE];
extern FwEngineeringState g_fwEng;

// ---------------------------------------------------------------------------------------
// Loading.

// True when the identification at 14..20 is the firmware's own ("1230", "-A", version 4),
// or when the four bytes at 14 are all zero.
bool FW_CheckImageIdentity(const uint8_t* image);

// Checks the tag and the identification and loads the engineering. 0 when the blocks were
// loaded, 1 when nothing was (no tag, another firmware's identification, or a structurally
// bad image). Every failure leaves the device stopped with the error state set; a load
// whose wiring or chains are faulty keeps its blocks (answer 0, the engineering marked
// faulty). g_fwEng.lastError tells which check failed.
int FW_LoadEngineering();

// Parses both lists, builds the blocks, sets the run mode and checks the engineering;
// 0 on success. A structurally bad image is refused before the block store is touched,
// so the device keeps what it had (nothing, after a start-up) and stays stopped.
int FW_LoadEngineeringData();

// Resolves the connections, then builds and checks the time-group chains: 0 when both
// succeed (status bit 1 set, error bit cleared), else 1 (error bit set).
int FB_CheckEngineering();

// Forgets the loaded engineering: block list, both heaps, the parameter list and the image
// from offset 256 up to the login block.
void FW_ClearEngineering();

// ---------------------------------------------------------------------------------------
// Saving.

// Writes the block list and the parameter list from RAM back into the image: 0, or 1 when
// they do not fit or when the last load refused the image (the image is then unchanged and
// nothing is queued). With status bit 4
// the whole used image is queued for the EEPROM, the tag last.
int FW_SaveEngineering();

// The save at the change from stop to run (run state 1 with run mode 2): 0 when the
// engineering was saved (status bit 3 set; the caller goes on to the start-up pass), else 1
// with the device kept stopped: status bit 2, run mode 1 (queued), cold start, error bit 3.
int FW_SaveOnRunModeChange();

// Single saves of applied values, installed as the parameter protocol's save hook: copies
// the 1-based values first..first+count-1 of the group from the instance into the block's
// record in the image and queues those bytes for the EEPROM. Floats and long values take 4
// bytes, state words 2, word parameters their low byte only. 1 when the write ring was full
// (nothing queued), else 0. A block without a record in the image yet (created after the
// last save) saves nothing and answers 0: the next full save writes it.
uint8_t FW_SaveToImage(FbSaveGroup group, uint16_t block, uint16_t first, uint16_t count);

// ---------------------------------------------------------------------------------------
// The parameter list in RAM. It is kept in a region of its own beside the instance heap, so
// that blocks created after a load never overwrite it; an instance's link is the 1-based
// word offset of its record in that region (0 = none).

// The block's parameter-list record ({block, L, L - 2 data words}), or null. Block 1955 (or
// 0) names the system-data block's record.
const uint16_t* FW_GetParamRecord(uint32_t block);
// Words of the region in use (records only, no end word).
uint32_t FW_ParamListWords();
// Appends a record for a block that exists (or 1955) and links it: 0, 'l' for a length
// outside 2..100, 'j' for a missing block, 131 when the instance heap and the parameter list
// together would pass 120000 words.
uint8_t FW_AppendParamRecord(uint16_t block, const uint16_t* data, uint16_t dataWords);

// ---------------------------------------------------------------------------------------
// Connections.

// Makes this image the firmware's engineering: the main EEPROM's memory, the language byte
// of the texts, and the target of the parameter protocol's single saves. Loading an
// engineering does it; the start-up may call it earlier.
void FW_ConnectImage();

// Called when the engineering is cleared, for what lies outside the runtime: closing open
// pages, overlays and block views, resetting the key indicators and the page state, and
// clearing the fieldbus exchange records. Null: nothing.
using FwEngineeringClearHook = void (*)();
void FW_SetEngineeringClearHook(FwEngineeringClearHook hook);
