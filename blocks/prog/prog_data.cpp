// Programmer data blocks APROGD, APRGD2 and DPROGD: ten segments {time value, end value}
// each (APRGD2 with a segment type per segment), chained through their "DBlock" input and
// output, with the sums and flags the programmer walks the chain by.
#include <cmath>
#include <iterator>

#include "blocks/block_family.h"
#include "blocks/prog/prog.h"
#include "blocks/prog/prog_core.h"
#include "runtime/fb_param.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"

namespace {

// ---------------------------------------------------------------------------------------
// Templates: one analog input and output "DBlock", the 20 floats {Tp n, Wp n} (APRGD2 also
// the ten words "Type n"), the tag, and the own state in work words.

constexpr float kSegmentDefaults[] = {
    FW_NO_VALUE, 0.0f, FW_NO_VALUE, 0.0f, FW_NO_VALUE, 0.0f, FW_NO_VALUE, 0.0f,
    FW_NO_VALUE, 0.0f, FW_NO_VALUE, 0.0f, FW_NO_VALUE, 0.0f, FW_NO_VALUE, 0.0f,
    FW_NO_VALUE, 0.0f, FW_NO_VALUE, 0.0f};
constexpr uint16_t kTypeDefaults[PROG_SEGMENTS_PER_BLOCK] = {};
constexpr const char* kAprogdTexts[] = {"APROGD"};
constexpr const char* kAprgd2Texts[] = {"APRGD2"};
constexpr const char* kDprogdTexts[] = {"DPROGD"};

// Words of the groups: header 4, one analog output 3, no digital outputs 1, one analog
// input 3, no digital inputs 1, 20 floats with pending copies 81, words 1 (APRGD2: 21), no
// long values 1, no word values 1, one text 9, no state words 1, work count 1, link 2.
constexpr uint16_t kDataGroupWords = 109;
constexpr uint16_t kTypeWords = 2 * PROG_SEGMENTS_PER_BLOCK;

constexpr FbTemplate kAprogdTemplate{
    .size = kDataGroupWords + PROG_APROGD_WORK_WORDS, .type = FB_TYPE_APROGD,
    .analogOutputs = 1, .analogInputs = 1, .floatParams = kSegmentDefaults,
    .texts = kAprogdTexts, .workWords = PROG_APROGD_WORK_WORDS};
constexpr FbTemplate kAprgd2Template{
    .size = kDataGroupWords + kTypeWords + PROG_APRGD2_WORK_WORDS, .type = FB_TYPE_APRGD2,
    .analogOutputs = 1, .analogInputs = 1, .floatParams = kSegmentDefaults,
    .wordParams = kTypeDefaults, .texts = kAprgd2Texts, .workWords = PROG_APRGD2_WORK_WORDS};
constexpr FbTemplate kDprogdTemplate{
    .size = kDataGroupWords + PROG_DPROGD_WORK_WORDS, .type = FB_TYPE_DPROGD,
    .analogOutputs = 1, .analogInputs = 1, .floatParams = kSegmentDefaults,
    .texts = kDprogdTexts, .workWords = PROG_DPROGD_WORK_WORDS};

// ---------------------------------------------------------------------------------------
// Limits. A time value lies in [0, 959999] or is -32000 (no segment): the stored minimum
// -32000 admits the marker and the minimum callback gives the bound. The stored maxima are
// the display markers of the page (time in the time format, pattern as six digits); the
// maximum callbacks give the bounds.

constexpr float kMaxTime = 959999.0f;
constexpr float kMinRate = 0.001f;

float zeroBound(uint16_t) { return 0.0f; }
float maxTime(uint16_t) { return kMaxTime; }

bool isRate(uint16_t type) { return type == PROG_SEG_RATE || type == PROG_SEG_RATE_WAIT; }

// The pending type word of APRGD2 segment k (0 when there is none).
uint16_t pendingType(uint16_t block, unsigned k) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || k >= L.wordParams) return 0;
  return L.wp[L.wordParams + k];
}

