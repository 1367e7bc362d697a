// What the files of the remote I/O family share: the head and configuration list every
// module block keeps, the claim of a slot, and the phase steps every module run takes.
#pragma once

#include <bit>
#include <cstdint>
#include <span>

#include "blocks/block_family.h"
#include "blocks/remoteio/remoteio.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

namespace rio {

// Digital outputs every module block begins with.
enum : uint16_t { kEtErr = 0, kIdErr = 1, kValid = 2, kFirstModuleOutput = 3 };
// Analog input 1 of every module block is "Slot x".
constexpr uint16_t kSlotInput = 0;
// Word value 0 of every module block is "MTyp".
constexpr uint16_t kModuleType = 0;

constexpr uint16_t kGroupRemoteIo = 24;   // catalogue group of the module blocks

// The head of every module block's own state.
struct ModuleHead {
  uint16_t coupler;    // block number of the coupler
  uint8_t slot;        // 0..8
  uint8_t claimed;     // 1: the block owns the slot
  uint8_t lastPhase;   // the coupler's phase at the previous run
  uint8_t spare;
};

// A configuration list of N entries, as a module block keeps it.
template <uint16_t N>
struct ConfigList {
  static_assert(N <= RIO_MAX_ENTRIES);
  uint16_t count;
  RioConfigEntry entry[N];
  RioListView view() { return {&count, entry}; }
  // Appends an entry for `channel` (0-based; | RIO_SECOND_GROUP for the second group); the
  // data bytes come least significant first.
  void add(uint16_t object, uint8_t channel, uint8_t length, uint32_t data) {
    if (count >= N) return;
    RioConfigEntry& e = entry[count++];
    e = RioConfigEntry{};
    e.index[0] = static_cast<uint8_t>(object);
    e.index[1] = static_cast<uint8_t>(object >> 8);
    e.channel = channel;
    e.length = length;
    for (uint8_t i = 0; i < length && i < sizeof e.data; ++i) e.data[i] = static_cast<uint8_t>(data >> (8 * i));
  }
};

// The block the schedulers run, when it is of `type` and its work words hold State.
template <typename State>
bool currentModule(FbLayout& L, uint16_t type) {
  return FB_CurrentLayout(&L) && L.type == type && L.workWords >= BLK_WorkWordsOf<State>();
}

// The slot record a head names (null for a block without a claim).
RioSlotRecord* slotOf(const ModuleHead& h);

// Init steps 1..3 of every module block: the stored word and 4-byte values become the working
// ones, the outputs are cleared, and the slot "Slot x" names is claimed and handed the list
// (and the command entry). False with et_err = 1 when "Slot x" is open, names no slot of a
// C_TQ5x block, or the slot is claimed already.
bool initModule(const FbLayout& L, ModuleHead& h, RioListView list, RioConfigEntry* command);

// The kind-check rule of a type: whether the module reported for the slot, behind a coupler
// of this class, is the one the block expects.
using KindRule = bool (*)(const FbLayout& L, uint8_t reported, uint8_t couplerClass);
// TQ_DI, TQ_DO, TQ_AI, TQ_AO, TQ_AI+: the kind of "MTyp" (4 and 11 stand for each other);
// thermocouple modules are not served by a coupler of class 20 or more.
bool expectedKind(const FbLayout& L, uint8_t reported, uint8_t couplerClass);

// What a module type gives the common run steps: its kind check, and the build of its
// configuration list from its working values (the same entries every time).
struct ModuleRules {
  KindRule accepts;
  void (*build)(const FbLayout& L);
};

// Steps 1..3 and 5 of every module run: "valid" from the slot; the list built again and every
// entry marked as requested when the coupler (re)starts; the kind check when the coupler
// enters configuration (with the sub-indexes set from the slot, or id_err, slot state 2 and the
// requests withdrawn); the coupler's phase remembered. A block in a slow time group may not
// see every phase: a phase lower than the one remembered counts as a restart, and the check
// is made whenever configuration is reached from a phase before it. Returns the phase
// remembered from the previous run and the slot record (phase 0 and no slot for a block with
// et_err, which does nothing).
struct ModuleStep {
  uint8_t phase;
  RioSlotRecord* slot;
};
ModuleStep modulePhase(const FbLayout& L, ModuleHead& h, RioListView list, const ModuleRules& rules);

// The head and the list of a module block's own state (every type's state begins with them);
// null for another block.
ModuleHead* headOf(const FbLayout& L);
RioListView listOf(const FbLayout& L);

// True when the type's values are to be taken (phase 7, or 4 and 7 for outputs) without id_err.
inline bool operating(const FbLayout& L, uint8_t phase) { return phase == RIO_OPERATE && !L.dout[kIdErr]; }
inline bool writingOutputs(const FbLayout& L, uint8_t phase) {
  return (phase == RIO_CONFIGURE || phase == RIO_OPERATE) && !L.dout[kIdErr];
}

// Word value k and 4-byte value k (as a float) of an instance, current or pending.
inline uint16_t wv(const FbLayout& L, uint16_t k, bool pending = false) {
  return k < L.wordValues ? L.wv[k + (pending ? L.wordValues : 0)] : 0;
}
inline float lv(const FbLayout& L, uint16_t k) {
  return k < L.longValues ? std::bit_cast<float>(L.lv[k].get()) : 0.0f;
}

// Little-endian values of the slot images.
inline int16_t getI16(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }
inline void putI16(uint8_t* p, int16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
}
inline int32_t getI32(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

// The module's filter byte for a time constant in seconds: 255 x 0.1 / (Tf + 0.1), truncated.
inline uint8_t filterByte(float tf) { return FW_FloatToU8(255.0f * 0.1f / (tf + 0.1f)); }

// The bits of a float, for the 4-byte defaults of the templates.
constexpr uint32_t f32(float f) { return std::bit_cast<uint32_t>(f); }

// A code set: its codes in rising order, and the code a value outside it is replaced by.
struct CodeSet {
  std::span<const uint8_t> codes;
  uint8_t fallback;
  bool contains(uint16_t c) const {
    for (uint8_t x : codes) {
      if (x == c) return true;
    }
    return false;
  }
  // The two callbacks of a discrete-set limit record: the smallest code at or above x (the
  // last beyond it), and the code before one of the set (the first stays).
  int16_t next(int16_t x) const;
  int16_t previous(int16_t e) const;
};

// The two-point correction value x d + o of x1in, x1out, x2in, x2out (float parameters
// 4k .. 4k + 3): d = 1 when x1in = x2in or the factor is no number.
struct Correction {
  FbF32 d, o;
};
Correction correctionOf(const FbLayout& L, uint16_t channel);

// Registration of each file's rows.
void registerCoupler();
void registerDigitalModules();
void registerAnalogModules();
void registerStrainGauge();

}  // namespace rio
