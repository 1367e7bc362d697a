// The remote I/O coupler and module blocks on the bus node's test driver: the claim of a
// slot, the configuration lists, the parameter sets, the coupler's states with its identity,
// configuration writes, time-outs and restarts, and the values the modules convert.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "blocks/block_family.h"
#include "blocks/csdo/csdo.h"
#include "blocks/io/io.h"
#include "runtime/fb_param.h"
#include "support/remoteio_rig.h"

namespace {

using bustest::Bytes;

// Digital outputs of every module block (1-based).
enum : uint16_t { kEtErr = 1, kIdErr = 2, kValid = 3, kFirstOut = 4 };

class RemoteIo : public ::testing::Test, public RemoteIoRig {
 protected:
  // The kind the node reports for a slot is the one the module block expects.
  void reports(uint16_t slot, uint16_t type, uint8_t mtyp) {
    kinds[slot - 1] = static_cast<uint8_t>(COM_ModuleKind(type, mtyp));
  }
  void setImage16(uint16_t slot, int ch, int16_t v) {
    uint8_t* p = RemoteIoRig::slot(slot).input + 2 * ch;
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
  }
  static int16_t outImage16(uint16_t slot, int ch) {
    const uint8_t* p = RemoteIoRig::slot(slot).output + 2 * ch;
    return static_cast<int16_t>(p[0] | p[1] << 8);
  }
  static uint8_t param(uint16_t block, int16_t id, uint16_t v) {
    FbParamRequest r = FB_WordRequest(block, id, v);
    return FB_GetType(FB_GetInstance(block)[FB_HDR_TYPE])->param(&r, nullptr);
  }
  static uint8_t paramF(uint16_t block, int16_t id, float v) {
    FbParamRequest r = FB_FloatRequest(block, id, v);
    return FB_GetType(FB_GetInstance(block)[FB_HDR_TYPE])->param(&r, nullptr);
  }
};

// --- slots ------------------------------------------------------------------------------------

TEST_F(RemoteIo, TheBlockInitialisedFirstOwnsTheSlot) {
  coupler();
  module(BLK_TYPE_TQ_DO, 101, 3);
  module(BLK_TYPE_TQ_DI, 100, 3);
  startUp();   // 101 first
  EXPECT_EQ(digitalOut(101, kEtErr), 0);
  EXPECT_EQ(digitalOut(100, kEtErr), 1);
  EXPECT_EQ(slot(3).claimed, 1);
  EXPECT_EQ(slot(3).configList.get(), BLK_HandleOf(BLK_RioConfigList(101).count));
  for (int n : {1, 2, 4, 5, 6, 7, 8, 9}) EXPECT_EQ(slot(n).claimed, 0) << n;
  // The slot outputs carry block x 1000 + 47 + 27 (n - 1).
  for (uint16_t n = 1; n <= 9; ++n) EXPECT_EQ(analogOut(21, n), 21047.0f + 27.0f * (n - 1)) << n;
}

TEST_F(RemoteIo, SlotInputsThatNameNoSlotOfACouplerGiveEtErr) {
  coupler(22, 13);
  createAt(BLK_TYPE_CSDO, 23);   // a block at a coupler number that is no C_TQ5x
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    const char* what;
    float value;
    uint16_t etErr;
  } cases[] = {
      {"slot 2 of coupler 22", 22074.0f, 0},
      {"slot 9 of coupler 22", 22263.0f, 0},
      {"thousands part 26", 26047.0f, 1},
      {"thousands part 20", 20047.0f, 1},
      {"between two slot records", 22048.0f, 1},
      {"past the ninth slot", 22290.0f, 1},
      {"below the first slot", 22020.0f, 1},
      {"not a whole number", 22074.5f, 1},
      {"negative", -22074.0f, 1},
      {"no number", nan, 1},
      {"block 21 does not exist", 21047.0f, 1},
      {"block 23 is no C_TQ5x", 23047.0f, 1},
  };
  uint16_t block = 100;
  for (const auto& c : cases) moduleReading(BLK_TYPE_TQ_AI, block++, c.value);
  create(BLK_TYPE_TQ_DI, 200, 1);   // "Slot x" open
  startUp();
  init(200);
  block = 100;
  for (const auto& c : cases) EXPECT_EQ(digitalOut(block++, kEtErr), c.etErr) << c.what;
  EXPECT_EQ(digitalOut(200, kEtErr), 1) << "open";
  // A block with et_err stays passive, whatever the coupler does.
  nodeUp(13);
  for (int i = 0; i < 5; ++i) cycle();
  EXPECT_EQ(digitalOut(104, kValid), 0);
  EXPECT_TRUE(list(104).empty()) << "no list is built without a slot";
}

// --- configuration lists -------------------------------------------------------------------------

struct Entry {
  uint16_t object;
  uint8_t channel;
  Bytes data;
};
std::vector<Entry> entriesOf(const std::vector<RioConfigEntry>& list) {
  std::vector<Entry> v;
  for (const RioConfigEntry& e : list) v.push_back({e.object(), e.channel, Bytes(e.data, e.data + e.length)});
  return v;
}
void expectEntries(const std::vector<Entry>& got, const std::vector<Entry>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].object, want[i].object) << i;
    EXPECT_EQ(got[i].channel, want[i].channel) << i;
    EXPECT_EQ(got[i].data, want[i].data) << i;
  }
}

