#include "shell/device_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cstdio>

#include "blocks/io/io.h"
#include "firmware/fw_adapter.h"
#include "firmware/fw_main.h"
#include "runtime/fb_store.h"
#include "runtime/fw_io.h"
#include "shell/io_views.h"
#include "shell/main_window.h"
#include "shell/module_tables.h"
#include "shell/settings.h"
#include "shell/shell_dialogs.h"
#include "shell/shell_texts.h"

namespace {

// The device dialog's working copy lives for the program's run; Auto Config sets the flag,
// the next OK clears it and counts it as a change.
SimDeviceChoice g_choice;
bool g_autoConfigured = false;

int Language() { return SimState().language; }

// The new order-code digits into the engineering buffer, which the firmware's reload reads.
void WriteOrderDigits() {
  SimHostState& s = SimState();
  if (s.engineering) FW_DigitsFromConfig(s.device, s.engineering + FW_OFS_ORDER_CODE);
}

void FillCombo(QComboBox* combo, const char* const* texts, int count) {
  const QSignalBlocker block(combo);
  combo->clear();
  for (int i = 0; i < count; ++i) combo->addItem(Latin1(texts[i]));
}

// A combo's index, or the configuration's value while it has no selection.
int ChoiceOf(const QComboBox* combo, int fallback) { return combo->currentIndex() >= 0 ? combo->currentIndex() : fallback; }

QDialogButtonBox* OkCancel(QDialog* dialog, const char* cancelText) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  buttons->button(QDialogButtonBox::Cancel)->setText(Latin1(cancelText));
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

void RelayoutView(int slot) {
  if (SimIoView* v = SimIoViewOf(slot)) v->relayout();
}

bool IsAinp34(uint16_t type) { return type == BLK_TYPE_AINP3 || type == BLK_TYPE_AINP4; }

}  // namespace

// --- Device dialog -----------------------------------------------------------------------------

SimDeviceDialog::SimDeviceDialog(QWidget* owner) : QDialog(owner) {
  const SimDeviceTexts& t = SimDeviceTextsOf(Language());
  setWindowTitle(Latin1(SimTexts().deviceCaption));
  auto* form = new QFormLayout;
  for (QComboBox*& c : combos_) c = new QComboBox(this);
  version_ = new QComboBox(this);
  FillCombo(combos_[0], t.variants, 2);
  FillCombo(combos_[1], t.relays, 2);
  FillCombo(combos_[2], t.power, 2);
  FillCombo(combos_[3], t.commOptions, SIM_INTERFACE_CHOICES);
  FillCombo(combos_[4], t.slotChoices, 3);
  FillCombo(combos_[5], t.slotChoices, 3);
  char entry[64];
  std::snprintf(entry, sizeof entry, t.versionEntry, static_cast<int>(FW_FIRMWARE_VERSION));
  version_->addItem(Latin1(entry));
  version_->setEnabled(false);
  form->addRow(Latin1(t.variantLabel), combos_[0]);
  form->addRow(Latin1(t.versionLabel), version_);
  form->addRow(Latin1(t.relaysLabel), combos_[1]);
  form->addRow(Latin1(t.powerLabel), combos_[2]);
  form->addRow(Latin1(t.interfaceLabel), combos_[3]);
  form->addRow(Latin1(t.slotLabels[0]), combos_[4]);
  form->addRow(Latin1(t.slotLabels[1]), combos_[5]);

  head_ = new QLineEdit(this);
  three_ = new QLineEdit(this);
  five_ = new QLineEdit(this);
  modules_ = new QLineEdit(this);
  head_->setReadOnly(true);
  modules_->setReadOnly(true);
  head_->setFixedWidth(50);
  three_->setFixedWidth(40);
  five_->setFixedWidth(60);
  modules_->setMinimumWidth(170);
  auto* order = new QHBoxLayout;
  for (QLineEdit* e : {head_, three_, five_, modules_}) order->addWidget(e);
  order->addStretch();
  form->addRow(Latin1(t.orderLabel), order);

  autoLabel_ = new QLabel(Latin1(t.autoConfigLabel), this);
  autoButton_ = new QPushButton(Latin1(t.autoConfigButton), this);
  autoButton_->setAutoDefault(false);
  form->addRow(autoLabel_, autoButton_);
  const bool autoShown = SimState().firmwareMajor >= 2;
  autoLabel_->setVisible(autoShown);
  autoButton_->setVisible(autoShown);

  auto* box = new QVBoxLayout(this);
  box->addLayout(form);
  box->addWidget(OkCancel(this, t.cancel));

  selectFromConfig();
  for (QComboBox* c : combos_)
    connect(c, &QComboBox::currentIndexChanged, this, [this] { SimShowOrderCode(); });
  connect(three_, &QLineEdit::editingFinished, this, [this] { SimParseOrderNumber(); });
  connect(five_, &QLineEdit::editingFinished, this, [this] { SimParseOrderNumber(); });
  connect(autoButton_, &QPushButton::clicked, this, [this] { autoConfig(); });
  SimShowOrderCode();
}

