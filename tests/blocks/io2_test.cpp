// Two-channel input card blocks (TC_IN, R_IN, U_IN, F_INP), two-channel output card blocks
// (I_OUT, U_OUT, PWM_OUT) and the digital points (DIDO), at their fixed block numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <utility>
#include <vector>

#include "blocks/io/io.h"
#include "runtime/fb_param.h"
#include "runtime/fw_sysdata.h"
#include "support/io_fixture.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Outputs of TC_IN and U_IN: id_err, fail_a, fail_b; of R_IN: id_err, fail_a, a/m_a, inc_a,
// dec_a, fail_b, ... (1-based as the fixture counts them).
constexpr uint16_t kIdErr = 1;
constexpr uint16_t kTcFailA = 2, kTcFailB = 3;
constexpr uint16_t kRFailA = 2, kRFailB = 6;

// Word and 4-byte values per sub-channel.
constexpr uint16_t kTcWords = 5, kTcLongs = 5, kRWords = 4, kRLongs = 6, kUWords = 3, kULongs = 4;

// Sets word value k of sub-channel s (block of `perSub` words per sub-channel).
void setSubWord(IoFixture& fx, uint16_t block, uint16_t perSub, unsigned s, uint16_t k, uint16_t v) {
  fx.setWord(block, static_cast<uint16_t>(s * perSub + k), v);
}
void setSubLong(IoFixture& fx, uint16_t block, uint16_t perSub, unsigned s, uint16_t k, float v) {
  fx.setLong(block, static_cast<uint16_t>(s * perSub + k), v);
}

// A two-channel input with both sub-channels on one code, unfiltered, failure disabled.
void setupBoth(IoFixture& fx, uint16_t type, uint16_t block, uint16_t code) {
  const uint16_t words = type == BLK_TYPE_TC_IN ? kTcWords : type == BLK_TYPE_R_IN ? kRWords : kUWords;
  const uint16_t longs = type == BLK_TYPE_TC_IN ? kTcLongs : type == BLK_TYPE_R_IN ? kRLongs : kULongs;
  fx.createAt(type, block);
  for (unsigned s = 0; s < 2; ++s) {
    setSubWord(fx, block, words, s, AIN_WV_TYP, code);
    setSubWord(fx, block, words, s, AIN_WV_FAIL, AIN_FAIL_DISABLED);
    setSubLong(fx, block, longs, s, AIN_LV_TFM, 0.0f);
  }
}

// One reading of one sub-channel, with both sub-channels on `code` and x0..x100.
struct ConversionCase {
  const char* what;
  uint16_t code;
  bool electrical;
  float x0, x100, raw;
  unsigned sub;
  float out;
  bool fails;
};

// Runs the cases on a TC_IN or U_IN (outputs id_err, fail_a, fail_b).
void expectConversions(uint16_t type, uint16_t block, std::span<const ConversionCase> cases) {
  const uint16_t longs = type == BLK_TYPE_TC_IN ? kTcLongs : kULongs;
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(c.what);
    IoFixture fx;
    setupBoth(fx, type, block, c.code);
    for (unsigned s = 0; s < 2; ++s) {
      setSubLong(fx, block, longs, s, AIN_LV_X0, c.x0);
      setSubLong(fx, block, longs, s, AIN_LV_X100, c.x100);
    }
    fx.initFitted(block);
    IoFixture::reading(block, c.raw, c.electrical, c.sub);
    fx.run(block);
    EXPECT_EQ(fx.digitalOut(block, c.sub == 0 ? kTcFailA : kTcFailB), c.fails ? 1 : 0);
    EXPECT_NEAR(fx.analogOut(block, static_cast<uint16_t>(c.sub + 1)), c.fails ? 0.0f : c.out,
                1e-4f);
  }
}

// --- TC_IN ----------------------------------------------------------------------------------

TEST(TwoChannelInputs, TcInMillivoltsAreRangeCheckedOnSubChannelAOnly) {
  IoFixture fx;
  setupBoth(fx, BLK_TYPE_TC_IN, 67, AIN_MV100);
  fx.initFitted(67);
  IoFixture::reading(67, 120, true, 0);
  IoFixture::reading(67, 120, true, 1);
  fx.run(67);
  EXPECT_EQ(fx.digitalOut(67, kIdErr), 0);
  EXPECT_EQ(fx.digitalOut(67, kTcFailA), 1);
  EXPECT_EQ(fx.digitalOut(67, kTcFailB), 0);
  EXPECT_FLOAT_EQ(fx.analogOut(67, 1), 0.0f);  // Disabled: failure value 0
  EXPECT_FLOAT_EQ(fx.analogOut(67, 2), 120.0f);
}

TEST(TwoChannelInputs, TcInConvertsEachSubChannelByItsCode) {
  const ConversionCase cases[] = {
      {"0..30 mV on a", AIN_MV30, true, 0, 100, 15, 0, 50, false},
      {"0..300 mV on b", AIN_MV300, true, 0, 100, 100, 1, 30, false},
      {"0..300 mV beyond 110 % on b: no check", AIN_MV300, true, 0, 100, 1000, 1, 300, false},
      {"0..300 mV beyond 110 % on a", AIN_MV300, true, 0, 100, 1000, 0, 0, true},
      {"4..20 mA on b", AIN_MA_4_20, true, 0, 200, 12, 1, 100, false},
      {"4..20 mA at 2 mA on b", AIN_MA_4_20, true, 0, 100, 2, 1, 0, true},
      {"engineering units", AIN_MA_0_20, false, 0, 200, 150, 1, 150, false},
      {"equal x0 and x100: reading unchanged", AIN_MV100, false, 50, 50, 30, 0, 30, false},
      {"equal x0 and x100 on b", AIN_MA_0_20, false, 50, 50, 30, 1, 30, false},
      {"Type K in range", AIN_TYPE_K, false, 0, 100, 1485, 1, 1485, false},
      {"Type K above 1.1 x max", AIN_TYPE_K, false, 0, 100, 1486, 1, 0, true},
      {"Type S below min - 30", 4, false, 0, 100, -81, 0, 0, true},
  };
  expectConversions(BLK_TYPE_TC_IN, 71, cases);
}

