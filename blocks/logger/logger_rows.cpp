// Templates, limits and rows of the logger types. LOGGER and EVTLOG are fixed blocks (89 and
// 87); the extensions run in a time group. The own state of each type lives in its work
// words (zero at creation; Init builds it).
#include <iterator>
#include <span>

#include "blocks/block_family.h"
#include "blocks/logger/logger.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"

namespace {

constexpr const char* kLoggerTexts[] = {"LOGGER", "X1", "X2", "X3", "X4", "D1", "D2",
                                        "D3", "D4", "D5", "D6", "DataLogger"};
constexpr const char* kAlogexTexts[] = {"ALOGEX", "X1", "X2", "X3", "X4"};
constexpr const char* kDlogexTexts[] = {"DLOGEX", "D1", "D2", "D3", "D4",
                                        "D5", "D6", "D7", "D8"};
constexpr const char* kEvtlogTexts[] = {"EVTLOG",  "Event 1", "Event 2", "Event 3",
                                        "Event 4", "Event 5", "Event 6", "Event 7",
                                        "Event 8", "Event 9", "Event 10", "EvtLogger"};

// "X1 min", "X1 max" .. "X4 min", "X4 max", then LOGGER's "Scan T" (s).
constexpr float kLoggerFloats[] = {0.0f, 100.0f, 0.0f, 100.0f, 0.0f, 100.0f, 0.0f, 100.0f, 1.0f};
constexpr float kAlogexFloats[] = {0.0f, 100.0f, 0.0f, 100.0f, 0.0f, 100.0f, 0.0f, 100.0f};
constexpr float kEvtlogFloats[] = {1.0f};                                  // "Bounce" (s)
constexpr uint16_t kLoggerValues[] = {LOG_NFILE_PER_HOUR, LOG_FORMAT_LBI};  // "N file", "F type"
constexpr uint16_t kEvtlogValues[] = {EVT_NFILE_PER_DAY};                   // "N file"

// Work words: the own state records of logger.h.
constexpr uint16_t kLoggerWork = 304, kAlogexWork = 161, kDlogexWork = 107, kEvtlogWork = 100;
static_assert(sizeof(LogLoggerState) == 2 * kLoggerWork);
static_assert(sizeof(LogAnalogExtState) == 2 * kAlogexWork);
static_assert(sizeof(LogDigitalExtState) == 2 * kDlogexWork);
static_assert(sizeof(LogEventState) == 2 * kEvtlogWork);

constexpr FbTemplate kLoggerTemplate{
    .size = 489, .type = BLK_TYPE_LOGGER, .analogOutputs = 1, .digitalOutputs = 2,
    .analogInputs = 5, .digitalInputs = 9, .floatParams = kLoggerFloats,
    .wordValues = kLoggerValues, .texts = kLoggerTexts, .workWords = kLoggerWork};
constexpr FbTemplate kAlogexTemplate{
    .size = 262, .type = BLK_TYPE_ALOGEX, .analogOutputs = 1, .analogInputs = 5,
    .floatParams = kAlogexFloats, .texts = kAlogexTexts, .workWords = kAlogexWork};
constexpr FbTemplate kDlogexTemplate{
    .size = 216, .type = BLK_TYPE_DLOGEX, .analogOutputs = 1, .analogInputs = 1,
    .digitalInputs = 8, .texts = kDlogexTexts, .workWords = kDlogexWork};
constexpr FbTemplate kEvtlogTemplate{
    .size = 249, .type = BLK_TYPE_EVTLOG, .analogOutputs = 1, .digitalOutputs = 2,
    .analogInputs = 1, .digitalInputs = 12, .floatParams = kEvtlogFloats,
    .wordValues = kEvtlogValues, .texts = kEvtlogTexts, .workWords = kEvtlogWork};

// Limits: scales -29999..999999 with 3 decimals, "Scan T" 1..999999 s whole, "Bounce"
// 0..3600 s with 1 decimal; "N file" and "F type" by their choices.
constexpr FwFloatLimit kScale{.min = -29999.0f, .max = 999999.0f, .attribute = 3};
constexpr FwFloatLimit kLoggerFloatLimits[] = {kScale, kScale, kScale, kScale, kScale,
                                               kScale, kScale, kScale,
                                               {.min = 1.0f, .max = 999999.0f, .attribute = 0}};
constexpr FwShortLimit kLoggerValueLimits[] = {{.min = LOG_NFILE_PER_DAY, .max = LOG_NFILE_REQUEST},
                                               {.min = LOG_FORMAT_LBI, .max = LOG_FORMAT_CSV_US}};
constexpr FwFloatLimit kEvtlogFloatLimits[] = {{.min = 0.0f, .max = 3600.0f, .attribute = 1}};
constexpr FwShortLimit kEvtlogValueLimits[] = {{.min = EVT_NFILE_PER_DAY, .max = EVT_NFILE_REQUEST}};

constexpr FbLimitTable kLoggerLimits{.floatParams = kLoggerFloatLimits,
                                     .wordValues = kLoggerValueLimits};
constexpr FbLimitTable kAlogexLimits{
    .floatParams = std::span<const FwFloatLimit>(kLoggerFloatLimits, std::size(kAlogexFloats))};
constexpr FbLimitTable kEvtlogLimits{.floatParams = kEvtlogFloatLimits,
                                     .wordValues = kEvtlogValueLimits};

constexpr FbBlockRange kLoggerBlocks[] = {{LOG_LOGGER_BLOCK, LOG_LOGGER_BLOCK}, {0, 0}};
constexpr FbBlockRange kEvtlogBlocks[] = {{LOG_EVTLOG_BLOCK, LOG_EVTLOG_BLOCK}, {0, 0}};

// Catalogue group of the family.
constexpr uint16_t kGroupLogger = 105;

}  // namespace

void BLK_RegisterLoggerTypes() {
  // The fixed loggers: their one block number is their fixed-place id.
  static constexpr BlkFixedTypeRow kFixedRows[] = {
      {{&kLoggerTemplate, FB_LOGGER_Run, FB_LOGGER_Init, FB_LOGGER_Param, &kLoggerLimits, 20,
        kGroupLogger},
       kLoggerBlocks, LOG_LOGGER_BLOCK},
      {{&kEvtlogTemplate, FB_EVTLOG_Run, FB_EVTLOG_Init, FB_EVTLOG_Param, &kEvtlogLimits, 12,
        kGroupLogger},
       kEvtlogBlocks, LOG_EVTLOG_BLOCK},
  };
  BLK_RegisterFixedPlaceTypes(kFixedRows);

  static constexpr BlkTypeRow kRows[] = {
      {&kAlogexTemplate, FB_ALOGEX_Run, FB_ALOGEX_Init, FB_ALOGEX_Param, &kAlogexLimits, 4,
       kGroupLogger},
      {&kDlogexTemplate, FB_DLOGEX_Run, FB_DLOGEX_Init, FB_DLOGEX_Param, nullptr, 3,
       kGroupLogger},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}
