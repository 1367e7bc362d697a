// Texts by id, language selection, label lists and the function-code map.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "blocks/arith/arith.h"
#include "runtime/fb_store.h"
#include "runtime/fw_text.h"
#include "runtime/fw_text_ids.h"
#include "support/block_fixture.h"

namespace {

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override { FW_SelectTextLanguageByte(0); }
  void TearDown() override {
    FW_BindLanguageByte(nullptr);
    FW_SelectTextLanguage();
  }
  // A table id whose raw entry is a code, taken from the tables themselves.
  static uint32_t someCodeEntry() {
    for (uint32_t id = 1; id < FW_TEXT_COUNT; ++id) {
      const uint32_t raw = g_fwTextTables[0].entries[id];
      if (raw >= 1 && raw <= FW_TEXT_CODE_MAX) return id;
    }
    return 0;
  }
};

TEST_F(TextTest, IdsOutsideTheTableAndCodesGiveTheFallbackText) {
  const std::string fallback = FW_GetText(0);
  EXPECT_EQ(fallback, "???");
  EXPECT_EQ(FW_GetText(5650), fallback);
  EXPECT_EQ(FW_GetText(0xFFFFFFFFu), fallback);
  const uint32_t code = someCodeEntry();
  ASSERT_NE(code, 0u);
  EXPECT_EQ(FW_GetText(code), fallback);
  // An id without a text gives the empty text, never a null pointer.
  ASSERT_EQ(g_fwTextTables[0].entries[5649], 0u);
  ASSERT_NE(FW_GetText(5649), nullptr);
  EXPECT_STREQ(FW_GetText(5649), "");
  // A text that is empty on purpose.
  EXPECT_STREQ(FW_GetText(FW_TXT_EMPTY), "");
}

TEST_F(TextTest, LanguageByteSelectsTheTable) {
  uint8_t languageByte = 0;
  FW_BindLanguageByte(&languageByte);
  struct Case {
    uint8_t byte;
    uint8_t language;
    const char* end;
  };
  const Case cases[] = {{0, 0, "Ende"}, {1, 1, "End"}, {2, 2, "Fin"}, {3, 0, "Ende"}, {255, 0, "Ende"}};
  for (const Case& c : cases) {
    languageByte = c.byte;
    FW_SelectTextLanguage();
    EXPECT_EQ(FW_CurrentTextLanguage(), c.language) << int(c.byte);
    EXPECT_STREQ(FW_GetText(5388), c.end) << int(c.byte);
  }
}

TEST_F(TextTest, TextsAreCodePageBytes) {
  EXPECT_STREQ(FW_GetText(FW_TXT_MAIN_MENU), "Hauptmen\xFC");
  EXPECT_STREQ(FW_GetText(FW_TXT_NO_DEVICE), "Kein Ger\xE4t gefunden");
  EXPECT_STREQ(FW_GetText(5397), "Bedienseiten");
  FW_SelectTextLanguageByte(1);
  EXPECT_STREQ(FW_GetText(5397), "Operating pages");
  EXPECT_STREQ(FW_GetText(5450 + 16), "Wait!");
  EXPECT_STREQ(FW_GetText(5443), "auto    ");
  EXPECT_STREQ(FW_GetText(5476 + 3), "Set 100%");
  FW_SelectTextLanguageByte(2);
  EXPECT_STREQ(FW_GetText(FW_TXT_LIST_CALIBRATION), "\xC9talonnage");
}

TEST_F(TextTest, TextCodeIsTheRawEntryOnlyForCodes) {
  const uint32_t code = someCodeEntry();
  ASSERT_NE(code, 0u);
  EXPECT_EQ(FW_GetTextCode(code), g_fwTextTables[0].entries[code]);
  EXPECT_EQ(FW_GetTextCode(5388), 0) << "a text";
  EXPECT_EQ(FW_GetTextCode(5649), 0) << "no text";
  EXPECT_EQ(FW_GetTextCode(5650), 0);
  EXPECT_EQ(FW_GetTextCode(0xFFFFFFFFu), 0);
}

