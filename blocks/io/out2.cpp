// Two-channel output card blocks I_OUT (current), U_OUT (voltage) and PWM_OUT (pulse-width
// or on/off), and DIDO, two points that are each a digital input or a digital output.
//
// The outputs turn their inputs X_a and X_b into percent of x0..x100 with a factor per
// side computed at Init, limit it and write the output values a and b with the output-new
// flag. DIDO writes or reads its two points through the logic output bytes. All values are
// configuration: they take effect at the next start-up pass.
#include <algorithm>
#include <bit>
#include <cmath>

#include "blocks/block_family.h"
#include "blocks/io/io.h"
#include "blocks/io/io_internal.h"
#include "runtime/fb_param.h"

namespace {

enum class Side : uint8_t { Current, Voltage, Pwm };

struct Out2Kind {
  uint16_t type;
  Side which;
  uint8_t expected;  // the class of the card
  uint8_t words;     // word values per side
};

constexpr Out2Kind kIOut{BLK_TYPE_I_OUT, Side::Current, FW_CLASS_I_OUTPUT, 2};
constexpr Out2Kind kUOut{BLK_TYPE_U_OUT, Side::Voltage, FW_CLASS_U_OUTPUT, 1};
constexpr Out2Kind kPwmOut{BLK_TYPE_PWM_OUT, Side::Pwm, FW_CLASS_PWM_OUTPUT, 4};

// Word values of a side: I_OUT Type, Load; U_OUT Type; PWM_OUT Mode, Dir, Puls_h, Puls_l.
enum : uint16_t { kType = 0, kLoad = 1 };
enum : uint16_t { kPwmMode = 0, kPwmDir = 1, kPwmPulsH = 2, kPwmPulsL = 3 };
enum : uint16_t { kI0to20 = 0, kI4to20 = 1 };
enum : uint16_t { kU0to10 = 0, kU2to10 = 1, kUPlusMinus10 = 2 };
enum : uint16_t { kOnOff = 0, kPwm = 1 };

// Own state: per side the percent factor k = 100 / (x100 - x0) and the offset -k x0.
struct Out2State {
  FbF32 k[2];
  FbF32 offset[2];
};
constexpr uint16_t kStateWords = sizeof(Out2State) / 2;
Out2State& stateOf(const FbLayout& L) { return *reinterpret_cast<Out2State*>(L.work); }

uint16_t word(const Out2Kind& k, const FbLayout& L, unsigned side, uint16_t i) {
  return L.wv[side * k.words + i];
}
float x0(const FbLayout& L, unsigned side) { return IO_Long(L, 2 * side); }
float x100(const FbLayout& L, unsigned side) { return IO_Long(L, 2 * side + 1); }

// A percentage limited to lo..hi; no number gives 0 %.
float limited(float p, float lo, float hi) { return std::isnan(p) ? 0.0f : std::clamp(p, lo, hi); }

// The sub-channel configuration of a side.
void configure(const Out2Kind& k, const FbLayout& L, unsigned side, FwIoSubChannel& s) {
  s = FwIoSubChannel{};
  const uint16_t wordIndex = static_cast<uint16_t>(side * k.words);
  switch (k.which) {
    case Side::Current:
    case Side::Voltage: {
      // Hardware codes: current 1, 2; voltage 11, 12, 13. The load goes with the unit byte.
      const uint16_t type = word(k, L, side, kType);
      s.sensorCode = static_cast<uint8_t>(k.which == Side::Current ? type + 1 : type + 11);
      if (k.which == Side::Current) s.unit = static_cast<uint8_t>(word(k, L, side, kLoad));
      s.textId = IO_ChoiceText(k.type, wordIndex, type);
      break;
    }
    case Side::Pwm:
      // The two pulse settings go with the code and unit bytes.
      s.sensorCode = static_cast<uint8_t>(word(k, L, side, kPwmPulsH));
      s.unit = static_cast<uint8_t>(word(k, L, side, kPwmPulsL));
      s.mainsFrequency = FW_IoMainsFrequency();
      break;
  }
  s.configValid = 1;
}

void out2Init(const Out2Kind& k) {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  IO_TakeOverValues(L);
  Out2State& st = stateOf(L);
  for (unsigned s = 0; s < 2; ++s) {
    const float factor = IO_PercentFactor(x0(L, s), x100(L, s));
    st.k[s] = factor;
    st.offset[s] = factor != 0.0f ? -factor * x0(L, s) : 0.0f;
  }
  const IoClaim c = IO_ClaimChannel(L.block, k.expected, true);
  if (!c) return;
  FwIoChannel& ch = *c.channel;
  for (unsigned s = 0; s < 2; ++s) configure(k, L, s, ch.sub[s]);
  ch.out.a = ch.out.b = 0.0f;
  ch.out.analogNew = 1;
}

// The output value of a side.
float sideValue(const Out2Kind& k, const FbLayout& L, const Out2State& st, unsigned s) {
  const float x = IO_Ain(L, s);
  switch (k.which) {
    case Side::Current: {
      const float p = limited(x * st.k[s] + st.offset[s], -25.0f, 110.0f);
      return word(k, L, s, kType) == kI4to20 ? p * 0.16f + 4.0f : p * 0.2f;
    }
    case Side::Voltage: {
      const float p = limited(x * st.k[s] + st.offset[s], -25.0f, 110.0f);
      switch (word(k, L, s, kType)) {
        case kU2to10: return p * 0.08f + 2.0f;
        case kUPlusMinus10: return p * 0.2f - 10.0f;
        default: return p * 0.1f;
      }
    }
    case Side::Pwm:
      if (word(k, L, s, kPwmMode) == kOnOff) {
        const bool on = (IO_Din(L, s) != 0) != (word(k, L, s, kPwmDir) == 1);
        return on ? 100.0f : 0.0f;
      }
      return limited((x - x0(L, s)) * st.k[s], 0.0f, 100.0f);
  }
  return 0.0f;
}

void out2Run(const Out2Kind& k) {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const IoClaim c = IO_ClaimOf(L.block);
  const bool ok = c && c.status() == 0 && c.channel->reportedClass == k.expected;
  L.dout[0] = ok ? 0 : 1;
  if (!ok) return;
  FwIoChannel& ch = *c.channel;
  if (k.which != Side::Pwm && ch.reconfigure == 1) {
    ch.reconfigure = 0;
    ch.sub[0].configValid = ch.sub[1].configValid = 1;
  }
  const Out2State& st = stateOf(L);
  ch.out.a = sideValue(k, L, st, 0);
  ch.out.b = sideValue(k, L, st, 1);
  ch.out.analogNew = 1;
}

// Word values and 4-byte values singly or all together (standard handler); 4000 has no
// float parameters to take and answers 'y' once its header is right.
uint8_t out2Param(FbParamRequest* r, uint16_t* badIndex) {
  if (r && r->id() == FB_ID_WHOLE_SET) {
    if (badIndex) *badIndex = 0;
    if (!FB_GetInstance(r->block())) return FB_ERR_NO_BLOCK;
    const uint8_t header = FB_CheckRequestHeader(r, 1, 0);
    return header != FB_OK ? header : uint8_t{FB_ERR_COUNT_Y};
  }
  return FB_StandardParam(r, badIndex);
}

// ---------------------------------------------------------------------------------------
// DIDO: outputs id_err, z_a, z_b; word values Inv_Ia, Inv_Ib, Inv_Oa, Inv_Ob, Mode_a,
// Mode_b (0 "Input", 1 "Output").
enum : uint16_t { kInvIn = 0, kInvOut = 2, kDidoMode = 4 };
enum : uint16_t { kPointInput = 0, kPointOutput = 1 };

// The card takes DIDO points only on the base card and the module rack.
bool didoBoard(const IoClaim& c) {
  return c && (c.board->type == FW_BOARD_BASE || c.board->type == FW_BOARD_MODULE_RACK);
}

// ---------------------------------------------------------------------------------------
// Templates, limits, rows

constexpr uint32_t kX0 = std::bit_cast<uint32_t>(0.0f), kX100 = std::bit_cast<uint32_t>(100.0f);
constexpr uint32_t kRanges[] = {kX0, kX100, kX0, kX100};
constexpr uint16_t kZeros[6] = {};
constexpr uint16_t kPwmWords[] = {kPwm, 0, 1, 1, kPwm, 0, 1, 1};

constexpr const char* kITexts[] = {"I_OUT"};
constexpr const char* kUTexts[] = {"U_OUT"};
constexpr const char* kPwmTexts[] = {"PWM_OUT"};
constexpr const char* kDidoTexts[] = {"DIDO"};

constexpr FbTemplate kITemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_I_OUT, .digitalOutputs = 1, .analogInputs = 2, .longValues = kRanges,
     .wordValues = {kZeros, 4}, .texts = kITexts, .workWords = kStateWords});
