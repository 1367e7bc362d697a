// Fuzz target of the bus blocks: with any configuration words, any partner records, any
// bytes in the received objects and any answers to the coupler's writes, the blocks read and
// write nothing outside their instances and the bus node's tables, and no NaN or infinity
// reaches an analog output.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "blocks/bus/bus.h"
#include "blocks/register_all.h"
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

using fuzzblocks::Placed;
constexpr Placed kBlocks[] = {
    {BLK_TYPE_CSEND, 21}, {BLK_TYPE_CRCV, 22},  {BLK_TYPE_C_MX6X, 23}, {BLK_TYPE_CPREAD, 24},
    {BLK_TYPE_CPWRIT, 25}, {BLK_TYPE_MX6X, 100}, {BLK_TYPE_MX6X, 101},
};

void wire(uint16_t block, uint16_t input, uint16_t source, uint16_t output) {
  fuzzblocks::Wire(block, input, source, output);
}
void runAll(bool init) { fuzzblocks::RunAll(kBlocks, init); }
void checkOutputs() { fuzzblocks::CheckOutputs(kBlocks); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (FB_ClearTypeTable(), BLK_RegisterAllTypes(), true);
  (void)ready;
  constexpr size_t kHeader = 22;
  if (size < kHeader) return 0;
  FB_ClearStore();
  bustest::FreshBusFromFuzzInput(data);

  for (const Placed& p : kBlocks) {
    if (FB_CreateInstance(p.type, p.block) != FB_OK) __builtin_trap();
  }
  // MX6x 100 on the coupler's C 1 with W from R1 1 of CPREAD; MX6x 101 on C 2 with Yman
  // from R2 8; CPWRIT takes the coupler's handles and CRCV's outputs as its bytes.
  wire(100, 1, 23, 1);
  wire(100, 2, 24, 1);
  wire(101, 1, 23, 2);
  wire(101, 3, 24, 16);
  for (uint16_t i = 1; i <= 16; ++i) wire(25, i, i <= 8 ? 23 : 22, i <= 8 ? i : i - 8);
  if (FB_ResolveConnections() != 0) __builtin_trap();
  // Configuration words, current and pending alike, straight from the input.
  size_t at = 2;
  for (const Placed& p : kBlocks) {
    uint16_t* wv = nullptr;
    for (uint16_t k = 1; FB_GetWordValuePtr(p.block, k, &wv) == 1 && at + 1 < kHeader; ++k) {
      FbLayout L;
      FB_GetLayout(p.block, &L);
      const auto v = static_cast<uint16_t>(data[at] | data[at + 1] << 8);
      at += 2;
      wv[0] = v;
      wv[L.wordValues] = v;
    }
  }
  runAll(true);

  // Steps of 13 bytes: a node record (address, remote state, NMT state, kind), a received
  // object (which one and its 8 bytes), and whether the node answers, aborts or keeps silent.
  for (at = kHeader; at + 13 <= size; at += 13) {
    const uint8_t* s = data + at;
    ComBusNode* node = COM_BusNode(s[0] % COM_BUS_NODES);
    node->remoteState = s[1] % 5;
    node->nmtState = s[2] % 4;
    node->kind = s[3] % 10;
    const ComBusMap& inputs = COM_BusInputMap();
    if (inputs.used) {
      uint8_t* obj = COM_BusInputObject(inputs.entries[s[4] % inputs.used].offset);
      std::memcpy(obj, s + 5, 8);
    }
    if (s[4] & 0x80) {
      const uint8_t kind = (s[4] & 0x40) ? COM_MSG_ABORT : COM_MSG_DOWNLOADED;
      bustest::g_driver.events.push_back(
          bustest::event(kind, static_cast<uint8_t>(s[0] % COM_BUS_NODES), 0, 0,
                         kind == COM_MSG_ABORT ? bustest::be32(s[12]) : bustest::Bytes{}));
      COM_BusStateMachine();
    }
    if (s[12] == 0xA5) runAll(true);   // a new start-up pass now and then
    runAll(false);
    checkOutputs();
  }
  COM_BusSetDriver(nullptr);
  return 0;
}
