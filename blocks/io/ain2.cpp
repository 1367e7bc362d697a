// Two-channel input card blocks: TC_IN (thermocouples, millivolt and milliamp inputs), R_IN
// (resistance thermometers, resistances and potentiometers), U_IN (voltage inputs) and F_INP
// (frequency and counter inputs).
//
// Each sub-channel a and b of TC_IN, R_IN and U_IN runs the measurement of the
// single-channel inputs: configuration, conversion and range check by sensor code, failure
// value, filter, linear scale and two-point correction. Word values and 4-byte values come
// per sub-channel, b's after a's; the float parameters are the two correction point sets.
// R_IN calibrates its potentiometers through a calibration page record. F_INP only claims
// its channel and checks it: counting and frequency measuring belong to the hardware side.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <span>

#include "blocks/block_family.h"
#include "blocks/io/ain_codes.h"
#include "blocks/io/io.h"
#include "blocks/io/io_internal.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"

namespace {

enum class Dual : uint8_t { Tc, R, U };

struct DualKind {
  uint16_t type;
  Dual which;
  uint8_t words;       // word values per sub-channel
  uint8_t longs;       // 4-byte values per sub-channel
  uint8_t failOut[2];  // digital outputs fail_a and fail_b (id_err is output 0)
};

constexpr DualKind kTcIn{BLK_TYPE_TC_IN, Dual::Tc, 5, 5, {1, 2}};
constexpr DualKind kRIn{BLK_TYPE_R_IN, Dual::R, 4, 6, {1, 5}};
constexpr DualKind kUIn{BLK_TYPE_U_IN, Dual::U, 3, 4, {1, 2}};

// ---------------------------------------------------------------------------------------
// Sensor codes of R_IN: the code sent to the hardware, the range, and the divisors of a
// potentiometer reading on sub-channels a and b.
struct RCode {
  uint8_t hardware;
  AinCodeKind kind;
  float min, max;
  float divisor[2];
};
constexpr RCode kRCodes[] = {
    {20, AinCodeKind::Temperature, -200, 850, {1, 1}},   // Pt100 850
    {21, AinCodeKind::Temperature, -200, 100, {1, 1}},   // Pt100 100
    {22, AinCodeKind::Temperature, -200, 850, {1, 1}},   // Pt1000-1
    {23, AinCodeKind::Temperature, -200, 100, {1, 1}},   // Pt1000-2
    {27, AinCodeKind::Temperature, -60, 180, {1, 1}},    // Ni100
    {28, AinCodeKind::Temperature, -60, 180, {1, 1}},    // Ni1000
    {46, AinCodeKind::Resistance, 0, 160, {1, 1}},       // R160
    {45, AinCodeKind::Resistance, 0, 450, {1, 1}},       // R450
    {48, AinCodeKind::Resistance, 0, 1600, {1, 1}},      // R1600
    {47, AinCodeKind::Resistance, 0, 4500, {1, 1}},      // R4500
    {41, AinCodeKind::Pot, 0, 160, {1.6f, 5}},           // Poti160
    {40, AinCodeKind::Pot, 0, 450, {4.5f, 5}},           // Poti450
    {43, AinCodeKind::Pot, 0, 1600, {16, 50}},           // Poti1600
    {42, AinCodeKind::Pot, 0, 4500, {45, 50}},           // Poti4500
};
const RCode* rCode(uint16_t code) { return code < std::size(kRCodes) ? &kRCodes[code] : nullptr; }
bool rPot(uint16_t code) { return code >= RIN_POTI160 && code <= RIN_POTI4500; }

// U_IN: 0 "0...10V", 1 "1500mV".
enum : uint16_t { kU10V = 0, kU1500mV = 1 };

// TC_IN's set of codes in stepping order.
constexpr uint8_t kTcCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 27, 28, 29, 30, 31};

// ---------------------------------------------------------------------------------------
// Own state, in the work words after the texts; R_IN's calibration page record follows.
struct SubState {
  FbF32 gain, offset;  // output = G x value + O
  FbF32 failValue;
  FbF32 filtered;      // f_last
  FbF32 coeff;         // c
  FbF32 reading;       // r' of the last good measurement
};
struct DualState {
  SubState sub[2];
  uint16_t command[2];  // R_IN: the page's calibration commands (start, end)
};
static_assert(sizeof(DualState) % 2 == 0);
constexpr uint16_t kStateWords = sizeof(DualState) / 2;
constexpr uint16_t kPageWords = sizeof(BlkCalPage) / 2;

