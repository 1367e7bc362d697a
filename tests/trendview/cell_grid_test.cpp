// The grid control and the cell grid: attachment, counts and the free list of items, cell
// addressing, choice cells, the in-place editors and the change callback, column widths.
#include <gtest/gtest.h>

#include <QPointer>

#include "support/grid_fixture.h"
#include "trendview/cell_grid.h"

namespace {

using gridtest::GridTest;
using gridtest::Index;
using gridtest::OpenEditor;
using Change = std::tuple<int, int, int, intptr_t>;

class CellGridTest : public GridTest {};

TEST_F(CellGridTest, AttachFindsTheControlOrMakesAHiddenOne) {
  CCellGrid none;
  EXPECT_FALSE(none.Attach(4711, parent.get()));
  EXPECT_FALSE(none.attached());
  try {
    none.SetRows(3);
    ADD_FAILURE() << "no control, no call";
  } catch (const CGridError& e) {
    EXPECT_EQ(e.code(), KURVAN_E_POINTER);
    EXPECT_NE(std::string(e.what()).find(KURVAN_GRID_IID), std::string::npos);
  }

  CCellGrid grid;
  ASSERT_TRUE(grid.Attach(kId, parent.get()));
  EXPECT_EQ(CGridControl::ControlId(grid.table()), kId);

  QPointer<QTableWidget> own;
  {
    CCellGrid hidden;
    ASSERT_TRUE(hidden.Attach(0, nullptr));
    own = hidden.table();
    ASSERT_TRUE(own);
    EXPECT_EQ(CGridControl::ControlId(own), CGridControl::kHiddenControlId);
    EXPECT_FALSE(own->isVisible());
  }
  EXPECT_FALSE(own) << "the grid's own control goes with it";
}

TEST_F(CellGridTest, CountsOutsideTheirRangeChangeNothing) {
  CCellGrid grid;
  Attach(grid, 3, 4);  // 4 rows with the heading
  struct Case {
    int rows, cols;
    int expectRows, expectCols;
  } cases[] = {
      {0, 4, 4, 4},       // below the fixed rows
      {32768, 4, 4, 4},   // too many
      {4, 0, 4, 4},       // no columns
      {4, 32768, 4, 4},
      {1, 4, 1, 4},       // only the heading
      {32767, 1, 32767, 1},
  };
  for (const Case& c : cases) {
    grid.SetRows(4);
    grid.SetCols(4);
    grid.SetRows(c.rows);
    grid.SetCols(c.cols);
    EXPECT_EQ(grid.Rows(), c.expectRows) << c.rows << "x" << c.cols;
    EXPECT_EQ(grid.Cols(), c.expectCols) << c.rows << "x" << c.cols;
    EXPECT_EQ(grid.FixedRows(), 1);
  }
}

TEST_F(CellGridTest, FreedItemNumbersAreTakenAgainLastFirst) {
  CCellGrid grid;
  Attach(grid, 3, 1);
  for (int r = 1; r <= 3; ++r) grid.SetValue(r, 0, 10 * r);
  EXPECT_EQ(grid.CellData(3, 0).toInt(), 3);
  grid.SetRows(2);  // rows 2 and 3 go
  EXPECT_EQ(grid.freeList(), (std::vector<int>{2, 3}));
  grid.SetRows(4);
  EXPECT_EQ(grid.GetValue(2, 0), 0) << "a taken item starts empty";
  EXPECT_EQ(grid.CellData(2, 0).toInt(), 3);
  EXPECT_EQ(grid.GetKind(3, 0), 0);
  EXPECT_EQ(grid.CellData(3, 0).toInt(), 2);
  EXPECT_TRUE(grid.freeList().empty());
  grid.SetValue(1, 0, 5);
  EXPECT_EQ(grid.GetValue(1, 0), 5) << "the kept row keeps its item";
  EXPECT_EQ(grid.CellData(1, 0).toInt(), 1);
}

TEST_F(CellGridTest, CellsOutsideTheUsableAreaDoNothing) {
  CCellGrid grid;
  Attach(grid, 2, 2);
  struct Cell {
    int row, col;
  } bad[] = {{-2, 0}, {0, -2}, {3, 0}, {1, 2}, {0, 0} /* the heading */, {-1, 0}, {1, -1}};
  for (const Cell& c : bad) {
    grid.SetValue(c.row, c.col, 9);
    grid.SetKind(c.row, c.col, CELL_CHOICE);
    grid.SetCheck(c.row, c.col, true);
    EXPECT_EQ(grid.Item(c.row, c.col), nullptr) << c.row << "," << c.col;
    EXPECT_EQ(grid.GetValue(c.row, c.col), 0);
    EXPECT_EQ(grid.GetCheck(c.row, c.col), 0);
    EXPECT_EQ(grid.GetChoice(c.row, c.col), 0);
    EXPECT_EQ(grid.GetEditable(c.row, c.col), 0);
    EXPECT_EQ(grid.TextMatrix(c.row, c.col), "");
  }
  // As ranges, (-1, 0) is column 0 of every non-fixed row and (1, -1) all of row 1; the
  // heading is untouched.
  EXPECT_EQ(grid.GetKind(1, 0), CELL_CHOICE);
  EXPECT_EQ(grid.GetKind(2, 0), CELL_CHOICE);
  EXPECT_EQ(grid.GetKind(1, 1), CELL_CHOICE);
  EXPECT_EQ(grid.GetKind(2, 1), CELL_TEXT);
  EXPECT_EQ(grid.CellData(0, 0), QVariant());
}

TEST_F(CellGridTest, RangesAndKinds) {
  CCellGrid grid;
  Attach(grid, 3, 3);
  grid.SetKind(-1, 1, CELL_CHECK);
  grid.SetKind(-1, 2, CELL_CHOICE);
  grid.SetKind(2, 0, CELL_BUTTON);
  grid.SetKind(1, 0, 4);  // no such kind
  for (int r = 1; r <= 3; ++r) {
    EXPECT_EQ(grid.CellChecked(r, 1), GRID_CHECK_UNCHECKED);
    EXPECT_EQ(grid.Item(r, 2)->text, "FFFFFFFF");
  }
  EXPECT_EQ(grid.GetKind(2, 0), CELL_BUTTON);
  EXPECT_EQ(grid.GetKind(1, 0), CELL_TEXT);

  grid.SetCheck(2, 1, true);
  EXPECT_EQ(grid.GetCheck(2, 1), 1);
  grid.SetCheck(1, 0, true);  // no check box there
  EXPECT_EQ(grid.CellChecked(1, 0), GRID_CHECK_NONE);
  grid.SetKind(2, 1, CELL_TEXT);
  EXPECT_EQ(grid.CellChecked(2, 1), GRID_CHECK_NONE) << "the check box goes with the kind";

  grid.SetEditable(-1, -1, true);
  EXPECT_EQ(grid.GetEditable(3, 2), 1);
  grid.SetText(-1, -1, "x");
  EXPECT_EQ(grid.TextMatrix(3, 0), "x");
  EXPECT_EQ(grid.TextMatrix(0, 0), "") << "-1 leaves the heading";
  grid.SetTexts(0, 1, "One|Two|Three");
  EXPECT_EQ(grid.TextMatrix(0, 1), "One");
  EXPECT_EQ(grid.TextMatrix(0, 2), "Two");
  grid.SetTexts(0, 0, "Only");
  EXPECT_EQ(grid.TextMatrix(0, 0), "Only");
  EXPECT_EQ(grid.TextMatrix(0, 2), "") << "past the list's end: empty";
  EXPECT_EQ(grid.table()->horizontalHeaderItem(0)->text(), "Only");

  grid.SetBackColor(1, -1, 0x0000FF);
  EXPECT_EQ(grid.CellBackColor(1, 2), 0x0000FFu);
  EXPECT_EQ(grid.table()->item(0, 2)->background().color(), QColor(255, 0, 0));
}

TEST_F(CellGridTest, ChoiceCells) {
  CCellGrid grid;
  Attach(grid, 2, 2);
  grid.SetKind(1, 1, CELL_CHOICE);
  EXPECT_EQ(grid.GetChoice(1, 1), -1) << "nothing chosen";
  grid.AddChoice(1, 1, 1, "One");
  grid.AddChoice(1, 1, 4000000000u, "Big");
  grid.AddChoice(1, 0, 1, "not a choice cell");
  EXPECT_EQ(grid.Item(1, 1)->text, "FFFFFFFF|#1;One|#4000000000;Big");
  EXPECT_EQ(grid.Item(1, 0)->text, "");

  EXPECT_TRUE(grid.SelectChoice(1, 1, 4000000000u, false));
  EXPECT_EQ(grid.Item(1, 1)->text, "EE6B2800|#1;One|#4000000000;Big");
  EXPECT_EQ(static_cast<uint32_t>(grid.GetChoice(1, 1)), 4000000000u);
  EXPECT_EQ(grid.TextMatrix(1, 1), "Big");

  // Not in the list: without fall back the cell stays as it was, with it the first choice.
  EXPECT_FALSE(grid.SelectChoice(1, 1, 7, false));
  EXPECT_EQ(grid.TextMatrix(1, 1), "Big");
  EXPECT_EQ(static_cast<uint32_t>(grid.GetChoice(1, 1)), 4000000000u);
  EXPECT_TRUE(grid.SelectChoice(1, 1, 7, true));
  EXPECT_EQ(grid.TextMatrix(1, 1), "One");
  EXPECT_EQ(grid.GetChoice(1, 1), 1);
  EXPECT_EQ(grid.GetChoice(1, 0), 0) << "a text cell";

  // Choice texts that do not parse select nothing, with or without fall back.
  grid.SetKind(2, 1, CELL_CHOICE);
  grid.Item(2, 1)->text = "FFFFFFFF|#x;Bad|One|#;Empty|#99999999999;Big";
  for (uint32_t v : {0u, 1u})
    for (bool fallBack : {false, true}) EXPECT_FALSE(grid.SelectChoice(2, 1, v, fallBack));
  EXPECT_EQ(grid.GetChoice(2, 1), -1);
  EXPECT_EQ(grid.TextMatrix(2, 1), "");
}

TEST_F(CellGridTest, EditorsFollowTheCellKind) {
  CCellGrid grid;
  Attach(grid, 3, 2);
  grid.SetEditable(-1, -1, true);
  grid.SetKind(1, 1, CELL_CHOICE);  // no choices
  grid.SetKind(2, 1, CELL_CHOICE);
  grid.AddChoice(2, 1, 5, "Five");
  grid.AddChoice(2, 1, 6, "Six");
  grid.SetKind(3, 1, CELL_BUTTON);

  QComboBox* empty = OpenEditor<QComboBox>(grid, 1, 1);
  ASSERT_NE(empty, nullptr);
  ASSERT_EQ(empty->count(), 1);
  EXPECT_EQ(empty->itemText(0), " ");
  emit empty->activated(0);
  EXPECT_EQ(grid.GetChoice(1, 1), -1) << "the blank entry has no value";
  EXPECT_TRUE(changes.empty());

  QComboBox* combo = OpenEditor<QComboBox>(grid, 2, 1);
  ASSERT_NE(combo, nullptr);
  ASSERT_EQ(combo->count(), 2);
  EXPECT_EQ(combo->itemText(1), "Six");
  combo->setCurrentIndex(1);
  emit combo->activated(1);
  EXPECT_EQ(grid.GetChoice(2, 1), 6);
  EXPECT_EQ(changes, (std::vector<Change>{{2, 1, CELL_CHOICE, 77}}));

  changes.clear();
  QToolButton* button = OpenEditor<QToolButton>(grid, 3, 1);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(grid.TextMatrix(2, 1), "Six") << "the chosen text is shown once the editor closed";
  EXPECT_EQ(button->text(), "...");
  button->click();
  EXPECT_EQ(changes, (std::vector<Change>{{3, 1, CELL_BUTTON, 77}}));

  // A cell that is not editable, a fixed cell: no editor.
  grid.SetEditable(1, 0, false);
  EXPECT_EQ(OpenEditor<QWidget>(grid, 1, 0), nullptr);
  grid.SetFixedCols(1);
  grid.SetEditable(2, 0, true);
  EXPECT_EQ(OpenEditor<QWidget>(grid, 2, 0), nullptr);
  EXPECT_EQ(changes.size(), 1u) << "leaving a cell button's cell is no change";
}

TEST_F(CellGridTest, TypedTextIsKeptWhileTheProgramSetsTheCell) {
  CCellGrid grid;
  Attach(grid, 2, 1);
  grid.SetEditable(-1, 0, true);
  grid.SetText(1, 0, "old");
  QLineEdit* edit = OpenEditor<QLineEdit>(grid, 1, 0);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->text(), "old");
  edit->setText("typed");
  grid.SetText(1, 0, "program");
  grid.SetText(2, 0, "program");  // another cell takes it
  EXPECT_EQ(edit->text(), "typed");
  gridtest::PressReturn(edit);
  EXPECT_EQ(grid.TextMatrix(1, 0), "typed");
  EXPECT_EQ(grid.TextMatrix(2, 0), "program");
  EXPECT_EQ(changes, (std::vector<Change>{{1, 0, CELL_TEXT, 77}}));
  grid.SetText(1, 0, "program");
  EXPECT_EQ(grid.TextMatrix(1, 0), "program") << "the edit is over";
}

