// Window manager: the window tree, messages, invalidation and the redraw pass, focus, keys
// and pointer input, GUI timers and window timers. Window procedures record what they
// receive; the clock is a counter the tests set.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "gui/GUI.h"
#include "gui/GUI_Private.h"
#include "gui/LCD.h"
#include "gui/WM.h"
#include "gui/core/GUI_Input.h"
#include "gui/draw/GUI_Draw.h"
#include "wm_random.h"

namespace {

std::vector<std::string> g_errors;
int32_t g_now;

const GUI_PLATFORM_HOOKS kHooks = {
    nullptr, nullptr, nullptr, nullptr, [] { return g_now; }, nullptr, nullptr,
    [](const char* s) { g_errors.emplace_back(s); }, nullptr, nullptr,
};

struct Event {
  WM_HWIN hWin;
  int32_t id;
  GUI_RECT rect;                   // paint: the invalid rectangle; clip rectangle in `clip`
  GUI_RECT clip;
  intptr_t v;
  GUI_PID_STATE pid;               // pointer messages: the state as received
  bool hasPid;
};

std::vector<Event> g_log;
std::map<WM_HWIN, std::function<void(WM_MESSAGE*)>> g_actions;
std::map<WM_HWIN, int> g_ids;

void Record(WM_MESSAGE* pMsg) {
  Event e{};
  e.hWin = pMsg->hWin;
  e.id = pMsg->MsgId;
  e.v = pMsg->Data.v;
  if (pMsg->MsgId == WM_MSG_PAINT) {
    e.rect = *static_cast<const GUI_RECT*>(pMsg->Data.p);
    e.clip = GUI_pContext->ClipRect;
  }
  if ((pMsg->MsgId == WM_MSG_PID_TOUCH || pMsg->MsgId == WM_MSG_PID_MOVE || pMsg->MsgId == WM_MSG_PID_LEAVE) &&
      pMsg->Data.p) {
    e.pid = *static_cast<const GUI_PID_STATE*>(pMsg->Data.p);
    e.hasPid = true;
  }
  if (pMsg->MsgId == WM_MSG_PID_CHANGED) {
    auto* info = static_cast<const WM_PID_STATE_CHANGED_INFO*>(pMsg->Data.p);
    e.pid = GUI_PID_STATE{info->x, info->y, info->State, info->StatePrev, {0, 0}};
    e.hasPid = true;
  }
  g_log.push_back(e);
}

// The recording procedure: logs, runs the window's action (if any), else the default.
void RecProc(WM_MESSAGE* pMsg) {
  Record(pMsg);
  auto it = g_actions.find(pMsg->hWin);
  if (it != g_actions.end() && it->second) {
    auto action = it->second;  // the action may erase itself
    action(pMsg);
    return;
  }
  if (pMsg->MsgId == WM_MSG_GET_ID) {
    auto id = g_ids.find(pMsg->hWin);
    pMsg->Data.v = id == g_ids.end() ? 0 : id->second;
    return;
  }
  WM_DefaultProc(pMsg);
}

class WmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_errors.clear();
    g_log.clear();
    g_actions.clear();
    g_ids.clear();
    g_now = 1000;
    GUI_SetPlatformHooks(&kHooks);
    ASSERT_EQ(GUI_Init(), 0);
    desktop = WM_GetDesktopWindow();
    ASSERT_NE(desktop, 0);
    RunExec();  // the desktop's first paint
    g_log.clear();
    g_errors.clear();
  }
  void TearDown() override {
    GUI_Exit();
    GUI_SetPlatformHooks(nullptr);
  }

  static void RunExec() {
    for (int i = 0; i < 100 && GUI_Exec1(); ++i) {
    }
  }
  static WM_HWIN Win(int x, int y, int w, int h, WM_HWIN parent = 0, uint32_t flags = WM_CF_SHOW) {
    return WM_CreateWindowAsChild(x, y, w, h, parent, flags, RecProc, 0);
  }
  static std::vector<Event> Of(WM_HWIN h, int32_t id) {
    std::vector<Event> r;
    for (const Event& e : g_log)
      if (e.hWin == h && e.id == id) r.push_back(e);
    return r;
  }
  static std::vector<int32_t> IdsOf(WM_HWIN h, std::initializer_list<int32_t> only) {
    std::vector<int32_t> r;
    for (const Event& e : g_log)
      if (e.hWin == h && std::find(only.begin(), only.end(), e.id) != only.end()) r.push_back(e.id);
    return r;
  }
  static int Count(const std::string& text) {
    int n = 0;
    for (const auto& s : g_errors) n += s == text;
    return n;
  }
  static void Rect(const GUI_RECT& r, int x0, int y0, int x1, int y1) {
    EXPECT_EQ(r.x0, x0);
    EXPECT_EQ(r.y0, y0);
    EXPECT_EQ(r.x1, x1);
    EXPECT_EQ(r.y1, y1);
  }

  WM_HWIN desktop = 0;
};

const char kPaintText[] = "Function may not be called from within a paint event";

// --- window tree ---------------------------------------------------------------------------

TEST_F(WmTest, ChildOfSizeZeroTakesTheParentsSizeAtItsOrigin) {
  WM_HWIN parent = Win(10, 20, 100, 50);
  WM_HWIN child = Win(0, 0, 0, 0, parent);
  GUI_RECT r;
  WM_GetWindowRectEx(child, &r);
  Rect(r, 10, 20, 109, 69);
  EXPECT_EQ(WM_GetParent(child), parent);
  EXPECT_EQ(WM_GetParent(parent), desktop);
  // Creation told the parent and then the child.
  EXPECT_FALSE(Of(parent, WM_MSG_VIS_CHANGED).empty());
  EXPECT_EQ(Of(child, WM_MSG_CREATE).size(), 1u);
}

TEST_F(WmTest, CreationOnlyFlagsAreNotKeptInTheStatus) {
  // Select (0x20) and bottom (0x40) act at creation only: the window is neither invalid
  // after a redraw nor reported as such.
  WM_HWIN a = Win(0, 0, 10, 10);
  WM_HWIN b = Win(0, 0, 10, 10, 0, WM_CF_SHOW | WM_CF_ACTIVATE | WM_CF_BGND);
  EXPECT_EQ(WM_GetSelectedWindow(), b);
  EXPECT_EQ(WM_GetFirstChild(desktop), b);  // put at the bottom
  EXPECT_EQ(WM_GetNextSibling(b), a);
  RunExec();
  EXPECT_EQ(WM_GetInvalidRect(b, nullptr), 0);
  EXPECT_EQ(WM_GetNumInvalidWindows(), 0);
}

