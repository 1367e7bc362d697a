// TQ_DI and TQ_DO: the digital input and output modules.
//   TQ_DI  "di 1".."di 8" are the bits of the slot's input byte; the module is configured
//          with the polarity of its inputs (object 0x6002).
//   TQ_DO  "do 1".."do 8" become the slot's output byte; the module is configured with the
//          polarity, error mode and error state of its outputs (0x6202, 0x6206, 0x6207), and
//          the coupler reads the slot's output status for the fail outputs while it operates.
#include "blocks/remoteio/rio_internal.h"

namespace rio {
namespace {

constexpr uint16_t kChannels = 8;

// --- TQ_DI ------------------------------------------------------------------------------------

struct DiState {
  ModuleHead head;
  ConfigList<1> list;
};
static_assert(offsetof(DiState, list) == sizeof(ModuleHead));

constexpr const char* kDiTexts[] = {"TQ_DI"};
constexpr uint16_t kDiValues[1 + kChannels] = {};   // MTyp, Inv 1..8
constexpr FbTemplate kDiTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_TQ_DI, .digitalOutputs = kFirstModuleOutput + kChannels, .analogInputs = 1,
     .wordValues = kDiValues, .texts = kDiTexts, .workWords = BLK_WorkWordsOf<DiState>()});
constexpr FwShortLimit kBit{.min = 0, .max = 1};
constexpr FwShortLimit kDiLimitRecords[1 + kChannels] = {
    {.min = 0, .max = 2}, kBit, kBit, kBit, kBit, kBit, kBit, kBit, kBit};
constexpr FbLimitTable kDiLimits{.wordValues = kDiLimitRecords};

// Eight word values as the bits of one byte.
uint8_t bitsOf(const FbLayout& L, uint16_t first, uint16_t step) {
  uint8_t b = 0;
  for (uint16_t k = 0; k < kChannels; ++k) {
    if (wv(L, static_cast<uint16_t>(first + step * k))) b = static_cast<uint8_t>(b | 1u << k);
  }
  return b;
}

DiState& diOf(const FbLayout& L) { return BLK_WorkState<DiState>(L); }

void buildDi(const FbLayout& L) {
  DiState& s = diOf(L);
  s.list.count = 0;
  s.list.add(0x6002, 0, 1, bitsOf(L, 1, 1));
}
constexpr ModuleRules kDiRules{expectedKind, buildDi};

// --- TQ_DO ------------------------------------------------------------------------------------

struct DoState {
  ModuleHead head;
  ConfigList<3> list;
};
static_assert(offsetof(DoState, list) == sizeof(ModuleHead));

constexpr const char* kDoTexts[] = {"TQ_DO"};
constexpr uint16_t kDoValues[1 + 3 * kChannels] = {};   // MTyp, then Inv k, FMode k, FStat k
constexpr FbTemplate kDoTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_TQ_DO, .digitalOutputs = kFirstModuleOutput + kChannels, .analogInputs = 1,
     .digitalInputs = kChannels, .wordValues = kDoValues, .texts = kDoTexts,
     .workWords = BLK_WorkWordsOf<DoState>()});
constexpr FwShortLimit kDoLimitRecords[1 + 3 * kChannels] = {
    {.min = 0, .max = 1}, kBit, kBit, kBit, kBit, kBit, kBit, kBit, kBit, kBit, kBit, kBit, kBit,
    kBit,                 kBit, kBit, kBit, kBit, kBit, kBit, kBit, kBit, kBit, kBit, kBit};
constexpr FbLimitTable kDoLimits{.wordValues = kDoLimitRecords};

constexpr uint8_t kMTyp562 = 1;   // four outputs, one status word each

DoState& doOf(const FbLayout& L) { return BLK_WorkState<DoState>(L); }

void buildDo(const FbLayout& L) {
  DoState& s = doOf(L);
  s.list.count = 0;
  s.list.add(0x6202, 0, 1, bitsOf(L, 1, 3));   // polarity
  s.list.add(0x6206, 0, 1, bitsOf(L, 2, 3));   // error mode
  s.list.add(0x6207, 0, 1, bitsOf(L, 3, 3));   // error state
}
constexpr ModuleRules kDoRules{expectedKind, buildDo};

// The fail outputs from the four status words: "TQ 562" one output per word, "TQ 561" two
// neighbouring outputs per word.
void failOutputs(const FbLayout& L, const RioSlotRecord& r) {
  const bool four = wv(L, kModuleType) == kMTyp562;
  for (uint16_t k = 0; k < kChannels; ++k) {
    const uint16_t status = four ? (k < 4 ? r.doStatus[k] : 0) : r.doStatus[k / 2];
    L.dout[kFirstModuleOutput + k] = status;
  }
}

}  // namespace

void registerDigitalModules() {
  static constexpr BlkTypeRow kRows[] = {
      {&kDiTemplate, FB_TQ_DI_Run, FB_TQ_DI_Init, FB_TQ_DI_Param, &kDiLimits, 4, kGroupRemoteIo},
      {&kDoTemplate, FB_TQ_DO_Run, FB_TQ_DO_Init, FB_TQ_DO_Param, &kDoLimits, 4, kGroupRemoteIo},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}

}  // namespace rio

using namespace rio;

void FB_TQ_DI_Init() {
  FbLayout L;
  if (!currentModule<DiState>(L, BLK_TYPE_TQ_DI)) return;
  DiState& s = diOf(L);
  s = DiState{};
  if (initModule(L, s.head, s.list.view(), nullptr)) buildDi(L);
}

void FB_TQ_DI_Run() {
  FbLayout L;
  if (!currentModule<DiState>(L, BLK_TYPE_TQ_DI)) return;
  DiState& s = diOf(L);
  const ModuleStep step = modulePhase(L, s.head, s.list.view(), kDiRules);
  if (!operating(L, step.phase)) return;
  const uint8_t in = step.slot->input[0];
  for (uint16_t k = 0; k < kChannels; ++k) L.dout[kFirstModuleOutput + k] = (in >> k) & 1u;
}

uint8_t FB_TQ_DI_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }

void FB_TQ_DO_Init() {
  FbLayout L;
  if (!currentModule<DoState>(L, BLK_TYPE_TQ_DO)) return;
  DoState& s = doOf(L);
  s = DoState{};
  if (initModule(L, s.head, s.list.view(), nullptr)) buildDo(L);
}

void FB_TQ_DO_Run() {
  FbLayout L;
  if (!currentModule<DoState>(L, BLK_TYPE_TQ_DO)) return;
  DoState& s = doOf(L);
  const ModuleStep step = modulePhase(L, s.head, s.list.view(), kDoRules);
  if (!writingOutputs(L, step.phase)) return;
  RioSlotRecord& r = *step.slot;
  uint8_t out = 0;
  for (uint16_t k = 0; k < kChannels; ++k) {
    if (BLK_DigitalIn(L, k)) out = static_cast<uint8_t>(out | 1u << k);
  }
  if (r.output[0] != out) r.output[0] = out;
  failOutputs(L, r);
  // While the coupler operates it reads the output status again whenever the last read is
  // over.
  if (step.phase == RIO_OPERATE && r.statusRequest != RIO_STATUS_REQUESTED) {
    r.statusRequest = RIO_STATUS_REQUESTED;
  }
}

uint8_t FB_TQ_DO_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
