// The cycle-counting blocks: monoflop, on/off delay, pulse generator, up/down counter and
// moving mean. Times become cycle counts of the block's own time group in single precision.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "blocks/block_family.h"
#include "blocks/timer/timer.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

namespace {

static_assert(sizeof(MonoState) == 2 * 12 && sizeof(TonoffState) == 2 * 7);
static_assert(sizeof(PulsState) == 2 * 6 && sizeof(CountState) == 2 * 2);
static_assert(sizeof(MeanState) == 2 * (13 + 2 * BLK_MEAN_RING));

uint16_t isSet(uint16_t v) { return v != 0 ? 1 : 0; }
float dt(const FbLayout& L) { return FB_BlockCycleTime(L.block); }

// ---------------------------------------------------------------------------------------
// MONO: two retriggerable monoflops. Channel 1 fires on a rising edge of "trig 1", channel
// 2 on a falling edge of "trig 2"; each output stays on for its pulse length in cycles after
// the last edge.

enum : unsigned { kMonoTrig1 = 0, kMonoTrig2 = 1 };

// T / dt rounded up: T x (1/dt) - 0.0001 in single precision, rounded up in double. A
// time that is not a number gives 0 cycles, one beyond the range the largest count.
uint32_t pulseCycles(float t, float invDt) {
  const float cycles = t * invDt - 0.0001f;
  return FW_FloatToU32(std::ceil(static_cast<double>(cycles)));
}

// The pulse lengths from the parameters; 1 for a channel that takes its time from its input
// (that one is computed every cycle).
void setMonoLengths(const FbLayout& L, MonoState& s) {
  for (unsigned c = 0; c < 2; ++c) {
    s.ch[c].length = L.wp[c] == MONO_MODE_INPUT ? 1u : pulseCycles(L.fp[c], s.invDt);
  }
}

// One channel: Q (digital output 2c) and its inverse.
void monoChannel(const FbLayout& L, MonoChannel& ch, unsigned c, bool edge) {
  uint16_t& q = L.dout[2 * c];
  if (q != 0) {
    if (edge) {
      ch.counter = 1;
    } else if (ch.counter < ch.length) {
      ch.counter = ch.counter + 1;
    } else {
      ch.counter = 0;
      q = 0;
    }
  } else if (edge) {
    ch.counter = 1;
    q = 1;
  } else {
    ch.counter = 0;
  }
  L.dout[2 * c + 1] = q != 0 ? 0 : 1;
}

}  // namespace

void FB_MONO_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  MonoState& s = BLK_WorkState<MonoState>(L);
  const uint16_t trig[2] = {isSet(BLK_DigitalIn(L, kMonoTrig1)),
                            isSet(BLK_DigitalIn(L, kMonoTrig2))};
  const bool edge[2] = {trig[0] && !s.prevTrig[0], !trig[1] && s.prevTrig[1]};
  for (unsigned c = 0; c < 2; ++c) {
    if (L.wp[c] == MONO_MODE_INPUT) {
      const float t = BLK_AnalogIn(L, c);
      s.ch[c].length = t > 0.0f ? pulseCycles(t, s.invDt) : 1u;  // also for NaN
    }
    monoChannel(L, s.ch[c], c, edge[c]);
    s.prevTrig[c] = trig[c];
  }
  const uint8_t floats = FB_ApplyPendingFloats(L.block);
  const uint8_t words = FB_ApplyPendingWords(L.block);
  if (floats != FB_APPLY_NONE || words != FB_APPLY_NONE) setMonoLengths(L, s);
}

void FB_MONO_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  MonoState& s = BLK_WorkState<MonoState>(L);
  s.invDt = 1.0f / dt(L);
  setMonoLengths(L, s);
  s.ch[0].counter = s.ch[1].counter = 0;
  if (!BLK_ColdStart()) return;
  for (unsigned c = 0; c < 2; ++c) {
    L.dout[2 * c] = 0;
    L.dout[2 * c + 1] = 1;
    s.prevTrig[c] = 0;
  }
}

// ---------------------------------------------------------------------------------------
// TONOFF: "Q" follows "d 1" delayed by "Ton" on the way up and by "Toff" on the way down. A
// counter that runs counts from 1 and ends at its delay + 2.

