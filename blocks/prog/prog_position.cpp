// Positions on a program and the steps that place the program on one: the preset (state 6)
// and the power-up modes after a warm start.
#include <cmath>
#include <cstdint>

#include "blocks/prog/prog_core.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_numeric.h"

namespace {

bool isWaitType(uint16_t t) { return t >= PROG_SEG_TIME_WAIT && t <= PROG_SEG_STEP_WAIT; }

uint16_t segmentType(const ProgPosition& p) {
  return PROG_SegType(p.data, p.segment % PROG_SEGMENTS_PER_BLOCK);
}

// Stands at the end of the segment: elapsed = its duration, the setpoint its end value.
void standAtEnd(ProgCycle& c, const ProgPosition& p) {
  PROG_TakePosition(c, p, p.duration);
  c.s->setpoint = c.own->endValue;
}

// "Cont.Time": the program moves on by the outage. A wait segment whose end the outage
// reached stops it there, so that a program never runs past a point where it waits for the
// operator.
void continueByTime(ProgCycle& c) {
  FbProgState& s = *c.s;
  const ProgIo& io = c.v->io;
  const float target = c.out(io.aoTNetto) + PROG_OutageTime(c);
  ProgPosition p;
  if (!PROG_FirstPosition(c, &p)) return;
  if (p.data.L.type == FB_TYPE_APRGD2) {
    const uint16_t current = s.segment;
    do {
      const float endOf = p.timeBefore + p.duration;
      if (p.segment >= current && isWaitType(segmentType(p)) && endOf <= target) {
        standAtEnd(c, p);
        return;
      }
      if (endOf > target) break;
    } while (PROG_NextPosition(c, &p));
  }
  if (s.chainStatus != PROG_CHAIN_ENDLESS && target > s.total) {
    if (!PROG_LastPosition(c, &p)) return;
    standAtEnd(c, p);
    c.setOut(io.aoTNetto, s.total);
    PROG_SetRemaining(c);
    return;
  }
  float elapsed = 0.0f;
  if (!PROG_FindSegment(c, target, &p, &elapsed)) return;
  PROG_TakePosition(c, p, elapsed);
  if (c.v->search && c.aiConnected(io.aiXVal)) c.own->searchRequest = 1;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Positions

bool PROG_FirstPosition(const ProgCycle& c, ProgPosition* p) {
  ProgData first;
  if (!PROG_FirstData(c, &first) || first.st->segments == 0) return false;
  p->data = first;
  p->segment = 0;
  p->timeBefore = 0.0f;
  p->duration = PROG_SegDuration(c, first, 0);
  return true;
}

bool PROG_NextPosition(const ProgCycle& c, ProgPosition* p) {
  if (p->segment >= c.s->lastSegment) return false;
  unsigned i = p->segment % PROG_SEGMENTS_PER_BLOCK + 1u;
  ProgData d = p->data;
  if (i >= PROG_SEGMENTS_PER_BLOCK) {
    ProgData n;
    if (d.st->endMarker || d.st->lastInChain ||
        !PROG_ResolveData(PROG_DataNext(d), d.L.type, &n)) {
      return false;
    }
    d = n;
    i = 0;
  }
  if (i >= d.st->segments) return false;
  p->timeBefore += p->duration;
  p->data = d;
  p->segment = static_cast<uint16_t>(p->segment + 1u);
  p->duration = PROG_SegDuration(c, d, i);
  return true;
}

bool PROG_FindSegment(const ProgCycle& c, float x, ProgPosition* p, float* elapsed) {
  if (!PROG_FirstPosition(c, p)) return false;
  while (!(p->timeBefore + p->duration > x) && PROG_NextPosition(c, p)) {
  }
  *elapsed = x - p->timeBefore;
  if (!(*elapsed >= 0.0f)) *elapsed = 0.0f;
  return true;
}

bool PROG_LastPosition(const ProgCycle& c, ProgPosition* p) {
  if (!PROG_FirstPosition(c, p)) return false;
  while (PROG_NextPosition(c, p)) {
  }
  return true;
}

void PROG_TakePosition(ProgCycle& c, const ProgPosition& p, float elapsed) {
  FbProgState& s = *c.s;
  s.segment = p.segment;
  PROG_SetCurrentData(c, p.data);
  s.timeBefore = p.timeBefore;
  s.elapsed = elapsed;
  s.ticks = PROG_TicksOf(c, elapsed);
  c.setOut(c.v->io.aoTNetto, p.timeBefore + elapsed);
  PROG_SetRemaining(c);
  PROG_TakeSegment(c);
  const float start = PROG_SegStart(c, p.data, p.segment % PROG_SEGMENTS_PER_BLOCK);
  s.rampStart = start;
  s.rampDelta = c.own->endValue - start;
  s.rampTime = s.duration;
  s.rampElapsed = elapsed;
  s.rampTicks = s.ticks;
}

// ---------------------------------------------------------------------------------------
// Preset

bool PROG_PresetDue(ProgCycle& c) {
  const ProgIo& io = c.v->io;
  ProgOwn& o = *c.own;
  if (c.diConnected(io.diPreset)) {
    if (!c.di(io.diPreset)) return false;
    const float v = c.ai(io.aiPSet);
    o.presetValue = std::isnan(v) ? 0.0f : v;  // no number: the start of the program
  } else if (!o.presetRequest) {
    return false;
  }
  o.presetRequest = 0;
  return true;
}

void PROG_Preset(ProgCycle& c) {
  FbProgState& s = *c.s;
  const ProgIo& io = c.v->io;
  c.setDout(io.doPreset, 1);
  c.setDout(io.doReset, 0);
  c.setDout(io.doEnd, 0);
  PROG_GrossTime(c);
  const float v = c.own->presetValue;
  ProgPosition p;
  if (c.word(io.wpPMode) == PROG_PMODE_TIME) {
    // A net time, limited to [0, total]; NaN counts as 0.
    float t = v >= 0.0f ? v : 0.0f;
    if (t > s.total) t = s.total;
    float elapsed = 0.0f;
    if (!PROG_FindSegment(c, t, &p, &elapsed)) return;
    PROG_TakePosition(c, p, elapsed);
    c.setOut(io.aoTNetto, t);
    s.timeBefore = t - elapsed;
  } else if (v > static_cast<float>(s.lastSegment) + 1.0f) {
    // Beyond the last segment + 1: at the end of the last segment.
    if (!PROG_LastPosition(c, &p)) return;
    PROG_TakePosition(c, p, p.duration);
    c.setOut(io.aoTNetto, s.total);
  } else {
    // A 1-based segment number; below 1 (NaN included) the first segment.
    const uint16_t wanted = v >= 1.0f ? static_cast<uint16_t>(FW_FloatToU16(v) - 1u) : 0;
    if (!PROG_FirstPosition(c, &p)) return;
    while (p.segment < wanted && PROG_NextPosition(c, &p)) {
    }
    PROG_TakePosition(c, p, 0.0f);
  }
  PROG_SetRemaining(c);
}

// ---------------------------------------------------------------------------------------
// Power-up

float PROG_OutageTime(const ProgCycle& c) {
  const uint16_t* k = c.s->clock;  // hour, minute, second, day, month, year % 100, weekday
  if (k[3] == 0 || k[4] == 0) return 0.0f;  // no snapshot was stored
  FwClockFields then;
  then.hour = k[0];
  then.minute = k[1];
  then.second = k[2];
  then.day = k[3];
  then.month = k[4];
  then.year = FW_FullYear(k[5]);
  const int64_t seconds = int64_t{FW_RtcToSeconds()} - int64_t{FW_DateToSeconds(then)};
  if (seconds <= 0) return 0.0f;
  const float outage = static_cast<float>(seconds);
  return c.value(PROG_WV_TURBO) == 1 ? outage : outage / 60.0f;
}

void PROG_PowerUp(ProgCycle& c) {
  if (c.s->state != PROG_RUNNING) return;
  switch (c.value(PROG_WV_PWRUP)) {
    case PROG_PWRUP_CONT_SEG:
      if (c.v->search && c.aiConnected(c.v->io.aiXVal)) c.own->searchRequest = 1;
      break;
    case PROG_PWRUP_CONT_TIME: continueByTime(c); break;
    default: break;  // "Cont.Prog": on from the saved position
  }
}
