// Pictures: the bitmap record and its drawing, colour mixing, streamed bitmaps, run-length
// coded bitmaps, and the BMP, GIF and JPEG decoders.
//
// Every decoder of data that comes from files or the engineering image is bounded by the
// data's length: the memory forms take the length, the callback forms fail on a short read.
#pragma once

#include <cstdint>

#include "gui/GUI_Private.h"

// Little-endian fields of stored pictures.
inline uint32_t GUI__LE16(const uint8_t* p) { return p[0] | (p[1] << 8); }
inline uint32_t GUI__LE32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// ---------------------------------------------------------------------------------------
// The bitmap record.
typedef void GUI_DRAWBITMAP_FUNC(int x0, int y0, int xSize, int ySize, const uint8_t* pData,
                                 const GUI_LOGPALETTE* pPal, int xMag, int yMag);
typedef GUI_COLOR GUI_INDEX2COLOR_FUNC(uint32_t index);
struct GUI_BITMAP_METHODS {
  GUI_DRAWBITMAP_FUNC* pfDraw;
  GUI_INDEX2COLOR_FUNC* pfIndex2Color;
  GUI_DRAWBITMAP_FUNC* pfDrawHW;   // 32-bit alpha format only
  void* pReserved;
};
struct GUI_BITMAP {
  uint16_t XSize;
  uint16_t YSize;
  uint16_t BytesPerLine;
  uint16_t BitsPerPixel;
  const uint8_t* pData;
  const GUI_LOGPALETTE* pPal;
  const GUI_BITMAP_METHODS* pMethods;
};

void GUI_DrawBitmap(const GUI_BITMAP* pBitmap, int x, int y);
void GUI__DrawBitmap(const GUI_BITMAP* pBitmap, int x, int y);

// Methods of the high-colour formats (the stream format ids in brackets).
extern const GUI_BITMAP_METHODS GUI_DRAW_BMP565;     // 8: 5-6-5, red low
extern const GUI_BITMAP_METHODS GUI_DRAW_BMPM565;    // 9: 5-6-5, red high
extern const GUI_BITMAP_METHODS GUI_DRAW_BMP555;     // 10
extern const GUI_BITMAP_METHODS GUI_DRAW_BMPM555;    // 11
extern const GUI_BITMAP_METHODS GUI_DRAW_RLE4;       // 6
extern const GUI_BITMAP_METHODS GUI_DRAW_RLE8;       // 7
extern const GUI_BITMAP_METHODS GUI_DRAW_RLE16;      // 12
extern const GUI_BITMAP_METHODS GUI_DRAW_RLEM16;     // 13
extern const GUI_BITMAP_METHODS GUI_DRAW_RLE32;      // 15
extern const GUI_BITMAP_METHODS GUI_DRAW_BMP8888;    // 16
extern const GUI_BITMAP_METHODS GUI_DRAW_BMP24;      // 17
extern const GUI_BITMAP_METHODS GUI_DRAW_RLEALPHA;   // 18
extern const GUI_BITMAP_METHODS GUI_DRAW_BMP444_12;    // 19
extern const GUI_BITMAP_METHODS GUI_DRAW_BMPM444_12;   // 20
extern const GUI_BITMAP_METHODS GUI_DRAW_BMP444_16;    // 21
extern const GUI_BITMAP_METHODS GUI_DRAW_BMPM444_16;   // 22
extern const GUI_BITMAP_METHODS GUI_DRAW_BMP444_12_1;  // 23
extern const GUI_BITMAP_METHODS GUI_DRAW_BMPM444_12_1; // 24
extern const GUI_BITMAP_METHODS GUI_DRAW_BMPA555;    // 25
extern const GUI_BITMAP_METHODS GUI_DRAW_BMPAM555;   // 26
extern const GUI_BITMAP_METHODS GUI_DRAW_BMPA565;    // 27
extern const GUI_BITMAP_METHODS GUI_DRAW_BMPAM565;   // 28
extern const GUI_BITMAP_METHODS GUI_DRAW_BMPM8888I;  // 29

