// Display devices, colour conversion, the simulation display driver and LCD-level drawing.
//
// Everything the library draws goes through a chain of devices per layer: memory devices,
// sprites and the alpha device are linked above the display driver (class 0) and receive
// the operations first. LCD-level functions take screen coordinates and clip to the
// context's clip rectangle before they call the top device of the selected layer.
#pragma once

#include <cstdint>

#include "gui/GUI.h"

// ---------------------------------------------------------------------------------------
// Colour conversion: colour <-> index of one pixel format.
struct GUICC {
  uint32_t (*pfColor2Index)(GUI_COLOR color);
  GUI_COLOR (*pfIndex2Color)(uint32_t index);
  uint32_t (*pfGetIndexMask)();
};
struct GUICC_BULK {
  void (*pfColor2IndexBulk)(const GUI_COLOR* pColor, void* pIndex, int n, int step);
  void (*pfIndex2ColorBulk)(void* pIndex, GUI_COLOR* pColor, int n, int step);
};

extern const GUICC GUICC_565R;     // display format: red in bits 15..11
extern const GUICC GUICC_565B;     // blue in bits 15..11
extern const GUICC_BULK GUICC_565R_BULK;
extern const GUICC_BULK GUICC_565B_BULK;

uint32_t GUICC_565R_Color2Index(GUI_COLOR color);
GUI_COLOR GUICC_565R_Index2Color(uint32_t index);
uint32_t GUICC_565R_GetIndexMask();
void GUICC_565R_Color2IndexBulk(const GUI_COLOR* pColor, void* pIndex, int n, int step);
void GUICC_565R_Index2ColorBulk(void* pIndex, GUI_COLOR* pColor, int n, int step);
void GUICC_565R_SetBulkHooks(void (*pfColor2Index)(const GUI_COLOR*, void*, int, int),
                             void (*pfIndex2Color)(void*, GUI_COLOR*, int, int));
// n indices of the display format (16-bit, little-endian) into the words of the emulated
// LCD memory, 0x00RRGGBB (32-bit, little-endian): the colours of GUICC_565R_Index2Color with
// red and blue exchanged, converted eight at a time.
void GUICC_565R_IndexToFrameWords(const uint8_t* pIndices, uint8_t* pWords, int n);
uint32_t GUICC_565B_Color2Index(GUI_COLOR color);
GUI_COLOR GUICC_565B_Index2Color(uint32_t index);
uint32_t GUICC_565B_GetIndexMask();
void GUICC_565B_Color2IndexBulk(const GUI_COLOR* pColor, void* pIndex, int n, int step);
void GUICC_565B_Index2ColorBulk(void* pIndex, GUI_COLOR* pColor, int n, int step);

// Pixel packing, most significant bits first.
int GUI__CompactPixelIndices(uint32_t* pBuffer, int n, int bpp);
int GUI__CompactPixelIndicesEx(const GUI_COLOR* pColors, int n, int bpp, const GUICC* pCC,
                               void* pDest);
int GUI__ConvertColorsToIndices(GUI_COLOR* pColors, int n, int bpp, const GUICC* pCC);

// ---------------------------------------------------------------------------------------
// Devices.
struct GUI_DEVICE;
struct GUI_DEVICE_API;
typedef void (*tLCDDEV_Func)();    // an optional function; cast to its real type by code

struct GUI_DEVICE {
  GUI_DEVICE* pNext;               // below, towards the display driver
  GUI_DEVICE* pPrev;               // above; null for the chain head
  void* pContext;                  // device data, owned by the device
  const GUI_DEVICE_API* pDeviceAPI;
  const GUICC* pColorConvAPI;
  uint16_t Flags;                  // 1 = link below the devices of the same class
  int32_t LayerIndex;
};

enum : int32_t {
  DEVICE_CLASS_DRIVER = 0,
  DEVICE_CLASS_SPRITE = 3,
  DEVICE_CLASS_MEMDEV = 4,
  DEVICE_CLASS_USER_ALPHA = 5,
  DEVICE_CLASS_ALPHA = 6,
};

