// TQ_AI, TQ_AI+ and TQ_AO: the analog input and output modules.
//   TQ_AI   four inputs; each used channel is configured with its sensor type (0x6110, the
//           second byte 32 for a downscale failure value), the unit of a temperature sensor
//           (0x6131) and the module's filter (0x5100). A temperature reads the raw tenths,
//           an electrical signal maps its raw range onto x0..x100.
//   TQ_AI+  the same with a fourth object per channel (0x7124), a two-point correction of
//           each channel and, on the "TQ 532-1" and "TQ 532-2" modules, a calibration page
//           record that sets the correction of one channel from the current value.
//   TQ_AO   four outputs; each channel is configured with its output type (0x6310, the second
//           byte 128 when the output freezes on a failure) and maps x0..x100 onto the raw
//           range of the type.
// "STyp" and "OTyp" take the codes the module ("MTyp") permits on the channel; a new "MTyp"
// replaces the codes it does not permit.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "blocks/io/io.h"
#include "blocks/remoteio/rio_internal.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"

namespace rio {
namespace {

constexpr uint16_t kChannels = COM_SLOT_CHANNELS;

// --- sensor and output types --------------------------------------------------------------------

enum : uint8_t { kTypeS = 6, kTypeR = 7, kTypeB = 8, kTypeW = 10, kPt100 = 30 };
constexpr uint8_t kFirstElectrical = COM_SIGNAL_ELECTRICAL;   // 40
constexpr uint8_t kUnitFahrenheit = 1;

bool temperature(uint16_t code) { return code >= 1 && code < kFirstElectrical; }

constexpr uint8_t kCurrent[] = {51, 52};
constexpr uint8_t kVoltage[] = {40, 41};
constexpr uint8_t kThermocouples[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
constexpr uint8_t kTemperatures[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, kPt100};
constexpr uint8_t kUnused[] = {0};
constexpr uint8_t kLowVoltage[] = {42};

constexpr CodeSet kCurrentSet{kCurrent, 52};
constexpr CodeSet kVoltageSet{kVoltage, 41};
constexpr CodeSet kTemperatureSet{kTemperatures, kPt100};
constexpr CodeSet kThermocoupleSet{kThermocouples, 1};
constexpr CodeSet kUnusedSet{kUnused, 0};
constexpr CodeSet kLowVoltageSet{kLowVoltage, 42};

// The sensor types of channels 1..4 by "MTyp" 0..8 (8: TQ_AI+ only).
constexpr CodeSet kSensorSets[][kChannels] = {
    {kCurrentSet, kCurrentSet, kCurrentSet, kCurrentSet},                  // TQ 531-0
    {kVoltageSet, kVoltageSet, kVoltageSet, kVoltageSet},                  // TQ 531-1
    {kCurrentSet, kCurrentSet, kVoltageSet, kVoltageSet},                  // TQ 531-2
    {kCurrentSet, kCurrentSet, kCurrentSet, kCurrentSet},                  // TQ 532-0
    {kVoltageSet, kVoltageSet, kVoltageSet, kVoltageSet},                  // TQ 532-1
    {kCurrentSet, kCurrentSet, kVoltageSet, kVoltageSet},                  // TQ 532-2
    {kTemperatureSet, kTemperatureSet, kTemperatureSet, kTemperatureSet},  // TQ 534-1
    {kThermocoupleSet, kThermocoupleSet, kUnusedSet, kUnusedSet},          // TQ 534-0
    {kLowVoltageSet, kThermocoupleSet, kUnusedSet, kUnusedSet},            // TQ 534-2
};
constexpr uint16_t kAiModels = 8, kAiPlusModels = 9;

// Output types: 10 "0..10V", 11 "-10...10V", 20 "0...20mA", 21 "4...20mA".
constexpr uint8_t kOutputsV10[] = {10, 20, 21};
constexpr uint8_t kOutputsV11[] = {11, 20, 21};
constexpr uint8_t kDefaultOutput = 20;
constexpr uint16_t kAoModels = 3;

CodeSet sensorSet(uint16_t models, uint16_t mtyp, uint16_t channel) {
  return kSensorSets[mtyp < models ? mtyp : 0][channel % kChannels];
}
// "0..10V" on channels 1, 2 of "TQ 541-0" and "TQ 541-1" and channels 3, 4 of "TQ 541-0",
// "-10...10V" elsewhere.
CodeSet outputSet(uint16_t mtyp, uint16_t channel) {
  const bool v10 = channel < 2 ? mtyp <= 1 : mtyp == 0;
  return {v10 ? std::span<const uint8_t>(kOutputsV10) : std::span<const uint8_t>(kOutputsV11),
          kDefaultOutput};
}

// Raw range and offset of an output type.
struct OutputRange {
  uint8_t code;
  float range, offset;
};
constexpr OutputRange kOutputRanges[] = {
    {10, 10000.0f, 0.0f}, {11, 20000.0f, -10000.0f}, {20, 20000.0f, 0.0f}, {21, 16000.0f, 0.0f}};
OutputRange outputRange(uint16_t code) {
  for (const OutputRange& r : kOutputRanges) {
    if (r.code == code) return r;
  }
  return kOutputRanges[2];
}

// --- word and 4-byte values --------------------------------------------------------------------

// Inputs: "MTyp", then "STyp k", "Unit k" by channel, then "Fail 1".."Fail 4"; "Tf k",
// "x0 k", "x100 k" by channel.
uint16_t sensorIndex(uint16_t ch) { return static_cast<uint16_t>(1 + 2 * ch); }
uint16_t unitIndex(uint16_t ch) { return static_cast<uint16_t>(2 + 2 * ch); }
uint16_t inputFailIndex(uint16_t ch) { return static_cast<uint16_t>(9 + ch); }
// Outputs: "MTyp", "OTyp 1".."OTyp 4", "Fail 1".."Fail 4"; "x0 k", "x100 k" by channel.
uint16_t outputIndex(uint16_t ch) { return static_cast<uint16_t>(1 + ch); }
uint16_t outputFailIndex(uint16_t ch) { return static_cast<uint16_t>(5 + ch); }

uint16_t modelsOf(uint16_t type) { return type == BLK_TYPE_TQ_AIPLUS ? kAiPlusModels : kAiModels; }

// Replaces every code the module does not permit by its fallback, in the working or the
// pending copy.
void fitCodes(const FbLayout& L, bool pending) {
  const uint16_t mtyp = wv(L, kModuleType, pending);
  uint16_t* values = L.wv + (pending ? L.wordValues : 0);
  for (uint16_t ch = 0; ch < kChannels; ++ch) {
    const bool output = L.type == BLK_TYPE_TQ_AO;
    const uint16_t k = output ? outputIndex(ch) : sensorIndex(ch);
    const CodeSet set = output ? outputSet(mtyp, ch) : sensorSet(modelsOf(L.type), mtyp, ch);
    if (k < L.wordValues && !set.contains(values[k])) values[k] = set.fallback;
  }
}

// The code sets of the limit records, from the pending "MTyp" of the block.
template <uint16_t Ch, bool Output>
CodeSet limitSet(uint16_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L)) return kUnusedSet;
  const uint16_t mtyp = wv(L, kModuleType, true);
  return Output ? outputSet(mtyp, Ch) : sensorSet(modelsOf(L.type), mtyp, Ch);
}
template <uint16_t Ch, bool Output>
int16_t nextCode(uint16_t block, int16_t x) { return limitSet<Ch, Output>(block).next(x); }
template <uint16_t Ch, bool Output>
int16_t previousCode(uint16_t block, int16_t e) { return limitSet<Ch, Output>(block).previous(e); }
template <uint16_t Ch, bool Output>
constexpr FwShortLimit codeLimit() {
  return {.min = FW_LIMIT_DISCRETE, .max = 0, .minFn = previousCode<Ch, Output>,
          .maxFn = nextCode<Ch, Output>};
}

// --- own state -----------------------------------------------------------------------------------

// Electrical inputs: value = (raw - offset) x gain + x0.
struct InputScale {
  FbF32 gain[kChannels];
  FbF32 offset[kChannels];
};

struct AiState {
  ModuleHead head;
  ConfigList<12> list;
  InputScale scale;
};
static_assert(offsetof(AiState, list) == sizeof(ModuleHead));

struct AiPlusState {
  ModuleHead head;
  ConfigList<16> list;
  InputScale scale;
  Correction correction[kChannels];
  FbF32 base[kChannels];     // each channel's value before the correction
  uint8_t pageChannel;       // the channel the page's fields show
  uint8_t spare;
  BlkCalPage page;
};
static_assert(offsetof(AiPlusState, list) == sizeof(ModuleHead));

struct AoState {
  ModuleHead head;
  ConfigList<4> list;
  FbF32 gain[kChannels];     // raw = (input - x0) x gain + offset of the type
};
static_assert(offsetof(AoState, list) == sizeof(ModuleHead));

// --- configuration lists -------------------------------------------------------------------------

constexpr uint16_t kObjSensorType = 0x6110, kObjUnit = 0x6131, kObjFilter = 0x5100;
constexpr uint16_t kObjCorrection = 0x7124, kObjOutputType = 0x6310;
constexpr uint16_t kUnitWords[] = {0x3010, 0x3020, 0x3030};   // degrees C, F, K

template <uint16_t N>
void buildInputs(const FbLayout& L, ConfigList<N>& list, bool plus) {
  list.count = 0;
  for (uint16_t ch = 0; ch < kChannels; ++ch) {
    const uint16_t code = wv(L, sensorIndex(ch));
    if (code == 0) continue;   // channel not used
    const auto c = static_cast<uint8_t>(ch);
    const uint32_t fail = wv(L, inputFailIndex(ch)) == 1 ? 32u : 0u;
    list.add(kObjSensorType, c, 2, (code & 0xFFu) | fail << 8);
    if (temperature(code)) {
      const uint16_t unit = wv(L, unitIndex(ch));
      list.add(kObjUnit, c, 2, kUnitWords[unit < std::size(kUnitWords) ? unit : 0]);
    }
    list.add(kObjFilter, c, 1, filterByte(lv(L, 3 * ch)));
    if (plus) list.add(kObjCorrection, c, 2, 0);
  }
}

void computeInputScale(const FbLayout& L, InputScale& s) {
  for (uint16_t ch = 0; ch < kChannels; ++ch) {
    const auto code = static_cast<uint8_t>(std::min<uint16_t>(wv(L, sensorIndex(ch)), UINT8_MAX));
    const ComSignalRow* row = COM_SignalRow(code);
    float low = 0.0f, gain = 1.0f;
    if (row && row->range) {
      low = row->low;
      gain = (lv(L, 3 * ch + 2) - lv(L, 3 * ch + 1)) / (row->high - row->low);
    }
    s.gain[ch] = std::isfinite(gain) ? gain : 0.0f;
    s.offset[ch] = low;
  }
}

// The value of channel ch from its raw reading: temperatures in tenths of a degree (the
// Fahrenheit readings of types S, R, B and W come 2000 degrees low), electrical signals
// through the scale.
float inputValue(const FbLayout& L, const InputScale& s, uint16_t ch, int16_t raw) {
  const uint16_t code = wv(L, sensorIndex(ch));
  if (temperature(code)) {
    const bool high = code == kTypeS || code == kTypeR || code == kTypeB || code == kTypeW;
    const float v = static_cast<float>(raw) / 10.0f;
    return high && wv(L, unitIndex(ch)) == kUnitFahrenheit ? v + 2000.0f : v;
  }
  return (static_cast<float>(raw) - s.offset[ch]) * s.gain[ch] + lv(L, 3 * ch + 1);
}

// The outputs of a module with channel values: "fail k" and "tcfail" from the slot.
void inputStatus(const FbLayout& L, const RioSlotRecord& r) {
  for (uint16_t ch = 0; ch < kChannels; ++ch) L.dout[kFirstModuleOutput + ch] = r.channelStatus[ch];
  L.dout[kFirstModuleOutput + kChannels] = r.tcStatus;
}

AiState& aiOf(const FbLayout& L) { return BLK_WorkState<AiState>(L); }
AiPlusState& aiPlusOf(const FbLayout& L) { return BLK_WorkState<AiPlusState>(L); }
AoState& aoOf(const FbLayout& L) { return BLK_WorkState<AoState>(L); }

void buildAi(const FbLayout& L) { buildInputs(L, aiOf(L).list, false); }
void buildAiPlus(const FbLayout& L) { buildInputs(L, aiPlusOf(L).list, true); }
void buildAo(const FbLayout& L) {
  ConfigList<4>& list = aoOf(L).list;
  list.count = 0;
  for (uint16_t ch = 0; ch < kChannels; ++ch) {
    const uint32_t freeze = wv(L, outputFailIndex(ch)) == 1 ? 128u : 0u;
    list.add(kObjOutputType, static_cast<uint8_t>(ch), 2, (wv(L, outputIndex(ch)) & 0xFFu) | freeze << 8);
  }
}
constexpr ModuleRules kAiRules{expectedKind, buildAi};
constexpr ModuleRules kAiPlusRules{expectedKind, buildAiPlus};
constexpr ModuleRules kAoRules{expectedKind, buildAo};

void computeOutputGains(const FbLayout& L, AoState& s) {
  for (uint16_t ch = 0; ch < kChannels; ++ch) {
    const float x0 = lv(L, 2 * ch), x100 = lv(L, 2 * ch + 1);
    // Equal limits leave the output at the low end of its range instead of dividing by 0.
    float gain = 0.0f;
    IO_SpanFactor(x0, x100, outputRange(wv(L, outputIndex(ch))).range, &gain);
    s.gain[ch] = gain;
  }
}

// --- TQ_AI+ correction and calibration ------------------------------------------------------------

constexpr uint8_t kCalModels[] = {4, 5};   // "TQ 532-1", "TQ 532-2"
enum : uint16_t { kInLock = 0, kInHide = 1 };

void computeCorrections(const FbLayout& L, AiPlusState& s) {
  for (uint16_t ch = 0; ch < kChannels; ++ch) s.correction[ch] = correctionOf(L, ch);
}

// The page's start and end fields show x1out and x2out of the channel.
void pageFields(const FbLayout& L, AiPlusState& s, uint16_t ch) {
  s.pageChannel = static_cast<uint8_t>(ch);
  s.page.field[BLK_CAL_X0].value = L.fp[4 * ch + 1].get();
  s.page.field[BLK_CAL_X100].value = L.fp[4 * ch + 3].get();
}

void preparePage(const FbLayout& L, AiPlusState& s) {
  BlkCalPage& p = s.page;
  std::memset(&p, 0, sizeof p);
  p.type = L.type;
  std::memcpy(p.title, L.text, FB_TEXT_LEN);
  for (BlkCalField& f : p.field) {
    f.min = -29999.0f;
    f.max = 999999.0f;
    f.format = 1;
  }
  p.callback[0] = 1;
  p.callback[1] = 2;
  p.hide = 1;
  pageFields(L, s, 0);
  g_fbStore.list[L.block].pageData = &p;
}

// One float parameter into its pending copy, within its limits.
bool setPending(const FbLayout& L, uint16_t k, float value) {
  const FbTypeRecord* rec = FB_GetType(L.type);
  if (!rec || !rec->limits || k >= rec->limits->floatParams.size() || k >= L.floatParams ||
      !FW_CheckFloatLimit(value, &rec->limits->floatParams[k], L.block)) {
    return false;
  }
  L.fp[L.floatParams + k] = value;
  return true;
}

// The page serves one channel: state 2 takes the channel's value before the correction as
// x1in and the value entered in the start field as x1out, state 3 the same for x2in / x2out.
// The float parameters go to their pending copies, which the next run applies and saves.
void calibrate(const FbLayout& L, AiPlusState& s, const RioSlotRecord& r) {
  BlkCalPage& p = s.page;
  const uint16_t mtyp = wv(L, kModuleType);
  if (std::find(std::begin(kCalModels), std::end(kCalModels), mtyp) == std::end(kCalModels) ||
      !L.dout[kValid]) {
    p.hide = 1;
    return;
  }
  p.lock = BLK_DigitalIn(L, kInLock) ? 1 : 0;
  p.hide = BLK_DigitalIn(L, kInHide) ? 1 : 0;
  const uint16_t ch = p.channel < kChannels ? p.channel : 0;
  if (ch != s.pageChannel) pageFields(L, s, ch);
  p.field[BLK_CAL_READING].value = L.ao[ch].get();
  p.fault = r.channelStatus[ch] != 0 ? 1 : 0;
  p.updated = 1;
  if (!p.startRequest) return;
  p.startRequest = 0;
  const bool start = p.state == BLK_CAL_STATE_START;
  if (!start && p.state != BLK_CAL_STATE_END) return;
  const uint16_t in = static_cast<uint16_t>(4 * ch + (start ? 0 : 2));
  const float entered = p.field[start ? BLK_CAL_X0 : BLK_CAL_X100].value;
  const bool input = setPending(L, in, s.base[ch]);
  const bool output = setPending(L, in + 1, entered);
  if (input || output) g_fbPending.floats[L.block] = 1;
  p.state = start ? BLK_CAL_STATE_START_DONE : BLK_CAL_STATE_END_DONE;
}

// --- runs ---------------------------------------------------------------------------------------

// One run of an input module; the slot record (null for a block with et_err).
template <typename State, uint16_t N>
RioSlotRecord* runInputs(const FbLayout& L, State& s, ConfigList<N>& list, const ModuleRules& rules,
               Correction* correction, FbF32* base) {
  const ModuleStep step = modulePhase(L, s.head, list.view(), rules);
  if (!operating(L, step.phase)) return step.slot;
  const RioSlotRecord& r = *step.slot;
  for (uint16_t ch = 0; ch < kChannels; ++ch) {
    if (wv(L, sensorIndex(ch)) == 0) continue;
    float v = inputValue(L, s.scale, ch, getI16(r.input + 2 * ch));
    if (correction) {
      base[ch] = FW_ClampValue(v);
      // A channel with a status reading keeps its value uncorrected.
      if (r.channelStatus[ch] == 0) v = v * correction[ch].d + correction[ch].o;
    }
    L.ao[ch] = FW_ClampValue(v);
  }
  inputStatus(L, r);
  return step.slot;
}

uint8_t inputParam(FbParamRequest* r, uint16_t* bad, uint16_t type) {
  if (bad) *bad = 0;
  FbLayout L;
  if (!r || !FB_GetLayout(r->block(), &L) || L.type != type) return r ? FB_ERR_NO_BLOCK : FB_ERR_UNKNOWN_ID;
  const uint8_t result = FB_StandardParamCross(r, bad);
  if (result != FB_OK) return result;
  if (r->id() == FB_ID_WORD_VALUE + kModuleType) fitCodes(L, true);
  const int16_t id = r->id();
  const bool floats = (id >= FB_ID_FLOAT && id < FB_ID_WORD) || id == FB_ID_WHOLE_SET;
  // Stopped, a float change applies at once, and with it the corrections.
  if (floats && type == BLK_TYPE_TQ_AIPLUS && !FW_IsRunning()) computeCorrections(L, aiPlusOf(L));
  return result;
}

// --- templates and limits ---------------------------------------------------------------------


constexpr const char* kAiTexts[] = {"TQ_AI"};
constexpr const char* kAiPlusTexts[] = {"TQ_AI+"};
constexpr const char* kAoTexts[] = {"TQ_AO"};
// MTyp, STyp 1, Unit 1, .. STyp 4, Unit 4, Fail 1..4.
constexpr uint16_t kAiValues[] = {0, 52, 0, 52, 0, 52, 0, 52, 0, 0, 0, 0, 0};
// Tf, x0, x100 by channel.
constexpr uint32_t kAiLongs[] = {f32(0.5f), f32(0.0f), f32(100.0f), f32(0.5f), f32(0.0f), f32(100.0f),
                                 f32(0.5f), f32(0.0f), f32(100.0f), f32(0.5f), f32(0.0f), f32(100.0f)};
// x1in, x1out, x2in, x2out by channel.
constexpr float kCorrection[] = {0, 0, 100, 100, 0, 0, 100, 100, 0, 0, 100, 100, 0, 0, 100, 100};
// MTyp, OTyp 1..4, Fail 1..4; x0, x100 by channel.
constexpr uint16_t kAoValues[] = {0, 20, 20, 20, 20, 0, 0, 0, 0};
constexpr uint32_t kAoLongs[] = {f32(0.0f), f32(100.0f), f32(0.0f), f32(100.0f),
                                 f32(0.0f), f32(100.0f), f32(0.0f), f32(100.0f)};

constexpr FbTemplate kAiTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_TQ_AI, .analogOutputs = kChannels, .digitalOutputs = kFirstModuleOutput + kChannels + 1,
     .analogInputs = 1, .longValues = kAiLongs, .wordValues = kAiValues, .texts = kAiTexts,
     .workWords = BLK_WorkWordsOf<AiState>()});
