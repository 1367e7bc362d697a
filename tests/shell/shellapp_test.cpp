// The simulator program: the cycle clock with Pause and Turbo, the cycle's messages, the hard
// keys, the LCD window and the 100th-cycle settings mark. Offscreen Qt, fake clock and a
// recording firmware adapter.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "comm/com_remoteio.h"
#include "firmware/fw_adapter.h"
#include "firmware/fw_links.h"
#include "gui/LCD.h"
#include "host/ini_file.h"
#include "host/ipc.h"
#include "host/named_event.h"
#include "host/shared_block.h"
#include "shell/com_channel.h"
#include "shell/firmware_link.h"
#include "shell/front_panel.h"
#include "shell/main_window.h"
#include "shell/project.h"
#include "shell/settings.h"
#include "shell/shell_util.h"
#include "shell/sim_loop.h"
#include "simlayer/LCDSIM.h"
#include "simlayer/SIM.h"
#include "support/child_process.h"
#include "support/config_folder.h"
#include "support/lcd_harness.h"
#include "support/shell_app.h"
#include "support/test_env.h"

// Under LeakSanitizer: the font and desktop-bus libraries keep a few allocations until the
// process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }

namespace {

QApplication* App() { return ShellTestApp(); }

// Firmware stand-in: counts ticks, keeps the last key mask, runs a test's action per tick.
struct FakeFirmware {
  int inits = 0, starts = 0, ticks = 0;
  uint32_t mask = 0;
  std::vector<uint32_t> masks;
  std::function<void()> onTick;
};
FakeFirmware* g_fw;
const SimFirmwareAdapter kFake = {
    [] { ++g_fw->inits; },
    [] { ++g_fw->starts; },
    [] {
      ++g_fw->ticks;
      if (g_fw->onTick) g_fw->onTick();
    },
    [](uint32_t m) {
      g_fw->mask = m;
      g_fw->masks.push_back(m);
      FW_SetKeyMask(m);  // the adapter's own key code
    },
};

// Records the messages the cycle sends to the main window, with the tick count at each.
struct RecordingTarget : SimMessageTarget {
  std::vector<std::pair<int, int>> sent;  // {id, ticks so far}
  intptr_t send(int id, intptr_t, intptr_t) override {
    sent.push_back({id, g_fw->ticks});
    return 0;
  }
  int count(int id) const {
    int n = 0;
    for (const auto& s : sent) n += s.first == id;
    return n;
  }
};

class LoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    g_fw = &fw;
    SimSetFirmware(&kFake);
    std::memset(&SimState(), 0, sizeof(SimHostState));
    control.setClock([this] { return now; });
    control.setTarget(&target);
    control.begin();
  }
  void TearDown() override {
    SimSetFirmware(nullptr);
    g_fw = nullptr;
  }
  // Timer messages at the given times (ms).
  void TimerAt(std::initializer_list<uint32_t> times) {
    for (uint32_t t : times) {
      now = t;
      control.onTimer();
    }
  }
  FakeFirmware fw;
  RecordingTarget target;
  SimControl control;
  uint32_t now = 1000;
};

TEST_F(LoopTest, TimerMessagesFiftyMsApartRunACycleEverySecondOne) {
  for (int i = 1; i <= 10; ++i) {
    TimerAt({1000u + 50u * static_cast<uint32_t>(i)});
    EXPECT_EQ(fw.ticks, i / 2) << i;
  }
  EXPECT_EQ(target.count(SIM_MSG_100MS), 5);
  EXPECT_EQ(SimControl::kTimerMs, 50);
}

TEST_F(LoopTest, ADelayedTimerMessageRunsOneCycleAndKeepsTheRemainder) {
  TimerAt({1050, 1100});
  ASSERT_EQ(fw.ticks, 1);
  TimerAt({1350});  // 250 ms late: one cycle, 50 ms carried
  EXPECT_EQ(fw.ticks, 2);
  TimerAt({1400});  // the carried 50 ms and 50 more
  EXPECT_EQ(fw.ticks, 3);
  TimerAt({1450});
  EXPECT_EQ(fw.ticks, 3);
  // The counter wrapping around 2^32 is just more elapsed time.
  now = 0xFFFFFFF0u;
  control.begin();
  TimerAt({0x60u});
  EXPECT_EQ(fw.ticks, 4);
}

TEST_F(LoopTest, PauseCounterSkipsThatManyCycles) {
  SimState().pauseCount = 3;
  for (int i = 1; i <= 4; ++i) control.runCycle(true);
  EXPECT_EQ(fw.ticks, 1);
  EXPECT_EQ(SimState().pauseCount, 0);
  EXPECT_EQ(target.count(SIM_MSG_PRECYCLE), 1);
}

// The firmware's waits are skipped cycles of their own: the Pause counter never sees them, so
// the Pause command still switches Pause on while a wait runs, and off again.
TEST_F(LoopTest, FirmwareWaitsBecomeSkippedCyclesWithoutBlocking) {
  struct Case {
    int ms;
    int32_t waits;
  } cases[] = {{3000, 30}, {200, 2}, {1, 1}, {0, 0}, {-5, 0}};
  for (const Case& c : cases) {
    SimClearFirmwareWaits();
    SimState().pauseCount = 5;
    SimFirmwareDelay(c.ms);
    EXPECT_EQ(SimFirmwareWaitCycles(), c.waits) << c.ms;
    EXPECT_EQ(SimState().pauseCount, 5) << c.ms;
  }
  SimClearFirmwareWaits();
  SimState().pauseCount = 0;
  SimFirmwareDelay(300);
  for (int i = 1; i <= 4; ++i) control.runCycle(true);
  EXPECT_EQ(fw.ticks, 1) << "three cycles are skipped, then the firmware runs";

  SimMainWindow w;
  SimFirmwareDelay(3000);
  w.command(SIM_CMD_PAUSE);
  EXPECT_EQ(SimState().pauseCount, 0x7FFFFFFF);
  EXPECT_TRUE(w.windowTitle().endsWith("  [Pause]"));
  w.command(SIM_CMD_PAUSE);
  EXPECT_EQ(SimState().pauseCount, 0);
  EXPECT_FALSE(w.windowTitle().contains('['));
  for (int i = 1; i <= 30; ++i) control.runCycle(true);
  EXPECT_EQ(fw.ticks, 1) << "the wait goes on after the Pause";
  control.runCycle(true);
  EXPECT_EQ(fw.ticks, 2);
}

