// The simulation layer: delays and time scale, the error path and the log, hard keys, the
// application thread.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gui/GUI.h"
#include "simlayer/SIM.h"
#include "support/lcd_harness.h"
#include "support/test_env.h"

namespace {

std::vector<int> g_delays;
uint32_t g_now;

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lcdtest::UsePrivateSharedNames();
    dir_ = testenv::FreshFolder("sim");
    startDir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    std::filesystem::remove("SimError.log");
    g_now = 1000;
    SIM_SetClockSource([] { return g_now; });
    ASSERT_EQ(SIM_InitHost(), 0);
    g_delays.clear();
    SIM_SetDelayCallback([](int ms) { g_delays.push_back(ms); });
    SIM_ShowErrorBoxes(0);
    SIM_ClearLog();
  }
  void TearDown() override {
    SIM_SetTimeScale(1);
    SIM_SetErrorBoxHandler(nullptr);
    SIM_ExitHost();
    SIM_SetClockSource(nullptr);
    std::error_code ec;
    std::filesystem::current_path(startDir_, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  static std::string ErrorLog() {
    std::ifstream f("SimError.log", std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  std::filesystem::path dir_;
  std::filesystem::path startDir_;
};

TEST_F(SimTest, DelaysAndTimeFollowTheTimeScale) {
  SIM_SetTimeScale(4);
  SIM_Delay(100);
  SIM_SetTimeScale(0);
  SIM_SetTimeScale(-3);
  EXPECT_EQ(SIM_GetTimeScale(), 4);
  g_now += 10;
  EXPECT_EQ(SIM_GetTime(), 40);
  EXPECT_EQ(GUI_GetTime(), 40);    // the library's time comes from here
  EXPECT_EQ(g_delays, std::vector<int>{25});
}

TEST_F(SimTest, ErrorsGoToTheLogTheBoxAndTheErrorFile) {
  static std::vector<std::string> boxes;
  boxes.clear();
  SIM_SetErrorBoxHandler([](const char* text, const char* caption) { boxes.push_back(std::string(caption) + ":" + text); });
  SIM_Error("first");
  EXPECT_TRUE(boxes.empty());      // boxes switched off
  SIM_ShowErrorBoxes(1);
  GUI_ErrorOut("GUI_Core:\nsecond");
  EXPECT_EQ(boxes, std::vector<std::string>{"Sim MX74-2:GUI_Core:\nsecond"});
  EXPECT_EQ(SIM_GetNumErrorBoxes(), 1);
  EXPECT_EQ(ErrorLog(), "\r\nfirst\r\nGUI_Core:\nsecond");
  EXPECT_NE(SIM_GetLog().find("\n0:   first"), std::string::npos);
}

TEST_F(SimTest, LogDropsTheOldestLinesToStayWithin5000Characters) {
  for (int i = 0; i < 400; ++i) SIM_LogText(("entry " + std::to_string(i)).c_str());
  const std::string& log = SIM_GetLog();
  EXPECT_LE(log.size(), 5000u);
  EXPECT_EQ(log.rfind("\n0:   entry 399"), log.size() - std::string("\n0:   entry 399").size());
  EXPECT_EQ(log.rfind("\n", 0), 0u);       // whole entries only
  // An entry longer than the whole log keeps its last 5000 characters.
  std::string huge(6000, 'a');
  huge += "END";
  SIM_LogText(huge.c_str());
  EXPECT_EQ(SIM_GetLog().size(), 5000u);
  EXPECT_EQ(SIM_GetLog().substr(4997), "END");
}

TEST_F(SimTest, HardKeysMakeTheKeyMask) {
  static std::vector<uint32_t> masks;
  masks.clear();
  SIM_SetKeyMaskHook([](uint32_t m) { masks.push_back(m); });
  SIM_InitKeys();
  SIM_HardkeyCallback(2, 1);
  SIM_HardkeyCallback(4, 1);
  SIM_HardkeyCallback(2, 0);
  EXPECT_EQ(masks, (std::vector<uint32_t>{4, 20, 16}));
  EXPECT_EQ(SIM_HARDKEY_SetCallback(0, nullptr), &SIM_HardkeyCallback);
  EXPECT_EQ(SIM_HARDKEY_GetState(129), 0);
  EXPECT_EQ(SIM_HARDKEY_SetCallback(129, SIM_HardkeyCallback), nullptr);
  EXPECT_EQ(SIM_HARDKEY_SetState(3, 1), 0);
  EXPECT_EQ(SIM_HARDKEY_GetState(3), 1);
  int x = 0, y = 0;
  SIM_GetLCDPos(&x, &y);
  EXPECT_EQ(x, 59);
  EXPECT_EQ(y, 44);
  EXPECT_EQ(SIM_SetTransColor(0x123456), 0xFF0000u);
  SIM_SetKeyMaskHook(nullptr);
}

TEST_F(SimTest, PendingKeyIsKeptOnlyWhileTheSlotIsEmpty) {
  SIM_SetPendingKey(5);
  SIM_SetPendingKey(6);
  EXPECT_EQ(SIM_GetPendingKey(), 5);
  EXPECT_EQ(SIM_GetPendingKey(), 0);
}

TEST(SimApplication, ThreadStartsAndStopsPromptly) {
  lcdtest::UsePrivateSharedNames();
  ASSERT_EQ(SIM_InitHost(), 0);
  SIM_StartApplication();
  EXPECT_EQ(SIM_IsApplicationRunning(), 1);
  EXPECT_NE(SIM_GetLog().find("Application started"), std::string::npos);
  SIM_StopApplication();
  EXPECT_EQ(SIM_IsApplicationRunning(), 0);
  SIM_ExitHost();
}

// A thread that does not stop within the stop's wait is left to end on its own: its stop flag
// stays set, so it ends as soon as its wait returns, and it never shares a flag with the next
// thread started.
TEST(SimApplication, AThreadLeftBehindStillEnds) {
  lcdtest::UsePrivateSharedNames();
  ASSERT_EQ(SIM_InitHost(), 0);
  static std::atomic<int> calls;
  static std::atomic<bool> slow;
  static std::atomic<pid_t> thread;
  calls = 0;
  slow = true;
  SIM_SetDelayCallback([](int) {
    thread = static_cast<pid_t>(syscall(SYS_gettid));
    ++calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(slow ? 400 : 1));
  });
  SIM_StartApplication();
  while (calls == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  SIM_StopApplication();                 // gives up after 200 ms: the thread is still waiting
  EXPECT_EQ(SIM_IsApplicationRunning(), 0);
  slow = false;
  // The thread itself is gone from this process (a pause in its calls on a busy machine
  // would prove nothing); the deadline only bounds a hang.
  const std::string task = "/proc/self/task/" + std::to_string(thread.load());
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::filesystem::exists(task) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(std::filesystem::exists(task)) << "the thread left behind still runs";
  SIM_ExitHost();
}

}  // namespace
