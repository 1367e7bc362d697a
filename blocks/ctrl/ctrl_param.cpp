// Parameter handlers of the controller blocks: the parameters and their change classes, the
// configuration words with the re-validation after a new `CFunc`, the whole sets, the
// operating commands and the reads of the operating pages and interfaces.
#include <cmath>
#include <cstring>

#include "blocks/ctrl/ctrl.h"
#include "blocks/ctrl/ctrl_blocks.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"

namespace {

// Ids of the operating values and commands.
enum : int16_t {
  kIdWi = 309,          // internal setpoint, retained
  kIdW = 310,           // internal setpoint, at once and not retained
  kIdStep = 313,        // output step
  kIdManualY = 314,     // manual output value
  kIdParamSet = 318,    // CONTR+: parameter set by operation
  kIdY2Cmd = 500,
  kIdPOnlyCmd = 501,
  kIdManualCmd = 502,
  kIdOptStart = 503,
  kIdInternalCmd = 504,
  kIdW2Cmd = 505,
  kIdOffCmd = 507,
};

// The words of these types know neither discrete sets nor the off value: a value must not
// lie above the maximum nor below the minimum (each from its callback when there is one).
int plainCheck(int16_t x, const FwShortLimit* record, uint16_t block) {
  if (!record) return 0;
  const int16_t max = record->maxFn ? record->maxFn(block, x) : record->max;
  const int16_t min = record->minFn ? record->minFn(block, x) : record->min;
  return x <= max && x >= min ? 1 : 0;
}

struct Target {
  FbLayout L;
  const CtrlTypeDesc* d;
  CtrlBlockState* s;
};

// ---------------------------------------------------------------------------------------
// Reads: the value at offset 4, its length in g_fbReadLength.

uint8_t answerByte(FbParamRequest* r, uint32_t v) {
  r->setU8(FB_REQUEST_VALUE, static_cast<uint8_t>(v));
  g_fbReadLength = 1;
  return FB_OK;
}
uint8_t answerWord(FbParamRequest* r, uint32_t v) {
  r->setU16(FB_REQUEST_VALUE, static_cast<uint16_t>(v));
  g_fbReadLength = 2;
  return FB_OK;
}
uint8_t answerFloat(FbParamRequest* r, float v) {
  r->setF32(FB_REQUEST_VALUE, v);
  g_fbReadLength = 4;
  return FB_OK;
}

uint32_t bit(bool on, uint32_t value) { return on ? value : 0u; }

uint8_t read(const Target& t, FbParamRequest* r, int16_t id) {
  const FbLayout& L = t.L;
  const CtrlTypeDesc& d = *t.d;
  const CtrlBlockState& s = *t.s;
  const CtrlOutputs& o = s.out;
  const CtrlRetained& ret = s.retained;
  auto input = [&](uint8_t i) { return FB_ReadAnalogRef(L.ai[i]); };
  switch (-id) {
    case 0:
      return answerByte(r, bit(o.y1, 0x01) | bit(o.y2, 0x02) | bit(o.manualActive, 0x04) |
                               bit(o.y2Active, 0x08) | bit(o.offActive, 0x10) |
                               bit(o.failActive, 0x20));
    case 1: return answerByte(r, bit(o.failActive, 0x20) | bit(o.pOnlyActive, 0x10));
    case 2: return answerFloat(r, L.ao[CTRL_AO_WEFF]);
    case 3: return answerFloat(r, L.ao[CTRL_AO_X]);
    case 4: return answerFloat(r, L.ao[CTRL_AO_Y]);
    case 5: return answerFloat(r, L.ao[CTRL_AO_XW]);
    case 6: return answerFloat(r, input(CTRL_AI_X1));
    case 7: return answerFloat(r, input(CTRL_AI_X2));
    case 8: return answerFloat(r, input(CTRL_AI_X3));
    case 11: return answerFloat(r, input(CTRL_AI_YP));
    case 13: return answerFloat(r, input(CTRL_AI_OVCP));
    case 14: return answerFloat(r, input(CTRL_AI_OVCM));
    case 15: return answerFloat(r, input(CTRL_AI_WEXT));
    case 9:
      return answerByte(r, bit(s.display.mode & CTRL_DISPLAY_OVC_PLUS, 4) |
                               bit(s.display.mode & CTRL_DISPLAY_OVC_MINUS, 2));
    case 10: return answerByte(r, o.setpointStatus);
    case 18: return answerByte(r, bit(o.optStable, 1) | bit(o.optRun, 2) | bit(o.optError, 4));
    case 20:
      if (d.aiParNo == CTRL_NONE) break;
      return answerFloat(r, input(d.aiParNo));
    case kIdWi: return answerFloat(r, ret.wi);
    case kIdW: return answerFloat(r, L.ao[CTRL_AO_W]);
    case kIdStep: return answerFloat(r, s.stepValue);
    case kIdManualY: return answerFloat(r, s.takeOverValue);
    case kIdParamSet:
      if (d.aoParNo == CTRL_NONE) break;
      return answerFloat(r, L.ao[d.aoParNo]);
    // The self-tuning results of the retained record: its six 4-byte fields in their order
    // (Wi, Tu and Vmax heating, the unused four bytes, Tu and Vmax cooling) and its two
    // result codes (heating, cooling).
    case 319: return answerFloat(r, ret.wi);
    case 320: return answerFloat(r, ret.tuHeat);
    case 321: return answerFloat(r, ret.vmaxHeat);
    case 323: {
      float spare;
      std::memcpy(&spare, ret.spare1, sizeof spare);
      return answerFloat(r, spare);
    }
    case 324: return answerFloat(r, ret.tuCool);
    case 325: return answerFloat(r, ret.vmaxCool);
    case 322: return answerByte(r, ret.optResultHeat);
    case 326: return answerByte(r, ret.optResultCool);
    case kIdY2Cmd: return answerWord(r, o.y2Active);
    case kIdPOnlyCmd:
      if (d.pidma) break;
      return answerWord(r, o.pOnlyActive);
    case kIdManualCmd: return answerWord(r, ret.manualCmd);
    case kIdOptStart: return answerWord(r, o.optRun);
    case kIdInternalCmd: return answerWord(r, o.internalActive);
    case kIdW2Cmd: return answerWord(r, o.setpointStatus & CTRL_SPS_W2);
    case kIdOffCmd: return answerWord(r, o.offActive);
    default: break;
  }
  return FB_ERR_UNKNOWN_ID;
}

// ---------------------------------------------------------------------------------------
// Operating values and commands.

// An operator command that the retained record keeps: into CtrlInputs, and into the retained
// record (saved by the next run) when it changed.
void retainCommand(const Target& t, uint8_t v, uint8_t& input, uint8_t& retained, uint8_t& save) {
  input = v;
  if (retained != v) {
    retained = v;
    save = 1;
    CTRL_StoreRetained(t.L, *t.s);
  }
}

uint8_t command(const Target& t, int16_t id, uint16_t value) {
  if (value > 1) return FB_ERR_LIMITS;
  const auto v = static_cast<uint8_t>(value);
  CtrlBlockState& s = *t.s;
  CtrlInputs& in = s.in;
  CtrlRetained& ret = s.retained;
  CtrlWork& w = s.work;
  switch (id) {
    case kIdY2Cmd: retainCommand(t, v, in.y2Cmd, ret.y2Cmd, w.saveY2Cmd); break;
    case kIdPOnlyCmd:
      if (t.d->pidma) return FB_ERR_UNKNOWN_ID;
      in.pOnlyCmd = v;
      break;
    case kIdManualCmd:
      retainCommand(t, v, in.manualCmd, ret.manualCmd, w.saveManualCmd);
      s.manualCopy = s.link.manualCmd = v;
      if (v && CTRL_ReadDi(t.L, *t.d, CTRL_DI_OPLOCK)) s.oplockLatch = 1;
      break;
    case kIdOptStart: in.optStart = v; break;
    case kIdInternalCmd: retainCommand(t, v, in.internalCmd, ret.internalCmd, w.saveInternalCmd); break;
    case kIdW2Cmd: retainCommand(t, v, in.w2Cmd, ret.w2Cmd, w.saveW2Cmd); break;
    case kIdOffCmd: retainCommand(t, v, in.offCmd, ret.offCmd, w.saveOffCmd); break;
    default: return FB_ERR_UNKNOWN_ID;
  }
  return FB_OK;
}

uint8_t operatingValue(const Target& t, int16_t id, float v) {
  CtrlBlockState& s = *t.s;
  const FbLayout& L = t.L;
  const CtrlTypeDesc& d = *t.d;
  const float w0 = CTRL_Fp(L, d.fp[CTRL_FP_W0], true), w100 = CTRL_Fp(L, d.fp[CTRL_FP_W100], true);
  const float ymin = CTRL_Fp(L, d.fp[CTRL_FP_YMIN]), ymax = CTRL_Fp(L, d.fp[CTRL_FP_YMAX]);
  switch (id) {
    case kIdWi:
      if (!FW_Within(v, w0, w100)) return FB_ERR_LIMITS;
      if (s.retained.wi != v) {
        s.retained.wi = v;
        s.work.saveWi = 1;
        CTRL_StoreRetained(L, s);
      }
      s.in.newWi = v;
      s.in.setpointStore = 1;
      return FB_OK;
    case kIdW:
      if (!FW_Within(v, w0, w100)) return FB_ERR_LIMITS;
      s.in.wi = v;
      s.in.setpointLoad = 1;
      return FB_OK;
    case kIdStep:
      if (!FW_Within(v, -(ymax - ymin), ymax - ymin)) return FB_ERR_LIMITS;
      s.stepValue = v;
      s.addStep = 1;
      return FB_OK;
    case kIdManualY:
      if (!FW_Within(v, ymin, ymax)) return FB_ERR_LIMITS;
      s.takeOverValue = v;
      s.takeOver = 1;
      return FB_OK;
    case kIdParamSet: {
      if (d.sets < 2) return FB_ERR_UNKNOWN_ID;
      if (!FW_Within(v, 1, CTRL_PARAM_SETS)) return FB_ERR_LIMITS;
      if (s.parNoWired) return FB_OK;  // the wired `ParNo` chooses the set
      const auto n = static_cast<uint8_t>(FW_FloatToU8(v) - 1);
      s.in.paramSetSelect = n;
      if (s.retained.paramSet != n) {
        s.retained.paramSet = n;
        s.work.saveParamSet = 1;
        CTRL_StoreRetained(L, s);
      }
      return FB_OK;
    }
    default: return FB_ERR_UNKNOWN_ID;
  }
}

// ---------------------------------------------------------------------------------------
// Parameters.

// The run-mode rule for floats the handler itself changed in their pending copies.
void pendingFloatsChanged(const FbLayout& L, bool changed) {
  if (!FW_IsRunning()) {
    for (uint16_t i = 0; i < L.floatParams; ++i) L.fp[i] = L.fp[i + L.floatParams].get();
  } else if (changed) {
    g_fbPending.floats[L.block] = 1;
  }
}

// While the device is stopped an accepted float applies at once, and so do its change bytes.
void floatsAccepted(const Target& t) {
  if (!FW_IsRunning()) CTRL_HandChanges(*t.s);
}

// Configuration becomes current after every request while the device is stopped (else at the
// next start-up pass).
void configAccepted(const FbLayout& L) {
  if (FW_IsRunning()) return;
  for (uint16_t i = 0; i < L.wordValues; ++i) L.wv[i] = L.wv[i + L.wordValues];
  for (uint16_t i = 0; i < L.longValues; ++i) L.lv[i] = L.lv[i + L.longValues].get();
}

// A new `CFunc` re-validates the pending `CFail`, `COVC`, `Ymin` and `Ymax`.
void revalidateFunction(const Target& t) {
  const FbLayout& L = t.L;
  const CtrlTypeDesc& d = *t.d;
  const CtrlFunctionRow& f =
      CTRL_FunctionRow(CTRL_ContrFunction(d, CTRL_Wv(L, d, CTRL_WV_CFUNC, true)));
  uint16_t& fail = L.wv[d.wv[CTRL_WV_CFAIL] + L.wordValues];
  uint16_t& ovc = L.wv[d.wv[CTRL_WV_COVC] + L.wordValues];
  if (fail > f.failMax) fail = CTRL_FAIL_YMIN;
  if (ovc > f.ovcMax) ovc = CTRL_OVC_OFF;
  FbF32& ymin = L.fp[d.fp[CTRL_FP_YMIN] + L.floatParams];
  FbF32& ymax = L.fp[d.fp[CTRL_FP_YMAX] + L.floatParams];
  const float lo = ymin.get(), hi = ymax.get();
  if (!(lo >= f.yLow && hi <= f.yHigh && lo <= hi)) {
    ymin = f.resetNegative ? -100.0f : 0.0f;
    ymax = 100.0f;
    pendingFloatsChanged(L, ymin.get() != lo || ymax.get() != hi);
  }
}

uint8_t floatParam(const Target& t, uint16_t k, float v) {
  const bool changed = k < t.L.floatParams && CTRL_Fp(t.L, k, true) != v;
  const uint8_t rc = FB_ParamFloat(t.L.block, k, v);
  if (rc != FB_OK) return rc;
  if (changed) CTRL_MarkChange(*t.s, *t.d, k);
  floatsAccepted(t);
  return FB_OK;
}

uint8_t wordValue(const Target& t, uint16_t k, uint16_t v) {
  const uint8_t rc = FB_ParamWordValue(t.L.block, k, v, plainCheck);
  if (rc != FB_OK) return rc;
  if (k == t.d->wv[CTRL_WV_CFUNC]) revalidateFunction(t);
  configAccepted(t.L);
  return FB_OK;
}

uint8_t longValue(const Target& t, uint16_t k, float v) {
  const uint8_t rc = FB_ParamLongValue(t.L.block, k, v);
  if (rc == FB_OK) configAccepted(t.L);
  return rc;
}

// Marks the change classes of the floats [first, first + n) that differ from `before`,
// except those in `[noneFrom, noneTo)`.
void markChangedFloats(const Target& t, uint16_t first, uint16_t n, const float* before,
                       uint16_t noneFrom = 0, uint16_t noneTo = 0) {
  for (uint16_t i = 0; i < n; ++i) {
    const auto k = static_cast<uint16_t>(first + i);
    if (CTRL_Fp(t.L, k, true) == before[i] || (k >= noneFrom && k < noneTo)) continue;
    CTRL_MarkChange(*t.s, *t.d, k);
  }
}

// Snapshot of the pending floats a set writes.
constexpr uint16_t kMaxSetFloats = 32;
void snapshot(const FbLayout& L, uint16_t first, uint16_t n, float* to) {
  for (uint16_t i = 0; i < n && i < kMaxSetFloats; ++i) to[i] = CTRL_Fp(L, first + i, true);
}

// 4000: `W Block` (PIDMA: its four words) and the floats up to dYopt.
constexpr uint16_t kWholeSetFloats = 22;
uint8_t wholeSet(const Target& t, const FbParamRequest* r, uint16_t* bad) {
  const CtrlTypeDesc& d = *t.d;
  float before[kMaxSetFloats];
  snapshot(t.L, 0, kWholeSetFloats, before);
  FbSetPart part;
  part.firstWord = d.wholeFirstWord;
  part.words = d.wholeWords;
  part.items = kWholeSetFloats;
  part.checkWord = plainCheck;
  const uint8_t rc = FB_ParamCrossSetPart(r, part, bad);
  if (rc != FB_OK) return rc;
  // W0 and W100 of a whole set mark nothing.
  markChangedFloats(t, 0, kWholeSetFloats, before, d.fp[CTRL_FP_W0], d.fp[CTRL_FP_W100] + 1);
  floatsAccepted(t);
  return FB_OK;
}

// 4001 .. 4000 + sets: one parameter set.
uint8_t parameterSet(const Target& t, const FbParamRequest* r, uint16_t n, uint16_t* bad) {
  const CtrlTypeDesc& d = *t.d;
  const auto first = static_cast<uint16_t>(d.setFirstFloat + d.setFloats * n);
  float before[kMaxSetFloats];
  snapshot(t.L, first, d.setFloats, before);
  FbSetPart part;
  part.firstItem = first;
  part.items = d.setFloats;
  const uint8_t rc = FB_ParamCrossSetPart(r, part, bad);
  if (rc != FB_OK) return rc;
  bool changed = false;
  for (uint16_t i = 0; i < d.setFloats; ++i) {
    const auto k = static_cast<uint16_t>(first + i);
    if (CTRL_Fp(t.L, k, true) == before[i]) continue;
    changed = true;
    if (d.floatClasses[k] & CTRL_CC_HAND) t.s->handEdited = 1;
  }
  if (changed) t.s->changes.changedSet = static_cast<uint8_t>(n);
  floatsAccepted(t);
  return FB_OK;
}

// 4010: the configuration words and the three 4-byte values.
uint8_t allValues(const Target& t, const FbParamRequest* r, uint16_t* bad) {
  FbSetPart part;
  part.groups = FbSetGroups::Values;
  part.words = t.L.wordValues;
  part.items = t.L.longValues;
  part.checkWord = plainCheck;
  const uint8_t rc = FB_ParamCrossSetPart(r, part, bad);
  if (rc != FB_OK) return rc;
  revalidateFunction(t);
  configAccepted(t.L);
  return FB_OK;
}

uint8_t ctrlParam(uint16_t type, FbParamRequest* r, uint16_t* bad) {
  if (bad) *bad = 0;
  if (!r) return FB_ERR_UNKNOWN_ID;
  Target t;
  if (!FB_GetLayout(r->block(), &t.L)) return FB_ERR_NO_BLOCK;
  t.d = CTRL_DescOf(type);
  t.s = t.L.type == type && t.d ? CTRL_LayoutState(t.L) : nullptr;
  if (!t.s) return FB_ERR_UNKNOWN_ID;
  const int16_t id = r->id();
  const FbLayout& L = t.L;
  const float f = r->f32(FB_REQUEST_VALUE);
  const uint16_t w = r->u16(FB_REQUEST_VALUE);
  if (id <= 0) return read(t, r, id);
  if (id >= kIdY2Cmd && id <= kIdOffCmd) return command(t, id, w);
  if (id >= kIdWi && id <= kIdParamSet) return operatingValue(t, id, f);
  if (id >= FB_ID_FLOAT && id < FB_ID_FLOAT + L.floatParams) {
    return floatParam(t, static_cast<uint16_t>(id - FB_ID_FLOAT), f);
  }
  if (id >= FB_ID_WORD && id < FB_ID_WORD + L.wordParams) {
    return FB_ParamWord(L.block, static_cast<uint16_t>(id - FB_ID_WORD), w, plainCheck);
  }
  if (id >= FB_ID_WORD_VALUE && id < FB_ID_WORD_VALUE + L.wordValues) {
    return wordValue(t, static_cast<uint16_t>(id - FB_ID_WORD_VALUE), w);
  }
  if (id >= FB_ID_LONG_VALUE && id < FB_ID_LONG_VALUE + L.longValues) {
    return longValue(t, static_cast<uint16_t>(id - FB_ID_LONG_VALUE), f);
  }
  if (id == FB_ID_WHOLE_SET) return wholeSet(t, r, bad);
  if (id > FB_ID_WHOLE_SET && id <= FB_ID_WHOLE_SET + t.d->sets) {
    return parameterSet(t, r, static_cast<uint16_t>(id - FB_ID_WHOLE_SET - 1), bad);
  }
  if (id == FB_ID_ALL_VALUES) return allValues(t, r, bad);
  return FB_ERR_UNKNOWN_ID;
}

}  // namespace

uint8_t FB_CONTR_Param(FbParamRequest* r, uint16_t* bad) { return ctrlParam(BLK_TYPE_CONTR, r, bad); }
uint8_t FB_CONTRPLUS_Param(FbParamRequest* r, uint16_t* bad) {
  return ctrlParam(BLK_TYPE_CONTR_PLUS, r, bad);
}
uint8_t FB_PIDMA_Param(FbParamRequest* r, uint16_t* bad) { return ctrlParam(BLK_TYPE_PIDMA, r, bad); }
