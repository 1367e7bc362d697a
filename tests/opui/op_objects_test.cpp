// The display objects: the number formats, the texts TXTOBJ and PAROBJ compose, the chain of
// text blocks, their parameter protocol, and their touch dialogs on an open user page.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "blocks/block_family.h"
#include "runtime/fw_defer.h"
#include "userpage_fixture.h"

namespace {

using userpagetest::kTargetType;

constexpr uint16_t kObject = 300, kTarget = 400, kPage = 500;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Each format code with its range, decimals, width and the text shown above the range; a code
// outside 1..10 reads as the last row.
TEST(NumberFormats, TableByCode) {
  struct Row {
    int code;
    float maximum, minimum;
    int decimals, width;
    const char* above;
  } rows[] = {
      {1, 9999.9f, -999.9f, 1, 6, "++++++"}, {4, 99999.0f, -9999.0f, 0, 5, "+++++"},
      {7, 9999.0f, -999.0f, 0, 4, "++++"},   {10, 99.0f, -9.0f, 0, 2, "++"},
      {0, 999999.0f, -99999.0f, 0, 6, "++++++"}, {11, 999999.0f, -99999.0f, 0, 6, "++++++"},
      {-3, 999999.0f, -99999.0f, 0, 6, "++++++"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.code);
    const OpNumberFormat& f = OP_NumberFormat(r.code);
    EXPECT_EQ(f.maximum, r.maximum);
    EXPECT_EQ(f.minimum, r.minimum);
    EXPECT_EQ(f.decimals, r.decimals);
    EXPECT_EQ(f.width, r.width);
    EXPECT_STREQ(f.above, r.above);
  }
  EXPECT_EQ(static_cast<double>(OP_NumberFormat(1).maximum), 9999.900390625);
}

// What TXTOBJ shows by mode, format, inputs and texts.
TEST_F(UserPageTest, TextObjectComposesItsText) {
  struct Case {
    const char* name;
    uint16_t mode, format;
    const char* prefix;
    const char* suffix;
    float value;
    bool withMax = false;
    float maximum = 0;
    bool withMin = false;
    float minimum = 0;
    const char* expect;
  };
  const Case cases[] = {
      {"format 1 with prefix and suffix", TXTOBJ_NUMBER, 1, "T", "s", 12.34f, false, 0, false, 0, "T   12.3 s"},
      {"format outside 1..10", TXTOBJ_NUMBER, 11, "", "bar", 12.7f, false, 0, false, 0, "    13 bar"},
      {"connected maximum exceeded", TXTOBJ_NUMBER, 7, "", "", 51.0f, true, 50.0f, false, 0, "++++"},
      {"connected maximum reached", TXTOBJ_NUMBER, 7, "", "", 50.0f, true, 50.0f, false, 0, "  50"},
      {"connected minimum", TXTOBJ_NUMBER, 7, "", "", 9.0f, false, 0, true, 10.0f, "----"},
      {"crossing inputs keep the format", TXTOBJ_NUMBER, 7, "", "", 55.0f, true, 50.0f, true, 60.0f, "  55"},
      {"format 4 above", TXTOBJ_NUMBER, 4, "", "", 123456.0f, false, 0, false, 0, "+++++"},
      {"format 4 below", TXTOBJ_NUMBER, 4, "", "", -10000.0f, false, 0, false, 0, "-----"},
      {"format 1 at its float maximum", TXTOBJ_NUMBER, 1, "", "", 9999.9f, false, 0, false, 0, "9999.9"},
      {"no number", TXTOBJ_NUMBER, 2, "", "", kNaN, false, 0, false, 0, "------"},
      {"two-state 0", TXTOBJ_TWO_STATE, 0, "Closed", "Open", 0.0f, false, 0, false, 0, "Closed"},
      {"two-state 1", TXTOBJ_TWO_STATE, 0, "Closed", "Open", 1.0f, false, 0, false, 0, "Open"},
      {"two-state clamped", TXTOBJ_TWO_STATE, 0, "Closed", "Open", 7.0f, false, 0, false, 0, "Open"},
      {"time", TXTOBJ_TIME, 0, "t", "", 3725.0f, false, 0, false, 0, "t 01:02:05"},
      {"time clamped", TXTOBJ_TIME, 0, "", "", -5.0f, false, 0, false, 0, "00:00:00"},
      {"forty characters at most", TXTOBJ_TIME, 0, "PPPPPPPPPPPPPPPP", "SSSSSSSSSSSSSSSS", 3725.0f, false, 0,
       false, 0, "PPPPPPPPPPPPPPPP 01:02:05 SSSSSSSSSSSSSS"},
  };
  uint16_t block = kObject;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    textObject(block, c.mode, c.format, c.prefix, c.suffix);
    fx->setAnalogInput(block, TXTOBJ_IN_VALUE, c.value);
    if (c.withMin) fx->setAnalogInput(block, TXTOBJ_IN_MIN, c.minimum);
    if (c.withMax) fx->setAnalogInput(block, TXTOBJ_IN_MAX, c.maximum);
    fx->init(block);
    EXPECT_EQ(composedText(block), c.expect);
    ++block;
  }
}

