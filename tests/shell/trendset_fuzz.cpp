// Fuzz target of the stored trend settings (the companion ".dat" file and an older project's
// trend blocks). The bytes are the settings block and then the channel block; a second pass
// puts both tags in front, so that every byte behind them is decoded. The settings taken must
// stay bounded: names terminated within 16 characters, colours within 24 bits, visibility 0
// or 1, scales within the analog channels, a ring of at least one slot.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "shell/trend_binding.h"

namespace {

void Check(const SimTrendChannels& ch) {
  if (ch.scaleLeft < 0 || ch.scaleLeft > ch.analogCount || ch.scaleRight < 0 || ch.scaleRight > ch.analogCount)
    std::abort();
  auto channel = [](const SimTrendChannel& c) {
    if (c.color > 0xFFFFFFu || c.visible > 1 || std::memchr(c.name, 0, sizeof c.name) == nullptr) std::abort();
  };
  for (int i = 0; i < ch.analogCount; ++i) channel(ch.analog[i]);
  for (int j = 0; j < ch.digitalCount; ++j) channel(ch.digital[j]);
}

void Decode(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  SimTrendSettings s = SimTrendDefaultSettings(1);
  SimTrendDecode(a.data(), b.data(), 1, &s);
  Check(s.standard);
  Check(s.block);
  if (s.blockSet.ring == 0 || s.blockSet.flag > 1 || std::memchr(s.blockSet.name, 0, sizeof s.blockSet.name) == nullptr)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> a(SIM_TREND_SETTINGS_BLOCK, 0), b(SIM_TREND_CHANNEL_BLOCK, 0);
  std::memcpy(a.data(), data, std::min(size, a.size()));
  if (size > a.size()) std::memcpy(b.data(), data + a.size(), std::min(size - a.size(), b.size()));
  Decode(a, b);
  std::memcpy(a.data(), "Sbsu", 4);
  std::memcpy(b.data(), "Sbch", 4);
  Decode(a, b);
  return 0;
}
