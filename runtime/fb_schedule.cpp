#include "runtime/fb_schedule.h"

#include <algorithm>
#include <array>

FbSchedule g_fbSchedule{};

namespace {

// Set while FB_RunStartupPass runs: the schedulers then call the Init handlers.
bool g_initPass = false;

// Input and output I/O types, looked up by type number (no search on the tick).
using TypeSet = std::array<bool, FB_TYPE_COUNT>;
constexpr TypeSet makeSet(std::initializer_list<uint16_t> types) {
  TypeSet s{};
  for (uint16_t t : types) s[t] = true;
  return s;
}
// TC_IN, F_INP, R_IN, U_IN, D_IN, VIDLE, AINP1, TPS_IN, AINP3..AINP6, UNI_IN. F_INP takes its
// channel in its Init, so it runs with the input I/O blocks.
constexpr TypeSet kInputIoTypes =
    makeSet({46, 76, 77, 78, 106, 107, 110, 111, 112, 113, 114, 115, 129});
// I_OUT, U_OUT, DIDO, D_OUT, S_OUT, OUT1..OUT4, REL_OUT, SSR_OUT, PWM_OUT.
constexpr TypeSet kOutputIoTypes =
    makeSet({47, 48, 49, 105, 108, 116, 117, 118, 119, 120, 128, 240});

constexpr uint16_t kIoFirst = 61, kIoLast = 85;
constexpr uint16_t kInputIoExtra = 91, kOutputIoExtra = 95;
constexpr uint16_t kInputBlocks[] = {21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33,
                                     34, 35, 36, 37, 38, 39, 40, 51, 87, 88, 89, 98, 99};
constexpr uint16_t kOutputBlocks[] = {41, 42, 43, 44, 45, 46, 90, 96, 97};

// Groups by phase: group 1 always, one of 2..3, one of 4..7, one of 8..15.
constexpr uint8_t kPhaseGroups[FB_PHASE_COUNT][4] = {
    {1, 2, 4, 8},  {1, 3, 5, 9},  {1, 2, 6, 10}, {1, 3, 7, 11},
    {1, 2, 4, 12}, {1, 3, 5, 13}, {1, 2, 6, 14}, {1, 3, 7, 15}};
constexpr uint8_t kStartupGroups[] = {1, 2, 4, 8, 3, 5, 9, 6, 10, 7, 11, 12, 13, 14, 15};

// Calls the handler of one block, if the block exists and its type is in use.
inline void runBlock(uint16_t block) {
  const uint16_t* inst = g_fbStore.list[block].instance;
  if (!inst) return;
  const FbTypeRecord* rec = FB_GetType(inst[FB_HDR_TYPE]);
  if (!rec) return;
  g_fbStore.currentBlock = block;
  const FbRunHandler handler = g_initPass ? rec->init : rec->run;
  if (handler) handler();
}

// Runs the blocks 61..85 whose type is in the set, then the extra block whatever its type.
void runIo(const TypeSet& types, uint16_t extra) {
  for (uint16_t b = kIoFirst; b <= kIoLast; ++b) {
    const uint16_t* inst = g_fbStore.list[b].instance;
    if (inst && inst[FB_HDR_TYPE] < FB_TYPE_COUNT && types[inst[FB_HDR_TYPE]]) runBlock(b);
  }
  runBlock(extra);
}

bool isChainNumber(uint16_t b) { return b <= 20 || (b >= 56 && b <= 60) || b >= 100; }

void addToList(uint16_t* list, uint16_t size, uint16_t block) {
  uint16_t* end = list + size;
  uint16_t* free = std::find(list, end, FB_LIST_UNUSED);
  if (free != end) *free = block;
}

}  // namespace

float FB_BlockCycleTime(uint32_t block) {
  const uint16_t* wire = FB_GetWiring(block);
  return wire ? FB_GroupCycleTime(wire[FB_WIRE_GROUP]) : FB_GroupCycleTime(0);
}

void FB_ClearSchedule() {
  std::fill(std::begin(g_fbSchedule.head), std::end(g_fbSchedule.head), 0);
  std::fill(std::begin(g_fbSchedule.progBlocks), std::end(g_fbSchedule.progBlocks),
            FB_LIST_UNUSED);
  std::fill(std::begin(g_fbSchedule.progDataBlocks), std::end(g_fbSchedule.progDataBlocks),
            FB_LIST_UNUSED);
  std::fill(std::begin(g_fbSchedule.ctrlBlocks), std::end(g_fbSchedule.ctrlBlocks),
            FB_LIST_UNUSED);
  std::fill(std::begin(g_fbSchedule.l1writ), std::end(g_fbSchedule.l1writ), 0);
  g_fbSchedule.faultBlock = 0;
}

void FB_RunInputIo() { runIo(kInputIoTypes, kInputIoExtra); }

void FB_RunOutputIo() { runIo(kOutputIoTypes, kOutputIoExtra); }

void FB_RunInputBlocks() {
  for (uint16_t b : kInputBlocks) runBlock(b);
}