TEST_F(WmTest, StayOnTopWindowsStayAboveNormalSiblings) {
  WM_HWIN top = Win(0, 0, 10, 10, 0, WM_CF_SHOW | WM_CF_STAYONTOP);
  WM_HWIN normal = Win(0, 0, 10, 10);
  EXPECT_EQ(WM_GetFirstChild(desktop), normal);
  EXPECT_EQ(WM_GetNextSibling(normal), top);
  WM_HWIN normal2 = Win(0, 0, 10, 10);
  EXPECT_EQ(WM_GetNextSibling(normal), normal2);
  EXPECT_EQ(WM_GetNextSibling(normal2), top);
  WM_HWIN top2 = Win(0, 0, 10, 10, 0, WM_CF_SHOW | WM_CF_STAYONTOP);
  EXPECT_EQ(WM_GetNextSibling(top), top2);
  // Bringing a normal window to the top keeps it below the stay-on-top ones.
  WM_BringToTop(normal);
  EXPECT_EQ(WM_GetFirstChild(desktop), normal2);
  EXPECT_EQ(WM_GetNextSibling(normal2), normal);
  EXPECT_EQ(WM_GetNextSibling(normal), top);
  WM_SetStayOnTop(normal2, 1);
  EXPECT_EQ(WM_GetLastSibling(normal), normal2);
  EXPECT_EQ(WM_GetPrevSibling(normal2), top2);
}

