#include "shell/sim_loop.h"

#include <QTimer>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <unistd.h>

#include "shell/firmware_link.h"
#include "simlayer/SIM.h"

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
  timeTurbo(turboCopy_ != 0);
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
  SIM_InputBeforeCycle();
  SimFirmware().cycle();
  SIM_InputAfterCycle();
  if (turboCopy_) ++turboCycles_;
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
  SIM_InputBeforeCycle();
  SimFirmware().cycle();
  SIM_InputAfterCycle();
  if (SimState().endFlag) {
    quit_ = true;
    finish();
  }
}

void SimControl::turboChanged() {
  if (finished_) return;
  timeTurbo(SimState().turbo != 0);
  if (SimState().turbo)
    turbo_->start();
  else
    turbo_->stop();
}

void SimControl::finish() {
  if (finished_) return;
  finished_ = true;
  timeTurbo(false);
  timer_->stop();
  turbo_->stop();
  if (onFinished_) onFinished_();
}

void SimControl::timeTurbo(bool on) {
  if (on == turboTimed_) return;
  turboTimed_ = on;
  const uint32_t t = now();
  if (on) {
    turboStartMs_ = t;
    turboCycles_ = 0;
    return;
  }
  const uint32_t ms = t - turboStartMs_;
  char text[96];
  std::snprintf(text, sizeof text, "Turbo: %u cycles in %.1f s, %.0f cycles/s", static_cast<unsigned>(turboCycles_),
                ms / 1000.0, ms ? turboCycles_ * 1000.0 / ms : 0.0);
  turboReport_ = text;
  std::fprintf(stderr, "%s\n", text);
}

// --- Start-up times ----------------------------------------------------------------------------

namespace {

double MonotonicMsExact(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The process's start in milliseconds of the boot clock: field 22 of /proc/self/stat, in
// clock ticks since the boot; negative when it cannot be read.
double ProcessStartBootMs() {
  std::FILE* f = std::fopen("/proc/self/stat", "rb");
  if (!f) return -1;
  char buf[1024];
  const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  buf[n] = 0;
  // The command name in parentheses may hold spaces: field 3 begins two characters after
  // its end, field 22 nineteen spaces further.
  const char* p = std::strrchr(buf, ')');
  if (!p || !p[1]) return -1;
  const char* q = p + 2;
  for (int field = 3; field < 22 && q; ++field) {
    q = std::strchr(q, ' ');
    if (q) ++q;
  }
  unsigned long long start = 0;
  if (!q || std::sscanf(q, "%llu", &start) != 1) return -1;
  const long ticks = sysconf(_SC_CLK_TCK);
  return ticks > 0 ? static_cast<double>(start) * 1000.0 / static_cast<double>(ticks) : -1;
}

}  // namespace

double SimMsSinceProcessStart() {
  static const double startBoot = ProcessStartBootMs();
  static const double firstCall = MonotonicMsExact(CLOCK_MONOTONIC);
  if (startBoot >= 0) return MonotonicMsExact(CLOCK_BOOTTIME) - startBoot;
  return MonotonicMsExact(CLOCK_MONOTONIC) - firstCall;
}

namespace {

bool g_windowNoted, g_frameArmed, g_frameNoted;
uint32_t g_frameArmCount;

void NoteStartTime(const char* what) {
  std::fprintf(stderr, "%s %.0f ms after the start of the process\n", what, SimMsSinceProcessStart());
}

}  // namespace

void SimNoteWindowShown() {
  if (g_windowNoted) return;
  g_windowNoted = true;
  NoteStartTime("Window shown");
}

void SimArmFirstLcdFrame(uint32_t changeCount) {
  if (g_frameNoted || g_frameArmed) return;
  g_frameArmed = true;
  g_frameArmCount = changeCount;
}

void SimNoteLcdPaint(uint32_t changeCount) {
  if (!g_frameArmed || g_frameNoted || changeCount == g_frameArmCount) return;
  g_frameNoted = true;
  NoteStartTime("First LCD frame painted");
}
