// Controller blocks: the block state, init and run of CONTR, CONTR+ and PIDMA, the cascade
// link, the setpoint choices and the display record of the operating page.
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "blocks/ctrl/ctrl.h"
#include "blocks/ctrl/ctrl_blocks.h"
#include "blocks/ctrl/ctrl_ext.h"
#include "runtime/fb_blockdata.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_image.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr uint32_t kMagic = 0x4C525443u;  // "CTRL"
constexpr size_t kAlign = alignof(CtrlBlockState);
static_assert(kAlign <= 8, "the instance heap is aligned to 8 bytes");
constexpr uint32_t kStateWords = CTRL_WORK_WORDS;
constexpr uint16_t kSaveStateWords = 21;
static_assert(CTRL_PAGE_SETS == CTRL_PARAM_SETS && CTRL_TUNE_TEXT_RESULT == CTRL_EXT_TEXT_RESULT &&
              CTRL_TUNE_RESULT_RUNNING == CTRL_EXT_CODE_RUNNING);

constexpr uint16_t kCascadeFlags = CTRL_FLAG_SLAVE | CTRL_FLAG_SLAVE_OWN | CTRL_FLAG_SLAVE_FOLLOWS |
                                   CTRL_FLAG_CASCADE_ERROR | CTRL_FLAG_MASTER | CTRL_FLAG_BLOCK_ALL;
constexpr uint16_t kChoiceFlags[5] = {0, CTRL_FLAG_CHOICE1, CTRL_FLAG_CHOICE2, CTRL_FLAG_CHOICE3,
                                      CTRL_FLAG_CHOICE4};
constexpr uint16_t kAllChoiceFlags =
    CTRL_FLAG_CHOICE1 | CTRL_FLAG_CHOICE2 | CTRL_FLAG_CHOICE3 | CTRL_FLAG_CHOICE4;
constexpr uint16_t kDisplayRequests = CTRL_FLAG_SHOW_DEVIATION | CTRL_FLAG_SHOW_PROCESS;

// The first 8-byte boundary of the work words.
CtrlBlockState* stateAddress(const FbLayout& L) {
  const auto at = reinterpret_cast<uintptr_t>(L.work);
  return reinterpret_cast<CtrlBlockState*>((at + kAlign - 1) & ~uintptr_t{kAlign - 1});
}

// PIDMA's extension record, behind the block state; null for the other types and for an
// instance too small to hold it.
CtrlExtension* extensionOf(const FbLayout& L, const CtrlTypeDesc& d) {
  if (!d.pidma || L.workWords < CTRL_PIDMA_WORK_WORDS) return nullptr;
  return reinterpret_cast<CtrlExtension*>(reinterpret_cast<char*>(stateAddress(L)) + CTRL_EXT_OFFSET);
}

// The limits of the values the extension adopts, from the type's limit records.
void setAdoptionLimits(const FbLayout& L, const CtrlTypeDesc& d, CtrlExtension& x) {
  // Kp, Tn, Tv, VD, bW_p, cW_d within the extension's set.
  static constexpr uint8_t kInSet[CTRL_ADOPT_COUNT] = {0, 1, 2, 5, 6, 7};
  const FbTypeRecord* t = FB_GetType(L.type);
  const FbLimitTable* limits = t ? t->limits : nullptr;
  for (int i = 0; i < CTRL_ADOPT_COUNT; ++i) {
    const size_t k = d.firstSetFloat + kInSet[i];
    if (!limits || k >= limits->floatParams.size()) continue;
    const FwFloatLimit& r = limits->floatParams[k];
    x.adoptMin[i] = r.minFn ? r.minFn(L.block) : r.min;
    x.adoptMax[i] = r.maxFn ? r.maxFn(L.block) : r.max;
  }
}

// A fresh state: value-initialised records, the retained record from the state words.
void buildState(const FbLayout& L, CtrlBlockState* s) {
  new (s) CtrlBlockState{};
  CTRL_RetainedFromWords(L.state, s->retained);
  s->magic = kMagic;
}

uint8_t toByte(uint16_t v) { return v > 0xFF ? uint8_t{0xFF} : static_cast<uint8_t>(v); }

bool analogWired(const FbLayout& L, uint8_t i) { return i != CTRL_NONE && L.ai[i].get() != FB_REF_ZERO; }
float analogIn(const FbLayout& L, uint8_t i) { return FW_ClampValue(FB_ReadAnalogRef(L.ai[i])); }

// The values the block shows, kept finite and within the device's range.
void setAnalogOut(const FbLayout& L, uint8_t i, float v) { L.ao[i] = FW_ClampValue(v); }

uint16_t wBlock(const FbLayout& L, const CtrlTypeDesc& d) { return L.wp[d.wpWBlock]; }
uint8_t decimals(const FbLayout& L, const CtrlTypeDesc& d) {
  return toByte(CTRL_Wv(L, d, CTRL_WV_XDP));
}
uint8_t function(const FbLayout& L, const CtrlTypeDesc& d) {
  return CTRL_ContrFunction(d, CTRL_Wv(L, d, CTRL_WV_CFUNC));
}
bool isStepping(uint8_t f) { return f == CTRL_KIND_STEPPING || f == CTRL_KIND_STEPPING_YP; }

CtrlTriple triple(float value, float low, float high, uint8_t dec, uint8_t kind) {
  return {.value = value, .low = low, .high = high, .decimals = dec, .kind = kind};
}

// ---------------------------------------------------------------------------------------
// Display record.

void setDisplayMode(const FbLayout& L, const CtrlTypeDesc& d, CtrlBlockState& s, uint16_t mode) {
  CtrlDisplay& p = s.display;
  switch (mode) {
    case 1:
      p.mode = CTRL_DISPLAY_DEVIATION;
      p.low = -10;
      p.high = 10;
      p.scaleLow = -29999;
      p.scaleHigh = 999999;
      p.decimals = decimals(L, d);
      break;
    case 2:
      p.mode = CTRL_DISPLAY_PROCESS;
      p.low = p.scaleLow = CTRL_Lv(L, CTRL_LV_XN0);
      p.high = p.scaleHigh = CTRL_Lv(L, CTRL_LV_XN100);
      p.decimals = decimals(L, d);
      break;
    default:
      p.mode = CTRL_DISPLAY_OUTPUT;
      p.low = p.scaleLow = CTRL_FunctionRow(function(L, d)).twoSided ? -100.0f : 0.0f;
      p.high = p.scaleHigh = 100;
      p.decimals = 1;
      break;
  }
  p.value[0] = p.value[1] = 0;
  p.edit = 0;
  p.step = 3;
  s.link.updated = 1;   // the pages show the new display
}

// The self-tuning's state as the page shows it, and its second flag: the process value
// lies too far from the setpoint for the cooling step.
uint8_t optimisationState(const CtrlWork& w) { return w.opt.stage; }
bool secondOptimisationFlag(const CtrlWork& w) { return w.opt.largeDev != 0; }

