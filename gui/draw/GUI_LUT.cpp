// The layer's colour lookup table seen from the drawing side: finding a colour in it,
// reading entries, the index mask of its size and writing a palette into it; and moving the
// origin of the top device.
#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_DrawIf.h"

namespace {

constexpr int kMaxLUT = 256;

int lutSize(int layer) {
  const uint32_t n = LCD_GetNumColorsEx(layer);
  return n > kMaxLUT ? kMaxLUT : static_cast<int>(n);
}

}  // namespace

void LCD_SetOrgDevice(int x, int y) {
  GUI_Lock();
  if (GUI_DEVICE* d = LCD__GetTopDevice()) d->pDeviceAPI->pfSetOrg(d, x, y);
  GUI_Unlock();
}

int LCD_GetLUTIndex(GUI_COLOR color) {
  GUI_Lock();
  const int layer = GUI_GetSelLayer();
  const uint32_t* pLUT = LCD_GetpLUTEx(layer);
  const int n = lutSize(layer);
  int best = 0;
  if (pLUT) {
    uint32_t bestDist = 0xFFFFFFFFu;
    for (int i = 0; i < n; ++i) {
      const uint32_t d = GUI_CalcColorDist(pLUT[i], color);
      if (d < bestDist) {
        bestDist = d;
        best = i;
        if (d == 0) break;  // the exact entry
      }
    }
  }
  GUI_Unlock();
  return best;
}

GUI_COLOR LCD_GetLUTEntry(uint8_t index) {
  GUI_Lock();
  const int layer = GUI_GetSelLayer();
  const uint32_t* pLUT = LCD_GetpLUTEx(layer);
  const GUI_COLOR c = pLUT && index < lutSize(layer) ? pLUT[index] : 0;
  GUI_Unlock();
  return c;
}

unsigned LCD_GetLUTIndexMask() {
  const uint32_t n = LCD_GetNumColorsEx(GUI_GetSelLayer());
  if (n <= 1) return 0;
  if (n == 256) return 255;
  if (n > 256) return 127;
  unsigned k = 1;
  while ((2u << k) <= n) ++k;  // 2^k <= n < 2^(k+1)
  return (1u << k) - 1;
}

void GUI_SetLUTEx(int layer, const GUI_LOGPALETTE* pPalette) {
  if (!pPalette || !pPalette->pPalEntries) return;
  GUI_Lock();
  const int n = pPalette->NumEntries > kMaxLUT ? kMaxLUT : pPalette->NumEntries;
  for (int i = 0; i < n; ++i) LCD_SetLUTEntryEx(layer, static_cast<uint8_t>(i), pPalette->pPalEntries[i]);
  GUI_Unlock();
}

void GUI_SetLUT(const GUI_LOGPALETTE* pPalette) { GUI_SetLUTEx(GUI_GetSelLayer(), pPalette); }
