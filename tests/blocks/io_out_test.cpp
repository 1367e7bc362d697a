// Output and digital card blocks and the LEDs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "blocks/io/io.h"
#include "fakes/fake_opui.h"
#include "runtime/fb_param.h"
#include "support/io_fixture.h"

namespace {

enum : uint16_t { kSrc = 0, kMode = 1, kType = 2 };
enum : uint16_t { kX0 = 0, kX100 = 1 };

FwIoOutput& outOf(uint16_t block) { return IoFixture::channel(block).out; }

TEST(Outputs, AnAnalogSourceSwitchesWithHysteresisAboutFiftyPercent) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_OUT1, 81);
  fx.setWord(81, kSrc, 1);
  fx.initFitted(81);
  IoFixture::channel(81).reportedClass = FW_CLASS_RELAY;
  struct Step {
    float x;
    uint8_t level;
  } steps[] = {{40, 0}, {49.5f, 0}, {50, 0}, {50.4f, 0}, {50.5f, 1}, {60, 1},
               {50, 1}, {49.6f, 1}, {49.5f, 0}, {45, 0}};
  for (const Step& s : steps) {
    fx.setAnalogInput(81, 1, s.x);
    fx.run(81);
    EXPECT_EQ(outOf(81).logic[0], s.level) << s.x;
    EXPECT_EQ(outOf(81).logicNew, 1);
  }
  fx.setWord(81, kMode, 1);  // Inverse
  fx.setAnalogInput(81, 1, 60);
  fx.run(81);
  EXPECT_EQ(outOf(81).logic[0], 0);
}

TEST(Outputs, CurrentOutputByTypeAndSource) {
  struct Case {
    const char* what;
    uint16_t src, mode, type;
    float x, x0, x100;
    uint16_t d;
    float mA;
  } cases[] = {
      {"4..20 mA at 50 %", 1, 0, 2, 50, 0, 100, 0, 12.0f},
      {"0..20 mA at 50 %", 1, 0, 1, 50, 0, 100, 0, 10.0f},
      {"4..20 mA at 0 %", 1, 0, 2, 0, 0, 100, 0, 4.0f},
      {"4..20 mA limited to 110 %", 1, 0, 2, 500, 0, 100, 0, 21.6f},
      {"0..20 mA limited to 110 %", 1, 0, 1, 500, 0, 100, 0, 22.0f},
      {"below 0 % gives 0 %", 1, 0, 1, -50, 0, 100, 0, 0.0f},
      {"equal x0 and x100 give 0 %", 1, 0, 1, 70, 30, 30, 0, 0.0f},
      {"scaled range", 1, 0, 1, 75, 50, 100, 0, 10.0f},
      {"digital source on", 0, 0, 1, 0, 0, 100, 1, 20.0f},
      {"digital source inverted", 0, 1, 2, 0, 0, 100, 1, 4.0f},
      {"logic type above 50.5 %", 1, 0, 0, 60, 0, 100, 0, 20.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IoFixture fx;
    fx.createAt(BLK_TYPE_OUT1, 81);
    fx.setWord(81, kSrc, c.src);
    fx.setWord(81, kMode, c.mode);
    fx.setWord(81, kType, c.type);
    fx.setLong(81, kX0, c.x0);
    fx.setLong(81, kX100, c.x100);
    fx.initFitted(81);  // the low byte: current output
    fx.setAnalogInput(81, 1, c.x);
    fx.setDigitalInput(81, 1, c.d);
    outOf(81).analogNew = 0;
    fx.run(81);
    EXPECT_FLOAT_EQ(outOf(81).b, c.mA);
    EXPECT_EQ(outOf(81).analogNew, 1);
  }
}

TEST(Outputs, InitClaimsAndConfiguresTheChannel) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_OUT1, 81);
  fx.setWord(81, kType, 2);
  fx.init(81);
  const FwIoChannel& ch = IoFixture::channel(81);
  EXPECT_EQ(ch.expectedClass, FW_IoClassPair(FW_CLASS_I_OUTPUT, FW_CLASS_RELAY));
  EXPECT_EQ(ch.out.inUse, 1u);
  EXPECT_EQ(g_fwIoBoards[3].inUse, 1u);
  for (const FwIoSubChannel& s : ch.sub) {
    EXPECT_EQ(s.sensorCode, 2);
    EXPECT_NE(s.textId, 0);
    EXPECT_EQ(s.configValid, 1);
    EXPECT_EQ(s.unit, 0);
  }
  EXPECT_EQ(ch.out.analogNew, 1);
  EXPECT_EQ(ch.out.logicNew, 1);
  // OUT3 configures only the second sub-channel.
  fx.createAt(BLK_TYPE_OUT3, 70);
  fx.init(70);
  EXPECT_EQ(IoFixture::channel(70).sub[0].configValid, 0);
  EXPECT_EQ(IoFixture::channel(70).sub[1].configValid, 1);
  EXPECT_EQ(IoFixture::channel(70).expectedClass, FW_CLASS_I_OUTPUT);
}

