// The cell grid of the trend viewer's tables: a grid control (grid_control.h) whose cells each
// have a kind (text, check box, choice list, button), an editable flag and an integer value of
// their own, and whose edit events come out as one change callback.
//
// A cell's data property holds the number of its item (1-based in the item table); an item is
// taken for a cell by the first operation that needs one, from the free list when it holds
// numbers that removed rows or columns gave back (the last given back first). Operations on
// cells outside the counts, or on fixed cells where the operation wants a non-fixed one, do
// nothing, and getters answer 0. A row or column of -1 in a range operation stands for all
// non-fixed rows or columns.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "trendview/grid_control.h"

enum CellKind : uint8_t { CELL_TEXT = 0, CELL_CHECK = 1, CELL_CHOICE = 2, CELL_BUTTON = 3 };

// The grid's record of one cell. A choice cell's text holds the chosen value as 8 upper-case
// hex digits ("FFFFFFFF" when none) followed by one "|#value;text" per choice. `binding` is
// the address of a program variable that a property list binds to the cell; it is kept apart
// from the 32-bit value because an address needs 64 bits here.
struct CellItem {
  uint8_t kind = CELL_TEXT;
  uint8_t editable = 0;
  int32_t value = 0;
  QString text;
  void* binding = nullptr;
};

class CCellGrid : public CGridControl {
 public:
  // Called for an edited cell: (row, column, cell kind, the user value given with it).
  using ChangeFn = std::function<void(int row, int col, int kind, intptr_t user)>;

  CCellGrid();
  ~CCellGrid() override;

  // Binds the table of control `id` among the children of `parent`; with id 0 a hidden
  // control of its own (id 0xE900) under `parent`. False when there is no such table.
  bool Attach(int id, QWidget* parent);
  bool attached() const { return attached_; }

  // Ignored for n below the fixed rows (columns: n <= 0) or n >= 32768; the item numbers of
  // the cells that go are given back to the free list.
  void SetRows(int n);
  void SetCols(int n);

  void SetKind(int row, int col, int kind);
  void SetEditable(int row, int col, bool editable);
  // Sets the text of every cell of the range (fixed cells too) whose shown text differs; a
  // text cell that the user is editing keeps what is typed.
  void SetText(int row, int col, const QString& text);
  // The "|"-separated fields of the text (or of the string resource), one per column from
  // `firstCol` to the last; the columns past the last field get an empty text.
  void SetTexts(int row, int firstCol, const QString& fields);
  void SetTextsId(int row, int firstCol, int stringId);
  void SetBackColor(int row, int col, uint32_t colour);
  void SetForeColor(int row, int col, uint32_t colour);

  void SetValue(int row, int col, int32_t value);
  int32_t GetValue(int row, int col);
  // Only for a cell that shows a check box.
  void SetCheck(int row, int col, bool checked);
  int GetCheck(int row, int col) const;
  // Appends a choice to a choice cell.
  void AddChoice(int row, int col, uint32_t value, const QString& text);
  void AddChoiceId(int row, int col, uint32_t value, int stringId);
  // Shows the choice with that value and makes it the chosen one; when none has it and
  // `fallBack` is set, the first choice. False when nothing was selected.
  bool SelectChoice(int row, int col, uint32_t value, bool fallBack);
  // The chosen value (0xFFFFFFFF, that is -1, when none); 0 for a cell that is no choice cell.
  int32_t GetChoice(int row, int col);
  int GetKind(int row, int col);
  int GetEditable(int row, int col);

  void SetChangeCallback(ChangeFn fn, intptr_t user);
  // Where F1 sends the help command (9): the parent window's command handler.
  void SetCommandHandler(std::function<void(int command)> fn) { command_ = std::move(fn); }

  // Comma-separated widths in twips, column by column: "..." repeats the last width for the
  // remaining columns; a width of 0 or a missing field stops.
  void SetColumnWidths(const QString& text);

  // The item of a usable (non-fixed) cell, taken when it has none; null otherwise.
  CellItem* Item(int row, int col);
  // The item numbers given back and not taken again, the next one to be taken last.
  const std::vector<int>& freeList() const { return free_; }

 protected:
  void OnBeforeEdit(int row, int col, bool* cancel) override;
  void OnStartEdit(int row, int col, bool* cancel) override;
  void OnAfterEdit(int row, int col) override;
  void OnComboChanged() override;
  void OnCellButtonClick(int row, int col) override;
  void OnKeyDown(int key, int shift) override;

  // A single non-fixed cell inside the counts.
  bool Usable(int row, int col) const;
  // The rows and columns that a range names (-1 = all non-fixed); false when it is outside.
  struct Range {
    int row0, row1, col0, col1;
  };
  bool RangeOf(int row, int col, bool withFixed, Range* r) const;
  void Change(int row, int col, int kind);

 private:
  // The item of a cell by its data property; null when it has none (or a number that is no
  // item's).
  CellItem* ItemOf(int row, int col) const;
  void GiveBack(int row, int col);
  void WriteChoice(CellItem* item, uint32_t value);

  ChangeFn change_;
  intptr_t changeUser_ = 0;
  std::function<void(int)> command_;
  int editCol_ = -1;
  int editRow_ = -1;
  bool attached_ = false;
  std::vector<std::unique_ptr<CellItem>> items_;
  std::vector<int> free_;
};