constexpr FbTemplate kAiPlusTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_TQ_AIPLUS, .analogOutputs = kChannels,
     .digitalOutputs = kFirstModuleOutput + kChannels + 1, .analogInputs = 1, .digitalInputs = 2,
     .floatParams = kCorrection, .longValues = kAiLongs, .wordValues = kAiValues,
     .texts = kAiPlusTexts, .workWords = BLK_WorkWordsOf<AiPlusState>()});
constexpr FbTemplate kAoTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_TQ_AO, .digitalOutputs = kFirstModuleOutput + kChannels, .analogInputs = 1 + kChannels,
     .longValues = kAoLongs, .wordValues = kAoValues, .texts = kAoTexts,
     .workWords = BLK_WorkWordsOf<AoState>()});

constexpr FwShortLimit kBit{.min = 0, .max = 1};
constexpr FwShortLimit kUnit{.min = 0, .max = 2};
constexpr FwShortLimit kAiValueLimits[] = {
    {.min = 0, .max = kAiModels - 1},
    codeLimit<0, false>(), kUnit, codeLimit<1, false>(), kUnit, codeLimit<2, false>(), kUnit,
    codeLimit<3, false>(), kUnit, kBit, kBit, kBit, kBit};
constexpr FwShortLimit kAiPlusValueLimits[] = {
    {.min = 0, .max = kAiPlusModels - 1},
    codeLimit<0, false>(), kUnit, codeLimit<1, false>(), kUnit, codeLimit<2, false>(), kUnit,
    codeLimit<3, false>(), kUnit, kBit, kBit, kBit, kBit};
