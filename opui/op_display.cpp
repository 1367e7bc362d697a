#include "opui/op_display.h"
#include "opui/op_userpage.h"

#include <cstdlib>
#include <cstring>

#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_Font.h"
#include "opui/op_dialogs.h"
#include "opui/op_input.h"
#include "opui/op_links.h"
#include "opui/op_services.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"

OpIndicator g_opIndicators[OP_INDICATORS];
OpMenuRows g_opMenuRows;
OpPageRows g_opPageRows;
OpTextScreen g_opTextScreen;
OpDisplayState g_opDisplay;
OpStatusIcon g_opStatusIcon;
WM_HWIN g_opTouchList;

namespace {

constexpr GUI_COLOR kBlack = 0x000000;
constexpr GUI_COLOR kWhite = 0xFFFFFF;
constexpr GUI_COLOR kRed = 0x0000FF;
constexpr GUI_COLOR kBlue = 0xFF0000;
constexpr GUI_COLOR kGreen = 0x00FF00;
constexpr GUI_COLOR kYellow = 0x00FFFF;
constexpr GUI_COLOR kGrey = 0x808080;
constexpr uint8_t kPictureFlagsUserLogo = 0x60;  // bits 5 and 6: the user logo is used
constexpr uint8_t kPictureFlagsStart = 0x0F;
constexpr uint8_t kPictureFlagsUseStart = 0x04;
constexpr int kTopBarClearX1 = 224, kTopBarClearY1 = 32;
constexpr int kIconX[4] = {96, 128, 160, 192};
constexpr int kKeyTestIconX[5] = {32, 96, 160, 224, 288};
constexpr int kKeyTestIconY = 200;
constexpr uint16_t kStepLogoStart = 61, kStepLogoChecked = 62, kStepLogoDrawn = 63;
constexpr int kTrendX0 = 3, kTrendX1 = 252, kTrendTop = 60, kTrendBottom = 212;

// Pictures of the built-in icons.
enum : uint8_t {
  PIC_NONE = 0,
  PIC_KEY_ACTIVE = 1,   // 1..4: keys 1..4, active
  PIC_KEY_IDLE = 5,     // 5..8: keys 1..4, idle
  PIC_STATUS_LIT = 9,
  PIC_STATUS_DIM = 10,
};
// Per icon code: the picture for state non-zero and for state 0.
struct IconPair {
  uint8_t active, idle;
};
constexpr int kIconCodes = 20;
constexpr IconPair kIconTable[kIconCodes] = {
    {}, {}, {}, {}, {}, {}, {PIC_STATUS_LIT, PIC_STATUS_DIM}, {}, {}, {}, {}, {}, {}, {}, {}, {},
    {PIC_KEY_ACTIVE + 0, PIC_KEY_IDLE + 0}, {PIC_KEY_ACTIVE + 1, PIC_KEY_IDLE + 1},
    {PIC_KEY_ACTIVE + 2, PIC_KEY_IDLE + 2}, {PIC_KEY_ACTIVE + 3, PIC_KEY_IDLE + 3},
};

uint8_t iconPicture(int code, bool active) {
  if (code < 0 || code >= kIconCodes) return PIC_NONE;
  return active ? kIconTable[code].active : kIconTable[code].idle;
}

// --- Row templates of the screen types --------------------------------------------------------
// The menu and list screen: the title in the band, eight item rows below the line at y 58.
constexpr int16_t kMenuRowY0 = 60, kMenuRowHeight = 22;
#define MENU_ITEM(i, last)                                                                     \
  OpRowTemplate {                                                                              \
    &g_opMenuRows.items[i], nullptr, 0, static_cast<int16_t>(kMenuRowY0 + (i) * kMenuRowHeight), \
        320, kMenuRowHeight, nullptr, OP_ROW_TEXT, OP_CC_FOREGROUND, OP_CC_BACKGROUND,         \
        OP_CC_BACKGROUND, OP_CC_FOREGROUND, last                                               \
  }
const OpRowTemplate kMenuScreen[] = {
    {&g_opMenuRows.title, nullptr, 0, 34, 320, 24, nullptr, OP_ROW_TEXT, OP_CC_FOREGROUND,
     OP_CC_TITLE, OP_CC_TITLE, OP_CC_FOREGROUND, 0},
    MENU_ITEM(0, 0), MENU_ITEM(1, 0), MENU_ITEM(2, 0), MENU_ITEM(3, 0),
    MENU_ITEM(4, 0), MENU_ITEM(5, 0), MENU_ITEM(6, 0), MENU_ITEM(7, 1),
};
#undef MENU_ITEM

// --- Rows of the block pages' screens ---
// Text rows, bars and boxes use the foreground on the screen background; highlighted rows
// swap the two. The title sits in the band at y 34..57.
constexpr OpRowTemplate pageText(int i, int x, int y, int w, int h) {
  return {&g_opPageRows.rows[i], nullptr, static_cast<int16_t>(x), static_cast<int16_t>(y),
          static_cast<int16_t>(w), static_cast<int16_t>(h), nullptr, OP_ROW_TEXT, OP_CC_FOREGROUND,
          OP_CC_BACKGROUND, OP_CC_BACKGROUND, OP_CC_FOREGROUND, 0};
}
constexpr OpRowTemplate bandText(OpTextRow* row, int x, int w) {
  return {row, nullptr, static_cast<int16_t>(x), 34, static_cast<int16_t>(w), 24, nullptr, OP_ROW_TEXT,
          OP_CC_FOREGROUND, OP_CC_TITLE, OP_CC_TITLE, OP_CC_FOREGROUND, 0};
}
constexpr OpRowTemplate pageTitle(int w = 320) { return bandText(&g_opPageRows.title, 0, w); }
constexpr OpRowTemplate element(int kind, int bar, int x, int y, int w, int h) {
  return {nullptr, nullptr, static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(w),
          static_cast<int16_t>(h), bar < 0 ? nullptr : &g_opPageRows.bars[bar], static_cast<uint8_t>(kind),
          OP_CC_FOREGROUND, OP_CC_BACKGROUND, OP_CC_BACKGROUND, OP_CC_FOREGROUND, 0};
}
constexpr OpRowTemplate box(int x, int y, int w, int h) { return element(OP_ROW_BOX, -1, x, y, w, h); }
constexpr OpRowTemplate last(OpRowTemplate t) {
  t.end = 1;
  return t;
}

// 1: controller overview: setpoint and process value in two columns, each labelled "W" and "X",
// the setpoint source above the setpoint and the fault text or unit above the process value;
// parameter set, mode and role below them; cascade texts; the output text and its bar with a
// marker strip.
const OpRowTemplate kControllerScreen[] = {
    pageTitle(),
    pageText(4, 0, 60, 160, 22), pageText(5, 160, 60, 160, 22),
    pageText(10, 0, 84, 24, 30), pageText(1, 24, 84, 136, 30),
    pageText(11, 160, 84, 24, 30), pageText(2, 184, 84, 136, 30),
    pageText(0, 0, 116, 60, 22), pageText(3, 60, 116, 100, 22), pageText(6, 160, 116, 160, 22),
    pageText(7, 0, 140, 160, 22), pageText(8, 160, 140, 160, 22),
    pageText(9, 0, 166, 320, 22),
    box(4, 192, 312, 28),
    element(OP_ROW_BAR_FILLED, 0, 6, 194, 308, 24),
    element(OP_ROW_BAR_REST, 0, 6, 194, 308, 24),
    last(element(OP_ROW_MARKER, 1, 6, 222, 308, 8)),
};

// 2: programmer: program name, process value and segment, output and track label, range,
// the three times as label and value, and mode, halt and state in the last line.
const OpRowTemplate kProgrammerScreen[] = {
    pageTitle(),
    pageText(0, 0, 60, 320, 22),
    pageText(1, 0, 82, 160, 22), pageText(2, 160, 82, 160, 22),
    pageText(3, 0, 104, 160, 22), pageText(4, 160, 104, 160, 22),
    pageText(5, 0, 126, 320, 22),
    pageText(6, 0, 148, 160, 22), pageText(7, 160, 148, 160, 22),
    pageText(8, 0, 170, 160, 22), pageText(9, 160, 170, 160, 22),
    pageText(10, 0, 192, 160, 22), pageText(11, 160, 192, 160, 22),
    pageText(12, 0, 214, 107, 22), pageText(13, 107, 214, 106, 22),
    last(pageText(14, 213, 214, 107, 22)),
};

// 3: two vertical bars, each with its label and value above and a limit marker on either side.
#define VERTICAL_BAR(bar, marker, x)                                                  \
  box(x, 108, 60, 126), element(OP_ROW_BAR_FILLED_V, bar, (x) + 2, 110, 56, 122),             \
      element(OP_ROW_BAR_REST_V, bar, (x) + 2, 110, 56, 122),                                 \
      element(OP_ROW_MARKER_V, marker, (x) - 16, 110, 14, 122)
const OpRowTemplate kVerticalBarScreen[] = {
    pageTitle(),
    pageText(0, 0, 60, 160, 22), pageText(1, 0, 82, 160, 22),
    pageText(2, 160, 60, 160, 22), pageText(3, 160, 82, 160, 22),
    VERTICAL_BAR(0, 2, 50), element(OP_ROW_MARKER_V, 3, 112, 110, 14, 122),
    VERTICAL_BAR(1, 4, 210), last(element(OP_ROW_MARKER_V, 5, 272, 110, 14, 122)),
};
#undef VERTICAL_BAR

// 4: two horizontal bars, each under its label and value with a limit-marker strip above and
// below.
#define HORIZONTAL_BAR(bar, marker, y)                                                         \
  element(OP_ROW_MARKER, marker, 6, y, 308, 6), box(4, (y) + 8, 312, 30),                     \
      element(OP_ROW_BAR_FILLED, bar, 6, (y) + 10, 308, 26),                                  \
      element(OP_ROW_BAR_REST, bar, 6, (y) + 10, 308, 26)
const OpRowTemplate kHorizontalBarScreen[] = {
    pageTitle(),
    pageText(0, 0, 60, 160, 22), pageText(1, 160, 60, 160, 22),
    HORIZONTAL_BAR(0, 2, 84), element(OP_ROW_MARKER, 3, 6, 124, 308, 6),
    pageText(2, 0, 134, 160, 22), pageText(3, 160, 134, 160, 22),
    HORIZONTAL_BAR(1, 4, 158), last(element(OP_ROW_MARKER, 5, 6, 198, 308, 6)),
};
#undef HORIZONTAL_BAR

// 5: trend: the value column right of the strip (its first four rows: frame, marker, filled and
// remaining part; the table gives them as plain rows, a redraw of the rows marks them as the
// vertical bar), the frame around the strip, the title with the unit, the axis labels, the
// history symbol, the value field and the zoom symbol.
const OpRowTemplate kTrendScreen[] = {
    element(OP_ROW_TEXT, -1, 296, 62, 22, 150),
    element(OP_ROW_TEXT, 0, 288, 64, 6, 146),
    element(OP_ROW_TEXT, 0, 298, 64, 18, 146),
    element(OP_ROW_TEXT, 0, 298, 64, 18, 146),
    box(2, 59, 252, 155),
    pageTitle(200), bandText(&g_opPageRows.rows[5], 200, 120),
    pageText(3, 256, 62, 32, 22), pageText(6, 256, 126, 32, 22), pageText(4, 256, 188, 32, 22),
    pageText(0, 0, 214, 96, 22), pageText(1, 96, 214, 128, 22), pageText(2, 224, 214, 64, 22),
    last(pageText(7, 288, 214, 32, 22)),
};

// 6: one text of several lines over the whole body below the title.
const OpRowTemplate kMultiLineScreen[] = {
    pageTitle(),
    last(pageText(0, 0, 60, 320, 176)),
};

// 8: value page: the two header fields at the right of the band and six value lines.
const OpRowTemplate kValueScreen[] = {
    pageTitle(260), bandText(&g_opPageRows.rows[0], 260, 30), bandText(&g_opPageRows.rows[7], 290, 30),
    pageText(1, 0, 60, 320, 29), pageText(2, 0, 89, 320, 29), pageText(3, 0, 118, 320, 29),
    pageText(4, 0, 147, 320, 29), pageText(5, 0, 176, 320, 29), last(pageText(6, 0, 205, 320, 29)),
};

// 9: alarm list: eight rows under the title.
const OpRowTemplate kAlarmScreen[] = {
    pageTitle(),
    pageText(0, 0, 60, 320, 22), pageText(1, 0, 82, 320, 22), pageText(2, 0, 104, 320, 22),
    pageText(3, 0, 126, 320, 22), pageText(4, 0, 148, 320, 22), pageText(5, 0, 170, 320, 22),
    pageText(6, 0, 192, 320, 22), last(pageText(7, 0, 214, 320, 22)),
};

// 10: user page: the title; the block's view covers the rest (or the whole screen).
const OpRowTemplate kUserScreen[] = {
    last(pageTitle()),
};

// Set while a display procedure paints: the window manager then clips to the window.
bool g_inPaint;

// The drawing target of a piece of the display for the life of the object: its memory device,
// or, while there is none, the display itself. Outside a paint the display is drawn on without
// the window manager's clipping, which would clip the area away under the windows that cover it.
class Target {
 public:
  explicit Target(GUI_MEMDEV_Handle dev) : previous_(OP_GfxSelectDevice(dev > 0 ? dev : 0)) {
    if (dev < 1 && !g_inPaint) direct_ = OP_GfxDirectBegin();
  }
  ~Target() {
    if (direct_) OP_GfxDirectEnd();
    OP_GfxSelectDevice(previous_);
  }
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;

