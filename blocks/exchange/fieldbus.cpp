// DPREAD and DPWRIT: the cyclic data of the fieldbus card, through the fieldbus exchange
// records that the card link swaps with the card.
#include "blocks/block_family.h"
#include "blocks/exchange/exchange.h"
#include "blocks/exchange/exchange_internal.h"
#include "comm/com_card.h"
#include "runtime/fb_store.h"

namespace {

constexpr const char* kDpreadTexts[] = {"DPREAD"};
constexpr const char* kDpwritTexts[] = {"DPWRIT"};

constexpr FbTemplate kDpreadTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_DPREAD, .digitalOutputs = 4, .analogInputs = 6, .digitalInputs = 16,
     .texts = kDpreadTexts});
constexpr FbTemplate kDpwritTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_DPWRIT, .analogOutputs = 6, .digitalOutputs = 21, .texts = kDpwritTexts});

constexpr uint16_t kFirstDpread = 1, kFirstDpwrit = 11;
constexpr FbBlockRange kDpreadBlocks[] = {{kFirstDpread, kFirstDpread + COM_FB_PAIRS - 1}, {0, 0}};
constexpr FbBlockRange kDpwritBlocks[] = {{kFirstDpwrit, kFirstDpwrit + COM_FB_PAIRS - 1}, {0, 0}};

// Digital outputs: DPREAD has the four error outputs only; DPWRIT z 1..z 16, the four error
// outputs, then "valid".
constexpr unsigned kDpwritErrors = 16, kDpwritValid = 20;

// Floats from the bus are taken in this range; others keep the output and clear "valid".
constexpr float kTakenMin = -29999.0f, kTakenMax = 999999.0f;

// The record of a block's pair (0..3), or -1 for a block outside its type's four numbers.
int pairOf(uint16_t block, uint16_t first) {
  const int k = static_cast<int>(block) - first;
  return k >= 0 && k < static_cast<int>(COM_FB_PAIRS) ? k : -1;
}

// The error outputs from bits 0..3 of the card's bus status byte.
void errorOutputs(uint16_t* out) {
  const uint8_t status = COM_CardBusStatus();
  for (unsigned i = 0; i < 4; ++i) out[i] = (status >> i) & 1u;
}

}  // namespace

// DPREAD block n fills record n: d 1..d 16 as the two digital bytes (bit 0 = channel 1),
// X 1..X 6 as the six big-endian floats.
void FB_DPREAD_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const int k = pairOf(L.block, kFirstDpread);
  if (k < 0) return;
  uint8_t* record = g_comFieldbus[COM_FB_FIRST_OUT + k];
  for (unsigned byte = 0; byte < 2; ++byte) {
    uint8_t bits = 0;
    for (unsigned i = 0; i < 8; ++i) {
      if (BLK_DigitalIn(L, 8 * byte + i)) bits = static_cast<uint8_t>(bits | 1u << i);
    }
    record[COM_FB_DIGITAL + byte] = bits;
  }
  for (uint32_t f = 0; f < COM_FB_FLOAT_COUNT; ++f) {
    COM_FieldbusSetFloat(record, f, BLK_AnalogIn(L, f));
  }
  errorOutputs(L.dout);
}

void FB_DPREAD_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (BLK_ColdStart()) FW_MemSet(L.dout, 0, 4 * sizeof(uint16_t));
}

// DPWRIT block n reads record n - 6. A float out of range (NaN included) keeps its output
// and makes the block's data invalid for this run; the card learns it from the block's
// data-invalid byte in record 0.
void FB_DPWRIT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const int k = pairOf(L.block, kFirstDpwrit);
  if (k < 0) return;
  const uint8_t* record = g_comFieldbus[COM_FB_FIRST_IN + k];
  for (unsigned i = 0; i < 16; ++i) L.dout[i] = (record[COM_FB_DIGITAL + i / 8] >> (i % 8)) & 1u;
  uint16_t valid = 1;
  for (uint32_t f = 0; f < COM_FB_FLOAT_COUNT; ++f) {
    const float v = COM_FieldbusFloat(record, f);
    if (v >= kTakenMin && v <= kTakenMax) {
      L.ao[f] = v;
    } else {
      valid = 0;
    }
  }
  L.dout[kDpwritValid] = valid;
  g_comFieldbus[0][COM_FB_INVALID + k] = valid ? 0 : 1;
  errorOutputs(L.dout + kDpwritErrors);
}

void FB_DPWRIT_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (!BLK_ColdStart()) return;
  FW_MemSet(L.ao, 0, L.analogOutputs * sizeof(FbF32));
  FW_MemSet(L.dout, 0, L.digitalOutputs * sizeof(uint16_t));
  if (const int k = pairOf(L.block, kFirstDpwrit); k >= 0) g_comFieldbus[0][COM_FB_INVALID + k] = 0;
}

namespace exchange {

void registerFieldbusTypes() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kDpreadTemplate, FB_DPREAD_Run, FB_DPREAD_Init, BLK_RefuseParams, nullptr, 4,
        kGroupExchange},
       kDpreadBlocks, 0},
      {{&kDpwritTemplate, FB_DPWRIT_Run, FB_DPWRIT_Init, BLK_RefuseParams, nullptr, 5,
        kGroupExchange},
       kDpwritBlocks, 0},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}

}  // namespace exchange
