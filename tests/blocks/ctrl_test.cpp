// Controller blocks CONTR, CONTR+ and PIDMA: template defaults, the parameter handlers with
// their limits, change classes and whole sets, init and run around the controller core, the
// cascade link, the saves and the reads.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "block_cases.h"
#include "blocks/ctrl/ctrl.h"
#include "blocks/ctrl/ctrl_ext.h"
#include "blocks/ctrl/ctrl_plant.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_values.h"
#include "runtime/fw_image.h"
#include "runtime/fw_mode.h"
#include "support/ctrl_process.h"
#include "support/save_recorder.h"
#include "tools/engbuild/eng_builder.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Slots of CONTR (1-based, as the fixture counts them).
enum : uint16_t { kX1 = 1, kX3 = 3, kWext = 4, kOvcPlus = 5, kOvcMinus = 6, kCasc = 10 };
enum : uint16_t { kInWeWi = 9, kInRstart = 20 };
enum : uint16_t { kOutOff = 4, kOutManual = 5, kOutWeWi = 7 };
enum : uint16_t { kAoW = 1, kAoX = 2, kAoBlNo = 8 };
// Float parameters (0-based, as the ids count them).
enum : uint16_t { kW0 = 0, kW100 = 1, kW2 = 2, kGrwUp = 3, kXsh = 8, kTm = 10, kXp1 = 22 };
// Configuration words (0-based).
enum : uint16_t { kCFunc = 0, kSpFunc = 2, kCFail = 5, kCovc = 6, kXdp = 9 };

int16_t floatId(uint16_t k) { return static_cast<int16_t>(FB_ID_FLOAT + k); }
int16_t valueId(uint16_t k) { return static_cast<int16_t>(FB_ID_WORD_VALUE + k); }

uint8_t send(FbParamRequest r, uint16_t* bad = nullptr) {
  uint16_t b = 0;
  const uint16_t* inst = FB_GetInstance(r.block());
  const uint8_t result = inst ? FB_GetType(inst[FB_HDR_TYPE])->param(&r, &b) : 'j';
  if (bad) *bad = b;
  return result;
}
uint8_t sendFloat(uint16_t block, int16_t id, float v) { return send(FB_FloatRequest(block, id, v)); }
uint8_t sendWord(uint16_t block, int16_t id, uint16_t v) { return send(FB_WordRequest(block, id, v)); }

float readFloat(uint16_t block, int16_t id) {
  FbParamRequest r(block, id);
  uint16_t bad = 0;
  EXPECT_EQ(FB_GetType(FB_GetInstance(block)[FB_HDR_TYPE])->param(&r, &bad), FB_OK) << id;
  return r.f32(FB_REQUEST_VALUE);
}

// The pending floats of a block, to compare before and after a refused request.
std::vector<float> pendingFloats(BlockFixture& fx, uint16_t block) {
  std::vector<float> v;
  for (uint16_t i = 1; i <= fx.layout(block).floatParams; ++i) v.push_back(fx.floatParam(block, i, true));
  return v;
}

// A whole set 4000 of CONTR: `W Block` and the floats up to dYopt at their pending values.
FbParamRequest wholeSet(BlockFixture& fx, uint16_t block, uint16_t changed, float value) {
  std::vector<float> floats = pendingFloats(fx, block);
  floats.resize(22);
  floats[changed] = value;
  const uint16_t words[] = {fx.wordParam(block, 1, true)};
  return FB_SetRequest(block, FB_ID_WHOLE_SET, words, floats);
}

class CtrlBlock : public testing::Test {
 protected:
  ~CtrlBlock() override {
    g_fwRunMode = FW_RUN_MODE_STOP;
    g_fwEng.warmStart = 0;
  }
  CtrlBlockState& state(uint16_t block = kBlock) {
    CtrlBlockState* s = CTRL_StateOf(block);
    EXPECT_NE(s, nullptr);
    return *s;
  }
  // A block of the type, Init run once.
  void make(uint16_t type = BLK_TYPE_CONTR, uint16_t block = kBlock, uint16_t group = 1) {
    fx.create(type, block, group);
  }

  BlockFixture fx{BLK_RegisterAllTypes};
};

// ---------------------------------------------------------------------------------------
// Template and start-up.

TEST_F(CtrlBlock, FreshContrHasItsDefaultsAndInitSetsWeWiAndItsNumber) {
  make();
  EXPECT_EQ(fx.wordValue(kBlock, kCFunc + 1), 9);  // "Cont"
  EXPECT_EQ(fx.floatParam(kBlock, kW0 + 1), 0.0f);
  EXPECT_EQ(fx.floatParam(kBlock, kW100 + 1), 100.0f);
  EXPECT_EQ(fx.floatParam(kBlock, kW2 + 1), 100.0f);
  for (uint16_t k = 4; k <= 6; ++k) EXPECT_EQ(fx.floatParam(kBlock, k), FW_NO_VALUE) << k;
  EXPECT_EQ(fx.floatParam(kBlock, kXp1 + 1), 100.0f);
  EXPECT_EQ(fx.floatParam(kBlock, 25), 10.0f);  // Tn
  EXPECT_EQ(fx.floatParam(kBlock, 26), 10.0f);  // Tv
  EXPECT_EQ(readFloat(kBlock, -309), 100.0f);   // Wi from the template's state words
  fx.init(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, kOutWeWi), 1);
  EXPECT_EQ(fx.analogOut(kBlock, kAoBlNo), static_cast<float>(kBlock));
  EXPECT_EQ(state().in.wi, 100.0f);
  EXPECT_EQ(g_fbStore.list[kBlock].pageData, &state().link);
  EXPECT_EQ(state().link.type, BLK_TYPE_CONTR);
  EXPECT_EQ(std::string(state().link.title, 6), "CONTR ");
}

// A warm start keeps the core's records (the manual output goes on from its last value); a
// cold start begins them afresh.
TEST_F(CtrlBlock, WarmStartKeepsTheRecordsColdStartClearsThem) {
  make();
  fx.setDigitalInput(kBlock, 3, 0);  // inc
  fx.init(kBlock);
  ASSERT_EQ(sendWord(kBlock, 502, 1), FB_OK);
  fx.run(kBlock);
  fx.setDigitalInput(kBlock, 3, 1);
  fx.run(kBlock, 30);
  fx.setDigitalInput(kBlock, 3, 0);
  fx.run(kBlock);
  const float y = fx.analogOut(kBlock, 3);
  ASSERT_GT(y, 2.0f);
  {
    WarmStart warm;
    fx.init(kBlock);
  }
  fx.run(kBlock);
  EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 3), y);
  EXPECT_EQ(fx.digitalOut(kBlock, kOutManual), 1) << "the retained manual command";
  fx.init(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 3), 0.0f);
  EXPECT_EQ(fx.digitalOut(kBlock, kOutManual), 1);
}

TEST_F(CtrlBlock, PulseTimesAreRaisedToTheCycleTime) {
  make(BLK_TYPE_CONTR, kBlock, 4);  // 0.4 s
  fx.floatParam(kBlock, 27) = fx.floatParam(kBlock, 27, true) = 1.0f;  // Tp1
  fx.init(kBlock);
  EXPECT_FLOAT_EQ(fx.floatParam(kBlock, 27), 1.6f);
  EXPECT_FLOAT_EQ(fx.floatParam(kBlock, 27, true), 1.6f);
  EXPECT_FLOAT_EQ(fx.floatParam(kBlock, 10), 0.4f);  // Tpuls 0.3 -> dt
  EXPECT_FLOAT_EQ(state().params.sets[0].tp1, 1.6f);
  EXPECT_FLOAT_EQ(state().work.dt, 0.4f);
}

TEST_F(CtrlBlock, OverrideChoiceIsReducedToTheWiredInputsAtInit) {
  struct Case {
    uint16_t covc, cfunc;
    bool plus, minus;
    uint16_t expected;
  } cases[] = {
      {3, 9, false, true, 2}, {3, 9, true, false, 1}, {3, 9, false, false, 0},
      {3, 9, true, true, 3},  {1, 9, false, true, 0}, {2, 9, false, true, 2},
      {3, 7, true, true, 0},  {2, 7, false, false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "COVC " << c.covc << " CFunc " << c.cfunc << " +" << c.plus
                                    << " -" << c.minus);
    BlockFixture f(BLK_RegisterAllTypes);
    f.create(BLK_TYPE_CONTR, kBlock);
    f.wordValue(kBlock, kCovc + 1, true) = c.covc;
    f.wordValue(kBlock, kCFunc + 1, true) = c.cfunc;
    if (c.plus) f.setAnalogInput(kBlock, kOvcPlus, 50);
    if (c.minus) f.setAnalogInput(kBlock, kOvcMinus, 50);
    f.init(kBlock);
    EXPECT_EQ(f.wordValue(kBlock, kCovc + 1), c.expected);
    EXPECT_EQ(f.wordValue(kBlock, kCovc + 1, true), c.expected);
    EXPECT_EQ(CTRL_Ovc(CTRL_StateOf(kBlock)->config), c.expected);
  }
}

