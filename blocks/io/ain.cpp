// Analog input card blocks: AINP1, TPS_IN, AINP3..AINP6 and UNI_IN.
//
// Every run turns the raw reading of the block's measuring sub-channel into a value: the
// class check, the conversion and range check by sensor code, the failure value, the first
// order filter, the linear scale and the two-point correction. AINP1, AINP6 and UNI_IN also
// calibrate a potentiometric transmitter (AINP1 and UNI_IN the offset of the 2Pt100 inputs)
// with their calibration page record.
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
#include "runtime/fw_plant.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"

namespace {

// ---------------------------------------------------------------------------------------
// The seven types.

enum class Page : uint8_t { None, Ainp1, Ainp6 };

struct AinKind {
  uint16_t type;
  std::span<const uint8_t> codes;  // accepted Typ, in stepping order
  uint8_t failBit;                 // bit of the analog-input failure byte (0: none)
  uint8_t sub;                     // measuring sub-channel
  bool config;                     // has Unit, STK and Tkref
  bool idErr;                      // id_err output before fail; the status check
  bool eitherClass;                // either byte of the expected class is accepted
  Page page;
};

constexpr uint8_t kAinp1Codes[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  20, 21,
                                   25, 26, 30, 31, 32, 33, 34, 40, 45, 46};
constexpr uint8_t kTpsCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 27, 28, 29, 30, 31};
constexpr uint8_t kAinp3Codes[] = {30, 31, 50};
constexpr uint8_t kAinp4Codes[] = {30, 31};
constexpr uint8_t kAinp5Codes[] = {30, 31, 32, 33};
constexpr uint8_t kAinp6Codes[] = {30, 31, 40};

constexpr AinKind kAinp1{BLK_TYPE_AINP1, kAinp1Codes, FW_AIN_FAIL_AINP1, 0, true, false, false, Page::Ainp1};
constexpr AinKind kTpsIn{BLK_TYPE_TPS_IN, kTpsCodes, 0, 0, true, true, false, Page::None};
constexpr AinKind kAinp3{BLK_TYPE_AINP3, kAinp3Codes, FW_AIN_FAIL_AINP3, 1, false, false, false, Page::None};
constexpr AinKind kAinp4{BLK_TYPE_AINP4, kAinp4Codes, FW_AIN_FAIL_AINP4, 0, false, false, true, Page::None};
constexpr AinKind kAinp5{BLK_TYPE_AINP5, kAinp5Codes, FW_AIN_FAIL_AINP5, 0, false, false, true, Page::None};
constexpr AinKind kAinp6{BLK_TYPE_AINP6, kAinp6Codes, FW_AIN_FAIL_AINP6, 0, false, false, true, Page::Ainp6};
constexpr AinKind kUniIn{BLK_TYPE_UNI_IN, kAinp1Codes, 0, 0, true, true, false, Page::Ainp1};

constexpr const AinKind* kKinds[] = {&kAinp1, &kTpsIn, &kAinp3, &kAinp4, &kAinp5, &kAinp6, &kUniIn};

const AinKind* kindOfType(uint16_t type) {
  for (const AinKind* k : kKinds) {
    if (k->type == type) return k;
  }
  return nullptr;
}
const AinKind* kindOfBlock(uint16_t block) {
  const uint16_t* inst = FB_GetInstance(block);
  return inst ? kindOfType(inst[FB_HDR_TYPE]) : nullptr;
}

// ---------------------------------------------------------------------------------------
// Own state, in the work words after the texts; the calibration page record follows it in
// the types that have one.
struct AinState {
  FbF32 gain, offset;          // G, O: output = G x value + O
  FbF32 span, zero;            // q, a of the linear range
  FbF32 failValue;
  FbF32 filtered;              // f_last
  FbF32 coeff;                 // c
  uint16_t command[2];         // 500, 501 pending
  FbF32 potFactor, potOffset;  // AINP6: the transmitter pair of code 40
  FbF32 reading;               // r' of the last measurement
};
static_assert(sizeof(AinState) % 2 == 0);
constexpr uint16_t kStateWords = sizeof(AinState) / 2;
constexpr uint16_t kPageWords = sizeof(BlkCalPage) / 2;

