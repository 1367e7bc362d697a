#include "blocks/prog/prog_core.h"

#include <cmath>
#include <cstring>

#include "blocks/block_family.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_image.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr uint16_t kDataFloats = 2 * PROG_SEGMENTS_PER_BLOCK;

// Work words each data type needs for its own state.
uint16_t dataWorkWords(uint16_t type) {
  switch (type) {
    case FB_TYPE_APROGD: return PROG_APROGD_WORK_WORDS;
    case FB_TYPE_APRGD2: return PROG_APRGD2_WORK_WORDS;
    case FB_TYPE_DPROGD: return PROG_DPROGD_WORK_WORDS;
    default: return 0;
  }
}

bool isWaitType(uint16_t t) { return t >= PROG_SEG_TIME_WAIT && t <= PROG_SEG_STEP_WAIT; }
bool isStepType(uint16_t t) { return t == PROG_SEG_STEP || t == PROG_SEG_STEP_WAIT; }

uint32_t heapOffset(const void* p) {
  return static_cast<uint32_t>(static_cast<const uint16_t*>(p) - g_fbStore.instanceHeap);
}

float startValueOfProgram(const ProgCycle& c) { return c.L.fp[0]; }  // Wp 0 / D 0

float dtOf(const ProgCycle& c) { return c.own->dt; }

bool runOutput(const ProgCycle& c) { return c.doutValue(c.v->io.doRun) != 0; }
bool resetOutput(const ProgCycle& c) { return c.doutValue(c.v->io.doReset) != 0; }

// A digital command input, or the page's command while the input is unconnected.
bool commandOf(const ProgCycle& c, uint8_t input, uint16_t pageCommand) {
  return c.diConnected(input) ? c.di(input) != 0 : pageCommand != 0;
}

bool manualReleased(const ProgCycle& c) {
  return c.diConnected(c.v->io.diManfree) && c.di(c.v->io.diManfree) != 0;
}

void resolveCurrent(ProgCycle& c) {
  c.data = ProgData{};
  if (c.s->dataBlock) PROG_ResolveData(c.s->dataBlock, 0, &c.data);
}

void clampOutputAtZero(ProgCycle& c, uint8_t output) {
  if (output == PROG_NONE) return;
  if (!(c.out(output) >= 0.0f)) c.setOut(output, 0.0f);
}

// ---------------------------------------------------------------------------------------
// The chain

// Clears the changed flags from the first data block up to (not including) `upTo`.
void clearChangedBefore(const ProgData& first, uint16_t upTo) {
  ProgData d = first;
  for (unsigned steps = 0; steps < FB_MAX_BLOCK && d.block != upTo; ++steps) {
    d.st->changed = 0;
    ProgData n;
    if (!PROG_ResolveData(PROG_DataNext(d), d.L.type, &n)) break;
    d = n;
  }
}

// Clears the visited flags that a walk from `from` set.
void clearVisited(const ProgData& from) {
  ProgData d = from;
  for (unsigned steps = 0; steps < FB_MAX_BLOCK && d.st->visited; ++steps) {
    d.st->visited = 0;
    ProgData n;
    if (!PROG_ResolveData(PROG_DataNext(d), d.L.type, &n)) break;
    d = n;
  }
}

// The recount after a data block changed: from the current block and segment on, keeping
// what was counted before it.
void recount(ProgCycle& c, const ProgData& first) {
  FbProgState& s = *c.s;
  clearChangedBefore(first, c.data.block);
  PROG_WalkChain(c, c.data, s.segment, s.timeBefore);
  if (resetOutput(c)) return;  // the reset shows the program from its start
  PROG_SetRemaining(c);
  const unsigned i = s.segment % PROG_SEGMENTS_PER_BLOCK;
  if (c.data.valid() && i < c.data.st->segments) {
    s.duration = PROG_SegDuration(c, c.data, i);
    if (s.elapsed.get() < s.duration.get()) {
      c.own->endValue = PROG_SegValue(c.data, i);
      PROG_RestartRamp(c, s.setpoint);
    }
  }
}

// Loads the program: the first data block becomes current and the chain is walked.
void loadProgram(ProgCycle& c, bool firstValid, ProgData& first) {
  FbProgState& s = *c.s;
  if (!firstValid) {
    s.chainStatus = PROG_CHAIN_INVALID;
    return;
  }
  PROG_SetCurrentData(c, first);
  s.lastSegment = 0;
  s.total = 0.0f;
  first.st->previous = 0;
  PROG_WalkChain(c, first, 0, 0.0f);
}

// ---------------------------------------------------------------------------------------
// Commands and states

// The function key: its state drives "fkey" directly ("Switch") or pulses it for one cycle
// on every change ("Pulse", "ProgCtrl").
void functionKey(ProgCycle& c) {
  ProgOwn& o = *c.own;
  const uint16_t key = o.keyState ? 1 : 0;
  const uint16_t mode = c.value(PROG_WV_FKEY);
  c.setDout(c.v->io.doFkey, mode == PROG_FKEY_SWITCH ? key : (key != o.keyPrevious ? 1 : 0));
  o.keyPrevious = key;
}

// The first data block holds no segment, or is not a data block of the type.
bool emptyProgram(const ProgVariant& v, const ProgData& first) {
  return !PROG_AcceptsData(v, first.L.type) || first.st->segments == 0;
}

