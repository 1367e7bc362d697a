// The block page dispatcher: the page by the block's type, the field cursor with keys,
// touch and time-outs, entering fields, jumps, leaving the page.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <optional>

#include "opui_fixture.h"
#include "runtime/fw_text_ids.h"
#include "support/block_page_override.h"

namespace {

using opuitest::makeBlock;

// A page of five fields over the word values of the test blocks: 1..3 numbers, 4 a link to
// the other page (word value 4), 5 a jump to the block in word value 5.
uint16_t g_fieldCount = 5;
const FwShortLimit kLimits{0, 100};
const FbValueEntry kWordEntry{FB_KIND_WORD, 0, nullptr, nullptr, &kLimits, 0, 0};
const OpRect kRects[5] = {
    {0, 60, 320, 20}, {0, 80, 320, 20}, {0, 100, 320, 20}, {0, 120, 320, 20}, {0, 140, 320, 20},
};
std::vector<OpPageField> g_fields;
OpFieldTable g_table{&g_fieldCount, {}};
std::vector<uint16_t> g_cycleFields;
int g_cycleResult;
int recordCycle(uint16_t field) {
  g_cycleFields.push_back(field);
  return g_cycleResult;
}
int g_opened;
int countOpen() {
  ++g_opened;
  return 0;
}
const OpBlockPage kTestPage{.screen = 1, .open = countOpen, .cycle = recordCycle, .fields = &g_table};
const OpBlockPage kTestSecondPage{.screen = 7, .cycle = recordCycle};

class BlockPageTest : public OpuiTest {
 protected:
  void SetUp() override {
    OpuiTest::SetUp();
    OP_ResetUi();
    page_.emplace(90, &kTestPage);
    secondPage_.emplace(OP_SECOND_PAGE + 90, &kTestSecondPage);
    g_cycleFields.clear();
    g_cycleResult = 0;
    g_opened = 0;
    g_fieldCount = 5;
    ASSERT_NE(makeBlock(150, 90), nullptr);
    ASSERT_NE(makeBlock(160, 96), nullptr);
    // The fields' offsets: word value k of the block.
    FbLayout L{};
    ASSERT_TRUE(FB_GetLayout(150, &L));
    const auto at = [&](int k) {
      return static_cast<uint32_t>(reinterpret_cast<uint8_t*>(L.wv + k) - reinterpret_cast<uint8_t*>(L.base));
    };
    words_ = L.wv;
    g_fields.clear();
    OpTextRow* rows = g_opPageRows.rows;
    for (int i = 0; i < 3; ++i) {
      g_fields.push_back(OpPageField{&kWordEntry, nullptr, at(i), OP_PF_WORD, &kRects[i], &rows[i], 5, 6, 0});
    }
    g_fields.push_back(OpPageField{nullptr, nullptr, at(3), OP_PF_LINK, &kRects[3], &rows[3], 0, 0, 0});
    g_fields.push_back(OpPageField{nullptr, nullptr, at(4), OP_PF_JUMP, &kRects[4], &rows[4], 0, 0, 0});
    g_table.fields = g_fields;
    words_[3] = 1;    // the link is there
    words_[4] = 160;  // the jump goes to block 160
    ASSERT_EQ(OP_SelectBlockPage(150), 1);
  }
  void TearDown() override {
    useBuiltinPages();
    OpuiTest::TearDown();
  }
  // One cycle of the page as the page manager calls it, after the key state of the key.
  static int pageCycle(uint8_t key = 0) {
    OP_DispatchKey(key);
    return OP_BlockPageProc();
  }
  // A key held for n cycles, then one cycle released; the page's answer in that cycle.
  static int hold(uint8_t key, int n) {
    for (int i = 0; i < n; ++i) pageCycle(key);
    return pageCycle(0);
  }
  static uint16_t field() { return g_opFieldEditor.currentField; }
  static bool highlighted(int row) { return g_opPageRows.rows[row].colors[5] == OP_ROW_HIGHLIGHT; }
  // The families' own pages again.
  void useBuiltinPages() {
    secondPage_.reset();
    page_.reset();
  }
  uint16_t* words_ = nullptr;
  std::optional<ScopedBlockPage> page_, secondPage_;
};

// Each page type by the block type: its text screen; a type without a page and a block that
// does not exist change nothing.
TEST_F(BlockPageTest, PageByBlockType) {
  useBuiltinPages();
  struct Case {
    uint16_t type;
    int screen;  // 0: no page
  };
  const std::vector<Case> cases = {
      {19, 7}, {24, 2}, {27, 2}, {77, 7}, {90, 1}, {91, 1}, {93, 1}, {96, 8}, {97, 4}, {99, 5},
      {109, 9}, {110, 7}, {115, 7}, {129, 7}, {180, 10}, {100, 0}, {98, 0}, {25, 0},
  };
  uint16_t block = 200;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    ASSERT_NE(makeBlock(++block, c.type), nullptr);
    ASSERT_EQ(OP_SelectBlockPage(150), 1);
    g_opTextScreen.type = 0;
    const int selected = OP_SelectBlockPage(block);
    if (c.screen == 0) {
      EXPECT_EQ(selected, 0);
      EXPECT_EQ(g_opPage.currentBlock, 150);
      EXPECT_EQ(g_opTextScreen.type, 0);
      EXPECT_EQ(g_opBlockPage.block, 150);
      continue;
    }
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(g_opPage.currentBlock, block);
    EXPECT_EQ(g_opPage.current, &OP_BlockPageProc);
    EXPECT_EQ(g_opPage.pageId, OP_PAGE_BLOCK);
    EXPECT_EQ(g_opTextScreen.type, c.screen);
    EXPECT_EQ(std::strncmp(g_opPageRows.title.text, "Tag", 3), 0);
  }
  // A missing block reads as absent.
  g_opPage.current = OP_MenuPageProc;
  EXPECT_EQ(OP_SelectBlockPage(999), 0);
  EXPECT_EQ(OP_SelectBlockPage(0), 0);
  EXPECT_EQ(OP_SelectBlockPage(60000), 0);
  EXPECT_EQ(g_opPage.current, &OP_MenuPageProc);
}