struct GUI_DEVICE_API {
  int32_t DeviceClassIndex;
  void (*pfDrawBitmap)(GUI_DEVICE* pDevice, int x0, int y0, int xSize, int ySize,
                       int bitsPerPixel, int bytesPerLine, const uint8_t* pData, int diff,
                       const uint32_t* pTrans);
  void (*pfDrawHLine)(GUI_DEVICE* pDevice, int x0, int y, int x1);
  void (*pfDrawVLine)(GUI_DEVICE* pDevice, int x, int y0, int y1);
  void (*pfFillRect)(GUI_DEVICE* pDevice, int x0, int y0, int x1, int y1);
  uint32_t (*pfGetPixelIndex)(GUI_DEVICE* pDevice, int x, int y);
  void (*pfSetPixelIndex)(GUI_DEVICE* pDevice, int x, int y, uint32_t index);
  void (*pfXorPixel)(GUI_DEVICE* pDevice, int x, int y);
  void (*pfSetOrg)(GUI_DEVICE* pDevice, int x, int y);
  tLCDDEV_Func (*pfGetDevFunc)(GUI_DEVICE** ppDevice, int index);
  int32_t (*pfGetDevProp)(GUI_DEVICE* pDevice, int index);
  void* (*pfGetDevData)(GUI_DEVICE* pDevice, int index);
  void (*pfGetRect)(GUI_DEVICE* pDevice, GUI_RECT* pRect);
};

// Property codes of GetDevProp.
enum : int {
  LCD_DEVCAP_XSIZE = 1,
  LCD_DEVCAP_YSIZE = 2,
  LCD_DEVCAP_VXSIZE = 3,
  LCD_DEVCAP_VYSIZE = 4,
  LCD_DEVCAP_BITSPERPIXEL = 8,
  LCD_DEVCAP_NUMCOLORS = 9,
};
// Codes of the optional device functions (GetDevFunc) and of the per-layer configuration.
enum : int {
  LCD_DEVFUNC_SETBUFFER = 2,
  LCD_DEVFUNC_SETPOS = 3,
  LCD_DEVFUNC_GETPOS = 4,
  LCD_DEVFUNC_SETVRAMADDR = 6,
  LCD_DEVFUNC_SETVRAMSIZE = 9,
  LCD_DEVFUNC_SETVSIZE = 10,
  LCD_DEVFUNC_SETSIZE = 11,
  LCD_DEVFUNC_INIT = 12,
  LCD_DEVFUNC_CONTROLCACHE = 13,
  LCD_DEVFUNC_ON = 14,
  LCD_DEVFUNC_OFF = 15,
  LCD_DEVFUNC_SETLUTENTRY = 16,
  LCD_DEVFUNC_SETALPHA = 19,
  LCD_DEVFUNC_SETVIS = 20,
  LCD_DEVFUNC_SETCHROMA = 21,
  LCD_DEVFUNC_SETCHROMAMODE = 22,
  LCD_DEVFUNC_REFRESH = 23,
  LCD_DEVFUNC_COPYBUFFER = 33,
  LCD_DEVFUNC_SHOWBUFFER = 34,
  LCD_DEVFUNC_SETFUNC = 41,
};

GUI_DEVICE* GUI_DEVICE_Create(const GUI_DEVICE_API* pAPI, const GUICC* pCC, uint16_t flags,
                              int layer);
GUI_DEVICE* GUI_DEVICE_CreateAndLink(const GUI_DEVICE_API* pAPI, const GUICC* pCC,
                                     uint16_t flags, int layer);
int GUI_DEVICE_Link(GUI_DEVICE* pDevice);
void GUI_DEVICE_Unlink(GUI_DEVICE* pDevice);
void GUI_DEVICE_Delete(GUI_DEVICE* pDevice);
void GUI_DEVICE_LinkDevices(GUI_DEVICE* pList);
GUI_DEVICE* GUI_DEVICE__UnlinkTaskDevices();
GUI_DEVICE* GUI_DEVICE_GetDriver(int layer);
GUI_DEVICE* GUI_DEVICE_GetpDevice(int layer, int deviceClass);
GUI_DEVICE* GUI_DEVICE__GetHead(int layer);

