// The rows the block families enter into the block-type table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "block_cases.h"
#include "blocks/arith/arith.h"
#include "blocks/logger/logger.h"
#include "blocks/io/io.h"
#include "blocks/prog/prog.h"
#include "blocks/logic/logic.h"
#include "runtime/fb_values.h"
#include "blocks/ctrl/ctrl.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_text.h"
#include "blocks/limit/limit.h"
#include "blocks/timer/timer.h"
#include "blocks/bus/bus.h"
#include "blocks/logic/logic.h"
#include "blocks/timefn/timefn.h"
#include "blocks/select/select.h"
#include "blocks/curve/curve.h"
#include "blocks/trig/trig.h"
#include "blocks/exchange/exchange.h"
#include "blocks/info/info.h"
#include "blocks/profinet/profinet.h"
#include "blocks/csdo/csdo.h"
#include "blocks/visual/visual.h"
#include "blocks/remoteio/remoteio.h"

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
      {FB_TYPE_APROG, "APROG", 513, 33, 6},  {FB_TYPE_APROGD, "APROGD", 118, 1, 6},
      {FB_TYPE_APRGD2, "APRGD2", 142, 1, 6}, {FB_TYPE_DPROGD, "DPROGD", 117, 1, 6},
      {BLK_TYPE_CONTR, "CONTR", 953, 51, 25},
      {BLK_TYPE_CONTR_PLUS, "CONTR+", 1079, 53, 25},
      {BLK_TYPE_PIDMA, "PIDMA", 1377, 68, 25},
      {BLK_TYPE_10EXP, "10EXP", 29, 17, 2},  {BLK_TYPE_EEXP, "EEXP", 29, 5, 2},
      {BLK_TYPE_LN, "LN", 29, 6, 2},         {BLK_TYPE_LG10, "LG10", 29, 7, 2},
      {BLK_TYPE_AND, "AND", 35, 1, 3},       {BLK_TYPE_NOT, "NOT", 28, 1, 3},
      {BLK_TYPE_OR, "OR", 35, 1, 3},         {BLK_TYPE_BOUNCE, "BOUNCE", 37, 2, 3},
      {BLK_TYPE_MONO, "MONO", 61, 2, 4},     {BLK_TYPE_TIMER, "TIMER", 57, 4, 4},
      {BLK_TYPE_TONOFF, "TONOFF", 50, 2, 4}, {BLK_TYPE_TIME2, "TIME2", 55, 3, 4},
      {BLK_TYPE_PULS, "PULS", 46, 2, 5},     {BLK_TYPE_COUNT, "COUN", 55, 2, 5},
      {BLK_TYPE_MEAN, "MEAN", 257, 5, 5},
      {BLK_TYPE_ALOGEX, "ALOGEX", 262, 4, 105}, {BLK_TYPE_DLOGEX, "DLOGEX", 216, 3, 105},
      {BLK_TYPE_EXOR, "EXOR", 31, 1, 3},     {BLK_TYPE_FLIP, "FLIP", 34, 1, 3},
      {BLK_TYPE_STEP, "STEP", 58, 3, 3},     {BLK_TYPE_ABIN, "ABIN", 55, 2, 3},
      {BLK_TYPE_TRUNC, "TRUNC", 29, 1, 3},
      {BLK_TYPE_LEAD, "LEAD", 53, 3, 10},    {BLK_TYPE_INTE, "INTE", 67, 4, 10},
      {BLK_TYPE_LAG, "LAG", 39, 2, 10},      {BLK_TYPE_DELAY, "DELAY", 556, 2, 10},
      {BLK_TYPE_DELAY2, "DELAY2", 555, 2, 11}, {BLK_TYPE_FILTER, "FILTER", 43, 2, 11},
      {BLK_TYPE_ALLP, "ALLP", 63, 2, 15},    {BLK_TYPE_ALLV, "ALLV", 59, 4, 15},
      {BLK_TYPE_EQUAL, "EQUAL", 43, 2, 15},  {BLK_TYPE_VELO, "VELO", 49, 2, 16},
      {BLK_TYPE_LIMIT, "LIMIT", 87, 4, 16},  {BLK_TYPE_ALARM, "ALARM", 50, 3, 16},
      {BLK_TYPE_SELD, "SELD", 42, 2, 13},    {BLK_TYPE_EXTR, "EXTR", 43, 3, 12},
      {BLK_TYPE_PEAK, "PEAK", 39, 2, 12},    {BLK_TYPE_TRST, "TRST", 31, 1, 12},
      {BLK_TYPE_SELC, "SELC", 67, 1, 12},    {BLK_TYPE_SELP, "SELP", 45, 1, 13},
      {BLK_TYPE_SELV1, "SELV1", 39, 1, 13},  {BLK_TYPE_SELOUT, "SELOUT", 39, 1, 13},
      {BLK_TYPE_RECIPE, "RECIPE", 130, 6, 13}, {BLK_TYPE_2OF3, "2OF3", 56, 5, 14},
      {BLK_TYPE_SELV2, "SELV2", 39, 2, 14},
      {BLK_TYPE_LINEAR, "LINEAR", 120, 4, 3}, {BLK_TYPE_GAP, "GAP", 37, 2, 3},
      {BLK_TYPE_CHAR, "CHAR", 139, 5, 3},
      {BLK_TYPE_TEXT, "TEXT", 69, 1, 17},    {BLK_TYPE_SIN, "SIN", 31, 7, 4},
      {BLK_TYPE_COS, "COS", 31, 7, 4},       {BLK_TYPE_TAN, "TAN", 31, 9, 4},
      {BLK_TYPE_COT, "COT", 31, 11, 4},      {BLK_TYPE_ARCSIN, "ARCSIN", 31, 8, 5},
      {BLK_TYPE_ARCCOS, "ARCCOS", 31, 7, 5}, {BLK_TYPE_ARCTAN, "ARCTAN", 31, 7, 5},
      {BLK_TYPE_ARCCOT, "ARCCOT", 31, 7, 5},
      {FB_TYPE_DPROG, "DPROG", 495, 28, 6},
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