constexpr FwShortLimit kAoValueLimits[] = {
    {.min = 0, .max = kAoModels - 1},
    codeLimit<0, true>(), codeLimit<1, true>(), codeLimit<2, true>(), codeLimit<3, true>(),
    kBit, kBit, kBit, kBit};
constexpr FwFloatLimit kTf{.min = 0.0f, .max = 999999.0f, .attribute = 1};
constexpr FwFloatLimit kValue{.min = -29999.0f, .max = 999999.0f, .attribute = 1};
constexpr FwFloatLimit kAiLongLimits[] = {kTf, kValue, kValue, kTf, kValue, kValue,
                                          kTf, kValue, kValue, kTf, kValue, kValue};
constexpr FwFloatLimit kAoLongLimits[] = {kValue, kValue, kValue, kValue, kValue, kValue, kValue, kValue};
constexpr FwFloatLimit kCorrectionLimits[] = {kValue, kValue, kValue, kValue, kValue, kValue,
                                              kValue, kValue, kValue, kValue, kValue, kValue,
                                              kValue, kValue, kValue, kValue};
constexpr FbLimitTable kAiLimits{.wordValues = kAiValueLimits, .longValues = kAiLongLimits};
constexpr FbLimitTable kAiPlusLimits{.floatParams = kCorrectionLimits,
                                     .wordValues = kAiPlusValueLimits,
                                     .longValues = kAiLongLimits};