TEST_F(WmTest, DeletingAParentDeletesItsChildrenFirstChildFirst) {
  WM_HWIN parent = Win(0, 0, 50, 50);
  WM_HWIN c1 = Win(0, 0, 10, 10, parent);
  WM_HWIN c2 = Win(10, 0, 10, 10, parent);
  WM_HWIN g = Win(0, 0, 5, 5, c1);
  WM_SetFocus(c2);
  WM_HWIN var = c1;
  WM__AddCriticalHandle(&var);
  const int before = WM_GetNumWindows();
  g_log.clear();
  WM_DeleteWindow(parent);
  std::vector<WM_HWIN> deleted;
  for (const Event& e : g_log)
    if (e.id == WM_MSG_DELETE) deleted.push_back(e.hWin);
  EXPECT_EQ(deleted, (std::vector<WM_HWIN>{parent, c1, g, c2}));
  EXPECT_EQ(WM_GetNumWindows(), before - 4);
  for (WM_HWIN h : {parent, c1, c2, g}) EXPECT_FALSE(WM_IsWindow(h));
  EXPECT_EQ(WM_GetFocus(), 0);
  EXPECT_EQ(var, 0);
  WM__RemoveCriticalHandle(&var);
  // Each child told its parent before it went.
  EXPECT_EQ(Of(parent, WM_MSG_NOTIFY_PARENT).size(), 2u);
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(WmTest, DeletingAStaleHandleIsReported) {
  WM_HWIN a = Win(0, 0, 10, 10);
  WM_DeleteWindow(a);
  WM_DeleteWindow(a);
  EXPECT_EQ(Count("WM:\nInvalid handle in WM_DeleteWindow()"), 1);
}

TEST_F(WmTest, ResizingAParentMovesOrStretchesChildrenByTheirAnchors) {
  WM_HWIN parent = Win(0, 0, 100, 100);
  struct Case {
    uint32_t anchors;
    int x0, x1;                    // after the parent grew by 20 in x
  } cases[] = {
      {WM_CF_ANCHOR_RIGHT, 30, 39},
      {WM_CF_ANCHOR_LEFT | WM_CF_ANCHOR_RIGHT, 10, 39},
      {WM_CF_ANCHOR_LEFT, 10, 19},
      {0, 10, 19},
  };
  std::vector<WM_HWIN> children;
  for (const Case& c : cases) children.push_back(Win(10, 10, 10, 10, parent, WM_CF_SHOW | c.anchors));
  g_log.clear();
  WM_ResizeWindow(parent, 20, 0);
  EXPECT_EQ(WM_GetWindowSizeX(parent), 120);
  for (size_t i = 0; i < children.size(); ++i) {
    SCOPED_TRACE(i);
    GUI_RECT r;
    WM_GetWindowRectEx(children[i], &r);
    EXPECT_EQ(r.x0, cases[i].x0);
    EXPECT_EQ(r.x1, cases[i].x1);
    EXPECT_EQ(r.y0, 10);
    EXPECT_EQ(r.y1, 19);
  }
  EXPECT_EQ(Of(children[0], WM_MSG_MOVE).size(), 1u);
  EXPECT_EQ(Of(children[1], WM_MSG_SIZE_CHANGED).size(), 1u);
  EXPECT_TRUE(Of(children[2], WM_MSG_MOVE).empty());
  EXPECT_EQ(Of(parent, WM_MSG_SIZE_CHANGED).size(), 1u);
}

TEST_F(WmTest, MovingCarriesDescendantsAndTellsEachWindow) {
  WM_HWIN parent = Win(10, 10, 50, 50);
  WM_HWIN child = Win(5, 5, 10, 10, parent);
  g_log.clear();
  WM_MoveWindow(parent, 3, -2);
  EXPECT_EQ(WM_GetWindowOrgX(child), 18);
  EXPECT_EQ(WM_GetWindowOrgY(child), 13);
  // The child hears of the move before its parent.
  std::vector<WM_HWIN> order;
  for (const Event& e : g_log)
    if (e.id == WM_MSG_MOVE) order.push_back(e.hWin);
  EXPECT_EQ(order, (std::vector<WM_HWIN>{child, parent}));
  WM_MoveChildTo(child, 0, 0);
  EXPECT_EQ(WM_GetWindowOrgX(child), 13);
}

// --- messages ---------------------------------------------------------------------------------

TEST_F(WmTest, The21stNestedSendIsSkippedAndReported) {
  constexpr int32_t kChain = 1000;
  std::vector<WM_HWIN> wins;
  for (int i = 0; i < 25; ++i) wins.push_back(Win(0, 0, 5, 5, 0, 0));
  for (int i = 0; i < 24; ++i) {
    g_actions[wins[i]] = [next = wins[i + 1]](WM_MESSAGE* pMsg) {
      if (pMsg->MsgId != kChain) return;
      WM_MESSAGE msg{};
      msg.MsgId = kChain;
      WM_SendMessage(next, &msg);
    };
  }
  g_log.clear();
  WM_MESSAGE msg{};
  msg.MsgId = kChain;
  WM_SendMessage(wins[0], &msg);
  int delivered = 0;
  for (const Event& e : g_log) delivered += e.id == kChain;
  EXPECT_EQ(delivered, 20);
  EXPECT_TRUE(Of(wins[20], kChain).empty());
  EXPECT_EQ(Count("WM__SendMessage:\nMax. message nesting exceeded, Message skipped in WM__SendMessage()."), 1);
  // The counter unwound: a new chain delivers again.
  g_log.clear();
  WM_SendMessage(wins[10], &msg);
  for (const Event& e : g_log) delivered += e.id == kChain;
  EXPECT_EQ(delivered, 20 + 15);
}

TEST_F(WmTest, WindowWithoutProcedureAnswersWithTheDefaults) {
  WM_HWIN parent = Win(0, 0, 50, 50);
  WM_HWIN plain = WM_CreateWindowAsChild(0, 0, 20, 10, parent, WM_CF_SHOW, nullptr, 0);
  EXPECT_EQ(WM_GetClientWindow(plain), plain);
  EXPECT_EQ(WM_GetBkColor(plain), GUI_INVALID_COLOR);
  EXPECT_EQ(WM_GetBkColor(0), GUI_INVALID_COLOR);
  GUI_RECT r{};
  WM_GetInsideRectEx(plain, &r);
  Rect(r, 0, 0, 19, 9);
  WM_SetFocus(plain);
  g_log.clear();
  EXPECT_EQ(WM__SendKeyToFocus(42, 1), 1);
  auto keys = Of(parent, WM_MSG_KEY);
  ASSERT_EQ(keys.size(), 1u);
}

TEST_F(WmTest, InsideRectangleIsThatOfTheWindowBeingDrawn) {
  WM_HWIN parent = Win(0, 0, 50, 50);
  WM_HWIN child = WM_CreateWindowAsChild(5, 5, 20, 10, parent, WM_CF_SHOW, nullptr, 0);
  const WM_HWIN old = WM_SelectWindow(child);
  GUI_RECT r{};
  GUI__GetInsideRect(&r);
  Rect(r, 0, 0, 19, 9);
  GUI__GetInsideRect(nullptr);  // ignored
  WM_SelectWindow(old);
}

TEST_F(WmTest, DialogItemSearchEntersTheLowerChildsSubtreeFirst) {
  WM_HWIN parent = Win(0, 0, 50, 50);
  WM_HWIN a = Win(0, 0, 10, 10, parent);
  WM_HWIN b = Win(0, 0, 10, 10, parent);
  WM_HWIN aChild = Win(0, 0, 5, 5, a);
  g_ids[b] = 7;
  g_ids[aChild] = 7;
  EXPECT_EQ(WM_GetDialogItem(parent, 7), aChild);
  EXPECT_EQ(WM_GetDialogItem(parent, 8), 0);
  g_ids[a] = 7;
  EXPECT_EQ(WM_GetDialogItem(parent, 7), a);
}

TEST_F(WmTest, SetCallbackReturnsTheOldProcedureAndAnnouncesTheNewOne) {
  WM_HWIN a = WM_CreateWindowAsChild(0, 0, 10, 10, 0, WM_CF_SHOW, nullptr, 0);
  RunExec();
  EXPECT_EQ(WM_SetCallback(a, RecProc), nullptr);
  ASSERT_FALSE(g_log.empty());
  EXPECT_EQ(g_log.front().id, WM_MSG_CALLBACK_SET);
  RunExec();
  EXPECT_EQ(Of(a, WM_MSG_PAINT).size(), 1u);
  EXPECT_EQ(WM_SetCallback(a, nullptr), RecProc);
}

TEST_F(WmTest, ScrollStateOperationsClampToTheItems) {
  struct Case {
    WM_SCROLL_STATE s;
    int pos, lower, upper;
    int v, change;
  } cases[] = {
      {{100, 0, 10}, 15, 0, 0, 6, 6},      // below the page: page end moves to pos
      {{100, 50, 10}, 40, 2, 0, 38, -12},  // above the page with a margin
      {{5, 3, 10}, 0, 0, 0, 0, -3},        // fewer items than a page
      {{100, 95, 10}, 99, 0, 0, 90, -5},   // clamped to the last page
  };
  for (const Case& c : cases) {
    WM_SCROLL_STATE s = c.s;
    EXPECT_EQ(WM_CheckScrollPos(&s, c.pos, c.lower, c.upper), c.change);
    EXPECT_EQ(s.v, c.v);
  }
  WM_SCROLL_STATE s{20, 0, 5};
  EXPECT_EQ(WM_SetScrollValue(&s, 100), 15);
}

// --- invalidation and redraw ------------------------------------------------------------------

TEST_F(WmTest, TwoInvalidAreasPaintOnceWithTheirBoundingBox) {
  WM_HWIN a = Win(10, 10, 100, 100);
  RunExec();
  g_log.clear();
  GUI_RECT r1{5, 5, 9, 9}, r2{30, 40, 35, 45};
  WM_InvalidateRect(a, &r1);
  WM_InvalidateRect(a, &r2);
  EXPECT_EQ(WM_GetNumInvalidWindows(), 1);
  RunExec();
  auto paints = Of(a, WM_MSG_PAINT);
  ASSERT_EQ(paints.size(), 1u);
  Rect(paints[0].rect, 15, 15, 45, 55);
  Rect(paints[0].clip, 15, 15, 45, 55);
  EXPECT_EQ(IdsOf(a, {WM_MSG_PRE_PAINT, WM_MSG_PAINT, WM_MSG_POST_PAINT}),
            (std::vector<int32_t>{WM_MSG_PRE_PAINT, WM_MSG_PAINT, WM_MSG_POST_PAINT}));
  EXPECT_EQ(WM_GetNumInvalidWindows(), 0);
}

TEST_F(WmTest, WindowUnderASmallSiblingPaintsInFourRectanglesTopBandFirst) {
  WM_HWIN big = Win(0, 0, 100, 100);
  WM_HWIN small = Win(40, 40, 20, 20);
  RunExec();
  g_log.clear();
  WM_InvalidateWindow(big);
  RunExec();
  auto paints = Of(big, WM_MSG_PAINT);
  ASSERT_EQ(paints.size(), 4u);
  Rect(paints[0].clip, 0, 0, 99, 39);
  Rect(paints[1].clip, 0, 40, 39, 59);
  Rect(paints[2].clip, 60, 40, 99, 59);
  Rect(paints[3].clip, 0, 60, 99, 99);
  for (const Event& e : paints) Rect(e.rect, 0, 0, 99, 99);
  EXPECT_TRUE(Of(small, WM_MSG_PAINT).empty());
}

TEST_F(WmTest, LateClipWindowGetsOnePaintAndDrawingIteratesItself) {
  WM_HWIN big = Win(0, 0, 100, 100, 0, WM_CF_SHOW | WM_CF_LATE_CLIP);
  Win(40, 40, 20, 20);
  RunExec();
  int rects = 0;
  g_actions[big] = [&rects](WM_MESSAGE* pMsg) {
    if (pMsg->MsgId != WM_MSG_PAINT) return;
    if (WM_InitClipRectIteration(nullptr)) {
      do ++rects;
      while (WM_GetNextClipRect());
    }
  };
  g_log.clear();
  WM_InvalidateWindow(big);
  RunExec();
  EXPECT_EQ(Of(big, WM_MSG_PAINT).size(), 1u);
  EXPECT_EQ(rects, 4);
}

TEST_F(WmTest, NestedClipIterationInsidePaintDrawsOnce) {
  WM_HWIN a = Win(0, 0, 50, 50);
  Win(10, 10, 10, 10);
  RunExec();
  std::vector<std::pair<int, int>> nested;
  g_actions[a] = [&nested](WM_MESSAGE* pMsg) {
    if (pMsg->MsgId != WM_MSG_PAINT) return;
    GUI_RECT before = GUI_pContext->ClipRect;
    int first = WM_InitClipRectIteration(nullptr);
    int next = WM_GetNextClipRect();
    nested.emplace_back(first, next);
    EXPECT_EQ(GUI_pContext->ClipRect.x0, before.x0);
    EXPECT_EQ(GUI_pContext->ClipRect.y1, before.y1);
  };
  WM_InvalidateWindow(a);
  RunExec();
  ASSERT_EQ(nested.size(), 4u);
  for (auto& n : nested) EXPECT_EQ(n, std::make_pair(1, 0));
}

TEST_F(WmTest, TransparentChildIsPaintedOverItsParentAfterIt) {
  WM_HWIN parent = Win(0, 0, 100, 100);
  WM_HWIN trans = Win(20, 20, 30, 30, parent, WM_CF_SHOW | WM_CF_HASTRANS);
  RunExec();
  g_log.clear();
  GUI_RECT r{0, 0, 29, 29};
  WM_InvalidateRect(parent, &r);
  RunExec();
  std::vector<WM_HWIN> order;
  for (const Event& e : g_log)
    if (e.id == WM_MSG_PAINT) order.push_back(e.hWin);
  EXPECT_EQ(order, (std::vector<WM_HWIN>{parent, trans}));
  Rect(Of(trans, WM_MSG_PAINT)[0].rect, 20, 20, 29, 29);
  // Invalidating the transparent child alone repaints the parent under it first.
  g_log.clear();
  WM_InvalidateWindow(trans);
  RunExec();
  order.clear();
  for (const Event& e : g_log)
    if (e.id == WM_MSG_PAINT) order.push_back(e.hWin);
  EXPECT_EQ(order, (std::vector<WM_HWIN>{parent, trans}));
  Rect(Of(parent, WM_MSG_PAINT)[0].rect, 20, 20, 49, 49);
}

TEST_F(WmTest, HidingAWindowRepaintsWhatLayBelow) {
  WM_HWIN below = Win(0, 0, 100, 100);
  WM_HWIN above = Win(10, 10, 20, 20);
  RunExec();
  g_log.clear();
  WM_HideWindow(above);
  EXPECT_FALSE(WM_IsVisible(above));
  RunExec();
  auto paints = Of(below, WM_MSG_PAINT);
  ASSERT_EQ(paints.size(), 1u);
  Rect(paints[0].rect, 10, 10, 29, 29);
  EXPECT_TRUE(Of(above, WM_MSG_PAINT).empty());
  EXPECT_FALSE(Of(above, WM_MSG_VIS_CHANGED).empty());
  WM_ShowWindow(above);
  RunExec();
  EXPECT_EQ(Of(above, WM_MSG_PAINT).size(), 1u);
}

TEST_F(WmTest, DesktopWithoutColourIsNotFilled) {
  // The desktop fills with its colour only when one is set: read a pixel back.
  std::vector<uint32_t> pixels(LCD_XSIZE * LCD_YSIZE, 0x1234);
  GUI_LCD_MEMORY_HOOKS hooks{};
  static std::vector<uint32_t>* s_px;
  s_px = &pixels;
  hooks.pfSetPixelIndex = [](int x, int y, uint32_t i, int) { (*s_px)[y * LCD_XSIZE + x] = i; };
  hooks.pfGetPixelIndex = [](int x, int y, int) { return (*s_px)[y * LCD_XSIZE + x]; };
  hooks.pfFillRow = [](int x0, int x1, int y, uint32_t i, int) {
    for (int x = x0; x <= x1; ++x) (*s_px)[y * LCD_XSIZE + x] = i;
  };
  GUI_SetLCDMemoryHooks(&hooks);
  WM_InvalidateWindow(desktop);
  RunExec();
  EXPECT_EQ(pixels[5 * LCD_XSIZE + 5], 0x1234u);
  WM_SetDesktopColor(0x0000FF);  // red
  RunExec();
  EXPECT_EQ(pixels[5 * LCD_XSIZE + 5], GUICC_565R_Color2Index(0x0000FF));
  GUI_SetLCDMemoryHooks(nullptr);
}

TEST_F(WmTest, DeletingAWindowDuringItsOwnPaintWaitsForTheNextPass) {
  WM_HWIN a = Win(0, 0, 50, 50);
  WM_HWIN child = Win(0, 0, 10, 10, a);
  RunExec();
  g_actions[a] = [a](WM_MESSAGE* pMsg) {
    if (pMsg->MsgId == WM_MSG_PAINT) {
      WM_DeleteWindow(a);
      GUI_ClearRect(0, 0, 5, 5);  // still drawing into the window being painted
    }
  };
  g_log.clear();
  WM_InvalidateWindow(a);
  RunExec();
  // Reported once per paint message (the child splits the window in two rectangles).
  EXPECT_EQ(Count(kPaintText), static_cast<int>(Of(a, WM_MSG_PAINT).size()));
  EXPECT_FALSE(WM_IsWindow(a));
  EXPECT_FALSE(WM_IsWindow(child));
  EXPECT_EQ(Of(a, WM_MSG_DELETE).size(), 1u);
  EXPECT_EQ(Of(child, WM_MSG_DELETE).size(), 1u);
  // The heap reports every dereference of a freed block: there was none.
  EXPECT_EQ(g_errors.size(), Of(a, WM_MSG_PAINT).size());
}

TEST_F(WmTest, ProceduresThatDeleteTheirWindowInTheMiddleOfAnOperation) {
  struct Case {
    int32_t msgId;
    std::function<void(WM_HWIN parent)> trigger;
  } cases[] = {
      {WM_MSG_PRE_PAINT, [](WM_HWIN parent) { WM__InvalidateTree(parent); }},
      {WM_MSG_POST_PAINT, [](WM_HWIN parent) { WM__InvalidateTree(parent); }},
      {WM_MSG_VIS_CHANGED, [](WM_HWIN parent) { WM__InvalidateTree(parent); }},
      {WM_MSG_MOVE, [](WM_HWIN parent) { WM_MoveWindow(parent, 4, 4); }},
      {WM_MSG_SIZE_CHANGED, [](WM_HWIN parent) { WM_ResizeWindow(parent, 5, 5); }},
      {WM_MSG_TOUCH, [](WM_HWIN) {
         GUI_PID_STATE s{12, 12, 1, 0, {0, 0}};
         GUI_PID_QueueState(&s);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.msgId);
    WM_HWIN parent = Win(0, 0, 60, 60, 0, WM_CF_SHOW | WM_CF_ANCHOR_LEFT | WM_CF_ANCHOR_RIGHT);
    WM_HWIN victim = Win(0, 0, 0, 0, parent, WM_CF_SHOW | WM_CF_ANCHOR_LEFT | WM_CF_ANCHOR_RIGHT);
    WM_HWIN sibling = Win(10, 10, 10, 10, parent);
    RunExec();
    const int id = c.msgId;
    auto selfDelete = [id](WM_MESSAGE* pMsg) {
      if (pMsg->MsgId == id) WM_DeleteWindow(pMsg->hWin);
    };
    // The victim lies below a sibling and covers its parent; pointer messages reach it
    // through the sibling's parent chain only for the touch case.
    g_actions[victim] = selfDelete;
    if (id == WM_MSG_TOUCH) g_actions[parent] = selfDelete;
    g_errors.clear();
    c.trigger(parent);
    RunExec();
    EXPECT_FALSE(WM_IsWindow(id == WM_MSG_TOUCH ? parent : victim));
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
    g_actions.clear();
    if (WM_IsWindow(parent)) WM_DeleteWindow(parent);
    RunExec();
    (void)sibling;
  }
}

TEST_F(WmTest, UpdateOfAnotherWindowWithinAPaintWaitsForThePass) {
  WM_HWIN a = Win(0, 0, 50, 50);
  WM_HWIN b = Win(60, 0, 50, 50);
  RunExec();
  g_actions[a] = [b](WM_MESSAGE* pMsg) {
    if (pMsg->MsgId != WM_MSG_PAINT) return;
    WM_InvalidateWindow(b);
    WM_Update(b);  // would paint b clipped to a's rectangle: refused
    EXPECT_EQ(WM_SelectWindow(b), pMsg->hWin);  // reported, but done
    WM_SelectWindow(pMsg->hWin);
  };
  g_log.clear();
  WM_InvalidateWindow(a);
  GUI_Exec1();
  EXPECT_EQ(Count(kPaintText), 3);
  // b was painted by the pass after a, once, with its whole rectangle.
  std::vector<WM_HWIN> order;
  for (const Event& e : g_log)
    if (e.id == WM_MSG_PAINT) order.push_back(e.hWin);
  EXPECT_EQ(order, (std::vector<WM_HWIN>{a, b}));
  Rect(Of(b, WM_MSG_PAINT)[0].clip, 60, 0, 109, 49);
}

TEST_F(WmTest, MarkedWindowsGoAtTheNextExecPass) {
  WM_HWIN a = Win(0, 0, 10, 10);
  WM_MarkForDeletion(a);
  EXPECT_TRUE(WM_IsWindow(a));
  RunExec();
  EXPECT_FALSE(WM_IsWindow(a));
}

TEST_F(WmTest, RandomOperationsKeepTheCountsAndTheTreeConsistent) {
  // A fixed pseudo-random mix of tree, geometry, visibility and paint operations; after
  // each one the counters must match the windows, and every pass must leave nothing invalid.
  WmRandom rnd{12345};
  std::vector<WM_HWIN> wins;
  auto countTree = [](WM_HWIN root) {
    int n = 0, invalid = 0;
    struct Acc {
      int* n;
      int* invalid;
    } acc{&n, &invalid};
    WM_ForEachDesc(root, [](WM_HWIN h, void* p) {
      auto* a = static_cast<Acc*>(p);
      ++*a->n;
      *a->invalid += WM_GetInvalidRect(h, nullptr);
    }, &acc);
    return std::make_pair(n + 1, invalid + WM_GetInvalidRect(root, nullptr));
  };
  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE(step);
    const int op = rnd(8 + kWmRandomTreeOps);
    WM_HWIN any = wins.empty() ? 0 : wins[rnd(static_cast<int>(wins.size()))];
    if (op < 2) {
      const WM_HWIN parent = (any && rnd(2)) ? any : 0;
      const uint32_t none = 0;
      uint32_t flags = (rnd(4) ? WM_CF_SHOW : none) | (rnd(5) ? none : WM_CF_HASTRANS) | (rnd(6) ? none : WM_CF_STAYONTOP);
      flags |= rnd(2) ? WM_CF_ANCHOR_RIGHT : none;
      if (!rnd(8)) flags |= WM_CF_LATE_CLIP;
      wins.push_back(Win(rnd(300) - 20, rnd(220) - 20, rnd(120), rnd(120), parent, flags));
    } else if (op == 2) {
      GUI_PID_STATE st{rnd(320), rnd(240), static_cast<uint8_t>(rnd(2)), 0, {0, 0}};
      GUI_PID_QueueState(&st);
    } else if (op == 3) {
      RunExec();
      EXPECT_EQ(WM_GetNumInvalidWindows(), 0);
    } else if (!any) {  // the operations below act on an existing window
    } else if (op == 4) {
      GUI_RECT r{static_cast<int16_t>(rnd(50)), static_cast<int16_t>(rnd(50)), static_cast<int16_t>(rnd(100)),
                 static_cast<int16_t>(rnd(100))};
      WM_InvalidateRect(any, &r);
    } else if (op == 5) {
      WM_SetTransState(any, rnd(2) ? uint32_t{WM_CF_HASTRANS} : 0u);
    } else if (op == 6) {
      rnd(2) ? static_cast<void>(WM_SetFocus(any)) : WM_SetCapture(any, rnd(2));
    } else if (op == 7) {
      if (wins.size() > 1) WM_AttachWindow(any, rnd(3) ? wins[rnd(static_cast<int>(wins.size()))] : desktop);
    } else {
      WmRandomTreeOp(rnd, any, op - 8);
    }
    std::erase_if(wins, [](WM_HWIN h) { return !WM_IsWindow(h); });
    auto [n, invalid] = countTree(desktop);
    ASSERT_EQ(n, WM_GetNumWindows());
    ASSERT_EQ(invalid, WM_GetNumInvalidWindows());
  }
  EXPECT_TRUE(g_errors.empty()) << g_errors.front();
}

// --- focus and keys ---------------------------------------------------------------------------------

TEST_F(WmTest, RefusedFocusKeepsTheOldWindowWhichWasAlreadyTold) {
  WM_HWIN parent = Win(0, 0, 100, 100);
  WM_HWIN a = Win(0, 0, 10, 10, parent);
  WM_HWIN b = Win(20, 0, 10, 10, parent);
  EXPECT_EQ(WM_SetFocus(a), 0);
  EXPECT_EQ(WM_SetFocus(a), 1);
  EXPECT_EQ(WM_SetFocus(0), 1);
  auto has = Of(parent, WM_MSG_CHILD_HAS_FOCUS);
  EXPECT_EQ(has.size(), 1u);
  g_actions[b] = [](WM_MESSAGE* pMsg) {
    if (pMsg->MsgId == WM_MSG_SET_FOCUS && pMsg->Data.v == 1) pMsg->Data.v = 5;
  };
  g_log.clear();
  EXPECT_EQ(WM_SetFocus(b), 5);
  EXPECT_EQ(WM_GetFocus(), a);
  auto lost = Of(a, WM_MSG_SET_FOCUS);
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost[0].v, 0);
}

