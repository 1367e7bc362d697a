// The viewer's time texts and number texts.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <clocale>

#include "trendview/trend_text.h"

namespace {

class TimeTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    saved = tz ? tz : "";
    hadTz = tz != nullptr;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (hadTz)
      setenv("TZ", saved.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  std::string saved;
  bool hadTz = false;
};

TEST_F(TimeTexts, AbsoluteAndElapsed) {
  constexpr int64_t kDay1h1m1s = 86400 + 3600 + 60 + 1;
  struct Case {
    int64_t seconds, base;
    int language;
    bool hoursRunOn;
    const char* date;
    const char* clock;
  } cases[] = {
      {0, -7, 0, false, "1-JAN-1970", "00:00:01"},  // a negative base counts as 1: absolute
      {0, -7, 0, true, "01.01.1970", "00:00:01"},
      {3600 * 5 + 7, 959558400, 1, false, "29-MAY-2000", "05:00:07"},
      {-50, 86400 * 31, 0, true, "01.02.1970", "00:00:00"},  // negative seconds count as 0
      {kDay1h1m1s, 0, 0, false, "1 T", "01:01:01"},
      {kDay1h1m1s, 0, 2, false, "1 d", "01:01:01"},
      {kDay1h1m1s, 0, 0, true, "", "25:01:01"},
      {59, 0, 0, false, "", "00:00:59"},  // less than a day: no date
      {-5, 0, 1, false, "", "00:00:00"},
  };
  for (const Case& c : cases) {
    std::string date, clock;
    KurvanTimeTexts(c.seconds, c.base, c.language, c.hoursRunOn, &date, &clock);
    EXPECT_EQ(date, c.date) << c.seconds << " " << c.base;
    EXPECT_EQ(clock, c.clock) << c.seconds << " " << c.base;
  }
}

TEST(NumberTexts, FormatsWithoutTheLocale) {
  // Even with a decimal comma in the process locale (when the machine has one).
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  EXPECT_EQ(KurvanNumberText(5.0), "5.0");
  EXPECT_EQ(KurvanNumberText(0.1), "0.1");
  EXPECT_EQ(KurvanNumberText(-12.5), "-12.5");
  EXPECT_EQ(KurvanNumberText(123456789.0), "1.2345679e+08");
  EXPECT_EQ(KurvanNumberText(1e37), "1e+37");
  EXPECT_EQ(KurvanNumberText(2.5, 3), "2.500");
  EXPECT_EQ(KurvanNumberText(2.0, 0), "2");
  EXPECT_EQ(KurvanFixedText(12.5, 3, 7), " 12.500");
  EXPECT_EQ(KurvanFixedText(-1234.5, 3, 7), "-1234.500");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
