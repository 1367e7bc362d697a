// The device of the protocol fuzz targets: one block type with every group (outputs, inputs,
// float and word parameters, word and 32-bit values, texts), so that reads and writes reach
// the parameter handler, the block data and the system data, and blocks of it at the numbers
// a target names. Set up anew every so often, so that the store does not fill up with the
// blocks the frames create.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "comm/com_services.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_sysimage.h"

namespace fuzzdevice {

inline constexpr uint16_t kType = 20;
inline constexpr float kFloats[] = {1.5f, -0.25f, 2500000.0f};
inline constexpr uint16_t kWords[] = {5, 7};
inline constexpr uint16_t kValues[] = {3, 4};
inline constexpr uint32_t kLongs[] = {0x40400000u};
inline constexpr const char* kTexts[] = {"FUZZ", "second"};
inline constexpr FwFloatLimit kAny{.min = FW_NO_VALUE, .max = 999999.0f};
inline constexpr FwFloatLimit kFloatLimits[] = {kAny, kAny, kAny};
inline constexpr FwShortLimit kWordLimits[] = {{.min = 0, .max = 10}, {.min = 0, .max = 20}};
inline constexpr FbLimitTable kLimits{.wordParams = kWordLimits, .floatParams = kFloatLimits,
                                      .wordValues = kWordLimits, .longValues = kFloatLimits};
inline FbTemplate g_template{.size = 0, .type = kType, .analogOutputs = 1, .digitalOutputs = 1,
                             .analogInputs = 1, .digitalInputs = 1, .floatParams = kFloats,
                             .wordParams = kWords, .longValues = kLongs, .wordValues = kValues,
                             .texts = kTexts};
inline void NoRun() {}

// A fresh device with blocks of the type at `blocks`, the protocols initialised and the
// engineering loaded and checked.
inline void SetUp(std::initializer_list<uint16_t> blocks) {
  FB_ClearTypeTable();
  FW_ClearEngineering();
  FW_ResetEeprom();
  g_template.size = static_cast<uint16_t>(FB_LayoutWords(g_template));
  FB_RegisterType(kType, FB_TypeFromTemplate(&g_template, NoRun, NoRun, FB_StandardParam, &kLimits,
                                             FB_COMMON_BLOCK_RANGES, 0, 1, 1));
  for (const uint16_t block : blocks) FB_CreateInstance(kType, block);
  COM_Init();
  FW_SysStatus() = FW_STAT_LOADED | FW_STAT_CHECKED;
}

}  // namespace fuzzdevice