TEST_F(WmTest, FocusCyclesOverFocusableChildrenAndWraps) {
  WM_HWIN parent = Win(0, 0, 100, 100);
  auto accept = [](WM_MESSAGE* pMsg) {
    if (pMsg->MsgId == WM_MSG_GET_ACCEPT_FOCUS)
      pMsg->Data.v = 1;
    else if (pMsg->MsgId == WM_MSG_SET_FOCUS)
      pMsg->Data.v = 0;
  };
  WM_HWIN a = Win(0, 0, 10, 10, parent);
  WM_HWIN skip = Win(10, 0, 10, 10, parent);  // answers 0 to the accept question
  WM_HWIN c = Win(20, 0, 10, 10, parent);
  g_actions[a] = accept;
  g_actions[c] = accept;
  EXPECT_EQ(WM_SetFocusOnNextChild(parent), a);
  EXPECT_EQ(WM_SetFocusOnNextChild(parent), c);
  EXPECT_EQ(WM_SetFocusOnNextChild(parent), a);
  EXPECT_EQ(WM_SetFocusOnPrevChild(parent), c);
  EXPECT_EQ(WM_GetFocusedChild(parent), c);
  EXPECT_FALSE(WM_IsFocusable(skip));
  WM_DisableWindow(a);
  EXPECT_FALSE(WM_IsFocusable(a));
  EXPECT_EQ(WM_SetFocusOnNextChild(parent), 0);  // back at the start: nothing changes
  EXPECT_EQ(WM_GetFocus(), c);
}

