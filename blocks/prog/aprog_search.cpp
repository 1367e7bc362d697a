#include "blocks/prog/aprog_search.h"

#include <cmath>

#include "blocks/prog/prog.h"

namespace {

// Direction of a segment from its start value to its end value.
enum : uint16_t { kRising = 0, kFalling = 1, kFlat = 2, kNoSegment = 3 };

uint16_t directionOf(float start, float end) {
  if (end > start) return kRising;
  if (end < start) return kFalling;
  return kFlat;
}

bool isStepType(uint16_t t) { return t == PROG_SEG_STEP || t == PROG_SEG_STEP_WAIT; }

bool between(float x, float a, float b) { return a <= b ? a <= x && x <= b : b <= x && x <= a; }

// The process value, or false when "XVal" is unconnected or carries no number.
bool processValue(const ProgCycle& c, float* x) {
  if (!c.aiConnected(APROG_AI_XVAL)) return false;
  *x = c.ai(APROG_AI_XVAL);
  return !std::isnan(*x);
}

// The segment next to segment `segment` (in-block index *i of *d) in direction `dir`: false
// before the first and after the last segment of the program.
bool neighbour(const ProgCycle& c, int dir, uint16_t segment, ProgData* d, unsigned* i) {
  if (dir < 0) {
    if (segment == 0) return false;
    if (*i > 0) {
      --*i;
      return true;
    }
    ProgData previous;
    if (!PROG_ResolveData(d->st->previous, d->L.type, &previous)) return false;
    *d = previous;
    *i = PROG_SEGMENTS_PER_BLOCK - 1;
    return true;
  }
  if (c.s->chainStatus != PROG_CHAIN_ENDLESS && segment >= c.s->lastSegment) return false;
  if (*i + 1 < PROG_SEGMENTS_PER_BLOCK) {
    if (*i + 1 >= d->st->segments) return false;
    ++*i;
    return true;
  }
  ProgData next;
  if (d->st->endMarker || d->st->lastInChain ||
      !PROG_ResolveData(PROG_DataNext(*d), d->L.type, &next) || next.st->segments == 0) {
    return false;
  }
  *d = next;
  *i = 0;
  return true;
}

// Direction of the segment next to the current one, kNoSegment when there is none.
uint16_t neighbourDirection(const ProgCycle& c, int dir) {
  ProgData d = c.data;
  unsigned i = c.s->segment % PROG_SEGMENTS_PER_BLOCK;
  if (!neighbour(c, dir, c.s->segment, &d, &i)) return kNoSegment;
  return directionOf(PROG_SegStart(c, d, i), PROG_SegValue(d, i));
}

// Moves the program one segment in direction `dir`, to the start of that segment.
bool moveBy(ProgCycle& c, int dir) {
  FbProgState& s = *c.s;
  ProgData d = c.data;
  unsigned i = s.segment % PROG_SEGMENTS_PER_BLOCK;
  if (!neighbour(c, dir, s.segment, &d, &i)) return false;
  if (d.block != c.data.block) PROG_SetCurrentData(c, d);
  const float before = s.duration;
  s.segment = dir > 0 ? PROG_NextSegment(s.segment) : static_cast<uint16_t>(s.segment - 1u);
  PROG_TakeSegment(c);
  s.timeBefore = dir > 0 ? s.timeBefore + before : s.timeBefore - s.duration;
  s.elapsed = 0.0f;
  s.ticks = 0;
  c.setOut(APROG_AO_TNETTO, s.timeBefore);
  PROG_SetRemaining(c);
  s.setpoint = PROG_SegStart(c, c.data, i);
  PROG_RestartRamp(c, s.setpoint);
  return true;
}

// Searches the current segment from its elapsed time x and places the program on what it
// found; true when "XVal" lies on the segment.
bool searchSegment(ProgCycle& c) {
  FbProgState& s = *c.s;
  const unsigned i = s.segment % PROG_SEGMENTS_PER_BLOCK;
  const float start = PROG_SegStart(c, c.data, i);
  const float end = c.own->endValue;
  const float d = s.duration;
  const float x = s.elapsed;
  const uint16_t mode = c.word(APROG_WP_SMODE);
  const bool timePrio = c.word(APROG_WP_TPRIO) == PROG_TPRIO_TIME;
  const bool step = c.data.L.type == FB_TYPE_APRGD2 ? isStepType(PROG_SegType(c.data, i))
                                                    : c.word(APROG_WP_WMODE) == 1;
  float xv = 0.0f;
  const bool haveX = processValue(c, &xv);

  float elapsed = 0.0f, setpoint = start;
  bool found = false;
  if (mode == PROG_SMODE_OFF) {
    elapsed = x;
    found = true;
  } else if (step) {
    setpoint = end;
    found = (haveX && between(xv, start, end)) || timePrio;
  } else if (timePrio) {
    elapsed = x;
    const float g = d != 0.0f ? (end - start) / d : 1.0f;
    setpoint = haveX ? xv : start + x * g;
    found = true;
  } else if (!haveX) {
    // Nothing to search for: the start of the segment.
  } else if (end == start) {
    found = xv == start;
  } else if (d != 0.0f) {
    const float t = (xv - start) / ((end - start) / d);
    if (t > d) {
      elapsed = d;
      setpoint = end;
    } else if (t >= 0.0f) {
      elapsed = t;
      setpoint = xv;
      found = true;
    }
  } else {
    setpoint = end;
    found = between(xv, start, end);
  }

  s.elapsed = elapsed;
  s.ticks = PROG_TicksOf(c, elapsed);
  c.setOut(APROG_AO_TNETTO, s.timeBefore + elapsed);
  PROG_SetRemaining(c);
  s.setpoint = setpoint;
  PROG_RestartRamp(c, setpoint);
  return found;
}

// The search stops: back to the saved state; a program that was reset and does not run
// stands stopped where the search placed it.
void finish(ProgCycle& c) {
  FbProgState& s = *c.s;
  ProgOwn& o = *c.own;
  o.searchRequest = 0;
  o.searchWalk = 0;
  s.state = s.savedState;
  if ((s.state == PROG_RESET || s.state == PROG_RESET_REQUEST) && !c.dout(APROG_DO_RUN)) {
    s.state = PROG_STOPPED;
    c.setDout(APROG_DO_RESET, 0);
  }
}

// First cycle of "SearchSec": the direction of the current segment (a flat one borrows its
// neighbours') and the walking direction. False when only the current segment is searched.
bool startWalk(ProgCycle& c, float xv) {
  ProgOwn& o = *c.own;
  const unsigned i = c.s->segment % PROG_SEGMENTS_PER_BLOCK;
  uint16_t dir = directionOf(PROG_SegStart(c, c.data, i), c.own->endValue);
  if (dir == kFlat) {
    const uint16_t previous = neighbourDirection(c, -1), next = neighbourDirection(c, +1);
    if (previous == kNoSegment) {
      dir = next;
    } else if (previous == kFlat || (next != kNoSegment && next != previous)) {
      return false;
    } else {
      dir = previous;
    }
    if (dir != kRising && dir != kFalling) return false;
  }
  const float end = c.own->endValue;
  const bool beyond = dir == kRising ? xv >= end : xv <= end;
  o.searchDirection = dir;
  o.searchWalk = beyond ? 1 : -1;
  o.searchSteps = 0;
  return true;
}

// "SearchSec" with the gradient kept: one segment per cycle in the walking direction, on
// while the segments keep the direction (or are flat), until "XVal" is found.
void walk(ProgCycle& c, float xv) {
  ProgOwn& o = *c.own;
  if (o.searchWalk == 0 && !startWalk(c, xv)) {
    searchSegment(c);
    return finish(c);
  }
  if (searchSegment(c)) return finish(c);
  const int dir = o.searchWalk;
  const uint16_t next = neighbourDirection(c, dir);
  // A walk never takes more steps than the program has segments (an endless program).
  if (next == kNoSegment || o.searchSteps > c.s->lastSegment) return finish(c);
  if (next != kFlat && next != o.searchDirection) return finish(c);
  moveBy(c, dir);
  ++o.searchSteps;
}

}  // namespace

