// The built-in plant: the two-lag fit and the process model, the output simulation by output
// kind, the controller view of the plant link, and the loop closed through the hardware
// adapter with the plant's process value read by the input block 81.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "blocks/ctrl/ctrl.h"
#include "blocks/ctrl/ctrl_ext.h"
#include "blocks/ctrl/ctrl_plant.h"
#include "blocks/io/io.h"
#include "blocks/register_all.h"
#include "firmware/fw_plant.h"
#include "runtime/fb_param.h"
#include "runtime/fw_io.h"
#include "support/adapter_firmware.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// ---------------------------------------------------------------------------------------
// Process model.

// A model set up from K, Tu and Tg.
CtrlPlantModelRecord setUp(float k, float tu, float tg, CtrlPlantModelRecord m = {}) {
  CtrlPlantCall call{.u = 0, .y = 0, .dt = 0.1f, .k = k, .tu = tu, .tg = tg, .initialise = 1, .model = &m};
  CTRL_PlantModel(&call);
  return m;
}

float step(CtrlPlantModelRecord& m, float u) {
  CtrlPlantCall call{.u = u, .y = -1, .dt = 0.1f, .k = 0, .tu = 0, .tg = 0, .initialise = 0, .model = &m};
  CTRL_PlantModel(&call);
  return call.y;
}

// Delay time and rise time read off a simulated unit step response: the tangent at the
// steepest point.
struct Measured {
  double delay, rise, last;
};
Measured measureStep(CtrlPlantModelRecord m, int steps) {
  std::vector<double> y(1, 0.0);
  for (int i = 0; i < steps; ++i) y.push_back(step(m, 1.0f));
  size_t at = 1;
  for (size_t i = 1; i + 1 < y.size(); ++i) {
    if (y[i + 1] - y[i - 1] > y[at + 1] - y[at - 1]) at = i;
  }
  const double slope = (y[at + 1] - y[at - 1]) / 0.2;
  const double t = 0.1 * static_cast<double>(at);
  return {t - y[at] / slope, 1.0 / slope, y.back()};
}

TEST(PlantModel, TheFitMeetsDelayAndRiseTime) {
  float t1 = 0, t2 = 0;
  CTRL_TwoLagFit(10.0f, 100.0f, &t1, &t2);
  EXPECT_NEAR(t1, 28.2f, 0.05f);
  EXPECT_NEAR(t2, 46.1f, 0.05f);
  const CtrlPlantModelRecord m = setUp(1.0f, 10.0f, 100.0f);
  EXPECT_EQ(m.a[0], 1.0f);
  EXPECT_FLOAT_EQ(m.a[1], t1 + t2);
  EXPECT_FLOAT_EQ(m.a[2], t1 * t2);
  // The simulated response: the tangent's intercepts lie within the fit's tolerance plus
  // the sampling of 0.1 s.
  const Measured r = measureStep(m, 10000);
  EXPECT_NEAR(r.delay, 10.0, 0.1);
  EXPECT_NEAR(r.rise, 100.0, 0.1);
  EXPECT_NEAR(r.last, 1.0, 0.01);
}

TEST(PlantModel, SettingsItCannotFitLeaveTheModelAsItWas) {
  const CtrlPlantModelRecord before = setUp(2.0f, 5.0f, 100.0f);
  struct Case {
    float k, tu, tg;
  };
  const Case cases[] = {{1, 20, 100}, {1, 0, 100},    {1, -1, 100}, {1, 5, 0},     {1, 5, -100},
                        {1, kNaN, 100}, {1, 5, kNaN}, {kNaN, 5, 100}, {kInf, 5, 100}, {1, 1e37f, 1e38f}};
  for (const Case& c : cases) {
    const CtrlPlantModelRecord after = setUp(c.k, c.tu, c.tg, before);
    EXPECT_EQ(std::memcmp(&after, &before, sizeof before), 0) << c.k << " " << c.tu << " " << c.tg;
  }
}

TEST(PlantModel, ASetUpStartsFromTheZeroState) {
  CtrlPlantModelRecord fresh = setUp(1.0f, 2.0f, 40.0f);
  CtrlPlantModelRecord used = fresh;
  for (int i = 0; i < 500; ++i) step(used, 80.0f);
  ASSERT_GT(step(used, 80.0f), 10.0f);
  CtrlPlantModelRecord again = setUp(1.0f, 2.0f, 40.0f, used);
  for (float s : again.s) EXPECT_EQ(s, 0.0f);
  EXPECT_EQ(step(again, 30.0f), step(fresh, 30.0f));
}

