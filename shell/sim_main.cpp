#include "shell/sim_main.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <QApplication>
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
#include "host/ini_file.h"
#include "host/shared_block.h"
#include "opui/op_blocktypes.h"
#include "runtime/fw_adapter.h"
#include "shell/firmware_link.h"
#include "shell/front_panel.h"
#include "shell/main_window.h"
#include "shell/module_panels.h"
#include "shell/plant_plugin.h"
#include "shell/project.h"
#include "shell/script.h"
#include "shell/settings.h"
#include "shell/shell_ui.h"
#include "shell/shell_util.h"
#include "shell/sim/LCDSIM.h"
#include "shell/sim/SIM.h"
#include "shell/sim_loop.h"

extern char** environ;

namespace {

void ErrorBox(const char* text, const char* caption) {
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
    w->close();
  });
}

// SIGTERM, SIGINT and SIGHUP end the program as its Exit command does, so that the names it
// shares with other programs are removed (a signal handler only writes to a pipe; the event
// loop does the rest).
int g_endPipe[2] = {-1, -1};

void OnEndSignal(int) {
  const char c = 1;
  const ssize_t n = write(g_endPipe[1], &c, 1);
  (void)n;
}

void CatchEndSignals(SimMainWindow* w) {
  if (g_endPipe[0] < 0 && pipe2(g_endPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(g_endPipe[0], QSocketNotifier::Read, w);
  QObject::connect(notifier, &QSocketNotifier::activated, w, [w] {
    char buf[16];
    while (read(g_endPipe[0], buf, sizeof buf) > 0) {
    }
    w->close();
  });
  struct sigaction sa {};
  sa.sa_handler = OnEndSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}

// Starts this program again with its arguments and " /restart" (the arguments are split at
// blanks, as they were joined).
void StartAgain(const std::string& args) {
  std::vector<std::string> words;
  for (size_t i = 0; i < args.size();) {
    const size_t end = std::min(args.find(' ', i), args.size());
    if (end > i) words.push_back(args.substr(i, end - i));
    i = end + 1;
  }
  if (std::find(words.begin(), words.end(), "/restart") == words.end()) words.push_back("/restart");
  const std::string self = QCoreApplication::applicationFilePath().toLocal8Bit().toStdString();
  std::vector<char*> argv{const_cast<char*>(self.c_str())};
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
    std::fprintf(stderr, "SIM74_2: the program could not be started again\n");
}

}  // namespace

const SimModulePanelWindowHooks& SimQtPanelWindowHooks() { return kPanelWindowHooks; }

SimMainWindow* SimInitInstance(const std::string& commandLine) {
  SimHostState& s = SimState();
  std::memset(&s, 0, sizeof s);
  std::memset(&SimShadowState(), 0, sizeof s);
  // The project's buffers: both images with their saved copies, the logo and the user data.
  SimAttachProjectBuffers(s);
  s.imagesValid = 1;
  if (SimInitIni(s) != 0) SIM_LogText("The settings file could not be written.");
  std::string line = SimFrameCommandLine(commandLine);
  SimScriptTakeOptions(line);
  std::snprintf(s.commandLine, sizeof s.commandLine, "%s", line.c_str());
  std::string options = line;
  const bool restart = SimFindOption(options, " /restart ", nullptr) != 0;
  SimTheSettings() = SimReadSettings();
  s.language = static_cast<uint16_t>(SimTheSettings().language);
  SimRecentLoad(SimIniPath());
  SimReadDeviceSettings(&s.device);

  // The demo project in the buffers, then the start-up logo and the user data; every load
  // hands the pictures to the firmware.
  SimSetShiftHeldHook(ShiftHeld);
  SimSetPicturesChangedHook(SimHandPicturesToFirmware);
  SimLoadDemoProject();
  SimReadPictureFiles();

  auto* w = new SimMainWindow();
  // The project the firmware starts with (the script recorder's header names it).
  w->loadStartProject(restart);
  if (w->createFront() != 0) {
    delete w;
    return nullptr;
  }
  g_main = w;
  SimReadWindowPos(w, SIM_SHOW_NORMAL, SIM_INI_SETTINGS, "WindowPos", SimIniPath());
  w->refreshTitle();
  w->openChannel();
  return w;
}

int SimMain(const std::string& args) {
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
  SimMainWindow* w = SimInitInstance(commandLine);
  if (!w) {
    QApplication::beep();
    SIM_ExitHost();
    return 1;
  }
  // The plant plug-in of the language, beside the program; without it the firmware runs its
  // own plant model.
  SimPlantLoad(SimState().language);
  control.setTarget(w);
  control.setOnFinished([] { QCoreApplication::quit(); });
  w->activateWindow();
  if (w->front()) w->front()->setFocus();
  control.startFirmware();
  ArmScreenshot(w);
  CatchEndSignals(w);

  int rc = QApplication::exec();
  SimWriteWindowPos(w, SIM_INI_SETTINGS, "WindowPos", SimIniPath());
  control.setTarget(nullptr);
  g_main = nullptr;
  SimSetRestartHooks(nullptr);
  SimSetModulePanelWindowHooks(nullptr);
  delete w;
  SimPlantUnload();
  SimSetTheControl(nullptr);
  SIM_ExitHost();
  // A restart request: the program starts again after a second and loads the restart project.
  if (SimProcessRestartRequested()) {
    SimClearProcessRestart();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    StartAgain(commandLine);
  }
  return rc;
}
