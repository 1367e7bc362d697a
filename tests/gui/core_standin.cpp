#include "core_standin.h"

#include <cstring>

#include "gui/draw/GUI_Draw.h"

namespace {

uint16_t gFrame[standin::kYSize][standin::kXSize];
GUI_CONTEXT gContext;
LCD_PIXELINDEX gIndex, gBkIndex;
std::vector<std::string> gErrors;
int gLockDepth;
int gDecChar = '.';

const LCD_API_LINE_PIXEL kHL = {LCD_DrawHLine, LCD_DrawPixel};

uint32_t expand5(uint32_t v) { return (v * 255 + 15) / 31; }
uint32_t expand6(uint32_t v) { return (v * 255 + 31) / 63; }

bool inClip(int x, int y) {
  const GUI_RECT& c = gContext.ClipRect;
  return x >= c.x0 && x <= c.x1 && y >= c.y0 && y <= c.y1;
}

void setIndex(int x, int y, LCD_PIXELINDEX i) {
  if (x >= 0 && x < standin::kXSize && y >= 0 && y < standin::kYSize) gFrame[y][x] = static_cast<uint16_t>(i);
}

void putPixel(int x, int y) {
  if (gContext.DrawMode & GUI_DRAWMODE_XOR)
    setIndex(x, y, LCD_GetPixelIndex(x, y) ^ 0xFFFF);
  else
    setIndex(x, y, *gContext.LCD_pColorIndex);
}

}  // namespace

GUI_CONTEXT* GUI_pContext = &gContext;

namespace standin {

void reset() {
  std::memset(gFrame, 0, sizeof gFrame);
  gContext = GUI_CONTEXT{};
  gContext.ClipRect = {0, 0, kXSize - 1, kYSize - 1};
  gContext.pClipRect_HL = &gContext.ClipRect;
  gContext.PenSize = 1;
  gContext.StyleLineThickness = 1;
  gContext.pAFont = (&GUI_Font8_1);
  gContext.Color = GUI_INVALID_COLOR;
  gContext.BkColor = GUI_INVALID_COLOR;
  gContext.LCD_pColorIndex = &gIndex;
  gContext.LCD_pBkColorIndex = &gBkIndex;
  gContext.pLCD_HL = &kHL;
  LCD_SetBkColor(0x000000);
  LCD_SetColor(0xFFFFFF);
  gErrors.clear();
  gDecChar = '.';
  GUI__pRotation = nullptr;
  LCD__pfDrawBitmapOverride = nullptr;
  GUI_SetCharHook(nullptr);
}

uint16_t pixel(int x, int y) { return gFrame[y][x]; }

draw_golden::Image capture(int x0, int y0, int x1, int y1) {
  draw_golden::Image img;
  img.width = x1 - x0 + 1;
  img.height = y1 - y0 + 1;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const uint32_t i = gFrame[y][x];
      img.rgb.push_back(static_cast<uint8_t>(expand5(i >> 11)));
      img.rgb.push_back(static_cast<uint8_t>(expand6((i >> 5) & 63)));
      img.rgb.push_back(static_cast<uint8_t>(expand5(i & 31)));
    }
  return img;
}

int countLit(int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) n += gFrame[y][x] != 0;
  return n;
}

const std::vector<std::string>& errors() { return gErrors; }

}  // namespace standin

int GUI_Lock() { return ++gLockDepth; }
void GUI_Unlock() { --gLockDepth; }
void GUI_ErrorOut(const char* s) { gErrors.emplace_back(s); }
int GUI_SignalEvent() { return 0; }
void GUI_WaitEvent() {}
int32_t GUI_GetTime() { return 0; }
int (*GUI__pfExec)();
char GUI_GetDecChar() { return static_cast<char>(gDecChar); }
void* GUI__memset(void* p, int c, size_t n) { return std::memset(p, c, n); }
void* GUI__memcpy(void* d, const void* s, size_t n) { return std::memcpy(d, s, n); }
int LCD_GetXSize() { return standin::kXSize; }
int LCD_GetYSize() { return standin::kYSize; }
// Without a window manager: one pass with the clip rectangle as it is.
int WM__IterateStart(const GUI_RECT*) { return 1; }
int WM__IterateNext() { return 0; }
LCD_DRAWBITMAP_FUNC* LCD__pfDrawBitmapOverride;

