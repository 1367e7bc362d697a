#include "trendview/property_list.h"

#include <QApplication>
#include <QPalette>

#include "trendview/kurvan_ui.h"
#include "trendview/language.h"
#include "trendview/trend_text.h"

CPropertyList::CPropertyList() {
  const QPalette p = QApplication::palette();
  textColour_ = KurvanColorRef(p.color(QPalette::Active, QPalette::Text));
  backColour_ = KurvanColorRef(p.color(QPalette::Active, QPalette::Base));
  greyTextColour_ = KurvanColorRef(p.color(QPalette::Disabled, QPalette::Text));
  disabledBackColour_ = backColour_;
  editTextColour_ = textColour_;
}

bool CPropertyList::Attach(int id, QWidget* dialog, bool initialise) {
  if (!CCellGrid::Attach(id, dialog)) return false;
  SetRedraw(false);  // on again after the first exchange
  SetSetting(71, 2);
  if (initialise) {
    SetRows(1);
    SetFixedRows(1);
    SetCols(3);
    SetSettingPair(172, 2, 1);
    SetSetting(12, 0);
    SetSetting(66, 1);
    SetSetting(65, 0);
    SetSetting(103, 0);
    SetSetting(88, 1);
    SetSetting(30, 0);
  }
  return true;
}

int CPropertyList::AddRow(const QString& label, PropertyRowKind kind, int valueKind, void* bound, bool editable) {
  const int row = Rows();
  SetRows(row + 1);
  if (Rows() != row + 1) return -1;
  SetSettingPair(GRID_DISP_ROW_SETTING, row, 0);
  SetKind(row, 0, CELL_TEXT);
  SetEditable(row, 0, false);
  SetText(row, 0, label);
  SetValue(row, 0, kind);
  SetKind(row, 1, valueKind);
  SetEditable(row, 1, editable);
  if (CellItem* item = Item(row, 1)) item->binding = bound;
  SetForeColor(row, 0, textColour_);
  SetBackColor(row, 0, backColour_);
  SetForeColor(row, 1, editable ? editTextColour_ : textColour_);
  SetBackColor(row, 1, editable ? editBackColour_ : backColour_);
  return row;
}

int CPropertyList::AddChoiceRow(const QString& label, int* bound, bool editable) {
  return AddRow(label, PROP_CHOICE, CELL_CHOICE, bound, editable);
}

int CPropertyList::AddChoiceRowId(int labelId, int* bound, bool editable) {
  return AddChoiceRow(KurvanLanguages().string(labelId), bound, editable);
}

int CPropertyList::AddTextRow(const QString& label, std::string* bound, bool editable) {
  return AddRow(label, PROP_TEXT, CELL_TEXT, bound, editable);
}

int CPropertyList::AddCheckRow(const QString& label, int* bound, bool editable) {
  return AddRow(label, PROP_CHECK, CELL_CHECK, bound, editable);
}

int CPropertyList::AddNumberRow(const QString& label, double* bound, bool editable) {
  return AddRow(label, PROP_NUMBER, CELL_TEXT, bound, editable);
}

void CPropertyList::AddChoiceToLastRow(uint32_t value, const QString& text) { AddChoice(Rows() - 1, 1, value, text); }

void CPropertyList::AddChoiceToLastRowId(uint32_t value, int stringId) {
  AddChoiceToLastRow(value, KurvanLanguages().string(stringId));
}

// The list's number settings are the minimum width, the decimals and the form: form 1 is the
// general text ("%.8g", whole numbers with ".0"), form 0 the fixed decimals in that width.
std::string CPropertyList::NumberText(double value) const {
  if (numberSettings_[2]) return KurvanNumberText(value);
  return KurvanFixedText(value, numberSettings_[1], numberSettings_[0]);
}

void CPropertyList::Exchange(bool save, int row) {
  SetRedraw(false);
  if (row == -1) {
    for (int r = Rows() - 1; r >= 1; --r) ExchangeRow(save, r);
  } else {
    ExchangeRow(save, row);
  }
  SetRedraw(true);
}

void CPropertyList::ExchangeRow(bool save, int row) {
  if (!Usable(row, 1)) return;
  const int kind = GetValue(row, 0);
  CellItem* value = Item(row, 1);
  if (!value || !value->binding) return;
  void* bound = value->binding;
  if (!save) {
    switch (kind) {
      case PROP_TEXT:
        SetText(row, 1, QString::fromLatin1(*static_cast<std::string*>(bound)));
        break;
      case PROP_CHECK:
        SetCheck(row, 1, *static_cast<int*>(bound) != 0);
        break;
      case PROP_CHOICE:
        SelectChoice(row, 1, static_cast<uint32_t>(*static_cast<int*>(bound)), false);
        break;
      case PROP_NUMBER:
        SetText(row, 1, QString::fromLatin1(NumberText(*static_cast<double*>(bound))));
        break;
      default:
        break;
    }
    return;
  }
  if (!value->editable) return;
  switch (kind) {
    case PROP_TEXT:
      *static_cast<std::string*>(bound) = TextMatrix(row, 1).toLatin1().toStdString();
      break;
    case PROP_CHECK:
      *static_cast<int*>(bound) = GetCheck(row, 1);
      break;
    case PROP_CHOICE: {
      // No chosen value (the variable held none of the choices): the variable keeps its own.
      const int32_t chosen = GetChoice(row, 1);
      if (chosen != -1) *static_cast<int*>(bound) = chosen;
      break;
    }
    case PROP_NUMBER:
      *static_cast<double*>(bound) = KurvanNumberValue(TextMatrix(row, 1).toLatin1().toStdString());
      break;
    default:
      break;
  }
}
