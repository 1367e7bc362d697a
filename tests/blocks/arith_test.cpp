// Arithmetic and function blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "block_cases.h"
#include "blocks/arith/arith.h"
#include "runtime/fb_param.h"
#include "runtime/fw_mode.h"
#include "support/block_fixture.h"

namespace {

TEST(Absv, AbsoluteValueOfTheScaledInput) {
  struct Case {
    float a, a0, x, y;
  } cases[] = {
      {1.0f, 0.0f, -3.5f, 3.5f},
      {2.0f, 1.0f, -3.0f, 5.0f},
      {1.0f, 0.0f, -2e37f, 1.5e37f},
      {1e30f, 0.0f, 1e30f, 1.5e37f},  // overflow to infinity is bounded
      {1.0f, 0.0f, std::numeric_limits<float>::quiet_NaN(), 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    BlockFixture fx(BLK_RegisterArithTypes);
    fx.create(1, 100);
    fx.floatParam(100, 1) = c.a;
    fx.floatParam(100, 2) = c.a0;
    fx.setAnalogInput(100, 1, c.x);
    fx.init(100);
    fx.run(100);
    EXPECT_EQ(fx.analogOut(100, 1), c.y);
  }
}

// Parameter requests as the pages and protocols send them.
class AbsvParam : public ::testing::Test {
 protected:
  AbsvParam() {
    fx.create(1, 100);
    fx.setAnalogInput(100, 1, -2.0f);
    fx.init(100);
    saves.clear();
    previous_ = FB_SetSaveHook([](FbSaveGroup g, uint16_t block, uint16_t first, uint16_t n) {
      saves.push_back({static_cast<int>(g), block, first, n});
      return uint8_t{0};
    });
  }
  ~AbsvParam() override {
    FB_SetSaveHook(previous_);
    g_fwRunMode = FW_RUN_MODE_STOP;
  }
  static uint8_t send(FbParamRequest r, uint16_t* bad) { return FB_ABSV_Param(&r, bad); }

  BlockFixture fx{BLK_RegisterArithTypes};
  static inline std::vector<std::vector<int>> saves;

 private:
  FbSaveHook previous_ = nullptr;
};

TEST_F(AbsvParam, WholeSetWithABadSecondElementChangesNothing) {
  const float set[] = {3.0f, 1.0e6f};  // "a0" above 999999
  uint16_t bad = 0;
  EXPECT_EQ(send(FB_SetRequest(100, 4000, {}, set), &bad), 'l');
  EXPECT_EQ(bad, 2);
  EXPECT_EQ(fx.floatParam(100, 1), 1.0f);
  EXPECT_EQ(fx.floatParam(100, 1, true), 1.0f);
  EXPECT_EQ(fx.floatParam(100, 2, true), 0.0f);

  const uint16_t oneWord[] = {0};
  EXPECT_EQ(send(FB_SetRequest(100, 4000, oneWord, set), &bad), 'y');
  EXPECT_EQ(bad, 0);
  for (int16_t id : {1002, 1250, 2000, 3000, 3050, 4010, -1000}) {
    EXPECT_EQ(send(FB_FloatRequest(100, id, 1.0f), &bad), 'i') << id;
  }
}

TEST_F(AbsvParam, RunTakesAChangeOverWhileTheDeviceRuns) {
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 0;
  EXPECT_EQ(send(FB_FloatRequest(100, 1000, 3.0f), &bad), 0);
  fx.run(100);
  EXPECT_EQ(fx.analogOut(100, 1), 6.0f);
  EXPECT_EQ(saves, (std::vector<std::vector<int>>{{0, 100, 1, 2}}));
  fx.run(100);
  EXPECT_EQ(saves.size(), 1u) << "saved once";

  const float set[] = {3.0f, -1.0f};
  EXPECT_EQ(send(FB_SetRequest(100, 4000, {}, set), &bad), 0);
  EXPECT_EQ(fx.floatParam(100, 2), 0.0f) << "waits for the next run";
  fx.run(100);
  EXPECT_EQ(fx.analogOut(100, 1), 7.0f);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The other arithmetic and function types, one table each. Inputs left empty stay
// unconnected.

namespace {

constexpr float kMax = 1.5e37f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct OutputCase {
  const char* what;
  Params params;
  Inputs inputs;
  float y;
};

void expectCases(uint16_t type, const std::vector<OutputCase>& cases) {
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FLOAT_EQ(firstOutputAfterOneRun(type, c.params, c.inputs), c.y);
  }
}

TEST(Adsu, WeightedSumHeldToTheValueRange) {
  expectCases(BLK_TYPE_ADSU, {
      {"defaults", {}, {1.0f, 2.0f, 3.0f, 4.0f}, 10.0f},
      {"weights and offset", {{1, 2.0f}, {2, -1.0f}, {3, 0.5f}, {4, 0.0f}, {5, 1.0f}},
       {1.0f, 2.0f, 3.0f, 4.0f}, 2.5f},
      {"nothing wired gives y0", {{5, -7.0f}}, {}, -7.0f},
      // Each product fits a float; the sum is formed in double and then bounded.
      {"sum beyond the range", {}, {1e37f, 1e37f}, kMax},
      {"negative sum beyond the range", {}, {-1e37f, -1e37f, -1e37f}, -kMax},
      {"overflowing product", {{1, 999999.0f}}, {1e38f}, kMax},
  });
}

TEST(Mudi, ProductOverQuotientWithUnwiredFactorsAtOne) {
  expectCases(BLK_TYPE_MUDI, {
      {"nothing wired: every factor reads 1.0", {}, {}, 1.0f},
      {"all wired", {}, {2.0f, 3.0f, 4.0f}, 1.5f},
      {"gains and offsets", {{1, 2.0f}, {2, 3.0f}, {3, 4.0f}, {4, 1.0f}, {5, -1.0f}, {6, 2.0f}},
       {1.0f, 1.0f, 1.0f}, 1.0f},
      // With an offset the unwired input reads 0.0: only the offset counts.
      {"c0 = 1 with X 3 unwired: divisor 1", {{6, 1.0f}}, {2.0f, 3.0f}, 6.0f},
      {"a0 = 2 with X 1 unwired", {{4, 2.0f}}, {std::nullopt, 5.0f}, 10.0f},
      {"divisor 1e-38", {}, {1.0f, 1.0f, 1e-38f}, kMax},
      {"divisor -1e-38", {}, {1.0f, 1.0f, -1e-38f}, kMax},
      {"divisor exactly 0", {}, {-1.0f, 1.0f, 0.0f}, kMax},
      {"quotient beyond the range", {}, {1e20f, 1e20f, 1e-3f}, kMax},
      {"negative quotient beyond the range", {}, {-1e20f, 1e20f, 1e-3f}, -kMax},
  });
}

TEST(Sqrt, RootPlusOffsetAndItsDomain) {
  expectCases(BLK_TYPE_SQRT, {
      {"v = 4, y0 = 1", {{3, 1.0f}}, {4.0f}, 3.0f},
      {"v = -1 gives y0", {{3, 2.5f}}, {-1.0f}, 2.5f},
      {"gain and offset", {{1, 2.0f}, {2, 1.0f}}, {4.0f}, 3.0f},
      {"v beyond the range", {}, {2e37f}, kMax},
      {"product overflows to infinity", {{1, 1e30f}}, {1e30f}, kMax},
  });
}

TEST(Scal, PowerFunctionAndItsDomain) {
  expectCases(BLK_TYPE_SCAL, {
      {"-8 ^ (1/3) gives 0", {{3, 1.0f / 3.0f}}, {-8.0f}, 0.0f},
      {"-8 ^ 3", {{3, 3.0f}}, {-8.0f}, -512.0f},
      {"2 ^ 0.5", {{3, 0.5f}}, {2.0f}, std::sqrt(2.0f)},
      {"default exponent 1", {{1, 2.0f}, {2, 1.0f}}, {3.0f}, 7.0f},
      {"0 ^ -1", {{3, -1.0f}}, {0.0f}, kMax},
      {"1e-38 ^ -2", {{3, -2.0f}}, {1e-38f}, kMax},
      {"10 ^ 40", {{3, 40.0f}}, {10.0f}, kMax},
      {"-10 ^ 41", {{3, 41.0f}}, {-10.0f}, -kMax},
      {"base beyond the range is bounded first", {{3, 1.0f}}, {1e38f}, kMax},
  });
}

TEST(ExpLog, ExponentialsAndLogarithms) {
  struct Case {
    const char* what;
    uint16_t type;
    Inputs inputs;
    float y;
  } cases[] = {
      {"10 ^ 2", BLK_TYPE_10EXP, {2.0f}, 100.0f},
      {"10 ^ 36.71", BLK_TYPE_10EXP, {36.71f}, kMax},
      {"10 ^ -50 underflows to 0", BLK_TYPE_10EXP, {-50.0f}, 0.0f},
      {"10 ^ unwired", BLK_TYPE_10EXP, {}, 1.0f},
      {"e ^ 1", BLK_TYPE_EEXP, {1.0f}, std::exp(1.0f)},
      {"e ^ 85.01", BLK_TYPE_EEXP, {85.01f}, kMax},
      {"ln e", BLK_TYPE_LN, {std::exp(1.0f)}, 1.0f},
      {"ln 0", BLK_TYPE_LN, {0.0f}, -kMax},
      {"ln -1", BLK_TYPE_LN, {-1.0f}, -kMax},
      {"ln unwired reads 1.0", BLK_TYPE_LN, {}, 0.0f},
      {"lg 1000", BLK_TYPE_LG10, {1000.0f}, 3.0f},
      {"lg 0", BLK_TYPE_LG10, {0.0f}, -kMax},
      {"lg unwired reads 1.0", BLK_TYPE_LG10, {}, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FLOAT_EQ(firstOutputAfterOneRun(c.type, {}, c.inputs), c.y);
  }
  // The thresholds themselves still compute.
  EXPECT_NEAR(firstOutputAfterOneRun(BLK_TYPE_10EXP, {}, {36.7f}), 5.0119e36f, 1e33f);
  EXPECT_NEAR(firstOutputAfterOneRun(BLK_TYPE_EEXP, {}, {85.0f}), 8.2232e36f, 1e33f);
}

// A2BYTE: the bytes of "Ibyte1".."Ibyte4" by "Ioct", and "X 1" to bytes by "Ooct".
TEST(A2byte, BytesToValueAndValueToBytes) {
  struct Case {
    const char* what;
    uint16_t ioct, ooct;
    float b1, b2, b3, b4, x;
    float y;
    float bytes[4];
  } cases[] = {
      {"Uint8", A2BYTE_UINT8, A2BYTE_UINT8, 200, 7, 7, 7, 0, 200, {0, 0, 0, 0}},
      {"Int8", A2BYTE_INT8, A2BYTE_UINT8, 200, 7, 7, 7, 0, -56, {0, 0, 0, 0}},
      {"Uint16", A2BYTE_UINT16, A2BYTE_UINT8, 1, 2, 7, 7, 0, 513, {0, 0, 0, 0}},
      {"Int16 of 255, 255", A2BYTE_INT16, A2BYTE_UINT8, 255, 255, 0, 0, 0, -1, {0, 0, 0, 0}},
      {"Uint32 (float arithmetic)", A2BYTE_UINT32, A2BYTE_UINT8, 1, 2, 3, 4, 0, 67305984.0f,
       {0, 0, 0, 0}},
      {"Int32", A2BYTE_INT32, A2BYTE_UINT8, 1, 0, 0, 255, 0, -16777215.0f, {0, 0, 0, 0}},
      {"Float 1.0", A2BYTE_FLOAT, A2BYTE_UINT8, 0, 0, 128, 63, 0, 1.0f, {0, 0, 0, 0}},
      {"Float pattern of infinity", A2BYTE_FLOAT, A2BYTE_UINT8, 0, 0, 128, 127, 0, kMax,
       {0, 0, 0, 0}},
      {"Float pattern of NaN", A2BYTE_FLOAT, A2BYTE_UINT8, 255, 255, 255, 127, 0, 0.0f,
       {0, 0, 0, 0}},
      {"Ooct Uint8 keeps one byte", A2BYTE_UINT8, A2BYTE_UINT8, 0, 0, 0, 0, 258, 0, {2, 0, 0, 0}},
      {"Ooct Uint16 of 258", A2BYTE_UINT8, A2BYTE_UINT16, 0, 0, 0, 0, 258, 0, {2, 1, 0, 0}},
      {"Ooct Int32 of 0x01020304", A2BYTE_UINT8, A2BYTE_INT32, 0, 0, 0, 0, 16909060.0f, 0,
       {4, 3, 2, 1}},
      {"Ooct Float of 1.0", A2BYTE_UINT8, A2BYTE_FLOAT, 0, 0, 0, 0, 1.0f, 0, {0, 0, 128, 63}},
      // Whole numbers are taken modulo 2^32 (after saturating to 64 bits).
      {"Ooct Uint32 of -1", A2BYTE_UINT8, A2BYTE_UINT32, 0, 0, 0, 0, -1.0f, 0,
       {255, 255, 255, 255}},
      {"Ooct Uint32 of 2^32", A2BYTE_UINT8, A2BYTE_UINT32, 0, 0, 0, 0, 4294967296.0f, 0,
       {0, 0, 0, 0}},
      {"Ooct Uint32 of 1e30", A2BYTE_UINT8, A2BYTE_UINT32, 0, 0, 0, 0, 1e30f, 0,
       {255, 255, 255, 255}},
      {"Ooct Uint32 of NaN", A2BYTE_UINT8, A2BYTE_UINT32, 0, 0, 0, 0, kNaN, 0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_A2BYTE, kBlock);
    fx.wordValue(kBlock, 1, true) = c.ioct;  // pending copies: Init takes them over
    fx.wordValue(kBlock, 2, true) = c.ooct;
    setAnalogInputs(fx, kBlock, {c.b1, c.b2, c.b3, c.b4, c.x});
    fx.init(kBlock);
    fx.run(kBlock);
    EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 1), c.y);
    for (uint16_t k = 0; k < 4; ++k) EXPECT_EQ(fx.analogOut(kBlock, 2 + k), c.bytes[k]) << k;
  }
}

TEST(A2byte, FormatsChangeOnlyAtTheStartUpPass) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_A2BYTE, kBlock);
  setAnalogInputs(fx, kBlock, {200.0f});
  fx.init(kBlock);
  fx.wordValue(kBlock, 1, true) = A2BYTE_INT8;
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 200.0f);
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), -56.0f);
}

