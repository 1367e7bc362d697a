#include "runtime/fb_values.h"

#include <cstring>

#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"
#include "runtime/fw_text.h"
#include "runtime/fw_text_ids.h"

FbValueLists g_fbValueLists{};
int (*g_fbEthernetPage)() = nullptr;

namespace {

int noCallback() { return 0; }

// Values that unconnected (or constant-wired) inputs read.
const float kConstOne = 1.0f;
const float kConstPosMax = 1.5e37f;
const float kConstNegMax = -1.5e37f;
const uint16_t kConstWordOne = 1;

const void* analogSource(uint32_t h) {
  if (h - 1u < FB_INSTANCE_HEAP_WORDS - 2u) return &g_fbStore.instanceHeap[h];
  switch (h) {
    case FB_REF_ONE: return &kConstOne;
    case FB_REF_POS_MAX: return &kConstPosMax;
    case FB_REF_NEG_MAX: return &kConstNegMax;
    default: return &g_fbUnconnectedFloat;
  }
}

const void* digitalSource(uint32_t h) {
  if (h - 1u < FB_INSTANCE_HEAP_WORDS - 1u) return &g_fbStore.instanceHeap[h];
  return h == FB_REF_ONE ? &kConstWordOne : &g_fbUnconnectedWord;
}

// Labels of a type's slots, walked once in slot order (analog inputs, digital inputs,
// analog outputs, digital outputs, float parameters, word parameters, long values, word
// values), so that a list is built in time proportional to the block's size.
constexpr uint32_t kMaxLabels = 4096;
uint16_t g_labels[kMaxLabels];

void walkLabels(uint16_t type, uint32_t slots) {
  if (slots > kMaxLabels) slots = kMaxLabels;
  std::memset(g_labels, 0, slots * sizeof(uint16_t));
  if (type >= 256 || !FB_GetType(type) || g_fbLabelListStart[type] == 0) return;
  uint32_t id = g_fbLabelListStart[type];
  for (uint32_t s = 0; s < slots; ++s) {
    if (s > 0) {
      const uint16_t c = FW_GetTextCode(id + 1);   // the label passed: skip its choices
      if (c != 0) id += c + 1u;
    }
    if (++id >= FW_TEXT_COUNT) return;
    g_labels[s] = static_cast<uint16_t>(id);
  }
}

uint16_t labelOf(uint32_t slot) { return slot < kMaxLabels ? g_labels[slot] : 0; }

// The list being built.
struct Builder {
  FbValueLists& lists = g_fbValueLists;
  uint16_t n = 0;

  bool full() const { return n >= FB_VALUE_ROWS; }

  FbListRow* row(uint16_t flags, uint16_t sub, uint16_t text) {
    if (full()) return nullptr;
    FbListRow& r = lists.rows[n];
    r = FbListRow{};
    r.flags = flags;
    r.sub = sub;
    r.textId = text;
    ++n;
    return &r;
  }

  FbValueEntry* entry(FbListRow* r, uint8_t kind, const void* value, FbParamHandler handler,
                      const void* limits, uint16_t block) {
    if (!r) return nullptr;
    FbValueEntry& e = lists.entries[r - lists.rows];
    e = FbValueEntry{};
    e.kind = kind;
    e.value = const_cast<void*>(value);
    e.handler = handler;
    e.limits = limits;
    e.block = block;
    r->entry = &e;
    return &e;
  }

  const FbFloatLimitData* floatLimits(FbListRow* r, const FwFloatLimit* rec, const FbLayout& L) {
    if (!r || !rec) return nullptr;
    FbFloatLimitData& d = lists.floatLimits[r - lists.rows];
    d = FbFloatLimitData{rec->min, rec->max, rec->minFn, rec->maxFn, nullptr, rec->attribute};
    if (rec->attribute <= 3) {
      d.attribute = &d.ownAttribute;
    } else if (rec->attribute < L.size) {
      d.attribute = &L.base[rec->attribute];
    }
    return &d;
  }

