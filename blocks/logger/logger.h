// Data and event logger blocks: the data logger LOGGER with its extensions ALOGEX (four more
// analog channels) and DLOGEX (eight more digital channels), and the event logger EVTLOG.
//
// The blocks sample their inputs and compose file names, time stamps and record lines in
// their own instances; the SD-card storage writer, which is not part of this system, reads
// them through the descriptors below and keeps a small handshake with the blocks (ready
// flags, counts, requests it clears). Everything the writer reads lives in the instance
// heap: the links between the records are handles (word offsets into that heap), so that
// the instances keep the device's 32-bit layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/fb_store.h"

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_LOGGER = 150,
  BLK_TYPE_ALOGEX = 151,
  BLK_TYPE_DLOGEX = 152,
  BLK_TYPE_EVTLOG = 153,
};

// The fixed block numbers of the two loggers.
constexpr uint16_t LOG_LOGGER_BLOCK = 89;
constexpr uint16_t LOG_EVTLOG_BLOCK = 87;

// "F type": the record format of LOGGER, which its extensions follow.
enum : uint16_t {
  LOG_FORMAT_LBI = 0,     // binary records
  LOG_FORMAT_CSV_DE = 1,  // "dd.mm.yyyy hh:mm:ss;1,500"
  LOG_FORMAT_CSV_EN = 2,  // "dd/mm/yyyy hh:mm:ss,1.500"
  LOG_FORMAT_CSV_US = 3,  // "mm/dd/yyyy hh:mm:ss,1.500"
};

// "N file": when a new file is begun.
enum : uint16_t { LOG_NFILE_PER_DAY = 0, LOG_NFILE_PER_HOUR = 1, LOG_NFILE_REQUEST = 2 };
enum : uint16_t { EVT_NFILE_PER_DAY = 0, EVT_NFILE_REQUEST = 1 };

// Inputs (1-based). LOGGER: analog "X 1".."X 4", "LogDat"; digital "trigger", "pause",
// "new file", "d 1".."d 6". ALOGEX: analog "X 1".."X 4", "LogDat". DLOGEX: analog "LogDat",
// digital "d 1".."d 8". EVTLOG: analog "EvtDat"; digital "pause", "new file", "d 1".."d 10".
enum : uint16_t {
  LOGGER_IN_LOGDAT = 5,
  LOGGER_IN_TRIGGER = 1,
  LOGGER_IN_PAUSE = 2,
  LOGGER_IN_NEW_FILE = 3,
  LOGGER_IN_D1 = 4,
  ALOGEX_IN_LOGDAT = 5,
  DLOGEX_IN_LOGDAT = 1,
  EVTLOG_IN_PAUSE = 1,
  EVTLOG_IN_NEW_FILE = 2,
  EVTLOG_IN_D1 = 3,
};

constexpr unsigned LOG_ANALOG_CHANNELS = 4;    // LOGGER and ALOGEX
constexpr unsigned LOG_DIGITAL_CHANNELS = 6;   // LOGGER
constexpr unsigned LOG_EXT_DIGITAL_CHANNELS = 8;
constexpr unsigned EVT_CHANNELS = 10;

// Values on "Samples" / "Events" and in the status fields.
enum : int16_t {
  LOG_STATUS_OK = 0,
  LOG_NO_CARD = -1,           // no SD card
  LOG_WRONG_BASE_UNIT = -2,   // a base unit other than '1'
  LOG_STATUS_CLOCK = -3,      // the clock is not set (year 0)
  EVT_WRITER_NOT_READY = -5,
};

// Writer requests and new-file kinds of the handshake.
enum : int32_t {
  LOG_REQUEST_NONE = 0,
  LOG_REQUEST_MINUTE = 1,     // once a minute while recording
  LOG_REQUEST_FINISH = 3,     // finish the current file
  LOG_NEWFILE_NONE = 0,
  LOG_NEWFILE_NEXT = 1,       // period, request (or, EVTLOG, day change or count limit)
  LOG_NEWFILE_FIRST = 2,      // first file after start
};

// The SD-card flag of the hardware adapter. Nothing in the simulator sets it, so both
// loggers stay at -1.0; tests set it to stand in for a card.
extern uint8_t g_logSdCard;
// LOGGER's "F type" as its Init publishes it: the format the extensions write.
extern uint16_t g_logRecordFormat;

// ---------------------------------------------------------------------------------------
// Records in the instance heap. Every field sits on a 16-bit boundary; 32-bit fields are
// two-word cells.

struct LogI32 {
  uint16_t w[2];
  operator int32_t() const {
    int32_t v;
    std::memcpy(&v, w, sizeof v);
    return v;
  }
  LogI32& operator=(int32_t v) {
    std::memcpy(w, &v, sizeof v);
    return *this;
  }
};
static_assert(sizeof(LogI32) == 4 && alignof(LogI32) == 2);

