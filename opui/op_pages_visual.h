// Operating pages of the visualisation blocks: the value page of VWERT (text screen 8), the
// bar pages of VBAR (screens 3 and 4, vertical and horizontal), the trend page of VTREND
// (screen 5) and the alarm page of VALARM (screen 9).
//
// The value, bar and trend pages read the page record that their block keeps
// (blocks/visual/visual_pages.h) and write back only the operator's values, each with its
// changed-by-page mark that the block takes over at its next run. The alarm page reads the
// alarm collector's states (op_valarm.h) and acknowledges alarms there. Everything a record
// holds is checked before use: ring indices, counts, offsets and text-list references that
// lie outside their ranges are clamped or shown as the fallback row.
#pragma once

#include <cstdint>

#include "blocks/visual/visual_pages.h"
#include "opui/op_valarm.h"

// --- Value page ---------------------------------------------------------------------------------

// Fields of the value page: the link to the VWERT before this one, the six lines, the link
// to the one behind it.
enum : uint16_t { OP_VALUE_FIELD_PREVIOUS = 1, OP_VALUE_FIELD_LINE1 = 2, OP_VALUE_FIELD_NEXT = 8 };
constexpr uint8_t OP_VALUE_PAUSE_CYCLES = 15;   // no refresh right after a key action

int OP_ValuePageOpen();
int OP_ValuePageRefresh(uint16_t field);
void OP_ValuePageKey(int fieldIndex);           // key 1 on field fieldIndex + 1
uint16_t OP_ValuePageCursor(uint16_t index, int direction);
// The row kind of the field editor for a line's `Mode`.
uint8_t OP_ValueRowKind(uint8_t mode);
// The text of line i (0-based) of a record, NUL-terminated in 28 bytes.
void OP_ValueLineText(const VwertPage& page, int line, char* out);

// --- Bar pages ------------------------------------------------------------------------------------

enum : uint16_t { OP_BAR_FIELD_X1 = 1, OP_BAR_FIELD_X2 = 2 };
// A limit mark that is not shown: off the screen to the right (horizontal) or below.
constexpr int OP_BAR_MARK_HIDDEN_X = 320, OP_BAR_MARK_HIDDEN_Y = 240;

int OP_BarPageOpenV();
int OP_BarPageOpenH();
int OP_BarPageRefreshV(uint16_t field);
int OP_BarPageRefreshH(uint16_t field);
uint16_t OP_BarPageCursorV(uint16_t index, int direction);
uint16_t OP_BarPageCursorH(uint16_t index, int direction);
// The place of a limit mark v on a bar over min..max that starts at `origin` and is `size`
// pixels long: x of a horizontal bar (from the left), y of a vertical one (from the top);
// OP_BAR_MARK_HIDDEN_X / _Y for a mark outside the range, one that is not shown and a
// range without span.
int OP_BarMarkerPos(float v, float min, float max, int origin, int size, bool vertical);

struct OpBarPageState {
  int16_t marker[4];   // places of the marks: bar 1 low, high, bar 2 low, high
};
extern OpBarPageState g_opBarState;

// --- Trend page -----------------------------------------------------------------------------------

constexpr int OP_TREND_MAX_ZOOM = 7;
// The time unit of a trend record: "Unit" + 1, 0 with external sampling.
enum : uint16_t { OP_TREND_UNIT_EXTERNAL = 0, OP_TREND_UNIT_S = 1, OP_TREND_UNIT_MIN = 2, OP_TREND_UNIT_H = 3 };
constexpr int OP_TREND_CHAIN_MAX = 8;   // VTREND blocks one trend page follows at most
enum : uint8_t {
  OP_TREND_KEY_NONE = 0, OP_TREND_KEY_HISTORY = 1, OP_TREND_KEY_SCROLL = 2,
  OP_TREND_KEY_ZOOM = 3, OP_TREND_KEY_ZOOMING = 4, OP_TREND_KEY_ZOOM_ITEM = 5,
};

// The page side of a trend: where the window stands, the zoom, the key state and the points
// of the window, kept while the page of the same block is shown again.
struct OpTrendPageState {
  uint16_t block;          // the block the state belongs to
  uint16_t offset;         // points back from the newest
  int8_t zoom;             // -7..7; only a positive zoom narrows the range
  uint8_t keyState;        // OP_TREND_KEY_*
  uint8_t operatedNow;     // the operated item was entered by enter: shown at once
  uint8_t drawing;         // re-entrance guard of the draw handler
  uint16_t shownNewest;    // the newest index and count the window was taken with
  uint16_t shownCount;
  uint32_t chainLength;    // points of the whole chain
  float cursorValue;       // the point at the offset
  int16_t window[VTREND_RING];   // the points shown, the newest last
};
extern OpTrendPageState g_opTrendState;

int OP_TrendPageDraw();
int OP_TrendPageRefresh(uint16_t field);
int OP_TrendPageKey();
// Clears the trend page's redraw guards (the operating interface's reset).
void OP_ResetStopResetPage();
// The labels of the time axis (each NUL-terminated in `size` bytes).
void OP_TrendTimeLabels(float period, uint16_t unit, uint32_t offset, char* left, char* right, int size);
// The range shown on the value axis at a zoom.
void OP_TrendValueRange(float min, float max, int zoom, float* bottom, float* top);

// --- Alarm page -----------------------------------------------------------------------------------

constexpr int OP_ALARM_PAGE_ROWS = 8;   // rows visible at once
constexpr int OP_ALARM_TEXT_CHARS = 16;

struct OpAlarmRow {
  char text[OP_ALARM_TEXT_CHARS + 1];
  uint8_t state;            // OP_ALARM_* of its input
  uint8_t source;           // alarm slot 1..6, 0 when no input has this number
  uint8_t input;            // 1..8
};
struct OpAlarmPageState {
  OpAlarmRow rows[OP_ALARM_MAX_NUMBER];
  uint8_t count;            // rows of the list
  uint8_t top;              // first visible row
  uint8_t cursor;           // row of the cursor
  uint8_t refresh;          // visible row refreshed next
  uint8_t building;         // re-entrance guard of the page open
  uint8_t lastPointer;      // the pointer's state in the last cycle
};
extern OpAlarmPageState g_opAlarmList;

int OP_AlarmPageOpen();
int OP_AlarmPageRefresh(uint16_t field);
int OP_AlarmPageKey();
