// Fixture for the trend library: shared-block names private to the test process, the
// stand-in viewer as the program the library starts, and every handle made through it
// destroyed at the end. Its waits and the library's time-outs only bound a hang (a sanitizer
// build on a loaded machine can be 20 times slower); a test of a time-out sets its own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/shared_block.h"
#include "support/test_env.h"
#include "trendview/kurvex/kurvex.h"

namespace trendtest {

// Polls `done` every 5 ms for up to `ms` milliseconds.
inline bool WaitFor(const std::function<bool()>& done, int ms = 60000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class TrendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::SetSharedNamePrefix(testenv::SharedNamePrefix());
    KurvanOptions o;
#ifdef KURVAN_STANDIN_PATH
    o.viewerPath = KURVAN_STANDIN_PATH;
#endif
    o.lockTimeoutMs = 60000;
    o.stopTimeoutMs = 60000;
    o.dialogTimeoutMs = 60000;
    KurvanSetOptions(o);
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    logPath = ::testing::TempDir() + "kurvan_" + std::to_string(getpid()) + "_" + info->name() + ".log";
    std::remove(logPath.c_str());
    setenv("KURVAN_STANDIN_LOG", logPath.c_str(), 1);
    setenv("KURVAN_STANDIN_CONFIG", "ok", 1);
  }
  void TearDown() override {
    for (KurvanHandle h : made) KurvanDestroy(h);
    std::remove(logPath.c_str());
  }
  // The standard trend of the simulator: 7 analog channels, 200 ms, 1800 slots, 5 digital.
  KurvanHandle Make(int analog = 7, uint32_t period = 200, int ring = 1800, int a = 1, int b = 6, int c = 5) {
    KurvanHandle h = KurvanCreate(0, analog, period, ring, a, b, c);
    if (h) made.push_back(h);
    return h;
  }
  KurvanHandle Keep(KurvanHandle h) {
    if (h) made.push_back(h);
    return h;
  }
  bool LogHas(const std::string& line, int ms = 60000) {
    return WaitFor([&] { return ReadText(logPath).find(line + "\n") != std::string::npos; }, ms);
  }
  std::vector<KurvanHandle> made;
  std::string logPath;
};

}  // namespace trendtest
