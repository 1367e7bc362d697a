// System data of block 0 and the device clock: numbered reads and writes, the store cycle,
// the clock set and re-read, dates and seconds, and the limit callbacks.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "runtime/fw_clock.h"
#include "runtime/fw_sysdata.h"
#include "runtime/runtime_state.h"

namespace {

std::tm g_hostTime{};
bool hostTime(std::tm* out) {
  *out = g_hostTime;
  return true;
}
bool noTime(std::tm*) { return false; }

std::tm makeTm(int year, int month, int day, int hour, int minute, int second, int wday) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_wday = wday;
  return t;
}

class SystemData : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetFirmware();
    FW_RegisterSystemType();
    g_hostTime = makeTm(2026, 12, 10, 8, 30, 15, 4);
    FW_SetTimeSource(hostTime);
    FW_InitSystemData();
  }
  void TearDown() override { FW_SetTimeSource(nullptr); }

  static uint8_t* image() { return FW_SysImage(); }

  uint8_t write(int16_t id, uint16_t value, uint16_t* bad = nullptr) {
    FbParamRequest r = FB_WordRequest(0, id, value);
    return FW_WriteSystemData(&r, bad);
  }
  uint8_t writeSet(int16_t id, std::vector<uint16_t> words, uint16_t* bad) {
    FbParamRequest r = FB_SetRequest(0, id, words, {});
    return FW_WriteSystemData(&r, bad);
  }
  // A read: the answer's first word (or byte), and the result through *result.
  uint32_t read(int16_t number, uint8_t* result = nullptr) {
    FbParamRequest r(0, static_cast<int16_t>(-number));
    const uint8_t res = FW_WriteSystemData(&r, nullptr);
    if (result) *result = res;
    switch (g_fwSys.answerLength) {
      case 1: return r.u8(4);
      case 4: return r.u32(4);
      default: return r.u16(4);
    }
  }
  // Drains the write rings and runs the system block for n ticks.
  void cycle(int n = 1) {
    g_fwEeprom.present = 1;
    for (int i = 0; i < n; ++i) {
      FW_SystemCycle();
      FW_EepromWriteBack();
    }
  }
};

TEST_F(SystemData, InitTakesTheHostClock) {
  const FwClockFields& c = g_fwClock.now;
  EXPECT_EQ(c.year, 2026);
  EXPECT_EQ(c.month, 12);
  EXPECT_EQ(c.day, 10);
  EXPECT_EQ(c.hour, 8);
  EXPECT_EQ(c.minute, 30);
  EXPECT_EQ(c.second, 15);
  EXPECT_EQ(c.weekday, 4);
  EXPECT_EQ(g_fwClock.edit[3], 8);
  FW_SetTimeSource(noTime);
  FW_InitSystemData();
  EXPECT_EQ(c.year, 2000);
  EXPECT_EQ(c.day, 1);
  EXPECT_EQ(c.hour, 0);
}

TEST_F(SystemData, HostYearsMapIntoTheClockRange) {
  struct Case {
    int year;
    uint16_t clock;
  } cases[] = {{2069, 2069}, {1970, 1970}, {2030, 2030}, {1999, 1999}, {2170, 1970}};
  for (const Case& k : cases) {
    g_hostTime = makeTm(k.year, 1, 1, 0, 0, 0, 0);
    ASSERT_EQ(FW_ReadHostClock(), 1);
    EXPECT_EQ(g_fwClock.now.year, k.clock) << k.year;
  }
}