// Init: a cold start clears "Y 1", a warm start keeps it; A2BYTE keeps it in both.
TEST(ArithInit, ColdStartClearsTheOutputWarmStartKeepsIt) {
  const uint16_t types[] = {BLK_TYPE_ABSV, BLK_TYPE_A2BYTE, BLK_TYPE_ADSU, BLK_TYPE_MUDI,
                            BLK_TYPE_SQRT, BLK_TYPE_SCAL,   BLK_TYPE_10EXP, BLK_TYPE_EEXP,
                            BLK_TYPE_LN,   BLK_TYPE_LG10};
  for (uint16_t type : types) {
    for (bool warm : {false, true}) {
      SCOPED_TRACE(testing::Message() << "type " << type << (warm ? " warm" : " cold"));
      BlockFixture fx(BLK_RegisterAllTypes);
      fx.create(type, kBlock);
      fx.layout(kBlock).ao[0] = 42.0f;
      WarmStart start(warm);
      fx.init(kBlock);
      const bool kept = warm || type == BLK_TYPE_A2BYTE;
      EXPECT_EQ(fx.analogOut(kBlock, 1), kept ? 42.0f : 0.0f);
    }
  }
}

// An input pointed at the constant 1.0 stays there; a wired input is never redirected.
TEST(ArithInit, OnlyUnwiredInputsArePointedAtOne) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_MUDI, kBlock);
  fx.setAnalogInput(kBlock, 1, 0.0f);
  fx.init(kBlock);
  const FbLayout L = fx.layout(kBlock);
  EXPECT_NE(L.ai[0].get(), FB_REF_ONE);
  EXPECT_EQ(L.ai[1].get(), FB_REF_ONE);
  EXPECT_EQ(L.ai[2].get(), FB_REF_ONE);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 0.0f);
  fx.floatParam(kBlock, 5) = 3.0f;  // b0 set later: X 2 stays at 1.0
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(fx.layout(kBlock).ai[1].get(), FB_REF_ONE);
}

}  // namespace