void copyTuningResults(CtrlBlockState& s) {
  CtrlDisplay& p = s.display;
  const CtrlRetained& r = s.retained;
  p.optResult[0] = r.optResultHeat;
  p.optResult[1] = r.optResultCool;
  p.tu[0] = r.tuHeat;
  p.tu[1] = r.tuCool;
  p.vmax[0] = r.vmaxHeat;
  p.vmax[1] = r.vmaxCool;
}

// Publishes into the display records what the pages show of the block's own state: the
// parameter sets and, for a PIDMA, its adaptation's status and proposal.
void publishPage(CtrlBlockState& s) {
  CtrlPageLink& k = s.link;
  CtrlDisplay& p = s.display;
  k.activeSet = s.out.activeSet;
  k.optimisedSet = s.params.pOpt;
  k.setFromInput = s.parNoWired;
  if (const CtrlExtension* x = CTRL_Extension(s.work)) {
    p.tuneText = x->statusText;
    p.tuneResult = x->statusCode;
    p.tuneTime = x->statusTime;
    for (int i = 0; i < 3; ++i) p.proposal[i] = x->shown[CTRL_ADOPT_KP + i];
  }
}

// ---------------------------------------------------------------------------------------
// Setpoint choices.

void setpointChoices(const FbLayout& L, const CtrlTypeDesc& d, CtrlBlockState& s, uint8_t f[5]) {
  const uint16_t wb = wBlock(L, d);
  f[0] = 1;
  f[1] = f[2] = f[3] = f[4] = 0;
  if (CTRL_Wv(L, d, CTRL_WV_SPFUNC) == CTRL_SP_CASCADE && wb != CTRL_WBLOCK_WE) {
    f[s.in.internalCmd ? 1 : 2] = 1;
  }
  if (wb != CTRL_WBLOCK_W2) f[s.in.w2Cmd ? 4 : 3] = 1;
  uint16_t& flags = s.link.flags;
  if (flags & CTRL_FLAG_SLAVE) f[1] = f[2] = 0;
  if (flags & CTRL_FLAG_SLAVE_FOLLOWS) {
    const CtrlBlockState* m = CTRL_StateAt(s.master);
    const uint16_t mf = m ? m->link.flags : 0;
    for (int i = 1; i <= 4; ++i) f[i] = (mf & kChoiceFlags[i]) ? 1 : 0;
  }
  flags &= static_cast<uint16_t>(~kAllChoiceFlags);
  for (int i = 1; i <= 4; ++i) {
    if (f[i]) flags |= kChoiceFlags[i];
  }
}

// The choices of a block for the stepping functions; false for a block that is no
// controller.
bool choicesOf(uint16_t block, uint8_t f[5]) {
  FbLayout L;
  const CtrlTypeDesc* d = FB_GetLayout(block, &L) ? CTRL_DescOf(L.type) : nullptr;
  CtrlBlockState* s = d ? CTRL_LayoutState(L) : nullptr;
  if (!s) return false;
  setpointChoices(L, *d, *s, f);
  return true;
}

uint16_t zeroToOne(uint16_t v) { return v == 0 ? 1 : v; }
uint16_t oneToZero(uint16_t v) { return v == 1 ? 0 : v; }

void storeOptCode(uint16_t block, uint8_t code) {
  if (CtrlBlockState* s = CTRL_StateOf(block)) s->link.optCode = code;
}
void optCodeA(uint16_t block, uint16_t page) {
  storeOptCode(block, page == 0 || page == 7 ? CTRL_OPT_START : CTRL_OPT_STOP);
}
void optCodeB(uint16_t block, uint16_t page) {
  storeOptCode(block, page >= 1 && page <= 6 ? CTRL_OPT_STOP : CTRL_OPT_START);
}

// ---------------------------------------------------------------------------------------
// Init.

void findCascadeMaster(const FbLayout& L, const CtrlTypeDesc& d, CtrlBlockState& s) {
  s.link.flags &= static_cast<uint16_t>(~kCascadeFlags);
  s.master = 0;
  uint16_t source = 0, output = 0;
  const uint16_t type = FB_GetInputSource(L.block, d.aiCasc + 1, &source, &output);
  if (source == 0) return;
  const CtrlTypeDesc* md = CTRL_DescOf(type);
  CtrlBlockState* m = md && output == md->aoBlNo + 1u ? CTRL_StateOf(source) : nullptr;
  if (!m) {
    s.link.flags |= CTRL_FLAG_CASCADE_ERROR;
    return;
  }
  s.link.flags |= CTRL_FLAG_SLAVE;
  s.master = CTRL_StateHandle(m);
}

// `COVC` reduced to the override inputs that are wired.
void reduceOverride(const FbLayout& L, const CtrlTypeDesc& d) {
  if (d.wv[CTRL_WV_COVC] == CTRL_NONE) return;
  uint16_t ovc = CTRL_Wv(L, d, CTRL_WV_COVC);
  const bool plus = analogWired(L, CTRL_AI_OVCP), minus = analogWired(L, CTRL_AI_OVCM);
  if (isStepping(function(L, d))) {
    if (ovc > CTRL_OVC_MINUS) ovc = CTRL_OVC_OFF;
  } else if (ovc == CTRL_OVC_PLUS && !plus) {
    ovc = CTRL_OVC_OFF;
  } else if (ovc == CTRL_OVC_MINUS && !minus) {
    ovc = CTRL_OVC_OFF;
  } else if (ovc == CTRL_OVC_BOTH && !(plus && minus)) {
    ovc = plus ? CTRL_OVC_PLUS : minus ? CTRL_OVC_MINUS : CTRL_OVC_OFF;
  }
  L.wv[d.wv[CTRL_WV_COVC]] = L.wv[d.wv[CTRL_WV_COVC] + L.wordValues] = ovc;
}

void packConfig(const FbLayout& L, const CtrlTypeDesc& d, CtrlBlockState& s) {
  auto nibble = [&](CtrlWv i) { return static_cast<uint8_t>(CTRL_Wv(L, d, i) & 15); };
  CtrlConfigFields f;
  f.spFunc = nibble(CTRL_WV_SPFUNC);
  f.cType = nibble(CTRL_WV_CTYPE);
  const uint8_t fn = function(L, d);
  f.kind = static_cast<uint8_t>(fn < 10 ? fn : fn + 6);  // the core's output kind
  f.failReaction = nibble(CTRL_WV_CFAIL);
  f.dOnX = nibble(CTRL_WV_CDIFF);
  f.direct = nibble(CTRL_WV_CMODE);
  f.ovc = nibble(CTRL_WV_COVC);
  f.track = nibble(CTRL_WV_WTRAC);
  f.ratio = nibble(CTRL_WV_RATIO);
  f.xdp = nibble(CTRL_WV_XDP);
  f.oCond = nibble(CTRL_WV_OCOND);
  f.oMode = nibble(CTRL_WV_OMODE);
  if (d.sets > 1) f.setSelect = s.parNoWired ? CTRL_SET_BY_VALUE : CTRL_SET_BY_SWITCH;
  CTRL_PackConfig(f, s.config);
  s.config.xn0 = CTRL_Lv(L, CTRL_LV_XN0);
  s.config.xn100 = CTRL_Lv(L, CTRL_LV_XN100);
  s.config.sFac = CTRL_Lv(L, CTRL_LV_SFAC);
}

