// The remote I/O module link: the scan of the couplers and their modules into the five
// coupler records, and the exchange of the slot values with the module panels (the shell's
// recording fake), on stand-in rows of the coupler and module blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "comm/com_remoteio.h"
#include "comm/com_services.h"
#include "fakes/fake_shell.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"
#include "runtime/runtime_state.h"
#include "support/remoteio_standin.h"

namespace {

constexpr int32_t kInstance = 4711;

int count(const std::string& call) {
  int n = 0;
  for (const std::string& c : TheFakeShell().log.calls()) n += c == call;
  return n;
}
bool logged(const std::string& call) { return count(call) > 0; }

class RemoteIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetFirmware();
    TheFakeShell().reset();
    rio::registerTypes();
    rio::reset();
    COM_SetIoBlockAccess(rio::access());
    setOption('1');
    COM_BusReset();
    for (int c = 0; c < COM_COUPLERS; ++c) *COM_CouplerRecord(c) = ComCouplerRecord{};
  }
  void TearDown() override { COM_SetIoBlockAccess(nullptr); }

  static void setOption(char digit) { FW_SysImage()[FW_SYS_ORDER_DIGITS + 2] = static_cast<uint8_t>(digit); }
  static ComCouplerRecord& record(uint16_t coupler) { return *COM_CouplerRecord(coupler - COM_FIRST_COUPLER); }
  static void scan() { COM_ScanIoModules(kInstance); }
  static void exchange() {
    TheFakeShell().log.clear();
    COM_ExchangeIoModules();
  }
  static void panel(int coupler, int slot, int channel, uint32_t word) {
    TheFakeShell().panelValues[{coupler, slot, channel}] = static_cast<int32_t>(word);
  }
  static int16_t analogIn(uint16_t coupler, int slot, int channel) {
    const uint8_t* p = rio::slot(coupler, slot).input + 2 * channel;
    return static_cast<int16_t>(p[0] | p[1] << 8);
  }
  static void analogOut(uint16_t coupler, int slot, int channel, int16_t v) {
    uint8_t* p = rio::slot(coupler, slot).output + 2 * channel;
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
  }
  // An analog input module at block 200 in slot 1 of coupler 22, all four channels alike.
  static ComIoModule& analogInput(uint8_t signal, float x0, float x100, uint8_t downscale = 0) {
    EXPECT_TRUE(rio::addCoupler(22, 12));
    ComIoModule* m = rio::addModule(200, COM_TYPE_TQ_AI, 22, 1);
    EXPECT_NE(m, nullptr);
    for (int j = 0; j < COM_SLOT_CHANNELS; ++j) {
      m->signalType[j] = signal;
      m->x0[j] = x0;
      m->x100[j] = x100;
      m->downscale[j] = downscale;
    }
    return *m;
  }
};

// --- scan ---------------------------------------------------------------------------------

TEST_F(RemoteIoTest, WithoutCommunicationOptionNoCouplerIsScanned) {
  ASSERT_TRUE(rio::addCoupler(22, 12));
  ASSERT_NE(rio::addModule(150, COM_TYPE_TQ_DI, 22, 2), nullptr);
  setOption('0');
  scan();
  for (int c = 0; c < COM_COUPLERS; ++c) {
    EXPECT_EQ(COM_CouplerRecord(c)->moduleCount, -1) << c;
    EXPECT_EQ(COM_CouplerRecord(c)->instance, nullptr) << c;
  }
  EXPECT_EQ(TheFakeShell().log.calls(), std::vector<std::string>{"SimModulePanelOpen(4711)"});
  exchange();
  EXPECT_TRUE(TheFakeShell().log.calls().empty());
}

TEST_F(RemoteIoTest, ACouplerAndItsModuleFillTheRecord) {
  ASSERT_TRUE(rio::addCoupler(22, 12));
  ASSERT_NE(rio::addModule(150, COM_TYPE_TQ_DI, 22, 2), nullptr);  // "Slot x" reads 22074
  ComCouplerRecord& r = record(22);
  r.panel = 3;
  r.previousKinds[1] = 2;
  r.previousBlocks[1] = 150;
  scan();
  EXPECT_EQ(r.couplerBlock, 22);
  EXPECT_EQ(r.moduleCount, 1);
  EXPECT_STREQ(r.title, "TQ500 - #12");
  EXPECT_EQ(r.kinds[1], COM_KIND_TQ_DI);
  EXPECT_EQ(r.blocks[1], 150);
  EXPECT_EQ(r.kinds[0], 0);
  EXPECT_EQ(rio::slot(22, 1).kind, COM_KIND_TQ_DI) << "the kind reported for the slot";
  EXPECT_EQ(r.panel, 3) << "the shell's panel and previous configuration stay";
  EXPECT_EQ(r.previousKinds[1], 2);
  EXPECT_EQ(r.previousBlocks[1], 150);
  const ComBusNode* node = COM_BusNode(12);
  EXPECT_EQ(node->remoteState, COM_REMOTE_KNOWN);
  EXPECT_EQ(node->nmtState, COM_NODE_OPERATIONAL);
  EXPECT_EQ(node->kind, COM_KIND_COUPLER);
  for (uint16_t other : {21, 23, 24, 25}) EXPECT_EQ(record(other).moduleCount, -1) << other;
  EXPECT_EQ(count("SimModulePanelOpen(4711)"), 1);
}

