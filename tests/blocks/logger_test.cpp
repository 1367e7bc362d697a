// The data and event logger blocks, driven through the block fixture with a clock set by the
// test and a stand-in for the SD-card storage writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "block_cases.h"
#include "blocks/arith/arith.h"
#include "blocks/logger/log_format.h"
#include "blocks/logger/logger.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_mode.h"
#include "support/log_writer.h"
#include "support/process_locale.h"

namespace {

constexpr uint16_t kLogger = LOG_LOGGER_BLOCK;
constexpr uint16_t kEvtlog = LOG_EVTLOG_BLOCK;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// 1-based float parameters and word values.
constexpr uint16_t kScanT = 9, kBounce = 1;
constexpr uint16_t kNFile = 1, kFType = 2;

void setClock(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
              uint16_t second) {
  g_fwClock.now = FwClockFields{.year = year, .month = month, .day = day, .hour = hour,
                                .minute = minute, .second = second};
}

// Writes text `index` of a block: the 16 bytes of `text`, blank-padded when shorter.
void setText(uint16_t block, uint16_t index, const char* text) {
  char* t = nullptr;
  ASSERT_EQ(FB_GetTextParamPtr(block, index, &t), 1);
  std::memset(t, ' ', FB_TEXT_LEN);
  std::memcpy(t, text, std::min(std::strlen(text), size_t{FB_TEXT_LEN}));
}

// Wires analog input `input` of `block` straight to analog output 1 of `from`.
void wireToOutput(uint16_t block, uint16_t input, uint16_t from) {
  uint32_t handle = 0;
  FbRef* ref = nullptr;
  ASSERT_EQ(FB_AnalogOutputHandle(from, 1, &handle), 1);
  ASSERT_EQ(FB_GetAnalogInputRef(block, input, &ref), 1);
  *ref = handle;
}

std::string le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}
std::string leF32(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return le32(bits);
}

// The value field as the C library prints it in the "C" locale: the reference for the
// locale-free formatting.
std::string cValue(float v, bool comma) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(v));
  std::string s(buf);
  if (comma) {
    for (char& c : s) c = c == '.' ? ',' : c;
  }
  return s;
}

uint8_t send(FbParamRequest r, uint16_t* bad = nullptr) {
  uint16_t ignored = 0;
  const FbTypeRecord* rec = FB_GetType(FB_GetInstance(r.block())[FB_HDR_TYPE]);
  return rec->param(&r, bad ? bad : &ignored);
}

class Logger : public testing::Test {
 protected:
  Logger() {
    setClock(2024, 3, 5, 14, 7, 9);
    g_logRecordFormat = LOG_FORMAT_LBI;
  }
  ~Logger() override {
    FW_ClockSetDefault();
    g_fwRunMode = FW_RUN_MODE_STOP;
  }

  // A new engineering: empty store, nothing taken by the writer.
  void reset() {
    fx = BlockFixture(BLK_RegisterAllTypes);
    writer.clear();
    writer.ready = 1;
    alsoRun.clear();
  }

  // LOGGER with the stored "N file" and "F type" that its Init takes over.
  void makeLogger(uint16_t nFile = LOG_NFILE_PER_HOUR, uint16_t fType = LOG_FORMAT_LBI) {
    fx.create(BLK_TYPE_LOGGER, kLogger, 0);
    fx.wordValue(kLogger, kNFile, true) = nFile;
    fx.wordValue(kLogger, kFType, true) = fType;
  }
  void makeEvtlog(float bounce, uint16_t nFile = EVT_NFILE_PER_DAY) {
    fx.create(BLK_TYPE_EVTLOG, kEvtlog, 0);
    setFloatParams(fx, kEvtlog, {{kBounce, bounce}});
    fx.wordValue(kEvtlog, kNFile, true) = nFile;
  }

  // n cycles: the blocks in `alsoRun`, then LOGGER, then the writer's turn.
  void cycles(int n, bool answer = true) {
    for (int i = 0; i < n; ++i) {
      for (uint16_t b : alsoRun) fx.run(b);
      fx.run(kLogger);
      writer.serviceLogger(kLogger, answer);
    }
  }
  // Init, then the three cycles to the first record: the request to finish any file, the
  // first file, the first sample.
  void start() {
    fx.init(kLogger);
    cycles(3);
  }
  void evtCycles(int n) {
    for (int i = 0; i < n; ++i) {
      fx.run(kEvtlog);
      writer.serviceEvtlog(kEvtlog);
    }
  }
  void startEvtlog() {
    fx.init(kEvtlog);
    evtCycles(2);  // the first file; the writer reports ready
  }

