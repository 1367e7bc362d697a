#include "shell/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "runtime/fw_adapter.h"
#include "shell/com_channel.h"
#include "shell/firmware_link.h"
#include "shell/front_panel.h"
#include "shell/project.h"
#include "shell/script.h"
#include "shell/settings.h"
#include "shell/shell_util.h"
#include "shell/sim/SIM.h"
#include "host/ini_file.h"
#include "shell/trend_binding.h"
#include "shell/trend_dialogs.h"

namespace {
constexpr uint32_t kValidCycle = 100;
constexpr int32_t kPaused = 0x7FFFFFFF;

// At exit, before a file that a project named is deleted or replaced: the user decides.
// Without a screen to ask on the answer is no (the settings folder's file is used then).
bool ConfirmProjectPath(const char* path, bool remove) {
  if (QGuiApplication::platformName() == "offscreen") return false;
  static const char* const kText[3][2] = {
      {"Das Projekt nennt die Datei\n%s\n\n\xDC" "berschreiben?", "Das Projekt nennt die Datei\n%s\n\nL\xF6schen?"},
      {"The project names the file\n%s\n\nOverwrite it?", "The project names the file\n%s\n\nDelete it?"},
      {"Le projet nomme le fichier\n%s\n\nL'\xE9" "craser?", "Le projet nomme le fichier\n%s\n\nLe supprimer?"}};
  const uint16_t language = SimState().language <= 2 ? SimState().language : 1;
  QString t = QString::fromLatin1(kText[language][remove ? 1 : 0]);
  t.replace("%s", QString::fromLocal8Bit(path));
  return QMessageBox::question(nullptr, QString::fromLatin1("Simulation SIM/MX74-2"), t,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}
}  // namespace

SimMainWindow::SimMainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("Class::Mx74MainWindow");
  QMenu* file = menuBar()->addMenu("&File");
  QMenu* simulation = menuBar()->addMenu("&Simulation");
  auto add = [this](QMenu* menu, int id, const char* caption, const QKeySequence& keys, bool checkable) {
    QAction* a = menu->addAction(QString::fromLatin1(caption));
    a->setShortcut(keys);
    a->setCheckable(checkable);
    connect(a, &QAction::triggered, this, [this, id] { command(id); });
    actions_[id] = a;
  };
  add(file, SIM_CMD_EXIT, "E&xit", QKeySequence(), false);
  add(simulation, SIM_CMD_PAUSE, "&Pause", QKeySequence("Ctrl+P"), true);
  add(simulation, SIM_CMD_TURBO, "&Turbo", QKeySequence("Ctrl+T"), true);
  QMenu* view = menuBar()->addMenu("&View");
  add(view, SIM_CMD_TREND, "&Trend", QKeySequence(), true);
  add(view, SIM_CMD_TREND_FAST, "&Trend - Fast\t[6 min.]", QKeySequence(), false);
  add(view, SIM_CMD_TREND_MEDIUM, "Trend - &Medium\t[60 min.]", QKeySequence(), false);
  add(view, SIM_CMD_TREND_SLOW, "Trend - &Slow\t[600 min.]", QKeySequence(), false);
  add(view, SIM_CMD_TREND_L1READ, "&Trend - L1READ", QKeySequence(), false);
  add(view, SIM_CMD_TREND_SETTINGS, "T&rend...", QKeySequence(), false);
  // The check mark follows the trends, which their viewers may also close.
  connect(view, &QMenu::aboutToShow, this, [this] { action(SIM_CMD_TREND)->setChecked(SimTrendStandardVisible()); });
  refreshTitle();
}

SimMainWindow::~SimMainWindow() {
  if (channelNotifier_) SimComClose();
  if (scriptHooks_) {
    SimScriptClose();
    SimScriptSetHooks({});
  }
}

void SimMainWindow::openChannel() {
  SimComOpen(SIM_COM_PORT, SimState().deviceAddress, SIM_COM_MAIN_NAME);
  if (!channelNotifier_ && SimComFd() >= 0) {
    channelNotifier_ = new QSocketNotifier(SimComFd(), QSocketNotifier::Read, this);
    connect(channelNotifier_, &QSocketNotifier::activated, this, [] { SimComServe(); });
  }
}

int SimMainWindow::createFront() {
  auto* holder = new QWidget(this);
  holder->setObjectName("Class::Mx74_2Front");
  holder->setStyleSheet("background: #d4d4d4;");
  if (SIM_CreateFrame(holder, &front_) != 0) {
    delete holder;
    return 1;
  }
  holder->setFixedSize(front_->size());
  setCentralWidget(holder);
  // The window fits its front; a stored placement moves it but does not resize it.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  front_->setFocus();
  openScripts();
  return 0;
}