uint16_t evaluateCommands(ProgCycle& c, const ProgData& first) {
  const ProgVariant& v = *c.v;
  const ProgIo& io = v.io;
  ProgOwn& o = *c.own;
  uint16_t a = c.s->state;

  functionKey(c);
  if (c.value(PROG_WV_FKEY) == PROG_FKEY_PROGCTRL && c.doutValue(io.doFkey)) {
    if ((a == PROG_RESET_REQUEST || a == PROG_RESET) && !runOutput(c)) {
      o.pageRun = 1;
    } else if (a == PROG_END) {
      a = PROG_RESET_REQUEST;
    } else {
      o.pageRun = runOutput(c) ? 0 : 1;
    }
  }
  c.setDout(io.doRun, commandOf(c, io.diRun, o.pageRun) ? 1 : 0);

  if (commandOf(c, io.diReset, o.pageReset)) {
    a = PROG_RESET_REQUEST;
    o.pageReset = 0;
  } else if (emptyProgram(v, first)) {
    a = PROG_RESET_REQUEST;
  } else if (v.presetDue && c.s->chainStatus != PROG_CHAIN_INVALID && v.presetDue(c)) {
    a = PROG_PRESET;
  } else if (v.searchDue && v.searchDue(c, a)) {
    a = PROG_SEARCH;
  } else if (runOutput(c)) {
    if (a == PROG_RESET) a = PROG_START;
    else if (a == PROG_STOPPED) a = PROG_RUNNING;
  } else if (a == PROG_RUNNING) {
    a = PROG_STOPPED;
  }
  if (io.diSearch != PROG_NONE) o.searchPrevious = c.di(io.diSearch) ? 1 : 0;
  return a;
}

void storeClock(FbProgState& s) {
  const FwClockFields& t = g_fwClock.now;
  const uint16_t fields[7] = {t.hour,  t.minute, t.second, t.day, t.month,
                              static_cast<uint16_t>(t.year % 100), t.weekday};
  std::memcpy(s.clock, fields, sizeof fields);
}

// State 3: reset, back to state 1 with the run output off, the first block current. A
// search that was asked for or is walking ends with it.
void resetRequest(ProgCycle& c, const ProgData& first) {
  c.own->searchRequest = 0;
  c.own->searchWalk = 0;
  PROG_Reset(c);
  c.s->state = PROG_RESET;
  c.setDout(c.v->io.doRun, 0);
  PROG_SetCurrentData(c, first);
}

void start(ProgCycle& c) {
  FbProgState& s = *c.s;
  c.setDout(c.v->io.doReset, 0);
  c.setDout(c.v->io.doEnd, 0);
  if (s.chainStatus == PROG_CHAIN_INVALID) {
    s.state = PROG_RESET;
    c.setDout(c.v->io.doRun, 0);
    return;
  }
  PROG_TakeSegment(c);
  PROG_RestartRamp(c, s.setpoint);
  // Without ramps the segment's value holds from its start on.
  if (!c.v->ramps) s.setpoint = c.own->endValue;
  if (c.v->startSearch) c.v->startSearch(c);
  s.state = PROG_RUNNING;
}

void running(ProgCycle& c) {
  FbProgState& s = *c.s;
  const ProgIo& io = c.v->io;
  PROG_GrossTime(c);
  if (c.di(io.diHalt) == 0 && s.duration.get() != 0.0f) {
    const float dt = dtOf(c);
    s.ticks = s.ticks + 1;
    s.elapsed = static_cast<float>(s.ticks.get()) * dt;
    c.setOut(io.aoTNetto, s.timeBefore + s.elapsed);
    s.rampTicks = s.rampTicks + 1;
    s.rampElapsed = static_cast<float>(s.rampTicks.get()) * dt;
  }
  PROG_SetRemaining(c);
  PROG_SegmentStep(c);
}

void end(ProgCycle& c) {
  c.setDout(c.v->io.doEnd, 1);
  switch (c.value(PROG_WV_PEND)) {
    case PROG_PEND_STOP:
      c.own->pageRun = 0;
      break;
    case PROG_PEND_RESET:
      PROG_Reset(c);
      c.s->state = PROG_RESET;
      break;
    default:
      c.own->pageRun = 0;
      PROG_Reset(c);
      c.s->state = PROG_RESET;
      break;
  }
}

void execute(ProgCycle& c, uint16_t a, const ProgData& first) {
  FbProgState& s = *c.s;
  const ProgVariant& v = *c.v;
  s.state = a;
  switch (a) {
    case PROG_RESET: PROG_Reset(c); break;
    case PROG_STOPPED:
      c.setDout(v.io.doRun, 0);
      PROG_GrossTime(c);
      break;
    case PROG_START: start(c); break;
    case PROG_RUNNING: running(c); break;
    case PROG_PRESET:
      if (!v.preset) return resetRequest(c, first);
      v.preset(c);
      PROG_SegmentStep(c);
      break;
    case PROG_END: end(c); break;
    case PROG_SEARCH:
      if (!v.search) return resetRequest(c, first);
      v.search(c);
      break;
    case PROG_WAIT:
      PROG_GrossTime(c);
      PROG_SegmentStep(c);
      break;
    default: resetRequest(c, first); break;  // 3, and any state not in use
  }
}

// ---------------------------------------------------------------------------------------
// Outputs and the page

void commonOutputs(ProgCycle& c) {
  const FbProgState& s = *c.s;
  const ProgIo& io = c.v->io;
  const bool atStart = s.state == PROG_RESET && s.elapsed.get() == 0.0f && s.segment == 0;
  c.setOut(io.aoSegNo, atStart ? 0.0f : static_cast<float>(s.segment + 1u));
  clampOutputAtZero(c, io.aoTRest);
  if (resetOutput(c)) {
    c.setOut(io.aoSegRes, 0.0f);
  } else {
    c.setOut(io.aoSegRes, s.duration - s.elapsed);
    clampOutputAtZero(c, io.aoSegRes);
  }
  c.setOut(io.aoWEnd, c.own->endValue);
}

