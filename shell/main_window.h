// The simulator's main window: the menu bar in the program's language, the front panel, the
// title, the menu commands (projects, options, Pause and Turbo, the views, help and info), the
// save prompt, dropped project files, and the pre- and post-cycle work of the private cycle
// messages (the script player before the tick, the recorder after it). Menu commands carry
// their fixed ids (SimMenuCommand, shell/main_menu.h).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <map>
#include <string>

#include "shell/main_menu.h"
#include "shell/sim_loop.h"

class QAction;
class QMenu;
class QSocketNotifier;
class SimCommView;
class SimFrontPanel;

// The view windows by the slots the program gives them: the four I/O views (slots A, P, B, C
// in that order), the plant window and the communication view.
enum SimViewSlot : int {
  SIM_VIEW_IO_FIRST = 2,
  SIM_VIEW_IO_COUNT = 4,
  SIM_VIEW_PLANT = 6,
  SIM_VIEW_COMM = 7,
  SIM_VIEW_SLOTS = 8,
};

// What later parts of the shell plug into the main window. Without its hook a dialog's item is
// disabled and a trend command does nothing.
struct SimMainWindowHooks {
  // The trend commands 30022, 30046 and 30048..30051 (the items of 30046 and 30048..30051 are
  // hidden until the trend binding shows them: action(id)->setVisible(true)).
  std::function<void(int id)> trendCommand;
  // Whether the trend settings changed since the project was loaded or saved (save prompt).
  std::function<bool()> trendSettingsChanged;
  // The device (30007) and module (30054) dialogs over the main window; true when the
  // configuration changed: the firmware is then asked to reload.
  std::function<bool(QWidget* owner)> deviceDialog;
  std::function<bool(QWidget* owner)> moduleDialog;
  // Every post-cycle: the trend sample; message 2042: the trends are reset.
  std::function<void()> trendSample;
  std::function<void()> trendReset;
  // After a language change (the menu bar is new: items shown by others are hidden again):
  // the plant plug-in's language and the trends.
  std::function<void()> languageChanged;
  // At the end, before the settings are written: the trends are destroyed.
  std::function<void()> closing;
};

class SimMainWindow : public QMainWindow, public SimMessageTarget {
 public:
  // lParam of the recent-file command that AutoLoad posts: no save prompt.
  static constexpr intptr_t kAutoLoadMarker = 0xFEFEFEFE;

  explicit SimMainWindow(QWidget* parent = nullptr);
  ~SimMainWindow() override;

  // The private messages (2028..2043) and the menu commands (WM_COMMAND-like: id in wParam).
  intptr_t send(int id, intptr_t wParam, intptr_t lParam) override;
  // Runs a menu command by its id; lParam as the command message carries it.
  void command(int id, intptr_t lParam = 0);
  QAction* action(int id) const;
  QMenu* menu(int index) const { return index >= 0 && index < SIM_MENUS ? menus_[index] : nullptr; }
  SimFrontPanel* front() const { return front_; }
  void setHooks(SimMainWindowHooks hooks);

  // Builds the front panel inside the window and opens the script files; 0 = done.
  int createFront();
  // The title: program name with the firmware's operating version, the project, and the
  // Pause and Turbo marks, in the state record's language.
  QString titleText() const;
  void refreshTitle();
  // After a change of the Pause counter or Turbo by others (a script): check marks and title.
  void syncMarks();
  // The menu bar of the state record's language with the check marks, the recent files and
  // the enabled states.
  void rebuildMenus();
  // Opens the channel for PC tools for port 10 and the state record's device address, and
  // serves its hidden windows from the event loop.
  void openChannel();

  // The view windows (owned by the main window once set).
  QWidget* view(int slot) const;
  void setView(int slot, QWidget* window);
  SimCommView* commView() const;
  // Makes the communication view (slot 7) and shows the channel's traffic in it.
  void createCommView();
  // The views beside the main window: the I/O views in a column to its right, the
  // communication view and the plant window below it.
  void layoutViews();

  // The project operations that the menu commands New, Open, the recent files, Save, Save As
  // and Export EEPROM and the save prompt run. Each load asks the firmware to take the
  // project at its next tick.
  //
  // The project at start: the restart project after a restart, else the settings' last file,
  // else the demo; with AutoLoad and no last file the most recent file is opened next. Then the
  // device configuration of the settings.
  void loadStartProject(bool restart);
  // New: the demo project, unnamed; the device settings are written.
  void newProject();
  // Open (also of a recent or a dropped file): SimLoadProject's result. Loaded: the file is
  // the project's name, the device settings are written and the file heads the recent list;
  // else the demo is in place and a box says why.
  int openProject(const std::string& path);
  // Save (asName false) and Save As: the firmware hands back its images (save request and one
  // tick), then the project file is written; 1 written, 0 failed. Save As makes the file the
  // project's name and puts it first in the recent list.
  int saveProject(const std::string& path, bool asName);
  // Export EEPROM: the images handed back as for Save, then the .ebin file; 1 written.
  int exportEeprom(const std::string& path);
  // The save prompt's test: the images handed back, then whether the project changed.
  bool projectChanged();
  // The save prompt before New, Open, a recent file and the close: true to go on. Asks
  // Yes/No/Cancel when the project changed; Yes saves (a project without name through Save
  // As). With `silent` (the close after a restart request) the answer is Yes without a box
  // and a project without name goes to the OEM project file.
  bool querySave(bool silent);
  // Ends the program as Exit does, without the save prompt (an end signal, the screenshot).
  void closeUnasked();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  void preCycle();
  void postCycle();
  void takeImagesBack();
  void openScripts();
  bool save(bool silent);
  bool saveAs();
  void openWithDialog();
  void openRecent(int id, intptr_t lParam);
  void exportWithDialog();
  void chooseLanguage();
  void toggleTopmost();
  void openHelp();
  void runDialogHook(const std::function<bool(QWidget*)>& dialog);
  void setCheck(int id, bool on);
  void refreshRecent();
  void sendViews(int id);
  void updateMenuStates();
  void finishRun();
  void keepRunningWithoutRestart();

  std::map<int, QAction*> actions_;
  QMenu* menus_[SIM_MENUS] = {};
  std::array<QPointer<QWidget>, SIM_VIEW_SLOTS> views_;
  SimMainWindowHooks hooks_;
  SimFrontPanel* front_ = nullptr;
  QSocketNotifier* channelNotifier_ = nullptr;
  std::string channelFailuresShown_;  // what the user was last told the channel could not have
  std::string folder_;                 // of the last file dialog
  std::string demoTexts_[3];
  bool closing_ = false;
  bool unasked_ = false;
  bool scriptHooks_ = false;
  bool shownPaused_ = false;
  bool shownTurbo_ = false;
};
