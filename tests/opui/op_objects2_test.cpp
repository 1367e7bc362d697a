// The drawn display objects: the decimal colours, the picture object's modes and parameters,
// the progress object's size, texts and page link, the bar's range, length, marker and text,
// the trend's samples, labels and graph, and a user page with one object of each kind drawn
// against its golden image.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "blocks/block_family.h"
#include "opui/op_objects2.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_text.h"
#include "runtime/fw_text_ids.h"
#include "support/save_recorder.h"
#include "userpage_fixture.h"

namespace {

using userpagetest::kTargetType;
using userpagetest::Pictures;

constexpr uint16_t kProg = 103, kTarget = 400, kTarget2 = 401, kObject = 300, kPage = 500, kOtherPage = 510;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Decimal RRGGBB: the ten-thousands group first, each group clamped to 0..99, × 255/99.
TEST(DecimalColours, GroupsScaledAndClamped) {
  struct Case {
    float value;
    OpRgb rgb;
  } cases[] = {
      {500000.0f, {128, 0, 0}},   {999999.0f, {255, 255, 255}}, {99.0f, {0, 0, 255}},
      {1234.0f, {0, 30, 87}},     {0.0f, {0, 0, 0}},            {kNaN, {0, 0, 0}},
      {-500000.0f, {0, 0, 0}},    {1e7f, {255, 0, 0}},          {1e30f, {255, 92, 121}},
      {-1e30f, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const OpRgb rgb = OP_DecodeDecimalRgb(c.value);
    EXPECT_EQ(rgb.r, c.rgb.r);
    EXPECT_EQ(rgb.g, c.rgb.g);
    EXPECT_EQ(rgb.b, c.rgb.b);
  }
  EXPECT_EQ(OP_DecimalColour(500000.0f), 0x000080u) << "red in the low byte";
}

// A user page with the objects under test; the device runs.
class DrawnObjectTest : public UserPageTest {
 protected:
  void SetUp() override {
    UserPageTest::SetUp();
    make(kTargetType, kTarget);
  }
  void page() { make(OP_TYPE_VUSER, kPage); }
  void open() {
    initAll();
    showPage(kPage);
    ASSERT_EQ(g_opUserView.block, kPage);
  }
  template <typename State>
  State& state(uint16_t block) {
    return BLK_WorkState<State>(fx->layout(block));
  }
  static WM_HWIN windowOf(uint16_t block) {
    const OpViewSlot* s = OP_UserViewSlotOf(block);
    return s ? s->window : 0;
  }
  // A press of an object's middle held over a cycle, and its release.
  void press(uint16_t block) {
    GUI_RECT r{};
    WM_GetWindowRectEx(windowOf(block), &r);
    SIM_POINTER_STATE s{static_cast<int16_t>((r.x0 + r.x1) / 2), static_cast<int16_t>((r.y0 + r.y1) / 2), 2};
    SIM_StorePointerState(&s);
    deviceCycles(2);
  }
  void release(uint16_t block) {
    GUI_RECT r{};
    WM_GetWindowRectEx(windowOf(block), &r);
    SIM_POINTER_STATE s{static_cast<int16_t>((r.x0 + r.x1) / 2), static_cast<int16_t>((r.y0 + r.y1) / 2), 0};
    SIM_StorePointerState(&s);
    deviceCycles(2);
  }
  // A programmer whose state copy in use and page record the test writes.
  // It does not run: its records stay as the test writes them.
  ProgWork& programmer() {
    fx->create(FB_TYPE_APROG, kProg);
    fx->init(kProg);
    return *PROG_Work(kProg);
  }
};

// --- IMGOBJ -----------------------------------------------------------------------------------

class PictureObjectTest : public DrawnObjectTest {
 protected:
  void picture(uint16_t mode, const std::string& first, const std::string& second) {
    make(OP_TYPE_IMGOBJ, kObject);
    fx->wordParam(kObject, IMGOBJ_WORD_MODE) = mode;
    fx->wordParam(kObject, IMGOBJ_WORD_MODE, true) = mode;
    setText(kObject, IMGOBJ_TEXT_PICTURE0, first);
    setText(kObject, IMGOBJ_TEXT_PICTURE1, second);
    fx->setDigitalInput(kObject, IMGOBJ_DIN_STATE, 0);
    page();
    place(kPage, 1, kObject, 40, 30);
  }
  const PictureObjectState& s() { return state<PictureObjectState>(kObject); }
  uint16_t out() { return fx->digitalOut(kObject, IMGOBJ_DOUT); }
  Pictures pictures;
};

// Only the second name is a picture: the window takes its size, state 1 shows the view's
// background, state 2 the picture.
TEST_F(PictureObjectTest, OnlyTheSecondPictureKnown) {
  pictures.add("Blue", 40, 30, 0xFF0000);
  picture(IMGOBJ_DISPLAY, "Missing", "Blue");
  open();
  EXPECT_EQ(WM_GetWindowSizeX(windowOf(kObject)), 40);
  EXPECT_EQ(WM_GetWindowSizeY(windowOf(kObject)), 30);
  EXPECT_EQ(s().picture[0], -1);
  GUI_RECT r{};
  WM_GetWindowRectEx(windowOf(kObject), &r);
  const uint32_t background = lcdtest::ReadRaw(r.x0 - 5, r.y0 + 10);
  EXPECT_EQ(s().shown, 1);
  EXPECT_EQ(lcdtest::ReadRaw(r.x0 + 10, r.y0 + 5), background) << "nothing shown in state 1";
  fx->setDigitalInput(kObject, IMGOBJ_DIN_STATE, 1);
  deviceCycle();
  EXPECT_EQ(s().shown, 2);
  EXPECT_EQ(out(), 1) << "the display mode's output follows the state";
  EXPECT_EQ(lcdtest::ReadRaw(r.x0 + 10, r.y0 + 5), 0x0000FFu);
}

// A push button shows picture 2 while pressed; a page link does too and asks for the page of
// its input on release: with 0 there it only returns to picture 1.
TEST_F(PictureObjectTest, PushButtonAndPageLink) {
  pictures.add("Up", 20, 20, 0x00FF00);
  pictures.add("Down", 20, 20, 0x0000FF);
  picture(IMGOBJ_PUSH, "Up", "Down");
  make(OP_TYPE_VUSER, kOtherPage);
  open();
  press(kObject);
  EXPECT_EQ(s().shown, 2);
  EXPECT_EQ(out(), 1);
  release(kObject);
  EXPECT_EQ(s().shown, 1);
  EXPECT_EQ(out(), 0);

  fx->wordParam(kObject, IMGOBJ_WORD_MODE) = IMGOBJ_PAGE;
  fx->wordParam(kObject, IMGOBJ_WORD_MODE, true) = IMGOBJ_PAGE;
  fx->setAnalogInput(kObject, IMGOBJ_IN_PAGE, 0.0f);
  press(kObject);
  EXPECT_EQ(s().shown, 2);
  release(kObject);
  EXPECT_EQ(s().shown, 1);
  EXPECT_EQ(out(), 0);
  EXPECT_EQ(g_opUserView.block, kPage) << "no page change";
  EXPECT_EQ(s().obj.request, OP_OBJ_REQ_NONE);

  fx->setAnalogInput(kObject, IMGOBJ_IN_PAGE, static_cast<float>(kOtherPage));
  press(kObject);
  release(kObject);
  deviceCycles(2);
  EXPECT_EQ(g_opBlockPage.block, kOtherPage);
}

// Toggle: each press inverts the stored state, saved as a parameter change; holding the press
// toggles once. The disable input drops a press.
TEST_F(PictureObjectTest, ToggleSavesItsState) {
  pictures.add("Off", 20, 20, 0x00FF00);
  pictures.add("On", 20, 20, 0x0000FF);
  picture(IMGOBJ_TOGGLE, "Off", "On");
  open();
  SaveLog log;
  press(kObject);
  deviceCycles(3);  // held
  EXPECT_EQ(fx->wordParam(kObject, IMGOBJ_WORD_STATE), 1);
  EXPECT_EQ(fx->wordParam(kObject, IMGOBJ_WORD_STATE, true), 1);
  EXPECT_EQ(s().shown, 2);
  EXPECT_EQ(out(), 1);
  release(kObject);
  touchObject(kObject);
  EXPECT_EQ(fx->wordParam(kObject, IMGOBJ_WORD_STATE), 0);
  EXPECT_EQ(s().shown, 1);
  const SaveCall save{FbSaveGroup::WordParams, kObject, IMGOBJ_WORD_STATE, 1};
  EXPECT_EQ(log.saves(FbSaveGroup::WordParams), (std::vector<SaveCall>{save, save}));

  fx->setDigitalInput(kObject, IMGOBJ_DIN_DISABLE, 1);
  touchObject(kObject);
  EXPECT_EQ(fx->wordParam(kObject, IMGOBJ_WORD_STATE), 0);
  EXPECT_EQ(log.saves(FbSaveGroup::WordParams).size(), 2u);
  // Init keeps the stored state.
  fx->wordParam(kObject, IMGOBJ_WORD_STATE) = 1;
  fx->init(kObject);
  EXPECT_EQ(fx->wordParam(kObject, IMGOBJ_WORD_STATE), 1);
}

// The parameter protocol: the mode (1251, pending while running), the word value, the whole
// sets; the stored state has no request of its own.
TEST_F(PictureObjectTest, Parameters) {
  picture(IMGOBJ_DISPLAY, "", "");
  fx->init(kObject);
  const uint16_t badMode[] = {0, 4};
  const uint16_t goodSet[] = {0, IMGOBJ_TOGGLE};
  const uint16_t badValue[] = {2};
  struct Case {
    const char* name;
    FbParamRequest request;
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {"the stored state", FB_WordRequest(kObject, 1250, 1), 'i', 0},
      {"mode outside 0..3", FB_WordRequest(kObject, 1251, 4), 'l', 0},
      {"a float", FB_FloatRequest(kObject, 1000, 1.0f), 'i', 0},
      {"word value outside its limit", FB_WordRequest(kObject, 3000, 2), 'l', 0},
      {"whole set, the mode bad", FB_SetRequest(kObject, 4000, badMode, {}), 'l', 2},
      {"values, the first bad", FB_SetRequest(kObject, 4010, badValue, {}), 'l', 1},
      {"whole set", FB_SetRequest(kObject, 4000, goodSet, {}), 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FbParamRequest r = c.request;
    uint16_t bad = 77;
    EXPECT_EQ(FB_IMGOBJ_Param(&r, &bad), c.result);
    if (c.result == 'l') {
      EXPECT_EQ(bad, c.bad);
    }
  }
  EXPECT_EQ(fx->wordParam(kObject, IMGOBJ_WORD_MODE), IMGOBJ_DISPLAY) << "pending while running";
  EXPECT_EQ(fx->wordParam(kObject, IMGOBJ_WORD_MODE, true), IMGOBJ_TOGGLE);
  fx->run(kObject);
  EXPECT_EQ(fx->wordParam(kObject, IMGOBJ_WORD_MODE), IMGOBJ_TOGGLE);
}

// --- PROOBJ -----------------------------------------------------------------------------------

class ProgressObjectTest : public DrawnObjectTest {
 protected:
  void progress(uint16_t width, uint16_t text) {
    make(OP_TYPE_PROOBJ, kObject);
    setValue(kObject, PROOBJ_WORD_WIDTH, width);
    setValue(kObject, PROOBJ_WORD_TEXT, text);
    setValue(kObject, PROOBJ_WORD_FRAME, 0);
    page();
    place(kPage, 1, kObject, 0, 40);
  }
  std::string text() {
    char t[OP_OBJECT_TEXT_CHARS + 1];
    OP_ProgressObjectText(kObject, t);
    return t;
  }
};

// Width selector 1: 160 x 20, any other value 320 x 20; the background colour decoded.
TEST_F(ProgressObjectTest, SizeBySelector) {
  page();
  const uint16_t widths[] = {1, 0, 7};
  for (uint16_t i = 0; i < 3; ++i) {
    const auto block = static_cast<uint16_t>(kObject + i);
    make(OP_TYPE_PROOBJ, block);
    setValue(block, PROOBJ_WORD_WIDTH, widths[i]);
    fx->setLongValue(block, PROOBJ_LONG_BK, 500000.0f);
    fx->setLongValue(block, PROOBJ_LONG_BK, 500000.0f, true);
    place(kPage, static_cast<uint16_t>(i + 1), block, 0, static_cast<uint16_t>(40 + 30 * i));
  }
  open();
  for (uint16_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(widths[i]);
    const auto block = static_cast<uint16_t>(kObject + i);
    EXPECT_EQ(WM_GetWindowSizeX(windowOf(block)), widths[i] == 1 ? 160 : 320);
    EXPECT_EQ(WM_GetWindowSizeY(windowOf(block)), 20);
    EXPECT_EQ(state<ProgressObjectState>(block).colours[0].get(), 0x000080u);
  }
}

// The text line by mode, from the programmer's page record; no programmer, no text.
TEST_F(ProgressObjectTest, TextByMode) {
  ProgWork& w = programmer();
  progress(1, PROOBJ_TEXT_SEGMENT);
  fx->connectAnalog(kObject, PROOBJ_IN_PROG, kProg, APROG_AO_BLNO + 1);
  // What the programmer's run publishes.
  ProgPage& p = w.page;
  p.segNo = 3;
  p.timeUnit = 1;
  p.tNetto = 125.4f;
  p.tRest = 59.2f;
  p.segRes = 10.1f;
  p.pageState = PROG_PAGE_RUN;
  p.runStatus = 0;
  struct Case {
    uint16_t mode;
    const char* text;
  } cases[] = {
      {PROOBJ_TEXT_NONE, ""},
      {PROOBJ_TEXT_SEGMENT_REST, "0:11"},
      {PROOBJ_TEXT_RUN_TIME, "2:05"},
      {PROOBJ_TEXT_PROGRAM_REST, "1:00"},
      {PROOBJ_TEXT_SEGMENT, "Segment 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    setValue(kObject, PROOBJ_WORD_TEXT, c.mode);
    EXPECT_EQ(text(), c.text);
  }
  // The program name of the text list, and the state or halt text.
  setValue(kObject, PROOBJ_WORD_TEXT, PROOBJ_TEXT_NAME_STATE);
  const std::string name = text().substr(0, text().find(','));
  EXPECT_EQ(text(), name + ", " + FW_GetText(FW_TXT_PROG_STATE + PROG_PAGE_RUN));
  p.runStatus = 1;
  EXPECT_EQ(text(), name + ", " + FW_GetText(FW_TXT_PROG_HALT + 1));
  setValue(kObject, PROOBJ_WORD_TEXT, PROOBJ_TEXT_NAME_SEGMENT);
  EXPECT_EQ(text(), name + ", Segment 3");
  // Not a programmer at the input.
  fx->connectAnalog(kObject, PROOBJ_IN_PROG, kTarget, 1);
  EXPECT_EQ(text(), "");
}

// The progress of the program or the segment, and the page link to the programmer.
TEST_F(ProgressObjectTest, ProgressAndPageLink) {
  ProgWork& w = programmer();
  progress(1, PROOBJ_TEXT_SEGMENT);
  fx->connectAnalog(kObject, PROOBJ_IN_PROG, kProg, APROG_AO_BLNO + 1);
  open();
  FbProgState& st = w.copy[w.own.copyInUse];
  st.state = PROG_RUNNING;
  st.total = 400.0f;
  st.timeBefore = 90.0f;
  st.elapsed = 10.0f;
  st.duration = 40.0f;
  EXPECT_FLOAT_EQ(OP_ProgressObjectFraction(kObject), 0.25f);
  setValue(kObject, PROOBJ_WORD_KIND, 1);
  EXPECT_FLOAT_EQ(OP_ProgressObjectFraction(kObject), 0.25f * 1.0f);
  st.elapsed = 50.0f;
  EXPECT_FLOAT_EQ(OP_ProgressObjectFraction(kObject), 1.0f) << "at most the whole bar";
  st.duration = 0.0f;
  EXPECT_FLOAT_EQ(OP_ProgressObjectFraction(kObject), 0.0f);
  setValue(kObject, PROOBJ_WORD_KIND, 0);
  st.elapsed = 10.0f;
  deviceCycle();
  EXPECT_EQ(state<ProgressObjectState>(kObject).length, 40) << "a quarter of 160";
  touchObject(kObject);
  deviceCycle();
  EXPECT_EQ(g_opBlockPage.block, kProg) << "the programmer's page";
}

// --- BAROBJ -----------------------------------------------------------------------------------

// The bar's length over the available length d.
TEST(BarObjectLength, ByFrameAndOrientation) {
  struct Case {
    int size;
    bool framed, vertical;
    float percent;
    int d, length, position;
  } cases[] = {
      {100, false, false, 30.0f, 99, 30, 0}, {50, true, true, 50.0f, 47, 24, 24},
      {50, true, false, 100.0f, 47, 47, 1},  {50, false, true, 0.0f, 49, 0, 49},
      {2, true, false, 50.0f, 0, 0, 1},      {100, false, false, kNaN, 99, 0, 0},
      {100, false, false, 250.0f, 99, 99, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.size << " " << c.framed << c.vertical << " " << c.percent);
    int position = -1, d = -1;
    EXPECT_EQ(OP_BarObjectLength(c.size, c.framed, c.vertical, c.percent, &position, &d), c.length);
    EXPECT_EQ(d, c.d);
    EXPECT_EQ(position, c.position);
  }
}

class BarObjectTest : public DrawnObjectTest {
 protected:
  void bar(uint16_t block, float start, float end, uint16_t width, uint16_t height, uint16_t frame) {
    make(OP_TYPE_BAROBJ, block);
    fx->setLongValue(block, BAROBJ_LONG_START, start);
    fx->setLongValue(block, BAROBJ_LONG_START, start, true);
    fx->setLongValue(block, BAROBJ_LONG_END, end);
    fx->setLongValue(block, BAROBJ_LONG_END, end, true);
    setValue(block, BAROBJ_WORD_WIDTH, width);
    setValue(block, BAROBJ_WORD_HEIGHT, height);
    setValue(block, BAROBJ_WORD_FRAME, frame);
  }
  const BarObjectState& s() { return state<BarObjectState>(kObject); }
};

// Percent, range flag and length by value; a range of no span gives an empty bar.
TEST_F(BarObjectTest, RangeAndLength) {
  struct Case {
    float start, end, value;
    float percent;
    uint16_t range;
    uint16_t length;
    bool empty;
  } cases[] = {
      {0, 200, 250, 100, BAROBJ_ABOVE, 99, false}, {0, 200, 60, 30, BAROBJ_INSIDE, 30, false},
      {0, 200, -5, 0, BAROBJ_BELOW, 0, false},     {0, 200, kNaN, 0, BAROBJ_BELOW, 0, false},
      {100, 0, 25, 75, BAROBJ_INSIDE, 74, false},  {50, 50, 50, 0, BAROBJ_INSIDE, 0, true},
      {50, 50, 70, 0, BAROBJ_ABOVE, 0, true},
  };
  uint16_t block = kObject;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << ".." << c.end << " " << c.value);
    bar(block, c.start, c.end, 100, 20, 0);
    fx->setAnalogInput(block, BAROBJ_IN_VALUE, c.value);
    fx->setAnalogInput(block, BAROBJ_IN_MARKER, c.value);
    fx->init(block);
    fx->run(block);
    const BarObjectState& s = state<BarObjectState>(block);
    EXPECT_FLOAT_EQ(s.percent.get(), c.percent);
    EXPECT_EQ(s.flags & BAROBJ_RANGE_MASK, c.range);
    EXPECT_EQ(s.length, c.length);
    EXPECT_EQ((s.flags & BAROBJ_FLAG_EMPTY) != 0, c.empty);
    EXPECT_EQ((s.flags & BAROBJ_FLAG_MARKER) != 0, !c.empty) << "no marker on a range of no span";
    ++block;
  }
}

// A connected marker is shown where its value lies (hidden on a range of no span); the value
// text; the hide input; a release opens the page of the page input.
TEST_F(BarObjectTest, MarkerTextHideAndPageLink) {
  bar(kObject, 0, 100, 100, 50, 1);
  setValue(kObject, BAROBJ_WORD_ORIENT, 1);
  setValue(kObject, BAROBJ_WORD_TEXT, 1);
  setValue(kObject, BAROBJ_WORD_DECIMALS, 2);
  setText(kObject, BAROBJ_TEXT_UNIT, "V");
  fx->setAnalogInput(kObject, BAROBJ_IN_VALUE, 50.0f);
  page();
  place(kPage, 1, kObject, 10, 10);
  make(OP_TYPE_VUSER, kOtherPage);
  open();
  EXPECT_EQ(s().length, 24) << "framed, vertical, 50 high at 50 %";
  EXPECT_EQ(s().position, 24) << "from the bottom";
  EXPECT_EQ(s().flags & BAROBJ_FLAG_MARKER, 0);
  fx->setAnalogInput(kObject, BAROBJ_IN_MARKER, 25.0f);
  deviceCycle();
  EXPECT_NE(s().flags & BAROBJ_FLAG_MARKER, 0);
  EXPECT_EQ(s().marker, 36) << "47 - 12 + 1";
  struct Case {
    float value;
    const char* text;
  } texts[] = {{3.14159f, "3.14V"}, {1234567.0f, "999999V"}, {-250000.0f, "-19999V"}, {kNaN, "-19999V"}};
  for (const Case& c : texts) {
    fx->setAnalogInput(kObject, BAROBJ_IN_VALUE, c.value);
    char t[OP_OBJECT_TEXT_CHARS + 1];
    OP_BarObjectText(kObject, t);
    EXPECT_STREQ(t, c.text);
  }
  fx->setDigitalInput(kObject, BAROBJ_DIN_HIDE, 1);
  deviceCycle();
  EXPECT_FALSE(WM_IsVisible(windowOf(kObject)));
  fx->setDigitalInput(kObject, BAROBJ_DIN_HIDE, 0);
  deviceCycle();
  EXPECT_TRUE(WM_IsVisible(windowOf(kObject)));
  fx->setAnalogInput(kObject, BAROBJ_IN_PAGE, static_cast<float>(kOtherPage));
  touchObject(kObject);
  deviceCycle();
  EXPECT_EQ(g_opBlockPage.block, kOtherPage);
}

// --- TRDOBJ -----------------------------------------------------------------------------------

// Samples: the range mapped to 0..30000, clamped to -29999..32767; no span gives 0.
TEST(TrendObjectSamples, ScaledAndClamped) {
  struct Case {
    float lo, hi, value;
    int16_t sample;
  } cases[] = {
      {0, 100, 50, 15000}, {0, 100, -1e9f, OP_TREND_LOWEST}, {0, 100, 1e9f, 32767}, {0, 100, 200, 32767},
      {-150, 150, 0, 15000}, {0, 100, kNaN, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const float factor = OP_TREND_SPAN / (c.hi - c.lo);
    EXPECT_EQ(OP_TrendObjectSample(factor, -c.lo * factor, c.value), c.sample);
  }
  EXPECT_EQ(static_cast<uint16_t>(OP_TREND_EMPTY), 0x8AD0);
}

TEST(TrendObjectLabels, DecimalsAndTimes) {
  struct Range {
    float lo, hi;
    int decimals;
  } ranges[] = {{-150, 150, 0}, {0, 5, 2}, {0, 50, 1}, {0, 0.5f, 3}, {-100, 0, 0}, {kNaN, kNaN, 0}};
  for (const Range& r : ranges) EXPECT_EQ(OP_TrendObjectDecimals(r.lo, r.hi), r.decimals) << r.lo << ".." << r.hi;
  struct Time {
    float seconds;
    const char* text;
  } times[] = {{3600, "-1h"}, {90, "-1m30s"}, {3720, "-1h2m"}, {120, "-2m"}, {7.5f, "-7.5s"},
               {7, "-7s"},    {0, "-0s"},     {59.6f, "-1m"},  {kNaN, "-0s"}};
  for (const Time& t : times) {
    char text[16];
    OP_TrendObjectTimeText(t.seconds, text, sizeof text);
    EXPECT_STREQ(text, t.text) << t.seconds;
  }
}

class TrendObjectTest : public DrawnObjectTest {
 protected:
  void trend() {
    make(OP_TYPE_TRDOBJ, kObject);
    fx->floatParam(kObject, TRDOBJ_FLOAT_PERIOD) = 0.0f;
    fx->connectAnalog(kObject, 1, kTarget, 1);
    page();
    place(kPage, 1, kObject, 0, 0);
  }
  const TrendObjectState& s() { return state<TrendObjectState>(kObject); }
  int16_t newest(int curve) { return s().curves[curve].ring[(s().write + OP_TREND_SAMPLES - 1) % OP_TREND_SAMPLES]; }
  void setTarget(float v) {
    FbF32* out = nullptr;
    ASSERT_EQ(FB_GetAnalogOutputPtr(kTarget, 1, &out), 1);
    *out = v;
  }
};

// The samples of a connected curve and of an unconnected one; a sample period counts cycles.
TEST_F(TrendObjectTest, SamplesEveryPeriod) {
  trend();
  initAll();
  setTarget(50.0f);
  fx->run(kObject);
  EXPECT_EQ(newest(0), 15000);
  EXPECT_EQ(newest(1), OP_TREND_EMPTY);
  EXPECT_EQ(s().scaleCurve, 0);
  setTarget(-1e6f);
  fx->run(kObject);
  EXPECT_EQ(newest(0), OP_TREND_LOWEST);
  EXPECT_EQ(s().count, 2);
  // One sample a second at 0.1 s a cycle.
  fx->floatParam(kObject, TRDOBJ_FLOAT_PERIOD) = 1.0f;
  const int before = s().count;
  const long every = std::lround(1.0f / FB_BlockCycleTime(kObject));
  for (int i = 0; i < 30; ++i) fx->run(kObject);
  EXPECT_EQ(s().count - before, 30 / every);
}

// A full ring hands the graph 500 points, never 501; fewer samples come after gaps so that the
// newest stays on the right.
TEST_F(TrendObjectTest, AtMost500PointsToTheGraph) {
  trend();
  open();
  const GRAPH_DATA_Handle data = OP_TrendObjectData(kObject, 1);
  ASSERT_NE(data, 0);
  EXPECT_EQ(OP_TrendObjectData(kObject, 2), 0) << "no curve without input";
  EXPECT_EQ(GRAPH_DATA_YT_GetNumItems(data), s().columns) << "gaps first";
  for (int i = 0; i < OP_TREND_SAMPLES + 20; ++i) fx->run(kObject);
  EXPECT_EQ(s().count, OP_TREND_SAMPLES);
  EXPECT_EQ(OP_TrendObjectCurves(kObject), OP_TREND_SAMPLES);
  EXPECT_EQ(GRAPH_DATA_YT_GetNumItems(data), OP_TREND_SAMPLES);
}

// Init copies the names with the device's characters; a range of no span samples 0.
TEST_F(TrendObjectTest, NamesAndNoSpan) {
  trend();
  setText(kObject, TRDOBJ_TEXT_NAME1, "T`C ~\x7f");
  fx->floatParam(kObject, 1) = 20.0f;
  fx->floatParam(kObject, 2) = 20.0f;
  setValue(kObject, TRDOBJ_WORD_LEGEND, 1);
  open();
  EXPECT_STREQ(s().names[0], "T\xb0" "C \xb3\xb2");
  setTarget(20.0f);
  fx->run(kObject);
  EXPECT_EQ(newest(0), 0);
  // The legend replaces the time labels: the curve's name is drawn near the top left.
  GUI_RECT r{};
  WM_GetWindowRectEx(windowOf(kObject), &r);
  const uint32_t background = lcdtest::ReadRaw(r.x0 + 60, r.y0 + 40);
  int lit = 0;
  for (int y = r.y0 + 2; y < r.y0 + 14; ++y)
    for (int x = r.x0 + 2; x < r.x0 + 30; ++x) lit += lcdtest::ReadRaw(x, y) != background;
  EXPECT_GT(lit, 10);
}

// The time labels stand out on the trend's own black background when the palette's text
// colour is dark (the labels would vanish in it): they are drawn in white then. (With a light
// text colour they keep it: the user page goldens show that.)
TEST_F(TrendObjectTest, TimeLabelsStandOutWithADarkTextColour) {
  const GUI_COLOR kept = g_opDeviceState.screenColors[5];
  g_opDeviceState.screenColors[5] = 0x202020;
  trend();
  open();
  GUI_RECT r{};
  WM_GetWindowRectEx(windowOf(kObject), &r);
  // The bottom rows of the trend hold its time labels.
  int brightest = 0;
  for (int y = r.y1 - 16; y <= r.y1; ++y)
    for (int x = r.x0 + 2; x < r.x0 + 60; ++x) {
      const uint32_t c = lcdtest::ReadRaw(x, y);
      brightest = std::max(brightest, static_cast<int>((299 * ((c >> 16) & 0xFF) + 587 * ((c >> 8) & 0xFF) +
                                                        114 * (c & 0xFF)) / 1000));
    }
  EXPECT_GE(brightest, 200);
  g_opDeviceState.screenColors[5] = kept;
}

// --- A user page with one object of each kind --------------------------------------------------

TEST_F(DrawnObjectTest, UserPageWithEveryObject) {
  Pictures pictures;
  pictures.add("Valve0", 40, 40, 0x808080);
  pictures.add("Valve1", 40, 40, 0x00C000);
  make(kTargetType, kTarget2);
  ProgWork& w = programmer();
  page();
  setValue(kPage, VUSER_WORD_TITLE, 0);  // below the top bar
  // Text.
  textObject(301, TXTOBJ_NUMBER, 1, "X", "%");
  fx->setLongValue(301, TXTOBJ_LONG_COLOUR, 16777215.0f);
  fx->setLongValue(301, TXTOBJ_LONG_COLOUR, 16777215.0f, true);
  fx->connectAnalog(301, TXTOBJ_IN_VALUE, kTarget, 1);
  place(kPage, 1, 301, 4, 4);
  // Picture, its state from the target's second output.
  make(OP_TYPE_IMGOBJ, 302);
  setText(302, IMGOBJ_TEXT_PICTURE0, "Valve0");
  setText(302, IMGOBJ_TEXT_PICTURE1, "Valve1");
  fx->setDigitalInput(302, IMGOBJ_DIN_STATE, 1);
  place(kPage, 2, 302, 270, 4);
  // Progress of the programmer.
  make(OP_TYPE_PROOBJ, 303);
  fx->connectAnalog(303, PROOBJ_IN_PROG, kProg, APROG_AO_BLNO + 1);
  setValue(303, PROOBJ_WORD_TEXT, PROOBJ_TEXT_SEGMENT);
  place(kPage, 3, 303, 4, 28);
  // Bar of the first curve's value, with a marker.
  make(OP_TYPE_BAROBJ, 304);
  fx->connectAnalog(304, BAROBJ_IN_VALUE, kTarget, 1);
  fx->connectAnalog(304, BAROBJ_IN_MARKER, kTarget, 2);
  setValue(304, BAROBJ_WORD_WIDTH, 100);
  setValue(304, BAROBJ_WORD_HEIGHT, 16);
  setValue(304, BAROBJ_WORD_TEXT, 1);
  place(kPage, 4, 304, 170, 28);
  // Trend of four curves.
  make(OP_TYPE_TRDOBJ, 305);
  for (uint16_t k = 0; k < 4; ++k) {
    fx->connectAnalog(305, static_cast<uint16_t>(k + 1), k < 2 ? kTarget : kTarget2, static_cast<uint16_t>(k % 2 + 1));
  }
  fx->floatParam(305, TRDOBJ_FLOAT_PERIOD) = 0.0f;
  fx->floatParam(305, 2) = 200.0f;  // curve 1 over 0..200
  setText(305, TRDOBJ_TEXT_NAME1, "X");
  setText(305, TRDOBJ_TEXT_NAME1 + 1, "W");
  setValue(305, TRDOBJ_WORD_LBLSTEP, 50);
  place(kPage, 5, 305, 0, 56);
  open();
  FbProgState& st = w.copy[w.own.copyInUse];
  st.state = PROG_RUNNING;
  st.total = 400.0f;
  st.timeBefore = 100.0f;
  w.page.segNo = 2;
  FbF32* outs[4] = {};
  FB_GetAnalogOutputPtr(kTarget, 1, &outs[0]);
  FB_GetAnalogOutputPtr(kTarget, 2, &outs[1]);
  FB_GetAnalogOutputPtr(kTarget2, 1, &outs[2]);
  FB_GetAnalogOutputPtr(kTarget2, 2, &outs[3]);
  for (int i = 0; i < 360; ++i) {
    const float t = static_cast<float>(i);
    *outs[0] = 100.0f + 80.0f * std::sin(t / 40.0f);
    *outs[1] = 50.0f + 0.1f * t;
    *outs[2] = 20.0f + 10.0f * std::cos(t / 15.0f);
    *outs[3] = i % 100 < 50 ? 80.0f : 70.0f;
    deviceCycle();
  }
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "user_page_objects"));
}

}  // namespace
