// The data logger LOGGER and its extensions ALOGEX and DLOGEX.
#include "blocks/logger/logger.h"

#include <cstdint>
#include <cstring>

#include "blocks/block_family.h"
#include "blocks/logger/log_block.h"
#include "blocks/logger/log_format.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_image.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_sysimage.h"

uint8_t g_logSdCard = 0;
uint16_t g_logRecordFormat = LOG_FORMAT_LBI;

// ---------------------------------------------------------------------------------------
// Handles and own state

uint32_t LOG_HandleOf(const void* place) {
  const auto base = reinterpret_cast<std::uintptr_t>(g_fbStore.instanceHeap);
  const auto at = reinterpret_cast<std::uintptr_t>(place);
  if (at < base || at >= base + sizeof g_fbStore.instanceHeap || (at - base) % 2 != 0) return 0;
  return static_cast<uint32_t>((at - base) / 2);
}

void* LOG_Place(uint32_t handle, size_t bytes) {
  if (handle == 0 || handle >= FB_INSTANCE_HEAP_WORDS) return nullptr;
  if (bytes > 2 * size_t{FB_INSTANCE_HEAP_WORDS - handle}) return nullptr;
  return &g_fbStore.instanceHeap[handle];
}

LogLoggerState* LOG_LoggerState(uint16_t block) {
  return LOG_OwnState<LogLoggerState>(block, BLK_TYPE_LOGGER);
}
LogAnalogExtState* LOG_AnalogExtState(uint16_t block) {
  return LOG_OwnState<LogAnalogExtState>(block, BLK_TYPE_ALOGEX);
}
LogDigitalExtState* LOG_DigitalExtState(uint16_t block) {
  return LOG_OwnState<LogDigitalExtState>(block, BLK_TYPE_DLOGEX);
}

const LogDescriptor* LOG_NextExtension(const LogDescriptor& d) {
  return LOG_At<LogDescriptor>(d.extension);
}

bool LOG_LoggingEnabled(FbLayout& L) {
  float code;
  if (!g_logSdCard) {
    code = LOG_NO_CARD;
  } else if (FW_SysImage()[FW_SYS_ORDER_DIGITS + 3] != '1') {
    code = LOG_WRONG_BASE_UNIT;
  } else {
    return true;
  }
  L.ao[0] = code;
  L.dout[LOG_OUT_RUN] = 0;
  L.dout[LOG_OUT_ERROR] = 1;
  return false;
}

