// Visualisation blocks: VWERT, VBAR, VPARA, VTREND and VIDLE, with the page records they
// fill for the operating pages.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "block_cases.h"
#include "blocks/limit/limit.h"
#include "blocks/trig/trig.h"
#include "blocks/visual/visual.h"
#include "blocks/visual/visual_internal.h"
#include "fakes/fake_gui.h"
#include "firmware/fw_main.h"
#include "links/sim_links.h"
#include "opui/op_services.h"
#include "runtime/fb_values.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_defer.h"
#include "support/param_target.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

void registerWithTarget() {
  BLK_RegisterAllTypes();
  param_target::Register();
}

template <typename Page>
Page& pageOf(uint16_t block, uint16_t type) {
  Page* p = VIS_Page<Page>(block, type);
  EXPECT_NE(p, nullptr) << "no page record for block " << block;
  static Page none{};
  return p ? *p : none;
}
VwertPage& vwertPage(uint16_t block = kBlock) { return pageOf<VwertPage>(block, BLK_TYPE_VWERT); }
VbarPage& vbarPage(uint16_t block = kBlock) { return pageOf<VbarPage>(block, BLK_TYPE_VBAR); }
VparaPage& vparaPage(uint16_t block = kBlock) { return pageOf<VparaPage>(block, BLK_TYPE_VPARA); }
VtrendPage& vtrendPage(uint16_t block = kBlock) {
  return pageOf<VtrendPage>(block, BLK_TYPE_VTREND);
}

std::string text(const char* p, size_t n) { return std::string(p, n); }

// =========================================================================================
// Page records and their headers

TEST(VisualPages, InitRegistersTheRecordAndRunCopiesHideAndLock) {
  struct Case {
    uint16_t type;
    unsigned hide;
    int lock;      // -1: the type has no lock input
    unsigned blno; // the output "Bl-no"
  } cases[] = {
      {BLK_TYPE_VWERT, VWERT_DI_HIDE, VWERT_DI_LOCK, VWERT_AO_BLNO},
      {BLK_TYPE_VBAR, VBAR_DI_HIDE, VBAR_DI_LOCK, VBAR_AO_BLNO},
      {BLK_TYPE_VPARA, VPARA_DI_HIDE, VPARA_DI_LOCK, VPARA_AO_BLNO},
      {BLK_TYPE_VTREND, VTREND_DI_HIDE, -1, VTREND_AO_BLNO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(c.type, kBlock);
    fx.setDigitalInput(kBlock, static_cast<uint16_t>(c.hide + 1), 1);
    if (c.lock >= 0) fx.setDigitalInput(kBlock, static_cast<uint16_t>(c.lock + 1), 0);
    fx.init(kBlock);
    const auto* h = static_cast<const OpBlockPageData*>(g_fbStore.list[kBlock].pageData);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->type, c.type);
    EXPECT_EQ(h->hide, 1);
    EXPECT_EQ(h->updated, 0);
    fx.setDigitalInput(kBlock, static_cast<uint16_t>(c.hide + 1), 0);
    if (c.lock >= 0) fx.setDigitalInput(kBlock, static_cast<uint16_t>(c.lock + 1), 1);
    fx.run(kBlock);
    EXPECT_EQ(h->hide, 0);
    EXPECT_EQ(h->lock, c.lock >= 0 ? 1 : 0);
    EXPECT_EQ(h->updated, 1);
    // The block's own number on "Bl-no".
    EXPECT_EQ(fx.analogOut(kBlock, c.blno + 1), kBlock);
  }
}

// =========================================================================================
// VWERT

// Rows 2, 3, 4 form a radio group; row 5 is a toggle and row 6 a radio row of its own group.
TEST(Vwert, RadioRowsClearTheirGroupAndPushButtonsDropBack) {
  struct Case {
    const char* what;
    uint16_t modes[VWERT_ROWS];
    uint16_t row;      // 1-based
    uint16_t value;
    uint16_t before[VWERT_ROWS];
    uint16_t after[VWERT_ROWS];   // pending copies
  } cases[] = {
      {"z 3 clears z 2 and z 4, not z 5 or z 6", {0, 3, 3, 3, 4, 3}, 3, 1,
       {1, 1, 0, 1, 1, 1}, {1, 0, 1, 0, 1, 1}},
      {"the first row of the group", {0, 3, 3, 3, 4, 3}, 2, 1,
       {0, 0, 1, 1, 0, 0}, {0, 1, 0, 0, 0, 0}},
      {"a 0 clears nothing else", {0, 3, 3, 3, 4, 3}, 3, 0,
       {0, 1, 1, 1, 0, 0}, {0, 1, 0, 1, 0, 0}},
      {"a value equal to the pending one changes nothing", {0, 3, 3, 3, 4, 3}, 3, 1,
       {0, 1, 1, 1, 0, 0}, {0, 1, 1, 1, 0, 0}},
      {"a push button drops back to 0", {0, 0, 0, 0, 5, 0}, 5, 1,
       {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}},
      {"other modes keep the value", {1, 4, 0, 0, 0, 0}, 2, 1,
       {0, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}},
  };
  for (const bool running : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.what << (running ? ", running" : ", stopped"));
      BlockFixture fx(BLK_RegisterAllTypes);
      SaveRecorder rec;
      fx.create(BLK_TYPE_VWERT, kBlock);
      for (uint16_t i = 1; i <= VWERT_ROWS; ++i) {
        fx.wordValue(kBlock, VWERT_ROWS + i, true) = c.modes[i - 1];
      }
      fx.init(kBlock);
      for (uint16_t i = 1; i <= VWERT_ROWS; ++i) {
        fx.wordParam(kBlock, i) = c.before[i - 1];
        fx.wordParam(kBlock, i, true) = c.before[i - 1];
      }
      g_fwRunMode = running ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
      uint16_t bad = 99;
      EXPECT_EQ(sendParam(FB_WordRequest(kBlock, FB_ID_WORD + c.row - 1, c.value), &bad), FB_OK);
      for (uint16_t i = 1; i <= VWERT_ROWS; ++i) {
        EXPECT_EQ(fx.wordParam(kBlock, i, true), c.after[i - 1]) << "pending z " << i;
        // Stopped, the pending copies apply at once (a push button's press stays in force
        // until the next change applies); running, they wait for the next run.
        const bool pressed = !running && c.modes[i - 1] == VWERT_MODE_BUTTON && i == c.row;
        EXPECT_EQ(fx.wordParam(kBlock, i), running ? c.before[i - 1] : pressed ? 1 : c.after[i - 1])
            << "z " << i;
      }
      if (running) {
        fx.run(kBlock);
        for (uint16_t i = 1; i <= VWERT_ROWS; ++i) {
          EXPECT_EQ(fx.wordParam(kBlock, i), c.after[i - 1]) << "applied z " << i;
        }
      }
    }
  }
}

