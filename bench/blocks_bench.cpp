// Block hot paths: one cycle of the data logger with its extensions, which compose their
// records on every pass.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "blocks/arith/arith.h"
#include "blocks/logger/logger.h"
#include "blocks/register_all.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_sysimage.h"

namespace {

constexpr uint16_t kAlogex = 100, kDlogex = 101, kFirstSource = 102;

void wireAnalog(uint16_t block, uint16_t input, uint16_t source) {
  uint16_t* w = FB_GetWiring(block);
  w[FB_WIRE_ANALOG_COUNT + 1 + 2 * (input - 1)] = source;
  w[FB_WIRE_ANALOG_COUNT + 2 + 2 * (input - 1)] = 1;
}

void runBlock(uint16_t block, bool init) {
  g_fbStore.currentBlock = block;
  const FbTypeRecord* rec = FB_GetType(FB_GetInstance(block)[FB_HDR_TYPE]);
  (init ? rec->init : rec->run)();
}

// LOGGER with ALOGEX and DLOGEX behind it, every analog channel wired to a value with all
// its digits, a card in the device and the clock set; `format` is "F type".
void buildLogger(uint16_t format) {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  if (FB_CreateInstance(BLK_TYPE_LOGGER, LOG_LOGGER_BLOCK) ||
      FB_CreateInstance(BLK_TYPE_ALOGEX, kAlogex) || FB_CreateInstance(BLK_TYPE_DLOGEX, kDlogex)) {
    std::abort();
  }
  for (uint16_t i = 1; i <= 4; ++i) {
    const auto source = static_cast<uint16_t>(kFirstSource + i - 1);
    if (FB_CreateInstance(BLK_TYPE_ABSV, source)) std::abort();
    wireAnalog(LOG_LOGGER_BLOCK, i, source);
    wireAnalog(kAlogex, i, source);
  }
  wireAnalog(LOG_LOGGER_BLOCK, LOGGER_IN_LOGDAT, kAlogex);
  wireAnalog(kAlogex, ALOGEX_IN_LOGDAT, kDlogex);
  if (FB_ResolveConnections() != 0) std::abort();
  for (uint16_t i = 0; i < 4; ++i) {
    FbF32* out = nullptr;
    FB_GetAnalogOutputPtr(kFirstSource + i, 1, &out);
    *out = -123456.789f * static_cast<float>(i + 1);
  }
  uint16_t* fType = nullptr;
  FB_GetWordValuePtr(LOG_LOGGER_BLOCK, 2, &fType);
  fType[2] = format;  // the stored copy, two values on

  g_logSdCard = 1;
  FW_SysImage()[FW_SYS_ORDER_DIGITS + 3] = '1';
  g_fwClock.now = FwClockFields{.year = 2024, .month = 3, .day = 5, .hour = 14, .minute = 7};
  for (uint16_t b : {kDlogex, kAlogex, LOG_LOGGER_BLOCK}) runBlock(b, true);
}

// One 0.1-s cycle of the three blocks, with the writer answering; the clock's second moves
// every ten cycles, so that LOGGER composes one record a second as it does on the device.
void BM_LoggerCycle(benchmark::State& state) {
  buildLogger(static_cast<uint16_t>(state.range(0)));
  LogLoggerState* s = LOG_LoggerState(LOG_LOGGER_BLOCK);
  unsigned cycle = 0;
  for (auto _ : state) {
    runBlock(kDlogex, false);
    runBlock(kAlogex, false);
    runBlock(LOG_LOGGER_BLOCK, false);
    s->handshake.writerRequest = LOG_REQUEST_NONE;
    s->handshake.recordReady = 0;
    if (++cycle % 10 == 0) g_fwClock.now.second = static_cast<uint16_t>(cycle / 10 % 60);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  g_logSdCard = 0;
}
BENCHMARK(BM_LoggerCycle)->Arg(LOG_FORMAT_CSV_DE)->Arg(LOG_FORMAT_LBI);

}  // namespace
