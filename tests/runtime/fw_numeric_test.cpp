// The one float-to-integer conversion and the output clamp.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/fw_numeric.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST(FwNumeric, SaturatingConversions) {
  struct Case {
    double v;
    int16_t i16;
    uint16_t u16;
    int32_t i32;
    uint8_t u8;
  } cases[] = {
      {0.0, 0, 0, 0, 0},
      {2.9, 2, 2, 2, 2},
      {-2.9, -2, 0, -2, 0},
      {70000.0, 32767, 65535, 70000, 255},
      {-70000.0, -32768, 0, -70000, 0},
      {1.5e37, 32767, 65535, 2147483647, 255},
      {-1.5e37, -32768, 0, -2147483647 - 1, 0},
      {kNaN, 0, 0, 0, 0},
      {kInf, 32767, 65535, 2147483647, 255},
      {-kInf, -32768, 0, -2147483647 - 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.v);
    EXPECT_EQ(FW_FloatToI16(c.v), c.i16);
    EXPECT_EQ(FW_FloatToU16(c.v), c.u16);
    EXPECT_EQ(FW_FloatToI32(c.v), c.i32);
    EXPECT_EQ(FW_FloatToU8(c.v), c.u8);
  }
  EXPECT_EQ(FW_FloatToI64(9.3e18), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(FW_FloatToU32(4294967296.0), 4294967295u);
}

TEST(FwNumeric, ModularConversionsKeepTheLowBits) {
  EXPECT_EQ(FW_FloatToLow8(300.0), 44);
  EXPECT_EQ(FW_FloatToLow8(-1.0), 255);
  EXPECT_EQ(FW_FloatToLow16(-1.0), 65535);
  EXPECT_EQ(FW_FloatToLow32(-2.0), 0xFFFFFFFEu);
  EXPECT_EQ(FW_FloatToLow8(kNaN), 0);
}

TEST(FwNumeric, ClampKeepsOutputsFiniteAndInRange) {
  const float f = 1.5e37f;
  EXPECT_EQ(FW_ClampValue(std::numeric_limits<float>::infinity()), f);
  EXPECT_EQ(FW_ClampValue(-std::numeric_limits<float>::infinity()), -f);
  EXPECT_EQ(FW_ClampValue(std::numeric_limits<float>::quiet_NaN()), 0.0f);
  EXPECT_EQ(FW_ClampValue(-2e37f), -f);
  EXPECT_EQ(FW_ClampValue(12.5f), 12.5f);
  EXPECT_EQ(FW_ClampValueD(3e38), f);
  EXPECT_EQ(FW_ClampValueD(-1e300), -f);
}

}  // namespace
