#include "trendview/channel_dialog.h"

#include <QApplication>
#include <QColor>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "trendview/kurvan_ids.h"
#include "trendview/kurvan_ui.h"
#include "trendview/language.h"
#include "trendview/trend_text.h"

namespace {

constexpr int kAnalogMax = 8;
constexpr int kDigitalMax = 16;
constexpr int kHelpCommand = 9;
constexpr char kColumnWidths[] = "1800,700,1800,600,800,800";
constexpr int kPropertyLabelTwips = 2500;
constexpr int kVisibleChannelRows = 10;
constexpr int kColumnHeadings[CChannelDialog::COL_COUNT] = {
    KURVAN_STR_COL_CHANNEL, KURVAN_STR_COL_SHOW,    KURVAN_STR_COL_NAME,
    KURVAN_STR_COL_COLOUR,  KURVAN_STR_COL_MINIMUM, KURVAN_STR_COL_MAXIMUM};
// The control's per-column setting for the six columns.
constexpr int kColumnSettings[CChannelDialog::COL_COUNT] = {1, 4, 1, 1, 7, 7};

QString ScaleText(float value) { return QString::fromLatin1(KurvanNumberText(value, 3)); }

// A scale limit typed in a cell, within the range of a float.
float ScaleValue(const QString& text) {
  const double v = KurvanNumberValue(text.toLatin1().toStdString());
  return static_cast<float>(std::clamp(v, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
}

// The maximum at least minimum + 0.01, and always above the minimum (where 0.01 is lost in the
// float's precision, the next float up).
void KeepScaleOpen(float* lo, float* hi) {
  float bound = static_cast<float>(static_cast<double>(*lo) + 0.01);
  if (!(bound > *lo)) bound = std::nextafter(*lo, FLT_MAX);
  if (*lo == FLT_MAX) {
    *lo = std::nextafter(FLT_MAX, 0.0f);
    bound = FLT_MAX;
  }
  if (*hi < bound) *hi = bound;
}

// Fits a table's size to its columns and to `rows` rows below its heading.
void FitTable(QTableWidget* t, int rows) {
  const int frame = 2 * t->frameWidth();
  int width = frame + t->verticalScrollBar()->sizeHint().width();
  for (int c = 0; c < t->columnCount(); ++c) width += t->columnWidth(c);
  const int header = !t->horizontalHeader()->isHidden() ? t->horizontalHeader()->sizeHint().height() : 0;
  t->setMinimumSize(width, frame + header + rows * t->verticalHeader()->defaultSectionSize());
}

}  // namespace

CChannelDialog::CChannelDialog(KurvanChannelData* data, QWidget* parent)
    : QDialog(parent),
      data_(data),
      analog_(std::min<int>(data->analogCount, kAnalogMax)),
      digital_(std::min<int>(data->digitalCount, kDigitalMax)) {
  const CLanguageManager& lang = KurvanLanguages();
  if (const KurvanDialog* d = lang.dialog(KURVAN_DLG_CHANNELS)) setWindowTitle(QString::fromLatin1(d->title));
  QTableWidget* gridTable = CGridControl::NewControl(this, KURVAN_IDC_CHANNEL_GRID);
  QTableWidget* listTable = CGridControl::NewControl(this, KURVAN_IDC_CHANNEL_PROPERTIES);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(lang.dialogText(KURVAN_DLG_CHANNELS, KURVAN_ID_OK), QDialogButtonBox::AcceptRole);
  buttons->addButton(lang.dialogText(KURVAN_DLG_CHANNELS, KURVAN_ID_CANCEL), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(gridTable, 1);
  layout->addWidget(listTable);
  layout->addWidget(buttons);

  FillGrid();
  FillProperties();
  gridTable->show();
  listTable->show();
  FitTable(gridTable, std::min(analog_ + digital_, kVisibleChannelRows));
  // The property list shows all its rows, its value column takes the width left.
  FitTable(listTable, list_.Rows() - 1);
  listTable->setFixedHeight(listTable->minimumHeight());
  listTable->setMinimumWidth(0);
  listTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  listTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  listTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  listTable->setColumnHidden(2, true);  // the list's spare column holds nothing here

  // Centred on the desktop.
  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

CChannelDialog::~CChannelDialog() = default;

uint32_t CChannelDialog::ChannelAt(int row) const {
  return IsAnalogRow(row) ? KURVAN_CFG_ANALOG + TREND_ANALOG_BYTES * (row - 1)
                          : KURVAN_CFG_DIGITAL + TREND_DIGITAL_BYTES * (row - 1 - analog_);
}

void CChannelDialog::FillGrid() {
  grid_.Attach(KURVAN_IDC_CHANNEL_GRID, this);
  grid_.SetSetting(30, 0);
  grid_.SetSetting(65, 0);
  grid_.SetSetting(66, 1);
  grid_.SetSetting(103, 0);
  grid_.SetCols(COL_COUNT);
  grid_.SetRows(1 + analog_ + digital_);
  grid_.SetFixedRows(1);
  const CLanguageManager& lang = KurvanLanguages();
  for (int c = 0; c < COL_COUNT; ++c) {
    grid_.SetColumnSetting(c, kColumnSettings[c]);
    grid_.SetText(0, c, lang.string(kColumnHeadings[c]));
  }
  grid_.SetColumnWidths(kColumnWidths);
  // Every heading whole at the table's font: a column narrower than its heading grows.
  if (const QTableWidget* t = grid_.table()) {
    const QFontMetrics fm(t->font());
    for (int c = 0; c < COL_COUNT; ++c) {
      const int px = fm.horizontalAdvance(grid_.TextMatrix(0, c)) + 2 * fm.averageCharWidth();
      const int twips = static_cast<int>(std::lround(px * 1440.0 / t->logicalDpiX()));
      if (grid_.ColWidth(c) < twips) grid_.SetColWidth(c, twips);
    }
  }

  const uint8_t* cfg = data_->config;
  const uint32_t greyBack = KurvanColorRef(QApplication::palette().color(QPalette::Window));
  for (int row = 1; IsChannelRow(row); ++row) {
    const bool analog = IsAnalogRow(row);
    const uint32_t at = ChannelAt(row);
    const QString source = QString::fromLatin1(TrendGetText(cfg, at + TREND_CH_SOURCE, TREND_CH_SOURCE_BYTES));
    grid_.SetText(row, COL_SOURCE, QString::asprintf(analog ? "a%d: " : "d%d: ", analog ? row : row - analog_) + source);
    grid_.SetKind(row, COL_SHOWN, CELL_CHECK);
    grid_.SetEditable(row, COL_SHOWN, true);
    grid_.SetCheck(row, COL_SHOWN, TrendGetU16(cfg, at + TREND_CH_SHOWN) != 0);
    grid_.SetEditable(row, COL_NAME, true);
    grid_.SetText(row, COL_NAME, QString::fromLatin1(TrendGetText(cfg, at + TREND_CH_NAME, TREND_CH_NAME_BYTES)));
    grid_.SetKind(row, COL_COLOUR, CELL_BUTTON);
    grid_.SetEditable(row, COL_COLOUR, true);
    ShowColour(row, TrendGetU32(cfg, at + TREND_CH_COLOR));
    if (analog) {
      shownMin_[row - 1] = ScaleText(TrendGetF32(cfg, at + TREND_CH_MIN));
      shownMax_[row - 1] = ScaleText(TrendGetF32(cfg, at + TREND_CH_MAX));
      grid_.SetEditable(row, COL_MINIMUM, true);
      grid_.SetEditable(row, COL_MAXIMUM, true);
      grid_.SetText(row, COL_MINIMUM, shownMin_[row - 1]);
      grid_.SetText(row, COL_MAXIMUM, shownMax_[row - 1]);
    } else {
      for (int c : {COL_MINIMUM, COL_MAXIMUM}) {
        grid_.SetEditable(row, c, false);
        grid_.SetBackColor(row, c, greyBack);
      }
    }
  }
  grid_.SetChangeCallback([this](int row, int col, int kind, intptr_t) { OnGridChange(row, col, kind); }, 0);
  grid_.SetCommandHandler([this](int id) { onCommand(id); });
}

void CChannelDialog::FillProperties() {
  list_.Attach(KURVAN_IDC_CHANNEL_PROPERTIES, this, true);
  list_.SetTextsId(0, 0, KURVAN_STR_PROPERTY_HEADING);
  list_.SetColWidth(0, kPropertyLabelTwips);
  const uint8_t* cfg = data_->config;
  leftChoice_ = TrendGetI16(cfg, KURVAN_CFG_LEFT_SCALE) + 1;
  rightChoice_ = TrendGetI16(cfg, KURVAN_CFG_RIGHT_SCALE) + 1;
  timeChoice_ = TrendGetI16(cfg, KURVAN_CFG_ABS_TIME);
  for (auto [label, bound] : {std::pair{KURVAN_STR_LEFT_SCALE, &leftChoice_}, {KURVAN_STR_RIGHT_SCALE, &rightChoice_}}) {
    list_.AddChoiceRowId(label, bound, true);
    list_.AddChoiceToLastRow(0, "---");
    for (int i = 0; i < analog_; ++i) list_.AddChoiceToLastRow(i + 1, grid_.TextMatrix(1 + i, COL_NAME));
  }
  list_.AddChoiceRowId(KURVAN_STR_TIME_DISPLAY, &timeChoice_, true);
  list_.AddChoiceToLastRowId(1, KURVAN_STR_ABSOLUTE_TIME);
  list_.AddChoiceToLastRowId(0, KURVAN_STR_ELAPSED_TIME);
  list_.Exchange(false);
  list_.SetCommandHandler([this](int id) { onCommand(id); });
}

void CChannelDialog::ShowColour(int row, uint32_t colour) {
  grid_.SetBackColor(row, COL_COLOUR, colour | 1);
  grid_.SetForeColor(row, COL_COLOUR, colour | 1);
}

void CChannelDialog::OnGridChange(int row, int col, int kind) {
  if (col == COL_COLOUR && kind == CELL_BUTTON && IsChannelRow(row)) ChooseColour(row);
}

void CChannelDialog::ChooseColour(int row) {
  const uint32_t at = ChannelAt(row) + TREND_CH_COLOR;
  uint32_t colour = TrendGetU32(data_->config, at);
  if (!KurvanColorDialog(this, &colour)) return;
  TrendPutU32(data_->config, at, colour);
  ShowColour(row, colour);
}

void CChannelDialog::onCommand(int /*id*/) {}

void CChannelDialog::accept() {
  uint8_t* cfg = data_->config;
  for (int row = 1; IsChannelRow(row); ++row) {
    const uint32_t at = ChannelAt(row);
    TrendPutU16(cfg, at + TREND_CH_SHOWN, static_cast<uint16_t>(grid_.GetCheck(row, COL_SHOWN)));
    TrendPutText(cfg, at + TREND_CH_NAME, TREND_CH_NAME_BYTES, grid_.TextMatrix(row, COL_NAME).toLatin1().constData());
    if (!IsAnalogRow(row)) continue;
    // A limit is taken from its cell only when its text was changed; an untouched scale
    // stays exactly as it was.
    const QString minText = grid_.TextMatrix(row, COL_MINIMUM);
    const QString maxText = grid_.TextMatrix(row, COL_MAXIMUM);
    const bool minEdited = minText != shownMin_[row - 1];
    const bool maxEdited = maxText != shownMax_[row - 1];
    if (!minEdited && !maxEdited) continue;
    float lo = minEdited ? ScaleValue(minText) : TrendGetF32(cfg, at + TREND_CH_MIN);
    float hi = maxEdited ? ScaleValue(maxText) : TrendGetF32(cfg, at + TREND_CH_MAX);
    KeepScaleOpen(&lo, &hi);
    TrendPutF32(cfg, at + TREND_CH_MIN, lo);
    TrendPutF32(cfg, at + TREND_CH_MAX, hi);
  }
  list_.Exchange(true);
  TrendPutI16(cfg, KURVAN_CFG_LEFT_SCALE, static_cast<int16_t>(leftChoice_ - 1));
  TrendPutI16(cfg, KURVAN_CFG_RIGHT_SCALE, static_cast<int16_t>(rightChoice_ - 1));
  TrendPutI16(cfg, KURVAN_CFG_ABS_TIME, static_cast<int16_t>(timeChoice_));
  QDialog::accept();
}

int KurvanChannelDialog(QWidget* parent, KurvanChannelData* data) {
  CChannelDialog dialog(data, parent);
  return KurvanRunDialog(&dialog);
}

int KurvanConfigureChannels(KurvanHandle h, QWidget* parent, const std::function<void(int language)>& beforeDialog) {
  KurvanChannelData data;
  int language;
  {
    uint8_t* rec = KurvanLock(h);
    if (!rec) return 0;
    TrendConfigFromRecord(rec, data.config, nullptr);
    data.analogCount = TrendGetU16(rec, TREND_REC_ANALOG_COUNT);
    data.digitalCount = TrendGetU16(rec, TREND_REC_DIGITAL_COUNT);
    language = TrendGetU16(rec, TREND_REC_LANGUAGE);
    KurvanUnlock(h);
  }
  if (beforeDialog) beforeDialog(language);
  if (KurvanChannelDialog(parent, &data) != KURVAN_ID_OK) return 0;
  uint8_t* rec = KurvanLock(h);
  if (!rec) return 0;
  TrendConfigToRecord(rec, data.config, nullptr);
  TrendPutU16(rec, TREND_REC_CONFIG_CHANGED, 1);
  KurvanUnlock(h);
  return 1;
}
