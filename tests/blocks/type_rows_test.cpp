// The rows the block families enter into the block-type table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "block_cases.h"
#include "blocks/arith/arith.h"
#include "blocks/logic/logic.h"
#include "blocks/prog/prog.h"

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
      {FB_TYPE_APROG, "APROG", 509, 33, 6},  {FB_TYPE_APROGD, "APROGD", 118, 1, 6},
      {FB_TYPE_APRGD2, "APRGD2", 142, 1, 6}, {FB_TYPE_DPROGD, "DPROGD", 117, 1, 6},
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

}  // namespace
