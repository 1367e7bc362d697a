// VPARA: a page of six parameters of other blocks. A "store" edge writes the inputs X i into
// those parameters through the deferred-call ring, as requests of the targets' own types.
#include <bit>
#include <cmath>

#include "blocks/visual/visual_internal.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_image.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr unsigned kRows = FB_PARAM_PAGE_LINES;

constexpr const char* kTexts[] = {"VPARA",  "Para 1", "Unit 1", "Para 2", "Unit 2",
                                  "Para 3", "Unit 3", "Para 4", "Unit 4", "Para 5",
                                  "Unit 5", "Para 6", "Unit 6"};
// Block i, Num i: no block, parameter number 1.
constexpr uint16_t kValues[2 * kRows] = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1};
constexpr FbTemplate kTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_VPARA, .analogOutputs = kRows + 1, .digitalOutputs = kRows,
     .analogInputs = kRows, .digitalInputs = 3, .wordValues = kValues, .texts = kTexts,
     .workWords = BLK_WorkWordsOf<VparaPage>()});

constexpr FwShortLimit kBlockLimit{.min = 0, .max = FB_MAX_BLOCK};
constexpr FwShortLimit kNumLimit{.min = 1, .max = 99};
constexpr FwShortLimit kValueLimits[2 * kRows] = {kBlockLimit, kNumLimit, kBlockLimit, kNumLimit,
                                                  kBlockLimit, kNumLimit, kBlockLimit, kNumLimit,
                                                  kBlockLimit, kNumLimit, kBlockLimit, kNumLimit};
constexpr FbLimitTable kLimits{.wordValues = kValueLimits};

// Bit 3 of the engineering status byte: data were changed through an interface (the
// system-data block reports it and clears it).
constexpr uint8_t kStatusChanged = 0x08;
constexpr uint8_t kNoHandler = 1;   // result of a row with a target it cannot write

// The row's label: the first ten characters of its text and the first six of its unit.
void rowLabel(char (&to)[16], const FbLayout& L, unsigned i) {
  char text[FB_TEXT_LEN], unit[FB_TEXT_LEN];
  vis::copyText(text, L, 1 + 2 * i);
  vis::copyText(unit, L, 2 + 2 * i);
  FW_MemCopy(to, text, 10);
  FW_MemCopy(to + 10, unit, 6);
}

// The request data of a write of x: a word target's whole number (truncated), refused when
// it does not fit 16 bits or is NaN, or the float. False when refused.
bool requestData(const VparaRow& row, float x, uint8_t (&data)[4]) {
  uint32_t bits = 0;
  if (row.target.size == BLK_LINK_WORD) {
    const float t = std::trunc(x);
    if (!(t >= -32768.0f && t <= 32767.0f)) return false;
    bits = static_cast<uint16_t>(static_cast<int16_t>(t));
  } else {
    bits = std::bit_cast<uint32_t>(x);
  }
  for (unsigned b = 0; b < 4; ++b) data[b] = static_cast<uint8_t>(bits >> (8 * b));
  return true;
}

// Posts the waiting write of a row: false while the ring has no room (the request stays).
bool postRow(VparaRow& row, float x) {
  const FbParamHandler handler = BLK_ParamHandlerOf(row.target.block);
  uint8_t data[4] = {};
  if (!handler) {
    row.result = FB_ERR_NO_BLOCK;
  } else if (!requestData(row, x, data)) {
    row.result = FB_ERR_LIMITS;
  } else {
    const uint8_t posted =
        FW_PostDeferredCall(row.target.block, row.target.id, data, sizeof data, handler, &row.result);
    if (posted == FW_POST_FULL) return false;
    if (posted == FW_POST_OK) g_fwEng.status |= kStatusChanged;
  }
  row.send = 0;
  return true;
}

}  // namespace

void FB_VPARA_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BLK_TakeOverWordValues(L);
  VparaPage& p = BLK_WorkState<VparaPage>(L);
  p = VparaPage{};
  vis::initHeader(*reinterpret_cast<OpBlockPageData*>(&p.page), L, BLK_TYPE_VPARA, VPARA_DI_HIDE,
                  VPARA_DI_LOCK, &p);
  vis::copyText(p.title, L, 0);
  for (unsigned i = 0; i < kRows; ++i) {
    const uint16_t block = L.wv[2 * i], number = L.wv[2 * i + 1];
    if (block < 1 || block > FB_MAX_BLOCK) continue;   // the row stays empty
    FbParamPageLine& line = p.page.lines[i];
    line.block = block;
    line.item = number;
    rowLabel(line.text, L, i);
    VparaRow& row = p.rows[i];
    row.target = BLK_LinkParam(block, number);
    if (row.target.block == 0 && FB_GetInstance(block)) row.target.block = block;  // number 0
    row.handler = BLK_AnalogWired(L, i) && row.target.size != BLK_LINK_NONE &&
                          BLK_ParamHandlerOf(row.target.block)
                      ? 1
                      : 0;
  }
  p.lastStore = BLK_DigitalIn(L, VPARA_DI_STORE);
  for (unsigned i = 0; i < kRows; ++i) {
    L.ao[i] = FW_ClampValue(BLK_ReadParamLink(p.rows[i].target));
    L.dout[i] = 0;
  }
  L.ao[VPARA_AO_BLNO] = static_cast<float>(L.block);
}

void FB_VPARA_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  VparaPage& p = BLK_WorkState<VparaPage>(L);
  vis::runHeader(*reinterpret_cast<OpBlockPageData*>(&p.page), L, VPARA_DI_HIDE, VPARA_DI_LOCK);
  if (vis::risingEdge(p.lastStore, BLK_DigitalIn(L, VPARA_DI_STORE))) {
    for (VparaRow& row : p.rows) {
      if (row.handler) {
        row.send = 1;
      } else if (row.target.block) {
        row.result = kNoHandler;
      }
    }
  }
  bool room = true;
  for (unsigned i = 0; i < kRows && room; ++i) {
    if (p.rows[i].send) room = postRow(p.rows[i], BLK_AnalogIn(L, i));
  }
  for (unsigned i = 0; i < kRows; ++i) {
    L.ao[i] = FW_ClampValue(BLK_ReadParamLink(p.rows[i].target));
    L.dout[i] = p.rows[i].result;
  }
}

namespace vis {

void registerVparaType() {
  static constexpr BlkTypeRow kRowsOfType[] = {
      {&kTemplate, FB_VPARA_Run, FB_VPARA_Init, FB_StandardParam, &kLimits, 4, kGroupPages},
  };
  BLK_RegisterTimeGroupTypes(kRowsOfType);
}

}  // namespace vis
