#include "support/block_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void sourceRun() {}

constexpr FbTemplate kSourceTemplate{
    .size = 4 + (1 + 2 * FIXTURE_SOURCE_OUTPUTS) + (1 + FIXTURE_SOURCE_OUTPUTS) + 1 + 1 + 1 + 1 +
            1 + 1 + 1 + 1 + 1 + 2,
    .type = FIXTURE_SOURCE_TYPE,
    .analogOutputs = FIXTURE_SOURCE_OUTPUTS,
    .digitalOutputs = FIXTURE_SOURCE_OUTPUTS,
};

void runAs(uint16_t block, bool init) {
  const uint16_t* inst = FB_GetInstance(block);
  ASSERT_NE(inst, nullptr) << "block " << block << " does not exist";
  const FbTypeRecord* rec = FB_GetType(inst[FB_HDR_TYPE]);
  ASSERT_NE(rec, nullptr);
  g_fbStore.currentBlock = block;
  if (init) {
    if (rec->init) rec->init();
  } else {
    rec->run();
  }
}

}  // namespace

BlockFixture::BlockFixture(void (*registerTypes)()) {
  FB_ClearTypeTable();
  FB_ClearStore();
  EXPECT_EQ(FB_RegisterType(FIXTURE_SOURCE_TYPE,
                            FB_TypeFromTemplate(&kSourceTemplate, sourceRun, nullptr, nullptr,
                                                nullptr, FB_COMMON_BLOCK_RANGES, 0, 0, 0)),
            FB_OK);
  if (registerTypes) registerTypes();
}

void BlockFixture::create(uint16_t type, uint16_t block, uint16_t group) {
  ASSERT_EQ(FB_CreateInstance(type, block), FB_OK) << "type " << type << " block " << block;
  g_fbStore.list[block].instance[FB_HDR_GROUP] = group;
  g_fbStore.list[block].wiring[FB_WIRE_GROUP] = group;
}

void BlockFixture::wireAnalogInput(uint16_t block, uint16_t input, uint16_t source,
                                   uint16_t output) {
  uint16_t* wire = FB_GetWiring(block);
  ASSERT_NE(wire, nullptr) << "block " << block;
  ASSERT_TRUE(input >= 1 && input <= wire[FB_WIRE_ANALOG_COUNT]) << "analog input " << input;
  uint16_t* pair = wire + FB_WIRE_ANALOG_COUNT + 1 + 2 * (input - 1);
  pair[0] = source;
  pair[1] = output;
  uint32_t handle = 0;
  FbRef* ref = nullptr;
  ASSERT_EQ(FB_AnalogOutputHandle(source, output, &handle), 1) << source << "." << output;
  ASSERT_EQ(FB_GetAnalogInputRef(block, input, &ref), 1);
  *ref = handle;
  wired_.erase(std::make_pair(uint32_t{block}, input));
}

std::pair<uint16_t, uint16_t> BlockFixture::sourceFor(uint16_t block, uint16_t input,
                                                      bool digital) {
  const auto key = std::make_pair(uint32_t{block} | (digital ? 0x10000u : 0u), input);
  if (auto it = wired_.find(key); it != wired_.end()) return it->second;
  unsigned& used = used_[digital ? 1 : 0];
  const auto srcBlock = static_cast<uint16_t>(FIXTURE_SOURCE_BLOCK - used / FIXTURE_SOURCE_OUTPUTS);
  const auto srcOutput = static_cast<uint16_t>(used % FIXTURE_SOURCE_OUTPUTS + 1);
  ++used;
  if (!FB_GetInstance(srcBlock)) {
    EXPECT_EQ(FB_CreateInstance(FIXTURE_SOURCE_TYPE, srcBlock), FB_OK);
  }
  // Record the pair in the wiring record too, so that FB_ResolveConnections agrees.
  uint16_t* wire = FB_GetWiring(block);
  const uint16_t nA = wire[FB_WIRE_ANALOG_COUNT];
  uint16_t* pairs = digital ? wire + FB_WIRE_ANALOG_COUNT + 2 + 2 * nA
                            : wire + FB_WIRE_ANALOG_COUNT + 1;
  pairs[2 * (input - 1)] = srcBlock;
  pairs[2 * (input - 1) + 1] = srcOutput;
  uint32_t handle = 0;
  FbRef* ref = nullptr;
  if (digital) {
    EXPECT_EQ(FB_DigitalOutputHandle(srcBlock, srcOutput, &handle), 1);
    EXPECT_EQ(FB_GetDigitalInputRef(block, input, &ref), 1) << "digital input " << input;
  } else {
    EXPECT_EQ(FB_AnalogOutputHandle(srcBlock, srcOutput, &handle), 1);
    EXPECT_EQ(FB_GetAnalogInputRef(block, input, &ref), 1) << "analog input " << input;
  }
  if (ref) *ref = handle;
  return wired_[key] = {srcBlock, srcOutput};
}

