// Window-level drawing of the graphics library: pixels, lines, rectangles, circles, arcs,
// polygons, graphs, gradients and rounded shapes; text output and layout, rotated text,
// number output; character encodings, rectangle helpers and fixed-point trigonometry.
//
// Coordinates are window coordinates: the window origin of the drawing context is added, the
// GUI lock is held, and the drawing is repeated for each visible rectangle of the window.
#pragma once

#include <cstdint>

#include "gui/GUI.h"
#include "gui/LCD.h"
#include "gui/draw/GUI_Font.h"

using LCD_PIXELINDEX = uint32_t;

// ---- Lines, pen and line styles ------------------------------------------------------------
constexpr int GUI_LS_SOLID = 0;
constexpr int GUI_LS_DASH = 1;
constexpr int GUI_LS_DOT = 2;
constexpr int GUI_LS_DASHDOT = 3;
constexpr int GUI_LS_DASHDOTDOT = 4;
constexpr int GUI_PS_ROUND = 0;
constexpr int GUI_PS_FLAT = 1;

struct GUI_POINT {
  int16_t x, y;
};

void GUI_DrawPixel(int x, int y);
void GUI_DrawPoint(int x, int y);
void GUI_DrawHLine(int y, int x0, int x1);
void GUI_DrawVLine(int x, int y0, int y1);
void GUI_DrawLine(int x0, int y0, int x1, int y1);
void GUI_DrawLineRel(int dx, int dy);
void GUI_DrawLineTo(int x, int y);
void GUI_MoveRel(int dx, int dy);
void GUI_MoveTo(int x, int y);
void GUI_DrawPolyLine(const GUI_POINT* pPoints, int numPoints, int x0, int y0);
void GUI_DrawPolygon(const GUI_POINT* pPoints, int numPoints, int x0, int y0);
void GUI_DrawGraph(const int16_t* paY, int numPoints, int x0, int y0);

// Screen-coordinate inner drawers (caller holds the lock and has set the clip rectangle).
void GUI__DrawLine(int x0, int y0, int x1, int y1, int* pStyleCount);
void GUI__FillCircle(int x0, int y0, int r);
void GUI__DrawCircle(int x0, int y0, int r);

// ---- Rectangles and circles -----------------------------------------------------------------
void GUI_FillRect(int x0, int y0, int x1, int y1);
void GUI_FillRectEx(const GUI_RECT* pRect);
void GUI_DrawRect(int x0, int y0, int x1, int y1);
void GUI_DrawRectEx(const GUI_RECT* pRect);
void GUI_DrawFocusRect(const GUI_RECT* pRect, int dist);
void GUI_DrawCircle(int x0, int y0, int r);
void GUI_FillCircle(int x0, int y0, int r);

// ---- Fixed-point trigonometry, arcs, ellipses, polygon fill, graphs ----------------------
unsigned GUI__sqrt32(uint32_t v);
int32_t GUI__SinHQ(int32_t angle1000);
int32_t GUI__CosHQ(int32_t angle1000);
int32_t GUI__asin(int32_t v);
int32_t GUI__atan2(int32_t x, int32_t y, int32_t* pLength);
void GUI_MagnifyPolygon(GUI_POINT* pDest, const GUI_POINT* pSrc, int numPoints, int factor);
void GUI_RotatePolygon(GUI_POINT* pDest, const GUI_POINT* pSrc, int numPoints, float angle);
void GUI__FillPolygon(const GUI_POINT* pPoints, int numPoints, int x0, int y0);
void GUI_FillPolygon(const GUI_POINT* pPoints, int numPoints, int x0, int y0);
void GUI_DrawArc(int xc, int yc, int rx, int ry, int a0, int a1);
void GUI_DrawGraphEx(const int16_t* paY, int numPoints, int x0, int y0, int mul, int div, int reverse);
void GUI__FillEllipseHalves(int xc, int yc, int rx, int ry);
void GUI__FillEllipseRing(int xc, int yc, int rx, int ry, int width);

