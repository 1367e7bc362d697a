// The value page of VWERT (text screen 8): six lines of values, switches and texts, and the
// header fields that lead to the VWERT before and behind.
#include <cstdio>

#include "opui/op_editor.h"
#include "opui/op_field_editor.h"
#include "opui/op_format.h"
#include "opui/op_input.h"
#include "opui/op_keys.h"
#include "opui/op_pages_visual_internal.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_numeric.h"

using opvis::kUnitChars;
using opvis::pageRecord;
using opvis::pageRow;
using opvis::setRow;
using opvis::textPart;

namespace {

// Glyphs of the device font that the page uses as symbols.
constexpr char kSymPrevious = '\xAB';     // header field 1: the VWERT before
constexpr char kSymNext = '\xBB';         // header field 2: the VWERT behind
constexpr char kSymRadioSet = '\xA4';
constexpr char kSymRadioClear = '\xB0';
constexpr char kSymBullet = '\xB7';

bool editorFree() { return !OP_EditActive() && !OP_TouchWindowOpen() && !g_opFieldEditor.editing; }

constexpr int kValueLines = VWERT_ROWS;
constexpr int kValueFieldCount = kValueLines + 2;
constexpr int kNameChars = 8, kValueChars = 8;
constexpr int kValueColumn = kNameChars + 3;   // "%-s = " before the value
constexpr uint8_t kHeaderPrevRow = 0, kHeaderNextRow = 7;

struct ValuePageState {
  uint8_t pause;             // cycles without refresh after a key action
  uint8_t shownLine;         // the line the page's commit writes (0-based)
};
ValuePageState g_value;

const FwShortLimit kByteLimits{0, 1};

// The page's fields, built at every page open for the record's line kinds, and the editor's
// targets of the lines: shadows of the values, their limits and text lists.
struct ValuePageFields {
  float lineFloat[kValueLines];
  uint8_t lineByte[kValueLines];
  uint16_t headerValue[2];   // the blocks the header fields lead to
  FbFloatLimitData lineLimits[kValueLines];
  FbValueEntry entries[kValueFieldCount];
  OpFieldExtra lineExtra[kValueLines];
  OpPageField fields[kValueFieldCount];
};
ValuePageFields g_valueFields;

constexpr OpRect kHeaderPrevRect{260, 34, 30, 24}, kHeaderNextRect{290, 34, 30, 24};
constexpr OpRect lineRect(int i) { return {0, static_cast<int16_t>(60 + 29 * i), 320, 29}; }
constexpr OpRect kLineRects[kValueLines] = {lineRect(0), lineRect(1), lineRect(2),
                                            lineRect(3), lineRect(4), lineRect(5)};

const OpFieldTable kValueTable{nullptr, g_valueFields.fields};

VwertPage* valueRecord() { return pageRecord<VwertPage>(BLK_TYPE_VWERT); }

bool isWordMode(uint8_t mode) {
  return mode == VWERT_MODE_DIGITAL || mode == VWERT_MODE_RADIO || mode == VWERT_MODE_TOGGLE || mode == VWERT_MODE_BUTTON ||
         mode == VWERT_MODE_MENU;
}
uint8_t dispOf(const VwertRow& row) { return isWordMode(row.mode) ? row.wordDisp : row.disp; }

bool lineTakesInput(const VwertPage& r, int line) {
  return line >= 0 && line < kValueLines && !r.header.lock && dispOf(r.rows[line]) == VIS_DISP_ADJUST;
}

int chainCount(const VwertPage& r, int line) {
  int n = 0;
  while (n < static_cast<int>(VWERT_TEXT_CHAIN) && r.textChain[line][n]) ++n;
  return n;
}

// The editor's kind of a line, 0 for the lines that key 1 operates.
uint8_t editKind(uint8_t mode) {
  switch (mode) {
    case VWERT_MODE_DIGITAL: return OP_FIELD_BYTE;
    case VWERT_MODE_TIME: return OP_FIELD_HMS;
    case VWERT_MODE_TEXT: return OP_FIELD_RECORD;
    case VWERT_MODE_RADIO: case VWERT_MODE_TOGGLE: case VWERT_MODE_BUTTON: case VWERT_MODE_MENU: return 0;
    default: return OP_FIELD_FLOAT;
  }
}

// Builds the field table for the record's line kinds (the page-open step "row kinds").
void buildValueFields(const VwertPage& r) {
  for (int f = 0; f < kValueFieldCount; ++f) g_valueFields.entries[f] = FbValueEntry{};
  g_valueFields.headerValue[0] = r.predecessor;
  g_valueFields.headerValue[1] = r.successor;
  g_valueFields.entries[0] = {FB_KIND_WORD, 0, &g_valueFields.headerValue[0], nullptr, nullptr, 0, 0};
  g_valueFields.entries[kValueFieldCount - 1] = {FB_KIND_WORD, 0, &g_valueFields.headerValue[1], nullptr, nullptr, 0, 0};
  g_valueFields.fields[0] = {&g_valueFields.entries[0], nullptr, 0, OP_PF_JUMP, &kHeaderPrevRect, pageRow(kHeaderPrevRow), 0, 0, 0};
  g_valueFields.fields[kValueFieldCount - 1] = {&g_valueFields.entries[kValueFieldCount - 1], nullptr, 0, OP_PF_JUMP,
                                         &kHeaderNextRect, pageRow(kHeaderNextRow), 0, 0, 0};
  for (int i = 0; i < kValueLines; ++i) {
    const uint8_t mode = r.rows[i].mode;
    const bool number = editKind(mode) == OP_FIELD_FLOAT || editKind(mode) == OP_FIELD_HMS;
    FbValueEntry& e = g_valueFields.entries[i + 1];
    e = {FB_KIND_FLOAT, 0, &g_valueFields.lineFloat[i], nullptr, &g_valueFields.lineLimits[i], 0, 0};
    e.kind = editKind(mode) ? editKind(mode) : uint8_t{OP_FIELD_BYTE};
    if (mode == VWERT_MODE_DIGITAL || !editKind(mode)) {
      e.value = &g_valueFields.lineByte[i];
      e.limits = &kByteLimits;
    }
    g_valueFields.lineExtra[i] = OpFieldExtra{0, r.textChain[i], chainCount(r, i), OP_EDIT_MODE_DIALOG, nullptr};
    g_valueFields.fields[i + 1] = {&e, &g_valueFields.lineExtra[i], 0, OP_ValueRowKind(mode), &kLineRects[i], pageRow(1 + i),
                            static_cast<uint8_t>(number ? kValueColumn : 0),
                            static_cast<uint8_t>(number ? kValueChars : OP_ROW_CHARS), 0};
  }
}

void writeLine(const VwertPage& r, int line) {
  char text[OP_ROW_CHARS + 1];
  OP_ValueLineText(r, line, text);
  OpTextRow* row = pageRow(1 + line);
  // The colours stay: a selected line keeps its mark.
  std::snprintf(row->text, sizeof row->text, "%s", text);
  row->changed = 1;
}

void setWord(VwertPage& r, int line, uint16_t value) {
  VwertRow& row = r.rows[line];
  row.word = value;
  row.wordChanged = 1;
  writeLine(r, line);
}

// The commit of a finished edit: the value goes into the record, marked for the block.
int commitLine(const FbValueEntry*, uint16_t, float value) {
  VwertPage* r = valueRecord();
  const int line = g_value.shownLine;
  if (!r || line < 0 || line >= kValueLines) return FW_POST_BAD;
  VwertRow& row = r->rows[line];
  if (row.mode == VWERT_MODE_DIGITAL) {
    row.word = value != 0.0f ? 1 : 0;
    row.wordChanged = 1;
  } else {
    row.value = value;
    row.valueChanged = 1;
  }
  return FW_POST_OK;
}

int valueEnter(uint16_t field) {
  VwertPage* r = valueRecord();
  if (!r) return -1;
  if (field == OP_VALUE_FIELD_PREVIOUS) return OP_BlockPageJump(r->predecessor) ? 1 : -1;
  if (field == OP_VALUE_FIELD_NEXT) return OP_BlockPageJump(r->successor) ? 1 : -1;
  const int line = field - OP_VALUE_FIELD_LINE1;
  if (!lineTakesInput(*r, line)) return -1;
  const VwertRow& row = r->rows[line];
  if (!editKind(row.mode)) return -1;   // key 1 operates these lines
  g_value.shownLine = static_cast<uint8_t>(line);
  g_valueFields.lineByte[line] = row.word ? 1 : 0;
  g_valueFields.lineFloat[line] = row.value;
  OP_SetFloatLimits(&g_valueFields.lineLimits[line], row.min, row.max, row.dp);
  if (row.mode == VWERT_MODE_TEXT) OP_SetFloatLimits(&g_valueFields.lineLimits[line], 1.0f, 4.0f * chainCount(*r, line), 0);
  return OP_ENTER_COMMON;
}

}  // namespace

