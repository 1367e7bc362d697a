// Information, status, constant and page-call blocks (INFO, STATUS, CONST, CALLPG).
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "block_cases.h"
#include "blocks/info/info.h"
#include "blocks/info/info_links.h"
#include "comm/com_card.h"
#include "firmware/fw_main.h"
#include "links/sim_links.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_io.h"
#include "runtime/fw_sysdata.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// =========================================================================================
// INFO

TEST(Info, ItsPageRecordShowsTheTextsWhoseInputsAreSet) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_INFO, INFO_BLOCK, 0);
  char* text = nullptr;
  ASSERT_EQ(FB_GetTextParamPtr(INFO_BLOCK, 12, &text), 1);
  EXPECT_EQ(std::string(text, 16), ">INFORMATION 12<");
  std::memcpy(text, "Filter change   ", 16);
  fx.setDigitalInput(INFO_BLOCK, 2, 1);
  fx.setDigitalInput(INFO_BLOCK, 12, 5);
  fx.init(INFO_BLOCK);

  const auto* p = static_cast<const InfoPageRecord*>(g_fbStore.list[INFO_BLOCK].pageData);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(static_cast<const void*>(p), static_cast<const void*>(fx.layout(INFO_BLOCK).work));
  EXPECT_EQ(p->header.type, BLK_TYPE_INFO);
  EXPECT_EQ(p->header.hide, 0);
  EXPECT_EQ(std::string(p->texts[0], 16), ">INFORMATION  1<");
  EXPECT_EQ(std::string(p->texts[11], 16), "Filter change   ");
  for (uint8_t shown : p->shown) EXPECT_EQ(shown, 0) << "cleared until the first run";

  fx.run(INFO_BLOCK);
  for (unsigned i = 0; i < INFO_TEXTS; ++i) EXPECT_EQ(p->shown[i], i == 1 || i == 11) << i;
  fx.setDigitalInput(INFO_BLOCK, 13, 1);   // hide
  fx.run(INFO_BLOCK);
  for (uint8_t shown : p->shown) EXPECT_EQ(shown, 0);
  expectRefusedChangesNothing(
      {"INFO takes no parameters", BLK_TYPE_INFO, FbParamRequest(kBlock, 2000), FB_ERR_UNKNOWN_ID, 0});
}

// =========================================================================================
// STATUS

class Status : public testing::Test {
 protected:
  Status() : fx(BLK_RegisterAllTypes) {
    fx.create(BLK_TYPE_STATUS, STATUS_BLOCK, 0);
    selected.clear();
    INFO_InstallLinks({.selectPalette = [](int n) { selected.push_back(n); },
                       .ioBoardsReady = [] { return boardsReady; }});
    boardsReady = true;
    g_fwClock = FwClockState{};
    std::memset(g_fwImage, 0, 64);
    OpDisplaySwitches = OpDisplaySwitchRecord{};
  }
  ~Status() override {
    SIM_InstallInfoLinks();
    g_fwClock = FwClockState{};
    g_fwSysHooks = FwSystemHooks{};
    g_fwSys.cardBusStatus = 0;
    g_fwErrorFlags = 0;
    g_fwAnalogInputFailures = 0;
    g_infoPowerCheck = 0;
    OpShownPageBlock = 0;
    std::memset(g_fwImage, 0, 64);
  }
  float ao(unsigned i) { return fx.analogOut(STATUS_BLOCK, static_cast<uint16_t>(i + 1)); }
  uint16_t dout(unsigned i) { return fx.digitalOut(STATUS_BLOCK, static_cast<uint16_t>(i + 1)); }
  void setIn(unsigned i, uint16_t v) { fx.setDigitalInput(STATUS_BLOCK, static_cast<uint16_t>(i + 1), v); }

  BlockFixture fx;
  static inline std::vector<int> selected;
  static inline bool boardsReady = true;
};

