// Block data requests: create and rewire, whole-record reads, extra records, texts and the
// input-source lookups.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/fb_blockdata.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_sysimage.h"
#include "runtime/runtime_state.h"

namespace {

using rt::registerType;

class BlockData : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetFirmware();
    registerType(rt::kT10, &rt::kT10Limits);
    registerType(rt::kT11, nullptr, FB_StandardParam, kAll);
    registerType(rt::kT12, nullptr, FB_StandardParam, rt::kFixedRange, 1);
    registerType(rt::kT40);
    registerType(rt::kT91);
  }
  static constexpr FbBlockRange kAll[] = {{1, 1950}, {0, 0}};
};

// A create request for type 10 (1 digital, 2 analog inputs).
struct Create {
  uint16_t block = 200, type = 10, group = 1;
  int16_t after = 0;
  uint16_t m = 1, n = 2;
  uint8_t count1 = 11, count2 = 0;
  std::vector<uint16_t> digital{150, 1};
  std::vector<uint16_t> analog{150, 1, 151, 2};

  FbParamRequest build() const {
    FbParamRequest r(block, FB_ID_CREATE);
    r.setU8(4, count1);
    r.setU8(5, count2);
    r.setU16(6, type);
    r.setU16(8, group);
    r.setU16(10, static_cast<uint16_t>(after));
    r.setU16(12, m);
    uint32_t at = 14;
    for (uint16_t w : digital) r.setU16(at, w), at += 2;
    r.setU16(at, n), at += 2;
    for (uint16_t w : analog) r.setU16(at, w), at += 2;
    return r;
  }
  uint32_t bytes() const { return 16 + 2 * static_cast<uint32_t>(digital.size() + analog.size()); }
};

TEST_F(BlockData, CreateRefusesBadRequestsAndChangesNothing) {
  ASSERT_EQ(FB_CreateInstance(11, 300), FB_OK);
  struct Case {
    const char* what;
    Create c;
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {"type beyond the table", [] { Create c; c.type = 300; return c; }(), 'l', 1},
      {"type without template", [] { Create c; c.type = 99; return c; }(), 'l', 1},
      {"first count byte", [] { Create c; c.count1 = 12; return c; }(), 'y', 0},
      {"second count byte", [] { Create c; c.count2 = 1; return c; }(), 'z', 0},
      {"existing block of another type", [] { Create c; c.block = 300; return c; }(), 'l', 1},
      {"block outside the permitted range", [] { Create c; c.block = 30; return c; }(), 'l', 1},
      {"block above 1950", [] { Create c; c.block = 1951; return c; }(), 'l', 1},
      {"group 0", [] { Create c; c.group = 0; return c; }(), 'l', 2},
      {"group 16", [] { Create c; c.group = 16; return c; }(), 'l', 2},
      {"negative after-block", [] { Create c; c.after = -1; return c; }(), 'l', 3},
      {"after-block 21", [] { Create c; c.after = 21; return c; }(), 'l', 3},
      {"after-block 99", [] { Create c; c.after = 99; return c; }(), 'l', 3},
      {"after-block 1951", [] { Create c; c.after = 1951; return c; }(), 'l', 3},
      {"digital count", [] { Create c; c.m = 2; return c; }(), 'l', 4},
      {"analog count", [] { Create c; c.n = 3; return c; }(), 'l', 7},
      {"fixed type in a group", [] { Create c; c.type = 12; c.block = 61; c.count1 = 7;
                                     c.digital = {}; c.m = 0; c.n = 1; c.analog = {0, 0}; return c; }(),
       'l', 2},
      {"fixed type with after-block", [] { Create c; c.type = 12; c.block = 61; c.count1 = 7;
                                           c.group = 0; c.after = 5; c.digital = {}; c.m = 0;
                                           c.n = 1; c.analog = {0, 0}; return c; }(),
       'l', 3},
  };
  const uint32_t fill = g_fbStore.instanceFill;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    FbParamRequest r = k.c.build();
    uint16_t bad = 99;
    EXPECT_EQ(FB_BlockDataWrite(&r, &bad, k.c.bytes()), k.result);
    EXPECT_EQ(bad, k.bad);
    EXPECT_EQ(g_fbStore.instanceFill, fill);
  }
  EXPECT_EQ(FB_GetInstance(200), nullptr);
  // The pairs the count bytes announce must have arrived.
  Create c;
  FbParamRequest r = c.build();
  EXPECT_EQ(FB_BlockDataWrite(&r, nullptr, c.bytes() - 2), FB_ERR_COUNT_Y);
  EXPECT_EQ(FB_GetInstance(200), nullptr);
}