// Types bound to fixed block numbers: their own ranges, fixed-place ids, weights and groups.
TEST(TypeRows, FixedPlaceTypesTakeOnlyTheirOwnBlockNumbers) {
  struct Row {
    uint16_t type;
    const char* tag;
    uint16_t first, last;  // one permitted range (the first), and a number outside all
    uint16_t outside, fixedId, weight, group;
  } rows[] = {
      {BLK_TYPE_AINP1, "AINP1", 61, 61, 62, 1, 2, 0},
      {BLK_TYPE_TPS_IN, "TPS_IN", 65, 74, 61, 1, 2, 101},
      {BLK_TYPE_AINP3, "AINP3", 63, 63, 64, 2, 2, 0},
      {BLK_TYPE_AINP4, "AINP4", 64, 64, 63, 3, 2, 0},
      {BLK_TYPE_AINP5, "AINP5", 65, 65, 66, 4, 2, 0},
      {BLK_TYPE_AINP6, "AINP6", 66, 66, 65, 5, 2, 0},
      {BLK_TYPE_UNI_IN, "UNI_IN", 61, 61, 62, 1, 2, 101},
      {BLK_TYPE_OUT1, "OUT1", 81, 81, 82, 103, 1, 0},
      {BLK_TYPE_OUT2, "OUT2", 82, 82, 81, 104, 1, 0},
      {BLK_TYPE_OUT3, "OUT3", 70, 70, 81, 105, 1, 0},
      {BLK_TYPE_OUT4, "OUT4", 84, 84, 85, 106, 1, 0},
      {BLK_TYPE_REL_OUT, "REL_OUT", 81, 82, 83, 107, 1, 102},
      {BLK_TYPE_SSR_OUT, "SSR_OUT", 65, 74, 75, 106, 2, 102},
      {BLK_TYPE_S_OUT, "S_OUT", 65, 74, 84, 108, 1, 102},
      {BLK_TYPE_D_OUT, "D_OUT", 70, 70, 71, 105, 1, 103},
      {BLK_TYPE_DIGOUT, "DIGOUT", 95, 95, 94, 108, 1, 0},
      {BLK_TYPE_D_IN, "D_IN", 67, 69, 70, 6, 1, 103},
      {BLK_TYPE_DINPUT, "DINPUT", 91, 91, 90, 6, 1, 0},
      {BLK_TYPE_LED, "LED", 96, 96, 100, 101, 1, 104},
  };
  BlockFixture fx(BLK_RegisterAllTypes);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tag);
    const FbTypeRecord* rec = FB_GetType(r.type);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->fixedPlaceId, r.fixedId);
    EXPECT_EQ(rec->weight, r.weight);
    EXPECT_EQ(rec->group, r.group);
    EXPECT_EQ(rec->permitted[0].low, r.first);
    EXPECT_EQ(rec->permitted[0].high, r.last);
    for (const FbBlockRange* p = rec->permitted; p->low || p->high; ++p) {
      EXPECT_FALSE(r.outside >= p->low && r.outside <= p->high);
    }
    ASSERT_NE(rec->init, nullptr);
    ASSERT_NE(rec->param, nullptr);
    fx.create(r.type, r.first, 0);
    char* text = nullptr;
    ASSERT_EQ(FB_GetTextParamPtr(r.first, 1, &text), 1);
    std::string tag(r.tag);
    tag.resize(FB_TEXT_LEN, ' ');
    EXPECT_EQ(std::string(text, FB_TEXT_LEN), tag);
    FB_ClearStore();
  }
}