// Every entry of the generated tables is a code or lies inside its pool, every text ends
// inside the pool, and the three languages agree on which ids hold texts and codes.
TEST(TextTables, EntriesAreConsistentAcrossLanguages) {
  for (uint32_t lang = 0; lang < FW_LANGUAGES; ++lang) {
    const FwTextTable& t = g_fwTextTables[lang];
    ASSERT_GT(t.entries[0], FW_TEXT_CODE_MAX) << "the fallback is a text";
    for (uint32_t id = 0; id < FW_TEXT_COUNT; ++id) {
      const uint32_t raw = t.entries[id];
      const uint32_t ref = g_fwTextTables[0].entries[id];
      EXPECT_EQ(raw <= FW_TEXT_CODE_MAX, ref <= FW_TEXT_CODE_MAX) << lang << " " << id;
      if (raw <= FW_TEXT_CODE_MAX) {
        EXPECT_EQ(raw, ref) << lang << " " << id;
        continue;
      }
      const uint32_t offset = raw - FW_TEXT_CODE_MAX - 1;
      ASSERT_LT(offset, t.poolSize) << lang << " " << id;
      EXPECT_NE(std::memchr(t.pool + offset, 0, t.poolSize - offset), nullptr) << lang << " " << id;
    }
  }
  for (uint32_t type = 0; type < 256; ++type) {
    if (g_fbLabelListStart[type] == 0) continue;
    EXPECT_GT(g_fwTextTables[0].entries[g_fbLabelListStart[type]], FW_TEXT_CODE_MAX)
        << "type " << type << " starts with its name";
  }
}

// Label lists, walked for ABSV and for a test type laid out like A2BYTE: five analog inputs,
// five analog outputs and two word values that each choose one of seven byte formats.
constexpr const char* kA2Texts[] = {"A2BYTE"};
constexpr uint16_t kA2Values[] = {0, 0};
constexpr FbTemplate kA2Template{.size = 49,
                                 .type = 2,
                                 .analogOutputs = 5,
                                 .analogInputs = 5,
                                 .wordValues = kA2Values,
                                 .texts = kA2Texts};
void noop() {}
void registerLabelTypes() {
  BLK_RegisterArithTypes();
  ASSERT_EQ(FB_RegisterType(2, FB_TypeFromTemplate(&kA2Template, noop, noop, nullptr, nullptr,
                                                   FB_COMMON_BLOCK_RANGES, 0, 2, 9)),
            FB_OK);
}

class LabelTest : public ::testing::Test {
 protected:
  BlockFixture fx{registerLabelTypes};
  void SetUp() override { FW_SelectTextLanguageByte(1); }
  void TearDown() override { FW_SelectTextLanguageByte(0); }
  static std::string label(uint32_t type, int32_t entry) {
    return FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(type, entry, -2)));
  }
};

TEST_F(LabelTest, WalkReachesTheLabelOfEachSlot) {
  // ABSV: X 1 | Y 1 | a, a0 | title; entry counts on from the long values.
  struct Case {
    uint32_t type;
    int32_t entry;
    const char* label;
  };
  const Case cases[] = {
      {1, -4, "X 1"}, {1, -3, "Y 1"}, {1, -2, "a"}, {1, -1, "a0"}, {1, 0, "title"},
      {2, -10, "Ibyte1"}, {2, -6, "X 1"}, {2, -5, "Y 1"}, {2, -1, "Obyte4"},
      {2, 0, "Ioct"}, {2, 1, "Ooct"}, {2, 2, "title"},
  };
  for (const Case& c : cases) EXPECT_EQ(label(c.type, c.entry), c.label) << c.type << " " << c.entry;
  EXPECT_EQ(label(1, -5), "ABSV") << "no label passed: the name";
}

