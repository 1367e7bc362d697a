#include "shell/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstring>

#include "firmware/fw_adapter.h"
#include "host/lingsel.h"
#include "shell/com_channel.h"
#include "shell/firmware_link.h"
#include "shell/front_panel.h"
#include "shell/project.h"
#include "shell/script.h"
#include "shell/settings.h"
#include "shell/shell_dialogs.h"
#include "shell/shell_texts.h"
#include "shell/shell_ui.h"
#include "shell/shell_util.h"
#include "simlayer/SIM.h"

namespace {
constexpr uint32_t kValidCycle = 100;
constexpr int32_t kPaused = 0x7FFFFFFF;
constexpr unsigned kLanguageMask = 7;  // German, English, French
constexpr int kViewGap = 4;            // pixels between the main window and its views

QString Path(const std::string& path) { return QString::fromLocal8Bit(path.c_str()); }

// A format's "%s" filled with a text (the text itself is not scanned again).
QString Fill(const char* format, const QString& text) { return Latin1(format).replace("%s", text); }

// A name typed without extension gets the dialog's.
std::string WithExtension(const std::string& file, const char* extension) {
  std::string folder, name;
  SimSplitPath(file, &folder, &name);
  return name.find('.') == std::string::npos ? file + extension : file;
}

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
  SimHostState& s = SimState();
  s.plantSetting = 0.0f;
  const SimSettings& settings = SimTheSettings();
  setWindowFlag(Qt::WindowStaysOnTopHint, settings.topmost != 0);
  for (int language = 0; language < SIM_LANGUAGES; ++language) demoTexts_[language] = SimReadDemoText(language, "");
  rebuildMenus();
  refreshTitle();
  setAcceptDrops(true);
}

SimMainWindow::~SimMainWindow() {
  if (commView()) SimComSetViewWindows({}, {});
  if (channelNotifier_) SimComClose();
  if (scriptHooks_) {
    SimScriptClose();
    SimScriptSetHooks({});
  }
}

void SimMainWindow::setHooks(SimMainWindowHooks hooks) {
  hooks_ = std::move(hooks);
  updateMenuStates();
}

void SimMainWindow::openChannel() {
  // PC tools must not be answered by someone else in the simulator's place: the user learns
  // which names the simulator could not have.
  // Told once in one box, after the window is up: a reopening that fails on the same names
  // (the first cycle takes the device address) says nothing new.
  if (SimComOpen(SIM_COM_PORT, SimState().deviceAddress, SIM_COM_MAIN_NAME) != 0 &&
      SimComOpenFailures() != channelFailuresShown_) {
    channelFailuresShown_ = SimComOpenFailures();
    const std::string text = "PC tools cannot reach the simulator through these names:\n" + channelFailuresShown_;
    QTimer::singleShot(0, this, [text] { SIM_Error(text.c_str()); });
  }
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
  setFocusProxy(front_);
  front_->setFocus();
  openScripts();
  return 0;
}

