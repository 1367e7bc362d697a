// Remote I/O coupler and module blocks.
//
// The device reaches remote I/O modules over the system bus: one bus coupler carries up to
// nine plugged modules. C_TQ5x (blocks 21..25, run every cycle in the input-side pass) is the
// bus master of one coupler: it checks its node id, reads the coupler's identity and the
// kinds of its slots, writes the modules' configuration objects and exchanges the process
// data. One module block per plugged module claims a slot of a coupler through its "Slot x"
// input, hands the coupler its configuration list and converts the slot's values:
//   TQ_DI, TQ_DO    eight digital inputs / outputs
//   TQ_AI, TQ_AI+   four analog inputs (TQ_AI+ with a two-point correction per channel and a
//                   calibration page record)
//   TQ_AO           four analog outputs
//   TQ_DMS          two strain-gauge inputs with tare, tare-reset and zero commands
// The nine slot records live in the coupler's instance: slot n begins at instance word
// 47 + 27 (n - 1), which is the part below 1000 of the address the coupler's output "Slot n"
// carries (block x 1000 + that word). In the simulator the module link (comm/com_remoteio.h)
// reads and writes the same records to drive the module panels and answers the coupler's
// bus request every cycle.
#pragma once

#include <cstddef>
#include <cstdint>

#include "comm/com_bus.h"
#include "comm/com_remoteio.h"
#include "runtime/fb_store.h"

struct FbParamRequest;
struct BlkCalPage;

enum : uint16_t {
  BLK_TYPE_C_TQ5X = COM_TYPE_C_TQ5X,     // 14
  BLK_TYPE_TQ_DI = COM_TYPE_TQ_DI,       // 15
  BLK_TYPE_TQ_DO = COM_TYPE_TQ_DO,       // 16
  BLK_TYPE_TQ_AI = COM_TYPE_TQ_AI,       // 17
  BLK_TYPE_TQ_AO = COM_TYPE_TQ_AO,       // 18
  BLK_TYPE_TQ_AIPLUS = COM_TYPE_TQ_AIPLUS,  // 19
  BLK_TYPE_TQ_DMS = COM_TYPE_TQ_DMS,     // 22
};

// Coupler states (also each slot's phase byte).
enum : uint8_t {
  RIO_START = 1,       // waiting for the coupler's node to be known
  RIO_IDENTITY = 2,    // reading the identity and the slot kinds, then mapping
  RIO_FAULT = 3,       // nothing is exchanged until the next start-up pass
  RIO_CONFIGURE = 4,   // writing the modules' configuration and the guarding objects
  RIO_WAIT = 6,        // waiting for the node to become operational
  RIO_OPERATE = 7,     // exchanging the process data
};

// Slot states, and the states of a slot's status request.
enum : uint8_t { RIO_SLOT_CONFIGURED = 1, RIO_SLOT_FAILED = 2 };
enum : uint8_t { RIO_STATUS_REQUESTED = 1, RIO_STATUS_FAILED = 2, RIO_STATUS_ANSWERED = 3 };

// Coupler classes: by the software version, 20 for a node of kind 7.
constexpr uint8_t RIO_CLASS_20 = 20;

// Objects of the coupler.
enum : uint16_t {
  RIO_OBJ_SOFTWARE_VERSION = 0x100A,   // 10 characters, "SW-V0x.yy"
  RIO_OBJ_GUARD_TIME = 0x100C,
  RIO_OBJ_LIFE_TIME_FACTOR = 0x100D,
  RIO_OBJ_TRANSMIT_FIRST = 0x1800,     // the six transmit objects 0x1800..0x1805, sub-index 3
  RIO_OBJ_SLOT_KIND = 0x5002,          // sub-index 1..9: the kind code of each slot
  RIO_OBJ_SLOT_STATUS = 0x5003,        // sub-index 1..9: bits 0..3 the output status words
};

// Request counter of the coupler: start attempts up to RIO_START_ATTEMPTS, a start accepted
// sets RIO_AWAITING, and waiting for the answer ends at RIO_ANSWER_TIMEOUT.
constexpr uint8_t RIO_START_ATTEMPTS = 10;
constexpr uint8_t RIO_AWAITING = 11;
constexpr uint8_t RIO_ANSWER_TIMEOUT = 20;

// One entry of a module block's configuration list, written by the coupler as one object:
// the record is bytes only, so the object index is kept little-endian in two bytes.
struct RioConfigEntry {
  uint8_t request;   // 1: to be written
  uint8_t done;      // 1: written (or given up)
  uint8_t subIndex;  // set from the slot's first sub-index once the kind is checked
  uint8_t index[2];
  uint8_t length;    // data bytes, 1..4
  uint8_t channel;   // 0-based channel; bit 7: the entry counts in the second channel group
  uint8_t spare;
  uint8_t data[4];
  uint16_t object() const { return static_cast<uint16_t>(index[0] | index[1] << 8); }
};
static_assert(sizeof(RioConfigEntry) == 12);
constexpr uint8_t RIO_SECOND_GROUP = 0x80;
constexpr uint16_t RIO_MAX_ENTRIES = 16;   // the longest list (TQ_AI+)

