#include "opui/op_display.h"
#include "opui/op_userpage.h"

#include <cstdlib>
#include <cstring>

#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_Font.h"
#include "opui/op_dialogs.h"
#include "opui/op_display_internal.h"
#include "opui/op_input.h"
#include "opui/op_links.h"
#include "opui/op_services.h"
#include "runtime/fw_eeprom.h"

OpIndicator g_opIndicators[OP_INDICATORS];
OpDisplayState g_opDisplay;
OpStatusIcon g_opStatusIcon;
WM_HWIN g_opTouchList;

bool opdisplay::g_inPaint;

using namespace opdisplay;

namespace {

// Device procedures of the body and the full-screen window.
void deviceProc(WM_MESSAGE* msg, GUI_MEMDEV_Handle* dev, int y0, int ySize) {
  switch (msg->MsgId) {
    case OP_MSG_CREATE:
      if (*dev < 1) *dev = OP_GfxCreateDevice(0, y0, 320, ySize);
      break;
    case OP_MSG_DELETE:
      deleteDevice(dev);
      break;
    case OP_MSG_PAINT:
      if (*dev < 1) *dev = OP_GfxCreateDevice(0, y0, 320, ySize);
      if (*dev > 0) OP_GfxWriteDevice(*dev);
      break;
    default:
      OP_WinDefaultProc(msg);
      break;
  }
}

void sendDirect(WM_CALLBACK* cb, int msgId) {
  WM_MESSAGE msg{};
  msg.MsgId = msgId;
  cb(&msg);
}

// Without the window manager the display update runs the procedures itself.
bool g_directCreated;

}  // namespace

// --- Colour codes -----------------------------------------------------------------------------

// Brightness of a colour (0x00BBGGRR), 0..255.
static int brightness(GUI_COLOR c) {
  return static_cast<int>((299 * (c & 0xFF) + 587 * ((c >> 8) & 0xFF) + 114 * ((c >> 16) & 0xFF)) / 1000);
}

GUI_COLOR OP_ColorReadableOn(GUI_COLOR background, GUI_COLOR preferred, int least) {
  const int b = brightness(background);
  if (std::abs(brightness(preferred) - b) >= least) return preferred;
  return b >= 128 ? kBlack : kWhite;
}

GUI_COLOR OP_ColorFromCode(int code) {
  const GUI_COLOR* palette = OP_LinkScreenColors();
  switch (code) {
    case OP_CC_BLACK:
      return kBlack;
    case OP_CC_WHITE:
      return kWhite;
    case OP_CC_SCREEN:
      return g_opDisplay.screenBackground;
    case OP_CC_STATUS:
      return g_opDisplay.statusColor;
    default:
      break;
  }
  if ((code >= 246 && code <= 250) || (code >= 252 && code <= 255)) return palette[code - 246];
  return palette[5];
}

// --- Indicators ---------------------------------------------------------------------------------

void OP_SetIndicator(int n, int code, int on) {
  if (n < 0 || n >= OP_INDICATORS) return;
  g_opIndicators[n].code = static_cast<uint16_t>(code);
  g_opIndicators[n].state = on;
}

void OP_InitKeyMap() {
  for (int n = 0; n < 2; ++n) OP_SetIndicator(OP_KEY_ASSIGN_FIRST + n, OP_ICON_NONE, 0);
  for (int n = 0; n < 4; ++n) OP_SetIndicator(OP_KEY_INDICATOR_FIRST + n, OP_ICON_KEY1 + n, 0);
}

void OP_EnableKeyMap() {
  for (int n = 0; n < 4; ++n) OP_SetIndicator(OP_KEY_INDICATOR_FIRST + n, OP_ICON_KEY1 + n, 1);
}

// --- Windows and their procedures ---------------------------------------------------------------

void OP_CreateDisplayWindows() {
  OpDisplayState& d = g_opDisplay;
  if (!OP_WinExists(d.topBar)) d.topBar = OP_WinCreate(0, 0, 320, OP_TOPBAR_HEIGHT, OP_TopBarProc);
  if (!OP_WinExists(d.body)) d.body = OP_WinCreate(0, OP_BODY_Y, 320, OP_BODY_HEIGHT, OP_BodyProc);
  d.rendererBusy = 0;
}

