// Device communication as the firmware's start-up, main cycle and hardware adapter call it:
// the serial channels' frame buffers, the protocol entry for a received frame, the system
// bus, the remote I/O module link and the option card.
//
// Programs link `sim_comm`, which serves binary frames with Modbus RTU and text frames with
// the character protocol (the bus, the remote I/O modules and the option cards are still
// plain stand-ins there); tests of the firmware link the recording fake of tests/fakes
// instead.
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

// System bus: one step per firmware cycle, and the reset after a firmware restart.
void COM_BusCycle();
void COM_BusReset();

// Remote I/O modules: the scan that opens the module panels of the engineering's couplers
// (with the simulator's instance number), and the per-tick exchange with the panels.
void COM_ScanIoModules(int32_t instance);
void COM_ExchangeIoModules();

// Option card (communication option '3'): one exchange step per firmware cycle.
void FW_OptionCardCycle();

// Serial error flags byte (0: no error); the main cycle reports it to the operating
// interface.
uint8_t COM_SerialErrorFlags();