TEST(TwoChannelInputs, TcInChannelChecksFailBothSubChannels) {
  struct Case {
    const char* what;
    uint16_t codeA;
    uint8_t reported, status;
    uint16_t expected;
    bool fails;
  } cases[] = {
      {"Type K on a TC input", AIN_TYPE_K, FW_CLASS_TC_INPUT, 0, FW_IoClassPair(2, 1), false},
      {"Type K on a uni-input", AIN_TYPE_K, FW_CLASS_UNI_INPUT, 0, FW_IoClassPair(2, 1), false},
      {"4..20 mA on a uni-input", AIN_MA_4_20, FW_CLASS_UNI_INPUT, 0, FW_IoClassPair(2, 1), false},
      {"Type D needs a TC input", AIN_TYPE_D, FW_CLASS_UNI_INPUT, 0, 2, true},
      {"0..100 mV needs a TC input", AIN_MV100, FW_CLASS_UNI_INPUT, 0, 2, true},
      {"a U input matches neither byte", AIN_TYPE_K, FW_CLASS_U_INPUT, 0, FW_IoClassPair(2, 1), true},
      {"no module", AIN_TYPE_K, FW_CLASS_NONE, 0, FW_IoClassPair(2, 1), true},
      {"a status bit", AIN_MV100, FW_CLASS_TC_INPUT, FW_IO_STATUS_CJC, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IoFixture fx;
    fx.createAt(BLK_TYPE_TC_IN, 72);
    setSubWord(fx, 72, kTcWords, 0, AIN_WV_TYP, c.codeA);
    setSubWord(fx, 72, kTcWords, 1, AIN_WV_FAIL, AIN_FAIL_SUBST);
    setSubLong(fx, 72, kTcLongs, 1, AIN_LV_XFAIL, 7.0f);
    fx.init(72);
    EXPECT_EQ(IoFixture::channel(72).expectedClass, c.expected);
    IoFixture::channel(72).reportedClass = c.reported;
    g_fwIoBoards[1].status[1] = c.status;
    IoFixture::reading(72, 20, false, 0);
    IoFixture::reading(72, 20, false, 1);
    fx.run(72);
    EXPECT_EQ(fx.digitalOut(72, kIdErr), c.fails ? 1 : 0);
    EXPECT_EQ(fx.digitalOut(72, kTcFailA), c.fails ? 1 : 0);
    EXPECT_EQ(fx.digitalOut(72, kTcFailB), c.fails ? 1 : 0);
    if (c.fails) {
      // Upscale of a's code (Type D 2300, Type K 1350, 0..100 mV its x100), b's substitute.
      const float upA = c.codeA == AIN_TYPE_D ? 2300.0f : c.codeA == AIN_TYPE_K ? 1350.0f : 100.0f;
      EXPECT_FLOAT_EQ(fx.analogOut(72, 1), upA);
      EXPECT_FLOAT_EQ(fx.analogOut(72, 2), 7.0f);
      EXPECT_EQ(g_fbInputFailWord & 32, 32);
    }
  }
}

TEST(TwoChannelInputs, TcInConfiguresBothSubChannels) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_TC_IN, 68);
  setSubWord(fx, 68, kTcWords, 0, AIN_WV_TYP, AIN_MV30);
  setSubWord(fx, 68, kTcWords, 1, AIN_WV_TYP, AIN_TYPE_J);
  setSubWord(fx, 68, kTcWords, 1, AIN_WV_UNIT, 2);
  setSubWord(fx, 68, kTcWords, 1, AIN_WV_STK, 2);
  setSubLong(fx, 68, kTcLongs, 1, AIN_LV_TKREF, 21.5f);
  fx.init(68);
  const FwIoChannel& ch = IoFixture::channel(68);
  EXPECT_EQ(ch.sub[0].sensorCode, 13);  // 27 is sent as 13
  EXPECT_EQ(ch.sub[1].sensorCode, AIN_TYPE_J);
  EXPECT_EQ(ch.sub[1].unit, 2);
  EXPECT_EQ(ch.sub[1].coldJunction, 2);
  EXPECT_EQ(ch.sub[1].refTemp, 215);
  EXPECT_EQ(ch.sub[1].refValid, 1);
  EXPECT_NE(ch.sub[0].textId, ch.sub[1].textId);
  EXPECT_NE(ch.sub[1].textId, 0);
  for (const FwIoSubChannel& s : ch.sub) EXPECT_EQ(s.configValid, 1);
  EXPECT_EQ(ch.inputInUse, 1u);
  EXPECT_EQ(g_fwIoBoards[2].inUse, 1u);
  // A reconfiguration request sets both configuration-valid bytes again.
  IoFixture::channel(68).reportedClass = FW_CLASS_TC_INPUT;
  IoFixture::channel(68).sub[0].configValid = IoFixture::channel(68).sub[1].configValid = 0;
  IoFixture::channel(68).reconfigure = 1;
  fx.run(68);
  EXPECT_EQ(ch.reconfigure, 0);
  for (const FwIoSubChannel& s : ch.sub) EXPECT_EQ(s.configValid, 1);
}