TEST_F(CtrlBlock, WeWiStaysSetWhenNeitherWextNorWeWiIsWired) {
  make();
  fx.init(kBlock);
  fx.run(kBlock, 3);
  EXPECT_EQ(state().in.dInternal, 1);
  EXPECT_EQ(fx.digitalOut(kBlock, kOutWeWi), 1);

  make(BLK_TYPE_CONTR, kBlock + 1);
  fx.setDigitalInput(kBlock + 1, kInWeWi, 0);
  fx.init(kBlock + 1);
  fx.run(kBlock + 1);
  EXPECT_EQ(state(kBlock + 1).in.dInternal, 0);
}

// A rising `rstart` restarts the ramp from X once; held, it does not repeat.
TEST_F(CtrlBlock, RisingRstartResetsTheSetpointOnce) {
  make();
  fx.floatParam(kBlock, kGrwUp + 1) = fx.floatParam(kBlock, kGrwUp + 1, true) = 6.0f;  // 0.01 per cycle
  fx.setAnalogInput(kBlock, kX1, 20);
  fx.setDigitalInput(kBlock, kInRstart, 0);
  fx.init(kBlock);
  fx.run(kBlock, 10);
  EXPECT_NEAR(fx.analogOut(kBlock, kAoW), 20.1f, 1e-3f);
  fx.setAnalogInput(kBlock, kX1, 50);
  fx.setDigitalInput(kBlock, kInRstart, 1);
  fx.run(kBlock);
  EXPECT_NEAR(fx.analogOut(kBlock, kAoW), 50.01f, 1e-3f);
  fx.run(kBlock);
  EXPECT_NEAR(fx.analogOut(kBlock, kAoW), 50.02f, 1e-3f) << "held: no second reset";
}

// The block raises its page-refresh request when a value its pages show changed (a run, a
// new display mode), and leaves it alone when nothing shown changed; the page clears it.
TEST_F(CtrlBlock, RaisesThePageRefreshRequestWhenAShownValueChanges) {
  make();
  fx.setAnalogInput(kBlock, kX1, 20);
  fx.init(kBlock);
  CtrlPageLink& k = state().link;
  bool quiet = false;
  for (int i = 0; i < 100 && !quiet; ++i) {
    k.updated = 0;
    fx.run(kBlock);
    quiet = k.updated == 0;
  }
  ASSERT_TRUE(quiet) << "a settled controller shows the same values run after run";
  // What the page sets every cycle is no change of the block's.
  k.flags |= CTRL_FLAG_PAGE_OPEN | CTRL_FLAG_REDRAW_BAR;
  fx.run(kBlock);
  EXPECT_EQ(k.updated, 0);
  fx.setAnalogInput(kBlock, kX1, 30);
  fx.run(kBlock);
  EXPECT_EQ(k.updated, 1) << "the process value changed";
  k.updated = 0;
  CTRL_SetDisplayMode(2, kBlock);
  EXPECT_EQ(k.updated, 1) << "a new display mode";
}

// ---------------------------------------------------------------------------------------
// Parameter handler of CONTR.

TEST_F(CtrlBlock, SingleValuesAgainstTheirLimits) {
  struct Write {
    int16_t id;
    float value;
    bool word = false;
  };
  struct Case {
    const char* what;
    std::vector<Write> before;   // accepted first
    Write write;
    uint8_t result;
  } cases[] = {
      {"W0 above W100", {}, {1000, 150}, 'l'},
      {"W100 below the pending W0", {{1000, 60}}, {1001, 50}, 'l'},
      {"W100 at the pending W0", {{1000, 60}}, {1001, 60}, 0},
      {"W2 above W100", {}, {1002, 100.5f}, 'l'},
      {"Grw+ off", {}, {1003, FW_NO_VALUE}, 0},
      {"Grw+ 0", {}, {1003, 0}, 'l'},
      {"Grw+ 0.001", {}, {1003, 0.001f}, 0},
      {"LW off", {}, {1012, FW_NO_VALUE}, 0},
      {"LW below -29999", {}, {1012, -30000}, 'l'},
      {"W2 NaN", {}, {1002, kNaN}, 'l'},
      {"W100 infinite", {}, {1001, kInf}, 'l'},
      {"W0 -infinite", {}, {1000, -kInf}, 'l'},
      {"Grw- NaN", {}, {1004, kNaN}, 'l'},
      {"Ymin below the output kind (Cont: 0)", {}, {1017, -1}, 'l'},
      {"Ymax at the output kind's 105", {}, {1018, 105}, 0},
      {"Ymax above it", {}, {1018, 105.5f}, 'l'},
      {"Ymax below the pending Ymin", {{1017, 50}}, {1018, 40}, 'l'},
      {"Ymin of Cont/swi", {{3000, 4, true}}, {1017, -100}, 0},
      {"Xp1 below 0.1", {}, {1022, 0.05f}, 'l'},
      {"Tn above 999999", {}, {1024, 1e6f}, 'l'},
      {"Wi outside W0..W100", {}, {309, 150}, 'l'},
      {"Wi in the pending range", {{1001, 200}}, {309, 150}, 0},
      {"Wi NaN", {}, {309, kNaN}, 'l'},
      {"W outside W0..W100", {}, {310, -1}, 'l'},
      {"output step beyond the range", {}, {313, 101}, 'l'},
      {"manual output", {}, {314, 50}, 0},
      {"manual output above Ymax", {}, {314, 100.5f}, 'l'},
      {"command 2", {}, {500, 2, true}, 'l'},
      {"P-only command", {}, {501, 1, true}, 0},
      {"W Block 4", {}, {1250, 4, true}, 'l'},
      {"W Block 65535", {}, {1250, 65535, true}, 'l'},
      {"W Block None", {}, {1250, 3, true}, 0},
      {"CFunc 12", {}, {3000, 12, true}, 'l'},
      {"CFail Y2 with Stepping", {{3000, 7, true}}, {3005, 3, true}, 'l'},
      {"COVC both with Stepping", {{3000, 7, true}}, {3006, 3, true}, 'l'},
      {"Xn0 above the pending Xn100", {}, {3050, 100.5f}, 'l'},
      {"SFac", {}, {3052, 0.005f}, 'l'},
      {"no float 28", {}, {1028, 1}, 'i'},
      {"no word 2", {}, {1251, 0, true}, 'i'},
      {"no word value 13", {}, {3013, 0, true}, 'i'},
      {"no command 506", {}, {506, 1, true}, 'i'},
      {"no set 2", {}, {4002, 0, true}, 'i'},
      {"no parameter-set operation", {}, {318, 1}, 'i'},
      {"texts go elsewhere", {}, {2000, 0, true}, 'i'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture f(BLK_RegisterAllTypes);
    f.create(BLK_TYPE_CONTR, kBlock);
    f.init(kBlock);
    auto request = [](const Write& w) {
      return w.word ? FB_WordRequest(kBlock, w.id, static_cast<uint16_t>(w.value))
                    : FB_FloatRequest(kBlock, w.id, w.value);
    };
    for (const Write& w : c.before) ASSERT_EQ(send(request(w)), FB_OK) << w.id;
    EXPECT_EQ(send(request(c.write)), c.result);
  }
}

TEST_F(CtrlBlock, RefusedWiKeepsTheInternalSetpoint) {
  make();
  fx.init(kBlock);
  EXPECT_EQ(sendFloat(kBlock, 309, 150), 'l');
  EXPECT_EQ(readFloat(kBlock, -309), 100.0f);
  EXPECT_EQ(sendFloat(kBlock, 309, 40), FB_OK);
  EXPECT_EQ(readFloat(kBlock, -309), 40.0f);
  EXPECT_EQ(state().work.saveWi, 1);
  fx.run(kBlock);
  EXPECT_EQ(state().in.wi, 40.0f) << "the store request takes it into the core";
}

// A refused whole set leaves the pending copies as they were, a change waiting in them
// included.
TEST_F(CtrlBlock, RefusedWholeSetsLeaveThePendingCopies) {
  make();
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_EQ(sendFloat(kBlock, floatId(kW2), 50), FB_OK);
  const std::vector<float> before = pendingFloats(fx, kBlock);

  uint16_t bad = 0;
  EXPECT_EQ(send(wholeSet(fx, kBlock, kW2, 200), &bad), 'l');
  EXPECT_EQ(bad, 4);  // W Block, W0, W100, W2
  EXPECT_EQ(pendingFloats(fx, kBlock), before);

  const std::vector<float> floats(22, 1.0f);
  const uint16_t twoWords[] = {0, 0};
  const uint16_t oneWord[] = {0};
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4000, twoWords, floats)), 'y');
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4000, oneWord, std::span(floats).first(21))), 'z');
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4001, {}, std::span(floats).first(5))), 'z');
  EXPECT_EQ(pendingFloats(fx, kBlock), before);
  EXPECT_EQ(fx.floatParam(kBlock, kW2 + 1), 100.0f) << "still waiting for the run";
}

