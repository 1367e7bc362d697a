// Output and digital card blocks: the analog/logic outputs OUT1..OUT4, the relay and
// solid-state relay outputs REL_OUT and SSR_OUT, the switching output S_OUT, the digital
// output cards D_OUT and DIGOUT, the digital input cards D_IN and DINPUT, and the LEDs.
//
// Init claims the channel and writes the class the block expects; Run checks the class the
// hardware reports and writes the output states with a new-output flag, or reads the input
// bits. Configuration values take effect at the next start-up pass (standard handler); the
// LEDs' inversions are word parameters that apply at once or at the next run.
#include <algorithm>
#include <bit>
#include <cmath>

#include "blocks/block_family.h"
#include "blocks/io/io.h"
#include "blocks/io/io_internal.h"
#include "runtime/fb_param.h"

namespace {

// Word values of the analog-source outputs: per side Src, Mode (and Type for OUT1..OUT3).
enum : uint16_t { kSrcDigital = 0, kSrcAnalog = 1 };
enum : uint16_t { kTypeLogic = 0, kType0to20 = 1, kType4to20 = 2 };
constexpr uint16_t kOutWvType = 2;

// Own state of the analog-source outputs: per side the percent factor and the held level.
struct OutState {
  FbF32 k[2];
  uint16_t level[2];
};
constexpr uint16_t kOutStateWords = sizeof(OutState) / 2;
OutState& stateOf(const FbLayout& L) { return *reinterpret_cast<OutState*>(L.work); }

float lv(const FbLayout& L, uint16_t k) { return std::bit_cast<float>(L.lv[k].get()); }

// The logic level of side `side` (word values Src, Mode at 2 x side, x0, x100 at 2 x side,
// inputs X and d of the side), with the hysteresis of +-0.5 % about 50 % for an analog
// source. `p` receives the percentage of an analog source.
uint16_t sourceLevel(const FbLayout& L, OutState& st, unsigned side, unsigned wvBase, float* p) {
  const bool inverse = L.wv[wvBase + 1] != 0;
  uint16_t& level = st.level[side];
  *p = 0.0f;
  if (L.wv[wvBase] == kSrcAnalog) {
    *p = (IO_Ain(L, side) - lv(L, static_cast<uint16_t>(2 * side))) * st.k[side];
    if (*p >= 50.5f) level = inverse ? 0 : 1;
    else if (*p <= 49.5f) level = inverse ? 1 : 0;
  } else {
    level = (IO_Din(L, side) != 0) != inverse ? 1 : 0;
  }
  return level;
}

// The output current of a percentage: limited to 0..110 % (no number gives 0 %).
float outputCurrent(uint16_t type, float v) {
  if (!(v >= 0.0f)) v = 0.0f;
  if (v > 110.0f) v = 110.0f;
  return type == kType4to20 ? 4.0f + 0.16f * v : 0.2f * v;
}

void setLogic(FwIoOutput& out, unsigned n, const uint8_t* values) {
  std::copy(values, values + n, out.logic);
  out.logicNew = 1;
}

// ---------------------------------------------------------------------------------------
// OUT1..OUT4, REL_OUT, SSR_OUT

enum SubConfig : uint8_t { kSubNone = 0, kSubA = 1, kSubB = 2, kSubBoth = 3 };

struct OutKind {
  uint16_t type;
  uint16_t expected;
  bool logicPath;        // writes the logic byte on relay hardware (class 43)
  bool currentPath;      // writes output b on current-output hardware (class 32)
  bool idErr;            // REL_OUT, SSR_OUT: id_err on a class or status fault
  uint8_t configure;     // sub-channels configured at Init
  uint8_t reconfigRelay; // sub-channels set valid on a request, relay hardware
  uint8_t reconfigCurrent;
  uint8_t sides;
};

constexpr OutKind kOut1{BLK_TYPE_OUT1, FW_IoClassPair(FW_CLASS_I_OUTPUT, FW_CLASS_RELAY), true, true, false, kSubBoth, kSubBoth, kSubBoth, 1};
constexpr OutKind kOut2{BLK_TYPE_OUT2, FW_IoClassPair(FW_CLASS_I_OUTPUT, FW_CLASS_RELAY), true, true, false, kSubBoth, kSubBoth, kSubA, 1};
constexpr OutKind kOut3{BLK_TYPE_OUT3, FW_CLASS_I_OUTPUT, false, true, false, kSubB, kSubNone, kSubB, 1};
constexpr OutKind kOut4{BLK_TYPE_OUT4, FW_CLASS_RELAY, true, false, false, kSubNone, kSubNone, kSubNone, 1};
constexpr OutKind kRelOut{BLK_TYPE_REL_OUT, FW_CLASS_RELAY, true, false, true, kSubNone, kSubNone, kSubNone, 1};
constexpr OutKind kSsrOut{BLK_TYPE_SSR_OUT, FW_CLASS_SSR, false, false, true, kSubNone, kSubNone, kSubNone, 2};

void setValid(FwIoChannel& ch, uint8_t subs) {
  for (unsigned s = 0; s < FW_IO_SUBCHANNELS; ++s) {
    if (subs >> s & 1) ch.sub[s].configValid = 1;
  }
}

void takeReconfigure(FwIoChannel& ch, uint8_t subs) {
  if (ch.reconfigure != 1 || subs == kSubNone) return;
  ch.reconfigure = 0;
  setValid(ch, subs);
}

void outInit(const OutKind& k) {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  IO_TakeOverValues(L);
  OutState& st = stateOf(L);
  for (unsigned s = 0; s < k.sides; ++s) {
    st.k[s] = IO_PercentFactor(lv(L, static_cast<uint16_t>(2 * s)), lv(L, static_cast<uint16_t>(2 * s + 1)));
    st.level[s] = 0;
  }
  const IoClaim c = IO_ClaimChannel(L.block, k.expected, true);
  if (!c) return;
  FwIoChannel& ch = *c.channel;
  for (unsigned s = 0; s < FW_IO_SUBCHANNELS; ++s) {
    if (!(k.configure >> s & 1)) continue;
    const uint16_t type = L.wv[kOutWvType];
    FwIoSubChannel& sub = ch.sub[s];
    sub = FwIoSubChannel{};
    sub.sensorCode = static_cast<uint8_t>(type);
    sub.textId = IO_ChoiceText(k.type, kOutWvType, type);
    sub.configValid = 1;
  }
  ch.out.a = ch.out.b = 0.0f;
  ch.out.analogNew = 1;
  std::fill(std::begin(ch.out.logic), std::end(ch.out.logic), uint8_t{0});
  ch.out.logicNew = 1;
}

void outRun(const OutKind& k) {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  OutState& st = stateOf(L);
  uint8_t levels[2] = {};
  float p = 0.0f;
  for (unsigned s = 0; s < k.sides; ++s) levels[s] = static_cast<uint8_t>(sourceLevel(L, st, s, 2 * s, &p));
  const IoClaim c = IO_ClaimOf(L.block);
  const uint8_t reported = c ? c.channel->reportedClass : uint8_t{FW_CLASS_NONE};
  if (k.idErr) {
    const bool bad = !c || reported != k.expected || c.status() != 0;
    L.dout[0] = bad ? 1 : 0;
    if (bad) return;
  }
  if (!c) return;
  FwIoChannel& ch = *c.channel;
  if (k.type == BLK_TYPE_SSR_OUT) {
    setLogic(ch.out, 2, levels);
  } else if (k.logicPath && reported == FW_CLASS_RELAY) {
    takeReconfigure(ch, k.reconfigRelay);
    setLogic(ch.out, 1, levels);
  } else if (k.currentPath && reported == FW_CLASS_I_OUTPUT) {
    takeReconfigure(ch, k.reconfigCurrent);
    const uint16_t type = L.wv[kOutWvType];
    const bool proportional = L.wv[0] == kSrcAnalog && type != kTypeLogic;
    ch.out.b = outputCurrent(type, proportional ? p : 100.0f * levels[0]);
    ch.out.analogNew = 1;
  }
}

// ---------------------------------------------------------------------------------------
// S_OUT, D_OUT, DIGOUT: logic bytes from digital inputs, each xor its inversion.

void xorInputs(const FbLayout& L, unsigned n, uint8_t* bytes) {
  for (unsigned i = 0; i < n; ++i) bytes[i] = (IO_Din(L, i) != 0) != (L.wv[i] != 0) ? 1 : 0;
}

// ---------------------------------------------------------------------------------------
// Templates, limits, rows

constexpr uint32_t kX0 = std::bit_cast<uint32_t>(0.0f), kX100 = std::bit_cast<uint32_t>(100.0f);
constexpr uint32_t kOneRange[] = {kX0, kX100};
constexpr uint32_t kTwoRanges[] = {kX0, kX100, kX0, kX100};
constexpr uint16_t kOutWords[] = {kSrcDigital, 0, kType0to20};
constexpr uint16_t kOut3Words[] = {kSrcAnalog, 0, kType0to20};
constexpr uint16_t kZeros[12] = {};

constexpr const char* kOut1Texts[] = {"OUT1"};
constexpr const char* kOut2Texts[] = {"OUT2"};
constexpr const char* kOut3Texts[] = {"OUT3"};
constexpr const char* kOut4Texts[] = {"OUT4"};
constexpr const char* kRelTexts[] = {"REL_OUT"};
constexpr const char* kSsrTexts[] = {"SSR_OUT"};
constexpr const char* kSOutTexts[] = {"S_OUT"};
constexpr const char* kDOutTexts[] = {"D_OUT"};
constexpr const char* kDigoutTexts[] = {"DIGOUT"};
constexpr const char* kDInTexts[] = {"D_IN"};
constexpr const char* kDinputTexts[] = {"DINPUT"};
constexpr const char* kLedTexts[] = {"LED"};

constexpr FbTemplate outTemplate(uint16_t type, std::span<const uint16_t> words,
                                 std::span<const char* const> texts, uint16_t idErr) {
  return FB_SizedTemplate({.type = type, .digitalOutputs = idErr, .analogInputs = 1,
                           .digitalInputs = 1, .longValues = kOneRange, .wordValues = words,
                           .texts = texts, .workWords = kOutStateWords});
}
constexpr FbTemplate kOut1Template = outTemplate(BLK_TYPE_OUT1, kOutWords, kOut1Texts, 0);
constexpr FbTemplate kOut2Template = outTemplate(BLK_TYPE_OUT2, kOutWords, kOut2Texts, 0);
constexpr FbTemplate kOut3Template = outTemplate(BLK_TYPE_OUT3, kOut3Words, kOut3Texts, 0);
constexpr FbTemplate kOut4Template = outTemplate(BLK_TYPE_OUT4, {kZeros, 2}, kOut4Texts, 0);
constexpr FbTemplate kRelTemplate = outTemplate(BLK_TYPE_REL_OUT, {kZeros, 2}, kRelTexts, 1);
constexpr FbTemplate kSsrTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_SSR_OUT, .digitalOutputs = 1, .analogInputs = 2, .digitalInputs = 2,
     .longValues = kTwoRanges, .wordValues = {kZeros, 4}, .texts = kSsrTexts,
     .workWords = kOutStateWords});
