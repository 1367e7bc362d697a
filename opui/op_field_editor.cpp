#include "opui/op_field_editor.h"

#include "opui/op_services.h"

OpFieldEditor g_opFieldEditor;

namespace {
// The attribute words a limit record can point at (decimals 0..3).
const uint16_t kAttributeWords[4] = {0, 1, 2, 3};
}  // namespace

void OP_ResetFieldEditor() {
  OpFieldEditor& f = g_opFieldEditor;
  f.currentField = 0;
  f.editing = 0;
  f.lastField = -1;
  f.lastCountdown = 0;
  f.idleCycles = 0;
  f.timeMax = 0.0f;
  f.floatLimits = FbFloatLimitData{};
  f.floatLimits.attribute = &kAttributeWords[0];
  f.shortLimits = FwShortLimit{};
  f.entry = FbValueEntry{};
  f.entry.kind = FB_KIND_FLOAT;
  f.entry.limits = &f.floatLimits;
}

void OP_FieldEditorSetTimeField(float pageMax) {
  OpFieldEditor& f = g_opFieldEditor;
  f.timeMax = pageMax;
  f.floatLimits.max = OP_FIELD_TIME_MAX_MARKER;
  f.floatLimits.maxFn = OP_FieldEditorTimeMax;
}

float OP_FieldEditorTimeMax(uint16_t) { return g_opFieldEditor.timeMax; }

void OP_FieldEditorCycle(uint8_t keyCode) {
  OpFieldEditor& f = g_opFieldEditor;
  if (f.lastCountdown) --f.lastCountdown;
  if (keyCode) {
    f.idleCycles = 0;
    return;
  }
  if (f.currentField == 0 && !f.editing) return;
  if (++f.idleCycles < OP_FIELD_TIMEOUT_CYCLES) return;
  f.idleCycles = 0;
  f.currentField = 0;
  f.editing = 0;
}