namespace {

// Inputs, 0-based.
constexpr unsigned kLoggerLogDat = LOGGER_IN_LOGDAT - 1;
constexpr unsigned kLoggerTrigger = LOGGER_IN_TRIGGER - 1;
constexpr unsigned kLoggerPause = LOGGER_IN_PAUSE - 1;
constexpr unsigned kLoggerNewFile = LOGGER_IN_NEW_FILE - 1;
constexpr unsigned kLoggerD1 = LOGGER_IN_D1 - 1;
constexpr unsigned kAlogexLogDat = ALOGEX_IN_LOGDAT - 1;
constexpr unsigned kDlogexLogDat = DLOGEX_IN_LOGDAT - 1;

// Texts, 0-based: channel names follow the title; LOGGER's file name is its last text.
constexpr unsigned kFirstNameText = 1;
constexpr unsigned kLoggerDigitalNameText = kFirstNameText + LOG_ANALOG_CHANNELS;
constexpr unsigned kFileNameText = 11;

constexpr uint32_t kChannelColours[LOG_ANALOG_CHANNELS] = {0x008000, 0x000080, 0x800000,
                                                          0x0000FF};
constexpr int32_t kCyclesPerDay = 864000;
constexpr int32_t kCyclesPerHour = 36000;
constexpr int32_t kCyclesPer30Days = 2592000;
constexpr int32_t kCyclesPerMinute = 600;
constexpr uint8_t kHoldOffCycles = 20;
constexpr int32_t kExtensionIntervalMs = 1000;

enum : unsigned { kNFile = 0, kFType = 1 };  // LOGGER's word values

bool isTextFormat(uint16_t format) {
  return format >= LOG_FORMAT_CSV_DE && format <= LOG_FORMAT_CSV_US;
}

const char* textAt(const FbLayout& L, unsigned i) { return L.text + i * FB_TEXT_LEN; }

char* asText(uint8_t* buffer) { return reinterpret_cast<char*>(buffer); }

// a % n == 0 for a positive n; never divides by zero.
bool multipleOf(int32_t a, int32_t n) { return n > 0 && a % n == 0; }

// Copies a word value's stored copy into its working copy.
void takeStoredWordValues(FbLayout& L) {
  for (unsigned i = 0; i < L.wordValues; ++i) L.wv[i] = L.wv[L.wordValues + i];
}

// Channel lists. The analog channels are inputs 0..3, named by the texts after the title,
// with their scales in float parameters 0..7; digital channels are named by the texts from
// `firstText` on.
void buildAnalogList(LogAnalogNode* nodes, const FbLayout& L) {
  for (unsigned i = 0; i < LOG_ANALOG_CHANNELS; ++i) {
    LogAnalogNode& n = nodes[i];
    n.name = LOG_HandleOf(textAt(L, kFirstNameText + i));
    n.connected = LOG_AnalogWired(L, i) ? 1 : 0;
    n.colour = kChannelColours[i];
    n.min = L.fp[2 * i];
    n.max = L.fp[2 * i + 1];
    n.next = i + 1 < LOG_ANALOG_CHANNELS ? LOG_HandleOf(&nodes[i + 1]) : 0;
  }
}

void buildDigitalList(LogDigitalNode* nodes, unsigned count, const FbLayout& L,
                      unsigned firstText, unsigned firstInput) {
  for (unsigned i = 0; i < count; ++i) {
    LogDigitalNode& n = nodes[i];
    n.name = LOG_HandleOf(textAt(L, firstText + i));
    n.connected = LOG_DigitalWired(L, firstInput + i) ? 1 : 0;
    n.zero = 0;
    n.next = i + 1 < count ? LOG_HandleOf(&nodes[i + 1]) : 0;
  }
}

// Record fields: the four analog channels and a run of digital channels, as text of the
// format or as "LBI" binary fields.
void putAnalogFields(LogText& t, uint16_t format, const FbLayout& L) {
  for (unsigned i = 0; i < LOG_ANALOG_CHANNELS; ++i) {
    LOG_PutAnalogField(t, format, LOG_AnalogWired(L, i), FB_ReadAnalogRef(L.ai[i]));
  }
}

void putAnalogBinary(uint8_t* at, const FbLayout& L) {
  for (unsigned i = 0; i < LOG_ANALOG_CHANNELS; ++i) {
    LOG_PutF32(at + 4 * i, LOG_AnalogWired(L, i) ? FB_ReadAnalogRef(L.ai[i]) : 0.0f);
  }
}

void putDigitalFields(LogText& t, uint16_t format, const FbLayout& L, unsigned first,
                      unsigned count) {
  for (unsigned i = first; i < first + count; ++i) {
    LOG_PutDigitalField(t, format, LOG_DigitalWired(L, i), LOG_Din(L, i));
  }
}

// Bit k is set when digital channel k + 1 is connected and non-zero.
uint8_t digitalMask(const FbLayout& L, unsigned first, unsigned count) {
  uint8_t mask = 0;
  for (unsigned k = 0; k < count; ++k) {
    if (LOG_DigitalWired(L, first + k) && LOG_Din(L, first + k) != 0) {
      mask = static_cast<uint8_t>(mask | 1u << k);
    }
  }
  return mask;
}

// ---------------------------------------------------------------------------------------
// The extension chain

// The descriptor of an extension block, or null for any other block.
LogDescriptor* extensionDescriptor(uint16_t block) {
  if (LogAnalogExtState* a = LOG_AnalogExtState(block)) return &a->descriptor;
  if (LogDigitalExtState* d = LOG_DigitalExtState(block)) return &d->descriptor;
  return nullptr;
}

// True when the chain from `d` comes to the descriptor `target`, or does not end within as
// many steps as there are blocks.
bool chainReaches(const LogDescriptor* d, uint32_t target) {
  for (unsigned steps = 0; d; d = LOG_NextExtension(*d)) {
    if (LOG_HandleOf(d) == target || ++steps > FB_MAX_BLOCK) return true;
  }
  return false;
}

// The handle of the extension descriptor wired to analog input `input` of the block whose
// descriptor is `self`, or 0. The input must come from the "LogDat" output of a block of
// type 151 or 152 that carries that block's number, and the link must not close a loop.
uint32_t resolveExtension(const FbLayout& L, unsigned input, uint32_t self) {
  const uint32_t ref = L.ai[input];
  if (ref == FB_REF_ZERO) return 0;
  const float value = FB_ReadAnalogRef(ref);
  const uint16_t block = FW_FloatToU16(value);
  if (static_cast<float>(block) != value) return 0;
  uint32_t logDat = 0;
  if (FB_AnalogOutputHandle(block, 1, &logDat) != 1 || logDat != ref) return 0;
  const LogDescriptor* ext = extensionDescriptor(block);
  if (!ext || chainReaches(ext, self)) return 0;
  return LOG_HandleOf(ext);
}

// Resolves the next extension when it is still null and the "LogDat" input is wired.
void resolveIfNeeded(LogDescriptor& d, const FbLayout& L, unsigned input) {
  if (d.extension == 0 && LOG_AnalogWired(L, input)) {
    d.extension = resolveExtension(L, input, LOG_HandleOf(&d));
  }
}

// ---------------------------------------------------------------------------------------
// LOGGER steps

int32_t filePeriod(const FbLayout& L) {
  switch (L.wv[kNFile]) {
    case LOG_NFILE_PER_HOUR: return kCyclesPerHour;
    case LOG_NFILE_REQUEST:
      return LOG_DigitalWired(L, kLoggerNewFile) ? kCyclesPer30Days : kCyclesPerDay;
    default: return kCyclesPerDay;
  }
}

// One record of the current inputs, taken at `seconds`.
void composeRecord(LogLoggerState& s, const FbLayout& L, uint32_t seconds) {
  const uint16_t format = L.wv[kFType];
  if (isTextFormat(format)) {
    LogText a(asText(s.analogRecord), sizeof s.analogRecord);
    LOG_PutStamp(a, format, g_fwClock.now);
    putAnalogFields(a, format, L);
    LogText d(asText(s.digitalRecord), sizeof s.digitalRecord);
    putDigitalFields(d, format, L, kLoggerD1, LOG_DIGITAL_CHANNELS);
  } else {
    FW_PutU32(s.analogRecord, seconds);
    putAnalogBinary(s.analogRecord + 4, L);
    s.digitalRecord[0] = digitalMask(L, kLoggerD1, LOG_DIGITAL_CHANNELS);
  }
}

// The recording state: samples on trigger edges and every sample interval (unless paused),
// at most one record per second.
void record(FbLayout& L, LogLoggerState& s) {
  LogSampling& m = s.sampling;
  LogHandshake& h = s.handshake;
  const uint16_t trigger = LOG_Din(L, kLoggerTrigger);
  if (LOG_DigitalWired(L, kLoggerTrigger) && trigger != 0 && m.lastTrigger == 0) m.sampleDue = 1;
  if (multipleOf(m.counter, m.interval) && LOG_Din(L, kLoggerPause) == 0) m.sampleDue = 1;
  m.lastTrigger = trigger != 0 ? 1 : 0;

  if (m.sampleDue) {
    const uint32_t now = LOG_ClockSeconds();
    if (now != m.lastRecordTime) {
      composeRecord(s, L, now);
      m.lastRecordTime = now;
      m.sampleDue = 0;
      h.recordReady = 1;
    }
    L.dout[LOG_OUT_RUN] = 1;
  }
  L.dout[LOG_OUT_ERROR] = 0;
  L.ao[0] = h.fileStatus != 0 ? static_cast<float>(h.fileStatus)
                              : static_cast<float>(static_cast<int32_t>(h.sampleCount));
  if (multipleOf(m.counter, m.cyclesPerMinute)) h.writerRequest = LOG_REQUEST_MINUTE;
  m.counter = m.counter + 1;
}

// The file change: ask the writer to finish the file, wait until it has, then begin the
// next file.
void changeFile(FbLayout& L, LogLoggerState& s) {
  LogSampling& m = s.sampling;
  LogHandshake& h = s.handshake;
  if (!m.fileChange) {
    m.fileChange = 1;
    h.writerRequest = LOG_REQUEST_FINISH;
    return;
  }
  if (h.writerRequest != LOG_REQUEST_NONE) return;
  m.fileChange = 0;
  s.header.fileStart = LOG_ClockSeconds();
  h.fileStatus = LOG_ComposeFileName(s.fileName, sizeof s.fileName, s.prefix, g_fwClock.now);
  h.newFileKind = m.counter == -1 ? LOG_NEWFILE_FIRST : LOG_NEWFILE_NEXT;
  m.counter = 0;
  m.lastNewFile = LOG_Din(L, kLoggerNewFile) != 0 ? 1 : 0;
  m.holdOff = kHoldOffCycles;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// LOGGER

void FB_LOGGER_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LogLoggerState* s = LOG_OwnState<LogLoggerState>(L, BLK_TYPE_LOGGER);
  if (!s) return;
  takeStoredWordValues(L);
  std::memset(s, 0, sizeof *s);
  L.ao[0] = 0.0f;
  L.dout[LOG_OUT_RUN] = 0;
  L.dout[LOG_OUT_ERROR] = 0;

  const float scanT = L.fp[2 * LOG_ANALOG_CHANNELS];
  LogDescriptor& d = s->descriptor;
  d.header = LOG_HandleOf(&s->header);
  d.fileStart = LOG_HandleOf(&s->header.fileStart);
  d.analogList = LOG_HandleOf(&s->analog[0]);
  d.digitalList = LOG_HandleOf(&s->digital[0]);
  d.fileName = LOG_HandleOf(s->fileName);
  d.prefix = LOG_HandleOf(s->prefix);
  d.analogRecord = LOG_HandleOf(s->analogRecord);
  d.digitalRecord = LOG_HandleOf(s->digitalRecord);

  LogHeader& hd = s->header;
  hd.counts.intervalMs = FW_FloatToI32(scanT * 1000.0f);
  hd.counts.analogCount = LOG_ANALOG_CHANNELS;
  hd.counts.digitalCount = LOG_DIGITAL_CHANNELS;
  hd.version = 0x0101;
  hd.reserved = -1;
  hd.zero = 0.0f;
  buildAnalogList(s->analog, L);
  buildDigitalList(s->digital, LOG_DIGITAL_CHANNELS, L, kLoggerDigitalNameText, kLoggerD1);
  LOG_CopyPrefix(s->prefix, textAt(L, kFileNameText));

  LogSampling& m = s->sampling;
  m.counter = -1;
  m.cyclesPerMinute = kCyclesPerMinute;
  // At least one cycle, so that a Scan T below the limits cannot stop the sampling.
  const int32_t interval = FW_FloatToI32(scanT * 10.0f);
  m.interval = interval > 0 ? interval : 1;
  m.period = filePeriod(L);

  g_logRecordFormat = L.wv[kFType];
  d.extension = resolveExtension(L, kLoggerLogDat, LOG_HandleOf(&d));
}

void FB_LOGGER_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LogLoggerState* s = LOG_OwnState<LogLoggerState>(L, BLK_TYPE_LOGGER);
  if (!s) return;
  LogSampling& m = s->sampling;
  if (!LOG_LoggingEnabled(L)) {
    // Idle: the next enabled cycle begins a new file, without a hold-off left over.
    m.counter = -1;
    m.holdOff = 0;
    return;
  }
  resolveIfNeeded(s->descriptor, L, kLoggerLogDat);