TEST_F(CtrlBlock, WholeSetOfValuesIsCheckedAgainstTheValuesItBrings) {
  make();
  auto values = [&](uint16_t badAt, uint16_t badValue, float xn0) {
    std::vector<uint16_t> words;
    for (uint16_t i = 1; i <= 13; ++i) words.push_back(fx.wordValue(kBlock, i, true));
    if (badAt) words[badAt - 1] = badValue;
    const float longs[] = {xn0, 100, 1};
    return FB_SetRequest(kBlock, 4010, words, longs);
  };
  uint16_t bad = 0;
  EXPECT_EQ(send(values(kXdp + 1, 4, 0), &bad), 'l');
  EXPECT_EQ(bad, 10);
  EXPECT_EQ(send(values(0, 0, 150), &bad), 'l');
  EXPECT_EQ(bad, 14);
  EXPECT_EQ(fx.wordValue(kBlock, kXdp + 1, true), 0);
  // Stepping with CFail Y2 in one set: the set's own CFunc limits its CFail.
  std::vector<uint16_t> words(13, 0);
  words[kCFunc] = 7;
  words[kCFail] = 3;
  const float longs[] = {0, 100, 1};
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4010, words, longs), &bad), 'l');
  EXPECT_EQ(bad, kCFail + 1);
  words[kCFail] = 2;
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4010, words, longs), &bad), FB_OK);
  EXPECT_EQ(fx.wordValue(kBlock, kCFunc + 1), 7) << "stopped: current at once";
}

TEST_F(CtrlBlock, NewFunctionResetsWhatNoLongerFits) {
  make();
  fx.init(kBlock);
  ASSERT_EQ(sendWord(kBlock, valueId(kCFunc), 4), FB_OK);  // Cont/swi
  ASSERT_EQ(sendFloat(kBlock, 1017, -100), FB_OK);         // Ymin
  ASSERT_EQ(sendWord(kBlock, valueId(kCFunc), 2), FB_OK);  // 2-point
  EXPECT_EQ(fx.floatParam(kBlock, 18, true), 0.0f);
  EXPECT_EQ(fx.floatParam(kBlock, 19, true), 100.0f);
  EXPECT_EQ(fx.floatParam(kBlock, 18), 0.0f) << "stopped: current at once";

  ASSERT_EQ(sendWord(kBlock, valueId(kCFail), 3), FB_OK);  // Y2
  ASSERT_EQ(sendWord(kBlock, valueId(kCovc), 3), FB_OK);   // OVC+/OVC-
  ASSERT_EQ(sendWord(kBlock, valueId(kCFunc), 7), FB_OK);  // Stepping
  EXPECT_EQ(fx.wordValue(kBlock, kCFail + 1, true), 1);    // Ymin
  EXPECT_EQ(fx.wordValue(kBlock, kCovc + 1, true), 0);     // Off
  EXPECT_EQ(fx.floatParam(kBlock, 18, true), 0.0f) << "0..100 still fits";
}

TEST_F(CtrlBlock, ConfigurationWrittenWhileRunningActsAfterTheNextInit) {
  make();
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_EQ(sendWord(kBlock, valueId(kCFunc), 2), FB_OK);
  EXPECT_EQ(fx.wordValue(kBlock, kCFunc + 1, true), 2);
  EXPECT_EQ(fx.wordValue(kBlock, kCFunc + 1), 9);
  fx.run(kBlock);
  EXPECT_EQ(CTRL_Kind(state().config), 9);
  fx.init(kBlock);
  EXPECT_EQ(fx.wordValue(kBlock, kCFunc + 1), 2);
  EXPECT_EQ(CTRL_Kind(state().config), 2);
}

// The change class of a float, handed to the core at once while the device is stopped.
TEST_F(CtrlBlock, ChangedFloatsMarkTheirChangeClass) {
  struct Case {
    uint16_t type, k;
    float value;
    uint8_t CtrlInputs::*field;   // null: nothing marked
    uint8_t set = 255;            // expected changed-set byte
  } cases[] = {
      {BLK_TYPE_CONTR, kW0, 10, &CtrlInputs::gradientMarker},
      {BLK_TYPE_CONTR, kW2, 50, &CtrlInputs::rampRestart},
      {BLK_TYPE_CONTR, kXsh, 1, &CtrlInputs::outputReinit},
      {BLK_TYPE_CONTR, 11, 2, &CtrlInputs::paramReload},   // Xsd1
      {BLK_TYPE_CONTR, 6, 5, nullptr},                      // N0
      {BLK_TYPE_CONTR, kXp1, 50, nullptr, 0},
      {BLK_TYPE_CONTR_PLUS, kXp1 + 6 * 3 + 2, 20, nullptr, 3},  // Tn 4
      {BLK_TYPE_PIDMA, 8, 1, &CtrlInputs::outputReinit},    // Tpause
      {BLK_TYPE_PIDMA, 11, 1, &CtrlInputs::paramReload},    // thron
      {BLK_TYPE_PIDMA, 21, 2, &CtrlInputs::paramReload},    // Kp
  };
  uint8_t CtrlInputs::*flags[] = {&CtrlInputs::gradientMarker, &CtrlInputs::rampRestart,
                                  &CtrlInputs::outputReinit, &CtrlInputs::paramReload};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " float " << c.k);
    BlockFixture f(BLK_RegisterAllTypes);
    f.create(c.type, kBlock);
    f.init(kBlock);
    CtrlBlockState& s = *CTRL_StateOf(kBlock);
    s.in.gradientMarker = s.in.rampRestart = s.in.outputReinit = s.in.paramReload = 0;
    ASSERT_EQ(sendFloat(kBlock, floatId(c.k), c.value), FB_OK);
    EXPECT_EQ(f.floatParam(kBlock, c.k + 1), c.value);
    for (auto flag : flags) EXPECT_EQ(s.in.*flag, flag == c.field ? 1 : 0);
    EXPECT_EQ(s.in.changedSet, c.set);
    EXPECT_EQ(s.changes.changedSet, 255) << "handed over";
    // The same value again marks nothing.
    s.in.gradientMarker = s.in.rampRestart = s.in.outputReinit = s.in.paramReload = 0;
    ASSERT_EQ(sendFloat(kBlock, floatId(c.k), c.value), FB_OK);
    for (auto flag : flags) EXPECT_EQ(s.in.*flag, 0);
  }
}

TEST_F(CtrlBlock, WholeSetMarksNoGradientForW0AndW100) {
  make();
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  std::vector<float> floats = pendingFloats(fx, kBlock);
  floats.resize(22);
  floats[kW0] = 10;
  floats[kW100] = 90;
  floats[kW2] = 50;
  floats[kTm] = 40;
  const uint16_t words[] = {0};
  ASSERT_EQ(send(FB_SetRequest(kBlock, 4000, words, floats)), FB_OK);
  EXPECT_EQ(state().changes.gradient, 0);
  EXPECT_EQ(state().changes.rampRestart, 1);
  EXPECT_EQ(state().changes.reinit, 1);
  EXPECT_EQ(g_fbPending.floats[kBlock], 1);
}

