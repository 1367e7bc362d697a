// The two font types: proportional fonts (chained code ranges with per-character widths) and
// fixed-width fonts (one cell width, an extra table reached through a translation range with
// optional overlay glyphs for accents).
#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_DrawIf.h"

namespace {

const GUI_FONT_CHAR* findProp(const GUI_FONT* pFont, uint16_t c) {
  for (const GUI_FONT_RANGE* r = static_cast<const GUI_FONT_RANGE*>(pFont->pData); r; r = r->pNext)
    if (c >= r->First && c <= r->Last) return &r->paChar[c - r->First];
  return nullptr;
}

// Draws one 1-bit glyph at the text position in the text mode, with the colour-index pair
// as translation (bit clear: background, bit set: foreground), and clears the gap rows below
// a glyph that is lower than the line distance.
void drawGlyph(const GUI_FONT* pFont, const uint8_t* pData, int xsize, int bytesPerLine, int textMode) {
  GUI_CONTEXT* ctx = GUI_pContext;
  const int old = LCD_SetDrawMode(textMode);
  // A copy of the context's index pair: the magnified path changes the foreground index
  // while it draws, which must not change the translation under its feet.
  const uint32_t trans[2] = {ctx->LCD_pAColorIndex[0], ctx->LCD_pAColorIndex[1]};
  LCD_DrawBitmap(ctx->DispPosX, ctx->DispPosY, xsize, pFont->YSize, pFont->XMag, pFont->YMag, 1, bytesPerLine,
                 pData, trans);
  LCD_SetDrawMode(old);
}

void clearGap(const GUI_FONT* pFont, int xsize) {
  GUI_CONTEXT* ctx = GUI_pContext;
  if (pFont->YSize >= pFont->YDist || (ctx->TextMode & GUI_TEXTMODE_TRANS)) return;
  const int y0 = ctx->DispPosY + pFont->YSize * pFont->YMag;
  const int y1 = ctx->DispPosY + pFont->YDist * pFont->YMag - 1;
  if (GUI__pRotation) {
    // Under a rotation the gap goes through the rotation as an empty bitmap in the
    // background colour (a bytes-per-line of 0 repeats the one row of zeros).
    static const uint8_t kZeros[32] = {};
    const LCD_PIXELINDEX trans[2] = {LCD_GetBkColorIndex(), LCD_GetBkColorIndex()};
    const int old = LCD_SetDrawMode(ctx->TextMode & GUI_DRAWMODE_REV);
    GUI__pRotation->pfDrawBitmap(ctx->DispPosX, y0, xsize * pFont->XMag, y1 - y0 + 1, 1, 1, 1, 0, kZeros, 0, trans);
    LCD_SetDrawMode(old);
    return;
  }
  const int old = LCD_SetDrawMode(ctx->TextMode ^ GUI_DRAWMODE_REV);
  LCD_FillRect(ctx->DispPosX, y0, ctx->DispPosX + xsize * pFont->XMag - 1, y1);
  LCD_SetDrawMode(old);
}

void fontInfo(const GUI_FONT* pFont, int flags, GUI_FONTINFO* pInfo) {
  pInfo->Flags = static_cast<uint16_t>(flags);
  pInfo->Baseline = pFont->Baseline;
  pInfo->LHeight = pFont->LHeight;
  pInfo->CHeight = pFont->CHeight;
}

}  // namespace

void GUIPROP_DispChar(uint16_t c) {
  const GUI_FONT* pFont = GUI_pContext->pAFont;
  const GUI_FONT_CHAR* pc = findProp(pFont, c);
  if (!pc) return;
  drawGlyph(pFont, pc->pData, pc->XSize, pc->BytesPerLine, GUI_pContext->TextMode);
  clearGap(pFont, pc->XSize);
  GUI_pContext->DispPosX = static_cast<int16_t>(GUI_pContext->DispPosX + pc->XDist * pFont->XMag);
}

int GUIPROP_GetCharDistX(uint16_t c, int* pSizeX) {
  const GUI_FONT* pFont = GUI_pContext->pAFont;
  const GUI_FONT_CHAR* pc = findProp(pFont, c);
  if (!pc) {
    if (pSizeX) *pSizeX = 0;
    return 0;
  }
  if (pSizeX) *pSizeX = pc->XSize * pFont->XMag;
  return pc->XDist * pFont->XMag;
}