  LogLoggerState& logger() { return *LOG_LoggerState(kLogger); }
  LogEventState& evtlog() { return *LOG_EventState(kEvtlog); }

  BlockFixture fx{BLK_RegisterAllTypes};
  LogWriterStandIn writer;
  std::vector<uint16_t> alsoRun;
};

// ---------------------------------------------------------------------------------------
// Texts stay inside their buffers

TEST(LogFormat, TextsStayInsideTheirBuffers) {
  // A 16-character text is not terminated: the prefix ends after 16 characters, at the
  // first blank, or at a terminator.
  struct Case {
    const char* text;
    const char* prefix;
  } cases[] = {{"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "ABCDEFGHIJKLMNOP"},
               {"Line 2 log      ", "Line"},
               {" leading blank  ", ""},
               {"short\0garbage-----", "short"}};
  for (const Case& c : cases) {
    char prefix[LOG_PREFIX_BYTES];
    std::memset(prefix, 'x', sizeof prefix);
    LOG_CopyPrefix(prefix, c.text);
    EXPECT_STREQ(prefix, c.prefix);
  }
  // A text that does not fit is cut and stays terminated.
  char small[8];
  std::memset(small, 'x', sizeof small);
  LogText t(small, sizeof small);
  t.put("0123456789");
  t.putValue(-FLT_MAX, false);
  EXPECT_STREQ(small, "0123456");
  EXPECT_EQ(t.length(), 7u);
}

// ---------------------------------------------------------------------------------------
// Enable rule

TEST_F(Logger, LoggingNeedsTheCardAndBaseUnitOne) {
  struct Case {
    uint8_t card;
    char baseUnit;
    float shown;
  } cases[] = {{0, '1', -1.0f}, {1, '2', -2.0f}, {0, '2', -1.0f}, {1, '0', -2.0f}};
  makeLogger();
  makeEvtlog(1.0f);
  fx.init(kEvtlog);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "card " << int{c.card} << " base unit " << c.baseUnit);
    start();  // enabled: recording
    ASSERT_EQ(fx.digitalOut(kLogger, 1), 1);
    g_logSdCard = c.card;
    FW_SysImage()[FW_SYS_ORDER_DIGITS + 3] = static_cast<uint8_t>(c.baseUnit);
    cycles(1);
    evtCycles(1);
    for (uint16_t b : {kLogger, kEvtlog}) {
      EXPECT_EQ(fx.analogOut(b, 1), c.shown);
      EXPECT_EQ(fx.digitalOut(b, 1), 0);  // run
      EXPECT_EQ(fx.digitalOut(b, 2), 1);  // error
    }
    EXPECT_EQ(static_cast<int32_t>(logger().sampling.counter), -1);

    // Back with a card: a new file is begun as after a start, whatever was left.
    g_logSdCard = 1;
    FW_SysImage()[FW_SYS_ORDER_DIGITS + 3] = '1';
    writer.fileKinds.clear();
    cycles(3);
    EXPECT_EQ(writer.fileKinds, std::vector<int32_t>{LOG_NEWFILE_FIRST});
  }
}

// ---------------------------------------------------------------------------------------
// Files

