// The settings file, the shell utilities and the front-panel areas.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/ini_file.h"
#include "shell/peers.h"
#include "shell/regions.h"
#include "shell/settings.h"
#include "shell/shell_util.h"
#include "simlayer/SIM.h"
#include "support/config_folder.h"

namespace {

// A private configuration folder for each test.
class ConfigFolderTest : public ::testing::Test {
 protected:
  std::string Ini() const { return (root / "Orvant Tools" / "SIM_MX74-2" / "sim_mx74-2.ini").string(); }
  ScopedConfigFolder config{"settings"};
  std::filesystem::path root{config.root()};
  SimHostState state{};
};

using SettingsTest = ConfigFolderTest;

TEST_F(SettingsTest, FirstStartWritesTheDefaultsAndMarksTheRunUnfinished) {
  ASSERT_EQ(SimInitIni(state), 0);
  ASSERT_EQ(SimIniPath(), Ini());
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } expected[] = {
      {"Device", "SlotB", "1"},       {"Device", "ModulB1", "22"},   {"Device", "ModulB4", "41"},
      {"Device", "SlotC", "0"},       {"Device", "ModulC1", "0"},    {"Device", "ModulA1", "21"},
      {"Device", "ModulA4", "1"},     {"Device", "ModulP1", "43"},   {"Device", "ModulP3", "0"},
      {"Device", "Relais", "0"},      {"Device", "CommOpt", "0"},    {"Settings", "Topmost", "0"},
      {"Settings", "ViewIO", "0"},    {"Settings", "LastFileName", ""},
      {"Settings", "WindowPos", "0,1,-1,-1,-1,-1,300,200,769,723"}, {"Settings", "Valid", "0"},
  };
  for (const auto& e : expected)
    EXPECT_EQ(host::IniGetString(Ini(), e.section, e.key, "<missing>"), e.value) << e.section << " " << e.key;
  std::string folder = (root / "Orvant Tools" / "SIM_MX74-2").string();
  EXPECT_EQ(std::string(state.logoPath), folder + "/startuplogo.dat");
  EXPECT_EQ(std::string(state.userDataPath), folder + "/vuserdata.dat");
  EXPECT_EQ(SimOemProjectPath(), folder + "/OEM-Projekt.sdg");

  SimDeviceConfig d{};
  SimReadDeviceSettings(&d);
  const uint8_t modules[16] = {21, 0, 0, 1, 22, 22, 22, 41, 0, 0, 0, 0, 43, 43, 0, 0};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(d.modules[i], modules[i]) << i;
  EXPECT_EQ(d.slotB, 1);
  EXPECT_EQ(SimModuleOrderCode(d), "Z74-K-0000-0000-0000");
}

TEST_F(SettingsTest, AnUnfinishedRunWipesSettingsAndRecentFilesAtTheNextStart) {
  ASSERT_EQ(SimInitIni(state), 0);
  host::IniWriteString(Ini(), "Settings", "LastFileName", "/p/a.sdg");
  host::IniWriteString(Ini(), "Recent File List", "File1", "/p/a.sdg");
  // The run ends before cycle 100: Valid stays 0.
  ASSERT_EQ(SimInitIni(state), 0);
  EXPECT_FALSE(host::IniHasKey(Ini(), "Settings", "LastFileName"));
  EXPECT_FALSE(host::IniHasKey(Ini(), "Recent File List", "File1"));
  EXPECT_EQ(host::IniGetInt(Ini(), "Device", "SlotB", -1), 1);  // the device is kept
  EXPECT_EQ(host::IniGetInt(Ini(), "Settings", "Valid", -1), 0);
}

TEST_F(SettingsTest, AFinishedRunKeepsTheSettings) {
  ASSERT_EQ(SimInitIni(state), 0);
  host::IniWriteString(Ini(), "Settings", "LastFileName", "/p/a.sdg");
  host::IniWriteString(Ini(), "Settings", "StartupLogo", "/p/logo.dat");
  SimMarkSettingsValid();
  ASSERT_EQ(SimInitIni(state), 0);
  EXPECT_EQ(host::IniGetString(Ini(), "Settings", "LastFileName", ""), "/p/a.sdg");
  EXPECT_EQ(std::string(state.logoPath), "/p/logo.dat");
}