TEST(TwoChannelInputs, TcInCorrectsAndFiltersEachSubChannelWithItsOwnValues) {
  IoFixture fx;
  setupBoth(fx, BLK_TYPE_TC_IN, 73, AIN_TYPE_K);
  setSubWord(fx, 73, kTcWords, 1, AIN_WV_XCORR, 1);
  setSubLong(fx, 73, kTcLongs, 0, AIN_LV_TFM, 0.9f);  // a: c = 0.1
  fx.initFitted(73);
  // b's correction points: x1 0 -> 10, x2 100 -> 210 (s = 2, o = 10).
  const std::vector<float> points = {0, 0, 100, 100, 0, 10, 100, 210};
  EXPECT_EQ(ioParam(FB_SetRequest(73, 4000, {}, points)), 0);
  IoFixture::reading(73, 100, false, 0);
  IoFixture::reading(73, 100, false, 1);
  fx.run(73);  // a: filtered against the last value, 0 in a new block: 10
  IoFixture::reading(73, 200, false, 0);
  IoFixture::reading(73, 200, false, 1);
  fx.run(73);
  EXPECT_FLOAT_EQ(fx.analogOut(73, 1), 29.0f);
  EXPECT_FLOAT_EQ(fx.analogOut(73, 2), 410.0f);
  // Cold-junction fault: both thermocouples fail (the status byte fails the channel).
  g_fwIoBoards[1].status[2] = FW_IO_STATUS_CJC;
  fx.run(73);
  EXPECT_EQ(fx.digitalOut(73, kTcFailA), 1);
  EXPECT_EQ(fx.digitalOut(73, kTcFailB), 1);
}

TEST(TwoChannelInputs, TcInTypesOutsideTheSetAreRefused) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_TC_IN, 65);
  struct Case {
    int16_t id;
    uint16_t value;
    uint8_t result;
  } cases[] = {{3000, 11, 'l'}, {3000, 27, 0}, {3005, 26, 'l'}, {3005, 31, 0},
               {3005, 32, 'l'}, {3001, 4, 'l'}, {3003, 0, 'l'}, {3009, 2, 0}, {3010, 0, 'i'}};
  for (const auto& c : cases) {
    EXPECT_EQ(ioParam(FB_WordRequest(65, c.id, c.value)), c.result) << c.id << " " << c.value;
  }
  EXPECT_EQ(fx.wordValue(65, 1, true), 27);   // pending Type_a
  EXPECT_EQ(fx.wordValue(65, 1), AIN_TYPE_K);  // in force until the next start-up pass
  EXPECT_EQ(ioParam(FB_FloatRequest(65, 3054, 141.0f)), 'l');  // Tkrefa
  EXPECT_EQ(ioParam(FB_FloatRequest(65, 1007, 1e7f)), 'l');
  // The whole set of values: word values first, then the 4-byte values.
  std::vector<uint16_t> words(10, 1);
  words[0] = words[5] = AIN_TYPE_K;
  std::vector<float> longs(10, 0.5f);
  uint16_t bad = 0;
  words[5] = 12;
  EXPECT_EQ(ioParam(FB_SetRequest(65, 4010, words, longs), &bad), 'l');
  EXPECT_EQ(bad, 6);
  words[5] = AIN_MA_4_20;
  longs[9] = 150.0f;  // Tkrefb
  EXPECT_EQ(ioParam(FB_SetRequest(65, 4010, words, longs), &bad), 'l');
  EXPECT_EQ(bad, 20);
  longs[9] = 20.0f;
  EXPECT_EQ(ioParam(FB_SetRequest(65, 4010, words, longs), &bad), 0);
  EXPECT_EQ(fx.wordValue(65, 6, true), AIN_MA_4_20);
  // Stepping through the set.
  const FwShortLimit& type = FB_GetType(BLK_TYPE_TC_IN)->limits->wordValues[0];
  EXPECT_EQ(type.maxFn(65, 11), 27);
  EXPECT_EQ(type.maxFn(65, 40), 31);
  EXPECT_EQ(type.minFn(65, 27), 10);
  EXPECT_EQ(type.minFn(65, 0), 0);
}

TEST(TwoChannelInputs, AFloatWrittenWhileRunningAppliesAtTheNextRun) {
  SaveHook queued(0);
  IoFixture fx;
  setupBoth(fx, BLK_TYPE_U_IN, 74, 0);
  fx.setWord(74, kUWords + AIN_WV_XCORR, 1);
  fx.initFitted(74);
  g_fwRunMode = FW_RUN_MODE_RUN;
  EXPECT_EQ(ioParam(FB_FloatRequest(74, 1007, 50.0f)), 0);  // x2bOut: b at half gain
  EXPECT_EQ(g_fbPending.floats[74], 1);
  EXPECT_FLOAT_EQ(fx.floatParam(74, 8), 100.0f);
  EXPECT_EQ(ioParam(FB_FloatRequest(74, 1007, 50.0f)), 0);  // the same again: nothing more
  IoFixture::reading(74, 8, true, 1);
  fx.run(74);  // measures with the old factors, then takes the change over
  EXPECT_FLOAT_EQ(fx.analogOut(74, 2), 80.0f);
  EXPECT_EQ(g_fbPending.floats[74], 0);
  IoFixture::reading(74, 8, true, 1);
  fx.run(74);
  EXPECT_FLOAT_EQ(fx.analogOut(74, 2), 40.0f);
}

// --- R_IN ----------------------------------------------------------------------------------

