// Fuzz target of the remote I/O blocks: with any configuration values, any node records, any
// answers to the couplers' requests (identity texts and kind codes of any length, aborts,
// silence), any bytes in the received objects and the slot images, and any requests on the
// calibration page, the blocks read and write nothing outside their instances and the bus
// node's tables, and no NaN or infinity reaches an analog output.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "blocks/io/io.h"
#include "blocks/register_all.h"
#include "blocks/remoteio/remoteio.h"
#include "comm/bus_test_driver.h"
#include "comm/com_bus.h"
#include "comm/com_services.h"
#include "runtime/fb_store.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"
#include "support/fuzz_blocks.h"

namespace {

constexpr fuzzblocks::Placed kBlocks[] = {
    {BLK_TYPE_C_TQ5X, 21},   {BLK_TYPE_C_TQ5X, 22},  {BLK_TYPE_TQ_DI, 100},
    {BLK_TYPE_TQ_DO, 101},   {BLK_TYPE_TQ_AI, 102},  {BLK_TYPE_TQ_AO, 103},
    {BLK_TYPE_TQ_AIPLUS, 104}, {BLK_TYPE_TQ_DMS, 105}, {BLK_TYPE_TQ_AI, 106},
};
constexpr size_t kModules = std::size(kBlocks) - 2;

void wire(uint16_t block, uint16_t input, uint16_t source, uint16_t output, bool digital = false) {
  uint16_t* w = FB_GetWiring(block);
  uint16_t* pairs = w + FB_WIRE_ANALOG_COUNT + 1 + (digital ? 1 + 2 * w[FB_WIRE_ANALOG_COUNT] : 0);
  pairs[2 * (input - 1)] = source;
  pairs[2 * (input - 1) + 1] = output;
}

void runAll(bool init) { fuzzblocks::RunAll(kBlocks, init); }

void checkOutputs() { fuzzblocks::CheckOutputs(kBlocks); }

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
float f32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  float f;
  std::memcpy(&f, &v, sizeof f);
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (FB_ClearTypeTable(), BLK_RegisterAllTypes(), true);
  (void)ready;
  constexpr size_t kHeader = 2 + kModules + 64;
  if (size < kHeader) return 0;
  FB_ClearStore();
  bustest::FreshBusFromFuzzInput(data);

  for (const fuzzblocks::Placed& p : kBlocks) {
    if (FB_CreateInstance(p.type, p.block) != FB_OK) __builtin_trap();
  }
  // Each module's "Slot x" on a slot output of one of the couplers, or on a value of the
  // first TQ_AI; the AO inputs on slot outputs; the DO and DMS commands on the DI's bits.
  for (size_t m = 0; m < kModules; ++m) {
    const uint8_t b = data[2 + m];
    if (b & 0x80) {
      wire(kBlocks[2 + m].block, 1, 102, static_cast<uint16_t>(1 + b % 4));
    } else {
      wire(kBlocks[2 + m].block, 1, b & 0x40 ? 22 : 21, static_cast<uint16_t>(1 + b % 9));
    }
  }
  for (uint16_t i = 2; i <= 5; ++i) wire(103, i, 21, i);
  for (uint16_t i = 1; i <= 8; ++i) wire(101, i, 100, static_cast<uint16_t>(3 + i), true);
  for (uint16_t i = 1; i <= 6; ++i) wire(105, i, 100, static_cast<uint16_t>(3 + i), true);
  if (FB_ResolveConnections() != 0) __builtin_trap();

  // Configuration: word values, 4-byte values and float parameters from the input, current
  // and pending alike.
  size_t at = 2 + kModules;
  const size_t end = kHeader;
  for (const fuzzblocks::Placed& p : kBlocks) {
    FbLayout L;
    FB_GetLayout(p.block, &L);
    for (uint16_t k = 0; k < L.wordValues && at + 1 < end; ++k, at += 2) {
      L.wv[k] = L.wv[L.wordValues + k] = u16(data + at);
    }
    for (uint16_t k = 0; k < L.longValues && at + 3 < end; ++k, at += 4) {
      const float f = f32(data + at);
      uint32_t bits;
      std::memcpy(&bits, &f, sizeof bits);
      L.lv[k] = L.lv[L.longValues + k] = bits;
    }
    for (uint16_t k = 0; k < L.floatParams && at + 3 < end; ++k, at += 4) {
      L.fp[k] = L.fp[L.floatParams + k] = f32(data + at);
    }
  }
  runAll(true);

  // Steps of 16 bytes: the couplers' node records, an answer to one of their requests, bytes
  // of a received object and of a slot record, the calibration page's requests.
  for (at = kHeader; at + 16 <= size; at += 16) {
    const uint8_t* s = data + at;
    for (uint16_t c = 21; c <= 22; ++c) {
      FbLayout L;
      FB_GetLayout(c, &L);
      if (ComBusNode* node = COM_BusNode(L.wv[0])) {
        node->remoteState = s[0] % 5 == 4 ? COM_REMOTE_LOST : COM_REMOTE_KNOWN;
        node->nmtState = s[1] % 4;
        node->kind = s[1] >> 4;
      }
    }
    const RioCouplerState* cs = BLK_RioCouplerState(s[2] & 1 ? 22 : 21);
    const uint8_t node = cs ? static_cast<uint8_t>(cs->request.node) : 0;
    switch (s[2] >> 5) {
      case 0: break;   // silent
      case 1:
        bustest::g_driver.events.push_back(bustest::event(COM_MSG_DOWNLOADED, node));
        break;
      case 2:
        bustest::g_driver.events.push_back(bustest::event(COM_MSG_ABORT, node, 0, 0, bustest::be32(s[3])));
        break;
      default: {   // an upload answer of 0..16 bytes, some of them text
        const size_t n = s[3] % 17;
        bustest::Bytes d(n);
        for (size_t i = 0; i < n; ++i) d[i] = i < 9 ? static_cast<uint8_t>("SW-V01.27"[i] ^ (s[4 + i % 12] & 0x11)) : s[4 + i % 12];
        bustest::g_driver.events.push_back(bustest::event(COM_MSG_UPLOADED, node, 0, 0, d));
        break;
      }
    }
    COM_BusStateMachine();
    const ComBusMap& inputs = COM_BusInputMap();
    if (inputs.used) std::memcpy(COM_BusInputObject(inputs.entries[s[4] % inputs.used].offset), s + 5, 8);
    if (RioSlotRecord* r = BLK_RioSlotRecord(s[2] & 2 ? 22 : 21, s[13] % COM_SLOTS)) {
      std::memcpy(r->input, s + 5, sizeof r->input);
      std::memcpy(r->channelStatus, s + 9, sizeof r->channelStatus);
      r->kind = s[14];
    }
    if (BlkCalPage* p = BLK_RioCalPageOf(104)) {
      p->channel = s[15] & 7;
      p->state = s[15] >> 5;
      p->startRequest = s[15] & 8 ? 1 : 0;
      p->field[BLK_CAL_X0].value = f32(s + 5);
      p->field[BLK_CAL_X100].value = f32(s + 9);
    }
    if (s[12] == 0xA5) runAll(true);   // a new start-up pass now and then
    runAll(false);
    checkOutputs();
  }
  COM_BusSetDriver(nullptr);
  return 0;
}