 private:
  GUI_MEMDEV_Handle previous_;
  bool direct_ = false;
};
void deleteDevice(GUI_MEMDEV_Handle* h) {
  if (*h > 0) OP_GfxDeleteDevice(*h);
  *h = -1;
}

void fill(GUI_COLOR c, int x0, int y0, int x1, int y1) {
  GUI_SetColor(c);
  GUI_FillRect(x0, y0, x1, y1);
}

// --- Built-in pictures ----------------------------------------------------------------------

// The key and status pictures on `background`: the active key is a filled square, the idle
// one an outline, both in a colour that stands out on the background (white and grey on a dark
// top bar, black on a light one); the lit triangle gets an outline where its yellow does not.
void drawPicture(uint8_t pic, GUI_COLOR background, int x, int y) {
  const GUI_COLOR previousColor = GUI_GetColor();
  const GUI_FONT* previousFont = GUI_SetFont(&GUI_FontProp20B);
  const int previousMode = GUI_SetTextMode(GUI_TEXTMODE_TRANS);
  const GUI_COLOR dim = OP_ColorReadableOn(background, kGrey, OP_READABLE_DIM);
  if (pic >= PIC_KEY_ACTIVE && pic < PIC_KEY_IDLE + 4) {
    const bool active = pic < PIC_KEY_IDLE;
    const char digit[2] = {static_cast<char>('1' + (pic - (active ? PIC_KEY_ACTIVE : PIC_KEY_IDLE))), 0};
    if (active) {
      const GUI_COLOR square = OP_ColorReadableOn(background, kWhite);
      fill(square, x + 3, y + 3, x + 28, y + 28);
      GUI_SetColor(OP_ColorReadableOn(square, kBlack));
    } else {
      GUI_SetColor(dim);
      GUI_DrawRect(x + 3, y + 3, x + 28, y + 28);
    }
    GUI_DispStringHCenterAt(digit, x + 16, y + 6);
  } else if (pic == PIC_STATUS_LIT || pic == PIC_STATUS_DIM) {
    static const GUI_POINT triangle[3] = {{16, 3}, {29, 28}, {2, 28}};
    if (pic == PIC_STATUS_LIT) {
      GUI_SetColor(kYellow);
      GUI_FillPolygon(triangle, 3, x, y);
      const GUI_COLOR edge = OP_ColorReadableOn(background, kYellow);
      if (edge != kYellow) {
        GUI_SetColor(edge);
        GUI_DrawPolygon(triangle, 3, x, y);
      }
      GUI_SetColor(kBlack);
    } else {
      GUI_SetColor(dim);
      GUI_DrawPolygon(triangle, 3, x, y);
    }
    GUI_DispStringHCenterAt("!", x + 16, y + 8);
  }
  GUI_SetTextMode(previousMode);
  GUI_SetFont(previousFont);
  GUI_SetColor(previousColor);
}

// A 32 x 32 icon on its background, into the current drawing target (the top bar and the
// test screens draw their icons where the rest of their picture goes).
void drawIconHere(GUI_COLOR background, int x, int y, int icon) {
  fill(background, x, y, x + OP_ICON_SIZE - 1, y + OP_ICON_SIZE - 1);
  if (icon != PIC_NONE) drawPicture(static_cast<uint8_t>(icon), background, x, y);
}

// The built-in logo of the top bar.
void drawBuiltInLogo() {
  const GUI_FONT* previousFont = GUI_SetFont(&GUI_FontProp20B);
  const int previousMode = GUI_SetTextMode(GUI_TEXTMODE_TRANS);
  GUI_SetColor(OP_ColorFromCode(OP_CC_TOPBAR_TEXT));
  GUI_DispStringAt("MX74-2", 6, 6);
  fill(kRed, 6, 27, 89, 28);
  GUI_SetTextMode(previousMode);
  GUI_SetFont(previousFont);
}

// --- User pictures of the top bar -------------------------------------------------------------

uint8_t& pictureFlags() { return OP_LinkImage()[FW_IMG_PICTURE_FLAGS]; }

// A stored picture the decoder rejected: the custom-logo bits go, in RAM and in the EEPROM,
// once; the start-logo bits stay.
void dropUserPictures() {
  uint8_t& flags = pictureFlags();
  flags = static_cast<uint8_t>(flags & ~kPictureFlagsUserLogo);
  FW_QueueEepromWrite(&flags, FW_IMG_PICTURE_FLAGS, 1);
}

bool userLogoWanted() {
  return (pictureFlags() & kPictureFlagsUserLogo) == kPictureFlagsUserLogo && !g_opDisplay.userLogoDropped;
}

// Decodes the user logo into its device (made first when missing); false when rejected.
bool decodeUserLogo() {
  OpDisplayState& d = g_opDisplay;
  if (d.logoDev < 1) d.logoDev = OP_GfxCreateDevice(0, 0, 96, 32);
  ++d.logoDecodes;
  int rc = 1;
  if (OP_USER_LOGO_BYTES <= OP_LinkUiAreaSize()) {
    const Target target(d.logoDev);
    rc = OP_GfxDrawGif(OP_LinkUiArea(), OP_USER_LOGO_BYTES, 0, 0);
  }
  if (rc != 0) {
    d.userLogo = 0;
    d.userLogoDropped = 1;
    deleteDevice(&d.logoDev);
    dropUserPictures();
    return false;
  }
  d.userLogo = 1;
  return true;
}

uint32_t getU16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }

// The user key icons are flagged when their offset table is written (not erased).
bool userIconsFlagged() {
  if (g_opDisplay.userIconsDropped) return false;
  const uint32_t size = OP_LinkUiAreaSize();
  if (OP_ICON_TABLE_OFFSET + 18 > size) return false;
  const uint32_t first = getU16(OP_LinkUiArea() + OP_ICON_TABLE_OFFSET);
  return first != 0 && first != 0xFFFF;
}

// Picture j (0..7) of the user key icons: icon k's normal picture is j = 2k, its active 2k + 1.
// A table whose offsets do not rise inside the area counts as a decoder error.
int drawUserIcon(int j, int x, int y) {
  const uint8_t* area = OP_LinkUiArea();
  const uint32_t size = OP_LinkUiAreaSize();
  const uint8_t* table = area + OP_ICON_TABLE_OFFSET;
  const uint32_t from = getU16(table + 2 * j), to = getU16(table + 2 * j + 2);
  if (from > to || to > size) return 1;
  return OP_GfxDrawGif(area + from, to - from, x, y);
}

bool decodeUserIcons() {
  OpDisplayState& d = g_opDisplay;
  bool ok = true;
  for (int j = 0; j < 8 && ok; ++j) {
    const int x = kIconX[j / 2];
    if (d.iconDev[j] < 1) d.iconDev[j] = OP_GfxCreateDevice(x, 0, OP_ICON_SIZE, OP_ICON_SIZE);
    const Target target(d.iconDev[j]);
    ok = drawUserIcon(j, x, 0) == 0;
  }
  // Rejected icons are dropped for this run; the logo's picture flags are not theirs.
  if (!ok) {
    for (GUI_MEMDEV_Handle& h : d.iconDev) deleteDevice(&h);
    d.userIcons = 0;
    d.userIconsDropped = 1;
    return false;
  }
  d.userIcons = 1;
  return true;
}