// Pixel-to-colour conversions of the 16-bit formats.
GUI_COLOR GUI__Index2Color565(uint32_t v);     // red low
GUI_COLOR GUI__Index2ColorM565(uint32_t v);    // red high
GUI_COLOR GUI__Index2Color555(uint32_t v);
GUI_COLOR GUI__Index2ColorM555(uint32_t v);

// ---------------------------------------------------------------------------------------
// Colour mixing.
typedef GUI_COLOR GUI_MIX_FUNC(GUI_COLOR fg, GUI_COLOR bg, uint8_t intensity);
typedef void GUI_MIX_BULK_FUNC(const GUI_COLOR* pFg, GUI_COLOR* pBg, int n);
GUI_MIX_FUNC* GUI_SetFuncMixColors(GUI_MIX_FUNC* pf);
GUI_MIX_BULK_FUNC* GUI_SetFuncMixColorsBulk(GUI_MIX_BULK_FUNC* pf);
int GUI_SetLineBufferSize(int numEntries);
uint32_t GUI_SetAlphaMask(uint32_t mask);
void GUI_SetAAGamma(const uint8_t* pTable);
void GUI_GetAAGamma(uint8_t* pBuffer);
void GUI_SetAAMixMode(int mode);
typedef void GUI_AAPIXEL_FUNC(int x, int y, uint8_t intensity);
GUI_AAPIXEL_FUNC* GUI_GetAAPixelFunc(int bpp);

// The blend of fg into bg at intensity 0..255 (RGB mixed, bg's top byte kept).
GUI_COLOR GUI__MixColors(GUI_COLOR fg, GUI_COLOR bg, uint8_t intensity);
// Blends colour c with transparency in its top byte over bg: 0 gives c, 0xFF gives bg.
GUI_COLOR GUI__AlphaBlend(GUI_COLOR c, GUI_COLOR bg);
// Draws n 32-bit layer indices as one line at x, y, packed in place to `bpp` bits first.
void GUI__DrawIndexLine(int x, int y, int n, uint32_t* pIndices, int bpp);
// The three shared line buffers of 32-bit entries (null when they cannot be made).
uint32_t* GUI__GetLineBuffer(int which, int* pNumEntries);

// ---------------------------------------------------------------------------------------
// Streamed bitmaps.
constexpr int GUI_STREAM_HEADER_BYTES = 16;
int GUI_CreateBitmapFromStream(GUI_BITMAP* pBMP, GUI_LOGPALETTE* pPAL, const void* pStream);
// The form for data read from files or images: every size of the header is checked against
// the length before anything is read (1 = refused).
int GUI_CreateBitmapFromStreamSized(GUI_BITMAP* pBMP, GUI_LOGPALETTE* pPAL, const void* pStream,
                                    uint32_t numBytes);
int GUI_CreateBitmapFromStreamFormat(GUI_BITMAP* pBMP, GUI_LOGPALETTE* pPAL, const void* pStream,
                                     int format);
void GUI_DrawStreamedBitmapAuto(const void* pStream, int x, int y);
int GUI_DrawStreamedBitmapAutoSized(const void* pStream, uint32_t numBytes, int x, int y);

// Get-data callback: (parameter, in/out buffer pointer, bytes wanted, offset) -> bytes given.
typedef int GUI_GET_DATA_FUNC(void* pParam, const uint8_t** ppData, unsigned numBytes, uint32_t off);
int GUI_DrawStreamedBitmapExAuto(GUI_GET_DATA_FUNC* pfGetData, void* pParam, int x, int y);
int GUI_DrawStreamedBitmapFormatEx(GUI_GET_DATA_FUNC* pfGetData, void* pParam, int x, int y, int format);
typedef void* GUI_STREAM_PALETTE_HOOK(int cmd, int numBytes, void* pBuffer);
void GUI_STREAM_SetPaletteHook(GUI_STREAM_PALETTE_HOOK* pfHook);

// A bounded get-data callback over bytes in memory: pParam points to this record.
struct GUI_MEM_SOURCE {
  const uint8_t* pData;
  uint32_t NumBytes;
};
int GUI__GetDataMem(void* pParam, const uint8_t** ppData, unsigned numBytes, uint32_t off);

