// EDIT widget: a single-line text field with a cursor, insert and overwrite modes, and a
// decimal value mode in which the text shows a signed integer with a shifted decimal point
// and the keys edit that number digit by digit.
#include <cstring>

#include "gui/GUI_Private.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/widgets/Widget_Intern.h"

namespace {

struct EDIT_PROPS {
  int16_t Align;
  int16_t Border;
  const GUI_FONT* pFont;
  GUI_COLOR aTextColor[3];  // enabled, disabled, selected
  GUI_COLOR aBkColor[3];    // enabled, disabled, selected
};

struct EDIT_Obj {
  static constexpr uint32_t kTag = WIDGET_TAG('E', 'D', 'I', 'T');
  static constexpr const char* kLockError = "EDIT:\nWrong handle type or Object not init'ed in EDIT_LockH()";
  WIDGET Widget;
  GUI_HMEM hText;
  int16_t MaxLen;
  uint16_t BufferSize;
  int32_t Min, Max;
  uint8_t NumDecs;
  int32_t CurrentValue;
  int32_t CursorPos;
  int32_t SelSize;
  uint8_t EditMode;  // 1 = overwrite
  uint8_t XSizeCursor;
  uint8_t Flags;
  EDIT_ADDKEYEX* pfAddKeyEx;
  EDIT_UPDATE_FUNC* pfUpdateBuffer;
  EDIT_PROPS Props;
  WM_HTIMER hTimer;
  uint8_t CursorVisible;
  uint8_t AutoLen;
};

EDIT_PROPS DefaultProps = {GUI_TA_LEFT | GUI_TA_VCENTER, 1, &GUI_FontProp13,
                           {0x000000, 0x808080, 0xFFFFFF}, {0xFFFFFF, 0xC0C0C0, 0x000000}};

EDIT_Obj* Obj(WM_HWIN h) { return WIDGET__Lock<EDIT_Obj>(h); }
char* Text(EDIT_Obj* p) { return p->hText ? static_cast<char*>(GUI_ALLOC_h2p(p->hText)) : nullptr; }
int NumChars(EDIT_Obj* p) {
  const char* s = Text(p);
  return s ? GUI_UC_CountChars(s) : 0;
}
int CharToByte(EDIT_Obj* p, int pos) {
  const char* s = Text(p);
  return s ? GUI_UC_CharsToBytes(s, pos) : 0;
}

// Makes the buffer hold at least `needed` bytes: it grows by the missing size plus 16 bytes.
bool Reserve(WM_HWIN hObj, int needed) {
  EDIT_Obj* p = Obj(hObj);
  if (!p) return false;
  if (needed <= p->BufferSize && p->hText) return true;
  int size = p->hText ? p->BufferSize + (needed - p->BufferSize) + 16 : needed;
  if (size > 0xFFFF) return false;
  GUI_HMEM hOld = p->hText;
  GUI_HMEM hNew = hOld ? GUI_ALLOC_Realloc(hOld, size) : GUI_ALLOC_AllocZero(size);
  if (!hNew) return false;
  p = Obj(hObj);
  if (!hOld) static_cast<char*>(GUI_ALLOC_h2p(hNew))[0] = 0;
  p->hText = hNew;
  p->BufferSize = uint16_t(size);
  return true;
}

void SetCursorPos(EDIT_Obj* p, int pos) {
  int n = NumChars(p);
  int limit = p->EditMode ? p->MaxLen - 1 : p->MaxLen;
  if (pos > n) pos = n;
  if (pos > limit) pos = limit;
  if (pos < 0) pos = 0;
  p->CursorPos = pos;
  p->SelSize = 0;
}

void DeleteChar(EDIT_Obj* p) {
  char* s = Text(p);
  if (!s || p->CursorPos >= GUI_UC_CountChars(s)) return;
  int off = CharToByte(p, p->CursorPos);
  int size = GUI_UC_GetCharSize(s + off);
  std::memmove(s + off, s + off + size, std::strlen(s + off + size) + 1);
}

bool InsertChar(WM_HWIN hObj, uint16_t c) {
  EDIT_Obj* p = Obj(hObj);
  if (NumChars(p) >= p->MaxLen) return false;
  int size = GUI_UC_CalcSizeOfChar(c);
  int len = p->hText ? int(std::strlen(Text(p))) : 0;
  if (!Reserve(hObj, len + size + 1)) return false;
  p = Obj(hObj);
  char* s = Text(p);
  int off = CharToByte(p, p->CursorPos);
  std::memmove(s + off + size, s + off, size_t(len - off + 1));
  GUI_UC_Encode(s + off, c);
  return true;
}

void Notify(WM_HWIN hObj, int code) { WM_NotifyParent(hObj, code); }

// ---- Decimal value mode ------------------------------------------------------------------------
int Digits(int32_t v, int shift) {
  int n = GUI__CountDecDigits(v < 0 ? (v == INT32_MIN ? INT32_MAX : -v) : v);
  if (v < 0) {
    ++n;
    if (n == shift + 1) ++n;
  }
  return n;
}

bool IsSign(char c) { return c == '+' || c == '-'; }

void UpdateDec(WM_HWIN hObj) {
  EDIT_Obj* p = Obj(hObj);
  if (!p) return;
  int maxLen = p->MaxLen;
  if (!Reserve(hObj, maxLen + 2)) return;
  p = Obj(hObj);
  char aBuf[40];
  char* s = aBuf;
  int32_t v = p->CurrentValue;
  int shift = p->NumDecs;
  int places;
  if (p->Flags & GUI_EDIT_SIGNED) {
    places = v > 0 ? maxLen - 1 : maxLen;
    GUI__AddPlusSign(v, &s);
  } else {
    places = maxLen;
    if (v >= 0 && places > 10) places = 10;
  }
  // Room for the sign and the separator besides at least one digit; never more than fits.
  int least = 1 + (v < 0 ? 1 : 0) + (shift ? 1 : 0);
  if (places < least) places = least;
  if (places > 12) places = 12;
  GUI_AddDecShift(v, uint8_t(places), uint8_t(shift), &s);
  int len = int(s - aBuf);
  if (len > maxLen) {
    len = maxLen;
    aBuf[len] = 0;
  }
  // Leading zeros: blanks with the flag, the sign moving next to the first digit.
  if (p->Flags & GUI_EDIT_SUPPRESS_LEADING_ZEROES) {
    int i = IsSign(aBuf[0]) ? 1 : 0;
    int last = shift > 0 ? maxLen - shift - 3 : maxLen - 2;
    char dec = GUI_GetDecChar();
    for (; i <= last && i < len; ++i) {
      if (aBuf[i] != '0' || aBuf[i + 1] == dec || aBuf[i + 1] == 0) break;
      aBuf[i] = ' ';
      if (i > 0 && IsSign(aBuf[i - 1])) {
        aBuf[i] = aBuf[i - 1];
        aBuf[i - 1] = ' ';
      }
    }
  }
  std::memcpy(Text(p), aBuf, size_t(len) + 1);
  WM_InvalidateWindow(hObj);
}

void SetValueEx(WM_HWIN hObj, int32_t value, bool isUnsigned) {
  EDIT_Obj* p = Obj(hObj);
  if (!p) return;
  if (isUnsigned) {
    if (uint32_t(value) < uint32_t(p->Min)) value = p->Min;
    if (uint32_t(value) > uint32_t(p->Max)) value = p->Max;
  } else {
    if (value < p->Min) value = p->Min;
    if (value > p->Max) value = p->Max;
  }
  if (value == p->CurrentValue) return;
  p->CurrentValue = value;
  EDIT_UPDATE_FUNC* pfUpdate = p->pfUpdateBuffer;
  if (pfUpdate) pfUpdate(hObj);
  WM_InvalidateWindow(hObj);
  Notify(hObj, WM_NOTE_VALUE_CHANGED);
}

int64_t Pow10(int n) {
  int64_t r = 1;
  while (n-- > 0) r *= 10;
  return r;
}

void DecMoveCursor(WM_HWIN hObj, int dir) {
  EDIT_Obj* p = Obj(hObj);
  const char* s = Text(p);
  if (!s) return;
  char dec = GUI_GetDecChar();
  int n = int(std::strlen(s));
  int pos = p->CursorPos + dir;
  if (pos < 0) pos = 0;
  if (pos > n - 1) pos = n - 1;
  if (pos >= 0 && s[pos] == dec) {
    int next = pos + dir;
    if (next < 0 || next > n - 1) next = pos - dir;
    pos = next;
  }
  if (pos < 0) pos = 0;
  p->CursorPos = pos;
  p->SelSize = 0;
}

void DecKeyHandler(WM_HWIN hObj, int key) {
  EDIT_Obj* p = Obj(hObj);
  if (!p) return;
  const char* s = Text(p);
  if (!s) {
    UpdateDec(hObj);
    return;
  }
  char dec = GUI_GetDecChar();
  int pos = p->CursorPos;
  int n = int(std::strlen(s));
  char c = pos < n ? s[pos] : 0;
  bool signMode = (p->Flags & GUI_EDIT_SIGNED) != 0;
  switch (key) {
    case 16:
      DecMoveCursor(hObj, -1);
      break;
    case 18:
      DecMoveCursor(hObj, +1);
      break;
    case 17:
    case 19: {
      int32_t v = p->CurrentValue;
      if (IsSign(c)) {
        EDIT_SetValue(hObj, v <= 0 ? (v == INT32_MIN ? INT32_MAX : -v) : -v);
        break;
      }
      int places = 0;
      for (int i = pos + 1; i < n; ++i)
        if (s[i] != dec) ++places;
      if (signMode && v == 0 && places > 0) --places;
      int64_t nv = int64_t(v) + (key == 17 ? Pow10(places) : -Pow10(places));
      if (nv > INT32_MAX || nv < INT32_MIN) break;  // no overflow
      EDIT_SetValue(hObj, int32_t(nv));
      p = Obj(hObj);
      if (signMode) {
        if (v != 0 && p->CurrentValue == 0 && p->CursorPos > 0) --p->CursorPos;
        if (v == 0 && p->CurrentValue != 0) ++p->CursorPos;
      }
      break;
    }
    case '+':
    case '-':
      if (pos == 0) {
        int32_t v = p->CurrentValue;
        if ((key == '+' && v < 0) || (key == '-' && v > 0)) EDIT_SetValue(hObj, v == INT32_MIN ? INT32_MAX : -v);
        DecMoveCursor(hObj, +1);
      }
      break;
    default:
      if (key >= '0' && key <= '9' && !IsSign(c) && pos < n) {
        char aBuf[40];
        std::memcpy(aBuf, s, size_t(n) + 1);
        aBuf[pos] = char(key);
        bool negative = false, blanks = (p->Flags & GUI_EDIT_SUPPRESS_LEADING_ZEROES) != 0;
        int64_t v = 0;
        for (int i = 0; i < n; ++i) {
          char d = aBuf[i];
          if (d == '-') negative = true;
          if (d >= '0' && d <= '9')
            v = v * 10 + (d - '0');
          else if (d == ' ' && blanks)
            v = v * 10;
          if (v > INT32_MAX) v = INT32_MAX;
        }
        EDIT_SetValue(hObj, int32_t(negative ? -v : v));
        DecMoveCursor(hObj, +1);
      }
      break;
  }
  UpdateDec(hObj);
  // The cursor never stands on the separator.
  p = Obj(hObj);
  s = Text(p);
  if (s && p->CursorPos < int(std::strlen(s)) && s[p->CursorPos] == dec) DecMoveCursor(hObj, +1);
}

// ---- Text keys -------------------------------------------------------------------------------
void AddKey(WM_HWIN hObj, int key) {
  EDIT_Obj* p = Obj(hObj);
  if (!p) return;
  if (p->pfAddKeyEx) {
    p->pfAddKeyEx(hObj, key);
    WM_InvalidateWindow(hObj);
    return;
  }
  switch (key) {
    case 8:
      if (p->CursorPos > 0) {
        SetCursorPos(p, p->CursorPos - 1);
        DeleteChar(p);
        Notify(hObj, WM_NOTE_VALUE_CHANGED);
      }
      break;
    case 16:
      SetCursorPos(p, p->CursorPos - 1);
      break;
    case 18:
      SetCursorPos(p, p->CursorPos + 1);
      break;
    case 17:
    case 19: {
      char* s = Text(p);
      if (!s || p->CursorPos >= GUI_UC_CountChars(s)) break;
      char* pc = s + CharToByte(p, p->CursorPos);
      uint16_t c = GUI_UC_GetCharCode(pc);
      int nc = key == 17 ? c + 1 : c - 1;
      // Only a code of the same byte size that survives encoding (never the terminator).
      char aEnc[4] = {};
      if (nc < 1 || nc > 0xFFFF || GUI_UC_CalcSizeOfChar(uint16_t(nc)) != GUI_UC_GetCharSize(pc)) break;
      GUI_UC_Encode(aEnc, uint16_t(nc));
      if (GUI_UC_GetCharCode(aEnc) != nc) break;
      GUI_UC_Encode(pc, uint16_t(nc));
      Notify(hObj, WM_NOTE_VALUE_CHANGED);
      break;
    }
    case 29:
      if (p->EditMode) {
        p->EditMode = 0;
      } else {
        p->EditMode = 1;
        SetCursorPos(p, p->CursorPos);
      }
      break;
    case 30: {
      int before = NumChars(p);
      DeleteChar(p);
      if (NumChars(p) != before) Notify(hObj, WM_NOTE_VALUE_CHANGED);
      break;
    }
    default:
      if (key > 31 && key <= 0xFFFF) {
        bool deleted = false;
        if (p->EditMode) {
          int before = NumChars(p);
          DeleteChar(p);
          deleted = NumChars(p) != before;
        }
        if (InsertChar(hObj, uint16_t(key))) {
          p = Obj(hObj);
          SetCursorPos(p, p->CursorPos + 1);
          Notify(hObj, WM_NOTE_VALUE_CHANGED);
        } else if (deleted) {
          Notify(hObj, WM_NOTE_VALUE_CHANGED);
        }
      }
      break;
  }
  WM_InvalidateWindow(hObj);
}

// ---- Paint and pointer -------------------------------------------------------------------------
void TextRect(EDIT_Obj* p, GUI_RECT* pRect) {
  WIDGET__GetInsideRect(&p->Widget, pRect);
  GUI__ReduceRect(pRect, pRect, p->Props.Border);
}

// x position of the start of the text in the text rectangle.
int TextStartX(EDIT_Obj* p, const GUI_RECT& r, const char* s) {
  int w = s ? GUI_GetStringDistX(s) : 0;
  switch (p->Props.Align & GUI_TA_HORIZONTAL) {
    case GUI_TA_RIGHT:
      return r.x1 + 1 - w;
    case GUI_TA_HCENTER:
      return r.x0 + (r.x1 - r.x0 + 1 - w) / 2;
    default:
      return r.x0;
  }
}

int PrefixWidth(const char* s, int numChars) {
  int w = 0;
  for (int i = 0; i < numChars && *s; ++i) w += GUI_GetCharDistX(GUI_UC_GetCharCodeInc(&s));
  return w;
}

void Paint(WM_HWIN hObj) {
  EDIT_Obj* p = Obj(hObj);
  if (!p) return;
  int i = WM_IsEnabled(hObj) ? 0 : 1;
  GUI_RECT rInside;
  WIDGET__GetInsideRect(&p->Widget, &rInside);
  GUI_SetBkColor(p->Props.aBkColor[i]);
  GUI_ClearRectEx(&rInside);
  GUI_SetFont(p->Props.pFont);
  GUI_RECT r;
  TextRect(p, &r);
  const char* s = Text(p);
  GUI_SetColor(p->Props.aTextColor[i]);
  GUI_SetTextMode(GUI_TEXTMODE_TRANS);
  if (s && *s) {
    GUI_RECT rText = r;
    GUI_DispStringInRect(s, &rText, p->Props.Align);
  }
  if ((p->Widget.State & WIDGET_STATE_FOCUS) && p->CursorVisible) {
    int x0 = TextStartX(p, r, s) + (s ? PrefixWidth(s, p->CursorPos) : 0);
    int w = p->XSizeCursor ? p->XSizeCursor : 1;
    int n = s ? GUI_UC_CountChars(s) : 0;
    if (p->SelSize > 0 && s) {
      w = PrefixWidth(s, p->CursorPos + p->SelSize) - PrefixWidth(s, p->CursorPos);
    } else if (p->EditMode && s && p->CursorPos < n) {
      const char* pc = s + GUI_UC_CharsToBytes(s, p->CursorPos);
      w = GUI_GetCharDistX(GUI_UC_GetCharCode(pc));
    }
    if (w < 1) w = 1;
    int h = GUI_GetFontSizeY();
    int y0 = r.y0 + (r.y1 - r.y0 + 1 - h) / 2;
    GUI_InvertRect(x0, y0 < r.y0 ? r.y0 : y0, x0 + w - 1, y0 + h - 1 > r.y1 ? r.y1 : y0 + h - 1);
  }
  WIDGET__EFFECT_DrawDown(&p->Widget);
}

void SetCursorAtPixel(WM_HWIN hObj, int x) {
  EDIT_Obj* p = Obj(hObj);
  const char* s = Text(p);
  if (!s) {
    SetCursorPos(p, 0);
    return;
  }
  const GUI_FONT* pOld = GUI_SetFont(p->Props.pFont);
  GUI_RECT r;
  TextRect(p, &r);
  int px = TextStartX(p, r, s);
  int pos = 0;
  const char* q = s;
  if (x < px) {
    pos = 0;
  } else {
    while (*q) {
      int w = GUI_GetCharDistX(GUI_UC_GetCharCodeInc(&q));
      if (x < px + w) break;
      px += w;
      ++pos;
    }
  }
  GUI_SetFont(pOld);
  SetCursorPos(p, pos);
  WM_InvalidateWindow(hObj);
}

void Callback(WM_MESSAGE* pMsg) {
  WM_HWIN hObj = pMsg->hWin;
  EDIT_Obj* p = WIDGET__LockMsg<EDIT_Obj>(pMsg);
  if (!p) return;
  if (!WIDGET_HandleActive(hObj, pMsg)) return;
  switch (pMsg->MsgId) {
    case WM_MSG_DELETE: {
      p = Obj(hObj);
      GUI_HMEM hText = p->hText;
      p->hText = 0;
      GUI_ALLOC_Free(hText);
      break;
    }
    case WM_MSG_KEY: {
      const WM_KEY_INFO* pKey = WIDGET__KeyInfo(pMsg);
      if (pKey && pKey->PressedCnt > 0) {
        switch (pKey->Key) {
          case 9:
          case 10:
          case 13:
          case 27:
          case 33:
          case 34:
            break;
          default:
            AddKey(hObj, pKey->Key);
            return;
        }
      }
      break;
    }
    case WM_MSG_PAINT:
      Paint(hObj);
      return;
    case WM_MSG_TIMER: {
      p->CursorVisible ^= 1;
      WM_HTIMER hTimer = p->hTimer;
      WM_InvalidateWindow(hObj);
      WM_RestartTimer(hTimer, 0);
      return;
    }
    case WM_MSG_PID_TOUCH: {
      const GUI_PID_STATE* pState = WIDGET__PIDState(pMsg);
      if (!pState) {
        Notify(hObj, WM_NOTE_MOVED_OUT);
      } else if (pState->Pressed) {
        SetCursorAtPixel(hObj, pState->x);
        Notify(hObj, WM_NOTE_CLICKED);
      } else {
        Notify(hObj, WM_NOTE_RELEASED);
      }
      return;
    }
    default:
      break;
  }
  WM_DefaultProc(pMsg);
}

}  // namespace

