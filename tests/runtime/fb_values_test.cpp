// Value lists for the operating pages: rows and entries by class, labels, the parameter page,
// block 0's device data and the field accessors.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/fb_values.h"
#include "runtime/fw_text.h"
#include "runtime/fw_text_ids.h"
#include "runtime/runtime_state.h"

namespace {

using rt::registerType;

// Type 2 shaped like the label list of A2BYTE: five analog inputs and outputs and two word
// parameters whose first label carries seven choices.
constexpr uint16_t kT2Words[] = {0, 0};
constexpr FbTemplate kT2{.size = 0, .type = 2, .analogOutputs = 5, .analogInputs = 5,
                         .wordParams = kT2Words};
// Type 98 (the parameter page): six analog inputs.
constexpr FbTemplate kT98{.size = 0, .type = FB_TYPE_VPARA, .analogInputs = 6};

float floatAt(const void* p) {
  float f;
  std::memcpy(&f, p, sizeof f);
  return f;
}
uint16_t wordAt(const void* p) {
  uint16_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

class ValueLists : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetFirmware();
    FW_SelectTextLanguageByte(1);
    registerType(rt::kT10, &rt::kT10Limits);
    registerType(rt::kT11);
    registerType(kT2);
    registerType(kT98);
  }
  void TearDown() override { FW_SelectTextLanguageByte(0); }

  const FbValueLists& lists = g_fbValueLists;
  int16_t build(int32_t cls, uint16_t block) {
    int16_t status = 0;
    FB_ReadValuesByClass(cls, block, &status);
    return status;
  }
};

TEST_F(ValueLists, EmptyMissingAndBadClass) {
  ASSERT_EQ(FB_CreateInstance(11, 150), FB_OK);
  ASSERT_EQ(build(0, 150), 1);
  ASSERT_EQ(lists.rowCount, 1);
  EXPECT_EQ(lists.rows[0].flags, FB_ROW_LAST);
  EXPECT_EQ(lists.rows[0].textId, FW_TXT_END);
  EXPECT_EQ(lists.rows[0].entry, nullptr);
  EXPECT_EQ(lists.header.flags, FB_LIST_HEADER_FLAGS);
  EXPECT_EQ(lists.header.lineCount, 0);
  ASSERT_NE(lists.header.callback, nullptr);
  EXPECT_EQ(lists.header.callback(), 0);

  ASSERT_EQ(FB_CreateInstance(10, 200), FB_OK);
  ASSERT_EQ(build(1, 200), 1);
  ASSERT_EQ(lists.rowCount, 4);
  const FbValueEntry* first = lists.rows[0].entry;
  EXPECT_EQ(build(4, 200), -2);
  EXPECT_EQ(build(-1, 200), -2);
  EXPECT_EQ(build(1, 201), -1);
  // Refused builds leave the lists as they were.
  EXPECT_EQ(lists.rowCount, 4);
  EXPECT_EQ(lists.rows[0].sub, 1250);
  EXPECT_EQ(lists.rows[0].entry, first);
  EXPECT_EQ(lists.rows[3].flags, FB_ROW_LINE | FB_ROW_LAST);
}

TEST_F(ValueLists, InputsAndOutputs) {
  ASSERT_EQ(FB_CreateInstance(10, 160), FB_OK);
  ASSERT_EQ(FB_CreateInstance(10, 200), FB_OK);
  uint16_t* w = FB_GetWiring(200);
  w[FB_WIRE_ANALOG_COUNT + 1] = 160;
  w[FB_WIRE_ANALOG_COUNT + 2] = 2;
  ASSERT_EQ(FB_ResolveConnections(), 0);
  FbLayout src;
  ASSERT_TRUE(FB_GetLayout(160, &src));
  src.ao[1] = 7.25f;

  ASSERT_EQ(build(0, 200), 1);
  struct Row {
    uint16_t sub;
    uint8_t kind;
  } expect[] = {{FB_SUB_ANALOG_IN, FB_KIND_ANALOG},  {FB_SUB_ANALOG_IN, FB_KIND_ANALOG},
                {FB_SUB_DIGITAL_IN, FB_KIND_DIGITAL}, {FB_SUB_ANALOG_OUT, FB_KIND_ANALOG},
                {FB_SUB_ANALOG_OUT, FB_KIND_ANALOG}, {FB_SUB_DIGITAL_OUT, FB_KIND_DIGITAL}};
  ASSERT_EQ(lists.rowCount, 6);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    const FbListRow& r = lists.rows[i];
    EXPECT_EQ(r.flags, i == 5 ? FB_ROW_LINE | FB_ROW_LAST : FB_ROW_LINE);
    EXPECT_EQ(r.sub, expect[i].sub);
    ASSERT_NE(r.entry, nullptr);
    EXPECT_EQ(r.entry->kind, expect[i].kind);
    EXPECT_EQ(r.entry->block, 200);
  }
  EXPECT_EQ(floatAt(lists.rows[0].entry->value), 7.25f) << "the source value";
  EXPECT_EQ(floatAt(lists.rows[1].entry->value), 0.0f) << "unconnected";
  EXPECT_EQ(wordAt(lists.rows[2].entry->value), 0);
  src.ao[1] = 8.0f;
  EXPECT_EQ(floatAt(lists.rows[0].entry->value), 8.0f) << "entries point into the instance";
}