// The player reaches the front through its messages and the recorder's header names the
// project; the communication view's edit comes with the views.
void SimMainWindow::openScripts() {
  SimScriptHooks hooks;
  SimFrontPanel* front = front_;
  hooks.front = [front](int id, intptr_t wParam, intptr_t lParam) { return front->send(id, wParam, lParam); };
  hooks.beep = [] { QApplication::beep(); };
  hooks.tick = [] {
    if (SimControl* c = SimTheControl()) c->tick();
  };
  hooks.projectName = [] { return std::string(SimState().projectName); };
  SimScriptSetHooks(std::move(hooks));
  scriptHooks_ = true;
  SimScriptOpen();
}

QAction* SimMainWindow::action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

QString SimMainWindow::titleText() const {
  const SimHostState& s = SimState();
  QString t = "Simulation SIM/MX74-2 - ";
  if (SimProjectHasName()) {
    // The file's name without its folder, in upper case for the title only.
    std::string folder, name;
    SimSplitPath(s.projectName, &folder, &name);
    t += QString::fromLocal8Bit(name.c_str()).toUpper();
  } else {
    t += "(NEW)";
  }
  if (s.pauseCount != 0) t += "  [Pause]";
  if (s.turbo) t += "  [Turbo]";
  return t;
}

void SimMainWindow::refreshTitle() {
  shownPaused_ = SimState().pauseCount != 0;
  shownTurbo_ = SimState().turbo != 0;
  setWindowTitle(titleText());
}

void SimMainWindow::syncMarks() {
  const SimHostState& s = SimState();
  if ((s.pauseCount != 0) == shownPaused_ && (s.turbo != 0) == shownTurbo_) return;
  action(SIM_CMD_PAUSE)->setChecked(s.pauseCount != 0);
  action(SIM_CMD_TURBO)->setChecked(s.turbo != 0);
  refreshTitle();
}

void SimMainWindow::command(int id) {
  SimHostState& s = SimState();
  switch (id) {
    case SIM_CMD_EXIT:
      close();
      break;
    case SIM_CMD_PAUSE:
      s.pauseCount = s.pauseCount == 0 ? kPaused : 0;
      action(id)->setChecked(s.pauseCount != 0);
      refreshTitle();
      break;
    case SIM_CMD_TURBO:
      s.turbo = s.turbo ? 0 : 1;
      action(id)->setChecked(s.turbo != 0);
      if (SimControl* c = SimTheControl()) c->turboChanged();
      refreshTitle();
      break;
    case SIM_CMD_TREND: {
      const bool shown = SimTrendControllerCommand(SimTrendQtUi(this));
      action(id)->setChecked(shown);
      SimTheSettings().viewTrend = shown ? 1 : 0;
      host::IniWriteInt(SimIniPath(), SIM_INI_SETTINGS, "ViewTrend", shown ? 1 : 0);
      break;
    }
    case SIM_CMD_TREND_SLOW:
    case SIM_CMD_TREND_MEDIUM:
    case SIM_CMD_TREND_FAST:
      SimTrendShow(SIM_CMD_TREND_FAST - id);
      break;
    case SIM_CMD_TREND_L1READ:
      SimTrendBlockCommand(SimTrendQtUi(this));
      break;
    case SIM_CMD_TREND_SETTINGS:
      SimTrendQtUi(this);  // the dialog's owner
      SimTrendSettingsDialog();
      break;
    default:
      break;
  }
}

intptr_t SimMainWindow::send(int id, intptr_t wParam, intptr_t) {
  switch (id) {
    case SIM_MSG_STATE:
      return reinterpret_cast<intptr_t>(&SimState());
    case SIM_MSG_PRECYCLE:
      preCycle();
      return 0;
    case SIM_MSG_POSTCYCLE:
      postCycle();
      return reinterpret_cast<intptr_t>(&SimState());
    case SIM_MSG_RESTART:
      if (wParam == 1) {
        if (!SimSaveRestartProject()) SIM_LogText("The restart project could not be written.");
        close();
      }
      return 0;
    case SIM_MSG_TREND_RESET:
      SimTrendResetAll();
      SimSetProjectName("");
      refreshTitle();
      return 0;
    case SIM_MSG_100MS:
    default:
      return 0;
  }
}

