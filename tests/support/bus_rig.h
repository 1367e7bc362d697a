// Fixture of the bus block tests: the block fixture with every library type, a device with
// the system-bus option at node address 5, and the system-bus node reset with the test
// driver of the node's own tests. The rest of the bus is played by the test: partner node
// records set as the node keeps them, object bytes written and read as the driver moves
// them, and requests refused, answered or aborted through the driver's events.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "blocks/bus/bus.h"
#include "blocks/register_all.h"
#include "comm/bus_test_driver.h"
#include "comm/com_bus.h"
#include "comm/com_services.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"
#include "support/block_fixture.h"

class BusRig : public BlockFixture {
 public:
  static constexpr uint16_t kOwnNode = 5;

  BusRig() : BlockFixture(BLK_RegisterAllTypes) {
    savedNode_ = g_fwSys.shadow[FW_SH_BUS_NODE];
    savedOption_ = FW_SysImage()[FW_SYS_ORDER_DIGITS + 2];
    setOwnNode(kOwnNode);
    setOption('1');
    bustest::g_driver.clear();
    bustest::g_driver.ownState = COM_DRIVER_OPERATIONAL;
    COM_BusSetDriver(&bustest::kDriver);
    COM_BusReset();
    bustest::g_driver.requests.clear();   // the node's own identity request
    ownNode().nmtState = COM_NODE_OPERATIONAL;
    g_fwRunMode = FW_RUN_MODE_STOP;
  }
  ~BusRig() {
    COM_BusSetDriver(nullptr);
    g_fwSys.shadow[FW_SH_BUS_NODE] = savedNode_;
    FW_SysImage()[FW_SYS_ORDER_DIGITS + 2] = savedOption_;
    COM_BusReset();
    g_fwRunMode = FW_RUN_MODE_STOP;
  }
  BusRig(const BusRig&) = delete;
  BusRig& operator=(const BusRig&) = delete;

  // The device: its node address (system datum 3005) and communication option digit.
  static void setOwnNode(uint16_t address) { g_fwSys.shadow[FW_SH_BUS_NODE] = address; }
  static void setOption(char digit) {
    FW_SysImage()[FW_SYS_ORDER_DIGITS + 2] = static_cast<uint8_t>(digit);
  }

  // A block at its fixed number (time group 0), and a word value k (1-based) in its current
  // and pending copy.
  void createAt(uint16_t type, uint16_t block) { create(type, block, 0); }
  void setWordValue(uint16_t block, uint16_t k, int16_t v) {
    wordValue(block, k) = static_cast<uint16_t>(v);
    wordValue(block, k, true) = static_cast<uint16_t>(v);
  }

  // Runs the block until its link state is `state`; false after `limit` runs without it.
  bool runUntil(uint16_t block, uint8_t state, int limit = 50) {
    for (int i = 0; i < limit; ++i) {
      if (BLK_BusLinkState(block) == state) return true;
      run(block);
    }
    return BLK_BusLinkState(block) == state;
  }

  // Node records.
  static ComBusNode& node(uint16_t address) { return *COM_BusNode(address); }
  static ComBusNode& ownNode() { return node(COM_BusOwnAddress()); }
  // A partner as the node keeps it once identified.
  static void partner(uint16_t address, uint8_t kind, uint32_t nmt = COM_NODE_OPERATIONAL) {
    ComBusNode& d = node(address);
    d.remoteState = COM_REMOTE_KNOWN;
    d.kind = kind;
    d.nmtState = nmt;
  }

  // The 8 bytes of a mapped object, or null when the id is not in the table.
  static uint8_t* inputObject(uint32_t id) { return find(COM_BusInputMap(), id, COM_BusInputObject); }
  static uint8_t* outputObject(uint32_t id) {
    return find(COM_BusOutputMap(), id, COM_BusOutputObject);
  }
  static std::vector<uint32_t> outputIds() { return ids(COM_BusOutputMap()); }
  static std::vector<uint32_t> inputIds() { return ids(COM_BusInputMap()); }
  // Fills a table with objects of ids from `first` on until `free` places are left.
  static void fillInputs(uint32_t first, uint16_t free = 0) {
    while (COM_BusInputMap().used < COM_BUS_MAP_ENTRIES - free) COM_BusMapInput(first++);
  }
  static void fillOutputs(uint32_t first, uint16_t free = 0) {
    while (COM_BusOutputMap().used < COM_BUS_MAP_ENTRIES - free) COM_BusMapOutput(first++);
  }
  // Copies every output object into the input object of the same id, as the bus carries
  // them from a sender to a receiver.
  static void carry() {
    for (uint32_t id : outputIds()) {
      if (uint8_t* in = inputObject(id)) std::memcpy(in, outputObject(id), COM_BUS_OBJECT_BYTES);
    }
  }

  // Requests: the driver refuses every start while `refuse` holds; a node answers or aborts
  // its outstanding request in one step of the bus node.
  static void refuseRequests(bool refuse) { bustest::g_driver.accept = refuse ? 0 : 1; }
  static void answer(uint8_t address) {
    bustest::g_driver.events.push_back(bustest::event(COM_MSG_DOWNLOADED, address));
    COM_BusStateMachine();
  }
  static void abort(uint8_t address, uint32_t code) {
    bustest::g_driver.events.push_back(
        bustest::event(COM_MSG_ABORT, address, 0, 0, bustest::be32(code)));
    COM_BusStateMachine();
  }
  static const std::vector<bustest::Bytes>& requests() { return bustest::g_driver.requests; }

 private:
  static uint8_t* find(const ComBusMap& map, uint32_t id, uint8_t* (*object)(uint32_t)) {
    for (uint16_t i = 0; i < map.used; ++i) {
      if (map.entries[i].id == id) return object(map.entries[i].offset);
    }
    return nullptr;
  }
  static std::vector<uint32_t> ids(const ComBusMap& map) {
    std::vector<uint32_t> v;
    for (uint16_t i = 0; i < map.used; ++i) v.push_back(map.entries[i].id);
    return v;
  }

  uint16_t savedNode_ = 0;
  uint8_t savedOption_ = 0;
};