constexpr FbLimitTable kAoLimits{.wordValues = kAoValueLimits, .longValues = kAoLongLimits};

}  // namespace

void registerAnalogModules() {
  static constexpr BlkTypeRow kRows[] = {
      {&kAiTemplate, FB_TQ_AI_Run, FB_TQ_AI_Init, FB_TQ_AI_Param, &kAiLimits, 4, kGroupRemoteIo},
      {&kAoTemplate, FB_TQ_AO_Run, FB_TQ_AO_Init, FB_TQ_AO_Param, &kAoLimits, 4, kGroupRemoteIo},
      {&kAiPlusTemplate, FB_TQ_AIPLUS_Run, FB_TQ_AIPLUS_Init, FB_TQ_AIPLUS_Param, &kAiPlusLimits, 5,
       kGroupRemoteIo},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}

}  // namespace rio

using namespace rio;

BlkCalPage* BLK_RioCalPageOf(uint16_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || L.type != BLK_TYPE_TQ_AIPLUS ||
      L.workWords < BLK_WorkWordsOf<AiPlusState>()) {
    return nullptr;
  }
  return &aiPlusOf(L).page;
}

void FB_TQ_AI_Init() {
  FbLayout L;
  if (!currentModule<AiState>(L, BLK_TYPE_TQ_AI)) return;
  AiState& s = aiOf(L);
  s = AiState{};
  if (!initModule(L, s.head, s.list.view(), nullptr)) return;
  fitCodes(L, false);
  buildAi(L);
  computeInputScale(L, s.scale);
}

