// Analog input card blocks: the single-channel inputs AINP1, TPS_IN, AINP3..AINP6 and UNI_IN,
// the two-channel inputs TC_IN (thermocouples, millivolt and milliamp inputs), R_IN
// (resistance thermometers, resistances and potentiometers) and U_IN (voltage inputs), and
// F_INP (frequency and counter inputs).
//
// Every measuring sub-channel runs one pipeline: the configuration of its hardware
// sub-channel, the class check, the conversion and range check by sensor code, the failure
// value, the first order filter, the linear scale and the two-point correction. What differs
// between the types is the table of kinds below. AINP1, AINP6 and UNI_IN calibrate a
// potentiometric transmitter (AINP1 and UNI_IN also the offset of the 2Pt100 inputs), R_IN its
// potentiometers, through a calibration page record. Word values and 4-byte values come per
// sub-channel, b's after a's; the float parameters are the correction point sets. F_INP only
// claims its channel and checks it: counting and frequency measuring belong to the hardware
// side.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <span>

#include "blocks/block_family.h"
#include "blocks/io/ain_codes.h"
#include "blocks/io/io.h"
#include "blocks/io/io_internal.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_plant_provider.h"

namespace {

// ---------------------------------------------------------------------------------------
// Sets of sensor codes 0..63 as bit masks.
constexpr uint64_t codeBit(unsigned c) { return uint64_t{1} << c; }
constexpr uint64_t codeRange(unsigned lo, unsigned hi) {
  uint64_t m = 0;
  for (unsigned c = lo; c <= hi; ++c) m |= codeBit(c);
  return m;
}
bool inSet(uint64_t set, uint16_t c) { return c < 64 && ((set >> c) & 1) != 0; }

// Own state per sub-channel, in the work words after the texts; the calibration page
// record follows the state.
struct AinSubState {
  FbF32 gain, offset;  // output = G x value + O
  FbF32 failValue;
  FbF32 filtered;      // f_last
  FbF32 coeff;         // c
  FbF32 reading;       // r' of the last good measurement
};
// The pair that maps x0..x100 of a transmitter (code 40) to 0..100 %.
struct AinPair {
  FbF32 factor, offset;
};
struct AinState {
  AinSubState a;
  uint16_t command[2];  // 500, 501 pending
  union {
    AinSubState b;          // two-channel types
    AinPair transmitter;    // single-channel types
  };
};
static_assert(alignof(AinState) == 2 && sizeof(AinState) % 2 == 0);
// The instance sizes stay as stored images record them: the single-channel types keep 22
// work words of state (18 in use), the two-channel types 26.
constexpr uint16_t kOneChannelWords = 22;
constexpr uint16_t kTwoChannelWords = sizeof(AinState) / 2;
static_assert(offsetof(AinState, transmitter) + sizeof(AinPair) <= 2u * kOneChannelWords);
static_assert(kTwoChannelWords == 26);
constexpr uint16_t kPageWords = sizeof(BlkCalPage) / 2;

// ---------------------------------------------------------------------------------------
// The types: what differs between them.

// Where a type's sensor codes come from: the card codes of `Typ` (AIN_CodeInfo), R_IN's
// resistance codes 0..13 or U_IN's two voltage codes.
enum class Codes : uint8_t { Card, Resistance, Voltage };

// The calibration page a type keeps: none, the transmitter (code 40), the transmitter and
// the 2Pt100 offset (codes 25, 26), or R_IN's potentiometers (one sub-channel at a time).
enum class CalPage : uint8_t { None, Transmitter, TransmitterAndOffset, Potentiometer };

// When the internal cold-junction fault of the channel fails an input: never, with a
// thermocouple code up to 10, or with a thermocouple code and `STK` "int.CJC".
enum class Cjc : uint8_t { Never, UpToTypeD, ThermocoupleInternal };

// The class the block expects of its channel: the first rule whose set holds sub-channel a's
// code, else `otherClass` (0 writes nothing).
struct ClassRule {
  uint64_t codes;
  uint16_t expected;
};
// A card code sent to the hardware under another number.
struct SentCode {
  uint8_t code, sent;
};

// Card codes whose engineering range is x0..x100 through the span and the zero.
constexpr uint64_t kLinearCodes = codeRange(AIN_MA_0_20, AIN_MV1500) | codeBit(AIN_MV_LINEAR);

// A type's row; the defaults are those of a plain single-channel card input.
struct AinKind {
  uint16_t type;
  Codes codes = Codes::Card;
  std::span<const uint8_t> stepping{};     // the discrete set of `Typ` in stepping order
  uint8_t subs = 1;                        // measuring sub-channels
  uint8_t firstSub = 0;                    // hardware sub-channel of a
  uint8_t words = 3, longs = 4;            // word and 4-byte values per sub-channel
  uint16_t stateWords = kOneChannelWords;  // own state ahead of the calibration page record
  uint8_t failOut[2] = {0, 0};             // digital outputs fail of a and b
  bool idErr = false;                      // output 0 is id_err; any status bit fails the check
  bool eitherClass = false;                // either byte of the expected class is accepted
  std::span<const ClassRule> classRules{};
  uint16_t otherClass = 0;
  bool classByMode = false;                // the rules apply only with "Mode" non-zero
  std::span<const SentCode> sent{};        // card codes sent under another number
  bool unit = false;                       // has `Unit`
  bool coldJunction = false;               // has `STK` and `Tkref`
  bool refValidAgain = false;              // a reconfiguration sets the reference-valid byte too
  uint64_t linear = kLinearCodes;          // card codes scaled to x0..x100 by span and zero
  bool checkMillivoltsOnA = false;         // electrical 27..29 range-checked on a
  bool transmitter = true;                 // code 40 read through the transmitter pair
  bool ownPair = false;                    // the pair applies after the filter (not in the gain)
  bool offsetCodes = true;                 // codes 25, 26 add the offset x0 after the filter
  bool statusFault = true;                 // the channel's fault status bit fails the input
  Cjc cjc = Cjc::Never;
  uint8_t failBit = 0;                     // bit of the analog-input failure byte (0: none)
  CalPage page = CalPage::None;
  bool calCommands = false;                // commands 500 and 501
  uint16_t calStart = AIN_LV_X0, calEnd = AIN_LV_X100;  // 4-byte values the calibration takes
  bool mode = false;                       // "Mode" after the words: non-zero switches b off
};

constexpr uint8_t kAinp1Codes[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  20, 21,
                                   25, 26, 30, 31, 32, 33, 34, 40, 45, 46};
constexpr uint8_t kTpsCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 27, 28, 29, 30, 31};
constexpr uint8_t kAinp3Codes[] = {30, 31, 50};
constexpr uint8_t kAinp4Codes[] = {30, 31};
constexpr uint8_t kAinp5Codes[] = {30, 31, 32, 33};
constexpr uint8_t kAinp6Codes[] = {30, 31, 40};

