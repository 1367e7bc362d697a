#include "opui/op_valarm.h"

#include <cstring>

#include "blocks/block_family.h"
#include "opui/op_display.h"
#include "runtime/fb_blockdata.h"
#include "runtime/fb_param.h"

OpAlarmCollector g_opAlarms;

namespace {

// --- Type row ---------------------------------------------------------------------------------

constexpr const char* kTexts[] = {"VALARM", "VALARM"};
constexpr uint16_t kWordValues[OP_ALARM_INPUTS] = {};
constexpr FbTemplate kTemplate = FB_SizedTemplate(FbTemplate{
    .type = OP_TYPE_VALARM, .analogOutputs = 1, .digitalOutputs = OP_ALARM_INPUTS,
    .analogInputs = OP_ALARM_TEXT_LISTS, .digitalInputs = OP_ALARM_INPUTS + 1,
    .wordValues = kWordValues, .texts = kTexts, .workWords = BLK_WorkWordsOf<ValarmState>()});

constexpr FwShortLimit kWord{0, 1};
constexpr FwShortLimit kWordLimits[OP_ALARM_INPUTS] = {kWord, kWord, kWord, kWord,
                                                       kWord, kWord, kWord, kWord};
constexpr FbLimitTable kLimits{.wordValues = kWordLimits};
constexpr FbBlockRange kBlocks[] = {
    {OP_ALARM_FIRST_BLOCK, OP_ALARM_FIRST_BLOCK + OP_ALARM_SLOTS - 1}, {0, 0}};
constexpr uint16_t kWeight = 2, kGroupPages = 17;

constexpr int16_t kIdNoLongValue = FB_ID_LONG_VALUE;   // VALARM has no 4-byte values

ValarmState* currentState(FbLayout& L) {
  if (!FB_CurrentLayout(&L) || L.type != OP_TYPE_VALARM || L.workWords < BLK_WorkWordsOf<ValarmState>()) {
    return nullptr;
  }
  return &BLK_WorkState<ValarmState>(L);
}

int slotOf(uint16_t block) {
  const int i = block - OP_ALARM_FIRST_BLOCK;
  return i >= 0 && i < OP_ALARM_SLOTS ? i : -1;
}

// The numbers of the alarms that are not inactive become 1, 2, ... in their old order; the
// inactive ones lose theirs. The counter is then the next free number.
void renumber() {
  struct Numbered {
    uint8_t* number;
    uint8_t old;
  };
  Numbered list[OP_ALARM_SLOTS * OP_ALARM_INPUTS];
  int n = 0;
  for (ValarmState* s : g_opAlarms.slot) {
    if (!s) continue;
    for (int k = 0; k < OP_ALARM_INPUTS; ++k) {
      if (s->state[k] == OP_ALARM_NONE) {
        s->number[k] = 0;
      } else if (s->number[k]) {
        // Insertion in the order of the old numbers.
        int at = n++;
        while (at > 0 && list[at - 1].old > s->number[k]) {
          list[at] = list[at - 1];
          --at;
        }
        list[at] = {&s->number[k], s->number[k]};
      }
    }
  }
  for (int i = 0; i < n; ++i) *list[i].number = static_cast<uint8_t>(i + 1);
  g_opAlarms.counter = static_cast<uint8_t>(n + 1);
  g_opAlarms.acknowledged = 0;
}

// The indication of all slots: the blinking of an alarm not yet acknowledged, the steady
// icon of acknowledged ones.
void indicate() {
  OpAlarmCollector& a = g_opAlarms;
  bool unacknowledged = false, acknowledged = false, present = false;
  for (const ValarmState* s : a.slot) {
    if (!s) continue;
    for (uint8_t st : s->state) {
      unacknowledged |= st == OP_ALARM_ACTIVE || st == OP_ALARM_GONE;
      acknowledged |= st == OP_ALARM_ACKED;
      present |= st != OP_ALARM_NONE;
    }
  }
  a.unacknowledged = unacknowledged ? 1 : 0;
  a.present = present ? 1 : 0;
  if (unacknowledged) {
    a.blinkPhase = static_cast<uint8_t>((a.blinkPhase + 1) % OP_ALARM_BLINK_PHASES);
    g_opStatusIcon.request = 1;
    g_opStatusIcon.lit = a.blinkPhase < OP_ALARM_BLINK_PHASES / 2 ? 1 : 0;
  } else {
    a.blinkPhase = 0;
    g_opStatusIcon.request = acknowledged ? 1 : 0;
    g_opStatusIcon.lit = acknowledged ? 1 : 0;
  }
  // An alarm that waits for its acknowledgement keeps the display awake.
  OpAlarmDisplayFlags[0] = a.unacknowledged;
}

}  // namespace

ValarmState* OP_AlarmStateOf(uint16_t block) {
  if (slotOf(block) < 0) return nullptr;
  return BLK_StateOf<ValarmState>(block, OP_TYPE_VALARM);
}

