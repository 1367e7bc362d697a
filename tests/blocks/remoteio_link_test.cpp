// The remote I/O blocks in the running firmware with the module link: the scan fills the
// coupler's record from the real blocks, the link's answers bring the coupler to operation,
// and the values of the module panels (the shell's recording fake) reach the module blocks
// and back.
#include <gtest/gtest.h>

#include <string>

#include "blocks/register_all.h"
#include "blocks/remoteio/remoteio.h"
#include "comm/com_bus.h"
#include "comm/com_remoteio.h"
#include "comm/com_services.h"
#include "runtime/fw_sysimage.h"
#include "support/adapter_firmware.h"

namespace {

constexpr uint16_t kCoupler = 21, kNode = 12, kOwnNode = 5;
constexpr uint16_t kAi = 100, kDi = 101, kDo = 102, kLate = 103;

class RemoteIoFirmware : public AdapterFirmware {
 protected:
  void SetUp() override {
    BLK_RegisterAllTypes();
    COM_BusReset();   // the bus node keeps its tables from test to test
    SimState().device.commOpt = 1;
    EngBuilder b;
    b.setOrderCode("0010000000");
    b.setRunMode(2);
    ASSERT_TRUE(b.addBlock(kCoupler, BLK_TYPE_C_TQ5X, 0));
    ASSERT_TRUE(b.setValue(kCoupler, 1, kNode));
    ASSERT_TRUE(b.addBlock(kAi, BLK_TYPE_TQ_AI, 1));          // four 0..20 mA channels on 0..100
    ASSERT_TRUE(b.wireAnalog(kAi, 1, kCoupler, 1));
    ASSERT_TRUE(b.addBlock(kDi, BLK_TYPE_TQ_DI, 1, kAi));
    ASSERT_TRUE(b.wireAnalog(kDi, 1, kCoupler, 2));
    ASSERT_TRUE(b.setValue(kDi, 3, 1));                        // Inv 2
    ASSERT_TRUE(b.addBlock(kDo, BLK_TYPE_TQ_DO, 1, kDi));
    ASSERT_TRUE(b.wireAnalog(kDo, 1, kCoupler, 3));
    ASSERT_TRUE(b.wireDigital(kDo, 1, kDi, 4));                // do 1 := di 1
    ASSERT_TRUE(b.addBlock(kLate, BLK_TYPE_TQ_AO, 1, kDo));    // slot 2 again: loses it
    ASSERT_TRUE(b.wireAnalog(kLate, 1, kCoupler, 2));
    std::vector<uint8_t> image;
    ASSERT_TRUE(b.build(image)) << b.error();
    image[FW_SYS_BUS_NODE] = kOwnNode;   // the device's own node (datum 3005)
    std::memcpy(eng_.data(), image.data(), image.size());
    projectWithEngineering();
    FW_SimInit();
    FW_SimStart();
    for (int i = 0; i < 100 && g_fwMain.runState != FW_STATE_RUNNING; ++i) FW_SimCycle();
    ASSERT_EQ(g_fwMain.runState, FW_STATE_RUNNING);
    ASSERT_EQ(COM_BusOwnAddress(), kOwnNode);
  }

