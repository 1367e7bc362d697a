// Project files: the stored layout, load and save, the older layout, damaged and foreign
// files, the atomic save, the restart project, the logo and user-data files with the paths a
// project brings, and the EEPROM export.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "host/ini_file.h"
#include "shell/demo_project.h"
#include "shell/project.h"
#include "shell/settings.h"
#include "simlayer/SIM.h"
#include "support/config_folder.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
void WriteFile(const fs::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}
uint32_t U32(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 | static_cast<uint32_t>(b[at + 2]) << 16 |
         static_cast<uint32_t>(b[at + 3]) << 24;
}
void PutU32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void AppendU32(Bytes& b, uint32_t v) {
  b.resize(b.size() + 4);
  PutU32(b, b.size() - 4, v);
}
Bytes Block(uint32_t dataBytes, uint8_t fill) {
  Bytes b(4 + dataBytes, fill);
  PutU32(b, 0, 4 + dataBytes);
  return b;
}

constexpr size_t kLogoAt = 0x2413A;  // the logo block of a project

// A picture buffer holding the block (Bytes(4, 0): none).
void SetPicture(uint8_t* buffer, uint32_t capacity, const Bytes& block) {
  std::memset(buffer, 0xFF, capacity);
  std::memcpy(buffer, block.data(), block.size());
}
void ClearPictures() {
  SetPicture(SimState().logo, SIM_LOGO_CAPACITY, Bytes(4, 0));
  SetPicture(SimState().userData, SIM_USER_DATA_CAPACITY, Bytes(4, 0));
}
uint32_t LogoLength() { return U32(Bytes(SimState().logo, SimState().logo + 4), 0); }

class ProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = config.emplace("simproject").root();
    SimHostState& s = SimState();
    std::memset(&s, 0, sizeof s);
    SimAttachProjectBuffers(s);
    ASSERT_EQ(SimInitIni(s), 0);
    SimTheSettings() = SimReadSettings();
    SimLoadDemoProject();
    SimReadPictureFiles();
    SIM_ClearLog();
  }
  void TearDown() override {
    SimSetFileWriter(nullptr);
    config.reset();
  }
  std::string file(const char* name) const { return (root / name).string(); }
  // A project of the device: the demo's engineering with a mark, and a data image.
  void makeProject() {
    SimHostState& s = SimState();
    std::memcpy(s.engineering, kSimDemoEngineering, SIM_ENGINEERING_SIZE);
    s.engineering[0x1000] = 0xA5;
    for (unsigned i = 0; i < SIM_DATA_SIZE; ++i) s.data[i] = static_cast<uint8_t>(i * 7);
    s.device.ksx = 3;
    s.device.modules[15] = 12;
  }
  fs::path root;
  std::optional<ScopedConfigFolder> config;  // XDG_CONFIG_HOME while the test runs
};

// --- Layout, load and save ---------------------------------------------------------------------

