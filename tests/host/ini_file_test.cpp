// Settings files: lookups by section and key, writes that keep the rest of the file, deletes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host/ini_file.h"

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("initest" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    file = (dir / "a.ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  void Write(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
  std::string Read() {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::filesystem::path dir;
  std::string file;
};

TEST_F(IniFileTest, ReadsByCaseInsensitiveNamesAndFallsBackToTheDefault) {
  Write("; comment\r\n[Settings]\r\n Topmost = 1 \r\nLastFileName=C:x y.sdg\r\n\r\n[Device]\r\nSlotB=1\r\n");
  EXPECT_EQ(host::IniGetString(file, "settings", "LASTFILENAME", "-"), "C:x y.sdg");
  EXPECT_EQ(host::IniGetInt(file, "Settings", "Topmost", 7), 1);
  EXPECT_EQ(host::IniGetInt(file, "Device", "Topmost", 7), 7);  // another section's key
  EXPECT_EQ(host::IniGetInt(file, "Device", "SlotC", 9), 9);
  EXPECT_EQ(host::IniGetString(file + ".missing", "Settings", "Topmost", "d"), "d");
}

TEST_F(IniFileTest, IntegersReadTheirLeadingNumber) {
  Write("[S]\na=-12\nb=34abc\nc=abc\nd=\ne=99999999999999\n");
  const struct {
    const char* key;
    long value;
  } cases[] = {{"a", -12}, {"b", 34}, {"c", 0}, {"d", 0}};
  for (const auto& c : cases) EXPECT_EQ(host::IniGetInt(file, "S", c.key, 5), c.value) << c.key;
  EXPECT_LE(host::IniGetInt(file, "S", "e", 5), 2147483647L);
}

TEST_F(IniFileTest, WritesKeepOtherLinesAndReplaceInPlace) {
  Write("; keep me\n[A]\nx=1\n\n[B]\ny=2\n");
  ASSERT_TRUE(host::IniWriteString(file, "a", "X", "5"));
  ASSERT_TRUE(host::IniWriteString(file, "A", "z", "6"));
  ASSERT_TRUE(host::IniWriteInt(file, "C", "w", -3));
  EXPECT_EQ(Read(), "; keep me\n[A]\nX=5\nz=6\n\n[B]\ny=2\n[C]\nw=-3\n");
  EXPECT_FALSE(std::filesystem::exists(file + ".tmp"));
}

TEST_F(IniFileTest, DeletesKeysAndWholeSections) {
  Write("[A]\nx=1\ny=2\n[B]\nz=3\n[C]\nq=4\n");
  ASSERT_TRUE(host::IniDeleteKey(file, "A", "x"));
  ASSERT_TRUE(host::IniDeleteKey(file, "A", "nothing"));
  ASSERT_TRUE(host::IniDeleteSection(file, "b"));
  ASSERT_TRUE(host::IniDeleteSection(file, "missing"));
  EXPECT_EQ(Read(), "[A]\ny=2\n[C]\nq=4\n");
  EXPECT_FALSE(host::IniHasKey(file, "B", "z"));
}

TEST_F(IniFileTest, AFileThatCannotBeWrittenIsReportedAndLeftAlone) {
  std::string inMissingFolder = (dir / "no" / "a.ini").string();
  EXPECT_FALSE(host::IniWriteString(inMissingFolder, "A", "x", "1"));
  EXPECT_FALSE(std::filesystem::exists(inMissingFolder));
}

}  // namespace