// An entry object shows its own value while "X 1" is open, the input once it is wired.
TEST_F(UserPageTest, EntryObjectShowsItsOwnValueUnlessItsInputIsWired) {
  textObject(kObject, TXTOBJ_NUMBER, 1, "", "");
  setValue(kObject, TXTOBJ_WORD_INKIND, OP_INKIND_ENTRY);
  fx->floatParam(kObject, 1) = 42.0f;
  fx->init(kObject);
  EXPECT_EQ(composedText(kObject), "  42.0");
  fx->setAnalogInput(kObject, TXTOBJ_IN_VALUE, 7.0f);
  EXPECT_EQ(composedText(kObject), "   7.0");
}

// The chain of text blocks: "X 1", then "Casc" of each further block, at most ten, a block
// met twice ends it; the shown text is the record of the value.
TEST_F(UserPageTest, TextChainOfAtMostTenBlocks) {
  uint16_t chain[OP_TEXT_CHAIN_MAX + 2] = {};
  textObject(kObject, TXTOBJ_LIST, 0, "", "");
  for (uint16_t i = 0; i < 12; ++i) make(BLK_TYPE_TEXT, static_cast<uint16_t>(600 + i));
  fx->connectAnalog(kObject, TXTOBJ_IN_VALUE, 600, TEXT_OUT_USRTXT);
  for (uint16_t i = 0; i + 1 < 12; ++i) {
    fx->connectAnalog(static_cast<uint16_t>(600 + i), TEXT_IN_CASC, static_cast<uint16_t>(601 + i), 1);
  }
  EXPECT_EQ(OP_WalkTextChain(kObject, TXTOBJ_IN_VALUE, chain), OP_TEXT_CHAIN_MAX);
  EXPECT_EQ(chain[9], 609);
  // A loop back to the first block.
  fx->connectAnalog(601, TEXT_IN_CASC, 600, 1);
  EXPECT_EQ(OP_WalkTextChain(kObject, TXTOBJ_IN_VALUE, chain), 2);
  // A block of another type ends the chain; no TEXT block at "X 1" gives none.
  fx->connectAnalog(601, TEXT_IN_CASC, kObject, 1);
  EXPECT_EQ(OP_WalkTextChain(kObject, TXTOBJ_IN_VALUE, chain), 2);
  EXPECT_EQ(OP_WalkTextChain(601, TEXT_IN_INDEX, chain), 0);

  setText(601, 3, "Second of two");
  fx->setAnalogInput(600, TEXT_IN_INDEX, 6.0f);
  fx->run(600);
  fx->init(kObject);
  EXPECT_EQ(composedText(kObject), "Second of two");
  // A number object fed by a text block shows the text too.
  setValue(kObject, TXTOBJ_WORD_MODE, TXTOBJ_NUMBER);
  EXPECT_EQ(composedText(kObject), "Second of two");
}