constexpr uint64_t kCurrent = codeRange(AIN_MA_0_20, AIN_MA_4_20);
constexpr uint16_t kTcOrUni = FW_IoClassPair(FW_CLASS_TC_INPUT, FW_CLASS_UNI_INPUT);
constexpr ClassRule kAinp3Classes[] = {{kCurrent, FW_CLASS_TC_INPUT},
                                       {codeBit(AIN_MV_LINEAR), FW_CLASS_U_INPUT}};
constexpr ClassRule kAinp4Classes[] = {{kCurrent, kTcOrUni}};
constexpr ClassRule kAinp5Classes[] = {
    {kCurrent, kTcOrUni},
    {codeRange(AIN_V_0_10, AIN_V_2_10), FW_IoClassPair(FW_CLASS_U_INPUT, FW_CLASS_UNI_INPUT)}};
constexpr ClassRule kAinp6Classes[] = {{kCurrent, kTcOrUni},
                                       {codeBit(AIN_POT_TRANS), FW_CLASS_UNI_INPUT}};
constexpr ClassRule kTcClasses[] = {{codeRange(AIN_TYPE_L, 9) | kCurrent, kTcOrUni}};
constexpr ClassRule kRClasses[] = {
    {codeRange(0, 1) | codeRange(RIN_R160, RIN_R160 + 1),
     FW_IoClassPair(FW_CLASS_R_INPUT, FW_CLASS_UNI_INPUT)}};

// TPS_IN and TC_IN send the millivolt codes 27..29 as 13..15, AINP3 its 50 as 34.
constexpr SentCode kMillivoltsSent[] = {{AIN_MV30, 13}, {AIN_MV100, 14}, {AIN_MV300, 15}};
constexpr SentCode kAinp3Sent[] = {{AIN_MV_LINEAR, AIN_MV1500}};
constexpr uint64_t kMillivoltsAndCurrent = codeRange(AIN_MV30, AIN_MA_4_20);

constexpr AinKind kAinp1{.type = BLK_TYPE_AINP1, .stepping = kAinp1Codes, .words = 5, .longs = 5,
                         .otherClass = FW_CLASS_UNI_INPUT, .unit = true, .coldJunction = true,
                         .refValidAgain = true, .cjc = Cjc::ThermocoupleInternal,
                         .failBit = FW_AIN_FAIL_AINP1, .page = CalPage::TransmitterAndOffset,
                         .calCommands = true};
constexpr AinKind kTpsIn{.type = BLK_TYPE_TPS_IN, .stepping = kTpsCodes, .words = 5, .longs = 5,
                         .failOut = {1, 1}, .idErr = true, .otherClass = FW_CLASS_TPS_INPUT,
                         .sent = kMillivoltsSent, .unit = true, .coldJunction = true,
                         .linear = kMillivoltsAndCurrent, .cjc = Cjc::UpToTypeD};
constexpr AinKind kAinp3{.type = BLK_TYPE_AINP3, .stepping = kAinp3Codes, .firstSub = 1,
                         .classRules = kAinp3Classes, .sent = kAinp3Sent,
                         .failBit = FW_AIN_FAIL_AINP3};
constexpr AinKind kAinp4{.type = BLK_TYPE_AINP4, .stepping = kAinp4Codes, .eitherClass = true,
                         .classRules = kAinp4Classes, .failBit = FW_AIN_FAIL_AINP4};
constexpr AinKind kAinp5{.type = BLK_TYPE_AINP5, .stepping = kAinp5Codes, .eitherClass = true,
                         .classRules = kAinp5Classes, .failBit = FW_AIN_FAIL_AINP5};
