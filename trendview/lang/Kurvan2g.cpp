// Language library "g": the trend viewer's resources in German (Latin-1 escapes).
#include "trendview/lang/lang_table.h"

namespace {

constexpr KurvanString kStrings[] = {
    {KURVAN_RES_MAIN_FRAME, "Kurvan"},
    {KURVAN_RES_TREND, "\nTrend\nTrend\nTrenddateien (*.krv)\n.krv\nKurvan.Trend\nKurvan-Trend"},
    {KURVAN_RES_TREND_VIEW, "\nTrend\nTrend\nTrenddateien (*.krv)\n.krv\nKurvan.Trend\nKurvan-Trend"},
    {KURVAN_STR_APP_TITLE, "Kurvan"},
    {KURVAN_STR_IDLE, "Bereit"},
    {KURVAN_STR_IND_CAPS, "UF"},
    {KURVAN_STR_IND_NUM, "NUM"},
    {KURVAN_STR_IND_SCROLL, "RF"},
    {KURVAN_STR_COL_NAME, "Name"},
    {KURVAN_STR_COL_SHOW, "Anzeigen"},
    {KURVAN_STR_COL_COLOUR, "Farbe"},
    {KURVAN_STR_COL_MINIMUM, "Minimum"},
    {KURVAN_STR_COL_MAXIMUM, "Maximum"},
    {KURVAN_STR_ABSOLUTE_TIME, "Absolute Zeit"},
    {KURVAN_STR_ELAPSED_TIME, "Relative Zeit"},
    {KURVAN_STR_CLEAR_PROMPT, "Alle Werte des Trends l\xF6schen?"},
    {KURVAN_STR_CSV_FILTER, "CSV-Dateien (*.csv)|*.csv|Alle Dateien (*.*)|*.*||"},
    {KURVAN_STR_CSV_ERROR, "Die Datei konnte nicht angelegt werden."},
    {KURVAN_STR_TOO_SMALL, "Das Fenster ist zu klein f\xFCr den Trend."},
    {KURVAN_STR_OPEN_ERROR, "Die Trenddatei konnte nicht gelesen werden."},
    {KURVAN_STR_SAVE_ERROR, "Die Trenddatei konnte nicht geschrieben werden."},
    {KURVAN_STR_PRINT_ERROR, "Die Seite konnte nicht gedruckt werden."},
    {KURVAN_STR_LEFT_SCALE, "Linke Skala"},
    {KURVAN_STR_RIGHT_SCALE, "Rechte Skala"},
    {KURVAN_STR_TIME_DISPLAY, "Zeitanzeige"},
    {KURVAN_STR_PROPERTY_HEADING, "Einstellung"},
    {KURVAN_STR_COL_CHANNEL, "Kanal"},
    {KURVAN_CMD_HOLD, "Anzeige des Trends anhalten oder wieder mitlaufen lassen\nHalten"},
    {KURVAN_CMD_CURSOR, "Cursor ein- oder ausblenden\nCursor"},
    {KURVAN_CMD_CONFIGURE, "Kan\xE4le des Trends einstellen\nKan\xE4le"},
    {KURVAN_CMD_ZOOM_RESET, "Den ganzen Trend wieder anzeigen\nZoom zur\xFC" "cksetzen"},
    {KURVAN_CMD_CLEAR, "Alle Werte des Trends l\xF6schen\nTrend l\xF6schen"},
    {KURVAN_CMD_CSV, "Den Trend als CSV-Datei exportieren\nCSV-Export"},
    {KURVAN_CMD_LANGUAGE, "Sprache des Programms w\xE4hlen\nSprache"},
    {KURVAN_CMD_FILE_OPEN, "Gespeicherte Trenddatei \xF6" "ffnen\n\xD6" "ffnen"},
    {KURVAN_CMD_FILE_CLOSE, "Trendfenster schlie\xDF" "en\nSchlie\xDF" "en"},
    {KURVAN_CMD_FILE_SAVE_AS, "Trend in einer Datei speichern\nSpeichern unter"},
    {KURVAN_CMD_PRINT_SETUP, "Drucker und Druckoptionen \xE4ndern\nDruckereinrichtung"},
    {KURVAN_CMD_PRINT, "Trend drucken\nDrucken"},
    {KURVAN_CMD_PRINT_PREVIEW, "Die gedruckte Seite anzeigen\nSeitenansicht"},
    {KURVAN_CMD_MRU_FIRST, "Diese Trenddatei \xF6" "ffnen"},
    {KURVAN_CMD_COPY, "Grafik und Werte in die Zwischenablage kopieren\nKopieren"},
    {KURVAN_CMD_WINDOW_ARRANGE, "Symbole der Fenster anordnen\nSymbole anordnen"},
    {KURVAN_CMD_WINDOW_CASCADE, "Fenster \xFC" "berlappend anordnen\n\xDC" "berlappend"},
    {KURVAN_CMD_WINDOW_TILE, "Fenster nebeneinander anordnen\nNebeneinander"},
    {KURVAN_CMD_ABOUT, "Programminformation anzeigen\nInfo"},
    {KURVAN_CMD_EXIT, "Programm beenden\nBeenden"},
    {KURVAN_CMD_VIEW_TOOLBAR, "Symbolleiste ein- oder ausblenden\nSymbolleiste"},
    {KURVAN_CMD_VIEW_STATUSBAR, "Statusleiste ein- oder ausblenden\nStatusleiste"},
};

constexpr KurvanMenuItem kFrameMenu[] = {
    {0, 0, "&Datei"},
    {1, KURVAN_CMD_FILE_OPEN, "\xD6" "&ffnen...\tCtrl+O"},
    {1, 0, ""},
    {1, KURVAN_CMD_MRU_FIRST, "Letzte Datei"},
    {1, 0, ""},
    {1, KURVAN_CMD_EXIT, "&Beenden"},
    {0, 0, "&Ansicht"},
    {1, KURVAN_CMD_VIEW_TOOLBAR, "&Symbolleiste"},
    {1, KURVAN_CMD_VIEW_STATUSBAR, "S&tatusleiste"},
    {0, 0, "&Optionen"},
    {1, KURVAN_CMD_LANGUAGE, "&Sprache..."},
    {0, 0, "&Hilfe"},
    {1, KURVAN_CMD_ABOUT, "\xDC" "&ber Kurvan..."},
};

constexpr KurvanMenuItem kTrendMenu[] = {
    {0, 0, "&Datei"},
    {1, KURVAN_CMD_FILE_OPEN, "\xD6" "&ffnen...\tCtrl+O"},
    {1, KURVAN_CMD_FILE_CLOSE, "&Schlie\xDF" "en"},
    {1, KURVAN_CMD_FILE_SAVE_AS, "Speichern &unter..."},
    {1, 0, ""},
    {1, KURVAN_CMD_CSV, "CSV-&Export..."},
    {1, 0, ""},
    {1, KURVAN_CMD_PRINT, "&Drucken...\tCtrl+P"},
    {1, KURVAN_CMD_PRINT_PREVIEW, "Seiten&ansicht"},
    {1, KURVAN_CMD_PRINT_SETUP, "Drucker&einrichtung..."},
    {1, 0, ""},
    {1, KURVAN_CMD_MRU_FIRST, "Letzte Datei"},
    {1, 0, ""},
    {1, KURVAN_CMD_EXIT, "&Beenden"},
    {0, 0, "&Bearbeiten"},
    {1, KURVAN_CMD_COPY, "&Kopieren\tCtrl+C"},
    {0, 0, "&Ansicht"},
    {1, KURVAN_CMD_VIEW_TOOLBAR, "&Symbolleiste"},
    {1, KURVAN_CMD_VIEW_STATUSBAR, "S&tatusleiste"},
    {1, 0, ""},
    {1, KURVAN_CMD_CURSOR, "&Cursor"},
    {1, KURVAN_CMD_ZOOM_RESET, "&Zoom zur\xFC" "cksetzen"},
    {0, 0, "&Trend"},
    {1, KURVAN_CMD_HOLD, "&Halten"},
    {1, KURVAN_CMD_CLEAR, "Trend &l\xF6schen"},
    {1, 0, ""},
    {1, KURVAN_CMD_CONFIGURE, "&Kan\xE4le..."},
    {0, 0, "&Optionen"},
    {1, KURVAN_CMD_LANGUAGE, "&Sprache..."},
    {0, 0, "&Fenster"},
    {1, KURVAN_CMD_WINDOW_CASCADE, "\xDC" "&berlappend"},
    {1, KURVAN_CMD_WINDOW_TILE, "&Nebeneinander"},
    {1, KURVAN_CMD_WINDOW_ARRANGE, "&Symbole anordnen"},
    {0, 0, "&Hilfe"},
    {1, KURVAN_CMD_ABOUT, "\xDC" "&ber Kurvan..."},
};

constexpr KurvanMenu kMenus[] = {
    {KURVAN_RES_MAIN_FRAME, kFrameMenu, kurvanlang::Count(kFrameMenu)},
    {KURVAN_RES_TREND, kTrendMenu, kurvanlang::Count(kTrendMenu)},
    {KURVAN_RES_TREND_VIEW, kTrendMenu, kurvanlang::Count(kTrendMenu)},  // the same menu in both sets
};

constexpr KurvanDialogItem kAboutItems[] = {
    {1000, "Kurvan Trendanzeige"},
    {1001, "Version 1.0"},
    {1002, "Zeigt, druckt und exportiert die Trends des Simulators MX74-2."},
    {KURVAN_DLG_ABOUT_GERMAN, "Technische Unterst\xFCtzung: Orvant GmbH"},
    {1, "OK"},
};
constexpr KurvanDialogItem kChannelItems[] = {{1, "OK"}, {2, "Abbrechen"}, {9, "Hilfe"}};

constexpr KurvanDialog kDialogs[] = {
    {KURVAN_DLG_ABOUT, "\xDC" "ber Kurvan", kAboutItems, kurvanlang::Count(kAboutItems)},
    {KURVAN_DLG_CHANNELS, "Kan\xE4le", kChannelItems, kurvanlang::Count(kChannelItems)},
};

}  // namespace

KURVAN_LANGUAGE_TABLE('g')
