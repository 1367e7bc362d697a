#include "shell/module_panels.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "comm/com_remoteio.h"
#include "host/process.h"
#include "modpanel/tq500_protocol.h"
#include "shell/sim_services.h"
#include "simlayer/SIM.h"

namespace {

// The panel of one coupler as the link keeps it; the coupler record holds its id.
struct Panel {
  int32_t id = 0;
  pid_t pid = 0;
  pid_t parent = 0;                             // the process that started it
  std::string name;                             // the endpoint, "TQ500:<token>"
  std::unique_ptr<host::IpcConnection> link;    // null or closed: the panel is gone
};

SimModulePanelOptions g_options;
const SimModulePanelWindowHooks* g_windowHooks = nullptr;
Panel g_panels[COM_COUPLERS];
int32_t g_lastId = 0;
uint32_t g_starts = 0;

using Clock = std::chrono::steady_clock;

int LeftMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::string PanelProgram() {
  if (!g_options.program.empty()) return g_options.program;
  const std::string folder = host::ProgramFolder();
  return (folder.empty() ? std::string(".") : folder) + "/tq500";
}

void Log(const std::string& text) { SIM_LogText(("Module panel: " + text).c_str()); }

// Sends one frame to the coupler's panel; 0 when it is gone.
int32_t Send(int coupler, uint32_t message, uint32_t wParam, int32_t lParam, const std::string& payload = {},
             std::string* reply = nullptr) {
  Panel& p = g_panels[coupler];
  if (!p.link) return 0;
  host::IpcFrame f;
  f.message = message;
  f.wParam = wParam;
  f.lParam = lParam;
  f.payload = payload;
  if (g_options.trace) g_options.trace(coupler, f);
  return p.link->send(f, reply);
}

// The panel is still there: its process runs and its link has not failed ("is a window").
bool Alive(Panel& p) {
  if (!p.link || !p.link->alive() || p.pid <= 0) return false;
  if (host::ReapProcess(p.pid)) {
    p.pid = 0;
    return false;
  }
  return true;
}

// Ends a panel process that will not end by itself.
void Kill(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

// Closes the coupler's panel: the close command, then its end is awaited; a panel that does
// not answer or does not end in time is killed.
void ClosePanel(int coupler) {
  Panel& p = g_panels[coupler];
  // A copy of this process (a fork) leaves the panels of its original alone.
  if (p.pid > 0 && p.parent == getpid()) {
    const bool asked = Alive(p);
    if (asked) Send(coupler, TQ500_MSG_SYSCOMMAND, TQ500_SC_CLOSE, 0);
    if (p.pid > 0 && !(asked && host::WaitProcess(p.pid, g_options.closeTimeoutMs))) Kill(p.pid);
  }
  p = Panel{};
}

// Starts a panel for the coupler and waits until it answers under its identity (the start
// time-out); false when there is none (nothing of it is left running).
bool StartPanel(int coupler) {
  Panel& p = g_panels[coupler];
  p = Panel{};
  const std::string identity = SimModulePanelNewIdentity();
  const std::string program = PanelProgram();
  const pid_t pid = host::StartProcess({program, identity},
                                       {std::string(TQ500_SHOW_COMMAND_ENV) + "=" + std::to_string(TQ500_SW_HIDE)});
  if (pid <= 0) {
    Log("\"" + program + "\" could not be started");
    return false;
  }
  // The panel is found when its endpoint answers with the identity as its window text.
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(g_options.startTimeoutMs);
  bool found = false;
  for (;;) {
    if (host::ReapProcess(pid)) {
      Log("\"" + program + "\" ended at its start");
      return false;
    }
    if (auto probe = host::IpcConnection::OpenFull(identity, LeftMs(deadline), nullptr)) {
      host::IpcFrame ask;
      ask.message = TQ500_MSG_GET_TEXT;
      std::string text;
      probe->send(ask, &text);
      found = text == identity;
      break;
    }
    if (LeftMs(deadline) == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (found) p.link = host::IpcConnection::OpenFull(identity, g_options.messageTimeoutMs, nullptr);
  if (!p.link) {
    Log("no panel answered as \"" + identity + "\"");
    Kill(pid);
    return false;
  }
  p.pid = pid;
  p.parent = getpid();
  p.name = identity;
  g_lastId = g_lastId == INT32_MAX ? 1 : g_lastId + 1;
  p.id = g_lastId;
  return true;
}

// A newly started panel: its title, the coupler, the slots in slot order (an empty slot as
// 65/-1 that does not count) until the module count is reached, then shown.
void ConfigurePanel(int coupler, const ComCouplerRecord& r) {
  Send(coupler, TQ500_MSG_SET_TEXT, 0, 0, std::string(r.title, strnlen(r.title, sizeof r.title)));
  Send(coupler, TQ500_MSG_ADD_MODULE, static_cast<uint32_t>(TQ500_CODE_COUPLER), r.couplerBlock);
  int sent = 0;
  for (int j = 0; j < COM_SLOTS; ++j) {
    if (r.kinds[j] == 0) {
      Send(coupler, TQ500_MSG_ADD_MODULE, static_cast<uint32_t>(TQ500_CODE_EMPTY), TQ500_NO_SETTING);
    } else {
      Send(coupler, TQ500_MSG_ADD_MODULE, static_cast<uint32_t>(r.kinds[j]), r.blocks[j]);
      ++sent;
    }
    if (sent >= r.moduleCount) break;
  }
  Send(coupler, TQ500_MSG_SHOW_WINDOW, TQ500_SW_SHOW, 0);
}

bool SameModules(const ComCouplerRecord& r) {
  return std::memcmp(r.kinds, r.previousKinds, sizeof r.kinds) == 0 &&
         std::memcmp(r.blocks, r.previousBlocks, sizeof r.blocks) == 0;
}

// The panel of a coupler record, or null when the record has none (or not this one).
Panel* PanelOf(int coupler) {
  const ComCouplerRecord* r = COM_CouplerRecord(coupler);
  if (!r || r->panel == 0 || g_panels[coupler].id != r->panel) return nullptr;
  return &g_panels[coupler];
}

// Panels still open when the program ends are closed with it.
struct CloseAtExit {
  ~CloseAtExit() {
    for (int c = 0; c < COM_COUPLERS; ++c)
      if (g_panels[c].pid > 0) ClosePanel(c);
  }
} g_closeAtExit;

}  // namespace

void SimSetModulePanelOptions(const SimModulePanelOptions& options) { g_options = options; }
const SimModulePanelOptions& SimGetModulePanelOptions() { return g_options; }
void SimSetModulePanelWindowHooks(const SimModulePanelWindowHooks* hooks) { g_windowHooks = hooks; }

std::string SimModulePanelNewIdentity() {
  g_starts = g_starts % 999999u + 1u;
  const long token = static_cast<long>(getpid()) * 1000000L + static_cast<long>(g_starts);
  return std::string(TQ500_IDENTITY_PREFIX) + std::to_string(token);
}

pid_t SimModulePanelProcess(int coupler) {
  return coupler >= 0 && coupler < COM_COUPLERS ? g_panels[coupler].pid : 0;
}

std::string SimModulePanelEndpoint(int coupler) {
  return coupler >= 0 && coupler < COM_COUPLERS ? g_panels[coupler].name : std::string();
}

// One configuration pass over the five coupler records. The identity of a panel is made
// here, per process and start, not from the instance number, which is the same in every
// simulator.
void SimModulePanelOpen(int32_t /*instance*/) {
  if (g_windowHooks && g_windowHooks->remember) g_windowHooks->remember();
  for (int c = 0; c < COM_COUPLERS; ++c) {
    ComCouplerRecord& r = *COM_CouplerRecord(c);
    Panel* p = PanelOf(c);
    if (r.moduleCount < 0) {
      if (p || g_panels[c].pid > 0) ClosePanel(c);
      r.panel = 0;
    } else if (p && Alive(*p) && SameModules(r)) {
      Send(c, TQ500_MSG_SET_TEXT, 0, 0, std::string(r.title, strnlen(r.title, sizeof r.title)));
    } else {
      if (p || g_panels[c].pid > 0) ClosePanel(c);
      r.panel = 0;
      if (StartPanel(c)) {
        r.panel = g_panels[c].id;
        ConfigurePanel(c, r);
      }
    }
    std::memcpy(r.previousKinds, r.kinds, sizeof r.kinds);
    std::memcpy(r.previousBlocks, r.blocks, sizeof r.blocks);
  }
  if (g_windowHooks && g_windowHooks->restore) g_windowHooks->restore();
}

int32_t SimModulePanelQuery(int coupler, int slot, int channel) {
  if (!PanelOf(coupler)) return 0;
  return Send(coupler, TQ500_MSG_GET_INPUT, static_cast<uint32_t>(slot * 256 + channel), 0);
}

void SimModulePanelSend(int coupler, int slot, int channel, int32_t value) {
  if (!PanelOf(coupler)) return;
  Send(coupler, TQ500_MSG_SET_OUTPUT, static_cast<uint32_t>(slot * 256 + channel), value);
}

void SimModulePanelCloseAll() {
  for (int c = 0; c < COM_COUPLERS; ++c) {
    ComCouplerRecord& r = *COM_CouplerRecord(c);
    if (r.panel != 0 || g_panels[c].pid > 0) ClosePanel(c);
    r.panel = 0;
  }
}