AinState& stateOf(const FbLayout& L) { return *reinterpret_cast<AinState*>(L.work); }
BlkCalPage& pageOf(const FbLayout& L) { return *reinterpret_cast<BlkCalPage*>(L.work + kStateWords); }

float lv(const FbLayout& L, uint16_t k) { return std::bit_cast<float>(L.lv[k].get()); }
uint16_t wv(const FbLayout& L, uint16_t k) { return k < L.wordValues ? L.wv[k] : 0; }

uint16_t code(const FbLayout& L) { return wv(L, AIN_WV_TYP); }
bool fahrenheit(const AinKind& k, const FbLayout& L) { return k.config && wv(L, AIN_WV_UNIT) == 2; }
bool offsetCode(uint16_t c) { return c == AIN_2PT100_85 || c == AIN_2PT100_25; }

// The types and codes that run the calibration.
bool calibrates(const AinKind& k, uint16_t c) {
  if (k.page == Page::None) return false;
  return c == AIN_POT_TRANS || (k.page == Page::Ainp1 && offsetCode(c));
}

// Digital outputs: [id_err,] fail[, a/m, inc, dec].
uint16_t failIndex(const AinKind& k) { return k.idErr ? 1 : 0; }

// ---------------------------------------------------------------------------------------
// Init steps

// The class the block expects of its channel; 0 writes nothing.
uint16_t expectedClass(const AinKind& k, uint16_t c) {
  const bool current = c == AIN_MA_0_20 || c == AIN_MA_4_20;
  switch (k.type) {
    case BLK_TYPE_AINP1:
    case BLK_TYPE_UNI_IN: return FW_CLASS_UNI_INPUT;
    case BLK_TYPE_TPS_IN: return FW_CLASS_TPS_INPUT;
    case BLK_TYPE_AINP3:
      return current ? FW_CLASS_TC_INPUT : c == AIN_MV_LINEAR ? FW_CLASS_U_INPUT : 0;
    case BLK_TYPE_AINP4: return current ? FW_IoClassPair(FW_CLASS_TC_INPUT, FW_CLASS_UNI_INPUT) : 0;
    case BLK_TYPE_AINP5:
      if (current) return FW_IoClassPair(FW_CLASS_TC_INPUT, FW_CLASS_UNI_INPUT);
      return c == AIN_V_0_10 || c == AIN_V_2_10 ? FW_IoClassPair(FW_CLASS_U_INPUT, FW_CLASS_UNI_INPUT) : 0;
    case BLK_TYPE_AINP6:
      if (current) return FW_IoClassPair(FW_CLASS_TC_INPUT, FW_CLASS_UNI_INPUT);
      return c == AIN_POT_TRANS ? FW_CLASS_UNI_INPUT : 0;
    default: return 0;
  }
}

// The sensor code as the hardware takes it.
uint8_t hardwareCode(const AinKind& k, uint16_t c) {
  if (k.type == BLK_TYPE_TPS_IN && c >= AIN_MV30 && c <= AIN_MV300) return static_cast<uint8_t>(c - 14);
  if (k.type == BLK_TYPE_AINP3 && c == AIN_MV_LINEAR) return AIN_MV1500;
  return static_cast<uint8_t>(c);
}

// Codes whose engineering range is x0..x100 through the span factor and zero.
bool linearScaled(const AinKind& k, uint16_t c) {
  switch (k.type) {
    case BLK_TYPE_TPS_IN: return c >= AIN_MV30 && c <= AIN_MA_4_20;
    case BLK_TYPE_AINP6: return c == AIN_MA_0_20 || c == AIN_MA_4_20;
    default: return (c >= AIN_MA_0_20 && c <= AIN_MV1500) || c == AIN_MV_LINEAR;
  }
}