TEST(TwoChannelInputs, RInSendsItsCodesAndTakesResistanceReadingsAsTheyCome) {
  struct Case {
    uint16_t code;
    uint8_t hardware;
    float raw, out;
    bool fails;
  } cases[] = {{0, 20, 849, 849, false},   {1, 21, 111, 0, true},      {4, 27, -91, 0, true},
               {5, 28, -89, -89, false},   {RIN_R160, 46, 170, 170, false},
               {7, 45, 496, 0, true},      {9, 47, 4900, 4900, false}, {13, 42, 10, 10, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    IoFixture fx;
    setupBoth(fx, BLK_TYPE_R_IN, 70, c.code);
    fx.initFitted(70);
    EXPECT_EQ(IoFixture::channel(70).sub[0].sensorCode, c.hardware);
    EXPECT_EQ(IoFixture::channel(70).sub[1].sensorCode, c.hardware);
    IoFixture::reading(70, c.raw, false, 1);
    fx.run(70);
    EXPECT_EQ(fx.digitalOut(70, kRFailB), c.fails ? 1 : 0);
    EXPECT_FLOAT_EQ(fx.analogOut(70, 2), c.fails ? 0.0f : c.out);
  }
}

TEST(TwoChannelInputs, RInPotentiometersAreDividedBySubChannel) {
  struct Case {
    uint16_t code;
    unsigned sub;
    float raw, out;
    bool fails;
  } cases[] = {{RIN_POTI160, 0, 80, 50, false},   {RIN_POTI160, 1, 250, 50, false},
               {RIN_POTI450, 0, 225, 50, false},  {RIN_POTI450, 1, 250, 50, false},
               {12, 0, 800, 50, false},           {12, 1, 2500, 50, false},
               {RIN_POTI4500, 0, 2250, 50, false}, {RIN_POTI4500, 1, 2500, 50, false},
               {RIN_POTI160, 0, -1, 0, true},     {RIN_POTI160, 1, 881, 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.code << " sub " << c.sub << " raw " << c.raw);
    IoFixture fx;
    setupBoth(fx, BLK_TYPE_R_IN, 74, c.code);
    fx.initFitted(74);
    IoFixture::reading(74, c.raw, true, c.sub);
    fx.run(74);
    EXPECT_EQ(fx.digitalOut(74, c.sub == 0 ? kRFailA : kRFailB), c.fails ? 1 : 0);
    EXPECT_FLOAT_EQ(fx.analogOut(74, static_cast<uint16_t>(c.sub + 1)), c.fails ? 0.0f : c.out);
  }
}

TEST(TwoChannelInputs, RInFailureValuesByCode) {
  struct Case {
    uint16_t code, fail, unit;
    float expected;
  } cases[] = {{0, AIN_FAIL_UPSCALE, 1, 850},          {3, AIN_FAIL_DOWNSCALE, 1, -200},
               {4, AIN_FAIL_UPSCALE, 2, 180 * 1.8f + 32}, {RIN_R160, AIN_FAIL_UPSCALE, 1, 80},
               {RIN_POTI450, AIN_FAIL_DOWNSCALE, 1, 20}, {8, AIN_FAIL_SUBST, 1, -5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    IoFixture fx;
    fx.createAt(BLK_TYPE_R_IN, 69);
    setSubWord(fx, 69, kRWords, 1, AIN_WV_TYP, c.code);
    setSubWord(fx, 69, kRWords, 1, AIN_WV_FAIL, c.fail);
    setSubWord(fx, 69, kRWords, 1, AIN_WV_UNIT, c.unit);
    setSubLong(fx, 69, kRLongs, 1, AIN_LV_X0, 20);
    setSubLong(fx, 69, kRLongs, 1, AIN_LV_X100, 80);
    setSubLong(fx, 69, kRLongs, 1, AIN_LV_XFAIL, -5);
    fx.initFitted(69);
    IoFixture::channel(69).sub[1].fault = 1;
    fx.run(69);
    EXPECT_EQ(fx.digitalOut(69, kRFailB), 1);
    EXPECT_FLOAT_EQ(fx.analogOut(69, 2), c.expected);
  }
}

TEST(TwoChannelInputs, RInModeIsRefusedWhileAPotentiometerIsStored) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_R_IN, 67);
  const int16_t kMode = 3000 + RIN_WV_MODE;
  EXPECT_EQ(ioParam(FB_WordRequest(67, 3000, RIN_POTI450)), 0);  // Type_a "Poti450"
  EXPECT_EQ(ioParam(FB_WordRequest(67, kMode, 1)), 'l');
  EXPECT_EQ(ioParam(FB_WordRequest(67, kMode, 0)), 0);
  EXPECT_EQ(fx.wordValue(67, RIN_WV_MODE + 1, true), 0);
  EXPECT_EQ(ioParam(FB_WordRequest(67, 3000, 9)), 0);
  EXPECT_EQ(ioParam(FB_WordRequest(67, kMode, 2)), 0);
  EXPECT_EQ(ioParam(FB_WordRequest(67, kMode, 3)), 'l');
  EXPECT_EQ(ioParam(FB_WordRequest(67, 3000, 14)), 'l');
  // In a whole set the codes of the same request count.
  std::vector<uint16_t> words = {0, 1, 0, 1, RIN_POTI4500, 1, 0, 1, 1};
  std::vector<float> longs = {0, 100, 0, 0.5f, 0, 100, 0, 100, 0, 0.5f, 0, 100};
  uint16_t bad = 0;
  EXPECT_EQ(ioParam(FB_SetRequest(67, 4010, words, longs), &bad), 'l');
  EXPECT_EQ(bad, 9);
  words[1] = 7;  // Fail_a out of its limits: reported first
  EXPECT_EQ(ioParam(FB_SetRequest(67, 4010, words, longs), &bad), 'l');
  EXPECT_EQ(bad, 2);
  words[1] = 1;
  words[4] = 3;
  EXPECT_EQ(ioParam(FB_SetRequest(67, 4010, words, longs), &bad), 0);
  EXPECT_EQ(fx.wordValue(67, RIN_WV_MODE + 1, true), 1);
}

TEST(TwoChannelInputs, RInModeSwitchesSubChannelBOff) {
  struct Case {
    uint16_t codeA, mode, expected;
  } cases[] = {{0, 1, FW_IoClassPair(12, 1)}, {7, 2, FW_IoClassPair(12, 1)},
               {2, 1, 12}, {0, 0, 12}};
  for (const auto& c : cases) {
    IoFixture fx;
    fx.createAt(BLK_TYPE_R_IN, 71);
    setSubWord(fx, 71, kRWords, 0, AIN_WV_TYP, c.codeA);
    fx.setWord(71, RIN_WV_MODE, c.mode);
    fx.init(71);
    const FwIoChannel& ch = IoFixture::channel(71);
    EXPECT_EQ(ch.expectedClass, c.expected) << c.codeA << " " << c.mode;
    EXPECT_EQ(ch.sub[1].configValid, c.mode == 0 ? 1 : 0);
    EXPECT_EQ(ch.sub[1].sensorCode, c.mode == 0 ? 20 : 0);
    IoFixture::channel(71).reportedClass = FW_CLASS_UNI_INPUT;
    IoFixture::reading(71, 50, false, 0);
    IoFixture::reading(71, 50, false, 1);
    fx.run(71);
    // On a uni-input only the pair is accepted; b measures only with Mode 0.
    const bool good = c.expected != 12;
    EXPECT_EQ(fx.digitalOut(71, kIdErr), good ? 0 : 1);
    EXPECT_EQ(fx.digitalOut(71, kRFailB), c.mode == 0 ? 1 : 0);
  }
}

