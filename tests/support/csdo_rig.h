// Fixture of the CSDO tests: the bus rig (system-bus option, own node 5, the node's test
// driver) with CSDO blocks at their fixed numbers, their trigger wired, and the partner's
// answers delivered through the driver.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "blocks/csdo/csdo.h"
#include "support/bus_rig.h"

class CsdoRig : public BusRig {
 public:
  static constexpr uint16_t kCsdo = 21;
  // Inputs: analog Node, D-Type, SubInd, Index, X1writ; digital r/w, trig.
  enum : uint16_t { kNode = 1, kDataType = 2, kSubIndex = 3, kIndex = 4, kValue = 5 };
  enum : uint16_t { kAccess = 1, kTrigger = 2 };

  // A CSDO with its trigger wired (at 0), not yet started.
  void build(uint16_t block = kCsdo) {
    createAt(BLK_TYPE_CSDO, block);
    setDigitalInput(block, kTrigger, 0);
  }
  // Init and the two settling runs: the block is then idle.
  void start(uint16_t block = kCsdo) {
    init(block);
    run(block, 2);
  }
  // A rising trigger edge: one run with trig 0, one with trig 1.
  void trigger(uint16_t block = kCsdo) {
    setDigitalInput(block, kTrigger, 0);
    run(block);
    setDigitalInput(block, kTrigger, 1);
    run(block);
  }

  static CsdoState& state(uint16_t block = kCsdo) {
    CsdoState* s = BLK_CsdoState(block);
    EXPECT_NE(s, nullptr);
    static CsdoState none{};
    return s ? *s : none;
  }
  float y(uint16_t block = kCsdo) const { return analogOut(block, 1); }
  uint16_t err(uint16_t block = kCsdo) const { return digitalOut(block, 1); }
  uint16_t ready(uint16_t block = kCsdo) const { return digitalOut(block, 2); }

  // The partner answers the read it was asked with these data bytes, in one step of the node.
  static void answerRead(uint8_t address, const bustest::Bytes& data) {
    bustest::g_driver.events.push_back(bustest::event(COM_MSG_UPLOADED, address, 0, 0, data));
    COM_BusStateMachine();
  }
};
