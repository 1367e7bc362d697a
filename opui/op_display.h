// The device display: the top bar (logo, four key-function icons, clock, status icon) and
// the body (the page area), their windows and memory devices, the colour codes of the page
// tables, the text screens (tables of prepared rows drawn by one renderer), the soft-key
// marks under the hard keys, the per-cycle display update, the start-up logo and the test
// screens of the start-up sequence. The text screens are drawn in op_display_textscreen.cpp, the
// top bar's pictures, the start-up logo and the test screens in op_display_pictures.cpp.
#pragma once

#include <cstdint>

#include "gui/GUI.h"
#include "gui/WM.h"

// --- Geometry -------------------------------------------------------------------------------
constexpr int OP_TOPBAR_HEIGHT = 34;
constexpr int OP_BODY_Y = 34;
constexpr int OP_BODY_HEIGHT = 206;
constexpr int OP_TITLE_Y0 = 34, OP_TITLE_Y1 = 57, OP_TITLE_LINE_Y = 58;
constexpr int OP_ICON_SIZE = 32;
constexpr int OP_CLOCK_X = 224, OP_CLOCK_Y = 8;
constexpr int OP_STATUS_ICON_X = 288;
constexpr uint16_t OP_UPTIME_LIMIT = 1800;
constexpr uint32_t OP_USER_LOGO_BYTES = 3072;
constexpr uint32_t OP_ICON_TABLE_OFFSET = OP_USER_LOGO_BYTES;  // nine u16 offsets
constexpr int OP_SOFTKEY_COLOR = 0x0000FF;                      // red

// Window messages the display procedures handle (the window manager's numbers).
enum : int32_t { OP_MSG_CREATE = 1, OP_MSG_DELETE = 11, OP_MSG_PAINT = 15 };

// --- Colour codes ---------------------------------------------------------------------------
enum : uint8_t {
  OP_CC_BLACK = 242,
  OP_CC_WHITE = 243,
  OP_CC_SCREEN = 244,       // the current screen background
  OP_CC_STATUS = 245,
  OP_CC_BACKGROUND = 250,   // palette slot 5
  OP_CC_FOREGROUND = 251,   // palette slot 6 (also every code without a colour of its own)
  OP_CC_TITLE = 252,        // palette slot 7
  OP_CC_TOPBAR_BG = 254,    // palette slot 9
  OP_CC_TOPBAR_TEXT = 255,  // palette slot 10
};
GUI_COLOR OP_ColorFromCode(int code);
// `preferred` where its brightness differs from `background`'s by `least` (0..255) or more, else
// black or white, whichever stands out: marks and labels drawn in a palette's fixed or text
// colour stay readable on any background. Dim marks (an idle key) ask for less than texts.
constexpr int OP_READABLE_TEXT = 96;
constexpr int OP_READABLE_DIM = 72;
GUI_COLOR OP_ColorReadableOn(GUI_COLOR background, GUI_COLOR preferred, int least = OP_READABLE_TEXT);

// --- Indicators ----------------------------------------------------------------------------
struct OpIndicator {
  uint16_t code;
  int32_t state;
};
constexpr int OP_INDICATORS = 8;
constexpr int OP_KEY_ASSIGN_FIRST = 1;    // entries 1 and 2: the key assignments
constexpr int OP_KEY_INDICATOR_FIRST = 3; // entries 3..6: the key-function icons
enum : uint16_t { OP_ICON_STATUS = 6, OP_ICON_NONE = 11, OP_ICON_KEY1 = 16 };
extern OpIndicator g_opIndicators[OP_INDICATORS];
void OP_SetIndicator(int n, int code, int on);
void OP_InitKeyMap();
void OP_EnableKeyMap();

// --- Text screens ---------------------------------------------------------------------------
constexpr int OP_TEXT_ROWS = 47;
constexpr int OP_ROW_CHARS = 27;
constexpr int OP_MENU_ITEM_ROWS = 16;     // buffered item rows of the menu screen
constexpr int OP_MENU_VISIBLE_ROWS = 8;
constexpr int OP_LINE_HEIGHT = 12, OP_LINE_HEIGHT_LARGE = 24;
constexpr int OP_MAX_ROW_LINES = 27;

// One row of the menu screen: text, one colour byte a character (0 normal, 5 highlighted,
// 13 being edited) and the changed flag the renderer reads and clears.
// An alarm row that waits for its acknowledgement is drawn in the alarm colour (8).
enum : uint8_t { OP_ROW_NORMAL = 0, OP_ROW_HIGHLIGHT = 5, OP_ROW_ALARM = 8, OP_ROW_EDIT = 13 };
struct OpTextRow {
  char text[OP_ROW_CHARS + 1];
  uint8_t colors[OP_ROW_CHARS];
  uint16_t changed;
};
struct OpMenuRows {
  OpTextRow title;
  OpTextRow items[OP_MENU_ITEM_ROWS];
};
extern OpMenuRows g_opMenuRows;

// Row kinds of the templates.
enum : uint8_t {
  OP_ROW_TEXT = 0,
  OP_ROW_BOX = 1, OP_ROW_BOX_V = 11,
  OP_ROW_MARKER = 2, OP_ROW_MARKER_V = 12,
  OP_ROW_BAR_FILLED = 3, OP_ROW_BAR_REST = 4,
  OP_ROW_BAR_FILLED_V = 13, OP_ROW_BAR_REST_V = 14,
};