// VBAR by its form word (`Typ`): 0 horizontal, screen 4; otherwise vertical, screen 3.
TEST_F(BlockPageTest, BarPageByItsForm) {
  ASSERT_NE(makeBlock(170, 97), nullptr);
  uint16_t* form = nullptr;
  ASSERT_TRUE(FB_GetWordValuePtr(170, 5, &form));
  *form = 0;
  ASSERT_EQ(OP_SelectBlockPage(170), 1);
  EXPECT_EQ(g_opTextScreen.type, 4);
  *form = 1;
  ASSERT_EQ(OP_SelectBlockPage(170), 1);
  EXPECT_EQ(g_opTextScreen.type, 3);
}

// Selecting a page draws it once as the pending action and hands the cycle routine the
// selected field each cycle.
TEST_F(BlockPageTest, DrawOnceAndCycleWithTheField) {
  EXPECT_EQ(g_opPending.fn, &countOpen);
  OP_PollPendingAction();
  EXPECT_EQ(g_opened, 1);
  pageCycle();
  pageCycle(OP_KEY_DOWN);
  EXPECT_EQ(g_cycleFields, (std::vector<uint16_t>{0, 1}));
  g_cycleResult = 1;
  EXPECT_EQ(pageCycle(), 1);
  EXPECT_EQ(g_opBlockPage.page, nullptr);
}

// Key 2 held moves the cursor at the press and at the hold counts 8, 12, 16; key 4 moves
// back; both wrap through "no field".
TEST_F(BlockPageTest, CursorKeysWithRepeat) {
  std::vector<int> moves;
  uint16_t last = field();
  for (int n = 1; n <= 17; ++n) {
    pageCycle(OP_KEY_DOWN);
    if (field() != last) moves.push_back(n);
    last = field();
  }
  EXPECT_EQ(moves, (std::vector<int>{1, 8, 12, 16}));
  EXPECT_EQ(field(), 4);
  EXPECT_TRUE(highlighted(3));
  EXPECT_FALSE(highlighted(2));
  // Released: the decaying hold count moves nothing.
  for (int n = 0; n < 10; ++n) pageCycle();
  EXPECT_EQ(field(), 4);
  hold(OP_KEY_DOWN, 1);
  EXPECT_EQ(field(), 5);
  hold(OP_KEY_DOWN, 1);
  EXPECT_EQ(field(), 0);
  hold(OP_KEY_UP, 1);
  EXPECT_EQ(field(), 5);
}