// Layer properties; the forms without Ex act on the selected layer.
int LCD_GetXSizeEx(int layer);
int LCD_GetYSizeEx(int layer);
int LCD_GetVXSizeEx(int layer);
int LCD_GetVYSizeEx(int layer);
int LCD_GetBitsPerPixelEx(int layer);
uint32_t LCD_GetNumColorsEx(int layer);
int LCD_GetDevPropEx(int layer, int code);
int LCD_GetXSize();
int LCD_GetYSize();
int LCD_GetVXSize();
int LCD_GetVYSize();
int LCD_GetBitsPerPixel();
uint32_t LCD_GetNumColors();
int LCD_GetXSizeMax();
int LCD_GetYSizeMax();
int LCD_GetVXSizeMax();
int LCD_GetVYSizeMax();
int LCD_GetBitsPerPixelMax();
int LCD_GetNumLayers();
int LCD_GetBitsPerPixel_L0();
const uint32_t* LCD_GetpLUTEx(int layer);
void* LCD_GetpMemdevAPIEx(int layer);
const GUICC* LCD_GetpColorConvAPIEx(int layer);
int LCD__GetBPP(uint32_t indexMask);
int LCD__GetBPPDevice(uint32_t indexMask);

// Per-layer configuration: 0 done, 1 no driver or function.
int LCD_SetBufferPtrEx(int layer, int value);       // code 2
int LCD_SetPosEx(int layer, int x, int y);          // code 3
int LCD_GetPosEx(int layer, int* px, int* py);      // code 4
int LCD_SetVRAMAddrEx(int layer, int value);        // code 6
int LCD_SetVRAMSizeEx(int layer, int x, int y);     // code 9
int LCD_SetVSizeEx(int layer, int x, int y);        // code 10
int LCD_SetSizeEx(int layer, int x, int y);         // code 11
int LCD_OnEx(int layer);                            // code 14
int LCD_OffEx(int layer);                           // code 15
int LCD_RefreshEx(int layer);                       // code 23
int LCD_SetLUTEntryEx(int layer, uint8_t index, GUI_COLOR color);  // code 16
int LCD_SetAlphaEx(int layer, int value);           // code 19
int LCD_SetVisEx(int layer, int value);             // code 20
int LCD_SetChromaEx(int layer, GUI_COLOR a, GUI_COLOR b);      // code 21
int LCD_SetChromaModeEx(int layer, int a, int b);   // code 22
int LCD_SetDevFuncEx(int layer, int value);         // code 41
int LCD_SetBufferPtr(int value);
int LCD_SetPos(int x, int y);
int LCD_GetPos(int* px, int* py);
int LCD_SetVRAMAddr(int value);
int LCD_SetVRAMSize(int x, int y);
int LCD_SetVSize(int x, int y);
int LCD_SetSize(int x, int y);
int LCD_On();
int LCD_Off();
int LCD_Refresh();
int LCD_SetLUTEntry(uint8_t index, GUI_COLOR color);
int LCD_SetAlpha(int value);
int LCD_SetVis(int value);
int LCD_SetChroma(GUI_COLOR a, GUI_COLOR b);
int LCD_SetChromaMode(int a, int b);
int LCD_SetDevFunc(int value);

// Palette conversion.
int LCD_InitPalConv();
struct GUI_LOGPALETTE {
  int NumEntries;
  char HasTrans;
  const GUI_COLOR* pPalEntries;
};
const uint32_t* LCD_GetpPalConvTable(const GUI_LOGPALETTE* pPalette);
void LCD_SetPalConvHook(void (*pfHook)(const GUI_LOGPALETTE* pPalette));
void LCD_InitLUT();

// ---------------------------------------------------------------------------------------
// LCD-level drawing (screen coordinates, clipped to the context's clip rectangle).
void LCD_SetColor(GUI_COLOR color);
void LCD_SetBkColor(GUI_COLOR color);
void LCD_SetColorIndex(uint32_t index);
void LCD_SetBkColorIndex(uint32_t index);
uint32_t LCD_GetColorIndex();
uint32_t LCD_GetBkColorIndex();
int LCD_SetDrawMode(int mode);
uint32_t LCD_Color2Index(GUI_COLOR color);
GUI_COLOR LCD_Index2Color(uint32_t index);
GUI_COLOR LCD_Index2ColorEx(uint32_t index, int layer);