TEST(PlantModel, EveryModelAnswersFinitely) {
  struct Case {
    const char* what;
    CtrlPlantModelRecord model;
    float settles;  // the output after 100 s of input 50, or NaN where it only stays finite
  };
  const Case cases[] = {
      {"never set up", CtrlPlantModelRecord{}, 0.0f},
      {"Tu 0", setUp(1.0f, 0.0f, 10.0f), 0.0f},
      {"Tu 0.01 s, Tg 0.1 s", setUp(1.0f, 0.01f, 0.1f), 50.0f},
      {"K 1e38", setUp(1e38f, 2.0f, 40.0f), kNaN},
      {"Tu 1e-30 s, Tg 1e-29 s", setUp(1.0f, 1e-30f, 1e-29f), kNaN},
      {"Tu 1e30 s, Tg 1e31 s", setUp(1.0f, 1e30f, 1e31f), kNaN},
  };
  for (const Case& c : cases) {
    CtrlPlantModelRecord m = c.model;
    float y = 0;
    for (int i = 0; i < 1000; ++i) {
      y = step(m, 50.0f);
      ASSERT_TRUE(std::isfinite(y)) << c.what << " step " << i;
    }
    if (!std::isnan(c.settles)) {
      EXPECT_NEAR(y, c.settles, 0.05f) << c.what;
    }
  }
}

TEST(PlantModel, TransferStepWithoutADenominatorGivesZero) {
  float state[6] = {1, 2, 3, 4, 5, 6};
  const float a[3] = {1, 2, 0}, b[3] = {1, 0, 0};
  float y = -1;
  CTRL_TransferStep(0, 2, 0.1f, b, a, 5.0f, &y, false, state);
  EXPECT_EQ(y, 0.0f);
  CTRL_TransferStep(0, 2, 0.1f, b, a, 5.0f, &y, true, state);
  for (float s : state) EXPECT_EQ(s, 0.0f);
}

// A first-order lag 1/(1 + 2 s) and its direct feed-through form (1 + s)/(1 + 2 s), m = n = 1.
TEST(PlantModel, TransferStepOfOtherOrders) {
  float lag[6] = {}, lead[6] = {};
  const float a[2] = {1, 2}, bLag[1] = {1}, bLead[2] = {1, 1};
  float y = 0, z = 0;
  for (int i = 0; i < 200; ++i) {
    CTRL_TransferStep(0, 1, 0.1f, bLag, a, 1.0f, &y, false, lag);
    CTRL_TransferStep(1, 1, 0.1f, bLead, a, 1.0f, &z, false, lead);
    if (i == 0) {
      EXPECT_NEAR(z, 0.5f, 0.03f);  // half the step passes at once
    }
  }
  EXPECT_NEAR(y, 1.0f, 0.001f);
  EXPECT_NEAR(z, 1.0f, 0.001f);
}

// ---------------------------------------------------------------------------------------
// Output simulation.

struct Plant {
  SimPlantParams params{};
  SimPlantActuators act{};
  SimPlantResult result{};
  CtrlPlantState state{};

  Plant(uint8_t kind, float k = 1.0f, float tu = 0.01f, float tg = 0.1f) {
    params.outputKind = kind;
    params.gainPositive = params.gainNegative = 1.0f;
    params.plantGain = k;
    params.delayTime = tu;
    params.riseTime = tg;
    params.rangeStart = 0.0f;
    params.rangeEnd = 100.0f;
    params.cycleTime = 0.1f;
    params.motorTime = 10.0f;
    act.initialise = 1;
  }
  // n plant cycles; the initialise flag is cleared after the first, as the plant link does.
  float run(int n = 1) {
    for (int i = 0; i < n; ++i) {
      CTRL_SimulateOutput(&act, &params, &result, &state);
      act.initialise = 0;
    }
    return result.x;
  }
};