  void finish() {
    if (n == 0) {
      row(FB_ROW_LAST, 0, FW_TXT_END);
    } else {
      lists.rows[n - 1].flags |= FB_ROW_LAST;
    }
    lists.rowCount = n;
  }
};

template <typename R>
const R* recordAt(std::span<const R> records, uint32_t k) {
  return k < records.size() ? &records[k] : nullptr;
}

void addWordParam(Builder& b, const FbLayout& L, const FbLimitTable& t, FbParamHandler h,
                  uint16_t k, uint16_t label, const char* ownText = nullptr) {
  FbListRow* r = b.row(FB_ROW_LINE, static_cast<uint16_t>(FB_ID_WORD + k), label);
  if (!r) return;
  r->ownText = ownText;
  b.entry(r, FB_KIND_WORD, &L.wp[L.wordParams + k], h, recordAt(t.wordParams, k), L.block);
}

void addFloatParam(Builder& b, const FbLayout& L, const FbLimitTable& t, FbParamHandler h,
                   uint16_t k, uint16_t label, const char* ownText = nullptr) {
  FbListRow* r = b.row(FB_ROW_LINE, static_cast<uint16_t>(FB_ID_FLOAT + k), label);
  if (!r) return;
  r->ownText = ownText;
  b.entry(r, FB_KIND_FLOAT, &L.fp[L.floatParams + k], h,
          b.floatLimits(r, recordAt(t.floatParams, k), L), L.block);
}

struct TypeInfo {
  FbLimitTable limits;
  FbParamHandler handler = nullptr;
};

TypeInfo typeInfo(uint16_t type) {
  TypeInfo info;
  if (const FbTypeRecord* rec = FB_GetType(type)) {
    if (rec->limits) info.limits = *rec->limits;
    info.handler = rec->param;
  }
  return info;
}

void buildInputsOutputs(Builder& b, const FbLayout& L) {
  walkLabels(L.type, uint32_t{L.analogInputs} + L.digitalInputs + L.analogOutputs + L.digitalOutputs);
  uint32_t slot = 0;
  for (uint16_t i = 0; i < L.analogInputs; ++i) {
    b.entry(b.row(FB_ROW_LINE, FB_SUB_ANALOG_IN, labelOf(slot++)), FB_KIND_ANALOG,
            analogSource(L.ai[i]), nullptr, nullptr, L.block);
  }
  for (uint16_t i = 0; i < L.digitalInputs; ++i) {
    b.entry(b.row(FB_ROW_LINE, FB_SUB_DIGITAL_IN, labelOf(slot++)), FB_KIND_DIGITAL,
            digitalSource(L.di[i]), nullptr, nullptr, L.block);
  }
  for (uint16_t i = 0; i < L.analogOutputs; ++i) {
    b.entry(b.row(FB_ROW_LINE, FB_SUB_ANALOG_OUT, labelOf(slot++)), FB_KIND_ANALOG, &L.ao[i],
            nullptr, nullptr, L.block);
  }
  for (uint16_t i = 0; i < L.digitalOutputs; ++i) {
    b.entry(b.row(FB_ROW_LINE, FB_SUB_DIGITAL_OUT, labelOf(slot++)), FB_KIND_DIGITAL, &L.dout[i],
            nullptr, nullptr, L.block);
  }
}

void buildParameters(Builder& b, const FbLayout& L) {
  const uint32_t io = uint32_t{L.analogInputs} + L.digitalInputs + L.analogOutputs + L.digitalOutputs;
  walkLabels(L.type, io + L.floatParams + L.wordParams);
  const TypeInfo t = typeInfo(L.type);
  for (uint16_t k = 0; k < L.wordParams; ++k) {
    addWordParam(b, L, t.limits, t.handler, k, labelOf(io + L.floatParams + k));
  }
  for (uint16_t k = 0; k < L.floatParams; ++k) {
    addFloatParam(b, L, t.limits, t.handler, k, labelOf(io + k));
  }
}

void buildValues(Builder& b, const FbLayout& L) {
  const uint32_t beforeLong = uint32_t{L.analogInputs} + L.digitalInputs + L.analogOutputs +
                              L.digitalOutputs + L.floatParams + L.wordParams;
  walkLabels(L.type, beforeLong + L.longValues + L.wordValues);
  const TypeInfo t = typeInfo(L.type);
  for (uint16_t k = 0; k < L.wordValues; ++k) {
    FbListRow* r = b.row(FB_ROW_LINE, static_cast<uint16_t>(FB_ID_WORD_VALUE + k),
                         labelOf(beforeLong + L.longValues + k));
    b.entry(r, FB_KIND_WORD, &L.wv[L.wordValues + k], t.handler, recordAt(t.limits.wordValues, k),
            L.block);
  }
  for (uint16_t k = 0; k < L.longValues; ++k) {
    FbListRow* r = b.row(FB_ROW_LINE, static_cast<uint16_t>(FB_ID_LONG_VALUE + k),
                         labelOf(beforeLong + k));
    b.entry(r, FB_KIND_FLOAT, &L.lv[L.longValues + k], t.handler,
            b.floatLimits(r, recordAt(t.limits.longValues, k), L), L.block);
  }
}

void buildParamPage(Builder& b, const FbLayout& page) {
  const auto* data = static_cast<const FbParamPage*>(g_fbStore.list[page.block].pageData);
  if (!data || page.type != FB_TYPE_VPARA || data->type != FB_TYPE_VPARA) return;
  for (uint32_t i = 0; i < FB_PARAM_PAGE_LINES; ++i) {
    const FbParamPageLine& line = data->lines[i];
    if (line.block == 0) {
      b.row(FB_ROW_LINE, 0, 0);
      continue;
    }
    const uint16_t rowsBefore = b.n;
    FbLayout target;
    if (FB_GetLayout(line.block, &target) && line.item >= 1) {
      const TypeInfo t = typeInfo(target.type);
      if (line.item <= target.wordParams) {
        addWordParam(b, target, t.limits, t.handler, static_cast<uint16_t>(line.item - 1), 0,
                     line.text);
      } else if (line.item - target.wordParams <= target.floatParams) {
        addFloatParam(b, target, t.limits, t.handler,
                      static_cast<uint16_t>(line.item - target.wordParams - 1), 0, line.text);
      }
    }
    if (b.n == rowsBefore) {
      if (FbListRow* r = b.row(FB_ROW_TEXT_ONLY, 0, 0)) r->ownText = line.text;
    }
    if (b.n > rowsBefore && i < page.analogInputs) {
      b.lists.rows[b.n - 1].pageInput = analogSource(page.ai[i]);
    }
  }
}

void buildSystemData(Builder& b) {
  const FbTypeRecord* rec = FB_GetType(0);
  walkLabels(0, rec ? rec->wordValues : 0);
  uint16_t id = FB_ID_WORD_VALUE;
  for (uint16_t k = 0; k < FW_SH_COUNT; ++k, ++id) {
    b.entry(b.row(FB_ROW_LINE, id, labelOf(k)), FB_KIND_WORD, &g_fwSys.shadow[k],
            FW_WriteSystemData, recordAt(g_fwSystemLimits.wordValues, k), 0);
  }
  if (g_fwRunMode == FW_RUN_MODE_STOP) {
    static const FwShortLimit kDhLimit{.min = 0, .max = 1};
    b.entry(b.row(FB_ROW_LINE, id++, FW_TXT_DH_SWITCH), FB_KIND_WORD, &g_fwDhSwitchCopy,
            FW_SetDhSwitch, &kDhLimit, 0);
  }
  if (FW_SysImage()[FW_SYS_ORDER_DIGITS + 2] >= '1') {
    if (FbListRow* r = b.row(FB_ROW_PAGE, id, FW_TXT_ETHERNET)) r->pageProc = g_fbEthernetPage;
  }
}

}  // namespace