// A pulse time below its minimum is raised to it, in the current and the pending copy.
void raiseTo(const FbLayout& L, uint16_t k, float minimum) {
  for (uint16_t at : {k, static_cast<uint16_t>(k + L.floatParams)}) {
    if (L.fp[at].get() < minimum) L.fp[at] = minimum;
  }
}

// Parameter preparation: the minimum pulse times follow dt, then the parameters go into
// CtrlParams (at start-up and whenever the run took changed parameters over).
void prepareParams(const FbLayout& L, const CtrlTypeDesc& d, CtrlBlockState& s) {
  const float dt = s.work.dt;
  CtrlParams& p = s.params;
  auto fp = [&](uint16_t k) { return CTRL_Fp(L, k); };
  auto shared = [&](CtrlFp k) { return fp(d.fp[k]); };
  raiseTo(L, d.fp[CTRL_FP_TPULS], dt);
  p.n0 = shared(CTRL_FP_N0);
  p.a = shared(CTRL_FP_A);
  p.w0 = shared(CTRL_FP_W0);
  p.w100 = shared(CTRL_FP_W100);
  p.w2 = shared(CTRL_FP_W2);
  p.grwUp = shared(CTRL_FP_GRW_UP);
  p.grwDown = shared(CTRL_FP_GRW_DOWN);
  p.grw2 = shared(CTRL_FP_GRW2);
  p.tpuls = shared(CTRL_FP_TPULS);
  p.tm = shared(CTRL_FP_TM);
  p.y2 = shared(CTRL_FP_Y2);
  p.ymin = shared(CTRL_FP_YMIN);
  p.ymax = shared(CTRL_FP_YMAX);
  p.y0 = shared(CTRL_FP_Y0);
  p.dYopt = shared(CTRL_FP_DYOPT);
  if (d.pidma) {
    // Tp1 (24) and Tp2 (25) of the extension's set; the set is Kp .. Xsh (21..30).
    raiseTo(L, 24, 4 * dt);
    raiseTo(L, 25, 4 * dt);
    p.yOptm = fp(8);    // Tpause
    p.xsd1 = fp(18);    // Xlimit
    p.lw = fp(19);      // Tdrift
    p.xsd2 = fp(20);    // Tnoise
    p.xsh1 = fp(11);    // thron
    p.xsh2 = fp(12);    // throff
    CtrlParamSet& set = p.sets[0];
    float* to[10] = {&set.xp1, &set.xp2, &set.tn, &set.tv, &set.tp1,
                     &set.tp2, &set.opt[0], &set.opt[1], &set.opt[2], &set.opt[3]};
    for (uint16_t i = 0; i < 10; ++i) *to[i] = fp(static_cast<uint16_t>(d.firstSetFloat + i));
    p.pOpt = 0;
    if (CtrlExtension* x = extensionOf(L, d)) {
      // PType, Drift, CSpeed.
      x->ptypeWord = static_cast<int16_t>(L.wp[0]);
      x->driftWord = L.wp[1];
      x->cspeedWord = static_cast<int16_t>(L.wp[2]);
    }
    return;
  }
  p.xsh = fp(8);
  p.xsd1 = fp(11);
  p.lw = fp(12);
  p.xsd2 = fp(13);
  p.xsh1 = fp(14);
  p.xsh2 = fp(15);
  p.yOptm = fp(20);
  for (uint8_t n = 0; n < d.sets; ++n) {
    const auto k = static_cast<uint16_t>(d.firstSetFloat + 6 * n);
    raiseTo(L, static_cast<uint16_t>(k + 4), 4 * dt);
    raiseTo(L, static_cast<uint16_t>(k + 5), 4 * dt);
    CtrlParamSet& set = p.sets[n];
    set.xp1 = fp(k);
    set.xp2 = fp(k + 1);
    set.tn = fp(k + 2);
    set.tv = fp(k + 3);
    set.tp1 = fp(k + 4);
    set.tp2 = fp(k + 5);
  }
  // The set the self-tuning optimises: `POpt` counts from 1, the core's sets from 0.
  const int popt = d.wpPOpt == CTRL_NONE ? 1 : L.wp[d.wpPOpt];
  p.pOpt = static_cast<uint8_t>(popt < 1 ? 0 : popt > CTRL_PARAM_SETS ? CTRL_PARAM_SETS - 1 : popt - 1);
}

void setupPageRecords(const FbLayout& L, const CtrlTypeDesc& d, CtrlBlockState& s) {
  CtrlPageLink& k = s.link;
  const uint8_t dec = decimals(L, d);
  const float xn0 = CTRL_Lv(L, CTRL_LV_XN0), xn100 = CTRL_Lv(L, CTRL_LV_XN100);
  const float w0 = CTRL_Fp(L, d.fp[CTRL_FP_W0]), w100 = CTRL_Fp(L, d.fp[CTRL_FP_W100]);
  k.hide = toByte(CTRL_ReadDi(L, d, CTRL_DI_HIDE));
  k.lock = toByte(CTRL_ReadDi(L, d, CTRL_DI_LOCK));
  k.manualCmd = s.retained.manualCmd;
  k.type = d.type;
  std::memcpy(k.title, L.text, FB_TEXT_LEN);
  std::memcpy(k.xUnit, L.text + FB_TEXT_LEN, FB_TEXT_LEN);
  k.x = triple(0, xn0, xn100, dec, 1);
  k.w = triple(0, xn0, xn100, dec, 1);
  k.setpoint = triple(0, w0, w100, dec, 0);
  CtrlDisplay& p = s.display;
  p.y = triple(0, CTRL_FunctionRow(function(L, d)).twoSided ? -100.0f : 0.0f, 100, 1, 0);
  setDisplayMode(L, d, s, CTRL_Wv(L, d, CTRL_WV_DISP));
  s.setpointChoice = CtrlSetpointChoice{.prev = CTRL_FN_PREV_SETPOINT_CHOICE,
                                        .next = CTRL_FN_NEXT_SETPOINT_CHOICE,
                                        .first = 1,
                                        .second = 1,
                                        .toPage = CTRL_FN_ZERO_TO_ONE,
                                        .fromPage = CTRL_FN_ONE_TO_ZERO,
                                        .edit = 2};
  s.optChoice = CtrlOptChoice{.first = CTRL_FN_OPT_CODE_A, .second = CTRL_FN_OPT_CODE_B};
  copyTuningResults(s);
}