void FB_RunOutputBlocks() {
  for (uint16_t b : kOutputBlocks) runBlock(b);
}

void FB_RunTimeGroup(uint16_t group) {
  if (group == 0 || group > FB_GROUP_COUNT) return;
  uint16_t b = g_fbSchedule.head[group];
  const bool init = g_initPass;
  // A handler may move the current block number; the walk continues from it. The step
  // bound ends the walk should a chain ever be closed into a loop.
  for (uint32_t steps = 0; b != 0 && b <= FB_MAX_BLOCK && steps < FB_MAX_BLOCK; ++steps) {
    g_fbStore.currentBlock = b;
    if (const uint16_t* inst = g_fbStore.list[b].instance) {
      if (const FbTypeRecord* rec = FB_GetType(inst[FB_HDR_TYPE])) {
        if (const FbRunHandler handler = init ? rec->init : rec->run) handler();
      }
    }
    // Almost always the handler leaves the number as it was: the link of this block is then
    // read on a branch, so the walk does not wait for the number to be read back.
    const uint16_t current = g_fbStore.currentBlock;
    if (__builtin_expect(current == b, 1))
      b = g_fbStore.list[b].next;
    else
      b = current <= FB_MAX_BLOCK ? g_fbStore.list[current].next : 0;
  }
}

void FB_RunSchedule() {
  FB_RunInputBlocks();
  for (uint8_t g : kPhaseGroups[g_fbSchedule.phase % FB_PHASE_COUNT]) FB_RunTimeGroup(g);
  FB_RunOutputBlocks();
}

void FB_RunStartupPass() {
  g_initPass = true;
  FB_RunInputIo();
  FB_RunInputBlocks();
  for (uint8_t g : kStartupGroups) FB_RunTimeGroup(g);
  FB_RunOutputBlocks();
  FB_RunOutputIo();
  g_initPass = false;
}

uint16_t FB_CheckChains() {
  FB_ClearSchedule();
  for (FbBlockListEntry& e : g_fbStore.list) e.next = 0;
  bool chained[FB_GROUP_COUNT + 1] = {};
  uint16_t firstInGroup[FB_GROUP_COUNT + 1] = {};
  uint16_t result = FB_CHAIN_OK;
  auto fault = [&](uint16_t code, uint16_t block) {
    result = code;
    g_fbSchedule.faultBlock = block;
  };

  for (uint16_t b = 1; b <= FB_MAX_BLOCK; ++b) {
    if (!isChainNumber(b)) continue;
    const uint16_t* inst = g_fbStore.list[b].instance;
    if (!inst) continue;
    const uint16_t* wire = g_fbStore.list[b].wiring;
    const uint16_t group = wire ? wire[FB_WIRE_GROUP] : 0;
    if (group == 0 || group > FB_GROUP_COUNT) {
      fault(FB_CHAIN_BAD_GROUP, b);
      continue;
    }
    if (firstInGroup[group] == 0) firstInGroup[group] = b;

    switch (inst[FB_HDR_TYPE]) {
      case FB_TYPE_APROG:
      case FB_TYPE_DPROG:
        addToList(g_fbSchedule.progBlocks, FB_PROG_LIST_SIZE, b);
        break;
      case FB_TYPE_APROGD:
      case FB_TYPE_APRGD2:
      case FB_TYPE_DPROGD:
        addToList(g_fbSchedule.progDataBlocks, FB_PROG_DATA_LIST_SIZE, b);
        break;
      case FB_TYPE_CONTR:
      case FB_TYPE_CONTR_PLUS:
      case FB_TYPE_PIDMA:
        addToList(g_fbSchedule.ctrlBlocks, FB_CTRL_LIST_SIZE, b);
        break;
      case FB_TYPE_L1WRIT:
        g_fbSchedule.l1writ[b] = 1;
        break;
      default:
        break;
    }

    const uint16_t after = wire[FB_WIRE_AFTER];
    if (after != 0) {
      const uint16_t* afterWire = FB_GetWiring(after);
      // A block at a fixed place runs in its own pass, never in a chain: a block named after
      // it would never run.
      if (!isChainNumber(after) || !FB_GetInstance(after) || !afterWire) {
        fault(FB_CHAIN_NO_AFTER_BLOCK, b);
      } else if (afterWire[FB_WIRE_GROUP] != group) {
        fault(FB_CHAIN_OTHER_GROUP, b);
      } else if (g_fbStore.list[after].next != 0 || after == b) {
        // A block that names itself would close its chain into a loop.
        fault(FB_CHAIN_TWO_SUCCESSORS, b);
      } else {
        g_fbStore.list[after].next = b;
        chained[group] = true;
      }
    } else if (g_fbSchedule.head[group] != 0) {
      fault(FB_CHAIN_TWO_HEADS, b);
    } else {
      g_fbSchedule.head[group] = b;
    }
  }

  for (uint16_t g = 1; g <= FB_GROUP_COUNT; ++g) {
    if (chained[g] && g_fbSchedule.head[g] == 0) fault(FB_CHAIN_NO_HEAD, firstInGroup[g]);
  }
  return result;
}