void configureChannel(const AinKind& k, const FbLayout& L, const IoClaim& claim) {
  claim.board->inUse = 1;
  FwIoChannel& ch = *claim.channel;
  ch.inputInUse = 1;
  const uint16_t c = code(L);
  if (const uint16_t expected = expectedClass(k, c)) ch.expectedClass = expected;
  FwIoSubChannel& s = ch.sub[k.sub];
  s.sensorCode = hardwareCode(k, c);
  s.unit = k.config ? static_cast<uint8_t>(wv(L, AIN_WV_UNIT)) : 1;
  s.mainsFrequency = FW_IoMainsFrequency();
  s.coldJunction = k.config ? static_cast<uint8_t>(wv(L, AIN_WV_STK)) : 1;
  s.textId = IO_ChoiceText(k.type, AIN_WV_TYP, c);
  s.refTemp = k.config ? FW_FloatToI16(lv(L, AIN_LV_TKREF) * 10.0f) : int16_t{0};
  s.refValid = k.config ? 1 : 0;
  s.configValid = 1;
}

void setFailValue(const AinKind& k, const FbLayout& L, AinState& st) {
  const uint16_t c = code(L);
  const uint16_t mode = wv(L, AIN_WV_FAIL);
  const bool scaled = mode == AIN_FAIL_UPSCALE || mode == AIN_FAIL_DOWNSCALE;
  if (scaled && k.type == BLK_TYPE_AINP6 && c == AIN_POT_TRANS) return;
  const AinCodeInfo info = AIN_CodeInfo(c);
  st.failValue = AIN_FailValue(mode, AIN_Ranged(info), info.min, info.max, fahrenheit(k, L),
                               lv(L, AIN_LV_X0), lv(L, AIN_LV_X100), lv(L, AIN_LV_XFAIL));
}

// Span factor and zero of the linear range, the transmitter pair, the two-point correction
// and the total gain and offset.
void computeFactors(const AinKind& k, const FbLayout& L, AinState& st) {
  const uint16_t c = code(L);
  const float x0 = lv(L, AIN_LV_X0), x100 = lv(L, AIN_LV_X100);
  float q = 1.0f, a = 0.0f;
  if (linearScaled(k, c)) {
    AIN_LinearScale(x0, x100, &q, &a);
  } else if (c == AIN_POT_TRANS && k.page == Page::Ainp1) {
    AIN_PercentScale(x0, x100, &q, &a);
  }
  if (k.type == BLK_TYPE_AINP6) {
    float f = 1.0f, o = 0.0f;
    if (c == AIN_POT_TRANS) AIN_PercentScale(x0, x100, &f, &o);
    st.potFactor = f;
    st.potOffset = o;
  }
  st.span = q;
  st.zero = a;
  const float points[4] = {L.fp[0], L.fp[1], L.fp[2], L.fp[3]};
  float gain, offset;
  AIN_Totals(wv(L, AIN_WV_XCORR) == 1, points, q, a, &gain, &offset);
  st.gain = gain;
  st.offset = offset;
}

void preparePage(const AinKind& k, const FbLayout& L, const AinState& st) {
  BlkCalPage& p = pageOf(L);
  const uint16_t c = code(L);
  if (!calibrates(k, c)) {
    p.hide = 1;
  } else {
    IO_CalPagePrepare(L, p, AIN_LV_X0, AIN_LV_X100, st.reading);
    p.offsetMode = offsetCode(c) ? 1 : 0;
  }
  g_fbStore.list[L.block].pageData = &p;
}

void ainInit(const AinKind& k) {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  AinState& st = stateOf(L);
  const float dt = FB_BlockCycleTime(L.block);
  IO_TakeOverValues(L);
  if (const IoClaim claim = IO_ClaimOf(L.block)) configureChannel(k, L, claim);
  st.coeff = AIN_FilterCoeff(lv(L, AIN_LV_TFM), dt);
  setFailValue(k, L, st);
  computeFactors(k, L, st);
  std::fill(L.dout, L.dout + L.digitalOutputs, uint16_t{0});
  L.ao[0] = 0.0f;
  if (k.page != Page::None) preparePage(k, L, st);
}