TEST_F(Logger, FirstFileIsNamedByTheClock) {
  struct Case {
    uint16_t year;
    const char* name;
    float samples;
  } cases[] = {
      {2024, "DataLogger_2024_03_05__14_07_09", 1.0f},
      {0, "DataLogger_Clock_Error", -3.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    setClock(c.year, 3, 5, 14, 7, 9);
    makeLogger();
    fx.init(kLogger);
    // A slow writer: nothing begins while the request to finish the file stands.
    cycles(5, false);
    EXPECT_TRUE(writer.files.empty());
    EXPECT_EQ(static_cast<int32_t>(logger().handshake.writerRequest), LOG_REQUEST_FINISH);
    cycles(4);
    ASSERT_EQ(writer.files.size(), 1u);
    EXPECT_EQ(writer.files[0], c.name);
    EXPECT_EQ(writer.fileKinds[0], LOG_NEWFILE_FIRST);
    EXPECT_EQ(writer.requests, (std::vector<int32_t>{LOG_REQUEST_FINISH, LOG_REQUEST_MINUTE}));
    EXPECT_EQ(writer.records.size(), 1u);  // the clock not set still gives records
    EXPECT_EQ(fx.analogOut(kLogger, 1), c.samples);
    EXPECT_EQ(fx.digitalOut(kLogger, 1), 1);
    EXPECT_EQ(fx.digitalOut(kLogger, 2), 0);
    FwClockFields started = g_fwClock.now;
    if (started.year == 0) started.year = 2010;
    EXPECT_EQ(static_cast<uint32_t>(logger().header.fileStart), FW_DateToSeconds(started));
  }
}

TEST_F(Logger, FileChangesWhenTheCounterReachesThePeriod) {
  makeLogger(LOG_NFILE_PER_HOUR);
  start();
  // The first sample was taken at counter 0; the counter reaches 36000 after 35999 more.
  cycles(35999);
  EXPECT_EQ(writer.files.size(), 1u);
  cycles(2);
  ASSERT_EQ(writer.files.size(), 2u);
  EXPECT_EQ(writer.fileKinds[1], LOG_NEWFILE_NEXT);
  // One request a minute in between: counters 0, 600, .., 35400.
  std::vector<int32_t> expected{LOG_REQUEST_FINISH};
  expected.insert(expected.end(), 60, LOG_REQUEST_MINUTE);
  expected.push_back(LOG_REQUEST_FINISH);
  EXPECT_EQ(writer.requests, expected);
}

TEST_F(Logger, RequestEdgeDuringTheHoldOffStillChangesTheFile) {
  makeLogger(LOG_NFILE_REQUEST);
  fx.setDigitalInput(kLogger, LOGGER_IN_NEW_FILE, 0);
  start();
  ASSERT_GT(logger().sampling.holdOff, 0);
  fx.setDigitalInput(kLogger, LOGGER_IN_NEW_FILE, 1);  // a pulse within the 20-cycle hold-off
  cycles(1);
  fx.setDigitalInput(kLogger, LOGGER_IN_NEW_FILE, 0);
  cycles(30);
  ASSERT_EQ(writer.files.size(), 2u);
  EXPECT_EQ(writer.fileKinds[1], LOG_NEWFILE_NEXT);
  // A later request, after the hold-off, changes it again.
  fx.setDigitalInput(kLogger, LOGGER_IN_NEW_FILE, 1);
  cycles(30);
  EXPECT_EQ(writer.files.size(), 3u);
}

// ---------------------------------------------------------------------------------------
// Records

TEST_F(Logger, RecordFormats) {
  const uint32_t seconds = FW_RtcToSeconds();
  struct Case {
    uint16_t fType;
    std::string analog, digital;
  } cases[] = {
      {LOG_FORMAT_CSV_DE, "05.03.2024 14:07:09;1,500;0;0;0", ";1;0;7;0;0;0"},
      {LOG_FORMAT_CSV_EN, "05/03/2024 14:07:09,1.500,0,0,0", ",1,0,7,0,0,0"},
      {LOG_FORMAT_CSV_US, "03/05/2024 14:07:09,1.500,0,0,0", ",1,0,7,0,0,0"},
      {LOG_FORMAT_LBI, le32(seconds) + leF32(1.5f) + leF32(0) + leF32(0) + leF32(0),
       std::string(1, '\x05')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fType);
    reset();
    makeLogger(LOG_NFILE_PER_HOUR, c.fType);
    fx.setAnalogInput(kLogger, 1, 1.5f);
    fx.setDigitalInput(kLogger, LOGGER_IN_D1, 1);
    fx.setDigitalInput(kLogger, LOGGER_IN_D1 + 2, 7);
    start();
    ASSERT_EQ(writer.records.size(), 1u);
    EXPECT_EQ(writer.records[0].analog, c.analog);
    EXPECT_EQ(writer.records[0].digital, c.digital);
  }
}

TEST_F(Logger, RecordsUnderAGermanProcessLocaleAreTheSameBytes) {
  ProcessLocale german("de_DE.UTF-8");
  ASSERT_TRUE(german.set) << "no de_DE.UTF-8 locale (Debian package: locales)";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  makeLogger(LOG_NFILE_PER_HOUR, LOG_FORMAT_CSV_EN);
  fx.setAnalogInput(kLogger, 1, 1.5f);
  start();
  ASSERT_EQ(writer.records.size(), 1u);
  EXPECT_EQ(writer.records[0].analog, "05/03/2024 14:07:09,1.500,0,0,0");
}

TEST_F(Logger, ExtremeValuesTextsAndClockFitEveryBuffer) {
  const uint16_t kMax = 0xFFFF;
  setClock(kMax, kMax, kMax, kMax, kMax, kMax);
  const float values[] = {1.5e37f, -1.5e37f, kNaN, -FLT_MAX};
  makeLogger(LOG_NFILE_PER_HOUR, LOG_FORMAT_CSV_DE);
  setText(kLogger, 12, "ABCDEFGHIJKLMNOP");  // no blank, no terminator
  fx.create(BLK_TYPE_ALOGEX, 100);
  wireToOutput(kLogger, LOGGER_IN_LOGDAT, 100);
  for (uint16_t i = 0; i < 4; ++i) {
    fx.setAnalogInput(kLogger, i + 1, values[i]);
    fx.setAnalogInput(100, i + 1, values[i]);
  }
  for (uint16_t d = 0; d < LOG_DIGITAL_CHANNELS; ++d) {
    fx.setDigitalInput(kLogger, LOGGER_IN_D1 + d, kMax);
  }
  fx.init(100);
  alsoRun = {100};
  start();

  std::string fields;
  for (float v : values) fields += ";" + cValue(v, true);
  ASSERT_EQ(writer.files.size(), 1u);
  EXPECT_EQ(writer.files[0], "ABCDEFGHIJKLMNOP_65535_65535_65535__65535_65535_65535");
  ASSERT_EQ(writer.records.size(), 1u);
  EXPECT_EQ(writer.records[0].analog, "65535.65535.65535 65535:65535:65535" + fields);
  EXPECT_EQ(writer.records[0].digital, ";65535;65535;65535;65535;65535;65535");
  EXPECT_EQ(writer.records[0].extensions, std::vector<std::string>{fields});

  // The event logger with a 16-character event text at the same clock.
  makeEvtlog(0.0f);
  setText(kEvtlog, 2, "ABCDEFGHIJKLMNOP");
  fx.setDigitalInput(kEvtlog, EVTLOG_IN_D1, 1);
  startEvtlog();
  evtCycles(1);
  EXPECT_EQ(writer.events,
            std::vector<std::string>{"65535/65535/65535;65535:65535:65535;ABCDEFGHIJKLMNOP;recognized"});
}

TEST_F(Logger, OneRecordPerSecond) {
  makeLogger();
  fx.setDigitalInput(kLogger, LOGGER_IN_TRIGGER, 0);
  start();
  ASSERT_EQ(writer.records.size(), 1u);  // the periodic sample at :09
  cycles(2);
  fx.setDigitalInput(kLogger, LOGGER_IN_TRIGGER, 1);  // a trigger in the same second
  cycles(5);
  EXPECT_EQ(writer.records.size(), 1u);
  g_fwClock.now.second = 10;
  cycles(10);  // the trigger's sample and the periodic one fall into this second
  EXPECT_EQ(writer.records.size(), 2u);
}

TEST_F(Logger, PauseStopsPeriodicSamplesButNotTriggers) {
  makeLogger();
  fx.setDigitalInput(kLogger, LOGGER_IN_PAUSE, 1);
  fx.setDigitalInput(kLogger, LOGGER_IN_TRIGGER, 0);
  start();
  for (int s = 10; s < 14; ++s) {
    g_fwClock.now.second = static_cast<uint16_t>(s);
    cycles(10);
  }
  EXPECT_TRUE(writer.records.empty());
  fx.setDigitalInput(kLogger, LOGGER_IN_TRIGGER, 1);
  cycles(1);
  EXPECT_EQ(writer.records.size(), 1u);
  EXPECT_EQ(fx.digitalOut(kLogger, 1), 1);
}

// ---------------------------------------------------------------------------------------
// Extensions

TEST_F(Logger, ExtensionsJoinTheChainInWiringOrder) {
  struct Case {
    uint16_t fType;
    std::vector<std::string> extensions;
  } cases[] = {
      {LOG_FORMAT_CSV_DE, {";2,250;0;0;0", ";1;0;0;0;0;0;0;0"}},
      {LOG_FORMAT_CSV_US, {",2.250,0,0,0", ",1,0,0,0,0,0,0,0"}},
      {LOG_FORMAT_LBI, {leF32(2.25f) + leF32(0) + leF32(0) + leF32(0), std::string(1, '\x01')}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fType);
    reset();
    makeLogger(LOG_NFILE_PER_HOUR, c.fType);
    fx.create(BLK_TYPE_ALOGEX, 100);
    fx.create(BLK_TYPE_DLOGEX, 101);
    wireToOutput(kLogger, LOGGER_IN_LOGDAT, 100);
    wireToOutput(100, ALOGEX_IN_LOGDAT, 101);
    setFloatParams(fx, 100, {{1, -5.0f}, {2, 50.0f}});
    fx.setAnalogInput(100, 1, 2.25f);
    fx.setDigitalInput(101, 1, 1);
    // LOGGER starts first: its extension is found by its run once ALOGEX has started.
    fx.init(kLogger);
    EXPECT_EQ(static_cast<uint32_t>(logger().descriptor.extension), 0u);
    fx.init(100);
    fx.init(101);
    EXPECT_EQ(fx.analogOut(100, 1), 100.0f);  // "LogDat" carries the block number
    alsoRun = {100, 101};
    cycles(3);
    ASSERT_EQ(writer.records.size(), 1u);
    EXPECT_EQ(writer.records[0].extensions, c.extensions);

    const LogAnalogExtState* a = LOG_AnalogExtState(100);
    const LogCounts* counts = LOG_At<LogCounts>(a->descriptor.header);
    ASSERT_NE(counts, nullptr);
    EXPECT_EQ(static_cast<int32_t>(counts->intervalMs), 1000);
    EXPECT_EQ(static_cast<int32_t>(counts->analogCount), 4);
    const LogAnalogNode* first = LOG_At<LogAnalogNode>(a->descriptor.analogList);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->min.get(), -5.0f);
    EXPECT_EQ(first->max.get(), 50.0f);
    EXPECT_EQ(first->connected, 1);
    EXPECT_EQ(std::string(static_cast<const char*>(LOG_Place(first->name, FB_TEXT_LEN)), 2), "X1");
  }
}

