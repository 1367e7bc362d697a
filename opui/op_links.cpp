#include "opui/op_links.h"

#include <cstring>

#include "base/link_hooks.h"
#include "gui/bitmap/GUI_Bitmap.h"
#include "gui/core/GUI_Input.h"
#include "gui/memdev/GUI_Memdev.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_login.h"
#include "runtime/fw_main_state.h"
#include "runtime/fw_sysimage.h"

OpDeviceState g_opDeviceState;

namespace {
LinkHooks<OpLinkHooks> g_links;
const FwMainState* Main() { return g_links.get(&OpLinkHooks::main); }
}  // namespace

void OP_InstallLinks(const OpLinkHooks& hooks) { g_links.install(hooks); }

bool OP_LinksStandInUsed() { return g_links.standInUsed(); }

// --- Firmware state ----------------------------------------------------------------------

uint8_t OP_LinkKeyCode() {
  auto keyCode = g_links.get(&OpLinkHooks::keyCode);
  return keyCode ? keyCode() : g_opDeviceState.keyCode;
}
uint16_t OP_LinkOperatingState() {
  const FwMainState* main = Main();
  return main ? main->pageState : g_opDeviceState.operatingState;
}
uint8_t OP_LinkEngineeringState() { return OP_LinkImage()[FW_SYS_FLAGS38]; }
uint8_t* OP_LinkImage() { return g_fwImage; }
bool OP_LinkEngineeringLoaded() { return std::memcmp(OP_LinkImage(), FW_IMAGE_TAG, 4) == 0; }
const GUI_COLOR* OP_LinkScreenColors() {
  const FwMainState* main = Main();
  return main ? main->screenColors : g_opDeviceState.screenColors;
}
GUI_MEMDEV_Handle OP_LinkFullScreenDevice() {
  const FwMainState* main = Main();
  return main ? main->memdev[0] : 0;
}
void OP_LinkClock(int* hours, int* minutes) {
  *hours = g_fwClock.now.hour;
  *minutes = g_fwClock.now.minute;
}
uint8_t OP_LinkClockSet() { return g_fwClock.wasSet ? 1 : 0; }
// The display state is the main cycle's run state (above 3 while it starts up, settles or
// loads pictures); the service state is the device without engineering.
uint16_t OP_LinkDisplayState() {
  const FwMainState* main = Main();
  return main ? main->runState : g_opDeviceState.displayState;
}
uint8_t OP_LinkServiceState() {
  const FwMainState* main = Main();
  return main ? (main->deviceMode == FW_DEVICE_SERVICE ? 1 : 0) : g_opDeviceState.serviceState;
}

uint8_t OP_LinkCommOption() { return OP_LinkImage()[FW_SYS_ORDER_DIGITS + 2]; }
bool OP_LinkEngineeringLocked() {
  constexpr uint8_t kWriteLock = 0x10;
  return g_fwLogin.access == FW_ACCESS_LOCKED || (OP_LinkEngineeringState() & kWriteLock) != 0;
}
bool OP_LinkConfigTransfer() { return g_opDeviceState.configTransfer != 0; }
bool OP_LinkLoadRunning() { return g_opDeviceState.loadRunning != 0; }
bool OP_LinkSdCardPresent() { return g_opDeviceState.sdCard != 0; }
bool OP_LinkUsbStickPresent() { return g_opDeviceState.usbStick != 0; }
bool OP_LinkUsbLogoFile() { return g_opDeviceState.usbLogoFile != 0; }
bool OP_LinkUsbUpdateFile() { return g_opDeviceState.usbUpdateFile != 0; }
bool OP_LinkCustomLogoPresent() { return g_opDeviceState.customLogo != 0; }
bool OP_LinkPictureLock() { return g_opDeviceState.pictureLock != 0; }
uint8_t OP_LinkSlotModule(int slot) { return OP_LinkSlot(slot).moduleType; }
const OpSlotRecord& OP_LinkSlot(int slot) {
  static const OpSlotRecord kUnused{};
  if (slot < 0 || slot >= OP_SLOTS) return kUnused;
  auto record = g_links.get(&OpLinkHooks::slot);
  return record ? record(slot) : g_opDeviceState.slots[slot];
}
uint8_t OP_LinkStartStatus() { return g_opDeviceState.startStatus; }
uint8_t OP_LinkAccessLock(int n) { return n >= 0 && n < 2 ? g_opDeviceState.accessLock[n] : 0; }
void OP_LinkOpenBlockView(uint16_t block) { g_opDeviceState.viewOpened = block; }

