// L1READ and L1WRIT, the level-1 data interface of blocks 1..20, and the family's rows.
#include <cmath>

#include "blocks/block_family.h"
#include "blocks/exchange/exchange.h"
#include "blocks/exchange/exchange_internal.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_image.h"
#include "runtime/fw_numeric.h"

using exchange::L1ReadState;
using exchange::L1WritState;

namespace {

constexpr const char* kL1readTexts[] = {"L1READ"};
constexpr const char* kL1writTexts[] = {"L1WRIT"};

constexpr FbTemplate kL1readTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_L1READ, .analogInputs = 7, .digitalInputs = 12, .texts = kL1readTexts,
     .workWords = BLK_WorkWordsOf<L1ReadState>()});
constexpr FbTemplate kL1writTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_L1WRIT, .analogOutputs = 8, .digitalOutputs = 15, .texts = kL1writTexts,
     .workWords = BLK_WorkWordsOf<L1WritState>()});

constexpr FbBlockRange kLevel1Blocks[] = {{1, 20}, {0, 0}};

// The largest value the interface shows or takes, and the smallest it takes.
constexpr float kShownMax = 999999.0f;
constexpr FwFloatLimit kWrittenFloat{.min = -29999.0f, .max = kShownMax};

// A read's answer: the value from offset 4 and its length.
void answerByte(FbParamRequest* r, uint8_t v) {
  r->setU8(FB_REQUEST_VALUE, v);
  g_fbReadLength = 1;
}
void answerFloat(FbParamRequest* r, float v) {
  r->setF32(FB_REQUEST_VALUE, v);
  g_fbReadLength = 4;
}

uint8_t packBits(const FbLayout& L, unsigned first, unsigned count) {
  uint8_t bits = 0;
  for (unsigned i = 0; i < count; ++i) {
    if (BLK_DigitalIn(L, first + i)) bits = static_cast<uint8_t>(bits | 1u << i);
  }
  return bits;
}

// The copies that feed the outputs, from the received data: bit i of the mask to copy i + 1.
void refreshCopies(L1WritState& s) {
  for (unsigned i = 0; i < 15; ++i) s.digital[i] = (s.mask >> i) & 1u;
  for (unsigned i = 0; i < 8; ++i) s.analog[i] = s.values[i].get();
}

}  // namespace

// ---------------------------------------------------------------------------------------
// L1READ

void FB_L1READ_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L1ReadState& s = BLK_WorkState<L1ReadState>(L);
  s.a = packBits(L, 0, 6);
  s.b = packBits(L, 6, 6);
}

void FB_L1READ_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BLK_WorkState<L1ReadState>(L) = L1ReadState{};
}

// Reads only: 0 byte A, -1 byte B, -2..-8 the analog inputs limited to at most 999999.
uint8_t FB_L1READ_Param(FbParamRequest* r, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  if (!r) return FB_ERR_UNKNOWN_ID;
  FbLayout L;
  if (!FB_GetLayout(r->block(), &L) || L.type != BLK_TYPE_L1READ) return FB_ERR_NO_BLOCK;
  const L1ReadState& s = BLK_WorkState<L1ReadState>(L);
  const int16_t id = r->id();
  if (id == 0) {
    answerByte(r, s.a);
  } else if (id == -1) {
    answerByte(r, s.b);
  } else if (id <= -2 && id >= -8) {
    const float x = BLK_AnalogIn(L, static_cast<unsigned>(-id - 2));
    answerFloat(r, x > kShownMax ? kShownMax : x);
  } else {
    return FB_ERR_UNKNOWN_ID;
  }
  return FB_OK;
}

// ---------------------------------------------------------------------------------------
// L1WRIT

// The outputs show the copies first; a change received since the last run refreshes the
// copies only afterwards, so that it reaches the outputs one run later.
void FB_L1WRIT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L1WritState& s = BLK_WorkState<L1WritState>(L);
  for (unsigned i = 0; i < 15; ++i) L.dout[i] = s.digital[i];
  for (unsigned i = 0; i < 8; ++i) L.ao[i] = s.analog[i].get();
  if (s.changed) {
    s.changed = 0;
    refreshCopies(s);
  }
}

// A warm start rebuilds the received data from the copies the outputs came from; a cold start
// applies whatever the data hold.
void FB_L1WRIT_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L1WritState& s = BLK_WorkState<L1WritState>(L);
  s.changed = 0;
  if (!BLK_ColdStart()) {
    s.mask = 0;
    for (unsigned i = 0; i < 15; ++i) {
      if (s.digital[i]) s.mask = static_cast<uint16_t>(s.mask | 1u << i);
    }
    for (unsigned i = 0; i < 8; ++i) s.values[i] = s.analog[i].get();
  }
  refreshCopies(s);
}

// 300 the mask (a whole number 0..32767), 301..308 the floats (-29999..999999); -300..-308
// read them. A value equal to the received one answers 0 and changes nothing.
uint8_t FB_L1WRIT_Param(FbParamRequest* r, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  if (!r) return FB_ERR_UNKNOWN_ID;
  FbLayout L;
  if (!FB_GetLayout(r->block(), &L) || L.type != BLK_TYPE_L1WRIT) return FB_ERR_NO_BLOCK;
  L1WritState& s = BLK_WorkState<L1WritState>(L);
  const int16_t id = r->id();
  if (id == -L1WRIT_ID_MASK) {
    answerFloat(r, s.mask);
    return FB_OK;
  }
  if (id <= -L1WRIT_ID_FLOAT1 && id >= -(L1WRIT_ID_FLOAT1 + 7)) {
    answerFloat(r, s.values[-id - L1WRIT_ID_FLOAT1].get());
    return FB_OK;
  }
  const float v = r->f32(FB_REQUEST_VALUE);
  if (id == L1WRIT_ID_MASK) {
    // Truncated toward zero; NaN and values past the 15 bits are refused, not wrapped.
    const float t = std::trunc(v);
    if (!(t >= 0.0f && t <= L1WRIT_MASK_MAX)) return FB_ERR_LIMITS;
    const auto mask = static_cast<uint16_t>(t);
    if (mask != s.mask) s.mask = mask, s.changed = 1;
    return FB_OK;
  }
  if (id >= L1WRIT_ID_FLOAT1 && id <= L1WRIT_ID_FLOAT1 + 7) {
    if (!FW_CheckFloatLimit(v, &kWrittenFloat, L.block)) return FB_ERR_LIMITS;
    FbF32& value = s.values[id - L1WRIT_ID_FLOAT1];
    if (value.get() != v) value = v, s.changed = 1;
    return FB_OK;
  }
  return FB_ERR_UNKNOWN_ID;
}

// ---------------------------------------------------------------------------------------

namespace exchange {

void registerLevel1Types() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kL1readTemplate, FB_L1READ_Run, FB_L1READ_Init, FB_L1READ_Param, nullptr, 2,
        kGroupExchange},
       kLevel1Blocks, 0},
      {{&kL1writTemplate, FB_L1WRIT_Run, FB_L1WRIT_Init, FB_L1WRIT_Param, nullptr, 2,
        kGroupExchange},
       kLevel1Blocks, 0},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}

}  // namespace exchange

// The types of blocks 1..20, 11..14 and 56..60 run in time groups like any other block; they
// only take their own block numbers (no fixed place).
void BLK_RegisterExchangeTypes() {
  exchange::registerLevel1Types();
  exchange::registerFieldbusTypes();
  exchange::registerMbdataType();
}
