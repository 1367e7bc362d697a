#include "modpanel/module_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <iterator>

#include "modpanel/number_text.h"
#include "modpanel/value_edit.h"

namespace {

// The type codes and what they build.
constexpr TQ500ModuleRow kModules[] = {
    {1, "TQ 561", TQ500Dialog::DigitalOut, 8},
    {7, "TQ 562", TQ500Dialog::DigitalOut, 4},
    {2, "TQ 551", TQ500Dialog::DigitalIn, 4},
    {9, "TQ 553", TQ500Dialog::DigitalIn, 4},
    {6, "TQ 552", TQ500Dialog::DigitalIn, 8},
    {4, "TQ 531-0", TQ500Dialog::AnalogIn, 4},
    {68, "TQ 531-1", TQ500Dialog::AnalogIn, 4},
    {132, "TQ 531-2", TQ500Dialog::AnalogIn, 4},
    {11, "TQ 532-0", TQ500Dialog::AnalogIn, 4},
    {75, "TQ 532-1", TQ500Dialog::AnalogIn, 4},
    {139, "TQ 532-2", TQ500Dialog::AnalogIn, 4},
    {8, "TQ 534_1", TQ500Dialog::AnalogIn, 4},
    {10, "TQ 535", TQ500Dialog::AnalogIn, 4},
    {14, "TQ 534-0", TQ500Dialog::AnalogIn, 2},
    {15, "TQ 534_2", TQ500Dialog::AnalogIn, 2},
    {5, "TQ 541-0", TQ500Dialog::AnalogOut, 4},
    {133, "TQ 541-1", TQ500Dialog::AnalogOut, 4},
    {69, "TQ 541-2", TQ500Dialog::AnalogOut, 4},
    {64, "TQ 510", TQ500Dialog::Coupler, 0},
    {65, "", TQ500Dialog::EmptySlot, 0},
    {1046, "TC_INP", TQ500Dialog::AnalogIn, 2},
    {1076, "F_INP", TQ500Dialog::AnalogIn, 2},
    {1077, "R_INP", TQ500Dialog::AnalogIn, 2},
    {1078, "U_INP", TQ500Dialog::AnalogIn, 2},
    {1047, "I_OUT", TQ500Dialog::AnalogOut, 2},
    {1048, "U_OUT", TQ500Dialog::AnalogOut, 2},
    {1049, "DIDO", TQ500Dialog::DigitalInOut, 2},
};

using Item = TQ500DlgItem;

// Item tables (dialog units); every dialog begins with the name and the setting number.
#define TQ500_HEADER(name) {Item::Static, TQ500_ID_NAME, name, 0, 2, 39, 8}, \
                           {Item::Static, TQ500_ID_SETTING, "Block xxx", 0, 11, 39, 8}
#define TQ500_ROW(kind, id, text, row) {Item::kind, id, text, 9, static_cast<int16_t>(23 + 11 * (row)), 26, 10}
#define TQ500_FIELD(kind, id, row) {Item::kind, id, "", 3, static_cast<int16_t>(24 + 16 * (row)), 33, 12}

constexpr Item kDigitalIn[] = {
    TQ500_HEADER("TQ 5xx"),
    TQ500_ROW(Check, 1009, "1", 0), TQ500_ROW(Check, 1010, "2", 1), TQ500_ROW(Check, 1011, "3", 2),
    TQ500_ROW(Check, 1012, "4", 3), TQ500_ROW(Check, 1013, "5", 4), TQ500_ROW(Check, 1014, "6", 5),
    TQ500_ROW(Check, 1015, "7", 6), TQ500_ROW(Check, 1016, "8", 7),
};
constexpr Item kDigitalOut[] = {
    TQ500_HEADER("TQ 5xx"),
    TQ500_ROW(Indicator, 1017, "1", 0), TQ500_ROW(Indicator, 1018, "2", 1), TQ500_ROW(Indicator, 1019, "3", 2),
    TQ500_ROW(Indicator, 1020, "4", 3), TQ500_ROW(Indicator, 1021, "5", 4), TQ500_ROW(Indicator, 1022, "6", 5),
    TQ500_ROW(Indicator, 1023, "7", 6), TQ500_ROW(Indicator, 1024, "8", 7),
};
constexpr Item kAnalogIn[] = {
    TQ500_HEADER("TQ 5xx"),
    TQ500_FIELD(Field, 1000, 0), TQ500_FIELD(Field, 1001, 1), TQ500_FIELD(Field, 1002, 2), TQ500_FIELD(Field, 1003, 3),
};
constexpr Item kAnalogOut[] = {
    TQ500_HEADER("TQ 5xx"),
    TQ500_FIELD(Output, 1004, 0), TQ500_FIELD(Output, 1005, 1), TQ500_FIELD(Output, 1006, 2),
    TQ500_FIELD(Output, 1007, 3),
};
constexpr Item kCoupler[] = {TQ500_HEADER("TQ 510")};
constexpr Item kEmptySlot[] = {
    {Item::Static, TQ500_ID_NAME, "", 0, 2, 39, 8},
    {Item::Static, TQ500_ID_SETTING, "", 0, 11, 39, 8},
};
constexpr Item kDigitalInOut[] = {
    TQ500_HEADER("TQ 5xx"),
    TQ500_ROW(Check, 1009, "di1", 0), TQ500_ROW(Check, 1010, "di2", 1),
    TQ500_ROW(Indicator, 1017, "do1", 3), TQ500_ROW(Indicator, 1018, "do2", 4),
};

#undef TQ500_HEADER
#undef TQ500_ROW
#undef TQ500_FIELD

// A radio button that shows a state: clicks and keys do not change it.
class Indicator : public QRadioButton {
 public:
  Indicator(const QString& text, QWidget* parent) : QRadioButton(text, parent) {
    setAutoExclusive(false);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void nextCheckState() override {}
};

// The dialogs' font, and pixels from dialog units by its average character width and height.
QFont DialogFont() {
  QFont f = QApplication::font();
  f.setPointSize(8);
  return f;
}

struct DialogUnits {
  int x, y;  // base units in pixels
  explicit DialogUnits(const QFont& font) {
    const QFontMetrics m(font);
    x = (m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
    y = m.height();
    if (x < 1) x = 1;
    if (y < 1) y = 1;
  }
  int px(int dluX) const { return (dluX * x + 2) / 4; }
  int py(int dluY) const { return (dluY * y + 4) / 8; }
};

}  // namespace

const TQ500ModuleRow* TQ500_ModuleRow(int32_t code) {
  for (const TQ500ModuleRow& r : kModules)
    if (r.code == code) return &r;
  return nullptr;
}

bool TQ500_IsInternalCode(int32_t code) { return (code >= 1046 && code <= 1049) || (code >= 1076 && code <= 1078); }

// --- CModuleDlg ----------------------------------------------------------------------------

CModuleDlg::CModuleDlg(QWidget* parent, TQ500Dialog id, const TQ500DlgItem* items, size_t count, int firstChannelId)
    : QFrame(parent), id_(id), firstChannelId_(firstChannelId) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  setFont(DialogFont());
  const DialogUnits du(font());
  setFixedSize(du.px(kWidthDlu), du.py(kHeightDlu));
  for (size_t i = 0; i < count; ++i) {
    const TQ500DlgItem& it = items[i];
    const QString text = QString::fromLatin1(it.text);
    QWidget* w = nullptr;
    switch (it.kind) {
      case TQ500DlgItem::Static: {
        auto* l = new QLabel(text, this);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        w = l;
        break;
      }
      case TQ500DlgItem::Check: w = new QCheckBox(text, this); break;
      case TQ500DlgItem::Indicator: w = new Indicator(text, this); break;
      case TQ500DlgItem::Field: w = new CValueEdit(this); break;
      case TQ500DlgItem::Output: w = new COutputEdit(this); break;
    }
    w->setGeometry(du.px(it.x), du.py(it.y), du.px(it.cx), du.py(it.cy));
    items_.emplace_back(it.id, w);
  }
}

QWidget* CModuleDlg::GetDlgItem(int id) const {
  for (const auto& [itemId, w] : items_)
    if (itemId == id) return w;
  return nullptr;
}

void CModuleDlg::SetDlgItemText(int id, const QString& text) {
  QWidget* w = GetDlgItem(id);
  if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
  else if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(text);
  else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
}

QString CModuleDlg::GetDlgItemText(int id) const {
  QWidget* w = GetDlgItem(id);
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  return {};
}

QAbstractButton* CModuleDlg::button(int id) const { return qobject_cast<QAbstractButton*>(GetDlgItem(id)); }

void CModuleDlg::ShowChannels(int shown) {
  if (firstChannelId_ == 0) return;
  for (int c = 0; c < 8; ++c)
    if (QWidget* w = GetDlgItem(firstChannelId_ + c)) w->setVisible(c < shown);
}

uint32_t CModuleDlg::GetInput(int) const { return 0; }
void CModuleDlg::SetOutput(int, int32_t) {}

void CModuleDlg::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    e->accept();
    return;
  }
  QFrame::keyPressEvent(e);
}

