// The protocols reach the main cycle's state and the shell's state record only through the
// links a program's start installs: with them the download state and the halt flag arrive
// where the firmware and the shell read them; without them the protocols run on stand-ins
// and say so.
#include <gtest/gtest.h>

#include <vector>

#include "base/link_hooks.h"
#include "comm/com_links.h"
#include "comm_fixture.h"
#include "firmware/fw_main.h"
#include "links/sim_links.h"
#include "shell/sim_services.h"

namespace commtest {
namespace {

// The character protocol's download handshake on the PC-tool channel: announce, read the
// confirmation, start.
const std::vector<uint8_t> kWriteF = {0x04, 0x30, 0x30, 0x02, 0x39, 0x38, 0x3D, 0x46, 0x03, 0x79};
const std::vector<uint8_t> kRead98 = {0x04, 0x30, 0x30, 0x39, 0x38, 0x05};
const std::vector<uint8_t> kWriteU = {0x04, 0x30, 0x30, 0x02, 0x39, 0x38, 0x3D, 0x55, 0x03, 0x6A};
const std::vector<uint8_t> kAck = {0x06};

class ComLinksTest : public CommTest {
 protected:
  void TearDown() override { SIM_InstallCommLinks(); }
};

// Runs the download handshake with the links installed or not; the main cycle's device mode
// afterwards.
uint16_t MainModeAfterDownload(bool installed) {
  if (installed) {
    SIM_InstallCommLinks();
  } else {
    COM_InstallLinks({});
  }
  resetComm();
  g_fwMain.deviceMode = FW_DEVICE_ENGINEERING;
  EXPECT_EQ(serve(2, kWriteF), kAck);
  serve(2, kRead98);
  EXPECT_EQ(serve(2, kWriteU), kAck);
  EXPECT_EQ(COM_LinkDeviceMode(), FW_DEVICE_SERVICE) << "the protocol's own view";
  return g_fwMain.deviceMode;
}

TEST_F(ComLinksTest, WithTheLinksInstalledTheDownloadStateReachesTheMainCycle) {
  EXPECT_EQ(MainModeAfterDownload(true), FW_DEVICE_SERVICE);
  EXPECT_FALSE(COM_LinksStandInUsed());
}

TEST_F(ComLinksTest, WithoutTheLinksTheProtocolsRunOnStandInsAndSaySo) {
  EXPECT_EQ(MainModeAfterDownload(false), FW_DEVICE_ENGINEERING);
  EXPECT_TRUE(COM_LinksStandInUsed());
}

TEST_F(ComLinksTest, TheShellsFlagsAreSetOnlyThroughTheInstalledLinks) {
  for (const bool installed : {false, true}) {
    if (installed) {
      SIM_InstallCommLinks();
    } else {
      COM_InstallLinks({});
    }
    SimState().haltFlag = 0;
    SimState().pictureSave = 0;
    COM_LinkSetHaltFlag();
    COM_LinkSetPictureSave();
    EXPECT_EQ(SimState().haltFlag, installed ? 1 : 0);
    EXPECT_EQ(SimState().pictureSave, installed ? 1 : 0);
    EXPECT_EQ(COM_LinksStandInUsed(), !installed);
  }
}

// The installer fills every member of the protocols' hook record; a record with a member left
// null does not count as complete.
TEST_F(ComLinksTest, TheInstallerSetsEveryLink) {
  EXPECT_TRUE(SIM_InstallCommLinks());
  EXPECT_FALSE(LinkHooksComplete(ComLinkHooks{.main = &g_fwMain}));
  EXPECT_FALSE(LinkHooksComplete(ComLinkHooks{.shell = &SimState()}));
}

}  // namespace
}  // namespace commtest