constexpr FbTemplate kSOutTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_S_OUT, .digitalOutputs = 1, .digitalInputs = 2, .wordValues = {kZeros, 2},
     .texts = kSOutTexts});
constexpr FbTemplate kDOutTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_D_OUT, .digitalOutputs = 1, .digitalInputs = 4, .wordValues = {kZeros, 4},
     .texts = kDOutTexts});
constexpr FbTemplate kDigoutTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_DIGOUT, .digitalInputs = 6, .wordValues = {kZeros, 6}, .texts = kDigoutTexts});
constexpr FbTemplate kDInTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_D_IN, .digitalOutputs = 5, .wordValues = {kZeros, 4}, .texts = kDInTexts});
constexpr FbTemplate kDinputTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_DINPUT, .digitalOutputs = 12, .wordValues = {kZeros, 12},
     .texts = kDinputTexts});
constexpr FbTemplate kLedTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_LED, .digitalInputs = 4, .wordParams = {kZeros, 4}, .texts = kLedTexts});

constexpr FwFloatLimit kRangeLimit{.min = -29999.0f, .max = 999999.0f, .attribute = 1};
constexpr FwFloatLimit kRangeLimits[] = {kRangeLimit, kRangeLimit, kRangeLimit, kRangeLimit};
constexpr FwShortLimit kFlag{.min = 0, .max = 1};
constexpr FwShortLimit kFlags[] = {kFlag, kFlag, kFlag, kFlag, kFlag, kFlag,
                                   kFlag, kFlag, kFlag, kFlag, kFlag, kFlag};