TEST_F(ProjectTest, AProjectWithoutPicturesHasTheStoredLayoutAndLoadsAndSavesBackTheSame) {
  makeProject();
  const std::string a = file("Plant A.sdg"), b = file("b.sdg");
  ASSERT_EQ(SimSaveProject(a.c_str()), 1);
  const Bytes f = ReadFile(a);
  ASSERT_EQ(f.size(), kLogoAt + 4 + 4 + 260 + 4);
  EXPECT_EQ(U32(f, 0), f.size());
  EXPECT_EQ(U32(f, 4), 0x20000u);
  EXPECT_EQ(f[8 + 0x1000], 0xA5);
  EXPECT_EQ(U32(f, 0x20008), 0x4000u);
  EXPECT_EQ(f[0x2000C + 1], 7);
  EXPECT_EQ(f[0x2000C + SIM_DATA_SIZE], 0) << "the data image is zero padded";
  EXPECT_EQ(U32(f, 0x2400C), 34u);
  EXPECT_EQ(f[0x24010], 3) << "ksx, the first u16 of the device configuration";
  EXPECT_EQ(f[0x24010 + 18 + 15], 12) << "module P4";
  EXPECT_EQ(U32(f, 0x24032), 260u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[0x24036])), SimState().logoPath);
  EXPECT_EQ(U32(f, kLogoAt), 0u);
  EXPECT_EQ(U32(f, kLogoAt + 4), 260u);
  EXPECT_EQ(U32(f, f.size() - 4), 0u);

  SetPicture(SimState().logo, SIM_LOGO_CAPACITY, Block(10, 1));
  SimState().reloadRequest = 0;
  SimState().changed = 1;
  ASSERT_EQ(SimLoadProject(a.c_str()), SIM_PROJECT_LOADED);
  const SimHostState& s = SimState();
  EXPECT_EQ(s.engineering[0x1000], 0xA5);
  EXPECT_EQ(s.engineeringRef[0x1000], 0xA5);
  EXPECT_EQ(s.dataRef[1], 7);
  EXPECT_EQ(s.device.ksx, 3);
  EXPECT_EQ(s.reloadRequest, 1);
  EXPECT_EQ(s.changed, 0);
  EXPECT_STREQ(s.projectName, a.c_str()) << "the name keeps its case";
  EXPECT_TRUE(SimProjectHasName());
  EXPECT_EQ(SimProjectCompanionName(), file("Plant A.dat"));
  EXPECT_EQ(LogoLength(), 0u);
  for (uint32_t i = 4; i < SIM_LOGO_CAPACITY; ++i) ASSERT_EQ(s.logo[i], 0xFF) << i;
  uint32_t n = 1;
  EXPECT_EQ(SimLogoData(&n), nullptr);
  EXPECT_EQ(n, 0u);
  EXPECT_FALSE(SimProjectChanged());

  ASSERT_EQ(SimSaveProject(b.c_str()), 1);
  EXPECT_EQ(ReadFile(b), f);
}

TEST_F(ProjectTest, LogoAndUserDataTravelWithTheProject) {
  makeProject();
  const Bytes logo = Block(300, 0x11), user = Block(5000, 0x22);
  SetPicture(SimState().logo, SIM_LOGO_CAPACITY, logo);
  SetPicture(SimState().userData, SIM_USER_DATA_CAPACITY, user);
  std::strcpy(SimState().logoPath, "/x/Logo One.dat");
  const std::string a = file("pictures.sdg");
  ASSERT_EQ(SimSaveProject(a.c_str()), 1);
  EXPECT_EQ(ReadFile(a).size(), kLogoAt + logo.size() + 264 + user.size());

  int handed = 0;
  static int* counter;
  counter = &handed;
  SimSetPicturesChangedHook([] { ++*counter; });
  SimLoadDemoProject();
  ClearPictures();
  ASSERT_EQ(SimLoadProject(a.c_str()), SIM_PROJECT_LOADED);
  SimSetPicturesChangedHook(nullptr);
  EXPECT_EQ(handed, 1) << "the firmware is handed the pictures after the load";
  uint32_t n = 0;
  const uint8_t* p = SimLogoData(&n);
  ASSERT_EQ(n, 300u);
  EXPECT_EQ(p[0], 0x11);
  EXPECT_EQ(SimState().logo[4 + 300], 0xFF);
  p = SimUserData(&n);
  ASSERT_EQ(n, 5000u);
  EXPECT_EQ(p[4999], 0x22);
  EXPECT_STREQ(SimState().logoPath, "/x/Logo One.dat");
}

// --- Damaged and foreign files ---------------------------------------------------------------