TEST_F(BlockData, CreateThenRewireAndReadBack) {
  Create c;
  c.group = 3;
  c.after = 120;
  FbParamRequest r = c.build();
  ASSERT_EQ(FB_BlockDataWrite(&r, nullptr, c.bytes()), FB_OK);
  ASSERT_NE(FB_GetInstance(200), nullptr);
  const uint32_t fill = g_fbStore.instanceFill;

  c.group = 5;
  c.after = 0;
  c.digital = {160, 2};
  r = c.build();
  ASSERT_EQ(FB_BlockDataWrite(&r, nullptr, c.bytes()), FB_OK);
  EXPECT_EQ(g_fbStore.instanceFill, fill) << "a rewire creates no second instance";

  FbParamRequest q(200, -FB_ID_CREATE);
  uint16_t len = 0;
  ASSERT_EQ(FB_BlockDataRead(&q, &len), FB_OK);
  EXPECT_EQ(q.u8(4), 11);
  EXPECT_EQ(q.u8(5), 0);
  EXPECT_EQ(q.u16(6), 10);
  EXPECT_EQ(q.u16(8), 5);
  EXPECT_EQ(q.u16(10), 0);
  const std::vector<uint16_t> expect{1, 160, 2, 2, 150, 1, 151, 2};
  for (size_t i = 0; i < expect.size(); ++i) EXPECT_EQ(q.u16(12 + 2 * i), expect[i]) << i;
  EXPECT_EQ(len, 12 + 4 * 3);
  // New inputs read the shared 0.0 until the next load resolves them.
  FbLayout L;
  ASSERT_TRUE(FB_GetLayout(200, &L));
  EXPECT_EQ(FB_ReadAnalogRef(L.ai[0]), 0.0f);
}

TEST_F(BlockData, CreateAnswersNoRoomWhenTheHeapIsFull) {
  g_fbStore.instanceFill = FB_INSTANCE_HEAP_WORDS - 5;
  Create c;
  FbParamRequest r = c.build();
  EXPECT_EQ(FB_BlockDataWrite(&r, nullptr, c.bytes()), FB_ERR_NO_ROOM);
  EXPECT_EQ(FB_GetInstance(200), nullptr);
}

TEST_F(BlockData, WiringReadOfAMissingBlockNamesTheNextOne) {
  ASSERT_EQ(FB_CreateInstance(11, 40), FB_OK);
  ASSERT_EQ(FB_CreateInstance(11, 41), FB_OK);
  struct Case {
    uint16_t block, next;
  } cases[] = {{37, 40}, {0, 40}, {41 + 0, 0}, {42, 0}, {1950, 0}, {2000, 0}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.block);
    FbParamRequest q(k.block, -FB_ID_CREATE);
    uint16_t len = 0;
    ASSERT_EQ(FB_BlockDataRead(&q, &len), FB_OK);
    if (k.block == 41) {
      EXPECT_EQ(q.u8(4), 5);   // existing block without inputs: 2m + 2n + 5
      continue;
    }
    EXPECT_EQ(q.u8(4), 5);
    EXPECT_EQ(q.u16(12), k.next);
    EXPECT_EQ(len, 11);
  }
}

FbParamRequest extraRequest(uint16_t block, uint16_t type, uint8_t n, uint16_t first) {
  FbParamRequest r(block, FB_ID_EXTRA);
  r.setU8(4, n);
  r.setU16(6, type);
  for (uint16_t i = 0; i + 1 < n; ++i) r.setU16(8 + 2u * i, static_cast<uint16_t>(first + i));
  return r;
}

