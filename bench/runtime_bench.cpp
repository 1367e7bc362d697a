// Firmware hot paths: running every block of a full block list once, and the run handlers
// of single block types and a programmer cycle.
#include <benchmark/benchmark.h>

#include "blocks/io/io.h"
#include "blocks/limit/limit.h"
#include "blocks/prog/prog.h"
#include "blocks/register_all.h"
#include "blocks/timer/timer.h"
#include "blocks/timefn/timefn.h"
#include "blocks/select/select.h"
#include "blocks/curve/curve.h"
#include "blocks/trig/trig.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_io.h"
#include "runtime/fw_mode.h"

#include <cstdlib>
#include <iterator>
#include <span>

namespace {

// 1900 ABSV blocks, each wired to the output of the one before it.
void buildChain() {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  for (uint16_t b = 100; b < 2000 && b <= FB_MAX_BLOCK; ++b) {
    FB_CreateInstance(1, b);
    if (b > 100) {
      uint16_t* w = FB_GetWiring(b);
      w[FB_WIRE_ANALOG_COUNT + 1] = static_cast<uint16_t>(b - 1);
      w[FB_WIRE_ANALOG_COUNT + 2] = 1;
    }
  }
  FB_ResolveConnections();
}

void BM_RunAllBlocks(benchmark::State& state) {
  buildChain();
  for (auto _ : state) {
    for (uint16_t b = 100; b <= FB_MAX_BLOCK; ++b) {
      const uint16_t* inst = g_fbStore.list[b].instance;
      g_fbStore.currentBlock = b;
      FB_GetType(inst[FB_HDR_TYPE])->run();
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (FB_MAX_BLOCK - 99));
}
BENCHMARK(BM_RunAllBlocks);

void BM_ResolveConnections(benchmark::State& state) {
  buildChain();
  for (auto _ : state) benchmark::DoNotOptimize(FB_ResolveConnections());
}
BENCHMARK(BM_ResolveConnections);

// The I/O blocks {type, block} built at their numbers on the boards of the device with both
// slots fitted, started, and their channels reporting the classes the blocks expect.
struct IoBlock {
  uint16_t type, block;
};
void startIoBlocks(std::span<const IoBlock> blocks) {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  const uint16_t types[FW_IO_BOARDS] = {FW_BOARD_BASE, FW_BOARD_DIGITAL_CARD,
                                        FW_BOARD_MODULE_RACK, FW_BOARD_OUTPUT_ANALOG};
  FW_IoResetBoards(types);
  for (const IoBlock& b : blocks) FB_CreateInstance(b.type, b.block);
  FB_RunStartupPass();
  for (FwIoBoard& board : g_fwIoBoards) {
    for (FwIoChannel& ch : board.channel) ch.reportedClass = static_cast<uint8_t>(ch.expectedClass);
  }
}

// A new reading on every sub-channel, as the hardware side gives it each cycle.
void newReadings(float* raw) {
  *raw = *raw < 20.0f ? *raw + 0.5f : 0.0f;
  for (FwIoBoard& board : g_fwIoBoards) {
    for (FwIoChannel& ch : board.channel) {
      ch.sub[0].raw = ch.sub[1].raw = *raw;
      ch.sub[0].newValue = ch.sub[1].newValue = 1;
    }
  }
}

// The I/O card blocks of one tick: analog inputs at 61, 63, 65..68 and 71..74 with a new
// reading each, the digital inputs at 69 and 91, the outputs at 81, 82, 84, 85 and 95 and
// the LEDs, run by the input and output I/O schedulers.
void BM_IoCardBlocks(benchmark::State& state) {
  static constexpr IoBlock blocks[] = {
      {BLK_TYPE_AINP1, 61},  {BLK_TYPE_AINP3, 63},  {BLK_TYPE_UNI_IN, 65},
      {BLK_TYPE_UNI_IN, 66}, {BLK_TYPE_TPS_IN, 67}, {BLK_TYPE_TPS_IN, 68},
      {BLK_TYPE_D_IN, 69},   {BLK_TYPE_TPS_IN, 71}, {BLK_TYPE_TPS_IN, 72},
      {BLK_TYPE_TPS_IN, 73}, {BLK_TYPE_TPS_IN, 74}, {BLK_TYPE_OUT1, 81},
      {BLK_TYPE_OUT2, 82},   {BLK_TYPE_OUT4, 84},   {BLK_TYPE_REL_OUT, 85},
      {BLK_TYPE_DINPUT, 91}, {BLK_TYPE_DIGOUT, 95}, {BLK_TYPE_LED, 96}};
  startIoBlocks(blocks);
  float raw = 0.0f;
  for (auto _ : state) {
    newReadings(&raw);
    FB_RunInputIo();
    FB_RunOutputBlocks();
    FB_RunOutputIo();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(blocks)));
}
BENCHMARK(BM_IoCardBlocks);

// A type whose Run does nothing, to show what the schedulers themselves cost.
constexpr uint16_t kEmptyType = 254;
constexpr FbTemplate kEmptyTemplate{.size = 17, .type = kEmptyType};
void emptyRun() {}

// A full block list: blocks of one type (ABSV, or the empty type) at all 1950 numbers, each wired to the output of the one before
// it. The blocks at time-group numbers form one chain in group 1, so that every tick runs
// them; the others sit at the fixed numbers, where the fixed schedulers run them (those at
// 47..50, 52..55, 61..86 and 92..94 are not run: no scheduler runs an ABSV there).
void buildFullList(uint16_t type) {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_RegisterType(kEmptyType, FB_TypeFromTemplate(&kEmptyTemplate, emptyRun, emptyRun, nullptr,
                                                  nullptr, FB_COMMON_BLOCK_RANGES, 0, 0, 0));
  FB_ClearStore();
  uint16_t previousInChain = 0;
  for (uint16_t b = 1; b <= FB_MAX_BLOCK; ++b) {
    if (FB_CreateInstance(type, b) != 0) std::abort();
    uint16_t* w = FB_GetWiring(b);
    if (b > 1 && type == 1) {
      w[FB_WIRE_ANALOG_COUNT + 1] = static_cast<uint16_t>(b - 1);
      w[FB_WIRE_ANALOG_COUNT + 2] = 1;
    }
    const bool inGroup = b <= 20 || (b >= 56 && b <= 60) || b >= 100;
    if (inGroup) {
      w[FB_WIRE_GROUP] = 1;
      w[FB_WIRE_AFTER] = previousInChain;
      previousInChain = b;
    }
  }
  if (FB_ResolveConnections() != 0 || FB_CheckChains() != 0) std::abort();
  g_fwRunMode = FW_RUN_MODE_RUN;
}

// One running tick of the schedulers: input I/O, the schedule of the phase, output I/O.
// The argument is the block type; "per_block" is the time of a tick divided by 1950.
void BM_SchedulerTick(benchmark::State& state) {
  buildFullList(static_cast<uint16_t>(state.range(0)));
  for (auto _ : state) {
    FB_RunInputIo();
    FB_RunSchedule();
    FB_RunOutputIo();
    g_fbSchedule.phase = static_cast<uint16_t>((g_fbSchedule.phase + 1) % FB_PHASE_COUNT);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * FB_MAX_BLOCK);
  state.counters["per_block"] = benchmark::Counter(
      FB_MAX_BLOCK, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  g_fwRunMode = FW_RUN_MODE_STOP;
}
BENCHMARK(BM_SchedulerTick)->Arg(1)->Arg(kEmptyType);

// As many blocks of one type as the instance heap holds from block 100 on, each fed by
// the first output of the one before it when the type has analog inputs and outputs; every
// Run once per iteration. Returns the number of blocks.
uint16_t buildTypeChain(uint16_t type) {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  uint16_t b = 100;
  for (; b <= FB_MAX_BLOCK && FB_CreateInstance(type, b) == 0; ++b) {
    uint16_t* w = FB_GetWiring(b);
    const FbTypeRecord* rec = FB_GetType(type);
    if (b > 100 && rec->analogOutputs > 0 && rec->analogInputs > 0) {
      w[FB_WIRE_ANALOG_COUNT + 1] = static_cast<uint16_t>(b - 1);
      w[FB_WIRE_ANALOG_COUNT + 2] = 1;
    }
  }
  if (FB_ResolveConnections() != 0) std::abort();
  for (uint16_t i = 100; i < b; ++i) {
    g_fbStore.currentBlock = i;
    FB_GetType(type)->init();
  }
  return static_cast<uint16_t>(b - 100);
}

void BM_RunBlockType(benchmark::State& state) {
  const auto type = static_cast<uint16_t>(state.range(0));
  const uint16_t n = buildTypeChain(type);
  const FbRunHandler run = FB_GetType(type)->run;
  for (auto _ : state) {
    for (uint16_t b = 100; b < 100 + n; ++b) {
      g_fbStore.currentBlock = b;
      run();
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RunBlockType)
    ->ArgName("type")
    ->Arg(BLK_TYPE_LEAD)->Arg(BLK_TYPE_INTE)->Arg(BLK_TYPE_LAG)->Arg(BLK_TYPE_DELAY)
    ->Arg(BLK_TYPE_DELAY2)->Arg(BLK_TYPE_FILTER)->Arg(BLK_TYPE_ALLP)->Arg(BLK_TYPE_ALLV)
    ->Arg(BLK_TYPE_EQUAL)->Arg(BLK_TYPE_VELO)->Arg(BLK_TYPE_LIMIT)->Arg(BLK_TYPE_ALARM)
    ->Arg(BLK_TYPE_EXTR)->Arg(BLK_TYPE_RECIPE)->Arg(BLK_TYPE_2OF3)->Arg(BLK_TYPE_SELV2)
    ->Arg(BLK_TYPE_LINEAR)->Arg(BLK_TYPE_CHAR)->Arg(BLK_TYPE_SIN)->Arg(BLK_TYPE_COT)
    ->Arg(BLK_TYPE_ARCCOT)->Arg(BLK_TYPE_TEXT);
// The timer and counter types (the clock timers on the clock as it stands).
BENCHMARK(BM_RunBlockType)
    ->ArgName("type")
    ->Arg(BLK_TYPE_MONO)->Arg(BLK_TYPE_TIMER)->Arg(BLK_TYPE_TONOFF)->Arg(BLK_TYPE_TIME2)
    ->Arg(BLK_TYPE_PULS)->Arg(BLK_TYPE_COUNT)->Arg(BLK_TYPE_MEAN);

// One cycle of 40 running programmers (the page list's size), each with a closed chain of
// four APROGD blocks of ten segments (160 data blocks): the data blocks, then the
// programmers, as their group chain runs them. Arg 1: the "search" input held and "XVal"
// wired, so that every cycle searches ("SearchSeg"). Arg 2: DPROG with DPROGD chains, the
// patterns switching its six tracks.
void wireDBlock(uint16_t block, uint16_t input, uint16_t source) {
  uint32_t handle = 0;
  FbRef* ref = nullptr;
  if (FB_AnalogOutputHandle(source, 1, &handle) && FB_GetAnalogInputRef(block, input, &ref)) {
    *ref = handle;
  }
}

void runBlock(uint16_t b) {
  g_fbStore.currentBlock = b;
  FB_GetType(g_fbStore.list[b].instance[FB_HDR_TYPE])->run();
}

void BM_ProgrammerCycle(benchmark::State& state) {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  constexpr uint16_t kProgs = FB_PROG_LIST_SIZE, kChain = 4;
  constexpr uint16_t kFirstData = 200;
  const bool digital = state.range(0) == 2;
  for (uint16_t p = 0; p < kProgs; ++p) {
    const auto prog = static_cast<uint16_t>(100 + p);
    FB_CreateInstance(digital ? FB_TYPE_DPROG : FB_TYPE_APROG, prog);
    FbLayout L;
    FB_GetLayout(prog, &L);
    L.wv[PROG_WV_TURBO] = 1;
    for (uint16_t k = 0; k < kChain; ++k) {
      const auto d = static_cast<uint16_t>(kFirstData + p * kChain + k);
      FB_CreateInstance(digital ? FB_TYPE_DPROGD : FB_TYPE_APROGD, d);
      FB_GetLayout(d, &L);
      for (uint16_t i = 0; i < 10; ++i) {
        L.fp[2 * i] = 1.0f;
        L.fp[2 * i + 1] = digital ? 101010.0f + i : 10.0f * i;
      }
      if (k > 0) wireDBlock(static_cast<uint16_t>(d - 1), 1, d);
    }
    wireDBlock(prog, APROG_AI_DBLOCK + 1, static_cast<uint16_t>(kFirstData + p * kChain));
    wireDBlock(static_cast<uint16_t>(kFirstData + p * kChain + kChain - 1), 1,
               static_cast<uint16_t>(kFirstData + p * kChain));
    FbRef* run = nullptr;
    if (FB_GetDigitalInputRef(prog, APROG_DI_RUN + 1, &run)) *run = FB_REF_ONE;
    if (state.range(0) == 1) {
      FbRef* search = nullptr;
      if (FB_GetDigitalInputRef(prog, APROG_DI_SEARCH + 1, &search)) *search = FB_REF_ONE;
      wireDBlock(prog, APROG_AI_XVAL + 1, static_cast<uint16_t>(kFirstData + p * kChain));
    }
  }
  const uint16_t lastData = kFirstData + kProgs * kChain - 1;
  auto cycle = [&] {
    for (uint16_t d = kFirstData; d <= lastData; ++d) runBlock(d);
    for (uint16_t p = 0; p < kProgs; ++p) runBlock(static_cast<uint16_t>(100 + p));
  };
  g_fwRunMode = FW_RUN_MODE_RUN;
  for (uint16_t b = 100; b <= lastData; ++b) {
    if (!g_fbStore.list[b].instance) continue;
    g_fbStore.currentBlock = b;
    FB_GetType(g_fbStore.list[b].instance[FB_HDR_TYPE])->init();
  }
  for (int k = 0; k < 10; ++k) cycle();  // past the settle time: all running
  for (auto _ : state) {
    cycle();
    benchmark::ClobberMemory();
  }
  g_fwRunMode = FW_RUN_MODE_STOP;
  state.SetItemsProcessed(state.iterations() * kProgs);
}
BENCHMARK(BM_ProgrammerCycle)->Arg(0)->Arg(1)->Arg(2);

// The two-channel card blocks of one tick: TC_IN, R_IN and U_IN with new readings on both
// sub-channels, F_INP, the outputs I_OUT, U_OUT, PWM_OUT and the DIDO points, run by the
// input and output I/O schedulers.
void BM_TwoChannelCardBlocks(benchmark::State& state) {
  static constexpr IoBlock blocks[] = {
      {BLK_TYPE_TC_IN, 67},   {BLK_TYPE_TC_IN, 68}, {BLK_TYPE_R_IN, 69}, {BLK_TYPE_U_IN, 71},
      {BLK_TYPE_F_INP, 72},   {BLK_TYPE_DIDO, 65},  {BLK_TYPE_DIDO, 70}, {BLK_TYPE_I_OUT, 73},
      {BLK_TYPE_U_OUT, 74},   {BLK_TYPE_PWM_OUT, 81}, {BLK_TYPE_I_OUT, 82}};
  startIoBlocks(blocks);
  float raw = 0.0f;
  for (auto _ : state) {
    newReadings(&raw);
    FB_RunInputIo();
    FB_RunOutputIo();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(blocks)));
}
BENCHMARK(BM_TwoChannelCardBlocks);

}  // namespace
