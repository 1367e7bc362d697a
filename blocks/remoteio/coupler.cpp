// C_TQ5x: the bus master of one remote I/O coupler.
//
// A state machine over the coupler's node record (comm/com_bus.h): 1 waits until the node is
// known as a bus coupler, 2 reads the software version (the coupler class) and the kind of
// every slot and places the slots in the process data, 4 writes the modules' configuration
// lists and the guarding objects, 6 waits for the node to become operational, 7 exchanges the
// process data, the strain-gauge commands and the output status reads. Whenever the node is
// not known the block starts again at 1, and every module block re-requests its list; 3 is a
// fault kept until the next start-up pass. One bus request runs at a time.
#include <algorithm>
#include <cstring>

#include "blocks/remoteio/rio_internal.h"
#include "runtime/fw_sysdata.h"

namespace rio {
namespace {

// Digital outputs of the coupler.
enum : uint16_t { kCouplerEtErr = 0, kCouplerIdErr = 1, kCouplerValid = 2 };

constexpr const char* kTexts[] = {"C_TQ5x"};
constexpr uint16_t kValues[] = {32};   // NodeId
constexpr FbTemplate kTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_C_TQ5X, .analogOutputs = COM_SLOTS, .digitalOutputs = 3,
     .wordValues = kValues, .texts = kTexts, .workWords = BLK_WorkWordsOf<RioCouplerState>()});
// The slot records begin at the instance word that the slot addresses name.
static_assert(FB_LayoutWords(kTemplate) - 2 + offsetof(RioCouplerState, slot) / 2 ==
              COM_SLOT_ADDRESS_FIRST);

constexpr FwShortLimit kNodeLimit[] = {{.min = 2, .max = 42}};
constexpr FbLimitTable kLimits{.wordValues = kNodeLimit};
constexpr FbBlockRange kBlocks[] = {{COM_FIRST_COUPLER, COM_FIRST_COUPLER + COM_COUPLERS - 1}, {0, 0}};
constexpr uint16_t kFixedPlaceId = 16;

// Node kinds of a bus coupler.
constexpr uint8_t kFirstCouplerKind = 5, kLastCouplerKind = 7;

// Process-data objects of node n: received n + these, transmitted n + these.
constexpr uint16_t kReceived[RIO_RX_OBJECTS] = {0x180, 0x280, 0x180 + 42, 0x280 + 42, 0x180 + 84, 0x280 + 84};
constexpr uint16_t kTransmitted[RIO_TX_OBJECTS] = {0x200, 0x300, 0x200 + 42, 0x300 + 42, 0x200 + 84};
constexpr uint16_t kRxBytes = RIO_RX_OBJECTS * COM_BUS_OBJECT_BYTES;
constexpr uint16_t kTxBytes = RIO_TX_OBJECTS * COM_BUS_OBJECT_BYTES;

// The guarding objects written after the modules: {index, sub-index, length, value}.
struct GuardWrite {
  uint16_t index;
  uint8_t subIndex, length;
  uint16_t value;
};
constexpr GuardWrite kGuarding[] = {
    {RIO_OBJ_LIFE_TIME_FACTOR, 0, 1, 6},  {RIO_OBJ_GUARD_TIME, 0, 2, 1000},
    {RIO_OBJ_TRANSMIT_FIRST + 0, 3, 2, 1000}, {RIO_OBJ_TRANSMIT_FIRST + 1, 3, 2, 1000},
    {RIO_OBJ_TRANSMIT_FIRST + 2, 3, 2, 1000}, {RIO_OBJ_TRANSMIT_FIRST + 3, 3, 2, 1000},
    {RIO_OBJ_TRANSMIT_FIRST + 4, 3, 2, 1000}, {RIO_OBJ_TRANSMIT_FIRST + 5, 3, 2, 1000},
};
constexpr uint8_t kGuardStep = COM_SLOTS;   // state 4: steps from here write kGuarding

// Jobs of state 7.
enum : uint8_t { kJobNone = 0, kJobCommand = 1, kJobStatus = 2 };