// A path longer than its 260-byte field is not cut short (that would name another file): the
// settings folder's default is used and the log says why.
// A second instance started while the first has not yet marked its run (Valid=0 from the
// first's start) meets a running instance, not a crashed one: every key stays. The other
// instance is a second holder of the running mark, as a process of its own would be.
TEST_F(SettingsTest, ASecondInstanceKeepsTheSettingsOfARunningOne) {
  ASSERT_EQ(SimInitIni(state), 0);
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } keys[] = {{"Settings", "Language", "1"},          {"Settings", "LastFileName", "/p/Plant.sdg"},
              {"Settings", "AutoLoad", "0"},          {"Settings", "ViewIO", "1"},
              {"Settings", "DemoTextE", "Demo"},      {"Recent File List", "File1", "/p/Plant.sdg"},
              {"Recent File List", "File2", "/p/b.sdg"}, {"Device", "SlotC", "1"}};
  for (const auto& k : keys) ASSERT_TRUE(host::IniWriteString(Ini(), k.section, k.key, k.value));
  ASSERT_EQ(host::IniGetInt(Ini(), "Settings", "Valid", -1), 0);  // the first is before its mark
  const std::string mark = SimInstanceMarkPath();
  ASSERT_FALSE(mark.empty());
  const int other = ::open(mark.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_SH), 0);
  ASSERT_EQ(SimInitIni(state), 0);
  for (const auto& k : keys)
    EXPECT_EQ(host::IniGetString(Ini(), k.section, k.key, "<missing>"), k.value) << k.section << " " << k.key;
  // Once the other has ended, a mark left at 0 is a crashed run again.
  ::close(other);
  ASSERT_EQ(SimInitIni(state), 0);
  EXPECT_FALSE(host::IniHasKey(Ini(), "Settings", "LastFileName"));
  EXPECT_FALSE(host::IniHasKey(Ini(), "Recent File List", "File1"));
}

TEST_F(SettingsTest, APicturePathTooLongForItsFieldIsRefused) {
  ASSERT_EQ(SimInitIni(state), 0);
  host::IniWriteString(Ini(), "Settings", "StartupLogo", "/p/" + std::string(SIM_PATH_SIZE, 'x'));
  host::IniWriteString(Ini(), "Settings", "VuserData", "/p/user.dat");
  SimMarkSettingsValid();
  SIM_ClearLog();
  ASSERT_EQ(SimInitIni(state), 0);
  EXPECT_EQ(std::string(state.logoPath), SimSettingsFolder() + "/startuplogo.dat");
  EXPECT_EQ(std::string(state.userDataPath), "/p/user.dat");
  EXPECT_NE(SIM_GetLog().find("StartupLogo is too long"), std::string::npos);
}

