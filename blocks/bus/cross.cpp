// Cross-communication between two devices of this family: CSEND puts 9 analog and 16
// digital values into five output objects whose ids come from the device's own node
// address; CRCV, set to the sender's address, reads the same five ids.
//
// Object layout (floats most significant byte first, the counter least significant first):
//   object 1: byte 0 di 1..8, byte 1 di 9..16, bytes 2..3 heartbeat counter, bytes 4..7 X 1
//   objects 2..5: X 2 / X 3, X 4 / X 5, X 6 / X 7, X 8 / X 9
#include <cmath>
#include <iterator>

#include "blocks/bus/bus_internal.h"
#include "comm/com_bytes.h"
#include "runtime/fw_numeric.h"

namespace busblk {
namespace {

constexpr const char* kCrcvTexts[] = {"CRCV"};
constexpr const char* kCsendTexts[] = {"CSEND"};
constexpr uint16_t kCrcvValues[] = {1};    // NodeId: the sender's node address
constexpr float kCsendFloats[] = {0.1f};   // delta

constexpr FbTemplate kCrcvTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_CRCV, .analogOutputs = 9, .digitalOutputs = 18, .wordValues = kCrcvValues,
     .texts = kCrcvTexts, .workWords = BLK_WorkWordsOf<CrcvState>()});
constexpr FbTemplate kCsendTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_CSEND, .digitalOutputs = 1, .analogInputs = 9, .digitalInputs = 16,
     .floatParams = kCsendFloats, .texts = kCsendTexts, .workWords = BLK_WorkWordsOf<CsendState>()});

constexpr FwShortLimit kCrcvNode[] = {{.min = 1, .max = 24}};
constexpr FbLimitTable kCrcvLimits{.wordValues = kCrcvNode};
constexpr FwFloatLimit kDelta[] = {{.min = 0.0f, .max = 999999.0f, .attribute = 3}};
constexpr FbLimitTable kCsendLimits{.floatParams = kDelta};

// Block numbers: CSEND 21, 23, ..., 29 pairs with CRCV 22, 24, ..., 30; the create request
// offers the first four pairs, the Init handlers serve all five.
constexpr FbBlockRange kCsendBlocks[] = {{21, 21}, {23, 23}, {25, 25}, {27, 27}, {0, 0}};
constexpr FbBlockRange kCrcvBlocks[] = {{22, 22}, {24, 24}, {26, 26}, {28, 28}, {0, 0}};
constexpr uint16_t kFirstCsend = 21, kFirstCrcv = 22, kPairs = 5;

// The ids of the five objects of each pair, less the sender's node address.
constexpr uint16_t kObjectIds[kPairs][5] = {
    {384, 724, 960, 1080, 1200}, {640, 864, 984, 1104, 1224}, {426, 888, 1008, 1128, 1248},
    {682, 912, 1032, 1152, 1272}, {468, 936, 1056, 1176, 1296},
};

constexpr unsigned kValues = 9;
constexpr uint8_t kStaleLimit = 20;     // runs without a change that still count as valid
constexpr uint8_t kHeartbeatRuns = 20;  // runs without a write before the counter moves

// Digital outputs of CRCV.
enum : uint16_t { kRcvIdErr = 0, kRcvValid = 1, kRcvFirstBit = 2 };

// The pair of a block number (0..4), or -1 for a number without ids.
int pairOf(uint16_t block, uint16_t first) {
  if (block < first || (block - first) % 2 != 0 || (block - first) / 2 >= kPairs) return -1;
  return (block - first) / 2;
}

// --- CRCV ---------------------------------------------------------------------------------