bool APROG_SearchDue(ProgCycle& c, uint16_t state) {
  ProgOwn& o = *c.own;
  const bool input = c.diConnected(APROG_DI_SEARCH);
  const bool command = input ? c.di(APROG_DI_SEARCH) != 0 : o.pageSearch != 0;
  const bool edge = c.word(APROG_WP_SMODE) != PROG_SMODE_SEC || !o.searchPrevious;
  const bool due = ((command && edge) || o.searchRequest) && state != PROG_SEARCH &&
                   !c.dout(APROG_DO_END);
  if (!due || c.s->chainStatus == PROG_CHAIN_INVALID) return false;
  c.s->savedState = state;
  o.searchRequest = 1;
  o.searchWalk = 0;
  o.pageSearch = 0;  // the page's command is taken once
  return true;
}

void APROG_Search(ProgCycle& c) {
  PROG_GrossTime(c);
  if (!c.data.valid()) return finish(c);
  PROG_TakeSegment(c);  // a reset program has not taken its first segment yet
  const uint16_t mode = c.word(APROG_WP_SMODE);
  float xv = 0.0f;
  if (mode == PROG_SMODE_OFF) {
    if (c.out(APROG_AO_TNETTO) == 0.0f) searchSegment(c);
    return finish(c);
  }
  // Without a process value nothing can be found: the walk would only carry the program
  // away, so the current segment is searched once.
  if (mode == PROG_SMODE_SEG || c.word(APROG_WP_TPRIO) == PROG_TPRIO_TIME ||
      !processValue(c, &xv)) {
    searchSegment(c);
    return finish(c);
  }
  walk(c, xv);
}

void APROG_StartSearch(ProgCycle& c) { c.own->searchRequest = 1; }
