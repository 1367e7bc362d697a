// Text output: strings at the text position, in rectangles with alignment, with word and
// character wrapping; single characters, text style lines and the layout helpers.
#include <algorithm>

#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_DrawIf.h"
#include "gui/WM.h"

namespace {

constexpr int kMaxWrapChars = 16;
uint16_t gWrapChars[kMaxWrapChars];
int gNumWrapChars;
GUI_CHAR_HOOK gCharHook;

const GUI_FONT* font() { return GUI_pContext->pAFont; }

int charDist(uint16_t c) {
  if (c == '\r') return 0;
  return font()->pfGetCharDistX(c, nullptr);
}

bool isWrapChar(uint16_t c) {
  for (int i = 0; i < gNumWrapChars; ++i)
    if (gWrapChars[i] == c) return true;
  return false;
}

// Vertical offset of the alignment at a text position (font height without magnification).
int alignOffsetY() {
  const int h = font()->YSize;
  switch (GUI_pContext->TextAlign & GUI_TA_VERTICAL) {
    case GUI_TA_BOTTOM:
      return h - 1;
    case GUI_TA_BASELINE:
    case GUI_TA_VCENTER:
      return h / 2;
    default:
      return 0;
  }
}

int fontSizeY() { return font()->YSize * font()->YMag; }
// Height of the rectangle a text line draws in: it covers the line distance too, as fixed
// fonts clear the rows between lines.
int lineSizeY() { return std::max<int>(font()->YSize, font()->YDist) * font()->YMag; }

// Underline, strike-through and overline across one character drawn from x0 to x1 - 1.
void drawStyleLines(int x0, int x1, int y) {
  const int style = GUI_pContext->TextStyle;
  if (!style || x1 <= x0 || GUI__pRotation) return;
  const GUI_FONT* f = font();
  const int thick = GUI_pContext->StyleLineThickness ? GUI_pContext->StyleLineThickness : 1;
  auto row = [&](int r) { LCD_FillRect(x0, y + r, x1 - 1, y + r + thick - 1); };
  if (style & GUI_TS_UNDERLINE) row(std::min<int>(f->Baseline, f->YSize - 1));
  if (style & GUI_TS_STRIKETHRU) row(f->Baseline - (f->CHeight + 1) / 2);
  if (style & GUI_TS_OVERLINE) {
    int r = f->Baseline - f->CHeight;
    if (r > 0) --r;
    row(r);
  }
}

// The characters of one line, drawn at the current text position.
void drawChars(const char* s, int numChars) {
  const GUI_FONT* f = font();
  if (f->pLineAPI && f->pLineAPI->pfDispLine) {
    f->pLineAPI->pfDispLine(s, numChars);
    return;
  }
  while (numChars-- > 0) {
    const uint16_t c = GUI_UC_GetCharCodeInc(&s);
    if (c == '\r') continue;
    const int x0 = GUI_pContext->DispPosX;
    f->pfDispChar(c);
    drawStyleLines(x0, GUI_pContext->DispPosX, GUI_pContext->DispPosY);
  }
}

// Vertical start of `numLines` lines in a rectangle: bits 4 and 8 bottom, 12 centre.
int rectStartY(const GUI_RECT& r, int align, int numLines) {
  const int h = numLines * GUI_pContext->pAFont->YDist;
  switch (align & GUI_TA_VERTICAL) {
    case GUI_TA_BOTTOM:
    case GUI_TA_BASELINE:
      return r.y1 - h + 1;
    case GUI_TA_VCENTER:
      return r.y0 + (r.y1 - r.y0 - h + 1) / 2;
    default:
      return r.y0;
  }
}

int rectStartX(const GUI_RECT& r, int align, int width) {
  switch (align & GUI_TA_HORIZONTAL) {
    case GUI_TA_RIGHT:
      return r.x1 - width + 1;
    case GUI_TA_HCENTER:
      return r.x0 + (r.x1 - r.x0 - width) / 2;
    default:
      return r.x0;
  }
}

// Lays out the lines of s (up to maxChars characters) in the rectangle; wrapMode < 0 breaks
// lines only at line feeds.
void layoutInRect(const char* s, const GUI_RECT& r, int align, int maxChars, int wrapMode) {
  const int width = r.x1 - r.x0 + 1;
  const int mode = wrapMode < 0 ? GUI_WRAPMODE_NONE : wrapMode;
  // Count the lines first for the vertical alignment.
  int numLines = 0;
  {
    const char* p = s;
    int left = maxChars;
    while (*p && left > 0) {
      const int n = GUI__WrapGetNumCharsToNextLine(p, width, mode);
      p += GUI_UC_CharsToBytes(p, n);
      left -= n;
      ++numLines;
    }
  }
  int y = rectStartY(r, align, numLines);
  const int h = lineSizeY();
  while (*s && maxChars > 0) {
    int n = GUI__WrapGetNumCharsDisp(s, width, mode);
    if (n > maxChars) n = maxChars;
    const int w = GUI__GetLineDistX(s, n);
    const int x = rectStartX(r, align, w);
    const GUI_RECT line = {static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(x + w - 1),
                           static_cast<int16_t>(y + h - 1)};
    GUI__DispLine(s, n, &line);
    const int next = GUI__WrapGetNumCharsToNextLine(s, width, mode);
    s += GUI_UC_CharsToBytes(s, next);
    maxChars -= next;
    y += GUI_pContext->pAFont->YDist;
  }
}

// The rectangle to draw in, in window coordinates: the given one, or the whole display.
GUI_RECT rectOrWindow(const GUI_RECT* pRect) {
  if (pRect) return *pRect;
  return {0, 0, static_cast<int16_t>(LCD_GetXSize() - 1), static_cast<int16_t>(LCD_GetYSize() - 1)};
}

// Limits drawing to a rectangle (window coordinates) for the duration of one output: the
// user clip rectangle of the window manager becomes its intersection with the current one
// and is restored afterwards.
class ClipToRect {
 public:
  explicit ClipToRect(const GUI_RECT& r) : rect_(r) {
    if (const GUI_RECT* pOld = GUI_pContext->WM_pUserClipRect) GUI__IntersectRect(&rect_, pOld);
    saved_ = WM_SetUserClipRect(&rect_);
  }
  ~ClipToRect() { WM_SetUserClipRect(saved_); }
  ClipToRect(const ClipToRect&) = delete;
  ClipToRect& operator=(const ClipToRect&) = delete;

