// The second transport of the PC tool: the channel for PC tools of a running simulator, in
// another process. A way is one of
//   share:Com10   the port's request and response shares and their events
//   share:Adr01   the same for the device address
//   window:Mx74Main, window:Com10, window:Adr01
//                 the text of a request window; the answer is read from its response window
//                 after the simulator's notification
// Names carry this process's shared-name prefix (host::SetSharedNamePrefix). Every wait ends
// after the time-out.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tools/pctool/pc_client.h"

// How long the answer of a request is awaited. A simulator that has just started (or restarted
// after a download) answers its channel only once its first run has begun, seconds after it
// may already have answered a request: when no answer came within timeoutMs, the same answer
// is awaited up to startMs more, and `starting` is told so first. A transport that has waited
// so in vain once no longer does.
struct PcChannelWaits {
  int timeoutMs = 2000;
  int startMs = 0;
  std::function<void()> starting;
};

// The transport of a way; null with *error for an unknown way.
std::unique_ptr<PcTransport> PcOpenChannel(const std::string& way, const PcChannelWaits& waits,
                                           std::string* error);
inline std::unique_ptr<PcTransport> PcOpenChannel(const std::string& way, int timeoutMs, std::string* error) {
  return PcOpenChannel(way, PcChannelWaits{timeoutMs, 0, {}}, error);
}