// Edit limits of the page fields.
void pageLimits(ProgCycle& c) {
  ProgPage& p = c.w->page;
  const bool byTime = c.word(c.v->io.wpPMode) == 1;
  p.presetMin = byTime ? 0.0f : 1.0f;
  p.presetMax = byTime ? PROG_ENDLESS_TIME : 999.0f;
  p.presetFromInput = c.diConnected(c.v->io.diPreset) ? 1 : 0;
  p.progNoMax = PROG_RecMax(c);
}

uint16_t pageState(const ProgCycle& c) {
  if (c.s->chainStatus == PROG_CHAIN_INVALID) return PROG_PAGE_ERROR;
  if (resetOutput(c)) return PROG_PAGE_RESET;
  if (c.s->state == PROG_SEARCH) return PROG_PAGE_SEARCH;
  return runOutput(c) ? PROG_PAGE_RUN : PROG_PAGE_STOPPED;
}

void publish(ProgCycle& c) {
  ProgPage& p = c.w->page;
  const FbProgState& s = *c.s;
  const ProgIo& io = c.v->io;
  p.hide = c.di(io.diHide) ? 1 : 0;
  p.lock = c.di(io.diLock) ? 1 : 0;
  p.manual = c.doutValue(io.doManual);
  const unsigned i = s.segment % PROG_SEGMENTS_PER_BLOCK;
  p.startValue = resetOutput(c) || !c.data.valid() ? startValueOfProgram(c)
                                                   : PROG_SegStart(c, c.data, i);
  p.endValue = c.own->endValue;
  p.tRest = c.out(io.aoTRest);
  p.tNetto = c.out(io.aoTNetto);
  const bool presetBySegment = c.doutValue(io.doPreset) && c.word(io.wpPMode) == 0;
  p.segRes = presetBySegment ? FW_NO_VALUE : c.out(io.aoSegRes);
  p.xVal = c.aiConnected(io.aiXVal) ? c.ai(io.aiXVal) : FW_NO_VALUE;
  p.presetValue = c.own->presetValue;
  uint32_t segNo = s.segment + 1u;
  if (s.chainStatus != PROG_CHAIN_ENDLESS && segNo > s.lastSegment + 1u) segNo = s.lastSegment + 1u;
  p.segNo = static_cast<uint16_t>(segNo);
  p.progNo = FW_FloatToU16(c.out(io.aoProgNo));
  p.progNoFixed = c.own->progNoFromInput || s.state != PROG_RESET ? 1 : 0;
  p.pageState = pageState(c);
  p.manualLocked = manualReleased(c) ? 0 : 1;
  p.runStatus = c.doutValue(io.doEnd) ? 2 : (c.di(io.diHalt) ? 1 : 0);
  p.timeUnit = c.value(PROG_WV_TURBO);
  PROG_MasterSlave(c);
  p.pShow = c.diConnected(io.diPShow) && c.di(io.diPShow) && s.chainStatus != PROG_CHAIN_INVALID;
  if (c.v->publish) c.v->publish(c);
  p.updated = 1;
}

// The page's requests and commands, each taken once.
void takePageInputs(ProgCycle& c) {
  ProgPage& p = c.w->page;
  ProgOwn& o = *c.own;
  const ProgVariant& v = *c.v;
  if (p.manualValueRequest) {
    p.manualValueRequest = 0;
    if (c.doutValue(v.io.doManual) && v.setManualValue) v.setManualValue(c, p.newManualValue);
  }
  if (p.manualRequest) {
    const bool on = p.manualRequest == PROG_MANUAL_ON;
    p.manualRequest = PROG_MANUAL_KEEP;
    if (manualReleased(c)) c.setDout(v.io.doManual, on ? 1 : 0);
  }
  if (p.presetRequest) {
    p.presetRequest = 0;
    const float x = p.newPresetValue;
    if (!c.diConnected(v.io.diPreset) && x >= p.presetMin.get() && x <= p.presetMax.get()) {
      o.presetValue = x;
      o.presetRequest = 1;
    }
  }
  if (p.progNoRequest) {
    p.progNoRequest = 0;
    const float n = p.newProgNo;
    if (!o.progNoFromInput && n >= 1.0f && n <= PROG_RecMax(c)) o.progNo = n;
  }
  if (p.listRequest) {
    const uint16_t n = p.listRequest;
    p.listRequest = 0;
    PROG_ListProgram(c, n);
  }
  if (p.command) {
    const uint16_t command = p.command, argument = p.commandArg;
    p.command = PROG_CMD_NONE;
    switch (command) {
      case PROG_CMD_STOP: o.pageRun = 0; break;
      case PROG_CMD_RUN: o.pageRun = 1; break;
      case PROG_CMD_RESET: o.pageReset = 1; break;
      default:
        PROG_PageCommand(c, command, argument);
        break;
    }
  }
}

// Pending parameters: the floats, then the words; the page limits follow a save that left
// nothing pending.
void applyPending(ProgCycle& c) {
  const uint16_t block = c.L.block;
  const uint8_t floats = FB_ApplyPendingFloats(block);
  const uint8_t words = FB_ApplyPendingWords(block);
  if ((floats == FB_APPLY_SAVED || words == FB_APPLY_SAVED) && !g_fbPending.floats[block] &&
      !g_fbPending.words[block]) {
    pageLimits(c);
  }
}