// Work words a type needs.
uint32_t workWordsOf(const CtrlTypeDesc& d) { return d.pidma ? CTRL_PIDMA_WORK_WORDS : kStateWords; }

void ctrlInit(const CtrlTypeDesc& d) {
  FbLayout L;
  if (!FB_CurrentLayout(&L) || L.workWords < workWordsOf(d) || L.stateWords < kSaveStateWords) {
    return;
  }
  CtrlBlockState* sp = stateAddress(L);
  // A cold start value-initialises the records; a warm start keeps them (W, the output
  // stage) and recomputes what derives from the parameters.
  if (!g_fwEng.warmStart || sp->magic != kMagic) buildState(L, sp);
  CtrlBlockState& s = *sp;
  // Nothing of the extension survives a restart but the parameters the block saved.
  CtrlExtension* ext = extensionOf(L, d);
  if (ext) {
    new (ext) CtrlExtension{};
    setAdoptionLimits(L, d, *ext);
  }

  // Configuration written while the device ran takes effect now.
  for (uint16_t i = 0; i < L.wordValues; ++i) L.wv[i] = L.wv[i + L.wordValues];
  for (uint16_t i = 0; i < L.longValues; ++i) L.lv[i] = L.lv[i + L.longValues].get();
  // The page record and the block's cycle time.
  g_fbStore.list[L.block].pageData = &s.link;
  s.work.dt = FB_BlockCycleTime(L.block);
  s.work.warmStart = g_fwEng.warmStart ? 1 : 0;
  s.parNoWired = analogWired(L, d.aiParNo);
  // The override limits and the packed configuration.
  reduceOverride(L, d);
  packConfig(L, d, s);
  // The page records.
  setupPageRecords(L, d, s);
  // The hand command and the parameter set from the retained state.
  s.in.manualCmd = s.manualCopy = s.retained.manualCmd;
  s.in.paramSetSelect = s.in.paramSetNumber = 0;
  if (d.sets > 1) {
    // Without `ParNo` the set follows the retained number (and id 318).
    if (s.retained.paramSet >= d.sets) s.retained.paramSet = 0;
    s.in.paramSetSelect = s.retained.paramSet;
  } else {
    s.retained.paramSet = 0;
  }
  s.changes = CtrlChanges{};
  s.holdInternal = !analogWired(L, CTRL_AI_WEXT) && !CTRL_DiWired(L, d, CTRL_DI_WEWI);
  if (s.holdInternal) s.in.dInternal = 1;
  s.work.x3Wired = analogWired(L, CTRL_AI_X3);
  // Every digital output starts cleared.
  for (CtrlDo o : {CTRL_DO_Y1, CTRL_DO_Y2, CTRL_DO_CFAIL, CTRL_DO_OFF, CTRL_DO_AM, CTRL_DO_YY2,
                   CTRL_DO_PIP, CTRL_DO_ORUN, CTRL_DO_OSTAB, CTRL_DO_OERR, CTRL_DO_XWSUP}) {
    CTRL_WriteDo(L, d, o, 0);
  }
  CTRL_WriteDo(L, d, CTRL_DO_WEWI, 1);
  for (uint8_t i = 0; i < CTRL_AO_SHARED; ++i) L.ao[i] = 0.0f;
  if (d.aoParNo != CTRL_NONE) L.ao[d.aoParNo] = 0.0f;
  L.ao[d.aoBlNo] = static_cast<float>(L.block);
  // The cascade master, the parameters, the first run.
  findCascadeMaster(L, d, s);
  prepareParams(L, d, s);
  CTRL_SetExtension(s.work, ext);  // PIDMA runs the core over its extension
  CTRL_Init(s.in, s.out, s.params, s.config, s.work, s.retained);
  CTRL_StoreRetained(L, s);
  publishPage(s);
}

// ---------------------------------------------------------------------------------------
// Run.

// The cascade's share of a run: a slave follows its master's state and setpoint.
void cascadeStep(const FbLayout& L, const CtrlTypeDesc& d, CtrlBlockState& s, CtrlBlockState* m) {
  CtrlPageLink& k = s.link;
  const uint16_t wb = wBlock(L, d);
  if (k.flags & CTRL_FLAG_SLAVE) {
    if (m) m->link.flags |= CTRL_FLAG_MASTER;
    s.setpointChoice.edit = (wb == CTRL_WBLOCK_ALL || wb == CTRL_WBLOCK_WE) ? 1 : 0;
    const bool own = !(k.status & CTRL_ST_EXTERNAL) || (k.status & CTRL_ST_W2);
    k.flags &= static_cast<uint16_t>(~(CTRL_FLAG_SLAVE_OWN | CTRL_FLAG_SLAVE_FOLLOWS));
    k.flags |= own ? CTRL_FLAG_SLAVE_OWN : CTRL_FLAG_SLAVE_FOLLOWS;
    if (!own && m) {
      // The operator's setpoint operations on the slave go to the master.
      if (k.setpointCommand) m->link.setpointCommand = k.setpointCommand;
      if (k.setpointOffered) {
        m->link.offeredSetpoint = k.offeredSetpoint;
        m->link.setpointOffered = 1;
      }
      k.setpointCommand = k.setpointOffered = 0;
      // While the slave's page is open, the master is asked for the display of its `Disp`.
      if (k.flags & CTRL_FLAG_PAGE_OPEN) {
        const uint16_t disp = CTRL_Wv(L, d, CTRL_WV_DISP);
        if (disp == 1) m->link.flags |= CTRL_FLAG_SHOW_DEVIATION;
        if (disp == 2) m->link.flags |= CTRL_FLAG_SHOW_PROCESS;
      }
    }
    if (k.pageRequest) {
      if (k.pageRequestValue) {
        s.in.internalCmd = 1;
      } else {
        s.in.internalCmd = s.in.w2Cmd = 0;
      }
      k.pageRequest = 0;
    }
  } else if (k.flags & CTRL_FLAG_MASTER) {
    uint8_t f[5];
    setpointChoices(L, d, s, f);
    if (wb == CTRL_WBLOCK_ALL) {
      k.flags |= CTRL_FLAG_BLOCK_ALL;
    } else {
      k.flags &= static_cast<uint16_t>(~CTRL_FLAG_BLOCK_ALL);
    }
    if ((k.flags & CTRL_FLAG_SHOW_DEVIATION) && !(s.display.mode & 4)) setDisplayMode(L, d, s, 1);
    if ((k.flags & CTRL_FLAG_SHOW_PROCESS) && !(s.display.mode & 2)) setDisplayMode(L, d, s, 2);
    // The master's own page open returns its display to its `Disp`.
    if ((k.flags & CTRL_FLAG_PAGE_OPEN) && (k.flags & kDisplayRequests)) {
      setDisplayMode(L, d, s, CTRL_Wv(L, d, CTRL_WV_DISP));
      k.flags &= static_cast<uint16_t>(~kDisplayRequests);
    }
  }
}

