// Coupling with the controllers of the other controller family. One C_MX6x serves one
// partner device with 8 or 16 controllers: it configures the partner by twelve SDO writes,
// then exchanges one 8-byte message per controller and direction. Each MX6x stands for one
// controller and is wired to the coupler's output C k for it; the two share the controller
// record k of the coupler.
//
// Messages (16-bit values least significant byte first), n = NodeId:
//   received on n + 384 and n + 640: 0 controller (0 = no data), 1..2 X x 10, 3 partner
//     status (online, fail 1..3, di1..di4), 4 St1, 5 St2, 6..7 Y x 10
//   sent on n + 512 and n + 768: 0 controller, 1..2 W x 10, 3..4 Yman x 10, 5 command
//     flags, 6 changed flags, 7 zero
#include <algorithm>
#include <cstring>

#include "blocks/bus/bus_internal.h"
#include "runtime/fw_numeric.h"

namespace busblk {
namespace {

constexpr const char* kCouplerTexts[] = {"C_MX6x"};
constexpr const char* kMx6xTexts[] = {"MX6x"};
constexpr uint16_t kCouplerValues[] = {2};   // NodeId: the partner's node address

constexpr FbTemplate kCouplerTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_C_MX6X, .analogOutputs = BUS_MX6X_CONTROLLERS, .digitalOutputs = 11,
     .wordValues = kCouplerValues, .texts = kCouplerTexts,
     .workWords = BLK_WorkWordsOf<CmxState>()});
constexpr FbTemplate kMx6xTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_MX6X, .analogOutputs = 4, .digitalOutputs = 3, .analogInputs = 3,
     .digitalInputs = 5, .texts = kMx6xTexts, .workWords = BLK_WorkWordsOf<Mx6xState>()});

constexpr FwShortLimit kCouplerNode[] = {{.min = 2, .max = 42}};
constexpr FbLimitTable kCouplerLimits{.wordValues = kCouplerNode};

constexpr FbBlockRange kCouplerBlocks[] = {{21, 25}, {0, 0}};
constexpr uint16_t kFirstCoupler = 21, kLastCoupler = 25;

// Objects of the partner n: received n + 384 / n + 640, sent n + 512 / n + 768.
constexpr uint16_t kReceivedIds[2] = {0x180, 0x280};
constexpr uint16_t kSentIds[2] = {0x200, 0x300};

// Digital outputs of C_MX6x: et-err, id-err, valid, then the partner's status bits 0..7
// (online, fail 1, fail 2, fail 3, di1..di4).
enum : uint16_t { kEtErr = 0, kIdErr = 1, kValid = 2, kFirstStatus = 3 };

// MX6x: inputs C x, W, Yman and the five command bits; outputs X, Y, St1, St2 and et-err,
// valid, xfail.
enum : uint16_t { kInHandle = 0, kInW = 1, kInYman = 2 };
enum : uint16_t { kOutX = 0, kOutY = 1, kOutSt1 = 2, kOutSt2 = 3 };
enum : uint16_t { kMxEtErr = 0, kMxValid = 1, kMxFail = 2 };
constexpr unsigned kCommandBits = 5;
constexpr uint8_t kCommandMask = 0x1F;
constexpr uint8_t kProcessValueFailure = 0x10;   // St1 bit 4

// The configuration of the partner: its node guarding and its process-data objects.
struct ConfigWrite {
  uint16_t index;
  uint8_t subIndex;
  uint8_t length;
  uint16_t value;
  bool plusNode;   // the value is value + n
};
constexpr ConfigWrite kConfiguration[BUS_MX6X_CONFIG_STEPS] = {
    {0x100E, 0, 2, 0x700, true},   // guarding identifier
    {0x100C, 0, 2, 1000, false},   // guard time, ms
    {0x100D, 0, 1, 3, false},      // life time factor
    {0x1400, 1, 4, 0x200, true},   // first receive object: id, transmission type
    {0x1400, 2, 1, 255, false},
    {0x1401, 1, 4, 0x300, true},   // second receive object
    {0x1401, 2, 1, 255, false},
    {0x1800, 2, 1, 1, false},      // first transmit object: synchronous, id
    {0x1800, 1, 4, 0x180, true},
    {0x1801, 2, 1, 255, false},    // second transmit object: type, inhibit time, id
    {0x1801, 3, 2, 1000, false},
    {0x1801, 1, 4, 0x280, true},
};

