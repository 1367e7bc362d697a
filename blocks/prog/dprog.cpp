// DPROG, the digital programmer: the core's cycle without ramps, segment types and search.
// Each segment holds a switching pattern whose six lowest decimal digits switch the
// outputs do1 .. do6; manual operation puts a manual pattern over the program's.
#include <iterator>

#include "blocks/block_family.h"
#include "blocks/prog/prog.h"
#include "blocks/prog/prog_core.h"
#include "runtime/fb_param.h"
#include "runtime/fw_numeric.h"

namespace {

// ---------------------------------------------------------------------------------------
// Template: 4 analog inputs, 8 digital inputs, 7 analog outputs, 12 digital outputs, float
// D 0; words PMode, RecMax; word values PwrUp, PEnd, Turbo, FKey; the tag; the state
// copies, own state and page record in work words.

constexpr float kFloats[] = {0.0f};
constexpr uint16_t kWords[] = {PROG_PMODE_TIME, 99};
constexpr uint16_t kValues[] = {PROG_PWRUP_CONT_PROG, PROG_PEND_STOP, 0, PROG_FKEY_SWITCH};
constexpr const char* kTexts[] = {"DPROG"};

constexpr FbTemplate kTemplate = FB_SizedTemplate({
    .type = FB_TYPE_DPROG, .analogOutputs = 7, .digitalOutputs = 12, .analogInputs = 4,
    .digitalInputs = 8, .floatParams = kFloats, .wordParams = kWords, .wordValues = kValues,
    .texts = kTexts, .workWords = PROG_WORK_WORDS});

// ---------------------------------------------------------------------------------------
// Limits. "PwrUp" is the two-value set {0 "Cont.Prog", 2 "Cont.Time"}: continuing by
// segment would need the search, which this programmer does not have.

int16_t pwrUpLow(uint16_t, int16_t) { return PROG_PWRUP_CONT_PROG; }
int16_t pwrUpHigh(uint16_t, int16_t) { return PROG_PWRUP_CONT_TIME; }

constexpr FwFloatLimit kFloatLimits[] = {PROG_PATTERN_LIMIT};
constexpr FwShortLimit kWordLimits[] = {{0, 1}, {1, 99}};
constexpr FwShortLimit kValueLimits[] = {
    {.min = FW_LIMIT_DISCRETE, .max = PROG_PWRUP_CONT_TIME, .minFn = pwrUpLow,
     .maxFn = pwrUpHigh},
    {0, 2}, {0, 1}, {0, 2}};
constexpr FbLimitTable kLimits{
    .wordParams = kWordLimits, .floatParams = kFloatLimits, .wordValues = kValueLimits};

// ---------------------------------------------------------------------------------------
// Steps of the digital programmer

// The pattern in effect: the manual pattern while manual operation is on, else the
// program's (D 0 while reset, the current segment's while it runs).
float pattern(const ProgCycle& c) {
  return c.doutValue(DPROG_DO_MANUAL) ? c.own->manualValue.get() : c.s->setpoint.get();
}

// Bit k for do(k+1): the pattern truncated to a whole number (saturating, NaN and negative
// values 0), its six lowest decimal digits, a digit above 1 counting as 1.
uint8_t patternBits(float value) {
  uint32_t n = FW_FloatToU32(value);
  uint8_t bits = 0;
  for (uint8_t k = 0; k < DPROG_TRACKS; ++k, n /= 10) {
    if (n % 10 != 0) bits = static_cast<uint8_t>(bits | (1u << k));
  }
  return bits;
}

void outputs(ProgCycle& c) {
  const uint8_t bits = patternBits(pattern(c));
  for (uint8_t k = 0; k < DPROG_TRACKS; ++k) c.dout(DPROG_DO_1 + k) = (bits >> k) & 1u;
}

uint8_t trackBits(const ProgCycle& c) {
  uint8_t bits = 0;
  for (uint8_t k = 0; k < DPROG_TRACKS; ++k) {
    if (c.doutValue(DPROG_DO_1 + k)) bits = static_cast<uint8_t>(bits | (1u << k));
  }
  return bits;
}

uint8_t setManualValue(ProgCycle& c, float value) {
  if (!FW_CheckFloatLimit(value, &PROG_PATTERN_LIMIT, c.L.block)) return FB_ERR_LIMITS;
  c.own->manualValue = value;
  return FB_OK;
}

// Requests of DPROG beyond the shared ones.
uint8_t param(ProgCycle& c, FbParamRequest* r, bool* handled) {
  *handled = true;
  switch (r->id()) {
    case -1:
      r->setU8(FB_REQUEST_VALUE, trackBits(c));
      return FB_OK;
    case -9: return PROG_ReadManualHalt(c, r);
    case -305:
      r->setF32(FB_REQUEST_VALUE, pattern(c));
      return FB_OK;
    default:
      *handled = false;
      return FB_ERR_UNKNOWN_ID;
  }
}

// The pattern fields; a shown analog slave brings its setpoint range.
void publish(ProgCycle& c) {
  ProgPage& p = c.w->page;
  p.manualValue = c.own->manualValue;
  p.output = pattern(c);
  float lo = 0.0f, hi = 0.0f;
  PROG_AnalogSlaveRange(c, &lo, &hi);
  p.w0 = lo;
  p.w100 = hi;
}

constexpr ProgReadId kReadIds[] = {
    {-2, DPROG_AO_PROGNO}, {-3, DPROG_AO_TNETTO}, {-4, DPROG_AO_TBRUTT},
    {-6, DPROG_AO_TREST},  {-8, DPROG_AO_SEGNO},  {-11, DPROG_AO_SEGRES},
};

constexpr ProgVariant kDprog{
    .type = FB_TYPE_DPROG,
    .tmpl = &kTemplate,
    .limits = &kLimits,
    .weight = 28,
    .dataTypes = {FB_TYPE_DPROGD, 0},
    .io = {.aiPSet = DPROG_AI_PSET, .aiDBlock = DPROG_AI_DBLOCK, .aiProgNo = DPROG_AI_PROGNO,
           .aiXVal = PROG_NONE, .aiSlavNo = DPROG_AI_SLAVNO,
           .diHide = DPROG_DI_HIDE, .diLock = DPROG_DI_LOCK, .diRun = DPROG_DI_RUN,
           .diReset = DPROG_DI_RESET, .diPreset = DPROG_DI_PRESET, .diSearch = PROG_NONE,
           .diPShow = DPROG_DI_PSHOW, .diHalt = DPROG_DI_HALT, .diManfree = DPROG_DI_MANFREE,
           .aoWp = PROG_NONE, .aoTNetto = DPROG_AO_TNETTO, .aoTBrutt = DPROG_AO_TBRUTT,
           .aoTRest = DPROG_AO_TREST, .aoSegNo = DPROG_AO_SEGNO, .aoWEnd = PROG_NONE,
           .aoProgNo = DPROG_AO_PROGNO, .aoSegRes = DPROG_AO_SEGRES, .aoBlNo = DPROG_AO_BLNO,
           .doRun = DPROG_DO_RUN, .doReset = DPROG_DO_RESET, .doEnd = DPROG_DO_END,
           .doFkey = DPROG_DO_FKEY, .doPreset = DPROG_DO_PRESET, .doManual = DPROG_DO_MANUAL,
           .wpWMode = PROG_NONE, .wpPMode = DPROG_WP_PMODE, .wpRecMax = DPROG_WP_RECMAX,
           .wpDp = PROG_NONE, .wpSMode = PROG_NONE},
    .ramps = false,
    .readIds = kReadIds,
    .readIdCount = static_cast<uint16_t>(std::size(kReadIds)),
    .outputs = outputs,
    .setManualValue = setManualValue,
    .checkFloatSet = nullptr,  // D 0 by its limit record
    .param = param,
    .presetDue = PROG_PresetDue,
    .searchDue = nullptr,
    .preset = PROG_Preset,
    .search = nullptr,
    .startSearch = nullptr,
    .powerUp = PROG_PowerUp,
    .programNumber = nullptr,
    .publish = publish,
};

}  // namespace

const ProgVariant& PROG_DprogVariant() { return kDprog; }
