// The simulator's main window: the menu bar, the front panel, and the pre- and post-cycle work
// of the private cycle messages (the script player before the tick, the recorder after it).
// Menu commands carry their fixed ids (SimMenuCommand).
#pragma once

#include <QMainWindow>
#include <map>
#include <string>

#include "shell/sim_loop.h"

class QAction;
class QSocketNotifier;
class SimFrontPanel;

enum SimMenuCommand : int {
  SIM_CMD_EXIT = 30003,
  SIM_CMD_PAUSE = 30009,
  SIM_CMD_TURBO = 30010,
  SIM_CMD_TREND = 30022,           // the controller trend, shown or hidden
  SIM_CMD_TREND_SETTINGS = 30046,
  SIM_CMD_TREND_SLOW = 30048,      // 600 minutes
  SIM_CMD_TREND_MEDIUM = 30049,    // 60 minutes
  SIM_CMD_TREND_FAST = 30050,      // 6 minutes
  SIM_CMD_TREND_L1READ = 30051,
};

class SimMainWindow : public QMainWindow, public SimMessageTarget {
 public:
  explicit SimMainWindow(QWidget* parent = nullptr);
  ~SimMainWindow() override;

  // The private messages (2028..2043) and the menu commands (WM_COMMAND-like: id in wParam).
  intptr_t send(int id, intptr_t wParam, intptr_t lParam) override;
  // Runs a menu command by its id.
  void command(int id);
  QAction* action(int id) const;
  SimFrontPanel* front() const { return front_; }
  // Builds the front panel inside the window and opens the script files; 0 = done.
  int createFront();
  // The title: program name, project and the Pause and Turbo marks.
  QString titleText() const;
  void refreshTitle();
  // After a change of the Pause counter or Turbo by others (a script): check marks and title.
  void syncMarks();
  // Opens the channel for PC tools for port 10 and the state record's device address, and
  // serves its hidden windows from the event loop.
  void openChannel();

  // The project operations that the menu commands New, Open, the recent files, Save, Save As
  // and Export EEPROM and the save prompt run (their dialogs and message boxes are the
  // commands' own). Each load asks the firmware to take the project at its next tick.
  //
  // The project at start: the restart project after a restart, else the settings' last file,
  // else the demo; with AutoLoad and no last file the most recent file is opened next.
  void loadStartProject(bool restart);
  // New: the demo project, unnamed; the device settings are written.
  void newProject();
  // Open: SimLoadProject's result. Loaded: the file is the project's name, the device settings
  // are written and the file heads the recent list; else the demo is in place.
  int openProject(const std::string& path);
  // Save (asName false) and Save As: the firmware hands back its images (save request and one
  // tick), then the project file is written; 1 written, 0 failed. Save As makes the file the
  // project's name and puts it first in the recent list.
  int saveProject(const std::string& path, bool asName);
  // Export EEPROM: the images handed back as for Save, then the .ebin file; 1 written.
  int exportEeprom(const std::string& path);
  // The save prompt's test: the images handed back, then whether the project (or its trend
  // settings) changed.
  bool projectChanged();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void preCycle();
  void postCycle();
  void takeImagesBack();
  void openScripts();
  std::map<int, QAction*> actions_;
  SimFrontPanel* front_ = nullptr;
  QSocketNotifier* channelNotifier_ = nullptr;
  bool closing_ = false;
  bool scriptHooks_ = false;
  bool shownPaused_ = false;
  bool shownTurbo_ = false;
};
