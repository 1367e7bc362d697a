// Engineering builder: the text description, and images that load as described.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/fb_store.h"
#include "runtime/fb_param.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_text.h"
#include "runtime/fw_image.h"
#include "runtime/fw_mode.h"
#include "support/image_types.h"
#include "tools/engbuild/eng_builder.h"

namespace {

class EngBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IMG_RegisterTestTypes();
    g_fwEng = FwEngineeringState{};
    FW_ResetEeprom();
  }

  void TearDown() override {
    FW_ResetEeprom();
    FW_BindMainEeprom(nullptr, 0);
    FW_BindLanguageByte(nullptr);
    FB_SetSaveHook(nullptr);
  }

  // Builds the description and loads it as the firmware does.
  static void load(const std::string& text) {
    EngBuilder b;
    std::string error;
    ASSERT_TRUE(EngParseDescription(text, b, &error)) << error;
    std::vector<uint8_t> image;
    ASSERT_TRUE(b.build(image)) << b.error();
    ASSERT_EQ(image.size(), FW_IMAGE_SIZE);
    std::memcpy(g_fwImage, image.data(), image.size());
    ASSERT_EQ(FW_LoadEngineering(), 0);
    ASSERT_EQ(g_fwEng.lastError, FwImageError::None);
  }
};

TEST_F(EngBuilderTest, DescriptionGivesAnImageThatLoadsAsDescribed) {
  load(R"(# a small engineering
run 2
language 2
order 2210000123
block 100 ABSV group 2          # by name
  float 1 -0.25
  float 2 1e3
block 120 200 group 2 after 100 # by number
  in 2 100.1
  din 1 120.3
  word 1 300
  long 2 -1
  value 3 65535
  text 2 "Tank 1 left"
  state 1 4
param 120 1 -2 3
param 1955
)");
  EXPECT_EQ(g_fwRunMode, 2);
  EXPECT_EQ(g_fwImage[FW_IMG_LANGUAGE], 2);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(g_fwImage + FW_IMG_ORDER_CODE), 10), "2210000123");
  EXPECT_EQ(std::memcmp(g_fwImage + FW_IMG_IDENT, FW_FIRMWARE_IDENT, FW_IMG_IDENT_LEN), 0);

  FbLayout a, b;
  ASSERT_TRUE(FB_GetLayout(100, &a));
  ASSERT_TRUE(FB_GetLayout(120, &b));
  EXPECT_EQ(a.type, IMG_TYPE_ABSV);
  EXPECT_EQ(b.type, IMG_TYPE_ALL);
  EXPECT_EQ(a.fp[0].get(), -0.25f);
  EXPECT_EQ(a.fp[1].get(), 1000.0f);
  EXPECT_EQ(FB_GetWiring(120)[FB_WIRE_GROUP], 2);
  EXPECT_EQ(FB_GetWiring(120)[FB_WIRE_AFTER], 100);
  EXPECT_EQ(b.wp[0], 44) << "a word parameter is stored as its low byte";
  EXPECT_EQ(b.wp[1], 8) << "untouched parameters keep the type's defaults";
  EXPECT_EQ(b.lv[1].get(), 0xFFFFFFFFu);
  EXPECT_EQ(b.wv[2], 65535);
  EXPECT_EQ(std::string(b.text, 16), "ALLG            ");
  EXPECT_EQ(std::string(b.text + 16, 16), "Tank 1 left     ");
  EXPECT_EQ(b.state[0], 4);
  uint32_t handle = 0;
  ASSERT_EQ(FB_AnalogOutputHandle(100, 1, &handle), 1);
  EXPECT_EQ(b.ai[1].get(), handle);
  ASSERT_NE(FW_GetParamRecord(120), nullptr);
  EXPECT_EQ(FW_GetParamRecord(120)[3], 0xFFFE);
  ASSERT_NE(FW_GetParamRecord(FW_PARAM_SYSTEM_BLOCK), nullptr);
}

TEST_F(EngBuilderTest, BadLinesAreReportedWithTheirLineNumber) {
  struct Case {
    const char* text;
    const char* expect;
  };
  const Case cases[] = {
      {"float 1 2", "line 1: 'float' before any block"},
      {"block 100 ABSV\nfrobnicate 1 2", "line 2: unknown keyword"},
      {"block 100 NOSUCH", "line 1: unknown block type"},
      {"block 100 4", "line 1: type 4 is not in use"},
      {"block 1951 ABSV", "line 1: block number must be 1..1950"},
      {"block 100 ABSV\nblock 100 ABSV", "line 2: block 100 is given twice"},
      {"block 100 ABSV group", "line 1: block NUMBER TYPE"},
      {"block 100 ABSV colour 3", "line 1: unexpected 'colour 3'"},
      {"block 100 ABSV\nin 1 101", "line 2: a source is BLOCK.OUTPUT"},
      {"block 100 ABSV\nin 2 101.1", "line 2: analog input 2 of block 100 is outside 1..1"},
      {"block 100 ABSV\nword 1 3", "line 2: word parameter 1 of block 100 is outside 1..0"},
      {"block 100 ABSV\nfloat 1 abc", "line 2: bad number 'abc'"},
      {"block 100 ABSV\nstate 1 70000", "line 2: bad word '70000'"},
      {"block 100 ABSV\ntext 1 \"seventeen chars!!\"", "line 2: a text has at most 16"},
      {"block 100 ABSV\ntext 1 \"open", "line 2: unterminated quoted text"},
      {"param 555 1", "line 1: parameter record for block 555, which does not exist"},
      {"run 256", "line 1: run needs a number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EngBuilder b;
    std::string error;
    EXPECT_FALSE(EngParseDescription(c.text, b, &error));
    EXPECT_NE(error.find(c.expect), std::string::npos) << error;
  }
}

TEST_F(EngBuilderTest, ListsThatDoNotFitTheImageAreRefused) {
  EngBuilder b;
  ASSERT_TRUE(b.addBlock(100, IMG_TYPE_ABSV));
  const std::vector<uint16_t> data(98, 1);
  for (int i = 0; i < 700; ++i) ASSERT_TRUE(b.addParamRecord(100, data));
  std::vector<uint8_t> image;
  EXPECT_FALSE(b.build(image));
  EXPECT_NE(b.error().find("do not fit"), std::string::npos);
}

}  // namespace