TEST_F(LoopTest, ACycleIsFramedByPreAndPostCycleMessages) {
  std::strcpy(SimState().requestText, "0000""24,0,0=1");
  control.runCycle(true);
  ASSERT_EQ(target.sent.size(), 3u);
  EXPECT_EQ(target.sent[0], std::make_pair(int{SIM_MSG_PRECYCLE}, 0));
  EXPECT_EQ(target.sent[1], std::make_pair(int{SIM_MSG_TREND_RESET}, 1));
  EXPECT_EQ(target.sent[2], std::make_pair(int{SIM_MSG_POSTCYCLE}, 1));
  EXPECT_STREQ(SimState().requestText, "0000");
  // The idle loop runs nothing while Turbo is off.
  control.runCycle(false);
  EXPECT_EQ(fw.ticks, 1);
}

TEST_F(LoopTest, OnlyTheCurrentRequestTextCountsForTheTrendReset) {
  // Left behind the terminator by an earlier, longer request.
  std::memcpy(SimState().requestText, "ab\0\0" "24,0,0=1", 12);
  control.runCycle(true);
  EXPECT_EQ(target.count(SIM_MSG_TREND_RESET), 0);
  std::strcpy(SimState().requestText, "00024,0,0=1");  // one place off
  control.runCycle(true);
  EXPECT_EQ(target.count(SIM_MSG_TREND_RESET), 0);
}

TEST_F(LoopTest, ATimerMessageInsideATickStartsNoSecondTick) {
  int nested = 0;
  fw.onTick = [&] {
    if (fw.ticks == 1) {
      now += 500;
      control.onTimer();  // as a box's own event loop would deliver it
      control.runCycle(true);
      nested = fw.ticks;
    }
  };
  control.runCycle(true);
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(fw.ticks, 1);
  control.runCycle(true);
  EXPECT_EQ(fw.ticks, 2);
}

TEST_F(LoopTest, TurboRunsCyclesBackToBackAndServesWaitingEventsFirst) {
  QEventLoop loop;
  int servedAt = -1;
  fw.onTick = [&] {
    if (fw.ticks == 3)
      QMetaObject::invokeMethod(App(), [&] { servedAt = fw.ticks; }, Qt::QueuedConnection);
    if (fw.ticks == 20) {
      SimState().turbo = 0;
      loop.quit();
    }
  };
  SimState().turbo = 1;
  control.turboChanged();
  ASSERT_TRUE(control.turboActive());
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);  // bound only
  QElapsedTimer elapsed;
  elapsed.start();
  loop.exec();
  EXPECT_EQ(fw.ticks, 20);
  EXPECT_EQ(servedAt, 3);
  EXPECT_FALSE(control.timerActive());  // no 50 ms timer was involved
  EXPECT_LT(elapsed.elapsed(), 30000);  // ended by the cycles, not by the bound
  control.runCycle(false);  // Turbo is off again: the idle cycles stop
  EXPECT_FALSE(control.turboActive());
  EXPECT_EQ(fw.ticks, 20);
}

// Turbo reports its rate when it goes off and when the program ends: the cycles it ran (not
// those skipped for a pause) over the time it was on.
TEST_F(LoopTest, TurboReportsTheCyclesItRanOverItsTime) {
  SimState().turbo = 1;
  control.turboChanged();
  for (int i = 0; i < 250; ++i) {
    now += 2;
    control.runCycle(false);
  }
  SimState().pauseCount = 3;
  for (int i = 0; i < 3; ++i) control.runCycle(false);
  SimState().turbo = 0;
  control.runCycle(true);  // the timer's cycle sees Turbo off: it is timed up to here
  EXPECT_EQ(fw.ticks, 251);
  EXPECT_EQ(control.turboReport(), "Turbo: 250 cycles in 0.5 s, 500 cycles/s");
  SimState().turbo = 1;
  control.turboChanged();
  now += 1000;
  control.runCycle(false);
  control.setOnFinished([] {});
  SimState().endFlag = 1;
  control.tick();  // the end of the program ends the stretch
  EXPECT_EQ(control.turboReport(), "Turbo: 1 cycles in 1.0 s, 1 cycles/s");
}

TEST_F(LoopTest, TheEndFlagEndsTheLoopAfterItsTick) {
  int finished = 0;
  control.setOnFinished([&] { ++finished; });
  control.startFirmware();
  EXPECT_EQ(fw.inits, 1);
  EXPECT_EQ(fw.starts, 1);
  EXPECT_TRUE(control.timerActive());
  SimState().endFlag = 1;
  control.tick();
  EXPECT_EQ(fw.ticks, 1);
  EXPECT_EQ(finished, 1);
  EXPECT_FALSE(control.timerActive());
  control.runCycle(true);
  EXPECT_EQ(fw.ticks, 1);
}

// --- Main window ---------------------------------------------------------------------------
class MainWindowTest : public LoopTest {
 protected:
  void SetUp() override {
    LoopTest::SetUp();
    root = config.emplace("simmain").root();
    ASSERT_EQ(SimInitIni(SimState()), 0);
    SimState().language = 1;
  }
  void TearDown() override {
    config.reset();
    LoopTest::TearDown();
  }
  long Valid() { return host::IniGetInt(SimIniPath(), "Settings", "Valid", -1); }
  std::filesystem::path root;
  std::optional<ScopedConfigFolder> config;  // XDG_CONFIG_HOME while the test runs
  BoxRecorder boxes{SIM_BOX_NO};
};

TEST_F(MainWindowTest, TheHundredthCycleMarksTheSettingsValidOnce) {
  SimMainWindow w;
  control.setTarget(&w);
  for (int i = 1; i <= 99; ++i) control.runCycle(true);
  EXPECT_EQ(Valid(), 0);
  control.runCycle(true);
  EXPECT_EQ(Valid(), 1);
  EXPECT_EQ(SimState().cycleCount, 100u);
  host::IniWriteInt(SimIniPath(), "Settings", "Valid", 0);
  for (int i = 0; i < 50; ++i) control.runCycle(true);
  EXPECT_EQ(Valid(), 0);
  // The post-cycle copy leaves the shadow equal to the record.
  EXPECT_EQ(SimShadowState().cycleCount, 150u);
  control.setTarget(nullptr);
}

