// Analog input card blocks, the channel map, the host I/O copy into the board records and the
// system data of the cards.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#include "blocks/io/io.h"
#include "fakes/fake_shell.h"
#include "firmware/fw_links.h"
#include "firmware/fw_main.h"
#include "firmware/fw_plant.h"
#include "runtime/fb_param.h"
#include "runtime/fw_sysdata.h"
#include "shell/sim_services.h"
#include "support/io_fixture.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Digital outputs of AINP1: fail, a/m, inc, dec.
constexpr uint16_t kFail = 1;

TEST(IoChannelMap, FixedBlockNumbersNameOneBoardAndChannel) {
  struct Case {
    uint16_t block;
    int board, channel;  // -1: none
  } cases[] = {{61, 0, 3}, {63, 2, 2}, {64, 2, 2}, {65, 0, 1}, {66, 0, 2}, {67, 2, 0},
               {70, 2, 3}, {71, 1, 0}, {74, 1, 3}, {81, 3, 3}, {82, 3, 2}, {84, 3, 1},
               {85, 3, 0}, {91, 0, 0}, {95, 1, 3}, {62, -1, -1}, {83, -1, -1}, {96, -1, -1},
               {0, -1, -1}, {99, -1, -1}, {100, -1, -1}, {65535, -1, -1}};
  for (const Case& c : cases) {
    uint16_t b = 9, ch = 9;
    EXPECT_EQ(FW_IoChannelOf(c.block, &b, &ch), c.board >= 0) << c.block;
    if (c.board >= 0) {
      EXPECT_EQ(b, c.board) << c.block;
      EXPECT_EQ(ch, c.channel) << c.block;
      EXPECT_EQ(FW_IoChannelForBlock(c.block), &g_fwIoBoards[c.board].channel[c.channel]);
    } else {
      EXPECT_EQ(FW_IoChannelForBlock(c.block), nullptr);
    }
  }
}

// --- conversion by sensor code ------------------------------------------------------------