const OpBlockPage g_opValuePage{.screen = 8, .open = OP_ValuePageOpen, .cycle = OP_ValuePageRefresh,
                                .key1 = OP_ValuePageKey, .cursor = OP_ValuePageCursor, .enter = valueEnter,
                                .fields = &kValueTable};

uint8_t OP_ValueRowKind(uint8_t mode) {
  static constexpr uint8_t kKinds[] = {OP_PF_FLOAT, 10, 13, 102, 101, 100, 103, 104};
  return mode < sizeof kKinds ? kKinds[mode] : uint8_t{OP_PF_FLOAT};
}

void OP_ValueLineText(const VwertPage& page, int line, char* out) {
  out[0] = 0;
  if (line < 0 || line >= kValueLines) return;
  const VwertRow& row = page.rows[line];
  const uint8_t disp = dispOf(row);
  if (disp == VIS_DISP_EMPTY) return;
  const bool adjust = disp == VIS_DISP_ADJUST;
  char name[FB_TEXT_LEN + 1];
  if (isWordMode(row.mode)) {
    const uint16_t v = adjust ? row.word : row.digital;
    textPart(name, v ? row.unit : row.name, FB_TEXT_LEN, true);
    if (row.mode == VWERT_MODE_RADIO) {
      std::snprintf(out, OP_ROW_CHARS + 1, "%s %c", name, v ? kSymRadioSet : kSymRadioClear);
    } else if (row.mode == VWERT_MODE_MENU) {
      std::snprintf(out, OP_ROW_CHARS + 1, "%s %c", name, kSymBullet);
    } else {
      std::snprintf(out, OP_ROW_CHARS + 1, "%s", name);
    }
    return;
  }
  const float v = adjust ? row.value.get() : row.analog.get();
  if (row.mode == VWERT_MODE_TEXT) {
    char entry[OP_RECORD_LABEL_CHARS + 1];
    OP_FormatRecordLabel(entry, FW_FloatToI32(v), chainCount(page, line), page.textChain[line]);
    std::snprintf(out, OP_ROW_CHARS + 1, "%s", entry);
    return;
  }
  char shortName[kNameChars + 1], shortUnit[kUnitChars + 1], number[kValueChars + 1];
  textPart(shortName, row.name, kNameChars, false);
  textPart(shortUnit, row.unit, kUnitChars, false);
  if (row.mode == VWERT_MODE_TIME) {
    OP_FormatHms(v, kValueChars, number, sizeof number);
  } else {
    OP_NumberText(number, kValueChars, v, row.dp);
  }
  std::snprintf(out, OP_ROW_CHARS + 1, "%-s = %8s %s", shortName, number, shortUnit);
}

