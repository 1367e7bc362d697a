// Block store: type table, instances built from templates, heaps, wiring and lookups.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "blocks/arith/arith.h"
#include "runtime/fb_store.h"
#include "support/block_fixture.h"

namespace {

// A test type with every group populated, to check the layout walk and the pending copies.
constexpr float kAllFloats[] = {1.5f, -2.0f, 3.25f};
constexpr uint16_t kAllWords[] = {7, 8};
constexpr uint32_t kAllLongs[] = {0x12345678u};
constexpr uint16_t kAllValues[] = {11, 12, 13};
constexpr const char* kAllTexts[] = {"ALLGRP", "second text 16ch"};
constexpr uint16_t kAllState[] = {0xBEEF, 0x0042};
constexpr uint16_t kAllType = 200;
constexpr FbTemplate kAllTemplate{
    .size = 4 + (1 + 2 * 2) + (1 + 3) + (1 + 2 * 4) + (1 + 2 * 1) + (1 + 4 * 3) + (1 + 2 * 2) +
            (1 + 4 * 1) + (1 + 2 * 3) + (1 + 8 * 2) + (1 + 2) + (1 + 5) + 2,
    .type = kAllType,
    .analogOutputs = 2,
    .digitalOutputs = 3,
    .analogInputs = 4,
    .digitalInputs = 1,
    .floatParams = kAllFloats,
    .wordParams = kAllWords,
    .longValues = kAllLongs,
    .wordValues = kAllValues,
    .texts = kAllTexts,
    .stateWords = kAllState,
    .workWords = 5,
};
void noop() {}

// A type with no outputs at all: never a valid source.
constexpr FbTemplate kSinkTemplate{.size = 4 + 1 + 1 + 3 + 3 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + 2,
                                   .type = 201,
                                   .analogInputs = 1,
                                   .digitalInputs = 1};

void registerTestTypes() {
  BLK_RegisterArithTypes();
  ASSERT_EQ(FB_RegisterType(kAllType, FB_TypeFromTemplate(&kAllTemplate, noop, noop, nullptr,
                                                          nullptr, FB_COMMON_BLOCK_RANGES, 0, 0, 0)),
            FB_OK);
  ASSERT_EQ(FB_RegisterType(201, FB_TypeFromTemplate(&kSinkTemplate, noop, noop, nullptr, nullptr,
                                                     FB_COMMON_BLOCK_RANGES, 0, 0, 0)),
            FB_OK);
}

class FbStoreTest : public ::testing::Test {
 protected:
  BlockFixture fx{registerTestTypes};