constexpr FbTemplate kUTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_U_OUT, .digitalOutputs = 1, .analogInputs = 2, .longValues = kRanges,
     .wordValues = {kZeros, 2}, .texts = kUTexts, .workWords = kStateWords});
constexpr FbTemplate kPwmTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_PWM_OUT, .digitalOutputs = 1, .analogInputs = 2, .digitalInputs = 2,
     .longValues = kRanges, .wordValues = kPwmWords, .texts = kPwmTexts,
     .workWords = kStateWords});
constexpr FbTemplate kDidoTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_DIDO, .digitalOutputs = 3, .digitalInputs = 2, .wordValues = {kZeros, 6},
     .texts = kDidoTexts});

constexpr FwFloatLimit kRange{.min = -29999.0f, .max = 999999.0f, .attribute = 1};
constexpr FwFloatLimit kRangeLimits[] = {kRange, kRange, kRange, kRange};
constexpr FwShortLimit kFlag{.min = 0, .max = 1};
constexpr FwShortLimit kPuls{.min = 1, .max = 255};
constexpr FwShortLimit kFlags[] = {kFlag, kFlag, kFlag, kFlag, kFlag, kFlag};
constexpr FwShortLimit kUTypes[] = {{.min = kU0to10, .max = kUPlusMinus10},
                                    {.min = kU0to10, .max = kUPlusMinus10}};