// The player reaches the front through its messages, the communication view's request edit
// is read-only while it plays, and the recorder's header names the project.
void SimMainWindow::openScripts() {
  SimScriptHooks hooks;
  SimFrontPanel* front = front_;
  hooks.front = [front](int id, intptr_t wParam, intptr_t lParam) { return front->send(id, wParam, lParam); };
  hooks.requestReadOnly = [this](bool readOnly) {
    if (SimCommView* view = commView()) view->requestEdit()->setReadOnly(readOnly);
  };
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

// --- Menu and title ------------------------------------------------------------------------

void SimMainWindow::rebuildMenus() {
  // The old menus go once the event that may have come from one of their items has ended.
  for (QMenu*& m : menus_) {
    if (!m) continue;
    menuBar()->removeAction(m->menuAction());
    m->deleteLater();
    m = nullptr;
  }
  actions_.clear();
  SimBuildMenuBar(menuBar(), SimState().language, [this](int id) { command(id); }, &actions_, menus_);
  const SimHostState& s = SimState();
  const SimSettings& settings = SimTheSettings();
  setCheck(SIM_CMD_AUTOLOAD, settings.autoLoad != 0);
  setCheck(SIM_CMD_TOPMOST, settings.topmost != 0);
  setCheck(SIM_CMD_PAUSE, s.pauseCount != 0);
  setCheck(SIM_CMD_TURBO, s.turbo != 0);
  refreshRecent();
  updateMenuStates();
}

void SimMainWindow::refreshRecent() {
  SimRecentRebuildMenu(menus_[SIM_MENU_FILE], Latin1(SimTexts().recentPlaceholder), [this](int id) { command(id); });
}

void SimMainWindow::setCheck(int id, bool on) {
  if (QAction* a = action(id)) a->setChecked(on);
}

void SimMainWindow::updateMenuStates() {
  const SimHostState& s = SimState();
  setCheck(SIM_CMD_VIEW_IO, s.ioViewsShown != 0);
  setCheck(SIM_CMD_VIEW_COMM, s.commViewShown != 0);
  if (QAction* a = action(SIM_CMD_VIEW_COMM)) a->setEnabled(s.ioViewsShown != 0);
  if (QAction* a = action(SIM_CMD_DEVICE)) a->setEnabled(static_cast<bool>(hooks_.deviceDialog));
  if (QAction* a = action(SIM_CMD_MODULES)) a->setEnabled(static_cast<bool>(hooks_.moduleDialog));
}

QString SimMainWindow::titleText() const {
  const SimHostState& s = SimState();
  const SimTextSet& t = SimTexts();
  char head[80];
  std::snprintf(head, sizeof head, t.titleFormat, static_cast<int>(FW_FIRMWARE_VERSION));
  QString title = Latin1(head) + " - ";
  if (SimProjectHasName()) {
    // The file's name without its folder, in upper case for the title only.
    std::string folder, name;
    SimSplitPath(s.projectName, &folder, &name);
    if (!name.empty() && name.back() == '*') name.pop_back();
    title += Path(name).toUpper();
  } else {
    title += Latin1(t.newProjectName);
  }
  if (s.pauseCount != 0) title += "  [Pause]";
  if (s.turbo) title += "  [Turbo]";
  return title;
}

void SimMainWindow::refreshTitle() {
  shownPaused_ = SimState().pauseCount != 0;
  shownTurbo_ = SimState().turbo != 0;
  setWindowTitle(titleText());
}

void SimMainWindow::syncMarks() {
  const SimHostState& s = SimState();
  if ((s.pauseCount != 0) == shownPaused_ && (s.turbo != 0) == shownTurbo_) return;
  setCheck(SIM_CMD_PAUSE, s.pauseCount != 0);
  setCheck(SIM_CMD_TURBO, s.turbo != 0);
  refreshTitle();
}

// --- Commands ------------------------------------------------------------------------------

void SimMainWindow::command(int id, intptr_t lParam) {
  SimHostState& s = SimState();
  SimSettings& settings = SimTheSettings();
  switch (id) {
    case SIM_CMD_NEW:
      if (querySave(false)) newProject();
      break;
    case SIM_CMD_OPEN:
      openWithDialog();
      break;
    case SIM_CMD_EXIT:
      close();
      break;
    case SIM_CMD_SAVE:
      save(false);
      break;
    case SIM_CMD_SAVE_AS:
      saveAs();
      break;
    case SIM_CMD_EXPORT_EEPROM:
      exportWithDialog();
      break;
    case SIM_CMD_DEVICE:
      runDialogHook(hooks_.deviceDialog);
      break;
    case SIM_CMD_MODULES:
      runDialogHook(hooks_.moduleDialog);
      break;
    case SIM_CMD_LANGUAGE:
      chooseLanguage();
      break;
    case SIM_CMD_AUTOLOAD:
      settings.autoLoad = settings.autoLoad ? 0 : 1;
      setCheck(id, settings.autoLoad != 0);
      break;
    case SIM_CMD_PAUSE:
      s.pauseCount = s.pauseCount == 0 ? kPaused : 0;
      setCheck(id, s.pauseCount != 0);
      refreshTitle();
      break;
    case SIM_CMD_TURBO:
      s.turbo = s.turbo ? 0 : 1;
      setCheck(id, s.turbo != 0);
      if (SimControl* c = SimTheControl()) c->turboChanged();
      refreshTitle();
      break;
    case SIM_CMD_VIEW_IO:
      s.ioViewsShown = s.ioViewsShown ? 0 : 1;
      SimShowViews(this);
      break;
    case SIM_CMD_VIEW_COMM:
      s.commViewShown = s.commViewShown ? 0 : 1;
      SimShowViews(this);
      break;
    case SIM_CMD_CONTROLLER_TREND:
    case SIM_CMD_TREND_SETTINGS:
    case SIM_CMD_TREND_SLOW:
    case SIM_CMD_TREND_MEDIUM:
    case SIM_CMD_TREND_FAST:
    case SIM_CMD_TREND_L1READ:
      if (hooks_.trendCommand) hooks_.trendCommand(id);
      break;
    case SIM_CMD_TOPMOST:
      toggleTopmost();
      break;
    case SIM_CMD_INDEX:
      openHelp();
      break;
    case SIM_CMD_INFO:
      send(SIM_MSG_INFO, 0, 0);
      break;
    case SIM_CMD_COMM_34:
    case SIM_CMD_COMM_45:
      if (SimCommView* view = commView()) view->command(id);
      break;
    default:
      if (id >= SIM_CMD_RECENT_FIRST && id <= SIM_CMD_RECENT_LAST) openRecent(id, lParam);
      // 30031, 30035, 30036, 30038 and the rest: nothing in the main window.
      break;
  }
}

void SimMainWindow::runDialogHook(const std::function<bool(QWidget*)>& dialog) {
  if (dialog && dialog(this)) SimState().reloadRequest = 1;
}

void SimMainWindow::openWithDialog() {
  if (!querySave(false)) return;
  const SimTextSet& t = SimTexts();
  std::string file;
  if (!SimOpenFileDialog(this, Latin1(t.openTitle), &file, t.projectFilter, &folder_)) return;
  openProject(file);
}

void SimMainWindow::openRecent(int id, intptr_t lParam) {
  const std::string path = SimRecentGet(id);
  if (path.empty()) return;
  if (lParam != kAutoLoadMarker && !querySave(false)) return;
  if (openProject(path) != SIM_PROJECT_LOADED) {
    SimRecentRemove(id);
    refreshRecent();
  }
}

void SimMainWindow::exportWithDialog() {
  std::string file;
  if (!SimSaveFileDialog(this, Latin1(SimTexts().saveTitle), &file, SIM_EEPROM_FILTER, &folder_)) return;
  if (!exportEeprom(WithExtension(file, ".ebin")))
    SimMessageBox(this, SIM_BOX_CAPTION, Latin1(SimTexts().unwritable), SIM_BOX_WARNING_OK);
}

bool SimMainWindow::save(bool silent) {
  if (!SimProjectHasName()) {
    if (!silent) return saveAs();
    // Nobody to ask: the OEM project file. Ending goes on even when it cannot be written (the
    // restart project holds the same).
    if (!saveProject(SimOemProjectPath(), false))
      SIM_LogText(("The project could not be written to " + SimOemProjectPath()).c_str());
    return true;
  }
  const std::string name = SimState().projectName;
  if (saveProject(name, false)) return true;
  if (silent) {
    SIM_LogText(("The project could not be written to " + name).c_str());
    return true;
  }
  SimMessageBox(this, SIM_BOX_CAPTION, Latin1(SimTexts().unwritable), SIM_BOX_WARNING_OK);
  return false;
}

bool SimMainWindow::saveAs() {
  const SimTextSet& t = SimTexts();
  std::string file = SimProjectHasName() ? SimState().projectName : "";
  if (!SimSaveFileDialog(this, Latin1(t.saveTitle), &file, t.projectFilter, &folder_)) return false;
  if (saveProject(WithExtension(file, ".sdg"), true)) return true;
  SimMessageBox(this, SIM_BOX_CAPTION, Latin1(t.unwritable), SIM_BOX_WARNING_OK);
  return false;
}

bool SimMainWindow::querySave(bool silent) {
  const bool trendsChanged = hooks_.trendSettingsChanged && hooks_.trendSettingsChanged();
  if (!projectChanged() && !trendsChanged) return true;
  int answer = SIM_BOX_YES;
  if (!silent) {
    const SimTextSet& t = SimTexts();
    const QString name = SimProjectHasName() ? Path(SimState().projectName) : Latin1(t.newProjectName);
    answer = SimMessageBox(this, SIM_BOX_CAPTION, Fill(t.savePrompt, name), SIM_BOX_WARNING_YES_NO_CANCEL);
  }
  if (answer == SIM_BOX_NO) return true;
  if (answer != SIM_BOX_YES) return false;
  // A save that fails or is cancelled keeps the change marks: the next prompt asks again.
  return save(silent);
}

void SimMainWindow::chooseLanguage() {
  SimHostState& s = SimState();
  int language = s.language;
  if (!LanguageSelectDialog(0, this, &language, kLanguageMask) || language < 0 || language >= SIM_LANGUAGES) return;
  s.language = static_cast<uint16_t>(language);
  SimTheSettings().language = language;
  SimWriteIniInt(SIM_INI_SETTINGS, "Language", language, SimIniPath());
  rebuildMenus();
  SimLanguageTexts(this);
  if (hooks_.languageChanged) hooks_.languageChanged();
  // The firmware starts again in the new language at its next tick.
  s.reloadRequest = 1;
}

void SimMainWindow::toggleTopmost() {
  SimSettings& settings = SimTheSettings();
  settings.topmost = settings.topmost ? 0 : 1;
  SimWriteIniInt(SIM_INI_SETTINGS, "Topmost", settings.topmost, SimIniPath());
  const bool shown = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, settings.topmost != 0);
  if (shown) show();
  setCheck(SIM_CMD_TOPMOST, settings.topmost != 0);
}