TEST_F(BlockData, ExtraRecordIsStoredOnceAndReadBack) {
  ASSERT_EQ(FB_CreateInstance(10, 200), FB_OK);
  FbParamRequest r = extraRequest(200, 10, 4, 500);   // 3 data words, record of 5 words
  ASSERT_EQ(FB_BlockDataWrite(&r, nullptr), FB_OK);
  r = extraRequest(200, 10, 4, 600);
  EXPECT_EQ(FB_BlockDataWrite(&r, nullptr), FB_ERR_NOT_NOW);

  FbParamRequest q(200, -FB_ID_EXTRA);
  uint16_t len = 0;
  ASSERT_EQ(FB_BlockDataRead(&q, &len), FB_OK);
  EXPECT_EQ(q.u8(4), 4);
  EXPECT_EQ(q.u16(6), 10);
  EXPECT_EQ(q.u16(8), 500);
  EXPECT_EQ(q.u16(12), 502);
  EXPECT_EQ(len, 10);

  // Block 0 has its record under its own name; without one the answer is the short form.
  FbParamRequest z(0, -FB_ID_EXTRA);
  ASSERT_EQ(FB_BlockDataRead(&z, &len), FB_OK);
  EXPECT_EQ(z.u8(4), 1);
  EXPECT_EQ(len, 4);
  r = extraRequest(0, 0, 2, 42);
  ASSERT_EQ(FB_BlockDataWrite(&r, nullptr), FB_OK);
  ASSERT_EQ(FB_BlockDataRead(&z, &len), FB_OK);
  EXPECT_EQ(z.u8(4), 2);
  EXPECT_EQ(z.u16(8), 42);
  EXPECT_EQ(len, 6);
}

TEST_F(BlockData, ExtraRecordRefusals) {
  ASSERT_EQ(FB_CreateInstance(10, 200), FB_OK);
  struct Case {
    const char* what;
    FbParamRequest r;
    uint32_t bytes;
    uint8_t result;
    uint16_t bad;
  } cases[] = {
      {"no block", extraRequest(201, 10, 3, 1), FB_REQUEST_BYTES, 'j', 0},
      {"other type", extraRequest(200, 11, 3, 1), FB_REQUEST_BYTES, 'l', 1},
      {"length 1", extraRequest(200, 10, 0, 1), FB_REQUEST_BYTES, 'l', 0},
      {"length 101", extraRequest(200, 10, 100, 1), FB_REQUEST_BYTES, 'l', 0},
      {"data missing", extraRequest(200, 10, 5, 1), 12, 'y', 0},
  };
  for (Case& k : cases) {
    SCOPED_TRACE(k.what);
    uint16_t bad = 99;
    EXPECT_EQ(FB_BlockDataWrite(&k.r, &bad, k.bytes), k.result);
    EXPECT_EQ(bad, k.bad);
  }
  EXPECT_EQ(FW_SysGetParamRecord(200), nullptr);
  // The longest record fits; beyond the instance heap there is no room.
  FbParamRequest r = extraRequest(200, 10, 99, 1);
  g_fbStore.instanceFill = FB_INSTANCE_HEAP_WORDS - 50;
  EXPECT_EQ(FB_BlockDataWrite(&r, nullptr), FB_ERR_NO_ROOM);
  g_fbStore.instanceFill = g_fbStore.instanceFillAfterBlocks;
  EXPECT_EQ(FB_BlockDataWrite(&r, nullptr), FB_OK);
  ASSERT_NE(FW_SysGetParamRecord(200), nullptr);
  EXPECT_EQ(FW_SysGetParamRecord(200)[1], 100);
}

std::string text16(const FbParamRequest& r, uint32_t at) {
  return std::string(reinterpret_cast<const char*>(r.bytes + at), 16);
}

