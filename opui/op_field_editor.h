// The field editor of the block operating pages: which field of the page is current,
// whether it is being edited, and the edit field's value entry with its limit data, in the
// layout of the value lists. The firmware's page start-up resets it; a field left without a
// key for OP_FIELD_TIMEOUT_CYCLES is deselected.
#pragma once

#include <cstdint>

#include "runtime/fb_values.h"

constexpr uint16_t OP_FIELD_TIMEOUT_CYCLES = 600;   // one minute of cycles without a key
constexpr float OP_FIELD_TIME_MAX_MARKER = -31001.0f;  // the maximum comes from the page

struct OpFieldEditor {
  uint16_t currentField;       // index of the selected field 1..n; 0 = none
  uint8_t editing;             // an edit is in progress
  int16_t lastField;           // the field edited last, -1 none
  uint16_t lastCountdown;      // cycles the last-edited field stays marked
  uint16_t idleCycles;         // cycles without a key while a field is current
  float timeMax;               // a minutes:seconds field's maximum from its page definition
  FbValueEntry entry;          // the edit field's value
  FbFloatLimitData floatLimits;
  FwShortLimit shortLimits;
};
extern OpFieldEditor g_opFieldEditor;

// Back to no field: index 0, no edit, no last-edited field, the value entry of kind 3 without
// value, handler and block, limits 0 with the attribute word 0.
void OP_ResetFieldEditor();
// A field of kind 11 (a time shown as minutes:seconds): its stored maximum becomes the marker
// -31001 and its maximum callback OP_FieldEditorTimeMax, which answers `pageMax`.
void OP_FieldEditorSetTimeField(float pageMax);
float OP_FieldEditorTimeMax(uint16_t block);
// One cycle of the block page: a key keeps the field; OP_FIELD_TIMEOUT_CYCLES cycles without
// one deselect it (and end an edit in progress).
void OP_FieldEditorCycle(uint8_t keyCode);
