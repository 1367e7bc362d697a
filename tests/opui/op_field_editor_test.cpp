// The block page's field editor: its reset, the time field's maximum from the page, and the
// minute without a key after which a field is deselected.
#include <gtest/gtest.h>

#include "opui/op_field_editor.h"
#include "runtime/fb_values.h"

namespace {

TEST(FieldEditor, ResetLeavesNoFieldAndAnEmptyFloatEntry) {
  OpFieldEditor& f = g_opFieldEditor;
  f.currentField = 4;
  f.editing = 1;
  f.lastField = 3;
  f.lastCountdown = 9;
  f.floatLimits.max = 7.0f;
  f.entry.block = 12;
  OP_ResetFieldEditor();
  EXPECT_EQ(f.currentField, 0);
  EXPECT_EQ(f.editing, 0);
  EXPECT_EQ(f.lastField, -1);
  EXPECT_EQ(f.lastCountdown, 0);
  EXPECT_EQ(f.entry.kind, FB_KIND_FLOAT);
  EXPECT_EQ(f.entry.value, nullptr);
  EXPECT_EQ(f.entry.handler, nullptr);
  EXPECT_EQ(f.entry.block, 0);
  EXPECT_EQ(FW_GetFieldMaxFloat(&f.entry), 0.0f);
  EXPECT_EQ(FW_GetFieldMinFloat(&f.entry, nullptr), 0.0f);
  EXPECT_EQ(FW_GetFieldAccess(&f.entry), 0);   // attribute word 0
  EXPECT_EQ(f.shortLimits.min, 0);
  EXPECT_EQ(f.shortLimits.max, 0);
}

TEST(FieldEditor, ATimeFieldTakesItsMaximumFromThePage) {
  OP_ResetFieldEditor();
  OP_FieldEditorSetTimeField(5999.0f);
  EXPECT_EQ(g_opFieldEditor.floatLimits.max, OP_FIELD_TIME_MAX_MARKER);
  EXPECT_EQ(FW_GetFieldMaxFloat(&g_opFieldEditor.entry), 5999.0f);
}

TEST(FieldEditor, AFieldWithoutAKeyForAMinuteIsDeselected) {
  OP_ResetFieldEditor();
  OpFieldEditor& f = g_opFieldEditor;
  f.currentField = 2;
  f.editing = 1;
  for (int i = 1; i < OP_FIELD_TIMEOUT_CYCLES; ++i) OP_FieldEditorCycle(0);
  OP_FieldEditorCycle(4);                // a key starts the minute again
  for (int i = 1; i < OP_FIELD_TIMEOUT_CYCLES; ++i) OP_FieldEditorCycle(0);
  EXPECT_EQ(f.currentField, 2);
  EXPECT_EQ(f.editing, 1);
  OP_FieldEditorCycle(0);
  EXPECT_EQ(f.currentField, 0);
  EXPECT_EQ(f.editing, 0);
}

}  // namespace
