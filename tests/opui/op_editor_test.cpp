// The value editor: which dialog a field gets, entries limited to the field, the rescaling
// of the stepper, the rewritten target text, the commit, and the hard keys on the dialogs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "opui_fixture.h"
#include "runtime/fb_param.h"
#include "runtime/fw_text.h"

namespace {

float tenSeconds(uint16_t) { return 10.0f; }
float zero(uint16_t) { return 0.0f; }
float bigTime(uint16_t) { return 5999.0f; }

// A float field with its limit data, wired the way the value lists wire them.
struct FloatField {
  float value;
  FbFloatLimitData limits{};
  FbValueEntry entry{};
  FloatField(float v, float min, float max, uint16_t decimals, uint8_t kind = OP_FIELD_FLOAT) : value(v) {
    limits.min = min;
    limits.max = max;
    limits.ownAttribute = decimals;
    limits.attribute = &limits.ownAttribute;
    entry.kind = kind;
    entry.value = &value;
    entry.limits = &limits;
    entry.block = 300;
  }
  FloatField(const FloatField&) = delete;
};

// The handler that takes the deferred commits: the last request it saw.
uint16_t g_seenBlock;
int16_t g_seenId;
float g_seenValue;
uint16_t g_seenWord;
uint8_t recordRequest(FbParamRequest* r, uint16_t*) {
  g_seenBlock = r->block();
  g_seenId = r->id();
  g_seenValue = r->f32(FB_REQUEST_VALUE);
  g_seenWord = r->u16(FB_REQUEST_VALUE);
  return 0;
}

class EditorTest : public OpuiDialogTest {
 protected:
  void SetUp() override {
    OpuiDialogTest::SetUp();
    std::memset(row, 'X', sizeof row);
    std::memset(colours, 0, sizeof colours);
    changed = 0;
    FW_ClearDeferredCalls();
  }
  // The edit of a field shown in row[10..17]; its first step opens the dialog.
  void begin(const FbValueEntry* entry, int mode = OP_EDIT_MODE_DIALOG, uint16_t textBase = 0) {
    ASSERT_EQ(OP_EditStart(entry, 7), 1);
    OP_EditSetTarget(row + 10, &changed, 8, colours + 10, textBase, nullptr, 0, mode);
    ASSERT_EQ(editCycle(), 0);
    ASSERT_NE(g_opEdit.window, 0);
  }
  std::string field() const { return std::string(row + 10, 8); }
  // Keypad buttons by their labels: digits, '.', '-' (+/-), ':', 'D' (DEL), 'O' (OFF).
  static void keys(const char* s) {
    for (; *s; ++s) {
      int id = *s == '0' ? OP_ID_KP_0 : *s == '.' ? OP_ID_KP_POINT : *s == '-' ? OP_ID_KP_SIGN
             : *s == ':' ? OP_ID_KP_COLON : *s == 'D' ? OP_ID_KP_DEL : *s == 'O' ? OP_ID_KP_OFF
             : OP_ID_KP_1 + (*s - '1');
      touchItem(g_opEdit.window, id);
    }
  }
  static std::string entryText() {
    char t[16] = {};
    EDIT_GetText(WM_GetDialogItem(g_opEdit.window, OP_ID_KP_EDIT), t, sizeof t);
    return t;
  }
  // Confirms with a short press of the enter key; the cycle after it ends the edit.
  static int confirm() {
    shortPress(OP_KEY_ENTER);
    return editCycle();
  }
  char row[28];
  uint8_t colours[28];
  uint16_t changed;
};

TEST_F(EditorTest, RefusesWhatItCannotEdit) {
  FloatField f(1.0f, 0.0f, 10.0f, 1);
  FbValueEntry noValue = f.entry, noLimits = f.entry, link = f.entry, wide = f.entry, odd = f.entry;
  noValue.value = nullptr;
  noLimits.limits = nullptr;
  link.kind = 0;
  wide.kind = 2;
  odd.kind = 99;
  const FbValueEntry* refused[] = {nullptr, &noValue, &noLimits, &link, &wide, &odd};
  for (const FbValueEntry* e : refused) {
    EXPECT_EQ(OP_EditStart(e, 0), 0);
    EXPECT_FALSE(OP_EditActive());
  }
  EXPECT_EQ(OP_EditStep(), 1) << "no edit: ended";
  FbValueEntry flagged = f.entry;
  flagged.kind = OP_FIELD_FLOAT | 0x80;   // bit 7 is a flag of the field tables
  EXPECT_EQ(OP_EditStart(&flagged, 0), 1);
  EXPECT_EQ(g_opEdit.kind, OP_FIELD_FLOAT);
}

TEST_F(EditorTest, KeypadEntriesAreLimitedToTheField) {
  struct Case {
    const char* keys;
    bool offAllowed;
    float value;
    const char* field;
  };
  const std::vector<Case> cases = {
      {"42.7", false, 42.7f, "    42.7"},
      {"1.23", false, 1.2f, "     1.2"},       // one decimal is taken, the second key not
      {"150", false, 100.0f, "   100.0"},      // above the maximum: the maximum
      {"5-", false, 0.0f, "     0.0"},        // below the minimum: the minimum
      {"5-", true, -32000.0f, "  ----  "},     // ... or off where the minimum admits it
      {"O", false, 0.0f, "     0.0"},
      {"O", true, -32000.0f, "  ----  "},
      {"12D3", false, 13.0f, "    13.0"},
  };
  for (const Case& c : cases) {
    FloatField f(12.5f, 0.0f, 100.0f, 1);
    if (c.offAllowed) {
      f.limits.min = FW_NO_VALUE;   // -32000 admitted; the minimum itself from the block
      f.limits.minFn = zero;
    }
    std::memset(row, 'X', sizeof row);
    begin(&f.entry);
    EXPECT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_KEYPAD);
    EXPECT_EQ(g_opOverlay.nesting, 1);
    EXPECT_EQ(field(), "    12.5");
    EXPECT_EQ(colours[10], OP_ROW_EDIT);
    keys(c.keys);
    EXPECT_EQ(confirm(), 1) << c.keys;
    EXPECT_FLOAT_EQ(f.value, c.value) << c.keys;
    EXPECT_EQ(field(), c.field) << c.keys;
    EXPECT_EQ(row[18], 'X') << "the byte behind the field";
    EXPECT_EQ(row[9], 'X');
    EXPECT_EQ(colours[10], OP_ROW_HIGHLIGHT);
    EXPECT_EQ(colours[17], OP_ROW_HIGHLIGHT);
    EXPECT_EQ(colours[18], 0);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(g_opEdit.result, 1);
    EXPECT_EQ(g_opOverlay.nesting, 0);
    EXPECT_FALSE(OP_EditActive());
  }
}