constexpr AinKind kAinp6{.type = BLK_TYPE_AINP6, .stepping = kAinp6Codes, .eitherClass = true,
                         .classRules = kAinp6Classes, .linear = kCurrent, .ownPair = true,
                         .failBit = FW_AIN_FAIL_AINP6, .page = CalPage::Transmitter,
                         .calCommands = true};
constexpr AinKind kUniIn{.type = BLK_TYPE_UNI_IN, .stepping = kAinp1Codes, .words = 5, .longs = 5,
                         .failOut = {1, 1}, .idErr = true, .otherClass = FW_CLASS_UNI_INPUT,
                         .unit = true, .coldJunction = true, .refValidAgain = true,
                         .cjc = Cjc::ThermocoupleInternal, .page = CalPage::TransmitterAndOffset,
                         .calCommands = true};
constexpr AinKind kTcIn{.type = BLK_TYPE_TC_IN, .stepping = kTpsCodes, .subs = 2, .words = 5,
                        .longs = 5, .stateWords = kTwoChannelWords, .failOut = {1, 2},
                        .idErr = true, .eitherClass = true, .classRules = kTcClasses,
                        .otherClass = FW_CLASS_TC_INPUT, .sent = kMillivoltsSent, .unit = true,
                        .coldJunction = true, .linear = kMillivoltsAndCurrent,
                        .checkMillivoltsOnA = true, .transmitter = false, .offsetCodes = false,
                        .cjc = Cjc::UpToTypeD};
constexpr AinKind kRIn{.type = BLK_TYPE_R_IN, .codes = Codes::Resistance, .subs = 2, .words = 4,
                       .longs = 6, .stateWords = kTwoChannelWords, .failOut = {1, 5},
                       .idErr = true, .eitherClass = true, .classRules = kRClasses,
                       .otherClass = FW_CLASS_R_INPUT, .classByMode = true, .unit = true,
                       .transmitter = false, .offsetCodes = false,
                       .page = CalPage::Potentiometer, .calStart = RIN_LV_KAL1,
                       .calEnd = RIN_LV_KAL2, .mode = true};
constexpr AinKind kUIn{.type = BLK_TYPE_U_IN, .codes = Codes::Voltage, .subs = 2,
                       .stateWords = kTwoChannelWords, .failOut = {1, 2}, .idErr = true,
                       .eitherClass = true, .otherClass = FW_CLASS_U_INPUT,
                       .transmitter = false, .offsetCodes = false, .statusFault = false};

constexpr const AinKind* kKinds[] = {&kAinp1, &kTpsIn, &kAinp3, &kAinp4, &kAinp5,
                                     &kAinp6, &kUniIn, &kTcIn,  &kRIn,   &kUIn};

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
// R_IN's sensor codes: the code sent to the hardware, the range, and the divisors of a
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

bool offsetCode(uint16_t c) { return c == AIN_2PT100_85 || c == AIN_2PT100_25; }

// ---------------------------------------------------------------------------------------
// The state, the page record and the values of one sub-channel.

AinState& stateOf(const FbLayout& L) { return BLK_WorkState<AinState>(L); }
BlkCalPage& pageOf(const AinKind& k, const FbLayout& L) {
  return *reinterpret_cast<BlkCalPage*>(L.work + k.stateWords);
}

struct Sub {
  const AinKind& k;
  const FbLayout& L;
  unsigned s;
  uint16_t word(uint16_t i) const { return L.wv[s * k.words + i]; }
  uint16_t wordIndex(uint16_t i) const { return static_cast<uint16_t>(s * k.words + i); }
  uint16_t longIndex(uint16_t i) const { return static_cast<uint16_t>(s * k.longs + i); }
  float value(uint16_t i) const { return IO_Long(L, longIndex(i)); }
  uint16_t code() const { return word(AIN_WV_TYP); }
  float x0() const { return value(AIN_LV_X0); }
  float x100() const { return value(AIN_LV_X100); }
  bool fahrenheit() const { return k.unit && word(AIN_WV_UNIT) == 2; }
  AinSubState& state() const { return s == 0 ? stateOf(L).a : stateOf(L).b; }
  FwIoSubChannel& channel(const IoClaim& c) const { return c.channel->sub[k.firstSub + s]; }
};

uint16_t rMode(const AinKind& k, const FbLayout& L) {
  return k.mode ? L.wv[k.subs * k.words] : uint16_t{0};
}

// The sub-channels that measure: with a non-zero "Mode" only a.
unsigned measuring(const AinKind& k, const FbLayout& L) { return rMode(k, L) != 0 ? 1 : k.subs; }

// ---------------------------------------------------------------------------------------
// Init steps

uint16_t expectedClass(const AinKind& k, const FbLayout& L) {
  const uint16_t a = Sub{k, L, 0}.code();
  if (!k.classByMode || rMode(k, L) != 0) {
    for (const ClassRule& rule : k.classRules) {
      if (inSet(rule.codes, a)) return rule.expected;
    }
  }
  return k.otherClass;
}

// The sensor code as the hardware takes it.
uint8_t hardwareCode(const AinKind& k, uint16_t c) {
  switch (k.codes) {
    case Codes::Resistance: return rCode(c) ? rCode(c)->hardware : uint8_t{0};
    case Codes::Voltage: return c == kU1500mV ? AIN_MV1500 : AIN_V_0_10;
    case Codes::Card: break;
  }
  for (const SentCode& m : k.sent) {
    if (m.code == c) return m.sent;
  }
  return static_cast<uint8_t>(c);
}

