// Device communication: a request of the character protocol served inside the firmware tick
// (a single read, a write, block data of nine codes, a record), the per-tick exchange with
// the module panels (five couplers, nine four-channel analog inputs each, against a panel in
// the same process), the option card's cycle step and exchange frame, which must not
// allocate.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/alloc_counter.h"
#include "blocks/register_all.h"
#include "comm/com_ascii.h"
#include "comm/com_card.h"
#include "comm/com_modbus.h"
#include "comm/com_bus.h"
#include "comm/com_remoteio.h"
#include "comm/com_services.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"
#include "shell/sim_services.h"
#include "support/remoteio_standin.h"

// The module panels, in this process: the words they answer and the last words sent.
namespace {
int32_t g_panelInputs[COM_COUPLERS][COM_SLOTS][COM_SLOT_CHANNELS];
int32_t g_panelOutputs[COM_COUPLERS][COM_SLOTS][COM_SLOT_CHANNELS];
}  // namespace
void SimModulePanelOpen(int32_t) {}
int32_t SimModulePanelQuery(int coupler, int slot, int channel) {
  return g_panelInputs[coupler][slot][channel];
}
void SimModulePanelSend(int coupler, int slot, int channel, int32_t value) {
  g_panelOutputs[coupler][slot][channel] = value;
}

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

// Five couplers, each with nine analog input modules of four 0..20 mA channels.
void setUpModules() {
  rio::install();
  uint16_t block = 100;
  for (int c = 0; c < COM_COUPLERS; ++c) {
    const auto coupler = static_cast<uint16_t>(COM_FIRST_COUPLER + c);
    rio::addCoupler(coupler, static_cast<uint16_t>(10 + c));
    for (int s = 0; s < COM_SLOTS; ++s) {
      rio::addAnalogInput(block++, coupler, s + 1, 52, 100.0f);
      for (int j = 0; j < COM_SLOT_CHANNELS; ++j) g_panelInputs[c][s][j] = 1000 * (s + j);
    }
  }
  g_panelInputs[2][4][1] = 0x40000000;  // one faulty channel
  COM_ScanIoModules(1);
}

// Runs one per-tick call per iteration; an allocation in it fails the benchmark.
template <typename Call>
void perTick(benchmark::State& state, Call call) {
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    call();
    allocations += BenchAllocations() - before;
    benchmark::ClobberMemory();
  }
  if (allocations) state.SkipWithError("the tick allocated");
}

void BM_ExchangeIoModules(benchmark::State& state) {
  setUpModules();
  int slots = 0;
  for (int c = 0; c < COM_COUPLERS; ++c) slots += COM_CouplerRecord(c)->moduleCount;
  perTick(state, COM_ExchangeIoModules);
  if (slots != COM_COUPLERS * COM_SLOTS) state.SkipWithError("the modules were not found");
  state.counters["channels"] = slots * COM_SLOT_CHANNELS;
  COM_SetIoBlockAccess(nullptr);
}

// The bus node's step in the run mode with the simulator's empty driver (waiting for the own
// identity), with an ABSV block to serve.
void BM_BusCycle(benchmark::State& state) {
  setUp();
  g_fwSys.shadow[FW_SH_BUS_NODE] = 5;
  g_fwRunMode = FW_RUN_MODE_RUN;
  COM_BusCycle();
  perTick(state, COM_BusCycle);
  if (COM_BusMachineState() != 1) state.SkipWithError("the node left its start-up state");
  g_fwRunMode = FW_RUN_MODE_STOP;
}

// Modbus RTU frames on the PC-tool channel (their CRC appended), ABSV block 100 listed as the
// first programmer data block: register 2552 is its first float parameter.
std::string modbusFrame(std::string body) {
  const uint16_t crc = COM_Crc16Value(reinterpret_cast<const uint8_t*>(body.data()),
                                      static_cast<uint32_t>(body.size()));
  body += static_cast<char>(crc & 0xFF);
  body += static_cast<char>(crc >> 8);
  return body;
}

void serveModbus(benchmark::State& state, const std::string& body) {
  setUp();
  g_fbSchedule.progDataBlocks[0] = 100;
  const std::string frame = modbusFrame(body);
  ComFrameBuffers* f = COM_FrameBuffers(COM_PC_CHANNEL);
  perTick(state, [&] {
    std::memcpy(f->rx, frame.data(), frame.size());
    f->rxLength = static_cast<uint16_t>(frame.size());
    f->rxBinary = 1;
    COM_ReceiveFrame(COM_PC_CHANNEL);
  });
  if (f->txLength < 5 || (f->tx[1] & 0x80)) state.SkipWithError("the request was refused");
}

void BM_ModbusReadSystemData(benchmark::State& state) {
  serveModbus(state, std::string("\x01\x03\x00\x01\x00\x0A", 6));
}
void BM_ModbusReadFloatParameters(benchmark::State& state) {
  serveModbus(state, std::string("\x01\x03\x93\xF0\x00\x06", 6));
}
void BM_ModbusWriteFloat(benchmark::State& state) {
  serveModbus(state, std::string("\x01\x10\x93\xF0\x00\x02\x04\x40\x20\x00\x00", 11));
}
void BM_ModbusAsciiRead(benchmark::State& state) {
  serveModbus(state, std::string("\x01\x17\x00\x00\x00\x04\x00\x00\x00\x06\x0C", 11) +
                         "xxx01,100,10");
}

// The option card (option "3") on the serial driver's test line: the cycle step of every
// main cycle (the card lost, as always in the simulator), and an exchange frame answered at once.
void setUpCard() {
  setUp();
  FW_SysImage()[FW_SYS_ORDER_DIGITS + 2] = '3';
  COM_SerialTestAttach(true);
}

void BM_OptionCardCycle(benchmark::State& state) {
  setUpCard();
  for (int c = 0; c <= COM_CARD_LOST_CYCLES; ++c) FW_OptionCardCycle();
  perTick(state, FW_OptionCardCycle);
  if ((COM_CardBusStatus() & COM_CARD_BUS_ERRORS) != COM_CARD_BUS_ERRORS) {
    state.SkipWithError("the card was not lost");
  }
  COM_SerialTestAttach(false);
}

void BM_OptionCardExchange(benchmark::State& state) {
  setUpCard();
  uint8_t frame[COM_CARD_FRAME] = {};
  std::memcpy(frame, kComCardHeader, COM_CARD_HEADER);
  frame[COM_CARD_AT_FIRST] = 1;
  frame[COM_CARD_AT_SECOND] = 2;
  uint8_t out[COM_SERIAL_SIZE];
  uint16_t sent = 0;
  perTick(state, [&] {
    COM_SerialTestReceive(1, frame, sizeof frame);
    sent = COM_SerialTestTakeTransmission(out, sizeof out);
  });
  if (sent != COM_CARD_REPLY) state.SkipWithError("the frame was not answered");
  COM_SerialTestAttach(false);
}

}  // namespace

BENCHMARK(BM_AsciiReadFloat);
BENCHMARK(BM_AsciiWriteFloat);
BENCHMARK(BM_AsciiBlockData);
BENCHMARK(BM_AsciiReadRecord);
BENCHMARK(BM_ExchangeIoModules);
BENCHMARK(BM_BusCycle);
BENCHMARK(BM_ModbusReadSystemData);
BENCHMARK(BM_ModbusReadFloatParameters);
BENCHMARK(BM_ModbusWriteFloat);
BENCHMARK(BM_ModbusAsciiRead);
BENCHMARK(BM_OptionCardCycle);
BENCHMARK(BM_OptionCardExchange);
