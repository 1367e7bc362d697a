// The clock of the simulation: the hidden control object with the 50 ms timer that runs one
// cycle per 100 ms of elapsed time, the Pause counter and Turbo (cycles back to back while no
// event waits). A cycle is framed by the main window's pre- and post-cycle messages around
// one firmware tick.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <string>

class QTimer;

// The main window's private messages.
enum SimMessage : int {
  SIM_MSG_STATE = 2028,        // returns the address of the state record
  SIM_MSG_TICK = 2029,         // (to the control object) one firmware tick; ends when asked
  SIM_MSG_PRECYCLE = 2030,
  SIM_MSG_POSTCYCLE = 2031,
  SIM_MSG_INFO = 2034,
  SIM_MSG_IO_TAKE = 2035,
  SIM_MSG_IO_REFRESH = 2036,
  SIM_MSG_100MS = 2041,        // one 100 ms tick has passed
  SIM_MSG_TREND_RESET = 2042,  // wParam 1, lParam 2
  SIM_MSG_RESTART = 2043,      // wParam 1: save the restart project and close
};

// What receives the cycle's messages (the main window).
class SimMessageTarget {
 public:
  virtual ~SimMessageTarget() = default;
  virtual intptr_t send(int id, intptr_t wParam, intptr_t lParam) = 0;
};

// The firmware's waits (after a start, before the first run, before a project load): the UI
// thread never sleeps; the wait becomes that many skipped cycles of 100 ms, counted apart
// from the Pause counter (a Pause command during a wait switches Pause on, not off).
void SimFirmwareDelay(int ms);
// Cycles still to be skipped for the firmware's waits; clearing them (a new start, tests).
int32_t SimFirmwareWaitCycles();
void SimClearFirmwareWaits();

class SimControl : public QObject {
 public:
  static constexpr int kTimerMs = 50;
  static constexpr uint32_t kCycleMs = 100;

  explicit SimControl(QObject* parent = nullptr);
  ~SimControl() override;

  // The millisecond counter (tests install a fake one); null = the monotonic clock.
  void setClock(std::function<uint32_t()> clock);
  void setTarget(SimMessageTarget* target) { target_ = target; }

  // Clears the loop state and takes the current tick count (start of the creation).
  void begin();
  // With a main window: firmware init and start, then the 50 ms timer (end of the creation).
  void startFirmware();

  // One timer message.
  void onTimer();
  // One cycle unless paused; fromTimer false is the idle loop of Turbo.
  void runCycle(bool fromTimer);
  // Message 2029: one firmware tick; ends the program when the end flag is set.
  void tick();
  // Starts or stops the idle cycles after the state record's Turbo flag changed.
  void turboChanged();

  // The rate of the last Turbo stretch, "Turbo: N cycles in T s, R cycles/s" (written to
  // stderr when Turbo goes off or the program ends); empty before the first one ended.
  const std::string& turboReport() const { return turboReport_; }

  bool quit() const { return quit_; }
  bool finished() const { return finished_; }
  bool timerActive() const;
  bool turboActive() const;
  // Called once when the control object ends (the program's message loop then ends).
  void setOnFinished(std::function<void()> f) { onFinished_ = std::move(f); }

 private:
  void finish();
  // Starts or ends the timing of a Turbo stretch.
  void timeTurbo(bool on);
  uint32_t now() const;
  std::function<uint32_t()> clock_;
  std::function<void()> onFinished_;
  SimMessageTarget* target_ = nullptr;
  QTimer* timer_;
  QTimer* turbo_;
  bool quit_ = false;
  bool finished_ = false;
  bool inCycle_ = false;
  uint16_t turboCopy_ = 0;
  uint32_t last_ = 0;
  uint32_t accumulated_ = 0;
  bool turboTimed_ = false;
  uint32_t turboStartMs_ = 0;
  uint32_t turboCycles_ = 0;
  std::string turboReport_;
};

// The control object of the process (the hidden window), null before the program started.
SimControl* SimTheControl();
void SimSetTheControl(SimControl* control);

// The start-up times, each written once to stderr in milliseconds from the start of the
// process: the main window shown, and the first picture the firmware drew painted on the
// display. The first frame is armed with the LCD memory's change count before the firmware
// starts; a paint of the display then notes it once the count differs.
void SimNoteWindowShown();
void SimArmFirstLcdFrame(uint32_t changeCount);
void SimNoteLcdPaint(uint32_t changeCount);
// Milliseconds since the process started (from the kernel's record of the process; where
// that cannot be read, from the first call).
double SimMsSinceProcessStart();