TEST_F(RemoteIoTest, ModuleKindsFollowTheModuleParameters) {
  const struct {
    uint16_t type;
    uint8_t mode;
    int16_t kind;
  } cases[] = {
      {COM_TYPE_TQ_AO, 1, 133}, {COM_TYPE_TQ_AO, 2, 69},  {COM_TYPE_TQ_AO, 0, 5},
      {COM_TYPE_TQ_AI, 3, 11},  {COM_TYPE_TQ_AI, 9, 4},   {COM_TYPE_TQ_AI, 1, 68},
      {COM_TYPE_TQ_AI, 6, 8},   {COM_TYPE_TQ_AI, 7, 14},  {COM_TYPE_TQ_AIPLUS, 8, 15},
      {COM_TYPE_TQ_AIPLUS, 5, 139}, {COM_TYPE_TQ_DI, 2, 9}, {COM_TYPE_TQ_DI, 1, 6},
      {COM_TYPE_TQ_DI, 0, 2},   {COM_TYPE_TQ_DO, 1, 7},   {COM_TYPE_TQ_DO, 2, 1},
  };
  ASSERT_TRUE(rio::addCoupler(21, 30));
  uint16_t block = 300;
  for (const auto& c : cases) {
    ComIoModule* m = rio::addModule(block, c.type, 21, 1);
    ASSERT_NE(m, nullptr);
    m->mode = c.mode;
    scan();
    EXPECT_EQ(record(21).kinds[0], c.kind) << "type " << c.type << " mode " << int{c.mode};
    m->claimed = 0;   // the next row takes the slot
    ++block;
  }
}

TEST_F(RemoteIoTest, SlotInputsThatNameNoSlotAreIgnored) {
  ASSERT_TRUE(rio::addCoupler(22, 12));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float bad[] = {22000.0f, 22048.0f, 22290.0f, 22074.5f, 26047.0f, 20047.0f, -22074.0f,
                       0.0f,     1.0e30f,  nan,      23047.0f};  // 23: no coupler there
  uint16_t block = 400;
  for (float v : bad) ASSERT_NE(rio::addModuleReading(block++, COM_TYPE_TQ_DO, v), nullptr);
  ASSERT_NE(rio::addModuleReading(block, COM_TYPE_TQ_DO, 22263.0f), nullptr);  // slot 9
  ComIoModule* unclaimed = rio::addModule(500, COM_TYPE_TQ_DO, 22, 3);
  ASSERT_NE(unclaimed, nullptr);
  unclaimed->claimed = 0;
  scan();
  const ComCouplerRecord& r = record(22);
  EXPECT_EQ(r.moduleCount, 1);
  EXPECT_EQ(r.blocks[8], block);
  for (int s = 0; s < 8; ++s) EXPECT_EQ(r.kinds[s], 0) << s;
  EXPECT_EQ(record(23).moduleCount, -1);
}

TEST_F(RemoteIoTest, ACouplerBlockOfAnotherTypeIsNoCoupler) {
  rt::registerType(FbTemplate{.type = 30, .analogOutputs = 9}, nullptr, FB_StandardParam,
                   FB_COMMON_BLOCK_RANGES);
  ASSERT_EQ(FB_CreateInstance(30, 23), FB_OK);
  ASSERT_NE(rio::addModuleReading(150, COM_TYPE_TQ_DI, 23047.0f), nullptr);
  scan();
  EXPECT_EQ(record(23).moduleCount, -1);
  EXPECT_EQ(record(23).kinds[0], 0);
}

TEST_F(RemoteIoTest, TwoModulesOnOneSlotTheLaterBlockWins) {
  ASSERT_TRUE(rio::addCoupler(24, 20));
  ASSERT_NE(rio::addModule(700, COM_TYPE_TQ_DO, 24, 4), nullptr);
  ASSERT_NE(rio::addModule(600, COM_TYPE_TQ_DI, 24, 4), nullptr);
  scan();
  EXPECT_EQ(record(24).moduleCount, 2);
  EXPECT_EQ(record(24).blocks[3], 700);
  EXPECT_EQ(record(24).kinds[3], COM_KIND_TQ_DO);
}