class DamagedProject : public ProjectTest {
 protected:
  void SetUp() override {
    ProjectTest::SetUp();
    makeProject();
    SetPicture(SimState().logo, SIM_LOGO_CAPACITY, Block(100, 0x33));
    SetPicture(SimState().userData, SIM_USER_DATA_CAPACITY, Block(200, 0x44));
    std::strcpy(SimState().userDataPath, "/p/user.dat");
    ASSERT_EQ(SimSaveProject(file("good.sdg").c_str()), 1);
    good = ReadFile(file("good.sdg"));
    prepare();
  }
  // The state before a load: the demo with a device configuration and paths of its own.
  void prepare() {
    SimLoadDemoProject();
    ClearPictures();
    SimState().device.slotC = 9;
    std::strcpy(SimState().logoPath, "/before/logo.dat");
    std::strcpy(SimState().userDataPath, "/before/user.dat");
    SimTheSettings().lastFileName = "/p/last.sdg";
  }
  int load(const Bytes& bytes) {
    WriteFile(file("damaged.sdg"), bytes);
    return SimLoadProject(file("damaged.sdg").c_str());
  }
  static bool demoLoaded() {
    return SimProjectIsDemo() && std::memcmp(SimState().engineering, kSimDemoEngineering, SIM_ENGINEERING_SIZE) == 0;
  }
  Bytes good;
};

TEST_F(DamagedProject, AnotherFirmwaresProjectLeavesTheDemoAndClearsTheLastFile) {
  for (size_t at : {14u, 16u, 18u, 19u, 20u}) {
    SCOPED_TRACE(at);
    Bytes b = good;
    b[8 + at] ^= 0x40;
    SimTheSettings().lastFileName = "/p/last.sdg";
    SimState().reloadRequest = 0;
    EXPECT_EQ(load(b), SIM_PROJECT_OTHER_FIRMWARE);
    EXPECT_TRUE(demoLoaded());
    EXPECT_STREQ(SimState().projectName, "demo");
    EXPECT_EQ(SimTheSettings().lastFileName, "");
    EXPECT_EQ(SimState().reloadRequest, 1);
  }
  // Byte 21 (one more identification byte) is not compared.
  Bytes b = good;
  b[8 + 21] ^= 0x40;
  EXPECT_EQ(load(b), SIM_PROJECT_LOADED);
}

