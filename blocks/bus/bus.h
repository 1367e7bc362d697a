// Bus and cross-communication blocks: the function blocks on the system bus.
//
// They never build bus frames: they put their data into the process-data objects of the
// bus node's mapping tables, watch the node records of their partners, and C_MX6x
// configures its partner by SDO write requests.
//   CSEND / CRCV    cross-communication between two devices of this family: 9 analog and
//                   16 digital values as five 8-byte objects whose ids come from the
//                   sender's node address.
//   C_MX6x / MX6x   coupling with the controllers of the other controller family: one
//                   coupler per partner device (8 or 16 controllers), one MX6x block per
//                   controller, sharing a controller record.
//   CPREAD / CPWRIT raw process data of any node: two objects byte by byte.
// All but MX6x are bound to block numbers in 21..40 and run every cycle in the input-side
// pass; MX6x runs in its time group.
#pragma once

#include <cstdint>

#include "comm/com_bus.h"
#include "runtime/fb_store.h"

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_CRCV = 56,
  BLK_TYPE_CSEND = 57,
  BLK_TYPE_C_MX6X = 58,
  BLK_TYPE_MX6X = 59,
  BLK_TYPE_CPREAD = 88,
  BLK_TYPE_CPWRIT = 89,
};

// Link states of the receiving and sending blocks (C_MX6x copies them into its controller
// records, where the MX6x blocks read them).
enum : uint8_t {
  BUS_LINK_WAIT_PARTNER = 1,   // waiting for the partner's identity
  BUS_LINK_PARTNER_FOUND = 2,
  BUS_LINK_INACTIVE = 3,       // kept until the next start-up pass
  BUS_LINK_STARTING = 4,       // C_MX6x: configuring the partner
  BUS_LINK_WAIT_OPERATIONAL = 6,
  BUS_LINK_EXCHANGING = 7,
};

constexpr uint16_t BUS_MX6X_CONTROLLERS = 16;   // records of a coupler
constexpr uint16_t BUS_MX6X_FIRST_HANDLE = 69;  // record k: 69 + 9 (k - 1)
constexpr uint16_t BUS_MX6X_HANDLE_STEP = 9;
constexpr uint8_t BUS_MX6X_CONFIG_STEPS = 12;   // SDO writes of the configuration

// Command bits of a controller record (and of the MX6x digital inputs 1..5), and the
// changed bits of the two values.
enum : uint8_t {
  BUS_CMD_AUTO_MANUAL = 0x01, BUS_CMD_CONTROLLER_OFF = 0x02, BUS_CMD_SETPOINT_2 = 0x04,
  BUS_CMD_EXTERNAL_SETPOINT = 0x08, BUS_CMD_OPTIMISE = 0x10,
  BUS_CHANGED_YMAN = 0x40, BUS_CHANGED_W = 0x80,
};

// One controller of a C_MX6x, shared by the coupler and the MX6x block of that controller.
struct CrossControllerRecord {
  uint8_t fresh;        // 1 after a message for the controller; 0 when it stays away
  uint8_t age;          // runs since the last message
  uint8_t claimed;      // 1 once an MX6x block took the controller
  uint8_t sendRequest;  // 1 while the MX6x block has changes to send
  int16_t x10;          // process value, tenths
  uint8_t st1;          // status byte 1 (bit 4: process value failure)
  uint8_t st2;          // status byte 2
  int16_t y10;          // output value, tenths
  int16_t w10;          // setpoint to send, tenths
  int16_t yman10;       // manual output to send, tenths
  uint8_t commands;     // BUS_CMD_*
  uint8_t changed;      // the command bits that changed, BUS_CHANGED_*
  uint8_t state;        // the coupler's link state
  uint8_t spare;
};
static_assert(sizeof(CrossControllerRecord) == 18);

// Own state of the instances (their work words, all zero at creation). An object is kept as
// a handle: its offset in the bus node's input or output area + 1, 0 for none.
struct CrcvState {
  uint8_t link;
  uint8_t retry;
  FbU32 object[5];       // the five input objects
  uint8_t lastByte[2];   // the digital bytes last taken
  uint8_t stale;         // runs since a received value last changed (up to 21)
  uint8_t spare;
  uint16_t lastCounter;  // the heartbeat counter last taken
};

struct CsendState {
  uint8_t link;
  uint8_t change;        // runs since a value was last written
  FbU32 object[5];       // the output objects; 0 for one that is not sent (the spare place)
  uint8_t sparePlace[8]; // stands for the objects that are not sent
};

struct CmxState {
  uint8_t link;
  uint8_t retry;
  CrossControllerRecord record[BUS_MX6X_CONTROLLERS];
  ComBusRequest request;
  uint8_t sendIndex;
  uint8_t mapped;        // the four objects are mapped
  FbU32 input[2];        // n + 384, n + 640
  FbU32 output[2];       // n + 512, n + 768
  uint8_t lastSecond[8]; // the second input object as last evaluated
  uint8_t step;          // configuration step 0..12
  uint8_t count;         // controllers of the partner: 8 or 16, 0 until identified
  uint8_t sendAll;
  uint8_t notOperational;
};

struct Mx6xState {
  uint16_t coupler;      // block number of the C_MX6x
  uint16_t position;     // record 0..15 within the coupler
  uint16_t lastState;    // the coupler state last seen
  uint8_t connected;     // the inputs that are wired, as changed bits
  uint8_t previousChanged;
};

struct RawPdState {
  uint8_t link;
  uint8_t retry;
  FbU32 object[2];       // the COBid1 and COBid2 objects
};

// Enters the family's rows into the block-type table.
void BLK_RegisterBusTypes();

// The link state of a CRCV, CSEND, C_MX6x, CPREAD or CPWRIT block (0 for any other block).
uint8_t BLK_BusLinkState(uint16_t block);
// Controller record k (0-based) of the C_MX6x at `block`; null when the block is no C_MX6x
// or k lies outside 0..15.
CrossControllerRecord* BLK_CrossControllerRecord(uint16_t block, uint16_t k);

void FB_CRCV_Run();
void FB_CRCV_Init();
uint8_t FB_CRCV_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_CSEND_Run();
void FB_CSEND_Init();
uint8_t FB_CSEND_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_C_MX6x_Run();
void FB_C_MX6x_Init();
uint8_t FB_C_MX6x_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_MX6x_Run();
void FB_MX6x_Init();
uint8_t FB_MX6x_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_CPREAD_Run();
void FB_CPREAD_Init();
uint8_t FB_CPREAD_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_CPWRIT_Run();
void FB_CPWRIT_Init();
uint8_t FB_CPWRIT_Param(FbParamRequest* request, uint16_t* badIndex);
