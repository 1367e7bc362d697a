// The trend record inside one process: layout of a new trend, appending samples, the reading
// rules for drawing, the channel configuration, the layout check, private records and locks.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <vector>

#include "support/trend_fixture.h"
#include "trendview/kurvex/kurvex.h"

namespace {

using trendtest::TrendTest;

constexpr uint32_t kStandardSize = 2666 + 1800 * (7 * 4 + 5) + TREND_TAIL_BYTES;

TEST_F(TrendTest, CreateLaysOutTheStandardTrend) {
  const time_t before = time(nullptr);
  KurvanHandle h = Make();
  ASSERT_NE(h, 0);
  uint8_t* rec = KurvanLock(h);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(TrendGetU32(rec, 0), 0x59375835u);
  EXPECT_EQ(std::memcmp(rec, "5X7Y", 4), 0);
  EXPECT_EQ(TrendGetU32(rec, 4), kStandardSize);
  EXPECT_GE(KurvanBlockBytes(h), kStandardSize);
  EXPECT_EQ(TrendGetU32(rec, 308), 200u);
  EXPECT_EQ(TrendGetU16(rec, 312), 1800);
  EXPECT_EQ(TrendGetU16(rec, 316), 7);
  EXPECT_EQ(TrendGetU16(rec, 318), 5);
  EXPECT_FLOAT_EQ(TrendGetF32(rec, 284), 360.0f);  // 1800 slots of 0.2 s
  EXPECT_EQ(TrendGetI16(rec, 340), 1);              // a = 1: clock times
  // The mapping name is the full name of the shared block, prefix included.
  EXPECT_EQ(TrendGetText(rec, 12, TREND_MAPNAME_BYTES), host::SharedNamePrefix() + "KurvanTrend.1");
  // b = 6: analog channels 1..6 shown, 7 hidden; all five digital channels shown.
  for (unsigned i = 0; i < 7; ++i) EXPECT_EQ(TrendGetU16(rec, TrendAnalogChannel(i) + 50), i < 6 ? 1 : 0) << i;
  EXPECT_EQ(TrendGetU16(rec, 304), 6);
  EXPECT_EQ(TrendGetU16(rec, 306), 5);
  EXPECT_EQ(TrendGetText(rec, TrendAnalogChannel(1), 17), "Analog 2");
  EXPECT_EQ(TrendGetText(rec, TrendDigitalChannel(4), 17), "Digital 5");
  EXPECT_FLOAT_EQ(TrendGetF32(rec, TrendAnalogChannel(0) + 60), 100.0f);
  EXPECT_EQ(TrendGetI16(rec, 1160), 100);
  EXPECT_NE(TrendGetU16(rec, 1142), 0);  // the viewer may configure it
  // Empty ring, every slot a gap, time base now.
  EXPECT_EQ(TrendGetU16(rec, 276), 0);
  EXPECT_EQ(TrendGetU16(rec, 278), 0);
  EXPECT_EQ(TrendGetU32(rec, 17066 + 4 * 1799), TREND_GAP_ANALOG_BITS);
  EXPECT_EQ(rec[53066 + 5 * 1800 - 1], 255);
  // (between the clock before the creation and after it, however long that took)
  EXPECT_GE(TrendGetI32(rec, 296), before);
  EXPECT_LE(TrendGetI32(rec, 296), time(nullptr));
  KurvanUnlock(h);
}

TEST_F(TrendTest, CreateRefusesImpossibleTrends) {
  struct Case {
    int analog;
    uint32_t period;
    int ring, c;
  } cases[] = {
      {9, 200, 1800, 5}, {-1, 200, 1800, 5}, {7, 200, 1800, 17}, {7, 200, 1800, -1},
      {7, 200, 0, 5},    {7, 200, 65536, 5}, {7, 0, 1800, 5},
  };
  for (const Case& c : cases)
    EXPECT_EQ(KurvanCreate(0, c.analog, c.period, c.ring, 1, 1, c.c), 0)
        << c.analog << " " << c.period << " " << c.ring << " " << c.c;
  // The largest trend there can be still fits.
  EXPECT_NE(Make(8, 1, 65535, 0, 8, 16), 0);
}

TEST_F(TrendTest, CycleAdvancesTheRingAndTheNewestTime) {
  KurvanHandle h = Make();
  float analog[7];
  unsigned char digital[12] = {};
  for (int n = 1; n <= 1805; ++n) {
    for (int i = 0; i < 7; ++i) analog[i] = static_cast<float>(n * 10 + i);
    digital[0] = n & 1;
    digital[4] = 7;  // any non-zero byte is stored as 1
    ASSERT_EQ(KurvanCycle(h, analog, digital, 1), 1);
    const uint8_t* rec = KurvanLock(h);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(TrendGetU16(rec, 276), n % 1800) << n;
    EXPECT_EQ(TrendGetU16(rec, 278), std::min(n, 1800)) << n;
    EXPECT_EQ(TrendGetU16(rec, 280), std::min(n, 1800)) << n;  // no viewer draws them
    EXPECT_EQ(TrendGetI32(rec, 288) * 1000 + TrendGetI32(rec, 292), n * 200) << n;
    if (n == 1800) {
      // Head back at 0: the newest sample is in the last slot.
      EXPECT_EQ(TrendSlotBefore(0, 0, 1800), 1799u);
      EXPECT_FLOAT_EQ(TrendGetF32(rec, 17066 + 4 * 1799), 18002.0f);  // channel 2
      EXPECT_FLOAT_EQ(TrendGetF32(rec, 2666 + 4 * 1799), 18000.0f);   // channel 0
      EXPECT_EQ(rec[53066 + 1799], 0);                                 // digital 1, n even
      EXPECT_EQ(rec[53066 + 4 * 1800 + 1799], 1);                      // digital 5
      EXPECT_EQ(rec[53066 + 1798], 1);
    }
    KurvanUnlock(h);
  }
}

TEST_F(TrendTest, ASampleFlagOfZeroOrMissingValuesWriteGaps) {
  KurvanHandle h = Make(2, 200, 4, 1, 2, 1);
  const float analog[2] = {1.0f, 2.0f};
  const unsigned char digital[1] = {1};
  KurvanCycle(h, analog, digital, 0);
  KurvanCycle(h, nullptr, digital, 1);
  KurvanCycle(h, analog, nullptr, 1);
  const uint8_t* rec = KurvanLock(h);
  TrendLayout l;
  ASSERT_TRUE(TrendCheckLayout(rec, KurvanBlockBytes(h), &l));
  EXPECT_EQ(TrendGetU32(rec, l.AnalogRing(0) + 0), TREND_GAP_ANALOG_BITS);
  EXPECT_EQ(rec[l.DigitalRing(0) + 0], 255);
  EXPECT_EQ(TrendGetU32(rec, l.AnalogRing(1) + 4), TREND_GAP_ANALOG_BITS);
  EXPECT_EQ(rec[l.DigitalRing(0) + 1], 1);
  EXPECT_FLOAT_EQ(TrendGetF32(rec, l.AnalogRing(1) + 8), 2.0f);
  EXPECT_EQ(rec[l.DigitalRing(0) + 2], 255);
  KurvanUnlock(h);
}

// Values as the viewer draws them: the table sets the ring of analog channel 0 and digital
// channel 0 (4 slots) and reads one slot.
TEST(TrendReading, GapsTakeTheOlderSlotOrTheScaleMinimum) {
  std::vector<uint8_t> rec(2666 + 4 * 5, 0);
  TrendLayout l;
  l.size = static_cast<uint32_t>(rec.size());
  l.ring = 4;
  l.analog = 1;
  l.digital = 1;
  TrendPutF32(rec.data(), TrendAnalogChannel(0) + TREND_CH_MIN, -5.0f);
  const uint32_t gap = TREND_GAP_ANALOG_BITS;
  struct Case {
    const char* what;
    uint32_t older, slot;  // analog slot 0 and slot 1 as bits; slot 1 is read
    float expected;
  } cases[] = {
      {"value", 0x40400000u, 0x40000000u, 2.0f},
      {"gap with an older value", 0x40400000u, gap, 3.0f},
      {"two gaps", gap, gap, -5.0f},
  };
  for (const Case& c : cases) {
    TrendPutU32(rec.data(), l.AnalogRing(0) + 0, c.older);
    TrendPutU32(rec.data(), l.AnalogRing(0) + 4, c.slot);
    EXPECT_FLOAT_EQ(TrendAnalogForDrawing(rec.data(), l, 0, 1), c.expected) << c.what;
  }
  // The slot older than slot 0 is the last one.
  TrendPutU32(rec.data(), l.AnalogRing(0) + 12, 0x41000000u);
  TrendPutU32(rec.data(), l.AnalogRing(0) + 0, gap);
  EXPECT_FLOAT_EQ(TrendAnalogForDrawing(rec.data(), l, 0, 0), 8.0f);
  uint8_t* d = rec.data() + l.DigitalRing(0);
  d[0] = 1;
  d[1] = 255;
  d[2] = 0;
  EXPECT_EQ(TrendDigitalForDrawing(rec.data(), l, 0, 1), 1);
  EXPECT_EQ(TrendDigitalForDrawing(rec.data(), l, 0, 2), 0);
  // A channel that does not exist reads as 0 and never beyond the rings.
  EXPECT_EQ(TrendAnalogForDrawing(rec.data(), l, 1, 0), 0.0f);
  EXPECT_EQ(TrendDigitalForDrawing(rec.data(), l, 3, 0), 0);
}

TEST(TrendReading, SlotsAndTimesCountBackFromTheNewest) {
  EXPECT_EQ(TrendSlotBefore(5, 0, 10), 4u);
  EXPECT_EQ(TrendSlotBefore(5, 5, 10), 9u);
  EXPECT_EQ(TrendSlotBefore(0, 9, 10), 0u);
  EXPECT_EQ(TrendSlotBefore(3, 13, 10), 9u);  // k beyond the ring wraps
  std::vector<uint8_t> rec(2700, 0);
  TrendLayout l;
  l.ring = 1800;
  TrendPutI32(rec.data(), TREND_REC_TIME_S, 100);
  TrendPutI32(rec.data(), TREND_REC_TIME_MS, 400);
  TrendPutF32(rec.data(), TREND_REC_SPAN, 360.0f);
  EXPECT_DOUBLE_EQ(TrendSampleTime(rec.data(), l, 0), 100.4);
  EXPECT_NEAR(TrendSampleTime(rec.data(), l, 2), 100.0, 1e-9);
}

TEST_F(TrendTest, HeadOrValidCountBrokenByAnotherWriterStartAgainSoundly) {
  KurvanHandle h = Make(1, 200, 10, 0, 1, 1);
  uint8_t* rec = KurvanLock(h);
  TrendPutU16(rec, TREND_REC_HEAD, 5000);
  TrendPutU16(rec, TREND_REC_VALID, 60000);
  TrendPutU16(rec, TREND_REC_PENDING, 60000);
  KurvanUnlock(h);
  const float v = 4.0f;
  const unsigned char d = 1;
  ASSERT_EQ(KurvanCycle(h, &v, &d, 1), 1);
  rec = KurvanLock(h);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(TrendGetU16(rec, TREND_REC_HEAD), 1);
  EXPECT_EQ(TrendGetU16(rec, TREND_REC_VALID), 10);
  EXPECT_EQ(TrendGetU16(rec, TREND_REC_PENDING), 10);
  EXPECT_FLOAT_EQ(TrendGetF32(rec, 2666), 4.0f);
  KurvanUnlock(h);
}

TEST_F(TrendTest, ResetDropsAllSamples) {
  KurvanHandle h = Make(1, 1500, 10, 0, 1, 1);
  const float v = 1.0f;
  const unsigned char d = 1;
  for (int i = 0; i < 3; ++i) KurvanCycle(h, &v, &d, 1);
  uint8_t* rec = KurvanLock(h);
  EXPECT_EQ(TrendGetI32(rec, TREND_REC_TIME_S), 4);
  EXPECT_EQ(TrendGetI32(rec, TREND_REC_TIME_MS), 500);
  KurvanUnlock(h);
  ASSERT_EQ(KurvanReset(h), 1);
  rec = KurvanLock(h);
  for (uint32_t off : {276u, 278u, 280u}) EXPECT_EQ(TrendGetU16(rec, off), 0) << off;
  EXPECT_EQ(TrendGetI32(rec, 288), 0);
  EXPECT_EQ(TrendGetI32(rec, 292), 0);
  EXPECT_EQ(TrendGetU32(rec, 2666), TREND_GAP_ANALOG_BITS);
  EXPECT_EQ(rec[2666 + 40], 255);
  KurvanUnlock(h);
}

TEST_F(TrendTest, ChannelConfigRoundTrips) {
  KurvanHandle h = Make();
  uint8_t channels[KURVAN_CONFIG_BYTES] = {}, extra[KURVAN_EXTRA_BYTES] = {};
  TrendPutU32(channels, 0, 1420);
  TrendPutU32(extra, 0, 552);
  ASSERT_EQ(KurvanGetChannelConfig(h, channels, extra), 1);
  EXPECT_EQ(TrendGetU32(channels, 0), 1420u);
  EXPECT_EQ(TrendGetU32(extra, 0), 552u);
  EXPECT_EQ(TrendGetI16(channels, KURVAN_CFG_ABS_TIME), 1);
  EXPECT_EQ(TrendGetText(channels, KURVAN_CFG_ANALOG + 64, 17), "Analog 2");

  TrendPutU32(channels, KURVAN_CFG_ANALOG + 3 * 64 + 52, 0x00123456);
  TrendPutText(channels, KURVAN_CFG_DIGITAL + 56, 17, "Auto/Hand");
  TrendPutI16(channels, KURVAN_CFG_LEFT_SCALE, 2);
  TrendPutI16(channels, KURVAN_CFG_RIGHT_SCALE, 0);
  TrendPutU16(channels, KURVAN_CFG_ANALOG + 6 * 64 + 50, 1);  // channel 7 shown
  TrendPutU32(extra, KURVAN_EXTRA_LOOK, 0x00EEEEEE);          // background
  ASSERT_EQ(KurvanSetChannelConfig(h, channels, extra), 1);
  const uint8_t* rec = KurvanLock(h);
  EXPECT_EQ(TrendGetU32(rec, 1406), 0x00123456u);  // 1162 + 3 x 64 + 52
  EXPECT_EQ(TrendGetText(rec, 1674 + 56, 17), "Auto/Hand");
  EXPECT_EQ(TrendGetI16(rec, 1132), 2);
  EXPECT_EQ(TrendGetU32(rec, 320), 0x00EEEEEEu);
  EXPECT_EQ(TrendGetU16(rec, 304), 7);  // the shown count follows
  KurvanUnlock(h);

  uint8_t back[KURVAN_CONFIG_BYTES] = {}, extraBack[KURVAN_EXTRA_BYTES] = {};
  TrendPutU32(back, 0, 1420);
  TrendPutU32(extraBack, 0, 552);
  ASSERT_EQ(KurvanGetChannelConfig(h, back, extraBack), 1);
  EXPECT_EQ(std::memcmp(back, channels, sizeof back), 0);
  EXPECT_EQ(std::memcmp(extraBack, extra, sizeof extra), 0);
}

TEST_F(TrendTest, ChannelConfigIsCheckedBeforeUse) {
  KurvanHandle h = Make();
  uint8_t channels[KURVAN_CONFIG_BYTES] = {}, extra[KURVAN_EXTRA_BYTES] = {};
  // A buffer that says it is smaller than the configuration is neither filled nor read.
  TrendPutU32(channels, 0, 1000);
  EXPECT_EQ(KurvanGetChannelConfig(h, channels, nullptr), 0);
  EXPECT_EQ(TrendGetU32(channels, 4), 0u);
  EXPECT_EQ(KurvanSetChannelConfig(h, channels, nullptr), 0);
  TrendPutU32(channels, 0, 1420);
  TrendPutU32(extra, 0, 100);
  EXPECT_EQ(KurvanGetChannelConfig(h, channels, extra), 0);
  ASSERT_EQ(KurvanGetChannelConfig(h, channels, nullptr), 1);
  // Scale channels outside -1..7 become none; unterminated texts are terminated.
  TrendPutI16(channels, KURVAN_CFG_LEFT_SCALE, 9);
  TrendPutI16(channels, KURVAN_CFG_RIGHT_SCALE, -7);
  std::memset(channels + KURVAN_CFG_ANALOG, 'x', 50);
  ASSERT_EQ(KurvanSetChannelConfig(h, channels, nullptr), 1);
  const uint8_t* rec = KurvanLock(h);
  EXPECT_EQ(TrendGetI16(rec, 1132), -1);
  EXPECT_EQ(TrendGetI16(rec, 1134), -1);
  EXPECT_EQ(TrendGetText(rec, 1162, 17), std::string(16, 'x'));
  EXPECT_EQ(rec[1162 + 16], 0);
  EXPECT_EQ(rec[1162 + 49], 0);
  KurvanUnlock(h);
}

TEST_F(TrendTest, TitleAndLanguage) {
  KurvanHandle h = Make();
  ASSERT_EQ(KurvanSetTitle(h, "Trend/SIM74-2 (6 min.)"), 1);
  std::string longTitle(400, 'T');
  EXPECT_EQ(KurvanSetLanguage(h, 2), 1);
  EXPECT_EQ(KurvanSetLanguage(h, 6), 0);
  EXPECT_EQ(KurvanSetLanguage(h, -1), 0);
  uint8_t* rec = KurvanLock(h);
  EXPECT_EQ(TrendGetText(rec, 344, TREND_NAME_BYTES), "Trend/SIM74-2 (6 min.)");
  EXPECT_EQ(TrendGetU16(rec, 606), 2);
  KurvanUnlock(h);
  ASSERT_EQ(KurvanSetTitle(h, longTitle.c_str()), 1);
  rec = KurvanLock(h);
  EXPECT_EQ(TrendGetText(rec, 344, TREND_NAME_BYTES), std::string(261, 'T'));
  EXPECT_EQ(TrendGetU16(rec, 606), 2);  // the language after the name is untouched
  KurvanUnlock(h);
}

// The layout check on a sound record of 2 analog and 3 digital channels of 10 slots, with
// one field changed per case.
TEST(TrendLayoutCheck, RefusesWhatDoesNotFit) {
  const uint32_t size = 2666 + 10 * (2 * 4 + 3);
  struct Case {
    const char* what;
    uint32_t off;
    int bytes;
    uint32_t value;
    bool sound;
  } cases[] = {
      {"sound", 0, 0, 0, true},
      {"other magic", 0, 4, 0x12345678, false},
      {"S below the header", 4, 4, 2665, false},
      {"S beyond the block", 4, 4, size + 1, false},
      {"9 analog channels", 316, 2, 9, false},
      {"17 digital channels", 318, 2, 17, false},
      {"ring of 0", 312, 2, 0, false},
      {"rings beyond S", 312, 2, 11, false},
      {"head at the ring length", 276, 2, 10, false},
      {"head in the ring", 276, 2, 9, true},
      {"more valid than slots", 278, 2, 11, false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> rec(size, 0);
    TrendPutU32(rec.data(), 0, TREND_MAGIC);
    TrendPutU32(rec.data(), 4, size);
    TrendPutU16(rec.data(), 312, 10);
    TrendPutU16(rec.data(), 316, 2);
    TrendPutU16(rec.data(), 318, 3);
    if (c.bytes == 4) TrendPutU32(rec.data(), c.off, c.value);
    if (c.bytes == 2) TrendPutU16(rec.data(), c.off, static_cast<uint16_t>(c.value));
    TrendLayout l;
    EXPECT_EQ(TrendCheckLayout(rec.data(), rec.size(), &l), c.sound) << c.what;
    if (c.sound) {
      EXPECT_EQ(l.DigitalRing(0), 2666u + 80u);
      EXPECT_EQ(l.DigitalRing(2), 2666u + 100u);
    }
  }
  EXPECT_FALSE(TrendCheckLayout(nullptr, 5000, nullptr));
  std::vector<uint8_t> small(100, 0);
  EXPECT_FALSE(TrendCheckLayout(small.data(), small.size(), nullptr));
}

TEST_F(TrendTest, PrivateRecordsAndSnapshots) {
  EXPECT_EQ(KurvanAlloc(0, 2665), 0);
  EXPECT_EQ(KurvanAlloc(0, TREND_MAX_RECORD_BYTES + 1), 0);
  KurvanHandle blank = Keep(KurvanAlloc(0, 3000));
  ASSERT_NE(blank, 0);
  uint8_t* rec = KurvanLock(blank);  // a private record is handed out as it is
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(TrendGetU32(rec, 0), TREND_MAGIC);
  EXPECT_EQ(TrendGetU32(rec, 4), 3000u);
  EXPECT_EQ(rec[12], 0);
  KurvanUnlock(blank);
  EXPECT_EQ(KurvanCopy(blank), 0);  // but a copy needs a sound layout
  EXPECT_EQ(KurvanCycle(blank, nullptr, nullptr, 1), 0);

  // Hold: the live record stays locked while the snapshot is taken (locks nest).
  KurvanHandle live = Make(1, 200, 10, 0, 1, 1);
  const float v = 1.5f;
  const unsigned char d = 1;
  KurvanCycle(live, &v, &d, 1);
  ASSERT_NE(KurvanLock(live), nullptr);
  KurvanHandle snap = Keep(KurvanCopy(live));
  ASSERT_NE(snap, 0);
  KurvanUnlock(live);
  KurvanCycle(live, &v, &d, 1);
  const uint8_t* s = KurvanLock(snap);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(TrendGetU16(s, TREND_REC_HEAD), 1);  // frozen at the copy
  EXPECT_EQ(TrendGetU32(s, 4), KurvanBlockBytes(snap));
  KurvanUnlock(snap);
  const uint8_t* l = KurvanLock(live);
  EXPECT_EQ(TrendGetU16(l, TREND_REC_HEAD), 2);
  KurvanUnlock(live);
}

TEST_F(TrendTest, LocksNestAndStrayUnlocksDoNothing) {
  KurvanHandle h = Make(1, 200, 10, 0, 1, 1);
  KurvanUnlock(h);  // not held: nothing happens
  ASSERT_NE(KurvanLock(h), nullptr);
  ASSERT_NE(KurvanLock(h), nullptr);
  KurvanUnlock(h);
  KurvanUnlock(h);
  KurvanUnlock(h);
  // Another thread gets the lock now (it would time out if one level were still held).
  std::thread other([&] {
    EXPECT_NE(KurvanLock(h), nullptr);
    KurvanUnlock(h);
  });
  other.join();
  // Destroying a trend while holding its lock releases it first.
  KurvanHandle p = KurvanAlloc(0, 3000);
  ASSERT_NE(KurvanLock(p), nullptr);
  KurvanDestroy(p);
  EXPECT_EQ(KurvanLock(p), nullptr);
}

TEST_F(TrendTest, UnknownHandlesAreRefused) {
  const KurvanHandle none = 987654;
  uint8_t channels[KURVAN_CONFIG_BYTES] = {};
  TrendPutU32(channels, 0, 1420);
  EXPECT_EQ(KurvanLock(none), nullptr);
  EXPECT_EQ(KurvanCycle(none, nullptr, nullptr, 1), 0);
  EXPECT_EQ(KurvanReset(none), 0);
  EXPECT_EQ(KurvanSetTitle(none, "x"), 0);
  EXPECT_EQ(KurvanSetLanguage(none, 1), 0);
  EXPECT_EQ(KurvanGetChannelConfig(none, channels, nullptr), 0);
  EXPECT_EQ(KurvanSetChannelConfig(none, channels, nullptr), 0);
  EXPECT_EQ(KurvanIsVisible(none), 0);
  EXPECT_EQ(KurvanShowFrame(none, 5), 0);
  EXPECT_EQ(KurvanChannelConfigDialog(none), 0);
  EXPECT_EQ(KurvanCopy(none), 0);
  EXPECT_EQ(KurvanBlockBytes(none), 0u);
  KurvanUnlock(none);
  KurvanDestroy(none);
}

}  // namespace
