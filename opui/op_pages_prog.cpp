#include "opui/op_pages_prog.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "blocks/prog/prog_page.h"
#include "opui/op_blockpage.h"
#include "opui/op_editor.h"
#include "opui/op_field_editor.h"
#include "opui/op_format.h"
#include "opui/op_keys.h"
#include "opui/op_services.h"
#include "runtime/fb_param.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_text.h"
#include "runtime/fw_text_ids.h"

OpSegmentTable g_opSegmentTable;

namespace {

// --- Rows ------------------------------------------------------------------------------------

// Rows of the programmer page (text screen 2).
enum : uint8_t {
  kRowProgram = 0, kRowPv = 1, kRowSegment = 2, kRowOutput = 3, kRowTracks = 4, kRowRange = 5,
  kRowSegRemLabel = 6, kRowSegRem = 7, kRowRunLabel = 8, kRowRun = 9, kRowRemLabel = 10, kRowRem = 11,
  kRowMode = 12, kRowHalt = 13, kRowState = 14,
};
constexpr int kNumberChars = 7, kRangeChars = 10, kTimeChars = 9;
constexpr int kStates = 10, kModes = 2, kHalts = 2, kSegmentTypes = 8;
constexpr int kSegmentColumn = 8;              // "Segment:%3d"
constexpr int kModeChars = 8, kStateChars = 7; // the longest texts ("manual  ", "program")

constexpr OpTextRow* row(int i) { return &g_opPageRows.rows[i]; }

// Screen positions of the fields: program, segment, output, mode, state.
constexpr OpRect kRects[] = {
    {0, 60, 320, 22}, {160, 82, 160, 22}, {0, 104, 160, 22}, {0, 214, 107, 22}, {213, 214, 107, 22},
};

// --- The programmer -----------------------------------------------------------------------------

// The records of the page's programmer; `page` is null for another block.
ProgPageRecords pageRecords() { return PROG_PageRecordsOf(g_opBlockPage.block); }
ProgPage* pageRecord() { return pageRecords().page; }
bool isDigital(const ProgPage& p) { return p.outputKind.get() == PROG_KIND_DIGITAL; }
bool noValue(float v) { return v == FW_NO_VALUE; }

// A time of the programmer's unit (0: minutes, shown hours:minutes:seconds; 1: seconds,
// shown minutes:seconds) in the page's field width.
void timeText(char* out, int outlen, float value, bool seconds, bool up) {
  OP_ProgTimeText(out, outlen, value, seconds, up, kTimeChars);
}

// --- Edit targets of the page's fields -------------------------------------------------------------
// The fields carry values of their own, loaded from the page record when a field is entered;
// the finished value becomes the record's request.

float g_presetValue, g_manualValue;
uint16_t g_commandValue;
FbFloatLimitData g_presetLimits{1, 999, nullptr, nullptr, &g_presetLimits.ownAttribute, 0};
FbFloatLimitData g_manualLimits{0, 100, nullptr, nullptr, &g_manualLimits.ownAttribute, 1};

// The commands the block offers now, as a discrete set.
bool commandOffered(uint16_t block, int command) {
  const uint16_t control = PROG_PageControl(block);
  switch (command) {
    case PROG_CMD_STOP:
    case PROG_CMD_RUN: return (control & PROG_OFFER_RUN_STOP) != 0;
    case PROG_CMD_RESET: return (control & PROG_OFFER_RESET) != 0;
    case PROG_CMD_SEARCH: return PROG_PageSearch(block) != 0;
    default: return false;
  }
}
int16_t commandItself(uint16_t block, int16_t value) { return commandOffered(block, value) ? value : -1; }
int16_t noCommand(uint16_t, int16_t) { return -1; }
const FwShortLimit kCommandLimits{FW_LIMIT_DISCRETE, FW_LIMIT_DISCRETE, noCommand, commandItself};

FbValueEntry g_presetEntry{FB_KIND_FLOAT, 0, &g_presetValue, nullptr, &g_presetLimits, 0, 0};
FbValueEntry g_manualEntry{FB_KIND_FLOAT, 0, &g_manualValue, nullptr, &g_manualLimits, 0, 0};
FbValueEntry g_commandEntry{FB_KIND_WORD, 0, &g_commandValue, nullptr, &kCommandLimits, 0, 0};
const OpFieldExtra kCommandExtra{FW_TXT_PROG_STATE, nullptr, 0, OP_EDIT_MODE_DIALOG, nullptr};

int commitPreset(const FbValueEntry*, uint16_t, float value) {
  ProgPage* p = pageRecord();
  if (!p || noValue(value)) return FW_POST_BAD;
  p->newPresetValue = value;
  p->presetRequest = 1;
  return FW_POST_OK;
}
int commitManual(const FbValueEntry*, uint16_t, float value) {
  ProgPage* p = pageRecord();
  if (!p || noValue(value)) return FW_POST_BAD;
  p->newManualValue = value;
  p->manualValueRequest = 1;
  return FW_POST_OK;
}
int commitCommand(const FbValueEntry*, uint16_t, float value) {
  ProgPage* p = pageRecord();
  const int command = FW_FloatToI32(value);
  if (!p || !commandOffered(g_opBlockPage.block, command)) return FW_POST_BAD;
  p->command = static_cast<uint16_t>(command);
  return FW_POST_OK;
}

constexpr uint32_t kTypeByte = FB_HDR_TYPE * 2;   // a field without a value of its own
const OpPageField kFields[] = {
    {nullptr, nullptr, kTypeByte, OP_PF_WORD, &kRects[0], row(kRowProgram), 0, 0, 0},
    {&g_presetEntry, nullptr, 0, OP_PF_FLOAT, &kRects[1], row(kRowSegment), kSegmentColumn, 3, 0},
    {&g_manualEntry, nullptr, 0, OP_PF_FLOAT, &kRects[2], row(kRowOutput), 0, kNumberChars, 0},
    {nullptr, nullptr, kTypeByte, OP_PF_WORD, &kRects[3], row(kRowMode), 0, kModeChars, 0},
    {&g_commandEntry, &kCommandExtra, 0, OP_PF_WORD, &kRects[4], row(kRowState), 0, kStateChars, 0},
};
// What the page keeps between cycles beside the programmer's record.
struct ProgPageState {
  uint16_t fieldCount = OP_PROG_FIELDS;   // 0 while the segment table is shown
};
ProgPageState g_prog;
const OpFieldTable kTable{&g_prog.fieldCount, kFields};

bool available(uint16_t block, const ProgPage& p, uint16_t field) {
  if (field == OP_PROG_FIELD_PROGRAM) return true;
  if (p.lock) return false;
  switch (field) {
    case OP_PROG_FIELD_SEGMENT: return !p.presetFromInput && PROG_PageControl(block) != 0;
    case OP_PROG_FIELD_OUTPUT: return p.manual != 0;
    case OP_PROG_FIELD_MODE: return !p.manualLocked;
    case OP_PROG_FIELD_STATE: return PROG_PageControl(block) != 0 || PROG_PageSearch(block) != 0;
    default: return false;
  }
}

uint16_t progCursor(uint16_t index, int direction) {
  const ProgPage* p = pageRecord();
  if (!p) return 0;
  const uint16_t block = g_opBlockPage.block;
  return OP_NextFieldWhere(index, direction, [p, block](uint16_t i) { return available(block, *p, i); });
}

void refreshNow(uint16_t field);

int progEnter(uint16_t field) {
  const uint16_t block = g_opBlockPage.block;
  ProgPage* record = pageRecord();
  if (!record || g_opSegmentTable.open || !available(block, *record, field)) return -1;
  ProgPage& p = *record;
  switch (field) {
    case OP_PROG_FIELD_PROGRAM:
      // The table's request; the page routine opens the table at once.
      p.tableRequest = 1;
      refreshNow(field);
      return 0;
    case OP_PROG_FIELD_MODE:
      p.manualRequest = p.manual ? PROG_MANUAL_OFF : PROG_MANUAL_ON;
      g_opBlockPage.refreshStep = 0;
      return 0;
    case OP_PROG_FIELD_SEGMENT: {
      const float high = p.presetMax.get();
      g_presetValue = p.presetValue.get();
      OP_SetFloatLimits(&g_presetLimits, p.presetMin.get(), high, 0);
      break;
    }
    case OP_PROG_FIELD_OUTPUT:
      g_manualValue = p.output.get();
      if (isDigital(p)) {
        // Six tracks, entered bit by bit.
        OP_SetFloatLimits(&g_manualLimits, 0.0f, FW_MARK_SIX_DIGITS_A, 0);
      } else {
        OP_SetFloatLimits(&g_manualLimits, p.w0.get(), p.w100.get(), p.dp);
      }
      break;
    case OP_PROG_FIELD_STATE:
      g_commandValue = p.pageState;
      break;
    default:
      return -1;
  }
  return OP_ENTER_COMMON;
}

// The page's commit for the edit that the common enter started.
void installCommit(uint16_t field) {
  OpEditState& e = g_opEdit;
  if (!g_opFieldEditor.editing || !e.active || e.commit != OP_ValueCommit) return;
  if (field == OP_PROG_FIELD_SEGMENT) e.commit = commitPreset;
  if (field == OP_PROG_FIELD_OUTPUT) e.commit = commitManual;
  if (field == OP_PROG_FIELD_STATE) e.commit = commitCommand;
}

// --- The page's steps ---------------------------------------------------------------------------

void pageStep(const ProgPageRecords& r, int step) {
  ProgPage& p = *r.page;
  uint8_t* request = &p.updated;
  const bool digital = isDigital(p);
  const bool seconds = p.timeUnit != 0;
  char a[16], b[16];
  switch (step) {
    case 0: {
      char name[OP_RECORD_LABEL_CHARS + 1];
      OP_FormatRecordLabel(name, p.progNo, r.names.count, r.names.blocks);
      OP_RowPrintf(row(kRowProgram), "%s", name);
      break;
    }
    case 1: {
      const float pv = p.xVal.get();
      if (!digital && !noValue(pv)) {
        OP_RowPrintf(row(kRowPv), "%s %s", FW_GetText(FW_TXT_PROG_PV),
                     OP_NumberText(a, kNumberChars, pv, p.dp));
      } else {
        OP_RowPrintf(row(kRowPv), "%s", "");
      }
      if (!OP_RefreshSkips(OP_PROG_FIELD_SEGMENT, request)) {
        OP_RowPrintf(row(kRowSegment), "%s%3d", FW_GetText(FW_TXT_PROG_SEGMENT), p.segNo);
      }
      if (!OP_RefreshSkips(OP_PROG_FIELD_OUTPUT, request)) {
        if (digital) {
          OP_RowPrintf(row(kRowOutput), "%06.0f", static_cast<double>(p.output.get()));
        } else {
          OP_RowPrintf(row(kRowOutput), "%s", OP_NumberText(a, kNumberChars, p.output.get(), p.dp));
        }
      }
      OP_RowPrintf(row(kRowTracks), "%s", digital ? "6 . . . . 1" : "");
      break;
    }
    case 2:
      if (digital) {
        OP_RowPrintf(row(kRowRange), "%s", "");
      } else {
        OP_RowPrintf(row(kRowRange), "%s...%s", OP_NumberText(a, kRangeChars, p.w0.get(), p.dp),
                     OP_NumberText(b, kRangeChars, p.w100.get(), p.dp));
      }
      break;
    case 3: {
      OP_RowPrintf(row(kRowSegRemLabel), "%s", FW_GetText(FW_TXT_PROG_TSEGREM_H + (seconds ? 1 : 0)));
      const float rest = p.segRes.get();
      if (noValue(rest)) {
        a[0] = 0;
      } else {
        timeText(a, sizeof a, rest, seconds, true);
      }
      OP_RowPrintf(row(kRowSegRem), "%s", a);
      OP_RowPrintf(row(kRowRunLabel), "%s", FW_GetText(FW_TXT_PROG_TRUN_H + (seconds ? 1 : 0)));
      timeText(a, sizeof a, p.tNetto.get(), seconds, false);
      OP_RowPrintf(row(kRowRun), "%s", a);
      break;
    }
    case 4:
      OP_RowPrintf(row(kRowRemLabel), "%s", FW_GetText(FW_TXT_PROG_TREM_H + (seconds ? 1 : 0)));
      timeText(a, sizeof a, p.tRest.get(), seconds, true);
      OP_RowPrintf(row(kRowRem), "%s", a);
      break;
    case 5:
      OP_RowPrintf(row(kRowMode), "%s", OP_ListText(FW_TXT_PROG_MODE, p.manual, kModes));
      OP_RowPrintf(row(kRowHalt), "%s", OP_ListText(FW_TXT_PROG_HALT, p.runStatus == 1 ? 1 : 0, kHalts));
      if (!OP_RefreshSkips(OP_PROG_FIELD_STATE, request)) {
        OP_RowPrintf(row(kRowState), "%s", OP_ListText(FW_TXT_PROG_STATE, p.pageState, kStates));
      }
      break;
    default:
      break;
  }
}

// --- The segment table ---------------------------------------------------------------------------

enum class LineKind : uint8_t { None, Recipe, Start, Type, Time, Value };

// What a line of the table stands for.
struct Line {
  LineKind kind = LineKind::None;
  uint16_t block = 0;     // the block whose parameter it shows
  uint16_t index = 0;     // float or word parameter index
  uint16_t segment = 0;   // 1-based over the program
  FbLayout L;
};

uint16_t g_recipeValue;
FwShortLimit g_recipeLimits{1, 1};

bool dataTypeFits(const OpSegmentTable& t, uint16_t type, uint16_t first) {
  if (first) return type == first;
  return t.digital ? type == FB_TYPE_DPROGD : type == FB_TYPE_APROGD || type == FB_TYPE_APRGD2;
}

uint16_t linesPerBlock(const OpSegmentTable& t) { return PROG_SEGMENTS_PER_BLOCK * (t.typed ? 3 : 2); }

// The data block of table position k (0 = the first segment line), false past the list's end,
// at a zero entry or at a block that is missing or of another type.
bool dataBlockOf(const ProgPage& p, const OpSegmentTable& t, uint32_t k, FbLayout* L) {
  const uint32_t b = k / linesPerBlock(t);
  if (b >= PROG_PAGE_LIST_SIZE || p.dataBlocks[b] == 0) return false;
  FbLayout first;
  if (!FB_GetLayout(p.dataBlocks[0], &first) || !dataTypeFits(t, first.type, 0)) return false;
  return FB_GetLayout(p.dataBlocks[b], L) && dataTypeFits(t, L->type, first.type) &&
         L->floatParams >= 2 * PROG_SEGMENTS_PER_BLOCK &&
         (!t.typed || L->wordParams >= PROG_SEGMENTS_PER_BLOCK);
}

bool resolveLine(const ProgPage& p, uint16_t n, Line* out) {
  const OpSegmentTable& t = g_opSegmentTable;
  Line l;
  if (n == 1) {
    l.kind = LineKind::Recipe;
    l.block = g_opBlockPage.block;
  } else if (n == 2) {
    if (!FB_GetLayout(g_opBlockPage.block, &l.L) || l.L.floatParams == 0) return false;
    l.kind = LineKind::Start;
    l.block = g_opBlockPage.block;
  } else if (n >= 3) {
    const uint32_t k = n - 3u;
    if (!dataBlockOf(p, t, k, &l.L)) return false;
    const uint32_t m = k % linesPerBlock(t);
    const uint32_t per = t.typed ? 3 : 2;
    const uint32_t seg = m / per, part = m % per;
    l.block = l.L.block;
    l.segment = static_cast<uint16_t>(k / linesPerBlock(t) * PROG_SEGMENTS_PER_BLOCK + seg + 1);
    if (t.typed && part == 0) {
      l.kind = LineKind::Type;
      l.index = static_cast<uint16_t>(seg);
    } else {
      const bool time = part == (t.typed ? 1u : 0u);
      l.kind = time ? LineKind::Time : LineKind::Value;
      l.index = static_cast<uint16_t>(2 * seg + (time ? 0 : 1));
    }
  } else {
    return false;
  }
  *out = l;
  return true;
}

float pendingFloat(const Line& l) { return l.L.fp[l.L.floatParams + l.index].get(); }
uint16_t pendingWord(const Line& l) { return l.L.wp[l.L.wordParams + l.index]; }

// A rate segment: its time value is a rate.
bool isRate(uint16_t type) { return type == PROG_SEG_RATE || type == PROG_SEG_RATE_WAIT; }

void labelOf(const Line& l, char* out, size_t outlen) {
  const bool digital = g_opSegmentTable.digital;
  switch (l.kind) {
    case LineKind::Recipe: std::snprintf(out, outlen, "RecEdt"); break;
    case LineKind::Start: std::snprintf(out, outlen, "%s", digital ? "D 0" : "Wp 0"); break;
    case LineKind::Type: std::snprintf(out, outlen, "Typ %d", l.segment); break;
    case LineKind::Time: {
      const bool rate = g_opSegmentTable.typed && l.L.wordParams > l.index / 2 &&
                        isRate(l.L.wp[l.L.wordParams + l.index / 2]);
      std::snprintf(out, outlen, "%s %d", rate ? "Rt" : "Tp", l.segment);
      break;
    }
    case LineKind::Value: std::snprintf(out, outlen, "%s %d", digital ? "D" : "Wp", l.segment); break;
    default: out[0] = 0; break;
  }
}

// The float limit record of a line's parameter, or null.
const FwFloatLimit* floatLimitOf(const Line& l) {
  const FbTypeRecord* t = FB_GetType(l.L.type);
  if (!t || !t->limits || l.index >= t->limits->floatParams.size()) return nullptr;
  return &t->limits->floatParams[l.index];
}
bool carries(const FwFloatLimit* r, float tag) { return r && (r->min == tag || r->max == tag); }

// The value of a line in `width` characters, right-aligned.
void valueOf(const Line& l, int width, char* out, size_t outlen) {
  char text[32];
  switch (l.kind) {
    case LineKind::Recipe:
      std::snprintf(text, sizeof text, "%d", g_opSegmentTable.recipe);
      break;
    case LineKind::Type:
      std::snprintf(text, sizeof text, "%s", OP_ListText(FW_TXT_SEG_TYPE, pendingWord(l), kSegmentTypes));
      break;
    case LineKind::Start:
    case LineKind::Time:
    case LineKind::Value: {
      const float v = pendingFloat(l);
      const FwFloatLimit* r = floatLimitOf(l);
      if (carries(r, FW_MARK_SIX_DIGITS_A) || carries(r, FW_MARK_SIX_DIGITS_B)) {
        if (noValue(v)) {
          std::snprintf(text, sizeof text, "----");
        } else {
          std::snprintf(text, sizeof text, "%06.0f", static_cast<double>(v));
        }
      } else if (carries(r, FW_MARK_MINUTES_SECONDS)) {
        OP_FormatMinSec(v, 0, text, sizeof text);
      } else {
        const int decimals = !r ? 0 : r->attribute <= 3 ? r->attribute
                             : r->attribute < l.L.size  ? (l.L.base[r->attribute] & 3)
                                                        : 0;
        OP_NumberText(text, OP_NUMBER_CHARS, v, decimals);
      }
      break;
    }
    default:
      std::snprintf(text, sizeof text, "??????");
      break;
  }
  const char* t = text;
  while (*t == ' ') ++t;
  std::snprintf(out, outlen, "%*.*s", width, width, t);
}

// The edit descriptor of a line: the pending copy of its parameter, the type's handler and
// limit record (a float's attribute resolved); the RecEdt line edits the page's own word.
bool descriptorOf(const Line& l, FbValueEntry* e, FbFloatLimitData* lim, int16_t* id) {
  *e = FbValueEntry{};
  e->block = l.block;
  const FbTypeRecord* type = FB_GetType(l.L.type);
  switch (l.kind) {
    case LineKind::Recipe: {
      const ProgPage* p = pageRecord();
      if (!p) return false;
      g_recipeLimits = FwShortLimit{1, static_cast<int16_t>(p->progNoMax < 1 ? 1 : p->progNoMax)};
      g_recipeValue = g_opSegmentTable.recipe;
      e->kind = FB_KIND_WORD;
      e->value = &g_recipeValue;
      e->limits = &g_recipeLimits;
      *id = 0;
      return true;
    }
    case LineKind::Type:
      if (!type || !type->limits || l.index >= type->limits->wordParams.size()) return false;
      e->kind = FB_KIND_WORD;
      e->value = &l.L.wp[l.L.wordParams + l.index];
      e->limits = &type->limits->wordParams[l.index];
      e->handler = type->param;
      *id = static_cast<int16_t>(FB_ID_WORD + l.index);
      return true;
    case LineKind::Start:
    case LineKind::Time:
    case LineKind::Value: {
      const FwFloatLimit* r = floatLimitOf(l);
      if (!type || !r) return false;
      *lim = FbFloatLimitData{r->min, r->max, r->minFn, r->maxFn, nullptr, r->attribute};
      lim->attribute = r->attribute <= 3 ? &lim->ownAttribute
                       : r->attribute < l.L.size ? &l.L.base[r->attribute]
                                                 : &lim->ownAttribute;
      if (r->attribute > 3 && lim->attribute == &lim->ownAttribute) lim->ownAttribute = 0;
      e->kind = FB_KIND_FLOAT;
      e->value = &l.L.fp[l.L.floatParams + l.index];
      e->limits = lim;
      e->handler = type->param;
      *id = static_cast<int16_t>(FB_ID_FLOAT + l.index);
      return true;
    }
    default:
      return false;
  }
}

int valueWidth() { return g_opSegmentTable.count >= OP_SEGMENT_NARROW ? 15 : 17; }

void lineText(const Line& l, int width, char* out) {
  char label[12], value[OP_ROW_CHARS + 1];
  labelOf(l, label, sizeof label);
  valueOf(l, width, value, sizeof value);
  std::snprintf(out, OP_ROW_CHARS, "%-6.6s = %.17s", label, value);
}

// Builds the lines shown, from `top` on: their list records, descriptors and texts; the
// cursor's line highlighted.
void buildRows() {
  OpSegmentTable& t = g_opSegmentTable;
  const ProgPage* p = pageRecord();
  const int width = valueWidth();
  int shown = 0;
  for (int r = 0; r < OP_SEGMENT_ROWS; ++r) {
    OpTextRow& text = g_opMenuRows.items[r];
    const uint16_t n = static_cast<uint16_t>(t.top + r);
    text = OpTextRow{};
    text.changed = 1;
    t.items[r] = OpMenuItem{};
    t.entries[r] = FbValueEntry{};
    Line l;
    if (!p || n > t.count || !resolveLine(*p, n, &l)) continue;
    int16_t id = 0;
    labelOf(l, t.labels[r], sizeof t.labels[r]);
    const bool editable = descriptorOf(l, &t.entries[r], &t.limits[r], &id);
    t.items[r] = OpMenuItem{static_cast<uint16_t>(FB_ROW_LINE | (n == t.count ? FB_ROW_LAST : 0)),
                            static_cast<uint16_t>(id), editable ? &t.entries[r] : nullptr, n, 0,
                            t.labels[r], nullptr, nullptr, nullptr};
    lineText(l, width, text.text);
    if (n == t.cursor) std::memset(text.colors, OP_ROW_HIGHLIGHT, OP_ROW_CHARS - 1);
    ++shown;
  }
  t.header = OpMenuHeader{FB_LIST_HEADER_FLAGS, 0, nullptr, static_cast<uint16_t>(shown), 0, t.items,
                          static_cast<uint16_t>(OP_SEGMENT_ROWS)};
}

// Counts the lines anew and shows the window that holds the cursor.
void rebuildTable() {
  OpSegmentTable& t = g_opSegmentTable;
  t.count = OP_SegmentCount();
  if (t.cursor < 1) t.cursor = 1;
  if (t.cursor > t.count) t.cursor = t.count;
  if (t.top < 1 || t.cursor < t.top) t.top = t.cursor;
  if (t.cursor >= t.top + OP_SEGMENT_ROWS) t.top = static_cast<uint16_t>(t.cursor - OP_SEGMENT_ROWS + 1);
  t.rebuild = 0;
  buildRows();
}

int showTableScreen() {
  OP_SetPageTitle(&g_opMenuRows.title, g_opBlockPage.tag);
  OP_ShowTextScreen(7, 1);   // the body cleared for the other screen
  OP_ShowTextScreen(7, 0);   // and all its rows
  return 0;
}

void openTable(ProgPage& p) {
  OpSegmentTable& t = g_opSegmentTable;
  t = OpSegmentTable{};
  t.open = 1;
  t.digital = isDigital(p) ? 1 : 0;
  t.recipe = p.progNo ? p.progNo : 1;
  t.cursor = t.top = 1;
  p.tableOpen = 1;
  // The block lists the program's data blocks at its next run; the table is built then.
  p.listRequest = t.recipe;
  t.rebuild = 1;
  t.rebuildDelay = OP_SEGMENT_REBUILD_DELAY;
  g_prog.fieldCount = 0;
  for (OpTextRow& r : g_opMenuRows.items) r = OpTextRow{};
  OP_RequestPageAction(showTableScreen);
}

// The RecEdt line: another program is listed; selected too while the program may be chosen.
int commitRecipe(const FbValueEntry*, uint16_t, float value) {
  ProgPage* record = pageRecord();
  const int n = FW_FloatToI32(value);
  if (!record || n < 1 || n > record->progNoMax) return FW_POST_BAD;
  ProgPage& p = *record;
  g_opSegmentTable.recipe = static_cast<uint16_t>(n);
  if (!p.progNoFixed) {
    p.command = PROG_CMD_SELECT;
    p.commandArg = static_cast<uint16_t>(n);
  } else {
    p.listRequest = static_cast<uint16_t>(n);
  }
  return FW_POST_OK;
}

void startLineEdit(const ProgPage& p) {
  OpSegmentTable& t = g_opSegmentTable;
  const int r = t.cursor - t.top;
  if (p.lock || r < 0 || r >= OP_SEGMENT_ROWS || !t.items[r].entry) return;
  const OpMenuItem& item = t.items[r];
  Line l;
  if (!resolveLine(p, t.cursor, &l) || !OP_EditStart(item.entry, item.sub)) return;
  if (l.kind == LineKind::Recipe) g_opEdit.commit = commitRecipe;
  const bool type = l.kind == LineKind::Type;
  OpTextRow& text = g_opMenuRows.items[r];
  constexpr int kValueColumn = 9;
  OP_EditSetTarget(text.text + kValueColumn, &text.changed, valueWidth(), text.colors + kValueColumn,
                   type ? FW_TXT_SEG_TYPE : 0, nullptr, 0, OP_EDIT_MODE_DIALOG);
  g_opFieldEditor.editing = 1;
  t.editing = 1;
  t.edited = t.cursor;
}

void moveTableCursor(int direction) {
  OpSegmentTable& t = g_opSegmentTable;
  if (direction > 0 ? t.cursor >= t.count : t.cursor <= 1) return;
  t.cursor = static_cast<uint16_t>(t.cursor + direction);
  if (t.cursor < t.top) t.top = t.cursor;
  if (t.cursor >= t.top + OP_SEGMENT_ROWS) t.top = static_cast<uint16_t>(t.cursor - OP_SEGMENT_ROWS + 1);
  buildRows();
}

// The keys while the table is shown: the cursor, enter on a line, exit from the table. The
// keys it takes are not seen by the common rules of the block page.
int tableKeys() {
  OpSegmentTable& t = g_opSegmentTable;
  ProgPage* p = pageRecord();
  if (!t.open || !p || g_opFieldEditor.editing) return 0;
  OpKeyState& k = g_opKeys;
  if (!t.rebuild) {
    if (OP_KeyStepEvent(k.downStep, k.holdDown, OP_KEY_DOWN)) {
      moveTableCursor(1);
    } else if (OP_KeyStepEvent(k.upStep, k.holdUp, OP_KEY_UP)) {
      moveTableCursor(-1);
    }
  }
  if (OP_IsShortPress(k.exitReleased)) {
    // The table is closed; the page sees the block's flag and starts again.
    p->tableOpen = 0;
  } else if (OP_IsShortPress(k.enterReleased) && !t.rebuild) {
    startLineEdit(*p);
  }
  k.exitReleased = k.enterReleased = 0;
  k.downStep = k.upStep = 0;
  return 0;
}

// One cycle of the table: the end of an edit, the rebuild after the delay, the close.
void tableCycle(const ProgPage& p) {
  OpSegmentTable& t = g_opSegmentTable;
  if (!p.tableOpen) {
    t = OpSegmentTable{};
    g_prog.fieldCount = OP_PROG_FIELDS;
    g_opBlockPage.reselect = 1;   // the page is shown again from its start
    return;
  }
  if (t.editing && !g_opFieldEditor.editing) {
    // The edit has ended (taken, cancelled or closed with the overlays).
    t.editing = 0;
    t.cursor = t.edited;
    t.rebuild = 1;
    t.rebuildDelay = OP_SEGMENT_REBUILD_DELAY;
    return;
  }
  if (t.rebuild && !t.editing) {
    if (t.rebuildDelay > 0) --t.rebuildDelay;
    if (t.rebuildDelay == 0) rebuildTable();
  }
}

int refresh(uint16_t field) {
  const ProgPageRecords r = pageRecords();
  if (!r.page) return 1;
  ProgPage& p = *r.page;
  if (g_opSegmentTable.open) {
    tableCycle(p);
    return 0;
  }
  installCommit(field);
  if (p.tableRequest) {
    p.tableRequest = 0;
    openTable(p);
    return 0;
  }
  const int step = OP_BlockRefreshStep(6, &p.updated);
  if (step >= 0) pageStep(r, step);
  return 0;
}

void refreshNow(uint16_t field) { refresh(field); }

}  // namespace

