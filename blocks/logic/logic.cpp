#include "blocks/logic/logic.h"

#include <cmath>

#include "blocks/block_family.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_image.h"
#include "runtime/fw_numeric.h"

namespace {

// ---------------------------------------------------------------------------------------
// Templates. Every type has one text, its tag. The own state of BOUNCE, FLIP and STEP lives
// in work words (zero at creation, kept in RAM over a warm start):
//   BOUNCE  u32 delay in cycles, u32 counter, u16 previous input
//   FLIP    u16 previous clock
//   STEP    u16 step, u16 previous skip

constexpr const char* kAndTexts[] = {"AND"};
constexpr const char* kNotTexts[] = {"NOT"};
constexpr const char* kOrTexts[] = {"OR"};
constexpr const char* kBounceTexts[] = {"BOUNCE"};
constexpr const char* kExorTexts[] = {"EXOR"};
constexpr const char* kFlipTexts[] = {"FLIP"};
constexpr const char* kStepTexts[] = {"STEP"};
constexpr const char* kAbinTexts[] = {"ABIN"};
constexpr const char* kTruncTexts[] = {"TRUNC"};

constexpr float kBounceFloats[] = {0.0f};                // Delay (s)
constexpr uint16_t kAbinValues[] = {ABIN_BINARY};        // Select

constexpr FbTemplate kAndTemplate{
    .size = 35, .type = BLK_TYPE_AND, .digitalOutputs = 2, .digitalInputs = 4,
    .texts = kAndTexts};
constexpr FbTemplate kNotTemplate{
    .size = 28, .type = BLK_TYPE_NOT, .digitalOutputs = 1, .digitalInputs = 1,
    .texts = kNotTexts};
constexpr FbTemplate kOrTemplate{
    .size = 35, .type = BLK_TYPE_OR, .digitalOutputs = 2, .digitalInputs = 4,
    .texts = kOrTexts};
constexpr FbTemplate kBounceTemplate{
    .size = 37, .type = BLK_TYPE_BOUNCE, .digitalOutputs = 1, .digitalInputs = 1,
    .floatParams = kBounceFloats, .texts = kBounceTexts, .workWords = 5};
constexpr FbTemplate kExorTemplate{
    .size = 31, .type = BLK_TYPE_EXOR, .digitalOutputs = 2, .digitalInputs = 2,
    .texts = kExorTexts};
constexpr FbTemplate kFlipTemplate{
    .size = 34, .type = BLK_TYPE_FLIP, .digitalOutputs = 2, .digitalInputs = 3,
    .texts = kFlipTexts, .workWords = 1};
constexpr FbTemplate kStepTemplate{
    .size = 58, .type = BLK_TYPE_STEP, .analogOutputs = 1, .digitalOutputs = 1,
    .analogInputs = 1, .digitalInputs = 13, .texts = kStepTexts, .workWords = 2};
constexpr FbTemplate kAbinTemplate{
    .size = 55, .type = BLK_TYPE_ABIN, .analogOutputs = 1, .digitalOutputs = 8,
    .analogInputs = 1, .digitalInputs = 8, .wordValues = kAbinValues, .texts = kAbinTexts};
constexpr FbTemplate kTruncTemplate{
    .size = 29, .type = BLK_TYPE_TRUNC, .analogOutputs = 1, .analogInputs = 1,
    .texts = kTruncTexts};

// Limits: "Delay" 0..999999 s; "Select" one of the three conversions.
constexpr FwFloatLimit kBounceFloatLimits[] = {{.min = 0.0f, .max = 999999.0f, .attribute = 1}};
constexpr FbLimitTable kBounceLimits{.floatParams = kBounceFloatLimits};
constexpr FwShortLimit kAbinValueLimits[] = {{.min = ABIN_BINARY, .max = ABIN_ONE_OF_EIGHT}};
constexpr FbLimitTable kAbinLimits{.wordValues = kAbinValueLimits};

// Catalogue group of the family.
constexpr uint16_t kGroupLogic = 3;

// ---------------------------------------------------------------------------------------
// Shared steps

uint16_t din(const FbLayout& L, unsigned i) { return FB_ReadDigitalRef(L.di[i]); }
float ain(const FbLayout& L, unsigned i) { return FB_ReadAnalogRef(L.ai[i]); }
uint16_t isZero(uint16_t v) { return v == 0 ? 1 : 0; }
bool coldStart() { return g_fwEng.warmStart == 0; }

// Gates with the outputs z 1 and not z1.
void setGate(FbLayout& L, uint16_t z) {
  L.dout[0] = z;
  L.dout[1] = isZero(z);
}

// Cold start of a gate: z 1 = 0, not z1 = 1.
void initGate() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (coldStart()) setGate(L, 0);
}

// x + 0.5 truncated to a whole number.
float roundHalfUp(float x) { return static_cast<float>(FW_FloatToI32(x + 0.5f)); }