// Steps 5 to 13: inputs, operator commands and page requests into CtrlInputs.
void takeInputs(const FbLayout& L, const CtrlTypeDesc& d, CtrlBlockState& s, CtrlBlockState* m) {
  CtrlInputs& in = s.in;
  CtrlPageLink& k = s.link;
  auto di = [&](CtrlDi i) { return CTRL_ReadDi(L, d, i); };
  const uint16_t am = di(CTRL_DI_AM), oplock = di(CTRL_DI_OPLOCK);

  // With `oplock`, `a/m` takes the operator's manual command away once.
  if (!oplock) {
    s.oplockLatch = 0;
  } else if (am && !s.oplockLatch) {
    in.manualCmd = s.manualCopy = k.manualCmd = 0;
    s.oplockLatch = 1;
  }
  // The digital inputs.
  in.dInc = toByte(di(CTRL_DI_INC));
  in.dDec = toByte(di(CTRL_DI_DEC));
  in.dXFault = toByte(di(CTRL_DI_XF));
  in.dYpFault = toByte(di(CTRL_DI_YPF));
  in.dManual = toByte(am);
  in.dW2 = toByte(di(CTRL_DI_W2));
  if (!s.holdInternal) in.dInternal = toByte(di(CTRL_DI_WEWI));
  in.dPOnly = toByte(di(CTRL_DI_PIP));
  in.dOvcPlus = toByte(di(CTRL_DI_DOVCP));
  in.dOvcMinus = toByte(di(CTRL_DI_DOVCM));
  in.dTrack = toByte(di(CTRL_DI_TRACK));
  in.dY2 = toByte(di(CTRL_DI_Y2));
  in.dOff = toByte(di(CTRL_DI_OFF));
  in.dHardManual = toByte(di(CTRL_DI_SMHM));
  in.wStop = toByte(di(CTRL_DI_WSTOP));
  const uint16_t grOff = di(CTRL_DI_GROFF);
  in.gradientOn = grOff == 0 ? 1 : grOff == 1 ? 0 : toByte(grOff);
  // The self-tuning start inputs (a rising edge starts).
  const uint16_t ostart = di(CTRL_DI_OSTART), rstart = di(CTRL_DI_RSTART);
  if (ostart && !s.prevOstart) {
    s.startMarker = 1;
  } else if (ostart != s.prevOstart) {
    s.startMarker = 0;
    in.optStart = 0;
  }
  if (rstart && !s.prevRstart) in.setpointReset = 1;
  // The analog inputs (a changed external setpoint is noted).
  const float wext = analogIn(L, CTRL_AI_WEXT);
  if (wext != in.wext) in.wextChanged = 1;
  float* analog[CTRL_AI_SHARED] = {&in.x1,      &in.x2, &in.x3,  &in.wext, &in.ovcPlus,
                                   &in.ovcMinus, &in.yp, &in.yhm, &in.yadd};
  for (uint8_t i = 0; i < CTRL_AI_SHARED; ++i) *analog[i] = analogIn(L, i);
  if (d.aiParNo != CTRL_NONE) {
    // The set by value: `ParNo` 1..6 (NaN and out-of-range values end at a bound).
    const float parNo = CTRL_Clamp(analogIn(L, d.aiParNo), 1, CTRL_PARAM_SETS);
    const uint8_t n = FW_FloatToU8(parNo);
    in.paramSetNumber = static_cast<uint8_t>((n < 1 ? 1 : n) - 1);
  }
  // The page's manual command and the block's copy.
  if (s.manualCopy != k.manualCmd) {
    if (oplock) {
      k.manualCmd = in.manualCmd = s.manualCopy;
    } else {
      s.manualCopy = in.manualCmd = k.manualCmd;
    }
  }
  // A setpoint offered by the page or a slave, kept within W0..W100.
  if (k.setpointOffered && std::isfinite(k.offeredSetpoint)) {
    in.wi = CTRL_Clamp(k.offeredSetpoint, s.params.w0, s.params.w100);
    in.setpointLoad = 2;
  }
  k.setpointOffered = 0;
  // The setpoint lock of a cascade slave.
  const uint16_t wb = wBlock(L, d);
  if (k.flags & CTRL_FLAG_SLAVE_FOLLOWS) {
    k.setpointLock = m && (m->link.flags & CTRL_FLAG_BLOCK_ALL) ? 1 : 0;
  } else {
    k.setpointLock = wb == CTRL_WBLOCK_ALL ||
                     (wb == CTRL_WBLOCK_W2 && CTRL_Wv(L, d, CTRL_WV_SPFUNC) != CTRL_SP_CASCADE);
  }
  // The page's setpoint command.
  switch (k.setpointCommand) {
    case CTRL_SPCMD_EXTERNAL: in.internalCmd = 0; break;
    case CTRL_SPCMD_INTERNAL: in.internalCmd = 1; break;
    case CTRL_SPCMD_W2_ON: in.w2Cmd = 1; break;
    case CTRL_SPCMD_W2_OFF: in.w2Cmd = 0; break;
    default: break;
  }
  k.setpointCommand = 0;
  in.incCmd = k.incKey;
  in.decCmd = k.decKey;
  k.incKey = k.decKey = 0;
  // Self-tuning started or stopped from the page.
  if (k.optCode == CTRL_OPT_START) s.pageStart = 1;
  if (k.optCode == CTRL_OPT_STOP) s.pageStart = 0;
  k.optCode = 0;
  if (s.pageStart != s.prevPageStart || ostart != s.prevOstart) {
    in.optStart = s.pageStart || s.pageStart != s.startMarker;
  }
  s.prevOstart = toByte(ostart);
  s.prevRstart = toByte(rstart);
}

// The override indication in the display mode word.
uint16_t overrideBits(const FbLayout& L, const CtrlTypeDesc& d, const CtrlBlockState& s) {
  const uint16_t ovc = CTRL_Wv(L, d, CTRL_WV_COVC);
  const float y = s.out.y, ymin = s.params.ymin, ymax = s.params.ymax;
  uint16_t bits = 0;
  if (isStepping(function(L, d))) {
    if (ovc == CTRL_OVC_PLUS && s.out.steppingLock == 2) bits |= CTRL_DISPLAY_OVC_PLUS;
    if (ovc == CTRL_OVC_MINUS && s.out.steppingLock == 1) bits |= CTRL_DISPLAY_OVC_MINUS;
  } else if (ovc == CTRL_OVC_PLUS) {
    if (y == s.in.ovcPlus || y == ymin + 1) bits |= CTRL_DISPLAY_OVC_PLUS;
  } else if (ovc == CTRL_OVC_MINUS) {
    if (y == s.in.ovcMinus || y == ymax - 1) bits |= CTRL_DISPLAY_OVC_MINUS;
  } else if (ovc == CTRL_OVC_BOTH) {
    if (y == s.work.out.upper && y < ymax - 0.1f) bits |= CTRL_DISPLAY_OVC_PLUS;
    if (y == s.work.out.lower && y > ymin + 0.1f) bits |= CTRL_DISPLAY_OVC_MINUS;
  }
  return bits;
}