constexpr FwShortLimit kOutWordLimits[] = {kFlag, kFlag, {.min = kTypeLogic, .max = kType4to20}};
constexpr FbLimitTable kOutLimits{.wordValues = kOutWordLimits, .longValues = {kRangeLimits, 2}};
constexpr FbLimitTable kOut4Limits{.wordValues = {kFlags, 2}, .longValues = {kRangeLimits, 2}};
constexpr FbLimitTable kSsrLimits{.wordValues = {kFlags, 4}, .longValues = kRangeLimits};
constexpr FbLimitTable kFlags2{.wordValues = {kFlags, 2}};
constexpr FbLimitTable kFlags4{.wordValues = {kFlags, 4}};
constexpr FbLimitTable kFlags6{.wordValues = {kFlags, 6}};
constexpr FbLimitTable kFlags12{.wordValues = kFlags};
constexpr FbLimitTable kLedLimits{.wordParams = {kFlags, 4}};

constexpr FbBlockRange kAt70[] = {{70, 70}, {0, 0}};
constexpr FbBlockRange kAt81[] = {{81, 81}, {0, 0}};
constexpr FbBlockRange kAt82[] = {{82, 82}, {0, 0}};
constexpr FbBlockRange kAt84[] = {{84, 84}, {0, 0}};
constexpr FbBlockRange kAt91[] = {{91, 91}, {0, 0}};
constexpr FbBlockRange kAt95[] = {{95, 95}, {0, 0}};
constexpr FbBlockRange kAt96[] = {{96, 96}, {0, 0}};
constexpr FbBlockRange kRelays[] = {{81, 82}, {84, 85}, {0, 0}};
constexpr FbBlockRange kSwitches[] = {{65, 74}, {81, 82}, {0, 0}};
constexpr FbBlockRange kDigitalOut[] = {{70, 70}, {74, 74}, {0, 0}};
constexpr FbBlockRange kDigitalIn[] = {{67, 69}, {71, 73}, {91, 91}, {0, 0}};

}  // namespace

