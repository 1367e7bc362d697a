#include "shell/sim_main.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "blocks/register_all.h"
#include "firmware/fw_adapter.h"
#include "host/end_signals.h"
#include "host/ini_file.h"
#include "host/process.h"
#include "host/shared_block.h"
#include "links/sim_links.h"
#include "opui/op_blocktypes.h"
#include "shell/device_dialog.h"
#include "shell/firmware_link.h"
#include "shell/front_panel.h"
#include "shell/io_views.h"
#include "shell/main_window.h"
#include "shell/module_panels.h"
#include "shell/peers.h"
#include "shell/plant_plugin.h"
#include "shell/project.h"
#include "shell/script.h"
#include "shell/settings.h"
#include "shell/shell_dialogs.h"
#include "shell/shell_texts.h"
#include "shell/shell_ui.h"
#include "shell/shell_util.h"
#include "shell/sim_loop.h"
#include "shell/trend_dialogs.h"
#include "simlayer/LCDSIM.h"
#include "simlayer/SIM.h"

namespace {

// Without a display nobody could close a box: the text goes to the standard error output (it
// is in "SimError.log" too) and the program goes on.
void ErrorBox(const char* text, const char* caption) {
  const QString platform = QGuiApplication::platformName();
  if (platform == "offscreen" || platform == "minimal") {
    std::fprintf(stderr, "SIM74_2: %s\n", text);
    return;
  }
  QMessageBox::warning(nullptr, QString::fromLatin1(caption), QString::fromLatin1(text));
}

void KeyMaskToFirmware(uint32_t mask) { SimFirmware().setKeyMask(mask); }

bool ShiftHeld() { return (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) != 0; }

SimMainWindow* g_main;

void BeforeFirmwareRestart() {
  if (!g_main) return;
  g_main->update();
  if (g_main->front()) g_main->front()->show();
}

// The display exists once the firmware has started the graphics library.
void AfterFirmwareInit() {
  LCDSIM_VIEW v{};
  if (LCDSIM_GetView(0, &v) != 0) LCDSIM_InitServerData();
  if (g_main && g_main->front()) g_main->front()->update();
}

void RequestProcessRestart() {
  if (g_main) g_main->send(SIM_MSG_RESTART, 1, 0);
}

const SimRestartHooks kHooks = {BeforeFirmwareRestart, AfterFirmwareInit, RequestProcessRestart};

// Around a configuration pass of the module panels: the window that was active (and its
// focus) is active again afterwards, also when panels were started and shown.
QPointer<QWidget> g_activeBeforePanels;
QPointer<QWidget> g_focusBeforePanels;

void RememberActiveWindow() {
  g_activeBeforePanels = QApplication::activeWindow();
  g_focusBeforePanels = QApplication::focusWidget();
}

void RestoreActiveWindow() {
  if (!g_activeBeforePanels) return;
  g_activeBeforePanels->activateWindow();
  if (g_focusBeforePanels)
    g_focusBeforePanels->setFocus();
  else
    g_activeBeforePanels->setFocus();
}

const SimModulePanelWindowHooks kPanelWindowHooks = {RememberActiveWindow, RestoreActiveWindow};

// SIM74_2_SCREENSHOT=file: after two seconds of running (SIM74_2_SCREENSHOT_DELAY=ms to wait
// longer or shorter), the screen is saved as a PNG file and the program ends (used by the
// tests to see what a user sees).
void ArmScreenshot(SimMainWindow* w) {
  const char* path = std::getenv("SIM74_2_SCREENSHOT");
  if (!path || !*path) return;
  std::string file = path;
  int delay = 2000;
  if (const char* ms = std::getenv("SIM74_2_SCREENSHOT_DELAY")) delay = std::clamp(std::atoi(ms), 0, 600000);
  QTimer::singleShot(delay, w, [w, file] {
    QPixmap shot = SimGrabScreen(w);
    if (!shot.save(QString::fromLocal8Bit(file.c_str()), "PNG")) std::fprintf(stderr, "SIM74_2: cannot write %s\n", file.c_str());
    w->closeUnasked();
  });
}

// SIGTERM, SIGINT and SIGHUP end the program as its Exit command does, so that the names it
// shares with other programs are removed. They are taken from the very start: a signal that
// comes while a box is open closes the box (nobody is there to answer it), and one that comes
// before the window is ready ends the program as soon as it is.
bool g_endRequested = false;
SimMainWindow* g_endTarget = nullptr;

void CloseModalBoxes() {
  for (int n = 0; n < 16; ++n) {  // a box may have opened another
    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!box) return;
    box->reject();
  }
}