// A row of a screen type's static template table.
struct OpRowTemplate {
  OpTextRow* source;        // the row's text, colours and changed flag (null: fixed text)
  const char* text;         // fixed text when there is no source
  int16_t x, y, xSize, ySize;
  const int16_t* permille;  // bar value (bars only)
  uint8_t kind;
  uint8_t fg, bg, fgHi, bgHi;
  uint8_t end;              // the last row of the table
};

struct OpRect {
  int16_t x, y, xSize, ySize;
};

// Prepared row: its template, the bar rectangle laid out for this screen, and the kind and
// foreground code it is drawn with (taken from the template; a screen type may re-mark them).
struct OpPreparedRow {
  const OpRowTemplate* tmpl;
  OpRect rect;
  uint8_t kind;
  uint8_t fg;
};

// Rows of the block pages' text screens (every type but the menu screen): the title in the
// band, the text rows the page writes and the per-mille values of its bars and markers.
constexpr int OP_PAGE_ROWS = 16;
constexpr int OP_PAGE_BARS = 8;
struct OpPageRows {
  OpTextRow title;
  OpTextRow rows[OP_PAGE_ROWS];
  int16_t bars[OP_PAGE_BARS];
};
extern OpPageRows g_opPageRows;
// The trend screen's frame row around the strip (re-marked on a redraw of its rows).
constexpr int OP_TREND_FRAME_ROW = 4;

struct OpTextScreen {
  uint8_t type;              // 1..10; 7 = menu and list screen
  uint8_t redrawState;       // 0 draw all, 1 rows only, 2
  uint8_t count;             // prepared rows
  uint8_t request;           // redraw requested (the display update shows it again)
  uint8_t largeText;         // multi-line rows use 24-pixel lines
  OpPreparedRow rows[OP_TEXT_ROWS];
  // The trend strip of a screen that has one: ring of per-mille samples.
  const int16_t* trendRing;
  uint16_t trendRingSize;
  uint16_t trendCount;       // samples shown
  uint16_t trendNewest;      // index of the newest sample
  uint16_t trendDrawnIndex;
  uint8_t trendMode;
  uint8_t trendColor;
};
extern OpTextScreen g_opTextScreen;

// Static template tables of the screen types (index 1..10; null = none); type 10 is the user
// page.
constexpr int OP_SCREEN_TYPES = 10;
extern const OpRowTemplate* const g_opScreenTemplates[OP_SCREEN_TYPES + 1];

// Lays out a bar element: per-mille value g, bar kind, the template's rectangle.
OpRect OP_LayoutBar(int g, int kind, OpRect r);
// The y of one trend-strip sample.
int OP_TrendStripY(int v, int mode);

// OP_ShowTextScreen(type, count) is declared with the firmware services (op_services.h).
void OP_DrawTextScreen(int redrawAll);
void OP_DrawTrendStrip();
void OP_FillRowRect(int x, int y, int xSize, int ySize, int highlighted, const OpRowTemplate* row);
void OP_RequestTextScreen();

// --- Frame ----------------------------------------------------------------------------------
struct OpDisplayState {
  WM_HWIN topBar, body;
  GUI_MEMDEV_Handle topBarDev, bodyDev, fullDev, logoDev;
  GUI_MEMDEV_Handle iconDev[8];    // normal and active picture of the four key icons
  uint8_t rendererBusy;
  GUI_COLOR screenBackground;      // colour code 244
  GUI_COLOR statusColor;           // colour code 245
  uint8_t pageColorIndex;          // palette slot of the screen background (1..10)
  GUI_COLOR pageColor;             // the background of a type-9 screen
  uint8_t blinkCounter, blinkPhase;
  uint8_t userLogo;                // the user logo is shown (picture flags bits 5 and 6)
  uint8_t userLogoDropped;         // the decoder rejected it: not tried again in this run
  uint8_t userIcons;               // the user key icons are shown
  uint8_t userIconsDropped;
  uint8_t statusLit;               // one-shot: the status icon is lit in the next paint
  uint8_t userPictureFlag;
  uint16_t uptime;
  uint8_t uptimeFlag;
  uint32_t logoDecodes;            // decodes of the user logo
  uint32_t heapFree, heapUsedBlocks, heapPeak;  // for the info pages
};
extern OpDisplayState g_opDisplay;

void OP_TopBarProc(WM_MESSAGE* msg);
void OP_BodyProc(WM_MESSAGE* msg);
void OP_FullScreenProc(WM_MESSAGE* msg);

void OP_ClearTopBar();
void OP_RedrawDisplay();
void OP_MarkSoftkey(int n, int on);
void OP_DrawIcon(GUI_COLOR background, int x, int y, int icon);
void OP_QueueUiAreaWrite();
void OP_OpenTouchList();

// Resets the display state (firmware start, tests); windows and devices are forgotten.
void OP_ResetDisplay();

// The built-in start-up logo: a streamed bitmap, 320 x 240.
extern const uint8_t g_opStartLogo[];
extern const uint32_t g_opStartLogoSize;

// The status icon as the alarm collector drives it: the request (read by the right touch
// zone) and the lit flag, which the top bar takes for one paint and clears.
struct OpStatusIcon {
  uint8_t request;
  uint8_t lit;
};
extern OpStatusIcon g_opStatusIcon;

// The touch list of the menu screens (0 = not open) and its opener.
extern WM_HWIN g_opTouchList;
WM_HWIN FW_OpenTouchDialog();
void OP_CloseTouchList();
// Gives the open touch list the screen's colours (its selected entry inverted).
void OP_TouchListColors();