TEST_F(SystemData, YearWrites) {
  struct Case {
    uint16_t value;
    uint8_t result;
    uint16_t year;
  } cases[] = {{69, 0, 2069},  {70, 0, 1970},   {0, 0, 2000},   {99, 0, 1999}, {1970, 0, 1970},
               {2069, 0, 2069}, {1969, 'l', 0}, {2070, 'l', 0}, {100, 'l', 0}, {0xFFFF, 'l', 0}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.value);
    g_fwClock.edit[0] = 2026;
    g_fwClock.setPending = 0;
    EXPECT_EQ(write(1250, k.value), k.result);
    if (k.result == 0) {
      EXPECT_EQ(g_fwClock.edit[0], k.year);
      EXPECT_EQ(g_fwClock.setPending, 1);
    } else {
      EXPECT_EQ(g_fwClock.edit[0], 2026);
      EXPECT_EQ(g_fwClock.setPending, 0);
    }
  }
  g_fwClock.setPending = 0;
  ASSERT_EQ(write(1250, 69), FB_OK);
  cycle();
  EXPECT_EQ(g_fwClock.now.year, 2069);
  EXPECT_EQ(read(1250), 69u);
  EXPECT_TRUE(read(561) & 0x400) << "the clock was set";
}

TEST_F(SystemData, ASetStandsForTwentyTicks) {
  ASSERT_EQ(write(1253, 17), FB_OK);
  ASSERT_EQ(write(1254, 5), FB_OK);
  cycle();
  EXPECT_EQ(g_fwClock.now.hour, 17);
  EXPECT_EQ(g_fwClock.now.minute, 5);
  EXPECT_EQ(g_fwClock.now.weekday, 4) << "2026-12-10 is a Thursday";
  cycle(19);
  EXPECT_EQ(g_fwClock.now.hour, 17);
  cycle();
  EXPECT_EQ(g_fwClock.now.hour, 8) << "read again from the PC";
  EXPECT_EQ(g_fwClock.edit[3], 8);
  // Afterwards the counter restarts at 1 and reads the clock again when it reaches 10.
  g_hostTime.tm_min = 31;
  cycle(8);
  EXPECT_EQ(g_fwClock.now.minute, 30);
  cycle();
  EXPECT_EQ(g_fwClock.now.minute, 31);
}

TEST_F(SystemData, WholeClockSetIsAllOrNothing) {
  const uint16_t before[5] = {g_fwClock.edit[0], g_fwClock.edit[1], g_fwClock.edit[2],
                              g_fwClock.edit[3], g_fwClock.edit[4]};
  struct Case {
    std::vector<uint16_t> words;
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {{24, 3, 15, 10, 60, 0, 0, 0}, 'l', 5},
      {{24, 2, 30, 10, 0, 0, 0, 0}, 'l', 3},   // February 2024 has 29 days
      {{23, 2, 29, 10, 0, 0, 0, 0}, 'l', 3},
      {{24, 13, 1, 10, 0, 0, 0, 0}, 'l', 2},
      {{1969, 1, 1, 0, 0, 0, 0, 0}, 'l', 1},
      {{24, 1, 1, 24, 0, 0, 0, 0}, 'l', 4},
      {{24, 1, 1, 0, 0, 0, 2, 0}, 'l', 7},
      {{24, 1, 1, 0, 0, 0, 0}, 'y', 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.bad);
    uint16_t bad = 99;
    EXPECT_EQ(writeSet(4000, k.words, &bad), k.result);
    EXPECT_EQ(bad, k.bad);
    EXPECT_EQ(std::memcmp(before, g_fwClock.edit, sizeof before), 0);
    EXPECT_EQ(g_fwClock.setPending, 0);
    EXPECT_EQ(g_fwSys.flagShadow[1], 0);
  }
  uint16_t bad = 0;
  ASSERT_EQ(writeSet(4000, {24, 2, 29, 23, 59, 0, 1, 0}, &bad), FB_OK);
  EXPECT_EQ(g_fwSys.flagShadow[1], 1);
  cycle();
  EXPECT_EQ(g_fwClock.now.year, 2024);
  EXPECT_EQ(g_fwClock.now.day, 29);
  EXPECT_EQ(g_fwClock.now.weekday, 4);
  EXPECT_EQ(image()[FW_SYS_FLAGS38] & 7, 2);
  FbParamRequest r(0, -4000);
  ASSERT_EQ(FW_WriteSystemData(&r, nullptr), FB_OK);
  EXPECT_EQ(r.u8(4), 9);
  EXPECT_EQ(r.u16(8), 24);
  EXPECT_EQ(r.u16(12), 29);
  EXPECT_EQ(r.u16(20), 1);
}