TEST_F(WmTest, ScreenSizeChangeIsBroadcastOnce) {
  WM_HWIN a = Win(0, 0, 10, 10);
  RunExec();
  LCD_SetSizeEx(0, 240, 320);
  RunExec();
  RunExec();
  EXPECT_EQ(Of(a, WM_MSG_SCREENSIZE_CHANGED).size(), 1u);
  LCD_SetSizeEx(0, LCD_XSIZE, LCD_YSIZE);
}

TEST_F(WmTest, KeysGoToTheFocusWindowOrNowhere) {
  EXPECT_EQ(WM__SendKeyToFocus(13, 1), 0);
  WM_HWIN a = Win(0, 0, 10, 10);
  WM_SetFocus(a);
  GUI_StoreKeyMsg(13, 1);
  RunExec();
  auto keys = Of(a, WM_MSG_KEY);
  ASSERT_EQ(keys.size(), 1u);
  // The desktop keeps an unhandled key pressed once as the pending key.
  GUI_GetKey();
  WM_SetFocus(desktop);
  WM__SendKeyToFocus(77, 1);
  EXPECT_EQ(GUI_GetKey(), 77);
}

// --- pointer ----------------------------------------------------------------------------------------

class WmPointerTest : public WmTest {
 protected:
  void SetUp() override {
    WmTest::SetUp();
    a = Win(10, 10, 50, 50);
    b = Win(100, 10, 50, 50);
    RunExec();
    g_log.clear();
  }
  static void Pid(int x, int y, int pressed) {
    GUI_PID_STATE s{x, y, static_cast<uint8_t>(pressed), 0, {0, 0}};
    GUI_PID_QueueState(&s);
    RunExec();
  }
  static std::vector<std::string> Seq(WM_HWIN h) {
    std::vector<std::string> r;
    for (const Event& e : g_log) {
      if (e.hWin != h) continue;
      switch (e.id) {
        case WM_MSG_PID_CHANGED:
          r.push_back("changed" + std::to_string(e.pid.Pressed));
          break;
        case WM_MSG_PID_TOUCH:
          r.push_back(e.hasPid ? "touch" + std::to_string(e.pid.Pressed) : "touch-out");
          break;
        case WM_MSG_PID_MOVE:
          r.push_back("move");
          break;
        case WM_MSG_PID_LEAVE:
          r.push_back("leave");
          break;
        case WM_MSG_CAPTURE_RELEASED:
          r.push_back("released");
          break;
        default:
          break;
      }
    }
    return r;
  }
  WM_HWIN a = 0, b = 0;
};