// A configuration list: its count word and the entries after it.
struct RioListView {
  uint16_t* count = nullptr;
  RioConfigEntry* entries = nullptr;
};

// One slot record of a coupler (27 words).
struct RioSlotRecord {
  uint8_t claimed;           // 1: a module block owns the slot
  uint8_t kind;              // kind code reported for the slot
  uint8_t firstSub;          // first sub-index of the slot's channels
  uint8_t slotState;         // RIO_SLOT_*, 0 until the module block checked the kind
  FbU32 configList;          // handle (instance-heap word) of the module's list count word
  FbU32 command;             // handle of a TQ_DMS block's command entry, 0 for none
  uint8_t couplerClass;
  uint8_t writeFailed;       // 2: a configuration write of the slot timed out
  uint8_t moduleValid;
  uint8_t input[8];          // digital byte, four i16 or two i32, little-endian
  uint8_t channelStatus[4];
  uint8_t tcStatus;          // thermocouple status
  uint8_t output[8];         // digital byte or four i16, little-endian
  uint16_t doStatus[4];      // digital-output status words
  uint8_t statusRequest;     // RIO_STATUS_*
  uint8_t aoStatus[4];       // analog-output status
  uint8_t phase;             // the coupler's state, copied every cycle
  uint8_t firstSub2;         // first sub-index of the second channel group (TQ_DMS)
  uint8_t spare[3];
};
static_assert(sizeof(RioSlotRecord) == 2 * COM_SLOT_ADDRESS_STEP && alignof(RioSlotRecord) == 2);

constexpr uint8_t RIO_RX_OBJECTS = 6, RIO_TX_OBJECTS = 5;
constexpr uint8_t RIO_NO_PLACE = 0xFF;

// Own state of a C_TQ5x (its work words, from instance word 46).
struct RioCouplerState {
  uint8_t state;             // RIO_* (word 46)
  uint8_t counter;           // the running request: start attempts, then cycles waited
  RioSlotRecord slot[COM_SLOTS];   // from word 47
  ComBusRequest request;     // the one request the coupler has running
  uint8_t pending;           // 1 while `request` is prepared or running
  uint8_t step;              // state 2: 0 identity, 1..9 slot kind; state 4: the slot written,
                             // then 9 + the guarding object; state 7: the job's slot
  uint8_t entry;             // state 4: the entry of the slot; state 7: the job (1 command, 2 status)
  uint8_t couplerClass;
  uint8_t mapped;            // the process-data objects are mapped
  uint8_t cursor;            // state 7: the slot whose status read comes next
  uint8_t listCount[COM_SLOTS];    // entries of each slot's list, noted in state 1
  uint8_t rxPlace[COM_SLOTS], rxBytes[COM_SLOTS];  // the slots' places in the received data
  uint8_t txPlace[COM_SLOTS], txBytes[COM_SLOTS];  // and in the transmitted data
  uint8_t reading;           // 1: `request` is a read, 0 a write
  FbU32 rx[RIO_RX_OBJECTS];  // object handles: offset in the node's area + 1
  FbU32 tx[RIO_TX_OBJECTS];
  uint8_t lastRx[RIO_RX_OBJECTS * COM_BUS_OBJECT_BYTES];  // received data last taken
  uint8_t raw[COM_SLOTS][4 * COM_SLOT_CHANNELS];          // the module link's raw readings
  char identity[12];         // the software version answered (10 characters at most)
};
static_assert(offsetof(RioCouplerState, slot) == 2);

// The coupler state of block 21..25, or null when the block is no C_TQ5x.
RioCouplerState* BLK_RioCouplerState(uint16_t block);
// Slot record 0..8 of a coupler block, or null.
RioSlotRecord* BLK_RioSlotRecord(uint16_t coupler, uint32_t slot);
// The configuration list of a module block (count null when the block is none).
RioListView BLK_RioConfigList(uint16_t block);
// The command entry of a TQ_DMS block, or null.
RioConfigEntry* BLK_RioCommandEntry(uint16_t block);
// The calibration page record of a TQ_AI+ block (registered as its page data), or null.
BlkCalPage* BLK_RioCalPageOf(uint16_t block);

// Enters the family's rows into the block-type table and installs the family's calls for
// the module link.
void BLK_RegisterRemoteIoTypes();

void FB_C_TQ5x_Run();
void FB_C_TQ5x_Init();
uint8_t FB_C_TQ5x_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TQ_DI_Run();
void FB_TQ_DI_Init();
uint8_t FB_TQ_DI_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TQ_DO_Run();
void FB_TQ_DO_Init();
uint8_t FB_TQ_DO_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TQ_AI_Run();
void FB_TQ_AI_Init();
uint8_t FB_TQ_AI_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TQ_AO_Run();
void FB_TQ_AO_Init();
uint8_t FB_TQ_AO_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TQ_AIPLUS_Run();
void FB_TQ_AIPLUS_Init();
uint8_t FB_TQ_AIPLUS_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TQ_DMS_Run();
void FB_TQ_DMS_Init();
uint8_t FB_TQ_DMS_Param(FbParamRequest* request, uint16_t* badIndex);