  if (L.wv[kNFile] == LOG_NFILE_REQUEST && LOG_DigitalWired(L, kLoggerNewFile)) {
    const bool newFile = LOG_Din(L, kLoggerNewFile) != 0;
    if (newFile && m.lastNewFile == 0) {
      m.counter = m.period;
    } else {
      m.lastNewFile = newFile ? 1 : 0;
    }
  }

  // A counter at or past the period changes the file: a request edge during the hold-off
  // leaves it past the period.
  const int32_t counter = m.counter;
  const bool recording =
      m.holdOff != 0 || (counter != -1 && counter < m.period && !m.fileChange);
  if (recording) {
    record(L, *s);
  } else {
    changeFile(L, *s);
  }
  if (m.holdOff != 0) --m.holdOff;
  FB_ApplyPendingFloats(L.block);
}

uint8_t FB_LOGGER_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }

// ---------------------------------------------------------------------------------------
// ALOGEX: four more analog channels behind LOGGER or another extension.

void FB_ALOGEX_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LogAnalogExtState* s = LOG_OwnState<LogAnalogExtState>(L, BLK_TYPE_ALOGEX);
  if (!s) return;
  std::memset(s, 0, sizeof *s);
  L.ao[0] = static_cast<float>(L.block);
  LogDescriptor& d = s->descriptor;
  d.header = LOG_HandleOf(&s->counts);
  d.analogList = LOG_HandleOf(&s->analog[0]);
  d.analogRecord = LOG_HandleOf(s->record);
  s->counts.intervalMs = kExtensionIntervalMs;
  s->counts.analogCount = LOG_ANALOG_CHANNELS;
  s->counts.digitalCount = 0;
  buildAnalogList(s->analog, L);
  d.extension = resolveExtension(L, kAlogexLogDat, LOG_HandleOf(&d));
}