using V = std::vector<std::string>;

TEST_F(WmPointerTest, PressMoveOutAndReleaseWithoutCapture) {
  Pid(20, 30, 1);
  Pid(120, 30, 1);
  Pid(120, 30, 0);
  EXPECT_EQ(Seq(a), (V{"changed1", "touch1", "leave", "touch-out"}));
  EXPECT_EQ(Seq(b), (V{"touch1", "changed0", "touch0"}));
  // Positions arrive relative to the window.
  auto touches = Of(a, WM_MSG_PID_TOUCH);
  EXPECT_EQ(touches[0].pid.x, 10);
  EXPECT_EQ(touches[0].pid.y, 20);
}

TEST_F(WmPointerTest, WithACaptureEveryStateGoesToTheCaptureWindow) {
  Pid(20, 30, 1);
  WM_SetCapture(a, 1);
  Pid(120, 30, 1);
  Pid(130, 40, 0);
  EXPECT_EQ(Seq(a), (V{"changed1", "touch1", "touch1", "changed0", "touch0", "released"}));
  EXPECT_TRUE(Seq(b).empty());
  auto touches = Of(a, WM_MSG_PID_TOUCH);
  EXPECT_EQ(touches[2].pid.x, 120);  // outside the window, still relative to it
  // The auto-release ended the capture: the next press goes to the window under it.
  g_log.clear();
  Pid(120, 30, 1);
  EXPECT_EQ(Seq(b), (V{"changed1", "touch1"}));
}