void configure(const Sub& v, FwIoSubChannel& s) {
  const AinKind& k = v.k;
  const uint16_t c = v.code();
  s.sensorCode = hardwareCode(k, c);
  s.unit = k.unit ? static_cast<uint8_t>(v.word(AIN_WV_UNIT)) : uint8_t{1};
  s.mainsFrequency = FW_IoMainsFrequency();
  s.coldJunction = k.coldJunction ? static_cast<uint8_t>(v.word(AIN_WV_STK)) : uint8_t{1};
  s.textId = IO_ChoiceText(k.type, v.wordIndex(AIN_WV_TYP), c);
  s.refTemp = k.coldJunction ? FW_FloatToI16(v.value(AIN_LV_TKREF) * 10.0f) : int16_t{0};
  s.refValid = k.coldJunction ? 1 : 0;
  s.configValid = 1;
}

// A sub-channel switched off: its configuration cleared.
void switchOff(FwIoSubChannel& s) {
  s.configValid = s.sensorCode = s.unit = s.mainsFrequency = s.coldJunction = 0;
  s.textId = 0;
  s.refValid = 0;
  s.refTemp = 0;
}

void setFailValue(const Sub& v) {
  const uint16_t c = v.code();
  const uint16_t mode = v.word(AIN_WV_FAIL);
  const bool scaled = mode == AIN_FAIL_UPSCALE || mode == AIN_FAIL_DOWNSCALE;
  // A transmitter with its own pair has no range of its own to go to.
  if (scaled && v.k.ownPair && c == AIN_POT_TRANS) return;
  float min = 0.0f, max = 0.0f;
  bool ranged = false;
  if (v.k.codes == Codes::Card) {
    const AinCodeInfo info = AIN_CodeInfo(c);
    ranged = AIN_Ranged(info);
    min = info.min, max = info.max;
  } else if (v.k.codes == Codes::Resistance && rCode(c)) {
    // The temperature codes use their range, the resistances and potentiometers x0..x100.
    ranged = rCode(c)->kind == AinCodeKind::Temperature;
    min = rCode(c)->min, max = rCode(c)->max;
  }
  v.state().failValue = AIN_FailValue(mode, ranged, min, max, v.fahrenheit(), v.x0(), v.x100(),
                                      v.value(AIN_LV_XFAIL));
}

