#include "opui/op_blockpage.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "opui/op_blockpage_types.h"
#include "opui/op_editor.h"
#include "opui/op_field_editor.h"
#include "opui/op_format.h"
#include "opui/op_keys.h"
#include "opui/op_links.h"
#include "opui/op_menu.h"
#include "opui/op_services.h"
#include "runtime/fb_store.h"
#include "runtime/fw_text.h"

OpBlockPageState g_opBlockPage;
OpJumpRecord g_opJump;

namespace {

constexpr uint16_t kAlarmType = 109;          // VALARM, the alarm page
constexpr uint16_t kAlarmBlocks = 41;         // alarm slot i is block 41 + i
constexpr int kAlarmSlots = 6;
constexpr uint8_t kVbarFormWord = 5;          // VBAR's `Typ`: 0 horizontal, else vertical

// The block types with an operating page, and their second pages (type + 1000).
const OpBlockPageType kPageTypes[] = {
    {19, &g_opInputPage, nullptr, 0},
    {24, &g_opProgPage, nullptr, 0},
    {27, &g_opProgPage, nullptr, 0},
    {77, &g_opInputPage, nullptr, 0},
    {90, &g_opCtrlPage, nullptr, 0},
    {91, &g_opCtrlPlusPage, nullptr, 0},
    {93, &g_opCtrlPage, nullptr, 0},
    {96, &g_opValuePage, nullptr, 0},
    {97, &g_opBarPageH, &g_opBarPageV, kVbarFormWord},
    {99, &g_opTrendPage, nullptr, 0},
    {kAlarmType, &g_opAlarmPage, nullptr, 0},
    {110, &g_opInputPage, nullptr, 0},
    {115, &g_opInputPage, nullptr, 0},
    {129, &g_opInputPage, nullptr, 0},
    {OP_BLOCK_VIEW_TYPE, &g_opUserPage, nullptr, 0},
    {OP_SECOND_PAGE + 90, &g_opTunePage, nullptr, 0},
    {OP_SECOND_PAGE + 91, &g_opTunePage, nullptr, 0},
    {OP_SECOND_PAGE + 93, &g_opPidTunePage, nullptr, 0},
};

// The bytes of a block's instance; false for a missing block or one whose size would run
// past the instance heap.
struct InstanceBytes {
  uint8_t* bytes = nullptr;
  uint32_t size = 0;
};
bool instanceOf(uint16_t block, InstanceBytes* out) {
  uint16_t* inst = FB_GetInstance(block);
  if (!inst) return false;
  const uint32_t start = static_cast<uint32_t>(inst - g_fbStore.instanceHeap);
  const uint32_t words = inst[FB_HDR_SIZE];
  if (start + words > FB_INSTANCE_HEAP_WORDS) return false;
  out->bytes = reinterpret_cast<uint8_t*>(inst);
  out->size = words * 2u;
  return true;
}

uint16_t typeOf(uint16_t block) {
  const uint16_t* inst = FB_GetInstance(block);
  return inst ? inst[FB_HDR_TYPE] : 0;
}

bool isFloatEntry(uint8_t kind) {
  switch (kind & OP_FIELD_KIND_MASK) {
    case OP_FIELD_FLOAT: case OP_FIELD_MINSEC: case OP_FIELD_HMS: case OP_FIELD_DIGITS:
    case OP_FIELD_RECORD:
      return true;
    default:
      return false;
  }
}

// Bytes the value of a field takes in the instance.
uint32_t valueBytes(const OpPageField& f) {
  if (f.descriptor) {
    if (isFloatEntry(f.descriptor->kind)) return 4;
    return (f.descriptor->kind & OP_FIELD_KIND_MASK) == OP_FIELD_BYTE ? 1 : 2;
  }
  switch (f.kind & OP_PF_KIND_MASK) {
    case OP_PF_LINK: case OP_PF_BYTE: return 1;
    case OP_PF_LONG: case OP_PF_FLOAT: case OP_PF_MINSEC: case OP_PF_HMS: case OP_PF_RECORD: return 4;
    default: return 2;
  }
}

// Where a field's value is: the descriptor's own value, or the instance at the offset when
// it lies wholly inside; null otherwise.
void* fieldValue(const OpPageField& f) {
  if (f.descriptor && f.descriptor->value) return f.descriptor->value;
  InstanceBytes inst;
  if (!instanceOf(g_opBlockPage.block, &inst)) return nullptr;
  const uint32_t n = valueBytes(f);
  if (f.offset > inst.size || n > inst.size - f.offset) return nullptr;
  return inst.bytes + f.offset;
}

uint8_t byteAt(const void* p) { return *static_cast<const uint8_t*>(p); }
uint16_t wordAt(const void* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

bool blockHasPage(uint16_t block) {
  const uint16_t type = typeOf(block);
  return type && OP_FindBlockPage(type, block);
}

bool selectable(uint16_t index) {
  const OpPageField* f = OP_PageField(index);
  if (!f) return false;
  const void* v = fieldValue(*f);
  if (!v) return false;
  switch (f->kind & OP_PF_KIND_MASK) {
    case OP_PF_LINK: return byteAt(v) != 0;
    case OP_PF_JUMP: return blockHasPage(wordAt(v));
    default: return true;
  }
}

// Marks a field's part of its row as selected (or not) for the renderer.
void highlight(uint16_t index, bool on) {
  const OpPageField* f = OP_PageField(index);
  if (!f || !f->row) return;
  const int from = f->column < OP_ROW_CHARS ? f->column : OP_ROW_CHARS;
  int to = f->width ? from + f->width : OP_ROW_CHARS;
  if (to > OP_ROW_CHARS) to = OP_ROW_CHARS;
  for (int i = from; i < to; ++i) f->row->colors[i] = on ? OP_ROW_HIGHLIGHT : OP_ROW_NORMAL;
  f->row->changed = 1;
}

void selectField(uint16_t index) {
  OpFieldEditor& fe = g_opFieldEditor;
  if (index == fe.currentField) return;
  highlight(fe.currentField, false);
  highlight(index, true);
  fe.currentField = index;
  fe.idleCycles = 0;
}

bool otherPageExists() {
  const OpBlockPageState& s = g_opBlockPage;
  return OP_FindBlockPage(s.second ? s.type : static_cast<uint16_t>(s.type + OP_SECOND_PAGE), s.block);
}

bool selectedIsLink() {
  const OpPageField* f = OP_PageField(g_opFieldEditor.currentField);
  if (!f || (f->kind & OP_PF_KIND_MASK) != OP_PF_LINK) return false;
  const void* v = fieldValue(*f);
  return v && byteAt(v) != 0;
}

bool pageRecordLocked(uint16_t block) {
  if (block >= FB_LIST_SIZE) return false;
  const auto* rec = static_cast<const OpBlockPageData*>(g_fbStore.list[block].pageData);
  return rec && rec->lock != 0;
}

int selectPage(uint16_t block, bool second) {
  const uint16_t type = typeOf(block);
  if (!type) return 0;
  const OpBlockPage* page =
      OP_FindBlockPage(second ? static_cast<uint16_t>(type + OP_SECOND_PAGE) : type, block);
  if (!page) return 0;
  if (g_opFieldEditor.editing) OP_EditAbort();
  OpBlockPageState& s = g_opBlockPage;
  s = OpBlockPageState{};
  s.page = page;
  s.block = block;
  s.type = type;
  s.second = second ? 1 : 0;
  char* tag = nullptr;
  if (FB_GetTextParamPtr(block, 1, &tag)) std::memcpy(s.tag, tag, FB_TEXT_LEN);
  OP_ResetFieldEditor();
  OpPageManager& pm = g_opPage;
  pm.currentBlock = block;
  pm.current = OP_BlockPageProc;
  if (pm.pageId != OP_PAGE_CALIBRATION_BLOCK) pm.pageId = OP_PAGE_BLOCK;
  // A page that is not built yet shows its screen empty.
  for (OpTextRow& r : g_opPageRows.rows) r = OpTextRow{};
  for (int16_t& b : g_opPageRows.bars) b = 0;
  OP_SetPageTitle(&g_opPageRows.title, s.tag);
  OP_ShowTextScreen(page->screen, 1);
  if (page->open) OP_RequestPageAction(page->open);
  return 1;
}

int leavePage() {
  OP_PageLeave();
  return 1;
}

// The edit of the selected field has ended: the field is deselected and held as entered.
void editFinished() {
  OpFieldEditor& fe = g_opFieldEditor;
  const uint16_t field = fe.currentField;
  fe.editing = 0;
  highlight(field, false);
  fe.lastField = static_cast<int16_t>(field);
  fe.lastCountdown = OP_FIELD_HOLD_CYCLES;
  fe.currentField = 0;
}

int runCycle() {
  const OpBlockPageState& s = g_opBlockPage;
  if (s.page && s.page->cycle && s.page->cycle(g_opFieldEditor.currentField)) return leavePage();
  return s.leave ? leavePage() : 0;
}

void moveCursor(int direction) {
  const OpBlockPage* page = g_opBlockPage.page;
  const int n = OP_PageFieldCount();
  int raw = g_opFieldEditor.currentField + direction;
  if (raw > n) raw = 0;
  if (raw < 0) raw = n;
  uint16_t next = page->cursor ? page->cursor(static_cast<uint16_t>(raw), direction)
                               : OP_NextEditableField(static_cast<uint16_t>(raw), direction);
  if (n > 0 && next > n) next = 0;
  selectField(next);
}

bool inside(const OpRect& r, int x, int y) {
  return x >= r.x && x < r.x + r.xSize && y >= r.y && y < r.y + r.ySize;
}

// A new touch in the body: a field's rectangle selects it, the selected one is entered, a
// touch elsewhere deselects. 1 when the page is to be left.
int bodyTouch() {
  const OpPointerCopy& p = g_opInput.pointer;
  const uint16_t n = OP_PageFieldCount();
  uint16_t hit = 0;
  for (uint16_t i = 1; i <= n && !hit; ++i) {
    const OpPageField* f = OP_PageField(i);
    if (f->touch && inside(*f->touch, p.x, p.y) && selectable(i)) hit = i;
  }
  if (hit && hit == g_opFieldEditor.currentField) return OP_BlockFieldEnter() == 1;
  selectField(hit);
  return 0;
}

// The touch zones of the top bar: 1 when the page is left (to the menus).
int topBarTouch() {
  OpBlockPageState& s = g_opBlockPage;
  OpPageManager& pm = g_opPage;
  switch (FW_GetTouchZone()) {
    case OP_ZONE_LEFT:
      // Back to the operating pages.
      if (!s.block) return 0;
      if (s.type == OP_BLOCK_VIEW_TYPE) OP_CloseBlockView(s.block);
      OP_CloseOverlays();
      g_opJump.listRebuild = 1;
      s.page = nullptr;
      pm.current = OP_MenuPageProc;
      OP_PageEnter(0);
      OP_ShowOperatingPages();
      return pm.current == OP_BlockPageProc ? 0 : 1;
    case OP_ZONE_MIDDLE:
      // The clock: the date and time menu, and back to this block from there.
      if (OP_LinkDisplayState() > 3) return 0;
      if (s.type == OP_BLOCK_VIEW_TYPE) OP_CloseBlockView(s.block);
      OP_CloseOverlays();
      g_opJump.pendingReturn = s.block;
      g_opJump.returnToBlock = 1;
      s.page = nullptr;
      OP_MenuDateTime();
      return 1;
    case OP_ZONE_RIGHT:
      // The status icon: the alarm page of the first alarm slot in use.
      if (g_opStatusIcon.request && s.type != kAlarmType) {
        for (int i = 0; i < kAlarmSlots; ++i) {
          const uint16_t b = static_cast<uint16_t>(kAlarmBlocks + i);
          if (typeOf(b) == kAlarmType) {
            OpPageRequest = b;
            pm.jumpPending = 1;
            break;
          }
        }
      }
      g_opStatusIcon.request = 0;
      return 0;
    default:
      return 0;
  }
}

}  // namespace

std::span<const OpBlockPageType> OP_BuiltinBlockPageTypes() { return kPageTypes; }
std::span<const OpBlockPageType> g_opBlockPageTypes = kPageTypes;

const OpBlockPage* OP_FindBlockPage(uint16_t type, uint16_t block) {
  for (const OpBlockPageType& row : g_opBlockPageTypes) {
    if (row.type != type) continue;
    uint16_t* form = nullptr;
    if (row.formWord && row.otherForm && FB_GetWordValuePtr(block, row.formWord, &form) && *form) {
      return row.otherForm;
    }
    return row.page;
  }
  return nullptr;
}

uint16_t OP_PageFieldCount() {
  const OpBlockPage* page = g_opBlockPage.page;
  if (!page || !page->fields) return 0;
  const OpFieldTable& t = *page->fields;
  const size_t n = t.count ? *t.count : t.fields.size();
  return static_cast<uint16_t>(n < t.fields.size() ? n : t.fields.size());
}

const OpPageField* OP_PageField(uint16_t field) {
  if (field == 0 || field > OP_PageFieldCount()) return nullptr;
  return &g_opBlockPage.page->fields->fields[field - 1u];
}

bool OP_FieldIsHeld(uint16_t field) {
  const OpFieldEditor& fe = g_opFieldEditor;
  return field != 0 && ((fe.editing && fe.currentField == field) ||
                        (fe.lastCountdown && fe.lastField == static_cast<int16_t>(field)));
}

int OP_SelectBlockPage(uint16_t block) { return selectPage(block, false); }

int OP_SelectSecondPage() {
  const OpBlockPageState& s = g_opBlockPage;
  return s.page ? selectPage(s.block, !s.second) : 0;
}

uint16_t OP_NextEditableField(uint16_t index, int direction) {
  return OP_NextFieldWhere(index, direction, selectable);
}

int OP_BlockPageJump(uint16_t block) {
  OpBlockPageState& s = g_opBlockPage;
  if (block == 0 || block > FB_MAX_BLOCK || block == s.block || !blockHasPage(block)) return 0;
  g_opJump.returnA = s.block;
  g_opJump.targetA = block;
  g_opJump.flags |= OP_JUMP_A_PENDING;
  g_opPage.jumpPending = 1;
  s.leave = 1;
  return 1;
}

int OP_BlockFieldEnter() {
  OpBlockPageState& s = g_opBlockPage;
  OpFieldEditor& fe = g_opFieldEditor;
  if (!s.page) return -1;
  const uint16_t index = fe.currentField;
  if (s.page->enter) {
    const int r = s.page->enter(index);
    if (r != OP_ENTER_COMMON) return r;
  }
  const OpPageField* f = OP_PageField(index);
  if (!f) return -1;
  void* value = fieldValue(*f);
  if (!value) return -1;
  switch (f->kind & OP_PF_KIND_MASK) {
    case OP_PF_JUMP:
      return OP_BlockPageJump(wordAt(value)) ? 1 : -1;
    case OP_PF_LINK:
      return byteAt(value) && OP_SelectSecondPage() ? 0 : -1;
    default:
      break;
  }
  if (!f->descriptor || pageRecordLocked(s.block)) return -1;
  // The editor works on a copy of the field's descriptor, bound to this block's value.
  fe.entry = *f->descriptor;
  fe.entry.value = value;
  fe.entry.block = s.block;
  if (!fe.entry.handler && f->paramId) {
    if (const FbTypeRecord* t = FB_GetType(s.type)) fe.entry.handler = t->param;
  }
  if (isFloatEntry(fe.entry.kind) && f->descriptor->limits) {
    const auto* src = static_cast<const FbFloatLimitData*>(f->descriptor->limits);
    fe.floatLimits = *src;
    if (src->attribute == &src->ownAttribute) fe.floatLimits.attribute = &fe.floatLimits.ownAttribute;
    fe.entry.limits = &fe.floatLimits;
    if ((f->kind & OP_PF_KIND_MASK) == OP_PF_MINSEC && f->extra && f->extra->timeMax) {
      OP_FieldEditorSetTimeField(f->extra->timeMax(s.block));
    }
  }
  if (!OP_EditStart(&fe.entry, static_cast<uint16_t>(f->paramId))) return -1;
  OpTextRow* row = f->row;
  const int column = row && f->column < OP_ROW_CHARS ? f->column : 0;
  int width = f->width ? f->width : OP_ROW_CHARS - column;
  if (column + width > OP_ROW_CHARS) width = OP_ROW_CHARS - column;
  const OpFieldExtra* x = f->extra;
  OP_EditSetTarget(row ? row->text + column : nullptr, row ? &row->changed : nullptr, width,
                   row ? row->colors + column : nullptr, x ? x->textBase : 0, x ? x->records : nullptr,
                   x ? x->recordCount : 0, x ? x->mode : uint8_t{OP_EDIT_MODE_DIALOG});
  fe.editing = 1;
  return 0;
}

int OP_ServePageRequest() {
  const uint16_t block = OpPageRequest;
  if (!block) return 0;
  OpPageRequest = 0;
  g_opPage.jumpPending = g_opJump.targetA || g_opJump.targetB ? 1 : 0;
  const OpBlockPageState& s = g_opBlockPage;
  if (g_opPage.current == OP_BlockPageProc && s.page && s.block == block && !s.second) return 0;
  if (!blockHasPage(block)) return 0;
  if (s.page && s.type == OP_BLOCK_VIEW_TYPE) OP_CloseBlockView(s.block);
  OP_CloseOverlays();
  return OP_SelectBlockPage(block);
}

void OP_PageExit() {
  OpBlockPageState& s = g_opBlockPage;
  s.page = nullptr;
  s.reselect = s.leave = s.altView = 0;
  OpJumpRecord& j = g_opJump;
  if (!j.targetA && !j.targetB) {
    j.flags = 0;
    j.returnA = j.returnB = 0;
  }
  g_opPage.jumpPending = j.targetA || j.targetB ? 1 : 0;
  OP_PageEnter(1);
}

void OP_PageLeave() {
  const OpBlockPageState& s = g_opBlockPage;
  if (s.page && s.type == OP_BLOCK_VIEW_TYPE) OP_CloseBlockView(s.block);
  OP_CloseOverlays();
  OP_PageExit();
}

int OP_BlockPageProc() {
  OpBlockPageState& s = g_opBlockPage;
  OpFieldEditor& fe = g_opFieldEditor;
  const OpPageManager& pm = g_opPage;
  if (OP_ServePageRequest()) return 0;
  // The page shown belongs to the current block, and the block still has it.
  if (!s.page || s.block != pm.currentBlock || typeOf(s.block) != s.type) {
    if (!OP_SelectBlockPage(pm.currentBlock)) return leavePage();
    return 0;
  }
  // 1. The top bar.
  if (topBarTouch()) return 1;
  if (pm.current != OP_BlockPageProc || !s.page) return 0;
  // 2. The rotating title, the alternate view.
  OP_RotateTitleText();
  const OpKeyState& k = g_opKeys;
  if (s.page->altView && k.functionReleased) s.altView ^= 1;
  // 3. The value editor.
  if (fe.editing) {
    if (OP_EditStep()) editFinished();
    return runCycle();
  }
  // 4. Time-outs: a pending jump of path B, a field left alone for a minute.
  const OpJumpRecord& j = g_opJump;
  if ((j.flags & (OP_JUMP_B_FIRST | OP_JUMP_B_AGAIN)) && (j.targetA || j.targetB) &&
      k.idleTicks > OP_JUMP_IDLE_CYCLES) {
    return leavePage();
  }
  const uint16_t selected = fe.currentField;
  const bool touched = g_opInput.pointer.state == OP_POINTER_PRESSED;
  OP_FieldEditorCycle(static_cast<uint8_t>(k.lastKeyCode | (touched ? 0x80 : 0)));
  if (selected && !fe.currentField) highlight(selected, false);
  // 5. The page asks to be selected again.
  if ((s.page->changed && *s.page->changed) || s.reselect) {
    if (s.page->changed) *s.page->changed = 0;
    s.reselect = 0;
    return selectPage(s.block, s.second) ? 0 : leavePage();
  }
  // 6. The page's own keys.
  if (s.page->keys && s.page->keys()) return leavePage();
  // 7. Keys and touch.
  const uint8_t pointerBefore = s.lastPointer;
  s.lastPointer = g_opInput.pointer.state;
  if (!OP_TouchWindowOpen()) {
    if (OP_IsShortPress(k.enterReleased)) {
      if (OP_BlockFieldEnter() == 1) return leavePage();
      if (fe.editing) return runCycle();
    } else if (OP_IsShortPress(k.exitReleased)) {
      if (!otherPageExists() || !selectedIsLink()) return leavePage();
      OP_SelectSecondPage();
      return 0;
    }
    if (OP_KeyStepEvent(k.downStep, k.holdDown, OP_KEY_DOWN)) {
      moveCursor(1);
    } else if (OP_KeyStepEvent(k.upStep, k.holdUp, OP_KEY_UP)) {
      moveCursor(-1);
    }
    const OpPointerCopy& p = g_opInput.pointer;
    if (touched && pointerBefore != OP_POINTER_PRESSED && p.y >= OP_BODY_Y && bodyTouch()) {
      return leavePage();
    }
    if ((k.holdFunction || k.functionReleased) && fe.currentField && s.page->key1) {
      s.page->key1(fe.currentField - 1);
    }
  }
  // 8. The programmer's first field is redrawn every cycle; then the page's own cycle.
  if (s.page->screen == 2 && fe.currentField == 1) {
    if (const OpPageField* f = OP_PageField(1); f && f->row) f->row->changed = 1;
  }
  return runCycle();
}

// --- What the block pages share -------------------------------------------------------------

int OP_BlockRefreshStep(int steps, uint8_t* request) {
  uint16_t& step = g_opBlockPage.refreshStep;
  if (step < steps) {
    if (step == 0 && request) *request = 0;
    return step++;
  }
  if (request && *request) {
    *request = 0;
    step = 0;
  }
  return -1;
}

bool OP_RefreshSkips(uint16_t field, uint8_t* request) {
  if (!OP_FieldIsHeld(field)) return false;
  if (request) *request = 1;
  return true;
}

bool OP_KeyStepEvent(uint8_t step, uint8_t hold, uint8_t key) {
  if (step) return true;
  return g_opKeys.lastKeyCode == key && hold >= OP_KEY_REPEAT_START && hold % OP_KEY_REPEAT_EVERY == 0;
}

const char* OP_ListText(uint16_t firstId, int index, int count) {
  if (index < 0 || index >= count) return "??????";
  return FW_GetText(static_cast<uint32_t>(firstId + index));
}

void OP_RowPrintf(OpTextRow* row, const char* format, ...) {
  if (!row) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(row->text, sizeof row->text, format, args);
  va_end(args);
  row->changed = 1;
}

void OP_RowPut(OpTextRow* row, int column, int width, const char* text) {
  if (!row || column < 0 || column >= OP_ROW_CHARS || width <= 0) return;
  if (column + width > OP_ROW_CHARS) width = OP_ROW_CHARS - column;
  const size_t have = std::strlen(row->text);
  for (size_t i = have; i < static_cast<size_t>(column); ++i) row->text[i] = ' ';
  size_t n = text ? std::strlen(text) : 0;
  if (n > static_cast<size_t>(width)) n = static_cast<size_t>(width);
  if (n) std::memcpy(row->text + column, text, n);
  std::memset(row->text + column + n, ' ', static_cast<size_t>(width) - n);
  if (have < static_cast<size_t>(column + width)) row->text[column + width] = 0;
  row->changed = 1;
}

const char* OP_NumberText(char* out, int width, float value, int decimals) {
  OP_FormatNumber(out, width, value, decimals, OP_ALIGN_RIGHT, width);
  out[width] = 0;
  return out;
}

void OP_RowNumber(OpTextRow* row, int column, int width, float value, int decimals) {
  char text[OP_ROW_CHARS + 1];
  if (width > OP_ROW_CHARS) width = OP_ROW_CHARS;
  if (width <= 0) return;
  OP_RowPut(row, column, width, OP_NumberText(text, width, value, decimals));
}

void OP_SetFloatLimits(FbFloatLimitData* limits, float a, float b, int decimals) {
  limits->min = a < b ? a : b;
  limits->max = a < b ? b : a;
  limits->minFn = limits->maxFn = nullptr;
  limits->ownAttribute = static_cast<uint16_t>(decimals < 0 ? 0 : decimals > 3 ? 3 : decimals);
  limits->attribute = &limits->ownAttribute;
}