WM_HWIN EDIT_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int /*exFlags*/,
                        int id, int maxLen, int numExtraBytes) {
  GUI_LockGuard lock;
  if (numExtraBytes < 0) numExtraBytes = 0;
  WM_HWIN h = WM_CreateWindowAsChild(x0, y0, xSize, ySize, hParent, winFlags, Callback,
                                     int(sizeof(EDIT_Obj) - sizeof(WM_Obj)) + numExtraBytes);
  if (!h) {
    GUI_ErrorOut("EDIT:\nEDIT_CreateUser() failed");
    return 0;
  }
  auto* p = static_cast<EDIT_Obj*>(GUI_ALLOC_h2p(h));
  WIDGET__Init(&p->Widget, id, WIDGET_STATE_FOCUSABLE);
  p->Widget.DebugId = EDIT_Obj::kTag;
  p->Props = DefaultProps;
  p->XSizeCursor = 1;
  p->CursorVisible = 1;
  p->AutoLen = maxLen != -1;
  p->Min = INT32_MIN;
  p->Max = INT32_MAX;
  if (maxLen <= 0) maxLen = 8;
  if (maxLen > 0x7FFE) maxLen = 0x7FFE;
  p->MaxLen = int16_t(maxLen);
  if (!Reserve(h, maxLen + 1)) {
    GUI_ErrorOut("EDIT:\nFailed to alloc buffer in EDIT_CreateUser()");
    WM_DeleteWindow(h);
    return 0;
  }
  WM_InvalidateWindow(h);
  return h;
}
WM_HWIN EDIT_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id,
                      int maxLen) {
  return EDIT_CreateUser(x0, y0, xSize, ySize, hParent, winFlags, exFlags, id, maxLen, 0);
}
WM_HWIN EDIT_Create(int x0, int y0, int xSize, int ySize, int id, int maxLen, uint32_t flags) {
  return EDIT_CreateUser(x0, y0, xSize, ySize, 0, flags, 0, id, maxLen, 0);
}
WM_HWIN EDIT_CreateAsChild(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, int id, uint32_t flags,
                           int maxLen) {
  return EDIT_CreateUser(x0, y0, xSize, ySize, hParent, flags, 0, id, maxLen, 0);
}
WM_HWIN EDIT_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK*) {
  WM_HWIN h = EDIT_CreateUser(pItem->x0 + x0, pItem->y0 + y0, pItem->xSize, pItem->ySize, hParent, 0, pItem->Flags,
                              pItem->Id, pItem->Para, int(pItem->NumExtraBytes));
  if (h) EDIT_SetTextAlign(h, pItem->Flags);
  return h;
}