// ---------------------------------------------------------------------------------------
// Requests

// A plain check of a short value against a limit record's bounds.
bool shortAllowed(int16_t x, const FwShortLimit* r, uint16_t block) {
  if (!r) return false;
  const int16_t max = r->maxFn ? r->maxFn(block, x) : r->max;
  const int16_t min = r->minFn ? r->minFn(block, x) : r->min;
  return x >= min && x <= max;
}

uint8_t wholeSet(ProgCycle& c, const FbParamRequest* r, uint16_t* bad) {
  const FbTypeRecord* rec = FB_GetType(c.L.type);
  const FbLimitTable* limits = rec ? rec->limits : nullptr;
  const uint16_t nW = c.L.wordParams, nF = c.L.floatParams;
  constexpr uint16_t kMaxFloats = 8;
  if (!limits || nF > kMaxFloats || limits->wordParams.size() < nW ||
      limits->floatParams.size() < nF) {
    return FB_ERR_UNKNOWN_ID;
  }
  if (const uint8_t h = FB_CheckRequestHeader(r, nW + 1, nF)) return h;
  const uint16_t block = c.L.block;
  for (uint16_t i = 0; i < nW; ++i) {
    const auto x = static_cast<int16_t>(r->u16(FB_REQUEST_ITEMS + 2u * i));
    if (!shortAllowed(x, &limits->wordParams[i], block)) {
      *bad = static_cast<uint16_t>(i + 1);
      return FB_ERR_LIMITS;
    }
  }
  float values[kMaxFloats] = {};
  const uint32_t floatsAt = FB_REQUEST_ITEMS + 2u * nW;
  for (uint16_t j = 0; j < nF; ++j) values[j] = r->f32(floatsAt + 4u * j);
  uint16_t badFloat = 0;
  if (c.v->checkFloatSet) {
    badFloat = c.v->checkFloatSet(block, values);
  } else {
    for (uint16_t j = 0; j < nF && !badFloat; ++j) {
      if (!FW_CheckFloatLimit(values[j], &limits->floatParams[j], block)) badFloat = j + 1;
    }
  }
  if (badFloat) {
    *bad = static_cast<uint16_t>(nW + badFloat);
    return FB_ERR_LIMITS;
  }
  FB_StoreWholeSet(r);
  return FB_OK;
}

// A 0/1 command of the page (500, 501, 502) while its input is unconnected.
uint8_t pageCommandRequest(const ProgCycle& c, uint8_t input, uint16_t value, uint16_t* command) {
  if (c.diConnected(input)) return FB_ERR_NOT_NOW;
  if (value > 1) return FB_ERR_LIMITS;
  *command = value;
  return FB_OK;
}

uint8_t statusByte(const ProgCycle& c) {
  const ProgIo& io = c.v->io;
  uint8_t b = 0;
  if (c.doutValue(io.doRun)) b |= 1;
  if (c.doutValue(io.doEnd)) b |= 2;
  if (c.doutValue(io.doReset)) b |= 4;
  if (c.s->chainStatus == PROG_CHAIN_INVALID) b |= 8;
  if (c.s->chainStatus == PROG_CHAIN_ENDLESS) b |= 16;
  return b;
}

uint8_t sharedParam(ProgCycle& c, FbParamRequest* r, uint16_t* bad) {
  const ProgVariant& v = *c.v;
  ProgOwn& o = *c.own;
  const uint16_t block = c.L.block;
  const int16_t id = r->id();
  const uint16_t word = r->u16(FB_REQUEST_VALUE);
  const float f = r->f32(FB_REQUEST_VALUE);
  switch (id) {
    case 0:
      if (!o.started) return FB_ERR_ABSENT;
      r->setU8(FB_REQUEST_VALUE, statusByte(c));
      return FB_OK;
    case 300:
      if (o.progNoFromInput) return FB_ERR_NOT_NOW;
      if (!(f >= 1.0f && f <= PROG_RecMax(c))) return FB_ERR_LIMITS;
      o.progNo = f;
      return FB_OK;
    case -300:
      r->setF32(FB_REQUEST_VALUE, o.progNo);
      return FB_OK;
    case 304: {
      if (!v.presetDue) break;
      if (c.diConnected(v.io.diPreset)) return FB_ERR_NOT_NOW;
      const bool byTime = c.word(v.io.wpPMode) == PROG_PMODE_TIME;
      const float lo = byTime ? 0.0f : 1.0f, hi = byTime ? PROG_ENDLESS_TIME : 999.0f;
      if (!(f >= lo && f <= hi)) return FB_ERR_LIMITS;
      o.presetValue = f;
      o.presetRequest = 1;
      return FB_OK;
    }
    case -304:
      if (!v.presetDue) break;
      r->setF32(FB_REQUEST_VALUE, o.presetValue);
      return FB_OK;
    case 305:
      if (!c.doutValue(v.io.doManual)) return FB_OK;  // ignored without manual operation
      if (!v.setManualValue) return FB_ERR_UNKNOWN_ID;
      return v.setManualValue(c, f);
    case 500: return pageCommandRequest(c, v.io.diRun, word, &o.pageRun);
    case 501: return pageCommandRequest(c, v.io.diReset, word, &o.pageReset);
    case 503:
      if (word > 1) return FB_ERR_LIMITS;
      o.keyState = word;
      return FB_OK;
    case 504:
      if (!manualReleased(c)) return FB_ERR_NOT_NOW;
      if (word > 1) return FB_ERR_LIMITS;
      c.setDout(v.io.doManual, word);
      return FB_OK;
    case -500: r->setU16(FB_REQUEST_VALUE, o.pageRun); return FB_OK;
    case -501: r->setU16(FB_REQUEST_VALUE, o.pageReset); return FB_OK;
    case -503: r->setU16(FB_REQUEST_VALUE, o.keyState); return FB_OK;
    case -504: r->setU16(FB_REQUEST_VALUE, c.doutValue(v.io.doManual)); return FB_OK;
    case FB_ID_WHOLE_SET: return wholeSet(c, r, bad);
    case FB_ID_ALL_VALUES: return FB_ParamAllValues(r, bad);
    default: break;
  }
  for (uint16_t k = 0; k < v.readIdCount; ++k) {
    if (v.readIds[k].id == id) {
      r->setF32(FB_REQUEST_VALUE, c.out(v.readIds[k].output));
      return FB_OK;
    }
  }
  if (id >= FB_ID_FLOAT && id < FB_ID_FLOAT + c.L.floatParams) {
    return FB_ParamFloat(block, static_cast<uint16_t>(id - FB_ID_FLOAT), f);
  }
  if (id >= FB_ID_WORD && id < FB_ID_WORD + c.L.wordParams) {
    return FB_ParamWord(block, static_cast<uint16_t>(id - FB_ID_WORD), word);
  }
  if (id >= FB_ID_WORD_VALUE && id < FB_ID_WORD_VALUE + c.L.wordValues) {
    return FB_ParamWordValue(block, static_cast<uint16_t>(id - FB_ID_WORD_VALUE), word);
  }
  return FB_ERR_UNKNOWN_ID;
}

}  // namespace

