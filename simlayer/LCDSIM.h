// The emulated display: a frame buffer in the shared block "GuiLCDMap" (one per layer) with a
// header page and a colour table, written by the graphics library's display driver. A
// viewer polls the change counter in the header and repaints when it moved.
//
// Header page (little-endian 32-bit fields): 0 identification text, 32/36 size, 40/44
// virtual size, 52 bits per pixel, 56 colours, 60 change counter, 64 colour-table version,
// 80/84/88 pointer, 92/96 display origin, 100 layer alpha, 104/108 layer position, 112 video
// memory address, 116 composite colour, 120 composite size, 124/128 colour range, 132 layer
// value, 256 bitmap header (40 bytes), 296 colour table (256 x {B, G, R, reserved}); frame
// buffer from 4096.
#pragma once

#include <cstdint>

#include "gui/GUI.h"

constexpr uint32_t LCDSIM_BLOCK_BYTES = 0x1001000;
constexpr uint32_t LCDSIM_FRAME_OFFSET = 4096;
constexpr uint32_t LCDSIM_FRAME_BYTES = 0x1000000;

enum : uint32_t {
  LCDSIM_HDR_ID = 0,
  LCDSIM_HDR_XSIZE = 32,
  LCDSIM_HDR_YSIZE = 36,
  LCDSIM_HDR_VXSIZE = 40,
  LCDSIM_HDR_VYSIZE = 44,
  LCDSIM_HDR_BPP = 52,
  LCDSIM_HDR_NUMCOLORS = 56,
  LCDSIM_HDR_CHANGECNT = 60,
  LCDSIM_HDR_LUTVERSION = 64,
  LCDSIM_HDR_PTR_X = 80,
  LCDSIM_HDR_PTR_Y = 84,
  LCDSIM_HDR_PTR_STATE = 88,
  LCDSIM_HDR_ORG_X = 92,
  LCDSIM_HDR_ORG_Y = 96,
  LCDSIM_HDR_ALPHA = 100,
  LCDSIM_HDR_POS_X = 104,
  LCDSIM_HDR_POS_Y = 108,
  LCDSIM_HDR_VRAMADDR = 112,
  LCDSIM_HDR_COMPOSITE_COLOR = 116,
  LCDSIM_HDR_COMPOSITE_SIZE = 120,
  LCDSIM_HDR_RANGE_MIN = 124,
  LCDSIM_HDR_RANGE_MAX = 128,
  LCDSIM_HDR_LAYER_VALUE = 132,
  LCDSIM_HDR_BITMAPINFO = 256,
  LCDSIM_HDR_LUT = 296,
};

// Creates the shared blocks (probing "GuiLCDMap", "GuiLCDMap_1" .. "_99"), installs the LCD
// memory hooks of the display driver and runs the library's one-time start. 0 = done, 1 =
// no free name or no shared memory (reported through SIM_Error).
int LCDSIM_Init();
// Fills the module state and the header of every layer from the library's layer geometry:
// null, or "Could not alloc Server data ..." when a layer's block is missing.
const char* LCDSIM_InitServerData();
// Unmaps the blocks and removes their names (at exit, and between tests).
void LCDSIM_Exit();
void LCDSIM_CloseMap();
const char* LCDSIM_GetMapName(int layer);  // name in use, "" when none
uint8_t* LCDSIM_GetBlock(int layer);       // start of the mapped block, null when none

void LCDSIM_SetPixelIndex(int x, int y, uint32_t index, int layer);
uint32_t LCDSIM_GetPixelIndex(int x, int y, int layer);
void LCDSIM_SetPixel32(int x, int y, uint32_t raw, int layer);
GUI_COLOR LCDSIM_GetPixelColor(int x, int y, int layer);  // the library colour 0x00BBGGRR
GUI_COLOR LCDSIM_GetLUTColor(int index, int layer);
// Bulk row paths: one change of the counter per row.
void LCDSIM_FillRow(int x0, int x1, int y, uint32_t index, int layer);
void LCDSIM_WriteRow16(int x0, int y, int n, const uint8_t* pIndices, int layer);
void LCDSIM_WriteRow32(int x0, int y, int n, const uint32_t* pIndices, int layer);

void LCDSIM_SetLUTEntry(uint8_t index, GUI_COLOR color, int layer);
void LCDSIM_SetColorRange(int layer, GUI_COLOR colorMin, GUI_COLOR colorMax);
void LCDSIM_SetLayerAlpha(int alpha, int layer);
void LCDSIM_SetOrg(int x, int y, int layer);       // layer position
void LCDSIM_CheckOrg(int x, int y, int layer);     // display origin
void LCDSIM_SetVRAMAddr(int value, int layer);
void LCDSIM_SetSize(int layer, int xSize, int ySize);
void LCDSIM_SetShowBuffer(int index, int layer);
void LCDSIM_SetLayerValue(int layer, int value);
void LCDSIM_SetCompositeColor(GUI_COLOR color);
void LCDSIM_SetCompositeSize(int xSize, int ySize);
void LCDSIM_CopyBuffer(int layer, int from, int to);

void LCDSIM_SetPointerState(int x, int y, int pressed, int layer);
void LCDSIM_UpdatePointer(int layer);
// Receiver of pointer changes (the library's pointer input), set by the input module.
void LCDSIM_SetPointerHandler(void (*pfHandler)(int x, int y, int pressed, int layer));

uint32_t LCDSIM_GetChangeCount(int layer);
void LCDSIM_Touch(int layer);

// What a window needs to paint a layer: the visible image starts at pBits (origin applied).
struct LCDSIM_VIEW {
  const uint8_t* pBits;
  int bytesPerLine;
  int xSize, ySize;
  int bitsPerPixel;                // of the layer; pixels above 8 bits are 32-bit words 0x00RRGGBB
};
int LCDSIM_GetView(int layer, LCDSIM_VIEW* pView);  // 0 = done, 1 = layer not initialised

GUI_COLOR LCDSIM_ComposePixel(int x, int y, int topLayer);
int LCDSIM_IsInColorRange(GUI_COLOR color, int layer);