TEST_F(SettingsTest, SettingsAreReadWithTheirDefaultsAndBounds) {
  ASSERT_EQ(SimInitIni(state), 0);
  SimSettings d = SimReadSettings();
  EXPECT_EQ(d.topmost, 0);
  EXPECT_EQ(d.autoLoad, 1);
  EXPECT_EQ(d.lastFileName, "");
  EXPECT_EQ(d.viewIO, 0);
  EXPECT_EQ(d.viewCOM, 0);
  EXPECT_EQ(d.plantLimit, 10.0);
  struct Case {
    const char* key;
    const char* value;
    int SimSettings::*field;
    int expected;
  } cases[] = {
      {"Topmost", "1", &SimSettings::topmost, 1},   {"Topmost", "5", &SimSettings::topmost, 1},
      {"AutoLoad", "0", &SimSettings::autoLoad, 0}, {"Language", "7", &SimSettings::language, 2},
      {"Language", "-1", &SimSettings::language, 0}, {"ViewIO", "1", &SimSettings::viewIO, 1},
  };
  for (const Case& c : cases) {
    host::IniWriteString(Ini(), "Settings", c.key, c.value);
    EXPECT_EQ(SimReadSettings().*c.field, c.expected) << c.key << "=" << c.value;
  }
  // The communication view only with the I/O views.
  host::IniWriteString(Ini(), "Settings", "ViewCOM", "1");
  EXPECT_EQ(SimReadSettings().viewCOM, 1);
  host::IniWriteString(Ini(), "Settings", "ViewIO", "0");
  EXPECT_EQ(SimReadSettings().viewCOM, 0);
  // The plant limit is read with a point, whatever the locale; no number gives the default.
  for (auto [text, value] : {std::pair{"12.5", 12.5}, std::pair{"1,5", 10.0}, std::pair{"abc", 10.0}}) {
    host::IniWriteString(Ini(), "Settings", "PlantLimit", text);
    EXPECT_EQ(SimReadSettings().plantLimit, value) << text;
  }
  host::IniWriteString(Ini(), "Settings", "LastFileName", "/p/My Project.sdg");
  EXPECT_EQ(SimReadSettings().lastFileName, "/p/My Project.sdg");
}

TEST_F(SettingsTest, TheExitWritesEveryKeyOfTheRun) {
  ASSERT_EQ(SimInitIni(state), 0);
  SimSettings s;
  s.topmost = 1;
  s.autoLoad = 0;
  s.lastFileName = "/p/Plant.sdg";
  s.language = 2;
  s.viewIO = 1;
  s.viewTrend = 1;
  ASSERT_TRUE(SimWriteSettingsAtExit(s, state, true, false));
  const struct {
    const char* key;
    std::string value;
  } expected[] = {{"AutoLoad", "0"}, {"LastFileName", "/p/Plant.sdg"}, {"Valid", "1"},
                  {"Topmost", "1"},  {"StartupLogo", state.logoPath},  {"VuserData", ""},
                  {"Language", "2"}, {"ViewTrend", "1"},              {"ViewIO", "1"}};
  for (const auto& e : expected) EXPECT_EQ(host::IniGetString(Ini(), "Settings", e.key, "<missing>"), e.value) << e.key;
  // What was written is what the next start reads.
  SimSettings back = SimReadSettings();
  EXPECT_EQ(back.topmost, 1);
  EXPECT_EQ(back.autoLoad, 0);
  EXPECT_EQ(back.lastFileName, "/p/Plant.sdg");
  EXPECT_EQ(back.language, 2);
}

// A file that is no settings file is reported once, kept beside and replaced by defaults.
TEST_F(SettingsTest, ACorruptFileIsLoggedKeptAndReplacedByDefaults) {
  ASSERT_EQ(SimInitIni(state), 0);
  static const char kGarbage[] = "\x7F" "ELF\0\x01binary data without lines\n\xFF\xFE";
  const std::string garbage(kGarbage, sizeof kGarbage - 1);
  { std::ofstream(Ini(), std::ios::binary) << garbage; }
  SIM_ShowErrorBoxes(0);
  SIM_ClearLog();
  ASSERT_EQ(SimInitIni(state), 0);
  EXPECT_EQ(host::IniGetInt(Ini(), "Device", "SlotB", -1), 1);
  EXPECT_TRUE(host::IniIsWellFormed(Ini()));
  std::ifstream aside(Ini() + ".corrupt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), garbage);
  const std::string log = SIM_GetLog();
  EXPECT_NE(log.find("is corrupt"), std::string::npos);
  EXPECT_EQ(log.find("is corrupt"), log.rfind("is corrupt"));
  // A sound file with comments and blank lines is no corrupt file.
  { std::ofstream(Ini()) << "; comment\n\n[Settings]\nValid=1\n"; }
  SIM_ClearLog();
  ASSERT_EQ(SimInitIni(state), 0);
  EXPECT_EQ(SIM_GetLog().find("is corrupt"), std::string::npos);
  SIM_ShowErrorBoxes(1);
  SIM_CloseErrorLog();
}

// A file that cannot be used again and again: each copy moved aside keeps a name of its own.
TEST_F(SettingsTest, EveryCorruptFileIsKeptUnderANameOfItsOwn) {
  ASSERT_EQ(SimInitIni(state), 0);
  SIM_ShowErrorBoxes(0);
  const std::string garbage[3] = {std::string("\0first", 6), std::string("\0second", 7), std::string("\0third", 6)};
  for (const std::string& g : garbage) {
    { std::ofstream(Ini(), std::ios::binary) << g; }
    ASSERT_EQ(SimInitIni(state), 0);
  }
  const std::string names[3] = {Ini() + ".corrupt", Ini() + ".corrupt.2", Ini() + ".corrupt.3"};
  for (int i = 0; i < 3; ++i) {
    std::ifstream aside(names[i], std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), garbage[i]) << names[i];
  }
  SIM_ShowErrorBoxes(1);
  SIM_CloseErrorLog();
}

