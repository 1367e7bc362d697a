// Fixture of the remote I/O block tests: the bus rig (system-bus option, own node 5, the
// node's test driver) with a coupler block and module blocks wired to its slot outputs. The
// coupler's node is played by the test: its record set as the bus node keeps it, and the
// coupler's requests answered through the driver with the identity text and slot kinds the
// test chose.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "blocks/remoteio/remoteio.h"
#include "support/bus_rig.h"

class RemoteIoRig : public BusRig {
 public:
  static constexpr uint16_t kCoupler = 21;
  static constexpr uint16_t kNode = 12;

  // The coupler block at its fixed number with its node id.
  void coupler(uint16_t block = kCoupler, uint16_t node = kNode) {
    createAt(BLK_TYPE_C_TQ5X, block);
    setWordValue(block, 1, static_cast<int16_t>(node));
    couplers_.push_back(block);
  }
  // A module block in time group 1 with "Slot x" wired to slot output 1..9 of a coupler.
  void module(uint16_t type, uint16_t block, uint16_t slot, uint16_t coupler = kCoupler) {
    create(type, block, 1);
    wireAnalogInput(block, 1, coupler, slot);
    modules_.push_back(block);
  }
  // A module block whose "Slot x" reads a value of a signal source.
  void moduleReading(uint16_t type, uint16_t block, float slotValue) {
    create(type, block, 1);
    setAnalogInput(block, 1, slotValue);
    modules_.push_back(block);
  }
  // Forgets every block and the bus node's tables, for a case of its own (the signal sources
  // wired before are gone with the blocks).
  void clearBlocks() {
    FB_ClearStore();
    COM_BusReset();
    bustest::g_driver.requests.clear();
    couplers_.clear();
    modules_.clear();
  }
  // Word value k and 4-byte value k (1-based) of a block, stored and working; float
  // parameter k in both copies.
  void setValue(uint16_t block, uint16_t k, uint16_t v) { setWordValue(block, k, static_cast<int16_t>(v)); }
  void setLong(uint16_t block, uint16_t k, float v) {
    setLongValue(block, k, v);
    setLongValue(block, k, v, true);
  }
  void setFloat(uint16_t block, uint16_t k, float v) {
    floatParam(block, k) = v;
    floatParam(block, k, true) = v;
  }

  // The start-up pass (couplers first, as the input-side blocks run before the groups) and
  // one cycle of every block.
  void startUp() {
    for (uint16_t b : couplers_) init(b);
    for (uint16_t b : modules_) init(b);
  }
  void cycle() {
    for (uint16_t b : couplers_) run(b);
    for (uint16_t b : modules_) run(b);
  }

  // The coupler's node known as a bus coupler (of kind 6, or 7 for class 20), operational.
  static void nodeUp(uint16_t node = kNode, uint8_t kind = COM_KIND_COUPLER) {
    partner(node, kind, COM_NODE_OPERATIONAL);
  }

  static RioCouplerState& state(uint16_t block = kCoupler) {
    RioCouplerState* s = BLK_RioCouplerState(block);
    EXPECT_NE(s, nullptr);
    static RioCouplerState none{};
    return s ? *s : none;
  }
  static RioSlotRecord& slot(int n, uint16_t block = kCoupler) { return state(block).slot[n - 1]; }
  static std::vector<RioConfigEntry> list(uint16_t block) {
    const RioListView v = BLK_RioConfigList(block);
    return v.count ? std::vector<RioConfigEntry>(v.entries, v.entries + *v.count) : std::vector<RioConfigEntry>{};
  }

  // What the coupler's node answers: its software version and the kind of each slot (0: the
  // read brings no data, so the slot keeps the kind it had).
  std::string identity = "SW-V01.27";
  uint8_t kinds[COM_SLOTS] = {};
  bustest::Bytes statusData;   // the answer to a slot's status read
  bool answering = true;

  // Answers the coupler's outstanding request in one step of the bus node.
  void answerCoupler(uint16_t block = kCoupler) {
    const ComBusRequest& q = state(block).request;
    if (!answering || q.state != COM_REQ_SENT) return;
    if (q.index == RIO_OBJ_SOFTWARE_VERSION) {
      answerRead(q.node, bustest::text(identity.c_str()));
    } else if (q.index == RIO_OBJ_SLOT_KIND) {
      const uint8_t k = q.subIndex >= 1 && q.subIndex <= COM_SLOTS ? kinds[q.subIndex - 1] : 0;
      answerRead(q.node, k ? bustest::Bytes{k} : bustest::Bytes{});
    } else if (q.index == RIO_OBJ_SLOT_STATUS) {
      answerRead(q.node, statusData);
    } else {
      answer(static_cast<uint8_t>(q.node));
    }
  }
  static void answerRead(uint16_t node, const bustest::Bytes& data) {
    bustest::g_driver.events.push_back(bustest::event(COM_MSG_UPLOADED, static_cast<uint8_t>(node), 0, 0, data));
    COM_BusStateMachine();
  }

  // Cycles with the node answering until the coupler reaches `target`; false after `limit`.
  bool runTo(uint8_t target, int limit = 300, uint16_t block = kCoupler) {
    for (int i = 0; i < limit; ++i) {
      if (state(block).state == target) return true;
      cycle();
      answerCoupler(block);
    }
    return state(block).state == target;
  }

  // The writes the coupler handed to the driver: {index, sub-index, data}.
  struct Write {
    uint16_t index;
    uint8_t subIndex;
    bustest::Bytes data;
    bool operator==(const Write&) const = default;
  };
  static std::vector<Write> writes() {
    std::vector<Write> w;
    for (const bustest::Bytes& m : requests()) {
      if (m.size() < COM_BUS_MSG_DATA || m[0] != COM_MSG_DOWNLOAD) continue;
      w.push_back({static_cast<uint16_t>(m[2] << 8 | m[3]), m[4], bustest::dataOf(m)});
    }
    return w;
  }

 private:
  std::vector<uint16_t> couplers_, modules_;
};