// Steps 16 to 21: outputs, the link and the page records.
void giveOutputs(const FbLayout& L, const CtrlTypeDesc& d, CtrlBlockState& s, CtrlBlockState* m) {
  const CtrlOutputs& o = s.out;
  CtrlPageLink& k = s.link;
  // The digital outputs.
  const struct {
    CtrlDo slot;
    uint8_t value;
  } digital[] = {{CTRL_DO_Y1, o.y1},         {CTRL_DO_Y2, o.y2},         {CTRL_DO_CFAIL, o.failActive},
                 {CTRL_DO_OFF, o.offActive}, {CTRL_DO_AM, o.manualActive}, {CTRL_DO_YY2, o.y2Active},
                 {CTRL_DO_WEWI, o.internalActive}, {CTRL_DO_PIP, o.pOnlyActive},
                 {CTRL_DO_ORUN, o.optRun},   {CTRL_DO_OSTAB, o.optStable}, {CTRL_DO_OERR, o.optError},
                 {CTRL_DO_XWSUP, o.setpointChanged}};
  for (const auto& e : digital) CTRL_WriteDo(L, d, e.slot, e.value);
  const float analog[CTRL_AO_SHARED] = {o.w, o.x, o.y, o.xw, o.lastWi, o.yout1, o.yout2};
  for (uint8_t i = 0; i < CTRL_AO_SHARED; ++i) setAnalogOut(L, i, analog[i]);
  if (d.aoParNo != CTRL_NONE) L.ao[d.aoParNo] = static_cast<float>(o.activeSet + 1);
  k.hide = toByte(CTRL_ReadDi(L, d, CTRL_DI_HIDE));
  k.lock = toByte(CTRL_ReadDi(L, d, CTRL_DI_LOCK));
  // The status word from the setpoint status.
  const uint8_t sps = o.setpointStatus;
  uint16_t st = 0;
  if (sps & CTRL_SPS_RAMP) st |= CTRL_ST_RAMP;
  if (sps & CTRL_SPS_WSTOP) st |= CTRL_ST_WSTOP;
  if (sps & CTRL_SPS_W2) st |= CTRL_ST_W2;
  if (!o.internalActive) st |= CTRL_ST_EXTERNAL;
  if (o.xFault) st |= CTRL_ST_XFAULT;
  if (o.manualActive) st |= CTRL_ST_MANUAL;
  if (o.y2Active) st |= CTRL_ST_Y2;
  if (o.hardManualActive) st |= CTRL_ST_HARD_MANUAL;
  if (s.in.dYpFault) st |= CTRL_ST_YP_FAULT;
  if (o.offActive) st |= CTRL_ST_OFF;
  if (o.optRun) st |= CTRL_ST_OPT_RUN;
  if (s.work.mode == CtrlMode::OptFailed) st |= CTRL_ST_OPT_FAILED;
  k.status = st;
  // The display mode word's override bits.
  CtrlDisplay& p = s.display;
  p.mode = static_cast<uint16_t>((p.mode & ~(CTRL_DISPLAY_OVC_PLUS | CTRL_DISPLAY_OVC_MINUS)) |
                                 overrideBits(L, d, s));
  // The page's values: X, W and their ranges in the display's decimals.
  const uint8_t dec = decimals(L, d);
  const float w0 = s.params.w0, w100 = s.params.w100;
  k.x = triple(o.x, s.config.xn0, s.config.xn100, dec, 1);
  k.w = triple(o.w, w0, w100, dec, 1);
  k.setpoint = (k.flags & CTRL_FLAG_SLAVE_FOLLOWS) && m ? m->link.setpoint
                                                       : triple(s.in.wi, w0, w100, dec, 0);
  // The output shown (none for the signal and stepping kinds).
  const uint8_t f = function(L, d);
  const bool signal = f == CTRL_KIND_SIGNAL1 || f == CTRL_KIND_SIGNAL2;
  p.y.value = signal || f == CTRL_KIND_STEPPING ? 0.0f : f == 11 ? o.yout1 : o.y;
  p.notManual = s.work.mode != CtrlMode::Manual;
  switch (p.mode & 0xF) {
    case CTRL_DISPLAY_DEVIATION:
      p.value[0] = -s.work.prevXwPercent;
      p.value[1] = o.xw;
      break;
    case CTRL_DISPLAY_PROCESS:
      p.value[0] = p.value[1] = o.x;
      break;
    default:
      p.value[0] = p.value[1] = signal ? 0.0f : o.y;
      break;
  }
  // The self-tuning state shown on the page.
  const uint8_t state = optimisationState(s.work);
  const bool second = secondOptimisationFlag(s.work);
  p.optCode = second && (state == 2 || state == 7) ? 8
              : state == 7 && o.optError && !second ? 9
                                                    : state;
  copyTuningResults(s);
}

// Tuned parameters become the block's parameters.
void takeTunedParams(const FbLayout& L, const CtrlTypeDesc& d, CtrlBlockState& s) {
  if (!s.work.newParams) return;
  auto setBoth = [&](uint16_t k, float v) {
    L.fp[k] = v;
    L.fp[k + L.floatParams] = v;
  };
  if (d.pidma) {
    // Kp, Tn, Tv, Tp1, Tp2, VD, bW_p, cW_d of set 0.
    const CtrlParamSet& set = s.params.sets[0];
    const float values[8] = {set.xp1, set.xp2, set.tn, set.tv, set.tp1, set.tp2, set.opt[0],
                             set.opt[1]};
    for (uint16_t i = 0; i < 8; ++i) setBoth(static_cast<uint16_t>(d.firstSetFloat + i), values[i]);
    // The page's self-tuning start and the manual copy end with the adoption.
    s.pageStart = 0;
    s.manualCopy = 0;
  } else {
    const uint8_t n = d.sets > 1 ? s.params.pOpt : 0;
    const CtrlParamSet& set = s.params.sets[n];
    const float values[6] = {set.xp1, set.xp2, set.tn, set.tv, set.tp1, set.tp2};
    for (uint16_t i = 0; i < 6; ++i) setBoth(static_cast<uint16_t>(d.firstSetFloat + 6 * n + i), values[i]);
    if (optimisationState(s.work) != CTRL_OPT_STAGE_COOL_STEP) {
      s.startMarker = 0;
      s.in.optStart = 0;
      s.in.dManual = 0;
    }
    s.pageStart = 0;
    s.manualCopy = 0;
  }
  g_fbPending.floats[L.block] = 1;  // saved by the take-over below
  s.work.newParams = 0;
}