// Span and zero of the sub-channel's code, the two-point correction and the total gain and
// offset. A transmitter is taken to percent of x0..x100 (in the gain, or by its own pair
// after the filter); an R_IN potentiometer to percent of its calibrated travel, then to
// x0..x100.
void computeFactors(const Sub& v) {
  const AinKind& k = v.k;
  const uint16_t c = v.code();
  float q = 1.0f, a = 0.0f;
  switch (k.codes) {
    case Codes::Card: {
      float f = 1.0f, o = 0.0f;
      const bool pair = c == AIN_POT_TRANS && k.page != CalPage::None;
      if (pair) AIN_PercentScale(v.x0(), v.x100(), &f, &o);
      if (inSet(k.linear, c)) {
        AIN_LinearScale(v.x0(), v.x100(), &q, &a);
      } else if (pair && !k.ownPair) {
        q = f;
        a = o;
      }
      if (k.transmitter) {
        AinPair& t = stateOf(v.L).transmitter;
        t.factor = f;
        t.offset = o;
      }
      break;
    }
    case Codes::Voltage: AIN_LinearScale(v.x0(), v.x100(), &q, &a); break;
    case Codes::Resistance:
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
  v.state().gain = gain;
  v.state().offset = offset;
}

void computeAllFactors(const AinKind& k, const FbLayout& L) {
  for (unsigned s = 0; s < k.subs; ++s) computeFactors(Sub{k, L, s});
}

// The sub-channel the calibration page serves: the one asked for when its code calibrates,
// else the first whose code does; -1 for none ("Mode" non-zero calibrates nothing).
int calChannel(const AinKind& k, const FbLayout& L, unsigned wanted) {
  if (k.page == CalPage::None || rMode(k, L) != 0) return -1;
  bool cal[2] = {false, false};
  for (unsigned s = 0; s < k.subs; ++s) {
    const uint16_t c = Sub{k, L, s}.code();
    switch (k.page) {
      case CalPage::TransmitterAndOffset: cal[s] = c == AIN_POT_TRANS || offsetCode(c); break;
      case CalPage::Transmitter: cal[s] = c == AIN_POT_TRANS; break;
      case CalPage::Potentiometer: cal[s] = rPot(c); break;
      case CalPage::None: break;
    }
  }
  if (wanted < 2 && cal[wanted]) return static_cast<int>(wanted);
  return cal[0] ? 0 : cal[1] ? 1 : -1;
}

void preparePage(const AinKind& k, const FbLayout& L) {
  BlkCalPage& p = pageOf(k, L);
  const int ch = calChannel(k, L, 0);
  if (ch < 0) {
    p.hide = 1;
  } else {
    const Sub v{k, L, static_cast<unsigned>(ch)};
    IO_CalPagePrepare(L, p, v.longIndex(k.calStart), v.longIndex(k.calEnd), v.state().reading);
    p.offsetMode = offsetCode(v.code()) ? 1 : 0;
    p.channel = static_cast<uint8_t>(ch);
  }
  g_fbStore.list[L.block].pageData = &p;
}

void ainInit(const AinKind& k) {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const float dt = FB_BlockCycleTime(L.block);
  IO_TakeOverValues(L);
  const unsigned n = measuring(k, L);
  if (const IoClaim claim = IO_ClaimOf(L.block)) {
    claim.board->inUse = 1;
    claim.channel->inputInUse = 1;
    if (const uint16_t expected = expectedClass(k, L)) claim.channel->expectedClass = expected;
    for (unsigned s = 0; s < k.subs; ++s) {
      const Sub v{k, L, s};
      if (s < n) {
        configure(v, v.channel(claim));
      } else {
        switchOff(v.channel(claim));
      }
    }
  }
  for (unsigned s = 0; s < k.subs; ++s) {
    const Sub v{k, L, s};
    v.state().coeff = AIN_FilterCoeff(v.value(AIN_LV_TFM), dt);
    setFailValue(v);
    computeFactors(v);
    L.ao[s] = 0.0f;
  }
  std::fill(L.dout, L.dout + L.digitalOutputs, uint16_t{0});
  if (k.page != CalPage::None) preparePage(k, L);
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

// A transmitter reading: electrical (r - 5 x a) / (5 x q) with the percent check; in
// engineering units neither conversion nor range check.
AinConversion transmitterConvert(const Sub& v, float r, bool electrical) {
  if (!electrical) return {r, !std::isfinite(r)};
  const AinPair& t = stateOf(v.L).transmitter;
  const float q = t.factor, a = t.offset;
  const float value = (r - 5.0f * a) / (5.0f * q);
  return {value, AIN_OutOfPercent(value) || !std::isfinite(value)};
}

// Converts the raw reading by sensor code; the fault is set when the reading is out of range
// or cannot be converted to a number.
AinConversion convert(const Sub& v, float r, bool electrical) {
  switch (v.k.codes) {
    case Codes::Resistance: return rConvert(v, r, electrical);
    case Codes::Voltage: return uConvert(v, r, electrical);
    case Codes::Card: break;
  }
  const uint16_t c = v.code();
  if (v.k.transmitter && AIN_CodeInfo(c).kind == AinCodeKind::Pot) {
    return transmitterConvert(v, r, electrical);
  }
  return AIN_Convert(c, r, electrical, v.x0(), v.x100(), v.k.checkMillivoltsOnA && v.s == 0);
}

// Whether the internal cold-junction fault of the channel fails this sub-channel.
bool coldJunctionApplies(const Sub& v) {
  const uint16_t c = v.code();
  switch (v.k.cjc) {
    case Cjc::UpToTypeD: return c <= AIN_TYPE_D;
    case Cjc::ThermocoupleInternal: return c < AIN_PT100_850 && v.word(AIN_WV_STK) == 1;
    case Cjc::Never: break;
  }
  return false;
}

// The failure value on the output and fail = 1.
void fail(const Sub& v) {
  v.L.dout[v.k.failOut[v.s]] = 1;
  v.L.ao[v.s] = v.state().failValue.get();
}

// Conversion, failure decision, filter and output of one sub-channel of a good channel.
void measure(const Sub& v, FwIoSubChannel& sc, uint8_t status) {
  AinSubState& st = v.state();
  const AinConversion r = convert(v, sc.raw, sc.electrical != 0);
  sc.fault = static_cast<uint8_t>(r.fault ? (sc.fault | kRangeFault) : (sc.fault & ~kRangeFault));
  if (!r.fault) st.reading = r.value;
  const bool failed = (sc.fault & kFaultBits) || (v.k.statusFault && (status & FW_IO_STATUS_FAULT)) ||
                      ((status & FW_IO_STATUS_CJC) && coldJunctionApplies(v));
  if (failed) {
    fail(v);
    return;
  }
  if (!sc.newValue) return;
  sc.newValue = 0;
  const float f = AIN_FilterStep(r.value, st.filtered, st.coeff, &v.L.dout[v.k.failOut[v.s]]);
  st.filtered = f;
  const uint16_t c = v.code();
  float value = f;
  if (v.k.offsetCodes && offsetCode(c)) {
    const float x0 = v.x0();
    value = v.fahrenheit() ? f + x0 * 1.8f + 32.0f : f + x0;
  } else if (v.k.ownPair && c == AIN_POT_TRANS) {
    const AinPair& t = stateOf(v.L).transmitter;
    value = t.factor * f + t.offset;
  }
  const float out = st.gain * value + st.offset;
  if (AIN_Bounded(out)) {
    v.L.ao[v.s] = out;
  } else {
    fail(v);
  }
}

// Calibration: the page's requests and the commands 500, 501 on the sub-channel the page serves.
void calibrate(const AinKind& k, const FbLayout& L) {
  BlkCalPage& p = pageOf(k, L);
  AinState& st = stateOf(L);
  const int ch = calChannel(k, L, p.channel);
  if (ch < 0) {
    p.hide = 1;
    return;
  }
  const Sub v{k, L, static_cast<unsigned>(ch)};
  p.channel = static_cast<uint8_t>(ch);
  const IoClaim claim = IO_ClaimOf(L.block);
  const uint8_t fault = claim ? static_cast<uint8_t>(v.channel(claim).fault & kFaultBits) : uint8_t{1};
  const float reading = v.state().reading;
  IO_CalExchange(L, p, static_cast<uint16_t>(k.failOut[v.s] + 1), reading, IO_Ain(L, v.s), fault);
  if (!p.startRequest && !st.command[0] && !st.command[1]) return;
  if (p.state == BLK_CAL_STATE_OFFSET && offsetCode(v.code())) {
    // The offset is kept in degrees Celsius: a reading in Fahrenheit is converted back.
    const float x0 = v.fahrenheit() ? (reading - 32.0f) / 1.8f : reading;
    if (IO_StoreCalibrated(L, v.longIndex(AIN_LV_X0), x0)) computeFactors(v);
    p.state = BLK_CAL_STATE_OFFSET_DONE;
  } else if (IO_CalStartEnd(L, p, st.command, v.longIndex(k.calStart), v.longIndex(k.calEnd),
                            reading)) {
    computeFactors(v);
  }
  p.field[BLK_CAL_X0].value = v.value(k.calStart);
  p.field[BLK_CAL_X100].value = v.value(k.calEnd);
  p.startRequest = 0;
}

void ainRun(const AinKind& k) {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  const IoClaim claim = IO_ClaimOf(L.block);
  bool good = claim && FW_IoClassMatches(claim.channel->reportedClass,
                                         claim.channel->expectedClass, k.eitherClass);
  if (k.idErr) {
    if (claim && claim.status() != 0) good = false;
    L.dout[0] = good ? 0 : 1;
  }
  const unsigned n = measuring(k, L);
  if (good && claim.channel->reconfigure == 1) {
    claim.channel->reconfigure = 0;
    for (unsigned s = 0; s < n; ++s) {
      FwIoSubChannel& sc = Sub{k, L, s}.channel(claim);
      sc.configValid = 1;
      if (k.refValidAgain) sc.refValid = 1;
    }
  }
  uint16_t failed = 0;
  for (unsigned s = 0; s < n; ++s) {
    const Sub v{k, L, s};
    if (good) {
      measure(v, v.channel(claim), claim.status());
    } else {
      fail(v);
    }
    failed = static_cast<uint16_t>(failed | L.dout[k.failOut[s]]);
  }
  if (k.failBit) FW_IoReportFailure(k.failBit, failed);
  FB_SetInputFailBit(failed, L.block);
  if (k.page != CalPage::None) calibrate(k, L);
  if (FB_ApplyPendingFloats(L.block) == FB_APPLY_SAVED) computeAllFactors(k, L);
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
  if (k.calCommands && (command || commandRead)) {
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
  return ainParam(kRIn, r, badIndex);
}

// `Typ`: the type's set stepped in its order, staying at the first and the last code. As the
// two callbacks of a discrete-set record: "next" gives the smallest code at or above x (the
// last beyond it), "previous" the code before one of the set (the first stays).
int16_t nextCode(uint16_t block, int16_t x) {
  const AinKind* k = kindOfBlock(block);
  return k && !k->stepping.empty() ? AIN_NextCode(k->stepping, x) : INT16_MIN;
}
int16_t previousCode(uint16_t block, int16_t e) {
  const AinKind* k = kindOfBlock(block);
  return k && !k->stepping.empty() ? AIN_PreviousCode(k->stepping, e) : INT16_MAX;
}

// F_INP's "Func_b": 0 "DigInput", 1 "Count_1", 5 "Frequency".
constexpr uint8_t kFuncBCodes[] = {0, 1, 5};
int16_t funcBNext(uint16_t, int16_t x) { return AIN_NextCode(kFuncBCodes, x); }
int16_t funcBPrevious(uint16_t, int16_t e) { return AIN_PreviousCode(kFuncBCodes, e); }

// ---------------------------------------------------------------------------------------
// Templates and limits

constexpr uint32_t f32(float f) { return std::bit_cast<uint32_t>(f); }

constexpr uint16_t kOneChannelWork = kOneChannelWords + kPageWords;

constexpr float kFloats[] = {0, 0, 100, 100, 0, 0, 100, 100};  // x1 in, x1 out, x2 in, x2 out
constexpr std::span<const float> kOneFloats{kFloats, 4};
constexpr uint32_t kLongs[] = {f32(0), f32(100), f32(0), f32(0.5f), f32(0),
                               f32(0), f32(100), f32(0), f32(0.5f), f32(0)};  // x0, x100, XFail, Tfm, Tkref
constexpr uint16_t kWords[] = {AIN_MA_0_20, AIN_FAIL_UPSCALE, 0, 1, 1};  // Typ, Fail, Xcorr, Unit, STK
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
static_assert(std::size(kRWords) == kRinWords);

constexpr std::span<const uint32_t> kOneLongs{kLongs, 5};
constexpr std::span<const uint32_t> kShortLongs{kLongs, 4};
constexpr std::span<const uint16_t> kShortWords{kWords, 3};
constexpr std::span<const uint16_t> kTpsWords{kTcWords, 5};

constexpr const char* kAinp1Texts[] = {"AINP1"};
constexpr const char* kTpsTexts[] = {"TPS_IN"};
constexpr const char* kAinp3Texts[] = {"AINP3"};
constexpr const char* kAinp4Texts[] = {"AINP4"};
constexpr const char* kAinp5Texts[] = {"AINP5"};
constexpr const char* kAinp6Texts[] = {"AINP6"};
constexpr const char* kUniTexts[] = {"UNI_IN"};
constexpr const char* kTcTexts[] = {"TC_IN"};
constexpr const char* kRTexts[] = {"R_IN"};
constexpr const char* kUTexts[] = {"U_IN"};
constexpr const char* kFTexts[] = {"F_INP"};

constexpr FbTemplate kAinp1Template = FB_SizedTemplate({
    .type = BLK_TYPE_AINP1, .analogOutputs = 1, .digitalOutputs = 4, .analogInputs = 1,
    .digitalInputs = 2, .floatParams = kOneFloats, .longValues = kOneLongs, .wordValues = kWords,
    .texts = kAinp1Texts, .workWords = kOneChannelWork});
constexpr FbTemplate kTpsTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_TPS_IN, .analogOutputs = 1, .digitalOutputs = 2, .floatParams = kOneFloats,
    .longValues = kOneLongs, .wordValues = kTpsWords, .texts = kTpsTexts,
    .workWords = kOneChannelWords});
// AINP3, AINP4 and AINP5: one output and fail, the short value sets, no calibration page.
constexpr FbTemplate plainInputTemplate(uint16_t type, std::span<const char* const> texts) {
  return FB_SizedTemplate({.type = type, .analogOutputs = 1, .digitalOutputs = 1,
                           .floatParams = kOneFloats, .longValues = kShortLongs,
                           .wordValues = kShortWords, .texts = texts,
                           .workWords = kOneChannelWords});
}
constexpr FbTemplate kAinp3Template = plainInputTemplate(BLK_TYPE_AINP3, kAinp3Texts);
constexpr FbTemplate kAinp4Template = plainInputTemplate(BLK_TYPE_AINP4, kAinp4Texts);
constexpr FbTemplate kAinp5Template = plainInputTemplate(BLK_TYPE_AINP5, kAinp5Texts);
constexpr FbTemplate kAinp6Template = FB_SizedTemplate({
    .type = BLK_TYPE_AINP6, .analogOutputs = 1, .digitalOutputs = 4, .analogInputs = 1,
    .digitalInputs = 2, .floatParams = kOneFloats, .longValues = kShortLongs,
    .wordValues = kShortWords, .texts = kAinp6Texts, .workWords = kOneChannelWork});
constexpr FbTemplate kUniTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_UNI_IN, .analogOutputs = 1, .digitalOutputs = 5, .analogInputs = 1,
    .digitalInputs = 2, .floatParams = kOneFloats, .longValues = kOneLongs, .wordValues = kWords,
    .texts = kUniTexts, .workWords = kOneChannelWork});
