// What the primitives, text and font modules use of the graphics core: the drawing context,
// the GUI lock, colour and draw-mode setting, the clipped LCD-level drawing functions, the
// visible-rectangle iteration and the error output. The core defines all of it; this header
// only declares it.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint32_t GUI_COLOR;
typedef int32_t GUI_HMEM;
using LCD_PIXELINDEX = uint32_t;

// Inclusive rectangle, signed 16-bit corners.
struct GUI_RECT {
  int16_t x0, y0, x1, y1;
};

constexpr GUI_COLOR GUI_INVALID_COLOR = 0xFF345678u;

// Draw modes.
enum : uint8_t {
  GUI_DRAWMODE_NORMAL = 0,
  GUI_DRAWMODE_XOR = 1,
  GUI_DRAWMODE_TRANS = 2,
  GUI_DRAWMODE_REV = 4,
};
// Text modes.
enum : int16_t {
  GUI_TEXTMODE_NORMAL = 0,
  GUI_TEXTMODE_TRANS = 2,
};

// The font record that text output reads; each font type supplies its operations.
struct GUI_FONT;
struct GUI_FONTINFO {
  uint16_t Flags;  // 1 proportional, 2 fixed-width
  uint8_t Baseline, LHeight, CHeight;
};
struct GUI_FONT_LINE_API {
  void (*pfDispLine)(const char* s, int n);
  int (*pfGetLineDistX)(const char* s, int n);
};
typedef void GUI_DISPCHAR(uint16_t c);
typedef int GUI_GETCHARDISTX(uint16_t c, int* pSizeX);
typedef void GUI_GETFONTINFO(const GUI_FONT* pFont, GUI_FONTINFO* pInfo);
typedef char GUI_ISINFONT(const GUI_FONT* pFont, uint16_t c);
typedef int GUI_GETCHARINFO(uint16_t c, void* pInfo);
struct GUI_FONT {
  GUI_DISPCHAR* pfDispChar;
  GUI_GETCHARDISTX* pfGetCharDistX;
  GUI_GETFONTINFO* pfGetFontInfo;
  GUI_ISINFONT* pfIsInFont;
  GUI_GETCHARINFO* pfGetCharInfo;     // may be null
  const GUI_FONT_LINE_API* pLineAPI;  // null = character by character
  uint8_t YSize;                      // height
  uint8_t YDist;                      // line distance
  uint8_t XMag;
  uint8_t YMag;
  const void* pData;  // glyph data of the font type
  uint8_t Baseline;
  uint8_t LHeight;  // lower-case height
  uint8_t CHeight;  // capital height
};

// The pair of low-level operations that lines, circles and text draw with.
struct LCD_API_LINE_PIXEL {
  void (*pfDrawHLine)(int x0, int y, int x1);
  void (*pfDrawPixel)(int x, int y);
};

// The per-task drawing context (the fields these modules use).
struct GUI_CONTEXT {
  uint32_t ColorIndex;
  uint32_t BkColorIndex;
  GUI_RECT ClipRect;
  uint8_t DrawMode;
  uint8_t SelLayer;
  uint8_t TextStyle;
  GUI_RECT* pClipRect_HL;  // active clip rectangle; null while a rotation is selected
  uint8_t PenSize;
  uint8_t PenShape;
  uint8_t LineStyle;
  uint8_t StyleLineThickness;
  const GUI_FONT* pAFont;
  int16_t LBorder;
  int16_t DispPosX, DispPosY;
  int16_t DrawPosX, DrawPosY;
  int16_t TextMode;
  int16_t TextAlign;
  GUI_COLOR Color;
  GUI_COLOR BkColor;
  uint32_t* LCD_pColorIndex;
  uint32_t* LCD_pBkColorIndex;
  int32_t xOff, yOff;  // window origin: window coordinates + offset = screen coordinates
  const LCD_API_LINE_PIXEL* pLCD_HL;
};

extern GUI_CONTEXT* GUI_pContext;

int GUI_Lock();
void GUI_Unlock();

void GUI_ErrorOut(const char* s);
int GUI_SignalEvent();
void GUI_WaitEvent();
int32_t GUI_GetTime();
// Exec step of the input module; GUI_Delay runs it while it waits.
extern int (*GUI__pfExec)();

char GUI_GetDecChar();
GUI_COLOR GUI_GetColor();
void GUI_SetColor(GUI_COLOR color);
void GUI_SetBkColor(GUI_COLOR color);
void GUI_ClearRect(int x0, int y0, int x1, int y1);

void* GUI_ALLOC_h2p(GUI_HMEM h);
GUI_HMEM GUI_ALLOC_AllocNoInit(int32_t size);
int32_t GUI_ALLOC_GetSize(GUI_HMEM h);
void GUI_ALLOC_Free(GUI_HMEM h);

// Memory fill and copy of the library (through the application's hooks).
void* GUI__memset(void* p, int c, size_t n);
void* GUI__memcpy(void* d, const void* s, size_t n);

// Visible rectangles of the window being drawn: each call sets the context's clip
// rectangle to the next one (limited to pRect, screen coordinates, when given) and returns
// non-zero while there is one. Without a window manager there is one pass.
int WM__IterateStart(const GUI_RECT* pRect);
int WM__IterateNext();

void LCD_SetColor(GUI_COLOR color);
void LCD_SetBkColor(GUI_COLOR color);
void LCD_SetColorIndex(uint32_t index);
uint32_t LCD_GetColorIndex();
uint32_t LCD_GetBkColorIndex();
int LCD_SetDrawMode(int mode);
uint32_t LCD_Color2Index(GUI_COLOR color);
GUI_COLOR LCD_Index2Color(uint32_t index);
int LCD_GetXSize();
int LCD_GetYSize();

void LCD_DrawPixel(int x, int y);
void LCD_SetPixelIndex(int x, int y, uint32_t index);
uint32_t LCD_GetPixelIndex(int x, int y);
void LCD_DrawHLine(int x0, int y, int x1);
void LCD_DrawVLine(int x, int y0, int y1);
void LCD_FillRect(int x0, int y0, int x1, int y1);
void LCD_DrawBitmap(int x0, int y0, int xSize, int ySize, int xMag, int yMag, int bitsPerPixel,
                    int bytesPerLine, const uint8_t* pData, const uint32_t* pTrans);
// Override of the bitmap path (null = the normal path); rotated text installs its drawer.
typedef void LCD_DRAWBITMAP_FUNC(int x0, int y0, int xSize, int ySize, int xMag, int yMag,
                                 int bitsPerPixel, int bytesPerLine, const uint8_t* pData,
                                 int diff, const uint32_t* pTrans);
extern LCD_DRAWBITMAP_FUNC* LCD__pfDrawBitmapOverride;

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

// The 8-pixel fixed-width default font.
extern const GUI_FONT GUI_Font8_1;
