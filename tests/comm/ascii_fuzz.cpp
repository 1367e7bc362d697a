// Fuzz target of the character protocol: any frame on any channel is served without reading
// or writing outside the channel's buffers, and its answer fits the transmit buffer. The
// device holds two blocks of a type with every group (support/comm_fuzz_device.h).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "comm/com_ascii.h"
#include "comm/com_services.h"
#include "runtime/fw_mode.h"
#include "support/comm_fuzz_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int runs = 0;
  if (runs++ % 256 == 0) fuzzdevice::SetUp({100, 101});
  if (size < 1) return 0;
  // The first byte picks the channel and whether the device runs.
  const int channel = 1 + data[0] % 3;
  g_fwRunMode = (data[0] & 0x10) ? 2 : 1;
  ++data, --size;
  ComFrameBuffers* f = COM_FrameBuffers(channel);
  const size_t n = size < COM_RX_SIZE ? size : COM_RX_SIZE;
  std::memcpy(f->rx, data, n);
  f->rxLength = static_cast<uint16_t>(n);
  f->rxBinary = 0;
  COM_AsciiServe(channel);
  if (f->txLength > COM_TX_SIZE) std::abort();
  if (f->txLength > 1 && COM_Bcc(f->tx + 1, f->txLength - 1) != 0) std::abort();
  return 0;
}