TEST_F(RemoteIo, AnalogInputListsFollowTheChannels) {
  coupler();
  module(BLK_TYPE_TQ_AI, 100, 1);   // MTyp 0: four 0..20 mA channels
  module(BLK_TYPE_TQ_AI, 101, 2);   // Fail 1 downscale, Tf 1 = 1.0
  setValue(101, 10, 1);
  setLong(101, 1, 1.0f);
  module(BLK_TYPE_TQ_AI, 102, 3);   // MTyp 6: Type S in degrees F, the others fall back to PT100
  setValue(102, 1, 6);
  setValue(102, 2, 6);
  setValue(102, 3, 1);
  module(BLK_TYPE_TQ_AI, 103, 4);   // MTyp 7: two thermocouple channels
  setValue(103, 1, 7);
  module(BLK_TYPE_TQ_AIPLUS, 104, 5);   // a fourth object per channel
  startUp();

  std::vector<Entry> mA;
  for (uint8_t ch = 0; ch < 4; ++ch) {
    mA.push_back({0x6110, ch, {52, 0}});
    mA.push_back({0x5100, ch, {42}});
  }
  {
    SCOPED_TRACE("MTyp 0: 8 entries");
    expectEntries(entriesOf(list(100)), mA);
  }
  {
    SCOPED_TRACE("Fail 1 and Tf 1");
    std::vector<Entry> want = mA;
    want[0].data = {52, 32};
    want[1].data = {23};   // 25.5 / 1.1
    expectEntries(entriesOf(list(101)), want);
  }
  {
    SCOPED_TRACE("temperatures with their unit");
    std::vector<Entry> want = {{0x6110, 0, {6, 0}}, {0x6131, 0, {0x20, 0x30}}, {0x5100, 0, {42}}};
    for (uint8_t ch = 1; ch < 4; ++ch) {
      want.push_back({0x6110, ch, {30, 0}});
      want.push_back({0x6131, ch, {0x10, 0x30}});
      want.push_back({0x5100, ch, {42}});
    }
    expectEntries(entriesOf(list(102)), want);
    EXPECT_EQ(wordValue(102, 4), 30) << "a code the module does not permit falls back";
  }
  {
    SCOPED_TRACE("two-channel module: 6 entries");
    std::vector<Entry> want;
    for (uint8_t ch = 0; ch < 2; ++ch) {
      want.push_back({0x6110, ch, {1, 0}});
      want.push_back({0x6131, ch, {0x10, 0x30}});
      want.push_back({0x5100, ch, {42}});
    }
    expectEntries(entriesOf(list(103)), want);
  }
  {
    SCOPED_TRACE("TQ_AI+");
    std::vector<Entry> want;
    for (uint8_t ch = 0; ch < 4; ++ch) {
      want.push_back({0x6110, ch, {52, 0}});
      want.push_back({0x5100, ch, {42}});
      want.push_back({0x7124, ch, {0, 0}});
    }
    expectEntries(entriesOf(list(104)), want);
  }
}

TEST_F(RemoteIo, DigitalOutputAndStrainGaugeLists) {
  coupler();
  module(BLK_TYPE_TQ_DI, 100, 1);
  setValue(100, 2, 1);   // Inv 1
  setValue(100, 9, 1);   // Inv 8
  module(BLK_TYPE_TQ_DO, 101, 2);
  setValue(101, 2, 1);    // Inv 1
  setValue(101, 6, 1);    // FMode 2
  setValue(101, 25, 1);   // FStat 8
  module(BLK_TYPE_TQ_AO, 102, 3);
  setValue(102, 2, 21);   // OTyp 1 4..20 mA
  setValue(102, 6, 1);    // Fail 1 freeze
  module(BLK_TYPE_TQ_DMS, 103, 4);
  setValue(103, 7, 1);     // Fail 2
  setLong(103, 8, 2.5f);   // Cn 2
  startUp();
  expectEntries(entriesOf(list(100)), {{0x6002, 0, {0x81}}});
  expectEntries(entriesOf(list(101)), {{0x6202, 0, {0x01}}, {0x6206, 0, {0x02}}, {0x6207, 0, {0x80}}});
  expectEntries(entriesOf(list(102)), {{0x6310, 0, {21, 128}}, {0x6310, 1, {20, 0}},
                                       {0x6310, 2, {20, 0}}, {0x6310, 3, {20, 0}}});
  const uint8_t g = RIO_SECOND_GROUP;
  expectEntries(entriesOf(list(103)),
                {{0x6110, 0, {71, 0}}, {0x6131, 0, {45, 112}}, {0x5100, 0, {42}},
                 {0x9121, g, {0, 0, 0, 0}}, {0x9122, g, {0xA0, 0x86, 0x01, 0}},
                 {0x9123, g, {0xA0, 0x86, 0x01, 0}},
                 {0x6110, 1, {71, 32}}, {0x6131, 1, {45, 112}}, {0x5100, 1, {42}},
                 {0x9121, g | 1, {0, 0, 0, 0}}, {0x9122, g | 1, {0x90, 0xD0, 0x03, 0}},
                 {0x9123, g | 1, {0xA0, 0x86, 0x01, 0}}});
}

TEST_F(RemoteIo, TheFilterByteOfTf) {
  const struct {
    float tf;
    uint8_t byte;
  } cases[] = {{0.5f, 42}, {0.0f, 255}, {1.0f, 23}, {25.4f, 1}, {999999.0f, 0}};
  coupler();
  uint16_t block = 100;
  for (const auto& c : cases) {
    module(BLK_TYPE_TQ_AI, block, static_cast<uint16_t>(block - 99));
    setLong(block, 1, c.tf);
    ++block;
  }
  startUp();
  block = 100;
  for (const auto& c : cases) EXPECT_EQ(list(block++)[1].data[0], c.byte) << c.tf;
}