// In a running device: LOGGER starts and runs at its fixed place before the time groups,
// so its extension starts after it and is found by its run.
TEST_F(Logger, RunsFromTheSchedulersWithItsExtension) {
  makeLogger(LOG_NFILE_PER_HOUR, LOG_FORMAT_CSV_DE);
  fx.create(BLK_TYPE_ALOGEX, 100, 1);
  wireToOutput(kLogger, LOGGER_IN_LOGDAT, 100);
  fx.setAnalogInput(100, 2, 7.0f);
  FB_CheckChains();  // the fixture's signal sources are in no group and stay out
  ASSERT_EQ(g_fbSchedule.head[1], 100);
  g_fwRunMode = FW_RUN_MODE_RUN;
  FB_RunStartupPass();
  for (int tick = 0; tick < 3; ++tick) {
    FB_RunSchedule();
    writer.serviceLogger();
  }
  ASSERT_EQ(writer.records.size(), 1u);
  EXPECT_EQ(writer.records[0].extensions, std::vector<std::string>{";0;7,000;0;0"});
}

TEST_F(Logger, LogDatFromAnotherTypeIsIgnored) {
  makeLogger();
  fx.create(BLK_TYPE_ALOGEX, 100);
  fx.init(100);
  fx.create(BLK_TYPE_ABSV, 102);
  FbF32* absvOut = nullptr;
  ASSERT_EQ(FB_GetAnalogOutputPtr(102, 1, &absvOut), 1);
  *absvOut = 100.0f;  // the number of a real extension, from a block of another type

  wireToOutput(kLogger, LOGGER_IN_LOGDAT, 102);
  start();
  EXPECT_EQ(static_cast<uint32_t>(logger().descriptor.extension), 0u);
  // A fixture source carrying the same number.
  fx.setAnalogInput(kLogger, LOGGER_IN_LOGDAT, 100.0f);
  cycles(2);
  EXPECT_EQ(static_cast<uint32_t>(logger().descriptor.extension), 0u);
  // Wired to the extension itself, it is taken.
  wireToOutput(kLogger, LOGGER_IN_LOGDAT, 100);
  cycles(1);
  EXPECT_NE(static_cast<uint32_t>(logger().descriptor.extension), 0u);
}

