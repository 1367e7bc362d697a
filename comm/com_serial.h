// The device's serial driver (UART layer) and the receive states of the serial channels.
//
// The simulated device has no UART: the driver's open operation is empty, so the driver stays
// closed, no frame is ever received on channels 1 and 3 and every transmission is refused
// (and counted). The channels' code paths stay as the device has them; a test line (the hook
// at the end) stands in for the cable, so that tests and the fuzz target can hand frames to
// channels 1 and 3 and read what the device sends back.
//
// Receive state of a channel: 0 idle, 1 a frame is waiting, 2 a further frame came while one
// was waiting or served, 3 the frame is to be discarded. Each received frame raises the count
// of pending channel events, which COM_ServeChannels consumes.
#pragma once

#include <cstdint>

#include "comm/com_services.h"

constexpr uint32_t COM_SERIAL_SIZE = 256;   // the driver's receive and transmit buffers

enum : uint8_t {
  COM_RX_IDLE = 0,
  COM_RX_WAITING = 1,
  COM_RX_WAITING_MORE = 2,
  COM_RX_DISCARD = 3,
};

// Error bits of a reception (as the UART reports them).
enum : uint8_t {
  COM_SERIAL_ERR_PARITY = 0x01,
  COM_SERIAL_ERR_FRAMING = 0x02,
  COM_SERIAL_ERR_OVERRUN = 0x04,
};

// Settings of the open operation: the baud code (11..15), the data bits, the receive handler
// (null: the common one, which marks the channel's frame as waiting) and the transmit
// handler. The four further settings of the device's driver are fixed here.
using ComSerialHandler = void (*)();
struct ComSerialOpen {
  uint8_t baudCode;
  uint8_t dataBits;
  ComSerialHandler receive;
  ComSerialHandler transmitDone;
};

struct ComSerialDriver {
  uint8_t open;                 // 1 only while a test line is attached
  ComSerialOpen settings;       // what the last open operation was given
  // Received frames of the two serial sources: [0] the device's interface (channel 1),
  // [1] the second source (channel 3).
  uint8_t rx[2][COM_SERIAL_SIZE];
  uint16_t rxLength[2];
  uint8_t rxErrors[2];          // error bits of the source's last reception
  uint8_t lastErrors;           // error bits of the last fetch (the serial error flags)
  uint16_t errorCount;          // fetches that reported error bits
  uint8_t tx[COM_SERIAL_SIZE];  // the transmit buffer
  uint16_t txLength;
  uint8_t txRunning;            // a transmission is under way
  uint16_t refusedCount;        // transmissions refused (closed, running, too long)
};

struct ComChannelStates {
  uint8_t rxState[COM_CHANNELS];
  uint8_t busy[COM_CHANNELS];   // the channel's frame is being served
  uint16_t events;              // pending channel events
};

extern ComSerialDriver g_comSerial;
extern ComChannelStates g_comChannels;

// Clears the driver's buffers and counters (COM_Init); the driver is closed.
void COM_SerialReset();
// The open operation: records the settings; empty in the simulator (the driver opens only
// while a test line is attached).
void COM_SerialOpen(const ComSerialOpen& settings);
// Fetches the last frame of a source (channel 1 or 3) into out (at most size bytes) and its
// length: the error bits of that reception (0 when none), which are also kept as the serial
// error flags; a fetch with error bits is counted.
uint8_t COM_SerialFetch(int channel, uint8_t* out, uint16_t size, uint16_t* length);
// Starts a transmission of n bytes: false (and counted) while the driver is closed, while a
// transmission runs, or for more than COM_SERIAL_SIZE bytes.
bool COM_SerialTransmit(const uint8_t* bytes, uint32_t n);

// What the common receive handler does for a frame on a channel: the channel's receive
// state becomes 1 (2 while one is being served or already waiting) and the event count goes
// up. The option card's receive handler calls it for the frames it passes on to channel 1.
void COM_SerialFrameReceived(int channel);

// ---------------------------------------------------------------------------------------
// Test line: stands in for the cable of channels 1 and 3.

// Attaches (true) or detaches the test line. While attached the open operation opens the
// driver (the channel is set up again at once), transmissions are accepted, and each one
// runs until the line takes it.
void COM_SerialTestAttach(bool attached);
// Hands a frame to channel 1 or 3 as the UART would deliver it (at most COM_SERIAL_SIZE bytes
// are kept), with the reception's error bits, and runs the driver's receive handler. False
// when the line is not attached or the channel has no serial source.
bool COM_SerialTestReceive(int channel, const uint8_t* bytes, uint32_t n, uint8_t errors = 0);
// Takes the running transmission: its bytes into out (at most size) and its length, 0 when
// none runs. The transmission ends.
uint16_t COM_SerialTestTakeTransmission(uint8_t* out, uint32_t size);
