// The four I/O views A, B, C and P: modeless windows that show the modules fitted in a slot,
// take the user's inputs into the state record's I/O image before each firmware tick
// (message 2035) and show the firmware's outputs after it (message 2036). The module table
// and the layout rule are in shell/module_tables.h.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

#include "shell/sim_loop.h"
#include "shell/sim_services.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class SimMainWindow;

// Reads one analog field into its record of the I/O image (at most 79 characters are read,
// 39 kept as the record's text).
void SimTakeAnalogInput(QLineEdit* field, int slot, int module, int channel);

class SimIoView : public QDialog, public SimMessageTarget {
 public:
  // slot: 0 A, 1 B, 2 C, 3 P.
  SimIoView(int slot, QWidget* owner);

  // 2035 takes the inputs, 2036 shows the outputs (after a new layout when the firmware's
  // start changed the configuration), SIM_WM_INITDIALOG lays the view out anew; 0 for every
  // message.
  intptr_t send(int id, intptr_t wParam, intptr_t lParam) override;
  // The controls of the configuration's modules, the labels of the language.
  void relayout();
  void takeInputs();
  void showOutputs();
  int slot() const { return slot_; }
  // Whether the slot has anything to show: slots A and P always, B and C with their card or
  // rack. A view without controls is not shown with the others.
  bool hasControls() const;

  // The controls of module position p (0..3).
  struct Position {
    QLabel* label = nullptr;       // "A1" ...
    QLabel* name = nullptr;        // the module's name
    QLabel* labelA = nullptr;
    QLineEdit* fieldA = nullptr;   // "a:"
    QLabel* labelB = nullptr;
    QLineEdit* fieldB = nullptr;   // "b:"
    QCheckBox* di[2] = {};
    QCheckBox* out[2] = {};        // do1, do2
    QCheckBox* relay = nullptr;    // slot P: P1, P2 always, P3, P4 with the relays
  };
  const Position& position(int p) const { return pos_[static_cast<size_t>(p)]; }
  QGroupBox* card() const { return card_; }
  QCheckBox* cardInput(int i) const { return cardIn_[static_cast<size_t>(i)]; }
  QCheckBox* cardOutput(int i) const { return cardOut_[static_cast<size_t>(i)]; }

  // Closed by its frame or Escape: the I/O views are hidden (as by "&Input/Output").
  void reject() override;

 private:
  void takePosition(int p);
  void showPosition(int p);
  bool rackShown() const;
  bool cardShown() const;
  bool relaysShown() const;

  int slot_;
  SimDeviceConfig laidOut_{};   // the configuration of the last layout
  std::array<Position, 4> pos_;
  QGroupBox* card_ = nullptr;
  std::array<QCheckBox*, 10> cardIn_{};
  std::array<QCheckBox*, 4> cardOut_{};
};

// Makes the four views and gives them to the main window (slots A, P, B, C from
// SIM_VIEW_IO_FIRST on); a new device configuration lays them out again.
void SimCreateIoViews(SimMainWindow* main);
// Lays the main window's four views out anew (the device settings were written); while the
// views are shown, a slot that has come to hold nothing is hidden and one that has come to
// hold modules is shown.
void SimRelayoutIoViews();
// Whether a view of the main window is shown while the views are: every one but an I/O view
// without controls.
bool SimViewHasContent(const QWidget* view);
// The view of a slot (0 A, 1 B, 2 C, 3 P) of the main window that SimCreateIoViews served.
SimIoView* SimIoViewOf(int slot);
