// VWERT: a page of up to six rows, each showing its inputs and carrying an operator setting:
// a float "Y i" for analog, time and text rows, a word "z i" (0 or 1) for the switch rows.
#include <cmath>

#include "blocks/trig/trig.h"
#include "blocks/visual/visual_internal.h"
#include "runtime/fb_blockdata.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"

using vis::kDispLimit;
using vis::kDpLimit;
using vis::kValueLimit;

namespace {

constexpr unsigned kRows = VWERT_ROWS;

constexpr const char* kTexts[] = {"VWERT",  "Name_1", "Unit_1", "Name_2", "Unit_2",
                                  "Name_3", "Unit_3", "Name_4", "Unit_4", "Name_5",
                                  "Unit_5", "Name_6", "Unit_6"};
constexpr float kFloats[kRows] = {};
constexpr uint16_t kWords[kRows] = {};
// Disp 1..6 (shown only), Mode 1..6 (analog), Dp 1..6.
constexpr uint16_t kValues[3 * kRows] = {1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr FbTemplate kTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_VWERT, .analogOutputs = kRows + 2, .digitalOutputs = kRows + 1,
     .analogInputs = kRows + 1, .digitalInputs = kRows + 3, .floatParams = kFloats,
     .wordParams = kWords, .wordValues = kValues, .texts = kTexts,
     .workWords = BLK_WorkWordsOf<VwertPage>()});

// Word values by row.
constexpr unsigned kDisp = 0, kMode = kRows, kDp = 2 * kRows;

// "Y i" shows the decimals "Dp i".
constexpr FwFloatLimit yLimit(unsigned i) {
  FwFloatLimit r = kValueLimit;
  r.attribute = vis::wordValueWord(kTemplate, kDp + i);
  return r;
}
constexpr FwFloatLimit kFloatLimits[kRows] = {yLimit(0), yLimit(1), yLimit(2),
                                              yLimit(3), yLimit(4), yLimit(5)};
constexpr FwShortLimit kSwitch{.min = 0, .max = 1};
constexpr FwShortLimit kWordLimits[kRows] = {kSwitch, kSwitch, kSwitch, kSwitch, kSwitch, kSwitch};
constexpr FwShortLimit kModeLimit{.min = VWERT_MODE_ANALOG, .max = VWERT_MODE_MENU};
constexpr FwShortLimit kValueLimits[3 * kRows] = {
    kDispLimit, kDispLimit, kDispLimit, kDispLimit, kDispLimit, kDispLimit,
    kModeLimit, kModeLimit, kModeLimit, kModeLimit, kModeLimit, kModeLimit,
    kDpLimit,   kDpLimit,   kDpLimit,   kDpLimit,   kDpLimit,   kDpLimit};
constexpr FbLimitTable kLimits{
    .wordParams = kWordLimits, .floatParams = kFloatLimits, .wordValues = kValueLimits};

uint16_t modeOf(const FbLayout& L, unsigned i) { return L.wv[kMode + i]; }

// The rows of the radio group that row i belongs to: the run of consecutive radio rows
// around it, [first, last].
void radioGroup(const FbLayout& L, unsigned i, unsigned* first, unsigned* last) {
  *first = *last = i;
  while (*first > 0 && modeOf(L, *first - 1) == VWERT_MODE_RADIO) --*first;
  while (*last + 1 < kRows && modeOf(L, *last + 1) == VWERT_MODE_RADIO) ++*last;
}

// Outputs and the page's operator values from the parameters.
void refreshFromParams(const FbLayout& L, VwertPage& p) {
  for (unsigned i = 0; i < kRows; ++i) {
    L.ao[i] = L.fp[i].get();
    L.dout[i] = L.wp[i];
    p.rows[i].value = L.fp[i].get();
    p.rows[i].word = L.wp[i];
  }
}

// The successor recorded earlier (by its own Init) stays while it is still a VWERT whose
// "Casc" takes this block's "Bl-no".
uint16_t keptSuccessor(uint16_t block, uint16_t successor) {
  uint16_t source = 0, output = 0;
  if (successor == 0 || successor == block ||
      FB_GetInputSource(successor, VWERT_AI_CASC + 1, &source, &output) != BLK_TYPE_VWERT ||
      source != block || output != VWERT_AO_BLNO + 1) {
    return 0;
  }
  return successor;
}

void takeRow(const FbLayout& L, VwertPage& p, unsigned i) {
  VwertRow& r = p.rows[i];
  r.mode = vis::recordByte(modeOf(L, i));
  r.digital = BLK_DigitalIn(L, VWERT_DI_D1 + i);
  r.analog = FW_ClampValue(BLK_AnalogIn(L, i));
  r.word = L.wp[i];
  r.wordDisp = vis::recordByte(L.wv[kDisp + i]);
  r.value = L.fp[i].get();
  r.dp = vis::recordByte(L.wv[kDp + i]);
  r.disp = r.wordDisp;
  vis::copyText(r.name, L, 1 + 2 * i);
  vis::copyText(r.unit, L, 2 + 2 * i);
  const auto input = static_cast<uint16_t>(i + 1);
  uint16_t texts = 0;
  if (r.mode == VWERT_MODE_TEXT) {
    texts = BLK_WalkSources(L.block, input, BLK_TYPE_TEXT, 0, TEXT_IN_CASC, 0, p.textChain[i],
                            VWERT_TEXT_CHAIN);
  }
  if (texts > 0) {
    // Each TEXT block holds four texts.
    r.min = 1.0f;
    r.max = static_cast<float>(TEXT_TEXT_COUNT * texts);
  } else {
    vis::takeRange(L.block, input, kFloatLimits[i], p.allpLow[i], p.allpHigh[i], r.min, r.max);
  }
}

}  // namespace