TEST(Vwert, AllpBlockGivesTheRangeRefreshedEveryRun) {
  constexpr uint16_t kAllp = 101;
  for (const uint16_t select : {ALL_SELECT_X, ALL_SELECT_RATE}) {
    SCOPED_TRACE(select);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_VWERT, kBlock);
    fx.create(BLK_TYPE_ALLP, kAllp);
    fx.wireAnalogInput(kBlock, 1, kAllp, 1);
    fx.wordValue(kAllp, 1) = select;
    fx.floatParam(kAllp, 1) = 80.0f;    // H 1
    fx.floatParam(kAllp, 3) = -20.0f;   // L 1
    fx.init(kBlock);
    const VwertRow& r = vwertPage().rows[0];
    const float min = select == ALL_SELECT_X ? -20.0f : -29999.0f;
    const float max = select == ALL_SELECT_X ? 80.0f : 999999.0f;
    EXPECT_EQ(r.min.get(), min);
    EXPECT_EQ(r.max.get(), max);
    fx.floatParam(kAllp, 1) = 90.0f;
    fx.floatParam(kAllp, 3) = -30.0f;
    fx.run(kBlock);
    EXPECT_EQ(r.min.get(), select == ALL_SELECT_X ? -30.0f : min);
    EXPECT_EQ(r.max.get(), select == ALL_SELECT_X ? 90.0f : max);
    // The other rows keep the limits of their parameters.
    EXPECT_EQ(vwertPage().rows[1].min.get(), -29999.0f);
  }
}

// A text row follows its TEXT blocks through their "Casc" inputs; a loop ends the walk.
TEST(Vwert, TextRowTakesItsChainOfTextBlocks) {
  constexpr uint16_t kText1 = 101, kText2 = 102, kText3 = 103;
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_VWERT, kBlock);
  for (uint16_t t : {kText1, kText2, kText3}) fx.create(BLK_TYPE_TEXT, t);
  fx.wireAnalogInput(kBlock, 2, kText1, TEXT_OUT_USRTXT);
  fx.wireAnalogInput(kText1, TEXT_IN_CASC, kText2, TEXT_OUT_USRTXT);
  fx.wireAnalogInput(kText2, TEXT_IN_CASC, kText3, TEXT_OUT_USRTXT);
  fx.wireAnalogInput(kText3, TEXT_IN_CASC, kText1, TEXT_OUT_USRTXT);   // back to the first
  fx.wireAnalogInput(kBlock, 3, kText1, TEXT_OUT_USRTXT);              // row 3 is analog
  fx.wordValue(kBlock, VWERT_ROWS + 2, true) = VWERT_MODE_TEXT;
  fx.init(kBlock);
  const VwertPage& p = vwertPage();
  EXPECT_EQ(std::vector<uint16_t>(p.textChain[1], p.textChain[1] + VWERT_TEXT_CHAIN),
            (std::vector<uint16_t>{kText1, kText2, kText3, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(p.rows[1].min.get(), 1.0f);
  EXPECT_EQ(p.rows[1].max.get(), 12.0f);
  EXPECT_EQ(p.textChain[2][0], 0);
  EXPECT_EQ(p.rows[2].max.get(), 999999.0f);
}

// "Casc" wired to another VWERT's "Bl-no" links the two pages, whichever starts first.
TEST(Vwert, CascadeLinksPredecessorAndSuccessor) {
  constexpr uint16_t kSecond = 101, kOther = 102;
  for (const bool firstStartsFirst : {true, false}) {
    SCOPED_TRACE(firstStartsFirst);
    BlockFixture fx(BLK_RegisterAllTypes);
    for (uint16_t b : {kBlock, kSecond, kOther}) fx.create(BLK_TYPE_VWERT, b);
    fx.wireAnalogInput(kSecond, VWERT_AI_CASC + 1, kBlock, VWERT_AO_BLNO + 1);
    fx.wireAnalogInput(kOther, VWERT_AI_CASC + 1, kBlock, VWERT_AO_LINE + 1);   // not Bl-no
    const uint16_t order[] = {firstStartsFirst ? kBlock : kSecond,
                              firstStartsFirst ? kSecond : kBlock, kOther};
    for (uint16_t b : order) fx.init(b);
    EXPECT_EQ(vwertPage(kBlock).successor, kSecond);
    EXPECT_EQ(vwertPage(kBlock).predecessor, 0);
    EXPECT_EQ(vwertPage(kSecond).predecessor, kBlock);
    EXPECT_EQ(vwertPage(kOther).predecessor, 0);
    // Unwired again: the next start forgets the link.
    fx.wireAnalogInput(kSecond, VWERT_AI_CASC + 1, kOther, VWERT_AO_LINE + 1);
    fx.init(kBlock);
    fx.init(kSecond);
    EXPECT_EQ(vwertPage(kBlock).successor, 0);
    EXPECT_EQ(vwertPage(kSecond).predecessor, 0);
  }
}

// Changes the page makes are taken in the next run, applied, saved and shown; a value that
// the parameter's limits refuse is dropped and the page shows the parameter again.
TEST(Vwert, PageChangesReachTheParameters) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(BLK_TYPE_VWERT, kBlock);
  for (uint16_t i : {2, 3, 4}) fx.wordValue(kBlock, VWERT_ROWS + i, true) = VWERT_MODE_RADIO;
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  VwertPage& p = vwertPage();
  p.rows[0].value = 12.5f;
  p.rows[0].valueChanged = 1;
  fx.run(kBlock);
  EXPECT_EQ(fx.floatParam(kBlock, 1).get(), 12.5f);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 12.5f);
  EXPECT_EQ(fx.digitalOut(kBlock, VWERT_DO_CHANGE + 1), 1);
  EXPECT_EQ(fx.analogOut(kBlock, VWERT_AO_LINE + 1), 1.0f);
  EXPECT_EQ(p.rows[0].valueChanged, 0);
  EXPECT_EQ(rec.saves.size(), 1u);
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, VWERT_DO_CHANGE + 1), 0);
  EXPECT_EQ(fx.analogOut(kBlock, VWERT_AO_LINE + 1), 0.0f);

  // Radio row 3 switched on by the page, row 2 off: "Line" names the row switched on.
  fx.wordParam(kBlock, 2) = fx.wordParam(kBlock, 2, true) = 1;
  p.rows[1].word = 0;
  p.rows[1].wordChanged = 1;
  p.rows[2].word = 1;
  p.rows[2].wordChanged = 1;
  fx.run(kBlock);
  EXPECT_EQ(fx.digitalOut(kBlock, 2), 0);
  EXPECT_EQ(fx.digitalOut(kBlock, 3), 1);
  EXPECT_EQ(fx.analogOut(kBlock, VWERT_AO_LINE + 1), 3.0f);

  for (const float refused : {kNaN, 1.0e6f, -30000.0f}) {
    SCOPED_TRACE(refused);
    p.rows[3].value = refused;
    p.rows[3].valueChanged = 1;
    fx.run(kBlock);
    EXPECT_EQ(fx.floatParam(kBlock, 4).get(), 0.0f);
    EXPECT_EQ(p.rows[3].value.get(), 0.0f);
    EXPECT_EQ(fx.digitalOut(kBlock, VWERT_DO_CHANGE + 1), 0);
  }
  p.rows[4].word = 2;   // a switch holds 0 or 1
  p.rows[4].wordChanged = 1;
  fx.run(kBlock);
  EXPECT_EQ(fx.wordParam(kBlock, 5), 0);
  EXPECT_EQ(p.rows[4].word, 0);
}