void FB_TQ_AI_Run() {
  FbLayout L;
  if (!currentModule<AiState>(L, BLK_TYPE_TQ_AI)) return;
  AiState& s = aiOf(L);
  runInputs(L, s, s.list, kAiRules, nullptr, nullptr);
}

uint8_t FB_TQ_AI_Param(FbParamRequest* r, uint16_t* bad) { return inputParam(r, bad, BLK_TYPE_TQ_AI); }

void FB_TQ_AIPLUS_Init() {
  FbLayout L;
  if (!currentModule<AiPlusState>(L, BLK_TYPE_TQ_AIPLUS)) return;
  AiPlusState& s = aiPlusOf(L);
  s = AiPlusState{};
  const bool claimed = initModule(L, s.head, s.list.view(), nullptr);
  computeCorrections(L, s);
  preparePage(L, s);
  if (!claimed) return;
  fitCodes(L, false);
  buildAiPlus(L);
  computeInputScale(L, s.scale);
}

void FB_TQ_AIPLUS_Run() {
  FbLayout L;
  if (!currentModule<AiPlusState>(L, BLK_TYPE_TQ_AIPLUS)) return;
  AiPlusState& s = aiPlusOf(L);
  if (FB_ApplyPendingFloats(L.block) == FB_APPLY_SAVED) {
    computeCorrections(L, s);
    pageFields(L, s, s.pageChannel);
  }
  if (const RioSlotRecord* r = runInputs(L, s, s.list, kAiPlusRules, s.correction, s.base)) {
    calibrate(L, s, *r);
  }
}