// ---------------------------------------------------------------------------------------
// Run steps

// Sub-channel fault bits: bit 0 from the hardware, bit 1 the block's range check.
constexpr uint8_t kRangeFault = 0x02;
constexpr uint8_t kFaultBits = 0x07;

// Converts the raw reading by sensor code; sets `fault` when the reading is out of range
// or cannot be converted to a number.
float convert(const AinKind& k, const FbLayout& L, const AinState& st, float r, bool electrical,
              bool* fault) {
  const uint16_t c = code(L);
  if (AIN_CodeInfo(c).kind != AinCodeKind::Pot) {
    const AinConversion v = AIN_Convert(c, r, electrical, lv(L, AIN_LV_X0), lv(L, AIN_LV_X100), false);
    *fault = v.fault;
    return v.value;
  }
  if (!electrical) {  // in engineering units: no conversion and no range check
    *fault = !std::isfinite(r);
    return r;
  }
  const float q = k.type == BLK_TYPE_AINP6 ? st.potFactor.get() : st.span.get();
  const float a = k.type == BLK_TYPE_AINP6 ? st.potOffset.get() : st.zero.get();
  const float v = (r - 5.0f * a) / (5.0f * q);
  *fault = AIN_OutOfPercent(v) || !std::isfinite(v);
  return v;
}

// Whether the internal cold-junction fault of the channel fails this input.
bool coldJunctionApplies(const AinKind& k, const FbLayout& L) {
  const uint16_t c = code(L);
  if (k.type == BLK_TYPE_TPS_IN) return c <= AIN_TYPE_D;
  if (k.page == Page::Ainp1) return c < AIN_PT100_850 && wv(L, AIN_WV_STK) == 1;
  return false;
}

// The failure value on the output and fail = 1.
void fail(const AinKind& k, const FbLayout& L, const AinState& st) {
  L.dout[failIndex(k)] = 1;
  L.ao[0] = st.failValue.get();
}

// Steps 2..5: the measurement of a channel that passed the class check.
void measure(const AinKind& k, const FbLayout& L, AinState& st, const IoClaim& claim) {
  FwIoChannel& ch = *claim.channel;
  FwIoSubChannel& s = ch.sub[k.sub];
  if (ch.reconfigure == 1) {
    ch.reconfigure = 0;
    s.configValid = 1;
    if (k.page == Page::Ainp1) s.refValid = 1;
  }
  bool rangeFault = false;
  const float r = convert(k, L, st, s.raw, s.electrical != 0, &rangeFault);
  s.fault = static_cast<uint8_t>(rangeFault ? (s.fault | kRangeFault) : (s.fault & ~kRangeFault));
  if (!rangeFault) st.reading = r;
  const uint8_t status = claim.status();
  const bool failed = (s.fault & kFaultBits) || (status & FW_IO_STATUS_FAULT) ||
                      (coldJunctionApplies(k, L) && (status & FW_IO_STATUS_CJC));
  if (failed) {
    fail(k, L, st);
    return;
  }
  if (!s.newValue) return;
  s.newValue = 0;
  const float f = AIN_FilterStep(r, st.filtered, st.coeff, &L.dout[failIndex(k)]);
  st.filtered = f;
  const uint16_t c = code(L);
  float value = f;
  if (offsetCode(c)) {
    const float x0 = lv(L, AIN_LV_X0);
    value = fahrenheit(k, L) ? f + x0 * 1.8f + 32.0f : f + x0;
  } else if (k.type == BLK_TYPE_AINP6 && c == AIN_POT_TRANS) {
    value = st.potFactor * f + st.potOffset;
  }
  const float out = st.gain * value + st.offset;
  if (AIN_Bounded(out)) {
    L.ao[0] = out;
  } else {
    fail(k, L, st);
  }
}