TEST(AnalogInputs, ConvertAndCheckTheReadingBySensorCode) {
  struct Case {
    const char* what;
    uint16_t type, block, typ;
    bool electrical;
    float x0, x100, raw;
    float out;  // when it does not fail
    bool fails;
  } cases[] = {
      {"0..20 mA scaled to 0..200", BLK_TYPE_AINP1, 61, AIN_MA_0_20, true, 0, 200, 10, 100, false},
      {"x100 equal to x0: q 1, a 0", BLK_TYPE_AINP1, 61, AIN_MA_0_20, true, 50, 50, 10, 50, false},
      {"4..20 mA mid", BLK_TYPE_AINP1, 61, AIN_MA_4_20, true, 0, 100, 12, 50, false},
      {"4..20 mA at 2 mA", BLK_TYPE_AINP1, 61, AIN_MA_4_20, true, 0, 100, 2, 0, true},
      {"4..20 mA at 22 mA", BLK_TYPE_AINP1, 61, AIN_MA_4_20, true, 0, 100, 22, 0, true},
      {"0..10 V", BLK_TYPE_AINP1, 61, AIN_V_0_10, true, 0, 100, 5, 50, false},
      {"2..10 V", BLK_TYPE_AINP1, 61, AIN_V_2_10, true, 0, 100, 6, 50, false},
      {"engineering units", BLK_TYPE_AINP1, 61, AIN_MA_0_20, false, 0, 200, 150, 150, false},
      {"engineering units beyond 110 %", BLK_TYPE_AINP1, 61, AIN_MA_0_20, false, 0, 200, 250, 0, true},
      {"1500 mV without a check", BLK_TYPE_AINP1, 61, AIN_MV1500, true, 0, 100, 3000, 200, false},
      {"Pt100 in range", BLK_TYPE_AINP1, 61, AIN_PT100_850, false, 0, 100, -229, -229, false},
      {"Pt100 below min - 30", BLK_TYPE_AINP1, 61, AIN_PT100_850, false, 0, 100, -231, 0, true},
      {"resistance at 1.1 x 500", BLK_TYPE_AINP1, 61, AIN_OHM500, false, 0, 100, 550, 550, false},
      {"resistance below 0", BLK_TYPE_AINP1, 61, AIN_OHM500, false, 0, 100, -1, 0, true},
      {"transmitter", BLK_TYPE_AINP1, 61, AIN_POT_TRANS, true, 0, 100, 250, 50, false},
      {"transmitter, engineering units", BLK_TYPE_AINP1, 61, AIN_POT_TRANS, false, 0, 100, 130, 130, false},
      {"AINP3 mV linear", BLK_TYPE_AINP3, 63, AIN_MV_LINEAR, true, 0, 100, 25, 50, false},
      {"TPS_IN 0..30 mV", BLK_TYPE_TPS_IN, 67, AIN_MV30, true, 0, 100, 15, 50, false},
      {"TPS_IN 0..300 mV", BLK_TYPE_TPS_IN, 67, AIN_MV300, true, 0, 100, 100, 30, false},
      {"AINP5 2..10 V", BLK_TYPE_AINP5, 65, AIN_V_2_10, true, 0, 10, 10, 10, false},
      {"AINP6 transmitter", BLK_TYPE_AINP6, 66, AIN_POT_TRANS, true, 0, 100, 250, 50, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IoFixture fx;
    fx.createAt(c.type, c.block);
    fx.setWord(c.block, AIN_WV_TYP, c.typ);
    fx.setWord(c.block, AIN_WV_FAIL, AIN_FAIL_DISABLED);
    fx.setLong(c.block, AIN_LV_X0, c.x0);
    fx.setLong(c.block, AIN_LV_X100, c.x100);
    fx.setLong(c.block, AIN_LV_TFM, 0.0f);
    fx.initFitted(c.block);
    fx.reading(c.block, c.raw, c.electrical, c.type == BLK_TYPE_AINP3 ? 1 : 0);
    fx.run(c.block);
    const uint16_t failOut = c.type == BLK_TYPE_TPS_IN ? 2 : 1;
    EXPECT_EQ(fx.digitalOut(c.block, failOut), c.fails ? 1 : 0);
    EXPECT_FLOAT_EQ(fx.analogOut(c.block, 1), c.fails ? 0.0f : c.out);
  }
}

TEST(AnalogInputs, AnyRawReadingGivesAFiniteOutputOrAFailure) {
  const float raws[] = {kNaN, -kNaN, kInf, -kInf, std::numeric_limits<float>::max(),
                        -std::numeric_limits<float>::max(), 1e30f, -1e30f};
  const uint16_t codes[] = {AIN_TYPE_K, AIN_PT100_850, AIN_2PT100_85, AIN_MA_0_20, AIN_MA_4_20,
                            AIN_V_2_10, AIN_MV1500, AIN_POT_TRANS, AIN_OHM250};
  for (uint16_t code : codes) {
    for (float raw : raws) {
      for (bool electrical : {false, true}) {
        IoFixture fx;
        fx.createAt(BLK_TYPE_AINP1, 61);
        fx.setWord(61, AIN_WV_TYP, code);
        fx.setWord(61, AIN_WV_FAIL, AIN_FAIL_SUBST);
        fx.setLong(61, AIN_LV_XFAIL, -7.0f);
        fx.initFitted(61);
        fx.reading(61, raw, electrical);
        fx.run(61);
        const float y = fx.analogOut(61, 1);
        EXPECT_TRUE(std::isfinite(y) && std::fabs(y) <= 1.5e37f) << code << " " << raw;
        if (!std::isfinite(raw)) {
          EXPECT_EQ(fx.digitalOut(61, kFail), 1) << code << " " << raw;
          EXPECT_EQ(y, -7.0f);
        }
      }
    }
  }
}

// --- failure values and recovery -----------------------------------------------------------

TEST(AnalogInputs, FailureValueByFailSettingAndUnit) {
  struct Case {
    const char* what;
    uint16_t typ, fail, unit;
    float expected;
  } cases[] = {
      {"Type J upscale in C", AIN_TYPE_J, AIN_FAIL_UPSCALE, 1, 1200},
      {"Type K upscale in F", AIN_TYPE_K, AIN_FAIL_UPSCALE, 2, 1350 * 1.8f + 32},
      {"Pt100 downscale", AIN_PT100_850, AIN_FAIL_DOWNSCALE, 1, -200},
      {"linear upscale is x100", AIN_MA_4_20, AIN_FAIL_UPSCALE, 1, 80},
      {"linear downscale is x0", AIN_MA_4_20, AIN_FAIL_DOWNSCALE, 1, 20},
      {"substitute", AIN_TYPE_K, AIN_FAIL_SUBST, 1, 33},
      {"disabled", AIN_TYPE_K, AIN_FAIL_DISABLED, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IoFixture fx;
    fx.createAt(BLK_TYPE_AINP1, 61);
    fx.setWord(61, AIN_WV_TYP, c.typ);
    fx.setWord(61, AIN_WV_FAIL, c.fail);
    fx.setWord(61, AIN_WV_UNIT, c.unit);
    fx.setLong(61, AIN_LV_X0, 20);
    fx.setLong(61, AIN_LV_X100, 80);
    fx.setLong(61, AIN_LV_XFAIL, 33);
    fx.initFitted(61);
    IoFixture::channel(61).sub[0].fault = 1;  // a sensor fault from the hardware
    fx.run(61);
    EXPECT_EQ(fx.digitalOut(61, kFail), 1);
    EXPECT_FLOAT_EQ(fx.analogOut(61, 1), c.expected);
  }
}

TEST(AnalogInputs, AFailureIsReportedAndClearsWithTheNextGoodReading) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_AINP1, 61);
  fx.setWord(61, AIN_WV_TYP, AIN_PT100_850);
  fx.setWord(61, AIN_WV_FAIL, AIN_FAIL_DOWNSCALE);
  fx.initFitted(61);
  g_fbInputFailWord = 0;
  fx.reading(61, 940);
  fx.run(61);
  EXPECT_EQ(fx.digitalOut(61, kFail), 1);
  EXPECT_FLOAT_EQ(fx.analogOut(61, 1), -200.0f);
  EXPECT_EQ(g_fbInputFailWord, 8);
  EXPECT_EQ(FW_LinkAnalogInputFailures(), FW_AIN_FAIL_AINP1);
  // The filter (Tfm 0.5) restarts at the first good reading.
  fx.reading(61, 930);
  fx.run(61);
  EXPECT_EQ(fx.digitalOut(61, kFail), 0);
  EXPECT_FLOAT_EQ(fx.analogOut(61, 1), 930.0f);
  EXPECT_EQ(g_fbInputFailWord, 0);
  EXPECT_EQ(FW_LinkAnalogInputFailures(), 0);
  // Without a new reading the output keeps its value.
  IoFixture::channel(61).sub[0].raw = 500;
  fx.run(61);
  EXPECT_FLOAT_EQ(fx.analogOut(61, 1), 930.0f);
}

