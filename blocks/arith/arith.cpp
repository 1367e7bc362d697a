#include "blocks/arith/arith.h"

#include <cmath>

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

}  // namespace

void FB_ABSV_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float x = FB_ReadAnalogRef(L.ai[0]);
  const float v = L.fp[0] * x + L.fp[1];
  L.ao[0] = FW_ClampValue(std::fabs(v));
}

void FB_ABSV_Init() {}

void BLK_RegisterArithTypes() {
  FB_RegisterType(1, FB_TypeFromTemplate(&kAbsvTemplate, FB_ABSV_Run, FB_ABSV_Init, nullptr,
                                         nullptr, FB_COMMON_BLOCK_RANGES, 0, 1, 1));
}
