// Arithmetic and function blocks.
#include <gtest/gtest.h>

#include <limits>

#include "blocks/arith/arith.h"
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

}  // namespace
