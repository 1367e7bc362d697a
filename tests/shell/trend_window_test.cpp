// The trend binding in the program: the main window's trend hooks (commands, menu items, the
// trend reset that a request text triggers, the save prompt, the language, the close) and the
// firmware's own table with an L1READ block.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QTimer>
#include <cstring>

#include "blocks/exchange/exchange.h"
#include "firmware/fw_adapter.h"
#include "host/ini_file.h"
#include "host/lingsel.h"
#include "runtime/fb_store.h"
#include "shell/firmware_link.h"
#include "shell/main_window.h"
#include "shell/project.h"
#include "shell/settings.h"
#include "shell/sim_loop.h"
#include "shell/trend_dialogs.h"
#include "support/block_fixture.h"
#include "support/shell_app.h"
#include "support/trend_binding_fixture.h"

namespace {

const SimFirmwareAdapter kIdleFirmware = {[] {}, [] {}, [] {}, [](uint32_t) {}};

class TrendWindowTest : public trendtest::TrendBindingTest {
 protected:
  void SetUp() override {
    TrendBindingTest::SetUp();
    ShellTestApp();
    SimSetFirmware(&kIdleFirmware);
    ASSERT_EQ(SimInitIni(SimState()), 0);
    SimAttachProjectBuffers(SimState());
    SimLoadProject(nullptr);
    SimMarkProjectSaved();
    control.setClock([] { return 1000u; });
    control.begin();
    SimTrendCreateAll(0);
  }
  // The main window with the trend binding's hooks, as the program makes it.
  static void Bind(SimMainWindow& w) {
    SimMainWindowHooks hooks;
    SimTrendBindWindow(&w, &hooks);
    w.setHooks(std::move(hooks));
  }
  void TearDown() override {
    control.setTarget(nullptr);
    SimSetFirmware(nullptr);
    TrendBindingTest::TearDown();
  }
  SimControl control;
};

TEST_F(TrendWindowTest, TheResetRequestTextResetsEveryTrendAndClearsTheProjectName) {
  SimMainWindow w;
  Bind(w);
  control.setTarget(&w);
  ASSERT_TRUE(SimSetProjectName("/tmp/plant.sdg"));
  for (int i = 0; i < 10; ++i) control.runCycle(true);
  ASSERT_EQ(Valid(0), 5);  // the post-cycle feeds the trends
  ASSERT_EQ(SimState().cycleCount, 10u);
  std::strcpy(SimState().requestText, "0000" "24,0,0=1");
  control.runCycle(true);  // cycle 11: no sample after the reset
  for (int t = 0; t < 3; ++t) EXPECT_EQ(Valid(t), 0) << t;
  EXPECT_FALSE(SimProjectHasName());
  EXPECT_TRUE(w.windowTitle().endsWith("(NEW)")) << w.windowTitle().toStdString();
}

TEST_F(TrendWindowTest, ChangedTrendSettingsCountForTheSavePrompt) {
  BoxRecorder boxes{SIM_BOX_NO};
  SimMainWindow w;
  Bind(w);
  EXPECT_TRUE(w.querySave(false));
  EXPECT_TRUE(boxes.boxes.empty());
  SimTrendSettings s = SimTrendCurrentSettings();
  s.standard.digital[1].visible = 1;
  SimTrendTakeSettings(s, true);
  EXPECT_TRUE(w.querySave(false));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].style, SIM_BOX_WARNING_YES_NO_CANCEL);
}

TEST_F(TrendWindowTest, TheMenuCommandsShowTheTrends) {
  SimMainWindow w;
  constexpr int kItems[] = {SIM_CMD_TREND_SETTINGS, SIM_CMD_TREND_SLOW, SIM_CMD_TREND_MEDIUM, SIM_CMD_TREND_FAST,
                            SIM_CMD_TREND_L1READ};
  for (int id : kItems) ASSERT_FALSE(w.action(id)->isVisible()) << "hidden until the binding shows it: " << id;
  Bind(w);
  for (int id : kItems) EXPECT_TRUE(w.action(id)->isVisible()) << id;
  struct Case {
    int command;
    int trend;
  };
  for (const Case c : {Case{SIM_CMD_TREND_FAST, 0}, Case{SIM_CMD_TREND_MEDIUM, 1}, Case{SIM_CMD_TREND_SLOW, 2}}) {
    w.action(c.command)->trigger();
    for (int t = 0; t < 3; ++t) EXPECT_EQ(SimTrendIsVisible(t), t == c.trend) << c.command;
  }
  w.command(SIM_CMD_TREND_SLOW);
  EXPECT_FALSE(SimTrendStandardVisible());
  // The controller trend: refused without a controller, else toggled; its state goes to
  // [Settings] ViewTrend.
  BoxRecorder boxes{SIM_BOX_YES};
  w.command(SIM_CMD_CONTROLLER_TREND);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "SIM/MX74-2 - Trend");
  EXPECT_EQ(boxes.boxes[0].text, "Error calling trend function\nAt least one controller function block is needed");
  EXPECT_FALSE(SimTrendStandardVisible());
  trendtest::TheFakeTrendFirmware().controller = true;
  w.command(SIM_CMD_CONTROLLER_TREND);
  EXPECT_TRUE(SimTrendIsVisible(0));
  EXPECT_EQ(host::IniGetInt(SimIniPath(), "Settings", "ViewTrend", -1), 1);
  w.command(SIM_CMD_CONTROLLER_TREND);
  EXPECT_FALSE(SimTrendStandardVisible());
  EXPECT_EQ(host::IniGetInt(SimIniPath(), "Settings", "ViewTrend", -1), 0);
}

