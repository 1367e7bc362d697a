// Every block type of the library keeps its analog outputs finite and within +-1.5e37,
// whatever its analog inputs carry (NaN and infinities included), with its parameters at
// their defaults or at either end of their limits and every choice of its configuration
// words and word parameters.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "block_cases.h"
#include "runtime/fw_numeric.h"

namespace {

constexpr float kInputs[] = {
    std::numeric_limits<float>::quiet_NaN(),
    -std::numeric_limits<float>::quiet_NaN(),
    std::numeric_limits<float>::infinity(),
    -std::numeric_limits<float>::infinity(),
    std::numeric_limits<float>::max(),
    -std::numeric_limits<float>::max(),
    1.5e37f,
    -1.5e37f,
    std::numeric_limits<float>::denorm_min(),
    -std::numeric_limits<float>::denorm_min(),
    0.0f,
    -0.0f,
    -1.0f,
    36.71f,
    4294967296.0f,
};

// The float parameters of every type of the library share the range -29999..999999.
enum class ParamSet { Defaults, AllMinimum, AllMaximum, AllZero };
constexpr ParamSet kParamSets[] = {ParamSet::Defaults, ParamSet::AllMinimum,
                                   ParamSet::AllMaximum, ParamSet::AllZero};

// Configuration words are tried with every value up to this one.
constexpr uint16_t kMaxChoice = 6;

// Every type the library registers (the fixture's own signal source excluded).
std::vector<uint16_t> libraryTypes() {
  BlockFixture fx(BLK_RegisterAllTypes);
  std::vector<uint16_t> types;
  for (uint16_t t = 0; t < FB_TYPE_COUNT; ++t) {
    if (t != FIXTURE_SOURCE_TYPE && FB_GetType(t)) types.push_back(t);
  }
  return types;
}

// Inputs that link a block to another block rather than carry a value: wired to a signal
// source they switch the block off, so they stay unconnected here.
bool isLinkInput(uint16_t type, uint16_t input) {
  struct Link {
    uint16_t type, input;
  } constexpr kLinks[] = {{90, 10}, {91, 11}, {93, 10}};  // the controllers' `Casc`
  for (const Link& l : kLinks) {
    if (l.type == type && l.input == input) return true;
  }
  return false;
}

void applyParams(BlockFixture& fx, ParamSet set) {
  const FbLayout L = fx.layout(kBlock);
  if (set == ParamSet::Defaults) return;
  const float v = set == ParamSet::AllMinimum ? -29999.0f
                  : set == ParamSet::AllMaximum ? 999999.0f
                                                : 0.0f;
  for (uint16_t i = 1; i <= L.floatParams; ++i) {
    fx.floatParam(kBlock, i) = v;
    fx.floatParam(kBlock, i, true) = v;
  }
}

// One block with every analog input at `in` (or only input `only` at `in`, the others at
// 1.0) and the digital inputs alternating 1 and 0; Init, then a few cycles. Returns false
// (and reports) on the first output out of bounds.
bool runsBounded(uint16_t type, ParamSet set, uint16_t choice, float in, int only) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(type, kBlock);
  applyParams(fx, set);
  FbLayout L = fx.layout(kBlock);
  for (uint16_t i = 1; i <= L.wordValues; ++i) fx.wordValue(kBlock, i, true) = choice;
  for (uint16_t i = 1; i <= L.wordParams; ++i) {
    fx.wordParam(kBlock, i) = choice;
    fx.wordParam(kBlock, i, true) = choice;
  }
  for (uint16_t i = 1; i <= L.analogInputs; ++i) {
    if (isLinkInput(type, i)) continue;
    fx.setAnalogInput(kBlock, i, only == 0 || only == i ? in : 1.0f);
  }
  for (uint16_t i = 1; i <= L.digitalInputs; ++i) fx.setDigitalInput(kBlock, i, i % 2);
  fx.init(kBlock);
  for (int cycle = 0; cycle < 3; ++cycle) {
    fx.run(kBlock);
    for (uint16_t o = 1; o <= L.analogOutputs; ++o) {
      const float y = fx.analogOut(kBlock, o);
      if (!std::isfinite(y) || std::fabs(y) > FW_VALUE_MAX) {
        ADD_FAILURE() << "type " << type << " output " << o << " = " << y << " for input " << in
                      << " (input " << only << ", parameter set " << static_cast<int>(set)
                      << ", choice " << choice << ")";
        return false;
      }
    }
  }
  return true;
}

TEST(BoundedOutputs, EveryTypeForNaNInfinityAndExtremeInputs) {
  const std::vector<uint16_t> types = libraryTypes();
  ASSERT_GE(types.size(), 31u);
  for (uint16_t type : types) {
    BlockFixture probe(BLK_RegisterAllTypes);
    probe.create(type, kBlock);
    const FbLayout L = probe.layout(kBlock);
    const uint16_t choices = L.wordValues || L.wordParams ? kMaxChoice : 0;
    const int inputsAlone = L.analogInputs > 1 ? L.analogInputs : 0;
    for (ParamSet set : kParamSets) {
      if (set != ParamSet::Defaults && L.floatParams == 0) continue;
      for (uint16_t choice = 0; choice <= choices; ++choice) {
        for (float in : kInputs) {
          for (int only = 0; only <= inputsAlone; ++only) {
            if (!runsBounded(type, set, choice, in, only)) break;
          }
        }
      }
    }
  }
}

}  // namespace
