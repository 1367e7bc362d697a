// Bitmap fonts: the two font types (proportional and fixed-width) with their glyph data, and
// the twenty fonts of the device. The font record itself is the core's (GUI_FONT).
#pragma once

#include <cstdint>

#include "gui/GUI.h"

// Character record of a proportional font: the glyph is `YSize` rows of `BytesPerLine`
// bytes, 1 bit a pixel, most significant bit first.
struct GUI_FONT_CHAR {
  uint8_t XSize;         // pixels of the glyph bitmap
  uint8_t XDist;         // advance
  uint8_t BytesPerLine;  // bytes of one glyph row
  const uint8_t* pData;
};

// One code range of a proportional font; ranges are chained.
struct GUI_FONT_RANGE {
  uint16_t First;
  uint16_t Last;
  const GUI_FONT_CHAR* paChar;  // one record a code, in code order
  const GUI_FONT_RANGE* pNext;
};

// A glyph of a fixed-width font's extra table and an optional overlay (accent) glyph;
// -1 means none.
struct GUI_FONT_TRANSPAIR {
  int16_t Index;
  int16_t Overlay;
};

// Codes of a fixed-width font outside its main range, each mapped to the extra table.
struct GUI_FONT_TRANS {
  uint16_t First;
  uint16_t Last;
  const GUI_FONT_TRANSPAIR* paPair;
};

// Glyph data of a fixed-width font. Glyph n of a table starts at n * BytesPerLine * height.
struct GUI_FONT_FIXED {
  const uint8_t* pData;       // glyphs of the main range First..Last
  const uint8_t* pTransData;  // glyphs of the extra table
  const GUI_FONT_TRANS* pTrans;
  uint16_t First;
  uint16_t Last;
  uint8_t XSize;
  uint8_t XDist;
  uint8_t BytesPerLine;
};

constexpr int GUI_FONTINFO_FLAG_PROP = 1;
constexpr int GUI_FONTINFO_FLAG_MONO = 2;

// Proportional type.
void GUIPROP_DispChar(uint16_t c);
int GUIPROP_GetCharDistX(uint16_t c, int* pSizeX);
void GUIPROP_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pInfo);
char GUIPROP_IsInFont(const GUI_FONT* pFont, uint16_t c);

// Fixed-width type.
void GUIMONO_DispChar(uint16_t c);
int GUIMONO_GetCharDistX(uint16_t c, int* pSizeX);
void GUIMONO_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pInfo);
char GUIMONO_IsInFont(const GUI_FONT* pFont, uint16_t c);

// Locked font queries.
void GUI_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pInfo);
char GUI_IsInFont(const GUI_FONT* pFont, uint16_t c);

// The fonts of the device (all magnification 1 x 1, Latin-1 codes 32..126 and 160..255).
// GUI_Font8_1 (gui/GUI.h): fixed-width 8, line distance 8, the default font
extern const GUI_FONT GUI_FontFixed8x9;  // fixed-width 8, line distance 9
extern const GUI_FONT GUI_FontProp13;    // 13, capitals 8
extern const GUI_FONT GUI_FontProp13B;
extern const GUI_FONT GUI_FontProp13H;   // 13, capitals 9
extern const GUI_FONT GUI_FontProp13HB;
extern const GUI_FONT GUI_FontProp16;
extern const GUI_FONT GUI_FontProp16B;
extern const GUI_FONT GUI_FontProp18;    // 18, no recorded baseline or letter heights
extern const GUI_FONT GUI_FontProp20;
extern const GUI_FONT GUI_FontProp20B;
extern const GUI_FONT GUI_FontProp22;
extern const GUI_FONT GUI_FontProp24;
extern const GUI_FONT GUI_FontProp24B;
extern const GUI_FONT GUI_FontProp32;    // 32, baseline 25
extern const GUI_FONT GUI_FontProp32L;   // 32, baseline 26
extern const GUI_FONT GUI_FontProp32LB;
extern const GUI_FONT GUI_FontDigits32;  // capitals and digits fill the cell
extern const GUI_FONT GUI_FontDigits48;
extern const GUI_FONT GUI_FontDigits80;

// All twenty, in the order above.
extern const GUI_FONT* const GUI_aDeviceFont[20];
