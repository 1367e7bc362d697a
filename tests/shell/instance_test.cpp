// The instance initialisation: the command line's language against the settings, the splash
// and its time, the views of the settings; and the front window's own messages and the keys it
// passes on to the main window.
#include <gtest/gtest.h>

// Before Qt's headers, whose "slots" keyword would take the stand-in record's member name.
#include "opui/op_links.h"

#include <unistd.h>

#include <QAction>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QEvent>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "blocks/info/info_links.h"
#include "blocks/visual/visual_links.h"
#include "comm/com_links.h"
#include "gui/core/GUI_Input.h"
#include "host/ini_file.h"
#include "shell/firmware_link.h"
#include "shell/front_panel.h"
#include "shell/main_window.h"
#include "shell/project.h"
#include "shell/script.h"
#include "shell/settings.h"
#include "shell/shell_dialogs.h"
#include "shell/sim_main.h"
#include "simlayer/SIM.h"
#include "support/config_folder.h"
#include "support/lcd_harness.h"
#include "support/shell_app.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;

const SimFirmwareAdapter kIdle = {[] {}, [] {}, [] { SimState().saveRequest = 0; }, [](uint32_t) {}};

class InstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ShellTestApp();
    lcdtest::UsePrivateSharedNames();
    root = config.emplace("siminit").root();
    folder = root / "Orvant Tools" / "SIM_MX74-2";
    fs::create_directories(folder);
    start = fs::current_path();
    fs::current_path(root);  // the error log goes here
    SimSetFirmware(&kIdle);
    ASSERT_EQ(SIM_InitHost(), 0);
  }
  void TearDown() override {
    SIM_ExitHost();
    SimSetFirmware(nullptr);
    fs::current_path(start);
    config.reset();
  }
  // A settings file of an earlier run, and the splash time (none: not set).
  void Settings(int language, int viewIO, int viewCOM, long splashMs) {
    const std::string ini = (folder / "sim_mx74-2.ini").string();
    host::IniWriteInt(ini, "Settings", "Valid", 1);
    host::IniWriteInt(ini, "Settings", "Language", language);
    host::IniWriteInt(ini, "Settings", "ViewIO", viewIO);
    host::IniWriteInt(ini, "Settings", "ViewCOM", viewCOM);
    if (splashMs >= 0) host::IniWriteInt((folder / "sim74-2.ini").string(), "COMPATIBILITY", "QM2911", splashMs);
  }
  fs::path root, folder, start;
  std::optional<ScopedConfigFolder> config;  // XDG_CONFIG_HOME while the test runs
};

TEST_F(InstanceTest, TheCommandLinesLanguageWinsOverTheSettings) {
  const struct {
    const char* args;
    int language;
    const char* file;
  } cases[] = {
      {"/french", 2, "&Fichier"}, {"/German", 0, "&Datei"}, {"", 1, "&File"}, {"/english /FRENCH", 2, "&Fichier"},
  };
  for (const auto& c : cases) {
    Settings(1, 0, 0, 0);
    SimMainWindow* w = SimInitInstance(c.args);
    ASSERT_NE(w, nullptr) << c.args;
    EXPECT_EQ(SimState().language, c.language) << c.args;
    EXPECT_EQ(w->menu(SIM_MENU_FILE)->title().toStdString(), c.file) << c.args;
    SimExitInstance(w);
  }
}

// Notes every splash shown while it lives (the show event comes at once, whatever the load of
// the machine).
struct SplashWatch : QObject {
  int shown = 0;
  SplashWatch() { QCoreApplication::instance()->installEventFilter(this); }
  ~SplashWatch() override { QCoreApplication::instance()->removeEventFilter(this); }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && o->objectName() == "SimSplash") ++shown;
    return false;
  }
};

// The splash shows for its time from QM2911, never on a restart and not with a time of 0. A
// restart does not wait for the time it would have shown (a long time, far above what a busy
// machine takes to start).
TEST_F(InstanceTest, TheSplashShowsForItsTimeButNotOnARestartNorWithTimeZero) {
  const struct {
    const char* args;
    long splashMs;
    bool seen;
  } cases[] = {{"", 300, true}, {"/restart", 120000, false}, {"", 0, false}};
  for (const auto& c : cases) {
    Settings(1, 0, 0, c.splashMs);
    SplashWatch watch;
    QElapsedTimer t;
    t.start();
    SimMainWindow* w = SimInitInstance(c.args);
    const qint64 took = t.elapsed();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(watch.shown, c.seen ? 1 : 0) << c.args << " " << c.splashMs;
    EXPECT_EQ(SimSplashWindow(), nullptr) << "the splash ends with the start-up";
    if (c.seen) {
      EXPECT_GE(took, c.splashMs);
    } else {
      EXPECT_LT(took, 60000);
    }
    SimExitInstance(w);
  }
}

