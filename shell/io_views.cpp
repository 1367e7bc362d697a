#include "shell/io_views.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <cstring>

#include "shell/main_window.h"
#include "shell/module_tables.h"
#include "shell/settings.h"
#include "shell/shell_dialogs.h"
#include "shell/shell_texts.h"
#include "shell/shell_ui.h"
#include "shell/shell_util.h"

namespace {

constexpr uint32_t kFirstTakingCycle = 10;
constexpr int kFieldWidth = 80;
constexpr int kCardInputs = 10, kCardOutputs = 4;
constexpr int kCardFirstOutput = 12;      // do1..do4: position 4's channels

// Grid columns of a position row.
enum Column { kLabel, kName, kLabelA, kFieldA, kLabelB, kFieldB, kDi1, kDi2, kDo1, kDo2, kRelay };

// The views' slot order in the main window: A, P, B, C.
constexpr int kViewOrder[SIM_SLOTS] = {SIM_SLOT_A, SIM_SLOT_P, SIM_SLOT_B, SIM_SLOT_C};
int CaptionIndex(int slot) {
  for (int i = 0; i < SIM_SLOTS; ++i)
    if (kViewOrder[i] == slot) return i;
  return 0;
}

QPointer<SimMainWindow> g_main;

// A box that shows an output: it follows the image, the user cannot click it.
QCheckBox* OutputBox(const QString& text, QWidget* parent) {
  auto* box = new QCheckBox(text, parent);
  box->setAttribute(Qt::WA_TransparentForMouseEvents);
  box->setFocusPolicy(Qt::NoFocus);
  return box;
}

void Show(QWidget* w, bool on) {
  if (w) w->setVisible(on);
}

const SimHostState& State() { return SimState(); }

// Whether the plant's result returns into analog input record `index` now: while the plant
// is on, the view shows that record rather than taking its field, and the field is read-only.
bool PlantHolds(int index) {
  const SimHostState& s = State();
  return !s.plantOff && (s.plant.inputs >> index & 1u);
}

// A field the plant writes takes no typing while it does, and is the user's again after.
void HoldField(QLineEdit* f, bool held) {
  if (!f || f->isReadOnly() == held) return;
  f->setReadOnly(held);
  f->setFocusPolicy(held ? Qt::NoFocus : Qt::StrongFocus);
}

QString InputText(const SimAnalogInput& in) {
  return QString::fromLatin1(in.text, static_cast<qsizetype>(strnlen(in.text, sizeof in.text)));
}

}  // namespace

void SimTakeAnalogInput(QLineEdit* field, int slot, int module, int channel) {
  if (!field) return;
  const QByteArray text = field->text().left(79).toLatin1();
  SimTakeAnalogText(std::string(text.constData(), static_cast<size_t>(text.size())),
                    &SimState().io.analogIn[SimAnalogIndex(slot, module, channel)]);
}

SimIoView::SimIoView(int slot, QWidget* owner) : QDialog(owner), slot_(slot) {
  setObjectName(QString("SimIoView%1").arg(QChar(SIM_SLOT_LETTERS[slot])));
  setModal(false);
  auto* grid = new QGridLayout(this);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  grid->setHorizontalSpacing(6);
  for (int p = 0; p < SIM_POSITIONS; ++p) {
    Position& c = pos_[static_cast<size_t>(p)];
    c.label = new QLabel(QString("%1%2").arg(QChar(SIM_SLOT_LETTERS[slot])).arg(p + 1), this);
    c.name = new QLabel(this);
    c.name->setMinimumWidth(80);
    c.labelA = new QLabel("a:", this);
    c.fieldA = new QLineEdit(this);
    c.labelB = new QLabel("b:", this);
    c.fieldB = new QLineEdit(this);
    for (QLineEdit* f : {c.fieldA, c.fieldB}) f->setFixedWidth(kFieldWidth);
    c.di[0] = new QCheckBox("di1", this);
    c.di[1] = new QCheckBox("di2", this);
    c.out[0] = OutputBox("do1", this);
    c.out[1] = OutputBox("do2", this);
    c.relay = OutputBox(QString(), this);
    QWidget* row[] = {c.label, c.name, c.labelA, c.fieldA, c.labelB, c.fieldB, c.di[0], c.di[1], c.out[0], c.out[1], c.relay};
    for (int col = kLabel; col <= kRelay; ++col) grid->addWidget(row[col], p, col);
  }
  if (slot == SIM_SLOT_B || slot == SIM_SLOT_C) {
    card_ = new QGroupBox(this);
    auto* g = new QGridLayout(card_);
    for (int i = 0; i < kCardInputs; ++i) {
      cardIn_[static_cast<size_t>(i)] = new QCheckBox(QString("di%1").arg(i + 1), card_);
      g->addWidget(cardIn_[static_cast<size_t>(i)], i / 5, i % 5);
    }
    for (int i = 0; i < kCardOutputs; ++i) {
      cardOut_[static_cast<size_t>(i)] = OutputBox(QString("do%1").arg(i + 1), card_);
      g->addWidget(cardOut_[static_cast<size_t>(i)], 2, i);
    }
    grid->addWidget(card_, SIM_POSITIONS, 0, 1, kRelay + 1);
  }
  relayout();
}

