#include "comm/com_serial.h"

#include <algorithm>
#include <cstring>

ComSerialDriver g_comSerial{};
ComChannelStates g_comChannels{};

namespace {

bool g_testLine;

// Index of a channel's serial source: 0 the device's interface, 1 the second source.
int source(int channel) { return channel == 1 ? 0 : (channel == 3 ? 1 : -1); }

}  // namespace

void COM_SerialReset() {
  g_comSerial = ComSerialDriver{};
  g_comChannels = ComChannelStates{};
}

void COM_SerialOpen(const ComSerialOpen& settings) {
  g_comSerial.settings = settings;
  g_comSerial.open = g_testLine ? 1 : 0;
  g_comSerial.txRunning = 0;
}

uint8_t COM_SerialFetch(int channel, uint8_t* out, uint16_t size, uint16_t* length) {
  const int s = source(channel);
  *length = 0;
  if (s < 0) return 0;
  const uint16_t n = std::min<uint16_t>(g_comSerial.rxLength[s], size);
  std::memcpy(out, g_comSerial.rx[s], n);
  *length = n;
  const uint8_t errors = g_comSerial.rxErrors[s];
  g_comSerial.lastErrors = errors;
  if (errors) ++g_comSerial.errorCount;
  return errors;
}

bool COM_SerialTransmit(const uint8_t* bytes, uint32_t n) {
  ComSerialDriver& d = g_comSerial;
  if (!d.open || d.txRunning || n > COM_SERIAL_SIZE) {
    ++d.refusedCount;
    return false;
  }
  // The transmit buffer may be the source itself (the option card answers in place).
  if (bytes != d.tx) std::memmove(d.tx, bytes, n);
  d.txLength = static_cast<uint16_t>(n);
  d.txRunning = 1;
  return true;
}

void COM_SerialFrameReceived(int channel) {
  if (channel < 1 || channel > COM_CHANNELS) return;
  const int i = channel - 1;
  uint8_t& state = g_comChannels.rxState[i];
  state = (g_comChannels.busy[i] || state != COM_RX_IDLE) ? COM_RX_WAITING_MORE : COM_RX_WAITING;
  ++g_comChannels.events;
}

uint8_t COM_SerialErrorFlags() { return g_comSerial.lastErrors; }

void COM_SerialTestAttach(bool attached) {
  g_testLine = attached;
  COM_InitChannel();
}

bool COM_SerialTestReceive(int channel, const uint8_t* bytes, uint32_t n, uint8_t errors) {
  const int s = source(channel);
  if (!g_testLine || !g_comSerial.open || s < 0) return false;
  const auto kept = static_cast<uint16_t>(std::min<uint32_t>(n, COM_SERIAL_SIZE));
  if (kept) std::memcpy(g_comSerial.rx[s], bytes, kept);
  g_comSerial.rxLength[s] = kept;
  g_comSerial.rxErrors[s] = errors;
  // The device's interface goes to the handler the open operation named; the second source
  // always to the common one.
  if (channel == 1 && g_comSerial.settings.receive) {
    g_comSerial.settings.receive();
  } else {
    COM_SerialFrameReceived(channel);
  }
  return true;
}

uint16_t COM_SerialTestTakeTransmission(uint8_t* out, uint32_t size) {
  ComSerialDriver& d = g_comSerial;
  if (!d.txRunning) return 0;
  const auto n = static_cast<uint16_t>(std::min<uint32_t>(d.txLength, size));
  std::memcpy(out, d.tx, n);
  d.txRunning = 0;
  if (d.settings.transmitDone) d.settings.transmitDone();
  return n;
}