constexpr FwShortLimit kPwmLimits[] = {kFlag, kFlag, kPuls, kPuls, kFlag, kFlag, kPuls, kPuls};
constexpr FbLimitTable kILimits{.wordValues = {kFlags, 4}, .longValues = kRangeLimits};
constexpr FbLimitTable kULimits{.wordValues = kUTypes, .longValues = kRangeLimits};
constexpr FbLimitTable kPwmTable{.wordValues = kPwmLimits, .longValues = kRangeLimits};
constexpr FbLimitTable kDidoLimits{.wordValues = kFlags};

constexpr FbBlockRange kOutputPlaces[] = {{65, 74}, {81, 82}, {0, 0}};
constexpr FbBlockRange kCards[] = {{65, 74}, {0, 0}};

}  // namespace

// ---------------------------------------------------------------------------------------

void FB_I_OUT_Run() { out2Run(kIOut); }
void FB_I_OUT_Init() { out2Init(kIOut); }
uint8_t FB_I_OUT_Param(FbParamRequest* r, uint16_t* b) { return out2Param(r, b); }
void FB_U_OUT_Run() { out2Run(kUOut); }
void FB_U_OUT_Init() { out2Init(kUOut); }
uint8_t FB_U_OUT_Param(FbParamRequest* r, uint16_t* b) { return out2Param(r, b); }
void FB_PWM_OUT_Run() { out2Run(kPwmOut); }
void FB_PWM_OUT_Init() { out2Init(kPwmOut); }
uint8_t FB_PWM_OUT_Param(FbParamRequest* r, uint16_t* b) { return out2Param(r, b); }

void FB_DIDO_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  IO_TakeOverValues(L);
  const IoClaim c = IO_ClaimOf(L.block);
  if (!didoBoard(c)) return;
  IO_Claim(c, FW_CLASS_DIDO, true);
  c.channel->inputInUse = 1;
  for (unsigned s = 0; s < 2; ++s) {
    FwIoSubChannel& sub = c.channel->sub[s];
    const uint16_t mode = L.wv[kDidoMode + s];
    sub = FwIoSubChannel{};
    sub.sensorCode = static_cast<uint8_t>(mode);
    sub.textId = IO_ChoiceText(BLK_TYPE_DIDO, static_cast<uint16_t>(kDidoMode + s), mode);
    sub.configValid = 1;
  }
  FwIoOutput& out = c.channel->out;
  std::fill(std::begin(out.logic), std::end(out.logic), uint8_t{0});
  out.logicNew = 1;
}

void FB_DIDO_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const IoClaim c = IO_ClaimOf(L.block);
  const bool ok = didoBoard(c) && c.channel->reportedClass == FW_CLASS_DIDO;
  L.dout[0] = ok ? 0 : 1;
  if (!ok) return;
  FwIoChannel& ch = *c.channel;
  for (unsigned s = 0; s < 2; ++s) {
    uint8_t z;
    if (L.wv[kDidoMode + s] == kPointOutput) {
      z = (IO_Din(L, s) != 0) != (L.wv[kInvOut + s] == 1) ? 1 : 0;
      ch.out.logic[s] = z;
    } else {
      const uint8_t in = ch.din.bits[s];
      ch.out.logic[s] = in;
      z = (in != 0) != (L.wv[kInvIn + s] != 0) ? 1 : 0;
    }
    L.dout[1 + s] = z;
  }
  ch.out.logicNew = 1;
}

uint8_t FB_DIDO_Param(FbParamRequest* r, uint16_t* b) { return out2Param(r, b); }

void BLK_RegisterDualOutputTypes() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kITemplate, FB_I_OUT_Run, FB_I_OUT_Init, FB_I_OUT_Param, &kILimits, 2, kGroupIoRelays}, kOutputPlaces, 106},
      {{&kUTemplate, FB_U_OUT_Run, FB_U_OUT_Init, FB_U_OUT_Param, &kULimits, 2, kGroupIoRelays}, kOutputPlaces, 106},
      {{&kPwmTemplate, FB_PWM_OUT_Run, FB_PWM_OUT_Init, FB_PWM_OUT_Param, &kPwmTable, 2, kGroupIoRelays}, kOutputPlaces, 106},
      {{&kDidoTemplate, FB_DIDO_Run, FB_DIDO_Init, FB_DIDO_Param, &kDidoLimits, 1, kGroupIoDigital}, kCards, 6},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}
