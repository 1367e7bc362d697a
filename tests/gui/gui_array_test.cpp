// GUI_ARRAY: items of their own size in handle memory, inserted, replaced, resized and
// deleted without leaking a block.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gui/GUI.h"
#include "gui/widgets/WIDGET.h"

namespace {

std::vector<std::string> g_errors;

class GuiArray : public ::testing::Test {
 protected:
  void SetUp() override {
    g_errors.clear();
    GUI_SetErrorHook([](const char* s) { g_errors.emplace_back(s); });
    ASSERT_EQ(GUI_Init(), 0);
    usedBefore = GUI_ALLOC_GetNumUsedBlocks();
    a = GUI_ARRAY_Create();
    ASSERT_NE(a, 0);
  }
  void TearDown() override {
    GUI_ARRAY_Delete(a);
    EXPECT_EQ(GUI_ALLOC_GetNumUsedBlocks(), usedBefore) << "a block was leaked";
    GUI_Exit();
    GUI_SetErrorHook(nullptr);
  }
  std::string Item(unsigned i) {
    const char* p = static_cast<const char*>(GUI_ARRAY_GetpItem(a, i));
    return p ? std::string(p) : std::string("<null>");
  }
  void Add(const char* s) { ASSERT_EQ(GUI_ARRAY_AddItem(a, s, int(std::strlen(s)) + 1), 0); }
  GUI_ARRAY a = 0;
  int32_t usedBefore = 0;
};

TEST_F(GuiArray, ItemsAreCopiesAndAnEmptyItemHasNoBlock) {
  Add("one");
  ASSERT_EQ(GUI_ARRAY_AddItem(a, nullptr, 0), 0);
  Add("three");
  EXPECT_EQ(GUI_ARRAY_GetNumItems(a), 3);
  EXPECT_EQ(Item(0), "one");
  EXPECT_EQ(GUI_ARRAY_GethItem(a, 1), 0);
  EXPECT_EQ(GUI_ARRAY_GetpItem(a, 1), nullptr);
  EXPECT_EQ(Item(2), "three");
  EXPECT_EQ(GUI_ARRAY_GethItem(a, 3), 0);
  EXPECT_EQ(GUI_ARRAY_GetNumItems(0), 0);
}

TEST_F(GuiArray, SetItemKeepsABlockOfTheSameSize) {
  Add("abcdefgh");
  GUI_HMEM h = GUI_ARRAY_GethItem(a, 0);
  EXPECT_EQ(GUI_ARRAY_SetItem(a, 0, "ABCDEFGH", 9), h);
  EXPECT_EQ(Item(0), "ABCDEFGH");
  GUI_HMEM h2 = GUI_ARRAY_SetItem(a, 0, "a much longer text than before", 31);
  EXPECT_NE(h2, 0);
  EXPECT_EQ(Item(0), "a much longer text than before");
  EXPECT_EQ(GUI_ARRAY_SetItem(a, 1, "x", 2), 0) << "out of range";
}

TEST_F(GuiArray, InsertAndDeleteKeepTheOrder) {
  Add("a");
  Add("c");
  EXPECT_TRUE(GUI_ARRAY_InsertBlankItem(a, 1));
  EXPECT_EQ(GUI_ARRAY_GethItem(a, 1), 0);
  GUI_ARRAY_SetItem(a, 1, "b", 2);
  GUI_HMEM hNew = GUI_ARRAY_InsertItem(a, 0, 4);
  ASSERT_NE(hNew, 0);
  EXPECT_EQ(GUI_ARRAY_GethItem(a, 0), hNew);
  EXPECT_EQ(GUI_ARRAY_GetNumItems(a), 4);
  EXPECT_EQ(Item(1), "a");
  EXPECT_EQ(Item(2), "b");
  EXPECT_EQ(Item(3), "c");
  // Inserting is only possible before an existing item.
  EXPECT_FALSE(GUI_ARRAY_InsertBlankItem(a, 4));
  ASSERT_EQ(g_errors.size(), 1u);
  EXPECT_EQ(g_errors[0], "GUI_ARRAY_InsertItem:\nIllegal index in GUI_ARRAY_InsertBlankItem()");
  GUI_ARRAY_DeleteItem(a, 0);
  GUI_ARRAY_DeleteItem(a, 2);
  GUI_ARRAY_DeleteItem(a, 7);  // nothing
  EXPECT_EQ(GUI_ARRAY_GetNumItems(a), 2);
  EXPECT_EQ(Item(0), "a");
  EXPECT_EQ(Item(1), "b");
}

TEST_F(GuiArray, ResizeCopiesNoMoreThanTheOldItemHolds) {
  Add("xyz");
  char* p = static_cast<char*>(GUI_ARRAY_ResizeItem(a, 0, 64));
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, "xyz");
  p = static_cast<char*>(GUI_ARRAY_ResizeItem(a, 0, 2));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::string(p, 2), "xy");
  int32_t used = GUI_ALLOC_GetNumUsedBlocks();
  EXPECT_EQ(GUI_ARRAY_ResizeItem(a, 5, 8), nullptr);
  EXPECT_EQ(GUI_ALLOC_GetNumUsedBlocks(), used) << "the new block of a bad index is freed";
}

}  // namespace