// Where a slot's kind places it: its channel group, its channel count and its image bytes.
enum class Group : uint8_t { None, DigitalIn, DigitalOut, AnalogIn, AnalogOut, Gauge };
struct KindPlace {
  uint8_t kind;
  Group group;
  uint8_t channels;
};
constexpr KindPlace kPlaces[] = {
    {COM_KIND_TQ_DO, Group::DigitalOut, 1},    {COM_KIND_TQ_DO_4, Group::DigitalOut, 1},
    {COM_KIND_TQ_DI, Group::DigitalIn, 1},     {COM_KIND_TQ_DI_8, Group::DigitalIn, 1},
    {COM_KIND_TQ_DI_4, Group::DigitalIn, 1},   {COM_KIND_TQ_AI, Group::AnalogIn, 4},
    {COM_KIND_TQ_AI_V, Group::AnalogIn, 4},    {COM_KIND_TQ_AI_1, Group::AnalogIn, 4},
    {COM_KIND_TQ_AI_V1, Group::AnalogIn, 4},   {COM_KIND_TQ_AI_2, Group::AnalogIn, 4},
    {COM_KIND_TQ_AI_V2, Group::AnalogIn, 4},   {COM_KIND_TQ_AI_TC, Group::AnalogIn, 4},
    {COM_KIND_TQ_AI_TC2, Group::AnalogIn, 2},  {COM_KIND_TQ_AI_MIXED, Group::AnalogIn, 2},
    {COM_KIND_TQ_AO, Group::AnalogOut, 4},     {COM_KIND_TQ_AO_1, Group::AnalogOut, 4},
    {COM_KIND_TQ_AO_2, Group::AnalogOut, 4},   {COM_KIND_TQ_DMS, Group::Gauge, 2},
};
KindPlace placeOf(uint8_t kind) {
  for (const KindPlace& p : kPlaces) {
    if (p.kind == kind) return p;
  }
  return {kind, Group::None, 0};
}

RioCouplerState* stateOf(const FbLayout& L) {
  if (L.type != BLK_TYPE_C_TQ5X || L.workWords < BLK_WorkWordsOf<RioCouplerState>()) return nullptr;
  return &BLK_WorkState<RioCouplerState>(L);
}

// The configuration list a slot record names: its handle must name a count word inside the
// instance heap with the entries after it.
RioListView listOf(const RioSlotRecord& r) {
  const uint32_t h = r.configList;
  if (h == 0 || h >= FB_INSTANCE_HEAP_WORDS) return {};
  uint16_t* count = &g_fbStore.instanceHeap[h];
  const uint32_t words = 1u + static_cast<uint32_t>(*count) * (sizeof(RioConfigEntry) / 2);
  if (*count > RIO_MAX_ENTRIES || h + words > FB_INSTANCE_HEAP_WORDS) return {};
  return {count, reinterpret_cast<RioConfigEntry*>(count + 1)};
}
RioConfigEntry* commandOf(const RioSlotRecord& r) {
  const uint32_t h = r.command;
  if (h == 0 || h + sizeof(RioConfigEntry) / 2 > FB_INSTANCE_HEAP_WORDS) return nullptr;
  return reinterpret_cast<RioConfigEntry*>(&g_fbStore.instanceHeap[h]);
}

// --- the running request --------------------------------------------------------------------

// Prepares the coupler's request (started by the next requestStep).
void prepare(RioCouplerState& s, uint16_t node, uint16_t index, uint8_t sub, uint8_t length,
             const uint8_t* data, bool read) {
  s.request = ComBusRequest{};
  s.request.node = node;
  s.request.index = index;
  s.request.subIndex = sub;
  s.request.length = length;
  if (data) std::memcpy(s.request.data, data, std::min<size_t>(length, sizeof s.request.data));
  s.reading = read ? 1 : 0;
  s.pending = 1;
  s.counter = 0;
}

enum class Step : uint8_t { Wait, Done, Failed, TimedOut };

// One cycle of the running request: a start not yet accepted is tried again (at most ten
// cycles), an accepted one is waited for (at most nine cycles).
Step requestStep(RioCouplerState& s) {
  uint8_t& r = s.counter;
  if (r < RIO_START_ATTEMPTS) {
    if ((s.reading ? COM_BusStartReadRequest : COM_BusStartRequest)(&s.request)) {
      r = RIO_AWAITING;
      return Step::Wait;
    }
    s.request.state = COM_REQ_FREE;
    if (++r < RIO_START_ATTEMPTS) return Step::Wait;
    s.pending = 0;
    return Step::TimedOut;
  }
  switch (s.request.state) {
    case COM_REQ_SENT:
      if (++r < RIO_ANSWER_TIMEOUT) return Step::Wait;
      COM_BusCancelRequest(&s.request);
      s.request.state = COM_REQ_FREE;
      s.pending = 0;
      return Step::TimedOut;
    case COM_REQ_ANSWERED: s.pending = 0; return Step::Done;
    default: s.pending = 0; return Step::Failed;
  }
}

