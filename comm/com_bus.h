// The device's node on the system bus (a CANopen network: SDO transfers by index and
// sub-index, NMT node states, SDO abort codes).
//
// The node serves the values of the device's own function blocks as objects to the other
// nodes, supervises the nodes 2..42, reads their identity, and carries the read and write
// requests of the bus blocks as request objects that the blocks own. It reaches the CAN
// controller only through a driver (runtime/fw_busdriver.h); the simulator's driver is
// empty, so requests stay outstanding and the node stays in its start-up states, while the
// tables below still serve the blocks. Tests install a driver that delivers events.
//
// Messages between the node and its driver (received events, answers, requests) share one
// byte layout, values most significant byte first:
//   0 kind, 1 node (the peer), 2 index high byte, 3 index low byte, 4 sub-index,
//   5 data length, 6.. data (an abort carries its 4-byte code).
#pragma once

#include <cstdint>

#include "runtime/fb_store.h"
#include "runtime/fw_busdriver.h"

constexpr uint16_t COM_BUS_NODES = 43;           // node records of the addresses 0..42
constexpr uint16_t COM_BUS_FIRST_NODE = 2;       // the nodes that are supervised: 2..42
constexpr uint16_t COM_BUS_LAST_NODE = 42;
constexpr uint16_t COM_BUS_MASTER_ADDRESS = 1;   // own address 1: master mode
constexpr uint8_t COM_BUS_MAX_OUTSTANDING = 10;  // requests outstanding in all
constexpr uint8_t COM_BUS_RETRY_LIMIT = 20;      // supervision ticks before a node reset
constexpr uint8_t COM_BUS_EVENTS_PER_TICK = 25;
constexpr uint16_t COM_BUS_NAME_LEN = 10;        // device-name text of a node record
constexpr uint16_t COM_BUS_DATA_BYTES = 16;      // data buffer of a request object
constexpr uint16_t COM_BUS_MAP_ENTRIES = 39;     // process-data objects per mapping table
constexpr uint16_t COM_BUS_OBJECT_BYTES = 8;     // bytes of one process-data object
constexpr uint16_t COM_BUS_AREA_BYTES = 320;       // objects at 0, 8, ..., 312
static_assert(COM_BUS_MAP_ENTRIES * COM_BUS_OBJECT_BYTES <= COM_BUS_AREA_BYTES);
constexpr uint32_t COM_BUS_MSG_DATA = 6;         // offset of the data in a message
constexpr uint32_t COM_BUS_MSG_SIZE = COM_BUS_MSG_DATA + COM_BUS_DATA_BYTES;

// Message kinds: events the driver delivers, answers and requests the node hands it.
enum : uint8_t {
  COM_MSG_NONE = 0,        // no more events
  COM_MSG_DOWNLOAD = 5,    // request: write an object of a node (data: the value)
  COM_MSG_DOWNLOADED = 6,  // event: a node answered the download; answer to a write of ours
  COM_MSG_UPLOAD = 7,      // request: read an object of a node
  COM_MSG_UPLOADED = 9,    // event: a node answered the upload (data); answer to a read of ours
  COM_MSG_WRITE = 11,      // event: a node writes one of our objects (data: the value)
  COM_MSG_READ = 13,       // event: a node reads one of our objects
  COM_MSG_IDENTITY = 16,   // event: a node booted or announced itself (data: its name); ours
  COM_MSG_ABORT = 18,      // event: 4 data bytes: the node aborted its request (the code);
                           //   1 data byte: the node's NMT state changed (the state);
                           //   answer: we abort a node's access to our object (the code)
  COM_MSG_PERIODIC = 24,   // the periodic message of the operational state
  COM_MSG_LOST = 41,       // event: a node was lost
};

// NMT commands handed to the driver (node 0: all nodes), and the own NMT state it reports.
enum : uint8_t { COM_NMT_START = 1, COM_NMT_STOP = 2, COM_NMT_RESET = 129 };
enum : int { COM_DRIVER_PREOPERATIONAL = 127, COM_DRIVER_OPERATIONAL = 5 };

// SDO abort codes.
enum : uint32_t {
  COM_ABORT_NO_OBJECT = 0x06020000u,
  COM_ABORT_NO_SUBINDEX = 0x06090011u,
  COM_ABORT_READ_ONLY = 0x06010002u,
  COM_ABORT_UNSUPPORTED = 0x06010000u,
  COM_ABORT_REFUSED = 0x06040043u,
  COM_ABORT_GENERAL = 0x08000000u,
};
// Abort values the node itself reacts to: an identity request aborted with 518 names a node
// without a device name; 1542 ends the event loop of the tick.
constexpr uint32_t COM_ABORT_NO_NAME = 518;
constexpr uint32_t COM_ABORT_STOP_EVENTS = 1542;

// ---------------------------------------------------------------------------------------
// Node records, one per address 0..42.
enum : uint32_t {  // remote state
  COM_REMOTE_UNKNOWN = 0, COM_REMOTE_ASKED = 1, COM_REMOTE_ANSWERED = 2, COM_REMOTE_KNOWN = 3,
  COM_REMOTE_LOST = 4,
};
enum : uint32_t { COM_NODE_NMT_OTHER = 0, COM_NODE_PREOPERATIONAL = 1, COM_NODE_OPERATIONAL = 3 };
enum : uint32_t {  // configuration stage (the use mark of the blocks)
  COM_USE_NONE = 0, COM_USE_CLAIMED = 1, COM_USE_STARTED = 2, COM_USE_CONFIGURED = 3,
};
constexpr uint8_t COM_QUERY_NEVER = 4;  // identity-query byte: the node announces itself
enum : uint8_t {  // node kind byte, from the identity
  COM_KIND_OWN_FAMILY = 4,   // a node of the device's own family
  COM_KIND_COUPLER = 6,      // a remote I/O bus coupler
  COM_KIND_COUPLER_20 = 7,   // a bus coupler of class 20
  COM_KIND_NO_NAME = 8,      // a node that gives no device name
  COM_KIND_FOREIGN = 9,      // a device the node does not know (its name is kept)
};

