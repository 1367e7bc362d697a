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
      {"long line", [&] { Write("[Settings]\nTopmost=1\n" + std::string(5000, 'x') + "\n"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(file);
    c.make();
    EXPECT_FALSE(host::IniIsWellFormed(file));
    EXPECT_EQ(host::IniGetInt(file, "Settings", "Topmost", 7), 7);
  }
}

// What a reader refused is never written over: every write to such a file fails and leaves
// its bytes as they were (the file's other keys are not known, a rewrite would lose them).
TEST_F(IniFileTest, AFileThatCouldNotBeReadIsNeverWrittenOver) {
  struct Case {
    const char* what;
    std::function<void()> make;
  } cases[] = {
      {"huge", [&] {
         std::string text = "[Trend1]\n";
         while (text.size() <= (1u << 20)) text += "Key" + std::to_string(text.size()) + "=1\n";
         Write(text);
       }},
      {"long line that is no key", [&] { Write("[Trend1]\nScaleLeft=2\n" + std::string(5000, 'x') + "\n"); }},
      {"a folder", [&] { std::filesystem::create_directory(file); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(file);
    c.make();
    const bool folder = std::filesystem::is_directory(file);
    const std::string before = folder ? std::string() : Read();
    EXPECT_FALSE(host::IniWriteString(file, "Trend1", "ScaleRight", "1"));
    EXPECT_FALSE(host::IniWriteInt(file, "Trend1", "ScaleLeft", 3));
    EXPECT_FALSE(host::IniDeleteKey(file, "Trend1", "Key11"));
    EXPECT_FALSE(host::IniDeleteSection(file, "Trend1"));
    if (folder) {
      EXPECT_TRUE(std::filesystem::is_empty(file));
    } else {
      EXPECT_EQ(Read(), before);
    }
    EXPECT_FALSE(std::filesystem::exists(file + ".tmp"));
  }
}

// A key whose line is longer than the line bound is no corruption: its value reads cut to
// the bound, the other keys read as they are, and a write keeps the long line whole.
TEST_F(IniFileTest, ALongKeyLineIsReadCutAndKeptWhole) {
  const std::string text(5000, 'd');
  Write("[Settings]\nDemoTextG=" + text + "\nTopmost=1\n");
  EXPECT_TRUE(host::IniIsWellFormed(file));
  EXPECT_EQ(host::IniGetInt(file, "Settings", "Topmost", 7), 1);
  EXPECT_EQ(host::IniGetString(file, "Settings", "DemoTextG", ""), text.substr(0, 4096));
  ASSERT_TRUE(host::IniWriteInt(file, "Settings", "Topmost", 0));
  EXPECT_EQ(Read(), "[Settings]\nDemoTextG=" + text + "\nTopmost=0\n");
}

// Writes go through a symbolic link to its target (the link stays a link); a name beside
// the target that is no regular file (a FIFO at the temporary name) is refused at once, not
// waited on, and left as it is.
TEST_F(IniFileTest, WritesFollowLinksAndRefuseAFifoAtTheTemporaryName) {
  const std::string target = (dir / "real.ini").string();
  { std::ofstream(target) << "[A]\nx=1\n"; }
  std::filesystem::create_symlink("real.ini", file);
  ASSERT_TRUE(host::IniWriteString(file, "A", "y", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(file));
  EXPECT_EQ(host::IniGetString(target, "A", "y", ""), "2");
  EXPECT_EQ(host::IniGetString(file, "A", "x", ""), "1");

  ASSERT_EQ(mkfifo((target + ".tmp").c_str(), 0600), 0);
  EXPECT_FALSE(host::IniWriteString(file, "A", "y", "3"));
  EXPECT_EQ(host::IniGetString(target, "A", "y", ""), "2");
  struct stat st {};
  ASSERT_EQ(lstat((target + ".tmp").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
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