TEST_F(Logger, ChainThatLeadsBackIntoItselfIsCut) {
  makeLogger();
  for (uint16_t b : {100, 101, 102}) fx.create(BLK_TYPE_ALOGEX, b);
  wireToOutput(kLogger, LOGGER_IN_LOGDAT, 101);
  wireToOutput(101, ALOGEX_IN_LOGDAT, 100);
  wireToOutput(100, ALOGEX_IN_LOGDAT, 101);  // back to the first
  wireToOutput(102, ALOGEX_IN_LOGDAT, 102);  // to itself
  for (uint16_t b : {100, 101, 102}) fx.init(b);
  alsoRun = {100, 101, 102};
  start();
  cycles(3);
  const unsigned n = LOG_ForEachExtension(logger().descriptor, [](const LogDescriptor&) {});
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(static_cast<uint32_t>(LOG_AnalogExtState(102)->descriptor.extension), 0u);
  ASSERT_EQ(writer.records.size(), 1u);
  EXPECT_EQ(writer.records[0].extensions.size(), 2u);
}

// ---------------------------------------------------------------------------------------
// Parameters

TEST_F(Logger, WordValuesTakeEffectAtTheNextStartUpPass) {
  makeLogger(LOG_NFILE_PER_HOUR, LOG_FORMAT_CSV_DE);
  fx.setAnalogInput(kLogger, 1, 1.5f);
  start();
  EXPECT_EQ(send(FB_WordRequest(kLogger, 3001, LOG_FORMAT_CSV_EN)), FB_OK);
  EXPECT_EQ(fx.wordValue(kLogger, kFType, true), LOG_FORMAT_CSV_EN);
  g_fwClock.now.second = 10;
  cycles(10);
  ASSERT_EQ(writer.records.size(), 2u);
  EXPECT_EQ(writer.records[1].analog, "05.03.2024 14:07:10;1,500;0;0;0");
  start();  // the next start-up pass
  EXPECT_EQ(writer.records.back().analog, "05/03/2024 14:07:10,1.500,0,0,0");
}

