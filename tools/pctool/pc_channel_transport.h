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

#include <memory>
#include <string>

#include "tools/pctool/pc_client.h"

// The transport of a way; null with *error for an unknown way.
std::unique_ptr<PcTransport> PcOpenChannel(const std::string& way, int timeoutMs, std::string* error);