// ---------------------------------------------------------------------------------------

void FB_OUT1_Run() { outRun(kOut1); }
void FB_OUT1_Init() { outInit(kOut1); }
void FB_OUT2_Run() { outRun(kOut2); }
void FB_OUT2_Init() { outInit(kOut2); }
void FB_OUT3_Run() { outRun(kOut3); }
void FB_OUT3_Init() { outInit(kOut3); }
void FB_OUT4_Run() { outRun(kOut4); }
void FB_OUT4_Init() { outInit(kOut4); }
void FB_REL_OUT_Run() { outRun(kRelOut); }
void FB_REL_OUT_Init() { outInit(kRelOut); }
void FB_SSR_OUT_Run() { outRun(kSsrOut); }
void FB_SSR_OUT_Init() { outInit(kSsrOut); }

void FB_S_OUT_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  IO_TakeOverValues(L);
  L.dout[0] = 0;
  IO_ClaimChannel(L.block, FW_IoClassPair(FW_CLASS_SWITCH, FW_CLASS_SSR), true);
}

void FB_S_OUT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const IoClaim c = IO_ClaimOf(L.block);
  const bool ok = c && FW_IoClassMatches(c.channel->reportedClass, c.channel->expectedClass, true);
  L.dout[0] = ok ? 0 : 1;
  if (!c) return;
  uint8_t bytes[2] = {};
  if (ok) xorInputs(L, 2, bytes);
  setLogic(c.channel->out, 2, bytes);
}