TEST(TwoChannelInputs, RInCalibratesAPotentiometerThroughItsPage) {
  SaveHook queued(0);
  IoFixture fx;
  setupBoth(fx, BLK_TYPE_R_IN, 72, 0);
  setSubWord(fx, 72, kRWords, 1, AIN_WV_TYP, RIN_POTI450);
  fx.setAnalogInput(72, 2, 33.0f);  // Y_b
  fx.initFitted(72);
  BlkCalPage* page = BLK_CalPageOf(72);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(g_fbStore.list[72].pageData, page);
  EXPECT_EQ(page->hide, 0);
  EXPECT_EQ(page->type, BLK_TYPE_R_IN);
  EXPECT_EQ(page->channel, 1);  // a is no potentiometer
  EXPECT_EQ(std::memcmp(page->title, "R_IN", 4), 0);
  EXPECT_EQ(BLK_CalCallback(page->callback[1])(72, BLK_CAL_X0), 2);
  auto take = [&](uint16_t state, float raw) {
    page->state = state;
    page->startRequest = 1;
    IoFixture::reading(72, raw, true, 1);
    fx.run(72);
  };
  take(BLK_CAL_STATE_START, 50);  // 50 / 5 = 10
  EXPECT_FLOAT_EQ(fx.longValue(72, kRLongs + RIN_LV_KAL1), 10.0f);
  EXPECT_FLOAT_EQ(fx.longValue(72, kRLongs + RIN_LV_KAL1, true), 10.0f);
  EXPECT_EQ(page->state, BLK_CAL_STATE_START_DONE);
  take(BLK_CAL_STATE_END, 450);  // 90
  EXPECT_FLOAT_EQ(fx.longValue(72, kRLongs + RIN_LV_KAL2), 90.0f);
  EXPECT_FLOAT_EQ(page->field[BLK_CAL_X100].value, 90.0f);
  EXPECT_EQ(page->startRequest, 0);
  // The calibrated travel 10..90 is 0..100 % of x0..x100.
  IoFixture::reading(72, 250, true, 1);
  fx.run(72);
  EXPECT_FLOAT_EQ(fx.analogOut(72, 2), 50.0f);
  EXPECT_FLOAT_EQ(page->field[BLK_CAL_READING].value, 50.0f);
  EXPECT_FLOAT_EQ(page->field[BLK_CAL_Y].value, 33.0f);
  // The page's requests reach b's outputs a/m_b, inc_b.
  page->autoManual = 1;
  page->incRequest = 1;
  fx.run(72);
  EXPECT_EQ(fx.digitalOut(72, kRFailB + 1), 1);
  EXPECT_EQ(fx.digitalOut(72, kRFailB + 2), 1);
  EXPECT_EQ(fx.digitalOut(72, kRFailA + 1), 0);
  EXPECT_EQ(page->incRequest, 0);
  // A full write ring keeps the old value.
  {
    SaveHook full(1);
    take(BLK_CAL_STATE_START, 100);
    EXPECT_FLOAT_EQ(fx.longValue(72, kRLongs + RIN_LV_KAL1), 10.0f);
  }
  // With Mode non-zero the page is hidden.
  setSubWord(fx, 72, kRWords, 1, AIN_WV_TYP, 0);
  fx.setWord(72, RIN_WV_MODE, 1);
  fx.initFitted(72);
  EXPECT_EQ(page->hide, 1);
  fx.run(72);
  EXPECT_EQ(page->hide, 1);
}

// --- U_IN, F_INP -------------------------------------------------------------------------------

TEST(TwoChannelInputs, UInConvertsVoltages) {
  const ConversionCase cases[] = {
      {"1500 mV", 1, true, 0, 100, 750, 0, 50, false},
      {"1500 mV scaled on b", 1, true, 100, 300, 750, 1, 200, false},
      {"1500 mV above 110 %", 1, true, 0, 100, 1700, 1, 0, true},
      {"0..10 V", 0, true, 0, 100, 2.5f, 1, 25, false},
      {"0..10 V below -10 %", 0, true, 0, 100, -1.1f, 0, 0, true},
      {"engineering units", 0, false, 0, 200, 150, 0, 150, false},
      {"equal x0 and x100", 0, false, 40, 40, 30, 1, 30, false},
  };
  expectConversions(BLK_TYPE_U_IN, 66, cases);
  // The codes as the hardware takes them.
  for (uint16_t code : {0, 1}) {
    IoFixture fx;
    setupBoth(fx, BLK_TYPE_U_IN, 66, code);
    fx.init(66);
    EXPECT_EQ(IoFixture::channel(66).expectedClass, FW_CLASS_U_INPUT);
    EXPECT_EQ(IoFixture::channel(66).sub[1].sensorCode, code == 1 ? 34 : 32);
  }
}

TEST(TwoChannelInputs, UInFailsOnlyByTheFaultFlag) {
  IoFixture fx;
  setupBoth(fx, BLK_TYPE_U_IN, 65, 0);
  fx.initFitted(65);
  IoFixture::reading(65, 5, true, 0);
  IoFixture::reading(65, 5, true, 1);
  IoFixture::channel(65).sub[1].fault = 1;
  fx.run(65);
  EXPECT_EQ(fx.digitalOut(65, kTcFailA), 0);
  EXPECT_FLOAT_EQ(fx.analogOut(65, 1), 50.0f);
  EXPECT_EQ(fx.digitalOut(65, kTcFailB), 1);
  EXPECT_EQ(ioParam(FB_WordRequest(65, 3003, 2)), 'l');  // Type_b
  EXPECT_EQ(ioParam(FB_WordRequest(65, 3003, 1)), 0);
}

