// Fuzz target of Modbus RTU and the service memory commands: any frame on any channel, with
// the device running or stopped, with an engineering or in the download state, is handled
// without reading or writing outside the buffers and images, and its answer fits the
// transmit buffer. The device holds a block of a type with every group, listed as the first
// controller, programmer and programmer data block, so that registers of every group reach
// the value access.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "comm/com_links.h"
#include "comm/com_modbus.h"
#include "comm/com_services.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_main_state.h"
#include "runtime/fw_mode.h"
#include "support/comm_fuzz_device.h"

namespace {

// The device of support/comm_fuzz_device.h, its block at 100 listed as the first controller, programmer and
// programmer data block.
void setUp() {
  fuzzdevice::SetUp({100, 1, 56});
  g_fbSchedule.ctrlBlocks[0] = 100;
  g_fbSchedule.progBlocks[0] = 100;
  g_fbSchedule.progDataBlocks[0] = 100;
  g_fwEeprom.present = 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int runs = 0;
  if (runs++ % 256 == 0) setUp();
  if (size < 1) return 0;
  // The first byte: the channel, whether the device runs, the download state, and whether
  // the frame gets a right CRC appended (so that the handler is reached on channel 2).
  const uint8_t mode = data[0];
  const int channel = 1 + mode % 3;
  g_fwRunMode = (mode & 0x10) ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
  COM_LinkDeviceMode() = (mode & 0x20) ? FW_DEVICE_SERVICE : FW_DEVICE_ENGINEERING;
  const bool appendCrc = (mode & 0x40) != 0;
  ++data, --size;
  ComFrameBuffers* f = COM_FrameBuffers(channel);
  size_t n = size < COM_RX_SIZE - 2 ? size : COM_RX_SIZE - 2;
  std::memcpy(f->rx, data, n);
  if (appendCrc) {
    const uint16_t crc = COM_Crc16Value(f->rx, static_cast<uint32_t>(n));
    f->rx[n++] = static_cast<uint8_t>(crc);
    f->rx[n++] = static_cast<uint8_t>(crc >> 8);
  }
  f->rxLength = static_cast<uint16_t>(n);
  f->rxBinary = 1;
  COM_ReceiveFrame(channel);
  if (f->txLength > COM_TX_SIZE) std::abort();
  // An answer short enough for its CRC carries a right one.
  if (f->txLength > 2 && f->txLength < COM_CRC_LIMIT && COM_Crc16Value(f->tx, f->txLength) != 0) {
    std::abort();
  }
  FW_EepromWriteBack();
  FW_InternalEepromWriteBack();
  return 0;
}
