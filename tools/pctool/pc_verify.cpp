#include "tools/pctool/pc_verify.h"

#include <charconv>
#include <chrono>
#include <string_view>
#include <thread>

namespace {

constexpr uint16_t kCodeBlockData = 0xB3;
constexpr int kRetryMs = 200;

// A count field of the comma-separated answer.
bool count(std::string_view text, uint32_t* value) {
  const auto r = std::from_chars(text.data(), text.data() + text.size(), *value);
  return r.ec == std::errc() && r.ptr == text.data() + text.size() && *value <= 0xFFFF;
}

}  // namespace

bool PcBlockDataCounts(const std::string& answer, uint16_t* floats, uint16_t* words) {
  std::vector<std::string_view> fields;
  for (size_t at = 0;;) {
    const size_t comma = answer.find(',', at);
    fields.emplace_back(std::string_view(answer).substr(at, comma - at));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  uint32_t n, m;
  if (fields.size() < 3 || !count(fields[1], &n) || fields.size() < 3 + n ||
      !count(fields[2 + n], &m) || fields.size() != 3 + n + m)
    return false;
  *floats = static_cast<uint16_t>(n);
  *words = static_cast<uint16_t>(m);
  return true;
}

bool PcCheckEngineering(PcClient& client, const std::vector<PcBlockShape>& blocks, int waitMs,
                        std::string* error) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(waitMs);
  for (const PcBlockShape& b : blocks) {
    for (int sub = 0; sub < 2; ++sub) {
      const char* what = sub == 0 ? "inputs" : "outputs";
      std::string answer, reason;
      while (!client.read({kCodeBlockData, b.number, sub}, &answer, &reason)) {
        if (Clock::now() >= end) {
          *error = "the device did not come back with the engineering sent: block " +
                   std::to_string(b.number) + " answers no " + what + " (" + reason + ")";
          return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
      }
      uint16_t n, m;
      if (!PcBlockDataCounts(answer, &n, &m)) {
        *error = "block " + std::to_string(b.number) + ": not a block data answer: " + answer;
        return false;
      }
      const uint16_t wantN = sub == 0 ? b.analogIn : b.analogOut;
      const uint16_t wantM = sub == 0 ? b.digitalIn : b.digitalOut;
      if (n != wantN || m != wantM) {
        *error = "the device did not come back with the engineering sent: block " +
                 std::to_string(b.number) + " has " + std::to_string(n) + " analog and " +
                 std::to_string(m) + " digital " + what + ", the engineering sent " +
                 std::to_string(wantN) + " and " + std::to_string(wantM);
        return false;
      }
    }
  }
  return true;
}
