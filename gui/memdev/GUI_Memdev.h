// Memory devices: off-screen drawing targets of 1, 8, 16 or 32 bits per pixel that take the
// place of the display in a layer's device chain, their usage bitmaps, the copy to the
// display, banded drawing; the user-alpha device, the pixel writer and pixel reading; alpha
// colours, the alpha write of 32-bit devices and multi-buffering.
//
// A memory device is one block of the GUI heap: the header below followed by the pixel
// lines. Pointers into the block are valid only until the next allocation.
#pragma once

#include <cstdint>

#include "gui/GUI_Private.h"
#include "gui/WM.h"
#include "gui/bitmap/GUI_Bitmap.h"

// ---------------------------------------------------------------------------------------
// Usage bitmap: one bit per pixel, set where the device was drawn.
struct GUI_USAGE;
struct GUI_USAGE_API {
  void (*pfAddPixel)(GUI_HMEM hUsage, int x, int y);
  void (*pfAddHLine)(GUI_HMEM hUsage, int x, int y, int len);
  void (*pfClear)(GUI_HMEM hUsage);
};
struct GUI_USAGE {
  int16_t x0, y0;
  int16_t XSize, YSize;
  const GUI_USAGE_API* pAPI;
  int16_t UseCnt;
  int32_t BytesPerLine;
  // followed by YSize x BytesPerLine bytes of bits
};

GUI_HMEM GUI_USAGE_BM_Create(int x0, int y0, int xSize, int ySize, int flags);
void GUI_USAGE_BM_AddPixel(GUI_HMEM hUsage, int x, int y);
void GUI_USAGE_BM_AddHLine(GUI_HMEM hUsage, int x, int y, int len);
void GUI_USAGE_BM_Clear(GUI_HMEM hUsage);
// Next run of set bits on line y (relative to the origin) from *px on: its length, 0 = none.
int GUI_USAGE_GetNextDirty(GUI_HMEM hUsage, int* px, int y);
void GUI_USAGE_DecUseCnt(GUI_HMEM hUsage);
// The same on the record itself, for the device operations, which take it once per call
// instead of once per pixel (valid until the next allocation; null does nothing).
GUI_USAGE* GUI_USAGE__h2p(GUI_HMEM hUsage);
void GUI_USAGE__AddPixel(GUI_USAGE* pUsage, int x, int y);
void GUI_USAGE__AddHLine(GUI_USAGE* pUsage, int x, int y, int len);
int GUI_USAGE__GetNextDirty(const GUI_USAGE* pUsage, int* px, int y);

// ---------------------------------------------------------------------------------------
// The memory device record.
struct GUI_MEMDEV {
  GUI_DEVICE* pDevice;
  int16_t x0, y0;
  int16_t XSize, YSize;
  int32_t BytesPerLine;
  int32_t BitsPerPixel;
  GUI_HMEM hUsage;
  int32_t Pad;                     // keeps the pixels 8-byte aligned
  // followed by YSize x BytesPerLine bytes of pixels
};
constexpr int GUI_MEMDEV_HEADER_BYTES = static_cast<int>(sizeof(GUI_MEMDEV));

constexpr int GUI_MEMDEV_HASTRANS = 0;
constexpr int GUI_MEMDEV_NOTRANS = 1;
constexpr int GUI_POS_AUTO = -4095;  // the device's own position

// Operations tables of the pixel formats, and the identity conversion of 32-bit devices
// (index = colour with its transparency byte).
extern const GUI_DEVICE_API GUI_MEMDEV_DEVICE_1;
extern const GUI_DEVICE_API GUI_MEMDEV_DEVICE_8;
extern const GUI_DEVICE_API GUI_MEMDEV_DEVICE_16;
extern const GUI_DEVICE_API GUI_MEMDEV_DEVICE_32;
extern const GUICC GUICC_8888;

// The copy function of a device (optional function 22 of its operations table).
typedef void GUI_MEMDEV_COPYFUNC(GUI_MEMDEV_Handle hMem, int x, int y);
constexpr int GUI_MEMDEV_DEVFUNC_COPY = 22;

GUI_MEMDEV_Handle GUI_MEMDEV__CreateFixed(int x0, int y0, int xSize, int ySize, int flags,
                                          const GUI_DEVICE_API* pDeviceAPI, const GUICC* pCC);
