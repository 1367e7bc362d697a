// Deferred parameter calls, the event ring and the step-code ring.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "blocks/arith/arith.h"
#include "runtime/fw_defer.h"
#include "support/block_fixture.h"

namespace {

// What a handler saw of its request.
struct Seen {
  uint16_t block;
  int16_t id;
  uint8_t data[4];
};
std::vector<Seen> g_seen;
uint8_t g_answer = 0;

Seen decode(const FbParamRequest* request) {
  const auto* b = reinterpret_cast<const uint8_t*>(request);
  Seen s;
  s.block = static_cast<uint16_t>(b[0] | b[1] << 8);
  s.id = static_cast<int16_t>(b[2] | b[3] << 8);
  std::memcpy(s.data, b + 4, 4);
  return s;
}

uint8_t recordingHandler(FbParamRequest* request, uint16_t* badIndex) {
  *badIndex = 0;
  g_seen.push_back(decode(request));
  return g_answer;
}

// Fails the request with id 1001.
uint8_t failingOn1001(FbParamRequest* request, uint16_t* badIndex) {
  const Seen s = decode(request);
  g_seen.push_back(s);
  *badIndex = s.id == 1001 ? 1 : 0;
  return s.id == 1001 ? FB_ERR_LIMITS : 0;
}

// Posts itself again each time it runs.
uint8_t repostingHandler(FbParamRequest* request, uint16_t*) {
  g_seen.push_back(decode(request));
  FW_PostDeferredCall(0, 7, nullptr, 0, repostingHandler, nullptr);
  return 0;
}

class DeferTest : public ::testing::Test {
 protected:
  BlockFixture fx{BLK_RegisterArithTypes};
  void SetUp() override {
    FW_ClearDeferredCalls();
    g_seen.clear();
    g_answer = 0;
    fx.create(1, 100);
  }
  void TearDown() override { FW_ClearDeferredCalls(); }
};

TEST_F(DeferTest, ThirtyThirdPostIsRefused) {
  for (int i = 0; i < 32; ++i) {
    ASSERT_EQ(FW_PostDeferredCall(100, static_cast<int16_t>(1000 + i), nullptr, 0, recordingHandler,
                                  nullptr),
              FW_POST_OK)
        << i;
  }
  EXPECT_EQ(FW_PostDeferredCall(100, 1, nullptr, 0, recordingHandler, nullptr), FW_POST_FULL);
  EXPECT_EQ(g_fwDeferredCalls.postPos, 0);
  // All 32 run in order in one tick; then the ring takes posts again.
  EXPECT_EQ(FW_RunDeferredCalls(), FW_DEFER_EMPTY);
  ASSERT_EQ(g_seen.size(), 32u);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(g_seen[i].id, 1000 + i);
  EXPECT_EQ(FW_PostDeferredCall(100, 1, nullptr, 0, recordingHandler, nullptr), FW_POST_OK);
}

TEST_F(DeferTest, ShortValueArrivesWithTheOtherDataBytesZero) {
  const uint8_t value[2] = {0x34, 0x12};
  uint8_t result = 0;
  ASSERT_EQ(FW_PostDeferredCall(100, 1250, value, 2, recordingHandler, &result), FW_POST_OK);
  EXPECT_EQ(result, FW_DEFER_EMPTY) << "the result byte shows the request has not run";
  g_answer = 0;
  EXPECT_EQ(FW_RunDeferredCall(), 0);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].block, 100);
  EXPECT_EQ(g_seen[0].id, 1250);
  const uint8_t expect[4] = {0x34, 0x12, 0, 0};
  EXPECT_EQ(std::memcmp(g_seen[0].data, expect, 4), 0);
  EXPECT_EQ(result, 0);
  // Negative ids (reads) and four bytes pass unchanged.
  const float f = 2.5f;
  ASSERT_EQ(FW_PostDeferredCall(100, -1000, &f, 4, recordingHandler, &result), FW_POST_OK);
  g_answer = 'l';
  EXPECT_EQ(FW_RunDeferredCall(), 'l');
  EXPECT_EQ(g_seen[1].id, -1000);
  EXPECT_EQ(std::memcmp(g_seen[1].data, &f, 4), 0);
  EXPECT_EQ(result, 'l');
}

TEST_F(DeferTest, FailingRequestLeavesTheRestForTheNextTick) {
  uint8_t results[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(FW_PostDeferredCall(100, static_cast<int16_t>(1000 + i), nullptr, 0, failingOn1001,
                                  &results[i]),
              FW_POST_OK);
  }
  // First tick: the first and the second run; the second fails.
  EXPECT_EQ(FW_RunDeferredCalls(), FB_ERR_LIMITS);
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(results[0], 0);
  EXPECT_EQ(results[1], FB_ERR_LIMITS);
  EXPECT_EQ(results[2], FW_DEFER_EMPTY);
  // Next tick: the third.
  EXPECT_EQ(FW_RunDeferredCalls(), FW_DEFER_EMPTY);
  ASSERT_EQ(g_seen.size(), 3u);
  EXPECT_EQ(g_seen[2].id, 1002);
  EXPECT_EQ(results[2], 0);
}