TEST_F(WmPointerTest, MovesWithoutPressGoToTheWindowUnderThePointer) {
  Pid(20, 30, 0);
  Pid(120, 30, 0);
  EXPECT_EQ(Seq(a), (V{"move", "leave"}));
  EXPECT_EQ(Seq(b), (V{"move"}));
  // The parent hears of its child's pointer messages, the child's state relative to it.
  WM_HWIN child = Win(5, 5, 10, 10, a);
  g_log.clear();
  Pid(17, 18, 0);
  EXPECT_EQ(Seq(child), (V{"move"}));
  auto touch = Of(a, WM_MSG_TOUCH);
  ASSERT_EQ(touch.size(), 1u);
  auto moves = Of(child, WM_MSG_PID_MOVE);
  EXPECT_EQ(moves[0].pid.x, 2);
  EXPECT_EQ(moves[0].pid.y, 3);
}

TEST_F(WmPointerTest, QueueCoalescesMovesAndDropsTheOldestWhenFull) {
  // A release and four pressed states: once the two newest queued states are pressed,
  // each further pressed state replaces the newest (the fourth overwrites the third).
  for (int x : {1, 2, 3, 4, 5}) {
    GUI_PID_STATE s{x, 1, static_cast<uint8_t>(x > 1), 0, {0, 0}};
    GUI_PID_QueueState(&s);
  }
  GUI_PID_STATE out;
  std::vector<int> xs;
  while (!GUI_PID_IsEmpty()) {
    GUI_PID_GetNextState(&out);
    xs.push_back(out.x);
  }
  EXPECT_EQ(xs, (std::vector<int>{1, 2, 5}));
  // An empty queue gives the newest state again.
  EXPECT_EQ(GUI_PID_GetNextState(&out), 1);
  EXPECT_EQ(out.x, 5);
  xs.clear();
  for (int i = 0; i < 7; ++i) {
    GUI_PID_STATE t{i, 0, static_cast<uint8_t>(i % 2), 0, {0, 0}};
    GUI_PID_QueueState(&t);
  }
  while (!GUI_PID_IsEmpty()) {
    GUI_PID_GetNextState(&out);
    xs.push_back(out.x);
  }
  EXPECT_EQ(xs, (std::vector<int>{2, 3, 4, 5, 6}));
}

TEST_F(WmPointerTest, IllegalLayerIsReportedAndTheStateUsedOnTheCurrentLayer) {
  GUI_PID_STATE s{20, 30, 1, 16, {0, 0}};
  GUI_PID_QueueState(&s);
  RunExec();
  EXPECT_EQ(Count("WM_Touch:\nIllegal value in StateNew.Layer in function WM_HandlePID()!"), 1);
  EXPECT_EQ(Seq(a), (V{"changed1", "touch1"}));
}

TEST_F(WmPointerTest, ModalWindowTakesPointerInputOnlyForItsOwnTree) {
  WM_HWIN modal = Win(200, 100, 100, 100);
  WM_HWIN inside = Win(10, 10, 20, 20, modal);
  EXPECT_EQ(WM_SetModalWindow(modal), 0);
  Pid(20, 30, 1);   // on a: not allowed, nobody gets it
  Pid(20, 30, 0);
  Pid(215, 115, 1);  // on the modal window's child
  EXPECT_TRUE(Seq(a).empty());
  EXPECT_EQ(Seq(inside), (V{"changed1", "touch1"}));
  EXPECT_EQ(WM_SetModalWindow(0), modal);
}

TEST_F(WmPointerTest, DispatchHooksSeeEveryDispatchedState) {
  static std::vector<std::pair<WM_HWIN, int>> s_seen;
  s_seen.clear();
  static GUI_PID_PRESTORE_HOOK s_shift = {nullptr, [](GUI_PID_STATE* pState) { pState->x += 100; }};
  GUI_PID_AddPreStoreHook(&s_shift);
  WM_SetPostDispatchHook([](const GUI_PID_STATE* pState, WM_HWIN hTarget) { s_seen.emplace_back(hTarget, pState->x); });
  Pid(20, 30, 1);  // moved onto b by the pre-store hook
  WM_SetPostDispatchHook(nullptr);
  EXPECT_EQ(s_seen, (std::vector<std::pair<WM_HWIN, int>>{{b, 120}}));
  EXPECT_EQ(Seq(b), (V{"changed1", "touch1"}));
  EXPECT_TRUE(Seq(a).empty());
}

TEST_F(WmPointerTest, HitTestFindsTheTopmostVisibleWindow) {
  WM_HWIN over = Win(30, 30, 50, 50);
  EXPECT_EQ(WM__GetWindowAt(35, 35), over);
  EXPECT_EQ(WM__GetWindowAtExcept(over, 35, 35), a);
  WM_HideWindow(over);
  EXPECT_EQ(WM__GetWindowAt(35, 35), a);
  EXPECT_EQ(WM__GetWindowAt(300, 200), desktop);
}

// --- timers -------------------------------------------------------------------------------------

std::vector<intptr_t> g_fired;
void Fire(GUI_TIMER_MESSAGE* pMsg) { g_fired.push_back(pMsg->Context); }

class WmTimerTest : public WmTest {
 protected:
  void SetUp() override {
    WmTest::SetUp();
    g_fired.clear();
  }
};

TEST_F(WmTimerTest, SameDueTimeRunsInReverseCreationOrder) {
  GUI_TIMER_CreateEx(Fire, 1500, 1, 0);
  GUI_TIMER_CreateEx(Fire, 1500, 2, 0);
  GUI_TIMER_CreateEx(Fire, 1200, 3, 0);
  GUI_TIMER_CreateEx(Fire, 0, 4, 0);  // now
  RunExec();
  EXPECT_EQ(g_fired, (std::vector<intptr_t>{4}));
  EXPECT_EQ(GUI_TIMER_GetDelay(), 200);
  g_now = 1500;
  RunExec();
  EXPECT_EQ(g_fired, (std::vector<intptr_t>{4, 3, 2, 1}));
  EXPECT_FALSE(GUI_TIMER_IsAnyPending());
}

