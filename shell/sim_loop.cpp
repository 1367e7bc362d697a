#include "shell/sim_loop.h"

#include <QTimer>
#include <cstring>
#include <ctime>

#include "shell/firmware_link.h"

namespace {

SimControl* g_control;
// Cycles to skip for the firmware's waits, apart from the Pause counter.
int32_t g_waitCycles;

uint32_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

// "24,0,0=1" from the fifth character on, looked for only within the current text.
constexpr char kTrendReset[] = "24,0,0=1";

bool TakeTrendReset(char* text, size_t size) {
  size_t len = strnlen(text, size);
  if (len < 4 + sizeof kTrendReset - 1) return false;
  if (std::memcmp(text + 4, kTrendReset, sizeof kTrendReset - 1) != 0) return false;
  std::memset(text + 4, 0, sizeof kTrendReset - 1);
  return true;
}

}  // namespace

SimControl* SimTheControl() { return g_control; }
void SimSetTheControl(SimControl* control) { g_control = control; }

SimControl::SimControl(QObject* parent) : QObject(parent), clock_(MonotonicMs) {
  timer_ = new QTimer(this);
  timer_->setInterval(kTimerMs);
  connect(timer_, &QTimer::timeout, this, [this] { onTimer(); });
  // Turbo: a zero-interval timer; the event loop serves waiting events before it fires again.
  turbo_ = new QTimer(this);
  turbo_->setInterval(0);
  connect(turbo_, &QTimer::timeout, this, [this] { runCycle(false); });
}

SimControl::~SimControl() {
  if (g_control == this) g_control = nullptr;
}

void SimControl::setClock(std::function<uint32_t()> clock) { clock_ = clock ? std::move(clock) : MonotonicMs; }
uint32_t SimControl::now() const { return clock_(); }
bool SimControl::timerActive() const { return timer_->isActive(); }
bool SimControl::turboActive() const { return turbo_->isActive(); }

void SimControl::begin() {
  g_waitCycles = 0;
  quit_ = false;
  finished_ = false;
  turboCopy_ = 0;
  accumulated_ = 0;
  last_ = now();
}

void SimControl::startFirmware() {
  SimRestartFirmware();
  timer_->start();
  turboChanged();
}

void SimControl::onTimer() {
  uint32_t t = now();
  accumulated_ += t - last_;
  last_ = t;
  if (accumulated_ < kCycleMs) return;
  if (target_) target_->send(SIM_MSG_100MS, 0, 0);
  accumulated_ %= kCycleMs;
  runCycle(true);
}

void SimControl::runCycle(bool fromTimer) {
  if (finished_) return;
  if (quit_) {
    finish();
    return;
  }
  // A box opened inside a tick runs a nested event loop; its timer messages must not start a
  // second tick inside the first.
  if (inCycle_) return;
  SimHostState& s = SimState();
  turboCopy_ = s.turbo;
  if (!turboCopy_ && turbo_->isActive()) turbo_->stop();
  if (turboCopy_ && !turbo_->isActive()) turbo_->start();
  if (!fromTimer && !turboCopy_) return;
  if (s.pauseCount != 0) {
    --s.pauseCount;
    return;
  }
  if (g_waitCycles != 0) {
    --g_waitCycles;
    return;
  }
  inCycle_ = true;
  if (target_) target_->send(SIM_MSG_PRECYCLE, 0, 0);
  SimFirmware().cycle();
  if (TakeTrendReset(s.requestText, sizeof s.requestText) && target_) target_->send(SIM_MSG_TREND_RESET, 1, 2);
  if (target_) target_->send(SIM_MSG_POSTCYCLE, 0, 0);
  inCycle_ = false;
}

void SimFirmwareDelay(int ms) {
  if (ms <= 0) return;
  const int32_t cycles = (ms + 99) / 100;
  if (g_waitCycles < 0x7FFFFFFF - cycles) g_waitCycles += cycles;
}

int32_t SimFirmwareWaitCycles() { return g_waitCycles; }
void SimClearFirmwareWaits() { g_waitCycles = 0; }

void SimControl::tick() {
  SimFirmware().cycle();
  if (SimState().endFlag) {
    quit_ = true;
    finish();
  }
}

void SimControl::turboChanged() {
  if (finished_) return;
  if (SimState().turbo)
    turbo_->start();
  else
    turbo_->stop();
}

void SimControl::finish() {
  if (finished_) return;
  finished_ = true;
  timer_->stop();
  turbo_->stop();
  if (onFinished_) onFinished_();
}
