// VTREND: the trend of X 1 in a ring of 250 samples, taken every "Sample" (in seconds,
// minutes or hours) or on each rising edge of the "sample" input. The ring keeps the float
// values and, beside them, their per-mille positions in the display range X 0 .. X 100 for
// the page. "X-125" hands the oldest sample on, so that a VTREND fed by it continues the
// history (its cascade).
#include <bit>

#include "blocks/visual/visual_internal.h"
#include "runtime/fb_blockdata.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_numeric.h"

using vis::VtrendState;

namespace {

constexpr const char* kTexts[] = {"VTREND", "Unit"};
// "Sample" 1.0, "X 0" 0, "X 100" 100, as the floats they hold.
constexpr uint32_t kLongs[] = {std::bit_cast<uint32_t>(1.0f), std::bit_cast<uint32_t>(0.0f),
                               std::bit_cast<uint32_t>(100.0f)};
constexpr uint16_t kValues[] = {VTREND_UNIT_S, 0};   // Unit, Dp
constexpr FbTemplate kTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_VTREND, .analogOutputs = 2, .digitalOutputs = 1, .analogInputs = 1,
     .digitalInputs = 4, .longValues = kLongs, .wordValues = kValues, .texts = kTexts,
     .workWords = BLK_WorkWordsOf<VtrendState>()});

enum : unsigned { kSample = 0, kX0 = 1, kX100 = 2 };   // 4-byte values
enum : unsigned { kUnit = 0, kDp = 1 };                // word values

constexpr float kSampleMin = 0.2f, kSampleMinHours = 0.01f, kSampleMax = 3600.0f;
constexpr float kUnitSeconds[] = {1.0f, 60.0f, 3600.0f};
// The samples of the gap a warm start leaves in the ring.
constexpr float kGapHigh = 999999.0f, kGapLow = -29999.0f;

uint16_t pendingUnit(uint16_t block) {
  FbLayout L;
  return FB_GetLayout(block, &L) && L.wordValues > kUnit ? L.wv[L.wordValues + kUnit]
                                                         : uint16_t{VTREND_UNIT_S};
}
// The least "Sample": 0.01 with the pending "Unit" in hours, else 0.2.
float sampleMin(uint16_t block) {
  return pendingUnit(block) == VTREND_UNIT_H ? kSampleMinHours : kSampleMin;
}

constexpr FwFloatLimit kLongLimits[] = {
    {.min = kSampleMinHours, .max = kSampleMax, .minFn = sampleMin, .attribute = 2},
    {.min = VIS_VALUE_MIN, .max = VIS_VALUE_MAX, .attribute = vis::wordValueWord(kTemplate, kDp)},
    {.min = VIS_VALUE_MIN, .max = VIS_VALUE_MAX, .attribute = vis::wordValueWord(kTemplate, kDp)},
};
constexpr FwShortLimit kValueLimits[] = {{.min = VTREND_UNIT_S, .max = VTREND_UNIT_H},
                                         vis::kDpLimit};
constexpr FbLimitTable kLimits{.wordValues = kValueLimits, .longValues = kLongLimits};

float longValue(const FbLayout& L, unsigned k) { return std::bit_cast<float>(L.lv[k].get()); }

// Stores a sample at the write index: the value and its per-mille position.
void takeSample(const FbLayout& L, VtrendState& s, float x) {
  const float v = FW_ClampValue(x);
  const uint16_t at = s.writeIndex;
  s.values[at] = v;
  s.points[at] = static_cast<int16_t>(FW_ScaleToPermille(v, longValue(L, kX0), longValue(L, kX100)));
  s.page.newest = at;
  s.writeIndex = static_cast<uint16_t>((at + 1) % VTREND_RING);
  s.count = s.count < VTREND_RING ? static_cast<uint16_t>(s.count + 1) : VTREND_RING;
  s.page.count = s.count;
}