// Retry counter of the configuration: up to ten starts, then up to nine runs for the answer.
constexpr uint8_t kStartAttempts = 10;
constexpr uint8_t kAwaitingAnswer = 11;
constexpr uint8_t kAnswerTimeOut = 20;
constexpr uint8_t kNotOperationalRuns = 21;

uint8_t controllers(const CmxState& s) {
  return std::min<uint8_t>(s.count, BUS_MX6X_CONTROLLERS);
}

// Enters a link state: into the block and the records of its controllers.
void enter(CmxState& s, uint8_t state) {
  s.link = state;
  for (uint8_t k = 0; k < controllers(s); ++k) s.record[k].state = state;
  s.retry = 0;
}

// The identification and configuration start again. A write still outstanding is withdrawn,
// so that its place at the bus node is free for the next one.
void resetCoupler(FbLayout& L, CmxState& s) {
  if (s.request.state == COM_REQ_SENT) COM_BusCancelRequest(&s.request);
  s.request.state = COM_REQ_FREE;
  enter(s, BUS_LINK_WAIT_PARTNER);
  L.dout[kIdErr] = 1;
  L.dout[kValid] = 0;
  s.sendIndex = 0;
  for (CrossControllerRecord& r : s.record) r.fresh = 0;
}

// State 2: the four objects, once; a table without room leaves the block inactive.
void mapObjects(FbLayout& L, CmxState& s, uint16_t n) {
  if (!s.mapped) {
    // The received objects first, then the sent ones.
    for (unsigned i = 0; i < 4; ++i) {
      const bool sent = i >= 2;
      const unsigned j = i % 2;
      const uint8_t* data =
          sent ? COM_BusMapOutput(n + kSentIds[j]) : COM_BusMapInput(n + kReceivedIds[j]);
      if (!data) {
        enter(s, BUS_LINK_INACTIVE);
        L.dout[kIdErr] = 1;
        return;
      }
      (sent ? s.output : s.input)[j] = sent ? outputHandle(data) : inputHandle(data);
    }
    s.mapped = 1;
  }
  enter(s, BUS_LINK_STARTING);
  s.sendIndex = 0;
  s.step = 0;
}

// State 4: one configuration write at a time, started and awaited.
void configure(FbLayout& L, CmxState& s, ComBusNode& partner, uint16_t n) {
  uint8_t& r = s.retry;
  if (r < kStartAttempts) {
    if (s.step >= BUS_MX6X_CONFIG_STEPS) {
      enter(s, BUS_LINK_WAIT_OPERATIONAL);
      partner.configStage = COM_USE_CONFIGURED;
      s.sendAll = 1;
      s.sendIndex = 0;
      return;
    }
    const ConfigWrite& c = kConfiguration[s.step];
    s.request = ComBusRequest{};
    s.request.node = n;
    s.request.index = c.index;
    s.request.subIndex = c.subIndex;
    s.request.length = c.length;
    const uint32_t value = c.value + (c.plusNode ? n : 0u);
    for (unsigned i = 0; i < c.length; ++i) s.request.data[i] = static_cast<uint8_t>(value >> (8 * i));
    if (COM_BusStartRequest(&s.request)) {
      r = kAwaitingAnswer;
    } else {
      ++r;
      s.request.state = COM_REQ_FREE;
    }
  } else if (r == kStartAttempts || r >= kAnswerTimeOut) {
    resetCoupler(L, s);
  } else {
    switch (s.request.state) {
      case COM_REQ_SENT: ++r; break;
      case COM_REQ_ANSWERED:
        ++s.step;
        r = 0;
        break;
      default: resetCoupler(L, s); break;
    }
  }
}