  static RioCouplerState& coupler() { return *BLK_RioCouplerState(kCoupler); }
  static float analogOut(uint16_t block, uint16_t n) {
    FbF32* p = nullptr;
    EXPECT_EQ(FB_GetAnalogOutputPtr(block, n, &p), 1);
    return p ? p->get() : 0.0f;
  }
  static uint16_t digitalOut(uint16_t block, uint16_t n) {
    uint16_t* p = nullptr;
    EXPECT_EQ(FB_GetDigitalOutputPtr(block, n, &p), 1);
    return p ? *p : 0;
  }
  static int logged(const std::string& call) {
    int n = 0;
    for (const std::string& c : TheFakeShell().log.calls()) n += c == call;
    return n;
  }
  // Ticks until the coupler is in `state`; false after `limit`.
  static bool tickTo(uint8_t state, int limit = 200) {
    for (int i = 0; i < limit && coupler().state != state; ++i) FW_SimCycle();
    return coupler().state == state;
  }
};

TEST_F(RemoteIoFirmware, TheScanFillsTheCouplersRecordFromTheBlocks) {
  ASSERT_NE(BLK_RioCouplerState(kCoupler), nullptr);
  for (int i = 0; i < 25; ++i) FW_SimCycle();
  const ComCouplerRecord& r = *COM_CouplerRecord(0);
  EXPECT_EQ(r.couplerBlock, kCoupler);
  EXPECT_EQ(r.moduleCount, 3) << "only the blocks that own their slot count";
  EXPECT_EQ(digitalOut(kLate, 1), 1) << "et_err";
  EXPECT_STREQ(r.title, "TQ500 - #12");
  const int16_t kinds[3] = {COM_KIND_TQ_AI, COM_KIND_TQ_DI, COM_KIND_TQ_DO};
  const int16_t blocks[3] = {kAi, kDi, kDo};
  for (int s = 0; s < 3; ++s) {
    EXPECT_EQ(r.kinds[s], kinds[s]) << s;
    EXPECT_EQ(r.blocks[s], blocks[s]) << s;
  }
  for (int s = 3; s < COM_SLOTS; ++s) EXPECT_EQ(r.kinds[s], 0) << s;
  EXPECT_EQ(r.settings[1], 0x02) << "Inv 2";
  EXPECT_FLOAT_EQ(r.scale[0][0], 200.0f) << "0..100 onto 0..20000 uA";
  EXPECT_EQ(r.slotViews[0].input, coupler().slot[0].input) << "the link works on the slot records";
  EXPECT_EQ(coupler().slot[0].kind, COM_KIND_TQ_AI);
  EXPECT_EQ(logged("SimModulePanelOpen(" + std::to_string(SimState().instance) + ")"), 1);
  for (int c = 1; c < COM_COUPLERS; ++c) EXPECT_EQ(COM_CouplerRecord(c)->moduleCount, -1) << c;
}

TEST_F(RemoteIoFirmware, TheLinksAnswersBringTheCouplerUpAndCarryThePanelValues) {
  TheFakeShell().panelValues[{0, 0, 0}] = 50000;   // 50.0
  TheFakeShell().panelValues[{0, 0, 3}] = 0x40000000;   // a faulty channel: the substitute
  TheFakeShell().panelValues[{0, 1, 0}] = 0x01;    // di 1 on the panel
  ASSERT_TRUE(tickTo(RIO_OPERATE));
  EXPECT_EQ(coupler().couplerClass, 0) << "no identity text behind the panels";
  for (int i = 0; i < 3; ++i) FW_SimCycle();
  EXPECT_EQ(digitalOut(kCoupler, 3), 1) << "valid";
  for (uint16_t b : {kAi, kDi, kDo}) {
    EXPECT_EQ(digitalOut(b, 1), 0) << b << " et_err";
    EXPECT_EQ(digitalOut(b, 2), 0) << b << " id_err";
    EXPECT_EQ(digitalOut(b, 3), 1) << b << " valid";
  }
  EXPECT_FLOAT_EQ(analogOut(kAi, 1), 50.0f);
  EXPECT_GT(analogOut(kAi, 4), 100.0f) << "upscale";
  EXPECT_EQ(digitalOut(kDi, 4), 1) << "di 1";
  EXPECT_EQ(digitalOut(kDi, 5), 1) << "di 2, inverted";
  EXPECT_EQ(coupler().slot[2].output[0], 0x01);
  TheFakeShell().log.clear();
  FW_SimCycle();
  EXPECT_EQ(logged("SimModulePanelSend(0, 2, 0, 1)"), 1) << "do 1 on the panel";
  // A new value on the panel.
  TheFakeShell().panelValues[{0, 0, 0}] = 12500;
  FW_SimCycle();
  FW_SimCycle();
  EXPECT_FLOAT_EQ(analogOut(kAi, 1), 12.5f);
}

TEST_F(RemoteIoFirmware, ANodeNoLongerKnownRestartsTheCoupler) {
  ASSERT_TRUE(tickTo(RIO_OPERATE));
  COM_BusNode(kNode)->remoteState = COM_REMOTE_LOST;
  FW_SimCycle();
  EXPECT_EQ(coupler().state, RIO_START);
  for (const RioSlotRecord& s : coupler().slot) EXPECT_EQ(s.phase, RIO_START);
  EXPECT_EQ(digitalOut(kAi, 3), 0);
  COM_BusNode(kNode)->remoteState = COM_REMOTE_KNOWN;
  ASSERT_TRUE(tickTo(RIO_OPERATE));
  FW_SimCycle();
  EXPECT_EQ(digitalOut(kAi, 3), 1);
}

}  // namespace