TEST_F(EditorTest, ShortExitCancels) {
  FloatField f(12.5f, 0.0f, 100.0f, 1);
  begin(&f.entry);
  keys("99");
  shortPress(OP_KEY_EXIT);
  EXPECT_EQ(editCycle(), 1);
  EXPECT_EQ(g_opEdit.result, 0);
  EXPECT_FLOAT_EQ(f.value, 12.5f);
  EXPECT_EQ(field(), "    12.5");
  EXPECT_EQ(g_opOverlay.nesting, 0);
}

// The minutes:seconds tag may stand in the stored minimum or in the stored maximum.
TEST_F(EditorTest, TheMinutesSecondsTagMakesATimeField) {
  {
    FloatField f(125.0f, FW_MARK_MINUTES_SECONDS, 600.0f, 0);
    f.limits.minFn = tenSeconds;
    begin(&f.entry);
    EXPECT_EQ(g_opEdit.kind, OP_FIELD_MINSEC);
    EXPECT_EQ(field(), "    2:05");
    EXPECT_EQ(entryText(), "2:05");
    keys("0:05");
    EXPECT_EQ(confirm(), 1);
    EXPECT_FLOAT_EQ(f.value, 10.0f) << "below the minimum, off not admitted";
    EXPECT_EQ(field(), "    0:10");
  }
  {
    FloatField f(125.0f, FW_NO_VALUE, FW_MARK_MINUTES_SECONDS, 0);
    f.limits.minFn = tenSeconds;
    f.limits.maxFn = bigTime;
    begin(&f.entry);
    EXPECT_EQ(g_opEdit.kind, OP_FIELD_MINSEC);
    keys("0:05");
    EXPECT_EQ(confirm(), 1);
    EXPECT_FLOAT_EQ(f.value, FW_NO_VALUE);
    EXPECT_EQ(field(), "   --:--");
  }
}

TEST_F(EditorTest, HoursMinutesSecondsAreEnteredInSeconds) {
  FloatField f(90.5f, 0.0f, 6000.0f, 1, OP_FIELD_HMS);
  begin(&f.entry);
  EXPECT_EQ(g_opEdit.maxDecimals, 2);
  EXPECT_EQ(field(), "01:30:30");
  EXPECT_EQ(entryText(), "1:30:30");
  keys("2");
  EXPECT_EQ(confirm(), 1);
  EXPECT_FLOAT_EQ(f.value, 120.0f);
  EXPECT_EQ(field(), "02:00:00");
}