void SimDeviceDialog::selectFromConfig() {
  const SimDeviceConfig& d = SimState().device;
  g_choice = SimDeviceChoiceOf(d);
  const int values[6] = {g_choice.variant, g_choice.relays, g_choice.power, g_choice.commOpt, g_choice.slotB, g_choice.slotC};
  for (int i = 0; i < 6; ++i) {
    const QSignalBlocker block(combos_[i]);
    combos_[i]->setCurrentIndex(values[i] < combos_[i]->count() ? values[i] : -1);
  }
  version_->setCurrentIndex(0);
}

void SimDeviceDialog::SimShowOrderCode() {
  const SimDeviceConfig& d = SimState().device;
  g_choice.variant = ChoiceOf(combos_[0], d.ksx);
  g_choice.relays = ChoiceOf(combos_[1], d.relais);
  g_choice.power = ChoiceOf(combos_[2], d.power);
  g_choice.commOpt = ChoiceOf(combos_[3], d.commOpt);
  g_choice.slotB = ChoiceOf(combos_[4], d.slotB);
  g_choice.slotC = ChoiceOf(combos_[5], d.slotC);
  const SimOrderTexts t = SimOrderTextsOf(g_choice, d);
  head_->setText(QString::fromStdString(t.head));
  three_->setText(QString::fromStdString(t.three));
  five_->setText(QString::fromStdString(t.five));
  modules_->setText(QString::fromStdString(t.modules));
}

int SimDeviceDialog::SimParseOrderNumber() {
  SimDeviceChoice c = g_choice;
  if (!SimParseOrderDigits(three_->text().toStdString(), five_->text().toStdString(), &c)) {
    ++beeps_;
    QApplication::beep();
    SimShowOrderCode();
    three_->selectAll();
    three_->setFocus();
    return 0;
  }
  g_choice = c;
  const int values[6] = {c.variant, c.relays, c.power, c.commOpt, c.slotB, c.slotC};
  for (int i = 0; i < 6; ++i) {
    const QSignalBlocker block(combos_[i]);
    combos_[i]->setCurrentIndex(values[i]);
  }
  SimShowOrderCode();
  return 1;
}

void SimDeviceDialog::accept() {
  if (!SimParseOrderNumber()) return;
  SimHostState& s = SimState();
  const unsigned changed = SimApplyDeviceChoice(g_choice, &s.device);
  if (changed & SIM_CHANGED_KSX) s.restartFlag = 1;
  if (changed & SIM_CHANGED_RELAIS) RelayoutView(SIM_SLOT_P);
  if (changed & SIM_CHANGED_SLOT_B) RelayoutView(SIM_SLOT_B);
  if (changed & SIM_CHANGED_SLOT_C) RelayoutView(SIM_SLOT_C);
  bool any = (changed & SIM_CHANGED_ANY) != 0;
  if (g_autoConfigured) {
    g_autoConfigured = false;
    any = true;
  }
  done(any ? 1 : 0);
}

void SimDeviceDialog::autoConfig() {
  SimAutoConfigResult r{};
  const int outcome = SimAutoConfig(&r);
  if (outcome != SIM_AUTO_CONFLICT) {
    SimTakeAutoConfig(r, &SimState().device);
    // The slots and the relays are in the digits too: a reload keeps them even when the
    // dialog is cancelled now.
    WriteOrderDigits();
    selectFromConfig();
    SimShowOrderCode();
    SimRelayoutIoViews();
    g_autoConfigured = true;
  }
  std::string caption, text;
  if (SimAutoConfigMessage(outcome, r, Language(), &caption, &text))
    SimMessageBox(this, Latin1(caption.c_str()), Latin1(text.c_str()), SIM_BOX_WARNING_OK);
}