uint8_t PROG_ReadManualHalt(const ProgCycle& c, FbParamRequest* r) {
  if (!c.own->started) return FB_ERR_ABSENT;
  const ProgIo& io = c.v->io;
  r->setU8(FB_REQUEST_VALUE, static_cast<uint8_t>((c.doutValue(io.doManual) ? 2 : 0) +
                                                  (c.di(io.diHalt) ? 1 : 0)));
  return FB_OK;
}

// ---------------------------------------------------------------------------------------
// Data blocks seen from the programmer

uint16_t PROG_BlockNumber(float value) {
  if (!(value >= 1.0f && value < FB_MAX_BLOCK + 1.0f)) return 0;  // also NaN
  return FW_FloatToU16(value);
}

bool PROG_IsDataType(uint32_t type) {
  return type <= 0xFFFF && dataWorkWords(static_cast<uint16_t>(type)) != 0;
}

bool PROG_ResolveData(uint16_t block, uint16_t type, ProgData* out) {
  FbLayout L;
  if (block == 0 || !FB_GetLayout(block, &L)) return false;
  const uint16_t need = dataWorkWords(L.type);
  if (need == 0 || (type != 0 && L.type != type) || L.workWords < need ||
      L.floatParams < kDataFloats || L.analogInputs < 1 || L.analogOutputs < 1 ||
      (L.type == FB_TYPE_APRGD2 && L.wordParams < PROG_SEGMENTS_PER_BLOCK)) {
    return false;
  }
  out->L = L;
  out->st = reinterpret_cast<ProgDataState*>(L.work);
  out->block = static_cast<uint16_t>(block);
  return true;
}

ProgDataState* PROG_DataState(uint32_t block) {
  ProgData d;
  return block <= FB_MAX_BLOCK && PROG_ResolveData(static_cast<uint16_t>(block), 0, &d) ? d.st
                                                                                        : nullptr;
}

uint16_t PROG_DataNext(const ProgData& d) {
  if (d.L.type == FB_TYPE_DPROGD) return PROG_BlockNumber(FB_ReadAnalogRef(d.L.ai[0]));
  return d.st->next;
}

bool PROG_FirstData(const ProgCycle& c, ProgData* out) {
  const uint16_t first = PROG_BlockNumber(c.ai(c.v->io.aiDBlock));
  ProgData d;
  if (!PROG_ResolveData(first, 0, &d) || !PROG_AcceptsData(*c.v, d.L.type)) return false;
  *out = d;
  return true;
}

uint16_t PROG_SegType(const ProgData& d, unsigned i) {
  return d.L.type == FB_TYPE_APRGD2 ? d.L.wp[i] : uint16_t{PROG_SEG_TIME};
}

float PROG_SegStart(const ProgCycle& c, const ProgData& d, unsigned i) {
  if (i > 0) return PROG_SegValue(d, i - 1);
  if (d.L.type == FB_TYPE_APRGD2) return d.st->start;
  ProgData previous;
  if (d.st->previous && PROG_ResolveData(d.st->previous, d.L.type, &previous)) {
    return PROG_SegValue(previous, PROG_SEGMENTS_PER_BLOCK - 1);
  }
  return startValueOfProgram(c);
}

float PROG_Duration(float time, float end, float start, uint16_t type) {
  if (type == PROG_SEG_RATE || type == PROG_SEG_RATE_WAIT) {
    return time > 0.0f ? std::fabs(end - start) / time : 0.0f;
  }
  return time;
}

float PROG_SegDuration(const ProgCycle& c, const ProgData& d, unsigned i) {
  return PROG_Duration(PROG_SegTime(d, i), PROG_SegValue(d, i), PROG_SegStart(c, d, i),
                       PROG_SegType(d, i));
}