// A [Device] value the device does not offer (left by an earlier build) is replaced by the
// value used, so that the warning comes once, not at every start.
TEST_F(SettingsTest, ARefusedDeviceValueIsWarnedOnce) {
  ASSERT_EQ(SimInitIni(state), 0);
  host::IniWriteInt(Ini(), "Device", "ModulP4", 1);
  host::IniWriteInt(Ini(), "Device", "Anschluss", 12);
  SIM_ShowErrorBoxes(0);
  SIM_ClearLog();
  for (int start = 0; start < 3; ++start) {
    SimDeviceConfig d{};
    SimReadDeviceSettings(&d);
    EXPECT_EQ(d.modules[15], 0);
    EXPECT_EQ(d.anschluss, 0);
  }
  const std::string log = SIM_GetLog();
  ASSERT_NE(log.find("ModulP4=1 (0 is used)"), std::string::npos);
  EXPECT_EQ(log.find("does not offer"), log.rfind("does not offer"));
  EXPECT_NE(log.find("Anschluss=12"), std::string::npos);
  EXPECT_EQ(host::IniGetInt(Ini(), "Device", "ModulP4", -1), 0);
  EXPECT_EQ(host::IniGetInt(Ini(), "Device", "Anschluss", -1), 0);
  EXPECT_EQ(host::IniGetInt(Ini(), "Device", "SlotB", -1), 1);  // the others as they were
  SIM_ShowErrorBoxes(1);
  SIM_CloseErrorLog();
}