// Before both images are read nothing is taken; after that each whole section is taken and
// the first fault ends the load, the rest keeping what it had.
TEST_F(DamagedProject, EachFaultLeavesEitherTheDemoOrEveryWholeSectionBeforeIt) {
  struct Case {
    const char* what;
    Bytes bytes;
    int result;
    bool device, logo, userPath, userData;
  };
  auto cut = [&](size_t n) {
    Bytes b(good.begin(), good.begin() + static_cast<long>(n));
    PutU32(b, 0, static_cast<uint32_t>(n));
    return b;
  };
  auto with = [&](size_t at, uint32_t v) {
    Bytes b = good;
    PutU32(b, at, v);
    return b;
  };
  const Case cases[] = {
      {"empty file", {}, 0, false, false, false, false},
      {"three bytes", {1, 2, 3}, 0, false, false, false, false},
      {"cut in the engineering", cut(0x10000), 0, false, false, false, false},
      {"cut in the data image", cut(0x20010), 0, false, false, false, false},
      {"wrong engineering length", with(4, 0x1FFFF), 0, false, false, false, false},
      {"wrong data length", with(0x20008, 0x3FFF), 0, false, false, false, false},
      {"cut right after the data image", cut(0x2400C), 1, false, false, false, false},
      {"wrong device length", with(0x2400C, 33), 1, false, false, false, false},
      {"cut in the logo block", cut(kLogoAt + 50), 1, true, false, false, false},
      {"logo length 2", with(kLogoAt, 2), 1, true, false, false, false},
      {"cut in the user data", cut(good.size() - 10), 1, true, true, true, false},
      {"whole", good, 1, true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    prepare();
    const int result = load(c.bytes);
    EXPECT_EQ(result, c.result);
    const SimHostState& s = SimState();
    if (c.result == 1) {
      EXPECT_EQ(s.engineering[0x1000], 0xA5);
      EXPECT_EQ(s.data[1], 7);
      EXPECT_FALSE(SimProjectIsDemo());
    } else {
      EXPECT_TRUE(demoLoaded());
      EXPECT_EQ(SimTheSettings().lastFileName, "");
    }
    EXPECT_EQ(s.device.ksx, c.device ? 3 : 0);
    EXPECT_EQ(s.device.slotC, c.device ? 0 : (c.result == 1 ? 9 : 0)) << "the previous configuration stays";
    uint32_t n = 0;
    SimLogoData(&n);
    EXPECT_EQ(n, c.logo ? 100u : 0u);
    EXPECT_EQ(std::string(s.userDataPath) == "/p/user.dat", c.userPath);
    SimUserData(&n);
    EXPECT_EQ(n, c.userData ? 200u : 0u);
  }
}

// A block longer than its buffer is skipped, and the user data after it still loads.
TEST_F(DamagedProject, ALogoLongerThanItsBufferIsSkipped) {
  Bytes b(good.begin(), good.begin() + kLogoAt);
  const Bytes big = Block(SIM_LOGO_CAPACITY, 0x55);  // four bytes too many
  b.insert(b.end(), big.begin(), big.end());
  b.insert(b.end(), good.begin() + kLogoAt + 104, good.end());
  PutU32(b, 0, static_cast<uint32_t>(b.size()));
  EXPECT_EQ(load(b), SIM_PROJECT_LOADED);
  uint32_t n = 1;
  EXPECT_EQ(SimLogoData(&n), nullptr);
  EXPECT_EQ(n, 0u);
  SimUserData(&n);
  EXPECT_EQ(n, 200u);
  EXPECT_STREQ(SimState().userDataPath, "/p/user.dat");
}

// A path field without its end is no path: the path in effect stays, and nothing is read
// beyond the field.
TEST_F(DamagedProject, APathFieldWithoutItsEndKeepsThePathInEffect) {
  Bytes b = good;
  std::memset(&b[0x24036], 'A', 260);
  const std::string before = SimState().logoPath;
  EXPECT_EQ(load(b), SIM_PROJECT_LOADED);
  EXPECT_EQ(std::string(SimState().logoPath), before);
  uint32_t n = 0;
  SimLogoData(&n);
  EXPECT_EQ(n, 100u);
}

TEST_F(DamagedProject, OlderLayoutIsReadWhenTheFirstWordIsNotTheSize) {
  Bytes old(good.begin() + 8, good.begin() + 8 + 0x20000);
  old.insert(old.end(), good.begin() + 0x2000C, good.begin() + 0x2000C + 0x4000);
  for (float f : {2.0f, 7.5f, 80.0f, 0.25f}) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    AppendU32(old, u);
  }
  const size_t trendAt = old.size();
  old.resize(SIM_OLD_PROJECT_SIZE, 0);
  std::memcpy(&old[trendAt], "Sbsu", 4);
  old[trendAt + SIM_OLD_TREND_SETTINGS_LEN] = 0x77;
  ASSERT_NE(U32(old, 0), old.size());
  EXPECT_EQ(load(old), SIM_PROJECT_LOADED);
  const SimHostState& s = SimState();
  EXPECT_EQ(s.engineering[0x1000], 0xA5);
  EXPECT_EQ(s.plantSettings[0], 2.0f);
  EXPECT_EQ(s.plantSettings[2], 80.0f);
  EXPECT_EQ(s.plantSetting, 0.25f);
  EXPECT_TRUE(SimOldProjectTrendBlocks().loaded);
  EXPECT_TRUE(SimOldProjectTrendBlocks().settingsValid);
  EXPECT_EQ(SimOldProjectTrendBlocks().channels[0], 0x77);
  EXPECT_EQ(std::string(s.projectName), file("damaged.sdg"));

  // Another size, or another firmware: the demo.
  Bytes longer = old;
  longer.push_back(0);
  EXPECT_EQ(load(longer), SIM_PROJECT_FAILED);
  EXPECT_TRUE(demoLoaded());
  EXPECT_EQ(SimState().plantSettings[1], 5.0f);
  Bytes foreign = old;
  foreign[14] = 'X';
  WriteFile(file("old.sdg"), foreign);
  EXPECT_FALSE(SimLoadProjectOld(file("old.sdg").c_str()));
  EXPECT_TRUE(demoLoaded());
  EXPECT_EQ(SimState().plantSetting, -32000.0f);
}

