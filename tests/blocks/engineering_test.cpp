// Engineerings of the block families, written by the engineering builder, loaded from their
// images and run cycle by cycle by the time-group scheduler.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <vector>

#include "blocks/arith/arith.h"
#include "blocks/limit/limit.h"
#include "blocks/prog/prog.h"
#include "blocks/logic/logic.h"
#include "blocks/timefn/timefn.h"
#include "blocks/select/select.h"
#include "blocks/curve/curve.h"
#include "blocks/trig/trig.h"
#include "blocks/timer/timer.h"
#include "blocks/block_family.h"
#include "blocks/register_all.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_image.h"
#include "runtime/fw_mode.h"
#include "support/prog_fixture.h"
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
  // Builds the engineering's image and loads it into the firmware.
  static void load(EngBuilder& b) {
    std::vector<uint8_t> image;
    ASSERT_TRUE(b.build(image)) << b.error();
    std::memcpy(g_fwImage, image.data(), FW_IMAGE_SIZE);
    ASSERT_EQ(FW_LoadEngineering(), 0);
    ASSERT_EQ(g_fwEng.lastError, FwImageError::None);
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
  ASSERT_NO_FATAL_FAILURE(load(b));
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

// Time-function, limit and alarm blocks in group 1, all fed by an integrator that rises by
// 0.1 per cycle (x unwired, "x 0" 1, T 1 s):
//   200 INTE    201 DELAY 3   202 LAG T 1   203 ALLP H 1 0.45   204 ALARM LimH 0.75
//   205 VELO GrX + 0.5/s   206 LEAD   207 EQUAL against 201   208 LIMIT L 1 0.25
//   209 DELAY2 0.2 s   210 FILTER   211 ALLV (limit inputs unwired)
// A warm start keeps every output and the blocks' own state; a cold start resets them.
TEST_F(BlockEngineering, TimeAndLimitBlocksKeepStateOverAWarmStartOnly) {
  EngBuilder b;
  b.setRunMode(2);
  const struct {
    uint16_t block, type;
  } chain[] = {{200, BLK_TYPE_INTE},  {201, BLK_TYPE_DELAY},  {202, BLK_TYPE_LAG},
               {203, BLK_TYPE_ALLP},  {204, BLK_TYPE_ALARM},  {205, BLK_TYPE_VELO},
               {206, BLK_TYPE_LEAD},  {207, BLK_TYPE_EQUAL},  {208, BLK_TYPE_LIMIT},
               {209, BLK_TYPE_DELAY2}, {210, BLK_TYPE_FILTER}, {211, BLK_TYPE_ALLV}};
  uint16_t after = 0;
  for (const auto& c : chain) {
    ASSERT_TRUE(b.addBlock(c.block, c.type, 1, after)) << b.error();
    if (c.block != 200) {
      ASSERT_TRUE(b.wireAnalog(c.block, 1, 200, 1));
    }
    after = c.block;
  }
  ASSERT_TRUE(b.setFloat(200, 1, 1.0f));    // T
  ASSERT_TRUE(b.setFloat(200, 2, 1.0f));    // x 0
  ASSERT_TRUE(b.setFloat(200, 4, 100.0f));  // Max
  ASSERT_TRUE(b.setWord(201, 1, 3));        // Delay
  ASSERT_TRUE(b.setFloat(203, 1, 0.45f));   // H 1
  ASSERT_TRUE(b.setFloat(204, 2, 0.75f));   // LimH
  ASSERT_TRUE(b.setFloat(205, 1, 0.5f));    // GrX +
  ASSERT_TRUE(b.wireAnalog(207, 2, 201, 1));
  ASSERT_TRUE(b.setFloat(208, 1, 0.25f));   // L 1
  ASSERT_TRUE(b.setFloat(209, 1, 0.2f));    // Td
  ASSERT_NO_FATAL_FAILURE(load(b));
  FB_RunStartupPass();

  auto cycle = [] {
    FB_RunSchedule();
    g_fbSchedule.phase = static_cast<uint16_t>((g_fbSchedule.phase + 1) % FB_PHASE_COUNT);
  };
  // After n cycles from a cold start, of the blocks whose outputs follow the ramp.
  auto expectRamp = [](int n) {
    SCOPED_TRACE(testing::Message() << "cycle " << n);
    const float ramp = 0.1f * static_cast<float>(n);
    EXPECT_NEAR(analogOut(200, 1), ramp, 1e-5f);
    EXPECT_NEAR(analogOut(201, 1), n > 3 ? 0.1f * static_cast<float>(n - 3) : 0.0f, 1e-5f);
    EXPECT_NEAR(analogOut(209, 1), n > 2 ? 0.1f * static_cast<float>(n - 2) : 0.0f, 1e-5f);
    EXPECT_NEAR(analogOut(205, 1), 0.05f * static_cast<float>(n), 1e-5f);
    EXPECT_EQ(digitalOut(203, 1), n >= 5 ? 1 : 0);  // h 1 above 0.45
    EXPECT_EQ(digitalOut(204, 1), n >= 8 ? 1 : 0);  // alarm above 0.75
    EXPECT_EQ(digitalOut(208, 1), n >= 3 ? 1 : 0);  // l 1 above 0.25
    EXPECT_EQ(digitalOut(207, 1), n >= 1 ? 1 : 0);  // X1>X2: ahead of its delayed copy
  };
  for (int n = 1; n <= 10; ++n) {
    cycle();
    expectRamp(n);
  }

  // Every output word of the twelve blocks.
  auto outputs = [&] {
    std::vector<uint16_t> words;
    for (const auto& c : chain) {
      FbLayout L;
      EXPECT_TRUE(FB_GetLayout(c.block, &L));
      const uint16_t* ao = reinterpret_cast<const uint16_t*>(L.ao);
      words.insert(words.end(), ao, ao + 2 * L.analogOutputs);
      words.insert(words.end(), L.dout, L.dout + L.digitalOutputs);
    }
    return words;
  };
  const std::vector<uint16_t> before = outputs();
  g_fwEng.warmStart = 1;
  FB_RunStartupPass();
  g_fwEng.warmStart = 0;
  EXPECT_EQ(outputs(), before) << "a warm start keeps the outputs";
  cycle();
  expectRamp(11);  // integrator, dead-time rings, ramp and alarm state went on

  FB_RunStartupPass();  // cold start
  for (uint16_t block : {200, 201, 202, 205, 206, 209, 210}) {
    EXPECT_EQ(analogOut(block, 1), 0.0f) << block;
  }
  for (uint16_t block : {203, 211}) {
    EXPECT_EQ(analogOut(block, 1), 0.0f) << block;
    for (uint16_t o = 1; o <= 4; ++o) EXPECT_EQ(digitalOut(block, o), 0) << block << "." << o;
  }
  EXPECT_EQ(digitalOut(200, 1), 0);
  EXPECT_EQ(digitalOut(204, 1), 0);
  for (uint16_t o = 1; o <= 8; ++o) EXPECT_EQ(digitalOut(208, o), 0) << o;
  for (uint16_t o = 1; o <= 6; ++o) EXPECT_EQ(digitalOut(207, o), o <= 3 ? 0 : 1) << o;
  for (int n = 1; n <= 4; ++n) {
    cycle();
    expectRamp(n);  // the rings start empty again
  }
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
  ASSERT_NO_FATAL_FAILURE(load(b));

  FB_RunStartupPass();
  EXPECT_EQ(analogOut(123, APROG_AO_BLNO + 1), 123.0f);
  for (int cycle = 1; cycle <= 8; ++cycle) FB_RunSchedule();  // the settle time
  EXPECT_EQ(digitalOut(123, APROG_DO_RUN + 1), 1);
  EXPECT_EQ(analogOut(123, APROG_AO_SEGNO + 1), 1.0f);
  FB_RunSchedule();  // the start's search: without "XVal" the program stays at its start
  EXPECT_EQ(analogOut(123, APROG_AO_TNETTO + 1), 0.0f);
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

// Selection, curve, trigonometric and text blocks in group 1, fed by an integrator ramp
// r = 0.1 n (cycle n) and a LINEAR block that scales it to v = 9 r up to r = 1 (then 9):
//   300 INTE   301 LINEAR   302 SIN of v (degrees)   303 SELV2 of r, v, sin by "Select" v
//   304 SELV2 of r, sin, -, v by 303's "Casc"   305 EXTR of r, v (X 3 unwired)
//   306 CHAR of v, Seg 3   307 GAP of v, 2..5   308 TEXT of v, its "Casc" from 309 TEXT of r
//   310 2OF3 of r and v   311 PEAK of sin   312 ARCSIN of sin (degrees)
TEST_F(BlockEngineering, SelectionCurveAndTrigBlocksComputeCycleByCycle) {
  EngBuilder b;
  b.setRunMode(2);
  const struct {
    uint16_t block, type;
  } chain[] = {{300, BLK_TYPE_INTE},  {301, BLK_TYPE_LINEAR}, {302, BLK_TYPE_SIN},
               {303, BLK_TYPE_SELV2}, {304, BLK_TYPE_SELV2},  {305, BLK_TYPE_EXTR},
               {306, BLK_TYPE_CHAR},  {307, BLK_TYPE_GAP},    {309, BLK_TYPE_TEXT},
               {308, BLK_TYPE_TEXT},  {310, BLK_TYPE_2OF3},   {311, BLK_TYPE_PEAK},
               {312, BLK_TYPE_ARCSIN}};
  uint16_t after = 0;
  for (const auto& c : chain) {
    ASSERT_TRUE(b.addBlock(c.block, c.type, 1, after)) << b.error();
    after = c.block;
  }
  ASSERT_TRUE(b.setFloat(300, 1, 1.0f));    // T
  ASSERT_TRUE(b.setFloat(300, 2, 1.0f));    // x 0
  ASSERT_TRUE(b.setFloat(300, 4, 100.0f));  // Max
  ASSERT_TRUE(b.wireAnalog(301, 1, 300, 1));
  ASSERT_TRUE(b.setFloat(301, 4, 9.0f));        // y(2)
  ASSERT_TRUE(b.setFloat(301, 5, -32000.0f));   // x(3): two points
  ASSERT_TRUE(b.wireAnalog(302, 1, 301, 1));
  for (uint16_t in = 1; in <= 3; ++in) ASSERT_TRUE(b.wireAnalog(303, in, 299 + in, 1));
  ASSERT_TRUE(b.wireAnalog(303, SELV2_IN_SELECT, 301, 1));
  ASSERT_TRUE(b.wireAnalog(304, SELV2_IN_X1, 300, 1));
  ASSERT_TRUE(b.wireAnalog(304, SELV2_IN_X2, 302, 1));
  ASSERT_TRUE(b.wireAnalog(304, SELV2_IN_X4, 301, 1));
  ASSERT_TRUE(b.wireAnalog(304, SELV2_IN_SELECT, 303, SELV2_OUT_CASC));
  ASSERT_TRUE(b.wireAnalog(305, 1, 300, 1));
  ASSERT_TRUE(b.wireAnalog(305, 2, 301, 1));
  ASSERT_TRUE(b.wireAnalog(306, 1, 301, 1));
  ASSERT_TRUE(b.setValue(306, 1, 3));  // Seg
  ASSERT_TRUE(b.wireAnalog(307, 1, 301, 1));
  ASSERT_TRUE(b.setFloat(307, 1, 2.0f));
  ASSERT_TRUE(b.setFloat(307, 2, 5.0f));
  ASSERT_TRUE(b.wireAnalog(308, TEXT_IN_INDEX, 301, 1));
  ASSERT_TRUE(b.wireAnalog(308, TEXT_IN_CASC, 309, TEXT_OUT_USRTXT));
  ASSERT_TRUE(b.wireAnalog(309, TEXT_IN_INDEX, 300, 1));
  ASSERT_TRUE(b.wireAnalog(310, 1, 300, 1));
  ASSERT_TRUE(b.wireAnalog(310, 3, 301, 1));
  ASSERT_TRUE(b.setFloat(310, 1, 999999.0f));  // Diff
  ASSERT_TRUE(b.wireAnalog(311, 1, 302, 1));
  ASSERT_TRUE(b.wireAnalog(312, 1, 302, 1));
  ASSERT_NO_FATAL_FAILURE(load(b));
  FB_RunStartupPass();

  auto sinDeg = [](float v) {
    const float s = std::sin(v * 3.1415927f / 180.0f);
    return std::fabs(s) < 1e-6f ? 0.0f : s;
  };
  auto byNumber = [](float select, float a, float b, float c, float d) {
    return select < 1.5f ? a : select < 2.5f ? b : select < 3.5f ? c : d;
  };
  float peak = 0.0f;
  for (int n = 1; n <= 12; ++n) {
    SCOPED_TRACE(testing::Message() << "cycle " << n);
    if (n == 6) {
      // CHAR's "Seg" written while running acts only after the next start-up pass.
      FbParamRequest r = FB_WordRequest(306, 3000, 1);
      uint16_t bad = 0;
      ASSERT_EQ(FB_GetType(BLK_TYPE_CHAR)->param(&r, &bad), FB_OK);
    }
    FB_RunSchedule();
    g_fbSchedule.phase = static_cast<uint16_t>((g_fbSchedule.phase + 1) % FB_PHASE_COUNT);
    const float r = analogOut(300, 1);
    ASSERT_NEAR(r, 0.1f * static_cast<float>(n), 1e-5f);
    const float v = r < 1.0f ? 9.0f * r : 9.0f;
    EXPECT_NEAR(analogOut(301, 1), v, 1e-4f);
    const float sv = sinDeg(analogOut(301, 1));
    EXPECT_FLOAT_EQ(analogOut(302, 1), sv);
    EXPECT_FLOAT_EQ(analogOut(303, SELV2_OUT_Y1), byNumber(v, r, v, sv, 0.0f));
    EXPECT_NEAR(analogOut(303, SELV2_OUT_CASC), v - 3.0f, 1e-4f);
    EXPECT_FLOAT_EQ(analogOut(304, SELV2_OUT_Y1), byNumber(v - 3.0f, r, sv, 0.0f, v));
    for (uint16_t o = 1; o <= 3; ++o) {
      EXPECT_NEAR(analogOut(305, o), o < 3 ? v : r, 1e-4f) << o;
      EXPECT_EQ(analogOut(305, 3 + o), o < 3 ? 2.0f : 1.0f) << o;
    }
    EXPECT_NEAR(analogOut(306, 1), std::min(v, 3.0f), 1e-4f);
    EXPECT_NEAR(analogOut(307, 1), v < 2.0f ? v - 2.0f : v > 5.0f ? v - 5.0f : 0.0f, 1e-4f);
    EXPECT_EQ(analogOut(308, 1), std::trunc(analogOut(301, 1)));
    EXPECT_EQ(analogOut(309, 1), std::trunc(r));
    EXPECT_NEAR(analogOut(310, 1), (r + v) / 2.0f, 1e-4f);
    EXPECT_EQ(analogOut(310, 2), 2.0f);
    peak = std::max(peak, sv);
    EXPECT_FLOAT_EQ(analogOut(311, 1), peak);
    EXPECT_NEAR(analogOut(312, 1), v, 1e-3f);
  }
  FbLayout text;
  ASSERT_TRUE(FB_GetLayout(308, &text));
  EXPECT_EQ(BLK_WorkState<TextBlockState>(text).cascNotText, 0) << "fed by TEXT 309";
  ASSERT_TRUE(FB_GetLayout(309, &text));
  EXPECT_EQ(BLK_WorkState<TextBlockState>(text).cascNotText, 1);

  g_fwEng.warmStart = 1;
  FB_RunStartupPass();
  g_fwEng.warmStart = 0;
  FB_RunSchedule();
  EXPECT_EQ(analogOut(306, 1), 1.0f) << "Seg 1 in force: held at y(2)";
}

// The time of day the timer engineering reads: the test moves it on by one second a cycle.
std::tm g_timerClock{};
bool timerClock(std::tm* out) {
  *out = g_timerClock;
  return true;
}

// Timer and counter blocks in group 1, on a clock that starts on Monday 2024-01-08 at
// 00:00:50 and moves one second per cycle:
//   300 TIMER   daily from 00:01 for 1 minute
//   301 MONO    on the rising z 1 of 300, Tp1 0.3 s
//   302 TONOFF  d 1 = 300.z 1, Ton 0.5 s, Toff 0.2 s
//   303 PULS    X 1 = 300.Week-D (1 on a Monday) at X 100 = 1, 18000 pulses/h
//   304 COUNT   up = 303.z 1, down unwired
//   305 MEAN    X 1 = 304.Count, trig = 303.z 1, ValNo 4
//   306 TIME2   start = 301.Q1, TD.Mi 1
TEST_F(BlockEngineering, TimersAndCountersOnTheDeviceClock) {
  const FwClockState savedClock = g_fwClock;
  g_timerClock = std::tm{};
  g_timerClock.tm_year = 124;
  g_timerClock.tm_mon = 0;
  g_timerClock.tm_mday = 8;
  g_timerClock.tm_wday = 1;
  g_timerClock.tm_sec = 50;
  FW_SetTimeSource(timerClock);
  ASSERT_EQ(FW_ReadHostClock(), 1);

  EngBuilder b;
  b.setRunMode(2);
  const uint16_t types[] = {BLK_TYPE_TIMER, BLK_TYPE_MONO, BLK_TYPE_TONOFF, BLK_TYPE_PULS,
                            BLK_TYPE_COUNT, BLK_TYPE_MEAN, BLK_TYPE_TIME2};
  uint16_t after = 0;
  for (uint16_t i = 0; i < 7; ++i) {
    const auto block = static_cast<uint16_t>(300 + i);
    ASSERT_TRUE(b.addBlock(block, types[i], 1, after)) << b.error();
    after = block;
  }
  ASSERT_TRUE(b.setWord(300, 4, 1));  // TS.Mi
  ASSERT_TRUE(b.setWord(300, 7, 1));  // TD.Mi
  ASSERT_TRUE(b.wireDigital(301, 1, 300, 1));
  ASSERT_TRUE(b.setFloat(301, 1, 0.3f));
  ASSERT_TRUE(b.wireDigital(302, 1, 300, 1));
  ASSERT_TRUE(b.setFloat(302, 1, 0.5f));
  ASSERT_TRUE(b.setFloat(302, 2, 0.2f));
  ASSERT_TRUE(b.wireAnalog(303, 1, 300, 1));
  ASSERT_TRUE(b.setFloat(303, 3, 18000.0f));
  ASSERT_TRUE(b.wireDigital(304, 1, 303, 1));
  ASSERT_TRUE(b.setFloat(304, 2, 1000.0f));
  ASSERT_TRUE(b.wireAnalog(305, 1, 304, 1));
  ASSERT_TRUE(b.wireDigital(305, 3, 303, 1));
  ASSERT_TRUE(b.setValue(305, 1, 4));
  ASSERT_TRUE(b.wireDigital(306, 3, 301, 1));
  ASSERT_TRUE(b.setWord(306, 6, 1));
  std::vector<uint8_t> image;
  ASSERT_TRUE(b.build(image)) << b.error();
  std::memcpy(g_fwImage, image.data(), FW_IMAGE_SIZE);
  ASSERT_EQ(FW_LoadEngineering(), 0);
  ASSERT_EQ(g_fwEng.lastError, FwImageError::None);
  FB_RunStartupPass();
  EXPECT_EQ(g_fwClockTimerPresent, 1);

  for (int n = 1; n <= 200; ++n) {
    SCOPED_TRACE(testing::Message() << "cycle " << n);
    g_timerClock.tm_sec = 50 + n - 1;
    g_timerClock.tm_min = g_timerClock.tm_sec / 60;
    g_timerClock.tm_sec %= 60;
    ASSERT_EQ(FW_ReadHostClock(), 1);
    FB_RunSchedule();
    g_fbSchedule.phase = static_cast<uint16_t>((g_fbSchedule.phase + 1) % FB_PHASE_COUNT);
    // 00:01:00 is cycle 11, 00:02:00 cycle 71.
    EXPECT_EQ(analogOut(300, 1), 1.0f);
    EXPECT_EQ(digitalOut(300, 1), n >= 11 && n < 71 ? 1 : 0);
    EXPECT_EQ(digitalOut(301, 1), n >= 11 && n < 14 ? 1 : 0);
    EXPECT_EQ(digitalOut(302, 1), n >= 16 && n < 73 ? 1 : 0);
    EXPECT_EQ(digitalOut(303, 1), n % 2 == 0 ? 1 : 0);
    const int k = n / 2;  // pulses so far
    EXPECT_EQ(analogOut(304, 1), static_cast<float>(k));
    const float mean = k == 0 ? 0.0f : k < 4 ? (k + 1) / 2.0f : k - 1.5f;
    EXPECT_EQ(analogOut(305, 1), mean);
    EXPECT_EQ(digitalOut(306, 1), n >= 12 && n < 72 ? 1 : 0);
    EXPECT_EQ(digitalOut(306, 2), n >= 11 && n < 72 ? 0 : 1);
  }

  // A warm start keeps every output.
  auto outputs = [] {
    std::vector<uint16_t> words;
    for (uint16_t block = 300; block <= 306; ++block) {
      FbLayout L;
      EXPECT_TRUE(FB_GetLayout(block, &L));
      const uint16_t* ao = reinterpret_cast<const uint16_t*>(L.ao);
      words.insert(words.end(), ao, ao + 2 * L.analogOutputs);
      words.insert(words.end(), L.dout, L.dout + L.digitalOutputs);
    }
    return words;
  };
  const std::vector<uint16_t> before = outputs();
  g_fwEng.warmStart = 1;
  FB_RunStartupPass();
  g_fwEng.warmStart = 0;
  EXPECT_EQ(outputs(), before);

  FW_SetTimeSource(nullptr);
  g_fwClock = savedClock;
}

// A programmer choosing among three programs through two selectors, in group 1 in chain
// order ("Turbo" 1, times in seconds):
//   131 APROGD  program 1: 1 s to 10            132 APROGD  program 2: 1 s to 20
//   133 APROGD  program 5: 0.5 s to 50, 0.5 s to 80
//   134 SELV2   far: "Select" = 136.ProgNo, X 1 = 131, X 2 = 132
//   135 SELV2   near: "Select" = 134.Casc, X 1 = 134.Y 1, X 2 = 133
//   136 APROG   "DBlock" = 135.Y 1; program 5 by request 300, started by request 500
TEST_F(BlockEngineering, ProgrammerSelectsItsProgramThroughSelectors) {
  EngBuilder b;
  b.setRunMode(2);
  const struct {
    uint16_t block, type, after;
  } blocks[] = {{131, FB_TYPE_APROGD, 0},  {132, FB_TYPE_APROGD, 131}, {133, FB_TYPE_APROGD, 132},
                {134, BLK_TYPE_SELV2, 133}, {135, BLK_TYPE_SELV2, 134}, {136, FB_TYPE_APROG, 135}};
  for (const auto& k : blocks) ASSERT_TRUE(b.addBlock(k.block, k.type, 1, k.after)) << b.error();
  ASSERT_TRUE(b.setFloat(131, 1, 1.0f) && b.setFloat(131, 2, 10.0f));
  ASSERT_TRUE(b.setFloat(132, 1, 1.0f) && b.setFloat(132, 2, 20.0f));
  ASSERT_TRUE(b.setFloat(133, 1, 0.5f) && b.setFloat(133, 2, 50.0f));
  ASSERT_TRUE(b.setFloat(133, 3, 0.5f) && b.setFloat(133, 4, 80.0f));
  ASSERT_TRUE(b.wireAnalog(134, SELV2_IN_SELECT, 136, APROG_AO_PROGNO + 1));
  ASSERT_TRUE(b.wireAnalog(134, SELV2_IN_X1, 131, 1));
  ASSERT_TRUE(b.wireAnalog(134, SELV2_IN_X2, 132, 1));
  ASSERT_TRUE(b.wireAnalog(135, SELV2_IN_SELECT, 134, SELV2_OUT_CASC));
  ASSERT_TRUE(b.wireAnalog(135, SELV2_IN_X1, 134, SELV2_OUT_Y1));
  ASSERT_TRUE(b.wireAnalog(135, SELV2_IN_X2, 133, 1));
  ASSERT_TRUE(b.wireAnalog(136, APROG_AI_DBLOCK + 1, 135, SELV2_OUT_Y1));
  ASSERT_TRUE(b.setValue(136, PROG_WV_TURBO + 1, 1));
  ASSERT_NO_FATAL_FAILURE(load(b));

  FB_RunStartupPass();
  const ProgWork* w = PROG_Work(136);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->own.selectorCount, 2);
  auto request = [](FbParamRequest r) {
    uint16_t bad = 0;
    return FB_GetType(FB_TYPE_APROG)->param(&r, &bad);
  };
  ASSERT_EQ(request(FB_FloatRequest(136, 300, 5.0f)), FB_OK);
  // The settle time of the start, then the reset takes program 5 and waits again while the
  // selectors pass the new number on.
  for (int cycle = 0; cycle < 8 + 8; ++cycle) FB_RunSchedule();
  EXPECT_EQ(analogOut(136, APROG_AO_PROGNO + 1), 5.0f);
  EXPECT_EQ(analogOut(135, SELV2_OUT_Y1), 133.0f);
  EXPECT_EQ(w->copy[w->own.copyInUse].dataBlock, 133);
  EXPECT_FLOAT_EQ(w->copy[w->own.copyInUse].total, 1.0f);

  ASSERT_EQ(request(FB_WordRequest(136, 500, 1)), FB_OK);
  FB_RunSchedule();  // the start
  FB_RunSchedule();  // the start's search
  for (int m = 1; m <= 10; ++m) {
    SCOPED_TRACE(testing::Message() << "running cycle " << m);
    FB_RunSchedule();
    const float wp = m <= 5 ? 10.0f * m : 50.0f + 6.0f * (m - 5);
    EXPECT_NEAR(analogOut(136, APROG_AO_WP + 1), wp, 1e-3);
    EXPECT_EQ(analogOut(136, APROG_AO_SEGNO + 1), m < 5 ? 1.0f : (m < 10 ? 2.0f : 3.0f));
  }
  EXPECT_EQ(digitalOut(136, APROG_DO_END + 1), 1);
  EXPECT_EQ(analogOut(136, APROG_AO_WEND + 1), 80.0f);
}

// A digital programmer with two chained data blocks, in group 1 in chain order:
//   140 AND     nothing wired: z 1 = 1, the programmer's run command
//   141 DPROGD  ten segments of 0.2 s, segment n with the pattern whose digits are n's bits
//   142 DPROGD  segments 11 and 12 the same way; its unconnected input ends the chain
//   143 DPROG   "Turbo" 1 (seconds), D 0 = 100000
TEST_F(BlockEngineering, DigitalProgrammerSwitchesItsTracksCycleByCycle) {
  EngBuilder b;
  b.setRunMode(2);
  ASSERT_TRUE(b.addBlock(140, BLK_TYPE_AND, 1)) << b.error();
  ASSERT_TRUE(b.addBlock(141, FB_TYPE_DPROGD, 1, 140)) << b.error();
  ASSERT_TRUE(b.addBlock(142, FB_TYPE_DPROGD, 1, 141)) << b.error();
  ASSERT_TRUE(b.addBlock(143, FB_TYPE_DPROG, 1, 142)) << b.error();
  for (uint16_t n = 1; n <= 12; ++n) {
    const uint16_t block = n <= 10 ? 141 : 142, i = (n - 1) % 10;
    ASSERT_TRUE(b.setFloat(block, 2 * i + 1, 0.2f));
    ASSERT_TRUE(b.setFloat(block, 2 * i + 2, progPatternOf(n)));
  }
  ASSERT_TRUE(b.setFloat(143, DPROG_FP_D0 + 1, 100000.0f));
  ASSERT_TRUE(b.wireAnalog(141, 1, 142, 1));
  ASSERT_TRUE(b.wireAnalog(143, DPROG_AI_DBLOCK + 1, 141, 1));
  ASSERT_TRUE(b.wireDigital(143, DPROG_DI_RUN + 1, 140, 1));
  ASSERT_TRUE(b.setValue(143, PROG_WV_TURBO + 1, 1));
  ASSERT_NO_FATAL_FAILURE(load(b));
  auto tracks = [] {
    unsigned bits = 0;
    for (uint16_t k = 0; k < DPROG_TRACKS; ++k) {
      if (digitalOut(143, DPROG_DO_1 + 1 + k)) bits |= 1u << k;
    }
    return bits;
  };

  FB_RunStartupPass();
  EXPECT_EQ(analogOut(143, DPROG_AO_BLNO + 1), 143.0f);
  for (int cycle = 1; cycle <= 7; ++cycle) {  // the settle time: reset, the pattern D 0
    FB_RunSchedule();
    EXPECT_EQ(digitalOut(143, DPROG_DO_RESET + 1), 1);
    EXPECT_EQ(tracks(), 0b100000u) << cycle;
  }
  FB_RunSchedule();  // the start takes segment 1
  EXPECT_EQ(digitalOut(143, DPROG_DO_RUN + 1), 1);
  EXPECT_EQ(tracks(), 1u);
  for (int m = 1; m <= 23; ++m) {
    SCOPED_TRACE(testing::Message() << "running cycle " << m);
    FB_RunSchedule();
    const auto segNo = static_cast<unsigned>(m / 2 + 1);
    EXPECT_EQ(analogOut(143, DPROG_AO_SEGNO + 1), static_cast<float>(segNo));
    EXPECT_EQ(tracks(), segNo);
    EXPECT_NEAR(analogOut(143, DPROG_AO_TNETTO + 1), 0.1f * m, 1e-4);
    EXPECT_NEAR(analogOut(143, DPROG_AO_TREST + 1), 2.4f - 0.1f * m, 1e-4);
    EXPECT_EQ(digitalOut(143, DPROG_DO_END + 1), 0);
  }
  for (int m = 24; m <= 26; ++m) {  // the end: the last pattern stays
    FB_RunSchedule();
    EXPECT_EQ(digitalOut(143, DPROG_DO_END + 1), 1);
    EXPECT_EQ(tracks(), 12u);
    EXPECT_EQ(analogOut(143, DPROG_AO_TREST + 1), 0.0f);
  }
}

}  // namespace
