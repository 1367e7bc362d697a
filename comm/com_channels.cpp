// The serial channels: their frame buffers, the start of the device communication, the set-up
// of the serial channel by the communication option, the serving of received frames, and
// the entry for a received frame, which goes to the protocol its kind names.
#include <algorithm>
#include <cstring>

#include "comm/com_ascii.h"
#include "comm/com_bus.h"
#include "comm/com_card.h"
#include "comm/com_modbus.h"
#include "comm/com_serial.h"
#include "comm/com_service.h"
#include "comm/com_services.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"
#include "runtime/fw_text.h"

namespace {

ComFrameBuffers g_channels[COM_CHANNELS];

constexpr uint8_t kProtocolModbus = 3;

// Driver codes of the baud-code setting 0..4 (1 -> 11, 2 -> 12, 4 -> 14, others 13).
uint8_t driverCode(uint8_t baud) {
  switch (baud) {
    case 1: return 11;
    case 2: return 12;
    case 4: return 14;
    default: return 13;
  }
}

// Whether a frame on the device's interface is for this device: Modbus by its address byte
// (0 is a broadcast), the character protocol by the two address digits after its EOTs ("00"
// for an address of 100 and above).
bool forThisDevice(const uint8_t* rx, uint32_t n, bool modbus) {
  const uint8_t address = g_comModbus.channel.address;
  if (modbus) return n > 0 && (rx[0] == 0 || rx[0] == address);
  uint32_t i = 0;
  while (i < n && rx[i] == COM_EOT) ++i;
  if (i == 0 || i + 2 > n) return false;
  const uint32_t shown = address >= 100 ? 0 : address;
  return rx[i] == '0' + shown / 10 && rx[i + 1] == '0' + shown % 10;
}

// Channel 1: the frame from the driver (or the option card's receive area) into the receive
// buffer, then the protocol of the channel's settings; its answer goes out on the line.
void serveInterface() {
  ComFrameBuffers& f = g_channels[0];
  f.txLength = 0;
  uint16_t n = 0;
  if (g_comModbus.channel.option == '3') {
    const uint8_t* area = FW_OptionCardReceiveArea(&n);
    n = std::min<uint16_t>(n, COM_SERIAL_SIZE);
    std::memcpy(f.rx, area, n);
  } else if (COM_SerialFetch(1, f.rx, COM_SERIAL_SIZE, &n)) {
    return;   // a reception with error bits is not answered
  }
  f.rxLength = n;
  const bool modbus = g_comModbus.channel.protocol == kProtocolModbus;
  if (!forThisDevice(f.rx, n, modbus)) return;
  if (modbus) {
    f.rxBinary = 1;
    COM_ModbusReceive(1);   // transmits its answer itself
    return;
  }
  f.rxBinary = 0;
  COM_AsciiServe(1);
  if (f.txLength && g_comChannels.rxState[0] == COM_RX_IDLE) COM_SerialTransmit(f.tx, f.txLength);
}

// Channel 3: the second source's frame, always Modbus.
void serveSecondSource() {
  ComFrameBuffers& f = g_channels[2];
  f.txLength = 0;
  uint16_t n = 0;
  if (COM_SerialFetch(3, f.rx, COM_SERIAL_SIZE, &n)) return;
  f.rxLength = n;
  f.rxBinary = 1;
  COM_ModbusReceive(3);
}

void serve(int channel) {
  const int i = channel - 1;
  uint8_t& state = g_comChannels.rxState[i];
  if (state == COM_RX_DISCARD) {
    state = COM_RX_IDLE;
    return;
  }
  if (state != COM_RX_WAITING && state != COM_RX_WAITING_MORE) return;
  state = COM_RX_IDLE;
  g_comChannels.busy[i] = 1;
  switch (channel) {
    case 1: serveInterface(); break;
    case 3: serveSecondSource(); break;
    default: COM_ReceiveFrame(channel); break;
  }
  g_comChannels.busy[i] = 0;
  if (state == COM_RX_DISCARD) state = COM_RX_IDLE;
}

}  // namespace

ComFrameBuffers* COM_FrameBuffers(int channel) {
  return channel >= 1 && channel <= COM_CHANNELS ? &g_channels[channel - 1] : nullptr;
}

void COM_Init() {
  std::memset(g_channels, 0, sizeof g_channels);
  // The data may have changed since the device last reported them.
  FW_SysStatus() |= FW_STAT_CHANGED;
  COM_AsciiInit();
  COM_SerialReset();
  g_comModbus = ComModbusState{};
  COM_ServiceReset();
  COM_InitChannel();
  FB_SortFuncCodeTable();
  g_fwSysHooks.busNodeKnown = COM_BusOtherNodeKnown;
}

void COM_InitChannel() {
  const uint8_t* im = FW_SysImage();
  ComChannelSettings& c = g_comModbus.channel;
  c.option = im[FW_SYS_ORDER_DIGITS + 2];
  c.baudCode = im[FW_SYS_BAUD];
  c.protocol = im[FW_SYS_PROTOCOL];
  c.address = im[FW_SYS_ADDRESS];
  ComSerialOpen open{};
  if (c.option == '3') {
    // The option card: channel 1 serves the card's other frames with the character protocol.
    c.baudCode = 0;
    c.protocol = 1;
    if (c.address >= 127) c.address = 1;
    FW_OptionCardReset();
    open = {14, 8, FW_OptionCardReceive, nullptr};
  } else if (c.option == '4') {
    c.baudCode = 0;
    c.protocol = 4;
    c.address = 1;
    COM_PnCardReset();
    open = {15, 8, nullptr, nullptr};
  } else if (c.protocol == kProtocolModbus) {
    if (c.address == 0) c.address = 1;
    open = {driverCode(c.baudCode), 8, nullptr, nullptr};
  } else {
    c.protocol = 0;
    if (c.address >= 100) c.address = 1;
    open = {driverCode(c.baudCode), 7, nullptr, nullptr};
  }
  COM_SerialOpen(open);
  g_comChannels.rxState[0] = COM_RX_IDLE;
  g_comChannels.events = 0;
}

void COM_ServeChannels() {
  serve(3);
  serve(1);
  serve(2);
  if (g_comChannels.events) --g_comChannels.events;
}

void COM_ReceiveFrame(int channel) {
  ComFrameBuffers* c = COM_FrameBuffers(channel);
  if (!c) return;
  c->txLength = 0;
  if (c->rxBinary) {
    COM_ModbusReceive(channel);
  } else {
    COM_AsciiServe(channel);
  }
}