// A language change makes a new menu bar: the trend items are shown again, and the trends take
// the new language's titles.
TEST_F(TrendWindowTest, ALanguageChangeKeepsTheTrendItemsAndRetitlesTheTrends) {
  SimMainWindow w;
  Bind(w);
  OnNextModal([](QWidget* d) {
    d->findChild<QListWidget*>(LINGSEL_LIST_NAME)->setCurrentRow(2);
    static_cast<QDialog*>(d)->accept();
  });
  w.command(SIM_CMD_LANGUAGE);
  QApplication::processEvents();
  ASSERT_EQ(SimState().language, 2);
  EXPECT_EQ(w.action(SIM_CMD_TREND_FAST)->text().toStdString(), "&Tendance - Rapide\t[6 min.]");
  for (int id : {SIM_CMD_TREND_SETTINGS, SIM_CMD_TREND_FAST, SIM_CMD_TREND_L1READ})
    EXPECT_TRUE(w.action(id)->isVisible()) << id;
  EXPECT_EQ(Title(0), "Tendance/SIM74-2 (6 min.)");
  EXPECT_EQ(Title(2), "Tendance/SIM74-2 (600 min.)");
}

// The close destroys the trends before the settings are written, and records the trend view.
TEST_F(TrendWindowTest, TheCloseDestroysTheTrendsAndRecordsTheTrendView) {
  SimMainWindow w;
  Bind(w);
  control.setTarget(&w);
  w.command(SIM_CMD_TREND_MEDIUM);
  ASSERT_TRUE(SimTrendIsVisible(1));
  w.closeUnasked();
  control.setTarget(nullptr);
  EXPECT_EQ(SimTrendHandle(0), KurvanHandle{0});
  EXPECT_EQ(SimTrendHandle(1), KurvanHandle{0});
  EXPECT_EQ(host::IniGetInt(SimIniPath(), "Settings", "ViewTrend", -1), 1);
}

// The channel dialog of the settings trend: the window takes no input while it is open, and
// the cycle goes on.
TEST_F(TrendWindowTest, TheSettingsCommandKeepsTheCycleRunning) {
  SimMainWindow w;
  Bind(w);
  control.setTarget(&w);
  SimTrendSetDialogRunner(SimTrendQtDialogRunner);
  bool enabledMeanwhile = true;
  uint32_t cyclesMeanwhile = 0;
  QTimer::singleShot(0, &w, [&] {
    enabledMeanwhile = w.isEnabled();
    control.runCycle(true);
    cyclesMeanwhile = SimState().cycleCount;
  });
  w.command(SIM_CMD_TREND_SETTINGS);
  SimTrendSetDialogRunner(nullptr);
  EXPECT_FALSE(enabledMeanwhile);
  EXPECT_EQ(cyclesMeanwhile, 1u);
  EXPECT_TRUE(w.isEnabled());
  EXPECT_TRUE(SimTrendSettingsChanged());  // the stand-in renamed a channel
  EXPECT_EQ(AnalogName(SimTrendHandle(1), 0), "Edited");
}

// The firmware's table reads a real L1READ block's inputs through its references.
TEST_F(TrendWindowTest, TheFirmwareTableReadsAnL1readBlock) {
  BlockFixture fx(BLK_RegisterExchangeTypes);
  fx.create(BLK_TYPE_L1READ, 6);
  char* text = nullptr;
  ASSERT_TRUE(FB_GetTextParamPtr(6, 1, &text));
  std::memcpy(text, "Tank 2          ", FB_TEXT_LEN);
  fx.setAnalogInput(6, 1, 42.0f);
  fx.setAnalogInput(6, 7, 2.0e7f);
  fx.setDigitalInput(6, 12, 1);
  FW_CollectTrendReaders();
  SimTrendSetFirmware(SimTrendFirmwareTable());
  EXPECT_EQ(SimTrendBlockTitle(6), "Tank 2: L1READ block trend");
  float a[7];
  uint8_t d[12];
  SimTrendValues(6, a, d);
  EXPECT_EQ(a[0], 42.0f);
  EXPECT_EQ(a[6], 999999.0f);
  EXPECT_EQ(d[11], 1);
  EXPECT_EQ(d[0], 0);
  // Without a controller block the controller trend is refused.
  static int boxes;
  boxes = 0;
  SimTrendUi ui;
  ui.message = [](const char*, const char*) { ++boxes; };
  EXPECT_FALSE(SimTrendControllerCommand(ui));
  EXPECT_EQ(boxes, 1);
}

}  // namespace
