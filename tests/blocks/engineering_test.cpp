// An engineering of arithmetic, function and logic blocks, written by the engineering
// builder, loaded from its image and run cycle by cycle by the time-group scheduler.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "blocks/arith/arith.h"
#include "blocks/logic/logic.h"
#include "blocks/prog/prog.h"
#include "blocks/register_all.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_image.h"
#include "runtime/fw_mode.h"
#include "tools/engbuild/eng_builder.h"

namespace {

float analogOut(uint16_t block, uint16_t output) {
  FbF32* p = nullptr;
  EXPECT_EQ(FB_GetAnalogOutputPtr(block, output, &p), 1) << block << "." << output;
  return p ? p->get() : -1.0f;
}

uint16_t digitalOut(uint16_t block, uint16_t output) {
  uint16_t* p = nullptr;
  EXPECT_EQ(FB_GetDigitalOutputPtr(block, output, &p), 1) << block << "." << output;
  return p ? *p : uint16_t{0xFFFF};
}

class BlockEngineering : public testing::Test {
 protected:
  void SetUp() override {
    FB_ClearTypeTable();
    BLK_RegisterAllTypes();
    FB_ClearStore();
    g_fwEng = FwEngineeringState{};
    std::memset(g_fwImage, 0, FW_IMAGE_SIZE);
    FW_ConnectImage();  // parameter saves go into the image
  }
  void TearDown() override {
    FB_SetSaveHook(nullptr);
    g_fwRunMode = FW_RUN_MODE_STOP;
    FB_ClearStore();
  }
};

// Group 1, in chain order:
//   100 AND    nothing wired: z 1 = 1
//   101 STEP   every end input on 100.z 1: one step per cycle up to 10
//   102 ADSU   2 * 101.Step + y0, y0 = 0.5 and from cycle 5 on 1.5 (changed by a request)
//   103 SQRT   of 102
//   104 ABIN   101.Step to points (binary)
//   105 BOUNCE 104.z 1, no delay
//   106 MUDI   nothing wired, a = 3: 3
//   107 NOT    101.active
//   108 LN     of 106
// Group 2 (every second cycle): 110 TRUNC of 103.
TEST_F(BlockEngineering, LoadsAndComputesCycleByCycle) {
  EngBuilder b;
  b.setRunMode(2);
  uint16_t after = 0;
  const struct {
    uint16_t block, type;
  } chain[] = {{100, BLK_TYPE_AND},    {101, BLK_TYPE_STEP}, {102, BLK_TYPE_ADSU},
               {103, BLK_TYPE_SQRT},   {104, BLK_TYPE_ABIN}, {105, BLK_TYPE_BOUNCE},
               {106, BLK_TYPE_MUDI},   {107, BLK_TYPE_NOT},  {108, BLK_TYPE_LN}};
  for (const auto& c : chain) {
    ASSERT_TRUE(b.addBlock(c.block, c.type, 1, after)) << b.error();
    after = c.block;
  }
  ASSERT_TRUE(b.addBlock(110, BLK_TYPE_TRUNC, 2)) << b.error();
  for (uint16_t end = 1; end <= 10; ++end) ASSERT_TRUE(b.wireDigital(101, end, 100, 1));
  ASSERT_TRUE(b.wireAnalog(102, 1, 101, 1));
  ASSERT_TRUE(b.setFloat(102, 1, 2.0f));
  ASSERT_TRUE(b.setFloat(102, 5, 0.5f));
  ASSERT_TRUE(b.wireAnalog(103, 1, 102, 1));
  ASSERT_TRUE(b.wireAnalog(104, 1, 101, 1));
  ASSERT_TRUE(b.wireDigital(105, 1, 104, 1));
  ASSERT_TRUE(b.setFloat(106, 1, 3.0f));
  ASSERT_TRUE(b.wireDigital(107, 1, 101, 1));
  ASSERT_TRUE(b.wireAnalog(108, 1, 106, 1));
  ASSERT_TRUE(b.wireAnalog(110, 1, 103, 1));
  std::vector<uint8_t> image;
  ASSERT_TRUE(b.build(image)) << b.error();

  std::memcpy(g_fwImage, image.data(), FW_IMAGE_SIZE);
  ASSERT_EQ(FW_LoadEngineering(), 0);
  ASSERT_EQ(g_fwEng.lastError, FwImageError::None);
  ASSERT_EQ(g_fwRunMode, FW_RUN_MODE_RUN);

  FB_RunStartupPass();
  EXPECT_EQ(analogOut(101, 1), 1.0f);
  EXPECT_EQ(digitalOut(101, 1), 1);

  g_fbSchedule.phase = 0;
  float truncated = 0.0f;
  for (int cycle = 1; cycle <= 12; ++cycle) {
    SCOPED_TRACE(testing::Message() << "cycle " << cycle);
    if (cycle == 5) {
      FbParamRequest r = FB_FloatRequest(102, 1004, 1.5f);
      uint16_t bad = 0;
      ASSERT_EQ(FB_GetType(BLK_TYPE_ADSU)->param(&r, &bad), FB_OK);
    }
    FB_RunSchedule();
    const float step = static_cast<float>(cycle < 10 ? cycle : 10);
    const float y0 = cycle < 5 ? 0.5f : 1.5f;
    EXPECT_EQ(analogOut(101, 1), step);
    EXPECT_EQ(digitalOut(101, 1), cycle <= 10 ? 1 : 0);
    EXPECT_EQ(digitalOut(107, 1), cycle <= 10 ? 0 : 1);
    EXPECT_EQ(analogOut(102, 1), 2.0f * step + y0);
    EXPECT_FLOAT_EQ(analogOut(103, 1), std::sqrt(2.0f * step + y0));
    for (uint16_t k = 1; k <= 8; ++k) {
      EXPECT_EQ(digitalOut(104, k), (static_cast<unsigned>(step) >> (k - 1)) & 1u) << k;
    }
    EXPECT_EQ(digitalOut(105, 1), static_cast<unsigned>(step) & 1u);
    EXPECT_EQ(analogOut(106, 1), 3.0f);
    EXPECT_FLOAT_EQ(analogOut(108, 1), std::log(3.0f));
    // Group 2 runs in the even phases only.
    if (g_fbSchedule.phase % 2 == 0) truncated = std::trunc(std::sqrt(2.0f * step + y0));
    EXPECT_EQ(analogOut(110, 1), truncated);
    g_fbSchedule.phase = static_cast<uint16_t>((g_fbSchedule.phase + 1) % FB_PHASE_COUNT);
  }

  // ADSU saved the change into its record of the image when it took it over: loading the
  // image again gives the new y0.
  ASSERT_EQ(FW_LoadEngineering(), 0);
  FbF32* y0 = nullptr;
  ASSERT_EQ(FB_GetFloatParamPtr(102, 5, &y0), 1);
  EXPECT_EQ(y0->get(), 1.5f);
}

// A programmer with two chained data blocks, in group 1 in chain order:
//   120 AND     nothing wired: z 1 = 1, the programmer's run command
//   121 APROGD  ten segments of 0.5 s rising by 10 each; next block 122
//   122 APROGD  one segment of 1 s to 200; its unconnected input ends the chain
//   123 APROG   "Turbo" 1 (seconds), started once the chain has been read
TEST_F(BlockEngineering, ProgrammerRunsItsChainedProgram) {
  EngBuilder b;
  b.setRunMode(2);
  ASSERT_TRUE(b.addBlock(120, BLK_TYPE_AND, 1)) << b.error();
  ASSERT_TRUE(b.addBlock(121, FB_TYPE_APROGD, 1, 120)) << b.error();
  ASSERT_TRUE(b.addBlock(122, FB_TYPE_APROGD, 1, 121)) << b.error();
  ASSERT_TRUE(b.addBlock(123, FB_TYPE_APROG, 1, 122)) << b.error();
  for (uint16_t i = 0; i < 10; ++i) {
    ASSERT_TRUE(b.setFloat(121, 2 * i + 1, 0.5f));
    ASSERT_TRUE(b.setFloat(121, 2 * i + 2, 10.0f * (i + 1)));
  }
  ASSERT_TRUE(b.setFloat(122, 1, 1.0f));
  ASSERT_TRUE(b.setFloat(122, 2, 200.0f));
  ASSERT_TRUE(b.wireAnalog(121, 1, 122, 1));
  ASSERT_TRUE(b.wireAnalog(123, APROG_AI_DBLOCK + 1, 121, 1));
  ASSERT_TRUE(b.wireDigital(123, APROG_DI_RUN + 1, 120, 1));
  ASSERT_TRUE(b.setValue(123, PROG_WV_TURBO + 1, 1));
  std::vector<uint8_t> image;
  ASSERT_TRUE(b.build(image)) << b.error();
  std::memcpy(g_fwImage, image.data(), FW_IMAGE_SIZE);
  ASSERT_EQ(FW_LoadEngineering(), 0);
  ASSERT_EQ(g_fwEng.lastError, FwImageError::None);

  FB_RunStartupPass();
  EXPECT_EQ(analogOut(123, APROG_AO_BLNO + 1), 123.0f);
  for (int cycle = 1; cycle <= 8; ++cycle) FB_RunSchedule();  // the settle time
  EXPECT_EQ(digitalOut(123, APROG_DO_RUN + 1), 1);
  EXPECT_EQ(analogOut(123, APROG_AO_SEGNO + 1), 1.0f);
  for (int m = 1; m <= 60; ++m) {
    SCOPED_TRACE(testing::Message() << "running cycle " << m);
    FB_RunSchedule();
    const float t = 0.1f * static_cast<float>(m);
    const float wp = m <= 50 ? 2.0f * m : 100.0f + 10.0f * (m - 50);
    const float segNo = m < 50 ? static_cast<float>(m / 5 + 1) : (m < 60 ? 11.0f : 12.0f);
    EXPECT_NEAR(analogOut(123, APROG_AO_WP + 1), wp, 1e-3);
    EXPECT_EQ(analogOut(123, APROG_AO_SEGNO + 1), segNo);
    EXPECT_NEAR(analogOut(123, APROG_AO_TNETTO + 1), t, 1e-4);
    EXPECT_NEAR(analogOut(123, APROG_AO_TREST + 1), 6.0f - t, 1e-4);
    EXPECT_EQ(digitalOut(123, APROG_DO_END + 1), m == 60 ? 1 : 0);
  }
  EXPECT_EQ(analogOut(123, APROG_AO_WEND + 1), 200.0f);
}

}  // namespace
