// Static memory devices of windows: what a window's device holds, how it is written over
// the display, the merge of a window tree, and that the window manager frees the devices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "draw_fixture.h"
#include "gui/WM.h"
#include "gui/core/GUI_Input.h"
#include "gui/memdev/GUI_Memdev.h"

namespace {

constexpr GUI_COLOR kRed = 0x0000FF, kGreen = 0x00FF00, kGrey = 0x848284;

int g_paints = 0;

// Paints a 10 x 8 red block at (2, 3) and a green line along its top; the rest of the
// window is left untouched, so it stays transparent in a static device.
void BlockProc(WM_MESSAGE* pMsg) {
  if (pMsg->MsgId != WM_MSG_PAINT) {
    WM_DefaultProc(pMsg);
    return;
  }
  ++g_paints;
  GUI_SetColor(kRed);
  GUI_FillRect(2, 3, 11, 10);
  GUI_SetColor(kGreen);
  GUI_DrawHLine(0, 0, WM_GetWindowSizeX(pMsg->hWin) - 1);
}

// Pixel of a 32-bit device at screen position (x, y).
uint32_t DevicePixel(GUI_MEMDEV_Handle hMem, int x, int y) {
  GUI_MEMDEV* p = GUI_MEMDEV__h2p(hMem);
  uint32_t v;
  std::memcpy(&v, GUI_MEMDEV__Pixels(p) + (y - p->y0) * p->BytesPerLine + 4 * (x - p->x0), 4);
  return v;
}

std::vector<std::string>* g_log;

class MemdevStatic : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    if (HasFatalFailure()) return;
    // The library's debug texts are collected with its errors.
    g_log = &errors;
    saved_ = *GUI__pHooks;
    GUI_PLATFORM_HOOKS hooks = saved_;
    hooks.pfLog = [](const char* s) {
      if (g_log) g_log->emplace_back(s ? s : "");
    };
    GUI_SetPlatformHooks(&hooks);
    g_paints = 0;
    WM_SetDesktopColor(kGrey);
    Exec();
  }
  // A pixel as a library colour (the frame buffer holds 0x00RRGGBB).
  static GUI_COLOR Raw(int x, int y) {
    const uint32_t v = lcdtest::ReadRaw(x, y);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
  }
  void TearDown() override {
    GUI_SetPlatformHooks(&saved_);
    g_log = nullptr;
    DrawTest::TearDown();
  }
  GUI_PLATFORM_HOOKS saved_{};
  static void Exec() {
    for (int i = 0; i < 100 && GUI_Exec(); ++i) {
    }
  }
};

TEST_F(MemdevStatic, DeviceHoldsWhatTheWindowPaintsAndTheRestIsTransparent) {
  WM_HWIN hWin = WM_CreateWindow(40, 30, 30, 20, WM_CF_SHOW, BlockProc, 0);
  Exec();
  g_paints = 0;
  EXPECT_EQ(GUI_MEMDEV_GetStaticDevice(0), 0u);
  EXPECT_EQ(GUI_MEMDEV_GetStaticDevice(hWin), 0u);

  const GUI_MEMDEV_Handle hMem = GUI_MEMDEV__CreateStaticDevice(hWin);
  ASSERT_NE(hMem, 0u);
  EXPECT_EQ(GUI_MEMDEV_GetStaticDevice(hWin), hMem);
  EXPECT_EQ(GUI_MEMDEV_GetXPos(hMem), 40);
  EXPECT_EQ(GUI_MEMDEV_GetYPos(hMem), 30);
  EXPECT_EQ(GUI_MEMDEV_GetXSize(hMem), 30);
  EXPECT_EQ(GUI_MEMDEV_GetYSize(hMem), 20);
  EXPECT_EQ(DevicePixel(hMem, 42, 33) & 0xFFFFFF, kRed);
  EXPECT_EQ(DevicePixel(hMem, 69, 30) & 0xFFFFFF, kGreen);
  EXPECT_EQ(DevicePixel(hMem, 41, 33), 0xFFFFFFFFu);  // untouched: fully transparent
  EXPECT_EQ(DevicePixel(hMem, 69, 49), 0xFFFFFFFFu);
  EXPECT_EQ(g_paints, 1);

  // An existing device is reused, without painting again, and follows the window.
  WM_MoveWindow(hWin, 5, 7);
  EXPECT_EQ(GUI_MEMDEV__CreateStaticDevice(hWin), hMem);
  EXPECT_EQ(GUI_MEMDEV_GetXPos(hMem), 45);
  EXPECT_EQ(GUI_MEMDEV_GetYPos(hMem), 37);
  EXPECT_EQ(g_paints, 1);
  WM_DeleteWindow(hWin);
  EXPECT_TRUE(errors.empty());
}