// Sending: at most `count` records from the send index, at most two messages a run, so that
// the records take turns; while send-all is set every record is sent once.
void sendMessages(CmxState& s) {
  const uint8_t count = controllers(s);
  if (count == 0) return;
  s.sendIndex = static_cast<uint8_t>(s.sendIndex % count);
  unsigned sent = 0;
  for (uint8_t visited = 0; visited < count && sent < 2; ++visited) {
    CrossControllerRecord& r = s.record[s.sendIndex];
    if (r.sendRequest == 1 || s.sendAll) {
      uint8_t* out = outputObject(s.output[sent].get());
      if (out) {
        out[0] = static_cast<uint8_t>(s.sendIndex + 1);
        putLE16(out + 1, static_cast<uint16_t>(r.w10));
        putLE16(out + 3, static_cast<uint16_t>(r.yman10));
        out[5] = r.commands;
        out[6] = r.changed;
        out[7] = 0;
      }
      r.sendRequest = 0;
      ++sent;
    }
    s.sendIndex = static_cast<uint8_t>((s.sendIndex + 1) % count);
    if (s.sendIndex == 0) s.sendAll = 0;
  }
}

// One received message into its controller's record.
void takeMessage(FbLayout& L, CmxState& s, const uint8_t* m) {
  const uint8_t k = m[0];
  if (k == 0) return;
  if (k > controllers(s)) {
    L.dout[kValid] = 0;
    return;
  }
  CrossControllerRecord& r = s.record[k - 1];
  r.x10 = static_cast<int16_t>(getLE16(m + 1));
  r.st1 = m[4];
  r.st2 = m[5];
  r.y10 = static_cast<int16_t>(getLE16(m + 6));
  r.fresh = 1;
  r.age = 0;
  for (unsigned bit = 0; bit < 8; ++bit) L.dout[kFirstStatus + bit] = (m[3] >> bit) & 1u;
}

void receiveMessages(FbLayout& L, CmxState& s) {
  const uint8_t count = controllers(s);
  for (uint8_t k = 0; k < count; ++k) {
    if (s.record[k].age < UINT8_MAX) ++s.record[k].age;
  }
  if (const uint8_t* first = inputObject(s.input[0].get())) takeMessage(L, s, first);
  const uint8_t* second = inputObject(s.input[1].get());
  if (second && std::memcmp(second, s.lastSecond, sizeof s.lastSecond) != 0) {
    std::memcpy(s.lastSecond, second, sizeof s.lastSecond);
    takeMessage(L, s, second);
  }
  for (uint8_t k = 0; k < count; ++k) {
    if (s.record[k].age > 2 * count) s.record[k].fresh = 0;
  }
}

// State 7, by the partner's operating state.
void exchange(FbLayout& L, CmxState& s, const ComBusNode& partner) {
  if (partner.nmtState == COM_NODE_PREOPERATIONAL) {
    if (++s.notOperational > kNotOperationalRuns) {
      resetCoupler(L, s);
      s.notOperational = 0;
    }
  } else if (partner.nmtState == COM_NODE_OPERATIONAL) {
    L.dout[kValid] = 1;
    s.notOperational = 0;
    sendMessages(s);
    receiveMessages(L, s);
  } else {
    resetCoupler(L, s);
    s.notOperational = 0;
  }
}

// --- MX6x ---------------------------------------------------------------------------------

// The record a controller handle names: b x 1000 + 69 + 9 (k - 1) for a C_MX6x at block b
// (21..25) and k = 1..16. Anything else names no record.
CrossControllerRecord* recordOfHandle(uint16_t handle, uint16_t* coupler, uint16_t* position) {
  const uint16_t b = handle / 1000, r = handle % 1000;
  if (b < kFirstCoupler || b > kLastCoupler || r < BUS_MX6X_FIRST_HANDLE ||
      (r - BUS_MX6X_FIRST_HANDLE) % BUS_MX6X_HANDLE_STEP != 0) {
    return nullptr;
  }
  const auto k = static_cast<uint16_t>((r - BUS_MX6X_FIRST_HANDLE) / BUS_MX6X_HANDLE_STEP);
  CrossControllerRecord* rec = BLK_CrossControllerRecord(b, k);
  if (rec) {
    *coupler = b;
    *position = k;
  }
  return rec;
}

