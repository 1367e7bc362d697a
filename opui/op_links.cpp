#include "opui/op_links.h"

#include <cstring>

#include "gui/core/GUI_Input.h"
#include "gui/draw/GUI_Draw.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_main.h"
#include "runtime/fw_sysimage.h"

OpFirmwareStandIn g_opStandIn;

// The firmware's start-up, main cycle and hardware adapter are linked into the program; the
// operating interface alone (its tests) runs without them and reads the stand-in record.
// Weak references pull nothing in and stay null when the firmware is not linked.
uint8_t FW_GetKeyCode() __attribute__((weak));
extern FwMainState g_fwMain __attribute__((weak));

namespace {

uint32_t getU16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }
uint32_t getU32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

// --- Firmware state ----------------------------------------------------------------------

uint8_t OP_LinkKeyCode() { return FW_GetKeyCode ? FW_GetKeyCode() : g_opStandIn.keyCode; }
uint16_t OP_LinkOperatingState() { return &g_fwMain ? g_fwMain.pageState : g_opStandIn.operatingState; }
uint8_t OP_LinkEngineeringState() { return OP_LinkImage()[FW_SYS_FLAGS38]; }
uint8_t* OP_LinkImage() { return g_fwImage; }
bool OP_LinkEngineeringLoaded() { return std::memcmp(OP_LinkImage(), FW_IMAGE_TAG, 4) == 0; }
const GUI_COLOR* OP_LinkScreenColors() {
  return &g_fwMain ? g_fwMain.screenColors : g_opStandIn.screenColors;
}
void OP_LinkClock(int* hours, int* minutes) {
  *hours = g_fwClock.now.hour;
  *minutes = g_fwClock.now.minute;
}
uint8_t OP_LinkClockSet() { return g_fwClock.wasSet ? 1 : 0; }
uint16_t OP_LinkDisplayState() { return g_opStandIn.displayState; }
uint8_t OP_LinkServiceState() { return g_opStandIn.serviceState; }
namespace {
const uint8_t* g_startPicture;
uint32_t g_startPictureSize;
}  // namespace

void OP_SetStartPicture(const uint8_t* data, uint32_t size) {
  g_startPicture = data;
  g_startPictureSize = data ? size : 0;
}
const uint8_t* OP_LinkStartPicture(uint32_t* size) {
  *size = g_startPictureSize;
  return g_startPicture;
}

const uint8_t* OP_LinkUiArea() { return g_fwInternalEeprom + FW_IEE_PICTURE; }
uint32_t OP_LinkUiAreaSize() { return FW_IEE_TAG - FW_IEE_PICTURE; }

// --- Graphics library parts ---------------------------------------------------------------

GUI_MEMDEV_Handle OP_GfxCreateDevice(int, int, int, int) { return 0; }
void OP_GfxDeleteDevice(GUI_MEMDEV_Handle) {}
GUI_MEMDEV_Handle OP_GfxSelectDevice(GUI_MEMDEV_Handle) { return 0; }
void OP_GfxCopyToLcd(GUI_MEMDEV_Handle) {}
namespace {
WM_HWIN g_directPrevious;
}  // namespace
bool OP_GfxDirectBegin() {
  // The desktop: screen coordinates over the whole display.
  g_directPrevious = WM_SelectWindow(WM_GetDesktopWindow());
  WM_Deactivate();
  return true;
}
void OP_GfxDirectEnd() {
  WM_Activate();
  WM_SelectWindow(g_directPrevious);
}
void OP_GfxWriteDevice(GUI_MEMDEV_Handle) {}

int OP_GfxDrawGif(const uint8_t* data, uint32_t size, int, int) {
  // Header "GIF87a" or "GIF89a" and a logical screen of at least one pixel.
  if (!data || size < 13) return 1;
  if (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0) return 1;
  if (getU16(data + 6) == 0 || getU16(data + 8) == 0) return 1;
  return 0;
}

int OP_GfxDrawJpeg(const uint8_t*, uint32_t, int, int) { return 1; }

int OP_GfxDrawStreamed(const uint8_t* data, uint32_t size, int x0, int y0) {
  if (!data || size < 16) return 1;
  const uint32_t format = getU16(data + 2);
  const int xSize = static_cast<int>(getU16(data + 4));
  const int ySize = static_cast<int>(getU16(data + 6));
  const uint32_t numColors = getU16(data + 12);
  if (format != 7 || xSize == 0 || ySize == 0 || numColors == 0 || numColors > 256) return 1;
  const uint32_t paletteEnd = 16 + 4 * numColors;
  if (paletteEnd > size) return 1;
  const uint8_t* palette = data + 16;
  const uint8_t* p = data + paletteEnd;
  const uint8_t* end = data + size;
  const GUI_COLOR previous = GUI_GetColor();
  int x = 0, y = 0;
  // Draws n pixels of one colour from the current position, continuing on the next line.
  auto run = [&](uint32_t index, int n) {
    GUI_SetColor(getU32(palette + 4 * (index < numColors ? index : 0)));
    while (n > 0 && y < ySize) {
      const int len = n < xSize - x ? n : xSize - x;
      GUI_DrawHLine(y0 + y, x0 + x, x0 + x + len - 1);
      n -= len;
      x += len;
      if (x == xSize) {
        x = 0;
        ++y;
      }
    }
  };
  while (y < ySize && p < end) {
    const uint8_t c = *p++;
    if (c) {
      if (p >= end) break;
      run(*p++, c);
    } else {
      if (p >= end) break;
      const uint8_t n = *p++;
      for (uint8_t i = 0; i < n && p < end; ++i) run(*p++, 1);
    }
  }
  GUI_SetColor(previous);
  return y < ySize ? 1 : 0;
}

WM_HWIN OP_WinCreate(int x0, int y0, int xSize, int ySize, WM_CALLBACK* cb) {
  return WM_CreateWindowAsChild(x0, y0, xSize, ySize, 0, WM_CF_SHOW, cb, 0);
}
bool OP_WinExists(WM_HWIN h) { return h > 0 && WM_IsWindow(h); }
void OP_WinInvalidate(WM_HWIN h) {
  if (h > 0) WM_InvalidateWindow(h);
}
void OP_WinDefaultProc(WM_MESSAGE* msg) { WM_DefaultProc(msg); }
void OP_GfxExec() {
  WM_Activate();
  GUI_Exec();
}
void OP_LinkQueuePointer(const GUI_PID_STATE* state) { GUI_PID_QueueState(state); }