// Steps 23 and 24: changed parameters and the retained record, saved with retry.
void takeOverAndSave(const FbLayout& L, const CtrlTypeDesc& d, CtrlBlockState& s) {
  const uint16_t block = L.block;
  bool prepare = false;
  if (g_fbPending.floats[block]) {
    CTRL_HandChanges(s);
    prepare = FB_ApplyPendingFloats(block) == FB_APPLY_SAVED && !g_fbPending.words[block];
  }
  if (g_fbPending.words[block]) prepare = FB_ApplyPendingWords(block) == FB_APPLY_SAVED || prepare;
  if (prepare) prepareParams(L, d, s);

  CtrlWork& w = s.work;
  uint8_t* flags[] = {&w.saveWi,     &w.saveInternalCmd,   &w.saveW2Cmd, &w.saveParamSet,
                      &w.saveOptResults, &w.saveOffCmd, &w.saveHardManualCmd, &w.saveY2Cmd,
                      &w.saveManualCmd};
  bool any = false;
  for (uint8_t* f : flags) any = any || *f;
  if (!any) return;
  CTRL_StoreRetained(L, s);
  if (FB_SaveStateWords(block, 1, kSaveStateWords) != 0) return;  // ring full: next run
  for (uint8_t* f : flags) *f = 0;
}

// What the operating pages show of a controller, compared before and after a run: a change
// raises the page-refresh request (CtrlPageLink::updated). Laid out without padding, so that it
// compares as bytes.
struct PageShown {
  float x, w, setpoint, y, values[2], tu[2], vmax[2];
  float extTime, extShown[3];           // PIDMA: the extension's status time and proposal
  uint16_t status, flags, mode;
  int16_t extText, extCode;             // PIDMA: the extension's status
  uint8_t set, optCode, results[2], manualCmd, spare;
};
static_assert(sizeof(PageShown) == 14 * 4 + 5 * 2 + 6);
// The flag bits the page itself sets every cycle (page open, redraw of the output bar).
constexpr uint16_t kPageFlagBits = CTRL_FLAG_PAGE_OPEN | CTRL_FLAG_REDRAW_BAR;

PageShown pageShown(CtrlBlockState& s) {
  const CtrlPageLink& k = s.link;
  const CtrlDisplay& d = s.display;
  PageShown v{};
  v.x = k.x.value;
  v.w = k.w.value;
  v.setpoint = k.setpoint.value;
  v.y = d.y.value;
  for (int i = 0; i < 2; ++i) {
    v.values[i] = d.value[i];
    v.tu[i] = d.tu[i];
    v.vmax[i] = d.vmax[i];
    v.results[i] = d.optResult[i];
  }
  v.extTime = d.tuneTime;
  for (int i = 0; i < 3; ++i) v.extShown[i] = d.proposal[i];
  v.extText = d.tuneText;
  v.extCode = d.tuneResult;
  v.status = k.status;
  v.flags = static_cast<uint16_t>(k.flags & ~kPageFlagBits);
  v.mode = d.mode;
  v.set = k.activeSet;
  v.optCode = d.optCode;
  v.manualCmd = k.manualCmd;
  return v;
}

void ctrlRun(const CtrlTypeDesc& d) {
  FbLayout L;
  if (!FB_CurrentLayout(&L) || L.workWords < workWordsOf(d) || L.stateWords < kSaveStateWords) {
    return;
  }
  CtrlBlockState& s = *CTRL_LayoutState(L);
  // A cascade input wired to no controller (a configuration error): the block does nothing.
  if (s.link.flags & CTRL_FLAG_CASCADE_ERROR) return;
  // PIDMA: a hand-written Kp, Tn, Tv, VD, bW_p or cW_d ends the adoption of the proposal
  // (a later speed change no longer retunes).
  if (s.handEdited) {
    if (CtrlExtension* x = CTRL_Extension(s.work)) x->adopted = 0;
    s.handEdited = 0;
  }
  publishPage(s);
  const PageShown shown = pageShown(s);
  CtrlBlockState* m = (s.link.flags & CTRL_FLAG_SLAVE) ? CTRL_StateAt(s.master) : nullptr;
  // The cascade.
  cascadeStep(L, d, s, m);
  s.link.flags &= static_cast<uint16_t>(~CTRL_FLAG_PAGE_OPEN);   // taken; the page sets it again
  // The page's take-over value and output step go to the core.
  if (s.takeOver) {
    s.in.lastY = s.takeOverValue;
    s.in.takeOver = 1;
    s.takeOver = 0;
  }
  if (s.addStep) {
    s.in.optStep = s.stepValue;
    s.in.addStep = 1;
    s.addStep = 0;
  }
  // The inputs, the cascade's setpoint and the page's commands.
  takeInputs(L, d, s, m);
  // The controller core.
  CTRL_Cycle(s.in, s.out, s.params, s.config, s.work, s.retained);
  // The manual state back to the page; a finished self-tuning start.
  CtrlPageLink& k = s.link;
  if (!s.in.manualCmd && s.manualCopy) s.manualCopy = k.manualCmd = 0;
  if (s.out.manualActive && !s.in.manualCmd && !CTRL_ReadDi(L, d, CTRL_DI_AM)) {
    s.manualCopy = k.manualCmd = 1;
  }
  if (!s.in.optStart) s.pageStart = s.startMarker = 0;
  // The outputs, the tuned parameters and the saved take-over.
  giveOutputs(L, d, s, m);
  takeTunedParams(L, d, s);
  takeOverAndSave(L, d, s);
  // The page record, and the page told when what it shows has changed.
  s.prevPageStart = s.pageStart;
  publishPage(s);
  const PageShown now = pageShown(s);
  if (std::memcmp(&now, &shown, sizeof now) != 0) k.updated = 1;
}

const CtrlTypeDesc& descOf(uint16_t type) { return *CTRL_DescOf(type); }

}  // namespace

// ---------------------------------------------------------------------------------------

float CTRL_Lv(const FbLayout& L, uint16_t k, bool pending) {
  return std::bit_cast<float>(L.lv[k + (pending ? L.longValues : 0)].get());
}

CtrlBlockState* CTRL_LayoutState(const FbLayout& L) {
  if (L.workWords < kStateWords || L.stateWords < CTRL_RETAINED_WORDS) return nullptr;
  CtrlBlockState* s = stateAddress(L);
  if (s->magic != kMagic) buildState(L, s);
  return s;
}

const CtrlExtension* CTRL_ExtensionOf(uint16_t block) {
  CtrlBlockState* s = CTRL_StateOf(block);
  return s ? CTRL_Extension(s->work) : nullptr;
}

CtrlPageRecords CTRL_PageRecordsOf(uint16_t block) {
  CtrlBlockState* s = CTRL_StateOf(block);
  if (!s) return CtrlPageRecords{nullptr, nullptr, nullptr};
  CtrlBlockState* m = s->master ? CTRL_StateAt(s->master) : nullptr;
  return CtrlPageRecords{&s->link, &s->display, m ? &m->link : nullptr};
}