// A rising "store" edge takes each input into its setting as far as the limits allow.
TEST(Vwert, StoreEdgeTakesTheInputsTheLimitsAllow) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(BLK_TYPE_VWERT, kBlock);
  const float x[VWERT_ROWS] = {7.0f, 5.0e6f, kNaN, -29999.0f, 999999.0f, -3.5f};
  const uint16_t d[VWERT_ROWS] = {1, 3, 0, 1, 0, 1};
  for (uint16_t i = 1; i <= VWERT_ROWS; ++i) {
    fx.setAnalogInput(kBlock, i, x[i - 1]);
    fx.setDigitalInput(kBlock, VWERT_DI_D1 + i, d[i - 1]);
  }
  fx.setDigitalInput(kBlock, VWERT_DI_STORE + 1, 0);
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  fx.run(kBlock);
  EXPECT_EQ(fx.floatParam(kBlock, 1).get(), 0.0f) << "no edge yet";
  fx.setDigitalInput(kBlock, VWERT_DI_STORE + 1, 1);
  fx.run(kBlock);
  const float y[VWERT_ROWS] = {7.0f, 0.0f, 0.0f, -29999.0f, 999999.0f, -3.5f};
  const uint16_t z[VWERT_ROWS] = {1, 0, 0, 1, 0, 1};
  for (uint16_t i = 1; i <= VWERT_ROWS; ++i) {
    EXPECT_EQ(fx.floatParam(kBlock, i).get(), y[i - 1]) << "Y " << i;
    EXPECT_EQ(fx.floatParam(kBlock, i, true).get(), y[i - 1]) << "pending Y " << i;
    EXPECT_EQ(fx.analogOut(kBlock, i), y[i - 1]) << "output Y " << i;
    EXPECT_EQ(fx.wordParam(kBlock, i), z[i - 1]) << "z " << i;
    EXPECT_EQ(fx.digitalOut(kBlock, i), z[i - 1]) << "output z " << i;
    EXPECT_EQ(vwertPage().rows[i - 1].value.get(), y[i - 1]) << "page Y " << i;
  }
  EXPECT_EQ(rec.saves.size(), 2u) << "floats and words saved";
  // Held, it stores nothing more.
  fx.setAnalogInput(kBlock, 1, 8.0f);
  fx.run(kBlock);
  EXPECT_EQ(fx.floatParam(kBlock, 1).get(), 7.0f);
}

// With the write ring full the change waits in the pending flag; outputs and page follow
// once it was queued.
TEST(Vwert, OutputsFollowOnlyOnceTheSaveWasQueued) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(BLK_TYPE_VWERT, kBlock);
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 0;
  ASSERT_EQ(sendParam(FB_FloatRequest(kBlock, FB_ID_FLOAT + 1, 4.0f), &bad), FB_OK);
  SaveRecorder::answer = 1;
  fx.run(kBlock);
  EXPECT_EQ(g_fbPending.floats[kBlock], 1);
  EXPECT_EQ(fx.analogOut(kBlock, 2), 0.0f);
  EXPECT_EQ(vwertPage().rows[1].value.get(), 0.0f);
  SaveRecorder::answer = 0;
  fx.run(kBlock);
  EXPECT_EQ(g_fbPending.floats[kBlock], 0);
  EXPECT_EQ(fx.analogOut(kBlock, 2), 4.0f);
  EXPECT_EQ(vwertPage().rows[1].value.get(), 4.0f);
}

TEST(Vwert, RowsTakeModesTextsAndValues) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_VWERT, kBlock);
  fx.wordValue(kBlock, 4, true) = VIS_DISP_EMPTY;                  // Disp 4
  fx.wordValue(kBlock, VWERT_ROWS + 4, true) = VWERT_MODE_TIME;    // Mode 4
  fx.wordValue(kBlock, 2 * VWERT_ROWS + 4, true) = 2;              // Dp 4
  fx.floatParam(kBlock, 4) = 1.25f;
  fx.wordParam(kBlock, 4) = 1;
  fx.setAnalogInput(kBlock, 4, 3.0f);
  fx.setDigitalInput(kBlock, VWERT_DI_D1 + 4, 1);
  fx.init(kBlock);
  const VwertPage& p = vwertPage();
  const VwertRow& r = p.rows[3];
  EXPECT_EQ(text(p.title, 16), "VWERT           ");
  EXPECT_EQ(text(r.name, 16), "Name_4          ");
  EXPECT_EQ(text(r.unit, 16), "Unit_4          ");
  EXPECT_EQ(r.mode, VWERT_MODE_TIME);
  EXPECT_EQ(r.disp, VIS_DISP_EMPTY);
  EXPECT_EQ(r.wordDisp, VIS_DISP_EMPTY);
  EXPECT_EQ(r.dp, 2);
  EXPECT_EQ(r.value.get(), 1.25f);
  EXPECT_EQ(r.word, 1);
  EXPECT_EQ(r.analog.get(), 3.0f);
  EXPECT_EQ(r.digital, 1);
  EXPECT_EQ(fx.analogOut(kBlock, 4), 1.25f);
  EXPECT_EQ(fx.digitalOut(kBlock, 4), 1);
  fx.setAnalogInput(kBlock, 4, kNaN);
  fx.run(kBlock);
  EXPECT_EQ(r.analog.get(), 0.0f) << "the page never sees NaN";
}

