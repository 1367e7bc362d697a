#include "tools/pctool/pc_adapter_transport.h"

#include <algorithm>
#include <cstring>

#include "firmware/fw_adapter.h"
#include "shell/sim_services.h"

bool PcAdapterTransport::exchange(const std::vector<uint8_t>& request, bool binary,
                                  std::vector<uint8_t>* answer, std::string* error) {
  SimHostState& s = SimState();
  // The request text holds at most SIM_TEXT_SIZE bytes; a longer frame is not sent at all.
  if (request.size() > SIM_TEXT_SIZE) {
    *error = "request longer than " + std::to_string(SIM_TEXT_SIZE) + " bytes";
    return false;
  }
  if (s.requestPending) {
    *error = "a request is still pending";
    return false;
  }
  std::memcpy(s.requestText, request.data(), request.size());
  s.requestLength = static_cast<uint16_t>(request.size() | (binary ? 0x8000u : 0u));
  s.responseReady = 0;
  s.requestPending = 1;
  for (int tick = 0; tick < maxTicks_; ++tick) {
    FW_SimCycle();
    if (!s.responseReady) continue;
    const size_t n = std::min<size_t>(s.responseLength & 0x7FFFu, SIM_TEXT_SIZE);
    answer->assign(s.responseText, s.responseText + n);
    s.responseReady = 0;
    return true;
  }
  s.requestPending = 0;
  *error = "no response within " + std::to_string(maxTicks_) + " ticks";
  return false;
}