void calibrate(const AinKind& k, const FbLayout& L, AinState& st) {
  BlkCalPage& p = pageOf(L);
  const float reading = st.reading;
  const IoClaim claim = IO_ClaimOf(L.block);
  const uint8_t fault =
      claim ? static_cast<uint8_t>(claim.channel->sub[k.sub].fault & kFaultBits) : uint8_t{1};
  IO_CalExchange(L, p, static_cast<uint16_t>(failIndex(k) + 1), reading, IO_Ain(L, 0), fault);
  if (!p.startRequest && !st.command[0] && !st.command[1]) return;
  if (p.state == BLK_CAL_STATE_OFFSET && offsetCode(code(L))) {
    // The offset is kept in degrees Celsius: a reading in Fahrenheit is converted back.
    const float x0 = fahrenheit(k, L) ? (reading - 32.0f) / 1.8f : reading;
    if (IO_StoreCalibrated(L, AIN_LV_X0, x0)) computeFactors(k, L, st);
    p.state = BLK_CAL_STATE_OFFSET_DONE;
  } else if (IO_CalStartEnd(L, p, st.command, AIN_LV_X0, AIN_LV_X100, reading)) {
    computeFactors(k, L, st);
  }
  p.field[BLK_CAL_X0].value = lv(L, AIN_LV_X0);
  p.field[BLK_CAL_X100].value = lv(L, AIN_LV_X100);
  p.startRequest = 0;
}

void ainRun(const AinKind& k) {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  AinState& st = stateOf(L);
  const IoClaim claim = IO_ClaimOf(L.block);
  bool passed = claim && FW_IoClassMatches(claim.channel->reportedClass,
                                           claim.channel->expectedClass, k.eitherClass);
  if (k.idErr) {
    if (claim && claim.status() != 0) passed = false;
    L.dout[0] = passed ? 0 : 1;
  }
  if (passed) {
    measure(k, L, st, claim);
  } else {
    fail(k, L, st);
  }
  const uint16_t failed = L.dout[failIndex(k)];
  if (k.failBit) FW_IoReportFailure(k.failBit, failed);
  FB_SetInputFailBit(failed, L.block);
  if (calibrates(k, code(L))) calibrate(k, L, st);
  if (FB_ApplyPendingFloats(L.block) == FB_APPLY_SAVED) computeFactors(k, L, st);
}

// ---------------------------------------------------------------------------------------
// Parameters

uint8_t ainParam(const AinKind& k, FbParamRequest* r, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  if (!r) return FB_ERR_UNKNOWN_ID;
  FbLayout L;
  if (!FB_GetLayout(r->block(), &L) || L.type != k.type) return FB_ERR_NO_BLOCK;
  const int16_t id = r->id();
  const bool command = id == AIN_CMD_CAL_X0 || id == AIN_CMD_CAL_X100;
  const bool commandRead = id == -AIN_CMD_CAL_X0 || id == -AIN_CMD_CAL_X100;
  if (k.page != Page::None && (command || commandRead)) {
    uint16_t& flag = stateOf(L).command[command ? id - AIN_CMD_CAL_X0 : -id - AIN_CMD_CAL_X0];
    if (commandRead) {
      r->setU16(FB_REQUEST_VALUE, flag);
      return FB_OK;
    }
    if (r->u16(FB_REQUEST_VALUE) != 1) return FB_ERR_LIMITS;
    flag = 1;
    return FB_OK;
  }
  const uint8_t result = FB_StandardParam(r, badIndex);
  const bool floats = (id >= FB_ID_FLOAT && id < FB_ID_WORD) || id == FB_ID_WHOLE_SET;
  // Stopped, a float change applies at once, and with it the factors.
  if (result == FB_OK && floats && !FW_IsRunning()) computeFactors(k, L, stateOf(L));
  return result;
}

// Typ: the type's set stepped in its order, staying at the first and the last code. As the
// two callbacks of a discrete-set record: "next" gives the smallest code at or above x (the
// last beyond it), "previous" the code before one of the set (the first stays).
int16_t nextCode(uint16_t block, int16_t x) {
  const AinKind* k = kindOfBlock(block);
  return k ? AIN_NextCode(k->codes, x) : INT16_MIN;
}
int16_t previousCode(uint16_t block, int16_t e) {
  const AinKind* k = kindOfBlock(block);
  return k ? AIN_PreviousCode(k->codes, e) : INT16_MAX;
}