TEST_F(MainWindowTest, PauseAndTurboCommandsToggleAndShowInTheTitle) {
  SimMainWindow w;
  SimSetTheControl(&control);
  w.command(SIM_CMD_PAUSE);
  EXPECT_EQ(SimState().pauseCount, 0x7FFFFFFF);
  EXPECT_TRUE(w.action(SIM_CMD_PAUSE)->isChecked());
  EXPECT_TRUE(w.windowTitle().endsWith("  [Pause]"));
  w.command(SIM_CMD_TURBO);
  EXPECT_TRUE(control.turboActive());
  EXPECT_TRUE(w.windowTitle().endsWith("  [Pause]  [Turbo]"));
  w.command(SIM_CMD_PAUSE);
  w.command(SIM_CMD_TURBO);
  EXPECT_EQ(SimState().pauseCount, 0);
  EXPECT_FALSE(control.turboActive());
  EXPECT_FALSE(w.windowTitle().contains('['));
  EXPECT_EQ(w.send(SIM_MSG_STATE, 0, 0), reinterpret_cast<intptr_t>(&SimState()));
  SimSetTheControl(nullptr);
}

TEST_F(MainWindowTest, ExitEndsTheLoopThroughItsTickAndMarksAFinishedRun) {
  SimAttachProjectBuffers(SimState());
  SimMainWindow w;
  SimSetTheControl(&control);
  int finished = 0;
  control.setOnFinished([&] { ++finished; });
  int closePanels = -1;
  fw.onTick = [&] { closePanels = SimState().closePanelsRequest; };
  w.show();
  w.command(SIM_CMD_EXIT);
  // The save prompt has the firmware hand its images back, then the end runs its tick.
  EXPECT_EQ(fw.ticks, 2);
  EXPECT_EQ(closePanels, 1) << "the last tick closes the module panels";
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(Valid(), 1);
  SimSetTheControl(nullptr);
}

// The project operations of the menu commands: a save has the firmware hand back its images
// first (save request and one tick), Save As names the project, New brings the unnamed demo,
// Open and the next start take the file, and a restart request leaves the restart project
// that the next start loads.
TEST_F(MainWindowTest, ProjectOperationsTakeTheImagesBackAndNameTheProject) {
  SimAttachProjectBuffers(SimState());
  SimRecentLoad(SimIniPath());
  SimMainWindow w;
  SimSetTheControl(&control);
  w.loadStartProject(false);
  EXPECT_TRUE(SimProjectIsDemo());
  EXPECT_TRUE(w.windowTitle().endsWith("(NEW)"));

  int handedBack = 0;
  fw.onTick = [&] {
    SimHostState& st = SimState();
    if (!st.saveRequest) return;
    st.saveRequest = 0;
    st.engineering[0x1000] = 0x51;  // the firmware's image differs from the buffer's
    ++handedBack;
  };
  const std::string path = (root / "My Plant.sdg").string();
  ASSERT_EQ(w.saveProject(path, true), 1);
  EXPECT_EQ(handedBack, 1);
  EXPECT_TRUE(w.windowTitle().endsWith("MY PLANT.SDG")) << w.windowTitle().toStdString();
  EXPECT_EQ(SimRecentGet(SIM_RECENT_FIRST_ID), path);
  EXPECT_FALSE(w.projectChanged()) << "the handed-back image is what was saved";
  EXPECT_EQ(handedBack, 2);
  ASSERT_EQ(w.exportEeprom((root / "device.ebin").string()), 1);
  EXPECT_EQ(std::filesystem::file_size(root / "device.ebin"), 8u + 130815u);

  SimState().reloadRequest = 0;
  w.newProject();
  EXPECT_EQ(SimState().reloadRequest, 1);
  EXPECT_FALSE(SimProjectHasName());
  EXPECT_TRUE(w.windowTitle().endsWith("(NEW)"));
  EXPECT_EQ(host::IniGetInt(SimIniPath(), "Device", "ModulA4", -1), 1) << "the demo's device settings";
  EXPECT_EQ(host::IniGetInt(SimIniPath(), "Device", "ModulP4", -1), 0);

  ASSERT_EQ(w.openProject(path), SIM_PROJECT_LOADED);
  EXPECT_EQ(SimState().engineering[0x1000], 0x51);
  EXPECT_STREQ(SimState().projectName, path.c_str());
  EXPECT_EQ(w.openProject((root / "missing.sdg").string()), SIM_PROJECT_FAILED);
  EXPECT_TRUE(SimProjectIsDemo());

  // The next start opens the last file.
  SimTheSettings().lastFileName = path;
  w.loadStartProject(false);
  EXPECT_STREQ(SimState().projectName, path.c_str());

  // A restart request leaves the restart project; a restart start loads and deletes it.
  w.show();
  SimState().engineering[0x1000] = 0x77;
  w.send(SIM_MSG_RESTART, 1, 0);
  ASSERT_TRUE(std::filesystem::exists(SimRestartProjectPath()));
  SimMainWindow next;
  SimLoadDemoProject();
  next.loadStartProject(true);
  EXPECT_EQ(SimState().engineering[0x1000], 0x77);
  EXPECT_FALSE(std::filesystem::exists(SimRestartProjectPath()));
  SimSetTheControl(nullptr);
}

