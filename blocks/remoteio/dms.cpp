// TQ_DMS: the strain-gauge module with two bridge channels.
//
// Each channel is configured with its sensor type and unit, the filter, and its scale and
// nominal sensitivity (0x9121..0x9123 in the second channel group); the values are the
// module's 32-bit readings through a two-point correction. Rising edges of the six command
// inputs mark tare, tare reset and zero commands, which the coupler writes one at a time
// through the block's command entry; "ready" falls while a command runs and rises when the
// coupler reports it done. Only couplers of class 20 or more serve the module.
#include <algorithm>

#include "blocks/remoteio/rio_internal.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"

namespace rio {
namespace {

constexpr uint16_t kChannels = 2;
constexpr uint16_t kCommands = 6;   // set_t1, res_t1, zero_1, set_t2, res_t2, zero_2

// Digital outputs after et_err, id_err, valid: fail 1, fail 2, ready.
constexpr uint16_t kReady = kFirstModuleOutput + kChannels;

// Word values: MTyp, STyp 1, Unit 1, STyp 2, Unit 2, Fail 1, Fail 2; 4-byte values: Tf, x0,
// x100, Cn by channel.
uint16_t sensorIndex(uint16_t ch) { return static_cast<uint16_t>(1 + 2 * ch); }
uint16_t failIndex(uint16_t ch) { return static_cast<uint16_t>(5 + ch); }
uint16_t longIndex(uint16_t ch, uint16_t k) { return static_cast<uint16_t>(4 * ch + k); }
enum : uint16_t { kTf = 0, kX0 = 1, kX100 = 2, kCn = 3 };

struct DmsState {
  ModuleHead head;
  ConfigList<12> list;
  RioConfigEntry command;     // the command the coupler writes
  Correction correction[kChannels];
  uint8_t lastInputs;         // the command inputs as last seen, bit per input
  uint8_t marked;             // commands waiting, bit per input
  uint8_t next;               // the input taken next
  uint8_t running;            // 1 while a command is with the coupler
};
static_assert(offsetof(DmsState, list) == sizeof(ModuleHead));

DmsState& dmsOf(const FbLayout& L) { return BLK_WorkState<DmsState>(L); }

constexpr uint16_t kObjSensorType = 0x6110, kObjUnit = 0x6131, kObjFilter = 0x5100;
constexpr uint16_t kObjScaleZero = 0x9121, kObjSensitivity = 0x9122, kObjScaleEnd = 0x9123;

void buildDms(const FbLayout& L) {
  ConfigList<12>& list = dmsOf(L).list;
  list.count = 0;
  for (uint16_t ch = 0; ch < kChannels; ++ch) {
    const auto c = static_cast<uint8_t>(ch);
    const auto g = static_cast<uint8_t>(ch | RIO_SECOND_GROUP);
    const uint32_t fail = wv(L, failIndex(ch)) == 1 ? 32u : 0u;
    list.add(kObjSensorType, c, 2, (wv(L, sensorIndex(ch)) & 0xFFu) | fail << 8);
    list.add(kObjUnit, c, 2, 45u | 112u << 8);
    list.add(kObjFilter, c, 1, filterByte(lv(L, longIndex(ch, kTf))));
    list.add(kObjScaleZero, g, 4, FW_FloatToU32(lv(L, longIndex(ch, kX0))));
    list.add(kObjSensitivity, g, 4, FW_FloatToU32(static_cast<double>(lv(L, longIndex(ch, kCn))) * 100000.0));
    list.add(kObjScaleEnd, g, 4, FW_FloatToU32(lv(L, longIndex(ch, kX100))));
  }
}

bool gaugeKind(const FbLayout&, uint8_t reported, uint8_t couplerClass) {
  return reported == COM_KIND_TQ_DMS && couplerClass >= RIO_CLASS_20;
}
constexpr ModuleRules kRules{gaugeKind, buildDms};

void computeCorrections(const FbLayout& L, DmsState& s) {
  for (uint16_t ch = 0; ch < kChannels; ++ch) s.correction[ch] = correctionOf(L, ch);
}

// The commands: {object, the four data bytes}, for input i % 3 of channel i / 3.
struct Command {
  uint16_t object;
  char data[5];
};
constexpr Command kCommandObjects[3] = {{0x6139, "tara"}, {0x5139, "rest"}, {0x6125, "zero"}};

// Rising edges mark commands; while the coupler operates, one marked command at a time is
// handed to it, taken in turn over the inputs.
void commands(const FbLayout& L, DmsState& s, const RioSlotRecord& r, bool operate) {
  uint8_t inputs = 0;
  for (uint16_t i = 0; i < kCommands; ++i) {
    if (BLK_DigitalIn(L, i)) inputs = static_cast<uint8_t>(inputs | 1u << i);
  }
  s.marked = static_cast<uint8_t>(s.marked | (inputs & ~s.lastInputs));
  s.lastInputs = inputs;
  RioConfigEntry& e = s.command;
  if (s.running) {
    if (!e.done) return;
    s.running = 0;
    e.request = 0;
    L.dout[kReady] = 1;
  }
  if (!operate || !s.marked) return;
  for (uint16_t k = 0; k < kCommands; ++k) {
    const auto i = static_cast<uint8_t>((s.next + k) % kCommands);
    if (!(s.marked & (1u << i))) continue;
    const Command& c = kCommandObjects[i % 3];
    const auto ch = static_cast<uint8_t>(i / 3);
    e = RioConfigEntry{};
    e.index[0] = static_cast<uint8_t>(c.object);
    e.index[1] = static_cast<uint8_t>(c.object >> 8);
    e.channel = static_cast<uint8_t>(ch | RIO_SECOND_GROUP);
    e.subIndex = static_cast<uint8_t>(r.firstSub2 + ch);
    e.length = 4;
    std::copy(c.data, c.data + 4, e.data);
    e.request = 1;
    s.marked = static_cast<uint8_t>(s.marked & ~(1u << i));
    s.next = static_cast<uint8_t>((i + 1) % kCommands);
    s.running = 1;
    L.dout[kReady] = 0;
    return;
  }
}

// --- template and limits -------------------------------------------------------------------

constexpr const char* kTexts[] = {"TQ_DMS"};
constexpr uint16_t kValues[] = {0, 71, 0, 71, 0, 0, 0};
constexpr uint32_t kLongs[] = {f32(0.5f), f32(0.0f), f32(100000.0f), f32(1.0f),
                               f32(0.5f), f32(0.0f), f32(100000.0f), f32(1.0f)};
constexpr float kFloats[] = {0, 0, 100, 100, 0, 0, 100, 100};   // x1in, x1out, x2in, x2out

constexpr FbTemplate kTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_TQ_DMS, .analogOutputs = kChannels, .digitalOutputs = kReady + 1,
     .analogInputs = 1, .digitalInputs = kCommands, .floatParams = kFloats, .longValues = kLongs,
     .wordValues = kValues, .texts = kTexts, .workWords = BLK_WorkWordsOf<DmsState>()});

