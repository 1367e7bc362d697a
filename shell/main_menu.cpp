#include "shell/main_menu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace {

struct MenuTitle {
  const char* caption[3];  // German, English, French
};

constexpr MenuTitle kMenus[SIM_MENUS] = {
    {{"&Datei", "&File", "&Fichier"}},
    {{"&Optionen", "&Options", "&Options"}},
    {{"&Simulation", "&Simulation", "&Simulation"}},
    {{"&Ansicht", "&View", "&Affichage"}},
    {{"&Hilfe", "&Help", "Ai&de"}},
};

// One item; id 0 is a separator.
struct MenuItem {
  int menu;
  int id;
  const char* caption[3];
  const char* shortcut;  // portable key sequence, or null
  bool checkable;
};

constexpr MenuItem kItems[] = {
    {SIM_MENU_FILE, SIM_CMD_NEW, {"&Neu\tStrg+N", "&New\tCtrl+N", "&Nouveau\tCtrl+N"}, "Ctrl+N", false},
    {SIM_MENU_FILE, SIM_CMD_OPEN, {"\xD6&" "ffnen...\tStrg+O", "&Open...\tCtrl+O", "&Ouvrir...\tCtrl+O"}, "Ctrl+O", false},
    {SIM_MENU_FILE, SIM_CMD_SAVE, {"&Speichern\tStrg+S", "&Save\tCtrl+S", "&Enregistrer\tCtrl+S"}, "Ctrl+S", false},
    {SIM_MENU_FILE, SIM_CMD_SAVE_AS, {"Speichern &unter...", "Save &As...", "Enregistrer &sous..."}, nullptr, false},
    {SIM_MENU_FILE, 0, {}, nullptr, false},
    {SIM_MENU_FILE, SIM_CMD_EXPORT_EEPROM, {"EEPROM exportieren...", "Export EEPROM...", "Exporter l'EEPROM..."}, nullptr, false},
    // The recent files go between these two separators.
    {SIM_MENU_FILE, 0, {}, nullptr, false},
    {SIM_MENU_FILE, 0, {}, nullptr, false},
    {SIM_MENU_FILE, SIM_CMD_EXIT, {"&Beenden", "E&xit", "&Quitter"}, nullptr, false},

    {SIM_MENU_OPTIONS, SIM_CMD_DEVICE, {"&Ger\xE4t...", "&Device...", "&Appareil..."}, nullptr, false},
    {SIM_MENU_OPTIONS, SIM_CMD_MODULES, {"Modul...", "Modul...", "Module..."}, nullptr, false},
    {SIM_MENU_OPTIONS, SIM_CMD_LANGUAGE, {"&Sprache...", "&Language...", "&Langue..."}, nullptr, false},
    {SIM_MENU_OPTIONS, 0, {}, nullptr, false},
    {SIM_MENU_OPTIONS, SIM_CMD_AUTOLOAD,
     {"Letzte &Datei beim Start laden", "Load last &file on start", "Charger le dernier &fichier au d\xE9marrage"},
     nullptr, true},
    {SIM_MENU_OPTIONS, SIM_CMD_TOPMOST, {"Immer im &Vordergrund", "&Always on Top", "&Toujours au premier plan"}, nullptr,
     true},

    {SIM_MENU_SIMULATION, SIM_CMD_PAUSE, {"&Pause\tStrg+P", "&Pause\tCtrl+P", "&Pause\tCtrl+P"}, "Ctrl+P", true},
    {SIM_MENU_SIMULATION, SIM_CMD_TURBO, {"&Turbo\tStrg+T", "&Turbo\tCtrl+T", "&Turbo\tCtrl+T"}, "Ctrl+T", true},

    {SIM_MENU_VIEW, SIM_CMD_VIEW_IO, {"&Ein-/Ausg\xE4nge", "&Input/Output", "&Entr\xE9" "es/Sorties"}, nullptr, true},
    {SIM_MENU_VIEW, SIM_CMD_VIEW_COMM, {"&Kommunikation", "&Communication", "&Communication"}, nullptr, true},
    // The trend binding's items (hidden until it shows them).
    {SIM_MENU_VIEW, 0, {}, nullptr, false},
    {SIM_MENU_VIEW, SIM_CMD_TREND_FAST, {"&Trend - Schnell\t[6 min.]", "&Trend - Fast\t[6 min.]", "&Tendance - Rapide\t[6 min.]"},
     nullptr, false},
    {SIM_MENU_VIEW, SIM_CMD_TREND_MEDIUM,
     {"Trend - &Mittel\t[60 min.]", "Trend - &Medium\t[60 min.]", "Tendance - &Moyenne\t[60 min.]"}, nullptr, false},
    {SIM_MENU_VIEW, SIM_CMD_TREND_SLOW,
     {"Trend - &Langsam\t[600 min.]", "Trend - &Slow\t[600 min.]", "Tendance - &Lente\t[600 min.]"}, nullptr, false},
    {SIM_MENU_VIEW, SIM_CMD_TREND_L1READ, {"&Trend - L1READ", "&Trend - L1READ", "&Tendance - L1READ"}, nullptr, false},
    {SIM_MENU_VIEW, SIM_CMD_TREND_SETTINGS, {"T&rend...", "T&rend...", "T&endance..."}, nullptr, false},

    {SIM_MENU_HELP, SIM_CMD_INDEX, {"&Inhalt", "&Index", "&Index"}, nullptr, false},
    {SIM_MENU_HELP, 0, {}, nullptr, false},
    {SIM_MENU_HELP, SIM_CMD_INFO, {"Inf&o...", "Inf&o...", "Inf&o..."}, nullptr, false},
};

}  // namespace

bool SimMenuItemHiddenAtStart(int id) {
  switch (id) {
    case SIM_CMD_TREND_FAST:
    case SIM_CMD_TREND_MEDIUM:
    case SIM_CMD_TREND_SLOW:
    case SIM_CMD_TREND_L1READ:
    case SIM_CMD_TREND_SETTINGS:
      return true;
    default:
      return false;
  }
}

void SimBuildMenuBar(QMenuBar* bar, int language, const std::function<void(int)>& run, std::map<int, QAction*>* actions,
                     QMenu* menus[SIM_MENUS]) {
  if (language < 0 || language > 2) language = 0;
  QMenu* built[SIM_MENUS];
  for (int m = 0; m < SIM_MENUS; ++m) {
    built[m] = bar->addMenu(QString::fromLatin1(kMenus[m].caption[language]));
    if (menus) menus[m] = built[m];
  }
  for (const MenuItem& item : kItems) {
    QMenu* menu = built[item.menu];
    if (item.id == 0) {
      menu->addSeparator();
      continue;
    }
    QAction* a = menu->addAction(QString::fromLatin1(item.caption[language]));
    a->setData(item.id);
    a->setCheckable(item.checkable);
    if (item.shortcut) {
      a->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
      // The views are windows of their own: the keys work there as well.
      a->setShortcutContext(Qt::ApplicationShortcut);
    }
    if (SimMenuItemHiddenAtStart(item.id)) a->setVisible(false);
    const int id = item.id;
    QObject::connect(a, &QAction::triggered, bar, [run, id] {
      if (run) run(id);
    });
    if (actions) (*actions)[id] = a;
  }
}
