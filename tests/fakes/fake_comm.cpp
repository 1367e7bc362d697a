#include "fakes/fake_comm.h"

#include <algorithm>
#include <cstring>

namespace {
ComFrameBuffers g_channels[COM_CHANNELS];
}

FakeComm& TheFakeComm() {
  static FakeComm comm;
  return comm;
}

void FakeComm::reset() {
  log.clear();
  answer.clear();
  lastFrame.clear();
  onReceive = nullptr;
  serialErrors = 0;
  canNodes = ComCanNodeTable{};
  std::memset(g_channels, 0, sizeof g_channels);
}

ComFrameBuffers* COM_FrameBuffers(int channel) {
  return channel >= 1 && channel <= COM_CHANNELS ? &g_channels[channel - 1] : nullptr;
}

void COM_Init() { TheFakeComm().log.add("COM_Init"); }
void COM_InitChannel() { TheFakeComm().log.add("COM_InitChannel"); }

void COM_ReceiveFrame(int channel) {
  FakeComm& f = TheFakeComm();
  f.log.add("COM_ReceiveFrame", channel);
  ComFrameBuffers* c = COM_FrameBuffers(channel);
  if (!c) return;
  f.lastFrame.assign(reinterpret_cast<const char*>(c->rx), std::min<uint32_t>(c->rxLength, COM_RX_SIZE));
  const size_t n = std::min<size_t>(f.answer.size(), COM_TX_SIZE);
  std::memcpy(c->tx, f.answer.data(), n);
  c->txLength = static_cast<uint16_t>(n);
  if (f.onReceive) f.onReceive();
}

bool COM_DownloadBrokenOff() { return false; }
void COM_BusCycle() { TheFakeComm().log.add("COM_BusCycle"); }
void COM_BusReset() { TheFakeComm().log.add("COM_BusReset"); }
void COM_BusSetAddress(uint16_t node) { TheFakeComm().log.add("COM_BusSetAddress", node); }
const ComCanNodeTable& COM_CanNodeTable() { return TheFakeComm().canNodes; }
void COM_ScanIoModules(int32_t instance) { TheFakeComm().log.add("COM_ScanIoModules", instance); }
void COM_ExchangeIoModules() { TheFakeComm().log.add("COM_ExchangeIoModules"); }
void FW_OptionCardCycle() { TheFakeComm().log.add("FW_OptionCardCycle"); }
void FW_OptionCardClearRecords() { TheFakeComm().log.add("FW_OptionCardClearRecords"); }
uint8_t COM_SerialErrorFlags() { return TheFakeComm().serialErrors; }