uint8_t FB_TQ_AIPLUS_Param(FbParamRequest* r, uint16_t* bad) {
  return inputParam(r, bad, BLK_TYPE_TQ_AIPLUS);
}

void FB_TQ_AO_Init() {
  FbLayout L;
  if (!currentModule<AoState>(L, BLK_TYPE_TQ_AO)) return;
  AoState& s = aoOf(L);
  s = AoState{};
  if (!initModule(L, s.head, s.list.view(), nullptr)) return;
  fitCodes(L, false);
  buildAo(L);
  computeOutputGains(L, s);
}

void FB_TQ_AO_Run() {
  FbLayout L;
  if (!currentModule<AoState>(L, BLK_TYPE_TQ_AO)) return;
  AoState& s = aoOf(L);
  const ModuleStep step = modulePhase(L, s.head, s.list.view(), kAoRules);
  if (!writingOutputs(L, step.phase)) return;
  RioSlotRecord& r = *step.slot;
  for (uint16_t ch = 0; ch < kChannels; ++ch) {
    const OutputRange t = outputRange(wv(L, outputIndex(ch)));
    const float raw = (BLK_AnalogIn(L, 1 + ch) - lv(L, 2 * ch)) * s.gain[ch] + t.offset;
    const int16_t v = FW_FloatToI16(std::clamp(raw, t.offset, t.offset + t.range));
    if (getI16(r.output + 2 * ch) != v) putI16(r.output + 2 * ch, v);
    L.dout[kFirstModuleOutput + ch] = r.aoStatus[ch];
  }
}

uint8_t FB_TQ_AO_Param(FbParamRequest* r, uint16_t* bad) {
  if (bad) *bad = 0;
  FbLayout L;
  if (!r) return FB_ERR_UNKNOWN_ID;
  if (!FB_GetLayout(r->block(), &L) || L.type != BLK_TYPE_TQ_AO) return FB_ERR_NO_BLOCK;
  const uint8_t result = FB_StandardParamCross(r, bad);
  if (result == FB_OK && r->id() == FB_ID_WORD_VALUE + kModuleType) fitCodes(L, true);
  return result;
}