void SimMainWindow::preCycle() {
  SimHostState& s = SimState();
  if (++s.cycleCount == kValidCycle) SimMarkSettingsValid();
  SimScriptStep();
  // One request at a time: a request not yet served is not overwritten.
  if (!s.requestPending && SimComPollRequest(s.requestText, sizeof s.requestText, &s.requestLength)) {
    s.requestPending = 1;
    SimScriptNoteRequest(s.requestText, s.requestLength);
  }
  syncMarks();
}

void SimMainWindow::postCycle() {
  SimHostState& s = SimState();
  SimRecordStep();
  SimTrendCycle();
  if (s.responseReady) {
    s.requestPending = 0;
    s.responseReady = 0;
    SimComPostResponse(s.responseText, s.responseLength);
  }
  if (s.deviceAddress != SimShadowState().deviceAddress && SimComIsOpen()) openChannel();
  std::memcpy(&SimShadowState(), &s, sizeof s);
  s.responseReady = 0;
}

void SimMainWindow::closeEvent(QCloseEvent* e) {
  if (!closing_) {
    closing_ = true;
    SimState().endFlag = 1;
    // The last tick closes the module panels, so that they end with the simulator.
    SimState().closePanelsRequest = 1;
    if (SimControl* c = SimTheControl()) c->tick();
    SimScriptClose();
    SimMarkSettingsValid();
    SimHostState& s = SimState();
    SimSettings& settings = SimTheSettings();
    settings.viewTrend = SimTrendStandardVisible() ? 1 : 0;
    SimTrendDestroyAll();
    settings.language = s.language;
    // The project to open at the next start (a restart opens the restart project instead and
    // keeps the key as it is).
    if (!SimProcessRestartRequested()) settings.lastFileName = SimProjectHasName() ? s.projectName : "";
    bool haveLogo = false, haveUserData = false;
    SimWritePictureFiles(ConfirmProjectPath, &haveLogo, &haveUserData);
    if (!SimWriteSettingsAtExit(settings, s, haveLogo, haveUserData))
      SIM_LogText("The settings could not be written at exit.");
  }
  e->accept();
}

// --- Project operations ----------------------------------------------------------------------

void SimMainWindow::takeImagesBack() {
  SimState().saveRequest = 1;
  SimFirmware().cycle();
}

void SimMainWindow::loadStartProject(bool restart) {
  SimSettings& settings = SimTheSettings();
  if (restart) {
    SimLoadRestartProject();
  } else if (!settings.lastFileName.empty()) {
    const std::string last = settings.lastFileName;
    if (SimLoadProject(last.c_str()) != SIM_PROJECT_LOADED)
      SIM_LogText(("The last project " + last + " could not be loaded; the demo project runs.").c_str());
  } else {
    SimLoadProject(nullptr);
    // AutoLoad: the most recent file, once the window runs (a file that cannot be opened
    // leaves the list).
    const std::string recent = SimRecentGet(SIM_RECENT_FIRST_ID);
    if (settings.autoLoad && !recent.empty()) {
      QTimer::singleShot(0, this, [this, recent] {
        if (openProject(recent) != SIM_PROJECT_LOADED) SimRecentRemove(SIM_RECENT_FIRST_ID);
      });
    }
  }
  refreshTitle();
}

void SimMainWindow::newProject() {
  FW_PrepareProjectLoad();
  SimLoadDemoProject();
  SimState().reloadRequest = 1;
  SimSetProjectName("");
  refreshTitle();
  SimWriteDeviceSettings(SimState().device);
}

int SimMainWindow::openProject(const std::string& path) {
  FW_PrepareProjectLoad();
  const int result = SimLoadProject(path.c_str());
  if (result == SIM_PROJECT_LOADED) {
    SimWriteDeviceSettings(SimState().device);
    SimRecentAdd(path);
  }
  refreshTitle();
  return result;
}

int SimMainWindow::saveProject(const std::string& path, bool asName) {
  if (asName && path.size() >= SIM_PATH_SIZE) {
    SIM_LogText(("The path is too long for a project name: " + path).c_str());
    return 0;
  }
  takeImagesBack();
  if (!SimSaveProject(path.c_str())) return 0;
  SimMarkProjectSaved();
  if (asName) {
    SimSetProjectName(path);
    SimRecentAdd(path);
    refreshTitle();
  }
  return 1;
}

int SimMainWindow::exportEeprom(const std::string& path) {
  takeImagesBack();
  const int result = SimWriteEepromFile(path.c_str());
  refreshTitle();
  return result;
}

bool SimMainWindow::projectChanged() {
  takeImagesBack();
  return SimProjectChanged() || SimTrendSettingsChanged();
}
