// PNREAD: ten values for PNSERV's output areas, from its inputs or from parameters of other
// blocks.
#include "blocks/block_family.h"
#include "blocks/profinet/pn_internal.h"
#include "blocks/profinet/profinet.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"

namespace {

constexpr const char* kPnreadTexts[] = {"PNREAD"};
constexpr FbTemplate kPnreadTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_PNREAD, .analogOutputs = 1, .analogInputs = PN_VALUES + 1,
     .wordValues = pn::kLinkValues, .texts = kPnreadTexts,
     .workWords = BLK_WorkWordsOf<PnReadState>()});

constexpr uint16_t kChainInput = PN_VALUES + 1;   // PNR_x (1-based)

}  // namespace

void FB_PNREAD_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  PnReadState& s = BLK_WorkState<PnReadState>(L);
  if (!s.resolved) {
    s.next = pn::chainSource(L.block, kChainInput, BLK_TYPE_PNREAD);
    s.resolved = 1;
  }
  for (unsigned i = 0; i < PN_VALUES; ++i) {
    s.slot[i] = BLK_AnalogWired(L, i) ? BLK_AnalogIn(L, i) : BLK_ReadParamLink(s.source[i]);
  }
}

// The links are fixed here: changed block or parameter numbers take effect at the next
// start-up pass. PNR_x carries the block's own number to the block before it in the chain.
void FB_PNREAD_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BLK_TakeOverWordValues(L);
  PnReadState& s = BLK_WorkState<PnReadState>(L);
  s = PnReadState{};
  L.ao[0] = static_cast<float>(L.block);
  for (unsigned i = 0; i < PN_VALUES; ++i) {
    if (!BLK_AnalogWired(L, i)) s.source[i] = BLK_LinkParam(L.wv[2 * i], L.wv[2 * i + 1]);
  }
}

namespace pn {

void registerReadType() {
  static constexpr FbLimitTable kLimits{.wordValues = kLinkLimits};
  static constexpr BlkTypeRow kRows[] = {
      {&kPnreadTemplate, FB_PNREAD_Run, FB_PNREAD_Init, FB_StandardParam, &kLimits, 2,
       kGroupExchange},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}

}  // namespace pn
