// Fuzz target of the system-bus node: any sequence of driver events, in the stop and the run
// mode, is handled without reading or writing outside the node's tables, the request objects
// and the instances. The device holds blocks of every arithmetic type, so that reads and
// writes of own objects reach their groups and parameter handlers.
#include <cstddef>
#include <cstdint>

#include "blocks/register_all.h"
#include "comm/bus_test_driver.h"
#include "comm/com_bus.h"
#include "comm/com_services.h"
#include "runtime/fb_store.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"

namespace {

ComBusRequest g_requests[4];

void setUp() {
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  for (uint16_t type = 1; type < 40; ++type) FB_CreateInstance(type, static_cast<uint16_t>(100 + type));
  COM_BusSetDriver(&bustest::kDriver);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (setUp(), true);
  (void)ready;
  if (size < 2) return 0;
  bustest::g_driver.clear();
  g_fwSys.shadow[FW_SH_BUS_NODE] = data[0] % 44;
  g_fwSys.shadow[FW_SH_BUS_RATE] = data[1] % 10;
  g_fwRunMode = (data[1] & 0x80) ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
  bustest::g_driver.status = data[1] & 1;
  COM_BusReset();
  // Each node claimed by a block, and a few requests of the blocks running.
  for (uint16_t n = 0; n < COM_BUS_NODES; ++n) COM_BusNode(n)->configStage = (n + data[0]) % 4;
  for (int i = 0; i < 4; ++i) {
    g_requests[i] = ComBusRequest{};
    g_requests[i].node = static_cast<uint16_t>(data[0] % 43 + i);
    g_requests[i].length = static_cast<uint16_t>(data[1] % 20);
    if (i % 2) {
      COM_BusStartRequest(&g_requests[i]);
    } else {
      COM_BusStartReadRequest(&g_requests[i]);
    }
  }
  // The rest: events, each a length byte and that many bytes; a tick after every fourth.
  size_t at = 2;
  int events = 0;
  while (at < size) {
    const size_t n = data[at++];
    const size_t take = n < size - at ? n : size - at;
    bustest::g_driver.events.emplace_back(data + at, data + at + take);
    at += take;
    if (++events % 4 == 0) COM_BusCycle();
  }
  for (int i = 0; i < 12; ++i) COM_BusCycle();
  COM_CanNodeTable();
  return 0;
}
