#include <gtest/gtest.h>

#include <vector>

#include "opui/op_keys.h"

namespace {

class KeyStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_opKeys = OpKeyState{};
    g_opTouchEditState = 0;
  }
  static void run(uint32_t code, int cycles) {
    for (int i = 0; i < cycles; ++i) OP_DispatchKey(code);
  }
};

// Release values of function, enter and exit: the hold count in the release cycle, 0 after.
TEST_F(KeyStateTest, ReleaseReportsHoldCountForOneCycle) {
  struct Case {
    uint32_t code;
    int held;
    uint8_t OpKeyState::*released;
  };
  const std::vector<Case> cases = {
      {OP_KEY_ENTER, 40, &OpKeyState::enterReleased},
      {OP_KEY_ENTER, 3, &OpKeyState::enterReleased},
      {OP_KEY_EXIT, 29, &OpKeyState::exitReleased},
      {OP_KEY_FUNCTION, 1, &OpKeyState::functionReleased},
      {OP_KEY_FUNCTION, 300, &OpKeyState::functionReleased},
  };
  for (const Case& c : cases) {
    SetUp();
    run(c.code, c.held);
    OP_DispatchKey(0);
    const int expected = c.held > 255 ? 255 : c.held;
    EXPECT_EQ(g_opKeys.*c.released, expected) << "code " << c.code << " held " << c.held;
    EXPECT_EQ(OP_IsShortPress(g_opKeys.*c.released), c.held < 30);
    OP_DispatchKey(0);
    EXPECT_EQ(g_opKeys.*c.released, 0);
  }
}

TEST_F(KeyStateTest, AnotherKeyReleasesTheHeldOne) {
  run(OP_KEY_ENTER, 5);
  OP_DispatchKey(OP_KEY_DOWN);
  EXPECT_EQ(g_opKeys.enterReleased, 5);
  EXPECT_EQ(g_opKeys.holdEnter, 0);
  EXPECT_EQ(g_opKeys.holdDown, 1);
  EXPECT_EQ(g_opKeys.downStep, 1);
  // The exit key starts with no enter release of its own.
  run(OP_KEY_FUNCTION, 4);
  OP_DispatchKey(OP_KEY_EXIT);
  EXPECT_EQ(g_opKeys.functionReleased, 4);
  EXPECT_EQ(g_opKeys.exitReleased, 0);
  EXPECT_EQ(g_opKeys.holdExit, 1);
}

TEST_F(KeyStateTest, CombinationsAreNoKey) {
  run(OP_KEY_ENTER, 2);
  OP_DispatchKey(OP_KEY_ENTER | OP_KEY_EXIT);
  EXPECT_EQ(g_opKeys.enterReleased, 2);
  EXPECT_EQ(g_opKeys.idleTicks, 1);
  EXPECT_EQ(g_opKeys.lastKeyCode, OP_KEY_ENTER | OP_KEY_EXIT);
}

TEST_F(KeyStateTest, IdleTicksSaturateAndAnyPressClearsThem) {
  for (uint32_t code : {OP_KEY_FUNCTION, OP_KEY_DOWN, OP_KEY_UP, OP_KEY_ENTER, OP_KEY_EXIT}) {
    SetUp();
    run(0, 65010);
    EXPECT_EQ(g_opKeys.idleTicks, 65000);
    OP_DispatchKey(code);
    EXPECT_EQ(g_opKeys.idleTicks, 0) << code;
  }
}

// Up held 10 cycles, released 2 (10 -> 7 -> 4), pressed again: a new step, counting on at 5.
TEST_F(KeyStateTest, UpDownDecayAndFreshStep) {
  run(OP_KEY_UP, 10);
  EXPECT_EQ(g_opKeys.holdUp, 10);
  run(0, 2);
  EXPECT_EQ(g_opKeys.holdUp, 4);
  OP_DispatchKey(OP_KEY_UP);
  EXPECT_EQ(g_opKeys.upStep, 1);
  EXPECT_EQ(g_opKeys.holdUp, 5);
  OP_DispatchKey(OP_KEY_UP);
  EXPECT_EQ(g_opKeys.upStep, 0);
  EXPECT_EQ(g_opKeys.holdUp, 6);
  run(0, 2);  // 6 -> 3 -> 0
  EXPECT_EQ(g_opKeys.holdUp, 0);
}

TEST_F(KeyStateTest, DirectionChangeCarriesTheRepeatCount) {
  run(OP_KEY_UP, 12);
  OP_DispatchKey(OP_KEY_DOWN);
  EXPECT_EQ(g_opKeys.holdUp, 0);
  EXPECT_EQ(g_opKeys.holdDown, 13);
  EXPECT_EQ(g_opKeys.downStep, 1);
}

TEST_F(KeyStateTest, HoldSaturatesAt255) {
  for (uint32_t code : {OP_KEY_FUNCTION, OP_KEY_DOWN, OP_KEY_UP, OP_KEY_ENTER, OP_KEY_EXIT}) {
    SetUp();
    run(code, 400);
    const uint8_t hold = code == OP_KEY_FUNCTION ? g_opKeys.holdFunction
                         : code == OP_KEY_DOWN   ? g_opKeys.holdDown
                         : code == OP_KEY_UP     ? g_opKeys.holdUp
                         : code == OP_KEY_ENTER  ? g_opKeys.holdEnter
                                                 : g_opKeys.holdExit;
    EXPECT_EQ(hold, 255) << code;
  }
}

TEST_F(KeyStateTest, TouchKeyActsAsEnterOnlyInTheEditState) {
  EXPECT_EQ(OP_EditTouchKey(0x107), 0);
  EXPECT_EQ(g_opKeys.holdEnter, 0);
  g_opTouchEditState = 9;
  run(OP_KEY_EXIT, 3);
  EXPECT_EQ(OP_EditTouchKey(0x107), 3);
  EXPECT_EQ(g_opTouchEditLine, 7);
  EXPECT_EQ(g_opKeys.holdEnter, 1);
  EXPECT_EQ(g_opKeys.exitReleased, 3);
}

TEST_F(KeyStateTest, ResetKeepsStepFlagsAndLastCode) {
  run(OP_KEY_DOWN, 1);
  OP_ResetPageCounters();
  EXPECT_EQ(g_opKeys.holdDown, 0);
  EXPECT_EQ(g_opKeys.downStep, 1);
  EXPECT_EQ(g_opKeys.lastKeyCode, OP_KEY_DOWN);
}

}  // namespace