void FB_ReadValuesByClass(int32_t cls, uint16_t block, int16_t* status) {
  int16_t unused = 0;
  if (!status) status = &unused;
  if (cls < 0 || cls > 3) {
    *status = -2;
    return;
  }
  FbLayout L;
  if (block != 0 && !FB_GetLayout(block, &L)) {
    *status = -1;
    return;
  }
  FbValueLists& lists = g_fbValueLists;
  lists.header = FbListHeader{FB_LIST_HEADER_FLAGS, 0, noCallback, 0, 0, lists.rows, 0};
  Builder b;
  if (block == 0) {
    if (cls == 2) buildSystemData(b);
  } else {
    switch (cls) {
      case 0: buildInputsOutputs(b, L); break;
      case 1: buildParameters(b, L); break;
      case 2: buildValues(b, L); break;
      default: buildParamPage(b, L); break;
    }
  }
  b.finish();
  lists.header.capacity = lists.rowCount;
  *status = 1;
}

// ---------------------------------------------------------------------------------------
// Field accessors

namespace {
bool isFloat(const FbValueEntry* e) { return e && (e->kind == FB_KIND_FLOAT || e->kind == FB_KIND_ANALOG); }

int16_t currentShort(const FbValueEntry* e) {
  uint16_t v = 0;
  if (e->value) std::memcpy(&v, e->value, sizeof v);
  return static_cast<int16_t>(v);
}
}  // namespace

int FW_GetFieldAccess(const FbValueEntry* entry) {
  if (!isFloat(entry) || !entry->limits) return 3;
  const auto* d = static_cast<const FbFloatLimitData*>(entry->limits);
  return d->attribute ? (*d->attribute & 3) : 3;
}

float FW_GetFieldMaxFloat(const FbValueEntry* entry) {
  if (!isFloat(entry) || !entry->limits) return 0.0f;
  const auto* d = static_cast<const FbFloatLimitData*>(entry->limits);
  return d->maxFn ? d->maxFn(entry->block) : d->max;
}

float FW_GetFieldMinFloat(const FbValueEntry* entry, bool* offAllowed) {
  if (offAllowed) *offAllowed = false;
  if (!isFloat(entry) || !entry->limits) return 0.0f;
  const auto* d = static_cast<const FbFloatLimitData*>(entry->limits);
  if (offAllowed) *offAllowed = d->min == FW_NO_VALUE;
  return d->minFn ? d->minFn(entry->block) : d->min;
}

int16_t FW_GetFieldMaxShort(const FbValueEntry* entry) {
  if (!entry || isFloat(entry) || !entry->limits) return 0;
  const auto* r = static_cast<const FwShortLimit*>(entry->limits);
  if (r->min == FW_LIMIT_DISCRETE) return FW_LIMIT_DISCRETE;
  return r->maxFn ? r->maxFn(entry->block, currentShort(entry)) : r->max;
}

int16_t FW_GetFieldMinShort(const FbValueEntry* entry, bool* offAllowed) {
  if (offAllowed) *offAllowed = false;
  if (!entry || isFloat(entry) || !entry->limits) return 0;
  const auto* r = static_cast<const FwShortLimit*>(entry->limits);
  if (offAllowed) *offAllowed = r->min == FW_NO_VALUE_S;
  if (r->min == FW_LIMIT_DISCRETE) return FW_LIMIT_DISCRETE;
  return r->minFn ? r->minFn(entry->block, currentShort(entry)) : r->min;
}
