// PNWRIT: ten values from PNSERV's input areas, written to parameters of other blocks
// through the deferred-call ring.
#include <bit>
#include <cmath>
#include <cstdint>

#include "blocks/block_family.h"
#include "blocks/profinet/pn_internal.h"
#include "blocks/profinet/profinet.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr const char* kPnwritTexts[] = {"PNWRIT"};
constexpr uint16_t kPnwritWords[] = {0};   // V_Data
constexpr FbTemplate kPnwritTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_PNWRIT, .analogOutputs = PN_VALUES + 1, .digitalOutputs = PN_VALUES + 1,
     .analogInputs = 1, .digitalInputs = 1, .wordParams = kPnwritWords,
     .wordValues = pn::kLinkValues, .texts = kPnwritTexts,
     .workWords = BLK_WorkWordsOf<PnWritState>()});
constexpr FwShortLimit kVData[] = {{.min = 0, .max = 255}};

constexpr uint16_t kChainInput = 1;       // PNW_x (1-based)
constexpr unsigned kOutChain = PN_VALUES;  // analog output PNW_x
constexpr unsigned kOutValid = PN_VALUES;  // digital output "valid"

// The value a target is given: a word target's rounded half away from zero and held to 16
// bits (NaN gives 0), a float target's as received.
float targetValue(const BlkParamLink& t, float v) {
  return t.size == BLK_LINK_WORD ? static_cast<float>(FW_FloatToI16(std::round(v))) : v;
}
bool sameValue(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

// Posts the write of value i: 4 data bytes, a word target's as a 16-bit integer. False
// while the ring has no room.
bool post(PnWritState& s, unsigned i, float value) {
  const BlkParamLink& t = s.target[i];
  const FbParamHandler handler = BLK_ParamHandlerOf(t.block);
  if (!handler) return true;   // the target is gone: nothing to write to
  uint8_t data[4] = {};
  if (t.size == BLK_LINK_WORD) {
    const auto w = static_cast<uint16_t>(static_cast<int16_t>(value));
    data[0] = static_cast<uint8_t>(w);
    data[1] = static_cast<uint8_t>(w >> 8);
  } else {
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    for (unsigned b = 0; b < 4; ++b) data[b] = static_cast<uint8_t>(bits >> (8 * b));
  }
  return FW_PostDeferredCall(t.block, t.id, data, sizeof data, handler, &s.status[i]) !=
         FW_POST_FULL;
}

// Refused data: the "valid" input is wired and 0, or V_Data is set and the first value (as a
// whole number) differs from it.
bool refused(const FbLayout& L, const PnWritState& s) {
  if (BLK_DigitalWired(L, 0) && BLK_DigitalIn(L, 0) == 0) return true;
  const uint16_t vData = L.wp[0];
  return vData != 0 && FW_FloatToI32(s.received[0].get()) != vData;
}

}  // namespace

void FB_PNWRIT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  PnWritState& s = BLK_WorkState<PnWritState>(L);
  if (!s.resolved) {
    s.next = pn::chainSource(L.block, kChainInput, BLK_TYPE_PNWRIT);
    for (unsigned i = 0; i < PN_VALUES; ++i) s.written[i] = BLK_ReadParamLink(s.target[i]);
    s.resolved = 1;
  }
  const bool take = s.present && !refused(L, s);
  for (unsigned i = 0; i < PN_VALUES; ++i) {
    const BlkParamLink& t = s.target[i];
    if (take && t.size) {
      // A change is noted against the value last written, in the form it was written, so
      // that a word target follows its rounded value (7.6 wrote 8; 7.0 then writes 7).
      const float v = targetValue(t, s.received[i].get());
      if (!sameValue(v, s.written[i].get())) {
        s.pending[i] = 1;
        s.status[i] = FW_DEFER_EMPTY;   // not valid until the write has run
      }
      if (s.pending[i] && post(s, i, v)) {
        s.written[i] = v;
        s.pending[i] = 0;
      }
    }
    L.ao[i] = take ? FW_ClampValue(s.received[i].get()) : 0.0f;
    L.dout[i] = take && s.status[i] == 0 ? 1 : 0;
  }
  L.dout[kOutValid] = take ? 1 : 0;
  FB_ApplyPendingWords(L.block);
}

// The targets are fixed here: changed block or parameter numbers take effect at the next
// start-up pass.
void FB_PNWRIT_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BLK_TakeOverWordValues(L);
  PnWritState& s = BLK_WorkState<PnWritState>(L);
  s = PnWritState{};
  FW_MemSet(L.ao, 0, L.analogOutputs * sizeof(FbF32));
  FW_MemSet(L.dout, 0, L.digitalOutputs * sizeof(uint16_t));
  L.ao[kOutChain] = static_cast<float>(L.block);
  for (unsigned i = 0; i < PN_VALUES; ++i) {
    s.target[i] = BLK_LinkParam(L.wv[2 * i], L.wv[2 * i + 1]);
  }
}

namespace pn {

void registerWriteType() {
  static constexpr FbLimitTable kLimits{.wordParams = kVData, .wordValues = kLinkLimits};
  static constexpr BlkTypeRow kRows[] = {
      {&kPnwritTemplate, FB_PNWRIT_Run, FB_PNWRIT_Init, FB_StandardParam, &kLimits, 3,
       kGroupExchange},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}

}  // namespace pn
