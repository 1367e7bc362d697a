// Fixture for the viewer's tables: a parent window with one grid control on it, and helpers
// that drive a table as a user does, through its own editors, signals and items.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QWidget>
#include <memory>
#include <tuple>
#include <vector>

#include "support/kurvan_fixture.h"
#include "trendview/cell_grid.h"

namespace gridtest {

// The model index of a control cell (the first fixed row is the table's heading).
inline QModelIndex Index(CGridControl& grid, int row, int col) {
  const int header = grid.FixedRows() > 0 ? 1 : 0;
  return grid.table()->model()->index(row - header, col);
}

// Opens the cell's in-place editor as making it the current cell does; the editor, or null when the
// cell opens none.
template <typename Editor>
Editor* OpenEditor(CGridControl& grid, int row, int col) {
  QTableWidget* t = grid.table();
  const QModelIndex index = Index(grid, row, col);
  if (t->currentIndex() == index) t->setCurrentIndex(QModelIndex());
  t->setCurrentIndex(index);  // the table edits the cell that becomes current
  return qobject_cast<Editor*>(t->indexWidget(index));
}

// Ends the edit of a text cell with the Return key, which commits what was typed.
inline void PressReturn(QWidget* editor) {
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();  // the table commits and closes the editor after the key
}

// Presses the space bar on a cell, as on a focused check box.
inline void PressSpace(CGridControl& grid, int row, int col) {
  QTableWidget* t = grid.table();
  t->setCurrentIndex(Index(grid, row, col));
  QTest::keyClick(t, Qt::Key_Space);
}

class GridTest : public kurvantest::KurvanTest {
 protected:
  static constexpr int kId = 1160;
  void SetUp() override {
    KurvanTest::SetUp();
    parent = std::make_unique<QWidget>();
    CGridControl::NewControl(parent.get(), kId)->show();
    parent->show();
  }
  void TearDown() override {
    parent.reset();
    KurvanTest::TearDown();
  }
  // Binds the grid and gives it `rows` x `cols` cells below one heading row; every change
  // reported goes into `changes`.
  void Attach(CCellGrid& grid, int rows, int cols) {
    ASSERT_TRUE(grid.Attach(kId, parent.get()));
    grid.SetCols(cols);
    grid.SetRows(rows + 1);
    grid.SetFixedRows(1);
    grid.SetChangeCallback([this](int r, int c, int k, intptr_t user) { changes.push_back({r, c, k, user}); }, 77);
  }

  std::unique_ptr<QWidget> parent;
  std::vector<std::tuple<int, int, int, intptr_t>> changes;
};

}  // namespace gridtest
