// The event logger EVTLOG: ten settled digital inputs, one record per change that outlasts
// the settling time, and a new file per day, on request or when the count runs high.
#include <cstdint>
#include <cstring>

#include "blocks/logger/log_block.h"
#include "blocks/logger/log_format.h"
#include "blocks/logger/logger.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr unsigned kPause = EVTLOG_IN_PAUSE - 1;
constexpr unsigned kNewFile = EVTLOG_IN_NEW_FILE - 1;
constexpr unsigned kFirstEvent = EVTLOG_IN_D1 - 1;
constexpr unsigned kFirstEventText = 1;  // texts after the title
constexpr unsigned kFileNameText = 11;
constexpr uint8_t kHoldOffCycles = 20;
constexpr int32_t kMaxEventsPerFile = 99999;
// The settling counters are 16-bit: a longer settling time would wrap negative and its
// counter would never run out.
constexpr int32_t kMaxSettleCycles = 32767;

LogEventWriter g_eventWriter = nullptr;

// Bounce / 0.1 + 0.5, truncated, within 0..32767 cycles.
int16_t settlingCycles(float bounce) {
  const int32_t n = FW_FloatToI32(bounce / 0.1f + 0.5f);
  return static_cast<int16_t>(n < 0 ? 0 : n > kMaxSettleCycles ? kMaxSettleCycles : n);
}

// "Events" and "error": the status while it is non-zero, else the writer's event count.
void showStatus(FbLayout& L, const LogEventState& s) {
  if (s.status != 0) {
    L.ao[0] = static_cast<float>(s.status);
    L.dout[LOG_OUT_ERROR] = 1;
  } else {
    L.ao[0] = static_cast<float>(static_cast<int32_t>(s.eventCount));
    L.dout[LOG_OUT_ERROR] = 0;
  }
}

// The record of an event of input i (0-based), handed to the writer.
void composeEvent(const FbLayout& L, LogEventState& s, unsigned i) {
  LogText t(s.record, sizeof s.record);
  LOG_PutEventStamp(t, g_fwClock.now);
  char name[FB_TEXT_LEN + 1];
  std::memcpy(name, L.text + (kFirstEventText + i) * FB_TEXT_LEN, FB_TEXT_LEN);
  name[FB_TEXT_LEN] = '\0';
  FW_TrimRight(name);
  t.put(name);
  t.put(s.last[i] != 0 ? ";recognized" : ";cleared");
  if (g_eventWriter) g_eventWriter(L.block, s.record);
}

// A change starts an idle input's settling counter; a change while it runs (the input went
// back) cancels the event. A counter that has run out gives the event.
void takeEvents(FbLayout& L, LogEventState& s) {
  for (unsigned i = 0; i < EVT_CHANNELS; ++i) {
    const auto v = static_cast<int16_t>(LOG_Din(L, kFirstEvent + i));
    if (v != s.last[i]) {
      s.last[i] = v;
      s.settle[i] = s.settle[i] < 0 ? s.settleCycles : int16_t{-1};
    }
    if (s.settle[i] > 0) {
      --s.settle[i];
    } else if (s.settle[i] == 0) {
      composeEvent(L, s, i);
      s.settle[i] = -1;
    }
  }
}

}  // namespace

LogEventState* LOG_EventState(uint16_t block) {
  return LOG_OwnState<LogEventState>(block, BLK_TYPE_EVTLOG);
}

LogEventWriter LOG_SetEventWriter(LogEventWriter writer) {
  const LogEventWriter old = g_eventWriter;
  g_eventWriter = writer;
  return old;
}

void FB_EVTLOG_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LogEventState* s = LOG_OwnState<LogEventState>(L, BLK_TYPE_EVTLOG);
  if (!s) return;
  L.wv[0] = L.wv[1];  // "N file": the stored copy becomes the working one
  std::memset(s, 0, sizeof *s);
  s->firstRun = 1;
  s->fileNamePtr = LOG_HandleOf(s->fileName);
  s->prefixPtr = LOG_HandleOf(s->prefix);
  LOG_CopyPrefix(s->prefix, L.text + kFileNameText * FB_TEXT_LEN);
  for (int16_t& c : s->settle) c = -1;
  s->settleCycles = settlingCycles(L.fp[0]);
}

void FB_EVTLOG_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  LogEventState* s = LOG_OwnState<LogEventState>(L, BLK_TYPE_EVTLOG);
  if (!s || !LOG_LoggingEnabled(L)) return;
  const FwClockFields& clock = g_fwClock.now;
  const bool newFile = LOG_Din(L, kNewFile) != 0;

  uint8_t due = LOG_NEWFILE_NONE;
  if (s->firstRun) {
    s->firstRun = 0;
    s->lastNewFile = newFile ? 1 : 0;
    s->day = static_cast<int16_t>(clock.day);
    due = LOG_NEWFILE_FIRST;
  }

  const bool ready = s->writerReady != 0;
  const bool paused = LOG_Din(L, kPause) != 0;
  if (!ready) {
    L.dout[LOG_OUT_RUN] = 0;
    L.dout[LOG_OUT_ERROR] = 1;
    L.ao[0] = s->status == LOG_STATUS_CLOCK ? LOG_STATUS_CLOCK : EVT_WRITER_NOT_READY;
  } else if (paused) {
    L.dout[LOG_OUT_RUN] = 0;
    showStatus(L, *s);
  }

  // New file. A request is a rising edge of "new file"; while no edge waits, the last
  // state follows the input, so that every later request is seen as well.
  if (due == LOG_NEWFILE_NONE) {
    if (L.wv[0] == EVT_NFILE_PER_DAY && static_cast<int16_t>(clock.day) != s->day) {
      due = LOG_NEWFILE_NEXT;
    } else if (L.wv[0] == EVT_NFILE_REQUEST && newFile && s->lastNewFile == 0) {
      due = LOG_NEWFILE_NEXT;
    } else if (static_cast<int32_t>(s->eventCount) > kMaxEventsPerFile) {
      due = LOG_NEWFILE_NEXT;
    }
    if (!(newFile && s->lastNewFile == 0)) s->lastNewFile = newFile ? 1 : 0;
  }
  if (s->holdOff != 0) {
    --s->holdOff;
  } else if (due != LOG_NEWFILE_NONE && s->newFileKind == LOG_NEWFILE_NONE) {
    s->status = LOG_ComposeFileName(s->fileName, sizeof s->fileName, s->prefix, clock);
    s->newFileKind = due;
    s->lastNewFile = newFile ? 1 : 0;
    s->day = static_cast<int16_t>(clock.day);
    s->holdOff = kHoldOffCycles;
  }

  if (ready && !paused) {
    L.dout[LOG_OUT_RUN] = 1;
    showStatus(L, *s);
    takeEvents(L, *s);
  }

  if (FB_ApplyPendingFloats(L.block) != FB_APPLY_NONE) s->settleCycles = settlingCycles(L.fp[0]);
}

uint8_t FB_EVTLOG_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }
