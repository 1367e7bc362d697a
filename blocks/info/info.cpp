// INFO and CALLPG, and the family's rows.
#include <algorithm>
#include <iterator>

#include "blocks/block_family.h"
#include "blocks/info/info.h"
#include "blocks/info/info_internal.h"
#include "blocks/info/info_links.h"
#include "runtime/fb_store.h"

using info::CallpgState;
using info::kGroupPages;

namespace {

constexpr const char* kInfoTexts[INFO_TEXTS] = {
    ">INFORMATION  1<", ">INFORMATION  2<", ">INFORMATION  3<", ">INFORMATION  4<",
    ">INFORMATION  5<", ">INFORMATION  6<", ">INFORMATION  7<", ">INFORMATION  8<",
    ">INFORMATION  9<", ">INFORMATION 10<", ">INFORMATION 11<", ">INFORMATION 12<"};
constexpr const char* kCallpgTexts[] = {"CALLPG"};

constexpr FbTemplate kInfoTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_INFO, .digitalInputs = INFO_TEXTS + 1, .texts = kInfoTexts,
     .workWords = BLK_WorkWordsOf<InfoPageRecord>()});
constexpr FbTemplate kCallpgTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_CALLPG, .analogInputs = 1, .digitalInputs = 1, .texts = kCallpgTexts,
     .workWords = BLK_WorkWordsOf<CallpgState>()});

constexpr unsigned kInfoHide = INFO_TEXTS;   // digital input after d 1..d 12

// The block types with an operating page: APROG, DPROG, CONTR, CONTR+, PIDMA, VWERT, VBAR,
// VPARA, VTREND, VALARM, VUSER.
constexpr uint16_t kPageTypes[] = {24, 27, 90, 91, 93, 96, 97, 98, 99, 109, 180};

}  // namespace

bool INFO_HasOperatingPage(uint16_t type) {
  return std::find(std::begin(kPageTypes), std::end(kPageTypes), type) != std::end(kPageTypes);
}

// ---------------------------------------------------------------------------------------
// INFO

void FB_INFO_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  InfoPageRecord& p = BLK_WorkState<InfoPageRecord>(L);
  const bool hide = BLK_DigitalIn(L, kInfoHide) != 0;
  for (unsigned i = 0; i < INFO_TEXTS; ++i) p.shown[i] = !hide && BLK_DigitalIn(L, i) ? 1 : 0;
}

void FB_INFO_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  InfoPageRecord& p = BLK_WorkState<InfoPageRecord>(L);
  p = InfoPageRecord{};
  p.header.type = BLK_TYPE_INFO;
  for (unsigned i = 0; i < INFO_TEXTS && i < L.texts; ++i) {
    FW_MemCopy(p.texts[i], L.text + FB_TEXT_LEN * i, FB_TEXT_LEN);
  }
  g_fbStore.list[L.block].pageData = &p;
}

// ---------------------------------------------------------------------------------------
// CALLPG: on each rising edge of d1, asks for the operating page of block Bl-no.

void FB_CALLPG_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  CallpgState& s = BLK_WorkState<CallpgState>(L);
  const uint16_t v = BLK_DigitalIn(L, 0);
  s.lastInput = v;
  if (v == 0) {
    s.edge = 0;
    return;
  }
  if (s.edge) return;
  s.edge = v;
  s.requestMade = 1;
  // The number is checked before it is converted, so that a negative or huge value cannot
  // wrap into the number of another block.
  const float number = BLK_AnalogIn(L, 0);
  if (!(number >= 0.0f && number <= FB_MAX_BLOCK)) return;
  const auto b = static_cast<uint16_t>(number);
  const uint16_t* inst = FB_GetInstance(b);
  if (!inst) return;
  s.targetType = inst[FB_HDR_TYPE];
  if (!INFO_HasOperatingPage(s.targetType)) return;
  s.targetBlock = b;
  if (OpShownPageBlock != b) OpPageRequest = b;
}

void FB_CALLPG_Init() {}

// ---------------------------------------------------------------------------------------

namespace info {

void registerInfoTypes() {
  static constexpr FbBlockRange kInfoBlock[] = {{INFO_BLOCK, INFO_BLOCK}, {0, 0}};
  static constexpr FbBlockRange kCallpgBlock[] = {{CALLPG_BLOCK, CALLPG_BLOCK}, {0, 0}};
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kInfoTemplate, FB_INFO_Run, FB_INFO_Init, BLK_RefuseParams, nullptr, 3, kGroupPages},
       kInfoBlock, 102},
      {{&kCallpgTemplate, FB_CALLPG_Run, FB_CALLPG_Init, BLK_RefuseParams, nullptr, 1,
        kGroupPages},
       kCallpgBlock, 100},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}

}  // namespace info

// Each type is bound to its one block number, which runs in the scheduler's fixed-block
// passes.
void BLK_RegisterInfoTypes() {
  info::registerInfoTypes();
  info::registerStatusType();
  info::registerConstType();
}