struct ComBusNode {
  uint32_t remoteState;           // COM_REMOTE_*
  uint32_t nmtState;              // COM_NODE_*; the own node's is taken from the driver
  uint32_t configStage;           // COM_USE_*
  uint8_t identityQuery;          // COM_QUERY_NEVER: its identity is only asked in master mode
  uint8_t retry;                  // supervision: ticks since the node last reported its state
  uint8_t kind;                   // COM_KIND_* and 1..9
  char name[COM_BUS_NAME_LEN + 1];// device name, NUL-terminated
  uint8_t failCount;              // the last failure: count, object index and abort code
  uint32_t failIndex;
  uint32_t failCode;
};

// The record of an address, or null for an address outside 0..42.
ComBusNode* COM_BusNode(uint32_t address);

// ---------------------------------------------------------------------------------------
// Request objects, owned by the calling block. 2-byte aligned, so that a block may keep one
// in the work words of its instance (COM_BUS_REQUEST_WORDS words).
enum : uint32_t { COM_REQ_FREE = 0, COM_REQ_SENT = 1, COM_REQ_ANSWERED = 2, COM_REQ_ABORTED = 3 };

struct ComBusRequest {
  FbU32 state;                     // COM_REQ_*, kept by the node while the request runs
  uint16_t node;                   // address of the node asked, 1..42
  uint16_t index;
  uint8_t subIndex;
  uint8_t spare;
  uint16_t length;                 // bytes of data: to write, or answered by a read
  uint8_t data[COM_BUS_DATA_BYTES];
  uint16_t abortIndex;             // an aborted request: the object and the node's code
  FbU32 abortCode;
};
static_assert(alignof(ComBusRequest) == 2 && sizeof(ComBusRequest) % 2 == 0);
constexpr uint16_t COM_BUS_REQUEST_WORDS = sizeof(ComBusRequest) / 2;

// Hands a read (upload) request for the object to the driver, marks it sent and registers
// it under its node: 1. 0, and nothing changes, when 10 requests are outstanding, the node
// already has one, the node is outside 1..42, the request is already running or the driver
// refuses it. A refused request is left as it was; the block retries at its next run.
int COM_BusStartReadRequest(ComBusRequest* request);
// The same for a write (download) of the request's data (at most COM_BUS_DATA_BYTES).
int COM_BusStartRequest(ComBusRequest* request);
// Withdraws a request its owner gives up (a time-out): the node forgets it, so that the slot
// is free again. The request's state is left to the owner. A request whose owner changes its
// state away from "sent" is dropped in the same way at the node's next step.
void COM_BusCancelRequest(ComBusRequest* request);
// Requests outstanding now (the own identity request not counted).
uint8_t COM_BusOutstanding();

// ---------------------------------------------------------------------------------------
// Process-data objects: an input and an output table of 39 objects of 8 bytes, each object
// at a fixed offset (0, 8, ..., 312) of its table's 320-byte area.
struct ComBusMapEntry {
  uint32_t id;       // object (COB) id
  uint16_t count;    // blocks that mapped the object
  uint16_t offset;   // into the area
};
struct ComBusMap {
  ComBusMapEntry entries[COM_BUS_MAP_ENTRIES];
  uint16_t used;
  uint8_t changed;   // an object was added since the driver last took the table
  uint8_t area[COM_BUS_AREA_BYTES];
};
const ComBusMap& COM_BusInputMap();
const ComBusMap& COM_BusOutputMap();

// The 8 data bytes of the input object `id`: found, or added (the table's changed flag
// set); two blocks that map one id share its data. Null when the table is full.
uint8_t* COM_BusMapInput(uint32_t id);
// The 8 data bytes of a new output object: null when `id` is already mapped or the table is
// full.
uint8_t* COM_BusMapOutput(uint32_t id);

// Blocks keep the place of an object they mapped as its offset in the area (instances hold
// no native pointers): the offset of data that a mapping returned, and the 8 data bytes at
// an offset again. The offset of a pointer outside the area is -1; an offset that is no
// object's place gives null.
int32_t COM_BusInputOffset(const uint8_t* data);
int32_t COM_BusOutputOffset(const uint8_t* data);
uint8_t* COM_BusInputObject(uint32_t offset);
uint8_t* COM_BusOutputObject(uint32_t offset);

// ---------------------------------------------------------------------------------------
// The node's steps.

// One step of the state machine, then the driver's events (at most 25) and the own
// identity request. While the device is stopped the state is 0; entering the run mode
// resets the node.
//   0 reset, 1 own identity awaited, 2 identity requests, 3 answers awaited, 4 nodes
//   configured by their blocks, 5 all nodes started, 6 own node operational, 7 operational.
void COM_BusStateMachine();
uint8_t COM_BusMachineState();

// Drivers: the one the node calls through (the empty one by default). Installing null
// restores the empty driver; the driver replaced is returned.
const FwBusDriver* COM_BusSetDriver(const FwBusDriver* driver);

// The node selected by the operating pages (0 after a reset).
uint16_t COM_BusSelectedNode();

// True when a node other than the own one is known (system datum 561, bit 4).
bool COM_BusOtherNodeKnown();

// Own address (system datum 3005) when it lies in 1..42, else 0.
uint16_t COM_BusOwnAddress();