LCD_PIXELINDEX LCD_Color2Index(GUI_COLOR c) {
  const uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  return (((r * 31 + 128) / 255) << 11) | (((g * 63 + 127) / 255) << 5) | ((b * 31 + 128) / 255);
}
GUI_COLOR LCD_Index2Color(LCD_PIXELINDEX i) {
  return expand5(i >> 11) | (expand6((i >> 5) & 63) << 8) | (expand5(i & 31) << 16);
}

void LCD_SetColor(GUI_COLOR c) {
  if (c != gContext.Color) {
    gContext.Color = c;
    *gContext.LCD_pColorIndex = LCD_Color2Index(c);
  }
}
void LCD_SetBkColor(GUI_COLOR c) {
  if (c != gContext.BkColor) {
    gContext.BkColor = c;
    *gContext.LCD_pBkColorIndex = LCD_Color2Index(c);
  }
}
void GUI_SetColor(GUI_COLOR c) { LCD_SetColor(c); }
void GUI_SetBkColor(GUI_COLOR c) { LCD_SetBkColor(c); }
GUI_COLOR GUI_GetColor() { return LCD_Index2Color(*gContext.LCD_pColorIndex); }
void LCD_SetColorIndex(LCD_PIXELINDEX i) {
  if (gContext.DrawMode & GUI_DRAWMODE_REV)
    *gContext.LCD_pBkColorIndex = i;
  else
    *gContext.LCD_pColorIndex = i;
}
LCD_PIXELINDEX LCD_GetColorIndex() { return *gContext.LCD_pColorIndex; }
LCD_PIXELINDEX LCD_GetBkColorIndex() { return *gContext.LCD_pBkColorIndex; }
int LCD_SetDrawMode(int mode) {
  const int old = gContext.DrawMode;
  if ((old ^ mode) & GUI_DRAWMODE_REV) {
    const LCD_PIXELINDEX t = gIndex;
    gIndex = gBkIndex;
    gBkIndex = t;
  }
  gContext.DrawMode = static_cast<uint8_t>(mode);
  return old;
}

void LCD_DrawPixel(int x, int y) {
  if (inClip(x, y)) putPixel(x, y);
}
void LCD_SetPixelIndex(int x, int y, LCD_PIXELINDEX i) {
  if (inClip(x, y)) setIndex(x, y, i);
}
LCD_PIXELINDEX LCD_GetPixelIndex(int x, int y) {
  if (x < 0 || x >= standin::kXSize || y < 0 || y >= standin::kYSize) return 0;
  return gFrame[y][x];
}
void LCD_DrawHLine(int x0, int y, int x1) {
  const GUI_RECT& c = gContext.ClipRect;
  if (y < c.y0 || y > c.y1) return;
  if (x0 < c.x0) x0 = c.x0;
  if (x1 > c.x1) x1 = c.x1;
  for (int x = x0; x <= x1; ++x) putPixel(x, y);
}
void LCD_DrawVLine(int x, int y0, int y1) {
  const GUI_RECT& c = gContext.ClipRect;
  if (x < c.x0 || x > c.x1) return;
  if (y0 < c.y0) y0 = c.y0;
  if (y1 > c.y1) y1 = c.y1;
  for (int y = y0; y <= y1; ++y) putPixel(x, y);
}
void LCD_FillRect(int x0, int y0, int x1, int y1) {
  for (int y = y0; y <= y1; ++y) LCD_DrawHLine(x0, y, x1);
}
void LCD_DrawBitmap(int x0, int y0, int xsize, int ysize, int xmag, int ymag, int bpp, int bytesPerLine,
                    const uint8_t* pData, const LCD_PIXELINDEX* pTrans) {
  if (LCD__pfDrawBitmapOverride) {
    LCD__pfDrawBitmapOverride(x0, y0, xsize, ysize, xmag, ymag, bpp, bytesPerLine, pData, 0, pTrans);
    return;
  }
  const LCD_PIXELINDEX saved = *gContext.LCD_pColorIndex;
  for (int y = 0; y < ysize; ++y)
    for (int x = 0; x < xsize; ++x) {
      const LCD_PIXELINDEX v = GUI__GetPixelIndexFromData(bpp, bytesPerLine, pData, x, y);
      if ((gContext.DrawMode & GUI_DRAWMODE_TRANS) && v == 0) continue;
      if ((gContext.DrawMode & GUI_DRAWMODE_XOR) && v == 0) continue;
      *gContext.LCD_pColorIndex = pTrans ? pTrans[v] : v;
      const int px = x0 + x * xmag, py = y0 + y * ymag;
      for (int yy = 0; yy < ymag; ++yy)
        for (int xx = 0; xx < xmag; ++xx) LCD_DrawPixel(px + xx, py + yy);
    }
  *gContext.LCD_pColorIndex = saved;
}