OpDeviceData OP_LinkDeviceData() {
  OpDeviceData d = g_opDeviceState.device;
  const uint8_t* img = OP_LinkImage();
  for (int i = 0; i < 4; ++i) d.serial[i] = FW_GetU16(img + FW_IMG_SERIAL + 2 * i);
  return d;
}
const char* OP_LinkProjectName() { return g_opDeviceState.projectName; }
OpEthernetData& OP_LinkEthernet() { return g_opDeviceState.ethernet; }
void OP_LinkSetAddressByte(int address, int byte, uint8_t value) {
  if (address < 0 || address >= OP_ADDRESSES || byte < 0 || byte > 3) return;
  g_opDeviceState.ethernet.address[address][byte] = value;
}
uint8_t OP_LinkProfibusStatus() { return g_opDeviceState.profibusStatus; }
uint8_t OP_LinkProfinetState() { return g_opDeviceState.profinetState; }
OpSdFile* OP_LinkSdFiles() { return g_opDeviceState.sdFiles; }

const ComCanNodeTable& OP_LinkCanNodeTable() {
  static const ComCanNodeTable kEmpty{};
  auto table = g_links.get(&OpLinkHooks::canNodeTable);
  return table ? table() : kEmpty;
}
void OP_LinkBusSetAddress(uint16_t node) {
  if (auto setAddress = g_links.get(&OpLinkHooks::busSetAddress)) setAddress(node);
}

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
bool OP_LinkStartLogoPresent() { return g_opDeviceState.startLogo != 0 || g_startPictureSize > 0; }

const FwPicture* OP_LinkUserPictures(uint32_t* count) {
  if (const FwMainState* main = Main()) {
    *count = main->pictureCount < FW_PICTURE_TABLE_SIZE ? main->pictureCount : FW_PICTURE_TABLE_SIZE;
    return main->pictures;
  }
  *count = g_opDeviceState.pictures ? g_opDeviceState.pictureCount : 0;
  return g_opDeviceState.pictures;
}

const uint8_t* OP_LinkUiArea() { return g_fwInternalEeprom + FW_IEE_PICTURE; }
uint32_t OP_LinkUiAreaSize() { return FW_IEE_TAG - FW_IEE_PICTURE; }

// --- Graphics library parts ---------------------------------------------------------------

GUI_MEMDEV_Handle OP_GfxCreateDevice(int x0, int y0, int xSize, int ySize) {
  return GUI_MEMDEV_Create(x0, y0, xSize, ySize);
}
void OP_GfxDeleteDevice(GUI_MEMDEV_Handle h) {
  if (h > 0) GUI_MEMDEV_Delete(h);
}
GUI_MEMDEV_Handle OP_GfxSelectDevice(GUI_MEMDEV_Handle h) { return GUI_MEMDEV_Select(h > 0 ? h : 0); }
void OP_GfxCopyToLcd(GUI_MEMDEV_Handle h) {
  if (h > 0) GUI_MEMDEV_CopyToLCD(h);
}
void OP_GfxWriteDevice(GUI_MEMDEV_Handle h) {
  if (h > 0) GUI_MEMDEV_Write(h);
}
void OP_GfxWriteDeviceAt(GUI_MEMDEV_Handle h, int x, int y) {
  if (h > 0) GUI_MEMDEV_WriteAt(h, x, y);
}

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

int OP_GfxDrawGif(const uint8_t* data, uint32_t size, int x, int y) {
  return data ? GUI_GIF_Draw(data, size, x, y) : 1;
}
int OP_GfxDrawJpeg(const uint8_t* data, uint32_t size, int x, int y) {
  if (!data || size > 0x7FFFFFFFu) return 1;
  return GUI_JPEG_Draw(data, static_cast<int>(size), x, y);
}
int OP_GfxDrawStreamed(const uint8_t* data, uint32_t size, int x, int y) {
  return data ? GUI_DrawStreamedBitmapAutoSized(data, size, x, y) : 1;
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
  // The redraw goes to the display, whatever device the caller had selected.
  const GUI_MEMDEV_Handle previous = GUI_MEMDEV_Select(0);
  WM_Activate();
  GUI_MULTIBUF_Begin();
  GUI_Exec();
  GUI_MULTIBUF_End();
  if (previous > 0) GUI_MEMDEV_Select(previous);
}
void OP_LinkQueuePointer(const GUI_PID_STATE* state) { GUI_PID_QueueState(state); }