// The channel for PC tools around the tick: the pre-cycle hands a tool's request to the
// firmware, the post-cycle publishes its answer, and a new device address reopens the channel
// after that cycle. Between cycles (here: while paused) the event loop answers the tools.
TEST_F(MainWindowTest, TheChannelFeedsTheTickAndReopensForANewAddress) {
  lcdtest::UsePrivateSharedNames();
  const std::string p = host::SharedNamePrefix();
  SimHostState& s = SimState();
  s.deviceAddress = 1;
  SimShadowState().deviceAddress = 1;
  std::vector<uint8_t> seen;
  uint16_t seenLength = 0;
  fw.onTick = [&] {
    SimHostState& st = SimState();
    if (!st.requestPending) return;
    seen.assign(st.requestText, st.requestText + (st.requestLength & 0x7FFF));
    seenLength = st.requestLength;
    st.requestPending = 0;
    std::memcpy(st.responseText, "\x06", 2);
    st.responseLength = 1 | 0x8000;  // the firmware marks every answer binary
    st.responseReady = 1;
  };
  {
    SimMainWindow w;
    control.setTarget(&w);
    w.openChannel();
    s.pauseCount = 0x7FFFFFFF;
    ChildProcess tool([&](ChildProcess&) {
      host::IpcFrame f;
      f.message = SIM_COM_SETTEXT;
      f.payload = "043030393805";
      return host::IpcSendFull(p + SIM_COM_MAIN_NAME, f, nullptr, 60000) == 1 ? 0 : 1;
    });
    EXPECT_EQ(tool.wait([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }), 0)
        << "answered by the event loop while paused";
    s.pauseCount = 0;
    control.runCycle(true);
    EXPECT_EQ(seen, (std::vector<uint8_t>{0x04, '0', '0', '9', '8', 0x05}));
    EXPECT_EQ(seenLength, 6);
    EXPECT_EQ(s.requestPending, 0u);
    EXPECT_EQ(s.responseReady, 0u);
    EXPECT_EQ(SimComState(), SIM_COM_NONE) << "published after the cycle";

    fw.onTick = [] { SimState().deviceAddress = 5; };
    EXPECT_TRUE(host::SharedBlock::InUse("Share::SimComRequest.Adr01"));
    control.runCycle(true);
    EXPECT_FALSE(host::SharedBlock::InUse("Share::SimComRequest.Adr01"));
    EXPECT_FALSE(host::IpcEndpoint::InUse("Class::SimComRequest.Adr01"));
    EXPECT_TRUE(host::SharedBlock::InUse("Share::SimComRequest.Adr05"));
    EXPECT_TRUE(host::NamedEvent::InUse("Event::SimComResponse.Adr05"));
    EXPECT_TRUE(host::IpcEndpoint::InUse("Class::SimComResponse.Adr05"));
    control.setTarget(nullptr);
  }
  EXPECT_FALSE(SimComIsOpen()) << "closed with the main window";
  EXPECT_FALSE(host::SharedBlock::InUse("Share::SimComRequest.Com10"));
  EXPECT_FALSE(host::IpcEndpoint::InUse(SIM_COM_MAIN_NAME));
}

TEST_F(LoopTest, ARestartRequestEndsTheRunAndAsksForANewProcess) {
  static int asked;
  asked = 0;
  static const SimRestartHooks hooks = {nullptr, nullptr, [] { ++asked; }};
  SimSetRestartHooks(&hooks);
  SimClearProcessRestart();
  // What a PC tool downloaded is in the firmware's image only: the restart takes it along.
  SimAttachProjectBuffers(SimState());
  SimState().engineering[0x1234] = SimState().engineeringRef[0x1234] = 0;
  FW_LinkImage()[0x1234] = 0x5C;
  SimRequestRestart();
  EXPECT_EQ(SimState().engineering[0x1234], 0x5C);
  EXPECT_TRUE(SimProjectChanged());
  FW_LinkImage()[0x1234] = 0;
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(SimState().endFlag, 1);
  EXPECT_EQ(SimState().restartFlag, 1);
  // The shell's own flag survives the firmware's restart, which clears the state record's.
  SimState().restartFlag = 0;
  EXPECT_TRUE(SimProcessRestartRequested());
  SimClearProcessRestart();
  SimSetRestartHooks(nullptr);
}

// --- Front panel and keys ------------------------------------------------------------------
QMouseEvent Mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
  return QMouseEvent(type, QPointF(pos), QPointF(pos), button, buttons, Qt::NoModifier);
}

void Press(QWidget* w, QPoint pos) {
  QMouseEvent e = Mouse(QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
  QApplication::sendEvent(w, &e);
}
void Release(QWidget* w, QPoint pos) {
  QMouseEvent e = Mouse(QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
  QApplication::sendEvent(w, &e);
}
void Move(QWidget* w, QPoint pos, Qt::MouseButtons buttons) {
  QMouseEvent e = Mouse(QEvent::MouseMove, pos, Qt::NoButton, buttons);
  QApplication::sendEvent(w, &e);
}

// The front and keys as the program's artwork, or a test's own bitmaps.
class FrontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    g_fw = &fw;
    SimSetFirmware(&kFake);
    SIM_InitKeys();
    SIM_SetKeyMaskHook([](uint32_t m) { SimFirmware().setKeyMask(m); });
  }
  void TearDown() override {
    for (int i = 0; i < 5; ++i) {
      SIM_HARDKEY_SetState(i, 0);
      SIM_HardkeyCallback(i, 0);
    }
    SIM_SetKeyMaskHook(nullptr);
    SimSetFirmware(nullptr);
    g_fw = nullptr;
  }
  FakeFirmware fw;
};

TEST_F(FrontTest, TheArtworkGivesFiveKeysInARowAndAShapedFront) {
  ASSERT_EQ(SimFrontBitmap().size(), QSize(438, 429));
  ASSERT_EQ(SimKeysBitmap().size(), QSize(438, 429));
  SimFrontPanel panel(nullptr);
  ASSERT_EQ(panel.numKeys(), 5);
  for (int i = 1; i < 5; ++i) {
    EXPECT_EQ(panel.key(i)->y(), panel.key(0)->y());
    EXPECT_GT(panel.key(i)->x(), panel.key(i - 1)->x());
  }
  // The corner is transparent (outside the shape), the centre is not.
  EXPECT_FALSE(panel.mask().contains(QPoint(0, 0)));
  EXPECT_TRUE(panel.mask().contains(QPoint(219, 200)));
  EXPECT_EQ(panel.lcd()->geometry(), QRect(59, 44, 320, 240));
  EXPECT_EQ(panel.lcd()->pollTimer()->interval(), 20);
}

TEST_F(FrontTest, KeyWindowsCoverTheirWholeArea) {
  QImage front(60, 40, QImage::Format_RGB32), keys(60, 40, QImage::Format_RGB32);
  front.fill(0x303030);
  keys.fill(0xFF0000);
  QPainter(&keys).fillRect(QRect(30, 10, 12, 8), QColor(0x808080));  // equal tops: 1 after 0
  QPainter(&keys).fillRect(QRect(5, 10, 10, 6), QColor(0x808080));
  SimSetPanelBitmaps(front, keys);
  SimFrontPanel panel(nullptr);
  ASSERT_EQ(panel.numKeys(), 2);
  EXPECT_EQ(panel.key(0)->geometry(), QRect(5, 10, 10, 6));
  EXPECT_EQ(panel.key(1)->geometry(), QRect(30, 10, 12, 8));
  EXPECT_TRUE(panel.key(1)->mask().contains(QPoint(11, 7)));
  // A key paints the key bitmap while pressed.
  SIM_HARDKEY_SetState(0, 1);
  EXPECT_EQ(panel.key(0)->grab().toImage().pixel(3, 3) & 0xFFFFFF, 0x808080u);
  SIM_HARDKEY_SetState(0, 0);
  EXPECT_EQ(panel.key(0)->grab().toImage().pixel(3, 3) & 0xFFFFFF, 0x303030u);
  SimSetPanelBitmaps(QImage(":/assets/front.png"), QImage(":/assets/keys.png"));
}