TEST_F(SystemData, RunModeRequests) {
  g_fwRunMode = FW_RUN_MODE_RUN;
  image()[FW_SYS_RUN_MODE] = 2;
  uint16_t bad = 0;
  EXPECT_EQ(write(500, 2), FB_ERR_NOT_NOW);
  EXPECT_EQ(write(500, 7, &bad), FB_ERR_LIMITS);
  EXPECT_EQ(read(500), 0u);
  ASSERT_EQ(write(500, 1), FB_OK);
  cycle();
  EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_STOP);
  EXPECT_EQ(image()[FW_SYS_RUN_MODE], 1);
  EXPECT_TRUE(FW_SysStatus() & FW_STAT_STOPPED);
  EXPECT_EQ(read(500), 1u);
  EXPECT_EQ(read(0) & 2, 2u);

  EXPECT_EQ(write(500, 0), FB_ERR_NOT_NOW) << "not without a checked engineering";
  FW_SysStatus() |= FW_STAT_CHECKED;
  ASSERT_EQ(write(500, 0), FB_OK);
  cycle();
  EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_RUN);
  EXPECT_EQ(image()[FW_SYS_RUN_MODE], 2);
  EXPECT_FALSE(FW_SysStatus() & FW_STAT_STOPPED);
}

TEST_F(SystemData, LoadAndRunFromTheImage) {
  rt::registerType(rt::kT11);
  ASSERT_EQ(FB_CreateInstance(11, 150), FB_OK);
  EXPECT_EQ(write(500, 2), FB_ERR_NOT_NOW) << "no engineering in the image";
  EXPECT_NE(FB_GetInstance(150), nullptr) << "the refused load cleared nothing";
  std::memcpy(image(), "MX7N", 4);
  std::memcpy(image() + 14, "9999-Z", 6);
  EXPECT_EQ(write(500, 2), FB_ERR_NOT_NOW) << "another firmware's image";
  EXPECT_NE(FB_GetInstance(150), nullptr);

  std::memcpy(image() + 14, "1230-A\x04\x02", 8);
  ASSERT_EQ(write(500, 2), FB_OK);   // an empty engineering loads and passes its checks
  EXPECT_EQ(FB_GetInstance(150), nullptr);
  cycle();
  EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_RUN);
  EXPECT_EQ(image()[FW_SYS_RUN_MODE], 2);
}

TEST_F(SystemData, InterfaceSettingsAndTheAddressReset) {
  uint16_t bad = 0;
  EXPECT_EQ(write(3002, 150, &bad), FB_ERR_LIMITS) << "ASCII allows addresses up to 99";
  ASSERT_EQ(write(3000, 3), FB_OK);   // Modbus
  cycle();
  EXPECT_EQ(image()[FW_SYS_PROTOCOL], 3);
  ASSERT_EQ(write(3002, 150), FB_OK);
  cycle();
  EXPECT_EQ(image()[FW_SYS_ADDRESS], 150);
  EXPECT_EQ(write(3000, 2), FB_ERR_LIMITS) << "ASCII or Modbus";
  int inits = 0;
  static int* counter = nullptr;
  counter = &inits;
  g_fwSysHooks.serialInit = [] { ++*counter; };
  ASSERT_EQ(write(3000, 0), FB_OK);
  cycle();
  EXPECT_EQ(g_fwSys.shadow[FW_SH_ADDRESS], 1);
  EXPECT_EQ(image()[FW_SYS_ADDRESS], 1);
  EXPECT_EQ(inits, 1);

  // The option card narrows the protocol to one value and allows addresses up to 126.
  image()[FW_SYS_ORDER_DIGITS + 2] = '3';
  EXPECT_EQ(write(3000, 0), FB_ERR_LIMITS);
  EXPECT_EQ(write(3000, 1), FB_OK);
  EXPECT_EQ(write(3002, 126), FB_OK);
  EXPECT_EQ(write(3002, 127), FB_ERR_LIMITS);

  // All nine values are checked before any is taken.
  EXPECT_EQ(writeSet(4010, {1, 4, 50, 1, 2, 24, 9, 1, 60}, &bad), FB_ERR_LIMITS);
  EXPECT_EQ(bad, 7);
  EXPECT_EQ(g_fwSys.shadow[FW_SH_BAUD], 0);
  ASSERT_EQ(writeSet(4010, {1, 4, 50, 1, 2, 24, 8, 1, 60}, &bad), FB_OK);
  cycle();
  EXPECT_EQ(image()[FW_SYS_BAUD], 4);
  EXPECT_EQ(image()[FW_SYS_LANGUAGE], 2);
  EXPECT_EQ(image()[FW_SYS_BUS_NODE], 24);
  EXPECT_EQ(image()[FW_SYS_BYTE49], 60);
  EXPECT_EQ(read(3005), 24u);

  // The bus node cannot change while the device runs.
  g_fwRunMode = FW_RUN_MODE_RUN;
  EXPECT_EQ(write(3005, 3), FB_ERR_LIMITS);
  EXPECT_EQ(write(3005, 24), FB_OK);
}

