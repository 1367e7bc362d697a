#include "opui/op_keys.h"

OpKeyState g_opKeys;
uint8_t g_opTouchEditState;
uint8_t g_opTouchEditLine;

namespace {

constexpr uint8_t kTouchEditState = 9;

uint8_t countUp(uint8_t v) { return v < OP_HOLD_MAX ? static_cast<uint8_t>(v + 1) : v; }

}  // namespace

int OP_KeyFunction() {
  OpKeyState& k = g_opKeys;
  if (k.holdFunction) {
    k.holdFunction = countUp(k.holdFunction);
    return k.holdFunction;
  }
  const uint8_t previousExit = k.holdExit;
  k.holdDown = 0;
  k.idleTicks = 0;
  k.enterReleased = k.holdEnter;
  k.exitReleased = k.holdExit;
  k.holdEnter = k.holdUp = k.holdExit = 0;
  k.holdFunction = 1;
  return previousExit;
}

namespace {

// Down and up are mirror images: `own` is the key's counter, `other` the opposite one.
int stepKey(uint8_t& own, uint8_t& other, uint8_t& step) {
  OpKeyState& k = g_opKeys;
  if (own == 0 || k.idleTicks != 0) {
    step = 1;
    k.idleTicks = 0;
    k.functionReleased = k.holdFunction;
    k.enterReleased = k.holdEnter;
    k.exitReleased = k.holdExit;
    k.holdFunction = k.holdEnter = k.holdExit = 0;
    if (other) {
      own = other;
      other = 0;
    }
  }
  own = countUp(own);
  return own;
}

}  // namespace

int OP_KeyDown() { return stepKey(g_opKeys.holdDown, g_opKeys.holdUp, g_opKeys.downStep); }
int OP_KeyUp() { return stepKey(g_opKeys.holdUp, g_opKeys.holdDown, g_opKeys.upStep); }

int OP_KeyEnter() {
  OpKeyState& k = g_opKeys;
  const uint8_t previousExit = k.holdExit;
  if (k.holdEnter) {
    k.holdEnter = countUp(k.holdEnter);
    return k.holdEnter;
  }
  k.enterReleased = 0;
  k.idleTicks = 0;
  k.functionReleased = k.holdFunction;
  k.exitReleased = k.holdExit;
  k.holdFunction = k.holdDown = k.holdUp = k.holdExit = 0;
  k.holdEnter = 1;
  return previousExit;
}

int OP_KeyExit() {
  OpKeyState& k = g_opKeys;
  if (k.holdExit) {
    k.holdExit = countUp(k.holdExit);
    return k.holdExit;
  }
  const uint8_t previousFunction = k.holdFunction;
  k.enterReleased = 0;
  k.idleTicks = 0;
  k.functionReleased = k.holdFunction;
  k.holdFunction = k.holdDown = k.holdUp = 0;
  k.exitReleased = 0;
  k.holdExit = 1;
  return previousFunction;
}

int OP_KeyNone() {
  OpKeyState& k = g_opKeys;
  k.functionReleased = k.holdFunction;
  k.enterReleased = k.holdEnter;
  k.exitReleased = k.holdExit;
  k.holdFunction = k.holdEnter = k.holdExit = 0;
  k.holdDown = k.holdDown > 3 ? static_cast<uint8_t>(k.holdDown - 3) : 0;
  k.holdUp = k.holdUp > 3 ? static_cast<uint8_t>(k.holdUp - 3) : 0;
  if (k.idleTicks < OP_IDLE_MAX) ++k.idleTicks;
  return k.idleTicks;
}

#define N OP_KeyNone
const OpKeyHandler g_opKeyTable[32] = {
    N, OP_KeyFunction, OP_KeyDown, N, OP_KeyUp, N, N, N,   // 0..7
    OP_KeyEnter, N, N, N, N, N, N, N,                      // 8..15
    OP_KeyExit, N, N, N, N, N, N, N,                       // 16..23
    N, N, N, N, N, N, N, N,                                // 24..31
};
#undef N

void OP_DispatchKey(uint32_t code) {
  g_opKeys.upStep = 0;
  g_opKeys.downStep = 0;
  g_opKeys.lastKeyCode = static_cast<uint8_t>(code & 0x1F);
  g_opKeyTable[g_opKeys.lastKeyCode]();
}

int OP_EditTouchKey(int buttonCode) {
  if (g_opTouchEditState != kTouchEditState) return 0;
  g_opTouchEditLine = static_cast<uint8_t>(buttonCode & 0xFF);
  const uint8_t previousExit = g_opKeys.holdExit;
  OP_KeyEnter();
  return previousExit;
}

void OP_ResetPageCounters() {
  OpKeyState& k = g_opKeys;
  const uint8_t up = k.upStep, down = k.downStep, last = k.lastKeyCode;
  k = OpKeyState{};
  k.upStep = up;
  k.downStep = down;
  k.lastKeyCode = last;
}