void SimMainWindow::openHelp() {
  const QString path = SimHelpDocumentPath();
  if (QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return;
  SimMessageBox(this, SIM_BOX_CAPTION, Latin1(SimTexts().helpError) + "\n\n" + path, SIM_BOX_WARNING_OK);
}

// --- Views ---------------------------------------------------------------------------------

QWidget* SimMainWindow::view(int slot) const {
  return slot >= 0 && slot < SIM_VIEW_SLOTS ? views_[static_cast<size_t>(slot)].data() : nullptr;
}

void SimMainWindow::setView(int slot, QWidget* window) {
  if (slot < 0 || slot >= SIM_VIEW_SLOTS) return;
  if (window && window->parentWidget() != this) window->setParent(this, window->windowFlags() | Qt::Window);
  views_[static_cast<size_t>(slot)] = window;
}

SimCommView* SimMainWindow::commView() const { return static_cast<SimCommView*>(view(SIM_VIEW_COMM)); }

void SimMainWindow::createCommView() {
  if (commView()) return;
  auto* v = new SimCommView(this);
  setView(SIM_VIEW_COMM, v);
  v->requestEdit()->setReadOnly(SimScriptPlaying());
  QPointer<QLineEdit> request = v->requestEdit(), response = v->responseEdit();
  SimComSetViewWindows(
      [request](const std::string& text) {
        if (request) request->setText(QString::fromLatin1(text.c_str()));
      },
      [response](const std::string& text) {
        if (response) response->setText(QString::fromLatin1(text.c_str()));
      });
}

void SimMainWindow::layoutViews() {
  const QRect frame = frameGeometry();
  // The views stay on the window's screen, beside it as far as that screen allows.
  const QScreen* screen = QGuiApplication::screenAt(frame.center());
  if (!screen) screen = this->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(frame.topLeft(), QSize(1 << 20, 1 << 20));
  std::vector<QWidget*> column, below;
  std::vector<QSize> columnSizes, belowSizes;
  for (int slot = SIM_VIEW_IO_FIRST; slot < SIM_VIEW_IO_FIRST + SIM_VIEW_IO_COUNT; ++slot) {
    QWidget* v = view(slot);
    if (!v || !v->isVisible()) continue;
    column.push_back(v);
    columnSizes.push_back(v->frameGeometry().size());
  }
  for (int slot : {SIM_VIEW_COMM, SIM_VIEW_PLANT}) {
    QWidget* v = view(slot);
    if (!v || !v->isVisible()) continue;
    below.push_back(v);
    belowSizes.push_back(v->frameGeometry().size());
  }
  const SimViewPlaces places = SimPlaceViews(frame, area, columnSizes, belowSizes, kViewGap);
  for (size_t i = 0; i < column.size(); ++i) column[i]->move(places.column[i]);
  for (size_t i = 0; i < below.size(); ++i) below[i]->move(places.below[i]);
}

void SimMainWindow::sendViews(int id) {
  for (int slot = SIM_VIEW_IO_FIRST; slot < SIM_VIEW_IO_FIRST + SIM_VIEW_IO_COUNT; ++slot)
    if (auto* target = dynamic_cast<SimMessageTarget*>(view(slot))) target->send(id, 0, 0);
}

// --- Cycle messages ------------------------------------------------------------------------

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
    case SIM_MSG_INFO:
      return SimInfoBox(this);
    case SIM_MSG_TREND_RESET:
      if (hooks_.trendReset) hooks_.trendReset();
      SimSetProjectName("");
      refreshTitle();
      return 0;
    case SIM_MSG_RESTART:
      if (wParam == 1) {
        if (SimSaveRestartProject()) {
          close();
        } else {
          keepRunningWithoutRestart();
        }
      }
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
  sendViews(SIM_MSG_IO_TAKE);
  syncMarks();
}

