// The rows the block families enter into the block-type table.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
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

// The block numbers a type permits, as its row checks them.
struct Ranges {
  enum Kind { Common, Exact, First, FirstToLast } kind;
  std::vector<FbBlockRange> list;  // Exact: every range, in order
  uint16_t low = 0, high = 0;      // First: the first range; FirstToLast: its low, the last's high
};
const Ranges kCommon{Ranges::Common, {}};
Ranges Exact(std::vector<FbBlockRange> list) { return {Ranges::Exact, std::move(list)}; }
Ranges First(uint16_t low, uint16_t high) { return {Ranges::First, {}, low, high}; }
Ranges FirstToLast(uint16_t low, uint16_t high) { return {Ranges::FirstToLast, {}, low, high}; }

// The counts of a type's groups.
struct Counts {
  uint16_t analogIn, digitalIn, analogOut, digitalOut, floatParams, longValues, wordValues;
};

// One row of the block-type table as the families enter it; -1: not checked.
struct TypeRow {
  uint16_t type;
  const char* tag;
  Ranges permitted;
  int size, weight, group;
  uint16_t fixedId;
  uint16_t outside;               // a block number outside every range (0: none checked)
  std::optional<Counts> counts;
};

const TypeRow kTypeRows[] = {
      {BLK_TYPE_ABSV, "ABSV", kCommon, 37, 1, 1, 0, 0, {}},
      {BLK_TYPE_A2BYTE, "A2BYTE", kCommon, 49, 2, 9, 0, 0, {}},
      {BLK_TYPE_ADSU, "ADSU", kCommon, 55, 3, 1, 0, 0, {}},
      {BLK_TYPE_MUDI, "MUDI", kCommon, 57, 3, 1, 0, 0, {}},
      {BLK_TYPE_SQRT, "SQRT", kCommon, 41, 2, 1, 0, 0, {}},
      {BLK_TYPE_SCAL, "SCAL", kCommon, 41, 18, 1, 0, 0, {}},
      {FB_TYPE_APROG, "APROG", kCommon, 513, 33, 6, 0, 0, {}},
      {FB_TYPE_APROGD, "APROGD", kCommon, 118, 1, 6, 0, 0, {}},
      {FB_TYPE_APRGD2, "APRGD2", kCommon, 142, 1, 6, 0, 0, {}},
      {FB_TYPE_DPROGD, "DPROGD", kCommon, 117, 1, 6, 0, 0, {}},
      {BLK_TYPE_CONTR, "CONTR", kCommon, 953, 51, 25, 0, 0, {}},
      {BLK_TYPE_CONTR_PLUS, "CONTR+", kCommon, 1079, 53, 25, 0, 0, {}},
      {BLK_TYPE_PIDMA, "PIDMA", kCommon, 1377, 68, 25, 0, 0, {}},
      {BLK_TYPE_10EXP, "10EXP", kCommon, 29, 17, 2, 0, 0, {}},
      {BLK_TYPE_EEXP, "EEXP", kCommon, 29, 5, 2, 0, 0, {}},
      {BLK_TYPE_LN, "LN", kCommon, 29, 6, 2, 0, 0, {}},
      {BLK_TYPE_LG10, "LG10", kCommon, 29, 7, 2, 0, 0, {}},
      {BLK_TYPE_AND, "AND", kCommon, 35, 1, 3, 0, 0, {}},
      {BLK_TYPE_NOT, "NOT", kCommon, 28, 1, 3, 0, 0, {}},
      {BLK_TYPE_OR, "OR", kCommon, 35, 1, 3, 0, 0, {}},
      {BLK_TYPE_BOUNCE, "BOUNCE", kCommon, 37, 2, 3, 0, 0, {}},
      {BLK_TYPE_MONO, "MONO", kCommon, 61, 2, 4, 0, 0, {}},
      {BLK_TYPE_TIMER, "TIMER", kCommon, 57, 4, 4, 0, 0, {}},
      {BLK_TYPE_TONOFF, "TONOFF", kCommon, 50, 2, 4, 0, 0, {}},
      {BLK_TYPE_TIME2, "TIME2", kCommon, 55, 3, 4, 0, 0, {}},
      {BLK_TYPE_PULS, "PULS", kCommon, 46, 2, 5, 0, 0, {}},
      {BLK_TYPE_COUNT, "COUN", kCommon, 55, 2, 5, 0, 0, {}},
      {BLK_TYPE_MEAN, "MEAN", kCommon, 257, 5, 5, 0, 0, {}},
      {BLK_TYPE_ALOGEX, "ALOGEX", kCommon, 262, 4, 105, 0, 0, {}},
      {BLK_TYPE_DLOGEX, "DLOGEX", kCommon, 216, 3, 105, 0, 0, {}},
      {BLK_TYPE_EXOR, "EXOR", kCommon, 31, 1, 3, 0, 0, {}},
      {BLK_TYPE_FLIP, "FLIP", kCommon, 34, 1, 3, 0, 0, {}},
      {BLK_TYPE_STEP, "STEP", kCommon, 58, 3, 3, 0, 0, {}},
      {BLK_TYPE_ABIN, "ABIN", kCommon, 55, 2, 3, 0, 0, {}},
      {BLK_TYPE_TRUNC, "TRUNC", kCommon, 29, 1, 3, 0, 0, {}},
      {BLK_TYPE_LEAD, "LEAD", kCommon, 53, 3, 10, 0, 0, {}},
      {BLK_TYPE_INTE, "INTE", kCommon, 67, 4, 10, 0, 0, {}},
      {BLK_TYPE_LAG, "LAG", kCommon, 39, 2, 10, 0, 0, {}},
      {BLK_TYPE_DELAY, "DELAY", kCommon, 556, 2, 10, 0, 0, {}},
      {BLK_TYPE_DELAY2, "DELAY2", kCommon, 555, 2, 11, 0, 0, {}},
      {BLK_TYPE_FILTER, "FILTER", kCommon, 43, 2, 11, 0, 0, {}},
      {BLK_TYPE_ALLP, "ALLP", kCommon, 63, 2, 15, 0, 0, {}},
      {BLK_TYPE_ALLV, "ALLV", kCommon, 59, 4, 15, 0, 0, {}},
      {BLK_TYPE_EQUAL, "EQUAL", kCommon, 43, 2, 15, 0, 0, {}},
      {BLK_TYPE_VELO, "VELO", kCommon, 49, 2, 16, 0, 0, {}},
      {BLK_TYPE_LIMIT, "LIMIT", kCommon, 87, 4, 16, 0, 0, {}},
      {BLK_TYPE_ALARM, "ALARM", kCommon, 50, 3, 16, 0, 0, {}},
      {BLK_TYPE_SELD, "SELD", kCommon, 42, 2, 13, 0, 0, {}},
      {BLK_TYPE_EXTR, "EXTR", kCommon, 43, 3, 12, 0, 0, {}},
      {BLK_TYPE_PEAK, "PEAK", kCommon, 39, 2, 12, 0, 0, {}},
      {BLK_TYPE_TRST, "TRST", kCommon, 31, 1, 12, 0, 0, {}},
      {BLK_TYPE_SELC, "SELC", kCommon, 67, 1, 12, 0, 0, {}},
      {BLK_TYPE_SELP, "SELP", kCommon, 45, 1, 13, 0, 0, {}},
      {BLK_TYPE_SELV1, "SELV1", kCommon, 39, 1, 13, 0, 0, {}},
      {BLK_TYPE_SELOUT, "SELOUT", kCommon, 39, 1, 13, 0, 0, {}},
      {BLK_TYPE_RECIPE, "RECIPE", kCommon, 130, 6, 13, 0, 0, {}},
      {BLK_TYPE_2OF3, "2OF3", kCommon, 56, 5, 14, 0, 0, {}},
      {BLK_TYPE_SELV2, "SELV2", kCommon, 39, 2, 14, 0, 0, {}},
      {BLK_TYPE_LINEAR, "LINEAR", kCommon, 120, 4, 3, 0, 0, {}},
      {BLK_TYPE_GAP, "GAP", kCommon, 37, 2, 3, 0, 0, {}},
      {BLK_TYPE_CHAR, "CHAR", kCommon, 139, 5, 3, 0, 0, {}},
      {BLK_TYPE_TEXT, "TEXT", kCommon, 69, 1, 17, 0, 0, {}},
      {BLK_TYPE_SIN, "SIN", kCommon, 31, 7, 4, 0, 0, {}},
      {BLK_TYPE_COS, "COS", kCommon, 31, 7, 4, 0, 0, {}},
      {BLK_TYPE_TAN, "TAN", kCommon, 31, 9, 4, 0, 0, {}},
      {BLK_TYPE_COT, "COT", kCommon, 31, 11, 4, 0, 0, {}},
      {BLK_TYPE_ARCSIN, "ARCSIN", kCommon, 31, 8, 5, 0, 0, {}},
      {BLK_TYPE_ARCCOS, "ARCCOS", kCommon, 31, 7, 5, 0, 0, {}},
      {BLK_TYPE_ARCTAN, "ARCTAN", kCommon, 31, 7, 5, 0, 0, {}},
      {BLK_TYPE_ARCCOT, "ARCCOT", kCommon, 31, 7, 5, 0, 0, {}},
      {FB_TYPE_DPROG, "DPROG", kCommon, 495, 28, 6, 0, 0, {}},
      // Fixed places: the first range permitted, and a number outside every range.
      {BLK_TYPE_AINP1, "AINP1", First(61, 61), -1, 2, 0, 1, 62, {}},
      {BLK_TYPE_TPS_IN, "TPS_IN", First(65, 74), -1, 2, 101, 1, 61, {}},
      {BLK_TYPE_AINP3, "AINP3", First(63, 63), -1, 2, 0, 2, 64, {}},
      {BLK_TYPE_AINP4, "AINP4", First(64, 64), -1, 2, 0, 3, 63, {}},
      {BLK_TYPE_AINP5, "AINP5", First(65, 65), -1, 2, 0, 4, 66, {}},
      {BLK_TYPE_AINP6, "AINP6", First(66, 66), -1, 2, 0, 5, 65, {}},
      {BLK_TYPE_UNI_IN, "UNI_IN", First(61, 61), -1, 2, 101, 1, 62, {}},
      {BLK_TYPE_OUT1, "OUT1", First(81, 81), -1, 1, 0, 103, 82, {}},
      {BLK_TYPE_OUT2, "OUT2", First(82, 82), -1, 1, 0, 104, 81, {}},
      {BLK_TYPE_OUT3, "OUT3", First(70, 70), -1, 1, 0, 105, 81, {}},
      {BLK_TYPE_OUT4, "OUT4", First(84, 84), -1, 1, 0, 106, 85, {}},
      {BLK_TYPE_REL_OUT, "REL_OUT", First(81, 82), -1, 1, 102, 107, 83, {}},
      {BLK_TYPE_SSR_OUT, "SSR_OUT", First(65, 74), -1, 2, 102, 106, 75, {}},
      {BLK_TYPE_S_OUT, "S_OUT", First(65, 74), -1, 1, 102, 108, 84, {}},
      {BLK_TYPE_D_OUT, "D_OUT", First(70, 70), -1, 1, 103, 105, 71, {}},
      {BLK_TYPE_DIGOUT, "DIGOUT", First(95, 95), -1, 1, 0, 108, 94, {}},
      {BLK_TYPE_D_IN, "D_IN", First(67, 69), -1, 1, 103, 6, 70, {}},
      {BLK_TYPE_DINPUT, "DINPUT", First(91, 91), -1, 1, 0, 6, 90, {}},
      {BLK_TYPE_LED, "LED", First(96, 96), -1, 1, 104, 101, 100, {}},
      // One fixed block each: that block is the only one permitted and the fixed-place id.
      {BLK_TYPE_LOGGER, "LOGGER", Exact({{89, 89}}), 489, 20, 105, 89, 0, {}},
      {BLK_TYPE_EVTLOG, "EVTLOG", Exact({{87, 87}}), 249, 12, 105, 87, 0, {}},
      // The two-channel cards: from block 65 to the last number of their last range.
      {BLK_TYPE_TC_IN, "TC_IN", FirstToLast(65, 74), -1, 2, 101, 1, 0, {}},
      {BLK_TYPE_R_IN, "R_IN", FirstToLast(65, 74), -1, 2, 101, 1, 0, {}},
      {BLK_TYPE_U_IN, "U_IN", FirstToLast(65, 74), -1, 2, 101, 1, 0, {}},
      {BLK_TYPE_F_INP, "F_INP", FirstToLast(65, 74), -1, 2, 101, 1, 0, {}},
      {BLK_TYPE_I_OUT, "I_OUT", FirstToLast(65, 82), -1, 2, 102, 106, 0, {}},
      {BLK_TYPE_U_OUT, "U_OUT", FirstToLast(65, 82), -1, 2, 102, 106, 0, {}},
      {BLK_TYPE_PWM_OUT, "PWM_OUT", FirstToLast(65, 82), -1, 2, 102, 106, 0, {}},
      {BLK_TYPE_DIDO, "DIDO", FirstToLast(65, 74), -1, 1, 103, 6, 0, {}},
      // The bus, data-exchange, device-function and PROFINET types.
      {BLK_TYPE_CRCV, "CRCV", Exact({{{22, 22}, {24, 24}, {26, 26}, {28, 28}}}), 77, 9, 22, 10, 0, {}},
      {BLK_TYPE_CSEND, "CSEND", Exact({{{21, 21}, {23, 23}, {25, 25}, {27, 27}}}), 95, 18, 22, 11, 0, {}},
      {BLK_TYPE_C_MX6X, "C_MX6x", Exact({{{21, 25}}}), 247, 9, 22, 12, 0, {}},
      {BLK_TYPE_MX6X, "MX6x", kCommon, 56, 8, 22, 0, 0, {}},
      {BLK_TYPE_CPREAD, "CPREAD", Exact({{{21, 40}}}), 75, 13, 23, 13, 0, {}},
      {BLK_TYPE_CPWRIT, "CPWRIT", Exact({{{21, 40}}}), 75, 13, 23, 14, 0, {}},
      {BLK_TYPE_L1READ, "L1READ", Exact({{{1, 20}}}), 64, 2, 19, 0, 0, {}},
      {BLK_TYPE_L1WRIT, "L1WRIT", Exact({{{1, 20}}}), 105, 2, 19, 0, 0, {}},
      {BLK_TYPE_DPREAD, "DPREAD", Exact({{{1, 4}}}), 73, 4, 19, 0, 0, {}},
      {BLK_TYPE_DPWRIT, "DPWRIT", Exact({{{11, 14}}}), 58, 5, 19, 0, 0, {}},
      {BLK_TYPE_MBDATA, "MBDATA", Exact({{{56, 60}}}), 201, 5, 19, 0, 0, {}},
      {BLK_TYPE_INFO, ">INFORMATION  1<", Exact({{{97, 97}}}), 245, 3, 104, 102, 0, {}},
      {BLK_TYPE_STATUS, "STATUS", Exact({{{98, 98}}}), 73, 2, 104, 7, 0, {}},
      {BLK_TYPE_CONST, "CONST", Exact({{{99, 99}}}), 123, 1, 105, 8, 0, {}},
      {BLK_TYPE_CALLPG, "CALLPG", Exact({{{90, 90}}}), 34, 1, 104, 100, 0, {}},
      {BLK_TYPE_AND_2, "AND_2", kCommon, 30, 1, 3, 0, 0, {}},
      {BLK_TYPE_CMP, "CMP", kCommon, 36, 1, 15, 0, 0, {}},
      {BLK_TYPE_OR_2, "OR_2", kCommon, 30, 1, 3, 0, 0, {}},
      {BLK_TYPE_PNSERV, "PNSERV", kCommon, 53, 3, 19, 0, 0, {}},
      {BLK_TYPE_PNREAD, "PNREAD", kCommon, 161, 2, 19, 0, 0, {}},
      {BLK_TYPE_PNWRIT, "PNWRIT", kCommon, 212, 3, 19, 0, 0, {}},
      // CSDO at the input-side pass under its fixed-place id, SAFE in a time group.
      {BLK_TYPE_CSDO, "CSDO", Exact({{21, 40}}), 85, 13, 23, 15, 0, {}},
      {BLK_TYPE_SAFE, "SAFE", Exact({{100, 1950}}), 131, 4, 105, 0, 0, {}},
      // The remote I/O coupler and its module blocks, with the counts of their groups.
      {BLK_TYPE_C_TQ5X, "C_TQ5x", First(21, 25), -1, -1, -1, 16, 0, {{0, 0, 9, 3, 0, 0, 1}}},
      {BLK_TYPE_TQ_DI, "TQ_DI", First(100, 1950), -1, -1, -1, 0, 0, {{1, 0, 0, 11, 0, 0, 9}}},
      {BLK_TYPE_TQ_DO, "TQ_DO", First(100, 1950), -1, -1, -1, 0, 0, {{1, 8, 0, 11, 0, 0, 25}}},
      {BLK_TYPE_TQ_AI, "TQ_AI", First(100, 1950), -1, -1, -1, 0, 0, {{1, 0, 4, 8, 0, 12, 13}}},
      {BLK_TYPE_TQ_AO, "TQ_AO", First(100, 1950), -1, -1, -1, 0, 0, {{5, 0, 0, 7, 0, 8, 9}}},
      {BLK_TYPE_TQ_AIPLUS, "TQ_AI+", First(100, 1950), -1, -1, -1, 0, 0, {{1, 2, 4, 8, 16, 12, 13}}},
      {BLK_TYPE_TQ_DMS, "TQ_DMS", First(100, 1950), -1, -1, -1, 0, 0, {{1, 6, 2, 6, 8, 8, 7}}},
      // The visualisation types: four on the common numbers, VIDLE at block 88.
      {BLK_TYPE_VWERT, "VWERT", Exact({{100, 1950}}), 526, 4, 17, 0, 0, {}},
      {BLK_TYPE_VBAR, "VBAR", Exact({{100, 1950}}), 220, 3, 17, 0, 0, {}},
      {BLK_TYPE_VPARA, "VPARA", Exact({{100, 1950}}), 297, 4, 17, 0, 0, {}},
      {BLK_TYPE_VTREND, "VTREND", Exact({{100, 1950}}), 862, 4, 17, 0, 0, {}},
      {BLK_TYPE_VIDLE, "VIDLE", Exact({{88, 88}}), 34, 1, 104, 88, 0, {}},
};