// --- restart ---------------------------------------------------------------------------------

// Starts again at state 1: the request withdrawn, every slot back to phase 1 with its state
// and module-valid byte cleared.
void restart(const FbLayout& L, RioCouplerState& s) {
  if (s.request.state == COM_REQ_SENT) COM_BusCancelRequest(&s.request);
  s.request.state = COM_REQ_FREE;
  s.pending = 0;
  s.counter = 0;
  s.step = s.entry = 0;
  s.state = RIO_START;
  L.dout[kCouplerValid] = 0;
  for (RioSlotRecord& r : s.slot) {
    r.phase = RIO_START;
    r.slotState = 0;
    r.moduleValid = 0;
  }
}

// --- state 2 ---------------------------------------------------------------------------------

// The class of a software version "SW-V0d.dd": 0 up to 1.24, 1 for 1.25 and 1.26, 2 from
// 1.27; any other answer (none, shorter, other characters) is class 0.
uint8_t classOfVersion(const char* text) {
  static constexpr char kPrefix[] = "SW-V0";
  const size_t n = std::strlen(text);
  if (n < 9 || std::memcmp(text, kPrefix, 5) != 0) return 0;
  const auto digit = [&](size_t i) { return text[i] >= '0' && text[i] <= '9'; };
  if (!digit(5) || text[6] != '.' || !digit(7) || !digit(8)) return 0;
  const int v = (text[5] - '0') * 100 + (text[7] - '0') * 10 + (text[8] - '0');
  return v <= 124 ? 0 : (v <= 126 ? 1 : 2);
}

void takeIdentity(RioCouplerState& s, const ComBusNode& node) {
  const size_t n = std::min<size_t>({s.request.length, sizeof s.request.data, sizeof s.identity - 2});
  std::memset(s.identity, 0, sizeof s.identity);
  std::memcpy(s.identity, s.request.data, n);
  s.couplerClass = node.kind == COM_KIND_COUPLER_20 ? RIO_CLASS_20 : classOfVersion(s.identity);
}

// Places every slot in the process data by its kind, in slot order: digital modules one
// byte, analog channels 16-bit words (strain gauges 32-bit), and gives each slot the first
// sub-index of its channels within its group.
void placeSlots(RioCouplerState& s) {
  uint8_t firstOf[6] = {1, 1, 1, 1, 1, 1};   // next sub-index by group
  uint8_t gaugeSub = 1;
  uint16_t rxAt = 0, txAt = 0;
  for (uint8_t i = 0; i < COM_SLOTS; ++i) {
    RioSlotRecord& r = s.slot[i];
    const KindPlace p = placeOf(r.kind);
    s.rxPlace[i] = s.txPlace[i] = RIO_NO_PLACE;
    s.rxBytes[i] = s.txBytes[i] = 0;
    r.firstSub = r.firstSub2 = 0;
    r.couplerClass = s.couplerClass;
    if (p.group == Group::None) continue;
    const bool out = p.group == Group::DigitalOut || p.group == Group::AnalogOut;
    const bool digital = p.group == Group::DigitalIn || p.group == Group::DigitalOut;
    // Strain gauges count among the analog input channels and have a group of their own.
    const Group counted = p.group == Group::Gauge ? Group::AnalogIn : p.group;
    uint8_t& first = firstOf[static_cast<uint8_t>(counted)];
    r.firstSub = first;
    first = static_cast<uint8_t>(first + p.channels);
    if (p.group == Group::Gauge) {
      r.firstSub2 = gaugeSub;
      gaugeSub = static_cast<uint8_t>(gaugeSub + p.channels);
    }
    const uint16_t bytes = digital ? 1 : p.channels * (p.group == Group::Gauge ? 4 : 2);
    uint16_t& at = out ? txAt : rxAt;
    if (!digital) at = static_cast<uint16_t>((at + 1) & ~1u);
    if (at + bytes > (out ? kTxBytes : kRxBytes)) continue;   // no room: the slot exchanges nothing
    (out ? s.txPlace : s.rxPlace)[i] = static_cast<uint8_t>(at);
    (out ? s.txBytes : s.rxBytes)[i] = static_cast<uint8_t>(bytes);
    at = static_cast<uint16_t>(at + bytes);
  }
}