TEST(TwoChannelInputs, FInpClaimsAndChecksItsChannelOnly) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_F_INP, 73);
  EXPECT_EQ(ioParam(FB_WordRequest(73, 3001, 2)), 'l');  // Func_b
  EXPECT_EQ(ioParam(FB_WordRequest(73, 3001, 5)), 0);
  EXPECT_EQ(ioParam(FB_WordRequest(73, 3001, 1)), 0);
  EXPECT_EQ(ioParam(FB_WordRequest(73, 3001, 6)), 'l');
  EXPECT_EQ(ioParam(FB_WordRequest(73, 3000, 4)), 0);
  EXPECT_EQ(ioParam(FB_WordRequest(73, 3000, 6)), 'l');
  EXPECT_EQ(ioParam(FB_FloatRequest(73, 3050, 0.05f)), 'l');  // Time
  EXPECT_EQ(ioParam(FB_FloatRequest(73, 3050, 20.0f)), 0);
  EXPECT_EQ(fx.wordValue(73, 2, true), 1);
  fx.init(73);
  EXPECT_EQ(fx.wordValue(73, 2), 1);
  EXPECT_FLOAT_EQ(fx.longValue(73, 0), 20.0f);
  EXPECT_EQ(g_fwIoBoards[1].inUse, 1u);
  EXPECT_EQ(IoFixture::channel(73).inputInUse, 1u);
  // A channel whose class matches the one it holds passes; a status bit fails it.
  IoFixture::channel(73).expectedClass = 7;
  IoFixture::channel(73).reportedClass = 7;
  fx.run(73);
  EXPECT_EQ(fx.digitalOut(73, kIdErr), 0);
  g_fwIoBoards[1].status[2] = FW_IO_STATUS_FAULT;
  fx.run(73);
  EXPECT_EQ(fx.digitalOut(73, kIdErr), 1);
  // Its other outputs are the hardware side's: the block leaves them as they are.
  for (uint16_t o = 2; o <= 6; ++o) EXPECT_EQ(fx.digitalOut(73, o), 0);
}

TEST(TwoChannelInputs, AnyRawReadingGivesAFiniteOutputOrAFailure) {
  const float raws[] = {kNaN, kInf, -kInf, std::numeric_limits<float>::max(),
                        -std::numeric_limits<float>::max(), 1e30f};
  struct Kind {
    uint16_t type, block;
    std::vector<uint16_t> codes;
  } kinds[] = {{BLK_TYPE_TC_IN, 67, {AIN_TYPE_K, AIN_MV30, AIN_MV300, AIN_MA_4_20}},
               {BLK_TYPE_R_IN, 68, {0, RIN_R160, RIN_POTI160, RIN_POTI4500}},
               {BLK_TYPE_U_IN, 69, {0, 1}}};
  for (const Kind& k : kinds) {
    for (uint16_t code : k.codes) {
      for (float raw : raws) {
        for (bool electrical : {false, true}) {
          IoFixture fx;
          setupBoth(fx, k.type, k.block, code);
          fx.initFitted(k.block);
          for (unsigned s = 0; s < 2; ++s) IoFixture::reading(k.block, raw, electrical, s);
          fx.run(k.block);
          for (uint16_t o = 1; o <= 2; ++o) {
            const float y = fx.analogOut(k.block, o);
            EXPECT_TRUE(std::isfinite(y) && std::fabs(y) <= 1.5e37f)
                << k.type << " code " << code << " raw " << raw << " output " << o;
          }
          if (!std::isfinite(raw)) {
            const uint16_t failB = k.type == BLK_TYPE_R_IN ? kRFailB : kTcFailB;
            EXPECT_EQ(fx.digitalOut(k.block, failB), 1) << k.type << " " << code;
          }
        }
      }
    }
  }
}

// --- I_OUT, U_OUT, PWM_OUT ---------------------------------------------------------------------

FwIoOutput& outOf(uint16_t block) { return IoFixture::channel(block).out; }