TEST_F(BlockData, TextsAndTextTable) {
  ASSERT_EQ(FB_CreateInstance(10, 200), FB_OK);
  uint16_t len = 0;
  FbParamRequest q(200, -FB_ID_TEXT);
  ASSERT_EQ(FB_BlockDataRead(&q, &len), FB_OK);
  EXPECT_EQ(text16(q, 4), "T10             ");
  EXPECT_EQ(len, 16);

  FbParamRequest w(200, FB_ID_TEXT + 1);
  std::memcpy(w.bytes + 4, "Loop 2 heater   ", 16);
  ASSERT_EQ(FB_BlockDataWrite(&w, nullptr), FB_OK);
  FbParamRequest bad(200, FB_ID_TEXT + 2);
  EXPECT_EQ(FB_BlockDataWrite(&bad, nullptr), FB_ERR_UNKNOWN_ID);
  FbParamRequest q3(200, -(FB_ID_TEXT + 2));
  EXPECT_EQ(FB_BlockDataRead(&q3, &len), FB_ERR_UNKNOWN_ID);

  FbParamRequest t(200, -FB_ID_TEXT_TABLE);
  ASSERT_EQ(FB_BlockDataRead(&t, &len), FB_OK);
  EXPECT_EQ(t.u8(4), 17);
  EXPECT_EQ(t.u16(6), 10);
  EXPECT_EQ(text16(t, 24), "Loop 2 heater   ");
  EXPECT_EQ(len, 36);

  FbParamRequest table(200, FB_ID_TEXT_TABLE);
  table.setU8(4, 17);
  table.setU16(6, 10);
  std::memcpy(table.bytes + 8, "AAAAAAAAAAAAAAAABBBBBBBBBBBBBBBB", 32);
  FbParamRequest wrongCount = table, wrongType = table;
  wrongCount.setU8(4, 9);
  wrongType.setU16(6, 11);
  uint16_t badIndex = 0;
  EXPECT_EQ(FB_BlockDataWrite(&wrongCount, &badIndex), FB_ERR_COUNT_Y);
  EXPECT_EQ(FB_BlockDataWrite(&wrongType, &badIndex), FB_ERR_LIMITS);
  EXPECT_EQ(badIndex, 1);
  EXPECT_EQ(FB_BlockDataWrite(&table, &badIndex, 20), FB_ERR_COUNT_Y);
  char* p = nullptr;
  ASSERT_TRUE(FB_GetTextParamPtr(200, 1, &p));
  EXPECT_EQ(std::string(p, 16), "T10             ") << "refused writes change nothing";
  ASSERT_EQ(FB_BlockDataWrite(&table, &badIndex), FB_OK);
  EXPECT_EQ(std::string(p, 32), "AAAAAAAAAAAAAAAABBBBBBBBBBBBBBBB");

  FbParamRequest missing(201, FB_ID_TEXT);
  EXPECT_EQ(FB_BlockDataWrite(&missing, nullptr), FB_ERR_NO_BLOCK);
}

