// Arithmetic and function blocks.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

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