namespace {

enum : unsigned { kTonIn = 0, kToffIn = 1 };  // analog inputs
enum : unsigned { kTonoffD1 = 0 };            // digital input

// Delays stay below the largest counter value minus 2, so that a running counter never wraps.
constexpr uint32_t kMaxDelay = 0xFFFFFFFDu;

// The delay of a parameter: trunc(T x (1/dt) x 1.00001) in single precision.
uint32_t paramDelay(float t, float invDt) {
  return std::min(FW_FloatToU32(t * invDt * 1.00001f), kMaxDelay);
}
// The delay of an input: trunc(x x (1/dt)); below 0 (or not a number) 0 cycles.
uint32_t inputDelay(float x, float invDt) {
  return x > 0.0f ? std::min(FW_FloatToU32(x * invDt), kMaxDelay) : 0u;
}

}  // namespace

void FB_TONOFF_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  TonoffState& s = BLK_WorkState<TonoffState>(L);
  const float invDt = s.invDt;
  const bool inputs = L.wv[0] == TONOFF_MODE_INPUTS;
  const int64_t nOn = inputs ? inputDelay(BLK_AnalogIn(L, kTonIn), invDt) : paramDelay(L.fp[0], invDt);
  const int64_t nOff =
      inputs ? inputDelay(BLK_AnalogIn(L, kToffIn), invDt) : paramDelay(L.fp[1], invDt);
  const uint16_t d = isSet(BLK_DigitalIn(L, kTonoffD1));
  int64_t on = s.onCounter, off = s.offCounter;
  // A change starts its delay; it cancels the opposite one when it ends sooner than what is
  // left of that one.
  if (d && !s.prevInput) {
    on = 1;
    if (nOn < nOff + 2 - off) off = 0;
  } else if (!d && s.prevInput) {
    off = 1;
    if (nOff < nOn + 2 - on) on = 0;
  }
  uint16_t q = L.dout[0] != 0 ? 1 : 0;
  if (on != 0 && ++on >= nOn + 2) {
    on = 0;
    q = 1;
  }
  if (off != 0 && ++off >= nOff + 2) {
    off = 0;
    q = 0;
  }
  if (on == 0 && off == 0 && !d) q = 0;
  s.onCounter = static_cast<uint32_t>(on);
  s.offCounter = static_cast<uint32_t>(off);
  L.dout[0] = q;
  L.dout[1] = q ? 0 : 1;
  s.prevInput = d;
  FB_ApplyPendingFloats(L.block);
}

// "Mode" written by a request takes effect here, at the start-up pass.
void FB_TONOFF_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  TonoffState& s = BLK_WorkState<TonoffState>(L);
  L.wv[0] = L.wv[1];
  s.invDt = 1.0f / dt(L);
  if (!BLK_ColdStart()) return;
  L.dout[0] = 0;
  L.dout[1] = 1;
  s.onCounter = s.offCounter = 0;
  s.prevInput = 0;
}

// ---------------------------------------------------------------------------------------
// PULS: a train of one-cycle pulses whose rate is proportional to where "X 1" lies between
// "X 0" and "X 100": "Puls/h" pulses per hour at "X 100", none at "X 0".

namespace {

// The most pulses per hour a time group can give (one pulse every second cycle), by group;
// group 0 runs every cycle like group 1.
constexpr float kPulsMaxRate[FB_GROUP_COUNT + 1] = {
    18000, 18000, 9000, 9000, 4500, 4500, 4500, 4500, 2250, 2250, 2250, 2250, 2250, 2250, 2250, 2250};

uint16_t groupOf(const FbLayout& L) {
  const uint16_t* wire = FB_GetWiring(L.block);
  const uint16_t g = wire ? wire[FB_WIRE_GROUP] : 0;
  return g <= FB_GROUP_COUNT ? g : 0;
}

// k = span x 3600 / (P x dt) with P limited to the group's rate; 0 without a rate. The
// accumulator starts again.
void setPulsConstant(const FbLayout& L, PulsState& s) {
  const float rate = L.fp[PULS_RATE];
  if (rate > 0.0f) {
    const float p = std::fmin(rate, kPulsMaxRate[groupOf(L)]);
    s.k = (L.fp[PULS_X100] - L.fp[PULS_X0]) * 3600.0f / (p * dt(L));
  } else {
    s.k = 0.0f;
  }
  s.accumulator = 0.0f;
  s.threshold = 0.0f;
}

}  // namespace