DualState& stateOf(const FbLayout& L) { return *reinterpret_cast<DualState*>(L.work); }
BlkCalPage& pageOf(const FbLayout& L) { return *reinterpret_cast<BlkCalPage*>(L.work + kStateWords); }

// The values of sub-channel s.
struct Sub {
  const DualKind& k;
  const FbLayout& L;
  unsigned s;
  uint16_t word(uint16_t i) const { return L.wv[s * k.words + i]; }
  uint16_t wordIndex(uint16_t i) const { return static_cast<uint16_t>(s * k.words + i); }
  float value(uint16_t i) const { return IO_Long(L, s * k.longs + i); }
  uint16_t code() const { return word(AIN_WV_TYP); }
  float x0() const { return value(AIN_LV_X0); }
  float x100() const { return value(AIN_LV_X100); }
  bool fahrenheit() const { return k.which != Dual::U && word(AIN_WV_UNIT) == 2; }
};

uint16_t rMode(const FbLayout& L) { return L.wv[RIN_WV_MODE]; }

// The sub-channels that measure: R_IN with a non-zero "Mode" measures only on a.
unsigned measuring(const DualKind& k, const FbLayout& L) {
  return k.which == Dual::R && rMode(L) != 0 ? 1 : 2;
}

// ---------------------------------------------------------------------------------------
// Init steps

uint16_t expectedClass(const DualKind& k, const FbLayout& L) {
  const uint16_t a = Sub{k, L, 0}.code();
  switch (k.which) {
    case Dual::Tc:
      return a <= 9 || a == AIN_MA_0_20 || a == AIN_MA_4_20
                 ? FW_IoClassPair(FW_CLASS_TC_INPUT, FW_CLASS_UNI_INPUT)
                 : uint16_t{FW_CLASS_TC_INPUT};
    case Dual::R: {
      const bool pair = rMode(L) != 0 && (a == 0 || a == 1 || a == 6 || a == 7);
      return pair ? FW_IoClassPair(FW_CLASS_R_INPUT, FW_CLASS_UNI_INPUT) : uint16_t{FW_CLASS_R_INPUT};
    }
    case Dual::U: return FW_CLASS_U_INPUT;
  }
  return 0;
}

uint8_t hardwareCode(const DualKind& k, uint16_t c) {
  switch (k.which) {
    case Dual::Tc: return static_cast<uint8_t>(c >= AIN_MV30 && c <= AIN_MV300 ? c - 14 : c);
    case Dual::R: return rCode(c) ? rCode(c)->hardware : uint8_t{0};
    case Dual::U: return c == kU1500mV ? AIN_MV1500 : AIN_V_0_10;
  }
  return 0;
}

void configure(const Sub& v, FwIoSubChannel& s) {
  const bool tc = v.k.which == Dual::Tc;
  const uint16_t c = v.code();
  s.sensorCode = hardwareCode(v.k, c);
  s.unit = v.k.which == Dual::U ? uint8_t{1} : static_cast<uint8_t>(v.word(AIN_WV_UNIT));
  s.mainsFrequency = FW_IoMainsFrequency();
  s.coldJunction = tc ? static_cast<uint8_t>(v.word(AIN_WV_STK)) : uint8_t{1};
  s.textId = IO_ChoiceText(v.k.type, v.wordIndex(AIN_WV_TYP), c);
  s.refTemp = tc ? FW_FloatToI16(v.value(AIN_LV_TKREF) * 10.0f) : int16_t{0};
  s.refValid = tc ? 1 : 0;
  s.configValid = 1;
}

// A sub-channel switched off: its configuration cleared.
void switchOff(FwIoSubChannel& s) {
  s.configValid = s.sensorCode = s.unit = s.mainsFrequency = s.coldJunction = 0;
  s.textId = 0;
  s.refValid = 0;
  s.refTemp = 0;
}