TEST_F(BlockData, ValueReads) {
  ASSERT_EQ(FB_CreateInstance(11, 150), FB_OK);   // no outputs: only the unconnected values
  ASSERT_EQ(FB_CreateInstance(10, 160), FB_OK);
  ASSERT_EQ(FB_CreateInstance(10, 200), FB_OK);
  FbLayout src, L;
  ASSERT_TRUE(FB_GetLayout(160, &src));
  src.ao[1] = 12.5f;
  src.dout[0] = 1;
  uint16_t* w = FB_GetWiring(200);
  w[FB_WIRE_ANALOG_COUNT + 3] = 160;   // analog input 2 <- 160 output 2
  w[FB_WIRE_ANALOG_COUNT + 4] = 2;
  w[FB_WIRE_ANALOG_COUNT + 6] = 160;   // digital input 1 <- 160 output 1
  w[FB_WIRE_ANALOG_COUNT + 7] = 1;
  ASSERT_EQ(FB_ResolveConnections(), 0);
  ASSERT_TRUE(FB_GetLayout(200, &L));
  L.ao[0] = -1.0f;
  L.dout[0] = 5;
  ASSERT_EQ(FB_ParamWord(200, 1, 9), FB_OK);
  ASSERT_EQ(FB_ParamFloat(200, 0, 42.0f), FB_OK);

  uint16_t len = 0;
  FbParamRequest out(200, -FB_ID_OUTPUTS);
  ASSERT_EQ(FB_BlockDataRead(&out, &len), FB_OK);
  EXPECT_EQ(out.u8(4), 2);
  EXPECT_EQ(out.u8(5), 2);
  EXPECT_EQ(out.u16(8), 5);
  EXPECT_EQ(out.f32(10), -1.0f);
  EXPECT_EQ(len, 4 + 2 + 8);

  FbParamRequest in(200, -FB_ID_INPUTS);
  ASSERT_EQ(FB_BlockDataRead(&in, &len), FB_OK);
  EXPECT_EQ(in.u16(8), 1);
  EXPECT_EQ(in.f32(10), 0.0f);
  EXPECT_EQ(in.f32(14), 12.5f);

  FbParamRequest set(200, -FB_ID_WHOLE_SET);
  ASSERT_EQ(FB_BlockDataRead(&set, &len), FB_OK);
  EXPECT_EQ(set.u8(4), 3);
  EXPECT_EQ(set.u8(5), 2);
  EXPECT_EQ(set.u16(8), 3);
  EXPECT_EQ(set.u16(10), 9);
  EXPECT_EQ(set.f32(12), 42.0f);
  EXPECT_EQ(set.f32(16), -2.0f);
  EXPECT_EQ(len, 4 + 4 + 8);

  FbParamRequest values(200, -FB_ID_ALL_VALUES);
  ASSERT_EQ(FB_BlockDataRead(&values, &len), FB_OK);
  EXPECT_EQ(values.u8(4), 3);
  EXPECT_EQ(values.u8(5), 1);
  EXPECT_EQ(values.u16(10), 8);
  EXPECT_EQ(values.f32(12), 3.0f);

  struct Single {
    int16_t id;
    uint8_t result;
    uint32_t value;   // the raw answer bytes at offset 4
    uint16_t length;
  } singles[] = {
      {-1000, 0, 0x42280000u, 4},  {-1001, 0, 0xC0000000u, 4}, {-1002, 'i', 0, 0},
      {-1251, 0, 9, 2},            {-1252, 'i', 0, 0},         {-3001, 0, 8, 2},
      {-3002, 'i', 0, 0},          {-3050, 0, 0x40400000u, 4}, {-3051, 'i', 0, 0},
      {-4001, 'i', 0, 0},          {-4300, 'i', 0, 0},
  };
  for (const Single& s : singles) {
    SCOPED_TRACE(s.id);
    FbParamRequest q(200, s.id);
    EXPECT_EQ(FB_BlockDataRead(&q, &len), s.result);
    if (s.result == 0) {
      EXPECT_EQ(s.length == 2 ? q.u16(4) : q.u32(4), s.value);
      EXPECT_EQ(len, s.length);
    }
  }
  FbParamRequest none(201, -FB_ID_OUTPUTS);
  EXPECT_EQ(FB_BlockDataRead(&none, &len), FB_ERR_NO_BLOCK);
}