 private:
  GUI_RECT rect_;
  const GUI_RECT* saved_;
};

void dispInRect(const char* s, const GUI_RECT* pRect, int align, int maxChars, int wrapMode) {
  if (!s) return;
  GUI_Lock();
  const GUI_RECT r = rectOrWindow(pRect);
  {
    ClipToRect clip(r);
    layoutInRect(s, r, align, maxChars, wrapMode);
  }
  GUI_Unlock();
}

}  // namespace

// ---- Lines -------------------------------------------------------------------------------------

int GUI__GetLineNumChars(const char* s, int maxNumChars) {
  int n = 0;
  if (!s) return 0;
  while (n < maxNumChars) {
    const uint16_t c = GUI_UC_GetCharCode(s);
    if (c == 0 || c == '\n') break;
    s += GUI_UC_GetCharSize(s);
    ++n;
  }
  return n;
}

int GUI__GetLineDistX(const char* s, int numChars) {
  const GUI_FONT* f = font();
  if (f->pLineAPI && f->pLineAPI->pfGetLineDistX) return f->pLineAPI->pfGetLineDistX(s, numChars);
  int w = 0;
  while (numChars-- > 0) w += charDist(GUI_UC_GetCharCodeInc(&s));
  return w;
}

void GUI__DispLine(const char* s, int numChars, const GUI_RECT* pRect) {
  GUI_CONTEXT* ctx = GUI_pContext;
  GUI_RECT r = *pRect;
  const GUI_ROTATION* rot = GUI__pRotation;
  if (!rot) GUI_MoveRect(&r, ctx->xOff, ctx->yOff);
  // Under a rotation the visible rectangles of the whole window are visited, limited to the
  // line's place on the screen when the rotation can tell it.
  GUI_RECT area = r;
  const GUI_RECT* pArea = &area;
  if (rot) {
    if (rot->pfTransformRect)
      rot->pfTransformRect(&area);
    else
      pArea = nullptr;
  }
  int xEnd = r.x0;
  // A line outside the active clip rectangle is drawn outside the current redraw: it goes into
  // a multi-buffered frame so that it reaches the screen in one step.
  const bool frame = ctx->pClipRect_HL && !GUI_RectsOverlap(&r, ctx->pClipRect_HL);
  if (frame) WM__MultiBufControl(1);
  for (int ok = WM__IterateStart(pArea); ok; ok = WM__IterateNext()) {
    ctx->DispPosX = r.x0;
    ctx->DispPosY = r.y0;
    drawChars(s, numChars);
    xEnd = ctx->DispPosX;
  }
  if (frame) WM__MultiBufControl(0);
  ctx->DispPosX = static_cast<int16_t>(rot ? xEnd : xEnd - ctx->xOff);
  ctx->DispPosY = static_cast<int16_t>(rot ? r.y0 : r.y0 - ctx->yOff);
}