void FB_D_OUT_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  IO_TakeOverValues(L);
  L.dout[0] = 0;
  IO_ClaimChannel(L.block, FW_CLASS_DO_4, true);
}

void FB_D_OUT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const IoClaim c = IO_ClaimOf(L.block);
  const bool ok = c && c.status() == 0 && c.channel->reportedClass == FW_CLASS_DO_4;
  L.dout[0] = ok ? 0 : 1;
  if (!c) return;
  FwIoOutput& out = c.channel->out;
  if (c.boardIndex == 1 || c.boardIndex == 2) {
    uint8_t bytes[4] = {};
    if (ok) xorInputs(L, 4, bytes);
    std::copy(bytes, bytes + 4, out.logic);
  }
  out.logicNew = 1;
}

void FB_DIGOUT_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  IO_TakeOverValues(L);
  const IoClaim c = IO_ClaimOf(L.block);
  if (!c || c.board->type != FW_BOARD_DIGITAL_CARD) return;
  IO_ClaimChannel(L.block, FW_CLASS_DO_4, true);
  const uint8_t zeros[4] = {};
  setLogic(c.channel->out, 4, zeros);
}

void FB_DIGOUT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const IoClaim c = IO_ClaimOf(L.block);
  if (!c || c.board->type != FW_BOARD_DIGITAL_CARD || c.channel->reportedClass != FW_CLASS_DO_4) {
    return;
  }
  uint8_t bytes[4];
  xorInputs(L, 4, bytes);  // d 5 and d 6 have no output bit
  setLogic(c.channel->out, 4, bytes);
}

// D_IN: outputs id_err, z 1..z 4; word values Inv 1..Inv 4.
void FB_D_IN_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  IO_TakeOverValues(L);
  std::fill(L.dout + 1, L.dout + L.digitalOutputs, uint16_t{0});
  const IoClaim c = IO_ClaimOf(L.block);
  if (!c) return;
  if (c.boardIndex == 0) {
    if (c.channelIndex == 0) IO_Claim(c, FW_CLASS_DI_2, false);
  } else if (c.board->type == FW_BOARD_DIGITAL_CARD && c.channelIndex <= 2) {
    IO_Claim(c, FW_CLASS_DI_4, false);
  }
}

void FB_D_IN_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const IoClaim c = IO_ClaimOf(L.block);
  unsigned inputs = 0;
  if (c && c.status() == 0) {
    const uint8_t reported = c.channel->reportedClass;
    if (c.boardIndex == 0) {
      inputs = c.channelIndex == 0 && reported == FW_CLASS_DI_2 ? 2 : 0;
    } else if (c.boardIndex <= 2 && reported == FW_CLASS_DI_4) {
      inputs = c.channelIndex <= 1 ? 4 : c.channelIndex == 2 ? 2 : 0;
    }
  }
  if (inputs == 0) {
    L.dout[0] = 1;
    return;
  }
  const FwIoChannel& ch = *c.channel;
  if (!ch.din.valid) return;
  for (unsigned i = 0; i < inputs; ++i) L.dout[1 + i] = (ch.din.bits[i] != 0) != (L.wv[i] != 0) ? 1 : 0;
  L.dout[0] = 0;
}

// DINPUT: z 1, z 2 from board 0 channel 0; z 3..z 12 from board 1 channels 0..2 (4, 4, 2
// bits) when board 1 is the digital I/O card.
namespace {
struct DinputGroup {
  uint16_t board, channel, first, count;
  uint8_t cls;
};
constexpr DinputGroup kDinputGroups[] = {
    {0, 0, 0, 2, FW_CLASS_DI_2}, {1, 0, 2, 4, FW_CLASS_DI_4},
    {1, 1, 6, 4, FW_CLASS_DI_4}, {1, 2, 10, 2, FW_CLASS_DI_4}};
}  // namespace