// =========================================================================================
// VBAR

TEST(Vbar, MarksRangesAndTexts) {
  constexpr uint16_t kAllp = 101;
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_VBAR, kBlock);
  fx.create(BLK_TYPE_ALLP, kAllp);
  fx.wireAnalogInput(kBlock, 2, kAllp, 1);   // X 2
  fx.floatParam(kAllp, 1) = 50.0f;
  fx.floatParam(kAllp, 3) = 10.0f;
  fx.setLongValue(kBlock, 4, -5.0f, true);   // X4   0
  fx.setLongValue(kBlock, 5, 15.0f, true);   // X4 100
  fx.wordValue(kBlock, 5, true) = 1;         // Typ vertical
  char* name = nullptr;
  ASSERT_EQ(FB_GetTextParamPtr(kBlock, 2, &name), 1);
  std::memcpy(name, "Fl w  long text ", 16);
  fx.setAnalogInput(kBlock, VBAR_AI_MARK11 + 2, 3.0f);   // Mark12
  fx.setAnalogInput(kBlock, VBAR_AI_BAR1 + 2, 7.0f);     // Bar2
  fx.init(kBlock);
  const VbarPage& p = vbarPage();
  EXPECT_STREQ(p.name[0], "Fl w");
  EXPECT_STREQ(p.unit[1], "Unit_2");
  EXPECT_EQ(p.typ, 1);
  for (const FbF32& m : p.mark) EXPECT_EQ(m.get(), VIS_NO_MARK);
  EXPECT_EQ(p.op[0].min.get(), -29999.0f);
  EXPECT_EQ(p.op[1].min.get(), 10.0f);
  EXPECT_EQ(p.op[1].max.get(), 50.0f);
  EXPECT_EQ(p.bar[1].start.get(), -5.0f);
  EXPECT_EQ(p.bar[1].end.get(), 15.0f);
  EXPECT_EQ(p.bar[1].form, 3);
  EXPECT_EQ(p.x[0].min.get(), -29999.0f);
  EXPECT_EQ(p.x[0].max.get(), 999999.0f);
  fx.run(kBlock);
  // Only the wired mark is shown; an unwired one keeps "not shown".
  EXPECT_EQ(p.mark[0].get(), VIS_NO_MARK);
  EXPECT_EQ(p.mark[1].get(), 3.0f);
  EXPECT_EQ(p.mark[2].get(), VIS_NO_MARK);
  EXPECT_EQ(p.mark[3].get(), VIS_NO_MARK);
  EXPECT_EQ(p.bar[1].value.get(), 7.0f);
  fx.floatParam(kAllp, 1) = 60.0f;
  fx.run(kBlock);
  EXPECT_EQ(p.op[1].max.get(), 60.0f);
}

TEST(Vbar, StoreEdgeAndPageChangesTakeTheSettings) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(BLK_TYPE_VBAR, kBlock);
  fx.setAnalogInput(kBlock, 1, 4.5f);
  fx.setAnalogInput(kBlock, 2, 2.0e6f);   // beyond the limits: skipped
  fx.setDigitalInput(kBlock, VBAR_DI_STORE + 1, 0);
  fx.init(kBlock);
  g_fwRunMode = FW_RUN_MODE_RUN;
  fx.setDigitalInput(kBlock, VBAR_DI_STORE + 1, 1);
  fx.run(kBlock);
  EXPECT_EQ(fx.floatParam(kBlock, 1).get(), 4.5f);
  EXPECT_EQ(fx.floatParam(kBlock, 2).get(), 0.0f);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 4.5f);
  VbarPage& p = vbarPage();
  EXPECT_EQ(p.op[0].value.get(), 4.5f);
  p.op[1].value = -8.0f;
  p.op[1].changed = 1;
  fx.run(kBlock);
  EXPECT_EQ(fx.floatParam(kBlock, 2).get(), -8.0f);
  EXPECT_EQ(fx.analogOut(kBlock, 2), -8.0f);
  EXPECT_EQ(p.op[1].changed, 0);
  EXPECT_EQ(rec.saves.size(), 2u);
}

// =========================================================================================
// VPARA

struct VparaRig {
  static constexpr uint16_t kTarget = 200, kMissing = 201;
  BlockFixture fx{registerWithTarget};
  VparaRig() {
    FW_ClearDeferredCalls();
    g_fwEng.status = 0;
    fx.create(BLK_TYPE_VPARA, kBlock);
    fx.create(param_target::kType, kTarget);
    // {block, number} of the rows, and X i (unwired when NaN).
    const uint16_t rows[6][2] = {{kTarget, 1}, {kTarget, 3}, {kTarget, 2},
                                 {0, 1},       {kTarget, 1}, {kMissing, 1}};
    const float x[6] = {7.9f, 2.5f, kNaN, 1.0f, 70000.0f, 1.0f};
    for (uint16_t i = 0; i < 6; ++i) {
      fx.wordValue(kBlock, 2 * i + 1, true) = rows[i][0];
      fx.wordValue(kBlock, 2 * i + 2, true) = rows[i][1];
      if (x[i] == x[i]) fx.setAnalogInput(kBlock, i + 1, x[i]);
    }
    fx.setDigitalInput(kBlock, VPARA_DI_STORE + 1, 0);
    fx.init(kBlock);
  }
  ~VparaRig() {
    FW_ClearDeferredCalls();
    g_fwEng.status = 0;
  }
  void store() {
    fx.setDigitalInput(kBlock, VPARA_DI_STORE + 1, 1);
    fx.run(kBlock);
    fx.setDigitalInput(kBlock, VPARA_DI_STORE + 1, 0);
  }
};