TEST_F(FrontTest, TooManyKeyAreasCreateNoKeyWindows) {
  QImage front(300, 8, QImage::Format_RGB32), keys(300, 8, QImage::Format_RGB32);
  front.fill(0x303030);
  keys.fill(0xFF0000);
  for (int i = 0; i < 129; ++i) keys.setPixel(i * 2, 3, 0x808080);
  SimSetPanelBitmaps(front, keys);
  SimFrontPanel panel(nullptr);
  EXPECT_EQ(panel.numKeys(), 0);
  SimSetPanelBitmaps(QImage(":/assets/front.png"), QImage(":/assets/keys.png"));
}

TEST_F(FrontTest, ClicksOnKeysMakeTheKeyMask) {
  SimFrontPanel panel(nullptr);
  ASSERT_EQ(panel.numKeys(), 5);
  QWidget* k0 = panel.key(0);
  QWidget* k3 = panel.key(3);
  QPoint mid0 = k0->rect().center(), mid3 = k3->rect().center();
  Press(k0, mid0);
  EXPECT_EQ(fw.mask, 1u);
  EXPECT_EQ(FW_GetKeyCode(), 1);
  EXPECT_EQ(SIM_HARDKEY_GetState(0), 1);
  Press(k3, mid3);
  EXPECT_EQ(fw.mask, 9u);
  EXPECT_EQ(FW_GetKeyCode(), 0);  // two keys held
  Release(k0, mid0);
  EXPECT_EQ(FW_GetKeyCode(), 4);  // key 3 alone
  Release(k3, mid3);
  EXPECT_EQ(fw.mask, 0u);
  EXPECT_EQ(FW_GetKeyCode(), 0);
  EXPECT_EQ(SIM_HARDKEY_GetState(0), 0);
}

TEST_F(FrontTest, LeavingAPressedKeyKeepsItPressedUntilRelease) {
  SimFrontPanel panel(nullptr);
  QWidget* k2 = panel.key(2);
  Press(k2, k2->rect().center());
  Move(k2, QPoint(-30, -30), Qt::LeftButton);
  EXPECT_EQ(fw.mask, 4u);
  EXPECT_EQ(SIM_HARDKEY_GetState(2), 1);
  Release(k2, QPoint(-30, -30));
  EXPECT_EQ(fw.mask, 0u);
  EXPECT_EQ(SIM_HARDKEY_GetState(2), 0);
}

TEST_F(FrontTest, AKeyInToggleModeChangesOnEachPressOnly) {
  SimFrontPanel panel(nullptr);
  QWidget* k1 = panel.key(1);
  QPoint mid = k1->rect().center();
  SIM_HARDKEY_SetMode(1, 1);
  Press(k1, mid);
  Release(k1, mid);
  EXPECT_EQ(SIM_HARDKEY_GetState(1), 1);
  Press(k1, mid);
  Release(k1, mid);
  EXPECT_EQ(SIM_HARDKEY_GetState(1), 0);
  SIM_HARDKEY_SetMode(1, 0);
}

TEST_F(FrontTest, PcKeysWorkTheHardKeysAndTheLibraryKeys) {
  SimFrontPanel panel(nullptr);
  const struct {
    int qtKey;
    uint32_t mask;
  } cases[] = {{Qt::Key_PageDown, 1}, {Qt::Key_Left, 2}, {Qt::Key_Down, 4}, {Qt::Key_Up, 8}, {Qt::Key_Right, 16}};
  for (const auto& c : cases) {
    QKeyEvent down(QEvent::KeyPress, c.qtKey, Qt::NoModifier);
    QApplication::sendEvent(&panel, &down);
    EXPECT_EQ(fw.mask, c.mask) << c.qtKey;
    // An auto-repeat of another key changes nothing.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(&panel, &repeat);
    EXPECT_EQ(fw.mask, c.mask) << c.qtKey;
    QKeyEvent up(QEvent::KeyRelease, c.qtKey, Qt::NoModifier);
    QApplication::sendEvent(&panel, &up);
    EXPECT_EQ(fw.mask, 0u) << c.qtKey;
  }
  const struct {
    int qtKey;
    int key;
  } table[] = {{Qt::Key_Up, 17},  {Qt::Key_Down, 19},  {Qt::Key_Right, 18},   {Qt::Key_Left, 16},
               {Qt::Key_Home, 23}, {Qt::Key_End, 24},  {Qt::Key_Shift, 25},   {Qt::Key_Control, 26},
               {Qt::Key_Backspace, 8}, {Qt::Key_Insert, 29}, {Qt::Key_Delete, 30}, {Qt::Key_A, 0}};
  for (const auto& t : table) EXPECT_EQ(SimLibraryKeyOf(t.qtKey), t.key) << t.qtKey;
}

