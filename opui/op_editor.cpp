#include "opui/op_editor.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "opui/op_dialogs.h"
#include "opui/op_display.h"
#include "opui/op_format.h"
#include "opui/op_keys.h"
#include "runtime/fb_param.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_text.h"

OpEditState g_opEdit;

namespace {

constexpr uint8_t kFloatStorage = 4;
constexpr int32_t kPow10[5] = {1, 10, 100, 1000, 10000};
constexpr int32_t kScaledMax = 99999, kScaledMin = -9999;   // the range of one decimal more
constexpr int32_t kGainMax = 9999, kGainMin = -999;
constexpr int kSelectionChars = 16;
constexpr uint16_t kLastIndex = 255;                         // a selection's indices are bytes

bool isFloatKind(uint8_t kind) {
  return kind == OP_FIELD_FLOAT || kind == OP_FIELD_MINSEC || kind == OP_FIELD_HMS ||
         kind == OP_FIELD_DIGITS || kind == OP_FIELD_RECORD;
}

bool isMarker(float v) {
  return v == FW_MARK_MINUTES_SECONDS || v == FW_MARK_SIX_DIGITS_A || v == FW_MARK_SIX_DIGITS_B;
}

float scaledToFloat(int32_t n, uint8_t d) {
  return static_cast<float>(static_cast<double>(n) / kPow10[d > 4 ? 4 : d]);
}

// -1, 0 or 1 as a at da decimals is below, equal to or above b at db decimals.
int compareScaled(int32_t a, uint8_t da, int32_t b, uint8_t db) {
  int64_t x = a, y = b;
  if (da < db) {
    x *= kPow10[db - da];
  } else {
    y *= kPow10[da - db];
  }
  return x < y ? -1 : x > y ? 1 : 0;
}

// A limit as a scaled value: like OP_ChooseDecimals, but a limit of -32000 is the number.
void scaleBound(float v, uint8_t most, int32_t* n, uint8_t* d) {
  *d = most;
  if (v == FW_NO_VALUE) {
    *n = static_cast<int32_t>(FW_NO_VALUE);
    *d = 0;
    return;
  }
  *n = OP_ChooseDecimals(v, d);
}

void syncFloat(OpEditState& e) {
  e.fvalue = e.off ? FW_NO_VALUE : scaledToFloat(e.value, e.valueDecimals);
  e.stepUnit = g_opStepTable[e.valueDecimals > 4 ? 4 : e.valueDecimals];
}

// A value rescaled and limited after each step and each new value: one decimal less above
// the range, one more where the value allows it (the added 9 keeps a step down across the
// boundary one fine unit below it), then the limits: below the minimum is off where off is
// allowed, else the minimum.
void rescaleAndLimit(OpEditState& e) {
  if (!e.off) {
    int32_t& n = e.value;
    uint8_t& d = e.valueDecimals;
    if (d > 0 && (n > kScaledMax || n < kScaledMin)) {
      n /= 10;
      --d;
    } else if (d < e.maxDecimals && n >= kGainMin && n <= kGainMax) {
      n = n * 10 + (n >= 1 ? 9 : -9);
      ++d;
    }
  }
  if (e.off) {
    if (!e.offAllowed) {
      e.off = 0;
      e.value = e.minimum;
      e.valueDecimals = e.minimumDecimals;
    }
  } else if (compareScaled(e.value, e.valueDecimals, e.minimum, e.minimumDecimals) < 0) {
    if (e.offAllowed) {
      e.off = 1;
    } else {
      e.value = e.minimum;
      e.valueDecimals = e.minimumDecimals;
    }
  } else if (compareScaled(e.value, e.valueDecimals, e.maximum, e.maximumDecimals) > 0) {
    e.value = e.maximum;
    e.valueDecimals = e.maximumDecimals;
  }
  syncFloat(e);
}

bool startFloat(OpEditState& e, uint8_t kind) {
  const auto* lim = static_cast<const FbFloatLimitData*>(e.descriptor.limits);
  FbValueEntry access = e.descriptor;
  access.kind = FB_KIND_FLOAT;
  // The display tag stands in the stored minimum or maximum of the limit record.
  const float tag = isMarker(lim->min) ? lim->min : isMarker(lim->max) ? lim->max : 0.0f;
  if (kind == OP_FIELD_FLOAT && tag == FW_MARK_MINUTES_SECONDS) kind = OP_FIELD_MINSEC;
  if (kind == OP_FIELD_FLOAT && tag == FW_MARK_SIX_DIGITS_B) kind = OP_FIELD_DIGITS;
  e.kind = kind;
  e.storage = kFloatStorage;
  e.large = tag == FW_MARK_SIX_DIGITS_A ? 1 : 0;
  bool offAllowed = false;
  float lo = FW_GetFieldMinFloat(&access, &offAllowed);
  float hi = FW_GetFieldMaxFloat(&access);
  if (isMarker(lim->min) && !lim->minFn) lo = 0.0f;
  if (isMarker(lim->max) && !lim->maxFn) hi = kind == OP_FIELD_MINSEC ? OP_DURATION_MAX : OP_NUMBER_MAX;
  uint8_t most = static_cast<uint8_t>(FW_GetFieldAccess(&access));
  const bool duration = kind == OP_FIELD_MINSEC || kind == OP_FIELD_HMS;
  if (e.large) {
    lo = 0.0f;
    hi = OP_LARGE_MAX;
    most = 0;
  } else if (kind == OP_FIELD_HMS) {
    most = most ? 2 : 0;
  } else if (kind != OP_FIELD_FLOAT) {
    most = 0;
  }
  if (duration) {
    if (!(lo >= 0.0f) && lo != FW_NO_VALUE) lo = 0.0f;
    if (!(hi <= static_cast<float>(OP_DURATION_MAX))) hi = OP_DURATION_MAX;
  }
  float v;
  std::memcpy(&v, e.descriptor.value, sizeof v);
  if (std::isnan(v)) v = lo;
  e.off = v == FW_NO_VALUE ? 1 : 0;
  if (!e.off) v = v < lo ? lo : v > hi ? hi : v;
  e.offAllowed = offAllowed ? 1 : 0;
  e.maxDecimals = most;
  e.valueDecimals = most;
  e.value = OP_ChooseDecimals(v, &e.valueDecimals);
  scaleBound(lo, most, &e.minimum, &e.minimumDecimals);
  scaleBound(hi, most, &e.maximum, &e.maximumDecimals);
  e.fmin = lo;
  e.fmax = hi;
  syncFloat(e);
  return true;
}

void startInteger(OpEditState& e, uint8_t kind) {
  int32_t raw;
  if (kind == OP_FIELD_WORD) {
    int16_t w;
    std::memcpy(&w, e.descriptor.value, sizeof w);
    raw = w;
    e.storage = 2;
  } else {
    raw = *static_cast<const uint8_t*>(e.descriptor.value);
    e.storage = 1;
  }
  // The limit accessors read a 16-bit value: a byte field gets a copy of its own.
  uint16_t copy = static_cast<uint16_t>(raw);
  FbValueEntry access = e.descriptor;
  access.kind = FB_KIND_WORD;
  access.value = &copy;
  bool offAllowed = false;
  int32_t lo = FW_GetFieldMinShort(&access, &offAllowed);
  int32_t hi = FW_GetFieldMaxShort(&access);
  e.discrete = lo == FW_LIMIT_DISCRETE && hi == FW_LIMIT_DISCRETE ? 1 : 0;
  if (e.discrete) {
    kind = OP_FIELD_BYTE;
    lo = 0;
    hi = kLastIndex;
    offAllowed = false;
  }
  e.kind = kind;
  e.offAllowed = offAllowed ? 1 : 0;
  e.off = offAllowed && raw == FW_NO_VALUE_S ? 1 : 0;
  if (!e.off) raw = raw < lo ? lo : raw > hi ? hi : raw;
  e.value = raw;
  e.minimum = lo;
  e.maximum = hi;
  e.fmin = static_cast<float>(lo);
  e.fmax = static_cast<float>(hi);
  syncFloat(e);
}

// The value into the target field, right-aligned in its width, and the field marked.
void showTarget(OpEditState& e, bool editing) {
  if (e.text && e.width > 0) {
    char buf[48];
    const char* t = buf;
    buf[0] = 0;
    if (e.selection) {
      if (e.textBase) {
        t = FW_GetText(e.textBase + static_cast<uint32_t>(e.value));
      } else {
        std::snprintf(buf, sizeof buf, "%d", static_cast<int>(e.value));
      }
    } else if (e.storage != kFloatStorage) {
      OP_FormatNumber(e.text, e.width, e.off ? FW_NO_VALUE : static_cast<float>(e.value), 0,
                      OP_ALIGN_RIGHT, e.width);
      t = nullptr;
    } else if (e.kind == OP_FIELD_MINSEC) {
      OP_FormatMinSec(e.fvalue, 0, buf, sizeof buf);
    } else if (e.kind == OP_FIELD_HMS) {
      OP_FormatHms(e.fvalue, 0, buf, sizeof buf);
    } else if (e.kind == OP_FIELD_RECORD) {
      OP_FormatRecordLabel(buf, FW_FloatToI32(std::round(e.fvalue)), e.recordCount, e.records);
    } else if ((e.large || e.kind == OP_FIELD_DIGITS) && !e.off) {
      std::snprintf(buf, sizeof buf, "%06.0f", static_cast<double>(e.fvalue));
    } else {
      OP_FormatNumber(e.text, e.width, e.fvalue, e.valueDecimals, OP_ALIGN_RIGHT, e.width);
      t = nullptr;
    }
    if (t) {
      while (*t == ' ') ++t;
      int len = static_cast<int>(std::strlen(t));
      if (e.selection && len > kSelectionChars) len = kSelectionChars;
      if (len > e.width) len = e.width;
      std::memset(e.text, ' ', static_cast<size_t>(e.width - len));
      std::memcpy(e.text + e.width - len, t, static_cast<size_t>(len));
    }
  }
  if (e.changed) *e.changed = 1;
  if (e.colours && e.width > 0)
    std::memset(e.colours, editing ? OP_ROW_EDIT : OP_ROW_HIGHLIGHT, static_cast<size_t>(e.width));
}

// The candidates of a selection's list: every index the limit record allows (a discrete
// set), or the range of the limits, within the texts that follow the label.
void selectionRange(const OpEditState& e, uint16_t* first, uint16_t* last) {
  int32_t lo = e.discrete ? 0 : e.minimum, hi = e.discrete ? kLastIndex : e.maximum;
  if (lo < 0) lo = 0;
  if (hi > kLastIndex) hi = kLastIndex;
  if (e.textBase > 0) {
    const uint16_t choices = FW_GetTextCode(e.textBase - 1u);
    if (choices > 0 && hi > choices - 1) hi = choices - 1;
  }
  *first = static_cast<uint16_t>(lo);
  *last = static_cast<uint16_t>(hi < lo ? lo - 1 : hi);
}

// One cycle of the list fill: at most 10 rows, for at most 13 cycles.
void fillList(OpEditState& e) {
  uint16_t first, last;
  selectionRange(e, &first, &last);
  if (e.fillCycles >= OP_EDIT_LIST_CYCLES || e.fillNext > last) return;
  ++e.fillCycles;
  const auto* lim = static_cast<const FwShortLimit*>(e.descriptor.limits);
  for (int added = 0; added < OP_EDIT_LIST_ROWS && e.fillNext <= last;) {
    const uint16_t i = e.fillNext++;
    if (e.discrete && !FW_CheckShortLimit(static_cast<int16_t>(i), lim, e.descriptor.block)) continue;
    char number[8];
    const char* text = number;
    if (e.textBase) {
      text = FW_GetText(e.textBase + i);
    } else {
      std::snprintf(number, sizeof number, "%u", i);
    }
    if (!OP_ListDialogAdd(text, i)) {
      e.fillNext = static_cast<uint16_t>(last + 1);
      return;
    }
    ++added;
  }
}

bool openWindow(OpEditState& e) {
  e.done = OP_DIALOG_OPEN;
  if (e.selection) {
    e.listValue = e.value;
    uint16_t last;
    selectionRange(e, &e.fillNext, &last);
    e.fillCycles = 0;
    e.window = OP_OpenListDialog(nullptr, &e.listValue, &e.done);
    e.windowFlags = OP_EDIT_WIN_LIST;
  } else if (e.mode == OP_EDIT_MODE_PLUSMINUS) {
    e.window = OP_OpenPlusMinus(&e.step, &e.done);
    e.windowFlags = OP_EDIT_WIN_PLUSMINUS;
  } else if (e.large) {
    e.entry = e.fvalue;
    e.window = OP_OpenBitsDialog(&e.entry, &e.done);
    e.windowFlags = OP_EDIT_WIN_BITS;
  } else {
    int kind = OP_KEYPAD_NUMBER;
    float scale = 1.0f;
    if (e.storage != kFloatStorage) {
      kind = OP_KEYPAD_INTEGER;
    } else if (e.kind == OP_FIELD_MINSEC) {
      kind = OP_KEYPAD_MINSEC;
    } else if (e.kind == OP_FIELD_HMS) {
      kind = OP_KEYPAD_HMS;
      scale = 60.0f;   // the keypad enters seconds, the field holds minutes
    } else if (e.kind == OP_FIELD_DIGITS) {
      kind = OP_KEYPAD_DIGITS;
    }
    auto toKeypad = [scale](float v) { return v == FW_NO_VALUE ? v : v * scale; };
    e.entry = toKeypad(e.fvalue);
    e.window = OP_OpenKeypad(kind, &e.entry, toKeypad(e.fmin), toKeypad(e.fmax), e.maxDecimals, &e.done);
    e.windowFlags = OP_EDIT_WIN_KEYPAD;
  }
  if (!e.window) e.windowFlags = 0;
  return e.window != 0;
}

// The steps of the plus/minus dialog, one scaled unit each.
void takeSteps(OpEditState& e) {
  if (e.stepUp || e.stepDown) {
    uint8_t* target = e.step > 0 ? e.stepUp : e.step < 0 ? e.stepDown : nullptr;
    if (target) *target = 1;
    e.step = 0;
    return;
  }
  while (e.step != 0) {
    const int dir = e.step > 0 ? 1 : -1;
    e.step = static_cast<int8_t>(e.step - dir);
    if (e.off) {
      if (dir < 0) continue;
      e.off = 0;
      e.value = e.minimum;
      e.valueDecimals = e.minimumDecimals;
      syncFloat(e);
    } else {
      // A value at the end of the scaled range stays there.
      if (dir > 0 ? e.value < INT32_MAX : e.value > INT32_MIN) e.value += dir;
      rescaleAndLimit(e);
    }
    showTarget(e, true);
  }
}

void sendCommand(WM_HWIN dialog, int id) {
  WM_MESSAGE msg{};
  msg.MsgId = id;
  WM_SendMessage(WM_GetClientWindow(dialog), &msg);
}

// The hard keys on the open dialog: a short enter confirms, a short exit cancels (both as
// presses of the dialog's own buttons), down and up are the next and previous commands.
void operateByKeys(const OpEditState& e) {
  int confirm = OP_ID_KP_OK, cancel = OP_ID_KP_ESC;
  if (e.windowFlags & OP_EDIT_WIN_LIST) {
    confirm = OP_ID_LIST_OK;
    cancel = OP_ID_LIST_ESC;
  } else if (e.windowFlags & OP_EDIT_WIN_PLUSMINUS) {
    confirm = cancel = OP_ID_PM_EXIT;
  } else if (e.windowFlags & OP_EDIT_WIN_BITS) {
    confirm = OP_ID_BITS_OK;
    cancel = OP_ID_BITS_ESC;
  }
  const OpKeyState& k = g_opKeys;
  if (OP_IsShortPress(k.enterReleased)) {
    OP_PressDialogButton(e.window, confirm);
  } else if (OP_IsShortPress(k.exitReleased)) {
    OP_PressDialogButton(e.window, cancel);
  }
  if (k.lastKeyCode == OP_KEY_DOWN && (k.downStep || k.holdDown > OP_HOLD_REPEAT)) {
    sendCommand(e.window, WM_MSG_CMD_NEXT);
  } else if (k.lastKeyCode == OP_KEY_UP && (k.upStep || k.holdUp > OP_HOLD_REPEAT)) {
    sendCommand(e.window, WM_MSG_CMD_PREVIOUS);
  }
}

// The value the dialog ended with.
void takeResult(OpEditState& e) {
  if (e.windowFlags & OP_EDIT_WIN_PLUSMINUS) return;   // stepped already
  if (e.windowFlags & OP_EDIT_WIN_LIST) {
    e.off = 0;
    e.value = e.listValue;
    e.valueDecimals = 0;
  } else if (e.entry == FW_NO_VALUE) {
    e.off = 1;
  } else {
    e.off = 0;
    float v = e.entry;
    if (e.kind == OP_FIELD_HMS) v /= 60.0f;
    if (e.storage == kFloatStorage) {
      e.valueDecimals = e.maxDecimals;
      e.value = OP_ChooseDecimals(v, &e.valueDecimals);
    } else {
      e.value = FW_FloatToI32(std::round(static_cast<double>(v)));
      e.valueDecimals = 0;
    }
  }
  rescaleAndLimit(e);
}

void restoreStart(OpEditState& e) {
  e.value = e.startValue;
  e.valueDecimals = e.startDecimals;
  e.off = e.startOff;
  syncFloat(e);
}

void finish(OpEditState& e, bool ok) {
  // A dialog still open is closed (an abort); one that ended has deleted itself.
  if (e.window && e.done == OP_DIALOG_OPEN) OP_CloseTouchDialog(e.window);
  e.window = 0;
  if (ok) {
    takeResult(e);
  } else {
    restoreStart(e);
  }
  e.windowFlags = 0;
  showTarget(e, false);
  if (ok) {
    e.resultValue = e.off ? FW_NO_VALUE : scaledToFloat(e.value, e.valueDecimals);
    e.commitResult = e.commit ? e.commit(&e.descriptor, e.fieldIndex, e.resultValue) : 0;
    e.result = 1;
  }
  e.active = 0;
}

// The answer of the last committed parameter request (255 while it waits).
uint8_t g_commitAnswer;

}  // namespace