// BOUNCE work words.
struct BounceState {
  FbU32 delayCycles;
  FbU32 counter;
  uint16_t previous;
};
static_assert(sizeof(BounceState) == 10);
BounceState& bounceState(FbLayout& L) { return *reinterpret_cast<BounceState*>(L.work); }

// n = ceil(Delay * (1 / cycle time)): the product in single precision, rounded up in double.
uint32_t bounceDelayCycles(const FbLayout& L) {
  const float perSecond = 1.0f / FB_BlockCycleTime(L.block);
  const float cycles = L.fp[0] * perSecond;
  return FW_FloatToU32(std::ceil(static_cast<double>(cycles)));
}

// STEP work words.
enum : unsigned { kStepWord = 0, kStepPrevSkip = 1 };
constexpr uint16_t kStepCount = 10;

// Step output at reset: 1 without cascade input, else the cascade value rounded.
void stepReset(FbLayout& L) {
  L.work[kStepWord] = 0;
  L.work[kStepPrevSkip] = 0;
  L.ao[0] = L.ai[0] == FB_REF_ZERO ? 1.0f : roundHalfUp(ain(L, 0));
  L.dout[0] = 1;
}

// ABIN: the analog input limited and rounded to 0..255.
uint16_t abinByte(float x) {
  if (x <= 0.0f) return 0;
  if (x >= 255.0f) return 255;
  return FW_FloatToU8(x + 0.5f);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Gates

void FB_AND_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  setGate(L, din(L, 0) & din(L, 1) & din(L, 2) & din(L, 3));
}

// Unused inputs read the constant one word, so that they do not block the gate.
void FB_AND_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  for (unsigned i = 0; i < 4; ++i) {
    if (L.di[i] == FB_REF_ZERO) L.di[i] = FB_REF_ONE;
  }
  if (coldStart()) setGate(L, 0);
}

void FB_OR_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  setGate(L, din(L, 0) | din(L, 1) | din(L, 2) | din(L, 3));
}

void FB_OR_Init() { initGate(); }

void FB_EXOR_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  setGate(L, din(L, 0) ^ din(L, 1));
}

void FB_EXOR_Init() { initGate(); }

void FB_NOT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L.dout[0] = isZero(din(L, 0));
}

void FB_NOT_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (coldStart()) L.dout[0] = 0;
}

// ---------------------------------------------------------------------------------------
// FLIP: Q takes data on a rising edge of clock (0 -> exactly 1); reset clears Q.

void FB_FLIP_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const uint16_t data = din(L, 0), clock = din(L, 1), reset = din(L, 2);
  if (reset != 0) {
    L.dout[0] = 0;
    L.dout[1] = 1;
  } else if (clock == 1 && L.work[0] == 0) {
    L.dout[0] = data;
    L.dout[1] = isZero(data);
  }
  L.work[0] = clock;
}

void FB_FLIP_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (!coldStart()) return;
  L.work[0] = 0;
  L.dout[0] = 0;
  L.dout[1] = 1;
}

// ---------------------------------------------------------------------------------------
// BOUNCE: z 1 follows the input once it has stayed unchanged for n cycles.

void FB_BOUNCE_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BounceState& s = bounceState(L);
  const uint16_t in = din(L, 0);
  const uint32_t n = s.delayCycles;
  if (in != s.previous && n != 0) {
    s.counter = 1;
  } else if (s.counter < n) {
    s.counter = s.counter + 1;
  } else {
    L.dout[0] = in;
  }
  s.previous = in;
  if (FB_ApplyPendingFloats(L.block) != 0) s.delayCycles = bounceDelayCycles(L);
}

void FB_BOUNCE_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BounceState& s = bounceState(L);
  if (coldStart()) {
    L.dout[0] = 0;
    s.previous = 0;
  }
  s.delayCycles = bounceDelayCycles(L);
  s.counter = 0;
}

// ---------------------------------------------------------------------------------------
// STEP: ten steps, each left when its end input is 1 or on a rising edge of skip.

void FB_STEP_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (din(L, STEP_IN_RESET - 1) == 1) {
    stepReset(L);
    return;
  }
  const uint16_t skip = din(L, STEP_IN_SKIP - 1);
  uint16_t step = L.work[kStepWord];
  if (din(L, STEP_IN_STOP - 1) != 1) {
    bool advance;
    if (skip == 1 && L.work[kStepPrevSkip] == 0) {
      advance = true;
    } else if (step == 0) {
      advance = true;
    } else {
      // A step number beyond 10 (corrupt state) is treated as the last step.
      const uint16_t s = step <= kStepCount ? step : kStepCount;
      advance = din(L, s - 1) == 1;
    }
    if (advance) {
      if (step >= kStepCount) {
        step = kStepCount;
        L.dout[0] = 0;
      } else {
        ++step;
      }
    }
  }
  L.work[kStepWord] = step;
  const float casc = ain(L, 0);  // unconnected: 0.0
  L.ao[0] = roundHalfUp(static_cast<float>(step) + casc);
  L.work[kStepPrevSkip] = skip;
}

