// The steps every module block shares (the claim of a slot, the phase steps of a run), and
// what the family tells the module link.
#include <algorithm>
#include <cmath>

#include "blocks/remoteio/rio_internal.h"

namespace rio {
namespace {

constexpr uint16_t kHeadWords = sizeof(ModuleHead) / 2;
constexpr uint16_t kEntryWords = sizeof(RioConfigEntry) / 2;
constexpr uint16_t kObjSensorType = 0x6110;

bool isModuleType(uint16_t type) {
  return (type >= BLK_TYPE_TQ_DI && type <= BLK_TYPE_TQ_AIPLUS) || type == BLK_TYPE_TQ_DMS;
}

void markRequested(RioListView list) {
  for (uint16_t i = 0; i < *list.count; ++i) {
    list.entries[i].request = 1;
    list.entries[i].done = 0;
  }
}

void checkKind(const FbLayout& L, RioSlotRecord& r, RioListView list, KindRule accepts) {
  if (!accepts(L, r.kind, r.couplerClass)) {
    L.dout[kIdErr] = 1;
    r.slotState = RIO_SLOT_FAILED;
    for (uint16_t i = 0; i < *list.count; ++i) list.entries[i].request = 0;
    return;
  }
  L.dout[kIdErr] = 0;
  for (uint16_t i = 0; i < *list.count; ++i) {
    RioConfigEntry& e = list.entries[i];
    const uint8_t first = (e.channel & RIO_SECOND_GROUP) ? r.firstSub2 : r.firstSub;
    e.subIndex = static_cast<uint8_t>(first + (e.channel & ~RIO_SECOND_GROUP));
    // Couplers of class 0 take the sensor type's second byte as the range of the type.
    if (r.couplerClass == 0 && e.object() == kObjSensorType) e.data[1] = e.data[0] < 31 ? 0 : 64;
  }
  r.slotState = RIO_SLOT_CONFIGURED;
}

// --- the module link's calls ----------------------------------------------------------------

bool linkModule(uint16_t block, ComIoModule* out) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || L.type < BLK_TYPE_TQ_DI || L.type > BLK_TYPE_TQ_AIPLUS) return false;
  const ModuleHead* h = headOf(L);
  if (!h || L.analogInputs == 0) return false;
  *out = ComIoModule{};
  out->slotInput = BLK_AnalogIn(L, kSlotInput);
  out->claimed = h->claimed && !L.dout[kEtErr] ? 1 : 0;
  out->mode = static_cast<uint8_t>(std::min<uint16_t>(wv(L, kModuleType), UINT8_MAX));
  switch (L.type) {
    case BLK_TYPE_TQ_DI:
      for (uint16_t k = 0; k < 8; ++k) out->inversion |= static_cast<uint8_t>((wv(L, 1 + k) ? 1u : 0u) << k);
      break;
    case BLK_TYPE_TQ_DO:
      for (uint16_t k = 0; k < 8; ++k) out->inversion |= static_cast<uint8_t>((wv(L, 1 + 3 * k) ? 1u : 0u) << k);
      break;
    case BLK_TYPE_TQ_AO:
      for (uint16_t k = 0; k < COM_SLOT_CHANNELS; ++k) {
        out->signalType[k] = static_cast<uint8_t>(std::min<uint16_t>(wv(L, 1 + k), UINT8_MAX));
      }
      break;
    default:   // TQ_AI, TQ_AI+
      for (uint16_t k = 0; k < COM_SLOT_CHANNELS; ++k) {
        out->signalType[k] = static_cast<uint8_t>(std::min<uint16_t>(wv(L, 1 + 2 * k), UINT8_MAX));
        out->downscale[k] = wv(L, 9 + k) == 1 ? 1 : 0;
        out->x0[k] = lv(L, 3 * k + 1);
        out->x100[k] = lv(L, 3 * k + 2);
      }
      break;
  }
  return true;
}

bool linkSlot(uint16_t coupler, uint8_t slot, ComIoSlotView* out) {
  RioCouplerState* s = BLK_RioCouplerState(coupler);
  if (!s || slot >= COM_SLOTS) return false;
  RioSlotRecord& r = s->slot[slot];
  *out = ComIoSlotView{&r.kind, r.input, r.channelStatus, r.output, s->raw[slot]};
  return true;
}

ComBusRequest* linkRequest(uint16_t coupler) {
  RioCouplerState* s = BLK_RioCouplerState(coupler);
  return s ? &s->request : nullptr;
}

const ComIoBlockAccess kLinkAccess{linkModule, linkSlot, linkRequest};

}  // namespace

ModuleHead* headOf(const FbLayout& L) {
  if (!isModuleType(L.type) || L.workWords < kHeadWords + 1) return nullptr;
  return &BLK_WorkState<ModuleHead>(L);
}