// The parameter protocol of TXTOBJ.
TEST_F(UserPageTest, TextObjectParameters) {
  textObject(kObject, TXTOBJ_NUMBER, 1, "", "");
  fx->init(kObject);
  struct Case {
    const char* name;
    FbParamRequest request;
    uint8_t result;
    uint16_t bad;
  };
  const uint16_t badSecond[] = {1, 9, 1, 0};
  const float colours[] = {0.0f, -1.0f};
  const Case cases[] = {
      {"unknown id", FB_FloatRequest(kObject, 1001, 1.0f), 'i', 0},
      {"word parameter", FB_WordRequest(kObject, 1250, 1), 'i', 0},
      {"text", FB_WordRequest(kObject, 2000, 1), 'i', 0},
      {"value outside its limits", FB_FloatRequest(kObject, 1000, 1e7f), 'l', 0},
      {"unchanged value", FB_FloatRequest(kObject, 1000, 0.0f), 0, 0},
      {"word value outside its limits", FB_WordRequest(kObject, 3001, 4), 'l', 0},
      {"4-byte value outside its limits", FB_FloatRequest(kObject, 3051, -2.0f), 'l', 0},
      {"whole value set, second word bad", FB_SetRequest(kObject, 4010, badSecond, colours), 'l', 2},
      {"whole float set", FB_SetRequest(kObject, 4000, {}, std::vector<float>{5.0f}), 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FbParamRequest r = c.request;
    uint16_t bad = 77;
    EXPECT_EQ(FB_TXTOBJ_Param(&r, &bad), c.result);
    if (c.result == 'l') {
      EXPECT_EQ(bad, c.bad);
    }
    for (uint16_t k = 1; k <= 4; ++k) EXPECT_EQ(fx->wordValue(kObject, k, true), fx->wordValue(kObject, k));
  }
  EXPECT_EQ(g_fbPending.floats[kObject], 1) << "the changed float waits for the run";
  EXPECT_EQ(fx->wordValue(kObject, TXTOBJ_WORD_MODE), TXTOBJ_NUMBER);

  // Word values: pending while the device runs, taken over by the next run; at once while
  // it is stopped.
  FbParamRequest mode = FB_WordRequest(kObject, 3001, TXTOBJ_TIME);
  EXPECT_EQ(FB_TXTOBJ_Param(&mode, nullptr), 0);
  EXPECT_EQ(fx->wordValue(kObject, TXTOBJ_WORD_MODE), TXTOBJ_NUMBER);
  fx->run(kObject);
  EXPECT_EQ(fx->wordValue(kObject, TXTOBJ_WORD_MODE), TXTOBJ_TIME);
  EXPECT_EQ(fx->floatParam(kObject, 1).get(), 5.0f);
  g_fwRunMode = FW_RUN_MODE_STOP;
  FbParamRequest font = FB_WordRequest(kObject, 3003, 2);
  EXPECT_EQ(FB_TXTOBJ_Param(&font, nullptr), 0);
  EXPECT_EQ(fx->wordValue(kObject, TXTOBJ_WORD_FONT), 2);
}

// Init keeps the entered value and makes the output the block number.
TEST_F(UserPageTest, TextObjectInit) {
  textObject(kObject, TXTOBJ_NUMBER, 1, "", "");
  fx->floatParam(kObject, 1) = 3.5f;
  fx->init(kObject);
  EXPECT_EQ(fx->analogOut(kObject, 1), static_cast<float>(kObject));
  EXPECT_EQ(fx->floatParam(kObject, 1).get(), 3.5f);
  const auto& s = BLK_WorkState<TextObjectState>(fx->layout(kObject));
  EXPECT_EQ(s.lastShown, 255);
  EXPECT_EQ(s.obj.slot, 0);
}

// What PAROBJ shows of its target.
TEST_F(UserPageTest, ParamObjectComposesItsText) {
  make(kTargetType, kTarget);
  struct Case {
    const char* name;
    uint16_t target, number, kind;
    float floatValue;  // into the target's parameter
    const char* expect;
  };
  const Case cases[] = {
      {"no value", kTarget, 1, PAROBJ_FLOAT, -32000.0f, "Tn ------ s"},
      {"six binary digits", kTarget, 1, PAROBJ_BITS, 101.0f, "Tn 000101 s"},
      {"float with its decimals", kTarget, 1, PAROBJ_FLOAT, 12.26f, "Tn 12.3 s"},
      {"time", kTarget, 1, PAROBJ_TIME, 125.0f, "Tn 2:05 s"},
      {"word", kTarget, 2, PAROBJ_WORD, 0.0f, "Tn 1 s"},
      {"no such parameter", kTarget, 3, PAROBJ_FLOAT, 0.0f, "Tn ?????? s"},
      {"no such block", 401, 1, PAROBJ_FLOAT, 0.0f, "Tn ?????? s"},
  };
  uint16_t block = kObject;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fx->floatParam(kTarget, 1) = c.floatValue;
    paramObject(block, c.target, c.number, c.kind, "Tn", "s");
    fx->init(block);
    EXPECT_EQ(composedText(block), c.expect);
    ++block;
  }
}

// The device font's codes for three characters of the texts.
TEST_F(UserPageTest, ParamObjectTextsTakeTheDeviceCharacters) {
  make(kTargetType, kTarget);
  paramObject(kObject, kTarget, 1, PAROBJ_FLOAT, "\x60" "C", "~\x7f");
  fx->init(kObject);
  char* prefix = nullptr;
  ASSERT_EQ(FB_GetTextParamPtr(kObject, PAROBJ_TEXT_PREFIX, &prefix), 1);
  EXPECT_EQ(static_cast<uint8_t>(prefix[0]), 176);
  EXPECT_EQ(static_cast<uint8_t>(prefix[1]), 67);
  char* suffix = nullptr;
  ASSERT_EQ(FB_GetTextParamPtr(kObject, PAROBJ_TEXT_SUFFIX, &suffix), 1);
  EXPECT_EQ(static_cast<uint8_t>(suffix[0]), 179);
  EXPECT_EQ(static_cast<uint8_t>(suffix[1]), 178);
}