TEST(PlantOutput, TheActuatorValueByOutputKind) {
  struct Case {
    uint8_t kind;
    float y1, y2;
    int8_t s1, s2;
    float x;  // X once the fast plant settled: the actuator value (range 0..100, K 1)
  };
  const Case cases[] = {
      {0, 70, 0, 1, 0, 100},   {0, 0, 0, 0, 1, -100}, {1, 0, 0, 1, 1, 100},  {2, 0, 0, 1, 0, 100},
      {3, 0, 0, 1, 1, 0},      {3, 0, 0, 0, 1, -100}, {4, 60, 0, 0, 1, -40}, {4, 60, 0, 1, 0, 60},
      {5, 0, 30, 1, 0, 70},    {6, 0, 0, 1, 1, 300},  {6, 0, 0, 1, 0, 100},  {6, 0, 0, 0, 1, 0},
      {9, 60, 20, 1, 1, 40},   {16, 10, 30, 0, 0, -20}, {17, 35, 90, 1, 1, 35}, {12, 50, 0, 1, 0, 0},
      {18, 50, 0, 1, 0, 0},    {200, 50, 0, 1, 0, 0},
  };
  for (const Case& c : cases) {
    Plant p(c.kind);
    p.act.y1 = c.y1;
    p.act.y2 = c.y2;
    p.act.switch1 = c.s1;
    p.act.switch2 = c.s2;
    EXPECT_NEAR(p.run(100), c.x, 0.01f) << int{c.kind} << " " << int{c.s1} << int{c.s2};
    EXPECT_EQ(p.result.valid, 1);
    EXPECT_EQ(p.result.position, c.kind == 17 ? c.y1 : 0.0f) << int{c.kind};
  }
}

TEST(PlantOutput, TwoPointApproachesKTimesTheRange) {
  Plant p(2, 0.5f, 2.0f, 40.0f);
  p.params.rangeEnd = 200.0f;
  p.act.switch1 = 1;
  EXPECT_EQ(p.run(), 0.0f);  // the set-up cycle answers from the zero state
  EXPECT_NEAR(p.run(5000), 100.0f, 0.1f);
}

TEST(PlantOutput, GainsOffsetsAndInverse) {
  struct Case {
    const char* what;
    float gainPos, gainNeg, load, process;
    uint8_t inverse;
    float y1;
    float first, settled;  // X at the set-up cycle and once settled (range 20..70)
  };
  const Case cases[] = {
      {"inverse at o = 0 is the range end", 1, 1, 0, 0, 1, 40, 70, 50},
      {"positive gain", 0.5f, 1, 0, 0, 0, 40, 20, 30},
      {"negative gain for d <= 0", 1, 2, 0, 0, 0, -10, 20, 10},
      {"load offset before the model", 1, 1, 20, 0, 0, 40, 20, 50},
      {"process offset after it", 1, 1, 0, 10, 0, 40, 25, 45},
  };
  for (const Case& c : cases) {
    Plant p(9);
    p.params.rangeStart = 20.0f;
    p.params.rangeEnd = 70.0f;
    p.params.gainPositive = c.gainPos;
    p.params.gainNegative = c.gainNeg;
    p.params.inverse = c.inverse;
    p.act.loadOffset = c.load;
    p.act.processOffset = c.process;
    p.act.y1 = c.y1;
    EXPECT_FLOAT_EQ(p.run(), c.first) << c.what;
    EXPECT_NEAR(p.run(100), c.settled, 0.01f) << c.what;
  }
}

TEST(PlantOutput, TheMotorRunsFromItsPositionAndStaysInItsTravel) {
  Plant p(7);
  p.params.startPosition = 40.0f;
  p.act.switch1 = 1;
  p.run();
  EXPECT_EQ(p.result.position, 40.0f);  // the position before the move
  EXPECT_NEAR(p.state.position, 41.0, 1e-6);  // 100 % x 0.1 s / 10 s
  p.run();
  EXPECT_FLOAT_EQ(p.result.position, 41.0f);
  struct Phase {
    int8_t s1, s2;
    int cycles;
    double position;
  };
  for (const Phase& f : {Phase{1, 0, 1000, 100}, Phase{1, 1, 50, 100}, Phase{0, 1, 30, 70},
                         Phase{1, 1, 50, 70}, Phase{0, 1, 1000, 0}}) {
    p.act.switch1 = f.s1;
    p.act.switch2 = f.s2;
    for (int i = 0; i < f.cycles; ++i) {
      p.run();
      ASSERT_GE(p.state.position, 0.0);
      ASSERT_LE(p.state.position, 100.0);
    }
    EXPECT_NEAR(p.state.position, f.position, 1e-4);
  }
  // The stepping kinds drive the model with the position: kind 19 as well.
  Plant q(19);
  q.params.startPosition = 30.0f;
  EXPECT_NEAR(q.run(100), 30.0f, 0.01f);
}

