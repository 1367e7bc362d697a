// Plain stand-ins for the device communication until the protocols exist: frames are
// received and left unanswered, the bus has no nodes, and there are no remote modules.
#include <cstring>

#include "comm/com_services.h"

namespace {
ComFrameBuffers g_channels[COM_CHANNELS];
}

ComFrameBuffers* COM_FrameBuffers(int channel) {
  return channel >= 1 && channel <= COM_CHANNELS ? &g_channels[channel - 1] : nullptr;
}

void COM_Init() { std::memset(g_channels, 0, sizeof g_channels); }

void COM_ReceiveFrame(int channel) {
  if (ComFrameBuffers* c = COM_FrameBuffers(channel)) c->txLength = 0;
}

void COM_BusCycle() {}
void COM_BusReset() {}
void COM_ScanIoModules(int32_t) {}
void COM_ExchangeIoModules() {}
void FW_OptionCardCycle() {}
uint8_t COM_SerialErrorFlags() { return 0; }