// ---- Gradients and rounded shapes ------------------------------------------------------------
void GUI_DrawGradientV(int x0, int y0, int x1, int y1, GUI_COLOR color0, GUI_COLOR color1);
void GUI_DrawGradientH(int x0, int y0, int x1, int y1, GUI_COLOR color0, GUI_COLOR color1);
void GUI_DrawRoundedTop(int x0, int x1, int y0, int r, GUI_COLOR c0, GUI_COLOR c1, GUI_COLOR c2);
void GUI_FillRoundedRect(int x0, int y0, int x1, int y1, int r, GUI_COLOR c0, GUI_COLOR c1, GUI_COLOR c2);
void GUI_DrawRingedCircle(int x0, int y0, int d, GUI_COLOR c0, GUI_COLOR c1, GUI_COLOR c2);
// A drawing object is a memory block that starts with its draw function.
using GUI_DRAW_FUNC = void (*)(GUI_HMEM hObj, int x, int y, int param);
void GUI_DRAW__Draw(GUI_HMEM hDrawObj, int x, int y, int param);

// ---- Text output and layout ------------------------------------------------------------------
constexpr int GUI_TA_LEFT = 0;
constexpr int GUI_TA_RIGHT = 1;
constexpr int GUI_TA_HCENTER = 2;
constexpr int GUI_TA_HORIZONTAL = 3;
constexpr int GUI_TA_TOP = 0;
constexpr int GUI_TA_BOTTOM = 4;
constexpr int GUI_TA_BASELINE = 8;
constexpr int GUI_TA_VCENTER = 12;
constexpr int GUI_TA_VERTICAL = 12;

// GUI_TEXTMODE_NORMAL (0) and GUI_TEXTMODE_TRANS (2) are the core's.
constexpr int GUI_TEXTMODE_XOR = 1;
constexpr int GUI_TEXTMODE_REV = 4;

constexpr int GUI_TS_NORMAL = 0;
constexpr int GUI_TS_UNDERLINE = 1;
constexpr int GUI_TS_STRIKETHRU = 2;
constexpr int GUI_TS_OVERLINE = 4;

constexpr int GUI_WRAPMODE_NONE = 0;
constexpr int GUI_WRAPMODE_WORD = 1;
constexpr int GUI_WRAPMODE_CHAR = 2;

struct GUI_ROTATION;


void GUI_DispString(const char* s);
void GUI_DispStringAt(const char* s, int x, int y);
void GUI_DispStringAtCEOL(const char* s, int x, int y);
void GUI_DispStringHCenterAt(const char* s, int x, int y);
void GUI_DispStringLen(const char* s, int numChars);
void GUI_DispCEOL();
void GUI_DispStringInRect(const char* s, GUI_RECT* pRect, int align);
void GUI_DispStringInRectMax(const char* s, GUI_RECT* pRect, int align, int maxChars);
void GUI_DispStringInRectWrap(const char* s, GUI_RECT* pRect, int align, int wrapMode);
void GUI_DispStringInRectEx(const char* s, GUI_RECT* pRect, int align, int maxChars,
                            const GUI_ROTATION* pRotation);
int GUI_WrapGetNumLines(const char* s, int xSize, int wrapMode);
int GUI_WrapGetPositions(const char* s, int xSize, int wrapMode, int* paPos, int numItems);
void GUI_SetWrapChars(const uint16_t* pList, int numChars);
int GUI_GetStringDistX(const char* s);
void GUI__CalcTextRect(const char* s, const GUI_RECT* pTextRectIn, GUI_RECT* pTextRectOut, int align);
void GUI_DispChar(uint16_t c);
void GUI_DispNextLine();
int GUI_GetTextAlignOffsetY();
int GUI_GetFontDistY();
int GUI_GetFontSizeY();
int GUI_GetCharDistX(uint16_t c);
int GUI_GetCharDistXEx(uint16_t c, int* pSizeX);
int GUI_GetYSizeOfFont(const GUI_FONT* pFont);

// Called with every character that `GUI_DispChar` draws (null: none).
using GUI_CHAR_HOOK = void (*)(uint16_t c);
GUI_CHAR_HOOK GUI_SetCharHook(GUI_CHAR_HOOK pfHook);