TEST(Vpara, StoreEdgePostsOneWritePerRowWithAHandler) {
  VparaRig rig;
  BlockFixture& fx = rig.fx;
  const VparaPage& p = vparaPage();
  EXPECT_EQ(p.page.lines[0].block, VparaRig::kTarget);
  EXPECT_EQ(p.page.lines[1].item, 3);
  EXPECT_EQ(p.page.lines[3].block, 0) << "block 0: an empty row";
  EXPECT_EQ(p.page.lines[5].block, VparaRig::kMissing);
  EXPECT_EQ(text(p.page.lines[0].text, 16), "Para 1    Unit 1");
  EXPECT_EQ(fx.analogOut(kBlock, 1), 11.0f) << "the target's word parameter 1";
  EXPECT_EQ(fx.analogOut(kBlock, 2), 1.5f) << "number 3: its float parameter 1";
  EXPECT_EQ(fx.analogOut(kBlock, 6), 0.0f);

  rig.store();
  EXPECT_EQ(g_fwEng.status & 0x08, 0x08);
  const uint8_t waiting[6] = {FW_DEFER_EMPTY, FW_DEFER_EMPTY, 1, 0, FB_ERR_LIMITS, 0};
  for (uint16_t i = 0; i < 6; ++i) EXPECT_EQ(fx.digitalOut(kBlock, i + 1), waiting[i]) << i;
  EXPECT_EQ(g_fwDeferredCalls.postPos, 2) << "two writes posted";
  EXPECT_NE(FW_RunDeferredCalls(), 1);
  fx.run(kBlock);
  const uint8_t done[6] = {0, 0, 1, 0, FB_ERR_LIMITS, 0};
  for (uint16_t i = 0; i < 6; ++i) EXPECT_EQ(fx.digitalOut(kBlock, i + 1), done[i]) << i;
  EXPECT_EQ(fx.wordParam(VparaRig::kTarget, 1), 7) << "7.9 as a whole number";
  EXPECT_EQ(fx.floatParam(VparaRig::kTarget, 1).get(), 2.5f);
  EXPECT_EQ(fx.analogOut(kBlock, 1), 7.0f);
  EXPECT_EQ(fx.analogOut(kBlock, 5), 7.0f) << "70000 was not written";
  // The run without an edge posts nothing.
  fx.run(kBlock);
  EXPECT_EQ(g_fwDeferredCalls.postPos, 2);
}

TEST(Vpara, AFullRingKeepsTheRequestForTheNextRun) {
  VparaRig rig;
  BlockFixture& fx = rig.fx;
  const uint8_t data[2] = {};
  while (FW_PostDeferredCall(VparaRig::kTarget, FB_ID_WORD, data, 2, FB_StandardParam, nullptr) ==
         FW_POST_OK) {
  }
  g_fwEng.status = 0;
  rig.store();
  EXPECT_EQ(g_fwEng.status & 0x08, 0) << "nothing posted";
  EXPECT_EQ(vparaPage().rows[0].send, 1);
  EXPECT_EQ(vparaPage().rows[1].send, 1);
  FW_RunDeferredCalls();
  fx.run(kBlock);
  EXPECT_EQ(vparaPage().rows[0].send, 0);
  EXPECT_EQ(vparaPage().rows[1].send, 0);
  EXPECT_EQ(g_fwEng.status & 0x08, 0x08);
  FW_RunDeferredCalls();
  EXPECT_EQ(fx.wordParam(VparaRig::kTarget, 1), 7);
}

// The typed value access builds the class-3 list from the real record.
TEST(Vpara, ParameterPageListIsBuiltFromTheRecord) {
  VparaRig rig;
  int16_t status = 0;
  FB_ReadValuesByClass(3, kBlock, &status);
  ASSERT_EQ(status, 1);
  const FbValueLists& l = g_fbValueLists;
  ASSERT_EQ(l.rowCount, 6);
  ASSERT_NE(l.rows[0].entry, nullptr);
  EXPECT_EQ(l.rows[0].sub, FB_ID_WORD);
  EXPECT_EQ(text(l.rows[0].ownText, 16), "Para 1    Unit 1");
  EXPECT_EQ(l.rows[1].sub, FB_ID_FLOAT);
  EXPECT_EQ(l.rows[3].entry, nullptr);
  EXPECT_EQ(l.rows[5].flags & FB_ROW_TEXT_ONLY, FB_ROW_TEXT_ONLY);
}

// =========================================================================================
// VTREND

struct TrendRig {
  BlockFixture fx{BLK_RegisterAllTypes};
  explicit TrendRig(bool external = true, float x0 = 0.0f, float x100 = 100.0f) {
    fx.create(BLK_TYPE_VTREND, kBlock);
    fx.setLongValue(kBlock, 2, x0, true);
    fx.setLongValue(kBlock, 3, x100, true);
    fx.setAnalogInput(kBlock, 1, 0.0f);
    if (external) fx.setDigitalInput(kBlock, VTREND_DI_SAMPLE + 1, 0);
    fx.init(kBlock);
  }
  vis::VtrendState& state() {
    return BLK_WorkState<vis::VtrendState>(fx.layout(kBlock));
  }
  // One sample of x through the "sample" input.
  void sample(float x) {
    fx.setAnalogInput(kBlock, 1, x);
    fx.setDigitalInput(kBlock, VTREND_DI_SAMPLE + 1, 1);
    fx.run(kBlock);
    fx.setDigitalInput(kBlock, VTREND_DI_SAMPLE + 1, 0);
    fx.run(kBlock);
  }
};

TEST(Vtrend, SamplesAreKeptAsFloatsAndPerMille) {
  TrendRig rig(true, 0.0f, 200.0f);
  const VtrendPage& p = vtrendPage();
  const struct {
    float x;
    int16_t point;
  } cases[] = {{50.0f, 250}, {-5.0f, -1}, {250.0f, 1001}, {0.0f, 0}, {200.0f, 1000}, {kNaN, 0}};
  for (const auto& c : cases) rig.sample(c.x);
  const FbF32* values = VIS_TrendValues(p);
  const int16_t* points = VIS_TrendPoints(p);
  ASSERT_TRUE(values && points);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].x);
    EXPECT_EQ(values[i].get(), cases[i].x == cases[i].x ? cases[i].x : 0.0f);
    EXPECT_EQ(points[i], cases[i].point);
  }
  EXPECT_EQ(p.count, 6);
  EXPECT_EQ(p.newest, 5);
  EXPECT_EQ(p.length, VTREND_RING);
  EXPECT_EQ(p.timeUnit, 0) << "sampled by the input";
  // "X-125" is the sample at the write index, the oldest.
  EXPECT_EQ(rig.fx.analogOut(kBlock, VTREND_AO_X125 + 1), 0.0f);
}