TEST_F(Logger, RequestsByIdAndLimits) {
  makeLogger();
  makeEvtlog(1.0f);
  fx.create(BLK_TYPE_ALOGEX, 100);
  fx.create(BLK_TYPE_DLOGEX, 101);
  const float badScanT[] = {0, 100, 0, 100, 0, 100, 0, 100, 0.0f};
  const uint16_t usValues[] = {LOG_NFILE_PER_DAY, LOG_FORMAT_CSV_US};
  struct Case {
    uint16_t block;
    FbParamRequest request;
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {kLogger, FB_FloatRequest(kLogger, 1008, 5.0f), FB_OK, 0},
      {kLogger, FB_FloatRequest(kLogger, 1008, 0.5f), FB_ERR_LIMITS, 0},   // "Scan T" >= 1
      {kLogger, FB_FloatRequest(kLogger, 1000, -30000.0f), FB_ERR_LIMITS, 0},
      {kLogger, FB_FloatRequest(kLogger, 1009, 1.0f), FB_ERR_UNKNOWN_ID, 0},
      {kLogger, FB_WordRequest(kLogger, 3000, LOG_NFILE_REQUEST), FB_OK, 0},
      {kLogger, FB_WordRequest(kLogger, 3001, 4), FB_ERR_LIMITS, 0},
      {kLogger, FB_SetRequest(kLogger, 4000, {}, badScanT),
       FB_ERR_LIMITS, 9},
      {kLogger, FB_SetRequest(kLogger, 4010, usValues, {}),
       FB_OK, 0},
      {100, FB_FloatRequest(100, 1007, 500.0f), FB_OK, 0},
      {100, FB_FloatRequest(100, 1008, 1.0f), FB_ERR_UNKNOWN_ID, 0},
      {kEvtlog, FB_FloatRequest(kEvtlog, 1000, 3600.0f), FB_OK, 0},
      {kEvtlog, FB_FloatRequest(kEvtlog, 1000, 3600.5f), FB_ERR_LIMITS, 0},
      {kEvtlog, FB_WordRequest(kEvtlog, 3000, 2), FB_ERR_LIMITS, 0},
      {101, FB_FloatRequest(101, 1000, 1.0f), FB_ERR_UNKNOWN_ID, 0},
      {101, FB_WordRequest(101, 1250, 1), FB_ERR_UNKNOWN_ID, 0},
      {101, FB_WordRequest(101, 2000, 1), FB_ERR_UNKNOWN_ID, 0},
      {101, FB_WordRequest(101, 3000, 1), FB_ERR_UNKNOWN_ID, 0},
      {101, FB_SetRequest(101, 4000, {}, {}), FB_ERR_UNKNOWN_ID, 0},
      {101, FB_SetRequest(101, 4010, {}, {}), FB_ERR_UNKNOWN_ID, 0},
      {101, FB_WordRequest(101, -1000, 0), FB_ERR_UNKNOWN_ID, 0},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "block " << c.block << " id " << c.request.id());
    uint16_t bad = 0;
    EXPECT_EQ(send(c.request, &bad), c.result);
    EXPECT_EQ(bad, c.bad);
  }
  EXPECT_EQ(fx.wordValue(kLogger, kFType, true), LOG_FORMAT_CSV_US);  // the stored copy
  EXPECT_EQ(fx.wordValue(kLogger, kFType), LOG_FORMAT_LBI);           // working until Init
}

