// Scheduling: fixed-number blocks, time groups by phase, chains, the start-up pass and the
// chain check.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"

namespace {

// Every handler call, in order: 'r' for Run, 'i' for Init, with the current block.
struct Call {
  char kind;
  uint16_t block;
  bool operator==(const Call&) const = default;
};
std::vector<Call> g_calls;

void recordRun() { g_calls.push_back({'r', g_fbStore.currentBlock}); }
void recordInit() { g_calls.push_back({'i', g_fbStore.currentBlock}); }

// Types without any groups (17 words); their handlers only record the call.
constexpr uint16_t kPlain = 200;       // an ordinary time-group type
constexpr uint16_t kInputIo = 46;      // TC_IN
constexpr uint16_t kOutputIo = 47;     // I_OUT
constexpr uint16_t kFixedInput = 76;   // F_INP runs with the input I/O blocks
constexpr uint16_t kTypes[] = {kPlain,           kInputIo,          kOutputIo,
                               kFixedInput,      FB_TYPE_APROG,     FB_TYPE_DPROGD,
                               FB_TYPE_CONTR,    FB_TYPE_PIDMA,     FB_TYPE_L1WRIT};
constexpr FbTemplate makeTemplate(uint16_t type) { return FbTemplate{.size = 17, .type = type}; }
constexpr FbTemplate kTemplates[] = {
    makeTemplate(kTypes[0]), makeTemplate(kTypes[1]), makeTemplate(kTypes[2]),
    makeTemplate(kTypes[3]), makeTemplate(kTypes[4]), makeTemplate(kTypes[5]),
    makeTemplate(kTypes[6]), makeTemplate(kTypes[7]), makeTemplate(kTypes[8])};

struct Placement {
  uint16_t block;
  uint16_t group;
  uint16_t after = 0;
  uint16_t type = kPlain;
};

class ScheduleTest : public ::testing::Test {
 protected:
  ScheduleTest() {
    FB_ClearTypeTable();
    FB_ClearStore();
    for (const FbTemplate& t : kTemplates) {
      EXPECT_EQ(FB_RegisterType(t.type, FB_TypeFromTemplate(&t, recordRun, recordInit, nullptr,
                                                             nullptr, FB_COMMON_BLOCK_RANGES, 0,
                                                             0, 0)),
                FB_OK);
    }
    g_fbSchedule.phase = 0;
    g_calls.clear();
  }

  static void place(const Placement& p) {
    ASSERT_EQ(FB_CreateInstance(p.type, p.block), FB_OK) << "block " << p.block;
    g_fbStore.list[p.block].instance[FB_HDR_GROUP] = p.group;
    uint16_t* w = g_fbStore.list[p.block].wiring;
    w[FB_WIRE_GROUP] = p.group;
    w[FB_WIRE_AFTER] = p.after;
  }
  static void place(std::initializer_list<Placement> ps) {
    for (const Placement& p : ps) place(p);
  }

