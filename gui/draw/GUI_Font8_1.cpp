// The 8-pixel fixed-width default font: its record with the metrics of the device font.
// Its glyphs come with the font set of text output; until then a character only advances
// the text position by its width.
#include "gui/GUI_Private.h"

namespace {

constexpr int kXDist = 8;

void DispChar(uint16_t) { GUI_pContext->DispPosX = static_cast<int16_t>(GUI_pContext->DispPosX + kXDist); }
int GetCharDistX(uint16_t, int* pSizeX) {
  if (pSizeX) *pSizeX = kXDist;
  return kXDist;
}
void GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pInfo) {
  pInfo->Flags = 2;
  pInfo->Baseline = pFont->Baseline;
  pInfo->LHeight = pFont->LHeight;
  pInfo->CHeight = pFont->CHeight;
}
char IsInFont(const GUI_FONT*, uint16_t c) { return c >= 32 && c <= 255 ? 1 : 0; }

}  // namespace

const GUI_FONT GUI_Font8_1 = {DispChar, GetCharDistX, GetFontInfo, IsInFont, nullptr, nullptr,
                              8,        8,            1,           1,        nullptr, 7,
                              5,        7};