TEST(AnalogInputs, FilterAtTheTenthOfASecondCycle) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_AINP1, 61);
  fx.setLong(61, AIN_LV_TFM, 0.9f);  // c = 1 - 0.9 / 1.0 = 0.1
  fx.initFitted(61);
  fx.reading(61, 0);
  fx.run(61);
  const float expected[] = {10.0f, 19.0f, 27.1f};
  for (float e : expected) {
    fx.reading(61, 100);
    fx.run(61);
    EXPECT_NEAR(fx.analogOut(61, 1), e, 1e-4f);
  }
}

TEST(AnalogInputs, TwoPointCorrection) {
  struct Case {
    float x1in, x1out, x2in, x2out;
    uint16_t on;
    float out;
  } cases[] = {{0, 10, 100, 210, 1, 110}, {0, 10, 100, 210, 0, 50}, {5, 10, 5, 20, 1, 50}};
  for (const Case& c : cases) {
    IoFixture fx;
    fx.createAt(BLK_TYPE_AINP1, 61);
    fx.setWord(61, AIN_WV_XCORR, c.on);
    fx.setLong(61, AIN_LV_TFM, 0);
    const float fp[] = {c.x1in, c.x1out, c.x2in, c.x2out};
    for (uint16_t i = 0; i < 4; ++i) fx.floatParam(61, i + 1) = fx.floatParam(61, i + 1, true) = fp[i];
    fx.initFitted(61);
    fx.reading(61, 50);
    fx.run(61);
    EXPECT_FLOAT_EQ(fx.analogOut(61, 1), c.out);
  }
}

// --- class and channel checks ---------------------------------------------------------------

TEST(AnalogInputs, ClassAndChannelChecks) {
  struct Case {
    const char* what;
    uint16_t type, block, typ;
    uint8_t reported, status;
    bool fails;
  } cases[] = {
      {"AINP1 on a uni-input", BLK_TYPE_AINP1, 61, AIN_MA_0_20, FW_CLASS_UNI_INPUT, 0, false},
      {"AINP1 on a TC input", BLK_TYPE_AINP1, 61, AIN_MA_0_20, FW_CLASS_TC_INPUT, 0, true},
      {"AINP1 without a module", BLK_TYPE_AINP1, 61, AIN_MA_0_20, FW_CLASS_NONE, 0, true},
      {"AINP4 takes a TC input", BLK_TYPE_AINP4, 64, AIN_MA_0_20, FW_CLASS_TC_INPUT, 0, false},
      {"AINP4 takes a uni-input", BLK_TYPE_AINP4, 64, AIN_MA_0_20, FW_CLASS_UNI_INPUT, 0, false},
      {"AINP6 transmitter: no module is no match", BLK_TYPE_AINP6, 66, AIN_POT_TRANS, FW_CLASS_NONE, 0, true},
      {"AINP5 voltage on a U input", BLK_TYPE_AINP5, 65, AIN_V_0_10, FW_CLASS_U_INPUT, 0, false},
      {"channel fault", BLK_TYPE_AINP1, 61, AIN_MA_0_20, FW_CLASS_UNI_INPUT, FW_IO_STATUS_FAULT, true},
      {"cold junction, thermocouple", BLK_TYPE_AINP1, 61, AIN_TYPE_K, FW_CLASS_UNI_INPUT, FW_IO_STATUS_CJC, true},
      {"cold junction, Pt100", BLK_TYPE_AINP1, 61, AIN_PT100_850, FW_CLASS_UNI_INPUT, FW_IO_STATUS_CJC, false},
      {"UNI_IN: any status bit", BLK_TYPE_UNI_IN, 65, AIN_PT100_850, FW_CLASS_UNI_INPUT, FW_IO_STATUS_CJC, true},
      {"TPS_IN on a TPS input", BLK_TYPE_TPS_IN, 71, AIN_TYPE_K, FW_CLASS_TPS_INPUT, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IoFixture fx;
    fx.createAt(c.type, c.block);
    fx.setWord(c.block, AIN_WV_TYP, c.typ);
    fx.init(c.block);
    uint16_t board = 0, ch = 0;
    FW_IoChannelOf(c.block, &board, &ch);
    IoFixture::channel(c.block).reportedClass = c.reported;
    g_fwIoBoards[board].status[ch] = c.status;
    fx.reading(c.block, 50);
    fx.run(c.block);
    const bool idErr = c.type == BLK_TYPE_UNI_IN || c.type == BLK_TYPE_TPS_IN;
    EXPECT_EQ(fx.digitalOut(c.block, idErr ? 2 : 1), c.fails ? 1 : 0);
    if (idErr) {
      EXPECT_EQ(fx.digitalOut(c.block, 1), c.fails ? 1 : 0);
    }
  }
}

TEST(AnalogInputs, ABlockNumberWithoutAChannelClaimsNothingAndFails) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_AINP1, 62);
  fx.init(62);
  for (const FwIoBoard& b : g_fwIoBoards) EXPECT_EQ(b.inUse, 0u);
  fx.run(62);
  EXPECT_EQ(fx.digitalOut(62, kFail), 1);
  EXPECT_FLOAT_EQ(fx.analogOut(62, 1), 100.0f);  // Upscale of 0...20mA: x100
}