void FB_DINPUT_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  IO_TakeOverValues(L);
  std::fill(L.dout, L.dout + L.digitalOutputs, uint16_t{0});
  for (const DinputGroup& g : kDinputGroups) {
    FwIoBoard& board = g_fwIoBoards[g.board];
    if (g.board != 0 && board.type != FW_BOARD_DIGITAL_CARD) continue;
    IO_Claim(IoClaim{&board, &board.channel[g.channel], g.board, g.channel}, g.cls, false);
  }
}

void FB_DINPUT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  for (const DinputGroup& g : kDinputGroups) {
    const FwIoBoard& board = g_fwIoBoards[g.board];
    if (g.board != 0 && board.type != FW_BOARD_DIGITAL_CARD) continue;
    const FwIoChannel& ch = board.channel[g.channel];
    if (ch.reportedClass != g.cls || !ch.din.valid) continue;
    for (unsigned i = 0; i < g.count; ++i) {
      L.dout[g.first + i] = (ch.din.bits[i] != 0) != (L.wv[g.first + i] != 0) ? 1 : 0;
    }
  }
}

void FB_LED_Init() {}

void FB_LED_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  for (int i = 1; i <= 4; ++i) {
    const bool on = (IO_Din(L, i - 1) != 0) != (L.wp[i - 1] != 0);
    FW_IoSetIndicator(2 + i, on ? 15 + i : 11, on ? 1 : 0);
  }
  FB_ApplyPendingWords(L.block);
}

void BLK_RegisterOutputTypes() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kOut1Template, FB_OUT1_Run, FB_OUT1_Init, FB_StandardParam, &kOutLimits, 1, kGroupIoInputs}, kAt81, 103},
      {{&kOut2Template, FB_OUT2_Run, FB_OUT2_Init, FB_StandardParam, &kOutLimits, 1, kGroupIoInputs}, kAt82, 104},
      {{&kOut3Template, FB_OUT3_Run, FB_OUT3_Init, FB_StandardParam, &kOutLimits, 1, kGroupIoInputs}, kAt70, 105},
      {{&kOut4Template, FB_OUT4_Run, FB_OUT4_Init, FB_StandardParam, &kOut4Limits, 1, kGroupIoInputs}, kAt84, 106},
      {{&kRelTemplate, FB_REL_OUT_Run, FB_REL_OUT_Init, FB_StandardParam, &kOut4Limits, 1, kGroupIoRelays}, kRelays, 107},
      {{&kSsrTemplate, FB_SSR_OUT_Run, FB_SSR_OUT_Init, FB_StandardParam, &kSsrLimits, 2, kGroupIoRelays}, kSwitches, 106},
      {{&kSOutTemplate, FB_S_OUT_Run, FB_S_OUT_Init, FB_StandardParam, &kFlags2, 1, kGroupIoRelays}, kSwitches, 108},
      {{&kDOutTemplate, FB_D_OUT_Run, FB_D_OUT_Init, FB_StandardParam, &kFlags4, 1, kGroupIoDigital}, kDigitalOut, 105},
      {{&kDigoutTemplate, FB_DIGOUT_Run, FB_DIGOUT_Init, FB_StandardParam, &kFlags6, 1, kGroupIoInputs}, kAt95, 108},
      {{&kDInTemplate, FB_D_IN_Run, FB_D_IN_Init, FB_StandardParam, &kFlags4, 1, kGroupIoDigital}, kDigitalIn, 6},
      {{&kDinputTemplate, FB_DINPUT_Run, FB_DINPUT_Init, FB_StandardParam, &kFlags12, 1, kGroupIoInputs}, kAt91, 6},
      {{&kLedTemplate, FB_LED_Run, FB_LED_Init, FB_StandardParam, &kLedLimits, 1, kGroupIoPanel}, kAt96, 101},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}
