// The serial channels' frame buffers, the start of the device communication, and the entry
// for a received frame, which goes to the protocol its kind names.
#include <cstring>

#include "comm/com_ascii.h"
#include "comm/com_services.h"
#include "runtime/fw_sysimage.h"
#include "runtime/fw_text.h"

namespace {
ComFrameBuffers g_channels[COM_CHANNELS];
}

ComFrameBuffers* COM_FrameBuffers(int channel) {
  return channel >= 1 && channel <= COM_CHANNELS ? &g_channels[channel - 1] : nullptr;
}

void COM_Init() {
  std::memset(g_channels, 0, sizeof g_channels);
  // The data may have changed since the device last reported them.
  FW_SysStatus() |= FW_STAT_CHANGED;
  COM_AsciiInit();
  FB_SortFuncCodeTable();
}

void COM_ReceiveFrame(int channel) {
  ComFrameBuffers* c = COM_FrameBuffers(channel);
  if (!c) return;
  c->txLength = 0;
  // Binary frames are Modbus RTU, which is not served yet: they get no answer.
  if (c->rxBinary) return;
  COM_AsciiServe(channel);
}
