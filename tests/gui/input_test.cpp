// Key buffers, pointer states and the execution step.
#include <gtest/gtest.h>

#include <vector>

#include "draw_fixture.h"
#include "gui/core/GUI_Input.h"

namespace {

std::vector<GUI_KEY_MSG> gDelivered;
int deliver(int key, int cnt) {
  gDelivered.push_back({key, cnt});
  return 1;
}
std::vector<GUI_PID_STATE> gQueued;
void queue(const GUI_PID_STATE* p) { gQueued.push_back(*p); }

class Input : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    GUI_ClearKeyMsgBuffer();
    GUI_GetKey();
    gDelivered.clear();
    gQueued.clear();
    GUI__SetSendKeyToFocus(deliver);
    GUI__SetPIDQueue(queue);
    GUI_PID_SetHook(nullptr);
  }
  void TearDown() override {
    GUI__SetSendKeyToFocus(nullptr);
    GUI__SetPIDQueue(nullptr);
    DrawTest::TearDown();
  }
};

TEST_F(Input, FullKeyRingKeepsNineAndOverwritesTheNewest) {
  for (int i = 1; i <= 12; ++i) GUI_StoreKeyMsg(100 + i, 1);
  int n = 0;
  while (GUI_PollKeyMsg()) ++n;
  EXPECT_EQ(n, 9);
  ASSERT_EQ(gDelivered.size(), 9u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(gDelivered[i].Key, 101 + i);
  EXPECT_EQ(gDelivered.back().Key, 112);
}

TEST_F(Input, PendingKey) {
  GUI_StoreKey(5);
  GUI_StoreKey(6);
  EXPECT_EQ(GUI_GetKey(), 5);  // the first stays
  EXPECT_EQ(GUI_GetKey(), 0);
  GUI_StoreKey(5);
  GUI_StoreKeyMsg(7, 1);
  EXPECT_EQ(GUI_GetKey(), 7);  // a key message replaces it
  GUI_KEY_MSG m;
  ASSERT_EQ(GUI_PeekKeyMsg(&m), 1);
  EXPECT_EQ(m.Key, 7);
  EXPECT_EQ(GUI_PollKeyMsg(), 1);
  EXPECT_EQ(GUI_PeekKeyMsg(&m), 0);
}

TEST_F(Input, SendKeyMsgGoesToTheFocusWindowFirst) {
  GUI_SendKeyMsg(9, 1);
  ASSERT_EQ(gDelivered.size(), 1u);
  EXPECT_EQ(GUI_PollKeyMsg(), 0);
  GUI__SetSendKeyToFocus([](int, int) { return 0; });
  GUI_SendKeyMsg(10, 2);
  GUI_KEY_MSG m;
  ASSERT_EQ(GUI_PeekKeyMsg(&m), 1);
  EXPECT_EQ(m.Key, 10);
  EXPECT_EQ(m.PressedCnt, 2);
}

TEST_F(Input, PointerStatesAreQueuedOnlyWhenChanged) {
  GUI_PID_STATE s = {10, 20, 1, 0, {0, 0}};
  GUI_PID_StoreState(&s);
  GUI_PID_StoreState(&s);
  ASSERT_EQ(gQueued.size(), 1u);
  GUI_PID_STATE got;
  EXPECT_EQ(GUI_PID_GetState(&got), 1);
  EXPECT_EQ(got.x, 10);
  // A hook may change a state or swallow it.
  GUI_PID_SetHook([](GUI_PID_STATE* p) {
    p->y += 1;
    return p->x == 99 ? 1 : 0;
  });
  s.x = 11;
  GUI_PID_StoreState(&s);
  ASSERT_EQ(gQueued.size(), 2u);
  EXPECT_EQ(gQueued.back().y, 21);
  s.x = 99;
  GUI_PID_StoreState(&s);
  EXPECT_EQ(gQueued.size(), 2u);
  EXPECT_EQ(GUI_PID_GetState(&got), 1);
  EXPECT_EQ(got.x, 99);
}

int gWork;
TEST_F(Input, ExecRepeatsWhileWorkIsReported) {
  gWork = 3;
  GUI__SetWMExecHook([] { return gWork > 0 ? (--gWork, 1) : 0; });
  EXPECT_EQ(GUI_Exec(), 1);
  EXPECT_EQ(gWork, 0);
  EXPECT_EQ(GUI_Exec(), 0);
  GUI__SetWMExecHook(nullptr);
  EXPECT_EQ(GUI_Exec1(), 0);
  EXPECT_EQ(GUI__pfExec, &GUI_Exec);  // GUI_Delay runs the execution step while it waits
}

}  // namespace
