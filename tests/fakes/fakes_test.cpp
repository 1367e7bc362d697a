// The recording fakes record what they are asked, in order, and answer as set up.
#include <gtest/gtest.h>

#include "fakes/fake_opui.h"
#include "fakes/fake_shell.h"

namespace {

TEST(Fakes, OperatingInterfaceCallsAreRecordedInOrder) {
  FakeOpuiLog().clear();
  OP_ShowTextScreen(3, 1);
  OP_SetIndicator(4, 17, 1);
  OP_UpdateDisplay();
  EXPECT_EQ(FakeOpuiLog().calls(), (std::vector<std::string>{
                                       "OP_ShowTextScreen(3, 1)", "OP_SetIndicator(4, 17, 1)",
                                       "OP_UpdateDisplay()"}));
  uint8_t flag = 0;
  EXPECT_EQ(OP_TestAndSetFlag(&flag), 0);
  EXPECT_EQ(OP_TestAndSetFlag(&flag), 1);
}

TEST(Fakes, ShellAnswersAsSetUp) {
  FakeShell& shell = TheFakeShell();
  shell.reset();
  SimPlantActuators act{};
  SimPlantParams params{};
  SimPlantResult result{};
  act.y1 = 40.0f;
  EXPECT_EQ(SimPlantCycle(&act, &params, &result), 0) << "no plug-in loaded";
  shell.plantLoaded = 1;
  shell.plantAnswer = {12.5f, 3.0f, 1};
  EXPECT_EQ(SimPlantCycle(&act, &params, &result), 1);
  EXPECT_EQ(result.x, 12.5f);
  shell.panelValues[{1, 2, 3}] = 4567;
  EXPECT_EQ(SimModulePanelQuery(1, 2, 3), 4567);
  EXPECT_EQ(SimModulePanelQuery(0, 0, 0), 0);
  SimRequestRestart();
  EXPECT_EQ(SimState().restartFlag, 1);
  EXPECT_EQ(shell.log.calls().front(), "SimPlantCycle(40, 0, 0)");
}

}  // namespace