// --- parameters -----------------------------------------------------------------------------------

TEST_F(RemoteIo, ANewModuleReplacesTheCodesItDoesNotPermit) {
  coupler();
  module(BLK_TYPE_TQ_AI, 100, 1);
  setValue(100, 1, 1);   // TQ 531-1: voltages
  for (uint16_t ch = 0; ch < 4; ++ch) setValue(100, 2 + 2 * ch, ch % 2 ? 41 : 40);
  ASSERT_EQ(param(100, 3000, 0), FB_OK);
  for (uint16_t ch = 0; ch < 4; ++ch) {
    EXPECT_EQ(wordValue(100, 2 + 2 * ch, true), 52) << ch;
    EXPECT_EQ(wordValue(100, 2 + 2 * ch), ch % 2 ? 41 : 40) << "the working copy waits for Init";
  }
  // "TQ 531-2": currents on channels 1, 2, voltages on 3, 4.
  ASSERT_EQ(param(100, 3000, 2), FB_OK);
  EXPECT_EQ(wordValue(100, 2, true), 52);
  EXPECT_EQ(wordValue(100, 6, true), 41);

  module(BLK_TYPE_TQ_AO, 101, 2);
  setValue(101, 4, 10);   // OTyp 3 "0..10V" on TQ 541-0
  ASSERT_EQ(param(101, 3000, 1), FB_OK);
  EXPECT_EQ(wordValue(101, 4, true), 20) << "TQ 541-1 has -10..10 V on channel 3";
}

TEST_F(RemoteIo, SensorAndOutputTypesAreDiscreteSetsOfTheModule) {
  coupler();
  module(BLK_TYPE_TQ_AI, 100, 1);
  module(BLK_TYPE_TQ_AIPLUS, 101, 2);
  module(BLK_TYPE_TQ_AO, 102, 3);
  const struct {
    uint16_t block, mtyp;
    int16_t id;
    uint16_t value;
    uint8_t result;
  } cases[] = {
      {100, 0, 3001, 51, FB_OK},         {100, 0, 3001, 40, FB_ERR_LIMITS},
      {100, 0, 3001, 50, FB_ERR_LIMITS}, {100, 2, 3005, 41, FB_OK},
      {100, 2, 3005, 52, FB_ERR_LIMITS}, {100, 6, 3007, 30, FB_OK},
      {100, 6, 3007, 11, FB_ERR_LIMITS}, {100, 7, 3005, 0, FB_OK},
      {100, 7, 3005, 1, FB_ERR_LIMITS},  {100, 7, 3001, 10, FB_OK},
      {100, 0, 3000, 8, FB_ERR_LIMITS},  {101, 8, 3001, 42, FB_OK},
      {101, 8, 3003, 42, FB_ERR_LIMITS}, {101, 8, 3003, 2, FB_OK},
      {102, 0, 3003, 10, FB_OK},         {102, 2, 3001, 10, FB_ERR_LIMITS},
      {102, 2, 3001, 11, FB_OK},         {102, 1, 3003, 11, FB_OK},
      {102, 0, 3001, 21, FB_OK},         {102, 0, 3001, 15, FB_ERR_LIMITS},
  };
  for (const auto& c : cases) {
    wordValue(c.block, 1, true) = c.mtyp;
    EXPECT_EQ(param(c.block, c.id, c.value), c.result)
        << "block " << c.block << " MTyp " << c.mtyp << " id " << c.id << " = " << c.value;
  }
  // A whole set is checked against the module it brings.
  const uint16_t words[13] = {1, 40, 0, 41, 0, 40, 0, 41, 0, 0, 0, 0, 0};
  const float longs[12] = {0.5f, 0, 10, 0.5f, 0, 10, 0.5f, 0, 10, 0.5f, 0, 10};
  wordValue(100, 1, true) = 0;
  FbParamRequest set = FB_SetRequest(100, 4010, words, longs);
  EXPECT_EQ(FB_TQ_AI_Param(&set, nullptr), FB_OK);
  EXPECT_EQ(wordValue(100, 2, true), 40);
}

// --- the coupler -----------------------------------------------------------------------------------