intptr_t SimIoView::send(int id, intptr_t, intptr_t) {
  switch (id) {
    case SIM_MSG_IO_TAKE:
      takeInputs();
      break;
    case SIM_MSG_IO_REFRESH:
      // A reload sets the configuration from the engineering's order-code digits.
      if (std::memcmp(&laidOut_, &State().device, sizeof laidOut_) != 0) relayout();
      showOutputs();
      break;
    case SIM_WM_INITDIALOG:
      relayout();
      break;
    default:
      break;
  }
  return 0;
}

bool SimIoView::rackShown() const {
  const SimDeviceConfig& d = State().device;
  return (slot_ == SIM_SLOT_B ? d.slotB : d.slotC) == SIM_SLOT_RACK;
}
bool SimIoView::cardShown() const {
  const SimDeviceConfig& d = State().device;
  return (slot_ == SIM_SLOT_B ? d.slotB : d.slotC) == SIM_SLOT_CARD;
}
bool SimIoView::hasControls() const {
  return slot_ == SIM_SLOT_A || slot_ == SIM_SLOT_P || rackShown() || cardShown();
}
bool SimIoView::relaysShown() const { return State().device.relais == 1; }

void SimIoView::relayout() {
  const SimTextSet& t = SimTexts();
  laidOut_ = State().device;
  setWindowTitle(Latin1(t.viewCaptions[CaptionIndex(slot_)]));
  const uint8_t* modules = State().device.modules + slot_ * SIM_POSITIONS;
  const bool racked = slot_ == SIM_SLOT_A || slot_ == SIM_SLOT_P || rackShown();
  for (int p = 0; p < SIM_POSITIONS; ++p) {
    Position& c = pos_[static_cast<size_t>(p)];
    const int type = modules[p];
    SimPositionLayout l = SimLayoutOf(SimModuleChannels(type));
    bool relay = false;
    // The fixed positions: A1 two inputs, A4 one input, P1 and P2 one output, P3 and P4 one
    // output each with the relays.
    if (slot_ == SIM_SLOT_A && p == 0) {
      l = SimPositionLayout{};
      l.digitalIn = true;
    } else if (slot_ == SIM_SLOT_A && p == 3) {
      l = SimPositionLayout{};
      l.fieldA = l.editable = true;
    } else if (slot_ == SIM_SLOT_P && (p < 2 || relaysShown())) {
      l = SimPositionLayout{};
      relay = true;
    } else if (slot_ == SIM_SLOT_P) {
      // No input is taken from slot P: an input module there shows what its record holds
      // (the plant's process value, say).
      l.editable = false;
    }
    Show(c.label, racked);
    Show(c.name, racked);
    SimSetItemText(c.name, Latin1(SimModuleName(type)));
    Show(c.labelA, racked && l.fieldA);
    Show(c.fieldA, racked && l.fieldA);
    Show(c.labelB, racked && l.fieldB);
    Show(c.fieldB, racked && l.fieldB);
    for (QLineEdit* f : {c.fieldA, c.fieldB}) {
      f->setReadOnly(!l.editable);
      f->setFocusPolicy(l.editable ? Qt::StrongFocus : Qt::NoFocus);
    }
    for (QCheckBox* b : c.di) Show(b, racked && l.digitalIn);
    for (QCheckBox* b : c.out) Show(b, racked && l.digitalOut);
    Show(c.relay, racked && relay);
    SimSetItemText(c.relay, Latin1(t.relayLabel));
  }
  if (card_) {
    card_->setTitle(Latin1(t.digitalCardGroup));
    card_->setVisible(cardShown());
  }
  adjustSize();
}

void SimIoView::takePosition(int p) {
  const Position& c = pos_[static_cast<size_t>(p)];
  const SimModuleKinds k = SimModuleChannels(State().device.modules[slot_ * SIM_POSITIONS + p]);
  if (k.analogInA && !PlantHolds(SimAnalogIndex(slot_, p, 0))) SimTakeAnalogInput(c.fieldA, slot_, p, 0);
  if (k.analogInB && !PlantHolds(SimAnalogIndex(slot_, p, 1))) SimTakeAnalogInput(c.fieldB, slot_, p, 1);
  if (k.digitalIn)
    for (int i = 0; i < 2; ++i)
      SimState().io.digitalIn[SimDigitalIndex(slot_, p, i)] = c.di[i]->isChecked() ? 1 : 0;
}

void SimIoView::takeInputs() {
  const SimHostState& s = State();
  if (slot_ == SIM_SLOT_P || (s.cycleCount < kFirstTakingCycle && !s.playing)) return;
  uint8_t* din = SimState().io.digitalIn;
  if (slot_ == SIM_SLOT_A) {
    for (int i = 0; i < 2; ++i) din[SimDigitalIndex(slot_, 0, i)] = pos_[0].di[i]->isChecked() ? 1 : 0;
    takePosition(1);
    takePosition(2);
    if (!PlantHolds(SimAnalogIndex(slot_, 3, 0))) SimTakeAnalogInput(pos_[3].fieldA, slot_, 3, 0);
  } else if (cardShown()) {
    for (int i = 0; i < kCardInputs; ++i)
      din[slot_ * 16 + i] = cardIn_[static_cast<size_t>(i)]->isChecked() ? 1 : 0;
  } else if (rackShown()) {
    for (int p = 0; p < SIM_POSITIONS; ++p) takePosition(p);
  }
}