// Minimum of APRGD2's time value k: 0.001 while the segment's type is a rate.
template <unsigned k>
float rateTimeMin(uint16_t block) {
  return isRate(pendingType(block, k)) ? kMinRate : 0.0f;
}

constexpr FwFloatLimit timeLimit(FwFloatBound minFn) {
  return {.min = FW_NO_VALUE, .max = FW_MARK_MINUTES_SECONDS, .minFn = minFn,
          .maxFn = maxTime, .attribute = 3};
}
constexpr FwFloatLimit kTime = timeLimit(zeroBound);
constexpr FwFloatLimit kEndValue{.min = -29999.0f, .max = 999999.0f, .attribute = 3};
constexpr FwFloatLimit kPattern = PROG_PATTERN_LIMIT;

constexpr FwFloatLimit kAprogdFloatLimits[] = {
    kTime, kEndValue, kTime, kEndValue, kTime, kEndValue, kTime, kEndValue, kTime, kEndValue,
    kTime, kEndValue, kTime, kEndValue, kTime, kEndValue, kTime, kEndValue, kTime, kEndValue};
constexpr FwFloatLimit kAprgd2FloatLimits[] = {
    timeLimit(rateTimeMin<0>), kEndValue, timeLimit(rateTimeMin<1>), kEndValue,
    timeLimit(rateTimeMin<2>), kEndValue, timeLimit(rateTimeMin<3>), kEndValue,
    timeLimit(rateTimeMin<4>), kEndValue, timeLimit(rateTimeMin<5>), kEndValue,
    timeLimit(rateTimeMin<6>), kEndValue, timeLimit(rateTimeMin<7>), kEndValue,
    timeLimit(rateTimeMin<8>), kEndValue, timeLimit(rateTimeMin<9>), kEndValue};
constexpr FwFloatLimit kDprogdFloatLimits[] = {
    kTime, kPattern, kTime, kPattern, kTime, kPattern, kTime, kPattern, kTime, kPattern,
    kTime, kPattern, kTime, kPattern, kTime, kPattern, kTime, kPattern, kTime, kPattern};
constexpr FwShortLimit kSegType{.min = PROG_SEG_TIME, .max = PROG_SEG_STEP_WAIT};
constexpr FwShortLimit kTypeLimits[] = {kSegType, kSegType, kSegType, kSegType, kSegType,
                                        kSegType, kSegType, kSegType, kSegType, kSegType};

constexpr FbLimitTable kAprogdLimits{.floatParams = kAprogdFloatLimits};
constexpr FbLimitTable kAprgd2Limits{.wordParams = kTypeLimits, .floatParams = kAprgd2FloatLimits};
constexpr FbLimitTable kDprogdLimits{.floatParams = kDprogdFloatLimits};

// ---------------------------------------------------------------------------------------
// Sums

bool selfData(uint16_t type, ProgData* d) {
  return PROG_ResolveData(g_fbStore.currentBlock, type, d);
}

bool inputConnected(const ProgData& d) { return d.L.ai[0] != FB_REF_ZERO; }

// Sum of the durations, number of segments and end marker. A dwell segment of APRGD2 takes
// its start value as end value.
void recomputeSums(ProgData& d) {
  ProgDataState& st = *d.st;
  const bool typed = d.L.type == FB_TYPE_APRGD2;
  float sum = 0.0f;
  uint16_t count = PROG_SEGMENTS_PER_BLOCK;
  uint16_t end = 0;
  for (unsigned i = 0; i < PROG_SEGMENTS_PER_BLOCK; ++i) {
    const float time = PROG_SegTime(d, i);
    if (time == FW_NO_VALUE) {
      end = 1;
      count = static_cast<uint16_t>(i);
      break;
    }
    const uint16_t type = PROG_SegType(d, i);
    const float start = i > 0 ? PROG_SegValue(d, i - 1) : (typed ? st.start.get() : 0.0f);
    if (typed && (type == PROG_SEG_DWELL || type == PROG_SEG_DWELL_WAIT)) d.L.fp[2 * i + 1] = start;
    sum += PROG_Duration(time, PROG_SegValue(d, i), start, type);
  }
  st.sum = sum;
  st.segments = count;
  st.endMarker = end;
  st.changed = 1;
  st.lastInChain = inputConnected(d) ? 0 : 1;
  if (st.lastInChain) st.endMarker = 1;
}