// ---- Strings at the text position -----------------------------------------------------------

void GUI_DispString(const char* s) {
  if (!s) return;
  GUI_Lock();
  GUI_CONTEXT* ctx = GUI_pContext;
  const int off = alignOffsetY();
  const int h = lineSizeY();
  const int hAlign = ctx->TextAlign & GUI_TA_HORIZONTAL;
  const int xStart = ctx->DispPosX;
  ctx->DispPosY = static_cast<int16_t>(ctx->DispPosY - off);
  for (;;) {
    const int n = GUI__GetLineNumChars(s, 32767);
    const int w = GUI__GetLineDistX(s, n);
    int x = ctx->DispPosX;
    if (hAlign == GUI_TA_RIGHT)
      x -= w;
    else if (hAlign == GUI_TA_HCENTER)
      x -= w / 2;
    const int y = ctx->DispPosY;
    const GUI_RECT line = {static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(x + w - 1),
                           static_cast<int16_t>(y + h - 1)};
    GUI__DispLine(s, n, &line);
    ctx->DispPosX = static_cast<int16_t>(x + w);
    ctx->DispPosY = static_cast<int16_t>(y);
    s += GUI_UC_CharsToBytes(s, n);
    if (*s != '\n') break;
    ++s;
    ctx->DispPosX = static_cast<int16_t>(hAlign == GUI_TA_RIGHT || hAlign == GUI_TA_HCENTER ? xStart : ctx->LBorder);
    ctx->DispPosY = static_cast<int16_t>(ctx->DispPosY + font()->YDist);
    if (!*s) break;
  }
  ctx->DispPosY = static_cast<int16_t>(ctx->DispPosY + off);
  ctx->TextAlign = static_cast<int16_t>(ctx->TextAlign & ~GUI_TA_HORIZONTAL);
  GUI_Unlock();
}

void GUI_DispStringAt(const char* s, int x, int y) {
  GUI_Lock();
  GUI_GotoXY(x, y);
  GUI_DispString(s);
  GUI_Unlock();
}

void GUI_DispCEOL() {
  GUI_Lock();
  const int y = GUI_pContext->DispPosY - alignOffsetY();
  const int x = GUI_pContext->DispPosX;
  GUI_ClearRect(x, y, x + 4000, y + fontSizeY() - 1);
  GUI_Unlock();
}

void GUI_DispStringAtCEOL(const char* s, int x, int y) {
  GUI_Lock();
  GUI_DispStringAt(s, x, y);
  GUI_DispCEOL();
  GUI_Unlock();
}

void GUI_DispStringHCenterAt(const char* s, int x, int y) {
  GUI_Lock();
  const int old = GUI_pContext->TextAlign;
  GUI_pContext->TextAlign = static_cast<int16_t>((old & ~GUI_TA_HORIZONTAL) | GUI_TA_HCENTER);
  GUI_DispStringAt(s, x, y);
  GUI_pContext->TextAlign = static_cast<int16_t>(old);
  GUI_Unlock();
}

void GUI_DispStringLen(const char* s, int numChars) {
  GUI_Lock();
  if (s) {
    while (numChars > 0) {
      const uint16_t c = GUI_UC_GetCharCodeInc(&s);
      if (c == 0) break;
      GUI_DispCharWindow(c);
      --numChars;
    }
  }
  while (numChars-- > 0) GUI_DispCharWindow(' ');
  GUI_Unlock();
}

// ---- Strings in rectangles ----------------------------------------------------------------------

void GUI_DispStringInRect(const char* s, GUI_RECT* pRect, int align) { dispInRect(s, pRect, align, 0x7FFF, -1); }

void GUI_DispStringInRectMax(const char* s, GUI_RECT* pRect, int align, int maxChars) {
  dispInRect(s, pRect, align, maxChars, -1);
}

void GUI_DispStringInRectWrap(const char* s, GUI_RECT* pRect, int align, int wrapMode) {
  dispInRect(s, pRect, align, 0x7FFF, wrapMode);
}