// Types of one fixed block each: their block number is the only one permitted and their
// fixed-place id.
TEST(TypeRows, FixedBlockTypesTakeTheirOneBlockNumber) {
  struct Row {
    uint16_t type;
    const char* tag;
    uint16_t size, weight, group, block;
  } rows[] = {
      {BLK_TYPE_LOGGER, "LOGGER", 489, 20, 105, 89},
      {BLK_TYPE_EVTLOG, "EVTLOG", 249, 12, 105, 87},
  };
  BlockFixture fx(BLK_RegisterAllTypes);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tag);
    const FbTypeRecord* rec = FB_GetType(r.type);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->tmpl->size, r.size);
    EXPECT_EQ(rec->weight, r.weight);
    EXPECT_EQ(rec->group, r.group);
    ASSERT_NE(rec->permitted, nullptr);
    EXPECT_EQ(rec->permitted[0].low, r.block);
    EXPECT_EQ(rec->permitted[0].high, r.block);
    EXPECT_EQ(rec->permitted[1].low, 0);
    EXPECT_EQ(rec->fixedPlaceId, r.block);
    fx.create(r.type, r.block, 0);
    char* text = nullptr;
    ASSERT_EQ(FB_GetTextParamPtr(r.block, 1, &text), 1);
    std::string tag(r.tag);
    tag.resize(FB_TEXT_LEN, ' ');
    EXPECT_EQ(std::string(text, FB_TEXT_LEN), tag);
  }
}

// The two-channel card types: their block numbers, fixed-place ids, weights, groups and
// label lists (each slot and each choice of a word value has its own text).
TEST(TypeRows, TwoChannelCardTypes) {
  struct Row {
    uint16_t type;
    const char* tag;
    uint16_t last, fixedId, weight, group;
  } rows[] = {
      {BLK_TYPE_TC_IN, "TC_IN", 74, 1, 2, 101},    {BLK_TYPE_R_IN, "R_IN", 74, 1, 2, 101},
      {BLK_TYPE_U_IN, "U_IN", 74, 1, 2, 101},      {BLK_TYPE_F_INP, "F_INP", 74, 1, 2, 101},
      {BLK_TYPE_I_OUT, "I_OUT", 82, 106, 2, 102},  {BLK_TYPE_U_OUT, "U_OUT", 82, 106, 2, 102},
      {BLK_TYPE_PWM_OUT, "PWM_OUT", 82, 106, 2, 102}, {BLK_TYPE_DIDO, "DIDO", 74, 6, 1, 103},
  };
  BlockFixture fx(BLK_RegisterAllTypes);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tag);
    const FbTypeRecord* rec = FB_GetType(r.type);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->fixedPlaceId, r.fixedId);
    EXPECT_EQ(rec->weight, r.weight);
    EXPECT_EQ(rec->group, r.group);
    EXPECT_EQ(rec->permitted[0].low, 65);
    uint16_t last = 0;
    for (const FbBlockRange* p = rec->permitted; p->low || p->high; ++p) last = p->high;
    EXPECT_EQ(last, r.last);
    fx.create(r.type, 65, 0);
    char* text = nullptr;
    ASSERT_EQ(FB_GetTextParamPtr(65, 1, &text), 1);
    std::string tag(r.tag);
    tag.resize(FB_TEXT_LEN, ' ');
    EXPECT_EQ(std::string(text, FB_TEXT_LEN), tag);
    FB_ClearStore();
  }
  // Choice texts of a word value of sub-channel b: TC_IN "Type_b" = 28, DIDO "Mode_b" = 1.
  EXPECT_STREQ(FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(BLK_TYPE_TC_IN, 5, 28))), "0..100mV");
  EXPECT_STREQ(FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(BLK_TYPE_DIDO, 5, 1))), "Output");
  EXPECT_STREQ(FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(BLK_TYPE_R_IN, 8, 2))), "4-wire");
}

