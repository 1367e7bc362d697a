// Character encodings: all text is decoded through the current encoding. The only encoding
// of this system is the 8-bit one (one byte a character, the code is the byte).
#include "gui/draw/GUI_Draw.h"
#include "gui/draw/GUI_DrawIf.h"

namespace {

uint16_t getCharCode8(const char* s) { return static_cast<uint8_t>(*s); }
int getCharSize8(const char*) { return 1; }
int calcSizeOfChar8(uint16_t) { return 1; }
int encode8(char* s, uint16_t c) {
  *s = static_cast<char>(c);
  return 1;
}

const GUI_UC_ENC_APILIST kEncodeNone = {getCharCode8, getCharSize8, calcSizeOfChar8, encode8};

const GUI_UC_ENC_APILIST* gEncoding = &kEncodeNone;

}  // namespace

void GUI_UC_SetEncodeNone() {
  GUI_Lock();
  gEncoding = &kEncodeNone;
  GUI_Unlock();
}

int GUI_UC_GetCharSize(const char* s) {
  GUI_Lock();
  const int r = gEncoding->pfGetCharSize(s);
  GUI_Unlock();
  return r;
}

uint16_t GUI_UC_GetCharCode(const char* s) {
  GUI_Lock();
  const uint16_t r = gEncoding->pfGetCharCode(s);
  GUI_Unlock();
  return r;
}

int GUI_UC_Encode(char* s, uint16_t c) {
  GUI_Lock();
  const int r = gEncoding->pfEncode(s, c);
  GUI_Unlock();
  return r;
}

int GUI_UC_CalcSizeOfChar(uint16_t c) { return gEncoding->pfCalcSizeOfChar(c); }

uint16_t GUI_UC_GetCharCodeInc(const char** ps) {
  const uint16_t c = gEncoding->pfGetCharCode(*ps);
  *ps += gEncoding->pfGetCharSize(*ps);
  return c;
}

int GUI_UC_CharsToBytes(const char* s, int numChars) {
  int bytes = 0;
  while (numChars-- > 0) {
    const int n = gEncoding->pfGetCharSize(s);
    s += n;
    bytes += n;
  }
  return bytes;
}

int GUI_UC_BytesToChars(const char* s, int numBytes) {
  int chars = 0;
  while (numBytes > 0) {
    const int n = gEncoding->pfGetCharSize(s);
    s += n;
    numBytes -= n;
    ++chars;
  }
  return chars;
}

int GUI_UC_CountChars(const char* s) {
  if (!s) return 0;
  int n = 0;
  while (GUI_UC_GetCharCodeInc(&s) != 0) ++n;
  return n;
}

int GUI__HandleEOLine(const char** ps) {
  const char* s = *ps;
  const uint16_t c = gEncoding->pfGetCharCode(s);
  if (c == 0) return 1;
  if (c == '\n') *ps = s + gEncoding->pfGetCharSize(s);
  return 0;
}
