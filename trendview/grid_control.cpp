#include "trendview/grid_control.h"

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "trendview/kurvan_ui.h"

namespace {

constexpr char kControlIdProperty[] = "kurvanControlId";
constexpr char kPickedProperty[] = "kurvanPicked";
constexpr char kCellButton[] = "...";

// Flags of every cell item: the delegate decides whether a cell can be edited.
constexpr Qt::ItemFlags kCellFlags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;

// The key code of the control's key-down event: F1..F24 are 112..135, letters and digits
// their upper-case character; other keys pass as they are.
int KeyCode(int qtKey) {
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 112 + (qtKey - Qt::Key_F1);
  return qtKey;
}

int ShiftState(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

}  // namespace

CGridError::CGridError(uint32_t code)
    : std::runtime_error([code] {
        char text[96];
        std::snprintf(text, sizeof text, "grid control %s: error 0x%08X", KURVAN_GRID_IID, static_cast<unsigned>(code));
        return std::string(text);
      }()),
      code_(code) {}

std::vector<GridChoice> GridParseChoices(const QString& list) {
  std::vector<GridChoice> out;
  if (list.isEmpty()) return out;
  for (const QString& field : list.split('|')) {
    GridChoice c;
    const qsizetype semi = field.indexOf(';');
    if (field.startsWith('#') && semi > 0) {
      const QByteArray digits = field.mid(1, semi - 1).toLatin1();
      uint32_t v = 0;
      const char* end = digits.constData() + digits.size();
      const auto r = std::from_chars(digits.constData(), end, v, 10);
      c.valid = !digits.isEmpty() && r.ec == std::errc() && r.ptr == end;
      c.value = c.valid ? v : 0;
      c.text = field.mid(semi + 1);
    } else {
      c.text = field;
    }
    out.push_back(std::move(c));
  }
  return out;
}

// The control's in-place editing: a text editor, a choice list or a cell button by the
// choice list that the before-edit event set, and the check boxes' toggles.
class CGridDelegate : public QStyledItemDelegate {
 public:
  CGridDelegate(CGridControl* grid, QObject* parent) : QStyledItemDelegate(parent), grid_(grid) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const int row = Row(index);
    const int col = index.column();
    // Fixed cells and check boxes have no editor (a check box toggles in editorEvent).
    if (row < grid_->FixedRows() || col < grid_->FixedCols()) return nullptr;
    if (index.data(Qt::CheckStateRole).isValid()) return nullptr;
    bool cancel = false;
    grid_->comboList_.clear();
    grid_->OnBeforeEdit(row, col, &cancel);
    if (cancel) return nullptr;
    grid_->OnStartEdit(row, col, &cancel);
    if (cancel) return nullptr;
    const QString list = grid_->comboList_;
    if (list == kCellButton) {
      auto* button = new QToolButton(parent);
      button->setText(kCellButton);
      CGridControl* grid = grid_;
      QObject::connect(button, &QToolButton::clicked, button, [grid, row, col] { grid->OnCellButtonClick(row, col); });
      return button;
    }
    if (!list.isEmpty()) {
      auto* combo = new QComboBox(parent);
      grid_->comboData_.clear();
      grid_->comboIndex_ = -1;
      for (const GridChoice& c : GridParseChoices(list)) {
        combo->addItem(c.text);
        grid_->comboData_.push_back(c.valid ? QString::number(c.value) : QString());
      }
      CGridControl* grid = grid_;
      QObject::connect(combo, &QComboBox::activated, combo, [grid, combo](int i) {
        combo->setProperty(kPickedProperty, true);
        grid->comboIndex_ = i;
        grid->OnComboChanged();
      });
      return combo;
    }
    return QStyledItemDelegate::createEditor(parent, option, index);
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    if (qobject_cast<QToolButton*>(editor)) return;
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      const QSignalBlocker block(combo);
      combo->setCurrentIndex(combo->findText(index.data(Qt::DisplayRole).toString()));
      return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
  }

  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    if (qobject_cast<QToolButton*>(editor)) return;
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      // Only a choice the user picked is shown; opening and closing the list changes nothing.
      if (combo->property(kPickedProperty).toBool()) model->setData(index, combo->currentText(), Qt::EditRole);
      return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
  }

  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (qobject_cast<QToolButton*>(editor)) {
      // The cell button at the right end of the cell; the cell itself stays visible.
      const QRect r = option.rect;
      const int w = std::min(r.width(), r.height());
      editor->setGeometry(r.right() - w + 1, r.top(), w, r.height());
      return;
    }
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
  }

  void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
    QStyledItemDelegate::destroyEditor(editor, index);
    if (grid_->table_) grid_->OnAfterEdit(Row(index), index.column());
  }

  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
    const QVariant before = index.data(Qt::CheckStateRole);
    const bool handled = QStyledItemDelegate::editorEvent(event, model, option, index);
    const QVariant after = index.data(Qt::CheckStateRole);
    if (!before.isValid() || before == after) return handled;
    // A toggle of the user: the control's edit events, or undone when the edit is refused.
    const int row = Row(index);
    const int col = index.column();
    bool cancel = row < grid_->FixedRows() || col < grid_->FixedCols();
    if (!cancel) grid_->OnBeforeEdit(row, col, &cancel);
    if (!cancel) grid_->OnStartEdit(row, col, &cancel);
    if (cancel) {
      model->setData(index, before, Qt::CheckStateRole);
      return true;
    }
    grid_->OnAfterEdit(row, col);
    return handled;
  }

 private:
  int Row(const QModelIndex& index) const { return index.row() + grid_->HeaderRows(); }
  CGridControl* grid_;
};

