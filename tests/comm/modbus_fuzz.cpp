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
#include "firmware/fw_main.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysimage.h"

namespace {

constexpr float kFloats[] = {1.5f, -0.25f, 2500000.0f};
constexpr uint16_t kWords[] = {5, 7};
constexpr uint16_t kValues[] = {3, 4};
constexpr uint32_t kLongs[] = {0x40400000u};
constexpr const char* kTexts[] = {"FUZZ", "second"};
constexpr FwFloatLimit kAny{.min = FW_NO_VALUE, .max = 999999.0f};
constexpr FwFloatLimit kFloatLimits[] = {kAny, kAny, kAny};
constexpr FwShortLimit kWordLimits[] = {{.min = 0, .max = 10}, {.min = 0, .max = 20}};
constexpr FbLimitTable kLimits{.wordParams = kWordLimits, .floatParams = kFloatLimits,
                               .wordValues = kWordLimits, .longValues = kFloatLimits};
FbTemplate g_template{.size = 0, .type = 20, .analogOutputs = 1, .digitalOutputs = 1,
                      .analogInputs = 1, .digitalInputs = 1, .floatParams = kFloats,
                      .wordParams = kWords, .longValues = kLongs, .wordValues = kValues,
                      .texts = kTexts};
void noRun() {}

// A fresh device every so often, so that the store does not fill up with created blocks.
void setUp() {
  FB_ClearTypeTable();
  FW_ClearEngineering();
  FW_ResetEeprom();
  g_template.size = static_cast<uint16_t>(FB_LayoutWords(g_template));
  FB_RegisterType(20, FB_TypeFromTemplate(&g_template, noRun, noRun, FB_StandardParam, &kLimits,
                                          FB_COMMON_BLOCK_RANGES, 0, 1, 1));
  FB_CreateInstance(20, 100);
  FB_CreateInstance(20, 1);
  FB_CreateInstance(20, 56);
  COM_Init();
  g_fbSchedule.ctrlBlocks[0] = 100;
  g_fbSchedule.progBlocks[0] = 100;
  g_fbSchedule.progDataBlocks[0] = 100;
  FW_SysStatus() = FW_STAT_LOADED | FW_STAT_CHECKED;
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