TEST_F(RemoteIo, CouplerInitChecksItsNode) {
  const struct {
    const char* what;
    char option;
    uint16_t node;
    bool otherCoupler;
    uint16_t etErr, idErr;
    uint8_t state;
  } cases[] = {
      {"a free node", '1', 12, false, 0, 0, RIO_START},
      {"the own node id", '1', kOwnNode, false, 0, 1, RIO_FAULT},
      {"a node id out of its limits", '1', 50, false, 0, 1, RIO_FAULT},
      {"a node another coupler claimed", '1', 12, true, 1, 0, RIO_FAULT},
      {"no communication option", '0', 12, false, 1, 0, RIO_FAULT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    clearBlocks();
    setOption(c.option);
    if (c.otherCoupler) {
      createAt(BLK_TYPE_C_TQ5X, 22);
      setWordValue(22, 1, static_cast<int16_t>(c.node));
      init(22);
    }
    createAt(BLK_TYPE_C_TQ5X, 21);
    setWordValue(21, 1, static_cast<int16_t>(c.node));
    init(21);
    EXPECT_EQ(digitalOut(21, 1), c.etErr);
    EXPECT_EQ(digitalOut(21, 2), c.idErr);
    EXPECT_EQ(state().state, c.state);
    EXPECT_EQ(analogOut(21, 1), c.option > '0' ? 21047.0f : 0.0f);
    if (c.state == RIO_START) {
      EXPECT_EQ(node(12).configStage, COM_USE_CLAIMED);
    }
    // A fault stays until the next start-up pass, whatever the node does.
    nodeUp(c.node < 43 ? c.node : 12);
    run(21, 3);
    if (c.state == RIO_FAULT) {
      EXPECT_EQ(state().state, RIO_FAULT);
    }
  }
}

TEST_F(RemoteIo, TheIdentityGivesTheCouplerClass) {
  const struct {
    const char* identity;
    uint8_t kind;
    uint8_t cls;
  } cases[] = {
      {"SW-V01.25", COM_KIND_COUPLER, 1},   {"SW-V01.26", COM_KIND_COUPLER, 1},
      {"SW-V01.27", COM_KIND_COUPLER, 2},   {"SW-V02.00", COM_KIND_COUPLER, 2},
      {"SW-V01.24", COM_KIND_COUPLER, 0},   {"SW-V00.99", COM_KIND_COUPLER, 0},
      {"", COM_KIND_COUPLER, 0},            {"SW-V01.2", COM_KIND_COUPLER, 0},
      {"SW-V1.27", COM_KIND_COUPLER, 0},    {"sw-v01.27", COM_KIND_COUPLER, 0},
      {"SW-V01,27", COM_KIND_COUPLER, 0},   {"SW-V01.27 with a tail", COM_KIND_COUPLER, 2},
      {"SW-V01.24", COM_KIND_COUPLER_20, RIO_CLASS_20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.identity);
    clearBlocks();
    coupler();
    startUp();
    nodeUp(kNode, c.kind);
    identity = c.identity;
    ASSERT_TRUE(runTo(RIO_CONFIGURE));
    EXPECT_EQ(state().couplerClass, c.cls);
    EXPECT_EQ(slot(9).couplerClass, c.cls);
    EXPECT_LE(std::strlen(state().identity), 10u) << "the text stays inside its buffer";
  }
}

TEST_F(RemoteIo, ANodeOfAnotherKindGivesIdErr) {
  coupler();
  startUp();
  nodeUp(kNode, COM_KIND_FOREIGN);
  run(21, 3);
  EXPECT_EQ(state().state, RIO_START);
  EXPECT_EQ(digitalOut(21, 2), 1);
  node(kNode).kind = COM_KIND_COUPLER;
  run(21);
  EXPECT_EQ(state().state, RIO_IDENTITY);
  EXPECT_EQ(digitalOut(21, 2), 0);
  EXPECT_EQ(node(kNode).configStage, COM_USE_STARTED);
}

// A coupler with an analog input module in slot 1, a digital input in slot 2 and a digital
// output in slot 4, brought up by its node.
class RemoteIoRun : public RemoteIo {
 protected:
  void SetUp() override {
    coupler();
    module(BLK_TYPE_TQ_AI, 100, 1);
    module(BLK_TYPE_TQ_DI, 101, 2);
    module(BLK_TYPE_TQ_DO, 102, 4);
    reports(1, BLK_TYPE_TQ_AI, 0);
    reports(2, BLK_TYPE_TQ_DI, 0);
    reports(4, BLK_TYPE_TQ_DO, 0);
    for (uint16_t k = 1; k <= 8; ++k) setDigitalInput(102, k, 0);
    startUp();
    nodeUp();
  }
};

TEST_F(RemoteIoRun, TheCouplerConfiguresItsModulesAndOperates) {
  ASSERT_TRUE(runTo(RIO_OPERATE));
  cycle();
  EXPECT_EQ(digitalOut(21, 3), 1) << "valid";
  for (uint16_t b : {100, 101, 102}) {
    EXPECT_EQ(digitalOut(b, kValid), 1) << b;
    EXPECT_EQ(digitalOut(b, kIdErr), 0) << b;
  }
  EXPECT_EQ(node(kNode).configStage, COM_USE_CONFIGURED);
  std::vector<Write> want;
  for (uint8_t ch = 0; ch < 4; ++ch) {
    want.push_back({0x6110, static_cast<uint8_t>(1 + ch), {52, 0}});
    want.push_back({0x5100, static_cast<uint8_t>(1 + ch), {42}});
  }
  want.push_back({0x6002, 1, {0}});
  want.push_back({0x6202, 1, {0}});
  want.push_back({0x6206, 1, {0}});
  want.push_back({0x6207, 1, {0}});
  want.push_back({0x100D, 0, {6}});
  want.push_back({0x100C, 0, {0xE8, 0x03}});
  for (uint16_t i = 0; i < 6; ++i) want.push_back({static_cast<uint16_t>(0x1800 + i), 3, {0xE8, 0x03}});
  EXPECT_EQ(writes(), want);
  for (const RioConfigEntry& e : list(100)) EXPECT_EQ(e.done, 1);
  // The process-data objects of node 12.
  EXPECT_EQ(inputIds(), (std::vector<uint32_t>{0x18C, 0x28C, 0x1B6, 0x2B6, 0x1E0, 0x2E0}));
  EXPECT_EQ(outputIds(), (std::vector<uint32_t>{0x20C, 0x30C, 0x236, 0x336, 0x260}));
}

TEST_F(RemoteIoRun, ACouplerOfClassZeroTakesTheRangeByteOfTheSensorType) {
  identity = "";
  ASSERT_TRUE(runTo(RIO_OPERATE));
  EXPECT_EQ(state().couplerClass, 0);
  EXPECT_EQ(writes()[0], (Write{0x6110, 1, {52, 64}}));
}

TEST_F(RemoteIoRun, TheProcessDataReachTheSlotsAndTheModules) {
  ASSERT_TRUE(runTo(RIO_OPERATE));
  // Slot 1 (analog, eight bytes) and slot 2 (one byte) in the received data, slot 4 in the
  // transmitted data.
  uint8_t* rx1 = inputObject(0x18C);
  uint8_t* rx2 = inputObject(0x28C);
  const int16_t raw[4] = {10000, 0, 20000, -100};
  for (int ch = 0; ch < 4; ++ch) {
    rx1[2 * ch] = static_cast<uint8_t>(raw[ch]);
    rx1[2 * ch + 1] = static_cast<uint8_t>(static_cast<uint16_t>(raw[ch]) >> 8);
  }
  rx2[0] = 0xA5;
  setDigitalInput(102, 1, 1);
  setDigitalInput(102, 8, 1);
  cycle();
  cycle();
  EXPECT_FLOAT_EQ(analogOut(100, 1), 50.0f);
  EXPECT_FLOAT_EQ(analogOut(100, 2), 0.0f);
  EXPECT_FLOAT_EQ(analogOut(100, 3), 100.0f);
  EXPECT_FLOAT_EQ(analogOut(100, 4), -0.5f);
  for (uint16_t k = 0; k < 8; ++k) EXPECT_EQ(digitalOut(101, kFirstOut + k), (0xA5 >> k) & 1) << k;
  EXPECT_EQ(slot(4).output[0], 0x81);
  EXPECT_EQ(outputObject(0x20C)[0], 0x81);
  // Objects that do not change leave the images to whoever writes them (the module link).
  setImage16(1, 0, 4000);
  cycle();
  EXPECT_FLOAT_EQ(analogOut(100, 1), 20.0f);
}

TEST_F(RemoteIoRun, AKindMismatchFailsTheSlotAndWritesNothingForIt) {
  kinds[1] = COM_KIND_TQ_DI_8;   // slot 2 reports a TQ 552
  ASSERT_TRUE(runTo(RIO_OPERATE));
  cycle();
  EXPECT_EQ(digitalOut(101, kIdErr), 1);
  EXPECT_EQ(digitalOut(101, kValid), 0);
  EXPECT_EQ(slot(2).slotState, RIO_SLOT_FAILED);
  for (const RioConfigEntry& e : list(101)) EXPECT_EQ(e.request, 0);
  for (const Write& w : writes()) EXPECT_NE(w.index, 0x6002);
  EXPECT_EQ(digitalOut(100, kIdErr), 0);
  EXPECT_EQ(slot(1).slotState, RIO_SLOT_CONFIGURED);
}

TEST_F(RemoteIoRun, TheNodeLostRestartsTheCouplerAndEveryModule) {
  ASSERT_TRUE(runTo(RIO_OPERATE));
  cycle();
  const size_t written = writes().size();
  node(kNode).remoteState = COM_REMOTE_LOST;
  cycle();
  EXPECT_EQ(state().state, RIO_START);
  EXPECT_EQ(digitalOut(21, 3), 0);
  for (int n = 1; n <= 9; ++n) {
    EXPECT_EQ(slot(n).phase, RIO_START) << n;
    EXPECT_EQ(slot(n).slotState, 0) << n;
    EXPECT_EQ(slot(n).moduleValid, 0) << n;
  }
  for (const RioConfigEntry& e : list(100)) {
    EXPECT_EQ(e.request, 1);
    EXPECT_EQ(e.done, 0);
  }
  EXPECT_EQ(digitalOut(100, kValid), 0);
  // Known again: the lists are written once more.
  node(kNode).remoteState = COM_REMOTE_KNOWN;
  ASSERT_TRUE(runTo(RIO_OPERATE));
  EXPECT_EQ(writes().size(), 2 * written);
  // Not operational any more: state 7 starts again too.
  node(kNode).nmtState = COM_NODE_PREOPERATIONAL;
  cycle();
  EXPECT_EQ(state().state, RIO_START);
}

TEST_F(RemoteIoRun, RequestsNotAcceptedOrNotAnsweredRestartTheCoupler) {
  refuseRequests(true);
  cycle();   // state 1 -> 2
  ASSERT_EQ(state().state, RIO_IDENTITY);
  for (int i = 0; i < 9; ++i) cycle();
  EXPECT_EQ(state().state, RIO_IDENTITY) << "nine refused starts";
  cycle();
  EXPECT_EQ(state().state, RIO_START) << "the tenth";
  EXPECT_EQ(requests().size(), 10u);

  refuseRequests(false);
  answering = false;
  cycle();   // 1 -> 2
  cycle();   // accepted
  ASSERT_EQ(COM_BusOutstanding(), 1);
  for (int i = 0; i < 8; ++i) cycle();
  EXPECT_EQ(state().state, RIO_IDENTITY) << "busy for eight cycles";
  cycle();
  EXPECT_EQ(state().state, RIO_START) << "busy for nine";
  EXPECT_EQ(COM_BusOutstanding(), 0) << "the request is withdrawn";
}

TEST_F(RemoteIoRun, AWriteThatTimesOutFailsItsSlot) {
  ASSERT_TRUE(runTo(RIO_CONFIGURE));
  answering = false;
  for (int i = 0; i < 12 && state().state == RIO_CONFIGURE; ++i) cycle();
  EXPECT_EQ(state().state, RIO_START);
  EXPECT_EQ(slot(1).writeFailed, 2);
  answering = true;
  ASSERT_TRUE(runTo(RIO_OPERATE));
  cycle();
  EXPECT_EQ(digitalOut(100, kValid), 0) << "the slot whose write failed";
  EXPECT_EQ(digitalOut(101, kValid), 1);
}

TEST_F(RemoteIoRun, NoRoomForTheProcessDataIsAFault) {
  fillOutputs(0x700);
  ASSERT_TRUE(runTo(RIO_FAULT));
  for (int i = 0; i < 3; ++i) cycle();
  EXPECT_EQ(state().state, RIO_FAULT);
  EXPECT_TRUE(writes().empty());
}

TEST_F(RemoteIoRun, TheOutputStatusIsReadForTheFailOutputs) {
  ASSERT_TRUE(runTo(RIO_OPERATE));
  statusData = {0x05};   // status words 1, 0, 1, 0
  for (int i = 0; i < 4; ++i) {
    cycle();
    answerCoupler();
  }
  EXPECT_EQ(slot(4).doStatus[0], 1);
  EXPECT_EQ(slot(4).doStatus[1], 0);
  EXPECT_EQ(slot(4).doStatus[2], 1);
  // TQ 561: two neighbouring outputs per status word.
  const uint16_t want561[8] = {1, 1, 0, 0, 1, 1, 0, 0};
  for (uint16_t k = 0; k < 8; ++k) EXPECT_EQ(digitalOut(102, kFirstOut + k), want561[k]) << k;
  // A failed read marks the request 2.
  answering = false;
  for (int i = 0; i < 3 && state().request.state != COM_REQ_SENT; ++i) cycle();
  ASSERT_EQ(state().request.state, COM_REQ_SENT);
  ASSERT_EQ(state().request.index, RIO_OBJ_SLOT_STATUS);
  abort(kNode, 0x08000000u);
  run(21);
  EXPECT_EQ(slot(4).statusRequest, RIO_STATUS_FAILED);
  EXPECT_EQ(state().state, RIO_OPERATE);
}

// --- module values -----------------------------------------------------------------------------

TEST_F(RemoteIo, AnalogInputsConvertTheirRawValues) {
  const struct {
    const char* what;
    uint16_t mtyp, styp, unit;
    float x0, x100;
    int16_t raw;
    float value;
  } cases[] = {
      {"0..20 mA on 0..100", 0, 52, 0, 0.0f, 100.0f, 10000, 50.0f},
      {"4..20 mA on 0..100", 0, 51, 0, 0.0f, 100.0f, 8000, 50.0f},
      {"0..10 V on 0..10", 1, 40, 0, 0.0f, 10.0f, 5000, 5.0f},
      {"-10..10 V on -50..50", 1, 41, 0, -50.0f, 50.0f, 5000, 25.0f},
      {"x0 = x100", 1, 41, 0, 30.0f, 30.0f, 5000, 30.0f},
      {"PT100 in degrees C", 6, 30, 0, 0.0f, 100.0f, 253, 25.3f},
      {"Type S in degrees F", 6, 6, 1, 0.0f, 100.0f, 253, 2025.3f},
      {"Type W in degrees F", 6, 10, 1, 0.0f, 100.0f, -15, 1998.5f},
      {"Type J in degrees F", 6, 1, 1, 0.0f, 100.0f, 253, 25.3f},
  };
  coupler();
  uint16_t n = 1;
  for (const auto& c : cases) {
    const auto b = static_cast<uint16_t>(99 + n);
    module(BLK_TYPE_TQ_AI, b, n);
    setValue(b, 1, c.mtyp);
    setValue(b, 2, c.styp);
    setValue(b, 3, c.unit);
    setLong(b, 2, c.x0);
    setLong(b, 3, c.x100);
    reports(n, BLK_TYPE_TQ_AI, static_cast<uint8_t>(c.mtyp));
    ++n;
  }
  startUp();
  nodeUp();
  ASSERT_TRUE(runTo(RIO_OPERATE));
  n = 1;
  for (const auto& c : cases) setImage16(n++, 0, c.raw);
  cycle();
  n = 1;
  for (const auto& c : cases) {
    const auto b = static_cast<uint16_t>(99 + n++);
    EXPECT_EQ(digitalOut(b, kIdErr), 0) << c.what;
    EXPECT_NEAR(analogOut(b, 1), c.value, 1e-3f) << c.what;
    EXPECT_TRUE(std::isfinite(analogOut(b, 1))) << c.what;
  }
}

TEST_F(RemoteIo, AnalogOutputsScaleAndClampTheirInputs) {
  // Nine channels of three modules (TQ 541-0, TQ 541-2, TQ 541-0), each channel one case.
  const struct {
    const char* what;
    uint16_t otyp;
    float x0, x100, input;
    int16_t raw;
  } cases[] = {
      {"4..20 mA, 50 of 0..100", 21, 0.0f, 100.0f, 50.0f, 8000},
      {"4..20 mA, 150 of 0..100", 21, 0.0f, 100.0f, 150.0f, 16000},
      {"4..20 mA, -10 of 0..100", 21, 0.0f, 100.0f, -10.0f, 0},
      {"0..20 mA, 25 of 0..100", 20, 0.0f, 100.0f, 25.0f, 5000},
      {"-10..10 V, 0 of -100..100", 11, -100.0f, 100.0f, 0.0f, 0},
      {"-10..10 V, -1e30", 11, -100.0f, 100.0f, -1e30f, -10000},
      {"-10..10 V, equal limits", 11, 50.0f, 50.0f, 80.0f, -10000},
      {"0..20 mA, no number", 20, 0.0f, 100.0f, std::numeric_limits<float>::quiet_NaN(), 0},
      {"0..10 V, equal limits", 10, 50.0f, 50.0f, 80.0f, 0},
  };
  const uint16_t mtyp[3] = {0, 2, 0};
  coupler();
  for (uint16_t m = 0; m < 3; ++m) {
    module(BLK_TYPE_TQ_AO, static_cast<uint16_t>(100 + m), static_cast<uint16_t>(1 + m));
    setValue(static_cast<uint16_t>(100 + m), 1, mtyp[m]);
    reports(static_cast<uint16_t>(1 + m), BLK_TYPE_TQ_AO, static_cast<uint8_t>(mtyp[m]));
  }
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto b = static_cast<uint16_t>(100 + i / 4), ch = static_cast<uint16_t>(i % 4);
    setValue(b, 2 + ch, cases[i].otyp);
    setLong(b, 1 + 2 * ch, cases[i].x0);
    setLong(b, 2 + 2 * ch, cases[i].x100);
    setAnalogInput(b, 2 + ch, cases[i].input);
  }
  startUp();
  nodeUp();
  ASSERT_TRUE(runTo(RIO_CONFIGURE));
  cycle();
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(wordValue(static_cast<uint16_t>(100 + i / 4), static_cast<uint16_t>(2 + i % 4)), cases[i].otyp)
        << cases[i].what;
    EXPECT_EQ(outImage16(static_cast<uint16_t>(1 + i / 4), static_cast<int>(i % 4)), cases[i].raw)
        << cases[i].what;
  }
}

