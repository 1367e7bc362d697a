#include "opui/op_input.h"

#include "gui/core/GUI_Input.h"
#include "opui/op_display.h"
#include "opui/op_keys.h"
#include "opui/op_links.h"
#include "opui/op_pages.h"
#include "opui/op_pages_prog.h"
#include "opui/op_pages_visual.h"
#include "opui/op_services.h"
#include "opui/op_userpage.h"
#include "runtime/fb_store.h"
#include "runtime/fw_image.h"
#include "runtime/fw_text.h"
#include "simlayer/SIM.h"

OpInputState g_opInput;
OpPageManager g_opPage;
OpPendingAction g_opPending;
OpOverlayState g_opOverlay;

namespace {

constexpr uint16_t kOnline = 2;
constexpr uint8_t kEngBit = 0x02;
// Soft-key marks 0..4 under the keys whose codes are, left to right:
constexpr uint8_t kSoftkeyBits[5] = {1, 16, 2, 4, 8};

GUI_PID_STATE g_lastQueued;
bool g_queuedOnce;

uint8_t isOnline() { return OP_LinkOperatingState() == kOnline ? 1 : 0; }
uint8_t engBit() { return (OP_LinkEngineeringState() & kEngBit) ? 1 : 0; }
uint8_t languageByte() { return OP_LinkImage()[FW_IMG_LANGUAGE]; }

uint16_t countUp(uint16_t v) { return v < 0xFFFF ? static_cast<uint16_t>(v + 1) : v; }

uint16_t blockType(uint16_t block) {
  const uint16_t* inst = block < FB_LIST_SIZE ? g_fbStore.list[block].instance : nullptr;
  return inst ? inst[FB_HDR_TYPE] : 0;
}

// First byte of the block's page record: non-zero when its operating page is switched off.
bool pageSwitchedOff(uint16_t block) {
  if (block >= FB_LIST_SIZE) return false;
  const auto* record = static_cast<const uint8_t*>(g_fbStore.list[block].pageData);
  return record && record[0] != 0;
}

void closeBlockViewOfPage() {
  OpPageManager& pm = g_opPage;
  if (pm.pageId == OP_PAGE_BLOCK && blockType(pm.currentBlock) == OP_BLOCK_VIEW_TYPE) {
    OP_CloseBlockView(pm.currentBlock);
  }
}

void rememberWatched() {
  g_opPage.lastOnline = isOnline();
  g_opPage.lastEngBit = engBit();
  g_opPage.lastLanguage = languageByte();
}

uint16_t publish() {
  const OpPageManager& pm = g_opPage;
  const bool shown = pm.current == OP_BlockPageProc ||
                     (pm.current == OP_MenuPageProc && pm.pageId == OP_PAGE_PUBLISH) ||
                     pm.jumpPending;
  g_opPage.publishedBlock = shown ? pm.currentBlock : 0;
  OpShownPageBlock = pm.current == OP_BlockPageProc ? pm.currentBlock : 0;
  return g_opPage.publishedBlock;
}

}  // namespace

void OP_ReadKeysAndPointer() {
  OpInputState& in = g_opInput;
  const uint32_t key = OP_LinkKeyCode();
  SIM_POINTER_STATE p{};
  if (key == 0) {
    SIM_GetPointerState(&p);
    GUI_PID_STATE pid{};
    pid.x = p.x;
    pid.y = p.y;
    pid.Pressed = p.state == OP_POINTER_PRESSED ? 1 : 0;
    // Only changes reach the pointer input; none while the idle screen is shown.
    if (OpIdleShown) {
    } else if (!g_queuedOnce || pid.x != g_lastQueued.x || pid.y != g_lastQueued.y ||
        pid.Pressed != g_lastQueued.Pressed) {
      OP_LinkQueuePointer(&pid);
      g_lastQueued = pid;
      g_queuedOnce = true;
    }
  } else {
    p.x = in.pointer.x;
    p.y = in.pointer.y;
    p.state = OP_POINTER_KEY;
  }
  in.inputActive = (key != 0 || p.state == OP_POINTER_PRESSED) ? 1 : 0;
  OpTouchPressed = p.state == OP_POINTER_PRESSED ? 1 : 0;
  OpTouchX = static_cast<int16_t>(p.x);
  OpTouchY = static_cast<int16_t>(p.y);
  // While the idle screen is shown, a key or a touch only wakes the display.
  if (g_opOverlay.flag || OpIdleShown) {
    in.keyMask = 0;
    return;
  }
  in.keyMask = key;
  in.pointer = OpPointerCopy{p.x, p.y, p.state, 0};
  if (OP_LinkEngineeringLoaded()) {
    for (int n = 0; n < 5; ++n) OP_MarkSoftkey(n, (key & kSoftkeyBits[n]) ? 1 : 0);
  }
}