TEST_F(WmTimerTest, DueTimesAcrossTheCounterWrapKeepTheirOrder) {
  struct Case {
    int32_t now;
  } cases[] = {{-20}, {INT32_MAX - 9}};
  for (const Case& c : cases) {
    g_fired.clear();
    g_now = c.now;
    auto at = [&](int32_t d) { return static_cast<int32_t>(static_cast<uint32_t>(c.now) + static_cast<uint32_t>(d)); };
    GUI_TIMER_HANDLE after = GUI_TIMER_CreateEx(Fire, at(30), 2, 0);  // due after the wrap
    GUI_TIMER_HANDLE before = GUI_TIMER_CreateEx(Fire, at(5), 1, 0);
    RunExec();
    EXPECT_TRUE(g_fired.empty());
    EXPECT_EQ(GUI_TIMER_GetDelay(), 5);
    g_now = at(10);
    RunExec();
    EXPECT_EQ(g_fired, (std::vector<intptr_t>{1}));
    g_now = at(40);
    RunExec();
    EXPECT_EQ(g_fired, (std::vector<intptr_t>{1, 2}));
    GUI_TIMER_Delete(after);
    GUI_TIMER_Delete(before);
  }
}

TEST_F(WmTimerTest, TimerThatDeletesItselfInItsCallback) {
  static GUI_TIMER_HANDLE s_self;
  s_self = GUI_TIMER_CreateEx([](GUI_TIMER_MESSAGE* pMsg) {
    g_fired.push_back(pMsg->Context);
    GUI_TIMER_Delete(pMsg->hTimer);
  }, 0, 9, 0);
  GUI_TIMER_CreateEx(Fire, 0, 8, 0);
  RunExec();
  EXPECT_EQ(g_fired, (std::vector<intptr_t>{8, 9}));
  intptr_t ctx = 0;
  EXPECT_NE(GUI_TIMER_GetFirst(&ctx), s_self);
  EXPECT_EQ(ctx, 8);
  EXPECT_EQ(GUI_TIMER_GetNext(GUI_TIMER_GetFirst(nullptr), nullptr), 0);
  EXPECT_TRUE(g_errors.empty());  // no freed timer block was read
}

TEST_F(WmTimerTest, CallbackThatDeletesTheNextDueTimer) {
  static GUI_TIMER_HANDLE s_next;
  GUI_TIMER_CreateEx([](GUI_TIMER_MESSAGE* pMsg) {
    g_fired.push_back(pMsg->Context);
    GUI_TIMER_Delete(s_next);
  }, 0, 1, 0);
  s_next = GUI_TIMER_CreateEx(Fire, 0, 2, 0);  // due first, same time: runs first
  GUI_TIMER_CreateEx(Fire, 1, 3, 0);           // long overdue: runs before both
  RunExec();
  EXPECT_EQ(g_fired, (std::vector<intptr_t>{3, 2, 1}));
  s_next = GUI_TIMER_CreateEx(Fire, 0, 5, 0);
  GUI_TIMER_CreateEx([](GUI_TIMER_MESSAGE* pMsg) {
    g_fired.push_back(pMsg->Context);
    GUI_TIMER_Delete(s_next);
  }, 0, 4, 0);
  g_fired.clear();
  RunExec();
  EXPECT_EQ(g_fired, (std::vector<intptr_t>{4}));
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(WmTimerTest, PeriodicCallbackRestartsItsTimerAndRunsOncePerCall) {
  static int s_runs;
  s_runs = 0;
  GUI_TIMER_HANDLE h = GUI_TIMER_CreateEx([](GUI_TIMER_MESSAGE* pMsg) {
    ++s_runs;
    GUI_TIMER_Restart(pMsg->hTimer);
  }, 0, 0, 0);
  GUI_TIMER_SetPeriod(h, 0);  // restarts due now: must not spin within one call
  GUI_TIMER_Exec();
  EXPECT_EQ(s_runs, 1);
  GUI_TIMER_SetPeriod(h, 100);
  GUI_TIMER_Exec();
  EXPECT_EQ(s_runs, 2);
  g_now += 99;
  RunExec();
  EXPECT_EQ(s_runs, 2);
  g_now += 1;
  RunExec();
  EXPECT_EQ(s_runs, 3);
  EXPECT_EQ(GUI_TIMER_GetFlag(h, 1), 0);
  EXPECT_EQ(GUI_TIMER_GetFlag(0, 1), 1);
}

TEST_F(WmTimerTest, WindowTimerFiresOnceUntilRestarted) {
  WM_HWIN a = Win(0, 0, 10, 10);
  WM_HTIMER t = WM_CreateTimer(a, 5, 100);
  ASSERT_NE(t, 0);
  g_now += 100;
  RunExec();
  g_now += 500;
  RunExec();
  auto timers = Of(a, WM_MSG_TIMER);
  ASSERT_EQ(timers.size(), 1u);
  EXPECT_EQ(timers[0].v, t);
  WM_RestartTimer(t, 0);
  g_now += 100;
  RunExec();
  EXPECT_EQ(Of(a, WM_MSG_TIMER).size(), 2u);
}

TEST_F(WmTimerTest, DeletingAWindowDeletesOnlyItsTimers) {
  WM_HWIN a = Win(0, 0, 10, 10);
  WM_HWIN b = Win(0, 0, 10, 10);
  WM_CreateTimer(a, 1, 50);
  WM_CreateTimer(a, 2, 50);
  WM_CreateTimer(b, 3, 50);
  WM_DeleteWindow(a);
  int n = 0;
  for (GUI_TIMER_HANDLE h = GUI_TIMER_GetFirst(nullptr); h; h = GUI_TIMER_GetNext(h, nullptr)) ++n;
  EXPECT_EQ(n, 1);
  g_now += 50;
  RunExec();
  EXPECT_EQ(Of(b, WM_MSG_TIMER).size(), 1u);
}

TEST_F(WmTimerTest, WindowTimerHandlerThatDeletesItsWindow) {
  WM_HWIN a = Win(0, 0, 10, 10);
  WM_HWIN b = Win(20, 0, 10, 10);
  g_actions[a] = [a](WM_MESSAGE* pMsg) {
    if (pMsg->MsgId == WM_MSG_TIMER) WM_DeleteWindow(a);
  };
  WM_CreateTimer(a, 1, 10);
  WM_CreateTimer(b, 2, 10);
  g_now += 10;
  RunExec();
  EXPECT_FALSE(WM_IsWindow(a));
  EXPECT_EQ(Of(b, WM_MSG_TIMER).size(), 1u);
  EXPECT_EQ(GUI_TIMER_GetFirst(nullptr) != 0, true);  // b's timer stays listed until deleted
  EXPECT_TRUE(g_errors.empty());  // no freed window or timer block was read
}

}  // namespace