TEST(AnalogInputs, InitConfiguresTheSubChannel) {
  struct Case {
    uint16_t type, block, typ;
    unsigned sub;
    uint16_t expected;
    uint8_t code;
  } cases[] = {
      {BLK_TYPE_AINP1, 61, AIN_TYPE_K, 0, 1, AIN_TYPE_K},
      {BLK_TYPE_TPS_IN, 67, AIN_MV100, 0, 3, 14},
      {BLK_TYPE_AINP3, 63, AIN_MV_LINEAR, 1, 11, AIN_MV1500},
      {BLK_TYPE_AINP3, 63, AIN_MA_4_20, 1, 2, AIN_MA_4_20},
      {BLK_TYPE_AINP5, 65, AIN_V_0_10, 0, FW_IoClassPair(11, 1), AIN_V_0_10},
      {BLK_TYPE_AINP6, 66, AIN_MA_0_20, 0, FW_IoClassPair(2, 1), AIN_MA_0_20},
  };
  for (const Case& c : cases) {
    IoFixture fx;
    g_fwSys.shadow[FW_SH_BYTE44] = 1;
    fx.createAt(c.type, c.block);
    fx.setWord(c.block, AIN_WV_TYP, c.typ);
    if (c.type == BLK_TYPE_AINP1) {
      fx.setWord(c.block, AIN_WV_UNIT, 2);
      fx.setWord(c.block, AIN_WV_STK, 2);
      fx.setLong(c.block, AIN_LV_TKREF, 23.45f);
    }
    fx.init(c.block);
    const FwIoChannel& ch = IoFixture::channel(c.block);
    const FwIoSubChannel& s = ch.sub[c.sub];
    EXPECT_EQ(ch.expectedClass, c.expected) << c.type;
    EXPECT_EQ(ch.inputInUse, 1u);
    EXPECT_EQ(s.sensorCode, c.code) << c.type;
    EXPECT_EQ(s.configValid, 1);
    EXPECT_EQ(s.mainsFrequency, 1);
    EXPECT_NE(s.textId, 0) << c.type;
    EXPECT_EQ(s.unit, c.type == BLK_TYPE_AINP1 ? 2 : 1);
    EXPECT_EQ(s.coldJunction, c.type == BLK_TYPE_AINP1 ? 2 : 1);
    EXPECT_EQ(s.refTemp, c.type == BLK_TYPE_AINP1 ? 234 : 0);
    EXPECT_EQ(s.refValid, c.type == BLK_TYPE_AINP1 || c.type == BLK_TYPE_TPS_IN ? 1 : 0);
    g_fwSys.shadow[FW_SH_BYTE44] = 0;
  }
}

TEST(AnalogInputs, AReconfigurationRequestSetsTheValidBytesAgain) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_AINP1, 61);
  fx.initFitted(61);
  FwIoChannel& ch = IoFixture::channel(61);
  ch.sub[0].configValid = ch.sub[0].refValid = 0;
  ch.reconfigure = 1;
  fx.run(61);
  EXPECT_EQ(ch.reconfigure, 0);
  EXPECT_EQ(ch.sub[0].configValid, 1);
  EXPECT_EQ(ch.sub[0].refValid, 1);
}

// --- parameters -----------------------------------------------------------------------------

TEST(AnalogInputs, TypIsTakenOnlyFromTheTypesSet) {
  struct Case {
    uint16_t type, block, typ;
    uint8_t result;
  } cases[] = {
      {BLK_TYPE_AINP1, 61, AIN_TYPE_D, 'l'},  {BLK_TYPE_AINP1, 61, AIN_POT_TRANS, 0},
      {BLK_TYPE_AINP1, 61, 47, 'l'},          {BLK_TYPE_AINP1, 61, 0xFFFF, 'l'},
      {BLK_TYPE_AINP3, 63, AIN_V_0_10, 'l'},  {BLK_TYPE_AINP3, 63, AIN_MV_LINEAR, 0},
      {BLK_TYPE_TPS_IN, 67, AIN_TYPE_D, 0},   {BLK_TYPE_TPS_IN, 67, AIN_PT100_850, 'l'},
      {BLK_TYPE_AINP6, 66, AIN_POT_TRANS, 0}, {BLK_TYPE_AINP4, 64, AIN_V_0_10, 'l'},
  };
  for (const Case& c : cases) {
    IoFixture fx;
    fx.createAt(c.type, c.block);
    EXPECT_EQ(ioParam(FB_WordRequest(c.block, 3000, c.typ)), c.result) << c.type << " " << c.typ;
    // Only the pending copy changes.
    EXPECT_EQ(fx.wordValue(c.block, 1), c.type == BLK_TYPE_TPS_IN ? AIN_TYPE_K : AIN_MA_0_20);
  }
}

TEST(AnalogInputs, TypStepsThroughTheSetAndStaysAtItsEnds) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_AINP3, 63);
  const FwShortLimit& r = FB_GetType(BLK_TYPE_AINP3)->limits->wordValues[AIN_WV_TYP];
  EXPECT_EQ(r.min, FW_LIMIT_DISCRETE);
  EXPECT_EQ(r.maxFn(63, 31 + 1), 50);   // next after 31
  EXPECT_EQ(r.maxFn(63, 50 + 1), 50);   // stays at the last
  EXPECT_EQ(r.minFn(63, 50), 31);       // previous of 50
  EXPECT_EQ(r.minFn(63, 30), 30);       // stays at the first
}