// Presses between two cycles reach the firmware: each pattern of presses and releases made
// before a cycle gives the masks the following cycles see. A press released before a cycle
// saw it is held for that cycle and its release seen in the next; a held key stays held; of
// many presses only the first counts, once.
TEST_F(FrontTest, PressesBetweenTwoCyclesReachTheFirmwareOnce) {
  SimFrontPanel panel(nullptr);
  std::memset(&SimState(), 0, sizeof(SimHostState));
  SimControl control;
  control.begin();
  std::vector<uint32_t> maskAtTick;
  fw.onTick = [&] { maskAtTick.push_back(fw.mask); };
  auto click = [&](int key) {
    QWidget* k = panel.key(key);
    Press(k, k->rect().center());
    Release(k, k->rect().center());
  };
  auto pcKey = [&](int qtKey, bool down) {
    QKeyEvent e(down ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, Qt::NoModifier);
    QApplication::sendEvent(&panel, &e);
  };
  const struct {
    const char* what;
    std::function<void()> before;
    std::vector<uint32_t> masks;  // in the three cycles after it
  } cases[] = {
      {"a click on ▼", [&] { click(2); }, {4, 0, 0}},
      {"a PC key tapped", [&] { pcKey(Qt::Key_Up, true), pcKey(Qt::Key_Up, false); }, {8, 0, 0}},
      {"twenty presses", [&] { for (int i = 0; i < 20; ++i) click(i % 5); }, {1, 0, 0}},
      {"a held key", [&] { Press(panel.key(4), panel.key(4)->rect().center()); }, {16, 16, 16}},
      {"its release", [&] { Release(panel.key(4), panel.key(4)->rect().center()); }, {0, 0, 0}},
      {"a click while another key is held",
       [&] {
         pcKey(Qt::Key_Left, true);
         click(2);
       },
       {2, 2, 2}},
      {"the held key let go", [&] { pcKey(Qt::Key_Left, false); }, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    maskAtTick.clear();
    c.before();
    for (int i = 0; i < 3; ++i) control.runCycle(true);
    EXPECT_EQ(maskAtTick, c.masks) << c.what;
    EXPECT_EQ(fw.mask, SIM_GetKeyMask()) << c.what << ": after its cycles the firmware has the keys held";
  }
  fw.onTick = nullptr;
}

// A tap on the display shorter than a cycle reaches the firmware as a touch of one cycle at its
// place, released in the next; a touch held stays pressed.
TEST_F(FrontTest, ATapBetweenTwoCyclesReachesTheFirmware) {
  SimFrontPanel panel(nullptr);
  std::memset(&SimState(), 0, sizeof(SimHostState));
  SimControl control;
  control.begin();
  auto* lcd = panel.findChild<SimLcdWindow*>();
  ASSERT_NE(lcd, nullptr);
  std::vector<SIM_POINTER_STATE> seen;
  fw.onTick = [&] {
    SIM_POINTER_STATE s{};
    SIM_GetPointerState(&s);
    seen.push_back(s);
  };
  const QPoint row(100, 60 + 22 * 3 + 11);
  Press(lcd, row);
  Release(lcd, row);
  for (int i = 0; i < 2; ++i) control.runCycle(true);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].state, 2);
  EXPECT_EQ(seen[0].x, row.x());
  EXPECT_EQ(seen[0].y, row.y());
  EXPECT_EQ(seen[1].state, 0);
  SIM_POINTER_STATE now{};
  SIM_GetPointerState(&now);
  EXPECT_EQ(now.state, 0);
  seen.clear();
  Press(lcd, row);
  for (int i = 0; i < 2; ++i) control.runCycle(true);
  Release(lcd, row);
  control.runCycle(true);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].state, 2);
  EXPECT_EQ(seen[1].state, 2);
  EXPECT_EQ(seen[2].state, 0);
  fw.onTick = nullptr;
}

// --- LCD window ----------------------------------------------------------------------------
class LcdWindowTest : public lcdtest::LcdTest {
 protected:
  void SetUp() override {
    App();
    lcdtest::LcdTest::SetUp();
  }
};

TEST_F(LcdWindowTest, APixelShowsWithinTwoPolls) {
  SimLcdWindow lcd(0, nullptr);
  lcd.resize(320, 240);
  EXPECT_EQ(lcd.pollTimer()->interval(), SimLcdWindow::kPollMs);
  EXPECT_EQ(lcd.grab().toImage().pixel(10, 20) & 0xFFFFFF, 0u);
  GUI_SetColor(0x0000FF);  // red in the library's 0x00BBGGRR
  LCD_DrawPixel(10, 20);
  lcd.poll();
  lcd.poll();
  EXPECT_EQ(lcd.grab().toImage().pixel(10, 20) & 0xFFFFFF, 0xFF0000u);
}