void FB_VALARM_Init() {
  FbLayout L;
  ValarmState* s = currentState(L);
  if (!s) return;
  OpAlarmCollector& a = g_opAlarms;
  BLK_TakeOverWordValues(L);
  // The slot table and the last alarm block, from the blocks the engineering holds.
  uint16_t last = 0;
  for (int i = 0; i < OP_ALARM_SLOTS; ++i) {
    const uint16_t block = static_cast<uint16_t>(OP_ALARM_FIRST_BLOCK + i);
    a.slot[i] = OP_AlarmStateOf(block);
    if (a.slot[i]) last = block;
  }
  // The pending copy of the tag starts as the tag.
  std::memcpy(L.text + (VALARM_TEXT_PENDING - 1) * FB_TEXT_LEN, L.text + (VALARM_TEXT_TAG - 1) * FB_TEXT_LEN,
              FB_TEXT_LEN);
  *s = ValarmState{};
  s->header.type = OP_TYPE_VALARM;
  s->lastBlock = last;
  for (int i = 0; i < OP_ALARM_TEXT_LISTS; ++i) {
    uint16_t source = 0, output = 0;
    FB_GetInputSource(L.block, static_cast<uint16_t>(VALARM_IN_TEXT1 + i), &source, &output);
    s->textBlock[i] = source;
  }
  a.counter = 1;
  a.acknowledged = 0;
  for (unsigned k = 0; k < L.digitalOutputs; ++k) L.dout[k] = 0;
  L.ao[VALARM_OUT_BLOCK - 1] = static_cast<float>(L.block);
  g_fbStore.list[L.block].pageData = &s->header;
}

void FB_VALARM_Run() {
  FbLayout L;
  ValarmState* s = currentState(L);
  if (!s) return;
  OpAlarmCollector& a = g_opAlarms;
  const bool ack = BLK_DigitalIn(L, VALARM_IN_ACK - 1) != 0;
  s->ackHeld = ack ? 1 : 0;
  for (int k = 0; k < OP_ALARM_INPUTS; ++k) {
    const bool in = BLK_DigitalIn(L, static_cast<unsigned>(k)) != 0;
    const uint8_t before = s->state[k];
    uint8_t& st = s->state[k];
    if (ack) {
      st = in ? OP_ALARM_ACKED : OP_ALARM_NONE;
    } else if (in && (st == OP_ALARM_NONE || st == OP_ALARM_GONE)) {
      st = OP_ALARM_ACTIVE;
    } else if (!in && st == OP_ALARM_ACTIVE) {
      st = OP_ALARM_GONE;
    } else if (!in && st == OP_ALARM_ACKED) {
      st = OP_ALARM_NONE;
    }
    // The page acknowledged the alarm itself: counted here.
    if (s->ackRequest[k]) {
      s->ackRequest[k] = 0;
      if (a.acknowledged < 0xFF) ++a.acknowledged;
    }
    if (before == OP_ALARM_NONE && st != OP_ALARM_NONE) {
      s->number[k] = a.counter;
      if (a.counter < OP_ALARM_MAX_NUMBER) ++a.counter;
    } else if (before != OP_ALARM_NONE && st == OP_ALARM_NONE) {
      if (a.acknowledged < 0xFF) ++a.acknowledged;
    }
    L.dout[k] = st & 1u;
  }
  if (L.block == s->lastBlock) {
    if (a.acknowledged) renumber();
    indicate();
  }
  s->numbered = static_cast<uint16_t>(a.counter - 1);
}

uint8_t FB_VALARM_Param(FbParamRequest* request, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  const uint16_t block = request->block();
  const int16_t id = request->id();
  if (id >= FB_ID_WORD_VALUE && id < FB_ID_WORD_VALUE + OP_ALARM_INPUTS) {
    const uint8_t r = FB_ParamWordValue(block, static_cast<uint16_t>(id - FB_ID_WORD_VALUE),
                                        request->u16(FB_REQUEST_VALUE));
    if (r == FB_ERR_LIMITS && badIndex) *badIndex = 1;
    return r;
  }
  if (id == kIdNoLongValue) return FB_ERR_LIMITS;
  if (id == FB_ID_WHOLE_SET) return FB_CheckRequestHeader(request, 1, 0);
  if (id == FB_ID_ALL_VALUES) {
    const uint8_t r = FB_ParamAllValues(request, badIndex);
    if (r != FB_OK) return r;
    // The whole configuration also takes the tag as written over.
    char* tag = nullptr;
    char* pending = nullptr;
    if (FB_GetTextParamPtr(block, VALARM_TEXT_TAG, &tag) && FB_GetTextParamPtr(block, VALARM_TEXT_PENDING, &pending)) {
      std::memcpy(tag, pending, FB_TEXT_LEN);
    }
    return FB_OK;
  }
  return FB_ERR_UNKNOWN_ID;
}

void OP_RegisterAlarmTypes() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kTemplate, FB_VALARM_Run, FB_VALARM_Init, FB_VALARM_Param, &kLimits, kWeight, kGroupPages},
       kBlocks, OP_ALARM_FIRST_BLOCK},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}