// Floats written while running apply at the block's next run, which saves them; a full
// write ring leaves the flag set and the next run tries again.
TEST_F(CtrlBlock, FloatsTakeOverAtTheNextRunAndSaveWithRetry) {
  make();
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  SaveLog saves(1);
  ASSERT_EQ(sendFloat(kBlock, floatId(kXsh), 0.5f), FB_OK);
  EXPECT_EQ(fx.floatParam(kBlock, kXsh + 1), 0.2f);
  fx.run(kBlock);
  EXPECT_EQ(fx.floatParam(kBlock, kXsh + 1), 0.5f);
  EXPECT_EQ(g_fbPending.floats[kBlock], 1) << "ring full";
  EXPECT_EQ(state().params.xsh, 0.2f) << "prepared only once saved";
  EXPECT_EQ(state().in.outputReinit, 1);
  saves.answerWith(0);
  fx.run(kBlock);
  EXPECT_EQ(g_fbPending.floats[kBlock], 0);
  EXPECT_EQ(state().params.xsh, 0.5f);
  const std::vector<SaveCall> floats = saves.saves(FbSaveGroup::FloatParams);
  ASSERT_EQ(floats.size(), 2u);
  EXPECT_EQ(floats[1], (SaveCall{FbSaveGroup::FloatParams, kBlock, 1, 28}));
}

// ---------------------------------------------------------------------------------------
// Operating commands, saves and reads.

TEST_F(CtrlBlock, OperatorCommandsAreRetainedAndSavedWithRetry) {
  make();
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  SaveLog saves(1);
  ASSERT_EQ(sendWord(kBlock, 507, 1), FB_OK);
  EXPECT_EQ(fx.layout(kBlock).state[0] & 0xFF, 1) << "state words follow at once";
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, kOutOff), 1);
  EXPECT_EQ(state().work.saveOffCmd, 1) << "ring full: kept";
  saves.answerWith(0);
  fx.run(kBlock);
  EXPECT_EQ(state().work.saveOffCmd, 0);
  const std::vector<SaveCall> words = saves.saves(FbSaveGroup::StateWords);
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[1], (SaveCall{FbSaveGroup::StateWords, kBlock, 1, 21}));
  fx.run(kBlock);
  EXPECT_EQ(saves.saves(FbSaveGroup::StateWords).size(), 2u) << "nothing more to save";
}

TEST_F(CtrlBlock, PageManualCommandSwitchesToManual) {
  make();
  fx.init(kBlock);
  state().link.manualCmd = 1;
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, kOutManual), 1);
  EXPECT_EQ(state().retained.manualCmd, 1);
  EXPECT_EQ(state().link.status & CTRL_ST_MANUAL, CTRL_ST_MANUAL);
  state().link.manualCmd = 0;
  fx.run(kBlock, 2);
  EXPECT_EQ(fx.digitalOut(kBlock, kOutManual), 0);
}

// With `oplock` set, `a/m` takes away an operator's manual command given before; without
// it the command stays when `a/m` falls. A command given while `oplock` is set stays too.
TEST_F(CtrlBlock, OplockLetsTheManualInputEndTheOperatorsCommand) {
  for (uint16_t oplock : {0, 1}) {
    SCOPED_TRACE(oplock);
    BlockFixture f(BLK_RegisterAllTypes);
    f.create(BLK_TYPE_CONTR, kBlock);
    f.setDigitalInput(kBlock, 7, 0);   // a/m
    f.setDigitalInput(kBlock, 22, 0);  // oplock
    f.init(kBlock);
    ASSERT_EQ(sendWord(kBlock, 502, 1), FB_OK);
    f.run(kBlock);
    f.setDigitalInput(kBlock, 22, oplock);
    f.setDigitalInput(kBlock, 7, 1);
    f.run(kBlock);
    EXPECT_EQ(f.digitalOut(kBlock, kOutManual), 1);
    f.setDigitalInput(kBlock, 7, 0);
    f.run(kBlock, 2);
    EXPECT_EQ(f.digitalOut(kBlock, kOutManual), oplock ? 0 : 1);
    EXPECT_EQ(CTRL_StateOf(kBlock)->link.manualCmd, oplock ? 0 : 1);
    if (!oplock) continue;
    ASSERT_EQ(sendWord(kBlock, 502, 1), FB_OK);
    f.setDigitalInput(kBlock, 7, 1);
    f.run(kBlock);
    f.setDigitalInput(kBlock, 7, 0);
    f.run(kBlock, 2);
    EXPECT_EQ(f.digitalOut(kBlock, kOutManual), 1) << "latched by the command";
  }
}

// `ostart` and the page's start code request the self-tuning; withdrawn, the core leaves it.
TEST_F(CtrlBlock, SelfTuningStartsFromTheInputOrThePage) {
  make();
  fx.setDigitalInput(kBlock, 17, 0);  // ostart
  fx.init(kBlock);
  fx.run(kBlock);
  fx.setDigitalInput(kBlock, 17, 1);
  fx.run(kBlock);
  EXPECT_EQ(state().work.mode, CtrlMode::Optimisation);
  fx.setDigitalInput(kBlock, 17, 0);
  fx.run(kBlock, 4);  // the optimisation ends its side and clears `o run` first
  EXPECT_EQ(state().work.mode, CtrlMode::Automatic);
  EXPECT_EQ(state().in.optStart, 0);

  CTRL_OptChoiceFunction(state().optChoice.first)(kBlock, 0);  // page: start
  fx.run(kBlock);
  EXPECT_EQ(state().work.mode, CtrlMode::Optimisation);
  EXPECT_EQ(state().pageStart, 1);
  CTRL_OptChoiceFunction(state().optChoice.second)(kBlock, 1);  // page: stop
  fx.run(kBlock, 4);
  EXPECT_EQ(state().work.mode, CtrlMode::Automatic);
  EXPECT_EQ(state().pageStart, 0);
}

TEST_F(CtrlBlock, ReadsAnswerTheirValueWithItsLength) {
  make(BLK_TYPE_CONTR);
  make(BLK_TYPE_CONTR_PLUS, kBlock + 1);
  make(BLK_TYPE_PIDMA, kBlock + 2);
  for (uint16_t b = kBlock; b <= kBlock + 2; ++b) {
    fx.setAnalogInput(b, kX1, 42.5f);
    fx.init(b);
    fx.run(b);
  }
  struct Case {
    uint16_t block;
    int16_t id;
    uint8_t result, length;
    float value;  // as float for 4 bytes, as integer otherwise
  } cases[] = {
      {kBlock, -322, 0, 1, 0},      {kBlock, -326, 0, 1, 0},     {kBlock, -309, 0, 4, 100},
      {kBlock, -6, 0, 4, 42.5f},    {kBlock, -3, 0, 4, 42.5f},   {kBlock, -500, 0, 2, 0},
      {kBlock, -504, 0, 2, 1},      {kBlock, 0, 0, 1, 0},        {kBlock, -10, 0, 1, 2},
      {kBlock, -12, 'i', 0, 0},     {kBlock, -20, 'i', 0, 0},    {kBlock, -318, 'i', 0, 0},
      {kBlock + 1, -318, 0, 4, 1},  {kBlock + 1, -20, 0, 4, 0},  {kBlock + 2, -501, 'i', 0, 0},
      {kBlock + 2, -502, 0, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "block " << c.block << " id " << c.id);
    FbParamRequest r(c.block, c.id);
    g_fbReadLength = 0;
    uint16_t bad = 0;
    EXPECT_EQ(FB_GetType(FB_GetInstance(c.block)[FB_HDR_TYPE])->param(&r, &bad), c.result);
    if (c.result != FB_OK) continue;
    EXPECT_EQ(g_fbReadLength, c.length);
    switch (c.length) {
      case 1: EXPECT_EQ(r.u8(FB_REQUEST_VALUE), c.value); break;
      case 2: EXPECT_EQ(r.u16(FB_REQUEST_VALUE), c.value); break;
      default: EXPECT_EQ(r.f32(FB_REQUEST_VALUE), c.value); break;
    }
  }
}

// The off command is saved in the state words; the engineering image keeps them, and the
// controller comes up off after the image is loaded again.
TEST(CtrlEngineering, OffCommandSurvivesAReload) {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  g_fwEng = FwEngineeringState{};
  std::memset(g_fwImage, 0, FW_IMAGE_SIZE);
  FW_ConnectImage();
  EngBuilder b;
  b.setRunMode(2);
  ASSERT_TRUE(b.addBlock(kBlock, BLK_TYPE_CONTR, 1)) << b.error();
  std::vector<uint8_t> image;
  ASSERT_TRUE(b.build(image)) << b.error();
  std::memcpy(g_fwImage, image.data(), FW_IMAGE_SIZE);
  ASSERT_EQ(FW_LoadEngineering(), 0);
  FB_RunStartupPass();
  FB_RunSchedule();
  uint16_t* off = nullptr;
  ASSERT_EQ(FB_GetDigitalOutputPtr(kBlock, kOutOff, &off), 1);
  EXPECT_EQ(*off, 0);

  ASSERT_EQ(sendWord(kBlock, 507, 1), FB_OK);
  FB_RunSchedule();
  ASSERT_EQ(FB_GetDigitalOutputPtr(kBlock, kOutOff, &off), 1);
  EXPECT_EQ(*off, 1);

  ASSERT_EQ(FW_LoadEngineering(), 0);
  FB_RunStartupPass();
  FB_RunSchedule();
  ASSERT_EQ(FB_GetDigitalOutputPtr(kBlock, kOutOff, &off), 1);
  EXPECT_EQ(*off, 1);
  EXPECT_EQ(CTRL_StateOf(kBlock)->retained.offCmd, 1);
  g_fwRunMode = FW_RUN_MODE_STOP;
  FB_ClearStore();
}