TEST_F(MemdevStatic, PaintOneStaticWritesOnlyThePaintedPixels) {
  WM_HWIN hWin = WM_CreateWindow(100, 60, 40, 30, WM_CF_SHOW, BlockProc, 0);
  Exec();
  GUI_SetBkColor(kGrey);
  GUI_Clear();  // the window's own paint is wiped; only the device writes it back
  g_paints = 0;
  GUI_MEMDEV_Paint1Static(hWin);
  GUI_MEMDEV_Paint1Static(hWin);  // from the same device: no second paint
  EXPECT_EQ(g_paints, 1);
  EXPECT_TRUE(golden("memdev_static_paint1"));
  WM_DeleteWindow(hWin);
  EXPECT_TRUE(errors.empty());
}

TEST_F(MemdevStatic, WindowManagerFreesTheDeviceWithTheWindow) {
  // The device's record and its pixels both go back to the heap, on deletion and on a
  // change of size: a second round leaves the heap as the first did.
  uint32_t after[2];
  for (uint32_t& free : after) {
    WM_HWIN hWin = WM_CreateWindow(10, 10, 50, 40, WM_CF_SHOW | WM_CF_STATIC, BlockProc, 0);
    Exec();
    const uint32_t withWindow = GUI_ALLOC_GetNumFreeBytes();
    ASSERT_NE(GUI_MEMDEV__CreateStaticDevice(hWin), 0u);
    EXPECT_LT(GUI_ALLOC_GetNumFreeBytes(), withWindow);
    WM_ResizeWindow(hWin, 4, 4);
    EXPECT_EQ(GUI_MEMDEV_GetStaticDevice(hWin), 0u);
    ASSERT_NE(GUI_MEMDEV__CreateStaticDevice(hWin), 0u);
    EXPECT_EQ(GUI_MEMDEV_GetXSize(GUI_MEMDEV_GetStaticDevice(hWin)), 54);
    WM_DeleteWindow(hWin);
    Exec();
    free = GUI_ALLOC_GetNumFreeBytes();
  }
  EXPECT_EQ(after[1], after[0]);
  EXPECT_TRUE(errors.empty());
}

TEST_F(MemdevStatic, CreateAndUpdateMergeTheTreeIntoOneDevice) {
  WM_HWIN parent = WM_CreateWindow(20, 20, 60, 40, WM_CF_SHOW, BlockProc, 0);
  WM_HWIN child = WM_CreateWindowAsChild(10, 5, 20, 20, parent, WM_CF_SHOW, BlockProc, 0);
  WM_HWIN hidden = WM_CreateWindowAsChild(0, 0, 20, 20, parent, 0, BlockProc, 0);
  Exec();
  g_paints = 0;
  GUI_MEMDEV_CreateStatic(parent);
  EXPECT_EQ(g_paints, 2);  // the hidden child takes no part
  EXPECT_NE(GUI_MEMDEV_GetStaticDevice(parent), 0u);
  EXPECT_NE(GUI_MEMDEV_GetStaticDevice(child), 0u);
  EXPECT_EQ(GUI_MEMDEV_GetStaticDevice(hidden), 0u);

  GUI_MEMDEV_Handle hMerge = 0;
  GUI_MEMDEV_UpdateStatic(parent, &hMerge);
  ASSERT_NE(hMerge, 0u);
  EXPECT_EQ(GUI_MEMDEV_GetStaticDevice(parent), 0u);
  EXPECT_EQ(GUI_MEMDEV_GetStaticDevice(child), 0u);
  EXPECT_EQ(GUI_MEMDEV_GetXPos(hMerge), 20);
  EXPECT_EQ(GUI_MEMDEV_GetXSize(hMerge), 60);
  EXPECT_EQ(DevicePixel(hMerge, 22, 23) & 0xFFFFFF, kRed);    // the parent's block
  EXPECT_EQ(DevicePixel(hMerge, 45, 25) & 0xFFFFFF, kGreen);  // the child's line over the parent's space
  EXPECT_EQ(DevicePixel(hMerge, 32, 28) & 0xFFFFFF, kRed);    // the child's block
  EXPECT_EQ(DevicePixel(hMerge, 70, 50), 0xFFFFFFFFu);        // painted by none
  GUI_MEMDEV_Delete(hMerge);
  WM_DeleteWindow(parent);
  EXPECT_TRUE(errors.empty());
}

