// Data-exchange blocks: the level-1 interface (L1READ, L1WRIT), the fieldbus card's records
// (DPREAD, DPWRIT) and the parameter mapping of MBDATA.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "block_cases.h"
#include "blocks/block_family.h"
#include "blocks/exchange/exchange.h"
#include "comm/com_card.h"
#include "comm/com_value.h"
#include "support/adapter_firmware.h"
#include "support/param_target.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A request through the block's own handler; the read answer and its length come back in it.
struct Answer {
  uint8_t result;
  FbParamRequest request;
};
Answer ask(FbParamRequest r) {
  uint16_t bad = 0;
  g_fbReadLength = 0;
  const FbParamHandler handler = BLK_ParamHandlerOf(r.block());
  EXPECT_NE(handler, nullptr) << "block " << r.block();
  const uint8_t result = handler ? handler(&r, &bad) : 0xFF;
  return {result, r};
}
float readFloat(uint16_t block, int16_t id) {
  const Answer a = ask(FbParamRequest(block, id));
  EXPECT_EQ(a.result, FB_OK) << "read " << id;
  EXPECT_EQ(g_fbReadLength, 4);
  return a.request.f32(FB_REQUEST_VALUE);
}
uint8_t write(uint16_t block, int16_t id, float v) {
  uint16_t bad = 0;
  return sendParam(FB_FloatRequest(block, id, v), &bad);
}

// =========================================================================================
// L1READ

TEST(L1Read, PacksItsDigitalInputsIntoTwoBytes) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_L1READ, 5);
  for (uint16_t d : {1, 3, 8}) fx.setDigitalInput(5, d, 1);
  fx.setDigitalInput(5, 12, 7);   // any non-zero value counts as 1
  fx.init(5);
  fx.run(5);
  const Answer a = ask(FbParamRequest(5, 0));
  EXPECT_EQ(a.result, FB_OK);
  EXPECT_EQ(g_fbReadLength, 1);
  EXPECT_EQ(a.request.u8(FB_REQUEST_VALUE), 5);
  const Answer b = ask(FbParamRequest(5, -1));
  EXPECT_EQ(b.request.u8(FB_REQUEST_VALUE), 2 | 32);
  // Init clears both bytes.
  fx.init(5);
  EXPECT_EQ(ask(FbParamRequest(5, 0)).request.u8(FB_REQUEST_VALUE), 0);
}

TEST(L1Read, ShowsItsAnalogInputsLimitedAbove) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_L1READ, 5);
  const float inputs[7] = {1.5e6f, -1.5e6f, 12.5f, 0, 0, 0, 999999.0f};
  for (uint16_t i = 0; i < 7; ++i) fx.setAnalogInput(5, i + 1, inputs[i]);
  fx.init(5);
  const float expected[7] = {999999.0f, -1.5e6f, 12.5f, 0, 0, 0, 999999.0f};
  for (int16_t i = 0; i < 7; ++i) EXPECT_EQ(readFloat(5, static_cast<int16_t>(-2 - i)), expected[i]);
  for (int16_t id : {-9, 1, 300, 1000, 4000}) {
    EXPECT_EQ(ask(FbParamRequest(5, id)).result, FB_ERR_UNKNOWN_ID) << id;
  }
}

// =========================================================================================
// L1WRIT

TEST(L1Writ, AWrittenMaskReachesTheOutputsInTheRunAfterTheNext) {
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_L1WRIT, 3);
  fx.init(3);
  ASSERT_EQ(write(3, L1WRIT_ID_MASK, 5.0f), FB_OK);
  ASSERT_EQ(write(3, L1WRIT_ID_FLOAT1 + 7, -12.5f), FB_OK);
  fx.run(3);
  EXPECT_EQ(fx.digitalOut(3, 1), 0) << "the copies are refreshed after the outputs";
  EXPECT_EQ(fx.analogOut(3, 8), 0.0f);
  fx.run(3);
  for (uint16_t z = 1; z <= 15; ++z) EXPECT_EQ(fx.digitalOut(3, z), z == 1 || z == 3) << z;
  EXPECT_EQ(fx.analogOut(3, 8), -12.5f);
  EXPECT_EQ(readFloat(3, -L1WRIT_ID_MASK), 5.0f);
  EXPECT_EQ(readFloat(3, -(L1WRIT_ID_FLOAT1 + 7)), -12.5f);
}