// Empties the ring; the samples themselves are wiped unless nothing was written since the
// last time (a held "reset" does not wipe the ring in every run).
void clearRing(VtrendState& s, bool wipe = false) {
  if (wipe || s.count != 0 || s.writeIndex != 0) {
    FW_MemSet(s.values, 0, sizeof s.values);
    FW_MemSet(s.points, 0, sizeof s.points);
  }
  s.writeIndex = 0;
  s.count = 0;
  s.page.newest = 0;
  s.page.count = 0;
}

// The cascade recorded earlier (by the other block's Init) stays while that block is still
// a VTREND whose X 1 is this block's "X-125".
uint16_t keptCascade(uint16_t block, uint16_t cascade) {
  uint16_t source = 0, output = 0;
  if (cascade == 0 || cascade == block ||
      FB_GetInputSource(cascade, 1, &source, &output) != BLK_TYPE_VTREND || source != block ||
      output != VTREND_AO_X125 + 1) {
    return 0;
  }
  return cascade;
}

}  // namespace

void FB_VTREND_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BLK_TakeOverWordValues(L);
  vis::takeOverLongValues(L);
  VtrendState& s = BLK_WorkState<VtrendState>(L);
  VtrendPage& p = s.page;
  const uint16_t cascade = keptCascade(L.block, p.cascade);
  p = VtrendPage{};
  vis::initHeader(p.header, L, BLK_TYPE_VTREND, VTREND_DI_HIDE, -1, &p);
  p.disabl = BLK_DigitalIn(L, VTREND_DI_DISABL) ? 1 : 0;
  p.reset = BLK_DigitalIn(L, VTREND_DI_RESET) ? 1 : 0;
  vis::copyText(p.title, L, 0);
  vis::copyText(p.unitText, L, 1);
  p.value = FW_ClampValue(BLK_AnalogIn(L, 0));
  p.x0 = longValue(L, kX0);
  p.x100 = longValue(L, kX100);
  p.dp = L.wv[kDp];
  p.values = BLK_HandleOf(s.values);
  p.points = BLK_HandleOf(s.points);
  p.length = VTREND_RING;
  p.cascade = cascade;
  uint16_t source = 0, output = 0;
  if (FB_GetInputSource(L.block, 1, &source, &output) == BLK_TYPE_VTREND &&
      output == VTREND_AO_X125 + 1 && source != L.block) {
    if (VtrendState* before = BLK_StateOf<VtrendState>(source, BLK_TYPE_VTREND)) {
      before->page.cascade = L.block;
    }
  }

  if (BLK_ColdStart()) {
    clearRing(s, true);
    L.ao[VTREND_AO_X125] = 0.0f;
  } else {
    // A warm start keeps the history and marks the pause with a gap.
    if (s.writeIndex >= VTREND_RING) s.writeIndex = 0;
    if (s.count > VTREND_RING) s.count = VTREND_RING;
    p.count = s.count;
    p.newest = static_cast<uint16_t>((s.writeIndex + VTREND_RING - 1) % VTREND_RING);
    takeSample(L, s, kGapHigh);
    takeSample(L, s, kGapLow);
    L.ao[VTREND_AO_X125] = s.values[s.writeIndex].get();
  }
  L.dout[VTREND_DO_READY] = s.count >= VTREND_RING ? 1 : 0;

  const uint16_t unit = L.wv[kUnit] <= VTREND_UNIT_H ? L.wv[kUnit] : uint16_t{VTREND_UNIT_S};
  const float sample = longValue(L, kSample);
  s.external = BLK_DigitalWired(L, VTREND_DI_SAMPLE) ? 1 : 0;
  s.periodSeconds = s.external ? 0.0f : sample * kUnitSeconds[unit];
  p.period = sample;
  p.timeUnit = s.external ? 0 : static_cast<uint16_t>(unit + 1);
  s.ticks = 0;
  s.cycleTime = FB_BlockCycleTime(L.block);
  s.lastSample = BLK_DigitalIn(L, VTREND_DI_SAMPLE);
  L.ao[VTREND_AO_BLNO] = static_cast<float>(L.block);
}