TEST_F(EditorTest, SixBinaryDigitsGoThroughTheBitEntry) {
  FloatField f(101001.0f, FW_MARK_SIX_DIGITS_A, 0.0f, 0);
  begin(&f.entry);
  EXPECT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_BITS);
  EXPECT_EQ(field(), "  101001");
  touchItem(g_opEdit.window, OP_ID_BITS_BOX1);
  EXPECT_EQ(confirm(), 1);
  EXPECT_FLOAT_EQ(f.value, 101000.0f);
  EXPECT_EQ(field(), "  101000");
}

TEST_F(EditorTest, ACommitWithAHandlerIsADeferredRequest) {
  FloatField f(12.5f, 0.0f, 100.0f, 1);
  f.entry.handler = recordRequest;
  f.entry.block = 0;   // the system data: a block that always exists
  begin(&f.entry);
  keys("33");
  EXPECT_EQ(confirm(), 1);
  EXPECT_FLOAT_EQ(f.value, 12.5f) << "the handler changes the value, not the editor";
  EXPECT_EQ(FW_RunDeferredCall(), 0);
  EXPECT_EQ(g_seenBlock, 0);
  EXPECT_EQ(g_seenId, 7);
  EXPECT_FLOAT_EQ(g_seenValue, 33.0f);
}

TEST_F(EditorTest, IntegerFieldsKeepTheirWidth) {
  uint8_t bytes[3] = {0xAA, 50, 0xBB};
  FwShortLimit byteLimits{0, 200};
  FbValueEntry byteEntry{};
  byteEntry.kind = OP_FIELD_BYTE;
  byteEntry.value = &bytes[1];
  byteEntry.limits = &byteLimits;
  begin(&byteEntry);
  EXPECT_EQ(field(), "      50");
  keys("250");
  EXPECT_EQ(confirm(), 1);
  EXPECT_EQ(bytes[1], 200);
  EXPECT_EQ(bytes[0], 0xAA);
  EXPECT_EQ(bytes[2], 0xBB);

  uint16_t word = 7;
  FwShortLimit wordLimits{FW_NO_VALUE_S, 1000};
  FbValueEntry wordEntry = byteEntry;
  wordEntry.kind = OP_FIELD_WORD;
  wordEntry.value = &word;
  wordEntry.limits = &wordLimits;
  wordEntry.handler = recordRequest;
  begin(&wordEntry);
  keys("O");
  EXPECT_EQ(confirm(), 1);
  EXPECT_EQ(FW_RunDeferredCall(), 0);
  EXPECT_EQ(static_cast<int16_t>(g_seenWord), FW_NO_VALUE_S);
}

// Choices of a discrete set: the limit record allows 1 and 3 of the texts from text id 5448.
int16_t allowedHigh(uint16_t, int16_t) { return 3; }
int16_t allowedLow(uint16_t, int16_t) { return 1; }
constexpr uint16_t kChoiceBase = 5448;

TEST_F(EditorTest, ATextSelectionIsChosenFromTheList) {
  FwShortLimit set{FW_LIMIT_DISCRETE, FW_LIMIT_DISCRETE, allowedLow, allowedHigh};
  uint16_t value = 2;   // not among the choices
  FbValueEntry entry{};
  entry.kind = OP_FIELD_WORD;
  entry.value = &value;
  entry.limits = &set;
  const uint8_t before = g_opOverlay.nesting;
  begin(&entry, OP_EDIT_MODE_DIALOG, kChoiceBase);
  EXPECT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_LIST);
  const WM_HWIN list = WM_GetDialogItem(g_opEdit.window, OP_ID_LIST);
  ASSERT_EQ(LISTBOX_GetNumItems(list), 2);
  char text[32];
  LISTBOX_GetItemText(list, 1, text, sizeof text);
  EXPECT_STREQ(text, FW_GetText(kChoiceBase + 3));
  EXPECT_EQ(LISTBOX_GetSel(list), -1);
  shortPress(OP_KEY_DOWN);
  EXPECT_EQ(LISTBOX_GetSel(list), 0);
  EXPECT_EQ(confirm(), 1);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(g_opOverlay.nesting, before);
  const std::string shown = FW_GetText(kChoiceBase + 1);
  EXPECT_EQ(field().substr(8 - shown.size()), shown);

  begin(&entry, OP_EDIT_MODE_DIALOG, kChoiceBase);
  EXPECT_EQ(LISTBOX_GetSel(WM_GetDialogItem(g_opEdit.window, OP_ID_LIST)), 0) << "the current value";
  shortPress(OP_KEY_DOWN);
  shortPress(OP_KEY_EXIT);
  EXPECT_EQ(editCycle(), 1);
  EXPECT_EQ(value, 1) << "closed without a result";
  EXPECT_EQ(g_opOverlay.nesting, before);
}

