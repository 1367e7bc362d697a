// What the primitives, text and font modules use of the graphics core: the drawing context,
// the GUI lock, colour and draw-mode setting, the clipped LCD-level drawing functions and the
// error output. The core defines all of it; this header only declares it.
#pragma once

#include <cstdint>

using GUI_COLOR = uint32_t;
using LCD_COLOR = uint32_t;
using LCD_PIXELINDEX = uint32_t;
using GUI_HMEM = int32_t;

// Inclusive rectangle, signed 16-bit corners.
struct GUI_RECT {
  int16_t x0, y0, x1, y1;
};

struct GUI_FONT;

// Draw modes of the LCD level.
constexpr int LCD_DRAWMODE_NORMAL = 0;
constexpr int LCD_DRAWMODE_XOR = 1;
constexpr int LCD_DRAWMODE_TRANS = 2;
constexpr int LCD_DRAWMODE_REV = 4;

constexpr GUI_COLOR GUI_INVALID_COLOR = 0xFF345678u;

// The pair of low-level operations that lines, circles and text draw with.
struct LCD_HL_APIList {
  void (*pfDrawHLine)(int x0, int y, int x1);
  void (*pfDrawPixel)(int x, int y);
};

// The per-task drawing context (only the fields these modules use are listed here).
struct GUI_DRAW_CONTEXT {
  GUI_RECT ClipRect;
  uint8_t DrawMode;
  uint8_t SelLayer;
  uint8_t TextStyle;
  GUI_RECT* pClipRect_HL;  // active clip rectangle; null while a rotation is selected
  uint8_t PenSize;
  uint8_t PenShape;
  uint8_t LineStyle;
  uint8_t StyleLineThick;
  const GUI_FONT* pAFont;
  int16_t LBorder;
  int16_t DispPosX, DispPosY;
  int16_t DrawPosX, DrawPosY;
  int16_t TextMode;
  int16_t TextAlign;
  GUI_COLOR Color;
  GUI_COLOR BkColor;
  LCD_PIXELINDEX* LCD_pColorIndex;
  LCD_PIXELINDEX* LCD_pBkColorIndex;
  GUI_RECT WM_Rect;  // rectangle of the window being drawn, in screen coordinates
  int xOff, yOff;    // window origin: window coordinates + offset = screen coordinates
  const LCD_HL_APIList* pLCD_HL;
};

extern GUI_DRAW_CONTEXT* GUI_pContext;

int GUI_Lock();
void GUI_Unlock();

void GUI_ErrorOut(const char* s);
int GUI_SignalEvent();
void GUI_WaitEvent();
int GUI_X_GetTime();

int GUI_GetDecChar();
GUI_COLOR GUI_GetColor();
void GUI_SetColor(GUI_COLOR color);
void GUI_SetBkColor(GUI_COLOR color);

void LCD_SetColor(GUI_COLOR color);
void LCD_SetBkColor(GUI_COLOR color);
void LCD_SetColorIndex(LCD_PIXELINDEX index);
LCD_PIXELINDEX LCD_GetColorIndex();
LCD_PIXELINDEX LCD_GetBkColorIndex();
int LCD_SetDrawMode(int mode);
LCD_PIXELINDEX LCD_Color2Index(GUI_COLOR color);
GUI_COLOR LCD_Index2Color(LCD_PIXELINDEX index);
LCD_PIXELINDEX LCD_GetIndexMask();

void LCD_DrawPixel(int x, int y);
void LCD_SetPixelIndex(int x, int y, LCD_PIXELINDEX index);
LCD_PIXELINDEX LCD_GetPixelIndex(int x, int y);
void LCD_DrawHLine(int x0, int y, int x1);
void LCD_DrawVLine(int x, int y0, int y1);
void LCD_FillRect(int x0, int y0, int x1, int y1);
void LCD_DrawBitmap(int x0, int y0, int xsize, int ysize, int xmag, int ymag, int bitsPerPixel,
                    int bytesPerLine, const uint8_t* pData, const LCD_PIXELINDEX* pTrans);

void* GUI_ALLOC_h2p(GUI_HMEM h);
GUI_HMEM GUI_ALLOC_AllocNoInit(int numBytes);
int GUI_ALLOC_GetSize(GUI_HMEM h);
void GUI_ALLOC_Free(GUI_HMEM h);
void GUI_ClearRect(int x0, int y0, int x1, int y1);

// Context setters and getters.
int GUI_SetPenSize(int size);
int GUI_GetPenSize();
int GUI_SetPenShape(int shape);
int GUI_GetPenShape();
int GUI_SetLineStyle(int style);
int GUI_GetLineStyle();
const GUI_FONT* GUI_SetFont(const GUI_FONT* pFont);
const GUI_FONT* GUI_GetFont();
int GUI_SetTextAlign(int align);
int GUI_GetTextAlign();
int GUI_SetTextMode(int mode);
int GUI_GetTextMode();
int GUI_SetTextStyle(int style);
int GUI_SetLBorder(int x);
int GUI_GotoX(int x);
int GUI_GotoY(int y);
int GUI_GotoXY(int x, int y);
int GUI_GetDispPosX();
int GUI_GetDispPosY();

// The clip rectangle of the user (window manager); returns the previous one.
const GUI_RECT* WM_SetUserClipRect(const GUI_RECT* pRect);