// The control's key-down event.
class CGridKeyFilter : public QObject {
 public:
  CGridKeyFilter(CGridControl* grid, QObject* parent) : QObject(parent), grid_(grid) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const auto* e = static_cast<QKeyEvent*>(event);
      grid_->OnKeyDown(KeyCode(e->key()), ShiftState(e->modifiers()));
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  CGridControl* grid_;
};

CGridControl::CGridControl() = default;

CGridControl::~CGridControl() { Detach(); }

QTableWidget* CGridControl::NewControl(QWidget* parent, int id) {
  auto* table = new QTableWidget(parent);
  table->setProperty(kControlIdProperty, id);
  table->verticalHeader()->hide();
  table->horizontalHeader()->hide();
  // The current cell shows its focus frame; cells keep their own colours.
  table->setSelectionMode(QAbstractItemView::NoSelection);
  table->hide();
  return table;
}

int CGridControl::ControlId(const QWidget* control) {
  return control ? control->property(kControlIdProperty).toInt() : 0;
}

void CGridControl::Create(QWidget* parent, int id) {
  Detach();
  Bind(NewControl(parent, id), true);
}

bool CGridControl::SubclassDlgItem(int id, QWidget* parent) {
  Detach();
  if (!parent) return false;
  for (QTableWidget* t : parent->findChildren<QTableWidget*>()) {
    if (ControlId(t) == id) {
      Bind(t, false);
      return true;
    }
  }
  return false;
}

void CGridControl::Bind(QTableWidget* table, bool owned) {
  table_ = table;
  owned_ = owned;
  oldDelegate_ = table->itemDelegate();
  delegate_ = new CGridDelegate(this, table);
  table->setItemDelegate(delegate_);
  keyFilter_ = new CGridKeyFilter(this, table);
  table->installEventFilter(keyFilter_);
  table->verticalHeader()->hide();
  fixedRows_ = 0;
  fixedCols_ = 0;
  table->horizontalHeader()->setVisible(false);
  twips_.assign(static_cast<size_t>(table->columnCount()), 0);
}

void CGridControl::Detach() {
  if (table_) {
    table_->removeEventFilter(keyFilter_);
    delete keyFilter_;
    table_->setItemDelegate(oldDelegate_);
    delete delegate_;
    if (owned_) delete table_.data();
  }
  keyFilter_ = nullptr;
  delegate_ = nullptr;
  oldDelegate_ = nullptr;
  table_ = nullptr;
  owned_ = false;
}

QTableWidget* CGridControl::table() const { return table_; }

QTableWidget* CGridControl::T() const {
  if (!table_) throw CGridError(KURVAN_E_POINTER);
  return table_;
}