// ---------------------------------------------------------------------------------------
// CONTR+ and PIDMA.

TEST_F(CtrlBlock, WiredParNoChoosesTheSetByValue) {
  struct Case {
    float parNo;
    uint8_t set;
  } cases[] = {{0, 0}, {9, 5}, {3.7f, 2}, {kNaN, 0}, {1.5e37f, 5}, {-1.5e37f, 0}, {kInf, 5}};
  make(BLK_TYPE_CONTR_PLUS);
  fx.setAnalogInput(kBlock, 10, 1);
  fx.init(kBlock);
  EXPECT_EQ(CTRL_SetSelect(state().config), CTRL_SET_BY_VALUE);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parNo);
    fx.setAnalogInput(kBlock, 10, c.parNo);
    fx.run(kBlock);
    EXPECT_EQ(state().in.paramSetNumber, c.set);
    EXPECT_EQ(fx.analogOut(kBlock, 8), c.set + 1.0f) << "output ParNo: the active set";
  }
  EXPECT_EQ(sendFloat(kBlock, 318, 4), FB_OK) << "accepted without effect";
  EXPECT_EQ(state().retained.paramSet, 0);
}

TEST_F(CtrlBlock, ParameterSetByOperationIsRetained) {
  make(BLK_TYPE_CONTR_PLUS);
  fx.init(kBlock);
  EXPECT_EQ(CTRL_SetSelect(state().config), CTRL_SET_BY_SWITCH);
  EXPECT_EQ(sendFloat(kBlock, 318, 7), 'l');
  EXPECT_EQ(sendFloat(kBlock, 318, 0), 'l');
  EXPECT_EQ(sendFloat(kBlock, 318, kNaN), 'l');
  EXPECT_EQ(sendFloat(kBlock, 318, 3), FB_OK);
  EXPECT_EQ(state().in.paramSetSelect, 2);
  EXPECT_EQ(state().retained.paramSet, 2);
  EXPECT_EQ(state().work.saveParamSet, 1);
  fx.init(kBlock);  // the start-up loads the retained set
  fx.run(kBlock);
  EXPECT_EQ(fx.analogOut(kBlock, 8), 3.0f);
}

TEST_F(CtrlBlock, ContrPlusWritesOneParameterSet) {
  make(BLK_TYPE_CONTR_PLUS);
  fx.init(kBlock);
  const float set[] = {50, 60, 20, 5, 2, 3};
  ASSERT_EQ(send(FB_SetRequest(kBlock, 4003, {}, set)), FB_OK);
  for (uint16_t i = 0; i < 6; ++i) EXPECT_EQ(fx.floatParam(kBlock, kXp1 + 12 + i + 1), set[i]) << i;
  EXPECT_EQ(fx.floatParam(kBlock, kXp1 + 1), 100.0f) << "set 1 untouched";
  EXPECT_EQ(state().in.changedSet, 2);
  const float bad[] = {50, 60, 20, 5, 0.1f, 3};  // Tp1 below 0.4
  uint16_t badIndex = 0;
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4006, {}, bad), &badIndex), 'l');
  EXPECT_EQ(badIndex, 5);
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4007, {}, set)), 'i');
}

// `POpt` counts its sets from 1: the core's set is POpt - 1, kept within the six sets.
TEST_F(CtrlBlock, POptAddressesTheCoresSetsFromZero) {
  struct Case {
    uint16_t popt;
    uint8_t set;
  } cases[] = {{1, 0}, {6, 5}, {200, 5}, {0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.popt);
    BlockFixture f(BLK_RegisterAllTypes);
    f.create(BLK_TYPE_CONTR_PLUS, kBlock);
    f.wordParam(kBlock, 1) = c.popt;  // as a stored image may hold it
    f.init(kBlock);
    EXPECT_EQ(CTRL_StateOf(kBlock)->params.pOpt, c.set);
  }
  BlockFixture f(BLK_RegisterAllTypes);
  f.create(BLK_TYPE_CONTR_PLUS, kBlock);
  EXPECT_EQ(sendWord(kBlock, 1250, 7), 'l');
  EXPECT_EQ(sendWord(kBlock, 1250, 0), 'l');
  EXPECT_EQ(sendWord(kBlock, 1250, 6), FB_OK);
}

TEST_F(CtrlBlock, PidmaHandlerHasItsOwnListAndSets) {
  make(BLK_TYPE_PIDMA);
  fx.init(kBlock);
  uint16_t bad = 0;
  std::vector<float> floats = pendingFloats(fx, kBlock);
  const uint16_t words[] = {1, 0, 1, 0};
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4000, words, std::span(floats).first(22)), &bad), FB_OK);
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4000, std::span(words).first(1), std::span(floats).first(22))),
            'y');
  const float set[] = {30, 5, 4, 4, 2, 0.5f, 0.5f, 12, 0};  // Tn .. Xsh
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4001, {}, set)), FB_OK);
  EXPECT_EQ(fx.floatParam(kBlock, 23), 30.0f);
  EXPECT_EQ(state().handEdited, 1);
  EXPECT_EQ(sendWord(kBlock, 501, 1), 'i');
  EXPECT_EQ(sendWord(kBlock, 1252, 4), 'l');  // CSpeed 1..3
  EXPECT_EQ(sendWord(kBlock, valueId(0), 6), FB_OK);  // Stepping
  EXPECT_EQ(sendWord(kBlock, valueId(4), 3), 'l');    // CFail 0..2 for Stepping
  EXPECT_EQ(CTRL_StateOf(kBlock)->params.sets[0].xp1, 1.0f) << "Kp heads the extension's set";
  const std::vector<uint16_t> values(10, 0);
  const float longs[] = {0, 100, 1};
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4010, values, longs)), FB_OK);
  EXPECT_EQ(send(FB_SetRequest(kBlock, 4010, std::vector<uint16_t>(13, 0), longs)), 'y');
}