int OP_EditStart(const FbValueEntry* descriptor, uint16_t fieldIndex) {
  if (!descriptor || !descriptor->value || !descriptor->limits) return 0;
  const uint8_t kind = descriptor->kind & OP_FIELD_KIND_MASK;
  if (!isFloatKind(kind) && kind != OP_FIELD_WORD && kind != OP_FIELD_BYTE) return 0;
  if (g_opEdit.active) OP_EditAbort();
  OpEditState& e = g_opEdit;
  e = OpEditState{};
  e.descriptor = *descriptor;
  e.descriptor.kind = kind;
  e.fieldIndex = fieldIndex;
  e.commit = OP_ValueCommit;
  e.redraw = 1;
  if (isFloatKind(kind)) {
    startFloat(e, kind);
  } else {
    startInteger(e, kind);
  }
  e.startValue = e.value;
  e.startDecimals = e.valueDecimals;
  e.startOff = e.off;
  e.active = 1;
  return 1;
}

void OP_EditSetTarget(char* text, uint16_t* changed, int width, uint8_t* colours,
                      uint16_t textBase, const uint16_t* records, int recordCount, int mode) {
  OpEditState& e = g_opEdit;
  e.text = text;
  e.width = text && width > 0 ? width : 0;
  e.changed = changed;
  e.colours = colours;
  e.textBase = textBase;
  e.records = records;
  e.recordCount = records && recordCount > 0 ? recordCount : 0;
  e.mode = static_cast<uint8_t>(mode);
  e.selection = e.storage != kFloatStorage && (e.discrete || textBase != 0) ? 1 : 0;
}