GUI_MEMDEV_Handle GUI_MEMDEV_CreateFixedLocked(int x0, int y0, int xSize, int ySize, int flags,
                                               const GUI_DEVICE_API* pDeviceAPI, const GUICC* pCC);
GUI_MEMDEV_Handle GUI_MEMDEV_CreateFixedDefault(int x0, int y0, int xSize, int ySize);
GUI_MEMDEV_Handle GUI_MEMDEV_CreateEx(int x0, int y0, int xSize, int ySize, int flags);
void GUI_MEMDEV_Delete(GUI_MEMDEV_Handle hMem);
void GUI_MEMDEV_SetOrg(GUI_MEMDEV_Handle hMem, int x0, int y0);
void GUI_MEMDEV_ClearUsage(GUI_MEMDEV_Handle hMem);
void GUI_MEMDEV_CopyToLCDAt(GUI_MEMDEV_Handle hMem, int x, int y);
void GUI_MEMDEV__CopyToLCDFunc(GUI_MEMDEV_Handle hMem, int x, int y);
int GUI_MEMDEV_GetXPos(GUI_MEMDEV_Handle hMem);
int GUI_MEMDEV_GetYPos(GUI_MEMDEV_Handle hMem);
int GUI_MEMDEV_GetXSize(GUI_MEMDEV_Handle hMem);
int GUI_MEMDEV_GetYSize(GUI_MEMDEV_Handle hMem);
void GUI_MEMDEV_ReduceYSize(GUI_MEMDEV_Handle hMem, int ySize);
void* GUI_MEMDEV_GetDataPtr(GUI_MEMDEV_Handle hMem);
void GUI_MEMDEV_WriteAt(GUI_MEMDEV_Handle hMem, int x, int y);
void GUI_MEMDEV_WriteAtDirect(GUI_MEMDEV_Handle hMem, int x, int y);
void GUI_MEMDEV_WriteDirect(GUI_MEMDEV_Handle hMem);

typedef void GUI_CALLBACK_VOID_P(void* pData);
int GUI_MEMDEV_Draw(const GUI_RECT* pRect, GUI_CALLBACK_VOID_P* pfDraw, void* pData, int numLines,
                    int flags);
void GUI_MEMDEV_SetAfterBandHook(int (*pfHook)(int));
// Messages to the window being drawn before and after drawing in bands.
constexpr int GUI_MEMDEV_MSG_BANDS_BEGIN = 50;
constexpr int GUI_MEMDEV_MSG_BANDS_END = 51;

// Static memory devices of windows: 32-bit devices with every pixel the window does not
// paint fully transparent. A window keeps its device until the window manager drops it
// (invalidation, resizing, deletion).
GUI_MEMDEV_Handle GUI_MEMDEV__CreateStaticDevice(WM_HWIN hWin);  // the device, made when missing
GUI_MEMDEV_Handle GUI_MEMDEV_GetStaticDevice(WM_HWIN hWin);      // 0 = none
void GUI_MEMDEV_Paint1Static(WM_HWIN hWin);     // the window's device written to the current target
void GUI_MEMDEV_CreateStatic(WM_HWIN hWin);     // devices for the window and its descendants
// Merges the devices of the window and its descendants into *phMerge (the first device
// becomes it when it is 0) and takes them from the windows.
void GUI_MEMDEV_UpdateStatic(WM_HWIN hWin, GUI_MEMDEV_Handle* phMerge);

// Internals shared with the formats, sprites and alpha: the record of a handle, the pixel
// address of a screen position (null when outside, after the report).
GUI_MEMDEV* GUI_MEMDEV__h2p(GUI_MEMDEV_Handle hMem);
uint8_t* GUI_MEMDEV__Pixels(GUI_MEMDEV* pDev);

