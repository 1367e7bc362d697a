// The rows the block families enter into the block-type table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "block_cases.h"
#include "blocks/arith/arith.h"
#include "blocks/logic/logic.h"
#include "runtime/fb_values.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_text.h"

namespace {

TEST(TypeRows, EveryTypeIsRegisteredWithItsTemplateWeightAndGroup) {
  struct Row {
    uint16_t type;
    const char* tag;
    uint16_t size, weight, group;
  } rows[] = {
      {BLK_TYPE_ABSV, "ABSV", 37, 1, 1},     {BLK_TYPE_A2BYTE, "A2BYTE", 49, 2, 9},
      {BLK_TYPE_ADSU, "ADSU", 55, 3, 1},     {BLK_TYPE_MUDI, "MUDI", 57, 3, 1},
      {BLK_TYPE_SQRT, "SQRT", 41, 2, 1},     {BLK_TYPE_SCAL, "SCAL", 41, 18, 1},
      {BLK_TYPE_10EXP, "10EXP", 29, 17, 2},  {BLK_TYPE_EEXP, "EEXP", 29, 5, 2},
      {BLK_TYPE_LN, "LN", 29, 6, 2},         {BLK_TYPE_LG10, "LG10", 29, 7, 2},
      {BLK_TYPE_AND, "AND", 35, 1, 3},       {BLK_TYPE_NOT, "NOT", 28, 1, 3},
      {BLK_TYPE_OR, "OR", 35, 1, 3},         {BLK_TYPE_BOUNCE, "BOUNCE", 37, 2, 3},
      {BLK_TYPE_EXOR, "EXOR", 31, 1, 3},     {BLK_TYPE_FLIP, "FLIP", 34, 1, 3},
      {BLK_TYPE_STEP, "STEP", 58, 3, 3},     {BLK_TYPE_ABIN, "ABIN", 55, 2, 3},
      {BLK_TYPE_TRUNC, "TRUNC", 29, 1, 3},
  };
  BlockFixture fx(BLK_RegisterAllTypes);
  EXPECT_EQ(FB_GetType(4), nullptr);  // an empty row
  uint16_t block = kBlock;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tag);
    const FbTypeRecord* rec = FB_GetType(r.type);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->tmpl->size, r.size);
    EXPECT_EQ(rec->weight, r.weight);
    EXPECT_EQ(rec->group, r.group);
    EXPECT_EQ(rec->permitted, FB_COMMON_BLOCK_RANGES);
    EXPECT_EQ(rec->fixedPlaceId, 0);
    EXPECT_NE(rec->init, nullptr);
    EXPECT_NE(rec->param, nullptr);
    fx.create(r.type, block);
    char* text = nullptr;
    ASSERT_EQ(FB_GetTextParamPtr(block, 1, &text), 1);
    std::string tag(r.tag);
    tag.resize(FB_TEXT_LEN, ' ');
    EXPECT_EQ(std::string(text, FB_TEXT_LEN), tag);
    ++block;
  }
}

// Every slot of every registered type has a label of its own in the type's label list: the
// value lists of the pages show no fallback text.
TEST(TypeRows, EverySlotHasALabel) {
  BlockFixture fx(BLK_RegisterAllTypes);
  const std::string fallback = FW_GetText(0);
  uint16_t block = kBlock;
  for (uint16_t type = 1; type < FB_TYPE_COUNT; ++type) {
    if (!FB_GetType(type) || type == FIXTURE_SOURCE_TYPE) continue;
    SCOPED_TRACE(type);
    EXPECT_NE(g_fbLabelListStart[type], 0);
    fx.create(type, block);
    for (int cls : {0, 1, 2}) {
      int16_t status = 0;
      FB_ReadValuesByClass(cls, block, &status);
      ASSERT_EQ(status, 1);
      const FbValueLists& l = g_fbValueLists;
      if (l.rowCount == 1 && l.rows[0].entry == nullptr) continue;   // an empty list
      for (uint16_t r = 0; r < l.rowCount; ++r) {
        EXPECT_NE(l.rows[r].textId, 0) << "class " << cls << " row " << r;
        EXPECT_NE(FW_GetText(l.rows[r].textId), fallback) << "class " << cls << " row " << r;
      }
    }
    ++block;
  }
  // The system-data block's nine values, and their choices where they have them.
  FW_RegisterSystemType();
  int16_t status = 0;
  FB_ReadValuesByClass(2, 0, &status);
  ASSERT_EQ(status, 1);
  ASSERT_GE(g_fbValueLists.rowCount, FW_SH_COUNT);
  for (uint16_t r = 0; r < FW_SH_COUNT; ++r) {
    EXPECT_NE(FW_GetText(g_fbValueLists.rows[r].textId), fallback) << r;
  }
  const uint16_t language = g_fbValueLists.rows[FW_SH_LANGUAGE].textId;
  EXPECT_EQ(FW_GetTextCode(language + 1), 3);
  EXPECT_STREQ(FW_GetText(language + 2), "Deutsch");
}

}  // namespace