void LCD_DrawPixel(int x, int y);
void LCD_SetPixelIndex(int x, int y, uint32_t index);
void LCD_DrawHLine(int x0, int y, int x1);
void LCD_DrawVLine(int x, int y0, int y1);
void LCD_FillRect(int x0, int y0, int x1, int y1);
void LCD_SetClipRectMax();
void LCD_SetClipRectEx(const GUI_RECT* pRect);
void LCD_DrawBitmap(int x0, int y0, int xSize, int ySize, int xMag, int yMag,
                    int bitsPerPixel, int bytesPerLine, const uint8_t* pData,
                    const uint32_t* pTrans);
void LCD_DrawBitmapEx(int x0, int y0, int xSize, int ySize, int xMag, int yMag,
                      int bitsPerPixel, int bytesPerLine, const uint8_t* pData, int diff,
                      const uint32_t* pTrans);
uint32_t LCD_GetPixelIndex(int x, int y);
int LCD_Init();

// The colour-set operations of the context (the alpha module may substitute its own).
struct LCD_SET_COLOR_API {
  void (*pfSetColor)(GUI_COLOR color);
  void (*pfSetBkColor)(GUI_COLOR color);
  int (*pfSetDrawMode)(int mode);
};
extern const LCD_SET_COLOR_API* LCD__pSetColorAPI;
extern const LCD_SET_COLOR_API LCD_SetColorAPI_Default;
// Override of the bitmap path (null = the normal path).
typedef void LCD_DRAWBITMAP_FUNC(int x0, int y0, int xSize, int ySize, int xMag, int yMag,
                                 int bitsPerPixel, int bytesPerLine, const uint8_t* pData,
                                 int diff, const uint32_t* pTrans);
extern LCD_DRAWBITMAP_FUNC* LCD__pfDrawBitmapOverride;

// The pair {horizontal line, pixel} that lines, circles and text draw with.
struct LCD_API_LINE_PIXEL {
  void (*pfDrawHLine)(int x0, int y, int x1);
  void (*pfDrawPixel)(int x, int y);
};
extern const LCD_API_LINE_PIXEL LCD_APIListClipped;

// ---------------------------------------------------------------------------------------
// The simulation display driver (class 0 of layer 0). It writes every pixel into the
// emulated LCD memory through the hooks below, which the simulation layer installs.
extern const GUI_DEVICE_API GUIDRV_Sim_API;

struct GUI_LCD_MEMORY_HOOKS {
  void (*pfSetPixelIndex)(int x, int y, uint32_t index, int layer);
  uint32_t (*pfGetPixelIndex)(int x, int y, int layer);
  // Bulk row paths: one call per row (x0..x1 inclusive, or n indices from x0).
  void (*pfFillRow)(int x0, int x1, int y, uint32_t index, int layer);
  void (*pfWriteRow16)(int x0, int y, int n, const uint8_t* pIndices, int layer);
  void (*pfWriteRow32)(int x0, int y, int n, const uint32_t* pIndices, int layer);
  // Mirrors of the layer configuration.
  void (*pfSetLUTEntry)(uint8_t index, GUI_COLOR color, int layer);
  void (*pfSetOrg)(int x, int y, int layer);
  void (*pfCheckOrg)(int x, int y, int layer);
  void (*pfSetVRAMAddr)(int value, int layer);
  void (*pfSetSize)(int layer, int xSize, int ySize);
  void (*pfSetShowBuffer)(int index, int layer);
  void (*pfCopyBuffer)(int layer, int from, int to);
  void (*pfSetLayerValue)(int layer, int value);
  void (*pfSetColorRange)(int layer, GUI_COLOR colorMin, GUI_COLOR colorMax);
};
void GUI_SetLCDMemoryHooks(const GUI_LCD_MEMORY_HOOKS* pHooks);  // null = none
const GUI_LCD_MEMORY_HOOKS* GUI_GetLCDMemoryHooks();

// Links to the multi-buffer module: the number of buffers of a layer (null = 1) and the
// notice that the driver now shows buffer `index`.
extern int (*GUIDRV_Sim_pfGetNumBuffers)(int layer);
extern void (*GUIDRV_Sim_pfBufferShown)(int layer, int index);