TEST(Vtrend, TimedSamplingReadyAndReset) {
  TrendRig rig(false);
  rig.fx.setLongValue(kBlock, 1, 0.5f, true);   // Sample 0.5 s in a 0.1-s group
  rig.fx.init(kBlock);
  const VtrendPage& p = vtrendPage();
  EXPECT_EQ(p.timeUnit, 1);
  EXPECT_EQ(p.period.get(), 0.5f);
  rig.fx.run(kBlock, 4);
  EXPECT_EQ(p.count, 0);
  rig.fx.run(kBlock);
  EXPECT_EQ(p.count, 1);
  rig.fx.run(kBlock, 5 * 248);
  EXPECT_EQ(p.count, 249);
  EXPECT_EQ(rig.fx.digitalOut(kBlock, 1), 0);
  rig.fx.run(kBlock, 5);
  EXPECT_EQ(p.count, 250);
  EXPECT_EQ(rig.fx.digitalOut(kBlock, 1), 1);
  rig.fx.run(kBlock, 5);
  EXPECT_EQ(p.count, 250);
  EXPECT_EQ(rig.state().writeIndex, 1) << "the ring wraps";

  // "disabl": nothing recorded, the page not marked.
  rig.fx.setDigitalInput(kBlock, VTREND_DI_DISABL + 1, 1);
  vtrendPage().header.updated = 0;
  rig.fx.run(kBlock, 10);
  EXPECT_EQ(rig.state().writeIndex, 1);
  EXPECT_EQ(p.header.updated, 0);
  EXPECT_EQ(p.disabl, 1);
  // "reset" held: the ring stays empty.
  rig.fx.setDigitalInput(kBlock, VTREND_DI_RESET + 1, 1);
  rig.fx.run(kBlock, 10);
  EXPECT_EQ(p.count, 0);
  EXPECT_EQ(rig.state().writeIndex, 0);
  EXPECT_EQ(rig.fx.digitalOut(kBlock, 1), 0);
  EXPECT_EQ(p.header.updated, 1);
  EXPECT_EQ(VIS_TrendValues(p)[5].get(), 0.0f);
}

// A warm start keeps the ring and marks the gap; a cold start clears it.
TEST(Vtrend, WarmStartKeepsTheRingWithAGap) {
  TrendRig rig;
  for (int i = 1; i <= 10; ++i) rig.sample(static_cast<float>(i));
  {
    WarmStart warm;
    rig.fx.init(kBlock);
  }
  const VtrendPage& p = vtrendPage();
  const FbF32* values = VIS_TrendValues(p);
  EXPECT_EQ(p.count, 12);
  EXPECT_EQ(values[9].get(), 10.0f);
  EXPECT_EQ(values[10].get(), 999999.0f);
  EXPECT_EQ(values[11].get(), -29999.0f);
  EXPECT_EQ(VIS_TrendPoints(p)[10], 1001);
  EXPECT_EQ(VIS_TrendPoints(p)[11], -1);
  EXPECT_EQ(p.newest, 11);
  rig.fx.init(kBlock);
  EXPECT_EQ(p.count, 0);
  EXPECT_EQ(values[0].get(), 0.0f);
  // A full ring stays at 250 through the gap, and "X-125" is the oldest sample.
  for (int i = 0; i < 250; ++i) rig.sample(static_cast<float>(i));
  {
    WarmStart warm;
    rig.fx.init(kBlock);
  }
  EXPECT_EQ(p.count, 250);
  EXPECT_EQ(rig.state().writeIndex, 2);
  EXPECT_EQ(rig.fx.analogOut(kBlock, VTREND_AO_X125 + 1), 2.0f);
  EXPECT_EQ(rig.fx.digitalOut(kBlock, 1), 1);
}

TEST(Vtrend, RingReadsAnswer25SamplesAndTheWriteIndex) {
  TrendRig rig;
  for (int i = 0; i < 60; ++i) rig.sample(static_cast<float>(i));
  for (const int16_t id : {-4180, -4181, -4189}) {
    SCOPED_TRACE(id);
    FbParamRequest r(kBlock, id);
    uint16_t bad = 99;
    g_fbReadLength = 0;
    ASSERT_EQ(FB_GetType(BLK_TYPE_VTREND)->param(&r, &bad), FB_OK);
    EXPECT_EQ(r.u8(4), 2);
    EXPECT_EQ(r.u8(5), 25);
    EXPECT_EQ(r.u8(6), 99);
    EXPECT_EQ(r.u8(7), 0);
    EXPECT_EQ(r.u16(8), 60);
    EXPECT_EQ(g_fbReadLength, 106);
    const int first = 25 * (-4180 - id);
    for (int j = 0; j < 25; ++j) {
      EXPECT_EQ(r.f32(10 + 4 * j), first + j < 60 ? static_cast<float>(first + j) : 0.0f) << j;
    }
  }
  for (const int16_t id : {-4179, -4190}) {
    FbParamRequest r(kBlock, id);
    uint16_t bad = 0;
    EXPECT_EQ(FB_VTREND_Param(&r, &bad), FB_ERR_UNKNOWN_ID) << id;
  }
}

TEST(Vtrend, UnitBoundsThePendingSample) {
  TrendRig rig;
  BlockFixture& fx = rig.fx;
  uint16_t bad = 0;
  // Sample 0.05 needs hours.
  EXPECT_EQ(sendParam(FB_FloatRequest(kBlock, FB_ID_LONG_VALUE, 0.05f), &bad), FB_ERR_LIMITS);
  ASSERT_EQ(sendParam(FB_WordRequest(kBlock, FB_ID_WORD_VALUE, VTREND_UNIT_H), &bad), FB_OK);
  ASSERT_EQ(sendParam(FB_FloatRequest(kBlock, FB_ID_LONG_VALUE, 0.05f), &bad), FB_OK);
  // Back to seconds: the pending Sample is raised to 0.2.
  ASSERT_EQ(sendParam(FB_WordRequest(kBlock, FB_ID_WORD_VALUE, VTREND_UNIT_S), &bad), FB_OK);
  EXPECT_FLOAT_EQ(fx.longValue(kBlock, 1, true), 0.2f);
  EXPECT_FLOAT_EQ(fx.longValue(kBlock, 1), 1.0f) << "the value in force waits for Init";

  // A whole set: the new Unit bounds the Sample it brings; a refused set takes both back.
  const uint16_t hours[] = {VTREND_UNIT_H, 1};
  const uint16_t seconds[] = {VTREND_UNIT_S, 3};
  const float items[] = {0.05f, 0.0f, 50.0f};
  ASSERT_EQ(sendParam(FB_SetRequest(kBlock, FB_ID_ALL_VALUES, hours, items), &bad), FB_OK);
  EXPECT_EQ(fx.wordValue(kBlock, 1, true), VTREND_UNIT_H);
  EXPECT_FLOAT_EQ(fx.longValue(kBlock, 1, true), 0.05f);
  EXPECT_EQ(sendParam(FB_SetRequest(kBlock, FB_ID_ALL_VALUES, seconds, items), &bad),
            FB_ERR_LIMITS);
  EXPECT_EQ(bad, 3);
  EXPECT_EQ(fx.wordValue(kBlock, 1, true), VTREND_UNIT_H);
  EXPECT_EQ(fx.wordValue(kBlock, 2, true), 1);
  fx.init(kBlock);
  EXPECT_EQ(vtrendPage().timeUnit, 0) << "sampled by its input";
  EXPECT_FLOAT_EQ(vtrendPage().period.get(), 0.05f);
  EXPECT_EQ(vtrendPage().dp, 1);
  EXPECT_FLOAT_EQ(vtrendPage().x100.get(), 50.0f);
}