// Fields that cannot be selected are skipped: a link without its byte, a jump to no block,
// a field beyond the instance; a table that says more fields than it has.
TEST_F(BlockPageTest, UnselectableFieldsAreSkipped) {
  words_[3] = 0;
  words_[4] = 999;
  g_fields[1].offset = 60000;
  g_fieldCount = 40;
  EXPECT_EQ(OP_PageFieldCount(), 5);
  std::vector<uint16_t> seen;
  for (int n = 0; n < 4; ++n) {
    hold(OP_KEY_DOWN, 1);
    seen.push_back(field());
  }
  EXPECT_EQ(seen, (std::vector<uint16_t>{1, 3, 0, 1}));
  g_opFieldEditor.currentField = 2;
  EXPECT_EQ(OP_BlockFieldEnter(), -1);
  EXPECT_EQ(OP_NextEditableField(4, -1), 3);
  EXPECT_EQ(OP_NextEditableField(0, 1), 0);
}

// Key 8 and key 16 act on a short press only; 30 cycles held do nothing on the page.
TEST_F(BlockPageTest, LongPressesOfEnterAndExitDoNothing) {
  hold(OP_KEY_DOWN, 1);
  ASSERT_EQ(field(), 1);
  EXPECT_EQ(hold(OP_KEY_ENTER, 30), 0);
  EXPECT_FALSE(OP_EditActive());
  EXPECT_EQ(hold(OP_KEY_EXIT, 30), 0);
  EXPECT_EQ(g_opBlockPage.page, &kTestPage);
  // A short press of enter starts the editor on the field's value.
  EXPECT_EQ(hold(OP_KEY_ENTER, 2), 0);
  EXPECT_TRUE(OP_EditActive());
  EXPECT_EQ(g_opFieldEditor.editing, 1);
  EXPECT_EQ(g_opEdit.descriptor.value, &words_[0]);
  EXPECT_EQ(g_opEdit.descriptor.block, 150);
  EXPECT_TRUE(OP_FieldIsHeld(1));
  // The edit ends: the field is deselected and held as entered for 15 cycles.
  OP_EditAbort();
  pageCycle();
  EXPECT_EQ(field(), 0);
  EXPECT_EQ(g_opFieldEditor.editing, 0);
  EXPECT_FALSE(highlighted(0));
  for (int n = 0; n < 14; ++n) pageCycle();
  EXPECT_TRUE(OP_FieldIsHeld(1));
  pageCycle();
  EXPECT_FALSE(OP_FieldIsHeld(1));
  // A short press of exit without a link selected leaves the page.
  EXPECT_EQ(hold(OP_KEY_EXIT, 2), 1);
  EXPECT_EQ(g_opBlockPage.page, nullptr);
}

// A locked page record keeps the editor away.
TEST_F(BlockPageTest, LockedPageIsNotEdited) {
  OpBlockPageData record{0, 1, 0, 0, 90};
  g_fbStore.list[150].pageData = &record;
  hold(OP_KEY_DOWN, 1);
  EXPECT_EQ(OP_BlockFieldEnter(), -1);
  EXPECT_FALSE(OP_EditActive());
  g_fbStore.list[150].pageData = nullptr;
}

// A field left alone for a minute is deselected.
TEST_F(BlockPageTest, SelectedFieldTimesOut) {
  hold(OP_KEY_DOWN, 1);
  for (int n = 0; n < 598; ++n) pageCycle();
  EXPECT_EQ(field(), 1);
  EXPECT_TRUE(highlighted(0));
  pageCycle();
  EXPECT_EQ(field(), 0);
  EXPECT_FALSE(highlighted(0));
}