// A link to a record: the word offset of the record in the instance heap; 0 is none.
using LogHandle = FbU32;

// The handle of a place inside the instance heap (0 for any other place).
uint32_t LOG_HandleOf(const void* place);
// The place a handle names, when `bytes` from it lie inside the instance heap; else null.
void* LOG_Place(uint32_t handle, size_t bytes);
template <class T>
T* LOG_At(uint32_t handle) {
  return static_cast<T*>(LOG_Place(handle, sizeof(T)));
}

// Record descriptor: LOGGER's, and of the same shape each extension's.
struct LogDescriptor {
  LogHandle header;         // LogHeader (LOGGER) or LogCounts (extensions)
  LogHandle fileStart;      // u32 file start time, seconds since 1970 (LOGGER only)
  LogHandle analogList;     // first LogAnalogNode, or 0
  LogHandle digitalList;    // first LogDigitalNode, or 0
  LogHandle extension;      // the next extension's descriptor, or 0
  LogHandle fileName;       // file-name text (LOGGER only)
  LogHandle prefix;         // file-name prefix (LOGGER only)
  LogHandle reserved;       // always 0
  LogHandle analogRecord;   // analog record text, or the binary record
  LogHandle digitalRecord;  // digital record text, or the bit-mask byte
};

struct LogCounts {
  LogI32 intervalMs;        // LOGGER: Scan T in ms; extensions: 1000
  LogI32 analogCount;
  LogI32 digitalCount;
};

struct LogHeader {
  LogCounts counts;
  uint16_t version;         // 0x0101
  LogI32 reserved;          // -1
  FbF32 zero;               // 0
  FbU32 fileStart;          // seconds since 1970 of the current file's start
};

struct LogAnalogNode {
  LogHandle name;           // the channel's 16-character text, blank-padded, unterminated
  uint8_t connected;        // the input has a source
  uint8_t spare;
  FbU32 colour;
  FbF32 min;
  FbF32 max;
  LogHandle next;           // the next node, or 0
};

struct LogDigitalNode {
  LogHandle name;
  uint8_t connected;
  uint8_t spare;
  FbU32 zero;
  LogHandle next;
};

// Buffer sizes, for the worst case of every field: a 16-bit clock field has at most 5
// digits; a value printed with 3 decimals takes at most 45 bytes with its separator (sign,
// the 39 integer digits of the largest float, point, decimals).
constexpr size_t LOG_CLOCK_FIELD_MAX = 5;
constexpr size_t LOG_VALUE_FIELD_MAX = 1 + 1 + 39 + 1 + 3;
constexpr size_t LOG_WORD_FIELD_MAX = 1 + 5;
constexpr size_t LOG_STAMP_MAX = 6 * LOG_CLOCK_FIELD_MAX + 5;
constexpr size_t LOG_EVENT_STAMP_MAX = 6 * (LOG_CLOCK_FIELD_MAX + 1);
constexpr size_t LOG_LBI_ANALOG_BYTES = 4 + 4 * LOG_ANALOG_CHANNELS;  // time, four f32
constexpr size_t logEven(size_t n) { return (n + 1) & ~size_t{1}; }

constexpr size_t LOG_PREFIX_BYTES = logEven(FB_TEXT_LEN + 1);
constexpr size_t LOG_FILE_NAME_BYTES =
    logEven(FB_TEXT_LEN + 6 * (1 + LOG_CLOCK_FIELD_MAX) + 1 + 1);
constexpr size_t LOG_ANALOG_RECORD_BYTES =
    logEven(LOG_STAMP_MAX + LOG_ANALOG_CHANNELS * LOG_VALUE_FIELD_MAX + 1);
constexpr size_t LOG_DIGITAL_RECORD_BYTES =
    logEven(LOG_DIGITAL_CHANNELS * LOG_WORD_FIELD_MAX + 1);
constexpr size_t LOG_EXT_ANALOG_RECORD_BYTES =
    logEven(LOG_ANALOG_CHANNELS * LOG_VALUE_FIELD_MAX + 1);
constexpr size_t LOG_EXT_DIGITAL_RECORD_BYTES =
    logEven(LOG_EXT_DIGITAL_CHANNELS * LOG_WORD_FIELD_MAX + 1);
constexpr size_t EVT_RECORD_BYTES =
    logEven(LOG_EVENT_STAMP_MAX + FB_TEXT_LEN + sizeof(";recognized") - 1 + 1);

// The writer's handshake with LOGGER.
struct LogHandshake {
  int16_t fileStatus;       // 0, or -3 while the clock is not set
  LogI32 sampleCount;       // kept by the writer
  LogI32 newFileKind;       // LOG_NEWFILE_*, set at each new file
  LogI32 recordReady;       // set to 1 per record
  LogI32 writerRequest;     // LOG_REQUEST_*; the writer clears it
};