TEST(L1Writ, RequestsOutOfRangeAreRefusedAndEqualValuesChangeNothing) {
  struct Case {
    int16_t id;
    float value;
    uint8_t result;
  } cases[] = {
      {L1WRIT_ID_MASK, kNaN, FB_ERR_LIMITS},        {L1WRIT_ID_MASK, -1.0f, FB_ERR_LIMITS},
      {L1WRIT_ID_MASK, 32768.0f, FB_ERR_LIMITS},    {L1WRIT_ID_MASK, 1e30f, FB_ERR_LIMITS},
      {L1WRIT_ID_MASK, 32767.9f, FB_OK},            {L1WRIT_ID_MASK, 6.7f, FB_OK},
      {L1WRIT_ID_FLOAT1, 1000000.0f, FB_ERR_LIMITS}, {L1WRIT_ID_FLOAT1, -30000.0f, FB_ERR_LIMITS},
      {L1WRIT_ID_FLOAT1, kNaN, FB_ERR_LIMITS},       {L1WRIT_ID_FLOAT1, -29999.0f, FB_OK},
      {L1WRIT_ID_FLOAT1 + 8, 1.0f, FB_ERR_UNKNOWN_ID}, {299, 1.0f, FB_ERR_UNKNOWN_ID},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.id << " " << c.value);
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_L1WRIT, 3);
    fx.init(3);
    EXPECT_EQ(write(3, c.id, c.value), c.result);
    fx.run(3, 2);
    const bool changed = fx.digitalOut(3, 1) || fx.digitalOut(3, 2) || fx.analogOut(3, 1) != 0;
    EXPECT_EQ(changed, c.result == FB_OK);
  }
  // 6.7 is taken as the mask 6.
  BlockFixture fx(BLK_RegisterAllTypes);
  fx.create(BLK_TYPE_L1WRIT, 3);
  fx.init(3);
  ASSERT_EQ(write(3, L1WRIT_ID_MASK, 6.7f), FB_OK);
  EXPECT_EQ(readFloat(3, -L1WRIT_ID_MASK), 6.0f);
  // An equal value answers 0 and raises no change: the outputs, put aside meanwhile, stay.
  fx.run(3, 2);
  FbLayout L = fx.layout(3);
  L.dout[1] = 0;
  ASSERT_EQ(write(3, L1WRIT_ID_MASK, 6.0f), FB_OK);
  EXPECT_EQ(L.dout[1], 0);
}

// A warm start rebuilds the received data from the copies the outputs show, so that a change
// received but not yet applied is dropped; a cold start applies it.
TEST(L1Writ, WarmStartRebuildsTheReceivedDataFromTheOutputCopies) {
  for (bool warm : {true, false}) {
    SCOPED_TRACE(warm ? "warm" : "cold");
    BlockFixture fx(BLK_RegisterAllTypes);
    fx.create(BLK_TYPE_L1WRIT, 3);
    fx.init(3);
    ASSERT_EQ(write(3, L1WRIT_ID_MASK, 0x4005), FB_OK);
    ASSERT_EQ(write(3, L1WRIT_ID_FLOAT1, 2.5f), FB_OK);
    fx.run(3, 2);
    ASSERT_EQ(write(3, L1WRIT_ID_MASK, 2.0f), FB_OK);
    ASSERT_EQ(write(3, L1WRIT_ID_FLOAT1, 7.0f), FB_OK);
    WarmStart start(warm);
    fx.init(3);
    EXPECT_EQ(readFloat(3, -L1WRIT_ID_MASK), warm ? 0x4005 : 2.0f);
    EXPECT_EQ(readFloat(3, -L1WRIT_ID_FLOAT1), warm ? 2.5f : 7.0f);
    fx.run(3);
    EXPECT_EQ(fx.digitalOut(3, 15), warm ? 1 : 0);
    EXPECT_EQ(fx.analogOut(3, 1), warm ? 2.5f : 7.0f);
  }
}

// =========================================================================================
// DPREAD and DPWRIT

