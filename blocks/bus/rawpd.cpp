// Raw process data of any node: CPREAD takes up to two input objects byte by byte to R1 k
// and R2 k, CPWRIT writes T1 k and T2 k byte by byte into up to two output objects. With
// `Guard` on, the data flow only while the node `NodeId` is known and operational.
#include "blocks/bus/bus_internal.h"
#include "runtime/fw_numeric.h"

namespace busblk {
namespace {

constexpr const char* kCpreadTexts[] = {"CPREAD"};
constexpr const char* kCpwritTexts[] = {"CPWRIT"};
// NodeId, Guard, COBid1, COBid2 (-32000: not used).
constexpr uint16_t kRawValues[] = {2, 0, static_cast<uint16_t>(FW_NO_VALUE_S),
                                   static_cast<uint16_t>(FW_NO_VALUE_S)};
enum : uint16_t { kNodeId = 0, kGuard = 1, kFirstCobId = 2 };

constexpr FbTemplate kCpreadTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_CPREAD, .analogOutputs = 16, .digitalOutputs = 3, .digitalInputs = 1,
     .wordValues = kRawValues, .texts = kCpreadTexts,
     .workWords = BLK_WorkWordsOf<RawPdState>()});
constexpr FbTemplate kCpwritTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_CPWRIT, .digitalOutputs = 3, .analogInputs = 16, .digitalInputs = 1,
     .wordValues = kRawValues, .texts = kCpwritTexts,
     .workWords = BLK_WorkWordsOf<RawPdState>()});

// The ids admit 385..1320; the stored minimum -32000 admits the no-value marker.
constexpr int16_t kFirstRawId = 385;
int16_t rawIdMinimum(uint16_t, int16_t) { return kFirstRawId; }
constexpr FwShortLimit kRawLimitRecords[] = {
    {.min = 1, .max = 42},
    {.min = 0, .max = 1},
    {.min = FW_NO_VALUE_S, .max = 1320, .minFn = rawIdMinimum},
    {.min = FW_NO_VALUE_S, .max = 1320, .minFn = rawIdMinimum},
};
constexpr FbLimitTable kRawLimits{.wordValues = kRawLimitRecords};

constexpr FbBlockRange kRawBlocks[] = {{21, 40}, {0, 0}};

// Digital outputs: id-err, et-err, valid.
enum : uint16_t { kIdErr = 0, kEtErr = 1, kValid = 2 };
constexpr unsigned kObjectBytes = 8;

bool guarded(const FbLayout& L) { return L.wv[kGuard] == 1; }

void rawInit(bool sends) {
  FbLayout L;
  RawPdState* s = currentState<RawPdState>(L);
  if (!s) return;
  takePendingWordValues(L);
  *s = RawPdState{};
  for (uint16_t i = 0; i < L.analogOutputs; ++i) L.ao[i] = 0.0f;
  for (uint16_t i = 0; i < L.digitalOutputs; ++i) L.dout[i] = 0;
  if (!busOption()) {
    L.dout[kEtErr] = 1;
    s->link = BUS_LINK_INACTIVE;
    return;
  }
  const uint16_t n = L.wv[kNodeId];
  if (!wordValuesAllowed(L, kRawLimits) || (guarded(L) && n == COM_BusOwnAddress())) {
    L.dout[kIdErr] = 1;
    s->link = BUS_LINK_INACTIVE;
    return;
  }
  if (guarded(L)) {
    ComBusNode* node = COM_BusNode(n);
    if (node->configStage == COM_USE_CLAIMED) {  // another block uses the node
      L.dout[kEtErr] = 1;
      s->link = BUS_LINK_INACTIVE;
      return;
    }
    node->configStage = COM_USE_CLAIMED;
  }
  s->link = BUS_LINK_WAIT_PARTNER;
  for (unsigned j = 0; j < 2; ++j) {
    const auto id = static_cast<int16_t>(L.wv[kFirstCobId + j]);
    if (id == FW_NO_VALUE_S) continue;
    // An output id that another block already sends is refused like a full table.
    const uint8_t* data = sends ? COM_BusMapOutput(static_cast<uint32_t>(id))
                                : COM_BusMapInput(static_cast<uint32_t>(id));
    if (!data) {
      L.dout[kIdErr] = 1;
      s->link = BUS_LINK_INACTIVE;
      return;
    }
    s->object[j] = sends ? outputHandle(data) : inputHandle(data);
  }
}

