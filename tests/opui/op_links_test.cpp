// The operating interface reaches the hardware adapter's key code, the main cycle's state and
// the system bus only through the links a program's start installs; without them it reads
// the stand-in values of its device-state record and says so.
#include <gtest/gtest.h>

#include "comm/com_bus.h"
#include "comm/com_services.h"
#include "firmware/fw_adapter.h"
#include "firmware/fw_main.h"
#include "links/sim_links.h"
#include "opui/op_links.h"

namespace {

class OpLinksTest : public testing::Test {
 protected:
  void SetUp() override {
    FW_ResetMain();
    FW_ResetAdapter();
  }
  void TearDown() override {
    SIM_InstallOpuiLinks();
    FW_SetKeyMask(0);
    g_opDeviceState = OpDeviceState{};
  }
};

TEST_F(OpLinksTest, TheFirmwaresStateOnlyThroughTheInstalledLinks) {
  for (const bool installed : {false, true}) {
    if (installed) {
      SIM_InstallOpuiLinks();
    } else {
      OP_InstallLinks({});
    }
    FW_SetKeyMask(1u << 4);   // the fifth key: code 8
    g_opDeviceState.keyCode = 2;
    g_fwMain.pageState = 2;
    g_opDeviceState.operatingState = 1;
    g_fwMain.runState = FW_STATE_SETTLING;
    g_opDeviceState.displayState = 0;
    EXPECT_EQ(OP_LinkKeyCode(), installed ? 8 : 2);
    EXPECT_EQ(OP_LinkOperatingState(), installed ? 2 : 1);
    EXPECT_EQ(OP_LinkDisplayState(), installed ? FW_STATE_SETTLING : 0);
    EXPECT_EQ(OP_LinkScreenColors(), installed ? g_fwMain.screenColors : g_opDeviceState.screenColors);
    EXPECT_EQ(&OP_LinkCanNodeTable() == &COM_CanNodeTable(), installed) << "the bus's node table";
    EXPECT_EQ(OP_LinksStandInUsed(), !installed);
  }
}

// The installer fills every member of the operating interface's hook record, and the node the
// bus page shows reaches the system bus through it.
TEST_F(OpLinksTest, TheInstallerSetsEveryLinkAndTheBusNodeReachesTheSystemBus) {
  EXPECT_TRUE(SIM_InstallOpuiLinks());
  for (const uint16_t node : {COM_BUS_FIRST_NODE, uint16_t{17}, COM_BUS_LAST_NODE}) {
    OP_LinkBusSetAddress(node);
    EXPECT_EQ(COM_BusSelectedNode(), node);
  }
  EXPECT_FALSE(OP_LinksStandInUsed());
}

}  // namespace