TEST_F(CellGridTest, CheckBoxesToggleOnlyWhenEditable) {
  CCellGrid grid;
  Attach(grid, 2, 1);
  grid.SetKind(-1, 0, CELL_CHECK);
  grid.SetEditable(1, 0, true);
  EXPECT_EQ(OpenEditor<QWidget>(grid, 1, 0), nullptr) << "a check box has no text editor";
  gridtest::PressSpace(grid, 1, 0);
  EXPECT_EQ(grid.GetCheck(1, 0), 1);
  EXPECT_EQ(changes, (std::vector<Change>{{1, 0, CELL_CHECK, 77}}));
  gridtest::PressSpace(grid, 2, 0);
  EXPECT_EQ(grid.GetCheck(2, 0), 0);
  EXPECT_EQ(grid.CellChecked(2, 0), GRID_CHECK_UNCHECKED);
  EXPECT_EQ(changes.size(), 1u);
}

TEST_F(CellGridTest, F1AsksTheParentForHelp) {
  CCellGrid grid;
  Attach(grid, 1, 1);
  std::vector<int> commands;
  grid.SetCommandHandler([&](int id) { commands.push_back(id); });
  QTest::keyClick(grid.table(), Qt::Key_F2);
  QTest::keyClick(grid.table(), Qt::Key_F1);
  EXPECT_EQ(commands, std::vector<int>{9});
}

