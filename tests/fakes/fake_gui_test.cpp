// The recording stand-in of the graphics library records what the firmware asks for.
#include <gtest/gtest.h>

#include "fakes/fake_gui.h"
#include "gui/GUI.h"
#include "gui/WM.h"

namespace {

class FakeGuiTest : public ::testing::Test {
 protected:
  void SetUp() override { fakegui::Reset(); }
};

// The clock drawing of an idle display, as the firmware does it.
TEST_F(FakeGuiTest, RecordsCallsWithTheirArguments) {
  GUI_MEMDEV_Handle bg = GUI_MEMDEV_Create(0, 0, 320, 240);
  GUI_MEMDEV_Handle old = GUI_MEMDEV_Select(bg);
  GUI_SetBkColor(0);
  GUI_SetColor(0xFFFFFF);
  GUI_Clear();
  GUI_SetFont(&GUI_Font8_1);
  GUI_DispStringAt("12:34", 10, 65);
  GUI_MEMDEV_Select(old);
  EXPECT_EQ(fakegui::Names(),
            (std::vector<std::string>{"GUI_MEMDEV_Create", "GUI_MEMDEV_Select", "GUI_SetBkColor", "GUI_SetColor",
                                      "GUI_Clear", "GUI_SetFont", "GUI_DispStringAt", "GUI_MEMDEV_Select"}));
  const auto& c = fakegui::Calls();
  EXPECT_EQ(c[0].args, (std::vector<int64_t>{0, 0, 320, 240}));
  EXPECT_EQ(c[3].args, (std::vector<int64_t>{0xFFFFFF}));
  EXPECT_EQ(c[6].text, "12:34");
  EXPECT_EQ(c[6].args, (std::vector<int64_t>{10, 65}));
  EXPECT_EQ(c[7].args, (std::vector<int64_t>{0}));  // back to the display
  EXPECT_NE(bg, 0);
}

TEST_F(FakeGuiTest, ResultsAndWindowState) {
  fakegui::SetResult("GUI_MEMDEV_Create", 0);  // out of memory
  EXPECT_EQ(GUI_MEMDEV_Create(0, 0, 10, 10), 0);
  WM_HWIN w = WM_CreateWindow(0, 0, 320, 240, WM_CF_SHOW, nullptr, 0);
  EXPECT_EQ(WM_IsWindow(w), 1);
  EXPECT_EQ(WM_IsWindow(w + 100), 0);
  WM_Paint(w);
  EXPECT_EQ(WM_EnableMultiBuf(1), 0);
  EXPECT_EQ(WM_EnableMultiBuf(0), 1);
  fakegui::SetResult("GUI_JPEG_Draw", 1);
  EXPECT_EQ(GUI_JPEG_Draw(nullptr, 0, 0, 0), 1);
  EXPECT_EQ(fakegui::Calls().back().name, "GUI_JPEG_Draw");
  fakegui::Reset();
  EXPECT_TRUE(fakegui::Calls().empty());
}

}  // namespace
