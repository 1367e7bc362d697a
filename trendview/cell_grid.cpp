#include "trendview/cell_grid.h"

#include <QStringList>
#include <QTableWidget>
#include <charconv>

#include "trendview/language.h"

namespace {

constexpr int kMaxCount = 32768;
constexpr char kNoChoice[] = "FFFFFFFF";
constexpr int kHexDigits = 8;
constexpr int kHelpCommand = 9;
constexpr int kKeyF1 = 112;

// The leading decimal number of a trimmed text (atoi's way); 0 when there is none.
int LeadingInt(const QString& text) {
  const QByteArray bytes = text.trimmed().toLatin1();
  int v = 0;
  const auto r = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), v, 10);
  return r.ec == std::errc() ? v : 0;
}

// A whole decimal text as a 32-bit unsigned number.
bool ParseValue(const QString& text, uint32_t* value) {
  const QByteArray bytes = text.toLatin1();
  const char* end = bytes.constData() + bytes.size();
  const auto r = std::from_chars(bytes.constData(), end, *value, 10);
  return !bytes.isEmpty() && r.ec == std::errc() && r.ptr == end;
}

// The choices of a choice cell's item text: what follows "XXXXXXXX|".
std::vector<GridChoice> ChoicesOf(const CellItem& item) {
  return item.text.size() > kHexDigits + 1 ? GridParseChoices(item.text.mid(kHexDigits + 1))
                                           : std::vector<GridChoice>();
}

}  // namespace

CCellGrid::CCellGrid() = default;
CCellGrid::~CCellGrid() = default;

bool CCellGrid::Attach(int id, QWidget* parent) {
  if (id) {
    if (!SubclassDlgItem(id, parent)) return false;
  } else {
    Create(parent, kHiddenControlId);
  }
  SetEditMode(2);
  attached_ = true;
  return true;
}

bool CCellGrid::Usable(int row, int col) const {
  return InCounts(row, col) && row >= FixedRows() && col >= FixedCols();
}

bool CCellGrid::RangeOf(int row, int col, bool withFixed, Range* r) const {
  const int rows = Rows();
  const int cols = Cols();
  if (row == -1) {
    r->row0 = FixedRows();
    r->row1 = rows - 1;
  } else if (row < (withFixed ? 0 : FixedRows()) || row >= rows) {
    return false;
  } else {
    r->row0 = r->row1 = row;
  }
  if (col == -1) {
    r->col0 = FixedCols();
    r->col1 = cols - 1;
  } else if (col < (withFixed ? 0 : FixedCols()) || col >= cols) {
    return false;
  } else {
    r->col0 = r->col1 = col;
  }
  return r->row0 <= r->row1 && r->col0 <= r->col1;
}

CellItem* CCellGrid::ItemOf(int row, int col) const {
  const QVariant data = CellData(row, col);
  if (data.typeId() != QMetaType::Int) return nullptr;
  const int n = data.toInt();
  return n >= 1 && static_cast<size_t>(n) <= items_.size() ? items_[static_cast<size_t>(n - 1)].get() : nullptr;
}

CellItem* CCellGrid::Item(int row, int col) {
  if (!Usable(row, col)) return nullptr;
  if (CellItem* item = ItemOf(row, col)) return item;
  int n;
  if (!free_.empty()) {
    n = free_.back();
    free_.pop_back();
  } else {
    items_.push_back(std::make_unique<CellItem>());
    n = static_cast<int>(items_.size());
  }
  CellItem* item = items_[static_cast<size_t>(n - 1)].get();
  *item = CellItem();
  SetCellData(row, col, n);
  return item;
}

void CCellGrid::GiveBack(int row, int col) {
  const QVariant data = CellData(row, col);
  if (data.typeId() == QMetaType::Int && data.toInt() > 0) free_.push_back(data.toInt());
}

void CCellGrid::SetRows(int n) {
  if (n < FixedRows() || n >= kMaxCount) return;
  for (int r = n; r < Rows(); ++r)
    for (int c = 0; c < Cols(); ++c) GiveBack(r, c);
  if (editRow_ >= n) editRow_ = editCol_ = -1;
  CGridControl::SetRows(n);
}

