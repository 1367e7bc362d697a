// Logic blocks.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "block_cases.h"
#include "blocks/logic/logic.h"
#include "support/block_fixture.h"

namespace {

using Words = std::vector<std::optional<uint16_t>>;  // digital inputs; empty: unconnected

void setDigitalInputs(BlockFixture& fx, uint16_t block, const Words& words) {
  for (size_t i = 0; i < words.size(); ++i) {
    if (words[i]) fx.setDigitalInput(block, static_cast<uint16_t>(i + 1), *words[i]);
  }
}

TEST(Gates, OutputsOfOneCycle) {
  constexpr auto open = std::nullopt;
  struct Case {
    const char* what;
    uint16_t type;
    Words inputs;
    uint16_t z1;
  } cases[] = {
      {"AND with only d 1 wired follows it (1)", BLK_TYPE_AND, {1}, 1},
      {"AND with only d 1 wired follows it (0)", BLK_TYPE_AND, {0}, 0},
      {"AND with nothing wired", BLK_TYPE_AND, {}, 1},
      {"AND with d 3 wired to 0", BLK_TYPE_AND, {open, open, 0}, 0},
      {"AND is bitwise", BLK_TYPE_AND, {3, 1, 7, 0xFFFF}, 1},
      {"AND of words without a common bit", BLK_TYPE_AND, {2, 1, 1, 1}, 0},
      {"OR with nothing wired", BLK_TYPE_OR, {}, 0},
      {"OR is bitwise", BLK_TYPE_OR, {open, 2, 0, 1}, 3},
      {"EXOR of 1 and 1", BLK_TYPE_EXOR, {1, 1}, 0},
      {"EXOR of 1 and 0", BLK_TYPE_EXOR, {1, 0}, 1},
      {"EXOR is bitwise", BLK_TYPE_EXOR, {3, 1}, 2},
      {"NOT of 0", BLK_TYPE_NOT, {0}, 1},
      {"NOT of 5", BLK_TYPE_NOT, {5}, 0},
      {"NOT unwired", BLK_TYPE_NOT, {}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(c.type, kBlock);
    setDigitalInputs(fx, kBlock, c.inputs);
    fx.init(kBlock);
    fx.run(kBlock);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), c.z1);
    if (c.type != BLK_TYPE_NOT) {
      EXPECT_EQ(fx.digitalOut(kBlock, 2), c.z1 == 0 ? 1 : 0);
    }
  }
}

// Cold start: z 1 = 0 and not z1 = 1; a warm start leaves both outputs as they are.
TEST(Gates, InitClearsOnColdStartOnly) {
  for (uint16_t type : {BLK_TYPE_AND, BLK_TYPE_OR, BLK_TYPE_EXOR, BLK_TYPE_NOT}) {
    for (bool warm : {false, true}) {
      SCOPED_TRACE(testing::Message() << "type " << type << (warm ? " warm" : " cold"));
      BlockFixture fx(BLK_RegisterAllTypes);
      fx.create(type, kBlock);
      const FbLayout L = fx.layout(kBlock);
      for (uint16_t i = 0; i < L.digitalOutputs; ++i) L.dout[i] = 7;
      WarmStart start(warm);
      fx.init(kBlock);
      EXPECT_EQ(fx.digitalOut(kBlock, 1), warm ? 7 : 0);
      if (type != BLK_TYPE_NOT) {
        EXPECT_EQ(fx.digitalOut(kBlock, 2), warm ? 7 : 1);
      }
    }
  }
}

TEST(Flip, TakesDataOnARisingClockEdge) {
  struct Step {
    const char* what;
    uint16_t data, clock, reset;
    uint16_t q;
  } steps[] = {
      {"clock low", 1, 0, 0, 0},
      {"rising edge takes data", 1, 1, 0, 1},
      {"clock held high: data not taken", 0, 1, 0, 1},
      {"clock low again", 0, 0, 0, 1},
      {"clock 2 is no edge", 0, 2, 0, 1},
      {"2 to 1 is no edge", 0, 1, 0, 1},
      {"clock low", 0, 0, 0, 1},
      {"edge takes 0", 0, 1, 0, 0},
      {"clock low", 1, 0, 0, 0},
      {"edge under reset", 1, 1, 1, 0},
      {"reset released with clock high: no edge", 1, 1, 0, 0},
      {"clock low", 1, 0, 0, 0},
      {"edge takes 1", 1, 1, 0, 1},
      {"reset", 1, 0, 1, 0},
  };
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_FLIP, kBlock);
  fx.init(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  EXPECT_EQ(fx.digitalOut(kBlock, 2), 1);
  int n = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "step " << ++n << ": " << s.what);
    setDigitalInputs(fx, kBlock, {s.data, s.clock, s.reset});
    fx.run(kBlock);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), s.q);
    EXPECT_EQ(fx.digitalOut(kBlock, 2), s.q ? 0 : 1);
  }
}