const OpBlockPage g_opProgPage{.screen = 2, .open = OP_ProgPageOpen, .cycle = OP_ProgPageRefresh,
                               .keys = tableKeys, .cursor = progCursor, .enter = progEnter,
                               .fields = &kTable};

int OP_ProgPageOpen() {
  for (OpTextRow& r : g_opPageRows.rows) {
    r = OpTextRow{};
    r.changed = 1;
  }
  g_opSegmentTable = OpSegmentTable{};
  g_prog.fieldCount = OP_PROG_FIELDS;
  if (ProgPage* p = pageRecord()) {
    p->tableOpen = 0;
    p->tableRequest = 0;
    char tag[FB_TEXT_LEN + 1];
    std::snprintf(tag, sizeof tag, "%.*s", FB_TEXT_LEN, p->tag);
    OP_SetPageTitle(&g_opPageRows.title, tag);
    OP_RowPrintf(row(kRowSegment), "%s", FW_GetText(FW_TXT_PROG_SEGMENT));
  }
  OP_ShowTextScreen(2, 0);   // every row of the screen (the dispatcher drew the title)
  return 0;
}

int OP_ProgPageRefresh(uint16_t field) { return refresh(field); }

uint16_t OP_SegmentCount() {
  const ProgPage* p = pageRecord();
  if (!p) return 0;
  OpSegmentTable& t = g_opSegmentTable;
  // Segment types (three lines a segment) come with APRGD2 data blocks.
  FbLayout L;
  t.typed = FB_GetLayout(p->dataBlocks[0], &L) && L.type == FB_TYPE_APRGD2 && !t.digital ? 1 : 0;
  const uint32_t per = t.typed ? 3 : 2;
  const uint32_t perBlock = linesPerBlock(t);
  uint16_t lines = 2;
  for (uint32_t k = 0; lines < OP_SEGMENT_LINES_MAX; k += perBlock) {
    if (!dataBlockOf(*p, t, k, &L)) break;
    for (uint32_t m = 0; m < perBlock && lines < OP_SEGMENT_LINES_MAX; ++m) {
      ++lines;
      // The line of a target value of -32000 ends the program.
      if (m % per == per - 1 && noValue(L.fp[L.floatParams + 2 * (m / per) + 1].get())) return lines;
    }
  }
  return lines;
}

void OP_ResetBlockPageFlags() {
  OpSegmentTable& t = g_opSegmentTable;
  t.open = t.rebuild = t.editing = 0;
  t.rebuildDelay = 0;
  g_prog.fieldCount = OP_PROG_FIELDS;
}

void OP_ClearPageFlag() { g_opSegmentTable.editing = 0; }

void OP_ProgTimeText(char* out, int outlen, float value, bool seconds, bool up, int width) {
  if (std::isnan(value)) value = 0.0f;
  const double s = (seconds ? 1.0 : 60.0) * value;
  const double whole = up ? std::ceil(s) : std::floor(s);
  if (seconds) {
    OP_FormatMinSec(static_cast<float>(whole), width, out, outlen);
  } else {
    OP_FormatHms(static_cast<float>(whole / 60.0), width, out, outlen);
  }
}
