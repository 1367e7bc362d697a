// Deterministic pseudo-random numbers and the window operations that the randomised window
// manager tests share.
#pragma once

#include <cstdint>

#include "gui/WM.h"

struct WmRandom {
  uint32_t seed;
  int operator()(int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<uint32_t>(n));
  }
};

// Number of kinds WmRandomTreeOp knows.
constexpr int kWmRandomTreeOps = 6;

// Deletes, moves, resizes, hides or shows, raises or lowers, or changes the stay-on-top
// state of a window.
inline void WmRandomTreeOp(WmRandom& rnd, WM_HWIN hWin, int kind) {
  switch (kind) {
    case 0:
      WM_DeleteWindow(hWin);
      break;
    case 1:
      WM_MoveWindow(hWin, rnd(61) - 30, rnd(61) - 30);
      break;
    case 2:
      WM_ResizeWindow(hWin, rnd(41) - 20, rnd(41) - 20);
      break;
    case 3:
      (rnd(2) ? WM_HideWindow : WM_ShowWindow)(hWin);
      break;
    case 4:
      (rnd(2) ? WM_BringToTop : WM_BringToBottom)(hWin);
      break;
    default:
      WM_SetStayOnTop(hWin, rnd(2));
      break;
  }
}