void PROG_SetCurrentData(ProgCycle& c, const ProgData& d) {
  FbProgState& s = *c.s;
  c.data = d;
  s.dataBlock = d.block;
  s.segments = heapOffset(d.L.fp);
  s.types = d.L.type == FB_TYPE_APRGD2 ? heapOffset(d.L.wp) : 0u;
  s.dataState = heapOffset(d.L.work);
}

void PROG_WalkChain(ProgCycle& c, const ProgData& from, uint16_t segment, float timeBefore) {
  FbProgState& s = *c.s;
  const unsigned inBlock = segment % PROG_SEGMENTS_PER_BLOCK;
  uint32_t counted = segment - inBlock;  // segments of the blocks before `from`
  float total = timeBefore;
  bool ended = false;
  uint16_t status = PROG_CHAIN_INVALID;
  ProgData d = from;
  uint16_t previous = 0;
  for (unsigned steps = 0; steps < FB_MAX_BLOCK; ++steps) {
    ProgDataState& st = *d.st;
    if (st.visited) {
      status = ended ? PROG_CHAIN_OK : PROG_CHAIN_ENDLESS;
      break;
    }
    st.visited = 1;
    st.changed = 0;
    if (steps > 0) st.previous = previous;
    if (!ended) {
      if (steps == 0) {
        for (unsigned i = inBlock; i < st.segments; ++i) total += PROG_SegDuration(c, d, i);
      } else {
        total += st.sum;
      }
      counted += st.segments;
      ended = st.endMarker != 0;
    }
    ProgData n;
    if (st.lastInChain || !PROG_ResolveData(PROG_DataNext(d), from.L.type, &n)) {
      status = ended ? PROG_CHAIN_OK : PROG_CHAIN_INVALID;
      break;
    }
    previous = d.block;
    d = n;
  }
  clearVisited(from);
  s.chainStatus = status;
  s.total = total;
  s.lastSegment =
      counted == 0 ? 0 : static_cast<uint16_t>(counted - 1 > 0xFFFF ? 0xFFFF : counted - 1);
}

void PROG_TakeSegment(ProgCycle& c) {
  FbProgState& s = *c.s;
  const unsigned i = s.segment % PROG_SEGMENTS_PER_BLOCK;
  if (c.data.valid() && s.chainStatus != PROG_CHAIN_INVALID) {
    s.duration = PROG_SegDuration(c, c.data, i);
    c.own->endValue = PROG_SegValue(c.data, i);
  } else {
    s.duration = 0.0f;
    c.own->endValue = s.setpoint;
  }
}

void PROG_RestartRamp(ProgCycle& c, float from) {
  FbProgState& s = *c.s;
  s.rampStart = from;
  s.rampDelta = c.own->endValue - from;
  s.rampTime = s.duration - s.elapsed;
  s.rampTicks = 0;
  s.rampElapsed = 0.0f;
}

void PROG_GrossTime(ProgCycle& c) {
  FbProgState& s = *c.s;
  const float dt = dtOf(c);
  s.grossCount = static_cast<uint16_t>(s.grossCount + 1);
  if (static_cast<float>(s.grossCount) >= 1.0f / dt) {
    s.grossUnits = s.grossUnits + 1.0f;
    s.grossCount = 0;
  }
  // Also in the cycle that completes a unit, so that the gross time never stands still.
  c.setOut(c.v->io.aoTBrutt, static_cast<float>(s.grossCount) * dt + s.grossUnits);
}

void PROG_SegmentStep(ProgCycle& c) {
  FbProgState& s = *c.s;
  const ProgVariant& v = *c.v;
  const ProgIo& io = v.io;
  const uint16_t state = s.state;
  uint16_t next = PROG_RUNNING;
  bool holdValue = false;  // the setpoint stays at the segment's end value
  if (s.elapsed.get() >= s.duration.get() - dtOf(c) * 0.5f) {
    const unsigned i = s.segment % PROG_SEGMENTS_PER_BLOCK;
    const bool haveData = c.data.valid() && s.chainStatus != PROG_CHAIN_INVALID;
    const uint16_t type = haveData ? PROG_SegType(c.data, i) : uint16_t{PROG_SEG_TIME};
    s.setpoint = haveData ? PROG_SegValue(c.data, i) : c.own->endValue.get();
    if (isWaitType(type) && !(state == PROG_WAIT && runOutput(c))) {
      c.own->pageRun = 0;
      c.setDout(io.doRun, 0);
      next = PROG_WAIT;
      holdValue = true;
    } else if (s.segment >= s.lastSegment && s.chainStatus != PROG_CHAIN_ENDLESS) {
      c.setDout(io.doEnd, 1);
      if (c.value(PROG_WV_PEND) != PROG_PEND_RESET) c.setDout(io.doRun, 0);
      s.segment = PROG_NextSegment(s.segment);
      s.setpoint = c.own->endValue;
      c.setOut(io.aoTRest, 0.0f);
      c.setOut(io.aoTNetto, s.total);
      next = PROG_END;
      holdValue = true;
    } else if (state != PROG_PRESET) {
      s.segment = PROG_NextSegment(s.segment);
      if (s.segment % PROG_SEGMENTS_PER_BLOCK == 0) {
        // The next data block of the chain holds the new segment.
        ProgData n;
        if (haveData && PROG_ResolveData(PROG_DataNext(c.data), c.data.L.type, &n)) {
          PROG_SetCurrentData(c, n);
        } else {
          s.chainStatus = PROG_CHAIN_INVALID;
          c.data = ProgData{};
        }
      }
      s.elapsed = 0.0f;
      s.ticks = 0;
      s.timeBefore = c.out(io.aoTNetto);
      PROG_TakeSegment(c);
      PROG_RestartRamp(c, s.setpoint);
    }
  }
  s.state = next;
  if (holdValue) return;
  const unsigned i = s.segment % PROG_SEGMENTS_PER_BLOCK;
  const bool step = c.data.valid() && isStepType(PROG_SegType(c.data, i));
  if (v.ramps && c.word(io.wpWMode) == 0 && s.rampTime.get() != 0.0f && !step) {
    s.setpoint = s.rampStart + s.rampDelta * s.rampElapsed / s.rampTime;
  } else {
    s.setpoint = c.own->endValue;
  }
}