// The next block's number from the input; APROGD and APRGD2 keep it in their state.
void takeNext(ProgData& d) {
  if (d.L.type != FB_TYPE_DPROGD) d.st->next = PROG_BlockNumber(FB_ReadAnalogRef(d.L.ai[0]));
}

void dataRun(uint16_t type) {
  ProgData d;
  if (!selfData(type, &d)) return;
  ProgDataState& st = *d.st;
  d.L.ao[0] = static_cast<float>(d.block);
  takeNext(d);
  ProgData next;
  if (!st.endMarker && PROG_ResolveData(PROG_DataNext(d), type, &next)) {
    if (next.st->changed) st.changed = 1;  // the change travels one block per cycle
    if (type == FB_TYPE_APRGD2) next.st->start = PROG_SegValue(d, PROG_SEGMENTS_PER_BLOCK - 1);
  }
  st.visited = 0;
  if (type == FB_TYPE_APRGD2 && st.start.get() != st.startUsed.get()) {
    recomputeSums(d);
    st.startUsed = st.start;
  }
  // Values taken over change the sums, whether or not their save could be queued yet.
  bool taken = FB_ApplyPendingFloats(d.block) != FB_APPLY_NONE;
  if (type == FB_TYPE_APRGD2) taken = (FB_ApplyPendingWords(d.block) != FB_APPLY_NONE) || taken;
  if (taken) recomputeSums(d);
}

void dataInit(uint16_t type) {
  ProgData d;
  if (!selfData(type, &d)) return;
  takeNext(d);
  d.st->visited = 0;
  recomputeSums(d);
  if (type == FB_TYPE_APRGD2) d.st->startUsed = d.st->start;
}

// ---------------------------------------------------------------------------------------
// Requests

bool timeAllowed(float t, bool rate) {
  if (!(t <= kMaxTime)) return false;  // also NaN
  return t >= (rate ? kMinRate : 0.0f) || t == FW_NO_VALUE;
}

// APRGD2's whole set: the words, then the floats, the minimum of each time value taken from
// the type word of the same set.
uint8_t aprgd2WholeSet(const FbParamRequest* r, uint16_t* bad) {
  const uint16_t block = r->block();
  if (const uint8_t h =
          FB_CheckRequestHeader(r, PROG_SEGMENTS_PER_BLOCK + 1, 2 * PROG_SEGMENTS_PER_BLOCK)) {
    return h;
  }
  uint16_t types[PROG_SEGMENTS_PER_BLOCK];
  for (uint16_t i = 0; i < PROG_SEGMENTS_PER_BLOCK; ++i) {
    types[i] = r->u16(FB_REQUEST_ITEMS + 2u * i);
    if (!FW_CheckShortLimit(static_cast<int16_t>(types[i]), &kSegType, block)) {
      *bad = static_cast<uint16_t>(i + 1);
      return FB_ERR_LIMITS;
    }
  }
  const uint32_t floatsAt = FB_REQUEST_ITEMS + 2u * PROG_SEGMENTS_PER_BLOCK;
  for (uint16_t j = 0; j < 2 * PROG_SEGMENTS_PER_BLOCK; ++j) {
    const float x = r->f32(floatsAt + 4u * j);
    const bool ok = j % 2 == 0 ? timeAllowed(x, isRate(types[j / 2]))
                               : FW_CheckFloatLimit(x, &kEndValue, block);
    if (!ok) {
      *bad = static_cast<uint16_t>(PROG_SEGMENTS_PER_BLOCK + j + 1);
      return FB_ERR_LIMITS;
    }
  }
  FB_StoreWholeSet(r);
  return FB_OK;
}