// A settings path that is a folder: said so, and the run goes on with the built-in settings;
// the folder is left as it is.
TEST_F(SettingsTest, ASettingsPathThatIsAFolderIsReportedAndLeftAlone) {
  std::filesystem::create_directories(Ini());
  SIM_ShowErrorBoxes(0);
  SIM_ClearLog();
  EXPECT_EQ(SimInitIni(state), 0);
  EXPECT_NE(SIM_GetLog().find("is a folder"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(Ini()));
  EXPECT_TRUE(std::filesystem::is_empty(Ini()));
  const SimSettings s = SimReadSettings();
  EXPECT_EQ(s.autoLoad, 1);
  EXPECT_EQ(s.language, 0);
  SIM_ShowErrorBoxes(1);
  SIM_CloseErrorLog();
}

TEST_F(SettingsTest, ModuleDefaultsFollowTheSlotsAndTheRelays) {
  ASSERT_EQ(SimInitIni(state), 0);
  host::IniDeleteSection(Ini(), "Device");
  host::IniWriteInt(Ini(), "Device", "SlotC", 1);
  host::IniWriteInt(Ini(), "Device", "Relais", 1);
  SimDeviceConfig d{};
  SimReadDeviceSettings(&d);
  const uint8_t modules[16] = {21, 0, 0, 1, 0, 0, 0, 0, 22, 22, 22, 41, 43, 43, 43, 43};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(d.modules[i], modules[i]) << i;
  d.modules[14] = 1;   // U
  d.modules[1] = 50;   // D
  d.modules[5] = 77;   // unknown
  EXPECT_EQ(SimModuleOrderCode(d), "Z74-K-U0D0-0?00-0000");
}

TEST_F(SettingsTest, DemoTextsTakeTheDisplaysUmlautCodes) {
  ASSERT_EQ(SimInitIni(state), 0);
  host::IniWriteString(Ini(), "Settings", "DemoTextG", "Pr\xFC" "fung \xE4\xF6");
  EXPECT_EQ(SimReadDemoText(0, ""), "Pr\xF5" "fung \xE1\xEF");
  EXPECT_EQ(SimReadDemoText(2, "none"), "none");
}

TEST_F(SettingsTest, AFolderThatCannotBeMadeIsReported) {
  setenv("XDG_CONFIG_HOME", "/proc/no-such-place", 1);
  EXPECT_EQ(SimInitIni(state), 1);
}

// --- Recent files --------------------------------------------------------------------------
using RecentTest = ConfigFolderTest;

TEST_F(RecentTest, AddingAnEntryThatIsThirdPutsItFirst) {
  std::string ini = (root / "r.ini").string();
  for (int i = 1; i <= 4; ++i) host::IniWriteString(ini, "Recent File List", "File" + std::to_string(i), "/p/f" + std::to_string(i) + ".sdg");
  SimRecentLoad(ini);
  SimRecentAdd("/p/f3.sdg");
  const char* order[] = {"/p/f3.sdg", "/p/f1.sdg", "/p/f2.sdg", "/p/f4.sdg"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(SimRecentGet(SIM_RECENT_FIRST_ID + i), order[i]);
  EXPECT_EQ(host::IniGetString(ini, "Recent File List", "File1", ""), "/p/f3.sdg");
  // A new path pushes the last out.
  SimRecentAdd("/q/new.sdg");
  EXPECT_EQ(SimRecentGet(SIM_RECENT_FIRST_ID), "/q/new.sdg");
  EXPECT_EQ(SimRecentGet(SIM_RECENT_FIRST_ID + 3), "/p/f2.sdg");
  EXPECT_EQ(SimRecentGet(30012), "");
}

TEST_F(RecentTest, RemovingMovesTheRestUpAndDeletesEmptyKeys) {
  std::string ini = (root / "r.ini").string();
  host::IniWriteString(ini, "Recent File List", "File1", "/p/a.sdg");
  host::IniWriteString(ini, "Recent File List", "File2", "/p/b.sdg");
  SimRecentLoad(ini);
  SimRecentRemove(SIM_RECENT_FIRST_ID);
  SimRecentRemove(29999);
  SimRecentAdd("");
  EXPECT_EQ(host::IniGetString(ini, "Recent File List", "File1", ""), "/p/b.sdg");
  EXPECT_FALSE(host::IniHasKey(ini, "Recent File List", "File2"));
  std::vector<SimRecentMenuItem> menu = SimRecentMenu();
  ASSERT_EQ(menu.size(), 1u);
  EXPECT_EQ(menu[0].id, SIM_RECENT_FIRST_ID);
  EXPECT_EQ(menu[0].text, "&1 /P/B.SDG");
  SimRecentRemove(SIM_RECENT_FIRST_ID);
  EXPECT_TRUE(SimRecentMenu().empty());
}

// --- Command line and texts ----------------------------------------------------------------
// Option names match in any case; values (paths) keep the case they were typed in.
TEST(ShellUtil, OptionsAreFoundOnceAndBlankedOut) {
  std::string line = SimFrameCommandLine("/INPFILE=/tmp/Scripts/A.txt /Restart /x=42");
  EXPECT_EQ(line, " /INPFILE=/tmp/Scripts/A.txt /Restart /x=42 ");
  std::string value;
  EXPECT_EQ(SimFindOption(line, " /inpfile=", &value), 1);
  EXPECT_EQ(value, "/tmp/Scripts/A.txt");
  EXPECT_EQ(SimFindOption(line, " /inpfile=", &value), 0);
  EXPECT_EQ(value, "");
  EXPECT_EQ(SimFindOption(line, " /restart ", nullptr), 1);
  EXPECT_EQ(SimFindOption(line, " /x=", nullptr), 42);
  EXPECT_EQ(line.find_first_not_of(' '), std::string::npos);
  EXPECT_EQ(SimFrameCommandLine(std::string(400, 'a')).size(), 255u);
}

// The characters before the point, a minus sign among them, take from the digits.
TEST(ShellUtil, FormatValueKeepsTheNumberOfDigits) {
  const struct {
    double value;
    int digits;
    const char* text;
  } cases[] = {{1.5, 4, "1.500"},       {250, 4, "250.0"},          {12345, 4, "12345."}, {-1.5, 4, "-1.50"},
               {0, 4, "0.000"},         {12.5, 6, "12.5000"},       {1234567, 6, "1234567."},
               {-12.5, 6, "-12.500"},   {-1234567, 6, "-1234567."}, {1.5e37, 6, nullptr}};
  for (const auto& c : cases) {
    std::string t = SimFormatValue(c.value, c.digits);
    if (c.text) EXPECT_EQ(t, c.text) << c.value;
    else EXPECT_EQ(t.back(), '.');
  }
}

TEST(ShellUtil, PathsAndCommas) {
  std::string folder, name;
  SimSplitPath("/home/u/p.sdg", &folder, &name);
  EXPECT_EQ(folder, "/home/u/");
  EXPECT_EQ(name, "p.sdg");
  SimSplitPath("p.sdg", &folder, &name);
  EXPECT_EQ(folder, "");
  EXPECT_EQ(name, "p.sdg");
  EXPECT_EQ(SimCommaToPoint("1,5;2,25"), "1.5;2.25");
}

TEST(ShellUtil, WindowPlacementNeedsTenUsableNumbers) {
  SimWindowPlacement p;
  ASSERT_TRUE(SimParseWindowPlacement("0,1,-1,-1,-1,-1,300,200,769,723", &p));
  EXPECT_EQ(p.left, 300);
  EXPECT_EQ(p.bottom, 723);
  EXPECT_EQ(SimFormatWindowPlacement(p), "0,1,-1,-1,-1,-1,300,200,769,723");
  const char* bad[] = {"0,1,-1,-1,-1,-1,300,200,769",       // nine numbers
                       "0,1,-1,-1,-1,-1,300,769,200,723",   // right left of left
                       "0,1,-1,-1,-1,-1,300,200,769,723,5", "0,1,a,-1,-1,-1,300,200,769,723", ""};
  for (const char* text : bad) EXPECT_FALSE(SimParseWindowPlacement(text, &p)) << text;
}

TEST(ShellUtil, DateAndTimeTexts) {
  std::string both = SimFormatDateTime(-1, true, true);
  ASSERT_EQ(both.size(), 19u);
  EXPECT_EQ(both[2], '.');
  EXPECT_EQ(both[10], ' ');
  EXPECT_EQ(both[13], ':');
  EXPECT_EQ(SimFormatDateTime(0, false, true).size(), 8u);
  EXPECT_EQ(SimFormatDateTime(0, false, false), "");
}

// --- Front-panel areas ---------------------------------------------------------------------
constexpr uint32_t kRed = 0xFF0000;

struct Bitmap {
  int w, h;
  std::vector<uint32_t> px;
  Bitmap(int w_, int h_) : w(w_), h(h_), px(static_cast<size_t>(w_ * h_), kRed) {}
  void Fill(int x0, int y0, int x1, int y1, uint32_t c = 0x202020) {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) px[static_cast<size_t>(y * w + x)] = c;
  }
  int Regions(int max = 128) { return SIM_GetRegions(px.data(), w, h, w, 0xFFFF0000, max); }
};

TEST(Regions, AreasAreNumberedByTopThenLeft) {
  Bitmap b(40, 20);
  b.Fill(25, 2, 30, 5);   // equal tops: numbered left to right
  b.Fill(5, 2, 10, 5);
  b.Fill(0, 0, 2, 0);     // topmost
  b.Fill(12, 10, 14, 12);
  ASSERT_EQ(b.Regions(), 4);
  const int boxes[4][4] = {{0, 0, 2, 0}, {5, 2, 10, 5}, {25, 2, 30, 5}, {12, 10, 14, 12}};
  for (int i = 0; i < 4; ++i) {
    int l, t, r, bt;
    ASSERT_EQ(SIM_GetRegionRect(i, &l, &t, &r, &bt), 0);
    EXPECT_EQ(l, boxes[i][0]) << i;
    EXPECT_EQ(t, boxes[i][1]) << i;
    EXPECT_EQ(r, boxes[i][2]) << i;
    EXPECT_EQ(bt, boxes[i][3]) << i;
  }
  int l, t, r, bt;
  EXPECT_EQ(SIM_GetRegionRect(4, &l, &t, &r, &bt), 1);
  SIM_FreeRegions();
}

TEST(Regions, ShapesJoinAcrossRowsAndDiagonallyButNotAcrossAGap) {
  Bitmap b(20, 10);
  // A "U": two legs joined at the bottom make one area although they start apart.
  b.Fill(0, 0, 1, 5);
  b.Fill(6, 0, 7, 5);
  b.Fill(0, 6, 7, 6);
  // Diagonal neighbours join; pixels only side by side across a one-pixel gap do not.
  b.Fill(10, 0, 10, 0);
  b.Fill(11, 1, 11, 1);
  b.Fill(14, 0, 14, 0);
  b.Fill(16, 0, 16, 0);
  ASSERT_EQ(b.Regions(), 4);
  const SimRegion* u = SIM_GetRegion(0);
  ASSERT_NE(u, nullptr);
  EXPECT_EQ(u->lines.size(), 13u);
  EXPECT_EQ(u->right, 7);
  // Colours compare in their low 24 bits.
  Bitmap c(4, 1);
  c.px = {0x12FF0000, 0x00FF0000, 0x00FF0001, 0xFFFF0000};
  EXPECT_EQ(c.Regions(), 1);
  SIM_FreeRegions();
}

TEST(Regions, MoreAreasThanAllowedGiveNone) {
  Bitmap b(300, 3);
  for (int i = 0; i < 129; ++i) b.Fill(i * 2, 1, i * 2, 1);
  std::vector<std::string> errors;
  static std::vector<std::string>* sink;
  sink = &errors;
  SIM_SetRegionErrorHandler([](const char* t) { sink->push_back(t); });
  EXPECT_EQ(b.Regions(128), 0);
  EXPECT_EQ(SIM_GetNumRegions(), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Error in SIM_GetRegions: Bitmap contains too much buttons!");
  EXPECT_EQ(b.Regions(129), 129);
  // Exactly the maximum is accepted, counted once the rows have merged: tall areas side by
  // side, and combs whose teeth join further down.
  Bitmap tall(20, 6);
  for (int i = 0; i < 5; ++i) tall.Fill(i * 3, 0, i * 3 + 1, 5);
  EXPECT_EQ(tall.Regions(5), 5);
  Bitmap comb(20, 6);
  for (int i = 0; i < 6; ++i) comb.Fill(i * 3, 0, i * 3, 4);
  comb.Fill(0, 5, 15, 5);
  EXPECT_EQ(comb.Regions(1), 1);
  EXPECT_EQ(errors.size(), 1u);
  SIM_SetRegionErrorHandler(nullptr);
  SIM_FreeRegions();
  EXPECT_EQ(SIM_GetRegions(nullptr, 0, 0, 0, kRed, 128), 0);
}

}  // namespace

namespace {

TEST_F(SettingsTest, SplashTimeDefaultsToTwoSeconds) {
  EXPECT_EQ(SimSplashTime(), 2000);
  ASSERT_EQ(SimInitIni(state), 0);
  host::IniWriteInt(SimSettingsFolder() + "/sim74-2.ini", "COMPATIBILITY", "QM2911", 0);
  EXPECT_EQ(SimSplashTime(), 0);
}

}  // namespace