class Fieldbus : public testing::Test {
 protected:
  Fieldbus() : fx(BLK_RegisterAllTypes) {
    std::memset(g_comFieldbus, 0, sizeof g_comFieldbus);
    g_fwSys.cardBusStatus = 0;
  }
  ~Fieldbus() override { g_fwSys.cardBusStatus = 0; }
  BlockFixture fx;
};

TEST_F(Fieldbus, DpreadFillsItsRecordBigEndian) {
  fx.create(BLK_TYPE_DPREAD, 1);
  fx.setAnalogInput(1, 2, -2.0f);
  fx.setAnalogInput(1, 6, 1.0f);
  fx.setDigitalInput(1, 2, 1);
  fx.setDigitalInput(1, 16, 1);
  fx.init(1);
  fx.run(1);
  const uint8_t* r = g_comFieldbus[1];
  EXPECT_EQ(r[0], 0x02);
  EXPECT_EQ(r[1], 0x80);
  EXPECT_EQ(std::vector<uint8_t>(r + 2, r + 6), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(r + 6, r + 10), (std::vector<uint8_t>{0xC0, 0, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(r + 22, r + 26), (std::vector<uint8_t>{0x3F, 0x80, 0, 0}));
  for (int n : {0, 2, 3, 4, 5}) {
    for (int b = 0; b < 26; ++b) EXPECT_EQ(g_comFieldbus[n][b], 0) << "record " << n;
  }
  // Block 4 writes record 4.
  fx.create(BLK_TYPE_DPREAD, 4);
  fx.setDigitalInput(4, 9, 1);
  fx.init(4);
  fx.run(4);
  EXPECT_EQ(g_comFieldbus[4][1], 0x01);
}

// Both types pass bits 0..3 of the card's bus status byte to their error outputs unchanged;
// a cold start clears them, a warm start keeps them.
TEST_F(Fieldbus, ErrorOutputsFollowTheBusStatusByte) {
  fx.create(BLK_TYPE_DPREAD, 2);
  fx.create(BLK_TYPE_DPWRIT, 12);
  fx.init(2);
  fx.init(12);
  g_fwSys.cardBusStatus = 0x8B;   // bus, parameter and data error; bit 7 is no error bit
  fx.run(2);
  fx.run(12);
  const uint16_t expected[4] = {1, 1, 0, 1};
  for (uint16_t i = 0; i < 4; ++i) {
    EXPECT_EQ(fx.digitalOut(2, i + 1), expected[i]) << i;
    EXPECT_EQ(fx.digitalOut(12, 17 + i), expected[i]) << i;
  }
  {
    WarmStart warm;
    fx.init(2);
    fx.init(12);
    EXPECT_EQ(fx.digitalOut(2, 1), 1);
    EXPECT_EQ(fx.digitalOut(12, 17), 1);
  }
  fx.init(2);
  fx.init(12);
  EXPECT_EQ(fx.digitalOut(2, 1), 0);
  EXPECT_EQ(fx.digitalOut(12, 17), 0);
}

TEST_F(Fieldbus, DpwritTakesFloatsInRangeAndMarksTheOthersInvalid) {
  fx.create(BLK_TYPE_DPWRIT, 13);   // record 7, data-invalid byte 24
  fx.init(13);
  uint8_t* r = g_comFieldbus[7];
  r[0] = 0x81;
  r[1] = 0x40;
  for (uint32_t f = 0; f < 6; ++f) COM_FieldbusSetFloat(r, f, 10.0f * (f + 1));
  fx.run(13);
  for (uint16_t z = 1; z <= 16; ++z) EXPECT_EQ(fx.digitalOut(13, z), z == 1 || z == 8 || z == 15) << z;
  for (uint16_t y = 1; y <= 6; ++y) EXPECT_EQ(fx.analogOut(13, y), 10.0f * y);
  EXPECT_EQ(fx.digitalOut(13, 21), 1);
  EXPECT_EQ(g_comFieldbus[0][24], 0);

  COM_FieldbusSetFloat(r, 1, 1.0e7f);
  COM_FieldbusSetFloat(r, 4, kNaN);
  COM_FieldbusSetFloat(r, 5, -29999.0f);
  fx.run(13);
  EXPECT_EQ(fx.analogOut(13, 2), 20.0f) << "keeps the last good value";
  EXPECT_EQ(fx.analogOut(13, 5), 50.0f);
  EXPECT_EQ(fx.analogOut(13, 6), -29999.0f);
  EXPECT_EQ(fx.digitalOut(13, 21), 0);
  EXPECT_EQ(g_comFieldbus[0][24], 1);
  for (int k : {22, 23, 25}) EXPECT_EQ(g_comFieldbus[0][k], 0) << k;

  COM_FieldbusSetFloat(r, 1, -30000.0f);
  COM_FieldbusSetFloat(r, 4, 5.0f);
  fx.run(13);
  EXPECT_EQ(fx.digitalOut(13, 21), 0);
  COM_FieldbusSetFloat(r, 1, 2.0f);
  fx.run(13);
  EXPECT_EQ(fx.analogOut(13, 2), 2.0f);
  EXPECT_EQ(fx.digitalOut(13, 21), 1);
  EXPECT_EQ(g_comFieldbus[0][24], 0);

  // A cold start clears the outputs and the data-invalid byte.
  g_comFieldbus[0][24] = 1;
  fx.init(13);
  EXPECT_EQ(fx.analogOut(13, 2), 0.0f);
  EXPECT_EQ(fx.digitalOut(13, 1), 0);
  EXPECT_EQ(g_comFieldbus[0][24], 0);
}

// A block at a number outside its type's four touches no record.
TEST_F(Fieldbus, BlocksOutsideTheirNumbersTouchNoRecord) {
  fx.create(BLK_TYPE_DPREAD, 5);
  fx.create(BLK_TYPE_DPWRIT, 15);
  fx.setDigitalInput(5, 1, 1);
  fx.init(5);
  fx.init(15);
  fx.run(5);
  fx.run(15);
  for (const auto& record : g_comFieldbus) {
    for (uint8_t b : record) EXPECT_EQ(b, 0);
  }
  for (uint16_t type : {BLK_TYPE_DPREAD, BLK_TYPE_DPWRIT}) {
    expectRefusedChangesNothing({"fieldbus blocks take no parameters", type,
                                 FB_FloatRequest(kBlock, 1000, 1.0f), FB_ERR_UNKNOWN_ID, 0});
  }
}

// =========================================================================================
// MBDATA

constexpr uint16_t kTargetType = param_target::kType, kTarget = 200, kMb = 56;

void registerWithTarget() {
  BLK_RegisterAllTypes();
  param_target::Register();
}

class Mbdata : public testing::Test {
 protected:
  Mbdata() : fx(registerWithTarget) {
    g_fwRunMode = FW_RUN_MODE_STOP;   // forwarded writes apply at once
    fx.create(kTargetType, kTarget);
    fx.create(BLK_TYPE_MBDATA, kMb);
  }
  // Entry i (1-based) maps (block, n); the pending copies, taken over by Init.
  void map(uint16_t i, uint16_t block, uint16_t n) {
    fx.wordValue(kMb, 2 * i - 1, true) = block;
    fx.wordValue(kMb, 2 * i, true) = n;
  }
  BlockFixture fx;
};

TEST_F(Mbdata, NumbersMapWordParametersThenFloatParameters) {
  struct Case {
    uint16_t block, n;
    float shown;
  } cases[] = {
      {kTarget, 1, 11.0f}, {kTarget, 2, 22.0f}, {kTarget, 3, 1.5f}, {kTarget, 6, 4.5f},
      {kTarget, 7, 0.0f},          // beyond the target's parameters
      {0, 1, 0.0f},                // empty entry
      {kTarget + 1, 1, 0.0f},      // missing block
      {kTarget, 0, 0.0f},          // no parameter number
  };
  uint16_t i = 1;
  for (const Case& c : cases) map(i++, c.block, c.n);
  fx.init(kMb);
  fx.run(kMb);
  i = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(i);
    EXPECT_EQ(fx.analogOut(kMb, i), c.shown);
    EXPECT_EQ(readFloat(kMb, static_cast<int16_t>(-(299 + i))), c.shown);
    ++i;
  }
  // A word parameter reads as a signed number.
  fx.wordParam(kTarget, 1) = static_cast<uint16_t>(-7);
  fx.run(kMb);
  EXPECT_EQ(fx.analogOut(kMb, 1), -7.0f);
}

TEST_F(Mbdata, WritesAreForwardedToTheMappedParameter) {
  map(1, kTarget, 1);   // word parameter 1 (-100..100)
  map(2, kTarget, 4);   // float parameter 2
  map(3, kTarget, 7);   // no value
  fx.init(kMb);
  struct Case {
    uint16_t entry;
    float value;
    uint8_t result;
    uint16_t word1;
    float float2;
  } cases[] = {
      {1, 42.9f, FB_OK, 42, 2.5f},            // truncated to a whole number
      {1, -42.9f, FB_OK, static_cast<uint16_t>(-42), 2.5f},
      {1, 70000.0f, FB_ERR_LIMITS, 11, 2.5f},  // does not fit 16 bits: refused, not wrapped
      {1, kNaN, FB_ERR_LIMITS, 11, 2.5f},
      {1, 101.0f, FB_ERR_LIMITS, 11, 2.5f},    // the target's own limit
      {2, -99.5f, FB_OK, 11, -99.5f},
      {2, 100.5f, FB_ERR_LIMITS, 11, 2.5f},
      {3, 1.0f, FB_ERR_NOT_NOW, 11, 2.5f},
      {4, 1.0f, FB_ERR_NOT_NOW, 11, 2.5f},     // unmapped entry
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.entry << " " << c.value);
    fx.wordParam(kTarget, 1) = fx.wordParam(kTarget, 1, true) = 11;
    fx.floatParam(kTarget, 2) = fx.floatParam(kTarget, 2, true) = 2.5f;
    FbParamRequest r = FB_FloatRequest(kMb, static_cast<int16_t>(299 + c.entry), c.value);
    uint16_t bad = 99;
    EXPECT_EQ(FB_MBDATA_Param(&r, &bad), c.result);
    EXPECT_EQ(r.block(), kMb);
    EXPECT_EQ(r.id(), 299 + c.entry);
    EXPECT_EQ(fx.wordParam(kTarget, 1), c.word1);
    EXPECT_EQ(fx.floatParam(kTarget, 2).get(), c.float2);
  }
}