void exchangeWithRecord(FbLayout& L, Mx6xState& s, CrossControllerRecord& r) {
  L.dout[kMxValid] = r.fresh;
  L.dout[kMxFail] = r.st1 & kProcessValueFailure;
  L.ao[kOutX] = static_cast<float>(r.x10) / 10.0f;
  L.ao[kOutY] = static_cast<float>(r.y10) / 10.0f;
  L.ao[kOutSt1] = r.st1;
  L.ao[kOutSt2] = r.st2;
  if (r.sendRequest == 0) r.changed = 0;

  uint8_t commands = 0;
  for (unsigned i = 0; i < kCommandBits; ++i) {
    if (BLK_DigitalIn(L, i) != 0) commands = static_cast<uint8_t>(commands | 1u << i);
  }
  r.changed = static_cast<uint8_t>(r.changed | ((commands ^ r.commands) & kCommandMask));
  r.commands = commands;
  // The tenths saturate to 16 bits: a setpoint of 4000.0 is sent as 32767, not wrapped.
  const int16_t w = FW_FloatToI16(BLK_AnalogIn(L, kInW) * 10.0f);
  if (w != r.w10) {
    r.w10 = w;
    r.changed |= BUS_CHANGED_W;
  }
  const int16_t yman = FW_FloatToI16(BLK_AnalogIn(L, kInYman) * 10.0f);
  if (yman != r.yman10) {
    r.yman10 = yman;
    r.changed |= BUS_CHANGED_YMAN;
  }
  // Every wired value is sent again while the coupler configures and starts.
  if (s.lastState != BUS_LINK_EXCHANGING) r.changed = s.connected;
  if (r.changed || s.previousChanged) r.sendRequest = 1;
  s.previousChanged = r.changed;
}

}  // namespace

void registerCouplerTypes() {
  static constexpr BlkFixedTypeRow kFixed[] = {
      {{&kCouplerTemplate, FB_C_MX6x_Run, FB_C_MX6x_Init, FB_C_MX6x_Param, &kCouplerLimits, 9,
        22},
       kCouplerBlocks, 12},
  };
  BLK_RegisterFixedPlaceTypes(kFixed);
  static constexpr BlkTypeRow kGrouped[] = {
      {&kMx6xTemplate, FB_MX6x_Run, FB_MX6x_Init, FB_MX6x_Param, nullptr, 8, 22},
  };
  BLK_RegisterTimeGroupTypes(kGrouped);
}

}  // namespace busblk

using namespace busblk;

CrossControllerRecord* BLK_CrossControllerRecord(uint16_t block, uint16_t k) {
  FbLayout L;
  if (k >= BUS_MX6X_CONTROLLERS || !FB_GetLayout(block, &L) || L.type != BLK_TYPE_C_MX6X ||
      L.workWords < BLK_WorkWordsOf<CmxState>()) {
    return nullptr;
  }
  return &BLK_WorkState<CmxState>(L).record[k];
}

void FB_C_MX6x_Init() {
  FbLayout L;
  CmxState* s = currentState<CmxState>(L);
  if (!s) return;
  takePendingWordValues(L);
  *s = CmxState{};
  for (uint16_t i = 0; i < L.digitalOutputs; ++i) L.dout[i] = 0;
  if (!busOption()) {
    L.dout[kEtErr] = 1;
    enter(*s, BUS_LINK_INACTIVE);
    return;
  }
  for (uint16_t k = 0; k < BUS_MX6X_CONTROLLERS; ++k) {
    L.ao[k] = static_cast<float>(L.block * 1000u + BUS_MX6X_FIRST_HANDLE + BUS_MX6X_HANDLE_STEP * k);
  }
  const uint16_t n = L.wv[0];
  if (n == COM_BusOwnAddress() || !wordValuesAllowed(L, kCouplerLimits)) {
    enter(*s, BUS_LINK_INACTIVE);
    L.dout[kIdErr] = 1;
    return;
  }
  ComBusNode* partner = COM_BusNode(n);
  if (partner->configStage == COM_USE_CLAIMED) {  // another block uses the node
    L.dout[kEtErr] = 1;
    enter(*s, BUS_LINK_INACTIVE);
    return;
  }
  partner->configStage = COM_USE_CLAIMED;
  enter(*s, BUS_LINK_WAIT_PARTNER);
}