TEST_F(LabelTest, BaseSelectsAChoiceOfTheLabel) {
  EXPECT_STREQ(FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(2, 0, 0))), "Uint8");
  EXPECT_STREQ(FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(2, 0, 3))), "Int16");
  EXPECT_STREQ(FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(2, 1, 6))), "Float");
  // The code after a label tells how many choices it has.
  const auto ioct = static_cast<uint32_t>(FB_GetTextOffset(2, 0, -2));
  EXPECT_EQ(FW_GetTextCode(ioct + 1), 7);
  EXPECT_EQ(FW_GetTextCode(static_cast<uint32_t>(FB_GetTextOffset(1, 0, -2)) + 1), 0);
}

TEST_F(LabelTest, TypesWithoutAListOrOutsideTheTableGiveZero) {
  EXPECT_EQ(FB_GetTextOffset(200, 0, 0), 0) << "type not in use";
  EXPECT_EQ(FB_GetTextOffset(256, 0, 0), 0);
  EXPECT_EQ(FB_GetTextOffset(0xFFFFFFFFu, 0, 0), 0);
  EXPECT_EQ(FB_GetTextOffset(1, -6, 0), 0) << "a walk before the list";
  EXPECT_EQ(FB_GetTextOffset(1, 1000000, 0), 0) << "a walk past the table";
}

// The function-code map.
TEST(FuncCodeMap, LookupFindsEntriesAndAnswers32000ForMissingPairs) {
  FB_SortFuncCodeTable();
  EXPECT_EQ(FB_FuncCodeToIntCode(0x80, 0xB2), 4080);
  EXPECT_EQ(FB_FuncCodeToIntCode(0x89, 0xB2), 4089);
  EXPECT_EQ(FB_FuncCodeToIntCode(0x85, 0xB2), 4085);
  EXPECT_EQ(FB_FuncCodeToIntCode(0x8A, 0xB2), 32000);
  EXPECT_EQ(FB_FuncCodeToIntCode(0x80, 0xB1), 32000);
  EXPECT_EQ(FB_FuncCodeToIntCode(0, 0), 32000) << "a multiple of 0x10 names block data";
  // The rows of single values: nine ids to each group of sixteen codes.
  EXPECT_EQ(FB_FuncCodeToIntCode(0x00, 0x11), 9);
  EXPECT_EQ(FB_FuncCodeToIntCode(0x01, 0x99), 179);
  EXPECT_EQ(FB_FuncCodeToIntCode(0x10, 0x01), 1000);
  EXPECT_EQ(FB_FuncCodeToIntCode(0x20, 0x29), 2026);
  EXPECT_EQ(FB_FuncCodeToIntCode(0x20, 0x31), 32000) << "27 texts only";
  EXPECT_EQ(FB_FuncCodeToIntCode(0x00, 0x1A), 32000);
  EXPECT_EQ(FB_FuncCodeToIntCode(0x7F, 0xB2 + 4096), 32000) << "a code of 12 bits at most";
  EXPECT_EQ(FB_FuncCodeToIntCode(0xFFFFFFFFu, 0xB2), 32000);
  // Sorted by key, end mark in place.
  uint32_t n = 0;
  while (g_fbFuncCodeMap[n].key != FB_FUNC_CODE_END) {
    if (n > 0) {
      EXPECT_LT(g_fbFuncCodeMap[n - 1].key, g_fbFuncCodeMap[n].key);
    }
    ++n;
  }
  EXPECT_EQ(n + 1, g_fbFuncCodeCapacity);
}

TEST(FuncCodeMap, DumpWritesOneLinePerEntry) {
  const std::string path = ::testing::TempDir() + "funccodes.txt";
  ASSERT_EQ(FB_DumpFuncCodeTable(path.c_str()), 1);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::string first;
  std::getline(text, first);
  EXPECT_EQ(first, "zeile 0000 FuncAndCode 000001 IntCode 0000");  // sub-index 0, code 0x01
  int lines = 1;
  for (std::string line; std::getline(text, line);) ++lines;
  EXPECT_EQ(lines, static_cast<int>(g_fbFuncCodeCapacity - 1));
  std::remove(path.c_str());

  EXPECT_EQ(FB_DumpFuncCodeTable("/nonexistent-dir/x/funccodes.txt"), 0);
  EXPECT_EQ(FB_DumpFuncCodeTable(nullptr), 0);
}

}  // namespace