// The program's start installs every link between the libraries: none of them answers from a
// stand-in afterwards, whatever was installed before.
TEST_F(InstanceTest, TheStartInstallsTheLinksBetweenTheLibraries) {
  COM_InstallLinks({});
  INFO_InstallLinks({});
  VIS_InstallLinks({});
  OP_InstallLinks({});
  SimMainWindow* w = SimInitInstance("");
  ASSERT_NE(w, nullptr);
  COM_LinkDeviceMode();
  COM_LinkStatusBits();
  INFO_LinkIoBoardsReady();
  VIS_LinkDrawIdleScreen("", false);
  OP_LinkKeyCode();
  OP_LinkOperatingState();
  OP_LinkCanNodeTable();
  EXPECT_FALSE(COM_LinksStandInUsed());
  EXPECT_FALSE(INFO_LinksStandInUsed());
  EXPECT_FALSE(VIS_LinksStandInUsed());
  EXPECT_FALSE(OP_LinksStandInUsed());
  SimExitInstance(w);
}

TEST_F(InstanceTest, TheViewsOfTheSettingsAndTheChannelsViewComeUp) {
  Settings(1, 1, 1, 0);
  SimMainWindow* w = SimInitInstance("");
  ASSERT_NE(w, nullptr);
  ASSERT_NE(w->commView(), nullptr);
  EXPECT_TRUE(w->commView()->isVisible());
  EXPECT_TRUE(w->action(SIM_CMD_VIEW_IO)->isChecked());
  EXPECT_EQ(SimState().instance, static_cast<int32_t>(getpid()));
  EXPECT_TRUE(w->windowTitle().startsWith("Simulation SIM/MX74-2 (OP 4) - "));
  SimExitInstance(w);
  // ViewCOM is taken only together with ViewIO.
  Settings(1, 0, 1, 0);
  w = SimInitInstance("");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(SimState().commViewShown, 0);
  EXPECT_FALSE(w->commView()->isVisible());
  SimExitInstance(w);
}

// --- The device of the settings ------------------------------------------------------------

// The [Device] section of the settings file as it stands.
std::string DeviceSection(const fs::path& ini) {
  std::string section;
  for (const char* key : {"Ksx", "Anschluss", "Power", "CommOpt", "SlotB", "SlotC", "Relais"})
    section += std::string(key) + "=" + host::IniGetString(ini.string(), "Device", key, "") + "\n";
  for (const char* key : SIM_MODULE_KEYS)
    section += std::string(key) + "=" + host::IniGetString(ini.string(), "Device", key, "") + "\n";
  return section;
}

// A user's device (not the demo's: a module rack in slot B, four relays, the communication
// option) is what the simulator runs with the demo, and the settings file keeps it through a
// start, an end and the next start.
TEST_F(InstanceTest, TheUsersDeviceSurvivesTheStartAndTheEnd) {
  Settings(1, 0, 0, 0);
  const fs::path ini = folder / "sim_mx74-2.ini";
  const struct {
    const char* key;
    int value;
  } device[] = {{"CommOpt", 1},  {"SlotB", 2},    {"SlotC", 0},    {"Relais", 1},   {"ModulA1", 21},
                {"ModulA2", 11}, {"ModulA3", 2},  {"ModulA4", 1},  {"ModulB1", 32}, {"ModulB2", 0},
                {"ModulB3", 12}, {"ModulB4", 45}, {"ModulC1", 0},  {"ModulC2", 0},  {"ModulC3", 0},
                {"ModulC4", 0},  {"ModulP1", 43}, {"ModulP2", 43}, {"ModulP3", 43}, {"ModulP4", 43}};
  for (const auto& d : device) host::IniWriteInt(ini.string(), "Device", d.key, d.value);
  const std::string before = DeviceSection(ini);
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    SimMainWindow* w = SimInitInstance("");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(SimProjectIsDemo());
    const SimDeviceConfig& d = SimState().device;
    EXPECT_EQ(d.commOpt, 1);
    EXPECT_EQ(d.slotB, 2);
    EXPECT_EQ(d.relais, 1);
    EXPECT_EQ(d.modules[2], 2);
    EXPECT_EQ(d.modules[7], 45);
    EXPECT_EQ(d.modules[15], 43);
    EXPECT_EQ(DeviceSection(ini), before) << "the start writes no device";
    SimExitInstance(w);
    EXPECT_EQ(DeviceSection(ini), before) << "nor does the end";
  }
}