void FB_VWERT_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BLK_TakeOverWordValues(L);
  VwertPage& p = BLK_WorkState<VwertPage>(L);
  const uint16_t successor = keptSuccessor(L.block, p.successor);
  p = VwertPage{};
  vis::initHeader(p.header, L, BLK_TYPE_VWERT, VWERT_DI_HIDE, VWERT_DI_LOCK, &p);
  vis::copyText(p.title, L, 0);
  for (unsigned i = 0; i < kRows; ++i) takeRow(L, p, i);
  p.successor = successor;
  uint16_t source = 0, output = 0;
  if (FB_GetInputSource(L.block, VWERT_AI_CASC + 1, &source, &output) == BLK_TYPE_VWERT &&
      output == VWERT_AO_BLNO + 1 && source != L.block) {
    p.predecessor = source;
    if (VwertPage* before = BLK_StateOf<VwertPage>(source, BLK_TYPE_VWERT)) {
      before->successor = L.block;
    }
  }
  p.lastStore = BLK_DigitalIn(L, VWERT_DI_STORE);
  refreshFromParams(L, p);
  L.ao[VWERT_AO_BLNO] = static_cast<float>(L.block);
  L.ao[VWERT_AO_LINE] = 0.0f;
  L.dout[VWERT_DO_CHANGE] = 0;
}

void FB_VWERT_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  VwertPage& p = BLK_WorkState<VwertPage>(L);
  vis::runHeader(p.header, L, VWERT_DI_HIDE, VWERT_DI_LOCK);
  for (unsigned i = 0; i < kRows; ++i) {
    VwertRow& r = p.rows[i];
    r.digital = BLK_DigitalIn(L, VWERT_DI_D1 + i);
    r.analog = FW_ClampValue(BLK_AnalogIn(L, i));
    vis::refreshRange(p.allpLow[i], p.allpHigh[i], r.min, r.max);
  }

  // The operator's changes on the page. A value the parameter's limits refuse is not taken;
  // the page shows the parameter again.
  uint16_t change = 0, line = 0;
  for (unsigned i = 0; i < kRows; ++i) {
    VwertRow& r = p.rows[i];
    if (r.wordChanged) {
      r.wordChanged = 0;
      if (vis::takeWordParam(L, i, r.word)) {
        change = 1;
        if (!(modeOf(L, i) == VWERT_MODE_RADIO && r.word == 0)) line = static_cast<uint16_t>(i + 1);
      } else {
        r.word = L.wp[i];
      }
    }
    if (r.valueChanged) {
      r.valueChanged = 0;
      if (vis::takeFloatParam(L, i, r.value.get())) {
        change = 1;
        line = static_cast<uint16_t>(i + 1);
      } else {
        r.value = L.fp[i].get();
      }
    }
  }
  L.dout[VWERT_DO_CHANGE] = change;
  L.ao[VWERT_AO_LINE] = static_cast<float>(line);

  // "store": the inputs become the settings, each as far as its limits allow.
  if (vis::risingEdge(p.lastStore, BLK_DigitalIn(L, VWERT_DI_STORE))) {
    for (unsigned i = 0; i < kRows; ++i) {
      vis::takeWordParam(L, i, BLK_DigitalIn(L, VWERT_DI_D1 + i));
      vis::takeFloatParam(L, i, BLK_AnalogIn(L, i));
    }
  }

  // Changes are applied and saved; once queued, outputs and page follow the parameters.
  if (FB_ApplyPendingFloats(L.block) == FB_APPLY_SAVED && !g_fbPending.words[L.block]) {
    refreshFromParams(L, p);
  }
  if (FB_ApplyPendingWords(L.block) == FB_APPLY_SAVED && !g_fbPending.floats[L.block]) {
    refreshFromParams(L, p);
  }
}

// Word parameters follow the rows' modes: a 1 in a radio row clears the other rows of its
// group, and a push-button row's pending value drops back to 0.
uint8_t FB_VWERT_Param(FbParamRequest* r, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  if (!r) return FB_ERR_UNKNOWN_ID;
  const int16_t id = r->id();
  if (id < FB_ID_WORD || id >= FB_ID_WORD + static_cast<int16_t>(kRows)) {
    return FB_StandardParam(r, badIndex);
  }
  FbLayout L;
  if (!FB_GetLayout(r->block(), &L) || L.type != BLK_TYPE_VWERT) return FB_ERR_NO_BLOCK;
  const auto k = static_cast<unsigned>(id - FB_ID_WORD);
  const uint16_t value = r->u16(FB_REQUEST_VALUE);
  const bool same = L.wp[kRows + k] == value;
  const uint8_t result = FB_ParamWord(L.block, static_cast<uint16_t>(k), value);
  if (result != FB_OK || same || value == 0) return result;
  switch (modeOf(L, k)) {
    case VWERT_MODE_RADIO: {
      unsigned first = 0, last = 0;
      radioGroup(L, k, &first, &last);
      for (unsigned j = first; j <= last; ++j) {
        if (j == k) continue;
        L.wp[kRows + j] = 0;
        if (!FW_IsRunning()) L.wp[j] = 0;   // stopped: the pending copies apply at once
      }
      break;
    }
    case VWERT_MODE_BUTTON:
      L.wp[kRows + k] = 0;
      break;
    default:
      break;
  }
  return FB_OK;
}

namespace vis {

void registerVwertType() {
  static constexpr BlkTypeRow kRowsOfType[] = {
      {&kTemplate, FB_VWERT_Run, FB_VWERT_Init, FB_VWERT_Param, &kLimits, 4, kGroupPages},
  };
  BLK_RegisterTimeGroupTypes(kRowsOfType);
}

}  // namespace vis
