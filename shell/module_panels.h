// The link to the module panels: one panel program (tq500) per bus coupler of the loaded
// engineering, started, configured, fed and closed through the five coupler records of the
// remote I/O link (comm/com_remoteio.h), whose `panel` field holds the id of a coupler's
// panel (0: none). The operations of shell/sim_services.h are defined here.
//
// A panel is started with "TQ500:<token>" (see modpanel/tq500_protocol.h) and counts as
// found once its endpoint answers with that window text. Every message waits at most the
// message time-out; a panel that has died, ended or not answered in time is gone: it answers
// 0 and the next configuration pass starts a new one.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

#include "host/ipc.h"

struct SimModulePanelOptions {
  std::string program;          // the panel program; empty: "tq500" beside this program
  int startTimeoutMs = 10000;   // until a started panel answers
  int messageTimeoutMs = 1000;  // each message
  int closeTimeoutMs = 3000;    // until a closed panel has ended (then it is killed)
  // Sees every frame sent to a found panel (the coupler 0..4 and the frame), before it is sent.
  std::function<void(int coupler, const host::IpcFrame& frame)> trace;
};
void SimSetModulePanelOptions(const SimModulePanelOptions& options);
const SimModulePanelOptions& SimGetModulePanelOptions();

// What the desktop side does around a configuration pass: remember the active window (and
// its focus) before it, make it active again after it. Null: nothing.
struct SimModulePanelWindowHooks {
  void (*remember)();
  void (*restore)();
};
void SimSetModulePanelWindowHooks(const SimModulePanelWindowHooks* hooks);

// The identity a new panel is started with: "TQ500:" and a number made of this process's id
// and a counter, different for every start.
std::string SimModulePanelNewIdentity();

// The process of coupler 0..4's panel and the endpoint name it is reached by; 0 and "" when
// it has none.
pid_t SimModulePanelProcess(int coupler);
std::string SimModulePanelEndpoint(int coupler);