void topBarCreate() {
  OpDisplayState& d = g_opDisplay;
  if (d.topBarDev < 1) d.topBarDev = OP_GfxCreateDevice(0, 0, 320, OP_TOPBAR_HEIGHT);
  for (int n = 0; n < 4; ++n) OP_SetIndicator(OP_KEY_INDICATOR_FIRST + n, OP_ICON_KEY1 + n, 1);
  if (userLogoWanted()) decodeUserLogo();
  if (userIconsFlagged()) decodeUserIcons();
}

void topBarDelete() {
  OpDisplayState& d = g_opDisplay;
  deleteDevice(&d.logoDev);
  for (GUI_MEMDEV_Handle& h : d.iconDev) deleteDevice(&h);
  deleteDevice(&d.topBarDev);
}

void topBarPaint() {
  OpDisplayState& d = g_opDisplay;
  const Target target(d.topBarDev);
  fill(OP_ColorFromCode(OP_CC_TOPBAR_BG), 0, 0, kTopBarClearX1, kTopBarClearY1);
  // Logo, blinking while the counter runs: every fifth paint toggles the phase.
  bool drawLogo = true;
  if (d.blinkCounter) {
    --d.blinkCounter;
    if (d.blinkCounter % 5 == 0) d.blinkPhase ^= 1;
    drawLogo = d.blinkCounter == 0 || d.blinkPhase == 0;
    if (d.blinkCounter == 0) d.blinkPhase = 0;
  }
  if (drawLogo) {
    bool shown = false;
    if (userLogoWanted()) {
      if (d.logoDev > 0) {
        OP_GfxWriteDevice(d.logoDev);
        shown = true;
      } else {
        shown = decodeUserLogo();
        if (shown && d.logoDev > 0) OP_GfxWriteDevice(d.logoDev);
      }
    }
    if (!shown) drawBuiltInLogo();
  }
  // Key-function icons.
  if (d.userIcons && !d.userIconsDropped) {
    for (int n = 0; n < 4; ++n) {
      const int j = 2 * n + (g_opIndicators[OP_KEY_INDICATOR_FIRST + n].state ? 1 : 0);
      if (d.iconDev[j] > 0) {
        OP_GfxWriteDevice(d.iconDev[j]);
      } else if (drawUserIcon(j, kIconX[n], 0) != 0) {
        decodeUserIcons();  // drops them for good
        break;
      }
    }
  }
  if (!d.userIcons || d.userIconsDropped) {
    for (int n = 0; n < 4; ++n) {
      const OpIndicator& e = g_opIndicators[OP_KEY_INDICATOR_FIRST + n];
      drawIconHere(OP_ColorFromCode(OP_CC_TOPBAR_BG), kIconX[n], 0, iconPicture(e.code, e.state != 0));
    }
  }
  // Status icon, lit for one paint when the alarm collector asked for it.
  drawIconHere(OP_ColorFromCode(OP_CC_TOPBAR_BG), OP_STATUS_ICON_X, 0,
               iconPicture(OP_ICON_STATUS, g_opStatusIcon.lit != 0));
  g_opStatusIcon.lit = 0;
  if (d.topBarDev > 0) {
    OP_GfxSelectDevice(0);
    OP_GfxWriteDevice(d.topBarDev);
  }
}

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

