// Starting other programs: the environment entries given to the started program replace the
// ones of this process and leave the rest as they were.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <signal.h>
#include <sys/wait.h>

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
  EXPECT_TRUE(host::WaitProcess(quick, 10000));
  const pid_t slow = host::StartProcess({"sleep", "30"});
  ASSERT_GT(slow, 0);
  EXPECT_FALSE(host::WaitProcess(slow, 50));
  kill(slow, SIGKILL);
  EXPECT_TRUE(host::WaitProcess(slow, 10000));
}

TEST(StartProcess, AMissingProgramIsNotStarted) {
  EXPECT_EQ(host::StartProcess({"/nonexistent/program"}, {"A=1"}), 0);
  EXPECT_EQ(host::StartProcess({}), 0);
}

}  // namespace