TEST_F(Mbdata, WordValuesTakeEffectAtTheNextInit) {
  uint16_t bad = 0;
  EXPECT_EQ(sendParam(FB_WordRequest(kMb, 3000, kTarget), &bad), FB_OK);
  EXPECT_EQ(sendParam(FB_WordRequest(kMb, 3001, 3), &bad), FB_OK);
  EXPECT_EQ(sendParam(FB_WordRequest(kMb, 3000, 1951), &bad), FB_ERR_LIMITS);
  EXPECT_EQ(sendParam(FB_WordRequest(kMb, 3031, 0), &bad), FB_ERR_LIMITS);
  EXPECT_EQ(sendParam(FB_WordRequest(kMb, 3032, 1), &bad), FB_ERR_UNKNOWN_ID);
  fx.run(kMb);
  EXPECT_EQ(fx.analogOut(kMb, 1), 0.0f) << "not before the next start-up pass";
  fx.init(kMb);
  fx.run(kMb);
  EXPECT_EQ(fx.analogOut(kMb, 1), 1.5f);

  // 4010: all 32 values, 'l' with the index of the first bad one; nothing changes then.
  std::vector<uint16_t> values(32);
  for (uint16_t i = 0; i < 16; ++i) values[2 * i] = kTarget, values[2 * i + 1] = i + 1;
  values[9] = 100;
  EXPECT_EQ(sendParam(FB_SetRequest(kMb, 4010, values, {}), &bad), FB_ERR_LIMITS);
  EXPECT_EQ(bad, 10);
  EXPECT_EQ(fx.wordValue(kMb, 3, true), 0);
  values[9] = 5;
  EXPECT_EQ(sendParam(FB_SetRequest(kMb, 4010, values, {}), &bad), FB_OK);
  fx.init(kMb);
  fx.run(kMb);
  EXPECT_EQ(fx.analogOut(kMb, 3), 1.5f);   // n = 3
  EXPECT_EQ(fx.analogOut(kMb, 5), 3.5f);   // n = 5
  EXPECT_EQ(fx.analogOut(kMb, 7), 0.0f);   // n = 7: beyond the target's parameters
  for (int16_t id : {4000, 1000, 1250, 299, 316, -316, 2000}) {
    EXPECT_EQ(sendParam(FB_FloatRequest(kMb, id, 1.0f), &bad), FB_ERR_UNKNOWN_ID) << id;
  }
}