// The receive and transmit objects, once per start-up pass; false when a table has no room.
bool mapObjects(RioCouplerState& s, uint16_t n) {
  if (s.mapped) return true;
  for (uint8_t i = 0; i < RIO_RX_OBJECTS; ++i) {
    const int32_t at = COM_BusInputOffset(COM_BusMapInput(n + kReceived[i]));
    if (at < 0) return false;
    s.rx[i] = static_cast<uint32_t>(at) + 1;
  }
  for (uint8_t i = 0; i < RIO_TX_OBJECTS; ++i) {
    const int32_t at = COM_BusOutputOffset(COM_BusMapOutput(n + kTransmitted[i]));
    if (at < 0) return false;
    s.tx[i] = static_cast<uint32_t>(at) + 1;
  }
  s.mapped = 1;
  return true;
}

void identify(const FbLayout& L, RioCouplerState& s, const ComBusNode& node, uint16_t n) {
  for (;;) {
    if (!s.pending) {
      if (s.step == 0) {
        prepare(s, n, RIO_OBJ_SOFTWARE_VERSION, 0, 10, nullptr, true);
      } else {
        prepare(s, n, RIO_OBJ_SLOT_KIND, s.step, 1, nullptr, true);
      }
    }
    switch (requestStep(s)) {
      case Step::Wait: return;
      case Step::Failed:
      case Step::TimedOut: restart(L, s); return;
      case Step::Done: break;
    }
    if (s.step == 0) {
      takeIdentity(s, node);
    } else if (s.request.length >= 1) {
      s.slot[s.step - 1].kind = s.request.data[0];
    }
    if (++s.step <= COM_SLOTS) continue;   // the next read starts in this cycle
    placeSlots(s);
    s.step = s.entry = 0;
    s.state = mapObjects(s, n) ? RIO_CONFIGURE : RIO_FAULT;
    return;
  }
}

// --- state 4 ---------------------------------------------------------------------------------

// The next configuration entry to write from (step, entry) on; false while a claimed slot's
// module has not yet checked the kind, or when every slot is done (step = kGuardStep).
bool nextEntry(RioCouplerState& s, RioConfigEntry** out) {
  for (; s.step < COM_SLOTS; ++s.step, s.entry = 0) {
    RioSlotRecord& r = s.slot[s.step];
    const RioListView list = listOf(r);
    if (!r.claimed || !list.count) continue;
    if (r.slotState == 0) return false;   // the module block checks the kind first
    if (r.slotState != RIO_SLOT_CONFIGURED) continue;
    const uint16_t count = std::min<uint16_t>(*list.count, s.listCount[s.step]);
    for (; s.entry < count; ++s.entry) {
      RioConfigEntry& e = list.entries[s.entry];
      if (e.request && !e.done) {
        *out = &e;
        return true;
      }
    }
  }
  return false;
}

void configure(const FbLayout& L, RioCouplerState& s, ComBusNode& node, uint16_t n) {
  for (;;) {
    if (!s.pending) {
      RioConfigEntry* e = nullptr;
      if (s.step < kGuardStep) {
        if (!nextEntry(s, &e)) {
          if (s.step < kGuardStep) return;   // waiting for a module block
          continue;
        }
        prepare(s, n, e->object(), e->subIndex, std::min<uint8_t>(e->length, 4), e->data, false);
      } else if (s.step < kGuardStep + std::size(kGuarding)) {
        const GuardWrite& g = kGuarding[s.step - kGuardStep];
        const uint8_t data[2] = {static_cast<uint8_t>(g.value), static_cast<uint8_t>(g.value >> 8)};
        prepare(s, n, g.index, g.subIndex, g.length, data, false);
      } else {
        node.configStage = COM_USE_CONFIGURED;
        s.state = RIO_WAIT;
        return;
      }
    }
    const Step r = requestStep(s);
    if (r == Step::Wait) return;
    if (s.step < kGuardStep) {
      if (r != Step::Done) {
        s.slot[s.step].writeFailed = 2;
        restart(L, s);
        return;
      }
      const RioListView list = listOf(s.slot[s.step]);
      if (list.count && s.entry < *list.count) list.entries[s.entry].done = 1;
      ++s.entry;
    } else {
      if (r != Step::Done) {
        restart(L, s);
        return;
      }
      ++s.step;
    }
  }
}

// --- state 7 ---------------------------------------------------------------------------------