void SimMainWindow::postCycle() {
  SimHostState& s = SimState();
  if (s.cycleCount % 10 == 0 || !s.turbo) sendViews(SIM_MSG_IO_REFRESH);
  SimRecordStep();
  if (hooks_.trendSample) hooks_.trendSample();
  if (s.responseReady) {
    s.requestPending = 0;
    s.responseReady = 0;
    SimComPostResponse(s.responseText, s.responseLength);
  }
  if (s.deviceAddress != SimShadowState().deviceAddress && SimComIsOpen()) openChannel();
  std::memcpy(&SimShadowState(), &s, sizeof s);
  s.responseReady = 0;
}

// The restart project could not be written: a restart would lose what the firmware holds (a
// download that just ended is only there). Instead the firmware starts again in this process
// with the images it handed back, the user is told, and the project counts as changed so that
// the save question at close offers to keep it.
void SimMainWindow::keepRunningWithoutRestart() {
  SimHostState& s = SimState();
  SimClearProcessRestart();
  s.endFlag = 0;
  s.restartFlag = 1;     // the next tick starts the firmware again ...
  s.reloadRequest = 1;   // ... with the images the shell now holds
  s.changed = 1;
  SIM_Error(("The restart project " + SimRestartProjectPath() +
             " could not be written; the simulator goes on without restarting and runs the engineering "
             "it holds. Save the project to keep it.")
                .c_str());
}