TEST(PlantOutput, AMotorTimeThatIsNoPositiveNumberMovesNothing) {
  for (float tm : {0.0f, -5.0f, kNaN, kInf}) {
    Plant p(8);
    p.params.motorTime = tm;
    p.params.startPosition = 25.0f;
    p.act.switch1 = 1;
    p.run(20);
    EXPECT_EQ(p.state.position, 25.0) << tm;
  }
}

TEST(PlantOutput, BadSettingsGiveAFiniteProcessValue) {
  const float bad[] = {0.0f, -3.0f, kNaN, kInf, 1e38f, -1e38f, 1e-38f};
  for (int which = 0; which < 3; ++which) {
    for (float v : bad) {
      float s[3] = {1.0f, 2.0f, 40.0f};
      s[which] = v;
      Plant p(9, s[0], s[1], s[2]);
      p.act.y1 = 100.0f;
      for (int i = 0; i < 300; ++i) ASSERT_TRUE(std::isfinite(p.run())) << which << " " << v;
    }
  }
}

// ---------------------------------------------------------------------------------------
// The plant link on controller blocks of an engineering.

enum : uint16_t { kCtrl = 100, kInput = 61, kFeedback = 66 };
// Slots (1-based) and parameter indexes (0-based) of CONTR.
enum : uint16_t { kAoX = 2, kAoY = 3, kAoYout1 = 6, kAoYout2 = 7, kDoY1 = 1, kDoY2 = 2 };
enum : uint16_t { kWvCFunc = 0, kWvCMode = 3, kFpTm = 10 };
constexpr int16_t kIdWi = 309;
// Analog input records of block 61's channel (A4: board 0, channel 3, sub-channel a) and of
// block 66's (A3: board 0, channel 2).
constexpr uint32_t kInputRecord = FW_IoAnalogIndex(0, 3, 0);
constexpr uint32_t kFeedbackRecord = FW_IoAnalogIndex(0, 2, 0);
static_assert(kInputRecord == 6 && kFeedbackRecord == 4);
// Positions A3 and A4 in the device's module list.
constexpr int kModuleA3 = 2, kModuleA4 = 3;

FbF32& analogOut(uint16_t block, uint16_t output) {
  FbF32* p = nullptr;
  EXPECT_EQ(FB_GetAnalogOutputPtr(block, output, &p), 1);
  static FbF32 none;
  return p ? *p : none;
}
uint16_t& digitalOut(uint16_t block, uint16_t output) {
  uint16_t* p = nullptr;
  EXPECT_EQ(FB_GetDigitalOutputPtr(block, output, &p), 1);
  static uint16_t none;
  return p ? *p : none;
}

class PlantLink : public AdapterFirmware {
 protected:
  PlantLink() {
    BLK_RegisterAllTypes();
    TheFakeShell().plantLoaded = 0;
  }
  ~PlantLink() override { g_fwPlant = FwPlantLink{}; }

  // A controller at block 100 in group 1 with its defaults; `extra` adds to the engineering.
  EngBuilder controller(uint16_t type = BLK_TYPE_CONTR) {
    EngBuilder b;
    b.setRunMode(2);
    EXPECT_TRUE(b.addBlock(kCtrl, type, 1)) << b.error();
    return b;
  }
  // The link set up from the controller the finder takes, with a fast plant (settled within
  // a few seconds), run for n plant cycles without the firmware cycle.
  float runPlant(int n) {
    FwPlantController view{};
    EXPECT_EQ(FW_FindPlantController(&view), 1);
    const float settings[3] = {1.0f, 0.01f, 0.1f};
    const FwPlantScaling scalings[3] = {{0.05f, 0}, {0.05f, 0}, {0.05f, 0}};
    FW_PlantSetup(settings, view, scalings);
    for (int i = 0; i < n; ++i) FW_PlantCycle();
    return g_fwPlant.result.x;
  }
};

TEST_F(PlantLink, ContDrivesThePlantWithYout1MinusYout2) {
  EngBuilder b = controller();
  startWith(b);
  analogOut(kCtrl, kAoYout1) = 70.0f;
  analogOut(kCtrl, kAoYout2) = 20.0f;
  analogOut(kCtrl, kAoY) = 99.0f;     // the controller's Y is not what drives the plant
  digitalOut(kCtrl, kDoY1) = 1;       // nor are the contacts for "Cont"
  EXPECT_NEAR(runPlant(100), 50.0f, 0.01f);
}