void PROG_Reset(ProgCycle& c) {
  FbProgState& s = *c.s;
  const ProgIo& io = c.v->io;
  const float wanted = c.v->programNumber
                           ? c.v->programNumber(c)
                           : (c.own->progNoFromInput ? c.ai(io.aiProgNo) : c.own->progNo.get());
  int32_t n = FW_FloatToI32(wanted);
  if (n < 1) n = 1;
  if (n > PROG_RecMax(c)) n = PROG_RecMax(c);
  if (c.out(io.aoProgNo) != static_cast<float>(n) || !resetOutput(c)) {
    c.setOut(io.aoProgNo, static_cast<float>(n));
    c.own->settle = PROG_SettleCycles(c);
  }
  c.setDout(io.doReset, 1);
  c.setDout(io.doEnd, 0);
  s.grossCount = 0;
  s.grossUnits = 0.0f;
  c.setOut(io.aoTBrutt, 0.0f);
  s.elapsed = 0.0f;
  s.ticks = 0;
  s.timeBefore = 0.0f;
  c.setOut(io.aoTRest, 0.0f);
  c.setOut(io.aoTNetto, 0.0f);
  s.rampTime = 0.0f;
  s.rampTicks = 0;
  s.rampElapsed = 0.0f;
  c.own->endValue = startValueOfProgram(c);
  s.setpoint = startValueOfProgram(c);
  s.segment = 0;
}

bool PROG_AcceptsData(const ProgVariant& v, uint16_t type) {
  return type != 0 && (type == v.dataTypes[0] || type == v.dataTypes[1]);
}

uint16_t PROG_RecMax(const ProgCycle& c) {
  const uint16_t m = c.word(c.v->io.wpRecMax);
  return m < 1 ? 1 : m;
}

void PROG_SetRemaining(ProgCycle& c) {
  c.setOut(c.v->io.aoTRest, c.s->chainStatus == PROG_CHAIN_ENDLESS
                                ? PROG_ENDLESS_TIME
                                : c.s->total - c.out(c.v->io.aoTNetto));
}

uint32_t PROG_TicksOf(const ProgCycle& c, float elapsed) {
  return FW_FloatToU32(elapsed / dtOf(c) + 0.5f);
}

bool PROG_Locate(const ProgVariant& v, uint32_t block, ProgCycle* c) {
  if (!FB_GetLayout(block, &c->L) || c->L.type != v.type || c->L.workWords < PROG_WORK_WORDS ||
      c->L.floatParams < 1 || c->L.wordValues < 4) {
    return false;
  }
  c->v = &v;
  c->w = reinterpret_cast<ProgWork*>(c->L.work);
  c->own = &c->w->own;
  c->s = &c->w->copy[c->own->copyInUse & 1];
  return true;
}

uint16_t PROG_SettleCycles(const ProgCycle& c) {
  return FW_FloatToU16(0.8f / FB_BlockCycleTime(c.L.block) + 0.5f);
}

float PROG_TimeBase(const ProgCycle& c) {
  const float cycle = FB_BlockCycleTime(c.L.block);
  return c.value(PROG_WV_TURBO) == 1 ? cycle : cycle / 60.0f;
}

// ---------------------------------------------------------------------------------------
// Handlers

void PROG_Run(const ProgVariant& v) {
  ProgCycle c;
  if (!PROG_Locate(v, g_fbStore.currentBlock, &c)) return;
  ProgWork& w = *c.w;
  ProgOwn& o = *c.own;
  takePageInputs(c);
  const uint16_t inUse = o.copyInUse & 1;
  w.copy[inUse ^ 1] = w.copy[inUse];
  c.s = &w.copy[inUse ^ 1];
  FbProgState& s = *c.s;

  ProgData first;
  const bool firstValid = PROG_FirstData(c, &first);
  if (firstValid && s.dataBlock == first.block) {
    c.data = first;  // the current block is the first one: resolved once
  } else {
    resolveCurrent(c);
  }
  if (firstValid && first.L.type == FB_TYPE_APRGD2) first.st->start = startValueOfProgram(c);

  if (o.settle > 0 && --o.settle == 0) loadProgram(c, firstValid, first);
  if (!firstValid) {
    s.chainStatus = PROG_CHAIN_INVALID;
  } else if (o.settle == 0) {
    if (s.chainStatus == PROG_CHAIN_INVALID || !c.data.valid()) PROG_SetCurrentData(c, first);
    if (c.data.st->changed) {
      recount(c, first);
    } else {
      o.dt = PROG_TimeBase(c);
      if (s.state == PROG_POWER_UP) {
        s.state = s.savedState;
        if (v.powerUp) v.powerUp(c);
      }
      const uint16_t a = evaluateCommands(c, first);
      storeClock(s);
      c.setDout(v.io.doPreset, 0);
      execute(c, a, first);
    }
  }
  if (s.chainStatus == PROG_CHAIN_INVALID) {
    PROG_Reset(c);
    s.state = PROG_RESET;
    c.setDout(v.io.doRun, 0);
    o.pageRun = 0;
  }

  commonOutputs(c);
  if (v.outputs) v.outputs(c);
  publish(c);
  o.copyInUse = inUse ^ 1;
  applyPending(c);
}