TEST_F(SystemData, StatusFlagsAndLocks) {
  uint16_t bad = 0;
  ASSERT_EQ(write(501, 1), FB_OK);
  ASSERT_EQ(write(507, 1), FB_OK);
  ASSERT_EQ(write(1256, 1), FB_OK);
  EXPECT_EQ(write(1255, 2, &bad), FB_ERR_LIMITS);
  EXPECT_EQ(write(508, 3, &bad), FB_ERR_LIMITS);
  cycle();
  EXPECT_EQ(image()[FW_SYS_FLAGS38], 0x20 | 0x10 | 0x02);
  EXPECT_EQ(read(501), 1u);
  EXPECT_EQ(read(507), 1u);
  EXPECT_EQ(read(1256), 1u);
  EXPECT_EQ(read(1), 0x08u | 0x20u);   // byte 38 bit 1, write lock
  EXPECT_EQ(read(0) & 0x04, 0x04u);     // byte 38 bit 5
  g_fwSys.locks[2] = 1;
  EXPECT_EQ(read(1) & 0x10, 0x10u) << "a lock reads like its flag";
  ASSERT_EQ(write(508, 0), FB_OK);
  cycle();
  EXPECT_EQ(image()[FW_SYS_FLAGS38] & 0x20, 0);

  FW_SysStatus() = FW_STAT_LOADED | FW_STAT_CHECKED | FW_STAT_CHANGED;
  EXPECT_EQ(read(502), 1u);
  EXPECT_EQ(write(502, 1, &bad), FB_ERR_LIMITS);
  ASSERT_EQ(write(502, 0), FB_OK);
  EXPECT_EQ(read(502), 0u);
  ASSERT_EQ(write(506, 1), FB_OK);
  EXPECT_EQ(read(506), 1u);
  EXPECT_EQ(read(0) & 0x10, 0x10u);

  // Resetting the engineering: only while stopped and not locked.
  g_fwRunMode = FW_RUN_MODE_RUN;
  EXPECT_EQ(write(503, 1), FB_ERR_NOT_NOW);
  g_fwRunMode = FW_RUN_MODE_STOP;
  g_fwLogin.access = FW_ACCESS_LOCKED;
  EXPECT_EQ(write(503, 1), FB_ERR_NOT_NOW);
  g_fwLogin.access = FW_ACCESS_OPEN;
  EXPECT_EQ(read(503), 0u);
  ASSERT_EQ(write(503, 1), FB_OK);
  EXPECT_EQ(read(503), 1u);
  EXPECT_EQ(read(504), 0u);
  EXPECT_EQ(g_fwSys.locks[2], 0);
}