float failValue(const Sub& v) {
  const uint16_t c = v.code();
  float min = 0.0f, max = 0.0f;
  bool ranged = false;
  if (v.k.which == Dual::Tc) {
    const AinCodeInfo info = AIN_CodeInfo(c);
    ranged = AIN_Ranged(info);
    min = info.min, max = info.max;
  } else if (v.k.which == Dual::R && rCode(c)) {
    // The temperature codes use their range, the resistances and potentiometers x0..x100.
    ranged = rCode(c)->kind == AinCodeKind::Temperature;
    min = rCode(c)->min, max = rCode(c)->max;
  }
  return AIN_FailValue(v.word(AIN_WV_FAIL), ranged, min, max, v.fahrenheit(), v.x0(), v.x100(),
                       v.value(AIN_LV_XFAIL));
}

// The linear scale of the sub-channel's code, the two-point correction and the totals. An
// R_IN potentiometer is first taken to percent of its calibrated travel, then to x0..x100.
void computeFactors(const Sub& v, SubState& st) {
  const uint16_t c = v.code();
  float q = 1.0f, a = 0.0f;
  switch (v.k.which) {
    case Dual::Tc:
      if (c >= AIN_MV30 && c <= AIN_MA_4_20) AIN_LinearScale(v.x0(), v.x100(), &q, &a);
      break;
    case Dual::U: AIN_LinearScale(v.x0(), v.x100(), &q, &a); break;
    case Dual::R:
      if (rPot(c)) {
        float f, o, span, zero;
        AIN_PercentScale(v.value(RIN_LV_KAL1), v.value(RIN_LV_KAL2), &f, &o);
        AIN_LinearScale(v.x0(), v.x100(), &span, &zero);
        q = span * f;
        a = span * o + zero;
      }
      break;
  }
  float points[4];
  for (unsigned i = 0; i < 4; ++i) points[i] = v.L.fp[4 * v.s + i];
  float gain, offset;
  AIN_Totals(v.word(AIN_WV_XCORR) == 1, points, q, a, &gain, &offset);
  st.gain = gain;
  st.offset = offset;
}

void computeAllFactors(const DualKind& k, const FbLayout& L) {
  DualState& st = stateOf(L);
  for (unsigned s = 0; s < 2; ++s) computeFactors(Sub{k, L, s}, st.sub[s]);
}

// The sub-channel the R_IN calibration page serves: the one asked for when it has a
// potentiometer code, else the first that has one; -1 for none (or "Mode" non-zero).
int rCalChannel(const FbLayout& L, unsigned wanted) {
  if (rMode(L) != 0) return -1;
  const bool pot[2] = {rPot(Sub{kRIn, L, 0}.code()), rPot(Sub{kRIn, L, 1}.code())};
  if (wanted < 2 && pot[wanted]) return static_cast<int>(wanted);
  return pot[0] ? 0 : pot[1] ? 1 : -1;
}

void rPreparePage(const FbLayout& L) {
  BlkCalPage& p = pageOf(L);
  const int ch = rCalChannel(L, 0);
  if (ch < 0) {
    p.hide = 1;
  } else {
    const auto base = static_cast<uint16_t>(ch * kRIn.longs);
    IO_CalPagePrepare(L, p, base + RIN_LV_KAL1, base + RIN_LV_KAL2, stateOf(L).sub[ch].reading);
    p.channel = static_cast<uint8_t>(ch);
  }
  g_fbStore.list[L.block].pageData = &p;
}

void dualInit(const DualKind& k) {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  DualState& st = stateOf(L);
  const float dt = FB_BlockCycleTime(L.block);
  IO_TakeOverValues(L);
  const unsigned n = measuring(k, L);
  if (const IoClaim claim = IO_ClaimChannel(L.block, expectedClass(k, L), false)) {
    for (unsigned s = 0; s < 2; ++s) {
      FwIoSubChannel& sc = claim.channel->sub[s];
      if (s < n) {
        configure(Sub{k, L, s}, sc);
      } else {
        switchOff(sc);
      }
    }
  }
  for (unsigned s = 0; s < 2; ++s) {
    const Sub v{k, L, s};
    st.sub[s].coeff = AIN_FilterCoeff(v.value(AIN_LV_TFM), dt);
    st.sub[s].failValue = failValue(v);
    computeFactors(v, st.sub[s]);
    L.ao[s] = 0.0f;
  }
  std::fill(L.dout, L.dout + L.digitalOutputs, uint16_t{0});
  if (k.which == Dual::R) rPreparePage(L);
}

// ---------------------------------------------------------------------------------------
// Run steps

