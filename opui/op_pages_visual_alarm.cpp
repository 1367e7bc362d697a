// The alarm page of VALARM (text screen 9): the list of the alarm collector's inputs in the
// order of their numbers, with their states, and the acknowledgement of an alarm.
#include <cstdio>

#include "opui/op_format.h"
#include "opui/op_input.h"
#include "opui/op_keys.h"
#include "opui/op_pages_visual_internal.h"
#include "runtime/fb_param.h"

using opvis::markRow;
using opvis::pageRow;
using opvis::repeatStep;
using opvis::setRow;

OpAlarmPageState g_opAlarmList;

namespace {

// Glyphs of the device font that the page uses as symbols.
constexpr char kSymCursor = '\xBB';       // the alarm row under the cursor
constexpr char kSymMoreAbove = '^';
constexpr char kSymMoreBelow = 'v';

// A row of the alarm list whose input is in state 1 is drawn in this colour byte.
constexpr uint8_t kAlarmRowColour = OP_ROW_ALARM;

constexpr int kAlarmRowY0 = 60, kAlarmRowHeight = 22;
constexpr const char* kEmptyAlarmRow = "----------------";

void alarmText(OpAlarmRow& row, const ValarmState& s) {
  const int k = row.input - 1;
  if (row.state == OP_ALARM_NONE) {
    std::snprintf(row.text, sizeof row.text, "----%d%d----", row.source, row.input);
    return;
  }
  const uint16_t list = s.textBlock[k / 4];
  FbLayout L;
  if (list && FB_GetLayout(list, &L) && L.type == OP_TYPE_TEXT) {
    char text[OP_RECORD_LABEL_CHARS + 1];
    OP_FormatRecordLabel(text, k % 4 + 1, 1, &list);
    std::snprintf(row.text, sizeof row.text, "%16s", text);
  } else {
    std::snprintf(row.text, sizeof row.text, "%d%d : Alarm", row.source, row.input);
  }
}

uint16_t alarmRowsOfBlock() {
  const ValarmState* s = OP_AlarmStateOf(g_opBlockPage.block);
  const uint16_t n = s ? s->numbered : 0;
  return n < OP_ALARM_MAX_NUMBER ? n : OP_ALARM_MAX_NUMBER;
}

void buildAlarmList() {
  OpAlarmPageState& g = g_opAlarmList;
  g.count = static_cast<uint8_t>(alarmRowsOfBlock());
  for (int r = 0; r < OP_ALARM_MAX_NUMBER; ++r) {
    g.rows[r] = OpAlarmRow{};
    if (r < g.count) std::snprintf(g.rows[r].text, sizeof g.rows[r].text, "----------");
  }
  for (int src = 1; src <= OP_ALARM_SLOTS; ++src) {
    const ValarmState* s = OP_AlarmStateOf(static_cast<uint16_t>(OP_ALARM_FIRST_BLOCK + src - 1));
    if (!s) continue;
    for (int in = 1; in <= OP_ALARM_INPUTS; ++in) {
      const int n = s->number[in - 1];
      if (n < 1 || n > g.count) continue;
      OpAlarmRow& row = g.rows[n - 1];
      row.source = static_cast<uint8_t>(src);
      row.input = static_cast<uint8_t>(in);
      row.state = s->state[in - 1] <= OP_ALARM_GONE ? s->state[in - 1] : uint8_t{OP_ALARM_NONE};
      alarmText(row, *s);
    }
  }
}

const ValarmState* sourceOf(const OpAlarmRow& row) {
  if (row.source < 1 || row.source > OP_ALARM_SLOTS || row.input < 1 || row.input > OP_ALARM_INPUTS) return nullptr;
  return OP_AlarmStateOf(static_cast<uint16_t>(OP_ALARM_FIRST_BLOCK + row.source - 1));
}

// Screen row i (0..7) of the window.
void showAlarmRow(int i) {
  const OpAlarmPageState& g = g_opAlarmList;
  const int r = g.top + i;
  const bool listed = r < g.count;
  const char cursor = listed && r == g.cursor ? kSymCursor : ' ';
  char more = ' ';
  if (i == 0 && g.top > 0) more = kSymMoreAbove;
  if (i == OP_ALARM_PAGE_ROWS - 1 && g.top + OP_ALARM_PAGE_ROWS < g.count) more = kSymMoreBelow;
  char text[OP_ROW_CHARS + 1];
  std::snprintf(text, sizeof text, "%c%-16s %c", cursor, listed && g.rows[r].text[0] ? g.rows[r].text : kEmptyAlarmRow,
                more);
  const uint8_t state = listed ? g.rows[r].state : uint8_t{OP_ALARM_NONE};
  if (state == OP_ALARM_ACTIVE) {
    setRow(pageRow(i), text, kAlarmRowColour);
  } else {
    setRow(pageRow(i), text, state, false);
  }
}

void showAlarmWindow() {
  for (int i = 0; i < OP_ALARM_PAGE_ROWS; ++i) showAlarmRow(i);
}

void keepCursorVisible() {
  OpAlarmPageState& g = g_opAlarmList;
  if (g.cursor < g.top) g.top = g.cursor;
  if (g.cursor >= g.top + OP_ALARM_PAGE_ROWS) g.top = static_cast<uint8_t>(g.cursor - (OP_ALARM_PAGE_ROWS - 1));
}

bool rowHasState(int r) {
  const OpAlarmPageState& g = g_opAlarmList;
  return r >= 0 && r < g.count && g.rows[r].source && g.rows[r].state != OP_ALARM_NONE;
}

void moveAlarmCursor(int direction) {
  OpAlarmPageState& g = g_opAlarmList;
  int r = g.cursor + direction;
  while (r >= 0 && r < g.count && !rowHasState(r)) r += direction;
  if (r >= 0 && r < g.count) {
    g.cursor = static_cast<uint8_t>(r);
  } else if (direction < 0) {
    // Up from the first row: the last eight rows, the cursor on the last with a state.
    int last = g.count - 1;
    while (last >= 0 && !rowHasState(last)) --last;
    if (last < 0) return;
    g.top = static_cast<uint8_t>(g.count > OP_ALARM_PAGE_ROWS ? g.count - OP_ALARM_PAGE_ROWS : 0);
    g.cursor = static_cast<uint8_t>(last);
  }
  keepCursorVisible();
  showAlarmWindow();
}

void acknowledgeRow(int r) {
  OpAlarmPageState& g = g_opAlarmList;
  if (r < 0 || r >= g.count) return;
  OpAlarmRow& row = g.rows[r];
  ValarmState* s = const_cast<ValarmState*>(sourceOf(row));
  // While the acknowledge input is held the block acknowledges by itself.
  if (!s || s->ackHeld) return;
  uint8_t& st = s->state[row.input - 1];
  if (st == OP_ALARM_GONE) {
    st = OP_ALARM_NONE;
    s->ackRequest[row.input - 1] = 1;
  } else if (st == OP_ALARM_ACTIVE) {
    st = OP_ALARM_ACKED;
  } else {
    return;
  }
  row.state = st;
  if (r >= g.top && r < g.top + OP_ALARM_PAGE_ROWS) {
    markRow(pageRow(r - g.top), OP_ROW_NORMAL);
    showAlarmRow(r - g.top);
  }
}

void touchAlarmRow(int y) {
  OpAlarmPageState& g = g_opAlarmList;
  const int i = (y - kAlarmRowY0) / kAlarmRowHeight;
  if (y < kAlarmRowY0 || i >= OP_ALARM_PAGE_ROWS) return;
  const int r = g.top + i;
  if (!rowHasState(r)) return;
  g.cursor = static_cast<uint8_t>(r);
  // At the window's edges the list scrolls by six rows.
  if (i == 0 && g.top > 0) g.top = static_cast<uint8_t>(g.top > 6 ? g.top - 6 : 0);
  if (i == OP_ALARM_PAGE_ROWS - 1 && g.top + OP_ALARM_PAGE_ROWS < g.count) {
    const int room = g.count - OP_ALARM_PAGE_ROWS - g.top;
    g.top = static_cast<uint8_t>(g.top + (room < 6 ? room : 6));
  }
  showAlarmWindow();
}

}  // namespace

