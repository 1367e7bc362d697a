// Settings files: lookups by section and key, writes that keep the rest of the file, deletes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>

#include "host/ini_file.h"
#include "support/test_env.h"

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testenv::FreshFolder("ini");
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

// What is no settings file reads as the defaults at once and is not well formed: a FIFO
// nobody writes (it must not block), a file larger than any settings file, a line longer
// than any the format needs.
TEST_F(IniFileTest, FifosHugeFilesAndEndlessLinesReadAsTheDefaultsWithoutWaiting) {
  struct Case {
    const char* what;
    std::function<void()> make;
  } cases[] = {
      {"fifo", [&] { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }},
      {"huge", [&] {
         std::string text = "[Settings]\n";
         while (text.size() <= (1u << 20)) text += "Key" + std::to_string(text.size()) + "=1\n";
         Write(text + "Topmost=1\n");
       }},
      {"long line", [&] { Write("[Settings]\nTopmost=1\nLastFileName=" + std::string(5000, 'x') + "\n"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(file);
    c.make();
    EXPECT_FALSE(host::IniIsWellFormed(file));
    EXPECT_EQ(host::IniGetInt(file, "Settings", "Topmost", 7), 7);
  }
}

// A file read once and changed by someone else afterwards is read anew.
TEST_F(IniFileTest, AChangeByAnotherWriterIsSeen) {
  Write("[Settings]\nTopmost=1\n");
  EXPECT_EQ(host::IniGetInt(file, "Settings", "Topmost", 7), 1);
  Write("[Settings]\nTopmost=2\n");  // the same size, possibly the same time
  EXPECT_EQ(host::IniGetInt(file, "Settings", "Topmost", 7), 2);
  ASSERT_TRUE(host::IniWriteInt(file, "Settings", "Topmost", 3));
  EXPECT_EQ(host::IniGetInt(file, "Settings", "Topmost", 7), 3);
}

}  // namespace