void FB_VTREND_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  VtrendState& s = BLK_WorkState<VtrendState>(L);
  VtrendPage& p = s.page;
  p.header.hide = BLK_DigitalIn(L, VTREND_DI_HIDE) ? 1 : 0;
  p.disabl = BLK_DigitalIn(L, VTREND_DI_DISABL) ? 1 : 0;
  p.reset = BLK_DigitalIn(L, VTREND_DI_RESET) ? 1 : 0;
  const bool edge = vis::risingEdge(s.lastSample, BLK_DigitalIn(L, VTREND_DI_SAMPLE));
  if (p.reset) {
    clearRing(s);
    s.ticks = 0;
    L.ao[VTREND_AO_X125] = 0.0f;
    p.header.updated = 1;
  } else if (!p.disabl) {
    const float x = BLK_AnalogIn(L, 0);
    L.ao[VTREND_AO_X125] = s.values[s.writeIndex % VTREND_RING].get();
    p.value = FW_ClampValue(x);
    p.header.updated = 1;
    bool take = false;
    if (s.external) {
      take = edge;
    } else {
      s.ticks = s.ticks + 1;
      take = s.periodSeconds.get() <= static_cast<float>(s.ticks.get()) * s.cycleTime.get();
      if (take) s.ticks = 0;
    }
    if (take) {
      s.writeIndex %= VTREND_RING;
      takeSample(L, s, x);
    }
  }
  L.dout[VTREND_DO_READY] = s.count >= VTREND_RING ? 1 : 0;
}

// "Unit" below hours raises a pending "Sample" below 0.2 to 0.2; in a whole set the new
// "Unit" bounds the "Sample" it brings, and a refused set takes both back. Reads -4180 - k
// answer 25 samples of the float ring from 25 x k.
uint8_t FB_VTREND_Param(FbParamRequest* r, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  if (!r) return FB_ERR_UNKNOWN_ID;
  const int16_t id = r->id();
  if (id == FB_ID_ALL_VALUES) return FB_ParamCrossSet(r, badIndex);
  const bool read = id <= VTREND_ID_RING_READ && id > VTREND_ID_RING_READ - VTREND_READ_CHUNKS;
  const bool unitWrite = id == FB_ID_WORD_VALUE + static_cast<int16_t>(kUnit);
  if (!unitWrite && !read) return FB_StandardParam(r, badIndex);
  FbLayout L;
  if (!FB_GetLayout(r->block(), &L) || L.type != BLK_TYPE_VTREND) return FB_ERR_NO_BLOCK;
  if (read) {
    const VtrendState& s = BLK_WorkState<VtrendState>(L);
    const auto first = static_cast<unsigned>(VTREND_ID_RING_READ - id) * VTREND_READ_SAMPLES;
    r->setU8(4, 2);   // one word, then the floats
    r->setU8(5, VTREND_READ_SAMPLES);
    r->setU16(6, BLK_TYPE_VTREND);
    r->setU16(8, s.writeIndex);
    for (unsigned j = 0; j < VTREND_READ_SAMPLES; ++j) r->setF32(10 + 4 * j, s.values[first + j]);
    g_fbReadLength = 6 + 4 * VTREND_READ_SAMPLES;
    return FB_OK;
  }
  const uint16_t unit = r->u16(FB_REQUEST_VALUE);
  const uint8_t result = FB_ParamWordValue(L.block, kUnit, unit);
  FbU32& sample = L.lv[L.longValues + kSample];
  if (result == FB_OK && unit < VTREND_UNIT_H && std::bit_cast<float>(sample.get()) < kSampleMin) {
    sample = std::bit_cast<uint32_t>(kSampleMin);
  }
  return result;
}

namespace vis {

void registerVtrendType() {
  static constexpr BlkTypeRow kRows[] = {
      {&kTemplate, FB_VTREND_Run, FB_VTREND_Init, FB_VTREND_Param, &kLimits, 4, kGroupPages},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}

}  // namespace vis