void EDIT_SetText(WM_HWIN hObj, const char* s) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  if (!p) return;
  if (!s) {
    if (!p->hText) return;
    GUI_HMEM hText = p->hText;
    p->hText = 0;
    p->BufferSize = 0;
    p->CursorPos = 0;
    p->SelSize = 0;
    GUI_ALLOC_Free(hText);
    WM_InvalidateWindow(hObj);
    return;
  }
  int numChars = GUI_UC_CountChars(s);
  if (numChars > p->MaxLen) numChars = p->MaxLen;
  int numBytes = GUI_UC_CharsToBytes(s, numChars);
  const char* pOld = Text(p);
  if (pOld && int(std::strlen(pOld)) == numBytes && std::memcmp(pOld, s, size_t(numBytes)) == 0) return;
  // The source may lie in the GUI heap: copy it before the buffer may move.
  char aSmall[64];
  char* pCopy = aSmall;
  GUI_HMEM hCopy = 0;
  if (numBytes >= int(sizeof(aSmall))) {
    hCopy = GUI_ALLOC_AllocNoInit(numBytes + 1);
    if (!hCopy) return;
    pCopy = static_cast<char*>(GUI_ALLOC_h2p(hCopy));
  }
  std::memcpy(pCopy, s, size_t(numBytes));
  if (!Reserve(hObj, numBytes + 1)) {
    GUI_ALLOC_Free(hCopy);
    return;
  }
  if (hCopy) pCopy = static_cast<char*>(GUI_ALLOC_h2p(hCopy));
  p = Obj(hObj);
  char* d = Text(p);
  std::memcpy(d, pCopy, size_t(numBytes));
  d[numBytes] = 0;
  GUI_ALLOC_Free(hCopy);
  p = Obj(hObj);
  p->CursorPos = numChars;
  if (p->EditMode && numChars >= p->MaxLen) p->CursorPos = p->MaxLen - 1;
  p->SelSize = 0;
  WM_InvalidateWindow(hObj);
}
void EDIT_GetText(WM_HWIN hObj, char* pBuffer, int size) {
  GUI_LockGuard lock;
  if (!pBuffer || size <= 0) return;
  pBuffer[0] = 0;
  EDIT_Obj* p = Obj(hObj);
  const char* s = p ? Text(p) : nullptr;
  if (!s) return;
  int n = int(std::strlen(s));
  if (n > size - 1) n = size - 1;
  std::memcpy(pBuffer, s, size_t(n));
  pBuffer[n] = 0;
}
int EDIT_GetNumChars(WM_HWIN hObj) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  return p ? NumChars(p) : 0;
}
void EDIT_SetMaxLen(WM_HWIN hObj, int maxLen) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  if (!p || maxLen < 0 || maxLen > 0x7FFE) return;
  char* s = Text(p);
  int len = s ? int(std::strlen(s)) : 0;
  if (s && NumChars(p) > maxLen) {
    len = GUI_UC_CharsToBytes(s, maxLen);
    s[len] = 0;
  }
  int size = (maxLen > len ? maxLen : len) + 1;
  GUI_HMEM hNew = p->hText ? GUI_ALLOC_Realloc(p->hText, size) : GUI_ALLOC_AllocZero(size);
  p = Obj(hObj);
  if (hNew) {
    p->hText = hNew;
    p->BufferSize = uint16_t(size);
  }
  p->MaxLen = int16_t(maxLen);
  SetCursorPos(p, p->CursorPos);
  WM_InvalidateWindow(hObj);
}
void EDIT_SetCursorAtChar(WM_HWIN hObj, int pos) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  if (!p) return;
  SetCursorPos(p, pos);
  WM_InvalidateWindow(hObj);
}
int EDIT_GetCursorCharPos(WM_HWIN hObj) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  return p ? p->CursorPos : 0;
}
void EDIT_SetSel(WM_HWIN hObj, int firstChar, int lastChar) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  if (!p) return;
  if (firstChar == -1) {
    p->SelSize = 0;
  } else {
    // Both ends stay inside the text, so that the selection never covers the terminator.
    int last = NumChars(p) - 1;
    if (lastChar == -1 || lastChar > last) lastChar = last;
    if (firstChar > last) firstChar = last;
    if (firstChar >= 0 && lastChar >= firstChar) {
      p->CursorPos = firstChar;
      p->SelSize = lastChar - firstChar + 1;
    }
  }
  WM_InvalidateWindow(hObj);
}
void EDIT_SetFont(WM_HWIN hObj, const GUI_FONT* pFont) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  if (!p) return;
  p->Props.pFont = pFont;
  WM_InvalidateWindow(hObj);
}
void EDIT_SetTextAlign(WM_HWIN hObj, int align) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  if (!p) return;
  p->Props.Align = int16_t(align);
  WM_InvalidateWindow(hObj);
}
void EDIT_SetTextColor(WM_HWIN hObj, unsigned index, GUI_COLOR color) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  if (!p || index > 2) return;
  p->Props.aTextColor[index] = color;
  WM_InvalidateWindow(hObj);
}
void EDIT_SetBkColor(WM_HWIN hObj, unsigned index, GUI_COLOR color) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  if (!p || index > 2) return;
  p->Props.aBkColor[index] = color;
  WM_InvalidateWindow(hObj);
}
void EDIT_EnableBlink(WM_HWIN hObj, int period, int onOff) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  if (!p) return;
  if (onOff) {
    if (p->hTimer) return;
    WM_HTIMER hTimer = WM_CreateTimer(hObj, 0, period);
    if ((p = Obj(hObj))) p->hTimer = hTimer;
  } else {
    WM_HTIMER hTimer = p->hTimer;
    p->hTimer = 0;
    p->CursorVisible = 1;
    WM_DeleteTimer(hTimer);
    WM_InvalidateWindow(hObj);
  }
}
void EDIT_AddKey(WM_HWIN hObj, int key) {
  GUI_LockGuard lock;
  AddKey(hObj, key);
}
void EDIT_SetValue(WM_HWIN hObj, int32_t value) {
  GUI_LockGuard lock;
  SetValueEx(hObj, value, false);
}
void EDIT_SetUlongValue(WM_HWIN hObj, uint32_t value) {
  GUI_LockGuard lock;
  SetValueEx(hObj, int32_t(value), true);
}
int32_t EDIT_GetValue(WM_HWIN hObj) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  return p ? p->CurrentValue : 0;
}
void EDIT_SetDecMode(WM_HWIN hObj, int32_t value, int32_t min, int32_t max, int shift, uint8_t flags) {
  GUI_LockGuard lock;
  EDIT_Obj* p = Obj(hObj);
  if (!p) return;
  if (shift < 0) shift = 0;
  if (shift > 9) shift = 9;
  p->pfAddKeyEx = DecKeyHandler;
  p->pfUpdateBuffer = UpdateDec;
  p->CurrentValue = value;
  p->CursorPos = 0;
  p->SelSize = 0;
  p->Min = min;
  p->Max = max;
  p->NumDecs = uint8_t(shift);
  p->Flags = flags;
  p->EditMode = 1;
  if (p->AutoLen) {
    int a = Digits(min, shift) + (shift > 0 ? 1 : 0);
    int b = Digits(max, shift) + (shift > 0 ? 1 : 0) + (flags & GUI_EDIT_SIGNED ? 1 : 0);
    p->MaxLen = int16_t(a > b ? a : b);
  }
  UpdateDec(hObj);
  p = Obj(hObj);
  const char* s = Text(p);
  if (s && s[0] && s[p->CursorPos] == GUI_GetDecChar()) ++p->CursorPos;
  WM_InvalidateWindow(hObj);
}
int EDIT_GetUserData(WM_HWIN hObj, void* pDest, int size) {
  return WIDGET__GetUserDataOf<EDIT_Obj>(hObj, pDest, size);
}
int EDIT_SetUserData(WM_HWIN hObj, const void* pSrc, int size) {
  return WIDGET__SetUserDataOf<EDIT_Obj>(hObj, pSrc, size);
}
