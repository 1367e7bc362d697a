// A bus driver for the tests of the system-bus node: it delivers the events a test queues,
// records what the node sends and commands, and answers the node's questions as set.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

#include "comm/com_bus.h"
#include "comm/com_services.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"

namespace bustest {

using Bytes = std::vector<uint8_t>;

struct Driver {
  std::deque<Bytes> events;              // delivered one per receive
  std::vector<Bytes> replies;            // answers to accesses of our objects
  std::vector<Bytes> requests;           // uploads and downloads handed over
  std::vector<Bytes> blocks;             // identity and periodic messages
  std::vector<std::pair<int, int>> commands;   // {node, NMT command}
  int accept = 1;                        // answer to a request
  int ownState = 0;                      // the own node's NMT state
  int status = 0;
  uint16_t bitRate = 0;
  int resets = 0;
  void clear() { *this = Driver{}; }
};

inline Driver g_driver;

inline const FwBusDriver kDriver = {
    [] { return 0; },                                        // busy
    [] { return 0; },                                        // poll
    [](uint8_t) { return g_driver.ownState; },               // nodeState
    [](uint8_t) { return 0; },                               // selectNode
    [] { ++g_driver.resets; return 0; },                     // reset
    [](uint8_t* m, uint32_t size) {                          // receive
      if (g_driver.events.empty()) return 0;
      const Bytes e = g_driver.events.front();
      g_driver.events.pop_front();
      const uint32_t n = e.size() < size ? static_cast<uint32_t>(e.size()) : size;
      if (n) std::memcpy(m, e.data(), n);
      return static_cast<int>(n);
    },
    [](uint8_t) {},                                          // setNode
    [](uint8_t) {},                                          // setMode
    [] {},                                                   // cycleEnd
    [](uint8_t node, uint8_t command) {                      // command
      g_driver.commands.emplace_back(node, command);
      return 1;
    },
    [](const uint8_t* d, uint32_t n) { g_driver.blocks.emplace_back(d, d + n); return 1; },
    [](const uint8_t* d, uint32_t n) { g_driver.replies.emplace_back(d, d + n); return 1; },
    [](const uint8_t* d, uint32_t n) {
      g_driver.requests.emplace_back(d, d + n);
      return g_driver.accept;
    },
    [] { return 1; },                                        // start
    [](uint16_t kbits) { g_driver.bitRate = kbits; return 1; },
    [] { return g_driver.status; },
    [] { return 0; },                                        // errors
};

// A stopped device whose bus node starts afresh on this driver, set by a fuzz input's first two
// bytes: byte 0 bit 0 whether the driver accepts requests, bits 1..7 the own node; byte 1 the
// communication option ('0'..'2').
inline void FreshBusFromFuzzInput(const uint8_t* data) {
  g_driver.clear();
  g_driver.ownState = COM_DRIVER_OPERATIONAL;
  g_driver.accept = data[0] & 1;
  COM_BusSetDriver(&kDriver);
  g_fwRunMode = FW_RUN_MODE_STOP;
  g_fwSys.shadow[FW_SH_BUS_NODE] = data[0] >> 1;
  FW_SysImage()[FW_SYS_ORDER_DIGITS + 2] = static_cast<uint8_t>('0' + data[1] % 3);
  COM_BusReset();
}

// An event message: kind, node, index, sub-index and data.
inline Bytes event(uint8_t kind, uint8_t node, uint16_t index = 0, uint8_t sub = 0,
                   const Bytes& data = {}) {
  Bytes m = {kind, node, static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index), sub,
             static_cast<uint8_t>(data.size())};
  m.insert(m.end(), data.begin(), data.end());
  return m;
}
inline Bytes be16(uint16_t v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }
inline Bytes be32(uint32_t v) {
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}
inline Bytes beFloat(float f) {
  uint32_t v;
  std::memcpy(&v, &f, sizeof v);
  return be32(v);
}
inline Bytes text(const char* s) { return Bytes(s, s + std::strlen(s)); }

// The data of a message and the abort code of an abort answer (0 for another answer).
inline Bytes dataOf(const Bytes& m) {
  return m.size() > COM_BUS_MSG_DATA ? Bytes(m.begin() + COM_BUS_MSG_DATA, m.end()) : Bytes{};
}
inline uint32_t abortOf(const Bytes& m) {
  if (m.empty() || m[0] != COM_MSG_ABORT || m.size() < COM_BUS_MSG_DATA + 4) return 0;
  const uint8_t* d = m.data() + COM_BUS_MSG_DATA;
  return static_cast<uint32_t>(d[0]) << 24 | d[1] << 16 | d[2] << 8 | d[3];
}

}  // namespace bustest