constexpr FbTemplate kTcTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_TC_IN, .analogOutputs = 2, .digitalOutputs = 3, .floatParams = kFloats,
    .longValues = kLongs, .wordValues = kTcWords, .texts = kTcTexts,
    .workWords = kTwoChannelWords});
constexpr FbTemplate kRTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_R_IN, .analogOutputs = 2, .digitalOutputs = 9, .analogInputs = 2,
    .digitalInputs = 2, .floatParams = kFloats, .longValues = kRLongs, .wordValues = kRWords,
    .texts = kRTexts, .workWords = kTwoChannelWords + kPageWords});
constexpr FbTemplate kUTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_U_IN, .analogOutputs = 2, .digitalOutputs = 3, .floatParams = kFloats,
    .longValues = kULongs, .wordValues = kUWords, .texts = kUTexts,
    .workWords = kTwoChannelWords});
constexpr FbTemplate kFTemplate = FB_SizedTemplate({
    .type = BLK_TYPE_F_INP, .analogOutputs = 2, .digitalOutputs = 6, .digitalInputs = 4,
    .longValues = kFLongs, .wordValues = kFWords, .texts = kFTexts});

constexpr FwFloatLimit kValue{.min = -29999.0f, .max = 999999.0f, .attribute = 1};
constexpr FwFloatLimit kTfm{.min = 0.0f, .max = 999999.0f, .attribute = 1};
constexpr FwFloatLimit kTkref{.min = 0.0f, .max = 140.0f, .attribute = 1};
constexpr FwFloatLimit kFloatLimits[] = {kValue, kValue, kValue, kValue,
                                         kValue, kValue, kValue, kValue};
