#include "shell/sim_main.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "blocks/register_all.h"
#include "host/ini_file.h"
#include "host/shared_block.h"
#include "opui/op_blocktypes.h"
#include "runtime/fw_adapter.h"
#include "runtime/fw_eeprom.h"
#include "shell/firmware_link.h"
#include "shell/front_panel.h"
#include "shell/main_window.h"
#include "shell/script.h"
#include "shell/settings.h"
#include "shell/shell_ui.h"
#include "shell/shell_util.h"
#include "shell/sim/LCDSIM.h"
#include "shell/sim/SIM.h"
#include "shell/sim_loop.h"

namespace {

void ErrorBox(const char* text, const char* caption) {
  QMessageBox::warning(nullptr, QString::fromLatin1(caption), QString::fromLatin1(text));
}

void KeyMaskToFirmware(uint32_t mask) { SimFirmware().setKeyMask(mask); }

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

// SIM74_2_SCREENSHOT=file: after two seconds of running, the screen is saved as a PNG file and
// the program ends (used by the tests to see what a user sees).
void ArmScreenshot(SimMainWindow* w) {
  const char* path = std::getenv("SIM74_2_SCREENSHOT");
  if (!path || !*path) return;
  std::string file = path;
  QTimer::singleShot(2000, w, [w, file] {
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

}  // namespace

SimMainWindow* SimInitInstance(const std::string& commandLine) {
  SimHostState& s = SimState();
  std::memset(&s, 0, sizeof s);
  std::memset(&SimShadowState(), 0, sizeof s);
  // The project's images and their saved copies; empty until a project is loaded.
  static uint8_t engineering[SIM_ENGINEERING_SIZE], engineeringRef[SIM_ENGINEERING_SIZE];
  static uint8_t data[SIM_DATA_SIZE], dataRef[SIM_DATA_SIZE];
  s.engineering = engineering;
  s.engineeringRef = engineeringRef;
  s.data = data;
  s.dataRef = dataRef;
  // A new project: no engineering and a blank internal EEPROM that carries its tag.
  std::memcpy(data + FW_IEE_TAG, "MX7N", 4);
  std::memcpy(dataRef, data, sizeof data);
  s.imagesValid = 1;
  s.reloadRequest = 1;  // the firmware takes the project at its start
  // The built-in plant's gain, delay time and rise time until a project brings its own.
  s.plantSettings[0] = 1.0f;
  s.plantSettings[1] = 5.0f;
  s.plantSettings[2] = 50.0f;
  if (SimInitIni(s) != 0) SIM_LogText("The settings file could not be written.");
  std::string line = SimFrameCommandLine(commandLine);
  SimScriptTakeOptions(line);
  std::snprintf(s.commandLine, sizeof s.commandLine, "%s", line.c_str());
  SimTheSettings() = SimReadSettings();
  s.language = static_cast<uint16_t>(SimTheSettings().language);
  SimRecentLoad(SimIniPath());
  SimReadDeviceSettings(&s.device);

  auto* w = new SimMainWindow();
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
  delete w;
  SimSetTheControl(nullptr);
  SIM_ExitHost();
  return rc;
}