void FB_PULS_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  PulsState& s = BLK_WorkState<PulsState>(L);
  const float lo = L.fp[PULS_X0], hi = L.fp[PULS_X100];
  float x = BLK_AnalogIn(L, 0);
  if (!(x >= lo)) x = lo;  // also an input that is not a number
  if (x > hi) x = hi;
  const float e = x - lo;
  float threshold = std::fabs(e) <= 1e-37f ? FW_VALUE_MAX : s.k / e;
  if (!(threshold <= FW_VALUE_MAX)) threshold = FW_VALUE_MAX;
  s.threshold = threshold;
  float acc = s.accumulator + 1.0f;
  if (acc < threshold) {
    L.dout[0] = 0;
  } else {
    L.dout[0] = 1;
    const float rest = acc - threshold;
    acc = rest - std::trunc(rest);
  }
  s.accumulator = acc;
  if (FB_ApplyPendingFloats(L.block) != FB_APPLY_NONE) setPulsConstant(L, s);
}

void FB_PULS_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  setPulsConstant(L, BLK_WorkState<PulsState>(L));
  if (BLK_ColdStart()) L.dout[0] = 0;
}

// ---------------------------------------------------------------------------------------
// COUNT: counts rising edges of "up" while "down" is 1 and rising edges of "down" while
// "up" is 1, between "Min" and "Max" with wrap-around. "carry" and "borrow" are terminal-count
// outputs that are 0 while active.

namespace {

enum : unsigned { kCountUp = 0, kCountDown = 1, kCountPreset = 2, kCountReset = 3 };
enum : unsigned { kCarry = 0, kBorrow = 1 };

}  // namespace

void FB_COUNT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  CountState& s = BLK_WorkState<CountState>(L);
  const uint16_t up = isSet(BLK_DigitalIn(L, kCountUp));
  const uint16_t down = isSet(BLK_DigitalIn(L, kCountDown));
  const float max = L.fp[COUNT_MAX], min = L.fp[COUNT_MIN];
  float count = L.ao[0];
  uint16_t carry = L.dout[kCarry], borrow = L.dout[kBorrow];
  if (BLK_DigitalIn(L, kCountReset) != 0) {
    count = min;
    carry = 1;
    borrow = !down && up ? 0 : 1;
  } else if (BLK_DigitalIn(L, kCountPreset) != 0) {
    carry = borrow = 1;
    const float preset = L.wp[0] == COUNT_PRESET_INPUT ? std::round(BLK_AnalogIn(L, 0))
                                                       : L.fp[COUNT_Y0].get();
    if (preset >= max) {
      count = max;
      if (!up && down) carry = 0;
    } else if (preset <= min) {
      count = min;
      if (!down && up) borrow = 0;
    } else if (!std::isnan(preset)) {
      count = preset;  // a preset input that is not a number keeps the count
    }
  } else if (up && !s.prevUp && down) {
    // Counts only while "down" was already 1: both rising together is no count.
    if (s.prevDown) {
      count = std::trunc(count) + 1.0f;
      if (count > max) {
        count = min;
        carry = 1;
      }
    }
  } else if (down && !s.prevDown && up) {
    count = std::trunc(count) - 1.0f;
    if (count < min) {
      count = max;
      borrow = 1;
    }
  } else if (!(count >= min && count <= max)) {
    count = min;
    carry = borrow = 1;
  } else if (count == max && !up && down) {
    carry = 0;
    borrow = 1;
  } else if (count == min && !down && up) {
    carry = 1;
    borrow = 0;
  }
  L.ao[0] = FW_ClampValue(count);
  L.dout[kCarry] = carry;
  L.dout[kBorrow] = borrow;
  s.prevUp = up;
  s.prevDown = down;
  FB_ApplyPendingFloats(L.block);
  FB_ApplyPendingWords(L.block);
}

// An unconnected "up" or "down" reads the constant 1: it never gives an edge and enables
// the other direction.
void FB_COUNT_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  for (unsigned i : {kCountUp, kCountDown}) {
    if (L.di[i] == FB_REF_ZERO) L.di[i] = FB_REF_ONE;
  }
  if (!BLK_ColdStart()) return;
  CountState& s = BLK_WorkState<CountState>(L);
  L.dout[kCarry] = L.dout[kBorrow] = 1;
  L.ao[0] = FW_ClampValue(L.fp[COUNT_MIN]);
  s.prevUp = s.prevDown = 1;
}