// Inner line drawing and line length (caller holds the lock).
int GUI__GetLineNumChars(const char* s, int maxNumChars);
int GUI__GetLineDistX(const char* s, int numChars);
int GUI__WrapGetNumCharsDisp(const char* s, int xSize, int wrapMode);
int GUI__WrapGetNumCharsToNextLine(const char* s, int xSize, int wrapMode);
void GUI__DispLine(const char* s, int numChars, const GUI_RECT* pRect);

// Number output at the text position.
void GUI_DispBin(uint32_t v, uint8_t len);
void GUI_DispHex(uint32_t v, uint8_t len);
void GUI_AddBin(uint32_t v, uint8_t len, char** ps);
void GUI_AddHex(uint32_t v, uint8_t len, char** ps);

// ---- Rotated text ------------------------------------------------------------------------------
struct GUI_ROTATION {
  LCD_DRAWBITMAP_FUNC* pfDrawBitmap;
  void (*pfRect2TextRect)(GUI_RECT* pRect);
  void (*pfTransformRect)(GUI_RECT* pRect);
};
extern const GUI_ROTATION GUI_ROTATE_CCW_Record;
extern const GUI_ROTATION GUI_ROTATE_CW_Record;
extern const GUI_ROTATION GUI_ROTATE_180_Record;
#define GUI_ROTATE_0 (static_cast<const GUI_ROTATION*>(nullptr))
#define GUI_ROTATE_CCW (&GUI_ROTATE_CCW_Record)
#define GUI_ROTATE_CW (&GUI_ROTATE_CW_Record)
#define GUI_ROTATE_180 (&GUI_ROTATE_180_Record)

// The rotation selected while rotated text is drawn (null otherwise); selecting one makes it
// the LCD level's bitmap override, so that glyph bitmaps are drawn through it.
extern const GUI_ROTATION* GUI__pRotation;
const GUI_ROTATION* GUI_SetRotation(const GUI_ROTATION* pRotation);
// The rectangle given to GUI_DispStringInRectEx, before adjustment (window coordinates).
void GUI__SetRotationRect(const GUI_RECT* pRect);

// ---- Number and float formatting --------------------------------------------------------------
int GUI__CountDecDigits(int32_t v);
int32_t GUI__AddPlusSign(int32_t v, char** ps);
int GUI__AddMinusSign(int32_t* pv, char** ps);
char* GUI_AddDecShift(int32_t v, uint8_t len, uint8_t shift, char** ps);
char* GUI_AddDecMin(int32_t v, char** ps);
void GUI_DispDecShift(int32_t v, uint8_t len, uint8_t shift);
void GUI_DispSDecShift(int32_t v, uint8_t len, uint8_t shift);
void GUI_DispDec(int32_t v, uint8_t len);
void GUI_DispSDec(int32_t v, uint8_t len);
void GUI_DispDecMin(int32_t v);
void GUI_DispDecSpace(int32_t v, uint8_t maxDigits);
void GUI_DispDecAt(int32_t v, int x, int y, uint8_t len);
float GUI__RoundFloat(float f);
void GUI__DispFloatFix(float f, uint8_t len, uint8_t decimals, int withSign);
void GUI_DispFloatFix(float f, uint8_t len, uint8_t decimals);
void GUI_DispSFloatFix(float f, uint8_t len, uint8_t decimals);
void GUI_DispFloat(float f, uint8_t decimals);
void GUI_DispSFloat(float f, uint8_t decimals);
void GUI_DispFloatWidth(float f, uint8_t width);
int GUI__GetFirstDecimalPos(float f);