// The received values go to Y k and do k; Y k and do k keep their values while nothing new
// arrives, and valid falls in the 21st run after the last change of any received value.
void takeCrossData(FbLayout& L, CrcvState& s) {
  uint8_t* obj[5];
  for (unsigned k = 0; k < 5; ++k) {
    obj[k] = inputObject(s.object[k].get());
    if (!obj[k]) return;
  }
  for (unsigned k = 1; k <= kValues; ++k) {
    float received;
    COM_GetBE32(&received, crossPlace(obj, k));
    // Whatever the partner sends, no NaN or out-of-range value reaches the network.
    const float y = FW_ClampValue(received);
    if (y != L.ao[k - 1].get()) {
      L.ao[k - 1] = y;
      s.stale = 0;
    }
  }
  for (unsigned b = 0; b < 2; ++b) {
    const uint8_t byte = obj[0][b];
    if (byte == s.lastByte[b]) continue;
    s.lastByte[b] = byte;
    s.stale = 0;
    for (unsigned bit = 0; bit < 8; ++bit) L.dout[kRcvFirstBit + 8 * b + bit] = (byte >> bit) & 1u;
  }
  const uint16_t counter = getLE16(obj[0] + 2);
  if (counter != s.lastCounter) {
    s.lastCounter = counter;
    s.stale = 0;
  }
  L.dout[kRcvValid] = s.stale <= kStaleLimit ? 1 : 0;
}

// --- CSEND --------------------------------------------------------------------------------

// One pass of state 6: the values that changed by at least delta and the digital bytes that
// changed are written; when nothing was written for 20 runs the counter moves on, so that
// the receiver sees a living sender even with steady inputs.
void sendCrossData(FbLayout& L, CsendState& s) {
  const ComBusNode* own = COM_BusNode(COM_BusOwnAddress());
  L.dout[0] = own && own->nmtState == COM_NODE_OPERATIONAL ? 1 : 0;
  uint8_t* obj[5];
  for (unsigned k = 0; k < 5; ++k) {
    uint8_t* data = outputObject(s.object[k].get());
    obj[k] = data ? data : s.sparePlace;
  }
  if (s.change % 2 == 0) {
    const float delta = L.fp[0];
    for (unsigned k = 1; k <= kValues; ++k) {
      uint8_t* place = crossPlace(obj, k);
      float sent;
      COM_GetBE32(&sent, place);
      const float x = FW_ClampValue(BLK_AnalogIn(L, k - 1));
      // A value counts as changed only when it differs: with delta 0 steady values are not
      // written again and again, which would stop the heartbeat.
      if (x != sent && std::fabs(x - sent) >= delta) {
        COM_PutBE32(place, x);
        s.change = 0;
      }
    }
    for (unsigned b = 0; b < 2; ++b) {
      uint8_t byte = 0;
      for (unsigned bit = 0; bit < 8; ++bit) {
        if (BLK_DigitalIn(L, 8 * b + bit) != 0) byte = static_cast<uint8_t>(byte | 1u << bit);
      }
      if (byte != obj[0][b]) {
        obj[0][b] = byte;
        s.change = 0;
      }
    }
  }
  if (s.change >= kHeartbeatRuns) {
    putLE16(obj[0] + 2, static_cast<uint16_t>(getLE16(obj[0] + 2) + 1));
    s.change = 0;
  }
}

}  // namespace

void registerCrossTypes() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kCrcvTemplate, FB_CRCV_Run, FB_CRCV_Init, FB_CRCV_Param, &kCrcvLimits, 9, 22},
       kCrcvBlocks, 10},
      {{&kCsendTemplate, FB_CSEND_Run, FB_CSEND_Init, FB_CSEND_Param, &kCsendLimits, 18, 22},
       kCsendBlocks, 11},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}

}  // namespace busblk

using namespace busblk;

