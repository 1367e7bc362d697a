#include "shell/main_window.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QMenuBar>
#include <QSocketNotifier>
#include <cstring>

#include "shell/com_channel.h"
#include "shell/firmware_link.h"
#include "shell/front_panel.h"
#include "shell/script.h"
#include "shell/settings.h"
#include "shell/sim/SIM.h"

namespace {
constexpr uint32_t kValidCycle = 100;
constexpr int32_t kPaused = 0x7FFFFFFF;
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

// The player reaches the front through its messages; the communication view's edit and the
// project name come with the views and projects.
void SimMainWindow::openScripts() {
  SimScriptHooks hooks;
  SimFrontPanel* front = front_;
  hooks.front = [front](int id, intptr_t wParam, intptr_t lParam) { return front->send(id, wParam, lParam); };
  hooks.beep = [] { QApplication::beep(); };
  hooks.tick = [] {
    if (SimControl* c = SimTheControl()) c->tick();
  };
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
  QString t = "Simulation SIM/MX74-2 - (NEW)";
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
      if (wParam == 1) close();
      return 0;
    case SIM_MSG_100MS:
    case SIM_MSG_TREND_RESET:  // the trends are not bound yet
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
    SimTheSettings().language = s.language;
    auto exists = [](const char* path) { return path[0] && ::access(path, F_OK) == 0; };
    if (!SimWriteSettingsAtExit(SimTheSettings(), s, exists(s.logoPath), exists(s.userDataPath)))
      SIM_LogText("The settings could not be written at exit.");
  }
  e->accept();
}