// In automatic mode with every output function and controller type, extreme values at any
// analog input leave the outputs and what the pages read finite and within range.
TEST(CtrlBadInput, ExtremeInputsInAutomaticStayBounded) {
  const float values[] = {kNaN, kInf, -kInf, 1.5e37f, -1.5e37f, std::numeric_limits<float>::max()};
  auto bounded = [](float v) { return std::isfinite(v) && std::fabs(v) <= FW_VALUE_MAX; };
  for (uint16_t type : {BLK_TYPE_CONTR, BLK_TYPE_CONTR_PLUS}) {
    for (uint16_t cfunc = 0; cfunc <= 11; ++cfunc) {
      for (uint16_t ctype = 0; ctype <= 2; ++ctype) {
        for (float v : values) {
          for (uint16_t input = 1; input <= (type == BLK_TYPE_CONTR ? 9 : 10); ++input) {
            BlockFixture f(BLK_RegisterAllTypes);
            f.create(type, kBlock);
            f.wordValue(kBlock, kCFunc + 1, true) = cfunc;
            f.wordValue(kBlock, 2, true) = ctype;
            for (uint16_t i = 1; i <= (type == BLK_TYPE_CONTR ? 9 : 10); ++i) {
              f.setAnalogInput(kBlock, i, i == input ? v : 50.0f);
            }
            f.init(kBlock);
            f.run(kBlock, 3);
            const FbLayout L = f.layout(kBlock);
            const CtrlBlockState& s = *CTRL_StateOf(kBlock);
            bool ok = bounded(s.display.value[0]) && bounded(s.display.value[1]) &&
                      bounded(s.display.y.value) && bounded(s.link.x.value) &&
                      bounded(s.link.w.value) && bounded(s.link.setpoint.value);
            for (uint16_t o = 1; o <= L.analogOutputs; ++o) ok = ok && bounded(f.analogOut(kBlock, o));
            if (!ok) {
              ADD_FAILURE() << "type " << type << " CFunc " << cfunc << " C-type " << ctype
                            << " input " << input << " = " << v;
              return;
            }
          }
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------------------
// Cascade.

TEST_F(CtrlBlock, CascadeLinksToAControllersBlockNumberOnly) {
  struct Case {
    uint16_t masterType, output;
    uint16_t flag;
  } cases[] = {
      {BLK_TYPE_CONTR, 8, CTRL_FLAG_SLAVE},     {BLK_TYPE_PIDMA, 8, CTRL_FLAG_SLAVE},
      {BLK_TYPE_CONTR_PLUS, 9, CTRL_FLAG_SLAVE}, {BLK_TYPE_CONTR_PLUS, 8, CTRL_FLAG_CASCADE_ERROR},
      {BLK_TYPE_CONTR, 3, CTRL_FLAG_CASCADE_ERROR},   {FIXTURE_SOURCE_TYPE, 1, CTRL_FLAG_CASCADE_ERROR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "master type " << c.masterType << " output " << c.output);
    BlockFixture f(BLK_RegisterAllTypes);
    f.create(c.masterType, 200);
    f.create(BLK_TYPE_CONTR, kBlock);
    f.wireAnalogInput(kBlock, kCasc, 200, c.output);
    if (c.masterType != FIXTURE_SOURCE_TYPE) f.init(200);
    f.init(kBlock);
    CtrlBlockState& s = *CTRL_StateOf(kBlock);
    EXPECT_EQ(s.link.flags & (CTRL_FLAG_SLAVE | CTRL_FLAG_CASCADE_ERROR), c.flag);
    f.run(kBlock);
    if (c.flag == CTRL_FLAG_SLAVE) {
      EXPECT_EQ(CTRL_StateOf(200)->link.flags & CTRL_FLAG_MASTER, CTRL_FLAG_MASTER);
      EXPECT_EQ(CTRL_StateAt(s.master), CTRL_StateOf(200));
    }
  }
}

TEST_F(CtrlBlock, CascWiredElsewhereNeverRunsTheCore) {
  make();
  fx.setAnalogInput(kBlock, kCasc, kNaN);
  fx.setAnalogInput(kBlock, kX1, 50);
  fx.init(kBlock);
  fx.run(kBlock, 5);
  EXPECT_EQ(fx.analogOut(kBlock, kAoX), 0.0f);
  EXPECT_EQ(fx.analogOut(kBlock, kAoBlNo), static_cast<float>(kBlock));
  EXPECT_EQ(fx.digitalOut(kBlock, kOutWeWi), 1);
  EXPECT_EQ(state().work.firstCycle, 1) << "no core cycle after CTRL_Init";
}

// A slave on its external setpoint passes the operator's setpoint to its master.
TEST_F(CtrlBlock, FollowingSlavePassesSetpointsToTheMaster) {
  make(BLK_TYPE_CONTR, 200);
  make(BLK_TYPE_CONTR, kBlock);
  fx.wireAnalogInput(kBlock, kCasc, 200, 8);
  fx.wordValue(kBlock, kSpFunc + 1, true) = CTRL_SP_CASCADE;
  fx.setDigitalInput(kBlock, kInWeWi, 0);
  fx.init(200);
  fx.init(kBlock);
  fx.run(kBlock, 2);
  CtrlBlockState& slave = state(kBlock);
  EXPECT_EQ(slave.link.flags & CTRL_FLAG_SLAVE_FOLLOWS, CTRL_FLAG_SLAVE_FOLLOWS);
  slave.link.offeredSetpoint = 40;
  slave.link.setpointOffered = 1;
  fx.run(kBlock);
  EXPECT_EQ(slave.link.setpointOffered, 0);
  fx.run(200);
  EXPECT_EQ(state(200).in.wi, 40.0f);
  EXPECT_EQ(state(200).link.setpointOffered, 0);
  fx.run(kBlock);
  EXPECT_EQ(slave.link.setpoint.value, 40.0f) << "the slave shows the master's setpoint";

  // The slave's display request shows the master's deviation (its `Disp` is 1), and the
  // master's own return request brings back its configured display.
  fx.wordValue(kBlock, 11) = 1;
  slave.link.flags |= CTRL_FLAG_PAGE_OPEN;
  fx.run(kBlock);
  EXPECT_EQ(slave.link.flags & CTRL_FLAG_PAGE_OPEN, 0);
  fx.run(200);
  EXPECT_EQ(state(200).display.mode & 0xF, CTRL_DISPLAY_DEVIATION);
  state(200).link.flags |= CTRL_FLAG_PAGE_OPEN;
  fx.run(200);
  EXPECT_EQ(state(200).display.mode & 0xF, CTRL_DISPLAY_OUTPUT);
  EXPECT_EQ(state(200).link.flags & (CTRL_FLAG_SHOW_DEVIATION | CTRL_FLAG_SHOW_PROCESS), 0);
}

// ---------------------------------------------------------------------------------------
// Page records.

TEST_F(CtrlBlock, SetpointChoicesStepOverWhatIsNotAvailable) {
  make();
  fx.wordValue(kBlock, kSpFunc + 1, true) = CTRL_SP_CASCADE;
  fx.init(kBlock);
  ASSERT_EQ(sendWord(kBlock, 504, 1), FB_OK);  // internal: choice 1 (to external)
  uint8_t f[5];
  CTRL_SetpointChoices(kBlock, f);
  EXPECT_EQ(std::vector<uint8_t>(f, f + 5), (std::vector<uint8_t>{1, 1, 0, 1, 0}));
  EXPECT_EQ(state().link.flags & 0x1E00, CTRL_FLAG_CHOICE1 | CTRL_FLAG_CHOICE3);
  struct Case {
    uint16_t from, prev, next;
  } cases[] = {{0, 0, 1}, {1, 0, 3}, {2, 1, 3}, {3, 1, 3}, {4, 3, 3}, {9, 3, 3}};
  for (const Case& c : cases) {
    EXPECT_EQ(CTRL_PrevSetpointChoice(kBlock, c.from), c.prev) << c.from;
    EXPECT_EQ(CTRL_NextSetpointChoice(kBlock, c.from), c.next) << c.from;
  }
  const CtrlSetpointChoice& d = state().setpointChoice;
  EXPECT_EQ(CTRL_ChoiceStepFunction(d.next)(kBlock, 1), 3);
  EXPECT_EQ(CTRL_ChoiceMapFunction(d.toPage)(0), 1);
  EXPECT_EQ(CTRL_ChoiceMapFunction(d.fromPage)(1), 0);
  EXPECT_EQ(CTRL_ChoiceMapFunction(d.fromPage)(3), 3);
  EXPECT_EQ(d.edit, 2);
  EXPECT_EQ(CTRL_ChoiceStepFunction(d.toPage), nullptr);
  CTRL_OptChoiceFunction(state().optChoice.first)(kBlock, 7);
  EXPECT_EQ(state().link.optCode, CTRL_OPT_START);
  CTRL_OptChoiceFunction(state().optChoice.second)(kBlock, 3);
  EXPECT_EQ(state().link.optCode, CTRL_OPT_STOP);
}

TEST_F(CtrlBlock, DisplayModesSetTheDisplayRecord) {
  make();
  fx.wordValue(kBlock, kCFunc + 1, true) = 3;  // 3-point
  fx.wordValue(kBlock, kXdp + 1, true) = 2;
  fx.init(kBlock);
  const CtrlDisplay& p = state().display;
  EXPECT_EQ(p.mode, CTRL_DISPLAY_OUTPUT);
  EXPECT_EQ(p.low, -100.0f);
  CTRL_SetDisplayMode(1, kBlock);
  EXPECT_EQ(p.mode, CTRL_DISPLAY_DEVIATION);
  EXPECT_EQ(p.high, 10.0f);
  EXPECT_EQ(p.decimals, 2);
  EXPECT_EQ(p.step, 3);
  CTRL_SetDisplayMode(2, kBlock);
  EXPECT_EQ(p.mode, CTRL_DISPLAY_PROCESS);
  EXPECT_EQ(p.scaleHigh, 100.0f);
  // The parameter pages show W0 with the decimals of `XDp`.
  int16_t status = 0;
  FB_ReadValuesByClass(1, kBlock, &status);
  ASSERT_EQ(status, 1);
  bool found = false;
  for (uint16_t r = 0; r < g_fbValueLists.rowCount; ++r) {
    if (g_fbValueLists.rows[r].sub != 1000) continue;
    found = true;
    EXPECT_EQ(FW_GetFieldAccess(g_fbValueLists.rows[r].entry), 2);
  }
  EXPECT_TRUE(found);
}

// ---------------------------------------------------------------------------------------
// Self-tuning.

// Ids 314 and 313 reach the manual output: a value to take over, then a step added to it.
TEST_F(CtrlBlock, ManualOutputValueAndStepReachTheOutput) {
  make();
  fx.init(kBlock);
  ASSERT_EQ(sendWord(kBlock, 502, 1), FB_OK);
  fx.run(kBlock, 2);
  ASSERT_EQ(fx.digitalOut(kBlock, kOutManual), 1);
  ASSERT_EQ(sendFloat(kBlock, 314, 40), FB_OK);
  fx.run(kBlock);
  EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 3), 40);
  ASSERT_EQ(sendFloat(kBlock, 313, 5), FB_OK);
  fx.run(kBlock);
  EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 3), 45);
  fx.run(kBlock);
  EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 3), 45) << "once";
}