void GUI_DispStringInRectEx(const char* s, GUI_RECT* pRect, int align, int maxChars, const GUI_ROTATION* pRotation) {
  if (!pRotation) {
    GUI_DispStringInRectMax(s, pRect, align, maxChars);
    return;
  }
  if (!s) return;
  GUI_Lock();
  const GUI_RECT r = rectOrWindow(pRect);
  GUI__SetRotationRect(&r);
  {
    ClipToRect clip(r);
    const GUI_ROTATION* pOldRotation = GUI_SetRotation(pRotation);
    GUI_RECT layout = r;
    pRotation->pfRect2TextRect(&layout);
    layoutInRect(s, layout, align, maxChars, -1);
    GUI_SetRotation(pOldRotation);
  }
  GUI_Unlock();
}

// ---- Wrapping -----------------------------------------------------------------------------------

int GUI__WrapGetNumCharsDisp(const char* s, int xSize, int wrapMode) {
  if (wrapMode == GUI_WRAPMODE_NONE) return GUI__GetLineNumChars(s, 0x7FFF);
  int n = 0, w = 0;
  int lastBreak = 0;
  bool leading = true;
  bool exceeded = false;
  const char* p = s;
  for (;;) {
    const uint16_t c = GUI_UC_GetCharCode(p);
    if (c == 0 || c == '\n') break;
    if (wrapMode == GUI_WRAPMODE_WORD) {
      if (c == ' ') {
        if (!leading) lastBreak = n;  // the line may end before a space
      } else if (leading) {
        if (n > 0) lastBreak = n;  // after leading spaces, before the first word
        leading = false;
      }
    }
    const int cw = charDist(c);
    if (n > 0 && w + cw > xSize) {
      exceeded = true;
      break;
    }
    w += cw;
    ++n;
    p += GUI_UC_GetCharSize(p);
    if (wrapMode == GUI_WRAPMODE_WORD && isWrapChar(c)) lastBreak = n;
  }
  if (exceeded && wrapMode == GUI_WRAPMODE_WORD && lastBreak > 0) n = lastBreak;
  return n;
}

int GUI__WrapGetNumCharsToNextLine(const char* s, int xSize, int wrapMode) {
  int n = GUI__WrapGetNumCharsDisp(s, xSize, wrapMode);
  const char* p = s + GUI_UC_CharsToBytes(s, n);
  if (wrapMode == GUI_WRAPMODE_WORD) {
    int w = GUI__GetLineDistX(s, n);
    while (GUI_UC_GetCharCode(p) == ' ') {
      const int cw = charDist(' ');
      if (w + cw > xSize) break;
      w += cw;
      p += GUI_UC_GetCharSize(p);
      ++n;
    }
  }
  if (GUI_UC_GetCharCode(p) == '\n') ++n;
  // Always make progress, so that callers that loop over the lines end.
  if (n == 0 && GUI_UC_GetCharCode(p) != 0) n = 1;
  return n;
}

int GUI_WrapGetNumLines(const char* s, int xSize, int wrapMode) {
  if (!s) return 0;
  GUI_Lock();
  int lines = 0;
  while (*s) {
    s += GUI_UC_CharsToBytes(s, GUI__WrapGetNumCharsToNextLine(s, xSize, wrapMode));
    ++lines;
  }
  GUI_Unlock();
  return lines;
}

int GUI_WrapGetPositions(const char* s, int xSize, int wrapMode, int* paPos, int numItems) {
  if (!s) return 0;
  GUI_Lock();
  int lines = 0;
  const char* start = s;
  while (*s) {
    if (lines >= numItems) {
      lines = -1;
      break;
    }
    paPos[lines++] = static_cast<int>(s - start);
    s += GUI_UC_CharsToBytes(s, GUI__WrapGetNumCharsToNextLine(s, xSize, wrapMode));
  }
  GUI_Unlock();
  return lines;
}

void GUI_SetWrapChars(const uint16_t* pList, int numChars) {
  GUI_Lock();
  if (numChars < 0 || !pList) numChars = 0;
  if (numChars > kMaxWrapChars) numChars = kMaxWrapChars;
  for (int i = 0; i < numChars; ++i) gWrapChars[i] = pList[i];
  gNumWrapChars = numChars;
  GUI_Unlock();
}

// ---- Measures ---------------------------------------------------------------------------------