uint8_t* rxObject(const RioCouplerState& s, uint8_t i) { return COM_BusInputObject(s.rx[i] - 1); }
uint8_t* txObject(const RioCouplerState& s, uint8_t i) { return COM_BusOutputObject(s.tx[i] - 1); }

// The received objects into the slots' input images, when they changed since they were last
// taken: the module link of the simulator writes the images itself and no object arrives.
void takeInputs(RioCouplerState& s) {
  uint8_t rx[kRxBytes];
  for (uint8_t i = 0; i < RIO_RX_OBJECTS; ++i) {
    const uint8_t* o = s.rx[i] ? rxObject(s, i) : nullptr;
    if (o) {
      std::memcpy(rx + i * COM_BUS_OBJECT_BYTES, o, COM_BUS_OBJECT_BYTES);
    } else {
      std::memset(rx + i * COM_BUS_OBJECT_BYTES, 0, COM_BUS_OBJECT_BYTES);
    }
  }
  if (std::memcmp(rx, s.lastRx, kRxBytes) == 0) return;
  std::memcpy(s.lastRx, rx, kRxBytes);
  for (uint8_t i = 0; i < COM_SLOTS; ++i) {
    if (s.rxPlace[i] != RIO_NO_PLACE) std::memcpy(s.slot[i].input, rx + s.rxPlace[i], s.rxBytes[i]);
  }
}

// The slots' output images into the transmitted objects.
void giveOutputs(const RioCouplerState& s) {
  uint8_t tx[kTxBytes] = {};
  for (uint8_t i = 0; i < COM_SLOTS; ++i) {
    if (s.txPlace[i] != RIO_NO_PLACE) std::memcpy(tx + s.txPlace[i], s.slot[i].output, s.txBytes[i]);
  }
  for (uint8_t i = 0; i < RIO_TX_OBJECTS; ++i) {
    if (uint8_t* o = s.tx[i] ? txObject(s, i) : nullptr) {
      std::memcpy(o, tx + i * COM_BUS_OBJECT_BYTES, COM_BUS_OBJECT_BYTES);
    }
  }
}

// The next job: a strain-gauge command a module block marked, else a status read requested,
// taken in turn over the slots.
bool nextJob(RioCouplerState& s, uint16_t n) {
  for (uint8_t i = 0; i < COM_SLOTS; ++i) {
    RioConfigEntry* c = s.slot[i].claimed ? commandOf(s.slot[i]) : nullptr;
    if (c && c->request && !c->done) {
      prepare(s, n, c->object(), c->subIndex, std::min<uint8_t>(c->length, 4), c->data, false);
      s.step = i;
      s.entry = kJobCommand;
      return true;
    }
  }
  for (uint8_t k = 0; k < COM_SLOTS; ++k) {
    const uint8_t i = static_cast<uint8_t>((s.cursor + k) % COM_SLOTS);
    if (s.slot[i].statusRequest == RIO_STATUS_REQUESTED) {
      prepare(s, n, RIO_OBJ_SLOT_STATUS, static_cast<uint8_t>(i + 1), 1, nullptr, true);
      s.step = i;
      s.entry = kJobStatus;
      s.cursor = static_cast<uint8_t>((i + 1) % COM_SLOTS);
      return true;
    }
  }
  return false;
}

void runJobs(const FbLayout& L, RioCouplerState& s, uint16_t n) {
  if (!s.pending && !nextJob(s, n)) return;
  const Step r = requestStep(s);
  if (r == Step::Wait) return;
  RioSlotRecord& slot = s.slot[s.step % COM_SLOTS];
  if (s.entry == kJobCommand) {
    if (RioConfigEntry* c = commandOf(slot)) c->done = 1;
    if (r != Step::Done) restart(L, s);
  } else {
    if (r == Step::Done) {
      if (s.request.length >= 1) {
        for (uint8_t k = 0; k < 4; ++k) slot.doStatus[k] = (s.request.data[0] >> k) & 1u;
      }
      slot.statusRequest = RIO_STATUS_ANSWERED;
    } else {
      slot.statusRequest = RIO_STATUS_FAILED;
      if (r == Step::TimedOut) restart(L, s);
    }
  }
  s.entry = kJobNone;
}

void operate(const FbLayout& L, RioCouplerState& s, uint16_t n) {
  L.dout[kCouplerValid] = 1;
  takeInputs(s);
  for (RioSlotRecord& r : s.slot) r.moduleValid = r.writeFailed == 0 ? 1 : 0;
  giveOutputs(s);
  runJobs(L, s, n);
}

}  // namespace