// One data pass: CPREAD takes every byte of its objects (0..255), CPWRIT writes the low 8
// bits of each input truncated toward zero (300 -> 44, -1 -> 255, NaN -> 0).
void dataPass(FbLayout& L, const RawPdState& s, bool sends) {
  for (unsigned j = 0; j < 2; ++j) {
    uint8_t* obj = sends ? outputObject(s.object[j].get()) : inputObject(s.object[j].get());
    if (!obj) continue;
    for (unsigned i = 0; i < kObjectBytes; ++i) {
      if (sends) {
        obj[i] = FW_FloatToLow8(BLK_AnalogIn(L, kObjectBytes * j + i));
      } else {
        L.ao[kObjectBytes * j + i] = obj[i];
      }
    }
  }
  if (!sends) L.dout[kValid] = 1;
}

void rawRun(bool sends) {
  FbLayout L;
  RawPdState* s = currentState<RawPdState>(L);
  if (!s) return;
  if (s->link == BUS_LINK_INACTIVE) {
    L.dout[kValid] = 0;
    return;
  }
  const bool guard = guarded(L);
  ComBusNode* node = guard ? COM_BusNode(L.wv[kNodeId]) : nullptr;
  if (guard && !node) return;  // only before the block's first Init, which checks NodeId
  switch (s->link) {
    case BUS_LINK_WAIT_PARTNER:
      if (!guard || identifyPartner(*node, s->retry, L.dout[kIdErr], kAnyPartner)) {
        s->link = BUS_LINK_PARTNER_FOUND;
      }
      break;
    case BUS_LINK_PARTNER_FOUND: s->link = BUS_LINK_STARTING; break;
    case BUS_LINK_STARTING:
      // An unconnected `start` starts at once; a connected one must be exactly 1.
      if (L.di[0] == FB_REF_ZERO || BLK_DigitalIn(L, 0) == 1) {
        if (guard) node->configStage = COM_USE_CONFIGURED;
        s->link = BUS_LINK_WAIT_OPERATIONAL;
      }
      break;
    case BUS_LINK_WAIT_OPERATIONAL:
    case BUS_LINK_EXCHANGING: {
      const uint8_t before = s->link;
      if (guard) {
        if (!partnerOperational(s->link, *node, L.dout[kValid])) break;
      } else {
        s->link = BUS_LINK_EXCHANGING;
      }
      if (sends && before == BUS_LINK_WAIT_OPERATIONAL) L.dout[kValid] = 1;
      dataPass(L, *s, sends);
      break;
    }
    default: break;
  }
}

}  // namespace

void registerRawTypes() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kCpreadTemplate, FB_CPREAD_Run, FB_CPREAD_Init, FB_CPREAD_Param, &kRawLimits, 13, 23},
       kRawBlocks, 13},
      {{&kCpwritTemplate, FB_CPWRIT_Run, FB_CPWRIT_Init, FB_CPWRIT_Param, &kRawLimits, 13, 23},
       kRawBlocks, 14},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}

}  // namespace busblk

void FB_CPREAD_Init() { busblk::rawInit(false); }
void FB_CPREAD_Run() { busblk::rawRun(false); }
uint8_t FB_CPREAD_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
void FB_CPWRIT_Init() { busblk::rawInit(true); }
void FB_CPWRIT_Run() { busblk::rawRun(true); }
uint8_t FB_CPWRIT_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
