// Fixture of the widget tests: the graphics library with its window manager on the emulated
// LCD, a clock the tests move, pointer and key input through the library's queues, and a
// dialog procedure that records the notifications it receives.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "draw_fixture.h"
#include "gui/WM.h"
#include "gui/core/GUI_Input.h"
#include "gui/widgets/WIDGET.h"
#include "simlayer/SIM.h"

namespace widgettest {

// One notification or message seen by the recording dialog procedure.
struct Note {
  int32_t msg;
  WM_HWIN hWin;
  WM_HWIN hSrc;
  intptr_t v;
};
inline std::vector<Note> g_notes;
inline uint32_t g_clock;

// Owner callback of dialogs: records notifications and the init message, else defaults.
inline void RecordingDialog(WM_MESSAGE* pMsg) {
  if (pMsg->MsgId == WM_MSG_NOTIFY_PARENT || pMsg->MsgId == WM_MSG_INIT_DIALOG)
    g_notes.push_back({pMsg->MsgId, pMsg->hWin, pMsg->hWinSrc, pMsg->Data.v});
  WM_DefaultProc(pMsg);
}

class WidgetTest : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    g_notes.clear();
    g_clock = 1000;
    SIM_SetClockSource([] { return g_clock; });
    BUTTON_SetReactOnTouch();
    WM_SetDesktopColor(0x808080);
    Exec();
    GUI_GetKey();  // no key pending
    errors.clear();
  }
  void TearDown() override {
    SIM_SetClockSource(nullptr);
    DrawTest::TearDown();
  }
  static void Exec() {
    for (int i = 0; i < 200 && GUI_Exec1(); ++i) {
    }
  }
  // Moves the clock to `ms` after the start of the test and runs what became due.
  static void At(uint32_t ms) {
    g_clock = 1000 + ms;
    Exec();
  }
  static void Pointer(int x, int y, int pressed) {
    GUI_PID_STATE s{};
    s.x = x;
    s.y = y;
    s.Pressed = uint8_t(pressed);
    GUI_PID_QueueState(&s);
    Exec();
  }
  // A press and a release at the centre of a window, queued without running the exec step.
  static void QueueClick(WM_HWIN h) {
    GUI_PID_STATE s{};
    s.x = CenterX(h);
    s.y = CenterY(h);
    s.Pressed = 1;
    GUI_PID_QueueState(&s);
    s.Pressed = 0;
    GUI_PID_QueueState(&s);
  }
  static void Key(int key) {
    GUI_SendKeyMsg(key, 1);
    GUI_SendKeyMsg(key, 0);
    Exec();
  }
  // Notification codes sent by `hSrc`, in order, without the focus notifications.
  static std::vector<intptr_t> NotesOf(WM_HWIN hSrc) {
    std::vector<intptr_t> r;
    for (const Note& n : g_notes)
      if (n.msg == WM_MSG_NOTIFY_PARENT && n.hSrc == hSrc && n.v != WM_NOTE_GOT_FOCUS && n.v != WM_NOTE_LOST_FOCUS)
        r.push_back(n.v);
    return r;
  }
  // A full-screen WINDOW whose procedure records the notifications of its children.
  static WM_HWIN Host() {
    WM_HWIN h = WINDOW_CreateEx(0, 0, 320, 240, 0, WM_CF_SHOW, 0, 1, RecordingDialog);
    WINDOW_SetBkColor(h, 0x000000);
    return h;
  }
  static int CenterX(WM_HWIN h) { return WM_GetWindowOrgX(h) + WM_GetWindowSizeX(h) / 2; }
  static int CenterY(WM_HWIN h) { return WM_GetWindowOrgY(h) + WM_GetWindowSizeY(h) / 2; }
  static std::string EditText(WM_HWIN h) {
    char buf[64];
    EDIT_GetText(h, buf, sizeof buf);
    return buf;
  }
};

// A small GIF picture: one image of w x h pixels for each colour index of `frameColors`, of
// the four-colour table black, red, green, blue, each with a graphic control block of the
// given delay; with `grid` the top row and the left column are blue.
std::vector<uint8_t> MakeGif(int w, int h, const std::vector<int>& frameColors, int delay, bool grid = false);

}  // namespace widgettest