// --- Text screens ----------------------------------------------------------------------------

GUI_COLOR rowColor(uint8_t code) { return OP_ColorFromCode(code); }

void drawTextLine(const char* s, int n, const uint8_t* colors, const OpRowTemplate& t, int x, int y) {
  // Runs of one colour byte: normal, highlighted or being edited.
  int i = 0;
  while (i < n) {
    const uint8_t c = colors ? colors[i] : uint8_t{OP_ROW_NORMAL};
    int j = i + 1;
    while (j < n && (colors ? colors[j] : uint8_t{OP_ROW_NORMAL}) == c) ++j;
    GUI_COLOR fg = rowColor(t.fg), bg = rowColor(t.bg);
    if (c == OP_ROW_HIGHLIGHT) {
      fg = rowColor(t.fgHi);
      bg = rowColor(t.bgHi);
    } else if (c == OP_ROW_EDIT) {
      fg = kWhite;
      bg = rowColor(OP_CC_STATUS);
    } else if (c == OP_ROW_ALARM) {
      fg = kRed;
    }
    GUI_SetColor(fg);
    GUI_SetBkColor(bg);
    GUI_GotoXY(x, y);
    GUI_DispStringLen(s + i, j - i);
    x = GUI_GetDispPosX();
    i = j;
  }
}

void drawTextRow(const OpPreparedRow& row) {
  const OpRowTemplate& t = *row.tmpl;
  const OpTextRow* src = t.source;
  const char* text = src ? src->text : (t.text ? t.text : "");
  const bool highlighted = src && src->colors[0] == OP_ROW_HIGHLIGHT;
  OP_FillRowRect(t.x, t.y, t.xSize, t.ySize, highlighted, &t);
  const int lineHeight = g_opTextScreen.largeText ? OP_LINE_HEIGHT_LARGE : OP_LINE_HEIGHT;
  int lines = t.ySize / lineHeight;
  if (lines > OP_MAX_ROW_LINES) lines = OP_MAX_ROW_LINES;
  if (lines <= 1 || !std::strchr(text, '\n')) {
    const int n = static_cast<int>(strnlen(text, OP_ROW_CHARS));
    const int y = t.y + (t.ySize - GUI_GetFontDistY()) / 2;
    drawTextLine(text, n, src ? src->colors : nullptr, t, t.x + 4, y);
    return;
  }
  const char* p = text;
  for (int line = 0; line < lines && *p; ++line) {
    const char* e = std::strchr(p, '\n');
    const int n = e ? static_cast<int>(e - p) : static_cast<int>(std::strlen(p));
    drawTextLine(p, n, nullptr, t, t.x + 4, t.y + line * lineHeight);
    p = e ? e + 1 : p + n;
  }
}

// Characters shown in place of a bar whose value is beyond its limits.
constexpr uint16_t kBelowH = 172, kAboveH = 160, kBelowV = 161, kAboveV = 162;