  // Wires input `i` of a block's wiring record to {src, out}.
  static void wire(uint16_t block, uint16_t i, uint16_t src, uint16_t out, bool digital = false) {
    uint16_t* w = FB_GetWiring(block);
    const uint16_t nA = w[FB_WIRE_ANALOG_COUNT];
    uint16_t* pairs = digital ? w + FB_WIRE_ANALOG_COUNT + 2 + 2 * nA : w + FB_WIRE_ANALOG_COUNT + 1;
    pairs[2 * (i - 1)] = src;
    pairs[2 * (i - 1) + 1] = out;
  }
};

TEST_F(FbStoreTest, AbsvInstanceHasTheDeviceLayout) {
  ASSERT_EQ(FB_CreateInstance(1, 100), FB_OK);
  const uint16_t* inst = FB_GetInstance(100);
  ASSERT_NE(inst, nullptr);
  EXPECT_EQ(inst - g_fbStore.instanceHeap, 1) << "the instance heap fills from word 1";
  EXPECT_EQ(g_fbStore.instanceFill, 1u + 37u);

  // Header, then the counted groups word by word.
  const std::vector<uint16_t> head(inst, inst + 14);
  const std::vector<uint16_t> expectHead = {100, 37, 1, 0,  // block, size, type, group
                                            1, 0, 0,        // 1 analog output (f32)
                                            0,              // no digital outputs
                                            1, 0, 0,        // 1 analog input reference
                                            0,              // no digital inputs
                                            2, 0};          // 2 float parameters ...
  EXPECT_EQ(head, expectHead);

  FbLayout L = fx.layout(100);
  EXPECT_EQ(L.analogOutputs, 1);
  EXPECT_EQ(L.analogInputs, 1);
  EXPECT_EQ(L.floatParams, 2);
  // Float defaults in the current and in the pending copy.
  EXPECT_EQ(L.fp[0].get(), 1.0f);
  EXPECT_EQ(L.fp[1].get(), 0.0f);
  EXPECT_EQ(L.fp[2].get(), 1.0f);
  EXPECT_EQ(L.fp[3].get(), 0.0f);
  EXPECT_EQ(L.texts, 1);
  EXPECT_EQ(std::string(L.text, 16), "ABSV            ");
  EXPECT_EQ(L.stateWords, 0);
  EXPECT_EQ(L.workWords, 0);
  EXPECT_EQ(reinterpret_cast<uint16_t*>(L.link) + 2, inst + 37) << "the link ends the instance";
  EXPECT_EQ(L.link->get(), 0u);

  // Wiring record: block, type, group, after-block, 1 analog pair, 0 digital; end word.
  const uint16_t* w = FB_GetWiring(100);
  const std::vector<uint16_t> wiring(w, w + 9);
  EXPECT_EQ(wiring, (std::vector<uint16_t>{100, 1, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(g_fbStore.wiringFill, 8u);
}

TEST_F(FbStoreTest, EveryGroupGetsDefaultsAndPendingCopies) {
  ASSERT_EQ(FB_CreateInstance(kAllType, 300), FB_OK);
  FbLayout L = fx.layout(300);
  EXPECT_EQ(L.size, kAllTemplate.size);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(L.fp[i].get(), kAllFloats[i]);
    EXPECT_EQ(L.fp[3 + i].get(), kAllFloats[i]) << "pending float " << i;
    EXPECT_EQ(L.wv[i], kAllValues[i]);
    EXPECT_EQ(L.wv[3 + i], kAllValues[i]);
  }
  EXPECT_EQ(L.wp[0], 7);
  EXPECT_EQ(L.wp[3], 8);
  EXPECT_EQ(L.lv[0].get(), 0x12345678u);
  EXPECT_EQ(L.lv[1].get(), 0x12345678u);
  EXPECT_EQ(std::string(L.text, 32), "ALLGRP          second text 16ch");
  EXPECT_EQ(L.state[0], 0xBEEF);
  EXPECT_EQ(L.state[1], 0x0042);
  EXPECT_EQ(L.workWords, 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(L.work[i], 0);

  // The typed lookups agree with the layout; pending copies lie n values further.
  FbF32* f = nullptr;
  ASSERT_EQ(FB_GetFloatParamPtr(300, 3, &f), 1);
  EXPECT_EQ(f->get(), 3.25f);
  EXPECT_EQ(f[3].get(), 3.25f);
  uint16_t* w = nullptr;
  ASSERT_EQ(FB_GetWordParamPtr(300, 2, &w), 1);
  EXPECT_EQ(w[0], 8);
  EXPECT_EQ(w[2], 8);
  FbU32* l = nullptr;
  ASSERT_EQ(FB_GetLongParamPtr(300, 1, &l), 1);
  EXPECT_EQ(l[1].get(), 0x12345678u);
  char* t = nullptr;
  ASSERT_EQ(FB_GetTextParamPtr(300, 2, &t), 1);
  EXPECT_EQ(std::string(t, 16), "second text 16ch");
}

TEST_F(FbStoreTest, FullHeapsRefuseTheBlockAndChangeNothing) {
  struct Case {
    const char* what;
    uint32_t instanceFill;
    uint32_t wiringFill;
    uint8_t expect;
  } cases[] = {
      {"instance heap at 119963 (+37 = 120000)", 119963, 0, FB_ERR_NO_ROOM},
      {"instance heap at 119962 (+37 = 119999)", 119962, 0, FB_OK},
      {"wiring heap at 39992 (+8 = 40000)", 1, 39992, FB_ERR_NO_ROOM},
      {"wiring heap at 39991 (+8 = 39999)", 1, 39991, FB_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FB_ClearStore();
    g_fbStore.instanceFill = c.instanceFill;
    g_fbStore.wiringFill = c.wiringFill;
    std::vector<uint16_t> heapBefore(std::begin(g_fbStore.instanceHeap),
                                     std::end(g_fbStore.instanceHeap));
    EXPECT_EQ(FB_CreateInstance(1, 100), c.expect);
    if (c.expect == FB_ERR_NO_ROOM) {
      EXPECT_EQ(FB_GetInstance(100), nullptr);
      EXPECT_EQ(FB_GetWiring(100), nullptr);
      EXPECT_EQ(g_fbStore.instanceFill, c.instanceFill);
      EXPECT_EQ(g_fbStore.wiringFill, c.wiringFill);
      EXPECT_TRUE(std::equal(heapBefore.begin(), heapBefore.end(), g_fbStore.instanceHeap));
    } else {
      EXPECT_NE(FB_GetInstance(100), nullptr);
    }
  }
}

TEST_F(FbStoreTest, BadCreateRequestsGetTheirCodes) {
  struct Case {
    uint16_t type;
    uint16_t block;
    uint8_t expect;
  } cases[] = {
      {1, 0, FB_ERR_NO_BLOCK},     {1, 1951, FB_ERR_NO_BLOCK}, {1, 0xFFFF, FB_ERR_NO_BLOCK},
      {4, 100, FB_ERR_UNKNOWN_ID}, {256, 100, FB_ERR_UNKNOWN_ID}, {0xFFFF, 100, FB_ERR_UNKNOWN_ID},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FB_CreateInstance(c.type, c.block), c.expect) << c.type << "/" << c.block;
  }
  EXPECT_EQ(g_fbStore.instanceFill, 1u);
  ASSERT_EQ(FB_CreateInstance(1, 100), FB_OK);
  EXPECT_EQ(FB_CreateInstance(1, 100), FB_ERR_NOT_NOW) << "an existing block is not built twice";
  EXPECT_EQ(g_fbStore.instanceFill, 38u);
}

TEST_F(FbStoreTest, RegistrationRefusesInconsistentRows) {
  FbTypeRecord good = FB_TypeFromTemplate(&kAllTemplate, noop, noop, nullptr, nullptr,
                                          FB_COMMON_BLOCK_RANGES, 0, 0, 0);
  EXPECT_EQ(FB_RegisterType(256, good), FB_ERR_UNKNOWN_ID);
  EXPECT_EQ(FB_RegisterType(kAllType + 1, good), FB_ERR_UNKNOWN_ID) << "template of another type";
  FbTypeRecord badCount = good;
  badCount.analogInputs = 5;
  EXPECT_EQ(FB_RegisterType(kAllType, badCount), FB_ERR_UNKNOWN_ID);
  FbTemplate wrongSize = kAllTemplate;
  wrongSize.size = static_cast<uint16_t>(kAllTemplate.size - 1);
  FbTypeRecord badSize = good;
  badSize.tmpl = &wrongSize;
  EXPECT_EQ(FB_RegisterType(kAllType, badSize), FB_ERR_UNKNOWN_ID);
  EXPECT_EQ(FB_GetType(999), nullptr);
  EXPECT_EQ(FB_GetType(4), nullptr) << "a row without run handler is not in use";
}

TEST_F(FbStoreTest, InputsWiredToZeroZeroReadTheSharedZero) {
  ASSERT_EQ(FB_CreateInstance(1, 100), FB_OK);
  ASSERT_EQ(FB_CreateInstance(201, 101), FB_OK);
  // Before any resolution a new reference already reads the shared zero.
  FbRef* ref = nullptr;
  ASSERT_EQ(FB_GetAnalogInputRef(100, 1, &ref), 1);
  EXPECT_EQ(FB_ReadAnalogRef(*ref), 0.0f);
  ASSERT_EQ(FB_ResolveConnections(), 0);
  EXPECT_EQ(ref->get(), FB_REF_ZERO);
  EXPECT_EQ(FB_ReadAnalogRef(*ref), 0.0f);
  FbRef* dref = nullptr;
  ASSERT_EQ(FB_GetDigitalInputRef(101, 1, &dref), 1);
  EXPECT_EQ(FB_ReadDigitalRef(*dref), 0);

  // Running a block never changes what the unconnected inputs read.
  fx.run(100, 3);
  EXPECT_EQ(FB_ReadAnalogRef(*ref), 0.0f);
  EXPECT_EQ(g_fbUnconnectedFloat, 0.0f);
}

TEST_F(FbStoreTest, ResolvedInputsFollowTheirSources) {
  ASSERT_EQ(FB_CreateInstance(1, 100), FB_OK);
  ASSERT_EQ(FB_CreateInstance(kAllType, 300), FB_OK);
  ASSERT_EQ(FB_CreateInstance(201, 101), FB_OK);
  wire(100, 1, 300, 2);
  wire(101, 1, 300, 1);
  wire(101, 1, 300, 3, /*digital=*/true);
  ASSERT_EQ(FB_ResolveConnections(), 0);
  FbLayout src = fx.layout(300);
  src.ao[1] = -4.5f;
  src.dout[2] = 77;
  FbRef* a = nullptr;
  FbRef* d = nullptr;
  ASSERT_EQ(FB_GetAnalogInputRef(100, 1, &a), 1);
  ASSERT_EQ(FB_GetDigitalInputRef(101, 1, &d), 1);
  EXPECT_EQ(FB_ReadAnalogRef(*a), -4.5f);
  EXPECT_EQ(FB_ReadDigitalRef(*d), 77);
  fx.run(100);
  EXPECT_EQ(fx.analogOut(100, 1), 4.5f);
}

TEST_F(FbStoreTest, InvalidWiringNamesTheFirstFaultyBlock) {
  struct Case {
    const char* what;
    uint16_t src;
    uint16_t out;
    bool digital;
  } cases[] = {
      {"missing source block", 555, 1, false},
      {"output 0 of an existing block", 300, 0, false},
      {"output beyond the source's count", 300, 3, false},
      {"{0, o} with o not 0", 0, 1, false},
      {"a type without analog outputs", 101, 1, false},
      {"source block above 1950", 1951, 1, false},
      {"digital output beyond the count", 300, 4, true},
      {"a type without digital outputs", 100, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FB_ClearStore();
    ASSERT_EQ(FB_CreateInstance(1, 100), FB_OK);
    ASSERT_EQ(FB_CreateInstance(201, 101), FB_OK);
    ASSERT_EQ(FB_CreateInstance(201, 102), FB_OK);
    ASSERT_EQ(FB_CreateInstance(kAllType, 300), FB_OK);
    wire(102, 1, c.src, c.out, c.digital);  // block 102 is faulty
    wire(101, 1, 300, 1);                   // block 101 before it is fine
    EXPECT_EQ(FB_ResolveConnections(), 102);
    FbRef* ok = nullptr;
    ASSERT_EQ(FB_GetAnalogInputRef(101, 1, &ok), 1);
    EXPECT_NE(ok->get(), FB_REF_ZERO) << "blocks before the faulty one are resolved";
  }
}

TEST_F(FbStoreTest, LookupsOutsideTheCountsReturnZeroAndLeaveTheOutput) {
  ASSERT_EQ(FB_CreateInstance(kAllType, 300), FB_OK);
  struct Case {
    const char* what;
    uint32_t block;
    uint32_t index;
  } cases[] = {
      {"index 0", 300, 0},       {"count + 1", 300, 99},     {"missing block", 301, 1},
      {"block 0", 0, 1},         {"block above 1950", 4000, 1},
  };
  const uint32_t counts[] = {2, 3, 4, 1, 3, 2, 1, 3, 2};  // per lookup, in the order below
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Each lookup, with a sentinel output that must survive.
    auto sentinel = reinterpret_cast<void*>(0x1234);
    FbF32* f = static_cast<FbF32*>(sentinel);
    uint16_t* w = static_cast<uint16_t*>(sentinel);
    FbRef* r = static_cast<FbRef*>(sentinel);
    FbU32* l = static_cast<FbU32*>(sentinel);
    char* t = static_cast<char*>(sentinel);
    // "count + 1" asks for one past each group's own count.
    int k = 0;
    auto beyond = [&](uint32_t n) { return c.index == 99 ? n + 1 : c.index; };
    EXPECT_EQ(FB_GetAnalogOutputPtr(c.block, beyond(counts[k++]), &f), 0);
    EXPECT_EQ(FB_GetDigitalOutputPtr(c.block, beyond(counts[k++]), &w), 0);
    EXPECT_EQ(FB_GetAnalogInputRef(c.block, beyond(counts[k++]), &r), 0);
    EXPECT_EQ(FB_GetDigitalInputRef(c.block, beyond(counts[k++]), &r), 0);
    EXPECT_EQ(FB_GetFloatParamPtr(c.block, beyond(counts[k++]), &f), 0);
    EXPECT_EQ(FB_GetWordParamPtr(c.block, beyond(counts[k++]), &w), 0);
    EXPECT_EQ(FB_GetLongParamPtr(c.block, beyond(counts[k++]), &l), 0);
    EXPECT_EQ(FB_GetWordValuePtr(c.block, beyond(counts[k++]), &w), 0);
    EXPECT_EQ(FB_GetTextParamPtr(c.block, beyond(counts[k++]), &t), 0);
    EXPECT_EQ(static_cast<void*>(f), sentinel);
    EXPECT_EQ(static_cast<void*>(w), sentinel);
    EXPECT_EQ(static_cast<void*>(r), sentinel);
    EXPECT_EQ(static_cast<void*>(l), sentinel);
    EXPECT_EQ(static_cast<void*>(t), sentinel);
  }
  // The last valid index of each group succeeds.
  FbF32* f = nullptr;
  EXPECT_EQ(FB_GetAnalogOutputPtr(300, 2, &f), 1);
  char* t = nullptr;
  EXPECT_EQ(FB_GetTextParamPtr(300, 2, &t), 1);
}

TEST_F(FbStoreTest, HandlesOutsideTheHeapReadTheSharedValues) {
  const struct {
    uint32_t handle;
    float analog;
    uint16_t digital;
  } cases[] = {
      {FB_REF_ZERO, 0.0f, 0},           {FB_REF_ONE, 1.0f, 1},
      {FB_REF_POS_MAX, 1.5e37f, 0},     {FB_REF_NEG_MAX, -1.5e37f, 0},
      {FB_INSTANCE_HEAP_WORDS, 0.0f, 0}, {0x7FFFFFFFu, 0.0f, 0},
      {FB_INSTANCE_HEAP_WORDS - 1, 0.0f, g_fbStore.instanceHeap[FB_INSTANCE_HEAP_WORDS - 1]},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FB_ReadAnalogRef(c.handle), c.analog) << c.handle;
    EXPECT_EQ(FB_ReadDigitalRef(c.handle), c.digital) << c.handle;
  }
}

TEST_F(FbStoreTest, CorruptCountsAreNotWalkedPastTheInstance) {
  ASSERT_EQ(FB_CreateInstance(1, 100), FB_OK);
  ASSERT_EQ(FB_CreateInstance(1, 101), FB_OK);
  uint16_t* inst = FB_GetInstance(100);
  inst[FB_HDR_WORDS] = 5000;  // analog-output count far beyond the size
  FbLayout L;
  EXPECT_FALSE(FB_GetLayout(100, &L));
  FbF32* f = nullptr;
  EXPECT_EQ(FB_GetAnalogOutputPtr(100, 3000, &f), 0);
  EXPECT_EQ(f, nullptr);
  EXPECT_EQ(FB_ResolveConnections(), 100);
}

TEST(FwMem, CopyAndFillReturnTheDestination) {
  char buf[8] = "abcdefg";
  EXPECT_EQ(FW_MemCopy(buf + 1, buf, 4), buf + 1);
  EXPECT_STREQ(buf, "aabcdfg") << "overlapping copies keep the source bytes";
  EXPECT_EQ(FW_MemSet(buf, 'x', 3), buf);
  EXPECT_STREQ(buf, "xxxcdfg");
  EXPECT_EQ(FW_MemCopy(buf, nullptr, 0), buf);
}

}  // namespace