int CGridControl::Rows() const { return T()->rowCount() + HeaderRows(); }

void CGridControl::SetRows(int n) {
  QTableWidget* t = T();
  if (n < 0) n = 0;
  if (n < fixedRows_) SetFixedRows(n);
  t->setRowCount(n - HeaderRows());
}

int CGridControl::Cols() const { return T()->columnCount(); }

void CGridControl::SetCols(int n) {
  QTableWidget* t = T();
  if (n < 0) n = 0;
  const int old = t->columnCount();
  t->setColumnCount(n);
  twips_.resize(static_cast<size_t>(n), 0);
  if (fixedCols_ > n) fixedCols_ = n;
  // New columns of a heading row start with an empty heading, not the table's number.
  for (int c = old; HeaderRows() && c < n; ++c) t->setHorizontalHeaderItem(c, new QTableWidgetItem(QString()));
}

int CGridControl::FixedRows() const {
  T();
  return fixedRows_;
}

void CGridControl::SetFixedRows(int n) {
  QTableWidget* t = T();
  if (n < 0) n = 0;
  if (n > Rows()) n = Rows();
  const bool header = n > 0;
  if (header && !HeaderRows()) {
    // The table's first row becomes the heading.
    for (int c = 0; c < t->columnCount(); ++c) {
      QTableWidgetItem* item = t->takeItem(0, c);
      t->setHorizontalHeaderItem(c, item ? item : new QTableWidgetItem(QString()));
    }
    t->removeRow(0);
  } else if (!header && HeaderRows()) {
    t->insertRow(0);
    for (int c = 0; c < t->columnCount(); ++c) t->setItem(0, c, t->takeHorizontalHeaderItem(c));
  }
  fixedRows_ = n;
  t->horizontalHeader()->setVisible(header);
}

int CGridControl::FixedCols() const {
  T();
  return fixedCols_;
}

void CGridControl::SetFixedCols(int n) {
  const int cols = Cols();
  fixedCols_ = n < 0 ? 0 : (n > cols ? cols : n);
}

bool CGridControl::InCounts(int row, int col) const { return row >= 0 && col >= 0 && row < Rows() && col < Cols(); }

QTableWidgetItem* CGridControl::TableItem(int row, int col, bool create) const {
  if (!InCounts(row, col)) return nullptr;
  QTableWidget* t = T();
  if (row < HeaderRows()) {
    QTableWidgetItem* item = t->horizontalHeaderItem(col);
    if (!item && create) {
      item = new QTableWidgetItem(QString());
      t->setHorizontalHeaderItem(col, item);
    }
    return item;
  }
  const int r = row - HeaderRows();
  QTableWidgetItem* item = t->item(r, col);
  if (!item && create) {
    item = new QTableWidgetItem();
    item->setFlags(kCellFlags);
    t->setItem(r, col, item);
  }
  return item;
}

QString CGridControl::TextMatrix(int row, int col) const {
  const QTableWidgetItem* item = TableItem(row, col, false);
  return item ? item->text() : QString();
}

void CGridControl::SetTextMatrix(int row, int col, const QString& text) {
  if (QTableWidgetItem* item = TableItem(row, col, true)) item->setText(text);
}

uint32_t CGridControl::CellBackColor(int row, int col) const {
  const QTableWidgetItem* item = TableItem(row, col, false);
  const QVariant v = item ? item->data(Qt::BackgroundRole) : QVariant();
  return v.isValid() ? KurvanColorRef(v.value<QBrush>().color()) : 0;
}

void CGridControl::SetCellBackColor(int row, int col, uint32_t colour) {
  if (QTableWidgetItem* item = TableItem(row, col, true)) item->setBackground(KurvanQColor(colour));
}

uint32_t CGridControl::CellForeColor(int row, int col) const {
  const QTableWidgetItem* item = TableItem(row, col, false);
  const QVariant v = item ? item->data(Qt::ForegroundRole) : QVariant();
  return v.isValid() ? KurvanColorRef(v.value<QBrush>().color()) : 0;
}

void CGridControl::SetCellForeColor(int row, int col, uint32_t colour) {
  if (QTableWidgetItem* item = TableItem(row, col, true)) item->setForeground(KurvanQColor(colour));
}

