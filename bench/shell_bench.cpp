// The channel for PC tools in the cycle: the pre-cycle poll with nothing waiting (every cycle,
// also back to back in Turbo), and one request through the port share with its answer.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "host/named_event.h"
#include "host/shared_block.h"
#include "shell/com_channel.h"

namespace {

struct OpenChannel {
  OpenChannel() {
    host::SetSharedNamePrefix("simbench" + std::to_string(getpid()) + ".");
    ok = SimComOpen(SIM_COM_PORT, 1, SIM_COM_MAIN_NAME) == 0;
  }
  ~OpenChannel() { SimComClose(); }
  bool ok;
};

void BM_ComPollIdle(benchmark::State& state) {
  OpenChannel channel;
  if (!channel.ok) {
    state.SkipWithError("no channel");
    return;
  }
  char request[500];
  uint16_t length = 0;
  for (auto _ : state) benchmark::DoNotOptimize(SimComPollRequest(request, sizeof request, &length));
}
BENCHMARK(BM_ComPollIdle);

void BM_ComShareRequestAndAnswer(benchmark::State& state) {
  OpenChannel channel;
  const std::string p = host::SharedNamePrefix();
  auto share = host::SharedBlock::OpenFull(p + "Share::SimComRequest.Com10", nullptr);
  auto event = host::NamedEvent::OpenFull(p + "Event::SimComRequest.Com10", nullptr);
  auto answered = host::NamedEvent::OpenFull(p + "Event::SimComResponse.Com10", nullptr);
  if (!channel.ok || !share || !event || !answered) {
    state.SkipWithError("no channel");
    return;
  }
  const char answer[] = "\x02" "98=F\x03\x79";
  char request[500];
  uint16_t length = 0;
  for (auto _ : state) {
    std::memcpy(share->data(), "043030393805", 13);
    event->set();
    benchmark::DoNotOptimize(SimComPollRequest(request, sizeof request, &length));
    benchmark::DoNotOptimize(SimComPostResponse(answer, 7 | 0x8000));
    answered->take();
  }
}
BENCHMARK(BM_ComShareRequestAndAnswer);

}  // namespace