TEST(AnalogInputs, AllValuesAreCheckedTypFirstThenWordsThenFloats) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_AINP1, 61);
  struct Case {
    std::vector<uint16_t> words;
    std::vector<float> floats;
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {{10, 1, 0, 1, 1}, {0, 100, 0, 0.5f, 0}, 'l', 1},
      {{30, 4, 0, 1, 1}, {0, 100, 0, 0.5f, 0}, 'l', 2},
      {{30, 1, 0, 1, 1}, {0, 100, 0, -1, 0}, 'l', 9},
      {{30, 1, 0, 1, 1}, {0, 100, 0, 0.5f, 141}, 'l', 10},
      {{40, 2, 1, 2, 2}, {1, 2, 3, 4, 5}, 0, 0},
  };
  for (const Case& c : cases) {
    uint16_t bad = 99;
    EXPECT_EQ(ioParam(FB_SetRequest(61, 4010, c.words, c.floats), &bad), c.result);
    EXPECT_EQ(bad, c.bad);
  }
  EXPECT_EQ(fx.wordValue(61, 1, true), 40);
  EXPECT_EQ(fx.wordValue(61, 1), AIN_MA_0_20);  // takes effect at the next Init
  fx.init(61);
  EXPECT_EQ(fx.wordValue(61, 1), 40);
  EXPECT_FLOAT_EQ(fx.longValue(61, AIN_LV_TKREF), 5.0f);
}

TEST(AnalogInputs, AFloatWrittenWhileRunningTakesEffectInTheNextRun) {
  SaveHook queued(0);
  IoFixture fx;
  fx.createAt(BLK_TYPE_AINP1, 61);
  fx.setWord(61, AIN_WV_XCORR, 1);
  fx.setLong(61, AIN_LV_TFM, 0);
  fx.initFitted(61);
  g_fwRunMode = FW_RUN_MODE_RUN;
  EXPECT_EQ(ioParam(FB_FloatRequest(61, 1003, 200.0f)), 0);  // x2 out
  EXPECT_EQ(g_fbPending.floats[61], 1);
  EXPECT_FLOAT_EQ(fx.floatParam(61, 4), 100.0f);
  fx.reading(61, 50);
  fx.run(61);
  EXPECT_EQ(g_fbPending.floats[61], 0);
  EXPECT_FLOAT_EQ(fx.floatParam(61, 4), 200.0f);
  fx.reading(61, 50);
  fx.run(61);
  EXPECT_FLOAT_EQ(fx.analogOut(61, 1), 100.0f);
  // The same value again: 0 and no flag.
  EXPECT_EQ(ioParam(FB_FloatRequest(61, 1003, 200.0f)), 0);
  EXPECT_EQ(g_fbPending.floats[61], 0);
  EXPECT_EQ(ioParam(FB_FloatRequest(61, 1003, 1e7f)), 'l');
  EXPECT_EQ(ioParam(FB_FloatRequest(61, 1004, 1.0f)), 'i');
  // A full write ring keeps the flag and the next run tries again.
  {
    SaveHook full(1);
    EXPECT_EQ(ioParam(FB_FloatRequest(61, 1003, 300.0f)), 0);
    fx.run(61);
    EXPECT_EQ(g_fbPending.floats[61], 1);
  }
  fx.run(61);
  EXPECT_EQ(g_fbPending.floats[61], 0);
}

TEST(AnalogInputs, AFloatWrittenWhileStoppedAppliesAtOnceWithItsFactors) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_AINP1, 61);
  fx.setWord(61, AIN_WV_XCORR, 1);
  fx.setLong(61, AIN_LV_TFM, 0);
  fx.initFitted(61);
  const std::vector<float> set = {0, 0, 100, 50};
  EXPECT_EQ(ioParam(FB_SetRequest(61, 4000, {}, set)), 0);
  fx.reading(61, 50);
  fx.run(61);
  EXPECT_FLOAT_EQ(fx.analogOut(61, 1), 25.0f);
}

// --- calibration ------------------------------------------------------------------------------

TEST(AnalogInputs, CalibrationCommandsTakeTheReading) {
  SaveHook queued(0);
  IoFixture fx;
  fx.createAt(BLK_TYPE_AINP1, 61);
  fx.setWord(61, AIN_WV_TYP, AIN_POT_TRANS);
  fx.initFitted(61);
  BlkCalPage* page = BLK_CalPageOf(61);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(g_fbStore.list[61].pageData, page);
  EXPECT_EQ(page->hide, 0);
  EXPECT_EQ(page->type, BLK_TYPE_AINP1);
  EXPECT_EQ(std::memcmp(page->title, "AINP1", 5), 0);
  EXPECT_EQ(ioParam(FB_WordRequest(61, 500, 2)), 'l');
  EXPECT_EQ(ioParam(FB_WordRequest(61, 500, 1)), 0);
  FbParamRequest read(61, -500);
  EXPECT_EQ(ioParam(read), 0);
  fx.reading(61, 12.5f);  // engineering units: taken as it is
  fx.run(61);
  EXPECT_FLOAT_EQ(fx.longValue(61, AIN_LV_X0), 12.5f);
  EXPECT_FLOAT_EQ(fx.longValue(61, AIN_LV_X0, true), 12.5f);
  EXPECT_EQ(page->state, BLK_CAL_STATE_START_DONE);
  EXPECT_FLOAT_EQ(page->field[BLK_CAL_X0].value, 12.5f);
  // The end through the page; a full ring restores the old value.
  {
    SaveHook full(1);
    page->state = BLK_CAL_STATE_END;
    page->startRequest = 1;
    fx.reading(61, 90);
    fx.run(61);
    EXPECT_FLOAT_EQ(fx.longValue(61, AIN_LV_X100), 100.0f);
    EXPECT_EQ(page->startRequest, 0);
  }
  EXPECT_EQ(ioParam(FB_WordRequest(61, 501, 1)), 0);
  fx.reading(61, 90);
  fx.run(61);
  EXPECT_FLOAT_EQ(fx.longValue(61, AIN_LV_X100), 90.0f);
  EXPECT_EQ(page->state, BLK_CAL_STATE_END_DONE);
  // The page's callbacks.
  EXPECT_EQ(BLK_CalCallback(page->callback[0])(61, BLK_CAL_Y), 2);
  EXPECT_EQ(BLK_CalCallback(page->callback[0])(61, BLK_CAL_X0), 0);
  EXPECT_EQ(BLK_CalCallback(page->callback[1])(61, BLK_CAL_X100), 2);
  EXPECT_EQ(BLK_CalCallback(page->callback[1])(61, BLK_CAL_READING), 3);
  EXPECT_EQ(BLK_CalCallback(7), nullptr);
  // Types without a page take no commands.
  fx.createAt(BLK_TYPE_AINP3, 63);
  EXPECT_EQ(ioParam(FB_WordRequest(63, 500, 1)), 'i');
}