TEST_F(ValueLists, ParametersShowPendingCopiesAndEditThroughTheHandler) {
  ASSERT_EQ(FB_CreateInstance(10, 200), FB_OK);
  FbLayout L;
  ASSERT_TRUE(FB_GetLayout(200, &L));
  L.base[7] = 0x0106;   // float 2's attribute word: decimals in its low two bits
  ASSERT_EQ(build(1, 200), 1);
  ASSERT_EQ(lists.rowCount, 4);
  const uint16_t ids[] = {1250, 1251, 1000, 1001};
  const uint8_t kinds[] = {FB_KIND_WORD, FB_KIND_WORD, FB_KIND_FLOAT, FB_KIND_FLOAT};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(lists.rows[i].sub, ids[i]);
    EXPECT_EQ(lists.rows[i].entry->kind, kinds[i]);
    EXPECT_EQ(lists.rows[i].entry->handler, FB_StandardParam);
  }
  const FbValueEntry* word1 = lists.rows[0].entry;
  const FbValueEntry* float1 = lists.rows[2].entry;
  const FbValueEntry* float2 = lists.rows[3].entry;
  bool off = true;
  EXPECT_EQ(FW_GetFieldMaxShort(word1), 10);
  EXPECT_EQ(FW_GetFieldMinShort(word1, &off), 0);
  EXPECT_FALSE(off);
  EXPECT_EQ(FW_GetFieldAccess(word1), 3);
  EXPECT_EQ(FW_GetFieldAccess(float1), 2);
  EXPECT_EQ(FW_GetFieldAccess(float2), 2) << "taken from instance word 7";
  EXPECT_EQ(FW_GetFieldMaxFloat(float1), 100.0f);
  EXPECT_EQ(FW_GetFieldMinFloat(float2, &off), FW_NO_VALUE);
  EXPECT_TRUE(off);

  // An edit while running reaches the pending copy that the line shows.
  g_fwRunMode = FW_RUN_MODE_RUN;
  FbParamRequest req = FB_FloatRequest(200, static_cast<int16_t>(lists.rows[2].sub), 12.0f);
  uint16_t bad = 0;
  ASSERT_EQ(float1->handler(&req, &bad), FB_OK);
  EXPECT_EQ(floatAt(float1->value), 12.0f);
  EXPECT_EQ(L.fp[0].get(), 1.5f) << "the current value waits for the block's run";
}

TEST_F(ValueLists, ValuesList) {
  ASSERT_EQ(FB_CreateInstance(10, 200), FB_OK);
  ASSERT_EQ(build(2, 200), 1);
  ASSERT_EQ(lists.rowCount, 3);
  EXPECT_EQ(lists.rows[0].sub, 3000);
  EXPECT_EQ(wordAt(lists.rows[1].entry->value), 8);
  EXPECT_EQ(FW_GetFieldMaxShort(lists.rows[1].entry), 9);
  EXPECT_EQ(lists.rows[2].sub, 3050);
  EXPECT_EQ(lists.rows[2].entry->kind, FB_KIND_FLOAT);
  EXPECT_EQ(floatAt(lists.rows[2].entry->value), 3.0f);
  EXPECT_EQ(FW_GetFieldAccess(lists.rows[2].entry), 1);
}

TEST_F(ValueLists, LabelsFollowTheSlotsOfEachClass) {
  ASSERT_EQ(FB_CreateInstance(2, 210), FB_OK);
  ASSERT_EQ(build(0, 210), 1);
  ASSERT_EQ(lists.rowCount, 10);
  EXPECT_STREQ(FW_GetText(lists.rows[0].textId), "Ibyte1");
  EXPECT_STREQ(FW_GetText(lists.rows[4].textId), "X 1");
  EXPECT_STREQ(FW_GetText(lists.rows[5].textId), "Y 1");
  EXPECT_STREQ(FW_GetText(lists.rows[9].textId), "Obyte4");
  // Class 1 skips the inputs and outputs, and the second word parameter's label comes after
  // the first one's choices.
  ASSERT_EQ(build(1, 210), 1);
  ASSERT_EQ(lists.rowCount, 2);
  EXPECT_STREQ(FW_GetText(lists.rows[0].textId), "Ioct");
  EXPECT_STREQ(FW_GetText(lists.rows[1].textId), "Ooct");
}