TEST_F(ProjectTest, PathsThatCannotBeOpenedOrKeptLoadTheDemo) {
  const std::string tooLong = "/" + std::string(SIM_PATH_SIZE, 'a') + ".sdg";
  for (const std::string& path : {std::string(), file("missing.sdg"), tooLong, root.string()}) {
    SCOPED_TRACE(path);
    SimTheSettings().lastFileName = "x";
    EXPECT_EQ(SimLoadProject(path.c_str()), SIM_PROJECT_FAILED);
    EXPECT_TRUE(SimProjectIsDemo());
    EXPECT_EQ(SimTheSettings().lastFileName, "");
  }
  EXPECT_NE(SIM_GetLog().find("too long"), std::string::npos);
  EXPECT_EQ(SimLoadProject(nullptr), SIM_PROJECT_LOADED);
  EXPECT_STREQ(SimState().projectName, "demo");
}

// --- Saving ------------------------------------------------------------------------------------

// A writer that takes only the first bytes, as a full disk would.
size_t ShortWrite(const void* data, size_t size, std::FILE* f) {
  return std::fwrite(data, 1, size < 1000 ? size : 1000, f);
}

TEST_F(ProjectTest, AFailedSaveLeavesTheOldFileAsItWas) {
  makeProject();
  const std::string a = file("keep.sdg");
  ASSERT_EQ(SimSaveProject(a.c_str()), 1);
  const Bytes before = ReadFile(a);
  SimState().engineering[0x1000] = 0x5A;
  SimSetFileWriter(ShortWrite);
  EXPECT_EQ(SimSaveProject(a.c_str()), 0);
  EXPECT_EQ(SimWriteEepromFile(a.c_str()), 0);
  SimSetFileWriter(nullptr);
  EXPECT_EQ(ReadFile(a), before);
  EXPECT_FALSE(fs::exists(a + ".tmp"));
  // A folder that cannot take the file.
  EXPECT_EQ(SimSaveProject((root / "no" / "such.sdg").c_str()), 0);
  EXPECT_EQ(SimSaveProject(""), 0);
}

// Every whole-file write of a project goes through a temporary file beside the target: a
// FIFO placed at that name is refused at once (no wait for a reader) and left as it is, a
// folder in the target's place is no file, and the old file stays whole either way.
TEST_F(ProjectTest, WritesRefuseWhatIsNoRegularFileWithoutWaiting) {
  makeProject();
  struct Write {
    const char* what;
    int (*save)(const char* path);
  } writes[] = {{"project", SimSaveProject}, {"EEPROM export", SimWriteEepromFile}};
  for (const Write& w : writes) {
    SCOPED_TRACE(w.what);
    const std::string a = file("held.sdg");
    fs::remove_all(a);
    fs::remove_all(a + ".tmp");
    ASSERT_EQ(w.save(a.c_str()), 1);
    const Bytes before = ReadFile(a);
    ASSERT_EQ(mkfifo((a + ".tmp").c_str(), 0600), 0);
    EXPECT_EQ(w.save(a.c_str()), 0);
    EXPECT_TRUE(fs::is_fifo(a + ".tmp"));
    EXPECT_EQ(ReadFile(a), before);
    fs::remove(a + ".tmp");
    fs::remove(a);
    fs::create_directory(a);
    EXPECT_EQ(w.save(a.c_str()), 0);
    EXPECT_TRUE(fs::is_directory(a));
    EXPECT_FALSE(fs::exists(a + ".tmp"));
    fs::remove_all(a);
  }
  // The restart project in a settings folder whose name for it is taken.
  fs::create_directory(SimRestartProjectPath() + ".tmp");
  EXPECT_EQ(SimSaveRestartProject(), 0);
  EXPECT_FALSE(fs::exists(SimRestartProjectPath()));
  EXPECT_NE(SIM_GetLog().find("Restart.sdg"), std::string::npos);
  fs::remove_all(SimRestartProjectPath() + ".tmp");
}