// --- The dialogs ---------------------------------------------------------------------------

CDigitalInDlg::CDigitalInDlg(QWidget* parent)
    : CModuleDlg(parent, TQ500Dialog::DigitalIn, kDigitalIn, std::size(kDigitalIn), TQ500_ID_CHECK) {}

uint32_t CDigitalInDlg::GetInput(int) const {
  uint32_t bits = 0;
  for (int i = 0; i < 8; ++i)
    if (button(TQ500_ID_CHECK + i)->isChecked()) bits |= 1u << i;
  return bits;
}

CDigitalOutDlg::CDigitalOutDlg(QWidget* parent)
    : CModuleDlg(parent, TQ500Dialog::DigitalOut, kDigitalOut, std::size(kDigitalOut), TQ500_ID_INDICATOR) {}

void CDigitalOutDlg::SetOutput(int, int32_t word) {
  for (int i = 0; i < 8; ++i) button(TQ500_ID_INDICATOR + i)->setChecked((word >> i) & 1);
}

CAnalogInDlg::CAnalogInDlg(QWidget* parent)
    : CModuleDlg(parent, TQ500Dialog::AnalogIn, kAnalogIn, std::size(kAnalogIn), TQ500_ID_FIELD) {}

CValueEdit* CAnalogInDlg::field(int channel) const {
  return channel >= 0 && channel < 4 ? static_cast<CValueEdit*>(GetDlgItem(TQ500_ID_FIELD + channel)) : nullptr;
}