// =========================================================================================
// The level-1 blocks in a loaded engineering: the trend binding lists the L1READ blocks, and
// the values an L1WRIT receives while the device runs reach an L1READ wired to it.

class Level1Engineering : public AdapterFirmware {
 protected:
  Level1Engineering() { BLK_RegisterAllTypes(); }
  ~Level1Engineering() override { g_fwRunMode = FW_RUN_MODE_STOP; }
};

TEST_F(Level1Engineering, TrendReadersListL1readWithItsReferences) {
  EngBuilder b;
  b.setRunMode(2);
  ASSERT_TRUE(b.addBlock(6, BLK_TYPE_L1WRIT, 1)) << b.error();
  ASSERT_TRUE(b.addBlock(5, BLK_TYPE_L1READ, 1, 6)) << b.error();
  for (uint16_t i = 1; i <= 7; ++i) ASSERT_TRUE(b.wireAnalog(5, i, 6, i));
  for (uint16_t i = 1; i <= 12; ++i) ASSERT_TRUE(b.wireDigital(5, i, 6, i));
  ASSERT_TRUE(b.setText(5, 1, "Tank"));
  startWith(b);

  const FwTrendReaders& t = g_fwTrendReaders;
  EXPECT_EQ(t.count, 1);
  EXPECT_EQ(t.first, 5);
  EXPECT_EQ(t.marked[5], 1);
  EXPECT_EQ(t.marked[6], 0);
  EXPECT_STREQ(t.title[5], "Tank");
  for (uint16_t i = 1; i <= 7; ++i) {
    uint32_t handle = 0;
    ASSERT_EQ(FB_AnalogOutputHandle(6, i, &handle), 1);
    EXPECT_EQ(t.analog[5][i - 1], handle) << i;
  }
  for (uint16_t i = 1; i <= 12; ++i) {
    uint32_t handle = 0;
    ASSERT_EQ(FB_DigitalOutputHandle(6, i, &handle), 1);
    EXPECT_EQ(t.digital[5][i - 1], handle) << i;
  }

  // Writes to the L1WRIT through the value access, as the register map sends them, reach
  // the L1READ through the schedule and are read back the same way.
  auto writeValue = [](uint16_t block, int16_t id, float v) {
    ComValueAccess a;
    COM_ValueBegin(&a, block, id);
    a.request.setF32(FB_REQUEST_VALUE, v);
    return COM_AsciiWriteValue(&a, COM_SOURCE_MODBUS);
  };
  auto readValue = [](uint16_t block, int16_t id) {
    ComValueAccess a;
    COM_ValueBegin(&a, block, id);
    EXPECT_EQ(COM_AsciiReadValue(&a, COM_SOURCE_MODBUS), FB_OK) << block << " " << id;
    double v = -1;
    EXPECT_TRUE(COM_ReadNumber(a, COM_ValueKind(static_cast<uint32_t>(id < 0 ? -id : id)), &v));
    return v;
  };
  ASSERT_EQ(writeValue(6, L1WRIT_ID_MASK, 0x0101), FB_OK);
  ASSERT_EQ(writeValue(6, L1WRIT_ID_FLOAT1 + 2, 33.0f), FB_OK);
  EXPECT_EQ(writeValue(6, L1WRIT_ID_FLOAT1, 1e6f), FB_ERR_LIMITS);
  for (int i = 0; i < 4; ++i) FW_SimCycle();
  EXPECT_EQ(readValue(5, 0), 1.0);
  EXPECT_EQ(readValue(5, -1), 4.0);
  EXPECT_EQ(readValue(5, -4), 33.0);
  EXPECT_EQ(readValue(6, -L1WRIT_ID_MASK), 257.0);
}

}  // namespace
