// The shell's per-cycle work: the channel's pre-cycle poll with nothing waiting (every cycle,
// also back to back in Turbo), one request through the port share with its answer, and the
// script player and recorder without a script and while recording traffic.
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

// --- Scripts in the cycle ----------------------------------------------------------------
#include <cstdio>

#include "shell/script.h"
#include "shell/sim_services.h"

// The state record of this program (the simulator's lives with its windows).
SimHostState& SimState() {
  static SimHostState state;
  return state;
}

namespace {

// Every cycle without a script: the player asks the front for its keys, the recorder has
// nothing to write.
void BM_ScriptCycleIdle(benchmark::State& state) {
  SimScriptHooks hooks;
  hooks.front = [](int, intptr_t, intptr_t) -> intptr_t { return 0; };
  SimScriptSetHooks(hooks);
  SimScriptSetPaths("", "");
  SimScriptOpen();
  for (auto _ : state) {
    ++SimState().cycleCount;
    SimScriptStep();
    SimRecordStep();
  }
  SimScriptClose();
  SimScriptSetHooks({});
}
BENCHMARK(BM_ScriptCycleIdle);

// Recording: a request and a 20-byte answer every cycle, with its wait line.
void BM_ScriptRecordTraffic(benchmark::State& state) {
  SimScriptSetHooks({});
  SimScriptSetPaths("", "/dev/null");
  SimScriptOpen();
  SimHostState& s = SimState();
  const char request[] = "\x04" "0018\x05";
  for (uint8_t i = 0; i < 20; ++i) s.responseText[i] = static_cast<char>(i + 1);
  for (auto _ : state) {
    ++s.cycleCount;
    SimScriptStep();
    SimScriptNoteRequest(request, 6);
    s.responseLength = 20 | 0x8000;
    s.responseReady = 1;
    SimRecordStep();
  }
  s.responseReady = 0;
  SimScriptClose();
}
BENCHMARK(BM_ScriptRecordTraffic);

}  // namespace

// --- Trends after the cycle ----------------------------------------------------------------
#include <cstdlib>

#include "bench/alloc_counter.h"
#include "host/shared_block.h"
#include "shell/trend_binding.h"

namespace {

// A cycle in which all three standard trends and the block trend take a sample (every
// 200th cycle; block period 20): the averages, four samples under their records' locks.
FwTrendReaders g_benchReaders;
const SimTrendFirmware kBenchFirmware{
    [] { return static_cast<const FwTrendReaders*>(&g_benchReaders); },
    [](uint16_t block) -> uint16_t { return block == 3 ? FW_TYPE_L1READ : 0; },
    [](uint32_t ref) { return static_cast<float>(ref); },
    [](uint32_t ref) -> uint16_t { return ref & 1u; },
    [] { return true; },
};

void BM_TrendCycleAllSample(benchmark::State& state) {
  host::SetSharedNamePrefix("simbench" + std::to_string(getpid()) + ".");
  setenv("XDG_CONFIG_HOME", "/nonexistent-sim-bench", 1);
  g_benchReaders = FwTrendReaders{};
  g_benchReaders.first = 3;
  g_benchReaders.marked[3] = 1;
  g_benchReaders.count = 1;
  for (uint32_t i = 0; i < 7; ++i) g_benchReaders.analog[3][i] = 10 + i;
  for (uint32_t j = 0; j < 12; ++j) g_benchReaders.digital[3][j] = 20 + j;
  SimTrendSetFirmware(&kBenchFirmware);
  SimHostState& s = SimState();
  for (int i = 0; i < 6; ++i) s.plant.trend[i] = static_cast<float>(i);
  SimTrendCreateAll(0);
  // Showing makes the block trend; the "viewer" ends at once.
  KurvanOptions options = KurvanGetOptions();
  options.viewerPath = "/bin/true";
  KurvanSetOptions(options);
  if (!SimTrendHandle(0) || !SimTrendSelectBlock(3) || SimTrendShow(SIM_TREND_BLOCK) != 1) state.SkipWithError("no trends");
  s.cycleCount = 0;
  const uint64_t allocations = BenchAllocations();
  for (auto _ : state) {
    s.cycleCount += 200;
    SimTrendCycle();
  }
  state.counters["allocations"] = static_cast<double>(BenchAllocations() - allocations);
  SimTrendDestroyAll();
  SimTrendSetFirmware(nullptr);
}
BENCHMARK(BM_TrendCycleAllSample)->Unit(benchmark::kMicrosecond);

}  // namespace
