// The main window's menu bar in the three languages: one table of menus and items with the
// command ids 30001..30055, built into a QMenuBar for a language.
#pragma once

#include <QString>
#include <functional>
#include <map>

class QAction;
class QMenu;
class QMenuBar;

enum SimMenuCommand : int {
  SIM_CMD_NEW = 30001,
  SIM_CMD_OPEN = 30002,
  SIM_CMD_EXIT = 30003,
  SIM_CMD_SAVE = 30004,
  SIM_CMD_SAVE_AS = 30005,
  SIM_CMD_DEVICE = 30007,            // device dialog (true: changed; the firmware reloads)
  SIM_CMD_LANGUAGE = 30008,
  SIM_CMD_PAUSE = 30009,
  SIM_CMD_TURBO = 30010,
  SIM_CMD_INFO = 30011,
  SIM_CMD_RECENT_PLACEHOLDER = 30012,
  SIM_CMD_RECENT_FIRST = 30013,      // the recent files 30013..30016
  SIM_CMD_RECENT_LAST = 30016,
  SIM_CMD_AUTOLOAD = 30018,
  SIM_CMD_VIEW_IO = 30020,
  SIM_CMD_VIEW_COMM = 30021,
  SIM_CMD_CONTROLLER_TREND = 30022,  // trend commands: the trend binding's (hooks)
  SIM_CMD_TOPMOST = 30029,
  SIM_CMD_INDEX = 30030,
  SIM_CMD_NONE_31 = 30031,           // 30031, 30035, 30036, 30038: no effect in the main window
  SIM_CMD_COMM_34 = 30034,           // 30034, 30045: forwarded to the communication view
  SIM_CMD_NONE_35 = 30035,
  SIM_CMD_NONE_36 = 30036,
  SIM_CMD_NONE_38 = 30038,
  SIM_CMD_COMM_45 = 30045,
  SIM_CMD_TREND_SETTINGS = 30046,
  SIM_CMD_TREND_SLOW = 30048,        // trend object 2 (600 min.)
  SIM_CMD_TREND_MEDIUM = 30049,      // trend object 1 (60 min.)
  SIM_CMD_TREND_FAST = 30050,        // trend object 0 (6 min.)
  SIM_CMD_TREND_L1READ = 30051,
  SIM_CMD_DIALOG_143 = 30052,
  SIM_CMD_MODULES = 30054,           // module dialog (true: changed; the firmware reloads)
  SIM_CMD_EXPORT_EEPROM = 30055,
};

// The menus of the bar, left to right.
enum SimMenuIndex : int { SIM_MENU_FILE, SIM_MENU_OPTIONS, SIM_MENU_SIMULATION, SIM_MENU_VIEW, SIM_MENU_HELP, SIM_MENUS };

// Builds the bar for the language (0..2; others read as German): every item is an action
// whose data is its id and whose trigger runs `run(id)`; the shortcuts (Ctrl+N, O, S, P, T)
// work in every window of the program. The trend items are made but left out of the menu
// (hidden) until the trend binding shows them. `actions` gets each item's action by id,
// `menus` each menu by SimMenuIndex. The recent files are not in the table: the file menu
// gets them with SimRecentRebuildMenu (shell_ui.h), two above its end.
void SimBuildMenuBar(QMenuBar* bar, int language, const std::function<void(int id)>& run,
                     std::map<int, QAction*>* actions, QMenu* menus[SIM_MENUS]);

// The ids whose items the main window hides at its creation (the trend items).
bool SimMenuItemHiddenAtStart(int id);
