// Scheduling of the block handlers.
//
// Blocks run in one of three ways: the I/O blocks at fixed numbers run every cycle, the
// fixed system blocks run every cycle in the run mode, and every other block runs in one of
// 15 time groups that share the 100 ms cycle through the phase counter:
//
//   group 1 every cycle (0.1 s), groups 2..3 every 2nd (0.2 s), 4..7 every 4th (0.4 s),
//   8..15 every 8th cycle (0.8 s).
//
// Within a group the blocks run along a chain (the block list's `next` field) that starts
// at the group's head; each block names in its wiring record the block it runs after.
// FB_CheckChains builds the chains when an engineering is loaded.
#pragma once

#include <cstdint>

#include "runtime/fb_store.h"

constexpr uint16_t FB_GROUP_COUNT = 15;   // time groups 1..15
constexpr uint16_t FB_PHASE_COUNT = 8;    // phase counter 0..7

// Cycle time in seconds by time group 0..15 (group 0: the fixed blocks, every cycle),
// followed by the constants 1.0, +1.5e37 and -1.5e37.
constexpr float FB_CYCLE_TIMES[FB_GROUP_COUNT + 1 + 3] = {
    0.1f, 0.1f, 0.2f, 0.2f, 0.4f, 0.4f, 0.4f, 0.4f, 0.8f, 0.8f,
    0.8f, 0.8f, 0.8f, 0.8f, 0.8f, 0.8f, 1.0f, 1.5e37f, -1.5e37f};

// The cycle time of a time group; a number outside 0..15 reads as group 0.
inline float FB_GroupCycleTime(uint32_t group) {
  return FB_CYCLE_TIMES[group <= FB_GROUP_COUNT ? group : 0];
}
// The cycle time of a block, taken from the time group of its wiring record (0.1 s for a
// missing block or one without a valid group).
float FB_BlockCycleTime(uint32_t block);

// Block types the chain check lists for the operating pages.
enum : uint16_t {
  FB_TYPE_APROG = 24, FB_TYPE_APROGD = 25, FB_TYPE_APRGD2 = 26, FB_TYPE_DPROG = 27,
  FB_TYPE_DPROGD = 28, FB_TYPE_CONTR = 90, FB_TYPE_CONTR_PLUS = 91, FB_TYPE_PIDMA = 93,
  FB_TYPE_L1WRIT = 101,
};

constexpr uint16_t FB_PROG_LIST_SIZE = 40;       // APROG, DPROG
constexpr uint16_t FB_PROG_DATA_LIST_SIZE = 160; // APROGD, APRGD2, DPROGD
constexpr uint16_t FB_CTRL_LIST_SIZE = 30;       // CONTR, CONTR+, PIDMA
constexpr uint16_t FB_LIST_UNUSED = 0xFFFF;      // free place in the page lists

struct FbSchedule {
  uint16_t head[FB_GROUP_COUNT + 1];  // first block of each group, 0 = empty (head[0] unused)
  uint16_t phase;                     // 0..7; the main cycle advances it once per cycle
  // Block numbers for the operating pages in chain-check order, the rest FB_LIST_UNUSED.
  uint16_t progBlocks[FB_PROG_LIST_SIZE];
  uint16_t progDataBlocks[FB_PROG_DATA_LIST_SIZE];
  uint16_t ctrlBlocks[FB_CTRL_LIST_SIZE];
  uint8_t l1writ[FB_LIST_SIZE];       // 1 for every L1WRIT block, by block number
  // The block of the chain check's reported error (the last one met), 0 when the chains
  // are sound: a tool names it beside the error code.
  uint16_t faultBlock;
};

extern FbSchedule g_fbSchedule;

// Forgets the chains, the page lists and the marks (the engineering is cleared); the phase
// counter stays.
void FB_ClearSchedule();

// Input I/O blocks: those of numbers 61..85 whose type is an input I/O type, then block 91
// whatever its type.
void FB_RunInputIo();
// Fixed input-side blocks 21..40, 51, 87, 88, 89, 98, 99 in this order.
void FB_RunInputBlocks();
// The chain of one time group from its head (a group outside 1..15 runs nothing).
void FB_RunTimeGroup(uint16_t group);
// Fixed output-side blocks 41..46, 90, 96, 97.
void FB_RunOutputBlocks();
// Output I/O blocks: those of numbers 61..85 whose type is an output I/O type, then block
// 95 whatever its type.
void FB_RunOutputIo();
// The input-side blocks, the four time groups of the current phase, the output-side blocks.
void FB_RunSchedule();

// The start-up pass: every block's Init handler once, in the order input I/O, input-side
// blocks, groups 1, 2, 4, 8, 3, 5, 9, 6, 10, 7, 11, 12, 13, 14, 15, output-side blocks,
// output I/O.
void FB_RunStartupPass();

// Results of FB_CheckChains (the last error met wins).
enum : uint16_t {
  FB_CHAIN_OK = 0,
  FB_CHAIN_NO_AFTER_BLOCK = 2,   // the after-block does not exist
  FB_CHAIN_TWO_SUCCESSORS = 3,   // the after-block already has a successor
  FB_CHAIN_NO_HEAD = 4,          // a group with chained blocks has no head
  FB_CHAIN_OTHER_GROUP = 5,      // the after-block is in another group
  FB_CHAIN_TWO_HEADS = 6,        // a second block without after-block in the group
  FB_CHAIN_BAD_GROUP = 7,        // time group outside 1..15
};

// Builds the group chains and the page lists from the wiring records of blocks 1..20,
// 56..60 and 100..1950 and checks them. A faulty link is left out, so that every chain
// stays a simple path from its head.
uint16_t FB_CheckChains();