// ---- Character encodings ---------------------------------------------------------------------
struct GUI_UC_ENC_APILIST {
  uint16_t (*pfGetCharCode)(const char* s);
  int (*pfGetCharSize)(const char* s);
  int (*pfCalcSizeOfChar)(uint16_t c);
  int (*pfEncode)(char* s, uint16_t c);
};
void GUI_UC_SetEncodeNone();
int GUI_UC_GetCharSize(const char* s);
uint16_t GUI_UC_GetCharCode(const char* s);
int GUI_UC_Encode(char* s, uint16_t c);
int GUI_UC_CalcSizeOfChar(uint16_t c);
uint16_t GUI_UC_GetCharCodeInc(const char** ps);
int GUI_UC_CharsToBytes(const char* s, int numChars);
int GUI_UC_BytesToChars(const char* s, int numBytes);
int GUI_UC_CountChars(const char* s);
int GUI__HandleEOLine(const char** ps);

// ---- Rectangles and arithmetic ---------------------------------------------------------------
void GUI_MergeRect(GUI_RECT* pDest, const GUI_RECT* pr0, const GUI_RECT* pr1);
void GUI_MoveRect(GUI_RECT* pRect, int dx, int dy);
int GUI_RectsOverlap(const GUI_RECT* pr0, const GUI_RECT* pr1);
void GUI__IntersectRect(GUI_RECT* pDest, const GUI_RECT* pr0);
int GUI__IntersectRects(GUI_RECT* pDest, const GUI_RECT* pr0, const GUI_RECT* pr1);
void GUI__ReduceRect(GUI_RECT* pDest, const GUI_RECT* pRect, int dist);
void GUI__ExpandRect(GUI_RECT* pDest, const GUI_RECT* pRect, int dist);
// The inside rectangle of the window being drawn (window coordinates); null ignored.
void GUI__GetInsideRect(GUI_RECT* pRect);
int GUI__DivideRound(int a, int b);
int GUI__DivideRoundPos(int a, int b);

// ---- Memory and strings ----------------------------------------------------------------------
void GUI__memset16(uint16_t* p, uint16_t fill, int numWords);
uint16_t GUI__Read16(const uint8_t** ppData);
uint32_t GUI__Read32(const uint8_t** ppData);
int GUI__strlen(const char* s);
int GUI__strcmp(const char* s0, const char* s1);
// Stores a copy of s in the handle's block (a new block when the size differs); 1 when the
// text changed, 0 when it was the same or no memory was left.
int GUI__SetText(GUI_HMEM* phText, const char* s);
// Per-layer record of the animated cursor.
void GUI_CURSOR__SetAnimSlot(int layer, const void* pData, void (*pfHook)());
int GUI_CURSOR__GetAnimSlot(int layer, const void** ppData, void (**ppfHook)());

// ---- Pixels of bitmap data and single characters ---------------------------------------------
LCD_PIXELINDEX GUI__GetPixelIndexFromData(int bitsPerPixel, int bytesPerLine, const uint8_t* pData, int x, int y);
// The same for a bitmap record: 0 for a null bitmap, a bitmap without data or a pixel outside it.
struct GUI_BITMAP;
LCD_PIXELINDEX GUI_GetBitmapPixelIndex(const GUI_BITMAP* pBitmap, unsigned x, unsigned y);
// The palette colour of that pixel; GUI_INVALID_COLOR for the transparent index 0 of a palette
// with transparency, for a bitmap without palette, a pixel outside the bitmap and an index
// beyond the palette.
GUI_COLOR GUI_GetBitmapPixelColor(const GUI_BITMAP* pBitmap, unsigned x, unsigned y);
// Drawing returns from a selected memory device to the display, with the window manager active.
void GUI_SelectLCD();
// Sets the user clip rectangle of the window manager; returns the previous one.
const GUI_RECT* GUI_SetClipRect(const GUI_RECT* pRect);
// The layer's colour lookup table and the top device's origin.
void LCD_SetOrgDevice(int x, int y);
int LCD_GetLUTIndex(GUI_COLOR color);
GUI_COLOR LCD_GetLUTEntry(uint8_t index);
unsigned LCD_GetLUTIndexMask();
void GUI_SetLUTEx(int layer, const GUI_LOGPALETTE* pPalette);
void GUI_SetLUT(const GUI_LOGPALETTE* pPalette);
void GUI_DispCharWindow(uint16_t c);
void GUI_DispCharAt(uint16_t c, int x, int y);
void GUI_DispChars(uint16_t c, int cnt);
