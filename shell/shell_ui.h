// The desktop side of the shell utilities: window placement from and to the settings file,
// the open and save dialogs, dialog item helpers and the recent-file part of a menu.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class QFileDialog;
class QMenu;
class QWidget;

// Show commands as the placement text stores them.
enum SimShowCmd : unsigned { SIM_SHOW_HIDE = 0, SIM_SHOW_NORMAL = 1, SIM_SHOW_MINIMIZED = 2, SIM_SHOW_MAXIMIZED = 3, SIM_SHOW_SHOW = 5 };

// Applies the placement stored under the key (the stored show command, unless the start's is
// neither normal nor show) and shows the window; without ten usable numbers only shows it with
// the start's command. Returns the show command used.
unsigned SimReadWindowPos(QWidget* window, unsigned startShowCmd, const std::string& section, const std::string& key,
                          const std::string& file);
void SimWriteWindowPos(QWidget* window, const std::string& section, const std::string& key, const std::string& file);

// A window's frame rectangle brought onto the screens' available areas: unchanged while a
// reachable part of it (its top strip, 40 pixels wide or the whole width) lies on one of them,
// else moved, with its size, into the first area (its top-left corner kept inside).
QRect SimOntoScreens(const QRect& frame, const QList<QRect>& areas);

// Where the views beside a window go inside `area` (the available part of the window's
// screen), as frame positions in the order of the sizes given:
// - `column` (the I/O views) stack from the window's top downwards, a view that would run
//   past the area's bottom starting a further column; the columns go to the window's right
//   when they fit there, else to its left, else they are pushed into the area at its right
//   edge; the stack is lifted so that its bottom stays inside;
// - `below` (the other views) stack under the window, the last ones lifted into the area.
// `gap` pixels lie between the window and the views and between the views. Every view whose
// size fits into the area lies wholly inside it.
struct SimViewPlaces {
  std::vector<QPoint> column, below;
};
SimViewPlaces SimPlaceViews(const QRect& window, const QRect& area, const std::vector<QSize>& column,
                            const std::vector<QSize>& below, int gap);

// The filter text has its parts separated by '|': "name|pattern|name|pattern|".
QString SimDialogFilter(const std::string& filter);
// Open dialog: true when a file was chosen; `folder` becomes the chosen file's folder.
bool SimOpenFileDialog(QWidget* owner, const QString& title, std::string* file, const std::string& filter,
                       std::string* folder);
// Save dialog (asks before overwriting; the file need not exist); preselects the filter whose
// pattern is "*" and the extension of the name given.
bool SimSaveFileDialog(QWidget* owner, const QString& title, std::string* file, const std::string& filter,
                       std::string* folder);
// Sets up an open or save dialog: filters, the preselected filter, the folder and the file
// name; a save dialog asks before overwriting and takes a file that does not exist yet.
void SimSetUpFileDialog(QFileDialog* dlg, const QString& title, const std::string& file, const std::string& filter,
                        const std::string& folder, bool save);
// The filter (0-based) whose pattern is "*" + the file's extension; 0 when none matches.
int SimFilterIndexFor(const std::string& filter, const std::string& file);

void SimSetCheck(QAbstractButton* button, bool on);
void SimSetItemText(QWidget* item, const QString& text);

// Rebuilds the recent-file part of a menu: the items with ids 30012..30016 are replaced by the
// entries (or the greyed placeholder with its caption when the list is empty), inserted two
// above the menu's end. `open` runs when an entry is chosen.
void SimRecentRebuildMenu(QMenu* menu, const QString& placeholderCaption, std::function<void(int id)> open);