RioListView listOf(const FbLayout& L) {
  if (!headOf(L)) return {};
  uint16_t* count = L.work + kHeadWords;
  if (*count > RIO_MAX_ENTRIES || kHeadWords + 1u + *count * kEntryWords > L.workWords) return {};
  return {count, reinterpret_cast<RioConfigEntry*>(count + 1)};
}

RioSlotRecord* slotOf(const ModuleHead& h) {
  return h.claimed ? BLK_RioSlotRecord(h.coupler, h.slot) : nullptr;
}

bool initModule(const FbLayout& L, ModuleHead& h, RioListView list, RioConfigEntry* command) {
  std::copy(L.wv + L.wordValues, L.wv + 2 * L.wordValues, L.wv);
  std::copy(L.lv + L.longValues, L.lv + 2 * L.longValues, L.lv);
  std::fill(L.dout, L.dout + L.digitalOutputs, uint16_t{0});
  for (uint16_t i = 0; i < L.analogOutputs; ++i) L.ao[i] = 0.0f;
  h = ModuleHead{};
  uint16_t coupler = 0;
  uint8_t slot = 0;
  RioSlotRecord* r = nullptr;
  // "Slot x" must carry a slot address of an existing C_TQ5x block.
  if (L.analogInputs > 0 && L.ai[kSlotInput] != FB_REF_ZERO &&
      COM_DecodeSlotAddress(BLK_AnalogIn(L, kSlotInput), &coupler, &slot)) {
    r = BLK_RioSlotRecord(coupler, slot);
  }
  const uint32_t own = BLK_HandleOf(list.count);
  // The block initialised first owns the slot (a block initialised again keeps its own claim).
  if (!r || !list.count || own == 0 || (r->claimed && r->configList != own)) {
    L.dout[kEtErr] = 1;
    return false;
  }
  r->claimed = 1;
  r->configList = own;
  r->command = command ? BLK_HandleOf(command) : 0;
  h.coupler = coupler;
  h.slot = slot;
  h.claimed = 1;
  return true;
}

bool expectedKind(const FbLayout& L, uint8_t reported, uint8_t couplerClass) {
  const auto mode = static_cast<uint8_t>(std::min<uint16_t>(wv(L, kModuleType), UINT8_MAX));
  const int16_t want = COM_ModuleKind(L.type, mode);
  const bool either = (want == COM_KIND_TQ_AI && reported == COM_KIND_TQ_AI_V) ||
                      (want == COM_KIND_TQ_AI_V && reported == COM_KIND_TQ_AI);
  const bool thermocouples = reported == COM_KIND_TQ_AI_TC2 || reported == COM_KIND_TQ_AI_TC ||
                             reported == COM_KIND_TQ_AI_MIXED;
  return (reported == want || either) && !(thermocouples && couplerClass >= RIO_CLASS_20);
}

ModuleStep modulePhase(const FbLayout& L, ModuleHead& h, RioListView list, const ModuleRules& rules) {
  RioSlotRecord* r = L.dout[kEtErr] || !list.count ? nullptr : slotOf(h);
  if (!r) return {0, nullptr};
  L.dout[kValid] = L.dout[kIdErr] ? 0 : r->moduleValid;
  const uint8_t last = h.lastPhase, now = r->phase;
  const bool restarted = now < last;
  if (last <= RIO_START || restarted) {
    rules.build(L);
    markRequested(list);
  }
  if ((last <= RIO_IDENTITY || restarted) && now == RIO_CONFIGURE) checkKind(L, *r, list, rules.accepts);
  h.lastPhase = now;
  return {last, r};
}

int16_t CodeSet::next(int16_t x) const {
  for (uint8_t c : codes) {
    if (c >= x) return c;
  }
  return codes.back();
}

int16_t CodeSet::previous(int16_t e) const {
  int16_t prev = codes.front();
  for (uint8_t c : codes) {
    if (c >= e) break;
    prev = c;
  }
  return prev;
}

Correction correctionOf(const FbLayout& L, uint16_t channel) {
  Correction c;
  c.d = 1.0f;
  c.o = 0.0f;
  const uint16_t k = static_cast<uint16_t>(4 * channel);
  if (k + 3 >= L.floatParams) return c;
  const float x1in = L.fp[k], x1out = L.fp[k + 1], x2in = L.fp[k + 2], x2out = L.fp[k + 3];
  float d = x1in != x2in ? (x2out - x1out) / (x2in - x1in) : 1.0f;
  if (!std::isfinite(d)) d = 1.0f;
  const float o = x1out - x1in * d;
  c.d = d;
  c.o = std::isfinite(o) ? o : 0.0f;
  return c;
}

}  // namespace rio

using namespace rio;

RioListView BLK_RioConfigList(uint16_t block) {
  FbLayout L;
  return FB_GetLayout(block, &L) ? listOf(L) : RioListView{};
}

void BLK_RegisterRemoteIoTypes() {
  registerCoupler();
  registerDigitalModules();
  registerAnalogModules();
  registerStrainGauge();
  COM_SetIoBlockAccess(&kLinkAccess);
}