int FW_GetTouchZone() {
  const OpPointerCopy& p = g_opInput.pointer;
  // A user view over the whole screen takes the touches of the top bar's place itself.
  if (p.state != OP_POINTER_PRESSED || p.y >= OP_ZONE_HEIGHT || OP_TouchWindowOpen() ||
      OP_UserViewFullScreen()) {
    return OP_ZONE_NONE;
  }
  if (p.x < OP_ZONE_LEFT_END) return OP_ZONE_LEFT;
  if (p.x > OP_ZONE_MIDDLE_START && p.x < OP_ZONE_MIDDLE_START + OP_ZONE_MIDDLE_WIDTH) return OP_ZONE_MIDDLE;
  if (p.x > OP_ZONE_RIGHT_START) return OP_ZONE_RIGHT;
  return OP_ZONE_NONE;
}

void OP_DispatchKeyState() { OP_DispatchKey(g_opInput.keyMask); }

int OP_RequestPageAction(OpPageProc fn) {
  OpPendingAction& a = g_opPending;
  if (a.pending) return fn ? fn() : 0;
  a.fn = fn;
  a.pending = 1;
  return 0;
}

void OP_PollPendingAction() {
  OpPendingAction& a = g_opPending;
  if (!a.pending) return;
  if (a.countdown > 0) {
    if (--a.countdown == 0) a.pending = 0;
    return;
  }
  const OpPageProc fn = a.fn;
  a.fn = nullptr;
  a.countdown = 2;
  if (fn) fn();
}

void OP_ClearPendingAction() { g_opPending = OpPendingAction{}; }

void OP_ResetUi() {
  OP_ClearPendingAction();
  OP_ResetPageCounters();
  OP_ResetBlockPageFlags();
  OP_ResetStopResetPage();
  OpPageManager& pm = g_opPage;
  pm.current = OP_MenuPageProc;
  pm.counter1 = pm.counter2 = 0;
  pm.dialogTimeout = OP_DIALOG_TIMEOUT;
  pm.jumpPending = 0;
  rememberWatched();
  OP_MenuReset();
  OP_CreateDisplayWindows();
}

uint16_t OP_PageManagerCycle() {
  OpPageManager& pm = g_opPage;
  if (!pm.current) OP_ResetUi();

  // 1. A pending page action runs instead of the page procedure.
  if (g_opPending.pending) {
    OP_PollPendingAction();
    return publish();
  }
  // 2. The shown block's page was switched off.
  if (pm.current == OP_BlockPageProc && pageSwitchedOff(pm.currentBlock)) {
    OP_PageLeave();
    OP_PageEnter(1);
    pm.current = OP_MenuPageProc;
  }
  // 3. Cycle counters.
  pm.counter1 = countUp(pm.counter1);
  pm.counter2 = countUp(pm.counter2);
  const uint8_t online = isOnline(), eng = engBit(), language = languageByte();
  if (online && !pm.lastOnline && pm.pageId == OP_PAGE_MAIN_MENU) pm.counter1 = 0;
  // 4. Language, operating state or engineering lock changed.
  if (online != pm.lastOnline || eng != pm.lastEngBit || language != pm.lastLanguage) {
    const bool counts = pm.pageId != OP_PAGE_MAIN_MENU || language != pm.lastLanguage;
    if (counts) {
      closeBlockViewOfPage();
      OP_ResetBlockPageFlags();
  OP_ResetStopResetPage();
      FW_SelectTextLanguage();
      OP_PageEnter(online ? 2 : 0);
      pm.current = OP_MenuPageProc;
    }
    pm.lastOnline = online;
    pm.lastEngBit = eng;
    pm.lastLanguage = language;
  }
  // 5. Keys.
  OP_DispatchKeyState();
  // 6. Home key: three seconds of the exit key.
  if (g_opKeys.holdExit == OP_HOME_HOLD && !OP_TouchWindowOpen()) {
    closeBlockViewOfPage();
    OP_PageEnter(0);
    pm.current = OP_MenuPageProc;
  }
  // 7. Overlays asked to close.
  if (g_opOverlay.flag) OP_CloseOverlays();
  // 8. Touch windows without input close after the timeout.
  if (!g_opInput.inputActive && OP_TouchWindowOpen()) {
    if (pm.dialogTimeout > 0 && --pm.dialogTimeout == 0) OP_CloseOverlays();
  } else {
    pm.dialogTimeout = OP_DIALOG_TIMEOUT;
  }
  // 9. The page procedure.
  if (pm.current() != 0) pm.current = OP_MenuPageProc;
  if (!g_opPending.pending) OP_DrawTextScreen(0);
  // 10. Publish.
  return publish();
}

void OP_RunPageManager(int) { OP_PageManagerCycle(); }

uint16_t OP_GetPublishedBlock() { return g_opPage.publishedBlock; }
