// Shared set-up of the runtime tests for block data, value lists, login and system data:
// a cleared firmware state and a few block types of known shape.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_login.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_image.h"
#include "runtime/fw_sysimage.h"

namespace rt {

inline void noRun() {}

// Type 10: 2 analog inputs, 1 digital input, 2 analog outputs, 1 digital output, 2 floats,
// 2 words, 1 long value, 2 word values, 2 texts.
inline constexpr float kT10Floats[] = {1.5f, -2.0f};
inline constexpr uint16_t kT10Words[] = {3, 4};
inline constexpr uint32_t kT10Longs[] = {0x40400000u};   // 3.0f
inline constexpr uint16_t kT10Values[] = {7, 8};
inline constexpr const char* kT10Texts[] = {"T10", "second"};
inline constexpr FbTemplate kT10{
    .size = 0, .type = 10, .analogOutputs = 2, .digitalOutputs = 1, .analogInputs = 2,
    .digitalInputs = 1, .floatParams = kT10Floats, .wordParams = kT10Words,
    .longValues = kT10Longs, .wordValues = kT10Values, .texts = kT10Texts, .workWords = 2};
inline constexpr FwFloatLimit kT10FloatLimits[] = {
    {.min = -100.0f, .max = 100.0f, .attribute = 2},
    {.min = FW_NO_VALUE, .max = 50.0f, .attribute = 7}};   // decimals in instance word 7
inline constexpr FwShortLimit kT10WordLimits[] = {{.min = 0, .max = 10}, {.min = 0, .max = 20}};
inline constexpr FwShortLimit kT10ValueLimits[] = {{.min = 0, .max = 9}, {.min = 0, .max = 9}};
inline constexpr FwFloatLimit kT10LongLimits[] = {{.min = 0.0f, .max = 10.0f, .attribute = 1}};
inline constexpr FbLimitTable kT10Limits{.wordParams = kT10WordLimits,
                                         .floatParams = kT10FloatLimits,
                                         .wordValues = kT10ValueLimits,
                                         .longValues = kT10LongLimits};

// Type 11: no inputs and outputs, one float.
inline constexpr float kT11Floats[] = {0.0f};
inline constexpr const char* kT11Texts[] = {"EMPTY"};
inline constexpr FbTemplate kT11{.size = 0, .type = 11, .floatParams = kT11Floats,
                                 .texts = kT11Texts};

// Type 12: a fixed-place type at 61..85 with one analog input.
inline constexpr FbBlockRange kFixedRange[] = {{61, 85}, {0, 0}};
inline constexpr FbTemplate kT12{.size = 0, .type = 12, .analogOutputs = 1, .analogInputs = 1};

// Type 40 (ALLP's shape): 1 analog input, 1 analog output, six floats, one word value.
inline constexpr float kT40Floats[] = {9999.0f, 9999.0f, -9999.0f, -9999.0f, 0.0f, 1.0f};
inline constexpr uint16_t kT40Values[] = {0};
inline constexpr FbTemplate kT40{.size = 0, .type = 40, .analogOutputs = 1, .analogInputs = 1,
                                 .floatParams = kT40Floats, .wordValues = kT40Values};

// Type 91 (CONTR+'s parameter shape): two words, 58 floats.
inline constexpr uint16_t kT91Words[] = {1, 2};
inline constexpr float kT91Floats[58] = {};
inline constexpr FbTemplate kT91{.size = 0, .type = 91, .floatParams = kT91Floats,
                                 .wordParams = kT91Words};

// A template with its size computed from its groups.
inline FbTemplate sized(FbTemplate t) {
  t.size = static_cast<uint16_t>(FB_LayoutWords(t) + t.workWords);
  return t;
}

inline void registerType(const FbTemplate& t, const FbLimitTable* limits = nullptr,
                         FbParamHandler param = FB_StandardParam,
                         const FbBlockRange* permitted = FB_COMMON_BLOCK_RANGES,
                         uint16_t fixedPlace = 0) {
  static FbTemplate store[16];
  static int used = 0;
  FbTemplate* slot = &store[used++ % 16];
  *slot = sized(t);
  ASSERT_EQ(FB_RegisterType(t.type, FB_TypeFromTemplate(slot, noRun, noRun, param, limits,
                                                         permitted, fixedPlace, 1, 1)),
            FB_OK);
}

// Clears the store, the type table, the image, the rings and the system, login and clock
// state; the device is stopped.
inline void resetFirmware() {
  FB_ClearTypeTable();
  FW_ClearEngineering();
  FW_ResetEeprom();
  std::memset(FW_SysImage(), 0, FW_SYS_IMAGE_SIZE);
  FW_ResetSystemData();
  FW_ResetLogin();
  FW_SetTimeSource(nullptr);
  g_fwSysHooks = FwSystemHooks{};
  g_fwRunMode = FW_RUN_MODE_STOP;
  FW_SysStatus() = 0;
  FW_SysErrors() = 0;
}

inline void wire(uint16_t block, uint16_t group, uint16_t after = 0) {
  uint16_t* w = FB_GetWiring(block);
  w[FB_WIRE_GROUP] = group;
  w[FB_WIRE_AFTER] = after;
}

}  // namespace rt
