// Starting other programs: the environment entries given to the started program replace the
// ones of this process and leave the rest as they were.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <signal.h>
#include <sys/wait.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "host/process.h"

namespace {

int ExitCode(pid_t pid) {
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(StartProcess, GivenEnvironmentEntriesReplaceThisProcesssOnes) {
  setenv("SIM_PROCESS_TEST_KEPT", "kept", 1);
  setenv("SIM_PROCESS_TEST_SET", "old", 1);
  const pid_t pid = host::StartProcess(
      {"sh", "-c", "test \"$SIM_PROCESS_TEST_SET\" = new && test \"$SIM_PROCESS_TEST_KEPT\" = kept && exit 7"},
      {"SIM_PROCESS_TEST_SET=new"});
  EXPECT_EQ(ExitCode(pid), 7);
  // Without entries the program sees this process's environment.
  EXPECT_EQ(ExitCode(host::StartProcess({"sh", "-c", "test \"$SIM_PROCESS_TEST_SET\" = old && exit 5"})), 5);
  unsetenv("SIM_PROCESS_TEST_KEPT");
  unsetenv("SIM_PROCESS_TEST_SET");
}

TEST(StartProcess, WaitingForAProcessEndsWithItOrAfterTheTimeOut) {
  const pid_t quick = host::StartProcess({"sh", "-c", "exit 0"});
  EXPECT_TRUE(host::WaitProcess(quick, 60000));  // the waits for an end only bound a hang
  const pid_t slow = host::StartProcess({"sleep", "30"});
  ASSERT_GT(slow, 0);
  EXPECT_FALSE(host::WaitProcess(slow, 50));
  kill(slow, SIGKILL);
  EXPECT_TRUE(host::WaitProcess(slow, 60000));
}

TEST(StartProcess, AMissingProgramIsNotStarted) {
  EXPECT_EQ(host::StartProcess({"/nonexistent/program"}, {"A=1"}), 0);
  EXPECT_EQ(host::StartProcess({}), 0);
}

// The state letter of a process in /proc ('\0' when it is gone).
char State(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : 0;
}

bool WaitForState(pid_t pid, char state) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (State(pid) != state && std::chrono::steady_clock::now() < end) {
    host::ReapEndedProcesses();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return State(pid) == state;
}

// A program that ends by itself does not stay behind as a zombie: the regular reaping takes
// it, and its owner still finds it ended.
TEST(StartProcess, AProgramThatEndsIsReapedWithoutItsOwner) {
  for (bool group : {false, true}) {
    SCOPED_TRACE(group ? "in a group of its own" : "plain");
    const pid_t pid = group ? host::StartProcessGroup({"sh", "-c", "exit 3"}) : host::StartProcess({"sh", "-c", "exit 3"});
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(WaitForState(pid, 0)) << "reaped, state " << State(pid);
    EXPECT_TRUE(host::ReapProcess(pid));
  }
}

// A group counts as gone only with its leader reaped, also when the leader ends while the
// group is being looked at: else the leader stays a zombie that nobody looks at again (a
// script's program that its APPSTOP ended was dropped unreaped that way).
TEST(StartProcess, AGroupThatCountsAsGoneHasItsLeaderReaped) {
  for (int run = 0; run < 200; ++run) {
    const pid_t pid = host::StartProcessGroup({"sh", "-c", "exit 0"});
    ASSERT_GT(pid, 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (host::ProcessGroupAlive(pid) && std::chrono::steady_clock::now() < end) {
    }
    const char state = State(pid);
    if (state != 0) waitpid(pid, nullptr, 0);
    ASSERT_EQ(state, 0) << "run " << run << ": the leader of a group that counts as gone is still there, state " << state;
  }
}

// A program in a group of its own is ended with what it started, also when both ignore
// SIGTERM; one that is not there is not started.
TEST(StartProcess, AProcessGroupEndsWithEverythingInIt) {
  const pid_t pid = host::StartProcessGroup({"sh", "-c", "trap '' TERM; sleep 999 & sleep 999; true"});
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(host::ProcessGroupAlive(pid));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (getpgid(pid) != pid && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(getpgid(pid), pid) << "the leader of its own group";
  EXPECT_TRUE(host::EndProcessGroup(pid, 100));
  EXPECT_FALSE(host::ProcessGroupAlive(pid));
  EXPECT_EQ(host::StartProcessGroup({"no-such-program-here"}), 0);
  EXPECT_EQ(host::StartProcessGroup({"/nonexistent/program"}), 0);
  EXPECT_EQ(host::StartProcessGroup({}), 0);
}

}  // namespace
