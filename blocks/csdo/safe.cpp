// SAFE: eight analog and eight digital signals passed through, or replaced by the block's
// safe values while `select` is set or while the device is in its safe state (bit 0x20 of
// the device flag byte of the engineering image).
#include "blocks/csdo/csdo.h"

#include "blocks/block_family.h"
#include "runtime/fb_param.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_sysimage.h"

namespace {

constexpr uint16_t kSignals = 8;
constexpr uint16_t kInSelect = kSignals;   // digital input 9
constexpr uint8_t kSafeStateFlag = 0x20;

constexpr const char* kSafeTexts[] = {"SAFE"};
constexpr float kSafeFloats[kSignals] = {};
constexpr uint16_t kSafeWords[kSignals] = {};

constexpr FbTemplate kSafeTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_SAFE, .analogOutputs = kSignals, .digitalOutputs = kSignals,
     .analogInputs = kSignals, .digitalInputs = kSignals + 1, .floatParams = kSafeFloats,
     .wordParams = kSafeWords, .texts = kSafeTexts});

constexpr FwFloatLimit kSafeValue{.min = -29999.0f, .max = 999999.0f, .attribute = 3};
constexpr FwShortLimit kSafeBit{.min = 0, .max = 1};
constexpr FwFloatLimit kSafeFloatLimits[kSignals] = {kSafeValue, kSafeValue, kSafeValue,
                                                     kSafeValue, kSafeValue, kSafeValue,
                                                     kSafeValue, kSafeValue};
constexpr FwShortLimit kSafeWordLimits[kSignals] = {kSafeBit, kSafeBit, kSafeBit, kSafeBit,
                                                    kSafeBit, kSafeBit, kSafeBit, kSafeBit};
constexpr FbLimitTable kSafeLimits{.wordParams = kSafeWordLimits,
                                   .floatParams = kSafeFloatLimits};

bool safeState(const FbLayout& L) {
  return BLK_DigitalIn(L, kInSelect) != 0 ||
         (FW_SysImage()[FW_SYS_FLAGS38] & kSafeStateFlag) != 0;
}

}  // namespace

void FB_SAFE_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  for (uint16_t k = 0; k < L.analogOutputs; ++k) L.ao[k] = 0.0f;
  for (uint16_t k = 0; k < L.digitalOutputs; ++k) L.dout[k] = 0;
}

// The safe values, or the inputs of the same number (analog ones kept within the device's
// value range).
void FB_SAFE_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L) || L.type != BLK_TYPE_SAFE) return;
  if (safeState(L)) {
    for (uint16_t k = 0; k < kSignals; ++k) {
      L.ao[k] = L.fp[k].get();
      L.dout[k] = L.wp[k];
    }
  } else {
    for (uint16_t k = 0; k < kSignals; ++k) {
      L.ao[k] = FW_ClampValue(BLK_AnalogIn(L, k));
      L.dout[k] = BLK_DigitalIn(L, k);
    }
  }
  FB_ApplyPendingFloats(L.block);
  FB_ApplyPendingWords(L.block);
}

uint8_t FB_SAFE_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }

void BLK_RegisterSafeType() {
  static constexpr BlkTypeRow kSafeRows[] = {
      {&kSafeTemplate, FB_SAFE_Run, FB_SAFE_Init, FB_SAFE_Param, &kSafeLimits, 4, 105},
  };
  BLK_RegisterTimeGroupTypes(kSafeRows);
}
