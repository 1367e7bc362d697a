// The viewer program as the trend library starts it: shown with "/hTrend=", drawing the
// samples it is told of, and ended by the library.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "host/ipc.h"
#include "support/config_folder.h"
#include "support/trend_fixture.h"

namespace {

using trendtest::TrendTest;
using trendtest::WaitFor;

class ViewerProgramTest : public TrendTest {
 protected:
  void SetUp() override {
    TrendTest::SetUp();
    KurvanOptions o = KurvanGetOptions();
    o.viewerPath = KURVAN_PROGRAM;
    o.stopTimeoutMs = 30000;
    KurvanSetOptions(o);
    folder = config.emplace("kurvan_proc").root();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
  void TearDown() override {
    TrendTest::TearDown();
    config.reset();
  }
  uint32_t Field(KurvanHandle h, uint32_t off, bool u16) {
    const uint8_t* rec = KurvanLock(h);
    const uint32_t v = rec ? (u16 ? TrendGetU16(rec, off) : TrendGetU32(rec, off)) : 0xFFFFFFFF;
    KurvanUnlock(h);
    return v;
  }
  std::string folder;
  std::optional<ScopedConfigFolder> config;  // XDG_CONFIG_HOME while the test runs
};

TEST_F(ViewerProgramTest, ShowFrameStartsKurvanAndHideEndsIt) {
  KurvanHandle h = Make(2, 200, 100, 0, 2, 1);
  ASSERT_EQ(KurvanShowFrame(h, 5), 1);
  EXPECT_GT(KurvanIsVisible(h), 0);
  // The program names itself in +300 once it listens.
  ASSERT_TRUE(WaitFor([&] { return Field(h, TREND_REC_VIEWER, false) != 0; }, 20000));
  EXPECT_GT(KurvanIsVisible(h), 0);
  // A sample is drawn: the pending count goes back to 0.
  const float a[2] = {1.0f, 2.0f};
  const unsigned char d[1] = {1};
  ASSERT_EQ(KurvanCycle(h, a, d, 1), 1);
  EXPECT_TRUE(WaitFor([&] { return Field(h, TREND_REC_PENDING, true) == 0; }, 10000));
  ASSERT_EQ(KurvanCycle(h, a, d, 1), 1);
  EXPECT_TRUE(WaitFor([&] { return Field(h, TREND_REC_PENDING, true) == 0; }, 10000));

  // Hidden: the program closes on the library's note, before any signal.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(KurvanShowFrame(h, 0), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(KurvanIsVisible(h), 0);
  EXPECT_EQ(Field(h, TREND_REC_VIEWER, false), 0u);
  // It kept its frame settings.
  EXPECT_TRUE(std::filesystem::exists(folder + "/Orvant GmbH/Kurvan.ini"));
}

// Ended by a signal, the program removes its notification socket as a clean end does.
TEST_F(ViewerProgramTest, SigtermEndsKurvanWithoutLeavingItsSocket) {
  KurvanHandle h = Make(2, 200, 100, 0, 2, 1);
  ASSERT_EQ(KurvanShowFrame(h, 5), 1);
  ASSERT_TRUE(WaitFor([&] { return Field(h, TREND_REC_VIEWER, false) != 0; }, 20000));
  const uint32_t pid = Field(h, TREND_REC_VIEWER, false);
  const std::string socket = host::IpcFolder() + "/kurvan." + std::to_string(pid);
  ASSERT_TRUE(std::filesystem::exists(socket));
  ASSERT_EQ(kill(static_cast<pid_t>(pid), SIGTERM), 0);
  // Ended (a zombie until the library reaps it), asked nothing by the library meanwhile,
  // which would remove a dead viewer's socket itself.
  auto ended = [&] {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
  };
  EXPECT_TRUE(WaitFor(ended, 10000)) << "it ended";
  EXPECT_FALSE(std::filesystem::exists(socket));
  EXPECT_EQ(KurvanShowFrame(h, 0), 1);
}

}  // namespace