TEST_F(SystemData, OptionCardData) {
  uint8_t result = 0;
  read(527, &result);
  EXPECT_EQ(result, FB_ERR_ABSENT);
  EXPECT_EQ(write(528, 1), FB_ERR_ABSENT);
  image()[FW_SYS_ORDER_DIGITS + 2] = '3';
  ASSERT_EQ(write(527, 100), FB_OK);
  EXPECT_EQ(image()[FW_SYS_CARD_ADDR_SET], 1);
  EXPECT_EQ(write(527, 101), FB_ERR_NOT_NOW) << "the address is set once";
  EXPECT_EQ(read(527), 100u);
  EXPECT_EQ(read(9) & 0x20, 0x20u);
  ASSERT_EQ(write(3002, 12), FB_OK);
  EXPECT_EQ(image()[FW_SYS_CARD_ADDR_SET], 0) << "a new address clears the flag";
}

TEST_F(SystemData, LoginData) {
  uint16_t bad = 0;
  ASSERT_EQ(write(537, 3), FB_OK);
  EXPECT_EQ(write(536, 4, &bad), FB_ERR_LIMITS);
  EXPECT_EQ(write(538, 2), FB_ERR_NOT_NOW) << "no password to lock";

  FbParamRequest set(0, 4080);
  std::memcpy(set.bytes + 4, "secret          ", 16);
  ASSERT_EQ(FW_WriteSystemData(&set, nullptr), FB_OK);
  EXPECT_EQ(read(538), 1u);
  ASSERT_EQ(write(538, 2), FB_OK);
  EXPECT_EQ(write(537, 5), FB_ERR_NOT_NOW) << "locked";
  EXPECT_EQ(FW_WriteSystemData(&set, nullptr), FB_ERR_NOT_NOW) << "no new password while locked";

  FbParamRequest check(0, 4081);
  std::memcpy(check.bytes + 4, "wrong", 5);
  EXPECT_EQ(FW_WriteSystemData(&check, &bad), FB_ERR_LIMITS);
  std::memcpy(check.bytes + 4, "SECRET\0", 7);
  EXPECT_EQ(FW_WriteSystemData(&check, &bad), FB_OK);
  EXPECT_EQ(read(538), 1u);
  cycle();
  EXPECT_EQ(g_fwSys.storeFlags & (FW_STORE_LOGIN | FW_STORE_LOGIN_SETTINGS), 0u);
  EXPECT_EQ(image()[FW_SYS_LOGIN_TRIES], 3);
}

TEST_F(SystemData, FixedAndDerivedData) {
  std::memcpy(image() + FW_SYS_ORDER_DIGITS, "332421", 6);
  std::memcpy(image() + FW_SYS_IDENT, "1230", 4);
  struct Case {
    int16_t number;
    uint32_t value;
  } cases[] = {
      {511, 0},        {512, 1230}, {513, 17402}, {514, 0xFFFC}, {520, 230}, {521, 18007},
      {509, 2400 + 0},  // board 3 is the analog card (kind 5): + 0
      {516, 3000 + 100 * (1 + 2) + 10 * 2 + 4},
      {561, 1 | 2 | 0x800},
  };
  for (const Case& k : cases) {
    uint8_t result = 99;
    EXPECT_EQ(read(k.number, &result), k.value) << k.number;
    EXPECT_EQ(result, 0);
  }
  uint8_t result = 0;
  read(600, &result);
  EXPECT_EQ(result, FB_ERR_UNKNOWN_ID);
  EXPECT_EQ(write(600, 0), FB_ERR_UNKNOWN_ID);
  EXPECT_EQ(write(513, 0), FB_ERR_UNKNOWN_ID);
  read(522, &result);
  EXPECT_EQ(result, 0) << "the key code is read without engineering";
  std::memcpy(image(), "MX7N", 4);
  read(522, &result);
  EXPECT_EQ(result, FB_ERR_UNKNOWN_ID);
  EXPECT_EQ(write(522, 1), FB_ERR_NOT_NOW);
}