void FB_ALOGEX_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LogAnalogExtState* s = LOG_OwnState<LogAnalogExtState>(L, BLK_TYPE_ALOGEX);
  if (!s) return;
  resolveIfNeeded(s->descriptor, L, kAlogexLogDat);
  const uint16_t format = g_logRecordFormat;
  if (isTextFormat(format)) {
    LogText t(asText(s->record), sizeof s->record);
    putAnalogFields(t, format, L);
  } else {
    putAnalogBinary(s->record, L);
  }
  FB_ApplyPendingFloats(L.block);
}

uint8_t FB_ALOGEX_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }

// ---------------------------------------------------------------------------------------
// DLOGEX: eight more digital channels behind LOGGER or another extension.

void FB_DLOGEX_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LogDigitalExtState* s = LOG_OwnState<LogDigitalExtState>(L, BLK_TYPE_DLOGEX);
  if (!s) return;
  std::memset(s, 0, sizeof *s);
  L.ao[0] = static_cast<float>(L.block);
  LogDescriptor& d = s->descriptor;
  d.header = LOG_HandleOf(&s->counts);
  d.digitalList = LOG_HandleOf(&s->digital[0]);
  d.digitalRecord = LOG_HandleOf(s->record);
  s->counts.intervalMs = kExtensionIntervalMs;
  s->counts.analogCount = 0;
  s->counts.digitalCount = LOG_EXT_DIGITAL_CHANNELS;
  buildDigitalList(s->digital, LOG_EXT_DIGITAL_CHANNELS, L, kFirstNameText, 0);
  d.extension = resolveExtension(L, kDlogexLogDat, LOG_HandleOf(&d));
}

void FB_DLOGEX_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LogDigitalExtState* s = LOG_OwnState<LogDigitalExtState>(L, BLK_TYPE_DLOGEX);
  if (!s) return;
  resolveIfNeeded(s->descriptor, L, kDlogexLogDat);
  const uint16_t format = g_logRecordFormat;
  if (isTextFormat(format)) {
    LogText t(asText(s->record), sizeof s->record);
    putDigitalFields(t, format, L, 0, LOG_EXT_DIGITAL_CHANNELS);
  } else {
    s->record[0] = digitalMask(L, 0, LOG_EXT_DIGITAL_CHANNELS);
  }
}

// DLOGEX has no parameters: every id is unknown.
uint8_t FB_DLOGEX_Param(FbParamRequest* r, uint16_t* bad) { return BLK_RefuseParams(r, bad); }