// Sub-channel fault bits: bit 1 is the block's range check, the low three the sensor fault.
constexpr uint8_t kRangeFault = 0x02;
constexpr uint8_t kFaultBits = 0x07;

AinConversion rConvert(const Sub& v, float r, bool electrical) {
  const RCode* info = rCode(v.code());
  AinConversion out{r, false};
  if (!info) {
  } else if (info->kind != AinCodeKind::Pot) {
    out.fault = AIN_TemperatureFault(r, info->min, info->max);
  } else if (electrical) {
    out.value = r / info->divisor[v.s];
    out.fault = AIN_ResistanceFault(out.value, info->max);
  }
  if (!std::isfinite(out.value)) out.fault = true;
  return out;
}

AinConversion uConvert(const Sub& v, float r, bool electrical) {
  AinConversion out{r, false};
  if (!electrical) {
    out.value = AIN_PercentOf(r, v.x0(), v.x100());
  } else {
    out.value = v.code() == kU1500mV ? r * 0.06666667f : r * 10.0f;
  }
  out.fault = AIN_OutOfPercent(out.value) || !std::isfinite(out.value);
  return out;
}

AinConversion convert(const Sub& v, float r, bool electrical) {
  switch (v.k.which) {
    case Dual::Tc:
      // The electrical millivolt readings are range-checked on sub-channel a only.
      return AIN_Convert(v.code(), r, electrical, v.x0(), v.x100(), v.s == 0);
    case Dual::R: return rConvert(v, r, electrical);
    case Dual::U: return uConvert(v, r, electrical);
  }
  return {r, true};
}

void fail(const Sub& v, const SubState& st) {
  v.L.dout[v.k.failOut[v.s]] = 1;
  v.L.ao[v.s] = st.failValue.get();
}

// Conversion, failure decision, filter and output of one sub-channel of a good channel.
void measure(const Sub& v, SubState& st, FwIoSubChannel& sc, uint8_t status) {
  const AinConversion r = convert(v, sc.raw, sc.electrical != 0);
  sc.fault = static_cast<uint8_t>(r.fault ? (sc.fault | kRangeFault) : (sc.fault & ~kRangeFault));
  if (!r.fault) st.reading = r.value;
  bool failed = (sc.fault & kFaultBits) != 0;
  if (v.k.which != Dual::U) {
    failed = failed || (status & FW_IO_STATUS_FAULT);
    if (v.k.which == Dual::Tc && v.code() <= AIN_TYPE_D) failed = failed || (status & FW_IO_STATUS_CJC);
  }
  if (failed) {
    fail(v, st);
    return;
  }
  if (!sc.newValue) return;
  sc.newValue = 0;
  const float f = AIN_FilterStep(r.value, st.filtered, st.coeff, &v.L.dout[v.k.failOut[v.s]]);
  st.filtered = f;
  const float out = st.gain * f + st.offset;
  if (AIN_Bounded(out)) {
    v.L.ao[v.s] = out;
  } else {
    fail(v, st);
  }
}

void rCalibrate(const FbLayout& L, DualState& st) {
  BlkCalPage& p = pageOf(L);
  const int ch = rCalChannel(L, p.channel);
  if (ch < 0) {
    p.hide = 1;
    return;
  }
  const unsigned s = static_cast<unsigned>(ch);
  const Sub v{kRIn, L, s};
  p.channel = static_cast<uint8_t>(s);
  const IoClaim claim = IO_ClaimOf(L.block);
  const uint8_t fault =
      claim ? static_cast<uint8_t>(claim.channel->sub[s].fault & kFaultBits) : uint8_t{1};
  const float reading = st.sub[s].reading;
  IO_CalExchange(L, p, static_cast<uint16_t>(kRIn.failOut[s] + 1), reading, IO_Ain(L, s), fault);
  if (!p.startRequest && !st.command[0] && !st.command[1]) return;
  const uint16_t base = static_cast<uint16_t>(s * kRIn.longs);
  if (IO_CalStartEnd(L, p, st.command, base + RIN_LV_KAL1, base + RIN_LV_KAL2, reading)) {
    computeFactors(v, st.sub[s]);
  }
  p.field[BLK_CAL_X0].value = v.value(RIN_LV_KAL1);
  p.field[BLK_CAL_X100].value = v.value(RIN_LV_KAL2);
  p.startRequest = 0;
}