TEST_F(SystemData, StoresWaitForRoomAndNothingIsLost) {
  ASSERT_EQ(write(3004, 2), FB_OK);
  uint16_t bad = 0;
  ASSERT_EQ(writeSet(4005, {1, 0, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 255}, &bad), FB_OK);
  EXPECT_EQ(writeSet(4005, {2, 0, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 255}, &bad),
            FB_ERR_LIMITS);
  EXPECT_EQ(bad, 1);
  static uint8_t dummy;
  while (FW_QueueEepromWrite(&dummy, 1000, 1) == FW_QUEUE_OK) {
  }
  FW_SystemCycle();   // the ring is full: everything waits
  EXPECT_TRUE(g_fwSys.storeFlags & FW_STORE_LANGUAGE);
  EXPECT_TRUE(g_fwSys.storeFlags & FW_STORE_IO_SETTINGS);
  EXPECT_EQ(g_fwSys.shadow[FW_SH_LANGUAGE], 2);
  cycle(2);
  EXPECT_EQ(g_fwSys.storeFlags & (FW_STORE_LANGUAGE | FW_STORE_IO_SETTINGS), 0u);
  EXPECT_EQ(image()[FW_SYS_LANGUAGE], 2);
  EXPECT_EQ(g_fwSys.shadow[FW_SH_LANGUAGE], 2);
  EXPECT_EQ(image()[FW_SYS_IO_SETTINGS + 13], 255);
  EXPECT_EQ(read(4005), 15u);
}

TEST(Clock, DaysWeekdaysAndSeconds) {
  struct Month {
    uint32_t month, year;
    uint16_t days;
  } months[] = {{2, 2024, 29}, {2, 2023, 28}, {2, 2000, 29}, {4, 2024, 30}, {12, 2024, 31},
                {13, 2024, 1},  {0, 2024, 1}};
  for (const Month& m : months) EXPECT_EQ(FW_DaysInMonth(m.month, m.year), m.days) << m.month;
  g_fwClock.setPending = 0;
  g_fwClock.now.month = 2;
  g_fwClock.now.year = 2024;
  EXPECT_EQ(FW_LimitMaxDay(0, 0), 29);
  g_fwClock.now.month = 13;
  EXPECT_EQ(FW_LimitMaxDay(0, 0), 1);

  EXPECT_EQ(FW_Weekday(2024, 1, 1), 1);
  EXPECT_EQ(FW_Weekday(2000, 1, 1), 6);
  EXPECT_EQ(FW_Weekday(1970, 1, 1), 4);
  EXPECT_EQ(FW_Weekday(2024, 2, 29), 4);

  struct Date {
    FwClockFields f;
    uint32_t seconds;
  } dates[] = {
      {{2000, 1, 1, 0, 0, 0, 0}, 946684800u},   {{1970, 1, 1, 0, 0, 0, 0}, 0u},
      {{1971, 3, 1, 0, 0, 0, 0}, 36633600u},    {{1972, 2, 29, 0, 0, 0, 0}, 68169600u},
      {{2024, 2, 29, 12, 34, 0, 56}, 1709210096u}, {{2069, 12, 31, 23, 59, 0, 59}, 3155759999u},
  };
  for (const Date& d : dates) EXPECT_EQ(FW_DateToSeconds(d.f), d.seconds) << d.f.year;
  g_fwClock.now = dates[0].f;
  EXPECT_EQ(FW_RtcToSeconds(), 946684800u);
}

TEST(Clock, PageSetter) {
  rt::resetFirmware();
  g_fwClock.edit[0] = 2023;
  g_fwClock.edit[1] = 2;
  struct Case {
    int16_t field;
    uint16_t value;
    uint8_t result;
  } cases[] = {{FW_CLOCK_DAY, 29, 'l'}, {FW_CLOCK_DAY, 28, 0}, {FW_CLOCK_YEAR, 24, 0},
               {FW_CLOCK_DAY, 29, 0},   {FW_CLOCK_HOUR, 24, 'l'}, {FW_CLOCK_MINUTE, 59, 0},
               {6, 1, 'i'},             {0, 1, 'i'}};
  for (const Case& c : cases) {
    FbParamRequest r = FB_WordRequest(0, c.field, c.value);
    EXPECT_EQ(FW_SetClockField(&r, nullptr), c.result) << c.field << "=" << c.value;
  }
  EXPECT_EQ(g_fwClock.edit[0], 2024);
  EXPECT_EQ(g_fwClock.edit[2], 29);
  EXPECT_EQ(g_fwClock.setPending, 1);
}

}  // namespace
