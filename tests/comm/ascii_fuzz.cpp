// Fuzz target of the character protocol: any frame on any channel is served without reading
// or writing outside the channel's buffers, and its answer fits the transmit buffer. The
// device holds two blocks of a type with every group, so that writes and reads reach the
// parameter handler, the block data and the system data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "comm/com_ascii.h"
#include "comm/com_services.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
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
  g_template.size = static_cast<uint16_t>(FB_LayoutWords(g_template));
  FB_RegisterType(20, FB_TypeFromTemplate(&g_template, noRun, noRun, FB_StandardParam, &kLimits,
                                          FB_COMMON_BLOCK_RANGES, 0, 1, 1));
  FB_CreateInstance(20, 100);
  FB_CreateInstance(20, 101);
  COM_Init();
  FW_SysStatus() = FW_STAT_LOADED | FW_STAT_CHECKED;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int runs = 0;
  if (runs++ % 256 == 0) setUp();
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