TEST_F(ProjectTest, TheEepromExportIsTheIdentificationAndTheImageFrom256) {
  makeProject();
  SimState().engineering[256] = 0x99;
  SimState().engineering[SIM_ENGINEERING_SIZE - 2] = 0x98;
  SimState().engineering[SIM_ENGINEERING_SIZE - 1] = 0x97;
  const std::string e = file("device.ebin");
  ASSERT_EQ(SimWriteEepromFile(e.c_str()), 1);
  const Bytes f = ReadFile(e);
  ASSERT_EQ(f.size(), 8u + 130815u);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 8), (Bytes{'1', '2', '3', '0', '-', 'A', 4, 2}));
  EXPECT_EQ(f[8], 0x99);
  EXPECT_EQ(f.back(), 0x98) << "the image's last byte is not written";
}

TEST_F(ProjectTest, TheProjectCountsAsChangedUntilSaved) {
  makeProject();
  SimMarkProjectSaved();
  EXPECT_FALSE(SimProjectChanged());
  SimState().data[SIM_DATA_SIZE - 1] ^= 1;
  EXPECT_TRUE(SimProjectChanged());
  SimMarkProjectSaved();
  SimState().changed = 1;
  EXPECT_TRUE(SimProjectChanged());
  SimMarkProjectSaved();
  EXPECT_FALSE(SimProjectChanged());
  EXPECT_FALSE(SimSetProjectName(std::string(SIM_PATH_SIZE, 'n')));
  EXPECT_TRUE(SimSetProjectName(""));
  EXPECT_FALSE(SimProjectHasName());
}

// --- Restart project -------------------------------------------------------------------------

TEST_F(ProjectTest, TheRestartProjectIsLoadedFromTheSettingsFolderAndDeleted) {
  makeProject();
  ASSERT_EQ(SimSaveRestartProject(), 1);
  const std::string restart = SimRestartProjectPath();
  EXPECT_EQ(restart, SimSettingsFolder() + "/Restart.sdg");
  EXPECT_EQ(restart.rfind(root.string(), 0), 0u);
  ASSERT_TRUE(fs::exists(restart));
  host::IniWriteString(SimIniPath(), "Settings", "LastFileName", "/p/Plant.sdg");

  SimLoadDemoProject();
  EXPECT_EQ(SimLoadRestartProject(), SIM_PROJECT_LOADED);
  EXPECT_EQ(SimState().engineering[0x1000], 0xA5);
  EXPECT_FALSE(fs::exists(restart));
  EXPECT_STREQ(SimState().projectName, "/p/Plant.sdg") << "the project the user had open";
  EXPECT_EQ(SimTheSettings().lastFileName, "/p/Plant.sdg");
  EXPECT_TRUE(SimProjectChanged()) << "a restart project is not the user's file";

  // Without a restart project the demo runs, unnamed, so that Save cannot put it over the
  // user's project.
  EXPECT_EQ(SimLoadRestartProject(), SIM_PROJECT_FAILED);
  EXPECT_TRUE(SimProjectIsDemo());
  EXPECT_FALSE(SimProjectHasName());
  EXPECT_EQ(SimTheSettings().lastFileName, "/p/Plant.sdg");
}

// --- Logo and user-data files ------------------------------------------------------------------

std::string Folder() { return SimSettingsFolder(); }