// The link field leads to the other page by enter and by exit; a jump field makes its block
// the pending jump and leaves.
TEST_F(BlockPageTest, LinkAndJumpFields) {
  g_opFieldEditor.currentField = 4;
  EXPECT_EQ(OP_BlockFieldEnter(), 0);
  EXPECT_EQ(g_opBlockPage.second, 1);
  EXPECT_EQ(g_opTextScreen.type, 7);
  // Exit with no link selected on the second page leaves the block.
  EXPECT_EQ(hold(OP_KEY_EXIT, 2), 1);
  ASSERT_EQ(OP_SelectBlockPage(150), 1);
  for (int n = 0; n < 4; ++n) hold(OP_KEY_DOWN, 1);
  ASSERT_EQ(field(), 4);
  EXPECT_EQ(hold(OP_KEY_EXIT, 2), 0);
  EXPECT_EQ(g_opBlockPage.second, 1);
  // The jump.
  ASSERT_EQ(OP_SelectBlockPage(150), 1);
  g_opFieldEditor.currentField = 5;
  EXPECT_EQ(OP_BlockFieldEnter(), 1);
  EXPECT_EQ(g_opJump.targetA, 160);
  EXPECT_EQ(g_opJump.returnA, 150);
  EXPECT_EQ(g_opJump.flags, OP_JUMP_A_PENDING);
  EXPECT_EQ(g_opPage.jumpPending, 1);
  // Leaving keeps the pending jump for the menu page; the number names no other block.
  OP_PageExit();
  EXPECT_EQ(g_opJump.targetA, 160);
  EXPECT_EQ(OP_BlockPageJump(150 + 0), 0);
  EXPECT_EQ(OP_BlockPageJump(2000), 0);
  EXPECT_EQ(OP_BlockPageJump(0), 0);
  // Without a pending jump the exit clears the record.
  g_opJump.targetA = 0;
  OP_PageExit();
  EXPECT_EQ(g_opJump.flags, 0);
  EXPECT_EQ(g_opJump.returnA, 0);
}

// Touch: a field's rectangle selects it, a second touch enters it, a touch elsewhere
// deselects.
TEST_F(BlockPageTest, TouchSelectsAndEnters) {
  auto touchAt = [](int16_t x, int16_t y) {
    g_opInput.pointer = OpPointerCopy{x, y, OP_POINTER_PRESSED, 0};
    pageCycle();
    g_opInput.pointer.state = OP_POINTER_UP;
    pageCycle();
  };
  touchAt(50, 105);
  EXPECT_EQ(field(), 3);
  EXPECT_TRUE(highlighted(2));
  touchAt(50, 200);
  EXPECT_EQ(field(), 0);
  touchAt(50, 65);
  EXPECT_EQ(field(), 1);
  touchAt(50, 65);
  EXPECT_TRUE(OP_EditActive());
}

// The block went away while its page was shown: the page is left.
TEST_F(BlockPageTest, VanishedBlockLeavesThePage) {
  EXPECT_EQ(pageCycle(), 0);
  g_fbStore.list[150].instance = nullptr;
  EXPECT_EQ(pageCycle(), 1);
}

// A page request is served by the block page; the status icon asks for the alarm page of
// the first alarm slot in use.
TEST_F(BlockPageTest, PageRequestsAndTheStatusIcon) {
  OpPageRequest = 160;
  EXPECT_EQ(pageCycle(), 0);
  EXPECT_EQ(OpPageRequest, 0);
  EXPECT_EQ(g_opPage.currentBlock, 160);
  EXPECT_EQ(g_opTextScreen.type, 8);
  ASSERT_NE(makeBlock(43, 109), nullptr);
  g_opStatusIcon.request = 1;
  g_opInput.pointer = OpPointerCopy{300, 10, OP_POINTER_PRESSED, 0};
  pageCycle();
  EXPECT_EQ(OpPageRequest, 43);
  EXPECT_EQ(g_opStatusIcon.request, 0);
  g_opInput.pointer.state = OP_POINTER_UP;
  pageCycle();
  EXPECT_EQ(g_opPage.currentBlock, 43);
  EXPECT_EQ(g_opTextScreen.type, 9);
  // A request for a block without a page is dropped.
  OpPageRequest = 999;
  pageCycle();
  EXPECT_EQ(OpPageRequest, 0);
  EXPECT_EQ(g_opPage.currentBlock, 43);
}

