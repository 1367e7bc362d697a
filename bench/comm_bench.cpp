// Device communication: a request of the character protocol served inside the firmware tick
// (a single read, a write, block data of nine codes, a record).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "blocks/register_all.h"
#include "comm/com_ascii.h"
#include "comm/com_services.h"
#include "runtime/fb_store.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysimage.h"

namespace {

// One ABSV block 100 with its two float parameters; an engineering loaded and stopped.
void setUp() {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  FB_CreateInstance(1, 100);
  COM_Init();
  FW_SysStatus() = FW_STAT_LOADED | FW_STAT_CHECKED;
  g_fwRunMode = FW_RUN_MODE_STOP;
}

std::string writeFrame(const std::string& text) {
  std::string f = "\x04" "00\x02" + text + "\x03";
  f += static_cast<char>(COM_Bcc(reinterpret_cast<const uint8_t*>(f.data()) + 4, f.size() - 4));
  return f;
}

void serve(benchmark::State& state, const std::string& frame) {
  setUp();
  ComFrameBuffers* f = COM_FrameBuffers(COM_PC_CHANNEL);
  for (auto _ : state) {
    std::memcpy(f->rx, frame.data(), frame.size());
    f->rxLength = static_cast<uint16_t>(frame.size());
    f->rxBinary = 0;
    COM_ReceiveFrame(COM_PC_CHANNEL);
    benchmark::DoNotOptimize(f->txLength);
  }
  if (f->txLength == 0 || f->tx[0] == 0x15) state.SkipWithError("the request was refused");
}

void BM_AsciiReadFloat(benchmark::State& state) { serve(state, "\x04" "0001,100,10\x05"); }
void BM_AsciiWriteFloat(benchmark::State& state) { serve(state, writeFrame("01,100,10=2.5")); }
void BM_AsciiBlockData(benchmark::State& state) { serve(state, "\x04" "0000,100,10\x05"); }
void BM_AsciiReadRecord(benchmark::State& state) { serve(state, "\x04" "00B1,100,0\x05"); }

}  // namespace

BENCHMARK(BM_AsciiReadFloat);
BENCHMARK(BM_AsciiWriteFloat);
BENCHMARK(BM_AsciiBlockData);
BENCHMARK(BM_AsciiReadRecord);