TEST_F(Status, AnInvalidClockAtStartGivesZeroOnAllClockOutputs) {
  FbLayout L = fx.layout(STATUS_BLOCK);
  for (unsigned i = STATUS_AO_MINUTE; i <= STATUS_AO_WEEKDAY; ++i) L.ao[i] = 9.0f;
  L.dout[STATUS_DO_CLOCK] = 1;
  g_fwClock.invalid = 1;
  fx.init(STATUS_BLOCK);
  fx.run(STATUS_BLOCK);
  for (unsigned i = STATUS_AO_MINUTE; i <= STATUS_AO_WEEKDAY; ++i) EXPECT_EQ(ao(i), 0.0f) << i;
  EXPECT_EQ(dout(STATUS_DO_CLOCK), 0);

  // A valid clock is shown; when it turns invalid again the outputs keep their values.
  g_fwClock.invalid = 0;
  g_fwClock.now = {.year = 2024, .month = 2, .day = 29, .hour = 13, .minute = 45, .weekday = 4};
  fx.run(STATUS_BLOCK);
  const float shown[6] = {45, 13, 29, 2, 24, 4};
  for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(ao(STATUS_AO_MINUTE + i), shown[i]) << i;
  EXPECT_EQ(dout(STATUS_DO_CLOCK), 1);
  g_fwClock.invalid = 1;
  g_fwClock.now.minute = 46;
  fx.run(STATUS_BLOCK);
  EXPECT_EQ(ao(STATUS_AO_MINUTE), 45.0f);
  EXPECT_EQ(dout(STATUS_DO_CLOCK), 1);
}

// The four switches go to the operating interface as the inputs give them; the outputs also
// show the engineering's display flags.
TEST_F(Status, SwitchesAndUserLanguageArePublished) {
  struct Case {
    uint16_t inputs[4];
    uint8_t flags38;
    uint8_t record[4];
    uint16_t outputs[4];
  } cases[] = {
      {{1, 0, 0, 0}, 0x00, {1, 0, 0, 0}, {1, 0, 0, 0}},
      {{0, 1, 0, 3}, 0x00, {0, 1, 0, 1}, {0, 1, 0, 1}},
      {{0, 0, 0, 0}, 0x17, {0, 0, 0, 0}, {1, 1, 1, 1}},
      {{0, 0, 1, 0}, 0x08, {0, 0, 1, 0}, {0, 0, 1, 0}},   // bit 3 is no switch
  };
  fx.init(STATUS_BLOCK);
  for (const Case& c : cases) {
    for (unsigned i = 0; i < 4; ++i) setIn(i, c.inputs[i]);
    g_fwImage[38] = c.flags38;
    fx.run(STATUS_BLOCK);
    const OpDisplaySwitchRecord& sw = OpDisplaySwitches;
    EXPECT_EQ((std::vector<uint8_t>{sw.pHide, sw.cHide, sw.mHide, sw.bLock}),
              std::vector<uint8_t>(c.record, c.record + 4));
    for (unsigned i = 0; i < 4; ++i) EXPECT_EQ(dout(STATUS_DO_PHIDE + i), c.outputs[i]) << i;
  }
  const struct {
    float in;
    uint16_t language;
  } languages[] = {{2.9f, 2}, {-5.0f, 0}, {kNaN, 0}, {1e9f, 65535}};
  for (const auto& l : languages) {
    fx.setAnalogInput(STATUS_BLOCK, 1, l.in);
    fx.run(STATUS_BLOCK);
    EXPECT_EQ(OpDisplaySwitches.userLanguage, l.language) << l.in;
  }
}

// Palette 2 x colour + di-inv is selected when it differs from the one selected last; Init
// starts again from palette 0.
TEST_F(Status, PaletteIsSelectedOnChange) {
  fx.init(STATUS_BLOCK);
  fx.run(STATUS_BLOCK);
  EXPECT_TRUE(selected.empty());
  setIn(STATUS_DI_COLOUR, 1);
  fx.run(STATUS_BLOCK, 3);
  setIn(STATUS_DI_INVERT, 1);
  fx.run(STATUS_BLOCK);
  setIn(STATUS_DI_COLOUR, 0);
  fx.run(STATUS_BLOCK);
  setIn(STATUS_DI_INVERT, 0);
  fx.run(STATUS_BLOCK);
  EXPECT_EQ(selected, (std::vector<int>{2, 3, 1, 0}));
  selected.clear();
  setIn(STATUS_DI_COLOUR, 1);
  fx.run(STATUS_BLOCK);
  fx.init(STATUS_BLOCK);
  EXPECT_EQ(selected, (std::vector<int>{2, 2})) << "Init resets the selection and selects again";
}