void SimIoView::showPosition(int p) {
  const Position& c = pos_[static_cast<size_t>(p)];
  const SimIoImage& io = State().io;
  const SimModuleKinds k = SimModuleChannels(State().device.modules[slot_ * SIM_POSITIONS + p]);
  if (k.analogOut) {
    SimSetItemText(c.fieldA, QString::fromStdString(SimFormatValue(io.analogOut[SimAnalogIndex(slot_, p, 0)], 4)));
    SimSetItemText(c.fieldB, QString::fromStdString(SimFormatValue(io.analogOut[SimAnalogIndex(slot_, p, 1)], 4)));
  } else if (k.digitalOut) {
    for (int i = 0; i < 2; ++i) SimSetCheck(c.out[i], io.digitalOut[SimDigitalIndex(slot_, p, i)] != 0);
  }
  // Inputs that no one types (slot P's) and those the plant writes show their records.
  const int first = SimAnalogIndex(slot_, p, 0);
  const SimAnalogInput* in = io.analogIn + first;
  if (k.analogInA && (slot_ == SIM_SLOT_P || PlantHolds(first))) SimSetItemText(c.fieldA, InputText(in[0]));
  if (k.analogInB && (slot_ == SIM_SLOT_P || PlantHolds(first + 1))) SimSetItemText(c.fieldB, InputText(in[1]));
  if (slot_ != SIM_SLOT_P) {
    if (k.analogInA) HoldField(c.fieldA, PlantHolds(first));
    if (k.analogInB) HoldField(c.fieldB, PlantHolds(first + 1));
  }
}

void SimIoView::showOutputs() {
  const SimIoImage& io = State().io;
  switch (slot_) {
    case SIM_SLOT_A:
      showPosition(1);
      showPosition(2);
      // The main input at A4: the plant's process value while the plant is on.
      if (PlantHolds(SimAnalogIndex(slot_, 3, 0)))
        SimSetItemText(pos_[3].fieldA, InputText(io.analogIn[SimAnalogIndex(slot_, 3, 0)]));
      HoldField(pos_[3].fieldA, PlantHolds(SimAnalogIndex(slot_, 3, 0)));
      break;
    case SIM_SLOT_P:
      for (int p = 0; p < SIM_POSITIONS; ++p) {
        if (p < 2 || relaysShown())
          SimSetCheck(pos_[static_cast<size_t>(p)].relay, io.digitalOut[SimDigitalIndex(slot_, p, 0)] != 0);
        else
          showPosition(p);
      }
      break;
    default:
      if (cardShown()) {
        for (int i = 0; i < kCardOutputs; ++i)
          SimSetCheck(cardOut_[static_cast<size_t>(i)], io.digitalOut[slot_ * 16 + kCardFirstOutput + i] != 0);
      } else if (rackShown()) {
        for (int p = 0; p < SIM_POSITIONS; ++p) showPosition(p);
      }
      break;
  }
}

void SimIoView::reject() {
  // The program's end closes every window, these views too: that is not the user hiding them,
  // so the views flag (written at the end as [Settings] ViewIO) stays as the user left it.
  if (SimState().endFlag) {
    hide();
    return;
  }
  SimState().ioViewsShown = 0;
  if (auto* main = dynamic_cast<SimMainWindow*>(parentWidget())) SimShowViews(main);
}

void SimCreateIoViews(SimMainWindow* main) {
  if (!main) return;
  g_main = main;
  for (int i = 0; i < SIM_SLOTS; ++i) {
    if (main->view(SIM_VIEW_IO_FIRST + i)) continue;
    main->setView(SIM_VIEW_IO_FIRST + i, new SimIoView(kViewOrder[i], main));
  }
  SimSetDeviceWrittenHook(SimRelayoutIoViews);
}

SimIoView* SimIoViewOf(int slot) {
  if (!g_main || slot < 0 || slot >= SIM_SLOTS) return nullptr;
  return dynamic_cast<SimIoView*>(g_main->view(SIM_VIEW_IO_FIRST + CaptionIndex(slot)));
}

void SimRelayoutIoViews() {
  for (int slot = 0; slot < SIM_SLOTS; ++slot) {
    SimIoView* v = SimIoViewOf(slot);
    if (!v) continue;
    v->send(SIM_WM_INITDIALOG, 0, 0);
    if (SimState().ioViewsShown) v->setVisible(v->hasControls());
  }
  if (g_main) g_main->layoutViews();
}

bool SimViewHasContent(const QWidget* view) {
  const auto* io = dynamic_cast<const SimIoView*>(view);
  return !io || io->hasControls();
}