// A type word of APRGD2: a rate needs a time value of at least 0.001 (or no segment), so
// that its duration stays finite.
uint8_t aprgd2Type(uint16_t block, uint16_t k, uint16_t value) {
  FbLayout L;
  if (isRate(value) && FB_GetLayout(block, &L) && 2u * k < L.floatParams &&
      !timeAllowed(L.fp[L.floatParams + 2 * k], true)) {
    return FB_ERR_LIMITS;
  }
  return FB_ParamWord(block, k, value);
}

uint8_t dataParam(uint16_t type, FbParamRequest* r, uint16_t* badIndex) {
  uint16_t unused = 0;
  uint16_t* bad = badIndex ? badIndex : &unused;
  *bad = 0;
  if (!r) return FB_ERR_UNKNOWN_ID;
  ProgData d;
  if (!PROG_ResolveData(r->block(), type, &d)) return FB_ERR_NO_BLOCK;
  const int16_t id = r->id();
  const uint16_t block = d.block;
  uint8_t result = FB_ERR_UNKNOWN_ID;
  if (id >= FB_ID_FLOAT && id < FB_ID_FLOAT + 2 * PROG_SEGMENTS_PER_BLOCK) {
    result =
        FB_ParamFloat(block, static_cast<uint16_t>(id - FB_ID_FLOAT), r->f32(FB_REQUEST_VALUE));
  } else if (type == FB_TYPE_APRGD2 && id >= FB_ID_WORD &&
             id < FB_ID_WORD + PROG_SEGMENTS_PER_BLOCK) {
    result = aprgd2Type(block, static_cast<uint16_t>(id - FB_ID_WORD), r->u16(FB_REQUEST_VALUE));
  } else if (id == FB_ID_WHOLE_SET) {
    result = type == FB_TYPE_APRGD2 ? aprgd2WholeSet(r, bad) : FB_ParamWholeSet(r, bad);
  } else {
    return FB_ERR_UNKNOWN_ID;
  }
  // Stopped, the change took effect at once: the sums follow it.
  if (result == FB_OK && !FW_IsRunning()) recomputeSums(d);
  return result;
}

}  // namespace

float PROG_MaxPattern(uint16_t) { return PROG_MAX_PATTERN; }

void FB_APROGD_Run() { dataRun(FB_TYPE_APROGD); }
void FB_APROGD_Init() { dataInit(FB_TYPE_APROGD); }
uint8_t FB_APROGD_Param(FbParamRequest* r, uint16_t* bad) {
  return dataParam(FB_TYPE_APROGD, r, bad);
}
void FB_APRGD2_Run() { dataRun(FB_TYPE_APRGD2); }
void FB_APRGD2_Init() { dataInit(FB_TYPE_APRGD2); }
uint8_t FB_APRGD2_Param(FbParamRequest* r, uint16_t* bad) {
  return dataParam(FB_TYPE_APRGD2, r, bad);
}
void FB_DPROGD_Run() { dataRun(FB_TYPE_DPROGD); }
void FB_DPROGD_Init() { dataInit(FB_TYPE_DPROGD); }
uint8_t FB_DPROGD_Param(FbParamRequest* r, uint16_t* bad) {
  return dataParam(FB_TYPE_DPROGD, r, bad);
}

void PROG_RegisterDataTypes() {
  static constexpr BlkTypeRow kRows[] = {
      {&kAprogdTemplate, FB_APROGD_Run, FB_APROGD_Init, FB_APROGD_Param, &kAprogdLimits, 1,
       PROG_CATALOGUE_GROUP},
      {&kAprgd2Template, FB_APRGD2_Run, FB_APRGD2_Init, FB_APRGD2_Param, &kAprgd2Limits, 1,
       PROG_CATALOGUE_GROUP},
      {&kDprogdTemplate, FB_DPROGD_Run, FB_DPROGD_Init, FB_DPROGD_Param, &kDprogdLimits, 1,
       PROG_CATALOGUE_GROUP},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}