constexpr FwShortLimit kZero{.min = 0, .max = 0};
constexpr FwShortLimit kGauge{.min = 71, .max = 71};
constexpr FwShortLimit kBit{.min = 0, .max = 1};
constexpr FwShortLimit kValueLimits[] = {kZero, kGauge, kZero, kGauge, kZero, kBit, kBit};
constexpr FwFloatLimit kPositive{.min = 0.0f, .max = 999999.0f, .attribute = 1};
constexpr FwFloatLimit kSensitivity{.min = 0.0f, .max = 4.0f, .attribute = 3};
constexpr FwFloatLimit kLongLimits[] = {kPositive, kPositive, kPositive, kSensitivity,
                                        kPositive, kPositive, kPositive, kSensitivity};
constexpr FwFloatLimit kValue{.min = -29999.0f, .max = 999999.0f, .attribute = 1};
constexpr FwFloatLimit kFloatLimits[] = {kValue, kValue, kValue, kValue, kValue, kValue, kValue, kValue};
constexpr FbLimitTable kLimits{.floatParams = kFloatLimits, .wordValues = kValueLimits,
                               .longValues = kLongLimits};

}  // namespace

void registerStrainGauge() {
  static constexpr BlkTypeRow kRows[] = {
      {&kTemplate, FB_TQ_DMS_Run, FB_TQ_DMS_Init, FB_TQ_DMS_Param, &kLimits, 5, kGroupRemoteIo},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}

}  // namespace rio

using namespace rio;

RioConfigEntry* BLK_RioCommandEntry(uint16_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || L.type != BLK_TYPE_TQ_DMS || L.workWords < BLK_WorkWordsOf<DmsState>()) {
    return nullptr;
  }
  return &dmsOf(L).command;
}

void FB_TQ_DMS_Init() {
  FbLayout L;
  if (!currentModule<DmsState>(L, BLK_TYPE_TQ_DMS)) return;
  DmsState& s = dmsOf(L);
  s = DmsState{};
  const bool claimed = initModule(L, s.head, s.list.view(), &s.command);
  computeCorrections(L, s);
  if (claimed) buildDms(L);
}

void FB_TQ_DMS_Run() {
  FbLayout L;
  if (!currentModule<DmsState>(L, BLK_TYPE_TQ_DMS)) return;
  DmsState& s = dmsOf(L);
  if (FB_ApplyPendingFloats(L.block) == FB_APPLY_SAVED) computeCorrections(L, s);
  const ModuleStep step = modulePhase(L, s.head, s.list.view(), kRules);
  if (!step.slot) return;
  const RioSlotRecord& r = *step.slot;
  const bool operate = operating(L, step.phase);
  if (operate) {
    for (uint16_t ch = 0; ch < kChannels; ++ch) {
      const auto raw = static_cast<float>(getI32(r.input + 4 * ch));
      const Correction& c = s.correction[ch];
      L.ao[ch] = FW_ClampValue(r.channelStatus[ch] == 0 ? raw * c.d + c.o : raw);
      L.dout[kFirstModuleOutput + ch] = r.channelStatus[ch];
    }
  }
  commands(L, s, r, operate);
}

uint8_t FB_TQ_DMS_Param(FbParamRequest* r, uint16_t* bad) {
  const uint8_t result = FB_StandardParam(r, bad);
  const int16_t id = r ? r->id() : 0;
  const bool floats = (id >= FB_ID_FLOAT && id < FB_ID_WORD) || id == FB_ID_WHOLE_SET;
  FbLayout L;
  if (result == FB_OK && floats && !FW_IsRunning() && FB_GetLayout(r->block(), &L) &&
      L.type == BLK_TYPE_TQ_DMS && L.workWords >= BLK_WorkWordsOf<DmsState>()) {
    computeCorrections(L, dmsOf(L));
  }
  return result;
}
