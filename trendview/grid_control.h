// The grid control of the trend viewer's tables, over a QTableWidget.
//
// CGridControl gives each property of the control that the viewer uses one small accessor:
// row and column counts, fixed rows and columns, cell texts, per-cell colours, check states
// and data values, the choice list of the cell being edited, column widths in twips. Row
// numbers count the control's way: the first fixed row is the table's horizontal header,
// the table's rows follow it. The settings that the viewer passes only as numbers (by their
// dispatch ids) are kept and, except drawing off and on (31), have no effect on the table.
//
// The control's edit events reach the virtual handlers below, in the order the control sends
// them: before edit (21), start edit (22), after edit (24), choice changed (28), cell button
// clicked (34) and key down. CCellGrid (cell_grid.h) builds on them.
#pragma once

#include <QPointer>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <utility>
#include <vector>

class QAbstractItemDelegate;
class QTableWidget;
class QTableWidgetItem;
class QWidget;

// Result codes of the control's interface that the wrappers raise.
constexpr uint32_t KURVAN_E_NOINTERFACE = 0x80004002u;
constexpr uint32_t KURVAN_E_POINTER = 0x80004003u;
// The control's dual interface, named in the errors it raises.
constexpr const char KURVAN_GRID_IID[] = "{C0A63B83-4B21-11D3-BD95-D426EF2C7949}";

// A call through the control's interface that failed, with its result code.
class CGridError : public std::runtime_error {
 public:
  explicit CGridError(uint32_t code);
  uint32_t code() const { return code_; }

 private:
  uint32_t code_;
};

// Check-box property of a cell (cell property 5).
enum GridCheck : int { GRID_CHECK_NONE = 0, GRID_CHECK_CHECKED = 1, GRID_CHECK_UNCHECKED = 2 };

// Settings of the control that the tables give only as numbers, by dispatch id.
enum GridDispatchId : int {
  GRID_DISP_REDRAW = 31,        // 0 before, 1 after a bulk change: drawing off and on
  GRID_DISP_ROW_SETTING = 134,  // (row, value) for every new property-list row
};

// One choice of a choice list "#value;text|#value;text...": `valid` when the value parsed as
// a 32-bit unsigned decimal number.
struct GridChoice {
  bool valid = false;
  uint32_t value = 0;
  QString text;
};
// Splits a choice list at each "|"; a field without "#value;" gives a choice without value.
std::vector<GridChoice> GridParseChoices(const QString& list);

class CGridDelegate;
class CGridKeyFilter;

class CGridControl {
 public:
  static constexpr int kHiddenControlId = 0xE900;

  CGridControl();
  virtual ~CGridControl();
  CGridControl(const CGridControl&) = delete;
  CGridControl& operator=(const CGridControl&) = delete;

  // A new control: a table under `parent` (none: a top-level window of its own, owned by
  // this object) with the control id, hidden.
  static QTableWidget* NewControl(QWidget* parent, int id);
  // The control id of a control window (0 for none).
  static int ControlId(const QWidget* control);
  // Makes a new control under `parent` and binds it.
  void Create(QWidget* parent, int id);
  // Binds the table of that control id among the children of `parent`; false (and nothing
  // bound) when there is none.
  bool SubclassDlgItem(int id, QWidget* parent);
  // Undoes the binding (the table stays as it was; one this object made is deleted).
  void Detach();
  QTableWidget* table() const;

  // The counts. Setting the rows keeps the fixed rows at most the row count.
  int Rows() const;
  void SetRows(int n);
  int Cols() const;
  void SetCols(int n);
  int FixedRows() const;
  void SetFixedRows(int n);
  int FixedCols() const;
  void SetFixedCols(int n);

  // Cell properties; a cell outside the counts reads as empty (0) and takes nothing.
  QString TextMatrix(int row, int col) const;  // 130: the shown text
  void SetTextMatrix(int row, int col, const QString& text);
  uint32_t CellBackColor(int row, int col) const;  // 6: colours 0x00BBGGRR
  void SetCellBackColor(int row, int col, uint32_t colour);
  uint32_t CellForeColor(int row, int col) const;  // 7
  void SetCellForeColor(int row, int col, uint32_t colour);
  int CellChecked(int row, int col) const;  // 5: GridCheck
  void SetCellChecked(int row, int col, int check);
  QVariant CellData(int row, int col) const;  // 20
  void SetCellData(int row, int col, const QVariant& data);

  // The current cell.
  int Row() const;
  int Col() const;

  // The choice list of the cell about to be edited: "" a text editor, "..." a cell button,
  // else the choices ("#value;text|..."; a field without "#value;" is a plain text).
  QString ComboList() const { return comboList_; }
  void SetComboList(const QString& list) { comboList_ = list; }
  // The choice picked in the open choice list, and the data (the value text) of a choice.
  int ComboIndex() const { return comboIndex_; }
  QString ComboData(int index) const;

  // Column width in twips (1/1440 inch), shown at the table's logical resolution.
  int ColWidth(int col) const;
  void SetColWidth(int col, int twips);

  // The editing mode of the interface: 2 edits on a click, a key or F2.
  void SetEditMode(int mode);
  // Drawing off (0) and on (1): GRID_DISP_REDRAW.
  void SetRedraw(bool on);
  // The settings given by number: kept, and read back as they were put (0 when never put).
  void SetSetting(int dispid, int value);
  int Setting(int dispid) const;
  void SetColumnSetting(int col, int value);  // 119
  int ColumnSetting(int col) const;
  void SetSettingPair(int dispid, int a, int b);  // 134, 172
  std::pair<int, int> SettingPair(int dispid) const;

 protected:
  // The control's events; `cancel` stops the edit. Nothing arrives while no table is bound.
  virtual void OnBeforeEdit(int /*row*/, int /*col*/, bool* /*cancel*/) {}  // 21
  virtual void OnStartEdit(int /*row*/, int /*col*/, bool* /*cancel*/) {}   // 22
  virtual void OnAfterEdit(int /*row*/, int /*col*/) {}                     // 24
  virtual void OnComboChanged() {}                                          // 28
  virtual void OnCellButtonClick(int /*row*/, int /*col*/) {}               // 34
  virtual void OnKeyDown(int /*key*/, int /*shift*/) {}                     // key code 112 = F1

  // The bound table; raises E_POINTER when there is none.
  QTableWidget* T() const;
  bool InCounts(int row, int col) const;

 private:
  friend class CGridDelegate;
  friend class CGridKeyFilter;

  void Bind(QTableWidget* table, bool owned);
  // The item of a cell (the header's for the first fixed row); null outside the counts, and
  // with `create` unset when the cell has none yet.
  QTableWidgetItem* TableItem(int row, int col, bool create) const;
  int HeaderRows() const { return fixedRows_ > 0 ? 1 : 0; }
  void PlaceColumn(int col);

  QPointer<QTableWidget> table_;
  bool owned_ = false;
  CGridDelegate* delegate_ = nullptr;
  QPointer<QAbstractItemDelegate> oldDelegate_;  // the table's own, put back at detach
  CGridKeyFilter* keyFilter_ = nullptr;
  int fixedRows_ = 0;
  int fixedCols_ = 0;
  std::vector<int> twips_;  // per column, 0 = never set
  QString comboList_;
  int comboIndex_ = -1;
  std::vector<QString> comboData_;
  std::map<int, int> settings_;
  std::map<int, int> columnSettings_;
  std::map<int, std::pair<int, int>> pairs_;
};