void FB_C_MX6x_Run() {
  FbLayout L;
  CmxState* s = currentState<CmxState>(L);
  if (!s) return;
  if (s->link == BUS_LINK_INACTIVE) {
    L.dout[kIdErr] = 1;
    return;
  }
  const uint16_t n = L.wv[0];
  ComBusNode* partner = COM_BusNode(n);
  if (!partner) return;  // only before the block's first Init, which checks NodeId
  switch (s->link) {
    case BUS_LINK_WAIT_PARTNER:
      L.dout[kValid] = 0;
      if (identifyPartner(*partner, s->retry, L.dout[kIdErr], kOtherFamilyPartner)) {
        s->count = partner->kind == 1 ? 8 : 16;
        enter(*s, BUS_LINK_PARTNER_FOUND);
      }
      break;
    case BUS_LINK_PARTNER_FOUND: mapObjects(L, *s, n); break;
    case BUS_LINK_STARTING: configure(L, *s, *partner, n); break;
    case BUS_LINK_WAIT_OPERATIONAL:
      if (partner->nmtState == COM_NODE_OPERATIONAL) {
        for (CrossControllerRecord& r : s->record) r.age = 0;
        enter(*s, BUS_LINK_EXCHANGING);
      } else if (partner->nmtState != COM_NODE_PREOPERATIONAL) {
        resetCoupler(L, *s);
      }
      break;
    case BUS_LINK_EXCHANGING: exchange(L, *s, *partner); break;
    default: break;
  }
}

uint8_t FB_C_MX6x_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }

void FB_MX6x_Init() {
  FbLayout L;
  Mx6xState* s = currentState<Mx6xState>(L);
  if (!s) return;
  *s = Mx6xState{};
  L.dout[kMxEtErr] = 0;
  const uint16_t handle = FW_FloatToU16(BLK_AnalogIn(L, kInHandle));
  CrossControllerRecord* r = recordOfHandle(handle, &s->coupler, &s->position);
  if (r && !r->claimed) {
    r->claimed = 1;
  } else {
    *s = Mx6xState{};
    L.dout[kMxEtErr] = 1;
  }
  for (uint16_t i = 0; i < L.analogOutputs; ++i) L.ao[i] = 0.0f;
  L.dout[kMxValid] = 0;
  L.dout[kMxFail] = 0;
  if (L.ai[kInW] != FB_REF_ZERO) s->connected |= BUS_CHANGED_W;
  if (L.ai[kInYman] != FB_REF_ZERO) s->connected |= BUS_CHANGED_YMAN;
  for (unsigned i = 0; i < kCommandBits; ++i) {
    if (L.di[i] != FB_REF_ZERO) s->connected = static_cast<uint8_t>(s->connected | 1u << i);
  }
}

void FB_MX6x_Run() {
  FbLayout L;
  Mx6xState* s = currentState<Mx6xState>(L);
  if (!s || L.dout[kMxEtErr]) return;
  CrossControllerRecord* r = BLK_CrossControllerRecord(s->coupler, s->position);
  if (!r) return;
  if (s->lastState == BUS_LINK_STARTING || s->lastState == BUS_LINK_WAIT_OPERATIONAL ||
      s->lastState == BUS_LINK_EXCHANGING) {
    exchangeWithRecord(L, *s, *r);
  }
  s->lastState = r->state;
}

uint8_t FB_MX6x_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }
