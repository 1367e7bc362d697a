// The trend record between processes: the lock across processes and after its holder died,
// names left by a crashed process, opening by name, and the viewer started for "/hTrend="
// and "/hConfig=" (the stand-in viewer of this folder).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>

#include "support/trend_fixture.h"

namespace {

using trendtest::TrendTest;
using trendtest::WaitFor;

std::string MapName(KurvanHandle h) {
  const uint8_t* rec = KurvanLock(h);
  std::string name = rec ? TrendGetText(rec, TREND_REC_MAPNAME, TREND_MAPNAME_BYTES) : "";
  KurvanUnlock(h);
  return name;
}

uint32_t ViewerField(KurvanHandle h) {
  const uint8_t* rec = KurvanLock(h);
  uint32_t v = rec ? TrendGetU32(rec, TREND_REC_VIEWER) : 0xFFFFFFFF;
  KurvanUnlock(h);
  return v;
}

// A child process that opens the record by name, takes its lock, reports on a pipe and
// waits to be killed.
pid_t ForkLockHolder(const std::string& name) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    KurvanHandle h = KurvanOpen(name.c_str());
    char ok = (h && KurvanLock(h)) ? 'L' : 'F';
    if (write(fds[1], &ok, 1) != 1) _exit(3);
    for (;;) pause();
  }
  close(fds[1]);
  char got = 0;
  if (read(fds[0], &got, 1) != 1 || got != 'L') {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    child = -1;
  }
  close(fds[0]);
  return child;
}

// True once the process sleeps in the kernel (the record's lock is tried in short sleeps),
// read from /proc/<pid>/syscall; false after the deadline.
bool SleepsInTheKernel(pid_t pid, std::chrono::seconds deadline) {
  const std::string path = "/proc/" + std::to_string(pid) + "/syscall";
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (std::chrono::steady_clock::now() < end) {
    std::ifstream in(path);
    long nr = -1;
    if (in >> nr && (nr == SYS_nanosleep || nr == SYS_clock_nanosleep)) return true;
    usleep(2000);
  }
  return false;
}

TEST_F(TrendTest, ASecondProcessWaitsForTheLock) {
  KurvanHandle h = Make();
  const std::string name = MapName(h);
  ASSERT_NE(KurvanLock(h), nullptr);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    KurvanOptions o = KurvanGetOptions();
    o.lockTimeoutMs = 120000;  // the parent holds the lock until it has seen the child wait
    KurvanSetOptions(o);
    char c = 1;
    if (write(ready[1], &c, 1) != 1) _exit(6);
    KurvanHandle other = KurvanOpen(name.c_str());  // checks the record under its lock
    uint8_t* rec = other ? KurvanLock(other) : nullptr;
    // The sample written under the parent's lock is there: the child got the lock after it.
    bool sound = rec && TrendGetU16(rec, TREND_REC_RING) == 1800 && TrendGetU16(rec, TREND_REC_HEAD) == 1;
    _exit(!other ? 2 : !rec ? 3 : !sound ? 4 : 0);
  }
  close(ready[1]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);  // the child is on its way to the lock
  close(ready[0]);
  // Go on only once the child waits on the lock we hold (between its report and the lock
  // the child never sleeps, so a sleep is its wait for the lock): else it could take the lock
  // after our write and prove nothing, however long we slept.
  EXPECT_TRUE(SleepsInTheKernel(child, std::chrono::seconds(60))) << "the child never came to wait on the lock";
  const float a[7] = {};
  const unsigned char d[12] = {};
  EXPECT_EQ(KurvanCycle(h, a, d, 1), 1);  // our own lock nests
  KurvanUnlock(h);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(TrendTest, ALockWhoseHolderWasKilledIsTakenOver) {
  KurvanHandle h = Make();
  const float a[7] = {1, 2, 3, 4, 5, 6, 7};
  const unsigned char d[12] = {1};
  KurvanCycle(h, a, d, 1);
  pid_t holder = ForkLockHolder(MapName(h));
  ASSERT_GT(holder, 0);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  uint8_t* rec = KurvanLock(h);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(TrendGetU32(rec, 0), TREND_MAGIC);
  EXPECT_EQ(TrendGetU16(rec, TREND_REC_HEAD), 1);
  EXPECT_FLOAT_EQ(TrendGetF32(rec, 17066), 3.0f);
  KurvanUnlock(h);
  EXPECT_EQ(KurvanCycle(h, a, d, 1), 1);
}

TEST_F(TrendTest, ALiveHolderIsNotWaitedOnForEver) {
  KurvanOptions o = KurvanGetOptions();
  o.lockTimeoutMs = 200;
  KurvanSetOptions(o);
  KurvanHandle h = Make();
  pid_t holder = ForkLockHolder(MapName(h));
  ASSERT_GT(holder, 0);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(KurvanLock(h), nullptr);
  EXPECT_EQ(KurvanCycle(h, nullptr, nullptr, 1), 0);
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_LT(waited, std::chrono::seconds(30));
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  EXPECT_NE(KurvanLock(h), nullptr);
  KurvanUnlock(h);
}

TEST_F(TrendTest, NamesOfACrashedProcessAreReused) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    KurvanHandle a = KurvanCreate(0, 1, 200, 10, 0, 1, 1);
    KurvanHandle b = KurvanCreate(0, 1, 200, 10, 0, 1, 1);
    _exit(a && b ? 0 : 1);  // ends without destroying them, as a crash would
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  KurvanHandle first = Make(1, 200, 10, 0, 1, 1);
  KurvanHandle second = Make(1, 200, 10, 0, 1, 1);
  EXPECT_EQ(MapName(first), host::SharedNamePrefix() + "KurvanTrend.1");
  EXPECT_EQ(MapName(second), host::SharedNamePrefix() + "KurvanTrend.2");
  // A live name is skipped, and a freed one is taken again.
  KurvanHandle third = Make(1, 200, 10, 0, 1, 1);
  EXPECT_EQ(MapName(third), host::SharedNamePrefix() + "KurvanTrend.3");
  KurvanDestroy(second);
  KurvanHandle again = Make(1, 200, 10, 0, 1, 1);
  EXPECT_EQ(MapName(again), host::SharedNamePrefix() + "KurvanTrend.2");
}

TEST_F(TrendTest, OpeningByNameChecksTheRecord) {
  EXPECT_EQ(KurvanOpen(nullptr), 0);
  EXPECT_EQ(KurvanOpen(""), 0);
  EXPECT_EQ(KurvanOpen("../etc/passwd"), 0);
  EXPECT_EQ(KurvanOpen((host::SharedNamePrefix() + "KurvanTrend.77").c_str()), 0);
  // A shared block that is not a trend record.
  auto other = host::SharedBlock::Create("NotATrend", 8192, 0, nullptr);
  ASSERT_TRUE(other);
  EXPECT_EQ(KurvanOpen(other->fullName().c_str()), 0);

  KurvanHandle h = Make();
  KurvanHandle viewer = Keep(KurvanOpen(MapName(h).c_str()));
  ASSERT_NE(viewer, 0);
  EXPECT_GE(KurvanBlockBytes(viewer), KurvanBlockBytes(h));
  const float a[7] = {0, 0, 9.5f};
  KurvanCycle(h, a, nullptr, 1);
  uint8_t* rec = KurvanLock(viewer);
  ASSERT_NE(rec, nullptr);
  EXPECT_FLOAT_EQ(TrendGetF32(rec, 17066), 9.5f);
  // Counts another process broke: the record is not handed out while they do not fit.
  TrendPutU16(rec, TREND_REC_ANALOG_COUNT, 200);
  KurvanUnlock(viewer);
  EXPECT_EQ(KurvanLock(viewer), nullptr);
  EXPECT_EQ(KurvanCopy(viewer), 0);
  EXPECT_EQ(KurvanCycle(h, a, nullptr, 1), 1);  // the creator keeps writing by its own layout
  rec = KurvanLock(h);
  EXPECT_EQ(rec, nullptr);
  KurvanUnlock(h);
}

TEST_F(TrendTest, ShowFrameStartsAndEndsTheViewer) {
  KurvanHandle h = Make();
  const std::string name = MapName(h);
  EXPECT_EQ(KurvanIsVisible(h), 0);
  ASSERT_EQ(KurvanShowFrame(h, 5), 1);
  EXPECT_GT(KurvanIsVisible(h), 0);
  ASSERT_TRUE(LogHas("args /hTrend=" + name));
  ASSERT_TRUE(LogHas("shown"));
  const uint32_t pid = ViewerField(h);
  EXPECT_NE(pid, 0u);
  // Shown already: no second viewer.
  ASSERT_EQ(KurvanShowFrame(h, 5), 1);
  EXPECT_EQ(ViewerField(h), pid);

  // New samples and a language change reach the viewer.
  const float a[7] = {};
  const unsigned char d[12] = {};
  ASSERT_EQ(KurvanCycle(h, a, d, 1), 1);
  EXPECT_TRUE(LogHas("samples 1"));
  EXPECT_TRUE(WaitFor([&] {
    const uint8_t* rec = KurvanLock(h);
    bool drawn = rec && TrendGetU16(rec, TREND_REC_PENDING) == 0;
    KurvanUnlock(h);
    return drawn;
  }));
  ASSERT_EQ(KurvanCycle(h, a, d, 1), 1);
  EXPECT_TRUE(LogHas("samples 2"));
  ASSERT_EQ(KurvanSetLanguage(h, 2), 1);
  EXPECT_TRUE(LogHas("language 2"));

  ASSERT_EQ(KurvanShowFrame(h, 0), 1);
  EXPECT_TRUE(LogHas("closed", 100));
  EXPECT_EQ(ViewerField(h), 0u);
  EXPECT_EQ(KurvanIsVisible(h), 0);
  EXPECT_EQ(trendtest::ReadText(logPath).find("args", 1), std::string::npos) << "one viewer only";
}

TEST_F(TrendTest, AViewerThatDiedIsNotVisible) {
  KurvanHandle h = Make();
  ASSERT_EQ(KurvanShowFrame(h, 5), 1);
  ASSERT_TRUE(LogHas("shown"));
  const pid_t pid = static_cast<pid_t>(ViewerField(h));
  ASSERT_GT(pid, 0);
  kill(pid, SIGKILL);
  EXPECT_TRUE(WaitFor([&] { return KurvanIsVisible(h) == 0; }));
  EXPECT_EQ(ViewerField(h), 0u);
  // Shown again: a new viewer.
  ASSERT_EQ(KurvanShowFrame(h, 5), 1);
  EXPECT_GT(KurvanIsVisible(h), 0);
  EXPECT_NE(static_cast<pid_t>(ViewerField(h)), pid);
}

TEST_F(TrendTest, HidingAViewerThatIsStillStartingEndsItAtOnce) {
  KurvanOptions o = KurvanGetOptions();
  o.stopTimeoutMs = 30000;  // far above what ending it at once takes on a busy machine
  KurvanSetOptions(o);
  KurvanHandle h = Make();
  ASSERT_EQ(KurvanShowFrame(h, 5), 1);
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(KurvanShowFrame(h, 0), 1);  // nobody listens for the close message yet
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(KurvanIsVisible(h), 0);
  EXPECT_EQ(ViewerField(h), 0u);
}

TEST_F(TrendTest, DestroyEndsTheViewer) {
  KurvanHandle h = KurvanCreate(0, 1, 200, 10, 0, 1, 1);
  ASSERT_EQ(KurvanShowFrame(h, 5), 1);
  ASSERT_TRUE(LogHas("shown"));
  KurvanDestroy(h);
  EXPECT_TRUE(LogHas("closed", 100));
}

TEST_F(TrendTest, ChannelConfigDialogRunsTheViewer) {
  KurvanHandle h = Make();
  const std::string name = MapName(h);
  struct Case {
    const char* mode;
    int result;
    const char* name;
  } cases[] = {{"cancel", 0, "Analog 1"}, {"ok", 1, "Edited"}};
  for (const Case& c : cases) {
    setenv("KURVAN_STANDIN_CONFIG", c.mode, 1);
    EXPECT_EQ(KurvanChannelConfigDialog(h), c.result) << c.mode;
    uint8_t channels[KURVAN_CONFIG_BYTES] = {};
    TrendPutU32(channels, 0, 1420);
    ASSERT_EQ(KurvanGetChannelConfig(h, channels, nullptr), 1);
    EXPECT_EQ(TrendGetText(channels, KURVAN_CFG_ANALOG, 17), c.name) << c.mode;
    uint8_t* rec = KurvanLock(h);
    EXPECT_EQ(TrendGetU16(rec, TREND_REC_CONFIG_CHANGED), 0) << "cleared after evaluation";
    KurvanUnlock(h);
  }
  EXPECT_TRUE(LogHas("args /hConfig=" + name));
}

// The dialog proves the time-out only once the stand-in has come as far as its endless wait;
// on a loaded machine it may not have within a short time-out, so the time-out grows until
// it has.
TEST_F(TrendTest, AViewerThatNeverEndsTimesOut) {
  setenv("KURVAN_STANDIN_CONFIG", "hang", 1);
  KurvanHandle h = Make();
  for (int ms = 1500;; ms *= 2) {
    SCOPED_TRACE(ms);
    KurvanOptions o = KurvanGetOptions();
    o.dialogTimeoutMs = ms;
    o.stopTimeoutMs = 300;
    KurvanSetOptions(o);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(KurvanChannelConfigDialog(h), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(ms) + std::chrono::seconds(30));
    if (LogHas("config hang", 100)) break;
    ASSERT_LT(ms, 50000) << "the viewer never came as far as its wait";
  }
}

TEST_F(TrendTest, AMissingViewerProgramFailsCleanly) {
  KurvanOptions o = KurvanGetOptions();
  o.viewerPath = "/nonexistent/Kurvan";
  KurvanSetOptions(o);
  KurvanHandle h = Make();
  EXPECT_EQ(KurvanShowFrame(h, 5), 0);
  EXPECT_EQ(KurvanIsVisible(h), 0);
  EXPECT_EQ(ViewerField(h), 0u);
  EXPECT_EQ(KurvanChannelConfigDialog(h), 0);
  // Private records have no viewer.
  KurvanHandle p = Keep(KurvanAlloc(0, 3000));
  EXPECT_EQ(KurvanShowFrame(p, 5), 0);
}

}  // namespace