void OP_EditSetStepTargets(uint8_t* up, uint8_t* down) {
  g_opEdit.stepUp = up;
  g_opEdit.stepDown = down;
}

int OP_EditStep() {
  OpEditState& e = g_opEdit;
  if (!e.active) return 1;
  if (!e.opened) {
    e.opened = 1;
    if (!openWindow(e)) {
      finish(e, false);
      return 1;
    }
    showTarget(e, true);
    if (e.windowFlags & OP_EDIT_WIN_LIST) fillList(e);
    return 0;
  }
  if (e.windowFlags & OP_EDIT_WIN_LIST) fillList(e);
  if (e.windowFlags & OP_EDIT_WIN_PLUSMINUS) takeSteps(e);
  // A dialog closed from outside reads cancelled.
  if (e.done != OP_DIALOG_OPEN) {
    finish(e, e.done == OP_DIALOG_OK);
    return 1;
  }
  operateByKeys(e);
  return 0;
}

void OP_EditAbort() {
  OpEditState& e = g_opEdit;
  if (!e.active) return;
  finish(e, false);
}

int OP_ValueCommit(const FbValueEntry* descriptor, uint16_t fieldIndex, float value) {
  if (!descriptor || !descriptor->value) return FW_POST_BAD;
  const uint8_t kind = descriptor->kind & OP_FIELD_KIND_MASK;
  uint8_t data[4];
  uint32_t length;
  if (isFloatKind(kind)) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) data[i] = static_cast<uint8_t>(bits >> (8 * i));
    length = 4;
  } else {
    const uint16_t w = static_cast<uint16_t>(FW_FloatToI32(value));
    data[0] = static_cast<uint8_t>(w);
    data[1] = static_cast<uint8_t>(w >> 8);
    length = descriptor->handler || kind == OP_FIELD_WORD ? 2 : 1;
  }
  if (descriptor->handler) {
    return FW_PostDeferredCall(descriptor->block, static_cast<int16_t>(fieldIndex), data, length,
                               descriptor->handler, &g_commitAnswer);
  }
  if (isFloatKind(kind)) {
    std::memcpy(descriptor->value, &value, sizeof value);
  } else if (length == 2) {
    const uint16_t w = static_cast<uint16_t>(data[0] | data[1] << 8);
    std::memcpy(descriptor->value, &w, sizeof w);
  } else {
    *static_cast<uint8_t*>(descriptor->value) = data[0];
  }
  return FW_POST_OK;
}