// ---------------------------------------------------------------------------------------
// MEAN: the mean of the last "ValNo" samples of "X 1", taken every "Sample" interval or on
// each rising edge of a wired "trig". "ready" shows for 0.8 s after each full window.

namespace {

enum : unsigned { kMeanDisable = 0, kMeanReset = 1, kMeanTrig = 2 };

constexpr float kUnitSeconds[] = {1.0f, 60.0f, 3600.0f};  // by "Unit"

// The window length, held to the ring (a damaged image may hold anything).
uint16_t windowOf(const FbLayout& L) {
  return std::clamp<uint16_t>(L.wv[0], 1, BLK_MEAN_RING);
}

float sampleInterval(const FbLayout& L) {
  float sample;
  const uint32_t bits = L.lv[0];
  std::memcpy(&sample, &bits, sizeof sample);
  const uint16_t unit = L.wv[1];
  return sample * (unit <= MEAN_UNIT_HR ? kUnitSeconds[unit] : 1.0f);
}

// A new window: the ring empty, filling from index 0.
void restartWindow(MeanState& s) {
  s.sum = 0.0f;
  s.index = 0;
  s.filling = 1;
  for (FbF32& v : s.ring) v = 0.0f;
}

// Takes sample x into the window; true when it completed the window (then "ready" is set
// and held).
bool takeSample(const FbLayout& L, MeanState& s, float x) {
  const uint16_t n = windowOf(L);
  if (s.index >= n) restartWindow(s);
  const uint16_t i = s.index;
  const float mean = L.ao[0];
  float next = s.filling ? (static_cast<float>(i) * mean + x) / static_cast<float>(i + 1)
                         : mean + (x - s.ring[i]) / static_cast<float>(n);
  s.sum = s.sum + x;
  s.ring[i] = x;
  s.index = static_cast<uint16_t>(i + 1);
  const bool full = s.index >= n;
  if (full) {
    s.index = 0;
    s.filling = 0;
    next = s.sum / static_cast<float>(n);
    s.sum = 0.0f;
    L.dout[0] = 1;
    s.hold = FW_FloatToU16(0.8f / s.dt);
  }
  L.ao[0] = FW_ClampValue(next);
  return full;
}

}  // namespace

void FB_MEAN_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  MeanState& s = BLK_WorkState<MeanState>(L);
  const uint16_t reset = isSet(BLK_DigitalIn(L, kMeanReset));
  const uint16_t trig = isSet(BLK_DigitalIn(L, kMeanTrig));
  if (reset) {
    if (!s.prevReset) {
      restartWindow(s);
      L.ao[0] = 0.0f;
      L.dout[0] = 0;
      s.sinceSample = 0.0f;
      s.hold = 0;
    }
  } else {
    bool completed = false;
    if (BLK_DigitalIn(L, kMeanDisable) == 0) {
      bool due;
      if (L.di[kMeanTrig] == FB_REF_ZERO) {
        const float since = s.sinceSample + s.dt;
        due = since >= s.interval;
        s.sinceSample = due ? since - s.interval : since;
      } else {
        due = trig && !s.prevTrig;
      }
      // Inputs beyond the value range (or not a number) enter the window bounded.
      if (due) completed = takeSample(L, s, FW_ClampValue(BLK_AnalogIn(L, 0)));
    }
    // The cycle that completed a window shows "ready" in full.
    if (!completed) {
      if (s.hold != 0) --s.hold;
      if (s.hold == 0) L.dout[0] = 0;
    }
  }
  s.prevTrig = trig;
  s.prevReset = reset;
}

// "ValNo", "Unit" and "Sample" written by request take effect here. A window whose length
// changed starts again; the interval follows the parameters and the cycle time at every
// start.
void FB_MEAN_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  MeanState& s = BLK_WorkState<MeanState>(L);
  const uint16_t before = L.wv[0];
  L.wv[0] = L.wv[2];
  L.wv[1] = L.wv[3];
  L.lv[0] = L.lv[1].get();
  s.dt = dt(L);
  s.interval = sampleInterval(L);
  if (BLK_ColdStart()) {
    L.ao[0] = 0.0f;
    L.dout[0] = 0;
    s.prevTrig = s.prevReset = 0;
    s.sinceSample = 0.0f;
    s.hold = 0;
    restartWindow(s);
  } else if (L.wv[0] != before || s.index >= windowOf(L)) {
    restartWindow(s);
  }
}