int OP_ValuePageOpen() {
  VwertPage* r = valueRecord();
  if (!r) return 0;
  g_value = ValuePageState{};
  buildValueFields(*r);
  const char previous[2] = {kSymPrevious, 0}, next[2] = {kSymNext, 0};
  setRow(pageRow(kHeaderPrevRow), r->predecessor ? previous : "");
  setRow(pageRow(kHeaderNextRow), r->successor ? next : "");
  for (int i = 0; i < kValueLines; ++i) writeLine(*r, i);
  g_opBlockPage.refreshStep = 0;
  OP_ShowTextScreen(8, 0);   // every row of the screen (the dispatcher drew the title)
  return 0;
}

int OP_ValuePageRefresh(uint16_t) {
  VwertPage* r = valueRecord();
  if (!r) return 0;
  // An edit the common enter started writes into the record.
  if (g_opFieldEditor.editing && g_opEdit.commit == OP_ValueCommit) g_opEdit.commit = commitLine;
  if (g_value.pause) {
    --g_value.pause;
    return 0;
  }
  const int step = OP_BlockRefreshStep(kValueLines, &r->header.updated);
  if (step < 0) return 0;
  if (OP_RefreshSkips(static_cast<uint16_t>(OP_VALUE_FIELD_LINE1 + step), &r->header.updated)) return 0;
  writeLine(*r, step);
  return 0;
}

void OP_ValuePageKey(int fieldIndex) {
  VwertPage* r = valueRecord();
  const int line = fieldIndex + 1 - OP_VALUE_FIELD_LINE1;
  if (!r || !editorFree() || !lineTakesInput(*r, line)) return;
  const OpKeyState& k = g_opKeys;
  const uint8_t mode = r->rows[line].mode;
  if (k.holdFunction == 1) {
    switch (mode) {
      case VWERT_MODE_RADIO: {
        // A run of radio lines is one group: the others go off.
        for (int i = line - 1; i >= 0 && r->rows[i].mode == VWERT_MODE_RADIO; --i) setWord(*r, i, 0);
        for (int i = line + 1; i < kValueLines && r->rows[i].mode == VWERT_MODE_RADIO; ++i) setWord(*r, i, 0);
        setWord(*r, line, 1);
        break;
      }
      case VWERT_MODE_TOGGLE: setWord(*r, line, r->rows[line].word ? 0 : 1); break;
      case VWERT_MODE_BUTTON: setWord(*r, line, 1); break;
      default: return;
    }
  } else if (k.functionReleased && !k.holdFunction && mode == VWERT_MODE_BUTTON) {
    setWord(*r, line, 0);
  } else {
    return;
  }
  g_value.pause = OP_VALUE_PAUSE_CYCLES;
}

uint16_t OP_ValuePageCursor(uint16_t index, int direction) {
  const VwertPage* r = valueRecord();
  const int step = direction < 0 ? -1 : 1;
  int i = index;
  for (int n = 0; n <= kValueFieldCount; ++n, i += step) {
    if (i > kValueFieldCount) i = 0;
    if (i < 0) i = kValueFieldCount;
    if (i == 0) return 0;
    if (!r) continue;
    if (i == OP_VALUE_FIELD_PREVIOUS ? r->predecessor != 0
        : i == OP_VALUE_FIELD_NEXT   ? r->successor != 0
                                     : lineTakesInput(*r, i - OP_VALUE_FIELD_LINE1)) {
      return static_cast<uint16_t>(i);
    }
  }
  return 0;
}
