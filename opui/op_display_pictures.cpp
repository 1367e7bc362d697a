// The pictures of the display: the top bar with the built-in or user logo, the key-function
// icons and the status icon; the start-up logo and the test screens of the start-up sequence.
#include "opui/op_display.h"

#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_Font.h"
#include "opui/op_display_internal.h"
#include "opui/op_links.h"
#include "opui/op_services.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"

using namespace opdisplay;

namespace {

constexpr uint8_t kPictureFlagsUserLogo = 0x60;  // bits 5 and 6: the user logo is used
constexpr uint8_t kPictureFlagsStart = 0x0F;
constexpr uint8_t kPictureFlagsUseStart = 0x04;
constexpr int kTopBarClearX1 = 224, kTopBarClearY1 = 32;
constexpr int kIconX[4] = {96, 128, 160, 192};
constexpr int kKeyTestIconX[5] = {32, 96, 160, 224, 288};
constexpr int kKeyTestIconY = 200;
constexpr uint16_t kStepLogoStart = 61, kStepLogoChecked = 62, kStepLogoDrawn = 63;

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

}  // namespace

// --- Top bar -------------------------------------------------------------------------------------

namespace opdisplay {

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

}  // namespace opdisplay

void OP_DrawIcon(GUI_COLOR background, int x, int y, int icon) {
  const Target target(g_opDisplay.bodyDev);
  drawIconHere(background, x, y, icon);
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
