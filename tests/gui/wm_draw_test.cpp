// Windows painting their content through the drawing and text functions on the emulated
// LCD: what the redraw pass leaves on the display, clipped to the visible parts of each
// window.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "draw_fixture.h"
#include "gui/WM.h"
#include "gui/core/GUI_Input.h"
#include "gui/draw/GUI_Draw.h"
#include "wm_random.h"

namespace {

// Library colours (0x00BBGGRR).
constexpr GUI_COLOR kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kGrey = 0x848284;  // grey that the 5-6-5 display keeps exactly

struct PanelLook {
  GUI_COLOR color;
  const char* name;
  bool constOutline;               // promises to paint its whole outline, transparent or not
};
std::map<WM_HWIN, PanelLook> g_look;

// Window procedure: fills the window with its colour, frames it and writes its name.
void PanelProc(WM_MESSAGE* pMsg) {
  if (pMsg->MsgId != WM_MSG_PAINT) {
    WM_DefaultProc(pMsg);
    return;
  }
  const PanelLook& look = g_look[pMsg->hWin];
  GUI_SetBkColor(look.color);
  // A transparent panel draws its frame only, unless it promised a constant outline.
  if (!WM_GetHasTrans(pMsg->hWin) || look.constOutline) GUI_Clear();
  GUI_SetColor(0xFFFFFF);
  GUI_DrawRect(0, 0, WM_GetWindowSizeX(pMsg->hWin) - 1, WM_GetWindowSizeY(pMsg->hWin) - 1);
  GUI_SetFont(&GUI_Font8_1);
  GUI_DispStringAt(look.name, 3, 3);
}

WM_HWIN Panel(int x, int y, int w, int h, WM_HWIN parent, uint32_t flags, GUI_COLOR color, const char* name) {
  WM_HWIN hWin = WM_CreateWindowAsChild(x, y, w, h, parent, flags, PanelProc, 0);
  g_look[hWin] = PanelLook{color, name, false};
  return hWin;
}

class WmDraw : public DrawTest {
 protected:
  static void Exec() {
    for (int i = 0; i < 100 && GUI_Exec(); ++i) {
    }
  }
  // A pixel as a library colour (the frame buffer holds 0x00RRGGBB).
  static GUI_COLOR Raw(int x, int y) {
    const uint32_t v = lcdtest::ReadRaw(x, y);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
  }
};

TEST_F(WmDraw, OverlappingWindowsPaintOnlyTheirVisibleParts) {
  WM_SetDesktopColor(kGrey);
  WM_HWIN back = Panel(20, 20, 160, 120, 0, WM_CF_SHOW, kRed, "back");
  WM_HWIN front = Panel(100, 60, 120, 100, 0, WM_CF_SHOW, kBlue, "front");
  Panel(10, 50, 60, 30, front, WM_CF_SHOW, kGreen, "child");
  Exec();
  EXPECT_EQ(Raw(5, 5), kGrey);
  EXPECT_EQ(Raw(30, 130), kRed);
  EXPECT_EQ(Raw(150, 70), kBlue);
  EXPECT_EQ(Raw(150, 120), kGreen);
  EXPECT_TRUE(golden("wm_overlap"));
  // Repainting the back window alone leaves the front one untouched.
  const std::vector<uint32_t> before = lcdtest::ReadFrame();
  WM_InvalidateWindow(back);
  Exec();
  EXPECT_EQ(lcdtest::ReadFrame(), before);
  // Moving the front window uncovers the back window and the desktop.
  WM_MoveWindow(front, 80, 0);
  Exec();
  EXPECT_EQ(Raw(150, 120), kRed);
  EXPECT_EQ(Raw(230, 120), kGreen);
  EXPECT_EQ(Raw(195, 150), kBlue);
  EXPECT_EQ(Raw(150, 150), kGrey);
  EXPECT_TRUE(golden("wm_moved"));
  EXPECT_TRUE(errors.empty());
}

TEST_F(WmDraw, WindowsDrawnThroughMemoryDevicesLookTheSame) {
  WM_SetDesktopColor(kGrey);
  Panel(20, 20, 160, 120, 0, WM_CF_SHOW | WM_CF_MEMDEV, kRed, "back");
  WM_HWIN front = Panel(100, 60, 120, 100, 0, WM_CF_SHOW | WM_CF_MEMDEV, kBlue, "front");
  Panel(10, 50, 60, 30, front, WM_CF_SHOW, kGreen, "child");
  Exec();
  EXPECT_TRUE(golden("wm_overlap"));
  EXPECT_TRUE(errors.empty());
}

TEST_F(WmDraw, TransparentWindowShowsWhatLiesBelow) {
  struct Trans {
    static void Proc(WM_MESSAGE* pMsg) {
      if (pMsg->MsgId != WM_MSG_PAINT) return WM_DefaultProc(pMsg);
      GUI_SetColor(0xFFFFFF);
      GUI_DrawHLine(5, 0, 39);  // only one line: the rest shows the window below
    }
  };
  Panel(0, 0, 100, 100, 0, WM_CF_SHOW, kRed, "");
  WM_CreateWindowAsChild(10, 10, 40, 40, 0, WM_CF_SHOW | WM_CF_HASTRANS, Trans::Proc, 0);
  Exec();
  EXPECT_EQ(Raw(20, 15), 0xFFFFFFu);
  EXPECT_EQ(Raw(5, 15), kRed);
  EXPECT_EQ(Raw(20, 30), kRed);
  EXPECT_TRUE(errors.empty());
}

TEST_F(WmDraw, TextInARectangleStaysInsideWhileTheWindowManagerIsInactive) {
  // Pages are drawn into memory devices with the window manager's clipping switched off.
  WM_Deactivate();
  GUI_SetFont(&GUI_Font8_1);
  GUI_SetColor(0xFFFFFF);
  GUI_RECT narrow = {10, 10, 20, 17};
  GUI_DispStringInRect("WWWWWW", &narrow, GUI_TA_LEFT);
  WM_Activate();
  EXPECT_GT(countLit(10, 10, 20, 17), 0);
  EXPECT_EQ(countLit(21, 0, 319, 239), 0);
}

TEST_F(WmDraw, IncrementalRepaintsMatchAFullRepaint) {
  // After each random change of the tree, the z-order, the geometry, the visibility or the
  // transparency the display must be what painting every window afresh gives: the
  // invalidation left nothing stale.
  const GUI_COLOR colors[] = {kRed, kGreen, kBlue, 0x00FFFF, 0xFF00FF, 0xFFFF00, 0x000000};
  WM_SetDesktopColor(kGrey);
  for (uint32_t seed : {9u, 12u, 26u}) {
    WmRandom rnd{seed};
    std::vector<WM_HWIN> wins;
    for (int step = 0; step < 240; ++step) {
      SCOPED_TRACE(step);
      WM_HWIN any = wins.empty() ? 0 : wins[rnd(static_cast<int>(wins.size()))];
      const int op = rnd(4 + kWmRandomTreeOps);
      if (op < 2) {
        const uint32_t none = 0;
        const uint32_t flags = WM_CF_SHOW | (rnd(4) ? none : WM_CF_HASTRANS) | (rnd(5) ? none : WM_CF_STAYONTOP);
        wins.push_back(Panel(rnd(300) - 20, rnd(220) - 20, 10 + rnd(100), 10 + rnd(100), (any && rnd(2)) ? any : 0,
                             flags, colors[rnd(7)], ""));
      } else if (!any) {  // the operations below act on an existing window
      } else if (op == 2) {
        WM_AttachWindow(any, rnd(3) ? wins[rnd(static_cast<int>(wins.size()))] : WM_GetDesktopWindow());
      } else if (op == 3) {
        const uint32_t states[] = {0, WM_CF_HASTRANS, WM_CF_HASTRANS | WM_CF_CONST_OUTLINE};
        const uint32_t state = states[rnd(3)];
        g_look[any].constOutline = state & WM_CF_CONST_OUTLINE;
        WM_SetTransState(any, state);
      } else {
        WmRandomTreeOp(rnd, any, op - 4);
      }
      std::erase_if(wins, [](WM_HWIN h) { return !WM_IsWindow(h); });
      Exec();
      const std::vector<uint32_t> incremental = lcdtest::ReadFrame();
      WM__InvalidateTree(WM_GetDesktopWindow());
      Exec();
      ASSERT_EQ(lcdtest::ReadFrame(), incremental);
    }
    for (WM_HWIN h : wins)
      if (WM_IsWindow(h)) WM_DeleteWindow(h);
  }
  EXPECT_TRUE(errors.empty());
}

}  // namespace