TEST_F(Logger, PendingFloatsAreTakenOverWhileRunning) {
  static std::vector<std::vector<int>> saves;
  static uint8_t saveResult;
  saves.clear();
  saveResult = 1;  // the first saves fail
  const FbSaveHook previous =
      FB_SetSaveHook([](FbSaveGroup, uint16_t block, uint16_t first, uint16_t n) {
        saves.push_back({block, first, n});
        return saveResult;
      });
  makeLogger();
  makeEvtlog(1.0f);
  fx.create(BLK_TYPE_ALOGEX, 100);
  fx.init(100);
  start();
  startEvtlog();
  g_fwRunMode = FW_RUN_MODE_RUN;
  EXPECT_EQ(send(FB_FloatRequest(kLogger, 1008, 2.0f)), FB_OK);
  EXPECT_EQ(send(FB_FloatRequest(100, 1000, 3.0f)), FB_OK);
  EXPECT_EQ(send(FB_FloatRequest(kEvtlog, 1000, 0.0f)), FB_OK);
  EXPECT_EQ(fx.floatParam(kLogger, kScanT).get(), 1.0f);  // not before the block's run

  alsoRun = {100};
  cycles(1);
  evtCycles(1);
  EXPECT_EQ(fx.floatParam(kLogger, kScanT).get(), 2.0f);
  EXPECT_EQ(fx.floatParam(100, 1).get(), 3.0f);
  EXPECT_EQ(evtlog().settleCycles, 0);  // the settling time follows at once
  EXPECT_EQ(g_fbPending.floats[kLogger], 1);  // the failed save is tried again
  saveResult = 0;
  cycles(1);
  evtCycles(1);
  EXPECT_EQ(g_fbPending.floats[kLogger], 0);
  EXPECT_EQ(g_fbPending.floats[100], 0);
  EXPECT_EQ(g_fbPending.floats[kEvtlog], 0);
  const std::vector<std::vector<int>> expected{{100, 1, 8}, {kLogger, 1, 9}, {kEvtlog, 1, 1},
                                               {100, 1, 8}, {kLogger, 1, 9}, {kEvtlog, 1, 1}};
  EXPECT_EQ(saves, expected);
  FB_SetSaveHook(previous);
}

// ---------------------------------------------------------------------------------------
// EVTLOG

TEST_F(Logger, EventRecordInTheCycleOfTheChangeWithBounceZero) {
  makeEvtlog(0.0f);
  fx.setDigitalInput(kEvtlog, EVTLOG_IN_D1, 0);
  startEvtlog();
  ASSERT_EQ(writer.files, std::vector<std::string>{"EvtLogger_2024_03_05__14_07_09"});
  EXPECT_EQ(writer.fileKinds[0], LOG_NEWFILE_FIRST);
  fx.setDigitalInput(kEvtlog, EVTLOG_IN_D1, 1);
  evtCycles(1);
  EXPECT_EQ(writer.events, std::vector<std::string>{"2024/03/05;14:07:09;Event 1;recognized"});
  fx.setDigitalInput(kEvtlog, EVTLOG_IN_D1 + 9, 1);
  fx.setDigitalInput(kEvtlog, EVTLOG_IN_D1, 0);
  evtCycles(1);
  EXPECT_EQ(writer.events, (std::vector<std::string>{"2024/03/05;14:07:09;Event 1;recognized",
                                                     "2024/03/05;14:07:09;Event 1;cleared",
                                                     "2024/03/05;14:07:09;Event 10;recognized"}));
  evtCycles(1);
  EXPECT_EQ(fx.analogOut(kEvtlog, 1), 3.0f);  // the writer's count
  EXPECT_EQ(fx.digitalOut(kEvtlog, 1), 1);
}

