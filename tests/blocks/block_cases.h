// Helpers shared by the block tests: one block built in a fresh fixture from a row of a
// case table, and the warm-start flag set for the length of a scope.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "runtime/fb_param.h"
#include "runtime/fw_image.h"
#include "runtime/fw_mode.h"
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

// Word parameters as {1-based index, value}; written to the current and the pending copy.
using WordParams = std::vector<std::pair<uint16_t, uint16_t>>;

inline void setWordParams(BlockFixture& fx, uint16_t block, const WordParams& params) {
  for (const auto& [index, value] : params) {
    fx.wordParam(block, index) = value;
    fx.wordParam(block, index, true) = value;
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

// Sends a request through the parameter handler of the block's type row.
inline uint8_t sendParam(FbParamRequest r, uint16_t* bad) {
  const uint16_t* inst = FB_GetInstance(r.block());
  const FbTypeRecord* rec = inst ? FB_GetType(inst[FB_HDR_TYPE]) : nullptr;
  if (!rec || !rec->param) {
    ADD_FAILURE() << "no parameter handler for block " << r.block();
    return 0xFF;
  }
  return rec->param(&r, bad);
}

// Records the saves of applied parameters while it lives: {group, block, first, count}. The
// hook answers `answer` (1: nothing queued, as with a full write ring).
class SaveRecorder {
 public:
  SaveRecorder() {
    saves.clear();
    answer = 0;
    previous_ = FB_SetSaveHook([](FbSaveGroup g, uint16_t block, uint16_t first, uint16_t n) {
      saves.push_back({static_cast<int>(g), block, first, n});
      return answer;
    });
  }
  ~SaveRecorder() {
    FB_SetSaveHook(previous_);
    g_fwRunMode = FW_RUN_MODE_STOP;
  }
  SaveRecorder(const SaveRecorder&) = delete;
  SaveRecorder& operator=(const SaveRecorder&) = delete;

  static inline std::vector<std::array<int, 4>> saves;
  static inline uint8_t answer = 0;

 private:
  FbSaveHook previous_ = nullptr;
};

// A float parameter of a fresh block changed by a request while the device runs: the
// block's next run takes the change over and saves its float group once; a second change
// (to `other`) with a save hook that queues nothing keeps the flag, and the run after
// saves again.
inline void expectRunModeSave(uint16_t type, int16_t id, float value, float other) {
  SCOPED_TRACE(testing::Message() << "type " << type << " id " << id);
  BlockFixture fx(BLK_RegisterAllTypes);
  SaveRecorder rec;
  fx.create(type, kBlock);
  fx.init(kBlock);
  const uint16_t floats = fx.layout(kBlock).floatParams;
  const uint16_t k = static_cast<uint16_t>(id - FB_ID_FLOAT + 1);
  g_fwRunMode = FW_RUN_MODE_RUN;
  uint16_t bad = 99;
  ASSERT_EQ(sendParam(FB_FloatRequest(kBlock, id, value), &bad), FB_OK);
  EXPECT_NE(fx.floatParam(kBlock, k).get(), value) << "waits for the next run";
  EXPECT_EQ(g_fbPending.floats[kBlock], 1);
  fx.run(kBlock);
  EXPECT_EQ(fx.floatParam(kBlock, k).get(), value);
  const std::array<int, 4> save{static_cast<int>(FbSaveGroup::FloatParams), kBlock, 1, floats};
  EXPECT_EQ(rec.saves, (std::vector<std::array<int, 4>>{save}));
  EXPECT_EQ(g_fbPending.floats[kBlock], 0);
  fx.run(kBlock);
  EXPECT_EQ(rec.saves.size(), 1u) << "saved once";

  ASSERT_EQ(sendParam(FB_FloatRequest(kBlock, id, other), &bad), FB_OK);
  SaveRecorder::answer = 1;
  fx.run(kBlock);
  EXPECT_EQ(g_fbPending.floats[kBlock], 1) << "nothing queued: the flag stays";
  SaveRecorder::answer = 0;
  fx.run(kBlock);
  EXPECT_EQ(g_fbPending.floats[kBlock], 0);
  EXPECT_EQ(rec.saves, (std::vector<std::array<int, 4>>{save, save, save}));
}

// A request that is refused, sent through the parameter handler of the type's row to a
// fresh block kBlock: its result and bad index, and not one word of the instance changed.
struct RefusedRequest {
  const char* what;
  uint16_t type;
  FbParamRequest request;
  uint8_t result;
  uint16_t bad;
};

inline void expectRefusedChangesNothing(const RefusedRequest& c) {
  SCOPED_TRACE(c.what);
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(c.type, kBlock);
  const FbLayout L = fx.layout(kBlock);
  const std::vector<uint16_t> before(L.base, L.base + L.size);
  const FbTypeRecord* row = FB_GetType(c.type);
  ASSERT_TRUE(row && row->param);
  FbParamRequest r = c.request;
  uint16_t bad = 99;
  EXPECT_EQ(row->param(&r, &bad), c.result);
  EXPECT_EQ(bad, c.bad);
  EXPECT_EQ(std::vector<uint16_t>(L.base, L.base + L.size), before);
  EXPECT_EQ(g_fbPending.floats[kBlock] | g_fbPending.words[kBlock], 0);
}