TEST_F(RemoteIo, AnalogInputsPlusCorrectTheirValuesAndCalibrate) {
  coupler();
  module(BLK_TYPE_TQ_AIPLUS, 100, 1);
  setValue(100, 1, 4);   // TQ 532-1: voltages
  for (uint16_t ch = 0; ch < 4; ++ch) {
    setValue(100, 2 + 2 * ch, 40);
    setLong(100, 3 + 3 * ch, 10.0f);   // 0..10
  }
  setFloat(100, 2, 10.0f);    // x1out 1
  setFloat(100, 4, 110.0f);   // x2out 1: channel 1 reads 10 higher
  setDigitalInput(100, 1, 0);   // lock
  setDigitalInput(100, 2, 0);   // hide
  reports(1, BLK_TYPE_TQ_AIPLUS, 4);
  startUp();
  nodeUp();
  ASSERT_TRUE(runTo(RIO_OPERATE));
  setImage16(1, 0, 5000);
  setImage16(1, 1, 2000);
  cycle();
  EXPECT_FLOAT_EQ(analogOut(100, 1), 15.0f);
  EXPECT_FLOAT_EQ(analogOut(100, 2), 2.0f);
  slot(1).channelStatus[0] = 1;
  cycle();
  EXPECT_FLOAT_EQ(analogOut(100, 1), 5.0f) << "a channel with a status keeps its value";
  EXPECT_EQ(digitalOut(100, kFirstOut), 1);
  slot(1).channelStatus[0] = 0;

  // The page serves channel 2: the start point from the value before the correction and the
  // value entered.
  BlkCalPage* p = BLK_RioCalPageOf(100);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(g_fbStore.list[100].pageData, p);
  EXPECT_EQ(p->hide, 0);
  p->channel = 1;
  cycle();
  EXPECT_FLOAT_EQ(p->field[BLK_CAL_READING].value, 2.0f);
  p->field[BLK_CAL_X0].value = 7.5f;
  p->state = BLK_CAL_STATE_START;
  p->startRequest = 1;
  cycle();
  EXPECT_EQ(p->state, BLK_CAL_STATE_START_DONE);
  EXPECT_FLOAT_EQ(floatParam(100, 5, true), 2.0f);
  EXPECT_FLOAT_EQ(floatParam(100, 6, true), 7.5f);
  EXPECT_EQ(g_fbPending.floats[100], 1);
  cycle();   // applied: x1in 2 -> 7.5, x2in 100 -> 100
  EXPECT_FLOAT_EQ(floatParam(100, 5), 2.0f);
  EXPECT_FLOAT_EQ(analogOut(100, 2), 7.5f);
  // The end point.
  setImage16(1, 1, 8000);
  cycle();
  p->field[BLK_CAL_X100].value = 9.0f;
  p->state = BLK_CAL_STATE_END;
  p->startRequest = 1;
  cycle();
  cycle();
  EXPECT_EQ(p->state, BLK_CAL_STATE_END_DONE);
  EXPECT_FLOAT_EQ(floatParam(100, 7), 8.0f);
  EXPECT_FLOAT_EQ(floatParam(100, 8), 9.0f);
  EXPECT_FLOAT_EQ(analogOut(100, 2), 9.0f);
  // Other modules have no page; "hide" hides it.
  setDigitalInput(100, 2, 1);
  cycle();
  EXPECT_EQ(p->hide, 1);
}