void registerCoupler() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kTemplate, FB_C_TQ5x_Run, FB_C_TQ5x_Init, FB_C_TQ5x_Param, &kLimits, 9, 22}, kBlocks,
       kFixedPlaceId},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}

}  // namespace rio

using namespace rio;

RioCouplerState* BLK_RioCouplerState(uint16_t block) {
  FbLayout L;
  return FB_GetLayout(block, &L) ? stateOf(L) : nullptr;
}

RioSlotRecord* BLK_RioSlotRecord(uint16_t coupler, uint32_t slot) {
  RioCouplerState* s = BLK_RioCouplerState(coupler);
  return s && slot < COM_SLOTS ? &s->slot[slot] : nullptr;
}

void FB_C_TQ5x_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  RioCouplerState* s = stateOf(L);
  if (!s) return;
  for (uint16_t i = 0; i < L.wordValues; ++i) L.wv[i] = L.wv[L.wordValues + i];
  *s = RioCouplerState{};
  std::fill(L.dout, L.dout + L.digitalOutputs, uint16_t{0});
  if (FW_GetCommOption() <= '0') {
    s->state = RIO_FAULT;
    L.dout[kCouplerEtErr] = 1;
    return;
  }
  for (uint32_t k = 0; k < COM_SLOTS; ++k) {
    L.ao[k] = static_cast<float>(L.block * 1000u + COM_SLOT_ADDRESS_FIRST + COM_SLOT_ADDRESS_STEP * k);
  }
  const uint16_t n = L.wv[0];
  // A node id loaded out of its limits names no node: refused like the own one.
  if (n == COM_BusOwnAddress() || !FW_CheckShortLimit(static_cast<int16_t>(n), &kNodeLimit[0], L.block)) {
    s->state = RIO_FAULT;
    L.dout[kCouplerIdErr] = 1;
    return;
  }
  ComBusNode* node = COM_BusNode(n);
  if (node->configStage == COM_USE_CLAIMED) {   // another coupler block uses the node
    s->state = RIO_FAULT;
    L.dout[kCouplerEtErr] = 1;
    return;
  }
  node->configStage = COM_USE_CLAIMED;
  s->state = RIO_START;
  for (RioSlotRecord& r : s->slot) r.phase = RIO_START;
}

void FB_C_TQ5x_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  RioCouplerState* s = stateOf(L);
  if (!s || s->state == RIO_FAULT || s->state == 0) return;
  const uint16_t n = L.wv[0];
  ComBusNode* node = COM_BusNode(n);
  if (!node) return;   // only before the block's first Init, which checks NodeId
  if (node->remoteState != COM_REMOTE_KNOWN) restart(L, *s);
  switch (s->state) {
    case RIO_START:
      L.dout[kCouplerValid] = 0;
      node->configStage = COM_USE_CLAIMED;
      if (node->remoteState != COM_REMOTE_KNOWN) break;
      if (node->kind < kFirstCouplerKind || node->kind > kLastCouplerKind) {
        L.dout[kCouplerIdErr] = 1;
        break;
      }
      L.dout[kCouplerIdErr] = 0;
      node->configStage = COM_USE_STARTED;
      for (uint8_t i = 0; i < COM_SLOTS; ++i) {
        const RioListView list = listOf(s->slot[i]);
        s->listCount[i] = list.count ? static_cast<uint8_t>(*list.count) : 0;
      }
      s->step = s->entry = 0;
      s->state = RIO_IDENTITY;
      break;
    case RIO_IDENTITY: identify(L, *s, *node, n); break;
    case RIO_CONFIGURE: configure(L, *s, *node, n); break;
    case RIO_WAIT:
      if (node->nmtState == COM_NODE_OPERATIONAL) {
        s->state = RIO_OPERATE;
        s->step = s->entry = 0;
      } else if (node->nmtState != COM_NODE_PREOPERATIONAL) {
        restart(L, *s);
      }
      break;
    case RIO_OPERATE:
      if (node->nmtState != COM_NODE_OPERATIONAL) {
        restart(L, *s);
      } else {
        operate(L, *s, n);
      }
      break;
    default: break;
  }
  for (RioSlotRecord& r : s->slot) r.phase = s->state;
}

uint8_t FB_C_TQ5x_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