// Runs a BOUNCE block whose input changes from 0 to 1 and returns the number of runs after
// the change (the run of the change included) during which z 1 still showed 0.
int bounceWait(BlockFixture& fx, int limit = 100) {
  fx.setDigitalInput(kBlock, 1, 1);
  int waited = 0;
  for (fx.run(kBlock); fx.digitalOut(kBlock, 1) == 0 && waited < limit; fx.run(kBlock)) {
    ++waited;
  }
  return waited;
}

TEST(Bounce, WaitsTheDelayInCyclesOfItsGroup) {
  struct Case {
    float delay;
    uint16_t group;
    int cycles;
  } cases[] = {
      {0.25f, 1, 3},  // ceil(2.5)
      {0.3f, 1, 3},   // 0.3 * 10 is 3 in single precision
      {0.1f, 1, 1},
      {0.0f, 1, 0},   // follows at once
      {0.25f, 2, 2},  // 0.2 s group: ceil(1.25)
      {1.0f, 8, 2},   // 0.8 s group: ceil(1.25)
      {0.8f, 15, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "Delay " << c.delay << " group " << c.group);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_BOUNCE, kBlock, c.group);
    setFloatParams(fx, kBlock, {{1, c.delay}});
    fx.setDigitalInput(kBlock, 1, 0);
    fx.init(kBlock);
    fx.run(kBlock, 5);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
    EXPECT_EQ(bounceWait(fx), c.cycles);
  }
}

TEST(Bounce, AChangeShorterThanTheDelayIsSwallowed) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_BOUNCE, kBlock, 1);
  setFloatParams(fx, kBlock, {{1, 0.25f}});  // 3 cycles
  fx.init(kBlock);
  for (int pulse = 0; pulse < 4; ++pulse) {
    fx.setDigitalInput(kBlock, 1, 1);
    fx.run(kBlock, 3);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
    fx.setDigitalInput(kBlock, 1, 0);
    fx.run(kBlock);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  }
  fx.setDigitalInput(kBlock, 1, 1);
  fx.run(kBlock, 4);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 1);
}

// A warm start keeps z 1 and the previous input, a cold start clears both; either way the
// counter restarts and the delay is recomputed from the parameter in force.
TEST(Bounce, StartUpPassRecomputesTheDelay) {
  for (bool warm : {false, true}) {
    SCOPED_TRACE(warm ? "warm" : "cold");
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_BOUNCE, kBlock, 1);
    fx.setDigitalInput(kBlock, 1, 1);
    fx.init(kBlock);
    fx.run(kBlock);
    ASSERT_EQ(fx.digitalOut(kBlock, 1), 1);  // Delay 0: at once
    setFloatParams(fx, kBlock, {{1, 0.5f}});  // 5 cycles
    {
      WarmStart start(warm);
      fx.init(kBlock);
    }
    EXPECT_EQ(fx.digitalOut(kBlock, 1), warm ? 1 : 0);
    // Cold: the input differs from the cleared previous input and waits the new delay.
    fx.run(kBlock, 5);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), warm ? 1 : 0);
    fx.run(kBlock);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), 1);
    fx.setDigitalInput(kBlock, 1, 0);
    fx.run(kBlock, 5);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), 1);
    fx.run(kBlock);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), 0);
  }
}