TEST(AnalogInputs, PageRequestsReachTheOutputsAndThePageSeesTheInputs) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_UNI_IN, 65);
  fx.setWord(65, AIN_WV_TYP, AIN_POT_TRANS);
  fx.setDigitalInput(65, 2, 1);  // hide
  fx.setAnalogInput(65, 1, 42.0f);
  fx.initFitted(65);
  BlkCalPage* page = BLK_CalPageOf(65);
  page->autoManual = 1;
  page->incRequest = 1;
  fx.reading(65, 10);
  fx.run(65);
  EXPECT_EQ(fx.digitalOut(65, 3), 1);  // a/m
  EXPECT_EQ(fx.digitalOut(65, 4), 1);  // inc
  EXPECT_EQ(page->incRequest, 0);
  EXPECT_EQ(page->hide, 1);
  EXPECT_EQ(page->updated, 1);
  EXPECT_FLOAT_EQ(page->field[BLK_CAL_Y].value, 42.0f);
  EXPECT_FLOAT_EQ(page->field[BLK_CAL_READING].value, 10.0f);
  // Another code: the page is hidden.
  fx.setWord(65, AIN_WV_TYP, AIN_MA_0_20);
  fx.init(65);
  EXPECT_EQ(page->hide, 1);
}

TEST(AnalogInputs, TheOffsetCalibrationStoresTheSameValueInBothCopies) {
  SaveHook queued(0);
  IoFixture fx;
  fx.createAt(BLK_TYPE_AINP1, 61);
  fx.setWord(61, AIN_WV_TYP, AIN_2PT100_85);
  fx.setWord(61, AIN_WV_UNIT, 2);
  fx.setLong(61, AIN_LV_TFM, 0);
  fx.initFitted(61);
  BlkCalPage* page = BLK_CalPageOf(61);
  EXPECT_EQ(page->offsetMode, 1);
  page->state = BLK_CAL_STATE_OFFSET;
  page->startRequest = 1;
  fx.reading(61, 212);  // 100 degrees C read in F
  fx.run(61);
  EXPECT_FLOAT_EQ(fx.longValue(61, AIN_LV_X0), 100.0f);
  EXPECT_FLOAT_EQ(fx.longValue(61, AIN_LV_X0, true), 100.0f);
  EXPECT_EQ(page->state, BLK_CAL_STATE_OFFSET_DONE);
  // The offset is added to the reading: f + x0 x 1.8 + 32 in F.
  fx.reading(61, 10);
  fx.run(61);
  EXPECT_FLOAT_EQ(fx.analogOut(61, 1), 10.0f + 100.0f * 1.8f + 32.0f);
}

// --- the hardware side ----------------------------------------------------------------------

struct HostIo : IoFixture {
  HostIo() {
    SimState() = SimHostState{};
    SimState().device.modules[3] = FW_CLASS_UNI_INPUT;          // A4
    SimState().device.modules[12 + 3] = FW_CLASS_UNI_INPUT;     // P4 (block 81)
  }
};

TEST(HostIoCopy, AnInputOfTheImageReachesItsBlockAndItsFailureIsReported) {
  HostIo fx;
  fx.createAt(BLK_TYPE_AINP1, 61);
  fx.setLong(61, AIN_LV_TFM, 0);
  fx.init(61);
  SimAnalogInput& in = SimState().io.analogIn[FW_IoAnalogIndex(0, 3, 0)];
  in.value = 10.0f;
  in.electrical = 1;  // "#10": 10 mA
  FW_CopyHostIo();
  fx.run(61);
  EXPECT_FLOAT_EQ(fx.analogOut(61, 1), 50.0f);
  EXPECT_EQ(FW_LinkAnalogInputFailures(), 0);
  in.fFlag = 1;
  FW_CopyHostIo();
  fx.run(61);
  EXPECT_EQ(fx.digitalOut(61, kFail), 1);
  EXPECT_EQ(FW_LinkAnalogInputFailures(), FW_AIN_FAIL_AINP1);
  EXPECT_EQ(g_fwMain.inputReady, 1);
}