// Context setters of the core.
int GUI_SetPenSize(int v) { const int o = gContext.PenSize; gContext.PenSize = static_cast<uint8_t>(v); return o; }
int GUI_GetPenSize() { return gContext.PenSize; }
int GUI_SetPenShape(int v) { const int o = gContext.PenShape; gContext.PenShape = static_cast<uint8_t>(v); return o; }
int GUI_GetPenShape() { return gContext.PenShape; }
int GUI_SetLineStyle(int v) { const int o = gContext.LineStyle; gContext.LineStyle = static_cast<uint8_t>(v); return o; }
int GUI_GetLineStyle() { return gContext.LineStyle; }
const GUI_FONT* GUI_SetFont(const GUI_FONT* f) {
  const GUI_FONT* o = gContext.pAFont;
  if (f) gContext.pAFont = f;
  return o;
}
const GUI_FONT* GUI_GetFont() { return gContext.pAFont; }
int GUI_SetTextAlign(int v) { const int o = gContext.TextAlign; gContext.TextAlign = static_cast<int16_t>(v); return o; }
int GUI_GetTextAlign() { return gContext.TextAlign; }
int GUI_SetTextMode(int v) {
  const int o = gContext.TextMode;
  gContext.TextMode = static_cast<int16_t>(v);
  return o;
}
int GUI_GetTextMode() { return gContext.TextMode; }
int GUI_SetTextStyle(int v) { const int o = gContext.TextStyle; gContext.TextStyle = static_cast<uint8_t>(v); return o; }
int GUI_SetLBorder(int v) { const int o = gContext.LBorder; gContext.LBorder = static_cast<int16_t>(v); return o; }
int GUI_GotoX(int x) { gContext.DispPosX = static_cast<int16_t>(x); return 0; }
int GUI_GotoY(int y) { gContext.DispPosY = static_cast<int16_t>(y); return 0; }
int GUI_GotoXY(int x, int y) { GUI_GotoX(x); GUI_GotoY(y); return 0; }
int GUI_GetDispPosX() { return gContext.DispPosX; }
int GUI_GetDispPosY() { return gContext.DispPosY; }

void GUI_ClearRect(int x0, int y0, int x1, int y1) {
  const int old = LCD_SetDrawMode(GUI_DRAWMODE_REV);
  LCD_FillRect(x0 + gContext.xOff, y0 + gContext.yOff, x1 + gContext.xOff, y1 + gContext.yOff);
  LCD_SetDrawMode(old);
}

// Handle memory: handle n is block n - 1 of a small table.
std::vector<std::vector<uint8_t>> gBlocks;
void* GUI_ALLOC_h2p(GUI_HMEM h) {
  if (h <= 0 || h > static_cast<GUI_HMEM>(gBlocks.size())) return nullptr;
  return gBlocks[h - 1].data();
}
GUI_HMEM GUI_ALLOC_AllocNoInit(int n) {
  if (n <= 0) return 0;
  gBlocks.emplace_back(static_cast<size_t>(n), 0);
  return static_cast<GUI_HMEM>(gBlocks.size());
}
int GUI_ALLOC_GetSize(GUI_HMEM h) {
  return h > 0 && h <= static_cast<GUI_HMEM>(gBlocks.size()) ? static_cast<int>(gBlocks[h - 1].size()) : 0;
}
void GUI_ALLOC_Free(GUI_HMEM h) {
  if (h > 0 && h <= static_cast<GUI_HMEM>(gBlocks.size())) gBlocks[h - 1].clear();
}
namespace standin {
GUI_HMEM alloc(const void* p, int n) {
  gBlocks.emplace_back(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
  return static_cast<GUI_HMEM>(gBlocks.size());
}
}  // namespace standin

namespace standin {
void setDecChar(int c) { gDecChar = c; }
}  // namespace standin