// The clock band opens the date and time menu and remembers the block for the way back.
TEST_F(BlockPageTest, ClockOpensTheDateAndTimeMenu) {
  g_opInput.pointer = OpPointerCopy{250, 10, OP_POINTER_PRESSED, 0};
  EXPECT_EQ(pageCycle(), 1);
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_DATE_TIME);
  EXPECT_EQ(g_opJump.pendingReturn, 150);
  EXPECT_EQ(g_opJump.returnToBlock, 1);
  // Blanked, the clock does nothing.
  ASSERT_EQ(OP_SelectBlockPage(150), 1);
  g_opDeviceState.displayState = 4;
  EXPECT_EQ(pageCycle(), 0);
  EXPECT_EQ(g_opPage.pageId, OP_PAGE_BLOCK);
}

// Through the page manager: a block page runs its cycle and is left by the exit key.
TEST_F(BlockPageTest, RunsUnderThePageManager) {
  cycle(0);
  cycle(0);
  cycle(0);
  cycle(OP_KEY_DOWN);
  EXPECT_EQ(g_cycleFields.back(), 1);
  cycle(OP_KEY_EXIT);
  cycle(0);
  EXPECT_EQ(g_opPage.current, &OP_MenuPageProc);
}


// The pages' own cursor rules walk the fields with the common walker: the next accepted
// field in either direction, 0 past either end and from 0.
TEST_F(BlockPageTest, WalkerWithAPagesOwnRule) {
  const auto even = [](uint16_t f) { return f % 2 == 0; };
  struct Case {
    uint16_t from;
    int direction;
    uint16_t expected;
  };
  const Case cases[] = {{1, 1, 2}, {3, 1, 4}, {5, 1, 0}, {5, -1, 4}, {1, -1, 0}, {0, 1, 0}, {4, -1, 4}};
  for (const Case& c : cases) {
    EXPECT_EQ(OP_NextFieldWhere(c.from, c.direction, even), c.expected) << c.from << " " << c.direction;
  }
}

// The pages' limit records: the range in either order, the decimals clamped to 0..3, no
// callbacks left from before, the record's own attribute.
TEST(PageFloatLimits, RangeDecimalsAndOwnAttribute) {
  struct Case {
    float a, b;
    int decimals;
    float min, max;
    uint16_t attribute;
  };
  const Case cases[] = {{0, 100, 1, 0, 100, 1}, {50, -5, 2, -5, 50, 2}, {1, 2, 7, 1, 2, 3}, {1, 2, -1, 1, 2, 0}};
  for (const Case& c : cases) {
    FbFloatLimitData d{9, 9, [](uint16_t) { return 1.0f; }, [](uint16_t) { return 2.0f; }, nullptr, 0};
    OP_SetFloatLimits(&d, c.a, c.b, c.decimals);
    EXPECT_EQ(d.min, c.min);
    EXPECT_EQ(d.max, c.max);
    EXPECT_EQ(d.minFn, nullptr);
    EXPECT_EQ(d.maxFn, nullptr);
    ASSERT_EQ(d.attribute, &d.ownAttribute);
    EXPECT_EQ(d.ownAttribute, c.attribute);
  }
}

}  // namespace

// A test's own page for a type lasts as long as its override; the other rows stay the
// families' pages, and the families' page is found again afterwards.
TEST(BlockPageOverride, LastsForItsScope) {
  EXPECT_EQ(OP_FindBlockPage(90, 0), &g_opCtrlPage);
  {
    const ScopedBlockPage outer(90, &kTestPage);
    EXPECT_EQ(OP_FindBlockPage(90, 0), &kTestPage);
    EXPECT_EQ(OP_FindBlockPage(91, 0), &g_opCtrlPlusPage);
    {
      const ScopedBlockPage inner(OP_SECOND_PAGE + 90, &kTestSecondPage);
      EXPECT_EQ(OP_FindBlockPage(90, 0), &kTestPage);
      EXPECT_EQ(OP_FindBlockPage(OP_SECOND_PAGE + 90, 0), &kTestSecondPage);
    }
    EXPECT_EQ(OP_FindBlockPage(OP_SECOND_PAGE + 90, 0), &g_opTunePage);
  }
  EXPECT_EQ(OP_FindBlockPage(90, 0), &g_opCtrlPage);
  EXPECT_EQ(g_opBlockPageTypes.data(), OP_BuiltinBlockPageTypes().data());
}