TEST(TwoChannelOutputs, OutputValuesByTypeAndMode) {
  enum : uint16_t { kNone = 0xFFFF };
  struct Case {
    const char* what;
    uint16_t type;
    uint16_t w0, w1;  // the side's first two word values (Type, Load / Mode, Dir)
    float x, x0, x100;
    uint16_t d;
    float value;
  } cases[] = {
      {"0..20 mA at 50 %", BLK_TYPE_I_OUT, 0, 0, 50, 0, 100, 0, 10.0f},
      {"4..20 mA at x0", BLK_TYPE_I_OUT, 1, 0, 20, 20, 80, 0, 4.0f},
      {"4..20 mA far below x0: -25 %", BLK_TYPE_I_OUT, 1, 0, -1e9f, 0, 100, 0, 0.0f},
      {"4..20 mA far above x100: 110 %", BLK_TYPE_I_OUT, 1, 1, 1e9f, 0, 100, 0, 21.6f},
      {"0..20 mA of no number: 0 %", BLK_TYPE_I_OUT, 0, 0, kNaN, 0, 100, 0, 0.0f},
      {"I_OUT equal x0 and x100", BLK_TYPE_I_OUT, 0, 0, 70, 30, 30, 0, 0.0f},
      {"0..10 V at 25 %", BLK_TYPE_U_OUT, 0, kNone, 25, 0, 100, 0, 2.5f},
      {"2..10 V at 50 %", BLK_TYPE_U_OUT, 1, kNone, 50, 0, 100, 0, 6.0f},
      {"+/-10 V at 50 %", BLK_TYPE_U_OUT, 2, kNone, 50, 0, 100, 0, 0.0f},
      {"+/-10 V far below", BLK_TYPE_U_OUT, 2, kNone, -kInf, 0, 100, 0, -15.0f},
      {"U_OUT equal x0 and x100", BLK_TYPE_U_OUT, 1, kNone, 70, 30, 30, 0, 2.0f},
      {"PWM limited to 100", BLK_TYPE_PWM_OUT, 1, 0, 150, 0, 100, 0, 100.0f},
      {"PWM scaled", BLK_TYPE_PWM_OUT, 1, 0, 75, 50, 100, 0, 50.0f},
      {"PWM below 0", BLK_TYPE_PWM_OUT, 1, 0, -5, 0, 100, 0, 0.0f},
      {"PWM equal x0 and x100", BLK_TYPE_PWM_OUT, 1, 0, 70, 30, 30, 0, 0.0f},
      {"on/off direct", BLK_TYPE_PWM_OUT, 0, 0, 0, 0, 100, 1, 100.0f},
      {"on/off inverse", BLK_TYPE_PWM_OUT, 0, 1, 0, 0, 100, 1, 0.0f},
      {"on/off inverse, d off", BLK_TYPE_PWM_OUT, 0, 1, 0, 0, 100, 0, 100.0f},
  };
  for (const Case& c : cases) {
    for (unsigned side = 0; side < 2; ++side) {
      SCOPED_TRACE(testing::Message() << c.what << ", side " << side);
      IoFixture fx;
      const uint16_t block = side == 0 ? 81 : 68;
      const uint16_t perSide = c.type == BLK_TYPE_I_OUT ? 2 : c.type == BLK_TYPE_U_OUT ? 1 : 4;
      fx.createAt(c.type, block);
      fx.setWord(block, static_cast<uint16_t>(side * perSide), c.w0);
      if (c.w1 != kNone) fx.setWord(block, static_cast<uint16_t>(side * perSide + 1), c.w1);
      fx.setLong(block, static_cast<uint16_t>(2 * side), c.x0);
      fx.setLong(block, static_cast<uint16_t>(2 * side + 1), c.x100);
      fx.setAnalogInput(block, static_cast<uint16_t>(side + 1), c.x);
      if (c.type == BLK_TYPE_PWM_OUT) fx.setDigitalInput(block, static_cast<uint16_t>(side + 1), c.d);
      fx.initFitted(block);
      outOf(block).analogNew = 0;
      fx.run(block);
      EXPECT_EQ(fx.digitalOut(block, kIdErr), 0);
      EXPECT_FLOAT_EQ(side == 0 ? outOf(block).a : outOf(block).b, c.value);
      EXPECT_EQ(outOf(block).analogNew, 1);
    }
  }
}

TEST(TwoChannelOutputs, InitConfiguresTheCardAndRunChecksIt) {
  struct Case {
    uint16_t type;
    std::vector<uint16_t> words;
    uint8_t expected;
    uint8_t codeA, unitA, codeB, unitB;
  } cases[] = {{BLK_TYPE_I_OUT, {1, 1, 0, 0}, 32, 2, 1, 1, 0},
               {BLK_TYPE_U_OUT, {2, 1}, 33, 13, 0, 12, 0},
               {BLK_TYPE_PWM_OUT, {1, 0, 7, 9, 0, 1, 200, 3}, 34, 7, 9, 200, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    IoFixture fx;
    g_fwSys.shadow[FW_SH_BYTE44] = 1;
    fx.createAt(c.type, 82);
    for (uint16_t i = 0; i < c.words.size(); ++i) fx.setWord(82, i, c.words[i]);
    outOf(82).a = outOf(82).b = 5.0f;
    fx.init(82);
    FwIoChannel& ch = IoFixture::channel(82);
    EXPECT_EQ(ch.expectedClass, c.expected);
    EXPECT_EQ(ch.out.inUse, 1u);
    EXPECT_EQ(g_fwIoBoards[3].inUse, 1u);
    EXPECT_EQ(ch.sub[0].sensorCode, c.codeA);
    EXPECT_EQ(ch.sub[0].unit, c.unitA);
    EXPECT_EQ(ch.sub[1].sensorCode, c.codeB);
    EXPECT_EQ(ch.sub[1].unit, c.unitB);
    EXPECT_EQ(ch.sub[0].configValid, 1);
    if (c.type == BLK_TYPE_PWM_OUT) {
      EXPECT_EQ(ch.sub[1].mainsFrequency, 1);
    } else {
      EXPECT_NE(ch.sub[0].textId, 0);
      EXPECT_NE(ch.sub[0].textId, ch.sub[1].textId);
    }
    EXPECT_FLOAT_EQ(ch.out.a, 0.0f);
    EXPECT_EQ(ch.out.analogNew, 1);
    // A reconfiguration request (not for PWM_OUT) sets both configuration-valid bytes again.
    ch.sub[0].configValid = ch.sub[1].configValid = 0;
    ch.reconfigure = 1;
    ch.reportedClass = c.expected;
    fx.run(82);
    EXPECT_EQ(fx.digitalOut(82, kIdErr), 0);
    const bool handles = c.type != BLK_TYPE_PWM_OUT;
    EXPECT_EQ(ch.reconfigure, handles ? 0 : 1);
    EXPECT_EQ(ch.sub[1].configValid, handles ? 1 : 0);
    // Another class or a status bit: id_err, and the outputs stay as they are.
    fx.setAnalogInput(82, 1, 60);
    const float before = ch.out.a;
    for (auto [reported, status] : {std::pair<uint8_t, uint8_t>{FW_CLASS_RELAY, 0}, {c.expected, 1}}) {
      ch.reportedClass = reported;
      g_fwIoBoards[3].status[2] = status;
      ch.out.analogNew = 0;
      fx.run(82);
      EXPECT_EQ(fx.digitalOut(82, kIdErr), 1);
      EXPECT_FLOAT_EQ(ch.out.a, before);
      EXPECT_EQ(ch.out.analogNew, 0);
    }
  }
}

TEST(TwoChannelOutputs, ParametersOfTheOutputs) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_I_OUT, 65);
  fx.createAt(BLK_TYPE_PWM_OUT, 66);
  fx.createAt(BLK_TYPE_DIDO, 67);
  EXPECT_EQ(ioParam(FB_SetRequest(65, 4000, {}, {})), 'y');
  FbParamRequest badHeader = FB_SetRequest(65, 4000, {}, {});
  badHeader.setU8(FB_REQUEST_COUNT2, 1);
  EXPECT_EQ(ioParam(badHeader), 'z');
  EXPECT_EQ(ioParam(FB_SetRequest(67, 4000, {}, {})), 'y');
  struct Case {
    uint16_t block;
    int16_t id;
    float value;  // words as their number
    bool word;
    uint8_t result;
  } cases[] = {
      {65, 3000, 1, true, 0},       {65, 3000, 2, true, 'l'},       {65, 3003, 1, true, 0},
      {65, 3004, 0, true, 'i'},     {65, 3053, 999999, false, 0},   {65, 3051, 1e6f, false, 'l'},
      {65, 3054, 0, false, 'i'},    {65, 1000, 0, false, 'i'},      {65, 2000, 0, false, 'i'},
      {66, 3002, 0, true, 'l'},     {66, 3002, 255, true, 0},       {66, 3007, 256, true, 'l'},
      {66, 3004, 2, true, 'l'},     {67, 3005, 1, true, 0},         {67, 3005, 2, true, 'l'},
  };
  for (const auto& c : cases) {
    const FbParamRequest r = c.word ? FB_WordRequest(c.block, c.id, static_cast<uint16_t>(c.value))
                                    : FB_FloatRequest(c.block, c.id, c.value);
    EXPECT_EQ(ioParam(r), c.result) << c.block << " " << c.id;
  }
  EXPECT_EQ(fx.wordValue(65, 1, true), 1);
  EXPECT_EQ(fx.wordValue(65, 1), 0);  // in force at the next start-up pass
  std::vector<uint16_t> words = {1, 0, 0, 2};
  const std::vector<float> longs = {0, 100, 0, 100};
  uint16_t bad = 0;
  EXPECT_EQ(ioParam(FB_SetRequest(65, 4010, words, longs), &bad), 'l');
  EXPECT_EQ(bad, 4);
  words[3] = 1;
  EXPECT_EQ(ioParam(FB_SetRequest(65, 4010, words, longs), &bad), 0);
  EXPECT_EQ(fx.wordValue(65, 4, true), 1);
}