// --- Close ---------------------------------------------------------------------------------

void SimMainWindow::closeUnasked() {
  unasked_ = true;
  close();
}

void SimMainWindow::closeEvent(QCloseEvent* e) {
  if (!closing_) {
    // After a restart request nobody is asked: the project is saved as it stands.
    if (!unasked_ && !querySave(SimProcessRestartRequested())) {
      e->ignore();
      return;
    }
    closing_ = true;
    SimState().endFlag = 1;
    // The last tick closes the module panels, so that they end with the simulator.
    SimState().closePanelsRequest = 1;
    if (SimControl* c = SimTheControl()) c->tick();
    finishRun();
  }
  e->accept();
}

// The end of the run: the script closed, the trends destroyed, the window placement, the
// settings and the logo and user-data files written, the views hidden.
void SimMainWindow::finishRun() {
  SimScriptClose();
  if (hooks_.closing) hooks_.closing();
  if (!SimIniPath().empty()) SimWriteWindowPos(this, SIM_INI_SETTINGS, "WindowPos", SimIniPath());
  SimMarkSettingsValid();
  SimHostState& s = SimState();
  SimSettings& settings = SimTheSettings();
  settings.language = s.language;
  settings.viewIO = s.ioViewsShown ? 1 : 0;
  // The project to open at the next start (a restart opens the restart project instead and
  // keeps the key as it is).
  if (!SimProcessRestartRequested()) settings.lastFileName = SimProjectHasName() ? s.projectName : "";
  bool haveLogo = false, haveUserData = false;
  SimWritePictureFiles(ConfirmProjectPath, &haveLogo, &haveUserData);
  if (!SimWriteSettingsAtExit(settings, s, haveLogo, haveUserData))
    SIM_LogText("The settings could not be written at exit.");
  for (const QPointer<QWidget>& v : views_)
    if (v) v->hide();
}

// --- Dropped files -------------------------------------------------------------------------

void SimMainWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void SimMainWindow::dropEvent(QDropEvent* e) {
  const QList<QUrl> urls = e->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  e->acceptProposedAction();
  const std::string path = urls.first().toLocalFile().toLocal8Bit().toStdString();
  // Opened once the drop has ended, so that the save prompt and the boxes do not run inside
  // the drag. The prompt comes first: a drop must not throw away unsaved changes.
  QTimer::singleShot(0, this, [this, path] {
    if (querySave(false)) openProject(path);
  });
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
    if (settings.autoLoad && !SimRecentGet(SIM_RECENT_FIRST_ID).empty())
      QTimer::singleShot(0, this, [this] { command(SIM_CMD_RECENT_FIRST, kAutoLoadMarker); });
  }
  // The device is the user's: the settings' [Device] keys replace what the start project
  // brought (opening a project later writes its device into the settings).
  SimReadDeviceSettings(&SimState().device);
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
    refreshRecent();
  }
  refreshTitle();
  if (result != SIM_PROJECT_LOADED) {
    const SimTextSet& t = SimTexts();
    const char* format = result == SIM_PROJECT_OTHER_FIRMWARE ? t.otherFirmware : t.unreadable;
    SimMessageBox(this, SIM_BOX_CAPTION, Fill(format, Path(path)), SIM_BOX_WARNING_OK);
  }
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
    refreshRecent();
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
  if (!SimState().engineering || !SimState().data) return false;  // no project buffers yet
  takeImagesBack();
  return SimProjectChanged();
}