// Values the dialogs cannot make keep the key's default, and SimError.log names them.
TEST_F(InstanceTest, DeviceValuesOutsideTheOptionListsKeepTheDefaults) {
  Settings(1, 0, 0, 0);
  const std::string ini = (folder / "sim_mx74-2.ini").string();
  host::IniWriteInt(ini, "Device", "CommOpt", 7);
  host::IniWriteInt(ini, "Device", "SlotB", 1);
  host::IniWriteInt(ini, "Device", "ModulB2", 12);   // the digital card holds 22 there
  host::IniWriteInt(ini, "Device", "ModulA4", 2);    // A4 is the Uni-Input
  host::IniWriteInt(ini, "Device", "ModulP4", 1);    // slot P takes no inputs
  host::IniWriteInt(ini, "Device", "ModulA2", 11);   // a choice: kept
  const int boxes = SIM_GetShowErrorBoxes();
  SIM_ShowErrorBoxes(0);
  SimMainWindow* w = SimInitInstance("");
  SIM_ShowErrorBoxes(boxes);
  ASSERT_NE(w, nullptr);
  const SimDeviceConfig& d = SimState().device;
  EXPECT_EQ(d.commOpt, 0);
  EXPECT_EQ(d.slotB, 1);
  EXPECT_EQ(d.modules[5], 22);
  EXPECT_EQ(d.modules[3], 1);
  EXPECT_EQ(d.modules[15], 0);
  EXPECT_EQ(d.modules[1], 11);
  SimExitInstance(w);
  SIM_CloseErrorLog();
  std::ifstream log(root / "SimError.log", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
  for (const char* entry : {"CommOpt=7 (0 is used)", "ModulB2=12 (22 is used)", "ModulA4=2 (1 is used)",
                            "ModulP4=1 (0 is used)"})
    EXPECT_NE(text.find(entry), std::string::npos) << entry << " in: " << text;
  EXPECT_EQ(text.find("ModulA2"), std::string::npos);
  // The values used took the refused ones' place in the file: the next start warns no more.
  std::remove((root / "SimError.log").c_str());
  SIM_ShowErrorBoxes(0);
  SimMainWindow* again = SimInitInstance("");
  SIM_ShowErrorBoxes(boxes);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(SimState().device.modules[15], 0);
  SimExitInstance(again);
  SIM_CloseErrorLog();
  std::ifstream second(root / "SimError.log", std::ios::binary);
  const std::string later{std::istreambuf_iterator<char>(second), std::istreambuf_iterator<char>()};
  EXPECT_EQ(later.find("does not offer"), std::string::npos) << later;
  EXPECT_EQ(host::IniGetInt(ini, "Device", "ModulP4", -1), 0);
  EXPECT_EQ(host::IniGetInt(ini, "Device", "ModulA2", -1), 11);
}

// --- Front window -------------------------------------------------------------------------

// A main window that notes the keys it gets.
struct KeyNoter : QWidget {
  std::vector<int> pressed, released;
  void keyPressEvent(QKeyEvent* e) override { pressed.push_back(e->key()); }
  void keyReleaseEvent(QKeyEvent* e) override { released.push_back(e->key()); }
};

std::vector<GUI_KEY_MSG> g_keys;

TEST_F(InstanceTest, TheFrontPassesEscapeAndF1ToF9OnToTheMainWindow) {
  KeyNoter main;
  auto* front = new SimFrontPanel(&main);
  for (int key : {int{Qt::Key_Escape}, int{Qt::Key_F1}, int{Qt::Key_F9}, int{Qt::Key_F10}, int{Qt::Key_A}})
    QTest::keyClick(front, static_cast<Qt::Key>(key));
  EXPECT_EQ(main.pressed, (std::vector<int>{Qt::Key_Escape, Qt::Key_F1, Qt::Key_F9}));
  EXPECT_EQ(main.released, (std::vector<int>{Qt::Key_Escape, Qt::Key_F1, Qt::Key_F9}));
  // In pointer mode (a script plays) the keys still reach the main window.
  front->send(SIM_FRONT_POINTER_MODE, 1, 0);
  QTest::keyClick(front, Qt::Key_F2);
  EXPECT_EQ(main.pressed.back(), Qt::Key_F2);
}

TEST_F(InstanceTest, TheFrontsKeyMessagePassesVirtualKeysToTheLibrary) {
  SimFrontPanel front(nullptr);
  g_keys.clear();
  GUI_KEY_MSG_HOOK old = GUI_SetKeyMsgHook([](const GUI_KEY_MSG* m) { g_keys.push_back(*m); });
  const struct {
    int message, vk, key, pressed;
  } cases[] = {{256, 38, 17, 1}, {257, 38, 17, 0}, {256, 46, 30, 1}, {256, 'A', 'a', 1},
               {256, '7', '7', 1}, {256, 9, 9, 1},  {256, 13, 13, 1}};
  for (const auto& c : cases) {
    g_keys.clear();
    EXPECT_EQ(front.send(SIM_FRONT_KEY, c.message | 0x10000, c.vk), 0);
    ASSERT_EQ(g_keys.size(), 1u) << c.vk;
    EXPECT_EQ(g_keys[0].Key, c.key) << c.vk;
    EXPECT_EQ(g_keys[0].PressedCnt, c.pressed) << c.vk;
  }
  // Alt, an unknown key or another message store nothing; 1036 does nothing.
  g_keys.clear();
  front.send(SIM_FRONT_KEY, 256, 18);
  front.send(SIM_FRONT_KEY, 256, 0x70);
  front.send(SIM_FRONT_KEY, 258, 'A');
  EXPECT_EQ(front.send(SIM_FRONT_NOTHING, 1, 2), 0);
  EXPECT_TRUE(g_keys.empty());
  GUI_SetKeyMsgHook(old);
}

}  // namespace