void OP_ShowPageWindows(int show) {
  const OpDisplayState& d = g_opDisplay;
  for (WM_HWIN h : {d.topBar, d.body}) {
    if (!OP_WinExists(h)) continue;
    if (show) {
      WM_ShowWindow(h);
    } else {
      WM_HideWindow(h);
    }
  }
}

void OP_TopBarProc(WM_MESSAGE* msg) {
  switch (msg->MsgId) {
    case OP_MSG_CREATE:
      topBarCreate();
      break;
    case OP_MSG_DELETE:
      topBarDelete();
      break;
    case OP_MSG_PAINT:
      g_inPaint = true;
      topBarPaint();
      g_inPaint = false;
      break;
    default:
      OP_WinDefaultProc(msg);
      break;
  }
}

void OP_BodyProc(WM_MESSAGE* msg) { deviceProc(msg, &g_opDisplay.bodyDev, OP_BODY_Y, OP_BODY_HEIGHT); }
void OP_FullScreenProc(WM_MESSAGE* msg) {
  // The firmware's start-up draws its full screens into a device of its own; while it has one,
  // that is the device this window shows (and it stays the firmware's).
  GUI_MEMDEV_Handle firmwareDev = OP_LinkFullScreenDevice();
  if (firmwareDev > 0) {
    if (msg->MsgId == OP_MSG_PAINT) {
      OP_GfxWriteDevice(firmwareDev);
    } else if (msg->MsgId != OP_MSG_CREATE && msg->MsgId != OP_MSG_DELETE) {
      OP_WinDefaultProc(msg);
    }
    return;
  }
  deviceProc(msg, &g_opDisplay.fullDev, 0, LCD_YSIZE);
}

void OP_ResetDisplay() {
  g_opDisplay = OpDisplayState{};
  g_opDisplay.topBarDev = g_opDisplay.bodyDev = g_opDisplay.fullDev = g_opDisplay.logoDev = -1;
  for (GUI_MEMDEV_Handle& h : g_opDisplay.iconDev) h = -1;
  g_opDisplay.pageColorIndex = 5;
  g_opTextScreen = OpTextScreen{};
  g_opMenuRows = OpMenuRows{};
  g_opPageRows = OpPageRows{};
  g_opStatusIcon = OpStatusIcon{};
  g_opTouchList = 0;
  std::memset(g_opIndicators, 0, sizeof g_opIndicators);
  g_directCreated = false;
  OP_ForgetTouchDialogs();
  OP_ForgetDisplayList();
}

// --- Drawing helpers ------------------------------------------------------------------------------

void OP_FillRowRect(int x, int y, int xSize, int ySize, int highlighted, const OpRowTemplate* row) {
  GUI_SetColor(OP_ColorFromCode(highlighted ? row->bgHi : row->bg));
  GUI_FillRect(x, y, x + xSize - 1, y + ySize - 1);
}

void OP_MarkSoftkey(int n, int on) {
  if (n < 0 || n > 4) return;
  const Target target(g_opDisplay.bodyDev);
  const GUI_COLOR c = on ? static_cast<GUI_COLOR>(OP_SOFTKEY_COLOR) : g_opDisplay.screenBackground;
  fill(c, n * 58 + 30, 238, n * 58 + 87, 239);
}

namespace opdisplay {

void fillScreenColors() {
  OpDisplayState& d = g_opDisplay;
  const GUI_COLOR* palette = OP_LinkScreenColors();
  const int slot = d.pageColorIndex >= 1 && d.pageColorIndex <= 10 ? d.pageColorIndex : 5;
  d.screenBackground = g_opTextScreen.type == 9 ? d.pageColor : palette[slot - 1];
  {
    const Target target(d.bodyDev);
    fill(d.screenBackground, 0, OP_BODY_Y, 319, LCD_YSIZE - 1);
    fill(OP_ColorFromCode(OP_CC_TITLE), 0, OP_TITLE_Y0, 319, OP_TITLE_Y1);
    GUI_SetColor(OP_ColorFromCode(OP_CC_FOREGROUND));
    GUI_DrawHLine(OP_TITLE_LINE_Y, 0, 320);
  }
  if (g_opTouchList) OP_TouchListColors();
  if (d.bodyDev > 0) OP_GfxCopyToLcd(d.bodyDev);
}

}  // namespace opdisplay

// New colours cover the rows drawn on the body (the title among them): the text screen is
// drawn whole again with the next display update.
void OP_ApplyScreenColors() {
  fillScreenColors();
  g_opTextScreen.redrawState = 0;
  g_opTextScreen.request = 1;
}