void dualRun(const DualKind& k) {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  DualState& st = stateOf(L);
  const IoClaim claim = IO_ClaimOf(L.block);
  const bool good = IO_ChannelGood(claim, true);
  L.dout[0] = good ? 0 : 1;
  const unsigned n = measuring(k, L);
  if (good && claim.channel->reconfigure == 1) {
    claim.channel->reconfigure = 0;
    for (unsigned s = 0; s < n; ++s) claim.channel->sub[s].configValid = 1;
  }
  uint16_t failed = 0;
  for (unsigned s = 0; s < n; ++s) {
    const Sub v{k, L, s};
    if (good) {
      measure(v, st.sub[s], claim.channel->sub[s], claim.status());
    } else {
      fail(v, st.sub[s]);
    }
    failed = static_cast<uint16_t>(failed | L.dout[k.failOut[s]]);
  }
  FB_SetInputFailBit(failed, L.block);
  if (k.which == Dual::R) rCalibrate(L, st);
  if (FB_ApplyPendingFloats(L.block) == FB_APPLY_SAVED) computeAllFactors(k, L);
}

// ---------------------------------------------------------------------------------------
// Parameters

uint8_t dualParam(const DualKind& k, FbParamRequest* r, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  if (!r) return FB_ERR_UNKNOWN_ID;
  FbLayout L;
  if (!FB_GetLayout(r->block(), &L) || L.type != k.type) return FB_ERR_NO_BLOCK;
  const uint8_t result = FB_StandardParam(r, badIndex);
  const int16_t id = r->id();
  const bool floats = (id >= FB_ID_FLOAT && id < FB_ID_WORD) || id == FB_ID_WHOLE_SET;
  // Stopped, a float change applies at once, and with it the factors.
  if (result == FB_OK && floats && !FW_IsRunning()) computeAllFactors(k, L);
  return result;
}

// R_IN: a non-zero "Mode" only while neither stored sensor code is a potentiometer (above
// 9); in a whole set the codes of the same request count.
constexpr uint16_t kRinWords = 9;
bool rModeRefused(uint16_t mode, uint16_t codeA, uint16_t codeB) {
  return mode != 0 && (codeA > 9 || codeB > 9);
}

uint8_t rParam(FbParamRequest* r, uint16_t* badIndex) {
  FbLayout L;
  if (r && FB_GetLayout(r->block(), &L) && L.type == BLK_TYPE_R_IN) {
    const int16_t id = r->id();
    const uint16_t* pending = L.wv + L.wordValues;
    if (id == int{FB_ID_WORD_VALUE} + RIN_WV_MODE &&
        rModeRefused(r->u16(FB_REQUEST_VALUE), pending[AIN_WV_TYP], pending[kRIn.words + AIN_WV_TYP])) {
      if (badIndex) *badIndex = 0;
      return FB_ERR_LIMITS;
    }
    auto item = [&](uint16_t i) { return r->u16(FB_REQUEST_ITEMS + 2u * i); };
    if (id == FB_ID_ALL_VALUES && rModeRefused(item(RIN_WV_MODE), item(AIN_WV_TYP), item(kRIn.words + AIN_WV_TYP))) {
      // Refused at "Mode" unless an element before it is refused first: the standard
      // checks see a "Mode" out of its limits and report the first bad element.
      FbParamRequest copy = *r;
      copy.setU16(FB_REQUEST_ITEMS + 2u * RIN_WV_MODE, 0x7FFF);
      return FB_StandardParam(&copy, badIndex);
    }
  }
  return dualParam(kRIn, r, badIndex);
}

// TC_IN's "Type_a"/"Type_b" step through their set.
int16_t tcNext(uint16_t, int16_t x) { return AIN_NextCode(kTcCodes, x); }
int16_t tcPrevious(uint16_t, int16_t e) { return AIN_PreviousCode(kTcCodes, e); }

// F_INP's "Func_b": 0 "DigInput", 1 "Count_1", 5 "Frequency".
constexpr uint8_t kFuncBCodes[] = {0, 1, 5};
int16_t funcBNext(uint16_t, int16_t x) { return AIN_NextCode(kFuncBCodes, x); }
int16_t funcBPrevious(uint16_t, int16_t e) { return AIN_PreviousCode(kFuncBCodes, e); }

// ---------------------------------------------------------------------------------------
// Templates and limits