TEST(HostIoCopy, ClassesComeFromTheModulesAndTheDigitalCard) {
  HostIo fx;
  SimState().device.modules[0] = FW_CLASS_DI_2;
  SimState().device.modules[4] = FW_CLASS_UNI_INPUT;  // B1: the digital card overrides it
  SimState().device.modules[8] = FW_CLASS_TC_INPUT;   // C1 in the rack
  FW_CopyHostIo();
  EXPECT_EQ(g_fwIoBoards[0].channel[0].reportedClass, FW_CLASS_DI_2);
  EXPECT_EQ(g_fwIoBoards[0].channel[3].reportedClass, FW_CLASS_UNI_INPUT);
  EXPECT_EQ(g_fwIoBoards[1].channel[0].reportedClass, FW_CLASS_DI_4);
  EXPECT_EQ(g_fwIoBoards[1].channel[3].reportedClass, FW_CLASS_DO_4);
  EXPECT_EQ(g_fwIoBoards[2].channel[0].reportedClass, FW_CLASS_TC_INPUT);
  g_fwIoBoards[2].type = FW_BOARD_NONE;
  FW_CopyHostIo();
  EXPECT_EQ(g_fwIoBoards[2].channel[0].reportedClass, FW_CLASS_NONE);
  EXPECT_EQ(g_fwIoBoards[2].channel[0].din.valid, 0u);
}

TEST(HostIoCopy, OutputsGoBackOnlyWhenNewAndTheCardTestTakesPrecedence) {
  HostIo fx;
  FwIoOutput& out = g_fwIoBoards[3].channel[3].out;
  out.b = 12.0f;
  out.analogNew = 1;
  out.logic[0] = 1;
  out.logicNew = 1;
  FW_CopyHostIo();
  EXPECT_EQ(SimState().io.analogOut[31], 12.0f);
  EXPECT_EQ(SimState().io.digitalOut[60], 1);
  EXPECT_EQ(out.analogNew, 0);
  out.b = 5.0f;  // not flagged: the image keeps 12
  FW_CopyHostIo();
  EXPECT_EQ(SimState().io.analogOut[31], 12.0f);
  const uint16_t words[4] = {1 << 3, 1 << 3, 0, 0};
  const float percent[8] = {0, 0, 0, 0, 0, 0, 50, 100};
  FW_IoSetCardTest(3, words, percent);
  FW_CopyHostIo();
  EXPECT_EQ(SimState().io.analogOut[30], 10.0f);
  EXPECT_EQ(SimState().io.analogOut[31], 20.0f);
  EXPECT_EQ(SimState().io.digitalOut[60], 0);
}

// The plant's results arrive as the raw input of the channel that block 81 reads: a value
// written there between two cycles comes out of block 81 in the units of its input type.
TEST(HostIoCopy, ARawInputOfBlock81ComesOutInTheUnitsOfItsInputType) {
  const uint8_t uniCodes[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  20, 21,
                              25, 26, 30, 31, 32, 33, 34, 40, 45, 46};
  const uint8_t tpsCodes[] = {10, 27, 28, 29};
  struct Input {
    uint16_t type;
    std::span<const uint8_t> codes;
    uint8_t cls;
  } inputs[] = {{BLK_TYPE_AINP1, uniCodes, FW_CLASS_UNI_INPUT},
                {BLK_TYPE_TPS_IN, tpsCodes, FW_CLASS_TPS_INPUT}};
  for (const Input& input : inputs) {
    for (uint8_t code : input.codes) {
      SCOPED_TRACE(testing::Message() << input.type << " code " << int(code));
      HostIo fx;
      SimState().device.modules[15] = input.cls;
      fx.createAt(input.type, 81);
      fx.setWord(81, AIN_WV_TYP, code);
      fx.setLong(81, AIN_LV_TFM, 0);
      fx.init(81);
      FW_CopyHostIo();
      fx.run(81);
      SimState().io.analogIn[FW_IoAnalogIndex(3, 3, 0)].value = 43.5f;
      FW_CopyHostIo();
      fx.run(81);
      EXPECT_EQ(fx.digitalOut(81, input.type == BLK_TYPE_TPS_IN ? 2 : 1), 0);
      EXPECT_NEAR(fx.analogOut(81, 1), 43.5f, 1e-3f);
    }
  }
}

// The plant's process value reaches the main input (block 61) as the reading that the plant
// link computes for the block's type: for every type and unit of AINP1 and UNI_IN, with the
// block's range set to the controller's, the block gives back the plant's value, so that the
// controller's X is the plant's. The 2Pt100 offset types add x0 after their filter, which the
// reading must leave out.
TEST(HostIoCopy, ThePlantsProcessValueComesOutOfBlock61ForEveryInputType) {
  const uint8_t codes[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  20, 21,
                           25, 26, 30, 31, 32, 33, 34, 40, 45, 46};
  const uint16_t types[] = {BLK_TYPE_AINP1, BLK_TYPE_UNI_IN};
  for (uint16_t type : types) {
    for (uint8_t code : codes) {
      for (uint16_t unit : {uint16_t{1}, uint16_t{2}}) {
        for (float percent : {0.0f, 12.5f, 79.5f, 100.0f}) {
          SCOPED_TRACE(testing::Message() << "type " << type << " code " << int(code) << " unit " << unit
                                          << " at " << percent << " %");
          HostIo fx;
          fx.createAt(type, 61);
          fx.setWord(61, AIN_WV_TYP, code);
          fx.setWord(61, AIN_WV_UNIT, unit);
          // The range within what the sensor measures (the 250 degree and 250 ohm types end
          // below 400).
          const float x0 = 10.0f, x100 = code == 21 || code == 26 || code == 46 ? 240.0f : 400.0f;
          fx.setLong(61, AIN_LV_X0, x0);
          fx.setLong(61, AIN_LV_X100, x100);
          fx.setLong(61, AIN_LV_TFM, 0);
          fx.init(61);
          const FwInputReading reading = FW_InputReading();
          ASSERT_NE(reading, nullptr);
          float value = 0.0f;
          bool electrical = false;
          ASSERT_TRUE(reading(61, percent, &value, &electrical));
          SimAnalogInput& in = SimState().io.analogIn[FW_IoAnalogIndex(0, 3, 0)];
          in.value = value;
          in.electrical = electrical ? 1 : 0;
          for (int cycle = 0; cycle < 3; ++cycle) {
            FW_CopyHostIo();
            fx.run(61);
          }
          EXPECT_EQ(fx.digitalOut(61, kFail), 0);
          // The transmitter's x0 and x100 are its calibrated ends: its range is 0..100 %.
          const float expected = code == 40 ? percent : x0 + percent * (x100 - x0) / 100.0f;
          EXPECT_NEAR(fx.analogOut(61, 1), expected, 2e-3f);
        }
      }
    }
  }
}

