// The simulation layer.
#include "simlayer/SIM.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>

#include "gui/LCD.h"
#include "host/regular_file.h"
#include "simlayer/LCDSIM.h"

namespace {

constexpr size_t kLogMax = 5000;
constexpr int kMaxDelayStep = 10;

// --- clock ----------------------------------------------------------------------------------
uint32_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}
uint32_t (*g_pfClock)() = MonotonicMs;
uint32_t g_startTime;
int g_timeScale = 1;

// --- settings -------------------------------------------------------------------------------
int g_scaleX = 1, g_scaleY = 1;
bool g_showBoxes = true;
int g_numBoxes;
uint32_t g_transColor;
int g_lcdX, g_lcdY;
void (*g_pfDelay)(int);
void (*g_pfIdle)();
void* g_pLCDHook;
int g_pendingKey;
void (*g_pfBox)(const char*, const char*);

// --- lock -----------------------------------------------------------------------------------
std::recursive_mutex g_guiMutex;
int g_lockCount;
std::atomic<uint32_t> g_nextTaskId{1};
thread_local uint32_t t_taskId;

uint32_t TaskId() {
  if (t_taskId == 0) t_taskId = g_nextTaskId++;
  return t_taskId;
}
int32_t TimeHook() { return SIM_GetTime(); }

// --- log ------------------------------------------------------------------------------------
std::string g_log;
FILE* g_errorLog;

void LogEntry(const char* text) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "\n%d:   ", static_cast<int>(SIM_GetTime()));
  std::string entry = std::string(stamp) + (text ? text : "");
  while (!g_log.empty() && g_log.size() + entry.size() > kLogMax) {
    size_t next = g_log.find('\n', 1);
    if (next == std::string::npos)
      g_log.clear();
    else
      g_log.erase(0, next);
  }
  if (entry.size() > kLogMax) entry.erase(0, entry.size() - kLogMax);
  g_log += entry;
}

// --- keys -----------------------------------------------------------------------------------
struct Hardkey {
  uint8_t pressed;
  SIM_HARDKEY_CB* pfCallback;
  int mode;
};
Hardkey g_keys[SIM_NUM_HARDKEYS];
uint32_t g_keyMask;
void (*g_pfKeyMask)(uint32_t);
void (*g_pfKeyRepaint)(int);
SIM_POINTER_STATE g_pointer;

// Presses kept for the firmware until a cycle has seen them: the first key pressed since the
// last cycle (bit + 1, 0 = none) and the last pressed pointer state since then. A press and
// release between two cycles is handed to the next cycle, its release to the one after.
int g_keyPressedSinceCycle;
bool g_keyLatchGiven;
SIM_POINTER_STATE g_pointerPress;
bool g_pointerPressSinceCycle;
bool g_pointerLatchGiven;
SIM_POINTER_STATE g_pointerLive;

void HandKeyMask(uint32_t mask) {
  if (g_pfKeyMask) g_pfKeyMask(mask);
}

// --- application thread ---------------------------------------------------------------------
// Each application thread has flags of its own, made before the thread starts and kept by
// the thread itself: one left behind by a stop keeps its stop flag set and ends on its own,
// whatever thread is started after it.
struct AppThreadFlags {
  std::atomic<bool> stop{false};
  std::atomic<bool> done{false};
};
std::thread g_appThread;
std::shared_ptr<AppThreadFlags> g_app;
thread_local AppThreadFlags* t_app;   // set in the application thread: its own flags

// Installed delay callback: waits in steps of at most 10 ms; the application thread ends
// its wait as soon as it is asked to stop.
void AppDelay(int ms) {
  while (ms > 0) {
    if (t_app && t_app->stop) return;
    int step = ms < kMaxDelayStep ? ms : kMaxDelayStep;
    std::this_thread::sleep_for(std::chrono::milliseconds(step));
    ms -= step;
  }
}
void AppIdle() { AppDelay(1); }

void AppBody(std::shared_ptr<AppThreadFlags> flags) {
  t_app = flags.get();
  while (!flags->stop) SIM_Delay(1);
  flags->done = true;
  t_app = nullptr;
}

const GUI_PLATFORM_HOOKS kGuiHooks = {
    SIM_CreateGUIMutex, SIM_LockGUI,      SIM_UnlockGUI, TaskId, TimeHook, SIM_DelayHook,
    SIM_IdleHook,       SIM_ErrorOutHook, SIM_Log,       SIM_InitHook,
};

}  // namespace

int SIM_InitHost() {
  g_startTime = g_pfClock();
  g_pfDelay = AppDelay;
  g_pfIdle = AppIdle;
  GUI_SetPlatformHooks(&kGuiHooks);
  return LCDSIM_Init();
}

void SIM_ExitHost() {
  SIM_StopApplication();
  LCDSIM_Exit();
  SIM_CloseErrorLog();
  GUI_SetPlatformHooks(nullptr);
}