TEST_F(MemdevStatic, WindowTooLargeForTheHeapIsPaintedDirectly) {
  // 2000 x 1000 pixels of 4 bytes do not fit in the heap.
  WM_HWIN hWin = WM_CreateWindow(100, 60, 2000, 1000, WM_CF_SHOW | WM_CF_STATIC, BlockProc, 0);
  Exec();
  GUI_SetBkColor(kGrey);
  GUI_Clear();
  g_paints = 0;
  errors.clear();
  GUI_MEMDEV_Paint1Static(hWin);
  EXPECT_EQ(GUI_MEMDEV_GetStaticDevice(hWin), 0u);
  EXPECT_GT(g_paints, 0);
  EXPECT_EQ(Raw(102, 63), kRed);
  EXPECT_EQ(Raw(101, 62), kGrey);
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(std::count(errors.begin(), errors.end(),
                       "GUIDEV_StaticDevices:\nNot enough memory to create static memory device in _CreateStaticDevice()!"),
            5);
  EXPECT_EQ(errors.back(), "GUIDEV_StaticDevices:\nCreation of static device failed in GUI_MEMDEV_Paint1Static().");
  WM_DeleteWindow(hWin);
}

// Invalidates its own window while it paints, as a widget that changes its state does.
void SelfInvalidatingProc(WM_MESSAGE* pMsg) {
  if (pMsg->MsgId == WM_MSG_PAINT) WM_InvalidateWindow(pMsg->hWin);
  BlockProc(pMsg);
}

TEST_F(MemdevStatic, InvalidationDropsTheDevicesOfTheWindowAndItsDescendants) {
  WM_HWIN parent = WM_CreateWindow(20, 20, 60, 40, WM_CF_SHOW | WM_CF_STATIC, BlockProc, 0);
  WM_HWIN child = WM_CreateWindowAsChild(10, 5, 20, 20, parent, WM_CF_SHOW, BlockProc, 0);
  WM_HWIN plain = WM_CreateWindow(100, 20, 30, 30, WM_CF_SHOW, BlockProc, 0);
  WM_HWIN self = WM_CreateWindow(150, 20, 30, 30, WM_CF_SHOW | WM_CF_STATIC, SelfInvalidatingProc, 0);
  Exec();
  GUI_MEMDEV_CreateStatic(parent);
  ASSERT_NE(GUI_MEMDEV__CreateStaticDevice(plain), 0u);
  // The device being painted survives its own window's invalidation.
  ASSERT_NE(GUI_MEMDEV__CreateStaticDevice(self), 0u);
  EXPECT_NE(GUI_MEMDEV_GetStaticDevice(self), 0u);

  WM_InvalidateWindow(plain);  // without the static flag the device stays
  EXPECT_NE(GUI_MEMDEV_GetStaticDevice(plain), 0u);
  WM_InvalidateRect(parent, nullptr);
  EXPECT_EQ(GUI_MEMDEV_GetStaticDevice(parent), 0u);
  EXPECT_EQ(GUI_MEMDEV_GetStaticDevice(child), 0u);
  WM_InvalidateWindow(self);
  EXPECT_EQ(GUI_MEMDEV_GetStaticDevice(self), 0u);
  for (WM_HWIN h : {parent, plain, self}) WM_DeleteWindow(h);
  Exec();
  EXPECT_TRUE(errors.empty());
}

}  // namespace