  // The blocks of the recorded calls of one kind, in call order.
  static std::vector<uint16_t> blocks(char kind = 'r') {
    std::vector<uint16_t> out;
    for (const Call& c : g_calls)
      if (c.kind == kind) out.push_back(c.block);
    return out;
  }
};

// One head block per group: block 100 + g in group g.
void placeOnePerGroup() {
  for (uint16_t g = 1; g <= FB_GROUP_COUNT; ++g) {
    ASSERT_EQ(FB_CreateInstance(kPlain, 100 + g), FB_OK);
    g_fbStore.list[100 + g].wiring[FB_WIRE_GROUP] = g;
  }
  ASSERT_EQ(FB_CheckChains(), FB_CHAIN_OK);
}

TEST_F(ScheduleTest, EachPhaseRunsItsFourGroupsInOrder) {
  placeOnePerGroup();
  const std::vector<uint16_t> expected[FB_PHASE_COUNT] = {
      {101, 102, 104, 108}, {101, 103, 105, 109}, {101, 102, 106, 110}, {101, 103, 107, 111},
      {101, 102, 104, 112}, {101, 103, 105, 113}, {101, 102, 106, 114}, {101, 103, 107, 115}};
  for (uint16_t phase = 0; phase < FB_PHASE_COUNT; ++phase) {
    SCOPED_TRACE(phase);
    g_calls.clear();
    g_fbSchedule.phase = phase;
    FB_RunSchedule();
    EXPECT_EQ(blocks(), expected[phase]);
    EXPECT_TRUE(blocks('i').empty());
  }
}

TEST_F(ScheduleTest, GroupFifteenRunsOnlyAtPhaseSeven) {
  place({{300, 15}});
  ASSERT_EQ(FB_CheckChains(), FB_CHAIN_OK);
  std::vector<uint16_t> phasesRun;
  for (int cycle = 0; cycle < 24; ++cycle) {
    g_calls.clear();
    FB_RunSchedule();
    if (!g_calls.empty()) phasesRun.push_back(g_fbSchedule.phase);
    g_fbSchedule.phase = static_cast<uint16_t>((g_fbSchedule.phase + 1) % FB_PHASE_COUNT);
  }
  EXPECT_EQ(phasesRun, (std::vector<uint16_t>{7, 7, 7}));
}

TEST_F(ScheduleTest, ChainRunsInAfterBlockOrderNotByNumber) {
  place({{1000, 2, 150}, {300, 2}, {150, 2, 300}, {120, 2, 1000}, {5, 2, 120}, {57, 3}});
  ASSERT_EQ(FB_CheckChains(), FB_CHAIN_OK);
  FB_RunTimeGroup(2);
  EXPECT_EQ(blocks(), (std::vector<uint16_t>{300, 150, 1000, 120, 5}));
  EXPECT_EQ(g_fbSchedule.head[2], 300);
  EXPECT_EQ(g_fbSchedule.head[3], 57);
}

TEST_F(ScheduleTest, ChainCheckResults) {
  struct Case {
    const char* name;
    std::vector<Placement> blocks;
    uint16_t result;
  } cases[] = {
      {"valid chains", {{200, 1}, {300, 1, 200}, {400, 4}}, FB_CHAIN_OK},
      {"two blocks after block 200", {{200, 1}, {300, 1, 200}, {301, 1, 200}},
       FB_CHAIN_TWO_SUCCESSORS},
      {"block names itself", {{200, 1}, {300, 1, 300}}, FB_CHAIN_TWO_SUCCESSORS},
      {"after-block missing", {{200, 1}, {300, 1, 250}}, FB_CHAIN_NO_AFTER_BLOCK},
      {"after-block beyond 1950", {{200, 1}, {300, 1, 4000}}, FB_CHAIN_NO_AFTER_BLOCK},
      {"after-block in another group", {{200, 1}, {300, 2, 200}}, FB_CHAIN_OTHER_GROUP},
      {"first of a chain after another group", {{200, 1}, {300, 2, 200}, {301, 2, 300}},
       FB_CHAIN_NO_HEAD},
      {"two heads", {{200, 3}, {300, 3}}, FB_CHAIN_TWO_HEADS},
      {"group 0", {{200, 0}}, FB_CHAIN_BAD_GROUP},
      {"group 16", {{200, 16}}, FB_CHAIN_BAD_GROUP},
      {"chained group without head", {{200, 5, 300}, {300, 5, 200}}, FB_CHAIN_NO_HEAD},
      {"last error wins", {{150, 0}, {200, 1}, {300, 1}}, FB_CHAIN_TWO_HEADS},
      {"fixed numbers are not checked", {{30, 0}, {70, 0, 5}, {200, 1}}, FB_CHAIN_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FB_ClearStore();
    for (const Placement& p : c.blocks) place(p);
    EXPECT_EQ(FB_CheckChains(), c.result);
  }
}

TEST_F(ScheduleTest, CheckingAgainGivesTheSameChains) {
  place({{200, 1}, {300, 1, 200}, {400, 1, 300}});
  ASSERT_EQ(FB_CheckChains(), FB_CHAIN_OK);
  ASSERT_EQ(FB_CheckChains(), FB_CHAIN_OK) << "links of the first check must not count twice";
  FB_RunTimeGroup(1);
  EXPECT_EQ(blocks(), (std::vector<uint16_t>{200, 300, 400}));
}

TEST_F(ScheduleTest, FixedNumbersRunByTheirOwnSchedulers) {
  // An ordinary block at every number 21..99, I/O types at 62..64.
  for (uint16_t b = 21; b <= 99; ++b) {
    const uint16_t type = b == 62 ? kInputIo : b == 63 ? kOutputIo : b == 64 ? kFixedInput : kPlain;
    place({b, 0, 0, type});
  }
  FB_RunInputIo();
  EXPECT_EQ(blocks(), (std::vector<uint16_t>{62, 64, 91}));
  g_calls.clear();
  FB_RunInputBlocks();
  EXPECT_EQ(blocks(), (std::vector<uint16_t>{21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33,
                                             34, 35, 36, 37, 38, 39, 40, 51, 87, 88, 89, 98, 99}));
  g_calls.clear();
  FB_RunOutputBlocks();
  EXPECT_EQ(blocks(), (std::vector<uint16_t>{41, 42, 43, 44, 45, 46, 90, 96, 97}));
  g_calls.clear();
  FB_RunOutputIo();
  EXPECT_EQ(blocks(), (std::vector<uint16_t>{63, 95}));
}

TEST_F(ScheduleTest, NonIoBlockAt61AndUnscheduledNumbersNeverRun) {
  for (uint16_t b = 21; b <= 99; ++b) {
    if (b < 56 || b > 60) place({b, 0});  // 56..60 are time-group numbers
  }
  place({200, 1});
  ASSERT_EQ(FB_CheckChains(), FB_CHAIN_OK);
  FB_RunStartupPass();
  for (uint16_t phase = 0; phase < FB_PHASE_COUNT; ++phase) {
    g_fbSchedule.phase = phase;
    FB_RunInputIo();
    FB_RunSchedule();
    FB_RunOutputIo();
  }
  const uint16_t never[] = {47, 48, 49, 50, 52, 53, 54, 55, 61, 70, 85, 86, 92, 93, 94};
  for (uint16_t b : never) {
    EXPECT_EQ(std::count_if(g_calls.begin(), g_calls.end(),
                            [b](const Call& c) { return c.block == b; }),
              0)
        << "block " << b;
  }
  EXPECT_EQ(std::count(g_calls.begin(), g_calls.end(), Call{'r', 91}), 8);
  EXPECT_EQ(std::count(g_calls.begin(), g_calls.end(), Call{'r', 95}), 8);
}

TEST_F(ScheduleTest, StartupPassRunsEveryInitOnceInItsOrder) {
  place({{62, 0, 0, kInputIo}, {91, 0}, {21, 0}, {99, 0}, {41, 0}, {97, 0},
         {63, 0, 0, kOutputIo}, {95, 0}});
  for (uint16_t g = 1; g <= FB_GROUP_COUNT; ++g) place({static_cast<uint16_t>(100 + g), g});
  place({{500, 4, 104}});  // a chain of two in group 4
  ASSERT_EQ(FB_CheckChains(), FB_CHAIN_OK);

  FB_RunStartupPass();
  EXPECT_TRUE(blocks('r').empty()) << "the start-up pass calls no Run handler";
  EXPECT_EQ(blocks('i'), (std::vector<uint16_t>{62, 91, 21, 99, 101, 102, 104, 500, 108, 103,
                                                105, 109, 106, 110, 107, 111, 112, 113, 114,
                                                115, 41, 97, 63, 95}));
  // Afterwards the schedulers call Run again.
  g_calls.clear();
  FB_RunInputIo();
  EXPECT_EQ(g_calls, (std::vector<Call>{{'r', 62}, {'r', 91}}));
}

TEST_F(ScheduleTest, ChainCheckFillsThePageLists) {
  // 41 programmers in one chain: the list keeps the first 40.
  for (uint16_t b = 100; b <= 140; ++b) {
    place({b, 1, static_cast<uint16_t>(b == 100 ? 0 : b - 1), FB_TYPE_APROG});
  }
  place({{300, 2, 0, FB_TYPE_CONTR}, {301, 2, 300, FB_TYPE_PIDMA}, {302, 2, 301, FB_TYPE_DPROGD},
         {5, 3, 0, FB_TYPE_L1WRIT}});
  ASSERT_EQ(FB_CheckChains(), FB_CHAIN_OK);

  EXPECT_EQ(g_fbSchedule.progBlocks[0], 100);
  EXPECT_EQ(g_fbSchedule.progBlocks[FB_PROG_LIST_SIZE - 1], 139);
  EXPECT_EQ(g_fbSchedule.ctrlBlocks[0], 300);
  EXPECT_EQ(g_fbSchedule.ctrlBlocks[1], 301);
  EXPECT_EQ(g_fbSchedule.ctrlBlocks[2], FB_LIST_UNUSED);
  EXPECT_EQ(g_fbSchedule.progDataBlocks[0], 302);
  EXPECT_EQ(g_fbSchedule.progDataBlocks[1], FB_LIST_UNUSED);
  EXPECT_EQ(g_fbSchedule.l1writ[5], 1);
  EXPECT_EQ(g_fbSchedule.l1writ[300], 0);

  // Clearing the engineering forgets lists and chains.
  FB_ClearStore();
  EXPECT_EQ(g_fbSchedule.progBlocks[0], FB_LIST_UNUSED);
  EXPECT_EQ(g_fbSchedule.head[1], 0);
  EXPECT_EQ(g_fbSchedule.l1writ[5], 0);
}

TEST_F(ScheduleTest, CycleTimeFollowsTheTimeGroup) {
  const float expected[] = {0.1f, 0.1f, 0.2f, 0.2f, 0.4f, 0.4f, 0.4f, 0.4f,
                            0.8f, 0.8f, 0.8f, 0.8f, 0.8f, 0.8f, 0.8f, 0.8f};
  for (uint16_t g = 0; g <= FB_GROUP_COUNT; ++g) EXPECT_EQ(FB_GroupCycleTime(g), expected[g]);
  EXPECT_EQ(FB_GroupCycleTime(99), 0.1f);
  EXPECT_EQ(FB_CYCLE_TIMES[16], 1.0f);
  EXPECT_EQ(FB_CYCLE_TIMES[17], 1.5e37f);
  EXPECT_EQ(FB_CYCLE_TIMES[18], -1.5e37f);

  place({{300, 9}, {301, 3}});
  EXPECT_EQ(FB_BlockCycleTime(300), 0.8f);
  EXPECT_EQ(FB_BlockCycleTime(301), 0.2f);
  EXPECT_EQ(FB_BlockCycleTime(302), 0.1f) << "missing block";
  EXPECT_EQ(FB_BlockCycleTime(70000), 0.1f) << "number out of range";
}

TEST_F(ScheduleTest, WalkEndsOnALoopedChainAndSkipsVanishedBlocks) {
  place({{200, 1}, {300, 1, 200}, {400, 1, 300}});
  ASSERT_EQ(FB_CheckChains(), FB_CHAIN_OK);
  g_fbStore.list[400].next = 200;  // closed into a loop behind the check's back
  FB_RunTimeGroup(1);
  EXPECT_LE(g_calls.size(), FB_MAX_BLOCK);

  // A block whose instance is gone is stepped over; the chain goes on behind it.
  g_fbStore.list[400].next = 0;
  g_fbStore.list[300].instance = nullptr;
  g_calls.clear();
  FB_RunTimeGroup(1);
  EXPECT_EQ(blocks(), (std::vector<uint16_t>{200, 400}));
  g_calls.clear();
  FB_RunTimeGroup(0);
  FB_RunTimeGroup(16);
  EXPECT_TRUE(g_calls.empty());
}

}  // namespace
