// The character protocol through the hardware adapter: a request in the shell's request
// fields, served in the next firmware tick, with the response ready after it.
#include <gtest/gtest.h>

#include <vector>

#include "comm/com_links.h"
#include "runtime/fw_sysimage.h"
#include "blocks/register_all.h"
#include "support/adapter_firmware.h"
#include "tools/pctool/pc_adapter_transport.h"

namespace {

using Bytes = std::vector<uint8_t>;

class ComAdapter : public AdapterFirmware {
 protected:
  void SetUp() override {
    BLK_RegisterAllTypes();
    EngBuilder b;
    b.setRunMode(2);
    ASSERT_TRUE(b.addBlock(100, EngBuilder::typeByName("ABSV"), 1));
    ASSERT_TRUE(b.setFloat(100, 1, 1.5f));
    startWith(b);
  }
  // One exchange; the response must be ready after the tick that served it.
  Bytes exchange(const Bytes& frame) {
    Bytes answer;
    std::string error;
    EXPECT_TRUE(transport_.exchange(frame, false, &answer, &error)) << error;
    EXPECT_EQ(SimState().requestPending, 0u);
    return answer;
  }
  PcAdapterTransport transport_{1};
};

TEST_F(ComAdapter, TheDownloadHandshakeEntersTheDownloadState) {
  const Bytes writeF = {0x04, 0x30, 0x30, 0x02, 0x39, 0x38, 0x3D, 0x46, 0x03, 0x79};
  const Bytes read98 = {0x04, 0x30, 0x30, 0x39, 0x38, 0x05};
  const Bytes answerF = {0x02, 0x39, 0x38, 0x3D, 0x46, 0x03, 0x79};
  EXPECT_EQ(exchange(writeF), Bytes{0x06});
  EXPECT_EQ(SimState().responseLength, 0x8001) << "one byte, with the flag";
  EXPECT_EQ(exchange(read98), answerF);
  EXPECT_EQ(exchange(read98), answerF);
  EXPECT_EQ(exchange(PcBuildWrite({0x98}, "U")), Bytes{0x06});
  EXPECT_EQ(g_fwMain.deviceMode, FW_DEVICE_SERVICE);
  FW_SimCycle();
  EXPECT_EQ(g_fwMain.runState, FW_STATE_SERVICE) << "the blocks stop for the download";
}

TEST_F(ComAdapter, AWriteFromThePcToolChannelMarksTheData) {
  FW_SysStatus() &= static_cast<uint8_t>(~FW_STAT_CHANGED);
  EXPECT_EQ(exchange(PcBuildWrite({0x01, 100, 0x10}, "2.5")), Bytes{0x06});
  EXPECT_TRUE(FW_SysStatus() & FW_STAT_CHANGED);
  FW_SimCycle();  // the block takes the pending value over
  const PcAnswer a = PcParseAnswer(exchange(PcBuildRead({0x01, 100, 0x10})));
  EXPECT_EQ(a.text, "01=2.5");
}

}  // namespace