void PROG_Init(const ProgVariant& v) {
  ProgCycle c;
  if (!PROG_Locate(v, g_fbStore.currentBlock, &c)) return;
  ProgWork& w = *c.w;
  ProgOwn& o = *c.own;
  const FbLayout& L = c.L;
  for (uint16_t i = 0; i < L.wordValues; ++i) L.wv[i] = L.wv[L.wordValues + i];

  // A warm start keeps the state of a block that has run before; everything else starts
  // cold.
  const bool warm = g_fwEng.warmStart && o.started;
  if (!warm) {
    std::memset(&w, 0, sizeof w);
    for (uint16_t i = 0; i < L.analogOutputs; ++i) L.ao[i] = 0.0f;
    for (uint16_t i = 0; i < L.digitalOutputs; ++i) L.dout[i] = 0;
    c.s = &w.copy[0];
    o.progNo = 1.0f;
  }
  PROG_InitSelection(c);
  o.dt = PROG_TimeBase(c);
  if (warm) {
    c.s->savedState = c.s->state;
    c.s->state = PROG_POWER_UP;
  } else {
    PROG_Reset(c);
    c.s->state = PROG_RESET;
    o.settle = PROG_SettleCycles(c);
  }
  c.setOut(v.io.aoBlNo, static_cast<float>(L.block));

  ProgPage& p = w.page;
  p.type = L.type;
  p.block = L.block;
  std::memcpy(p.tag, L.text, FB_TEXT_LEN);
  p.outputKind = v.type == FB_TYPE_DPROG ? PROG_KIND_DIGITAL : 0.0f;
  p.manualValueRequest = 0;
  p.manualRequest = PROG_MANUAL_KEEP;
  p.presetRequest = 0;
  p.progNoRequest = 0;
  p.listRequest = 0;
  p.command = PROG_CMD_NONE;
  pageLimits(c);
  g_fbStore.list[L.block].pageData = &p;
  o.started = 1;
}

uint8_t PROG_Param(const ProgVariant& v, FbParamRequest* request, uint16_t* badIndex) {
  uint16_t unused = 0;
  uint16_t* bad = badIndex ? badIndex : &unused;
  *bad = 0;
  if (!request) return FB_ERR_UNKNOWN_ID;
  ProgCycle c;
  if (!PROG_Locate(v, request->block(), &c)) return FB_ERR_NO_BLOCK;
  bool handled = false;
  if (v.param) {
    const uint8_t result = v.param(c, request, &handled);
    if (handled) return result;
  }
  return sharedParam(c, request, bad);
}

// ---------------------------------------------------------------------------------------
// The programmer types: their handlers (the core's over each type's variant) and their rows.

void FB_APROG_Run() { PROG_Run(PROG_AprogVariant()); }
void FB_APROG_Init() { PROG_Init(PROG_AprogVariant()); }
uint8_t FB_APROG_Param(FbParamRequest* request, uint16_t* badIndex) {
  return PROG_Param(PROG_AprogVariant(), request, badIndex);
}

void FB_DPROG_Run() { PROG_Run(PROG_DprogVariant()); }
void FB_DPROG_Init() { PROG_Init(PROG_DprogVariant()); }
uint8_t FB_DPROG_Param(FbParamRequest* request, uint16_t* badIndex) {
  return PROG_Param(PROG_DprogVariant(), request, badIndex);
}

namespace {
// The row of a programmer type: what its variant says, with its handlers.
BlkTypeRow rowOf(const ProgVariant& v, FbRunHandler run, FbInitHandler init, FbParamHandler param) {
  return BlkTypeRow{v.tmpl, run, init, param, v.limits, v.weight, PROG_CATALOGUE_GROUP};
}
}  // namespace

void BLK_RegisterProgTypes() {
  const BlkTypeRow rows[] = {
      rowOf(PROG_AprogVariant(), FB_APROG_Run, FB_APROG_Init, FB_APROG_Param),
      rowOf(PROG_DprogVariant(), FB_DPROG_Run, FB_DPROG_Init, FB_DPROG_Param),
  };
  BLK_RegisterTimeGroupTypes(rows);
  PROG_RegisterDataTypes();
}

ProgWork* PROG_Work(uint32_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || (L.type != FB_TYPE_APROG && L.type != FB_TYPE_DPROG) ||
      L.workWords < PROG_WORK_WORDS) {
    return nullptr;
  }
  return reinterpret_cast<ProgWork*>(L.work);
}

const FbProgState* PROG_StateInUse(uint32_t block) {
  ProgWork* w = PROG_Work(block);
  return w ? &w->copy[w->own.copyInUse & 1] : nullptr;
}

ProgPageRecords PROG_PageRecordsOf(uint32_t block) {
  ProgWork* w = PROG_Work(block);
  if (!w) return {nullptr, {nullptr, 0}};
  const uint16_t names = w->own.textCount < PROG_TEXT_LIST_SIZE ? w->own.textCount : PROG_TEXT_LIST_SIZE;
  return {&w->page, {w->own.texts, names}};
}

bool PROG_PageProgress(uint32_t block, ProgProgress* out) {
  const FbProgState* s = PROG_StateInUse(block);
  if (!s) return false;
  *out = ProgProgress{s->elapsed.get(), s->duration.get(), s->timeBefore.get(), s->total.get(),
                      s->state == PROG_END};
  return true;
}