// Every type's row: its template size, weight, group, fixed-place id, the block numbers it
// permits, its handlers, and its tag as the text of a block created at its first number.
TEST(TypeRows, EveryTypeIsRegisteredAsItsRowSays) {
  BlockFixture fx(BLK_RegisterAllTypes);
  EXPECT_EQ(FB_GetType(4), nullptr);  // an empty row
  for (const TypeRow& r : kTypeRows) {
    SCOPED_TRACE(r.tag);
    const FbTypeRecord* rec = FB_GetType(r.type);
    ASSERT_NE(rec, nullptr);
    if (r.size >= 0) EXPECT_EQ(rec->tmpl->size, r.size);
    if (r.weight >= 0) EXPECT_EQ(rec->weight, r.weight);
    if (r.group >= 0) EXPECT_EQ(rec->group, r.group);
    EXPECT_EQ(rec->fixedPlaceId, r.fixedId);
    EXPECT_NE(rec->init, nullptr);
    EXPECT_NE(rec->param, nullptr);
    ASSERT_NE(rec->permitted, nullptr);
    std::vector<FbBlockRange> permitted;
    for (const FbBlockRange* q = rec->permitted; q->low || q->high; ++q) permitted.push_back(*q);
    ASSERT_FALSE(permitted.empty());
    switch (r.permitted.kind) {
      case Ranges::Common:
        EXPECT_EQ(rec->permitted, FB_COMMON_BLOCK_RANGES);
        break;
      case Ranges::Exact:
        ASSERT_EQ(permitted.size(), r.permitted.list.size());
        for (size_t i = 0; i < permitted.size(); ++i) {
          EXPECT_EQ(permitted[i].low, r.permitted.list[i].low);
          EXPECT_EQ(permitted[i].high, r.permitted.list[i].high);
        }
        break;
      case Ranges::First:
        EXPECT_EQ(permitted[0].low, r.permitted.low);
        EXPECT_EQ(permitted[0].high, r.permitted.high);
        break;
      case Ranges::FirstToLast:
        EXPECT_EQ(permitted[0].low, r.permitted.low);
        EXPECT_EQ(permitted.back().high, r.permitted.high);
        break;
    }
    for (const FbBlockRange& q : permitted) {
      if (r.outside) EXPECT_FALSE(r.outside >= q.low && r.outside <= q.high);
    }
    if (r.counts) {
      EXPECT_EQ(rec->analogInputs, r.counts->analogIn);
      EXPECT_EQ(rec->digitalInputs, r.counts->digitalIn);
      EXPECT_EQ(rec->analogOutputs, r.counts->analogOut);
      EXPECT_EQ(rec->digitalOutputs, r.counts->digitalOut);
      EXPECT_EQ(rec->floatParams, r.counts->floatParams);
      EXPECT_EQ(rec->longValues, r.counts->longValues);
      EXPECT_EQ(rec->wordValues, r.counts->wordValues);
      EXPECT_EQ(rec->texts, 1);
    }
    // Types at fixed places are created outside the time groups, the others in one.
    const uint16_t block = permitted[0].low;
    fx.create(r.type, block, r.fixedId ? 0 : 1);
    char* text = nullptr;
    ASSERT_EQ(FB_GetTextParamPtr(block, 1, &text), 1);
    std::string tag(r.tag);
    tag.resize(FB_TEXT_LEN, ' ');
    EXPECT_EQ(std::string(text, FB_TEXT_LEN), tag);
    FB_ClearStore();
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

// The Mode choices of CMP.
TEST(TypeRows, CmpModeChoices) {
  BlockFixture fx(BLK_RegisterAllTypes);
  EXPECT_STREQ(FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(BLK_TYPE_CMP, -1, 5))), "X1 <> X2");
}

// Choice texts of the two-channel cards' word values.
TEST(TypeRows, TwoChannelCardChoiceTexts) {
  BlockFixture fx(BLK_RegisterAllTypes);
  // Choice texts of a word value of sub-channel b: TC_IN "Type_b" = 28, DIDO "Mode_b" = 1.
  EXPECT_STREQ(FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(BLK_TYPE_TC_IN, 5, 28))), "0..100mV");
  EXPECT_STREQ(FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(BLK_TYPE_DIDO, 5, 1))), "Output");
  EXPECT_STREQ(FW_GetText(static_cast<uint32_t>(FB_GetTextOffset(BLK_TYPE_R_IN, 8, 2))), "4-wire");
}

// Choice texts of each kind of word value of the remote I/O module blocks.
TEST(TypeRows, RemoteIoChoiceTexts) {
  BlockFixture fx(BLK_RegisterAllTypes);
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

}  // namespace