TEST(Outputs, EachTypeWritesOnlyOnTheHardwareItServes) {
  struct Case {
    uint16_t type, block;
    uint8_t reported;
    bool logic, current;
    uint8_t reconfigValid;  // bits of the sub-channels set valid by a request
  } cases[] = {
      {BLK_TYPE_OUT1, 81, FW_CLASS_RELAY, true, false, 3},
      {BLK_TYPE_OUT1, 81, FW_CLASS_I_OUTPUT, false, true, 3},
      {BLK_TYPE_OUT1, 81, FW_CLASS_SSR, false, false, 0},
      {BLK_TYPE_OUT2, 82, FW_CLASS_I_OUTPUT, false, true, 1},
      {BLK_TYPE_OUT2, 82, FW_CLASS_RELAY, true, false, 3},
      {BLK_TYPE_OUT3, 70, FW_CLASS_I_OUTPUT, false, true, 2},
      {BLK_TYPE_OUT3, 70, FW_CLASS_RELAY, false, false, 0},
      {BLK_TYPE_OUT4, 84, FW_CLASS_RELAY, true, false, 0},
      {BLK_TYPE_OUT4, 84, FW_CLASS_I_OUTPUT, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " on class " << int(c.reported));
    IoFixture fx;
    fx.createAt(c.type, c.block);
    fx.init(c.block);
    FwIoChannel& ch = IoFixture::channel(c.block);
    ch.reportedClass = c.reported;
    ch.out.analogNew = ch.out.logicNew = 0;
    ch.sub[0].configValid = ch.sub[1].configValid = 0;
    ch.reconfigure = 1;
    fx.setDigitalInput(c.block, 1, 1);
    fx.run(c.block);
    EXPECT_EQ(ch.out.logicNew, c.logic ? 1 : 0);
    EXPECT_EQ(ch.out.analogNew, c.current ? 1 : 0);
    EXPECT_EQ(ch.sub[0].configValid | ch.sub[1].configValid << 1, c.reconfigValid);
  }
}

TEST(Outputs, RelayAndSolidStateOutputsReportChannelErrors) {
  struct Case {
    uint16_t type, block;
    uint8_t reported, status;
    uint16_t idErr;
  } cases[] = {
      {BLK_TYPE_REL_OUT, 85, FW_CLASS_RELAY, 0, 0},   {BLK_TYPE_REL_OUT, 85, FW_CLASS_SSR, 0, 1},
      {BLK_TYPE_REL_OUT, 85, FW_CLASS_RELAY, 2, 1},   {BLK_TYPE_SSR_OUT, 71, FW_CLASS_SSR, 0, 0},
      {BLK_TYPE_SSR_OUT, 71, FW_CLASS_RELAY, 0, 1},
  };
  for (const Case& c : cases) {
    IoFixture fx;
    fx.createAt(c.type, c.block);
    fx.init(c.block);
    uint16_t board = 0, ch = 0;
    FW_IoChannelOf(c.block, &board, &ch);
    g_fwIoBoards[board].status[ch] = c.status;
    IoFixture::channel(c.block).reportedClass = c.reported;
    outOf(c.block).logicNew = 0;
    fx.setDigitalInput(c.block, 1, 1);
    fx.run(c.block);
    EXPECT_EQ(fx.digitalOut(c.block, 1), c.idErr) << c.type;
    EXPECT_EQ(outOf(c.block).logicNew, c.idErr ? 0 : 1) << c.type;
    if (!c.idErr) {
      EXPECT_EQ(outOf(c.block).logic[0], 1);
    }
  }
}

TEST(Outputs, SolidStateOutputDrivesTwoSides) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_SSR_OUT, 81);
  fx.setWord(81, 2, 1);  // Src_b analog
  fx.setWord(81, 1, 1);  // Mode_a inverse
  fx.initFitted(81);
  fx.setDigitalInput(81, 1, 1);
  fx.setAnalogInput(81, 2, 80);
  fx.run(81);
  EXPECT_EQ(outOf(81).logic[0], 0);
  EXPECT_EQ(outOf(81).logic[1], 1);
}

