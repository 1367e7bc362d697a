// AND_2, OR_2 and CMP, and the family's rows.
#include "blocks/block_family.h"
#include "blocks/profinet/pn_internal.h"
#include "blocks/profinet/profinet.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"

namespace {

constexpr const char* kAnd2Texts[] = {"AND_2"};
constexpr const char* kOr2Texts[] = {"OR_2"};
constexpr const char* kCmpTexts[] = {"CMP"};
constexpr float kCmpFloats[] = {0.0f};           // X2
constexpr uint16_t kCmpWords[] = {CMP_GT};       // Mode

constexpr FbTemplate kAnd2Template = FB_SizedTemplate(
    {.type = BLK_TYPE_AND_2, .digitalOutputs = 1, .digitalInputs = 2, .texts = kAnd2Texts});
constexpr FbTemplate kOr2Template = FB_SizedTemplate(
    {.type = BLK_TYPE_OR_2, .digitalOutputs = 1, .digitalInputs = 2, .texts = kOr2Texts});
constexpr FbTemplate kCmpTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_CMP, .digitalOutputs = 1, .analogInputs = 2, .floatParams = kCmpFloats,
     .wordParams = kCmpWords, .texts = kCmpTexts});

constexpr FwFloatLimit kCmpX2[] = {{.min = -29999.0f, .max = 999999.0f, .attribute = 3}};
constexpr FwShortLimit kCmpMode[] = {{.min = CMP_GT, .max = CMP_NE}};
constexpr FbLimitTable kCmpLimits{.wordParams = kCmpMode, .floatParams = kCmpX2};

void resetGateOnColdStart(const FbLayout& L) {
  if (BLK_ColdStart()) L.dout[0] = 0;
}

bool compare(uint16_t mode, float a, float b) {
  switch (mode) {
    case CMP_GT: return a > b;
    case CMP_GE: return a >= b;
    case CMP_LT: return a < b;
    case CMP_LE: return a <= b;
    case CMP_EQ: return a == b;
    default: return a != b;
  }
}

}  // namespace

void FB_AND_2_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L.dout[0] = BLK_DigitalIn(L, 0) & BLK_DigitalIn(L, 1);
}

// An unconnected input reads the word 1, so that it does not block the AND.
void FB_AND_2_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  for (unsigned i = 0; i < 2; ++i) {
    if (!BLK_DigitalWired(L, i)) L.di[i] = FB_REF_ONE;
  }
  resetGateOnColdStart(L);
}

void FB_OR_2_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L.dout[0] = BLK_DigitalIn(L, 0) | BLK_DigitalIn(L, 1);
}

void FB_OR_2_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  resetGateOnColdStart(L);
}

// X 1 against X 2, or against the parameter X2 while X 2 is unconnected.
void FB_CMP_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float b = BLK_AnalogWired(L, 1) ? BLK_AnalogIn(L, 1) : L.fp[0].get();
  L.dout[0] = compare(L.wp[0], BLK_AnalogIn(L, 0), b) ? 1 : 0;
  FB_ApplyPendingFloats(L.block);
  FB_ApplyPendingWords(L.block);
}

void FB_CMP_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  resetGateOnColdStart(L);
}

namespace pn {

void registerGateTypes() {
  static constexpr BlkTypeRow kRows[] = {
      {&kAnd2Template, FB_AND_2_Run, FB_AND_2_Init, BLK_RefuseParams, nullptr, 1, kGroupLogic},
      {&kCmpTemplate, FB_CMP_Run, FB_CMP_Init, FB_StandardParam, &kCmpLimits, 1, kGroupCompare},
      {&kOr2Template, FB_OR_2_Run, FB_OR_2_Init, BLK_RefuseParams, nullptr, 1, kGroupLogic},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}

}  // namespace pn

void BLK_RegisterProfinetTypes() {
  pn::registerGateTypes();
  pn::registerReadType();
  pn::registerWriteType();
  pn::registerServType();
}