constexpr std::span<const FwFloatLimit> kOneFloatLimits{kFloatLimits, 4};
constexpr FwFloatLimit kLongLimits[] = {kValue, kValue, kValue, kTfm, kTkref,
                                        kValue, kValue, kValue, kTfm, kTkref};
constexpr FwFloatLimit kRLongLimits[] = {kValue, kValue, kValue, kTfm, kValue, kValue,
                                         kValue, kValue, kValue, kTfm, kValue, kValue};
constexpr FwFloatLimit kULongLimits[] = {kValue, kValue, kValue, kTfm,
                                         kValue, kValue, kValue, kTfm};
constexpr FwFloatLimit kFLongLimits[] = {{.min = 0.1f, .max = 20.0f, .attribute = 1}};

constexpr FwShortLimit kTyp{.min = FW_LIMIT_DISCRETE, .max = 0, .minFn = previousCode, .maxFn = nextCode};
constexpr FwShortLimit kFail{.min = AIN_FAIL_DISABLED, .max = AIN_FAIL_SUBST};
constexpr FwShortLimit kOnOff{.min = 0, .max = 1};
constexpr FwShortLimit kUnit{.min = 1, .max = 2};
constexpr FwShortLimit kRType{.min = 0, .max = 13};
constexpr FwShortLimit kUType{.min = 0, .max = 1};
constexpr FwShortLimit kWordLimits[] = {kTyp, kFail, kOnOff, kUnit, kUnit,
                                        kTyp, kFail, kOnOff, kUnit, kUnit};