TEST_F(CellGridTest, ColumnWidthsInTwips) {
  struct Case {
    const char* text;
    std::vector<int> widths;  // of 4 columns that start at 300
  } cases[] = {
      {"900,...", {900, 900, 900, 900}},
      {"900,0", {900, 300, 300, 300}},
      {"900,600", {900, 600, 300, 300}},
      {"900,600,...", {900, 600, 600, 600}},
      {"1,2,3,4,5,6", {1, 2, 3, 4}},
      {"...", {300, 300, 300, 300}},
      {"abc,900", {300, 300, 300, 300}},
      {"900,,600", {900, 300, 300, 300}},
      {"", {300, 300, 300, 300}},
  };
  CCellGrid grid;
  Attach(grid, 1, 4);
  for (const Case& c : cases) {
    grid.SetColumnWidths("300,...");
    grid.SetColumnWidths(c.text);
    std::vector<int> got;
    for (int col = 0; col < 4; ++col) got.push_back(grid.ColWidth(col));
    EXPECT_EQ(got, c.widths) << c.text;
  }
  grid.SetColumnWidths("1440");
  EXPECT_EQ(grid.table()->columnWidth(0), grid.table()->logicalDpiX()) << "1440 twips = one inch";
}

TEST_F(CellGridTest, NumberedSettingsAreKept) {
  CCellGrid grid;
  Attach(grid, 1, 2);
  grid.SetSetting(65, 3);
  grid.SetColumnSetting(1, 7);
  grid.SetSettingPair(172, 2, 1);
  EXPECT_EQ(grid.Setting(65), 3);
  EXPECT_EQ(grid.Setting(66), 0);
  EXPECT_EQ(grid.ColumnSetting(1), 7);
  EXPECT_EQ(grid.SettingPair(172), (std::pair<int, int>{2, 1}));
  grid.SetSetting(GRID_DISP_REDRAW, 0);
  EXPECT_FALSE(grid.table()->updatesEnabled());
  grid.SetSetting(GRID_DISP_REDRAW, 1);
  EXPECT_TRUE(grid.table()->updatesEnabled());
}

}  // namespace