uint16_t CTRL_PageSetpointChoice(uint16_t block, uint16_t index, bool next) {
  const CtrlBlockState* s = CTRL_StateOf(block);
  const CtrlChoiceStepFn fn =
      s ? CTRL_ChoiceStepFunction(next ? s->setpointChoice.next : s->setpointChoice.prev) : nullptr;
  return fn ? fn(block, index) : 0;
}

bool CTRL_PageOptChoice(uint16_t block, uint16_t pageCode) {
  const CtrlBlockState* s = CTRL_StateOf(block);
  const CtrlOptChoiceFn fn = s ? CTRL_OptChoiceFunction(s->optChoice.first) : nullptr;
  if (fn) fn(block, pageCode);
  return fn != nullptr;
}

CtrlBlockState* CTRL_StateOf(uint16_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || !CTRL_DescOf(L.type)) return nullptr;
  return CTRL_LayoutState(L);
}

uint32_t CTRL_StateHandle(const CtrlBlockState* state) {
  if (!state) return 0;
  const auto* at = reinterpret_cast<const uint16_t*>(state);
  const uint16_t* heap = g_fbStore.instanceHeap;
  if (at <= heap || at >= heap + FB_INSTANCE_HEAP_WORDS) return 0;
  return static_cast<uint32_t>(at - heap);
}

CtrlBlockState* CTRL_StateAt(uint32_t handle) {
  if (handle == 0 || handle > FB_INSTANCE_HEAP_WORDS - kStateWords) return nullptr;
  uint16_t* at = &g_fbStore.instanceHeap[handle];
  if (reinterpret_cast<uintptr_t>(at) % kAlign != 0) return nullptr;
  auto* s = reinterpret_cast<CtrlBlockState*>(at);
  return s->magic == kMagic ? s : nullptr;
}

void CTRL_StoreRetained(const FbLayout& L, const CtrlBlockState& s) {
  CTRL_RetainedToWords(s.retained, L.state);
}

void CTRL_MarkChange(CtrlBlockState& s, const CtrlTypeDesc& d, uint16_t k) {
  const uint8_t c = d.floatClasses[k];
  CtrlChanges& ch = s.changes;
  switch (c & CTRL_CC_KIND) {
    case CTRL_CC_GRADIENT: ch.gradient = 1; break;
    case CTRL_CC_RAMP: ch.rampRestart = 1; break;
    case CTRL_CC_REINIT: ch.reinit = 1; break;
    case CTRL_CC_RELOAD: ch.reload = 1; break;
    default:
      if (c & CTRL_CC_SET) ch.changedSet = c & 0x0F;
      break;
  }
  if (c & CTRL_CC_HAND) s.handEdited = 1;
}

void CTRL_HandChanges(CtrlBlockState& s) {
  CtrlChanges& ch = s.changes;
  CtrlInputs& in = s.in;
  if (ch.changedSet != 255) in.changedSet = ch.changedSet;
  in.paramReload = in.paramReload || ch.reload;
  in.outputReinit = in.outputReinit || ch.reinit;
  in.gradientMarker = in.gradientMarker || ch.gradient;
  in.rampRestart = in.rampRestart || ch.rampRestart;
  ch = CtrlChanges{};
}

void CTRL_FindCascadeMaster(uint16_t block) {
  FbLayout L;
  const CtrlTypeDesc* d = FB_GetLayout(block, &L) ? CTRL_DescOf(L.type) : nullptr;
  if (CtrlBlockState* s = d ? CTRL_LayoutState(L) : nullptr) findCascadeMaster(L, *d, *s);
}

void CTRL_SetpointChoices(uint16_t block, uint8_t flags[5]) {
  if (!choicesOf(block, flags)) {
    flags[0] = 1;
    flags[1] = flags[2] = flags[3] = flags[4] = 0;
  }
}

uint16_t CTRL_PrevSetpointChoice(uint16_t block, uint16_t index) {
  uint8_t f[5];
  CTRL_SetpointChoices(block, f);
  if (index == 0) return 0;
  if (index > 4) {
    if (f[4]) return 4;
    index = 4;
  }
  for (uint16_t i = index; i-- > 1;) {
    if (f[i]) return i;
  }
  return 0;
}

uint16_t CTRL_NextSetpointChoice(uint16_t block, uint16_t index) {
  uint8_t f[5];
  CTRL_SetpointChoices(block, f);
  uint16_t highest = 0;
  for (uint16_t i = 1; i <= 4; ++i) {
    if (f[i]) highest = i;
  }
  if (index >= highest) return highest;
  for (uint16_t i = static_cast<uint16_t>(index + 1); i <= 4; ++i) {
    if (f[i]) return i;
  }
  return highest;
}

void CTRL_SetDisplayMode(uint16_t mode, uint16_t block) {
  FbLayout L;
  const CtrlTypeDesc* d = FB_GetLayout(block, &L) ? CTRL_DescOf(L.type) : nullptr;
  if (CtrlBlockState* s = d ? CTRL_LayoutState(L) : nullptr) setDisplayMode(L, *d, *s, mode);
}

CtrlChoiceStepFn CTRL_ChoiceStepFunction(uint32_t handle) {
  switch (handle) {
    case CTRL_FN_PREV_SETPOINT_CHOICE: return CTRL_PrevSetpointChoice;
    case CTRL_FN_NEXT_SETPOINT_CHOICE: return CTRL_NextSetpointChoice;
    default: return nullptr;
  }
}

CtrlChoiceMapFn CTRL_ChoiceMapFunction(uint32_t handle) {
  switch (handle) {
    case CTRL_FN_ZERO_TO_ONE: return zeroToOne;
    case CTRL_FN_ONE_TO_ZERO: return oneToZero;
    default: return nullptr;
  }
}

CtrlOptChoiceFn CTRL_OptChoiceFunction(uint32_t handle) {
  switch (handle) {
    case CTRL_FN_OPT_CODE_A: return optCodeA;
    case CTRL_FN_OPT_CODE_B: return optCodeB;
    default: return nullptr;
  }
}

void FB_CONTR_Run() { ctrlRun(descOf(BLK_TYPE_CONTR)); }
void FB_CONTR_Init() { ctrlInit(descOf(BLK_TYPE_CONTR)); }
void FB_CONTRPLUS_Run() { ctrlRun(descOf(BLK_TYPE_CONTR_PLUS)); }
void FB_CONTRPLUS_Init() { ctrlInit(descOf(BLK_TYPE_CONTR_PLUS)); }
void FB_PIDMA_Run() { ctrlRun(descOf(BLK_TYPE_PIDMA)); }
void FB_PIDMA_Init() { ctrlInit(descOf(BLK_TYPE_PIDMA)); }