void CCellGrid::SetCols(int n) {
  if (n <= 0 || n >= kMaxCount) return;
  for (int r = 0; r < Rows(); ++r)
    for (int c = n; c < Cols(); ++c) GiveBack(r, c);
  if (editCol_ >= n) editRow_ = editCol_ = -1;
  CGridControl::SetCols(n);
}

void CCellGrid::SetKind(int row, int col, int kind) {
  Range g;
  if (kind < CELL_TEXT || kind > CELL_BUTTON || !RangeOf(row, col, false, &g)) return;
  for (int r = g.row0; r <= g.row1; ++r) {
    for (int c = g.col0; c <= g.col1; ++c) {
      CellItem* item = Item(r, c);
      if (!item || item->kind == kind) continue;
      SetCellChecked(r, c, kind == CELL_CHECK ? GRID_CHECK_UNCHECKED : GRID_CHECK_NONE);
      if (kind == CELL_CHOICE) item->text = kNoChoice;
      item->kind = static_cast<uint8_t>(kind);
    }
  }
}

void CCellGrid::SetEditable(int row, int col, bool editable) {
  Range g;
  if (!RangeOf(row, col, false, &g)) return;
  for (int r = g.row0; r <= g.row1; ++r)
    for (int c = g.col0; c <= g.col1; ++c)
      if (CellItem* item = Item(r, c)) item->editable = editable ? 1 : 0;
}

void CCellGrid::SetText(int row, int col, const QString& text) {
  Range g;
  if (!RangeOf(row, col, true, &g)) return;
  for (int r = g.row0; r <= g.row1; ++r) {
    for (int c = g.col0; c <= g.col1; ++c) {
      if (r == editRow_ && c == editCol_) {
        const CellItem* item = ItemOf(r, c);
        if (!item || item->kind == CELL_TEXT) continue;  // the typed text stays
      }
      if (TextMatrix(r, c) != text) SetTextMatrix(r, c, text);
    }
  }
}

void CCellGrid::SetTexts(int row, int firstCol, const QString& fields) {
  const QStringList parts = fields.split('|');
  for (int c = firstCol < 0 ? 0 : firstCol, i = 0; c < Cols(); ++c, ++i)
    SetText(row, c, i < parts.size() ? parts[i] : QString());
}

void CCellGrid::SetTextsId(int row, int firstCol, int stringId) {
  SetTexts(row, firstCol, KurvanLanguages().string(stringId));
}

void CCellGrid::SetBackColor(int row, int col, uint32_t colour) {
  Range g;
  if (!RangeOf(row, col, false, &g)) return;
  for (int r = g.row0; r <= g.row1; ++r)
    for (int c = g.col0; c <= g.col1; ++c) SetCellBackColor(r, c, colour);
}

void CCellGrid::SetForeColor(int row, int col, uint32_t colour) {
  Range g;
  if (!RangeOf(row, col, false, &g)) return;
  for (int r = g.row0; r <= g.row1; ++r)
    for (int c = g.col0; c <= g.col1; ++c) SetCellForeColor(r, c, colour);
}

void CCellGrid::SetValue(int row, int col, int32_t value) {
  if (CellItem* item = Item(row, col)) item->value = value;
}

int32_t CCellGrid::GetValue(int row, int col) {
  const CellItem* item = Item(row, col);
  return item ? item->value : 0;
}

void CCellGrid::SetCheck(int row, int col, bool checked) {
  if (Usable(row, col) && CellChecked(row, col) != GRID_CHECK_NONE)
    SetCellChecked(row, col, checked ? GRID_CHECK_CHECKED : GRID_CHECK_UNCHECKED);
}

int CCellGrid::GetCheck(int row, int col) const {
  return Usable(row, col) && CellChecked(row, col) == GRID_CHECK_CHECKED ? 1 : 0;
}

void CCellGrid::AddChoice(int row, int col, uint32_t value, const QString& text) {
  CellItem* item = Item(row, col);
  if (!item || item->kind != CELL_CHOICE || item->text.isEmpty()) return;
  item->text += QString::asprintf("|#%u;", static_cast<unsigned>(value)) + text;
}

void CCellGrid::AddChoiceId(int row, int col, uint32_t value, int stringId) {
  AddChoice(row, col, value, KurvanLanguages().string(stringId));
}

