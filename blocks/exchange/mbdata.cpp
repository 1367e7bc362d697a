// MBDATA: up to 16 parameters of other blocks mapped onto one block, so that the register
// map (blocks 56..60, 16 registers each) reads and writes them.
#include <cmath>

#include "blocks/block_family.h"
#include "blocks/exchange/exchange.h"
#include "blocks/exchange/exchange_internal.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

using exchange::MbdataState;

namespace {

constexpr const char* kMbdataTexts[] = {"MBDATA"};
// Block i, Num i of each entry: no block, parameter number 1.
constexpr uint16_t kMbdataValues[2 * MBDATA_ENTRIES] = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1,
                                                        0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1,
                                                        0, 1, 0, 1, 0, 1, 0, 1};
constexpr FbTemplate kMbdataTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_MBDATA, .analogOutputs = MBDATA_ENTRIES, .wordValues = kMbdataValues,
     .texts = kMbdataTexts, .workWords = BLK_WorkWordsOf<MbdataState>()});

constexpr FwShortLimit kBlockLimit{.min = 0, .max = FB_MAX_BLOCK};
constexpr FwShortLimit kNumLimit{.min = 1, .max = 99};
constexpr FwShortLimit kMbdataValueLimits[2 * MBDATA_ENTRIES] = {
    kBlockLimit, kNumLimit, kBlockLimit, kNumLimit, kBlockLimit, kNumLimit, kBlockLimit, kNumLimit,
    kBlockLimit, kNumLimit, kBlockLimit, kNumLimit, kBlockLimit, kNumLimit, kBlockLimit, kNumLimit,
    kBlockLimit, kNumLimit, kBlockLimit, kNumLimit, kBlockLimit, kNumLimit, kBlockLimit, kNumLimit,
    kBlockLimit, kNumLimit, kBlockLimit, kNumLimit, kBlockLimit, kNumLimit, kBlockLimit, kNumLimit};
constexpr FbLimitTable kMbdataLimits{.wordValues = kMbdataValueLimits};

constexpr FbBlockRange kMbdataBlocks[] = {{56, 60}, {0, 0}};

// Entry i (0-based) of a request id 300 + i or -(300 + i); -1 for other ids.
int entryOf(int16_t id) {
  const int i = (id < 0 ? -id : id) - MBDATA_ID_ENTRY1;
  return i >= 0 && i < static_cast<int>(MBDATA_ENTRIES) ? i : -1;
}

// A write through entry e: the request goes to the target's parameter handler as the
// target's own request, and comes back with its block number and id. A word target takes
// the value as a whole number; a value that does not fit 16 bits (or NaN) is refused rather
// than wrapped.
uint8_t forward(FbParamRequest* r, uint16_t* badIndex, const BlkParamLink& e) {
  const FbParamHandler handler = e.size ? BLK_ParamHandlerOf(e.block) : nullptr;
  if (!handler) return FB_ERR_NOT_NOW;
  if (e.size == BLK_LINK_WORD) {
    const float t = std::trunc(r->f32(FB_REQUEST_VALUE));
    if (!(t >= -32768.0f && t <= 32767.0f)) return FB_ERR_LIMITS;
    r->setU16(FB_REQUEST_VALUE, static_cast<uint16_t>(static_cast<int16_t>(t)));
  }
  const uint16_t block = r->block();
  const int16_t id = r->id();
  r->setU16(0, e.block);
  r->setU16(2, static_cast<uint16_t>(e.id));
  const uint8_t result = handler(r, badIndex);
  r->setU16(0, block);
  r->setU16(2, static_cast<uint16_t>(id));
  return result;
}

}  // namespace

void FB_MBDATA_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const MbdataState& s = BLK_WorkState<MbdataState>(L);
  for (unsigned i = 0; i < MBDATA_ENTRIES; ++i) L.ao[i] = BLK_ReadParamLink(s.entry[i]);
}

// The mapping is fixed here: block and number changes take effect at the next start-up pass.
void FB_MBDATA_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BLK_TakeOverWordValues(L);
  MbdataState& s = BLK_WorkState<MbdataState>(L);
  for (unsigned i = 0; i < MBDATA_ENTRIES; ++i) {
    s.entry[i] = BLK_LinkParam(L.wv[2 * i], L.wv[2 * i + 1]);
  }
}

uint8_t FB_MBDATA_Param(FbParamRequest* r, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  if (!r) return FB_ERR_UNKNOWN_ID;
  FbLayout L;
  if (!FB_GetLayout(r->block(), &L) || L.type != BLK_TYPE_MBDATA) return FB_ERR_NO_BLOCK;
  const int16_t id = r->id();
  if (id >= FB_ID_WORD_VALUE && id < FB_ID_WORD_VALUE + 2 * MBDATA_ENTRIES) {
    return FB_ParamWordValue(L.block, static_cast<uint16_t>(id - FB_ID_WORD_VALUE),
                             r->u16(FB_REQUEST_VALUE));
  }
  if (id == FB_ID_ALL_VALUES) return FB_ParamAllValues(r, badIndex);
  const int i = entryOf(id);
  if (i < 0) return FB_ERR_UNKNOWN_ID;
  const BlkParamLink& e = BLK_WorkState<MbdataState>(L).entry[i];
  if (id > 0) return forward(r, badIndex, e);
  r->setF32(FB_REQUEST_VALUE, BLK_ReadParamLink(e));
  g_fbReadLength = 4;
  return FB_OK;
}

namespace exchange {

void registerMbdataType() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kMbdataTemplate, FB_MBDATA_Run, FB_MBDATA_Init, FB_MBDATA_Param, &kMbdataLimits, 5,
        kGroupExchange},
       kMbdataBlocks, 0},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}

}  // namespace exchange