TEST_F(Logger, EventNeedsItsInputToOutlastTheSettlingTime) {
  // "Bounce" 1.0 s: 10 cycles. A change that returns within them is no event.
  struct Case {
    int held;
    std::vector<std::string> events;
  } cases[] = {
      {1, {}},
      {10, {}},
      {11, {"2024/03/05;14:07:09;Event 1;recognized", "2024/03/05;14:07:09;Event 1;cleared"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.held);
    reset();
    makeEvtlog(1.0f);
    fx.setDigitalInput(kEvtlog, EVTLOG_IN_D1, 0);
    startEvtlog();
    fx.setDigitalInput(kEvtlog, EVTLOG_IN_D1, 1);
    evtCycles(c.held);
    fx.setDigitalInput(kEvtlog, EVTLOG_IN_D1, 0);
    evtCycles(30);
    EXPECT_EQ(writer.events, c.events);
  }
}

TEST_F(Logger, LongBounceIsClampedAndStillGivesItsEvent) {
  makeEvtlog(3600.0f);
  fx.setDigitalInput(kEvtlog, EVTLOG_IN_D1, 0);
  startEvtlog();
  EXPECT_EQ(evtlog().settleCycles, 32767);
  fx.setDigitalInput(kEvtlog, EVTLOG_IN_D1, 1);
  evtCycles(32767);
  EXPECT_TRUE(writer.events.empty());
  evtCycles(1);
  EXPECT_EQ(writer.events.size(), 1u);
}

TEST_F(Logger, EventOutputsFollowTheWriterAndThePause) {
  struct Case {
    uint8_t ready;
    uint16_t pause, year;
    float events;
    uint16_t run, error;
    const char* file;
    std::vector<std::string> records;  // none taken while not ready or paused
  } cases[] = {
      {0, 0, 2024, -5.0f, 0, 1, "EvtLogger_2024_03_05__14_07_09", {}},
      {0, 0, 0, -3.0f, 0, 1, "EvtLogger_Clock_Error", {}},
      {1, 1, 2024, 0.0f, 0, 0, "EvtLogger_2024_03_05__14_07_09", {}},
      {1, 1, 0, -3.0f, 0, 1, "EvtLogger_Clock_Error", {}},
      {1, 0, 0, -3.0f, 1, 1, "EvtLogger_Clock_Error", {"2010/03/05;14:07:09;Event 1;recognized"}},
      {1, 0, 2024, 0.0f, 1, 0, "EvtLogger_2024_03_05__14_07_09",
       {"2024/03/05;14:07:09;Event 1;recognized"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "ready " << int{c.ready} << " pause " << c.pause
                                    << " year " << c.year);
    reset();
    writer.ready = c.ready;
    setClock(c.year, 3, 5, 14, 7, 9);
    makeEvtlog(0.0f);
    fx.setDigitalInput(kEvtlog, EVTLOG_IN_PAUSE, c.pause);
    fx.setDigitalInput(kEvtlog, EVTLOG_IN_D1, 0);
    startEvtlog();
    fx.setDigitalInput(kEvtlog, EVTLOG_IN_D1, 1);
    evtCycles(1);
    EXPECT_EQ(fx.analogOut(kEvtlog, 1), c.events);
    EXPECT_EQ(fx.digitalOut(kEvtlog, 1), c.run);
    EXPECT_EQ(fx.digitalOut(kEvtlog, 2), c.error);
    EXPECT_EQ(writer.files, std::vector<std::string>{c.file});
    EXPECT_EQ(writer.events, c.records);
  }
}

TEST_F(Logger, EventFilesBeginByDayRequestAndCount) {
  // By day: the day of month changes.
  makeEvtlog(1.0f, EVT_NFILE_PER_DAY);
  startEvtlog();
  setClock(2024, 3, 6, 0, 0, 1);
  evtCycles(25);  // after the hold-off of the first file
  ASSERT_EQ(writer.files.size(), 2u);
  EXPECT_EQ(writer.files[1], "EvtLogger_2024_03_06__00_00_01");
  EXPECT_EQ(writer.fileKinds[1], LOG_NEWFILE_NEXT);
  // More than 99999 events in a file.
  evtCycles(25);
  evtlog().eventCount = 100000;
  evtCycles(1);
  EXPECT_EQ(writer.files.size(), 3u);

  // On request: every rising edge of "new file", the first within the hold-off as well.
  reset();
  setClock(2024, 3, 5, 14, 7, 9);
  makeEvtlog(1.0f, EVT_NFILE_REQUEST);
  fx.setDigitalInput(kEvtlog, EVTLOG_IN_NEW_FILE, 0);
  startEvtlog();
  for (int request = 0; request < 3; ++request) {
    fx.setDigitalInput(kEvtlog, EVTLOG_IN_NEW_FILE, 1);
    evtCycles(25);
    fx.setDigitalInput(kEvtlog, EVTLOG_IN_NEW_FILE, 0);
    evtCycles(5);
  }
  EXPECT_EQ(writer.files.size(), 4u);
  setClock(2024, 3, 7, 0, 0, 1);  // no new file by day in this mode
  evtCycles(25);
  EXPECT_EQ(writer.files.size(), 4u);
}

}  // namespace