TEST_F(DeferTest, BadPostsAreRefusedAndChangeNothing) {
  const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  uint8_t result = 77;
  EXPECT_EQ(FW_PostDeferredCall(100, 1000, data, 5, recordingHandler, &result), FW_POST_BAD);
  EXPECT_EQ(FW_PostDeferredCall(100, 1000, data, 2, nullptr, &result), FW_POST_BAD);
  EXPECT_EQ(FW_PostDeferredCall(100, 1000, nullptr, 2, recordingHandler, &result), FW_POST_BAD);
  EXPECT_EQ(result, 77);
  EXPECT_EQ(g_fwDeferredCalls.postPos, 0);
  EXPECT_EQ(FW_RunDeferredCall(), FW_DEFER_EMPTY);
}

TEST_F(DeferTest, RequestForAMissingBlockDoesNotReachItsHandler) {
  uint8_t results[3] = {};
  ASSERT_EQ(FW_PostDeferredCall(0, 500, nullptr, 0, recordingHandler, &results[0]), FW_POST_OK);
  ASSERT_EQ(FW_PostDeferredCall(101, 1000, nullptr, 0, recordingHandler, &results[1]), FW_POST_OK);
  ASSERT_EQ(FW_PostDeferredCall(2000, 1000, nullptr, 0, recordingHandler, &results[2]), FW_POST_OK);
  EXPECT_EQ(FW_RunDeferredCall(), 0) << "block 0 is the system data";
  EXPECT_EQ(FW_RunDeferredCall(), FB_ERR_NO_BLOCK);
  EXPECT_EQ(FW_RunDeferredCall(), FB_ERR_NO_BLOCK);
  EXPECT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(results[1], FB_ERR_NO_BLOCK);
  EXPECT_EQ(results[2], FB_ERR_NO_BLOCK);
}

TEST_F(DeferTest, ClearedRingRunsNothing) {
  uint8_t result = 0;
  ASSERT_EQ(FW_PostDeferredCall(100, 1000, nullptr, 0, recordingHandler, &result), FW_POST_OK);
  FW_ClearDeferredCalls();
  EXPECT_EQ(FW_RunDeferredCalls(), FW_DEFER_EMPTY);
  EXPECT_TRUE(g_seen.empty());
}

TEST_F(DeferTest, HandlerThatPostsAgainDoesNotHoldTheTick) {
  ASSERT_EQ(FW_PostDeferredCall(0, 7, nullptr, 0, repostingHandler, nullptr), FW_POST_OK);
  EXPECT_EQ(FW_RunDeferredCalls(), 0);
  EXPECT_EQ(g_seen.size(), FW_DEFER_ENTRIES);
}

TEST(EventRing, HundredAndFirstEventOverwritesTheFirst) {
  FW_ClearEvents();
  for (uint32_t i = 0; i < 101; ++i) FW_PushEvent(static_cast<uint16_t>(i + 1), 3, 0x01020300u + i);
  uint16_t code = 0;
  uint8_t kind = 0;
  uint32_t value = 0;
  ASSERT_TRUE(FW_GetEvent(0, &code, &kind, &value));
  EXPECT_EQ(code, 101);
  EXPECT_EQ(value, 0x01020300u + 100);
  ASSERT_TRUE(FW_GetEvent(1, &code, &kind, &value));
  EXPECT_EQ(code, 2);
  EXPECT_EQ(kind, 3);
  EXPECT_EQ(g_fwEvents.writeIndex, 1);
  // The stored form: u32 value, u16 code, u8 kind, little-endian.
  const uint8_t expect[7] = {0x01, 0x03, 0x02, 0x01, 2, 0, 3};
  EXPECT_EQ(std::memcmp(g_fwEvents.entries[1], expect, 7), 0);
  EXPECT_FALSE(FW_GetEvent(100, &code, &kind, &value));
}

TEST(StepCodeRing, WrapsAfterTwoHundredAndClearsTheSubCode) {
  FW_ClearStepCodes();
  g_fwStepCodes.subCode = 9;
  FW_PostStepCode(402);
  EXPECT_EQ(g_fwStepCodes.entries[0].code, 402);
  EXPECT_EQ(g_fwStepCodes.entries[0].subCode, 9);
  EXPECT_EQ(g_fwStepCodes.subCode, 0);
  for (int i = 1; i < 200; ++i) FW_PostStepCode(static_cast<uint16_t>(i));
  FW_PostStepCode(71);
  EXPECT_EQ(g_fwStepCodes.entries[0].code, 71);
  EXPECT_EQ(g_fwStepCodes.entries[0].subCode, 0);
  EXPECT_EQ(g_fwStepCodes.entries[199].code, 199);
  FW_ClearStepCodes();
  EXPECT_EQ(g_fwStepCodes.entries[199].code, 0);
  EXPECT_EQ(g_fwStepCodes.writeIndex, 0);
}

}  // namespace
