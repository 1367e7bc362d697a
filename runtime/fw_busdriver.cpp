#include "runtime/fw_busdriver.h"

#include <cstring>

namespace {
int none() { return 0; }
int noneNode(uint8_t) { return 0; }
int noneReceive(uint8_t*, uint32_t) { return 0; }
void ignoreNode(uint8_t) {}
void ignore() {}
int accept() { return 1; }
int acceptCommand(uint8_t, uint8_t) { return 1; }
int acceptData(const uint8_t*, uint32_t) { return 1; }
int acceptRate(uint16_t) { return 1; }
}  // namespace

const FwBusDriver g_fwBusDriver = {
    none,       none,       noneNode,   noneNode,      none,       noneReceive,
    ignoreNode, ignoreNode, ignore,     acceptCommand, acceptData, acceptData,
    acceptData, accept,     acceptRate, none,          none,
};

uint8_t g_fwBusIdentityLocked;

int FW_BusSetIdentity(uint8_t* area, const char* const names[4], uint16_t word) {
  if (g_fwBusIdentityLocked) {
    std::memset(area, 0xFF, FW_BUS_IDENTITY_SIZE);
    return 0;
  }
  for (uint32_t i = 0; i < 4; ++i) {
    uint8_t* name = area + i * FW_BUS_NAME_LEN;
    std::memset(name, 0, FW_BUS_NAME_LEN);
    if (names && names[i]) std::memcpy(name, names[i], strnlen(names[i], FW_BUS_NAME_LEN));
  }
  area[64] = static_cast<uint8_t>(word);
  area[65] = static_cast<uint8_t>(word >> 8);
  return 1;
}