TEST(DigitalOutputs, SwitchingAndDigitalOutputCards) {
  IoFixture fx;
  // S_OUT: either class; a mismatch clears both bytes but still flags them new.
  fx.createAt(BLK_TYPE_S_OUT, 72);
  fx.setWord(72, 1, 1);  // Inv b
  fx.init(72);
  IoFixture::channel(72).reportedClass = FW_CLASS_SSR;
  fx.setDigitalInput(72, 1, 1);
  fx.run(72);
  EXPECT_EQ(fx.digitalOut(72, 1), 0);
  EXPECT_EQ(outOf(72).logic[0], 1);
  EXPECT_EQ(outOf(72).logic[1], 1);
  IoFixture::channel(72).reportedClass = FW_CLASS_DO_4;
  outOf(72).logicNew = 0;
  fx.run(72);
  EXPECT_EQ(fx.digitalOut(72, 1), 1);
  EXPECT_EQ(outOf(72).logic[0] | outOf(72).logic[1], 0);
  EXPECT_EQ(outOf(72).logicNew, 1);
  // D_OUT on board 1.
  fx.createAt(BLK_TYPE_D_OUT, 74);
  fx.setWord(74, 3, 1);  // Inv 4
  fx.initFitted(74);
  fx.setDigitalInput(74, 1, 1);
  fx.run(74);
  const uint8_t expected[4] = {1, 0, 0, 1};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(outOf(74).logic[i], expected[i]) << i;
  g_fwIoBoards[1].status[3] = 1;
  fx.run(74);
  EXPECT_EQ(fx.digitalOut(74, 1), 1);
  EXPECT_EQ(outOf(74).logic[0] | outOf(74).logic[3], 0);
}

TEST(DigitalOutputs, DigoutServesOnlyTheDigitalCard) {
  for (uint16_t boardType : {FW_BOARD_DIGITAL_CARD, FW_BOARD_MODULE_RACK}) {
    IoFixture fx;
    g_fwIoBoards[1].type = boardType;
    fx.createAt(BLK_TYPE_DIGOUT, 95);
    fx.init(95);
    FwIoChannel& ch = IoFixture::channel(95);
    ch.reportedClass = FW_CLASS_DO_4;
    ch.out.logicNew = 0;
    for (uint16_t i = 1; i <= 6; ++i) fx.setDigitalInput(95, i, 1);
    fx.run(95);
    const bool card = boardType == FW_BOARD_DIGITAL_CARD;
    EXPECT_EQ(ch.expectedClass, card ? FW_CLASS_DO_4 : 0);
    EXPECT_EQ(ch.out.logicNew, card ? 1 : 0);
    EXPECT_EQ(ch.out.logic[3], card ? 1 : 0);
  }
}

TEST(DigitalInputs, DInDeliversTheInputsOfItsChannel) {
  struct Case {
    uint16_t block;
    uint8_t reported;
    unsigned inputs;  // 0: id_err
  } cases[] = {{91, FW_CLASS_DI_2, 2}, {71, FW_CLASS_DI_4, 4}, {68, FW_CLASS_DI_4, 4},
               {69, FW_CLASS_DI_4, 2}, {73, FW_CLASS_DI_2, 0}, {91, FW_CLASS_DI_4, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    IoFixture fx;
    fx.createAt(BLK_TYPE_D_IN, c.block);
    fx.setWord(c.block, 1, 1);  // Inv 2
    fx.init(c.block);
    FwIoChannel& ch = IoFixture::channel(c.block);
    ch.reportedClass = c.reported;
    ch.din.valid = 1;
    for (uint8_t& b : ch.din.bits) b = 1;
    fx.run(c.block);
    EXPECT_EQ(fx.digitalOut(c.block, 1), c.inputs == 0 ? 1 : 0);
    for (unsigned z = 1; z <= 4; ++z) {
      const uint16_t expected = z <= c.inputs ? (z == 2 ? 0 : 1) : 0;
      EXPECT_EQ(fx.digitalOut(c.block, static_cast<uint16_t>(1 + z)), expected) << "z " << z;
    }
  }
  // Only the digital card's channels are claimed on boards 1 and 2.
  IoFixture fx;
  fx.createAt(BLK_TYPE_D_IN, 67);  // board 2: a module rack
  fx.createAt(BLK_TYPE_D_IN, 72);  // board 1: the digital card
  fx.init(67);
  fx.init(72);
  EXPECT_EQ(IoFixture::channel(67).expectedClass, 0);
  EXPECT_EQ(IoFixture::channel(72).expectedClass, FW_CLASS_DI_4);
}

TEST(DigitalInputs, DinputReadsTheBaseInputsAndTheDigitalCard) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_DINPUT, 91);
  fx.setWord(91, 11, 1);  // Inv 12
  fx.init(91);
  for (uint16_t c = 0; c < 3; ++c) g_fwIoBoards[1].channel[c].reportedClass = FW_CLASS_DI_4;
  g_fwIoBoards[0].channel[0].reportedClass = FW_CLASS_DI_2;
  for (FwIoBoard* b : {&g_fwIoBoards[0], &g_fwIoBoards[1]}) {
    for (FwIoChannel& ch : b->channel) {
      ch.din.valid = 1;
      for (uint8_t& bit : ch.din.bits) bit = 1;
    }
  }
  g_fwIoBoards[1].channel[1].din.valid = 0;  // z 7..z 10 stay as they were
  fx.run(91);
  for (uint16_t z = 1; z <= 12; ++z) {
    const uint16_t expected = (z >= 7 && z <= 10) || z == 12 ? 0 : 1;
    EXPECT_EQ(fx.digitalOut(91, z), expected) << "z " << z;
  }
}