void drawBarRow(const OpPreparedRow& row, int value) {
  const OpRowTemplate& t = *row.tmpl;
  const bool vertical = row.kind >= 10;
  if (value < 0 || value > 1000) {
    GUI_SetColor(rowColor(t.bg));
    GUI_FillRect(t.x, t.y, t.x + t.xSize - 1, t.y + t.ySize - 1);
    GUI_SetColor(rowColor(row.fg));
    GUI_SetBkColor(rowColor(t.bg));
    const uint16_t symbol = vertical ? (value < 0 ? kBelowV : kAboveV) : (value < 0 ? kBelowH : kAboveH);
    GUI_DispCharAt(symbol, t.x, t.y);
    return;
  }
  // The element's whole rectangle in the background, then its laid-out part.
  GUI_SetColor(rowColor(t.bg));
  if (row.kind == OP_ROW_MARKER || row.kind == OP_ROW_MARKER_V) {
    GUI_FillRect(t.x, t.y, t.x + t.xSize - 1, t.y + t.ySize - 1);
  }
  const OpRect r = row.rect;
  if (r.xSize > 0 && r.ySize > 0) {
    GUI_SetColor(rowColor(row.kind == OP_ROW_BAR_REST || row.kind == OP_ROW_BAR_REST_V ? t.bg : row.fg));
    GUI_FillRect(r.x, r.y, r.x + r.xSize - 1, r.y + r.ySize - 1);
  }
}

void drawBox(const OpPreparedRow& row, bool highlighted) {
  const OpRowTemplate& t = *row.tmpl;
  const GUI_COLOR fg = rowColor(highlighted ? t.bg : row.fg), bg = rowColor(highlighted ? row.fg : t.bg);
  GUI_SetColor(bg);
  GUI_FillRect(t.x, t.y, t.x + t.xSize - 1, t.y + t.ySize - 1);
  GUI_SetColor(fg);
  GUI_DrawRect(t.x, t.y, t.x + t.xSize - 1, t.y + t.ySize - 1);
}

// Last drawn bar values of the prepared rows (a bar is redrawn when its value moved).
int g_drawnValue[OP_TEXT_ROWS];

bool isBarKind(uint8_t kind) {
  return kind == OP_ROW_MARKER || kind == OP_ROW_MARKER_V || kind == OP_ROW_BAR_FILLED ||
         kind == OP_ROW_BAR_REST || kind == OP_ROW_BAR_FILLED_V || kind == OP_ROW_BAR_REST_V;
}

void layoutBars() {
  OpTextScreen& s = g_opTextScreen;
  for (int i = 0; i < s.count; ++i) {
    OpPreparedRow& row = s.rows[i];
    const OpRowTemplate& t = *row.tmpl;
    if (t.permille && isBarKind(row.kind)) row.rect = OP_LayoutBar(*t.permille, row.kind, row.rect);
  }
}

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

void OP_DrawIcon(GUI_COLOR background, int x, int y, int icon) {
  const Target target(g_opDisplay.bodyDev);
  drawIconHere(background, x, y, icon);
}

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

namespace {

// Fills the body in the screen's colours: the background, the title band and its line.
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

}  // namespace

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

// --- Text screens ---------------------------------------------------------------------------------

const OpRowTemplate* const g_opScreenTemplates[OP_SCREEN_TYPES + 1] = {
    nullptr,          kControllerScreen, kProgrammerScreen, kVerticalBarScreen, kHorizontalBarScreen,
    kTrendScreen,     kMultiLineScreen,  kMenuScreen,       kValueScreen,       kAlarmScreen,
    kUserScreen,
};

OpRect OP_LayoutBar(int g, int kind, OpRect r) {
  if (r.xSize > r.ySize) {
    const int w = r.xSize;
    const int p = w * g / 1000;
    if (g > 0 && g < 1000 && p > 2 && p < w - 3) {
      if (kind == OP_ROW_MARKER) {
        r.x = static_cast<int16_t>(r.x + p);
        r.xSize = 1;
      } else if (kind == OP_ROW_BAR_FILLED) {
        r.xSize = static_cast<int16_t>(p - 1);
      } else if (kind == OP_ROW_BAR_REST) {
        r.x = static_cast<int16_t>(r.x + p + 2);
        r.xSize = static_cast<int16_t>(w - (p + 2));
      }
    } else if (kind == OP_ROW_MARKER) {
      r.xSize = 0;
    } else if (kind == OP_ROW_BAR_FILLED) {
      if (g < 1000 && p + 3 < w) r.xSize = 0;
    } else if (kind == OP_ROW_BAR_REST) {
      if (g > 0 && p > 2) r.xSize = 0;
    }
    return r;
  }
  const int h = r.ySize;
  const int p = h * g / 1000;
  if (g <= 0 || g >= 1000 || p < 3 || p >= h - 3) {
    if (kind == OP_ROW_MARKER_V) {
      r.ySize = 0;
    } else if (kind == OP_ROW_BAR_FILLED_V) {
      if (g < 1000 && p + 3 < h) r.ySize = 0;
    } else if (kind == OP_ROW_BAR_REST_V) {
      if (!(p < 3 || g <= 0)) r.ySize = 0;
    }
    return r;
  }
  if (kind == OP_ROW_MARKER_V) {
    r.y = static_cast<int16_t>(r.y + h - p - 1);
    r.ySize = 1;
  } else if (kind == OP_ROW_BAR_FILLED_V) {
    r.y = static_cast<int16_t>(r.y + h - p + 1);
    r.ySize = static_cast<int16_t>(p - 1);
  } else if (kind == OP_ROW_BAR_REST_V) {
    r.ySize = static_cast<int16_t>(h - p - 2);
  }
  return r;
}