// The pulse generator's type name is "PULSE" in English, "PULS" in the other languages.
TEST(TypeRows, PulsIsShownAsPulseInEnglish) {
  const uint16_t name = g_fbLabelListStart[BLK_TYPE_PULS];
  ASSERT_NE(name, 0);
  const char* expected[] = {"PULS", "PULSE", "PULS"};
  for (uint8_t language = 0; language < 3; ++language) {
    FW_SelectTextLanguageByte(language);
    EXPECT_STREQ(FW_GetText(name), expected[language]) << int{language};
  }
  FW_SelectTextLanguageByte(0);
}

// The bus, data-exchange, device-function and PROFINET types: their block numbers, fixed-place
// ids, weights, groups and instance sizes.
TEST(TypeRows, BusTypes) {
  struct Row {
    uint16_t type;
    const char* tag;
    std::vector<FbBlockRange> permitted;   // empty: the common range 100..1950
    uint16_t fixedId, weight, group, size;
  } rows[] = {
      {BLK_TYPE_CRCV, "CRCV", {{22, 22}, {24, 24}, {26, 26}, {28, 28}}, 10, 9, 22, 77},
      {BLK_TYPE_CSEND, "CSEND", {{21, 21}, {23, 23}, {25, 25}, {27, 27}}, 11, 18, 22, 95},
      {BLK_TYPE_C_MX6X, "C_MX6x", {{21, 25}}, 12, 9, 22, 247},
      {BLK_TYPE_MX6X, "MX6x", {}, 0, 8, 22, 56},
      {BLK_TYPE_CPREAD, "CPREAD", {{21, 40}}, 13, 13, 23, 75},
      {BLK_TYPE_CPWRIT, "CPWRIT", {{21, 40}}, 14, 13, 23, 75},
      {BLK_TYPE_L1READ, "L1READ", {{1, 20}}, 0, 2, 19, 64},
      {BLK_TYPE_L1WRIT, "L1WRIT", {{1, 20}}, 0, 2, 19, 105},
      {BLK_TYPE_DPREAD, "DPREAD", {{1, 4}}, 0, 4, 19, 73},
      {BLK_TYPE_DPWRIT, "DPWRIT", {{11, 14}}, 0, 5, 19, 58},
      {BLK_TYPE_MBDATA, "MBDATA", {{56, 60}}, 0, 5, 19, 201},
      {BLK_TYPE_INFO, ">INFORMATION  1<", {{97, 97}}, 102, 3, 104, 245},
      {BLK_TYPE_STATUS, "STATUS", {{98, 98}}, 7, 2, 104, 73},
      {BLK_TYPE_CONST, "CONST", {{99, 99}}, 8, 1, 105, 123},
      {BLK_TYPE_CALLPG, "CALLPG", {{90, 90}}, 100, 1, 104, 34},
      {BLK_TYPE_AND_2, "AND_2", {}, 0, 1, 3, 30},
      {BLK_TYPE_CMP, "CMP", {}, 0, 1, 15, 36},
      {BLK_TYPE_OR_2, "OR_2", {}, 0, 1, 3, 30},
      {BLK_TYPE_PNSERV, "PNSERV", {}, 0, 3, 19, 53},
      {BLK_TYPE_PNREAD, "PNREAD", {}, 0, 2, 19, 161},
      {BLK_TYPE_PNWRIT, "PNWRIT", {}, 0, 3, 19, 212},
  };
  BlockFixture fx(BLK_RegisterAllTypes);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tag);
    const FbTypeRecord* rec = FB_GetType(r.type);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->fixedPlaceId, r.fixedId);
    EXPECT_EQ(rec->weight, r.weight);
    EXPECT_EQ(rec->group, r.group);
    EXPECT_EQ(rec->tmpl->size, r.size);
    if (r.permitted.empty()) {
      EXPECT_EQ(rec->permitted, FB_COMMON_BLOCK_RANGES);
    } else {
      std::vector<FbBlockRange> permitted;
      for (const FbBlockRange* p = rec->permitted; p->low || p->high; ++p) permitted.push_back(*p);
      ASSERT_EQ(permitted.size(), r.permitted.size());
      for (size_t i = 0; i < permitted.size(); ++i) {
        EXPECT_EQ(permitted[i].low, r.permitted[i].low);
        EXPECT_EQ(permitted[i].high, r.permitted[i].high);
      }
    }
    const uint16_t block = r.permitted.empty() ? 100 : r.permitted[0].low;
    fx.create(r.type, block, 0);
    char* text = nullptr;
    ASSERT_EQ(FB_GetTextParamPtr(block, 1, &text), 1);
    std::string tag(r.tag);
    tag.resize(FB_TEXT_LEN, ' ');
    EXPECT_EQ(std::string(text, FB_TEXT_LEN), tag);
    FB_ClearStore();
  }
}

