// The viewer program as the trend library starts it: shown with "/hTrend=", drawing the
// samples it is told of, and ended by the library.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "host/ipc.h"
#include "host/process.h"
#include "support/config_folder.h"
#include "support/trend_fixture.h"

namespace {

using trendtest::TrendTest;
using trendtest::WaitFor;

// The program's waits here only bound a hang: the program under the sanitizers on a loaded
// machine can take many times what it takes on an idle one.
class ViewerProgramTest : public TrendTest {
 protected:
  static constexpr int kStopMs = 120000;  // until the library ends a viewer that did not close

  void SetUp() override {
    TrendTest::SetUp();
    KurvanOptions o = KurvanGetOptions();
    o.viewerPath = KURVAN_PROGRAM;
    o.stopTimeoutMs = kStopMs;
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
  ASSERT_TRUE(WaitFor([&] { return Field(h, TREND_REC_VIEWER, false) != 0; }, 120000));
  EXPECT_GT(KurvanIsVisible(h), 0);
  // A sample is drawn: the pending count goes back to 0.
  const float a[2] = {1.0f, 2.0f};
  const unsigned char d[1] = {1};
  ASSERT_EQ(KurvanCycle(h, a, d, 1), 1);
  EXPECT_TRUE(WaitFor([&] { return Field(h, TREND_REC_PENDING, true) == 0; }, 60000));
  ASSERT_EQ(KurvanCycle(h, a, d, 1), 1);
  EXPECT_TRUE(WaitFor([&] { return Field(h, TREND_REC_PENDING, true) == 0; }, 60000));

  // Hidden: the program closes on the library's note, before the stop time-out after which the
  // library would have ended it with a signal.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(KurvanShowFrame(h, 0), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kStopMs));
  EXPECT_EQ(KurvanIsVisible(h), 0);
  EXPECT_EQ(Field(h, TREND_REC_VIEWER, false), 0u);
  // It kept its frame settings.
  EXPECT_TRUE(std::filesystem::exists(folder + "/Orvant GmbH/Kurvan.ini"));
}

// Ended by a signal, the program removes its notification socket as a clean end does.
TEST_F(ViewerProgramTest, SigtermEndsKurvanWithoutLeavingItsSocket) {
  KurvanHandle h = Make(2, 200, 100, 0, 2, 1);
  ASSERT_EQ(KurvanShowFrame(h, 5), 1);
  ASSERT_TRUE(WaitFor([&] { return Field(h, TREND_REC_VIEWER, false) != 0; }, 120000));
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
  EXPECT_TRUE(WaitFor(ended, 60000)) << "it ended";
  EXPECT_FALSE(std::filesystem::exists(socket));
  EXPECT_EQ(KurvanShowFrame(h, 0), 1);
}

// The state letter of a process ('\0' once it is gone and reaped).
char ProcessState(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : 0;
}

// A viewer that the library started and that ended by itself (its user closed it) does not
// stay a zombie: the regular reaping of the program that started it takes it.
TEST_F(ViewerProgramTest, AViewerThatEndsIsReapedByTheRegularReaping) {
  KurvanHandle h = Make(2, 200, 100, 0, 2, 1);
  ASSERT_EQ(KurvanShowFrame(h, 5), 1);
  ASSERT_TRUE(WaitFor([&] { return Field(h, TREND_REC_VIEWER, false) != 0; }, 120000));
  const pid_t pid = static_cast<pid_t>(Field(h, TREND_REC_VIEWER, false));
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_TRUE(WaitFor([&] {
    host::ReapEndedProcesses();
    return ProcessState(pid) == 0;
  }, 60000)) << "state " << ProcessState(pid);
  EXPECT_EQ(KurvanIsVisible(h), 0);
}

// The viewer given a FIFO as its file does not wait for a writer: it tells that the file
// cannot be read, and an end signal ends it while that box is open.
TEST_F(ViewerProgramTest, AFifoDoesNotHoldTheViewerAndASignalEndsItWhileItsBoxIsOpen) {
  const std::string fifo = folder + "/fifo.trd";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const pid_t pid = host::StartProcess({KURVAN_PROGRAM, fifo});
  ASSERT_GT(pid, 0);
  // Waiting in its event loop (the box's), not in the open of the FIFO.
  auto waiting = [&] {
    std::ifstream wchan("/proc/" + std::to_string(pid) + "/wchan");
    std::string where;
    std::getline(wchan, where);
    return where.find("poll") != std::string::npos || where.find("select") != std::string::npos;
  };
  EXPECT_TRUE(WaitFor(waiting, 120000)) << "it waits for a writer";
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_TRUE(host::WaitProcess(pid, 60000)) << "ended by the signal";
  if (ProcessState(pid) != 0) {
    kill(pid, SIGKILL);
    host::WaitProcess(pid, 60000);
  }
}

}  // namespace