void CCellGrid::WriteChoice(CellItem* item, uint32_t value) {
  item->text = QString::asprintf("%08X", static_cast<unsigned>(value)) + item->text.mid(kHexDigits);
}

bool CCellGrid::SelectChoice(int row, int col, uint32_t value, bool fallBack) {
  CellItem* item = Item(row, col);
  if (!item || item->kind != CELL_CHOICE || item->text.isEmpty()) return false;
  const std::vector<GridChoice> choices = ChoicesOf(*item);
  for (const GridChoice& c : choices) {
    if (!c.valid || c.value != value) continue;
    SetTextMatrix(row, col, c.text);
    WriteChoice(item, value);
    return true;
  }
  // One retry with the first choice's value.
  if (fallBack && !choices.empty() && choices.front().valid) return SelectChoice(row, col, choices.front().value, false);
  return false;
}

int32_t CCellGrid::GetChoice(int row, int col) {
  const CellItem* item = Item(row, col);
  if (!item || item->kind != CELL_CHOICE || item->text.isEmpty()) return 0;
  const QByteArray head = item->text.left(kHexDigits).toLatin1();
  uint32_t v = 0;
  std::from_chars(head.constData(), head.constData() + head.size(), v, 16);
  return static_cast<int32_t>(v);
}

int CCellGrid::GetKind(int row, int col) {
  const CellItem* item = Item(row, col);
  return item ? item->kind : 0;
}

int CCellGrid::GetEditable(int row, int col) {
  const CellItem* item = Item(row, col);
  return item ? item->editable : 0;
}

void CCellGrid::SetChangeCallback(ChangeFn fn, intptr_t user) {
  change_ = std::move(fn);
  changeUser_ = user;
}

void CCellGrid::SetColumnWidths(const QString& text) {
  const QStringList fields = text.split(',');
  int last = 0;
  for (int col = 0; col < Cols() && col < fields.size(); ++col) {
    if (fields[col].trimmed() == "...") {
      for (int c = col; last > 0 && c < Cols(); ++c) SetColWidth(c, last);
      return;
    }
    last = LeadingInt(fields[col]);
    if (last <= 0) return;
    SetColWidth(col, last);
  }
}

void CCellGrid::Change(int row, int col, int kind) {
  if (change_) change_(row, col, kind, changeUser_);
}

void CCellGrid::OnBeforeEdit(int row, int col, bool* cancel) {
  CellItem* item = Item(row, col);
  if (!item) {
    *cancel = true;
    return;
  }
  switch (item->kind) {
    case CELL_CHOICE:
      SetComboList(item->text.size() < kHexDigits + 2 ? QString(" ") : item->text.mid(kHexDigits + 1));
      break;
    case CELL_BUTTON:
      SetComboList("...");
      break;
    default:
      SetComboList(QString());
      break;
  }
  *cancel = !item->editable;
}

void CCellGrid::OnStartEdit(int row, int col, bool* cancel) {
  editRow_ = row;
  editCol_ = col;
  *cancel = false;
}

void CCellGrid::OnAfterEdit(int row, int col) {
  editRow_ = editCol_ = -1;
  // A choice reports itself when picked (28), a cell button when clicked (34); the in-place
  // editor of a button cell holds nothing else, so its end is no change.
  const CellItem* item = Item(row, col);
  if (item && (item->kind == CELL_TEXT || item->kind == CELL_CHECK)) Change(row, col, item->kind);
}

void CCellGrid::OnComboChanged() {
  const int row = Row();
  const int col = Col();
  CellItem* item = Item(row, col);
  if (!item || item->kind != CELL_CHOICE || item->text.isEmpty()) return;
  uint32_t value;
  if (!ParseValue(ComboData(ComboIndex()), &value)) return;  // a choice without a value
  WriteChoice(item, value);
  Change(row, col, CELL_CHOICE);
}

void CCellGrid::OnCellButtonClick(int row, int col) {
  const CellItem* item = Item(row, col);
  if (item && item->kind == CELL_BUTTON) Change(row, col, CELL_BUTTON);
}

void CCellGrid::OnKeyDown(int key, int /*shift*/) {
  if (key == kKeyF1 && command_) command_(kHelpCommand);
}