// CSDO is bound to the block numbers of the input-side pass under its fixed-place id; SAFE
// runs in a time group on the common numbers. Sizes: the groups and CSDO's own state.
TEST(TypeRows, CsdoAndSafeTypes) {
  struct Row {
    uint16_t type;
    const char* tag;
    uint16_t first, last, fixedId, weight, group, size;
  } rows[] = {
      {BLK_TYPE_CSDO, "CSDO", 21, 40, 15, 13, 23, 85},
      {BLK_TYPE_SAFE, "SAFE", 100, 1950, 0, 4, 105, 131},
  };
  BlockFixture fx(BLK_RegisterAllTypes);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tag);
    const FbTypeRecord* rec = FB_GetType(r.type);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->fixedPlaceId, r.fixedId);
    EXPECT_EQ(rec->weight, r.weight);
    EXPECT_EQ(rec->group, r.group);
    EXPECT_EQ(rec->tmpl->size, r.size);
    ASSERT_NE(rec->permitted, nullptr);
    EXPECT_EQ(rec->permitted[0].low, r.first);
    EXPECT_EQ(rec->permitted[0].high, r.last);
    EXPECT_EQ(rec->permitted[1].low | rec->permitted[1].high, 0);
    fx.create(r.type, r.first, r.fixedId ? 0 : 1);
    char* text = nullptr;
    ASSERT_EQ(FB_GetTextParamPtr(r.first, 1, &text), 1);
    std::string tag(r.tag);
    tag.resize(FB_TEXT_LEN, ' ');
    EXPECT_EQ(std::string(text, FB_TEXT_LEN), tag);
    FB_ClearStore();
  }
}

// The Mode choices of CMP.
TEST(TypeRows, CmpModeChoices) {
  BlockFixture fx(BLK_RegisterAllTypes);
  EXPECT_STREQ(FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(BLK_TYPE_CMP, -1, 5))), "X1 <> X2");
}

