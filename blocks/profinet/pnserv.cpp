// PNSERV: moves the values of its PNREAD chains into the PROFINET link's output areas and
// the link's input areas into its PNWRIT chains, and shows the link's data type.
#include <cmath>

#include "blocks/block_family.h"
#include "blocks/profinet/pn_internal.h"
#include "blocks/profinet/profinet.h"
#include "comm/com_card.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr const char* kPnservTexts[] = {"PNSERV"};
constexpr FbTemplate kPnservTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_PNSERV, .analogOutputs = 1, .digitalOutputs = 1,
     .analogInputs = PNSERV_CHAINS, .texts = kPnservTexts,
     .workWords = BLK_WorkWordsOf<PnServState>()});

// Chain c (0..7) serves area c of the link: the four output areas, then the four input areas.
constexpr ComPnArea areaOf(unsigned chain) { return static_cast<ComPnArea>(COM_PN_OUT_W20 + chain); }
static_assert(COM_PN_IN_W20 == COM_PN_OUT_W20 + PNSERV_READ_CHAINS);
// The acyclic 50-float chains of either side.
constexpr unsigned kAcyclicRead = 3, kAcyclicWrite = 7;
// The data type is valid while it has bits 0 and 2.
constexpr uint8_t kValidDataType = 0x05;

// A chain serves ten values per block, as many blocks as its area holds.
unsigned blocksOf(const ComPnAreaLayout& area) { return area.count / PN_VALUES; }

void resolveChains(const FbLayout& L, PnServState& s) {
  for (unsigned c = 0; c < PNSERV_CHAINS; ++c) {
    const uint16_t type = c < PNSERV_READ_CHAINS ? BLK_TYPE_PNREAD : BLK_TYPE_PNWRIT;
    s.head[c] = pn::chainSource(L.block, static_cast<uint16_t>(c + 1), type);
  }
  g_comPnLink.acyclicRequest =
      BLK_AnalogWired(L, kAcyclicRead) || BLK_AnalogWired(L, kAcyclicWrite) ? 1 : 0;
  s.resolved = 1;
}

// The output areas carry the values alone: the data area has no flag beside them (only the
// input areas have valid flags), so a filled area is marked by nothing but its values.
void fillOutputArea(uint16_t head, ComPnArea a) {
  const ComPnAreaLayout& area = g_comPnLayout[a];
  pn::walkChain<PnReadState>(head, BLK_TYPE_PNREAD, blocksOf(area),
                             [&](const PnReadState& r, unsigned k) {
    for (unsigned j = 0; j < PN_VALUES; ++j) {
      const uint32_t i = k * PN_VALUES + j;
      const float v = r.slot[j].get();
      if (area.size == 2) {
        COM_PnSetWord(a, i, FW_FloatToI16(std::round(v)));
      } else {
        COM_PnSetFloat(a, i, v);
      }
    }
  });
}

void takeInputArea(uint16_t head, ComPnArea a) {
  const ComPnAreaLayout& area = g_comPnLayout[a];
  const bool valid = COM_PnValid(a);
  pn::walkChain<PnWritState>(head, BLK_TYPE_PNWRIT, blocksOf(area),
                             [&](PnWritState& w, unsigned k) {
    for (unsigned j = 0; j < PN_VALUES; ++j) {
      const uint32_t i = k * PN_VALUES + j;
      float v = 0.0f;
      if (valid) v = area.size == 2 ? static_cast<float>(COM_PnWord(a, i)) : COM_PnFloat(a, i);
      w.received[j] = v;
    }
    w.present = valid ? 1 : 0;
  });
}

}  // namespace

void FB_PNSERV_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  PnServState& s = BLK_WorkState<PnServState>(L);
  if (!s.resolved) resolveChains(L, s);
  for (unsigned c = 0; c < PNSERV_READ_CHAINS; ++c) fillOutputArea(s.head[c], areaOf(c));
  for (unsigned c = PNSERV_READ_CHAINS; c < PNSERV_CHAINS; ++c) takeInputArea(s.head[c], areaOf(c));
  const uint8_t dataType = COM_PnDataType();
  L.ao[0] = dataType;
  L.dout[0] = (dataType & kValidDataType) == kValidDataType ? 1 : 0;
}

void FB_PNSERV_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BLK_WorkState<PnServState>(L) = PnServState{};
}

namespace pn {

void registerServType() {
  static constexpr BlkTypeRow kRows[] = {
      {&kPnservTemplate, FB_PNSERV_Run, FB_PNSERV_Init, BLK_RefuseParams, nullptr, 3,
       kGroupExchange},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}

}  // namespace pn
