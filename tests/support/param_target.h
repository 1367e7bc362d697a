// A block type whose only purpose is to be the target of other blocks' parameter links
// (MBDATA, PNREAD, PNWRIT): 2 word parameters and 4 float parameters with plain limits,
// taken through the standard parameter handler.
#pragma once

#include "blocks/block_family.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"

namespace param_target {

constexpr uint16_t kType = 254;
// Word parameters: -100..100 and 0..100; float parameters: -100..100 each.
constexpr uint16_t kWords[] = {11, 22};
constexpr float kFloats[] = {1.5f, 2.5f, 3.5f, 4.5f};
constexpr const char* kTexts[] = {"TARGET"};
constexpr FbTemplate kTemplate = FB_SizedTemplate(
    {.type = kType, .floatParams = kFloats, .wordParams = kWords, .texts = kTexts});
constexpr FwShortLimit kWordLimits[] = {{.min = -100, .max = 100}, {.min = 0, .max = 100}};
constexpr FwFloatLimit kFloatLimit{.min = -100.0f, .max = 100.0f};
constexpr FwFloatLimit kFloatLimits[] = {kFloatLimit, kFloatLimit, kFloatLimit, kFloatLimit};
constexpr FbLimitTable kLimits{.wordParams = kWordLimits, .floatParams = kFloatLimits};

inline void noRun() {}

// Enters the type (after the families under test).
inline void Register() {
  FB_RegisterType(kType, FB_TypeFromTemplate(&kTemplate, noRun, nullptr, FB_StandardParam,
                                             &kLimits, FB_COMMON_BLOCK_RANGES, 0, 1, 0));
}

}  // namespace param_target