TEST_F(RemoteIo, StrainGaugesReadTheirBridgesAndSendCommands) {
  coupler();
  module(BLK_TYPE_TQ_DMS, 100, 3);
  module(BLK_TYPE_TQ_DMS, 101, 4);
  for (uint16_t k = 1; k <= 6; ++k) {
    setDigitalInput(100, k, 0);
    setDigitalInput(101, k, 0);
  }
  kinds[2] = kinds[3] = COM_KIND_TQ_DMS;
  startUp();
  ASSERT_EQ(paramF(100, 1001, 5.0f), FB_OK);   // x1out 1: 5 higher
  ASSERT_EQ(paramF(100, 1003, 105.0f), FB_OK);
  nodeUp(kNode, COM_KIND_COUPLER_20);
  ASSERT_TRUE(runTo(RIO_OPERATE));
  cycle();
  EXPECT_EQ(digitalOut(100, kIdErr), 0);
  EXPECT_EQ(slot(3).firstSub2, 1);
  EXPECT_EQ(slot(4).firstSub2, 3);
  uint8_t* in = slot(3).input;
  const int32_t raw[2] = {123456, -50};
  for (int ch = 0; ch < 2; ++ch) {
    for (int i = 0; i < 4; ++i) in[4 * ch + i] = static_cast<uint8_t>(static_cast<uint32_t>(raw[ch]) >> (8 * i));
  }
  cycle();
  EXPECT_FLOAT_EQ(analogOut(100, 1), 123461.0f);
  EXPECT_FLOAT_EQ(analogOut(100, 2), -50.0f);

  // zero_2 of the second module and set_t1 of the first: one command at a time.
  setDigitalInput(101, 6, 1);
  setDigitalInput(100, 1, 1);
  cycle();
  const RioConfigEntry* c = BLK_RioCommandEntry(100);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->object(), 0x6139);
  EXPECT_EQ(std::memcmp(c->data, "tara", 4), 0);
  EXPECT_EQ(c->subIndex, 1);
  EXPECT_EQ(digitalOut(100, 6), 0) << "ready falls";
  answerCoupler();
  for (int i = 0; i < 4; ++i) {
    cycle();
    answerCoupler();
  }
  EXPECT_EQ(digitalOut(100, 6), 1) << "ready rises once written";
  EXPECT_EQ(digitalOut(101, 6), 1);
  const std::vector<Write> w = writes();
  ASSERT_GE(w.size(), 2u);
  EXPECT_EQ(w[w.size() - 2], (Write{0x6139, 1, {'t', 'a', 'r', 'a'}}));
  EXPECT_EQ(w[w.size() - 1], (Write{0x6125, 4, {'z', 'e', 'r', 'o'}}));
}

