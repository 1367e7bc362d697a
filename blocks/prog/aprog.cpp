// APROG, the analog setpoint programmer: the core's cycle with ramps between the segments,
// segment types of APRGD2 chains, the setpoint output and manual operation.
#include <iterator>

#include "blocks/block_family.h"
#include "blocks/prog/aprog_search.h"
#include "blocks/prog/prog.h"
#include "blocks/prog/prog_core.h"
#include "runtime/fb_param.h"
#include "runtime/fw_numeric.h"

namespace {

// ---------------------------------------------------------------------------------------
// Template: 5 analog inputs, 9 digital inputs, 9 analog outputs, 6 digital outputs, floats
// Wp 0, W0, W100; words WMode, PMode, TPrio, Dp, RecMax, SMode; word values PwrUp, PEnd,
// Turbo, FKey; the tag; the state copies, own state and page record in work words.

constexpr float kFloats[] = {0.0f, -29999.0f, 999999.0f};
constexpr uint16_t kWords[] = {0, 1, 0, 3, 99, 0};
constexpr uint16_t kValues[] = {0, 0, 0, 0};
constexpr const char* kTexts[] = {"APROG"};

constexpr uint16_t kAnalogOut = 9, kDigitalOut = 6, kAnalogIn = 5, kDigitalIn = 9;
// Instance word of Dp: header, then the groups before the word parameters, each opened by
// its count (32-bit values two words each, floats with their pending copies).
constexpr uint16_t kWordsAt = FB_HDR_WORDS + (1 + 2 * kAnalogOut) + (1 + kDigitalOut) +
                              (1 + 2 * kAnalogIn) + (1 + 2 * kDigitalIn) +
                              (1 + 4 * std::size(kFloats)) + 1;
constexpr uint16_t kDpWord = kWordsAt + APROG_WP_DP;
// Words of the groups (without work words): as far as the word parameters, then their
// values with pending copies, no long values, word values, one text, no state words, the
// work count and the link.
constexpr uint16_t kGroupWords = kWordsAt + 2 * std::size(kWords) + 1 +
                                 (1 + 2 * std::size(kValues)) + (1 + FB_TEXT_LEN / 2) + 1 +
                                 1 + 2;

constexpr FbTemplate kTemplate{
    .size = kGroupWords + PROG_WORK_WORDS, .type = FB_TYPE_APROG, .analogOutputs = kAnalogOut,
    .digitalOutputs = kDigitalOut, .analogInputs = kAnalogIn, .digitalInputs = kDigitalIn,
    .floatParams = kFloats, .wordParams = kWords, .wordValues = kValues, .texts = kTexts,
    .workWords = PROG_WORK_WORDS};

// ---------------------------------------------------------------------------------------
// Limits. Wp 0, W0 and W100 bound each other by the pending copies, so that a whole set
// can be written consistently.

constexpr float kLowest = -29999.0f, kHighest = 999999.0f;

float pendingFloat(uint16_t block, uint16_t k) {
  FbLayout L;
  return FB_GetLayout(block, &L) && k < L.floatParams ? L.fp[L.floatParams + k].get() : 0.0f;
}
float pendingW0(uint16_t block) { return pendingFloat(block, APROG_FP_W0); }
float pendingW100(uint16_t block) { return pendingFloat(block, APROG_FP_W100); }

constexpr FwFloatLimit kFloatLimits[] = {
    {.min = kLowest, .max = kHighest, .minFn = pendingW0, .maxFn = pendingW100,
     .attribute = kDpWord},
    {.min = kLowest, .max = kHighest, .maxFn = pendingW100, .attribute = kDpWord},
    {.min = kLowest, .max = kHighest, .minFn = pendingW0, .attribute = kDpWord},
};
constexpr FwShortLimit kWordLimits[] = {{0, 1}, {0, 1}, {0, 1}, {0, 3}, {1, 99}, {0, 2}};
constexpr FwShortLimit kValueLimits[] = {{0, 2}, {0, 2}, {0, 1}, {0, 2}};
constexpr FbLimitTable kLimits{
    .wordParams = kWordLimits, .floatParams = kFloatLimits, .wordValues = kValueLimits};

// A whole set's floats {Wp 0, W0, W100}, each checked against the other two of the set.
uint16_t checkFloatSet(uint16_t, const float* v) {
  const float wp0 = v[APROG_FP_WP0], w0 = v[APROG_FP_W0], w100 = v[APROG_FP_W100];
  auto within = [](float x, float lo, float hi) { return x >= lo && x <= hi; };
  if (!within(wp0, w0, w100)) return APROG_FP_WP0 + 1;
  if (!within(w0, kLowest, w100)) return APROG_FP_W0 + 1;
  if (!within(w100, w0, kHighest)) return APROG_FP_W100 + 1;
  return 0;
}

// ---------------------------------------------------------------------------------------
// Steps of the analog programmer

float w0(const ProgCycle& c) { return c.L.fp[APROG_FP_W0]; }
float w100(const ProgCycle& c) { return c.L.fp[APROG_FP_W100]; }

// Wp: the manual value while manual operation is on, else the profile setpoint; held to
// [W0, W100] either way.
void outputs(ProgCycle& c) {
  FbF32& wp = c.ao(APROG_AO_WP);
  if (!c.dout(APROG_DO_MANUAL)) wp = c.s->setpoint;
  const float x = wp;
  if (!(x >= w0(c))) {
    wp = w0(c);
  } else if (x > w100(c)) {
    wp = w100(c);
  }
}

uint8_t setManualValue(ProgCycle& c, float value) {
  if (!(value >= w0(c) && value <= w100(c))) return FB_ERR_LIMITS;
  c.ao(APROG_AO_WP) = value;
  return FB_OK;
}

// Requests of APROG beyond the shared ones.
uint8_t param(ProgCycle& c, FbParamRequest* r, bool* handled) {
  *handled = true;
  switch (r->id()) {
    case -1: return PROG_ReadManualHalt(c, r);
    case 502: {
      if (c.diConnected(APROG_DI_SEARCH)) return FB_ERR_NOT_NOW;
      const uint16_t v = r->u16(FB_REQUEST_VALUE);
      if (v > 1) return FB_ERR_LIMITS;
      c.own->pageSearch = v;
      return FB_OK;
    }
    case -502:
      r->setU16(FB_REQUEST_VALUE, c.own->pageSearch);
      return FB_OK;
    default:
      *handled = false;
      return FB_ERR_UNKNOWN_ID;
  }
}

// The setpoint fields; the range is the slave's while an analog slave is shown with this
// programmer.
void publish(ProgCycle& c) {
  ProgPage& p = c.w->page;
  p.manualValue = c.ao(APROG_AO_WP).get();
  p.output = c.ao(APROG_AO_WP).get();
  float lo = w0(c), hi = w100(c);
  PROG_AnalogSlaveRange(c, &lo, &hi);
  p.w0 = lo;
  p.w100 = hi;
  p.dp = c.L.wp[APROG_WP_DP];
}

constexpr ProgReadId kReadIds[] = {
    {-2, APROG_AO_PROGNO}, {-3, APROG_AO_TNETTO}, {-4, APROG_AO_TBRUTT}, {-5, APROG_AO_WP},
    {-305, APROG_AO_WP},   {-6, APROG_AO_TREST},  {-7, APROG_AO_WEND},   {-8, APROG_AO_SEGNO},
    {-11, APROG_AO_SEGRES},
};

constexpr ProgVariant kAprog{
    .type = FB_TYPE_APROG,
    .tmpl = &kTemplate,
    .limits = &kLimits,
    .weight = 33,
    .dataTypes = {FB_TYPE_APROGD, FB_TYPE_APRGD2},
    .io = {.aiPSet = APROG_AI_PSET, .aiDBlock = APROG_AI_DBLOCK, .aiProgNo = APROG_AI_PROGNO,
           .aiXVal = APROG_AI_XVAL, .aiSlavNo = APROG_AI_SLAVNO,
           .diHide = APROG_DI_HIDE, .diLock = APROG_DI_LOCK, .diRun = APROG_DI_RUN,
           .diReset = APROG_DI_RESET, .diPreset = APROG_DI_PRESET, .diSearch = APROG_DI_SEARCH,
           .diPShow = APROG_DI_PSHOW, .diHalt = APROG_DI_HALT, .diManfree = APROG_DI_MANFREE,
           .aoWp = APROG_AO_WP, .aoTNetto = APROG_AO_TNETTO, .aoTBrutt = APROG_AO_TBRUTT,
           .aoTRest = APROG_AO_TREST, .aoSegNo = APROG_AO_SEGNO, .aoWEnd = APROG_AO_WEND,
           .aoProgNo = APROG_AO_PROGNO, .aoSegRes = APROG_AO_SEGRES, .aoBlNo = APROG_AO_BLNO,
           .doRun = APROG_DO_RUN, .doReset = APROG_DO_RESET, .doEnd = APROG_DO_END,
           .doFkey = APROG_DO_FKEY, .doPreset = APROG_DO_PRESET, .doManual = APROG_DO_MANUAL,
           .wpWMode = APROG_WP_WMODE, .wpPMode = APROG_WP_PMODE, .wpRecMax = APROG_WP_RECMAX,
           .wpDp = APROG_WP_DP, .wpSMode = APROG_WP_SMODE},
    .ramps = true,
    .readIds = kReadIds,
    .readIdCount = static_cast<uint16_t>(std::size(kReadIds)),
    .outputs = outputs,
    .setManualValue = setManualValue,
    .checkFloatSet = checkFloatSet,
    .param = param,
    .presetDue = PROG_PresetDue,
    .searchDue = APROG_SearchDue,
    .preset = PROG_Preset,
    .search = APROG_Search,
    .startSearch = APROG_StartSearch,
    .powerUp = PROG_PowerUp,
    .programNumber = nullptr,  // the core's: the input while it names the program
    .publish = publish,
};

}  // namespace

const ProgVariant& PROG_AprogVariant() { return kAprog; }
