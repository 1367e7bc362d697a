// The property list: its start, rows bound to variables and the exchange both ways.
#include <gtest/gtest.h>

#include <string>

#include "support/grid_fixture.h"
#include "trendview/property_list.h"

namespace {

using gridtest::GridTest;

class PropertyListTest : public GridTest {
 protected:
  void AttachList() { ASSERT_TRUE(list.Attach(kId, parent.get(), true)); }
  CPropertyList list;
};

TEST_F(PropertyListTest, StartsWithItsHeadingAndSettings) {
  AttachList();
  EXPECT_EQ(list.Rows(), 1);
  EXPECT_EQ(list.FixedRows(), 1);
  EXPECT_EQ(list.Cols(), 3);
  EXPECT_FALSE(list.table()->updatesEnabled()) << "drawing off until the first exchange";
  EXPECT_EQ(list.SettingPair(172), (std::pair<int, int>{2, 1}));
  for (auto [id, value] : {std::pair{71, 2}, {66, 1}, {88, 1}, {12, 0}, {65, 0}, {103, 0}, {30, 0}})
    EXPECT_EQ(list.Setting(id), value) << id;
  list.Exchange(false);
  EXPECT_TRUE(list.table()->updatesEnabled());

  CPropertyList bare;
  ASSERT_TRUE(bare.Attach(kId, parent.get(), false));
  EXPECT_EQ(bare.Setting(71), 2);
  EXPECT_EQ(bare.SettingPair(172), (std::pair<int, int>{0, 0}));
  EXPECT_FALSE(CPropertyList().Attach(4711, parent.get(), true));
}

TEST_F(PropertyListTest, RowsAreLabelledAndColouredByEditability) {
  AttachList();
  int a = 0, b = 0;
  EXPECT_EQ(list.AddChoiceRow("Left", &a, true), 1);
  EXPECT_EQ(list.AddChoiceRow("Fixed", &b, false), 2);
  EXPECT_EQ(list.Rows(), 3);
  EXPECT_EQ(list.TextMatrix(1, 0), "Left");
  EXPECT_EQ(list.GetValue(1, 0), PROP_CHOICE);
  EXPECT_EQ(list.GetKind(1, 1), CELL_CHOICE);
  EXPECT_EQ(list.GetEditable(1, 0), 0);
  EXPECT_EQ(list.GetEditable(1, 1), 1);
  EXPECT_EQ(list.GetEditable(2, 1), 0);
  EXPECT_EQ(list.SettingPair(GRID_DISP_ROW_SETTING), (std::pair<int, int>{2, 0}));
  EXPECT_EQ(list.CellBackColor(1, 1), 0xC0FFFFu);
  EXPECT_EQ(list.CellBackColor(2, 1), list.CellBackColor(2, 0));
  EXPECT_NE(list.CellBackColor(2, 1), 0xC0FFFFu);
}

TEST_F(PropertyListTest, ExchangeBothWays) {
  AttachList();
  std::string text = "Name";
  int check = 1;
  int choice = 2;
  int untouched = 5;  // none of the choices
  double number = 2.5;
  double fixedNumber = 7.0;
  list.AddTextRow("Text", &text, true);
  list.AddCheckRow("Check", &check, true);
  list.AddChoiceRow("Choice", &choice, true);
  list.AddChoiceToLastRow(1, "One");
  list.AddChoiceToLastRow(2, "Two");
  list.AddChoiceRow("Other", &untouched, true);
  list.AddChoiceToLastRow(1, "One");
  list.AddNumberRow("Number", &number, true);
  list.AddNumberRow("Read-only", &fixedNumber, false);

  list.Exchange(false);
  EXPECT_EQ(list.TextMatrix(1, 1), "Name");
  EXPECT_EQ(list.GetCheck(2, 1), 1);
  EXPECT_EQ(list.TextMatrix(3, 1), "Two");
  EXPECT_EQ(list.GetChoice(3, 1), 2);
  EXPECT_EQ(list.TextMatrix(4, 1), "") << "no fall back on load";
  EXPECT_EQ(list.TextMatrix(5, 1), "2.5");
  EXPECT_EQ(list.TextMatrix(6, 1), "7.0");

  struct Case {
    const char* typed;
    double stored;
  } numbers[] = {{"1,5", 1.5}, {" -3.25", -3.25}, {"abc", 0.0}, {"", 0.0}, {"4e2x", 400.0}, {"1e999", 0.0}};
  for (const Case& c : numbers) {
    list.table()->item(4, 1)->setText(c.typed);  // row 5 of the list
    list.Exchange(true, 5);
    EXPECT_DOUBLE_EQ(number, c.stored) << c.typed;
  }

  list.table()->item(0, 1)->setText(QString::fromLatin1("\xE4nderung"));  // typed
  list.SetCheck(2, 1, false);
  list.SelectChoice(3, 1, 1, false);
  list.table()->item(5, 1)->setText("99");
  list.Exchange(true);
  EXPECT_EQ(text, "\xE4nderung");
  EXPECT_EQ(check, 0);
  EXPECT_EQ(choice, 1);
  EXPECT_EQ(untouched, 5) << "no chosen value: the variable keeps its own";
  EXPECT_DOUBLE_EQ(fixedNumber, 7.0) << "not editable: not saved";
}

}  // namespace
