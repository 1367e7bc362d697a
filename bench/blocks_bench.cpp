// Block hot paths: one cycle of the data logger with its extensions, which compose their
// records on every pass; one cycle of the bus blocks in their exchange; one cycle of five
// remote I/O couplers with nine module blocks each, operating.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "blocks/arith/arith.h"
#include "blocks/block_family.h"
#include "blocks/bus/bus.h"
#include "blocks/csdo/csdo.h"
#include "blocks/remoteio/remoteio.h"
#include "blocks/logger/logger.h"
#include "blocks/profinet/profinet.h"
#include "blocks/register_all.h"
#include "blocks/limit/limit.h"
#include "blocks/visual/visual.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"
#include "comm/com_bus.h"
#include "comm/com_card.h"
#include "comm/com_services.h"

namespace {

constexpr uint16_t kAlogex = 100, kDlogex = 101, kFirstSource = 102;

void wireAnalogOutput(uint16_t block, uint16_t input, uint16_t source, uint16_t output) {
  uint16_t* w = FB_GetWiring(block);
  w[FB_WIRE_ANALOG_COUNT + 1 + 2 * (input - 1)] = source;
  w[FB_WIRE_ANALOG_COUNT + 2 + 2 * (input - 1)] = output;
}
void wireAnalog(uint16_t block, uint16_t input, uint16_t source) {
  wireAnalogOutput(block, input, source, 1);
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

// The bus blocks of one device, all exchanging: a CSEND / CRCV pair, a coupler with 16
// controllers and their MX6x blocks, CPREAD and CPWRIT with two objects each. The partners'
// records are set as the bus node keeps them; the coupler's writes are answered in place.
constexpr uint16_t kCoupler = 23, kFirstMx6x = 100;
constexpr uint16_t kBusBlocks[] = {21, 22, kCoupler, 24, 25};

void setWordValue(uint16_t block, uint16_t k, uint16_t v) {
  uint16_t* wv = nullptr;
  FbLayout L;
  if (FB_GetWordValuePtr(block, k, &wv) != 1 || !FB_GetLayout(block, &L)) std::abort();
  wv[0] = v;
  wv[L.wordValues] = v;
}

// Every library type registered, an empty store, and a device with the system-bus option at
// node address 5 whose bus node is reset.
void busDevice() {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  g_fwSys.shadow[FW_SH_BUS_NODE] = 5;
  FW_SysImage()[FW_SYS_ORDER_DIGITS + 2] = '1';
  COM_BusReset();
}

void busCycle() {
  for (uint16_t b : kBusBlocks) runBlock(b, false);
  for (uint16_t i = 0; i < BUS_MX6X_CONTROLLERS; ++i) runBlock(kFirstMx6x + i, false);
}

void buildBusBlocks() {
  busDevice();
  const uint16_t types[] = {BLK_TYPE_CSEND, BLK_TYPE_CRCV, BLK_TYPE_C_MX6X, BLK_TYPE_CPREAD,
                            BLK_TYPE_CPWRIT};
  for (size_t i = 0; i < std::size(kBusBlocks); ++i) {
    if (FB_CreateInstance(types[i], kBusBlocks[i])) std::abort();
  }
  for (uint16_t i = 0; i < BUS_MX6X_CONTROLLERS; ++i) {
    if (FB_CreateInstance(BLK_TYPE_MX6X, kFirstMx6x + i)) std::abort();
    wireAnalog(kFirstMx6x + i, 1, kCoupler);
    uint16_t* w = FB_GetWiring(kFirstMx6x + i);
    w[FB_WIRE_ANALOG_COUNT + 2] = i + 1;   // C k
    wireAnalog(kFirstMx6x + i, 2, 24);     // W from R1 1
  }
  for (uint16_t i = 1; i <= 9; ++i) wireAnalog(21, i, 22);
  for (uint16_t i = 1; i <= 16; ++i) wireAnalog(25, i, 24);
  if (FB_ResolveConnections() != 0) std::abort();
  setWordValue(22, 1, 3);
  setWordValue(kCoupler, 1, 9);
  for (uint16_t b : {24, 25}) {
    setWordValue(b, 3, 400);
    setWordValue(b, 4, 401);
  }
  for (uint16_t n : {3, 9}) {
    ComBusNode* d = COM_BusNode(n);
    d->remoteState = COM_REMOTE_KNOWN;
    d->nmtState = COM_NODE_OPERATIONAL;
    d->kind = n == 3 ? COM_KIND_OWN_FAMILY : 2;
  }
  COM_BusNode(5)->nmtState = COM_NODE_OPERATIONAL;
  for (uint16_t b : kBusBlocks) runBlock(b, true);
  for (uint16_t i = 0; i < BUS_MX6X_CONTROLLERS; ++i) runBlock(kFirstMx6x + i, true);
  FbLayout L;
  if (!FB_GetLayout(kCoupler, &L)) std::abort();
  CmxState& coupler = BLK_WorkState<CmxState>(L);
  for (int i = 0; i < 100 && BLK_BusLinkState(kCoupler) != BUS_LINK_EXCHANGING; ++i) {
    busCycle();
    if (coupler.request.state == COM_REQ_SENT) coupler.request.state = COM_REQ_ANSWERED;
  }
  if (BLK_BusLinkState(kCoupler) != BUS_LINK_EXCHANGING) std::abort();
}

void BM_BusBlocksCycle(benchmark::State& state) {
  buildBusBlocks();
  uint8_t* received = COM_BusInputObject(COM_BusInputOffset(COM_BusMapInput(9 + 384)));
  unsigned cycle = 0;
  for (auto _ : state) {
    received[0] = static_cast<uint8_t>(cycle++ % 16 + 1);   // one controller a cycle
    received[1] = static_cast<uint8_t>(cycle);
    busCycle();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  COM_BusReset();
}
BENCHMARK(BM_BusBlocksCycle);

// SAFE in the device's safe state putting out its safe values (z 1 toggled every cycle) and
// a CSDO whose trigger is z 1: one read of a partner every fourth cycle, answered in place.
constexpr uint16_t kCsdo = 30, kSafe = 100;

void wireDigital(uint16_t block, uint16_t input, uint16_t source, uint16_t output) {
  uint16_t* w = FB_GetWiring(block);
  const uint16_t nA = w[FB_WIRE_ANALOG_COUNT];
  w[FB_WIRE_ANALOG_COUNT + 2 + 2 * nA + 2 * (input - 1)] = source;
  w[FB_WIRE_ANALOG_COUNT + 3 + 2 * nA + 2 * (input - 1)] = output;
}

void BM_CsdoSafeCycle(benchmark::State& state) {
  busDevice();
  const uint8_t flags = FW_SysImage()[FW_SYS_FLAGS38];
  FW_SysImage()[FW_SYS_FLAGS38] = static_cast<uint8_t>(flags | 0x20);
  if (FB_CreateInstance(BLK_TYPE_SAFE, kSafe) || FB_CreateInstance(BLK_TYPE_CSDO, kCsdo)) {
    std::abort();
  }
  wireDigital(kCsdo, 2, kSafe, 1);   // trig
  if (FB_ResolveConnections() != 0) std::abort();
  FbLayout safe, csdo;
  if (!FB_GetLayout(kSafe, &safe) || !FB_GetLayout(kCsdo, &csdo)) std::abort();
  csdo.wp[2] = CSDO_INT16;
  runBlock(kSafe, true);
  runBlock(kCsdo, true);
  CsdoState* s = BLK_CsdoState(kCsdo);
  unsigned cycle = 0, transfers = 0;
  for (auto _ : state) {
    safe.wp[0] = static_cast<uint16_t>(++cycle & 1);
    runBlock(kSafe, false);
    runBlock(kCsdo, false);
    if (s->request.state == COM_REQ_SENT) {
      s->request.data[0] = static_cast<uint8_t>(cycle);
      s->request.data[1] = 0xFF;
      s->request.state = COM_REQ_ANSWERED;
      ++transfers;
    }
    benchmark::ClobberMemory();
  }
  if (cycle > 8 && transfers == 0) std::abort();
  state.SetItemsProcessed(state.iterations());
  state.counters["transfers"] = transfers;
  FW_SysImage()[FW_SYS_FLAGS38] = flags;
  COM_BusReset();
}
BENCHMARK(BM_CsdoSafeCycle);

// The PROFINET exchange at its fullest: PNSERV with all eight chains filled (2, 2, 5 and 5
// blocks a side, 140 values each way), every PNREAD reading its inputs, the input areas
// valid and changing every cycle; the PNWRIT blocks take the data (no targets to write).
constexpr uint16_t kPnserv = 100, kFirstPn = 101, kPnSource = 1099;

void BM_ProfinetCycle(benchmark::State& state) {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  g_comPnData = ComPnData{};
  if (FB_CreateInstance(BLK_TYPE_PNSERV, kPnserv) || FB_CreateInstance(BLK_TYPE_ABSV, kPnSource)) {
    std::abort();
  }
  const uint16_t lengths[PNSERV_CHAINS] = {2, 2, 5, 5, 2, 2, 5, 5};
  std::vector<uint16_t> readers, writers;
  uint16_t block = kFirstPn;
  for (uint16_t c = 0; c < PNSERV_CHAINS; ++c) {
    const bool read = c < PNSERV_READ_CHAINS;
    const uint16_t out = read ? 1 : PN_VALUES + 1, in = read ? PN_VALUES + 1 : 1;
    for (uint16_t k = 0; k < lengths[c]; ++k, ++block) {
      if (FB_CreateInstance(read ? BLK_TYPE_PNREAD : BLK_TYPE_PNWRIT, block)) std::abort();
      (read ? readers : writers).push_back(block);
      if (k == 0) {
        wireAnalogOutput(kPnserv, c + 1, block, out);
      } else {
        wireAnalogOutput(block - 1, in, block, out);
      }
      if (read) {
        for (uint16_t i = 1; i <= PN_VALUES; ++i) wireAnalogOutput(block, i, kPnSource, 1);
      }
    }
  }
  if (FB_ResolveConnections() != 0) std::abort();
  for (uint16_t b : readers) runBlock(b, true);
  runBlock(kPnserv, true);
  for (uint16_t b : writers) runBlock(b, true);
  for (ComPnArea a : {COM_PN_IN_W20, COM_PN_IN_F20, COM_PN_IN_W50, COM_PN_IN_F50}) {
    COM_PnSetValid(a, true);
  }
  COM_PnDataType() = 5;
  FbF32* source = nullptr;
  FB_GetAnalogOutputPtr(kPnSource, 1, &source);
  unsigned cycle = 0;
  for (auto _ : state) {
    *source = static_cast<float>(cycle % 1000) * 0.5f;
    COM_PnSetWord(COM_PN_IN_W50, cycle % 50, static_cast<int16_t>(cycle));
    COM_PnSetFloat(COM_PN_IN_F50, cycle % 50, static_cast<float>(cycle));
    ++cycle;
    for (uint16_t b : readers) runBlock(b, false);
    runBlock(kPnserv, false);
    for (uint16_t b : writers) runBlock(b, false);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ProfinetCycle);

// Five remote I/O couplers, each with nine module blocks (three analog inputs, an analog
// input with correction, two analog outputs, a digital input, a digital output and a strain
// gauge), all operating. The couplers' requests (the digital outputs' status reads) are
// answered in place as the module link answers them; the slot images change every cycle.
constexpr uint16_t kFirstTq = 100;
constexpr uint16_t kTqTypes[COM_SLOTS] = {BLK_TYPE_TQ_AI,  BLK_TYPE_TQ_AI, BLK_TYPE_TQ_AI,
                                          BLK_TYPE_TQ_AIPLUS, BLK_TYPE_TQ_AO, BLK_TYPE_TQ_AO,
                                          BLK_TYPE_TQ_DI,  BLK_TYPE_TQ_DO, BLK_TYPE_TQ_DMS};

void remoteIoCycle() {
  for (uint16_t c = 0; c < COM_COUPLERS; ++c) {
    const auto coupler = static_cast<uint16_t>(COM_FIRST_COUPLER + c);
    runBlock(coupler, false);
    ComBusRequest& q = BLK_RioCouplerState(coupler)->request;
    if (q.state == COM_REQ_SENT) {
      q.state = COM_REQ_ANSWERED;
      q.length = 0;
      COM_BusCancelRequest(&q);
    }
  }
  for (uint16_t b = kFirstTq; b < kFirstTq + COM_COUPLERS * COM_SLOTS; ++b) runBlock(b, false);
}

void BM_RemoteIoCycle(benchmark::State& state) {
  busDevice();
  for (uint16_t c = 0; c < COM_COUPLERS; ++c) {
    const auto coupler = static_cast<uint16_t>(COM_FIRST_COUPLER + c);
    if (FB_CreateInstance(BLK_TYPE_C_TQ5X, coupler)) std::abort();
    setWordValue(coupler, 1, static_cast<uint16_t>(10 + c));
    ComBusNode* d = COM_BusNode(10 + c);
    d->remoteState = COM_REMOTE_KNOWN;
    d->nmtState = COM_NODE_OPERATIONAL;
    d->kind = COM_KIND_COUPLER_20;
    for (uint16_t s = 0; s < COM_SLOTS; ++s) {
      const auto b = static_cast<uint16_t>(kFirstTq + c * COM_SLOTS + s);
      if (FB_CreateInstance(kTqTypes[s], b)) std::abort();
      uint16_t* w = FB_GetWiring(b);
      w[FB_WIRE_ANALOG_COUNT + 1] = coupler;
      w[FB_WIRE_ANALOG_COUNT + 2] = static_cast<uint16_t>(s + 1);   // "Slot s + 1"
    }
  }
  if (FB_ResolveConnections() != 0) std::abort();
  for (uint16_t c = 0; c < COM_COUPLERS; ++c) runBlock(COM_FIRST_COUPLER + c, true);
  for (uint16_t b = kFirstTq; b < kFirstTq + COM_COUPLERS * COM_SLOTS; ++b) runBlock(b, true);
  for (uint16_t c = 0; c < COM_COUPLERS; ++c) {
    for (uint16_t s = 0; s < COM_SLOTS; ++s) {
      BLK_RioSlotRecord(COM_FIRST_COUPLER + c, s)->kind =
          static_cast<uint8_t>(COM_ModuleKind(kTqTypes[s], 0));
    }
  }
  for (int i = 0; i < 200 && BLK_RioCouplerState(25)->state != RIO_OPERATE; ++i) remoteIoCycle();
  for (uint16_t c = 0; c < COM_COUPLERS; ++c) {
    if (BLK_RioCouplerState(COM_FIRST_COUPLER + c)->state != RIO_OPERATE) std::abort();
  }
  unsigned cycle = 0;
  for (auto _ : state) {
    ++cycle;
    for (uint16_t c = 0; c < COM_COUPLERS; ++c) {
      RioSlotRecord* r = BLK_RioSlotRecord(COM_FIRST_COUPLER + c, 0);
      r->input[0] = static_cast<uint8_t>(cycle);
      r->input[1] = static_cast<uint8_t>(cycle >> 8);
    }
    remoteIoCycle();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * COM_COUPLERS * (COM_SLOTS + 1));
  COM_BusReset();
}
BENCHMARK(BM_RemoteIoCycle);

// One cycle of the visualisation blocks of a page set: two cascaded VWERT pages with every
// row wired (the first row's range from an ALLP block), a VBAR with its marks, a VPARA with
// six targets, VTREND sampling every run and VIDLE counting; the inputs change every cycle.
constexpr uint16_t kVwert1 = 100, kVwert2 = 101, kVbar = 102, kVpara = 103, kVtrend = 104,
                   kVisAllp = 105, kVisSource = 106;

void BM_VisualCycle(benchmark::State& state) {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  const uint16_t blocks[] = {kVwert1, kVwert2, kVbar, kVpara, kVtrend, VIDLE_BLOCK};
  const uint16_t types[] = {BLK_TYPE_VWERT, BLK_TYPE_VWERT, BLK_TYPE_VBAR,
                            BLK_TYPE_VPARA, BLK_TYPE_VTREND, BLK_TYPE_VIDLE};
  for (size_t i = 0; i < std::size(blocks); ++i) {
    if (FB_CreateInstance(types[i], blocks[i])) std::abort();
  }
  if (FB_CreateInstance(BLK_TYPE_ALLP, kVisAllp) || FB_CreateInstance(BLK_TYPE_ABSV, kVisSource)) {
    std::abort();
  }
  for (uint16_t i = 1; i <= VWERT_ROWS; ++i) {
    wireAnalogOutput(kVwert1, i, i == 1 ? kVisAllp : kVisSource, 1);
    wireAnalogOutput(kVwert2, i, kVisSource, 1);
    wireAnalogOutput(kVpara, i, kVisSource, 1);
  }
  wireAnalogOutput(kVwert2, VWERT_AI_CASC + 1, kVwert1, VWERT_AO_BLNO + 1);
  for (uint16_t i = 1; i <= 8; ++i) wireAnalogOutput(kVbar, i, kVisSource, 1);
  wireAnalogOutput(kVtrend, 1, kVisSource, 1);
  uint16_t* words = nullptr;
  FB_GetWordValuePtr(kVpara, 1, &words);
  for (uint16_t i = 0; i < VWERT_ROWS; ++i) {
    words[2 * i] = words[12 + 2 * i] = kVisAllp;        // Block i, current and pending
    words[2 * i + 1] = words[13 + 2 * i] = 1 + i % 6;    // Num i
  }
  FbU32* sample = nullptr;
  FB_GetLongParamPtr(kVtrend, 1, &sample);
  sample[0] = sample[3] = std::bit_cast<uint32_t>(0.1f);  // every run
  if (FB_ResolveConnections() != 0) std::abort();
  for (uint16_t b : blocks) runBlock(b, true);
  FbF32* source = nullptr;
  FB_GetAnalogOutputPtr(kVisSource, 1, &source);
  unsigned cycle = 0;
  for (auto _ : state) {
    *source = static_cast<float>(cycle++ % 1000) * 0.25f;
    for (uint16_t b : blocks) runBlock(b, false);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VisualCycle);

}  // namespace
