#include "blocks/arith/arith.h"

#include <cmath>

#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

namespace {

// ABSV (type 1): Y 1 = |a * X 1 + a0|, in 32-bit floats.
constexpr float kAbsvFloats[] = {1.0f, 0.0f};  // 1000 "a", 1001 "a0"
constexpr const char* kAbsvTexts[] = {"ABSV"};
constexpr FbTemplate kAbsvTemplate{
    .size = 37,
    .type = 1,
    .analogOutputs = 1,
    .analogInputs = 1,
    .floatParams = kAbsvFloats,
    .texts = kAbsvTexts,
};

// Every float parameter of the family: -29999..999999, shown with 3 decimals.
constexpr FwFloatLimit kParamLimit{.min = -29999.0f, .max = 999999.0f, .attribute = 3};
constexpr FwFloatLimit kAbsvFloatLimits[] = {kParamLimit, kParamLimit};
constexpr FbLimitTable kAbsvLimits{.floatParams = kAbsvFloatLimits};

}  // namespace

void FB_ABSV_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  FB_ApplyPendingFloats(g_fbStore.currentBlock);
  const float x = FB_ReadAnalogRef(L.ai[0]);
  const float v = L.fp[0] * x + L.fp[1];
  L.ao[0] = FW_ClampValue(std::fabs(v));
}

void FB_ABSV_Init() {}

uint8_t FB_ABSV_Param(FbParamRequest* request, uint16_t* badIndex) {
  return FB_StandardParam(request, badIndex);
}

void BLK_RegisterArithTypes() {
  FB_RegisterType(1, FB_TypeFromTemplate(&kAbsvTemplate, FB_ABSV_Run, FB_ABSV_Init, FB_ABSV_Param,
                                         &kAbsvLimits, FB_COMMON_BLOCK_RANGES, 0, 1, 1));
}