// ---------------------------------------------------------------------------------------
// Templates and limits

constexpr float kFloats[] = {0.0f, 0.0f, 100.0f, 100.0f};  // x1 in, x1 out, x2 in, x2 out
constexpr uint32_t kLongs[] = {std::bit_cast<uint32_t>(0.0f), std::bit_cast<uint32_t>(100.0f),
                               std::bit_cast<uint32_t>(0.0f), std::bit_cast<uint32_t>(0.5f),
                               std::bit_cast<uint32_t>(0.0f)};  // x0, x100, XFail, Tfm, Tkref
constexpr uint16_t kWords[] = {AIN_MA_0_20, AIN_FAIL_UPSCALE, 0, 1, 1};  // Typ, Fail, Xcorr, Unit, STK
constexpr uint16_t kTpsWords[] = {AIN_TYPE_K, AIN_FAIL_UPSCALE, 0, 1, 1};

constexpr const char* kAinp1Texts[] = {"AINP1"};
constexpr const char* kTpsTexts[] = {"TPS_IN"};
constexpr const char* kAinp3Texts[] = {"AINP3"};
constexpr const char* kAinp4Texts[] = {"AINP4"};
constexpr const char* kAinp5Texts[] = {"AINP5"};
constexpr const char* kAinp6Texts[] = {"AINP6"};
constexpr const char* kUniTexts[] = {"UNI_IN"};

constexpr std::span<const uint32_t> kShortLongs{kLongs, 4};
constexpr std::span<const uint16_t> kShortWords{kWords, 3};

constexpr FbTemplate kAinp1Template = FB_SizedTemplate({
    .type = BLK_TYPE_AINP1, .analogOutputs = 1, .digitalOutputs = 4, .analogInputs = 1,
    .digitalInputs = 2, .floatParams = kFloats, .longValues = kLongs, .wordValues = kWords,
    .texts = kAinp1Texts, .workWords = kStateWords + kPageWords});
constexpr FbTemplate kTpsTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_TPS_IN, .analogOutputs = 1, .digitalOutputs = 2, .floatParams = kFloats,
    .longValues = kLongs, .wordValues = kTpsWords, .texts = kTpsTexts, .workWords = kStateWords});
constexpr FbTemplate kAinp3Template = FB_SizedTemplate({
    .type = BLK_TYPE_AINP3, .analogOutputs = 1, .digitalOutputs = 1, .floatParams = kFloats,
    .longValues = kShortLongs, .wordValues = kShortWords, .texts = kAinp3Texts,
    .workWords = kStateWords});
constexpr FbTemplate kAinp4Template = FB_SizedTemplate({
    .type = BLK_TYPE_AINP4, .analogOutputs = 1, .digitalOutputs = 1, .floatParams = kFloats,
    .longValues = kShortLongs, .wordValues = kShortWords, .texts = kAinp4Texts,
    .workWords = kStateWords});
constexpr FbTemplate kAinp5Template = FB_SizedTemplate({
    .type = BLK_TYPE_AINP5, .analogOutputs = 1, .digitalOutputs = 1, .floatParams = kFloats,
    .longValues = kShortLongs, .wordValues = kShortWords, .texts = kAinp5Texts,
    .workWords = kStateWords});
constexpr FbTemplate kAinp6Template = FB_SizedTemplate({
    .type = BLK_TYPE_AINP6, .analogOutputs = 1, .digitalOutputs = 4, .analogInputs = 1,
    .digitalInputs = 2, .floatParams = kFloats, .longValues = kShortLongs,
    .wordValues = kShortWords, .texts = kAinp6Texts, .workWords = kStateWords + kPageWords});
