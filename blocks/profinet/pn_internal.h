// Steps the PROFINET blocks share: chain links and the walk along a chain.
#pragma once

#include <cstdint>

#include "blocks/block_family.h"
#include "blocks/profinet/profinet.h"
#include "runtime/fb_blockdata.h"
#include "runtime/fb_param.h"

namespace pn {

// Catalogue groups of the family.
enum : uint16_t { kGroupLogic = 3, kGroupCompare = 15, kGroupExchange = 19 };

// The word values Block i, Num i of PNREAD and PNWRIT (no block, parameter number 1), and
// their limits: Block 0..1950, Num 1..99.
inline constexpr uint16_t kLinkValues[2 * PN_VALUES] = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1,
                                                        0, 1, 0, 1, 0, 1, 0, 1, 0, 1};
inline constexpr FwShortLimit kBlockLimit{.min = 0, .max = FB_MAX_BLOCK};
inline constexpr FwShortLimit kNumLimit{.min = 1, .max = 99};
inline constexpr FwShortLimit kLinkLimits[2 * PN_VALUES] = {
    kBlockLimit, kNumLimit, kBlockLimit, kNumLimit, kBlockLimit, kNumLimit, kBlockLimit, kNumLimit,
    kBlockLimit, kNumLimit, kBlockLimit, kNumLimit, kBlockLimit, kNumLimit, kBlockLimit, kNumLimit,
    kBlockLimit, kNumLimit, kBlockLimit, kNumLimit};

// The block that analog input `input` (1-based) of `block` is wired to, when that block is
// of `type`; else 0 (unconnected, or a block of another type, which a chain ignores).
inline uint16_t chainSource(uint16_t block, uint16_t input, uint16_t type) {
  uint16_t source = 0, output = 0;
  return FB_GetInputSource(block, input, &source, &output) == type ? source : 0;
}

// Visits the blocks of a chain from its head in order, at most `limit` of them, calling
// visit(state, position). The walk ends at the chain's end, at a block that is missing or of
// another type, and at a block it has visited already, so that a chain wired into a loop
// neither hangs nor visits a block twice.
constexpr unsigned kMaxChain = 5;   // the 50-value areas hold five blocks
template <typename State, typename Visit>
void walkChain(uint16_t head, uint16_t type, unsigned limit, Visit visit) {
  uint16_t seen[kMaxChain];
  if (limit > kMaxChain) limit = kMaxChain;
  uint16_t block = head;
  for (unsigned k = 0; k < limit && block != 0; ++k) {
    for (unsigned j = 0; j < k; ++j) {
      if (seen[j] == block) return;
    }
    State* s = BLK_StateOf<State>(block, type);
    if (!s) return;
    seen[k] = block;
    visit(*s, k);
    block = s->next;
  }
}

void registerGateTypes();
void registerReadType();
void registerWriteType();
void registerServType();

}  // namespace pn
