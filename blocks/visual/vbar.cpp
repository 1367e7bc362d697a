// VBAR: two values with adjustable settings, and two bars with up to two marks each.
#include <bit>

#include "blocks/visual/visual_internal.h"
#include "runtime/fw_numeric.h"

using vis::kDispLimit;
using vis::kDpLimit;
using vis::kValueLimit;

namespace {

constexpr const char* kTexts[] = {"VBAR", "Name_1", "Unit_1", "Name_2", "Unit_2"};
constexpr float kFloats[] = {0.0f, 0.0f};
// "X3   0", "X3 100", "X3 mid", "X4   0", "X4 100", "X4 mid" as the floats they hold.
constexpr uint32_t kLongs[] = {std::bit_cast<uint32_t>(0.0f), std::bit_cast<uint32_t>(100.0f),
                               std::bit_cast<uint32_t>(0.0f), std::bit_cast<uint32_t>(0.0f),
                               std::bit_cast<uint32_t>(100.0f), std::bit_cast<uint32_t>(0.0f)};
// Disp 1, Disp 2, Dp 1, Dp 2, Typ.
constexpr uint16_t kValues[] = {1, 1, 0, 0, 0};
constexpr FbTemplate kTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_VBAR, .analogOutputs = 3, .analogInputs = 8, .digitalInputs = 3,
     .floatParams = kFloats, .longValues = kLongs, .wordValues = kValues, .texts = kTexts,
     .workWords = BLK_WorkWordsOf<VbarPage>()});

enum : unsigned { kDisp = 0, kDp = 2, kTyp = 4 };

constexpr FwFloatLimit yLimit(unsigned i) {
  FwFloatLimit r = kValueLimit;
  r.attribute = vis::wordValueWord(kTemplate, kDp + i);
  return r;
}
constexpr FwFloatLimit kFloatLimits[] = {yLimit(0), yLimit(1)};
constexpr FwFloatLimit kLongLimits[] = {kValueLimit, kValueLimit, kValueLimit,
                                        kValueLimit, kValueLimit, kValueLimit};
constexpr FwShortLimit kValueLimits[] = {kDispLimit, kDispLimit, kDpLimit, kDpLimit,
                                         {.min = 0, .max = 1}};
constexpr FbLimitTable kLimits{
    .floatParams = kFloatLimits, .wordValues = kValueLimits, .longValues = kLongLimits};

float longValue(const FbLayout& L, unsigned k) { return std::bit_cast<float>(L.lv[k].get()); }

void refreshFromParams(const FbLayout& L, VbarPage& p) {
  for (unsigned i = 0; i < 2; ++i) {
    L.ao[i] = L.fp[i].get();
    p.op[i].value = L.fp[i].get();
  }
}

}  // namespace

void FB_VBAR_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BLK_TakeOverWordValues(L);
  vis::takeOverLongValues(L);
  VbarPage& p = BLK_WorkState<VbarPage>(L);
  p = VbarPage{};
  vis::initHeader(p.header, L, BLK_TYPE_VBAR, VBAR_DI_HIDE, VBAR_DI_LOCK, &p);
  vis::copyText(p.title, L, 0);
  for (unsigned i = 0; i < 2; ++i) {
    vis::copyShortText(p.name[i], L, 1 + 2 * i);
    vis::copyShortText(p.unit[i], L, 2 + 2 * i);
    const uint8_t dp = vis::recordByte(L.wv[kDp + i]), disp = vis::recordByte(L.wv[kDisp + i]);
    VbarValue& x = p.x[i];
    x.value = FW_ClampValue(BLK_AnalogIn(L, VBAR_AI_X1 + i));
    x.min = VIS_VALUE_MIN;
    x.max = VIS_VALUE_MAX;
    x.dp = dp;
    x.disp = disp;
    VbarBar& b = p.bar[i];
    b.value = FW_ClampValue(BLK_AnalogIn(L, VBAR_AI_BAR1 + i));
    b.start = longValue(L, 3 * i);
    b.end = longValue(L, 3 * i + 1);
    b.middle = longValue(L, 3 * i + 2);
    b.form = 3;
    VbarOperator& o = p.op[i];
    o.dp = dp;
    o.disp = disp;
    vis::takeRange(L.block, static_cast<uint16_t>(VBAR_AI_X1 + i + 1), kFloatLimits[i],
                   p.allpLow[i], p.allpHigh[i], o.min, o.max);
  }
  p.typ = L.wv[kTyp];
  for (FbF32& m : p.mark) m = VIS_NO_MARK;
  p.lastStore = BLK_DigitalIn(L, VBAR_DI_STORE);
  refreshFromParams(L, p);
  L.ao[VBAR_AO_BLNO] = static_cast<float>(L.block);
}

void FB_VBAR_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  VbarPage& p = BLK_WorkState<VbarPage>(L);
  vis::runHeader(p.header, L, VBAR_DI_HIDE, VBAR_DI_LOCK);
  for (unsigned i = 0; i < 2; ++i) {
    p.x[i].value = FW_ClampValue(BLK_AnalogIn(L, VBAR_AI_X1 + i));
    p.bar[i].value = FW_ClampValue(BLK_AnalogIn(L, VBAR_AI_BAR1 + i));
    vis::refreshRange(p.allpLow[i], p.allpHigh[i], p.op[i].min, p.op[i].max);
  }
  // An unwired mark input keeps "not shown".
  for (unsigned m = 0; m < 4; ++m) {
    if (BLK_AnalogWired(L, VBAR_AI_MARK11 + m)) {
      p.mark[m] = FW_ClampValue(BLK_AnalogIn(L, VBAR_AI_MARK11 + m));
    }
  }
  if (vis::risingEdge(p.lastStore, BLK_DigitalIn(L, VBAR_DI_STORE))) {
    for (unsigned i = 0; i < 2; ++i) vis::takeFloatParam(L, i, BLK_AnalogIn(L, VBAR_AI_X1 + i));
  }
  for (unsigned i = 0; i < 2; ++i) {
    VbarOperator& o = p.op[i];
    if (!o.changed) continue;
    o.changed = 0;
    if (!vis::takeFloatParam(L, i, o.value.get())) o.value = L.fp[i].get();
  }
  if (FB_ApplyPendingFloats(L.block) == FB_APPLY_SAVED) refreshFromParams(L, p);
}

namespace vis {

void registerVbarType() {
  static constexpr BlkTypeRow kRows[] = {
      {&kTemplate, FB_VBAR_Run, FB_VBAR_Init, FB_StandardParam, &kLimits, 3, kGroupPages},
  };
  BLK_RegisterTimeGroupTypes(kRows);
}

}  // namespace vis
