// Value formats: number fields with their caps, cut and no-value dashes, the choice of
// decimals, durations, and the names of text records.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "opui/op_display.h"
#include "opui/op_format.h"
#include "runtime/fb_store.h"
#include "runtime/fw_text.h"

namespace {

struct NumberCase {
  float value;
  int decimals, align, width;
  const char* field;
};

TEST(FormatNumber, FieldsCapsAndTheByteBehind) {
  const std::vector<NumberCase> cases = {
      {-32000.0f, 1, OP_ALIGN_RIGHT, 8, "  ----  "},
      {-32000.0f, 1, OP_ALIGN_RIGHT, 6, "  ----"},
      {-32000.0f, 1, OP_ALIGN_LEFT, 8, "----    "},
      {-32000.0f, 0, OP_ALIGN_NONE, 4, "----"},
      {2000000.0f, 0, OP_ALIGN_RIGHT, 6, "999999"},
      {-200000.0f, 0, OP_ALIGN_RIGHT, 6, "-99999"},
      {2000000.0f, 2, OP_ALIGN_LEFT, 8, "999999  "},
      {123456.7f, 1, OP_ALIGN_RIGHT, 6, "123456"},
      {12345.6f, 1, OP_ALIGN_RIGHT, 6, " 12345"},
      {12345.6f, 1, OP_ALIGN_LEFT, 6, "12345 "},
      {12345.6f, 1, OP_ALIGN_NONE, 6, " 12345"},
      {12.5f, 1, OP_ALIGN_RIGHT, 8, "    12.5"},
      {12.5f, 1, OP_ALIGN_LEFT, 7, "12.5   "},
      {12.5f, 1, OP_ALIGN_NONE, 5, " 12.5"},
      {0.1234f, 5, OP_ALIGN_RIGHT, 6, " 0.123"},   // at most three decimals
      {-1.5f, -2, OP_ALIGN_RIGHT, 3, " -2"},       // negative decimals count as none
      {12.5f, 1, OP_ALIGN_RIGHT, 3, "12."},        // a text longer than the field is cut
  };
  for (const NumberCase& c : cases) {
    char buf[16];
    std::memset(buf, 'X', sizeof buf);
    OP_FormatNumber(buf, sizeof buf, c.value, c.decimals, c.align, c.width);
    EXPECT_EQ(std::string(buf, c.width), c.field) << c.value << " w" << c.width;
    EXPECT_EQ(buf[c.width], 'X') << "the byte behind the field of " << c.value;
  }
}

TEST(FormatNumber, NeverWritesPastTheBuffer) {
  char buf[8];
  std::memset(buf, 'X', sizeof buf);
  OP_FormatNumber(buf, 4, 12.5f, 1, OP_ALIGN_RIGHT, 8);
  EXPECT_EQ(std::string(buf, 4), "12.5");
  EXPECT_EQ(buf[4], 'X');
  OP_FormatNumber(buf, 8, 1.0f, 0, OP_ALIGN_RIGHT, 0);   // no field: nothing
  EXPECT_EQ(buf[0], '1');
  OP_FormatNumber(nullptr, 8, 1.0f, 0, OP_ALIGN_RIGHT, 4);
}

TEST(ChooseDecimals, FirstDecimalsInRangeUpToTheMost) {
  struct Case {
    float value;
    uint8_t most;
    int32_t n;
    uint8_t decimals;
  };
  const std::vector<Case> cases = {
      {12.3456f, 3, 12346, 3}, {12.3456f, 2, 1235, 2},   {-9999.5f, 3, -10000, 0},
      {12.5f, 1, 125, 1},      {99.99f, 3, 99990, 3},    {123456.0f, 3, 123456, 0},
      {-0.5f, 0, -1, 0},       {-32000.0f, 2, -32000, 2}, {5.0f, 9, 5000, 3},
  };
  for (const Case& c : cases) {
    uint8_t d = c.most;
    EXPECT_EQ(OP_ChooseDecimals(c.value, &d), c.n) << c.value;
    EXPECT_EQ(d, c.decimals) << c.value;
  }
}

TEST(FormatDurations, MinutesSecondsAndHoursMinutesSeconds) {
  struct Case {
    bool hms;
    float value;
    int width;
    const char* text;
  };
  const std::vector<Case> cases = {
      {false, 125.0f, 8, "    2:05"},   {false, -32000.0f, 8, " --:--"},
      {false, -5.0f, 6, "  0:00"},      {false, 59.6f, 0, "1:00"},
      {false, 2.0e6f, 0, "15999:59"},   {true, -32000.0f, 0, " --:--:--"},
      {true, 1.9999f, 8, "00:02:00"},   {true, 90.5f, 8, "01:30:30"},
      {true, 6000.0f, 8, "  100:00"},   {true, 5999.999f, 8, "  100:00"},
      {true, 1.0e9f, 0, "15999:59"},    {true, -3.0f, 10, "  00:00:00"},
  };
  for (const Case& c : cases) {
    char out[24];
    if (c.hms) {
      OP_FormatHms(c.value, c.width, out, sizeof out);
    } else {
      OP_FormatMinSec(c.value, c.width, out, sizeof out);
    }
    EXPECT_STREQ(out, c.text) << (c.hms ? "hms " : "minsec ") << c.value;
  }
  char small[5];
  OP_FormatHms(90.5f, 8, small, sizeof small);
  EXPECT_STREQ(small, "01:3");
}

// Text blocks of the record labels: four record texts after the tag, and in work word 1 the
// block that holds the same texts in the next language.
const char* const kTextTexts[] = {"TEXT", "TEXT_1", "TEXT_2", "TEXT_3", "TEXT_4"};
constexpr FbTemplate kTextTemplate = FB_SizedTemplate(
    FbTemplate{.type = OP_TYPE_TEXT, .analogOutputs = 1, .analogInputs = 3, .texts = kTextTexts,
               .workWords = 4});
void noop() {}

class RecordLabel : public ::testing::Test {
 protected:
  void SetUp() override {
    FB_ClearTypeTable();
    FB_ClearStore();
    ASSERT_EQ(FB_RegisterType(OP_TYPE_TEXT, FB_TypeFromTemplate(&kTextTemplate, noop, noop, nullptr, nullptr,
                                                                FB_COMMON_BLOCK_RANGES, 0, 1, 17)),
              0);
    g_opTextScreen.type = 2;
  }
  void TearDown() override {
    FW_SelectTextLanguageByte(0);
    FB_ClearStore();
    FB_ClearTypeTable();
    g_opTextScreen = OpTextScreen{};
  }
  static void makeText(uint16_t block, const char* prefix, uint16_t nextLanguage) {
    ASSERT_EQ(FB_CreateInstance(OP_TYPE_TEXT, block), 0);
    FbLayout l;
    ASSERT_TRUE(FB_GetLayout(block, &l));
    for (int t = 1; t <= 4; ++t) {
      char name[17], text[17];
      std::snprintf(name, sizeof name, "%s record %d", prefix, t);
      std::snprintf(text, sizeof text, "%-16s", name);
      std::memcpy(l.text + t * FB_TEXT_LEN, text, FB_TEXT_LEN);
    }
    l.work[1] = nextLanguage;
  }
  static std::string label(int record, int count, const uint16_t* table) {
    char out[20];
    std::memset(out, 'X', sizeof out);
    OP_FormatRecordLabel(out, record, count, table);
    EXPECT_EQ(out[16], 0);
    EXPECT_EQ(out[17], 'X');
    return out;
  }
};

TEST_F(RecordLabel, NamesFromTextBlocksElseRecordNumbersOrDashes) {
  makeText(200, "de", 201);
  makeText(201, "en", 0);
  const uint16_t table[2] = {200, 150};   // block 150 does not exist
  EXPECT_EQ(label(1, 2, table), "de record 1     ");
  EXPECT_EQ(label(4, 2, table), "de record 4     ");
  EXPECT_EQ(label(3, 2, table + 1), "Rec  3          ");
  EXPECT_EQ(label(6, 2, table), "Rec  6          ");
  EXPECT_EQ(label(9, 2, table), "Rec  9          ") << "beyond 4 x count";
  EXPECT_EQ(label(0, 2, table), "Rec  0          ");
  g_opTextScreen.type = 10;
  EXPECT_EQ(label(3, 1, table + 1), "Rec  3          ");
  g_opTextScreen.type = 7;
  EXPECT_EQ(label(3, 1, table + 1), "----------------");
  EXPECT_EQ(label(1, 0, nullptr), "----------------");
}

TEST_F(RecordLabel, TheCurrentLanguageFollowsTheChainAsFarAsItGoes) {
  makeText(200, "de", 201);
  makeText(201, "en", 0);
  const uint16_t table[1] = {200};
  FW_SelectTextLanguageByte(1);
  EXPECT_EQ(label(2, 1, table), "en record 2     ");
  FW_SelectTextLanguageByte(2);   // no third block: the last of the chain
  EXPECT_EQ(label(2, 1, table), "en record 2     ");
}

}  // namespace