// A VTREND fed by another's "X-125" is that one's cascade; a loop ends the page's walk.
TEST(Vtrend, CascadeAndItsWalk) {
  constexpr uint16_t kSecond = 101, kThird = 102;
  BlockFixture fx(BLK_RegisterAllTypes);
  for (uint16_t b : {kBlock, kSecond, kThird}) fx.create(BLK_TYPE_VTREND, b);
  fx.wireAnalogInput(kSecond, 1, kBlock, VTREND_AO_X125 + 1);
  fx.wireAnalogInput(kThird, 1, kSecond, VTREND_AO_BLNO + 1);   // not X-125
  for (uint16_t b : {kSecond, kBlock, kThird}) fx.init(b);
  EXPECT_EQ(vtrendPage(kBlock).cascade, kSecond);
  EXPECT_EQ(vtrendPage(kSecond).cascade, 0);
  std::vector<uint16_t> walked;
  VIS_WalkTrendCascade(kBlock, [&](uint16_t b, const VtrendPage&) { walked.push_back(b); });
  EXPECT_EQ(walked, (std::vector<uint16_t>{kBlock, kSecond}));
  fx.wireAnalogInput(kBlock, 1, kSecond, VTREND_AO_X125 + 1);   // a loop
  fx.init(kBlock);
  fx.init(kSecond);
  walked.clear();
  EXPECT_EQ(VIS_WalkTrendCascade(kBlock, [&](uint16_t b, const VtrendPage&) { walked.push_back(b); }),
            2u);
  EXPECT_EQ(walked, (std::vector<uint16_t>{kBlock, kSecond}));
}

// =========================================================================================
// VIDLE

struct IdleRig {
  BlockFixture fx{BLK_RegisterAllTypes};
  static constexpr GUI_MEMDEV_Handle kBackground = 42;
  IdleRig() {
    fx.create(BLK_TYPE_VIDLE, VIDLE_BLOCK, 0);
    fx.setDigitalInput(VIDLE_BLOCK, 1, 0);
    fx.init(VIDLE_BLOCK);
    g_fwMain.memdev[0] = kBackground;
    g_fwMain.fullScreen = 0;
    g_fwEng.status = FW_ENG_LOADED;
    g_fwClock.now.hour = 14;
    g_fwClock.now.minute = 7;
    OpIdleShown = 0;
    OpTouchPressed = 0;
    OpAlarmDisplayFlags[0] = OpAlarmDisplayFlags[1] = 0;
    fakegui::Reset();
  }
  ~IdleRig() {
    g_fwMain.memdev[0] = 0;
    g_fwMain.fullScreen = 0;
    g_fwEng.status = 0;
    OpIdleShown = 0;
    OpTouchPressed = 0;
    OpAlarmDisplayFlags[0] = OpAlarmDisplayFlags[1] = 0;
    fakegui::Reset();
  }
  uint16_t idle() const { return fx.digitalOut(VIDLE_BLOCK, 1); }
  void run(int n = 1) { fx.run(VIDLE_BLOCK, n); }
};

TEST(Vidle, IdleScreenAfterTimeWithoutTouch) {
  IdleRig rig;
  rig.run(599);
  EXPECT_EQ(rig.idle(), 0);
  EXPECT_TRUE(fakegui::Calls().empty());
  rig.run();
  EXPECT_EQ(rig.idle(), 1);
  EXPECT_EQ(OpIdleShown, 1);
  EXPECT_EQ(g_fwMain.fullScreen, 1);
  const std::vector<std::string> names = {"GUI_MEMDEV_Select", "GUI_SetBkColor", "GUI_SetColor",
                                          "GUI_Clear",         "GUI_SetFont",    "GUI_DispStringAt",
                                          "GUI_MEMDEV_Select"};
  ASSERT_EQ(fakegui::Names(), names);
  const auto& calls = fakegui::Calls();
  EXPECT_EQ(calls[0].args, (std::vector<int64_t>{IdleRig::kBackground}));
  EXPECT_EQ(calls[1].args, (std::vector<int64_t>{0}));
  EXPECT_EQ(calls[2].args, (std::vector<int64_t>{0xFFFFFF}));
  EXPECT_EQ(calls[5].text, "14:07");
  EXPECT_EQ(calls[5].args, (std::vector<int64_t>{10, 65}));
  EXPECT_EQ(calls[6].args, (std::vector<int64_t>{0})) << "the previous target again";
  // Later runs draw the clock again without clearing.
  fakegui::Reset();
  g_fwClock.now.minute = 8;
  rig.run();
  EXPECT_EQ(fakegui::Names().size(), 6u);
  EXPECT_EQ(fakegui::Calls()[4].text, "14:08");
}

TEST(Vidle, TheFirstTouchWakesTheDisplayOnlyOnItsRelease) {
  IdleRig rig;
  rig.run(300);
  OpTouchPressed = 1;   // a touch before idling keeps the display awake
  rig.run();
  OpTouchPressed = 0;
  rig.run(599);
  EXPECT_EQ(rig.idle(), 0);
  rig.run();
  ASSERT_EQ(rig.idle(), 1);
  OpTouchPressed = 1;
  rig.run(3);
  EXPECT_EQ(rig.idle(), 1) << "pressed: still idle";
  EXPECT_EQ(OpIdleShown, 1);
  OpTouchPressed = 0;
  rig.run();
  EXPECT_EQ(rig.idle(), 0);
  EXPECT_EQ(OpIdleShown, 0);
  rig.run(599);
  EXPECT_EQ(rig.idle(), 0) << "the counter started again";
}