TEST_F(PlantLink, TwoPointDrivesThePlantThroughItsContact) {
  EngBuilder b = controller();
  ASSERT_TRUE(b.setValue(kCtrl, kWvCFunc + 1, 2));  // "2-point"
  startWith(b);
  analogOut(kCtrl, kAoYout1) = 0.0f;
  analogOut(kCtrl, kAoYout2) = 0.0f;
  digitalOut(kCtrl, kDoY1) = 1;
  digitalOut(kCtrl, kDoY2) = 0;
  EXPECT_NEAR(runPlant(100), 100.0f, 0.01f);
  digitalOut(kCtrl, kDoY1) = 0;
  EXPECT_NEAR(runPlant(100), 0.0f, 0.01f);
}

// What the view takes from each controller type: its slots, its range, the motor time and
// the action, and for PIDMA the output kind of its own numbering.
TEST_F(PlantLink, TheViewReadsEachControllerType) {
  struct Case {
    uint16_t type;
    uint16_t cfunc, cmode;
    uint8_t kind;
  };
  for (const Case& c : {Case{BLK_TYPE_CONTR, 7, 1, 7}, Case{BLK_TYPE_CONTR_PLUS, 10, 0, 10},
                        Case{BLK_TYPE_PIDMA, 8, 1, 11}}) {
    SCOPED_TRACE(c.type);
    FB_ClearStore();
    EngBuilder b = controller(c.type);
    ASSERT_TRUE(b.setValue(kCtrl, kWvCFunc + 1, c.cfunc));
    ASSERT_TRUE(b.setValue(kCtrl, kWvCMode + 1, c.cmode));
    ASSERT_TRUE(b.setFloat(kCtrl, kFpTm + 1, 12.5f));
    ASSERT_TRUE(b.setLong(kCtrl, 1, std::bit_cast<uint32_t>(-20.0f)));
    ASSERT_TRUE(b.setLong(kCtrl, 2, std::bit_cast<uint32_t>(180.0f)));
    startWith(b);
    FwPlantController v{};
    ASSERT_EQ(FW_FindPlantController(&v), 1);
    EXPECT_EQ(v.block, kCtrl);
    EXPECT_EQ(v.outputKind, c.kind);
    EXPECT_EQ(v.mode, c.cmode);
    EXPECT_EQ(v.plantInverse, c.cmode);
    EXPECT_EQ(v.motorTime, 12.5f);
    EXPECT_EQ(v.rangeLower->get(), -20.0f);
    EXPECT_EQ(v.rangeUpper->get(), 180.0f);
    EXPECT_EQ(v.processValue, &analogOut(kCtrl, kAoX));
    EXPECT_EQ(v.outputs[0], &analogOut(kCtrl, kAoYout1));
    EXPECT_EQ(v.outputs[1], &analogOut(kCtrl, kAoYout2));
    EXPECT_EQ(v.outputs[2], &analogOut(kCtrl, kAoY));
    EXPECT_EQ(v.contacts[0], &digitalOut(kCtrl, kDoY1));
    EXPECT_EQ(v.contacts[1], &digitalOut(kCtrl, kDoY2));
    const float settings[3] = {1, 2, 40};
    const FwPlantScaling scalings[3] = {};
    FW_PlantSetup(settings, v, scalings);
    EXPECT_EQ(g_fwPlant.params.motorTime, 12.5f);
    EXPECT_EQ(g_fwPlant.params.inverse, c.cmode);
    EXPECT_EQ(g_fwPlant.params.rangeStart, -20.0f);
  }
}