TEST_F(ValueLists, ParameterPage) {
  ASSERT_EQ(FB_CreateInstance(10, 200), FB_OK);
  ASSERT_EQ(FB_CreateInstance(10, 160), FB_OK);
  ASSERT_EQ(FB_CreateInstance(FB_TYPE_VPARA, 400), FB_OK);
  uint16_t* w = FB_GetWiring(400);
  w[FB_WIRE_ANALOG_COUNT + 1] = 160;   // X 1 <- block 160 output 1
  w[FB_WIRE_ANALOG_COUNT + 2] = 1;
  ASSERT_EQ(FB_ResolveConnections(), 0);
  FbLayout src;
  ASSERT_TRUE(FB_GetLayout(160, &src));
  src.ao[0] = 33.0f;

  static FbParamPage page{};
  page.type = FB_TYPE_VPARA;
  const struct {
    uint16_t block, item;
    const char* text;
  } lines[6] = {{200, 1, "Word one"}, {200, 3, "Float one"}, {200, 5, "Beyond"},
                {0, 1, "Empty"},      {999, 1, "No block"},  {200, 4, "Float two"}};
  for (int i = 0; i < 6; ++i) {
    page.lines[i].block = lines[i].block;
    page.lines[i].item = lines[i].item;
    std::memset(page.lines[i].text, ' ', 16);
    std::memcpy(page.lines[i].text, lines[i].text, std::strlen(lines[i].text));
  }
  g_fbStore.list[400].pageData = &page;

  ASSERT_EQ(build(3, 400), 1);
  ASSERT_EQ(lists.rowCount, 6);
  struct Expect {
    uint16_t flags, sub;
    bool entry;
  } expect[] = {{FB_ROW_LINE, 1250, true},     {FB_ROW_LINE, 1000, true},
                {FB_ROW_TEXT_ONLY, 0, false},  {FB_ROW_LINE, 0, false},
                {FB_ROW_TEXT_ONLY, 0, false},  {FB_ROW_LINE | FB_ROW_LAST, 1001, true}};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(lists.rows[i].flags, expect[i].flags);
    EXPECT_EQ(lists.rows[i].sub, expect[i].sub);
    EXPECT_EQ(lists.rows[i].entry != nullptr, expect[i].entry);
    if (expect[i].entry) {
      EXPECT_EQ(lists.rows[i].entry->block, 200);
    }
  }
  EXPECT_EQ(std::string(lists.rows[1].ownText, 9), "Float one");
  ASSERT_NE(lists.rows[0].pageInput, nullptr);
  EXPECT_EQ(floatAt(lists.rows[0].pageInput), 33.0f);
  EXPECT_EQ(floatAt(lists.rows[1].entry->value), 1.5f);
}

TEST_F(ValueLists, SystemBlockDeviceData) {
  FW_RegisterSystemType();
  g_fwSys.shadow[FW_SH_ADDRESS] = 17;
  FW_SysImage()[FW_SYS_ORDER_DIGITS + 2] = '1';
  ASSERT_EQ(build(2, 0), 1);
  ASSERT_EQ(lists.rowCount, 11);
  EXPECT_EQ(lists.rows[0].sub, 3000);
  EXPECT_EQ(wordAt(lists.rows[2].entry->value), 17);
  EXPECT_EQ(lists.rows[2].entry->handler, FW_WriteSystemData);
  // The protocol is a set of two values; the address bound follows the protocol byte.
  EXPECT_EQ(FW_GetFieldMaxShort(lists.rows[0].entry), FW_LIMIT_DISCRETE);
  EXPECT_EQ(FW_GetFieldMaxShort(lists.rows[2].entry), 99);
  FW_SysImage()[FW_SYS_PROTOCOL] = 3;
  EXPECT_EQ(FW_GetFieldMaxShort(lists.rows[2].entry), 247);

  const FbListRow& dh = lists.rows[9];
  EXPECT_EQ(dh.sub, 3009);
  EXPECT_EQ(dh.textId, FW_TXT_DH_SWITCH);
  EXPECT_EQ(wordAt(dh.entry->value), 0);
  FbParamRequest req = FB_WordRequest(0, 3009, 1);
  ASSERT_EQ(dh.entry->handler(&req, nullptr), FB_OK);
  EXPECT_EQ(wordAt(dh.entry->value), 1);
  EXPECT_EQ(FW_SysImage()[FW_SYS_DH_SWITCH], 1);
  EXPECT_TRUE(g_fwSys.storeFlags & FW_STORE_LOGIN);
  req = FB_WordRequest(0, 3009, 2);
  EXPECT_EQ(dh.entry->handler(&req, nullptr), FB_ERR_LIMITS);

  const FbListRow& eth = lists.rows[10];
  EXPECT_EQ(eth.flags, FB_ROW_PAGE | FB_ROW_LAST);
  EXPECT_EQ(eth.sub, 3010);
  EXPECT_EQ(eth.textId, FW_TXT_ETHERNET);
  EXPECT_EQ(eth.entry, nullptr);

  // While running the DH switch is not offered; without a communication option no Ethernet.
  g_fwRunMode = FW_RUN_MODE_RUN;
  FW_SysImage()[FW_SYS_ORDER_DIGITS + 2] = '0';
  ASSERT_EQ(build(2, 0), 1);
  EXPECT_EQ(lists.rowCount, 9);
  EXPECT_EQ(lists.rows[8].flags, FB_ROW_LINE | FB_ROW_LAST);
}

}  // namespace