TEST(Vidle, AwakeInputAlarmsAndNoEngineering) {
  {
    IdleRig rig;
    OpAlarmDisplayFlags[1] = 1;
    rig.run(700);
    EXPECT_EQ(rig.idle(), 0);
    OpAlarmDisplayFlags[1] = 0;
    rig.fx.setDigitalInput(VIDLE_BLOCK, 1, 1);
    rig.run(700);
    EXPECT_EQ(rig.idle(), 0);
  }
  {
    IdleRig rig;
    g_fwEng.status = 0;
    rig.run(600);
    EXPECT_EQ(rig.idle(), 1);
    EXPECT_EQ(OpIdleShown, 0) << "no engineering: no idle screen";
    EXPECT_TRUE(fakegui::Calls().empty());
    OpTouchPressed = 1;
    rig.run();
    EXPECT_EQ(rig.idle(), 0);
  }
}

// The idle screen reaches the display only through the link a program's start installs;
// without it the block draws nothing and says so. The idle flag the operating pages read is
// set either way: the block links the page records itself.
TEST(Vidle, ReachesTheDisplayOnlyThroughTheInstalledLinks) {
  for (const bool installed : {false, true}) {
    IdleRig rig;
    if (installed) {
      SIM_InstallVisualLinks();
    } else {
      VIS_InstallLinks({});
    }
    rig.run(600);
    EXPECT_EQ(rig.idle(), 1) << "the block idles either way";
    EXPECT_EQ(OpIdleShown, 1);
    EXPECT_EQ(g_fwMain.fullScreen, installed ? 1 : 0);
    EXPECT_EQ(fakegui::Calls().empty(), !installed);
    EXPECT_EQ(VIS_LinksStandInUsed(), !installed);
  }
}

// "Time" is stored as one byte in the engineering image: above 255 is refused.
TEST(Vidle, TimeIsLimitedToWhatTheImageHolds) {
  IdleRig rig;
  uint16_t bad = 0;
  EXPECT_EQ(sendParam(FB_WordRequest(VIDLE_BLOCK, FB_ID_WORD + 1, 256), &bad), FB_ERR_LIMITS);
  EXPECT_EQ(sendParam(FB_WordRequest(VIDLE_BLOCK, FB_ID_WORD + 1, 0), &bad), FB_ERR_LIMITS);
  EXPECT_EQ(rig.fx.wordParam(VIDLE_BLOCK, 2), 60);
  EXPECT_EQ(sendParam(FB_WordRequest(VIDLE_BLOCK, FB_ID_WORD + 1, 255), &bad), FB_OK);
  EXPECT_EQ(rig.fx.wordParam(VIDLE_BLOCK, 2), 255);
  EXPECT_EQ(sendParam(FB_WordRequest(VIDLE_BLOCK, FB_ID_WORD, 4), &bad), FB_ERR_LIMITS);
  const uint16_t both[] = {100, 300};
  EXPECT_EQ(sendParam(FB_SetRequest(VIDLE_BLOCK, FB_ID_WHOLE_SET, both, {}), &bad),
            FB_ERR_LIMITS);
  EXPECT_EQ(bad, 2);
  // An unknown id: 'i'.
  EXPECT_EQ(sendParam(FB_WordRequest(VIDLE_BLOCK, FB_ID_WORD_VALUE, 1), &bad), FB_ERR_UNKNOWN_ID);
}

// =========================================================================================
// Parameter requests of the family

TEST(VisualParams, FloatParametersApplyInTheNextRunAndAreSaved) {
  expectRunModeSave(BLK_TYPE_VWERT, FB_ID_FLOAT + 5, 3.5f, -2.0f);
  expectRunModeSave(BLK_TYPE_VBAR, FB_ID_FLOAT + 1, 3.5f, -2.0f);
}

TEST(VisualParams, RefusedRequestsChangeNothing) {
  const uint16_t sixWords[] = {0, 0, 0, 2, 0, 0};
  const float sixFloats[] = {0, 0, 0, 0, 0, 0};
  const RefusedRequest cases[] = {
      {"VWERT float beyond its limit", BLK_TYPE_VWERT,
       FB_FloatRequest(kBlock, FB_ID_FLOAT, 1.0e6f), FB_ERR_LIMITS, 0},
      {"VWERT switch 2", BLK_TYPE_VWERT, FB_WordRequest(kBlock, FB_ID_WORD + 2, 2), FB_ERR_LIMITS,
       0},
      {"VWERT word beyond its row", BLK_TYPE_VWERT, FB_WordRequest(kBlock, FB_ID_WORD + 6, 1),
       FB_ERR_UNKNOWN_ID, 0},
      {"VWERT Mode 8", BLK_TYPE_VWERT, FB_WordRequest(kBlock, FB_ID_WORD_VALUE + 6, 8),
       FB_ERR_LIMITS, 0},
      {"VWERT whole set with a bad word", BLK_TYPE_VWERT,
       FB_SetRequest(kBlock, FB_ID_WHOLE_SET, sixWords, sixFloats), FB_ERR_LIMITS, 4},
      {"VBAR Typ 2", BLK_TYPE_VBAR, FB_WordRequest(kBlock, FB_ID_WORD_VALUE + 4, 2), FB_ERR_LIMITS,
       0},
      {"VBAR X3 100 NaN", BLK_TYPE_VBAR, FB_FloatRequest(kBlock, FB_ID_LONG_VALUE + 1, kNaN),
       FB_ERR_LIMITS, 0},
      {"VPARA block 1951", BLK_TYPE_VPARA, FB_WordRequest(kBlock, FB_ID_WORD_VALUE, 1951),
       FB_ERR_LIMITS, 0},
      {"VPARA number 0", BLK_TYPE_VPARA, FB_WordRequest(kBlock, FB_ID_WORD_VALUE + 1, 0),
       FB_ERR_LIMITS, 0},
      {"VPARA has no parameters", BLK_TYPE_VPARA, FB_FloatRequest(kBlock, FB_ID_FLOAT, 1.0f),
       FB_ERR_UNKNOWN_ID, 0},
      {"VTREND Unit 3", BLK_TYPE_VTREND, FB_WordRequest(kBlock, FB_ID_WORD_VALUE, 3),
       FB_ERR_LIMITS, 0},
      {"VTREND Sample 3601", BLK_TYPE_VTREND, FB_FloatRequest(kBlock, FB_ID_LONG_VALUE, 3601.0f),
       FB_ERR_LIMITS, 0},
  };
  for (const RefusedRequest& c : cases) expectRefusedChangesNothing(c);
}

// The installer fills every member of VIDLE's hook record.
TEST(VisualLinks, TheInstallerSetsEveryLink) { EXPECT_TRUE(SIM_InstallVisualLinks()); }

}  // namespace
