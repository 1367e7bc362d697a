// A stand-in for the SD-card storage writer of the logger blocks: it puts a card in the
// device (SD-card flag set, base unit '1'), and between the blocks' cycles does what the
// writer does with their handshake: answers LOGGER's requests, takes its new files and
// ready records (joined with the records of its extension chain), sets EVTLOG's ready
// flag, takes its new files and counts the event records it is handed.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "blocks/logger/logger.h"
#include "runtime/fw_sysimage.h"

class LogWriterStandIn {
 public:
  struct Record {
    std::string analog;      // text record, or the "LBI" bytes
    std::string digital;
    std::vector<std::string> extensions;  // each extension's record, in chain order
  };

  explicit LogWriterStandIn(char baseUnit = '1') {
    g_logSdCard = 1;
    baseUnit_ = FW_SysImage()[FW_SYS_ORDER_DIGITS + 3];
    FW_SysImage()[FW_SYS_ORDER_DIGITS + 3] = static_cast<uint8_t>(baseUnit);
    current_ = this;
    previous_ = LOG_SetEventWriter(&LogWriterStandIn::takeEvent);
  }
  ~LogWriterStandIn() {
    LOG_SetEventWriter(previous_);
    current_ = nullptr;
    g_logSdCard = 0;
    FW_SysImage()[FW_SYS_ORDER_DIGITS + 3] = baseUnit_;
  }
  LogWriterStandIn(const LogWriterStandIn&) = delete;
  LogWriterStandIn& operator=(const LogWriterStandIn&) = delete;

  // The writer's turn after a LOGGER cycle. `answer` false leaves requests standing (a slow
  // writer).
  void serviceLogger(uint16_t block = LOG_LOGGER_BLOCK, bool answer = true) {
    LogLoggerState* s = LOG_LoggerState(block);
    if (!s) return;
    LogHandshake& h = s->handshake;
    if (h.newFileKind != LOG_NEWFILE_NONE) {
      files.emplace_back(s->fileName);
      fileKinds.push_back(h.newFileKind);
      h.newFileKind = LOG_NEWFILE_NONE;
      h.sampleCount = 0;
    }
    if (h.recordReady) {
      records.push_back(takeRecord(*s));
      h.recordReady = 0;
      h.sampleCount = h.sampleCount + 1;
    }
    if (answer && h.writerRequest != LOG_REQUEST_NONE) {
      requests.push_back(h.writerRequest);
      h.writerRequest = LOG_REQUEST_NONE;
    }
  }

  // The writer's turn after an EVTLOG cycle.
  void serviceEvtlog(uint16_t block = LOG_EVTLOG_BLOCK) {
    LogEventState* s = LOG_EventState(block);
    if (!s) return;
    s->writerReady = ready;
    if (s->newFileKind != LOG_NEWFILE_NONE) {
      files.emplace_back(s->fileName);
      fileKinds.push_back(s->newFileKind);
      s->newFileKind = LOG_NEWFILE_NONE;
      s->eventCount = 0;
    }
    s->eventCount = s->eventCount + static_cast<int32_t>(events.size() - eventsCounted_);
    eventsCounted_ = events.size();
  }

  // Forgets what was taken (a new engineering).
  void clear() {
    files.clear();
    fileKinds.clear();
    requests.clear();
    records.clear();
    events.clear();
    eventsCounted_ = 0;
  }

  uint8_t ready = 1;                 // what serviceEvtlog reports as EVTLOG's ready flag
  std::vector<std::string> files;    // file names, in the order the blocks began them
  std::vector<int32_t> fileKinds;
  std::vector<int32_t> requests;     // writer requests answered
  std::vector<Record> records;
  std::vector<std::string> events;

 private:
  static void takeEvent(uint16_t, const char* record) {
    if (current_) current_->events.emplace_back(record);
  }

  static std::string bytes(const uint8_t* p, size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
  }
  static std::string text(const uint8_t* p, size_t capacity) {
    const auto* c = reinterpret_cast<const char*>(p);
    return std::string(c, strnlen(c, capacity));
  }

  static Record takeRecord(const LogLoggerState& s) {
    Record r;
    const bool binary = g_logRecordFormat == LOG_FORMAT_LBI;
    r.analog = binary ? bytes(s.analogRecord, LOG_LBI_ANALOG_BYTES)
                      : text(s.analogRecord, sizeof s.analogRecord);
    r.digital = binary ? bytes(s.digitalRecord, 1) : text(s.digitalRecord, sizeof s.digitalRecord);
    LOG_ForEachExtension(s.descriptor, [&](const LogDescriptor& d) {
      const LogCounts* c = LOG_At<LogCounts>(d.header);
      if (!c) return;
      const uint32_t at = c->analogCount ? d.analogRecord.get() : d.digitalRecord.get();
      const size_t n = c->analogCount ? LOG_EXT_ANALOG_RECORD_BYTES : LOG_EXT_DIGITAL_RECORD_BYTES;
      const auto* p = static_cast<const uint8_t*>(LOG_Place(at, n));
      if (!p) return;
      r.extensions.push_back(binary ? bytes(p, c->analogCount ? 4 * LOG_ANALOG_CHANNELS : 1)
                                    : text(p, n));
    });
    return r;
  }

  static inline LogWriterStandIn* current_ = nullptr;
  LogEventWriter previous_ = nullptr;
  uint8_t baseUnit_ = 0;
  size_t eventsCounted_ = 0;
};