TEST_F(RemoteIo, StrainGaugesNeedACouplerOfClass20) {
  coupler();
  module(BLK_TYPE_TQ_DMS, 100, 1);
  module(BLK_TYPE_TQ_AI, 101, 2);
  setValue(101, 1, 6);   // a thermocouple module: not behind a coupler of class 20
  kinds[0] = COM_KIND_TQ_DMS;
  reports(2, BLK_TYPE_TQ_AI, 6);
  startUp();
  nodeUp();
  ASSERT_TRUE(runTo(RIO_OPERATE));
  cycle();
  EXPECT_EQ(digitalOut(100, kIdErr), 1) << "class 2";
  EXPECT_EQ(digitalOut(101, kIdErr), 0);

  clearBlocks();
  coupler();
  module(BLK_TYPE_TQ_AI, 101, 2);
  setValue(101, 1, 6);
  startUp();
  nodeUp(kNode, COM_KIND_COUPLER_20);
  ASSERT_TRUE(runTo(RIO_OPERATE));
  cycle();
  EXPECT_EQ(digitalOut(101, kIdErr), 1) << "class 20";
}

// --- the module link's view -----------------------------------------------------------------------

TEST_F(RemoteIo, TheLinkReadsTheModulesAndTheSlots) {
  coupler();
  module(BLK_TYPE_TQ_DO, 100, 2);
  setValue(100, 1, 1);
  setValue(100, 2, 1);    // Inv 1
  setValue(100, 23, 1);   // Inv 8
  module(BLK_TYPE_TQ_AI, 101, 3);
  setValue(101, 2, 51);
  setValue(101, 11, 1);   // Fail 2
  setLong(101, 3, 250.0f);
  module(BLK_TYPE_TQ_AI, 102, 3);   // loses the slot
  startUp();
  const ComIoBlockAccess* a = COM_IoBlockAccess();
  ASSERT_NE(a, nullptr);
  ComIoModule m;
  ASSERT_TRUE(a->module(100, &m));
  EXPECT_EQ(m.slotInput, 21074.0f);
  EXPECT_EQ(m.claimed, 1);
  EXPECT_EQ(m.mode, 1);
  EXPECT_EQ(m.inversion, 0x81);
  ASSERT_TRUE(a->module(101, &m));
  EXPECT_EQ(m.signalType[0], 51);
  EXPECT_EQ(m.downscale[1], 1);
  EXPECT_EQ(m.x100[0], 250.0f);
  ASSERT_TRUE(a->module(102, &m));
  EXPECT_EQ(m.claimed, 0);
  EXPECT_FALSE(a->module(21, &m));
  ComIoSlotView v;
  ASSERT_TRUE(a->slot(21, 2, &v));
  EXPECT_EQ(v.input, slot(3).input);
  EXPECT_FALSE(a->slot(21, 9, &v));
  EXPECT_FALSE(a->slot(22, 0, &v));
  EXPECT_EQ(a->request(21), &state().request);
  EXPECT_EQ(a->request(100), nullptr);
}

}  // namespace