TEST_F(ProjectTest, TheStartReadsAPictureFileOnlyWhenItsLengthWordFits) {
  const std::string logoFile = Folder() + "/startuplogo.dat";
  struct Case {
    const char* what;
    Bytes content;
    uint32_t length;  // the length word kept
  };
  Bytes longWord = Block(20, 1);
  PutU32(longWord, 0, 100);
  const Case cases[] = {{"a logo", Block(20, 1), 24},
                        {"length word only", Block(0, 0), 4},
                        {"length 0", Bytes(4, 0), 0},
                        {"length 2", {2, 0, 0, 0, 9, 9}, 0},
                        {"length beyond the file", longWord, 0},
                        {"two bytes", {1, 2}, 0},
                        {"beyond the buffer", Block(SIM_LOGO_CAPACITY, 2), 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(logoFile, c.content);
    SimReadPictureFiles();
    EXPECT_EQ(LogoLength(), c.length);
    uint32_t n = 99;
    SimLogoData(&n);
    EXPECT_EQ(n, c.length > 4 ? c.length - 4 : 0u);
  }
}

TEST_F(ProjectTest, AtExitTheSettingsFilesTakeTheDataOrAreDeleted) {
  const std::string logoFile = Folder() + "/startuplogo.dat", userFile = Folder() + "/vuserdata.dat";
  WriteFile(userFile, Block(8, 3));
  SimReadPictureFiles();
  SetPicture(SimState().logo, SIM_LOGO_CAPACITY, Block(12, 4));
  SetPicture(SimState().userData, SIM_USER_DATA_CAPACITY, Bytes(4, 0));
  bool haveLogo = false, haveUser = true;
  SimWritePictureFiles(nullptr, &haveLogo, &haveUser);
  EXPECT_TRUE(haveLogo);
  EXPECT_FALSE(haveUser);
  EXPECT_EQ(ReadFile(logoFile), Block(12, 4));
  EXPECT_FALSE(fs::exists(userFile));
}

// A path that a project brought is the user's file: it is neither deleted nor overwritten
// at exit unless the user agrees; else the data go to the settings folder's file.
TEST_F(ProjectTest, AFileThatAProjectNamesIsChangedAtExitOnlyWhenTheUserAgrees) {
  const std::string mine = file("my picture.gif"), other = file("other.gif");
  WriteFile(mine, {'G', 'I', 'F', '8'});
  WriteFile(other, {'G', 'I', 'F', '8'});
  makeProject();
  std::strcpy(SimState().logoPath, mine.c_str());
  std::strcpy(SimState().userDataPath, other.c_str());
  SetPicture(SimState().logo, SIM_LOGO_CAPACITY, Block(40, 6));
  ASSERT_EQ(SimSaveProject(file("brings.sdg").c_str()), 1);
  // The start: the settings' own paths, then the project.
  std::strcpy(SimState().logoPath, (Folder() + "/startuplogo.dat").c_str());
  std::strcpy(SimState().userDataPath, (Folder() + "/vuserdata.dat").c_str());
  SimLoadDemoProject();
  SimReadPictureFiles();
  ASSERT_EQ(SimLoadProject(file("brings.sdg").c_str()), SIM_PROJECT_LOADED);
  ASSERT_STREQ(SimState().logoPath, mine.c_str());

  static std::vector<std::pair<std::string, bool>> asked;
  asked.clear();
  bool haveLogo = false, haveUser = false;
  SimWritePictureFiles([](const char* path, bool remove) {
    asked.emplace_back(path, remove);
    return false;
  }, &haveLogo, &haveUser);
  EXPECT_EQ(ReadFile(mine), (Bytes{'G', 'I', 'F', '8'}));
  EXPECT_EQ(ReadFile(other), (Bytes{'G', 'I', 'F', '8'}));
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], std::make_pair(mine, false));
  EXPECT_EQ(asked[1], std::make_pair(other, true));
  EXPECT_EQ(std::string(SimState().logoPath), Folder() + "/startuplogo.dat");
  EXPECT_EQ(ReadFile(Folder() + "/startuplogo.dat"), Block(40, 6));
  EXPECT_TRUE(haveLogo);
  EXPECT_FALSE(haveUser);

  // Without anyone to ask the answer is no; with a yes the file is the project's.
  std::strcpy(SimState().logoPath, mine.c_str());
  SimWritePictureFiles(nullptr, &haveLogo, &haveUser);
  EXPECT_EQ(ReadFile(mine), (Bytes{'G', 'I', 'F', '8'}));
  std::strcpy(SimState().logoPath, mine.c_str());
  SimWritePictureFiles([](const char*, bool) { return true; }, &haveLogo, &haveUser);
  EXPECT_EQ(ReadFile(mine), Block(40, 6));
  EXPECT_STREQ(SimState().logoPath, mine.c_str());
}

}  // namespace
