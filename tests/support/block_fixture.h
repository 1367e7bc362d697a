// Block test fixture: builds blocks into a cleared store, feeds their inputs, runs their
// handlers and reads their outputs.
//
// Inputs are fed from signal source blocks (type FIXTURE_SOURCE_TYPE at blocks
// FIXTURE_SOURCE_BLOCK, FIXTURE_SOURCE_BLOCK - 1, ...) with 32 analog and 32 digital outputs
// each, so that blocks read their inputs through real input references exactly as in a
// loaded engineering.
#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "runtime/fb_store.h"

constexpr uint16_t FIXTURE_SOURCE_TYPE = 255;
constexpr uint16_t FIXTURE_SOURCE_BLOCK = 1950;
constexpr uint16_t FIXTURE_SOURCE_OUTPUTS = 32;

class BlockFixture {
 public:
  // Clears the store and the type table, registers the source type; `registerTypes` then
  // enters the family under test.
  explicit BlockFixture(void (*registerTypes)() = nullptr);

  // Creates a block of the type in the given time group; asserts on failure.
  void create(uint16_t type, uint16_t block, uint16_t group = 1);

  // Wires analog (digital) input `input` (1-based) of the block to a source output and
  // sets that output's value; later calls change the value in place.
  void setAnalogInput(uint16_t block, uint16_t input, float value);
  void setDigitalInput(uint16_t block, uint16_t input, uint16_t value);
  // Wires analog input `input` of the block to analog output `output` of another block of
  // the store (both 1-based), in the wiring record and the input reference.
  void wireAnalogInput(uint16_t block, uint16_t input, uint16_t source, uint16_t output);

  // Runs the type's init handler, or its run handler n times, as the current block.
  void init(uint16_t block);
  void run(uint16_t block, int n = 1);

  float analogOut(uint16_t block, uint16_t output) const;
  uint16_t digitalOut(uint16_t block, uint16_t output) const;

  // Current and pending values of parameters, as the instance holds them.
  FbF32& floatParam(uint16_t block, uint16_t index, bool pending = false);
  uint16_t& wordParam(uint16_t block, uint16_t index, bool pending = false);
  uint16_t& wordValue(uint16_t block, uint16_t index, bool pending = false);
  FbLayout layout(uint16_t block) const;

  // A 4-byte value as the float it holds, current or pending.
  float longValue(uint16_t block, uint16_t index, bool pending = false) const;
  void setLongValue(uint16_t block, uint16_t index, float value, bool pending = false);

  // Wires analog input `input` (1-based) of the block to output `output` of another block
  // of the store, in the wiring record and the input reference alike.
  void connectAnalog(uint16_t block, uint16_t input, uint16_t source, uint16_t output);

 private:
  // The source {block, output} that feeds an input, wired on first use.
  std::pair<uint16_t, uint16_t> sourceFor(uint16_t block, uint16_t input, bool digital);
  unsigned used_[2] = {0, 0};  // source outputs handed out, analog and digital
  std::map<std::pair<uint32_t, uint16_t>, std::pair<uint16_t, uint16_t>> wired_;
};