constexpr uint32_t f32(float f) { return std::bit_cast<uint32_t>(f); }

constexpr float kFloats[] = {0, 0, 100, 100, 0, 0, 100, 100};  // x1 in, x1 out, x2 in, x2 out
constexpr uint32_t kTcLongs[] = {f32(0), f32(100), f32(0), f32(0.5f), f32(0),
                                 f32(0), f32(100), f32(0), f32(0.5f), f32(0)};
constexpr uint16_t kTcWords[] = {AIN_TYPE_K, AIN_FAIL_UPSCALE, 0, 1, 1,
                                 AIN_TYPE_K, AIN_FAIL_UPSCALE, 0, 1, 1};
constexpr uint32_t kRLongs[] = {f32(0), f32(100), f32(0), f32(0.5f), f32(0), f32(100),
                                f32(0), f32(100), f32(0), f32(0.5f), f32(0), f32(100)};
constexpr uint16_t kRWords[] = {0, AIN_FAIL_UPSCALE, 0, 1, 0, AIN_FAIL_UPSCALE, 0, 1, 0};
constexpr uint32_t kULongs[] = {f32(0), f32(100), f32(0), f32(0.5f),
                                f32(0), f32(100), f32(0), f32(0.5f)};
constexpr uint16_t kUWords[] = {kU10V, AIN_FAIL_UPSCALE, 0, kU10V, AIN_FAIL_UPSCALE, 0};
constexpr uint32_t kFLongs[] = {f32(10.0f)};
constexpr uint16_t kFWords[] = {1, 1};

constexpr const char* kTcTexts[] = {"TC_IN"};
constexpr const char* kRTexts[] = {"R_IN"};
constexpr const char* kUTexts[] = {"U_IN"};
constexpr const char* kFTexts[] = {"F_INP"};

static_assert(std::size(kRWords) == kRinWords);

constexpr FbTemplate kTcTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_TC_IN, .analogOutputs = 2, .digitalOutputs = 3, .floatParams = kFloats,
    .longValues = kTcLongs, .wordValues = kTcWords, .texts = kTcTexts, .workWords = kStateWords});
constexpr FbTemplate kRTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_R_IN, .analogOutputs = 2, .digitalOutputs = 9, .analogInputs = 2,
    .digitalInputs = 2, .floatParams = kFloats, .longValues = kRLongs, .wordValues = kRWords,
    .texts = kRTexts, .workWords = kStateWords + kPageWords});
constexpr FbTemplate kUTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_U_IN, .analogOutputs = 2, .digitalOutputs = 3, .floatParams = kFloats,
    .longValues = kULongs, .wordValues = kUWords, .texts = kUTexts, .workWords = kStateWords});
constexpr FbTemplate kFTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_F_INP, .analogOutputs = 2, .digitalOutputs = 6, .digitalInputs = 4,
    .longValues = kFLongs, .wordValues = kFWords, .texts = kFTexts});

constexpr FwFloatLimit kValue{.min = -29999.0f, .max = 999999.0f, .attribute = 1};
constexpr FwFloatLimit kTfm{.min = 0.0f, .max = 999999.0f, .attribute = 1};
constexpr FwFloatLimit kTkref{.min = 0.0f, .max = 140.0f, .attribute = 1};
constexpr FwFloatLimit kFloatLimits[] = {kValue, kValue, kValue, kValue,
                                         kValue, kValue, kValue, kValue};
constexpr FwFloatLimit kTcLongLimits[] = {kValue, kValue, kValue, kTfm, kTkref,
                                          kValue, kValue, kValue, kTfm, kTkref};
constexpr FwFloatLimit kRLongLimits[] = {kValue, kValue, kValue, kTfm, kValue, kValue,
                                         kValue, kValue, kValue, kTfm, kValue, kValue};
constexpr FwFloatLimit kULongLimits[] = {kValue, kValue, kValue, kTfm,
                                         kValue, kValue, kValue, kTfm};
constexpr FwFloatLimit kFLongLimits[] = {{.min = 0.1f, .max = 20.0f, .attribute = 1}};