// A controller on a test process (two lags after a dead time) runs the self-tuning to its
// end: `o run` falls without `o err`, the tuned set lies within its limits, is taken over
// and saved, and the controller returns to automatic with it.
TEST_F(CtrlBlock, SelfTuningOnATestProcessTakesAndSavesTheTunedSet) {
  struct Case {
    const char* what;
    uint16_t type, cfunc, popt;
    float coolGain;
    uint16_t firstSetFloat;  // 0-based index of the tuned set's Xp1
  } cases[] = {
      {"CONTR, continuous", BLK_TYPE_CONTR, 9, 0, 1, kXp1},
      {"CONTR+ with POpt 6", BLK_TYPE_CONTR_PLUS, 9, 6, 1, kXp1 + 30},
      {"CONTR, three-point", BLK_TYPE_CONTR, 3, 0, 2, kXp1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFixture f(BLK_RegisterAllTypes);
    f.create(c.type, kBlock);
    if (c.popt) {
      ASSERT_EQ(sendWord(kBlock, 1250, c.popt), FB_OK);
    }
    ASSERT_EQ(sendWord(kBlock, valueId(kCFunc), c.cfunc), FB_OK);
    if (c.cfunc == 3) {
      ASSERT_EQ(sendFloat(kBlock, floatId(17), -100), FB_OK);  // Ymin: the cooling side
    }
    ASSERT_EQ(sendFloat(kBlock, floatId(c.firstSetFloat + 3), 0), FB_OK);  // Tv 0: PI
    ASSERT_EQ(sendFloat(kBlock, floatId(20), 0), FB_OK);                   // YOptm
    ASSERT_EQ(sendFloat(kBlock, floatId(21), 40), FB_OK);                  // dYopt
    ASSERT_EQ(sendFloat(kBlock, 309, 60), FB_OK);                          // Wi
    CtrlTestProcess proc;
    proc.settle(0);
    proc.coolGain = c.coolGain;
    f.setAnalogInput(kBlock, kX1, proc.x());
    f.setDigitalInput(kBlock, 17, 0);  // ostart
    f.init(kBlock);
    const std::vector<float> before = pendingFloats(f, kBlock);
    g_fwRunMode = FW_RUN_MODE_RUN;
    SaveLog saves;
    f.run(kBlock);
    f.setDigitalInput(kBlock, 17, 1);
    CtrlBlockState& s = *CTRL_StateOf(kBlock);
    bool shownWaiting = false, shownCooling = false;
    int n = 0;
    for (bool started = false; n < 100000; ++n) {
      f.setAnalogInput(kBlock, kX1, proc.step(f.analogOut(kBlock, 3)));
      f.run(kBlock);
      shownWaiting = shownWaiting || s.display.optCode == CTRL_OPT_STAGE_HEAT_STEP;
      shownCooling = shownCooling || s.display.optCode == CTRL_OPT_STAGE_COOL_STEP;
      started = started || f.digitalOut(kBlock, 9);
      if (started && !f.digitalOut(kBlock, 9)) break;
    }
    ASSERT_LT(n, 100000) << "o run falls";
    EXPECT_EQ(f.digitalOut(kBlock, 11), 0) << "o err";
    EXPECT_TRUE(shownWaiting);
    EXPECT_EQ(shownCooling, c.cfunc == 3);
    EXPECT_NE(s.retained.optResultHeat, 0);
    EXPECT_EQ(s.retained.optResultCool != 0, c.cfunc == 3);
    if (c.cfunc == 3) {
      EXPECT_NEAR(s.retained.vmaxCool, 2 * s.retained.vmaxHeat, 0.1f * s.retained.vmaxHeat)
          << "cooling twice as strong";
    }
    f.run(kBlock, 3);
    EXPECT_EQ(s.work.mode, CtrlMode::Automatic);

    // The tuned set: in CtrlParams, current and pending, within the limits; the rest kept.
    const uint8_t set = static_cast<uint8_t>(c.popt ? c.popt - 1 : 0);
    const CtrlParamSet& t = s.params.sets[set];
    const float tuned[6] = {t.xp1, t.xp2, t.tn, t.tv, t.tp1, t.tp2};
    EXPECT_NE(t.xp1, 100.0f);
    EXPECT_EQ(t.tv, 0.0f);
    g_fwRunMode = FW_RUN_MODE_STOP;
    for (uint16_t i = 0; i < 6; ++i) {
      const uint16_t k = static_cast<uint16_t>(c.firstSetFloat + i);
      EXPECT_EQ(f.floatParam(kBlock, k + 1), tuned[i]) << i;
      EXPECT_EQ(f.floatParam(kBlock, k + 1, true), tuned[i]) << i;
      EXPECT_EQ(sendFloat(kBlock, floatId(k), tuned[i]), FB_OK) << "within the limits " << i;
    }
    const std::vector<float> after = pendingFloats(f, kBlock);
    for (uint16_t k = 0; k < after.size(); ++k) {
      if (k < c.firstSetFloat || k >= c.firstSetFloat + 6) {
        EXPECT_EQ(after[k], before[k]) << k;
      }
    }
    const uint16_t floats = c.type == BLK_TYPE_CONTR_PLUS ? 58 : 28;
    const std::vector<SaveCall> floatSaves = saves.saves(FbSaveGroup::FloatParams);
    ASSERT_FALSE(floatSaves.empty());
    EXPECT_EQ(floatSaves.back(), (SaveCall{FbSaveGroup::FloatParams, kBlock, 1, floats}));
    EXPECT_EQ(floatSaves.size(), c.cfunc == 3 ? 2u : 1u) << "the heating side, then both";
    EXPECT_FALSE(saves.saves(FbSaveGroup::StateWords).empty()) << "the results";
    EXPECT_EQ(s.work.set.xp1, s.params.sets[s.out.activeSet].xp1);
  }
}

// A step that the output limit cuts below 5 % ends with result 7: `o err`, the page shows
// the error code, and withdrawing `ostart` returns to automatic.
TEST_F(CtrlBlock, SelfTuningErrorShowsItsCodeUntilWithdrawn) {
  make();
  ASSERT_EQ(sendFloat(kBlock, floatId(20), 98), FB_OK);  // YOptm
  ASSERT_EQ(sendFloat(kBlock, floatId(21), 5), FB_OK);   // dYopt
  ASSERT_EQ(sendFloat(kBlock, 309, 60), FB_OK);
  fx.setAnalogInput(kBlock, kX1, 20);
  fx.setDigitalInput(kBlock, 17, 0);
  fx.init(kBlock);
  fx.run(kBlock);
  fx.setDigitalInput(kBlock, 17, 1);
  int n = 0;
  while (!fx.digitalOut(kBlock, 11) && n++ < 2000) fx.run(kBlock);
  fx.run(kBlock);
  EXPECT_EQ(state().retained.optResultHeat, CTRL_ORES_SMALL_STEP);
  EXPECT_EQ(state().display.optResult[0], CTRL_ORES_SMALL_STEP);
  EXPECT_EQ(state().display.optCode, 9) << "error without the second flag";
  EXPECT_EQ(state().link.status & CTRL_ST_OPT_FAILED, CTRL_ST_OPT_FAILED);
  EXPECT_FLOAT_EQ(fx.analogOut(kBlock, 3), 98);
  fx.setDigitalInput(kBlock, 17, 0);
  fx.run(kBlock, 3);
  EXPECT_EQ(fx.digitalOut(kBlock, 9), 0);
  EXPECT_EQ(state().work.mode, CtrlMode::Automatic);
  EXPECT_EQ(state().display.optCode, 0);
}

// ---------------------------------------------------------------------------------------
// PIDMA over its extension.

// Slots of PIDMA (1-based) and its parameters (0-based).
enum : uint16_t { kPidmaOstart = 14, kPidmaOutAm = 5, kPidmaOutRun = 8, kPidmaOutErr = 9 };
enum : uint16_t { kPidmaKp = 21, kPidmaFloats = 31 };

CtrlExtension& extensionOf(uint16_t block = kBlock) {
  CtrlExtension* x = CTRL_Extension(CTRL_StateOf(block)->work);
  EXPECT_NE(x, nullptr);
  static CtrlExtension none;
  return x ? *x : none;
}

// The eight floats Kp, Tn, Tv, Tp1, Tp2, VD, bW_p, cW_d of a PIDMA (current or pending).
std::vector<float> pidmaSet(BlockFixture& fx, bool pending = false) {
  std::vector<float> v;
  for (uint16_t i = 0; i < 8; ++i) v.push_back(fx.floatParam(kBlock, kPidmaKp + 1 + i, pending));
  return v;
}

TEST_F(CtrlBlock, PidmaRunsTheCoreOverItsExtensionAndHandsItsWordsOver) {
  make(BLK_TYPE_PIDMA);
  make(BLK_TYPE_CONTR, kBlock + 1);
  fx.init(kBlock);
  fx.init(kBlock + 1);
  EXPECT_NE(CTRL_ExtensionOf(kBlock), nullptr);
  EXPECT_EQ(CTRL_ExtensionOf(kBlock + 1), nullptr) << "CONTR has no extension";
  const CtrlExtension& x = *CTRL_ExtensionOf(kBlock);
  EXPECT_EQ(x.structure, CTRL_STRUCT_PID);
  EXPECT_EQ(x.kp, 1.0f);
  EXPECT_EQ(x.adoptMax[CTRL_ADOPT_BW], 1.0f) << "the block's limit records";
  EXPECT_EQ(x.adoptMin[CTRL_ADOPT_VD], 1.0f);
  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_EQ(sendWord(kBlock, 1250, 2), FB_OK);  // PType "integral"
  ASSERT_EQ(sendWord(kBlock, 1251, 1), FB_OK);  // Drift "on"
  ASSERT_EQ(sendWord(kBlock, 1252, 3), FB_OK);  // CSpeed "fast"
  fx.run(kBlock, 2);
  EXPECT_EQ(x.processType, CTRL_PTYPE_INTEGRAL);
  EXPECT_EQ(x.drift, 1);
  EXPECT_EQ(x.speed, 3);
  fx.setAnalogInput(kBlock, 1, 40);  // X below W (100): the PID acts
  fx.run(kBlock, 300);
  EXPECT_GT(fx.analogOut(kBlock, 3), 0.0f);
  EXPECT_EQ(fx.analogOut(kBlock, 3), x.output);
}

// An adopted proposal retunes when CSpeed changes: the set becomes the block's current and
// pending parameters, saved with retry; a proposal beyond a limit record is adopted at the
// limit. Kp written by hand ends the retuning.
TEST_F(CtrlBlock, PidmaSavesTheParametersItsExtensionAdopts) {
  struct Case {
    float k;
    std::vector<float> set;
  } cases[] = {
      {1.0f, {0.567f, 9.563f, 2.132f, 5, 5, 4, 0, 0}},
      {1e-7f, {999999, 9.563f, 2.132f, 5, 5, 4, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.k);
    BlockFixture f(BLK_RegisterAllTypes);
    f.create(BLK_TYPE_PIDMA, kBlock);
    f.init(kBlock);
    f.run(kBlock, 5);
    CtrlExtension& x = extensionOf();
    x.modelK = c.k;  // the model of an earlier test, whose proposal was adopted
    x.modelE = 20;
    x.modelS = 0.3f;
    x.resultsValid = 1;
    x.adopted = 1;
    g_fwRunMode = FW_RUN_MODE_RUN;
    SaveLog saves;
    ASSERT_EQ(sendWord(kBlock, 1252, 2), FB_OK);  // CSpeed "norm"
    f.run(kBlock);
    EXPECT_EQ(x.cspeedWord, 2);
    saves.answerWith(1);
    f.run(kBlock);
    EXPECT_EQ(pidmaSet(f), c.set);
    EXPECT_EQ(pidmaSet(f, true), c.set);
    EXPECT_EQ(g_fbPending.floats[kBlock], 1) << "ring full: saved at the next run";
    saves.answerWith(0);
    f.run(kBlock);
    EXPECT_EQ(g_fbPending.floats[kBlock], 0);
    const std::vector<SaveCall> floats = saves.saves(FbSaveGroup::FloatParams);
    ASSERT_FALSE(floats.empty());
    EXPECT_EQ(floats.back(), (SaveCall{FbSaveGroup::FloatParams, kBlock, 1, kPidmaFloats}));
    EXPECT_EQ(CTRL_StateOf(kBlock)->params.sets[0].xp1, c.set[0]);
    f.run(kBlock, 2);
    EXPECT_EQ(x.kp, c.set[0]) << "the controller works with the adopted set";

    ASSERT_EQ(sendFloat(kBlock, floatId(kPidmaKp), 2.0f), FB_OK);
    f.run(kBlock);
    EXPECT_EQ(x.adopted, 0);
    ASSERT_EQ(sendWord(kBlock, 1252, 3), FB_OK);
    f.run(kBlock, 3);
    EXPECT_EQ(f.floatParam(kBlock, kPidmaKp + 1), 2.0f) << "no retuning after a hand change";
    EXPECT_EQ(x.speed, 3);
  }
  g_fwRunMode = FW_RUN_MODE_STOP;
}

// A test started from manual on a process that the test closes through the block's Y: at
// its end the controller is back in automatic with the proposal as its saved parameters.
TEST_F(CtrlBlock, PidmaTestFromManualEndsInAutomaticWithTheSavedProposal) {
  make(BLK_TYPE_PIDMA);
  fx.setDigitalInput(kBlock, kPidmaOstart, 0);
  fx.setAnalogInput(kBlock, 1, 0);
  fx.init(kBlock);
  ASSERT_EQ(sendFloat(kBlock, 309, 50.0f), FB_OK);  // Wi
  CtrlPlantModelRecord plant{};
  CtrlPlantCall call{.u = 0, .y = 0, .dt = 0.1f, .k = 1, .tu = 2, .tg = 30, .initialise = 1,
                     .model = &plant};
  CTRL_PlantModel(&call);
  auto run = [&](int n) {
    for (int i = 0; i < n; ++i) {
      call.u = fx.analogOut(kBlock, 3);
      call.initialise = 0;
      CTRL_PlantModel(&call);
      fx.setAnalogInput(kBlock, 1, call.y);
      fx.run(kBlock);
    }
  };
  run(6000);
  ASSERT_NEAR(fx.analogOut(kBlock, 2), 50.0f, 0.5f);
  ASSERT_EQ(sendWord(kBlock, 502, 1), FB_OK);  // manual: the output stays where it was
  run(50);
  ASSERT_EQ(fx.digitalOut(kBlock, kPidmaOutAm), 1);
  g_fwRunMode = FW_RUN_MODE_RUN;
  SaveLog saves;
  fx.setDigitalInput(kBlock, kPidmaOstart, 1);
  run(1);
  const CtrlExtension& x = *CTRL_ExtensionOf(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, kPidmaOutRun), 1);
  EXPECT_EQ(x.fromManual, 1);
  EXPECT_EQ(x.statusText, CTRL_EXT_TEXT_NOISE);
  int n = 0;
  while (fx.digitalOut(kBlock, kPidmaOutRun) && n++ < 20000) run(1);
  ASSERT_EQ(fx.digitalOut(kBlock, kPidmaOutRun), 0);
  EXPECT_EQ(x.failed, 0) << "error " << x.error;
  run(2);
  EXPECT_EQ(fx.digitalOut(kBlock, kPidmaOutErr), 0);
  EXPECT_EQ(fx.digitalOut(kBlock, kPidmaOutAm), 0) << "back in automatic";
  EXPECT_EQ(state().work.mode, CtrlMode::Automatic);
  EXPECT_EQ(state().retained.manualCmd, 0);
  EXPECT_EQ(fx.floatParam(kBlock, kPidmaKp + 1),
            std::trunc(x.proposal[CTRL_ADOPT_KP] * 1000 + 0.5f) / 1000);
  EXPECT_NE(fx.floatParam(kBlock, kPidmaKp + 1), 1.0f);
  EXPECT_EQ(saves.saves(FbSaveGroup::FloatParams).size(), 1u);
  EXPECT_FALSE(saves.saves(FbSaveGroup::StateWords).empty());
  run(3000);
  EXPECT_NEAR(fx.analogOut(kBlock, 2), 50.0f, 0.5f);
  g_fwRunMode = FW_RUN_MODE_STOP;
}

}  // namespace