void FB_STEP_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (coldStart()) stepReset(L);
}

// ---------------------------------------------------------------------------------------
// ABIN: analog value to eight digital points and back, by "Select".

void FB_ABIN_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const uint16_t select = L.wv[0];
  uint16_t d = abinByte(ain(L, 0));
  uint16_t points = 0;  // bit k-1 is output z k
  float y = 0.0f;
  switch (select) {
    case ABIN_BINARY: {
      points = d;
      uint32_t sum = 0;
      for (unsigned k = 0; k < 8; ++k) sum += static_cast<uint32_t>(din(L, k) & 0xFFu) << k;
      y = static_cast<float>(sum);
      break;
    }
    case ABIN_BCD: {
      if (d > 99) d = 99;
      points = static_cast<uint16_t>((d % 10) | (d / 10) << 4);
      unsigned units = 0, tens = 0;
      for (unsigned k = 0; k < 4; ++k) {
        units |= (din(L, k) != 0 ? 1u : 0u) << k;
        tens |= (din(L, 4 + k) != 0 ? 1u : 0u) << k;
      }
      if (units > 9) units = 9;
      if (tens > 9) tens = 9;
      y = static_cast<float>(units + 10 * tens);
      break;
    }
    case ABIN_ONE_OF_EIGHT: {
      if (d >= 1 && d <= 8) points = static_cast<uint16_t>(1u << (d - 1));
      unsigned found = 0, ones = 0;
      for (unsigned k = 0; k < 8; ++k) {
        if (din(L, k) == 1) {
          ++ones;
          found = k + 1;
        }
      }
      y = ones == 1 ? static_cast<float>(found) : 0.0f;
      break;
    }
    default: break;  // no such conversion: all outputs 0
  }
  for (unsigned k = 0; k < 8; ++k) L.dout[k] = (points >> k) & 1u;
  L.ao[0] = y;
}

// "Select" written by a request takes effect here, at the start-up pass.
void FB_ABIN_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L.wv[0] = L.wv[1];
  if (!coldStart()) return;
  L.ao[0] = 0.0f;
  for (unsigned k = 0; k < 8; ++k) L.dout[k] = 0;
}

// ---------------------------------------------------------------------------------------
// TRUNC: Y 1 = X 1 truncated toward zero.

void FB_TRUNC_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L.ao[0] = FW_ClampValue(std::trunc(ain(L, 0)));
}

void FB_TRUNC_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (coldStart()) L.ao[0] = 0.0f;
}

// ---------------------------------------------------------------------------------------
// Parameter requests: BOUNCE takes "Delay" (1000, 4000), ABIN "Select" (3000, 4010), both
// through the standard handler; the other types have no parameters.

uint8_t FB_BOUNCE_Param(FbParamRequest* request, uint16_t* badIndex) {
  return FB_StandardParam(request, badIndex);
}

uint8_t FB_ABIN_Param(FbParamRequest* request, uint16_t* badIndex) {
  return FB_StandardParam(request, badIndex);
}

// ---------------------------------------------------------------------------------------

void BLK_RegisterLogicTypes() {
  static constexpr BlkTypeRow kRows[] = {
      {&kAndTemplate, FB_AND_Run, FB_AND_Init, BLK_RefuseParams, nullptr, 1, kGroupLogic},
      {&kNotTemplate, FB_NOT_Run, FB_NOT_Init, BLK_RefuseParams, nullptr, 1, kGroupLogic},
      {&kOrTemplate, FB_OR_Run, FB_OR_Init, BLK_RefuseParams, nullptr, 1, kGroupLogic},
      {&kBounceTemplate, FB_BOUNCE_Run, FB_BOUNCE_Init, FB_BOUNCE_Param, &kBounceLimits, 2,
       kGroupLogic},
      {&kExorTemplate, FB_EXOR_Run, FB_EXOR_Init, BLK_RefuseParams, nullptr, 1, kGroupLogic},
      {&kFlipTemplate, FB_FLIP_Run, FB_FLIP_Init, BLK_RefuseParams, nullptr, 1, kGroupLogic},
      {&kStepTemplate, FB_STEP_Run, FB_STEP_Init, BLK_RefuseParams, nullptr, 3, kGroupLogic},
      {&kAbinTemplate, FB_ABIN_Run, FB_ABIN_Init, FB_ABIN_Param, &kAbinLimits, 2, kGroupLogic},
      {&kTruncTemplate, FB_TRUNC_Run, FB_TRUNC_Init, BLK_RefuseParams, nullptr, 1, kGroupLogic},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}
