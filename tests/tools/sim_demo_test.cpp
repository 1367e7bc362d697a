// The headless demo program on the demo's description: it builds the whole engineering
// (display objects included), runs it on the demo's device with the demo's plant, and prints
// the first controller's X, W and Y, in which the process value follows the setpoint.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Row {
  int cycle;
  double x, w, y;
};

// The program's printed rows of X, W and Y (lines of six fields beginning with the cycle).
std::vector<Row> RunDemo(const std::string& command, std::string* all) {
  std::vector<Row> rows;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return rows;
  char line[512];
  while (std::fgets(line, sizeof line, p)) {
    *all += line;
    std::istringstream in(line);
    Row r{};
    double time = 0;
    std::string state;
    if (in >> r.cycle >> time >> state >> r.x >> r.w >> r.y && state == "running") rows.push_back(r);
  }
  pclose(p);
  return rows;
}

TEST(SimDemo, TheDemosProcessValueFollowsItsSetpoint) {
  std::string all;
  const std::vector<Row> rows =
      RunDemo(std::string(SIM_DEMO_PROGRAM) + " 600 " + SIM_SOURCE_TOP + "/assets/demo.eng 10 2>&1", &all);
  ASSERT_GE(rows.size(), 50u) << all;
  EXPECT_NE(all.find("controller 100"), std::string::npos) << all;
  const Row& first = rows.front();
  const Row& last = rows.back();
  EXPECT_EQ(last.cycle, 600);
  EXPECT_LT(first.x, 5.0) << "a cold plant at the start";
  // After a minute the loop has closed: X has risen to within 5 % of the range of the
  // programmer's ramping setpoint, which it never runs far past.
  EXPECT_NEAR(last.x, last.w, 5.0) << all;
  for (const Row& r : rows) {
    EXPECT_LE(r.x, r.w + 5.0) << "cycle " << r.cycle;
    EXPECT_GE(r.y, 0.0);
    EXPECT_LE(r.y, 100.0);
  }
}

}  // namespace