// The first firmware tick may hold the event loop for seconds; a grab taken right after it
// must show what the display holds then, not the picture painted before the tick.
TEST_F(LcdWindowTest, AScreenGrabShowsTheDisplayWhoseRepaintIsStillPending) {
  SimLcdWindow lcd(0, nullptr);
  lcd.resize(320, 240);
  lcd.show();
  QCoreApplication::processEvents();
  const QPoint at = lcd.mapToGlobal(QPoint(10, 20)) - lcd.screen()->geometry().topLeft();
  EXPECT_EQ(SimGrabScreen(&lcd).toImage().pixel(at) & 0xFFFFFF, 0u);
  GUI_SetColor(0x0000FF);  // red in the library's 0x00BBGGRR
  LCD_DrawPixel(10, 20);
  lcd.poll();  // schedules the repaint only
  EXPECT_EQ(SimGrabScreen(&lcd).toImage().pixel(at) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(LcdWindowTest, APressOffTheDisplayPassesTheLastPositionOnIt) {
  SimLcdWindow lcd(0, nullptr);
  lcd.resize(320, 240);
  Move(&lcd, QPoint(100, 50), Qt::NoButton);
  const struct {
    int x, y;
  } off[] = {{330, 50}, {320, 50}, {100, 240}, {-1, 50}};
  for (const auto& p : off) {
    Press(&lcd, QPoint(p.x, p.y));
    EXPECT_EQ(lcdtest::HeaderWord(LCDSIM_HDR_PTR_X), 100u) << p.x << "," << p.y;
    EXPECT_EQ(lcdtest::HeaderWord(LCDSIM_HDR_PTR_Y), 50u) << p.x << "," << p.y;
    EXPECT_EQ(lcdtest::HeaderWord(LCDSIM_HDR_PTR_STATE), 1u);
    Release(&lcd, QPoint(p.x, p.y));
  }
  Press(&lcd, QPoint(319, 239));
  EXPECT_EQ(lcdtest::HeaderWord(LCDSIM_HDR_PTR_X), 319u);
  // The firmware's pointer state follows the press.
  SIM_POINTER_STATE s{};
  SIM_GetPointerState(&s);
  EXPECT_EQ(s.state, 2);
  EXPECT_EQ(s.x, 319);
  Release(&lcd, QPoint(319, 239));
  SIM_GetPointerState(&s);
  EXPECT_EQ(s.state, 0);
}

}  // namespace

// --- Window placement, recent-file menu, dialogs -------------------------------------------
#include <QClipboard>
#include <QFileDialog>
#include <QMenu>

#include "shell/shell_ui.h"
#include "shell/shell_util.h"

namespace {

using PlacementTest = MainWindowTest;

TEST_F(PlacementTest, AStoredPlacementIsAppliedOnlyWhenItHoldsTenNumbers) {
  QWidget w;
  w.setGeometry(10, 20, 200, 100);
  host::IniWriteString(SimIniPath(), "Settings", "WindowPos", "0,1,-1,-1,-1,-1,300,200,769,723");
  EXPECT_EQ(SimReadWindowPos(&w, SIM_SHOW_NORMAL, "Settings", "WindowPos", SimIniPath()), 1u);
  EXPECT_EQ(w.geometry(), QRect(300, 200, 469, 523));
  EXPECT_TRUE(w.isVisible());
  w.hide();
  w.setGeometry(10, 20, 200, 100);
  host::IniWriteString(SimIniPath(), "Settings", "WindowPos", "0,1,-1,-1,-1,-1,300,200,769");
  EXPECT_EQ(SimReadWindowPos(&w, SIM_SHOW_SHOW, "Settings", "WindowPos", SimIniPath()), SIM_SHOW_SHOW);
  EXPECT_EQ(w.geometry(), QRect(10, 20, 200, 100));
  EXPECT_TRUE(w.isVisible());
  // A start that asks for a minimised window wins over the stored command.
  host::IniWriteString(SimIniPath(), "Settings", "WindowPos", "0,1,-1,-1,-1,-1,300,200,769,723");
  EXPECT_EQ(SimReadWindowPos(&w, SIM_SHOW_MINIMIZED, "Settings", "WindowPos", SimIniPath()), SIM_SHOW_MINIMIZED);
  w.showNormal();
  w.setGeometry(40, 50, 300, 200);
  SimWriteWindowPos(&w, "Settings", "Pos2", SimIniPath());
  SimWindowPlacement p;
  ASSERT_TRUE(SimParseWindowPlacement(host::IniGetString(SimIniPath(), "Settings", "Pos2", ""), &p));
  EXPECT_EQ(QRect(p.left, p.top, p.right - p.left, p.bottom - p.top), QRect(40, 50, 300, 200));
}

TEST_F(PlacementTest, TheRecentMenuShowsTheGreyedPlaceholderWhileEmpty) {
  QMenu menu;
  menu.addAction("&Open...");
  menu.addSeparator();
  menu.addAction("E&xit");
  SimRecentLoad(SimIniPath());
  int opened = 0;
  SimRecentRebuildMenu(&menu, "Last Projects", [&](int id) { opened = id; });
  QList<QAction*> a = menu.actions();
  ASSERT_EQ(a.size(), 4);
  EXPECT_EQ(a[1]->text(), "Last Projects");
  EXPECT_FALSE(a[1]->isEnabled());
  SimRecentAdd("/p/one.sdg");
  SimRecentAdd("/p/two.sdg");
  SimRecentRebuildMenu(&menu, "Last Projects", [&](int id) { opened = id; });
  a = menu.actions();
  ASSERT_EQ(a.size(), 5);
  EXPECT_EQ(a[1]->text(), "&1 /P/TWO.SDG");
  EXPECT_EQ(a[2]->text(), "&2 /P/ONE.SDG");
  a[2]->trigger();
  EXPECT_EQ(opened, SIM_RECENT_FIRST_ID + 1);
  EXPECT_EQ(a[4]->text(), "E&xit");
}

TEST(ShellDialogs, SaveDialogsMayNameANewFileAndOpenDialogsMayNot) {
  App();
  const std::string filter = "Text|*.txt|Project|*.sdg|";
  QFileDialog save, open;
  SimSetUpFileDialog(&save, "Save As", "/tmp/new.sdg", filter, "/tmp", true);
  SimSetUpFileDialog(&open, "Open File", "", filter, "/tmp", false);
  EXPECT_EQ(save.fileMode(), QFileDialog::AnyFile);
  EXPECT_EQ(save.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_FALSE(save.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(save.selectedNameFilter(), "Project (*.sdg)");
  EXPECT_EQ(open.fileMode(), QFileDialog::ExistingFile);
  EXPECT_EQ(open.acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(open.selectedNameFilter(), "Text (*.txt)");
  EXPECT_EQ(open.windowTitle(), "Open File");
}

TEST(ShellDialogs, FiltersAndTheSaveDialogsPreselection) {
  const std::string filter = "SIM/MX74-2 (*.sdg)|*.sdg|All Files (*.*)|*.*|";
  EXPECT_EQ(SimDialogFilter(filter), "SIM/MX74-2 (*.sdg);;All Files (*.*)");
  EXPECT_EQ(SimFilterIndexFor(filter, "/p/a.sdg"), 0);
  EXPECT_EQ(SimFilterIndexFor(filter, "/p/a.SDG"), 0);
  EXPECT_EQ(SimFilterIndexFor("Text|*.txt|Project|*.sdg|", "/p/a.sdg"), 1);
  EXPECT_EQ(SimFilterIndexFor(filter, "/p.d/noext"), 0);
}

TEST_F(LcdWindowTest, TheDisplayGoesToTheClipboard) {
  GUI_SetColor(0x00FF00);
  LCD_DrawPixel(5, 6);
  SIM_CopyLCDToClipboard(0);
  QImage img = QGuiApplication::clipboard()->image();
  ASSERT_EQ(img.size(), QSize(320, 240));
  EXPECT_EQ(img.pixel(5, 6) & 0xFFFFFF, 0x00FF00u);
  EXPECT_TRUE(SimLcdImage(3).isNull());
}

}  // namespace

// --- Scripts in the running window -----------------------------------------------------------
#include <fstream>

#include "shell/script.h"

namespace {

// The messages scripts send to the front: keys pressed as a click presses them, the held keys
// in the script's code, pointer mode that keeps PC keys from the device, the pressed flag.
TEST_F(FrontTest, TheFrontAnswersTheScriptsMessages) {
  SimFrontPanel panel(nullptr);
  EXPECT_EQ(panel.send(SIM_FRONT_SET_KEYS, 1 | 4, 0), 0);
  EXPECT_EQ(fw.mask, 5u);
  EXPECT_EQ(SIM_HARDKEY_GetState(0), 1);
  EXPECT_EQ(SIM_HARDKEY_GetState(2), 1);
  EXPECT_EQ(panel.send(SIM_FRONT_GET_KEYS, 0, 0), 0x1010);
  panel.send(SIM_FRONT_SET_KEYS, 4 | 8, 1 | 4);  // key 0 up, key 3 down, key 2 untouched
  EXPECT_EQ(fw.mask, 12u);
  EXPECT_EQ(SIM_HARDKEY_GetState(0), 0);
  EXPECT_EQ(panel.send(SIM_FRONT_GET_KEYS, 0, 0), 0x0011);
  panel.send(SIM_FRONT_SET_KEYS, 0, 4 | 8);
  EXPECT_EQ(fw.mask, 0u);

  // Pointer mode: PC keys no longer work the hard keys, but they still count as pressed.
  panel.send(SIM_FRONT_POINTER_MODE, 0x10001, 0);  // the low word counts
  EXPECT_TRUE(panel.pointerMode());
  QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
  QApplication::sendEvent(&panel, &down);
  EXPECT_EQ(fw.mask, 0u);
  EXPECT_EQ(panel.send(SIM_FRONT_PRESSED, 0, 0), 1);
  QKeyEvent up(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier);
  QApplication::sendEvent(&panel, &up);
  EXPECT_EQ(panel.send(SIM_FRONT_PRESSED, 0, 0), 0);
  panel.send(SIM_FRONT_POINTER_MODE, 0x10000, 0);
  EXPECT_FALSE(panel.pointerMode());
  QApplication::sendEvent(&panel, &down);
  EXPECT_EQ(fw.mask, 1u);
  QApplication::sendEvent(&panel, &up);
  // A click on a key window counts as pressed as well.
  Press(panel.key(1), panel.key(1)->rect().center());
  EXPECT_EQ(panel.send(SIM_FRONT_PRESSED, 0, 0), 1);
  Release(panel.key(1), panel.key(1)->rect().center());
  EXPECT_EQ(panel.send(SIM_FRONT_PRESSED, 0, 0), 0);
}

// The player in the main window's cycle: a key line reaches the firmware tick of its own
// cycle; a pause stops the simulation for its cycles, and the title shows it meanwhile.
TEST_F(MainWindowTest, APlayedPauseStopsTheSimulationAndKeysReachTheTickOfTheirCycle) {
  SIM_InitKeys();
  SIM_SetKeyMaskHook([](uint32_t m) { SimFirmware().setKeyMask(m); });
  for (int i = 0; i < 5; ++i) SIM_HardkeyCallback(i, 0);  // whatever earlier tests held
  SimFrontPanel panel(nullptr);
  SimScriptHooks hooks;
  hooks.front = [&panel](int id, intptr_t w, intptr_t l) { return panel.send(id, w, l); };
  SimScriptSetHooks(hooks);
  const std::string script = (root / "Play.TXT").string();
  std::ofstream(script) << "WAIT 0\nKEY 1000\nPAUSE 5\nKEY 0000\n";
  SimScriptSetPaths(script, "");
  SimScriptOpen();
  EXPECT_TRUE(panel.pointerMode());
  std::vector<uint32_t> maskAtTick;
  fw.onTick = [&] { maskAtTick.push_back(fw.mask); };
  {
    SimMainWindow w;
    control.setTarget(&w);
    control.runCycle(true);
    EXPECT_EQ(maskAtTick, std::vector<uint32_t>{1});
    EXPECT_TRUE(w.windowTitle().endsWith("  [Pause]"));
    for (int i = 0; i < 5; ++i) control.runCycle(true);
    EXPECT_EQ(fw.ticks, 1) << "five cycles paused";
    control.runCycle(true);
    EXPECT_EQ(maskAtTick, (std::vector<uint32_t>{1, 0}));
    EXPECT_FALSE(w.windowTitle().contains('['));
    EXPECT_FALSE(panel.pointerMode()) << "the script has ended";
    control.setTarget(nullptr);
  }
  SimScriptClose();
  SimScriptSetHooks({});
  SimScriptSetPaths("", "");
  SIM_SetKeyMaskHook(nullptr);
}

}  // namespace

// --- Module panels around the main window --------------------------------------------------
#include <QLineEdit>

#include "shell/module_panels.h"
#include "shell/sim_main.h"

namespace {

// Makes the window active and waits until it is (the deadline only bounds a hang).
bool WaitActive(QWidget* w) {
  QElapsedTimer t;
  t.start();
  while (QApplication::activeWindow() != w && t.elapsed() < 60000) {
    w->activateWindow();
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return QApplication::activeWindow() == w;
}

#ifdef TQ500_PROGRAM
// A configuration pass that starts and shows a panel (during which another window became
// active) leaves the window that was active before it active, with its focus.
TEST(PanelWindows, TheWindowActiveBeforeAPassIsActiveAgainAfterIt) {
  App();
  ScopedConfigFolder config("panelwin");
  QWidget main, other;
  auto* field = new QLineEdit(&main);
  main.show();
  other.show();
  ASSERT_TRUE(WaitActive(&main));
  field->setFocus();
  static QWidget* s_other;
  s_other = &other;
  SimModulePanelOptions o;
  o.program = TQ500_PROGRAM;
  o.startTimeoutMs = 120000;  // these only bound a hang of the panel on a loaded machine
  o.messageTimeoutMs = 120000;
  o.closeTimeoutMs = 120000;
  o.trace = [](int, const host::IpcFrame& f) {
    if (f.message == 0x0018) WaitActive(s_other);  // showing the panel takes the activation
  };
  SimSetModulePanelOptions(o);
  SimSetModulePanelWindowHooks(&SimQtPanelWindowHooks());
  for (int c = 0; c < COM_COUPLERS; ++c) {
    *COM_CouplerRecord(c) = ComCouplerRecord{};
    COM_CouplerRecord(c)->moduleCount = -1;
  }
  ComCouplerRecord& r = *COM_CouplerRecord(0);
  std::snprintf(r.title, sizeof r.title, "TQ500 - #2");
  r.couplerBlock = 21;
  r.moduleCount = 0;
  SimModulePanelOpen(1);
  EXPECT_NE(r.panel, 0);
  QElapsedTimer t;
  t.start();
  while (QApplication::activeWindow() != &main && t.elapsed() < 60000)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(QApplication::activeWindow(), &main);
  EXPECT_EQ(QApplication::focusWidget(), field);
  SimModulePanelCloseAll();
  SimSetModulePanelWindowHooks(nullptr);
  SimSetModulePanelOptions({});
}
#endif

}  // namespace