struct LogSampling {
  LogI32 counter;           // cycles since the file began; -1 = not started
  LogI32 period;            // file period in cycles
  LogI32 interval;          // sample interval in cycles
  LogI32 cyclesPerMinute;   // 600
  uint8_t lastTrigger;
  uint8_t lastNewFile;
  uint8_t holdOff;          // cycles after a file change in which no change is made
  uint8_t fileChange;       // a file change is in progress
  uint8_t sampleDue;
  uint8_t spare;
  FbU32 lastRecordTime;     // seconds since 1970 of the last record
};

// LOGGER's own state (its work words).
struct LogLoggerState {
  LogDescriptor descriptor;
  LogHeader header;
  LogAnalogNode analog[LOG_ANALOG_CHANNELS];
  LogDigitalNode digital[LOG_DIGITAL_CHANNELS];
  LogHandshake handshake;
  LogSampling sampling;
  char prefix[LOG_PREFIX_BYTES];
  char fileName[LOG_FILE_NAME_BYTES];
  uint8_t analogRecord[LOG_ANALOG_RECORD_BYTES];  // text, or LBI: u32 time + four f32
  uint8_t digitalRecord[LOG_DIGITAL_RECORD_BYTES];// text, or LBI: one bit-mask byte
};

// ALOGEX's own state.
struct LogAnalogExtState {
  LogDescriptor descriptor;
  LogCounts counts;
  LogAnalogNode analog[LOG_ANALOG_CHANNELS];
  uint8_t record[LOG_EXT_ANALOG_RECORD_BYTES];    // text, or LBI: four f32
};

// DLOGEX's own state.
struct LogDigitalExtState {
  LogDescriptor descriptor;
  LogCounts counts;
  LogDigitalNode digital[LOG_EXT_DIGITAL_CHANNELS];
  uint8_t record[LOG_EXT_DIGITAL_RECORD_BYTES];   // text, or LBI: one bit-mask byte
};

// EVTLOG's own state.
struct LogEventState {
  LogHandle fileNamePtr;
  LogHandle prefixPtr;
  uint8_t newFileKind;      // LOG_NEWFILE_*; the writer clears it
  uint8_t writerReady;      // set by the writer
  uint8_t firstRun;         // set by Init
  uint8_t spare;
  int16_t status;           // 0, -3 for a clock that is not set, or a writer code
  LogI32 eventCount;        // kept by the writer
  char prefix[LOG_PREFIX_BYTES];
  char fileName[LOG_FILE_NAME_BYTES];
  uint8_t lastNewFile;
  uint8_t holdOff;
  int16_t day;              // day of month of the current file
  int16_t settleCycles;     // settling time in cycles, at most 32767
  int16_t last[EVT_CHANNELS];
  int16_t settle[EVT_CHANNELS];  // settling counters, -1 = idle
  char record[EVT_RECORD_BYTES]; // the last event record composed
};

// The own state of a block of that type, or null (no such block, another type, or an
// instance too small for the state).
LogLoggerState* LOG_LoggerState(uint16_t block);
LogAnalogExtState* LOG_AnalogExtState(uint16_t block);
LogDigitalExtState* LOG_DigitalExtState(uint16_t block);
LogEventState* LOG_EventState(uint16_t block);

// The descriptor after `d` in the extension chain, or null.
const LogDescriptor* LOG_NextExtension(const LogDescriptor& d);

// Calls visit(const LogDescriptor&) for each extension behind `head`, in chain order, and
// returns how many it visited. The walk ends at the end of the chain and never takes more
// steps than there are blocks, so that a chain that leads back into itself cannot hold it.
template <class Visit>
unsigned LOG_ForEachExtension(const LogDescriptor& head, Visit&& visit) {
  unsigned n = 0;
  for (const LogDescriptor* d = LOG_NextExtension(head); d && n < FB_MAX_BLOCK;
       d = LOG_NextExtension(*d)) {
    visit(*d);
    ++n;
  }
  return n;
}

// Where EVTLOG hands each event record it composes: the storage writer's entry. Null (the
// default) hands them to no one. Returns the writer it replaces.
using LogEventWriter = void (*)(uint16_t block, const char* record);
LogEventWriter LOG_SetEventWriter(LogEventWriter writer);

// Enters the family's rows into the block-type table.
void BLK_RegisterLoggerTypes();

void FB_LOGGER_Run();
void FB_LOGGER_Init();
uint8_t FB_LOGGER_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_ALOGEX_Run();
void FB_ALOGEX_Init();
uint8_t FB_ALOGEX_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_DLOGEX_Run();
void FB_DLOGEX_Init();
uint8_t FB_DLOGEX_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_EVTLOG_Run();
void FB_EVTLOG_Init();
uint8_t FB_EVTLOG_Param(FbParamRequest* request, uint16_t* badIndex);