// --- system data of the cards ----------------------------------------------------------------

uint8_t sysData(FbParamRequest& r, uint16_t* bad = nullptr) {
  uint16_t b = 0;
  const uint8_t result = FW_WriteSystemData(&r, &b);
  if (bad) *bad = b;
  return result;
}

TEST(CardSystemData, ModuleDataAndChannelValues) {
  IoFixture fx;
  g_fwIoBoards[1].type = FW_BOARD_NONE;
  g_fwIoBoards[0].channel[3].reportedClass = FW_CLASS_UNI_INPUT;
  g_fwIoBoards[0].channel[3].sub[0].raw = 12.5f;
  g_fwIoBoards[0].channel[3].din.bits[1] = 1;
  FbParamRequest r(0, -4110);
  ASSERT_EQ(sysData(r), 0);
  EXPECT_EQ(r.u8(4), FW_IO_MODULE_WORDS + 1);
  EXPECT_EQ(r.u16(8), 4);                       // nothing claimed: unused
  EXPECT_EQ(r.u16(10), FW_BOARD_BASE);
  EXPECT_EQ(r.u16(12), FW_IO_ABSENT);           // channel 0: no module
  EXPECT_EQ(r.u16(12 + 30), FW_CLASS_UNI_INPUT);  // channel 3
  EXPECT_EQ(r.u16(12 + 30 + 6), 125);           // reading a in tenths
  FbParamRequest absent(0, -4111);
  ASSERT_EQ(sysData(absent), 0);
  for (uint32_t i = 0; i < FW_IO_MODULE_WORDS; ++i) EXPECT_EQ(absent.u16(8 + 2 * i), FW_IO_ABSENT);
  FbParamRequest values(0, -4130);
  ASSERT_EQ(sysData(values), 0);
  EXPECT_EQ(values.u8(4), 28 + 1);
  const uint8_t* ch3 = values.bytes + 8 + 3 * 14;
  EXPECT_EQ(values.f32(8 + 3 * 14), 12.5f);
  EXPECT_EQ(ch3[11], FW_CLASS_UNI_INPUT);
  EXPECT_EQ(ch3[12], 0x02);
}

TEST(CardSystemData, ChannelConfigurationAndOutputTestAreCheckedFirst) {
  IoFixture fx;
  const std::vector<uint16_t> config = {20, 1, 1, 2, 46, 2, 0, 1};
  const std::vector<float> refs = {25.0f, 0.5f};
  FbParamRequest r = FB_SetRequest(0, 4122, config, refs);
  r.setU16(6, 2);
  ASSERT_EQ(sysData(r), 0);
  const FwIoChannel& ch = g_fwIoBoards[2].channel[1];
  EXPECT_EQ(ch.sub[0].sensorCode, 20);
  EXPECT_EQ(ch.sub[0].coldJunction, 2);
  EXPECT_EQ(ch.sub[1].sensorCode, 46);
  EXPECT_EQ(ch.sub[0].refTemp, 250);
  EXPECT_EQ(ch.sub[1].refTemp, 5);
  EXPECT_EQ(ch.sub[1].configValid, 1);
  struct Case {
    int16_t id;
    uint16_t index;
    std::vector<uint16_t> words;
    std::vector<float> floats;
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {4120, 0, config, refs, 'k', 0},
      {4120, 5, config, refs, 'k', 0},
      {4120, 1, {20, 3, 1, 2, 46, 2, 0, 1}, refs, 'l', 2},
      {4120, 1, config, {25.0f, 141.0f}, 'l', 10},
      {4120, 1, {1, 2, 3}, refs, 'y', 0},
      {4140, 0, {1, 16, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, 'l', 2},
      {4140, 0, {1, 1, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 111}, 'l', 12},
      {4143, 0, {15, 0, 0, 0}, {-10, 110, 0, 0, 0, 0, 0, 0}, 0, 0},
  };
  for (const Case& c : cases) {
    FbParamRequest q = FB_SetRequest(0, c.id, c.words, c.floats);
    q.setU16(6, c.index);
    uint16_t bad = 99;
    EXPECT_EQ(sysData(q, &bad), c.result) << c.id;
    EXPECT_EQ(bad, c.bad) << c.id;
  }
  EXPECT_EQ(g_fwIoBoards[3].test.analogMask, 15);
  EXPECT_EQ(g_fwIoBoards[0].test.logicMask, 0);  // the refused test changed nothing
}

}  // namespace