// STEP: one row per cycle, run in order on one block.
TEST(Step, RunsThroughItsStepsAndStaysAtTen) {
  struct Row {
    const char* what;
    uint16_t endMask;  // bit k-1: end k
    uint16_t reset, stop, skip;
    float step;
    uint16_t active;
  } rows[] = {
      {"first cycle enters step 1", 0, 0, 0, 0, 1, 1},
      {"end 1 ends step 1", 1u << 0, 0, 0, 0, 2, 1},
      {"end 1 does not end step 2", 1u << 0, 0, 0, 0, 2, 1},
      {"end 2", 1u << 1, 0, 0, 0, 3, 1},
      {"stop holds", 1u << 2, 0, 1, 0, 3, 1},
      {"stop released", 1u << 2, 0, 0, 0, 4, 1},
      {"rising skip", 0, 0, 0, 1, 5, 1},
      {"skip held", 0, 0, 0, 1, 5, 1},
      {"skip low", 0, 0, 0, 0, 5, 1},
      {"rising skip while stopped", 0, 0, 1, 1, 5, 1},
      {"stop released, skip still high: no edge", 0, 0, 0, 1, 5, 1},
      {"end 5", 1u << 4, 0, 0, 0, 6, 1},
      {"end 6", 1u << 5, 0, 0, 0, 7, 1},
      {"end 7", 1u << 6, 0, 0, 0, 8, 1},
      {"end 8", 1u << 7, 0, 0, 0, 9, 1},
      {"end 9", 1u << 8, 0, 0, 0, 10, 1},
      {"end 10 at step 10: stays, inactive", 1u << 9, 0, 0, 0, 10, 0},
      {"stays inactive", 0, 0, 0, 0, 10, 0},
      {"rising skip at step 10", 0, 0, 0, 1, 10, 0},
      {"reset", 0, 1, 0, 0, 1, 1},
      {"after reset", 0, 0, 0, 0, 1, 1},
  };
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_STEP, kBlock);
  fx.init(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 1.0f);
  EXPECT_EQ(fx.digitalOut(kBlock, 1), 1);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    for (uint16_t k = 0; k < 10; ++k) fx.setDigitalInput(kBlock, k + 1, (r.endMask >> k) & 1u);
    fx.setDigitalInput(kBlock, STEP_IN_RESET, r.reset);
    fx.setDigitalInput(kBlock, STEP_IN_STOP, r.stop);
    fx.setDigitalInput(kBlock, STEP_IN_SKIP, r.skip);
    fx.run(kBlock);
    EXPECT_EQ(fx.analogOut(kBlock, 1), r.step);
    EXPECT_EQ(fx.digitalOut(kBlock, 1), r.active);
  }
}

TEST(Step, CascadeInputOffsetsTheStepNumber) {
  struct Case {
    float casc;
    float atReset, afterOneCycle;
  } cases[] = {
      {2.4f, 2.0f, 3.0f},
      {2.5f, 3.0f, 4.0f},
      {-0.7f, 0.0f, 0.0f},  // 1 - 0.7 = 0.3 rounds to 0
      {-3.0f, -2.0f, -1.0f}, // x + 0.5 truncated toward zero
      {std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.casc);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_STEP, kBlock);
    fx.setAnalogInput(kBlock, 1, c.casc);
    fx.init(kBlock);
    EXPECT_EQ(fx.analogOut(kBlock, 1), c.atReset);
    fx.run(kBlock);
    EXPECT_EQ(fx.analogOut(kBlock, 1), c.afterOneCycle);
  }
}

TEST(Step, WarmStartKeepsTheStep) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_STEP, kBlock);
  fx.init(kBlock);
  fx.setDigitalInput(kBlock, 1, 1);
  fx.run(kBlock, 2);
  ASSERT_EQ(fx.analogOut(kBlock, 1), 2.0f);
  {
    WarmStart start;
    fx.init(kBlock);
  }
  EXPECT_EQ(fx.analogOut(kBlock, 1), 2.0f);
  fx.init(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 1.0f);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 1.0f);  // back in step 1 (end 1 ends it next cycle)
}