int SimAutoConfig(SimAutoConfigResult* result) {
  SimPositionClaim claims[16];
  // Blocks per channel, by the fixed block numbers; AINP3 and AINP4 read sub-channels a and
  // b of one channel and count as one claim.
  int blocks[16] = {};
  uint16_t firstType[16] = {};
  for (uint32_t block = 1; block < 100; ++block) {
    uint16_t board = 0, channel = 0;
    FbLayout L;
    if (!FW_IoChannelOf(block, &board, &channel) || !FB_GetLayout(block, &L)) continue;
    const int i = board * SIM_POSITIONS + channel;
    if (blocks[i]++ == 0) {
      firstType[i] = L.type;
    } else if (!(IsAinp34(firstType[i]) && IsAinp34(L.type) && firstType[i] != L.type)) {
      claims[i].doubled = true;
    }
    if (L.type == BLK_TYPE_OUT1 || L.type == BLK_TYPE_OUT2 || IsAinp34(L.type)) claims[i].ambiguous = true;
  }
  // The classes the blocks' start-up asked of the channels they claimed. A channel counts
  // only with a block at its own number: DINPUT (at A1) also reads a digital card's inputs
  // when one is fitted, and asks for none.
  for (uint32_t b = 0; b < FW_IO_BOARDS; ++b) {
    for (uint32_t c = 0; c < FW_IO_CHANNELS; ++c) {
      const FwIoChannel& ch = g_fwIoBoards[b].channel[c];
      const uint32_t i = b * SIM_POSITIONS + c;
      if ((ch.inputInUse || ch.out.inUse) && blocks[i] > 0) claims[i].expected = ch.expectedClass;
    }
  }
  return SimAutoConfigFrom(claims, result);
}

// --- Module dialog -------------------------------------------------------------------------------

void SimFillModuleCombo(QComboBox* combo, int set, int position, int current) {
  if (!combo) return;
  const QSignalBlocker block(combo);
  combo->clear();
  const uint8_t* list = SimOptionList(set, position);
  for (int i = 0; list && list[i] != SIM_OPTION_END; ++i) combo->addItem(Latin1(SimModuleName(list[i])), list[i]);
  combo->setCurrentIndex(SimOptionIndex(set, position, current));
}

SimModuleDialog::SimModuleDialog(QWidget* owner) : QDialog(owner) {
  const SimDeviceTexts& t = SimDeviceTextsOf(Language());
  setWindowTitle(Latin1(t.moduleCaption));
  const SimDeviceConfig& d = SimState().device;
  auto* grid = new QGridLayout;
  for (int slot = 0; slot < SIM_SLOTS; ++slot) {
    const int set = SimOptionSetOf(slot, d);
    for (int p = 0; p < SIM_POSITIONS; ++p) {
      const int i = slot * SIM_POSITIONS + p;
      combos_[i] = new QComboBox(this);
      combos_[i]->setMinimumWidth(110);
      grid->addWidget(new QLabel(QString("%1%2").arg(QChar(SIM_SLOT_LETTERS[slot])).arg(p + 1), this), p, 2 * slot);
      grid->addWidget(combos_[i], p, 2 * slot + 1);
      if (set >= 0) {
        SimFillModuleCombo(combos_[i], set, p, d.modules[i]);
      } else {
        combos_[i]->clear();
        combos_[i]->setEnabled(false);
      }
    }
  }
  auto* box = new QVBoxLayout(this);
  box->addLayout(grid);
  box->addWidget(OkCancel(this, t.cancel));
}

void SimModuleDialog::accept() {
  int chosen[16];
  for (int i = 0; i < 16; ++i) {
    const QComboBox* c = combos_[i];
    chosen[i] = c->isEnabled() && c->currentIndex() >= 0 ? c->currentData().toInt() : -1;
  }
  SimHostState& s = SimState();
  if (!SimApplyModuleChoice(chosen, &s.device)) {
    done(0);
    return;
  }
  SimWriteDeviceSettings(s.device);
  done(1);
}

// --- As the main window runs them ------------------------------------------------------------------

bool SimRunDeviceDialog(QWidget* owner) {
  SimDeviceDialog dialog(owner);
  const bool changed = dialog.exec() == 1;
  if (changed) WriteOrderDigits();
  return changed;
}

bool SimRunModuleDialog(QWidget* owner) {
  SimModuleDialog dialog(owner);
  const bool changed = dialog.exec() == 1;
  if (changed) WriteOrderDigits();
  return changed;
}

void SimSetDeviceDialogHooks(SimMainWindowHooks* hooks) {
  hooks->deviceDialog = SimRunDeviceDialog;
  hooks->moduleDialog = SimRunModuleDialog;
}