// ---------------------------------------------------------------------------------------
// Run-length coded bitmaps: the callback decoders read through a get-data callback.
int LCD__RLE4_SetFunc(GUI_GET_DATA_FUNC* pfGetData, void* pParam, uint32_t off, const GUI_LOGPALETTE* pPal);
int LCD__RLE8_SetFunc(GUI_GET_DATA_FUNC* pfGetData, void* pParam, uint32_t off, const GUI_LOGPALETTE* pPal);
int LCD__RLE16_SetFunc(GUI_GET_DATA_FUNC* pfGetData, void* pParam, uint32_t off, const GUI_LOGPALETTE* pPal);
int LCD__RLE32_SetFunc(GUI_GET_DATA_FUNC* pfGetData, void* pParam, uint32_t off, const GUI_LOGPALETTE* pPal);
extern const GUI_BITMAP_METHODS GUI_DRAW_RLE4_EX;
extern const GUI_BITMAP_METHODS GUI_DRAW_RLE8_EX;
extern const GUI_BITMAP_METHODS GUI_DRAW_RLE16_EX;
extern const GUI_BITMAP_METHODS GUI_DRAW_RLEM16_EX;
extern const GUI_BITMAP_METHODS GUI_DRAW_RLE32_EX;
// Bytes that the coded data of `numPixels` pixels takes (bpp 4, 8, 16 or 32), or -1 when
// the data end before the picture does.
int32_t GUI__RLE_GetDataSize(int bpp, const uint8_t* pData, uint32_t numBytes, uint32_t numPixels);
// Forgets where the last picture's decoding may resume (a new picture begins).
void GUI__RLE_ForgetResume();
// Outcome of the last run-length draw: 0 complete, 1 the data ended early or no context.
int GUI__RLE_GetLastResult();

// ---------------------------------------------------------------------------------------
// BMP files.
int GUI_BMP_DrawEx(GUI_GET_DATA_FUNC* pfGetData, void* pParam, int x0, int y0);
int GUI_BMP_GetXSizeEx(GUI_GET_DATA_FUNC* pfGetData, void* pParam);
int GUI_BMP_GetYSizeEx(GUI_GET_DATA_FUNC* pfGetData, void* pParam);
void GUI_BMP_DisableAlpha();

// ---------------------------------------------------------------------------------------
// GIF pictures.
struct GUI_GIF_IMAGE_INFO {
  int32_t xPos, yPos, xSize, ySize, Delay;
};
int GUI_GIF_DrawSub(const void* pGIF, uint32_t numBytes, int x0, int y0, int index);
int GUI_GIF_DrawEx(GUI_GET_DATA_FUNC* pfGetData, void* pParam, int x0, int y0, int index);
int GUI_GIF_DrawFirstEx(GUI_GET_DATA_FUNC* pfGetData, void* pParam, int x0, int y0);
int GUI_GIF_GetXSize(const void* pGIF);
int GUI_GIF_GetYSize(const void* pGIF);
int GUI_GIF_GetXSizeEx(GUI_GET_DATA_FUNC* pfGetData, void* pParam);
int GUI_GIF_GetYSizeEx(GUI_GET_DATA_FUNC* pfGetData, void* pParam);
int GUI_GIF_GetInfoEx(GUI_GET_DATA_FUNC* pfGetData, void* pParam, GUI_GIF_INFO* pInfo);
int GUI_GIF_GetImageInfo(const void* pGIF, uint32_t numBytes, GUI_GIF_IMAGE_INFO* pInfo, int index);
int GUI_GIF_GetImageInfoEx(GUI_GET_DATA_FUNC* pfGetData, void* pParam, GUI_GIF_IMAGE_INFO* pInfo, int index);
int GUI_GIF_GetComment(const void* pGIF, uint32_t numBytes, uint8_t* pBuffer, int maxSize, int index);
int GUI_GIF_GetCommentEx(GUI_GET_DATA_FUNC* pfGetData, void* pParam, uint8_t* pBuffer, int maxSize, int index);
int GUI_GIF_SetRestoreBkFill(int onOff);

// ---------------------------------------------------------------------------------------
// JPEG pictures.
struct GUI_JPEG_INFO {
  int32_t XSize, YSize;
};
int GUI_JPEG_GetInfo(const void* pFileData, int numBytes, GUI_JPEG_INFO* pInfo);
