// Language library "e": the trend viewer's resources in English.
#include "trendview/lang/lang_table.h"

namespace {

constexpr KurvanString kStrings[] = {
    {KURVAN_RES_MAIN_FRAME, "Kurvan"},
    {KURVAN_RES_TREND, "\nTrend\nTrend\nTrend files (*.krv)\n.krv\nKurvan.Trend\nKurvan trend"},
    {KURVAN_RES_TREND_VIEW, "\nTrend\nTrend\nTrend files (*.krv)\n.krv\nKurvan.Trend\nKurvan trend"},
    {KURVAN_STR_APP_TITLE, "Kurvan"},
    {KURVAN_STR_IDLE, "Ready"},
    {KURVAN_STR_IND_CAPS, "CAP"},
    {KURVAN_STR_IND_NUM, "NUM"},
    {KURVAN_STR_IND_SCROLL, "SCRL"},
    {KURVAN_STR_COL_NAME, "Name"},
    {KURVAN_STR_COL_SHOW, "Show"},
    {KURVAN_STR_COL_COLOUR, "Colour"},
    {KURVAN_STR_COL_MINIMUM, "Minimum"},
    {KURVAN_STR_COL_MAXIMUM, "Maximum"},
    {KURVAN_STR_ABSOLUTE_TIME, "Absolute time"},
    {KURVAN_STR_ELAPSED_TIME, "Elapsed time"},
    {KURVAN_STR_CLEAR_PROMPT, "Delete all samples of the trend?"},
    {KURVAN_STR_CSV_FILTER, "CSV files (*.csv)|*.csv|All files (*.*)|*.*||"},
    {KURVAN_STR_CSV_ERROR, "The file could not be created."},
    {KURVAN_STR_TOO_SMALL, "The window is too small to show the trend."},
    {KURVAN_STR_OPEN_ERROR, "The trend file could not be read."},
    {KURVAN_STR_SAVE_ERROR, "The trend file could not be written."},
    {KURVAN_STR_PRINT_ERROR, "The page could not be printed."},
    {KURVAN_STR_LEFT_SCALE, "Left scale"},
    {KURVAN_STR_RIGHT_SCALE, "Right scale"},
    {KURVAN_STR_TIME_DISPLAY, "Time display"},
    {KURVAN_STR_PROPERTY_HEADING, "Setting"},
    {KURVAN_STR_COL_CHANNEL, "Channel"},
    {KURVAN_CMD_HOLD, "Freeze the trend shown, or follow it again\nHold"},
    {KURVAN_CMD_CURSOR, "Show or hide the cursor\nCursor"},
    {KURVAN_CMD_CONFIGURE, "Configure the channels of the trend\nChannels"},
    {KURVAN_CMD_ZOOM_RESET, "Show the whole trend again\nZoom reset"},
    {KURVAN_CMD_CLEAR, "Delete all samples of the trend\nClear trend"},
    {KURVAN_CMD_CSV, "Export the trend as a CSV file\nExport CSV"},
    {KURVAN_CMD_LANGUAGE, "Choose the language of the program\nLanguage"},
    {KURVAN_CMD_FILE_OPEN, "Open a saved trend file\nOpen"},
    {KURVAN_CMD_FILE_CLOSE, "Close the trend window\nClose"},
    {KURVAN_CMD_FILE_SAVE_AS, "Save the trend in a file\nSave As"},
    {KURVAN_CMD_PRINT_SETUP, "Change the printer and the printing options\nPrint Setup"},
    {KURVAN_CMD_PRINT, "Print the trend\nPrint"},
    {KURVAN_CMD_PRINT_PREVIEW, "Show the printed page\nPrint Preview"},
    {KURVAN_CMD_MRU_FIRST, "Open this trend file"},
    {KURVAN_CMD_COPY, "Copy the graph and the values to the clipboard\nCopy"},
    {KURVAN_CMD_WINDOW_ARRANGE, "Arrange the icons of the windows\nArrange Icons"},
    {KURVAN_CMD_WINDOW_CASCADE, "Arrange the windows so that they overlap\nCascade"},
    {KURVAN_CMD_WINDOW_TILE, "Arrange the windows side by side\nTile"},
    {KURVAN_CMD_ABOUT, "Show the program information\nAbout"},
    {KURVAN_CMD_EXIT, "Quit the program\nExit"},
    {KURVAN_CMD_VIEW_TOOLBAR, "Show or hide the toolbar\nToolbar"},
    {KURVAN_CMD_VIEW_STATUSBAR, "Show or hide the status bar\nStatus Bar"},
};

constexpr KurvanMenuItem kFrameMenu[] = {
    {0, 0, "&File"},
    {1, KURVAN_CMD_FILE_OPEN, "&Open...\tCtrl+O"},
    {1, 0, ""},
    {1, KURVAN_CMD_MRU_FIRST, "Recent File"},
    {1, 0, ""},
    {1, KURVAN_CMD_EXIT, "E&xit"},
    {0, 0, "&View"},
    {1, KURVAN_CMD_VIEW_TOOLBAR, "&Toolbar"},
    {1, KURVAN_CMD_VIEW_STATUSBAR, "&Status Bar"},
    {0, 0, "&Options"},
    {1, KURVAN_CMD_LANGUAGE, "&Language..."},
    {0, 0, "&Help"},
    {1, KURVAN_CMD_ABOUT, "&About Kurvan..."},
};

constexpr KurvanMenuItem kTrendMenu[] = {
    {0, 0, "&File"},
    {1, KURVAN_CMD_FILE_OPEN, "&Open...\tCtrl+O"},
    {1, KURVAN_CMD_FILE_CLOSE, "&Close"},
    {1, KURVAN_CMD_FILE_SAVE_AS, "Save &As..."},
    {1, 0, ""},
    {1, KURVAN_CMD_CSV, "&Export CSV..."},
    {1, 0, ""},
    {1, KURVAN_CMD_PRINT, "&Print...\tCtrl+P"},
    {1, KURVAN_CMD_PRINT_PREVIEW, "Print Pre&view"},
    {1, KURVAN_CMD_PRINT_SETUP, "P&rint Setup..."},
    {1, 0, ""},
    {1, KURVAN_CMD_MRU_FIRST, "Recent File"},
    {1, 0, ""},
    {1, KURVAN_CMD_EXIT, "E&xit"},
    {0, 0, "&Edit"},
    {1, KURVAN_CMD_COPY, "&Copy\tCtrl+C"},
    {0, 0, "&View"},
    {1, KURVAN_CMD_VIEW_TOOLBAR, "&Toolbar"},
    {1, KURVAN_CMD_VIEW_STATUSBAR, "&Status Bar"},
    {1, 0, ""},
    {1, KURVAN_CMD_CURSOR, "C&ursor"},
    {1, KURVAN_CMD_ZOOM_RESET, "&Zoom Reset"},
    {0, 0, "&Trend"},
    {1, KURVAN_CMD_HOLD, "&Hold"},
    {1, KURVAN_CMD_CLEAR, "C&lear Trend"},
    {1, 0, ""},
    {1, KURVAN_CMD_CONFIGURE, "&Channels..."},
    {0, 0, "&Options"},
    {1, KURVAN_CMD_LANGUAGE, "&Language..."},
    {0, 0, "&Window"},
    {1, KURVAN_CMD_WINDOW_CASCADE, "&Cascade"},
    {1, KURVAN_CMD_WINDOW_TILE, "&Tile"},
    {1, KURVAN_CMD_WINDOW_ARRANGE, "&Arrange Icons"},
    {0, 0, "&Help"},
    {1, KURVAN_CMD_ABOUT, "&About Kurvan..."},
};

constexpr KurvanMenu kMenus[] = {
    {KURVAN_RES_MAIN_FRAME, kFrameMenu, kurvanlang::Count(kFrameMenu)},
    {KURVAN_RES_TREND, kTrendMenu, kurvanlang::Count(kTrendMenu)},
    {KURVAN_RES_TREND_VIEW, kTrendMenu, kurvanlang::Count(kTrendMenu)},  // the same menu in both sets
};

constexpr KurvanDialogItem kAboutItems[] = {
    {1000, "Kurvan trend viewer"},
    {1001, "Version 1.0"},
    {1002, "Shows, prints and exports the trends of the MX74-2 simulator."},
    {KURVAN_DLG_ABOUT_GERMAN, "Technical support: Orvant GmbH"},
    {1, "OK"},
};
constexpr KurvanDialogItem kChannelItems[] = {{1, "OK"}, {2, "Cancel"}, {9, "Help"}};

constexpr KurvanDialog kDialogs[] = {
    {KURVAN_DLG_ABOUT, "About Kurvan", kAboutItems, kurvanlang::Count(kAboutItems)},
    {KURVAN_DLG_CHANNELS, "Channels", kChannelItems, kurvanlang::Count(kChannelItems)},
};

}  // namespace

KURVAN_LANGUAGE_TABLE('e')