TEST_F(Status, DeviceStateIsPassedThrough) {
  fx.init(STATUS_BLOCK);
  fx.run(STATUS_BLOCK);
  for (unsigned i = STATUS_DO_SWITCH; i <= STATUS_DO_IOERR; ++i) {
    if (i != STATUS_DO_CLOCK) {
      EXPECT_EQ(dout(i), 0) << i;
    }
  }
  g_fwImage[51] = 1;
  g_fwImage[38] = 0x20;
  g_fwImage[45] = 2;
  g_fwAnalogInputFailures = 0x04;
  g_fwSys.cardBusStatus = 0x84;
  g_fwErrorFlags = 0x02;
  g_infoPowerCheck = INFO_POWER_START;
  g_fwSysHooks.keyCode = [] { return uint8_t{1}; };
  boardsReady = false;
  OpShownPageBlock = 321;
  setIn(STATUS_DI_PWRCHK, 1);
  fx.run(STATUS_BLOCK);
  for (unsigned i = STATUS_DO_SWITCH; i <= STATUS_DO_IOERR; ++i) EXPECT_EQ(dout(i), 1) << i;
  EXPECT_EQ(ao(STATUS_AO_LANGUAGE), 2.0f);
  EXPECT_EQ(ao(STATUS_AO_PAGE), 321.0f);
  EXPECT_EQ(ao(STATUS_AO_SYSERR), 2.0f);

  // pwrchk stays set once its input was; another key than the function key is no fkey; only
  // bits 0..3 of the bus status are errors.
  setIn(STATUS_DI_PWRCHK, 0);
  g_fwSysHooks.keyCode = [] { return uint8_t{2}; };
  g_fwSys.cardBusStatus = 0x80;
  fx.run(STATUS_BLOCK);
  EXPECT_EQ(dout(STATUS_DO_PWRCHK), 1);
  EXPECT_EQ(dout(STATUS_DO_FKEY), 0);
  EXPECT_EQ(dout(STATUS_DO_DPERR), 0);
}

// =========================================================================================
// CONST

TEST(Const, ChangesReachTheOutputsAtTheNextInitWhileStoppedAndInTheNextRunWhileRunning) {
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  g_fwRunMode = FW_RUN_MODE_STOP;
  fx.create(BLK_TYPE_CONST, CONST_BLOCK, 0);
  fx.init(CONST_BLOCK);
  EXPECT_EQ(fx.digitalOut(CONST_BLOCK, 1), 0);
  EXPECT_EQ(fx.digitalOut(CONST_BLOCK, 2), 1);
  uint16_t bad = 0;

  ASSERT_EQ(sendParam(FB_FloatRequest(CONST_BLOCK, 1000, 5.0f), &bad), FB_OK);
  EXPECT_EQ(fx.floatParam(CONST_BLOCK, 1).get(), 5.0f) << "active at once while stopped";
  fx.run(CONST_BLOCK);
  EXPECT_EQ(fx.analogOut(CONST_BLOCK, 1), 0.0f) << "the output waits for the start-up pass";
  fx.init(CONST_BLOCK);
  EXPECT_EQ(fx.analogOut(CONST_BLOCK, 1), 5.0f);

  g_fwRunMode = FW_RUN_MODE_RUN;
  ASSERT_EQ(sendParam(FB_FloatRequest(CONST_BLOCK, 1015, 7.0f), &bad), FB_OK);
  EXPECT_EQ(fx.floatParam(CONST_BLOCK, 16).get(), 0.0f);
  SaveRecorder::answer = 1;   // the write-back queue is full: retried in the next run
  fx.run(CONST_BLOCK);
  EXPECT_EQ(fx.analogOut(CONST_BLOCK, 16), 0.0f);
  EXPECT_EQ(g_fbPending.floats[CONST_BLOCK], 1);
  SaveRecorder::answer = 0;
  fx.run(CONST_BLOCK);
  EXPECT_EQ(fx.analogOut(CONST_BLOCK, 16), 7.0f);
  EXPECT_EQ(g_fbPending.floats[CONST_BLOCK], 0);
  EXPECT_EQ(rec.saves.size(), 2u);
}

TEST(Const, SingleValuesAndTheWholeSetHaveTheirOwnLimits) {
  struct Case {
    float value;
    uint8_t single, set;
  } cases[] = {
      {-32000.0f, FB_OK, FB_OK},         {-29999.0f, FB_OK, FB_OK},
      {-30000.0f, FB_ERR_LIMITS, FB_OK}, {-32000.5f, FB_ERR_LIMITS, FB_ERR_LIMITS},
      {999999.0f, FB_OK, FB_OK},         {1000000.0f, FB_ERR_LIMITS, FB_ERR_LIMITS},
      {kNaN, FB_ERR_LIMITS, FB_ERR_LIMITS},
  };
  g_fwRunMode = FW_RUN_MODE_STOP;   // accepted values apply at once
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_CONST, CONST_BLOCK, 0);
    uint16_t bad = 99;
    EXPECT_EQ(sendParam(FB_FloatRequest(CONST_BLOCK, 1003, c.value), &bad), c.single);
    std::vector<float> set(CONST_VALUES, 1.0f);
    set[3] = c.value;
    EXPECT_EQ(sendParam(FB_SetRequest(CONST_BLOCK, 4000, {}, set), &bad), c.set);
    EXPECT_EQ(bad, c.set == FB_OK ? 0 : 4);
    EXPECT_EQ(fx.floatParam(CONST_BLOCK, 1).get(), c.set == FB_OK ? 1.0f : 0.0f)
        << "a refused set changes nothing";
  }
  // Counts that do not match, and ids the block does not have.
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_CONST, CONST_BLOCK, 0);
  uint16_t bad = 0;
  EXPECT_EQ(sendParam(FB_SetRequest(CONST_BLOCK, 4000, {}, std::vector<float>(15, 1.0f)), &bad),
            FB_ERR_COUNT_Z);
  for (int16_t id : {1016, 1250, 3000, 4010, -1000}) {
    EXPECT_EQ(sendParam(FB_FloatRequest(CONST_BLOCK, id, 1.0f), &bad), FB_ERR_UNKNOWN_ID) << id;
  }
}