// ---------------------------------------------------------------------------------------
// User-alpha device, pixel writer and pixel reading.
unsigned GUI__SetUserAlpha(unsigned alpha);
GUI_COLOR GUI__UserAlphaMix(GUI_COLOR color, GUI_COLOR bk);
int GUI_KeepAlphaByte(int onOff);
int GUI__KeepAlphaByte(int onOff);
struct GUI_PIXELWRITER {
  int (*pfBegin)(int x0, int y, int x1);
  void (*pfWrite)(uint32_t index);
  void (*pfNextLine)();
  void (*pfEnd)();
};
const GUI_PIXELWRITER* GUI__GetPixelWriter();
void GUI__ReadRect(int x0, int y0, int x1, int y1, void* pBuffer, GUI_DEVICE* pDevice);
void GUI__ReadRectDriver(int x0, int y0, int x1, int y1, void* pBuffer);
void GUI__ReadRectNoClip(int x0, int y0, int x1, int y1, void* pBuffer);
void GUI__ReadRectExpanded(int x0, int y0, int x1, int y1, uint32_t* pBuffer, GUI_DEVICE* pDevice);
void GUI__ExpandPixelIndices(void* pBuffer, int n, int bitsPerPixel);
void GUI__ExpandPixelColors(void* pBuffer, int n, int bitsPerPixel, const GUICC* pCC);
GUI_COLOR GUI__GetPixelColor(int x, int y);
void GUI__MixPixel(int x, int y, uint8_t intensity, GUI_COLOR color);

// ---------------------------------------------------------------------------------------
// Alpha colours and the alpha write of 32-bit devices.
unsigned GUI_SetUserAlphaEx(unsigned* pOld, unsigned alpha);
void GUI_RestoreUserAlpha(const unsigned* pOld);
void GUI_MEMDEV_WriteToActiveAt(GUI_MEMDEV_Handle hMem, int x, int y);
void GUI_MEMDEV__WriteToActiveAlpha(GUI_MEMDEV_Handle hMem, int x, int y, const GUICC* pCC);

// Multi-buffering.
void GUI_MULTIBUF_BeginEx(int layer);
void GUI_MULTIBUF_EndEx(int layer);
void GUI_MULTIBUF_Begin();
void GUI_MULTIBUF_End();
void GUI_MULTIBUF_ConfigEx(int layer, int numBuffers);
void GUI_MULTIBUF_Config(int numBuffers);
int GUI_MULTIBUF_GetNumBuffersEx(int layer);
int GUI_MULTIBUF_GetNumBuffers();
void GUI_MULTIBUF_ConfirmEx(int layer, int index);
void GUI_MULTIBUF_Confirm(int index);
void GUI_MULTIBUF_UseSingleBuffer();
void GUI_MULTIBUF_SetLayerMask(uint32_t mask);
void GUI_MULTIBUF_BeginAll();
void GUI_MULTIBUF_EndAll();
int GUI_MULTIBUF_GetFrontBufferEx(int layer);
int GUI_MULTIBUF_GetBackBufferEx(int layer);
// Called with the layer's bit when a drawing pass ends (null = none).
void GUI_MULTIBUF_SetBufferHook(void (*pfHook)(uint32_t layerMask));

// Operations of devices that pass a call on to the device below them unchanged.
void GUI_DEVICE__PassDrawBitmap(GUI_DEVICE* d, int x0, int y0, int xSize, int ySize, int bpp, int bytesPerLine,
                                const uint8_t* pData, int diff, const uint32_t* pTrans);
void GUI_DEVICE__PassDrawHLine(GUI_DEVICE* d, int x0, int y, int x1);
void GUI_DEVICE__PassDrawVLine(GUI_DEVICE* d, int x, int y0, int y1);
void GUI_DEVICE__PassFillRect(GUI_DEVICE* d, int x0, int y0, int x1, int y1);
uint32_t GUI_DEVICE__PassGetPixelIndex(GUI_DEVICE* d, int x, int y);
void GUI_DEVICE__PassSetPixelIndex(GUI_DEVICE* d, int x, int y, uint32_t index);
void GUI_DEVICE__PassXorPixel(GUI_DEVICE* d, int x, int y);
void GUI_DEVICE__PassSetOrg(GUI_DEVICE* d, int x, int y);
tLCDDEV_Func GUI_DEVICE__PassGetDevFunc(GUI_DEVICE** pp, int index);
int32_t GUI_DEVICE__PassGetDevProp(GUI_DEVICE* d, int index);
void* GUI_DEVICE__PassGetDevData(GUI_DEVICE* d, int index);
void GUI_DEVICE__PassGetRect(GUI_DEVICE* d, GUI_RECT* r);