// --- hooks ----------------------------------------------------------------------------------
void SIM_DelayHook(int ms) { SIM_Delay(ms); }
void SIM_ErrorOutHook(const char* s) { SIM_Error(s); }
void SIM_IdleHook() {
  if (g_pfIdle)
    g_pfIdle();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
void SIM_InitHook() {}
// The lock is process-local: a lock of the whole machine would outlive a crashed run.
void SIM_CreateGUIMutex() {}
void SIM_LockGUI() {
  g_guiMutex.lock();
  if (++g_lockCount > 1) SIM_Error("Error in GUITASK module ...");
}
void SIM_UnlockGUI() {
  --g_lockCount;
  g_guiMutex.unlock();
}
void SIM_Log(const char* s) { SIM_LogText(s); }
void SIM_ReportError(const char* s) {
  LogEntry("*** Error ***");
  LogEntry(s);
}
const char* SIM_GetTitle() { return "Simulation MX74-2"; }
const char* SIM_GetShortTitle() { return "Sim MX74-2"; }

// --- time -----------------------------------------------------------------------------------
void SIM_Delay(int ms) {
  int scaled = ms / g_timeScale;
  if (g_pfDelay)
    g_pfDelay(scaled);
  else if (scaled > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(scaled));
}
int32_t SIM_GetTime() { return static_cast<int32_t>((g_pfClock() - g_startTime) * static_cast<uint32_t>(g_timeScale)); }
void SIM_SetTimeScale(int n) {
  if (n > 0) g_timeScale = n;
}
int SIM_GetTimeScale() { return g_timeScale; }
void SIM_SetClockSource(uint32_t (*pf)()) {
  g_pfClock = pf ? pf : MonotonicMs;
  g_startTime = g_pfClock();
}

// --- errors and log -------------------------------------------------------------------------
void SIM_Error(const char* s) {
  if (!s) s = "";
  SIM_ReportError(s);
  std::fprintf(stderr, "%s\n", s);
  if (g_showBoxes && g_pfBox) {
    g_pfBox(s, SIM_GetShortTitle());
    ++g_numBoxes;
  }
  if (!g_errorLog) g_errorLog = host::CreateRegularFile("SimError.log", false);
  if (g_errorLog) {
    std::fputs("\r\n", g_errorLog);
    std::fputs(s, g_errorLog);
    std::fflush(g_errorLog);
  }
}
void SIM_CloseErrorLog() {
  if (g_errorLog) std::fclose(g_errorLog);
  g_errorLog = nullptr;
}
// The debugger output of this platform is the standard error.
void SIM_LogText(const char* s) {
  LogEntry(s);
  std::fprintf(stderr, "%s\n", s ? s : "");
}
void SIM_ClearLog() { g_log.clear(); }
const std::string& SIM_GetLog() { return g_log; }
void SIM_ShowErrorBoxes(int on) { g_showBoxes = on != 0; }
int SIM_GetShowErrorBoxes() { return g_showBoxes ? 1 : 0; }
int SIM_GetNumErrorBoxes() { return g_numBoxes; }
void SIM_SetErrorBoxHandler(void (*pf)(const char*, const char*)) { g_pfBox = pf; }

// --- keys -----------------------------------------------------------------------------------
void SIM_HardkeyCallback(int key, int state) {
  if (key < 0 || key > 31) return;
  if (state) {
    if (!(g_keyMask & (1u << key)) && g_keyPressedSinceCycle == 0) g_keyPressedSinceCycle = key + 1;
    g_keyMask |= 1u << key;
  } else {
    g_keyMask &= ~(1u << key);
  }
  g_keyLatchGiven = false;
  HandKeyMask(g_keyMask);
}
void SIM_InitKeys() {
  for (int k = 0; k < 5; ++k) g_keys[k].pfCallback = SIM_HardkeyCallback;
  g_keyPressedSinceCycle = 0;
  g_keyLatchGiven = false;
  g_pointerPressSinceCycle = g_pointerLatchGiven = false;
  g_lcdX = 59;
  g_lcdY = 44;
  g_transColor = 0xFF0000;
}
int SIM_HARDKEY_GetState(int index) {
  return index >= 0 && index < SIM_NUM_HARDKEYS ? g_keys[index].pressed : 0;
}
SIM_HARDKEY_CB* SIM_HARDKEY_SetCallback(int index, SIM_HARDKEY_CB* pf) {
  if (index < 0 || index >= SIM_NUM_HARDKEYS) return nullptr;
  SIM_HARDKEY_CB* old = g_keys[index].pfCallback;
  g_keys[index].pfCallback = pf;
  return old;
}
int SIM_HARDKEY_SetMode(int index, int mode) {
  if (index < 0 || index >= SIM_NUM_HARDKEYS) return 0;
  int old = g_keys[index].mode;
  g_keys[index].mode = mode;
  if (g_pfKeyRepaint) g_pfKeyRepaint(index);
  return old;
}
int SIM_HARDKEY_GetMode(int index) { return index >= 0 && index < SIM_NUM_HARDKEYS ? g_keys[index].mode : 0; }
int SIM_HARDKEY_SetState(int index, int state) {
  if (index < 0 || index >= SIM_NUM_HARDKEYS) return 0;
  int old = g_keys[index].pressed;
  g_keys[index].pressed = static_cast<uint8_t>(state != 0);
  if (g_pfKeyRepaint) g_pfKeyRepaint(index);
  return old;
}
uint32_t SIM_GetKeyMask() { return g_keyMask; }
uint32_t SIM_GetCycleKeyMask() {
  return g_keyPressedSinceCycle && g_keyMask == 0 ? 1u << (g_keyPressedSinceCycle - 1) : g_keyMask;
}
void SIM_SetKeyMaskHook(void (*pf)(uint32_t)) { g_pfKeyMask = pf; }
void SIM_SetKeyRepaintHook(void (*pf)(int)) { g_pfKeyRepaint = pf; }

void SIM_GetPointerState(SIM_POINTER_STATE* p) {
  if (p) *p = g_pointer;
}
void SIM_StorePointerState(const SIM_POINTER_STATE* p) {
  if (!p) return;
  g_pointer = *p;
  g_pointerLatchGiven = false;
  if (p->state == 2) {
    g_pointerPress = *p;
    g_pointerPressSinceCycle = true;
  }
}

// A key pressed and released since the last cycle is held for this one (only when no key is
// held now: the firmware takes one key a cycle); a touch pressed and lifted likewise.
void SIM_InputBeforeCycle() {
  const int pressed = g_keyPressedSinceCycle;
  g_keyPressedSinceCycle = 0;
  if (pressed && g_keyMask == 0) {
    HandKeyMask(1u << (pressed - 1));
    g_keyLatchGiven = true;
  }
  const bool touched = g_pointerPressSinceCycle;
  g_pointerPressSinceCycle = false;
  if (touched && g_pointer.state != 2) {
    g_pointerLive = g_pointer;
    g_pointer = g_pointerPress;
    g_pointerLatchGiven = true;
  }
}

// After the cycle that saw a held-over press, the firmware gets the keys and pointer as they
// are now (the release), unless a new key or pointer state came in meanwhile.
void SIM_InputAfterCycle() {
  if (g_keyLatchGiven) {
    g_keyLatchGiven = false;
    HandKeyMask(g_keyMask);
  }
  if (g_pointerLatchGiven) {
    g_pointerLatchGiven = false;
    g_pointer = g_pointerLive;
  }
}

// --- settings -------------------------------------------------------------------------------
void SIM_SetLCDPos(int x, int y) {
  g_lcdX = x;
  g_lcdY = y;
}
void SIM_GetLCDPos(int* px, int* py) {
  if (px) *px = g_lcdX;
  if (py) *py = g_lcdY;
}
void SIM_SetScale(int x, int y) {
  if (x > 0) g_scaleX = x;
  if (y > 0) g_scaleY = y;
}
void SIM_GetScale(int* px, int* py) {
  if (px) *px = g_scaleX;
  if (py) *py = g_scaleY;
}
uint32_t SIM_SetTransColor(uint32_t color) {
  uint32_t old = g_transColor;
  g_transColor = color;
  return old;
}
uint32_t SIM_GetTransColor() { return g_transColor; }
void SIM_SetColorRange(int layer, GUI_COLOR a, GUI_COLOR b) { LCDSIM_SetColorRange(layer, a, b); }
void SIM_SetLayerValue(int layer, int value) { LCDSIM_SetLayerValue(layer, value); }
void SIM_SetCompositeColor(GUI_COLOR color) { LCDSIM_SetCompositeColor(color); }
void SIM_SetCompositeSize(int x, int y) { LCDSIM_SetCompositeSize(x, y); }
void SIM_SetDelayCallback(void (*pf)(int)) { g_pfDelay = pf; }
void SIM_SetIdleCallback(void (*pf)()) { g_pfIdle = pf; }
void SIM_SetLCDHook(void* p) { g_pLCDHook = p; }
void* SIM_GetLCDHook() { return g_pLCDHook; }
void SIM_SetPendingKey(int key) {
  if (g_pendingKey == 0) g_pendingKey = key;
}
int SIM_GetPendingKey() {
  int k = g_pendingKey;
  g_pendingKey = 0;
  return k;
}

// --- application thread ---------------------------------------------------------------------
void SIM_StartApplication() {
  SIM_ClearLog();
  SIM_LogText("Application started");
  SIM_StopApplication();
  g_app = std::make_shared<AppThreadFlags>();
  g_appThread = std::thread(AppBody, g_app);
}

void SIM_StopApplication() {
  if (!g_appThread.joinable()) return;
  g_app->stop = true;
  for (int i = 0; i < 20 && !g_app->done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  // A thread that did not end in time is left to end on its own; its flag stays set.
  if (g_app->done)
    g_appThread.join();
  else
    g_appThread.detach();
  g_app.reset();
}

int SIM_IsApplicationRunning() { return g_appThread.joinable() ? 1 : 0; }