// =========================================================================================
// CALLPG

class Callpg : public testing::Test {
 protected:
  Callpg() : fx(BLK_RegisterAllTypes) {
    fx.create(BLK_TYPE_CALLPG, CALLPG_BLOCK, 0);
    fx.init(CALLPG_BLOCK);
    OpPageRequest = 0;
    OpShownPageBlock = 0;
  }
  ~Callpg() override { OpPageRequest = OpShownPageBlock = 0; }
  void press(float number) {
    fx.setAnalogInput(CALLPG_BLOCK, 1, number);
    fx.setDigitalInput(CALLPG_BLOCK, 1, 0);
    fx.run(CALLPG_BLOCK);
    fx.setDigitalInput(CALLPG_BLOCK, 1, 1);
    fx.run(CALLPG_BLOCK);
  }
  BlockFixture fx;
};

TEST_F(Callpg, OpensThePageOncePerRisingEdge) {
  fx.create(24, 21);   // an APROG, which has an operating page
  press(21.0f);
  EXPECT_EQ(OpPageRequest, 21);
  OpPageRequest = 0;
  fx.run(CALLPG_BLOCK, 5);
  EXPECT_EQ(OpPageRequest, 0) << "d1 held: no second request";
  press(21.7f);
  EXPECT_EQ(OpPageRequest, 21) << "after d1 returned to 0";
  OpPageRequest = 0;
  OpShownPageBlock = 21;
  press(21.0f);
  EXPECT_EQ(OpPageRequest, 0) << "the page is shown already";
}

TEST_F(Callpg, IgnoresNumbersWithoutAPage) {
  fx.create(24, 21);
  fx.create(1, 300);   // ABSV has no operating page
  for (float number : {-65515.0f, 300.0f, 301.0f, 1950.5f, -0.5f, 65557.0f, kNaN, 1e30f}) {
    OpPageRequest = 0;
    press(number);
    EXPECT_EQ(OpPageRequest, 0) << number;
  }
  expectRefusedChangesNothing(
      {"CALLPG takes no parameters", BLK_TYPE_CALLPG, FbParamRequest(kBlock, 0), FB_ERR_UNKNOWN_ID, 0});
}

// The page request reaches the record the operating pages read whether or not a program's
// start installed the links (the block links the page records itself), and needs no stand-in.
TEST_F(Callpg, AsksForItsPageThroughThePageRecordsWithOrWithoutTheLinks) {
  fx.create(24, 21);
  for (const bool installed : {false, true}) {
    if (installed) {
      SIM_InstallInfoLinks();
    } else {
      INFO_InstallLinks({});
    }
    OpPageRequest = 0;
    press(21.0f);
    EXPECT_EQ(OpPageRequest, 21) << installed;
    EXPECT_FALSE(INFO_LinksStandInUsed()) << installed;
  }
}

// The installer fills every member of the information blocks' hook record, and the palette a
// STATUS block selects reaches the main cycle through it.
TEST(InfoLinks, TheInstallerSetsEveryLinkAndThePaletteReachesTheMainCycle) {
  EXPECT_TRUE(SIM_InstallInfoLinks());
  const FwMainState saved = g_fwMain;
  g_fwMain.deviceMode = FW_DEVICE_ENGINEERING;
  for (const int palette : {2, 1, 3, 0}) {
    INFO_LinkSelectPalette(palette);
    EXPECT_EQ(g_fwMain.palette, palette);
  }
  EXPECT_FALSE(INFO_LinksStandInUsed());
  g_fwMain = saved;
}

}  // namespace
