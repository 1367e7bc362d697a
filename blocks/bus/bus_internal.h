// Steps the bus blocks share: their own state in the instance, the objects they keep as
// handles, the partner's node record and the word values that configure them.
#pragma once

#include <cstdint>

#include "blocks/block_family.h"
#include "blocks/bus/bus.h"
#include "comm/com_bus.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"

namespace busblk {

// The block the schedulers run and its own state record; null for an instance whose work
// words cannot hold the record (the handler then does nothing).
template <typename State>
State* currentState(FbLayout& L) {
  if (!FB_CurrentLayout(&L) || L.workWords < BLK_WorkWordsOf<State>()) return nullptr;
  return &BLK_WorkState<State>(L);
}

// Object handles: the offset in the node's input or output area + 1, 0 for none.
inline uint32_t inputHandle(const uint8_t* data) {
  const int32_t at = COM_BusInputOffset(data);
  return at < 0 ? 0u : static_cast<uint32_t>(at) + 1u;
}
inline uint32_t outputHandle(const uint8_t* data) {
  const int32_t at = COM_BusOutputOffset(data);
  return at < 0 ? 0u : static_cast<uint32_t>(at) + 1u;
}
inline uint8_t* inputObject(uint32_t handle) {
  return handle ? COM_BusInputObject(handle - 1) : nullptr;
}
inline uint8_t* outputObject(uint32_t handle) {
  return handle ? COM_BusOutputObject(handle - 1) : nullptr;
}

// 16-bit values of the objects, least significant byte first.
inline uint16_t getLE16(const uint8_t* b) { return static_cast<uint16_t>(b[0] | b[1] << 8); }
inline void putLE16(uint8_t* b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}

// True when the device has the system-bus option (communication option digit "1" or above).
bool busOption();

// The pending word values become the current ones (the start-up pass takes them over).
void takePendingWordValues(const FbLayout& L);
// True when every current word value passes its limit record: values loaded from an
// engineering are checked before they name a node or an object.
bool wordValuesAllowed(const FbLayout& L, const FbLimitTable& limits);

// How a block waits for its partner's identity in state 1.
struct PartnerRule {
  bool announces;     // the node announces itself: its identity is never asked for
  uint16_t kinds;     // the node kinds accepted, as bits (1 << kind); 0: any kind
  uint8_t retryLimit; // unidentified runs before id-err
};
constexpr PartnerRule kOwnFamilyPartner{true, 1u << COM_KIND_OWN_FAMILY, 20};
constexpr PartnerRule kAnyPartner{false, 0, 20};
constexpr PartnerRule kOtherFamilyPartner{false, 0x000Eu, 10};  // kinds 1, 2, 3

// One run of state 1: the node is marked as used; once it is known with an accepted kind,
// id-err is cleared, the mark says "identified" and the result is true. A node known with
// another kind sets id-err; an unidentified one sets it after `retryLimit` runs.
bool identifyPartner(ComBusNode& node, uint8_t& retry, uint16_t& idErr, const PartnerRule& rule);

// States 6 and 7 of a block that watches its partner's operating state: true when the data
// are to be taken in this run (state 6 then moves on to 7). A partner not operational keeps
// state 6 waiting; any other state, and a partner lost in state 7, fall back to state 1 with
// valid = 0.
bool partnerOperational(uint8_t& link, const ComBusNode& node, uint16_t& valid);

// The place of X k / Y k (1-based, 1..9) in the five cross-communication objects:
// object 1 bytes 4..7, then two per object.
inline uint8_t* crossPlace(uint8_t* const objects[5], unsigned k) {
  return objects[k / 2] + (k % 2 ? 4 : 0);
}

void registerCrossTypes();
void registerCouplerTypes();
void registerRawTypes();

}  // namespace busblk