TEST_F(BlockData, ControllerParameterSetsComeInParts) {
  ASSERT_EQ(FB_CreateInstance(91, 300), FB_OK);
  FbLayout L;
  ASSERT_TRUE(FB_GetLayout(300, &L));
  for (uint16_t k = 0; k < 58; ++k) L.fp[58 + k] = static_cast<float>(k + 1);
  struct Case {
    int16_t id;
    uint8_t words, floats;
    float first;
  } cases[] = {{-4000, 3, 22, 1.0f}, {-4001, 1, 6, 23.0f}, {-4002, 1, 6, 29.0f},
               {-4006, 1, 6, 53.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    FbParamRequest q(300, c.id);
    uint16_t len = 0;
    ASSERT_EQ(FB_BlockDataRead(&q, &len), FB_OK);
    EXPECT_EQ(q.u8(4), c.words);
    EXPECT_EQ(q.u8(5), c.floats);
    EXPECT_EQ(q.f32(8 + 2 * (c.words - 1)), c.first);
    EXPECT_EQ(len, 4 + 2 * (c.words - 1) + 4 * c.floats);
  }
  FbParamRequest q(300, -4007);
  EXPECT_EQ(FB_BlockDataRead(&q, nullptr), FB_ERR_UNKNOWN_ID);
}

TEST_F(BlockData, InputSourcesAndAllpLimits) {
  ASSERT_EQ(FB_CreateInstance(40, 150), FB_OK);
  ASSERT_EQ(FB_CreateInstance(10, 200), FB_OK);
  uint16_t* w = FB_GetWiring(200);
  w[FB_WIRE_ANALOG_COUNT + 1] = 150;   // analog input 1 <- ALLP output 1
  w[FB_WIRE_ANALOG_COUNT + 2] = 1;
  w[FB_WIRE_ANALOG_COUNT + 6] = 150;   // digital input 1 names block 150 too
  w[FB_WIRE_ANALOG_COUNT + 7] = 3;
  struct Case {
    uint16_t block, input;
    bool digital;
    uint16_t type, srcBlock, srcOutput;
  } cases[] = {
      {200, 1, false, 40, 150, 1}, {200, 2, false, 0, 0, 0},  {200, 3, false, 0, 0, 0},
      {200, 0, false, 0, 0, 0},    {200, 1, true, 40, 150, 3}, {200, 2, true, 0, 0, 0},
      {999, 1, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.block << "/" << c.input << (c.digital ? " d" : " a"));
    uint16_t b = 77, o = 77;
    const uint16_t t = c.digital ? FB_GetDigitalInputSource(c.block, c.input, &b, &o)
                                 : FB_GetInputSource(c.block, c.input, &b, &o);
    EXPECT_EQ(t, c.type);
    EXPECT_EQ(b, c.srcBlock);
    EXPECT_EQ(o, c.srcOutput);
  }
  FbF32 *low = nullptr, *high = nullptr;
  ASSERT_EQ(FB_GetAllpLimits(200, 1, &low, &high), 1);
  EXPECT_EQ(low->get(), -9999.0f);   // "L 1"
  EXPECT_EQ(high->get(), 9999.0f);   // "H 1"
  EXPECT_EQ(FB_GetAllpLimits(200, 2, &low, &high), 0);
  EXPECT_EQ(low, nullptr);
  uint16_t* select = nullptr;
  ASSERT_TRUE(FB_GetWordValuePtr(150, 1, &select));
  *select = 1;
  EXPECT_EQ(FB_GetAllpLimits(200, 1, &low, &high), 0);
  EXPECT_EQ(high, nullptr);
}

}  // namespace

namespace {

// What a tool builds with the block data requests is what the next start loads.
TEST_F(BlockData, CreatedBlocksAndExtraRecordsSurviveSaveAndLoad) {
  std::memcpy(FW_SysImage(), "MX7N", 4);
  std::memcpy(FW_SysImage() + 14, "1230-A\x04\x02", 8);
  Create c;
  c.digital = {0, 0};
  c.analog = {0, 0, 0, 0};
  FbParamRequest r = c.build();
  ASSERT_EQ(FB_BlockDataWrite(&r, nullptr, c.bytes()), FB_OK);
  r = extraRequest(200, 10, 3, 700);
  ASSERT_EQ(FB_BlockDataWrite(&r, nullptr), FB_OK);
  r = extraRequest(0, 0, 2, 9);
  ASSERT_EQ(FB_BlockDataWrite(&r, nullptr), FB_OK);
  FbParamRequest t(200, FB_ID_TEXT);
  std::memcpy(t.bytes + 4, "Kept text       ", 16);
  ASSERT_EQ(FB_BlockDataWrite(&t, nullptr), FB_OK);
  ASSERT_EQ(FW_SysSaveEngineering(), 0);

  FB_ClearStore();
  ASSERT_EQ(FW_SysLoadEngineering(), 0);
  ASSERT_NE(FB_GetInstance(200), nullptr);
  uint16_t len = 0;
  FbParamRequest q(200, -FB_ID_EXTRA);
  ASSERT_EQ(FB_BlockDataRead(&q, &len), FB_OK);
  EXPECT_EQ(q.u8(4), 3);
  EXPECT_EQ(q.u16(8), 700);
  EXPECT_EQ(q.u16(10), 701);
  FbParamRequest z(0, -FB_ID_EXTRA);
  ASSERT_EQ(FB_BlockDataRead(&z, &len), FB_OK);
  EXPECT_EQ(z.u16(8), 9);
  FbParamRequest text(200, -FB_ID_TEXT);
  ASSERT_EQ(FB_BlockDataRead(&text, &len), FB_OK);
  EXPECT_EQ(text16(text, 4), "Kept text       ");
  FbParamRequest wiring(200, -FB_ID_CREATE);
  ASSERT_EQ(FB_BlockDataRead(&wiring, &len), FB_OK);
  EXPECT_EQ(wiring.u16(8), 1);
}

}  // namespace
