// A list of labelled settings on a cell grid: the label in column 0, the value in column 1,
// each row bound to a program variable and exchanged with it in one call.
//
// Column 0's item value is the row kind (1 text, 2 check, 3 choice, 4 number); column 1's
// item binds the variable (a std::string of 8-bit text, an int, an int, a double).
#pragma once

#include <string>

#include "trendview/cell_grid.h"

enum PropertyRowKind : int { PROP_TEXT = 1, PROP_CHECK = 2, PROP_CHOICE = 3, PROP_NUMBER = 4 };

class CPropertyList : public CCellGrid {
 public:
  CPropertyList();

  // Binds the table of control `id` of the dialog; with `initialise` the list starts with its
  // one heading row and three columns. False when there is no such table.
  bool Attach(int id, QWidget* dialog, bool initialise);

  // Appends a row bound to the variable; the row number.
  int AddChoiceRow(const QString& label, int* bound, bool editable);
  int AddChoiceRowId(int labelId, int* bound, bool editable);
  int AddTextRow(const QString& label, std::string* bound, bool editable);
  int AddCheckRow(const QString& label, int* bound, bool editable);
  int AddNumberRow(const QString& label, double* bound, bool editable);
  // Appends a choice to the last row's value.
  void AddChoiceToLastRow(uint32_t value, const QString& text);
  void AddChoiceToLastRowId(uint32_t value, int stringId);

  // Load (save false): every bound row shows its variable. Save: every bound row whose value
  // is editable stores it; a choice row without a chosen value leaves its variable alone.
  // Row -1 is every row, from the last up to row 1.
  void Exchange(bool save, int row = -1);

  // The number text of a number row.
  std::string NumberText(double value) const;

 private:
  int AddRow(const QString& label, PropertyRowKind kind, int valueKind, void* bound, bool editable);
  void ExchangeRow(bool save, int row);

  uint32_t textColour_;
  uint32_t backColour_;
  uint32_t greyTextColour_;
  uint32_t disabledBackColour_;
  uint32_t editTextColour_;
  uint32_t editBackColour_ = 0xC0FFFF;  // pale yellow
  int numberSettings_[3] = {4, 3, 1};
};