void FB_CRCV_Init() {
  FbLayout L;
  CrcvState* s = currentState<CrcvState>(L);
  if (!s) return;
  takePendingWordValues(L);
  *s = CrcvState{};
  for (uint16_t i = 0; i < L.analogOutputs; ++i) L.ao[i] = 0.0f;
  for (uint16_t i = 0; i < L.digitalOutputs; ++i) L.dout[i] = 0;
  const uint16_t n = L.wv[0];
  if (!busOption() || n == COM_BusOwnAddress() || !wordValuesAllowed(L, kCrcvLimits)) {
    L.dout[kRcvIdErr] = 1;
    s->link = BUS_LINK_INACTIVE;
    return;
  }
  ComBusNode* partner = COM_BusNode(n);
  partner->configStage = COM_USE_CLAIMED;
  partner->identityQuery = COM_QUERY_NEVER;
  s->link = BUS_LINK_WAIT_PARTNER;
  const int pair = pairOf(L.block, kFirstCrcv);
  if (pair < 0) {
    s->link = BUS_LINK_INACTIVE;
    return;
  }
  for (unsigned k = 0; k < 5; ++k) {
    const uint8_t* data = COM_BusMapInput(n + kObjectIds[pair][k]);
    if (!data) {
      s->link = BUS_LINK_INACTIVE;
      return;
    }
    s->object[k] = inputHandle(data);
  }
}

void FB_CRCV_Run() {
  FbLayout L;
  CrcvState* s = currentState<CrcvState>(L);
  if (!s) return;
  if (s->stale <= kStaleLimit) ++s->stale;
  if (s->link == BUS_LINK_INACTIVE) {
    L.dout[kRcvIdErr] = 1;
    return;
  }
  ComBusNode* partner = COM_BusNode(L.wv[0]);
  if (!partner) return;  // only before the block's first Init, which checks NodeId
  switch (s->link) {
    case BUS_LINK_WAIT_PARTNER:
      if (identifyPartner(*partner, s->retry, L.dout[kRcvIdErr], kOwnFamilyPartner)) {
        s->link = BUS_LINK_PARTNER_FOUND;
      }
      break;
    case BUS_LINK_PARTNER_FOUND:
      s->link = BUS_LINK_STARTING;
      s->stale = 0;
      break;
    case BUS_LINK_STARTING:
      partner->configStage = COM_USE_CONFIGURED;
      s->link = BUS_LINK_WAIT_OPERATIONAL;
      break;
    case BUS_LINK_WAIT_OPERATIONAL:
    case BUS_LINK_EXCHANGING:
      if (partnerOperational(s->link, *partner, L.dout[kRcvValid])) takeCrossData(L, *s);
      break;
    default: break;
  }
}

uint8_t FB_CRCV_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }

void FB_CSEND_Init() {
  FbLayout L;
  CsendState* s = currentState<CsendState>(L);
  if (!s) return;
  *s = CsendState{};
  L.dout[0] = 0;
  if (!busOption()) {
    s->link = BUS_LINK_INACTIVE;
    return;
  }
  s->link = BUS_LINK_PARTNER_FOUND;
  const int pair = pairOf(L.block, kFirstCsend);
  if (pair < 0) {
    s->link = BUS_LINK_INACTIVE;
    return;
  }
  const uint16_t own = COM_BusOwnAddress();
  for (unsigned k = 0; k < 5; ++k) {
    // Objects 2..5 are sent only when one of their two inputs is wired; the places of an
    // object that is not sent are the spare place.
    if (k > 0 && L.ai[2 * k - 1] == FB_REF_ZERO && L.ai[2 * k] == FB_REF_ZERO) continue;
    const uint8_t* data = COM_BusMapOutput(own + kObjectIds[pair][k]);
    if (!data) {
      s->link = BUS_LINK_INACTIVE;
      return;
    }
    s->object[k] = outputHandle(data);
  }
}

void FB_CSEND_Run() {
  FbLayout L;
  CsendState* s = currentState<CsendState>(L);
  if (!s) return;
  ++s->change;
  switch (s->link) {
    case BUS_LINK_PARTNER_FOUND:
      s->change = 1;
      s->link = BUS_LINK_WAIT_OPERATIONAL;
      break;
    case BUS_LINK_INACTIVE: L.dout[0] = 0; break;
    case BUS_LINK_WAIT_OPERATIONAL: sendCrossData(L, *s); break;
    default: break;
  }
  FB_ApplyPendingFloats(L.block);
}

uint8_t FB_CSEND_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