void CatchEndSignals(QObject* owner) {
  const int fd = host::CatchEndSignals();
  if (fd < 0) return;
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
    host::DrainEndSignals();
    g_endRequested = true;
    CloseModalBoxes();
    // Nobody to ask at a signal: the program ends without the save prompt.
    if (g_endTarget) g_endTarget->closeUnasked();
  });
}

// The window is ready to be closed by a signal (one that came before closes it now).
void EndSignalsReach(SimMainWindow* w) {
  g_endTarget = w;
  if (g_endRequested) QTimer::singleShot(0, w, [w] { w->closeUnasked(); });
}

// Starts this program again with " /restart" (shown normally), as a new process.
void StartAgain() {
  const std::string self = QCoreApplication::applicationFilePath().toLocal8Bit().toStdString();
  if (host::StartProcess({self, "/restart"}) == 0) std::fprintf(stderr, "SIM74_2: the program could not be started again\n");
}

// The hidden window's part: the other instances are told of this one, and their messages are
// handled on the UI thread.
void OpenPeers(QObject* owner) {
  std::string error;
  if (!SimPeers().open(static_cast<SimWindowId>(getpid()), &error)) {
    SIM_LogText(("The other simulators cannot reach this one: " + error).c_str());
    return;
  }
  auto* notifier = new QSocketNotifier(SimPeers().fd(), QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner, [] { SimPeers().serve(); });
}

}  // namespace

const SimModulePanelWindowHooks& SimQtPanelWindowHooks() { return kPanelWindowHooks; }

SimMainWindow* SimInitInstance(const std::string& commandLine) {
  // The links between the libraries (the protocols, the blocks and the operating interface
  // reach the main cycle, the operating interface's records and the state record).
  if (!SIM_InstallLinks()) std::fprintf(stderr, "SIM74_2: a link between the libraries is not installed\n");
  // 1. The state record and its shadow; the project's buffers (both images with their saved
  // copies, the logo and the user data).
  SimHostState& s = SimState();
  std::memset(&s, 0, sizeof s);
  std::memset(&SimShadowState(), 0, sizeof s);
  SimAttachProjectBuffers(s);
  s.imagesValid = 1;
  // 2. The settings file.
  if (SimInitIni(s) != 0) SIM_LogText("The settings file could not be written.");
  // 3. The program's folder (the help documents are beside it); the recent-file list keeps
  // the folder at start for its menu texts.
  SimSetProgramFolder(QCoreApplication::applicationDirPath());
  // 4. The command line as typed (its paths keep their case) and the instance.
  std::string line = SimFrameCommandLine(commandLine);
  std::snprintf(s.commandLine, sizeof s.commandLine, "%s", line.c_str());
  s.instance = static_cast<int32_t>(getpid());
  // 5. The views shown and the language of the settings.
  SimTheSettings() = SimReadSettings();
  SimSettings& settings = SimTheSettings();
  s.ioViewsShown = static_cast<uint16_t>(settings.viewIO);
  s.commViewShown = static_cast<uint16_t>(settings.viewCOM);
  settings.viewTrend = 0;
  s.language = static_cast<uint16_t>(settings.language);
  // 6. A restart start.
  const bool restart = SimFindOption(line, " /restart ", nullptr) != 0;
  // 7. The scripts, the recent files and the language of the command line (the last one
  // given wins).
  SimScriptTakeOptions(line);
  SimRecentLoad(SimIniPath());
  static const char* const kLanguages[SIM_LANGUAGES] = {" /german ", " /english ", " /french "};
  for (int language = 0; language < SIM_LANGUAGES; ++language)
    if (SimFindOption(line, kLanguages[language], nullptr)) s.language = static_cast<uint16_t>(language);
  SimSetShiftHeldHook(ShiftHeld);
  SimSetPicturesChangedHook(SimHandPicturesToFirmware);
  // The trends, whose channel settings follow every project loaded from here on.
  SimTrendBegin(s.instance);
  // 8. The start-up logo and the user data; every load hands the pictures to the firmware.
  SimReadPictureFiles();
  // 9. The demo project in the buffers, unnamed, until the main window loads the start
  // project.
  SimLoadProject(nullptr);
  SimSetProjectName("");

  // 11. The splash, unless this is a restart or its time is 0; a splash that cannot be shown
  // is left out.
  const long splashTime = SimSplashTime();
  bool splash = false;
  if (splashTime > 0 && !restart) {
    std::string version;
    SimProgramVersion(&version);
    splash = SimSplash(SIM_SPLASH_BITMAP, splashTime, QString::fromStdString(version), true);
  }

  // 12. The main window with the menu of the language; the project it starts with (the script
  // recorder's header names it) and the front.
  auto* w = new SimMainWindow();
  w->loadStartProject(restart);
  if (w->createFront() != 0) {
    delete w;
    if (splash) SimSplash(SIM_SPLASH_BITMAP, 0, QString(), false);
    return nullptr;
  }
  g_main = w;
  // 13. The views: the four I/O views and the communication view.
  SimCreateIoViews(w);
  w->createCommView();
  // 14. The placement, the title and the language's texts; the views as the settings say.
  SimReadWindowPos(w, SIM_SHOW_NORMAL, SIM_INI_SETTINGS, "WindowPos", SimIniPath());
  SimLanguageTexts(w);
  SimShowViews(w);
  // 15. The channel for PC tools (the view shows its traffic).
  w->openChannel();
  // 16. The splash ends.
  if (splash) SimSplash(SIM_SPLASH_BITMAP, splashTime, QString(), false);
  return w;
}

