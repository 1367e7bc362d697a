// CONST: sixteen adjustable constants and the logic constants 0 and 1.
#include <iterator>

#include "blocks/block_family.h"
#include "blocks/info/info.h"
#include "blocks/info/info_internal.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr const char* kConstTexts[] = {"CONST"};
constexpr float kConstFloats[CONST_VALUES] = {};
constexpr FbTemplate kConstTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_CONST, .analogOutputs = CONST_VALUES, .digitalOutputs = 2,
     .floatParams = kConstFloats, .texts = kConstTexts});

// A single constant: -29999..999999 or exactly the no-value marker.
float minConstant(uint16_t) { return -29999.0f; }
constexpr FwFloatLimit kConstant{.min = FW_NO_VALUE, .max = 999999.0f, .minFn = minConstant};
constexpr FwFloatLimit kConstants[CONST_VALUES] = {
    kConstant, kConstant, kConstant, kConstant, kConstant, kConstant, kConstant, kConstant,
    kConstant, kConstant, kConstant, kConstant, kConstant, kConstant, kConstant, kConstant};
constexpr FbLimitTable kConstLimits{.floatParams = kConstants};
// The whole set takes any value in -32000..999999.
constexpr FwFloatLimit kSetConstant{.min = FW_NO_VALUE, .max = 999999.0f};
constexpr FwFloatLimit kSetConstants[CONST_VALUES] = {
    kSetConstant, kSetConstant, kSetConstant, kSetConstant, kSetConstant, kSetConstant,
    kSetConstant, kSetConstant, kSetConstant, kSetConstant, kSetConstant, kSetConstant,
    kSetConstant, kSetConstant, kSetConstant, kSetConstant};

void showConstants(const FbLayout& L) {
  for (unsigned i = 0; i < CONST_VALUES; ++i) L.ao[i] = L.fp[i].get();
}

}  // namespace

// The outputs follow the constants only here and at Init: a change made while running is
// taken over, saved and shown together; a full write-back queue retries at the next run.
void FB_CONST_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (FB_ApplyPendingFloats(L.block) == FB_APPLY_SAVED) showConstants(L);
}

void FB_CONST_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L.dout[0] = FB_ReadDigitalRef(FB_REF_ZERO);
  L.dout[1] = FB_ReadDigitalRef(FB_REF_ONE);
  showConstants(L);
}

// 1000..1015 one constant; 4000 all sixteen (no words), each in -32000..999999.
uint8_t FB_CONST_Param(FbParamRequest* r, uint16_t* badIndex) {
  if (r && r->id() == FB_ID_WHOLE_SET) {
    const FbSetPart set{.items = CONST_VALUES, .itemLimits = kSetConstants};
    return FB_ParamCrossSetPart(r, set, badIndex);
  }
  return FB_StandardParam(r, badIndex);
}

namespace info {

void registerConstType() {
  static constexpr FbBlockRange kConstBlock[] = {{CONST_BLOCK, CONST_BLOCK}, {0, 0}};
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kConstTemplate, FB_CONST_Run, FB_CONST_Init, FB_CONST_Param, &kConstLimits, 1,
        kGroupConstants},
       kConstBlock, 8},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}

}  // namespace info