// --- Touch dialogs on an open user page ---------------------------------------------------

class ObjectDialogTest : public UserPageTest {
 protected:
  void SetUp() override {
    UserPageTest::SetUp();
    make(kTargetType, kTarget);
    make(OP_TYPE_VUSER, kPage);
  }
  void open() {
    initAll();
    showPage(kPage);
    ASSERT_EQ(g_opUserView.block, kPage);
  }
};

// A confirmed keypad value of a parameter field posts one deferred call to the target's
// handler, limited to the target's range, and keeps the call's result.
TEST_F(ObjectDialogTest, ParamFieldPostsTheEnteredValue) {
  paramObject(kObject, kTarget, 1, PAROBJ_FLOAT, "Tn", "s");
  setValue(kObject, PAROBJ_WORD_INKIND, OP_INKIND_ENTRY);
  place(kPage, 1, kObject, 10, 20);
  open();
  touchObject(kObject);
  ASSERT_TRUE(OP_TouchWindowOpen()) << "the keypad is open";
  const WM_HWIN keypad = topDialog();
  for (int id : std::initializer_list<int>{OP_ID_KP_DEL, OP_ID_KP_DEL, OP_ID_KP_DEL, OP_ID_KP_DEL, OP_ID_KP_1 + 7, OP_ID_KP_0,
                 OP_ID_KP_0, OP_ID_KP_OK}) {  // "800"
    touchDialogItem(keypad, id);
  }
  EXPECT_FALSE(OP_TouchWindowOpen());
  const FwDeferredCallRing& ring = g_fwDeferredCalls;
  const FwDeferredCall& call = ring.entries[ring.runPos];
  ASSERT_EQ(call.busy, 1);
  EXPECT_EQ(call.block, kTarget);
  EXPECT_EQ(call.id, 1000);
  EXPECT_EQ(call.handler, FB_GetType(kTargetType)->param);
  float posted;
  std::memcpy(&posted, call.data, sizeof posted);
  EXPECT_EQ(posted, 500.0f) << "800 is limited to the target's maximum";
  EXPECT_EQ(ring.entries[(ring.runPos + 1) % FW_DEFER_ENTRIES].busy, 0) << "one call only";
  const auto& s = BLK_WorkState<ParamObjectState>(fx->layout(kObject));
  EXPECT_EQ(s.result, 255);
  EXPECT_EQ(FW_RunDeferredCalls(), FW_DEFER_EMPTY);
  EXPECT_EQ(s.result, 0);
  EXPECT_EQ(fx->floatParam(kTarget, 1, true).get(), 500.0f);
}

// An entry object on a chain of text blocks picks one of the chain's texts in the list
// dialog, filled ten entries a cycle; the pick becomes its value and is saved.
TEST_F(ObjectDialogTest, TextListEntryPicksATextOfTheChain) {
  textObject(kObject, TXTOBJ_LIST, 0, "", "");
  setValue(kObject, TXTOBJ_WORD_INKIND, OP_INKIND_ENTRY);
  for (uint16_t i = 0; i < 3; ++i) make(BLK_TYPE_TEXT, static_cast<uint16_t>(600 + i));
  fx->connectAnalog(kObject, TXTOBJ_IN_VALUE, 600, TEXT_OUT_USRTXT);
  fx->connectAnalog(600, TEXT_IN_CASC, 601, 1);
  fx->connectAnalog(601, TEXT_IN_CASC, 602, 1);
  setText(602, 4, "Third of 602");
  fx->floatParam(kObject, 1) = 2.0f;
  place(kPage, 1, kObject, 10, 20);
  open();
  EXPECT_EQ(composedText(kObject), "TEXT_2");
  touchObject(kObject);
  ASSERT_TRUE(OP_TouchWindowOpen()) << "the list is open";
  deviceCycle();
  EXPECT_EQ(OP_ListDialogCount(), 10);
  deviceCycle();
  EXPECT_EQ(OP_ListDialogCount(), 12) << "three blocks of four texts, ten a cycle";
  const WM_HWIN list = topDialog();
  LISTBOX_SetSel(WM_GetDialogItem(list, OP_ID_LIST), 10);
  touchDialogItem(list, OP_ID_LIST_OK);
  EXPECT_FALSE(OP_TouchWindowOpen());
  EXPECT_EQ(fx->floatParam(kObject, 1).get(), 11.0f);
  EXPECT_EQ(fx->floatParam(kObject, 1, true).get(), 11.0f);
  EXPECT_EQ(composedText(kObject), "Third of 602");
}

}  // namespace