const OpBlockPage g_opAlarmPage{.screen = 9, .open = OP_AlarmPageOpen, .cycle = OP_AlarmPageRefresh,
                                .keys = OP_AlarmPageKey};

int OP_AlarmPageOpen() {
  OpAlarmPageState& g = g_opAlarmList;
  if (g.building) return 0;
  g.building = 1;
  // A renumbering that the blocks have not finished yet: the list is built once more.
  for (int pass = 0; pass < 2; ++pass) {
    buildAlarmList();
    if (g_opAlarms.acknowledged == 0) break;
  }
  g.top = 0;
  g.cursor = 0;
  g.refresh = 0;
  while (g.cursor + 1 < g.count && !rowHasState(g.cursor)) ++g.cursor;
  for (OpTextRow& row : g_opPageRows.rows) row = OpTextRow{};
  showAlarmWindow();
  OP_ShowTextScreen(9, 0);   // every row of the screen (the dispatcher drew the title)
  g.building = 0;
  return 0;
}

int OP_AlarmPageRefresh(uint16_t) {
  OpAlarmPageState& g = g_opAlarmList;
  if (g.building) return 0;
  // New alarms or a renumbering give another list.
  if (alarmRowsOfBlock() != g.count) return OP_AlarmPageOpen();
  const int i = g.refresh;
  g.refresh = static_cast<uint8_t>((i + 1) % OP_ALARM_PAGE_ROWS);
  const int r = g.top + i;
  if (r < g.count) {
    OpAlarmRow& row = g.rows[r];
    if (const ValarmState* s = sourceOf(row)) {
      if (s->number[row.input - 1] != r + 1) return OP_AlarmPageOpen();
      const uint8_t st = s->state[row.input - 1] <= OP_ALARM_GONE ? s->state[row.input - 1] : uint8_t{OP_ALARM_NONE};
      if (st != row.state) {
        row.state = st;
        alarmText(row, *s);
      }
    }
  }
  showAlarmRow(i);
  return 0;
}

int OP_AlarmPageKey() {
  OpAlarmPageState& g = g_opAlarmList;
  const uint8_t pointerBefore = g.lastPointer;
  g.lastPointer = g_opInput.pointer.state;
  if (OP_TouchWindowOpen()) return 0;
  const OpKeyState& k = g_opKeys;
  if (k.functionReleased) return OP_AlarmPageOpen();
  if (repeatStep(k.upStep, k.holdUp, OP_KEY_UP)) {
    moveAlarmCursor(-1);
  } else if (repeatStep(k.downStep, k.holdDown, OP_KEY_DOWN)) {
    moveAlarmCursor(1);
  }
  if (OP_IsShortPress(k.enterReleased)) acknowledgeRow(g.cursor);
  const OpPointerCopy& p = g_opInput.pointer;
  if (p.state == OP_POINTER_PRESSED && pointerBefore != OP_POINTER_PRESSED && p.y >= OP_BODY_Y) {
    touchAlarmRow(p.y);
  }
  return 0;
}