void BlockFixture::setAnalogInput(uint16_t block, uint16_t input, float value) {
  const auto [src, out] = sourceFor(block, input, false);
  FbF32* p = nullptr;
  ASSERT_EQ(FB_GetAnalogOutputPtr(src, out, &p), 1);
  *p = value;
}

void BlockFixture::setDigitalInput(uint16_t block, uint16_t input, uint16_t value) {
  const auto [src, out] = sourceFor(block, input, true);
  uint16_t* p = nullptr;
  ASSERT_EQ(FB_GetDigitalOutputPtr(src, out, &p), 1);
  *p = value;
}

void BlockFixture::init(uint16_t block) { runAs(block, true); }

void BlockFixture::run(uint16_t block, int n) {
  for (int i = 0; i < n; ++i) runAs(block, false);
}

float BlockFixture::analogOut(uint16_t block, uint16_t output) const {
  FbF32* p = nullptr;
  EXPECT_EQ(FB_GetAnalogOutputPtr(block, output, &p), 1) << "analog output " << output;
  return p ? p->get() : 0.0f;
}

uint16_t BlockFixture::digitalOut(uint16_t block, uint16_t output) const {
  uint16_t* p = nullptr;
  EXPECT_EQ(FB_GetDigitalOutputPtr(block, output, &p), 1) << "digital output " << output;
  return p ? *p : uint16_t{0};
}

FbLayout BlockFixture::layout(uint16_t block) const {
  FbLayout L;
  EXPECT_TRUE(FB_GetLayout(block, &L)) << "block " << block;
  return L;
}

FbF32& BlockFixture::floatParam(uint16_t block, uint16_t index, bool pending) {
  FbLayout L = layout(block);
  EXPECT_TRUE(index >= 1 && index <= L.floatParams) << "float parameter " << index;
  return L.fp[index - 1 + (pending ? L.floatParams : 0)];
}

uint16_t& BlockFixture::wordParam(uint16_t block, uint16_t index, bool pending) {
  FbLayout L = layout(block);
  EXPECT_TRUE(index >= 1 && index <= L.wordParams) << "word parameter " << index;
  return L.wp[index - 1 + (pending ? L.wordParams : 0)];
}

uint16_t& BlockFixture::wordValue(uint16_t block, uint16_t index, bool pending) {
  FbLayout L = layout(block);
  EXPECT_TRUE(index >= 1 && index <= L.wordValues) << "word value " << index;
  return L.wv[index - 1 + (pending ? L.wordValues : 0)];
}

float BlockFixture::longValue(uint16_t block, uint16_t index, bool pending) const {
  FbLayout L = layout(block);
  EXPECT_TRUE(index >= 1 && index <= L.longValues) << "4-byte value " << index;
  const uint32_t bits = L.lv[index - 1 + (pending ? L.longValues : 0)];
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

void BlockFixture::setLongValue(uint16_t block, uint16_t index, float value, bool pending) {
  FbLayout L = layout(block);
  ASSERT_TRUE(index >= 1 && index <= L.longValues) << "4-byte value " << index;
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  L.lv[index - 1 + (pending ? L.longValues : 0)] = bits;
}

void BlockFixture::connectAnalog(uint16_t block, uint16_t input, uint16_t source,
                                 uint16_t output) {
  uint16_t* wire = FB_GetWiring(block);
  ASSERT_NE(wire, nullptr) << "block " << block;
  ASSERT_TRUE(input >= 1 && input <= wire[FB_WIRE_ANALOG_COUNT]) << "analog input " << input;
  uint16_t* pair = wire + FB_WIRE_ANALOG_COUNT + 1 + 2 * (input - 1);
  pair[0] = source;
  pair[1] = output;
  uint32_t handle = 0;
  FbRef* ref = nullptr;
  ASSERT_EQ(FB_AnalogOutputHandle(source, output, &handle), 1) << source << "." << output;
  ASSERT_EQ(FB_GetAnalogInputRef(block, input, &ref), 1);
  *ref = handle;
  wired_.erase(std::make_pair(uint32_t{block}, input));
}