// The process value returns into the device's main input (record 6), as the reading that
// block 61 turns back into the plant's value on its own scaling: an electrical value for a
// current or a voltage type, the engineering value for any other. The controller's range
// and block 61's are both -20..180; the plant settles at 40 % (Yout1 40, gain 1), x = 60.
TEST_F(PlantLink, TheProcessValueReturnsThroughBlock61) {
  struct Case {
    uint16_t type, code;
    float reading;
    bool electrical;
    const char* text;
  };
  const Case cases[] = {
      {BLK_TYPE_AINP1, AIN_MA_4_20, 4.0f + 0.16f * 40.0f, true, "#10.400"},
      {BLK_TYPE_UNI_IN, AIN_MA_0_20, 8.0f, true, "#8.000"},
      {BLK_TYPE_AINP1, AIN_V_0_10, 4.0f, true, "#4.000"},
      {BLK_TYPE_UNI_IN, AIN_V_2_10, 2.0f + 0.08f * 40.0f, true, "#5.200"},
      {BLK_TYPE_AINP1, AIN_PT100_850, 60.0f, false, "60.000"},
      {BLK_TYPE_UNI_IN, AIN_TYPE_K, 60.0f, false, "60.000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << ", code " << c.code);
    FB_ClearStore();
    SimState().io = SimIoImage{};
    SimState().device.modules[kModuleA4] = FW_CLASS_UNI_INPUT;
    EngBuilder b = controller();
    ASSERT_TRUE(b.setLong(kCtrl, 1, std::bit_cast<uint32_t>(-20.0f)));
    ASSERT_TRUE(b.setLong(kCtrl, 2, std::bit_cast<uint32_t>(180.0f)));
    ASSERT_TRUE(b.addBlock(kInput, c.type, 1)) << b.error();
    ASSERT_TRUE(b.setValue(kInput, AIN_WV_TYP + 1, c.code));
    ASSERT_TRUE(b.setLong(kInput, AIN_LV_X0 + 1, std::bit_cast<uint32_t>(-20.0f)));
    ASSERT_TRUE(b.setLong(kInput, AIN_LV_X100 + 1, std::bit_cast<uint32_t>(180.0f)));
    ASSERT_TRUE(b.setLong(kInput, AIN_LV_TFM + 1, std::bit_cast<uint32_t>(0.0f)));  // no filter
    startWith(b);
    analogOut(kCtrl, kAoYout1) = 40.0f;
    EXPECT_NEAR(runPlant(200), 60.0f, 0.01f);
    const SimAnalogInput& in = SimState().io.analogIn[kInputRecord];
    EXPECT_NEAR(in.value, c.reading, 0.001f);
    EXPECT_EQ(in.electrical, c.electrical ? 1 : 0);
    EXPECT_EQ(in.fFlag, 0);
    EXPECT_STREQ(in.text, c.text);
    // Block 61 reads it back as the plant's value, and the controller's X follows.
    FW_SimCycle();
    EXPECT_NEAR(analogOut(kInput, 1), 60.0f, 0.01f);
    EXPECT_EQ(digitalOut(kInput, c.type == BLK_TYPE_UNI_IN ? 2 : 1), 0) << "no failure";
  }
}

// The position feedback goes to the input at A3 (block 66) only when an analog input module
// sits there; without a block at 61 the main input is left alone.
TEST_F(PlantLink, ThePositionGoesToA3OnlyWithAnInputModuleThere) {
  struct Case {
    uint8_t moduleA3;
    bool written;
  };
  for (const Case& c : {Case{FW_CLASS_UNI_INPUT, true}, Case{FW_CLASS_U_INPUT, true},
                        Case{FW_CLASS_I_OUTPUT, false}, Case{FW_CLASS_NONE, false}}) {
    SCOPED_TRACE(int{c.moduleA3});
    FB_ClearStore();
    SimState().io = SimIoImage{};
    SimState().device.modules[kModuleA3] = c.moduleA3;
    EngBuilder b = controller();
    ASSERT_TRUE(b.setValue(kCtrl, kWvCFunc + 1, 11));  // "Cont Yp": the position is Y1
    ASSERT_TRUE(b.addBlock(kFeedback, BLK_TYPE_AINP6, 1)) << b.error();
    ASSERT_TRUE(b.setValue(kFeedback, AIN_WV_TYP + 1, AIN_MA_0_20));
    startWith(b);
    analogOut(kCtrl, kAoYout1) = 40.0f;
    runPlant(100);
    const SimAnalogInput& position = SimState().io.analogIn[kFeedbackRecord];
    EXPECT_EQ(position.entered, c.written ? 1 : 0);
    EXPECT_NEAR(position.value, c.written ? 8.0f : 0.0f, 0.001f);
    // Nothing else is written: no block at 61, so the main input (record 6) is the user's.
    for (uint32_t i = 0; i < std::size(SimState().io.analogIn); ++i) {
      if (i != kFeedbackRecord) {
        EXPECT_EQ(SimState().io.analogIn[i].entered, 0) << i;
      }
    }
  }
}

TEST_F(PlantLink, StatusBytesReachTheShell) {
  EngBuilder b = controller();
  startWith(b);
  FwPlantController v{};
  ASSERT_EQ(FW_FindPlantController(&v), 1);
  CtrlOutputs& o = CTRL_StateOf(kCtrl)->out;
  o.manualActive = 1;
  o.internalActive = 1;
  o.w2Active = 0;
  o.offActive = 1;
  o.failActive = 1;
  g_fwPlant.view = v;
  FW_PlantValuesToHost();
  EXPECT_EQ(SimState().plant.status, 1 | 8 | 16);
}

// The standard trends' six values (W, X, Y, Xw, X2, X3) and their scale limits.
TEST_F(PlantLink, TrendValuesAndScaleLimitsReachTheShell) {
  EngBuilder b = controller();
  ASSERT_TRUE(b.setLong(kCtrl, 1, std::bit_cast<uint32_t>(-20.0f)));
  ASSERT_TRUE(b.setLong(kCtrl, 2, std::bit_cast<uint32_t>(180.0f)));
  startWith(b);
  FwPlantController v{};
  ASSERT_EQ(FW_FindPlantController(&v), 1);
  const float outs[4] = {55.0f, 50.0f, 30.0f, -5.0f};  // Weff, X, Y, Xw
  for (uint16_t i = 0; i < 4; ++i) analogOut(kCtrl, i + 1) = outs[i];
  g_fwPlant.view = v;
  FW_PlantValuesToHost();
  const SimPlantView& p = SimState().plant;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(p.trend[i], outs[i]) << i;
  EXPECT_EQ(p.trend[4], FB_ReadAnalogRef(*v.inputs[0]));
  EXPECT_EQ(p.trend[5], FB_ReadAnalogRef(*v.inputs[1]));
  const float limits[12] = {-20, 180, -20, 180, 0, 100, -20, 20, -20, 180, -20, 180};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(p.trendScale[i], limits[i]) << i;
}

// ---------------------------------------------------------------------------------------
// The closed loop: the controller's X 1 reads the input block 61 (the Uni-Input at A4),
// whose channel carries the plant's process value.

class ClosedLoop : public PlantLink {
 protected:
  void start(uint16_t cmode, float k, float tu, float tg, uint16_t type = BLK_TYPE_CONTR) {
    EngBuilder b = controller(type);
    ASSERT_TRUE(b.addBlock(kInput, BLK_TYPE_UNI_IN, 1)) << b.error();
    ASSERT_TRUE(b.setValue(kCtrl, kWvCMode + 1, cmode));
    ASSERT_TRUE(b.wireAnalog(kCtrl, 1, kInput, 1));
    SimState().device.modules[kModuleA4] = FW_CLASS_UNI_INPUT;
    SimState().plantSettings[0] = k;
    SimState().plantSettings[1] = tu;
    SimState().plantSettings[2] = tg;
    startWith(b);
    ASSERT_EQ(g_fwPlant.active, 1);
    const FbParamRequest r = FB_FloatRequest(kCtrl, kIdWi, 50.0f);
    FbParamRequest req = r;
    uint16_t bad = 0;
    ASSERT_EQ(FB_GetType(type)->param(&req, &bad), FB_OK);
  }
};

// Inverse action on a rising plant, and direct action on a falling one.
class ClosedLoopAction : public ClosedLoop, public testing::WithParamInterface<uint16_t> {};

TEST_P(ClosedLoopAction, TheControllerHoldsItsSetpointOnTheBuiltInPlant) {
  start(GetParam(), 1.0f, 2.0f, 40.0f);
  for (int i = 0; i < 6000; ++i) FW_SimCycle();  // 10 minutes
  for (int i = 0; i < 600; ++i) {
    FW_SimCycle();
    const float x = analogOut(kCtrl, kAoX), y = analogOut(kCtrl, kAoY);
    ASSERT_NEAR(x, 50.0f, 0.5f) << "cycle " << i;
    ASSERT_GE(y, 0.0f);
    ASSERT_LE(y, 100.0f);
  }
  // The plant's value is in the shell's I/O image as an electrical input: 50 % of 0..20 mA.
  const SimAnalogInput& in = SimState().io.analogIn[kInputRecord];
  EXPECT_EQ(in.electrical, 1);
  EXPECT_NEAR(in.value, 10.0f, 0.1f);
  EXPECT_EQ(in.text[0], '#');
  EXPECT_NEAR(std::strtof(in.text + 1, nullptr), in.value, 0.001f);
  // A value typed into the input is overwritten by the next plant cycle.
  SimState().io.analogIn[kInputRecord].value = 3.0f;
  FW_SimCycle();
  EXPECT_NEAR(SimState().io.analogIn[kInputRecord].value, 10.0f, 0.1f);
}
INSTANTIATE_TEST_SUITE_P(Inverse, ClosedLoopAction, testing::Values(uint16_t{0}));
INSTANTIATE_TEST_SUITE_P(Direct, ClosedLoopAction, testing::Values(uint16_t{1}));

// Plant settings from a project: K, Tu or Tg zero, negative, NaN or huge.
struct BadSetting {
  int which;
  float value;
};
class ClosedLoopBadSetting : public ClosedLoop, public testing::WithParamInterface<BadSetting> {};

TEST_P(ClosedLoopBadSetting, NeverBreaksTheTick) {
  float s[3] = {1.0f, 2.0f, 40.0f};
  s[GetParam().which] = GetParam().value;
  start(0, s[0], s[1], s[2]);
  for (int i = 0; i < 300; ++i) {
    FW_SimCycle();
    ASSERT_TRUE(std::isfinite(g_fwPlant.result.x));
    ASSERT_TRUE(std::isfinite(analogOut(kCtrl, kAoX).get()));
  }
}
INSTANTIATE_TEST_SUITE_P(All, ClosedLoopBadSetting, testing::ValuesIn([] {
  std::vector<BadSetting> v;
  for (int which = 0; which < 3; ++which) {
    for (float value : {0.0f, -3.0f, kNaN, 1e38f}) v.push_back({which, value});
  }
  return v;
}()));

TEST_F(ClosedLoop, ThePlantOffFlagLeavesTheInputToTheUser) {
  start(0, 1.0f, 2.0f, 40.0f);
  SimState().plantOff = 1;
  SimState().io.analogIn[kInputRecord].value = 4.0f;
  for (int i = 0; i < 20; ++i) FW_SimCycle();
  EXPECT_EQ(SimState().io.analogIn[kInputRecord].value, 4.0f);
  SimState().plantOff = 0;
}

// A PIDMA identifies the built-in plant with its pulse test, adopts and saves the proposal,
// and holds its setpoint with it.
TEST_F(ClosedLoop, PidmaTunesItselfOnTheBuiltInPlant) {
  start(0, 1.0f, 2.0f, 40.0f, BLK_TYPE_PIDMA);
  for (int i = 0; i < 6000; ++i) FW_SimCycle();
  ASSERT_NEAR(analogOut(kCtrl, kAoX), 50.0f, 0.5f);
  FbParamRequest go = FB_WordRequest(kCtrl, 503, 1);  // the optimisation start request
  uint16_t bad = 0;
  ASSERT_EQ(FB_GetType(BLK_TYPE_PIDMA)->param(&go, &bad), FB_OK);
  FW_SimCycle();
  constexpr uint16_t kDoRun = 8, kDoErr = 9;  // PIDMA's `o run` and `o err`
  ASSERT_EQ(digitalOut(kCtrl, kDoRun), 1);
  int n = 0;
  while (digitalOut(kCtrl, kDoRun) && n++ < 20000) FW_SimCycle();
  ASSERT_EQ(digitalOut(kCtrl, kDoRun), 0);
  FW_SimCycle();
  EXPECT_EQ(digitalOut(kCtrl, kDoErr), 0) << "error " << CTRL_ExtensionOf(kCtrl)->error;
  FbF32* kp = nullptr;
  ASSERT_EQ(FB_GetFloatParamPtr(kCtrl, 22, &kp), 1);
  EXPECT_NE(kp->get(), 1.0f) << "Kp is the adopted proposal";
  EXPECT_EQ(kp->get(), CTRL_StateOf(kCtrl)->params.sets[0].xp1);
  EXPECT_NEAR(CTRL_ExtensionOf(kCtrl)->modelK, 1.0f, 0.15f) << "the plant's gain";
  for (int i = 0; i < 3000; ++i) FW_SimCycle();
  for (int i = 0; i < 300; ++i) {
    FW_SimCycle();
    ASSERT_NEAR(analogOut(kCtrl, kAoX), 50.0f, 0.5f) << "cycle " << i;
  }
}

}  // namespace
