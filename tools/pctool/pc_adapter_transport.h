// The first transport of the PC tool: the request fields of the hardware adapter of a
// firmware that runs in the same process. A request goes into the shell's request text with
// its length (0x8000 for a binary frame) and the request-pending flag; the adapter serves it in
// the next firmware tick and sets response-ready, which the transport takes and clears as the
// shell does after each cycle.
#pragma once

#include "tools/pctool/pc_client.h"

class PcAdapterTransport : public PcTransport {
 public:
  // Ticks to wait for the response before giving up.
  explicit PcAdapterTransport(int maxTicks = 10) : maxTicks_(maxTicks) {}

  bool exchange(const std::vector<uint8_t>& request, bool binary, std::vector<uint8_t>* answer,
                std::string* error) override;

 private:
  int maxTicks_;
};