void GUIPROP_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pInfo) {
  fontInfo(pFont, GUI_FONTINFO_FLAG_PROP, pInfo);
}

char GUIPROP_IsInFont(const GUI_FONT* pFont, uint16_t c) {
  if (!pFont) pFont = GUI_pContext->pAFont;
  return findProp(pFont, c) ? 1 : 0;
}

void GUIMONO_DispChar(uint16_t c) {
  const GUI_FONT* pFont = GUI_pContext->pAFont;
  const GUI_FONT_FIXED* pm = static_cast<const GUI_FONT_FIXED*>(pFont->pData);
  const int glyphBytes = pm->BytesPerLine * pFont->YSize;
  const uint8_t* pGlyph = nullptr;
  const uint8_t* pOverlay = nullptr;
  if (c >= pm->First && c <= pm->Last) {
    pGlyph = pm->pData + (c - pm->First) * glyphBytes;
  } else if (pm->pTrans && c >= pm->pTrans->First && c <= pm->pTrans->Last) {
    const GUI_FONT_TRANSPAIR& pair = pm->pTrans->paPair[c - pm->pTrans->First];
    if (pair.Index >= 0) pGlyph = pm->pTransData + pair.Index * glyphBytes;
    if (pair.Overlay >= 0) pOverlay = pm->pTransData + pair.Overlay * glyphBytes;
  }
  if (pGlyph) {
    drawGlyph(pFont, pGlyph, pm->XSize, pm->BytesPerLine, GUI_pContext->TextMode);
    if (pOverlay) drawGlyph(pFont, pOverlay, pm->XSize, pm->BytesPerLine, GUI_TEXTMODE_TRANS);
    clearGap(pFont, pm->XSize);
  }
  GUI_pContext->DispPosX = static_cast<int16_t>(GUI_pContext->DispPosX + pm->XDist);
}

int GUIMONO_GetCharDistX(uint16_t, int* pSizeX) {
  const GUI_FONT_FIXED* pm = static_cast<const GUI_FONT_FIXED*>(GUI_pContext->pAFont->pData);
  if (pSizeX) *pSizeX = pm->XSize;
  return pm->XDist;
}

void GUIMONO_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pInfo) {
  fontInfo(pFont, GUI_FONTINFO_FLAG_MONO, pInfo);
}

char GUIMONO_IsInFont(const GUI_FONT* pFont, uint16_t c) {
  if (!pFont) pFont = GUI_pContext->pAFont;
  const GUI_FONT_FIXED* pm = static_cast<const GUI_FONT_FIXED*>(pFont->pData);
  if (c >= pm->First && c <= pm->Last) return 1;
  if (pm->pTrans && c >= pm->pTrans->First && c <= pm->pTrans->Last)
    return pm->pTrans->paPair[c - pm->pTrans->First].Index >= 0 ? 1 : 0;
  return 0;
}

void GUI_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pInfo) {
  GUI_Lock();
  if (!pFont) pFont = GUI_pContext->pAFont;
  pFont->pfGetFontInfo(pFont, pInfo);
  GUI_Unlock();
}

char GUI_IsInFont(const GUI_FONT* pFont, uint16_t c) {
  GUI_Lock();
  if (!pFont) pFont = GUI_pContext->pAFont;
  const char r = pFont->pfIsInFont(pFont, c);
  GUI_Unlock();
  return r;
}

const GUI_FONT* const GUI_aDeviceFont[20] = {
    &GUI_Font8_1,  &GUI_FontFixed8x9, &GUI_FontProp13,   &GUI_FontProp13B,  &GUI_FontProp13H,
    &GUI_FontProp13HB, &GUI_FontProp16,  &GUI_FontProp16B,  &GUI_FontProp18,   &GUI_FontProp20,
    &GUI_FontProp20B, &GUI_FontProp22,   &GUI_FontProp24,   &GUI_FontProp24B,  &GUI_FontProp32,
    &GUI_FontProp32L, &GUI_FontProp32LB, &GUI_FontDigits32, &GUI_FontDigits48, &GUI_FontDigits80,
};