constexpr FbTemplate kUniTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_UNI_IN, .analogOutputs = 1, .digitalOutputs = 5, .analogInputs = 1,
    .digitalInputs = 2, .floatParams = kFloats, .longValues = kLongs, .wordValues = kWords,
    .texts = kUniTexts, .workWords = kStateWords + kPageWords});

constexpr FwFloatLimit kValueLimit{.min = -29999.0f, .max = 999999.0f, .attribute = 1};
constexpr FwFloatLimit kFloatLimits[] = {kValueLimit, kValueLimit, kValueLimit, kValueLimit};
constexpr FwFloatLimit kLongLimits[] = {kValueLimit, kValueLimit, kValueLimit,
                                        {.min = 0.0f, .max = 999999.0f, .attribute = 1},
                                        {.min = 0.0f, .max = 140.0f, .attribute = 1}};
constexpr FwShortLimit kWordLimits[] = {
    {.min = FW_LIMIT_DISCRETE, .max = 0, .minFn = previousCode, .maxFn = nextCode},
    {.min = AIN_FAIL_DISABLED, .max = AIN_FAIL_SUBST},
    {.min = 0, .max = 1},
    {.min = 1, .max = 2},
    {.min = 1, .max = 2}};
constexpr FbLimitTable kLimits{.floatParams = kFloatLimits, .wordValues = kWordLimits,
                               .longValues = kLongLimits};
constexpr FbLimitTable kShortLimits{.floatParams = kFloatLimits,
                                    .wordValues = std::span<const FwShortLimit>{kWordLimits, 3},
                                    .longValues = std::span<const FwFloatLimit>{kLongLimits, 4}};

constexpr FbBlockRange kAt61[] = {{61, 61}, {0, 0}};
constexpr FbBlockRange kAt63[] = {{63, 63}, {0, 0}};
constexpr FbBlockRange kAt64[] = {{64, 64}, {0, 0}};
constexpr FbBlockRange kAt65[] = {{65, 65}, {0, 0}};
constexpr FbBlockRange kAt66[] = {{66, 66}, {0, 0}};
constexpr FbBlockRange kCards[] = {{65, 74}, {0, 0}};
constexpr FbBlockRange kUniRanges[] = {{61, 61}, {65, 74}, {0, 0}};

}  // namespace

// ---------------------------------------------------------------------------------------

void FB_AINP1_Run() { ainRun(kAinp1); }
void FB_AINP1_Init() { ainInit(kAinp1); }
uint8_t FB_AINP1_Param(FbParamRequest* r, uint16_t* b) { return ainParam(kAinp1, r, b); }
void FB_TPS_IN_Run() { ainRun(kTpsIn); }
void FB_TPS_IN_Init() { ainInit(kTpsIn); }
uint8_t FB_TPS_IN_Param(FbParamRequest* r, uint16_t* b) { return ainParam(kTpsIn, r, b); }
void FB_AINP3_Run() { ainRun(kAinp3); }
void FB_AINP3_Init() { ainInit(kAinp3); }
uint8_t FB_AINP3_Param(FbParamRequest* r, uint16_t* b) { return ainParam(kAinp3, r, b); }
void FB_AINP4_Run() { ainRun(kAinp4); }
void FB_AINP4_Init() { ainInit(kAinp4); }
uint8_t FB_AINP4_Param(FbParamRequest* r, uint16_t* b) { return ainParam(kAinp4, r, b); }
void FB_AINP5_Run() { ainRun(kAinp5); }
void FB_AINP5_Init() { ainInit(kAinp5); }
uint8_t FB_AINP5_Param(FbParamRequest* r, uint16_t* b) { return ainParam(kAinp5, r, b); }
void FB_AINP6_Run() { ainRun(kAinp6); }
void FB_AINP6_Init() { ainInit(kAinp6); }
uint8_t FB_AINP6_Param(FbParamRequest* r, uint16_t* b) { return ainParam(kAinp6, r, b); }
void FB_UNI_IN_Run() { ainRun(kUniIn); }
void FB_UNI_IN_Init() { ainInit(kUniIn); }
uint8_t FB_UNI_IN_Param(FbParamRequest* r, uint16_t* b) { return ainParam(kUniIn, r, b); }