// --- DIDO --------------------------------------------------------------------------------------

TEST(TwoChannelOutputs, DidoPointsAsInputsAndOutputs) {
  struct Case {
    const char* what;
    uint16_t mode, invIn, invOut, d;
    uint8_t hardware;
    uint8_t logic, z;
  } cases[] = {
      {"output", 1, 0, 0, 1, 0, 1, 1},
      {"output inverted", 1, 0, 1, 1, 0, 0, 0},
      {"output inverted, d off", 1, 1, 1, 0, 1, 1, 1},
      {"input", 0, 0, 1, 1, 1, 1, 1},
      {"input inverted", 0, 1, 0, 0, 1, 1, 0},
      {"input inverted, bit off", 0, 1, 0, 1, 0, 0, 1},
  };
  for (const Case& c : cases) {
    for (unsigned point = 0; point < 2; ++point) {
      SCOPED_TRACE(testing::Message() << c.what << ", point " << point);
      IoFixture fx;
      const uint16_t block = point == 0 ? 65 : 69;  // the base card, the module rack
      fx.createAt(BLK_TYPE_DIDO, block);
      fx.setWord(block, static_cast<uint16_t>(4 + point), c.mode);
      fx.setWord(block, static_cast<uint16_t>(point), c.invIn);
      fx.setWord(block, static_cast<uint16_t>(2 + point), c.invOut);
      fx.setDigitalInput(block, static_cast<uint16_t>(point + 1), c.d);
      fx.initFitted(block);
      FwIoChannel& ch = IoFixture::channel(block);
      EXPECT_EQ(ch.expectedClass, FW_CLASS_DIDO);
      EXPECT_EQ(ch.sub[point].sensorCode, c.mode);
      EXPECT_EQ(ch.out.logicNew, 1);
      ch.din.bits[point] = c.hardware;
      ch.out.logicNew = 0;
      fx.run(block);
      EXPECT_EQ(fx.digitalOut(block, kIdErr), 0);
      EXPECT_EQ(ch.out.logic[point], c.logic);
      EXPECT_EQ(fx.digitalOut(block, static_cast<uint16_t>(2 + point)), c.z);
      EXPECT_EQ(ch.out.logicNew, 1);
    }
  }
}

TEST(TwoChannelOutputs, DidoNeedsTheBaseCardOrTheModuleRack) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_DIDO, 71);  // board 1: the digital I/O card
  fx.setWord(71, 4, 1);
  fx.setDigitalInput(71, 1, 1);
  fx.init(71);
  FwIoChannel& ch = IoFixture::channel(71);
  EXPECT_EQ(ch.expectedClass, 0);
  EXPECT_EQ(g_fwIoBoards[1].inUse, 0u);
  ch.reportedClass = FW_CLASS_DIDO;
  for (int cycle = 0; cycle < 3; ++cycle) {
    fx.run(71);
    EXPECT_EQ(fx.digitalOut(71, kIdErr), 1);
    EXPECT_EQ(fx.digitalOut(71, 2), 0);
    EXPECT_EQ(ch.out.logic[0], 0);
  }
  // On a suitable board another class sets id_err and writes nothing.
  fx.createAt(BLK_TYPE_DIDO, 66);
  fx.setWord(66, 4, 1);
  fx.setDigitalInput(66, 1, 1);
  fx.init(66);
  IoFixture::channel(66).reportedClass = FW_CLASS_DI_4;
  fx.run(66);
  EXPECT_EQ(fx.digitalOut(66, kIdErr), 1);
  EXPECT_EQ(fx.digitalOut(66, 2), 0);
  IoFixture::channel(66).reportedClass = FW_CLASS_DIDO;
  fx.run(66);
  EXPECT_EQ(fx.digitalOut(66, kIdErr), 0);
  EXPECT_EQ(fx.digitalOut(66, 2), 1);
}

}  // namespace