constexpr FwShortLimit kFail{.min = AIN_FAIL_DISABLED, .max = AIN_FAIL_SUBST};
constexpr FwShortLimit kOnOff{.min = 0, .max = 1};
constexpr FwShortLimit kUnit{.min = 1, .max = 2};
constexpr FwShortLimit kTcType{.min = FW_LIMIT_DISCRETE, .max = 0, .minFn = tcPrevious, .maxFn = tcNext};
constexpr FwShortLimit kRType{.min = 0, .max = 13};
constexpr FwShortLimit kUType{.min = 0, .max = 1};
constexpr FwShortLimit kTcWordLimits[] = {kTcType, kFail, kOnOff, kUnit, kUnit,
                                          kTcType, kFail, kOnOff, kUnit, kUnit};
constexpr FwShortLimit kRWordLimits[] = {kRType, kFail, kOnOff, kUnit, kRType,
                                         kFail,  kOnOff, kUnit, {.min = 0, .max = 2}};
constexpr FwShortLimit kUWordLimits[] = {kUType, kFail, kOnOff, kUType, kFail, kOnOff};
constexpr FwShortLimit kFWordLimits[] = {
    {.min = 0, .max = 5},
    {.min = FW_LIMIT_DISCRETE, .max = 0, .minFn = funcBPrevious, .maxFn = funcBNext}};

constexpr FbLimitTable kTcLimits{.floatParams = kFloatLimits, .wordValues = kTcWordLimits,
                                 .longValues = kTcLongLimits};
constexpr FbLimitTable kRLimits{.floatParams = kFloatLimits, .wordValues = kRWordLimits,
                                .longValues = kRLongLimits};
constexpr FbLimitTable kULimits{.floatParams = kFloatLimits, .wordValues = kUWordLimits,
                                .longValues = kULongLimits};
constexpr FbLimitTable kFLimits{.wordValues = kFWordLimits, .longValues = kFLongLimits};

constexpr FbBlockRange kCards[] = {{65, 74}, {0, 0}};

}  // namespace

// ---------------------------------------------------------------------------------------

void FB_TC_IN_Run() { dualRun(kTcIn); }
void FB_TC_IN_Init() { dualInit(kTcIn); }
uint8_t FB_TC_IN_Param(FbParamRequest* r, uint16_t* b) { return dualParam(kTcIn, r, b); }
void FB_R_IN_Run() { dualRun(kRIn); }
void FB_R_IN_Init() { dualInit(kRIn); }
uint8_t FB_R_IN_Param(FbParamRequest* r, uint16_t* b) { return rParam(r, b); }
void FB_U_IN_Run() { dualRun(kUIn); }
void FB_U_IN_Init() { dualInit(kUIn); }
uint8_t FB_U_IN_Param(FbParamRequest* r, uint16_t* b) { return dualParam(kUIn, r, b); }

// F_INP: outputs id_err, fail, z_a, z_b, ov_a, ov_b; the counter and frequency values and
// their outputs are the hardware side's, the block only claims and checks the channel. The
// frequency module's class is the one the channel holds (no class of its own is written).
void FB_F_INP_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  IO_TakeOverValues(L);
  if (const IoClaim c = IO_ClaimOf(L.block)) {
    c.board->inUse = 1;
    c.channel->inputInUse = 1;
  }
}

void FB_F_INP_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  L.dout[0] = IO_ChannelGood(IO_ClaimOf(L.block), true) ? 0 : 1;
}

uint8_t FB_F_INP_Param(FbParamRequest* r, uint16_t* b) { return FB_StandardParam(r, b); }

BlkCalPage* IO_RinCalPageOf(uint16_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || L.type != BLK_TYPE_R_IN) return nullptr;
  return &pageOf(L);
}

void BLK_RegisterDualInputTypes() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kTcTemplate, FB_TC_IN_Run, FB_TC_IN_Init, FB_TC_IN_Param, &kTcLimits, 2, kGroupIoFlexInputs}, kCards, 1},
      {{&kRTemplate, FB_R_IN_Run, FB_R_IN_Init, FB_R_IN_Param, &kRLimits, 2, kGroupIoFlexInputs}, kCards, 1},
      {{&kUTemplate, FB_U_IN_Run, FB_U_IN_Init, FB_U_IN_Param, &kULimits, 2, kGroupIoFlexInputs}, kCards, 1},
      {{&kFTemplate, FB_F_INP_Run, FB_F_INP_Init, FB_F_INP_Param, &kFLimits, 2, kGroupIoFlexInputs}, kCards, 1},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}