constexpr FwShortLimit kRWordLimits[] = {kRType, kFail, kOnOff, kUnit, kRType,
                                         kFail,  kOnOff, kUnit, {.min = 0, .max = 2}};
constexpr FwShortLimit kUWordLimits[] = {kUType, kFail, kOnOff, kUType, kFail, kOnOff};
constexpr FwShortLimit kFWordLimits[] = {
    {.min = 0, .max = 5},
    {.min = FW_LIMIT_DISCRETE, .max = 0, .minFn = funcBPrevious, .maxFn = funcBNext}};

constexpr FbLimitTable kLimits{.floatParams = kOneFloatLimits,
                               .wordValues = std::span<const FwShortLimit>{kWordLimits, 5},
                               .longValues = std::span<const FwFloatLimit>{kLongLimits, 5}};
constexpr FbLimitTable kShortLimits{.floatParams = kOneFloatLimits,
                                    .wordValues = std::span<const FwShortLimit>{kWordLimits, 3},
                                    .longValues = std::span<const FwFloatLimit>{kLongLimits, 4}};
constexpr FbLimitTable kTcLimits{.floatParams = kFloatLimits, .wordValues = kWordLimits,
                                 .longValues = kLongLimits};
constexpr FbLimitTable kRLimits{.floatParams = kFloatLimits, .wordValues = kRWordLimits,
                                .longValues = kRLongLimits};
constexpr FbLimitTable kULimits{.floatParams = kFloatLimits, .wordValues = kUWordLimits,
                                .longValues = kULongLimits};
constexpr FbLimitTable kFLimits{.wordValues = kFWordLimits, .longValues = kFLongLimits};

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
void FB_TC_IN_Run() { ainRun(kTcIn); }
void FB_TC_IN_Init() { ainInit(kTcIn); }
uint8_t FB_TC_IN_Param(FbParamRequest* r, uint16_t* b) { return ainParam(kTcIn, r, b); }
void FB_R_IN_Run() { ainRun(kRIn); }
void FB_R_IN_Init() { ainInit(kRIn); }
uint8_t FB_R_IN_Param(FbParamRequest* r, uint16_t* b) { return rParam(r, b); }
void FB_U_IN_Run() { ainRun(kUIn); }
void FB_U_IN_Init() { ainInit(kUIn); }
uint8_t FB_U_IN_Param(FbParamRequest* r, uint16_t* b) { return ainParam(kUIn, r, b); }

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

namespace {
uint16_t calFieldKind(uint16_t, uint16_t field) { return field == BLK_CAL_Y ? 2 : 0; }
uint16_t calFieldAccess(uint16_t block, uint16_t field) {
  if (field == BLK_CAL_X0 || field == BLK_CAL_X100) {
    FbLayout L;
    const bool pot = FB_GetLayout(block, &L) && L.wordValues > AIN_WV_TYP &&
                     (L.wv[AIN_WV_TYP] == AIN_POT_TRANS || L.type == BLK_TYPE_R_IN);
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
  FbLayout L;
  if (!k || k->page == CalPage::None || !FB_GetLayout(block, &L)) return nullptr;
  return &pageOf(*k, L);
}

namespace {

// For the plant link: the reading that the input block at `block` turns back into `percent`
// of its range: for a current or voltage type the electrical value (mA or V, flagged "#"),
// for any other type the engineering value x0 + percent x (x100 - x0) / 100 of the block's
// own scaling, less the offset that the 2Pt100 types add after their filter. False without
// an input block there.
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
  const float x0 = IO_Long(L, AIN_LV_X0);
  const float x100 = IO_Long(L, AIN_LV_X100);
  *value = x0 + percent * (x100 - x0) / 100.0f;
  const AinKind* k = kindOfBlock(block);
  if (k && k->offsetCodes && offsetCode(L.wv[AIN_WV_TYP])) {
    const Sub v{*k, L, 0};
    *value -= v.fahrenheit() ? x0 * 1.8f + 32.0f : x0;
  }
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

void BLK_RegisterDualInputTypes() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kTcTemplate, FB_TC_IN_Run, FB_TC_IN_Init, FB_TC_IN_Param, &kTcLimits, 2, kGroupIoFlexInputs}, kCards, 1},
      {{&kRTemplate, FB_R_IN_Run, FB_R_IN_Init, FB_R_IN_Param, &kRLimits, 2, kGroupIoFlexInputs}, kCards, 1},
      {{&kUTemplate, FB_U_IN_Run, FB_U_IN_Init, FB_U_IN_Param, &kULimits, 2, kGroupIoFlexInputs}, kCards, 1},
      {{&kFTemplate, FB_F_INP_Run, FB_F_INP_Init, FB_F_INP_Param, &kFLimits, 2, kGroupIoFlexInputs}, kCards, 1},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}