int GUI_GetStringDistX(const char* s) {
  if (!s) return 0;
  GUI_Lock();
  const int w = GUI__GetLineDistX(s, GUI__GetLineNumChars(s, 0x7FFF));
  GUI_Unlock();
  return w;
}

void GUI__CalcTextRect(const char* s, const GUI_RECT* pIn, GUI_RECT* pOut, int align) {
  if (!pIn || !pOut) return;
  const int w = s ? GUI__GetLineDistX(s, GUI__GetLineNumChars(s, 0x7FFF)) : 0;
  const int h = fontSizeY();
  const int x = rectStartX(*pIn, align, w);
  int y;
  switch (align & GUI_TA_VERTICAL) {
    case GUI_TA_BOTTOM:
      y = pIn->y1 - h + 1;
      break;
    case GUI_TA_VCENTER:
      y = pIn->y0 + (pIn->y1 - pIn->y0 - h + 1) / 2;
      break;
    default:
      y = pIn->y0;
      break;
  }
  *pOut = {static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(x + w - 1),
           static_cast<int16_t>(y + h - 1)};
}

int GUI_GetTextAlignOffsetY() {
  GUI_Lock();
  const int r = alignOffsetY();
  GUI_Unlock();
  return r;
}

int GUI_GetFontDistY() {
  GUI_Lock();
  const int r = font()->YDist;
  GUI_Unlock();
  return r;
}

int GUI_GetFontSizeY() {
  GUI_Lock();
  const int r = fontSizeY();
  GUI_Unlock();
  return r;
}

int GUI_GetYSizeOfFont(const GUI_FONT* pFont) { return pFont ? pFont->YSize * pFont->YMag : 0; }

int GUI_GetCharDistX(uint16_t c) {
  GUI_Lock();
  const int r = font()->pfGetCharDistX(c, nullptr);
  GUI_Unlock();
  return r;
}

int GUI_GetCharDistXEx(uint16_t c, int* pSizeX) {
  GUI_Lock();
  const int r = font()->pfGetCharDistX(c, pSizeX);
  GUI_Unlock();
  return r;
}

// ---- Single characters ------------------------------------------------------------------------

void GUI_DispNextLine() {
  GUI_Lock();
  GUI_pContext->DispPosY = static_cast<int16_t>(GUI_pContext->DispPosY + font()->YDist);
  GUI_pContext->DispPosX = GUI_pContext->LBorder;
  GUI_Unlock();
}

void GUI_DispChar(uint16_t c) {
  GUI_Lock();
  if (c == '\n') {
    GUI_DispNextLine();
  } else if (c != '\r') {
    font()->pfDispChar(c);
    if (gCharHook) gCharHook(c);
  }
  GUI_Unlock();
}

GUI_CHAR_HOOK GUI_SetCharHook(GUI_CHAR_HOOK pfHook) {
  const GUI_CHAR_HOOK old = gCharHook;
  gCharHook = pfHook;
  return old;
}

void GUI_DispCharWindow(uint16_t c) {
  GUI_Lock();
  GUI_CONTEXT* ctx = GUI_pContext;
  if (c == '\n') {
    GUI_DispNextLine();
    GUI_Unlock();
    return;
  }
  int sizeX = 0;
  const int dist = font()->pfGetCharDistX(c, &sizeX);
  const int x0 = ctx->DispPosX + ctx->xOff;
  const int y0 = ctx->DispPosY + ctx->yOff;
  const GUI_RECT r = {static_cast<int16_t>(x0), static_cast<int16_t>(y0),
                      static_cast<int16_t>(x0 + std::max(dist, sizeX) - 1), static_cast<int16_t>(y0 + fontSizeY() - 1)};
  for (int ok = WM__IterateStart(&r); ok; ok = WM__IterateNext()) {
    ctx->DispPosX = static_cast<int16_t>(x0);
    ctx->DispPosY = static_cast<int16_t>(y0);
    GUI_DispChar(c);
  }
  ctx->DispPosX = static_cast<int16_t>(x0 + dist - ctx->xOff);
  ctx->DispPosY = static_cast<int16_t>(y0 - ctx->yOff);
  GUI_Unlock();
}

void GUI_DispCharAt(uint16_t c, int x, int y) {
  GUI_Lock();
  GUI_GotoXY(x, y);
  GUI_DispCharWindow(c);
  GUI_Unlock();
}

void GUI_DispChars(uint16_t c, int cnt) {
  GUI_Lock();
  while (cnt-- > 0) GUI_DispCharWindow(c);
  GUI_Unlock();
}
