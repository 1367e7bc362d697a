// Ids of the trend viewer: commands (menu and tool-bar items), private messages between its
// windows, and the resources asked of the language libraries.
#pragma once

#include "trendview/kurvex/kurvex.h"

enum KurvanCommand : int {
  KURVAN_CMD_HOLD = 32771,        // hold on/off (document)
  KURVAN_CMD_CURSOR = 32772,      // cursor on/off (main frame)
  KURVAN_CMD_CONFIGURE = 32773,   // channel configuration dialog (document)
  KURVAN_CMD_ZOOM_RESET = 32776,  // graph view
  KURVAN_CMD_CLEAR = 32777,       // clear trend (document)
  KURVAN_CMD_CSV = 32778,         // CSV export (graph view)
  KURVAN_CMD_LANGUAGE = 32779,    // language selection (main frame)

  KURVAN_CMD_FILE_OPEN = 57601,
  KURVAN_CMD_FILE_CLOSE = 57602,
  KURVAN_CMD_FILE_SAVE_AS = 57604,
  KURVAN_CMD_PRINT_SETUP = 57606,
  KURVAN_CMD_PRINT = 57607,
  KURVAN_CMD_PRINT_PREVIEW = 57609,
  KURVAN_CMD_MRU_FIRST = 57616,  // recent files 57616..57619
  KURVAN_CMD_COPY = 57634,       // clipboard (graph view)
  KURVAN_CMD_WINDOW_ARRANGE = 57649,
  KURVAN_CMD_WINDOW_CASCADE = 57650,
  KURVAN_CMD_WINDOW_TILE = 57651,
  KURVAN_CMD_ABOUT = 57664,
  KURVAN_CMD_EXIT = 57665,
  KURVAN_CMD_VIEW_TOOLBAR = 59392,
  KURVAN_CMD_VIEW_STATUSBAR = 59393,
};
constexpr int KURVAN_RECENT_COUNT = 4;

// Private messages (send(id, wParam, lParam) of the frames and views). 1125, 1127 and 1130
// arrive from the trend library as notifications (kurvex.h), 16 asks the viewer to close.
enum KurvanMessage : int {
  KURVAN_MSG_NEW_SAMPLES = KURVAN_MSG_SAMPLES,     // 1125: draw pending samples / refresh
  KURVAN_MSG_CURSOR = 1126,                        // the cursor flag changed
  KURVAN_MSG_LANGUAGE_CHANGED = KURVAN_MSG_LANGUAGE,  // 1127: language of the record
  KURVAN_MSG_GET_BITMAP = 1128,                    // text view: its off-screen image (QImage*)
  KURVAN_MSG_PRINT = 1129,                         // text view: print into the QPainter* in lParam
  KURVAN_MSG_CONFIG_CHANGED = KURVAN_MSG_CONFIG,   // 1130: the record's channel configuration
};

// Resource ids in the language libraries.
enum KurvanResourceId : int {
  KURVAN_RES_MAIN_FRAME = 128,  // frame menu, tool bar, frame string
  KURVAN_RES_TREND = 129,       // document menu and document string (record +1138 non-zero)
  KURVAN_RES_TREND_VIEW = 138,  // the other document resource set (record +1138 = 0)
  KURVAN_DLG_ABOUT = 100,
  KURVAN_DLG_ABOUT_GERMAN = 1006,  // control of dialog 100 shown only in language 0
  KURVAN_DLG_CHANNELS = 103,

  KURVAN_STR_APP_TITLE = 57344,
  KURVAN_STR_IDLE = 57345,
  KURVAN_STR_IND_CAPS = 59137,
  KURVAN_STR_IND_NUM = 59138,
  KURVAN_STR_IND_SCROLL = 59139,
  KURVAN_STR_CLEAR_PROMPT = 61225,
  KURVAN_STR_CSV_FILTER = 61227,
  KURVAN_STR_CSV_ERROR = 61228,
  KURVAN_STR_TOO_SMALL = 61229,
  KURVAN_STR_OPEN_ERROR = 61240,  // a trend file that cannot be read
  KURVAN_STR_SAVE_ERROR = 61241,  // a trend file that cannot be written
  KURVAN_STR_PRINT_ERROR = 61242, // a printer that did not take the page

  // Dialog 103: its two tables, the channel grid's headings, the property list's texts.
  KURVAN_IDC_CHANNEL_GRID = 1160,
  KURVAN_IDC_CHANNEL_PROPERTIES = 1247,
  KURVAN_STR_COL_CHANNEL = 62634,
  KURVAN_STR_COL_SHOW = 61219,
  KURVAN_STR_COL_NAME = 61218,
  KURVAN_STR_COL_COLOUR = 61220,
  KURVAN_STR_COL_MINIMUM = 61221,
  KURVAN_STR_COL_MAXIMUM = 61222,
  KURVAN_STR_ABSOLUTE_TIME = 61223,
  KURVAN_STR_ELAPSED_TIME = 61224,
  KURVAN_STR_LEFT_SCALE = 62443,
  KURVAN_STR_RIGHT_SCALE = 62444,
  KURVAN_STR_TIME_DISPLAY = 62445,
  KURVAN_STR_PROPERTY_HEADING = 62628,
};