int OP_TrendStripY(int v, int mode) {
  if (v < 0 && (mode == 0 || mode == 1)) return 211;
  if (v > 1000 && (mode == 0 || mode == 7)) return 61;
  int y;
  if (mode == 0) {
    y = 211 - static_cast<int>(static_cast<float>(v) * 0.15f);
  } else {
    y = (75 * mode - 74) - static_cast<int>(static_cast<float>(v) * 0.6f) + 211;
  }
  if (y < 62) return 60;
  if (y > 211) return 212;
  return y;
}

void OP_DrawTrendStrip() {
  OpTextScreen& s = g_opTextScreen;
  if (!s.trendRing || s.trendRingSize == 0) return;
  static int16_t ys[kTrendX1 - kTrendX0 + 1];
  int n = s.trendCount;
  if (n > s.trendRingSize) n = s.trendRingSize;
  if (n > kTrendX1 - kTrendX0 + 1) n = kTrendX1 - kTrendX0 + 1;
  // Oldest sample first, the newest at the right end.
  for (int i = 0; i < n; ++i) {
    const int index = (s.trendNewest + s.trendRingSize - (n - 1 - i)) % s.trendRingSize;
    ys[i] = static_cast<int16_t>(OP_TrendStripY(s.trendRing[index], s.trendMode));
  }
  fill(g_opDisplay.screenBackground, kTrendX0, 61, kTrendX1, 211);
  GUI_SetColor(OP_ColorFromCode(s.trendColor));
  if (n > 0) GUI_DrawGraph(ys, n, kTrendX1 + 1 - n, 0);
  GUI_SetColor(g_opDisplay.screenBackground);
  GUI_DrawHLine(kTrendTop, kTrendX0, kTrendX1);
  GUI_SetColor(OP_ColorFromCode(OP_CC_FOREGROUND));
  GUI_DrawHLine(kTrendBottom, kTrendX0, kTrendX1);
  s.trendDrawnIndex = s.trendNewest;
}

int OP_ShowTextScreen(int type, int count) {
  OpTextScreen& s = g_opTextScreen;
  s.type = static_cast<uint8_t>(type);
  if (count == 1) s.redrawState = 0;
  int n = count == 0 ? OP_TEXT_ROWS : count;
  if (n > OP_TEXT_ROWS) n = OP_TEXT_ROWS;
  const OpRowTemplate* tmpl = type >= 1 && type <= OP_SCREEN_TYPES ? g_opScreenTemplates[type] : nullptr;
  int prepared = 0;
  while (tmpl && prepared < n) {
    const OpRowTemplate& t = tmpl[prepared];
    s.rows[prepared] = OpPreparedRow{&t, OpRect{t.x, t.y, t.xSize, t.ySize}, t.kind, t.fg};
    ++prepared;
    if (t.end) break;
  }
  s.count = static_cast<uint8_t>(prepared);
  // The trend strip belongs to the trend screen alone.
  if (type != 5) s.trendRing = nullptr;
  if (type == 1 || type == 3 || type == 4) layoutBars();
  if (type == 5 && s.redrawState != 0) {
    // On a redraw of its rows the trend screen shows its value column as a vertical bar and
    // draws the frame around the strip in the screen background.
    for (int i = 0; i < 4 && i < prepared; ++i) s.rows[i].kind = static_cast<uint8_t>(OP_ROW_BOX_V + i);
    if (OP_TREND_FRAME_ROW < prepared) s.rows[OP_TREND_FRAME_ROW].fg = OP_CC_BACKGROUND;
  }
  // The alarm screen has a background of its own (palette slot 10); every other screen the
  // page background of slot 5, also when it follows the alarm screen.
  if (type == 9) {
    g_opDisplay.pageColorIndex = 10;
    g_opDisplay.pageColor = OP_LinkScreenColors()[9];
  } else {
    g_opDisplay.pageColorIndex = 5;
  }
  for (int& v : g_drawnValue) v = -1;
  OP_DrawTextScreen(s.redrawState == 0);
  s.redrawState = count == 1 ? 1 : 2;
  return s.redrawState;
}

void OP_RequestTextScreen() { g_opTextScreen.request = 1; }