// What the later parts of the shell plug into the main window.
static SimMainWindowHooks MainWindowHooks(SimMainWindow* w) {
  SimMainWindowHooks hooks;
  SimTrendBindWindow(w, &hooks);
  SimSetDeviceDialogHooks(&hooks);
  // The plant plug-in's edition and the trends follow the language.
  hooks.languageChanged = [w] {
    SimPlantLoad(SimState().language);
    SimTrendWindowLanguageChanged(w);
  };
  return hooks;
}

void SimExitInstance(SimMainWindow* w) {
  if (g_main == w) g_main = nullptr;
  delete w;
}

int SimMain(const std::string& args) {
  host::CatchEndSignals();
  std::string commandLine = args.substr(0, 255);
  // SIM74_2_NAME_PREFIX=text: every name shared with other programs begins with it (tests keep
  // their simulators apart with it).
  if (const char* prefix = std::getenv("SIM74_2_NAME_PREFIX")) host::SetSharedNamePrefix(prefix);
  if (SIM_InitHost() != 0) {
    std::fprintf(stderr, "SIM74_2: the emulated display could not be set up\n");
    return 1;
  }
  SIM_InitKeys();
  SIM_SetErrorBoxHandler(ErrorBox);
  SIM_SetKeyMaskHook(KeyMaskToFirmware);
  SimSetRestartHooks(&kHooks);
  SimSetModulePanelWindowHooks(&kPanelWindowHooks);
  FW_SetDelayHook(SimFirmwareDelay);

  // Every block family's types and those of the operating interface, so that the firmware
  // can load any engineering.
  BLK_RegisterAllTypes();
  OP_RegisterBlockTypes();

  SimControl control;
  SimSetTheControl(&control);
  control.begin();
  CatchEndSignals(&control);
  // The programs started from here (the trend viewer, the module panels, those of scripts)
  // are reaped as soon as they end, whoever started them.
  auto* reaper = new QTimer(&control);
  QObject::connect(reaper, &QTimer::timeout, [] { host::ReapEndedProcesses(); });
  reaper->start(200);
  // The hidden window: the other running simulators hear of this one.
  OpenPeers(&control);
  SimMainWindow* w = SimInitInstance(commandLine);
  if (!w) {
    QApplication::beep();
    SimTrendEnd();
    SimPeers().close();
    SIM_ExitHost();
    return 1;
  }
  if (w->isVisible()) SimNoteWindowShown();
  // The plant plug-in of the language, beside the program; without it the firmware runs its
  // own plant model.
  SimPlantLoad(SimState().language);
  w->setHooks(MainWindowHooks(w));
  control.setTarget(w);
  control.setOnFinished([] { QCoreApplication::quit(); });
  w->activateWindow();
  if (w->front()) w->front()->setFocus();
  SimArmFirstLcdFrame(LCDSIM_GetChangeCount(0));
  control.startFirmware();
  ArmScreenshot(w);
  EndSignalsReach(w);

  int rc = QApplication::exec();
  g_endTarget = nullptr;
  control.setTarget(nullptr);
  SimSetRestartHooks(nullptr);
  SimSetModulePanelWindowHooks(nullptr);
  SimExitInstance(w);
  SimScriptEndPrograms();
  SimTrendEnd();
  SimPlantUnload();
  SimSetTheControl(nullptr);
  SimPeers().close();
  SimInstanceMarkRelease();
  SIM_ExitHost();
  // A restart request: the program starts again after a second and loads the restart project.
  if (SimProcessRestartRequested()) {
    SimClearProcessRestart();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    StartAgain();
  }
  return rc;
}