TEST_F(RemoteIoTest, AnalogChannelsGetScaleOffsetSpanAndSubstitute) {
  const struct {
    const char* what;
    uint8_t signal;
    float x0, x100;
    uint8_t downscale;
    float scale, offset, span, substitute;
  } cases[] = {
      {"0..20 mA over 0..100", 52, 0.0f, 100.0f, 0, 200.0f, 0.0f, 0.0f, 32767.0f},
      {"4..20 mA over 0..100", 51, 0.0f, 100.0f, 1, 160.0f, 0.0f, 4000.0f, -32768.0f},
      {"-10..10 V over -50..50", 41, -50.0f, 50.0f, 0, 200.0f, 0.0f, 0.0f, 32767.0f},
      {"0..10 V over 20..70", 40, 20.0f, 70.0f, 0, 200.0f, -4000.0f, 0.0f, 32767.0f},
      {"v = w: scale 0, offset A", 41, 50.0f, 50.0f, 0, 0.0f, -10000.0f, 0.0f, 32767.0f},
      {"a temperature keeps its scale", 30, 0.0f, 100.0f, 1, 1.0f, 0.0f, 0.0f, -3276.8f},
      {"no sensor", 0, 0.0f, 100.0f, 0, 1.0f, 0.0f, 0.0f, 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    rt::resetFirmware();
    rio::registerTypes();
    rio::reset();
    setOption('1');
    analogInput(c.signal, c.x0, c.x100, c.downscale);
    scan();
    const ComCouplerRecord& r = record(22);
    for (int j = 0; j < COM_SLOT_CHANNELS; ++j) {
      EXPECT_FLOAT_EQ(r.scale[0][j], c.scale);
      EXPECT_FLOAT_EQ(r.offset[0][j], c.offset);
      EXPECT_FLOAT_EQ(r.span[0][j], c.span);
      EXPECT_FLOAT_EQ(r.substitute[0][j], c.substitute);
    }
  }
}

TEST_F(RemoteIoTest, LiveZeroOutputsGetTheSpanMarker) {
  ASSERT_TRUE(rio::addCoupler(25, 40));
  ComIoModule* m = rio::addModule(900, COM_TYPE_TQ_AO, 25, 9);
  ASSERT_NE(m, nullptr);
  const uint8_t types[] = {21, 20, 10, 11};
  std::copy(std::begin(types), std::end(types), m->signalType);
  scan();
  const float expected[] = {4000.0f, 0.0f, 0.0f, 0.0f};
  for (int j = 0; j < 4; ++j) EXPECT_FLOAT_EQ(record(25).span[8][j], expected[j]) << j;
}

// --- exchange -----------------------------------------------------------------------------

TEST_F(RemoteIoTest, DigitalMasksAreInvertedBySettings) {
  ASSERT_TRUE(rio::addCoupler(22, 12));
  rio::addModule(150, COM_TYPE_TQ_DO, 22, 2)->inversion = 0x01;
  rio::addModule(151, COM_TYPE_TQ_DI, 22, 3)->inversion = 0x03;
  scan();
  rio::slot(22, 1).output[0] = 0x05;
  panel(1, 2, 0, 0x0F);
  exchange();
  EXPECT_TRUE(logged("SimModulePanelSend(1, 1, 0, 4)"));
  EXPECT_EQ(rio::slot(22, 2).input[0], 0x0C);
  EXPECT_EQ(rio::slot(22, 2).raw[0], 0x0F) << "the raw reading is kept";
}

TEST_F(RemoteIoTest, AnalogWordsAreDecoded) {
  analogInput(52, 0.0f, 100.0f);   // scale 200, offset 0
  scan();
  const float scale = record(22).scale[0][0], offset = record(22).offset[0][0];
  const struct {
    const char* what;
    uint32_t word;
    int16_t value;
  } cases[] = {
      {"fault: the substitute", 0x40000000u, 32767},
      {"fault with a number", 0x40000123u, 32767},
      {"-2.0 with bits 28..30 cleared", 0x8FFFF830u,
       static_cast<int16_t>(-2000 / 1000.0f * scale + offset)},
      {"12.0", 12000u, 2400},
      {"0.004 truncated", 4u, 0},
      {"raw: less the offset, no / 1000", 0x20000000u | 12500u, 12500},
      {"negative raw", 0xA0000000u | 0x0FFFFFF6u, -10},
      {"the largest word saturates", 0x0FFFFFFFu, 32767},
      {"the smallest word saturates", 0x80000000u, -32768},
  };
  for (const auto& c : cases) {
    panel(1, 0, 2, c.word);
    exchange();
    EXPECT_EQ(analogIn(22, 0, 2), c.value) << c.what;
    const uint8_t* raw = rio::slot(22, 0).raw + 8;
    EXPECT_EQ(static_cast<uint32_t>(raw[0] | raw[1] << 8 | raw[2] << 16 | raw[3] << 24), c.word);
  }
}

TEST_F(RemoteIoTest, AChannelWithEqualScaleEndsReadsTheConstantA) {
  analogInput(41, 50.0f, 50.0f);
  scan();
  for (uint32_t word : {0u, 12000u, 0x8FFFF830u}) {
    panel(1, 0, 0, word);
    exchange();
    EXPECT_EQ(analogIn(22, 0, 0), -10000) << word;
  }
}

TEST_F(RemoteIoTest, AnalogOutputsAreSentInThousandthsWithTheSpanMarker) {
  ASSERT_TRUE(rio::addCoupler(22, 12));
  ComIoModule* m = rio::addModule(150, COM_TYPE_TQ_AO, 22, 5);
  const uint8_t types[] = {21, 20, 11, 10};
  std::copy(std::begin(types), std::end(types), m->signalType);
  scan();
  analogOut(22, 4, 0, 8000);
  analogOut(22, 4, 1, 8000);
  analogOut(22, 4, 2, -5000);
  analogOut(22, 4, 3, 10000);
  exchange();
  EXPECT_EQ(TheFakeShell().log.calls(),
            (std::vector<std::string>{"SimModulePanelSend(1, 4, 0, 12000)", "SimModulePanelSend(1, 4, 1, 8000)",
                                      "SimModulePanelSend(1, 4, 2, -5000)",
                                      "SimModulePanelSend(1, 4, 3, 10000)"}));
}

TEST_F(RemoteIoTest, TemperatureModulesReadTenths) {
  ComIoModule& m = analogInput(30, 0.0f, 100.0f);
  m.mode = 6;   // TQ 534-1: kind 8
  ComIoModule* mixed = rio::addModule(201, COM_TYPE_TQ_AIPLUS, 22, 2);
  mixed->mode = 8;   // kind 15: channel 0 electrical, channel 1 a thermocouple
  mixed->signalType[0] = 42;
  mixed->x0[0] = -3.0f;
  mixed->x100[0] = 3.0f;
  mixed->signalType[1] = 1;
  scan();
  ASSERT_EQ(record(22).kinds[0], COM_KIND_TQ_AI_TC);
  ASSERT_EQ(record(22).kinds[1], COM_KIND_TQ_AI_MIXED);
  const struct {
    uint32_t word;
    int16_t tenths;
  } cases[] = {
      {25300u, 253}, {25350u, 253}, {0x8FFFF830u, -20}, {0x40000000u, 32767}, {99u, 0},
  };
  for (const auto& c : cases) {
    panel(1, 0, 3, c.word);
    panel(1, 1, 1, c.word);
    exchange();
    EXPECT_EQ(analogIn(22, 0, 3), c.tenths) << c.word;
    EXPECT_EQ(analogIn(22, 1, 1), c.tenths) << c.word;
    EXPECT_EQ(rio::slot(22, 1).status[1], (c.word & 0x40000000u) ? 1 : 0) << c.word;
  }
  panel(1, 1, 0, 1500u);   // 1.5 V over -3..3 V onto -3000..3000 mV
  exchange();
  EXPECT_EQ(analogIn(22, 1, 0), 1500);
}

TEST_F(RemoteIoTest, TheCouplersRequestIsAnsweredAndLeavesTheBus) {
  ASSERT_TRUE(rio::addCoupler(21, 30));
  scan();
  ComBusRequest& q = rio::request(21);
  q.node = 30;
  q.index = 0x100A;
  ASSERT_EQ(COM_BusStartReadRequest(&q), 1);
  ASSERT_EQ(COM_BusOutstanding(), 1);
  exchange();
  EXPECT_EQ(q.state, COM_REQ_ANSWERED);
  EXPECT_EQ(q.length, 0) << "no data behind the panels";
  EXPECT_EQ(COM_BusOutstanding(), 0);
  q.state = COM_REQ_FREE;
  exchange();
  EXPECT_EQ(q.state, COM_REQ_FREE) << "only a pending request is answered";
}

TEST_F(RemoteIoTest, SlotsWithoutRecordsAreLeftOut) {
  ASSERT_TRUE(rio::addCoupler(22, 12));
  ASSERT_NE(rio::addModule(150, COM_TYPE_TQ_DO, 22, 1), nullptr);
  rio::hideSlots(22, true);
  scan();
  EXPECT_EQ(record(22).kinds[0], COM_KIND_TQ_DO) << "the panel still shows the module";
  exchange();
  EXPECT_TRUE(TheFakeShell().log.calls().empty());
}

}  // namespace