// ABIN, analog side: "X 1" to the eight points z 1 .. z 8 (bit k-1 of the mask is z k).
TEST(Abin, AnalogValueToPoints) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    uint16_t select;
    float x;
    uint16_t mask;
  } cases[] = {
      {ABIN_BINARY, 5.0f, 0b101},
      {ABIN_BINARY, 2.5f, 0b11},  // rounded
      {ABIN_BINARY, 2.49f, 0b10},
      {ABIN_BINARY, -1.0f, 0},
      {ABIN_BINARY, 300.0f, 0xFF},
      {ABIN_BINARY, nan, 0},
      {ABIN_BCD, 47.0f, 0x47},     // units 7 on z 1..z 3, tens 4 on z 7
      {ABIN_BCD, 150.0f, 0x99},    // limited to 99
      {ABIN_ONE_OF_EIGHT, 3.0f, 0b100},
      {ABIN_ONE_OF_EIGHT, 8.0f, 0x80},
      {ABIN_ONE_OF_EIGHT, 0.0f, 0},
      {ABIN_ONE_OF_EIGHT, 9.0f, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "Select " << c.select << " x " << c.x);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_ABIN, kBlock);
    fx.wordValue(kBlock, 1, true) = c.select;
    fx.setAnalogInput(kBlock, 1, c.x);
    fx.init(kBlock);
    fx.run(kBlock);
    for (uint16_t k = 0; k < 8; ++k) {
      EXPECT_EQ(fx.digitalOut(kBlock, k + 1), (c.mask >> k) & 1u) << k;
    }
  }
}

// ABIN, digital side: d 1 .. d 8 to "Y 1".
TEST(Abin, PointsToAnalogValue) {
  struct Case {
    const char* what;
    uint16_t select;
    std::array<uint16_t, 8> d;
    float y;
  } cases[] = {
      {"binary 5", ABIN_BINARY, {1, 0, 1, 0, 0, 0, 0, 0}, 5.0f},
      {"binary takes the low byte of each word", ABIN_BINARY, {0x102, 0, 0, 0, 0, 0, 0, 0}, 2.0f},
      {"binary, all 1", ABIN_BINARY, {1, 1, 1, 1, 1, 1, 1, 1}, 255.0f},
      {"BCD 37", ABIN_BCD, {1, 1, 1, 0, 1, 1, 0, 0}, 37.0f},
      {"BCD units 12 and tens 3 give 39", ABIN_BCD, {0, 0, 1, 1, 1, 1, 0, 0}, 39.0f},
      {"BCD: any nonzero word counts as 1", ABIN_BCD, {5, 0, 0, 0, 2, 0, 0, 0}, 11.0f},
      {"1/8 input 3", ABIN_ONE_OF_EIGHT, {0, 0, 1, 0, 0, 0, 0, 0}, 3.0f},
      {"1/8 two inputs", ABIN_ONE_OF_EIGHT, {0, 1, 0, 0, 0, 0, 1, 0}, 0.0f},
      {"1/8 none", ABIN_ONE_OF_EIGHT, {0, 0, 0, 0, 0, 0, 0, 0}, 0.0f},
      {"1/8 counts only words equal to 1", ABIN_ONE_OF_EIGHT, {2, 0, 0, 0, 0, 1, 0, 0}, 6.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_ABIN, kBlock);
    fx.wordValue(kBlock, 1, true) = c.select;
    for (uint16_t k = 0; k < 8; ++k) fx.setDigitalInput(kBlock, k + 1, c.d[k]);
    fx.init(kBlock);
    fx.run(kBlock);
    EXPECT_EQ(fx.analogOut(kBlock, 1), c.y);
  }
}

TEST(Abin, SelectTakesEffectAtTheStartUpPassAndColdStartClears) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_ABIN, kBlock);
  fx.setAnalogInput(kBlock, 1, 47.0f);
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 6), 1);  // binary 47 = 0b101111
  fx.wordValue(kBlock, 1, true) = ABIN_BCD;
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 6), 1);  // still binary
  {
    WarmStart start;
    fx.init(kBlock);
    EXPECT_EQ(fx.digitalOut(kBlock, 6), 1);  // kept
  }
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 6), 0);  // BCD 47
  EXPECT_EQ(fx.digitalOut(kBlock, 7), 1);
  fx.init(kBlock);
  for (uint16_t k = 1; k <= 8; ++k) EXPECT_EQ(fx.digitalOut(kBlock, k), 0) << k;
}

TEST(Trunc, TruncatesTowardZero) {
  struct Case {
    float x, y;
  } cases[] = {
      {-2.7f, -2.0f}, {2.7f, 2.0f}, {-0.5f, 0.0f}, {1e38f, 1.5e37f},
      {-std::numeric_limits<float>::infinity(), -1.5e37f},
      {std::numeric_limits<float>::quiet_NaN(), 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(firstOutputAfterOneRun(BLK_TYPE_TRUNC, {}, {c.x}), c.y);
  }
}

}  // namespace