void OP_ClearTopBar() {
  OpDisplayState& d = g_opDisplay;
  {
    const Target target(d.topBarDev);
    fill(OP_ColorFromCode(OP_CC_TOPBAR_BG), 0, 0, 319, OP_TOPBAR_HEIGHT - 1);
  }
  if (OP_WinExists(d.topBar)) {
    OP_WinInvalidate(d.topBar);
  } else {
    topBarPaint();
  }
}

void OP_RedrawDisplay() {
  OP_ClearTopBar();
  fillScreenColors();
  g_opTextScreen.redrawState = 0;
  OP_ShowTextScreen(g_opTextScreen.type, 0);
}

// --- Per-cycle update ---------------------------------------------------------------------------

void OP_UpdateDisplay() {
  OpDisplayState& d = g_opDisplay;
  OpTextScreen& s = g_opTextScreen;
  if (s.request) {
    s.request = 0;
    OP_ShowTextScreen(s.type, 0);
  }
  // Clock field.
  {
    char text[8];
    const bool blank = (OP_LinkDisplayState() > 3 || (d.uptimeFlag && OP_LinkClockSet() != 1)) &&
                       OP_LinkServiceState() != 1;
    if (blank) {
      std::memcpy(text, "     ", 6);
    } else {
      int h = 0, m = 0;
      OP_LinkClock(&h, &m);
      h = h < 0 ? 0 : h > 99 ? 99 : h;
      m = m < 0 ? 0 : m > 99 ? 99 : m;
      text[0] = static_cast<char>('0' + h / 10);
      text[1] = static_cast<char>('0' + h % 10);
      text[2] = ':';
      text[3] = static_cast<char>('0' + m / 10);
      text[4] = static_cast<char>('0' + m % 10);
      text[5] = 0;
    }
    const Target target(d.topBarDev);
    const GUI_FONT* previousFont = GUI_SetFont(&GUI_FontProp22);
    fill(OP_ColorFromCode(OP_CC_TOPBAR_BG), OP_CLOCK_X, 0, OP_STATUS_ICON_X - 1, OP_TOPBAR_HEIGHT - 1);
    GUI_SetColor(OP_ColorFromCode(OP_CC_TOPBAR_TEXT));
    GUI_SetBkColor(OP_ColorFromCode(OP_CC_TOPBAR_BG));
    GUI_DispStringAt(text, OP_CLOCK_X + 4, OP_CLOCK_Y);
    GUI_SetFont(previousFont);
  }
  // Uptime.
  if (d.uptime > OP_UPTIME_LIMIT) {
    d.uptimeFlag = 1;
  } else {
    ++d.uptime;
  }
  // Redraw of the two page windows.
  d.heapFree = GUI_ALLOC_GetNumFreeBytes();
  d.heapUsedBlocks = static_cast<uint32_t>(GUI_ALLOC_GetNumUsedBlocks());
  d.heapPeak = GUI_ALLOC_GetMaxUsedBytes();
  if (OP_WinExists(d.topBar) || OP_WinExists(d.body)) {
    OP_WinInvalidate(d.topBar);
    OP_WinInvalidate(d.body);
    if (g_opTouchList && g_opOverlay.nesting) OP_RepaintTouchDialogs();
    OP_GfxExec();
    return;
  }
  if (!g_directCreated) {
    g_directCreated = true;
    sendDirect(OP_TopBarProc, OP_MSG_CREATE);
    sendDirect(OP_BodyProc, OP_MSG_CREATE);
  }
  sendDirect(OP_TopBarProc, OP_MSG_PAINT);
  sendDirect(OP_BodyProc, OP_MSG_PAINT);
}

void OP_ClearDisplayCounters() {
  g_opDisplay.uptime = 0;
  g_opDisplay.uptimeFlag = 0;
}

void OP_QueueUiAreaWrite() {
  FW_QueueInternalEepromWrite(g_fwInternalEeprom + FW_IEE_PALETTES, FW_IEE_PALETTES, FW_IEE_PALETTE_BYTES);
}

void OP_OpenTouchList() {
  OP_CloseTouchList();
  g_opTouchList = FW_OpenTouchDialog();
  // The list is the menu screen's base: the touch dialogs open over it, also those opened
  // before the list was made anew.
  if (g_opTouchList) WM_BringToBottom(g_opTouchList);
}