uint32_t CAnalogInDlg::GetInput(int channel) const {
  const CValueEdit* f = field(channel);
  return f ? f->InputWord() : 0;
}

CAnalogOutDlg::CAnalogOutDlg(QWidget* parent)
    : CModuleDlg(parent, TQ500Dialog::AnalogOut, kAnalogOut, std::size(kAnalogOut), TQ500_ID_OUTPUT) {}

COutputEdit* CAnalogOutDlg::field(int channel) const {
  return channel >= 0 && channel < 4 ? static_cast<COutputEdit*>(GetDlgItem(TQ500_ID_OUTPUT + channel)) : nullptr;
}

void CAnalogOutDlg::SetOutput(int channel, int32_t word) {
  COutputEdit* f = field(channel);
  if (!f) return;
  CNumberText number;
  f->SetText(QString::fromLatin1(number.Format(static_cast<float>(word) * 0.001f, 4, 2).c_str()));
}

CCouplerDlg::CCouplerDlg(QWidget* parent)
    : CModuleDlg(parent, TQ500Dialog::Coupler, kCoupler, std::size(kCoupler), 0) {}

CEmptySlotDlg::CEmptySlotDlg(QWidget* parent)
    : CModuleDlg(parent, TQ500Dialog::EmptySlot, kEmptySlot, std::size(kEmptySlot), 0) {}

CDigitalInOutDlg::CDigitalInOutDlg(QWidget* parent)
    : CModuleDlg(parent, TQ500Dialog::DigitalInOut, kDigitalInOut, std::size(kDigitalInOut), 0) {}

uint32_t CDigitalInOutDlg::GetInput(int) const {
  return (button(TQ500_ID_CHECK)->isChecked() ? 1u : 0u) | (button(TQ500_ID_CHECK + 1)->isChecked() ? 2u : 0u);
}

// Bit 2 (bit 3) makes channel 1 (2) an output showing bit 0 (1); else it is an input.
void CDigitalInOutDlg::SetOutput(int, int32_t word) {
  for (int c = 0; c < 2; ++c) {
    const bool output = (word >> (2 + c)) & 1;
    QAbstractButton* in = button(TQ500_ID_CHECK + c);
    QAbstractButton* out = button(TQ500_ID_INDICATOR + c);
    in->setEnabled(!output);
    out->setEnabled(output);
    if (output) {
      in->setChecked(false);
      out->setChecked((word >> c) & 1);
    } else {
      out->setChecked(false);
    }
  }
}

CModuleDlg* TQ500_CreateModuleDlg(TQ500Dialog dialog, QWidget* parent) {
  switch (dialog) {
    case TQ500Dialog::DigitalIn: return new CDigitalInDlg(parent);
    case TQ500Dialog::DigitalOut: return new CDigitalOutDlg(parent);
    case TQ500Dialog::AnalogIn: return new CAnalogInDlg(parent);
    case TQ500Dialog::AnalogOut: return new CAnalogOutDlg(parent);
    case TQ500Dialog::Coupler: return new CCouplerDlg(parent);
    case TQ500Dialog::EmptySlot: return new CEmptySlotDlg(parent);
    case TQ500Dialog::DigitalInOut: return new CDigitalInOutDlg(parent);
  }
  return nullptr;
}