int CGridControl::CellChecked(int row, int col) const {
  const QTableWidgetItem* item = TableItem(row, col, false);
  const QVariant v = item ? item->data(Qt::CheckStateRole) : QVariant();
  if (!v.isValid()) return GRID_CHECK_NONE;
  return v.toInt() == Qt::Checked ? GRID_CHECK_CHECKED : GRID_CHECK_UNCHECKED;
}

void CGridControl::SetCellChecked(int row, int col, int check) {
  if (row < HeaderRows()) return;  // the heading shows no check boxes
  QTableWidgetItem* item = TableItem(row, col, check != GRID_CHECK_NONE);
  if (!item) return;
  if (check == GRID_CHECK_NONE) {
    item->setData(Qt::CheckStateRole, QVariant());
    item->setFlags(kCellFlags);
  } else {
    item->setFlags(kCellFlags | Qt::ItemIsUserCheckable);
    item->setCheckState(check == GRID_CHECK_CHECKED ? Qt::Checked : Qt::Unchecked);
  }
}

QVariant CGridControl::CellData(int row, int col) const {
  const QTableWidgetItem* item = TableItem(row, col, false);
  return item ? item->data(Qt::UserRole) : QVariant();
}

void CGridControl::SetCellData(int row, int col, const QVariant& data) {
  if (QTableWidgetItem* item = TableItem(row, col, true)) item->setData(Qt::UserRole, data);
}

int CGridControl::Row() const {
  const int r = T()->currentRow();
  return r < 0 ? -1 : r + HeaderRows();
}

int CGridControl::Col() const { return T()->currentColumn(); }

QString CGridControl::ComboData(int index) const {
  return index >= 0 && static_cast<size_t>(index) < comboData_.size() ? comboData_[static_cast<size_t>(index)]
                                                                      : QString();
}

int CGridControl::ColWidth(int col) const {
  QTableWidget* t = T();
  if (col < 0 || col >= t->columnCount()) return 0;
  if (twips_[static_cast<size_t>(col)] > 0) return twips_[static_cast<size_t>(col)];
  return static_cast<int>(std::lround(t->columnWidth(col) * 1440.0 / t->logicalDpiX()));
}

void CGridControl::SetColWidth(int col, int twips) {
  QTableWidget* t = T();
  if (col < 0 || col >= t->columnCount() || twips <= 0) return;
  twips_[static_cast<size_t>(col)] = twips;
  PlaceColumn(col);
}

void CGridControl::PlaceColumn(int col) {
  QTableWidget* t = T();
  const int px = static_cast<int>(std::lround(twips_[static_cast<size_t>(col)] * t->logicalDpiX() / 1440.0));
  t->setColumnWidth(col, std::max(px, 1));
}

void CGridControl::SetEditMode(int mode) {
  QTableWidget* t = T();
  if (mode == 2)
    t->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
                       QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                       QAbstractItemView::AnyKeyPressed);
  else
    t->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
}

void CGridControl::SetRedraw(bool on) {
  T()->setUpdatesEnabled(on);
  settings_[GRID_DISP_REDRAW] = on ? 1 : 0;
}

void CGridControl::SetSetting(int dispid, int value) {
  if (dispid == GRID_DISP_REDRAW) {
    SetRedraw(value != 0);
    return;
  }
  T();
  settings_[dispid] = value;
}

int CGridControl::Setting(int dispid) const {
  T();
  const auto it = settings_.find(dispid);
  return it == settings_.end() ? 0 : it->second;
}

void CGridControl::SetColumnSetting(int col, int value) {
  T();
  columnSettings_[col] = value;
}

int CGridControl::ColumnSetting(int col) const {
  T();
  const auto it = columnSettings_.find(col);
  return it == columnSettings_.end() ? 0 : it->second;
}

void CGridControl::SetSettingPair(int dispid, int a, int b) {
  T();
  pairs_[dispid] = {a, b};
}

std::pair<int, int> CGridControl::SettingPair(int dispid) const {
  T();
  const auto it = pairs_.find(dispid);
  return it == pairs_.end() ? std::pair<int, int>{0, 0} : it->second;
}