TEST_F(EditorTest, TheListFillStopsAfterThirteenCyclesOfTenRows) {
  FwShortLimit range{0, 255};
  uint8_t value = 0;
  FbValueEntry entry{};
  entry.kind = OP_FIELD_BYTE;
  entry.value = &value;
  entry.limits = &range;
  begin(&entry, OP_EDIT_MODE_DIALOG, 100);   // text 99 is no code: no count of choices
  std::vector<int> counts;
  for (int n = 0; n < 15; ++n) {
    counts.push_back(OP_ListDialogCount());
    editCycle();
  }
  EXPECT_EQ(counts[0], 10);
  EXPECT_EQ(counts[5], 60);
  EXPECT_EQ(counts[12], 130);
  EXPECT_EQ(counts[14], 130);
}

TEST_F(EditorTest, TheStepperRescalesAtTheBoundariesAndKeepsTheLimits) {
  struct Case {
    float start, min, max;
    uint16_t decimals;
    const char* steps;   // '+' up key, '-' down key
    float value;
    uint8_t valueDecimals;
  };
  const std::vector<Case> cases = {
      {12.5f, 0, 100, 1, "++-", 12.6f, 1},
      {9999.9f, 0, 20000, 1, "+", 10000.0f, 0},
      {9999.9f, 0, 20000, 1, "+-", 9999.9f, 1},
      {-999.9f, -2000, 0, 1, "-", -1000.0f, 0},
      {-999.9f, -2000, 0, 1, "-+", -999.9f, 1},
      {99.9f, 0, 100, 1, "+++", 100.0f, 1},
      {0.0f, FW_NO_VALUE, 10, 0, "-", FW_NO_VALUE, 0},
      {0.0f, FW_NO_VALUE, 10, 0, "--+", 0.0f, 0},
  };
  for (const Case& c : cases) {
    FloatField f(c.start, c.min, c.max, c.decimals);
    if (c.min == FW_NO_VALUE) f.limits.minFn = zero;
    begin(&f.entry, OP_EDIT_MODE_PLUSMINUS);
    EXPECT_EQ(g_opEdit.windowFlags, OP_EDIT_WIN_PLUSMINUS);
    for (const char* s = c.steps; *s; ++s) shortPress(*s == '+' ? OP_KEY_UP : OP_KEY_DOWN);
    editCycle();
    EXPECT_FLOAT_EQ(g_opEdit.fvalue, c.value) << c.start << " " << c.steps;
    if (c.value != FW_NO_VALUE) {
      EXPECT_EQ(g_opEdit.valueDecimals, c.valueDecimals) << c.start << " " << c.steps;
    }
    shortPress(OP_KEY_EXIT);   // EXIT
    EXPECT_EQ(editCycle(), 1);
    EXPECT_FLOAT_EQ(f.value, c.value) << c.start << " " << c.steps;
  }
}

TEST_F(EditorTest, TheStepperButtonsStepTheShownValue) {
  FloatField f(12.5f, 0.0f, 100.0f, 1);
  begin(&f.entry, OP_EDIT_MODE_PLUSMINUS);
  touchItem(g_opEdit.window, OP_ID_PM_PLUS);
  touchItem(g_opEdit.window, OP_ID_PM_PLUS);
  touchItem(g_opEdit.window, OP_ID_PM_MINUS);
  editCycle();
  EXPECT_EQ(field(), "    12.6");
  EXPECT_EQ(colours[10], OP_ROW_EDIT);
  EXPECT_FLOAT_EQ(f.value, 12.5f) << "committed only when the stepper ends";
  touchItem(g_opEdit.window, OP_ID_PM_EXIT);
  EXPECT_EQ(editCycle(), 1);
  EXPECT_FLOAT_EQ(f.value, 12.6f);
}

TEST_F(EditorTest, ClosedOverlaysAndTheTimeOutEndTheEditWithoutAResult) {
  FloatField f(12.5f, 0.0f, 100.0f, 1);
  begin(&f.entry);
  keys("7");
  OP_CloseOverlays();
  EXPECT_EQ(g_opOverlay.nesting, 0);
  EXPECT_FALSE(OP_EditActive());
  EXPECT_EQ(editCycle(), 1);
  EXPECT_FLOAT_EQ(f.value, 12.5f);
  EXPECT_EQ(field(), "    12.5");

  begin(&f.entry);
  int cycles = 0;
  while (!editCycle() && cycles < 400) ++cycles;
  EXPECT_EQ(cycles + 1, OP_DIALOG_TIMEOUT);
  EXPECT_EQ(g_opEdit.result, 0);
  EXPECT_EQ(g_opOverlay.nesting, 0);
}

}  // namespace