void OP_DrawTextScreen(int redrawAll) {
  OpDisplayState& d = g_opDisplay;
  OpTextScreen& s = g_opTextScreen;
  // A page prepared before the firmware set up the display (a project loaded at start) is
  // drawn with the first cycle.
  if (d.rendererBusy || !GUI_IsInitialized()) return;
  d.rendererBusy = 1;
  const Target target(d.bodyDev);
  // The touch list belongs to the menu and list screens; a block page that shows a type-7
  // screen (its parameter lines) has none.
  const bool listScreen = s.type == 7 && g_opPage.current != OP_BlockPageProc;
  if (!listScreen && g_opTouchList) {
    OP_CloseTouchList();
  } else if (listScreen && !g_opTouchList) {
    OP_OpenTouchList();
  }
  if (redrawAll) fillScreenColors();
  if (s.trendRing && s.trendDrawnIndex != s.trendNewest) OP_DrawTrendStrip();
  const GUI_FONT* previousFont = GUI_SetFont(&GUI_FontProp22);
  for (int i = 0; i < s.count; ++i) {
    const OpPreparedRow& row = s.rows[i];
    const OpRowTemplate& t = *row.tmpl;
    if (t.permille && isBarKind(row.kind)) {
      const int v = *t.permille;
      if (!redrawAll && g_drawnValue[i] == v) continue;
      g_drawnValue[i] = v;
      s.rows[i].rect = OP_LayoutBar(v, row.kind, OpRect{t.x, t.y, t.xSize, t.ySize});
      drawBarRow(s.rows[i], v);
      continue;
    }
    OpTextRow* src = t.source;
    const bool multiLine = t.ySize >= 2 * OP_LINE_HEIGHT && row.kind == OP_ROW_TEXT &&
                           std::strchr(src ? src->text : (t.text ? t.text : ""), '\n');
    if (!redrawAll && !(src && src->changed) && !multiLine) continue;
    if (src) src->changed = 0;
    if (s.type == 9 && src) {
      const uint8_t c = src->colors[0];
      if (c >= 1 && c <= 3) d.pageColor = c == 1 ? kRed : c == 2 ? kBlue : kGreen;
    }
    if (row.kind == OP_ROW_BOX || row.kind == OP_ROW_BOX_V) {
      drawBox(row, src && src->colors[0] == OP_ROW_HIGHLIGHT);
    } else {
      drawTextRow(row);
    }
  }
  GUI_SetFont(previousFont);
  d.rendererBusy = 0;
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

// --- Start-up logo and test screens -----------------------------------------------------------

namespace {

// The device of the full-screen window: the firmware's, or one of the operating interface.
GUI_MEMDEV_Handle fullScreenDevice() {
  const GUI_MEMDEV_Handle firmwareDev = OP_LinkFullScreenDevice();
  if (firmwareDev > 0) return firmwareDev;
  OpDisplayState& d = g_opDisplay;
  if (d.fullDev < 1) d.fullDev = OP_GfxCreateDevice(0, 0, LCD_XSIZE, LCD_YSIZE);
  return d.fullDev;
}

// The stored start picture goes into the full-screen device, which then shows.
void drawStartPicture(FwPictureKind kind) {
  uint32_t size = 0;
  const uint8_t* data = OP_LinkStartPicture(&size);
  if (!data) return;
  const Target target(fullScreenDevice());
  if (kind == FW_PICTURE_JPEG) {
    OP_GfxDrawJpeg(data, size, 0, 0);
  } else {
    OP_GfxDrawGif(data, size, 0, 0);
  }
}

void showFullScreen() {
  OP_GfxCopyToLcd(fullScreenDevice());
}

}  // namespace

void OP_ShowStartupLogo() {
  OpDisplayState& d = g_opDisplay;
  FwStartPictureHooks hooks;
  hooks.draw = drawStartPicture;
  hooks.repaint = showFullScreen;
  FW_SetStartPictureHooks(hooks);
  uint8_t& flags = pictureFlags();
  FW_PostStepCode(kStepLogoStart);
  if (!OP_LinkEngineeringLoaded()) {
    d.userPictureFlag = 0;
    if (flags & kPictureFlagsStart) {
      flags = static_cast<uint8_t>(flags & ~kPictureFlagsStart);
      FW_QueueEepromWrite(&flags, FW_IMG_PICTURE_FLAGS, 1);
    }
  } else {
    d.userPictureFlag = 1;
    if (flags & kPictureFlagsUseStart) FW_ShowStartPicture();
  }
  FW_PostStepCode(kStepLogoChecked);
  if (flags & kPictureFlagsStart) return;  // the stored start picture is shown
  {
    const Target target(fullScreenDevice());
    OP_GfxDrawStreamed(g_opStartLogo, g_opStartLogoSize, 0, 0);
  }
  showFullScreen();
  FW_PostStepCode(kStepLogoDrawn);
}

void OP_ShowKeyTest(uint32_t colour, uint32_t textColour, const char* text, int iconNo, int yOffset) {
  const GUI_COLOR bg = colour > 0xFFFFFF ? 0xFFFFFF : colour;
  const GUI_COLOR fg = textColour > 0xFFFFFF ? 0 : textColour;
  GUI_SetBkColor(bg);
  GUI_Clear();
  const GUI_FONT* previousFont = GUI_SetFont(&GUI_FontProp32);
  GUI_SetColor(fg);
  if (text) GUI_DispStringAt(text, 100, 100);
  GUI_SetFont(previousFont);
  const int icon = iconNo >= 0 && iconNo < kIconCodes ? iconNo : OP_ICON_NONE;
  const int dy = yOffset < 0 || yOffset > kKeyTestIconY ? 0 : yOffset;
  drawIconHere(bg, kKeyTestIconX[icon % 5], kKeyTestIconY - dy, iconPicture(icon, true));
}

void OP_ClearDisplayCounters() {
  g_opDisplay.uptime = 0;
  g_opDisplay.uptimeFlag = 0;
}

void OP_ShowTouchPoint(int x, int y) {
  if (x < 0 || x >= LCD_XSIZE) x = LCD_XSIZE - 1;
  if (y < 0 || y >= LCD_YSIZE) y = LCD_YSIZE - 1;
  GUI_SetBkColor(kBlack);
  GUI_Clear();
  GUI_SetColor(kRed);
  GUI_FillCircle(x, y, 30);
}

void OP_ShowNoKey() {
  GUI_SetBkColor(kBlack);
  GUI_Clear();
  GUI_SetColor(kWhite);
  GUI_DrawRect(0, 0, LCD_XSIZE - 1, LCD_YSIZE - 1);
  const GUI_FONT* previousFont = GUI_SetFont(&GUI_FontProp32);
  GUI_SetBkColor(kBlack);
  GUI_DispStringAt("No key", 100, 100);
  GUI_SetFont(previousFont);
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
