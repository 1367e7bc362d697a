// One build for both tools: engbuild's image file and what pctool downloads come from one
// description byte for byte, for every shipped description and for one that holds a block
// of every type; a description one tool refuses the other refuses with the same message,
// and pctool then sends nothing.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/fb_store.h"
#include "runtime/fw_image.h"
#include "tools/engbuild/eng_tool.h"

namespace {

struct ToolRun {
  int status = -1;
  std::string output;  // standard output and error together
};

ToolRun RunProgram(const std::string& command) {
  ToolRun r;
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) r.output += buf;
  const int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "/engtool" + std::to_string(getpid()) + "_" + name;
}

std::string WriteTemp(const std::string& name, const std::string& text) {
  const std::string path = TempPath(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// A block of every type with a template, each at the first number its type permits that is
// still free; the blocks of the time groups chained one after the other in group 1.
std::string EveryTypeDescription() {
  EngRegisterToolTypes();
  std::ostringstream d;
  d << "run 2\nlanguage 1\n";
  std::vector<bool> used(FB_MAX_BLOCK + 1, false);
  uint16_t last = 0;
  for (uint16_t type = 1; type < FB_TYPE_COUNT; ++type) {
    const FbTypeRecord* rec = FB_GetType(type);
    if (!rec || !rec->tmpl) continue;
    uint16_t number = 0;
    for (const FbBlockRange* r = rec->permitted ? rec->permitted : FB_COMMON_BLOCK_RANGES;
         r->low != 0 && number == 0; ++r) {
      for (uint16_t b = r->low; b <= r->high && number == 0; ++b) {
        if (!used[b]) number = b;
      }
    }
    if (number == 0) continue;
    used[number] = true;
    d << "block " << number << " " << type << " group 1";
    // Blocks 1..20, 56..60 and 100 up run in the time groups; the others at fixed places.
    if (number <= 20 || (number >= 56 && number <= 60) || number >= 100) {
      if (last) d << " after " << last;
      last = number;
    }
    d << "\n";
  }
  return d.str();
}

// What engbuild writes for a description (empty when it refuses) and what it says.
ToolRun Engbuild(const std::string& description, std::string* image) {
  const std::string out = TempPath("image.bin");
  std::remove(out.c_str());
  ToolRun r = RunProgram(std::string(ENGBUILD_PROGRAM) + " " + description + " " + out);
  *image = ReadFile(out);
  std::remove(out.c_str());
  return r;
}

TEST(OneBuild, EveryDescriptionGivesEngbuildsImageToTheDownload) {
  const std::string top = SIM_SOURCE_TOP;
  const std::vector<std::string> descriptions = {
      top + "/assets/demo.eng", top + "/tools/engbuild/example.eng",
      top + "/tools/engbuild/userpage.eng", WriteTemp("every.eng", EveryTypeDescription())};
  for (const std::string& path : descriptions) {
    SCOPED_TRACE(path);
    std::string written;
    const ToolRun e = Engbuild(path, &written);
    ASSERT_EQ(e.status, 0) << e.output;
    // The download's image: what pctool builds before it reaches the device.
    std::vector<uint8_t> image;
    std::string error;
    ASSERT_TRUE(EngBuildChecked(ReadFile(path), image, &error)) << error;
    ASSERT_EQ(written.size(), FW_IMAGE_SIZE);
    const std::string sent(image.begin(), image.end());
    const auto diff = std::mismatch(sent.begin(), sent.end(), written.begin());
    EXPECT_EQ(diff.first, sent.end()) << "byte for byte; the first difference at "
                                      << (diff.first - sent.begin());
    // And pctool takes it into the device it runs in its own process.
    const ToolRun p = RunProgram(std::string(PCTOOL_PROGRAM) + " download " + path);
    EXPECT_EQ(p.status, 0) << p.output;
    EXPECT_NE(p.output.find("download " + path + ": done"), std::string::npos) << p.output;
  }
}

TEST(OneBuild, ADescriptionTheBuilderRefusesIsRefusedByBothAndNothingIsSent) {
  struct Case {
    const char* name;
    const char* text;
    const char* message;  // what both tools say after the description's path
  } cases[] = {
      {"unknown_type", "block 100 NOSUCH\n", "line 1: unknown block type 'NOSUCH'"},
      {"type_not_in_use", "block 100 254\n", "line 1: type 254 is not in use"},
      {"missing_source", "run 2\nblock 100 ABSV\n  in 1 110.1\n",
       "line 2: the image does not load: an input names a missing source (block 100)"},
      {"outside_range", "block 150 VALARM\n",
       "line 1: block 150 is outside the blocks its type permits (41..46)"},
      {"beyond_last_block", "block 1951 ABSV\n", "line 1: block number must be 1..1950"},
      {"chain_loop", "block 100 ABSV after 101\nblock 101 ABSV after 100\n",
       "line 1: the image does not load: faulty time-group chains (block 100: the chain of "
       "time group 1 has no first block)"},
      {"after_fixed_block", "block 61 UNI_IN\nblock 100 ABSV\nblock 101 ABSV after 30\n",
       "line 3: the image does not load: faulty time-group chains (block 101: its after-block 30 "
       "is no block of a time group)"},
      {"after_fixed_place_block", "block 87 EVTLOG group 1\nblock 100 ABSV\nblock 108 ABSV after 87\n",
       "line 3: the image does not load: faulty time-group chains (block 108: its after-block 87 "
       "is no block of a time group)"},
      {"after_missing_block", "block 100 ABSV\nblock 101 ABSV after 400\n",
       "line 2: the image does not load: faulty time-group chains (block 101: its after-block "
       "400 is no block of a time group)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = WriteTemp(std::string(c.name) + ".eng", c.text);
    std::string written;
    const ToolRun e = Engbuild(path, &written);
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.output, "engbuild: " + path + ": " + c.message + "\n");
    EXPECT_TRUE(written.empty());
    // Through a channel to no simulator at all: the refusal comes before any request.
    const ToolRun p = RunProgram(std::string(PCTOOL_PROGRAM) + " -c share:Com10 -p engtool_none" +
                             std::to_string(getpid()) + ". download " + path);
    EXPECT_EQ(p.status, 1);
    EXPECT_EQ(p.output, "download " + path + ": " + c.message + "\n");
    std::remove(path.c_str());
  }
}

// A prefix names a running simulator: given without a way, the tool refuses rather than
// sending the requests (a download above all) to the firmware it runs itself.
TEST(OneBuild, APrefixWithoutAWayIsRefused) {
  const ToolRun p = RunProgram(std::string(PCTOOL_PROGRAM) + " -p engtool_none. download " +
                               std::string(SIM_SOURCE_TOP) + "/assets/demo.eng");
  EXPECT_EQ(p.status, 2);
  const ToolRun ok = RunProgram(std::string(PCTOOL_PROGRAM) + " ident");
  EXPECT_EQ(ok.status, 0) << ok.output;
}

}  // namespace