TEST(Leds, SetTheKeyIndicatorsThroughTheOperatingInterface) {
  IoFixture fx;
  FW_IoBindIndicator(OP_SetIndicator);
  fx.createAt(BLK_TYPE_LED, 96);
  fx.init(96);
  fx.setDigitalInput(96, 1, 1);
  fx.wordParam(96, 2) = 1;  // Inv 2
  FakeOpuiLog().clear();
  fx.run(96);
  const std::vector<std::string> lit = {"OP_SetIndicator(3, 16, 1)", "OP_SetIndicator(4, 17, 1)",
                                        "OP_SetIndicator(5, 11, 0)", "OP_SetIndicator(6, 11, 0)"};
  EXPECT_EQ(FakeOpuiLog().calls(), lit);
  fx.setDigitalInput(96, 1, 0);
  FakeOpuiLog().clear();
  fx.run(96);
  EXPECT_EQ(FakeOpuiLog().calls().front(), "OP_SetIndicator(3, 11, 0)");
}

TEST(Leds, InversionsApplyAtOnceWhenStoppedAndAtTheNextRunWhenRunning) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_LED, 96);
  FbParamRequest r = FB_WordRequest(96, 1250, 1);
  uint16_t bad = 0;
  const auto handler = FB_GetType(BLK_TYPE_LED)->param;
  EXPECT_EQ(handler(&r, &bad), 0);
  EXPECT_EQ(fx.wordParam(96, 1), 1);
  FbParamRequest big = FB_WordRequest(96, 1251, 2);
  EXPECT_EQ(handler(&big, &bad), 'l');
  g_fwRunMode = FW_RUN_MODE_RUN;
  FbParamRequest off = FB_WordRequest(96, 1250, 0);
  EXPECT_EQ(handler(&off, &bad), 0);
  EXPECT_EQ(fx.wordParam(96, 1), 1);
  EXPECT_EQ(g_fbPending.words[96], 1);
  fx.run(96);
  EXPECT_EQ(fx.wordParam(96, 1), 0);
  EXPECT_EQ(g_fbPending.words[96], 0);
}

TEST(OutputParams, ConfigurationWaitsForTheNextInit) {
  IoFixture fx;
  fx.createAt(BLK_TYPE_OUT1, 81);
  const auto handler = FB_GetType(BLK_TYPE_OUT1)->param;
  uint16_t bad = 0;
  FbParamRequest type = FB_WordRequest(81, 3002, 3);
  EXPECT_EQ(handler(&type, &bad), 'l');
  FbParamRequest ok = FB_WordRequest(81, 3002, 2);
  EXPECT_EQ(handler(&ok, &bad), 0);
  EXPECT_EQ(fx.wordValue(81, 3), 1);
  const std::vector<uint16_t> words = {1, 1, 0};
  const std::vector<float> ranges = {0, 1e7f};
  FbParamRequest all = FB_SetRequest(81, 4010, words, ranges);
  EXPECT_EQ(handler(&all, &bad), 'l');
  EXPECT_EQ(bad, 5);
  FbParamRequest floats(81, 1000);
  EXPECT_EQ(handler(&floats, &bad), 'i');
  fx.init(81);
  EXPECT_EQ(fx.wordValue(81, 3), 2);
}

}  // namespace
