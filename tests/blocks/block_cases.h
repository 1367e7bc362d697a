// Helpers shared by the block tests: one block built in a fresh fixture from a row of a
// case table, and the warm-start flag set for the length of a scope.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "runtime/fw_image.h"
#include "blocks/register_all.h"
#include "support/block_fixture.h"

constexpr uint16_t kBlock = 100;

// Sets the warm-start flag while it lives; a cold start again afterwards.
struct WarmStart {
  explicit WarmStart(bool warm = true) { g_fwEng.warmStart = warm ? 1 : 0; }
  ~WarmStart() { g_fwEng.warmStart = 0; }
  WarmStart(const WarmStart&) = delete;
  WarmStart& operator=(const WarmStart&) = delete;
};

// Analog inputs by position; an empty entry leaves the input unconnected.
using Inputs = std::vector<std::optional<float>>;
// Float parameters as {1-based index, value}; written to the current and the pending copy.
using Params = std::vector<std::pair<uint16_t, float>>;

inline void setFloatParams(BlockFixture& fx, uint16_t block, const Params& params) {
  for (const auto& [index, value] : params) {
    fx.floatParam(block, index) = value;
    fx.floatParam(block, index, true) = value;
  }
}

inline void setAnalogInputs(BlockFixture& fx, uint16_t block, const Inputs& inputs) {
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (inputs[i]) fx.setAnalogInput(block, static_cast<uint16_t>(i + 1), *inputs[i]);
  }
}

// Builds block kBlock of the type, sets parameters and inputs, runs Init and then Run once;
// returns "Y 1".
inline float firstOutputAfterOneRun(uint16_t type, const Params& params, const Inputs& inputs) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(type, kBlock);
  setFloatParams(fx, kBlock, params);
  setAnalogInputs(fx, kBlock, inputs);
  fx.init(kBlock);
  fx.run(kBlock);
  return fx.analogOut(kBlock, 1);
}
