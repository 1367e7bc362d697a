// An engineering downloaded into the running device the way the PC tool downloads it (built
// by the tools' shared build, sent over the PC-tool channel): the operating pages of its
// visualisation blocks, its programmer and its alarm collector are listed under "Operating
// pages" and open from there through the front keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "firmware/fw_adapter.h"
#include "firmware/fw_main.h"
#include "opui/op_menu.h"
#include "opui/op_pages.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_text.h"
#include "shell/project.h"
#include "support/demo_firmware.h"
#include "tools/engbuild/eng_tool.h"
#include "tools/pctool/pc_adapter_transport.h"
#include "tools/pctool/pc_modbus.h"

namespace {

// An input value for the pages, a value page, a bar, a trend, a programmer with its data
// block, and the alarm collector at its fixed place, all running in time group 1.
constexpr const char* kDescription = R"(run 2
language 1
block 100 ABSV group 1
  float 2 42.5
block 101 VWERT group 1 after 100
  in 1 100.1
  text 1 "Tank level"
block 102 VBAR group 1 after 101
  in 1 100.1
  text 1 "Level bar"
block 103 VTREND group 1 after 102
  in 1 100.1
  text 1 "Level trend"
block 104 DPROGD group 1 after 103
  text 1 "Steps"
block 105 DPROG group 1 after 104
  in 2 104.1
  text 1 "Step prog."
block 41 VALARM group 1
  text 1 "Alarms"
)";

class DownloadedPages : public DemoKeysFirmware {
 protected:
  // The demo started, the description's engineering downloaded into it through the channel,
  // and the device running it for five seconds.
  void downloadAndRun() {
    // The image first: its check loads it here, before the device starts.
    std::vector<uint8_t> image;
    std::string error;
    ASSERT_TRUE(EngBuildChecked(kDescription, image, &error)) << error;
    ASSERT_EQ(SimLoadProject(nullptr), SIM_PROJECT_LOADED);
    startDemo();
    PcAdapterTransport transport(10);
    PcModbusClient client(transport);
    ASSERT_TRUE(client.download(image, &error)) << error;
    for (int i = 0; i < 100 && g_fwMain.runState != FW_STATE_RUNNING; ++i) FW_SimCycle();
    ASSERT_EQ(g_fwMain.runState, FW_STATE_RUNNING);
    run(50);
  }
  // The home key (exit held for three seconds), then "Operating pages" of the main menu.
  static void openOperatingPages() {
    holdHome();
    ASSERT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
    ASSERT_TRUE(downTo([](const OpMenuItem& i) { return i.sub == OP_PAGE_OPERATING; }));
    press(kEnter);
    run(10);
    ASSERT_EQ(g_opPage.pageId, OP_PAGE_OPERATING);
  }
  // The blocks the list shown holds, in its order.
  static std::vector<uint16_t> listedBlocks() {
    std::vector<uint16_t> blocks;
    for (int i = 0; i < OP_MenuItemCount(); ++i) {
      const OpMenuItem* item = OP_MenuItemAt(i);
      if (item->flags & OP_MENU_BLOCK) blocks.push_back(item->sub);
    }
    return blocks;
  }
};

TEST_F(DownloadedPages, EachPageIsListedAndOpens) {
  ASSERT_NO_FATAL_FAILURE(downloadAndRun());
  ASSERT_NE(FB_GetInstance(41), nullptr);

  openOperatingPages();
  const std::vector<uint16_t> listed = listedBlocks();
  const struct Page {
    uint16_t block;
    const char* golden;
  } pages[] = {
      {101, "download_vwert"}, {102, "download_vbar"},   {103, "download_vtrend"},
      {105, "download_dprog"}, {41, "download_valarm"},
  };
  for (const Page& p : pages) {
    SCOPED_TRACE(p.golden);
    EXPECT_NE(std::find(listed.begin(), listed.end(), p.block), listed.end());
    ASSERT_TRUE(downTo([&](const OpMenuItem& i) { return (i.flags & OP_MENU_BLOCK) && i.sub == p.block; }));
    press(kEnter);
    run(30);
    EXPECT_EQ(g_opPage.currentBlock, p.block);
    EXPECT_NE(g_opPage.pageId, OP_PAGE_OPERATING);
    EXPECT_TRUE(lcdtest::MatchesGolden("tools", p.golden));
    openOperatingPages();
  }
}

// Leaving the alarm page with ◀ shows the list of operating pages again, drawn whole, and the
// main menu after it: neither is left a blank box.
TEST_F(DownloadedPages, TheListsAreDrawnAgainAfterTheAlarmPage) {
  ASSERT_NO_FATAL_FAILURE(downloadAndRun());
  openOperatingPages();
  ASSERT_TRUE(downTo([](const OpMenuItem& i) { return (i.flags & OP_MENU_BLOCK) && i.sub == 41; }));
  press(kEnter);
  run(30);
  ASSERT_EQ(g_opPage.currentBlock, 41);
  // Pixel rows of the body (below the title band) that hold more than one colour inside the
  // frame of the list.
  auto drawnRows = [] {
    int rows = 0;
    for (int y = 70; y < 235; ++y) {
      const uint32_t back = lcdtest::ReadRaw(6, y);
      bool other = false;
      for (int x = 6; x < 290 && !other; ++x) other = lcdtest::ReadRaw(x, y) != back;
      rows += other;
    }
    return rows;
  };
  press(kExit);
  run(30);
  ASSERT_EQ(g_opPage.pageId, OP_PAGE_OPERATING);
  EXPECT_GT(drawnRows(), 40) << "the list of operating pages";
  FW_SetKeyMask(kExit);
  run(32);
  FW_SetKeyMask(0);
  run(10);
  ASSERT_EQ(g_opPage.pageId, OP_PAGE_MAIN_MENU);
  EXPECT_GT(drawnRows(), 40) << "the main menu";
}

}  // namespace