namespace {
uint16_t calFieldKind(uint16_t, uint16_t field) { return field == BLK_CAL_Y ? 2 : 0; }
uint16_t calFieldAccess(uint16_t block, uint16_t field) {
  if (field == BLK_CAL_X0 || field == BLK_CAL_X100) {
    FbLayout L;
    const bool pot = FB_GetLayout(block, &L) &&
                     (code(L) == AIN_POT_TRANS || L.type == BLK_TYPE_R_IN);
    return pot ? 2 : 1;
  }
  return field == BLK_CAL_READING || field == BLK_CAL_Y ? 3 : 0;
}
}  // namespace

BlkCalCallbackFn BLK_CalCallback(uint32_t handle) {
  switch (handle) {
    case 1: return calFieldKind;
    case 2: return calFieldAccess;
    default: return nullptr;
  }
}

BlkCalPage* BLK_CalPageOf(uint16_t block) {
  const AinKind* k = kindOfBlock(block);
  if (!k) return IO_RinCalPageOf(block);
  FbLayout L;
  if (k->page == Page::None || !FB_GetLayout(block, &L)) return nullptr;
  return &pageOf(L);
}

namespace {

// For the plant link: the reading that the input block at `block` turns back into `percent`
// of its range: for a
// current or voltage type the electrical value (mA or V, flagged "#"), for any other type
// the engineering value x0 + percent x (x100 - x0) / 100 of the block's own scaling. False
// without an input block there.
bool plantReading(uint16_t block, float percent, float* value, bool* electrical) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || L.wordValues <= AIN_WV_TYP || L.longValues <= AIN_LV_X100) return false;
  *electrical = true;
  switch (L.wv[AIN_WV_TYP]) {
    case AIN_MA_0_20: *value = 0.2f * percent; return true;
    case AIN_MA_4_20: *value = 4.0f + 0.16f * percent; return true;
    case AIN_V_0_10: *value = 0.1f * percent; return true;
    case AIN_V_2_10: *value = 2.0f + 0.08f * percent; return true;
    default: break;
  }
  *electrical = false;
  const float x0 = std::bit_cast<float>(L.lv[AIN_LV_X0].get());
  const float x100 = std::bit_cast<float>(L.lv[AIN_LV_X100].get());
  *value = x0 + percent * (x100 - x0) / 100.0f;
  return true;
}

}  // namespace

void BLK_RegisterAnalogInputTypes() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kAinp1Template, FB_AINP1_Run, FB_AINP1_Init, FB_AINP1_Param, &kLimits, 2, kGroupIoInputs}, kAt61, 1},
      {{&kTpsTemplate, FB_TPS_IN_Run, FB_TPS_IN_Init, FB_TPS_IN_Param, &kLimits, 2, kGroupIoFlexInputs}, kCards, 1},
      {{&kAinp3Template, FB_AINP3_Run, FB_AINP3_Init, FB_AINP3_Param, &kShortLimits, 2, kGroupIoInputs}, kAt63, 2},
      {{&kAinp4Template, FB_AINP4_Run, FB_AINP4_Init, FB_AINP4_Param, &kShortLimits, 2, kGroupIoInputs}, kAt64, 3},
      {{&kAinp5Template, FB_AINP5_Run, FB_AINP5_Init, FB_AINP5_Param, &kShortLimits, 2, kGroupIoInputs}, kAt65, 4},
      {{&kAinp6Template, FB_AINP6_Run, FB_AINP6_Init, FB_AINP6_Param, &kShortLimits, 2, kGroupIoInputs}, kAt66, 5},
      {{&kUniTemplate, FB_UNI_IN_Run, FB_UNI_IN_Init, FB_UNI_IN_Param, &kLimits, 2, kGroupIoFlexInputs}, kUniRanges, 1},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
  FW_RegisterInputReading(plantReading);
}
