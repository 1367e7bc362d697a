// Device communication as the firmware's start-up, main cycle, hardware adapter and
// operating pages call it: the serial channels' frame buffers, the protocol entry for a
// received frame, the system bus, the remote I/O module link and the option card.
//
// Programs link `sim_comm`, which serves binary frames with Modbus RTU and text frames with
// the character protocol, the system-bus node, the module link and the option cards; tests
// of the firmware link the recording fake of tests/fakes instead.
#pragma once

#include <cstdint>

// Serial channels 1..3; channel 2 is the PC-tool channel of the simulator.
constexpr int COM_CHANNELS = 3;
constexpr int COM_PC_CHANNEL = 2;
constexpr uint32_t COM_RX_SIZE = 500;  // largest frame a channel receives
constexpr uint32_t COM_TX_SIZE = 256;  // largest answer

// The frame buffers of one channel: the received frame and the answer to it.
struct ComFrameBuffers {
  uint8_t rx[COM_RX_SIZE];
  uint16_t rxLength;   // bytes in rx
  uint8_t rxBinary;    // 1: a binary (Modbus RTU) frame, 0: a text frame
  uint8_t tx[COM_TX_SIZE];
  uint16_t txLength;   // bytes of the answer in tx, 0 = no answer
};

// The buffers of channel 1..3; null for any other number.
ComFrameBuffers* COM_FrameBuffers(int channel);

// Initialises the serial channels and the protocols (firmware start-up).
void COM_Init();
// Sets the serial channel up again from the interface settings and the communication
// option (COM_Init, and the system block when the settings change).
void COM_InitChannel();
// Serves the frame in the channel's receive buffer and leaves the answer in its transmit
// buffer (txLength 0 when there is none): a binary frame with Modbus RTU, a text frame with
// the character protocol.
void COM_ReceiveFrame(int channel);

// Asked each tick of a device in the download state without a frame on the PC-tool channel.
// True when a download into a device with an engineering has broken off: it is dropped and the
// device has left the download state; the firmware is to start again with the engineering
// it ran before.
bool COM_DownloadBrokenOff();

// System bus: one step per firmware cycle, and the reset after a firmware restart.
void COM_BusCycle();
void COM_BusReset();

// The operating pages' view of the system bus: the node a page shows and resets (2..42;
// any other number keeps the one selected before; the device's own address, system datum
// 3005, is never changed here), and the table of the nodes 1..42 filled from the bus node's
// records each time it is asked for (once per page redraw).
void COM_BusSetAddress(uint16_t node);

constexpr uint16_t COM_CAN_NODES = 42;
constexpr uint16_t COM_CAN_NAME_LEN = 8;
struct ComCanNodeEntry {
  uint8_t remote;   // 0..4: unknown, identity requested, answered, known, lost
  uint8_t nmt;      // 0..3: other, pre-operational, -, operational
  uint8_t use;      // 0..3: unused, claimed by a block, started, configured
  uint8_t state;    // the node kind: 6..9 are nodes of other kinds that a page may reset
  char name[COM_CAN_NAME_LEN + 1];  // the device name, NUL-terminated
  uint8_t type;     // the node kind again: 8 is a node that gave no name
};
struct ComCanNodeTable {
  ComCanNodeEntry nodes[COM_CAN_NODES + 1];  // by node number 1..42; entry 0 stays empty
  uint16_t ownNode;                          // system datum 3005
};
const ComCanNodeTable& COM_CanNodeTable();

// Remote I/O modules: the scan that opens the module panels of the engineering's couplers
// (with the simulator's instance number), and the per-tick exchange with the panels.
void COM_ScanIoModules(int32_t instance);
void COM_ExchangeIoModules();

// Option card (communication option '3'): one step per firmware cycle, which keeps the device
// status byte current and supervises the card; and the clearing of the exchange records
// 1..8 when the engineering is cleared.
void FW_OptionCardCycle();
void FW_OptionCardClearRecords();

// Serial error flags byte (0: no error); the main cycle reports it to the operating
// interface.
uint8_t COM_SerialErrorFlags();