// The remote I/O coupler is bound to blocks 21..25 under its fixed-place id, the module
// blocks run in time groups on the common numbers; the counts of their groups, their titles
// and a choice text of each kind of word value.
TEST(TypeRows, RemoteIoTypes) {
  struct Row {
    uint16_t type;
    const char* tag;
    uint16_t first, last, fixedId;
    uint16_t ai, di, ao, dout, fp, lv, wv;
  } rows[] = {
      {BLK_TYPE_C_TQ5X, "C_TQ5x", 21, 25, 16, 0, 0, 9, 3, 0, 0, 1},
      {BLK_TYPE_TQ_DI, "TQ_DI", 100, 1950, 0, 1, 0, 0, 11, 0, 0, 9},
      {BLK_TYPE_TQ_DO, "TQ_DO", 100, 1950, 0, 1, 8, 0, 11, 0, 0, 25},
      {BLK_TYPE_TQ_AI, "TQ_AI", 100, 1950, 0, 1, 0, 4, 8, 0, 12, 13},
      {BLK_TYPE_TQ_AO, "TQ_AO", 100, 1950, 0, 5, 0, 0, 7, 0, 8, 9},
      {BLK_TYPE_TQ_AIPLUS, "TQ_AI+", 100, 1950, 0, 1, 2, 4, 8, 16, 12, 13},
      {BLK_TYPE_TQ_DMS, "TQ_DMS", 100, 1950, 0, 1, 6, 2, 6, 8, 8, 7},
  };
  BlockFixture fx(BLK_RegisterAllTypes);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tag);
    const FbTypeRecord* rec = FB_GetType(r.type);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->fixedPlaceId, r.fixedId);
    EXPECT_EQ(rec->permitted[0].low, r.first);
    EXPECT_EQ(rec->permitted[0].high, r.last);
    EXPECT_EQ(rec->analogInputs, r.ai);
    EXPECT_EQ(rec->digitalInputs, r.di);
    EXPECT_EQ(rec->analogOutputs, r.ao);
    EXPECT_EQ(rec->digitalOutputs, r.dout);
    EXPECT_EQ(rec->floatParams, r.fp);
    EXPECT_EQ(rec->longValues, r.lv);
    EXPECT_EQ(rec->wordValues, r.wv);
    EXPECT_EQ(rec->texts, 1);
    fx.create(r.type, r.first, r.fixedId ? 0 : 1);
    char* text = nullptr;
    ASSERT_EQ(FB_GetTextParamPtr(r.first, 1, &text), 1);
    std::string tag(r.tag);
    tag.resize(FB_TEXT_LEN, ' ');
    EXPECT_EQ(std::string(text, FB_TEXT_LEN), tag);
    FB_ClearStore();
  }
  const auto choice = [](uint16_t type, uint16_t value, uint16_t c) {
    return std::string(FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(type, value, c))));
  };
  EXPECT_EQ(choice(BLK_TYPE_TQ_AI, 1, 52), "0...20mA");       // STyp 1
  EXPECT_EQ(choice(BLK_TYPE_TQ_AI, 7, 6), "Type S");         // STyp 4
  EXPECT_EQ(choice(BLK_TYPE_TQ_AIPLUS, 0, 8), "TQ 534-2");   // MTyp
  EXPECT_EQ(choice(BLK_TYPE_TQ_AIPLUS, 3, 42), "-3...3V");   // STyp 2
  EXPECT_EQ(choice(BLK_TYPE_TQ_AO, 2, 21), "4...20mA");      // OTyp 2
  EXPECT_EQ(choice(BLK_TYPE_TQ_AO, 8, 1), "freeze");         // Fail 4
  EXPECT_EQ(choice(BLK_TYPE_TQ_DO, 22, 1), "Inverse");       // Inv 8
  EXPECT_EQ(choice(BLK_TYPE_TQ_DI, 0, 2), "TQ 553");         // MTyp
}

// The visualisation types: four on the common numbers in a time group, VIDLE at block 88.
// Sizes: the groups and the page records (VTREND's with its two rings).
TEST(TypeRows, VisualTypes) {
  struct Row {
    uint16_t type;
    const char* tag;
    uint16_t first, last, fixedId, weight, group, size;
  } rows[] = {
      {BLK_TYPE_VWERT, "VWERT", 100, 1950, 0, 4, 17, 526},
      {BLK_TYPE_VBAR, "VBAR", 100, 1950, 0, 3, 17, 220},
      {BLK_TYPE_VPARA, "VPARA", 100, 1950, 0, 4, 17, 297},
      {BLK_TYPE_VTREND, "VTREND", 100, 1950, 0, 4, 17, 862},
      {BLK_TYPE_VIDLE, "VIDLE", 88, 88, 88, 1, 104, 34},
  };
  BlockFixture fx(BLK_RegisterAllTypes);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tag);
    const FbTypeRecord* rec = FB_GetType(r.type);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->fixedPlaceId, r.fixedId);
    EXPECT_EQ(rec->weight, r.weight);
    EXPECT_EQ(rec->group, r.group);
    EXPECT_EQ(rec->tmpl->size, r.size);
    ASSERT_NE(rec->permitted, nullptr);
    EXPECT_EQ(rec->permitted[0].low, r.first);
    EXPECT_EQ(rec->permitted[0].high, r.last);
    EXPECT_EQ(rec->permitted[1].low | rec->permitted[1].high, 0);
    fx.create(r.type, r.first, r.fixedId ? 0 : 1);
    char* text = nullptr;
    ASSERT_EQ(FB_GetTextParamPtr(r.first, 1, &text), 1);
    std::string tag(r.tag);
    tag.resize(FB_TEXT_LEN, ' ');
    EXPECT_EQ(std::string(text, FB_TEXT_LEN), tag);
    FB_ClearStore();
  }
}

}  // namespace
